// BLOB fields of a dataset: one TFIBBlobStream per record and field in the
// record's BLOB slots, the TFIBDSBlobStream a field reads and writes
// through, and the finishing of a record's streams at post and cancel;
// array fields' values.
#include <algorithm>
#include <cstring>
#include <memory>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataInfo.h"

// ===========================================================================
// Slots

TFIBBlobStream* TFIBCustomDataSet::RecordBlobStream(TRecordBuffer Buffer, Integer Slot) {
  if (Slot < 0 || Slot >= blob_count_) return nullptr;
  TFIBBlobStream* stream;
  std::memcpy(&stream, Buffer + blob_slots_offset_ + static_cast<size_t>(Slot) * kBlobSlotSize, sizeof stream);
  return stream;
}

void TFIBCustomDataSet::SetRecordBlobStream(TRecordBuffer Buffer, Integer Slot, TFIBBlobStream* Stream) {
  std::memcpy(Buffer + blob_slots_offset_ + static_cast<size_t>(Slot) * kBlobSlotSize, &Stream, sizeof Stream);
}

void TFIBCustomDataSet::TouchBlobStream(TFIBBlobStream* Stream) {
  const Integer limit = cache_model_options_->BlobCacheLimit();
  if (limit <= 0) return;
  blob_streams_mru_->Remove(Stream);
  blob_streams_mru_->Add(Stream);
  while (blob_streams_mru_->Count() > limit) {
    auto* oldest = static_cast<TFIBBlobStream*>(blob_streams_mru_->Items(0));
    blob_streams_mru_->Delete(0);
    // Its data is loaded again on next use; a change is never dropped.
    if (!oldest->Modified()) oldest->Clear();
  }
}

String TFIBCustomDataSet::FieldColumnName(TField* Field) {
  const Integer n = Field->FieldNo();
  if (select_query_ != nullptr && select_query_->Prepared() && n >= 1 && n <= select_query_->Fields()->Count())
    return select_query_->Fields()->Vars(n - 1)->SqlName();
  return Field->FieldName();
}

bool TFIBCustomDataSet::BlobCacheIdentity(TField* Field, TRecordBuffer Buffer, std::vector<Variant>& Keys,
                                          String& Table, String& Column) {
  TFIBDatabase* db = Database();
  if (db == nullptr || !db->BlobSwapSupport()->Active() || db->BlobSwapSupport()->GetSwapDir().empty()) return false;
  const Integer n = Field->FieldNo();
  TFIBXSQLDA* fields = select_query_->Fields();
  if (n < 1 || n > fields->Count()) return false;
  Table = fields->Vars(n - 1)->RelationName();
  Column = fields->Vars(n - 1)->SqlName();
  if (Table.empty()) return false;
  const String key = PrimaryKeyFields(db, Table);
  if (key.empty() || key == kDeferredPrimaryKey) return false;
  Keys.clear();
  size_t from = 0;
  while (from <= key.size()) {
    const size_t to = std::min(key.find(';', from), key.size());
    const String name = key.substr(from, to - from);
    from = to + 1;
    if (name.empty()) continue;
    Integer column = -1;
    for (Integer i = 0; i < fields->Count() && i < static_cast<Integer>(columns_.size()); ++i)
      if (fields->Vars(i)->RelationName() == Table && fields->Vars(i)->SqlName() == name) column = i;
    if (column < 0 || Buffer[kNullFlagsOffset + column] != 0) return false;
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    const Byte* data = Buffer + c.Offset;
    switch (c.SQLType) {
      case SQL_SHORT: {
        int16_t v;
        std::memcpy(&v, data, sizeof v);
        Keys.emplace_back(static_cast<Integer>(v));
        break;
      }
      case SQL_LONG: {
        int32_t v;
        std::memcpy(&v, data, sizeof v);
        Keys.emplace_back(static_cast<Integer>(v));
        break;
      }
      case SQL_INT64: {
        if (c.Int64AsDouble) return false;
        Int64 v;
        std::memcpy(&v, data, sizeof v);
        Keys.emplace_back(v);
        break;
      }
      case SQL_TEXT:
      case SQL_VARYING: {
        size_t length;
        const char* chars = ColumnChars(c, data, false, length);
        Keys.emplace_back(TrimRight(String(chars, length)));
        break;
      }
      default:
        return false;
    }
  }
  return !Keys.empty();
}

TFIBBlobStream* TFIBCustomDataSet::NewRecordBlobStream(TField* Field, TRecordBuffer Buffer) {
  std::vector<Variant> keys;
  String table, column;
  TFIBBlobStream* stream =
      BlobCacheIdentity(Field, Buffer, keys, table, column)
          ? TFIBBlobStream::CreateForCache(blob_streams_.get(), Field->FieldNo(), keys, column, table)
          : TFIBBlobStream::CreateInList(blob_streams_.get(), Field->FieldNo());
  const Integer index = Field->FieldNo() - 1;
  const TColumnLayout& c = columns_[static_cast<size_t>(index)];
  Integer subType = 0;
  if (auto* blob = dynamic_cast<TFIBBlobField*>(Field)) subType = blob->SubType();
  if (index < select_query_->Fields()->Count()) subType = select_query_->Fields()->Vars(index)->SQLSubtype();
  stream->SetBlobSubType(subType);
  stream->SetCharSetID(subType == 1 ? c.CharSetID : -1);
  stream->SetMode(bmReadWrite);
  stream->SetDatabase(Database());
  stream->SetTransaction(Transaction());
  stream->SetUpdateTransaction(UpdateTransaction());
  ISC_QUAD id;
  std::memcpy(&id, Buffer + c.Offset, sizeof id);
  if (Buffer[kNullFlagsOffset + index] != 0) id = ISC_QUAD{0, 0};
  stream->SetBlobID(id);
  return stream;
}

// ===========================================================================
// CreateBlobStream

TRecordBuffer TFIBCustomDataSet::BlobRecordBuffer(bool& Temporary) {
  Temporary = false;
  if (!cache_) return nullptr;
  if (record_access_ == TRecordAccess::ByIndex) {
    if (!RecordHeld(record_access_index_)) return nullptr;
    TRecordBuffer buffer = AllocRecordBuffer();
    Temporary = true;
    ReadRecordFromCache(record_access_index_, buffer, State() == dsOldValue);
    return buffer;
  }
  if (State() == dsFilter) {
    // The record under test; a copy, so that its BLOB slots stay as they are.
    TRecordBuffer tested = filter_buffer_ != nullptr ? filter_buffer_ : ActiveBuffer();
    if (tested == nullptr) return nullptr;
    TRecordBuffer buffer = AllocRecordBuffer();
    Temporary = true;
    std::memcpy(buffer, tested, static_cast<size_t>(record_size_));
    return buffer;
  }
  return GetActiveRecordBuffer();
}

TStream* TFIBCustomDataSet::CreateBlobStream(TField* Field, TBlobStreamMode Mode) {
  auto* blobField = dynamic_cast<TFIBBlobField*>(Field);
  const bool client = blobField != nullptr && blobField->IsClientField();
  if (!client && Mode != bmRead && !Field->ReadOnly()) CheckUpdateAllowed();
  bool temporary = false;
  TRecordBuffer buffer = BlobRecordBuffer(temporary);
  std::unique_ptr<Byte[]> owned(temporary ? buffer : nullptr);
  const Integer slot = Field->Offset();
  const Integer column = Field->FieldNo() - 1;
  if (buffer == nullptr || !Field->IsBlob() || column < 0 || column >= static_cast<Integer>(columns_.size()) ||
      slot < 0 || slot >= blob_count_)
    return new TFIBDSBlobStream(this, Field, nullptr, Mode == bmWrite);
  Byte* slotPtr = buffer + blob_slots_offset_ + static_cast<size_t>(slot) * kBlobSlotSize;
  TFIBBlobStream* stream = RecordBlobStream(buffer, slot);
  if (stream != nullptr && data_set_changing_ && stream->IsClientBlob()) {
    FreeBlobStreamInSlot(slotPtr);
    stream = nullptr;
  }
  if (stream == nullptr) {
    const bool browse = State() == dsBrowse;
    if (client && Mode == bmRead) {
      Field->SetReadOnly(true);
      stream = TFIBBlobStream::CreateInList(blob_streams_.get(), Field->FieldNo());
      stream->SetIsClientBlob(true);
      stream->SetMode(bmReadWrite);
      SetRecordBlobStream(buffer, slot, stream);
      on_fill_client_blob_(this, blobField, stream);
    } else if (buffer[kNullFlagsOffset + column] == 0 || Mode != bmRead) {
      stream = NewRecordBlobStream(Field, buffer);
      if (client) stream->SetIsClientBlob(true);
      SetRecordBlobStream(buffer, slot, stream);
      // Loaded now: the record may outlive its transaction.
      LoadDetachedBlobStream(stream);
    }
    if (stream != nullptr && browse && !temporary) {
      const Integer number = RecordNumberOf(buffer);
      if (RecordHeld(number)) WriteRecordToCache(number, buffer);
    }
  }
  if (stream != nullptr) {
    stream->SetUpdateTransaction(UpdateTransaction());
    TouchBlobStream(stream);
    // The BLOB cache limit may have emptied it since it was loaded.
    LoadDetachedBlobStream(stream);
  }
  auto* result = new TFIBDSBlobStream(this, Field, stream, Mode == bmWrite);
  if (stream != nullptr) {
    try {
      stream->Seek(0, soBeginning);
      if (Mode == bmWrite) stream->BeginWrite();
    } catch (...) {
      delete result;
      throw;
    }
  }
  return result;
}

void TFIBCustomDataSet::LoadDetachedBlobStream(TFIBBlobStream* Stream) {
  if (!cached_updates_ || Stream->Loaded() || Stream->IsClientBlob()) return;
  // The connection and the transaction it loads in are opened for the load
  // when the cached records outlived them.
  TFIBDatabase* db = Stream->Database();
  TFIBTransaction* tr = Stream->Transaction();
  const bool connecting = db != nullptr && !db->Connected();
  if (connecting) db->Connect();
  const bool started = tr != nullptr && !tr->Active();
  if (started) tr->StartTransaction();
  try {
    Stream->Size();
  } catch (...) {
    if (started) tr->Rollback();
    if (connecting) db->Close();
    throw;
  }
  if (started) tr->Commit();
  if (connecting) db->Close();
}

// ===========================================================================
// Finishing a record's streams

void TFIBCustomDataSet::FinalizeBlobStreams(TRecordBuffer Buffer, Integer Action, TField* Field) {
  for (Integer slot = 0; slot < blob_count_; ++slot) {
    if (Field != nullptr && Field->Offset() != slot) continue;
    TFIBBlobStream* stream = RecordBlobStream(Buffer, slot);
    if (stream == nullptr) continue;
    const Integer column = stream->FieldNo() - 1;
    if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
    switch (Action) {
      case bsaPost: {
        TField* field = FieldByNumber(stream->FieldNo());
        std::vector<Variant> keys;
        String table, name;
        if (field != nullptr && BlobCacheIdentity(field, Buffer, keys, table, name))
          stream->SetCacheIdentity(keys, name, table);
        if (!stream->IsClientBlob()) {
          stream->SetUpdateTransaction(UpdateTransaction());
          stream->Finalize();
        }
        break;
      }
      case bsaCancel:
        stream->Cancel();
        break;
      case bsaRelease:
        stream->DropSavedCopy();
        break;
      default:
        break;
    }
    // A stream never loaded keeps the record's value as it is.
    if (!stream->Loaded() && !stream->Modified()) continue;
    const bool empty = stream->DataSize() == 0;
    Buffer[kNullFlagsOffset + column] = empty ? 1 : 0;
    if (empty && !stream->Modified()) {
      stream->Clear();
      stream->SetBlobID(ISC_QUAD{0, 0});
    }
    const ISC_QUAD id = stream->BlobID();
    std::memcpy(Buffer + columns_[static_cast<size_t>(column)].Offset, &id, sizeof id);
  }
}

bool TFIBCustomDataSet::IsBlobFieldModified(TField* Field) {
  if (Field == nullptr || !Field->IsBlob()) return false;
  auto* blob = dynamic_cast<TBlobField*>(Field);
  if (!cached_updates_) return blob != nullptr && blob->Modified();
  std::unique_ptr<TStream> stream(CreateBlobStream(Field, bmRead));
  auto* ds = dynamic_cast<TFIBDSBlobStream*>(stream.get());
  return ds != nullptr && (ds->Written() || (ds->Inner() != nullptr && ds->Inner()->Modified()));
}

// ===========================================================================
// TFIBDSBlobStream

TFIBDSBlobStream::TFIBDSBlobStream(TFIBCustomDataSet* DataSet, TField* Field, TFIBBlobStream* Inner, bool Written)
    : data_set_(DataSet), field_(Field), inner_(Inner), written_(Written) {}

TFIBDSBlobStream::~TFIBDSBlobStream() {
  if (!written_) return;
  written_ = false;
  if (auto* blob = dynamic_cast<TBlobField*>(field_); blob != nullptr && !blob->Modified()) blob->SetModified(true);
  try {
    data_set_->DataEvent(deFieldChange, reinterpret_cast<NativeInt>(field_));
  } catch (...) {
    // A destructor cannot report a failing handler.
  }
}

Int64 TFIBDSBlobStream::Read(void* Buffer, Int64 Count) {
  if (inner_ == nullptr) return 0;
  data_set_->LoadDetachedBlobStream(inner_);
  if (data_set_->State() == dsOldValue) return inner_->ReadOldValue(Buffer, Count);
  return inner_->Read(Buffer, Count);
}

Int64 TFIBDSBlobStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  if (inner_ == nullptr) return 0;
  data_set_->LoadDetachedBlobStream(inner_);
  if (data_set_->State() == dsOldValue) return inner_->SeekOld(Offset, Origin);
  return inner_->Seek(Offset, Origin);
}

Int64 TFIBDSBlobStream::Size() {
  if (inner_ == nullptr) return 0;
  data_set_->LoadDetachedBlobStream(inner_);
  if (data_set_->State() == dsOldValue) return inner_->SeekOld(0, soEnd);
  return inner_->Size();
}

void TFIBDSBlobStream::SetSize(Int64 NewSize) {
  if (inner_ != nullptr) inner_->SetSize(NewSize);
}

Int64 TFIBDSBlobStream::Write(const void* Buffer, Int64 Count) {
  auto* blob = dynamic_cast<TFIBBlobField*>(field_);
  const bool client = blob != nullptr && blob->IsClientField();
  const TDataSetState state = data_set_->State();
  if (!client && state != dsEdit && state != dsInsert) RaiseClientError(fceNotEditing);
  written_ = true;
  if (!client) data_set_->SetModified(true);
  if (auto* b = dynamic_cast<TBlobField*>(field_)) b->SetModified(true);
  if (inner_ == nullptr) return 0;
  data_set_->LoadDetachedBlobStream(inner_);
  return inner_->Write(Buffer, Count);
}

// ===========================================================================
// Array values

Variant TFIBCustomDataSet::ArrayFieldValues(TFIBArrayField* Field) {
  if (Field == nullptr || FindField(Field->FieldName()) != Field) return Variant(false);
  const Integer column = Field->FieldNo() - 1;
  TFIBXSQLDA* fields = select_query_->Fields();
  if (column < 0 || column >= fields->Count() || column >= static_cast<Integer>(columns_.size())) return Variant(false);
  TpFIBArray* array = fields->Vars(column)->FIBArray();
  TRecordBuffer record = GetActiveRecordBuffer();
  if (array == nullptr || record == nullptr || record[kNullFlagsOffset + column] != 0) return Null();
  ISC_QUAD id;
  std::memcpy(&id, record + columns_[static_cast<size_t>(column)].Offset, sizeof id);
  base_->CheckDatabase();
  base_->CheckTransaction();
  return array->GetArrayValues(id, Database()->HandlePtr(), Transaction()->HandlePtr());
}

void TFIBCustomDataSet::SetArrayFieldValues(TFIBArrayField* Field, const Variant& Value) {
  if (State() != dsEdit && State() != dsInsert) RaiseClientError(fceNotEditOrInsert, {CmpFullName(this)});
  if (VarIsClear(Value) || VarIsNull(Value) || VarIsEmpty(Value)) {
    SetFieldData(Field, nullptr);
    return;
  }
  const Integer column = Field->FieldNo() - 1;
  TFIBXSQLDA* fields = select_query_->Fields();
  if (column < 0 || column >= fields->Count()) return;
  TpFIBArray* array = fields->Vars(column)->FIBArray();
  if (array == nullptr) return;
  AutoStartUpdateTransaction();
  TFIBTransaction* tr = UpdateTransaction();
  if (tr == nullptr) RaiseClientError(fceTransactionNotAssigned, {CmpFullName(this)});
  tr->CheckInTransaction();
  ISC_QUAD id{0, 0};
  array->PutArray(Value, id, Database()->HandlePtr(), tr->HandlePtr());
  SetFieldData(Field, &id);
}
