// Text, number and date routines of the run-time layer.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

// Format(fmt, args): the class library's formatting. Directives
// "%" [index ":"] ["-"] [width] ["." precision] type, type one of
// d u e f g n m p s x (either case); "*" takes width or precision from args.
String Format(const String& fmt, TVarRecs args);
inline String Format(const String& fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, ToVarRecs(args));
}
