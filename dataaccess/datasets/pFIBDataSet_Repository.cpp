// TpFIBDataSet: field attributes from the repository.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
String ExpandNumericFormat(const String& Format, Integer) { return Format; }
void TpFIBDataSet::ApplyFieldRepository() {}
void TpFIBDataSet::SetPrepareOptions(TpPrepareOptions Value) { TFIBDataSet::SetPrepareOptions(Value); }
void TpFIBDataSet::InternalOpen() { TFIBDataSet::InternalOpen(); }
