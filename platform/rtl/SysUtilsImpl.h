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

}  // namespace sysutils_impl
