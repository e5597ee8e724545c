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

// Bytes of a descriptor area (XSQLDA) with n entries; n = 0 gives the header.
constexpr size_t DescriptorAreaSize(int n) {
  return sizeof(XSQLDA) - sizeof(XSQLVAR) + static_cast<size_t>(n > 0 ? n : 0) * sizeof(XSQLVAR);
}
