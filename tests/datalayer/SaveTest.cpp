// Transactional delete and save on the embedded engine and on the stand-in
// desktop engine, the message window answered by TMsgAnswerer; what was
// written is read back through an attachment of its own. The lost server
// connection runs in a child process on the test server.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "datalayer/B_DBproc.h"
#include "platform/db/DBTables.h"
#include "platform/rtl/SysUtils.h"
#include "tests/datalayer/DataLayerFixture.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeDBEngine.h"

using namespace std::chrono_literals;
using dltest::MemoText;
using dltest::TMsgAnswerer;

namespace {

constexpr char kDataInUse[] =
    "Возможно данные используются в другом месте.\rЕсли Вы хотите удалить эти данные, то удалите все записи в тех "
    "местах\rкоторые ссылаются или зависят то этих данных.";
constexpr char kUniqueViolation[] =
    "Нарушение ПЕРВИЧНОГО или УНИКАЛЬНОГО, ключевого поля возможно такое значение уже существует.";
constexpr char kCommandFailed[] = "Команда не отработала нормально.";

bool EndsWith(const String& Text, const String& Tail) {
  return Text.size() >= Tail.size() && Text.compare(Text.size() - Tail.size(), Tail.size(), Tail) == 0;
}

TEST(DBErrorTextTest, EngineCodesSQLCodesAndTheRest) {
  struct Case {
    Word Code;
    Integer Native;
    String Expected;
  };
  const Case cases[] = {
      {0x2601, 0, "Нарушение значения ключа."},
      {0x2604, 0,
       "Возможно в поле требуется значение или\rэтому полю нельзя присвоить значение не совподающее по типу."},
      {0x2606, 0, kDataInUse},
      {0x3303, 0, "Общая SQL ошибка."},
      {0x2601, -803, kUniqueViolation},
      {0, -625, "Ошибка в момент проверки значения при присвоении к колонке."},
      {0x3303, -530, kDataInUse},
      {5, 7, "Native:7  Code:5"},
      {0x2602, 0, "Native:0  Code:9730"},
      {0x2601, -901, "Native:-901  Code:9729"},
  };
  for (const Case& c : cases) EXPECT_EQ(DBErrorText(c.Code, c.Native), c.Expected) << c.Code << " " << c.Native;
}

class SaveTest : public dltest::TDataLayerTest<SaveTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table GRP (ID integer not null primary key, NAME varchar(20))",
        "create table ITEM (ID integer not null primary key, GRP_ID integer references GRP (ID), "
        "NAME varchar(20), CODE varchar(10) unique, NOTE varchar(10) not null)",
        // The server fills NOTE when the client leaves it empty.
        "create trigger ITEM_BI for ITEM before insert as begin if (new.NOTE is null) then new.NOTE = 'auto'; end",
    };
  }

 protected:
  void SetUp() override {
    TDataLayerTest::SetUp();
    file_->Exec({"delete from ITEM", "delete from GRP", "insert into GRP values (1, 'g1')",
                 "insert into GRP values (2, 'g2')", "insert into ITEM values (1, 1, 'a', 'A', 'n')",
                 "insert into ITEM values (2, 1, 'b', 'B', 'n')"});
  }
  // A query that writes its own statements for Table (key ID).
  TB_Query* Editable(const String& SQL, const String& Table, TFIBTransaction* UpdateTransaction = nullptr) {
    TB_Query* q = NewQuery(SQL);
    TAutoUpdateOptions* o = q->AutoUpdateOptions();
    o->SetUpdateTableName(Table);
    o->SetKeyFields("ID");
    o->SetAutoReWriteSqls(true);
    o->SetCanChangeSQLs(true);
    if (UpdateTransaction != nullptr) q->SetUpdateTransaction(UpdateTransaction);
    return q;
  }
  // What the server holds, read by an attachment of its own.
  String Server(const std::string& Select) { return file_->QueryValue(Select); }
};

TEST_F(SaveTest, DeleteAskedAndRefusedKeepsTheRecord) {
  TB_Query* q = Editable("select ID, NAME from GRP order by ID", "GRP");
  q->Open();
  TMsgAnswerer answer(2);
  EXPECT_FALSE(DeleteRecordConfirmed(q, true, 1));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(answer.Shown[0].Text, MemoText("Вы уверены, что хотите удалить данные?"));
  EXPECT_EQ(answer.Shown[0].Type, b_mtError);
  EXPECT_EQ(answer.Shown[0].Buttons, "1;2;Да|IM_OK;Нет|IM_CANCEL");
  EXPECT_EQ(Column(q, "ID"), "1,2");
  EXPECT_EQ(Server("select count(*) from GRP"), "2");

  EXPECT_FALSE(DeleteRecordConfirmed(nullptr, true, 1));
  q->Close();
  EXPECT_FALSE(DeleteRecordConfirmed(q, true, 1));
  EXPECT_EQ(answer.Shown.size(), 1u) << "nothing asked for a closed dataset";
}

TEST_F(SaveTest, DeleteCommitsATransactionItStarted) {
  TFIBTransaction* update = NewTransaction(db_);
  TB_Query* q = Editable("select ID, NAME from GRP order by ID", "GRP", update);
  q->Open();
  ASSERT_TRUE(q->Locate("ID", 2, {}));
  TMsgAnswerer answer(1);
  EXPECT_TRUE(DeleteRecordConfirmed(q, true, 1)) << "a deletion that reached the server needs no further save";
  EXPECT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(Column(q, "ID"), "1");
  EXPECT_FALSE(update->Active());
  EXPECT_EQ(Server("select count(*) from GRP where ID = 2"), "0");
}

TEST_F(SaveTest, DeleteInTheCallersTransactionLeavesItOpenWithTheCallersWork) {
  TFIBTransaction* shared = db_->DefaultTransaction();
  TB_Query* groups = Editable("select ID, NAME from GRP order by ID", "GRP");
  TB_Query* items = Editable("select ID, GRP_ID, NAME, CODE, NOTE from ITEM order by ID", "ITEM");
  groups->Open();
  items->Open();
  ASSERT_TRUE(shared->Active());
  items->Append();
  items->FieldByName("ID")->SetAsInteger(3);
  items->FieldByName("GRP_ID")->SetAsInteger(1);
  items->FieldByName("NAME")->SetAsString("new");
  items->Post();

  // Group 1 is referenced: the server refuses, and only this delete is undone.
  TMsgAnswerer answer;
  EXPECT_FALSE(DeleteRecordConfirmed(groups, false, 1));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_TRUE(EndsWith(answer.Shown[0].Text, MemoText(String(" ") + kDataInUse))) << answer.Shown[0].Text;
  EXPECT_TRUE(shared->Active());
  EXPECT_EQ(Column(groups, "ID"), "1,2");
  EXPECT_EQ(Column(items, "ID"), "1,2,3");

  // A delete that succeeds stays in the caller's transaction, uncommitted.
  ASSERT_TRUE(groups->Locate("ID", 2, {}));
  EXPECT_TRUE(DeleteRecordConfirmed(groups, false, 1));
  EXPECT_TRUE(shared->Active());
  EXPECT_EQ(Server("select count(*) from GRP"), "2");
  EXPECT_EQ(Server("select count(*) from ITEM"), "2");
  shared->Commit();
  EXPECT_EQ(Server("select list(ID) from (select ID from GRP order by ID)"), "1");
  EXPECT_EQ(Server("select list(ID) from (select ID from ITEM order by ID)"), "1,2,3");
}

TEST_F(SaveTest, FailedCachedDeleteBringsBackThatRecordOnly) {
  TFIBTransaction* update = NewTransaction(db_);
  TB_Query* q = Editable("select ID, NAME from GRP order by ID", "GRP", update);
  q->SetCachedUpdates(true);
  q->Open();
  ASSERT_TRUE(q->Locate("ID", 2, {}));
  q->Edit();
  q->FieldByName("NAME")->SetAsString("changed");
  q->Post();
  ASSERT_TRUE(q->Locate("ID", 1, {}));

  // Mode 2 applies every cached update; group 1 is referenced.
  TMsgAnswerer answer;
  EXPECT_FALSE(DeleteRecordConfirmed(q, false, 2));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_NE(answer.Shown[0].Text.find(dltest::MemoLines(String(kCommandFailed) + "\r" + kDataInUse + "\rSQLCode=-530 ")),
            String::npos)
      << answer.Shown[0].Text;
  EXPECT_EQ(q->FieldByName("ID")->AsInteger(), 1) << "the record is back and current";
  EXPECT_EQ(Column(q, "NAME"), "g1,changed");
  EXPECT_TRUE(q->UpdatesPending());
  EXPECT_FALSE(update->Active()) << "the transaction the delete started was rolled back";
  EXPECT_EQ(Server("select list(NAME) from (select NAME from GRP order by ID)"), "g1,g2");

  // Mode 1 leaves a cached deletion pending; mode 2 saves it all.
  ASSERT_TRUE(q->Locate("ID", 2, {}));
  EXPECT_TRUE(DeleteRecordConfirmed(q, false, 1));
  EXPECT_EQ(Server("select count(*) from GRP"), "2");
  file_->Exec("delete from ITEM");
  ASSERT_TRUE(q->Locate("ID", 1, {}));
  EXPECT_TRUE(DeleteRecordConfirmed(q, false, 2));
  EXPECT_FALSE(q->UpdatesPending());
  EXPECT_EQ(Server("select count(*) from GRP"), "0");
  EXPECT_EQ(answer.Shown.size(), 1u);
}

TEST_F(SaveTest, UniqueKeyViolationOnSaveShowsItsTextAndCancels) {
  TB_Query* q = Editable("select ID, GRP_ID, NAME, CODE, NOTE from ITEM order by ID", "ITEM");
  q->Open();
  q->FieldByName("NOTE")->SetRequired(true);
  TMsgAnswerer answer;
  const String tail = MemoText(String(kCommandFailed) + "\r" + kUniqueViolation + "\rSQLCode=-803 IBErrorCode=" +
                               IntToStr(static_cast<Int64>(isc_unique_key_violation)));

  q->Insert();
  q->FieldByName("ID")->SetAsInteger(10);
  q->FieldByName("CODE")->SetAsString("A");
  EXPECT_FALSE(PostDataSet(q, 1, true));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(answer.Shown[0].Type, b_mtError);
  EXPECT_TRUE(EndsWith(answer.Shown[0].Text, tail)) << answer.Shown[0].Text;
  EXPECT_EQ(q->State(), dsBrowse);
  EXPECT_EQ(Column(q, "ID"), "1,2");

  ASSERT_TRUE(q->Locate("ID", 2, {}));
  q->Edit();
  q->FieldByName("CODE")->SetAsString("A");
  EXPECT_FALSE(PostDataSet(q, 1, false));
  EXPECT_EQ(answer.Shown.size(), 1u) << "ShowErrors off";
  EXPECT_EQ(q->State(), dsBrowse);
  EXPECT_EQ(q->FieldByName("CODE")->AsString(), "B");
  EXPECT_TRUE(q->FieldByName("NOTE")->Required()) << "switched off for the save only";
  EXPECT_EQ(Server("select list(CODE) from (select CODE from ITEM order by ID)"), "A,B");
}

TEST_F(SaveTest, SaveLeavesRequiredFieldsToTheServerAndCommits) {
  TB_Query* q = Editable("select ID, GRP_ID, NAME, CODE, NOTE from ITEM order by ID", "ITEM");
  q->Open();
  q->FieldByName("NOTE")->SetRequired(true);
  q->Insert();
  q->FieldByName("ID")->SetAsInteger(11);
  TMsgAnswerer answer;
  EXPECT_TRUE(PostDataSet(q, 1, true));
  EXPECT_TRUE(answer.Shown.empty());
  EXPECT_EQ(Server("select NOTE from ITEM where ID = 11"), "auto");
  EXPECT_TRUE(q->FieldByName("NOTE")->Required());
  q->Insert();
  q->FieldByName("ID")->SetAsInteger(12);
  EXPECT_THROW(q->Post(), EDatabaseError) << "a plain post checks the requirement";
  q->Cancel();
}

TEST_F(SaveTest, LightSaveTakesTheControlsValuesAndFullSaveCommits) {
  TB_Query* q = Editable("select ID, NAME from GRP order by ID", "GRP");
  q->Open();
  EXPECT_FALSE(ApplyDataSet(q, 1)) << "nothing to take in browse state";
  EXPECT_FALSE(ApplyDataSet(nullptr, 2));
  q->Edit();
  q->FieldByName("NAME")->SetAsString("edited");
  EXPECT_TRUE(ApplyDataSet(q, 1));
  EXPECT_EQ(q->State(), dsEdit) << "nothing posted";
  EXPECT_EQ(Server("select NAME from GRP where ID = 1"), "g1");

  PostWithCommit = 1;
  EXPECT_TRUE(ApplyDataSet(q, 1));
  EXPECT_EQ(q->State(), dsBrowse);
  EXPECT_EQ(Server("select NAME from GRP where ID = 1"), "edited");

  // Mode 3 cancels: the edit, or every cached update.
  q->Edit();
  q->FieldByName("NAME")->SetAsString("dropped");
  EXPECT_TRUE(PostDataSet(q, 3, true));
  EXPECT_EQ(q->FieldByName("NAME")->AsString(), "edited");
  q->Close();
  q->SetCachedUpdates(true);
  q->Open();
  for (const char* name : {"x", "y"}) {
    q->Edit();
    q->FieldByName("NAME")->SetAsString(name);
    q->Post();
    q->Next();
  }
  EXPECT_TRUE(PostDataSet(q, 3, true));
  EXPECT_EQ(Column(q, "NAME"), "edited,g2");
  EXPECT_FALSE(PostDataSet(q, 4, true));
}

// --- The engine family ------------------------------------------------------------------------

TEST_F(SaveTest, EngineDeleteInItsOwnTransactionAndItsUndo) {
  TFakeDBEngine engine;
  engine.AddTable("DB", "ITEMS", {{"ID", ftInteger}, {"NAME", ftString, 20}}).Rows = {{1, "one"}, {2, "two"}};
  TQuery q(nullptr);
  q.SetDatabaseName("DB");
  q.SQL()->SetText("select * from ITEMS");
  q.Open();
  engine.Log.clear();
  EXPECT_TRUE(DeleteRecordConfirmed(&q, false, 1));
  EXPECT_EQ(engine.Log, (std::vector<String>{"StartTransaction", "Delete(1,one)", "Commit"}));

  // The commit fails: rolled back, and the row is back in view.
  engine.Log.clear();
  engine.Fail("Commit", EDBEngineError(0x3303, "General SQL error"));
  TMsgAnswerer answer;
  EXPECT_FALSE(DeleteRecordConfirmed(&q, false, 1));
  EXPECT_EQ(engine.Log, (std::vector<String>{"StartTransaction", "Delete(2,two)", "Rollback"}));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(answer.Shown[0].Text, MemoText("General SQL error\r Общая SQL ошибка."));
  EXPECT_EQ(Column(&q, "NAME"), "two");
  EXPECT_EQ(engine.Table("DB", "ITEMS").Rows.size(), 1u);

  // A transaction the caller opened stays open.
  q.Database()->StartTransaction();
  engine.Log.clear();
  EXPECT_TRUE(DeleteRecordConfirmed(&q, false, 1));
  EXPECT_EQ(engine.Log, (std::vector<String>{"Delete(2,two)"}));
  EXPECT_TRUE(q.Database()->InTransaction());
  q.Database()->Rollback();
  q.Close();
}

TEST_F(SaveTest, EngineSaveFailureShowsTheEngineTexts) {
  TFakeDBEngine engine;
  engine.AddTable("DB", "ITEMS", {{"ID", ftInteger}, {"NAME", ftString, 20}}).Rows = {{1, "one"}};
  TQuery q(nullptr);
  q.SetDatabaseName("DB");
  q.SQL()->SetText("select * from ITEMS");
  q.Open();
  q.Edit();
  q.FieldByName("NAME")->SetAsString("uno");
  engine.Fail("Modify", EDBEngineError(std::vector<TDBError>{TDBError(0x2601, 0, "Key violation"),
                                                             TDBError(0x3303, -803, "")}));
  TMsgAnswerer answer;
  EXPECT_FALSE(PostDataSet(&q, 1, true));
  ASSERT_EQ(answer.Shown.size(), 1u);
  EXPECT_EQ(answer.Shown[0].Text, MemoText(String("Key violation\r") + kCommandFailed +
                                           "\rНарушение значения ключа.\r" + kUniqueViolation));
  EXPECT_EQ(q.State(), dsBrowse);
  EXPECT_EQ(q.FieldByName("NAME")->AsString(), "one");

  q.Edit();
  q.FieldByName("NAME")->SetAsString("uno");
  engine.Log.clear();
  EXPECT_TRUE(PostDataSet(&q, 1, true));
  EXPECT_EQ(engine.Log, (std::vector<String>{"Modify(1,one>1,uno)"})) << "no transaction open: none committed";
  q.Close();
}

// --- A lost server connection -----------------------------------------------------------------

constexpr char kChildDatabase[] = "DL_LOST_CONNECTION_DB";

void Say(const String& Text) {
  std::printf("child: %s\n", Text.c_str());
  std::fflush(stdout);
}

void FinalProbe() { Say("finalized"); }
constexpr const TUnit* kProbeUses[] = {&unit_B_DBFBPlus};
constinit const TUnit unit_LostConnectionProbe("LostConnectionProbe", kProbeUses, nullptr, FinalProbe);

TEST(LostConnectionChild, Run) {
  const char* path = std::getenv(kChildDatabase);
  if (path == nullptr) GTEST_SKIP() << "runs as the child of SaveTest.LostConnectionEndsTheProgram";
  fbtest::InitFIBUnits();
  InitializeUnits({&unit_LostConnectionProbe, &unit_Jpeg});
  Application->Initialize();
  TComponent owner(nullptr);
  TFIBDatabase* db = fbtest::NewFIBDatabase(&owner, path);
  auto* tr = new TFIBTransaction(&owner);
  tr->SetDefaultDatabase(db);
  db->SetDefaultTransaction(tr);
  db->Connect();
  auto* q = new TB_Query(&owner);
  q->SetDatabase(db);
  q->SQL()->SetText("select ID, NAME from GRP");
  q->AutoUpdateOptions()->SetUpdateTableName("GRP");
  q->AutoUpdateOptions()->SetKeyFields("ID");
  q->AutoUpdateOptions()->SetAutoReWriteSqls(true);
  q->Open();
  q->Edit();
  q->FieldByName("NAME")->SetAsString("lost");
  Say("attachment " + IntToStr(db->GetAttachmentID()));
  std::string line;
  std::getline(std::cin, line);  // the parent closes the input once the attachment is gone
  TMsgAnswerer answer;
  answer.SetOnShown([](const dltest::TShownMsg& Shown) {
    String text = Shown.Text;
    for (char& c : text)
      if (c == '\r' || c == '\n') c = '|';
    Say("message " + text);
  });
  const bool saved = PostDataSet(q, 1, true);
  Say(saved ? "returned true" : "returned false");
}

TEST_F(SaveTest, LostConnectionEndsTheProgramWithCode4AfterTheMessage) {
  if (!fbtest::ServerAvailable()) GTEST_SKIP() << "no server on 127.0.0.1:3050";
  fbtest::TTempDatabase file("UTF8");
  file.Exec({"create table GRP (ID integer not null primary key, NAME varchar(20))",
             "insert into GRP values (1, 'g1')"});
  TChildProcess child({"/proc/self/exe", "--gtest_filter=LostConnectionChild.Run"},
                      {String(kChildDatabase) + "=" + file.ServerPath()});
  ASSERT_TRUE(child.Started());
  String line;
  while (line.rfind("child: ", 0) != 0) ASSERT_TRUE(child.ReadLine(line, 60s));
  ASSERT_EQ(line.rfind("child: attachment ", 0), 0u) << line;
  const String attachment = line.substr(18);

  TFIBDatabase* killer = fbtest::NewFIBDatabase(form_, file.ServerPath());
  killer->Connect();
  TFIBTransaction* tr = NewTransaction(killer);
  tr->StartTransaction();
  fbtest::ExecSQL(tr, "delete from mon$attachments where mon$attachment_id = " + attachment);
  tr->Commit();
  child.CloseInput();

  const String output = child.ReadAll(60s);
  EXPECT_EQ(child.Wait(30s), 4) << output;
  const size_t message = output.find("child: message Потеряна связь с SQL сервером.||Программа будет занрыта.||");
  const size_t finalized = output.find("child: finalized");
  EXPECT_NE(message, String::npos) << output;
  EXPECT_NE(finalized, String::npos) << output;
  EXPECT_LT(message, finalized) << output;
  EXPECT_EQ(output.find("child: returned"), String::npos) << output;
}

}  // namespace
