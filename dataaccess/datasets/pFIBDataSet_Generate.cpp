// TpFIBDataSet: generated modifying SQL.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
String TpFIBDataSet::GenerateSQLText(const String&, const String&, Integer, Integer, const TSQLLiteralWriter&) {
  return String();
}
void TpFIBDataSet::RegenerateModifyingSQL(TDataSetState) {}
void TpFIBDataSet::GetUpdateTableAndAlias(String& Table, String& Alias) {
  Table = AutoUpdateOptions()->TableNameForSQL();
  Alias = AutoUpdateOptions()->TableAlias();
}
void TpFIBDataSet::GenerateSQLsAfterOpen() {}
void TpFIBDataSet::GenerateForProtectedEdit() {}
