#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <vector>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/pFIBArray.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/Streams.h"
#include "tests/support/fb/FIBSuiteFixture.h"
#include "tests/support/fb/FIBTestSupport.h"

namespace {

using Strings = std::vector<String>;

// One database file for the suite: a table, a procedure and a few rows.
class FIBQueryExec : public fbtest::TFIBSuiteTest<FIBQueryExec> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table PEOPLE (ID integer not null primary key, NAME varchar(40), "
            "SALARY numeric(15,2), BORN timestamp, NOTE blob sub_type text, FLAG integer)",
            "create table ARR (ID integer, A integer[1:3])",
            "create procedure SUM_OF (A integer, B integer) returns (S integer, P integer) as "
            "begin S = A + B; P = A * B; suspend; end"};
  }

 protected:
  void SetUp() override {
    fbtest::InitFIBUnits();
    InitializeUnits({&unit_FIBQuery});
    file_->Exec({"delete from PEOPLE",
                 "insert into PEOPLE (ID, NAME, SALARY, FLAG) values (1, 'Ann', 100.50, 1)",
                 "insert into PEOPLE (ID, NAME, SALARY, FLAG) values (2, 'Bob', 200.25, null)",
                 "insert into PEOPLE (ID, NAME, SALARY, FLAG) values (3, 'O''Brien', 300, null)"});
    form_ = new TComponent(nullptr);
    form_->SetName("Form1");
    db_ = fbtest::NewFIBDatabase(form_, file_->Path());
    db_->SetName("DB");
    db_->SetSynchronizeTime(false);
    tr_ = new TFIBTransaction(form_);
    tr_->SetName("Tr");
    tr_->SetDefaultDatabase(db_);
    db_->SetDefaultTransaction(tr_);
    db_->Connect();
    tr_->StartTransaction();
  }
  void TearDown() override { delete form_; }

  TFIBQuery* NewQuery(const String& SQL, const String& Name = "Q") {
    auto* q = new TFIBQuery(form_);
    if (!Name.empty()) q->SetName(Name);
    q->SetDatabase(db_);
    q->SQL()->SetText(SQL);
    return q;
  }
  // The rows of a select, each column's AsString joined by "|".
  static Strings Rows(TFIBQuery* Q) {
    Strings rows;
    if (!Q->Open()) Q->ExecQuery();
    for (; !Q->Eof(); Q->Next()) {
      String row;
      for (Integer i = 0; i < Q->FieldCount(); ++i)
        row += (i ? "|" : "") + (Q->Fields(i)->IsNull() ? String("<null>") : Q->Fields(i)->AsString());
      rows.push_back(row);
    }
    return rows;
  }
  String Scalar(const String& SQL) {
    TFIBQuery* q = NewQuery(SQL, "");
    q->ExecQuery();
    String value = q->Fields(0)->AsString();
    delete q;
    return value;
  }

  TComponent* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
};


// --- The main road -------------------------------------------------------------------

TEST_F(FIBQueryExec, InsertSelectUpdateDeleteProcedureAndDDL) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID, NAME, SALARY, BORN) values (:ID, :NAME, :SALARY, :BORN)");
  ins->Prepare();
  EXPECT_EQ(ins->SQLType(), SQLInsert);
  const isc_stmt_handle handle = ins->Handle();
  for (int id = 10; id < 13; ++id) {
    ins->ParamByName("ID")->SetAsInteger(id);
    ins->ParamByName("name")->SetAsString("P" + IntToStr(id));
    ins->ParamByName("SALARY")->SetAsDouble(id * 1.5);
    ins->ParamByName("BORN")->SetAsDateTime(EncodeDate(2000, 1, id));
    ins->ExecQuery();
    EXPECT_EQ(ins->RowsAffected(), 1);
  }
  EXPECT_EQ(ins->Handle(), handle) << "prepared once";

  TFIBQuery* sel = NewQuery("select ID, NAME, SALARY from PEOPLE where ID >= :LOW order by ID", "Sel");
  sel->ParamByName("LOW")->SetAsInteger(10);
  EXPECT_EQ(Rows(sel), (Strings{"10|P10|15.00", "11|P11|16.50", "12|P12|18.00"}));
  EXPECT_EQ(sel->SQLType(), SQLSelect);
  EXPECT_EQ(sel->RecordCount(), 3);
  EXPECT_EQ(sel->FetchNext(), nullptr);

  TFIBQuery* upd = NewQuery("update PEOPLE set SALARY = SALARY * 2 where ID >= :LOW", "Upd");
  upd->ParamByName("LOW")->SetAsInteger(11);
  upd->ExecQuery();
  EXPECT_EQ(upd->SQLType(), SQLUpdate);
  EXPECT_EQ(upd->RowsAffected(), 2);
  EXPECT_EQ(Scalar("select sum(SALARY) from PEOPLE where ID >= 10"), "84.00");

  TFIBQuery* del = NewQuery("delete from PEOPLE where ID >= 10", "Del");
  del->ExecQuery();
  EXPECT_EQ(del->SQLType(), SQLDelete);
  EXPECT_EQ(del->RowsAffected(), 3);

  TFIBQuery* proc = NewQuery("execute procedure SUM_OF :A, :B", "Proc");
  proc->ParamByName("A")->SetAsInteger(3);
  proc->ParamByName("B")->SetAsInteger(4);
  proc->ExecQuery();
  EXPECT_EQ(proc->SQLType(), SQLExecProcedure);
  EXPECT_EQ(proc->FieldByName("S")->AsInteger(), 7) << "readable without a fetch";
  EXPECT_EQ(proc->ParamByName("P")->AsInteger(), 12) << "an output column through ParamByName";

  TFIBQuery* ddl = NewQuery("create table EXTRA (X integer)", "Ddl");
  ddl->ExecQuery();
  EXPECT_EQ(ddl->SQLType(), SQLDDL);
  EXPECT_EQ(ddl->Handle(), 0u);
  tr_->Commit();
  tr_->StartTransaction();
  ddl->SQL()->SetText("drop table EXTRA");
  ddl->ExecQuery();
  tr_->Commit();
  EXPECT_EQ(file_->QueryValue("select count(*) from RDB$RELATIONS where RDB$RELATION_NAME = 'EXTRA'"), "0");
}

TEST_F(FIBQueryExec, ThroughTheServer) {
  if (!fbtest::ServerAvailable()) GTEST_SKIP() << "no server on 127.0.0.1:3050";
  fbtest::TTempDatabase file("UTF8");
  TFIBDatabase* db = fbtest::NewFIBDatabase(form_, file.ServerPath());
  db->SetSynchronizeTime(false);
  auto* tr = new TFIBTransaction(form_);
  tr->SetDefaultDatabase(db);
  db->SetDefaultTransaction(tr);
  db->Connect();
  tr->StartTransaction();
  auto* q = new TFIBQuery(form_);
  q->SetDatabase(db);
  q->SQL()->SetText("create table T (ID integer, NAME varchar(20))");
  q->ExecQuery();
  tr->CommitRetaining();
  q->SQL()->SetText("insert into T values (:ID, :NAME)");
  for (int i = 1; i <= 3; ++i) {
    q->ParamByName("ID")->SetAsInteger(i);
    q->ParamByName("NAME")->SetAsString("n" + IntToStr(i));
    q->ExecQuery();
  }
  q->SQL()->SetText("update T set NAME = NAME || '!' where ID > :ID");
  q->ParamByName("ID")->SetAsInteger(1);
  q->ExecQuery();
  EXPECT_EQ(q->RowsAffected(), 2);
  q->SQL()->SetText("select NAME from T where ID <> :ID order by ID");
  EXPECT_EQ(Rows(q), (Strings{"n2!", "n3!"}));
  q->Close();
  q->SQL()->SetText("delete from T");
  q->ExecQuery();
  EXPECT_EQ(q->RowsAffected(), 3);
  tr->Commit();
  db->Close();
}

TEST_F(FIBQueryExec, PositionalMarkersAndSharedNames) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID, NAME) values (?, ?)");
  ASSERT_EQ(ins->ParamCount(), 2);
  ins->Params()->Vars(0)->SetAsInteger(20);
  ins->SetParamValue(1, Variant("Pos"));
  ins->ExecQuery();
  TFIBQuery* sel = NewQuery("select NAME from PEOPLE where ID = :ID or ID = :ID + 1", "Sel");
  ASSERT_EQ(sel->ParamCount(), 2);
  sel->ParamByName("ID")->SetAsInteger(19);
  EXPECT_EQ(Rows(sel), Strings{"Pos"});
}

TEST_F(FIBQueryExec, ValuesStayWithTheirNamesAcrossTextChanges) {
  TFIBQuery* q = NewQuery("select NAME from PEOPLE where ID = :ID");
  q->ParamByName("ID")->SetAsInteger(2);
  q->SQL()->SetText("select NAME, cast(:X as varchar(5)) from PEOPLE where ID = :ID");
  EXPECT_EQ(q->ParamByName("ID")->AsInteger(), 2);
  q->ParamByName("X")->SetAsString("x");
  EXPECT_EQ(Rows(q), Strings{"Bob|x"});
}

TEST_F(FIBQueryExec, CursorStates) {
  TFIBQuery* q = NewQuery("select ID from PEOPLE order by ID");
  q->Prepare();
  EXPECT_TRUE(q->Fields(0)->IsNull()) << "no row before execution";
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
  q->Next();
  q->ExecQuery();  // closes the first cursor
  EXPECT_EQ(q->RecordCount(), 1);
  EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
  q->Close();
  EXPECT_TRUE(q->Eof());
  q->SetGoToFirstRecordOnExecute(false);
  q->ExecQuery();
  EXPECT_FALSE(q->Eof());
  EXPECT_TRUE(q->Bof());
  EXPECT_TRUE(q->Fields(0)->IsNull());
  ASSERT_NE(q->FetchNext(), nullptr);
  EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
  EXPECT_THROW(q->SQL()->SetText("select 1 from RDB$DATABASE"), EFIBClientError) << "the cursor is open";
  EXPECT_EQ(q->SQL()->Text(), "select ID from PEOPLE order by ID\r\n");
  q->Close();
  try {
    q->FetchNext();
    FAIL();
  } catch (const EFIBClientError& e) {
    EXPECT_EQ(e.SQLCode(), fceDatasetClosed);
    EXPECT_NE(e.Message().find("Can't fetch next record because Form1.Q dataset closed."), String::npos);
  }
}

TEST_F(FIBQueryExec, FetchCallbackStopsWithASilentAbort) {
  TFIBQuery* q = NewQuery("select ID from PEOPLE order by ID");
  std::vector<Integer> seen;
  q->SetFetchCallback([&seen](Integer RecordNumber, bool& Stop) {
    seen.push_back(RecordNumber);
    Stop = RecordNumber == 2;
  });
  q->ExecQuery();
  q->Next();
  EXPECT_THROW(q->Next(), EAbort);
  EXPECT_EQ(seen, (std::vector<Integer>{0, 1, 2}));
}

TEST_F(FIBQueryExec, BlobParametersAreWrittenBeforeExecution) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID, NOTE) values (:ID, :NOTE)");
  ins->ParamByName("ID")->SetAsInteger(30);
  ins->ParamByName("NOTE")->SetAsString("a short note");
  ins->ExecQuery();
  const String big(40000, 'b');
  TStringStream content(big);
  ins->ParamByName("ID")->SetAsInteger(31);
  ins->ParamByName("NOTE")->LoadFromStream(&content);
  ins->ExecQuery();
  EXPECT_FALSE(ins->BlobParamsToWrite());
  // Through a rewritten text (the NULL comparison) the BLOB goes by its id.
  TFIBQuery* upd = NewQuery("update PEOPLE set NOTE = :NOTE where ID = :ID and FLAG = :F", "Upd");
  upd->ParamByName("NOTE")->SetAsString("changed");
  upd->ParamByName("ID")->SetAsInteger(2);
  upd->ExecQuery();
  EXPECT_EQ(upd->RowsAffected(), 1);
  TFIBQuery* sel = NewQuery("select NOTE from PEOPLE where ID in (2, 30, 31) order by ID", "Sel");
  const Strings rows = Rows(sel);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], "changed");
  EXPECT_EQ(rows[1], "a short note");
  EXPECT_TRUE(rows[2] == big) << rows[2].size() << " bytes";
}

TEST_F(FIBQueryExec, ArrayColumnsAndParametersGetTheirArrayObjects) {
  TFIBQuery* ins = NewQuery("insert into ARR (ID, A) values (:ID, :A)");
  ins->Prepare();
  ins->ParamByName("ID")->SetAsInteger(1);
  ins->ParamByName("A")->SetAsVariant(VarArrayOf({Variant(7), Variant(8), Variant(9)}));
  ins->ExecQuery();
  TFIBQuery* sel = NewQuery("select A from ARR where ID = 1", "Sel");
  sel->ExecQuery();
  TFIBXSQLVAR* a = sel->FieldByName("A");
  EXPECT_EQ(a->ArrayDimensions(), 1);
  ASSERT_NE(a->FIBArray(), nullptr);
  const Variant back = a->FIBArray()->GetArrayValues(a->AsQuad(), db_->HandlePtr(), tr_->HandlePtr());
  EXPECT_EQ(VarArrayGet(back, 1).AsInteger(), 7);
  EXPECT_EQ(VarArrayGet(back, 3).AsInteger(), 9);
  sel->FreeHandle();
  EXPECT_EQ(sel->Fields()->Count(), 0);
}

// --- Errors ------------------------------------------------------------------------

TEST_F(FIBQueryExec, BadSQLLeavesTheStatementUnpreparedAndReusable) {
  TFIBQuery* q = NewQuery("select * from NO_SUCH_TABLE");
  try {
    q->ExecQuery();
    FAIL();
  } catch (const EFIBInterBaseError& e) {
    EXPECT_EQ(e.SQLCode(), -204);
    EXPECT_EQ(e.IBErrorCode(), 335544569);  // dynamic SQL error
    EXPECT_NE(e.Message().find("NO_SUCH_TABLE"), String::npos) << e.Message();
  }
  EXPECT_FALSE(q->Prepared());
  EXPECT_EQ(q->Handle(), 0u);
  q->SQL()->SetText("select count(*) from PEOPLE");
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 3);

  // A failing execution leaves the statement prepared and not open.
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID) values (:ID)", "Ins");
  ins->ParamByName("ID")->SetAsInteger(1);
  EXPECT_THROW(ins->ExecQuery(), EFIBInterBaseError);
  EXPECT_TRUE(ins->Prepared());
  ins->ParamByName("ID")->SetAsInteger(50);
  ins->ExecQuery();
  EXPECT_EQ(ins->RowsAffected(), 1);
}

TEST_F(FIBQueryExec, ClientErrors) {
  struct Case {
    const char* What;
    std::function<void()> Run;
    Integer Code;
    const char* Text;
  };
  TFIBQuery* q = NewQuery("select ID from PEOPLE");
  auto* lone = new TFIBQuery(form_);
  lone->SetName("Lone");
  lone->SQL()->SetText("select 1 from RDB$DATABASE");
  const Case cases[] = {
      {"no transaction",
       [&] {
         lone->SetDatabase(db_);
         lone->SetTransaction(nullptr);
         lone->ExecQuery();
       },
       fceTransactionNotAssigned, "Transaction not assigned for Form1.Lone."},
      {"empty text",
       [&] {
         q->SQL()->Clear();
         q->Prepare();
       },
       fceQueryEmpty, "Can't Prepare , because  query is empty"},
      {"missing field", [&] { NewQuery("select ID from PEOPLE", "F1")->FieldByName("NOPE"); }, fceFieldNotFound,
       "Field \"NOPE\" not found."},
      {"field index", [&] { NewQuery("select ID from PEOPLE", "F2")->Fields(5); }, fceFieldNotFound,
       "Field \"Field No: 5\" not found."},
      {"start transaction", [&] { NewQuery("set transaction", "St")->Prepare(); }, fceNotPermitted, "Not permitted."},
  };
  for (const Case& c : cases) {
    try {
      c.Run();
      ADD_FAILURE() << c.What;
    } catch (const EFIBClientError& e) {
      EXPECT_EQ(e.SQLCode(), c.Code) << c.What;
      EXPECT_NE(e.Message().find(c.Text), String::npos) << c.What << ": " << e.Message();
    }
  }
  try {
    NewQuery("select ID from PEOPLE where ID = :ID", "P1")->ParamByName("OTHER");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Parameter \"OTHER\" does not exist in Form1.P1");
  }
}

// --- Statement information ---------------------------------------------------------

TEST_F(FIBQueryExec, PlanAliasesAndOrigins) {
  TFIBQuery* q = NewQuery("select p.NAME, 1 as ONE, q.ID as QID from PEOPLE p join PEOPLE q on q.ID = p.ID");
  q->Prepare();
  EXPECT_NE(q->Plan().find("PLAN"), String::npos) << q->Plan();
  EXPECT_EQ(q->Plan().front(), 'P') << "leading line breaks are dropped";
  EXPECT_EQ(q->FieldRelationAlias(Integer{0}), "P");
  EXPECT_EQ(q->FieldFullName("NAME"), "P.NAME");
  EXPECT_EQ(q->FieldFullName("QID"), "Q.ID");
  EXPECT_EQ(q->FieldFullName("ONE"), "");
  EXPECT_EQ(q->FieldFullName("MISSING"), "");
  EXPECT_EQ(q->FieldByOrigin("people", "name"), nullptr) << "dialect 3 keeps the case";
  EXPECT_EQ(q->FieldByOrigin("PEOPLE", "NAME"), q->FieldByName("NAME"));
  EXPECT_EQ(q->FieldByOrigin("PEOPLE", "SALARY"), nullptr);

  TFIBQuery* ddl = NewQuery("create table X (I integer)", "D");
  EXPECT_EQ(ddl->Plan(), "");
}

// --- Text sent to the server -------------------------------------------------------

TEST_F(FIBQueryExec, NullParametersCompareWithIsNull) {
  TFIBQuery* q = NewQuery("select count(*) from PEOPLE where FLAG = :F");
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 2);
  EXPECT_NE(q->ReadySQLText().find("FLAG  IS NULL "), String::npos) << q->ReadySQLText();
  q->ParamByName("F")->SetAsInteger(1);
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
  EXPECT_NE(q->ReadySQLText().find("FLAG = ?"), String::npos) << q->ReadySQLText();

  TFIBQuery* plain = NewQuery("select count(*) from PEOPLE where FLAG = :F", "Plain");
  plain->SetOptions({qoNoForceIsNull});
  plain->ExecQuery();
  EXPECT_EQ(plain->Fields(0)->AsInteger(), 0) << "= NULL matches nothing";
}

TEST_F(FIBQueryExec, LiteralParametersAreWrittenInQuoted) {
  TFIBQuery* q = NewQuery("select count(*) from @@TBL%PEOPLE@ where NAME = @@N%#nobody@");
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 0);
  q->ParamByName("N")->SetAsString("O'Brien");
  EXPECT_TRUE(q->LiteralValuesChanged());
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
  EXPECT_NE(q->ReadySQLText().find("NAME = 'O''Brien'"), String::npos) << q->ReadySQLText();
  q->ParamByName("N")->SetAsString("x' or '1'='1");
  q->ExecQuery();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 0) << q->ReadySQLText();
  EXPECT_EQ(q->RemovedParams()->CommaText(), "N,TBL");
}

TEST_F(FIBQueryExec, ParamCheckOffSendsTheTextAsWritten) {
  TFIBQuery* q = NewQuery("");
  q->SetParamCheck(false);
  q->SQL()->SetText("select ':A' from RDB$DATABASE where 1 = 1");
  EXPECT_EQ(q->ParamCount(), 0);
  q->ExecQuery();
  EXPECT_EQ(FastTrim(q->Fields(0)->AsString()), ":A");
  EXPECT_EQ(q->ReadySQLText().substr(0, 40), "select ':A' from RDB$DATABASE where 1 = ");
  q->Close();
  q->SQL()->SetText("select ID from PEOPLE where ID = :A");
  EXPECT_EQ(q->ParamCount(), 0);
  EXPECT_THROW(q->Prepare(), EFIBInterBaseError) << "the server sees the marker";
}

// --- Transactions ------------------------------------------------------------------

TEST_F(FIBQueryExec, CommitAndRollbackStatementsEndTheComponentsTransaction) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID) values (60)");
  ins->ExecQuery();
  TFIBQuery* commit = NewQuery("commit", "C");
  commit->ExecQuery();
  EXPECT_FALSE(tr_->Active());
  EXPECT_EQ(file_->QueryValue("select count(*) from PEOPLE where ID = 60"), "1");
}

TEST_F(FIBQueryExec, AutoCommit) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID) values (:ID)");
  ins->SetOptions({qoAutoCommit});
  tr_->SetTimeoutAction(TACommitRetaining);
  ins->ParamByName("ID")->SetAsInteger(70);
  ins->ExecQuery();
  EXPECT_TRUE(tr_->Active()) << "commit retaining";
  tr_->SetTimeoutAction(TACommit);
  ins->ParamByName("ID")->SetAsInteger(71);
  ins->ExecQuery();
  EXPECT_FALSE(tr_->Active());
  EXPECT_EQ(file_->QueryValue("select count(*) from PEOPLE where ID in (70, 71)"), "2");

  // A select's cursor is not committed away under its reader.
  TFIBQuery* sel = NewQuery("select ID from PEOPLE order by ID", "Sel");
  sel->SetOptions({qoAutoCommit, qoStartTransaction});
  sel->ExecQuery();
  EXPECT_TRUE(tr_->Active());
  EXPECT_EQ(Rows(sel).size(), 5u);
}

TEST_F(FIBQueryExec, HardEndClosesTheCursorRetainingKeepsIt) {
  TFIBQuery* q = NewQuery("select ID from PEOPLE order by ID");
  Strings heard;
  q->SetTransactionEnding([&](TObject*) { heard.push_back(q->Open() ? "ending open" : "ending closed"); });
  q->SetTransactionEnded([&](TObject*) { heard.push_back(q->Open() ? "ended open" : "ended closed"); });
  q->ExecQuery();
  tr_->CommitRetaining();
  EXPECT_TRUE(q->Open());
  q->Next();
  EXPECT_EQ(q->Fields(0)->AsInteger(), 2);
  tr_->Commit();
  EXPECT_FALSE(q->Open());
  EXPECT_EQ(heard, (Strings{"ending open", "ended open", "ending open", "ended closed"}));

  // Without closing on the end the server's closed cursor is closed quietly.
  tr_->StartTransaction();
  q->SetCloseOnTransactionEnd(false);
  q->ExecQuery();
  tr_->Rollback();
  EXPECT_TRUE(q->Open());
  EXPECT_NO_THROW(q->Close());
}

TEST_F(FIBQueryExec, FreeingTheHandleClosesTheCursor) {
  const std::pair<const char*, std::function<void(TFIBQuery*)>> ways[] = {
      {"FreeHandle", [](TFIBQuery* q) { q->FreeHandle(); }},
      {"ParamCheck off", [](TFIBQuery* q) { q->SetParamCheck(false); }},
      {"literal character", [](TFIBQuery* q) { q->SetLiteralChar('#'); }},
  };
  for (const auto& [way, free] : ways) {
    TFIBQuery* q = NewQuery("select ID from PEOPLE order by ID");
    q->ExecQuery();
    ASSERT_TRUE(q->Open());
    free(q);
    EXPECT_EQ(q->Handle(), 0u) << way;
    EXPECT_FALSE(q->Open()) << way;
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FetchNext(), nullptr);
    q->ExecQuery();  // prepares again
    EXPECT_TRUE(q->Open());
    EXPECT_EQ(q->Fields(0)->AsInteger(), 1);
    delete q;
  }
}

TEST_F(FIBQueryExec, DbKeyParametersCarryTheRawKey) {
  TFIBQuery* key = NewQuery("select RDB$DB_KEY from PEOPLE where ID = 2", "Key");
  key->ExecQuery();
  const String bytes = key->Fields(0)->AsString();
  ASSERT_EQ(bytes.size(), 8u);
  for (const char* name : {"DB_KEY", "RDB$DB_KEY"}) {
    for (bool prepareFirst : {false, true}) {
      TFIBQuery* q = NewQuery(String("select NAME from PEOPLE where RDB$DB_KEY = :") + name, "ByKey");
      if (prepareFirst) q->Prepare();
      q->ParamByName(name)->SetAsString(bytes);
      EXPECT_EQ(Rows(q), Strings{"Bob"}) << name << (prepareFirst ? " prepared" : "");
      delete q;
    }
  }
}

TEST_F(FIBQueryExec, FreeHandleAfterExecute) {
  TFIBQuery* ins = NewQuery("insert into PEOPLE (ID) values (80)");
  ins->SetOptions({qoFreeHandleAfterExecute});
  ins->ExecQuery();
  EXPECT_EQ(ins->Handle(), 0u);
  EXPECT_FALSE(ins->Prepared());
  TFIBQuery* sel = NewQuery("select ID from PEOPLE", "Sel");
  sel->SetOptions({qoFreeHandleAfterExecute});
  EXPECT_EQ(Rows(sel).size(), 4u);
  EXPECT_EQ(sel->Handle(), 0u) << "freed at the end of the rows";
}

// --- Options, conditions, comment ----------------------------------------------------

TEST_F(FIBQueryExec, ConditionsAreAppliedAndDroppedWithANewText) {
  TFIBQuery* q = NewQuery("select ID from PEOPLE order by ID");
  q->Conditions()->AddCondition("big", "SALARY > 150", true);
  q->Conditions()->Apply();
  EXPECT_EQ(Rows(q), (Strings{"2", "3"}));
  q->Close();
  q->SetOrderClause("ID desc");
  EXPECT_TRUE(q->Conditions()->Applied());
  EXPECT_EQ(Rows(q), (Strings{"3", "2"}));
  q->Close();
  q->SQL()->SetText("select NAME from PEOPLE where ID = 1");
  EXPECT_FALSE(q->Conditions()->Applied());
  q->Conditions()->Apply();
  EXPECT_EQ(Rows(q), Strings{}) << "the conditions join the new text";
  q->Close();
  q->Conditions()->CancelApply();
  EXPECT_EQ(Rows(q), Strings{"Ann"});
}

// A dataset owning a statement, for the names in comments and texts.
class TStubDataSet : public TComponent, public IFIBStatementDataSet {
 public:
  using TComponent::TComponent;
  String DataSetDescription() const override { return description; }
  String description;
};

TEST_F(FIBQueryExec, ConnectionTracingComment) {
  TFIBQuery* q = NewQuery("select 1 from RDB$DATABASE");
  EXPECT_EQ(q->BuildCSMonitorComment(), "") << "transaction and database switches are off";
  db_->CSMonitorSupport()->SetEnabled(csmeEnabled);
  const String expected = " /* CSMON$CON_NAME=Form1.DB; CSMON$TR_NAME=Form1.Tr; CSMON$ST_NAME=Form1.Q;  */";
  EXPECT_EQ(q->BuildCSMonitorComment(), expected);
  q->Prepare();
  q->FreeHandle();
  q->Prepare();
  EXPECT_EQ(q->ReadySQLText(), "select 1 from RDB$DATABASE\r\n" + expected) << "appended once";

  q->CSMonitorSupport()->SetEnabled(csmeDisabled);
  EXPECT_EQ(q->BuildCSMonitorComment(), "");

  auto* ds = new TStubDataSet(form_);
  ds->SetName("DS");
  ds->description = "people */ drop";
  auto* inner = new TFIBQuery(ds);
  inner->SetDatabase(db_);
  std::smatch m;
  const String comment = inner->BuildCSMonitorComment();
  ASSERT_TRUE(std::regex_search(comment, m, std::regex("Form1\\.DS:\\[people \\* / drop\\]\\.Query_0x[0-9A-F]{16};")))
      << comment;
  inner->CSMonitorSupport()->SetIncludeDatasetDescription(false);
  EXPECT_NE(inner->BuildCSMonitorComment().find("CSMON$ST_NAME=Form1.DS.Query_0x"), String::npos);
}

TEST_F(FIBQueryExec, OptionsStreamAsFourBooleans) {
  TFIBQuery* q = NewQuery("select 1 from RDB$DATABASE");
  q->SetOptions({qoAutoCommit, qoNoForceIsNull, qoFreeHandleAfterExecute});
  const String text = WriteComponentToText(form_);
  EXPECT_NE(text.find("AutoCommit = True"), String::npos) << text;
  EXPECT_NE(text.find("NoForceIsNull = True"), String::npos);
  EXPECT_EQ(text.find("StartTransaction = True"), String::npos);
  EXPECT_EQ(text.find("Options"), String::npos);
  auto* copy = new TComponent(nullptr);
  ReadComponentFromText(copy, text);
  auto* read = dynamic_cast<TFIBQuery*>(copy->FindComponent("Q"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Options(), (TpFIBQueryOptions{qoAutoCommit, qoNoForceIsNull}));
  EXPECT_EQ(read->SQL()->Text(), q->SQL()->Text());
  delete copy;
}

// --- Reports -----------------------------------------------------------------------

class TRecordingLogger : public TComponent, public ISQLLogger {
 public:
  using TComponent::TComponent;
  void RegisterDatabase(TFIBDatabase*) override {}
  void WriteData(const String& ObjectName, const String& Operation, const String& Value, TLogFlag Kind) override {
    if (Kind <= lfQFetch) lines.push_back(ObjectName + " " + Operation + " " + Value);
  }
  TLogFlags LogFlags() const override { return {lfQPrepare, lfQExecute, lfQFetch}; }
  Strings lines;
};

TEST_F(FIBQueryExec, LoggerHearsPrepareExecuteFetchAndErrors) {
  auto* logger = new TRecordingLogger(form_);
  db_->SetSQLLogger(logger);
  TFIBQuery* q = NewQuery("select NAME from PEOPLE where ID = :ID");
  q->ParamByName("ID")->SetAsInteger(1);
  q->ExecQuery();
  q->Next();
  const String sql = q->ReadySQLText();
  EXPECT_EQ(logger->lines, (Strings{"Form1.Q Prepare: " + sql, "Form1.Q Execute query: " + sql + "\r\nParams[0]='1'",
                                    "Form1.Q Fetch: NAME = Ann", "Form1.Q Fetch: NAME = Ann  End of file reached"}));
  logger->lines.clear();
  TFIBQuery* bad = NewQuery("insert into PEOPLE (ID) values (1)", "Bad");
  EXPECT_THROW(bad->ExecQuery(), EFIBInterBaseError);
  ASSERT_EQ(logger->lines.size(), 2u);
  EXPECT_EQ(logger->lines[1].rfind("Form1.Bad Error on execute query. Error message: \"", 0), 0u) << logger->lines[1];
  db_->SetSQLLogger(nullptr);
}

class TStatistics : public ISQLStatMaker {
 public:
  bool ActiveStatistics() override { return true; }
  Variant GetStatValue(const String& SQL, const String& Name) override {
    auto it = values.find(SQL + "|" + Name);
    return it == values.end() ? Null() : it->second;
  }
  void SetStatValue(const String& SQL, const String& Name, const Variant& Value) override {
    values[SQL + "|" + Name] = Value;
  }
  void SetMaxTimeParams(const String&, TStrings* Params) override { max_params = Params->Text(); }
  std::map<String, Variant> values;
  String max_params;
};

TEST_F(FIBQueryExec, StatisticsPerText) {
  TStatistics stats;
  db_->SetStatisticsMaker(&stats);
  TFIBQuery* q = NewQuery("select NAME from PEOPLE where ID = :ID");
  q->ParamByName("ID")->SetAsInteger(2);
  q->ExecQuery();
  q->ExecQuery();
  const String key = q->ReadySQLText() + "|";
  EXPECT_EQ(stats.values[key + "PrepareCount"].AsInteger(), 1);
  EXPECT_EQ(stats.values[key + "ExecuteCount"].AsInteger(), 2);
  EXPECT_EQ(stats.values[key + "LastQueryName"].AsString(), "Form1.Q");
  EXPECT_GE(stats.values[key + "SumTimeExecute"].AsInt64(), stats.values[key + "MaxTimeExecute"].AsInt64());
  EXPECT_EQ(stats.max_params, "Params[0]='2'\r\n");
  db_->SetStatisticsMaker(nullptr);
}

TEST_F(FIBQueryExec, MonitorReaderSeesPrepareExecuteAndFetch) {
  const String command = String(FIBMONITOR_PATH) + " --prefix " + fbtest::TestMonitorPrefix() +
                         " --kinds prepare,execute,fetch --records --limit 4 --time 20000";
  TFIBQuery* q = NewQuery("select NAME from PEOPLE where ID = :ID");
  q->SetGoToFirstRecordOnExecute(false);
  q->ParamByName("ID")->SetAsInteger(3);
  FILE* reader = ::popen(command.c_str(), "r");
  ASSERT_NE(reader, nullptr);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, reader), nullptr);
  ASSERT_STREQ(line, "attached\n");
  q->ExecQuery();
  q->Next();
  q->Next();
  String output;
  size_t n;
  while ((n = std::fread(line, 1, sizeof line, reader)) > 0) output.append(line, n);
  ::pclose(reader);
  const String sql = q->ReadySQLText();
  const String expected[] = {
      "Q: [Prepare] " + sql + "\r\n  Plan: PLAN (PEOPLE INDEX (",
      "Q: [Execute] " + sql + "\r\n  ID = 3\r\nExecute tick count ",
      "\r\nQ: [Fetch] " + sql + "NAME = O'Brien\r\n",
      "\r\nQ: [Fetch] " + sql,
      "\r\n\r\n  End of file reached",
  };
  size_t at = 0;
  for (const String& text : expected) {
    at = output.find(text, at);
    EXPECT_NE(at, String::npos) << text << " in\n" << output;
    if (at == String::npos) break;
  }
}

}  // namespace
