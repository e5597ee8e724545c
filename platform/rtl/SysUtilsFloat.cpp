// Floating-point and currency text: FloatToStrF, FormatFloat, StrToFloat,
// and their currency forms.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/SysUtilsImpl.h"

using namespace sysutils_impl;

namespace {

// value = (Negative ? -1 : 1) * 0.Digits * 10^Exponent. Digits carry no
// trailing zeros; an empty Digits is zero.
struct TFloatRec {
  enum Kind { fkFinite, fkInf, fkNaN };
  Kind Special = fkFinite;
  bool Negative = false;
  int Exponent = 0;
  String Digits;
  bool IsZero() const { return Special == fkFinite && Digits.empty(); }
};

constexpr int kUnlimited = 9999;

// Scientific digits of a double: the digit string and the decimal exponent
// of the first digit (value = d.ddd * 10^exp).
void SciDigits(double a, int count, String& digits, int& exp) {
  char buf[1100];
  auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, count - 1);
  const char* e = static_cast<const char*>(std::memchr(buf, 'e', static_cast<size_t>(res.ptr - buf)));
  digits.clear();
  for (const char* p = buf; p < e; ++p)
    if (*p != '.') digits += *p;
  exp = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), res.ptr, exp);
}

// Keeps the first `pos` digits of `all` (rounded half away from zero by the
// digit that follows, or by `roundUp` when given) and fills rec.
void KeepDigits(TFloatRec& rec, const String& all, int pos, bool roundUp) {
  String d = all.substr(0, static_cast<size_t>(pos));
  if (roundUp) {
    int i = pos - 1;
    while (i >= 0 && d[static_cast<size_t>(i)] == '9') d[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++d[static_cast<size_t>(i)];
    } else {
      d.insert(d.begin(), '1');
      ++rec.Exponent;
    }
  }
  while (!d.empty() && d.back() == '0') d.pop_back();
  rec.Digits = d;
  if (rec.Digits.empty()) {
    rec.Exponent = 0;
    rec.Negative = false;
  }
}

// Rounds at min(Precision, Exponent + Decimals) significant digits.
TFloatRec DoubleToDecimal(double v, int precision, int decimals) {
  TFloatRec rec;
  if (std::isnan(v)) {
    rec.Special = TFloatRec::fkNaN;
    return rec;
  }
  rec.Negative = std::signbit(v);
  if (std::isinf(v)) {
    rec.Special = TFloatRec::fkInf;
    return rec;
  }
  double a = std::fabs(v);
  if (a == 0) {
    rec.Negative = false;
    return rec;
  }
  String digits;
  int exp = 0;
  SciDigits(a, 18, digits, exp);  // 18 digits never carry into the exponent
  rec.Exponent = exp + 1;
  int pos = std::min(precision, rec.Exponent + decimals);
  if (pos < 0) {
    KeepDigits(rec, "", 0, false);
    return rec;
  }
  SciDigits(a, pos + 21, digits, exp);
  if (exp + 1 != rec.Exponent) {  // rounding of the long form carried over
    rec.Exponent = exp + 1;
    pos = std::min(precision, rec.Exponent + decimals);
  }
  char next = digits[static_cast<size_t>(pos)];
  bool up = next > '5';
  if (next == '5') {
    if (digits.find_first_not_of('0', static_cast<size_t>(pos) + 1) != String::npos) {
      up = true;
    } else {
      // Looks like a tie: decide on the exact binary value.
      SciDigits(a, 800, digits, exp);
      up = digits[static_cast<size_t>(pos)] >= '5';
    }
  }
  KeepDigits(rec, digits, pos, up);
  return rec;
}

TFloatRec CurrencyToDecimal(Currency c, int precision, int decimals) {
  TFloatRec rec;
  rec.Negative = c.Value < 0;
  uint64_t u = c.Value < 0 ? 0 - static_cast<uint64_t>(c.Value) : static_cast<uint64_t>(c.Value);
  if (u == 0) {
    rec.Negative = false;
    return rec;
  }
  String digits = std::to_string(u);
  rec.Exponent = static_cast<int>(digits.size()) - 4;
  int pos = std::min(precision, rec.Exponent + decimals);
  if (pos < 0) {
    KeepDigits(rec, "", 0, false);
    return rec;
  }
  if (static_cast<size_t>(pos) >= digits.size()) {
    KeepDigits(rec, digits, static_cast<int>(digits.size()), false);
    return rec;
  }
  KeepDigits(rec, digits, pos, digits[static_cast<size_t>(pos)] >= '5');
  return rec;
}

TFloatRec ToDecimal(const TFloatValue& v, int precision, int decimals) {
  return v.IsCurrency ? CurrencyToDecimal(v.C, precision, decimals) : DoubleToDecimal(v.D, precision, decimals);
}

int MaxPrecision(const TFloatValue& v) { return v.IsCurrency ? 19 : 18; }

String SpecialText(const TFloatRec& rec) {
  if (rec.Special == TFloatRec::fkNaN) return "NAN";
  return rec.Negative ? "-INF" : "INF";
}

String Zeros(int n) { return String(static_cast<size_t>(std::max(n, 0)), '0'); }

// Integer digits of rec ("" when below one).
String IntegerDigits(const TFloatRec& rec) {
  if (rec.Exponent <= 0) return "";
  String s = rec.Digits.substr(0, static_cast<size_t>(rec.Exponent));
  return s + Zeros(rec.Exponent - static_cast<int>(s.size()));
}

// Fraction digits of rec, without trailing zeros.
String FractionDigits(const TFloatRec& rec) {
  if (rec.Exponent < 0) return Zeros(-rec.Exponent) + rec.Digits;
  if (static_cast<size_t>(rec.Exponent) >= rec.Digits.size()) return "";
  return rec.Digits.substr(static_cast<size_t>(rec.Exponent));
}

String GroupThousands(const String& digits, char separator) {
  if (separator == '\0') return digits;
  String out;
  size_t n = digits.size();
  for (size_t i = 0; i < n; ++i) {
    out += digits[i];
    size_t left = n - i - 1;
    if (left > 0 && left % 3 == 0) out += separator;
  }
  return out;
}

String ExponentText(int exp, int minDigits, bool alwaysSign) {
  String s = "E";
  if (exp < 0) s += '-';
  else if (alwaysSign) s += '+';
  String d = std::to_string(exp < 0 ? -exp : exp);
  return s + Zeros(minDigits - static_cast<int>(d.size())) + d;
}

String GeneralText(const TFloatRec& rec, int precision, int digits, const TFormatSettings& fs) {
  if (rec.IsZero()) return "0";
  String sign = rec.Negative ? "-" : "";
  if (rec.Exponent <= precision && rec.Exponent >= -4) {
    String ip = IntegerDigits(rec), fp = FractionDigits(rec);
    if (ip.empty()) ip = "0";
    return sign + ip + (fp.empty() ? "" : String(1, fs.DecimalSeparator) + fp);
  }
  String s = sign + rec.Digits.substr(0, 1);
  if (rec.Digits.size() > 1) s += fs.DecimalSeparator + rec.Digits.substr(1);
  return s + ExponentText(rec.Exponent - 1, std::clamp(digits, 0, 4), false);
}

String CurrencyText(const String& number, bool negative, const TFormatSettings& fs) {
  const String& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return number + c;
      case 2: return c + " " + number;
      case 3: return number + " " + c;
      default: return c + number;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return "-" + c + number;
    case 2: return c + "-" + number;
    case 3: return c + number + "-";
    case 4: return "(" + number + c + ")";
    case 5: return "-" + number + c;
    case 6: return number + "-" + c;
    case 7: return number + c + "-";
    case 8: return "-" + number + " " + c;
    case 9: return "-" + c + " " + number;
    case 10: return number + " " + c + "-";
    case 11: return c + " " + number + "-";
    case 12: return c + " -" + number;
    case 13: return number + "- " + c;
    case 14: return "(" + c + " " + number + ")";
    case 15: return "(" + number + " " + c + ")";
    default: return "(" + c + number + ")";
  }
}

// ---------------------------------------------------------------------------
// FormatFloat patterns

std::vector<String> SplitSections(const String& fmt) {
  std::vector<String> sections(1);
  char quote = 0;
  for (char ch : fmt) {
    if (quote) {
      if (ch == quote) quote = 0;
    } else if (ch == '"' || ch == '\'') {
      quote = ch;
    } else if (ch == ';') {
      sections.emplace_back();
      continue;
    }
    sections.back() += ch;
  }
  return sections;
}

struct TPattern {
  int IntPlaces = 0;
  int FirstIntZero = -1;  // index among the integer placeholders
  int DecPlaces = 0;
  int LastDecZero = -1;
  bool Thousands = false;
  bool Scientific = false;
};

// True when s[i] starts an exponent ("E+", "E-", "e+", "e-").
bool IsExponentAt(const String& s, size_t i) {
  return (s[i] == 'E' || s[i] == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-');
}

TPattern ParsePattern(const String& s) {
  TPattern p;
  bool afterPoint = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char ch = s[i];
    if (ch == '"' || ch == '\'') {
      size_t end = s.find(ch, i + 1);
      i = end == String::npos ? s.size() : end;
    } else if (ch == '0' || ch == '#') {
      if (afterPoint) {
        if (ch == '0') p.LastDecZero = p.DecPlaces;
        ++p.DecPlaces;
      } else {
        if (ch == '0' && p.FirstIntZero < 0) p.FirstIntZero = p.IntPlaces;
        ++p.IntPlaces;
      }
    } else if (ch == '.') {
      afterPoint = true;
    } else if (ch == ',') {
      p.Thousands = true;
    } else if (IsExponentAt(s, i)) {
      p.Scientific = true;
      break;
    }
  }
  return p;
}

// Formats by one section; `negative` adds a leading "-". Sets `zero` when the
// value rounds to zero.
String FormatSection(const String& s, const TFloatValue& value, bool negative, const TFormatSettings& fs,
                     bool& zero) {
  TPattern p = ParsePattern(s);
  TFloatRec rec;
  String intDigits, fracDigits;
  int shownExp = 0;
  if (p.Scientific) {
    int precision = std::clamp(p.IntPlaces + p.DecPlaces, 1, MaxPrecision(value));
    rec = ToDecimal(value, precision, kUnlimited);
    if (!rec.IsZero()) shownExp = rec.Exponent - p.IntPlaces;
    size_t n = static_cast<size_t>(p.IntPlaces);
    intDigits = rec.Digits.substr(0, std::min(n, rec.Digits.size()));
    if (!rec.IsZero()) intDigits += Zeros(p.IntPlaces - static_cast<int>(intDigits.size()));
    if (rec.Digits.size() > n) fracDigits = rec.Digits.substr(n);
  } else {
    rec = ToDecimal(value, value.IsCurrency ? 19 : 15, p.DecPlaces);
    if (rec.Exponent > 18) return FloatToText(value, ffGeneral, 15, 0, fs);
    intDigits = IntegerDigits(rec);
    fracDigits = FractionDigits(rec);
  }
  zero = rec.IsZero();
  int minInt = p.FirstIntZero < 0 ? 0 : p.IntPlaces - p.FirstIntZero;
  intDigits = Zeros(minInt - static_cast<int>(intDigits.size())) + intDigits;
  fracDigits += Zeros(p.LastDecZero + 1 - static_cast<int>(fracDigits.size()));

  String out;
  if (negative && !zero) out += '-';
  const int len = static_cast<int>(intDigits.size());
  auto putDigit = [&](int index) {  // index into intDigits
    out += intDigits[static_cast<size_t>(index)];
    int fromRight = len - index;
    if (p.Thousands && fromRight > 1 && (fromRight - 1) % 3 == 0 && fs.ThousandSeparator != '\0')
      out += fs.ThousandSeparator;
  };
  int intPlace = 0, decPlace = 0;
  bool afterPoint = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char ch = s[i];
    if (ch == '"' || ch == '\'') {
      size_t end = s.find(ch, i + 1);
      if (end == String::npos) end = s.size();
      out.append(s, i + 1, end - i - 1);
      i = end;
    } else if ((ch == '0' || ch == '#') && !afterPoint) {
      int fromRight = p.IntPlaces - intPlace;
      if (intPlace == 0)
        for (int k = 0; k < len - p.IntPlaces; ++k) putDigit(k);
      if (fromRight <= len) putDigit(len - fromRight);
      ++intPlace;
    } else if (ch == '0' || ch == '#') {
      if (static_cast<size_t>(decPlace) < fracDigits.size()) out += fracDigits[static_cast<size_t>(decPlace)];
      ++decPlace;
    } else if (ch == '.') {
      if (!afterPoint && !fracDigits.empty()) out += fs.DecimalSeparator;
      afterPoint = true;
    } else if (ch == ',') {
      // thousand separators are placed with the digits
    } else if (IsExponentAt(s, i)) {
      size_t j = i + 2;
      int expDigits = 0;
      while (j < s.size() && s[j] == '0') ++j, ++expDigits;
      String e = ExponentText(shownExp, std::min(expDigits, 4), s[i + 1] == '+');
      e[0] = ch;
      out += e;
      // What follows the exponent is copied as text.
      for (; j < s.size(); ++j)
        if (s[j] != '"' && s[j] != '\'') out += s[j];
      break;
    } else {
      out += ch;
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Reading numbers

// Decimal text read as Negative, Digits (no leading zeros) and Exp10 with
// value = Digits * 10^Exp10.
struct TDecimalText {
  bool Negative = false;
  String Digits;
  long Exp10 = 0;
};

bool IsBlank(char ch) { return static_cast<unsigned char>(ch) <= ' '; }

bool ParseDecimalText(const String& S, char decimalSeparator, TDecimalText& out) {
  size_t i = 0, n = S.size();
  while (i < n && IsBlank(S[i])) ++i;
  while (n > i && IsBlank(S[n - 1])) --n;
  if (i < n && (S[i] == '+' || S[i] == '-')) out.Negative = S[i++] == '-';
  bool any = false;
  long fracCount = 0;
  for (; i < n && S[i] >= '0' && S[i] <= '9'; ++i) {
    any = true;
    if (!(out.Digits.empty() && S[i] == '0')) out.Digits += S[i];
  }
  if (i < n && S[i] == decimalSeparator) {
    for (++i; i < n && S[i] >= '0' && S[i] <= '9'; ++i) {
      any = true;
      if (!(out.Digits.empty() && S[i] == '0')) out.Digits += S[i];
      ++fracCount;
    }
  }
  if (!any) return false;
  long exp = 0;
  if (i < n && (S[i] == 'E' || S[i] == 'e')) {
    ++i;
    bool negExp = false;
    if (i < n && (S[i] == '+' || S[i] == '-')) negExp = S[i++] == '-';
    bool expDigits = false;
    for (; i < n && S[i] >= '0' && S[i] <= '9'; ++i) {
      expDigits = true;
      if (exp < 100000000) exp = exp * 10 + (S[i] - '0');
    }
    if (!expDigits) return false;
    if (negExp) exp = -exp;
  }
  if (i != n) return false;
  out.Exp10 = exp - fracCount;
  if (out.Digits.empty()) out.Exp10 = 0;
  return true;
}

bool DecimalToDouble(const TDecimalText& d, double& value) {
  if (d.Digits.empty()) {
    value = d.Negative ? -0.0 : 0.0;
    return true;
  }
  String text = d.Digits + "e" + std::to_string(d.Exp10);
  double v = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Underflow reads as zero; overflow is an error.
    long magnitude = d.Exp10 + static_cast<long>(d.Digits.size());
    if (magnitude > 0) return false;
    v = 0;
  } else if (res.ec != std::errc()) {
    return false;
  }
  value = d.Negative ? -v : v;
  return true;
}

bool DecimalToCurrency(const TDecimalText& d, Currency& value) {
  long shift = d.Exp10 + 4;  // ten-thousandths
  String digits = d.Digits;
  bool up = false;
  if (shift >= 0) {
    if (!digits.empty()) {
      if (shift > 20) return false;
      digits += String(static_cast<size_t>(shift), '0');
    }
  } else {
    long cut = static_cast<long>(digits.size()) + shift;  // digits kept
    if (cut < 0) {
      digits.clear();
    } else {
      up = digits[static_cast<size_t>(cut)] >= '5';
      digits.resize(static_cast<size_t>(cut));
    }
  }
  if (digits.size() > 19) return false;
  unsigned __int128 raw = 0;
  for (char ch : digits) raw = raw * 10 + static_cast<unsigned>(ch - '0');
  if (up) ++raw;
  unsigned __int128 limit = static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max()) + (d.Negative ? 1 : 0);
  if (raw > limit) return false;
  value = Currency::FromRaw(d.Negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(raw))
                                       : static_cast<int64_t>(raw));
  return true;
}

[[noreturn]] void FloatError(const String& S) {
  throw EConvertError("'%s' is not a valid floating point value", {S});
}

}  // namespace

// ---------------------------------------------------------------------------

namespace sysutils_impl {

String FloatToText(const TFloatValue& value, TFloatFormat format, int precision, int digits,
                   const TFormatSettings& fs) {
  precision = std::clamp(precision, 1, MaxPrecision(value));
  if (format == ffGeneral || format == ffExponent) {
    TFloatRec rec = ToDecimal(value, precision, kUnlimited);
    if (rec.Special != TFloatRec::fkFinite) return SpecialText(rec);
    if (format == ffGeneral) return GeneralText(rec, precision, digits, fs);
    String d = rec.Digits + Zeros(precision - static_cast<int>(rec.Digits.size()));
    String s = rec.Negative ? "-" : "";
    s += d.substr(0, 1);
    if (d.size() > 1) s += fs.DecimalSeparator + d.substr(1);
    return s + ExponentText(rec.IsZero() ? 0 : rec.Exponent - 1, std::clamp(digits, 0, 4), true);
  }
  digits = std::clamp(digits, 0, 18);
  TFloatRec rec = ToDecimal(value, precision, digits);
  if (rec.Special != TFloatRec::fkFinite) return SpecialText(rec);
  if (rec.Exponent > precision) return GeneralText(rec, precision, 0, fs);
  String ip = IntegerDigits(rec);
  if (ip.empty()) ip = "0";
  if (format != ffFixed) ip = GroupThousands(ip, fs.ThousandSeparator);
  String fp = FractionDigits(rec);
  fp += Zeros(digits - static_cast<int>(fp.size()));
  String number = digits > 0 ? ip + fs.DecimalSeparator + fp : ip;
  if (format == ffCurrency) return CurrencyText(number, rec.Negative, fs);
  return rec.Negative ? "-" + number : number;
}

String FormatFloatText(const String& format, const TFloatValue& value, const TFormatSettings& fs) {
  if (format.empty()) return FloatToText(value, ffGeneral, value.IsCurrency ? 19 : 15, 0, fs);
  if (!value.IsCurrency && !std::isfinite(value.D)) return FloatToText(value, ffGeneral, 15, 0, fs);
  std::vector<String> sections = SplitSections(format);
  bool negative = value.IsCurrency ? value.C.Value < 0 : value.D < 0;
  auto sectionGiven = [&](size_t i) { return sections.size() > i && !sections[i].empty(); };
  bool zero = false;
  String out;
  if (negative && sectionGiven(1)) {
    TFloatValue absolute = value;
    if (absolute.IsCurrency) absolute.C = -absolute.C;
    else absolute.D = -absolute.D;
    out = FormatSection(sections[1], absolute, false, fs, zero);
  } else {
    out = FormatSection(sections[0], value, negative, fs, zero);
  }
  if (zero && sectionGiven(2)) out = FormatSection(sections[2], TFloatValue::Of(0.0), false, fs, zero);
  return out;
}

}  // namespace sysutils_impl

// ---------------------------------------------------------------------------

String FloatToStr(double Value) { return FloatToStr(Value, FormatSettings); }
String FloatToStr(double Value, const TFormatSettings& Settings) {
  return FloatToText(TFloatValue::Of(Value), ffGeneral, 15, 0, Settings);
}

String FloatToStrF(double Value, TFloatFormat Format, Integer Precision, Integer Digits) {
  return FloatToStrF(Value, Format, Precision, Digits, FormatSettings);
}
String FloatToStrF(double Value, TFloatFormat Format, Integer Precision, Integer Digits,
                   const TFormatSettings& Settings) {
  return FloatToText(TFloatValue::Of(Value), Format, Precision, Digits, Settings);
}

String FormatFloat(const String& Format, double Value) { return FormatFloat(Format, Value, FormatSettings); }
String FormatFloat(const String& Format, double Value, const TFormatSettings& Settings) {
  return FormatFloatText(Format, TFloatValue::Of(Value), Settings);
}

double StrToFloat(const String& S) { return StrToFloat(S, FormatSettings); }
double StrToFloat(const String& S, const TFormatSettings& Settings) {
  double v;
  if (!TryStrToFloat(S, v, Settings)) FloatError(S);
  return v;
}
double StrToFloatDef(const String& S, double Default) { return StrToFloatDef(S, Default, FormatSettings); }
double StrToFloatDef(const String& S, double Default, const TFormatSettings& Settings) {
  double v;
  return TryStrToFloat(S, v, Settings) ? v : Default;
}
bool TryStrToFloat(const String& S, double& Value) { return TryStrToFloat(S, Value, FormatSettings); }
bool TryStrToFloat(const String& S, double& Value, const TFormatSettings& Settings) {
  TDecimalText d;
  return ParseDecimalText(S, Settings.DecimalSeparator, d) && DecimalToDouble(d, Value);
}

String CurrToStr(Currency Value) { return CurrToStr(Value, FormatSettings); }
String CurrToStr(Currency Value, const TFormatSettings& Settings) {
  return FloatToText(TFloatValue::Of(Value), ffGeneral, 19, 0, Settings);
}
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits) {
  return CurrToStrF(Value, Format, Digits, FormatSettings);
}
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits, const TFormatSettings& Settings) {
  return FloatToText(TFloatValue::Of(Value), Format, 19, Digits, Settings);
}
String FormatCurr(const String& Format, Currency Value) { return FormatCurr(Format, Value, FormatSettings); }
String FormatCurr(const String& Format, Currency Value, const TFormatSettings& Settings) {
  return FormatFloatText(Format, TFloatValue::Of(Value), Settings);
}

Currency StrToCurr(const String& S) { return StrToCurr(S, FormatSettings); }
Currency StrToCurr(const String& S, const TFormatSettings& Settings) {
  Currency c;
  if (!TryStrToCurr(S, c, Settings)) FloatError(S);
  return c;
}
bool TryStrToCurr(const String& S, Currency& Value) { return TryStrToCurr(S, Value, FormatSettings); }
bool TryStrToCurr(const String& S, Currency& Value, const TFormatSettings& Settings) {
  TDecimalText d;
  return ParseDecimalText(S, Settings.DecimalSeparator, d) && DecimalToCurrency(d, Value);
}
