// Ending the program from inside its event loop with an exit code: the
// process ends with that code after the finalizations of its units ran in
// reverse order (a unit of its own first, then the forms' unit freeing the
// application and what it owns), and nothing after the call runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "platform/gui/Forms.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/ChildProcess.h"

using namespace std::chrono_literals;

namespace {

void Say(const char* Text) {
  std::printf("halt: %s\n", Text);
  std::fflush(stdout);
}

void FinalProbe() { Say("probe finalized"); }

// Owned by the application: freed when the forms' unit frees it.
class TFreedProbe : public TComponent {
 public:
  using TComponent::TComponent;
  ~TFreedProbe() override { Say("application freed"); }
};

constexpr const TUnit* kProbeUses[] = {&unit_Forms};
constinit const TUnit unit_HaltProbe("HaltProbe", kProbeUses, nullptr, FinalProbe);

TEST(HaltChild, Run) {
  if (std::getenv("HALT_CHILD") == nullptr) GTEST_SKIP() << "runs as the child of HaltTest";
  InitializeUnits({&unit_HaltProbe});
  Application->Initialize();
  TForm* form = nullptr;
  Application->CreateForm(form);
  new TFreedProbe(Application);
  HWND wnd = AllocateHWnd([](TMessage& Message) {
    if (Message.Msg != WM_USER) return;
    Say("halting");
    Application->Terminate();
    Halt(4);
  });
  PostMessage(wnd, WM_USER, 0, 0);
  Application->Run();
  Say("run returned");
}

TEST(HaltTest, EndsTheProgramWithItsCodeAfterTheFinalizations) {
  if (std::getenv("HALT_CHILD") != nullptr) GTEST_SKIP() << "inside the child";
  TChildProcess child({"/proc/self/exe", "--gtest_filter=HaltChild.Run"}, {"HALT_CHILD=1"});
  ASSERT_TRUE(child.Started());
  String output = child.ReadAll(30s);
  EXPECT_EQ(child.Wait(10s), 4) << output;
  std::vector<String> said;
  size_t at = 0;
  while ((at = output.find("halt: ", at)) != String::npos) {
    size_t end = output.find('\n', at);
    said.push_back(output.substr(at + 6, end - at - 6));
    at = end;
  }
  EXPECT_EQ(said, (std::vector<String>{"halting", "probe finalized", "application freed"})) << output;
}

}  // namespace
