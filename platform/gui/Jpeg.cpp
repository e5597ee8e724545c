#include "platform/gui/Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "platform/gui/QtGraphics.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr int kMaxSide = 16384;
constexpr long long kMaxPixels = 64LL * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// The error manager of one decode or encode: errors jump back to err.jump.
jpeg_error_mgr* ErrorsOf(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = SilentMessage;
  return &err.pub;
}

struct Decoded {
  int width = 0;
  int height = 0;
  bool grayscale = false;
  std::vector<uint32_t> pixels;  // 0xFFRRGGBB
};

// Decodes into Out; returns 0, or libjpeg's message number (or -1 for a
// picture that is too large). Nothing with a destructor is created between
// setjmp and the calls that may jump back to it.
int Decode(const uint8_t* Data, size_t Size, Decoded& Out) {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  std::vector<JSAMPLE> row;
  cinfo.err = ErrorsOf(err);
  if (setjmp(err.jump)) {
    int code = err.pub.msg_code;
    jpeg_destroy_decompress(&cinfo);
    return code == 0 ? 1 : code;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, const_cast<unsigned char*>(Data), static_cast<unsigned long>(Size));
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxSide ||
      cinfo.image_height > kMaxSide ||
      static_cast<long long>(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return -1;
  }
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
  int comps = cinfo.output_components;
  Out.width = w;
  Out.height = h;
  Out.grayscale = grey;
  Out.pixels.assign(static_cast<size_t>(w) * h, 0xFF000000u);
  row.resize(static_cast<size_t>(w) * comps);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {row.data()};
    int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    uint32_t* dst = Out.pixels.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const JSAMPLE* s = row.data() + static_cast<size_t>(x) * comps;
      uint32_t r, g, b;
      if (comps == 1) {
        r = g = b = s[0];
      } else if (comps == 4) {
        // Adobe writes CMYK inverted: the samples are already 255 - ink.
        uint32_t k = s[3];
        r = s[0] * k / 255;
        g = s[1] * k / 255;
        b = s[2] * k / 255;
      } else {
        r = s[0];
        g = s[1];
        b = s[2];
      }
      dst[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

// Encodes RGB rows; returns 0 or libjpeg's message number.
int Encode(const QImage& Image, int Quality, unsigned char** Buffer, unsigned long* Size) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  std::vector<JSAMPLE> row;
  cinfo.err = ErrorsOf(err);
  if (setjmp(err.jump)) {
    int code = err.pub.msg_code;
    jpeg_destroy_compress(&cinfo);
    return code == 0 ? 1 : code;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, Buffer, Size);
  cinfo.image_width = static_cast<JDIMENSION>(Image.width());
  cinfo.image_height = static_cast<JDIMENSION>(Image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, Quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  row.resize(static_cast<size_t>(Image.width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const auto* src = reinterpret_cast<const QRgb*>(Image.constScanLine(static_cast<int>(cinfo.next_scanline)));
    for (int x = 0; x < Image.width(); ++x) {
      row[3 * x] = static_cast<JSAMPLE>(qRed(src[x]));
      row[3 * x + 1] = static_cast<JSAMPLE>(qGreen(src[x]));
      row[3 * x + 2] = static_cast<JSAMPLE>(qBlue(src[x]));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return 0;
}

}  // namespace

struct TJPEGImage::Impl {
  QImage image;  // RGB32
};

TJPEGImage::TJPEGImage() : impl_(std::make_unique<Impl>()) {}
TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::Width() const { return impl_->image.width(); }
int TJPEGImage::Height() const { return impl_->image.height(); }
void TJPEGImage::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }
void TJPEGImage::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of a JPEG image"); }

void TJPEGImage::SetCompressionQuality(int Value) { quality_ = std::clamp(Value, 1, 100); }

void TJPEGImage::Assign(TPersistent* Source) {
  if (auto* j = dynamic_cast<TJPEGImage*>(Source)) {
    if (j == this) return;
    impl_->image = j->impl_->image;
    grayscale_ = j->grayscale_;
    quality_ = j->quality_;
    Changed();
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    // Another picture is kept as its pixels over white.
    QImage img(std::max(g->Width(), 1), std::max(g->Height(), 1), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.drawImage(0, 0, GraphicImage(g));
    p.end();
    impl_->image = g->Empty() ? QImage() : img;
    grayscale_ = false;
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TJPEGImage::LoadFromStream(TStream* Stream) {
  Int64 size = Stream->Size() - Stream->Position();
  if (size <= 0 || size > 256 * 1024 * 1024) throw EInvalidGraphic("JPEG error #%d", {42});
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  Stream->ReadBuffer(bytes.data(), size);
  Decoded out;
  int code = Decode(bytes.data(), bytes.size(), out);
  if (code != 0) throw EInvalidGraphic("JPEG error #%d", {code});
  QImage img(out.width, out.height, QImage::Format_RGB32);
  for (int y = 0; y < out.height; ++y) {
    std::copy_n(out.pixels.data() + static_cast<size_t>(y) * out.width, out.width,
                reinterpret_cast<uint32_t*>(img.scanLine(y)));
  }
  impl_->image = img;
  grayscale_ = out.grayscale;
  Changed();
}

void TJPEGImage::SaveToStream(TStream* Stream) {
  if (impl_->image.isNull()) throw EInvalidGraphicOperation("Cannot save an empty JPEG image");
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  int code = Encode(impl_->image.convertToFormat(QImage::Format_RGB32), quality_, &buffer, &size);
  if (code == 0 && buffer != nullptr) Stream->WriteBuffer(buffer, static_cast<Int64>(size));
  std::free(buffer);
  if (code != 0) throw EInvalidGraphic("JPEG error #%d", {code});
}

void TJPEGImage::Draw(TCanvas* ACanvas, const TRect& Rect) {
  QPainter* p = Painter(ACanvas->Handle());
  if (p == nullptr || impl_->image.isNull()) return;
  p->save();
  p->setCompositionMode(CopyModeComposition(ACanvas->CopyMode()));
  p->drawImage(QRect(Rect.Left, Rect.Top, Rect.Width(), Rect.Height()), impl_->image);
  p->restore();
}

namespace {

void InitJpeg() {
  TPicture::RegisterFileFormat("jpeg", "JPEG Image File", [] { return new TJPEGImage; });
  TPicture::RegisterFileFormat("jpg", "JPEG Image File", [] { return new TJPEGImage; });
}

void FinalJpeg() {
  TPicture::UnregisterFileFormat("jpeg");
  TPicture::UnregisterFileFormat("jpg");
}

constexpr const TUnit* kUses[] = {&unit_Graphics};

}  // namespace

constinit const TUnit unit_Jpeg("Jpeg", kUses, InitJpeg, FinalJpeg);
