// Unit initialization and finalization.
//
// Each unit that needs start-up work defines one constant TUnit naming the
// units it uses and its two procedures; TUnit objects are constant-initialised
// (no global constructor runs). The program (or a test) calls InitializeUnits
// with its root units: every unit reachable through `uses` is initialised
// once, after the units it uses, in a fixed depth-first order. FinalizeUnits
// runs the finalizations of everything initialised, in exactly the reverse
// order.
//
//   // B_PF.cpp
//   static void Init() { ... }
//   static void Final() { ... }
//   static constexpr const TUnit* kUses[] = {&unit_SysUtils};
//   constinit const TUnit unit_B_PF("B_PF", kUses, Init, Final);
//   // B_PF.h
//   extern const TUnit unit_B_PF;
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

class TUnit {
 public:
  using Proc = void (*)();

  constexpr TUnit(const char* name, std::span<const TUnit* const> uses, Proc init, Proc final)
      : name_(name), uses_(uses), init_(init), final_(final) {}
  constexpr TUnit(const char* name, Proc init, Proc final) : TUnit(name, {}, init, final) {}

  const char* Name() const { return name_; }
  std::span<const TUnit* const> Uses() const { return uses_; }
  Proc Init() const { return init_; }
  Proc Final() const { return final_; }

 private:
  const char* name_;
  std::span<const TUnit* const> uses_;
  Proc init_;
  Proc final_;
};

// Initialises the given units and everything they use (each unit once).
// If an initialization throws, the units initialised so far stay initialised
// (FinalizeUnits releases them) and the exception propagates.
void InitializeUnits(std::initializer_list<const TUnit*> roots);
// Runs the finalizations in reverse order of initialization and returns the
// names of the units finalised, in that order.
std::vector<std::string> FinalizeUnits();
// True once the unit's initialization has run (and it is not finalised).
bool IsUnitInitialized(const TUnit& unit);
// Names of the initialised units in initialization order.
std::vector<std::string> InitializedUnitNames();

// Ends the program at once with exit code Code, as the platform ends it:
// the finalizations of every initialised unit run in reverse order (one
// that raises is skipped over), then the process exits (C streams flushed,
// no stack unwinding: the code after the call never runs). A GUI program
// calls Application->Terminate() first, so that what runs during the
// finalizations sees the application ending. Main thread only; called
// again while its finalizations run, it exits at once.
[[noreturn]] void Halt(int Code = 0);
