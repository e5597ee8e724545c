// BLOB contents and array values of descriptor entries.
//
// These read and write through the BLOB stream (unit FIBMiscellaneous) and
// the array columns (unit pFIBArray). Until those units are part of the
// library, reading or copying a BLOB's server content and writing an array
// raise client error 1 "Unsupported feature."; BLOB parameters given as text
// or streams, and BLOB identifiers, work without them.
#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/fib.h"

String TFIBXSQLVAR::ReadBlobText() const { RaiseClientError(fceUnsupportedFeature); }

void TFIBXSQLVAR::CopyBlobValue(TFIBXSQLVAR* /*Source*/) { RaiseClientError(fceUnsupportedFeature); }

void TFIBXSQLVAR::WriteArray(const Variant& /*Value*/) {
  if (array_ == nullptr) RaiseNotArray();
  RaiseClientError(fceUnsupportedFeature);
}

Integer TFIBXSQLVAR::ArrayDimensions() const {
  if (array_ == nullptr) RaiseNotArray();
  RaiseClientError(fceUnsupportedFeature);
}
