// The grid's keyboard, incremental search and vertical scroll bar over a
// Firebird dataset of 10 000 rows, input sent as window messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "platform/gui/GuiInternal.h"
#include "platform/gui/ScrollBars.h"
#include "platform/rtl/Actions.h"
#include "platform/rtl/Locale.h"
#include "tests/grid/datagrid/GridFirebirdFixture.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

constexpr int kRows = 10000;

// Holds a modifier key down for the messages sent meanwhile.
class THeld {
 public:
  explicit THeld(std::vector<Word> Keys) : keys_(std::move(Keys)) {
    for (Word k : keys_) SetKeyDown(k, true);
  }
  ~THeld() {
    for (Word k : keys_) SetKeyDown(k, false);
  }

 private:
  std::vector<Word> keys_;
};

class KeysTest : public TGridFirebirdTest<KeysTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table KEYS_T (ID integer not null primary key, NAME varchar(30))",
        "execute block as declare i integer = 1; begin while (i <= 10000) do begin "
        "insert into KEYS_T values (:i, 'row ' || :i); i = i + 1; end end",
        "update KEYS_T set NAME = 'Abacus' where ID = 5000",
        "update KEYS_T set NAME = 'Абрикос' where ID = 7000",
        "update KEYS_T set NAME = 'Абажур' where ID = 7001",
        "update KEYS_T set NAME = 'абрикосовый' where ID = 8000",
        "update KEYS_T set NAME = 'Zebra' where ID = 9000",
    };
  }

 protected:
  void SetUp() override {
    previous_clock_ = SetTimerService(&clock_);
    SetUpGrid("select ID, NAME from KEYS_T order by ID");
    ds_->InsertSQL()->SetText("insert into KEYS_T (ID, NAME) values (?ID, ?NAME)");
    ds_->UpdateSQL()->SetText("update KEYS_T set NAME = ?NAME where ID = ?OLD_ID");
    ds_->DeleteSQL()->SetText("delete from KEYS_T where ID = ?OLD_ID");
    ds_->SetAutoCommit(true);
  }
  void TearDown() override {
    TGridFirebirdTest::TearDown();
    SetTimerService(previous_clock_ == &clock_ ? nullptr : previous_clock_);
  }

  void Key(Word VK, std::vector<Word> Held = {}) {
    THeld held(std::move(Held));
    grid_->Perform(WM_KEYDOWN, VK, 0);
  }
  void Type(const String& Text) {
    for (char16_t ch : Utf8ToWide(Text)) grid_->Perform(WM_CHAR, ch, 0);
  }
  void VScroll(Word Code, int Pos = 0) { grid_->Perform(WM_VSCROLL, MAKEWPARAM(Code, Pos), 0); }
  int Id() const { return ds_->FieldByName("ID")->AsInteger(); }
  SCROLLINFO Bar() const {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    EXPECT_TRUE(GetScrollInfo(grid_->Handle(), SB_VERT, si));
    return si;
  }
  void SearchOnNames() {
    grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghIncSearch});
    grid_->SetReadOnly(true);
    ds_->Open();
    grid_->SetSelectedIndex(1);
  }

  TManualTimerService clock_;
  TTimerService* previous_clock_ = nullptr;
};

TEST_F(KeysTest, IncrementalSearchMatchesWholeCharactersInEitherCase) {
  SearchOnNames();
  Type("aB");
  EXPECT_TRUE(grid_->IncSearching());
  EXPECT_EQ(Id(), 5000);
  EXPECT_EQ(grid_->InplaceSearchText(), "aB");

  // The search ends 1500 ms after the last key; the next letter starts anew.
  clock_.Advance(1499);
  EXPECT_TRUE(grid_->IncSearching());
  clock_.Advance(1);
  EXPECT_FALSE(grid_->IncSearching());
  EXPECT_EQ(grid_->InplaceSearchText(), "");

  Type("аБа");  // Cyrillic, other case than stored
  EXPECT_EQ(Id(), 7001);
  EXPECT_EQ(grid_->InplaceSearchText(), "аБа");
  Key(VK_BACK);  // one letter, two bytes
  EXPECT_EQ(grid_->InplaceSearchText(), "аБ");
  EXPECT_EQ(Id(), 7001);
  Type("р");
  EXPECT_EQ(Id(), 7000);

  // No match: the grid stays on the record, in the same row, and the text
  // is kept.
  const int row = grid_->Row();
  Type("я");
  EXPECT_EQ(Id(), 7000);
  EXPECT_EQ(grid_->Row(), row);
  EXPECT_EQ(grid_->InplaceSearchText(), "аБр");

  // Next and previous matches; none further keeps the record.
  Key(VK_RETURN, {VK_CONTROL});
  EXPECT_EQ(Id(), 8000);
  Key(VK_RETURN, {VK_CONTROL});
  EXPECT_EQ(Id(), 8000);
  Key(VK_RETURN, {VK_CONTROL, VK_SHIFT});
  EXPECT_EQ(Id(), 7000);

  // Backspace down to nothing leaves an empty search running; Escape ends it.
  for (int i = 0; i < 4; ++i) Key(VK_BACK);
  EXPECT_TRUE(grid_->IncSearching());
  EXPECT_EQ(grid_->InplaceSearchText(), "");
  Key(VK_ESCAPE);
  EXPECT_FALSE(grid_->IncSearching());

  // A record change from outside ends a search too.
  Type("z");
  EXPECT_EQ(Id(), 9000);
  ds_->First();
  EXPECT_FALSE(grid_->IncSearching());
}

TEST_F(KeysTest, TypingEditsInsteadOfSearchingInAnEditableColumn) {
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghIncSearch});
  ds_->Open();
  grid_->SetSelectedIndex(1);
  Type("Z");
  EXPECT_FALSE(grid_->IncSearching());
  EXPECT_EQ(Id(), 1);
}

// Key presses to the record reached, in both cache models.
class KeysCacheTest : public KeysTest, public ::testing::WithParamInterface<TCacheModelKind> {};

TEST_P(KeysCacheTest, NavigationKeysReachTheirRecords) {
  ds_->CacheModelOptions()->SetCacheModelKind(GetParam());
  grid_->SetReadOnly(true);
  ds_->Open();
  const int page = grid_->VisibleDataRowCount();
  ASSERT_GT(page, 3);
  ASSERT_EQ(grid_->DataLink()->RecordCount(), page);
  const struct {
    Word key;
    std::vector<Word> held;
    int id;
  } steps[] = {
      {VK_NEXT, {}, 1 + page},
      {VK_NEXT, {}, 1 + 2 * page},
      {VK_PRIOR, {}, 1 + page},
      {VK_END, {VK_CONTROL}, kRows},
      {VK_DOWN, {}, kRows},  // read-only: no new record
      {VK_UP, {VK_CONTROL}, kRows - page + 1},
      {VK_PRIOR, {}, kRows - 2 * page + 1},
      {VK_HOME, {VK_CONTROL}, 1},
      {VK_UP, {}, 1},
      {VK_NEXT, {VK_CONTROL}, page},
      {VK_DOWN, {VK_CONTROL}, page},
      {VK_PRIOR, {VK_CONTROL}, 1},
      {VK_DOWN, {}, 2},
  };
  for (const auto& s : steps) {
    Key(s.key, s.held);
    EXPECT_EQ(Id(), s.id) << "key " << s.key << " with " << s.held.size() << " held";
    EXPECT_EQ(grid_->Row(), grid_->TitleOffset() + grid_->DataLink()->ActiveRecord());
  }
  // Home and End move between columns when there are several.
  Key(VK_END);
  EXPECT_EQ(grid_->Col(), grid_->ColCount() - 1);
  Key(VK_HOME);
  EXPECT_EQ(grid_->Col(), grid_->IndicatorOffset());
  EXPECT_EQ(Id(), 2);
}

INSTANTIATE_TEST_SUITE_P(CacheModels, KeysCacheTest, ::testing::Values(cmkStandard, cmkLimitedBufferSize));

TEST_F(KeysTest, EnterAsTabWrapsToTheNextRow) {
  grid_->SetOptionsEh(grid_->OptionsEh() + TDBGridEhOptions{dghEnterAsTab});
  ds_->Open();
  grid_->SetSelectedIndex(1);
  Key(VK_RETURN);
  EXPECT_EQ(grid_->SelectedIndex(), 0);
  EXPECT_EQ(Id(), 2);
  Key(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(grid_->SelectedIndex(), 1);
  EXPECT_EQ(Id(), 1);
}

TEST_F(KeysTest, DownOnTheLastRecordAppendsOnlyWhenAllowed) {
  const struct {
    bool editing, append, read_only;
    bool appends;
  } cases[] = {
      {true, true, false, true},
      {false, true, false, false},
      {true, false, false, false},
      {true, true, true, false},
  };
  for (const auto& c : cases) {
    TDBGridOptions o = grid_->Options();
    if (c.editing) o.Include(dgEditing);
    else o.Exclude(dgEditing);
    grid_->SetOptions(o);
    TDBGridEhAllowedOperations ops{alopInsertEh, alopUpdateEh, alopDeleteEh};
    if (c.append) ops.Include(alopAppendEh);
    grid_->SetAllowedOperations(ops);
    grid_->SetReadOnly(c.read_only);
    ds_->Open();
    Key(VK_END, {VK_CONTROL});
    Key(VK_DOWN);
    EXPECT_EQ(ds_->State() == dsInsert, c.appends) << c.editing << c.append << c.read_only;
    // An untouched new record goes away with the next Down.
    Key(VK_DOWN);
    EXPECT_EQ(ds_->State(), dsBrowse);
    EXPECT_EQ(Id(), kRows);
    ds_->Close();
  }
  EXPECT_EQ(file_->QueryValue("select count(*) from KEYS_T"), std::to_string(kRows));
}

TEST_F(KeysTest, UpFromTheFirstRecordOpensTheFilterRowAndCtrlUpStaysAMove) {
  grid_->STFilter()->SetVisible(true);
  ds_->Open();
  ds_->MoveBy(4);
  Key(VK_UP, {VK_CONTROL});
  EXPECT_EQ(Id(), 1);
  EXPECT_FALSE(grid_->CanEditFilter());
  Key(VK_DOWN);
  Key(VK_UP);
  EXPECT_EQ(Id(), 1);
  EXPECT_FALSE(grid_->CanEditFilter());
  Key(VK_UP);
  EXPECT_EQ(Id(), 1);
  EXPECT_TRUE(grid_->CanEditFilter());
}

TEST_F(KeysTest, PendingSortMarkingIsAppliedOnceAtCtrlRelease) {
  ds_->Open();
  int fired = 0;
  grid_->SetOnSortMarkingChanged([&fired](TObject*) { ++fired; });
  grid_->SetSortMarkingPending(true);
  grid_->Perform(WM_KEYUP, VK_SHIFT, 0);
  EXPECT_EQ(fired, 0);
  grid_->Perform(WM_KEYUP, VK_CONTROL, 0);
  grid_->Perform(WM_KEYUP, VK_CONTROL, 0);
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(grid_->SortMarkingPending());
}

TEST_F(KeysTest, CtrlDeleteRemovesTheCurrentRecord) {
  grid_->SetOptions(grid_->Options() - TDBGridOptions{dgConfirmDelete});
  ds_->Open();
  ds_->MoveBy(9);
  ASSERT_EQ(Id(), 10);
  grid_->SetReadOnly(true);
  Key(VK_DELETE, {VK_CONTROL});
  EXPECT_EQ(Id(), 10);
  grid_->SetReadOnly(false);
  Key(VK_DELETE, {VK_CONTROL});
  EXPECT_EQ(Id(), 11);
  EXPECT_EQ(file_->QueryValue("select count(*) from KEYS_T where ID = 10"), "0");
  file_->Exec("insert into KEYS_T values (10, 'row 10')");  // the suite keeps its table
}

// A partly fetched dataset knows no record numbers: the five-position scale
// until the last row is fetched.
TEST_F(KeysTest, PartlyFetchedDatasetCountsRecordsOnceAllAreFetched) {
  ds_->Open();
  SCROLLINFO si = Bar();
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPos, 0);
  VScroll(SB_PAGEDOWN);
  EXPECT_EQ(Bar().nPos, 2);
  VScroll(SB_BOTTOM);
  EXPECT_EQ(Id(), kRows);
  si = Bar();
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nPos, kRows);
}

// The limited cache model never knows record numbers.
TEST_F(KeysTest, FivePositionBarFollowsTheEndsAndNeverJumpsWhileTracking) {
  ds_->CacheModelOptions()->SetCacheModelKind(cmkLimitedBufferSize);
  ds_->Open();
  const int page = grid_->VisibleDataRowCount();
  SCROLLINFO si = Bar();
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 4);
  EXPECT_EQ(si.nPos, 0);
  VScroll(SB_PAGEDOWN);
  EXPECT_EQ(Id(), 1 + page);
  EXPECT_EQ(Bar().nPos, 2);
  VScroll(SB_BOTTOM);
  EXPECT_EQ(Id(), kRows);
  EXPECT_EQ(Bar().nPos, 4);
  VScroll(SB_TOP);
  EXPECT_EQ(Bar().nPos, 0);

  // Without Tracking a drag changes nothing until the release.
  ds_->MoveBy(56);
  VScroll(SB_THUMBTRACK, 4);
  EXPECT_EQ(Id(), 57);
  VScroll(SB_THUMBPOSITION, 2);  // released in the middle: nothing
  EXPECT_EQ(Id(), 57);

  grid_->VertScrollBar()->SetTracking(true);
  for (int i = 0; i < 3; ++i) VScroll(SB_THUMBTRACK, 2);
  EXPECT_EQ(Id(), 57);
  for (int i = 0; i < 3; ++i) VScroll(SB_THUMBTRACK, 1);
  EXPECT_EQ(Id(), 57 - page);
  VScroll(SB_THUMBTRACK, 3);
  EXPECT_EQ(Id(), 57);
  VScroll(SB_THUMBTRACK, 4);
  EXPECT_EQ(Id(), kRows);
  VScroll(SB_THUMBPOSITION, 4);  // the drag already moved
  VScroll(SB_ENDSCROLL);
  EXPECT_EQ(Id(), kRows);
  VScroll(SB_THUMBTRACK, 0);
  EXPECT_EQ(Id(), 1);
  EXPECT_EQ(Bar().nPos, 0);
}

TEST_F(KeysTest, RecordNumberBarWhenTheCountIsKnown) {
  ds_->SetPrepareOptions(ds_->PrepareOptions() + TpPrepareOptions{psAskRecordCount});
  ds_->Open();
  const int page = grid_->VisibleDataRowCount();
  SCROLLINFO si = Bar();
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nMax, kRows + page - 1);
  EXPECT_EQ(si.nPos, 1);
  VScroll(SB_THUMBPOSITION, 5000);
  EXPECT_EQ(Id(), 5000);
  EXPECT_EQ(Bar().nPos, 5000);
  VScroll(SB_LINEDOWN);
  EXPECT_GT(Id(), 5000);
  grid_->VertScrollBar()->SetTracking(true);
  VScroll(SB_THUMBTRACK, 300);
  EXPECT_EQ(Id(), 300);
  VScroll(SB_THUMBPOSITION, 300);
  EXPECT_EQ(Id(), 300);
}

TEST_F(KeysTest, ExternalBarDrivesTheGridAndDetachesEitherWay) {
  auto* bar = new TScrollBar(form_);
  bar->SetName("VBar");
  bar->SetKind(sbVertical);
  bar->SetParent(form_);
  grid_->VertScrollBar()->SetExtScrollBar(bar);
  ds_->Open();
  EXPECT_EQ(bar->Max(), 4);
  EXPECT_EQ(bar->Position(), 0);
  SCROLLINFO si;
  si.fMask = SIF_RANGE;
  if (GetScrollInfo(grid_->Handle(), SB_VERT, si)) {
    EXPECT_EQ(si.nMax, si.nMin);  // nothing on the window bar
  }
  bar->Perform(CN_VSCROLL, MAKEWPARAM(SB_BOTTOM, 0), 0);
  EXPECT_EQ(Id(), kRows);
  EXPECT_EQ(bar->Position(), kRows);  // all fetched: record numbers
  EXPECT_EQ(bar->Max(), kRows + grid_->VisibleDataRowCount() - 1);

  // A bar already hooked cannot go to a second grid.
  auto* other = new TCustomDBGridEh(form_);
  try {
    other->VertScrollBar()->SetExtScrollBar(bar);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Possible VBar already attached to the other control.");
  }
  EXPECT_EQ(other->VertScrollBar()->ExtScrollBar(), nullptr);

  // The bar freed first, then a new one outliving its grid.
  delete bar;
  EXPECT_EQ(grid_->VertScrollBar()->ExtScrollBar(), nullptr);
  auto* bar2 = new TScrollBar(form_);
  other->VertScrollBar()->SetExtScrollBar(bar2);
  EXPECT_TRUE(bar2->WindowProcReplaced());
  delete other;
  EXPECT_FALSE(bar2->WindowProcReplaced());
  bar2->Perform(CN_VSCROLL, MAKEWPARAM(SB_TOP, 0), 0);
}

TEST_F(KeysTest, ExternalHorizontalBarCountsColumnsOnItsScale) {
  auto* bar = new TScrollBar(form_);
  bar->SetParent(form_);
  grid_->HorzScrollBar()->SetExtScrollBar(bar);
  ds_->Open();
  grid_->SetWidth(grid_->ColWidths(0) + grid_->ColWidths(1) + 20);  // the last column no longer fits
  grid_->Perform(WM_HSCROLL, MAKEWPARAM(SB_LINERIGHT, 0), 0);
  ASSERT_EQ(bar->Max(), 127);
  EXPECT_EQ(grid_->LeftCol(), grid_->FixedCols() + 1);
  EXPECT_EQ(bar->Position(), 127);
  bar->Perform(CN_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 0), 0);
  EXPECT_EQ(grid_->LeftCol(), grid_->FixedCols());
  EXPECT_EQ(bar->Position(), 0);
  bar->Perform(CN_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 127), 0);
  EXPECT_EQ(grid_->LeftCol(), grid_->FixedCols() + 1);
}

TEST_F(KeysTest, AlwaysShownBarIsDisabledWhenEverythingFits) {
  ds_->SelectSQL()->SetText("select ID, NAME from KEYS_T where ID <= 3 order by ID");
  grid_->VertScrollBar()->SetVisibleMode(sbAlwaysShowEh);
  ds_->Open();
  VScroll(SB_BOTTOM);
  EXPECT_TRUE(grid_->VertScrollBar()->IsShowing());
  EXPECT_FALSE(EnableScrollBar(grid_->Handle(), SB_VERT, ESB_DISABLE_BOTH));  // already disabled
  grid_->VertScrollBar()->SetVisibleMode(sbAutoShowEh);
  EXPECT_FALSE(grid_->VertScrollBar()->IsShowing());
  grid_->VertScrollBar()->SetVisibleMode(sbAlwaysShowEh);
  EXPECT_TRUE(grid_->VertScrollBar()->IsShowing());
  grid_->VertScrollBar()->SetVisibleMode(sbNeverShowEh);
  EXPECT_FALSE(grid_->VertScrollBar()->IsShowing());
  EXPECT_EQ(Id(), 3);
}

TEST_F(KeysTest, EditActionsRunTheirOwnOperation) {
  ds_->Open();
  ASSERT_TRUE(ShowWithFocusIn(form_, grid_));
  TEditSelectAll select_all(nullptr);
  TEditCopy copy(nullptr);
  grid_->SetEditActions({geaPasteEh, geaSelectAllEh});
  EXPECT_TRUE(grid_->UpdateAction(&select_all));
  EXPECT_TRUE(select_all.Enabled());
  // Copy is not enabled: the action is not the grid's, whatever else is.
  EXPECT_FALSE(grid_->ExecuteAction(&copy));
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstNon);
  EXPECT_TRUE(grid_->ExecuteAction(&select_all));
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstAll);
  grid_->Selection()->Clear();
  grid_->SetEditActions({geaSelectAllEh});
  Key('A', {VK_CONTROL});
  EXPECT_EQ(grid_->Selection()->SelectionType(), gstAll);
}

}  // namespace
