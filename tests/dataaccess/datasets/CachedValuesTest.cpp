// Values that cached records carry: texts with line breaks applied record by
// record and in EXECUTE BLOCK batches, and BLOBs read again after the
// transaction they were fetched in ended.
#include <memory>
#include <string>
#include <vector>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "tests/dataaccess/datasets/ExtendedDataSetFixture.h"

namespace {

class CachedValuesTest : public dstest::TExtendedDataSetSuite<CachedValuesTest> {
 public:
  static std::vector<std::string> Tables() {
    return {"create table TX (ID integer not null primary key, TXT varchar(40), W varchar(40) character set WIN1251)",
            "create table BL (ID integer not null primary key, NOTE blob sub_type text)"};
  }

 protected:
  // A cached-updates dataset over Select writing Table through generated
  // statements.
  TpFIBDataSet* NewCached(const String& Select, const String& Table, bool Batch) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText(Select);
    ds->SetCachedUpdates(true);
    TAutoUpdateOptions* options = ds->AutoUpdateOptions();
    options->SetUpdateTableName(Table);
    options->SetKeyFields("ID");
    options->SetAutoReWriteSqls(true);
    options->SetCanChangeSQLs(true);
    options->SetUseExecuteBlock(Batch);
    return ds;
  }
};

TEST_F(CachedValuesTest, LineBreaksInTextsReachTheServerByteForByte) {
  const std::string values[] = {"a\nb", "a\r\nb", "a\rb", "\n", "line\r", "\r\n\r\n", "\xD0\xB6\n\xD1\x91", "plain"};
  const int count = static_cast<int>(std::size(values));
  for (bool batch : {false, true}) {
    SCOPED_TRACE(batch ? "batch" : "record by record");
    std::vector<std::string> rows{"delete from TX"};
    for (int k = 1; k <= count; ++k) rows.push_back("insert into TX (ID, TXT, W) values (" + std::to_string(k) + ", 'x', 'x')");
    file_->Exec(rows);
    TpFIBDataSet* ds = NewCached("select ID, TXT, W from TX order by ID", "TX", batch);
    ds->Open();
    // Each value modifies one row and is inserted with a new one.
    for (int k = 1; k <= count; ++k) {
      ASSERT_TRUE(ds->Locate("ID", Variant(k), {}));
      ds->Edit();
      ds->FieldByName("TXT")->SetAsString(values[k - 1]);
      ds->FieldByName("W")->SetAsString(values[k - 1]);
      ds->Post();
      ds->Append();
      ds->FieldByName("ID")->SetAsInteger(100 + k);
      ds->FieldByName("TXT")->SetAsString(values[k - 1]);
      ds->Post();
    }
    ds->ApplyUpdates();
    db_->DefaultTransaction()->Commit();
    for (int k = 1; k <= count; ++k) {
      SCOPED_TRACE(k);
      const std::string id = std::to_string(k);
      EXPECT_EQ(file_->QueryValue("select TXT from TX where ID = " + id), values[k - 1]);
      EXPECT_EQ(file_->QueryValue("select octet_length(W) from TX where ID = " + id),
                std::to_string(values[k - 1].size() - (k == 7 ? 2 : 0)));  // two letters of one byte
      EXPECT_EQ(file_->QueryValue("select TXT from TX where ID = " + std::to_string(100 + k)), values[k - 1]);
    }
    delete ds;
  }
}

TEST_F(CachedValuesTest, BlobsLeftByTheCacheLimitAreReadAgainAfterTheTransactionEnded) {
  file_->Exec({"delete from BL", "insert into BL values (1, 'note 1')", "insert into BL values (2, 'note 2')",
               "insert into BL values (3, 'note 3')"});
  TpFIBDataSet* ds = NewCached("select ID, NOTE from BL order by ID", "BL", false);
  ds->CacheModelOptions()->SetBlobCacheLimit(2);
  ds->Open();
  TField* note = ds->FieldByName("NOTE");
  for (ds->First(); !ds->Eof(); ds->Next()) EXPECT_EQ(note->AsString(), "note " + ds->FieldByName("ID")->AsString());
  TFIBTransaction* tr = db_->DefaultTransaction();
  tr->Commit();
  ASSERT_TRUE(ds->Active());
  // Both directions: each read of a record loads what the limit let go.
  for (int round = 0; round < 2; ++round) {
    for (ds->First(); !ds->Eof(); ds->Next())
      EXPECT_EQ(note->AsString(), "note " + ds->FieldByName("ID")->AsString());
    for (ds->Last(); !ds->Bof(); ds->Prior())
      EXPECT_EQ(note->AsString(), "note " + ds->FieldByName("ID")->AsString());
  }
  EXPECT_FALSE(tr->Active());  // each load ended the transaction it started
  // A stream still held when the limit lets its data go reads it again too.
  ds->First();
  std::unique_ptr<TStream> held(ds->CreateBlobStream(note, bmRead));
  ds->Next();
  note->AsString();
  ds->Next();
  note->AsString();
  std::string text(static_cast<size_t>(held->Size()), '\0');
  held->Seek(0, soBeginning);
  EXPECT_EQ(held->Read(text.data(), static_cast<Int64>(text.size())), 6);
  EXPECT_EQ(text, "note 1");
  held.reset();
  // A change to one of them still reaches the server.
  ds->First();
  ds->Edit();
  note->SetAsString("changed");
  ds->Post();
  ds->Last();
  EXPECT_EQ(note->AsString(), "note 3");
  ds->ApplyUpdates();
  tr->Commit();
  EXPECT_EQ(file_->QueryValue("select NOTE from BL where ID = 1"), "changed");
  delete ds;
}

}  // namespace
