// Image lists: equally sized images kept in one list and drawn by index.
//
// Each image is kept as pixels with a mask: Add takes a bitmap and an
// optional mask bitmap (its black pixels keep the image, its white ones are
// transparent); AddMasked makes the mask from a colour of the bitmap. A
// bitmap wider than the list's Width gives as many images as whole widths
// fit (one image when it is not wider); images take the top Height rows.
// Changing Width or Height clears the list.
//
// Drawing (ImageList_DrawEx, and TCustomImageList::Draw, which maps its
// DrawingStyle, ImageType, BkColor and BlendColor to the same flags):
//   ILD_TRANSPARENT  masked pixels are not drawn;
//   ILD_NORMAL       masked pixels take the background colour (CLR_DEFAULT:
//                    the list's BkColor); with CLR_NONE (or a list BkColor of
//                    clNone) they are not drawn;
//   ILD_BLEND25/50   the image is mixed 25 % / 50 % with the foreground
//                    colour (CLR_DEFAULT: clHighlight; CLR_NONE: with what
//                    lies beneath, the image drawn at 75 % / 50 % opacity);
//                    ILD_FOCUS is ILD_BLEND25, ILD_SELECTED ILD_BLEND50;
//   ILD_MASK         the mask alone: black where the image is, white where
//                    it is transparent.
// A list without masks (Masked false) draws every pixel. Disabled images
// (Draw with Enabled false) are drawn embossed: the image's shape in
// clBtnHighlight one pixel down and right, then in clBtnShadow.
//
// Change links: RegisterChanges(Link) makes Link->Change() run after every
// change of the images; a list being freed clears the Sender of its links
// (without calling them), so a link never refers to a freed list.
// BeginUpdate/EndUpdate hold the notifications (one Change at the end when
// something changed).
//
// Not kept: the image data of form resources ("Bitmap" in form text) is not
// read; lists are filled by code.
#pragma once

#include <memory>
#include <vector>

#include "platform/gui/Graphics.h"
#include "platform/rtl/Component.h"

class TCustomImageList;
using HIMAGELIST = TCustomImageList*;

inline constexpr uint32_t CLR_NONE = 0xFFFFFFFFu, CLR_DEFAULT = 0xFF000000u;
inline constexpr uint32_t ILD_NORMAL = 0x0, ILD_TRANSPARENT = 0x1, ILD_MASK = 0x10, ILD_IMAGE = 0x20,
                          ILD_BLEND25 = 0x2, ILD_BLEND50 = 0x4, ILD_FOCUS = ILD_BLEND25, ILD_SELECTED = ILD_BLEND50,
                          ILD_BLEND = ILD_BLEND50;

RTL_ENUM(TDrawingStyle, dsFocus, dsSelected, dsNormal, dsTransparent);
RTL_ENUM(TImageType, itImage, itMask);

class TChangeLink : public TObject {
 public:
  TChangeLink() = default;
  ~TChangeLink() override;
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;

  // The list this link is registered with (nullptr when none).
  TCustomImageList* Sender() const { return sender_; }
  void SetSender(TCustomImageList* Value) { sender_ = Value; }
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }
  // Runs OnChange with the list as sender.
  virtual void Change();

 private:
  TCustomImageList* sender_ = nullptr;
  TNotifyEvent on_change_;
};

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* AOwner);
  // A list of images of the given size.
  TCustomImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TCustomImageList() override;
  void BeforeDestruction() override;
  void Assign(TPersistent* Source) override;

  int Width() const { return width_; }
  void SetWidth(int Value);
  int Height() const { return height_; }
  void SetHeight(int Value);
  void SetSize(int AWidth, int AHeight);
  int Count() const { return static_cast<int>(images_.size()); }
  TColor BkColor() const { return bk_color_; }
  void SetBkColor(TColor Value);
  TColor BlendColor() const { return blend_color_; }
  void SetBlendColor(TColor Value);
  TDrawingStyle DrawingStyle() const { return drawing_style_; }
  void SetDrawingStyle(TDrawingStyle Value);
  TImageType ImageType() const { return image_type_; }
  void SetImageType(TImageType Value);
  bool Masked() const { return masked_; }
  void SetMasked(bool Value);
  int AllocBy() const { return alloc_by_; }
  void SetAllocBy(int Value) { alloc_by_ = Value; }
  bool ShareImages() const { return share_images_; }
  void SetShareImages(bool Value) { share_images_ = Value; }
  HIMAGELIST Handle() { return this; }

  // Returns the index of the first image added, or -1 when Image is empty.
  int Add(TBitmap* Image, TBitmap* Mask);
  int AddMasked(TBitmap* Image, TColor MaskColor);
  // Icons keep their own transparency.
  int AddIcon(TIcon* Image);
  // Appends every image of another list of the same size.
  void AddImages(TCustomImageList* Value);
  void Replace(int Index, TBitmap* Image, TBitmap* Mask);
  void Delete(int Index);
  void Move(int CurIndex, int NewIndex);
  void Clear();
  // Image Index as a bitmap (the masked pixels in BkColor, else clBtnFace).
  bool GetBitmap(int Index, TBitmap* Image);

  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
  void Draw(TCanvas* Canvas, int X, int Y, int Index, TDrawingStyle ADrawingStyle, TImageType AImageType,
            bool Enabled = true);

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  void BeginUpdate();
  void EndUpdate();

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(TNotifyEvent Value) { on_change_ = std::move(Value); }

  // Raises EInvalidOperation "Invalid image list index %d" out of range.
  void CheckIndex(int Index) const;

 protected:
  // Runs after every change of the images: the links, then OnChange.
  virtual void Change();
  // Draws one image; ImageList_DrawEx when Enabled, else embossed.
  virtual void DoDraw(int Index, TCanvas* Canvas, int X, int Y, uint32_t Style, bool Enabled);

 private:
  friend bool ImageList_DrawEx(HIMAGELIST, int, HDC, int, int, int, int, uint32_t, uint32_t, uint32_t);
  // Pixels (ARGB32, alpha 0 where masked) of one image.
  struct Image;
  void Changed();
  int AddImage(std::shared_ptr<const Image> Value);

  int width_ = 16;
  int height_ = 16;
  TColor bk_color_ = clNone;
  TColor blend_color_ = clNone;
  TDrawingStyle drawing_style_ = dsNormal;
  TImageType image_type_ = itImage;
  bool masked_ = true;
  int alloc_by_ = 4;
  bool share_images_ = false;
  std::vector<std::shared_ptr<const Image>> images_;
  std::vector<TChangeLink*> links_;
  int update_count_ = 0;
  bool changed_in_update_ = false;
  TNotifyEvent on_change_;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};

// Draws image Index of the list at (X, Y) of the device context; DX, DY
// (0: the image's size) limit the part drawn. Bk and Fg are $00BBGGRR
// colours or CLR_NONE / CLR_DEFAULT. False for a bad index or DC.
bool ImageList_DrawEx(HIMAGELIST List, int Index, HDC DC, int X, int Y, int DX, int DY, uint32_t Bk, uint32_t Fg,
                      uint32_t Style);
// The $00BBGGRR value of a colour for ImageList_DrawEx (clNone: CLR_NONE,
// clDefault: CLR_DEFAULT).
uint32_t GetRGBColor(TColor Value);

class TUnit;
extern const TUnit unit_ImgList;
