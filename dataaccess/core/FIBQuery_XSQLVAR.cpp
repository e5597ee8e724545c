// Typed values of one descriptor entry.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/Locale.h"

namespace {

// Day 1 of the time-stamp record is day -678575 of the server's count.
constexpr Integer kTimeStampDateOffset = 678576;
// Server time units (1/10000 s) per millisecond.
constexpr Integer kTimeUnitsPerMSec = 10;
// Longest text stored as TEXT; longer plain texts become BLOB values.
constexpr size_t kMaxTextLength = 32767;

// 10^0 .. 10^18.
constexpr std::array<Int64, 19> kPow10 = [] {
  std::array<Int64, 19> p{1};
  for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
  return p;
}();

// 10^N as a double; exact up to 10^22.
double Pow10(int N) {
  static constexpr double kExact[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  return N >= 0 && N <= 22 ? kExact[N] : std::pow(10.0, N);
}

bool IsText(int T) { return T == SQL_TEXT || T == SQL_VARYING; }
bool IsBoolean(int T) { return T == SQL_BOOLEAN || T == SQL_BOOLEAN16; }
bool IsNumeric(int T) {
  return T == SQL_INT64 || T == SQL_LONG || T == SQL_SHORT || T == SQL_DOUBLE || T == SQL_FLOAT || T == SQL_D_FLOAT;
}
bool IsDateTime(int T) { return T == SQL_TIMESTAMP || T == SQL_TYPE_DATE || T == SQL_TYPE_TIME; }

// V x 10^Scale rounded toward zero; false when it does not fit.
bool TruncScaled(Int64 V, int Scale, Int64& Result) {
  if (Scale <= 0) {
    Result = -Scale > 18 ? 0 : V / kPow10[static_cast<size_t>(-Scale)];
    return true;
  }
  if (Scale > 18) return V == 0 ? (Result = 0, true) : false;
  return !__builtin_mul_overflow(V, kPow10[static_cast<size_t>(Scale)], &Result);
}

// V / 10^Places rounded half to even.
Int64 DivRoundEven(Int64 V, int Places) {
  if (Places <= 0) return V;
  if (Places > 18) return 0;
  const Int64 p = kPow10[static_cast<size_t>(Places)];
  Int64 q = V / p, r = V % p;
  const UInt64 twice = 2 * static_cast<UInt64>(r < 0 ? -r : r);
  if (twice > static_cast<UInt64>(p) || (twice == static_cast<UInt64>(p) && (q & 1) != 0)) q += V < 0 ? -1 : 1;
  return q;
}

// Decimal digits of |V| (INT64_MIN included).
String AbsDigits(Int64 V) {
  const UInt64 u = V < 0 ? 0 - static_cast<UInt64>(V) : static_cast<UInt64>(V);
  return std::to_string(u);
}

// V / 10^Places as text with exactly Places decimals.
String ScaledText(Int64 V, int Places, char Separator) {
  String digits = AbsDigits(V);
  if (Places > 0) {
    if (digits.size() <= static_cast<size_t>(Places))
      digits.insert(0, static_cast<size_t>(Places) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(Places), 1, Separator);
  } else if (Places < 0 && V != 0) {
    digits.append(static_cast<size_t>(-Places), '0');
  }
  return V < 0 ? "-" + digits : digits;
}

TBcd Int64ToBcd(Int64 V, int Places) {
  const String digits = AbsDigits(V);
  TBcd bcd;
  const int precision = std::max<int>(static_cast<int>(digits.size()), Places);
  bcd.Precision = static_cast<Byte>(std::max(precision, 1));
  const int lead = bcd.Precision - static_cast<int>(digits.size());
  for (int i = 0; i < static_cast<int>(digits.size()); ++i) {
    const int pos = lead + i;
    const Byte d = static_cast<Byte>(digits[static_cast<size_t>(i)] - '0');
    bcd.Fraction[pos / 2] |= pos % 2 == 0 ? static_cast<Byte>(d << 4) : d;
  }
  bcd.SignSpecialPlaces = static_cast<Byte>((V < 0 ? 0x80 : 0) | (Places & 0x3F));
  return bcd;
}

template <class T>
T Load(const char* P) {
  T v;
  std::memcpy(&v, P, sizeof v);
  return v;
}

}  // namespace

// ===========================================================================
// Construction and record

TFIBXSQLVAR::TFIBXSQLVAR(TFIBXSQLDA* Parent, TFIBQuery* Query) : query_(Query), parent_(Parent) {}

TFIBXSQLVAR::~TFIBXSQLVAR() { std::free(data_); }

void TFIBXSQLVAR::SetRecord(XSQLVAR* Record) {
  record_ = Record;
  if (data_ != nullptr) record_->sqldata = data_;
  if (record_->sqlind != nullptr) record_->sqlind = &indicator_;
}

void TFIBXSQLVAR::SetDataSize(Integer Size) {
  const size_t need = static_cast<size_t>(std::max(Size, 1));
  if (need > data_size_) {
    void* block = data_;
    ReallocZeroed(block, data_size_, need);
    data_ = static_cast<char*>(block);
    data_size_ = need;
  }
  record_->sqldata = data_;
}

TFIBDatabase* TFIBXSQLVAR::Database() const { return query_ != nullptr ? query_->Database() : nullptr; }

Integer TFIBXSQLVAR::Dialect() const {
  TFIBDatabase* db = Database();
  return db != nullptr ? db->SQLDialect() : 3;
}

bool TFIBXSQLVAR::NeedUnicodeConvert() const {
  TFIBDatabase* db = Database();
  return db != nullptr && db->NeedUnicodeConvert();
}

bool TFIBXSQLVAR::InUserArea() const { return query_ != nullptr && query_->user_params_.get() == parent_; }

String TFIBXSQLVAR::SqlName() const {
  if (parent_->IsParameterArea()) return String();
  return String(record_->sqlname,
                std::clamp<size_t>(static_cast<size_t>(std::max<ISC_SHORT>(record_->sqlname_length, 0)), 0,
                                   sizeof record_->sqlname));
}

String TFIBXSQLVAR::RelationName() const {
  if (parent_->IsParameterArea()) return String();
  return String(record_->relname,
                std::clamp<size_t>(static_cast<size_t>(std::max<ISC_SHORT>(record_->relname_length, 0)), 0,
                                   sizeof record_->relname));
}

bool TFIBXSQLVAR::IsBlobOrArray() const {
  const Integer t = SQLType();
  return t == SQL_BLOB || t == SQL_ARRAY;
}

void TFIBXSQLVAR::ResolveDeclared() {
  if (declared_type_ != 0 || !InUserArea() || !query_->prepared_) return;
  TFIBXSQLDA* server = query_->server_params_.get();
  if (server == nullptr || server == parent_) return;
  const int i = server->FindName(name_);
  if (i < 0 || i >= server->count_) return;
  const TFIBXSQLVAR* s = server->vars_[static_cast<size_t>(i)].get();
  SetDeclared(s->declared_type_, s->declared_subtype_, s->declared_scale_);
}

Integer TFIBXSQLVAR::DeclaredType() {
  ResolveDeclared();
  return declared_type_;
}

Integer TFIBXSQLVAR::DeclaredSubType() {
  ResolveDeclared();
  return declared_subtype_;
}

Integer TFIBXSQLVAR::DeclaredScale() {
  ResolveDeclared();
  return declared_scale_;
}

void TFIBXSQLVAR::SetDeclared(Integer Type, Integer SubType, Integer Scale) {
  declared_type_ = Type;
  declared_subtype_ = SubType;
  declared_scale_ = Scale;
}

// ===========================================================================
// Null state

bool TFIBXSQLVAR::IsNull() const {
  if (value_stream_) return false;
  if (!parent_->IsParameterArea() && query_ != nullptr && query_->record_count_ == 0 &&
      query_->sql_type_ != SQLExecProcedure)
    return true;
  if ((record_->sqltype & 1) != 0 && record_->sqlind != nullptr && *record_->sqlind == -1) return true;
  return record_->sqltype == 0 || record_->sqltype == 1;
}

bool TFIBXSQLVAR::IsNullable() {
  if ((record_->sqltype & 1) == 0) return false;
  if (record_->sqlind == nullptr) {
    indicator_ = 0;
    record_->sqlind = &indicator_;
  }
  return true;
}

void TFIBXSQLVAR::SetIsNull(bool Value) {
  SetValue([Value](TFIBXSQLVAR* v) { v->WriteNull(Value); });
}

void TFIBXSQLVAR::SetIsNullable(bool Value) {
  SetValue([Value](TFIBXSQLVAR* v) { v->WriteNullable(Value); });
}

// ===========================================================================
// Write path

template <class Op>
void TFIBXSQLVAR::SetValue(Op&& op) {
  const auto apply = [&op](TFIBXSQLVAR* v) {
    op(v);
    v->has_value_ = true;
    TFIBQuery* q = v->query_;
    if (v->literal_ && q != nullptr && !q->literal_values_changed_ &&
        VarToStr(v->AsVariant()) != VarToStr(v->old_value_))
      q->literal_values_changed_ = true;
  };
  const auto [first, last] = parent_->SameNames(name_);
  if (first == last) {
    apply(this);
    return;
  }
  for (auto it = first; it != last; ++it) apply(parent_->vars_[static_cast<size_t>(it->second)].get());
}

void TFIBXSQLVAR::WriteNull(bool Null) {
  if (Null) {
    value_stream_.reset();
    has_wide_value_ = false;
    type_unknown_ = false;  // a NULL stays NULL whatever type is declared
    if ((record_->sqltype & ~1) == 0) {
      record_->sqltype = static_cast<ISC_SHORT>(SQL_TEXT | (record_->sqltype & 1));
      record_->sqllen = 0;
      SetDataSize(0);
    }
    if ((record_->sqltype & 1) == 0) WriteNullable(true);
    IsNullable();
    *record_->sqlind = -1;
  } else if (IsNullable()) {
    *record_->sqlind = 0;
  }
  modified_ = true;
}

void TFIBXSQLVAR::WriteNullable(bool Nullable) {
  if (Nullable) {
    if ((record_->sqltype & 1) == 0 || record_->sqlind == nullptr) indicator_ = 0;
    record_->sqltype = static_cast<ISC_SHORT>(record_->sqltype | 1);
    record_->sqlind = &indicator_;
  } else {
    record_->sqltype = static_cast<ISC_SHORT>(record_->sqltype & ~1);
    record_->sqlind = nullptr;
  }
}

void TFIBXSQLVAR::WriteTyped(short Type, Integer Length, const void* Data, short Scale, short SubType) {
  if ((record_->sqltype & 1) != 0 && IsNullable() && *record_->sqlind == -1) *record_->sqlind = 0;
  value_stream_.reset();
  has_wide_value_ = false;
  record_->sqlscale = Scale;
  record_->sqllen = static_cast<ISC_SHORT>(Length);
  SetDataSize(Length);
  record_->sqltype = static_cast<ISC_SHORT>(Type | (record_->sqltype & 1));
  if (SubType >= 0) record_->sqlsubtype = SubType;
  if (Length > 0) std::memcpy(data_, Data, static_cast<size_t>(Length));
  modified_ = true;
}

void TFIBXSQLVAR::WriteCopy(const XSQLVAR* Source) {
  if (Source == record_) {
    modified_ = true;
    return;
  }
  value_stream_.reset();
  has_wide_value_ = false;
  std::memcpy(record_, Source, sizeof(XSQLVAR));
  record_->sqldata = data_;
  if ((Source->sqltype & 1) != 0) {
    indicator_ = Source->sqlind != nullptr ? *Source->sqlind : 0;
    record_->sqlind = &indicator_;
  } else {
    record_->sqlind = nullptr;
  }
  const Integer size = std::max<Integer>(Source->sqllen, 0) + ((Source->sqltype & ~1) == SQL_VARYING ? 2 : 0);
  SetDataSize(size);
  if (size > 0 && Source->sqldata != nullptr) std::memcpy(data_, Source->sqldata, static_cast<size_t>(size));
  modified_ = true;
}

void TFIBXSQLVAR::WriteBlobStream(const void* Data, Int64 Size, short SubType, short Scale, bool KeepSubtypeScale) {
  if (!value_stream_) value_stream_ = std::make_unique<TMemoryStream>();
  value_stream_->Clear();
  if (Size > 0) value_stream_->WriteBuffer(Data, Size);
  value_stream_->SetPosition(0);
  has_wide_value_ = false;
  record_->sqltype = SQL_BLOB;
  record_->sqlind = nullptr;
  if (!KeepSubtypeScale) {
    record_->sqlsubtype = SubType;
    record_->sqlscale = Scale;
  }
  if (query_ != nullptr) query_->blob_params_to_write_ = true;
  modified_ = true;
}

void TFIBXSQLVAR::SetTyped(short Type, Integer Length, const void* Data, short Scale, short SubType) {
  SetValue([&](TFIBXSQLVAR* v) { v->WriteTyped(Type, Length, Data, Scale, SubType); });
}

// ===========================================================================
// Raw reads

void TFIBXSQLVAR::ConversionError() { RaiseClientError(fceInvalidDataConversion); }

Int64 TFIBXSQLVAR::RawInteger() const {
  switch (SQLType()) {
    case SQL_SHORT:
      return Load<int16_t>(record_->sqldata);
    case SQL_LONG:
      return Load<int32_t>(record_->sqldata);
    default:
      return Load<int64_t>(record_->sqldata);
  }
}

Integer TFIBXSQLVAR::RawBoolean() const {
  return SQLType() == SQL_BOOLEAN ? static_cast<unsigned char>(record_->sqldata[0]) : Load<int16_t>(record_->sqldata);
}

String TFIBXSQLVAR::RawText() const {
  const size_t capacity = static_cast<size_t>(std::max<ISC_SHORT>(record_->sqllen, 0));
  if (record_->sqldata == nullptr) return String();
  if (SQLType() == SQL_TEXT) return String(record_->sqldata, capacity);
  const size_t length = std::min<size_t>(Load<uint16_t>(record_->sqldata), capacity);
  return String(record_->sqldata + 2, length);
}

// The text a number or date is read from; the blanks that pad a CHAR value
// are not part of it.
String TFIBXSQLVAR::TextForConversion() const {
  String s = AsString();
  if (SQLType() == SQL_TEXT) DoTrimRight(s);
  return s;
}

template <class T, class TryRead>
T TFIBXSQLVAR::FromText(TryRead Read) const {
  T v;
  if (!Read(TextForConversion(), v)) ConversionError();
  return v;
}

TDateTime TFIBXSQLVAR::TextDateTime() const {
  return FromText<TDateTime>([](const String& s, TDateTime& v) { return TryStrToDateTime(s, v); });
}

// ===========================================================================
// Getters

Integer TFIBXSQLVAR::AsInteger() const {
  if (IsNull()) return 0;
  switch (SQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      Int64 v;
      if (!TruncScaled(RawInteger(), Scale(), v) || v < INT32_MIN || v > INT32_MAX) ConversionError();
      return static_cast<Integer>(v);
    }
    case SQL_TEXT:
    case SQL_VARYING:
      return FromText<Integer>([](const String& s, Integer& v) { return TryStrToInt(s, v); });
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_D_FLOAT: {
      const double d = std::trunc(AsDouble());
      if (!(d >= INT32_MIN && d <= INT32_MAX)) ConversionError();
      return static_cast<Integer>(d);
    }
    case SQL_BOOLEAN:
    case SQL_BOOLEAN16:
      return RawBoolean();
    default:
      ConversionError();
  }
}

Int64 TFIBXSQLVAR::AsInt64() const {
  if (IsNull()) return 0;
  switch (SQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      Int64 v;
      if (!TruncScaled(RawInteger(), Scale(), v)) ConversionError();
      return v;
    }
    case SQL_TEXT:
    case SQL_VARYING:
      return FromText<Int64>([](const String& s, Int64& v) { return TryStrToInt64(s, v); });
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_D_FLOAT: {
      const double d = std::trunc(AsDouble());
      if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) ConversionError();
      return static_cast<Int64>(d);
    }
    default:
      ConversionError();
  }
}

double TFIBXSQLVAR::AsDouble() const {
  if (IsNull()) return 0;
  if (IsBoolean(SQLType())) return RawBoolean() == 1 ? 1.0 : 0.0;
  return AsExtended();
}

double TFIBXSQLVAR::AsExtended() const {
  if (IsNull()) return 0;
  switch (SQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      // Dividing by an exact power of ten gives the double nearest the
      // decimal value.
      const double v = static_cast<double>(RawInteger());
      const int s = Scale();
      return s < 0 ? v / Pow10(-s) : v * Pow10(s);
    }
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
      return Load<double>(record_->sqldata);
    case SQL_FLOAT:
      return Load<float>(record_->sqldata);
    case SQL_TEXT:
    case SQL_VARYING:
      return FromText<double>([](const String& s, double& v) { return TryStrToFloat(s, v); });
    default:
      ConversionError();
  }
}

Currency TFIBXSQLVAR::AsCurrency() const {
  if (IsNull()) return Currency();
  if (Dialect() >= 3 && SQLType() == SQL_INT64) {
    const Int64 v = RawInteger();
    const int shift = Scale() + 4;
    if (shift >= 0) {
      Int64 r;
      if (shift > 18 || __builtin_mul_overflow(v, kPow10[static_cast<size_t>(shift)], &r)) ConversionError();
      return Currency::FromRaw(r);
    }
    return Currency::FromRaw(DivRoundEven(v, -shift));
  }
  const double d = AsDouble();
  if (!(std::fabs(d * 10000.0) < 9223372036854775807.0)) ConversionError();
  return Currency::FromDouble(d);
}

TBcd TFIBXSQLVAR::AsBcd() const {
  if (IsNull()) return Int64ToBcd(0, 0);
  switch (SQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64: {
      // Exactly, with the column's decimal places.
      Int64 v = RawInteger();
      const int s = Scale();
      if (s > 0 && !TruncScaled(v, s, v)) ConversionError();
      return Int64ToBcd(v, s < 0 ? -s : 0);
    }
    default:
      return Int64ToBcd(AsCurrency().Value, 4);
  }
}

TTimeStamp TFIBXSQLVAR::AsTimeStamp() const {
  TTimeStamp ts;
  if (IsNull()) return ts;
  switch (SQLType()) {
    case SQL_TIMESTAMP: {
      const auto v = Load<ISC_TIMESTAMP>(record_->sqldata);
      ts.Date = v.timestamp_date + kTimeStampDateOffset;
      ts.Time = static_cast<Integer>(v.timestamp_time / kTimeUnitsPerMSec);
      return ts;
    }
    case SQL_TYPE_TIME:
      ts.Time = static_cast<Integer>(Load<ISC_TIME>(record_->sqldata) / kTimeUnitsPerMSec);
      return ts;
    case SQL_TYPE_DATE:
      ts.Date = Load<ISC_DATE>(record_->sqldata) + kTimeStampDateOffset;
      return ts;
    case SQL_TEXT:
    case SQL_VARYING:
      try {
        return DateTimeToTimeStamp(TextDateTime());
      } catch (const EConvertError&) {
        ConversionError();
      }
    default:
      ConversionError();
  }
}

TDateTime TFIBXSQLVAR::AsDateTime() const {
  if (IsNull()) return 0;
  switch (SQLType()) {
    case SQL_TYPE_TIME:
      return ServerDateTimeToDateTime(kServerDateOfDateTimeZero, Load<ISC_TIME>(record_->sqldata));
    case SQL_TYPE_DATE:
      return ServerDateTimeToDateTime(Load<ISC_DATE>(record_->sqldata), 0);
    case SQL_TIMESTAMP: {
      // Not through the time-stamp record: it would drop the 1/10000 s.
      const auto v = Load<ISC_TIMESTAMP>(record_->sqldata);
      return ServerDateTimeToDateTime(v.timestamp_date, v.timestamp_time);
    }
    case SQL_TEXT:
    case SQL_VARYING:
      return TextDateTime();
    default:
      ConversionError();
  }
}

bool TFIBXSQLVAR::AsBoolean() const {
  if (IsNull()) return false;
  switch (SQLType()) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
      return RawInteger() == 1;
    case SQL_BOOLEAN:
    case SQL_BOOLEAN16:
      return RawBoolean() == 1;
    default:
      ConversionError();
  }
}

ISC_QUAD TFIBXSQLVAR::AsQuad() const {
  if (IsNull()) return ISC_QUAD{};
  const Integer t = SQLType();
  if (t != SQL_BLOB && t != SQL_ARRAY && t != SQL_QUAD) ConversionError();
  return Load<ISC_QUAD>(record_->sqldata);
}

TGUID TFIBXSQLVAR::AsGuid() const {
  TGUID guid;
  if (IsNull() || !IsText(SQLType()) || record_->sqldata == nullptr) return guid;
  const String bytes = RawText();
  std::memcpy(static_cast<void*>(&guid), bytes.data(), std::min(bytes.size(), sizeof guid));
  return guid;
}

String TFIBXSQLVAR::AsString() const {
  if (IsNull()) return String();
  switch (SQLType()) {
    case SQL_BOOLEAN:
    case SQL_BOOLEAN16:
      return BoolToStr(RawBoolean() == 1, true);
    case SQL_INT64:
      return ScaledText(RawInteger(), -Scale(), FormatSettings.DecimalSeparator);
    case SQL_TYPE_DATE:
      return DateToStr(AsDateTime());
    case SQL_TYPE_TIME:
      return TimeToStr(AsDateTime());
    case SQL_TIMESTAMP:
      return DateTimeToStr(AsDateTime());
    case SQL_ARRAY:
      return "(ARRAY)";
    case SQL_LONG:
    case SQL_SHORT:
      return Scale() == 0 ? IntToStr(RawInteger()) : FloatToStr(AsDouble());
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_D_FLOAT:
      return FloatToStr(AsDouble());
    case SQL_TEXT:
    case SQL_VARYING: {
      // Texts arrive in the attachment's character set; on a Unicode
      // attachment that is UTF-8, the system's own code page.
      String s = RawText();
      if (query_ != nullptr && query_->options_.Contains(qoTrimCharFields)) DoTrimRight(s);
      return s;
    }
    case SQL_BLOB:
      if (value_stream_) {
        String s(static_cast<size_t>(value_stream_->Size()), '\0');
        if (!s.empty()) std::memcpy(s.data(), value_stream_->Memory(), s.size());
        return s;
      }
      if (parent_->IsParameterArea()) return "(BLOB)";
      return ReadBlobText();
    default:
      ConversionError();
  }
}

WideString TFIBXSQLVAR::AsWideString() const {
  if (has_wide_value_) return wide_value_;
  return Utf8ToWide(AsString());
}

Variant TFIBXSQLVAR::AsVariant() const {
  if (IsNull()) return Null();
  switch (SQLType()) {
    case SQL_INT64:
      if (Scale() == 0) return Variant(static_cast<Int64>(RawInteger()));
      return Variant(AsDouble());
    case SQL_BOOLEAN:
    case SQL_BOOLEAN16:
      return Variant(RawBoolean() == 1);
    case SQL_ARRAY:
      return Variant("(Array)");
    case SQL_BLOB:
      return Variant(AsString());
    case SQL_LONG:
    case SQL_SHORT:
      if (Scale() != 0) return Variant(AsDouble());
      return Variant(static_cast<Integer>(RawInteger()));
    case SQL_TEXT:
    case SQL_VARYING: {
      TFIBDatabase* db = Database();
      if (db != nullptr && db->UnicodeCharSetIDs().test(static_cast<size_t>(record_->sqlsubtype & 0xFF)))
        return Variant(AsWideString());
      return Variant(AsString());
    }
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_D_FLOAT:
      return Variant(AsDouble());
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIME:
    case SQL_TYPE_DATE:
      return VarFromDateTime(AsDateTime());
    case SQL_NULL:
      return Null();
    default:
      ConversionError();
  }
}

// ===========================================================================
// Setters

void TFIBXSQLVAR::SetAsShort(SmallInt Value) { SetTyped(SQL_SHORT, sizeof Value, &Value); }

void TFIBXSQLVAR::SetAsInteger(Integer Value) { SetTyped(SQL_LONG, sizeof Value, &Value); }

void TFIBXSQLVAR::SetAsInt64(Int64 Value) {
  if (Dialect() < 3) {
    // Dialect 1 has no 64-bit integers: a value beyond 32 bits does not fit.
    if (Value < INT32_MIN || Value > INT32_MAX) ConversionError();
    SetAsInteger(static_cast<Integer>(Value));
    return;
  }
  SetTyped(SQL_INT64, sizeof Value, &Value);
}

void TFIBXSQLVAR::SetAsDouble(double Value) { SetTyped(SQL_DOUBLE, sizeof Value, &Value); }

void TFIBXSQLVAR::SetAsExtended(double Value) {
  if (Dialect() < 3) {
    SetAsDouble(Value);
    return;
  }
  if (!std::isfinite(Value)) ConversionError();
  // The shortest decimal form of the value: mantissa digits M and exponent E
  // (Value = 0.M x 10^(E+1)).
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(Value), std::chars_format::scientific);
  const String text(buf, res.ptr);
  const size_t e = text.find('e');
  String mantissa = text.substr(0, e);
  mantissa.erase(std::remove(mantissa.begin(), mantissa.end(), '.'), mantissa.end());
  const int exponent = std::atoi(text.c_str() + e + 1);
  const UInt64 m = std::strtoull(mantissa.c_str(), nullptr, 10);
  const int intDigits = m == 0 || exponent < 0 ? 0 : exponent + 1;
  const int scale = intDigits - 18;
  // value = M x 10^(exponent - digits + 1 - scale)
  const int shift = exponent - static_cast<int>(mantissa.size()) + 1 - scale;
  Int64 v;
  if (shift >= 0) {
    if (shift > 18 || __builtin_mul_overflow(static_cast<Int64>(m), kPow10[static_cast<size_t>(shift)], &v))
      ConversionError();
  } else {
    v = DivRoundEven(static_cast<Int64>(m), -shift);
  }
  if (Value < 0) v = -v;
  SetTyped(SQL_INT64, sizeof v, &v, static_cast<short>(scale));
}

void TFIBXSQLVAR::SetAsCurrency(Currency Value) {
  if (Dialect() < 3) {
    SetAsDouble(static_cast<double>(Value.Value) / 10000.0);
    return;
  }
  SetTyped(SQL_INT64, sizeof Value.Value, &Value.Value, -4);
}

void TFIBXSQLVAR::SetAsBcd(const TBcd& Value) {
  if (Dialect() < 3) {
    double d;
    if (!BcdToExtended(Value, d)) ConversionError();
    SetAsExtended(d);
    return;
  }
  Int64 v;
  int places;
  if (!BcdToInt64(Value, v, places)) ConversionError();
  SetTyped(SQL_INT64, sizeof v, &v, static_cast<short>(-places));
}

void TFIBXSQLVAR::SetAsScaled(Int64 Value, Integer Scale) {
  if (Scale > 0 || Scale < -18) ConversionError();
  if (Dialect() < 3) {
    // Dialect 1 scales 32-bit values: both exact, the quotient is the
    // decimal value correctly rounded.
    SetAsDouble(static_cast<double>(Value) / Pow10(-Scale));
    return;
  }
  SetTyped(SQL_INT64, sizeof Value, &Value, static_cast<short>(Scale));
}

void TFIBXSQLVAR::SetAsTimeStamp(const TTimeStamp& Value) {
  ISC_TIMESTAMP ts;
  ts.timestamp_date = Value.Date - kTimeStampDateOffset;
  ts.timestamp_time = static_cast<ISC_TIME>(Value.Time) * kTimeUnitsPerMSec;
  SetTyped(SQL_TIMESTAMP, sizeof ts, &ts);
}

void TFIBXSQLVAR::SetAsDateTime(TDateTime Value) {
  ISC_TIMESTAMP ts;
  if (!TryDateTimeToServer(Value, ts.timestamp_date, ts.timestamp_time)) ConversionError();
  SetTyped(SQL_TIMESTAMP, sizeof ts, &ts);
}

void TFIBXSQLVAR::SetAsDate(TDateTime Value) { SetAsDateTime(std::trunc(Value)); }

void TFIBXSQLVAR::SetAsBoolean(bool Value) {
  const Integer declared = DeclaredType();
  if (declared == SQL_BOOLEAN) {
    const unsigned char b = Value ? 1 : 0;
    SetTyped(SQL_BOOLEAN, 1, &b);
  } else if (declared == SQL_BOOLEAN16) {
    const int16_t b = Value ? 1 : 0;
    SetTyped(SQL_BOOLEAN16, 2, &b);
  } else {
    SetAsShort(Value ? 1 : 0);
    if (declared == 0) {
      // Before the types are known: a BOOLEAN parameter takes it as one.
      type_unknown_ = true;
      parent_->types_pending_ = true;
    }
  }
}

void TFIBXSQLVAR::SetAsQuad(const ISC_QUAD& Value) {
  const bool isArray = SQLType() == SQL_ARRAY || DeclaredType() == SQL_ARRAY;
  SetTyped(isArray ? SQL_ARRAY : SQL_BLOB, sizeof Value, &Value);
}

void TFIBXSQLVAR::SetAsGuid(const TGUID& Value) { SetTyped(SQL_TEXT, sizeof Value, &Value); }

void TFIBXSQLVAR::SetAsString(const String& Value) { AssignString(&Value, nullptr, TStringMode::Ansi); }

void TFIBXSQLVAR::SetAsWideString(const WideString& Value) { AssignString(nullptr, &Value, TStringMode::Wide); }

void TFIBXSQLVAR::AssignString(const String* Ansi, const WideString* Wide, TStringMode Mode) {
  Integer type = DeclaredType();
  const Integer subType = DeclaredSubType();
  const Integer scale = DeclaredScale();
  const bool convert = NeedUnicodeConvert();
  // On a Unicode attachment text for every character set but NONE and
  // OCTETS is UTF-8 and marked so; the server transliterates.
  bool utf8 = false;
  if (!literal_) {
    utf8 =
        (convert && IsText(type) && (subType & 0xFF) >= 2) || (Mode == TStringMode::ByDeclaredType && type == SQL_BLOB);
  }
  if (type == 0 && convert) {
    type_unknown_ = true;
    parent_->types_pending_ = true;
  }
  String text = Wide != nullptr ? WideToUtf8(*Wide) : *Ansi;
  if (text.size() > kMaxTextLength) {
    if (Mode == TStringMode::Wide)
      throw Exception("%s. Value for WideString Parameter \"%s\" too long", {CmpFullName(query_), name_});
    type = SQL_BLOB;
  }
  if (type == SQL_BLOB) {
    SetValue([&](TFIBXSQLVAR* v) {
      v->WriteBlobStream(text.data(), static_cast<Int64>(text.size()), static_cast<short>(subType),
                         static_cast<short>(scale), false);
    });
  } else if (name_ == "DB_KEY" || name_ == "RDB$DB_KEY") {
    // Raw key bytes: in the described text's length (zero-padded); before
    // the statement is described, or for a longer key, in the key's own.
    Integer length = std::max<Integer>(record_->sqllen, 0);
    if (SQLType() != SQL_TEXT || length < static_cast<Integer>(text.size())) length = static_cast<Integer>(text.size());
    String raw = text;
    raw.resize(static_cast<size_t>(length), '\0');
    SetTyped(SQL_TEXT, length, raw.data());
  } else if (text.empty() && (IsNumeric(type) || IsDateTime(type))) {
    SetIsNull(true);
  } else {
    if (IsNumeric(type) && !literal_) {
      const char sep = FormatSettings.DecimalSeparator;
      for (char& c : text) {
        if (c == ',' || (sep != ',' && sep != '.' && c == sep)) c = '.';
      }
    }
    // UTF-8 text is marked as such: UTF8 (4) on Firebird, whose UNICODE_FSS
    // (3) would not take characters of four bytes.
    const short mark = Database() != nullptr && Database()->IsFirebirdConnect() ? 4 : 3;
    SetTyped(SQL_TEXT, static_cast<Integer>(text.size()), text.data(), 0, utf8 ? mark : -1);
  }
  if (Wide != nullptr) {
    SetValue([Wide](TFIBXSQLVAR* v) {
      v->wide_value_ = *Wide;
      v->has_wide_value_ = true;
    });
  }
}

void TFIBXSQLVAR::ReassignByDeclaredType() {
  const Integer type = SQLType();
  const Integer declared = DeclaredType();
  if (IsNull() || declared == 0) return;
  if (IsText(type)) {
    const String text = AsString();
    AssignString(has_wide_value_ ? nullptr : &text, has_wide_value_ ? &wide_value_ : nullptr,
                 TStringMode::ByDeclaredType);
  } else if (type == SQL_BLOB) {
    TFIBDatabase* db = Database();
    const Integer cs = DeclaredScale();
    if (db != nullptr && db->NeedUnicodeConvert() && DeclaredSubType() == 1 && cs >= 0 && cs < 256 &&
        db->UnicodeCharSetIDs().test(static_cast<size_t>(cs))) {
      const String text = AsString();
      AssignString(&text, nullptr, TStringMode::ByDeclaredType);
    }
  } else if (IsNumeric(type) && type != SQL_D_FLOAT && IsDateTime(declared)) {
    AssignDeclaredDateTime(AsDouble());
  } else if ((type == SQL_SHORT || type == SQL_LONG) && Scale() == 0 && IsBoolean(declared)) {
    // A Boolean given before the type was known went as 0 or 1.
    const Int64 v = RawInteger();
    if (v == 0 || v == 1) SetAsBoolean(v == 1);
  }
}

void TFIBXSQLVAR::AssignDeclaredDateTime(TDateTime Value) {
  const Integer declared = DeclaredType();
  if (declared == SQL_TYPE_TIME)
    SetAsTime(Value);
  else if (declared == SQL_TYPE_DATE)
    SetAsDate(Value);
  else
    SetAsDateTime(Value);
}

void TFIBXSQLVAR::SetAsVariant(const Variant& Value) {
  const TVarType vt = Value.VarType();
  if (vt == varEmpty || vt == varNull) {
    SetIsNull(true);
    return;
  }
  const Integer declared = DeclaredType();
  if (declared == 0) {
    parent_->types_pending_ = true;
    type_unknown_ = true;
  }
  if ((vt & varArray) != 0) {
    if (SQLType() == SQL_ARRAY || declared == SQL_ARRAY) {
      WriteArray(Value);
    } else if (SQLType() == SQL_BLOB || declared == SQL_BLOB) {
      TMemoryStream stream;
      VarArrayToStream(Value, &stream);
      LoadFromStream(&stream);
    } else {
      RaiseClientError(fceNotPermitted);
    }
    return;
  }
  // Numbers for a TIMESTAMP or DATE are date-time values (bytes excepted).
  const bool number = vt == varSmallint || vt == varInteger || vt == varSingle || vt == varDouble ||
                      vt == varCurrency || vt == varShortInt || vt == varWord || vt == varLongWord || vt == varInt64 ||
                      vt == varFMTBcd;
  if (number && (declared == SQL_TIMESTAMP || declared == SQL_TYPE_DATE)) {
    AssignDeclaredDateTime(Value.AsDouble());
    return;
  }
  switch (vt) {
    case varByte:
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varWord:
      SetAsInteger(Value.AsInteger());
      break;
    case varLongWord:
      if (Value.AsInt64() > INT32_MAX)
        SetAsInt64(Value.AsInt64());  // would not fit a LONG
      else
        SetAsInteger(Value.AsInteger());
      break;
    case varInt64:
      SetAsInt64(Value.AsInt64());
      break;
    case varSingle:
    case varDouble:
      SetAsDouble(Value.AsDouble());
      break;
    case varCurrency:
      SetAsCurrency(Value.AsCurrency());
      break;
    case varFMTBcd:
      SetAsBcd(VarToBcd(Value));
      break;
    case varDate:
      AssignDeclaredDateTime(Value.AsDateTime());
      break;
    case varOleStr:
      SetAsWideString(Value.AsWideString());
      break;
    case varString:
      SetAsString(Value.AsString());
      break;
    case varBoolean:
      if (IsBoolean(declared))
        SetAsBoolean(Value.AsBoolean());
      else
        SetAsInteger(Value.AsBoolean() ? 1 : 0);
      break;
    default:
      RaiseClientError(fceNotPermitted);
  }
}

void TFIBXSQLVAR::LoadFromStream(TStream* Stream) {
  TMemoryStream content;
  content.LoadFromStream(Stream);
  SetValue([&](TFIBXSQLVAR* v) { v->WriteBlobStream(content.Memory(), content.Size(), 0, 0, true); });
}

void TFIBXSQLVAR::AssignBlob(TFIBXSQLVAR* Source) {
  if (Source->IsNull()) {
    SetIsNull(true);
    return;
  }
  const Integer source = Source->SQLType(), target = SQLType();
  if (source == SQL_ARRAY || target == SQL_ARRAY) return;
  if (source != SQL_BLOB && target != SQL_BLOB) {
    const XSQLVAR* record = Source->record_;
    SetValue([record](TFIBXSQLVAR* v) { v->WriteCopy(record); });
    return;
  }
  CopyBlobValue(Source);
}

void TFIBXSQLVAR::RaiseNotArray() const { RaiseClientError(fceNotArrayField, {RelationName() + "." + SqlName()}); }
