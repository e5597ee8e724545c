// Shared set-up of the data-aware control tests: the unit, a form and an
// in-memory dataset behind a data source (the test adds fields and rows).
#pragma once

#include <memory>

#include "grid/toolkit/DBCtrlsEh.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/MemDataSet.h"

class DBCtrlsTest : public ToolkitTest {
 protected:
  static void SetUpTestSuite() {
    ToolkitTest::SetUpTestSuite();
    InitializeUnits({&unit_DBCtrlsEh});
  }
  void SetUp() override {
    ToolkitTest::SetUp();
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 150);
    ds_ = new TMemDataSet(form_.get());
    src_ = new TDataSource(form_.get());
    src_->SetDataSet(ds_);
  }
  void TearDown() override {
    form_.reset();
    ToolkitTest::TearDown();
  }
  void ShowAndFocus(TWinControl* c) { ::ShowAndFocus(form_.get(), c); }

  std::unique_ptr<TForm> form_;
  TMemDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
};
