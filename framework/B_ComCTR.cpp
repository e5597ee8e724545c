#include "framework/B_ComCTR.h"

#include <algorithm>
#include <cctype>

#include "platform/os/Modules.h"
#include "platform/os/Resources.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/UnitInit.h"

namespace {

struct Registry {
  std::vector<TB_ImageList*> lists;
  uint64_t generation = 0;
  TB_ImageList* shared = nullptr;
};

Registry& Lists() {
  static Registry registry;
  return registry;
}

bool SameName(const String& a, const String& b) { return AnsiCompareText(a, b) == 0; }

bool AllDigits(const String& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// One resource of a loaded module: by id for a name of digits, else by name.
std::unique_ptr<TBitmap> ResourceBitmap(HMODULE Module, const String& Part) {
  auto bitmap = std::make_unique<TBitmap>();
  try {
    if (AllDigits(Part)) {
      if (Part.size() > 5) return nullptr;
      bitmap->LoadFromResourceID(Module, std::stoi(Part));
    } else {
      bitmap->LoadFromResourceName(Module, Part);
    }
  } catch (const Exception&) {
    return nullptr;
  }
  return bitmap;
}

std::unique_ptr<TBitmap> LibraryBitmap(const String& Name, const String& Path) {
  HMODULE module = LoadLibrary(Path);
  if (module == nullptr) return nullptr;
  std::vector<std::unique_ptr<TBitmap>> parts;
  for (const String& part : GetListItems(Name)) {
    if (part.empty()) continue;
    if (auto b = ResourceBitmap(module, part)) parts.push_back(std::move(b));
  }
  FreeLibrary(module);
  if (parts.empty()) return nullptr;
  if (parts.size() == 1) return std::move(parts.front());
  // Several parts side by side, each to the right of the previous.
  int width = 0, height = 0;
  for (const auto& b : parts) {
    width += b->Width();
    height = std::max(height, b->Height());
  }
  auto joined = std::make_unique<TBitmap>();
  joined->SetSize(width, height);
  int x = 0;
  for (const auto& b : parts) {
    joined->Canvas()->Draw(x, 0, b.get());
    x += b->Width();
  }
  return joined;
}

std::unique_ptr<TBitmap> PictureBitmap(const String& Path) {
  TPicture picture;
  try {
    picture.LoadFromFile(Path);
  } catch (const Exception&) {
    return nullptr;
  }
  TGraphic* graphic = picture.Graphic();
  if (graphic == nullptr || graphic->Empty()) return nullptr;
  auto bitmap = std::make_unique<TBitmap>();
  if (dynamic_cast<TIcon*>(graphic) != nullptr) {
    bitmap->SetSize(graphic->Width(), graphic->Height());
    bitmap->Canvas()->Brush()->SetStyle(bsClear);
    bitmap->Canvas()->Draw(0, 0, graphic);
  } else {
    bitmap->Assign(graphic);
  }
  return bitmap;
}

}  // namespace

std::unique_ptr<TBitmap> LoadNamedBitmap(const String& Name, const String& FileName) {
  if (FileName.empty()) return nullptr;
  String path = ResolveFilePath(FileName);
  if (path.empty()) return nullptr;
  switch (GetFileKind(path)) {
    case 1:
    case 2: return LibraryBitmap(Name, ExpandFileName(path));  // a name without a folder would be searched elsewhere
    default: return PictureBitmap(path);
  }
}

// ---------------------------------------------------------------------------
// TB_ListImageList

int TB_ListImageList::Count() { return static_cast<int>(Lists().lists.size()); }

TB_ImageList* TB_ListImageList::Items(int Index) {
  auto& lists = Lists().lists;
  if (Index < 0 || Index >= static_cast<int>(lists.size())) throw EListError("List index out of bounds (%d)", {Index});
  return lists[static_cast<size_t>(Index)];
}

uint64_t TB_ListImageList::Generation() { return Lists().generation; }

TB_ImageList* GetAppImageList() {
  Registry& r = Lists();
  if (r.shared != nullptr) return r.shared;
  auto* list = new TB_ImageList(nullptr);
  r.shared = list;
  list->shared_ = true;
  list->SetName("App_ImageList16");
  list->DisableReload();
  list->SetTransparentColor(static_cast<TColor>(0xFF00FF));
  list->SetDrawingStyle(dsTransparent);
  list->SetNameFile("B_Lib.DLL");
  String names;
  for (const char* n : {IM_BTN_DOWN, IM_CHECK, IM_RADIO, IM_DATE, IM_OPEN, IM_CLEAR, IM_CUT, IM_TREE, IM_Calc, IM_New,
                        IM_REPEAT, IM_BOOK_OPEN, IM_BTN_DOWNMEM}) {
    if (!names.empty()) names += ';';
    names += n;
  }
  list->SetNameBitmap(names);
  list->EnableReload();
  return list;
}

TB_ImageList* FindImageList(const String& Name) {
  GetAppImageList();
  for (TB_ImageList* list : Lists().lists) {
    if (SameName(list->Name(), Name)) return list;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// TB_ImageList

TB_ImageList::TB_ImageList(TComponent* AOwner) : TImageList(AOwner) {
  Registry& r = Lists();
  r.lists.push_back(this);
  ++r.generation;
}

TB_ImageList::~TB_ImageList() {
  Registry& r = Lists();
  r.lists.erase(std::remove(r.lists.begin(), r.lists.end(), this), r.lists.end());
  if (r.shared == this) r.shared = nullptr;
  ++r.generation;
}

void TB_ImageList::Loaded() {
  TImageList::Loaded();
  Reload();
}

void TB_ImageList::PropertyChanged() {
  if (IsLoading()) return;
  if (reload_lock_ > 0) {
    reload_pending_ = true;
    return;
  }
  Reload();
}

void TB_ImageList::EnableReload() {
  if (reload_lock_ == 0 || --reload_lock_ > 0) return;
  if (reload_pending_) {
    reload_pending_ = false;
    Reload();
  }
}

void TB_ImageList::SetNameBitmap(const String& Value) {
  if (Value == name_bitmap_) return;
  name_bitmap_ = Value;
  PropertyChanged();
}

void TB_ImageList::SetNameFile(const String& Value) {
  if (Value == name_file_) return;
  name_file_ = Value;
  PropertyChanged();
}

void TB_ImageList::SetNumber(TB_MaxImageList Value) {
  if (Value < -1 || Value > 16000) throw ERangeError("Range check error");
  if (Value == number_) return;
  number_ = Value;
  PropertyChanged();
}

void TB_ImageList::SetNumberImages(TB_MaxImageList Value) {
  if (Value < -1 || Value > 16000) throw ERangeError("Range check error");
  if (Value == number_images_) return;
  number_images_ = Value;
  PropertyChanged();
}

bool TB_ImageList::Known(const String& Name) const {
  return std::any_of(names_.begin(), names_.end(), [&](const auto& p) { return SameName(p.first, Name); });
}

bool TB_ImageList::Failed(const String& Name) const {
  return std::any_of(failed_.begin(), failed_.end(), [&](const String& f) { return SameName(f, Name); });
}

std::vector<int> TB_ImageList::IndexesOf(const String& Name) const {
  std::vector<int> indexes;
  for (const auto& [name, index] : names_) {
    if (SameName(name, Name)) indexes.push_back(index);
  }
  return indexes;
}

int TB_ImageList::GetBitmapIndex(const String& Name) {
  if (Name.empty()) return -1;
  if (!Known(Name)) Load(Name, name_file_);
  for (const auto& [name, index] : names_) {
    if (SameName(name, Name)) return index;
  }
  return -1;
}

bool TB_ImageList::LoadName(const String& Name, const String& Files) {
  if (!Known(Name)) Load(Name, Files.empty() ? name_file_ : Files);
  return Known(Name);
}

String TB_ImageList::NameIndexList() const {
  String text;
  for (const auto& [name, index] : names_) {
    if (!text.empty()) text += ';';
    text += name + ";" + IntToStr(index);
  }
  return text;
}

String TB_ImageList::FailedNames() const {
  String text;
  for (const String& f : failed_) {
    if (!text.empty()) text += ';';
    text += f;
  }
  return text;
}

void TB_ImageList::Load(const String& Names, const String& Files) {
  std::vector<String> names = Names.empty() ? std::vector<String>{String()} : GetListItems(Names);
  for (const String& name : names) {
    if (Failed(name) || Known(name)) continue;
    std::unique_ptr<TBitmap> bitmap;
    for (const String& file : GetListItems(Files)) {
      bitmap = LoadNamedBitmap(name, file);
      if (bitmap != nullptr) break;
    }
    if (bitmap == nullptr) {
      failed_.push_back(name);
      continue;
    }
    ++loading_;
    try {
      if (!name.empty()) {
        bool listed = false;
        for (const String& n : GetListItems(name_bitmap_)) listed = listed || SameName(n, name);
        if (!listed) {
          if (!name_bitmap_.empty() && name_bitmap_.back() != ';') name_bitmap_ += ';';
          name_bitmap_ += name;
        }
      }
      if (Count() == 0) {
        // The first bitmap sets the image size.
        if (number_ > 0) SetSize(std::max(1, bitmap->Width() / number_), bitmap->Height());
        else SetSize(std::min(bitmap->Width(), bitmap->Height()), std::min(bitmap->Width(), bitmap->Height()));
      }
      int before = Count();
      if (DrawingStyle() == dsTransparent)
        AddMasked(bitmap.get(), transparent_color_ != clNone ? transparent_color_ : bitmap->TransparentColor());
      else
        Add(bitmap.get(), nullptr);
      for (int i = before; i < Count(); ++i) names_.emplace_back(name, i);
    } catch (...) {
      EndLoad();
      throw;
    }
    EndLoad();
  }
}

void TB_ImageList::EndLoad() {
  if (--loading_ > 0 || !changed_during_load_) return;
  changed_during_load_ = false;
  Change();
}

void TB_ImageList::Reload() {
  ++loading_;
  try {
    Clear();
    names_.clear();
    number_images_ = number_ > 0 ? number_ : 0;
    std::vector<String> names = GetListItems(name_bitmap_);
    for (const String& name : names) {
      if (!Known(name)) Load(name, name_file_);
      if (number_ == 0) ++number_images_;
    }
    if (names.empty() && !name_file_.empty()) Load(String(), name_file_);
    if (Width() == 0 && Height() == 0) SetSize(16, 16);
  } catch (...) {
    --loading_;
    changed_during_load_ = false;
    throw;
  }
  --loading_;
  changed_during_load_ = false;
  Change();
}

void TB_ImageList::Change() {
  if (loading_ > 0) {
    changed_during_load_ = true;
    return;
  }
  if (Count() == 0 && !names_.empty()) {
    // The images are gone: forget the names and take the first one again.
    names_.clear();
    String first = GetListItem(name_bitmap_, 0);
    if (!first.empty() && !Failed(first)) {
      Load(first, name_file_);
      if (Count() > 0) return;  // the load reported the change
    }
  }
  TImageList::Change();
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitB_ComCTR() {
  RegisterClass<TB_ImageList, TImageList>("TB_ImageList")
      .Prop("TransparentColor", &TB_ImageList::TransparentColor, &TB_ImageList::SetTransparentColor, clNone)
      .Prop("NameBitmap", &TB_ImageList::NameBitmap, &TB_ImageList::SetNameBitmap)
      .Prop("NameFile", &TB_ImageList::NameFile, &TB_ImageList::SetNameFile)
      .Prop("Number", &TB_ImageList::Number, &TB_ImageList::SetNumber, 0)
      .Prop("NumberImages", &TB_ImageList::NumberImages, &TB_ImageList::SetNumberImages)
      .Stored(false);
}

void FinalB_ComCTR() {
  delete Lists().shared;
  Lists().shared = nullptr;
}

constexpr const TUnit* kUses[] = {&unit_B_PF, &unit_ImgList};

}  // namespace

constinit const TUnit unit_B_ComCTR("B_ComCTR", kUses, InitB_ComCTR, FinalB_ComCTR);
