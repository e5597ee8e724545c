// The button face painter with its bitmap cache, centred images, dotted
// lines and tree elements.
#include <algorithm>
#include <cmath>
#include <vector>

#include "grid/toolkit/ToolCtrlsEh.h"
#include "grid/toolkit/ToolCtrlsEh_Internal.h"
#include "platform/gui/Themes.h"

bool UseButtonsBitmapCache = true;

namespace {

TButtonsBitmapCache* cache = nullptr;

void FillColor(HDC DC, const TRect& R, TColor Color) {
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color)));
  FillRect(DC, R, brush);
  DeleteObject(brush);
}

void FrameColor(HDC DC, const TRect& R, TColor Color) {
  HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color)));
  FrameRect(DC, R, brush);
  DeleteObject(brush);
}

// Filled rectangles in the face's text colour, or embossed when disabled:
// the highlight colour one pixel lower right, then the shadow colour.
void FillMarks(HDC DC, const std::vector<TRect>& Marks, bool Enabled) {
  if (!Enabled) {
    for (TRect r : Marks) {
      OffsetRect(r, 1, 1);
      FillColor(DC, r, clBtnHighlight);
    }
  }
  for (const TRect& r : Marks) FillColor(DC, r, Enabled ? clBtnText : clBtnShadow);
}

// The largest square in R, its longer side shrunk evenly (the odd pixel off
// the far side).
TRect SquareOf(const TRect& R) {
  TRect r = R;
  const int w = r.Width(), h = r.Height();
  if (w > h) {
    r.Left += (w - h) / 2;
    r.Right = r.Left + h;
  } else if (h > w) {
    r.Top += (h - w) / 2;
    r.Bottom = r.Top + w;
  }
  return r;
}

// The background of the ellipsis, plus and minus faces; R becomes the
// inside.
void DrawPushFace(HDC DC, TRect& R, bool Pressed, bool Flat) {
  if (Flat) {
    FillColor(DC, R, clBtnFace);
    InflateRect(R, -1, -1);
  } else {
    TRect edge = R;
    DrawEdge(DC, edge, Pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
    InflateRect(R, -2, -2);
  }
}

void DrawEllipsis(HDC DC, TRect R, int Width, bool Pressed, bool Enabled) {
  const int dot = Width < 8 ? 1 : 2;
  const int gap = Width < 12 ? 1 : 2;
  const int total = 3 * dot + 2 * gap;
  int x = R.Left + (R.Width() - total) / 2;
  int y = R.Top + (R.Height() - dot) / 2;
  if (Pressed) ++x, ++y;
  std::vector<TRect> dots;
  for (int i = 0; i < 3; ++i) dots.push_back(Bounds(x + i * (dot + gap), y, dot, dot));
  FillMarks(DC, dots, Enabled);
}

// The bars of plus and minus, proportioned to Size (the face's shorter side).
void DrawSign(HDC DC, TRect R, int Size, bool Plus, bool Pressed, bool Flat, bool Enabled) {
  const int base = std::max(1, Size * 4 / 7);
  const int thick = std::max(1, base / 3);
  int length = Flat ? base - 1 : base;
  if (length % 2 != Size % 2) ++length;
  if (Plus && length % 2 != thick % 2) length += Size < 12 ? 1 : -1;
  length = std::max(length, 1);
  const int shift = Pressed ? 1 : 0;
  std::vector<TRect> bars{Bounds(R.Left + (R.Width() - length) / 2 + shift, R.Top + (R.Height() - thick) / 2 + shift,
                                 length, thick)};
  if (Plus) {
    bars.push_back(Bounds(R.Left + (R.Width() - thick) / 2 + shift, R.Top + (R.Height() - length) / 2 + shift, thick,
                          length));
  }
  FillMarks(DC, bars, Enabled);
}

void DrawCheckBoxFace(HDC DC, const TRect& R, bool Pressed, bool Active, bool Flat, bool Enabled,
                      TCheckBoxState State) {
  TRect r = SquareOf(R);
  UINT flags = DFCS_BUTTONCHECK;
  if (State == cbChecked) flags |= DFCS_CHECKED;
  else if (State == cbGrayed) flags |= DFCS_CHECKED | DFCS_BUTTON3STATE;
  if (!Enabled) flags |= DFCS_INACTIVE;
  if (Pressed) flags |= DFCS_PUSHED;
  if (!Flat) {
    DrawFrameControl(DC, r, DFC_BUTTON, flags);
    return;
  }
  // Flat: the 3-D edge falls outside the clip; a one-pixel frame instead.
  FillColor(DC, r, clWindow);
  TRect inner = r;
  InflateRect(inner, -1, -1);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, inner.Left, inner.Top, inner.Right, inner.Bottom);
  TRect face = r;
  InflateRect(face, 1, 1);
  DrawFrameControl(DC, face, DFC_BUTTON, flags);
  RestoreDC(DC, saved);
  FrameColor(DC, inner, Active ? clBtnFace : clBtnShadow);
}

// One face drawn straight into DC.
void DrawFace(HDC DC, const TButtonBitmapInfoEh& Info, const TRect& Rect) {
  if (Info.PaintKind == bpkCheckBoxEh) {
    DrawCheckBoxFace(DC, Rect, Info.Pressed, Info.Active, Info.Flat, Info.Enabled, Info.CheckState);
    return;
  }
  const bool classic = !ThemeServices()->ThemesEnabled();
  TRect r = Rect;
  int saved = 0;
  if (Info.Flat && Info.Active && classic) {
    saved = SaveDC(DC);
    IntersectClipRect(DC, r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1);
  }
  // Flat faces push the classic 3-D border out of sight.
  if (Info.Flat && classic) InflateRect(r, Info.Active ? 1 : 2, Info.Active ? 1 : 2);
  const UINT state = (Info.Pressed ? DFCS_PUSHED : 0) | (Info.Flat ? DFCS_FLAT : 0) | (Info.Enabled ? 0 : DFCS_INACTIVE);
  const int size = std::min(Rect.Width(), Rect.Height());
  switch (Info.PaintKind) {
    case bpkDropDownEh: DrawFrameControl(DC, r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | state); break;
    case bpkUpDownEh:
      DrawFrameControl(DC, r, DFC_SCROLL, (Info.DownButton ? DFCS_SCROLLDOWN : DFCS_SCROLLUP) | state);
      break;
    case bpkEllipsisEh:
      DrawPushFace(DC, r, Info.Pressed, Info.Flat);
      DrawEllipsis(DC, r, Rect.Width(), Info.Pressed, Info.Enabled);
      break;
    case bpkPlusEh:
    case bpkMinusEh:
      DrawPushFace(DC, r, Info.Pressed, Info.Flat);
      DrawSign(DC, r, size, Info.PaintKind == bpkPlusEh, Info.Pressed, Info.Flat, Info.Enabled);
      break;
    default: break;
  }
  if (saved != 0) {
    RestoreDC(DC, saved);
    TRect frame = Rect;
    DrawEdge(DC, frame, Info.Pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
}

// One face in Rect: copied from the cache (drawn there first when new), or
// drawn straight when the cache is off.
void DrawPart(HDC DC, const TRect& Rect, TButtonBitmapInfoEh Info) {
  if (Rect.IsEmpty()) return;
  Info.Width = Rect.Width();
  Info.Height = Rect.Height();
  if (!UseButtonsBitmapCache || cache == nullptr) {
    DrawFace(DC, Info, Rect);
    return;
  }
  TBitmap* bitmap = cache->GetButtonBitmap(Info);
  StretchBlt(DC, Rect.Left, Rect.Top, Info.Width, Info.Height, bitmap->Canvas()->Handle(), 0, 0, Info.Width,
             Info.Height, SRCCOPY);
}

}  // namespace

// ---------------------------------------------------------------------------
// The cache

TButtonBitmapInfoBitmapEh::TButtonBitmapInfoBitmapEh(const TButtonBitmapInfoEh& Info, std::unique_ptr<TBitmap> Bitmap)
    : info_(Info), bitmap_(std::move(Bitmap)) {}

TBitmap* TButtonsBitmapCache::GetButtonBitmap(const TButtonBitmapInfoEh& Info) {
  TButtonBitmapInfoEh key = Info;
  key.Width = std::max(0, key.Width);
  key.Height = std::max(0, key.Height);
  for (const auto& entry : entries_) {
    if (entry->BitmapInfo() == key) return entry->Bitmap();
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(key.Width, key.Height);
  if (key.Width > 0 && key.Height > 0) DrawFace(bitmap->Canvas()->Handle(), key, Rect(0, 0, key.Width, key.Height));
  entries_.push_back(std::make_unique<TButtonBitmapInfoBitmapEh>(key, std::move(bitmap)));
  return entries_.back()->Bitmap();
}

TButtonsBitmapCache* ButtonsBitmapCache() { return cache; }

void ClearButtonsBitmapCache() {
  if (cache != nullptr) cache->Clear();
}

void InitButtonsBitmapCache() {
  if (cache == nullptr) cache = new TButtonsBitmapCache;
}

void FreeButtonsBitmapCache() {
  delete cache;
  cache = nullptr;
}

// ---------------------------------------------------------------------------
// The painter

void PaintButtonControlEh(HDC DC, TRect Rect, TColor ParentColor, TButtonPaintKindEh Kind, int Pressed, bool Flat,
                          bool Active, bool Enabled, TCheckBoxState State) {
  TButtonBitmapInfoEh info;
  info.PaintKind = Kind;
  info.Flat = Flat;
  info.Active = Active;
  info.Enabled = Enabled;
  info.CheckState = State;
  if (Kind == bpkCheckBoxEh) {
    TRect r = SquareOf(Rect);
    if (Flat) InflateRect(r, -1, -1);
    info.Pressed = Pressed != 0;
    DrawPart(DC, r, info);
    if (Flat) {
      InflateRect(r, 1, 1);
      if (Active) DrawEdge(DC, r, BDR_SUNKENOUTER, BF_RECT);
      else FrameColor(DC, r, ParentColor);
    }
    return;
  }
  const bool flatFrame = Flat && !Active && !ThemeServices()->ThemesEnabled();
  TRect r = Rect;
  int saved = 0;
  if (flatFrame) {
    InflateRect(r, -1, -1);
    saved = SaveDC(DC);
    IntersectClipRect(DC, r.Left, r.Top, r.Right, r.Bottom);
  }
  if (Kind == bpkUpDownEh) {
    const int half = r.Height() / 2;
    info.Pressed = Pressed == 1;
    DrawPart(DC, ::Rect(r.Left, r.Top, r.Right, r.Top + half), info);
    info.Pressed = Pressed == 2;
    info.DownButton = true;
    DrawPart(DC, ::Rect(r.Left, r.Bottom - half, r.Right, r.Bottom), info);
    // The odd middle line between the halves, wider under a flat frame.
    if (Rect.Height() % 2 == 1 || flatFrame) {
      TRect gap = ::Rect(r.Left, r.Top + half, r.Right, r.Bottom - half);
      if (flatFrame) InflateRect(gap, 0, 1);
      FillColor(DC, gap, ParentColor);
    }
  } else {
    info.Pressed = Pressed != 0;
    DrawPart(DC, r, info);
  }
  if (flatFrame) {
    RestoreDC(DC, saved);
    InflateRect(r, 1, 1);
    FrameColor(DC, r, ParentColor);
  }
}

// ---------------------------------------------------------------------------
// Images, dotted lines, tree elements

void DrawImageCentered(HDC DC, const TRect& Rect, TCustomImageList* Images, int ImageIndex, bool Selected) {
  if (Images == nullptr || Images->Count() == 0) return;
  const TRect image = Bounds(Rect.Left + (Rect.Width() - Images->Width()) / 2,
                             Rect.Top + (Rect.Height() - Images->Height()) / 2, Images->Width(), Images->Height());
  const bool inside =
      image.Left >= Rect.Left && image.Top >= Rect.Top && image.Right <= Rect.Right && image.Bottom <= Rect.Bottom;
  int saved = 0;
  if (!inside) {
    saved = SaveDC(DC);
    IntersectClipRect(DC, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
  }
  const uint32_t style = (Images->ImageType() == itMask ? ILD_MASK : ILD_NORMAL) | (Selected ? ILD_BLEND50 : 0);
  ImageList_DrawEx(Images, ImageIndex, DC, image.Left, image.Top, 0, 0, GetRGBColor(Images->BkColor()),
                   GetRGBColor(Selected ? clHighlight : Images->BlendColor()), style);
  if (!inside) RestoreDC(DC, saved);
}

void DrawDotLine(TCanvas* Canvas, TPoint From, int Length, bool Phase, bool Horizontal) {
  // Dots of neighbouring cells meet without a break: they keep to one
  // parity of X + Y.
  if ((((From.X + From.Y) & 1) != 0) != Phase) {
    if (Horizontal) ++From.X;
    else ++From.Y;
    --Length;
  }
  if (Length <= 0) return;
  const int step = 2 * std::max(1, Canvas->Pen()->Width());
  const int count = Length / step + (Length % 2 == 1 ? 1 : 0);
  if (count == 0) return;
  std::vector<TPoint> points;
  std::vector<DWORD> counts(static_cast<size_t>(count), 2);
  for (int i = 0; i < count; ++i) {
    const TPoint p = Horizontal ? Point(From.X + i * step, From.Y) : Point(From.X, From.Y + i * step);
    points.push_back(p);
    points.push_back(Horizontal ? Point(p.X + 1, p.Y) : Point(p.X, p.Y + 1));
  }
  PolyPolyline(Canvas->Handle(), points.data(), counts.data(), static_cast<DWORD>(count));
}

void DrawTreeElement(TCanvas* Canvas, const TRect& Rect, int Kind, double VS, double HS, bool Phase) {
  if (Kind < 0 || Kind > 9) return;
  const int cx = (Rect.Left + Rect.Right) / 2, cy = (Rect.Top + Rect.Bottom) / 2;
  TPen* pen = Canvas->Pen();
  pen->SetStyle(psSolid);
  pen->SetColor(clBtnShadow);
  auto vertical = [&](int From, int To) { DrawDotLine(Canvas, Point(cx, From), To - From, Phase, false); };
  auto horizontal = [&](int From) { DrawDotLine(Canvas, Point(From, cy), Rect.Right - From, false, true); };
  if (Kind >= 6) {
    if (Kind == 6 || Kind == 9) vertical(Rect.Top, Rect.Bottom);
    else if (Kind == 7) vertical(Rect.Top, cy + 1);
    else vertical(cy, Rect.Bottom);
    if (Kind != 9) horizontal(cx);
    return;
  }
  const auto round = [](double V) { return static_cast<int>(std::lround(V)); };
  const int bw = round(4 * HS), bh = round(4 * VS);
  const TRect box = ::Rect(cx - bw, cy - bh, cx + bw + 1, cy + bh + 1);
  TBrush* brush = Canvas->Brush();
  brush->SetStyle(bsSolid);
  brush->SetColor(clWindow);
  Canvas->Rectangle(box);
  pen->SetColor(clWindowText);
  Canvas->MoveTo(box.Left + round(2 * HS), cy);
  Canvas->LineTo(box.Right - round(2 * HS), cy);
  if (Kind >= 3) {
    Canvas->MoveTo(cx, box.Top + round(2 * VS));
    Canvas->LineTo(cx, box.Bottom - round(2 * VS));
  }
  pen->SetColor(clBtnShadow);
  horizontal(cx + bw + round(HS));
  if (Kind != 2 && Kind != 5) vertical(Rect.Top, box.Top);
  if (Kind != 1 && Kind != 4) vertical(cy + bh + round(VS), Rect.Bottom);
}
