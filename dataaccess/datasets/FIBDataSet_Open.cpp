// Opening and closing a dataset: InternalOpen and the event dispatchers,
// master values in the select's parameters, field origins, data events and
// the dataset as an ISQLObject.
#include <cstring>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/Streams.h"

using fibdataset_internal::TScreenCursorGuard;

// ===========================================================================
// InternalOpen

void TFIBCustomDataSet::InternalOpen() {
  TScreenCursorGuard cursor(sql_screen_cursor_);
  updates_pending_ = false;
  // Changed literal values change the text: the definitions follow it.
  if (select_query_->LiteralValuesChanged()) SQLChanging(select_query_);
  if (!prepared_ || !select_query_->Prepared()) Prepare();
  if (!FieldDefs()->Updated()) InternalInitFieldDefs();
  CopyMasterValues();
  const TFIBSQLTypes kind = select_query_->SQLType();
  if (kind != SQLSelect && kind != SQLSelectForUpdate) {
    // No rows to show: run it once, the dataset stays closed.
    select_query_->ExecQuery();
    return;
  }
  if (DefaultFields()) CreateFields();
  BindFields(true);
  for (int i = 0; i < TDataSet::FieldCount(); ++i)
    if (auto* blob = dynamic_cast<TFIBBlobField*>(Fields()->Fields(i)))
      if (TFIBXSQLVAR* column = select_query_->FindField(blob->FieldName())) blob->SetSubType(column->SQLSubtype());
  const bool limited = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize;
  if (limited) OpenLimitedCache();
  current_select_ = select_query_;
  current_record_index_ = -1;
  UpdateRecordCount();
  select_query_->ExecQuery();
  cursor_open_ = select_query_->Open();
  ComputeRecordLayout();
  CreateRecordCache();
  SetBookmarkSize(limited ? LimitedBookmarkSize() : 8);
  ResetVisibleRecords();
  if (!filter_parser_ && !Trim(Filter()).empty()) BuildFilterParser(Filter(), FilterOptions());
}

void TFIBCustomDataSet::PrepareForDesigner() {
  TFIBDatabase* db = Database();
  const bool wasConnected = db != nullptr && db->Connected();
  if (db != nullptr && !wasConnected) {
    // Connecting for the designer is not the application's connect.
    const TNotifyEvent onConnect = db->OnConnect();
    db->SetOnConnect(TNotifyEvent());
    try {
      db->Connect();
    } catch (...) {
      db->SetOnConnect(onConnect);
      throw;
    }
    db->SetOnConnect(onConnect);
  }
  try {
    if (Transaction() != nullptr && !Transaction()->Active()) Transaction()->StartTransaction();
    Prepare();
  } catch (...) {
    if (db != nullptr && !wasConnected) db->Close();
    throw;
  }
  if (db != nullptr && !wasConnected) db->Close();
}

void TFIBCustomDataSet::CloseCursor() {
  TWideDataSet::CloseCursor();
  if (select_query_ != nullptr && select_query_->Open()) select_query_->Close();
  for (TFIBQuery** q : LimitedQuerySlots())
    if (*q != nullptr && (*q)->Open()) (*q)->Close();
  if (IsDesigning()) UnPrepare();
}

// ===========================================================================
// Master values in the select's parameters

TField* TFIBCustomDataSet::MasterFieldOf(const String& ParamName) {
  TDataSource* source = DataSource();
  TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
  if (master == nullptr) return nullptr;
  return master->FindField(IsMasParamName(ParamName) ? ParamName.substr(4) : ParamName);
}

void TFIBCustomDataSet::AssignMasterValue(TFIBXSQLVAR* Param, TField* Master) {
  if (Master->IsNull()) {
    Param->SetIsNull(true);
    return;
  }
  switch (Master->DataType()) {
    case ftString:
      Param->SetAsString(Master->AsString());
      break;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
      Param->SetAsInteger(Master->AsInteger());
      break;
    case ftFloat:
    case ftCurrency:
      Param->SetAsDouble(Master->AsFloat());
      break;
    case ftBCD: {
      auto* bcd = dynamic_cast<TFIBBCDField*>(Master);
      if (bcd != nullptr && bcd->Size() == 0) Param->SetAsInt64(Master->AsLargeInt());
      else Param->SetAsBcd(Master->AsBCD());
      break;
    }
    case ftDate:
      Param->SetAsDate(Master->AsDateTime());
      break;
    case ftTime:
      Param->SetAsTime(Master->AsDateTime());
      break;
    case ftDateTime:
      Param->SetAsDateTime(Master->AsDateTime());
      break;
    case ftBlob: {
      std::unique_ptr<TStream> stream(Master->DataSet()->CreateBlobStream(Master, bmRead));
      if (stream) Param->LoadFromStream(stream.get());
      else Param->SetIsNull(true);
      break;
    }
    case ftWideString:
      Param->SetAsVariant(Master->AsVariant());
      break;
    case ftLargeint:
      Param->SetAsInt64(Master->AsLargeInt());
      break;
    case ftGuid:
      if (auto* guid = dynamic_cast<TGuidField*>(Master)) Param->SetAsGuid(guid->AsGuid());
      else Param->SetAsGuid(StringToGUID(Master->AsString()));
      break;
    default:
      RaiseClientError(fceUnsupportedFeature, {CmpFullName(this)});
  }
}

bool TFIBCustomDataSet::MasterValueDiffers(TFIBXSQLVAR* Param, TField* Master) {
  const bool paramNull = Param->IsNull(), masterNull = Master->IsNull();
  if (paramNull != masterNull) return true;
  if (paramNull) return false;
  switch (Master->DataType()) {
    case ftString:
    case ftWideString:
      return Param->AsString() != Master->AsString();
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
      return Param->AsInteger() != Master->AsInteger();
    case ftFloat:
    case ftCurrency:
      return Param->AsDouble() != Master->AsFloat();
    case ftBCD: {
      auto* bcd = dynamic_cast<TFIBBCDField*>(Master);
      if (bcd != nullptr && bcd->Size() == 0) return Param->AsInt64() != Master->AsLargeInt();
      return Param->AsExtended() != Master->AsFloat();
    }
    case ftDate:
    case ftTime:
    case ftDateTime:
      return Param->AsDateTime() != Master->AsDateTime();
    case ftLargeint:
      return Param->AsInt64() != Master->AsLargeInt();
    case ftGuid: {
      auto* guid = dynamic_cast<TGuidField*>(Master);
      return !IsEqualGUIDs(Param->AsGuid(), guid != nullptr ? guid->AsGuid() : StringToGUID(Master->AsString()));
    }
    default:
      return false;
  }
}

void TFIBCustomDataSet::CopyMasterValues() {
  TDataSource* source = DataSource();
  if (source == nullptr || source->DataSet() == nullptr) return;
  TFIBXSQLDA* params = select_query_->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* param = params->Vars(i);
    if (TField* master = MasterFieldOf(param->Name())) AssignMasterValue(param, master);
  }
  // Literal parameters that their values replaced in the text.
  TStrings* removed = select_query_->RemovedParams();
  for (int i = 0; i < removed->Count(); ++i) {
    TFIBXSQLVAR* param = select_query_->FindParam(removed->Strings(i));
    if (param == nullptr) continue;
    if (TField* master = MasterFieldOf(param->Name())) AssignMasterValue(param, master);
  }
}

bool TFIBCustomDataSet::SetParamsFromMaster() {
  // Literal values changed since the last prepare: the next open prepares
  // the new text.
  if (select_query_->LiteralValuesChanged()) return true;
  TFIBXSQLDA* params = select_query_->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* param = params->Vars(i);
    TField* master = MasterFieldOf(param->Name());
    if (master != nullptr && MasterValueDiffers(param, master)) return true;
  }
  TStrings* removed = select_query_->RemovedParams();
  for (int i = 0; i < removed->Count(); ++i) {
    TFIBXSQLVAR* param = select_query_->FindParam(removed->Strings(i));
    if (param == nullptr) continue;
    TField* master = MasterFieldOf(param->Name());
    if (master != nullptr && MasterValueDiffers(param, master)) return true;
  }
  return false;
}

void TFIBCustomDataSet::RefreshMasterDataSet() {
  TDataSource* source = DataSource();
  TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
  if (master == nullptr) return;
  auto* fibMaster = dynamic_cast<TFIBCustomDataSet*>(master);
  if (fibMaster == nullptr || !fibMaster->Options().Contains(poVisibleRecno)) {
    master->Refresh();
    return;
  }
  fibMaster->SetOptions(fibMaster->Options() - TpFIBDsOptions{poVisibleRecno});
  try {
    master->Refresh();
  } catch (...) {
    fibMaster->SetOptions(fibMaster->Options() + TpFIBDsOptions{poVisibleRecno});
    throw;
  }
  fibMaster->SetOptions(fibMaster->Options() + TpFIBDsOptions{poVisibleRecno});
}

// ===========================================================================
// Field origins

String TFIBCustomDataSet::GetFieldSQLName(TField* Field) {
  switch (Field->FieldKind()) {
    case fkCalculated:
      return Field->FieldName();
    case fkLookup: {
      auto* lookup = dynamic_cast<TFIBCustomDataSet*>(Field->LookupDataSet());
      if (lookup == nullptr) return Field->LookupResultField();
      TField* result = lookup->FindField(Field->LookupResultField());
      return result != nullptr ? lookup->GetFieldSQLName(result) : Field->LookupResultField();
    }
    default: {
      TFIBXSQLVAR* column = select_query_->FindField(Field->FieldName());
      if (Field->FieldNo() >= 1 && Field->FieldNo() <= select_query_->Fields()->Count())
        column = select_query_->Fields()->Vars(Field->FieldNo() - 1);
      if (column == nullptr) return Field->FieldName();
      const String name = column->SqlName();
      return name == "DB_KEY" ? String("RDB$DB_KEY") : name;
    }
  }
}

String TFIBCustomDataSet::GetFieldRelationName(TField* Field) {
  switch (Field->FieldKind()) {
    case fkCalculated:
      return "CALCULATED";
    case fkLookup: {
      auto* lookup = dynamic_cast<TFIBCustomDataSet*>(Field->LookupDataSet());
      TField* result = lookup != nullptr ? lookup->FindField(Field->LookupResultField()) : nullptr;
      return result != nullptr ? lookup->GetFieldRelationName(result) : String();
    }
    default: {
      TFIBXSQLVAR* column = select_query_->FindField(Field->FieldName());
      if (Field->FieldNo() >= 1 && Field->FieldNo() <= select_query_->Fields()->Count())
        column = select_query_->Fields()->Vars(Field->FieldNo() - 1);
      return column != nullptr ? column->RelationName() : String();
    }
  }
}

String TFIBCustomDataSet::GetFieldOriginByRule(TField* Field) {
  if (field_origin_rule_ == forNoRule) return String();
  if (!Active() && Field->FieldKind() == fkData && Field->FieldNo() < 1) {
    if (!prepared_ || !FieldDefs()->Updated()) InternalInitFieldDefs();
    BindFields(true);
  }
  String first, second;
  switch (field_origin_rule_) {
    case forTableAndFieldName:
      first = GetFieldRelationName(Field);
      second = GetFieldSQLName(Field);
      break;
    case forClientFieldName:
      second = Field->FieldName();
      break;
    case forTableAliasAndFieldName:
      if (Field->FieldKind() == fkData && Field->FieldNo() >= 1) first = select_query_->FieldRelationAlias(Field->FieldNo() - 1);
      second = GetFieldSQLName(Field);
      break;
    default:
      break;
  }
  return first.empty() ? second : first + "." + second;
}

// ===========================================================================
// Data events and event dispatchers

void TFIBCustomDataSet::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deFieldChange) on_field_change_(reinterpret_cast<TField*>(Info));
  // Fields were added, freed or moved to another dataset.
  if (Event == deFieldListChange) ForgetFieldLookups();
  const bool change = Event == deDataSetChange;
  if (change) data_set_changing_ = true;
  try {
    TWideDataSet::DataEvent(Event, Info);
  } catch (...) {
    if (change) data_set_changing_ = false;
    throw;
  }
  if (change) data_set_changing_ = false;
  if (ControlsDisabled()) {
    if (controls_enabled_) {
      controls_enabled_ = false;
      on_disable_controls_(this);
    }
  } else if (!controls_enabled_) {
    controls_enabled_ = true;
    on_enable_controls_(this);
  }
}

void TFIBCustomDataSet::DoAfterOpen() {
  if (!IsDesigning() && field_origin_rule_ != forNoRule)
    for (int i = 0; i < TDataSet::FieldCount(); ++i) {
      TField* field = Fields()->Fields(i);
      field->SetOrigin(GetFieldOriginByRule(field));
    }
  open_names_->Clear();
  for (int i = 0; i < TDataSet::FieldCount(); ++i) {
    TField* field = Fields()->Fields(i);
    if (field->FieldKind() != fkData) continue;
    const String relation = GetFieldRelationName(field);
    int at;
    if (!relation.empty() && !open_names_->Find(relation, at)) open_names_->Add(relation);
  }
  if (sql_changed_ && sorted_) {
    bool keep = options_.Contains(poPersistentSorting);
    for (const TSortFieldInfo& info : order_info_)
      if (keep && FindField(info.FieldName) == nullptr) keep = false;
    if (!keep) {
      order_info_.clear();
      sorted_ = false;
    }
  }
  const bool persistent = options_.Contains(poPersistentSorting) && sorted_ && !order_info_.empty();
  if (!persistent) {
    if (prepare_options_.Contains(psGetOrderInfo)) {
      ReadOrderInfo();
    } else {
      order_info_.clear();
      sorted_ = false;
    }
  }
  TWideDataSet::DoAfterOpen();
  if (options_.Contains(poFetchAll)) FetchAll();
  sql_changed_ = false;
  if (persistent) {
    // A persistent local sort is applied again.
    std::vector<TVarRec> fields;
    std::vector<bool> ordering;
    for (TSortFieldInfo& info : order_info_) {
      TField* field = FindField(info.FieldName);
      info.FieldIndex = field != nullptr ? field->Index() : -1;
      fields.emplace_back(info.FieldIndex);
      ordering.push_back(info.Asc);
    }
    DoSort(fields, ordering);
    First();
  }
}

void TFIBCustomDataSet::DoBeforeClose() {
  if (DefaultFields()) ForgetFieldLookups();
  TWideDataSet::DoBeforeClose();
}

void TFIBCustomDataSet::DoAfterClose() {
  TWideDataSet::DoAfterClose();
  if (options_.Contains(poFreeHandlesAfterClose)) UnPrepare();
}

void TFIBCustomDataSet::DoBeforeScroll() {
  if (internal_navigation_count_ == 0) TWideDataSet::DoBeforeScroll();
}

void TFIBCustomDataSet::DoAfterScroll() {
  if (internal_navigation_count_ != 0) return;
  TWideDataSet::DoAfterScroll();
  if (!on_end_scroll_.Assigned()) return;
  if (!end_scroll_timer_) {
    end_scroll_timer_ = std::make_unique<TFIBTimer>(nullptr);
    end_scroll_timer_->SetOnTimer({this, &TFIBCustomDataSet::EndScrollTimerTick});
  }
  end_scroll_timer_->SetEnabled(false);
  end_scroll_timer_->SetInterval(static_cast<Cardinal>(master_scroll_delay_));
  end_scroll_timer_->SetEnabled(true);
}

void TFIBCustomDataSet::EndScrollTimerTick(TObject* /*Sender*/) {
  end_scroll_timer_->SetEnabled(false);
  on_end_scroll_(this);
}

void TFIBCustomDataSet::DoBeforeEdit() {
  RunPendingMasterRefresh();
  // The refresh left nothing to edit.
  if (IsEmpty()) Abort();
  if (!CanEdit()) Abort();
  TRecordBuffer active = ActiveBuffer();
  if (!cached_updates_ || CachedStatusOf(active) == cusUnmodified) SaveOldRecord(active);
  TWideDataSet::DoBeforeEdit();
  if (!Active()) RaiseClientError(fceDatasetClosed, {"continue after BeforeEdit", CmpFullName(this)});
  ClearArrayFields();
}

void TFIBCustomDataSet::DoBeforeInsert() {
  if (!CanInsert()) Abort();
  TWideDataSet::DoBeforeInsert();
}

void TFIBCustomDataSet::DoAfterInsert() {
  ClearArrayFields();
  TWideDataSet::DoAfterInsert();
}

void TFIBCustomDataSet::DoBeforeDelete() {
  RunPendingMasterRefresh();
  if (IsEmpty()) DatabaseError(SDataSetEmpty, this);
  if (!CanDelete()) Abort();
  TRecordBuffer active = ActiveBuffer();
  if (!cached_updates_ || CachedStatusOf(active) == cusUnmodified) SaveOldRecord(active);
  TWideDataSet::DoBeforeDelete();
  if (!Active()) RaiseClientError(fceDatasetClosed, {"continue after BeforeDelete", CmpFullName(this)});
}

void TFIBCustomDataSet::DoAfterDelete() {
  TWideDataSet::DoAfterDelete();
  if (detail_conditions_.Contains(dcForceMasterRefresh) && !cached_updates_) RefreshMasterDataSet();
}

void TFIBCustomDataSet::DoBeforePost() {
  if (State() != dsEdit && State() != dsInsert) return;
  TWideDataSet::DoBeforePost();
  if (!Active()) RaiseClientError(fceDatasetClosed, {"continue after BeforePost", CmpFullName(this)});
}

void TFIBCustomDataSet::DoBeforeCancel() {
  TWideDataSet::DoBeforeCancel();
  if (!Active()) RaiseClientError(fceDatasetClosed, {"continue after BeforeCancel", CmpFullName(this)});
}

// ===========================================================================
// ISQLObject

Integer TFIBCustomDataSet::ParamCount() { return select_query_->ParamCount(); }
String TFIBCustomDataSet::ParamName(Integer Index) { return select_query_->ParamName(Index); }

bool TFIBCustomDataSet::FieldExist(const String& Name, Integer& Index) {
  TField* field = FindField(Name);
  Index = field != nullptr ? field->Index() : -1;
  return field != nullptr;
}

bool TFIBCustomDataSet::ParamExist(const String& Name, Integer& Index) { return select_query_->ParamExist(Name, Index); }

Variant TFIBCustomDataSet::FieldValue(const String& Name, bool Old) {
  TField* field = FieldByName(Name);
  return Old && State() != dsInsert ? field->OldValue() : field->Value();
}

Variant TFIBCustomDataSet::FieldValueByIndex(Integer Index, bool Old) {
  TField* field = Fields()->Fields(Index);
  return Old && State() != dsInsert ? field->OldValue() : field->Value();
}

Variant TFIBCustomDataSet::ParamValue(const String& Name) { return select_query_->ParamValue(Name); }
Variant TFIBCustomDataSet::ParamValueByIndex(Integer Index) { return select_query_->ParamValueByIndex(Index); }

void TFIBCustomDataSet::SetParamValue(Integer Index, const Variant& Value) {
  select_query_->SetParamValue(Index, Value);
}

String TFIBCustomDataSet::FieldName(Integer Index) { return Fields()->Fields(Index)->FieldName(); }
