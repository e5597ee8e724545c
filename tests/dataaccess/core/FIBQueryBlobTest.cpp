#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/FIBMiscellaneous.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/pFIBArray.h"
#include "tests/dataaccess/core/BlobArrayFixture.h"

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

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

  TFIBQuery* Statement(const String& SQL) {
    auto* q = new TFIBQuery(form_);
    q->SetDatabase(db_);
    q->SetTransaction(tr_);
    q->SQL()->SetText(SQL);
    return q;
  }
  // The first column of the first row of a select.
  TFIBXSQLVAR* Select(TFIBQuery* Q) {
    Q->ExecQuery();
    EXPECT_FALSE(Q->Eof()) << Q->SQL()->Text();
    return Q->Fields(0);
  }
  TFIBXSQLVAR* Select(const String& SQL) { return Select(Statement(SQL)); }
  // Inserts (ID, value) with the value copied from Source by AssignBlob into
  // the statement before its first prepare.
  void InsertCopy(const String& Table, const String& Column, TFIBXSQLVAR* Source, Integer Id = 1) {
    TFIBQuery* q = Statement("insert into " + Table + " (ID, " + Column + ") values (:ID, :" + Column + ")");
    q->ParamByName("ID")->SetAsInteger(Id);
    q->ParamByName(Column)->AssignBlob(Source);
    q->ExecQuery();
    delete q;
  }
  // A BLOB's stored bytes, read without filters.
  String RawBlob(const String& SQL) {
    TFIBQuery* q = Statement(SQL);
    TFIBXSQLVAR* v = Select(q);
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
  TFIBQuery* q = Statement("select T from TXT");
  TFIBXSQLVAR* t = Select(q);
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
  TFIBXSQLVAR* blob = Select("select T from TXT");

  // Into a BLOB parameter: a new BLOB with the same bytes.
  InsertCopy("BIN", "B", blob);
  EXPECT_EQ(RawBlob("select B from BIN"), kText);
  // Into a VARCHAR parameter: the text.
  InsertCopy("TXT", "V", blob, 2);
  EXPECT_EQ(file_->QueryValue("select V from TXT where ID = 2"), "");  // not committed yet
  tr_->CommitRetaining();
  EXPECT_EQ(file_->QueryValue("select V from TXT where ID = 2"), kText);

  // A VARCHAR into a BLOB parameter: its characters, without the length word.
  TFIBXSQLVAR* varchar = Select("select V from TXT where ID = 1");
  TFIBQuery* insert = Statement("insert into BIN (ID, B) values (:ID, :B)");
  insert->Prepare();
  insert->ParamByName("ID")->SetAsInteger(2);
  TFIBXSQLVAR* target = insert->ParamByName("B");
  target->AssignBlob(blob);  // makes it a BLOB
  target->AssignBlob(varchar);
  insert->ExecQuery();
  EXPECT_EQ(RawBlob("select B from BIN where ID = 2"), "short text");

  // A parameter's content not yet on the server is copied too.
  TFIBQuery* pending = Statement("insert into BIN (ID, B) values (:ID, :B)");
  TStringStream content("in memory");
  pending->ParamByName("B")->LoadFromStream(&content);
  InsertCopy("BIN", "B", pending->ParamByName("B"), 3);
  EXPECT_EQ(RawBlob("select B from BIN where ID = 3"), "in memory");

  // NULL copies as NULL.
  TFIBXSQLVAR* null_blob = Select("select T from TXT where ID = 2");
  InsertCopy("BIN", "B", null_blob, 4);
  EXPECT_EQ(file_->QueryValue("select count(*) from BIN where ID = 4 and B is null"), "0");  // not committed
  tr_->CommitRetaining();
  EXPECT_EQ(file_->QueryValue("select count(*) from BIN where ID = 4 and B is null"), "1");
}

TEST_F(FIBQueryBlobTest, TextTooLongForATextParameterRaises) {
  TFIBQuery* source = Statement("insert into TXT (ID, T) values (:ID, :T)");
  TStringStream content(String(40000, 'x'));
  TFIBXSQLVAR* blob = source->ParamByName("T");
  blob->LoadFromStream(&content);
  TFIBQuery* q = Statement("insert into TXT (ID, V) values (:ID, :V)");
  fbtest::ExpectClientError([&] { q->ParamByName("V")->AssignBlob(blob); }, fceInvalidDataConversion);
}

TEST_F(FIBQueryBlobTest, LargeBlobsCopyIntoAStatementNotYetPrepared) {
  const String big(100000, 'z');
  TFIBQuery* source = Statement("insert into BIN (ID, B) values (1, :B)");
  TStringStream content(big);
  source->ParamByName("B")->LoadFromStream(&content);
  source->ExecQuery();
  TFIBXSQLVAR* blob = Select("select B from BIN where ID = 1");
  // The target learns that B is a BLOB by preparing first: the content
  // stays a BLOB, beyond what a text can hold.
  TFIBQuery* q = Statement("insert into BIN (ID, B) values (:ID, :B)");
  q->ParamByName("ID")->SetAsInteger(2);
  q->ParamByName("B")->AssignBlob(blob);
  EXPECT_TRUE(q->Prepared());
  EXPECT_EQ(q->ParamByName("B")->SQLType(), SQL_BLOB);
  q->ExecQuery();
  EXPECT_TRUE(RawBlob("select B from BIN where ID = 2") == big);
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
    TFIBQuery* q = Statement("insert into FLT (ID, B) values (:ID, :B)");
    q->ParamByName("ID")->SetAsInteger(1);
    q->ParamByName("B")->SetAsQuad(id);
    q->ExecQuery();
  }
  EXPECT_EQ(RawBlob("select B from FLT"), "cba#");

  TFIBXSQLVAR* blob = Select("select B from FLT");
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
  TFIBQuery* insert = Statement("insert into ARR (ID, A) values (:ID, :A)");
  insert->ParamByName("ID")->SetAsInteger(1);
  TFIBXSQLVAR* a = insert->ParamByName("A");

  // Before the prepare tells its type and gives it an array object the
  // variable takes no array.
  fbtest::ExpectClientError([&] { a->SetAsVariant(VarArrayOf({1, 2})); }, fceNotPermitted, "Not permitted.");
  fbtest::ExpectClientError([&] { a->ArrayDimensions(); }, fceNotArrayField, "Column types \".\" is not array field");

  insert->Prepare();
  EXPECT_EQ(a->ArrayDimensions(), 2);
  Variant value = VarArrayCreate({1, 3, 0, 4}, varVariant);
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) VarArrayPut(value, Variant(i * 100 + j), {i, j});
  a->SetAsVariant(value);
  EXPECT_EQ(a->SQLType(), SQL_ARRAY);
  insert->ExecQuery();

  TFIBXSQLVAR* column = Select("select A from ARR");
  EXPECT_EQ(column->AsVariant().AsString(), "(Array)");
  const Variant back = array.GetArrayValues(column->AsQuad(), db_->HandlePtr(), tr_->HandlePtr());
  for (Integer i = 1; i <= 3; ++i)
    for (Integer j = 0; j <= 4; ++j) EXPECT_EQ(VarArrayGet(back, {i, j}).AsInteger(), i * 100 + j);
}

}  // namespace
