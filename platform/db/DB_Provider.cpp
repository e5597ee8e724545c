// The provider operations of a dataset without SQL (see DB.h).
#include "platform/db/DB.h"
#include "platform/db/DBConsts.h"

WideString TDataSet::PSGetCommandText() { return WideString(); }
void TDataSet::PSSetCommandText(const WideString& /*CommandText*/) {}
WideString TDataSet::PSGetKeyFields() { return WideString(); }
WideString TDataSet::PSGetQuoteChar() { return WideString(); }
WideString TDataSet::PSGetTableName() { return WideString(); }
TParams* TDataSet::PSGetParams() { return nullptr; }
void TDataSet::PSSetParams(TParams* /*AParams*/) {}

void TDataSet::PSExecute() { DatabaseError(SProviderExecuteNotSupported, this); }

Integer TDataSet::PSExecuteStatement(const String& /*ASQL*/, TParams* /*AParams*/, TDataSet** /*ResultSet*/) {
  DatabaseError(SProviderSQLNotSupported, this);
}

std::unique_ptr<EUpdateError> TDataSet::PSGetUpdateException(const Exception& E) {
  const auto* update = dynamic_cast<const EUpdateError*>(&E);
  return std::make_unique<EUpdateError>(E.Message(), update != nullptr ? update->ErrorCode() : 0);
}

bool TDataSet::PSInTransaction() { return false; }
bool TDataSet::PSIsSQLBased() { return false; }
bool TDataSet::PSIsSQLSupported() { return false; }
void TDataSet::PSReset() {}
void TDataSet::PSStartTransaction() {}
void TDataSet::PSEndTransaction(bool /*Commit*/) {}
bool TDataSet::PSUpdateRecord(TUpdateKind /*UpdateKind*/, TDataSet* /*Delta*/) { return false; }
