// A grid on a TpFIBDataSet of the suite's temporary database: the GUI and
// grid units, a form, an attachment, the dataset with its select, a data
// source and the grid (of class G) with a window.
#pragma once

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "tests/support/fb/FIBSuiteFixture.h"

template <class Derived, class G = TCustomDBGridEh>
class TGridFirebirdTest : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  void SetUpGrid(const String& SelectSQL) {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(50, 50, 500, 300);
    db_ = fbtest::ConnectFIBDatabase(form_, this->file_->Path());
    ds_ = new TpFIBDataSet(form_);
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText(SelectSQL);
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
    grid_ = new G(form_);
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
  G* grid_ = nullptr;
};
