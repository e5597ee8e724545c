// Format: the "%" directives over an argument list.
#include <cstdio>

#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/SysUtilsImpl.h"
#include "platform/rtl/Variants.h"

using namespace sysutils_impl;

namespace {

class TFormatter {
 public:
  TFormatter(const String& fmt, TVarRecs args, const TFormatSettings& fs) : fmt_(fmt), args_(args), fs_(fs) {}

  String Run() {
    size_t i = 0;
    while (i < fmt_.size()) {
      size_t pct = fmt_.find('%', i);
      if (pct == String::npos) {
        out_.append(fmt_, i, String::npos);
        break;
      }
      out_.append(fmt_, i, pct - i);
      i = Directive(pct + 1);
    }
    return out_;
  }

 private:
  [[noreturn]] void Invalid() const {
    throw EConvertError("Format '%s' invalid or incompatible with argument", {fmt_});
  }

  const TVarRec& NextArg() {
    if (argIndex_ >= args_.size()) throw EConvertError("No argument for format '%s'", {fmt_});
    return args_[argIndex_++];
  }

  // A number, "*" (from the arguments) or nothing (-1).
  long ReadNumber(size_t& i) {
    if (i < fmt_.size() && fmt_[i] == '*') {
      ++i;
      const TVarRec& a = NextArg();
      if (a.VType != TVarRec::vtInteger) Invalid();
      return a.VInteger;
    }
    if (i >= fmt_.size() || fmt_[i] < '0' || fmt_[i] > '9') return -1;
    long n = 0;
    for (; i < fmt_.size() && fmt_[i] >= '0' && fmt_[i] <= '9'; ++i)
      if (n < 100000000) n = n * 10 + (fmt_[i] - '0');
    return n;
  }

  // Parses one directive starting after "%"; returns the position after it.
  size_t Directive(size_t i) {
    if (i < fmt_.size() && fmt_[i] == '%') {
      out_ += '%';
      return i + 1;
    }
    bool left = false;
    long width = -1, precision = -1;
    long first = ReadNumber(i);
    if (i < fmt_.size() && fmt_[i] == ':') {
      if (first < 0) Invalid();
      argIndex_ = static_cast<size_t>(first);
      ++i;
      first = -1;
    }
    if (first >= 0) {
      width = first;
    } else {
      if (i < fmt_.size() && fmt_[i] == '-') {
        left = true;
        ++i;
      }
      width = ReadNumber(i);
    }
    if (i < fmt_.size() && fmt_[i] == '.') {
      ++i;
      precision = ReadNumber(i);
      if (precision < 0) precision = 0;
    }
    if (i >= fmt_.size()) Invalid();
    char type = fmt_[i];
    if (type >= 'A' && type <= 'Z') type = static_cast<char>(type - 'A' + 'a');
    String text = Convert(type, precision);
    size_t len = Utf8Length(text);
    if (width > 0 && static_cast<size_t>(width) > len) {
      String pad(static_cast<size_t>(width) - len, ' ');
      text = left ? text + pad : pad + text;
    }
    out_ += text;
    return i + 1;
  }

  String Convert(char type, long precision) {
    switch (type) {
      case 'd': case 'u': case 'x': return IntegerText(type, precision);
      case 'e': return FloatText(ffExponent, precision < 0 ? 15 : precision, 3);
      case 'f': return FloatText(ffFixed, 18, precision < 0 ? 2 : precision);
      case 'g': return FloatText(ffGeneral, precision < 0 ? 15 : precision, 3);
      case 'n': return FloatText(ffNumber, 18, precision < 0 ? 2 : precision);
      case 'm': return FloatText(ffCurrency, 18, precision < 0 ? fs_.CurrencyDecimals : precision);
      case 'p': return PointerText();
      case 's': return StringText(precision);
      default: Invalid();
    }
  }

  String IntegerText(char type, long precision) {
    const TVarRec& a = NextArg();
    bool wide = a.VType == TVarRec::vtInt64;
    if (a.VType != TVarRec::vtInteger && !wide) Invalid();
    int64_t v = wide ? a.VInt64 : a.VInteger;
    String digits;
    bool negative = false;
    if (type == 'x') {
      uint64_t u = wide ? static_cast<uint64_t>(v) : static_cast<uint32_t>(a.VInteger);
      char buf[32];
      std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(u));
      digits = buf;
    } else if (type == 'u') {
      uint64_t u = wide ? static_cast<uint64_t>(v) : static_cast<uint32_t>(a.VInteger);
      digits = std::to_string(u);
    } else {
      negative = v < 0;
      digits = std::to_string(negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
    }
    if (precision > static_cast<long>(digits.size()))
      digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
  }

  String FloatText(TFloatFormat format, long precision, long digits) {
    const TVarRec& a = NextArg();
    TFloatValue value;
    if (a.VType == TVarRec::vtExtended) value = TFloatValue::Of(a.VExtended);
    else if (a.VType == TVarRec::vtCurrency) value = TFloatValue::Of(*a.VCurrency);
    else Invalid();
    return FloatToText(value, format, static_cast<int>(std::min(precision, 19L)),
                       static_cast<int>(std::min(digits, 18L)), fs_);
  }

  String PointerText() {
    const TVarRec& a = NextArg();
    const void* p;
    switch (a.VType) {
      case TVarRec::vtPointer: p = a.VPointer; break;
      case TVarRec::vtPChar: p = a.VPChar; break;
      case TVarRec::vtObject: p = a.VObject; break;
      default: Invalid();
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%016llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
    return buf;
  }

  String StringText(long precision) {
    const TVarRec& a = NextArg();
    String s;
    switch (a.VType) {
      case TVarRec::vtChar: s = String(1, a.VChar); break;
      case TVarRec::vtWideChar: s = WideToUtf8(WideString(1, a.VWideChar)); break;
      case TVarRec::vtPChar: s = a.VPChar ? a.VPChar : ""; break;
      case TVarRec::vtAnsiString: s = *a.VAnsiString; break;
      case TVarRec::vtWideString: s = WideToUtf8(*a.VWideString); break;
      case TVarRec::vtVariant: s = VarToStr(*a.VVariant, fs_); break;
      default: Invalid();
    }
    if (precision >= 0) s.resize(Utf8Prefix(s, static_cast<size_t>(precision)));
    return s;
  }

  const String& fmt_;
  TVarRecs args_;
  const TFormatSettings& fs_;
  size_t argIndex_ = 0;
  String out_;
};

}  // namespace

String Format(const String& fmt, TVarRecs args) { return Format(fmt, args, FormatSettings); }

String Format(const String& fmt, TVarRecs args, const TFormatSettings& Settings) {
  return TFormatter(fmt, args, Settings).Run();
}
