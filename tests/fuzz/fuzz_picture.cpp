// libFuzzer target for the picture readers: a damaged picture must be a
// load failure (EInvalidGraphic; no cursor for cursor data), never a crash.
// Input: one byte choosing the reader (0 bitmap, 1 icon, 2 JPEG, 3 cursor,
// by its value modulo 4), then the picture's bytes. A picture that loads is
// drawn once.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/gui/Cursors.h"
#include "platform/gui/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/UnitInit.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeUnits({&unit_Jpeg});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  std::unique_ptr<TGraphic> graphic;
  if (Data[0] % 4 == 3) {
    if (HCURSOR cursor = CreateCursorFromData({Data + 1, Size - 1})) DestroyCursor(cursor);
    return 0;
  }
  switch (Data[0] % 4) {
    case 0: graphic = std::make_unique<TBitmap>(); break;
    case 1: graphic = std::make_unique<TIcon>(); break;
    default: graphic = std::make_unique<TJPEGImage>(); break;
  }
  TMemoryStream stream;
  stream.WriteBuffer(Data + 1, static_cast<Int64>(Size - 1));
  stream.SetPosition(0);
  try {
    graphic->LoadFromStream(&stream);
  } catch (const EInvalidGraphic&) {
    return 0;
  }
  if (graphic->Width() > 0 && graphic->Height() > 0 && graphic->Width() * graphic->Height() <= 1 << 20) {
    TBitmap target;
    target.SetSize(16, 16);
    target.Canvas()->StretchDraw(Rect(0, 0, 16, 16), graphic.get());
  }
  return 0;
}
