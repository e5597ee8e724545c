#include "platform/gui/Cursors.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <map>
#include <memory>
#include <mutex>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/os/Resources.h"

struct HCURSOR__ {
  int shape = -1;  // a Qt cursor shape, or -1 for an image
  QImage image;    // ARGB32
  TPoint hot;
  bool shared = false;
};

namespace {

uint32_t U16(std::span<const uint8_t> d, size_t at) { return d[at] | (d[at + 1] << 8); }
uint32_t U32(std::span<const uint8_t> d, size_t at) { return U16(d, at) | (U16(d, at + 2) << 16); }

// One image of a cursor file: a device-independent bitmap of double height
// (colour rows, then the 1-bit AND mask), bottom-up.
QImage ReadDib(std::span<const uint8_t> d) {
  if (d.size() < 40 || U32(d, 0) < 40) return {};
  int width = static_cast<int32_t>(U32(d, 4));
  int height = static_cast<int32_t>(U32(d, 8)) / 2;
  int bits = static_cast<int>(U16(d, 14));
  if (width <= 0 || height <= 0 || width > 256 || height > 256 || U32(d, 16) != 0) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return {};
  size_t colours = bits <= 8 ? (U32(d, 32) != 0 ? U32(d, 32) : (1u << bits)) : 0;
  if (colours > 256) return {};
  size_t palette = U32(d, 0);
  size_t pixels = palette + colours * 4;
  size_t stride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  size_t mask_stride = (static_cast<size_t>(width) + 31) / 32 * 4;
  size_t mask = pixels + stride * height;
  if (mask + mask_stride * height > d.size()) return {};
  QImage img(width, height, QImage::Format_ARGB32);
  for (int y = 0; y < height; ++y) {
    size_t row = pixels + stride * (height - 1 - y), mrow = mask + mask_stride * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      uint32_t argb = 0;
      if (bits <= 8) {
        size_t bit = static_cast<size_t>(x) * bits;
        uint32_t index = (d[row + bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
        if (index >= colours) return {};
        size_t at = palette + index * 4;
        argb = 0xFF000000u | (d[at + 2] << 16) | (d[at + 1] << 8) | d[at];
      } else {
        size_t at = row + static_cast<size_t>(x) * (bits / 8);
        argb = 0xFF000000u | (d[at + 2] << 16) | (d[at + 1] << 8) | d[at];
        if (bits == 32) argb = (static_cast<uint32_t>(d[at + 3]) << 24) | (argb & 0xFFFFFF);
      }
      bool clear = (d[mrow + x / 8] >> (7 - x % 8)) & 1;
      if (clear) argb = 0;  // a set mask bit over black is clear (inverting pixels are not kept)
      img.setPixel(x, y, argb);
    }
  }
  return img;
}

HCURSOR Shared(int Shape) {
  static std::mutex lock;
  static std::map<int, std::unique_ptr<HCURSOR__>> made;
  std::lock_guard guard(lock);
  auto& slot = made[Shape];
  if (!slot) {
    slot = std::make_unique<HCURSOR__>();
    slot->shape = Shape;
    slot->shared = true;
  }
  return slot.get();
}

HCURSOR g_current = nullptr;

// A WM_SETCURSOR round in progress: the widget under the pointer, and
// whether a handler set its cursor.
struct CursorRound {
  QPointer<QWidget> widget;
  bool set = false;
};
CursorRound* g_round = nullptr;

// Widget properties: a cursor set by SetCursor is showing, and the cursor
// the widget had of its own before (an edit box's text cursor).
constexpr const char* kOverride = "platformCursorOverride";
constexpr const char* kNative = "platformNativeCursor";

QCursor ToQCursor(HCURSOR c) {
  if (c == nullptr) return QCursor(Qt::BlankCursor);
  if (c->shape >= 0) return QCursor(static_cast<Qt::CursorShape>(c->shape));
  return QCursor(QPixmap::fromImage(c->image), c->hot.X, c->hot.Y);
}

void ShowOn(QWidget* w, HCURSOR c) {
  if (!w->property(kOverride).toBool()) {
    w->setProperty(kOverride, true);
    w->setProperty(kNative, w->testAttribute(Qt::WA_SetCursor) ? QVariant(w->cursor()) : QVariant());
  }
  w->setCursor(ToQCursor(c));
}

// Puts back what the widget showed before SetCursor: its control's Cursor
// on the control's own widget, else its own cursor.
void Restore(QWidget* w, TControl* control) {
  if (!w->property(kOverride).toBool()) return;
  w->setProperty(kOverride, false);
  QVariant native = w->property(kNative);
  if (control != nullptr && control->Widget() == w) ApplyControlCursor(w, control->Cursor());
  else if (native.isValid()) w->setCursor(native.value<QCursor>());
  else w->unsetCursor();
}

}  // namespace

void ApplyControlCursor(QWidget* Widget, TCursor Cursor) {
  int shape = CursorShape(Cursor);
  if (shape >= 0) {
    Widget->setCursor(static_cast<Qt::CursorShape>(shape));
  } else if (Cursor != crDefault && Screen != nullptr) {
    Widget->setCursor(ToQCursor(Screen->Cursors(Cursor)));
  } else {
    Widget->unsetCursor();
  }
}

void PointerCursorRound(TControl* Control, QWidget* Widget, Cardinal MouseMessage) {
  auto* win = dynamic_cast<TWinControl*>(Control);
  if (win == nullptr) win = Control->Parent();
  if (win == nullptr || !win->HandleAllocated()) return;
  CursorRound round{Widget};
  struct Scope {
    CursorRound* outer = g_round;
    explicit Scope(CursorRound* r) { g_round = r; }
    ~Scope() { g_round = outer; }
  } scope(&round);
  TControlRef alive(Control);
  win->Perform(WM_SETCURSOR, reinterpret_cast<WPARAM>(win->Handle()), MAKELPARAM(HTCLIENT, MouseMessage));
  if (!round.set && round.widget != nullptr) Restore(round.widget, alive ? Control : nullptr);
}

void DefaultSetCursorHandler(TWinControl* Control, TMessage& Message) {
  if (LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT && Control->HandleAllocated() &&
      reinterpret_cast<HWND>(Message.WParam) == Control->Handle()) {
    TCursor cursor = Screen != nullptr ? Screen->Cursor() : crDefault;
    if (cursor == crDefault) {
      // A graphic child under the pointer speaks for itself (the topmost).
      TPoint p = Control->ScreenToClient(GetCursorPos());
      TControl* at = Control;
      for (int i = Control->ControlCount() - 1; i >= 0; --i) {
        TControl* child = Control->Controls(i);
        if (dynamic_cast<TWinControl*>(child) == nullptr && child->Visible() && child->BoundsRect().Contains(p)) {
          at = child;
          break;
        }
      }
      cursor = at->Cursor();
    }
    if (cursor != crDefault) {
      SetCursor(Screen != nullptr ? Screen->Cursors(cursor) : ScreenCursor(cursor));
      Message.Result = 1;
      return;
    }
  }
  Message.Result = Control->Parent() != nullptr ? Control->Parent()->Perform(WM_SETCURSOR, Message.WParam, Message.LParam) : 0;
}

// ---------------------------------------------------------------------------
// The screen's cursors

HCURSOR TScreen::Cursors(int Index) const {
  if (auto it = cursors_.map.find(Index); it != cursors_.map.end()) return it->second;
  if (Index < crDefault && Index >= crSizeAll) return ScreenCursor(static_cast<TCursor>(Index));
  return LoadCursor(nullptr, IDC_ARROW);
}

void TScreen::SetCursors(int Index, HCURSOR Handle) {
  auto it = cursors_.map.find(Index);
  if (it != cursors_.map.end()) {
    if (it->second == Handle) return;
    DestroyCursor(it->second);
    cursors_.map.erase(it);
  }
  if (Handle != nullptr) cursors_.map[Index] = Handle;
  if (!GuiApplicationExists()) return;
  for (QWidget* w : QApplication::allWidgets()) {
    TControl* c = FindControl(w);
    if (c != nullptr && c->Widget() == w && c->Cursor() == Index) ApplyControlCursor(w, c->Cursor());
  }
}

TScreen::TCursorRegistry::~TCursorRegistry() {
  for (auto& [index, cursor] : map) DestroyCursor(cursor);
}

HCURSOR CreateCursorFromData(std::span<const uint8_t> d) {
  // Header: reserved 0, type 2 (cursor), image count; 16-byte entries.
  if (d.size() < 22 || U16(d, 0) != 0 || U16(d, 2) != 2 || U16(d, 4) == 0) return nullptr;
  int count = static_cast<int>(U16(d, 4)), best = -1, best_score = 0;
  for (int i = 0; i < count && 6 + 16 * static_cast<size_t>(i + 1) <= d.size(); ++i) {
    int w = d[6 + 16 * i];
    int score = std::abs((w == 0 ? 256 : w) - 32);
    if (best < 0 || score < best_score) {
      best = i;
      best_score = score;
    }
  }
  if (best < 0) return nullptr;
  size_t entry = 6 + 16 * static_cast<size_t>(best);
  size_t size = U32(d, entry + 8), offset = U32(d, entry + 12);
  if (offset > d.size() || size > d.size() - offset) return nullptr;
  QImage image = ReadDib(d.subspan(offset, size));
  if (image.isNull()) return nullptr;
  auto* c = new HCURSOR__;
  c->image = image;
  c->hot = {static_cast<int>(std::min<uint32_t>(U16(d, entry + 4), image.width() - 1)),
            static_cast<int>(std::min<uint32_t>(U16(d, entry + 6), image.height() - 1))};
  return c;
}

HCURSOR LoadCursor(HMODULE Instance, const String& Name) {
  std::optional<TResource> r = FindModuleResource(Instance, Name, RT_CURSOR);
  return r ? CreateCursorFromData(r->Data) : nullptr;
}

HCURSOR LoadCursor(HMODULE Instance, uint16_t Id) {
  if (std::optional<TResource> r = FindModuleResource(Instance, Id, RT_CURSOR)) return CreateCursorFromData(r->Data);
  if (Instance != nullptr) return nullptr;
  switch (Id) {
    case IDC_ARROW: return Shared(Qt::ArrowCursor);
    case IDC_IBEAM: return Shared(Qt::IBeamCursor);
    case IDC_WAIT: return Shared(Qt::WaitCursor);
    case IDC_CROSS: return Shared(Qt::CrossCursor);
    case IDC_UPARROW: return Shared(Qt::UpArrowCursor);
    case IDC_SIZENWSE: return Shared(Qt::SizeFDiagCursor);
    case IDC_SIZENESW: return Shared(Qt::SizeBDiagCursor);
    case IDC_SIZEWE: return Shared(Qt::SizeHorCursor);
    case IDC_SIZENS: return Shared(Qt::SizeVerCursor);
    case IDC_SIZEALL: return Shared(Qt::SizeAllCursor);
    case IDC_NO: return Shared(Qt::ForbiddenCursor);
    case IDC_HAND: return Shared(Qt::PointingHandCursor);
    case IDC_APPSTARTING: return Shared(Qt::BusyCursor);
    case IDC_HELP: return Shared(Qt::WhatsThisCursor);
    default: return nullptr;
  }
}

HCURSOR ScreenCursor(TCursor Cursor) {
  int shape = CursorShape(Cursor);
  return Shared(shape < 0 ? Qt::ArrowCursor : shape);
}

bool DestroyCursor(HCURSOR Cursor) {
  if (Cursor == nullptr || Cursor->shared) return false;
  if (g_current == Cursor) g_current = nullptr;
  delete Cursor;
  return true;
}

bool GetIconInfo(HCURSOR Cursor, ICONINFO* Info) {
  if (Cursor == nullptr || Info == nullptr) return false;
  Info->fIcon = false;
  Info->xHotspot = static_cast<uint32_t>(Cursor->hot.X);
  Info->yHotspot = static_cast<uint32_t>(Cursor->hot.Y);
  Info->Size = {Cursor->image.width(), Cursor->image.height()};
  return true;
}

uint32_t CursorPixel(HCURSOR Cursor, int X, int Y) {
  if (Cursor == nullptr || !Cursor->image.valid(X, Y)) return 0;
  return Cursor->image.pixel(X, Y);
}

HCURSOR SetCursor(HCURSOR Cursor) {
  HCURSOR old = g_current;
  g_current = Cursor;
  if (g_round != nullptr) {
    g_round->set = true;
    if (g_round->widget != nullptr) ShowOn(g_round->widget, Cursor);
    return old;
  }
  if (!GuiApplicationExists()) return old;
  if (QWidget* w = QApplication::widgetAt(QCursor::pos())) ShowOn(w, Cursor);
  return old;
}

HCURSOR GetCursor() { return g_current; }
