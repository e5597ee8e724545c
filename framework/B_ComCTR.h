// Image lists that fill themselves with named bitmaps, the registry of all
// such lists and the shared list "App_ImageList16".
//
// TB_ImageList loads each name of NameBitmap from the files of NameFile (a
// ";"-list tried in order): a library module (".DLL", ".EXE": its bitmap
// resources by name, or by id for a name of digits only) or a picture file
// (bitmap, icon, JPEG). A file is found as given or along the program's
// search path (ResolveFilePath). It remembers which image indexes each
// name gave (the name/index list) and the names that failed (never tried
// again while the list lives). With the transparent drawing style the
// bitmaps are masked by TransparentColor, or by each bitmap's own
// transparent colour (its bottom-left pixel) when that is clNone.
//
// Every TB_ImageList registers itself in the list registry; FindImageList
// finds one by component name. The shared list is made on first use from
// "B_Lib.DLL" (the project's bitmap library, shipped next to the program)
// with magenta as its transparent colour, and freed by the unit's
// finalization.
#pragma once

#include <utility>
#include <vector>

#include "framework/B_PF.h"
#include "platform/gui/ImgList.h"

// -1 to 16000.
using TB_MaxImageList = int32_t;

class TB_ImageList : public TImageList {
 public:
  explicit TB_ImageList(TComponent* AOwner);
  ~TB_ImageList() override;
  void Loaded() override;

  // Names of the bitmaps (";"-list); a change reloads the list.
  const String& NameBitmap() const { return name_bitmap_; }
  void SetNameBitmap(const String& Value);
  // Files of the bitmaps (";"-list, tried in order); a change reloads.
  const String& NameFile() const { return name_file_; }
  void SetNameFile(const String& Value);
  // Images one bitmap is cut into (0: one image per name's bitmap width in
  // squares of its smaller side); a change reloads. -1 to 16000.
  TB_MaxImageList Number() const { return number_; }
  void SetNumber(TB_MaxImageList Value);
  // Images available (Number, or counted while loading).
  TB_MaxImageList NumberImages() const { return number_images_; }
  void SetNumberImages(TB_MaxImageList Value);
  TColor TransparentColor() const { return transparent_color_; }
  void SetTransparentColor(TColor Value) { transparent_color_ = Value; }
  bool IsShared() const { return shared_; }

  // The first index recorded for Name (ignoring case), loading it from
  // NameFile when it is not known yet; -1 for an empty or failed name.
  int GetBitmapIndex(const String& Name);
  // Every index recorded for Name, in order (ignoring case).
  std::vector<int> IndexesOf(const String& Name) const;
  // Loads Name from Files (empty: NameFile) unless it is known or failed;
  // true when Name is known afterwards.
  bool LoadName(const String& Name, const String& Files = String());
  // The name/index list: each image's name and index, ";"-separated.
  String NameIndexList() const;
  // The names that failed to load, ";"-separated.
  String FailedNames() const;

  // Clears the images and loads every name again.
  void Reload();
  // Holds the reloads of property changes; EnableReload reloads once when
  // a change was held.
  void DisableReload() { ++reload_lock_; }
  void EnableReload();

 protected:
  // After a change of the images: a list that has become empty forgets its
  // names and loads the first name of NameBitmap again; changes during a
  // load are held until the outermost load ends.
  void Change() override;

 private:
  friend TB_ImageList* GetAppImageList();
  void PropertyChanged();
  void Load(const String& Names, const String& Files);
  bool Known(const String& Name) const;
  bool Failed(const String& Name) const;
  void EndLoad();

  String name_bitmap_;
  String name_file_;
  TB_MaxImageList number_ = 0;
  TB_MaxImageList number_images_ = 0;
  TColor transparent_color_ = clNone;
  bool shared_ = false;
  std::vector<std::pair<String, int>> names_;
  std::vector<String> failed_;
  int loading_ = 0;
  bool changed_during_load_ = false;
  int reload_lock_ = 0;
  bool reload_pending_ = false;
};

// The registry of live TB_ImageList objects, in order of creation.
class TB_ListImageList {
 public:
  static int Count();
  static TB_ImageList* Items(int Index);
  // Grows with every list added or removed (for caches of lookups).
  static uint64_t Generation();
};

// The shared list, made on first call.
TB_ImageList* GetAppImageList();
// Makes sure the shared list exists, then the first registered list whose
// component name equals Name ignoring case (locale-aware); nullptr if none.
TB_ImageList* FindImageList(const String& Name);

// Loads one bitmap by name from one file (a library module's resources, or
// a picture file); nullptr when the file or the name is not found or the
// picture cannot be read.
std::unique_ptr<TBitmap> LoadNamedBitmap(const String& Name, const String& FileName);

extern const TUnit unit_B_ComCTR;
