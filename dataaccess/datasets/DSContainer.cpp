// Dataset containers.
#include "dataaccess/datasets/DSContainer.h"

// PLACEHOLDER: replaced by the owner of this file.
TDataSetsContainer::TDataSetsContainer(TComponent* AOwner) : TComponent(AOwner) {}
TDataSetsContainer::~TDataSetsContainer() = default;
void TDataSetsContainer::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
}
TDataSetsContainer* TDataSetsContainer::GlobalContainer() { return nullptr; }
void TDataSetsContainer::DataSetEvent(TDataSet*, TKindDataSetEvent) {}
void TDataSetsContainer::DataSetError(TDataSet*, TKindDataSetError, EDatabaseError*, TDataAction&) {}
void TDataSetsContainer::ApplyDefaultValue(TDataSet*, TField*, bool&) {}
void TDataSetsContainer::ApplyFieldRepository(TDataSet*, TField*, TpFIBFieldInfo*) {}
bool TDataSetsContainer::CompareFieldValues(TField*, const Variant&, const Variant&, Integer&) { return false; }
void TDataSetsContainer::AddDataSet(TDataSet*) {}
void TDataSetsContainer::RemoveDataSet(TDataSet*) {}
void TDataSetsContainer::SetMasterContainer(TDataSetsContainer* Value) { master_ = Value; }
void TDataSetsContainer::SetIsGlobalContainer(bool Value) { is_global_ = Value; }

namespace {
constexpr const TUnit* kUses[] = {&unit_DB};
}  // namespace

constinit const TUnit unit_DSContainer("DSContainer", kUses, nullptr, nullptr);
