// DrawFrameControl: the classic check boxes, push buttons and scroll
// arrows, drawn in the system colours.
#include <algorithm>

#include "platform/gui/QtGraphics.h"

namespace {

// The classic 7 x 7 check mark, row by row (bit 6 is the leftmost pixel).
constexpr uint8_t kCheck[7] = {0x01, 0x03, 0x47, 0x6E, 0x7C, 0x38, 0x10};

QColor C(TColor Color) { return ToQColor(Color); }

void Fill(QPainter* p, const QRect& R, TColor Color) {
  if (!R.isEmpty()) p->fillRect(R, C(Color));
}

// A one-pixel frame; R shrinks inside it.
void Frame(QPainter* p, QRect& R, TColor Color) {
  Fill(p, QRect(R.left(), R.top(), R.width(), 1), Color);
  Fill(p, QRect(R.left(), R.bottom(), R.width(), 1), Color);
  Fill(p, QRect(R.left(), R.top(), 1, R.height()), Color);
  Fill(p, QRect(R.right(), R.top(), 1, R.height()), Color);
  R.adjust(1, 1, -1, -1);
}

TRect ToT(const QRect& R) { return {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()}; }

// Edge and background of a button face; R shrinks to the inside.
void ButtonFace(HDC DC, QPainter* p, QRect& R, UINT State, bool PushedFlat) {
  bool pushed = State & (DFCS_PUSHED | DFCS_CHECKED);
  if (State & DFCS_MONO) {
    Frame(p, R, clWindowFrame);
  } else if ((State & DFCS_FLAT) || (pushed && PushedFlat)) {
    Frame(p, R, clBtnShadow);
  } else {
    TRect t = ToT(R);
    DrawEdge(DC, t, pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
    R = QRect(t.Left, t.Top, t.Width(), t.Height());
  }
  if (!(State & DFCS_TRANSPARENT)) Fill(p, R, clBtnFace);
}

void CheckBox(HDC DC, QPainter* p, const QRect& Area, UINT State) {
  int side = std::min(Area.width(), Area.height());
  QRect box(Area.left() + (Area.width() - side) / 2, Area.top() + (Area.height() - side) / 2, side, side);
  bool grayed = (State & DFCS_CHECKED) && (State & DFCS_BUTTON3STATE);
  bool inactive = State & DFCS_INACTIVE;
  if (State & DFCS_MONO) {
    Frame(p, box, clWindowFrame);
  } else if (State & DFCS_FLAT) {
    Frame(p, box, clBtnShadow);
  } else {
    TRect t = ToT(box);
    DrawEdge(DC, t, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    box = QRect(t.Left, t.Top, t.Width(), t.Height());
  }
  if (box.isEmpty()) return;
  if (!(State & DFCS_TRANSPARENT)) {
    if (State & (DFCS_PUSHED | DFCS_INACTIVE)) {
      Fill(p, box, clBtnFace);
    } else if (grayed) {
      QColor light = C(clBtnHighlight), face = C(clBtnFace);
      for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) p->fillRect(QRect(x, y, 1, 1), (x + y) % 2 ? face : light);
    } else {
      Fill(p, box, clWindow);
    }
  }
  if (!(State & DFCS_CHECKED)) return;
  QColor mark = C(grayed || inactive ? clBtnShadow : clWindowText);
  int scale = std::max(1, box.width() / 9);
  int size = 7 * scale;
  int x0 = box.left() + (box.width() - size) / 2, y0 = box.top() + (box.height() - size) / 2;
  p->save();
  p->setClipRect(box, Qt::IntersectClip);
  for (int row = 0; row < 7; ++row)
    for (int col = 0; col < 7; ++col)
      if (kCheck[row] & (0x40 >> col)) p->fillRect(QRect(x0 + col * scale, y0 + row * scale, scale, scale), mark);
  p->restore();
}

// A solid triangle pointing Dir (DFCS_SCROLLUP ...) centred in R, Depth
// rows deep.
void Arrow(QPainter* p, const QRect& R, int depth, UINT Dir, const QColor& Color) {
  bool vertical = Dir == DFCS_SCROLLUP || Dir == DFCS_SCROLLDOWN || Dir == DFCS_SCROLLCOMBOBOX;
  int cx = R.left() + (R.width() - 1) / 2, cy = R.top() + (R.height() - 1) / 2;
  for (int i = 0; i < depth; ++i) {
    int half = depth - 1 - i;  // the widest row first
    if (vertical) {
      int top = cy - depth / 2;
      int y = Dir == DFCS_SCROLLUP ? top + depth - 1 - i : top + i;
      p->fillRect(QRect(cx - half, y, 2 * half + 1, 1), Color);
    } else {
      int left = cx - depth / 2;
      int x = Dir == DFCS_SCROLLLEFT ? left + depth - 1 - i : left + i;
      p->fillRect(QRect(x, cy - half, 1, 2 * half + 1), Color);
    }
  }
}

void ScrollButton(HDC DC, QPainter* p, const QRect& Area, UINT State) {
  UINT kind = State & 0xFF;
  QRect r = Area;
  if (kind == DFCS_SCROLLSIZEGRIP || kind == DFCS_SCROLLSIZEGRIPRIGHT) {
    if (!(State & DFCS_TRANSPARENT)) Fill(p, r, clBtnFace);
    // Three pairs of diagonal lines in the bottom-right corner.
    int n = std::min(r.width(), r.height());
    for (int k = 0; k < 3; ++k) {
      int off = n - 1 - k * 4;
      for (int line = 0; line < 2 && off - line > 0; ++line) {
        QColor color = C(line == 0 ? clBtnShadow : clBtnHighlight);
        int d = off - line;
        for (int i = 0; i < d; ++i) p->fillRect(QRect(r.right() - i, r.bottom() - d + 1 + i, 1, 1), color);
      }
    }
    return;
  }
  bool pushed = State & DFCS_PUSHED;
  int depth = std::max(1, (std::min(Area.width(), Area.height()) + 1) / 4);
  ButtonFace(DC, p, r, State, true);
  if (pushed) r.translate(1, 1);
  UINT dir = kind == DFCS_SCROLLCOMBOBOX ? DFCS_SCROLLDOWN : kind;
  if (State & DFCS_INACTIVE) {
    Arrow(p, r.translated(1, 1), depth, dir, C(clBtnHighlight));
    Arrow(p, r, depth, dir, C(clBtnShadow));
  } else {
    Arrow(p, r, depth, dir, C(clBtnText));
  }
}

}  // namespace

bool DrawFrameControl(HDC DC, TRect& Rect, UINT Kind, UINT State) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (p == nullptr || !p->isActive()) return false;
  if (Rect.IsEmpty()) return true;
  QRect r(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  bool ok = true;
  switch (Kind) {
    case DFC_BUTTON:
      if ((State & 0xFF & ~DFCS_BUTTON3STATE) == DFCS_BUTTONCHECK) {
        CheckBox(DC, p, r, State);
      } else if ((State & 0xFF) == DFCS_BUTTONPUSH) {
        ButtonFace(DC, p, r, State, false);
        if (State & DFCS_ADJUSTRECT) Rect = ToT(r);
      } else {
        ok = false;
      }
      break;
    case DFC_SCROLL:
      switch (State & 0xFF) {
        case DFCS_SCROLLUP:
        case DFCS_SCROLLDOWN:
        case DFCS_SCROLLLEFT:
        case DFCS_SCROLLRIGHT:
        case DFCS_SCROLLCOMBOBOX:
        case DFCS_SCROLLSIZEGRIP:
        case DFCS_SCROLLSIZEGRIPRIGHT: ScrollButton(DC, p, r, State); break;
        default: ok = false; break;
      }
      break;
    default:
      ok = false;
      break;
  }
  p->restore();
  return ok;
}
