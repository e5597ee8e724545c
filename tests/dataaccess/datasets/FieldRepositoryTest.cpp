// Field attributes from the server's column information and FIB$FIELDS_INFO:
// automatic formats, read-only and required flags, imported server
// defaults, display attributes, and the handler that sees each field.
#include <map>
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"
#include "tests/dataaccess/datasets/RepositorySuite.h"

namespace {

const char* const kSelect =
    "select ID, NAME, NOTE, CODE, TRIG, AMOUNT, RATE, BORN, SEEN, AT_TIME, MADE, TWICE, FLAG, OFF_FLAG, MEMO, "
    "KIND from CLIENTS";
const char* const kUpdate = "update CLIENTS set NAME = ?NAME where ID = ?OLD_ID";

class FieldRepositoryTest : public dstest::TRepositorySuite<FieldRepositoryTest> {
 public:
  static std::vector<std::string> OwnTables() {
    return {
        "create table GROUPS (ID integer not null primary key, TITLE varchar(20))",
        "create table CLIENTS (ID integer not null primary key, NAME varchar(30) default 'nobody' not null, "
        "NOTE varchar(20) default '', CODE varchar(10) not null, TRIG varchar(10) not null, AMOUNT numeric(15,2), "
        "RATE numeric(9,2) default 5.5, BORN date default '2020-01-31', SEEN timestamp default '2020-01-31 "
        "10:30:00', AT_TIME time default '10:30:00', MADE date default 'TODAY', TWICE computed by (ID * 2), "
        "FLAG FIB$BOOLEAN, OFF_FLAG FIB$BOOLEAN default 0, MEMO blob sub_type 1, GRP_ID integer, "
        "KIND varchar(5) default 'a' not null)",
        "insert into GROUPS values (1, 'first')",
        "insert into CLIENTS (ID, CODE, TRIG, AMOUNT, GRP_ID) values (1, 'c', 't', 1234.5, 1)",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, TRIGGERED) values ('CLIENTS', 'TRIG', 1)",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL, DISPLAY_WIDTH, VISIBLE) "
        "values ('CLIENTS', 'NAME', 'Client name', 25, 0)",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_FORMAT, EDIT_FORMAT) "
        "values ('CLIENTS', 'AMOUNT', '#,##0.000', '0.000')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_FORMAT) values ('CLIENTS', 'BORN', 'yyyy')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('CLIENTS', 'CODE', 'Own')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('ALIAS', 'CODE', 'Any code')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('ALIAS', 'KIND', 'Kind')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('ALIAS', 'TWICE', 'Twice')"};
  }

 protected:
  void SetUp() override {
    TRepositorySuite::SetUp();
    saved_ = FormatSettings;
  }
  void TearDown() override {
    FormatSettings = saved_;
    TRepositorySuite::TearDown();
  }

  // kSelect on Database (the UTF8 one by default, whose text columns are
  // wide string fields).
  TpFIBDataSet* Open(TpPrepareOptions Options, TFIBDatabase* Database = nullptr) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText(kSelect);
    ds->UpdateSQL()->SetText(kUpdate);
    ds->SetPrepareOptions(Options);
    ds->Open();
    return ds;
  }

  TFormatSettings saved_;
};

TEST_F(FieldRepositoryTest, ExpandNumericFormat) {
  struct TCase {
    const char* Format;
    Integer Decimals;
    const char* Result;
  } cases[] = {{"", 2, ""},           {"#,##0.", 2, "#,##0.00"}, {"0.", 0, "0."},
               {"#.#", 3, "#.###"},   {"0.0", 1, "0.0"},         {"#,##0.00", 3, "#,##0.00"},
               {"1.2.3", 2, "1.2.3"}, {"0", 2, "0"},             {".", 1, ".0"}};
  for (const TCase& c : cases)
    EXPECT_EQ(ExpandNumericFormat(c.Format, c.Decimals), c.Result) << c.Format << " " << c.Decimals;
}

TEST_F(FieldRepositoryTest, AutomaticFormats) {
  FormatSettings.ThousandSeparator = ',';
  FormatSettings.DecimalSeparator = '.';
  TpFIBDataSet* ds = Open({});
  auto numeric = [&](const char* Name) { return static_cast<TNumericField*>(ds->FieldByName(Name)); };
  auto dated = [&](const char* Name) { return static_cast<TDateTimeField*>(ds->FieldByName(Name)); };
  // NUMERIC(15,2) is a BCD field, NUMERIC(9,2) a scaled float.
  EXPECT_EQ(numeric("AMOUNT")->DisplayFormat(), "#,##0.00");
  EXPECT_EQ(numeric("AMOUNT")->EditFormat(), "0.00");
  EXPECT_EQ(ds->FieldByName("AMOUNT")->DisplayText(), "1,234.50");
  EXPECT_EQ(numeric("RATE")->DisplayFormat(), "#,##0.00");
  EXPECT_EQ(numeric("ID")->DisplayFormat(), "");
  EXPECT_EQ(dated("BORN")->DisplayFormat(), "dd.mm.yyyy");
  EXPECT_EQ(dated("AT_TIME")->DisplayFormat(), "hh:mm AMPM");
  EXPECT_EQ(dated("SEEN")->DisplayFormat(), "dd.mm.yyyy hh:mm AMPM");
  delete ds;

  // Other formats, or none without poAutoFormatFields.
  auto* own = new TpFIBDataSet(form_);
  own->SetDatabase(db_);
  own->SelectSQL()->SetText(kSelect);
  own->DefaultFormats()->SetNumericDisplayFormat("0.#");
  own->DefaultFormats()->SetDisplayFormatDate("yyyy-mm-dd");
  own->Open();
  EXPECT_EQ(static_cast<TNumericField*>(own->FieldByName("AMOUNT"))->DisplayFormat(), "0.##");
  EXPECT_EQ(static_cast<TDateTimeField*>(own->FieldByName("BORN"))->DisplayFormat(), "yyyy-mm-dd");
  own->Close();
  own->SetOptions(own->Options() - TpFIBDsOptions{poAutoFormatFields});
  own->Open();
  EXPECT_EQ(static_cast<TNumericField*>(own->FieldByName("AMOUNT"))->DisplayFormat(), "");
  EXPECT_EQ(static_cast<TDateTimeField*>(own->FieldByName("BORN"))->DisplayFormat(), "");
}

TEST_F(FieldRepositoryTest, ReadOnlyFields) {
  const char* joined = "select C.ID, C.NAME, C.TWICE, G.TITLE from CLIENTS C join GROUPS G on G.ID = C.GRP_ID";
  const char* self = "select A.ID, A.NAME, B.NAME as B_NAME from CLIENTS A join CLIENTS B on B.ID = A.ID";
  struct TCase {
    const char* Name;
    const char* Select;
    TpPrepareOptions Options;
    bool Rewrite;
    const char* UpdateTable;
    std::map<String, bool> ReadOnly;
  } cases[] = {
      {"by update statement", joined, {pfSetReadOnlyFields}, false, "",
       {{"ID", false}, {"NAME", false}, {"TWICE", true}, {"TITLE", true}}},
      {"computed may be edited", joined, {pfSetReadOnlyFields, psCanEditComputedFields}, false, "",
       {{"TWICE", false}, {"TITLE", true}}},
      {"not asked", joined, {}, false, "", {{"TWICE", false}, {"TITLE", false}}},
      // An "ALIAS" row changes the display, not what the server computes.
      {"computed with an ALIAS row", joined, {pfSetReadOnlyFields, psApplyRepositary}, false, "",
       {{"TWICE", true}, {"NAME", false}}},
      {"update table with alias", self, {pfSetReadOnlyFields}, true, "CLIENTS A",
       {{"ID", false}, {"NAME", false}, {"B_NAME", true}}},
      {"update table", joined, {pfSetReadOnlyFields}, true, "CLIENTS", {{"NAME", false}, {"TITLE", true}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(c.Select);
    if (c.Rewrite) {
      ds->AutoUpdateOptions()->SetAutoReWriteSqls(true);
      ds->AutoUpdateOptions()->SetUpdateTableName(c.UpdateTable);
      ds->AutoUpdateOptions()->SetKeyFields("ID");
    } else {
      ds->UpdateSQL()->SetText(kUpdate);
    }
    ds->SetPrepareOptions(c.Options);
    ds->Open();
    for (const auto& [name, readOnly] : c.ReadOnly) EXPECT_EQ(ds->FieldByName(name)->ReadOnly(), readOnly) << name;
    delete ds;
  }

  // Cached updates applied by OnUpdateRecord write any field.
  auto* cached = new TpFIBDataSet(form_);
  cached->SetDatabase(db_);
  cached->SelectSQL()->SetText(joined);
  cached->UpdateSQL()->SetText(kUpdate);
  cached->SetCachedUpdates(true);
  cached->SetOnUpdateRecord([](TDataSet*, TUpdateKind, TFIBUpdateAction& Action) { Action = uaApplied; });
  cached->SetPrepareOptions({pfSetReadOnlyFields});
  cached->Open();
  EXPECT_FALSE(cached->FieldByName("TITLE")->ReadOnly());
  EXPECT_TRUE(cached->FieldByName("TWICE")->ReadOnly());
}

TEST_F(FieldRepositoryTest, RequiredFields) {
  // NOT NULL without default and not triggered; TRIG is triggered by the
  // repository's row, read with psApplyRepositary.
  std::map<String, bool> plain = {{"ID", true},    {"NAME", false}, {"NOTE", false}, {"CODE", true},
                                  {"TRIG", true},  {"FLAG", false}, {"TWICE", false}};
  TpFIBDataSet* ds = Open({pfSetRequiredFields, psUseBooleanField});
  for (const auto& [name, required] : plain) EXPECT_EQ(ds->FieldByName(name)->Required(), required) << name;
  delete ds;
  ds = Open({pfSetRequiredFields, psApplyRepositary});
  EXPECT_TRUE(ds->FieldByName("CODE")->Required());
  EXPECT_FALSE(ds->FieldByName("TRIG")->Required());
  // The server's default counts whatever "ALIAS" row the field has.
  EXPECT_EQ(ds->FieldByName("KIND")->DisplayLabel(), "Kind");
  EXPECT_FALSE(ds->FieldByName("KIND")->Required());
  delete ds;
  ds = Open({});
  EXPECT_FALSE(ds->FieldByName("CODE")->Required());
}

TEST_F(FieldRepositoryTest, ServerDefaults) {
  FormatSettings.DecimalSeparator = ',';
  FormatSettings.DateSeparator = '.';
  FormatSettings.ShortDateFormat = "dd.mm.yyyy";
  FormatSettings.LongTimeFormat = "hh:nn:ss";
  FormatSettings.TimeSeparator = ':';
  TpFIBDataSet* ds = Open({pfImportDefaultValues, psUseBooleanField});
  struct TCase {
    const char* Field;
    const char* Default;
  } cases[] = {{"RATE", "5,5"},
               {"BORN", "31.01.2020"},
               {"SEEN", "31.01.2020 10:30:00"},
               {"AT_TIME", "10:30:00"},
               {"MADE", "TODAY"},
               {"FLAG", "True"},
               {"OFF_FLAG", "False"},
               {"NAME", "'nobody'"},  // a wide string field keeps the text quoted too
               {"ID", ""}};
  for (const TCase& c : cases) EXPECT_EQ(ds->FieldByName(c.Field)->DefaultExpression(), c.Default) << c.Field;
  // A wide field knows the empty-string default too.
  EXPECT_TRUE(DefaultValueEmptyStringOf(ds->FieldByName("NOTE")));
  EXPECT_FALSE(DefaultValueEmptyStringOf(ds->FieldByName("NAME")));
  ASSERT_NE(dynamic_cast<TFIBBooleanField*>(ds->FieldByName("FLAG")), nullptr);
  delete ds;

  // String fields quote the text and know an empty-string default.
  ds = Open({pfImportDefaultValues}, Connect("WIN1251"));
  auto* name = dynamic_cast<TFIBStringField*>(ds->FieldByName("NAME"));
  auto* note = dynamic_cast<TFIBStringField*>(ds->FieldByName("NOTE"));
  ASSERT_TRUE(name != nullptr && note != nullptr);
  EXPECT_EQ(name->DefaultExpression(), "'nobody'");
  EXPECT_FALSE(name->DefaultValueEmptyString());
  EXPECT_EQ(note->DefaultExpression(), "");
  EXPECT_TRUE(note->DefaultValueEmptyString());
  delete ds;

  FormatSettings.DecimalSeparator = '.';
  ds = Open({pfImportDefaultValues});
  EXPECT_EQ(ds->FieldByName("RATE")->DefaultExpression(), "5.5");
  delete ds;
  ds = Open({});
  EXPECT_EQ(ds->FieldByName("RATE")->DefaultExpression(), "");
  EXPECT_EQ(ds->FieldByName("NAME")->DefaultExpression(), "");
}

TEST_F(FieldRepositoryTest, RepositoryAttributes) {
  TpFIBDataSet* ds = Open({psApplyRepositary});
  TField* name = ds->FieldByName("NAME");
  EXPECT_EQ(name->DisplayLabel(), "Client name");
  EXPECT_EQ(name->DisplayWidth(), 25);
  EXPECT_FALSE(name->Visible());
  // The repository's formats win over the automatic ones.
  EXPECT_EQ(static_cast<TNumericField*>(ds->FieldByName("AMOUNT"))->DisplayFormat(), "#,##0.000");
  EXPECT_EQ(static_cast<TNumericField*>(ds->FieldByName("AMOUNT"))->EditFormat(), "0.000");
  EXPECT_EQ(static_cast<TDateTimeField*>(ds->FieldByName("BORN"))->DisplayFormat(), "yyyy");
  // An "ALIAS" row wins over the table's own.
  EXPECT_EQ(ds->FieldByName("CODE")->DisplayLabel(), "Any code");
  EXPECT_EQ(ds->FieldByName("ID")->DisplayLabel(), "ID");
  EXPECT_TRUE(ds->FieldByName("ID")->Visible());
  ds->Close();

  // Not asked for, or not a repository of the database: nothing applied,
  // until psApplyRepositary is added to the open dataset.
  ds->SetPrepareOptions({});
  ds->Open();
  EXPECT_EQ(ds->FieldByName("NAME")->DisplayLabel(), "NAME");
  ds->SetPrepareOptions({psApplyRepositary});
  EXPECT_EQ(ds->FieldByName("NAME")->DisplayLabel(), "Client name");
  ds->Close();
  db_->SetUseRepositories({urDataSetInfo});
  ds->Open();
  EXPECT_EQ(ds->FieldByName("NAME")->DisplayLabel(), "NAME");
  EXPECT_TRUE(ds->FieldByName("NAME")->Visible());
}

TEST_F(FieldRepositoryTest, MemoCharacterSet) {
  // A text BLOB takes its column's character set on a Unicode connection,
  // elsewhere with psSupportUnicodeBlobs.
  auto charSet = [&](TpPrepareOptions Options, TFIBDatabase* Database) {
    TpFIBDataSet* ds = Open(Options, Database);
    const Integer id = static_cast<TFIBMemoField*>(ds->FieldByName("MEMO"))->CharSetID();
    delete ds;
    return id;
  };
  TFIBDatabase* ansi = Connect("WIN1251");
  EXPECT_EQ(charSet({psUseBooleanField}, nullptr), 4);
  EXPECT_EQ(charSet({psUseBooleanField}, ansi), 0);
  EXPECT_EQ(charSet({psSupportUnicodeBlobs}, ansi), 52);
}

TEST_F(FieldRepositoryTest, OnApplyFieldRepositoryGetsEachField) {
  std::map<String, String> seen;
  auto* ds = new TpFIBDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID, NAME as CLIENT_NAME, CODE, ID * 3 as TRIPLE from CLIENTS");
  ds->SetOnApplyFieldRepository([&](TDataSet* DataSet, TField* Field, TpFIBFieldInfo* Info) {
    EXPECT_EQ(DataSet, ds);
    seen[Field->FieldName()] = Info->FieldName() + (Info->Loaded() ? " " + Info->DisplayLabel() : String());
  });
  ds->SetPrepareOptions({psApplyRepositary});
  ds->Open();
  // Each field with column information gets it (an "ALIAS" row's when
  // there is one); an expression has none.
  EXPECT_EQ(seen, (std::map<String, String>{
                      {"ID", "ID"}, {"CLIENT_NAME", "NAME Client name"}, {"CODE", "CODE Any code"}}));
  EXPECT_EQ(ds->FieldByName("CLIENT_NAME")->DisplayLabel(), "Client name");
}

}  // namespace
