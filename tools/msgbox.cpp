// msgbox MESSAGE [DETAILS [BUTTONS [TYPE]]]: shows the framework's message
// window and exits with the number of the pressed button (0 when closed
// otherwise, 255 on a usage error or a failure). TYPE: 0 information,
// 1 question, 2 warning, 3 error. "\n" in MESSAGE and DETAILS breaks lines.
#include <cstdio>
#include <cstdlib>

#include "framework/B_Dlg.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"

namespace {

String Unescape(const char* S) {
  String out;
  for (; *S != 0; ++S) {
    if (S[0] == '\\' && S[1] == 'n') {
      out += '\n';
      ++S;
    } else {
      out += *S;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "usage: msgbox MESSAGE [DETAILS [BUTTONS [TYPE]]]\n");
    return 255;
  }
  int type = argc > 4 ? std::atoi(argv[4]) : 0;
  if (type < 0 || type > 3) {
    std::fprintf(stderr, "msgbox: TYPE must be 0 to 3\n");
    return 255;
  }
  int code = 0;
  try {
    InitializeUnits({&unit_B_Dlg});
    Application->Initialize();
    code = MsgBox(Unescape(argv[1]), argc > 2 ? Unescape(argv[2]) : String(), argc > 3 ? argv[3] : "",
                  static_cast<TB_MsgType>(type));
    std::printf("%d\n", code);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "msgbox: %s\n", e.what());
    code = 255;
  }
  FinalizeUnits();
  return code;
}
