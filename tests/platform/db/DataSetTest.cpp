// The dataset protocol: opening, the buffer window, navigation and bookmarks.
#include "tests/platform/db/DbFixture.h"

namespace {

// IDs of the records in a link's window, in order.
std::vector<int> WindowIds(TDataSet* ds, TDataLink* link) {
  std::vector<int> ids;
  int saved = link->ActiveRecord();
  for (int i = 0; i < link->RecordCount(); ++i) {
    link->SetActiveRecord(i);
    ids.push_back(ds->FieldByName("ID")->AsInteger());
  }
  link->SetActiveRecord(saved);
  return ids;
}

TEST(DataSetOpenTest, OpenCloseEventsAndDefaultFields) {
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("ID", ftInteger);
  ds.FieldDefs()->Add("NAME", ftString, 10);
  Log events;
  ds.SetBeforeOpen([&](TDataSet* d) { events.push_back(d->Active() ? "BeforeOpen(active)" : "BeforeOpen"); });
  ds.SetAfterOpen([&](TDataSet* d) { events.push_back(d->Active() ? "AfterOpen(active)" : "AfterOpen"); });
  ds.SetBeforeClose([&](TDataSet*) { events.push_back("BeforeClose"); });
  ds.SetAfterClose([&](TDataSet* d) { events.push_back(d->Active() ? "AfterClose(active)" : "AfterClose"); });
  ds.SetAfterScroll([&](TDataSet*) { events.push_back("AfterScroll"); });

  ds.Open();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_TRUE(ds.DefaultFields());
  ASSERT_EQ(ds.FieldCount(), 2);
  EXPECT_EQ(ds.Fields()->Fields(1)->ClassName(), "TStringField");
  EXPECT_EQ(ds.Fields()->Fields(1)->Size(), 10);
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof() && ds.Eof());
  ds.Close();
  EXPECT_EQ(ds.State(), dsInactive);
  // Default fields go with the cursor.
  EXPECT_EQ(ds.FieldCount(), 0);
  // An empty dataset opens without AfterScroll.
  EXPECT_EQ(events, (Log{"BeforeOpen", "AfterOpen(active)", "BeforeClose", "AfterClose"}));
}

TEST(DataSetOpenTest, FailingOpenLeavesTheDataSetClosed) {
  TMemDataSet ds(nullptr);
  ds.FieldDefs()->Add("ID", ftInteger);
  ds.SetAfterOpen([](TDataSet*) {});
  // A persistent field whose type differs from the definition.
  auto* f = new TStringField(&ds);
  f->SetFieldName("ID");
  f->SetDataSet(&ds);
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 1);  // persistent fields stay
  f->SetFieldName("X");
  EXPECT_THROW(ds.Open(), EDatabaseError);  // "Field 'X' not found"
  EXPECT_FALSE(ds.Active());
}

// A dataset whose open runs a statement that yields no rows.
class TNoCursorDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;

 protected:
  bool IsCursorOpen() override { return false; }
};

TEST(DataSetOpenTest, AnOpenWithoutCursorLeavesTheDataSetInactive) {
  TNoCursorDataSet ds(nullptr);
  ds.FieldDefs()->Add("ID", ftInteger);
  bool afterOpen = false;
  ds.SetAfterOpen([&](TDataSet*) { afterOpen = true; });
  ds.Open();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.State(), dsInactive);
  EXPECT_FALSE(afterOpen);
}

TEST(DataSetOpenTest, OperationsNeedTheRightState) {
  TMemDataSet ds(nullptr);
  ds.SetName("Mem");
  ds.FieldDefs()->Add("ID", ftInteger);
  try {
    ds.Next();
    FAIL() << "Next on a closed dataset";
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Mem: Cannot perform this operation on a closed dataset");
  }
  ds.Open();
  TField* f = ds.FieldByName("ID");
  EXPECT_THROW(f->SetSize(4), EDatabaseError);  // open dataset
  EXPECT_THROW(ds.Delete(), EDatabaseError);    // empty
  EXPECT_THROW(f->SetAsInteger(1), EDatabaseError);  // not editing
  EXPECT_THROW(ds.UpdateRecord(), EDatabaseError);
  try {
    ds.FieldByName("NOPE");
    FAIL();
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Mem: Field 'NOPE' not found");
  }
}

TEST(DataSetWindowTest, FillsTheWindowAndScrollsAcrossItsEdges) {
  TLinkedDataSet w(10, 3);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(w.link.ActiveRecord(), 0);

  // Inside the window no buffer moves.
  EXPECT_EQ(w.ds->MoveBy(2), 2);
  EXPECT_EQ(w.link.ActiveRecord(), 2);
  EXPECT_EQ(w.link.Log, (Log{"CheckBrowseMode", "DataSetScrolled(0)"}));
  // Past the bottom edge the window slides by the records fetched.
  w.link.Log.clear();
  EXPECT_EQ(w.ds->MoveBy(2), 2);
  EXPECT_EQ(w.Id(), 5);
  EXPECT_EQ(w.link.ActiveRecord(), 2);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{3, 4, 5}));
  EXPECT_EQ(w.link.Log, (Log{"CheckBrowseMode", "DataSetScrolled(2)"}));
  // Back over the top edge.
  w.link.Log.clear();
  EXPECT_EQ(w.ds->MoveBy(-4), -4);
  EXPECT_EQ(w.Id(), 1);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(w.link.ActiveRecord(), 0);
  EXPECT_EQ(w.link.Log, (Log{"CheckBrowseMode", "DataSetScrolled(-2)"}));
}

TEST(DataSetWindowTest, MoveByReturnsTheDistanceMovedAndStopsAtTheEnds) {
  struct Case {
    int start, distance, moved, id;
    bool bof, eof;
  };
  const Case cases[] = {
      {1, 3, 3, 4, false, false}, {1, 20, 9, 10, false, true}, {10, 1, 0, 10, false, true},
      {5, -20, -4, 1, true, false}, {1, -1, 0, 1, true, false}, {5, 0, 0, 5, false, false},
  };
  for (const Case& c : cases) {
    TLinkedDataSet w(10, 3);
    w.ds->MoveBy(c.start - 1);
    if (c.start == 10) w.ds->Next();  // onto Eof
    if (c.start == 1) w.ds->First();  // onto Bof
    EXPECT_EQ(w.ds->MoveBy(c.distance), c.moved) << c.start << " by " << c.distance;
    EXPECT_EQ(w.Id(), c.id) << c.start << " by " << c.distance;
    EXPECT_EQ(w.ds->Bof(), c.bof) << c.start << " by " << c.distance;
    EXPECT_EQ(w.ds->Eof(), c.eof) << c.start << " by " << c.distance;
  }
}

TEST(DataSetWindowTest, ReadsOnlyTheRecordsTheWindowNeeds) {
  TLinkedDataSet w(10, 3);
  TMemDataSet* ds = w.ds.get();
  ds->Close();
  ds->TraceCalls = true;
  ds->Open();
  EXPECT_EQ(ds->Trace, (Log{"InternalOpen", "GetRecord(gmNext)=grOK", "GetRecord(gmNext)=grOK",
                            "GetRecord(gmNext)=grOK"}));
  ds->Trace.clear();
  ds->Last();
  EXPECT_EQ(ds->Trace, (Log{"InternalLast", "GetRecord(gmPrior)=grOK", "GetRecord(gmPrior)=grOK",
                            "GetRecord(gmPrior)=grOK"}));
  // Moving inside the window reads nothing; past its edge, one record.
  ds->Trace.clear();
  ds->MoveBy(-2);
  EXPECT_TRUE(ds->Trace.empty());
  ds->Prior();
  EXPECT_EQ(ds->Trace, (Log{"GetRecord(gmPrior)=grOK"}));
}

TEST(DataSetWindowTest, FirstLastAndTheEndFlags) {
  TLinkedDataSet w(5, 2);
  w.ds->Last();
  EXPECT_TRUE(w.ds->Eof());
  EXPECT_FALSE(w.ds->Bof());
  EXPECT_EQ(w.Id(), 5);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{4, 5}));
  w.ds->Prior();
  EXPECT_FALSE(w.ds->Eof());
  EXPECT_EQ(w.Id(), 4);
  w.ds->First();
  EXPECT_TRUE(w.ds->Bof());
  EXPECT_EQ(w.Id(), 1);
  w.ds->Next();
  EXPECT_FALSE(w.ds->Bof());

  // Walking forward visits every record once and ends on Eof.
  std::vector<int> seen;
  for (w.ds->First(); !w.ds->Eof(); w.ds->Next()) seen.push_back(w.Id());
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
  seen.clear();
  for (w.ds->Last(); !w.ds->Bof(); w.ds->Prior()) seen.push_back(w.Id());
  EXPECT_EQ(seen, (std::vector<int>{5, 4, 3, 2, 1}));
}

TEST(DataSetWindowTest, EmptyDataSetIsBofAndEof) {
  auto ds = MakeDataSet(0);
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Bof());
  EXPECT_TRUE(ds->Eof());
  EXPECT_EQ(ds->MoveBy(1), 0);
  EXPECT_EQ(ds->MoveBy(-1), 0);
  ds->Last();
  EXPECT_TRUE(ds->Bof() && ds->Eof());
  EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
  EXPECT_EQ(ds->GetBookmark(), TBookmark());
}

TEST(DataSetWindowTest, ShrinkingTheBufferCountKeepsTheActiveRecord) {
  TLinkedDataSet w(10, 5);
  w.ds->MoveBy(4);  // record 5, bottom of the window
  w.link.SetBufferCount(2);
  EXPECT_EQ(w.Id(), 5);
  EXPECT_EQ(w.link.RecordCount(), 2);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{4, 5}));
  w.link.SetBufferCount(4);
  EXPECT_EQ(w.Id(), 5);
  EXPECT_EQ(w.link.RecordCount(), 4);
}

TEST(DataSetWindowTest, ActiveRecordOutsideTheWindowIsRefused) {
  TLinkedDataSet w(3, 3);
  EXPECT_THROW(w.link.SetActiveRecord(3), EListError);
  EXPECT_THROW(w.link.SetActiveRecord(-1), EListError);
  EXPECT_EQ(w.link.ActiveRecord(), 0);
}

TEST(DataSetBookmarkTest, GetGotoAndValidity) {
  TLinkedDataSet w(10, 3);
  w.ds->MoveBy(6);
  TBookmark b = w.ds->GetBookmark();
  ASSERT_EQ(static_cast<int>(b.size()), w.ds->BookmarkSize());
  EXPECT_TRUE(w.ds->BookmarkValid(b));
  w.ds->First();
  Log scrolls;
  w.ds->SetBeforeScroll([&](TDataSet*) { scrolls.push_back("Before"); });
  w.ds->SetAfterScroll([&](TDataSet*) { scrolls.push_back("After"); });
  w.ds->GotoBookmark(b);
  EXPECT_EQ(w.Id(), 7);
  EXPECT_EQ(scrolls, (Log{"Before", "After"}));
  // Centred in the window.
  EXPECT_EQ(w.link.ActiveRecord(), 1);
  EXPECT_EQ(w.ds->Bookmark(), b);

  TBookmark first;
  w.ds->First();
  first = w.ds->GetBookmark();
  EXPECT_LT(w.ds->CompareBookmarks(first, b), 0);
  EXPECT_GT(w.ds->CompareBookmarks(b, first), 0);
  EXPECT_EQ(w.ds->CompareBookmarks(b, b), 0);

  // A deleted record's bookmark is no longer valid; going there fails.
  w.ds->GotoBookmark(b);
  w.ds->Delete();
  EXPECT_FALSE(w.ds->BookmarkValid(b));
  EXPECT_THROW(w.ds->GotoBookmark(b), EDatabaseError);
  // A byte string shorter than a bookmark is refused before it is read.
  EXPECT_THROW(w.ds->GotoBookmark("x"), EDatabaseError);
  w.ds->FreeBookmark(b);
  EXPECT_TRUE(b.empty());
}

TEST(DataSetBookmarkTest, ResyncCentresOrKeepsThePosition) {
  TLinkedDataSet w(10, 5);
  w.ds->MoveBy(7);  // record 8 at the bottom (window 4..8)
  ASSERT_EQ(w.link.ActiveRecord(), 4);
  w.link.Log.clear();
  // Resync reads the record under the descendant's cursor.
  w.ds->UpdateCursorPos();
  w.ds->Resync({});
  EXPECT_EQ(w.Id(), 8);
  EXPECT_EQ(w.link.ActiveRecord(), 4);
  EXPECT_EQ(w.link.Log, (Log{"DataSetChanged"}));
  w.ds->UpdateCursorPos();
  w.ds->Resync({rmExact, rmCenter});
  EXPECT_EQ(w.Id(), 8);
  EXPECT_EQ(w.link.ActiveRecord(), 2);
  EXPECT_EQ(WindowIds(w.ds.get(), &w.link), (std::vector<int>{6, 7, 8, 9, 10}));
}

TEST(DataSetBookmarkTest, RefreshKeepsTheRecordAndFiresItsEvents) {
  TLinkedDataSet w(5, 3);
  w.ds->MoveBy(2);
  w.link.Log.clear();
  Log events;
  w.ds->SetBeforeRefresh([&](TDataSet*) { events.push_back("BeforeRefresh"); });
  w.ds->SetAfterRefresh([&](TDataSet*) { events.push_back("AfterRefresh"); });
  w.ds->Refresh();
  EXPECT_EQ(w.Id(), 3);
  EXPECT_EQ(events, (Log{"BeforeRefresh", "AfterRefresh"}));
  EXPECT_EQ(w.link.Log, (Log{"CheckBrowseMode", "DataSetChanged"}));
}

TEST(DataSetControlsTest, DisabledControlsGetOneChangeAtTheEnd) {
  TLinkedDataSet w(10, 3);
  w.ds->DisableControls();
  EXPECT_TRUE(w.ds->ControlsDisabled());
  w.ds->DisableControls();
  w.ds->Next();
  w.ds->Last();
  w.ds->EnableControls();
  EXPECT_TRUE(w.link.Log.empty());
  w.ds->EnableControls();
  EXPECT_FALSE(w.ds->ControlsDisabled());
  EXPECT_EQ(w.link.Log, (Log{"DataSetChanged"}));
  EXPECT_EQ(w.link.ActiveRecordSeen, 2);

  // A state change while disabled reaches the links as a disabled-state
  // event and is followed by a layout change.
  w.link.Log.clear();
  w.ds->DisableControls();
  w.ds->Edit();
  w.ds->Cancel();
  w.ds->Close();
  w.ds->Open();
  w.ds->EnableControls();
  EXPECT_EQ(w.link.Log.back(), "LayoutChanged");
}

TEST(DataSetControlsTest, TempStateHidesEventsAndRestores) {
  struct Probe : TMemDataSet {
    using TMemDataSet::RestoreState;
    using TMemDataSet::SetTempState;
    using TMemDataSet::TMemDataSet;
  } ds(nullptr);
  ds.FieldDefs()->Add("NAME", ftString, 10);
  ds.Open();
  ds.AppendRows({{"n1"}});
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("x");
  ASSERT_TRUE(ds.Modified());
  TDataSetState saved = ds.SetTempState(dsCalcFields);
  EXPECT_EQ(ds.State(), dsCalcFields);
  EXPECT_TRUE(ds.ControlsDisabled());
  ds.RestoreState(saved);
  EXPECT_EQ(ds.State(), dsEdit);
  EXPECT_FALSE(ds.ControlsDisabled());
  // Reading an old value (a temporary state) keeps the pending edit.
  EXPECT_EQ(ds.FieldByName("NAME")->OldValue().AsString(), "n1");
  EXPECT_TRUE(ds.Modified());
  ds.CheckBrowseMode();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "x");
}

TEST(DataSetControlsTest, RecNoAndRecordCount) {
  TLinkedDataSet w(6, 3);
  EXPECT_EQ(w.ds->RecordCount(), 6);
  EXPECT_EQ(w.ds->RecNo(), 1);
  w.ds->SetRecNo(5);
  EXPECT_EQ(w.Id(), 5);
  EXPECT_EQ(w.ds->RecNo(), 5);
  EXPECT_TRUE(w.ds->IsSequenced());
}

TEST(DataSetLifeTest, FreeingADataSetDetachesSourcesAndFields) {
  auto* ds = new TMemDataSet(nullptr);
  ds->FieldDefs()->Add("ID", ftInteger);
  auto* field = new TIntegerField(ds);
  field->SetFieldName("ID");
  field->SetDataSet(ds);
  TDataSource src(nullptr);
  src.SetDataSet(ds);
  TRecordingLink link;
  link.SetDataSource(&src);
  ds->Open();
  EXPECT_TRUE(link.Active());
  delete ds;  // also frees its field
  EXPECT_EQ(src.DataSet(), nullptr);
  EXPECT_EQ(src.State(), dsInactive);
  EXPECT_FALSE(link.Active());
  link.SetDataSource(nullptr);
}

TEST(DataSetLifeTest, FreeingAFieldRemovesItAndClosesTheDataSet) {
  auto ds = MakeDataSet(2);
  TField* f = ds->FieldByName("NAME");
  delete f;
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(ds->FindField("NAME"), nullptr);
}

}  // namespace
