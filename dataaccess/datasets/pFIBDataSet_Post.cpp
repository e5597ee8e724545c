// TpFIBDataSet: posting and deleting on the server with update objects.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
bool TpFIBDataSet::CanEdit() { return TFIBDataSet::CanEdit(); }
bool TpFIBDataSet::CanInsert() { return TFIBDataSet::CanInsert(); }
bool TpFIBDataSet::CanDelete() { return TFIBDataSet::CanDelete(); }
bool TpFIBDataSet::HasActiveUpdateObject(TUpdateKind) { return false; }
void TpFIBDataSet::ExecUpdateObjects(TUpdateKind, TRecordBuffer, TFIBOrderExecUO) {}
void TpFIBDataSet::DoPostRecord(TFIBQuery*, TRecordBuffer) {}
void TpFIBDataSet::DoPostRecord(TUpdateKind Kind) { TFIBDataSet::DoPostRecord(Kind); }
void TpFIBDataSet::InternalDeleteRecord(TFIBQuery* Query, TRecordBuffer Buffer) {
  TFIBDataSet::InternalDeleteRecord(Query, Buffer);
}
void TpFIBDataSet::AddUpdateObject(TpFIBUpdateObject*, TUpdateKind, Integer) {}
void TpFIBDataSet::RemoveUpdateObject(TpFIBUpdateObject*, TUpdateKind) {}
void TpFIBDataSet::MoveUpdateObject(TpFIBUpdateObject*, TUpdateKind, Integer) {}
