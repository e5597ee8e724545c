// The session process list: a built-in module "wtsapi32.dll" exporting
// "WTSEnumerateProcessesA" and "WTSFreeMemory", bound by name through
// LoadLibrary/GetProcAddress.
//
// WTSEnumerateProcessesA(Server, Reserved, Version, &Array, &Count) lists the
// processes of /proc (see ProcessInfo.h for the root): the idle process first
// (id 0, session 0, null name), then every process in ascending id order with
// its session id (field 6 of /proc/PID/stat) and its name (comm). It succeeds
// (non-zero) only for the current server (null handle), Reserved 0 and
// Version 1. The array and the names it points to are one allocation, freed
// with WTSFreeMemory.
#pragma once

#include "platform/rtl/UnitInit.h"

#include <cstdint>

// Natural 64-bit layout: 24 bytes per record.
struct WTS_PROCESS_INFOA {
  uint32_t SessionId;
  uint32_t ProcessId;
  char* pProcessName;  // zero-terminated, null for the idle process
  void* pUserSid;      // always null
};
using PWTS_PROCESS_INFOA = WTS_PROCESS_INFOA*;

inline constexpr void* WTS_CURRENT_SERVER_HANDLE = nullptr;

// Entry point types of the module (BOOL results: non-zero is success).
using TWTSEnumerateProcessesA = int (*)(void* hServer, uint32_t Reserved, uint32_t Version,
                                        PWTS_PROCESS_INFOA* ppProcessInfo, uint32_t* pCount);
using TWTSFreeMemory = void (*)(void* pMemory);

inline constexpr const char* WtsApiModuleName = "wtsapi32.dll";

// Registers (again) the built-in "wtsapi32.dll"; the unit's initialization
// does this, tests call it to restore the provider after replacing it.
void RegisterSessionProcessModule();

// Initialization registers the module, finalization removes it.
extern const TUnit unit_SessionProcesses;
