#include "platform/os/Modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <vector>

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

struct TLoaded {
  std::string name;
  void* dl = nullptr;                 // dlopen handle, or null for a built-in module
  std::map<std::string, void*> exports;  // built-in modules only
  int refs = 0;
};

struct TState {
  std::mutex lock;
  std::map<std::string, TBuiltinModule> builtins;  // key: lower-case name
  std::map<std::string, std::string> aliases;      // key: lower-case alias
  std::vector<std::unique_ptr<TLoaded>> loaded;
};

TState& State() {
  static TState state;
  return state;
}

thread_local std::string g_lastError;

}  // namespace

HMODULE LoadLibrary(const std::string& Name) {
  TState& s = State();
  std::lock_guard guard(s.lock);
  std::string key = Lower(Name);
  auto builtin = s.builtins.find(key);
  if (builtin != s.builtins.end()) {
    for (auto& m : s.loaded) {
      if (m->dl == nullptr && Lower(m->name) == key) {
        ++m->refs;
        return m.get();
      }
    }
    auto m = std::make_unique<TLoaded>();
    m->name = builtin->second.Name;
    m->exports = builtin->second.Exports;
    m->refs = 1;
    s.loaded.push_back(std::move(m));
    return s.loaded.back().get();
  }
  std::string file = Name;
  auto alias = s.aliases.find(key);
  if (alias != s.aliases.end()) file = alias->second;
  void* dl = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (dl == nullptr) {
    const char* err = dlerror();
    g_lastError = err ? err : ("cannot load " + file);
    return nullptr;
  }
  for (auto& m : s.loaded) {
    if (m->dl == dl) {
      dlclose(dl);  // keep one dlopen reference per entry
      ++m->refs;
      return m.get();
    }
  }
  auto m = std::make_unique<TLoaded>();
  m->name = file;
  m->dl = dl;
  m->refs = 1;
  s.loaded.push_back(std::move(m));
  return s.loaded.back().get();
}

void* GetProcAddress(HMODULE Module, const std::string& ProcName) {
  if (Module == nullptr) {
    g_lastError = "invalid module handle";
    return nullptr;
  }
  auto* m = static_cast<TLoaded*>(Module);
  if (m->dl == nullptr) {
    auto it = m->exports.find(ProcName);
    if (it == m->exports.end() || it->second == nullptr) {
      g_lastError = "undefined symbol: " + ProcName;
      return nullptr;
    }
    return it->second;
  }
  dlerror();
  void* p = dlsym(m->dl, ProcName.c_str());
  if (p == nullptr) {
    const char* err = dlerror();
    g_lastError = err ? err : ("undefined symbol: " + ProcName);
  }
  return p;
}

bool FreeLibrary(HMODULE Module) {
  if (Module == nullptr) return false;
  TState& s = State();
  std::lock_guard guard(s.lock);
  auto it = std::find_if(s.loaded.begin(), s.loaded.end(), [&](auto& m) { return m.get() == Module; });
  if (it == s.loaded.end()) return false;
  if (--(*it)->refs == 0) {
    if ((*it)->dl != nullptr) dlclose((*it)->dl);
    s.loaded.erase(it);
  }
  return true;
}

std::string LastModuleError() { return g_lastError; }

std::string GetModuleFileName(HMODULE Module) {
  return Module == nullptr ? std::string() : static_cast<TLoaded*>(Module)->name;
}

void RegisterBuiltinModule(const TBuiltinModule& Module) {
  TState& s = State();
  std::lock_guard guard(s.lock);
  s.builtins[Lower(Module.Name)] = Module;
}

bool UnregisterBuiltinModule(const std::string& Name) {
  TState& s = State();
  std::lock_guard guard(s.lock);
  return s.builtins.erase(Lower(Name)) > 0;
}

void RegisterLibraryAlias(const std::string& Alias, const std::string& Target) {
  TState& s = State();
  std::lock_guard guard(s.lock);
  s.aliases[Lower(Alias)] = Target;
}
