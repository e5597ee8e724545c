// A grid of class GridT on a form over a TpFIBDataSet of the suite's
// embedded database (auto-committed, with its select and update SQL), for
// suites deriving from fbtest::TFIBSuiteTest.
#pragma once

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "tests/support/fb/FIBSuiteFixture.h"

template <class Derived, class GridT>
class TFIBGridTest : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  void SetUpGrid(const String& SelectSQL, const String& UpdateSQL) {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(50, 50, 500, 300);
    db_ = fbtest::ConnectFIBDatabase(form_, this->file_->Path());
    ds_ = new TpFIBDataSet(form_);
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText(SelectSQL);
    ds_->UpdateSQL()->SetText(UpdateSQL);
    ds_->SetAutoCommit(true);
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
    grid_ = new GridT(form_);
    grid_->SetBounds(0, 0, 400, 200);
    grid_->SetParent(form_);
    grid_->SetDataSource(src_);
    grid_->Handle();
  }
  void TearDown() override {
    if (db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    delete form_;
  }

  TForm* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
  GridT* grid_ = nullptr;
};
