#include "platform/gui/GDI.h"

#include <QFontMetrics>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gui/QtGraphics.h"

struct HRGN__ {
  QRegion region;
};

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

QString ExpandTabs(const QString& Text, const QFontMetrics& Metrics) {
  if (!Text.contains(QChar('\t'))) return Text;
  int stop = std::max(1, Metrics.averageCharWidth() * 8);
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

std::vector<TextLine> LayOut(const QString& Source, UINT Format, int Width, const QFontMetrics& Metrics) {
  QString text = Format & DT_EXPANDTABS ? ExpandTabs(Source, Metrics) : Source;
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

}  // namespace

int DrawText(HDC DC, const String& Text, int Count, TRect* Rect, UINT Format) {
  if (DC == nullptr || Rect == nullptr) return 0;
  size_t n = Count < 0 ? Text.size() : std::min(Text.size(), static_cast<size_t>(Count));
  const HDC__::Selected& sel = DC->sel;
  QFontMetrics fm(sel.font);
  int line_height = fm.height();
  int width = Rect->Width();
  std::vector<TextLine> lines = LayOut(QString::fromUtf8(Text.data(), static_cast<qsizetype>(n)), Format, width, fm);
  int height = static_cast<int>(lines.size()) * line_height;
  if (Format & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, fm.horizontalAdvance(l.text));
    if (n == 0) widest = 0;
    Rect->Right = Rect->Left + widest;
    Rect->Bottom = Rect->Top + height;
    return height;
  }
  QPainter* p = Painter(DC);
  if (p == nullptr) return 0;
  TRect r = *Rect;
  p->save();
  if (sel.escapement != 0) {
    p->translate(r.Left, r.Top);
    p->rotate(-sel.escapement / 10.0);
    OffsetRect(r, -r.Left, -r.Top);
  }
  if (!(Format & DT_NOCLIP)) p->setClipRect(ToQRect(r), Qt::IntersectClip);
  p->setFont(sel.font);
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
    if (sel.opaque) p->fillRect(QRect(x, y, w, line_height), sel.bk_color);
    p->setPen(sel.text_color);
    p->drawText(QPoint(x, y + fm.ascent()), l.text);
    if (l.mark >= 0 && l.mark < l.text.size() && !(Format & DT_HIDEPREFIX)) {
      int ux = x + fm.horizontalAdvance(l.text.left(l.mark));
      int uw = fm.horizontalAdvance(l.text.at(l.mark));
      int uy = y + fm.ascent() + std::max(1, fm.underlinePos());
      p->fillRect(QRect(ux, std::min(uy, y + line_height - 1), std::max(uw, 1), std::max(1, fm.lineWidth())),
                  sel.text_color);
    }
    y += line_height;
  }
  p->restore();
  return height;
}

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

// ---------------------------------------------------------------------------
// State and clipping

int SaveDC(HDC DC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return 0;
  p->save();
  DC->saved.push_back(DC->sel);
  return static_cast<int>(DC->saved.size());
}

bool RestoreDC(HDC DC, int SavedDC) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return false;
  int levels = static_cast<int>(DC->saved.size());
  int target = SavedDC < 0 ? levels + SavedDC : SavedDC - 1;
  if (target < 0 || target >= levels) return false;
  while (static_cast<int>(DC->saved.size()) > target) {
    DC->sel = DC->saved.back();
    DC->saved.pop_back();
    p->restore();
  }
  return true;
}

namespace {

QRegion DeviceRegion(QPainter* p) { return QRegion(QRect(0, 0, p->device()->width(), p->device()->height())); }

QRegion CurrentClip(QPainter* p) { return p->hasClipping() ? p->clipRegion() : DeviceRegion(p); }

int KindOf(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HRGN CreateRectRgn(int Left, int Top, int Right, int Bottom) {
  return new HRGN__{QRegion(QRect(QPoint(std::min(Left, Right), std::min(Top, Bottom)),
                                  QPoint(std::max(Left, Right) - 1, std::max(Top, Bottom) - 1)))};
}

bool DeleteObject(HRGN Region) {
  if (Region == nullptr) return false;
  delete Region;
  return true;
}

namespace {

// The clip narrowed to (or by) a rectangle.
int NarrowClip(HDC DC, const QRect& R, bool Exclude) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return ERROR;
  QRegion r = Exclude ? CurrentClip(p).subtracted(R) : CurrentClip(p).intersected(R);
  p->setClipRegion(r);
  return KindOf(r);
}

}  // namespace

int IntersectClipRect(HDC DC, int Left, int Top, int Right, int Bottom) {
  return NarrowClip(DC, QRect(Left, Top, Right - Left, Bottom - Top), false);
}

int ExcludeClipRect(HDC DC, int Left, int Top, int Right, int Bottom) {
  return NarrowClip(DC, QRect(Left, Top, Right - Left, Bottom - Top), true);
}

int SelectClipRgn(HDC DC, HRGN Region) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr) return ERROR;
  if (Region == nullptr) {
    p->setClipping(false);
    return SIMPLEREGION;
  }
  p->setClipRegion(Region->region);
  return KindOf(Region->region);
}

int GetClipRgn(HDC DC, HRGN Region) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr || Region == nullptr) return -1;
  if (!p->hasClipping()) return 0;
  Region->region = p->clipRegion();
  return 1;
}

int GetClipBox(HDC DC, TRect* Rect) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr || Rect == nullptr) return ERROR;
  QRegion r = CurrentClip(p);
  QRect b = r.boundingRect();
  *Rect = {b.left(), b.top(), b.left() + b.width(), b.top() + b.height()};
  return KindOf(r);
}
