// Binary-coded decimal numbers (TBcd), the native value of BCD fields and
// parameters, and their conversions.
//
// Layout (34 bytes): Precision is the number of digits held (1..64);
// SignSpecialPlaces holds the sign in bit 7 and the number of decimal places
// (digits after the point) in bits 0..5; Fraction holds the digits, two per
// byte, high nibble first, starting at the first nibble: 12.34 is Precision 4,
// places 2, Fraction 0x12 0x34. Zero has one digit. A value whose sign bit is
// set and whose digits are all zero reads as zero.
//
// Rounding to fewer places is half away from zero. Conversions that do not
// fit their target return false (Try.../CurrToBCD/BCDToCurr) or raise
// EBcdOverflowException / EBcdException (the others).
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

struct TBcd {
  Byte Precision = 0;
  Byte SignSpecialPlaces = 0;
  Byte Fraction[32] = {};
};
static_assert(sizeof(TBcd) == 34);

RTL_DECLARE_EXCEPTION(EBcdException, Exception);
RTL_DECLARE_EXCEPTION(EBcdOverflowException, EBcdException);

constexpr int MaxFMTBcdFractionSize = 64;
// The value "no value": Precision 0.
inline constexpr TBcd NullBcd{};

Word BcdPrecision(const TBcd& Bcd);
Word BcdScale(const TBcd& Bcd);
bool IsBcdNegative(const TBcd& Bcd);

// Currency with Decimals places (rounded), at most Precision digits; false
// when the digits do not fit.
bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision = 32, int Decimals = 4);
// False when the value is outside the range of Currency.
bool BCDToCurr(const TBcd& BCD, Currency& Curr);

// Text with the format settings' decimal separator ("-12.34", "0.5", "0").
String BcdToStr(const TBcd& Bcd);
// Reads an optional sign, digits and one decimal separator ('.' is accepted
// too), blanks around; raises EConvertError "'%s' is not a valid BCD value".
TBcd StrToBcd(const String& Value);
bool TryStrToBcd(const String& Value, TBcd& Bcd);

double BcdToDouble(const TBcd& Bcd);
// The shortest decimal that reads back as Value; NaN and infinities raise
// EBcdOverflowException.
TBcd DoubleToBcd(double Value);
// The integer part (truncated); EBcdOverflowException beyond Int64.
Int64 BcdToInt64(const TBcd& Bcd);
TBcd Int64ToBcd(Int64 Value);

// <0, 0, >0 by value.
int BcdCompare(const TBcd& A, const TBcd& B);
// The value with exactly Scale places (rounded) in at most Precision digits;
// false when it does not fit.
bool NormalizeBcd(const TBcd& InBcd, TBcd& OutBcd, int Precision, int Scale);
