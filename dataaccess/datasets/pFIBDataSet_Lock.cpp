// TpFIBDataSet: record locking and the server's record count.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::LockBeforeEdit() {}
