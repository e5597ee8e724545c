#include "app/wtsapi32.h"

#include "platform/os/Modules.h"

#include <mutex>
#include <string>

namespace {

struct TWtsApi {
  HMODULE Library = nullptr;
  TWTSEnumerateProcessesA EnumerateProcesses = nullptr;
  TWTSFreeMemory FreeMemory = nullptr;
};

std::mutex& ApiLock() {
  static std::mutex lock;
  return lock;
}

TWtsApi& BoundApi() {
  static TWtsApi api;
  return api;
}

// Binds the library if needed and copies the bound entry points to api.
bool Bind(TWtsApi& api) {
  std::lock_guard guard(ApiLock());
  TWtsApi& bound = BoundApi();
  if (bound.Library == nullptr) {
    HMODULE library = LoadLibrary(WtsApiModuleName);
    if (library == nullptr) return false;
    auto enumerate = reinterpret_cast<TWTSEnumerateProcessesA>(GetProcAddress(library, "WTSEnumerateProcessesA"));
    auto release = reinterpret_cast<TWTSFreeMemory>(GetProcAddress(library, "WTSFreeMemory"));
    if (enumerate == nullptr || release == nullptr) {
      FreeLibrary(library);
      return false;
    }
    bound = {library, enumerate, release};
  }
  api = bound;
  return true;
}

constexpr const TUnit* kUses[] = {&unit_SessionProcesses};

}  // namespace

bool LoadWtsApi() {
  TWtsApi api;
  return Bind(api);
}

int WtsEnumerateProcesses(void* Server, uint32_t Reserved, uint32_t Version, PWTS_PROCESS_INFOA& ProcessArray,
                          uint32_t& Count) {
  TWtsApi api;
  if (!Bind(api)) return 0;
  return api.EnumerateProcesses(Server, Reserved, Version, &ProcessArray, &Count);
}

void WtsFreeMemory(void* Memory) {
  TWtsApi api;
  if (Bind(api)) api.FreeMemory(Memory);
}

bool GetTerminalProcessList(std::vector<String>& Lines) {
  PWTS_PROCESS_INFOA processes = nullptr;
  uint32_t count = 0;
  if (WtsEnumerateProcesses(WTS_CURRENT_SERVER_HANDLE, 0, 1, processes, count) == 0) return false;
  struct TRelease {
    PWTS_PROCESS_INFOA memory;
    ~TRelease() { WtsFreeMemory(memory); }
  } release{processes};
  if (processes == nullptr && count > 0) return false;

  std::vector<String> lines;
  lines.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const WTS_PROCESS_INFOA& p = processes[i];
    String name = p.pProcessName != nullptr && *p.pProcessName != '\0' ? p.pProcessName : "<iaecaanoii>";
    lines.push_back("Name: " + name + " PID: " + std::to_string(p.ProcessId) +
                    " Session ID: " + std::to_string(p.SessionId));
  }
  Lines.insert(Lines.end(), std::make_move_iterator(lines.begin()), std::make_move_iterator(lines.end()));
  return true;
}

bool GetTerminalProcessList(TStrings* Lines) {
  std::vector<String> lines;
  if (!GetTerminalProcessList(lines)) return false;
  Lines->BeginUpdate();
  try {
    for (const String& line : lines) Lines->Add(line);
  } catch (...) {
    Lines->EndUpdate();
    throw;
  }
  Lines->EndUpdate();
  return true;
}

void ResetWtsApi() {
  std::lock_guard guard(ApiLock());
  TWtsApi& bound = BoundApi();
  if (bound.Library != nullptr) FreeLibrary(bound.Library);
  bound = {};
}

constinit const TUnit unit_wtsapi32("wtsapi32", kUses, nullptr, ResetWtsApi);
