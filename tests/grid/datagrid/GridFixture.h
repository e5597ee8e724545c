// Shared set-up of the data grid's tests: the GUI and grid units, a form,
// and an in-memory dataset (ID, NAME, AMOUNT, FLAG, CODE) behind a data
// source.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "grid/datagrid/DBGridEh.h"
#include "tests/platform/gui/GuiFixture.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/MemDataSet.h"

// A grid that records, in order, what its data link tells it.
class TRecordingGrid : public TCustomDBGridEh {
 public:
  using TCustomDBGridEh::TCustomDBGridEh;
  std::vector<String> calls;
  std::function<void()> on_update_data;
  void LinkActive(bool Value) override {
    calls.push_back(Value ? "LinkActive(1)" : "LinkActive(0)");
    TCustomDBGridEh::LinkActive(Value);
  }
  void DataChanged() override {
    calls.push_back("DataChanged");
    TCustomDBGridEh::DataChanged();
  }
  void Scroll(int Distance) override {
    calls.push_back("Scroll(" + IntToStr(Distance) + ")");
    TCustomDBGridEh::Scroll(Distance);
  }
  void EditingChanged() override {
    calls.push_back("EditingChanged");
    TCustomDBGridEh::EditingChanged();
  }
  void RecordChanged(TField* Field) override {
    calls.push_back("RecordChanged(" + (Field ? Field->FieldName() : String("nil")) + ")");
    TCustomDBGridEh::RecordChanged(Field);
  }
  void UpdateData() override {
    calls.push_back("UpdateData");
    if (on_update_data) on_update_data();
  }
  void LayoutChanged() override {
    calls.push_back("LayoutChanged");
    TCustomDBGridEh::LayoutChanged();
  }
};

class GridTestBase : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_DBGridEh});
  }
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(50, 50, 500, 300);
    ds_ = new TMemDataSet(form_);
    ds_->FieldDefs()->Add("ID", ftInteger);
    ds_->FieldDefs()->Add("NAME", ftString, 20);
    ds_->FieldDefs()->Add("AMOUNT", ftFloat);
    ds_->FieldDefs()->Add("FLAG", ftBoolean);
    ds_->FieldDefs()->Add("CODE", ftString, 5);
    src_ = new TDataSource(form_);
    src_->SetDataSet(ds_);
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  void OpenRows() {
    ds_->Open();
    ds_->AppendRows({{1, "one", 10.5, true, "Y"}, {2, "two", 20.25, false, "n"}, {3, "three", Null(), Null(), "x"}});
    ds_->First();
  }
  // A grid on the form (owned by it).
  TCustomDBGridEh* NewGrid(bool WithSource = true) {
    auto* g = new TCustomDBGridEh(form_);
    g->SetBounds(0, 0, 400, 200);
    g->SetParent(form_);
    if (WithSource) g->SetDataSource(src_);
    return g;
  }

  TForm* form_ = nullptr;
  TMemDataSet* ds_ = nullptr;
  TDataSource* src_ = nullptr;
};
