// The modifying statements TpFIBDataSet writes itself, on real tables of the
// embedded engine: the four texts to the character, the key found when none
// is given, names in the dialect's identifier form, only the modified fields,
// the separate BLOB statement, when generation runs, and the literal batch
// form. Every text generated here is prepared on the server.
#include <optional>
#include <string>
#include <vector>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/SysUtils.h"
#include "tests/dataaccess/datasets/DataSetFixture.h"

namespace {

// Edits and inserts are always allowed: what is tested is the text written
// for them, not who may post.
class TGenDataSet : public TpFIBDataSet {
 public:
  using TpFIBDataSet::TpFIBDataSet;
  bool CanEdit() override { return true; }
  bool CanInsert() override { return true; }
  using TpFIBDataSet::GenerateForProtectedEdit;
};

// A text as a statement's SQL list holds it.
String Lines(const String& Text) {
  TStringList lines;
  lines.SetText(Text);
  return lines.Text();
}

// A small literal writer: NULL, texts in quotes, numbers as the variant
// writes them; BLOBs have no literal.
bool WriteLiteral(TField* Field, bool UseOld, String& Literal) {
  if (Field->IsBlob()) return false;
  const Variant value = UseOld ? Field->OldValue() : Field->Value();
  if (VarIsNull(value))
    Literal = "NULL";
  else if (VarIsStr(value))
    Literal = "'" + VarToStr(value) + "'";
  else
    Literal = VarToStr(value);
  return true;
}

class GenerateSQLTest : public dstest::TDataSetSuite<GenerateSQLTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        "create table CUSTOMER (ID integer not null primary key, NAME varchar(20), QTY bigint, "
        "NOTE blob sub_type 1, TWICE computed by (ID * 2))",
        "create table ORDERS (ID integer not null primary key, CUSTOMER_ID integer, TOTAL numeric(15,2))",
        "create table PAIRS (A integer not null, B integer not null, V varchar(10), primary key (A, B))",
        "create table NOKEY (CODE varchar(10), LABEL varchar(20), DOC blob)",
        "create table \"Mixed\" (\"Id\" integer not null primary key, \"Name\" varchar(20))",
        "create table \"ORDER\" (\"VALUE\" integer not null primary key, \"DATE\" date)",
        "create table \"Клиенты\" (\"Код\" integer not null primary key, \"Имя\" varchar(20))",
        "insert into CUSTOMER (ID, NAME, NOTE) values (1, 'one', 'a note')",
        "insert into ORDERS (ID, CUSTOMER_ID, TOTAL) values (10, 1, 5.50)",
        "insert into PAIRS (A, B, V) values (1, 2, 'x')",
        "insert into NOKEY (CODE, LABEL) values ('c', 'l')"};
  }

 protected:
  void SetUp() override {
    TDataSetSuite::SetUp();
    InitializeUnits({&unit_pFIBDataSet});
    ListTableInfo()->Clear();
  }

  TGenDataSet* NewGen(const String& SQL, const String& Table, const String& Keys = String(),
                      TFIBDatabase* Database = nullptr) {
    auto* ds = new TGenDataSet(form_);
    ds->SetDatabase(Database != nullptr ? Database : db_);
    ds->SelectSQL()->SetText(SQL);
    ds->AutoUpdateOptions()->SetUpdateTableName(Table);
    ds->AutoUpdateOptions()->SetKeyFields(Keys);
    return ds;
  }

  // Turns on rewriting of every statement (and, when asked, only the
  // modified fields).
  static void Rewrite(TpFIBDataSet* DataSet, bool OnlyModified = false) {
    TAutoUpdateOptions* o = DataSet->AutoUpdateOptions();
    o->SetAutoReWriteSqls(true);
    o->SetCanChangeSQLs(true);
    o->SetUpdateOnlyModifiedFields(OnlyModified);
  }

  // Prepares Text on the server: a text it refuses fails the test.
  void ExpectPrepares(const String& Text, TFIBDatabase* Database = nullptr) {
    auto* q = new TFIBQuery(form_);
    q->SetDatabase(Database != nullptr ? Database : db_);
    q->SQL()->SetText(Text);
    EXPECT_NO_THROW(q->Prepare()) << Text;
    delete q;
  }
};

const char* const kCustomerUpdate =
    "Update CUSTOMER CUSTOMER Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME,\r\n     QTY=?NEW_QTY,\r\n"
    "     NOTE=?NEW_NOTE\r\nwhere CUSTOMER.ID=?OLD_ID";

TEST_F(GenerateSQLTest, TextsOfTheFourStatements) {
  struct Case {
    const char* select;
    const char* table;
    const char* keys;
    const char* texts[4];  // by kind: update, insert, delete, refresh
  };
  const Case cases[] = {
      // A table without alias is its own alias; a computed column is left out.
      {"select * from CUSTOMER", "CUSTOMER", "ID", kCustomerUpdate,
       "Insert into CUSTOMER(\r\n     ID,\r\n     NAME,\r\n     QTY,\r\n     NOTE\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n"
       "     ?NEW_NAME,\r\n     ?NEW_QTY,\r\n     ?NEW_NOTE\r\n)",
       "Delete from CUSTOMER CUSTOMER\r\nwhere CUSTOMER.ID=?OLD_ID",
       "select * from CUSTOMER\r\n WHERE CUSTOMER.ID=?OLD_ID\r\n"},
      // The select's lower-case alias is the folded name the server knows;
      // the refresh loses the ORDER BY.
      {"select c.ID, c.NAME from CUSTOMER c order by c.NAME", "CUSTOMER", "ID",
       "Update CUSTOMER C Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME\r\nwhere C.ID=?OLD_ID",
       "Insert into CUSTOMER(\r\n     ID,\r\n     NAME\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n     ?NEW_NAME\r\n)",
       "Delete from CUSTOMER C\r\nwhere C.ID=?OLD_ID",
       "select c.ID, c.NAME from CUSTOMER c \r\n WHERE C.ID=?OLD_ID\r\n "},
      // A composite key: the last key field first; joined to the select's WHERE.
      {"select * from PAIRS p where p.A > 0", "PAIRS", "A;B",
       "Update PAIRS P Set\r\n     A=?NEW_A,\r\n     B=?NEW_B,\r\n     V=?NEW_V\r\nwhere P.B=?OLD_B and P.A=?OLD_A",
       "Insert into PAIRS(\r\n     A,\r\n     B,\r\n     V\r\n)\r\nvalues (\r\n     ?NEW_A,\r\n     ?NEW_B,\r\n"
       "     ?NEW_V\r\n)",
       "Delete from PAIRS P\r\nwhere P.B=?OLD_B and P.A=?OLD_A",
       "select * from PAIRS p where(  p.A > 0 ) and ( P.B=?OLD_B and P.A=?OLD_A )"},
      // A join: the fields of the other table are left out.
      {"select c.ID, c.NAME, o.TOTAL from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID", "CUSTOMER", "ID",
       "Update CUSTOMER C Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME\r\nwhere C.ID=?OLD_ID",
       "Insert into CUSTOMER(\r\n     ID,\r\n     NAME\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n     ?NEW_NAME\r\n)",
       "Delete from CUSTOMER C\r\nwhere C.ID=?OLD_ID",
       "select c.ID, c.NAME, o.TOTAL from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID\r\n WHERE C.ID=?OLD_ID\r\n"},
      // A self-join: the fields of the table's other alias are left out.
      {"select c.ID, c.NAME, p.NAME as PARENT_NAME from CUSTOMER c join CUSTOMER p on p.ID = c.ID", "CUSTOMER c", "ID",
       "Update CUSTOMER C Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME\r\nwhere C.ID=?OLD_ID",
       "Insert into CUSTOMER(\r\n     ID,\r\n     NAME\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n     ?NEW_NAME\r\n)",
       "Delete from CUSTOMER C\r\nwhere C.ID=?OLD_ID",
       "select c.ID, c.NAME, p.NAME as PARENT_NAME from CUSTOMER c join CUSTOMER p on p.ID = c.ID\r\n"
       " WHERE C.ID=?OLD_ID\r\n"},
      // The update table written with its alias; parameters carry the field
      // names, columns the table's.
      {"select c.ID, c.NAME, o.ID as ORDER_ID, o.TOTAL from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID",
       "ORDERS o", "ORDER_ID",
       "Update ORDERS O Set\r\n     ID=?NEW_ORDER_ID,\r\n     TOTAL=?NEW_TOTAL\r\nwhere O.ID=?OLD_ORDER_ID",
       "Insert into ORDERS(\r\n     ID,\r\n     TOTAL\r\n)\r\nvalues (\r\n     ?NEW_ORDER_ID,\r\n     ?NEW_TOTAL\r\n)",
       "Delete from ORDERS O\r\nwhere O.ID=?OLD_ORDER_ID",
       "select c.ID, c.NAME, o.ID as ORDER_ID, o.TOTAL from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID\r\n"
       " WHERE O.ID=?OLD_ORDER_ID\r\n"},
      // Mixed case: quoted, NEW_ and OLD_ inside the parameters' quotes; the
      // table found in the select as written there.
      {"select * from \"Mixed\" m", "Mixed", "Id",
       "Update \"Mixed\" M Set\r\n     \"Id\"=?\"NEW_Id\",\r\n     \"Name\"=?\"NEW_Name\"\r\n"
       "where M.\"Id\"=?\"OLD_Id\"",
       "Insert into \"Mixed\"(\r\n     \"Id\",\r\n     \"Name\"\r\n)\r\nvalues (\r\n     ?\"NEW_Id\",\r\n"
       "     ?\"NEW_Name\"\r\n)",
       "Delete from \"Mixed\" M\r\nwhere M.\"Id\"=?\"OLD_Id\"",
       "select * from \"Mixed\" m\r\n WHERE M.\"Id\"=?\"OLD_Id\"\r\n"},
      // Reserved words are quoted; a parameter that is none is not.
      {"select * from \"ORDER\" o", "ORDER", "VALUE",
       "Update \"ORDER\" O Set\r\n     \"VALUE\"=?NEW_VALUE,\r\n     \"DATE\"=?NEW_DATE\r\n"
       "where O.\"VALUE\"=?OLD_VALUE",
       "Insert into \"ORDER\"(\r\n     \"VALUE\",\r\n     \"DATE\"\r\n)\r\nvalues (\r\n     ?NEW_VALUE,\r\n"
       "     ?NEW_DATE\r\n)",
       "Delete from \"ORDER\" O\r\nwhere O.\"VALUE\"=?OLD_VALUE",
       "select * from \"ORDER\" o\r\n WHERE O.\"VALUE\"=?OLD_VALUE\r\n"},
      // Non-ASCII names are quoted.
      {"select * from \"Клиенты\"", "Клиенты", "Код",
       "Update \"Клиенты\" \"Клиенты\" Set\r\n     \"Код\"=?\"NEW_Код\",\r\n     \"Имя\"=?\"NEW_Имя\"\r\n"
       "where \"Клиенты\".\"Код\"=?\"OLD_Код\"",
       "Insert into \"Клиенты\"(\r\n     \"Код\",\r\n     \"Имя\"\r\n)\r\nvalues (\r\n     ?\"NEW_Код\",\r\n"
       "     ?\"NEW_Имя\"\r\n)",
       "Delete from \"Клиенты\" \"Клиенты\"\r\nwhere \"Клиенты\".\"Код\"=?\"OLD_Код\"",
       "select * from \"Клиенты\"\r\n WHERE \"Клиенты\".\"Код\"=?\"OLD_Код\"\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.select);
    TGenDataSet* ds = NewGen(c.select, c.table, c.keys);
    Rewrite(ds);
    ds->Open();
    TStrings* stored[] = {ds->UpdateSQL(), ds->InsertSQL(), ds->DeleteSQL(), ds->RefreshSQL()};
    for (Integer kind = 0; kind < 4; ++kind) {
      SCOPED_TRACE(StatementKindName(kind));
      EXPECT_EQ(ds->GenerateSQL(c.table, c.keys, 0, kind), c.texts[kind]);
      EXPECT_EQ(stored[kind]->Text(), Lines(c.texts[kind])) << "written at open";
      ExpectPrepares(c.texts[kind]);
    }
  }
}

TEST_F(GenerateSQLTest, RefreshWritesTheSelectsLiteralsAndKeepsItsParameters) {
  TGenDataSet* ds = NewGen("select * from CUSTOMER where NAME = :NAME or ID > @MINID%0", "CUSTOMER", "ID");
  Rewrite(ds);
  ds->Open();  // NAME is NULL: the select ran with NAME IS NULL
  const String refresh = "select * from CUSTOMER where(  NAME = :NAME or ID > 0 ) and ( CUSTOMER.ID=?OLD_ID )";
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 3), refresh);
  EXPECT_EQ(ds->RefreshSQL()->Text(), Lines(refresh));
  ExpectPrepares(refresh);
  ds->Close();
  ds->Params()->ByName("MINID")->SetAsInteger(5);
  ds->Open();
  EXPECT_EQ(ds->RefreshSQL()->Text(),
            Lines("select * from CUSTOMER where(  NAME = :NAME or ID > 5 ) and ( CUSTOMER.ID=?OLD_ID )"))
      << "a new literal value is a new select";
}

TEST_F(GenerateSQLTest, ClosedDataSetWithoutFieldsGeneratesFromItsDefinitions) {
  TGenDataSet* ds = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0), kCustomerUpdate);
  EXPECT_EQ(ds->FieldsOfTable("CUSTOMER"), "ID;NAME;QTY;TWICE");
  EXPECT_EQ(ds->FieldCount(), 0) << "the fields made for it are gone again";
  ds->Open();
  EXPECT_GT(ds->FieldCount(), 0) << "the dataset still makes its own fields";
  // With only the modified fields nothing is known without fields.
  TGenDataSet* modified = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  Rewrite(modified, true);
  EXPECT_EQ(modified->GenerateSQL("CUSTOMER", "ID", 0, 2), "");
}

TEST_F(GenerateSQLTest, ComputedColumnOnlyWithCanEditComputedFields) {
  for (bool canEdit : {false, true}) {
    TGenDataSet* ds = NewGen("select ID, TWICE from CUSTOMER", "CUSTOMER", "ID");
    if (canEdit) ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psCanEditComputedFields});
    ds->Open();
    const String update = canEdit ? "     ID=?NEW_ID,\r\n     TWICE=?NEW_TWICE" : "     ID=?NEW_ID";
    EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0),
              "Update CUSTOMER CUSTOMER Set\r\n" + update + "\r\nwhere CUSTOMER.ID=?OLD_ID");
    const String columns = canEdit ? "     ID,\r\n     TWICE" : "     ID";
    const String values = canEdit ? "     ?NEW_ID,\r\n     ?NEW_TWICE" : "     ?NEW_ID";
    EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 1),
              "Insert into CUSTOMER(\r\n" + columns + "\r\n)\r\nvalues (\r\n" + values + "\r\n)");
  }
}

TEST_F(GenerateSQLTest, IdentifierFormFollowsTheDatabase) {
  TGenDataSet* ds = NewGen("select * from CUSTOMER", "CUSTOMER");
  struct Case {
    const char* name;
    bool table;
    const char* dialect3;
    const char* upperNames;  // dialect 3 with UpperOldNames
  };
  const Case cases[] = {
      {"NAME", false, "NAME", "NAME"},
      {"Name", false, "\"Name\"", "\"Name\""},
      {"Name", true, "\"Name\"", "NAME"},  // a table name may be written in any case
      {"order", true, "\"order\"", "\"order\""},
      {"\"Name\"", false, "\"Name\"", "\"Name\""},
      {"NEW_Имя", false, "\"NEW_Имя\"", "\"NEW_Имя\""},
      {"DATE", false, "\"DATE\"", "\"DATE\""},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    db_->SetUpperOldNames(false);
    EXPECT_EQ(ds->IdentifierForm(c.name, c.table), c.dialect3) << c.name;
    db_->SetUpperOldNames(true);
    EXPECT_EQ(ds->IdentifierForm(c.name, c.table), c.upperNames) << c.name;
  }
  db_->SetUpperOldNames(false);
}

TEST_F(GenerateSQLTest, Dialect1UpperCasesEveryNameAndNeverQuotes) {
  fbtest::TTempDatabase file("UTF8", 1);
  file.Exec({"create table CUSTOMER1 (ID integer not null primary key, NAME varchar(20))",
             "insert into CUSTOMER1 values (1, 'one')"});
  TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file.Path());
  db->SetSQLDialect(1);
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  db->SetDefaultTransaction(tr);
  db->Connect();
  TGenDataSet* ds = NewGen("select id, name from customer1 c", "customer1", "id", db);
  ds->Open();
  EXPECT_EQ(ds->IdentifierForm(" Order "), "ORDER");
  String table, alias;
  ds->GetUpdateTableAndAlias(table, alias);
  EXPECT_EQ(table, "CUSTOMER1");
  EXPECT_EQ(alias, "C");
  const String texts[] = {
      "Update CUSTOMER1 C Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME\r\nwhere C.ID=?OLD_ID",
      "Insert into CUSTOMER1(\r\n     ID,\r\n     NAME\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n     ?NEW_NAME\r\n)",
      "Delete from CUSTOMER1 C\r\nwhere C.ID=?OLD_ID", "select id, name from customer1 c\r\n WHERE C.ID=?OLD_ID\r\n"};
  for (Integer kind = 0; kind < 4; ++kind) {
    EXPECT_EQ(ds->GenerateSQL("customer1", "id", 0, kind), texts[kind]);
    ExpectPrepares(texts[kind], db);
  }
}

TEST_F(GenerateSQLTest, KeyFoundFromThePrimaryKeyElseFromTheTableFields) {
  EXPECT_EQ(NewGen("select * from PAIRS", "PAIRS")->PrimaryKeyFields("PAIRS"), "A;B");
  EXPECT_EQ(NewGen("select * from PAIRS", "PAIRS")->PrimaryKeyFields("\"Mixed\""), "Id");
  EXPECT_EQ(NewGen("select * from PAIRS", "PAIRS")->PrimaryKeyFields(""), "");
  auto* offline = new TGenDataSet(form_);
  offline->SetDatabase(new TFIBDatabase(form_));
  EXPECT_EQ(offline->PrimaryKeyFields("PAIRS"), kDeferredPrimaryKey);

  struct Case {
    const char* select;
    const char* table;
    const char* keys;
    const char* remove;
  };
  const Case cases[] = {
      {"select * from PAIRS", "PAIRS", "A;B", "Delete from PAIRS PAIRS\r\nwhere PAIRS.B=?OLD_B and PAIRS.A=?OLD_A"},
      // No primary key: the table's fields that are not BLOBs.
      {"select n.*, p.V from NOKEY n join PAIRS p on p.V = n.CODE", "NOKEY n", "CODE;LABEL",
       "Delete from NOKEY N\r\nwhere N.LABEL=?OLD_LABEL and N.CODE=?OLD_CODE"},
  };
  for (const Case& c : cases) {
    for (bool onlyModified : {false, true}) {
      SCOPED_TRACE(String(c.select) + (onlyModified ? " only modified" : ""));
      TGenDataSet* ds = NewGen(c.select, c.table);
      Rewrite(ds, onlyModified);
      ds->Open();
      EXPECT_EQ(ds->AutoUpdateOptions()->KeyFields(), c.keys);
      EXPECT_EQ(ds->DeleteSQL()->Text(), Lines(c.remove));
      ExpectPrepares(c.remove);
    }
  }
}

TEST_F(GenerateSQLTest, NoUsableKeyFieldRaisesAndNothingKnownGivesAnEmptyText) {
  TGenDataSet* ds = NewGen("select c.ID, c.NAME, c.NOTE, o.TOTAL from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID",
                           "CUSTOMER", "ID");
  ds->SetName("People");
  ds->Open();
  // A key of another table, and a BLOB, cannot be keys of CUSTOMER.
  EXPECT_THROW(ds->GenerateSQL("CUSTOMER", "TOTAL", 0, 2), Exception);
  EXPECT_THROW(ds->GenerateSQL("CUSTOMER", "NOTE", 0, 0), Exception);
  EXPECT_EQ(dstest::ErrorText([&] { ds->GenerateSQL("CUSTOMER", "TOTAL;NOTE", 0, 3); }),
            "People: unable to generate RefreshSQL because fields for \"CUSTOMER\" do not exist in dataset.");
  EXPECT_EQ(ds->GenerateSQL("", "ID", 0, 0), "");
  EXPECT_EQ(ds->GenerateSQL("NOSUCH", "ID", 0, 0), "") << "no column information";
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "NOPE; ", 0, 0), "") << "no key field in the dataset";

  TGenDataSet* refused = NewGen("select * from CUSTOMER", "CUSTOMER", "NOTE");
  Rewrite(refused);
  EXPECT_THROW(refused->Open(), Exception);
  EXPECT_TRUE(IsEmptyStrings(refused->UpdateSQL())) << "nothing stored";
}

TEST_F(GenerateSQLTest, KeyConditionIsKeptForTheUpdateTableOnly) {
  TGenDataSet* ds =
      NewGen("select c.ID, c.NAME, o.ID as ORDER_ID from CUSTOMER c join ORDERS o on o.CUSTOMER_ID = c.ID",
             "CUSTOMER c", "ID");
  ds->Open();
  TAutoUpdateOptions* o = ds->AutoUpdateOptions();
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER c", "ID", 0, 2), "Delete from CUSTOMER C\r\nwhere C.ID=?OLD_ID");
  EXPECT_EQ(o->KeyCondition(), "C.ID=?OLD_ID");
  EXPECT_EQ(ds->GenerateSQL("ORDERS o", "ORDER_ID", 0, 2), "Delete from ORDERS O\r\nwhere O.ID=?OLD_ORDER_ID");
  ds->PrepareAutoSQLs();
  EXPECT_EQ(o->KeyCondition(), "C.ID=?OLD_ID") << "storing generated texts keeps it";
  ds->UpdateSQL()->SetText("update CUSTOMER set NAME = ?NAME where ID = ?OLD_ID");
  EXPECT_EQ(o->KeyCondition(), "") << "a statement set by hand drops it";
}

TEST_F(GenerateSQLTest, OnlyModifiedFields) {
  TGenDataSet* ds = NewGen("select * from CUSTOMER", "CUSTOMER");
  ds->SetPrepareOptions(ds->PrepareOptions() + TpPrepareOptions{psUseLargeIntField});
  Rewrite(ds, true);
  ds->Open();
  // At open only the statements that do not depend on the edit.
  EXPECT_EQ(ds->AutoUpdateOptions()->KeyFields(), "ID");
  EXPECT_EQ(ds->DeleteSQL()->Text(), Lines("Delete from CUSTOMER CUSTOMER\r\nwhere CUSTOMER.ID=?OLD_ID"));
  EXPECT_EQ(ds->RefreshSQL()->Text(), Lines("select * from CUSTOMER\r\n WHERE CUSTOMER.ID=?OLD_ID\r\n"));
  EXPECT_TRUE(IsEmptyStrings(ds->UpdateSQL()));
  EXPECT_TRUE(IsEmptyStrings(ds->InsertSQL()));

  ds->Edit();
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0), "No Action");
  ds->FieldByName("NAME")->SetAsString("one");
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0), "No Action") << "the same value";
  ds->FieldByName("NAME")->SetAsString("uno");
  ds->FieldByName("QTY")->SetAsLargeInt(0);  // from NULL
  const String update =
      "Update CUSTOMER CUSTOMER Set\r\n     NAME=?NEW_NAME,\r\n     QTY=?NEW_QTY\r\nwhere CUSTOMER.ID=?OLD_ID";
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0), update);
  ds->RegenerateModifyingSQL(dsEdit);
  EXPECT_EQ(ds->UpdateSQL()->Text(), Lines(update));
  ExpectPrepares(update);
  ds->FieldByName("NOTE")->SetAsString("another note");
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 0),
            "Update CUSTOMER CUSTOMER Set\r\n     NAME=?NEW_NAME,\r\n     QTY=?NEW_QTY,\r\n     NOTE=?NEW_NOTE\r\n"
            "where CUSTOMER.ID=?OLD_ID");
  ds->Cancel();

  // An insert leaves out its null fields.
  ds->Insert();
  ds->FieldByName("ID")->SetAsInteger(5);
  const String insert = "Insert into CUSTOMER(\r\n     ID\r\n)\r\nvalues (\r\n     ?NEW_ID\r\n)";
  EXPECT_EQ(ds->GenerateSQL("CUSTOMER", "ID", 0, 1), insert);
  ds->RegenerateModifyingSQL(dsInsert);
  EXPECT_EQ(ds->InsertSQL()->Text(), Lines(insert));
  ds->Cancel();

  // A protected edit's lock needs the whole update before anything changed.
  ds->UpdateSQL()->Clear();
  ds->GenerateForProtectedEdit();
  EXPECT_EQ(ds->UpdateSQL()->Text(), Lines(kCustomerUpdate));
  EXPECT_TRUE(ds->AutoUpdateOptions()->UpdateOnlyModifiedFields());

  // A scaled numeric changes only with its value.
  TGenDataSet* orders = NewGen("select ID, TOTAL from ORDERS", "ORDERS");
  Rewrite(orders, true);
  orders->Open();
  orders->Edit();
  orders->FieldByName("TOTAL")->SetAsFloat(5.5);
  EXPECT_EQ(orders->GenerateSQL("ORDERS", "ID", 0, 0), "No Action");
  orders->FieldByName("TOTAL")->SetAsFloat(6.25);
  EXPECT_EQ(orders->GenerateSQL("ORDERS", "ID", 0, 0),
            "Update ORDERS ORDERS Set\r\n     TOTAL=?NEW_TOTAL\r\nwhere ORDERS.ID=?OLD_ID");
  orders->Cancel();
}

TEST_F(GenerateSQLTest, SeparateBlobUpdate) {
  TGenDataSet* ds = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  Rewrite(ds);
  ds->AutoUpdateOptions()->SetSeparateBlobUpdate(true);
  ds->Open();
  EXPECT_EQ(ds->UpdateSQL()->Text(),
            Lines("Update CUSTOMER CUSTOMER Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME,\r\n     QTY=?NEW_QTY\r\n"
                  "where CUSTOMER.ID=?OLD_ID"));
  EXPECT_EQ(ds->InsertSQL()->Text(),
            Lines("Insert into CUSTOMER(\r\n     ID,\r\n     NAME,\r\n     QTY\r\n)\r\nvalues (\r\n     ?NEW_ID,\r\n"
                  "     ?NEW_NAME,\r\n     ?NEW_QTY\r\n)"));
  TpFIBUpdateObject* blobs = ds->BlobUpdateObject();
  ASSERT_NE(blobs, nullptr);
  const String text = "Update CUSTOMER CUSTOMER Set\r\n     NOTE=?NEW_NOTE\r\nwhere CUSTOMER.ID=?OLD_ID";
  EXPECT_EQ(blobs->SQL()->Text(), Lines(text));
  EXPECT_TRUE(blobs->Active());
  EXPECT_EQ(blobs->ExecuteOrder(), oeAfterDefault);
  EXPECT_EQ(blobs->KindUpdate(), ukModify);
  EXPECT_EQ(blobs->Owner(), ds);
  EXPECT_EQ(blobs->Database(), db_);
  EXPECT_EQ(blobs->Transaction(), ds->UpdateTransaction());
  EXPECT_NO_THROW(blobs->Prepare());
  ds->PrepareSeparateBlobUpdate();
  EXPECT_EQ(ds->BlobUpdateObject(), blobs) << "made once";

  // Without BLOB fields there is none.
  TGenDataSet* pairs = NewGen("select * from PAIRS", "PAIRS", "A;B");
  Rewrite(pairs);
  pairs->AutoUpdateOptions()->SetSeparateBlobUpdate(true);
  pairs->Open();
  EXPECT_EQ(pairs->BlobUpdateObject(), nullptr);

  // With only the modified fields it runs only when a BLOB changed.
  TGenDataSet* modified = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  Rewrite(modified, true);
  modified->AutoUpdateOptions()->SetSeparateBlobUpdate(true);
  modified->Open();
  modified->Edit();
  modified->FieldByName("NAME")->SetAsString("uno");
  modified->RegenerateModifyingSQL(dsEdit);
  ASSERT_NE(modified->BlobUpdateObject(), nullptr);
  EXPECT_EQ(modified->BlobUpdateObject()->SQL()->Text(), Lines("No Action"));
  EXPECT_FALSE(modified->BlobUpdateObject()->Active());
  modified->FieldByName("NOTE")->SetAsString("changed");
  modified->RegenerateModifyingSQL(dsEdit);
  EXPECT_EQ(modified->BlobUpdateObject()->SQL()->Text(), Lines(text));
  EXPECT_TRUE(modified->BlobUpdateObject()->Active());
  EXPECT_EQ(modified->UpdateSQL()->Text(),
            Lines("Update CUSTOMER CUSTOMER Set\r\n     NAME=?NEW_NAME\r\nwhere CUSTOMER.ID=?OLD_ID"));
  modified->Cancel();
}

TEST_F(GenerateSQLTest, GeneratedOnTheFirstOpenAfterTheSelectChanged) {
  const String handMade = "update CUSTOMER set NAME = ?NAME where ID = ?OLD_ID";
  TGenDataSet* ds = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  ds->AutoUpdateOptions()->SetAutoReWriteSqls(true);
  ds->UpdateSQL()->SetText(handMade);
  ds->Open();
  EXPECT_EQ(ds->UpdateSQL()->Text(), Lines(handMade)) << "kept without CanChangeSQLs";
  EXPECT_EQ(ds->DeleteSQL()->Text(), Lines("Delete from CUSTOMER CUSTOMER\r\nwhere CUSTOMER.ID=?OLD_ID")) << "filled";
  ds->Close();
  ds->AutoUpdateOptions()->SetCanChangeSQLs(true);
  ds->Open();
  EXPECT_EQ(ds->UpdateSQL()->Text(), Lines(handMade)) << "the select did not change";
  ds->Close();
  ds->SelectSQL()->SetText("select ID, NAME from CUSTOMER");
  ds->Open();
  EXPECT_EQ(
      ds->UpdateSQL()->Text(),
      Lines("Update CUSTOMER CUSTOMER Set\r\n     ID=?NEW_ID,\r\n     NAME=?NEW_NAME\r\nwhere CUSTOMER.ID=?OLD_ID"));

  // Without AutoReWriteSqls nothing is written.
  TGenDataSet* plain = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  plain->Open();
  EXPECT_TRUE(IsEmptyStrings(plain->UpdateSQL()));
  EXPECT_TRUE(IsEmptyStrings(plain->RefreshSQL()));
}

TEST_F(GenerateSQLTest, LiteralFormOfTheBatch) {
  TGenDataSet* ds = NewGen("select * from PAIRS p", "PAIRS", "A;B");
  ds->Open();
  const String texts[] = {"Update PAIRS P Set\r\n A=1,\r\n B=2,\r\n V='x'\r\nwhere P.B=2 and P.A=1",
                          "Insert into PAIRS(\r\n A,\r\n B,\r\n V\r\n)\r\nvalues (\r\n 1,\r\n 2,\r\n 'x'\r\n)",
                          "Delete from PAIRS P\r\nwhere P.B=2 and P.A=1"};
  for (Integer kind = 0; kind < 3; ++kind) {
    EXPECT_EQ(ds->GenerateLiteralSQL(kind, WriteLiteral), std::optional<String>(texts[kind]));
    ExpectPrepares(texts[kind]);
  }
  // The condition takes the old key values.
  ds->Edit();
  ds->FieldByName("B")->SetAsInteger(3);
  ds->FieldByName("V")->Clear();
  EXPECT_EQ(ds->GenerateLiteralSQL(0, WriteLiteral),
            std::optional<String>("Update PAIRS P Set\r\n A=1,\r\n B=3,\r\n V=NULL\r\nwhere P.B=2 and P.A=1"));
  ds->Cancel();

  // A value without a literal form, and an update that changed nothing.
  TGenDataSet* customers = NewGen("select * from CUSTOMER", "CUSTOMER", "ID");
  Rewrite(customers, true);
  customers->Open();
  EXPECT_EQ(customers->GenerateLiteralSQL(2, WriteLiteral),
            std::optional<String>("Delete from CUSTOMER CUSTOMER\r\nwhere CUSTOMER.ID=1"));
  customers->Edit();
  EXPECT_EQ(customers->GenerateLiteralSQL(0, WriteLiteral), std::optional<String>(""));
  customers->FieldByName("NOTE")->SetAsString("changed");
  EXPECT_EQ(customers->GenerateLiteralSQL(0, WriteLiteral), std::nullopt);
  customers->Cancel();
  EXPECT_EQ(customers->GenerateLiteralSQL(3, WriteLiteral), std::optional<String>("")) << "no batch refresh";
}

}  // namespace
