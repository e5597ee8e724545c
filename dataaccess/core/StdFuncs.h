// The library's timer component, full component names for messages, and the
// BCD, scaled-integer and time-stamp helpers of statement values and fields.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/System.h"

// Name of the component prefixed by its owners' names, outermost first,
// joined by "."; owners without a name are skipped ("Form1.Query1").
String CmpFullName(const TComponent* Component);

// Int(Value) plus the fraction rounded to Digits decimals, a tie going to the
// even last digit (2.5 -> 2, 3.5 -> 4); Digits is taken within 0..18.
double RoundExtended(double Value, int Digits);

// Decimal text of Value / 10^Scale with the given separator and the
// fraction's trailing zeros removed: (2, '.', 12345) -> "123.45".
String ScaledInt64ToStr(int Scale, char Separator, Int64 Value);

// The byte with bit 0..7 set or cleared.
Byte SetBit(Byte Value, int Bit, bool On);
