// TpFIBDataSet: applying cached updates, EXECUTE BLOCK batches.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::InternalApplyUpdates(bool) {}
void TpFIBDataSet::CommitUpdates() {}
void TpFIBDataSet::ClearUpdateMarks() {}
std::optional<String> TpFIBDataSet::BatchStatement(TUpdateKind) { return std::nullopt; }
bool TpFIBDataSet::FieldValueLiteral(TField*, bool, String&) { return false; }
void TpFIBDataSet::ApplyAfterAutoCommit() {}
