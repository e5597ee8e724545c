// Input as window messages: Qt events and posted messages reach WndProc as
// the right messages in the right order, and the default handlers call the
// virtuals and the widgets' own handling.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QWidget>

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/platform/gui/GuiFixture.h"

namespace {

using Log = std::vector<std::string>;

std::string Hex(uintptr_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "%lX", static_cast<unsigned long>(v));
  return b;
}

std::string MessageName(Cardinal msg) {
  static const std::map<Cardinal, std::string> names = {
      {WM_KEYDOWN, "WM_KEYDOWN"},         {WM_KEYUP, "WM_KEYUP"},
      {WM_CHAR, "WM_CHAR"},               {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
      {WM_SYSKEYUP, "WM_SYSKEYUP"},       {WM_SYSCHAR, "WM_SYSCHAR"},
      {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"}, {WM_LBUTTONUP, "WM_LBUTTONUP"},
      {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"}, {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
      {WM_RBUTTONUP, "WM_RBUTTONUP"},
      {WM_MOUSEMOVE, "WM_MOUSEMOVE"},     {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
      {CM_MOUSEWHEEL, "CM_MOUSEWHEEL"},   {WM_SETFOCUS, "WM_SETFOCUS"},
      {WM_KILLFOCUS, "WM_KILLFOCUS"},     {CM_ENTER, "CM_ENTER"},
      {CM_EXIT, "CM_EXIT"},               {WM_CANCELMODE, "WM_CANCELMODE"},
      {CM_CANCELMODE, "CM_CANCELMODE"},   {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
      {CM_MOUSEENTER, "CM_MOUSEENTER"},   {CM_MOUSELEAVE, "CM_MOUSELEAVE"},
  };
  auto it = names.find(msg);
  return it == names.end() ? std::string() : it->second;
}

std::string ShiftText(TShiftState s) {
  std::string r;
  const char* names[] = {"Shift", "Alt", "Ctrl", "Left", "Right", "Middle", "Double"};
  for (int i = 0; i <= ssDouble; ++i) {
    if (s.Contains(static_cast<TShiftStateItem>(i))) r += std::string(r.empty() ? "" : "+") + names[i];
  }
  return r.empty() ? "-" : r;
}

// A windowed control that logs its messages (as they enter WndProc) and its
// virtuals, and can answer WM_GETDLGCODE and CM_WANTSPECIALKEY or swallow
// messages.
class TRecorder : public TCustomControl {
 public:
  TRecorder(TWinControl* parent, Log* log, std::string name) : TCustomControl(parent), log_(log), name_(name) {
    SetParent(parent);
    SetTabStop(true);
    SetBounds(0, 0, 50, 30);
  }
  LRESULT dlg_code = 0;
  std::set<WPARAM> special_keys;
  std::set<Cardinal> swallow;
  bool log_moves = false;

  void WndProc(TMessage& m) override {
    std::string name = MessageName(m.Msg);
    bool mouse = m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MOUSELAST && m.Msg != WM_MOUSEWHEEL;
    if (!name.empty() && (m.Msg != WM_MOUSEMOVE || log_moves)) {
      std::string entry = name_ + " " + name;
      if (mouse || m.Msg == WM_CANCELMODE)
        entry += " " + Hex(m.WParam) + " " + std::to_string(GET_X_LPARAM(m.LParam)) + "," +
                 std::to_string(GET_Y_LPARAM(m.LParam));
      else if (m.Msg >= WM_KEYFIRST && m.Msg <= WM_KEYLAST) entry += " " + Hex(m.WParam);
      log_->push_back(entry);
    }
    if (swallow.contains(m.Msg)) return;
    if (m.Msg == WM_GETDLGCODE) {
      m.Result = dlg_code;
      return;
    }
    if (m.Msg == CM_WANTSPECIALKEY && special_keys.contains(m.WParam)) {
      m.Result = 1;
      return;
    }
    TCustomControl::WndProc(m);
  }
  void KeyDown(Word& key, TShiftState shift) override {
    Add("KeyDown " + Hex(key) + " " + ShiftText(shift));
    TCustomControl::KeyDown(key, shift);
  }
  void KeyUp(Word& key, TShiftState shift) override { Add("KeyUp " + Hex(key)); TCustomControl::KeyUp(key, shift); }
  void KeyPress(WideChar& key) override {
    Add("KeyPress " + Hex(key));
    TCustomControl::KeyPress(key);
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    Add("MouseDown " + std::to_string(b) + " " + ShiftText(s) + " " + std::to_string(x) + "," + std::to_string(y));
    TCustomControl::MouseDown(b, s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    Add("MouseUp " + std::to_string(b) + " " + ShiftText(s));
    TCustomControl::MouseUp(b, s, x, y);
  }
  void DblClick() override { Add("DblClick"); }
  void Click() override { Add("Click"); }
  void DoEnter() override { Add("Enter"); }
  void DoExit() override { Add("Exit"); }
  bool DoMouseWheelDown(TShiftState s, TPoint p) override {
    Add("WheelDown");
    return TCustomControl::DoMouseWheelDown(s, p);
  }
  bool DoMouseWheelUp(TShiftState s, TPoint p) override {
    Add("WheelUp");
    return TCustomControl::DoMouseWheelUp(s, p);
  }

 private:
  void Add(const std::string& s) { log_->push_back(name_ + " " + s); }
  Log* log_;
  std::string name_;
};

void SendKey(QWidget* w, int key, Qt::KeyboardModifiers mods = {}, const QString& text = {}, quint32 scan = 0,
             ulong time = 0) {
  QKeyEvent press(QEvent::KeyPress, key, mods, scan, 0, 0, text);
  press.setTimestamp(time);
  QCoreApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, scan, 0, 0, text);
  QCoreApplication::sendEvent(w, &release);
  if (mods & ~Qt::KeypadModifier) {  // let go of the modifiers too
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &up);
  }
}

void SendMouse(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = {}) {
  QMouseEvent e(type, p, w->mapToGlobal(p), button, buttons, mods);
  QCoreApplication::sendEvent(w, &e);
}

void SendWheel(QWidget* w, int delta) {
  QPoint p(5, 5);
  QWheelEvent e(p, w->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                false);
  QCoreApplication::sendEvent(w, &e);
}

Log Only(const Log& log, const std::string& prefix) {
  Log r;
  for (const std::string& s : log) {
    if (s.starts_with(prefix)) r.push_back(s);
  }
  return r;
}

// A shown, active form with a log.
class InputTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(300, 300, 400, 300);  // away from the cursor: no hot tracking unless sent
  }
  void TearDown() override {
    delete form_;
    GuiTest::TearDown();
  }
  TEdit* AddEdit(int top) {
    auto* edit = new TEdit(form_);
    edit->SetParent(form_);
    edit->SetTop(top);
    return edit;
  }
  TRecorder* Add(TWinControl* parent, const std::string& name, int left, int top) {
    auto* r = new TRecorder(parent, &log_, name);
    r->SetBounds(left, top, 50, 30);
    return r;
  }
  void ShowActive() {
    form_->Show();
    form_->Widget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_->Widget()));
  }
  void Focus(TWinControl* c) {
    c->SetFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(c->Focused());
    log_.clear();
  }

  TForm* form_ = nullptr;
  Log log_;
  std::map<std::string, uintptr_t> seen_;  // values window procedures saw (they outlive the test body)
};

}  // namespace

TEST_F(InputTest, KeysArriveAsKeyMessagesThenCharacters) {
  TRecorder* r = Add(form_, "r", 0, 0);
  r->dlg_code = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTCHARS;
  ShowActive();
  Focus(r);

  SendKey(r->Widget(), Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_EQ(log_, (Log{"r WM_KEYDOWN 41", "r KeyDown 41 -", "r WM_CHAR 61", "r KeyPress 61", "r WM_KEYUP 41",
                       "r KeyUp 41"}));

  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
    quint32 scan;
    Log expected;
  } cases[] = {
      {Qt::Key_A, Qt::ShiftModifier, "A", 0, {"r WM_KEYDOWN 41", "r WM_CHAR 41", "r WM_KEYUP 41"}},
      {Qt::Key_V, Qt::ControlModifier, "\x16", 0, {"r WM_KEYDOWN 56", "r WM_CHAR 16", "r WM_KEYUP 56"}},
      {Qt::Key_Return, Qt::ControlModifier, "", 0, {"r WM_KEYDOWN D", "r WM_CHAR A", "r WM_KEYUP D"}},
      {Qt::Key_Return, Qt::NoModifier, "\r", 0, {"r WM_KEYDOWN D", "r WM_CHAR D", "r WM_KEYUP D"}},
      {Qt::Key_X, Qt::AltModifier, "x", 0, {"r WM_SYSKEYDOWN 58", "r WM_SYSCHAR 78", "r WM_SYSKEYUP 58"}},
      {Qt::Key_F5, Qt::NoModifier, "", 0, {"r WM_KEYDOWN 74", "r WM_KEYUP 74"}},
      {Qt::Key_Left, Qt::NoModifier, "", 0, {"r WM_KEYDOWN 25", "r WM_KEYUP 25"}},
      {Qt::Key_5, Qt::KeypadModifier, "5", 0, {"r WM_KEYDOWN 65", "r WM_CHAR 35", "r WM_KEYUP 65"}},
      // The Cyrillic letter on the D key (X key code 40) is 'D'.
      {0x0412, Qt::NoModifier, QString::fromUtf8("в"), 40, {"r WM_KEYDOWN 44", "r WM_CHAR 432", "r WM_KEYUP 44"}},
  };
  for (const Case& c : cases) {
    log_.clear();
    SendKey(r->Widget(), c.key, c.mods, c.text, c.scan);
    Log messages;
    for (const std::string& s : log_) {
      if (s.starts_with("r WM_")) messages.push_back(s);
    }
    EXPECT_EQ(messages, c.expected) << c.text.toStdString() << " key " << c.key;
  }

  // With KeyPreview the form sees the key first; taking it there ends it.
  form_->SetKeyPreview(true);
  form_->SetOnKeyDown([](TObject*, Word& key, TShiftState) {
    if (key == 'Q') key = 0;
  });
  log_.clear();
  SendKey(r->Widget(), Qt::Key_Q, Qt::NoModifier, "q");
  EXPECT_EQ(Only(log_, "r Key"), (Log{"r KeyPress 71", "r KeyUp 51"}));
}

TEST_F(InputTest, KeyDataAndKeyStateDescribeTheKey) {
  TRecorder* r = Add(form_, "r", 0, 0);
  r->dlg_code = DLGC_WANTCHARS;
  ShowActive();
  Focus(r);
  std::vector<std::pair<Cardinal, LPARAM>> data;
  bool shiftDown = false;
  int32_t time = 0;
  r->SetWindowProc({r, [&, old = r->WindowProc()](TMessage& m) {
                      if (m.Msg == WM_KEYDOWN || m.Msg == WM_KEYUP || m.Msg == WM_SYSKEYDOWN) {
                        data.emplace_back(m.Msg, m.LParam);
                        if (m.Msg == WM_KEYDOWN) {
                          shiftDown = GetKeyState(VK_SHIFT) < 0;
                          time = GetMessageTime();
                        }
                      }
                      old(m);
                    }});
  SendKey(r->Widget(), Qt::Key_B, Qt::ShiftModifier, "B", 0, 4242);
  EXPECT_TRUE(shiftDown);
  EXPECT_EQ(time, 4242);
  SendKey(r->Widget(), Qt::Key_Home);
  SendKey(r->Widget(), Qt::Key_C, Qt::AltModifier, "c");
  ASSERT_EQ(data.size(), 5u);
  EXPECT_EQ(data[0].second & 0xFFFF, 1) << "repeat count";
  EXPECT_EQ(data[1].second & 0x80000000, 0x80000000) << "released";
  EXPECT_EQ(data[2].second & 0x01000000, 0x01000000) << "Home is an extended key";
  EXPECT_EQ(data[4].first, WM_SYSKEYDOWN);
  EXPECT_EQ(data[4].second & 0x20000000, 0x20000000) << "Alt down";
  EXPECT_EQ(KeyDataToShiftState(data[4].second), TShiftState{ssAlt});
}

TEST_F(InputTest, PostedKeysTakeTheSamePath) {
  TRecorder* r = Add(form_, "r", 0, 0);
  r->dlg_code = DLGC_WANTCHARS;
  TEdit* edit = AddEdit(50);
  ShowActive();
  Focus(r);
  PostMessage(r->Handle(), WM_KEYDOWN, 'B', 0);
  EXPECT_TRUE(log_.empty()) << "posted messages wait for the loop";
  QCoreApplication::processEvents();
  EXPECT_EQ(log_, (Log{"r WM_KEYDOWN 42", "r KeyDown 42 -", "r WM_CHAR 62", "r KeyPress 62"}));

  // A key posted to an edit box types into it; a navigation key moves its caret.
  PostMessage(edit->Handle(), WM_KEYDOWN, 'X', 0);
  PostMessage(edit->Handle(), WM_KEYDOWN, 'Y', 0);
  PostMessage(edit->Handle(), WM_KEYDOWN, VK_HOME, 0);
  PostMessage(edit->Handle(), WM_KEYDOWN, 'Z', 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(edit->Text(), "zxy");
}

TEST_F(InputTest, HandlingAMessageInWndProcStopsTheVirtualAndTheWidget) {
  TRecorder* r = Add(form_, "r", 0, 0);
  r->dlg_code = DLGC_WANTCHARS;
  TEdit* edit = AddEdit(50);
  ShowActive();
  Focus(r);

  r->swallow = {WM_KEYDOWN, WM_LBUTTONDOWN};
  SendKey(r->Widget(), Qt::Key_A, Qt::NoModifier, "a");
  EXPECT_EQ(log_, (Log{"r WM_KEYDOWN 41", "r WM_CHAR 61", "r KeyPress 61", "r WM_KEYUP 41", "r KeyUp 41"}));
  log_.clear();
  SendMouse(r->Widget(), QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(log_, (Log{"r WM_LBUTTONDOWN 1 3,4"}));
  EXPECT_FALSE(r->MouseCapture());

  // An edit box types what reaches its default handling, as changed there.
  Focus(edit);
  auto* line = static_cast<QLineEdit*>(edit->Widget());
  edit->SetWindowProc({edit, [old = edit->WindowProc()](TMessage& m) {
                         if (m.Msg == WM_CHAR && m.WParam == 'x') return;  // taken here
                         old(m);
                       }});
  edit->SetOnKeyPress([](TObject*, WideChar& key) {
    if (key == 'q') key = 'Q';
  });
  edit->SetOnKeyDown([](TObject*, Word& key, TShiftState) {
    if (key == VK_LEFT) key = 0;
  });
  QTest::keyClicks(line, "axbq");
  EXPECT_EQ(edit->Text(), "abQ");
  QTest::keyClick(line, Qt::Key_Left);
  EXPECT_EQ(line->cursorPosition(), 3) << "a key taken in KeyDown never reaches the widget";
  edit->SetOnKeyDown(nullptr);
  QTest::keyClick(line, Qt::Key_Left);
  EXPECT_EQ(line->cursorPosition(), 2);
}

TEST_F(InputTest, MouseButtonsClickAndDoubleClick) {
  TRecorder* r = Add(form_, "r", 20, 10);
  ShowActive();
  log_.clear();
  SendMouse(r->Widget(), QEvent::MouseButtonPress, {3, 4}, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_TRUE(r->MouseCapture());
  SendMouse(r->Widget(), QEvent::MouseButtonRelease, {3, 4}, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(r->MouseCapture());
  SendMouse(r->Widget(), QEvent::MouseButtonDblClick, {5, 6}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(r->Widget(), QEvent::MouseButtonRelease, {5, 6}, Qt::LeftButton, Qt::NoButton);
  SendMouse(r->Widget(), QEvent::MouseButtonPress, {7, 8}, Qt::RightButton, Qt::RightButton);
  SendMouse(r->Widget(), QEvent::MouseButtonRelease, {7, 8}, Qt::RightButton, Qt::NoButton);
  // r has the focus (the first tab stop): a press cancels the active control's modes.
  EXPECT_EQ(log_, (Log{"r WM_LBUTTONDOWN 5 3,4", "r CM_CANCELMODE", "r MouseDown 0 Shift+Left 3,4",
                       "r WM_LBUTTONUP 0 3,4", "r WM_CAPTURECHANGED", "r Click", "r MouseUp 0 -",
                       "r WM_LBUTTONDBLCLK 1 5,6", "r CM_CANCELMODE", "r MouseDown 0 Left+Double 5,6", "r DblClick",
                       "r WM_LBUTTONUP 0 5,6", "r WM_CAPTURECHANGED", "r MouseUp 0 -", "r WM_RBUTTONDOWN 2 7,8",
                       "r CM_CANCELMODE", "r MouseDown 1 Right 7,8", "r WM_RBUTTONUP 0 7,8",
                       "r WM_CAPTURECHANGED", "r MouseUp 1 -"}));

  // Without csDoubleClicks the second press is a plain press.
  r->SetControlStyle(r->ControlStyle() - TControlStyle{csDoubleClicks});
  log_.clear();
  QTest::mouseDClick(r->Widget(), Qt::LeftButton, {}, {2, 2});
  QTest::mouseRelease(r->Widget(), Qt::LeftButton, {}, {2, 2});
  EXPECT_EQ(Only(log_, "r MouseDown"), (Log{"r MouseDown 0 Left 2,2"}));

  // Over a disabled control the enabled parent gets the press, in its coordinates.
  TRecorder* panel = Add(form_, "p", 100, 100);
  panel->SetBounds(100, 100, 100, 80);
  TRecorder* child = Add(panel, "c", 10, 20);
  child->SetEnabled(false);
  log_.clear();
  SendMouse(child->Widget(), QEvent::MouseButtonPress, {1, 2}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(child->Widget(), QEvent::MouseButtonRelease, {1, 2}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Only(log_, "p WM_LBUTTON"), (Log{"p WM_LBUTTONDOWN 1 11,22", "p WM_LBUTTONUP 0 11,22"}));
  EXPECT_TRUE(Only(log_, "c ").empty());

  // A real click on a button control clicks it once.
  auto* button = new TButton(form_);
  button->SetParent(form_);
  button->SetTop(100);
  int clicks = 0;
  button->SetOnClick([&](TObject*) { ++clicks; });
  QTest::mouseClick(button->Widget(), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
}

TEST_F(InputTest, WheelGoesToTheFocusedControlThenUpItsParents) {
  TRecorder* panel = Add(form_, "p", 0, 0);
  panel->SetBounds(0, 0, 200, 100);
  panel->SetTabStop(false);
  TRecorder* a = Add(panel, "a", 10, 10);
  TRecorder* b = Add(form_, "b", 0, 150);
  ShowActive();
  Focus(a);

  SendWheel(b->Widget(), -120);
  EXPECT_EQ(log_, (Log{"b WM_MOUSEWHEEL", "a CM_MOUSEWHEEL", "a WheelDown", "p CM_MOUSEWHEEL", "p WheelDown"}));

  // Handled by the focused control: the parents do not see it; notches add up.
  log_.clear();
  a->SetOnMouseWheelUp([](TObject*, TShiftState, TPoint, bool& handled) { handled = true; });
  SendWheel(b->Widget(), 60);
  SendWheel(b->Widget(), 60);
  EXPECT_EQ(Only(log_, "a Wheel"), (Log{"a WheelUp"}));
  EXPECT_TRUE(Only(log_, "p CM_").size() == 1) << "only the half notch that a did not handle";
}

TEST_F(InputTest, FocusMessagesCarryTheOtherWindowAndRunEnterAndExit) {
  TRecorder* panel = Add(form_, "p", 0, 0);
  panel->SetBounds(0, 0, 200, 100);
  panel->SetTabStop(false);
  TRecorder* a = Add(panel, "a", 10, 10);
  TRecorder* b = Add(form_, "b", 0, 150);
  for (TRecorder* r : {a, b}) {
    r->SetWindowProc({r, [r, this, old = r->WindowProc()](TMessage& m) {
                        if (m.Msg == WM_SETFOCUS) seen_[r->Name() + "set"] = m.WParam;
                        if (m.Msg == WM_KILLFOCUS) seen_[r->Name() + "kill"] = m.WParam;
                        old(m);
                      }});
  }
  a->SetName("a");
  b->SetName("b");
  b->SetTabOrder(0);
  ShowActive();
  Focus(b);
  a->SetFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(log_, (Log{"b WM_KILLFOCUS", "a WM_SETFOCUS", "b CM_EXIT", "b Exit", "p CM_ENTER", "p Enter",
                       "a CM_ENTER", "a Enter"}));
  EXPECT_EQ(seen_["bkill"], reinterpret_cast<uintptr_t>(a->Handle()));
  EXPECT_EQ(seen_["aset"], reinterpret_cast<uintptr_t>(b->Handle()));
  EXPECT_EQ(form_->ActiveControl(), a);

  log_.clear();
  b->SetFocus();
  QCoreApplication::processEvents();
  EXPECT_EQ(log_, (Log{"a WM_KILLFOCUS", "b WM_SETFOCUS", "a CM_EXIT", "a Exit", "p CM_EXIT", "p Exit",
                       "b CM_ENTER", "b Enter"}));
  EXPECT_EQ(seen_["akill"], reinterpret_cast<uintptr_t>(b->Handle()));
  EXPECT_EQ(form_->ActiveControl(), b);
}

// Freeing a window whose child has the focus: Qt hands the focus on as the
// child goes, and the window being freed must not take it.
TEST_F(InputTest, AWindowBeingFreedTakesNoFocusFromItsGoingChild) {
  TRecorder* p = Add(form_, "p", 0, 0);
  p->SetBounds(0, 0, 200, 100);
  TRecorder* a = Add(p, "a", 10, 10);
  ShowActive();
  Focus(a);
  QCoreApplication::processEvents();
  log_.clear();
  delete p;
  QCoreApplication::processEvents();
  EXPECT_EQ(Only(log_, "p WM_SETFOCUS"), Log{});
}

TEST_F(InputTest, DialogKeysMoveTheFocusAndPressButtonsUnlessTheControlWantsThem) {
  TRecorder* r1 = Add(form_, "r1", 0, 0);
  TRecorder* r2 = Add(form_, "r2", 60, 0);
  TRecorder* r3 = Add(form_, "r3", 120, 0);
  r2->SetTabStop(false);
  auto* ok = new TButton(form_);
  ok->SetParent(form_);
  ok->SetBounds(0, 100, 75, 25);
  ok->SetCaption("&OK");
  ok->SetDefault(true);
  auto* cancel = new TButton(form_);
  cancel->SetParent(form_);
  cancel->SetBounds(100, 100, 75, 25);
  cancel->SetCancel(true);
  int okClicks = 0, cancelClicks = 0;
  ok->SetOnClick([&](TObject*) { ++okClicks; });
  cancel->SetOnClick([&](TObject*) { ++cancelClicks; });
  ShowActive();

  struct Case {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
    LRESULT dlgCode;
    WPARAM special;  // claimed by CM_WANTSPECIALKEY
    TWinControl* start;
    TWinControl* focusAfter;
    int ok, cancel;
    bool r1KeyDown, r1Char;  // r1 gets WM_KEYDOWN, WM_CHAR
  } cases[] = {
      {"tab skips a control that is no tab stop", Qt::Key_Tab, {}, "\t", 0, 0, r1, r3, 0, 0, false, false},
      {"shift+tab wraps backwards", Qt::Key_Tab, Qt::ShiftModifier, "\t", 0, 0, r1, cancel, 0, 0, false, false},
      {"a control that wants tabs gets Tab", Qt::Key_Tab, {}, "\t", DLGC_WANTTAB, 0, r1, r1, 0, 0, true, true},
      {"arrows move among siblings", Qt::Key_Right, {}, "", 0, 0, r1, r2, 0, 0, false, false},
      {"a control that wants arrows gets them", Qt::Key_Right, {}, "", DLGC_WANTARROWS, 0, r1, r1, 0, 0, true,
       false},
      {"enter presses the default button", Qt::Key_Return, {}, "\r", 0, 0, r1, r1, 1, 0, false, false},
      {"escape presses the cancel button", Qt::Key_Escape, {}, "\x1b", 0, 0, r1, r1, 0, 1, false, false},
      {"a special key claimed is the control's", Qt::Key_Escape, {}, "\x1b", 0, VK_ESCAPE, r1, r1, 0, 0, true,
       true},
      {"all keys wanted: no dialog keys", Qt::Key_Return, {}, "\r", DLGC_WANTALLKEYS, 0, r1, r1, 0, 0, true, true},
      {"enter on a focused button presses it", Qt::Key_Return, {}, "\r", 0, 0, cancel, cancel, 0, 1, false, false},
      {"an accelerator presses its button", Qt::Key_O, {}, "o", 0, 0, r1, r1, 1, 0, true, false},
      {"characters wanted: no accelerators", Qt::Key_O, {}, "o", DLGC_WANTCHARS, 0, r1, r1, 0, 0, true, true},
  };
  for (const Case& c : cases) {
    r1->dlg_code = c.dlgCode;
    r1->special_keys = c.special != 0 ? std::set<WPARAM>{c.special} : std::set<WPARAM>{};
    Focus(c.start);
    okClicks = cancelClicks = 0;
    SendKey(c.start->Widget(), c.key, c.mods, c.text);
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.focusAfter->Focused()) << c.name;
    EXPECT_EQ(okClicks, c.ok) << c.name;
    EXPECT_EQ(cancelClicks, c.cancel) << c.name;
    EXPECT_EQ(!Only(log_, "r1 WM_KEYDOWN").empty(), c.r1KeyDown) << c.name;
    EXPECT_EQ(!Only(log_, "r1 WM_CHAR").empty(), c.r1Char) << c.name;
  }
}

TEST_F(InputTest, CaptureSendsMouseMessagesFromElsewhereToTheCapturer) {
  TRecorder* a = Add(form_, "a", 10, 10);
  TRecorder* b = Add(form_, "b", 100, 50);
  a->log_moves = b->log_moves = true;
  ShowActive();
  log_.clear();
  SendMouse(a->Widget(), QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  ASSERT_TRUE(a->MouseCapture());
  EXPECT_EQ(GetCapture(), a->Handle());
  SendMouse(b->Widget(), QEvent::MouseMove, {4, 3}, Qt::NoButton, Qt::LeftButton);
  SendMouse(b->Widget(), QEvent::MouseButtonRelease, {4, 3}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Only(log_, "a WM_"), (Log{"a WM_LBUTTONDOWN 1 5,5", "a WM_MOUSEMOVE 1 94,43", "a WM_LBUTTONUP 0 94,43",
                                      "a WM_CAPTURECHANGED"}));
  EXPECT_TRUE(Only(log_, "b ").empty());
  EXPECT_TRUE(Only(log_, "a Click").empty()) << "released outside";
  EXPECT_FALSE(a->MouseCapture());

  // Losing the capture, and cancel mode while the button is down.
  LPARAM changedTo = -1;
  a->SetWindowProc({a, [&, old = a->WindowProc()](TMessage& m) {
                      if (m.Msg == WM_CAPTURECHANGED) changedTo = m.LParam;
                      old(m);
                    }});
  SetCapture(a->Handle());
  SetCapture(b->Handle());
  EXPECT_EQ(changedTo, reinterpret_cast<LPARAM>(b->Handle()));
  ReleaseCapture();
  log_.clear();
  SendMouse(a->Widget(), QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton, Qt::LeftButton);
  a->Perform(WM_CANCELMODE);
  EXPECT_FALSE(a->MouseCapture());
  EXPECT_EQ(Only(log_, "a WM_"),
            (Log{"a WM_LBUTTONDOWN 1 5,5", "a WM_CANCELMODE 0 0,0", "a WM_CAPTURECHANGED", "a WM_LBUTTONUP 0 -1,-1"}));
}

TEST_F(InputTest, HotTrackingEntersAndLeavesTheInnermostControl) {
  TRecorder* panel = Add(form_, "p", 0, 0);
  panel->SetBounds(0, 0, 200, 100);
  TRecorder* a = Add(panel, "a", 10, 10);
  TRecorder* b = Add(panel, "b", 100, 10);
  ShowActive();
  log_.clear();
  auto enter = [](TControl* c) {
    QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(c->Widget(), &e);
  };
  auto leave = [](TControl* c) {
    QEvent e(QEvent::Leave);
    QCoreApplication::sendEvent(c->Widget(), &e);
  };
  enter(panel);
  enter(a);
  leave(a);  // straight into the sibling: the panel is not entered in between
  enter(b);
  QCoreApplication::processEvents();
  leave(b);  // back over the panel
  QCoreApplication::processEvents();
  EXPECT_EQ(log_, (Log{"p CM_MOUSEENTER", "p CM_MOUSELEAVE", "a CM_MOUSEENTER", "a CM_MOUSELEAVE",
                       "b CM_MOUSEENTER", "b CM_MOUSELEAVE", "p CM_MOUSEENTER"}));
}

TEST_F(InputTest, QueueCanBePeekedAndOneMessageRemoved) {
  std::vector<Cardinal> got;
  HWND h = AllocateHWnd([&](TMessage& m) { got.push_back(m.Msg); });
  HWND other = AllocateHWnd([&](TMessage& m) { got.push_back(m.Msg + 100); });
  for (Cardinal m : {WM_USER + 1, WM_USER + 2, WM_USER + 3}) PostMessage(h, m, m, 0);
  PostMessage(other, WM_USER + 2, 0, 0);
  TMsg msg;
  ASSERT_TRUE(PeekMessage(msg, h, WM_USER + 2, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2);
  EXPECT_EQ(msg.hwnd, h);
  ASSERT_TRUE(PeekMessage(msg, h, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_FALSE(PeekMessage(msg, h, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
  EXPECT_TRUE(PeekMessage(msg, other, 0, 0, PM_NOREMOVE)) << "filter 0, 0 takes any message";
  Application->ProcessMessages();
  EXPECT_EQ(got, (std::vector<Cardinal>{WM_USER + 1, WM_USER + 3, WM_USER + 102}));
  EXPECT_FALSE(PeekMessage(msg, nullptr, 0, 0, PM_NOREMOVE));
  DeallocateHWnd(h);
  DeallocateHWnd(other);

  // The character of a key press waits in the queue while WM_KEYDOWN runs.
  TRecorder* r = Add(form_, "r", 0, 0);
  r->dlg_code = DLGC_WANTCHARS;
  ShowActive();
  Focus(r);
  WPARAM peeked = 0;
  r->SetOnKeyDown([&](TObject*, Word&, TShiftState) {
    TMsg m;
    if (PeekMessage(m, r->Handle(), WM_CHAR, WM_CHAR, PM_REMOVE)) peeked = m.wParam;
  });
  SendKey(r->Widget(), Qt::Key_K, Qt::NoModifier, "k");
  EXPECT_EQ(peeked, WPARAM{'k'});
  EXPECT_TRUE(Only(log_, "r KeyPress").empty()) << "the character was taken out of the queue";
}

TEST_F(InputTest, MemoWantsTabsAndReturnsOnlyWhenSet) {
  auto* memo = new TMemo(form_);
  memo->SetParent(form_);
  auto* ok = new TButton(form_);
  ok->SetParent(form_);
  ok->SetTop(120);
  ok->SetDefault(true);
  int clicks = 0;
  ok->SetOnClick([&](TObject*) { ++clicks; });
  ShowActive();
  Focus(memo);
  auto* edit = static_cast<QPlainTextEdit*>(memo->Widget());
  QTest::keyClicks(edit, "a");
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClicks(edit, "b");
  EXPECT_EQ(edit->toPlainText(), "a\nb");
  EXPECT_EQ(clicks, 0);

  memo->SetWantReturns(false);
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(clicks, 1) << "Enter goes to the default button";
  EXPECT_EQ(edit->toPlainText(), "a\nb");

  memo->SetWantTabs(true);
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_EQ(edit->toPlainText(), "a\nb\t");
  memo->SetWantTabs(false);
  QTest::keyClick(edit, Qt::Key_Tab);
  EXPECT_TRUE(ok->Focused());
}
