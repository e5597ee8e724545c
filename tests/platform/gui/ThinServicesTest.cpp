// The thin services: actions, drag and drop between controls, input methods.
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Themes.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class ThinServicesTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_.reset(TForm::CreateNew(nullptr));
    form_->SetBounds(200, 200, 300, 200);
  }
  TCustomControl* Add(int left) {
    auto* c = new TCustomControl(form_.get());
    c->SetParent(form_.get());
    c->SetBounds(left, 10, 80, 60);
    return c;
  }
  std::unique_ptr<TForm> form_;
};

// Acts on the controls it is told to.
class TTestCopy : public TEditCopy {
 public:
  using TEditCopy::TEditCopy;
  TObject* accepts = nullptr;
  std::vector<TObject*> executed;
  bool HandlesTarget(TObject* Target) override { return Target == accepts; }
  void ExecuteTarget(TObject* Target) override { executed.push_back(Target); }
};

TEST_F(ThinServicesTest, ClickExecutesTheActionUnlessOnClickIsItsOwn) {
  auto* button = new TButton(form_.get());
  auto* action = new TAction(form_.get());
  std::vector<std::string> log;
  action->SetOnExecute([&](TObject* a) {
    log.push_back("execute from " + static_cast<TBasicAction*>(a)->ActionComponent()->ClassName());
  });
  button->SetAction(action);
  button->Click();
  button->SetOnClick([&](TObject*) { log.push_back("click"); });
  button->Click();
  EXPECT_EQ(log, (std::vector<std::string>{"execute from " + button->ClassName(), "click"}));
  EXPECT_EQ(action->ActionComponent(), nullptr);
  delete action;
  EXPECT_EQ(button->Action(), nullptr) << "a freed action is forgotten";

  auto* copy = new TTestCopy(form_.get());
  copy->accepts = button;
  EXPECT_TRUE(button->ExecuteAction(copy));
  EXPECT_FALSE(form_->ExecuteAction(copy));
  EXPECT_EQ(copy->executed, (std::vector<TObject*>{button}));
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());
}

TEST_F(ThinServicesTest, DragDropsOnTheAcceptingControlUnderTheMouse) {
  TCustomControl* source = Add(10);
  TCustomControl* target = Add(150);
  form_->Show();
  std::vector<std::string> log;
  target->SetOnDragOver([&](TObject*, TObject* src, int, int, TDragState state, bool& accept) {
    accept = src == source;
    log.push_back("over " + std::to_string(state));
  });
  target->SetOnDragDrop([&](TObject*, TObject* src, int x, int y) {
    log.push_back(std::string("drop ") + (src == source ? "source " : "? ") + std::to_string(x) + "," +
                  std::to_string(y));
  });
  TObject* ended_on = form_.get();
  source->SetOnEndDrag([&](TObject*, TObject* t, int, int) { ended_on = t; });
  source->SetOnStartDrag([&](TObject*, TObject*&) { log.push_back("start"); });

  // Pending until the mouse moves the threshold.
  source->BeginDrag(false, 5);
  EXPECT_TRUE(source->MouseCapture());
  TPoint p = source->ScreenToClient(GetCursorPos());
  source->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.X + 2, p.Y));
  EXPECT_FALSE(source->Dragging());
  TPoint over = source->ScreenToClient(target->ClientToScreen({7, 9}));
  source->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.X, over.Y));
  EXPECT_TRUE(source->Dragging());
  source->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.X + 1, over.Y));
  source->Perform(WM_LBUTTONUP, 0, MAKELPARAM(over.X + 1, over.Y));
  EXPECT_EQ(log, (std::vector<std::string>{"start", "over " + std::to_string(dsDragEnter),
                                           "over " + std::to_string(dsDragMove), "drop source 8,9"}));
  EXPECT_EQ(ended_on, target);
  EXPECT_FALSE(source->Dragging());
  EXPECT_FALSE(source->MouseCapture());

  // Released over a control that does not accept: no drop, no target.
  log.clear();
  source->BeginDrag(true);
  TPoint self = source->ScreenToClient(source->ClientToScreen({3, 3}));
  source->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(self.X, self.Y));
  source->Perform(WM_LBUTTONUP, 0, MAKELPARAM(self.X, self.Y));
  EXPECT_EQ(log, (std::vector<std::string>{"start"}));
  EXPECT_EQ(ended_on, nullptr);

  // A right press cancels.
  source->BeginDrag(true);
  source->Perform(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(over.X, over.Y));
  source->Perform(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(over.X, over.Y));
  EXPECT_FALSE(source->Dragging());
  EXPECT_EQ(ended_on, nullptr);
  EXPECT_EQ(std::count(log.begin(), log.end(), "drop source 7,9"), 0);
}

TEST_F(ThinServicesTest, ImeDisableTurnsTheInputMethodOff) {
  auto* edit = new TEdit(form_.get());
  edit->SetParent(form_.get());
  edit->HandleNeeded();
  EXPECT_TRUE(edit->Widget()->testAttribute(Qt::WA_InputMethodEnabled));
  edit->SetImeMode(imDisable);
  EXPECT_FALSE(edit->Widget()->testAttribute(Qt::WA_InputMethodEnabled));
  edit->SetImeMode(imDontCare);
  EXPECT_TRUE(edit->Widget()->testAttribute(Qt::WA_InputMethodEnabled));
  auto* later = new TEdit(form_.get());
  later->SetImeMode(imDisable);
  later->SetParent(form_.get());
  EXPECT_FALSE(later->Widget()->testAttribute(Qt::WA_InputMethodEnabled));
  EXPECT_EQ(ActivateKeyboardLayout(Screen->DefaultKbLayout(), 0), Screen->DefaultKbLayout());
}

}  // namespace
