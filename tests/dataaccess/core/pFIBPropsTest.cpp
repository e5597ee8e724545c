#include "dataaccess/core/pFIBProps.h"

#include <gtest/gtest.h>

#include <set>

#include "dataaccess/core/FIBDatabase.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/fb/FIBTestSupport.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

// A statement stand-in: its SQL text, the modification counter, and how
// often it re-read its text (when the counter came back to 0).
class TTestStatement : public TComponent, public IConditionsStatement, public ICSMonitorSupportOwner {
 public:
  explicit TTestStatement(TComponent* AOwner)
      : TComponent(AOwner),
        conditions_(std::make_unique<TConditions>(this)),
        monitor_(std::make_unique<TCSMonitorSupport>(this)) {}

  String GetSQLText() const override { return sql_; }
  void SetSQLText(const String& Text) override {
    sql_ = Text;
    if (updates_ == 0) ++rereads_;
  }
  void BeginModifySQLText() override { ++updates_; }
  void EndModifySQLText() override {
    if (--updates_ == 0) ++rereads_;
  }
  void CSMonitorSupportChanged() override { ++monitor_changes_; }

  TConditions* Conditions() const { return conditions_.get(); }
  TCSMonitorSupport* CSMonitorSupport() const { return monitor_.get(); }

  String sql_;
  int updates_ = 0;
  int rereads_ = 0;
  int monitor_changes_ = 0;

 private:
  std::unique_ptr<TConditions> conditions_;
  std::unique_ptr<TCSMonitorSupport> monitor_;
};

class TTestModule : public TComponent {
 public:
  using TComponent::TComponent;
};

class OptionClassesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fbtest::InitFIBUnits();
    RegisterClass<TTestStatement, TComponent>("TTestStatement")
        .Object("Conditions", &TTestStatement::Conditions)
        .Object("CSMonitorSupport", &TTestStatement::CSMonitorSupport);
    RegisterClass<TTestModule, TComponent>("TTestModule");
  }
  static void TearDownTestSuite() { fbtest::FinishFIBUnits(); }
  void SetUp() override {
    fbtest::InitFIBUnits();
    module_ = new TTestModule(nullptr);
    module_->SetName("Module1");
  }
  void TearDown() override { delete module_; }

  TTestStatement* NewStatement(const String& SQL) {
    auto* q = new TTestStatement(module_);
    q->SetName("Q" + IntToStr(module_->ComponentCount()));
    q->sql_ = SQL;
    return q;
  }

  TTestModule* module_ = nullptr;
};

// --- Connection parameters ----------------------------------------------------------

TEST_F(OptionClassesTest, ConnectParamsAreViewsOfTheParameterLines) {
  auto* db = new TFIBDatabase(module_);
  db->DBParams()->SetText("isc_dpb_USER_NAME=ann\npassword_enc=xyz\nlc_ctype=UTF8");
  TConnectParams* params = db->ConnectParams();
  EXPECT_EQ(params->UserName(), "ann");
  EXPECT_EQ(params->Password(), "");  // a password_enc line is not the password
  params->SetCharSet("win1251");
  params->SetPassword("secret");
  params->SetRoleName("ADMIN");
  params->IB2007()->SetInstanceName("i1");
  EXPECT_EQ(db->DBParams()->Text(),
            "isc_dpb_USER_NAME=ann\r\npassword_enc=xyz\r\nlc_ctype=WIN1251\r\npassword=secret\r\n"
            "sql_role_name=ADMIN\r\ninstance_name=i1\r\n");
  params->SetUserName("");
  EXPECT_EQ(db->FindDBParamLine("user_name"), -1);
  EXPECT_EQ(db->FindDBParamLine("LC_CTYPE"), 1);
  EXPECT_EQ(db->GetDPBParamValue(48), "WIN1251");
  EXPECT_EQ(db->GetDPBParamValue(0), "");
  EXPECT_THROW(params->SetIB2007(params->IB2007()), EConvertError);

  TConnectParams loose(module_);  // not owned by a database
  loose.SetUserName("x");
  EXPECT_EQ(loose.UserName(), "");
}

TEST_F(OptionClassesTest, MonitorSupportRefusesValuesByOwner) {
  auto* db = new TFIBDatabase(module_);
  auto* tr = new TFIBTransaction(module_);
  TTestStatement* q = NewStatement("");
  EXPECT_EQ(db->CSMonitorSupport()->Enabled(), csmeDisabled);
  EXPECT_EQ(tr->CSMonitorSupport()->Enabled(), csmeDatabaseDriven);
  EXPECT_EQ(q->CSMonitorSupport()->Enabled(), csmeTransactionDriven);
  struct Case {
    TCSMonitorSupport* support;
    TCSMonitorEnabled value;
    bool accepted;
  };
  const Case cases[] = {
      {db->CSMonitorSupport(), csmeEnabled, true},          {db->CSMonitorSupport(), csmeDatabaseDriven, false},
      {db->CSMonitorSupport(), csmeTransactionDriven, false}, {db->CSMonitorSupport(), csmeDisabled, true},
      {tr->CSMonitorSupport(), csmeEnabled, true},          {tr->CSMonitorSupport(), csmeTransactionDriven, false},
      {tr->CSMonitorSupport(), csmeDatabaseDriven, true},   {q->CSMonitorSupport(), csmeTransactionDriven, true},
  };
  for (const Case& c : cases) {
    const TCSMonitorEnabled before = c.support->Enabled();
    if (c.accepted) {
      c.support->SetEnabled(c.value);
      EXPECT_EQ(c.support->Enabled(), c.value);
    } else {
      EXPECT_THROW(c.support->SetEnabled(c.value), EFIBCSMonitorError);
      EXPECT_EQ(c.support->Enabled(), before);
    }
  }
  q->CSMonitorSupport()->SetIncludeDatasetDescription(false);
  EXPECT_EQ(q->monitor_changes_, 2);  // the owner copies both settings on
}

// --- Conditions -----------------------------------------------------------------------

TEST_F(OptionClassesTest, ConditionsBuildTheirWhereText) {
  TConditions* c = NewStatement("")->Conditions();
  c->AddCondition("A", "X = 1", true);
  c->AddCondition("Off", "Y = 2", false);
  c->AddCondition("B", "Z = 3", true);
  EXPECT_EQ(c->BuildWhereText(), "(X = 1)\r\n\r\n and (Z = 3)\r\n");
  c->FindCondition("B")->SetEnabled(false);
  EXPECT_EQ(c->BuildWhereText(), "(X = 1)\r\n");
  c->FindCondition("A")->SetEnabled(false);
  EXPECT_EQ(c->BuildWhereText(), "");
}

TEST_F(OptionClassesTest, ApplyAddsToTheMainWhereClauseAndRestores) {
  struct Case {
    const char* sql;
    const char* applied;
  };
  const Case cases[] = {
      {"select * from T where ID > 0", "select * from T \r\nWHERE ID > 0\r\nand (X = 1)\r\n\r\n"},
      {"select * from T", "select * from T\r\n WHERE (X = 1)\r\n\r\n"},
  };
  for (const Case& k : cases) {
    TTestStatement* q = NewStatement(k.sql);
    TConditions* c = q->Conditions();
    c->AddCondition("A", "X = 1", true);
    c->Apply();
    EXPECT_EQ(q->sql_, k.applied);
    EXPECT_TRUE(c->Applied());
    EXPECT_EQ(q->updates_, 0);
    EXPECT_EQ(q->rereads_, 1);  // one re-read when the counter came back
    c->Apply();                 // the saved text goes back first
    EXPECT_EQ(q->sql_, k.applied);
    c->CancelApply();
    EXPECT_EQ(q->sql_, k.sql);
    EXPECT_FALSE(c->Applied());
  }
}

TEST_F(OptionClassesTest, ApplyWithoutEnabledConditionsKeepsTheText) {
  TTestStatement* q = NewStatement("select * from T");
  TConditions* c = q->Conditions();
  c->AddCondition("A", "X = 1", false);
  c->Apply();
  EXPECT_EQ(q->sql_, "select * from T");
  EXPECT_TRUE(c->Applied());
  c->AddCondition("A", "X = 2", true);  // enabling clears Applied
  EXPECT_FALSE(c->Applied());
  c->Apply();
  c->FindCondition("A")->SetText("X = 3");  // text changes keep Applied
  EXPECT_TRUE(c->Applied());
  c->RemoveCondition("A");
  EXPECT_FALSE(c->Applied());
  EXPECT_EQ(c->Count(), 0);
}

TEST_F(OptionClassesTest, ConditionListKeepsOneConditionPerLine) {
  TConditions* c = NewStatement("")->Conditions();
  TObject foreign;
  EXPECT_EQ(c->AddObject("A=1", &foreign), -1);
  EXPECT_EQ(c->Count(), 0);
  c->Add("A=1");
  c->AddObject("B=2", nullptr);  // gets a condition too
  c->Put(2, "C=3");
  c->Put(0, "A=10");
  ASSERT_EQ(c->Count(), 3);
  for (int i = 0; i < 3; ++i) ASSERT_NE(c->GetCondition(i), nullptr);
  EXPECT_EQ(c->GetCondition(0)->Text(), "10");
  EXPECT_EQ(c->GetCondition(2)->Name(), "C");
  EXPECT_EQ(c->GetCondition(3), nullptr);
  EXPECT_EQ(c->GetCondition(-1), nullptr);
  c->Delete(1);
  EXPECT_EQ(c->Text(), "A=10\r\nC=3\r\n");
  delete c->GetCondition(0);  // a freed condition takes its line
  EXPECT_EQ(c->Text(), "C=3\r\n");

  TConditions* other = NewStatement("")->Conditions();
  other->AddCondition("D", "4", true);
  c->Assign(other);  // copies, never shares, the conditions
  ASSERT_EQ(c->Count(), 1);
  EXPECT_NE(c->GetCondition(0), other->GetCondition(0));
  EXPECT_TRUE(c->GetCondition(0)->Enabled());
  c->Clear();
  EXPECT_EQ(other->Count(), 1);
}

// Each line owns its own condition, whatever is handed to the list: the
// conditions of all lines are distinct and each answers for its own line,
// so freeing the list frees each exactly once (shown under the sanitizers).
TEST_F(OptionClassesTest, NoConditionIsSharedOrLostByTheListOperations) {
  auto distinct = [](TConditions* c) {
    std::set<TCondition*> seen;
    for (int i = 0; i < c->Count(); ++i) {
      TCondition* condition = c->GetCondition(i);
      if (condition == nullptr || condition->Owner() != c || !seen.insert(condition).second) return false;
      if (condition->Name() != c->Names(i)) return false;
    }
    return true;
  };
  TConditions* c = NewStatement("")->Conditions();
  c->AddCondition("A", "1", true);
  c->AddCondition("B", "2", false);
  c->AddStrings(c);  // its own lines again
  ASSERT_EQ(c->Count(), 4);
  EXPECT_TRUE(distinct(c));
  EXPECT_TRUE(c->GetCondition(2)->Enabled());
  EXPECT_FALSE(c->GetCondition(3)->Enabled());

  c->AddObject("C=3", c->GetCondition(0));
  c->InsertObject(0, "D=4", c->GetCondition(1));
  ASSERT_EQ(c->Count(), 6);
  EXPECT_TRUE(distinct(c));

  // A line keeps its condition: nullptr or another line's condition does
  // not take it away (the latter lends its switch).
  TCondition* first = c->GetCondition(0);
  EXPECT_THROW(c->PutObject(6, c->GetCondition(1)), EStringListError);
  c->PutObject(0, nullptr);
  EXPECT_EQ(c->GetCondition(0), first);
  c->PutObject(0, c->GetCondition(1));
  EXPECT_EQ(c->GetCondition(0), first);
  EXPECT_TRUE(first->Enabled());
  EXPECT_TRUE(distinct(c));
  EXPECT_EQ(c->AddCondition("D", "5", false), first);  // found by name, not a null line
  EXPECT_EQ(first->Text(), "5");

  // A condition of this list on no line is taken; the line's old one goes.
  auto* loose = new TCondition(c);
  c->PutObject(0, loose);
  EXPECT_EQ(c->GetCondition(0), loose);
  EXPECT_EQ(loose->Name(), "D");
  EXPECT_TRUE(distinct(c));

  c->Exchange(0, 5);
  c->Move(1, 4);
  EXPECT_TRUE(distinct(c));
  c->RemoveCondition("A");
  EXPECT_GE(c->IndexOfName("A"), 0);  // the copy of A stays
  EXPECT_TRUE(distinct(c));
}

TEST_F(OptionClassesTest, ConditionsTextFormRoundTrip) {
  TConditions* c = NewStatement("")->Conditions();
  c->AddCondition("A", "X = 1", true);
  c->AddCondition("B", "", false);
  const String text = c->SaveToStrings();
  EXPECT_EQ(text, "A#$#$X = 1#$#$1\r\nB#$#$#$#$0\r\n");
  TConditions* d = NewStatement("")->Conditions();
  d->LoadFromStrings(text + "\r\nC\r\n");
  ASSERT_EQ(d->Count(), 3);
  EXPECT_EQ(d->SaveToStrings(), text + "C#$#$#$#$0\r\n");
}

TEST_F(OptionClassesTest, ConditionsStreamThroughTheFormText) {
  TTestStatement* q = NewStatement("");
  q->Conditions()->AddCondition("A", "X = 'a'", true);
  q->Conditions()->AddCondition("Empty", "", false);
  const String text = WriteComponentToText(q);
  EXPECT_NE(text.find("Conditions.Data = ("), String::npos) << text;
  EXPECT_EQ(text.find("Conditions.Strings"), String::npos) << text;

  std::unique_ptr<TComponent> owner(new TComponent(nullptr));
  auto* copy = dynamic_cast<TTestStatement*>(CreateComponentFromText(text, owner.get()));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Conditions()->SaveToStrings(), q->Conditions()->SaveToStrings());
  EXPECT_TRUE(copy->Conditions()->FindCondition("A")->TextFromStream());
  EXPECT_TRUE(copy->Conditions()->FindCondition("A")->EnabledFromStream());
  copy->Conditions()->FindCondition("A")->SetEnabled(false);
  EXPECT_FALSE(copy->Conditions()->FindCondition("A")->EnabledFromStream());
}

TEST_F(OptionClassesTest, OlderResourcesGiveStringsAndEnabledFlags) {
  const String text =
      "object Old: TTestStatement\n"
      "  Conditions.Strings = ('A=X = 1' 'B=Y = 2' 'C=Z = 3')\n"
      "  Conditions.Enabled = '11101'\n"  // characters 2 and 4: A on, B off; the last is no flag
      "end\n";
  auto* q = dynamic_cast<TTestStatement*>(CreateComponentFromText(text, module_));
  ASSERT_NE(q, nullptr);
  TConditions* c = q->Conditions();
  ASSERT_EQ(c->Count(), 3);
  EXPECT_TRUE(c->GetCondition(0)->Enabled());
  EXPECT_FALSE(c->GetCondition(1)->Enabled());
  EXPECT_FALSE(c->GetCondition(2)->Enabled());
}

TEST_F(OptionClassesTest, DataAgainstAnAncestorWritesOnlyTheDifferences) {
  TConditions* ancestor = NewStatement("")->Conditions();
  ancestor->AddCondition("Same", "S", true);
  ancestor->AddCondition("Switched", "W", false);
  ancestor->AddCondition("Edited", "E", true);
  ancestor->AddCondition("Gone", "G", true);
  TConditions* c = NewStatement("")->Conditions();
  c->AddCondition("Same", "S", true);
  c->AddCondition("Switched", "W", true);
  c->AddCondition("Edited", "", true);
  c->AddCondition("New", "", false);
  EXPECT_TRUE(c->HasData(ancestor));
  EXPECT_FALSE(ancestor->HasData(ancestor));
  EXPECT_FALSE(c->HasData(module_));  // an ancestor of another class

  TWriter writer(module_);
  c->WriteDataProperty(writer, ancestor);
  TValueNode data = writer.Result();
  std::vector<String> items;
  for (const TValueNode& v : data.Items)
    items.push_back(v.Type == vaIdent ? v.Str : v.Str.empty() ? "<>" : v.Str);
  const std::vector<String> expected = {"Switched", "0", "True", "Edited", "<>", "True",
                                        "New", "'", "False", "#@DELETED", "Gone"};
  EXPECT_EQ(items, expected);

  // Read over a copy of the ancestor: inherited texts stay, the rest applies.
  TConditions* derived = NewStatement("")->Conditions();
  TWriter ancestorWriter(module_);
  ancestor->WriteDataProperty(ancestorWriter, nullptr);
  TValueNode ancestorData = ancestorWriter.Result();
  TReader first(ancestorData, module_);
  derived->ReadDataProperty(first);
  derived->AddCondition("Unknown", "U", true);
  TReader second(data, module_);
  derived->ReadDataProperty(second);
  EXPECT_EQ(derived->SaveToStrings(),
            "Same#$#$S#$#$1\r\nSwitched#$#$W#$#$1\r\nEdited#$#$#$#$1\r\nUnknown#$#$U#$#$1\r\nNew#$#$#$#$0\r\n");

  // "0" stands for the ancestor's text: for a name the list lacks it is ignored.
  TWriter inheritedOnly(module_);
  inheritedOnly.WriteListBegin();
  inheritedOnly.WriteString("Missing");
  inheritedOnly.WriteString("0");
  inheritedOnly.WriteBoolean(true);
  inheritedOnly.WriteListEnd();
  TValueNode inheritedData = inheritedOnly.Result();
  TReader third(inheritedData, module_);
  derived->ReadDataProperty(third);
  EXPECT_EQ(derived->FindCondition("Missing"), nullptr);
}

// --- Database streaming -------------------------------------------------------------------

TEST_F(OptionClassesTest, DatabaseAndTransactionStreamThroughTheFormText) {
  auto* db = new TFIBDatabase(module_);
  db->SetName("DB1");
  db->SetDBName("/data/x.fdb");
  db->DBParams()->SetText("user_name=SYSDBA\npassword=masterkey\nlc_ctype=UTF8");
  db->SetSQLDialect(3);
  db->SetTimeout(5000);
  db->SetUseRepositories({urFieldsInfo});
  db->CSMonitorSupport()->SetEnabled(csmeEnabled);
  auto* tr = new TFIBTransaction(module_);
  tr->SetName("Tr1");
  tr->SetDefaultDatabase(db);
  tr->SetTimeoutAction(TACommit);
  tr->TRParams()->SetText("read\nread_committed");
  db->SetDefaultTransaction(tr);

  const String text = WriteComponentToText(module_);
  EXPECT_EQ(text.find("Connected"), String::npos) << text;  // not connected
  EXPECT_EQ(text.find("ConnectParams"), String::npos) << text;
  EXPECT_EQ(text.find("LibraryName"), String::npos) << text;
  EXPECT_NE(text.find("SQLDialect = 3"), String::npos) << text;
  EXPECT_NE(text.find("DBParams.Strings = ("), String::npos) << text;
  EXPECT_NE(text.find("CSMonitorSupport.Enabled = csmeDatabaseDriven"), String::npos) << text;

  auto* copy = new TTestModule(nullptr);
  ReadComponentFromText(copy, text);
  auto* db2 = dynamic_cast<TFIBDatabase*>(copy->FindComponent("DB1"));
  auto* tr2 = dynamic_cast<TFIBTransaction*>(copy->FindComponent("Tr1"));
  ASSERT_NE(db2, nullptr);
  ASSERT_NE(tr2, nullptr);
  EXPECT_EQ(db2->DBName(), "/data/x.fdb");
  EXPECT_EQ(db2->DBParams()->Text(), db->DBParams()->Text());
  EXPECT_EQ(db2->Timeout(), 5000u);
  EXPECT_EQ(db2->UseRepositories(), TFIBUseRepositories{urFieldsInfo});
  EXPECT_EQ(db2->CSMonitorSupport()->Enabled(), csmeEnabled);
  EXPECT_EQ(db2->DefaultTransaction(), tr2);
  EXPECT_EQ(tr2->DefaultDatabase(), db2);
  EXPECT_EQ(tr2->TimeoutAction(), TACommit);
  EXPECT_EQ(tr2->TRParams()->Text(), "read\r\nread_committed\r\n");
  EXPECT_EQ(db2->GetInternalTransaction()->Name(), "DB1_InternalTransaction");
  EXPECT_EQ(WriteComponentToText(copy), text);
  delete copy;
}

TEST_F(OptionClassesTest, PasswordIsLeftOutWhenAskedAndMovesToTheEnd) {
  fbtest::TTempDatabase file;
  TFIBDatabase* db = fbtest::NewFIBDatabase(module_, file.Path());
  db->SetName("DB1");
  db->SetDesignDBOptions({ddoNotSavePassword});  // not stored: written while connected too
  db->Connect();
  const String text = WriteComponentToText(module_);
  EXPECT_EQ(text.find("masterkey"), String::npos) << text;
  EXPECT_NE(text.find("'user_name=SYSDBA'"), String::npos) << text;
  EXPECT_EQ(db->DBParams()->Strings(db->DBParams()->Count() - 1), "password=masterkey");
  db->Close();
}

TEST_F(OptionClassesTest, StreamedConnectedConnectsOnceLoaded) {
  fbtest::TTempDatabase file;
  TFIBDatabase* db = fbtest::NewFIBDatabase(module_, file.Path());
  db->SetName("DB1");
  auto* tr = new TFIBTransaction(module_);
  tr->SetName("Tr1");
  db->SetDefaultTransaction(tr);
  db->Connect();
  tr->StartTransaction();
  const String text = WriteComponentToText(module_);
  EXPECT_NE(text.find("Connected = True"), String::npos) << text;
  EXPECT_NE(text.find("Active = True"), String::npos) << text;
  db->SetDesignDBOptions({});
  EXPECT_EQ(WriteComponentToText(module_).find("Connected"), String::npos);
  db->Close();

  auto* copy = new TTestModule(nullptr);
  ReadComponentFromText(copy, text);
  auto* db2 = dynamic_cast<TFIBDatabase*>(copy->FindComponent("DB1"));
  auto* tr2 = dynamic_cast<TFIBTransaction*>(copy->FindComponent("Tr1"));
  EXPECT_TRUE(db2->Connected());
  EXPECT_TRUE(tr2->Active());
  delete copy;
}

}  // namespace
