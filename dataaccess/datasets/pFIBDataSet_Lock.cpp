// TpFIBDataSet: record locking and the server's record count.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
TLockStatus TpFIBDataSet::LockRecord(bool) { return lsSuccess; }
Integer TpFIBDataSet::GetServerRecordCount() { return 0; }
void TpFIBDataSet::UpdateRecordCount() {}
TDataAction TpFIBDataSet::DoLockError(TLockStatus, String&) { return daFail; }
void TpFIBDataSet::LockBeforeEdit() {}
