// Pictures: TGraphic, TBitmap with its canvas, TIcon and TPicture.
#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>
#include <QTransform>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/gui/GuiInternal.h"
#include "platform/gui/QtGraphics.h"
#include "platform/os/Resources.h"
#include "platform/rtl/SysUtils.h"

namespace {

QByteArray ReadRest(TStream* Stream) {
  Int64 size = Stream->Size() - Stream->Position();
  if (size <= 0) return {};
  if (size > 512 * 1024 * 1024) throw EInvalidGraphic("Picture data too large");
  QByteArray bytes(static_cast<qsizetype>(size), '\0');
  Stream->ReadBuffer(bytes.data(), size);
  return bytes;
}

void WriteBytes(TStream* Stream, const QByteArray& Bytes) {
  if (!Bytes.isEmpty()) Stream->WriteBuffer(Bytes.constData(), Bytes.size());
}

QImage ReadImage(const QByteArray& Bytes, const char* Format, int Index = 0) {
  QBuffer buffer;
  buffer.setData(Bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, Format);
  reader.setDecideFormatFromContent(false);
  if (Index > 0 && !reader.jumpToImage(Index)) return {};
  return reader.read();
}

QByteArray WriteImage(const QImage& Image, const char* Format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, Format);
  if (!writer.write(Image)) throw EInvalidGraphic("Cannot write the picture: %s", {writer.errorString().toStdString()});
  return bytes;
}

// The source image made transparent where it has Color (a $00BBGGRR value).
QImage KeyedImage(const QImage& Source, int32_t Color) {
  QImage img = Source.convertToFormat(QImage::Format_ARGB32);
  QRgb key = qRgb(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
    }
  }
  return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Paints an image stretched to a rectangle of a canvas.
void PaintImage(TCanvas* Canvas, const TRect& R, const QImage& Image, bool Blend, TCopyMode Mode) {
  QPainter* p = Painter(Canvas->Handle());
  if (p == nullptr || Image.isNull() || R.IsEmpty()) return;
  p->save();
  p->setCompositionMode(Blend ? QPainter::CompositionMode_SourceOver : CopyModeComposition(Mode));
  p->drawImage(QRect(R.Left, R.Top, R.Width(), R.Height()), Image);
  p->restore();
}

struct FileFormat {
  String description;
  TGraphicFactory factory;
};

struct FormatTable {
  std::mutex lock;
  std::map<String, FileFormat> formats;  // key: lower-case extension
};

FormatTable& Formats() {
  static FormatTable* table = [] {
    auto* t = new FormatTable;
    t->formats["bmp"] = {"Bitmaps", [] { return new TBitmap; }};
    t->formats["ico"] = {"Icons", [] { return new TIcon; }};
    return t;
  }();
  return *table;
}

}  // namespace

// ---------------------------------------------------------------------------
// TGraphic

void TGraphic::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  Changed();
}

void TGraphic::Changed() {
  modified_ = true;
  on_change_(this);
}

void TGraphic::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const String& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

QImage GraphicImage(TGraphic* Graphic) {
  if (Graphic == nullptr || Graphic->Empty()) return {};
  QImage image(Graphic->Width(), Graphic->Height(), QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  HDC dc = CreatePainterDC(&painter);
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Draw(0, 0, Graphic);
    canvas.SetHandle(nullptr);
  }
  DeletePainterDC(dc);
  return image;
}

// ---------------------------------------------------------------------------
// TBitmap

namespace {

// A bitmap's canvas: a painter over the bitmap's pixels, begun on first use
// and ended when the pixels are replaced.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(QImage* Image) : image_(Image) {}
  ~TBitmapCanvas() override { Release(); }

  void Release() {
    if (painter_ == nullptr) return;
    painter_->end();
    painter_.reset();
    dc_.painter = nullptr;
    SetHandle(nullptr);
  }

 protected:
  void CreateHandle() override {
    if (painter_ != nullptr) return;
    // An empty bitmap draws into a scratch pixel, as a memory device context
    // without a bitmap of its own does.
    QImage* target = image_->isNull() ? &scratch_ : image_;
    if (target == &scratch_ && scratch_.isNull()) scratch_ = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    painter_ = std::make_unique<QPainter>(target);
    dc_.painter = painter_.get();
    dc_.saved.clear();
    dc_.base_taken = false;
    ApplyMapping(&dc_);
    SetHandle(&dc_);
  }

 private:
  QImage* image_;
  QImage scratch_;
  std::unique_ptr<QPainter> painter_;
  HDC__ dc_;
};

}  // namespace

struct TBitmap::Impl {
  QImage image;
  // The size asked for while one side is 0 (there is no image then): setting
  // Width and then Height gives a bitmap of both.
  QSize empty_size{0, 0};
  std::unique_ptr<TBitmapCanvas> canvas;
};

TBitmap::TBitmap() : impl_(std::make_unique<Impl>()) {}

TBitmap::~TBitmap() { impl_->canvas.reset(); }

QImage& BitmapImage(TBitmap* Bitmap) { return Bitmap->impl_->image; }

void SetBitmapImage(TBitmap* Bitmap, const QImage& Image) {
  Bitmap->ReleaseCanvasDC();
  Bitmap->impl_->image = Image.isNull() ? QImage() : Image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Bitmap->impl_->empty_size = QSize(0, 0);
  Bitmap->Changed();
}

void TBitmap::ReleaseCanvasDC() {
  if (impl_->canvas != nullptr) impl_->canvas->Release();
}

int TBitmap::Width() const { return impl_->image.isNull() ? impl_->empty_size.width() : impl_->image.width(); }
int TBitmap::Height() const { return impl_->image.isNull() ? impl_->empty_size.height() : impl_->image.height(); }

void TBitmap::SetSize(int AWidth, int AHeight) {
  AWidth = std::max(AWidth, 0);
  AHeight = std::max(AHeight, 0);
  if (AWidth == Width() && AHeight == Height()) return;
  ReleaseCanvasDC();
  QImage next;
  if (AWidth > 0 && AHeight > 0) {
    next = QImage(AWidth, AHeight, QImage::Format_ARGB32_Premultiplied);
    if (next.isNull()) throw EOutOfResources("Out of system resources");
    next.fill(alpha_format_ == afIgnored ? QColor(Qt::white) : QColor(Qt::transparent));
    if (!impl_->image.isNull()) {
      QPainter p(&next);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(0, 0, impl_->image);
    }
  }
  impl_->image = next;
  impl_->empty_size = next.isNull() ? QSize(AWidth, AHeight) : QSize(0, 0);
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (impl_->canvas == nullptr) impl_->canvas = std::make_unique<TBitmapCanvas>(&impl_->image);
  return impl_->canvas.get();
}

void TBitmap::SetAlphaFormat(TAlphaFormat Value) {
  if (Value == alpha_format_) return;
  alpha_format_ = Value;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (transparent_mode_ == tmFixed) return transparent_color_;
  if (impl_->image.isNull()) return clDefault;
  return static_cast<TColor>(FromQColor(impl_->image.pixelColor(0, impl_->image.height() - 1)));
}

void TBitmap::SetTransparentColor(TColor Value) {
  transparent_mode_ = Value == clDefault ? tmAuto : tmFixed;
  transparent_color_ = Value;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == transparent_mode_) return;
  if (Value == tmAuto) SetTransparentColor(clDefault);
  else SetTransparentColor(TransparentColor());
}

void TBitmap::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    SetBitmapImage(this, QImage());
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    if (b == this) return;
    pixel_format_ = b->pixel_format_;
    alpha_format_ = b->alpha_format_;
    transparent_mode_ = b->transparent_mode_;
    transparent_color_ = b->transparent_color_;
    SetBitmapImage(this, b->impl_->image.copy());
    SetTransparent(b->Transparent());
    return;
  }
  if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    // Another kind of picture is drawn onto white pixels.
    QImage img(std::max(g->Width(), 0), std::max(g->Height(), 0), QImage::Format_ARGB32_Premultiplied);
    if (!img.isNull()) {
      img.fill(Qt::white);
      QPainter p(&img);
      p.drawImage(0, 0, GraphicImage(g));
    }
    SetBitmapImage(this, img);
    return;
  }
  TGraphic::Assign(Source);
}

void TBitmap::LoadFromStream(TStream* Stream) {
  QByteArray bytes = ReadRest(Stream);
  LoadFromBytes({reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())});
}

void TBitmap::LoadFromBytes(std::span<const uint8_t> Data) {
  if (Data.size() < 30 || Data[0] != 'B' || Data[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
  int bits = Data[28] | (Data[29] << 8);
  QImage img = ReadImage(QByteArray::fromRawData(reinterpret_cast<const char*>(Data.data()), static_cast<qsizetype>(Data.size())), "BMP");
  if (img.isNull()) throw EInvalidGraphic("Bitmap image is not valid");
  switch (bits) {
    case 1: pixel_format_ = pf1bit; break;
    case 4: pixel_format_ = pf4bit; break;
    case 8: pixel_format_ = pf8bit; break;
    case 16: pixel_format_ = pf16bit; break;
    case 24: pixel_format_ = pf24bit; break;
    case 32: pixel_format_ = pf32bit; break;
    default: pixel_format_ = pfDevice; break;
  }
  SetBitmapImage(this, img);
}

void TBitmap::SaveToStream(TStream* Stream) {
  if (impl_->image.isNull()) return;
  QImage img = alpha_format_ == afIgnored ? impl_->image.convertToFormat(QImage::Format_RGB32)
                                          : impl_->image.convertToFormat(QImage::Format_ARGB32);
  WriteBytes(Stream, WriteImage(img, "BMP"));
}

void TBitmap::LoadFromResourceName(HMODULE Instance, const String& ResName) {
  auto res = FindModuleResource(Instance, ResName, RT_BITMAP);
  if (!res) throw EResNotFound("Resource %s not found", {ResName});
  LoadFromBytes(res->Data);
}

void TBitmap::LoadFromResourceID(HMODULE Instance, int ResID) {
  auto res = ResID > 0 && ResID <= 0xFFFF ? FindModuleResource(Instance, static_cast<uint16_t>(ResID), RT_BITMAP)
                                          : std::nullopt;
  if (!res) throw EResNotFound("Resource %s not found", {IntToStr(ResID)});
  LoadFromBytes(res->Data);
}

void TBitmap::Draw(TCanvas* ACanvas, const TRect& Rect) {
  const QImage& img = impl_->image;
  if (img.isNull()) return;
  if (Transparent()) {
    TColor key = TransparentColor();
    PaintImage(ACanvas, Rect, key == clDefault ? img : KeyedImage(img, ColorToRGB(key)), true, cmSrcCopy);
  } else if (alpha_format_ != afIgnored) {
    PaintImage(ACanvas, Rect, img, true, cmSrcCopy);
  } else {
    PaintImage(ACanvas, Rect, img.convertToFormat(QImage::Format_RGB32), false, ACanvas->CopyMode());
  }
}

void RotateBitmap(TBitmap* Bitmap, int Turns) {
  if (Bitmap == nullptr || Bitmap->Empty()) return;
  int quarter = ((Turns % 4) + 4) % 4;
  if (quarter == 0) return;
  QTransform turn;
  turn.rotate(-90.0 * quarter);
  SetBitmapImage(Bitmap, BitmapImage(Bitmap).transformed(turn));
}

// ---------------------------------------------------------------------------
// TIcon

struct TIcon::Impl {
  QImage image;
};

TIcon::TIcon() : impl_(std::make_unique<Impl>()) { SetTransparent(true); }
TIcon::~TIcon() = default;

int TIcon::Width() const { return impl_->image.width(); }
int TIcon::Height() const { return impl_->image.height(); }

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::Assign(TPersistent* Source) {
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    if (i == this) return;
    impl_->image = i->impl_->image;
    Changed();
    return;
  }
  if (Source == nullptr) {
    impl_->image = QImage();
    Changed();
    return;
  }
  TGraphic::Assign(Source);
}

void TIcon::LoadFromStream(TStream* Stream) {
  QByteArray bytes = ReadRest(Stream);
  // Header: reserved 0, type 1 (icon), image count.
  auto word = [&bytes](int at) { return static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8); };
  if (bytes.size() < 22 || word(0) != 0 || word(2) != 1 || word(4) == 0) throw EInvalidGraphic("Icon image is not valid");
  // The image closest to 32 x 32 (directory widths: 0 means 256).
  int count = word(4), best = -1, best_score = 0;
  for (int i = 0; i < count && 6 + 16 * (i + 1) <= bytes.size(); ++i) {
    int w = static_cast<uint8_t>(bytes[6 + 16 * i]);
    int score = std::abs((w == 0 ? 256 : w) - 32);
    if (best < 0 || score < best_score) {
      best = i;
      best_score = score;
    }
  }
  QImage img = best >= 0 ? ReadImage(bytes, "ICO", best) : QImage();
  if (img.isNull()) throw EInvalidGraphic("Icon image is not valid");
  impl_->image = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  Changed();
}

void TIcon::SaveToStream(TStream* Stream) {
  if (impl_->image.isNull()) throw EInvalidGraphicOperation("Cannot save an empty icon");
  WriteBytes(Stream, WriteImage(impl_->image.convertToFormat(QImage::Format_ARGB32), "ICO"));
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) { PaintImage(ACanvas, Rect, impl_->image, true, cmSrcCopy); }

// ---------------------------------------------------------------------------
// TPicture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Take(std::unique_ptr<TGraphic> Graphic) {
  graphic_ = std::move(Graphic);
  if (graphic_ != nullptr) graphic_->SetOnChange({this, &TPicture::Changed});
  Changed(this);
}

void TPicture::Changed(TObject*) { on_change_(this); }

void TPicture::SetGraphic(TGraphic* Value) {
  if (Value == nullptr) {
    Take(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy;
  if (dynamic_cast<TBitmap*>(Value) != nullptr) copy = std::make_unique<TBitmap>();
  else if (dynamic_cast<TIcon*>(Value) != nullptr) copy = std::make_unique<TIcon>();
  else copy = std::make_unique<TBitmap>();  // other kinds are kept as their pixels
  copy->Assign(Value);
  Take(std::move(copy));
}

void TPicture::Assign(TPersistent* Source) {
  if (Source == nullptr) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

TBitmap* TPicture::Bitmap() {
  if (dynamic_cast<TBitmap*>(graphic_.get()) == nullptr) Take(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

int TPicture::Width() const { return graphic_ ? graphic_->Width() : 0; }
int TPicture::Height() const { return graphic_ ? graphic_->Height() : 0; }

void TPicture::LoadFromFile(const String& FileName) {
  String ext = LowerCase(ExtractFileExt(FileName));
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  TGraphicFactory factory;
  {
    FormatTable& t = Formats();
    std::lock_guard guard(t.lock);
    auto it = t.formats.find(ext);
    if (it != t.formats.end()) factory = it->second.factory;
  }
  if (!factory) throw EInvalidGraphic("Unknown picture file extension (.%s)", {ext});
  std::unique_ptr<TGraphic> graphic(factory());
  graphic->LoadFromFile(FileName);
  Take(std::move(graphic));
}

void TPicture::SaveToFile(const String& FileName) {
  if (graphic_ != nullptr) graphic_->SaveToFile(FileName);
}

void TPicture::RegisterFileFormat(const String& Extension, const String& Description, TGraphicFactory Factory) {
  FormatTable& t = Formats();
  std::lock_guard guard(t.lock);
  t.formats[LowerCase(Extension)] = {Description, std::move(Factory)};
}

void TPicture::UnregisterFileFormat(const String& Extension) {
  FormatTable& t = Formats();
  std::lock_guard guard(t.lock);
  t.formats.erase(LowerCase(Extension));
}
