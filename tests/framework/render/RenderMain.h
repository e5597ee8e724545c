// The main of the render programs: starts the units, the application, runs
// Render with the output file (the first argument, else DefaultOut) and
// ends the units; exit code 1 when Render fails or raises.
#pragma once

#include <cstdio>
#include <exception>
#include <initializer_list>

#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

inline int RenderMain(int argc, char** argv, const char* DefaultOut, std::initializer_list<const TUnit*> Units,
                      int (*Render)(const String& Out)) {
  String out = argc > 1 ? argv[1] : DefaultOut;
  int code = 0;
  try {
    InitializeUnits(Units);
    Application->Initialize();
    code = Render(out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    code = 1;
  }
  FinalizeUnits();
  return code;
}
