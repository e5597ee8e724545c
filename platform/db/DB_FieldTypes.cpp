// The field classes.
#include <climits>
#include <cmath>
#include <cstring>

#include "platform/db/DB.h"
#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"
#include "platform/rtl/Streams.h"

namespace {

const CharSet kIntegerChars = CharSet{'+', '-'} + CharSet::Range('0', '9');

CharSet FloatChars() {
  return kIntegerChars + CharSet{'E', 'e', '.', FormatSettings.DecimalSeparator};
}

// Rounds half to even into [Min, Max], or raises the field's range error.
template <class I>
bool RoundInto(double Value, I& Out) {
  double r = std::nearbyint(Value);
  if (!(r >= static_cast<double>(std::numeric_limits<I>::min()) &&
        r < -static_cast<double>(std::numeric_limits<I>::min())))
    return false;
  Out = static_cast<I>(r);
  return true;
}

// Integer text: "" clears; a number goes to SetAsLargeInt (which checks the
// range).
void SetIntegerText(TField* Field, const String& Value) {
  if (Value.empty()) {
    Field->Clear();
    return;
  }
  Int64 v;
  if (!TryStrToInt64(Value, v)) DatabaseErrorFmt(SInvalidIntegerValue, {Value, Field->DisplayName()});
  Field->SetAsLargeInt(v);
}

// Longest prefix of S of at most Max bytes that ends on a UTF-8 character
// boundary.
size_t Utf8Cut(const String& S, size_t Max) {
  if (S.size() <= Max) return S.size();
  size_t n = Max;
  while (n > 0 && (static_cast<unsigned char>(S[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

// ---------------------------------------------------------------------------
// TStringField

TStringField::TStringField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftString);
  SetSize(20);
}

void TStringField::CheckTypeSize(int Value) {
  if (Value < 0) DatabaseError(SInvalidFieldSize);
}

void TStringField::SetFixedChar(bool Value) {
  fixed_char_ = Value;
  SetFieldType(Value ? ftFixedChar : ftString);
}

bool TStringField::GetValue(String& Value) {
  std::vector<char> buf(static_cast<size_t>(DataSize()) + 1, '\0');
  if (!GetData(buf.data())) return false;
  Value.assign(buf.data(), strnlen(buf.data(), buf.size() - 1));
  if (transliterate_ && !Value.empty()) {
    int n = DataSet()->Translate(Value.c_str(), Value.data(), false);
    Value.resize(static_cast<size_t>(std::max(n, 0)));
  }
  return true;
}

String TStringField::GetAsString() {
  String s;
  return GetValue(s) ? s : String();
}

Variant TStringField::GetAsVariant() {
  String s;
  return GetValue(s) ? Variant(s) : Null();
}

void TStringField::SetAsString(const String& Value) {
  std::vector<char> buf(static_cast<size_t>(Size()) + 1, '\0');
  String v(Value.c_str());  // text up to an embedded zero, as stored
  size_t n = Utf8Cut(v, static_cast<size_t>(Size()));
  std::memcpy(buf.data(), v.data(), n);
  if (transliterate_ && DataSet() != nullptr) DataSet()->Translate(buf.data(), buf.data(), true);
  SetData(buf.data());
}

void TStringField::SetVarValue(const Variant& Value) { SetAsString(Value.AsString()); }

bool TStringField::GetAsBoolean() {
  String s = GetAsString();
  return !s.empty() && (s[0] == 'T' || s[0] == 't' || s[0] == 'Y' || s[0] == 'y');
}

void TStringField::SetAsBoolean(bool Value) { SetAsString(Value ? "T" : "F"); }
TDateTime TStringField::GetAsDateTime() { return StrToDateTime(GetAsString()); }
void TStringField::SetAsDateTime(TDateTime Value) { SetAsString(DateTimeToStr(Value)); }
double TStringField::GetAsFloat() { return StrToFloat(GetAsString()); }
void TStringField::SetAsFloat(double Value) { SetAsString(FloatToStr(Value)); }
Integer TStringField::GetAsInteger() { return StrToInt(GetAsString()); }
void TStringField::SetAsInteger(Integer Value) { SetAsString(IntToStr(Value)); }
Int64 TStringField::GetAsLargeInt() { return StrToInt64(GetAsString()); }
void TStringField::SetAsLargeInt(Int64 Value) { SetAsString(IntToStr(Value)); }

// ---------------------------------------------------------------------------
// TWideStringField

TWideStringField::TWideStringField(TComponent* AOwner) : TStringField(AOwner) { SetDataType(ftWideString); }

WideString TWideStringField::GetAsWideString() {
  WideString w;
  return GetData(&w, false) ? w : WideString();
}

bool TWideStringField::GetValue(String& Value) {
  WideString w;
  if (!GetData(&w, false)) return false;
  Value = WideToUtf8(w);
  return true;
}

String TWideStringField::GetAsString() { return WideToUtf8(GetAsWideString()); }

Variant TWideStringField::GetAsVariant() {
  WideString w;
  return GetData(&w, false) ? Variant(w) : Null();
}

void TWideStringField::SetAsWideString(const WideString& Value) { SetData(&Value, false); }
void TWideStringField::SetAsString(const String& Value) { SetAsWideString(Utf8ToWide(Value)); }
void TWideStringField::SetVarValue(const Variant& Value) { SetAsWideString(Value.AsWideString()); }

// ---------------------------------------------------------------------------
// TGuidField

TGuidField::TGuidField(TComponent* AOwner) : TStringField(AOwner) {
  SetDataType(ftGuid);
  SetSize(38);
}

void TGuidField::CheckTypeSize(int Value) {
  if (Value != 38) DatabaseError(SInvalidFieldSize);
}

TGUID TGuidField::GetAsGuid() {
  String s = GetAsString();
  return s.empty() ? TGUID() : StringToGUID(s);
}

void TGuidField::SetAsGuid(const TGUID& Value) { SetAsString(GUIDToString(Value)); }

// ---------------------------------------------------------------------------
// TNumericField

TNumericField::TNumericField(TComponent* AOwner) : TField(AOwner) { SetAlignment(taRightJustify); }

void TNumericField::SetDisplayFormat(const String& Value) {
  display_format_ = Value;
  PropertyChanged(false);
}

void TNumericField::SetEditFormat(const String& Value) {
  edit_format_ = Value;
  PropertyChanged(false);
}

const String& TNumericField::FormatFor(bool DisplayText) const {
  return DisplayText || edit_format_.empty() ? display_format_ : edit_format_;
}

// ---------------------------------------------------------------------------
// TIntegerField and its kinds

TIntegerField::TIntegerField(TComponent* AOwner) : TIntegerField(AOwner, ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(TComponent* AOwner, TFieldType Type, Integer MinRange, Integer MaxRange)
    : TNumericField(AOwner), min_range_(MinRange), max_range_(MaxRange) {
  SetDataType(Type);
  SetValidChars(kIntegerChars);
}

TSmallintField::TSmallintField(TComponent* AOwner) : TIntegerField(AOwner, ftSmallint, -32768, 32767) {}
TWordField::TWordField(TComponent* AOwner) : TIntegerField(AOwner, ftWord, 0, 65535) {}
TAutoIncField::TAutoIncField(TComponent* AOwner) : TIntegerField(AOwner, ftAutoInc, INT32_MIN, INT32_MAX) {}

void TIntegerField::SetMinValue(Integer Value) { min_value_ = Value; }
void TIntegerField::SetMaxValue(Integer Value) { max_value_ = Value; }

bool TIntegerField::GetValue(Integer& Value) {
  Byte buf[8] = {};
  if (!GetData(buf)) return false;
  if (DataType() == ftSmallint) {
    int16_t v;
    std::memcpy(&v, buf, 2);
    Value = v;
  } else if (DataType() == ftWord) {
    uint16_t v;
    std::memcpy(&v, buf, 2);
    Value = v;
  } else {
    std::memcpy(&Value, buf, 4);
  }
  return true;
}

Integer TIntegerField::GetAsInteger() {
  Integer v;
  return GetValue(v) ? v : 0;
}

double TIntegerField::GetAsFloat() { return GetAsInteger(); }
Int64 TIntegerField::GetAsLargeInt() { return GetAsInteger(); }

String TIntegerField::GetAsString() {
  Integer v;
  return GetValue(v) ? IntToStr(v) : String();
}

Variant TIntegerField::GetAsVariant() {
  Integer v;
  return GetValue(v) ? Variant(v) : Null();
}

void TIntegerField::GetText(String& Text, bool DisplayText) {
  Integer v;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const String& fmt = FormatFor(DisplayText);
  Text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, v);
}

void TIntegerField::SetAsInteger(Integer Value) {
  if (min_value_ != 0 || max_value_ != 0) {
    if (Value < min_value_ || Value > max_value_) RangeError(Value, min_value_, max_value_);
  } else if (Value < min_range_ || Value > max_range_) {
    RangeError(Value, min_range_, max_range_);
  }
  if (DataType() == ftSmallint) {
    auto v = static_cast<int16_t>(Value);
    SetData(&v);
  } else if (DataType() == ftWord) {
    auto v = static_cast<uint16_t>(Value);
    SetData(&v);
  } else {
    SetData(&Value);
  }
}

void TIntegerField::SetAsLargeInt(Int64 Value) {
  if (Value < INT32_MIN || Value > INT32_MAX)
    RangeError(static_cast<double>(Value), min_range_, max_range_);
  SetAsInteger(static_cast<Integer>(Value));
}

void TIntegerField::SetAsFloat(double Value) {
  Integer v;
  if (!RoundInto(Value, v)) RangeError(Value, min_range_, max_range_);
  SetAsInteger(v);
}

void TIntegerField::SetAsString(const String& Value) { SetIntegerText(this, Value); }

void TIntegerField::SetVarValue(const Variant& Value) { SetAsLargeInt(Value.AsInt64()); }

// ---------------------------------------------------------------------------
// TLargeintField

TLargeintField::TLargeintField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftLargeint);
  SetValidChars(kIntegerChars);
}

void TLargeintField::SetMinValue(Int64 Value) { min_value_ = Value; }
void TLargeintField::SetMaxValue(Int64 Value) { max_value_ = Value; }

bool TLargeintField::GetValue(Int64& Value) {
  Int64 v = 0;
  if (!GetData(&v)) return false;
  Value = v;
  return true;
}

Int64 TLargeintField::GetAsLargeInt() {
  Int64 v;
  return GetValue(v) ? v : 0;
}

Integer TLargeintField::GetAsInteger() {
  Int64 v = GetAsLargeInt();
  // A value beyond 32 bits has no Integer form: wrapping it would give a
  // different number.
  if (v < INT32_MIN || v > INT32_MAX) RangeError(static_cast<double>(v), INT32_MIN, INT32_MAX);
  return static_cast<Integer>(v);
}

double TLargeintField::GetAsFloat() { return static_cast<double>(GetAsLargeInt()); }

String TLargeintField::GetAsString() {
  Int64 v;
  return GetValue(v) ? IntToStr(v) : String();
}

Variant TLargeintField::GetAsVariant() {
  Int64 v;
  return GetValue(v) ? Variant(static_cast<long long>(v)) : Null();
}

void TLargeintField::GetText(String& Text, bool DisplayText) {
  Int64 v;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  const String& fmt = FormatFor(DisplayText);
  Text = fmt.empty() ? IntToStr(v) : FormatFloat(fmt, static_cast<double>(v));
}

void TLargeintField::SetAsLargeInt(Int64 Value) {
  if ((min_value_ != 0 || max_value_ != 0) && (Value < min_value_ || Value > max_value_))
    RangeError(static_cast<double>(Value), static_cast<double>(min_value_), static_cast<double>(max_value_));
  SetData(&Value);
}

void TLargeintField::SetAsInteger(Integer Value) { SetAsLargeInt(Value); }

void TLargeintField::SetAsFloat(double Value) {
  Int64 v;
  if (!RoundInto(Value, v))
    RangeError(Value, static_cast<double>(INT64_MIN), static_cast<double>(INT64_MAX));
  SetAsLargeInt(v);
}

void TLargeintField::SetAsString(const String& Value) { SetIntegerText(this, Value); }

void TLargeintField::SetVarValue(const Variant& Value) { SetAsLargeInt(Value.AsInt64()); }

// ---------------------------------------------------------------------------
// TFloatField

TFloatField::TFloatField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftFloat);
  SetValidChars(FloatChars());
}

TCurrencyField::TCurrencyField(TComponent* AOwner) : TFloatField(AOwner) {
  SetDataType(ftCurrency);
  SetCurrency(true);
}

void TFloatField::SetCurrency(bool Value) {
  currency_ = Value;
  PropertyChanged(false);
}

void TFloatField::SetMinValue(double Value) { min_value_ = Value; }
void TFloatField::SetMaxValue(double Value) { max_value_ = Value; }

void TFloatField::SetPrecision(int Value) {
  precision_ = std::clamp(Value, 2, 15);
  PropertyChanged(false);
}

double TFloatField::GetAsFloat() {
  double v = 0;
  return GetData(&v) ? v : 0;
}

Integer TFloatField::GetAsInteger() {
  Integer v;
  double f = GetAsFloat();
  if (!RoundInto(f, v)) RangeError(f, INT32_MIN, INT32_MAX);
  return v;
}

Int64 TFloatField::GetAsLargeInt() {
  Int64 v;
  double f = GetAsFloat();
  if (!RoundInto(f, v)) RangeError(f, static_cast<double>(INT64_MIN), static_cast<double>(INT64_MAX));
  return v;
}

String TFloatField::GetAsString() {
  double v;
  return GetData(&v) ? FloatToStr(v) : String();
}

Variant TFloatField::GetAsVariant() {
  double v;
  return GetData(&v) ? Variant(v) : Null();
}

void TFloatField::GetText(String& Text, bool DisplayText) {
  double v;
  if (!GetData(&v)) {
    Text.clear();
    return;
  }
  const String& fmt = FormatFor(DisplayText);
  if (!fmt.empty()) {
    Text = FormatFloat(fmt, v);
  } else if (currency_) {
    Text = FloatToStrF(v, DisplayText ? ffCurrency : ffFixed, precision_, FormatSettings.CurrencyDecimals);
  } else {
    Text = FloatToStrF(v, ffGeneral, precision_, 0);
  }
}

void TFloatField::SetAsFloat(double Value) {
  if ((min_value_ != 0 || max_value_ != 0) && (Value < min_value_ || Value > max_value_))
    RangeError(Value, min_value_, max_value_);
  SetData(&Value);
}

void TFloatField::SetAsInteger(Integer Value) { SetAsFloat(Value); }
void TFloatField::SetAsLargeInt(Int64 Value) { SetAsFloat(static_cast<double>(Value)); }

void TFloatField::SetAsString(const String& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  double v;
  if (!TryStrToFloat(Value, v)) DatabaseErrorFmt(SInvalidFloatValue, {Value, DisplayName()});
  SetAsFloat(v);
}

void TFloatField::SetVarValue(const Variant& Value) { SetAsFloat(Value.AsDouble()); }

// ---------------------------------------------------------------------------
// TBCDField

namespace {
constexpr double kCurrencyLimit = 922337203685477.5807;
}

TBCDField::TBCDField(TComponent* AOwner) : TNumericField(AOwner) {
  SetDataType(ftBCD);
  SetSize(4);
  SetValidChars(FloatChars());
}

void TBCDField::CheckTypeSize(int Value) {
  if (Value < 0 || Value > 32) DatabaseError(SInvalidFieldSize);
}

void TBCDField::SetCurrency(bool Value) {
  currency_ = Value;
  PropertyChanged(false);
}

void TBCDField::SetMinValue(::Currency Value) { min_value_ = Value; }
void TBCDField::SetMaxValue(::Currency Value) { max_value_ = Value; }

void TBCDField::SetPrecision(int Value) {
  if (Value < 0 || Value > 32 || precision_ == Value) return;
  precision_ = Value;
  PropertyChanged(false);
}

int TBCDField::GetDefaultWidth() const { return precision_ > 0 ? precision_ + 1 : 10; }

bool TBCDField::GetValue(::Currency& Value) { return GetData(&Value, false); }

TBcd TBCDField::GetAsBCD() {
  TBcd b;
  return GetData(&b) ? b : NullBcd;
}

::Currency TBCDField::GetAsCurrency() {
  ::Currency c;
  return GetValue(c) ? c : ::Currency();
}

double TBCDField::GetAsFloat() { return GetAsCurrency().ToDouble(); }

Integer TBCDField::GetAsInteger() {
  Integer v;
  double f = GetAsFloat();
  if (!RoundInto(f, v)) RangeError(f, INT32_MIN, INT32_MAX);
  return v;
}

Int64 TBCDField::GetAsLargeInt() {
  ::Currency c = GetAsCurrency();
  // Round half to even to whole units.
  Int64 q = c.Value / 10000, r = c.Value % 10000;
  if (r > 5000 || (r == 5000 && (q & 1))) ++q;
  else if (r < -5000 || (r == -5000 && (q & 1))) --q;
  return q;
}

String TBCDField::GetAsString() {
  ::Currency c;
  return GetValue(c) ? CurrToStr(c) : String();
}

Variant TBCDField::GetAsVariant() {
  ::Currency c;
  return GetValue(c) ? Variant(c) : Null();
}

void TBCDField::GetText(String& Text, bool DisplayText) {
  try {
    ::Currency c;
    if (!GetData(&c, false)) {
      Text.clear();
      return;
    }
    const String& fmt = FormatFor(DisplayText);
    if (!fmt.empty()) Text = FormatCurr(fmt, c);
    else if (currency_) Text = CurrToStrF(c, DisplayText ? ffCurrency : ffFixed, FormatSettings.CurrencyDecimals);
    else Text = CurrToStrF(c, ffGeneral, 0);
  } catch (Exception&) {
    Text = SBCDOverflow;
  }
}

void TBCDField::SetAsCurrency(::Currency Value) {
  if ((min_value_.Value != 0 || max_value_.Value != 0) && (Value < min_value_ || Value > max_value_))
    RangeError(Value.ToDouble(), min_value_.ToDouble(), max_value_.ToDouble());
  SetData(&Value, false);
}

void TBCDField::SetAsBCD(const TBcd& Value) {
  ::Currency c;
  if (!BCDToCurr(Value, c)) throw EOverflow(Format(SFieldOutOfRange, {DisplayName()}));
  SetAsCurrency(c);
}

void TBCDField::SetAsFloat(double Value) {
  if (!(std::fabs(Value) <= kCurrencyLimit)) RangeError(Value, -kCurrencyLimit, kCurrencyLimit);
  SetAsCurrency(::Currency::FromDouble(Value));
}

void TBCDField::SetAsInteger(Integer Value) { SetAsCurrency(::Currency::FromInt(Value)); }

void TBCDField::SetAsLargeInt(Int64 Value) {
  if (Value > INT64_MAX / 10000 || Value < INT64_MIN / 10000)
    RangeError(static_cast<double>(Value), -kCurrencyLimit, kCurrencyLimit);
  SetAsCurrency(::Currency::FromInt(Value));
}

void TBCDField::SetAsString(const String& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  ::Currency c;
  if (!TryStrToCurr(Value, c)) DatabaseErrorFmt(SInvalidFloatValue, {Value, DisplayName()});
  SetAsCurrency(c);
}

void TBCDField::SetVarValue(const Variant& Value) { SetAsCurrency(Value.AsCurrency()); }

// ---------------------------------------------------------------------------
// TBooleanField

TBooleanField::TBooleanField(TComponent* AOwner) : TField(AOwner) {
  SetDataType(ftBoolean);
  LoadTextValues();
}

void TBooleanField::LoadTextValues() {
  text_true_ = STextTrue;
  text_false_ = STextFalse;
  if (display_values_.empty()) return;
  size_t p = display_values_.find(';');
  if (p == String::npos) {
    text_true_ = display_values_;
    text_false_.clear();
  } else {
    text_true_ = display_values_.substr(0, p);
    text_false_ = display_values_.substr(p + 1);
  }
}

void TBooleanField::SetDisplayValues(const String& Value) {
  if (display_values_ == Value) return;
  display_values_ = Value;
  LoadTextValues();
  PropertyChanged(true);
}

int TBooleanField::GetDefaultWidth() const {
  return static_cast<int>(std::max(text_true_.size(), text_false_.size()));
}

bool TBooleanField::GetAsBoolean() {
  int16_t b = 0;
  return GetData(&b) && b != 0;
}

String TBooleanField::GetAsString() {
  int16_t b = 0;
  return GetData(&b) ? TextValue(b != 0) : String();
}

Variant TBooleanField::GetAsVariant() {
  int16_t b = 0;
  return GetData(&b) ? Variant(b != 0) : Null();
}

void TBooleanField::SetAsBoolean(bool Value) {
  int16_t b = Value ? -1 : 0;
  SetData(&b);
}

void TBooleanField::SetAsString(const String& Value) {
  if (Value.empty()) {
    if (text_false_.empty()) SetAsBoolean(false);
    else if (text_true_.empty()) SetAsBoolean(true);
    else Clear();
    return;
  }
  // Value matches the beginning of a text value.
  auto prefix_of = [&](const String& text) {
    WideString v = Utf8ToWide(Value), t = Utf8ToWide(text);
    if (t.size() < v.size()) return false;
    t.resize(v.size());
    return WideCompareText(v, t) == 0;
  };
  if (prefix_of(text_false_)) SetAsBoolean(false);
  else if (prefix_of(text_true_)) SetAsBoolean(true);
  else DatabaseErrorFmt(SInvalidBoolValue, {Value, DisplayName()});
}

void TBooleanField::SetVarValue(const Variant& Value) {
  if (VarIsStr(Value)) SetAsString(Value.AsString());
  else SetAsBoolean(Value.AsBoolean());
}

// ---------------------------------------------------------------------------
// TDateTimeField and its kinds

TDateTimeField::TDateTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftDateTime) {}
TDateTimeField::TDateTimeField(TComponent* AOwner, TFieldType Type) : TField(AOwner) { SetDataType(Type); }
TDateField::TDateField(TComponent* AOwner) : TDateTimeField(AOwner, ftDate) {}
TTimeField::TTimeField(TComponent* AOwner) : TDateTimeField(AOwner, ftTime) {}

void TDateTimeField::SetDisplayFormat(const String& Value) {
  display_format_ = Value;
  PropertyChanged(false);
}

bool TDateTimeField::GetValue(TDateTime& Value) { return GetData(&Value, false); }

TDateTime TDateTimeField::GetAsDateTime() {
  TDateTime v;
  return GetValue(v) ? v : 0;
}

double TDateTimeField::GetAsFloat() { return GetAsDateTime(); }

String TDateTimeField::GetAsString() {
  String s;
  GetText(s, false);
  return s;
}

Variant TDateTimeField::GetAsVariant() {
  TDateTime v;
  return GetValue(v) ? VarFromDateTime(v) : Null();
}

void TDateTimeField::GetText(String& Text, bool DisplayText) {
  TDateTime v;
  if (!GetValue(v)) {
    Text.clear();
    return;
  }
  String fmt;
  if (DisplayText && !display_format_.empty()) fmt = display_format_;
  else if (DataType() == ftDate) fmt = FormatSettings.ShortDateFormat;
  else if (DataType() == ftTime) fmt = FormatSettings.LongTimeFormat;
  Text = FormatDateTime(fmt, v);
}

void TDateTimeField::SetAsDateTime(TDateTime Value) { SetData(&Value, false); }
void TDateTimeField::SetAsFloat(double Value) { SetAsDateTime(Value); }

void TDateTimeField::SetAsString(const String& Value) {
  if (Value.empty()) {
    Clear();
    return;
  }
  switch (DataType()) {
    case ftDate:
      SetAsDateTime(StrToDate(Value));
      break;
    case ftTime:
      SetAsDateTime(StrToTime(Value));
      break;
    default:
      SetAsDateTime(StrToDateTime(Value));
      break;
  }
}

void TDateTimeField::SetVarValue(const Variant& Value) { SetAsDateTime(VarToDateTime(Value)); }

// ---------------------------------------------------------------------------
// Binary fields

TBinaryField::TBinaryField(TComponent* AOwner, TFieldType Type) : TField(AOwner) {
  SetDataType(Type);
  SetSize(16);
}

TBytesField::TBytesField(TComponent* AOwner) : TBinaryField(AOwner, ftBytes) {}
TVarBytesField::TVarBytesField(TComponent* AOwner) : TBinaryField(AOwner, ftVarBytes) {}

void TBinaryField::CheckTypeSize(int Value) {
  if (Value <= 0 || (DataType() == ftVarBytes && Value > 65535)) DatabaseError(SInvalidFieldSize);
}

namespace {

bool ReadBytes(TField* Field, String& Out) {
  std::vector<char> buf(static_cast<size_t>(Field->DataSize()), '\0');
  if (!Field->GetData(buf.data())) return false;
  if (Field->DataType() == ftVarBytes) {
    uint16_t len;
    std::memcpy(&len, buf.data(), 2);
    len = static_cast<uint16_t>(std::min<int>(len, Field->Size()));
    Out.assign(buf.data() + 2, len);
  } else {
    Out.assign(buf.data(), buf.size());
  }
  return true;
}

void WriteBytes(TField* Field, const String& Bytes) {
  std::vector<char> buf(static_cast<size_t>(Field->DataSize()), '\0');
  size_t n = std::min(Bytes.size(), static_cast<size_t>(Field->Size()));
  if (Field->DataType() == ftVarBytes) {
    auto len = static_cast<uint16_t>(n);
    std::memcpy(buf.data(), &len, 2);
    std::memcpy(buf.data() + 2, Bytes.data(), n);
  } else {
    std::memcpy(buf.data(), Bytes.data(), n);
  }
  Field->SetData(buf.data());
}

Variant BytesToVariant(const String& Bytes) {
  Variant v = VarArrayCreate({0, static_cast<Integer>(Bytes.size()) - 1}, varByte);
  if (!Bytes.empty()) std::memcpy(VarArrayLock(v), Bytes.data(), Bytes.size());
  return v;
}

// A byte array's or a text's bytes.
String VariantToBytes(const Variant& Value) {
  if (!VarIsArray(Value)) return Value.AsString();
  String bytes;
  Integer lo = VarArrayLowBound(Value, 1), hi = VarArrayHighBound(Value, 1);
  for (Integer i = lo; i <= hi; ++i) bytes.push_back(static_cast<char>(VarArrayGet(Value, i).AsInteger()));
  return bytes;
}

}  // namespace

String TBinaryField::GetAsString() {
  String s;
  return ReadBytes(this, s) ? s : String();
}

Variant TBinaryField::GetAsVariant() {
  String s;
  return ReadBytes(this, s) ? BytesToVariant(s) : Null();
}

void TBinaryField::GetText(String& Text, bool /*DisplayText*/) { Text = GetClassDesc(); }

void TBinaryField::SetTextValue(const String& /*Value*/) { throw AccessError("Text"); }

void TBinaryField::SetAsString(const String& Value) {
  if (Value.empty()) Clear();
  else WriteBytes(this, Value);
}

void TBinaryField::SetVarValue(const Variant& Value) { WriteBytes(this, VariantToBytes(Value)); }

// ---------------------------------------------------------------------------
// BLOB fields

TBlobField::TBlobField(TComponent* AOwner) : TBlobField(AOwner, ftBlob) {}
TBlobField::TBlobField(TComponent* AOwner, TFieldType Type) : TField(AOwner) { SetDataType(Type); }

TMemoField::TMemoField(TComponent* AOwner) : TBlobField(AOwner, ftMemo) { SetTransliterate(true); }
TGraphicField::TGraphicField(TComponent* AOwner) : TBlobField(AOwner, ftGraphic) {}

void TBlobField::CheckTypeSize(int Value) {
  if (Value < 0) DatabaseError(SInvalidFieldSize);
}

namespace {

std::unique_ptr<TStream> OpenBlob(TBlobField* Field, TBlobStreamMode Mode) {
  if (Field->DataSet() == nullptr) DatabaseErrorFmt(SDataSetMissing, {Field->DisplayName()});
  std::unique_ptr<TStream> s(Field->DataSet()->CreateBlobStream(Field, Mode));
  // A dataset without BLOB streams reads nothing and takes no value.
  if (!s && Mode != bmRead) DatabaseErrorFmt(SFieldReadOnly, {Field->DisplayName()});
  return s;
}

}  // namespace

int TBlobField::BlobSize() {
  auto s = OpenBlob(this, bmRead);
  return s ? static_cast<int>(s->Size()) : 0;
}

String TBlobField::GetAsString() {
  auto s = OpenBlob(this, bmRead);
  if (!s) return String();
  String value(static_cast<size_t>(s->Size()), '\0');
  if (!value.empty()) s->ReadBuffer(value.data(), static_cast<Int64>(value.size()));
  if (transliterate_ && !value.empty()) DataSet()->Translate(value.c_str(), value.data(), false);
  return value;
}

void TBlobField::SetAsString(const String& Value) {
  auto s = OpenBlob(this, bmWrite);
  if (!Value.empty()) s->WriteBuffer(Value.data(), static_cast<Int64>(Value.size()));
}

bool TBlobField::GetIsNull() {
  if (!modified_) return TField::GetIsNull();
  auto s = OpenBlob(this, bmRead);
  return !s || s->Size() == 0;
}

Variant TBlobField::GetAsVariant() { return IsNull() ? Null() : Variant(GetAsString()); }

void TBlobField::SetVarValue(const Variant& Value) { SetAsString(VariantToBytes(Value)); }

void TBlobField::GetText(String& Text, bool /*DisplayText*/) { Text = GetClassDesc(); }

void TBlobField::Clear() { OpenBlob(this, bmWrite); }

void TBlobField::LoadFromStream(TStream* Stream) {
  auto s = OpenBlob(this, bmWrite);
  s->CopyFrom(Stream, 0);
}

void TBlobField::SaveToStream(TStream* Stream) {
  auto s = OpenBlob(this, bmRead);
  if (s) Stream->CopyFrom(s.get(), 0);
}

void TBlobField::LoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(&f);
}

void TBlobField::SaveToFile(const String& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}

void TBlobField::Assign(TPersistent* Source) {
  if (auto* blob = dynamic_cast<TBlobField*>(Source)) {
    SetAsString(blob->AsString());
  } else if (auto* strings = dynamic_cast<TStrings*>(Source)) {
    SetAsString(strings->Text());
  } else {
    TField::Assign(Source);
  }
}
