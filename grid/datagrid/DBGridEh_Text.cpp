// Text routines of the grid painting.
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/GDI.h"

namespace {

// Byte offsets of the starts of the UTF-8 characters of S.
std::vector<size_t> CharStarts(const String& S) {
  std::vector<size_t> out;
  for (size_t i = 0; i < S.size(); ++i)
    if ((static_cast<unsigned char>(S[i]) & 0xC0) != 0x80) out.push_back(i);
  return out;
}

}  // namespace

String EllipsisText(const String& Text, TCanvas* Canvas, int MaxWidth) {
  String result = Text;
  std::vector<size_t> starts = CharStarts(Text);
  size_t keep = starts.size();
  while (Canvas->TextWidth(result) > MaxWidth && keep > 0) {
    --keep;
    result = Text.substr(0, starts[keep]) + "...";
  }
  return result;
}

void DrawMultiLineText(TCanvas* Canvas, const TDrawMultiLineTextParamsEh& P) {
  UINT flags = DT_NOPREFIX | DT_EXPANDTABS;
  if (P.WordWrap) flags |= DT_WORDBREAK;
  if (P.EndEllipsis) flags |= DT_END_ELLIPSIS;
  if (P.Alignment == taRightJustify) flags |= DT_RIGHT;
  else if (P.Alignment == taCenter) flags |= DT_CENTER;
  else flags |= DT_LEFT;
  if (P.RightToLeft) flags |= DT_RTLREADING;
  TRect r{P.Rect.Left + P.HorzMargin, P.Rect.Top + P.VertMargin, P.Rect.Right - P.HorzMargin,
          P.Rect.Bottom - P.VertMargin};
  HDC dc = Canvas->Handle();
  if (P.Layout != tlTop) {
    TRect calc = r;
    DrawText(dc, P.Text, -1, &calc, flags | DT_CALCRECT);
    const int text_h = calc.Bottom - calc.Top;
    const int h = r.Bottom - r.Top;
    if (P.Layout == tlCenter) r.Top += (h - text_h) / 2;
    else r.Top = r.Bottom - text_h;
  }
  if (P.VertMargin > 0) r.Bottom += 1;
  DrawText(dc, P.Text, -1, &r, flags);
}

void WriteCellText(TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const String& Text,
                   TAlignment Alignment, TTextLayout Layout, bool MultiLine, bool EndEllipsis, int LeftMarg,
                   int RightMarg, bool RightToLeft) {
  if (MultiLine) {
    if (FillRect) Canvas->FillRect(ARect);
    TDrawMultiLineTextParamsEh p;
    p.Rect = TRect{ARect.Left + LeftMarg, ARect.Top, ARect.Right - RightMarg, ARect.Bottom};
    p.Text = Text;
    p.Alignment = Alignment;
    p.Layout = Layout;
    p.EndEllipsis = EndEllipsis;
    p.RightToLeft = RightToLeft;
    p.HorzMargin = DX;
    p.VertMargin = DY;
    DrawMultiLineText(Canvas, p);
    return;
  }
  String s = Text;
  if (EndEllipsis) s = EllipsisText(Text, Canvas, ARect.Right - ARect.Left - LeftMarg - RightMarg - 2 * DX);
  const int w = Canvas->TextWidth(s);
  int left;
  if (Alignment == taRightJustify) left = ARect.Right - w - DX - RightMarg;
  else if (Alignment == taCenter) left = (ARect.Left + ARect.Right - w) / 2;
  else left = ARect.Left + DX + LeftMarg;
  int top = ARect.Top + DY;
  if (Layout != tlTop) {
    const int h = Canvas->TextHeight(s);
    if (Layout == tlCenter) top = (ARect.Top + ARect.Bottom - h) / 2;
    else top = ARect.Bottom - h - DY;
  }
  if (FillRect) {
    Canvas->TextRect(ARect, left, top, s);
  } else {
    const TBrushStyle bs = Canvas->Brush()->Style();
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->TextRect(ARect, left, top, s);
    Canvas->Brush()->SetStyle(bs);
  }
}

HFONT CreateVerticalFont(TFont* Font) {
  LOGFONT lf;
  lf.lfHeight = Font->Height();
  lf.lfWidth = 0;
  lf.lfEscapement = 900;
  lf.lfOrientation = 900;
  lf.lfWeight = Font->Style().Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = Font->Style().Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = Font->Style().Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = Font->Style().Contains(fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = static_cast<uint8_t>(Font->Charset());
  lf.lfFaceName = Font->Name() == "Default" ? String("Tahoma") : Font->Name();
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  return CreateFontIndirect(lf);
}

int WriteVerticalText(TCanvas* Canvas, const TRect& ARect, bool FillRect, int DX, int DY, const String& Text,
                      TAlignment Alignment, TTextLayout Layout, bool EndEllipsis, bool CalcOnly) {
  TFont saved;
  saved.Assign(Canvas->Font());
  Canvas->Font()->SetOrientation(900);
  const int avail = ARect.Bottom - ARect.Top - 2 * DY;
  String s = EndEllipsis && !CalcOnly ? EllipsisText(Text, Canvas, avail) : Text;
  int extent = Canvas->TextWidth(s);
  HDC dc = Canvas->Handle();
  OUTLINETEXTMETRIC otm;
  if (Canvas->Font()->Style().Contains(fsItalic) && dc != nullptr &&
      GetOutlineTextMetrics(dc, sizeof(otm), &otm) != 0 && otm.otmsCharSlopeRise != 0)
    extent += otm.otmTextMetrics.tmHeight * otm.otmsCharSlopeRun / otm.otmsCharSlopeRise;
  if (!CalcOnly) {
    const int h = Canvas->TextHeight(s);
    // Bottom-up: the text starts at the bottom and runs upwards.
    int y;
    if (Alignment == taRightJustify) y = ARect.Top + DY + extent;
    else if (Alignment == taCenter) y = (ARect.Top + ARect.Bottom + extent) / 2;
    else y = ARect.Bottom - DY;
    int x;
    if (Layout == tlTop) x = ARect.Left + DX;
    else if (Layout == tlCenter) x = (ARect.Left + ARect.Right - h) / 2;
    else x = ARect.Right - h - DX;
    if (FillRect) Canvas->FillRect(ARect);
    const TBrushStyle bs = Canvas->Brush()->Style();
    Canvas->Brush()->SetStyle(bsClear);
    Canvas->TextRect(ARect, x, y, s);
    Canvas->Brush()->SetStyle(bs);
  }
  Canvas->Font()->Assign(&saved);
  return extent;
}
