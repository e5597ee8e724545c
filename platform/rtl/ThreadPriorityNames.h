// The names of TThreadPriority for published properties and form data
// (kept apart so that Threads.h stays free of the type registry).
#pragma once

#include "platform/rtl/Threads.h"
#include "platform/rtl/TypInfo.h"

RTL_ENUM_NAMES(TThreadPriority, tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical);
