// Statements with an error handler, and update objects attached to an
// extended dataset.
#pragma once

#include "platform/rtl/TypInfo.h"

// When an update object runs: before or after the dataset's own statement.
RTL_ENUM(TFIBOrderExecUO, oeBeforeDefault, oeAfterDefault);
