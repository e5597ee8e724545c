#include "platform/os/Resources.h"

#include <cctype>
#include <map>
#include <mutex>
#include <utility>

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
