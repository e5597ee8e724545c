// TpFIBDataSet: posting and deleting on the server with update objects.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
bool TpFIBDataSet::HasActiveUpdateObject(TUpdateKind) { return false; }
void TpFIBDataSet::ExecUpdateObjects(TUpdateKind, TRecordBuffer, TFIBOrderExecUO) {}
void TpFIBDataSet::DoPostRecord(TFIBQuery*, TRecordBuffer) {}
