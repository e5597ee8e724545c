#include "platform/os/SessionProcesses.h"

#include "platform/os/Modules.h"
#include "platform/os/ProcessInfo.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

struct TEntry {
  uint32_t SessionId;
  uint32_t ProcessId;
  size_t NameAt;  // offset in the names, or npos for no name
};

int EnumerateProcessesA(void* hServer, uint32_t Reserved, uint32_t Version, PWTS_PROCESS_INFOA* ppProcessInfo,
                        uint32_t* pCount) {
  if (ppProcessInfo == nullptr || pCount == nullptr) return 0;
  *ppProcessInfo = nullptr;
  *pCount = 0;
  if (hServer != WTS_CURRENT_SERVER_HANDLE || Reserved != 0 || Version != 1) return 0;

  std::vector<TEntry> entries;
  std::string names;  // zero-terminated names back to back
  try {
    entries.reserve(512);
    entries.push_back({0, 0, std::string::npos});
    bool read = ScanProcesses([&](const TProcStat& p) {
      entries.push_back({p.SessionId, p.ProcessId, names.size()});
      names.append(p.Name).push_back('\0');
    });
    if (!read) return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }

  size_t arrayBytes = entries.size() * sizeof(WTS_PROCESS_INFOA);
  auto* block = static_cast<unsigned char*>(std::malloc(arrayBytes + names.size()));
  if (block == nullptr) return 0;
  auto* array = reinterpret_cast<WTS_PROCESS_INFOA*>(block);
  char* text = reinterpret_cast<char*>(block + arrayBytes);
  if (!names.empty()) std::memcpy(text, names.data(), names.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const TEntry& e = entries[i];
    array[i] = {e.SessionId, e.ProcessId, e.NameAt == std::string::npos ? nullptr : text + e.NameAt, nullptr};
  }
  *ppProcessInfo = array;
  *pCount = static_cast<uint32_t>(entries.size());
  return 1;
}

void FreeMemory(void* pMemory) { std::free(pMemory); }

void Init() { RegisterSessionProcessModule(); }

void Final() { UnregisterBuiltinModule(WtsApiModuleName); }

}  // namespace

void RegisterSessionProcessModule() {
  TWTSEnumerateProcessesA enumerate = &EnumerateProcessesA;
  TWTSFreeMemory release = &FreeMemory;
  RegisterBuiltinModule({WtsApiModuleName,
                         {{"WTSEnumerateProcessesA", reinterpret_cast<void*>(enumerate)},
                          {"WTSFreeMemory", reinterpret_cast<void*>(release)}}});
}

constinit const TUnit unit_SessionProcesses("SessionProcesses", Init, Final);
