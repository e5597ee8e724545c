// New records of TpFIBDataSet: keys from server generators (on new record
// or just before the post) by the key field's type, fresh GUIDs, fields
// linked to select parameters, default expressions with the fixed words for
// date, time, user and role, and the containers and handlers that take over.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/datasets/DSContainer.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

using dstest::ClientError;
using Log = std::vector<std::string>;

const char* const kInsertD = "insert into D (ID, MID, NAME) values (?ID, ?MID, ?NAME)";
const char* const kInsertDEF = "insert into DEF (ID) values (?ID)";
using testing::ElementsAre;

class NewRecordTest : public dstest::TExtendedDataSetSuite<NewRecordTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create generator G_INT", "create sequence G_BIG start with 5000000000", "create generator \"g_lower\"",
            "create role R_TEST",
            "create table K (ID integer not null primary key, NAME varchar(20))",
            "create table KB (ID bigint not null primary key, NAME varchar(20))",
            "create table KN (ID numeric(18,2) not null primary key, NAME varchar(20))",
            "create table KG (ID integer not null primary key, G char(16) character set octets)",
            "create table D (ID integer not null primary key, MID integer, NAME varchar(20))",
            "insert into D values (1, 7, 'seven')",
            "create table DEF (ID integer not null primary key, D date, T time, TS timestamp, S varchar(31), "
            "W varchar(31) character set win1251, N integer)",
            "create table SD (ID integer not null primary key, Q1 varchar(20) default 'it''s', "
            "Q2 varchar(20) default 'USER', Q3 varchar(20) default 'NULL', Q4 varchar(20) default ' x ''y''', "
            "K1 varchar(20) default USER, K2 varchar(20) default CURRENT_USER, K3 varchar(20) default NULL)"};
  }

 protected:
  TpFIBDataSet* NewPDataSet(const String& Select, const String& Insert, TFIBDatabase* Database = nullptr) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText(Select);
    ds->InsertSQL()->SetText(Insert);
    return ds;
  }
  // A dataset on Table's ID and NAME with hand-written modifying SQL.
  TpFIBDataSet* NewKeyed(const String& Table) {
    TpFIBDataSet* ds =
        NewPDataSet("select ID, NAME from " + Table, "insert into " + Table + " (ID, NAME) values (?ID, ?NAME)");
    ds->UpdateSQL()->SetText("update " + Table + " set NAME = ?NAME where ID = ?OLD_ID");
    return ds;
  }
  void UseGenerator(TpFIBDataSet* DataSet, const String& Generator, TWhenGetGenID When, Integer Step = 1) {
    TAutoUpdateOptions* o = DataSet->AutoUpdateOptions();
    o->SetKeyFields("ID");
    o->SetGeneratorName(Generator);
    o->SetGeneratorStep(Step);
    o->SetWhenGetGenID(When);
  }
  Int64 CurrentValue(const String& Generator) { return db_->GeneratorValue(Generator, nullptr, 0); }
  Integer RowsWithID(const String& Table, const String& ID) {
    return db_->QueryValue("select count(*) from " + Table + " where ID = " + ID, 0, db_->DefaultTransaction())
        .AsInteger();
  }

  // A database of the suite's file that names a role in its parameters.
  TFIBDatabase* ConnectWithRole(const std::string& CharSet) {
    TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file_->Path(), CharSet);
    db->DBParams()->Add("sql_role_name=R_TEST");
    auto* tr = new TFIBTransaction(form_);
    tr->SetDefaultDatabase(db);
    db->SetDefaultTransaction(tr);
    db->Connect();
    return db;
  }
};

TEST_F(NewRecordTest, GeneratorValueByKeyFieldType) {
  struct Case {
    const char* table;
    const char* generator;
    bool largeIntField;
    const char* fieldClass;
  };
  // BIGINT keys are BCD fields of scale 0 unless large-integer fields are
  // asked for; both take the 64-bit value, beyond 32 bits here.
  const Case cases[] = {{"KB", "G_BIG", false, "TFIBBCDField"},
                        {"KB", "G_BIG", true, "TFIBLargeIntField"},
                        {"K", "G_INT", false, "TFIBIntegerField"},
                        {"KN", "G_INT", false, "TFIBBCDField"},
                        // A scaled BCD key holds a value beyond 32 bits whole.
                        {"KN", "G_BIG", false, "TFIBBCDField"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " " + c.fieldClass);
    TpFIBDataSet* ds = NewKeyed(c.table);
    if (c.largeIntField) ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psUseLargeIntField});
    UseGenerator(ds, c.generator, wgOnNewRecord);
    ds->Open();
    TField* id = ds->FieldByName("ID");
    EXPECT_EQ(id->ClassName(), c.fieldClass);
    const Int64 expected = CurrentValue(c.generator) + 1;
    ds->Insert();
    EXPECT_EQ(id->AsFloat(), static_cast<double>(expected));
    EXPECT_EQ(id->AsLargeInt(), expected);
    ds->FieldByName("NAME")->SetAsString("new");
    ds->Post();
    EXPECT_EQ(RowsWithID(c.table, IntToStr(expected)), 1);
    // The step of the generator: a later record two further on.
    ds->AutoUpdateOptions()->SetGeneratorStep(2);
    ds->Append();
    EXPECT_EQ(id->AsLargeInt(), expected + 2);
    ds->Cancel();
  }
}

TEST_F(NewRecordTest, GeneratorValueBeyondAnIntegerKeyIsRefused) {
  TpFIBDataSet* ds = NewKeyed("K");
  UseGenerator(ds, "G_BIG", wgOnNewRecord);
  ds->Open();
  EXPECT_THROW(ds->Insert(), EDatabaseError);
  EXPECT_EQ(ds->State(), dsBrowse);
}

TEST_F(NewRecordTest, GeneratorValueJustBeforePost) {
  TDataSetsContainer* container = new TDataSetsContainer(form_);
  TpFIBDataSet* ds = NewKeyed("K");
  ds->SetContainer(container);
  UseGenerator(ds, "G_INT", wgBeforePost);
  ds->Open();
  TField* id = ds->FieldByName("ID");
  // The key's default expression gives way to the generator.
  id->SetDefaultExpression("5");
  id->SetRequired(true);
  std::vector<bool> keyAtBeforePost;
  container->SetOnDataSetEvent({container, [&](TDataSet* D, TKindDataSetEvent E) {
                                  if (E == deBeforePost) keyAtBeforePost.push_back(D->FieldByName("ID")->IsNull());
                                }});
  const Int64 before = CurrentValue("G_INT");
  ds->Insert();
  EXPECT_TRUE(id->IsNull());
  EXPECT_FALSE(id->Required());
  ds->FieldByName("NAME")->SetAsString("late key");
  ds->Post();
  EXPECT_THAT(keyAtBeforePost, ElementsAre(false));
  EXPECT_EQ(id->AsLargeInt(), before + 1);
  EXPECT_EQ(RowsWithID("K", IntToStr(before + 1)), 1);

  // A key the user typed stays, and an edit takes no value.
  ds->Append();
  id->SetAsInteger(900000);
  ds->Post();
  ds->Edit();
  ds->FieldByName("NAME")->SetAsString("edited");
  ds->Post();
  EXPECT_EQ(id->AsInteger(), 900000);
  EXPECT_EQ(CurrentValue("G_INT"), before + 1);
}

TEST_F(NewRecordTest, GeneratorNeedsDatabaseAndOneNullNumericKey) {
  auto* orphan = new TpFIBDataSet(form_);
  orphan->SetName("Orphan");
  UseGenerator(orphan, "G_INT", wgOnNewRecord);
  String text;
  EXPECT_EQ(ClientError([&] { orphan->ApplyGeneratorValue(); }, &text), fceDatabaseNotAssigned);
  EXPECT_THAT(text, testing::HasSubstr("Orphan"));

  // No value is taken for a key that is not one numeric field.
  const Int64 before = CurrentValue("G_INT");
  for (const char* keyFields : {"NAME", "ID;NAME", "NOPE"}) {
    SCOPED_TRACE(keyFields);
    TpFIBDataSet* ds = NewKeyed("K");
    UseGenerator(ds, "G_INT", wgOnNewRecord);
    ds->AutoUpdateOptions()->SetKeyFields(keyFields);
    ds->Open();
    ds->Insert();
    EXPECT_TRUE(ds->FieldByName("ID")->IsNull());
    ds->Cancel();
  }
  TpFIBDataSet* never = NewKeyed("K");
  UseGenerator(never, "G_INT", wgNever);
  never->Open();
  never->Insert();
  EXPECT_TRUE(never->FieldByName("ID")->IsNull());
  EXPECT_EQ(CurrentValue("G_INT"), before);
}

TEST_F(NewRecordTest, FreedDataSetReleasesItsGeneratorStatement) {
  // A lower-case generator name travels in quotes: the statement released
  // is the one that ran.
  const String sql = db_->GeneratorSQL("g_lower", 1);
  EXPECT_EQ(sql, "select gen_id(\"g_lower\", 1) from RDB$DATABASE");
  auto prepared = [&] {
    TFIBQuery* q = GetQueryForUse(db_->DefaultTransaction(), sql);
    const bool result = q->Prepared();
    FreeQueryForUse(q);
    return result;
  };
  TpFIBDataSet* ds = NewKeyed("K");
  UseGenerator(ds, "g_lower", wgOnNewRecord);
  ds->Open();
  ds->Insert();
  EXPECT_FALSE(ds->FieldByName("ID")->IsNull());
  ds->Cancel();
  EXPECT_TRUE(prepared());
  delete ds;
  EXPECT_FALSE(prepared());
}

TEST_F(NewRecordTest, GuidFieldsTakeFreshGuids) {
  TpFIBDataSet* ds = NewPDataSet("select ID, G from KG", "insert into KG (ID, G) values (?ID, ?G)");
  ds->Prepare();
  // The column as the repository marks a GUID domain.
  ds->FieldDefs()->Items(1)->SetDataType(ftGuid);
  ds->FieldDefs()->Items(1)->SetSize(38);
  ds->FieldDefs()->SetUpdated(true);
  ds->Open();
  TField* g = ds->FieldByName("G");
  ASSERT_NE(dynamic_cast<TFIBGuidField*>(g), nullptr);
  g->SetDefaultExpression("NULL");
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(1);
  const String first = g->AsString();
  EXPECT_EQ(first.size(), 38u);
  ds->Post();
  ds->Append();
  EXPECT_FALSE(g->IsNull());
  EXPECT_NE(g->AsString(), first);
  ds->Cancel();
  ds->Close();
  ds->Open();
  EXPECT_EQ(ds->FieldByName("G")->AsString(), first);
}

TEST_F(NewRecordTest, FieldsLinkedToSelectParameters) {
  TpFIBDataSet* ds = NewPDataSet("select ID, MID, NAME from D where MID = :MID", kInsertD);
  ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Add("MID=MID");
  ds->Params()->ByName("MID")->SetAsInteger(7);
  ds->Open();
  ds->FieldByName("MID")->SetDefaultExpression("5");
  ds->FieldByName("NAME")->SetDefaultExpression("'unlinked'");
  ds->Insert();
  EXPECT_EQ(ds->FieldByName("MID")->AsInteger(), 7);
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "unlinked");
  ds->Cancel();
  // The parameter's current value, also once the links are known.
  ds->Params()->ByName("MID")->SetAsInteger(8);
  ds->Insert();
  EXPECT_EQ(ds->FieldByName("MID")->AsInteger(), 8);
  ds->Cancel();
}

TEST_F(NewRecordTest, LinksFoundFromTheSelectText) {
  struct Case {
    const char* select;
    const char* links;  // ParamsToFieldsLinks after open
  };
  const Case cases[] = {
      {"select d.ID, d.MID, d.NAME from D d where d.MID = :PM", "MID=PM\r\n"},
      {"select t.ID, t.MID, t.NAME from D t where t.\"MID\" = :PM and t.NAME = :PN", "MID=PM\r\nNAME=PN\r\n"},
      {"select ID, MID, NAME from D where MID = :PM", "MID=PM\r\n"},
      {"select ID, MID, NAME from D where MID = 1 or :PM = 0", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.select);
    TpFIBDataSet* ds = NewPDataSet(c.select, kInsertD);
    ds->AutoUpdateOptions()->SetAutoParamsToFields(true);
    ds->Params()->ByName("PM")->SetAsInteger(7);
    ds->Open();
    EXPECT_EQ(ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Text(), c.links);
    ds->Insert();
    TField* mid = ds->FieldByName("MID");
    EXPECT_EQ(mid->IsNull() ? "NULL" : mid->AsString(), std::string(c.links).empty() ? "NULL" : "7");
    ds->Cancel();
  }

  // Found once per prepare: reopening keeps what the links say now. An open
  // before the option was set does not count.
  TpFIBDataSet* ds = NewPDataSet("select ID, MID, NAME from D where MID = :PM", kInsertD);
  ds->Open();
  ds->Close();
  ds->AutoUpdateOptions()->SetAutoParamsToFields(true);
  ds->Open();
  EXPECT_EQ(ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Text(), "MID=PM\r\n");
  ds->Close();
  ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Clear();
  ds->Open();
  EXPECT_EQ(ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Count(), 0);
  ds->Close();
  ds->SelectSQL()->SetText("select ID, MID, NAME from D where MID = :PM order by ID");
  ds->Open();
  EXPECT_EQ(ds->AutoUpdateOptions()->ParamsToFieldsLinks()->Text(), "MID=PM\r\n");
}

TEST_F(NewRecordTest, DefaultExpressions) {
  enum Expect { kServerNow, kServerTime, kDays, kText, kInteger, kNull };
  struct Case {
    const char* field;
    const char* expression;
    Expect expect;
    double days = 0;  // kDays: whole days from the server's today
    const char* text = "";
  };
  const Case cases[] = {
      {"D", "CURRENT_DATE", kDays, 0},
      {"D", " today ", kDays, 0},
      {"D", "TOMORROW", kDays, 1},
      {"D", "Yesterday", kDays, -1},
      {"TS", "NOW", kServerNow},
      {"TS", "CURRENT_TIMESTAMP", kServerNow},
      {"TS", "'NOW'", kServerNow},
      {"TS", "TODAY", kDays, 0},
      {"T", "CURRENT_TIME", kServerTime},
      {"D", "NULL", kNull},
      {"S", "'abc'", kText, 0, "abc"},
      {"W", "  'a b'  ", kText, 0, "a b"},
      {"S", "plain", kText, 0, "plain"},
      {"S", "USER", kText, 0, "SYSDBA"},
      {"W", "current_user", kText, 0, "SYSDBA"},
      {"S", "ROLE", kText, 0, "R_TEST"},
      {"W", "CURRENT_ROLE", kText, 0, "R_TEST"},
      // Quoted, the words are texts.
      {"S", "'NULL'", kText, 0, "NULL"},
      {"W", "'USER'", kText, 0, "USER"},
      {"S", "'it''s'", kText, 0, "it's"},
      {"S", "   ", kNull},
      {"N", "42", kInteger},
  };
  // Text columns are plain string fields on a WIN1251 connection and wide
  // ones on a UTF8 connection.
  for (const char* charSet : {"WIN1251", "UTF8"}) {
    SCOPED_TRACE(charSet);
    TFIBDatabase* db = ConnectWithRole(charSet);
    // This machine's clock runs two days ahead of the server's.
    db->SetServerTimeDifference(2.0);
    TpFIBDataSet* ds = NewPDataSet("select ID, D, T, TS, S, W, N from DEF", kInsertDEF, db);
    ds->Open();
    const bool wide = std::string(charSet) == "UTF8";
    for (const char* name : {"S", "W"})
      EXPECT_EQ(ds->FieldByName(name)->ClassName(), wide ? "TFIBWideStringField" : "TFIBStringField");

    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.field) + " = " + c.expression);
      TField* f = ds->FieldByName(c.field);
      f->SetDefaultExpression(c.expression);
      const TDateTime before = Now() - 2.0;
      ds->Insert();
      const TDateTime after = Now() - 2.0;
      switch (c.expect) {
        case kServerNow:
          EXPECT_GE(f->AsDateTime(), before - 1e-8);
          EXPECT_LE(f->AsDateTime(), after + 1e-8);
          break;
        case kServerTime: {
          const double t = f->AsDateTime(), from = before - std::trunc(before), to = after - std::trunc(after);
          EXPECT_TRUE(from <= to ? t >= from - 1e-8 && t <= to + 1e-8 : t >= from - 1e-8 || t <= to + 1e-8);
          break;
        }
        case kDays:
          EXPECT_THAT(f->AsDateTime(), testing::AnyOf(std::trunc(before) + c.days, std::trunc(after) + c.days));
          break;
        case kText:
          EXPECT_EQ(f->AsString(), c.text);
          break;
        case kInteger:
          EXPECT_EQ(f->AsInteger(), 42);
          break;
        case kNull:
          EXPECT_TRUE(f->IsNull());
          break;
      }
      ds->Cancel();
      f->SetDefaultExpression("");
    }
  }
}

TEST_F(NewRecordTest, ImportedServerDefaultsPostAsTheServerFillsThem) {
  const char* columns[] = {"Q1", "Q2", "Q3", "Q4", "K1", "K2", "K3"};
  // Plain string fields on WIN1251, wide ones on UTF8.
  for (const char* charSet : {"WIN1251", "UTF8"}) {
    SCOPED_TRACE(charSet);
    // Row 1 as the server fills it by itself, row 2 through the dataset.
    file_->Exec({"delete from SD", "insert into SD (ID) values (1)"});
    TFIBDatabase* db = Connect(charSet);
    TpFIBDataSet* ds = NewPDataSet("select ID, Q1, Q2, Q3, Q4, K1, K2, K3 from SD",
                                   "insert into SD (ID, Q1, Q2, Q3, Q4, K1, K2, K3) "
                                   "values (?ID, ?Q1, ?Q2, ?Q3, ?Q4, ?K1, ?K2, ?K3)",
                                   db);
    ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{pfImportDefaultValues});
    ds->Open();
    ds->Insert();
    ds->FieldByName("ID")->SetAsInteger(2);
    ds->Post();
    db->DefaultTransaction()->Commit();
    for (const char* c : columns) {
      SCOPED_TRACE(c);
      const std::string column(c);
      EXPECT_EQ(file_->QueryValue("select coalesce(" + column + ", '<null>') from SD where ID = 2"),
                file_->QueryValue("select coalesce(" + column + ", '<null>') from SD where ID = 1"));
    }
    delete ds;
  }
}

TEST_F(NewRecordTest, EmptyStringDefaultComesFirst) {
  // A string field on WIN1251, a wide string field on UTF8.
  for (const char* charSet : {"WIN1251", "UTF8"}) {
    SCOPED_TRACE(charSet);
    TpFIBDataSet* ds = NewPDataSet("select ID, W from DEF", kInsertDEF, Connect(charSet));
    ds->SetPrepareOptions(ds->PrepareOptions() - TpPrepareOptions{psSetEmptyStrToNull});
    ds->Open();
    TField* w = ds->FieldByName("W");
    w->SetDefaultExpression("'ignored'");
    SetDefaultValueEmptyStringOf(w, true);
    ASSERT_TRUE(DefaultValueEmptyStringOf(w));
    ds->Insert();
    EXPECT_FALSE(w->IsNull());
    EXPECT_EQ(w->AsString(), "");
    ds->Cancel();
  }
}

TEST_F(NewRecordTest, ContainersAndHandlersTakeOverDefaults) {
  Log log;
  TDataSetsContainer* global = new TDataSetsContainer(form_);
  global->SetIsGlobalContainer(true);
  TDataSetsContainer* c1 = new TDataSetsContainer(form_);
  TDataSetsContainer* c2 = new TDataSetsContainer(form_);
  c2->SetMasterContainer(c1);
  auto asked = [&log](const char* Tag, TField* F, bool Applied) {
    log.push_back(std::string(Tag) + ":" + F->FieldName() + ":" + (Applied ? "applied" : "open"));
  };
  global->SetOnApplyDefaultValue({global, [&](TDataSet*, TField* F, bool& A) { asked("G", F, A); }});
  // The master supplies N itself.
  c1->SetOnApplyDefaultValue({c1, [&](TDataSet*, TField* F, bool& A) {
                                asked("C1", F, A);
                                if (F->FieldName() == "N") {
                                  F->SetAsInteger(77);
                                  A = true;
                                }
                              }});
  c2->SetOnApplyDefaultValue({c2, [&](TDataSet*, TField* F, bool& A) { asked("C2", F, A); }});
  c2->SetOnDataSetEvent({c2, [&](TDataSet* D, TKindDataSetEvent E) {
                           if (E == deOnNewRecord) log.push_back("C2:new record N=" + D->FieldByName("N")->AsString());
                         }});
  TpFIBDataSet* ds = NewPDataSet("select ID, S, N from DEF", kInsertDEF);
  ds->SetContainer(c2);
  // The dataset's own handler supplies S.
  ds->SetOnApplyDefaultValue({form_, [&](TDataSet*, TField* F, bool& A) {
                                asked("DS", F, A);
                                if (F->FieldName() == "S") {
                                  F->SetAsString("from handler");
                                  A = true;
                                }
                              }});
  ds->SetOnNewRecord({form_, [&](TDataSet* D) { log.push_back("DS:OnNewRecord S=" + D->FieldByName("S")->AsString()); }});
  ds->Open();
  ds->FieldByName("S")->SetDefaultExpression("'expression'");
  ds->FieldByName("N")->SetDefaultExpression("42");
  ds->Insert();
  EXPECT_EQ(ds->FieldByName("N")->AsInteger(), 77);
  EXPECT_EQ(ds->FieldByName("S")->AsString(), "from handler");
  // Only fields with a default expression are asked; each starts open.
  EXPECT_THAT(log, ElementsAre("G:S:open", "C1:S:open", "C2:S:open", "DS:S:open",  //
                               "G:N:open", "C1:N:open", "C2:N:applied", "DS:N:applied",
                               "C2:new record N=77", "DS:OnNewRecord S=from handler"));
  ds->Cancel();
}

}  // namespace
