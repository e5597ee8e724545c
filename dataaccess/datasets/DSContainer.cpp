// Dataset containers.
#include "dataaccess/datasets/DSContainer.h"

#include <algorithm>

namespace {

// The calling thread's global container.
thread_local TDataSetsContainer* tls_global_container = nullptr;

}  // namespace

TDataSetsContainer::TDataSetsContainer(TComponent* AOwner) : TComponent(AOwner) {}

TDataSetsContainer::~TDataSetsContainer() {
  if (tls_global_container == this) tls_global_container = nullptr;
  // The datasets no longer report through this container, so neither do they
  // through its masters.
  SetMasterContainer(nullptr);
}

void TDataSetsContainer::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  std::erase_if(data_sets_, [AComponent](TDataSet* ds) { return ds == AComponent; });
  if (AComponent == master_) master_ = nullptr;
}

TDataSetsContainer* TDataSetsContainer::GlobalContainer() { return tls_global_container; }

void TDataSetsContainer::DataSetEvent(TDataSet* DataSet, TKindDataSetEvent Event) {
  if (master_ != nullptr) master_->DataSetEvent(DataSet, Event);
  if (active_ && on_data_set_event_.Assigned()) on_data_set_event_(DataSet, Event);
}

void TDataSetsContainer::DataSetError(TDataSet* DataSet, TKindDataSetError Event, EDatabaseError* E,
                                      TDataAction& Action) {
  if (master_ != nullptr) master_->DataSetError(DataSet, Event, E, Action);
  if (active_ && on_data_set_error_.Assigned()) on_data_set_error_(DataSet, Event, E, Action);
}

void TDataSetsContainer::ApplyDefaultValue(TDataSet* DataSet, TField* Field, bool& Applied) {
  if (master_ != nullptr) master_->ApplyDefaultValue(DataSet, Field, Applied);
  if (active_ && on_apply_default_value_.Assigned()) on_apply_default_value_(DataSet, Field, Applied);
}

void TDataSetsContainer::ApplyFieldRepository(TDataSet* DataSet, TField* Field, TpFIBFieldInfo* FieldInfo) {
  if (master_ != nullptr) master_->ApplyFieldRepository(DataSet, Field, FieldInfo);
  if (active_ && on_apply_field_repository_.Assigned()) on_apply_field_repository_(DataSet, Field, FieldInfo);
}

bool TDataSetsContainer::CompareFieldValues(TField* Field, const Variant& S1, const Variant& S2, Integer& Result) {
  if (!on_compare_field_values_.Assigned()) return false;
  bool compared = false;
  Result = on_compare_field_values_(Field, S1, S2, compared);
  return compared;
}

void TDataSetsContainer::AddDataSet(TDataSet* DataSet) {
  if (DataSet == nullptr) return;
  if (std::find(data_sets_.begin(), data_sets_.end(), DataSet) == data_sets_.end()) {
    data_sets_.push_back(DataSet);
    FreeNotification(DataSet);
  }
  if (master_ != nullptr) master_->AddDataSet(DataSet);
}

void TDataSetsContainer::RemoveDataSet(TDataSet* DataSet) {
  if (DataSet == nullptr) return;
  if (std::erase(data_sets_, DataSet) > 0) RemoveFreeNotification(DataSet);
  if (master_ != nullptr) master_->RemoveDataSet(DataSet);
}

void TDataSetsContainer::SetMasterContainer(TDataSetsContainer* Value) {
  for (TDataSetsContainer* c = Value; c != nullptr; c = c->master_)
    if (c == this) throw Exception("Circular link is not allowed.");
  if (Value == master_) return;
  if (master_ != nullptr) {
    for (TDataSet* ds : data_sets_) master_->RemoveDataSet(ds);
    RemoveFreeNotification(master_);
  }
  master_ = Value;
  if (master_ != nullptr) {
    FreeNotification(master_);
    for (TDataSet* ds : data_sets_) master_->AddDataSet(ds);
  }
}

void TDataSetsContainer::SetIsGlobalContainer(bool Value) {
  is_global_ = Value;
  if (IsDesigning()) return;
  if (Value) {
    if (tls_global_container != nullptr && tls_global_container != this) tls_global_container->is_global_ = false;
    tls_global_container = this;
  } else if (tls_global_container == this) {
    tls_global_container = nullptr;
  }
}

namespace {

void InitDSContainer() {
  using C = TDataSetsContainer;
  RegisterClass<C, TComponent>("TDataSetsContainer")
      .Prop("Active", &C::Active, &C::SetActive, true)
      .Prop("MasterContainer", &C::MasterContainer, &C::SetMasterContainer)
      .Event("OnDataSetEvent", &C::OnDataSetEvent, &C::SetOnDataSetEvent)
      .Event("OnApplyDefaultValue", &C::OnApplyDefaultValue, &C::SetOnApplyDefaultValue)
      .Event("OnApplyFieldRepository", &C::OnApplyFieldRepository, &C::SetOnApplyFieldRepository)
      .Event("OnDataSetError", &C::OnDataSetError, &C::SetOnDataSetError)
      .Event("OnCompareFieldValues", &C::OnCompareFieldValues, &C::SetOnCompareFieldValues)
      .Prop("IsGlobalContainer", &C::IsGlobalContainer, &C::SetIsGlobalContainer, false);
}

constexpr const TUnit* kUses[] = {&unit_DB};

}  // namespace

constinit const TUnit unit_DSContainer("DSContainer", kUses, InitDSContainer, nullptr);
