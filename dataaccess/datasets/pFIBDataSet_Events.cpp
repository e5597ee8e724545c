// TpFIBDataSet: dataset containers and the event steps.
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/datasets/DBParsers.h"
#include "dataaccess/datasets/pFIBDataSet.h"

// ===========================================================================
// Containers

// The registration asks for the free notification (DSContainer.h).
void TpFIBDataSet::SetContainer(TDataSetsContainer* Value) {
  if (Value == container_) return;
  if (container_ != nullptr) container_->RemoveDataSet(this);
  container_ = Value;
  if (container_ != nullptr) container_->AddDataSet(this);
}

void TpFIBDataSet::NotifyContainers(TKindDataSetEvent Event) {
  EachContainer([&](TDataSetsContainer* c) { c->DataSetEvent(this, Event); });
}

void TpFIBDataSet::ContainersApplyFieldRepository(TField* Field, TpFIBFieldInfo* FieldInfo) {
  EachContainer([&](TDataSetsContainer* c) { c->ApplyFieldRepository(this, Field, FieldInfo); });
  if (on_apply_field_repository_.Assigned()) on_apply_field_repository_(this, Field, FieldInfo);
}

Integer TpFIBDataSet::CompareFieldValues(TField* Field, const Variant& Value1, const Variant& Value2) {
  Integer result = 0;
  bool compared = false;
  // The dataset's own container, asked last, has the last word.
  EachContainer([&](TDataSetsContainer* c) { compared = c->CompareFieldValues(Field, Value1, Value2, result); });
  return compared ? result : TFIBDataSet::CompareFieldValues(Field, Value1, Value2);
}

bool TpFIBDataSet::DefaultFieldComparison() {
  bool handled = false;
  EachContainer([&](TDataSetsContainer* c) { handled = handled || c->OnCompareFieldValues().Assigned(); });
  return !handled && TFIBDataSet::DefaultFieldComparison();
}

// ===========================================================================
// Event steps

void TpFIBDataSet::DoBeforeOpen() {
  PrepareTransaction();
  ResetVisibleRecords();
  NotifyContainers(deBeforeOpen);
  TFIBDataSet::DoBeforeOpen();
}

void TpFIBDataSet::DoAfterOpen() {
  ResetLinkedParams();
  ClearChangedInUpdateTransaction();
  GenerateSQLsAfterOpen();
  NotifyContainers(deAfterOpen);
  // Once per prepare of the select: links edited since stay until it changes.
  if (AutoUpdateOptions()->AutoParamsToFields() && SelectQuery()->PrepareCount() != last_prepare_count_) {
    FillParamsToFieldsLinks(AutoUpdateOptions()->ParamsToFieldsLinks());
    last_prepare_count_ = SelectQuery()->PrepareCount();
  }
  TFIBDataSet::DoAfterOpen();
}

void TpFIBDataSet::DoBeforeClose() {
  if (Filtered())
    if (TExpressionParser* parser = FilterParser()) parser->ClearFieldCache();
  NotifyContainers(deBeforeClose);
  TFIBDataSet::DoBeforeClose();
}

void TpFIBDataSet::DoAfterClose() {
  FreeLinkedParams();
  NotifyContainers(deAfterClose);
  TFIBDataSet::DoAfterClose();
}

void TpFIBDataSet::DoBeforeInsert() {
  // Detail refreshes still waiting for a master to stop run first.
  RunPendingMasterRefresh();
  if (!CanInsert()) Abort();
  NotifyContainers(deBeforeInsert);
  TFIBDataSet::DoBeforeInsert();
}

void TpFIBDataSet::DoAfterInsert() {
  NotifyContainers(deAfterInsert);
  TFIBDataSet::DoAfterInsert();
}

void TpFIBDataSet::DoBeforeEdit() {
  // Before the lock: it is taken on the record the edit will change.
  RunPendingMasterRefresh();
  if (IsEmpty()) Abort();
  if (!CanEdit()) Abort();
  if (Options().Contains(poProtectedEdit)) LockBeforeEdit();
  NotifyContainers(deBeforeEdit);
  TFIBDataSet::DoBeforeEdit();
}

void TpFIBDataSet::DoAfterEdit() {
  NotifyContainers(deAfterEdit);
  TFIBDataSet::DoAfterEdit();
}

void TpFIBDataSet::DoBeforePost() {
  if (State() == dsInsert && AutoUpdateOptions()->WhenGetGenID() == wgBeforePost) ApplyGeneratorValue();
  NotifyContainers(deBeforePost);
  const TDataSetState state = State();
  TFIBDataSet::DoBeforePost();
  if (!CachedUpdates()) RegenerateModifyingSQL(state);
}

void TpFIBDataSet::DoAfterPost() {
  NotifyContainers(deAfterPost);
  if (Options().Contains(poProtectedEdit) && !CachedUpdates() && !AutoCommit())
    if (TRecordBuffer active = ActiveBuffer(); active != nullptr && GetBookmarkFlag(active) == bfCurrent) {
      // Marked until the update transaction ends (ClearUpdateMarks).
      SetCachedStatus(active, cusModified);
      WriteRecordToCache(RecordNumberOf(active), active);
    }
  TFIBDataSet::DoAfterPost();
  if (AutoCommit() && CachedUpdates()) ApplyAfterAutoCommit();
  if (DetailConditions().Contains(dcForceMasterRefresh) && !CachedUpdates()) RefreshMasterDataSet();
}

void TpFIBDataSet::DoBeforeCancel() {
  TFIBDataSet::DoBeforeCancel();
  NotifyContainers(deBeforeCancel);
}

void TpFIBDataSet::DoAfterCancel() {
  NotifyContainers(deAfterCancel);
  TFIBDataSet::DoAfterCancel();
}

void TpFIBDataSet::DoBeforeDelete() {
  if (!CanDelete()) Abort();
  NotifyContainers(deBeforeDelete);
  TFIBDataSet::DoBeforeDelete();
}

void TpFIBDataSet::DoAfterDelete() {
  NotifyContainers(deAfterDelete);
  if (AutoCommit() && CachedUpdates()) ApplyAfterAutoCommit();
  TFIBDataSet::DoAfterDelete();
}

void TpFIBDataSet::DoBeforeScroll() {
  NotifyContainers(deBeforeScroll);
  TFIBDataSet::DoBeforeScroll();
}

void TpFIBDataSet::DoAfterScroll() {
  NotifyContainers(deAfterScroll);
  TFIBDataSet::DoAfterScroll();
}

void TpFIBDataSet::DoOnCalcFields() {
  NotifyContainers(deOnCalcFields);
  TFIBDataSet::DoOnCalcFields();
}

void TpFIBDataSet::DoBeforeRefresh() {
  NotifyContainers(deBeforeRefresh);
  TFIBDataSet::DoBeforeRefresh();
}

void TpFIBDataSet::DoAfterRefresh() {
  NotifyContainers(deAfterRefresh);
  TFIBDataSet::DoAfterRefresh();
}

void TpFIBDataSet::DoAfterEndUpdateTransaction(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  if (Action == TACommit || Action == TACommitRetaining) {
    if (Options().Contains(poProtectedEdit) && !CachedUpdates()) ClearUpdateMarks();
    ClearChangedInUpdateTransaction();
  }
  TFIBDataSet::DoAfterEndUpdateTransaction(EndingTR, Action, Force);
}

// ===========================================================================
// Post and delete errors: the engine's handling, the containers, the
// dataset's own event.

void TpFIBDataSet::PostErrorHandler(TDataSet* /*DataSet*/, EDatabaseError* E, TDataAction& Action) {
  ClearArrayFields();
  EachContainer([&](TDataSetsContainer* c) { c->DataSetError(this, deOnPostError, E, Action); });
  if (on_post_error_.Assigned()) on_post_error_(this, E, Action);
}

void TpFIBDataSet::DeleteErrorHandler(TDataSet* /*DataSet*/, EDatabaseError* E, TDataAction& Action) {
  EachContainer([&](TDataSetsContainer* c) { c->DataSetError(this, deOnDeleteError, E, Action); });
  if (on_delete_error_.Assigned()) on_delete_error_(this, E, Action);
}
