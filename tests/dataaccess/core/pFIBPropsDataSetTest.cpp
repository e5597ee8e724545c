// Dataset option objects (TSQLs, TFormatFields, TAutoUpdateOptions) against
// a stand-in dataset, and the database's BLOB-cache settings.
#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/pFIBProps.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/fb/FIBTestSupport.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// The least a dataset offers its option objects: five SQL texts and a
// database, published as the extended dataset publishes them.
class TStandInDataSet : public TComponent, public IFIBDataSetSQLs {
 public:
  explicit TStandInDataSet(TComponent* AOwner)
      : TComponent(AOwner),
        sqls_(std::make_unique<TSQLs>(this)),
        auto_update_(std::make_unique<TAutoUpdateOptions>(this)),
        formats_(std::make_unique<TFormatFields>(this)) {}

  TStrings* SelectSQL() const override { return texts_[0].get(); }
  void SetSelectSQL(TStrings* Value) override { Assign(0, Value); }
  TStrings* UpdateSQL() const override { return texts_[1].get(); }
  void SetUpdateSQL(TStrings* Value) override { Assign(1, Value); }
  TStrings* DeleteSQL() const override { return texts_[2].get(); }
  void SetDeleteSQL(TStrings* Value) override { Assign(2, Value); }
  TStrings* InsertSQL() const override { return texts_[3].get(); }
  void SetInsertSQL(TStrings* Value) override { Assign(3, Value); }
  TStrings* RefreshSQL() const override { return texts_[4].get(); }
  void SetRefreshSQL(TStrings* Value) override { Assign(4, Value); }
  TFIBDatabase* Database() const override { return database_; }

  TSQLs* SQLs() const { return sqls_.get(); }
  TAutoUpdateOptions* AutoUpdateOptions() const { return auto_update_.get(); }
  TFormatFields* DefaultFormats() const { return formats_.get(); }

  TFIBDatabase* database_ = nullptr;
  int assigned_ = 0;  // setter calls

 private:
  void Assign(int Index, TStrings* Value) {
    texts_[Index]->Assign(Value);
    ++assigned_;
  }

  std::unique_ptr<TStringList> texts_[5] = {std::make_unique<TStringList>(), std::make_unique<TStringList>(),
                                            std::make_unique<TStringList>(), std::make_unique<TStringList>(),
                                            std::make_unique<TStringList>()};
  std::unique_ptr<TSQLs> sqls_;
  std::unique_ptr<TAutoUpdateOptions> auto_update_;
  std::unique_ptr<TFormatFields> formats_;
};

class TDataSetOptionsModule : public TComponent {
 public:
  using TComponent::TComponent;
};

class DataSetOptionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fbtest::InitFIBUnits();
    RegisterClass<TStandInDataSet, TComponent>("TStandInDataSet")
        .Prop("SelectSQL", &TStandInDataSet::SelectSQL, &TStandInDataSet::SetSelectSQL)
        .Prop("UpdateSQL", &TStandInDataSet::UpdateSQL, &TStandInDataSet::SetUpdateSQL)
        .Prop("DeleteSQL", &TStandInDataSet::DeleteSQL, &TStandInDataSet::SetDeleteSQL)
        .Prop("InsertSQL", &TStandInDataSet::InsertSQL, &TStandInDataSet::SetInsertSQL)
        .Prop("RefreshSQL", &TStandInDataSet::RefreshSQL, &TStandInDataSet::SetRefreshSQL)
        .Object("SQLs", &TStandInDataSet::SQLs)
        .Stored(false)
        .Object("AutoUpdateOptions", &TStandInDataSet::AutoUpdateOptions)
        .Object("DefaultFormats", &TStandInDataSet::DefaultFormats);
    RegisterClass<TDataSetOptionsModule, TComponent>("TDataSetOptionsModule");
  }
  static void TearDownTestSuite() { fbtest::FinishFIBUnits(); }
  void SetUp() override {
    fbtest::InitFIBUnits();
    module_ = new TDataSetOptionsModule(nullptr);
    module_->SetName("Module1");
  }
  void TearDown() override {
    delete module_;
    FIBPropsDefaults() = TFIBPropsDefaults();
  }

  TStandInDataSet* NewDataSet() {
    auto* ds = new TStandInDataSet(module_);
    ds->SetName("DS" + IntToStr(module_->ComponentCount()));
    return ds;
  }
  // A database that is never connected, for the identifier rules.
  TFIBDatabase* NewDatabase(Integer Dialect, bool UpperOldNames = false) {
    auto* db = new TFIBDatabase(module_);
    db->SetSQLDialect(Dialect);
    db->SetUpperOldNames(UpperOldNames);
    return db;
  }
  // Reads Text into a fresh module; the caller frees it.
  TDataSetOptionsModule* ReadBack(const String& Text) {
    auto* copy = new TDataSetOptionsModule(nullptr);
    ReadComponentFromText(copy, Text);
    return copy;
  }

  TDataSetOptionsModule* module_ = nullptr;
};

// --- TSQLs ----------------------------------------------------------------------------

TEST_F(DataSetOptionsTest, SQLsIsAViewOfTheDataSetsTextsAndIsNotStored) {
  TStandInDataSet* ds = NewDataSet();
  TStrings* (TSQLs::*getters[])() const = {&TSQLs::SelectSQL, &TSQLs::UpdateSQL, &TSQLs::DeleteSQL,
                                            &TSQLs::InsertSQL, &TSQLs::RefreshSQL};
  void (TSQLs::*setters[])(TStrings*) = {&TSQLs::SetSelectSQL, &TSQLs::SetUpdateSQL, &TSQLs::SetDeleteSQL,
                                          &TSQLs::SetInsertSQL, &TSQLs::SetRefreshSQL};
  TStrings* (TStandInDataSet::*own[])() const = {&TStandInDataSet::SelectSQL, &TStandInDataSet::UpdateSQL,
                                                  &TStandInDataSet::DeleteSQL, &TStandInDataSet::InsertSQL,
                                                  &TStandInDataSet::RefreshSQL};
  for (int i = 0; i < 5; ++i) {
    TStringList text;
    text.SetText("statement " + IntToStr(i));
    (ds->SQLs()->*setters[i])(&text);
    EXPECT_EQ(ds->assigned_, i + 1) << "written through the dataset's setter";
    EXPECT_EQ((ds->SQLs()->*getters[i])(), (ds->*own[i])()) << i;
    EXPECT_EQ((ds->*own[i])()->Text(), "statement " + IntToStr(i) + "\r\n") << i;
  }
  EXPECT_EQ(ds->SQLs()->GetOwner(), ds);

  // The texts are stored once, by the dataset's own properties.
  const String text = WriteComponentToText(module_);
  EXPECT_EQ(text.find("SQLs"), String::npos) << text;
  EXPECT_NE(text.find("SelectSQL.Strings = ("), String::npos) << text;
  std::unique_ptr<TDataSetOptionsModule> copy(ReadBack(text));
  auto* ds2 = dynamic_cast<TStandInDataSet*>(copy->FindComponent(ds->Name()));
  ASSERT_NE(ds2, nullptr);
  EXPECT_EQ(ds2->SQLs()->RefreshSQL()->Text(), "statement 4\r\n");
}

// --- TFormatFields ----------------------------------------------------------------------

TEST_F(DataSetOptionsTest, FormatsStartFromTheDefaultsInForceAndStoreOnlyDifferences) {
  TStandInDataSet* ds = NewDataSet();
  TFormatFields* f = ds->DefaultFormats();
  EXPECT_EQ(f->DateTimeDisplayFormat(), "dd.mm.yyyy hh:mm AMPM");
  EXPECT_EQ(f->NumericDisplayFormat(), "#,##0.");
  EXPECT_EQ(f->NumericEditFormat(), "0.");
  EXPECT_EQ(f->DisplayFormatDate(), "dd.mm.yyyy");
  EXPECT_EQ(f->DisplayFormatTime(), "hh:mm AMPM");
  EXPECT_EQ(WriteComponentToText(module_).find("DefaultFormats"), String::npos);

  f->SetNumericEditFormat("0.00");
  String text = WriteComponentToText(module_);
  EXPECT_NE(text.find("DefaultFormats.NumericEditFormat = '0.00'"), String::npos) << text;
  EXPECT_EQ(text.find("DefaultFormats.NumericDisplayFormat"), String::npos) << text;
  {
    std::unique_ptr<TDataSetOptionsModule> copy(ReadBack(text));
    auto* ds2 = dynamic_cast<TStandInDataSet*>(copy->FindComponent(ds->Name()));
    EXPECT_EQ(ds2->DefaultFormats()->NumericEditFormat(), "0.00");
  }

  // With the global formats in force they are the start and the comparison.
  TFIBPropsDefaults& d = FIBPropsDefaults();
  d.UseGlobalFormats = true;
  d.GlobalDateFormat = "yyyy-mm-dd";
  d.GlobalTimeFormat = "hh:nn";
  d.GlobalNumericEditFormat = "0.00";
  TStandInDataSet* global = NewDataSet();
  EXPECT_EQ(global->DefaultFormats()->DateTimeDisplayFormat(), "yyyy-mm-dd hh:nn");
  EXPECT_EQ(global->DefaultFormats()->DisplayFormatDate(), "yyyy-mm-dd");
  EXPECT_EQ(global->DefaultFormats()->NumericDisplayFormat(), "#,##0.");
  text = WriteComponentToText(module_);
  EXPECT_EQ(text.find("DefaultFormats.NumericEditFormat"), String::npos) << "now the format in force";
  EXPECT_NE(text.find("DefaultFormats.DateTimeDisplayFormat = 'dd.mm.yyyy hh:mm AMPM'"), String::npos) << text;
  ds->DefaultFormats()->Assign(global->DefaultFormats());
  EXPECT_EQ(ds->DefaultFormats()->DisplayFormatTime(), "hh:nn");

  // A dataset just placed in a designer takes the design formats.
  d.UseGlobalFormats = false;
  d.DesignNumericDisplayFormat = "#,##0.00";
  auto* placed = new TComponent(module_);
  module_->SetDesigning(true);
  EXPECT_EQ(TFormatFields(placed).NumericDisplayFormat(), "#,##0.00");
  module_->SetLoading(true);
  EXPECT_EQ(TFormatFields(placed).NumericDisplayFormat(), "#,##0.") << "not while its form is read";
  module_->SetLoading(false);
  module_->SetDesigning(false);
}

// --- TAutoUpdateOptions --------------------------------------------------------------------

TEST_F(DataSetOptionsTest, GeneratorNameFollowsTheTableInIdentifierForm) {
  struct Case {
    Integer dialect;  // 0: no database
    bool upper_old_names;
    const char* table;
    TWhenGetGenID when;
    const char* preset;
    const char* generator;
    const char* name_for_sql;
    const char* alias;
  };
  const Case cases[] = {
      {3, false, "ORDERS", wgOnNewRecord, "", "GEN_ORDERS_ID", "ORDERS", "\"o\""},
      {3, false, "\"Orders\"", wgOnNewRecord, "", "\"GEN_Orders_ID\"", "\"Orders\"", ""},
      {3, false, "orders", wgBeforePost, "", "\"GEN_orders_ID\"", "\"orders\"", "\"o\""},
      {3, true, "orders", wgBeforePost, "", "GEN_ORDERS_ID", "ORDERS", "O"},
      {3, false, "ITEMS I", wgOnNewRecord, "", "GEN_ITEMS_ID", "ITEMS", "I"},
      {3, false, "ORDERS", wgNever, "", "", "ORDERS", "\"o\""},
      {3, false, "ORDERS", wgOnNewRecord, "MY_GEN", "MY_GEN", "ORDERS", "\"o\""},
      {3, false, "", wgOnNewRecord, "", "", "", ""},
      {1, false, "orders", wgOnNewRecord, "", "GEN_ORDERS_ID", "ORDERS", "O"},
      {0, false, "ORDERS", wgOnNewRecord, "", "GEN_ORDERS_ID", "ORDERS", "o"},
  };
  for (const Case& c : cases) {
    TStandInDataSet* ds = NewDataSet();
    ds->SelectSQL()->SetText("select * from ORDERS o");
    if (c.dialect > 0) ds->database_ = NewDatabase(c.dialect, c.upper_old_names);
    TAutoUpdateOptions* o = ds->AutoUpdateOptions();
    o->SetWhenGetGenID(c.when);
    o->SetGeneratorName(c.preset);
    o->SetUpdateTableName(c.table);
    EXPECT_EQ(o->GeneratorName(), c.generator) << c.table << " " << c.dialect;
    EXPECT_EQ(o->TableNameForSQL(), c.name_for_sql) << c.table << " " << c.dialect;
    EXPECT_EQ(o->TableAlias(), c.alias) << c.table << " " << c.dialect;
  }
  // Without a dataset the alias is the name itself.
  TAutoUpdateOptions lone(nullptr);
  lone.SetUpdateTableName("orders");
  EXPECT_EQ(lone.TableAlias(), "orders");
}

TEST_F(DataSetOptionsTest, TableNamesAreCachedUntilTheTableIsSetAgain) {
  TStandInDataSet* ds = NewDataSet();
  ds->database_ = NewDatabase(3);
  ds->SelectSQL()->SetText("select * from ORDERS o");
  TAutoUpdateOptions* o = ds->AutoUpdateOptions();
  o->SetUpdateTableName("ORDERS");
  o->SetKeyCondition("ID=?ID");
  o->SetConditionSelectText("select * from ORDERS o");
  EXPECT_EQ(o->TableAlias(), "\"o\"") << "a lower-case alias needs quotes in dialect 3";
  ds->SelectSQL()->SetText("select * from ORDERS X");
  EXPECT_EQ(o->TableAlias(), "\"o\"") << "cached";
  o->SetUpdateTableName(o->UpdateTableName());  // as the dataset does when its select text changes
  EXPECT_EQ(o->TableAlias(), "X");
  EXPECT_EQ(o->KeyCondition(), "") << "dropped with the table";
  EXPECT_EQ(o->ConditionSelectText(), "select * from ORDERS o");
  o->SetKeyCondition("ID=?ID");
  o->SetKeyFields("ID");
  EXPECT_EQ(o->KeyCondition(), "") << "dropped with the keys";
}

TEST_F(DataSetOptionsTest, AutoUpdateSettersKeepTheirRules) {
  TAutoUpdateOptions* o = NewDataSet()->AutoUpdateOptions();
  o->SetUpdateOnlyModifiedFields(true);
  EXPECT_FALSE(o->UpdateOnlyModifiedFields()) << "needs AutoReWriteSqls and CanChangeSQLs";
  o->SetAutoReWriteSqls(true);
  o->SetUpdateOnlyModifiedFields(true);
  EXPECT_FALSE(o->UpdateOnlyModifiedFields());
  o->SetCanChangeSQLs(true);
  o->SetUpdateOnlyModifiedFields(true);
  EXPECT_TRUE(o->UpdateOnlyModifiedFields());

  o->SetKeyFields(" ID ; CODE;;NAME ");
  EXPECT_EQ(o->KeyFields(), " ID ; CODE;;NAME ");
  EXPECT_EQ(o->KeyFieldsList()->Text(), "ID\r\nCODE\r\nNAME\r\n");

  TStringList links;
  links.SetText("ID=PARENT_ID\n\nNAME=PNAME\n");
  o->SetParamsToFieldsLinks(&links);
  EXPECT_EQ(o->ParamsToFieldsLinks()->Text(), "ID=PARENT_ID\r\nNAME=PNAME\r\n");

  EXPECT_FALSE(o->SelectGenID());
  o->SetSelectGenID(true);
  EXPECT_EQ(o->WhenGetGenID(), wgBeforePost);
  o->SetWhenGetGenID(wgOnNewRecord);
  o->SetSelectGenID(true);
  EXPECT_EQ(o->WhenGetGenID(), wgOnNewRecord) << "true leaves a chosen moment";
  o->SetSelectGenID(false);
  EXPECT_EQ(o->WhenGetGenID(), wgNever);
}

TEST_F(DataSetOptionsTest, AutoUpdateOptionsStreamAndReadOlderProperties) {
  TStandInDataSet* ds = NewDataSet();
  TAutoUpdateOptions* o = ds->AutoUpdateOptions();
  EXPECT_EQ(WriteComponentToText(module_).find("AutoUpdateOptions"), String::npos) << "defaults are not written";
  o->SetUpdateTableName("ORDERS O");
  o->SetKeyFields("ID");
  o->SetAutoReWriteSqls(true);
  o->SetCanChangeSQLs(true);
  o->SetUpdateOnlyModifiedFields(true);
  o->SetWhenGetGenID(wgOnNewRecord);
  o->SetGeneratorName("GEN_ORDERS");
  o->SetGeneratorStep(10);
  o->ParamsToFieldsLinks()->Add("ID=PARENT_ID");
  o->SetSeparateBlobUpdate(true);
  const String text = WriteComponentToText(module_);
  std::unique_ptr<TDataSetOptionsModule> copy(ReadBack(text));
  TAutoUpdateOptions* o2 = dynamic_cast<TStandInDataSet*>(copy->FindComponent(ds->Name()))->AutoUpdateOptions();
  EXPECT_EQ(o2->UpdateTableName(), "ORDERS O");
  EXPECT_TRUE(o2->UpdateTableHasAlias());
  EXPECT_EQ(o2->KeyFieldsList()->Count(), 1);
  EXPECT_TRUE(o2->UpdateOnlyModifiedFields()) << "read after its two conditions";
  EXPECT_EQ(o2->WhenGetGenID(), wgOnNewRecord);
  EXPECT_EQ(o2->GeneratorName(), "GEN_ORDERS");
  EXPECT_EQ(o2->GeneratorStep(), 10);
  EXPECT_EQ(o2->ParamsToFieldsLinks()->Text(), "ID=PARENT_ID\r\n");
  EXPECT_EQ(WriteComponentToText(copy.get()), text);

  // Assign copies the same, the alias flag and key list following.
  TAutoUpdateOptions assigned(nullptr);
  assigned.Assign(o);
  EXPECT_EQ(assigned.GeneratorName(), "GEN_ORDERS");
  EXPECT_TRUE(assigned.UpdateOnlyModifiedFields());
  EXPECT_TRUE(assigned.UpdateTableHasAlias());
  EXPECT_EQ(assigned.TableAlias(), "O");
  EXPECT_EQ(assigned.KeyFieldsList()->Text(), "ID\r\n");

  // "SelectGenID" and the "GenBeforePost" read after it, from older resources.
  struct Case {
    const char* props;
    TWhenGetGenID when;
  };
  const Case cases[] = {
      {"AutoUpdateOptions.SelectGenID = True\n", wgBeforePost},
      {"AutoUpdateOptions.SelectGenID = True\nAutoUpdateOptions.GenBeforePost = False\n", wgOnNewRecord},
      {"AutoUpdateOptions.SelectGenID = False\nAutoUpdateOptions.GenBeforePost = False\n", wgNever},
      {"AutoUpdateOptions.GenBeforePost = False\n", wgNever},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TDataSetOptionsModule> old(
        ReadBack(String("object Module1: TDataSetOptionsModule\nobject DS: TStandInDataSet\n") + c.props + "end\nend\n"));
    EXPECT_EQ(dynamic_cast<TStandInDataSet*>(old->FindComponent("DS"))->AutoUpdateOptions()->WhenGetGenID(), c.when)
        << c.props;
  }
}

// --- TBlobSwapSupport ---------------------------------------------------------------------

TEST_F(DataSetOptionsTest, SwapDirExpandsTheProgramDirectory) {
  const String exeDir = ExtractFilePath(ApplicationExeName());
  ASSERT_FALSE(exeDir.empty());
  struct Case {
    bool active;
    const char* swap_dir;
    String expanded;
  };
  const Case cases[] = {
      {false, "{APP_PATH}", ""},
      {true, "{APP_PATH}", exeDir},
      {true, "{app_path}cache", exeDir + "cache/"},
      {true, "{App_Path}cache\\blobs\\", exeDir + "cache/blobs/"},
      {true, "/var/cache/app", "/var/cache/app/"},
      {true, "/var/cache/app/", "/var/cache/app/"},
      {true, "", ""},
  };
  for (const Case& c : cases) {
    TBlobSwapSupport s;
    s.SetActive(c.active);
    s.SetSwapDir(c.swap_dir);
    EXPECT_EQ(s.GetSwapDir(), c.expanded) << c.swap_dir;
  }
}

TEST_F(DataSetOptionsTest, DatabaseStreamsItsCacheSettingsAndEvents) {
  auto* db = new TFIBDatabase(module_);
  db->SetName("DB1");
  EXPECT_EQ(db->BlobSwapSupport()->SwapDir(), "{APP_PATH}");
  EXPECT_EQ(WriteComponentToText(module_).find("BlobSwapSupport"), String::npos);

  TBlobSwapSupport settings;
  settings.SetActive(true);
  settings.SetSwapDir("/var/cache/app");
  settings.SetMinBlobSizeToSwap(1024);
  db->SetBlobSwapSupport(&settings);
  EXPECT_NE(db->BlobSwapSupport(), &settings) << "assigning copies";
  const String text = WriteComponentToText(module_);
  EXPECT_NE(text.find("BlobSwapSupport.Active = True"), String::npos) << text;
  EXPECT_NE(text.find("BlobSwapSupport.SwapDir = '/var/cache/app'"), String::npos) << text;
  EXPECT_NE(text.find("BlobSwapSupport.MinBlobSizeToSwap = 1024"), String::npos) << text;
  std::unique_ptr<TDataSetOptionsModule> copy(ReadBack(text));
  auto* db2 = dynamic_cast<TFIBDatabase*>(copy->FindComponent("DB1"));
  EXPECT_TRUE(db2->BlobSwapSupport()->Active());
  EXPECT_EQ(db2->BlobSwapSupport()->SwapDir(), "/var/cache/app");
  EXPECT_EQ(db2->BlobSwapSupport()->MinBlobSizeToSwap(), 1024);

  // The four cache events are published.
  for (const char* name : {"BeforeSaveBlobToSwap", "AfterSaveBlobToSwap", "AfterLoadBlobFromSwap",
                           "BeforeLoadBlobFromSwap"}) {
    const TPropInfo* prop = GetPropInfo(db, name);
    ASSERT_NE(prop, nullptr) << name;
    EXPECT_EQ(prop->Kind(), tkMethod) << name;
  }
}

}  // namespace
