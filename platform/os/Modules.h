// Loading of shared libraries by name, and built-in modules.
//
// LoadLibrary(name) first looks the name up among the built-in modules (a
// provider compiled into the program, registered under a Windows-style name
// such as "wtsapi32.dll"), then among the name aliases ("gds32.dll" ->
// "libfbclient.so.2"), and finally loads the file with dlopen. A handle is
// an opaque non-null pointer; nullptr means failure (LastModuleError tells
// why). Handles are reference counted per LoadLibrary/FreeLibrary pair.
#pragma once

#include <map>
#include <string>

using HMODULE = void*;

HMODULE LoadLibrary(const std::string& Name);
void* GetProcAddress(HMODULE Module, const std::string& ProcName);
bool FreeLibrary(HMODULE Module);
// Text of the last failure of LoadLibrary or GetProcAddress on this thread.
std::string LastModuleError();
// The file name a handle was loaded from (the built-in module's name for those).
std::string GetModuleFileName(HMODULE Module);

// Built-in modules: a name and its exported entry points.
struct TBuiltinModule {
  std::string Name;
  std::map<std::string, void*> Exports;
};
// Registers (or replaces) a built-in module; names compare ignoring ASCII case.
void RegisterBuiltinModule(const TBuiltinModule& Module);
// Removes a built-in module, so that loading its name fails (tests use this to
// show a missing library); true when it was registered.
bool UnregisterBuiltinModule(const std::string& Name);
// Makes LoadLibrary(Alias) load Target instead (ignoring ASCII case).
void RegisterLibraryAlias(const std::string& Alias, const std::string& Target);
