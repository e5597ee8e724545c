// TpFIBDataSet: generator values and default values of new records.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::ApplyGeneratorValue() {}
void TpFIBDataSet::DoApplyDefaultValue(TField*, bool& Applied) { Applied = false; }
void TpFIBDataSet::FillParamsToFieldsLinks(TStrings*) {}
void TpFIBDataSet::DoOnNewRecord() { TFIBDataSet::DoOnNewRecord(); }
void TpFIBDataSet::ResetLinkedParams() {}
void TpFIBDataSet::FreeLinkedParams() {}
void TpFIBDataSet::ReleaseGeneratorQuery() {}
