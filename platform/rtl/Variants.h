// Variant: a value of one of the OLE variant types, and variant arrays.
//
// Types: the codes below; varString holds a UTF-8 String, varError an
// error code (VarAsError: a failure reported as a value), varOleStr a
// WideString, varDate a TDateTime (made with VarFromDateTime, since TDateTime
// is a double), varCurrency a Currency, varFMTBcd an exact decimal (made with
// VarFMTBcdCreate: up to 18 digits, up to 18 of them after the point).
// varByRef is declared for type tests but never produced.
//
// Conversions are member functions (AsInteger(), AsString() ...) plus the
// free VarAsType/VarToStr family:
//  - Empty converts to 0, 0.0, False, "" and the date 0.
//  - Null converting to anything but text through VarToStr/VarToWideStr
//    ("") raises EVariantTypeCastError.
//  - Numbers to integers round half to even (2.5 -> 2); a value out of the
//    target's range raises EVariantOverflowError.
//  - Booleans are -1 (True) and 0 as numbers, "True"/"False" as text; text
//    reads as a Boolean when it is "True"/"False" (any case) or a number;
//    numbers are True when non-zero.
//  - Text reads as a number with the format settings (StrToInt, then
//    StrToFloat), as a date with StrToDateTime; dates give text through
//    DateTimeToStr; floats through FloatToStr (Single: 7 digits), currency
//    through CurrToStr, a decimal as its digits without trailing zeros
//    after the decimal separator.
//  - Arrays convert to no scalar type.
// Failed conversions raise EVariantTypeCastError "Could not convert variant
// of type (String) into type (Integer)", with the type names of VarTypeAsText.
//
// Comparison (==, !=, <, <=, >, >=, VarCompareValue):
//  - Null equals Null and nothing else; in ordering Null is below every other
//    value. VarCompareValue gives vrNotEqual for Null against a non-Null.
//  - Empty against Empty is equal; otherwise Empty acts as 0 against numbers
//    and dates, "" against text and False against Booleans.
//  - Text against text: equality is exact; order is the user's locale
//    (AnsiCompareStr / WideCompareStr, case-sensitive).
//  - Text against a number, date or Boolean: the text is converted to the
//    other side's type (failing conversions raise); then numbers compare
//    numerically (integers, currencies and decimals exactly, otherwise as
//    doubles), dates as doubles, Booleans as -1/0 (two Booleans: False <
//    True).
//  - Arrays cannot be compared: EVariantInvalidOpError.
//
// Arithmetic (+ - * /): Null in either operand gives Null; Empty acts as 0
// (or "" for +); two texts under + concatenate; otherwise texts convert to
// numbers. Integers stay integers (Integer, widening to Int64 and then to
// Double on overflow), Currency with integers or Currency stays Currency, a
// decimal with integers, currencies or decimals stays a decimal while the
// exact result fits one (else Double), anything with a float gives Double, a date plus or minus a number is a date
// and a date minus a date a Double; "/" always gives Double and raises
// EZeroDivide on a zero divisor.
//
// Arrays: VarArrayCreate takes {low, high} pairs per dimension and an element
// type. Elements of varVariant, varString and varOleStr arrays are Variants;
// the other element types are stored packed in their natural size
// (varBoolean as a 16-bit -1/0), first dimension varying fastest, so
// VarArrayLock/VarArrayElementPtr give direct access. Putting a value
// converts it to the element type. Copying a Variant copies its array
// (shared until one copy is changed).
#pragma once

#include <initializer_list>
#include <memory>
#include <span>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

using TVarType = Word;

constexpr TVarType varEmpty = 0x0000;
constexpr TVarType varNull = 0x0001;
constexpr TVarType varSmallint = 0x0002;
constexpr TVarType varInteger = 0x0003;
constexpr TVarType varSingle = 0x0004;
constexpr TVarType varDouble = 0x0005;
constexpr TVarType varCurrency = 0x0006;
constexpr TVarType varDate = 0x0007;
constexpr TVarType varOleStr = 0x0008;
constexpr TVarType varError = 0x000A;
constexpr TVarType varBoolean = 0x000B;
constexpr TVarType varVariant = 0x000C;
constexpr TVarType varShortInt = 0x0010;
constexpr TVarType varByte = 0x0011;
constexpr TVarType varWord = 0x0012;
constexpr TVarType varLongWord = 0x0013;
constexpr TVarType varInt64 = 0x0014;
constexpr TVarType varString = 0x0100;
constexpr TVarType varFMTBcd = 0x0110;
constexpr TVarType varTypeMask = 0x0FFF;
constexpr TVarType varArray = 0x2000;
constexpr TVarType varByRef = 0x4000;

RTL_DECLARE_EXCEPTION(EVariantInvalidOpError, EVariantError);     // "Invalid variant operation"
RTL_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError);      // conversions
RTL_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError);      // conversions out of range
RTL_DECLARE_EXCEPTION(EVariantNotAnArrayError, EVariantError);    // "Variant is not an array."
RTL_DECLARE_EXCEPTION(EVariantBadIndexError, EVariantError);      // "Variant array index out of bounds."
RTL_DECLARE_EXCEPTION(EVariantArrayCreateError, EVariantError);   // "Unable to create variant array."

struct TVariantAccess;

class Variant {
 public:
  Variant() noexcept : vt_(varEmpty), i64_(0) {}
  Variant(int8_t v) noexcept : vt_(varShortInt), i64_(v) {}
  Variant(uint8_t v) noexcept : vt_(varByte), i64_(v) {}
  Variant(int16_t v) noexcept : vt_(varSmallint), i64_(v) {}
  Variant(uint16_t v) noexcept : vt_(varWord), i64_(v) {}
  Variant(int32_t v) noexcept : vt_(varInteger), i64_(v) {}
  Variant(uint32_t v) noexcept : vt_(varLongWord), i64_(v) {}
  Variant(long v) noexcept : vt_(varInt64), i64_(v) {}
  Variant(long long v) noexcept : vt_(varInt64), i64_(v) {}
  Variant(float v) noexcept : vt_(varSingle), i64_(0) { f32_ = v; }
  Variant(double v) noexcept : vt_(varDouble), f64_(v) {}
  Variant(bool v) noexcept : vt_(varBoolean), i64_(0) { b_ = v; }
  Variant(Currency v) noexcept : vt_(varCurrency), i64_(v.Value) {}
  Variant(const String& v) : vt_(varString), str_(v) {}
  Variant(String&& v) noexcept : vt_(varString), str_(std::move(v)) {}
  Variant(const char* v) : vt_(varString), str_(v ? v : "") {}
  Variant(const WideString& v) : vt_(varOleStr), wstr_(v) {}
  Variant(WideString&& v) noexcept : vt_(varOleStr), wstr_(std::move(v)) {}
  Variant(const char16_t* v) : vt_(varOleStr), wstr_(v ? v : u"") {}

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  // The type code: varArray | element type for arrays.
  TVarType VarType() const { return vt_; }

  SmallInt AsSmallInt() const;
  Integer AsInteger() const;
  Int64 AsInt64() const;
  double AsDouble() const;
  Currency AsCurrency() const;
  bool AsBoolean() const;
  TDateTime AsDateTime() const;
  // Text of the value; Null raises (VarToStr gives "" instead).
  String AsString() const;
  WideString AsWideString() const;

  // Address of the stored value for low-level readers: every integer type
  // and the raw Currency as an Int64, Single as float, Double and Date as
  // double, Boolean as bool, texts as the String or WideString object;
  // nullptr for Empty, Null and arrays.
  const void* DataPtr() const noexcept;

 private:
  friend struct TVariantAccess;
  struct TArrayData;

  void Destroy() noexcept;
  void CopyFrom(const Variant& other);
  void MoveFrom(Variant&& other) noexcept;

  TVarType vt_;
  Byte scale_ = 0;  // varFMTBcd: i64_ holds the value times 10^scale_
  union {
    int64_t i64_;  // every integer type, currency (raw) and the Boolean-as-integer
    float f32_;
    double f64_;  // double and date
    bool b_;
    String str_;
    WideString wstr_;
    std::shared_ptr<TArrayData> arr_;
  };
};

// Exact decimals (varFMTBcd). VarFMTBcdCreate raises EBcdOverflowException
// for a value of more than 18 digits or 18 places (trailing zeros after the
// point do not count). VarToBcd gives any number or numeric text as a BCD:
// integers, currencies and decimals exactly, floats by their shortest text.
Variant VarFMTBcdCreate(const TBcd& Value);
TBcd VarToBcd(const Variant& V);
inline bool VarIsFMTBcd(const Variant& V) { return V.VarType() == varFMTBcd; }

// The Null and Unassigned (Empty) values.
Variant Null();
Variant Unassigned();
// A value of the error kind holding Code; it converts to nothing (every
// conversion raises EVariantTypeCastError) and compares with nothing.
Variant VarAsError(Integer Code);
bool VarIsError(const Variant& V);
// True for the error kind, with its code.
bool VarIsError(const Variant& V, Integer& Code);
Variant VarFromDateTime(TDateTime DateTime);

inline TVarType VarType(const Variant& V) { return V.VarType(); }
bool VarIsNull(const Variant& V);
bool VarIsEmpty(const Variant& V);
bool VarIsClear(const Variant& V);  // Empty
bool VarIsArray(const Variant& V);
bool VarIsNumeric(const Variant& V);  // ordinal or float
bool VarIsStr(const Variant& V);      // varString or varOleStr
bool VarIsOrdinal(const Variant& V);  // integer types and Boolean
bool VarIsFloat(const Variant& V);    // Single, Double, Currency, FMTBcd
// "Integer", "String", "Null", "Array Variant" ...
String VarTypeAsText(TVarType VarType);

// V converted to the type (varEmpty and varNull give Empty and Null).
// Unknown types raise EVariantTypeCastError "Invalid variant type conversion".
Variant VarAsType(const Variant& V, TVarType VarType);
// Text of V; Null gives "". Numbers and dates are written with the given
// settings (FormatSettings by default).
String VarToStr(const Variant& V);
String VarToStr(const Variant& V, const TFormatSettings& Settings);
WideString VarToWideStr(const Variant& V);
TDateTime VarToDateTime(const Variant& V);

// ---------------------------------------------------------------------------
// Comparison and arithmetic (rules above)

enum TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };
TVariantRelationship VarCompareValue(const Variant& A, const Variant& B);

bool operator==(const Variant& A, const Variant& B);
inline bool operator!=(const Variant& A, const Variant& B) { return !(A == B); }
bool operator<(const Variant& A, const Variant& B);
inline bool operator>(const Variant& A, const Variant& B) { return B < A; }
inline bool operator<=(const Variant& A, const Variant& B) { return !(B < A); }
inline bool operator>=(const Variant& A, const Variant& B) { return !(A < B); }

Variant operator+(const Variant& A, const Variant& B);
Variant operator-(const Variant& A, const Variant& B);
Variant operator*(const Variant& A, const Variant& B);
Variant operator/(const Variant& A, const Variant& B);

// ---------------------------------------------------------------------------
// Variant arrays. Dimensions are numbered from 1; index vectors give one
// index per dimension, first dimension first.
//
// Errors: not an array: EVariantNotAnArrayError "Variant is not an array.";
// wrong index count, index or dimension out of range: EVariantBadIndexError
// "Variant array index out of bounds."; bad bounds or element type:
// EVariantArrayCreateError "Unable to create variant array.".

// Bounds: {low1, high1, low2, high2, ...}; high may be low - 1 (no elements).
Variant VarArrayCreate(std::span<const Integer> Bounds, TVarType VarType);
inline Variant VarArrayCreate(std::initializer_list<Integer> Bounds, TVarType VarType) {
  return VarArrayCreate(std::span<const Integer>(Bounds.begin(), Bounds.size()), VarType);
}
// One-dimensional array [0..n-1] of varVariant holding the values.
Variant VarArrayOf(std::span<const Variant> Values);
inline Variant VarArrayOf(std::initializer_list<Variant> Values) {
  return VarArrayOf(std::span<const Variant>(Values.begin(), Values.size()));
}

Integer VarArrayDimCount(const Variant& A);  // 0 for a non-array
Integer VarArrayLowBound(const Variant& A, Integer Dim);
Integer VarArrayHighBound(const Variant& A, Integer Dim);
TVarType VarArrayElementType(const Variant& A);

Variant VarArrayGet(const Variant& A, std::span<const Integer> Indices);
inline Variant VarArrayGet(const Variant& A, std::initializer_list<Integer> Indices) {
  return VarArrayGet(A, std::span<const Integer>(Indices.begin(), Indices.size()));
}
inline Variant VarArrayGet(const Variant& A, Integer Index) {
  return VarArrayGet(A, std::span<const Integer>(&Index, 1));
}
void VarArrayPut(Variant& A, const Variant& Value, std::span<const Integer> Indices);
inline void VarArrayPut(Variant& A, const Variant& Value, std::initializer_list<Integer> Indices) {
  VarArrayPut(A, Value, std::span<const Integer>(Indices.begin(), Indices.size()));
}
inline void VarArrayPut(Variant& A, const Variant& Value, Integer Index) {
  VarArrayPut(A, Value, std::span<const Integer>(&Index, 1));
}

// Sets the high bound of the last dimension, keeping the elements that stay;
// new elements are Empty or zero.
void VarArrayRedim(Variant& A, Integer HighBound);

// Element storage (the array is unshared first, so writes stay in A):
// packed values for fixed-size element types, Variant objects otherwise.
// The pointers stay valid until A is changed in shape or assigned.
void* VarArrayLock(Variant& A);
inline void VarArrayUnlock(Variant&) {}
void* VarArrayElementPtr(Variant& A, std::span<const Integer> Indices);
inline void* VarArrayElementPtr(Variant& A, std::initializer_list<Integer> Indices) {
  return VarArrayElementPtr(A, std::span<const Integer>(Indices.begin(), Indices.size()));
}
// Size in bytes of one element as stored (sizeof(Variant) for Variant elements).
Integer VarArrayElementSize(TVarType ElementType);
