// The query dataset, the dataset factory of both families and the SQL-text
// helpers, on the embedded engine (and the stand-in desktop engine).
#include <gtest/gtest.h>

#include "datalayer/B_DBFBPlus.h"
#include "datalayer/B_DBproc.h"
#include "platform/db/DBTables.h"
#include "platform/rtl/FormStream.h"
#include "tests/datalayer/DataLayerFixture.h"
#include "tests/support/FakeDBEngine.h"
#include "tests/support/MemDataSet.h"

namespace {

TFIBDatabase* g_default = nullptr;
TFIBDatabase* DefaultDatabase(TObject*) { return g_default; }

int g_conversions = 0;
void CountingConvert(const String& Text, String& Result) {
  ++g_conversions;
  Result = "/*c*/ " + Text;
}

class QueryTest : public dltest::TDataLayerTest<QueryTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table PEOPLE (ID integer not null primary key, NAME varchar(30), CODE integer)",
        "insert into PEOPLE values (1, 'Bob', 3)",
        "insert into PEOPLE values (2, 'Ann', 2)",
        "insert into PEOPLE values (3, 'Bob', 1)",
        "insert into PEOPLE values (4, 'O''Brien', 5)",
        "insert into PEOPLE values (5, 'OBrien', 5)",
        "insert into PEOPLE values (6, 'O''''Brien', 5)",
    };
  }

 protected:
  void SetUp() override {
    TDataLayerTest::SetUp();
    g_default = db_;
    g_conversions = 0;
  }
};

TEST_F(QueryTest, TakesTheDefaultDatabaseAtItsFirstSQLOrAtPrepare) {
  GetDefaultDatabase = &DefaultDatabase;
  auto* early = new TB_Query(form_);
  EXPECT_EQ(early->Database(), nullptr);
  early->SQL()->SetText("select ID from PEOPLE where ID = 2");
  EXPECT_EQ(early->Database(), db_);

  // Text set while the host had no database yet: taken when it prepares.
  GetDefaultDatabase = &GetDefaultDatabaseNil;
  auto* late = new TB_Query(form_);
  late->SQL()->SetText("select ID from PEOPLE where ID = 3");
  EXPECT_EQ(late->Database(), nullptr);
  GetDefaultDatabase = &DefaultDatabase;
  late->Open();
  EXPECT_EQ(late->Database(), db_);
  EXPECT_EQ(Column(late, "ID"), "3");

  // One read from a form takes it in Loaded, with computed columns editable.
  ConvertSQLText = &CountingConvert;
  auto* loaded = dynamic_cast<TB_Query*>(CreateComponentFromText(
      "object Q: TB_Query\n  SQL.Strings = (\n    'select ID'\n    'from PEOPLE where ID = 1')\n"
      "  OrderBy = 'ID'\nend\n",
      form_));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Database(), db_);
  EXPECT_EQ(loaded->SelectSQL()->Text(), "/*c*/ select ID\r\nfrom PEOPLE where ID = 1\r\n");
  EXPECT_EQ(loaded->OrderBy(), "ID");
  EXPECT_TRUE(loaded->PrepareOptions().Contains(psCanEditComputedFields));
  EXPECT_FALSE(early->PrepareOptions().Contains(psCanEditComputedFields));
  for (TB_Query* q : {loaded, early}) {
    EXPECT_FALSE(q->PrepareOptions().Contains(psUseBooleanField));
    EXPECT_FALSE(q->PrepareOptions().Contains(psUseGuidField));
  }
  // SelectSQL is derived: never written to form data.
  const String written = WriteComponentToText(loaded);
  EXPECT_NE(written.find("SQL.Strings"), String::npos) << written;
  EXPECT_EQ(written.find("SelectSQL"), String::npos) << written;
}

TEST_F(QueryTest, SelectTextIsRewrittenOncePerRealChange) {
  ConvertSQLText = &CountingConvert;
  auto* q = NewQuery("");
  g_conversions = 0;
  TStringList lines;
  lines.SetText("select ID\nfrom PEOPLE\nwhere ID = 2");
  q->SetSQL(&lines);
  EXPECT_EQ(g_conversions, 1);
  EXPECT_EQ(q->SelectSQL()->Text(), "/*c*/ select ID\r\nfrom PEOPLE\r\nwhere ID = 2\r\n");
  q->SetSQL(&lines);
  EXPECT_EQ(g_conversions, 1) << "an equal text changes nothing";
  q->Open();
  EXPECT_EQ(Column(q, "ID"), "2");
  q->Close();
  lines.SetText("select ID from PEOPLE where ID = 3");
  q->SetSQL(&lines);
  EXPECT_EQ(q->SelectSQL()->Text(), "/*c*/ select ID from PEOPLE where ID = 3\r\n");
  q->Open();
  EXPECT_EQ(Column(q, "ID"), "3");
}

TEST_F(QueryTest, OrderBySortsTheOpenedRowsLocally) {
  auto* q = NewQuery("select ID, NAME, CODE from PEOPLE where ID <= 3 order by ID");
  q->Open();
  EXPECT_EQ(Column(q, "ID"), "1,2,3") << "no OrderBy: the server's order";
  q->Close();
  q->SetOrderBy(" NAME ; CODE ");
  q->Open();
  EXPECT_EQ(Column(q, "ID"), "2,3,1");
  q->Close();

  // A name that is no field: the open fails and leaves the dataset closed.
  q->SetOrderBy("NAME;NOPE");
  EXPECT_THROW(q->Open(), EDatabaseError);
  EXPECT_FALSE(q->Active());
  q->SetOrderBy("CODE");
  q->Open();
  EXPECT_EQ(Column(q, "ID"), "3,2,1");
}

TEST_F(QueryTest, FactoryMakesAQueryOfTheSameFamily) {
  ConvertSQLText = &CountingConvert;
  auto* source = NewQuery("select ID, NAME from PEOPLE");
  auto* plain = new TpFIBDataSet(form_);
  plain->SetDatabase(db_);
  plain->SelectSQL()->SetText("select ID from PEOPLE");
  EXPECT_EQ(GetDataSetSQL(source), "select ID, NAME from PEOPLE\r\n") << "the query's own text";
  EXPECT_EQ(GetDataSetSQL(plain), "select ID from PEOPLE\r\n");
  for (TDataSet* from : {static_cast<TDataSet*>(source), static_cast<TDataSet*>(plain)}) {
    auto* made = dynamic_cast<TB_Query*>(CreateQueryFor(form_, from, "select NAME from PEOPLE where ID = 2"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Owner(), form_);
    EXPECT_EQ(made->Database(), db_);
    EXPECT_FALSE(made->Active());
    EXPECT_EQ(made->SelectSQL()->Text(), "/*c*/ select NAME from PEOPLE where ID = 2\r\n");
    made->Open();
    EXPECT_EQ(Column(made, "NAME"), "Ann");
  }

  TMemDataSet memory(nullptr);
  EXPECT_EQ(CreateQueryFor(form_, &memory, "select 1 from RDB$DATABASE"), nullptr);
  EXPECT_EQ(GetDataSetSQL(&memory), "");

  // The engine family: a TQuery on the same database name.
  TQuery engineSource(nullptr);
  engineSource.SetDatabaseName("DB");
  try {
    CreateQueryFor(form_, &engineSource, "select * from ITEMS");
    ADD_FAILURE() << "no engine installed";
  } catch (const EDBEngineError& e) {
    EXPECT_EQ(e.Message(), SEngineNotAvailable);
  }
  TFakeDBEngine engine;
  engine.AddTable("DB", "ITEMS", {{"ID", ftInteger}, {"NAME", ftString, 20}}).Rows = {{1, "one"}, {2, "two"}};
  auto* made = dynamic_cast<TQuery*>(CreateQueryFor(form_, &engineSource, "select * from ITEMS"));
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->DatabaseName(), "DB");
  EXPECT_EQ(GetDataSetSQL(made), "select * from ITEMS\r\n");
  made->Open();
  EXPECT_EQ(Column(made, "NAME"), "one,two");
  made->Close();
}

TEST_F(QueryTest, ConditionsFromValues) {
  struct Case {
    String Fields;
    Variant Values;
    String Expected;
  };
  const Case cases[] = {
      {"A;B", VarArrayOf({1, Null()}), "('1' = A) and (B is Null)"},
      {"A", VarArrayOf({1, 2, 3}), "('1' = A)"},
      {"A;B;C", VarArrayOf({"x"}), "('x' = A)"},
      {"A;;C", VarArrayOf({1, 2, 3}), "('1' = A) and ('3' = C)"},
      {"NAME", Variant("O'Brien"), "('O''Brien' = NAME)"},
      {"NAME;ID", Variant(""), "(NAME is Null)"},
      {"", Variant(5), ""},
      {"Имя", Variant("Пётр"), "('Пётр' = Имя)"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetKeyCondition(c.Fields, c.Values), c.Expected) << c.Fields;

  // A value with a quote selects exactly its row.
  for (const auto& [name, id] : {std::pair<String, String>{"O'Brien", "4"}, {"O''Brien", "6"}}) {
    auto* q = NewQuery("select ID from PEOPLE where " + GetKeyCondition("NAME;CODE", VarArrayOf({name, 5})));
    q->Open();
    EXPECT_EQ(Column(q, "ID"), id) << name;
  }
}

TEST_F(QueryTest, FieldValuesGoIntoSQLTextOutsideLiteralsAndComments) {
  TMemDataSet data(nullptr);
  data.FieldDefs()->Add("ID", ftInteger);
  data.FieldDefs()->Add("NAME", ftString, 20);
  data.FieldDefs()->Add("NOTE", ftString, 20);
  data.Open();
  data.AppendRows({{5, "O'Brien", Null()}});
  TDataSource source(nullptr);
  source.SetDataSet(&data);
  struct Case {
    const char* Text;
    const char* Expected;
  };
  const Case cases[] = {
      {"ID = :ID and X = :Y", "ID = '5' and X = :Y"},
      {"NAME = :NAME", "NAME = 'O''Brien'"},
      {"N = :NOTE", "N =  NULL "},
      {"':ID' || :ID", "':ID' || '5'"},
      {"'it''s :ID' :ID", "'it''s :ID' '5'"},
      {"/* :ID */ :ID -- :ID\n:ID", "/* :ID */ '5' -- :ID\n'5'"},
      {"\":ID\" = :id", "\":ID\" = '5'"},
      {"a : b:", "a : b:"},
      {"x = ':ID", "x = ':ID"},
      {"/* :ID", "/* :ID"},
  };
  for (const Case& c : cases) EXPECT_EQ(SubstituteFieldValues(&source, c.Text), c.Expected) << c.Text;

  EXPECT_EQ(SubstituteFieldValues(nullptr, ":ID"), ":ID");
  data.Close();
  EXPECT_EQ(SubstituteFieldValues(&source, ":ID"), ":ID");
}

TEST_F(QueryTest, ParameterValuesCopiedByName) {
  auto* source = NewQuery("select ID from PEOPLE where ID = :ID");
  auto* target = NewQuery("select ID from PEOPLE where ID = :ID or CODE = :X");
  source->Params()->ByName("ID")->SetAsVariant(2);
  target->Params()->ByName("X")->SetAsVariant(1);
  CopyParamValues(source, target);
  target->Open();
  EXPECT_EQ(Column(target, "ID"), "2,3");

  TQuery engineSource(nullptr), engineTarget(nullptr);
  engineSource.SQL()->SetText("select * from T where ID = :ID");
  engineTarget.SQL()->SetText("select * from T where ID = :ID or X = :X");
  engineSource.ParamByName("ID")->SetValue(7);
  engineTarget.ParamByName("X")->SetValue(9);
  CopyParamValues(&engineSource, &engineTarget);
  EXPECT_EQ(VarToStr(engineTarget.ParamByName("ID")->Value()), "7");
  EXPECT_EQ(VarToStr(engineTarget.ParamByName("X")->Value()), "9");
  CopyParamValues(&engineSource, target);  // different families: nothing
  EXPECT_EQ(VarToStr(target->ParamValue("ID")), "2");
}

TEST_F(QueryTest, FieldOriginsAndSelectLists) {
  auto* q = NewQuery("select P.NAME, P.ID + 1 as NEXT_ID from PEOPLE P");
  EXPECT_EQ(GetFieldOriginOrName(q, "NAME", false), "P.NAME");
  EXPECT_EQ(GetFieldOriginOrName(q, "NEXT_ID", false), "");
  EXPECT_EQ(GetFieldOriginOrName(q, "NEXT_ID", true), "NEXT_ID");
  TMemDataSet memory(nullptr);
  EXPECT_EQ(GetFieldOriginOrName(&memory, "NAME", true), "NAME");

  q->Open();
  EXPECT_TRUE(DataSetHasFields(q, "NAME; NEXT_ID"));
  EXPECT_FALSE(DataSetHasFields(q, "NAME;ID"));
  EXPECT_FALSE(DataSetHasFields(q, ""));

  auto* replaced = NewQuery(ReplaceSelectFields("select * from PEOPLE where ID = 4", "ID, NAME"));
  replaced->Open();
  EXPECT_EQ(replaced->FieldCount(), 2);
  EXPECT_EQ(Column(replaced, "NAME"), "O'Brien");
}

}  // namespace
