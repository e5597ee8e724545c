#include "platform/rtl/Exceptions.h"

#include "platform/rtl/SysUtils.h"

Exception::Exception(const String& fmt, std::initializer_list<TVarRec> args)
    : message_(Format(fmt, ToVarRecs(args))) {}

Exception::Exception(const String& fmt, TVarRecs args) : message_(Format(fmt, args)) {}

void Abort() { throw EAbort(); }

void AssertionFailed(const String& Message, const char* FileName, int Line) {
  throw EAssertionFailed("%s (%s, line %d)", {Message, FileName, Line});
}
