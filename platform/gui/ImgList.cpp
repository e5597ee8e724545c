#include "platform/gui/ImgList.h"

#include <algorithm>

#include "platform/gui/QtGraphics.h"
#include "platform/rtl/UnitInit.h"

struct TCustomImageList::Image {
  QImage pixels;  // ARGB32 (not premultiplied): the colours, alpha 0 where masked
};

namespace {

QRgb Rgb(int32_t Color) { return qRgb(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF); }

QImage Mix(const QImage& Source, QRgb With, int Percent) {
  QImage img = Source;
  for (int y = 0; y < img.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      QRgb c = line[x];
      auto mix = [&](int a, int b) { return (a * (100 - Percent) + b * Percent) / 100; };
      line[x] = qRgba(mix(qRed(c), qRed(With)), mix(qGreen(c), qGreen(With)), mix(qBlue(c), qBlue(With)), qAlpha(c));
    }
  }
  return img;
}

// The image's shape (opaque pixels that are not light) in one colour.
QImage Shape(const QImage& Source, QRgb Color) {
  QImage img(Source.size(), QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(Source.constScanLine(y));
    auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      bool dark = qAlpha(src[x]) > 127 && qGray(src[x]) < 192;
      dst[x] = dark ? (Color | 0xFF000000u) : 0;
    }
  }
  return img;
}

}  // namespace

// ---------------------------------------------------------------------------
// TChangeLink

TChangeLink::~TChangeLink() {
  if (sender_ != nullptr) sender_->UnRegisterChanges(this);
}

void TChangeLink::Change() {
  if (sender_ != nullptr) on_change_(sender_);
}

// ---------------------------------------------------------------------------
// TCustomImageList

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight) : TComponent(AOwner) {
  SetSize(AWidth, AHeight);
}

TCustomImageList::~TCustomImageList() {
  while (!links_.empty()) UnRegisterChanges(links_.back());
}

void TCustomImageList::BeforeDestruction() {
  while (!links_.empty()) UnRegisterChanges(links_.back());
  TComponent::BeforeDestruction();
}

void TCustomImageList::Assign(TPersistent* Source) {
  if (auto* l = dynamic_cast<TCustomImageList*>(Source)) {
    BeginUpdate();
    width_ = l->width_;
    height_ = l->height_;
    bk_color_ = l->bk_color_;
    blend_color_ = l->blend_color_;
    drawing_style_ = l->drawing_style_;
    image_type_ = l->image_type_;
    masked_ = l->masked_;
    images_ = l->images_;
    Changed();
    EndUpdate();
    return;
  }
  TComponent::Assign(Source);
}

void TCustomImageList::SetWidth(int Value) { SetSize(Value, height_); }
void TCustomImageList::SetHeight(int Value) { SetSize(width_, Value); }

void TCustomImageList::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0 || AWidth > 32768 || AHeight > 32768)
    throw EInvalidOperation("Invalid image size");
  if (AWidth == width_ && AHeight == height_) return;
  width_ = AWidth;
  height_ = AHeight;
  images_.clear();
  Changed();
}

void TCustomImageList::SetBkColor(TColor Value) {
  if (Value == bk_color_) return;
  bk_color_ = Value;
  Changed();
}

void TCustomImageList::SetBlendColor(TColor Value) { blend_color_ = Value; }

void TCustomImageList::SetDrawingStyle(TDrawingStyle Value) {
  if (Value == drawing_style_) return;
  drawing_style_ = Value;
  Changed();
}

void TCustomImageList::SetImageType(TImageType Value) {
  if (Value == image_type_) return;
  image_type_ = Value;
  Changed();
}

void TCustomImageList::SetMasked(bool Value) {
  if (Value == masked_) return;
  masked_ = Value;
  Changed();
}

void TCustomImageList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) throw EInvalidOperation("Invalid image list index %d", {Index});
}

int TCustomImageList::AddImage(std::shared_ptr<const Image> Value) {
  images_.push_back(std::move(Value));
  return Count() - 1;
}

int TCustomImageList::Add(TBitmap* ImageBitmap, TBitmap* Mask) {
  if (ImageBitmap == nullptr || ImageBitmap->Empty() || width_ == 0 || height_ == 0) return -1;
  QImage src = BitmapImage(ImageBitmap).convertToFormat(QImage::Format_ARGB32);
  if (ImageBitmap->AlphaFormat() == afIgnored) {
    for (int y = 0; y < src.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(src.scanLine(y));
      for (int x = 0; x < src.width(); ++x) line[x] |= 0xFF000000u;
    }
  }
  if (Mask != nullptr && !Mask->Empty()) {
    QImage mask = BitmapImage(Mask).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(src.scanLine(y));
      for (int x = 0; x < src.width(); ++x) {
        bool clear = !mask.valid(x, y) || qGray(mask.pixel(x, y)) >= 128;
        if (clear) line[x] &= 0x00FFFFFFu;
      }
    }
  }
  int pieces = src.width() > width_ ? src.width() / width_ : 1;
  int first = Count();
  for (int i = 0; i < pieces; ++i) {
    auto image = std::make_shared<Image>();
    image->pixels = src.copy(i * width_, 0, width_, height_);  // parts outside the bitmap are transparent
    AddImage(std::move(image));
  }
  Changed();
  return first;
}

int TCustomImageList::AddMasked(TBitmap* ImageBitmap, TColor MaskColor) {
  if (ImageBitmap == nullptr || ImageBitmap->Empty()) return -1;
  TColor key = MaskColor == clDefault ? ImageBitmap->TransparentColor() : MaskColor;
  if (key == clNone || key == clDefault) return Add(ImageBitmap, nullptr);
  TBitmap mask;
  mask.SetSize(ImageBitmap->Width(), ImageBitmap->Height());
  const QImage& src = BitmapImage(ImageBitmap);
  QImage m(src.size(), QImage::Format_RGB32);
  QRgb k = Rgb(ColorToRGB(key)) & 0xFFFFFF;
  for (int y = 0; y < src.height(); ++y) {
    for (int x = 0; x < src.width(); ++x) {
      QRgb c = QColor::fromRgba(src.pixel(x, y)).rgb() & 0xFFFFFF;
      m.setPixel(x, y, c == k ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
  }
  SetBitmapImage(&mask, m);
  return Add(ImageBitmap, &mask);
}

int TCustomImageList::AddIcon(TIcon* Icon) {
  if (Icon == nullptr || Icon->Empty() || width_ == 0 || height_ == 0) return -1;
  auto image = std::make_shared<Image>();
  image->pixels = GraphicImage(Icon).scaled(width_, height_).convertToFormat(QImage::Format_ARGB32);
  int index = AddImage(std::move(image));
  Changed();
  return index;
}

void TCustomImageList::AddImages(TCustomImageList* Value) {
  if (Value == nullptr || Value == this || Value->width_ != width_ || Value->height_ != height_) return;
  for (const auto& image : Value->images_) images_.push_back(image);
  Changed();
}

void TCustomImageList::Replace(int Index, TBitmap* ImageBitmap, TBitmap* Mask) {
  CheckIndex(Index);
  TCustomImageList one(nullptr, width_, height_);
  if (one.Add(ImageBitmap, Mask) < 0) return;
  images_[static_cast<size_t>(Index)] = one.images_.front();
  Changed();
}

void TCustomImageList::Delete(int Index) {
  CheckIndex(Index);
  images_.erase(images_.begin() + Index);
  Changed();
}

void TCustomImageList::Move(int CurIndex, int NewIndex) {
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  if (CurIndex == NewIndex) return;
  auto image = images_[static_cast<size_t>(CurIndex)];
  images_.erase(images_.begin() + CurIndex);
  images_.insert(images_.begin() + NewIndex, image);
  Changed();
}

void TCustomImageList::Clear() {
  images_.clear();
  Changed();
}

bool TCustomImageList::GetBitmap(int Index, TBitmap* ImageBitmap) {
  if (ImageBitmap == nullptr || Index < 0 || Index >= Count()) return false;
  ImageBitmap->SetSize(width_, height_);
  TCanvas* c = ImageBitmap->Canvas();
  c->Brush()->SetColor(bk_color_ == clNone ? clBtnFace : bk_color_);
  c->FillRect(Rect(0, 0, width_, height_));
  Draw(c, 0, 0, Index, true);
  return true;
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled) {
  Draw(Canvas, X, Y, Index, drawing_style_, image_type_, Enabled);
}

void TCustomImageList::Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle,
                            TImageType AImageType, bool Enabled) {
  if (Canvas == nullptr || Index < 0 || Index >= Count()) return;
  uint32_t style = ILD_NORMAL;
  switch (ADrawingStyle) {
    case dsFocus: style = ILD_FOCUS; break;
    case dsSelected: style = ILD_SELECTED; break;
    case dsTransparent: style = ILD_TRANSPARENT; break;
    default: break;
  }
  if (AImageType == itMask) style |= ILD_MASK;
  DoDraw(Index, Canvas, X, Y, style, Enabled);
}

void TCustomImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, uint32_t Style, bool Enabled) {
  HDC dc = Canvas->Handle();
  if (Enabled) {
    ImageList_DrawEx(this, Index, dc, X, Y, 0, 0, GetRGBColor(bk_color_), GetRGBColor(blend_color_), Style);
    return;
  }
  QPainter* p = dc != nullptr ? Painter(dc) : nullptr;
  if (p == nullptr) return;
  const QImage& src = images_[static_cast<size_t>(Index)]->pixels;
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  p->drawImage(X + 1, Y + 1, Shape(src, ToQColor(clBtnHighlight).rgb()));
  p->drawImage(X, Y, Shape(src, ToQColor(clBtnShadow).rgb()));
  p->restore();
}

void TCustomImageList::RegisterChanges(TChangeLink* Value) {
  if (Value == nullptr) return;
  if (Value->Sender() != nullptr && Value->Sender() != this) Value->Sender()->UnRegisterChanges(Value);
  if (std::find(links_.begin(), links_.end(), Value) == links_.end()) links_.push_back(Value);
  Value->SetSender(this);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* Value) {
  auto it = std::find(links_.begin(), links_.end(), Value);
  if (it == links_.end()) return;
  links_.erase(it);
  Value->SetSender(nullptr);
}

void TCustomImageList::BeginUpdate() { ++update_count_; }

void TCustomImageList::EndUpdate() {
  if (update_count_ == 0 || --update_count_ > 0) return;
  if (changed_in_update_) {
    changed_in_update_ = false;
    Change();
  }
}

void TCustomImageList::Changed() {
  if (update_count_ > 0) {
    changed_in_update_ = true;
    return;
  }
  Change();
}

void TCustomImageList::Change() {
  std::vector<TChangeLink*> links = links_;  // a link may unregister itself
  for (TChangeLink* l : links) {
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->Change();
  }
  on_change_(this);
}

uint32_t GetRGBColor(TColor Value) {
  if (Value == clNone) return CLR_NONE;
  if (Value == clDefault) return CLR_DEFAULT;
  return static_cast<uint32_t>(ColorToRGB(Value));
}

bool ImageList_DrawEx(HIMAGELIST List, int Index, HDC DC, int X, int Y, int DX, int DY, uint32_t Bk, uint32_t Fg,
                      uint32_t Style) {
  QPainter* p = DC != nullptr ? Painter(DC) : nullptr;
  if (List == nullptr || p == nullptr || Index < 0 || Index >= List->Count()) return false;
  QImage img = List->images_[static_cast<size_t>(Index)]->pixels;
  int w = DX > 0 ? std::min(DX, img.width()) : img.width();
  int h = DY > 0 ? std::min(DY, img.height()) : img.height();
  if (w != img.width() || h != img.height()) img = img.copy(0, 0, w, h);
  p->save();
  p->setCompositionMode(QPainter::CompositionMode_SourceOver);
  if (Style & ILD_MASK) {
    QImage mask(img.size(), QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) mask.setPixel(x, y, qAlpha(img.pixel(x, y)) > 127 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    }
    p->drawImage(X, Y, mask);
    p->restore();
    return true;
  }
  int blend = Style & ILD_BLEND50 ? 50 : Style & ILD_BLEND25 ? 25 : 0;
  if (blend != 0 && Fg != CLR_NONE) {
    int32_t fg = Fg == CLR_DEFAULT ? ColorToRGB(clHighlight) : static_cast<int32_t>(Fg);
    img = Mix(img, Rgb(fg), blend);
  } else if (blend != 0) {
    // No blend colour: the image is mixed with what lies beneath.
    p->setOpacity(1.0 - blend / 100.0);
  }
  if (!List->Masked()) {
    p->drawImage(X, Y, img.convertToFormat(QImage::Format_RGB32));
  } else {
    uint32_t bk = Bk == CLR_DEFAULT ? GetRGBColor(List->BkColor()) : Bk;
    if (!(Style & ILD_TRANSPARENT) && bk != CLR_NONE && bk != CLR_DEFAULT)
      p->fillRect(QRect(X, Y, w, h), QColor(Rgb(static_cast<int32_t>(bk))));
    p->drawImage(X, Y, img.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  }
  p->restore();
  return true;
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitImgList() {
  RegisterClass<TCustomImageList, TComponent>("TCustomImageList");
  RegisterClass<TImageList, TCustomImageList>("TImageList")
      .Prop("AllocBy", &TCustomImageList::AllocBy, &TCustomImageList::SetAllocBy, 4)
      .Prop("BlendColor", &TCustomImageList::BlendColor, &TCustomImageList::SetBlendColor, clNone)
      .Prop("BkColor", &TCustomImageList::BkColor, &TCustomImageList::SetBkColor, clNone)
      .Prop("DrawingStyle", &TCustomImageList::DrawingStyle, &TCustomImageList::SetDrawingStyle, dsNormal)
      .Prop("Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16)
      .Prop("ImageType", &TCustomImageList::ImageType, &TCustomImageList::SetImageType, itImage)
      .Prop("Masked", &TCustomImageList::Masked, &TCustomImageList::SetMasked, true)
      .Prop("ShareImages", &TCustomImageList::ShareImages, &TCustomImageList::SetShareImages, false)
      .Prop("Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16)
      .Event("OnChange", &TCustomImageList::OnChange, &TCustomImageList::SetOnChange);
}

constexpr const TUnit* kUses[] = {&unit_Graphics};

}  // namespace

constinit const TUnit unit_ImgList("ImgList", kUses, InitImgList, nullptr);
