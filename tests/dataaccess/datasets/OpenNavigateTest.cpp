// Opening, navigating and reading a dataset on a real database: field
// definitions from the column types and the repository's domains, fetch on
// demand over 300 rows of every column type, bookmarks, record numbers,
// refresh, events and data-link events, master values in the select's
// parameters, and the errors that leave a dataset closed and reusable.
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"
#include "tests/platform/db/DbFixture.h"

namespace {

using dstest::ClientError;
using dstest::TCacheDataSet;

constexpr int kRows = 300;
const char* const kColumns = "ID, SH, BI, N42, N92, N184, FL, DP, DT, TM, TS, C10, V40, BO, FB, BI4, G, TXT, AR";

// The values row I holds (every 7th row has NULLs in its nullable columns).
bool NullRow(int I) { return I % 7 == 0; }
String V40Of(int I) { return "\xD0\xA1\xD1\x82\xD1\x80\xD0\xBE\xD0\xBA\xD0\xB0 " + IntToStr(I); }

class OpenNavigateTest : public dstest::TDataSetSuite<OpenNavigateTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create domain FIB$BOOLEAN as smallint default 1 not null check (value in (0,1))",
        "create domain D_BOOLEAN_INT as integer",
        "create domain UUID_GUID as char(16) character set octets",
        "create table N (ID integer not null primary key, SH smallint, BI bigint, N42 numeric(4,2), "
        "N92 numeric(9,2), N184 numeric(18,4), FL float, DP double precision, DT date, TM time, TS timestamp, "
        "C10 char(10), V40 varchar(40), BO boolean, FB FIB$BOOLEAN, BI4 D_BOOLEAN_INT, G UUID_GUID, "
        "TXT blob sub_type text, AR integer[1:2])",
        "execute block as declare i integer = 1; begin while (i <= 300) do begin "
        "insert into N (ID, SH, BI, N42, N92, N184, FL, DP, DT, TM, TS, C10, V40, BO, FB, BI4, G, TXT) values ("
        ":i, iif(mod(:i, 7) = 0, null, :i - 150), :i * 1000000007, :i * 0.01, "
        "iif(mod(:i, 7) = 0, null, :i * 1.25), :i * 12345.6789, :i / 4e0, :i / 3e0, "
        "iif(mod(:i, 7) = 0, null, dateadd(:i day to date '2020-01-01')), "
        "dateadd(:i second to time '10:00:00.1234'), "
        "iif(mod(:i, 7) = 0, null, dateadd(:i minute to timestamp '2021-06-01 12:00:00.5678')), "
        "'c' || :i, iif(mod(:i, 7) = 0, null, '\xD0\xA1\xD1\x82\xD1\x80\xD0\xBE\xD0\xBA\xD0\xB0 ' || :i), "
        "iif(mod(:i, 7) = 0, null, mod(:i, 2) = 0), mod(:i, 2), mod(:i, 2), "
        "cast(lpad(:i, 16, '0') as char(16) character set octets), 'memo ' || :i); i = i + 1; end end",
        "create table M (ID integer not null primary key, NAME varchar(20), NOTE blob sub_type text)",
        "create table D (ID integer not null primary key, MID integer, TXT varchar(20))",
        "insert into M values (1, 'first', 'n1')", "insert into M values (2, 'second', 'n2')",
        "insert into M values (3, 'third', 'n3')", "insert into D values (10, 1, 'a')",
        "insert into D values (11, 1, 'b')", "insert into D values (20, 2, 'c')",
        "create table LOGT (X integer)",
        "create procedure P_LOG as begin insert into LOGT values (1); end",
        "create table S (ID integer not null primary key, NN varchar(10) not null, NU varchar(10), W10 char(10))",
        "insert into S values (1, 'x', 'y', 'ab')"};
  }

 protected:
  TCacheDataSet* OpenN(const String& Extra = " order by ID") {
    TCacheDataSet* ds = NewDataSet(String("select ") + kColumns + " from N" + Extra);
    ds->Open();
    return ds;
  }

  // Checks the current record against row I of the table.
  static void ExpectRow(TDataSet* ds, int I) {
    SCOPED_TRACE(I);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), I);
    EXPECT_EQ(ds->FieldByName("SH")->IsNull(), NullRow(I));
    if (!NullRow(I)) {
      EXPECT_EQ(ds->FieldByName("SH")->AsInteger(), I - 150);
    }
    EXPECT_EQ(ds->FieldByName("BI")->AsString(), IntToStr(static_cast<Int64>(I) * 1000000007));
    EXPECT_NEAR(ds->FieldByName("N42")->AsFloat(), I * 0.01, 1e-9);
    if (!NullRow(I)) {
      EXPECT_DOUBLE_EQ(ds->FieldByName("N92")->AsFloat(), I * 1.25);
    }
    EXPECT_EQ(ds->FieldByName("N184")->AsCurrency().Value, static_cast<Int64>(I) * 123456789);
    EXPECT_EQ(ds->FieldByName("FL")->AsFloat(), I / 4.0);
    EXPECT_NEAR(ds->FieldByName("DP")->AsFloat(), I / 3.0, 1e-9);
    if (!NullRow(I)) {
      EXPECT_EQ(ds->FieldByName("DT")->AsDateTime(), EncodeDate(2020, 1, 1) + I);
    }
    EXPECT_NEAR(ds->FieldByName("TM")->AsDateTime(), EncodeTime(10, 0, 0, 0) + (I + 0.1234) / 86400.0, 1e-10);
    EXPECT_EQ(ds->FieldByName("TS")->IsNull(), NullRow(I));
    if (!NullRow(I)) {
      EXPECT_NEAR(ds->FieldByName("TS")->AsDateTime(), EncodeDate(2021, 6, 1) + 0.5 + I / 1440.0 + 0.5678 / 86400.0,
                  1e-9);
    }
    EXPECT_EQ(ds->FieldByName("C10")->AsString(), "c" + IntToStr(I));  // blanks trimmed
    EXPECT_EQ(ds->FieldByName("V40")->AsString(), NullRow(I) ? String() : V40Of(I));
    EXPECT_EQ(ds->FieldByName("BO")->IsNull(), NullRow(I));
    if (!NullRow(I)) {
      EXPECT_EQ(ds->FieldByName("BO")->AsBoolean(), I % 2 == 0);
    }
    EXPECT_EQ(ds->FieldByName("FB")->AsBoolean(), I % 2 == 1);
    EXPECT_EQ(ds->FieldByName("BI4")->AsBoolean(), I % 2 == 1);
    EXPECT_FALSE(ds->FieldByName("TXT")->IsNull());
    EXPECT_TRUE(ds->FieldByName("AR")->IsNull());
  }
};

TEST_F(OpenNavigateTest, FieldDefinitionsFromTheColumnsAndTheRepositorysDomains) {
  TCacheDataSet* ds = NewDataSet(String("select ") + kColumns + ", RDB$DB_KEY from N");
  ds->Prepare();
  struct TCase {
    const char* Name;
    TFieldType Type;
    int Size;
  } cases[] = {{"ID", ftInteger, 0},   {"SH", ftSmallint, 0},   {"BI", ftBCD, 0},     {"N42", ftFloat, 0},
               {"N92", ftFloat, 0},    {"N184", ftBCD, 4},      {"FL", ftFloat, 0},   {"DP", ftFloat, 0},
               {"DT", ftDate, 0},      {"TM", ftTime, 0},       {"TS", ftDateTime, 0}, {"C10", ftWideString, 10},
               {"V40", ftWideString, 40}, {"BO", ftBoolean, 0}, {"FB", ftBoolean, 0}, {"BI4", ftBoolean, 0},
               {"G", ftString, 16},    {"TXT", ftMemo, 8},      {"AR", ftBytes, 8},   {"DB_KEY", ftString, 8}};
  ASSERT_EQ(ds->FieldDefs()->Count(), 20);
  for (int i = 0; i < 20; ++i) {
    TFieldDef* def = ds->FieldDefs()->Items(i);
    EXPECT_EQ(def->Name(), cases[i].Name);
    EXPECT_EQ(def->DataType(), cases[i].Type) << cases[i].Name;
    EXPECT_EQ(def->Size(), cases[i].Size) << cases[i].Name;
  }

  // Without psUseBooleanField only the BOOLEAN column stays Boolean; with
  // psUseGuidField a GUID domain's 16 bytes become a GUID field.
  TCacheDataSet* other = NewDataSet("select FB, BI4, BO, G from N");
  other->SetPrepareOptions(other->PrepareOptions() - TpPrepareOptions{psUseBooleanField} +
                           TpPrepareOptions{psUseGuidField});
  other->Prepare();
  EXPECT_EQ(other->FieldDefs()->Items(0)->DataType(), ftSmallint);
  EXPECT_EQ(other->FieldDefs()->Items(1)->DataType(), ftInteger);
  EXPECT_EQ(other->FieldDefs()->Items(2)->DataType(), ftBoolean);
  EXPECT_EQ(other->FieldDefs()->Items(3)->DataType(), ftGuid);
  EXPECT_EQ(other->FieldDefs()->Items(3)->Size(), 38);
  other->Open();
  EXPECT_EQ(other->FieldByName("G")->AsString().size(), 38u);
  EXPECT_STREQ(other->FieldByName("G")->ClassName().c_str(), "TFIBGuidField");
}

TEST_F(OpenNavigateTest, RowsComeOnDemandAndEveryValueReadsBack) {
  TCacheDataSet* ds = OpenN();
  EXPECT_TRUE(ds->Active());
  EXPECT_TRUE(ds->Bof());
  EXPECT_FALSE(ds->Eof());
  EXPECT_EQ(ds->FetchedCount(), 1);
  EXPECT_EQ(ds->RecordCount(), 1);
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_FALSE(ds->IsSequenced());
  int seen = 0;
  for (ds->First(); !ds->Eof(); ds->Next()) {
    ++seen;
    ExpectRow(ds, seen);
    EXPECT_EQ(ds->RecNo(), seen);
    EXPECT_EQ(ds->FetchedCount(), seen);
  }
  EXPECT_EQ(seen, kRows);
  EXPECT_EQ(ds->RecordCount(), kRows);
  EXPECT_TRUE(ds->AllFetched());
  EXPECT_TRUE(ds->IsSequenced());
  ExpectRow(ds, kRows);  // Eof stays on the last record

  // Backwards, by steps and by record number.
  ds->Prior();
  ExpectRow(ds, kRows - 1);
  EXPECT_EQ(ds->MoveBy(-50), -50);
  ExpectRow(ds, kRows - 51);
  EXPECT_EQ(ds->MoveBy(1000), 51);
  EXPECT_TRUE(ds->Eof());
  ds->SetRecNo(120);
  ExpectRow(ds, 120);
  EXPECT_FALSE(ds->Bof() || ds->Eof());
  ds->SetRecNo(0);  // the first record, then BOF
  EXPECT_EQ(ds->RecNo(), 1);
  EXPECT_TRUE(ds->Bof());
  ds->SetRecNo(5000);  // the last record, then EOF
  EXPECT_EQ(ds->RecNo(), kRows);
  EXPECT_TRUE(ds->Eof());
  ds->First();
  ExpectRow(ds, 1);
  EXPECT_EQ(ds->MoveBy(-1), 0);
  EXPECT_TRUE(ds->Bof());

  // Last fetches the rest at once; closing frees the cache.
  TCacheDataSet* last = OpenN(" order by ID desc");
  last->Last();
  EXPECT_EQ(last->FetchedCount(), kRows);
  ExpectRow(last, 1);
  last->Close();
  EXPECT_EQ(last->FetchedCount(), 0);
  EXPECT_EQ(last->RecordsCache(), nullptr);
  EXPECT_FALSE(last->SelectQuery()->Open());
  EXPECT_EQ(last->FieldCount(), 0);  // default fields go with the cursor
  last->Open();
  ExpectRow(last, kRows);
}

TEST_F(OpenNavigateTest, EmptyAndOneRowResults) {
  TCacheDataSet* empty = OpenN(" where ID < 0");
  EXPECT_TRUE(empty->Active());
  EXPECT_TRUE(empty->IsEmpty());
  empty->First();
  EXPECT_TRUE(empty->Bof());
  EXPECT_TRUE(empty->Eof());
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->RecNo(), 0);
  empty->Next();
  empty->Last();
  EXPECT_TRUE(empty->Bof() && empty->Eof());
  EXPECT_TRUE(empty->FieldByName("ID")->IsNull());
  EXPECT_TRUE(empty->GetBookmark().empty());
  EXPECT_NO_THROW(empty->Refresh());

  TCacheDataSet* one = OpenN(" where ID = 42");
  ExpectRow(one, 42);
  EXPECT_EQ(one->RecordCount(), 1);
  one->Next();
  EXPECT_TRUE(one->Eof());
  ExpectRow(one, 42);
  one->Prior();
  EXPECT_TRUE(one->Bof());
  one->Last();
  EXPECT_EQ(one->RecNo(), 1);
  EXPECT_EQ(one->RecordCount(), 1);
}

TEST_F(OpenNavigateTest, GetRecordAtTheEdgesAndPastHiddenRecords) {
  TCacheDataSet* ds = NewDataSet("select ID from N where ID <= 5 order by ID");
  ds->Open();
  ds->FetchAll();
  dstest::TBuffer b(ds);
  struct TCase {
    Integer From;
    TGetMode Mode;
    TGetResult Result;
    Integer To;  // the index after, and the record read for grOK
  } cases[] = {
      {-1, gmCurrent, grBOF, -1}, {5, gmCurrent, grOK, 4},  // past the last one: the one before
      {2, gmCurrent, grOK, 2},    {-1, gmNext, grOK, 0},    {4, gmNext, grEOF, 5}, {5, gmNext, grEOF, 5},
      {5, gmPrior, grOK, 4},      {0, gmPrior, grBOF, -1},  {-1, gmPrior, grBOF, -1}, {7, gmPrior, grError, 7},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.From) + " mode " + std::to_string(c.Mode));
    ds->SetCurrentIndex(c.From);
    EXPECT_EQ(ds->GetRecord(b.Get(), c.Mode, false), c.Result);
    EXPECT_EQ(ds->CurrentIndex(), c.To);
    if (c.Result == grOK) {
      EXPECT_EQ(b.Value<Integer>(0), c.To + 1);
    }
  }

  // Records of a status not shown are passed over in either direction.
  ds->ReadRecordFromCache(2, b.Get(), false);
  TFIBCustomDataSet::SetCachedStatus(b.Get(), cusDeleted);
  ds->WriteRecordToCache(2, b.Get());
  ds->SetCurrentIndex(1);
  EXPECT_EQ(ds->GetRecord(b.Get(), gmNext, false), grOK);
  EXPECT_EQ(b.Value<Integer>(0), 4);
  EXPECT_EQ(ds->GetRecord(b.Get(), gmPrior, false), grOK);
  EXPECT_EQ(b.Value<Integer>(0), 2);
  std::vector<int> ids;
  for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 4, 5}));
  ds->SetUpdateRecordTypes({cusDeleted});
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 3);
  ds->Next();
  EXPECT_TRUE(ds->Eof());
}

TEST_F(OpenNavigateTest, Bookmarks) {
  TCacheDataSet* ds = OpenN();
  // A window of 10 records, as a grid would show.
  TDataSource source(nullptr);
  source.SetDataSet(ds);
  TRecordingLink grid;
  grid.SetDataSource(&source);
  grid.SetBufferCount(10);

  ds->SetRecNo(120);
  ds->MoveBy(3);
  const int row = grid.ActiveRecord();
  EXPECT_EQ(row, 3);
  const TBookmark at120 = ds->GetBookmark();
  ASSERT_EQ(at120.size(), 8u);
  EXPECT_TRUE(ds->BookmarkValid(at120));
  ds->SetRecNo(40);
  const TBookmark at40 = ds->GetBookmark();
  EXPECT_EQ(ds->CompareBookmarks(at40, at120), -1);
  EXPECT_EQ(ds->CompareBookmarks(at120, at40), 1);
  EXPECT_EQ(ds->CompareBookmarks(at40, at40), 0);
  EXPECT_EQ(ds->CompareBookmarks(TBookmark(), at40), -1);
  EXPECT_EQ(ds->CompareBookmarks(TBookmark(), TBookmark()), 0);
  ds->Last();
  ds->GotoBookmark(at120);
  ExpectRow(ds, 123);
  EXPECT_EQ(grid.ActiveRecord(), row);  // the record comes back to its row

  // A bookmark of no record is ignored: the position stays.
  TBookmark bogus = at120;
  bogus[3] = '\x7f';
  EXPECT_FALSE(ds->BookmarkValid(bogus));
  EXPECT_NO_THROW(ds->GotoBookmark(bogus));
  ExpectRow(ds, 123);
  ds->Next();
  ExpectRow(ds, 124);  // and the next move is not swallowed
  EXPECT_THROW(ds->GotoBookmark(TBookmark(3, 'x')), EDatabaseError);  // not of this dataset

  // GetCurrentRecord copies the cached record.
  dstest::TBuffer copy(ds);
  EXPECT_TRUE(ds->GetCurrentRecord(copy.Get()));
  EXPECT_EQ(copy.Value<Integer>(0), 124);
  grid.SetDataSource(nullptr);
}

TEST_F(OpenNavigateTest, MovingARecordAndUniDirectionalReading) {
  TCacheDataSet* ds = NewDataSet("select ID from N where ID <= 5 order by ID");
  ds->Open();
  ds->MoveRecord(1, 3);  // fetches what it needs
  std::vector<int> ids;
  for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
  EXPECT_EQ(ids, (std::vector<int>{2, 3, 1, 4, 5}));
  ds->MoveRecord(5, 0);  // below 1 counts as 1
  ds->First();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 5);
  EXPECT_THROW(ds->MoveRecord(9, 1), EMemManagerError);

  // Forward only: records share the ring of BufferChunks cache slots.
  TCacheDataSet* uni = NewDataSet("select ID, V40 from N order by ID");
  uni->SetUniDirectional(true);
  uni->SetBufferChunks(32);
  uni->Open();
  int seen = 0;
  for (; !uni->Eof(); uni->Next()) {
    ++seen;
    ASSERT_EQ(uni->FieldByName("ID")->AsInteger(), seen);
    EXPECT_EQ(uni->FieldByName("V40")->AsString(), NullRow(seen) ? String() : V40Of(seen));
  }
  EXPECT_EQ(seen, kRows);
  EXPECT_EQ(uni->RecordsCache()->RecordCount(), 32);
  EXPECT_EQ(uni->CacheRecordNo(5), uni->CacheRecordNo(5 + 32));
  EXPECT_EQ(uni->RecordCount(), 32);
  EXPECT_THROW(uni->Prior(), EDatabaseError);
}

TEST_F(OpenNavigateTest, RefreshReadsTheActiveRecordAgain) {
  TCacheDataSet* ds = NewDataSet("select ID, V40, N92 from N where ID between 1 and 10 order by ID");
  ds->SetName("Refreshed");
  ds->Open();
  ds->SetRecNo(3);
  // No refresh statement: the record cannot be read again.
  String text;
  EXPECT_EQ(ClientError([&] { ds->Refresh(); }, &text), fceCannotRefreshRow);
  EXPECT_NE(text.find("Can't refresh row. (Refreshed)"), String::npos) << text;

  ds->RefreshSQL()->SetText("select ID, N92, V40 from N where ID = ?OLD_ID");
  TFIBTransaction* tr = ds->Transaction();
  fbtest::ExecSQL(tr, "update N set V40 = 'changed', N92 = 0.29 where ID = 3");
  std::vector<String> events;
  ds->SetBeforeRefresh({form_, [&](TDataSet*) { events.push_back("before"); }});
  ds->SetAfterRefresh({form_, [&](TDataSet*) { events.push_back("after"); }});
  ds->Refresh();
  EXPECT_EQ(events, (std::vector<String>{"before", "after"}));
  EXPECT_EQ(ds->RecNo(), 3);
  EXPECT_EQ(ds->FieldByName("V40")->AsString(), "changed");
  EXPECT_EQ(ds->FieldByName("N92")->AsFloat(), 0.29);
  ds->Prior();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);

  // A record gone on the server: an error, or with poRefreshDeletedRecord
  // the record leaves the dataset.
  ds->Next();
  fbtest::ExecSQL(tr, "delete from N where ID = 3");
  EXPECT_EQ(ClientError([&] { ds->Refresh(); }), fceCannotRefreshRow);
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poRefreshDeletedRecord});
  ds->Last();
  ds->SetRecNo(3);
  ds->Refresh();
  EXPECT_EQ(ds->RecordCount(), 9);
  std::vector<int> ids;
  for (ds->First(); !ds->Eof(); ds->Next()) ids.push_back(ds->FieldByName("ID")->AsInteger());
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 4, 5, 6, 7, 8, 9, 10}));
  tr->Rollback();
}

TEST_F(OpenNavigateTest, MasterValuesFillTheDetailsParameters) {
  auto* master = NewDataSet("select ID, NAME, NOTE from M order by ID");
  master->Open();
  auto* source = new TDataSource(form_);
  source->SetDataSet(master);
  auto ids = [](TDataSet* ds) {
    std::vector<int> out;
    for (ds->First(); !ds->Eof(); ds->Next()) out.push_back(ds->FieldByName("ID")->AsInteger());
    return out;
  };

  struct TCase {
    const char* SQL;
  } cases[] = {{"select ID from D where MID = ?ID order by ID"}, {"select ID from D where MID = :MAS_ID order by ID"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.SQL);
    TCacheDataSet* detail = NewDataSet(c.SQL);
    detail->SetDataSource(source);
    master->First();
    detail->Open();
    EXPECT_EQ(ids(detail), (std::vector<int>{10, 11}));
    EXPECT_FALSE(detail->SetParamsFromMaster());
    // Not following the master, the detail sees its parameters change.
    detail->DisableMasterRefresh();
    master->Next();
    EXPECT_TRUE(detail->SetParamsFromMaster());
    detail->EnableMasterRefresh();
    detail->Close();
    detail->Open();
    EXPECT_EQ(ids(detail), (std::vector<int>{20}));
    EXPECT_FALSE(detail->SetParamsFromMaster());
    master->Next();
    EXPECT_TRUE(detail->IsEmpty());
    detail->Close();
  }

  // A parameter without a master field keeps its value; a master field of a
  // type parameters cannot take is client error 1.
  TCacheDataSet* own = NewDataSet("select ID from D where MID = ?PID order by ID");
  own->SetDataSource(source);
  own->Params()->ByName("PID")->SetAsInteger(1);
  own->Open();
  EXPECT_EQ(ids(own), (std::vector<int>{10, 11}));
  TCacheDataSet* memo = NewDataSet("select ID from D where TXT = ?NOTE");
  memo->SetName("ByNote");
  memo->SetDataSource(source);
  String text;
  EXPECT_EQ(ClientError([&] { memo->Open(); }, &text), fceUnsupportedFeature);
  EXPECT_EQ(text, "Unsupported feature.");
  EXPECT_FALSE(memo->Active());
}

TEST_F(OpenNavigateTest, ErrorsLeaveTheDataSetClosedAndReusable) {
  // Bad SQL: the server's error; fixed, the same dataset opens.
  TCacheDataSet* ds = NewDataSet("select NOPE from N");
  EXPECT_THROW(ds->Open(), EFIBInterBaseError);
  EXPECT_FALSE(ds->Active());
  EXPECT_FALSE(ds->Prepared());
  ds->SelectSQL()->SetText("select ID from N where ID = 1");
  ds->Open();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  ds->Close();
  EXPECT_TRUE(ds->SelectQuery()->Prepared());
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poFreeHandlesAfterClose});
  ds->Open();
  ds->Close();
  EXPECT_FALSE(ds->SelectQuery()->Prepared());
  EXPECT_FALSE(ds->Prepared());

  // No database, no transaction.
  auto* nodb = new TCacheDataSet(form_);
  nodb->SelectSQL()->SetText("select ID from N");
  EXPECT_EQ(ClientError([&] { nodb->Open(); }), fceDatabaseNotAssigned);
  EXPECT_FALSE(nodb->Active());
  TFIBDatabase* bare = fbtest::NewFIBDatabase(form_, file_->Path());
  bare->Connect();
  nodb->SetDatabase(bare);
  EXPECT_EQ(ClientError([&] { nodb->Open(); }), fceTransactionNotAssigned);
  EXPECT_FALSE(nodb->Active());
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(bare);
  nodb->SetTransaction(tr);
  nodb->Open();
  EXPECT_TRUE(nodb->Active());
  nodb->Close();

  // A statement without rows runs once; the dataset stays closed.
  TCacheDataSet* proc = NewDataSet("execute procedure P_LOG");
  proc->Open();
  EXPECT_FALSE(proc->Active());
  EXPECT_EQ(proc->FieldCount(), 0);
  TCacheDataSet* count = NewDataSet("select count(*) from LOGT");
  count->Open();
  EXPECT_EQ(count->Fields()->Fields(0)->AsInteger(), 1);
  db_->DefaultTransaction()->Rollback();
}

TEST_F(OpenNavigateTest, GetRecordErrorsGoToTheHandler) {
  // The fetch of row 150 fails (division by zero).
  const String sql = "select ID, 100 / (ID - 150) as Q from N order by ID";
  struct TCase {
    TDataAction Action;
    const char* Expect;
  } cases[] = {{daFail, "raise"}, {daAbort, "abort"}, {daRetry, "eof"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Expect);
    TCacheDataSet* ds = NewDataSet(sql);
    int calls = 0;
    ds->SetOnGetRecordError({form_, [&](TDataSet*, EDatabaseError* E, TDataAction& Action) {
                               ++calls;
                               EXPECT_NE(dynamic_cast<EFIBInterBaseError*>(E), nullptr);
                               EXPECT_EQ(Action, daFail);
                               Action = c.Action;
                             }});
    ds->Open();
    ds->MoveBy(147);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 148);
    ds->Next();
    String outcome;
    try {
      ds->Next();
      outcome = ds->Eof() ? "eof" : "moved";
    } catch (const EAbort&) {
      outcome = "abort";
    } catch (const EFIBInterBaseError&) {
      outcome = "raise";
    }
    EXPECT_EQ(outcome, c.Expect);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 149);
    ds->Close();
    db_->DefaultTransaction()->Rollback();
  }
  // Without a handler the error goes to the caller.
  TCacheDataSet* plain = NewDataSet(sql);
  plain->Open();
  EXPECT_THROW(plain->Last(), EFIBInterBaseError);
}

TEST_F(OpenNavigateTest, EventDispatchersInTheirOrder) {
  TCacheDataSet* ds = NewDataSet("select ID, C10 from N where ID <= 3 order by ID");
  ds->SetName("Ev");
  std::vector<String> log;
  auto note = [&](const char* What) { return TDataSetNotifyEvent{form_, [&log, What](TDataSet*) { log.push_back(What); }}; };
  ds->SetBeforeOpen(note("BeforeOpen"));
  ds->SetAfterOpen(note("AfterOpen"));
  ds->SetBeforeScroll(note("BeforeScroll"));
  ds->SetAfterScroll(note("AfterScroll"));
  ds->SetBeforeClose(note("BeforeClose"));
  ds->SetAfterClose(note("AfterClose"));
  ds->SetOnDisableControls(note("DisableControls"));
  ds->SetOnEnableControls(note("EnableControls"));
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poFetchAll});
  ds->Open();
  // poFetchAll moves the dataset itself: no scroll events for it.
  EXPECT_EQ(log, (std::vector<String>{"BeforeOpen", "AfterOpen", "DisableControls", "EnableControls",
                                      "AfterScroll"}));
  EXPECT_EQ(ds->FetchedCount(), 3);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  log.clear();
  ds->Next();
  ds->Close();
  EXPECT_EQ(log, (std::vector<String>{"BeforeScroll", "AfterScroll", "BeforeClose", "AfterClose"}));

  // OnFieldChange comes before the field's own change notice.
  ds->UpdateSQL()->SetText("update N set C10 = ?C10 where ID = ?OLD_ID");
  ds->SetOptions(ds->Options() - TpFIBDsOptions{poFetchAll});
  ds->Open();
  log.clear();
  ds->SetOnFieldChange({form_, [&](TField* F) { log.push_back("FieldChange " + F->FieldName()); }});
  ds->FieldByName("C10")->SetOnChange({form_, [&](TField*) { log.push_back("Change"); }});
  ds->Edit();
  ds->FieldByName("C10")->SetAsString("x");
  EXPECT_EQ(log, (std::vector<String>{"FieldChange C10", "Change"}));
  ds->Cancel();

  // A before-event that closes the dataset stops the operation.
  String text;
  ds->SetBeforeEdit({form_, [&](TDataSet* D) { D->Close(); }});
  EXPECT_EQ(ClientError([&] { ds->Edit(); }, &text), fceDatasetClosed);
  EXPECT_NE(text.find("Can't continue after BeforeEdit because Ev dataset closed."), String::npos) << text;
  EXPECT_FALSE(ds->Active());

  // OnEndScroll once scrolling stopped.
  int ended = 0;
  TCacheDataSet* scrolled = NewDataSet("select ID from N where ID <= 5 order by ID");
  scrolled->SetOnEndScroll({form_, [&](TDataSet*) { ++ended; }});
  scrolled->Open();
  scrolled->Next();
  scrolled->Next();
  fbtest::PumpMainThread(std::chrono::milliseconds(3000), [&] { return ended > 0; });
  EXPECT_EQ(ended, 1);
}

TEST_F(OpenNavigateTest, DataLinksSeeTheProtocolsEvents) {
  // The same operations on an in-memory dataset of the platform and on a
  // Firebird dataset give the links the same events.
  auto run = [](TDataSet* ds) {
    TDataSource source(nullptr);
    source.SetDataSet(ds);
    TRecordingLink link;
    link.SetDataSource(&source);
    link.SetBufferCount(3);
    link.Log.clear();
    ds->Open();
    ds->Next();
    ds->Next();
    ds->Next();
    ds->Prior();
    ds->Last();
    ds->Refresh();
    ds->First();
    ds->Close();
    link.SetDataSource(nullptr);
    return link.Log;
  };
  auto mem = std::make_unique<TMemDataSet>(nullptr);
  mem->FieldDefs()->Add("ID", ftInteger);
  mem->Open();
  for (int i = 1; i <= 6; ++i) {
    mem->Append();
    mem->FieldByName("ID")->SetAsInteger(i);
    mem->Post();
  }
  mem->Close();
  TCacheDataSet* ds = NewDataSet("select ID from N where ID <= 6 order by ID");
  ds->RefreshSQL()->SetText("select ID from N where ID = ?ID");
  const Log expected{"ActiveChanged(on)",  "CheckBrowseMode", "DataSetScrolled(0)", "CheckBrowseMode",
                     "DataSetScrolled(0)", "CheckBrowseMode", "DataSetScrolled(1)", "CheckBrowseMode",
                     "DataSetScrolled(0)", "CheckBrowseMode", "DataSetChanged",     "CheckBrowseMode",
                     "DataSetChanged",     "CheckBrowseMode", "DataSetChanged",     "ActiveChanged(off)"};
  EXPECT_EQ(run(mem.get()), expected);
  EXPECT_EQ(run(ds), expected);
}

TEST_F(OpenNavigateTest, FieldValuesInEveryState) {
  TCacheDataSet* ds = NewDataSet("select ID, N42, C10, V40 from N where ID <= 3 order by ID");
  ds->UpdateSQL()->SetText("update N set N42 = ?N42 where ID = ?OLD_ID");
  ds->InsertSQL()->SetText("insert into N (ID) values (?ID)");
  int calculated = 0;
  AddCalculatedField(ds, "TWICE", [&](TDataSet* D) {
    ++calculated;
    D->FieldByName("TWICE")->SetAsInteger(D->FieldByName("ID")->AsInteger() * 2);
  });
  ds->Open();
  EXPECT_EQ(ds->FieldByName("TWICE")->AsInteger(), 2);
  ds->Next();
  EXPECT_EQ(ds->FieldByName("TWICE")->AsInteger(), 4);

  // Edit: new values in the buffer, the old ones from the cache.
  ds->Edit();
  TField* n42 = ds->FieldByName("N42");
  n42->SetAsFloat(12.345);  // NUMERIC(4,2): stored rounded as 1235
  EXPECT_EQ(n42->AsFloat(), 12.35);
  EXPECT_EQ(n42->OldValue().AsDouble(), 0.02);
  EXPECT_EQ(n42->NewValue().AsDouble(), 12.35);
  EXPECT_EQ(ds->FieldByName("TWICE")->OldValue().AsInteger(), 4);
  EXPECT_EQ(ds->FieldValue("N42", true).AsDouble(), 0.02);
  EXPECT_EQ(ds->FieldValue("N42", false).AsDouble(), 12.35);
  ds->FieldByName("C10")->SetAsString("ab        ");
  EXPECT_EQ(ds->FieldByName("C10")->AsString(), "ab");
  ds->Cancel();
  EXPECT_EQ(n42->AsFloat(), 0.02);

  // Insert: no old values.
  ds->Insert();
  EXPECT_TRUE(VarIsClear(ds->FieldByName("ID")->OldValue()));
  EXPECT_TRUE(VarIsClear(ds->FieldByName("TWICE")->OldValue()));
  ds->FieldByName("ID")->SetAsInteger(99);
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 99);
  EXPECT_EQ(ds->FieldByName("TWICE")->AsInteger(), 198);
  ds->Cancel();
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 2);
  EXPECT_GT(calculated, 0);

  // On an attachment of a one-byte character set: blanks of a CHAR column
  // are kept without poTrimCharFields.
  TFIBDatabase* win = Connect("WIN1251");
  for (bool trim : {true, false}) {
    TCacheDataSet* raw = NewDataSet("select W10 from S", win);
    if (!trim) raw->SetOptions(raw->Options() - TpFIBDsOptions{poTrimCharFields});
    raw->Open();
    EXPECT_EQ(raw->FieldByName("W10")->AsString(), trim ? "ab" : "ab        ");
  }

  // An empty text is NULL, unless the column is NOT NULL.
  TCacheDataSet* s = NewDataSet("select ID, NN, NU from S", win);
  s->UpdateSQL()->SetText("update S set NN = ?NN, NU = ?NU where ID = ?OLD_ID");
  s->Open();
  s->Edit();
  s->FieldByName("NN")->SetAsString("");
  s->FieldByName("NU")->SetAsString("");
  EXPECT_FALSE(s->FieldByName("NN")->IsNull());
  EXPECT_TRUE(s->FieldByName("NU")->IsNull());
  s->Cancel();
}

TEST_F(OpenNavigateTest, LookupFieldsAndFieldOrigins) {
  TCacheDataSet* names = NewDataSet("select ID, NAME from M order by ID");
  names->Open();
  TCacheDataSet* ds = NewDataSet("select d.ID, d.MID, d.TXT from D d order by d.ID");
  ds->Prepare();
  for (int i = 0; i < ds->FieldDefs()->Count(); ++i) ds->FieldDefs()->Items(i)->CreateField(ds);
  auto* master = new TStringField(ds);
  master->SetFieldName("MASTER");
  master->SetSize(20);
  master->SetFieldKind(fkLookup);
  master->SetLookupDataSet(names);
  master->SetKeyFields("MID");
  master->SetLookupKeyFields("ID");
  master->SetLookupResultField("NAME");
  master->SetDataSet(ds);
  ds->Open();
  std::vector<String> seen;
  for (ds->First(); !ds->Eof(); ds->Next()) seen.push_back(ds->FieldByName("MASTER")->AsString());
  EXPECT_EQ(seen, (std::vector<String>{"first", "first", "second"}));

  EXPECT_EQ(ds->FieldByName("MID")->Origin(), "D.MID");
  EXPECT_EQ(ds->GetFieldRelationName(master), "M");
  EXPECT_EQ(ds->GetFieldSQLName(master), "NAME");
  ds->SetFieldOriginRule(forClientFieldName);
  EXPECT_EQ(ds->GetFieldOriginByRule(ds->FieldByName("MID")), "MID");
  ds->SetFieldOriginRule(forTableAliasAndFieldName);
  EXPECT_EQ(ds->GetFieldOriginByRule(ds->FieldByName("MID")), "D.MID");
  ds->SetFieldOriginRule(forNoRule);
  EXPECT_EQ(ds->GetFieldOriginByRule(ds->FieldByName("MID")), "");

  // The dataset as an SQL object: a statement's parameters from its fields.
  ds->First();
  auto q = std::make_unique<TFIBQuery>(nullptr);
  q->SetDatabase(db_);
  q->SQL()->SetText("select NAME from M where ID = ?MID");
  ISQLObject* sources[] = {ds};
  AssignParamsFromSources(q.get(), sources);
  EXPECT_EQ(q->ParamByName("MID")->AsInteger(), 1);
  Integer index;
  EXPECT_TRUE(ds->FieldExist("TXT", index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(ds->FieldName(2), "TXT");
}

}  // namespace
