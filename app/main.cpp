// The process viewer: units initialised, the main window created from its
// form resource, the message loop run until the main window closes.
#include "app/Unit1.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

int main() {
  int code = 0;
  try {
    InitializeUnits({&unit_Unit1});
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
