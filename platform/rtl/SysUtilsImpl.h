// Shared pieces of the SysUtils implementation files (not a public header).
#pragma once

#include "platform/rtl/SysUtils.h"

namespace sysutils_impl {

// A floating value or an exact currency value.
struct TFloatValue {
  bool IsCurrency = false;
  double D = 0;
  Currency C;
  static TFloatValue Of(double v) { return {false, v, {}}; }
  static TFloatValue Of(Currency c) { return {true, 0, c}; }
};

// FloatToStrF for either kind of value; Precision is clamped to 1..18 for
// doubles and 1..19 for currency.
String FloatToText(const TFloatValue& Value, TFloatFormat Format, int Precision, int Digits,
                   const TFormatSettings& Settings);
String FormatFloatText(const String& Format, const TFloatValue& Value, const TFormatSettings& Settings);

// Number of UTF-8 characters (lead bytes) in S.
size_t Utf8Length(const String& S);
// Byte length of the first Count UTF-8 characters of S.
size_t Utf8Prefix(const String& S, size_t Count);

}  // namespace sysutils_impl
