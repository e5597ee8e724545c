// The most-recently-used list, field lists, the special row, the data link,
// the field value list and the platform helper routines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "grid/toolkit/GridLibVCL.h"
#include "platform/rtl/Locale.h"
#include "tests/grid/toolkit/DetailDataSet.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/platform/db/DbFixture.h"

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

std::vector<String> Lines(TStrings* List) {
  std::vector<String> v;
  for (int i = 0; i < List->Count(); ++i) v.push_back(List->Strings(i));
  return v;
}

using Texts = std::vector<String>;

// ---------------------------------------------------------------------------
// TMRUListEh

using MRUListTest = ToolkitTest;

TEST_F(MRUListTest, AddKeepsTheMostRecentLastWithinTheLimit) {
  TMRUListEh mru(nullptr);
  mru.Add("   ");
  mru.Add("\t\r\n");
  EXPECT_EQ(mru.Items()->Count(), 0);
  for (const char* s : {"alpha", "Beta", "Иван"}) mru.Add(s);
  // Without case: the entry keeps its own letters and moves to the end.
  mru.Add("BETA");
  mru.Add("иван");
  EXPECT_EQ(Lines(mru.Items()), (Texts{"alpha", "Beta", "Иван"}));
  mru.Add("ALPHA");
  EXPECT_EQ(Lines(mru.Items()), (Texts{"Beta", "Иван", "alpha"}));
  mru.SetCaseSensitive(true);
  mru.Add("BETA");
  EXPECT_EQ(Lines(mru.Items()), (Texts{"Beta", "Иван", "alpha", "BETA"}));
  // The value is kept as given, blanks and all.
  mru.Add(" gamma ");
  EXPECT_EQ(mru.Items()->Strings(4), " gamma ");

  TMRUListEh three(nullptr);
  three.SetLimit(3);
  for (const char* s : {"a", "b", "c", "d"}) three.Add(s);
  EXPECT_EQ(Lines(three.Items()), (Texts{"b", "c", "d"}));
  three.SetLimit(2);
  EXPECT_EQ(Lines(three.Items()), (Texts{"c", "d"}));
  // No limit left: nothing is kept, and nothing is deleted from an empty list.
  for (int limit : {0, -1, -5}) {
    TMRUListEh none(nullptr);
    none.SetLimit(limit);
    none.Add("x");
    none.Add("y");
    EXPECT_EQ(none.Items()->Count(), 0) << limit;
  }
  three.SetLimit(-1);
  EXPECT_EQ(three.Items()->Count(), 0);
}

TEST_F(MRUListTest, FilterTakesEntriesThatBeginWithTheTypedText) {
  TMRUListEh mru(nullptr);
  for (const char* s : {"abc", "ABD", "xab", "Ивано", "иванов", "ab"}) mru.Add(s);
  TStringList out;
  struct Case {
    bool caseSensitive;
    const char* mask;
    Texts expected;
  };
  const Case cases[] = {
      {false, "", {"abc", "ABD", "xab", "Ивано", "иванов", "ab"}},
      {false, "ab", {"abc", "ABD", "ab"}},
      {true, "ab", {"abc", "ab"}},
      {false, "ИВ", {"Ивано", "иванов"}},  // two characters, four bytes each side
      {true, "Ив", {"Ивано"}},
      {false, "abcd", {}},
  };
  for (const Case& c : cases) {
    mru.SetCaseSensitive(c.caseSensitive);
    EXPECT_TRUE(mru.FilterItemsTo(&out, c.mask));
    EXPECT_EQ(Lines(&out), c.expected) << c.mask << " " << c.caseSensitive;
  }
  mru.SetCaseSensitive(false);
  mru.SetOnFilterItem([](TObject* Sender, bool& Accept) {
    auto* self = static_cast<TMRUListEh*>(Sender);
    Accept = !Accept && self->Items()->Count() > 0;  // the others instead
  });
  mru.FilterItemsTo(&out, "ab");
  EXPECT_EQ(Lines(&out), (Texts{"xab", "Ивано", "иванов"}));
  mru.SetOnFilterItem(nullptr);

  // A key press waiting in the queue ends the walk at once.
  HWND wnd = AllocateHWnd([](TMessage&) {});
  ASSERT_TRUE(PostMessage(wnd, WM_KEYDOWN, 'A', 0));
  EXPECT_FALSE(mru.FilterItemsTo(&out, ""));
  EXPECT_EQ(Lines(&out), (Texts{"abc"}));
  mru.SetCancelIfKeyInQueue(false);
  EXPECT_TRUE(mru.FilterItemsTo(&out, ""));
  EXPECT_EQ(out.Count(), 6);
  TMsg msg;
  EXPECT_TRUE(PeekMessage(msg, wnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
  DeallocateHWnd(wnd);
}

TEST_F(MRUListTest, AssignAndTheEditorsCallbacks) {
  TMRUListEh a(nullptr), b(nullptr);
  int activeChanges = 0;
  std::vector<String> calls;
  b.SetOnActiveChanged([&](TObject*) { ++activeChanges; });
  b.SetOnSetCloseUp([&](TObject*, bool Accept) { calls.push_back(Accept ? "accept" : "cancel"); });
  b.SetOnSetDropDown([&](TObject*) { calls.push_back("drop"); });
  a.SetActive(true);
  a.SetLimit(2);
  a.SetRows(3);
  a.SetCaseSensitive(true);
  a.SetAutoAdd(false);
  for (const char* s : {"1", "2"}) a.Add(s);
  b.Add("old");
  b.Assign(&a);
  EXPECT_TRUE(b.Active());
  EXPECT_EQ(activeChanges, 1);
  b.SetActive(true);
  EXPECT_EQ(activeChanges, 1);
  EXPECT_EQ(Lines(b.Items()), (Texts{"1", "2"}));
  EXPECT_EQ(b.Limit(), 2);
  EXPECT_EQ(b.Rows(), 3);
  EXPECT_TRUE(b.CaseSensitive());
  EXPECT_TRUE(b.AutoAdd());  // not copied
  b.DropDown();
  b.CloseUp(true);
  b.CloseUp(false);
  EXPECT_EQ(calls, (Texts{"drop", "accept", "cancel"}));
}

// ---------------------------------------------------------------------------
// TSpecRowEh

using SpecRowTest = ToolkitTest;

TEST_F(SpecRowTest, CellsTextSplitsAtSemicolonsOutsideQuotes) {
  TSpecRowEh row(nullptr);
  struct Case {
    const char* text;
    Texts cells;
  };
  const Case cases[] = {
      {"a;\"b;c\"; d", {"a", "b;c", " d"}},
      {"\r\n x;\ty", {" x", "y"}},
      {"\"he said \"\"no\"\"\";Вася", {"he said \"no\"", "Вася"}},
      {"a;;b", {"a", "", "b"}},
      {"", {}},
  };
  for (const Case& c : cases) {
    row.SetCellsText(c.text);
    Texts cells;
    for (int i = 0; i < row.CellCount(); ++i) cells.push_back(row.GetCellText(i));
    EXPECT_EQ(cells, c.cells) << c.text;
  }
  row.SetCellsText("a;b");
  EXPECT_EQ(row.GetCellText(-1), "");
  EXPECT_EQ(row.GetCellText(2), "");
  EXPECT_EQ(row.GetCellText(1), "b");
}

TEST_F(SpecRowTest, ColourAndFontFollowTheOwnerUntilWritten) {
  std::unique_ptr<TCustomControl> grid(new TCustomControl(nullptr));
  grid->SetColor(clYellow);
  grid->Font()->SetName("DejaVu Serif");
  TSpecRowEh row(grid.get());
  EXPECT_EQ(row.Color(), clYellow);
  grid->SetColor(clAqua);
  EXPECT_EQ(row.Color(), clAqua);
  EXPECT_FALSE(row.ColorAssigned());
  row.SetColor(clAqua);  // the owner's colour, but its own from now on
  grid->SetColor(clRed);
  EXPECT_EQ(row.Color(), clAqua);
  EXPECT_TRUE(row.IsColorStored());

  EXPECT_EQ(row.Font()->Name(), "DejaVu Serif");
  grid->Font()->SetSize(14);
  EXPECT_EQ(row.Font()->Size(), 14);
  EXPECT_FALSE(row.FontAssigned());
  row.Font()->SetStyle(TFontStyles{fsBold});
  EXPECT_TRUE(row.FontAssigned());
  grid->Font()->SetSize(20);
  EXPECT_EQ(row.Font()->Size(), 14);

  // An owner that is no self-drawn control lends no colour.
  std::unique_ptr<TEdit> edit(new TEdit(nullptr));
  edit->SetColor(clRed);
  TSpecRowEh plain(edit.get());
  EXPECT_EQ(plain.Color(), clWindow);
}

TEST_F(SpecRowTest, ChangesAreReportedOnceAndAssignCopiesTheSettings) {
  TSpecRowEh row(nullptr), copy(nullptr);
  int changes = 0;
  row.SetOnChanged([&](TObject*) { ++changes; });
  EXPECT_TRUE(VarIsNull(row.Value()));
  EXPECT_EQ(row.ShortCut(), 32814);
  EXPECT_TRUE(row.ShowIfNotInKeyList());
  row.SetValue(Null());
  row.SetVisible(false);
  EXPECT_EQ(changes, 0);
  row.SetValue(5);
  row.SetValue(String("5x"));  // no comparison error between unlike values
  EXPECT_EQ(changes, 2);
  row.BeginUpdate();
  row.SetVisible(true);
  row.SetCellsText("x;y");
  row.SetColor(clLime);
  EXPECT_EQ(changes, 2);
  row.EndUpdate();
  EXPECT_EQ(changes, 3);

  row.Font()->SetSize(11);
  row.SetShortCut(0);
  copy.Assign(&row);
  EXPECT_TRUE(copy.Visible());
  EXPECT_EQ(copy.GetCellText(1), "y");
  EXPECT_EQ(copy.Color(), clLime);
  EXPECT_TRUE(copy.ColorAssigned());
  EXPECT_EQ(copy.Font()->Size(), 11);
  EXPECT_TRUE(copy.FontAssigned());
  EXPECT_EQ(copy.ShortCut(), 0);
  EXPECT_EQ(VarToStr(copy.Value()), "5x");
}

// ---------------------------------------------------------------------------
// Field lists, the data link, the field value list

class FieldListsTest : public ToolkitTest {
 protected:
  void SetUp() override {
    ToolkitTest::SetUp();
    ds_ = std::make_unique<TMemDataSet>(nullptr);
    ds_->SetName("Mem");
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("NAME", ftString, 20);
    ds_->Open();
    ds_->AppendRows({{1, String("b")}, {2, String("a")}, {3, String("b")}, {4, Null()}, {5, String("Ёж")}});
    ds_->First();
  }
  std::unique_ptr<TMemDataSet> ds_;
};

TEST_F(FieldListsTest, FieldsAreCollectedByNameOrTheMissingOneIsNamed) {
  TFieldsArrEh fields;
  GetFieldsArrayByNames(ds_.get(), nullptr, "NAME; ID", fields);
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ(fields[0], ds_->FieldByName("NAME"));
  EXPECT_EQ(fields[1], ds_->FieldByName("ID"));
  CollectFieldsByNames(nullptr, ds_.get(), nullptr, "ID;NAME");
  auto owner = std::make_unique<TComponent>(nullptr);
  owner->SetName("Editor1");
  EXPECT_THAT([&] { GetFieldsArrayByNames(ds_.get(), owner.get(), "ID;PRICE", fields); },
              ThrowsMessage<EDatabaseError>(HasSubstr("Editor1: Field 'PRICE' not found")));
}

TEST_F(FieldListsTest, NullClearsTheFieldsAndOtherValuesAreWritten) {
  ds_->Edit();
  DataSetSetFieldValues(ds_.get(), "ID;NAME", VarArrayOf({7, String("семь")}));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 7);
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "семь");
  DataSetSetFieldValues(ds_.get(), "NAME", String("x"));
  EXPECT_EQ(ds_->FieldByName("NAME")->AsString(), "x");
  DataSetSetFieldValues(ds_.get(), "ID;NAME", Null());
  EXPECT_TRUE(ds_->FieldByName("ID")->IsNull());
  EXPECT_TRUE(ds_->FieldByName("NAME")->IsNull());
  ds_->Cancel();
}

TEST_F(FieldListsTest, DataLinkPassesEveryEventOn) {
  TDataSource source(nullptr);
  source.SetDataSet(ds_.get());
  TDataLinkEh link;
  std::vector<TDataEvent> events;
  link.SetOnDataEvent([&](TDataEvent Event, NativeInt) { events.push_back(Event); });
  link.SetDataSource(&source);
  ds_->Next();
  ds_->Edit();
  ds_->Cancel();
  EXPECT_NE(std::find(events.begin(), events.end(), deDataSetScroll), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), deUpdateState), events.end());
  EXPECT_TRUE(link.Active());  // the inherited handling ran too
  link.SetDataSource(nullptr);
}

TEST_F(FieldListsTest, ValueListIsReadAgainAfterAChangeAndKeepsThePosition) {
  TDatasetFieldValueListEh list;
  list.SetFieldName("NAME");
  EXPECT_EQ(list.GetValues()->Count(), 0);  // no dataset yet
  list.SetDataSet(ds_.get());
  ds_->MoveBy(2);
  EXPECT_EQ(Lines(list.GetValues()), (Texts{"", "a", "b", "Ёж"}));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 3);  // still on the third record
  EXPECT_FALSE(ds_->ControlsDisabled());
  EXPECT_FALSE(list.NeedsRefresh());
  EXPECT_EQ(&list, Supports<IMemTableDataFieldValueListEh>(static_cast<TObject*>(&list)));

  ds_->Edit();
  ds_->FieldByName("NAME")->SetAsString("c");
  ds_->Post();
  EXPECT_TRUE(list.NeedsRefresh());
  EXPECT_EQ(Lines(list.GetValues()), (Texts{"", "a", "b", "c", "Ёж"}));
  EXPECT_EQ(ds_->FieldByName("ID")->AsInteger(), 3);

  list.SetFieldName("NOSUCH");
  EXPECT_EQ(list.GetValues()->Count(), 0);
  EXPECT_TRUE(list.NeedsRefresh());
  list.SetFieldName("ID");
  EXPECT_EQ(list.GetValues()->Count(), 5);
  // Closed, the dataset has no values; opened again, it is read again.
  ds_->Close();
  EXPECT_EQ(list.GetValues()->Count(), 0);
  ds_->Open();
  EXPECT_TRUE(list.NeedsRefresh());
  EXPECT_EQ(list.GetValues()->Count(), 5);
  list.SetDataSet(nullptr);
  EXPECT_EQ(list.GetValues()->Count(), 0);
}

TEST(ValueListFailure, AReadThatFailsLeavesThePositionAndTheControls) {
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("ID", ftInteger);
  auto* id = new TIntegerField(&ds);
  id->SetFieldName("ID");
  id->SetDataSet(&ds);
  auto* calc = new TIntegerField(&ds);
  calc->SetFieldName("TWICE");
  calc->SetFieldKind(fkCalculated);
  calc->SetDataSet(&ds);
  bool armed = false;
  ds.SetOnCalcFields([&](TDataSet* D) {
    const int v = D->FieldByName("ID")->AsInteger();
    if (armed && v == 30) throw EDatabaseError("lost connection");
    D->FieldByName("TWICE")->SetAsInteger(v * 2);
  });
  ds.Open();
  for (int i = 1; i <= 40; ++i) ds.AppendRows({{i}});
  ds.First();
  ds.MoveBy(4);
  TDatasetFieldValueListEh list;
  list.SetDataSet(&ds);
  list.SetFieldName("TWICE");
  armed = true;
  EXPECT_THROW(list.GetValues(), EDatabaseError);
  armed = false;
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(ds.FieldByName("ID")->AsInteger(), 5);
  EXPECT_TRUE(list.NeedsRefresh());
  EXPECT_EQ(list.GetValues()->Count(), 40);
}

TEST_F(FieldListsTest, PlatformHelpersForwardToTheirCalls) {
  ds_->First();
  const TBookmark first = ds_->GetBookmark();
  ds_->Last();
  const TBookmark last = ds_->GetBookmark();
  EXPECT_EQ(DataSetCompareBookmarks(ds_.get(), first, first), 0);
  EXPECT_LT(DataSetCompareBookmarks(ds_.get(), first, last), 0);
  EXPECT_TRUE(DataSetBookmarkValid(ds_.get(), first));

  int local = 0;
  EXPECT_EQ(reinterpret_cast<int*>(PointerToInt(&local)), &local);  // no 32-bit cut
  EXPECT_EQ(AnsiCompareTextEh("ёлка", "ЁЛКА"), 0);
  EXPECT_LT(AnsiCompareStrEh("а", "б"), 0);
  EXPECT_EQ(AnsiUpperCaseEh("щука"), "ЩУКА");
  EXPECT_EQ(AnsiLowerCaseEh("ЩУКА"), "щука");
  TRect r = Rect(1, 2, 3, 4), copy;
  AssignRect(r, copy);
  EXPECT_EQ(copy, r);
  ClearRectEh(copy);
  EXPECT_EQ(copy, TRect{});
  TBitmap b;
  b.SetSize(10, 10);
  HDC dc = b.Canvas()->Handle();
  SetViewportOrgEx(dc, 5, 7, nullptr);
  ASSERT_TRUE(WindowsLPtoDP(dc, r));
  EXPECT_EQ(r, Rect(6, 9, 8, 11));
  SetViewportOrgEx(dc, 0, 0, nullptr);
  Variant v = VarArrayCreate({0, 1}, varVariant);
  RedimVariantArray(v, 4);
  EXPECT_EQ(VarArrayHighBound(v, 1), 4);
}

TEST_F(FieldListsTest, MasterDataSetComesFromAClassProperty) {
  TDetailMemDataSetClass registered;
  auto detail = std::make_unique<TDetailMemDataSet>(nullptr);
  TDataSource source(nullptr);
  source.SetDataSet(ds_.get());
  const TPropInfo* prop = GetPropInfo(detail.get(), "MasterSource");
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(GetMasterDataSource(detail.get(), prop), nullptr);
  detail->SetMasterSource(&source);
  EXPECT_EQ(GetMasterDataSource(detail.get(), prop), ds_.get());
  EXPECT_EQ(GetMasterDataSource(detail.get(), nullptr), nullptr);
  EXPECT_EQ(GetMasterDataSource(detail.get(), GetPropInfo(detail.get(), "Name")), nullptr);
}

}  // namespace
