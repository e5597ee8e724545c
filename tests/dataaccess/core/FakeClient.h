// Paths and controls of the stand-in client libraries built beside the tests.
#pragma once

#include <string>

#include "dataaccess/core/IB_Intf.h"

// "v5", "v6", "v7" or "nofree" (see fakeclient/FakeClient.cpp).
inline std::string FakeClientPath(const char* variant) {
  return std::string(FAKE_CLIENT_DIR) + "/libfakeclient_" + variant + ".so";
}

// Sets the SQL code and SQL text the stand-in reports (while a binding holds it loaded).
inline void ConfigureFakeClient(const std::string& path, int sqlcode, const char* sql_text) {
  HMODULE m = LoadLibrary(path);
  auto configure =
      reinterpret_cast<void (*)(int, const char*)>(GetProcAddress(m, "fake_configure"));
  configure(sqlcode, sql_text);
  FreeLibrary(m);
}

inline int FakeClientCalls(const std::string& path) {
  HMODULE m = LoadLibrary(path);
  auto calls = reinterpret_cast<int (*)()>(GetProcAddress(m, "fake_calls"));
  int n = calls();
  FreeLibrary(m);
  return n;
}
