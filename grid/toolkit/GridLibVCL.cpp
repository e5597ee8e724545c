#include "grid/toolkit/GridLibVCL.h"

#include "platform/gui/Popup.h"
#include "platform/gui/ScrollBars.h"
#include "platform/rtl/Locale.h"

int DataSetCompareBookmarks(TDataSet* DataSet, const TBookmark& Bookmark1, const TBookmark& Bookmark2) {
  return DataSet->CompareBookmarks(Bookmark1, Bookmark2);
}

bool DataSetBookmarkValid(TDataSet* DataSet, const TBookmark& Bookmark) { return DataSet->BookmarkValid(Bookmark); }

TDataSet* GetMasterDataSource(TDataSet* DataSet, const TPropInfo* PropInfo) {
  if (DataSet == nullptr || PropInfo == nullptr || PropInfo->Kind() != tkClass) return nullptr;
  try {
    auto* source = dynamic_cast<TDataSource*>(PropInfo->GetObj(DataSet));
    return source != nullptr ? source->DataSet() : nullptr;
  } catch (const Exception&) {
    return nullptr;
  }
}

int DrawTextEh(HDC DC, const String& Text, int Length, TRect* Rect, UINT Format) {
  return DrawText(DC, Text, Length, Rect, Format);
}

int DrawTextExEh(HDC DC, const String& Text, int Length, TRect* Rect, UINT Format, const DRAWTEXTPARAMS* Params) {
  if (Params == nullptr) return DrawTextEx(DC, Text, Length, Rect, Format, nullptr);
  DRAWTEXTPARAMS copy = *Params;
  return DrawTextEx(DC, Text, Length, Rect, Format, &copy);
}

bool ExtTextOutEh(HDC DC, int X, int Y, UINT Options, const TRect* Rect, const String& Text, int Length) {
  return ExtTextOut(DC, X, Y, Options, Rect, Text, Length);
}

UINT WindowsGetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRIC* Metrics) {
  return GetOutlineTextMetrics(DC, Size, Metrics);
}

LRESULT SendStructMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const void* LParam) {
  return SendMessage(Wnd, Msg, WParam, reinterpret_cast<LPARAM>(LParam));
}

LRESULT SendTextMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const String& Text) {
  return SendMessage(Wnd, Msg, WParam, reinterpret_cast<LPARAM>(Text.c_str()));
}

bool WindowsSystemParametersInfo(UINT Action, UINT Param, void* Data, UINT WinIni) {
  return SystemParametersInfo(Action, Param, Data, WinIni);
}

bool WindowsInvalidateRect(HWND Wnd, const TRect* Rect, bool Erase) { return InvalidateRect(Wnd, Rect, Erase); }

bool WindowsValidateRect(HWND Wnd, const TRect* Rect) { return ValidateRect(Wnd, Rect); }

int WindowsScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* ScrollRect, const TRect* ClipRect, HRGN UpdateRgn,
                          UINT Flags) {
  return ScrollWindowEx(Wnd, DX, DY, ScrollRect, ClipRect, UpdateRgn, nullptr, Flags);
}

void AssignRect(const TRect& Source, TRect& Dest) { Dest = Source; }

intptr_t PointerToInt(const void* P) { return reinterpret_cast<intptr_t>(P); }

bool WindowsLPtoDP(HDC DC, TRect& Rect) {
  TPoint points[2] = {Rect.TopLeft(), Rect.BottomRight()};
  if (!LPtoDP(DC, points, 2)) return false;
  Rect = ::Rect(points[0].X, points[0].Y, points[1].X, points[1].Y);
  return true;
}

HRGN CreatePolygonRegion(const TPoint* Points, int Count, int FillMode) {
  return CreatePolygonRgn(Points, Count, FillMode);
}

LRESULT EditGetSel(HWND Wnd, Cardinal* Start, Cardinal* End) {
  return SendMessage(Wnd, EM_GETSEL, reinterpret_cast<WPARAM>(Start), reinterpret_cast<LPARAM>(End));
}

String AnsiUpperCaseEh(const String& S) { return AnsiUpperCase(S); }
String AnsiLowerCaseEh(const String& S) { return AnsiLowerCase(S); }
int AnsiCompareStrEh(const String& S1, const String& S2) { return AnsiCompareStr(S1, S2); }
int AnsiCompareTextEh(const String& S1, const String& S2) { return AnsiCompareText(S1, S2); }

void LoadBitmapFromResourceName(TBitmap* Bitmap, HMODULE Instance, const String& Name) {
  Bitmap->LoadFromResourceName(Instance, Name);
}

HBITMAP WindowsLoadBitmap(HMODULE Instance, uint16_t Id) { return LoadBitmap(Instance, Id); }
HBITMAP WindowsLoadBitmap(HMODULE Instance, const String& Name) { return LoadBitmap(Instance, Name); }

void RedimVariantArray(Variant& V, Integer HighBound) { VarArrayRedim(V, HighBound); }

void ClearRectEh(TRect& Rect) { Rect = TRect{}; }
