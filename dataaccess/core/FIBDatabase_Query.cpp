// Query helpers of the database: single values and first rows, generator
// values, the server time, and parameters filled from other SQL objects.
#include <algorithm>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "platform/rtl/SysUtils.h"

namespace {

// A statement of the cache for Transaction; client error 21 when the
// transaction has no database to take it from.
TFIBQuery* CachedQuery(TFIBTransaction* Transaction, const String& SQL, TFIBDatabase* Database) {
  TFIBQuery* query = GetQueryForUse(Transaction, SQL);
  if (query == nullptr)
    RaiseClientError(fceDatabaseNotAssigned,
                     {CmpFullName(Transaction != nullptr ? static_cast<TComponent*>(Transaction) : Database)});
  return query;
}

// Frees a statement taken from the cache instead of handing it back.
void FreeCachedQuery(TFIBQuery* Query) {
  if (TCacheList* list = CacheList()) list->FreeQuery(Query);
  else delete Query;
}

// Hands the statement back to the cache when it goes out of scope.
class THandBack {
 public:
  explicit THandBack(TFIBQuery* Query) : query_(Query) {}
  ~THandBack() { FreeQueryForUse(query_); }
  THandBack(const THandBack&) = delete;
  THandBack& operator=(const THandBack&) = delete;

 private:
  TFIBQuery* query_;
};

// A column as the helpers give it: BLOB columns as their text.
Variant ColumnValue(TFIBXSQLVAR* Column) {
  if (Column->SQLType() == SQL_BLOB) return Column->IsNull() ? Null() : Variant(Column->ReadBlobText());
  return Column->AsVariant();
}

}  // namespace

Variant TFIBDatabase::QueryValues(const String& SQL, Integer FieldIndex, std::span<const Variant> ParamValues,
                                  TFIBTransaction* Transaction, bool KeepPrepared) {
  Variant result = false;
  TFIBQuery* query = CachedQuery(Transaction != nullptr ? Transaction : internal_transaction_, SQL, this);
  bool keep = false;
  try {
    const Integer last = std::min(static_cast<Integer>(ParamValues.size()) - 1, query->ParamCount() - 1);
    keep = KeepPrepared && (last >= 0 || FieldIndex < 0);
    if (!query->Transaction()->Active()) query->Transaction()->StartTransaction();
    for (Integer i = 0; i <= last; ++i) {
      const Variant& value = ParamValues[static_cast<size_t>(i)];
      if (!VarIsEmpty(value)) query->SetParamValue(i, value);
    }
    query->ExecQuery();
    const Integer count = query->FieldCount();
    if (count > 0) {
      if (FieldIndex >= 0) {
        result = ColumnValue(query->Fields(FieldIndex));
      } else {
        result = VarArrayCreate({0, count - 1}, varVariant);
        for (Integer i = 0; i < count; ++i) VarArrayPut(result, ColumnValue(query->Fields(i)), i);
      }
    }
  } catch (...) {
    TFIBTransaction* tr = query->Transaction();
    if (tr != nullptr && tr->Active()) {
      try {
        tr->Rollback();
      } catch (...) {
        // The first failure is the one to report.
      }
    }
    FreeCachedQuery(query);
    throw;
  }
  try {
    if (Transaction == nullptr && internal_transaction_ != nullptr && internal_transaction_->Active())
      internal_transaction_->Commit();
  } catch (...) {
    FreeCachedQuery(query);
    throw;
  }
  if (keep) FreeQueryForUse(query);
  else FreeCachedQuery(query);
  return result;
}

Variant TFIBDatabase::QueryValue(const String& SQL, Integer FieldIndex, TFIBTransaction* Transaction,
                                 bool KeepPrepared) {
  const Variant params[] = {Variant(0)};
  return QueryValues(SQL, FieldIndex, params, Transaction, KeepPrepared);
}

TDateTime TFIBDatabase::QueryServerTime() {
  CheckActive();
  const char* sql = sql_dialect_ >= 2 ? "SELECT CAST('NOW' AS TIMESTAMP) from RDB$DATABASE"
                                      : "SELECT CAST('NOW' AS DATE) from RDB$DATABASE";
  return VarToDateTime(QueryValue(sql, 0, nullptr, true));
}

String TFIBDatabase::GeneratorSQL(const String& Name, Int64 Step) const {
  return "select gen_id(" + IdentifierForm(Name, sql_dialect_, UseUpperNames()) + ", " + IntToStr(Step) + ") from RDB$DATABASE";
}

Int64 TFIBDatabase::GeneratorValue(const String& Name, TFIBTransaction* Transaction, Int64 Step) {
  TFIBTransaction* tr = FirstActiveTransaction();
  if (tr == nullptr) tr = Transaction;
  if (tr == nullptr) tr = internal_transaction_;
  const String sql = GeneratorSQL(Name, Step);
  TFIBQuery* query = CachedQuery(tr, sql, this);
  THandBack handBack(query);
  // A failure leaves a transaction started here active.
  bool started = false;
  if (!query->Transaction()->Active()) {
    query->Transaction()->StartTransaction();
    started = true;
  }
  query->ExecQuery();
  const Int64 value = query->Fields(0)->AsInt64();
  if (started) query->Transaction()->Commit();
  return value;
}

void AssignParamsFromSources(ISQLObject* Target, std::span<ISQLObject* const> Sources) {
  if (Target == nullptr) return;
  const Integer count = Target->ParamCount();
  for (Integer i = 0; i < count; ++i) {
    const String fullName = Target->ParamName(i);
    const bool old = IsOldParamName(fullName);
    const String name = old || IsNewParamName(fullName) ? fullName.substr(4) : fullName;
    for (ISQLObject* source : Sources) {
      if (source == nullptr) continue;
      Integer index = -1;
      if (source->FieldExist(name, index)) Target->SetParamValue(i, source->FieldValueByIndex(index, old));
      else if (source->ParamExist(fullName, index)) Target->SetParamValue(i, source->ParamValueByIndex(index));
    }
  }
}
