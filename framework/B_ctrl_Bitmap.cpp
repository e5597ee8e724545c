// B_ctrl: the bitmap group.
//
// The image list in use: the shared list for a built-in bitmap (other than
// none and auto); else Images; else the registered list named ImagesName
// (looked up again whenever the registry changes); else the group's own
// TB_ImageList, made on first need (not while the control is being freed)
// with NameBitmap, NameFile and Number of the group. The own list belongs
// to the group and goes with it.
#include <algorithm>
#include <cmath>

#include "framework/B_ctrl.h"

namespace {

// The bitmap names a built-in bitmap stands for ("" for none and auto).
const char* InternalNames(TB_InternalBitmap Value) {
  switch (Value) {
    case b_ibBtnDown: return IM_BTN_DOWN;
    case b_ibCheck: return IM_CHECK;
    case b_ibRadio: return IM_RADIO;
    case b_ibDate: return IM_DATE;
    case b_ibOpen: return IM_OPEN;
    case b_ibClear: return IM_CLEAR;
    case b_ibCut: return IM_CUT;
    case b_ibTree: return IM_TREE;
    case b_ibCalc: return IM_Calc;
    case b_ibNew: return IM_New;
    case b_ibEdit: return IM_REPEAT;
    case b_ibMem: return IM_BTN_DOWNMEM;
    case b_ibFullEdit: return IM_BOOK_OPEN;
    default: return "";
  }
}

}  // namespace

TB_CustomBitmapPersistent::TB_CustomBitmapPersistent(TControl* Owner)
    : direct_link_(std::make_unique<TChangeLink>()),
      use_link_(std::make_unique<TChangeLink>()),
      play_(std::make_unique<TB_TimerPersistent>()) {
  SetControl(Owner);
  direct_link_->SetOnChange({this, &TB_CustomBitmapPersistent::ImagesChanged});
  use_link_->SetOnChange({this, &TB_CustomBitmapPersistent::ImagesChanged});
  play_->SetOnTimer({this, &TB_CustomBitmapPersistent::NextFrame});
}

TB_CustomBitmapPersistent::~TB_CustomBitmapPersistent() {
  play_.reset();  // no tick after this point
  use_link_.reset();
  direct_link_.reset();
  own_list_.reset();
}

template <class T>
void TB_CustomBitmapPersistent::SetRefreshing(T& Field, T Value) {
  if (Field == Value) return;
  Field = Value;
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetAlignHorz(TB_AlignHorz Value) { SetRefreshing(align_horz_, Value); }
void TB_CustomBitmapPersistent::SetAlignVert(TB_AlignVert Value) { SetRefreshing(align_vert_, Value); }
void TB_CustomBitmapPersistent::SetBorder(Word Value) { SetRefreshing(border_, Value); }
void TB_CustomBitmapPersistent::SetImageIndexs(const String& Value) { SetRefreshing(image_indexs_, Value); }
void TB_CustomBitmapPersistent::SetInternal(TB_InternalBitmap Value) { SetRefreshing(internal_, Value); }
void TB_CustomBitmapPersistent::SetStyle(TB_BitmapStyle Value) { SetRefreshing(style_, Value); }
void TB_CustomBitmapPersistent::SetStretchX(double Value) { SetRefreshing(stretch_x_, Value); }
void TB_CustomBitmapPersistent::SetStretchY(double Value) { SetRefreshing(stretch_y_, Value); }

void TB_CustomBitmapPersistent::SetImages(TCustomImageList* Value) {
  if (Value == Images()) return;
  if (Value != nullptr) Value->RegisterChanges(direct_link_.get());
  else if (Images() != nullptr) Images()->UnRegisterChanges(direct_link_.get());
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetImagesName(const String& Value) {
  if (Value == images_name_) return;
  images_name_ = Value;
  named_list_ = nullptr;
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetNameBitmap(const String& Value) {
  if (Value == name_bitmap_) return;
  name_bitmap_ = Value;
  FreeOwnList();
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetNameFile(const String& Value) {
  if (Value == name_file_) return;
  name_file_ = Value;
  FreeOwnList();
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetTransparent(bool Value) {
  if (Value == transparent_) return;
  transparent_ = Value;
  FreeOwnList();
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::SetNumber(TB_MaxImageList Value) {
  if (Value < -1 || Value > 16000) throw ERangeError("Range check error");
  SetRefreshing(number_, Value);
}

void TB_CustomBitmapPersistent::SetNumberImages(TB_MaxImageList Value) {
  if (Value < -1 || Value > 16000) throw ERangeError("Range check error");
  SetRefreshing(number_images_, Value);
}

void TB_CustomBitmapPersistent::SetCurrentImage(int Value) {
  int next = Value >= 1 && Value <= number_images_ ? Value : 1;
  if (next == current_) return;
  current_ = next;
  Changed();
}

void TB_CustomBitmapPersistent::Assign(TPersistent* Source) {
  auto* b = dynamic_cast<TB_CustomBitmapPersistent*>(Source);
  if (b == nullptr) {
    TB_Persistent::Assign(Source);
    return;
  }
  LockUpdates();
  align_horz_ = b->align_horz_;
  align_vert_ = b->align_vert_;
  border_ = b->border_;
  if (b->Images() != nullptr) b->Images()->RegisterChanges(direct_link_.get());
  else if (Images() != nullptr) Images()->UnRegisterChanges(direct_link_.get());
  images_name_ = b->images_name_;
  named_list_ = nullptr;
  image_indexs_ = b->image_indexs_;
  internal_ = b->internal_;
  name_bitmap_ = b->name_bitmap_;
  name_file_ = b->name_file_;
  number_ = b->number_;
  style_ = b->style_;
  stretch_x_ = b->stretch_x_;
  stretch_y_ = b->stretch_y_;
  transparent_ = b->transparent_;
  play_start_ = b->play_start_;
  play_end_ = b->play_end_;
  FreeOwnList();
  UnlockUpdates();
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::FreeOwnList() {
  if (own_list_ == nullptr) return;
  if (use_link_->Sender() == own_list_.get()) own_list_->UnRegisterChanges(use_link_.get());
  own_list_.reset();
}

TCustomImageList* TB_CustomBitmapPersistent::ImageList() {
  if (UsesSharedList()) return GetAppImageList();
  if (Images() != nullptr) return Images();
  if (!images_name_.empty()) {
    if (named_list_ == nullptr || named_generation_ != TB_ListImageList::Generation()) {
      named_list_ = FindImageList(images_name_);
      named_generation_ = TB_ListImageList::Generation();
    }
    return named_list_;
  }
  if (own_list_ == nullptr) {
    if (Control() != nullptr && Control()->IsDestroying()) return nullptr;
    own_list_ = std::make_unique<TB_ImageList>(nullptr);
    own_list_->SetBkColor(clNone);
  }
  return own_list_.get();
}

void TB_CustomBitmapPersistent::ImagesChanged(TObject*) {
  if (refreshing_) return;
  RefreshImages();
  Changed();
}

void TB_CustomBitmapPersistent::RefreshImages() {
  if (refreshing_ || UpdatesLocked()) return;
  refreshing_ = true;
  try {
    if (UsesSharedList()) name_bitmap_ = InternalNames(internal_);
    TCustomImageList* list = ImageList();
    if (list != nullptr && list == own_list_.get()) {
      own_list_->DisableReload();
      own_list_->SetDrawingStyle(transparent_ ? dsTransparent : dsNormal);
      own_list_->SetNameFile(name_file_);
      own_list_->SetNumber(number_);
      own_list_->SetNameBitmap(name_bitmap_);
      own_list_->EnableReload();
    }
    if (list != use_link_->Sender()) {
      if (list != nullptr) list->RegisterChanges(use_link_.get());
      else if (use_link_->Sender() != nullptr) use_link_->Sender()->UnRegisterChanges(use_link_.get());
    }
    image_width_ = list != nullptr ? list->Width() : 0;
    image_height_ = list != nullptr ? list->Height() : 0;
    bool counting = number_ < 1;
    number_images_ = counting ? 0 : number_;
    indexes_.clear();
    if (auto* named = dynamic_cast<TB_ImageList*>(list)) {
      if (name_bitmap_.empty() && !image_indexs_.empty()) {
        for (const String& item : GetListItems(image_indexs_)) {
          indexes_.push_back(StrToIntDef(item, 0));
          if (counting) ++number_images_;
        }
      } else {
        for (const String& name : GetListItems(name_bitmap_)) {
          if (name.empty()) continue;
          named->LoadName(name, name_file_);
          std::vector<int> found = named->IndexesOf(name);
          indexes_.insert(indexes_.end(), found.begin(), found.end());
          if (counting) number_images_ += static_cast<int>(found.size());
        }
        String text;
        for (int i : indexes_) text += (text.empty() ? "" : ";") + IntToStr(i);
        image_indexs_ = text;
      }
      // A whole picture loaded without a name still gives its image (a
      // shared list asked for no name gives none).
      if (counting && name_bitmap_.empty() && image_indexs_.empty() && list == own_list_.get() && named->Count() > 0)
        number_images_ = named->Count();
    } else if (list != nullptr && counting) {
      number_images_ = 1;
    }
    // No image to show takes no room.
    if (number_images_ < 1) image_width_ = image_height_ = 0;
  } catch (...) {
    refreshing_ = false;
    throw;
  }
  refreshing_ = false;
}

int TB_CustomBitmapPersistent::CurrentIndex() const {
  size_t k = static_cast<size_t>(std::max(current_ - 1, 0));
  return k < indexes_.size() ? indexes_[k] : current_ - 1;
}

void TB_CustomBitmapPersistent::Draw(TCanvas* Canvas, int Index, TPoint Pos, bool Enabled, TDrawingStyle Style) {
  TCustomImageList* list = ImageList();
  if (list == nullptr || Canvas == nullptr || Index < 0 || Index >= list->Count()) return;
  if (Enabled) {
    uint32_t flags = Style == dsTransparent ? ILD_TRANSPARENT : ILD_NORMAL;
    ImageList_DrawEx(list, Index, Canvas->Handle(), Pos.X, Pos.Y, 0, 0, CLR_NONE, CLR_DEFAULT, flags);
  } else {
    list->Draw(Canvas, Pos.X, Pos.Y, Index, Style, itImage, false);
  }
}

void TB_CustomBitmapPersistent::Paint(TCanvas* Canvas) {
  if (painting_ || Canvas == nullptr) return;
  TCustomImageList* list = ImageList();
  int index = CurrentIndex();
  if (list == nullptr || number_images_ < 1 || index < 0 || index >= list->Count()) return;
  painting_ = true;
  HDC dc = Canvas->Handle();
  int saved = SaveDC(dc);
  try {
    TRect r = BoundsRect();
    IntersectClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
    int w = list->Width(), h = list->Height();
    TDrawingStyle ds = transparent_ ? dsTransparent : dsNormal;
    TRect inner = r;
    InflateRect(inner, -border_, -border_);
    auto place = [&](int iw, int ih) {
      int x = inner.Left, y = inner.Top;
      if (align_horz_ == b_ahCenter) x = r.Left + (r.Width() - iw) / 2;
      else if (align_horz_ == b_ahRight) x = r.Right - iw - border_;
      if (align_vert_ == b_avCenter) y = r.Top + (r.Height() - ih) / 2;
      else if (align_vert_ == b_avBottom) y = r.Bottom - ih - border_;
      return TPoint{x, y};
    };
    if (style_ == b_bsTile && w > 0 && h > 0) {
      TRect clip;
      GetClipBox(dc, &clip);
      for (int y = r.Top; y < r.Bottom; y += h) {
        if (y + h <= clip.Top || y >= clip.Bottom) continue;
        for (int x = r.Left; x < r.Right; x += w) {
          if (x + w <= clip.Left || x >= clip.Right) continue;
          Draw(Canvas, index, {x, y}, Enabled(), ds);
        }
      }
    } else if ((style_ == b_bsStretch || style_ == b_bsStretchPercent) && w > 0 && h > 0) {
      TBitmap image;
      image.SetAlphaFormat(afDefined);
      image.SetSize(w, h);
      Draw(image.Canvas(), index, {0, 0}, Enabled(), ds);
      if (style_ == b_bsStretch) {
        Canvas->StretchDraw(inner, &image);
      } else {
        int sw = static_cast<int>(std::lround(w * stretch_x_ / 100.0));
        int sh = static_cast<int>(std::lround(h * stretch_y_ / 100.0));
        TPoint at = place(sw, sh);
        Canvas->StretchDraw(Bounds(at.X, at.Y, sw, sh), &image);
      }
    } else {
      TPoint at = place(w, h);
      Draw(Canvas, index, at, Enabled(), ds);
    }
  } catch (...) {
    RestoreDC(dc, saved);
    painting_ = false;
    throw;
  }
  RestoreDC(dc, saved);
  painting_ = false;
}

void TB_CustomBitmapPersistent::NextFrame(TObject*) {
  if (play_start_ < play_end_ && play_end_ != 0 && current_ > play_end_) current_ = play_start_;
  ++current_;
  if (current_ > number_images_) current_ = 1;
  if (current_ < play_start_) current_ = play_start_;
  Changed();
}
