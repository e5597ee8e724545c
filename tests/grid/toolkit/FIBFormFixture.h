// Shared set-up of the toolkit's Firebird tests: a form with a connected
// embedded database and an auto-committing dataset on one table, shown
// through a data source.
#pragma once

#include <memory>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "grid/toolkit/DBCtrlsEh.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "tests/support/fb/FIBSuiteFixture.h"

template <class Derived>
class TFIBFormTest : public fbtest::TFIBSuiteTest<Derived> {
 protected:
  static void SetUpTestSuite() {
    fbtest::TFIBSuiteTest<Derived>::SetUpTestSuite();
    InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_pFIBDataSet, &unit_DBCtrlsEh});
    Application->Initialize();
  }
  void OpenForm(const char* SelectSQL, const char* UpdateSQL) {
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 120);
    db_ = fbtest::ConnectFIBDatabase(form_.get(), this->file_->Path());
    ds_ = new TpFIBDataSet(form_.get());
    ds_->SetDatabase(db_);
    ds_->SelectSQL()->SetText(SelectSQL);
    ds_->UpdateSQL()->SetText(UpdateSQL);
    ds_->SetAutoCommit(true);
    src_ = new TDataSource(form_.get());
    src_->SetDataSet(ds_);
  }
  void TearDown() override {
    if (db_ != nullptr && db_->DefaultTransaction()->Active()) db_->DefaultTransaction()->Commit();
    form_.reset();
  }

  std::unique_ptr<TForm> form_;
  TFIBDatabase* db_ = nullptr;
  TpFIBDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
};
