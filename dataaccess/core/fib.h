// Errors of the data-access library, the per-thread status vector, the
// client error table and the connection/transaction parameter blocks.
//
//   if (lib->isc_attach_database(StatusVector(), ...) > 0) RaiseStatusError(lib, this);
//   RaiseClientError(fceDatabaseNotOpen, {CmpFullName(this)});
//   BuildDPB(db->DBParams(), block, length);  // "user_name=SYSDBA" ... -> the client's bytes
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>

#include "dataaccess/core/IB_Intf.h"
#include "dataaccess/core/ibase.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

extern const TUnit unit_fib;

// ---------------------------------------------------------------------------
// Status vector

// The calling thread's status vector (ISC_STATUS_LENGTH words), passed first
// to every client call that takes one.
ISC_STATUS* StatusVector();

// True when the calling thread's status vector holds one of the codes, as an
// engine code or a number argument.
bool StatusVectorHasCode(std::span<const ISC_STATUS> Codes);
inline bool StatusVectorHasCode(std::initializer_list<ISC_STATUS> Codes) {
  return StatusVectorHasCode(std::span<const ISC_STATUS>(Codes.begin(), Codes.size()));
}

// ---------------------------------------------------------------------------
// Exceptions

// Composition flags of error messages.
inline constexpr Byte kShowIBMessage = 2;   // engine messages
inline constexpr Byte kShowSQLMessage = 4;  // the SQL code's message
inline constexpr Byte kShowRaiserName = 8;  // full name of the raising component
Byte GetErrorMessageFlags();

class EFIBError : public EDatabaseError {
 public:
  // Message: [raiser name ":\r\n"] [SQL message] [engine messages] [custom] Text,
  // each part as the composition flags allow. The engine error code is word 1
  // of the calling thread's status vector at this moment.
  EFIBError(Integer SQLCode, TObject* Raiser, const String& Text);

  Integer SQLCode() const { return sql_code_; }
  ISC_STATUS IBErrorCode() const { return ib_error_code_; }
  const String& RaiserName() const { return raiser_name_; }
  const String& SQLMessage() const { return sql_message_; }
  const String& IBMessage() const { return ib_message_; }
  const String& CustomMessage() const { return custom_message_; }
  const String& Text() const { return text_; }
  // The object that raised the error (not owned; may be gone by now).
  TObject* Raiser() const { return raiser_; }

 protected:
  EFIBError(Integer SQLCode, TObject* Raiser, String SQLMessage, String IBMessage,
            String CustomMessage, const String& Text);

 private:
  String Compose() const;

  Integer sql_code_;
  ISC_STATUS ib_error_code_;
  String raiser_name_;
  String sql_message_;
  String ib_message_;
  String custom_message_;
  String text_;
  TObject* raiser_;
};

class EFIBInterBaseError : public EFIBError {
 public:
  EFIBInterBaseError(Integer SQLCode, TObject* Raiser, const String& Text)
      : EFIBError(SQLCode, Raiser, Text) {}
  EFIBInterBaseError(Integer SQLCode, TObject* Raiser, String SQLMessage, String IBMessage,
                     String CustomMessage, const String& Text)
      : EFIBError(SQLCode, Raiser, std::move(SQLMessage), std::move(IBMessage),
                  std::move(CustomMessage), Text) {}
};

class EFIBClientError : public EFIBError {
 public:
  using EFIBError::EFIBError;
};

// Builds an EFIBInterBaseError from the calling thread's status vector, with
// the texts of the client library, and raises it. The SQL-code message and
// each engine message become one line each: first letter upper-cased, a
// final point added where missing, then a line break.
[[noreturn]] void RaiseStatusError(IIBClientLibrary* ClientLibrary, TObject* Raiser);

// ---------------------------------------------------------------------------
// Client errors: numbered texts, taken modulo 128.

// Numbers of the client error table.
enum TFIBClientErrorNumber : Integer {
  fceUnknownError,  // 0
  fceUnsupportedFeature,
  fceNotPermitted,
  fceTempFileAccess,
  fceConnectionTimedOut,
  fceCannotSetDatabase,
  fceCannotSetTransaction,
  fceOperationCancelled,
  fceDPBConstantUnsupported,
  fceDPBConstantUnknown,
  fceTPBConstantUnsupported,  // 10
  fceTPBConstantUnknown,
  fceDatabaseNotOpen,
  fceDatabaseOpen,
  fceDatabaseNameMissing,
  fceTransactionNotActive,
  fceTransactionActive,
  fceNegativeTimeout,
  fceNoDatabasesInTransaction,
  fceUpdatingWrongDatabase,
  fceUpdatingWrongTransaction,  // 20
  fceDatabaseNotAssigned,
  fceTransactionNotAssigned,
  fceXSQLDAIndexOutOfRange,
  fceXSQLDANameNotFound,
  fceEndOfFile,
  fceBeginningOfFile,
  fceInvalidStatementHandle,
  fceDatasetOpen,
  fceDatasetClosed,
  fceUnknownSQLDataType,  // 30
  fceInvalidColumnIndex,
  fceInvalidParamIndex,
  fceInvalidDataConversion,
  fceColumnNotNullable,
  fceBlobNotReadable,
  fceBlobNotWritable,
  fceQueryEmpty,
  fceOpenNonSelect,
  fceNoFieldAccess,
  fceFieldReadOnly,  // 40
  fceFieldNotFound,
  fceNotEditOrInsert,
  fceNotEditing,
  fceCannotInsert,
  fceCannotPost,
  fceCannotUpdate,
  fceCannotDelete,
  fceCannotRefreshRow,
  fceBufferNotSet,
  fceCircularReference,  // 50
  fceSQLParseError,
  fceUserAbort,
  fceUniDirectional,
  fceCannotCreateSharedResource,
  fceWindowsAPIError,
  fceColumnListsMismatch,
  fceColumnTypesMismatch,
  fceCannotEndSharedTransaction,
  fceNotArrayField,
  fceArrayDimensionMissing,  // 60
  fceInvalidSQLDialect,
  fceClientLibraryNotFound,
  fceNeedsVersion6,
  fceInstallLibraryNotFound,
  fceServiceNotAttached,
  fceServiceAttached,
  fceServerNameMissing,
  fceQueryParamsInvalid,
  fceStartParamsInvalid,
  fceUnexpectedOutput,  // 70
  fceGenericServiceStart,
  fceSPBConstantUnsupported,
  fceSPBConstantUnknown,
  fceFieldSizeTooSmall,
  fceLimitedCacheNotUsable,
  fceFieldListEmpty,
  fceFieldNotUsable,
  fceNeedsVersion2,
};

// Number of texts in the client error table (numbers 0 to 78).
inline constexpr int kClientErrorCount = 79;
// Text of client error (Number and 127); "Unknown error." past the table.
const char* ClientErrorText(Integer Number);

// Raises EFIBClientError with table text (Number and 127) formatted with
// Args; its SQL code is (Number and 127).
[[noreturn]] void RaiseClientError(Integer Number, TVarRecs Args);
[[noreturn]] inline void RaiseClientError(Integer Number,
                                          std::initializer_list<TVarRec> Args = {}) {
  RaiseClientError(Number, ToVarRecs(Args));
}
// Raises EFIBClientError with a free text; its SQL code is -1.
[[noreturn]] void RaiseClientErrorMsg(const String& Fmt, TVarRecs Args);
[[noreturn]] inline void RaiseClientErrorMsg(const String& Fmt,
                                             std::initializer_list<TVarRec> Args = {}) {
  RaiseClientErrorMsg(Fmt, ToVarRecs(Args));
}

// ---------------------------------------------------------------------------
// Buffers

// Allocates Buffer (when null) or reallocates it to NewSize bytes, and zeroes
// the bytes from OldSize to NewSize when the buffer grew. NewSize 0 frees it.
void ReallocZeroed(void*& Buffer, size_t OldSize, size_t NewSize);

// ---------------------------------------------------------------------------
// Parameter blocks

// Parameter lines "name" or "name=value", the name with or without the
// "isc_dpb_"/"isc_tpb_" prefix, in any letter case. A line with characters
// below 33 at either end is rewritten in place without them (the lines before
// a failing one too). Unknown names, names the installed client does not define and
// unsupported items raise client errors 8-11; values longer than 255 bytes
// raise a client error instead of being cut.

// Connection parameter block: version byte 1, then one item per line.
// Numeric items take one byte when the value is within -128..127, else four
// (little-endian).
void BuildDPB(TStrings* Lines, String& DPB, SmallInt& DPBLength);
// Transaction parameter block: version byte 3, then one item per line; no
// lines give an empty block of length 0.
void BuildTPB(TStrings* Lines, String& TPB, SmallInt& TPBLength);

// Name of connection item 1..83 of the list above, without prefix
// ("user_name" for 28); nullptr outside the list.
const char* DPBParamName(Integer Item);
