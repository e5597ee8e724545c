// Export to VCLDBIF and import into an empty copy of the table on the
// embedded database: 1 000 rows of mixed types come back equal, read on
// another attachment.
#include <gtest/gtest.h>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEhImpExp.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/support/fb/FIBSuiteFixture.h"

namespace {

const char kColumns[] =
    "(ID integer not null primary key, N integer, NUM numeric(15,2), BIG numeric(18,4), D date, TS timestamp, "
    "C1 char(1), C10 char(10), V varchar(40))";

class ImportFirebirdTest : public fbtest::TFIBSuiteTest<ImportFirebirdTest> {
 public:
  static std::vector<std::string> Tables() {
    return {
        std::string("create table SRC ") + kColumns,
        std::string("create table DST ") + kColumns,
        "execute block as declare i integer = 1; begin while (i <= 1000) do begin "
        "insert into SRC values (:i, "
        "iif(mod(:i, 7) = 0, null, :i * 37 - 20000), "
        "iif(mod(:i, 11) = 0, null, :i * 1.25 - 300.01), "
        "iif(mod(:i, 13) = 0, null, :i * 12345678901.0001), "
        "iif(mod(:i, 5) = 0, null, dateadd(:i day to date '1999-12-31')), "
        "iif(mod(:i, 9) = 0, null, dateadd(:i * 61 second to timestamp '2024-02-29 10:00:00')), "
        "iif(mod(:i, 4) = 0, null, 'Ж'), "
        "iif(mod(:i, 6) = 0, null, 'ab' || :i), "
        "iif(mod(:i, 8) = 0, null, 'Тест \"' || :i || '\" ёлка\tтаб')); "
        "i = i + 1; end end",
    };
  }

 protected:
  void SetUp() override {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEhImpExp, &unit_DBGridEh});
    form_ = TForm::CreateNew(nullptr);
    db_ = fbtest::ConnectFIBDatabase(form_, file_->Path());
  }
  void TearDown() override {
    if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    delete form_;
  }
  TCustomDBGridEh* GridOn(const String& Table) {
    auto* ds = new TpFIBDataSet(form_);
    ds->SetDatabase(db_);
    ds->SelectSQL()->SetText("select * from " + Table + " order by ID");
    ds->InsertSQL()->SetText("insert into " + Table +
                             " values (?ID, ?N, ?NUM, ?BIG, ?D, ?TS, ?C1, ?C10, ?V)");
    ds->SetAutoCommit(true);
    auto* src = new TDataSource(form_);
    src->SetDataSet(ds);
    auto* grid = new TCustomDBGridEh(form_);
    grid->SetParent(form_);
    grid->SetDataSource(src);
    ds->Open();
    return grid;
  }

  TForm* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
};

TEST_F(ImportFirebirdTest, VclDbifRoundTripOfMixedTypes) {
  TCustomDBGridEh* from = GridOn("SRC");
  TMemoryStream data;
  DBGridEhExportToStream(&CreateDBGridEhExport<TDBGridEhExportAsVCLDBIF>, from, &data, true);
  TCustomDBGridEh* to = GridOn("DST");
  to->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh});
  data.SetPosition(0);
  DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsVCLDBIF>, to, &data, true);

  EXPECT_EQ(file_->QueryValue("select count(*) from DST"), "1000");
  EXPECT_EQ(file_->QueryValue("select count(*) from SRC s full join DST d on d.ID = s.ID where "
                              "s.N is distinct from d.N or s.NUM is distinct from d.NUM or "
                              "s.BIG is distinct from d.BIG or s.D is distinct from d.D or "
                              "s.TS is distinct from d.TS or s.C1 is distinct from d.C1 or "
                              "s.C10 is distinct from d.C10 or s.V is distinct from d.V or "
                              "s.ID is null or d.ID is null"),
            "0");
  EXPECT_EQ(file_->QueryValue("select count(*) from DST where V is null"), "125");
  EXPECT_EQ(file_->QueryValue("select V from DST where ID = 1"), "Тест \"1\" ёлка\tтаб");
}

}  // namespace
