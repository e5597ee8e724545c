// The master/detail link: the detail follows its master's moves at once or,
// with dcWaitEndMasterScroll, once the master has stood still for the
// master-scroll delay.
#include <algorithm>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"

// ===========================================================================
// TFIBDataLink

void TFIBDataLink::ActiveChanged() {
  if (data_set_ == nullptr) return;
  if (Active()) data_set_->MasterChanged();
  else data_set_->MasterDisabled();
}

void TFIBDataLink::RecordChanged(TField* Field) {
  if (Field != nullptr || data_set_ == nullptr || !data_set_->Active()) return;
  if (data_set_->SetParamsFromMaster()) data_set_->MasterChanged();
}

// ===========================================================================
// Detail conditions and the delay timer

TDetailConditions TFIBCustomDataSet::DetailConditions() const {
  TDetailConditions result = detail_conditions_;
  if (master_scroll_timer_ && master_scroll_timer_->Interval() > 0) result.Include(dcWaitEndMasterScroll);
  else result.Exclude(dcWaitEndMasterScroll);
  return result;
}

void TFIBCustomDataSet::SetDetailConditions(TDetailConditions Value) {
  detail_conditions_ = Value;
  if (!Value.Contains(dcWaitEndMasterScroll)) {
    master_scroll_timer_.reset();
    return;
  }
  if (!master_scroll_timer_) {
    master_scroll_timer_ = std::make_unique<TFIBTimer>(nullptr);
    master_scroll_timer_->SetInterval(0);
    master_scroll_timer_->SetEnabled(false);
    master_scroll_timer_->SetOnTimer({this, &TFIBCustomDataSet::DoMasterScrollTimer});
  }
  master_scroll_timer_->SetInterval(static_cast<Cardinal>(std::max(master_scroll_delay_, 0)));
}

void TFIBCustomDataSet::SetMasterScrollDelay(Integer Value) {
  master_scroll_delay_ = Value;
  if (master_scroll_timer_) master_scroll_timer_->SetInterval(static_cast<Cardinal>(std::max(Value, 0)));
}

// ===========================================================================
// Following the master

void TFIBCustomDataSet::MasterChanged() {
  if (master_refresh_disabled_ > 0) return;
  TDataSource* source = DataSource();
  auto* master = source != nullptr ? dynamic_cast<TFIBCustomDataSet*>(source->DataSet()) : nullptr;
  const bool masterWaiting = master != nullptr && master->WaitingEndMasterScroll();
  if (master_scroll_timer_ && master_scroll_timer_->Interval() > 0 && !masterWaiting) {
    const Cardinal interval = master_scroll_timer_->Interval();
    master_scroll_timer_->SetEnabled(false);
    master_scroll_timer_->SetInterval(interval);
    master_scroll_timer_->SetEnabled(true);
    return;
  }
  fibdataset_internal::WithValue(delayed_refresh_, true, [&] { RefreshDetail(); });
}

void TFIBCustomDataSet::DoMasterScrollTimer(TObject* /*Sender*/) {
  fibdataset_internal::WithValue(delayed_refresh_, true, [&] { RefreshDetail(); });
}

void TFIBCustomDataSet::RunPendingMasterRefresh() {
  TDataSource* source = DataSource();
  // SetDataSource refuses circular links: the chain of masters ends.
  if (auto* master = source != nullptr ? dynamic_cast<TFIBCustomDataSet*>(source->DataSet()) : nullptr)
    master->RunPendingMasterRefresh();
  if (master_scroll_timer_ && master_scroll_timer_->Enabled()) DoMasterScrollTimer(this);
}

void TFIBCustomDataSet::RefreshDetail() {
  if (master_scroll_timer_) master_scroll_timer_->SetEnabled(false);
  DisableControls();
  try {
    if (!IsEmptyStrings(SelectSQL()) && (Active() || detail_conditions_.Contains(dcForceOpen))) Reopen(false);
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
  DataEvent(deDataSetChange, 0);
}

void TFIBCustomDataSet::MasterDisabled() {
  if (master_scroll_timer_) master_scroll_timer_->SetEnabled(false);
  if (!detail_conditions_.Contains(dcIgnoreMasterClose) && Active()) Close();
}
