// TpFIBDataSet: generated modifying SQL.
#include "dataaccess/datasets/pFIBDataSet.h"

// PLACEHOLDER: replaced by the owner of this file.
String TpFIBDataSet::GenerateSQL(const String&, const String&, Integer, Integer) { return String(); }
std::optional<String> TpFIBDataSet::GenerateLiteralSQL(Integer, const TSQLLiteralWriter&) { return std::nullopt; }
void TpFIBDataSet::KeyFieldsToList(std::vector<TField*>&, const String&) {}
String TpFIBDataSet::FieldsOfTable(const String&) { return String(); }
String TpFIBDataSet::PrimaryKeyFields(const String&) { return String(); }
void TpFIBDataSet::PrepareAutoSQLs() {}
void TpFIBDataSet::PrepareSeparateBlobUpdate() {}
void TpFIBDataSet::RegenerateModifyingSQL(TDataSetState) {}
void TpFIBDataSet::GetUpdateTableAndAlias(String& Table, String& Alias) {
  Table = AutoUpdateOptions()->TableNameForSQL();
  Alias = AutoUpdateOptions()->TableAlias();
}
String TpFIBDataSet::IdentifierForm(const String& Name, bool) { return Name; }
void TpFIBDataSet::GenerateSQLsAfterOpen() {}
void TpFIBDataSet::GenerateForProtectedEdit() {}
