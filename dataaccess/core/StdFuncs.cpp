#include "dataaccess/core/StdFuncs.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

// 10^-18 .. 10^18, indexed by exponent + 18.
constexpr double kPowers10[37] = {
    1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7, 1e-6,
    1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,  1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17, 1e18};

double Power10(int exponent) { return kPowers10[std::clamp(exponent, -18, 18) + 18]; }

}  // namespace

String CmpFullName(const TComponent* Component) {
  String result;
  for (const TComponent* c = Component; c != nullptr; c = c->Owner()) {
    if (c->Name().empty()) continue;
    result = result.empty() ? c->Name() : c->Name() + "." + result;
  }
  return result;
}

double RoundExtended(double Value, int Digits) {
  Digits = std::clamp(Digits, 0, 18);
  // A tie goes to the even last digit of the result: with 0 digits that is the
  // whole number's parity, with more the scaled fraction's own.
  if (Digits == 0) return std::nearbyint(Value);
  double whole = std::trunc(Value);
  return whole + std::nearbyint((Value - whole) * Power10(Digits)) / Power10(Digits);
}

String ScaledInt64ToStr(int Scale, char Separator, Int64 Value) {
  if (Value == 0) return "0";
  String digits = std::to_string(Value);
  if (Scale < 1) return digits;
  String sign;
  if (digits[0] == '-') {
    sign = "-";
    digits.erase(0, 1);
  }
  auto scale = static_cast<size_t>(Scale);
  String whole, fraction;
  if (digits.size() > scale) {
    whole = digits.substr(0, digits.size() - scale);
    fraction = digits.substr(digits.size() - scale);
  } else {
    whole = "0";
    fraction = String(scale - digits.size(), '0') + digits;
  }
  String result = sign + whole + Separator + fraction;
  while (result.back() == '0') result.pop_back();
  if (result.back() == Separator) result.pop_back();
  return result;
}

Byte SetBit(Byte Value, int Bit, bool On) {
  static constexpr Byte kMasks[8] = {1, 2, 4, 8, 16, 32, 64, 128};
  if (Bit < 0 || Bit > 7) return Value;
  Byte mask = kMasks[Bit];
  return On ? static_cast<Byte>(Value | mask) : static_cast<Byte>(Value & ~mask);
}
