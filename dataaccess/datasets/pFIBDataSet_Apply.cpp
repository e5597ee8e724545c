// TpFIBDataSet: applying cached updates, EXECUTE BLOCK batches.
//
// The walk reads each pending record into the work buffer and lets the
// fields read it from the cache (record access by index) while it is
// decided, written and reported. Batch statements are the generator's
// literal form (GenerateLiteralSQL) with FieldValueLiteral as the writer; a
// block runs through UpdateQuery, whose own text comes back afterwards.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataSet.h"

using fibdataset_internal::DoubleToScaled;
using fibdataset_internal::WithValue;

namespace {

constexpr Integer kMaxBatchStatements = 255;
// The server compiles a block with at most 256 table contexts: an update
// takes two, an insert or a delete one.
constexpr Integer kMaxBatchContexts = 256;
// A block's text stays below this many bytes (its END line not counted).
constexpr Integer kMaxBatchLength = 65532;
constexpr const char* kBatchBegin = "EXECUTE BLOCK AS BEGIN";
constexpr const char* kBatchEnd = "END";
// Server day number of 1970-01-01 (day 0 is 1858-11-17).
constexpr Int64 kUnixEpochDate = 40587;

bool IsPending(TCachedUpdateStatus Status) {
  return Status == cusModified || Status == cusInserted || Status == cusDeleted;
}

// What a record's statement makes of its status.
TCachedUpdateStatus AppliedStatus(TCachedUpdateStatus Status) {
  return Status == cusDeleted ? cusDeletedApplied : cusUnmodified;
}

// The statement a pending record needs.
TUpdateKind KindOf(TCachedUpdateStatus Status) {
  return Status == cusModified ? ukModify : Status == cusInserted ? ukInsert : ukDelete;
}

template <class T>
T Load(const Byte* Data) {
  T value;
  std::memcpy(&value, Data, sizeof value);
  return value;
}

// "YYYY-MM-DD" of a server day number (civil calendar from days).
String DateText(ISC_DATE Date) {
  const Int64 z = static_cast<Int64>(Date) - kUnixEpochDate + 719468;
  const Int64 era = (z >= 0 ? z : z - 146096) / 146097;
  const Int64 doe = z - era * 146097;
  const Int64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const Int64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const Int64 mp = (5 * doy + 2) / 153;
  const Int64 day = doy - (153 * mp + 2) / 5 + 1;
  const Int64 month = mp < 10 ? mp + 3 : mp - 9;
  const Int64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  char text[72];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day));
  return text;
}

// "HH:MM:SS.FFFF" of a server time (1/10000 s since midnight).
String TimeText(ISC_TIME Time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%04u", Time / 36000000u, Time / 600000u % 60u,
                Time / 10000u % 60u, Time % 10000u);
  return text;
}

// The shortest text that reads back as Value, in exponent form (a DOUBLE
// PRECISION literal); false for NaN and infinities.
bool DoubleLiteral(double Value, String& Literal) {
  if (!std::isfinite(Value)) return false;
  char text[40];
  const auto result = std::to_chars(text, text + sizeof text, Value, std::chars_format::scientific);
  Literal.assign(text, result.ptr);
  return true;
}

// An unscaled integer of Scale as an exact numeric literal.
String ScaledLiteral(Int64 Value, SmallInt Scale) {
  return Scale < 0 ? ScaledInt64ToStr(-Scale, '.', Value) : std::to_string(Value);
}

String HexLiteral(const Byte* Data, size_t Length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  String result = "X'";
  result.reserve(Length * 2 + 3);
  for (size_t i = 0; i < Length; ++i) {
    result += kDigits[Data[i] >> 4];
    result += kDigits[Data[i] & 0x0F];
  }
  result += '\'';
  return result;
}

}  // namespace

// ===========================================================================
// The walk

void TpFIBDataSet::InternalApplyUpdates(bool KeepStatus) {
  if (applying_) return;
  if (State() == dsEdit || State() == dsInsert) Post();
  if (!Active() || RecordsCache() == nullptr || FetchedCount() == 0) return;
  AutoStartUpdateTransaction();
  apply_buffer_.reset(AllocRecordBuffer());
  applying_ = true;
  apply_keep_status_ = KeepStatus;
  apply_skipped_ = false;
  reported_error_ = nullptr;
  unapplied_.clear();
  auto finish = [&] {
    ClearBatch();
    apply_buffer_.reset();
    applying_ = false;
    applying_index_ = -1;
    reported_error_ = nullptr;
    std::sort(unapplied_.begin(), unapplied_.end());
    // What the statements applied no longer counts; what they left (or kept,
    // until CommitUpdates) does.
    changed_count_ = 0;
    for (Integer n = 0; n < FetchedCount(); ++n)
      if (IsPending(StatusInCache(n))) ++changed_count_;
    if (!KeepStatus) updates_pending_ = changed_count_ > 0;
    if (Active()) Resync({});
  };
  try {
    for (Integer n = 0; n < FetchedCount(); ++n) ApplyCachedRecord(n);
    if (!batch_records_.empty()) RunBatch();
    if (KeepStatus) updates_pending_ = !unapplied_.empty();
    if (!apply_skipped_) AutoCommitUpdateTransaction();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TpFIBDataSet::ApplyCachedRecord(Integer Index) {
  const TCachedUpdateStatus status = StatusInCache(Index);
  if (!IsPending(status)) return;
  applying_index_ = Index;
  ReadRecordFromCache(Index, apply_buffer_.get(), false);
  updates_pending_ = true;
  const TUpdateKind kind = KindOf(status);
  WithValue(record_access_, TRecordAccess::ByIndex, [&] {
    WithValue(record_access_index_, Index, [&] {
      TFIBUpdateAction action = uaApply;
      bool decided = false, ran = false;
      for (;;) {
        try {
          if (!decided) {
            decided = true;
            if (OnUpdateRecord().Assigned()) {
              action = uaFail;
              OnUpdateRecord()(this, kind, action);
              if (action == uaAbort) Abort();
            }
          }
          if (action == uaRetry || action == uaApply) {
            // A kind the dataset cannot write leaves the record as it is.
            if (!ApplyRecordStatement(Index, status)) {
              action = uaFail;
            } else {
              ran = true;
              action = uaApplied;
              if (AfterUpdateRecord().Assigned()) {
                bool resume = true;
                AfterUpdateRecord()(this, kind, resume);
                if (!resume) Abort();
              }
            }
          }
          break;
        } catch (EFIBError& E) {
          // A block that failed while the record was put in was reported.
          if (&E == reported_error_) throw;
          action = UpdateErrorAction(E, kind);
          if (action != uaRetry) break;
        }
      }
      if (action == uaSkip) apply_skipped_ = true;
      if (action != uaApplied) {
        LeaveRecord(Index);
      } else if (!ran && !apply_keep_status_) {
        // The handler applied it itself.
        SetStatusInCache(Index, AppliedStatus(status));
      }
    });
  });
}

bool TpFIBDataSet::ApplyRecordStatement(Integer Index, TCachedUpdateStatus Status) {
  const TUpdateKind kind = KindOf(Status);
  if (!(kind == ukModify ? CanEdit() : kind == ukInsert ? CanInsert() : CanDelete())) return false;
  // Update objects of the kind run only beside the record's own statement.
  if (AutoUpdateOptions()->UseExecuteBlock() && !HasActiveUpdateObject(kind) && AddRecordToBatch(Index, kind))
    return true;
  TRecordBuffer buffer = apply_buffer_.get();
  if (kind == ukDelete) {
    InternalDeleteRecord(DeleteQuery(), buffer);
  } else {
    RegenerateModifyingSQL(kind == ukModify ? dsEdit : dsInsert);
    DoPostRecord(kind == ukModify ? UpdateQuery() : InsertQuery(), buffer);
  }
  if (apply_keep_status_) {
    SetCachedStatus(buffer, Status);
    WriteRecordToCache(Index, buffer);
  }
  return true;
}

TFIBUpdateAction TpFIBDataSet::UpdateErrorAction(EFIBError& E, TUpdateKind Kind) {
  TFIBUpdateAction action = uaFail;
  if (OnUpdateError().Assigned()) OnUpdateError()(this, E, Kind, action);
  if (action == uaFail) {
    reported_error_ = &E;
    throw;
  }
  if (action == uaAbort) throw EAbort(E.Message());
  return action;
}

void TpFIBDataSet::LeaveRecord(Integer Number) {
  unapplied_.push_back(RecordsCache()->PhysicalRecordNo(CacheRecordNo(Number)));
}

// ===========================================================================
// EXECUTE BLOCK batches

bool TpFIBDataSet::AddRecordToBatch(Integer Index, TUpdateKind Kind) {
  const std::optional<String> statement = BatchStatement(Kind);
  if (!statement) return false;
  if (statement->empty()) {
    // Nothing to write: applied as it stands.
    if (!apply_keep_status_) SetStatusInCache(Index, AppliedStatus(StatusInCache(Index)));
    return true;
  }
  const String text = *statement + ";";
  const Integer contexts = Kind == ukModify ? 2 : 1;
  if (!AddToBatch(text, contexts)) {
    if (!batch_records_.empty()) RunBatch();
    // Longer than any block: the record's own statement writes it.
    if (!AddToBatch(text, contexts)) {
      ClearBatch();
      return false;
    }
  }
  batch_records_.push_back(Index);
  batch_kind_ = Kind;
  return true;
}

bool TpFIBDataSet::AddToBatch(const String& Statement, Integer Contexts) {
  if (static_cast<Integer>(batch_records_.size()) >= kMaxBatchStatements ||
      batch_contexts_ + Contexts > kMaxBatchContexts)
    return false;
  if (!batch_) batch_ = std::make_unique<TStringList>();
  if (batch_->Count() == 0) {
    batch_->Add(kBatchBegin);
    batch_length_ = static_cast<Integer>(std::char_traits<char>::length(kBatchBegin)) + 2;
  }
  const auto length = static_cast<Int64>(Statement.size());
  if (length + batch_length_ + 2 >= kMaxBatchLength) return false;
  batch_->Add(Statement);
  batch_length_ += static_cast<Integer>(length) + 2;
  batch_contexts_ += Contexts;
  return true;
}

void TpFIBDataSet::RunBatch() {
  batch_->Add(kBatchEnd);
  TFIBQuery* query = UpdateQuery();
  // The lines go over as they are: a text value's line breaks are part of
  // its literal, not of the block's layout (splitting the text at them would
  // turn each into CR LF).
  TStringList own;
  for (;;) {
    own.Assign(query->SQL());
    try {
      query->SQL()->Assign(batch_.get());
      ExecForRecord(query, apply_buffer_.get());
      query->SQL()->Assign(&own);
      break;
    } catch (EFIBError& E) {
      query->SQL()->Assign(&own);
      const TFIBUpdateAction action = UpdateErrorAction(E, batch_kind_);
      if (action == uaRetry) continue;
      if (action == uaSkip) apply_skipped_ = true;
      if (action != uaApplied) {
        for (Integer n : batch_records_) LeaveRecord(n);
        ClearBatch();
        return;
      }
      break;
    } catch (...) {
      query->SQL()->Assign(&own);
      throw;
    }
  }
  MarkBatchRecords();
  ClearBatch();
}

void TpFIBDataSet::ClearBatch() {
  if (batch_) batch_->Clear();
  batch_length_ = 0;
  batch_contexts_ = 0;
  batch_records_.clear();
}

void TpFIBDataSet::MarkBatchRecords() {
  if (apply_keep_status_) return;
  for (Integer n : batch_records_) SetStatusInCache(n, AppliedStatus(StatusInCache(n)));
}

std::optional<String> TpFIBDataSet::BatchStatement(TUpdateKind Kind) {
  const Integer kind = Kind == ukModify ? 0 : Kind == ukInsert ? 1 : 2;
  // Each version of the record is read once for all its fields.
  std::unique_ptr<Byte[]> temp[2];
  std::optional<TRecordBuffer> record[2];
  std::optional<String> text = GenerateLiteralSQL(kind, [&](TField* Field, bool UseOld, String& Literal) {
    std::optional<TRecordBuffer>& version = record[UseOld ? 1 : 0];
    if (!version) version = LiteralRecord(UseOld, temp[UseOld ? 1 : 0]);
    return FieldLiteralFrom(Field, *version, Literal);
  });
  // An empty text is a statement without a column only where the statement
  // can be written at all.
  if (text && text->empty()) {
    TAutoUpdateOptions* options = AutoUpdateOptions();
    if (GenerateSQL(options->UpdateTableName(), options->KeyFields(), 0, kind).empty()) return std::nullopt;
  }
  return text;
}

// ===========================================================================
// Literals

TRecordBuffer TpFIBDataSet::LiteralRecord(bool UseOld, std::unique_ptr<Byte[]>& Temp) {
  if (record_access_ == TRecordAccess::ByIndex) {
    if (!RecordHeld(record_access_index_)) return nullptr;
    Temp.reset(AllocRecordBuffer());
    ReadRecordFromCache(record_access_index_, Temp.get(), UseOld);
    return Temp.get();
  }
  TRecordBuffer active = GetActiveRecordBuffer();
  if (!UseOld || active == nullptr || State() == dsInsert) return active;
  Temp.reset(GetOldRecordBuffer(-1));
  return Temp.get();
}

bool TpFIBDataSet::FieldValueLiteral(TField* Field, bool UseOld, String& Literal) {
  std::unique_ptr<Byte[]> temp;
  return FieldLiteralFrom(Field, LiteralRecord(UseOld, temp), Literal);
}

bool TpFIBDataSet::FieldLiteralFrom(TField* Field, const Byte* Record, String& Literal) {
  const Integer column = Field->FieldNo() - 1;
  if (Field->DataSet() != this || Field->FieldKind() != fkData || column < 0 || column >= FieldDescrList()->Count() ||
      column >= ColumnLayoutCount())
    return false;
  if (Record == nullptr || Record[kNullFlagsOffset + column] != 0) {
    Literal = "NULL";
    return true;
  }
  const TFIBFieldDescr* d = FieldDescrList()->Items(column);
  const Byte* data = Record + d->Offset;
  switch (d->SQLType) {
    case SQL_SHORT:
      Literal = ScaledLiteral(Load<int16_t>(data), d->Scale);
      return true;
    case SQL_LONG:
      Literal = ScaledLiteral(Load<int32_t>(data), d->Scale);
      return true;
    case SQL_INT64:
      // Below 4 decimals without psSQLINT64ToBCD the record holds a double.
      if (ColumnLayoutOf(column).Int64AsDouble) {
        const double value = Load<double>(data);
        Int64 scaled;
        if (!DoubleToScaled(value, -d->Scale, scaled)) return DoubleLiteral(value, Literal);
        Literal = ScaledLiteral(scaled, d->Scale);
        return true;
      }
      Literal = ScaledLiteral(Load<Int64>(data), d->Scale);
      return true;
    case SQL_FLOAT:
      return DoubleLiteral(Load<float>(data), Literal);
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return DoubleLiteral(Load<double>(data), Literal);
    case SQL_TIMESTAMP: {
      const ISC_TIMESTAMP stamp = SlotToTimeStamp(Load<double>(data));
      Literal = "TIMESTAMP '" + DateText(stamp.timestamp_date) + " " + TimeText(stamp.timestamp_time) + "'";
      return true;
    }
    case SQL_TYPE_DATE:
      Literal = "DATE '" + DateText(SlotToDate(Load<Integer>(data))) + "'";
      return true;
    case SQL_TYPE_TIME:
      Literal = "TIME '" + TimeText(static_cast<ISC_TIME>(Load<Integer>(data))) + "'";
      return true;
    case SQL_BOOLEAN:
      Literal = data[0] != 0 ? "TRUE" : "FALSE";
      return true;
    case SQL_BOOLEAN16:
      Literal = Load<int16_t>(data) == 1 ? "TRUE" : "FALSE";
      return true;
    case SQL_TEXT:
    case SQL_VARYING: {
      if (d->Kind == fdkGuid || d->IsDBKey) {
        Literal = HexLiteral(data, d->DataSize);
        return true;
      }
      const TColumnLayout& layout = ColumnLayoutOf(column);
      // NONE and OCTETS text is bytes: written as bytes.
      const bool binary = layout.CharSetID == 0 || layout.CharSetID == kOctetsCharSet;
      size_t length;
      const char* chars = ColumnChars(layout, data, layout.CharSetID == kOctetsCharSet, length);
      const std::string_view text(chars, length);
      if (binary) {
        Literal = HexLiteral(reinterpret_cast<const Byte*>(chars), length);
        return true;
      }
      if (text.find('\0') != std::string_view::npos) return false;
      Literal = QuotedStr(String(text));
      return true;
    }
    default:
      // BLOB and ARRAY ids: the value is not in the record.
      return false;
  }
}

// ===========================================================================
// Statuses after the update transaction

void TpFIBDataSet::MarkAppliedRecords(bool CommitMode) {
  if (!Active() || RecordsCache() == nullptr) return;
  Integer left = 0;
  for (Integer n = 0; n < FetchedCount(); ++n) {
    const TCachedUpdateStatus status = StatusInCache(n);
    if (!IsPending(status)) continue;
    if (CommitMode) {
      const Integer physical = RecordsCache()->PhysicalRecordNo(CacheRecordNo(n));
      if (std::binary_search(unapplied_.begin(), unapplied_.end(), physical)) {
        ++left;
        continue;
      }
      SetStatusInCache(n, AppliedStatus(status));
    } else {
      // A deletion forgotten: the record is shown again.
      if (status == cusDeleted) --deleted_count_;
      SetStatusInCache(n, cusUnmodified);
    }
  }
  changed_count_ = left;
  updates_pending_ = left > 0;
  unapplied_.clear();
  if (CommitMode) {
    Resync({});
  } else {
    // The records shown take their new status (a record being edited
    // keeps its buffer): the next edit of one of them locks it again.
    for (int i = 0; i < BufferRecordCount(); ++i) {
      TRecordBuffer buffer = Buffers(i);
      const Integer number = RecordNumberOf(buffer);
      if ((dsEditModes.Contains(State()) && buffer == ActiveBuffer()) || !RecordHeld(number)) continue;
      SetCachedStatus(buffer, StatusInCache(number));
    }
  }
  // The active record's version is its old version from now on.
  TRecordBuffer active = GetActiveRecordBuffer();
  if (active != nullptr && RecordHeld(RecordNumberOf(active)))
    RecordsCache()->SaveOldVersion(CacheRecordNo(RecordNumberOf(active)));
}

void TpFIBDataSet::CommitUpdates() { MarkAppliedRecords(true); }

void TpFIBDataSet::ClearUpdateMarks() { MarkAppliedRecords(false); }

void TpFIBDataSet::ApplyAfterAutoCommit() {
  // A post inside a running apply is applied by that apply.
  if (applying_) return;
  InternalApplyUpdates(true);
  // With a record skipped the apply did not commit what it wrote.
  if (apply_skipped_) AutoCommitUpdateTransaction();
  CommitUpdates();
}
