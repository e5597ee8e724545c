// The field classes of the dataset unit and the cache model options.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/FIBDataSet_Internal.h"
#include "platform/db/DBConsts.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/Streams.h"

using fibdataset_internal::BcdToScaled;
using fibdataset_internal::DoubleToScaled;
using fibdataset_internal::PowerOfTen;
using fibdataset_internal::RescaleInt64;
using fibdataset_internal::ScaledToBcd;

namespace {

// The select column of a data field, or nullptr.
TFIBXSQLVAR* SelectColumnOf(TField* Field) {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(Field->DataSet());
  if (ds == nullptr || Field->FieldNo() < 1 || ds->SelectQuery() == nullptr) return nullptr;
  TFIBXSQLDA* out = ds->SelectQuery()->Fields();
  return Field->FieldNo() <= out->Count() ? out->Vars(Field->FieldNo() - 1) : nullptr;
}

// Runs F with the field's dataset in its old-value state.
template <class F>
auto WithOldValues(TField* Field, F f) {
  TDataSet* ds = Field->DataSet();
  const TDataSetState saved = ds->SetTempState(dsOldValue);
  try {
    auto result = f();
    ds->RestoreState(saved);
    return result;
  } catch (...) {
    ds->RestoreState(saved);
    throw;
  }
}

[[noreturn]] void RaiseOutOfRange(TField* Field) { throw EOverflow(Format(SFieldOutOfRange, {Field->DisplayName()})); }

// Text in well-formed UTF-8 (shortest forms, no surrogates, no code points
// beyond U+10FFFF) that does not begin with a byte order mark: the text a
// trip through UTF-16 gives back unchanged.
bool RoundTripsUtf8(const String& Text) {
  const auto* p = reinterpret_cast<const unsigned char*>(Text.data());
  const unsigned char* end = p + Text.size();
  if (Text.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) return false;
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int more;
    unsigned char low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) more = 1;
    else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (end - p <= more || p[1] < low || p[1] > high) return false;
    for (int i = 2; i <= more; ++i)
      if ((p[i] & 0xC0) != 0x80) return false;
    p += more + 1;
  }
  return true;
}

}  // namespace

bool DefaultValueEmptyStringOf(TField* Field) {
  // Only text fields have one (the type tells without a cast).
  if (!ftStringTypes.Contains(Field->DataType())) return false;
  if (auto* text = dynamic_cast<TFIBStringField*>(Field)) return text->DefaultValueEmptyString();
  if (auto* wide = dynamic_cast<TFIBWideStringField*>(Field)) return wide->DefaultValueEmptyString();
  return false;
}

void SetDefaultValueEmptyStringOf(TField* Field, bool Value) {
  if (auto* text = dynamic_cast<TFIBStringField*>(Field)) text->SetDefaultValueEmptyString(Value);
  else if (auto* wide = dynamic_cast<TFIBWideStringField*>(Field)) wide->SetDefaultValueEmptyString(Value);
}

const TFIBFieldDescr* FieldDescrOf(TField* Field) {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(Field->DataSet());
  if (ds == nullptr || Field->FieldKind() != fkData || Field->FieldNo() < 1 ||
      Field->FieldNo() > ds->FieldDescrList()->Count())
    return nullptr;
  return ds->FieldDescrList()->Items(Field->FieldNo() - 1);
}

// ===========================================================================
// TCacheModelOptions

TPersistent* TCacheModelOptions::GetOwner() { return owner_; }

void TCacheModelOptions::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TCacheModelOptions*>(Source);
  if (source == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  SetCacheModelKind(source->kind_);
  SetBufferChunks(source->buffer_chunks_);
  plan_for_desc_sqls_ = source->plan_for_desc_sqls_;
  blob_cache_limit_ = source->blob_cache_limit_;
}

void TCacheModelOptions::SetBufferChunks(Integer Value) {
  owner_->CheckInactive();
  if (Value <= 0) Value = 32;
  if (kind_ == cmkLimitedBufferSize && Value < 100) Value = 100;
  buffer_chunks_ = Value;
}

void TCacheModelOptions::SetCacheModelKind(TCacheModelKind Value) {
  if (Value == kind_) return;
  owner_->CheckInactive();
  if (Value == cmkStandard) {
    owner_->limited_position_.reset();
  } else {
    const bool reading = owner_->IsLoading() || owner_->ComponentState().Contains(csReading);
    if (!reading && !owner_->CanUseLimitedCache()) RaiseClientError(fceLimitedCacheNotUsable, {CmpFullName(owner_)});
    if (buffer_chunks_ < 100) buffer_chunks_ = 100;
    if (!owner_->limited_position_) owner_->limited_position_ = std::make_unique<TFIBCustomDataSet::TLimitedPosition>();
  }
  kind_ = Value;
}

// ===========================================================================
// TFIBStringField

TFIBStringField::TFIBStringField(TComponent* AOwner) : TStringField(AOwner) {}
TFIBStringField::~TFIBStringField() = default;

void TFIBStringField::CheckTypeSize(int /*Value*/) {}

void TFIBStringField::SetDataSet(TDataSet* ADataSet) {
  TStringField::SetDataSet(ADataSet);
  if (auto* ds = dynamic_cast<TFIBCustomDataSet*>(ADataSet))
    empty_str_to_null_ = ds->PrepareOptions().Contains(psSetEmptyStrToNull);
}

void TFIBStringField::SetSize(int Value) {
  value_buffer_.reset();
  TStringField::SetSize(Value);
}

void TFIBStringField::Clear() { SetData(nullptr); }

Integer TFIBStringField::CharSetID() {
  if (char_set_id_ < 0)
    if (TFIBXSQLVAR* column = SelectColumnOf(this)) char_set_id_ = column->SQLSubtype() & 0xFF;
  return char_set_id_;
}

bool TFIBStringField::UnicodeText() {
  auto* ds = dynamic_cast<TFIBDataSet*>(DataSet());
  return ds != nullptr && ds->NeedUnicodeConvert() && CharSetID() >= 2;
}

bool TFIBStringField::GetValue(String& Value) {
  const auto size = static_cast<size_t>(DataSize()) + 1;
  if (!value_buffer_) value_buffer_.reset(new char[size + 1]);
  std::memset(value_buffer_.get(), 0, size + 1);
  if (!GetData(value_buffer_.get())) return false;
  const TFIBFieldDescr* descr = FieldDescrOf(this);
  if (descr != nullptr && descr->IsDBKey) {
    // A database key as hexadecimal text, 8 digits per 4-byte group.
    Value.clear();
    for (size_t at = 0; at + 4 <= descr->DataSize && at + 4 <= size; at += 4) {
      Integer group;
      std::memcpy(&group, value_buffer_.get() + at, sizeof group);
      Value += Format("%-8.8x", {group});
    }
    return true;
  }
  // UTF-8 on the server is this system's own text: nothing to decode.
  Value.assign(value_buffer_.get(), strnlen(value_buffer_.get(), size));
  return true;
}

void TFIBStringField::SetAsString(const String& Value) {
  const size_t length = strnlen(Value.c_str(), Value.size());
  size_t n = std::min(length, static_cast<size_t>(std::max(Size(), 0)));
  while (n > 0 && n < length && (static_cast<unsigned char>(Value[n]) & 0xC0) == 0x80) --n;
  value_length_ = static_cast<Integer>(n);
  writing_ = true;
  try {
    TStringField::SetAsString(Value);
  } catch (...) {
    writing_ = false;
    throw;
  }
  writing_ = false;
}

// ===========================================================================
// TFIBWideStringField

void TFIBWideStringField::Bind(bool Binding) {
  data_size_ = -1;
  TWideStringField::Bind(Binding);
}

int TFIBWideStringField::GetDataSize() {
  if (data_size_ >= 0) return data_size_;
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(DataSet());
  if (ds != nullptr && FieldKind() == fkData && FieldNo() >= 1) {
    if (!ds->Prepared() && ds->Database() != nullptr && ds->Database()->Connected()) ds->Prepare();
    if (TFIBXSQLVAR* column = SelectColumnOf(this)) {
      const Integer charSet = column->SQLSubtype() & 0xFF;
      TFIBDatabase* db = ds->Database();
      if (db != nullptr && db->UnicodeCharSetIDs().test(static_cast<size_t>(charSet))) {
        const int size = Size() * db->BytesPerCharacter(charSet) + 1;
        // The column stays while the cursor is open (Bind starts afresh).
        if (ds->Opened()) data_size_ = size;
        return size;
      }
    }
  }
  return Size() * 3 + 1;
}

bool TFIBWideStringField::GetValue(String& Value) {
  if (dynamic_cast<TFIBCustomDataSet*>(DataSet()) == nullptr) return TWideStringField::GetValue(Value);
  const auto size = static_cast<size_t>(DataSize());
  Value.assign(size + 1, '\0');
  if (!GetData(Value.data())) {
    Value.clear();
    return false;
  }
  Value.resize(strnlen(Value.data(), size));
  return true;
}

String TFIBWideStringField::GetAsString() {
  String value;
  return GetValue(value) ? value : String();
}

void TFIBWideStringField::SetAsString(const String& Value) {
  if (dynamic_cast<TFIBCustomDataSet*>(DataSet()) == nullptr || !RoundTripsUtf8(Value)) {
    TWideStringField::SetAsString(Value);
    return;
  }
  // The record's form of the text, as the wide value would give it: the
  // UTF-8 bytes cut to whole characters, zero-filled.
  const auto size = static_cast<size_t>(std::max(DataSize(), 1));
  String native(size, '\0');
  fibdataset_internal::WriteUtf8Column(Value, native.data(), size);
  SetData(native.data());
}

// ===========================================================================
// TFIBLargeIntField

void TFIBLargeIntField::SetVarValue(const Variant& Value) {
  if (VarIsClear(Value) || VarIsNull(Value)) Clear();
  else SetAsLargeInt(Value.AsInt64());
}

Int64 TFIBLargeIntField::OldAsLargeInt() {
  if (DataSet() == nullptr || (FieldKind() != fkData && FieldKind() != fkInternalCalc)) return 0;
  return WithOldValues(this, [this] { return AsLargeInt(); });
}

// ===========================================================================
// TFIBFloatField

void TFIBFloatField::SetAsFloat(double Value) {
  int scale = 0;
  if (FieldKind() == fkCalculated || FieldKind() == fkLookup) {
    scale = -15;
  } else if (const TFIBFieldDescr* descr = FieldDescrOf(this)) {
    scale = descr->Scale;
    if (scale < 0 && (descr->SQLType == SQL_LONG || descr->SQLType == SQL_SHORT)) {
      const double limit = (descr->SQLType == SQL_LONG ? 2147483647.0 : 32767.0) / PowerOfTen(-scale);
      if (!(Value >= -limit && Value <= limit)) RangeError(Value, -limit, limit);
    }
  }
  if (round_by_scale_ && scale < 0) Value = RoundExtended(Value, -scale);
  TFloatField::SetAsFloat(Value);
}

void TFIBFloatField::GetText(String& Text, bool DisplayText) {
  TFloatField::GetText(Text, DisplayText);
  Text = Trim(Text);
}

// ===========================================================================
// TFIBBCDField

TFIBBCDField::TFIBBCDField(TComponent* AOwner) : TBCDField(AOwner) { SetSize(8); }

void TFIBBCDField::CheckTypeSize(int /*Value*/) {}

int TFIBBCDField::GetDataSize() {
  switch (FieldKind()) {
    case fkCalculated:
      return TBCDField::GetDataSize();
    case fkLookup:
      if (LookupDataSet() != nullptr)
        if (TField* result = LookupDataSet()->FindField(LookupResultField())) return result->DataSize();
      return TBCDField::GetDataSize();
    default:
      return 8;
  }
}

bool TFIBBCDField::Raw() { return FieldKind() != fkCalculated && GetDataSize() == 8; }

bool TFIBBCDField::OverInt64Column() {
  const TFIBFieldDescr* descr = FieldDescrOf(this);
  return descr != nullptr && descr->SQLType == SQL_INT64;
}

bool TFIBBCDField::GetScaled(Int64& Value, bool OldValue) {
  if (OldValue) return WithOldValues(this, [&] { return GetData(&Value); });
  return GetData(&Value);
}

void TFIBBCDField::SetScaled(Int64 Value) { SetData(&Value); }

bool TFIBBCDField::IsValueChanged() {
  Int64 current = 0, old = 0;
  const bool hasCurrent = GetScaled(current), hasOld = GetScaled(old, true);
  return hasCurrent != hasOld || (hasCurrent && current != old);
}

::Currency TFIBBCDField::GetAsCurrency() {
  if (!Raw()) return TBCDField::GetAsCurrency();
  Int64 value;
  if (!GetScaled(value)) return ::Currency();
  ::Currency result;
  if (!RescaleInt64(value, 4 - Size(), result.Value)) RaiseOutOfRange(this);
  return result;
}

double TFIBBCDField::GetAsFloat() {
  if (!Raw()) return TBCDField::GetAsFloat();
  Int64 value;
  return GetScaled(value) ? static_cast<double>(value) / PowerOfTen(Size()) : 0;
}

Int64 TFIBBCDField::GetAsLargeInt() {
  if (!Raw()) return TBCDField::GetAsLargeInt();
  Int64 value;
  if (!GetScaled(value)) return 0;
  return Size() > 18 ? 0 : value / static_cast<Int64>(PowerOfTen(Size()));
}

Integer TFIBBCDField::GetAsInteger() {
  const Int64 value = GetAsLargeInt();
  if (value < INT32_MIN || value > INT32_MAX) RangeError(static_cast<double>(value), INT32_MIN, INT32_MAX);
  return static_cast<Integer>(value);
}

TBcd TFIBBCDField::GetAsBCD() {
  if (!Raw()) return TBCDField::GetAsBCD();
  Int64 value;
  return GetScaled(value) ? ScaledToBcd(value, Size()) : NullBcd;
}

String TFIBBCDField::GetAsString() {
  if (!Raw()) return TBCDField::GetAsString();
  Int64 value;
  return GetScaled(value) ? ScaledInt64ToStr(Size(), FormatSettings.DecimalSeparator, value) : String();
}

Variant TFIBBCDField::GetAsVariant() {
  if (!Raw()) return TBCDField::GetAsVariant();
  Int64 value;
  if (!GetScaled(value)) return Null();
  if (Size() == 0) return Variant(static_cast<long long>(value));
  ::Currency c;
  if (Size() <= 4 && RescaleInt64(value, 4 - Size(), c.Value)) return Variant(c);
  // More places than a currency holds: an exact decimal.
  return VarFMTBcdCreate(ScaledToBcd(value, Size()));
}

void TFIBBCDField::GetText(String& Text, bool DisplayText) {
  if (!Raw()) {
    TBCDField::GetText(Text, DisplayText);
    return;
  }
  Int64 value;
  if (!GetScaled(value)) {
    Text.clear();
    return;
  }
  const String& format = FormatFor(DisplayText);
  const String decimal = ScaledInt64ToStr(Size(), FormatSettings.DecimalSeparator, value);
  ::Currency c;
  const bool asCurrency = RescaleInt64(value, 4 - Size(), c.Value);
  if (Size() > 0) {
    if (!format.empty()) Text = Size() == 4 && asCurrency ? FormatCurr(format, c) : FormatScaledText(format, decimal);
    else if (Currency() && asCurrency)
      Text = CurrToStrF(c, DisplayText ? ffCurrency : ffFixed, FormatSettings.CurrencyDecimals);
    else Text = decimal;
  } else {
    Text = format.empty() ? IntToStr(value) : FormatScaledText(format, IntToStr(value));
  }
}

void TFIBBCDField::SetAsCurrency(::Currency Value) {
  if (!Raw()) {
    TBCDField::SetAsCurrency(Value);
    return;
  }
  if ((MinValue().Value != 0 || MaxValue().Value != 0) && (Value < MinValue() || Value > MaxValue()))
    RangeError(Value.ToDouble(), MinValue().ToDouble(), MaxValue().ToDouble());
  Int64 scaled;
  if (!RescaleInt64(Value.Value, Size() - 4, scaled)) RaiseOutOfRange(this);
  SetScaled(scaled);
}

void TFIBBCDField::SetAsBCD(const TBcd& Value) {
  if (!Raw()) {
    TBCDField::SetAsBCD(Value);
    return;
  }
  Int64 scaled;
  if (!BcdToScaled(Value, Size(), scaled)) RaiseOutOfRange(this);
  SetScaled(scaled);
}

void TFIBBCDField::SetAsFloat(double Value) {
  if (!Raw()) {
    TBCDField::SetAsFloat(Value);
    return;
  }
  Int64 scaled;
  if (!DoubleToScaled(Value, Size(), scaled)) RaiseOutOfRange(this);
  SetScaled(scaled);
}

void TFIBBCDField::SetAsInteger(Integer Value) { SetAsLargeInt(Value); }

void TFIBBCDField::SetAsLargeInt(Int64 Value) {
  if (!Raw()) {
    TBCDField::SetAsLargeInt(Value);
    return;
  }
  Int64 scaled;
  if (!RescaleInt64(Value, Size(), scaled)) RaiseOutOfRange(this);
  SetScaled(scaled);
}

void TFIBBCDField::SetAsString(const String& Value) {
  if (FieldKind() == fkCalculated || !OverInt64Column()) {
    TBCDField::SetAsString(Value);
    return;
  }
  if (Value.empty()) {
    Clear();
    return;
  }
  if (Size() > 0) {
    TBcd bcd;
    if (!TryStrToBcd(Value, bcd)) DatabaseErrorFmt(SInvalidFloatValue, {Value, DisplayName()});
    SetAsBCD(bcd);
  } else {
    Int64 value;
    if (!TryStrToInt64(Trim(Value), value)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, DisplayName()});
    SetScaled(value);
  }
}

void TFIBBCDField::SetVarValue(const Variant& Value) {
  if (!Raw()) {
    TBCDField::SetVarValue(Value);
    return;
  }
  if (VarIsClear(Value)) {
    Clear();
    return;
  }
  if (Value.VarType() == varInt64) {
    SetAsLargeInt(Value.AsInt64());
    return;
  }
  // Exact values stay exact: currencies and decimals as BCD.
  if (Value.VarType() == varCurrency || Value.VarType() == varFMTBcd) {
    SetAsBCD(VarToBcd(Value));
    return;
  }
  Int64 scaled;
  if (!DoubleToScaled(Value.AsDouble(), Size(), scaled)) RaiseOutOfRange(this);
  SetScaled(scaled);
}

void TFIBBCDField::Assign(TPersistent* Source) {
  if (auto* source = dynamic_cast<TBCDField*>(Source)) {
    if (source->IsNull()) Clear();
    else SetAsString(source->AsString());
    return;
  }
  TBCDField::Assign(Source);
}

// ===========================================================================
// TFIBBooleanField

int TFIBBooleanField::GetDataSize() {
  const TFIBFieldDescr* descr = FieldDescrOf(this);
  return descr != nullptr ? descr->DataSize : TBooleanField::GetDataSize();
}

bool TFIBBooleanField::ReadValue(bool& Value) {
  // The column's own width: 1 (BOOLEAN), 2 (SHORT) or 4 (LONG) bytes.
  Int64 data = 0;
  if (!GetData(&data)) return false;
  Value = data != 0;
  return true;
}

bool TFIBBooleanField::GetAsBoolean() {
  bool value = false;
  return ReadValue(value) && value;
}

Integer TFIBBooleanField::GetAsInteger() { return GetAsBoolean() ? 1 : 0; }

String TFIBBooleanField::GetAsString() {
  bool value;
  return ReadValue(value) ? (value ? string_true_ : string_false_) : String();
}

Variant TFIBBooleanField::GetAsVariant() {
  bool value;
  return ReadValue(value) ? Variant(value) : Null();
}

void TFIBBooleanField::SetAsBoolean(bool Value) {
  // Read at the column's width (up to 4 bytes): 1 in its low byte.
  const Int64 data = Value ? 1 : 0;
  SetData(&data);
}

void TFIBBooleanField::SetAsString(const String& Value) {
  if (Value == "1" || Value == "T" || AnsiSameText(Value, string_true_)) SetAsBoolean(true);
  else if (Value == "0" || Value == "F" || AnsiSameText(Value, string_false_)) SetAsBoolean(false);
  else TBooleanField::SetAsString(Value);
}

void TFIBBooleanField::SetVarValue(const Variant& Value) {
  if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsBoolean(Value.AsBoolean());
}

// ===========================================================================
// Dates and times

void TFIBTimeField::GetText(String& Text, bool DisplayText) {
  TTimeField::GetText(Text, DisplayText);
  Integer slot;
  if (!show_msec_ || !GetData(&slot)) return;
  const Integer ms = slot / 10 % 1000;
  if (ms > 0) Text += "." + IntToStr(ms);
}

void TFIBDateTimeField::GetText(String& Text, bool DisplayText) {
  TDateTimeField::GetText(Text, DisplayText);
  double slot;
  if (!show_msec_ || !GetData(&slot)) return;
  const Integer ms = static_cast<Integer>(SlotToTimeStamp(slot).timestamp_time / 10 % 1000);
  if (ms > 0) Text += "." + IntToStr(ms);
}

// ===========================================================================
// BLOB, memo and array fields

bool TFIBBlobField::GetIsNull() {
  if (!is_client_field_) return TBlobField::GetIsNull();
  std::unique_ptr<TStream> stream(DataSet() != nullptr ? DataSet()->CreateBlobStream(this, bmRead) : nullptr);
  return !stream || stream->Size() == 0;
}

Variant TFIBBlobField::GetAsVariant() { return IsNull() ? Null() : TBlobField::GetAsVariant(); }

bool TFIBMemoField::UnicodeText() {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(DataSet());
  TFIBDatabase* db = ds != nullptr ? ds->Database() : nullptr;
  if (db == nullptr) return false;
  return db->UnicodeCharSetIDs().test(static_cast<size_t>(char_set_id_ & 0xFF)) || db->NeedUnicodeConvert();
}

WideString TFIBMemoField::GetAsWideString() { return Utf8ToWide(AsString()); }

void TFIBMemoField::SetAsWideString(const WideString& Value) { SetAsString(WideToUtf8(Value)); }

Variant TFIBMemoField::GetAsVariant() {
  if (IsNull()) return Null();
  return UnicodeText() ? Variant(GetAsWideString()) : Variant(AsString());
}

void TFIBMemoField::SetVarValue(const Variant& Value) { SetAsString(Value.AsString()); }

void TFIBArrayField::GetText(String& Text, bool /*DisplayText*/) { Text = IsNull() ? "(Array)" : "(ARRAY)"; }

Variant TFIBArrayField::GetAsVariant() {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(DataSet());
  if (ds == nullptr) return TBytesField::GetAsVariant();
  return ds->ArrayFieldValues(this);
}

void TFIBArrayField::SetVarValue(const Variant& Value) {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(DataSet());
  if (ds == nullptr) {
    TBytesField::SetVarValue(Value);
    return;
  }
  ds->SetArrayFieldValues(this, Value);
}

Integer TFIBArrayField::Dimensions() {
  auto* ds = dynamic_cast<TFIBCustomDataSet*>(DataSet());
  if (ds == nullptr) return 0;
  if (!ds->Prepared()) ds->Prepare();
  TFIBXSQLVAR* column = SelectColumnOf(this);
  return column != nullptr ? column->ArrayDimensions() : 0;
}

// ===========================================================================
// TFIBGuidField

void TFIBGuidField::CheckTypeSize(int Value) {
  if (Value != 16 && Value != 38) DatabaseError(SInvalidFieldSize);
}

int TFIBGuidField::GetDataSize() {
  return DataSet() != nullptr && DataSet()->State() == dsBlockRead ? 39 : 16;
}

bool TFIBGuidField::ReadGuid(TGUID& Value) {
  char data[40] = {};
  if (!GetData(data)) return false;
  if (DataSet()->State() == dsBlockRead) {
    if (!TryStrToGUID(String(data), Value)) Value = TGUID();
    return true;
  }
  std::memcpy(&Value, data, sizeof Value);
  return true;
}

String TFIBGuidField::GetAsString() {
  TGUID value;
  return ReadGuid(value) ? GUIDAsString(value) : String();
}

Variant TFIBGuidField::GetAsVariant() {
  TGUID value;
  return ReadGuid(value) ? Variant(GUIDAsString(value)) : Null();
}

TGUID TFIBGuidField::GetAsGuid() {
  TGUID value;
  return ReadGuid(value) ? value : TGUID();
}

void TFIBGuidField::SetAsString(const String& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  TGUID guid;
  if (!TryStrToGUID(Value, guid)) throw EConvertError("'%s' is not a valid GUID value", {Value});
  SetData(&guid);
}

void TFIBGuidField::SetAsGuid(const TGUID& Value) {
  if (Value == TGUID()) Clear();
  else SetData(&Value);
}

// ===========================================================================
// Registration

void RegisterFieldClasses() {
  RegisterClass<TFIBStringField, TStringField>("TFIBStringField");
  RegisterClass<TFIBWideStringField, TWideStringField>("TFIBWideStringField");
  RegisterClass<TFIBLargeIntField, TLargeintField>("TFIBLargeIntField");
  RegisterClass<TFIBIntegerField, TIntegerField>("TFIBIntegerField");
  RegisterClass<TFIBSmallIntField, TSmallintField>("TFIBSmallIntField");
  RegisterClass<TFIBFloatField, TFloatField>("TFIBFloatField");
  RegisterClass<TFIBBCDField, TBCDField>("TFIBBCDField");
  RegisterClass<TFIBBooleanField, TBooleanField>("TFIBBooleanField")
      .Prop("StringTrue", &TFIBBooleanField::StringTrue, &TFIBBooleanField::SetStringTrue)
      .Stored(&TFIBBooleanField::IsStringTrueStored)
      .Prop("StringFalse", &TFIBBooleanField::StringFalse, &TFIBBooleanField::SetStringFalse)
      .Stored(&TFIBBooleanField::IsStringFalseStored);
  RegisterClass<TFIBDateField, TDateField>("TFIBDateField");
  RegisterClass<TFIBTimeField, TTimeField>("TFIBTimeField")
      .Prop("ShowMsec", &TFIBTimeField::ShowMsec, &TFIBTimeField::SetShowMsec, false);
  RegisterClass<TFIBDateTimeField, TDateTimeField>("TFIBDateTimeField")
      .Prop("ShowMsec", &TFIBDateTimeField::ShowMsec, &TFIBDateTimeField::SetShowMsec, false);
  RegisterClass<TFIBBlobField, TBlobField>("TFIBBlobField")
      .Prop("IsClientField", &TFIBBlobField::IsClientField, &TFIBBlobField::SetIsClientField, false);
  RegisterClass<TFIBMemoField, TMemoField>("TFIBMemoField");
  RegisterClass<TFIBArrayField, TBytesField>("TFIBArrayField");
  RegisterClass<TFIBGuidField, TGuidField>("TFIBGuidField");
}
