// Binary-coded decimal numbers of up to 64 digits.
#pragma once

#include "platform/rtl/System.h"

struct TBcd {
  Byte Precision = 0;          // number of digits, 1..64 (0: no value)
  Byte SignSpecialPlaces = 0;  // bit 7 sign (1: negative), bit 6 special, bits 0-5 decimal places
  Byte Fraction[32] = {};      // the digits, two per byte, high nibble first
};
