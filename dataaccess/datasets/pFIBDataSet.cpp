// TpFIBDataSet: the dataset definition from the repository.
#include "dataaccess/datasets/pFIBDataSet.h"

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataInfo.h"

using fibdataset_internal::TScreenCursorGuard;

void TpFIBDataSet::SetDataSet_ID(Integer Value) {
  if (Value == data_set_id_) return;
  CheckDatasetClosed(" change DataSetID ");
  data_set_id_ = Value;
  UnPrepare();
  if (Value != 0) SetPrepareOptions(PrepareOptions() + TpPrepareOptions{psApplyRepositary});
}

void TpFIBDataSet::Prepare() {
  TScreenCursorGuard cursor(SQLScreenCursor());
  Base()->CheckDatabase();
  PrepareTransaction();
  Base()->CheckTransaction();
  if (PrepareOptions().Contains(psApplyRepositary) && data_set_id_ != applied_id_) {
    const bool conditionsApplied = Conditions()->Applied();
    applied_id_ = 0;
    if (TpDataSetInfoCollect* infos = ListDataSetInfo()) {
      infos->LoadDataSetInfo(this);
      applied_id_ = data_set_id_;
    }
    if (conditionsApplied && !Conditions()->Applied()) Conditions()->Apply();
  }
  TFIBDataSet::Prepare();
}

namespace {

void InitPFIBDataSet() {
  RegisterClass<TpFIBDataSet, TFIBDataSet>("TpFIBDataSet")
      .Prop("DataSet_ID", &TpFIBDataSet::DataSet_ID, &TpFIBDataSet::SetDataSet_ID, 0)
      .Prop("Description", &TpFIBDataSet::Description, &TpFIBDataSet::SetDescription);
}

constexpr const TUnit* kUses[] = {&unit_FIBDataSet, &unit_pFIBDataInfo};

}  // namespace

constinit const TUnit unit_pFIBDataSet("pFIBDataSet", kUses, InitPFIBDataSet, nullptr);
