// Statement parameters taken from record buffers, and the refetch of one
// record through a statement.
#include <algorithm>
#include <cstring>
#include <memory>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"

using fibdataset_internal::TScreenCursorGuard;

namespace {

// A scaled integer as the parameter's exact value (no trip through a double).
void SetScaled(TFIBXSQLVAR* Param, Int64 Value, int Scale) {
  if (Scale >= 0) Param->SetAsInt64(Value);
  else Param->SetAsScaled(Value, Scale);
}

// A change waiting to be applied.
bool IsPendingStatus(TCachedUpdateStatus Status) {
  return Status == cusModified || Status == cusInserted || Status == cusDeleted;
}

// A record the dataset does not show.
bool IsHiddenStatus(TCachedUpdateStatus Status) {
  return Status == cusDeleted || Status == cusUninserted || Status == cusDeletedApplied;
}

}  // namespace

void TFIBCustomDataSet::CountStatusChange(TCachedUpdateStatus Before, TCachedUpdateStatus After) {
  if (IsPendingStatus(Before) && !IsPendingStatus(After)) --changed_count_;
  if (IsHiddenStatus(Before) && !IsHiddenStatus(After)) --deleted_count_;
  updates_pending_ = changed_count_ > 0;
}

void TFIBCustomDataSet::SetQueryParams(TFIBQuery* Query, TRecordBuffer Buffer, bool LocateParams) {
  if (Buffer == nullptr) RaiseClientError(fceBufferNotSet);
  const Integer number = RecordNumberOf(Buffer);
  if (number < 0) return;
  // The record's old version, read once when a parameter asks for it.
  std::unique_ptr<Byte[]> oldVersion;
  auto old = [&]() -> TRecordBuffer {
    if (State() == dsInsert) return Buffer;
    if (!oldVersion) {
      if (!cache_) CheckDatasetOpen("read an old record");
      oldVersion.reset(AllocRecordBuffer());
      std::memcpy(oldVersion.get() + kRecNoOffset, &number, sizeof number);
      std::memcpy(oldVersion.get() + kCachedPartOffset, cache_->GetOldVersion(CacheRecordNo(number)),
                  static_cast<size_t>(cached_extent_));
    }
    return oldVersion.get();
  };
  TDataSource* source = DataSource();
  TDataSet* master = source != nullptr ? source->DataSet() : nullptr;
  TFIBXSQLDA* params = Query->Params();
  for (Integer i = 0; i < params->Count(); ++i) {
    TFIBXSQLVAR* param = params->Vars(i);
    String name = param->Name();
    TRecordBuffer record = Buffer;
    if (IsOldParamName(name)) {
      name = name.substr(4);
      record = old();
    } else if (IsNewParamName(name)) {
      name = name.substr(4);
    } else if (LocateParams && name.size() > 7 && UpperCase(name.substr(0, 7)) == "LOCATE_") {
      name = name.substr(7);
    } else if (IsMasParamName(name) && master != nullptr) {
      if (TField* field = master->FindField(name.substr(4))) param->SetAsVariant(field->AsVariant());
      continue;
    }
    TField* field = FindFieldCached(name);
    Integer column = -1;
    if (field != nullptr && field->FieldKind() == fkData && field->FieldNo() >= 1) column = field->FieldNo() - 1;
    else if (TFIBXSQLVAR* selected = select_query_->FindField(name)) column = selected->Index();
    if (Query != select_query_ && (column < 0 || (Query == refresh_query_ && master != nullptr))) {
      if (TFIBXSQLVAR* selectParam = select_query_->FindParam(name)) {
        param->Assign(selectParam);
        continue;
      }
    }
    if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    // A BLOB's stream is written first: the record then holds its id.
    if (c.SQLType == SQL_BLOB && record == Buffer && field != nullptr && field->IsBlob() &&
        field->FieldNo() == column + 1)
      FinalizeBlobStreams(Buffer, bsaPost, field);
    if (record[kNullFlagsOffset + column] != 0) {
      param->SetIsNull(true);
      continue;
    }
    const Byte* data = record + c.Offset;
    switch (c.SQLType) {
      case SQL_SHORT: {
        int16_t v;
        std::memcpy(&v, data, sizeof v);
        SetScaled(param, v, c.Scale);
        break;
      }
      case SQL_LONG: {
        int32_t v;
        std::memcpy(&v, data, sizeof v);
        SetScaled(param, v, c.Scale);
        break;
      }
      case SQL_INT64: {
        if (c.Int64AsDouble) {
          double d;
          std::memcpy(&d, data, sizeof d);
          param->SetAsDouble(d);
        } else {
          Int64 v;
          std::memcpy(&v, data, sizeof v);
          SetScaled(param, v, c.Scale);
        }
        break;
      }
      case SQL_FLOAT: {
        float f;
        std::memcpy(&f, data, sizeof f);
        param->SetAsDouble(f);
        break;
      }
      case SQL_DOUBLE:
      case SQL_D_FLOAT: {
        double d;
        std::memcpy(&d, data, sizeof d);
        param->SetAsDouble(d);
        break;
      }
      case SQL_TIMESTAMP: {
        double slot;
        std::memcpy(&slot, data, sizeof slot);
        param->SetAsDateTime(SlotToDateTime(slot));
        break;
      }
      case SQL_TYPE_DATE: {
        Integer slot;
        std::memcpy(&slot, data, sizeof slot);
        param->SetAsDate(static_cast<TDateTime>(slot - DateDelta));
        break;
      }
      case SQL_TYPE_TIME: {
        Integer slot;
        std::memcpy(&slot, data, sizeof slot);
        param->SetAsTime(SlotToTime(slot));
        break;
      }
      case SQL_BOOLEAN:
        param->SetAsBoolean(data[0] != 0);
        break;
      case SQL_BOOLEAN16: {
        int16_t v;
        std::memcpy(&v, data, sizeof v);
        param->SetAsBoolean(v == 1);
        break;
      }
      case SQL_BLOB:
      case SQL_ARRAY: {
        ISC_QUAD id;
        std::memcpy(&id, data, sizeof id);
        param->SetAsQuad(id);
        break;
      }
      case SQL_TEXT:
      case SQL_VARYING: {
        if (c.Width == 16 && !c.StoredApart && field != nullptr && field->DataType() == ftGuid) {
          TGUID guid;
          std::memcpy(&guid, data, sizeof guid);
          param->SetAsGuid(guid);
          break;
        }
        size_t length;
        const char* chars = ColumnChars(c, data, c.CharSetID == kOctetsCharSet, length);
        param->SetAsString(String(chars, length));
        break;
      }
      default:
        break;
    }
  }
}

bool TFIBCustomDataSet::RefreshRecord(TFIBQuery* Query, TRecordBuffer Buffer, bool Execute) {
  TScreenCursorGuard cursor(sql_screen_cursor_);
  // BLOB streams of the record stay across the refetch.
  const Word saved = internal_flags_ & kKeepBlobStreams;
  internal_flags_ |= kKeepBlobStreams;
  auto restore = [&] { internal_flags_ = static_cast<Word>((internal_flags_ & ~kKeepBlobStreams) | saved); };
  try {
    if (IsEmptyStrings(Query->SQL()) || !Active()) {
      if (Active() && !IsEmpty()) RaiseClientError(fceCannotRefreshRow, {CmpFullName(this)});
      restore();
      return false;
    }
    const Integer number = RecordNumberOf(Buffer);
    const bool standard = cache_model_options_->CacheModelKind() == cmkStandard;
    const bool held = standard && number >= 0 && number < fetched_count_;
    if (!cached_updates_ && held) cache_->SaveOldVersion(CacheRecordNo(number));
    if (!Query->Open() && Execute) {
      SetQueryParams(Query, Buffer);
      if (!Query->Prepared()) Query->Prepare();
      TFIBTransaction* tr = Query->Transaction();
      if (options_.Contains(poStartTransaction) && tr != nullptr && !tr->Active()) tr->StartTransaction();
      Query->ExecQuery();
    }
    bool found;
    if (Query->SQLType() == SQLExecProcedure) found = Query->Fields()->Count() > 0;
    else if (Query->GoToFirstRecordOnExecute()) found = !Query->AtEnd();
    else found = Query->Open() && Query->FetchNext() != nullptr;
    const TCachedUpdateStatus before = held ? StatusInCache(number) : cusUnmodified;
    if (found) {
      FetchRecordToBuffer(Query, number, Buffer);
    } else if (options_.Contains(poRefreshDeletedRecord) && held) {
      // Gone on the server: the record leaves the visible ones.
      SetCachedStatus(Buffer, cusDeletedApplied);
      WriteRecordToCache(number, Buffer);
      if (!IsHiddenStatus(before)) ++deleted_count_;
      if (!refreshing_) DoAfterRefresh();
    }
    // A cached change the server's row replaced no longer counts.
    if (cached_updates_ && held) CountStatusChange(before, StatusInCache(number));
    if (Query->Open()) Query->Close();
    restore();
    return found;
  } catch (...) {
    if (Query->Open()) Query->Close();
    restore();
    throw;
  }
}
