// The record buffer layout: field definitions and field classes by column
// type, descriptors and layout figures, fetching a row into the record
// cache, and copying records between buffers and the cache.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "platform/db/DBConsts.h"

using fibdataset_internal::PowerOfTen;

namespace {

constexpr double kMSecsPerDay = 86400000.0;
constexpr const char kRecordNumberOutOfRange[] = "Record number out of range";
constexpr const char kRecordTooLarge[] = "Incompatible Sizes";

bool IsTextType(int Type) { return Type == SQL_TEXT || Type == SQL_VARYING; }

// Character sets whose texts are UTF-8 (UNICODE_FSS, UTF8).
bool IsUtf8CharSet(Integer CharSetID) { return CharSetID == 3 || CharSetID == 4; }

// Bytes of the first Count UTF-8 characters of Text (all Length when fewer).
size_t Utf8CharsPrefix(const char* Text, size_t Length, size_t Count) {
  for (size_t i = 0; i < Length; ++i) {
    if ((static_cast<unsigned char>(Text[i]) & 0xC0) == 0x80) continue;
    if (Count-- == 0) return i;
  }
  return Length;
}

// Width of a column's value in the record by SQL type.
Integer ValueWidth(int Type, Integer DeclaredLength) {
  switch (Type) {
    case SQL_SHORT:
      return 2;
    case SQL_LONG:
    case SQL_FLOAT:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
      return 4;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TIMESTAMP:
    case SQL_INT64:
      return 8;
    default:
      return DeclaredLength;
  }
}

}  // namespace

// ===========================================================================
// Slots of dates and times

double TimeStampToSlot(const ISC_TIMESTAMP& Value) {
  return (static_cast<double>(Value.timestamp_date) + kServerDateDelta) * kMSecsPerDay +
         static_cast<double>(Value.timestamp_time) / 10.0;
}

namespace {

// Day number (TTimeStamp's numbering) and 1/10000 s of a slot.
void SplitSlot(double Slot, Int64& Day, Int64& Units) {
  Day = static_cast<Int64>(std::floor(Slot / kMSecsPerDay));
  Units = std::llround((Slot - static_cast<double>(Day) * kMSecsPerDay) * 10.0);
  if (Units >= kTimeUnitsPerDay) {
    ++Day;
    Units -= kTimeUnitsPerDay;
  } else if (Units < 0) {
    --Day;
    Units += kTimeUnitsPerDay;
  }
}

// Day number and 1/10000 s of a TDateTime (negative values keep their time
// in the absolute fraction).
void SplitDateTime(TDateTime Value, Int64& Day, Int64& Units) {
  const double whole = std::trunc(Value);
  Day = static_cast<Int64>(whole) + DateDelta;
  Units = std::llround(std::fabs(Value - whole) * kTimeUnitsPerDay);
  if (Units >= kTimeUnitsPerDay) {
    ++Day;
    Units -= kTimeUnitsPerDay;
  }
}

TDateTime JoinDateTime(Int64 Day, Int64 Units) {
  const double days = static_cast<double>(Day - DateDelta);
  const double fraction = static_cast<double>(Units) / kTimeUnitsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace

ISC_TIMESTAMP SlotToTimeStamp(double Slot) {
  Int64 day, units;
  SplitSlot(Slot, day, units);
  ISC_TIMESTAMP ts;
  ts.timestamp_date = static_cast<ISC_DATE>(day - kServerDateDelta);
  ts.timestamp_time = static_cast<ISC_TIME>(units);
  return ts;
}

double DateTimeToSlot(TDateTime Value) {
  Int64 day, units;
  SplitDateTime(Value, day, units);
  return static_cast<double>(day) * kMSecsPerDay + static_cast<double>(units) / 10.0;
}

TDateTime SlotToDateTime(double Slot) {
  if (!std::isfinite(Slot)) return 0;
  Int64 day, units;
  SplitSlot(Slot, day, units);
  if (day <= 0) return 0;
  return JoinDateTime(day, units);
}

Integer TimeToSlot(TDateTime Value) {
  const Int64 units = std::llround(std::fabs(Value - std::trunc(Value)) * kTimeUnitsPerDay);
  return static_cast<Integer>(std::min<Int64>(units, kTimeUnitsPerDay - 1));
}

TDateTime SlotToTime(Integer Slot) {
  if (Slot < 0 || Slot >= kTimeUnitsPerDay) return 0;
  return static_cast<double>(Slot) / kTimeUnitsPerDay;
}

// ===========================================================================
// Field definitions and classes

namespace {

// The repository's information on a select column's table column, or
// nullptr (an expression, no connection).
std::shared_ptr<TpFIBFieldInfo> ColumnInfo(TFIBDatabase* Database, TFIBXSQLVAR* Column) {
  TpFIBTableInfoCollect* infos = ListTableInfo();
  if (infos == nullptr || Database == nullptr || !Database->Connected()) return nullptr;
  const String relation = Column->RelationName();
  if (relation.empty()) return nullptr;
  return infos->GetFieldInfo(Database, relation, false, Column->SqlName());
}

}  // namespace

void TFIBCustomDataSet::InternalInitFieldDefs() {
  if (!prepared_) {
    // Prepare builds the definitions once the statement is prepared.
    if (IsDesigning()) PrepareForDesigner();
    else Prepare();
    return;
  }
  TFIBDatabase* db = Database();
  TFIBXSQLDA* out = select_query_->Fields();
  TFieldDefs* defs = FieldDefs();
  defs->BeginUpdate();
  try {
    defs->Clear();
    for (Integer i = 0; i < out->Count(); ++i) {
      TFIBXSQLVAR* v = out->Vars(i);
      const int type = v->SQLType();
      const int scale = v->Scale();
      const int length = v->AsXSQLVAR()->sqllen;
      const String name = v->Name();
      TField* persistent = FindField(name);
      TFieldType fieldType;
      int size = 0;
      switch (type) {
        case SQL_TEXT:
        case SQL_VARYING: {
          fieldType = ftString;
          size = length;
          const Integer charSet = v->SQLSubtype() & 0xFF;
          if (length == 16 && prepare_options_.Contains(psUseGuidField)) {
            std::shared_ptr<TpFIBFieldInfo> info = ColumnInfo(db, v);
            if (info && info->IsGuidDomain()) {
              fieldType = ftGuid;
              size = 38;
              break;
            }
          }
          if (db != nullptr && db->UnicodeCharSetIDs().test(static_cast<size_t>(charSet))) {
            fieldType = ftWideString;
            size = length / std::max<Integer>(1, db->BytesPerCharacter(charSet));
          }
          break;
        }
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
          fieldType = ftFloat;
          break;
        case SQL_TIMESTAMP:
          fieldType = ftDateTime;
          break;
        case SQL_TYPE_DATE:
          fieldType = ftDate;
          break;
        case SQL_TYPE_TIME:
          fieldType = ftTime;
          break;
        case SQL_SHORT:
        case SQL_LONG:
          if (scale < 0) fieldType = ftFloat;
          else if (persistent != nullptr && dynamic_cast<TBooleanField*>(persistent) != nullptr) fieldType = ftBoolean;
          else if (BooleanDomainColumn(v)) fieldType = ftBoolean;
          else if (type == SQL_SHORT && (persistent == nullptr || dynamic_cast<TSmallintField*>(persistent) != nullptr))
            fieldType = ftSmallint;
          else fieldType = ftInteger;
          break;
        case SQL_INT64:
          if (scale == 0) {
            fieldType = prepare_options_.Contains(psUseLargeIntField) ? ftLargeint : ftBCD;
          } else if (scale < -4 && !prepare_options_.Contains(psSQLINT64ToBCD)) {
            fieldType = ftFloat;
          } else {
            fieldType = ftBCD;
            size = -scale;
          }
          break;
        case SQL_BOOLEAN16:
        case SQL_BOOLEAN:
          fieldType = ftBoolean;
          break;
        case SQL_BLOB:
          fieldType = v->SQLSubtype() == 1 ? ftMemo : ftBlob;
          size = 8;
          break;
        case SQL_ARRAY:
          fieldType = ftBytes;
          size = 8;
          break;
        default:
          continue;
      }
      TFieldDef* def = defs->AddFieldDef();
      def->SetName(name);
      def->SetDataType(fieldType);
      def->SetSize(size);
      def->SetFieldNo(i + 1);
      def->SetRequired(false);
      const bool sized = fieldType == ftString || fieldType == ftWideString || (fieldType == ftBCD && size > 0);
      if (sized && persistent != nullptr && persistent->Size() != size) persistent->SetSize(size);
    }
  } catch (...) {
    defs->EndUpdate();
    throw;
  }
  defs->EndUpdate();
  defs->SetUpdated(true);
}

bool TFIBCustomDataSet::BooleanDomainColumn(TFIBXSQLVAR* Column) {
  if (!prepare_options_.Contains(psUseBooleanField) || Column->RelationName() == "FIB$FIELDS_INFO") return false;
  std::shared_ptr<TpFIBFieldInfo> info = ColumnInfo(Database(), Column);
  return info && info->IsBooleanDomain();
}

TFieldClass TFIBCustomDataSet::GetFieldClass(TFieldType FieldType) {
  switch (FieldType) {
    case ftString:
      return FieldClassOf<TFIBStringField>();
    case ftSmallint:
      return FieldClassOf<TFIBSmallIntField>();
    case ftInteger:
      return FieldClassOf<TFIBIntegerField>();
    case ftWord:
      return FieldClassOf<TWordField>();
    case ftBoolean:
      return FieldClassOf<TFIBBooleanField>();
    case ftFloat:
      return FieldClassOf<TFIBFloatField>();
    case ftCurrency:
      return FieldClassOf<TCurrencyField>();
    case ftBCD:
      return FieldClassOf<TFIBBCDField>();
    case ftDate:
      return FieldClassOf<TFIBDateField>();
    case ftTime:
      return FieldClassOf<TFIBTimeField>();
    case ftDateTime:
      return FieldClassOf<TFIBDateTimeField>();
    case ftBytes:
      return FieldClassOf<TFIBArrayField>();
    case ftVarBytes:
      return FieldClassOf<TVarBytesField>();
    case ftAutoInc:
      return FieldClassOf<TAutoIncField>();
    case ftBlob:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
      return FieldClassOf<TFIBBlobField>();
    case ftMemo:
      return FieldClassOf<TFIBMemoField>();
    case ftGraphic:
      return FieldClassOf<TGraphicField>();
    case ftWideString:
      return FieldClassOf<TFIBWideStringField>();
    case ftLargeint:
      return FieldClassOf<TFIBLargeIntField>();
    case ftGuid:
      return FieldClassOf<TFIBGuidField>();
    default:
      return nullptr;
  }
}

// ===========================================================================
// Layout

void TFIBCustomDataSet::ComputeRecordLayout() {
  TFIBXSQLDA* out = select_query_->Fields();
  const Integer n = out->Count();
  std::vector<TFieldDef*> defs(static_cast<size_t>(n), nullptr);
  for (int i = 0; i < FieldDefs()->Count(); ++i) {
    TFieldDef* def = FieldDefs()->Items(i);
    if (def->FieldNo() >= 1 && def->FieldNo() <= n) defs[static_cast<size_t>(def->FieldNo() - 1)] = def;
  }
  descr_list_->Clear();
  descr_list_->SetCapacity(n);
  columns_.assign(static_cast<size_t>(n), TColumnLayout());
  mapped_query_ = nullptr;

  Int64 offset = kNullFlagsOffset + static_cast<Int64>(n);
  data_offset_ = static_cast<Integer>(offset);
  Integer strings = 0;
  for (Integer i = 0; i < n; ++i) {
    TFIBXSQLVAR* v = out->Vars(i);
    const XSQLVAR* r = v->AsXSQLVAR();
    TColumnLayout& c = columns_[static_cast<size_t>(i)];
    TFieldDef* def = defs[static_cast<size_t>(i)];
    c.SQLType = static_cast<SmallInt>(r->sqltype & ~1);
    c.Scale = r->sqlscale;
    c.Nullable = (r->sqltype & 1) != 0;
    c.Width = ValueWidth(c.SQLType, r->sqllen);
    c.CharSetID = IsTextType(c.SQLType) ? (r->sqlsubtype & 0xFF) : 0;
    if (c.SQLType == SQL_TEXT && IsUtf8CharSet(c.CharSetID) && Database() != nullptr)
      c.CharLength = r->sqllen / std::max<Integer>(1, Database()->BytesPerCharacter(c.CharSetID));
    c.Int64AsDouble = c.SQLType == SQL_INT64 && c.Scale < -4 && !prepare_options_.Contains(psSQLINT64ToBCD);
    const bool guid = def != nullptr && def->DataType() == ftGuid;
    c.StoredApart = IsTextType(c.SQLType) && r->sqllen > kMaxInRecordString && !guid;
    const TFieldDescrKind kind = def != nullptr && def->DataType() == ftWideString ? fdkWideString
                                 : guid                                             ? fdkGuid
                                                                                    : fdkOrdinary;
    const String sqlName = v->SqlName();
    const bool dbKey = sqlName == "DB_KEY" || sqlName == "RDB$DB_KEY";
    descr_list_->Add(c.SQLType, c.Scale, kind, c.StoredApart, dbKey, c.Nullable, static_cast<Word>(c.Width));
    if (c.StoredApart) {
      c.StringIndex = strings++;
    } else {
      c.Offset = static_cast<Integer>(offset);
      c.ImageOffset = c.Offset - kCachedPartOffset;
      offset += c.Width;
    }
  }
  strings_offset_ = static_cast<Integer>(std::min<Int64>(offset, INT32_MAX));
  for (Integer i = 0; i < n; ++i) {
    TColumnLayout& c = columns_[static_cast<size_t>(i)];
    if (!c.StoredApart) continue;
    c.Offset = static_cast<Integer>(std::min<Int64>(offset, INT32_MAX));
    offset += 4 + c.Width;
  }
  string_field_count_ = strings;
  blob_count_ = BlobFieldCount();
  const Int64 blobSlots = offset;
  offset += static_cast<Int64>(kBlobSlotSize) * blob_count_;
  const Int64 calc = offset;
  offset += CalcFieldsSize();
  // The layout's figures are 32-bit: a record beyond that is refused.
  if (offset > INT32_MAX) TRecordsCache::RaiseError(kRecordTooLarge);
  for (Integer i = 0; i < n; ++i) {
    TFIBFieldDescr* d = descr_list_->Items(i);
    d->Offset = columns_[static_cast<size_t>(i)].Offset;
    d->CollectionIndex = columns_[static_cast<size_t>(i)].StringIndex;
  }
  blob_slots_offset_ = static_cast<Integer>(blobSlots);
  calc_offset_ = static_cast<Integer>(calc);
  record_size_ = static_cast<Integer>(offset);
  cache_calc_fields_ = options_.Contains(poCacheCalcFields);
  const Integer cachedCalc = cache_calc_fields_ ? CalcFieldsSize() : 0;
  blob_image_offset_ = strings_offset_ - kCachedPartOffset;
  image_size_ = blob_image_offset_ + (calc_offset_ - blob_slots_offset_) + cachedCalc;
  cached_extent_ = calc_offset_ - kCachedPartOffset + cachedCalc;
  need_unicode_convert_ = Database() != nullptr && Database()->NeedUnicodeConvert();
}

void TFIBCustomDataSet::CreateRecordCache() {
  // A new cache holds no record yet.
  fetched_count_ = deleted_count_ = changed_count_ = 0;
  current_record_index_ = -1;
  cache_ = std::make_unique<TRecordsCache>(BufferChunks(), record_size_, image_size_, string_field_count_);
  for (const TColumnLayout& c : columns_)
    if (c.StoredApart) cache_->SetStringFieldLayout(c.StringIndex + 1, c.Offset - kCachedPartOffset, c.Width);
  cache_->AddBlock();
  cache_->SetLogOldVersions(cached_updates_);
}

Integer TFIBCustomDataSet::CacheRecordNo(Integer RecordNumber) const {
  if (RecordNumber < 0) TRecordsCache::RaiseError(kRecordNumberOutOfRange);
  if (cache_model_options_->CacheModelKind() == cmkLimitedBufferSize || UniDirectional())
    return RecordNumber % std::max<Integer>(1, BufferChunks()) + 1;
  if (RecordNumber == INT32_MAX) TRecordsCache::RaiseError(kRecordNumberOutOfRange);
  return RecordNumber + 1;
}

Integer TFIBCustomDataSet::ImageOffsetOf(Integer Column) const {
  return columns_.at(static_cast<size_t>(Column)).ImageOffset;
}

// ===========================================================================
// Record buffers

TRecordBuffer TFIBCustomDataSet::AllocRecordBuffer() {
  return new Byte[static_cast<size_t>(std::max(record_size_, kNullFlagsOffset))]();
}

void TFIBCustomDataSet::FreeRecordBuffer(TRecordBuffer& Buffer) {
  delete[] Buffer;
  Buffer = nullptr;
}

void TFIBCustomDataSet::InternalInitRecord(TRecordBuffer Buffer) {
  std::memset(Buffer, 0, static_cast<size_t>(record_size_));
  std::memset(Buffer + kNullFlagsOffset, 1, columns_.size());
}

TBookmarkFlag TFIBCustomDataSet::GetBookmarkFlag(TRecordBuffer Buffer) {
  return static_cast<TBookmarkFlag>(Buffer[kBookmarkFlagOffset]);
}

void TFIBCustomDataSet::SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) {
  if (Value == bfEOF && GetBookmarkFlag(Buffer) == bfInserted) {
    const Integer number = cache_model_options_->CacheModelKind() == cmkLimitedBufferSize && limited_position_
                               ? limited_position_->Last + 1
                               : fetched_count_;
    std::memcpy(Buffer + kRecNoOffset, &number, sizeof number);
  }
  Buffer[kBookmarkFlagOffset] = static_cast<Byte>(Value);
}

TRecordBuffer TFIBCustomDataSet::GetActiveRecordBuffer() {
  if (State() == dsCalcFields || State() == dsInternalCalc) return CalcBuffer();
  if (!cursor_open_) return nullptr;
  if (IsEmpty() && State() != dsInsert) return nullptr;
  return ActiveBuffer();
}

void TFIBCustomDataSet::ReadRecordFromCache(Integer RecordNumber, TRecordBuffer Buffer, bool FromOld) {
  if (!cache_) CheckDatasetOpen("read a record");
  std::memcpy(Buffer + kRecNoOffset, &RecordNumber, sizeof RecordNumber);
  if (CalcFieldsSize() > 0) std::memset(Buffer + calc_offset_, 0, static_cast<size_t>(CalcFieldsSize()));
  const Integer record = CacheRecordNo(RecordNumber);
  if (FromOld) std::memcpy(Buffer + kCachedPartOffset, cache_->GetOldVersion(record), static_cast<size_t>(cached_extent_));
  else cache_->ReadRecord(record, Buffer + kCachedPartOffset);
}

TCachedUpdateStatus TFIBCustomDataSet::StatusInCache(Integer Number) {
  // The stored image starts with the cached status byte.
  return static_cast<TCachedUpdateStatus>(cache_->GetRecordPtr(CacheRecordNo(Number))[0] & 0x07);
}

void TFIBCustomDataSet::SetStatusInCache(Integer Number, TCachedUpdateStatus Status) {
  Byte* image = cache_->GetRecordPtr(CacheRecordNo(Number));
  image[0] = static_cast<Byte>((image[0] & ~0x07) | Status);
  ForgetRecordVisibility(Number);
}

void TFIBCustomDataSet::WriteRecordToCache(Integer RecordNumber, TRecordBuffer Buffer) {
  if (RecordNumber < 0) return;
  if (!cache_) CheckDatasetOpen("write a record");
  cache_->WriteRecord(CacheRecordNo(RecordNumber), Buffer + kCachedPartOffset, true);
  ForgetRecordVisibility(RecordNumber);
}

TRecordBuffer TFIBCustomDataSet::GetOldRecordBuffer(Integer RecordNumber) {
  if (RecordNumber == -1) {
    TRecordBuffer active = GetActiveRecordBuffer();
    if (active == nullptr) return nullptr;
    std::memcpy(&RecordNumber, active + kRecNoOffset, sizeof RecordNumber);
  }
  if (!cache_) CheckDatasetOpen("read an old record");
  const Integer record = CacheRecordNo(RecordNumber);
  TRecordBuffer buffer = AllocRecordBuffer();
  std::memcpy(buffer + kRecNoOffset, &RecordNumber, sizeof RecordNumber);
  std::memcpy(buffer + kCachedPartOffset, cache_->GetOldVersion(record), static_cast<size_t>(cached_extent_));
  return buffer;
}

void TFIBCustomDataSet::SaveOldRecord(TRecordBuffer Buffer) {
  if (!cache_) CheckDatasetOpen("keep an old record");
  Integer number;
  std::memcpy(&number, Buffer + kRecNoOffset, sizeof number);
  const Integer record = CacheRecordNo(number);
  cache_->SaveOldVersion(record);
  const Integer physical = cache_->PhysicalRecordNo(record);
  if (cached_updates_ && physical >= 1 && physical <= cache_->RecordCount()) cache_->LogOldVersion(record);
}

// ===========================================================================
// Fetching

void TFIBCustomDataSet::FreeBlobStreamInSlot(Byte* Slot) {
  TFIBBlobStream* stream;
  std::memcpy(&stream, Slot, sizeof stream);
  if (stream == nullptr) return;
  // Only a stream this dataset still lists is its own to free.
  const Integer at = stream->IndexInOwner();
  if (stream->OwnerList() == blob_streams_.get() && at >= 0 && at < blob_streams_->Count() &&
      blob_streams_->Items(at) == stream) {
    blob_streams_mru_->Remove(stream);
    delete stream;
  }
  std::memset(Slot, 0, sizeof stream);
}

void TFIBCustomDataSet::FreeRecordBlobStreams(Byte* Slots) {
  for (Integer k = 0; k < blob_count_; ++k) FreeBlobStreamInSlot(Slots + static_cast<size_t>(k) * kBlobSlotSize);
}

void TFIBCustomDataSet::KeepRecordBlobStreams(TFIBQuery* Query, Byte* Image) {
  for (Integer k = 0; k < blob_count_; ++k) {
    Byte* slot = Image + blob_image_offset_ + static_cast<size_t>(k) * kBlobSlotSize;
    TFIBBlobStream* stream;
    std::memcpy(&stream, slot, sizeof stream);
    if (stream == nullptr) continue;
    const Integer column = stream->FieldNo() - 1;
    if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
    ISC_QUAD fetched;
    std::memcpy(&fetched, Image + columns_[static_cast<size_t>(column)].ImageOffset, sizeof fetched);
    TField* field = FieldByNumber(stream->FieldNo());
    TFIBXSQLVAR* var = field != nullptr ? Query->FindField(field->FieldName()) : nullptr;
    if (var != nullptr && (State() == dsEdit || State() == dsInsert) && !stream->Modified() &&
        stream->Transaction() == Query->Transaction()) {
      stream->SetBlobID(fetched);
      stream->Clear();
    } else if (stream->BlobID().gds_quad_high != fetched.gds_quad_high ||
               stream->BlobID().gds_quad_low != fetched.gds_quad_low) {
      FreeBlobStreamInSlot(slot);
    }
  }
}

void TFIBCustomDataSet::MapColumns(TFIBQuery* Query) {
  if (mapped_query_ == Query && mapped_text_change_ == Query->TextChangeCount()) return;
  TFIBXSQLDA* from = Query->Fields();
  TFIBXSQLDA* to = select_query_->Fields();
  column_map_.assign(static_cast<size_t>(from->Count()), -1);
  for (Integer i = 0; i < from->Count(); ++i) {
    TFIBXSQLVAR* match = to->ByName(from->Vars(i)->Name());
    if (match != nullptr && match->Index() < static_cast<Integer>(columns_.size())) column_map_[static_cast<size_t>(i)] = match->Index();
  }
  mapped_query_ = Query;
  mapped_text_change_ = Query->TextChangeCount();
}

void TFIBCustomDataSet::CheckFetchColumns(TFIBQuery* Query) {
  MapColumns(Query);
  const XSQLDA* area = Query->Fields()->AsXSQLDA();
  const Integer count = area != nullptr ? std::min<Integer>(area->sqld, Query->Fields()->Count()) : 0;
  for (Integer from = 0; from < count; ++from) {
    const Integer column = column_map_[static_cast<size_t>(from)];
    if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
    const XSQLVAR& v = area->sqlvar[from];
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    const int type = v.sqltype & ~1;
    if (type != c.SQLType || v.sqlscale != c.Scale || (!IsTextType(type) && v.sqllen != c.Width))
      RaiseClientError(fceColumnTypesMismatch, {from, column});
  }
}

void TFIBCustomDataSet::FetchRecordToCache(TFIBQuery* Query, Integer RecordNumber) {
  if (!cache_) CheckDatasetOpen("fetch a record");
  const bool identity = Query == select_query_ || Query == current_select_;
  // A row that does not fit leaves the record as it was.
  if (!identity) CheckFetchColumns(Query);
  const Integer record = CacheRecordNo(RecordNumber);
  Byte* image = cache_->GetRecordForWrite(record);
  if (!(internal_flags_ & kKeepBlobStreams)) FreeRecordBlobStreams(image + blob_image_offset_);
  image[0] = 0;
  const XSQLDA* area = Query->Fields()->AsXSQLDA();
  const Integer count = area != nullptr ? std::min<Integer>(area->sqld, Query->Fields()->Count()) : 0;
  const Integer index = record - 1;
  for (Integer from = 0; from < count; ++from) {
    const Integer column = identity ? from : column_map_[static_cast<size_t>(from)];
    if (column < 0 || column >= static_cast<Integer>(columns_.size())) continue;
    const XSQLVAR& v = area->sqlvar[from];
    const TColumnLayout& c = columns_[static_cast<size_t>(column)];
    const int type = v.sqltype & ~1;
    const bool isNull = (v.sqltype & 1) != 0 && v.sqlind != nullptr && *v.sqlind == -1;
    image[1 + column] = isNull ? 1 : 0;
    Byte* dst = c.StoredApart ? nullptr : image + c.ImageOffset;
    const char* data = v.sqldata;
    if (isNull) {
      if (c.StoredApart) cache_->SetStringValue(c.StringIndex, index, std::string_view());
      else if (type == SQL_TEXT) std::memset(dst, 0, static_cast<size_t>(c.Width));
      else if (type == SQL_BLOB || type == SQL_ARRAY) std::memcpy(dst, data, static_cast<size_t>(c.Width));
      continue;
    }
    switch (type) {
      case SQL_TIMESTAMP: {
        ISC_TIMESTAMP ts;
        std::memcpy(&ts, data, sizeof ts);
        const double slot = TimeStampToSlot(ts);
        std::memcpy(dst, &slot, sizeof slot);
        break;
      }
      case SQL_TYPE_DATE: {
        ISC_DATE date;
        std::memcpy(&date, data, sizeof date);
        const Integer slot = DateToSlot(date);
        std::memcpy(dst, &slot, sizeof slot);
        break;
      }
      case SQL_INT64:
        if (c.Int64AsDouble) {
          Int64 value;
          std::memcpy(&value, data, sizeof value);
          const double d = static_cast<double>(value) / PowerOfTen(-c.Scale);
          std::memcpy(dst, &d, sizeof d);
        } else {
          std::memcpy(dst, data, 8);
        }
        break;
      case SQL_TEXT: {
        // The value as the server pads it, every byte of it (poTrimCharFields
        // drops the blanks when the value is read); a UTF-8 value keeps its
        // declared number of characters.
        auto length = static_cast<size_t>(std::max<ISC_SHORT>(v.sqllen, 0));
        if (c.CharLength > 0) length = Utf8CharsPrefix(data, length, static_cast<size_t>(c.CharLength));
        if (c.StoredApart) {
          cache_->SetStringFromBuffer(c.StringIndex, index, false, static_cast<Integer>(length), const_cast<char*>(data));
        } else {
          const size_t n = std::min(length, static_cast<size_t>(c.Width));
          std::memcpy(dst, data, n);
          if (n < static_cast<size_t>(c.Width)) std::memset(dst + n, 0, static_cast<size_t>(c.Width) - n);
        }
        break;
      }
      case SQL_VARYING: {
        uint16_t length;
        std::memcpy(&length, data, sizeof length);
        const auto n = static_cast<Integer>(std::min<Integer>({length, std::max<ISC_SHORT>(v.sqllen, 0), c.Width}));
        if (c.StoredApart) {
          cache_->SetStringFromBuffer(c.StringIndex, index, false, n, const_cast<char*>(data + 2));
        } else if (n == 0) {
          std::memset(dst, 0, static_cast<size_t>(c.Width));
        } else {
          std::memcpy(dst, data + 2, static_cast<size_t>(n));
          if (n < c.Width) dst[n] = 0;
        }
        break;
      }
      default:
        // SHORT, LONG, FLOAT, DOUBLE, TIME (1/10000 s as it is), BLOB and
        // ARRAY ids, BOOLEAN: the bytes as fetched.
        std::memcpy(dst, data, static_cast<size_t>(std::min<Integer>(c.Width, std::max<ISC_SHORT>(v.sqllen, 0))));
        break;
    }
  }
  if (internal_flags_ & kKeepBlobStreams) KeepRecordBlobStreams(Query, image);
  if (after_fetch_record_.Assigned()) {
    bool stop = false;
    after_fetch_record_(Query, RecordNumber, stop);
    // Only a fetch of the select's rows has a fetch to stop; a record read
    // again through another statement (a refresh) is already counted.
    if (stop && identity) {
      ++fetched_count_;
      Abort();
    }
  }
}

void TFIBCustomDataSet::FetchRecordToBuffer(TFIBQuery* Query, Integer RecordNumber, TRecordBuffer Buffer) {
  if (RecordNumber < 0) {
    ComputeRecordLayout();
    return;
  }
  FetchRecordToCache(Query, RecordNumber);
  ReadRecordFromCache(RecordNumber, Buffer, false);
}
