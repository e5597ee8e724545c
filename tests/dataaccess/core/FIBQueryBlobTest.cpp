#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/pFIBArray.h"
#include "tests/dataaccess/core/BlobArrayFixture.h"
#include "tests/support/fb/TestStatement.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

using fbtest::TTestStatement;

class FIBQueryBlobTest : public fbtest::TBlobArrayTest<FIBQueryBlobTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table BIN (ID integer, B blob sub_type 0)",
            "create table TXT (ID integer, T blob sub_type text, V varchar(100))",
            "create table FLT (ID integer, B blob sub_type -5)", "create table ARR (ID integer, A integer[1:3, 0:4])"};
  }

 protected:
  void SetUp() override {
    TBlobArrayTest::SetUp();
    for (const char* table : {"BIN", "TXT", "FLT", "ARR"}) fbtest::ExecSQL(tr_, String("delete from ") + table);
  }

  TTestStatement* Statement() { return new TTestStatement(form_, db_, tr_); }
  // The first column of the first row of a select.
  TFIBXSQLVAR* Select(TTestStatement* Q, const String& SQL) {
    Q->Prepare(SQL);
    Q->Execute();
    EXPECT_TRUE(Q->Fetch()) << SQL;
    return Q->Fields()->Vars(0);
  }
  // Inserts (ID, value) with the value copied from Source by AssignBlob.
  void InsertCopy(const String& Table, const String& Column, TFIBXSQLVAR* Source, Integer Id = 1) {
    TTestStatement* q = Statement();
    q->Prepare("insert into " + Table + " (ID, " + Column + ") values (?, ?)", {"ID", Column});
    q->Params()->ByName("ID")->SetAsInteger(Id);
    q->Params()->ByName(Column)->AssignBlob(Source);
    q->Execute();
    delete q;
  }
  // A BLOB's stored bytes, read without filters.
  String RawBlob(const String& Select) {
    TTestStatement* q = Statement();
    TFIBXSQLVAR* v = this->Select(q, Select);
    TFIBBlobStream s;
    s.SetDatabase(db_);
    s.SetTransaction(tr_);
    s.SetBlobID(v->AsQuad());
    String bytes = s.GetAsString();
    delete q;
    return bytes;
  }
};

const String kText = "Жила-была Кошка. Text of a BLOB.";

TEST_F(FIBQueryBlobTest, BlobColumnsReadAsText) {
  fbtest::ExecSQL(tr_, "insert into TXT (ID, T) values (1, '" + kText + "')");
  TTestStatement* q = Statement();
  TFIBXSQLVAR* t = Select(q, "select T from TXT");
  EXPECT_EQ(t->AsString(), kText);
  EXPECT_EQ(t->AsVariant().AsString(), kText);
  // A transaction that is not running is started when the statement asks for it.
  tr_->Commit();
  EXPECT_THROW(t->AsString(), EFIBClientError);
  q->SetOptions({qoStartTransaction});
  EXPECT_EQ(t->AsString(), kText);
  EXPECT_TRUE(tr_->Active());
}

TEST_F(FIBQueryBlobTest, BlobValuesCopyIntoBlobAndTextParameters) {
  fbtest::ExecSQL(tr_, "insert into TXT (ID, T, V) values (1, '" + kText + "', 'short text')");
  TTestStatement* source = Statement();
  TFIBXSQLVAR* blob = Select(source, "select T from TXT");

  // Into a BLOB parameter: a new BLOB with the same bytes.
  InsertCopy("BIN", "B", blob);
  EXPECT_EQ(RawBlob("select B from BIN"), kText);
  // Into a VARCHAR parameter: the text.
  InsertCopy("TXT", "V", blob, 2);
  EXPECT_EQ(file_->QueryValue("select V from TXT where ID = 2"), "");  // not committed yet
  tr_->CommitRetaining();
  EXPECT_EQ(file_->QueryValue("select V from TXT where ID = 2"), kText);

  // A VARCHAR into a BLOB parameter: its characters, without the length word.
  TTestStatement* other = Statement();
  TFIBXSQLVAR* varchar = Select(other, "select V from TXT where ID = 1");
  TTestStatement* insert = Statement();
  insert->Prepare("insert into BIN (ID, B) values (?, ?)", {"ID", "B"});
  insert->Params()->ByName("ID")->SetAsInteger(2);
  TFIBXSQLVAR* target = insert->Params()->ByName("B");
  target->AssignBlob(blob);  // makes it a BLOB
  target->AssignBlob(varchar);
  insert->Execute();
  EXPECT_EQ(RawBlob("select B from BIN where ID = 2"), "short text");

  // A parameter's content not yet on the server is copied too.
  TTestStatement* pending = Statement();
  pending->Prepare("insert into BIN (ID, B) values (?, ?)", {"ID", "B"});
  TStringStream content("in memory");
  pending->Params()->ByName("B")->LoadFromStream(&content);
  InsertCopy("BIN", "B", pending->Params()->ByName("B"), 3);
  EXPECT_EQ(RawBlob("select B from BIN where ID = 3"), "in memory");

  // NULL copies as NULL.
  TTestStatement* empty = Statement();
  TFIBXSQLVAR* null_blob = Select(empty, "select T from TXT where ID = 2");
  InsertCopy("BIN", "B", null_blob, 4);
  EXPECT_EQ(file_->QueryValue("select count(*) from BIN where ID = 4 and B is null"), "0");  // not committed
  tr_->CommitRetaining();
  EXPECT_EQ(file_->QueryValue("select count(*) from BIN where ID = 4 and B is null"), "1");
}

TEST_F(FIBQueryBlobTest, TextTooLongForATextParameterRaises) {
  TTestStatement* source = Statement();
  source->Prepare("insert into TXT (ID, T) values (?, ?)", {"ID", "T"});
  TStringStream content(String(40000, 'x'));
  TFIBXSQLVAR* blob = source->Params()->ByName("T");
  blob->LoadFromStream(&content);
  TTestStatement* q = Statement();
  q->Prepare("insert into TXT (ID, V) values (?, ?)", {"ID", "V"});
  fbtest::ExpectClientError([&] { q->Params()->ByName("V")->AssignBlob(blob); }, fceInvalidDataConversion);
}

TEST_F(FIBQueryBlobTest, FiltersApplyUnlessBothSidesShareTheSubtype) {
  auto filters = std::make_unique<TBlobFilterList>();
  filters->AddFilter(-5, fbtest::ReverseRead, fbtest::ReverseWrite);
  db_->SetBlobFilters(std::move(filters));
  {
    TFIBBlobStream w;
    w.SetMode(bmWrite);
    w.SetDatabase(db_);
    w.SetTransaction(tr_);
    w.SetBlobSubType(-5);
    w.WriteBuffer("abc", 3);
    w.Finalize();
    const ISC_QUAD id = w.BlobID();
    TTestStatement* q = Statement();
    q->Prepare("insert into FLT (ID, B) values (?, ?)", {"ID", "B"});
    q->Params()->ByName("ID")->SetAsInteger(1);
    q->Params()->ByName("B")->SetAsQuad(id);
    q->Execute();
  }
  EXPECT_EQ(RawBlob("select B from FLT"), "cba#");

  TTestStatement* source = Statement();
  TFIBXSQLVAR* blob = Select(source, "select B from FLT");
  EXPECT_EQ(blob->SQLSubtype(), -5);
  InsertCopy("TXT", "V", blob);  // read filter: the decoded text
  tr_->CommitRetaining();
  EXPECT_EQ(file_->QueryValue("select V from TXT"), "abc");
  InsertCopy("FLT", "B", blob, 2);  // same subtype: the stored bytes as they are
  EXPECT_EQ(RawBlob("select B from FLT where ID = 2"), "cba#");
}

TEST_F(FIBQueryBlobTest, ArrayParametersStoreVariantArrays) {
  IIBClientLibrary* lib = db_->GetClientLibrary();
  TpFIBArray array(lib, "ARR", "A", db_->HandlePtr(), tr_->HandlePtr(), nullptr);
  TTestStatement* insert = Statement();
  insert->Prepare("insert into ARR (ID, A) values (?, ?)", {"ID", "A"});
  insert->Params()->ByName("ID")->SetAsInteger(1);
  TFIBXSQLVAR* a = insert->Params()->ByName("A");

  // Without an array object the variable is no array field.
  fbtest::ExpectClientError([&] { a->SetAsVariant(VarArrayOf({1, 2})); }, fceNotArrayField,
                            "Column types \".\" is not array field");
  fbtest::ExpectClientError([&] { a->ArrayDimensions(); }, fceNotArrayField);

  a->SetFIBArray(&array);
  EXPECT_EQ(a->ArrayDimensions(), 2);
  Variant value = VarArrayCreate({1, 3, 0, 4}, varVariant);
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) VarArrayPut(value, Variant(i * 100 + j), {i, j});
  a->SetAsVariant(value);
  EXPECT_EQ(a->SQLType(), SQL_ARRAY);
  insert->Execute();

  TTestStatement* select = Statement();
  TFIBXSQLVAR* column = Select(select, "select A from ARR");
  EXPECT_EQ(column->AsVariant().AsString(), "(Array)");
  const Variant back = array.GetArrayValues(column->AsQuad(), db_->HandlePtr(), tr_->HandlePtr());
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) EXPECT_EQ(VarArrayGet(back, {i, j}).AsInteger(), i * 100 + j);
}

}  // namespace
