#include "platform/rtl/FMTBcd.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/SysUtils.h"

namespace {

// A decimal: digits (most significant first), of which the last `places` are
// after the point.
struct Dec {
  bool neg = false;
  std::string digits;
  int places = 0;
};

Dec Unpack(const TBcd& b) {
  Dec d;
  int n = b.Precision;
  if (n > MaxFMTBcdFractionSize) throw EBcdException("Invalid BCD value");
  d.places = b.SignSpecialPlaces & 0x3F;
  d.neg = (b.SignSpecialPlaces & 0x80) != 0;
  d.digits.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    int nib = (i % 2 == 0) ? (b.Fraction[i / 2] >> 4) : (b.Fraction[i / 2] & 0x0F);
    if (nib > 9) throw EBcdException("Invalid BCD value");
    d.digits.push_back(static_cast<char>('0' + nib));
  }
  if (d.places > n) {
    d.digits.insert(0, static_cast<size_t>(d.places - n), '0');
  }
  if (d.digits.empty()) d.digits = "0";
  return d;
}

bool IsZero(const Dec& d) { return d.digits.find_first_not_of('0') == std::string::npos; }

// Drops leading zeros of the integer part; keeps at least one digit.
void Trim(Dec& d) {
  size_t intLen = d.digits.size() - static_cast<size_t>(d.places);
  size_t drop = 0;
  while (drop < intLen && d.digits[drop] == '0') ++drop;
  d.digits.erase(0, drop);
  if (d.digits.empty()) d.digits = "0";
  if (IsZero(d)) d.neg = false;
}

// Rounds (half away from zero) or pads to `places`.
void Rescale(Dec& d, int places) {
  if (places >= d.places) {
    d.digits.append(static_cast<size_t>(places - d.places), '0');
    d.places = places;
    return;
  }
  size_t keep = d.digits.size() - static_cast<size_t>(d.places - places);
  bool up = d.digits[keep] >= '5';
  d.digits.resize(keep);
  d.places = places;
  if (up) {
    int i = static_cast<int>(d.digits.size()) - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
    if (i < 0) d.digits.insert(d.digits.begin(), '1');
    else ++d.digits[static_cast<size_t>(i)];
  }
  if (d.digits.empty()) d.digits = "0";
}

bool Pack(const Dec& in, TBcd& out, int precision) {
  Dec d = in;
  Trim(d);
  if (d.places > 63 || precision > MaxFMTBcdFractionSize) return false;
  if (static_cast<int>(d.digits.size()) > precision) return false;
  TBcd b;
  b.Precision = static_cast<Byte>(d.digits.size());
  b.SignSpecialPlaces = static_cast<Byte>(d.places | (d.neg ? 0x80 : 0));
  for (size_t i = 0; i < d.digits.size(); ++i) {
    Byte nib = static_cast<Byte>(d.digits[i] - '0');
    if (i % 2 == 0) b.Fraction[i / 2] = static_cast<Byte>(nib << 4);
    else b.Fraction[i / 2] |= nib;
  }
  out = b;
  return true;
}

// Magnitude of the integer digits, or false beyond `limit`.
bool DigitsToUInt(const std::string& digits, unsigned __int128 limit, unsigned __int128& value) {
  value = 0;
  for (char c : digits) {
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > limit) return false;
  }
  return true;
}

bool ParseDec(const String& text, Dec& d) {
  size_t i = 0, n = text.size();
  while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  while (n > i && static_cast<unsigned char>(text[n - 1]) <= ' ') --n;
  if (i < n && (text[i] == '-' || text[i] == '+')) d.neg = text[i++] == '-';
  bool point = false, any = false;
  char sep = FormatSettings.DecimalSeparator;
  for (; i < n; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      d.digits.push_back(c);
      if (point) ++d.places;
      any = true;
    } else if ((c == sep || c == '.') && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!any) return false;
  Trim(d);
  return d.places <= 63 && static_cast<int>(d.digits.size()) <= MaxFMTBcdFractionSize;
}

}  // namespace

Word BcdPrecision(const TBcd& Bcd) { return Bcd.Precision; }
Word BcdScale(const TBcd& Bcd) { return Bcd.SignSpecialPlaces & 0x3F; }
bool IsBcdNegative(const TBcd& Bcd) {
  return (Bcd.SignSpecialPlaces & 0x80) != 0 && !IsZero(Unpack(Bcd));
}

bool CurrToBCD(Currency Curr, TBcd& BCD, int Precision, int Decimals) {
  if (Decimals < 0 || Decimals > 63) return false;
  Dec d;
  d.neg = Curr.Value < 0;
  unsigned __int128 mag = d.neg ? static_cast<unsigned __int128>(-static_cast<__int128>(Curr.Value))
                                : static_cast<unsigned __int128>(Curr.Value);
  d.digits = std::to_string(static_cast<unsigned long long>(mag));
  d.places = 4;
  if (d.digits.size() < 5) d.digits.insert(0, 5 - d.digits.size(), '0');
  Rescale(d, Decimals);
  return Pack(d, BCD, Precision);
}

bool BCDToCurr(const TBcd& BCD, Currency& Curr) {
  Dec d = Unpack(BCD);
  Rescale(d, 4);
  Trim(d);
  unsigned __int128 mag;
  const unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX) + (d.neg ? 1 : 0);
  if (!DigitsToUInt(d.digits, limit, mag)) return false;
  Curr = Currency::FromRaw(d.neg ? static_cast<int64_t>(-static_cast<__int128>(mag)) : static_cast<int64_t>(mag));
  return true;
}

String BcdToStr(const TBcd& Bcd) {
  Dec d = Unpack(Bcd);
  Trim(d);
  size_t intLen = d.digits.size() - static_cast<size_t>(d.places);
  String s = d.neg ? "-" : "";
  s += intLen == 0 ? String("0") : d.digits.substr(0, intLen);
  // Trailing zeros of the fraction are kept: they are the value's scale.
  if (d.places > 0) {
    s += FormatSettings.DecimalSeparator;
    s += d.digits.substr(intLen);
  }
  return s;
}

bool TryStrToBcd(const String& Value, TBcd& Bcd) {
  Dec d;
  return ParseDec(Value, d) && Pack(d, Bcd, MaxFMTBcdFractionSize);
}

TBcd StrToBcd(const String& Value) {
  TBcd b;
  if (!TryStrToBcd(Value, b)) throw EConvertError("'%s' is not a valid BCD value", {Value});
  return b;
}

double BcdToDouble(const TBcd& Bcd) {
  Dec d = Unpack(Bcd);
  String s = (d.neg ? "-" : "") + d.digits + "e-" + std::to_string(d.places);
  return std::strtod(s.c_str(), nullptr);
}

TBcd DoubleToBcd(double Value) {
  if (!std::isfinite(Value)) throw EBcdOverflowException("BCD overflow");
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof(buf), Value, std::chars_format::scientific);
  String text(buf, res.ptr);
  // "-d.ddddde+xx": digits and exponent.
  Dec d;
  size_t i = 0;
  if (text[i] == '-') { d.neg = true; ++i; }
  size_t e = text.find('e');
  for (; i < e; ++i)
    if (text[i] != '.') d.digits.push_back(text[i]);
  int exp = std::atoi(text.c_str() + e + 1);
  // Value = 0.d1d2.. * 10^(exp+1): places = digits - 1 - exp.
  int places = static_cast<int>(d.digits.size()) - 1 - exp;
  if (places < 0) {
    d.digits.append(static_cast<size_t>(-places), '0');
    places = 0;
  }
  d.places = places;
  // Drop trailing zeros of the fraction.
  while (d.places > 0 && d.digits.back() == '0') {
    d.digits.pop_back();
    --d.places;
  }
  if (d.places > 63) Rescale(d, 63);
  TBcd b;
  if (!Pack(d, b, MaxFMTBcdFractionSize)) throw EBcdOverflowException("BCD overflow");
  return b;
}

Int64 BcdToInt64(const TBcd& Bcd) {
  Dec d = Unpack(Bcd);
  d.digits.resize(d.digits.size() - static_cast<size_t>(d.places));
  if (d.digits.empty()) return 0;
  unsigned __int128 mag;
  const unsigned __int128 limit = static_cast<unsigned __int128>(INT64_MAX) + (d.neg ? 1 : 0);
  if (!DigitsToUInt(d.digits, limit, mag)) throw EBcdOverflowException("BCD overflow");
  return d.neg ? static_cast<Int64>(-static_cast<__int128>(mag)) : static_cast<Int64>(mag);
}

TBcd Int64ToBcd(Int64 Value) {
  Dec d;
  d.neg = Value < 0;
  unsigned __int128 mag = d.neg ? static_cast<unsigned __int128>(-static_cast<__int128>(Value))
                                : static_cast<unsigned __int128>(Value);
  d.digits = std::to_string(static_cast<unsigned long long>(mag));
  TBcd b;
  Pack(d, b, MaxFMTBcdFractionSize);
  return b;
}

int BcdCompare(const TBcd& A, const TBcd& B) {
  Dec a = Unpack(A), b = Unpack(B);
  int places = std::max(a.places, b.places);
  Rescale(a, places);
  Rescale(b, places);
  Trim(a);
  Trim(b);
  if (a.neg != b.neg) return a.neg ? -1 : 1;
  int mag = a.digits.size() != b.digits.size() ? (a.digits.size() < b.digits.size() ? -1 : 1)
                                                : a.digits.compare(b.digits);
  mag = mag < 0 ? -1 : (mag > 0 ? 1 : 0);
  return a.neg ? -mag : mag;
}

bool NormalizeBcd(const TBcd& InBcd, TBcd& OutBcd, int Precision, int Scale) {
  if (Scale < 0 || Scale > 63) return false;
  Dec d = Unpack(InBcd);
  Rescale(d, Scale);
  return Pack(d, OutBcd, Precision);
}
