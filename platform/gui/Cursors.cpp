#include "platform/gui/Cursors.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <map>
#include <memory>
#include <mutex>

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

}  // namespace

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
  if (!GuiApplicationExists()) return old;
  QWidget* w = QApplication::widgetAt(QCursor::pos());
  if (w == nullptr) return old;
  if (Cursor == nullptr) w->setCursor(Qt::BlankCursor);
  else if (Cursor->shape >= 0) w->setCursor(static_cast<Qt::CursorShape>(Cursor->shape));
  else w->setCursor(QCursor(QPixmap::fromImage(Cursor->image), Cursor->hot.X, Cursor->hot.Y));
  return old;
}

HCURSOR GetCursor() { return g_current; }
