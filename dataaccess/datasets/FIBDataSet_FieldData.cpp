// Field values in record buffers: which buffer a field reads in which
// state, the native values of each column type, calculated values and the
// conversions of wide text, dates and times.
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "dataaccess/datasets/pFIBDataInfo.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/Locale.h"

namespace fibdataset_internal {

double PowerOfTen(int N) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                       1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  return N >= 0 && N <= 22 ? kPowers[N] : std::pow(10.0, N);
}

bool DoubleToScaled(double Value, int Decimals, Int64& Result) {
  if (!std::isfinite(Value)) return false;
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof text, std::fabs(Value), std::chars_format::scientific);
  if (ec != std::errc()) return false;
  // d.ddddde[+-]x: the digits and the exponent of the first one.
  String digits;
  const char* p = text;
  for (; p < end && *p != 'e'; ++p)
    if (*p != '.') digits.push_back(*p);
  int exponent = 0;
  if (p < end) std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
  // Digits before the point of Value * 10^Decimals.
  const int whole = exponent + 1 + Decimals;
  if (whole > 19) return false;
  Int64 result = 0;
  for (int i = 0; i < whole; ++i) {
    const int digit = i < static_cast<int>(digits.size()) ? digits[static_cast<size_t>(i)] - '0' : 0;
    if (result > (INT64_MAX - digit) / 10) return false;
    result = result * 10 + digit;
  }
  if (whole >= 0 && whole < static_cast<int>(digits.size()) && digits[static_cast<size_t>(whole)] >= '5') {
    if (result == INT64_MAX) return false;
    ++result;
  }
  Result = Value < 0 ? -result : result;
  return true;
}

bool RescaleInt64(Int64 Value, int Delta, Int64& Result) {
  if (Delta >= 0) {
    Int64 r = Value;
    for (int i = 0; i < Delta; ++i)
      if (__builtin_mul_overflow(r, Int64{10}, &r)) return false;
    Result = r;
    return true;
  }
  if (Delta < -18) {
    Result = 0;
    return true;
  }
  const auto divisor = static_cast<Int64>(PowerOfTen(-Delta));
  Int64 q = Value / divisor;
  const Int64 rest = Value % divisor;
  if (rest * 2 >= divisor) ++q;
  else if (rest * 2 <= -divisor) --q;
  Result = q;
  return true;
}

TBcd ScaledToBcd(Int64 Value, int Decimals) {
  TBcd bcd = StrToBcd(ScaledInt64ToStr(Decimals, '.', Value));
  TBcd out;
  if (!NormalizeBcd(bcd, out, 32, Decimals)) return bcd;
  return out;
}

bool BcdToScaled(const TBcd& Value, int Decimals, Int64& Result) {
  Int64 digits;
  int scale;
  if (!BcdToInt64(Value, digits, scale)) return false;
  return RescaleInt64(digits, Decimals - scale, Result);
}

void WriteUtf8Column(std::string_view Utf8, void* Dest, size_t Size) {
  std::memset(Dest, 0, Size);
  size_t n = std::min(Utf8.size(), Size - 1);
  while (n > 0 && n < Utf8.size() && (static_cast<unsigned char>(Utf8[n]) & 0xC0) == 0x80) --n;
  std::memcpy(Dest, Utf8.data(), n);
}

}  // namespace fibdataset_internal

using fibdataset_internal::BcdToScaled;
using fibdataset_internal::DoubleToScaled;
using fibdataset_internal::PowerOfTen;
using fibdataset_internal::ScaledToBcd;

namespace {

// Length of Text without its trailing blanks (what poTrimCharFields drops).
size_t TrimmedTextLength(const char* Text, size_t Length) {
  while (Length > 0 && Text[Length - 1] == ' ') --Length;
  return Length;
}

// A TDateTime <-> its slot in a record.
template <class TSlot>
void ConvertSlot(const void* Source, void* Dest, bool ToNative, TSlot (*ToSlot)(TDateTime),
                 TDateTime (*FromSlot)(TSlot)) {
  if (ToNative) {
    TDateTime value;
    std::memcpy(&value, Source, sizeof value);
    const TSlot slot = ToSlot(value);
    std::memcpy(Dest, &slot, sizeof slot);
  } else {
    TSlot slot;
    std::memcpy(&slot, Source, sizeof slot);
    const TDateTime value = FromSlot(slot);
    std::memcpy(Dest, &value, sizeof value);
  }
}

}  // namespace

// ===========================================================================
// Reading

bool TFIBCustomDataSet::GetFieldData(TField* Field, void* Buffer) {
  // Record buffers are plain byte arrays (AllocRecordBuffer).
  std::unique_ptr<Byte[]> temp;
  auto readTemp = [&](Integer Number, bool FromOld) {
    temp.reset(AllocRecordBuffer());
    ReadRecordFromCache(Number, temp.get(), FromOld);
    return temp.get();
  };
  TRecordBuffer record = nullptr;
  const TDataSetState state = State();
  // Calculating the record read by index reads the calculation buffer.
  if (record_access_ == TRecordAccess::ByIndex && state != dsCalcFields && state != dsInternalCalc) {
    if (!cache_ || !RecordHeld(record_access_index_)) return false;
    record = readTemp(record_access_index_, state == dsOldValue);
    GetCalcFields(record);
  } else {
    switch (state) {
      case dsOldValue:
        temp.reset(GetOldRecordBuffer(-1));
        record = temp.get();
        if (record != nullptr) GetCalcFields(record);
        break;
      case dsCalcFields:
      case dsInternalCalc:
        record = CalcBuffer();
        break;
      case dsFilter:
        record = filter_buffer_ != nullptr ? filter_buffer_ : ActiveBuffer();
        break;
      default:
        if (getting_record_) {
          if (!cache_ || !RecordHeld(current_record_index_)) return false;
          record = readTemp(current_record_index_, false);
        } else {
          record = GetActiveRecordBuffer();
        }
        break;
    }
  }
  if (record == nullptr) return false;
  // A record read by its index is read whatever its visibility.
  if (state != dsOldValue && record_access_ != TRecordAccess::ByIndex && !IsVisible(record)) return false;
  if (Field->FieldNo() >= 1) return ReadDataField(Field, record, Buffer);
  if (Field->FieldKind() != fkCalculated && Field->FieldKind() != fkLookup) return false;
  const Byte* entry = record + calc_offset_ + Field->Offset();
  const bool hasValue = entry[0] != 0;
  if (hasValue && Buffer != nullptr) std::memcpy(Buffer, entry + 1, static_cast<size_t>(Field->DataSize()));
  return hasValue;
}

const char* TFIBCustomDataSet::ColumnChars(const TColumnLayout& C, const Byte* Data, bool FullSize, size_t& Length) {
  const auto* chars = reinterpret_cast<const char*>(Data);
  if (C.StoredApart) {
    Integer stored;
    std::memcpy(&stored, Data, sizeof stored);
    Length = static_cast<size_t>(std::clamp(stored, 0, C.Width));
    return chars + 4;
  }
  Length = FullSize ? static_cast<size_t>(C.Width) : strnlen(chars, static_cast<size_t>(C.Width));
  return chars;
}

bool TFIBCustomDataSet::ReadDataField(TField* Field, TRecordBuffer Record, void* Buffer) {
  const Integer column = Field->FieldNo() - 1;
  if (column >= static_cast<Integer>(columns_.size())) return false;
  Integer number;
  std::memcpy(&number, Record + kRecNoOffset, sizeof number);
  // A record beyond the fetched ones has no values (the limited model
  // numbers its window's records itself).
  if (number >= fetched_count_ && cache_model_options_->CacheModelKind() == cmkStandard && State() != dsInsert &&
      GetBookmarkFlag(Record) != bfInserted && State() != dsCalcFields)
    return false;
  if (Record[kNullFlagsOffset + column] != 0) return false;
  if (Buffer == nullptr) return true;
  const TColumnLayout& c = columns_[static_cast<size_t>(column)];
  const Byte* data = Record + c.Offset;
  auto* out = static_cast<Byte*>(Buffer);
  switch (c.SQLType) {
    case SQL_SHORT:
    case SQL_LONG: {
      Integer value;
      if (c.SQLType == SQL_SHORT) {
        int16_t v;
        std::memcpy(&v, data, sizeof v);
        value = v;
      } else {
        std::memcpy(&value, data, sizeof value);
      }
      if (c.Scale != 0) {
        const double d = c.Scale < 0 ? value / PowerOfTen(-c.Scale) : value * PowerOfTen(c.Scale);
        std::memcpy(out, &d, sizeof d);
      } else if (c.SQLType == SQL_SHORT && Field->DataSize() == 2) {
        std::memcpy(out, data, 2);
      } else {
        // A SHORT column read by a 32-bit field keeps its sign.
        std::memcpy(out, &value, sizeof value);
      }
      return true;
    }
    case SQL_FLOAT: {
      float f;
      std::memcpy(&f, data, sizeof f);
      const double d = f;
      std::memcpy(out, &d, sizeof d);
      return true;
    }
    case SQL_TEXT:
    case SQL_VARYING: {
      const bool fullSize = Field->DataType() == ftGuid || c.CharSetID == kOctetsCharSet;
      if (Field->DataSize() < c.Width && !(Field->DataType() == ftGuid && c.Width == 16))
        RaiseClientError(fceFieldSizeTooSmall, {CmpFullName(this), Field->FieldName()});
      size_t length;
      const char* chars = ColumnChars(c, data, fullSize, length);
      if (options_.Contains(poTrimCharFields) && !fullSize) length = TrimmedTextLength(chars, length);
      if (Field->DataType() == ftGuid && State() == dsBlockRead) {
        TGUID guid;
        std::memcpy(&guid, chars, std::min(length, sizeof guid));
        const String text = GUIDAsString(guid);
        std::memcpy(out, text.c_str(), text.size() + 1);
        return true;
      }
      std::memcpy(out, chars, length);
      if (static_cast<Integer>(length) < Field->DataSize()) out[length] = 0;
      return true;
    }
    case SQL_INT64:
      if (Field->DataType() == ftBCD && dynamic_cast<TFIBBCDField*>(Field) == nullptr && !c.Int64AsDouble) {
        Int64 value;
        std::memcpy(&value, data, sizeof value);
        const TBcd bcd = ScaledToBcd(value, -c.Scale);
        std::memcpy(out, &bcd, sizeof bcd);
      } else {
        std::memcpy(out, data, 8);
      }
      return true;
    default: {
      const Integer size = Field->DataSize() > 0 ? std::min(Field->DataSize(), c.Width) : c.Width;
      std::memcpy(out, data, static_cast<size_t>(size));
      return true;
    }
  }
}

// ===========================================================================
// Writing

void TFIBCustomDataSet::SetFieldData(TField* Field, const void* Buffer) {
  CheckActive();
  const TDataSetState state = State();
  TRecordBuffer record;
  if (state == dsCalcFields || state == dsInternalCalc) record = CalcBuffer();
  else if (state == dsFilter && filter_buffer_ != nullptr) record = filter_buffer_;
  else record = ActiveBuffer();
  if (record == nullptr) record = CalcBuffer();
  if (record == nullptr) return;
  if (Field->FieldNo() < 1) {
    Byte* entry = record + calc_offset_ + Field->Offset();
    entry[0] = Buffer != nullptr ? 1 : 0;
    if (Buffer != nullptr) {
      const int size = Field->DataSize();
      if (ftStringTypes.Contains(Field->DataType()) && Field->DataType() != ftWideString) {
        auto* sf = dynamic_cast<TFIBStringField*>(Field);
        const auto* text = static_cast<const char*>(Buffer);
        size_t length = sf != nullptr && sf->ValueLength() >= 0 ? static_cast<size_t>(sf->ValueLength())
                                                                 : strnlen(text, static_cast<size_t>(size));
        length = std::min(length, static_cast<size_t>(std::max(std::min(Field->Size(), size - 1), 0)));
        std::memcpy(entry + 1, text, length);
        entry[1 + length] = 0;
      } else {
        std::memcpy(entry + 1, Buffer, static_cast<size_t>(size));
      }
    }
  } else {
    CheckUpdateAllowed();
    if (Field->FieldNo() <= static_cast<Integer>(columns_.size())) {
      Field->Validate(Buffer);
      WriteDataField(Field, record, Buffer);
    }
  }
  if (state != dsCalcFields && state != dsFilter && state != dsNewValue)
    DataEvent(deFieldChange, reinterpret_cast<NativeInt>(Field));
}

bool TFIBCustomDataSet::NotNullTableColumn(Integer Column) {
  if (columns_.at(static_cast<size_t>(Column)).Nullable) return false;
  TpFIBTableInfoCollect* infos = ListTableInfo();
  TFIBDatabase* db = Database();
  if (infos == nullptr || db == nullptr || !db->Connected()) return false;
  TFIBXSQLVAR* v = select_query_->Fields()->Vars(Column);
  return !v->RelationName().empty() && infos->GetFieldInfo(db, v->RelationName(), false, v->SqlName()) != nullptr;
}

void TFIBCustomDataSet::WriteDataField(TField* Field, TRecordBuffer Record, const void* Buffer) {
  const Integer column = Field->FieldNo() - 1;
  const TColumnLayout& c = columns_[static_cast<size_t>(column)];
  Byte* data = Record + c.Offset;
  const bool text = c.SQLType == SQL_TEXT || c.SQLType == SQL_VARYING;
  auto* sf = dynamic_cast<TFIBStringField*>(Field);
  size_t length = 0;
  if (text && Buffer != nullptr) {
    const auto* chars = static_cast<const char*>(Buffer);
    if (Field->DataType() == ftGuid) length = static_cast<size_t>(c.Width);
    else if (sf != nullptr && sf->ValueLength() >= 0) length = static_cast<size_t>(sf->ValueLength());
    else length = strnlen(chars, static_cast<size_t>(std::max(Field->DataSize(), c.Width)));
    length = std::min(length, static_cast<size_t>(c.Width));
    // An empty text is NULL, unless the column is a NOT NULL table column
    // the repository knows.
    if (length == 0 && sf != nullptr && sf->EmptyStrToNull() && !NotNullTableColumn(column)) Buffer = nullptr;
  }
  if (Buffer == nullptr) {
    Record[kNullFlagsOffset + column] = 1;
    if (c.StoredApart) std::memset(data, 0, 4);
  } else {
    switch (c.SQLType) {
      case SQL_TEXT:
      case SQL_VARYING: {
        const auto* chars = static_cast<const char*>(Buffer);
        // The option drops trailing blanks; line breaks and tabs are text.
        if (options_.Contains(poTrimCharFields) && c.CharSetID != kOctetsCharSet && Field->DataType() != ftGuid)
          length = TrimmedTextLength(chars, length);
        Byte* target = data;
        if (c.StoredApart) {
          const auto stored = static_cast<Integer>(length);
          std::memcpy(data, &stored, sizeof stored);
          target += 4;
        }
        std::memcpy(target, chars, length);
        if (static_cast<Integer>(length) < c.Width) target[length] = 0;
        break;
      }
      case SQL_FLOAT: {
        double d;
        std::memcpy(&d, Buffer, sizeof d);
        const auto f = static_cast<float>(d);
        std::memcpy(data, &f, sizeof f);
        break;
      }
      case SQL_SHORT:
      case SQL_LONG: {
        Int64 value;
        if (c.Scale != 0) {
          double d;
          std::memcpy(&d, Buffer, sizeof d);
          if (!DoubleToScaled(d, -c.Scale, value)) throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()}));
        } else if (Field->DataSize() == 2) {
          int16_t v;
          std::memcpy(&v, Buffer, sizeof v);
          value = v;
        } else {
          int32_t v;
          std::memcpy(&v, Buffer, sizeof v);
          value = v;
        }
        const Int64 limit = c.SQLType == SQL_SHORT ? INT16_MAX : INT32_MAX;
        if (value > limit || value < -limit - 1) throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()}));
        if (c.SQLType == SQL_SHORT) {
          const auto v = static_cast<int16_t>(value);
          std::memcpy(data, &v, sizeof v);
        } else {
          const auto v = static_cast<int32_t>(value);
          std::memcpy(data, &v, sizeof v);
        }
        break;
      }
      case SQL_INT64:
        if (Field->DataType() == ftBCD && sf == nullptr && dynamic_cast<TFIBBCDField*>(Field) == nullptr &&
            !c.Int64AsDouble) {
          TBcd bcd;
          std::memcpy(&bcd, Buffer, sizeof bcd);
          Int64 value;
          if (!BcdToScaled(bcd, -c.Scale, value)) throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()}));
          std::memcpy(data, &value, sizeof value);
        } else {
          std::memcpy(data, Buffer, 8);
        }
        break;
      default: {
        const Integer size = Field->DataSize() > 0 ? std::min(Field->DataSize(), c.Width) : c.Width;
        std::memcpy(data, Buffer, static_cast<size_t>(size));
        break;
      }
    }
    Record[kNullFlagsOffset + column] = 0;
  }
  // Counted as a changed record when it is posted.
  if (CachedStatusOf(Record) == cusUnmodified) SetCachedStatus(Record, State() == dsInsert ? cusInserted : cusModified);
  SetModified(true);
}

// ===========================================================================
// Conversions

void TFIBCustomDataSet::DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) {
  switch (Field->DataType()) {
    case ftWideString: {
      const auto size = static_cast<size_t>(std::max(Field->DataSize(), 1));
      if (ToNative) {
        // The record holds the text in UTF-8, cut to whole characters.
        fibdataset_internal::WriteUtf8Column(WideToUtf8(*static_cast<const WideString*>(Source)), Dest, size);
      } else {
        const auto* chars = static_cast<const char*>(Source);
        *static_cast<WideString*>(Dest) = Utf8ToWide(String(chars, strnlen(chars, size)));
      }
      return;
    }
    case ftDateTime:
      ConvertSlot<double>(Source, Dest, ToNative, DateTimeToSlot, SlotToDateTime);
      return;
    case ftTime:
      ConvertSlot<Integer>(Source, Dest, ToNative, TimeToSlot, SlotToTime);
      return;
    default:
      TWideDataSet::DataConvert(Field, Source, Dest, ToNative);
      return;
  }
}

// ===========================================================================
// Old and new values, calculated fields

Variant TFIBCustomDataSet::GetStateFieldValue(TDataSetState State, TField* Field) {
  if (State == dsOldValue && this->State() == dsInsert) return Variant();
  if (Field->FieldKind() == fkCalculated || Field->FieldKind() == fkLookup) {
    if (State == dsOldValue) {
      const TDataSetState saved = SetTempState(dsOldValue);
      Variant value;
      try {
        value = Field->AsVariant();
      } catch (...) {
        RestoreState(saved);
        throw;
      }
      RestoreState(saved);
      return value;
    }
    if (State == dsNewValue || State == dsCurValue) return Field->AsVariant();
    return Variant();
  }
  return TWideDataSet::GetStateFieldValue(State, Field);
}

void TFIBCustomDataSet::SetStateFieldValue(TDataSetState State, TField* Field, const Variant& Value) {
  state_before_value_ = this->State();
  TWideDataSet::SetStateFieldValue(State, Field, Value);
}

void TFIBCustomDataSet::GetCalcFields(TRecordBuffer Buffer) {
  if (disable_calc_fields_count_ > 0) return;
  if (CalcFieldsSize() <= 0 && !InternalCalcFields()) return;
  if (!cache_calc_fields_) {
    TWideDataSet::GetCalcFields(Buffer);
    return;
  }
  if ((Buffer[kCachedStatusOffset] & kCalcCachedBit) != 0 && !force_calc_) return;
  TWideDataSet::GetCalcFields(Buffer);
  Buffer[kCachedStatusOffset] |= kCalcCachedBit;
  // An edited record reaches the cache only when it is posted.
  if (!dsEditModes.Contains(State()) && cache_) {
    Integer number;
    std::memcpy(&number, Buffer + kRecNoOffset, sizeof number);
    if (RecordHeld(number)) WriteRecordToCache(number, Buffer);
  }
}

void TFIBCustomDataSet::ClearCalcFields(TRecordBuffer Buffer) {
  if (disable_calc_fields_count_ > 0) return;
  if (CalcFieldsSize() > 0 && (State() == dsEdit || State() == dsInsert))
    std::memset(Buffer + calc_offset_, 0, static_cast<size_t>(CalcFieldsSize()));
}
