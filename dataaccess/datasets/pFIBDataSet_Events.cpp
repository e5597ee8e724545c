// TpFIBDataSet: dataset containers and the event steps.
#include "dataaccess/datasets/DBParsers.h"
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
void TpFIBDataSet::SetContainer(TDataSetsContainer* Value) { container_ = Value; }
void TpFIBDataSet::NotifyContainers(TKindDataSetEvent) {}
void TpFIBDataSet::ContainersApplyFieldRepository(TField*, TpFIBFieldInfo*) {}
Integer TpFIBDataSet::CompareFieldValues(TField* Field, const Variant& Value1, const Variant& Value2) {
  return TFIBDataSet::CompareFieldValues(Field, Value1, Value2);
}
bool TpFIBDataSet::DefaultFieldComparison() { return TFIBDataSet::DefaultFieldComparison(); }
void TpFIBDataSet::DoBeforeOpen() {
  ResetVisibleRecords();
  TFIBDataSet::DoBeforeOpen();
}
void TpFIBDataSet::DoAfterOpen() { TFIBDataSet::DoAfterOpen(); }
void TpFIBDataSet::DoBeforeClose() {
  if (Filtered())
    if (TExpressionParser* parser = FilterParser()) parser->ClearFieldCache();
  TFIBDataSet::DoBeforeClose();
}
void TpFIBDataSet::DoAfterClose() { TFIBDataSet::DoAfterClose(); }
void TpFIBDataSet::DoBeforeInsert() { TFIBDataSet::DoBeforeInsert(); }
void TpFIBDataSet::DoAfterInsert() { TFIBDataSet::DoAfterInsert(); }
void TpFIBDataSet::DoBeforeEdit() { TFIBDataSet::DoBeforeEdit(); }
void TpFIBDataSet::DoAfterEdit() { TFIBDataSet::DoAfterEdit(); }
void TpFIBDataSet::DoBeforePost() { TFIBDataSet::DoBeforePost(); }
void TpFIBDataSet::DoAfterPost() { TFIBDataSet::DoAfterPost(); }
void TpFIBDataSet::DoBeforeCancel() { TFIBDataSet::DoBeforeCancel(); }
void TpFIBDataSet::DoAfterCancel() { TFIBDataSet::DoAfterCancel(); }
void TpFIBDataSet::DoBeforeDelete() { TFIBDataSet::DoBeforeDelete(); }
void TpFIBDataSet::DoAfterDelete() { TFIBDataSet::DoAfterDelete(); }
void TpFIBDataSet::DoBeforeScroll() { TFIBDataSet::DoBeforeScroll(); }
void TpFIBDataSet::DoAfterScroll() { TFIBDataSet::DoAfterScroll(); }
void TpFIBDataSet::DoOnCalcFields() { TFIBDataSet::DoOnCalcFields(); }
void TpFIBDataSet::DoBeforeRefresh() { TFIBDataSet::DoBeforeRefresh(); }
void TpFIBDataSet::DoAfterRefresh() { TFIBDataSet::DoAfterRefresh(); }
void TpFIBDataSet::DoAfterEndUpdateTransaction(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) {
  TFIBDataSet::DoAfterEndUpdateTransaction(EndingTR, Action, Force);
}
void TpFIBDataSet::PostErrorHandler(TDataSet*, EDatabaseError*, TDataAction&) {}
void TpFIBDataSet::DeleteErrorHandler(TDataSet*, EDatabaseError*, TDataAction&) {}
