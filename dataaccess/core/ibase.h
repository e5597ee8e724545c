// The client API of the server: its types and constants come from the
// installed <ibase.h> (64-bit status words and descriptor sizes follow the
// header's types). This unit adds the default library name and the size of
// a descriptor area.
#pragma once

#include <ibase.h>

#include <cstddef>

#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

extern const TUnit unit_ibase;

// File name of the client library that a database loads unless told
// otherwise: "libfbclient.so.2" after this unit's initialization. The names
// stored by older forms, "gds32.dll" and "fbclient.dll", load the same file.
extern String DefaultLibraryName;
inline constexpr const char* kClientLibraryFile = "libfbclient.so.2";

// The server's dates and times: ISC_DATE counts days from 1858-11-17,
// ISC_TIME 1/10000 seconds since midnight. A TDateTime holds both exactly
// enough to round-trip every 1/10000 second of the years 1..9999.
inline constexpr ISC_TIME kServerTimeUnitsPerDay = 864000000;
// Day 0 of TDateTime (1899-12-30) as a server day.
inline constexpr ISC_DATE kServerDateOfDateTimeZero = 15018;

// The server's date and time of day as a TDateTime (before 1899-12-30 the
// day counts back and the time forward: -1.25 is 1899-12-29 06:00).
TDateTime ServerDateTimeToDateTime(ISC_DATE Date, ISC_TIME Time);
// A TDateTime as the server's date and time, the time rounded to 1/10000 s
// within its own day: 23:59:59.99996 stays 23:59:59.9999 of the same day.
// False outside the years 1..9999 (or for a value that is no number).
bool TryDateTimeToServer(TDateTime Value, ISC_DATE& Date, ISC_TIME& Time);

// Bytes of a descriptor area (XSQLDA) with n entries; n = 0 gives the header.
constexpr size_t DescriptorAreaSize(int n) {
  return sizeof(XSQLDA) - sizeof(XSQLVAR) + static_cast<size_t>(n > 0 ? n : 0) * sizeof(XSQLVAR);
}
