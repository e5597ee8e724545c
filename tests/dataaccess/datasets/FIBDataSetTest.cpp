// The dataset engine core: construction and defaults, the link to database
// and transactions, Prepare and the field definitions, guards and their
// client errors, the transaction-end rules, cached-update reverting, cache
// model options, streaming and registration.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

using dstest::TBuffer;
using dstest::ClientError;
using dstest::TCacheDataSet;

class FIBDataSetTest : public dstest::TDataSetSuite<FIBDataSetTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table P (ID integer not null primary key, NAME varchar(20), SH smallint, BI bigint, "
            "N184 numeric(18,4), N186 numeric(18,6), BO boolean, TXT blob sub_type text, BIN blob, "
            "AR integer[1:2], O16 char(16) character set octets, TS timestamp)",
            "insert into P (ID, NAME) values (1, 'one')", "insert into P (ID, NAME) values (2, 'two')",
            "insert into P (ID, NAME) values (3, 'three')"};
  }

 protected:
  TCacheDataSet* OpenP(const String& Extra = String()) {
    TCacheDataSet* ds = NewDataSet("select ID, NAME from P" + Extra + " order by ID");
    ds->SetName("People");
    ds->Open();
    ds->FetchAll();
    return ds;
  }

};

TEST_F(FIBDataSetTest, ConstructionDefaults) {
  auto* ds = new TFIBDataSet(form_);
  EXPECT_EQ(ds->Options(), kDefaultDataSetOptions);
  EXPECT_EQ(ds->PrepareOptions(), kDefaultPrepareOptions);
  EXPECT_EQ(ds->UpdateRecordTypes(), (TFIBUpdateRecordTypes{cusUnmodified, cusModified, cusInserted}));
  EXPECT_EQ(ds->AllowedUpdateKinds(), (TUpdateKinds{ukModify, ukInsert, ukDelete}));
  EXPECT_TRUE(ds->DetailConditions().Empty());
  EXPECT_EQ(ds->FieldOriginRule(), forTableAndFieldName);
  EXPECT_EQ(ds->RefreshTransactionKind(), tkReadTransaction);
  EXPECT_EQ(ds->BookmarkSize(), 8);
  EXPECT_EQ(ds->SQLScreenCursor(), crDefault);
  EXPECT_EQ(ds->BufferChunks(), 32);
  EXPECT_EQ(ds->CacheModelOptions()->CacheModelKind(), cmkStandard);
  EXPECT_FALSE(ds->CachedUpdates());
  EXPECT_FALSE(ds->UniDirectional());
  EXPECT_FALSE(ds->AutoCommit());
  EXPECT_EQ(ds->Database(), nullptr);
  EXPECT_EQ(ds->CSMonitorSupport()->Enabled(), csmeTransactionDriven);
  EXPECT_EQ(ds->SQLs()->SelectSQL(), ds->SelectSQL());
  EXPECT_EQ(ds->AutoUpdateOptions()->Owner(), ds);
  EXPECT_EQ(ds->CurrentSelect(), ds->SelectQuery());
  EXPECT_EQ(ds->Conditions(), ds->SelectQuery()->Conditions());
  // The five statements: owned, named, fetched by the dataset itself.
  const char* names[] = {"DeleteQuery", "InsertQuery", "RefreshQuery", "UpdateQuery", "SelectQuery"};
  TFIBQuery* statements[] = {ds->DeleteQuery(), ds->InsertQuery(), ds->RefreshQuery(), ds->UpdateQuery(),
                             ds->SelectQuery()};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(ds->FindComponent(names[i]), statements[i]);
    EXPECT_EQ(statements[i]->Owner(), ds);
    EXPECT_FALSE(statements[i]->GoToFirstRecordOnExecute());
    EXPECT_TRUE(statements[i]->ParamCheck());
  }
  EXPECT_TRUE(ds->SelectQuery()->Options().Contains(qoStartTransaction));
  EXPECT_FALSE(ds->RefreshQuery()->Options().Contains(qoStartTransaction));

  // An owning database or transaction becomes the dataset's.
  auto* owned = new TFIBDataSet(db_);
  EXPECT_EQ(owned->Database(), db_);
  EXPECT_EQ(owned->Transaction(), db_->DefaultTransaction());
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db_);
  auto* byTr = new TFIBDataSet(tr);
  EXPECT_EQ(byTr->Transaction(), tr);
  EXPECT_EQ(byTr->Database(), db_);
  delete owned;
  delete byTr;

  // On a designer surface the process-wide defaults apply.
  auto* designer = new TComponent(nullptr);
  designer->SetDesigning(true);
  const TpFIBDsOptions saved = DefaultDataSetOptions;
  DefaultDataSetOptions = {poFetchAll};
  auto* designed = new TFIBDataSet(designer);
  EXPECT_EQ(designed->Options(), TpFIBDsOptions{poFetchAll});
  DefaultDataSetOptions = saved;
  delete designer;
}

TEST_F(FIBDataSetTest, TransactionsMoveTheStatements) {
  auto* ds = new TFIBDataSet(form_);
  ds->SetDatabase(db_);
  TFIBTransaction* read = db_->DefaultTransaction();
  EXPECT_EQ(ds->Transaction(), read);
  EXPECT_EQ(ds->UpdateTransaction(), read);
  auto* other = new TFIBTransaction(form_);
  other->SetDefaultDatabase(db_);
  // UpdateTransaction was the read transaction: all five follow.
  ds->SetTransaction(other);
  for (TFIBQuery* q : {ds->SelectQuery(), ds->RefreshQuery(), ds->DeleteQuery(), ds->InsertQuery(), ds->UpdateQuery()})
    EXPECT_EQ(q->Transaction(), other);
  EXPECT_FALSE(ds->IsUpdateTransactionStored());
  // A separate update transaction stays; the refresh statement follows the
  // read transaction until told otherwise.
  auto* update = new TFIBTransaction(form_);
  update->SetDefaultDatabase(db_);
  ds->SetUpdateTransaction(update);
  ds->SetTransaction(read);
  EXPECT_EQ(ds->SelectQuery()->Transaction(), read);
  EXPECT_EQ(ds->RefreshQuery()->Transaction(), read);
  EXPECT_EQ(ds->UpdateTransaction(), update);
  EXPECT_EQ(ds->DeleteQuery()->Transaction(), update);
  EXPECT_TRUE(ds->IsUpdateTransactionStored());
  ds->SetRefreshTransactionKind(tkUpdateTransaction);
  EXPECT_EQ(ds->RefreshQuery()->Transaction(), update);
  ds->SetTransaction(other);
  EXPECT_EQ(ds->RefreshQuery()->Transaction(), update);

  // The start and end events of both transactions reach the dataset's.
  std::vector<std::string> events;
  ds->SetBeforeStartTransaction({form_, [&](TObject*) { events.push_back("read start"); }});
  ds->SetAfterEndTransaction({form_, [&](TFIBTransaction*, TTransactionAction a, bool) {
                                events.push_back(a == TACommit ? "read commit" : "read end");
                              }});
  ds->SetBeforeStartUpdateTransaction({form_, [&](TObject*) { events.push_back("update start"); }});
  ds->SetAfterEndUpdateTransaction({form_, [&](TFIBTransaction*, TTransactionAction, bool) {
                                      events.push_back("update end");
                                    }});
  other->StartTransaction();
  other->Commit();
  update->StartTransaction();
  update->Rollback();
  read->StartTransaction();  // left by the dataset
  read->Commit();
  EXPECT_EQ(events, (std::vector<std::string>{"read start", "read commit", "update start", "update end"}));
  delete ds;
  other->StartTransaction();  // the handlers left with the dataset
  other->Commit();
  EXPECT_EQ(events.size(), 4u);
  // Also when the dataset goes with its owner.
  auto* owner = new TComponent(nullptr);
  auto* owned = new TFIBDataSet(owner);
  owned->SetDatabase(db_);
  owned->SetTransaction(other);
  owned->SetBeforeStartTransaction({form_, [&](TObject*) { events.push_back("freed"); }});
  delete owner;
  other->StartTransaction();
  other->Commit();
  EXPECT_EQ(events.size(), 4u);

  // A database's default update transaction is taken with the database.
  auto* db2 = Connect("UTF8");
  auto* upd2 = new TFIBTransaction(form_);
  upd2->SetDefaultDatabase(db2);
  db2->SetDefaultUpdateTransaction(upd2);
  auto* ds2 = new TFIBDataSet(form_);
  ds2->SetDatabase(db2);
  EXPECT_EQ(ds2->Transaction(), db2->DefaultTransaction());
  EXPECT_EQ(ds2->UpdateTransaction(), upd2);
}

TEST_F(FIBDataSetTest, PrepareBuildsFieldDefinitionsByColumnType) {
  TCacheDataSet* ds = NewDataSet("select ID, NAME, SH, BI, N184, N186, BO, TXT, BIN, AR, O16, TS from P");
  ds->Prepare();
  EXPECT_TRUE(ds->Prepared());
  EXPECT_TRUE(ds->SelectQuery()->Prepared());
  EXPECT_TRUE(db_->DefaultTransaction()->Active());  // poStartTransaction
  struct TCase {
    const char* Name;
    TFieldType Type;
    int Size;
  } cases[] = {{"ID", ftInteger, 0},  {"NAME", ftWideString, 20}, {"SH", ftSmallint, 0}, {"BI", ftBCD, 0},
               {"N184", ftBCD, 4},    {"N186", ftFloat, 0},       {"BO", ftBoolean, 0},  {"TXT", ftMemo, 8},
               {"BIN", ftBlob, 8},    {"AR", ftBytes, 8},         {"O16", ftString, 16}, {"TS", ftDateTime, 0}};
  TFieldDefs* defs = ds->FieldDefs();
  ASSERT_EQ(defs->Count(), 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(defs->Items(i)->Name(), cases[i].Name);
    EXPECT_EQ(defs->Items(i)->DataType(), cases[i].Type) << cases[i].Name;
    EXPECT_EQ(defs->Items(i)->Size(), cases[i].Size) << cases[i].Name;
    EXPECT_EQ(defs->Items(i)->FieldNo(), i + 1);
    EXPECT_FALSE(defs->Items(i)->Required());
  }
  EXPECT_TRUE(defs->Updated());

  // The type options; a persistent field of another class makes a SHORT
  // column an integer.
  TCacheDataSet* typed = NewDataSet("select SH, BI, N186 from P");
  typed->SetPrepareOptions(typed->PrepareOptions() + TpPrepareOptions{psUseLargeIntField, psSQLINT64ToBCD});
  auto* sh = new TFIBIntegerField(typed);
  sh->SetFieldName("SH");
  sh->SetDataSet(typed);
  typed->Prepare();
  EXPECT_EQ(typed->FieldDefs()->Items(0)->DataType(), ftInteger);
  EXPECT_EQ(typed->FieldDefs()->Items(1)->DataType(), ftLargeint);
  EXPECT_EQ(typed->FieldDefs()->Items(2)->DataType(), ftBCD);
  EXPECT_EQ(typed->FieldDefs()->Items(2)->Size(), 6);

  // Field classes by type.
  struct TClassCase {
    TFieldType Type;
    const char* Class;
  } classes[] = {{ftString, "TFIBStringField"},   {ftWideString, "TFIBWideStringField"}, {ftSmallint, "TFIBSmallIntField"},
                 {ftInteger, "TFIBIntegerField"}, {ftLargeint, "TFIBLargeIntField"},     {ftFloat, "TFIBFloatField"},
                 {ftBCD, "TFIBBCDField"},         {ftBoolean, "TFIBBooleanField"},       {ftDate, "TFIBDateField"},
                 {ftTime, "TFIBTimeField"},       {ftDateTime, "TFIBDateTimeField"},     {ftBytes, "TFIBArrayField"},
                 {ftBlob, "TFIBBlobField"},       {ftMemo, "TFIBMemoField"},             {ftGuid, "TFIBGuidField"},
                 {ftWord, "TWordField"},          {ftCurrency, "TCurrencyField"}};
  for (const TClassCase& c : classes) {
    TFieldClass cls = ds->GetFieldClass(c.Type);
    ASSERT_NE(cls, nullptr) << c.Class;
    EXPECT_EQ(cls->ClassName, c.Class);
  }
  EXPECT_EQ(ds->GetFieldClass(ftCursor), nullptr);
}

TEST_F(FIBDataSetTest, PrepareErrors) {
  String text;
  TCacheDataSet* blank = NewDataSet("  \r\n   ");
  blank->SetName("Blank");
  EXPECT_EQ(ClientError([&] { blank->Prepare(); }, &text), fceQueryEmpty);
  EXPECT_NE(text.find("Can't Prepare Blank , because  query is empty"), String::npos) << text;
  EXPECT_FALSE(blank->Prepared());

  auto* nodb = new TFIBDataSet(form_);
  nodb->SelectSQL()->SetText("select ID from P");
  EXPECT_EQ(ClientError([&] { nodb->Prepare(); }), fceDatabaseNotAssigned);

  TCacheDataSet* bad = NewDataSet("select NOPE from P");
  EXPECT_THROW(bad->Prepare(), EFIBInterBaseError);
  EXPECT_FALSE(bad->Prepared());
  bad->SelectSQL()->SetText("select ID from P");
  EXPECT_NO_THROW(bad->Prepare());
  bad->UnPrepare();
  EXPECT_FALSE(bad->Prepared());
  EXPECT_FALSE(bad->SelectQuery()->Prepared());
}

TEST_F(FIBDataSetTest, GuardsRaiseTheirClientErrors) {
  TCacheDataSet* ds = OpenP();
  String text;
  EXPECT_EQ(ClientError([&] { ds->SetSelectSQL(ds->UpdateSQL()); }, &text), fceDatasetOpen);
  EXPECT_NE(text.find("Can't  change SelectSQL  because People dataset open."), String::npos) << text;
  EXPECT_EQ(ClientError([&] { ds->SelectSQL()->Add("where 1 = 1"); }), fceDatasetOpen);
  EXPECT_EQ(ds->SelectSQL()->Count(), 1);  // refused: unchanged
  EXPECT_EQ(ClientError([&] { ds->SetUniDirectional(true); }), fceDatasetOpen);
  EXPECT_EQ(ClientError([&] { ds->SetDatabase(nullptr); }), fceDatasetOpen);
  EXPECT_EQ(ClientError([&] { ds->SetTransaction(nullptr); }), fceDatasetOpen);
  EXPECT_EQ(ClientError([&] { ds->SetPrepareOptions(ds->PrepareOptions() - TpPrepareOptions{psUseBooleanField}); },
                        &text),
            fceDatasetOpen);
  EXPECT_NE(text.find("change psUseBooleanField or psSQLINT64ToBCD or psUseLargeIntField\r\n"), String::npos);
  EXPECT_NO_THROW(ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psAskRecordCount}));

  // Writing a field needs edit or insert state and the statement for it.
  ds->First();
  EXPECT_EQ(ClientError([&] { ds->FieldByName("NAME")->SetAsString("x"); }, &text), fceNotEditOrInsert);
  EXPECT_NE(text.find("DataSet not in Edit or Insert mode.(People)"), String::npos) << text;
  // Without the statement editing and inserting are refused silently; a
  // statement gone meanwhile refuses the values.
  EXPECT_THROW(ds->Edit(), EAbort);
  EXPECT_THROW(ds->Insert(), EAbort);
  EXPECT_EQ(ds->State(), dsBrowse);
  ds->UpdateSQL()->SetText("update P set NAME = ?NAME where ID = ?OLD_ID");
  ds->Edit();
  ds->UpdateSQL()->Clear();
  EXPECT_EQ(ClientError([&] { ds->FieldByName("NAME")->SetAsString("x"); }), fceCannotUpdate);
  ds->Cancel();
  ds->InsertSQL()->SetText("insert into P (ID) values (?ID)");
  ds->Insert();
  ds->InsertSQL()->Clear();
  EXPECT_EQ(ClientError([&] { ds->FieldByName("NAME")->SetAsString("x"); }), fceCannotInsert);
  ds->Cancel();
  ds->Close();
  ds->SetUniDirectional(true);
  EXPECT_EQ(ClientError([&] { ds->CheckNotUniDirectional(); }), fceUniDirectional);
  EXPECT_EQ(ClientError([&] { ds->CheckDatasetOpen("read"); }, &text), fceDatasetClosed);
  EXPECT_NE(text.find("Can't read because People dataset closed."), String::npos) << text;
  EXPECT_EQ(ClientError([&] { ds->ReopenAndLocate(""); }), fceUniDirectional);
}

TEST_F(FIBDataSetTest, ModifyingStatementsAndComparisons) {
  auto* ds = new TFIBDataSet(form_);
  EXPECT_FALSE(ds->CanEdit());
  EXPECT_FALSE(ds->CanInsert());
  EXPECT_FALSE(ds->CanDelete());
  ds->UpdateSQL()->SetText("   \r\n\t");
  EXPECT_FALSE(ds->CanEdit());  // blank lines only
  ds->UpdateSQL()->SetText("\r\nupdate P set NAME = ?NAME where ID = ?OLD_ID");
  ds->InsertSQL()->SetText("insert into P (ID) values (?ID)");
  ds->DeleteSQL()->SetText("delete from P where ID = ?OLD_ID");
  EXPECT_TRUE(ds->CanEdit());
  EXPECT_TRUE(ds->CanInsert());
  EXPECT_TRUE(ds->CanDelete());

  struct TCase {
    Variant A, B;
    int Result;
  } cases[] = {{Variant(), Variant(), 0},  {Variant(), Variant(1), -1}, {Variant(1), Variant(), 1},
               {Variant(1), Variant(2), -1}, {Variant("b"), Variant("a"), 1}, {Variant(2.5), Variant(2.5), 0}};
  for (const TCase& c : cases) EXPECT_EQ(ds->CompareFieldValues(nullptr, c.A, c.B), c.Result);
  ds->SetOnCompareFieldValues({form_, [](TField*, const Variant&, const Variant&) { return Integer{42}; }});
  EXPECT_EQ(ds->CompareFieldValues(nullptr, Variant(), Variant()), 42);
}

TEST_F(FIBDataSetTest, ATransactionEndClosesOrKeepsTheDataSet) {
  TFIBTransaction* tr = db_->DefaultTransaction();
  TCacheDataSet* ds = OpenP();
  int ending = 0, ended = 0;
  ds->SetTransactionEnding({form_, [&](TObject*) { ++ending; }});
  ds->SetTransactionEnded({form_, [&](TObject*) { ++ended; }});
  tr->CommitRetaining();
  EXPECT_TRUE(ds->Active());
  tr->Commit();
  EXPECT_FALSE(ds->Active());
  EXPECT_EQ(ending, 2);
  EXPECT_EQ(ended, 2);

  // With cached updates the rows are fetched and only the cursor closes.
  TCacheDataSet* cached = NewDataSet("select ID, NAME from P order by ID");
  cached->SetCachedUpdates(true);
  EXPECT_FALSE(cached->SelectQuery()->CloseOnTransactionEnd());
  cached->Open();
  EXPECT_EQ(cached->FetchedCount(), 1);
  tr->Rollback();
  EXPECT_TRUE(cached->Active());
  EXPECT_EQ(cached->FetchedCount(), 3);
  EXPECT_FALSE(cached->SelectQuery()->Open());
  EXPECT_TRUE(cached->AllFetched());
}

TEST_F(FIBDataSetTest, DisconnectingTheDatabaseClosesTheDataSet) {
  TCacheDataSet* ds = OpenP();
  std::vector<std::string> events;
  ds->SetDatabaseDisconnecting({form_, [&](TObject*) { events.push_back("disconnecting"); }});
  ds->SetDatabaseDisconnected({form_, [&](TObject*) { events.push_back("disconnected"); }});
  db_->Close();
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(ds->Prepared());
  EXPECT_EQ(events, (std::vector<std::string>{"disconnecting", "disconnected"}));
  db_->Connect();
  ds->Open();
  EXPECT_EQ(ds->FetchedCount(), 1);  // rows come when asked for
  ds->Last();
  EXPECT_EQ(ds->FetchedCount(), 3);

  auto* plain = new TFIBDataSet(form_);
  EXPECT_EQ(ClientError([&] { plain->StartUpdateTransaction(); }), fceTransactionNotAssigned);
  plain->SetDatabase(db_);
  auto* update = new TFIBTransaction(form_);
  update->SetDefaultDatabase(db_);
  plain->SetUpdateTransaction(update);
  plain->StartUpdateTransaction();
  EXPECT_TRUE(update->Active());
  plain->StartUpdateTransaction();  // already running: nothing to do
  EXPECT_TRUE(update->Active());
}

TEST_F(FIBDataSetTest, CancelUpdatesRevertsEveryCachedRecord) {
  TCacheDataSet* ds = NewDataSet("select ID, NAME from P order by ID");
  ds->UpdateSQL()->SetText("update P set NAME = ?NAME where ID = ?OLD_ID");
  ds->SetCachedUpdates(true);
  ds->Open();
  ds->FetchAll();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("changed");
  ds->Post();
  EXPECT_EQ(ds->UpdateStatus(), usModified);
  // Records 2 and 3 as the editing code leaves them: deleted, inserted.
  TBuffer b(ds);
  const TCachedUpdateStatus states[] = {cusDeleted, cusInserted};
  for (int n = 1; n <= 2; ++n) {
    ds->ReadRecordFromCache(n, b.Get(), false);
    TFIBCustomDataSet::SetCachedStatus(b.Get(), states[n - 1]);
    ds->WriteRecordToCache(n, b.Get());
  }
  ds->CancelUpdates();
  const TCachedUpdateStatus expected[] = {cusUnmodified, cusUnmodified, cusUninserted};
  for (int n = 0; n < 3; ++n) {
    ds->ReadRecordFromCache(n, b.Get(), false);
    EXPECT_EQ(TFIBCustomDataSet::CachedStatusOf(b.Get()), expected[n]) << n;
  }
  ds->First();
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "one");
  EXPECT_EQ(ds->RecordsCache()->LogCount(), 0);
  // A record reverted to "uninserted" reports as deleted.
  ds->SetUpdateRecordTypes(ds->UpdateRecordTypes() + TFIBUpdateRecordTypes{cusUninserted});
  ds->Last();
  EXPECT_EQ(ds->UpdateStatus(), usDeleted);
  ds->SetCachedUpdates(false);
  EXPECT_FALSE(ds->CachedUpdates());
  EXPECT_TRUE(ds->SelectQuery()->CloseOnTransactionEnd());
}

TEST_F(FIBDataSetTest, CacheModelOptions) {
  auto* ds = NewDataSet("select ID from P");
  TCacheModelOptions* o = ds->CacheModelOptions();
  o->SetBufferChunks(0);
  EXPECT_EQ(o->BufferChunks(), 32);
  o->SetBufferChunks(-5);
  EXPECT_EQ(o->BufferChunks(), 32);
  // The limited model needs an ORDER BY (client error 75, the model kept).
  String text;
  ds->SetName("NoOrder");
  EXPECT_EQ(ClientError([&] { o->SetCacheModelKind(cmkLimitedBufferSize); }, &text), fceLimitedCacheNotUsable);
  EXPECT_EQ(text.find("NoOrder. Can't use limited cache. "), 0u) << text;
  EXPECT_EQ(o->CacheModelKind(), cmkStandard);
  ds->SelectSQL()->SetText("select ID from P where ID > ?NEW_ID order by ID");
  EXPECT_FALSE(ds->CanUseLimitedCache());  // a NEW_ parameter
  ds->SelectSQL()->SetText("select ID from P order by ID");
  EXPECT_TRUE(ds->CanUseLimitedCache());
  ds->SetCachedUpdates(true);
  EXPECT_FALSE(ds->CanUseLimitedCache());
  ds->SetCachedUpdates(false);
  o->SetCacheModelKind(cmkLimitedBufferSize);
  EXPECT_EQ(o->BufferChunks(), 100);
  o->SetBufferChunks(50);
  EXPECT_EQ(o->BufferChunks(), 100);
  o->SetBufferChunks(250);
  EXPECT_EQ(o->BufferChunks(), 250);
  EXPECT_EQ(ClientError([&] { ds->SetCachedUpdates(true); }), fceLimitedCacheNotUsable);
  EXPECT_FALSE(ds->CachedUpdates());
  o->SetCacheModelKind(cmkStandard);

  ds->Open();
  EXPECT_THROW(o->SetCacheModelKind(cmkLimitedBufferSize), EDatabaseError);
  EXPECT_THROW(o->SetBufferChunks(64), EDatabaseError);
  EXPECT_EQ(o->CacheModelKind(), cmkStandard);
}

TEST_F(FIBDataSetTest, MonitorSettingsReachTheStatements) {
  auto* ds = new TFIBDataSet(form_);
  ds->CSMonitorSupport()->SetEnabled(csmeEnabled);
  ds->CSMonitorSupport()->SetIncludeDatasetDescription(false);
  for (TFIBQuery* q : {ds->SelectQuery(), ds->UpdateQuery(), ds->RefreshQuery()}) {
    EXPECT_EQ(q->CSMonitorSupport()->Enabled(), csmeEnabled);
    EXPECT_FALSE(q->CSMonitorSupport()->IncludeDatasetDescription());
  }
  TCSMonitorSupport other(form_);
  other.SetEnabled(csmeDatabaseDriven);
  ds->SetCSMonitorSupport(&other);
  EXPECT_EQ(ds->DeleteQuery()->CSMonitorSupport()->Enabled(), csmeDatabaseDriven);
}

TEST_F(FIBDataSetTest, FieldLookupsMasterLinkAndBookmarks) {
  TCacheDataSet* ds = OpenP();
  TField* name = ds->FieldByName("NAME");
  EXPECT_EQ(ds->FindFieldCached("NAME"), name);
  EXPECT_EQ(ds->FindFieldCached("\"NAME\""), name);
  EXPECT_EQ(ds->FindFieldCached("NOPE"), nullptr);
  EXPECT_THROW(ds->FieldByNameCached("NOPE"), EDatabaseError);

  TBookmark valid(8, '\0');
  valid[0] = 1;
  EXPECT_TRUE(ds->BookmarkValid(valid));
  valid[0] = 9;
  EXPECT_FALSE(ds->BookmarkValid(valid));
  EXPECT_FALSE(ds->BookmarkValid(TBookmark()));
  EXPECT_FALSE(ds->BookmarkValid(TBookmark(8, '\0')));  // physical records start at 1
  EXPECT_TRUE(ds->IsSequenced());

  // A data source that leads back to this dataset is refused.
  auto* source = new TDataSource(form_);
  source->SetDataSet(ds);
  EXPECT_EQ(ClientError([&] { ds->SetDataSource(source); }), fceCircularReference);
  TCacheDataSet* detail = NewDataSet("select ID from P where ID = ?ID");
  detail->SetDataSource(source);
  EXPECT_EQ(detail->DataSource(), source);
  auto* detailSource = new TDataSource(form_);
  detailSource->SetDataSet(detail);
  ds->Close();
  EXPECT_EQ(ClientError([&] { ds->SetDataSource(detailSource); }), fceCircularReference);
}

TEST_F(FIBDataSetTest, StreamingAndRegistration) {
  const TClassInfo* info = FindClass("TFIBDataSet");
  ASSERT_TRUE(info->CanCreate());
  for (const char* name : {"CachedUpdates", "SelectSQL", "Options", "PrepareOptions", "CacheModelOptions",
                           "UpdateTransaction", "AfterFetchRecord", "SQLScreenCursor", "DataSource"})
    EXPECT_NE(info->FindProp(name), nullptr) << name;
  for (const char* name : {"TFIBStringField", "TFIBBCDField", "TFIBGuidField", "TFIBArrayField", "TCacheModelOptions"})
    EXPECT_NE(FindClassInfo(name), nullptr) << name;

  // Older resources name single options.
  const String text =
      "object Root: TComponent\r\n"
      "  object DS: TFIBDataSet\r\n"
      "    BufferChunks = 64\r\n"
      "    poUseBooleanField = False\r\n"
      "    poSQLINT64ToBCD = True\r\n"
      "    oFetchAll = True\r\n"
      "    oTrimCharFields = False\r\n"
      "    dcForceOpen = True\r\n"
      "    ObjectView = True\r\n"
      "  end\r\n"
      "end\r\n";
  auto root = std::make_unique<TComponent>(nullptr);
  ReadComponentFromText(root.get(), text);
  auto* ds = dynamic_cast<TFIBDataSet*>(root->FindComponent("DS"));
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->BufferChunks(), 64);
  EXPECT_FALSE(ds->PrepareOptions().Contains(psUseBooleanField));
  EXPECT_TRUE(ds->PrepareOptions().Contains(psSQLINT64ToBCD));
  EXPECT_TRUE(ds->Options().Contains(poFetchAll));
  EXPECT_FALSE(ds->Options().Contains(poTrimCharFields));
  EXPECT_TRUE(ds->DetailConditions().Contains(dcForceOpen));

  // Written and read back: the SQL texts once, the views not at all.
  auto* written = new TFIBDataSet(form_);
  written->SetName("W");
  written->SelectSQL()->SetText("select ID from P");
  written->SetCachedUpdates(true);
  written->SetOptions({poFetchAll});
  written->CacheModelOptions()->SetBufferChunks(77);
  const String out = WriteComponentToText(form_);
  EXPECT_EQ(out.find("SQLs"), String::npos) << out;
  auto copy = std::make_unique<TComponent>(nullptr);
  ReadComponentFromText(copy.get(), out);
  auto* read = dynamic_cast<TFIBDataSet*>(copy->FindComponent("W"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->SelectSQL()->Text(), written->SelectSQL()->Text());
  EXPECT_TRUE(read->CachedUpdates());
  EXPECT_EQ(read->Options(), TpFIBDsOptions{poFetchAll});
  EXPECT_EQ(read->BufferChunks(), 77);
}

}  // namespace
