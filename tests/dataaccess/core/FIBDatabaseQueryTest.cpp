#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

// One database file for the suite: a table with a BLOB column and two
// generators, one of them with a lower-case (quoted) name.
class QueryHelpersTest : public fbtest::TFIBSuiteTest<QueryHelpersTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table P (ID integer not null primary key, NAME varchar(20), NOTE blob sub_type text)",
            "create generator GEN_X", "create generator \"gen_q\""};
  }

 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    file_->Exec({"delete from P", "insert into P values (0, 'zero', null)",
                 "insert into P values (2, 'Bob', 'a note on Bob')", "set generator GEN_X to 0",
                 "set generator \"gen_q\" to 100"});
    form_ = new TComponent(nullptr);
    db_ = fbtest::NewFIBDatabase(form_, file_->Path());
    db_->Connect();
    tr_ = new TFIBTransaction(form_);
    tr_->SetDefaultDatabase(db_);
  }
  void TearDown() override { delete form_; }

  TFIBQuery* FreeStatement(const String& SQL) {
    TCriticalSectionGuard lock(CacheList()->Lock());
    TCacheQueries* cache = CacheList()->FindCache(db_);
    return cache != nullptr ? cache->FindFree(SQL) : nullptr;
  }
  int InUse() {
    TCriticalSectionGuard lock(CacheList()->Lock());
    return CacheList()->CacheOfDatabase(db_)->InUseCount();
  }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
};

TEST_F(QueryHelpersTest, QueryValuesReadsOneColumnOrTheWholeFirstRow) {
  const String byId = "select ID, NAME, NOTE from P where ID = ?";
  const Variant two[] = {Variant(2)};
  EXPECT_EQ(db_->QueryValues(byId, 1, two).AsString(), "Bob");
  const Variant note = db_->QueryValues(byId, 2, two);
  EXPECT_EQ(VarType(note), varString);  // BLOB text, not a BLOB id
  EXPECT_EQ(note.AsString(), "a note on Bob");

  const Variant row = db_->QueryValues(byId, -1, two);
  ASSERT_TRUE(VarIsArray(row));
  EXPECT_EQ(VarArrayLowBound(row, 1), 0);
  ASSERT_EQ(VarArrayHighBound(row, 1), 2);
  EXPECT_EQ(VarArrayGet(row, 0).AsInteger(), 2);
  EXPECT_EQ(VarArrayGet(row, 1).AsString(), "Bob");
  EXPECT_EQ(VarArrayGet(row, 2).AsString(), "a note on Bob");

  // QueryValue passes the one parameter value 0.
  EXPECT_EQ(db_->QueryValue(byId, 1).AsString(), "zero");
  EXPECT_TRUE(VarIsNull(db_->QueryValue(byId, 2)));  // NULL BLOB
  const Variant missing[] = {Variant(99)};
  EXPECT_TRUE(VarIsNull(db_->QueryValues(byId, 1, missing)));  // no row
  EXPECT_FALSE(db_->GetInternalTransaction()->Active());  // committed
}

TEST_F(QueryHelpersTest, EmptyParameterValuesAreSkippedAndSurplusOnesIgnored) {
  const String sql = "select coalesce(cast(? as integer), -1) from RDB$DATABASE";
  const Variant empty[] = {Unassigned()};
  const Variant seven[] = {Variant(7), Variant(8), Variant(9)};
  EXPECT_EQ(db_->QueryValues(sql, 0, empty).AsInteger(), -1);
  EXPECT_EQ(db_->QueryValues(sql, 0, seven).AsInteger(), 7);
  // The cached statement keeps the value an Empty one does not replace.
  EXPECT_EQ(db_->QueryValues(sql, 0, empty).AsInteger(), 7);
}

TEST_F(QueryHelpersTest, StatementIsKeptOnlyWithParametersOrAllColumnsRead) {
  struct Case {
    const char* sql;
    Integer fieldIndex;
    bool keepPrepared;
    bool kept;
  };
  const Case cases[] = {
      {"select NAME from P where ID = ?", 0, true, true},
      {"select NAME from P where ID = 0", 0, true, false},  // no parameter passed
      {"select NAME from P where ID = 0 and 1 = 1", -1, true, true},
      {"select NAME from P where ID = ? and 2 = 2", 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    db_->QueryValue(c.sql, c.fieldIndex, nullptr, c.keepPrepared);
    EXPECT_EQ(FreeStatement(c.sql) != nullptr, c.kept);
    EXPECT_EQ(InUse(), 0);
  }
}

TEST_F(QueryHelpersTest, StatementWithoutColumnsGivesFalseAndLeavesAGivenTransactionOpen) {
  const Variant five[] = {Variant(5)};
  const Variant result = db_->QueryValues("insert into P (ID) values (?)", 0, five, tr_);
  EXPECT_EQ(VarType(result), varBoolean);
  EXPECT_FALSE(result.AsBoolean());
  EXPECT_TRUE(tr_->Active());
  EXPECT_EQ(file_->QueryValue("select count(*) from P where ID = 5"), "0");
  tr_->Commit();
  EXPECT_EQ(file_->QueryValue("select count(*) from P where ID = 5"), "1");

  const Variant six[] = {Variant(6)};
  db_->QueryValues("insert into P (ID) values (?)", 0, six);  // internal transaction
  EXPECT_EQ(file_->QueryValue("select count(*) from P where ID = 6"), "1");
}

TEST_F(QueryHelpersTest, FailureRollsBackTheTransactionAndFreesTheStatement) {
  tr_->StartTransaction();
  fbtest::ExecSQL(tr_, "insert into P (ID) values (10)");
  const Variant duplicate[] = {Variant(2)};
  EXPECT_THROW(db_->QueryValues("insert into P (ID) values (?)", 0, duplicate, tr_), EFIBInterBaseError);
  EXPECT_FALSE(tr_->Active());
  EXPECT_EQ(file_->QueryValue("select count(*) from P where ID = 10"), "0");
  EXPECT_EQ(FreeStatement("insert into P (ID) values (?)"), nullptr);
  EXPECT_EQ(InUse(), 0);

  EXPECT_THROW(db_->QueryValue("select NOPE from P", 0), EFIBInterBaseError);
  EXPECT_FALSE(db_->GetInternalTransaction()->Active());
  EXPECT_EQ(InUse(), 0);

  auto* loose = new TFIBTransaction(form_);  // no database to take a statement from
  EXPECT_THROW(db_->QueryValue("select 1 from RDB$DATABASE", 0, loose), EFIBClientError);
}

TEST_F(QueryHelpersTest, GeneratorNamesAreWrittenByTheDialectsRules) {
  EXPECT_EQ(db_->GeneratorValue("GEN_X", nullptr, 1), 1);
  EXPECT_EQ(db_->GeneratorValue("GEN_X", nullptr, 10), 11);
  EXPECT_NE(FreeStatement("select gen_id(GEN_X, 1) from RDB$DATABASE"), nullptr);
  EXPECT_NE(FreeStatement("select gen_id(GEN_X, 10) from RDB$DATABASE"), nullptr);

  // Dialect 3: lower-case letters need quotes, so "gen_q" is the quoted
  // generator and gen_x is not GEN_X.
  EXPECT_EQ(db_->GeneratorValue("gen_q", nullptr, 1), 101);
  EXPECT_EQ(db_->GeneratorValue("\"gen_q\"", nullptr, 1), 102);
  EXPECT_THROW(db_->GeneratorValue("gen_x", nullptr, 1), EFIBInterBaseError);
  EXPECT_NE(FreeStatement("select gen_id(\"gen_x\", 1) from RDB$DATABASE"), nullptr);  // handed back
  db_->SetUpperOldNames(true);
  EXPECT_EQ(db_->GeneratorValue("gen_x", nullptr, 1), 12);

  fbtest::TTempDatabase dialect1("NONE", 1);
  dialect1.Exec("create generator GEN_X");
  std::unique_ptr<TFIBDatabase> db1(fbtest::NewFIBDatabase(nullptr, dialect1.Path(), "NONE"));
  db1->Connect();
  ASSERT_EQ(db1->SQLDialect(), 1);
  EXPECT_EQ(db1->GeneratorValue(" gen_x ", nullptr, 1), 1);
  TCriticalSectionGuard lock(CacheList()->Lock());
  EXPECT_NE(CacheList()->FindCache(db1.get())->FindFree("select gen_id(GEN_X, 1) from RDB$DATABASE"), nullptr);
}

TEST_F(QueryHelpersTest, GeneratorRunsOnTheFirstActiveTransactionElseTheGivenOne) {
  const String sql = "select gen_id(GEN_X, 1) from RDB$DATABASE";
  EXPECT_EQ(db_->GeneratorValue("GEN_X", tr_, 1), 1);
  EXPECT_EQ(FreeStatement(sql)->Transaction(), tr_);
  EXPECT_FALSE(tr_->Active());  // started and committed here

  EXPECT_EQ(db_->GeneratorValue("GEN_X", nullptr, 1), 2);
  EXPECT_EQ(FreeStatement(sql)->Transaction(), db_->GetInternalTransaction());

  auto* active = new TFIBTransaction(form_);
  active->SetDefaultDatabase(db_);
  active->StartTransaction();
  EXPECT_EQ(db_->GeneratorValue("GEN_X", tr_, 1), 3);
  EXPECT_EQ(FreeStatement(sql)->Transaction(), active);
  EXPECT_TRUE(active->Active());  // not ended by the routine
  active->Commit();

  // A failure leaves the transaction it started active; the statement goes back.
  EXPECT_THROW(db_->GeneratorValue("NO_SUCH_GEN", tr_, 1), EFIBInterBaseError);
  EXPECT_TRUE(tr_->Active());
  EXPECT_EQ(InUse(), 0);
}

TEST_F(QueryHelpersTest, ServerTimeIsReadAndItsStatementNotKept) {
  const TDateTime server = db_->QueryServerTime();
  EXPECT_LT(std::fabs(server - Now()), 60.0 / 86400);
  EXPECT_EQ(FreeStatement("SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"), nullptr);
  EXPECT_EQ(InUse(), 0);
  EXPECT_FALSE(db_->GetInternalTransaction()->Active());
  db_->Close();
  EXPECT_THROW(db_->QueryServerTime(), EFIBClientError);
}

// ---------------------------------------------------------------------------
// AssignParamsFromSources

// Columns with an old and a current value, and parameters.
class TFakeSQLObject : public ISQLObject {
 public:
  struct TColumn {
    String Name;
    Variant Old, Current;
  };
  std::vector<TColumn> Columns;
  std::vector<std::pair<String, Variant>> Parameters;

  Integer ParamCount() override { return static_cast<Integer>(Parameters.size()); }
  String ParamName(Integer Index) override { return Parameters.at(Index).first; }
  Integer FieldCount() override { return static_cast<Integer>(Columns.size()); }
  bool FieldExist(const String& Name, Integer& Index) override {
    for (Index = 0; Index < FieldCount(); ++Index)
      if (Columns[Index].Name == Name) return true;
    Index = -1;
    return false;
  }
  bool ParamExist(const String& Name, Integer& Index) override {
    for (Index = 0; Index < ParamCount(); ++Index)
      if (Parameters[Index].first == Name) return true;
    Index = -1;
    return false;
  }
  Variant FieldValue(const String& Name, bool Old) override {
    Integer i;
    return FieldExist(Name, i) ? FieldValueByIndex(i, Old) : Null();
  }
  Variant FieldValueByIndex(Integer Index, bool Old) override {
    return Old ? Columns.at(Index).Old : Columns.at(Index).Current;
  }
  Variant ParamValue(const String& Name) override {
    Integer i;
    return ParamExist(Name, i) ? ParamValueByIndex(i) : Null();
  }
  Variant ParamValueByIndex(Integer Index) override { return Parameters.at(Index).second; }
  void SetParamValue(Integer Index, const Variant& Value) override { Parameters.at(Index).second = Value; }
  String FieldName(Integer Index) override { return Columns.at(Index).Name; }
  bool Eof() override { return true; }
  void Next() override {}
};

TEST(AssignParamsFromSources, PrefixedNamesTakeOldOrCurrentValuesAndLaterSourcesWin) {
  TFakeSQLObject record;
  record.Columns = {{"ID", Variant(1), Variant(2)}, {"NAME", Variant("old"), Variant("new")}};
  TFakeSQLObject params;
  params.Parameters = {{"CODE", Variant(9)}, {"NAME", Variant("param")}, {"NEW_CODE", Variant(5)}};
  TFakeSQLObject target;
  struct Case {
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"OLD_ID", "1"},   {"new_ID", "2"}, {"ID", "2"},
      {"old_NAME", "old"},
      {"NAME", "param"},  // the later source's parameter overrides the column
      {"CODE", "9"},
      {"NEW_CODE", "5"},  // a parameter is looked up by the full name
      {"NEW_", ""},       // no prefix without a name after it
  };
  for (const Case& c : cases) target.Parameters.push_back({c.name, Unassigned()});

  ISQLObject* sources[] = {&record, nullptr, &params};
  AssignParamsFromSources(&target, sources);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(VarToStr(target.Parameters[i].second), cases[i].value);
  }
  EXPECT_TRUE(VarIsEmpty(target.Parameters.back().second));

  ISQLObject* reversed[] = {&params, &record};
  AssignParamsFromSources(&target, reversed);
  EXPECT_EQ(VarToStr(target.Parameters[4].second), "new");
}

}  // namespace
