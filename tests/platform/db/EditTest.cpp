// Editing: insert, append, edit, post, cancel, delete and the error loops.
#include "tests/platform/db/DbFixture.h"

namespace {

std::vector<int> AllIds(TDataSet* ds) {
  std::vector<int> ids;
  for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
  return ids;
}

// Records every Before/After/On event of a dataset.
void Record(TDataSet* ds, Log& log) {
  auto rec = [&log](const char* name) { return TDataSetNotifyEvent([&log, name](TDataSet*) { log.push_back(name); }); };
  ds->SetBeforeInsert(rec("BeforeInsert"));
  ds->SetAfterInsert(rec("AfterInsert"));
  ds->SetBeforeEdit(rec("BeforeEdit"));
  ds->SetAfterEdit(rec("AfterEdit"));
  ds->SetBeforePost(rec("BeforePost"));
  ds->SetAfterPost(rec("AfterPost"));
  ds->SetBeforeCancel(rec("BeforeCancel"));
  ds->SetAfterCancel(rec("AfterCancel"));
  ds->SetBeforeDelete(rec("BeforeDelete"));
  ds->SetAfterDelete(rec("AfterDelete"));
  ds->SetBeforeScroll(rec("BeforeScroll"));
  ds->SetAfterScroll(rec("AfterScroll"));
  ds->SetOnNewRecord(rec("OnNewRecord"));
}

TEST(EditTest, AppendInsertAndTheirPlaces) {
  auto ds = MakeDataSet(3);
  Log log;
  Record(ds.get(), log);
  ds->MoveBy(1);  // record 2
  log.clear();
  ds->Insert();
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
  EXPECT_EQ(log, (Log{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll"}));
  ds->FieldByName("ID")->SetAsInteger(10);
  log.clear();
  ds->Post();
  EXPECT_EQ(log, (Log{"BeforePost", "AfterPost"}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 10);
  EXPECT_EQ(AllIds(ds.get()), (std::vector<int>{1, 10, 2, 3}));

  ds->First();
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(20);
  ds->Post();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 20);
  EXPECT_TRUE(ds->Eof() == false);
  EXPECT_EQ(AllIds(ds.get()), (std::vector<int>{1, 10, 2, 3, 20}));

  // Insert and Edit on an empty dataset both insert.
  auto empty = MakeDataSet(0);
  empty->Edit();
  EXPECT_EQ(empty->State(), dsInsert);
  empty->FieldByName("ID")->SetAsInteger(7);
  empty->Post();
  EXPECT_EQ(AllIds(empty.get()), (std::vector<int>{7}));
}

TEST(EditTest, EditPostCancelAndCheckBrowseMode) {
  auto ds = MakeDataSet(2);
  Log log;
  Record(ds.get(), log);
  TField* name = ds->FieldByName("NAME");
  ds->Edit();
  EXPECT_EQ(ds->State(), dsEdit);
  EXPECT_FALSE(ds->Modified());
  name->SetAsString("changed");
  EXPECT_TRUE(ds->Modified());
  ds->Cancel();
  EXPECT_EQ(name->AsString(), "n1");
  EXPECT_EQ(log, (Log{"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel"}));

  // A modified record is posted by moving on, an unmodified one cancelled.
  ds->Edit();
  name->SetAsString("kept");
  ds->Next();
  ds->First();
  EXPECT_EQ(name->AsString(), "kept");
  log.clear();
  ds->Edit();
  ds->Next();
  EXPECT_EQ(log, (Log{"BeforeEdit", "AfterEdit", "BeforeCancel", "AfterCancel", "BeforeScroll", "AfterScroll"}));

  // Cancelling an insert scrolls back to where it was.
  ds->First();
  log.clear();
  ds->Insert();
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  EXPECT_EQ(log, (Log{"BeforeInsert", "BeforeScroll", "OnNewRecord", "AfterInsert", "AfterScroll", "BeforeCancel",
                      "BeforeScroll", "AfterCancel", "AfterScroll"}));
}

TEST(EditTest, CancellingAnAppendOnAnEmptyDataSetLeavesItEmpty) {
  auto ds = MakeDataSet(0);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(1);
  ds->Cancel();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_TRUE(ds->Bof() && ds->Eof());
  EXPECT_EQ(ds->RowCount(), 0);
}

TEST(EditTest, DeleteAndDeleteWhileInserting) {
  auto ds = MakeDataSet(3);
  Log log;
  Record(ds.get(), log);
  ds->MoveBy(1);
  log.clear();
  ds->Delete();
  EXPECT_EQ(log, (Log{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  ds->Next();
  ds->Delete();  // the last record: the one before becomes current
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);

  ds->Insert();
  log.clear();
  ds->Delete();
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(log, (Log{"BeforeCancel", "BeforeScroll", "AfterCancel", "AfterScroll"}));
  EXPECT_EQ(ds->RowCount(), 1);
  ds->Delete();
  EXPECT_TRUE(ds->IsEmpty());
  EXPECT_THROW(ds->Delete(), EDatabaseError);
}

TEST(EditTest, RequiredFieldsAndReadOnlyDataSets) {
  TLinkedDataSet w(1);
  auto& ds = w.ds;
  auto& link = w.link;
  ds->FieldByName("NAME")->SetRequired(true);
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(5);
  link.Log.clear();
  try {
    ds->Post();
    FAIL() << "posted without NAME";
  } catch (EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'NAME' must have a value");
  }
  EXPECT_EQ(ds->State(), dsInsert);
  EXPECT_EQ(link.Log.back(), "FocusControl(NAME)");
  ds->Cancel();

  ds->SetReadOnly(true);
  EXPECT_FALSE(ds->CanModify());
  EXPECT_THROW(ds->Edit(), EDatabaseError);
  EXPECT_THROW(ds->Append(), EDatabaseError);
  EXPECT_FALSE(ds->FieldByName("ID")->CanModify());
}

TEST(EditTest, FailingOnNewRecordUndoesTheInsert) {
  auto ds = MakeDataSet(2);
  ds->SetOnNewRecord([](TDataSet*) { throw EDatabaseError("no"); });
  EXPECT_THROW(ds->Append(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
}

// An internal operation that fails `failures` times with `error` (then works),
// handled by an error handler answering `action`.
struct ErrorCase {
  const char* op;  // "edit", "post", "delete"
  int failures;
  int kind;  // 0: EDatabaseError, 1: EAbort, 2: EConvertError
  TDataAction action;
  const char* outcome;  // "done", "EDatabaseError", "EAbort", "EConvertError"
  int handler_calls;
};

TEST(EditTest, ErrorHandlersFailAbortOrRetry) {
  const ErrorCase cases[] = {
      {"edit", 1, 0, daFail, "EDatabaseError", 1},  {"edit", 1, 0, daAbort, "EAbort", 1},
      {"edit", 2, 0, daRetry, "done", 2},           {"post", 1, 0, daFail, "EDatabaseError", 1},
      {"post", 1, 0, daAbort, "EAbort", 1},         {"post", 3, 0, daRetry, "done", 3},
      {"delete", 1, 0, daFail, "EDatabaseError", 1}, {"delete", 1, 0, daAbort, "EAbort", 1},
      {"delete", 1, 0, daRetry, "done", 1},         {"post", 1, 1, daRetry, "EAbort", 0},
      {"post", 1, 2, daRetry, "EConvertError", 0},  {"edit", 0, 0, daFail, "done", 0},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(String(c.op) + " " + c.outcome);
    auto ds = MakeDataSet(2);
    int left = c.failures, calls = 0;
    std::function<void()> fail = [&] {
      if (left <= 0) return;
      --left;
      if (c.kind == 0) throw EDatabaseError("failed");
      if (c.kind == 1) Abort();
      throw EConvertError("bad");
    };
    TDataSetErrorEvent handler = [&](TDataSet*, EDatabaseError* e, TDataAction& action) {
      ++calls;
      EXPECT_STREQ(e->what(), "failed");
      EXPECT_EQ(action, daFail);
      action = c.action;
    };
    String op = c.op;
    if (op == "edit") {
      ds->OnInternalEdit = fail;
      ds->SetOnEditError(handler);
    } else if (op == "post") {
      ds->OnInternalPost = fail;
      ds->SetOnPostError(handler);
      ds->Edit();
      ds->FieldByName("NAME")->SetAsString("x");
    } else {
      ds->OnInternalDelete = fail;
      ds->SetOnDeleteError(handler);
    }
    String outcome = "done";
    try {
      if (op == "edit") ds->Edit();
      else if (op == "post") ds->Post();
      else ds->Delete();
    } catch (EAbort&) {
      outcome = "EAbort";
    } catch (EDatabaseError&) {
      outcome = "EDatabaseError";
    } catch (EConvertError&) {
      outcome = "EConvertError";
    }
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(calls, c.handler_calls);
    if (outcome == "done") {
      if (op == "edit") {
        EXPECT_EQ(ds->State(), dsEdit);
      } else if (op == "post") {
        EXPECT_EQ(ds->RowValue(0, 1).AsString(), "x");
      } else {
        EXPECT_EQ(ds->RowCount(), 1);
      }
    } else if (op == "post") {
      // A failed post stays in edit state with the change.
      EXPECT_EQ(ds->State(), dsEdit);
      EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "x");
    } else {
      EXPECT_EQ(ds->State(), dsBrowse);
      EXPECT_EQ(ds->RowCount(), 2);
    }
  }
}

TEST(EditTest, UpdateRecordAsksTheLinksForTheirData) {
  TLinkedDataSet w(1);
  auto& ds = w.ds;
  auto& src = w.src;
  auto& link = w.link;
  Log changes;
  src.SetOnUpdateData([&](TObject*) { changes.push_back("OnUpdateData"); });
  src.SetOnDataChange([&](TObject*, TField* f) { changes.push_back(f ? "OnDataChange(" + f->FieldName() + ")" : "OnDataChange"); });
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("y");
  ds->Post();
  EXPECT_EQ(link.Log, (Log{"CheckBrowseMode", "EditingChanged(on)", "RecordChanged", "RecordChanged(NAME)", "UpdateData",
                           "CheckBrowseMode", "EditingChanged(off)", "DataSetChanged"}));
  EXPECT_EQ(changes, (Log{"OnDataChange", "OnDataChange(NAME)", "OnUpdateData", "OnDataChange"}));
}

}  // namespace
