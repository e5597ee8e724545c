// A grid on a form over a TpFIBDataSet of the suite's embedded database (see
// FIBSuiteFixture.h for the database and its tables).
#pragma once

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/datagrid/DBGridEh.h"
#include "tests/grid/datagrid/GridFixture.h"
#include "tests/support/fb/FIBSuiteFixture.h"

template <class Derived, class Grid = TCustomDBGridEh>
class TGridFirebirdSuite : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  // The units, a form with FormBounds, a connected database, a dataset of
  // Select behind a source, and a grid of GridWidth x GridHeight on the form
  // with its window made.
  void OpenGridForm(const String& Select, const TRect& FormBounds, int GridWidth, int GridHeight) {
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
    Application->Initialize();
    InitializeUnits({&unit_pFIBDataSet, &unit_DBGridEh});
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(FormBounds.Left, FormBounds.Top, FormBounds.Width(), FormBounds.Height());
    db_ = fbtest::ConnectFIBDatabase(form_, this->file_->Path());
    ds_ = new TpFIBDataSet(form_);
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText(Select);
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
    grid_ = new Grid(form_);
    grid_->SetBounds(0, 0, GridWidth, GridHeight);
    grid_->SetParent(form_);
    grid_->SetDataSource(src_);
    grid_->Handle();
  }
  void TearDown() override {
    if (db_ != nullptr && db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    delete form_;
  }

  TForm* form_ = nullptr;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
  Grid* grid_ = nullptr;
};
