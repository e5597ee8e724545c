// The process viewer: units initialised (see Program.cpp), the main window
// created from its form resource, the message loop run until the main
// window closes, the units finalised in reverse order.
#include "app/Program.h"
#include "app/Unit1.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

int main() {
  int code = 0;
  try {
    InitializeUnits({&unit_Program});
    Application->Initialize();
    Application->SetMainFormOnTaskBar(true);
    Application->CreateForm(Form1);
    Application->Run();
  } catch (...) {
    if (Application != nullptr) Application->HandleException(nullptr);
    code = 1;
  }
  FinalizeUnits();
  return code;
}
