// An in-memory dataset with a master data source published as
// "MasterSource", registered while a test needs it.
#pragma once

#include "platform/rtl/TypInfo.h"
#include "tests/support/MemDataSet.h"

class TDetailMemDataSet : public TMemDataSet {
 public:
  using TMemDataSet::TMemDataSet;
  TDataSource* MasterSource() const { return master_; }
  void SetMasterSource(TDataSource* Value) { master_ = Value; }

 private:
  TDataSource* master_ = nullptr;
};

// Registers the class for the life of the object.
class TDetailMemDataSetClass {
 public:
  TDetailMemDataSetClass() {
    RegisterClass<TDetailMemDataSet, TDataSet>("TDetailMemDataSet")
        .Prop("MasterSource", &TDetailMemDataSet::MasterSource, &TDetailMemDataSet::SetMasterSource);
  }
  ~TDetailMemDataSetClass() { UnregisterClass("TDetailMemDataSet"); }
  TDetailMemDataSetClass(const TDetailMemDataSetClass&) = delete;
  TDetailMemDataSetClass& operator=(const TDetailMemDataSetClass&) = delete;
};
