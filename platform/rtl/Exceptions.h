// The exception tree. Every error of the system is a class below Exception,
// which is both a TObject (ClassName, dynamic_cast) and a std::exception.
//
//   throw EConvertError(Format("'%s' is not a valid integer value", {S}));
//   throw EConvertError("'%s' is not a valid integer value", {S});   // same
//   Abort();   // silent abort: EAbort, which handlers pass by without a message
#pragma once

#include "platform/rtl/System.h"

#include <exception>

class Exception : public TObject, public std::exception {
 public:
  explicit Exception(String message) : message_(std::move(message)) {}
  // Message built by Format(fmt, args).
  Exception(const String& fmt, std::initializer_list<TVarRec> args);
  Exception(const String& fmt, TVarRecs args);

  const String& Message() const { return message_; }
  void SetMessage(String message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  String message_;
};

#define RTL_DECLARE_EXCEPTION(Name, Parent) \
  class Name : public Parent {              \
   public:                                  \
    using Parent::Parent;                   \
  }

// Silent abort: handlers that show messages let EAbort pass silently.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
[[noreturn]] void Abort();

RTL_DECLARE_EXCEPTION(EConvertError, Exception);
RTL_DECLARE_EXCEPTION(EListError, Exception);
RTL_DECLARE_EXCEPTION(EStringListError, EListError);
RTL_DECLARE_EXCEPTION(EDatabaseError, Exception);
RTL_DECLARE_EXCEPTION(EVariantError, Exception);
RTL_DECLARE_EXCEPTION(EInvalidOperation, Exception);
RTL_DECLARE_EXCEPTION(EInvalidCast, Exception);
RTL_DECLARE_EXCEPTION(EComponentError, Exception);
RTL_DECLARE_EXCEPTION(EPropertyError, Exception);
RTL_DECLARE_EXCEPTION(EClassNotFound, Exception);
RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
RTL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
RTL_DECLARE_EXCEPTION(EFilerError, EStreamError);
RTL_DECLARE_EXCEPTION(EReadError, EFilerError);
RTL_DECLARE_EXCEPTION(EWriteError, EFilerError);
RTL_DECLARE_EXCEPTION(EParserError, Exception);
RTL_DECLARE_EXCEPTION(EThread, Exception);
RTL_DECLARE_EXCEPTION(EOSError, Exception);
RTL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
RTL_DECLARE_EXCEPTION(EIntError, Exception);
RTL_DECLARE_EXCEPTION(ERangeError, EIntError);
RTL_DECLARE_EXCEPTION(EIntOverflow, EIntError);
RTL_DECLARE_EXCEPTION(EDivByZero, EIntError);
RTL_DECLARE_EXCEPTION(EMathError, Exception);
RTL_DECLARE_EXCEPTION(EZeroDivide, EMathError);
RTL_DECLARE_EXCEPTION(EOverflow, EMathError);
RTL_DECLARE_EXCEPTION(EInvalidOp, EMathError);
RTL_DECLARE_EXCEPTION(EInvalidArgument, EMathError);
RTL_DECLARE_EXCEPTION(EInvalidPointer, Exception);
RTL_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
RTL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
RTL_DECLARE_EXCEPTION(EInvalidGridOperation, Exception);
RTL_DECLARE_EXCEPTION(EOutOfResources, Exception);
RTL_DECLARE_EXCEPTION(EAssertionFailed, Exception);

// Raises EAssertionFailed "<message> (<file>, line <line>)".
[[noreturn]] void AssertionFailed(const String& Message, const char* FileName, int Line);
