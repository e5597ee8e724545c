#include "platform/rtl/Variants.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

struct Variant::TArrayData {
  struct TBound {
    Integer Low;
    Integer Count;
  };
  TVarType ElementType = varVariant;
  std::vector<TBound> Bounds;     // first dimension first
  size_t ElementSize = 0;         // packed element size; 0 for Variant elements
  std::vector<unsigned char> Packed;
  std::vector<Variant> Items;

  size_t Count() const {
    size_t n = 1;
    for (const TBound& b : Bounds) n *= static_cast<size_t>(b.Count);
    return n;
  }
};

// Access to Variant's representation for the routines of this file.
struct TVariantAccess {
  using TArray = Variant::TArrayData;
  static TVarType& Type(Variant& v) { return v.vt_; }
  static int64_t Int(const Variant& v) { return v.i64_; }
  static float Single(const Variant& v) { return v.f32_; }
  static double Dbl(const Variant& v) { return v.f64_; }
  static bool Bool(const Variant& v) { return v.b_; }
  static const String& Str(const Variant& v) { return v.str_; }
  static const WideString& Wide(const Variant& v) { return v.wstr_; }
  static const Variant::TArrayData& Array(const Variant& v) { return *v.arr_; }
  static int Scale(const Variant& v) { return v.scale_; }

  // The array data of v, unshared so that it can be changed.
  static Variant::TArrayData& MutableArray(Variant& v) {
    if (v.arr_.use_count() > 1) v.arr_ = std::make_shared<Variant::TArrayData>(*v.arr_);
    return *v.arr_;
  }

  static Variant Make(TVarType type, int64_t raw) {
    Variant v;
    v.vt_ = type;
    v.i64_ = raw;
    return v;
  }
  static Variant MakeDecimal(int64_t digits, int scale) {
    Variant v = Make(varFMTBcd, digits);
    v.scale_ = static_cast<Byte>(scale);
    return v;
  }
  static Variant MakeDate(double d) {
    Variant v(d);
    v.vt_ = varDate;
    return v;
  }
  static Variant MakeArray(std::shared_ptr<Variant::TArrayData> data) {
    Variant v;
    v.vt_ = static_cast<TVarType>(varArray | data->ElementType);
    new (&v.arr_) std::shared_ptr<Variant::TArrayData>(std::move(data));
    return v;
  }
};

using VA = TVariantAccess;

// ===========================================================================
// Special members

void Variant::Destroy() noexcept {
  if (vt_ == varString) str_.~String();
  else if (vt_ == varOleStr) wstr_.~WideString();
  else if (vt_ & varArray) arr_.~shared_ptr();
  vt_ = varEmpty;
  scale_ = 0;
  i64_ = 0;
}

void Variant::CopyFrom(const Variant& other) {
  if (other.vt_ == varString) new (&str_) String(other.str_);
  else if (other.vt_ == varOleStr) new (&wstr_) WideString(other.wstr_);
  else if (other.vt_ & varArray) new (&arr_) std::shared_ptr<TArrayData>(other.arr_);
  else i64_ = other.i64_;
  vt_ = other.vt_;
  scale_ = other.scale_;
}

void Variant::MoveFrom(Variant&& other) noexcept {
  if (other.vt_ == varString) new (&str_) String(std::move(other.str_));
  else if (other.vt_ == varOleStr) new (&wstr_) WideString(std::move(other.wstr_));
  else if (other.vt_ & varArray) new (&arr_) std::shared_ptr<TArrayData>(std::move(other.arr_));
  else i64_ = other.i64_;
  vt_ = other.vt_;
  scale_ = other.scale_;
  other.Destroy();
}

Variant::Variant(const Variant& other) : vt_(varEmpty), i64_(0) { CopyFrom(other); }
Variant::Variant(Variant&& other) noexcept : vt_(varEmpty), i64_(0) { MoveFrom(std::move(other)); }

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    Destroy();
    MoveFrom(std::move(copy));
  }
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    Destroy();
    MoveFrom(std::move(other));
  }
  return *this;
}

Variant::~Variant() { Destroy(); }

const void* Variant::DataPtr() const noexcept {
  switch (vt_) {
    case varEmpty: case varNull: return nullptr;
    case varString: return &str_;
    case varOleStr: return &wstr_;
    case varSingle: return &f32_;
    case varDouble: case varDate: return &f64_;
    case varBoolean: return &b_;
    default: return (vt_ & varArray) ? nullptr : static_cast<const void*>(&i64_);
  }
}

// ===========================================================================
// Types

Variant Null() { return VA::Make(varNull, 0); }
Variant Unassigned() { return Variant(); }
Variant VarAsError(Integer Code) { return VA::Make(varError, Code); }
bool VarIsError(const Variant& V) { return V.VarType() == varError; }
bool VarIsError(const Variant& V, Integer& Code) {
  if (!VarIsError(V)) return false;
  Code = static_cast<Integer>(VA::Int(V));
  return true;
}
Variant VarFromDateTime(TDateTime DateTime) { return VA::MakeDate(DateTime); }

namespace {

bool IsIntegerType(TVarType t) {
  switch (t) {
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return true;
    default:
      return false;
  }
}

bool IsElementType(TVarType t) {
  return IsIntegerType(t) || t == varSingle || t == varDouble || t == varCurrency || t == varDate ||
         t == varOleStr || t == varBoolean || t == varVariant || t == varString;
}

size_t PackedSize(TVarType t) {
  switch (t) {
    case varShortInt: case varByte: return 1;
    case varSmallint: case varWord: case varBoolean: return 2;
    case varInteger: case varLongWord: case varSingle: return 4;
    case varDouble: case varCurrency: case varDate: case varInt64: return 8;
    default: return 0;
  }
}

}  // namespace

bool VarIsNull(const Variant& V) { return V.VarType() == varNull; }
bool VarIsEmpty(const Variant& V) { return V.VarType() == varEmpty; }
bool VarIsClear(const Variant& V) { return V.VarType() == varEmpty; }
bool VarIsArray(const Variant& V) { return (V.VarType() & varArray) != 0; }
bool VarIsOrdinal(const Variant& V) { return IsIntegerType(V.VarType()) || V.VarType() == varBoolean; }
bool VarIsFloat(const Variant& V) {
  TVarType t = V.VarType();
  return t == varSingle || t == varDouble || t == varCurrency || t == varFMTBcd;
}
bool VarIsNumeric(const Variant& V) { return VarIsOrdinal(V) || VarIsFloat(V); }
bool VarIsStr(const Variant& V) { return V.VarType() == varString || V.VarType() == varOleStr; }

String VarTypeAsText(TVarType VarType) {
  String base;
  switch (VarType & varTypeMask) {
    case varEmpty: base = "Empty"; break;
    case varNull: base = "Null"; break;
    case varSmallint: base = "Smallint"; break;
    case varInteger: base = "Integer"; break;
    case varSingle: base = "Single"; break;
    case varDouble: base = "Double"; break;
    case varCurrency: base = "Currency"; break;
    case varDate: base = "Date"; break;
    case varOleStr: base = "OleStr"; break;
    case varError: base = "Error"; break;
    case varBoolean: base = "Boolean"; break;
    case varVariant: base = "Variant"; break;
    case varShortInt: base = "ShortInt"; break;
    case varByte: base = "Byte"; break;
    case varWord: base = "Word"; break;
    case varLongWord: base = "LongWord"; break;
    case varInt64: base = "Int64"; break;
    case varString: base = "String"; break;
    case varFMTBcd: base = "FMTBcd"; break;
    default: base = "$" + IntToHex(static_cast<Integer>(VarType & varTypeMask), 4); break;
  }
  if (VarType & varArray) base = "Array " + base;
  if (VarType & varByRef) base = "Ref " + base;
  return base;
}

// ===========================================================================
// Decimals

namespace {

constexpr int kMaxDecimalScale = 18;

__int128 PowerOfTen128(int n) {
  __int128 p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// A decimal of Digits * 10^-Scale without trailing zeros after the point;
// false when it does not fit (18 places, 64-bit digits).
bool NormalDecimal(__int128 Digits, int Scale, Variant& Result) {
  while (Scale > 0 && Digits % 10 == 0) {
    Digits /= 10;
    --Scale;
  }
  if (Scale > kMaxDecimalScale || Digits < std::numeric_limits<int64_t>::min() ||
      Digits > std::numeric_limits<int64_t>::max())
    return false;
  Result = TVariantAccess::MakeDecimal(static_cast<int64_t>(Digits), Scale);
  return true;
}

// The decimal's digits with Separator before its last Scale ones.
String DecimalText(int64_t Digits, int Scale, char Separator) {
  const bool negative = Digits < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(Digits) : static_cast<uint64_t>(Digits);
  String digits = std::to_string(magnitude);
  if (Scale > 0) {
    if (static_cast<int>(digits.size()) <= Scale) digits.insert(0, static_cast<size_t>(Scale + 1) - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(Scale), 1, Separator);
  }
  return negative ? "-" + digits : digits;
}

// Digits / 10^Scale rounded half to even.
int64_t RoundDecimal(__int128 Digits, int Scale) {
  if (Scale <= 0) return static_cast<int64_t>(Digits);
  const __int128 unit = PowerOfTen128(Scale), half = unit / 2;
  __int128 q = Digits / unit, r = Digits % unit;
  if (r > half || (r == half && (q & 1))) ++q;
  else if (r < -half || (r == -half && (q & 1))) --q;
  return static_cast<int64_t>(q);
}

}  // namespace

Variant VarFMTBcdCreate(const TBcd& Value) {
  if (Value.Precision > MaxFMTBcdFractionSize) throw EBcdException("Invalid BCD value");
  std::string digits;
  for (int i = 0; i < Value.Precision; ++i) {
    const int nibble = i % 2 == 0 ? Value.Fraction[i / 2] >> 4 : Value.Fraction[i / 2] & 0x0F;
    if (nibble > 9) throw EBcdException("Invalid BCD value");
    digits.push_back(static_cast<char>('0' + nibble));
  }
  // Zeros after the point and before the first digit do not count.
  int scale = Value.SignSpecialPlaces & 0x3F;
  while (scale > 0 && !digits.empty() && digits.back() == '0') {
    digits.pop_back();
    --scale;
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  Variant result;
  if (digits.size() > 19) throw EBcdOverflowException("BCD overflow");
  __int128 value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  if ((Value.SignSpecialPlaces & 0x80) != 0) value = -value;
  if (!NormalDecimal(value, scale, result)) throw EBcdOverflowException("BCD overflow");
  return result;
}

TBcd VarToBcd(const Variant& V) {
  switch (V.VarType()) {
    case varFMTBcd:
      return StrToBcd(DecimalText(TVariantAccess::Int(V), TVariantAccess::Scale(V), '.'));
    case varCurrency: {
      TBcd bcd;
      if (!CurrToBCD(V.AsCurrency(), bcd)) throw EBcdOverflowException("BCD overflow");
      return bcd;
    }
    case varSingle:
    case varDouble:
      return DoubleToBcd(V.AsDouble());
    case varString:
    case varOleStr:
      return StrToBcd(V.AsString());
    default:
      return Int64ToBcd(V.AsInt64());
  }
}

// ===========================================================================
// Conversions

namespace {

[[noreturn]] void CastError(const Variant& v, TVarType to) {
  throw EVariantTypeCastError("Could not convert variant of type (%s) into type (%s)",
                              {VarTypeAsText(v.VarType()), VarTypeAsText(to)});
}

[[noreturn]] void OverflowError(const Variant& v, TVarType to) {
  throw EVariantOverflowError("Range check error while converting variant of type (%s) into type (%s)",
                              {VarTypeAsText(v.VarType()), VarTypeAsText(to)});
}

[[noreturn]] void InvalidOp() { throw EVariantInvalidOpError("Invalid variant operation"); }

// Rounds half to even; false when out of the Int64 range.
bool RoundToInt64(double d, int64_t& out) {
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) return false;
  out = static_cast<int64_t>(std::nearbyint(d));
  return true;
}

double DoubleOf(const Variant& v, TVarType to) {
  switch (v.VarType()) {
    case varEmpty: return 0;
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return static_cast<double>(VA::Int(v));
    case varSingle: return VA::Single(v);
    case varDouble: case varDate: return VA::Dbl(v);
    case varCurrency: return Currency::FromRaw(VA::Int(v)).ToDouble();
    case varFMTBcd: {
      // The nearest double to the decimal, not a quotient of two rounded ones.
      const String text = DecimalText(VA::Int(v), VA::Scale(v), '.');
      double d = 0;
      std::from_chars(text.data(), text.data() + text.size(), d);
      return d;
    }
    case varBoolean: return VA::Bool(v) ? -1 : 0;
    case varString: case varOleStr: {
      double d;
      if (TryStrToFloat(v.AsString(), d)) return d;
      break;
    }
    default: break;
  }
  CastError(v, to);
}

int64_t Int64Of(const Variant& v, TVarType to) {
  switch (v.VarType()) {
    case varEmpty: return 0;
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return VA::Int(v);
    case varBoolean: return VA::Bool(v) ? -1 : 0;
    case varFMTBcd: return RoundDecimal(VA::Int(v), VA::Scale(v));
    case varCurrency: {
      int64_t raw = VA::Int(v), q = raw / 10000, r = raw % 10000;
      if (r > 5000 || (r == 5000 && (q & 1))) ++q;
      else if (r < -5000 || (r == -5000 && (q & 1))) --q;
      return q;
    }
    case varString: case varOleStr: {
      int64_t i;
      String s = v.AsString();
      if (TryStrToInt64(s, i)) return i;
      double d;
      if (!TryStrToFloat(s, d)) CastError(v, to);
      if (!RoundToInt64(d, i)) OverflowError(v, to);
      return i;
    }
    default: {
      int64_t i;
      if (!RoundToInt64(DoubleOf(v, to), i)) OverflowError(v, to);
      return i;
    }
  }
}

int64_t RangedInt(const Variant& v, TVarType to, int64_t lo, int64_t hi) {
  int64_t i = Int64Of(v, to);
  if (i < lo || i > hi) OverflowError(v, to);
  return i;
}

// Text of v with the given settings; Null and arrays raise.
String VarTextOf(const Variant& v, const TFormatSettings& fs) {
  switch (v.VarType()) {
    case varEmpty: return String();
    case varString: return VA::Str(v);
    case varOleStr: return WideToUtf8(VA::Wide(v));
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64:
      return IntToStr(static_cast<Int64>(VA::Int(v)));
    case varSingle: return FloatToStrF(VA::Single(v), ffGeneral, 7, 0, fs);
    case varDouble: return FloatToStr(VA::Dbl(v), fs);
    case varCurrency: return CurrToStr(Currency::FromRaw(VA::Int(v)), fs);
    case varFMTBcd: return DecimalText(VA::Int(v), VA::Scale(v), fs.DecimalSeparator);
    case varDate: return DateTimeToStr(VA::Dbl(v), fs);
    case varBoolean: return VA::Bool(v) ? "True" : "False";
    default: CastError(v, varString);
  }
}

}  // namespace

SmallInt Variant::AsSmallInt() const {
  return static_cast<SmallInt>(RangedInt(*this, varSmallint, INT16_MIN, INT16_MAX));
}

Integer Variant::AsInteger() const {
  return static_cast<Integer>(RangedInt(*this, varInteger, INT32_MIN, INT32_MAX));
}

Int64 Variant::AsInt64() const { return Int64Of(*this, varInt64); }

double Variant::AsDouble() const { return DoubleOf(*this, varDouble); }

Currency Variant::AsCurrency() const {
  switch (vt_) {
    case varCurrency: return Currency::FromRaw(i64_);
    case varFMTBcd: {
      if (scale_ > 4) return Currency::FromRaw(RoundDecimal(i64_, scale_ - 4));
      int64_t raw;
      if (__builtin_mul_overflow(i64_, static_cast<int64_t>(PowerOfTen128(4 - scale_)), &raw))
        OverflowError(*this, varCurrency);
      return Currency::FromRaw(raw);
    }
    case varString: case varOleStr: {
      Currency c;
      if (TryStrToCurr(AsString(), c)) return c;
      CastError(*this, varCurrency);
    }
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varBoolean: {
      int64_t i = Int64Of(*this, varCurrency), raw;
      if (__builtin_mul_overflow(i, int64_t{10000}, &raw)) OverflowError(*this, varCurrency);
      return Currency::FromRaw(raw);
    }
    default: {
      double d = DoubleOf(*this, varCurrency);
      if (!(std::fabs(d) < 922337203685477.0)) OverflowError(*this, varCurrency);
      return Currency::FromDouble(d);
    }
  }
}

bool Variant::AsBoolean() const {
  switch (vt_) {
    case varBoolean: return b_;
    case varEmpty: return false;
    case varString: case varOleStr: {
      bool b;
      if (TryStrToBool(AsString(), b)) return b;
      CastError(*this, varBoolean);
    }
    case varSmallint: case varInteger: case varShortInt: case varByte:
    case varWord: case varLongWord: case varInt64: case varCurrency: case varFMTBcd:
      return i64_ != 0;
    default:
      return DoubleOf(*this, varBoolean) != 0;
  }
}

TDateTime Variant::AsDateTime() const {
  if (vt_ == varString || vt_ == varOleStr) {
    TDateTime d;
    if (TryStrToDateTime(AsString(), d)) return d;
    CastError(*this, varDate);
  }
  return DoubleOf(*this, varDate);
}

String Variant::AsString() const { return VarTextOf(*this, FormatSettings); }

WideString Variant::AsWideString() const {
  if (vt_ == varOleStr) return wstr_;
  if (vt_ == varNull || (vt_ & varArray)) CastError(*this, varOleStr);
  return Utf8ToWide(AsString());
}

Variant VarAsType(const Variant& V, TVarType VarType) {
  if (V.VarType() == VarType) return V;
  if (VarType != varEmpty && VarType != varNull && VarType != varVariant && VarIsArray(V)) CastError(V, VarType);
  switch (VarType) {
    case varEmpty: return Variant();
    case varNull: return Null();
    case varVariant: return V;
    case varSmallint: return V.AsSmallInt();
    case varInteger: return V.AsInteger();
    case varShortInt: return static_cast<int8_t>(RangedInt(V, varShortInt, INT8_MIN, INT8_MAX));
    case varByte: return static_cast<uint8_t>(RangedInt(V, varByte, 0, UINT8_MAX));
    case varWord: return static_cast<uint16_t>(RangedInt(V, varWord, 0, UINT16_MAX));
    case varLongWord: return static_cast<uint32_t>(RangedInt(V, varLongWord, 0, UINT32_MAX));
    case varInt64: return V.AsInt64();
    case varSingle: return static_cast<float>(V.AsDouble());
    case varDouble: return V.AsDouble();
    case varCurrency: return V.AsCurrency();
    case varFMTBcd: return VarFMTBcdCreate(VarToBcd(V));
    case varDate: return VarFromDateTime(V.AsDateTime());
    case varBoolean: return V.AsBoolean();
    case varString: return V.AsString();
    case varOleStr: return V.AsWideString();
    default: throw EVariantTypeCastError("Invalid variant type conversion");
  }
}

String VarToStr(const Variant& V) { return VarToStr(V, FormatSettings); }
String VarToStr(const Variant& V, const TFormatSettings& Settings) {
  return VarIsNull(V) ? String() : VarTextOf(V, Settings);
}
WideString VarToWideStr(const Variant& V) { return VarIsNull(V) ? WideString() : V.AsWideString(); }
TDateTime VarToDateTime(const Variant& V) { return V.AsDateTime(); }

// ===========================================================================
// Comparison

namespace {

enum TKind { kEmpty, kInt, kFloat, kCurrency, kDecimal, kDate, kBool, kStr };

TKind KindOf(const Variant& v) {
  TVarType t = v.VarType();
  if (IsIntegerType(t)) return kInt;
  switch (t) {
    case varEmpty: return kEmpty;
    case varSingle: case varDouble: return kFloat;
    case varCurrency: return kCurrency;
    case varFMTBcd: return kDecimal;
    case varDate: return kDate;
    case varBoolean: return kBool;
    case varString: case varOleStr: return kStr;
    default: InvalidOp();
  }
}

template <class T>
TVariantRelationship Order(T a, T b) {
  if (a < b) return vrLessThan;
  if (b < a) return vrGreaterThan;
  return vrEqual;
}

TVariantRelationship CompareTexts(const Variant& a, const Variant& b) {
  if (a.VarType() == varString && b.VarType() == varString) {
    const String &x = VA::Str(a), &y = VA::Str(b);
    if (x == y) return vrEqual;
    int c = AnsiCompareStr(x, y);
    if (c == 0) c = x < y ? -1 : 1;  // collation-equal but different texts
    return c < 0 ? vrLessThan : vrGreaterThan;
  }
  WideString x = a.AsWideString(), y = b.AsWideString();
  if (x == y) return vrEqual;
  int c = WideCompareStr(x, y);
  if (c == 0) c = x < y ? -1 : 1;
  return c < 0 ? vrLessThan : vrGreaterThan;
}

// Converts text (or Empty) to a value of the other side's kind.
Variant AsKind(const Variant& v, TKind kind) {
  switch (kind) {
    case kDecimal: {
      // Exactly, when the text is a decimal that fits one.
      TBcd bcd;
      if (VarIsStr(v) && TryStrToBcd(v.AsString(), bcd)) {
        try {
          return VarFMTBcdCreate(bcd);
        } catch (const EBcdException&) {
        }
      }
      return v.AsDouble();
    }
    case kInt: case kFloat: case kCurrency: return v.AsDouble();
    case kDate: return v.AsDateTime();
    case kBool: return v.AsBoolean();
    default: return v.AsString();
  }
}

// An integer (Boolean), currency or decimal as digits of a scale; false for
// other kinds.
bool ExactNumber(const Variant& v, TKind k, __int128& Digits, int& Scale) {
  switch (k) {
    case kInt: case kBool: Digits = Int64Of(v, varInt64), Scale = 0; return true;
    case kCurrency: Digits = VA::Int(v), Scale = 4; return true;
    case kDecimal: Digits = VA::Int(v), Scale = VA::Scale(v); return true;
    default: return false;
  }
}

// Both to the larger scale (at most 18 apart: the products fit).
void AlignScales(__int128& x, int& sx, __int128& y, int& sy) {
  if (sx < sy) x *= PowerOfTen128(sy - sx), sx = sy;
  else if (sy < sx) y *= PowerOfTen128(sx - sy), sy = sx;
}

TVariantRelationship CompareNumbers(const Variant& a, const Variant& b) {
  TKind ka = KindOf(a), kb = KindOf(b);
  if (ka == kBool && kb == kBool) return Order<int>(VA::Bool(a), VA::Bool(b));
  if (ka == kDecimal || kb == kDecimal) {
    __int128 x, y;
    int sx, sy;
    if (ExactNumber(a, ka, x, sx) && ExactNumber(b, kb, y, sy)) {
      AlignScales(x, sx, y, sy);
      return Order(x, y);
    }
  }
  if (ka == kBool) ka = kInt;
  if (kb == kBool) kb = kInt;
  if (ka == kInt && kb == kInt) return Order(Int64Of(a, varInt64), Int64Of(b, varInt64));
  if ((ka == kCurrency || ka == kInt) && (kb == kCurrency || kb == kInt)) {
    auto scaled = [](const Variant& v, TKind k) {
      return k == kCurrency ? static_cast<__int128>(VA::Int(v)) : static_cast<__int128>(Int64Of(v, varInt64)) * 10000;
    };
    return Order(scaled(a, ka), scaled(b, kb));
  }
  double x = DoubleOf(a, varDouble), y = DoubleOf(b, varDouble);
  if (std::isnan(x) || std::isnan(y)) return vrNotEqual;
  return Order(x, y);
}

}  // namespace

TVariantRelationship VarCompareValue(const Variant& A, const Variant& B) {
  if (VarIsArray(A) || VarIsArray(B)) InvalidOp();
  bool na = VarIsNull(A), nb = VarIsNull(B);
  if (na || nb) return na && nb ? vrEqual : vrNotEqual;
  TKind ka = KindOf(A), kb = KindOf(B);
  if (ka == kEmpty && kb == kEmpty) return vrEqual;
  if (ka == kStr && kb == kStr) return CompareTexts(A, B);
  if (ka == kEmpty) return kb == kStr ? CompareTexts(AsKind(A, kb), B) : CompareNumbers(AsKind(A, kb), B);
  if (kb == kEmpty) return ka == kStr ? CompareTexts(A, AsKind(B, ka)) : CompareNumbers(A, AsKind(B, ka));
  if (ka == kStr) return CompareNumbers(AsKind(A, kb), B);
  if (kb == kStr) return CompareNumbers(A, AsKind(B, ka));
  return CompareNumbers(A, B);
}

bool operator==(const Variant& A, const Variant& B) { return VarCompareValue(A, B) == vrEqual; }

bool operator<(const Variant& A, const Variant& B) {
  bool na = VarIsNull(A), nb = VarIsNull(B);
  if (na || nb) {
    if (VarIsArray(A) || VarIsArray(B)) InvalidOp();
    return na && !nb;
  }
  return VarCompareValue(A, B) == vrLessThan;
}

// ===========================================================================
// Arithmetic

namespace {

enum TOp { opAdd, opSub, opMul };

// A decimal result of integers, currencies and decimals, when it is exact
// and fits one.
bool DecimalArith(const Variant& A, TKind KA, const Variant& B, TKind KB, TOp Op, Variant& Result) {
  __int128 x, y;
  int sx, sy;
  if (!ExactNumber(A, KA == kEmpty ? kInt : KA, x, sx) || !ExactNumber(B, KB == kEmpty ? kInt : KB, y, sy))
    return false;
  if (Op == opMul) return NormalDecimal(x * y, sx + sy, Result);
  AlignScales(x, sx, y, sy);
  return NormalDecimal(Op == opAdd ? x + y : x - y, sx, Result);
}

Variant Arith(const Variant& A, const Variant& B, TOp op) {
  if (VarIsArray(A) || VarIsArray(B)) InvalidOp();
  if (VarIsNull(A) || VarIsNull(B)) return Null();
  TKind ka = KindOf(A), kb = KindOf(B);
  if (ka == kEmpty && kb == kEmpty) return Variant();
  if (op == opAdd && (ka == kStr || ka == kEmpty) && (kb == kStr || kb == kEmpty)) {
    if (A.VarType() == varOleStr || B.VarType() == varOleStr) return A.AsWideString() + B.AsWideString();
    return A.AsString() + B.AsString();
  }
  Variant a = ka == kStr ? Variant(A.AsDouble()) : A;
  Variant b = kb == kStr ? Variant(B.AsDouble()) : B;
  ka = KindOf(a), kb = KindOf(b);
  auto isInt = [](TKind k) { return k == kInt || k == kBool || k == kEmpty; };
  if (ka == kDecimal || kb == kDecimal) {
    Variant r;
    if (DecimalArith(a, ka, b, kb, op, r)) return r;
  } else if (isInt(ka) && isInt(kb)) {
    int64_t x = Int64Of(a, varInt64), y = Int64Of(b, varInt64), r;
    bool overflow = op == opAdd ? __builtin_add_overflow(x, y, &r)
                    : op == opSub ? __builtin_sub_overflow(x, y, &r)
                                  : __builtin_mul_overflow(x, y, &r);
    if (!overflow) {
      bool wide = a.VarType() == varInt64 || a.VarType() == varLongWord || b.VarType() == varInt64 ||
                  b.VarType() == varLongWord;
      if (!wide && r >= INT32_MIN && r <= INT32_MAX) return static_cast<int32_t>(r);
      return static_cast<long>(r);
    }
  } else if ((ka == kCurrency || isInt(ka)) && (kb == kCurrency || isInt(kb))) {
    __int128 x = ka == kCurrency ? VA::Int(a) : static_cast<__int128>(Int64Of(a, varInt64)) * 10000;
    __int128 y = kb == kCurrency ? VA::Int(b) : static_cast<__int128>(Int64Of(b, varInt64)) * 10000;
    __int128 r;
    if (op == opMul) {
      // Exact product of two currencies, rounded half to even like Currency's operator*.
      __int128 p = x * y, q = p / 10000, rem = p % 10000;
      if (rem < 0) rem = -rem;
      if (rem > 5000 || (rem == 5000 && (q & 1))) q += p < 0 ? -1 : 1;
      r = q;
    } else {
      r = op == opAdd ? x + y : x - y;
    }
    if (r >= std::numeric_limits<int64_t>::min() && r <= std::numeric_limits<int64_t>::max())
      return Currency::FromRaw(static_cast<int64_t>(r));
  }
  double x = DoubleOf(a, varDouble), y = DoubleOf(b, varDouble);
  double r = op == opAdd ? x + y : op == opSub ? x - y : x * y;
  bool dateResult = (ka == kDate || kb == kDate) && op != opMul && !(op == opSub && ka == kDate && kb == kDate);
  return dateResult ? VarFromDateTime(r) : Variant(r);
}

}  // namespace

Variant operator+(const Variant& A, const Variant& B) { return Arith(A, B, opAdd); }
Variant operator-(const Variant& A, const Variant& B) { return Arith(A, B, opSub); }
Variant operator*(const Variant& A, const Variant& B) { return Arith(A, B, opMul); }

Variant operator/(const Variant& A, const Variant& B) {
  if (VarIsArray(A) || VarIsArray(B)) InvalidOp();
  if (VarIsNull(A) || VarIsNull(B)) return Null();
  double x = A.AsDouble(), y = B.AsDouble();
  if (y == 0) throw EZeroDivide("Floating point division by zero");
  return x / y;
}

// ===========================================================================
// Arrays

namespace {

[[noreturn]] void NotAnArray() { throw EVariantNotAnArrayError("Variant is not an array."); }
[[noreturn]] void BadIndex() { throw EVariantBadIndexError("Variant array index out of bounds."); }
[[noreturn]] void CreateError() { throw EVariantArrayCreateError("Unable to create variant array."); }

// Initial value of a Variant element.
Variant EmptyElement(TVarType t) {
  if (t == varString) return String();
  if (t == varOleStr) return WideString();
  return Variant();
}

const VA::TArray& ArrayOf(const Variant& A) {
  if (!VarIsArray(A)) NotAnArray();
  return VA::Array(A);
}

size_t Offset(const VA::TArray& data, std::span<const Integer> indices) {
  if (indices.size() != data.Bounds.size()) BadIndex();
  size_t offset = 0, stride = 1;
  for (size_t d = 0; d < indices.size(); ++d) {
    const auto& b = data.Bounds[d];
    int64_t i = static_cast<int64_t>(indices[d]) - b.Low;
    if (i < 0 || i >= b.Count) BadIndex();
    offset += static_cast<size_t>(i) * stride;
    stride *= static_cast<size_t>(b.Count);
  }
  return offset;
}

Variant ReadPacked(const unsigned char* p, TVarType t) {
  auto load = [p](auto value) {
    std::memcpy(&value, p, sizeof value);
    return value;
  };
  switch (t) {
    case varShortInt: return load(int8_t{});
    case varByte: return load(uint8_t{});
    case varSmallint: return load(int16_t{});
    case varWord: return load(uint16_t{});
    case varBoolean: return load(int16_t{}) != 0;
    case varInteger: return load(int32_t{});
    case varLongWord: return load(uint32_t{});
    case varSingle: return load(float{});
    case varDouble: return load(double{});
    case varDate: return VarFromDateTime(load(double{}));
    case varCurrency: return Currency::FromRaw(load(int64_t{}));
    default: return static_cast<long>(load(int64_t{}));
  }
}

void WritePacked(unsigned char* p, const Variant& converted, TVarType t) {
  auto store = [p](auto value) { std::memcpy(p, &value, sizeof value); };
  switch (t) {
    case varShortInt: store(static_cast<int8_t>(VA::Int(converted))); break;
    case varByte: store(static_cast<uint8_t>(VA::Int(converted))); break;
    case varSmallint: store(static_cast<int16_t>(VA::Int(converted))); break;
    case varWord: store(static_cast<uint16_t>(VA::Int(converted))); break;
    case varBoolean: store(static_cast<int16_t>(VA::Bool(converted) ? -1 : 0)); break;
    case varInteger: store(static_cast<int32_t>(VA::Int(converted))); break;
    case varLongWord: store(static_cast<uint32_t>(VA::Int(converted))); break;
    case varSingle: store(VA::Single(converted)); break;
    case varDouble: case varDate: store(VA::Dbl(converted)); break;
    default: store(VA::Int(converted)); break;  // Int64, Currency
  }
}

}  // namespace

Integer VarArrayElementSize(TVarType ElementType) {
  size_t n = PackedSize(ElementType);
  return static_cast<Integer>(n ? n : sizeof(Variant));
}

Variant VarArrayCreate(std::span<const Integer> Bounds, TVarType VarType) {
  if (Bounds.empty() || Bounds.size() % 2 != 0 || !IsElementType(VarType)) CreateError();
  auto data = std::make_shared<VA::TArray>();
  data->ElementType = VarType;
  data->ElementSize = PackedSize(VarType);
  size_t total = 1;
  for (size_t i = 0; i < Bounds.size(); i += 2) {
    int64_t count = static_cast<int64_t>(Bounds[i + 1]) - Bounds[i] + 1;
    if (count < 0 || count > std::numeric_limits<Integer>::max()) CreateError();
    if (count > 0 && total > (size_t{1} << 31) / static_cast<size_t>(count)) CreateError();
    total *= static_cast<size_t>(count);
    data->Bounds.push_back({Bounds[i], static_cast<Integer>(count)});
  }
  if (data->ElementSize) data->Packed.assign(total * data->ElementSize, 0);
  else data->Items.assign(total, EmptyElement(VarType));
  return VA::MakeArray(std::move(data));
}

Variant VarArrayOf(std::span<const Variant> Values) {
  Variant a = VarArrayCreate({0, static_cast<Integer>(Values.size()) - 1}, varVariant);
  auto& items = VA::MutableArray(a).Items;
  for (size_t i = 0; i < Values.size(); ++i) items[i] = Values[i];
  return a;
}

Integer VarArrayDimCount(const Variant& A) {
  return VarIsArray(A) ? static_cast<Integer>(VA::Array(A).Bounds.size()) : 0;
}

namespace {
const VA::TArray::TBound& BoundOf(const Variant& A, Integer Dim) {
  const auto& data = ArrayOf(A);
  if (Dim < 1 || static_cast<size_t>(Dim) > data.Bounds.size()) BadIndex();
  return data.Bounds[static_cast<size_t>(Dim) - 1];
}
}  // namespace

Integer VarArrayLowBound(const Variant& A, Integer Dim) { return BoundOf(A, Dim).Low; }

Integer VarArrayHighBound(const Variant& A, Integer Dim) {
  const auto& b = BoundOf(A, Dim);
  return b.Low + b.Count - 1;
}

TVarType VarArrayElementType(const Variant& A) { return ArrayOf(A).ElementType; }

Variant VarArrayGet(const Variant& A, std::span<const Integer> Indices) {
  const auto& data = ArrayOf(A);
  size_t at = Offset(data, Indices);
  if (!data.ElementSize) return data.Items[at];
  return ReadPacked(data.Packed.data() + at * data.ElementSize, data.ElementType);
}

void VarArrayPut(Variant& A, const Variant& Value, std::span<const Integer> Indices) {
  size_t at = Offset(ArrayOf(A), Indices);
  TVarType type = VA::Array(A).ElementType;
  Variant converted = type == varVariant ? Value : VarAsType(Value, type);
  auto& data = VA::MutableArray(A);
  if (!data.ElementSize) data.Items[at] = std::move(converted);
  else WritePacked(data.Packed.data() + at * data.ElementSize, converted, type);
}

void VarArrayRedim(Variant& A, Integer HighBound) {
  ArrayOf(A);
  auto& data = VA::MutableArray(A);
  auto& last = data.Bounds.back();
  int64_t count = static_cast<int64_t>(HighBound) - last.Low + 1;
  if (count < 0 || count > std::numeric_limits<Integer>::max()) CreateError();
  size_t inner = last.Count > 0 ? data.Count() / static_cast<size_t>(last.Count) : 1;
  if (last.Count == 0) {
    inner = 1;
    for (size_t d = 0; d + 1 < data.Bounds.size(); ++d) inner *= static_cast<size_t>(data.Bounds[d].Count);
  }
  if (count > 0 && inner > (size_t{1} << 31) / static_cast<size_t>(count)) CreateError();
  last.Count = static_cast<Integer>(count);
  size_t total = inner * static_cast<size_t>(count);
  if (data.ElementSize) data.Packed.resize(total * data.ElementSize, 0);
  else data.Items.resize(total, EmptyElement(data.ElementType));
}

void* VarArrayLock(Variant& A) {
  ArrayOf(A);
  auto& data = VA::MutableArray(A);
  if (data.ElementSize) return data.Packed.data();
  return data.Items.data();
}

void* VarArrayElementPtr(Variant& A, std::span<const Integer> Indices) {
  size_t at = Offset(ArrayOf(A), Indices);
  auto& data = VA::MutableArray(A);
  if (data.ElementSize) return data.Packed.data() + at * data.ElementSize;
  return &data.Items[at];
}
