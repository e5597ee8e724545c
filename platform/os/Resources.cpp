#include "platform/os/Resources.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/os/ModuleResources.h"

namespace {

String Upper(const String& s) {
  String r = s;
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

struct Table {
  std::mutex lock;
  std::map<std::pair<String, String>, TResource> items;
};

Table& Resources() {
  static Table table;
  return table;
}

bool SameAscii(const char* a, const String& b) {
  size_t i = 0;
  for (; a[i] != '\0'; ++i) {
    if (i >= b.size()) return false;
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == b.size();
}

// "#nnn" names resource id nnn (1..65535).
std::optional<uint16_t> NumericName(const String& Name) {
  if (Name.size() < 2 || Name[0] != '#') return std::nullopt;
  unsigned long v = 0;
  for (size_t i = 1; i < Name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(Name[i]))) return std::nullopt;
    v = v * 10 + static_cast<unsigned long>(Name[i] - '0');
    if (v > 0xFFFF) return std::nullopt;
  }
  if (v == 0) return std::nullopt;
  return static_cast<uint16_t>(v);
}

std::span<const TModuleResource> ModuleTable(HMODULE Module) {
  auto proc = reinterpret_cast<TModuleResourcesProc>(GetProcAddress(Module, kModuleResourcesSymbol));
  if (proc == nullptr) return {};
  size_t count = 0;
  const TModuleResource* table = proc(&count);
  if (table == nullptr) return {};
  return {table, count};
}

TResource ToResource(const TModuleResource& e) {
  String name = e.Name != nullptr ? String(e.Name) : "#" + std::to_string(e.Id);
  return TResource{Upper(name), Upper(e.Type), std::span<const uint8_t>(e.Data, e.Size)};
}

}  // namespace

void RegisterResource(const String& Name, const String& Type, const uint8_t* Data, size_t Size) {
  Table& t = Resources();
  std::lock_guard guard(t.lock);
  String name = Upper(Name), type = Upper(Type);
  t.items[{name, type}] = TResource{name, type, std::span<const uint8_t>(Data, Size)};
}

bool UnregisterResource(const String& Name, const String& Type) {
  Table& t = Resources();
  std::lock_guard guard(t.lock);
  return t.items.erase({Upper(Name), Upper(Type)}) > 0;
}

const TResource* FindResource(const String& Name, const String& Type) {
  Table& t = Resources();
  std::lock_guard guard(t.lock);
  auto it = t.items.find({Upper(Name), Upper(Type)});
  // Entries are never moved by later insertions (std::map), so the pointer stays valid
  // until the resource is unregistered.
  return it == t.items.end() ? nullptr : &it->second;
}

std::span<const uint8_t> LoadResource(const String& Name, const String& Type) {
  const TResource* r = FindResource(Name, Type);
  if (r == nullptr) throw EResNotFound("Resource %s not found", {Name});
  return r->Data;
}

String LoadResourceText(const String& Name, const String& Type) {
  auto data = LoadResource(Name, Type);
  return String(reinterpret_cast<const char*>(data.data()), data.size());
}

std::optional<TResource> FindModuleResource(HMODULE Module, const String& Name, const String& Type) {
  if (auto id = NumericName(Name)) return FindModuleResource(Module, *id, Type);
  if (Module == HInstance) {
    const TResource* r = FindResource(Name, Type);
    return r != nullptr ? std::optional<TResource>(*r) : std::nullopt;
  }
  for (const TModuleResource& e : ModuleTable(Module)) {
    if (e.Name != nullptr && e.Type != nullptr && SameAscii(e.Type, Type) && SameAscii(e.Name, Name))
      return ToResource(e);
  }
  return std::nullopt;
}

std::optional<TResource> FindModuleResource(HMODULE Module, uint16_t Id, const String& Type) {
  if (Module == HInstance) {
    const TResource* r = FindResource(std::to_string(Id), Type);
    return r != nullptr ? std::optional<TResource>(*r) : std::nullopt;
  }
  for (const TModuleResource& e : ModuleTable(Module)) {
    if (e.Name == nullptr && e.Id == Id && e.Type != nullptr && SameAscii(e.Type, Type)) return ToResource(e);
  }
  return std::nullopt;
}
