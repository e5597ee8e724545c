// Unit wtsapi32: the terminal-services process list, bound at run time from
// "wtsapi32.dll" so that the program starts even where the library is missing.
#pragma once

#include "platform/os/SessionProcesses.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

#include <cstdint>
#include <vector>

// Loads the library and binds both entry points once; true when bound. A
// library lacking either entry point counts as missing (nothing is bound), so
// the wrappers never call an absent entry point. A failed load is tried again
// on the next call; a bound library stays loaded.
bool LoadWtsApi();
// The bound WTSEnumerateProcessesA, or 0 when the library is not available.
int WtsEnumerateProcesses(void* Server, uint32_t Reserved, uint32_t Version, PWTS_PROCESS_INFOA& ProcessArray,
                          uint32_t& Count);
// The bound WTSFreeMemory; does nothing when the library is not available.
void WtsFreeMemory(void* Memory);

// Appends "Name: <name> PID: <id> Session ID: <session>" per process of the
// current server (a process without a name shows "<iaecaanoii>"). False, with
// nothing appended, when the list cannot be obtained.
bool GetTerminalProcessList(std::vector<String>& Lines);
bool GetTerminalProcessList(TStrings* Lines);

// Releases the bound library and forgets the entry points (the unit's
// finalization; tests use it to bind afresh).
void ResetWtsApi();

extern const TUnit unit_wtsapi32;
