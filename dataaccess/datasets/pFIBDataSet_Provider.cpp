// TpFIBDataSet: the provider operations.
#include <memory>
#include <vector>

#include "dataaccess/core/SqlTxtRtns.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

// The parameter type of a select parameter of SQL type Type and Scale.
TFieldType ProviderParamType(Integer Type, Integer Scale) {
  // A scaled integer holds decimals.
  if ((Type == SQL_SHORT || Type == SQL_LONG || Type == SQL_INT64) && Scale < 0)
    return Scale >= -3 ? ftFloat : ftBCD;
  switch (Type) {
    case SQL_SHORT:
      return ftSmallint;
    case SQL_LONG:
      return ftInteger;
    case SQL_INT64:
      return ftLargeint;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return ftFloat;
    case SQL_TIMESTAMP:
      return ftDateTime;
    case SQL_TYPE_DATE:
      return ftDate;
    case SQL_TYPE_TIME:
      return ftTime;
    case SQL_BLOB:
    case SQL_ARRAY:
      return ftBlob;
    default:
      return ftString;
  }
}

// AParams' values, in order, into Query's plain "?" markers (the query
// names them "?1", "?2", ...); NULL where AParams has none (a cached
// statement keeps no value of a former run).
void AssignPositionalParams(TFIBQuery* Query, TParams* AParams) {
  for (int i = 0;; ++i) {
    TFIBXSQLVAR* param = Query->FindParam("?" + IntToStr(i + 1));
    if (param == nullptr) return;
    if (AParams != nullptr && i < AParams->Count()) param->SetAsVariant(AParams->Items(i)->Value());
    else param->SetIsNull(true);
  }
}

bool SelectType(TFIBSQLTypes Type) { return Type == SQLSelect || Type == SQLSelectForUpdate; }

// One value of a delta's field in the form its parameter takes.
class TDeltaValue {
 public:
  // Value of Field (BCD and GUID fields converted); Owner names the error
  // of a BCD value without a 64-bit scaled form.
  TDeltaValue(TComponent* Owner, TField* Field, const Variant& Value) {
    if (VarIsNull(Value) || VarIsEmpty(Value)) return;
    const TFieldType type = Field->DataType();
    if (type == ftBCD || type == ftFMTBcd) {
      bcd_ = VarToBcd(Value);
      Int64 scaled;
      int scale;
      if (!BcdToInt64(bcd_, scaled, scale))
        DatabaseErrorFmt("Value %s of field '%s' does not fit a 64-bit scaled integer",
                         {BcdToStrDot(bcd_), Field->FieldName()}, Owner);
      kind_ = kBcd;
    } else if (type == ftGuid) {
      const String text = VarToStr(Value);
      if (text.empty()) return;
      guid_ = StringToGUID(text);
      kind_ = kGuid;
    } else {
      plain_ = Value;
      kind_ = kPlain;
    }
  }
  explicit TDeltaValue(Int64 Value) : plain_(static_cast<long long>(Value)), kind_(kPlain) {}

  void AssignTo(TFIBXSQLVAR* Param) const {
    switch (kind_) {
      case kNull:
        Param->SetIsNull(true);
        break;
      case kPlain:
        Param->SetAsVariant(plain_);
        break;
      case kBcd:
        Param->SetAsBcd(bcd_);
        break;
      case kGuid:
        Param->SetAsGuid(guid_);
        break;
    }
  }

 private:

  enum TKind { kNull, kPlain, kBcd, kGuid };
  Variant plain_;
  TBcd bcd_{};
  TGUID guid_{};
  TKind kind_ = kNull;
};

// The parameter values of the current record of a delta, by parameter name.
class TDeltaParams {
 public:
  void Add(const String& FieldName, TDeltaValue Old, TDeltaValue New) {
    entries_.push_back({FieldName, std::move(Old), std::move(New)});
  }
  // Query's parameters that name a field: OLD_ names its old value, NEW_
  // and plain names its new one; the others stay as they are.
  void AssignTo(TFIBQuery* Query) const {
    TFIBXSQLDA* params = Query->Params();
    for (Integer i = 0; i < params->Count(); ++i) {
      TFIBXSQLVAR* param = params->Vars(i);
      String name = param->Name();
      const bool old = IsOldParamName(name);
      if (old || IsNewParamName(name)) name = name.substr(4);
      for (const TEntry& e : entries_)
        if (SameText(e.FieldName, name)) {
          (old ? e.Old : e.New).AssignTo(param);
          break;
        }
    }
  }

 private:
  struct TEntry {
    String FieldName;
    TDeltaValue Old, New;
  };
  std::vector<TEntry> entries_;
};

}  // namespace

// ===========================================================================
// Command text, keys and tables

WideString TpFIBDataSet::PSGetCommandText() { return Utf8ToWide(SelectSQL()->Text()); }

void TpFIBDataSet::PSSetCommandText(const WideString& CommandText) {
  if (!CommandText.empty()) SelectSQL()->SetText(WideToUtf8(CommandText));
}

WideString TpFIBDataSet::PSGetKeyFields() {
  WideString keys = TFIBDataSet::PSGetKeyFields();
  return keys.empty() ? Utf8ToWide(AutoUpdateOptions()->KeyFields()) : keys;
}

WideString TpFIBDataSet::PSGetQuoteChar() {
  return Database() != nullptr && Database()->SQLDialect() == 3 ? u"\"" : WideString();
}

WideString TpFIBDataSet::PSGetTableName() {
  TStringList tables;
  GetTablesOfSQL(SelectSQL()->Text(), &tables, false);
  const String updateTable = CutAlias(FastTrim(AutoUpdateOptions()->UpdateTableName()));
  for (int i = 0; i < tables.Count(); ++i)
    if (EquelNames(tables.Strings(i), updateTable)) return Utf8ToWide(updateTable);
  return tables.Count() > 0 ? Utf8ToWide(tables.Strings(0)) : WideString();
}

// ===========================================================================
// Parameters and execution

TParams* TpFIBDataSet::PSGetParams() {
  if (!provider_params_) provider_params_ = std::make_unique<TParams>(this);
  provider_params_->Clear();
  TFIBXSQLDA* params = SelectQuery()->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* var = params->Vars(i);
    // The server's description once prepared, else the value's own type.
    const bool declared = var->DeclaredType() != 0;
    const TFieldType type = ProviderParamType(declared ? var->DeclaredType() : var->SQLType(),
                                              declared ? var->DeclaredScale() : var->Scale());
    TParam* param = provider_params_->CreateParam(ftUnknown, var->Name(), ptInputOutput);
    if (!var->IsNull()) param->SetValue(type == ftBCD ? Variant(var->AsCurrency()) : var->AsVariant());
    param->SetDataType(type);
  }
  return provider_params_.get();
}

void TpFIBDataSet::PSSetParams(TParams* AParams) {
  if (AParams == nullptr) return;
  for (int i = 0; i < AParams->Count(); ++i)
    SelectQuery()->ParamByName(AParams->Items(i)->Name())->SetAsVariant(AParams->Items(i)->Value());
}

void TpFIBDataSet::PSExecute() { SelectQuery()->ExecQuery(); }

Integer TpFIBDataSet::PSExecuteStatement(const String& ASQL, TParams* AParams, TDataSet** ResultSet) {
  const String& sql = ASQL;
  if (ResultSet != nullptr) {
    auto rows = std::make_unique<TpFIBDataSet>(nullptr);
    rows->SetDatabase(Database());
    rows->SetTransaction(Transaction());
    rows->SelectSQL()->SetText(sql);
    AssignPositionalParams(rows->SelectQuery(), AParams);
    rows->Open();
    Integer count;
    if (SelectType(rows->SelectQuery()->SQLType())) {
      rows->FetchAll();
      count = rows->RecordCount();
    } else {
      count = rows->SelectQuery()->RowsAffected();
    }
    *ResultSet = rows.release();
    return count;
  }
  TFIBTransaction* transaction = UpdateTransaction();
  if (transaction == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  AutoStartUpdateTransaction();
  TFIBQuery* query = GetQueryForUse(transaction, sql);
  if (query == nullptr) RaiseClientError(fceDatabaseNotAssigned, {CmpFullName(this)});
  Integer count = 0;
  try {
    AssignPositionalParams(query, AParams);
    query->ExecQuery();
    if (SelectType(query->SQLType())) {
      while (!query->AtEnd()) query->FetchNext();
      count = query->RecordCount();
      query->Close();
    } else {
      count = query->RowsAffected();
    }
  } catch (...) {
    FreeQueryForUse(query);
    throw;
  }
  FreeQueryForUse(query);
  return count;
}

std::unique_ptr<EUpdateError> TpFIBDataSet::PSGetUpdateException(const Exception& E) {
  if (const auto* error = dynamic_cast<const EFIBError*>(&E))
    return std::make_unique<EUpdateError>(error->Message(), error->SQLCode());
  return TFIBDataSet::PSGetUpdateException(E);
}

void TpFIBDataSet::PSReset() {
  TFIBDataSet::PSReset();
  if (Active()) Reopen(false);
}

// ===========================================================================
// Transactions

bool TpFIBDataSet::PSInTransaction() { return UpdateTransaction() != nullptr && UpdateTransaction()->Active(); }

void TpFIBDataSet::PSStartTransaction() {
  TFIBDatabase* db = Database();
  if (db == nullptr) RaiseClientError(fceDatabaseNotAssigned, {CmpFullName(this)});
  TFIBTransaction* transaction = UpdateTransaction();
  if (transaction == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  if (!db->Connected()) db->Connect();
  if (!transaction->Active()) transaction->StartTransaction();
}

void TpFIBDataSet::PSEndTransaction(bool Commit) {
  TFIBTransaction* transaction = UpdateTransaction();
  if (transaction == nullptr || !transaction->Active()) return;
  if (Commit) transaction->Commit();
  else transaction->Rollback();
}

// ===========================================================================
// Applying a record of a delta

bool TpFIBDataSet::PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta) {
  if (OnUpdateRecord().Assigned()) {
    TFIBUpdateAction action = uaFail;
    OnUpdateRecord()(Delta, UpdateKind, action);
    return action == uaApplied;
  }
  TAutoUpdateOptions* options = AutoUpdateOptions();
  const bool generated =
      UpdateKind == ukInsert && options->WhenGetGenID() != wgNever && !options->GeneratorName().empty();
  TDeltaParams values;
  for (int i = 0; i < Delta->FieldCount(); ++i) {
    TField* field = Delta->Fields()->Fields(i);
    const Variant old = field->OldValue();
    const Variant assigned = field->NewValue();
    const TDeltaValue value = generated && SameText(field->FieldName(), options->KeyFields())
                                  ? TDeltaValue(NextGeneratorValue())
                                  : TDeltaValue(this, field, VarIsEmpty(assigned) ? old : assigned);
    // An inserted record has no old version: its OLD_ names find the new
    // row, as in a post (the BLOB update's key among them).
    values.Add(field->FieldName(), UpdateKind == ukInsert ? value : TDeltaValue(this, field, old), value);
  }

  bool ran = false;
  const auto run = [&](TFIBQuery* Query) {
    if (ExecStatement(Query, [&] { values.AssignTo(Query); })) ran = true;
  };
  // The BLOB columns are written after the row exists, as in a post.
  if (TpFIBUpdateObject* blobs = BlobUpdateObject(); blobs != nullptr && UpdateKind != ukDelete)
    blobs->SetKindUpdate(UpdateKind);
  ForEachUpdateObject(UpdateKind, oeBeforeDefault, run);
  run(UpdateKind == ukInsert ? InsertQuery() : UpdateKind == ukDelete ? DeleteQuery() : UpdateQuery());
  ForEachUpdateObject(UpdateKind, oeAfterDefault, run);
  return ran;
}
