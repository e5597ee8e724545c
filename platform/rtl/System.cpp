#include "platform/rtl/System.h"

#include <cxxabi.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <typeindex>
#include <unordered_map>

Currency Currency::FromDouble(double v) {
  return FromRaw(static_cast<int64_t>(std::nearbyint(v * 10000.0)));
}

Currency operator*(Currency a, Currency b) {
  // 128-bit intermediate keeps full precision before rounding.
  __int128 p = static_cast<__int128>(a.Value) * b.Value;
  __int128 q = p / 10000, r = p % 10000;
  if (r < 0) r = -r;
  if (r > 5000 || (r == 5000 && (q & 1))) q += (p < 0 ? -1 : 1);
  return Currency::FromRaw(static_cast<int64_t>(q));
}

Currency operator/(Currency a, Currency b) {
  __int128 n = static_cast<__int128>(a.Value) * 10000;
  __int128 q = n / b.Value, r = n % b.Value;
  __int128 twice = (r < 0 ? -r : r) * 2, den = b.Value < 0 ? -static_cast<__int128>(b.Value) : b.Value;
  if (twice > den || (twice == den && (q & 1))) q += ((n < 0) != (b.Value < 0) ? -1 : 1);
  return Currency::FromRaw(static_cast<int64_t>(q));
}

bool operator==(const TGUID& a, const TGUID& b) {
  return a.D1 == b.D1 && a.D2 == b.D2 && a.D3 == b.D3 && std::memcmp(a.D4, b.D4, 8) == 0;
}

String TObject::ClassNameOf(const std::type_info& type) {
  static std::mutex lock;
  static std::unordered_map<std::type_index, String> names;
  std::lock_guard guard(lock);
  auto it = names.find(type);
  if (it != names.end()) return it->second;
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  String name = status == 0 && demangled ? String(demangled.get()) : String(type.name());
  names.emplace(type, name);
  return name;
}

String TObject::ClassName() const { return ClassNameOf(typeid(*this)); }
