// Message dialogs: their buttons, and the answer of a real key or click.
#include <QApplication>
#include <QTest>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gui/Dialogs.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

class DialogsTest : public GuiTest {};

std::vector<std::string> ButtonsLeftToRight(TForm* f) {
  std::vector<TButton*> buttons;
  for (int i = 0; i < f->ComponentCount(); ++i) {
    if (auto* b = dynamic_cast<TButton*>(f->Components(i))) buttons.push_back(b);
  }
  std::sort(buttons.begin(), buttons.end(), [](TButton* a, TButton* b) { return a->Left() < b->Left(); });
  std::vector<std::string> names;
  for (TButton* b : buttons) {
    names.push_back(b->Name() + (b->Default() ? "*" : "") + (b->Cancel() ? "^" : ""));
  }
  return names;
}

TEST_F(DialogsTest, DialogHasTheCaptionAndButtonsOfItsKind) {
  struct Case {
    TMsgDlgType type;
    TMsgDlgButtons buttons;
    std::string caption;
    std::vector<std::string> names;  // * default, ^ cancel
  };
  const Case cases[] = {
      {mtConfirmation, mbOKCancel, "Confirmation", {"OK*", "Cancel^"}},
      {mtWarning, mbYesNoCancel, "Warning", {"Yes*", "No", "Cancel^"}},
      {mtError, {mbYes, mbNo}, "Error", {"Yes*", "No^"}},
      {mtInformation, {mbOK}, "Information", {"OK*^"}},
      {mtCustom, mbAbortRetryIgnore, Application->Title(), {"Abort", "Retry", "Ignore"}},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TForm> f(CreateMessageDialog("Delete record?", c.type, c.buttons));
    EXPECT_EQ(f->Caption(), c.caption);
    EXPECT_EQ(ButtonsLeftToRight(f.get()), c.names) << c.caption;
    auto* label = dynamic_cast<TLabel*>(f->FindComponent("Message"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->Caption(), "Delete record?");
  }
  // A long message wraps within half the screen and the dialog holds it.
  std::string words;
  for (int i = 0; i < 300; ++i) words += "word ";
  std::unique_ptr<TForm> f(CreateMessageDialog(words, mtWarning, mbOKCancel));
  auto* label = dynamic_cast<TLabel*>(f->FindComponent("Message"));
  EXPECT_LE(label->Width(), Screen->Width() / 2);
  EXPECT_GT(label->Height(), 3 * label->Canvas()->TextHeight("w"));
  EXPECT_GE(f->ClientWidth(), label->Left() + label->Width());
  EXPECT_GT(f->FindComponent("OK") ? static_cast<TControl*>(f->FindComponent("OK"))->Top() : 0,
            label->Top() + label->Height());
}

TCustomForm* OpenDialog() {
  for (int i = 0; i < Screen->FormCount(); ++i) {
    if (Screen->Forms(i)->Name() == "MessageDlg" && Screen->Forms(i)->Visible()) return Screen->Forms(i);
  }
  return nullptr;
}

// Runs Action inside the next modal loop.
class Inside {
 public:
  explicit Inside(std::function<void()> action) : action_(std::move(action)) {
    wnd_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg == WM_USER) action_();
    });
    PostMessage(wnd_, WM_USER, 0, 0);
  }
  ~Inside() { DeallocateHWnd(wnd_); }

 private:
  std::function<void()> action_;
  HWND wnd_;
};

TEST_F(DialogsTest, MessageDlgAnswersTheKeyOrButtonPressed) {
  auto key = [](int k) {
    return [k] {
      TCustomForm* dlg = OpenDialog();
      ASSERT_NE(dlg, nullptr);
      ASSERT_NE(dlg->ActiveControl(), nullptr);
      QTest::keyClick(dlg->ActiveControl()->Widget(), static_cast<Qt::Key>(k));
    };
  };
  {
    Inside run(key(Qt::Key_Escape));
    EXPECT_EQ(MessageDlg("Delete record?", mtConfirmation, mbOKCancel, 0), mrCancel);
  }
  {
    Inside run(key(Qt::Key_Return));
    EXPECT_EQ(MessageDlg("Delete record?", mtConfirmation, mbOKCancel, 0), mrOk);
  }
  {
    Inside run(key(Qt::Key_Escape));
    EXPECT_EQ(MessageDlg("Replace?", mtWarning, {mbYes, mbNo}, 0), mrNo);
  }
  {
    Inside run([] {
      TCustomForm* dlg = OpenDialog();
      ASSERT_NE(dlg, nullptr);
      auto* retry = dynamic_cast<TButton*>(dlg->FindComponent("Retry"));
      ASSERT_NE(retry, nullptr);
      QTest::mouseClick(retry->Widget(), Qt::LeftButton);
    });
    EXPECT_EQ(MessageDlg("Failed", mtError, mbAbortRetryIgnore, 0), mrRetry);
  }
  EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
}

}  // namespace
