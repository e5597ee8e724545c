#include <filesystem>

#include "tests/framework/FrameworkFixture.h"
#include "tests/support/TempDir.h"

namespace {

using B_ComCTRTest = FrameworkTest;

// The bitmap library next to the test program.
String LibraryPath() { return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "B_Lib.DLL").string(); }

// Draws image Index of a list onto yellow paper (transparently).
TColor DrawnAt(TCustomImageList* List, int Index, int X, int Y) {
  TPaper paper(List->Width(), List->Height(), clYellow);
  ImageList_DrawEx(List, Index, paper.Canvas()->Handle(), 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
  return paper.At(X, Y);
}

}  // namespace

TEST_F(B_ComCTRTest, TheSharedListLoadsTheFrameworksBitmaps) {
  TB_ImageList* shared = GetAppImageList();
  EXPECT_EQ(GetAppImageList(), shared);
  EXPECT_TRUE(shared->IsShared());
  EXPECT_EQ(shared->Name(), "App_ImageList16");
  EXPECT_EQ(FindImageList("app_imagelist16"), shared);  // ignoring case
  EXPECT_EQ(FindImageList("NoSuchList"), nullptr);
  EXPECT_EQ(shared->Width(), 16);
  EXPECT_EQ(shared->Height(), 16);
  EXPECT_GE(shared->Count(), 19);  // the 19 bitmaps of the 13 names (others may be added by now)
  EXPECT_EQ(shared->FailedNames().find("IM_CHECK"), String::npos) << shared->FailedNames();
  std::vector<int> check = shared->IndexesOf("im_check_2");
  ASSERT_EQ(check.size(), 1u);
  EXPECT_EQ(shared->GetBitmapIndex("IM_CHECK_2"), check[0]);
  // Magenta is transparent: the corner of IM_OK keeps what lies beneath.
  int ok = shared->GetBitmapIndex("IM_OK");  // not one of the 13: loaded on first use
  ASSERT_GE(ok, 0);
  EXPECT_EQ(shared->GetBitmapIndex("IM_OK"), ok);
  EXPECT_NE(shared->NameBitmap().find("IM_OK"), String::npos);
  EXPECT_EQ(DrawnAt(shared, ok, 0, 0), clYellow);
  EXPECT_NE(DrawnAt(shared, ok, 6, 9), clYellow);
  for (const char* name : {"IM_CLOSEW", "IM_UPDATE", "IM_COPY", "IM_CANCEL"}) {
    SCOPED_TRACE(name);
    EXPECT_GE(shared->GetBitmapIndex(name), 0);
  }
  EXPECT_EQ(shared->GetBitmapIndex(""), -1);
}

TEST_F(B_ComCTRTest, NamesIdsAndFailures) {
  TB_ImageList list(nullptr);
  list.SetTransparentColor(clFuchsia);
  list.SetDrawingStyle(dsTransparent);
  list.SetNameFile("nowhere.dll;" + LibraryPath());  // the files are tried in order
  struct Case {
    const char* name;
    int images;  // the images the name gives, 0 when it fails
  } cases[] = {
      {"IM_OK", 1}, {"101", 1},  // a name of digits is a resource id
      {"NO_SUCH_BITMAP", 0}, {"999", 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    int before = list.Count();
    int index = list.GetBitmapIndex(k.name);
    EXPECT_EQ(list.Count() - before, k.images);
    EXPECT_EQ(index, k.images > 0 ? before : -1);
    EXPECT_EQ(list.IndexesOf(k.name).size(), static_cast<size_t>(k.images));
  }
  EXPECT_NE(list.FailedNames().find("NO_SUCH_BITMAP"), String::npos);
  // A ";"-list loads each name (a known one is not loaded twice).
  int count = list.Count();
  EXPECT_EQ(list.GetBitmapIndex("IM_OK;IM_CLOSEW"), -1);
  EXPECT_EQ(list.Count(), count + 1);
  EXPECT_EQ(list.IndexesOf("IM_CLOSEW").size(), 1u);
  // The loader puts the parts of one name side by side.
  auto both = LoadNamedBitmap("IM_OK;IM_CLOSEW;NO_SUCH_BITMAP", LibraryPath());
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->Width(), 32);
  EXPECT_EQ(LoadNamedBitmap("IM_OK", "no_such_library.DLL"), nullptr);
  // A failed name is not tried again, even after the file changes.
  list.SetNameFile(LibraryPath());
  EXPECT_EQ(list.GetBitmapIndex("NO_SUCH_BITMAP"), -1);
  TB_ImageList fresh(nullptr);
  fresh.SetNameFile("no_such_library.DLL");
  EXPECT_EQ(fresh.GetBitmapIndex("IM_OK"), -1);  // a missing library: no bitmap, no message
  fresh.SetNameFile(LibraryPath());
  EXPECT_EQ(fresh.GetBitmapIndex("IM_OK"), -1);
  EXPECT_THROW(fresh.SetNumber(16001), ERangeError);
}

TEST_F(B_ComCTRTest, CuttingByNumberAndReloading) {
  TB_ImageList list(nullptr);
  int changes = 0;
  list.SetOnChange([&](TObject*) { ++changes; });
  list.DisableReload();
  list.SetNameFile("B_LIB.DLL");  // found next to the program, whatever the case
  list.SetNumber(4);
  list.SetNameBitmap("WINDOW_MSG");
  EXPECT_EQ(changes, 0);
  list.EnableReload();  // one reload for the three changes
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Width(), 32);
  EXPECT_EQ(list.Height(), 32);
  EXPECT_EQ(list.NumberImages(), 4);
  EXPECT_EQ(list.NameIndexList(), "WINDOW_MSG;0;WINDOW_MSG;1;WINDOW_MSG;2;WINDOW_MSG;3");
  // A list that becomes empty loads its first name again.
  list.Clear();
  EXPECT_EQ(list.Count(), 4);
  // Without Number: one image per name, squares of the bitmap's smaller side.
  list.SetNumber(0);
  EXPECT_EQ(list.Width(), 32);
  EXPECT_EQ(list.Count(), 4);
  list.SetNameBitmap("IM_OK;IM_DATE");
  EXPECT_EQ(list.Width(), 16);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.NumberImages(), 2);
}

TEST_F(B_ComCTRTest, PictureFilesAndTheRegistry) {
  TTempDir dir;
  TBitmap strip;
  strip.SetSize(20, 10);
  strip.Canvas()->Brush()->SetColor(clRed);
  strip.Canvas()->FillRect(Rect(0, 0, 20, 10));
  strip.SaveToFile(dir.File("strip.bmp"));
  TJPEGImage jpeg;
  jpeg.Assign(&strip);
  jpeg.SaveToFile(dir.File("strip.jpg"));
  dir.Write("broken.bmp", "BM this is not a bitmap");
  dir.Write("broken.jpg", std::string("\xFF\xD8\xFF\xE0 truncated", 14));

  int before = TB_ListImageList::Count();
  uint64_t generation = TB_ListImageList::Generation();
  {
    TB_ImageList list(nullptr);
    list.SetName("Pictures");
    EXPECT_EQ(TB_ListImageList::Count(), before + 1);
    EXPECT_NE(TB_ListImageList::Generation(), generation);
    EXPECT_EQ(FindImageList("PICTURES"), &list);
    list.SetNameFile(dir.File("strip.bmp"));  // no names: the whole file
    EXPECT_EQ(list.Count(), 2);                // 20 x 10 in squares of 10
    EXPECT_EQ(list.Width(), 10);
    list.SetNameFile(dir.File("strip.jpg"));
    EXPECT_EQ(list.Count(), 2);
    for (const char* broken : {"broken.bmp", "broken.jpg", "missing.bmp"}) {
      SCOPED_TRACE(broken);
      list.SetNameFile(dir.File(broken));  // a load failure, never a crash
      EXPECT_EQ(list.Count(), 0);
      EXPECT_EQ(list.GetBitmapIndex("anything"), -1);
    }
  }
  EXPECT_EQ(TB_ListImageList::Count(), before);
  EXPECT_EQ(FindImageList("Pictures"), nullptr);
}
