#include "platform/rtl/SysUtils.h"

// Minimal placeholder: %s and %d only.
String Format(const String& fmt, TVarRecs args) {
  String out;
  size_t arg = 0;
  for (size_t i = 0; i < fmt.size(); ++i) {
    if (fmt[i] != '%' || i + 1 >= fmt.size()) { out += fmt[i]; continue; }
    char t = fmt[++i];
    if (t == '%') { out += '%'; continue; }
    if (arg >= args.size()) continue;
    const TVarRec& a = args[arg++];
    switch (a.VType) {
      case TVarRec::vtInteger: out += std::to_string(a.VInteger); break;
      case TVarRec::vtInt64: out += std::to_string(a.VInt64); break;
      case TVarRec::vtAnsiString: out += *a.VAnsiString; break;
      case TVarRec::vtPChar: out += a.VPChar ? a.VPChar : ""; break;
      case TVarRec::vtChar: out += a.VChar; break;
      default: break;
    }
  }
  return out;
}
