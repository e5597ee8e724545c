// TpFIBDataSet: applying cached updates, EXECUTE BLOCK batches.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::ApplyAfterAutoCommit() {}
