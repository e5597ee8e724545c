// The repository tables and column information on real FIB$FIELDS_INFO and
// FIB$DATASETS_INFO tables: existence checks, column metadata, repository
// rows, version re-reads, dataset definitions, the upgrade statements and
// the caches shared by threads.
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"
#include "tests/dataaccess/datasets/RepositorySuite.h"

namespace {

using dstest::ClientError;

class RepositoryTest : public dstest::TRepositorySuite<RepositoryTest> {
 public:
  static std::vector<std::string> OwnTables() {
    return {
        "create domain UUID_GUID as char(16) character set octets",
        "create table CLIENTS (ID integer not null primary key, NAME varchar(30) default 'nobody', "
        "NOTE varchar(20) default '', CNT integer default 0, TWICE computed by (ID * 2), DOC blob, "
        "FLAG FIB$BOOLEAN, G UUID_GUID)",
        "create table PAIRS (A integer not null, B integer not null, primary key (A, B))",
        "create table \"O'NEIL\" (ID integer)",
        "create procedure P_OUT returns (X integer, Y varchar(10)) as begin suspend; end",
        "insert into CLIENTS (ID, NAME) values (1, 'one')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL, VISIBLE, TRIGGERED, DISPLAY_WIDTH, "
        "DISPLAY_FORMAT, CHAR_CASE) values ('CLIENTS', 'NAME', 'Client name', 0, 1, 25, '@', 'U')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('O''NEIL', 'ID', 'Key')",
        "insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME, DISPLAY_LABEL) values ('ALIAS', 'NAME', 'Any name')",
        "insert into FIB$DATASETS_INFO (DS_ID, DESCRIPTION, SELECT_SQL, UPDATE_SQL, REFRESH_SQL, NAME_GENERATOR, "
        "KEY_FIELD, UPDATE_TABLE_NAME, UPDATE_ONLY_MODIFIED_FIELDS, CONDITIONS) values (1, 'Clients', "
        "'select ID, NAME from CLIENTS', 'update CLIENTS set NAME = ?NAME where ID = ?OLD_ID', "
        "'select ID, NAME from CLIENTS where ID = ?OLD_ID', 'GEN_CLIENTS', 'ID', 'CLIENTS', 1, "
        "'BYNAME#$#$NAME = ''one''#$#$0')"};
  }

 protected:
  TpFIBDataSet* NewPDataSet(Integer ID, TFIBDatabase* Database = nullptr) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText("select ID from CLIENTS");
    ds->SetDataSet_ID(ID);
    return ds;
  }

  void Exec(const String& SQL) {
    TFIBTransaction* tr = db_->DefaultTransaction();
    if (tr->Active()) tr->Commit();
    tr->StartTransaction();
    fbtest::ExecSQL(tr, SQL);
    tr->Commit();
  }
};

TEST_F(RepositoryTest, ExistenceChecksFollowUseRepositories) {
  EXPECT_TRUE(FieldsInfoTableExists(db_));
  EXPECT_TRUE(DataSetsInfoTableExists(db_));
  EXPECT_FALSE(RepositoryTableExists(db_, rtErrorMessages));
  EXPECT_FALSE(RepositoryTableExists(db_, 0));
  EXPECT_FALSE(RepositoryTableExists(nullptr, rtFieldsInfo));
  EXPECT_TRUE(FIBBooleanDomainExists(db_));

  // A kind the database does not take part in is never asked for: a
  // closed database answers without a query.
  TFIBDatabase* closed = fbtest::NewFIBDatabase(form_, file_->Path());
  closed->SetUseRepositories({urFieldsInfo});
  EXPECT_FALSE(DataSetsInfoTableExists(closed));
  EXPECT_THROW(FieldsInfoTableExists(closed), EFIBError);

  // Answers are kept: a table made later stays absent, until a database on
  // a designer surface asks again for everyone.
  Exec("create table FIB$ERROR_MESSAGES (CONSTRAINT_NAME varchar(67) not null primary key, MESSAGE_STRING "
       "varchar(1024), FIB$VERSION integer)");
  EXPECT_FALSE(RepositoryTableExists(db_, rtErrorMessages));
  TFIBDatabase* designed = fbtest::NewFIBDatabase(form_, file_->Path());
  designed->Connect();
  designed->SetDesigning(true);
  EXPECT_TRUE(RepositoryTableExists(designed, rtErrorMessages));
  EXPECT_TRUE(RepositoryTableExists(db_, rtErrorMessages));
  designed->SetDesigning(false);
  designed->Close();
  Exec("drop table FIB$ERROR_MESSAGES");
}

TEST_F(RepositoryTest, ExistenceAnswersBelongToTheAttachment) {
  // A file without repository tables.
  fbtest::TTempDatabase plain;
  plain.Exec({"create table P (ID integer)", "insert into P values (1)"});
  TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file_->Path());
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  db->SetDefaultTransaction(tr);
  db->Connect();
  EXPECT_TRUE(FieldsInfoTableExists(db));
  EXPECT_TRUE(DataSetsInfoTableExists(db));
  // The same object on the other file: asked again there.
  db->Close();
  db->SetDBName(plain.Path());
  db->Connect();
  EXPECT_FALSE(FieldsInfoTableExists(db));
  EXPECT_FALSE(DataSetsInfoTableExists(db));
  auto* ds = new TpFIBDataSet(form_);
  ds->SetDatabase(db);
  ds->SelectSQL()->SetText("select ID from P");
  ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psApplyRepositary});
  EXPECT_NO_THROW(ds->Open());
  EXPECT_EQ(ds->FieldByName("ID")->AsInteger(), 1);
  ds->Close();
  // And back.
  db->Close();
  db->SetDBName(file_->Path());
  db->Connect();
  EXPECT_TRUE(FieldsInfoTableExists(db));
  // A table made while disconnected is seen after the reconnect.
  EXPECT_FALSE(RepositoryTableExists(db, rtErrorMessages));
  db->Close();
  Exec("create table FIB$ERROR_MESSAGES (CONSTRAINT_NAME varchar(67) not null primary key, MESSAGE_STRING "
       "varchar(1024), FIB$VERSION integer)");
  db->Connect();
  EXPECT_TRUE(RepositoryTableExists(db, rtErrorMessages));
  db->Close();
  Exec("drop table FIB$ERROR_MESSAGES");
  delete ds;
}

TEST_F(RepositoryTest, ColumnInformationFromTheSystemTables) {
  std::shared_ptr<TpFIBTableInfo> table = ListTableInfo()->GetTableInfo(db_, " \"CLIENTS\" ", false);
  ASSERT_TRUE(table);
  EXPECT_EQ(table->TableName(), "CLIENTS");
  EXPECT_EQ(table->DBName(), db_->DBName());
  EXPECT_EQ(table->FieldCount(), 8);
  EXPECT_FALSE(table->WithRepository());
  struct TCase {
    const char* Name;
    const char* Default;
    bool EmptyDefault, Computed, Key, Boolean, Guid;
  } cases[] = {{"ID", "", false, false, true, false, false},      {"NAME", "nobody", false, false, true, false, false},
               {"NOTE", "", true, false, true, false, false},     {"CNT", "0", false, false, true, false, false},
               {"TWICE", "", false, true, true, false, false},    {"DOC", "", false, false, false, false, false},
               {"FLAG", "1", false, false, true, true, false},    {"G", "", false, false, true, false, true}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TpFIBFieldInfo* f = table->FieldInfo(c.Name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->DefaultValue(), c.Default);
    EXPECT_EQ(f->DefaultValueEmptyString(), c.EmptyDefault);
    EXPECT_EQ(f->IsComputed(), c.Computed);
    EXPECT_EQ(f->CanBeKey(), c.Key);
    EXPECT_EQ(f->IsBooleanDomain(), c.Boolean);
    EXPECT_EQ(f->IsGuidDomain(), c.Guid);
    EXPECT_FALSE(f->Loaded());
  }
  EXPECT_EQ(table->FieldInfo("FLAG")->DomainName(), "FIB$BOOLEAN");
  EXPECT_EQ(table->FieldInfo(" \"NAME\" "), table->FieldInfo("NAME"));
  EXPECT_EQ(table->FieldInfo("NOPE"), nullptr);
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", false, "NOPE"), nullptr);
  EXPECT_EQ(ListTableInfo()->GetTableInfo(db_, "CLIENTS", false), table);  // cached

  // Procedures give their output parameters.
  std::shared_ptr<TpFIBTableInfo> proc = ListTableInfo()->GetTableInfo(db_, "P_OUT", false);
  ASSERT_EQ(proc->FieldCount(), 2);
  EXPECT_NE(proc->FieldInfo("X"), nullptr);
  EXPECT_NE(proc->FieldInfo("Y"), nullptr);
  EXPECT_EQ(ListSPInfo()->OutputParams(db_, "P_OUT"), (std::vector<String>{"X", "Y"}));

  // Primary keys, read once the database is connected.
  EXPECT_EQ(table->PrimaryKeyFields(db_), "ID");
  EXPECT_EQ(PrimaryKeyFields(db_, "\"PAIRS\""), "A;B");
  EXPECT_EQ(PrimaryKeyFields(db_, ""), "");
  TFIBDatabase* closed = fbtest::NewFIBDatabase(form_, file_->Path());
  EXPECT_EQ(PrimaryKeyFields(closed, "PAIRS"), kDeferredPrimaryKey);
  EXPECT_EQ(ListTableInfo()->GetTableInfo(nullptr, "CLIENTS", false), nullptr);
}

TEST_F(RepositoryTest, RepositoryRowsAndTheirVersions) {
  std::shared_ptr<TpFIBFieldInfo> name = ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME");
  ASSERT_TRUE(name);
  EXPECT_TRUE(name->Loaded());
  EXPECT_EQ(name->DisplayLabel(), "Client name");
  EXPECT_EQ(name->DisplayWidth(), 25);
  EXPECT_EQ(name->DisplayFormat(), "@");
  EXPECT_FALSE(name->Visible());
  EXPECT_TRUE(name->Triggered());
  EXPECT_EQ(name->OtherInfo()->Text(), "CHAR_CASE=U\r\n");
  EXPECT_EQ(name->DefaultValue(), "nobody");  // the metadata stays
  EXPECT_FALSE(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "CNT")->Loaded());
  // A name with a quote; the rows for any table.
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "\"O'NEIL\"", true, "ID")->DisplayLabel(), "Key");
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "ALIAS", true, "NAME")->DisplayLabel(), "Any name");

  // A changed row raises its version (the trigger): the next request after a
  // check takes the new attributes; what a caller holds stays as it was.
  Exec("update FIB$FIELDS_INFO set DISPLAY_LABEL = 'Renamed' where TABLE_NAME = 'CLIENTS' and FIELD_NAME = 'NAME'");
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME")->DisplayLabel(), "Client name");
  ListTableInfo()->NeedCheckVersions(db_);
  std::shared_ptr<TpFIBFieldInfo> renamed = ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME");
  EXPECT_EQ(renamed->DisplayLabel(), "Renamed");
  EXPECT_EQ(name->DisplayLabel(), "Client name");
  // Up to date: the entry stays, not checked again until marked.
  ListTableInfo()->NeedCheckVersions(db_);
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME"), renamed);
  EXPECT_FALSE(ListTableInfo()->GetTableInfo(db_, "CLIENTS", true)->NeedsCheck());

  // A changed table (its format) is read again; so is one a dataset
  // prepares against.
  Exec("alter table CLIENTS add EXTRA integer");
  EXPECT_EQ(ListTableInfo()->GetTableInfo(db_, "CLIENTS", false)->FieldInfo("EXTRA"), nullptr);
  auto* ds = new TFIBDataSet(form_);
  ds->SetDatabase(db_);
  ds->SelectSQL()->SetText("select ID from CLIENTS");
  ds->Prepare();
  EXPECT_NE(ListTableInfo()->GetTableInfo(db_, "CLIENTS", false)->FieldInfo("EXTRA"), nullptr);
  Exec("alter table CLIENTS drop EXTRA");
  Exec("update FIB$FIELDS_INFO set DISPLAY_LABEL = 'Client name' where FIELD_NAME = 'NAME' and TABLE_NAME = 'CLIENTS'");

  // Without version checks nothing is re-read.
  EXPECT_EQ(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME")->DisplayLabel(), "Client name");
  ListTableInfo()->SetCheckVersions(false);
  Exec("update FIB$FIELDS_INFO set DISPLAY_LABEL = 'Again' where TABLE_NAME = 'CLIENTS' and FIELD_NAME = 'NAME'");
  ListTableInfo()->NeedCheckVersions(nullptr);
  EXPECT_NE(ListTableInfo()->GetFieldInfo(db_, "CLIENTS", true, "NAME")->DisplayLabel(), "Again");
  ListTableInfo()->SetCheckVersions(true);
  Exec("update FIB$FIELDS_INFO set DISPLAY_LABEL = 'Client name' where FIELD_NAME = 'NAME' and TABLE_NAME = 'CLIENTS'");

  // A freed database takes its entries along.
  TFIBDatabase* other = Connect("UTF8");
  ListTableInfo()->GetTableInfo(other, "CLIENTS", false);
  const Integer before = ListTableInfo()->Count();
  EXPECT_GT(before, 0);
  delete other;
  EXPECT_EQ(ListTableInfo()->Count(), 0);
}

TEST_F(RepositoryTest, DataSetDefinitions) {
  TpFIBDataSet* ds = NewPDataSet(1);
  EXPECT_TRUE(ds->PrepareOptions().Contains(psApplyRepositary));
  ds->AutoUpdateOptions()->SetAutoReWriteSqls(true);
  ds->AutoUpdateOptions()->SetCanChangeSQLs(true);
  ds->Prepare();
  EXPECT_EQ(ds->SelectSQL()->Text(), "select ID, NAME from CLIENTS\r\n");
  EXPECT_EQ(ds->UpdateSQL()->Text(), "update CLIENTS set NAME = ?NAME where ID = ?OLD_ID\r\n");
  EXPECT_EQ(ds->RefreshSQL()->Text(), "select ID, NAME from CLIENTS where ID = ?OLD_ID\r\n");
  EXPECT_TRUE(ds->InsertSQL()->Text().empty());  // no lines: kept
  // Opening then rewrites RefreshSQL and DeleteSQL (only modified fields,
  // with CanChangeSQLs).
  ds->Open();
  EXPECT_EQ(ds->AutoUpdateOptions()->KeyFields(), "ID");
  EXPECT_EQ(ds->AutoUpdateOptions()->GeneratorName(), "GEN_CLIENTS");
  EXPECT_TRUE(ds->AutoUpdateOptions()->SelectGenID());
  EXPECT_EQ(ds->AutoUpdateOptions()->UpdateTableName(), "CLIENTS");
  EXPECT_TRUE(ds->AutoUpdateOptions()->UpdateOnlyModifiedFields());
  EXPECT_EQ(ds->Description(), "Clients");
  ASSERT_NE(ds->Conditions()->FindCondition("BYNAME"), nullptr);
  EXPECT_EQ(ds->Conditions()->FindCondition("BYNAME")->Text(), "NAME = 'one'");
  EXPECT_EQ(ds->FieldByName("NAME")->AsString(), "one");
  EXPECT_EQ(ClientError([&] { ds->SetDataSet_ID(2); }), fceDatasetOpen);
  ds->Close();

  // An id without a row, and a database without urDataSetInfo, change
  // nothing.
  TpFIBDataSet* missing = NewPDataSet(99);
  missing->Open();
  EXPECT_EQ(missing->SelectSQL()->Text(), "select ID from CLIENTS\r\n");
  EXPECT_TRUE(missing->Description().empty());
  TFIBDatabase* plain = Connect("UTF8");
  plain->SetUseRepositories({urFieldsInfo});
  TpFIBDataSet* ignored = NewPDataSet(1, plain);
  ignored->Open();
  EXPECT_EQ(ignored->SelectSQL()->Text(), "select ID from CLIENTS\r\n");

  // A changed row (a new FIB$VERSION) reaches the next dataset of that id.
  Exec("update FIB$DATASETS_INFO set DESCRIPTION = 'All clients' where DS_ID = 1");
  TpFIBDataSet* again = NewPDataSet(1);
  again->Open();
  EXPECT_EQ(again->Description(), "All clients");

  // Writing a definition: a missing row is inserted first.
  TpFIBDataSet* saved = NewPDataSet(7);
  saved->SelectSQL()->SetText("select ID from CLIENTS where ID > 0");
  saved->SetDescription("Saved");
  saved->AutoUpdateOptions()->SetKeyFields("ID");
  SaveDataSetInfo(saved);
  saved->SetDescription("Saved twice");
  SaveDataSetInfo(saved);
  ListDataSetInfo()->Clear();
  db_->DefaultTransaction()->Commit();  // a snapshot that sees the row
  TpFIBDataSet* read = NewPDataSet(7);
  read->Prepare();
  EXPECT_EQ(read->SelectSQL()->Text(), "select ID from CLIENTS where ID > 0\r\n");
  EXPECT_EQ(read->Description(), "Saved twice");
  EXPECT_EQ(read->AutoUpdateOptions()->KeyFields(), "ID");
  EXPECT_EQ(DataSetInfoVersion(read), static_cast<Integer>(db_->QueryValue(
                                          "select FIB$VERSION from FIB$DATASETS_INFO where DS_ID = 7", 0)
                                                                .AsInt64()));
  Exec("delete from FIB$DATASETS_INFO where DS_ID = 7");
  Exec("update FIB$DATASETS_INFO set DESCRIPTION = 'Clients' where DS_ID = 1");

  // No database name: no definition to look for.
  auto* nameless = new TpFIBDataSet(form_);
  nameless->SetDataSet_ID(5);
  try {
    ListDataSetInfo()->GetDataSetInfo(nameless);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Can't get info for 5\r\nDatabase is not assigned");
  }
}

TEST_F(RepositoryTest, UpgradeBringsOldTablesToTheCurrentLayout) {
  fbtest::TTempDatabase old("UTF8");
  old.Exec({"create table FIB$FIELDS_INFO (TABLE_NAME varchar(31) not null, FIELD_NAME varchar(31) not null, "
            "DISPLAY_LABEL varchar(25), VISIBLE smallint, DISPLAY_FORMAT varchar(15), EDIT_FORMAT varchar(15), "
            "TRIGGERED smallint)",
            "create table FIB$DATASETS_INFO (DS_ID integer not null primary key, DESCRIPTION varchar(40), "
            "SELECT_SQL blob sub_type 1, UPDATE_SQL blob sub_type 1, INSERT_SQL blob sub_type 1, "
            "DELETE_SQL blob sub_type 1, REFRESH_SQL blob sub_type 1, NAME_GENERATOR varchar(68), "
            "KEY_FIELD varchar(68))"});
  TFIBDatabase* db = fbtest::NewFIBDatabase(form_, old.Path());
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  db->Connect();
  EXPECT_FALSE(FIBBooleanDomainExists(db));
  // Twice: the second run finds everything there and changes nothing.
  for (int run = 0; run < 2; ++run) {
    UpgradeFieldsInfo(tr);
    UpgradeDataSetsInfo(tr);
    EXPECT_TRUE(tr->Active());
    tr->Commit();
  }
  db->Close();
  const std::string columns =
      "select list(trim(RDB$FIELD_NAME), ',') from (select RDB$FIELD_NAME from RDB$RELATION_FIELDS where "
      "RDB$RELATION_NAME = '%s' order by RDB$FIELD_POSITION)";
  auto columnsOf = [&](const char* Table) {
    char sql[512];
    std::snprintf(sql, sizeof sql, columns.c_str(), Table);
    return old.QueryValue(sql);
  };
  EXPECT_EQ(columnsOf("FIB$FIELDS_INFO"),
            "TABLE_NAME,FIELD_NAME,DISPLAY_LABEL,VISIBLE,DISPLAY_FORMAT,EDIT_FORMAT,TRIGGERED,DISPLAY_WIDTH,"
            "FIB$VERSION");
  EXPECT_EQ(columnsOf("FIB$DATASETS_INFO"),
            "DS_ID,DESCRIPTION,SELECT_SQL,UPDATE_SQL,INSERT_SQL,DELETE_SQL,REFRESH_SQL,NAME_GENERATOR,KEY_FIELD,"
            "UPDATE_TABLE_NAME,UPDATE_ONLY_MODIFIED_FIELDS,CONDITIONS,FIB$VERSION");
  EXPECT_EQ(old.QueryValue("select count(*) from RDB$TRIGGERS where RDB$TRIGGER_NAME starting with 'FIB$'"), "4");
  EXPECT_EQ(old.QueryValue("select trim(RDB$FIELD_SOURCE) from RDB$RELATION_FIELDS where "
                           "RDB$FIELD_NAME = 'UPDATE_ONLY_MODIFIED_FIELDS'"),
            "FIB$BOOLEAN");
  // The triggers number the rows.
  old.Exec({"insert into FIB$FIELDS_INFO (TABLE_NAME, FIELD_NAME) values ('T', 'F')",
            "insert into FIB$DATASETS_INFO (DS_ID) values (1)"});
  EXPECT_NE(old.QueryValue("select FIB$VERSION from FIB$FIELDS_INFO"), "");
  EXPECT_NE(old.QueryValue("select FIB$VERSION from FIB$DATASETS_INFO"), "");
}

TEST_F(RepositoryTest, ThreadsShareTheCaches) {
  // Each thread reads through its own connection (made and freed here).
  constexpr int kThreads = 4;
  std::vector<TFIBDatabase*> dbs;
  for (int t = 0; t < kThreads; ++t) dbs.push_back(Connect("UTF8"));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      try {
        TFIBDatabase* db = dbs[static_cast<size_t>(t)];
        for (int i = 0; i < 20; ++i) {
          if (!FieldsInfoTableExists(db)) ++wrong;
          std::shared_ptr<TpFIBFieldInfo> name = ListTableInfo()->GetFieldInfo(db, "CLIENTS", i % 2 == 0, "NAME");
          if (!name || name->DefaultValue() != "nobody") ++wrong;
          if ((i + t) % 5 == 0) ListTableInfo()->NeedCheckVersions(db);
          if (ListTableInfo()->GetFieldInfo(db, "CLIENTS", true, "NAME")->DisplayLabel() != "Client name") ++wrong;
        }
      } catch (...) {
        ++wrong;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  for (TFIBDatabase* db : dbs) delete db;
  EXPECT_EQ(ListTableInfo()->Count(), 0);
}

TEST_F(RepositoryTest, ErrorTexts) {
  TpErrorMessagesCollect* texts = ListErrorMessages();
  texts->Add("PK_CLIENTS", "A client with this number exists");
  String text;
  EXPECT_TRUE(texts->Find("PK_CLIENTS", text));
  EXPECT_EQ(text, "A client with this number exists");
  EXPECT_FALSE(texts->Find("NOPE", text));
  texts->Clear();
  EXPECT_EQ(texts->Count(), 0);
}

}  // namespace
