#include "platform/gui/GDI.h"

#include <QFontInfo>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gui/QtGraphics.h"

namespace {

struct TextLine {
  QString text;
  int mark = -1;  // the character marked by "&" (underlined), or -1
};

QRect ToQRect(const TRect& R) { return QRect(R.Left, R.Top, R.Width(), R.Height()); }

// Takes out the "&" marks of one line: "&&" is "&", "&x" marks x.
TextLine StripPrefix(const QString& Text) {
  TextLine line;
  for (qsizetype i = 0; i < Text.size(); ++i) {
    if (Text[i] == QChar('&') && i + 1 < Text.size()) {
      ++i;
      if (Text[i] != QChar('&')) line.mark = static_cast<int>(line.text.size());
    }
    line.text += Text[i];
  }
  return line;
}

QString ExpandTabs(const QString& Text, const QFontMetrics& Metrics, int TabChars) {
  if (!Text.contains(QChar('\t'))) return Text;
  int stop = std::max(1, Metrics.averageCharWidth() * std::max(TabChars, 1));
  QString out;
  for (QChar c : Text) {
    if (c != QChar('\t')) {
      out += c;
      continue;
    }
    int width = Metrics.horizontalAdvance(out);
    int target = (width / stop + 1) * stop;
    do out += QChar(' ');
    while (Metrics.horizontalAdvance(out) < target);
  }
  return out;
}

// Breaks one paragraph into lines no wider than Width at blanks; a word
// wider than Width keeps a line of its own.
std::vector<TextLine> WrapLine(const TextLine& Para, int Width, const QFontMetrics& Metrics) {
  std::vector<TextLine> lines;
  const QString& t = Para.text;
  qsizetype start = 0;
  while (true) {
    if (Metrics.horizontalAdvance(t.mid(start)) <= Width) {
      lines.push_back({t.mid(start), -1});
      break;
    }
    // The longest run of whole words from start that fits.
    qsizetype cut = -1;
    for (qsizetype i = start + 1; i < t.size(); ++i) {
      if (t[i] == QChar(' ') && t[i - 1] != QChar(' ')) {
        if (Metrics.horizontalAdvance(t.mid(start, i - start)) <= Width) cut = i;
        else break;
      }
    }
    if (cut < 0) {
      // The first word alone does not fit: it stays whole on its line.
      qsizetype i = start;
      while (i < t.size() && t[i] != QChar(' ')) ++i;
      if (i >= t.size()) {
        lines.push_back({t.mid(start), -1});
        break;
      }
      cut = i;
    }
    lines.push_back({t.mid(start, cut - start), -1});
    start = cut;
    while (start < t.size() && t[start] == QChar(' ')) ++start;
    if (start >= t.size()) break;
  }
  // The mark goes to the line that holds its character.
  if (Para.mark >= 0) {
    qsizetype pos = 0;
    for (TextLine& l : lines) {
      qsizetype at = t.indexOf(l.text, pos);
      if (at >= 0 && Para.mark >= at && Para.mark < at + l.text.size()) {
        l.mark = static_cast<int>(Para.mark - at);
        break;
      }
      if (at >= 0) pos = at + l.text.size();
    }
  }
  return lines;
}

QString EndEllipsis(const QString& Text, int Width, const QFontMetrics& Metrics) {
  if (Metrics.horizontalAdvance(Text) <= Width) return Text;
  const QString dots = QStringLiteral("...");
  for (qsizetype n = Text.size() - 1; n >= 0; --n) {
    QString candidate = Text.left(n) + dots;
    if (Metrics.horizontalAdvance(candidate) <= Width) return candidate;
  }
  QString fit = dots;
  while (!fit.isEmpty() && Metrics.horizontalAdvance(fit) > Width) fit.chop(1);
  return fit;
}

std::vector<TextLine> LayOut(const QString& Source, UINT Format, int Width, const QFontMetrics& Metrics,
                             int TabChars) {
  QString text = Format & DT_EXPANDTABS ? ExpandTabs(Source, Metrics, TabChars) : Source;
  std::vector<QString> paragraphs;
  if (Format & DT_SINGLELINE) {
    text.remove(QChar('\r'));
    text.remove(QChar('\n'));
    paragraphs.push_back(text);
  } else {
    QString current;
    for (qsizetype i = 0; i < text.size(); ++i) {
      QChar c = text[i];
      if (c == QChar('\r') || c == QChar('\n')) {
        paragraphs.push_back(current);
        current.clear();
        if (c == QChar('\r') && i + 1 < text.size() && text[i + 1] == QChar('\n')) ++i;
      } else {
        current += c;
      }
    }
    paragraphs.push_back(current);
  }
  std::vector<TextLine> lines;
  for (const QString& para : paragraphs) {
    TextLine line = Format & DT_NOPREFIX ? TextLine{para, -1} : StripPrefix(para);
    if ((Format & DT_WORDBREAK) && !(Format & DT_SINGLELINE)) {
      for (TextLine& l : WrapLine(line, Width, Metrics)) lines.push_back(std::move(l));
    } else {
      lines.push_back(std::move(line));
    }
  }
  if (Format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) {
    for (TextLine& l : lines) {
      QString cut = EndEllipsis(l.text, Width, Metrics);
      if (cut != l.text) {
        if (l.mark >= cut.size() - 3) l.mark = -1;
        l.text = cut;
      }
    }
  }
  return lines;
}

// Under a mirroring transform, turns the painter about the box's middle so
// that glyphs drawn in the box read left to right.
void Unmirror(QPainter* p, const QRect& Box) {
  double cx = Box.left() + Box.width() / 2.0;
  p->translate(cx, 0);
  p->scale(-1, 1);
  p->translate(-cx, 0);
}

// Draws one line of text with its box's top-left at (X, Y).
void DrawLine(QPainter* p, HDC DC, const QFontMetrics& fm, int X, int Y, const QString& Text, bool Fill) {
  const HDC__::Selected& sel = DC->sel;
  QRect box(X, Y, fm.horizontalAdvance(Text), fm.height());
  p->save();
  if (Mirrored(DC)) Unmirror(p, box);
  if (Fill) p->fillRect(box, sel.bk_color);
  p->setFont(sel.font);
  p->setPen(sel.text_color);
  p->drawText(QPoint(X, Y + fm.ascent()), Text);
  p->restore();
}

QString TextOf(const String& Text, int Count) {
  size_t n = Count < 0 ? Text.size() : std::min(Text.size(), static_cast<size_t>(Count));
  return QString::fromUtf8(Text.data(), static_cast<qsizetype>(n));
}

int DrawTextImpl(HDC DC, const QString& Text, TRect* Rect, UINT Format, int TabChars) {
  const HDC__::Selected& sel = DC->sel;
  QFontMetrics fm(sel.font);
  int line_height = fm.height();
  int width = Rect->Width();
  std::vector<TextLine> lines = LayOut(Text, Format, width, fm, TabChars);
  int height = static_cast<int>(lines.size()) * line_height;
  if (Format & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, fm.horizontalAdvance(l.text));
    if (Text.isEmpty()) widest = 0;
    Rect->Right = Rect->Left + widest;
    Rect->Bottom = Rect->Top + height;
    return height;
  }
  QPainter* p = Painter(DC);
  if (p == nullptr || !p->isActive()) return 0;
  TRect r = *Rect;
  p->save();
  p->setLayoutDirection(Format & DT_RTLREADING ? Qt::RightToLeft : Qt::LeftToRight);
  if (sel.escapement != 0) {
    p->translate(r.Left, r.Top);
    p->rotate(-sel.escapement / 10.0);
    OffsetRect(r, -r.Left, -r.Top);
  }
  if (!(Format & DT_NOCLIP)) p->setClipRect(ToQRect(r), Qt::IntersectClip);
  int y = r.Top;
  if (Format & DT_SINGLELINE) {
    if (Format & DT_BOTTOM) y = r.Bottom - line_height;
    else if (Format & DT_VCENTER) y = r.Top + (r.Height() - line_height) / 2;
  }
  for (const TextLine& l : lines) {
    int w = fm.horizontalAdvance(l.text);
    int x = r.Left;
    if (Format & DT_CENTER) x = r.Left + (r.Width() - w) / 2;
    else if (Format & DT_RIGHT) x = r.Right - w;
    DrawLine(p, DC, fm, x, y, l.text, sel.opaque);
    if (l.mark >= 0 && l.mark < l.text.size() && !(Format & DT_HIDEPREFIX)) {
      int ux = x + fm.horizontalAdvance(l.text.left(l.mark));
      int uw = fm.horizontalAdvance(l.text.at(l.mark));
      int uy = y + fm.ascent() + std::max(1, fm.underlinePos());
      QRect mark(ux, std::min(uy, y + line_height - 1), std::max(uw, 1), std::max(1, fm.lineWidth()));
      p->save();
      if (Mirrored(DC)) Unmirror(p, QRect(x, y, w, line_height));
      p->fillRect(mark, sel.text_color);
      p->restore();
    }
    y += line_height;
  }
  p->restore();
  return height;
}

}  // namespace

int DrawText(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format) {
  if (DC == nullptr || Rect == nullptr) return 0;
  return DrawTextImpl(DC, TextOf(Text, Count), Rect, Format, 8);
}

int DrawTextEx(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format, DRAWTEXTPARAMS* Params) {
  if (DC == nullptr || Rect == nullptr) return 0;
  QString text = TextOf(Text, Count);
  int left = Params != nullptr ? Params->iLeftMargin : 0;
  int right = Params != nullptr ? Params->iRightMargin : 0;
  int tabs = Params != nullptr && (Format & DT_TABSTOP) ? Params->iTabLength : 8;
  TRect r{Rect->Left + left, Rect->Top, Rect->Right - right, Rect->Bottom};
  int height = DrawTextImpl(DC, text, &r, Format, tabs);
  if (Format & DT_CALCRECT) {
    Rect->Right = r.Right + right;
    Rect->Bottom = r.Bottom;
  }
  if (Params != nullptr) Params->uiLengthDrawn = static_cast<UINT>(text.size());
  return height;
}

bool ExtTextOut(HDC DC, int X, int Y, UINT Options, const TRect* Rect, const String& Text, int Count) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr || !p->isActive()) return false;
  HDC__::Selected& sel = DC->sel;
  QString text = TextOf(Text, Count);
  QFontMetrics fm(sel.font);
  int width = fm.horizontalAdvance(text);
  if (sel.text_align & TA_UPDATECP) {
    X = sel.position.X;
    Y = sel.position.Y;
  }
  p->save();
  if ((Options & ETO_OPAQUE) && Rect != nullptr) p->fillRect(ToQRect(*Rect), sel.bk_color);
  if ((Options & ETO_CLIPPED) && Rect != nullptr) p->setClipRect(ToQRect(*Rect), Qt::IntersectClip);
  p->translate(X, Y);
  if (sel.escapement != 0) p->rotate(-sel.escapement / 10.0);
  int x = 0, y = 0;
  switch (sel.text_align & TA_CENTER) {
    case TA_RIGHT: x = -width; break;
    case TA_CENTER: x = -width / 2; break;
    default: break;
  }
  switch (sel.text_align & TA_BASELINE) {
    case TA_BOTTOM: y = -fm.height(); break;
    case TA_BASELINE: y = -fm.ascent(); break;
    default: break;
  }
  DrawLine(p, DC, fm, x, y, text, sel.opaque);
  p->restore();
  if (sel.text_align & TA_UPDATECP) {
    // The position moves along the baseline by the text's advance.
    double angle = sel.escapement * M_PI / 1800.0;
    int advance = (sel.text_align & TA_CENTER) == TA_LEFT ? width : (sel.text_align & TA_CENTER) == TA_RIGHT ? -width : 0;
    sel.position = {X + static_cast<int>(std::lround(advance * std::cos(angle))),
                    Y - static_cast<int>(std::lround(advance * std::sin(angle)))};
  }
  return true;
}

bool TextOut(HDC DC, int X, int Y, const String& Text, int Count) {
  return ExtTextOut(DC, X, Y, 0, nullptr, Text, Count);
}

bool GetTextMetrics(HDC DC, TEXTMETRIC* M) {
  if (DC == nullptr || M == nullptr) return false;
  const QFont& f = DC->sel.font;
  QFontMetrics fm(f);
  *M = TEXTMETRIC{};
  M->tmAscent = fm.ascent();
  M->tmDescent = fm.descent();
  M->tmHeight = fm.ascent() + fm.descent();
  int em = f.pixelSize() > 0 ? f.pixelSize() : M->tmHeight;
  M->tmInternalLeading = std::max(0, M->tmHeight - em);
  M->tmExternalLeading = std::max(0, fm.leading());
  M->tmAveCharWidth = fm.averageCharWidth();
  M->tmMaxCharWidth = std::max(fm.maxWidth(), M->tmAveCharWidth);
  M->tmWeight = f.bold() ? FW_BOLD : FW_NORMAL;
  M->tmItalic = f.italic() ? 1 : 0;
  M->tmUnderlined = f.underline() ? 1 : 0;
  M->tmStruckOut = f.strikeOut() ? 1 : 0;
  M->tmPitchAndFamily = QFontInfo(f).fixedPitch() ? 0 : TMPF_FIXED_PITCH;
  if (IsLiveObject(DC->sel.font_handle)) {
    if (auto* font = dynamic_cast<HFONT__*>(DC->sel.font_handle)) M->tmCharSet = font->font.lfCharSet;
  }
  return true;
}

bool GetTextExtentPoint32(HDC DC, const String& Text, int Count, TSize* Size) {
  if (DC == nullptr || Size == nullptr) return false;
  QFontMetrics fm(DC->sel.font);
  *Size = {fm.horizontalAdvance(TextOf(Text, Count)), fm.height()};
  return true;
}

UINT GetOutlineTextMetrics(HDC DC, UINT Size, OUTLINETEXTMETRIC* M) {
  if (DC == nullptr) return 0;
  if (M == nullptr) return sizeof(OUTLINETEXTMETRIC);
  if (Size < sizeof(OUTLINETEXTMETRIC)) return 0;
  *M = OUTLINETEXTMETRIC{};
  GetTextMetrics(DC, &M->otmTextMetrics);
  if (DC->sel.font.italic()) {
    M->otmsCharSlopeRise = 5;
    M->otmsCharSlopeRun = 1;
    M->otmItalicAngle = -113;
  }
  M->otmEMSquare = static_cast<UINT>(M->otmTextMetrics.tmHeight - M->otmTextMetrics.tmInternalLeading);
  M->otmAscent = M->otmTextMetrics.tmAscent;
  M->otmDescent = -M->otmTextMetrics.tmDescent;
  return sizeof(OUTLINETEXTMETRIC);
}

UINT SetTextAlign(HDC DC, UINT Align) {
  if (DC == nullptr) return GDI_ERROR;
  UINT old = DC->sel.text_align;
  DC->sel.text_align = Align;
  return old;
}

UINT GetTextAlign(HDC DC) { return DC == nullptr ? GDI_ERROR : DC->sel.text_align; }

// ---------------------------------------------------------------------------
// 3-D edges

namespace {

struct EdgeColors {
  TColor top_left;
  TColor bottom_right;
};

// Colours of one edge (outer or inner) of the given kind (raised/sunken).
EdgeColors EdgeOf(bool outer, bool raised, UINT Flags) {
  if (Flags & BF_MONO) return outer ? EdgeColors{clWindowFrame, clWindowFrame} : EdgeColors{clWindow, clWindow};
  if (Flags & BF_FLAT) return outer ? EdgeColors{clBtnShadow, clBtnShadow} : EdgeColors{clBtnFace, clBtnFace};
  bool soft = (Flags & BF_SOFT) != 0;
  if (raised) {
    if (outer) return {soft ? clBtnHighlight : cl3DLight, cl3DDkShadow};
    return {soft ? cl3DLight : clBtnHighlight, clBtnShadow};
  }
  if (outer) return {soft ? cl3DDkShadow : clBtnShadow, clBtnHighlight};
  return {soft ? clBtnShadow : cl3DDkShadow, cl3DLight};
}

// One one-pixel ring inside R on the sides in Flags; R shrinks by it.
void DrawRing(QPainter* p, TRect& R, const EdgeColors& c, UINT Flags) {
  if (R.IsEmpty()) return;
  QColor tl = ToQColor(c.top_left), br = ToQColor(c.bottom_right);
  if (Flags & BF_TOP) p->fillRect(QRect(R.Left, R.Top, R.Width(), 1), tl);
  if (Flags & BF_LEFT) p->fillRect(QRect(R.Left, R.Top, 1, R.Height()), tl);
  if (Flags & BF_BOTTOM) p->fillRect(QRect(R.Left, R.Bottom - 1, R.Width(), 1), br);
  if (Flags & BF_RIGHT) p->fillRect(QRect(R.Right - 1, R.Top, 1, R.Height()), br);
  if (Flags & BF_TOP) ++R.Top;
  if (Flags & BF_LEFT) ++R.Left;
  if (Flags & BF_BOTTOM) --R.Bottom;
  if (Flags & BF_RIGHT) --R.Right;
}

}  // namespace

bool DrawEdge(HDC DC, TRect& Rect, UINT Edge, UINT Flags) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return false;
  TRect r = Rect;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (Edge & BDR_OUTER) DrawRing(p, r, EdgeOf(true, (Edge & BDR_RAISEDOUTER) != 0, Flags), Flags);
  if (Edge & BDR_INNER) DrawRing(p, r, EdgeOf(false, (Edge & BDR_RAISEDINNER) != 0, Flags), Flags);
  if ((Flags & BF_MIDDLE) && !r.IsEmpty()) p->fillRect(ToQRect(r), ToQColor(Flags & BF_MONO ? clWindow : clBtnFace));
  p->restore();
  if (Flags & BF_ADJUST) Rect = r;
  return true;
}

// ---------------------------------------------------------------------------
// Selected colours

TColor SetTextColor(HDC DC, TColor Color) {
  TColor old = GetTextColor(DC);
  if (DC != nullptr) DC->sel.text_color = ToQColor(Color);
  return old;
}

TColor SetBkColor(HDC DC, TColor Color) {
  TColor old = GetBkColor(DC);
  if (DC != nullptr) DC->sel.bk_color = ToQColor(Color);
  return old;
}

int SetBkMode(HDC DC, int Mode) {
  int old = GetBkMode(DC);
  if (DC != nullptr && (Mode == TRANSPARENT || Mode == OPAQUE)) DC->sel.opaque = Mode == OPAQUE;
  return old;
}

TColor GetTextColor(HDC DC) { return DC != nullptr ? static_cast<TColor>(FromQColor(DC->sel.text_color)) : clNone; }
TColor GetBkColor(HDC DC) { return DC != nullptr ? static_cast<TColor>(FromQColor(DC->sel.bk_color)) : clNone; }
int GetBkMode(HDC DC) { return DC == nullptr ? 0 : DC->sel.opaque ? OPAQUE : TRANSPARENT; }

