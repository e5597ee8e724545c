#include "dataaccess/core/pFIBArray.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "dataaccess/core/VariantRtn.h"
#include "dataaccess/core/fib.h"
#include "platform/rtl/SysUtils.h"

namespace {

Int64 Power10(Integer Exponent) {
  Int64 p = 1;
  for (Integer i = 0; i < Exponent; ++i) p *= 10;
  return p;
}

// Longest text element the slice carries.
constexpr Integer kMaxTextElement = 32765;

[[noreturn]] void ConversionError() { RaiseClientError(fceInvalidDataConversion); }

// A scaled integer of the slice as a variant.
Variant ScaledValue(Int64 Raw, Integer Scale, bool Wide) {
  if (Scale == 0) return Wide ? Variant(Raw) : Variant(static_cast<Integer>(Raw));
  if (Wide && Scale <= 4) {
    Int64 raw = 0;
    if (!__builtin_mul_overflow(Raw, Power10(4 - Scale), &raw)) return Variant(Currency::FromRaw(raw));
  }
  return Variant(static_cast<double>(Raw) / static_cast<double>(Power10(Scale)));
}

// A variant as a scaled integer within [Low, High]; client error 33 outside.
Int64 ScaledInteger(const Variant& V, Integer Scale, Int64 Low, Int64 High) {
  Int64 value = 0;
  const TVarType type = VarType(V);
  if (type == varCurrency && Scale <= 4) {
    const Int64 raw = V.AsCurrency().Value;
    const Int64 divisor = Power10(4 - Scale);
    value = raw / divisor;
    const Int64 rest = raw % divisor;
    if (2 * std::llabs(rest) >= divisor) value += raw < 0 ? -1 : 1;  // half away from zero
  } else if (VarIsOrdinal(V) && type != varBoolean) {
    if (__builtin_mul_overflow(V.AsInt64(), Power10(Scale), &value)) ConversionError();
  } else {
    const double x = std::round(V.AsDouble() * static_cast<double>(Power10(Scale)));
    if (!(x >= -9.2e18 && x <= 9.2e18)) ConversionError();
    value = static_cast<Int64>(x);
  }
  if (value < Low || value > High) ConversionError();
  return value;
}

template <class T>
T Load(const Byte* P) {
  T v;
  std::memcpy(&v, P, sizeof v);
  return v;
}

template <class T>
void Store(Byte* P, T V) {
  std::memcpy(P, &V, sizeof V);
}

Variant DateTimeValue(ISC_DATE Date, ISC_TIME Time) { return VarFromDateTime(ServerDateTimeToDateTime(Date, Time)); }

// A variant's date and time as the server keeps them; client error 33
// outside the calendar.
ISC_TIMESTAMP ServerDateTime(const Variant& V) {
  ISC_TIMESTAMP ts;
  if (!TryDateTimeToServer(V.AsDateTime(), ts.timestamp_date, ts.timestamp_time)) ConversionError();
  return ts;
}

// One element of the slice as a variant (Length: the descriptor's length).
Variant ReadElement(const Byte* P, Byte DataType, Integer Scale, Integer Length) {
  switch (DataType) {
    case blr_short: return ScaledValue(Load<int16_t>(P), Scale, false);
    case blr_long: return ScaledValue(Load<int32_t>(P), Scale, false);
    case blr_int64: return ScaledValue(Load<int64_t>(P), Scale, true);
    case blr_float: return Variant(static_cast<double>(Load<float>(P)));
    case blr_double:
    case blr_d_float: return Variant(Load<double>(P));
    case blr_sql_date: return DateTimeValue(Load<ISC_DATE>(P), 0);
    case blr_sql_time: return DateTimeValue(kServerDateOfDateTimeZero, Load<ISC_TIME>(P));
    case blr_timestamp: return DateTimeValue(Load<ISC_DATE>(P), Load<ISC_TIME>(P + sizeof(ISC_DATE)));
    case blr_text: return Variant(String(reinterpret_cast<const char*>(P), static_cast<size_t>(Length)));
    case blr_varying: {
      const auto* text = reinterpret_cast<const char*>(P);
      return Variant(String(text, strnlen(text, static_cast<size_t>(Length) + 2)));
    }
    default: RaiseClientError(fceUnknownSQLDataType, {static_cast<Integer>(DataType)});
  }
}

// One variant into its slot of the slice; Empty and Null leave it zero.
void WriteElement(Byte* P, Byte DataType, Integer Scale, Integer Length, const Variant& V) {
  if (VarIsEmpty(V) || VarIsNull(V)) return;
  switch (DataType) {
    case blr_short: Store(P, static_cast<int16_t>(ScaledInteger(V, Scale, INT16_MIN, INT16_MAX))); break;
    case blr_long: Store(P, static_cast<int32_t>(ScaledInteger(V, Scale, INT32_MIN, INT32_MAX))); break;
    case blr_int64: Store(P, ScaledInteger(V, Scale, INT64_MIN, INT64_MAX)); break;
    case blr_float: Store(P, static_cast<float>(V.AsDouble())); break;
    case blr_double:
    case blr_d_float: Store(P, V.AsDouble()); break;
    case blr_sql_date: Store(P, ServerDateTime(V).timestamp_date); break;
    case blr_sql_time: Store(P, ServerDateTime(V).timestamp_time); break;
    case blr_timestamp: Store(P, ServerDateTime(V)); break;
    case blr_text:
    case blr_varying: {
      const String s = VarToStr(V);
      if (s.size() > static_cast<size_t>(Length)) ConversionError();
      if (DataType == blr_varying && s.find('\0') != String::npos) ConversionError();
      if (DataType == blr_text) std::memset(P, ' ', static_cast<size_t>(Length));
      std::memcpy(P, s.data(), s.size());  // a VARCHAR slot is zero: the text ends there
      break;
    }
    default: RaiseClientError(fceUnknownSQLDataType, {static_cast<Integer>(DataType)});
  }
}

// Bytes of the column's characters in the attachment's character set, which
// the engine converts text elements into (a NONE column over a UTF8
// attachment takes four bytes a character); 0 when the server does not say.
Integer AttachmentTextLength(IIBClientLibrary* Lib, isc_db_handle* DBHandle, isc_tr_handle* TRHandle,
                             const String& Relation, const String& Column) {
  ISC_STATUS_ARRAY status{};
  const char item = frb_info_att_charset;
  char answer[16] = {};
  if (Lib->isc_database_info(status, DBHandle, 1, &item, sizeof answer, answer) > 0 || answer[0] != item) return 0;
  const Integer charset = Lib->isc_vax_integer(answer + 3, static_cast<short>(Lib->isc_vax_integer(answer + 1, 2)));
  const auto literal = [](const String& Name) {
    String quoted = "'";
    for (char c : Name) quoted += c == '\'' ? String("''") : String(1, c);
    return quoted + "'";
  };
  const String sql =
      "select f.RDB$CHARACTER_LENGTH, cs.RDB$BYTES_PER_CHARACTER from RDB$RELATION_FIELDS rf "
      "join RDB$FIELDS f on f.RDB$FIELD_NAME = rf.RDB$FIELD_SOURCE "
      "join RDB$CHARACTER_SETS cs on cs.RDB$CHARACTER_SET_ID = " + IntToStr(charset) +
      " where rf.RDB$RELATION_NAME = " + literal(Relation) + " and rf.RDB$FIELD_NAME = " + literal(Column);
  alignas(XSQLDA) Byte block[DescriptorAreaSize(2)] = {};
  auto* out = reinterpret_cast<XSQLDA*>(block);
  out->version = SQLDA_VERSION1;
  out->sqln = out->sqld = 2;
  ISC_LONG values[2] = {};
  ISC_SHORT nulls[2] = {-1, -1};  // no row: both NULL
  for (int i = 0; i < 2; ++i) {
    out->sqlvar[i].sqltype = SQL_LONG | 1;
    out->sqlvar[i].sqllen = sizeof(ISC_LONG);
    out->sqlvar[i].sqldata = reinterpret_cast<ISC_SCHAR*>(&values[i]);
    out->sqlvar[i].sqlind = &nulls[i];
  }
  if (Lib->isc_dsql_exec_immed2(status, DBHandle, TRHandle, 0, sql.c_str(), 1, nullptr, out) > 0) return 0;
  if (nulls[0] != 0 || nulls[1] != 0) return 0;
  return values[0] * values[1];
}

TFieldType FieldTypeOf(Byte DataType) {
  switch (DataType) {
    case blr_short: return ftSmallint;
    case blr_long: return ftInteger;
    case blr_float:
    case blr_d_float:
    case blr_double: return ftFloat;
    case blr_sql_date: return ftDate;
    case blr_sql_time: return ftTime;
    case blr_text:
    case blr_varying: return ftString;
    case blr_int64: return ftBCD;
    case blr_timestamp: return ftDateTime;
    default: return ftUnknown;
  }
}

}  // namespace

TpFIBArray::TpFIBArray(IIBClientLibrary* ClientLibrary, const String& Relation, const String& Column,
                       isc_db_handle* DBHandle, isc_tr_handle* TRHandle, XSQLVAR* OwnerRecord)
    : client_library_(ClientLibrary), owner_record_(OwnerRecord), relation_(Relation), column_(Column) {
  if (ClientLibrary->isc_array_lookup_bounds(StatusVector(), DBHandle, TRHandle, relation_.c_str(), column_.c_str(),
                                             &desc_) > 0)
    RaiseStatusError(ClientLibrary, nullptr);
  element_type_ = FieldTypeOf(desc_.array_desc_dtype);
  if (desc_.array_desc_dtype == blr_text || desc_.array_desc_dtype == blr_varying) {
    // The descriptor counts the column's own bytes; the engine hands text
    // over in the attachment's. The longer of the two holds both ways.
    const Integer length = std::min<Integer>(
        AttachmentTextLength(ClientLibrary, DBHandle, TRHandle, relation_, column_), kMaxTextElement);
    if (length > desc_.array_desc_length) desc_.array_desc_length = static_cast<unsigned short>(length);
  }
}

ISC_ARRAY_BOUND TpFIBArray::Bounds(Integer Dimension) const {
  if (Dimension < 0 || Dimension >= DimensionCount())
    RaiseClientError(fceArrayDimensionMissing, {Dimension, FullName()});
  return desc_.array_desc_bounds[Dimension];
}

Integer TpFIBArray::ElementSize() const {
  return desc_.array_desc_length + (desc_.array_desc_dtype == blr_varying ? 2 : 0);
}

Integer TpFIBArray::SliceSize() const {
  Integer size = ElementSize();
  for (Integer d = 0; d < DimensionCount(); ++d)
    size *= desc_.array_desc_bounds[d].array_bound_upper - desc_.array_desc_bounds[d].array_bound_lower + 1;
  return size;
}

Variant TpFIBArray::GetArrayValues(const ISC_QUAD& ArrayID, isc_db_handle* DBHandle, isc_tr_handle* TRHandle) {
  std::vector<Integer> bounds;
  for (Integer d = 0; d < DimensionCount(); ++d) {
    bounds.push_back(desc_.array_desc_bounds[d].array_bound_lower);
    bounds.push_back(desc_.array_desc_bounds[d].array_bound_upper);
  }
  Variant result = VarArrayCreateBounds(bounds, DimensionCount(), varVariant);

  const Integer slice_size = SliceSize();
  std::vector<Byte> buffer(static_cast<size_t>(slice_size) + 1);
  ISC_QUAD id = ArrayID;
  ISC_LONG length = slice_size;
  if (client_library_->isc_array_get_slice(StatusVector(), DBHandle, TRHandle, &id, &desc_, buffer.data(), &length) > 0)
    RaiseStatusError(client_library_.get(), nullptr);

  const Integer element_size = ElementSize();
  const Integer filled = std::clamp<ISC_LONG>(length, 0, slice_size);
  Integer at = 0;
  ForEachElementPut(result, [&](Variant& Value, std::span<const Integer>, bool&) {
    if (at + element_size <= filled)
      Value = ReadElement(buffer.data() + at, desc_.array_desc_dtype, Scale(), desc_.array_desc_length);
    at += element_size;
  });
  return result;
}

void TpFIBArray::PutArray(const Variant& Value, ISC_QUAD& ArrayID, isc_db_handle* DBHandle, isc_tr_handle* TRHandle) {
  const Integer dims = VarArrayDimCount(Value);
  if (dims == 0 || dims > DimensionCount()) RaiseClientError(fceArrayDimensionMissing, {dims, FullName()});

  const Integer slice_size = SliceSize();
  std::vector<Byte> buffer(static_cast<size_t>(slice_size) + 1);
  const Integer element_size = ElementSize();
  Integer at = 0;
  ForEachElementGet(Value, [&](const Variant& Element, std::span<const Integer>, bool&) {
    if (at + element_size > slice_size) throw EVariantBadIndexError("Variant array index out of bounds.");
    WriteElement(buffer.data() + at, desc_.array_desc_dtype, Scale(), desc_.array_desc_length, Element);
    at += element_size;
  });

  ISC_QUAD id = ArrayID;
  ISC_LONG length = slice_size;
  if (client_library_->isc_array_put_slice(StatusVector(), DBHandle, TRHandle, &id, &desc_, buffer.data(), &length) > 0)
    RaiseStatusError(client_library_.get(), nullptr);
  ArrayID = id;
}

ISC_QUAD TpFIBArray::FieldArrayID(TField* Field) const {
  const int size = Field->DataSize();
  if (size < static_cast<int>(sizeof(ISC_QUAD))) RaiseClientError(fceNotArrayField, {Field->FieldName()});
  std::vector<Byte> data(static_cast<size_t>(size));
  ISC_QUAD id{0, 0};
  if (Field->GetData(data.data())) std::memcpy(&id, data.data(), sizeof id);
  return id;
}

Variant TpFIBArray::GetFieldArrayValues(TField* Field, isc_db_handle* DBHandle, isc_tr_handle* TRHandle) {
  return GetArrayValues(FieldArrayID(Field), DBHandle, TRHandle);
}

void TpFIBArray::SetFieldArrayValues(const Variant& Value, TField* Field, isc_db_handle* DBHandle,
                                     isc_tr_handle* TRHandle) {
  ISC_QUAD id = FieldArrayID(Field);
  PutArray(Value, id, DBHandle, TRHandle);
  std::vector<Byte> data(static_cast<size_t>(Field->DataSize()));
  std::memcpy(data.data(), &id, sizeof id);
  Field->SetData(data.data());
}
