// Applying cached updates through TpFIBDataSet, record by record and in
// EXECUTE BLOCK batches, against the rows the server holds afterwards.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

// How a dataset writes its records.
enum class TWriting { HandWritten, Generated, GeneratedModifiedOnly, Batch, BatchModifiedOnly };

const char* WritingName(TWriting W) {
  switch (W) {
    case TWriting::HandWritten: return "hand-written";
    case TWriting::Generated: return "generated";
    case TWriting::GeneratedModifiedOnly: return "generated, modified fields only";
    case TWriting::Batch: return "batch";
    default: return "batch, modified fields only";
  }
}

// The cached status of record Number in the cache.
TCachedUpdateStatus StatusAt(TFIBCustomDataSet* DataSet, Integer Number) {
  return static_cast<TCachedUpdateStatus>(DataSet->RecordsCache()->GetRecordPtr(DataSet->CacheRecordNo(Number))[0] &
                                          0x07);
}

// One letter per fetched record: U unmodified, M modified, I inserted, D
// deleted, X cancelled insert, A applied delete.
String Statuses(TFIBCustomDataSet* DataSet) {
  String result;
  for (Integer n = 0; n < DataSet->FetchedCount(); ++n) result += "UMIDXA"[StatusAt(DataSet, n)];
  return result;
}

// The EXECUTE BLOCK texts a dataset runs, as its update statement runs them.
class TBlockLog {
 public:
  explicit TBlockLog(TpFIBDataSet* DataSet) {
    TFIBQuery* query = DataSet->UpdateQuery();
    query->SetBeforeExecute([this, query](TObject*) {
      const String text = query->SQL()->Text();
      if (text.starts_with("EXECUTE BLOCK AS BEGIN\r\n")) blocks.push_back(text);
    });
  }
  // The statements of a block, each with its ";", as the block holds them.
  static std::vector<String> Statements(const String& Block) {
    std::vector<String> result;
    String statement;
    size_t from = Block.find("\r\n") + 2;
    for (size_t to; (to = Block.find("\r\n", from)) != String::npos; from = to + 2) {
      const String line = Block.substr(from, to - from);
      statement += (statement.empty() ? "" : "\r\n") + line;
      if (line.ends_with(";")) {
        result.push_back(statement);
        statement.clear();
      }
    }
    EXPECT_EQ(statement, "END") << "a block ends with END";
    return result;
  }

  std::vector<String> blocks;
};

class ApplyUpdatesTest : public dstest::TExtendedDataSetSuite<ApplyUpdatesTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table A (ID integer not null primary key, NAME varchar(40), N integer check (N is null or N >= 0))",
            "create table M (ID integer not null primary key, NAME varchar(40))",
            "create table L (ID integer not null primary key, TXT varchar(4000))",
            "create table K (CODE varchar(20) not null primary key, \"it's\" integer)",
            "create table V (ID integer not null primary key, TXT varchar(60), W varchar(20) character set WIN1251, "
            "AMOUNT numeric(18,4), SMALLN numeric(9,2), R numeric(18,6), D date, T time, TS timestamp, "
            "F double precision, FL float, OK boolean, BIN char(4) character set octets, NOTE blob sub_type text)"};
  }

 protected:
  void SetUp() override {
    TExtendedDataSetSuite::SetUp();
    file_->Exec({"delete from A", "delete from M", "delete from L", "delete from K", "delete from V",
                 "insert into A values (1, 'one', 1)", "insert into A values (2, 'two', 2)",
                 "insert into A values (3, 'three', 3)", "insert into A values (4, 'four', 4)",
                 "execute block as declare i integer = 1; begin while (i <= 300) do begin "
                 "insert into M values (:i, 'name ' || :i); i = i + 1; end end",
                 "execute block as declare i integer = 1; begin while (i <= 60) do begin "
                 "insert into L values (:i, 'x'); i = i + 1; end end",
                 "insert into K values ('O''Brien', 1)", "insert into K values ('x''y', 2)",
                 "insert into V (ID, TXT, BIN) values (1, 'first', x'00FF2741')", "insert into V (ID, TXT) values (2, 'second')"});
  }
  void TearDown() override {
    if (update_tr_ != nullptr && update_tr_->Active()) update_tr_->Rollback();
    TExtendedDataSetSuite::TearDown();
  }

  // A cached-updates dataset over Select that writes Table (key Key) as
  // Writing says.
  TpFIBDataSet* NewDataSet(const String& Select, const String& Table, TWriting Writing, const String& Key = "ID") {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(Select);
    ds->SetCachedUpdates(true);
    if (Writing == TWriting::HandWritten) {
      ds->UpdateSQL()->SetText("update " + Table + " set ID = ?ID, NAME = ?NAME, N = ?N where ID = ?OLD_ID");
      ds->InsertSQL()->SetText("insert into " + Table + " (ID, NAME, N) values (?ID, ?NAME, ?N)");
      ds->DeleteSQL()->SetText("delete from " + Table + " where ID = ?OLD_ID");
      return ds;
    }
    TAutoUpdateOptions* options = ds->AutoUpdateOptions();
    options->SetUpdateTableName(Table);
    options->SetKeyFields(Key);
    options->SetAutoReWriteSqls(true);
    options->SetCanChangeSQLs(true);
    options->SetUpdateOnlyModifiedFields(Writing == TWriting::GeneratedModifiedOnly ||
                                         Writing == TWriting::BatchModifiedOnly);
    options->SetUseExecuteBlock(Writing == TWriting::Batch || Writing == TWriting::BatchModifiedOnly);
    return ds;
  }
  TpFIBDataSet* OpenA(TWriting Writing) {
    TpFIBDataSet* ds = NewDataSet("select ID, NAME, N from A order by ID", "A", Writing);
    ds->Open();
    ds->FetchAll();
    return ds;
  }
  // A separate update transaction that AutoCommit commits hard.
  TFIBTransaction* SeparateUpdateTransaction(TpFIBDataSet* DataSet) {
    update_tr_ = new TFIBTransaction(form_);
    update_tr_->SetDefaultDatabase(db_);
    DataSet->SetUpdateTransaction(update_tr_);
    return update_tr_;
  }

  // The rows of Select, columns joined by "|" (NULL as "<null>") and rows by
  // blanks, seen by Transaction (the committed rows without one).
  String Rows(const String& Select, TFIBTransaction* Transaction = nullptr) {
    // Components go through delete (their BeforeDestruction).
    std::unique_ptr<TFIBTransaction> own(new TFIBTransaction(nullptr));
    own->SetDefaultDatabase(db_);
    TFIBTransaction* tr = Transaction != nullptr ? Transaction : own.get();
    if (!tr->Active()) tr->StartTransaction();
    TFIBQuery q(nullptr);
    q.SetDatabase(db_);
    q.SetTransaction(tr);
    q.SQL()->SetText(Select);
    q.ExecQuery();
    String rows;
    for (; !q.Eof(); q.Next()) {
      String row;
      for (Integer i = 0; i < q.Fields()->Count(); ++i) {
        TFIBXSQLVAR* v = q.Fields()->Vars(i);
        row += (i > 0 ? "|" : "") + (v->IsNull() ? String("<null>") : v->AsString());
      }
      rows += (rows.empty() ? "" : " ") + row;
    }
    q.Close();
    if (tr == own.get()) own->Rollback();
    return rows;
  }
  String RowsOfA(TFIBTransaction* Transaction = nullptr) {
    return Rows("select ID, NAME, N from A order by ID", Transaction);
  }

  static void Edit(TDataSet* DataSet, const char* Field, const String& Value) {
    DataSet->Edit();
    DataSet->FieldByName(Field)->SetAsString(Value);
    DataSet->Post();
  }

  TFIBTransaction* update_tr_ = nullptr;
};

// ===========================================================================
// EXECUTE BLOCK batches

TEST_F(ApplyUpdatesTest, ThreeHundredRecordsRunInBlocksOfAtMost255Statements) {
  // The server takes 256 table contexts in a block, two for each update.
  struct TCase {
    TUpdateKind Kind;
    std::vector<size_t> Blocks;
    const char* Rows;  // count, least and greatest ID, names written
    char Status;
  };
  const TCase cases[] = {{ukInsert, {255, 45}, "600|1|1300|300", 'U'},
                         {ukDelete, {255, 45}, "0|<null>|<null>|0", 'A'},
                         {ukModify, {128, 128, 44}, "300|1|300|300", 'U'}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Kind));
    TpFIBDataSet* ds = NewDataSet("select ID, NAME from M order by ID", "M", TWriting::Batch);
    ds->Open();
    ds->FetchAll();
    const String updateSQL = ds->UpdateSQL()->Text();
    TBlockLog log(ds);
    for (Integer i = 1; i <= 300; ++i) {
      if (c.Kind == ukInsert) {
        ds->Append();
        ds->FieldByName("ID")->SetAsInteger(1000 + i);
        ds->FieldByName("NAME")->SetAsString("new " + std::to_string(1000 + i));
        ds->Post();
      } else if (c.Kind == ukDelete) {
        ds->First();
        ds->Delete();
      } else {
        ds->SetRecNo(i);
        Edit(ds, "NAME", "new " + std::to_string(i));
      }
    }
    ASSERT_EQ(ds->ChangedCount(), 300);
    ds->ApplyUpdates();

    std::vector<size_t> blocks;
    for (const String& block : log.blocks) blocks.push_back(TBlockLog::Statements(block).size());
    EXPECT_EQ(blocks, c.Blocks);
    if (c.Kind == ukModify) {
      EXPECT_EQ(TBlockLog::Statements(log.blocks[1])[0], "Update M M Set\r\n ID=129,\r\n NAME='new 129'\r\nwhere M.ID=129;");
    }
    EXPECT_EQ(Rows("select count(*), min(ID), max(ID), (select count(*) from M where NAME = 'new ' || ID) from M",
                   db_->DefaultTransaction()),
              c.Rows);
    const String statuses = Statuses(ds);
    EXPECT_EQ(statuses.find_first_not_of(c.Status, c.Kind == ukInsert ? 300 : 0), String::npos) << statuses;
    EXPECT_FALSE(ds->UpdatesPending());
    EXPECT_EQ(ds->ChangedCount(), 0);
    EXPECT_EQ(ds->UpdateSQL()->Text(), updateSQL) << "the update statement keeps its own text";
    db_->DefaultTransaction()->Rollback();
  }
}

TEST_F(ApplyUpdatesTest, ABlockClosesBeforeItsTextReaches65532Bytes) {
  TpFIBDataSet* ds = NewDataSet("select ID, TXT from L order by ID", "L", TWriting::Batch);
  ds->Open();
  TBlockLog log(ds);
  for (ds->First(); !ds->Eof(); ds->Next()) {
    const Integer id = ds->FieldByName("ID")->AsInteger();
    Edit(ds, "TXT", std::string(3000, static_cast<char>('a' + id % 26)) + "'" + std::to_string(id));
  }
  ds->ApplyUpdates();

  ASSERT_GE(log.blocks.size(), 3u);
  size_t statements = 0;
  for (size_t b = 0; b < log.blocks.size(); ++b) {
    SCOPED_TRACE(b);
    const String& block = log.blocks[b];
    const std::vector<String> list = TBlockLog::Statements(block);
    statements += list.size();
    EXPECT_LT(list.size(), 255u);
    // The text up to END, each line with its line break.
    const size_t length = block.size() - std::string("END\r\n").size();
    EXPECT_LT(length, 65532u);
    // Closed only when the next statement would not have fitted.
    if (b + 1 < log.blocks.size()) {
      EXPECT_GE(length + TBlockLog::Statements(log.blocks[b + 1])[0].size() + 2, 65532u);
    }
  }
  EXPECT_EQ(statements, 60u);
  EXPECT_EQ(Rows("select count(*) from L where TXT = lpad('', 3000, ascii_char(97 + mod(ID, 26))) || '''' || ID",
                 db_->DefaultTransaction()),
            "60");
  EXPECT_EQ(Statuses(ds), String(60, 'U'));
}

// The format settings' decimal separator for the life of the object.
class TDecimalSeparator {
 public:
  explicit TDecimalSeparator(char Separator) : saved_(FormatSettings.DecimalSeparator) {
    FormatSettings.DecimalSeparator = Separator;
  }
  ~TDecimalSeparator() { FormatSettings.DecimalSeparator = saved_; }

 private:
  char saved_;
};

TEST_F(ApplyUpdatesTest, LiteralsRoundTripExactlyUnderACommaLocale) {
  TDecimalSeparator comma(',');
  TpFIBDataSet* ds = NewDataSet("select * from V order by ID", "V", TWriting::Batch);
  ds->Open();
  TBlockLog log(ds);
  const String hostile = "O'Brien ''x'' @a :b ?c -- /* ') ; end";
  const String unicode = "Привет, мир — ünïcødé 😀";
  // Read as the server has it, written back with the record.
  const String bytes("\0\xff'A", 4);
  auto field = [&](const char* Name) { return ds->FieldByName(Name); };

  // Record 1 changes every value; its key condition takes the old ID.
  ds->Edit();
  field("ID")->SetAsInteger(10);
  field("TXT")->SetAsString(hostile);
  field("W")->SetAsString("Привет");
  field("AMOUNT")->SetAsString("12345678901234,5678");
  field("SMALLN")->SetAsFloat(1234567.89);
  field("R")->SetAsFloat(123.456789);
  field("D")->SetAsDateTime(EncodeDate(2026, 1, 31));
  field("T")->SetAsDateTime(EncodeTime(13, 45, 0, 123));
  field("TS")->SetAsDateTime(EncodeDate(2026, 1, 31) + EncodeTime(13, 45, 0, 123));
  field("F")->SetAsFloat(0.1);
  field("FL")->SetAsFloat(1.1);
  field("OK")->SetAsBoolean(true);
  ds->Post();
  // Record 2 goes; record 3 takes the extremes; record 4 is NULL but its key.
  ds->Next();
  ds->Delete();
  ds->Append();
  field("ID")->SetAsInteger(3);
  field("TXT")->SetAsString(unicode);
  dynamic_cast<TFIBBCDField*>(field("AMOUNT"))->SetScaled(INT64_MIN);
  field("SMALLN")->SetAsFloat(-0.05);
  field("D")->SetAsDateTime(EncodeDate(1, 1, 1));
  field("T")->SetAsDateTime((23 * 3600 + 59 * 60 + 59.9999) / 86400.0);
  field("TS")->SetAsDateTime(EncodeDate(2026, 1, 31) + (13 * 3600 + 45 * 60 + 0.1234) / 86400.0);
  field("F")->SetAsFloat(-1e-300);
  field("FL")->SetAsFloat(-2e38);
  field("OK")->SetAsBoolean(false);
  ds->Post();
  ds->Append();
  field("ID")->SetAsInteger(4);
  ds->Post();
  ds->ApplyUpdates();

  ASSERT_EQ(log.blocks.size(), 1u);
  EXPECT_EQ(TBlockLog::Statements(log.blocks[0]).size(), 4u);
  EXPECT_EQ(Statuses(ds), "UAUU");
  TFIBTransaction* tr = db_->DefaultTransaction();
  EXPECT_EQ(Rows("select ID, TXT, W, cast(AMOUNT as varchar(30)), cast(SMALLN as varchar(20)), "
                 "cast(R as varchar(30)), cast(D as varchar(10)), cast(T as varchar(13)), cast(TS as varchar(24)), "
                 "cast(OK as varchar(5)), BIN from V order by ID",
                 tr),
            "3|" + unicode +
                "|<null>|-922337203685477.5808|-0.05|<null>|0001-01-01|23:59:59.9999|2026-01-31 13:45:00.1234|FALSE|"
                "<null> "
                "4|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null>|<null> "
                "10|" +
                hostile + "|Привет|12345678901234.5678|1234567.89|123.456789|2026-01-31|13:45:00.1230|" +
                "2026-01-31 13:45:00.1230|TRUE|" + bytes);
  // Binary floating values compare as the server holds them.
  TFIBQuery q(nullptr);
  q.SetDatabase(db_);
  q.SetTransaction(tr);
  q.SQL()->SetText("select F, FL from V where ID in (3, 10) order by ID");
  q.ExecQuery();
  EXPECT_EQ(q.Fields()->Vars(0)->AsDouble(), -1e-300);
  EXPECT_EQ(q.Fields()->Vars(1)->AsDouble(), static_cast<double>(-2e38f));
  q.Next();
  EXPECT_EQ(q.Fields()->Vars(0)->AsDouble(), 0.1);
  EXPECT_EQ(q.Fields()->Vars(1)->AsDouble(), static_cast<double>(1.1f));
  q.Close();

  // Keys and names with quotes: the old key finds the row, the quoted
  // column name stays a name.
  TpFIBDataSet* k = NewDataSet("select CODE, \"it's\" from K order by CODE", "K", TWriting::Batch, "CODE");
  k->Open();
  TBlockLog keys(k);
  k->Edit();
  k->FieldByName("CODE")->SetAsString("D'Arcy'; --");
  k->FieldByName("it's")->SetAsInteger(7);
  k->Post();
  k->Next();
  k->Delete();
  k->ApplyUpdates();
  ASSERT_EQ(keys.blocks.size(), 1u);
  EXPECT_EQ(TBlockLog::Statements(keys.blocks[0])[0],
            "Update K K Set\r\n CODE='D''Arcy''; --',\r\n \"it's\"=7\r\nwhere K.CODE='O''Brien';");
  EXPECT_EQ(Rows("select CODE, \"it's\" from K order by CODE", tr), "D'Arcy'; --|7");
}

TEST_F(ApplyUpdatesTest, ABlobValueSendsItsRecordThroughItsStatement) {
  for (TWriting writing : {TWriting::Batch, TWriting::BatchModifiedOnly}) {
    SCOPED_TRACE(WritingName(writing));
    TpFIBDataSet* ds = NewDataSet("select ID, TXT, NOTE from V order by ID", "V", writing);
    ds->Open();
    TBlockLog log(ds);
    Edit(ds, "TXT", "batched");
    ds->Next();
    ds->Edit();
    ds->FieldByName("TXT")->SetAsString("through its statement");
    ds->FieldByName("NOTE")->SetAsString("a text BLOB");
    ds->Post();
    ds->ApplyUpdates();

    ASSERT_EQ(log.blocks.size(), 1u);
    const std::vector<String> statements = TBlockLog::Statements(log.blocks[0]);
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_NE(statements[0].find("where V.ID=1;"), String::npos) << statements[0];
    EXPECT_EQ(Rows("select ID, TXT, NOTE from V order by ID", db_->DefaultTransaction()),
              "1|batched|<null> 2|through its statement|a text BLOB");
    EXPECT_EQ(Statuses(ds), "UU");
    db_->DefaultTransaction()->Rollback();
  }
}

TEST_F(ApplyUpdatesTest, UpdateObjectsKeepTheRecordsOfTheirKindOutOfTheBatch) {
  TpFIBDataSet* ds = OpenA(TWriting::Batch);
  auto* object = new TpFIBUpdateObject(form_);
  object->SQL()->SetText("insert into M (ID, NAME) values (?ID + 1000, ?NAME)");
  object->SetKindUpdate(ukInsert);
  object->SetExecuteOrder(oeAfterDefault);
  object->SetDataSet(ds);
  TBlockLog log(ds);
  Edit(ds, "NAME", "uno");
  ds->Append();
  ds->FieldByName("ID")->SetAsInteger(5);
  ds->FieldByName("NAME")->SetAsString("five");
  ds->Post();
  ds->ApplyUpdates();

  ASSERT_EQ(log.blocks.size(), 1u);
  EXPECT_EQ(TBlockLog::Statements(log.blocks[0]).size(), 1u);
  EXPECT_EQ(RowsOfA(db_->DefaultTransaction()), "1|uno|1 2|two|2 3|three|3 4|four|4 5|five|<null>");
  EXPECT_EQ(Rows("select ID, NAME from M where ID > 1000", db_->DefaultTransaction()), "1005|five");
  EXPECT_EQ(Statuses(ds), "UUUUU");
}

// ===========================================================================
// Update actions

TEST_F(ApplyUpdatesTest, EveryActionOfOnUpdateRecord) {
  struct TCase {
    TFIBUpdateAction Answer;  // for record 1; the others are applied
    bool Aborts;
    const char* Rows;
    const char* Statuses;
    bool Pending;
    const char* After;  // the records AfterUpdateRecord saw
  };
  const TCase cases[] = {
      {uaFail, false, "1|one|1 2|dos|2 4|four|4", "MUAU", true, "2 3"},
      {uaAbort, true, "1|one|1 2|two|2 3|three|3 4|four|4", "MMDU", true, ""},
      {uaSkip, false, "1|one|1 2|dos|2 4|four|4", "MUAU", true, "2 3"},
      {uaRetry, false, "1|uno|1 2|dos|2 4|four|4", "UUAU", false, "1 2 3"},
      {uaApply, false, "1|uno|1 2|dos|2 4|four|4", "UUAU", false, "1 2 3"},
      {uaApplied, false, "1|by the handler|1 2|dos|2 4|four|4", "UUAU", false, "2 3"},
  };
  for (TWriting writing : {TWriting::HandWritten, TWriting::Batch}) {
    for (const TCase& c : cases) {
      SCOPED_TRACE(String(WritingName(writing)) + ", answer " + std::to_string(c.Answer));
      TpFIBDataSet* ds = OpenA(writing);
      Edit(ds, "NAME", "uno");
      ds->Next();
      Edit(ds, "NAME", "dos");
      ds->Next();
      ds->Delete();
      String seen, after;
      ds->SetOnUpdateRecord([&](TDataSet* DataSet, TUpdateKind Kind, TFIBUpdateAction& Action) {
        // The fields read the record being applied, a deleted one too.
        const Integer id = DataSet->FieldByName("ID")->AsInteger();
        seen += (seen.empty() ? "" : " ") + std::to_string(id) + ":" + "MID"[static_cast<int>(Kind)] +
                std::to_string(ds->ApplyingIndex()) + (ds->Applying() ? "" : "?");
        EXPECT_EQ(Action, uaFail);
        Action = id == 1 ? c.Answer : uaApply;
        if (id == 1 && c.Answer == uaApplied) fbtest::ExecSQL(db_->DefaultTransaction(), "update A set NAME = 'by the handler' where ID = 1");
      });
      ds->SetAfterUpdateRecord([&](TDataSet* DataSet, TUpdateKind, bool& Resume) {
        EXPECT_TRUE(Resume);
        after += (after.empty() ? "" : " ") + DataSet->FieldByName("ID")->AsString();
      });
      if (c.Aborts) {
        EXPECT_THROW(ds->ApplyUpdates(), EAbort);
      } else {
        ds->ApplyUpdates();
      }

      EXPECT_EQ(seen, c.Aborts ? "1:M0" : "1:M0 2:M1 3:D2");
      EXPECT_EQ(after, c.After);
      EXPECT_EQ(RowsOfA(db_->DefaultTransaction()), c.Rows);
      EXPECT_EQ(Statuses(ds), c.Statuses);
      EXPECT_EQ(ds->UpdatesPending(), c.Pending);
      EXPECT_FALSE(ds->Applying());
      EXPECT_EQ(ds->ApplyingIndex(), -1);
      db_->DefaultTransaction()->Rollback();
    }
  }
}

TEST_F(ApplyUpdatesTest, AfterUpdateRecordWithoutResumeAbortsTheApply) {
  // Record 1 ran through its statement; in a batch nothing ran yet.
  for (auto [writing, rows, statuses] :
       {std::tuple{TWriting::HandWritten, "1|uno|1 2|two|2", "UM"}, {TWriting::Batch, "1|one|1 2|two|2", "MM"}}) {
    SCOPED_TRACE(WritingName(writing));
    TpFIBDataSet* ds = OpenA(writing);
    Edit(ds, "NAME", "uno");
    ds->Next();
    Edit(ds, "NAME", "dos");
    Integer calls = 0;
    ds->SetAfterUpdateRecord([&](TDataSet*, TUpdateKind, bool& Resume) {
      ++calls;
      Resume = false;
    });
    EXPECT_THROW(ds->ApplyUpdates(), EAbort);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Rows("select ID, NAME, N from A where ID <= 2 order by ID", db_->DefaultTransaction()), rows);
    EXPECT_EQ(Statuses(ds).substr(0, 2), statuses);
    EXPECT_TRUE(ds->UpdatesPending());
    db_->DefaultTransaction()->Rollback();
  }
}

TEST_F(ApplyUpdatesTest, OnUpdateErrorAnswersAServerError) {
  // Record 2 breaks the table's CHECK; AutoCommit commits a separate update
  // transaction hard, so a committed apply leaves it inactive.
  struct TCase {
    TWriting Writing;
    TFIBUpdateAction Answer;  // uaRetry: once, then uaSkip
    int Raises;               // 0 nothing, 1 the server error, 2 the silent abort
    const char* Statuses;
    const char* Written;      // which of records 1 and 3 reached the server
    bool Committed;
  };
  // uaApplied: the handler answers for the record (or the block) itself.
  const TCase cases[] = {
      {TWriting::HandWritten, uaFail, 1, "UMMU", "1", false},  {TWriting::HandWritten, uaAbort, 2, "UMMU", "1", false},
      {TWriting::HandWritten, uaSkip, 0, "UMUU", "13", false}, {TWriting::HandWritten, uaRetry, 0, "UMUU", "13", false},
      {TWriting::HandWritten, uaApply, 0, "UMUU", "13", true}, {TWriting::HandWritten, uaApplied, 0, "UUUU", "13", true},
      {TWriting::Batch, uaFail, 1, "MMMU", "", false},         {TWriting::Batch, uaAbort, 2, "MMMU", "", false},
      {TWriting::Batch, uaSkip, 0, "MMMU", "", false},         {TWriting::Batch, uaRetry, 0, "MMMU", "", false},
      {TWriting::Batch, uaApply, 0, "MMMU", "", true},         {TWriting::Batch, uaApplied, 0, "UUUU", "", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(String(WritingName(c.Writing)) + ", answer " + std::to_string(c.Answer));
    TpFIBDataSet* ds = NewDataSet("select ID, NAME, N from A order by ID", "A", c.Writing);
    TFIBTransaction* update = SeparateUpdateTransaction(ds);
    ds->Open();
    ds->FetchAll();
    Edit(ds, "NAME", "uno");
    ds->Next();
    Edit(ds, "N", "-1");
    ds->Next();
    Edit(ds, "NAME", "tres");
    // Set now: with AutoCommit every post would be applied at once.
    ds->SetAutoCommit(true);
    Integer errors = 0;
    String message;
    ds->SetOnUpdateError([&](TDataSet*, EFIBError& E, TUpdateKind Kind, TFIBUpdateAction& Action) {
      EXPECT_EQ(Action, uaFail);
      EXPECT_EQ(Kind, ukModify);
      EXPECT_NE(dynamic_cast<EFIBInterBaseError*>(&E), nullptr);
      message = E.Message();
      Action = c.Answer == uaRetry && errors > 0 ? uaSkip : c.Answer;
      ++errors;
    });
    if (c.Raises == 1) {
      EXPECT_THROW(ds->ApplyUpdates(), EFIBInterBaseError);
    } else if (c.Raises == 2) {
      String aborted;
      EXPECT_THROW(
          {
            try {
              ds->ApplyUpdates();
            } catch (const EAbort& e) {
              aborted = e.Message();
              throw;
            }
          },
          EAbort);
      EXPECT_EQ(aborted, message);
    } else {
      ds->ApplyUpdates();
    }
    EXPECT_EQ(errors, c.Answer == uaRetry ? 2 : 1) << "a failed statement runs again only on uaRetry";
    EXPECT_NE(message.find("CHECK"), String::npos) << message;
    EXPECT_EQ(Statuses(ds), c.Statuses);
    EXPECT_EQ(ds->UpdatesPending(), std::string(c.Statuses).find('M') != std::string::npos);
    EXPECT_EQ(!update->Active(), c.Committed);
    // What was applied is on the server, nothing else.
    const String applied = Rows("select ID, NAME, N from A where ID <> 4 order by ID", update->Active() ? update : nullptr);
    const std::string written = c.Written;
    EXPECT_EQ(applied, String(written.find('1') != std::string::npos ? "1|uno|1" : "1|one|1") + " 2|two|2 " +
                           (written.find('3') != std::string::npos ? "3|tres|3" : "3|three|3"));
    if (update->Active()) update->Rollback();
    file_->Exec({"update A set NAME = 'one' where ID = 1", "update A set NAME = 'three' where ID = 3"});
    db_->DefaultTransaction()->Rollback();
  }
}

TEST_F(ApplyUpdatesTest, AFullBlockThatFailsIsReportedOnce) {
  // The first of 300 inserts repeats a key: the first block fails when the
  // 256th record would open the next one.
  for (TFIBUpdateAction answer : {uaFail, uaSkip}) {
    SCOPED_TRACE(static_cast<int>(answer));
    TpFIBDataSet* ds = NewDataSet("select ID, NAME from M order by ID", "M", TWriting::Batch);
    ds->Open();
    ds->FetchAll();
    for (Integer i = 1000; i < 1300; ++i) {
      ds->Append();
      ds->FieldByName("ID")->SetAsInteger(i == 1000 ? 1 : i);
      ds->Post();
    }
    Integer errors = 0;
    ds->SetOnUpdateError([&](TDataSet*, EFIBError&, TUpdateKind Kind, TFIBUpdateAction& Action) {
      EXPECT_EQ(Kind, ukInsert);
      Action = answer;
      ++errors;
    });
    if (answer == uaFail) {
      EXPECT_THROW(ds->ApplyUpdates(), EFIBInterBaseError);
    } else {
      ds->ApplyUpdates();
    }
    EXPECT_EQ(errors, 1);
    // Skipped, the first block's records stay pending; the second block ran.
    EXPECT_EQ(Statuses(ds).substr(300), String(255, 'I') + String(45, answer == uaFail ? 'I' : 'U'));
    EXPECT_EQ(Rows("select count(*) from M where ID >= 1000", db_->DefaultTransaction()),
              answer == uaFail ? "0" : "45");
    EXPECT_TRUE(ds->UpdatesPending());
    EXPECT_EQ(ds->ChangedCount(), answer == uaFail ? 300 : 255);
    db_->DefaultTransaction()->Rollback();
  }
}

// ===========================================================================
// Inserts, modifies and deletes together

TEST_F(ApplyUpdatesTest, InsertsModifiesAndDeletesInOneApply) {
  for (TWriting writing : {TWriting::HandWritten, TWriting::Generated, TWriting::GeneratedModifiedOnly,
                           TWriting::Batch, TWriting::BatchModifiedOnly}) {
    SCOPED_TRACE(WritingName(writing));
    TpFIBDataSet* ds = OpenA(writing);
    Edit(ds, "NAME", "uno");
    ds->Next();
    ds->Edit();
    ds->FieldByName("ID")->SetAsInteger(20);  // a new key: the old one finds the row
    ds->FieldByName("N")->Clear();
    ds->Post();
    ds->Next();
    ds->Delete();  // 3
    Edit(ds, "NAME", "cuatro");
    ds->Delete();  // 4, edited first
    for (Integer id : {5, 6}) {
      ds->Append();
      ds->FieldByName("ID")->SetAsInteger(id);
      ds->FieldByName("NAME")->SetAsString(id == 5 ? "five" : "six");
      ds->Post();
    }
    ds->Delete();  // 6, never on the server
    EXPECT_EQ(Statuses(ds), "MMDDIX");
    ds->ApplyUpdates();

    EXPECT_EQ(RowsOfA(db_->DefaultTransaction()), "1|uno|1 5|five|<null> 20|two|<null>");
    EXPECT_EQ(Statuses(ds), "UUAAUX");
    EXPECT_EQ(ds->RecordCount(), 3);
    EXPECT_FALSE(ds->UpdatesPending());
    EXPECT_EQ(ds->ChangedCount(), 0);
    db_->DefaultTransaction()->Rollback();
  }
}

// ===========================================================================
// The auto-commit path and the marks of protected edit

TEST_F(ApplyUpdatesTest, KeepStatusWaitsForCommitUpdates) {
  TpFIBDataSet* ds = OpenA(TWriting::Batch);
  Edit(ds, "NAME", "uno");
  ds->Next();
  ds->Delete();
  ds->InternalApplyUpdates(true);
  EXPECT_EQ(RowsOfA(db_->DefaultTransaction()), "1|uno|1 3|three|3 4|four|4");
  EXPECT_EQ(Statuses(ds), "MDUU");
  ds->CommitUpdates();
  EXPECT_EQ(Statuses(ds), "UAUU");
  EXPECT_FALSE(ds->UpdatesPending());
  EXPECT_EQ(ds->ChangedCount(), 0);
}

TEST_F(ApplyUpdatesTest, AutoCommitAppliesAndCommitsEachPost) {
  for (TWriting writing : {TWriting::Generated, TWriting::Batch}) {
    SCOPED_TRACE(WritingName(writing));
    TpFIBDataSet* ds = NewDataSet("select ID, NAME, N from A order by ID", "A", writing);
    TFIBTransaction* update = SeparateUpdateTransaction(ds);
    ds->SetAutoCommit(true);
    ds->Open();
    Edit(ds, "NAME", "uno");
    EXPECT_FALSE(update->Active());
    EXPECT_EQ(RowsOfA(), "1|uno|1 2|two|2 3|three|3 4|four|4");
    ds->Append();
    ds->FieldByName("ID")->SetAsInteger(5);
    ds->Post();
    ds->First();
    ds->Next();
    ds->Delete();
    EXPECT_EQ(RowsOfA(), "1|uno|1 3|three|3 4|four|4 5|<null>|<null>");
    EXPECT_EQ(Statuses(ds), "UAUUU");
    EXPECT_EQ(ds->RecordCount(), 4);
    EXPECT_FALSE(ds->UpdatesPending());

    // A skipped record stays pending while later posts are committed; in a
    // batch it shares the failing block with them.
    ds->SetOnUpdateError([](TDataSet*, EFIBError&, TUpdateKind, TFIBUpdateAction& Action) { Action = uaSkip; });
    Edit(ds, "N", "-1");  // record 3
    ds->Next();
    Edit(ds, "NAME", "cuatro");
    const bool batch = writing == TWriting::Batch;
    EXPECT_EQ(Statuses(ds), batch ? "UAMMU" : "UAMUU");
    EXPECT_TRUE(ds->UpdatesPending());
    EXPECT_EQ(RowsOfA(), String("1|uno|1 3|three|3 ") + (batch ? "4|four|4" : "4|cuatro|4") + " 5|<null>|<null>");
    file_->Exec({"delete from A where ID = 5", "update A set NAME = 'one' where ID = 1",
                 "insert into A values (2, 'two', 2)", "update A set NAME = 'four' where ID = 4"});
    ds->Close();
  }
}

TEST_F(ApplyUpdatesTest, ACommitClearsTheMarksOfProtectedEdit) {
  auto* ds = new TpFIBDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, NAME, N from A order by ID");
  ds->UpdateSQL()->SetText("update A set NAME = ?NAME where ID = ?OLD_ID");
  ds->RefreshSQL()->SetText("select ID, NAME, N from A where ID = ?OLD_ID");
  ds->SetOptions(ds->Options() + TpFIBDsOptions{poProtectedEdit});
  Integer locks = 0;
  ds->SetOnLockSQLText([&](TFIBDataSet*, String&) { ++locks; });
  ds->Open();
  Edit(ds, "NAME", "uno");
  ds->Next();
  Edit(ds, "NAME", "dos");
  EXPECT_EQ(Statuses(ds), "MMUU");
  db_->DefaultTransaction()->RollbackRetaining();
  EXPECT_EQ(Statuses(ds), "MMUU") << "only a commit clears the marks";
  Edit(ds, "NAME", "dos");
  db_->DefaultTransaction()->CommitRetaining();
  EXPECT_EQ(Statuses(ds), "UUUU");
  EXPECT_EQ(ds->UpdateStatus(), usUnmodified);
  EXPECT_EQ(RowsOfA(), "1|one|1 2|dos|2 3|three|3 4|four|4");
  // An unmodified record is locked again when next edited.
  EXPECT_EQ(locks, 2);
  ds->Edit();
  EXPECT_EQ(locks, 3);
  ds->Cancel();
}

}  // namespace
