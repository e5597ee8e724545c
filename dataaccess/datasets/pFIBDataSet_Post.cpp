// TpFIBDataSet: posting and deleting on the server with update objects.
#include <algorithm>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataSet.h"

using fibdataset_internal::IsNoAction;
using fibdataset_internal::IsRunnableSQL;
using fibdataset_internal::WithValue;

// ===========================================================================
// What the dataset may do

bool TpFIBDataSet::CanUpdateKind(TUpdateKind Kind, bool EngineCan) {
  if (!AllowedUpdateKinds().Contains(Kind)) return false;
  if (EngineCan || HasActiveUpdateObject(Kind)) return true;
  TAutoUpdateOptions* options = AutoUpdateOptions();
  if (options->UpdateOnlyModifiedFields() && options->AutoReWriteSqls() && options->CanChangeSQLs() &&
      !options->KeyFields().empty() && !options->UpdateTableName().empty())
    return true;
  return CachedUpdates() && OnUpdateRecord().Assigned();
}

bool TpFIBDataSet::CanEdit() { return CanUpdateKind(ukModify, TFIBDataSet::CanEdit()); }
bool TpFIBDataSet::CanInsert() { return CanUpdateKind(ukInsert, TFIBDataSet::CanInsert()); }
bool TpFIBDataSet::CanDelete() { return CanUpdateKind(ukDelete, TFIBDataSet::CanDelete()); }

// ===========================================================================
// Update-object lists

bool TpFIBDataSet::HasActiveUpdateObject(TUpdateKind Kind) {
  const auto& list = update_objects_[static_cast<int>(Kind)];
  return std::any_of(list.begin(), list.end(), [](TpFIBUpdateObject* o) { return o->Active(); });
}

void TpFIBDataSet::AddUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind, Integer Index) {
  auto& list = update_objects_[static_cast<int>(Kind)];
  list.erase(std::remove(list.begin(), list.end(), Object), list.end());
  const auto at = static_cast<size_t>(std::clamp<Integer>(Index, 0, static_cast<Integer>(list.size())));
  list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), Object);
  for (size_t i = 0; i < list.size(); ++i) list[i]->order_in_list_ = static_cast<Integer>(i);
}

void TpFIBDataSet::RemoveUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind) {
  auto& list = update_objects_[static_cast<int>(Kind)];
  list.erase(std::remove(list.begin(), list.end(), Object), list.end());
  for (size_t i = 0; i < list.size(); ++i) list[i]->order_in_list_ = static_cast<Integer>(i);
}

void TpFIBDataSet::MoveUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind, Integer Index) {
  AddUpdateObject(Object, Kind, Index);
}

// ===========================================================================
// Running statements for a record

bool TpFIBDataSet::ExecForRecord(TFIBQuery* Query, TRecordBuffer Buffer) {
  return ExecStatement(Query, [&] { SetQueryParams(Query, Buffer); });
}

bool TpFIBDataSet::ExecStatement(TFIBQuery* Query, const std::function<void()>& SetParams) {
  if (!IsRunnableSQL(Query->SQL())) return false;
  AutoStartUpdateTransaction();
  SetParams();
  if (Query->Open()) Query->Close();
  if (!Query->Prepared()) PrepareModifyingQuery(Query);
  Query->ExecQuery();
  changed_in_update_tr_ = true;
  return true;
}

void TpFIBDataSet::ExecUpdateObjects(TUpdateKind Kind, TRecordBuffer Buffer, TFIBOrderExecUO Order) {
  ForEachUpdateObject(Kind, Order, [&](TpFIBUpdateObject* Object) { ExecForRecord(Object, Buffer); });
}

void TpFIBDataSet::ForEachUpdateObject(TUpdateKind Kind, TFIBOrderExecUO Order,
                                       const std::function<void(TpFIBUpdateObject*)>& Run) {
  const auto& list = update_objects_[static_cast<int>(Kind)];
  // By index: a handler of a failed object may change the list.
  for (size_t i = 0; i < list.size(); ++i) {
    TpFIBUpdateObject* object = list[i];
    if (object->Active() && object->ExecuteOrder() == Order) Run(object);
  }
}

// ===========================================================================
// Posting and deleting

void TpFIBDataSet::DoPostRecord(TUpdateKind Kind) {
  TRecordBuffer buffer = post_buffer_ != nullptr ? post_buffer_ : ActiveBuffer();
  const bool modified = Modified();
  try {
    DoPostRecord(Kind == ukInsert ? InsertQuery() : UpdateQuery(), buffer);
  } catch (...) {
    // The edit stays pending: CheckBrowseMode posts it rather than cancel.
    SetModified(modified);
    throw;
  }
}

void TpFIBDataSet::DoPostRecord(TFIBQuery* Query, TRecordBuffer Buffer) {
  const TUpdateKind kind = Query == InsertQuery() ? ukInsert : ukModify;
  ExecUpdateObjects(kind, Buffer, oeBeforeDefault);
  CheckDatasetOpen(" continue post ");
  if (ExecForRecord(Query, Buffer)) {
    const TFIBSQLTypes type = Query->SQLType();
    if (type == SQLSelect || type == SQLExecProcedure || type == SQLSelectForUpdate) {
      // The row the statement returned goes into the record; a procedure
      // is not run a second time for it.
      WriteRecordToCache(RecordNumberOf(Buffer), Buffer);
      RefreshRecord(Query, Buffer, false);
    }
  }
  // The BLOB columns are written after the row exists.
  if (TpFIBUpdateObject* blobs = BlobUpdateObject()) blobs->SetKindUpdate(kind);
  ExecUpdateObjects(kind, Buffer, oeAfterDefault);
  SetCachedStatus(Buffer, cusUnmodified);
  SetModified(false);
  WriteRecordToCache(RecordNumberOf(Buffer), Buffer);
  if (!CachedUpdates()) AutoCommitUpdateTransaction();
  if (Options().Contains(poRefreshAfterPost) && CacheModelOptions()->CacheModelKind() == cmkStandard &&
      IsRunnableSQL(RefreshSQL())) {
    DoBeforeRefresh();
    WithValue(refreshing_, true, [&] { RefreshRecord(RefreshQuery(), Buffer); });
    DoAfterRefresh();
  }
  FinalizeBlobStreams(Buffer, bsaRelease, nullptr);
}

void TpFIBDataSet::InternalDeleteRecord(TFIBQuery* Query, TRecordBuffer Buffer) {
  if (IsNoAction(Query->SQL())) return;
  AutoStartUpdateTransaction();
  ExecUpdateObjects(ukDelete, Buffer, oeBeforeDefault);
  if (ExecForRecord(Query, Buffer) && Query->Open()) {
    Query->FetchNext();
    Query->Close();
  }
  ExecUpdateObjects(ukDelete, Buffer, oeAfterDefault);
  MarkRecordDeleted(Buffer);
  if (!CachedUpdates()) AutoCommitUpdateTransaction();
}
