// GridLibVCL: the dataset, drawing and window calls of the grid library
// under names of its own. Each routine forwards to the call it names.
#pragma once

#include "platform/db/DB.h"
#include "platform/gui/GDI.h"
#include "platform/gui/Graphics.h"
#include "platform/gui/Messages.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Variants.h"

// <0, 0 or >0 as the dataset orders the two bookmarks.
int DataSetCompareBookmarks(TDataSet* DataSet, const TBookmark& Bookmark1, const TBookmark& Bookmark2);
bool DataSetBookmarkValid(TDataSet* DataSet, const TBookmark& Bookmark);
// The dataset of the data source held by the class-type property PropInfo
// of DataSet; nullptr without one (or when reading it fails).
TDataSet* GetMasterDataSource(TDataSet* DataSet, const TPropInfo* PropInfo);

int DrawTextEh(HDC DC, const String& Text, int Length, TRect* Rect, UINT Format);
// DrawTextEx with a copy of Params (nullptr: none).
int DrawTextExEh(HDC DC, const String& Text, int Length, TRect* Rect, UINT Format, const DRAWTEXTPARAMS* Params);
bool ExtTextOutEh(HDC DC, int X, int Y, UINT Options, const TRect* Rect, const String& Text, int Length);
UINT WindowsGetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRIC* Metrics);

LRESULT SendStructMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const void* LParam);
LRESULT SendTextMessage(HWND Wnd, Cardinal Msg, WPARAM WParam, const String& Text);
bool WindowsSystemParametersInfo(UINT Action, UINT Param, void* Data, UINT WinIni);
bool WindowsInvalidateRect(HWND Wnd, const TRect* Rect, bool Erase);
bool WindowsValidateRect(HWND Wnd, const TRect* Rect);
// ScrollWindowEx without an update rectangle.
int WindowsScrollWindowEx(HWND Wnd, int DX, int DY, const TRect* ScrollRect, const TRect* ClipRect, HRGN UpdateRgn,
                          UINT Flags);

void AssignRect(const TRect& Source, TRect& Dest);
// Pointers stay whole (64-bit).
intptr_t PointerToInt(const void* P);
// The rectangle's two points from logical to device coordinates.
bool WindowsLPtoDP(HDC DC, TRect& Rect);
HRGN CreatePolygonRegion(const TPoint* Points, int Count, int FillMode);
// The selection of an edit window (EM_GETSEL).
LRESULT EditGetSel(HWND Wnd, Cardinal* Start, Cardinal* End);

String AnsiUpperCaseEh(const String& S);
String AnsiLowerCaseEh(const String& S);
// The user's locale order: <0, 0, >0, with and without case.
int AnsiCompareStrEh(const String& S1, const String& S2);
int AnsiCompareTextEh(const String& S1, const String& S2);

void LoadBitmapFromResourceName(TBitmap* Bitmap, HMODULE Instance, const String& Name);
HBITMAP WindowsLoadBitmap(HMODULE Instance, uint16_t Id);
HBITMAP WindowsLoadBitmap(HMODULE Instance, const String& Name);
// Sets the high bound of the array's last dimension.
void RedimVariantArray(Variant& V, Integer HighBound);
void ClearRectEh(TRect& Rect);
