#include "platform/rtl/UnitInit.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

std::recursive_mutex& Lock() {
  static std::recursive_mutex lock;
  return lock;
}

std::vector<const TUnit*>& Initialized() {
  static std::vector<const TUnit*> units;
  return units;
}

std::vector<const TUnit*>& InProgress() {
  static std::vector<const TUnit*> units;
  return units;
}

bool Contains(const std::vector<const TUnit*>& list, const TUnit* unit) {
  return std::find(list.begin(), list.end(), unit) != list.end();
}

void InitializeOne(const TUnit* unit) {
  if (Contains(Initialized(), unit) || Contains(InProgress(), unit)) return;  // done, or a cycle
  InProgress().push_back(unit);
  for (const TUnit* used : unit->Uses()) InitializeOne(used);
  InProgress().pop_back();
  if (unit->Init() != nullptr) unit->Init()();
  Initialized().push_back(unit);
}

}  // namespace

void InitializeUnits(std::initializer_list<const TUnit*> roots) {
  std::lock_guard guard(Lock());
  try {
    for (const TUnit* unit : roots) InitializeOne(unit);
  } catch (...) {
    InProgress().clear();
    throw;
  }
}

std::vector<std::string> FinalizeUnits() {
  std::lock_guard guard(Lock());
  std::vector<std::string> names;
  auto& units = Initialized();
  while (!units.empty()) {
    const TUnit* unit = units.back();
    units.pop_back();
    names.emplace_back(unit->Name());
    if (unit->Final() != nullptr) unit->Final()();
  }
  return names;
}

bool IsUnitInitialized(const TUnit& unit) {
  std::lock_guard guard(Lock());
  return Contains(Initialized(), &unit);
}

std::vector<std::string> InitializedUnitNames() {
  std::lock_guard guard(Lock());
  std::vector<std::string> names;
  for (const TUnit* unit : Initialized()) names.emplace_back(unit->Name());
  return names;
}

void Halt(int Code) {
  static std::atomic<bool> halting{false};
  if (!halting.exchange(true)) {
    for (;;) {
      try {
        FinalizeUnits();
        break;
      } catch (...) {
        // The unit that raised is finalised; go on with the others.
      }
    }
  }
  std::exit(Code);
}
