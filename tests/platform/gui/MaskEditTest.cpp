// The masked edit box: texts, messages, clipboard, validation, and keys
// sent to its widget on a shown form.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

#include "platform/gui/Mask.h"
#include "platform/rtl/FormStream.h"
#include "tests/platform/gui/GuiFixture.h"

namespace {

constexpr const char* kPhone = "(999)000-0000;1;_";  // places 1-3, 5-7, 9-12

LPARAM Str(const String& s) { return reinterpret_cast<LPARAM>(s.c_str()); }
int Low(LRESULT v) { return static_cast<int>(v & 0xFFFF); }
int High(LRESULT v) { return static_cast<int>((v >> 16) & 0xFFFF); }

void SetClipboard(const QString& s) { QApplication::clipboard()->setText(s); }
QString Clipboard() { return QApplication::clipboard()->text(); }

// A parent that records WM_COMMAND and either swallows it or lets the base
// reflect it as CN_COMMAND.
class TParent : public TWinControl {
 public:
  using TWinControl::TWinControl;
  void Dispatch(TMessage& m) override {
    if (m.Msg == WM_COMMAND) {
      commands.push_back(m);
      if (!reflect) return;
    }
    TWinControl::Dispatch(m);
  }
  std::vector<TMessage> commands;
  bool reflect = false;
};

// A masked edit whose EditCanModify can refuse.
class TGuardedEdit : public TMaskEdit {
 public:
  using TMaskEdit::TMaskEdit;
  bool allow = true;
  int asked = 0;

 protected:
  bool EditCanModify() override {
    ++asked;
    return allow;
  }
};

class MaskEditTest : public GuiTest {
 protected:
  static void SetUpTestSuite() {
    GuiTest::SetUpTestSuite();
    InitializeUnits({&unit_Mask});
  }

  // An edit on a shown, active form, holding the focus.
  template <class T = TMaskEdit>
  T* Focused(const String& mask) {
    form_.reset(Create<TForm>(nullptr));
    form_->SetBounds(0, 0, 300, 120);
    auto* e = new T(form_.get());
    e->SetParent(form_.get());
    e->SetEditMask(mask);
    other_ = new TMaskEdit(form_.get());
    other_->SetParent(form_.get());
    other_->SetTop(40);
    form_->Show();
    form_->Widget()->activateWindow();
    for (int i = 0; i < 500 && QApplication::activeWindow() != form_->Widget(); ++i) Application->ProcessMessages();
    EXPECT_EQ(QApplication::activeWindow(), form_->Widget());
    e->SetFocus();
    EXPECT_TRUE(e->Focused());
    return e;
  }

  // A key press and release on the control's widget, as Qt delivers them.
  static void Key(TWinControl* c, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(c->Widget(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(c->Widget(), &release);
  }
  static void Type(TWinControl* c, const char* chars) {
    for (const char* p = chars; *p != 0; ++p) {
      char ch = *p;
      int key = ch >= 'a' && ch <= 'z' ? Qt::Key_A + (ch - 'a') : ch >= 'A' && ch <= 'Z' ? Qt::Key_A + (ch - 'A') : ch;
      Key(c, key, Qt::NoModifier, QString(QChar(ch)));
    }
  }
  static QLineEdit* Line(TWinControl* c) { return qobject_cast<QLineEdit*>(c->Widget()); }

  std::unique_ptr<TForm> form_;
  TMaskEdit* other_ = nullptr;
};

}  // namespace

TEST_F(MaskEditTest, TextAndEditTextFollowTheMask) {
  TMaskEdit e(nullptr);
  EXPECT_FALSE(e.IsMasked());
  e.SetText("5551234567");
  e.SetEditMask(kPhone);  // the text is taken along
  EXPECT_TRUE(e.IsMasked());
  EXPECT_EQ(e.EditText(), "(555)123-4567");
  e.SetText("");
  EXPECT_EQ(e.EditText(), "(___)___-____");
  EXPECT_EQ(e.Text(), "(   )   -    ");
  e.SetText("(555)12");
  EXPECT_EQ(e.EditText(), "(555)12_-____");
  e.SetEditMask("(999)000-0000;0;_");
  EXPECT_EQ(e.Text(), "55512");
  e.SetEditText("(1");  // the window's text, made the mask's length
  EXPECT_EQ(e.EditText(), "(1__)___-____");
  EXPECT_FALSE(e.Modified());
  e.Clear();
  EXPECT_EQ(e.EditText(), "(___)___-____");

  // Read from a form resource: the mask, then the text.
  std::unique_ptr<TComponent> read(CreateComponentFromText(
      "object Phone: TMaskEdit\n  EditMask = '!99/99/0000;1;_'\n  Text = '12.05.2024'\n  CharCase = ecUpperCase\nend\n",
      nullptr));
  auto* phone = dynamic_cast<TMaskEdit*>(read.get());
  ASSERT_NE(phone, nullptr);
  EXPECT_EQ(phone->EditMask(), "!99/99/0000;1;_");
  EXPECT_EQ(phone->CharCase(), ecUpperCase);
  String written = WriteComponentToText(phone);
  EXPECT_NE(written.find("EditMask = '!99/99/0000;1;_'"), String::npos) << written;
  EXPECT_NE(written.find("CharCase = ecUpperCase"), String::npos) << written;
}

TEST_F(MaskEditTest, ChangesReachTheParentAsENChangeAndRunOnChangeOnce) {
  for (bool reflect : {false, true}) {
    SCOPED_TRACE(reflect ? "parent reflects" : "parent does not reflect");
    TParent parent(nullptr);
    parent.reflect = reflect;
    parent.HandleNeeded();
    auto* e = new TMaskEdit(&parent);
    e->SetParent(&parent);
    int changes = 0;
    e->SetOnChange([&](TObject* sender) {
      EXPECT_EQ(sender, e);
      ++changes;
    });
    e->SetText("abc");
    ASSERT_EQ(parent.commands.size(), 1u);
    EXPECT_EQ(High(static_cast<LRESULT>(parent.commands[0].WParam)), EN_CHANGE);
    EXPECT_EQ(parent.commands[0].LParam, reinterpret_cast<LPARAM>(e->Handle()));
    EXPECT_EQ(changes, 1);
    e->SetText("abc");  // no change, no notification
    e->SetSelStart(3);
    e->SetSelText("d");
    EXPECT_EQ(e->Text(), "abcd");
    EXPECT_EQ(parent.commands.size(), 2u);
    EXPECT_EQ(changes, 2);
  }

  TMaskEdit alone(nullptr);  // no parent: the change still runs OnChange
  int changes = 0;
  alone.SetOnChange([&](TObject*) { ++changes; });
  alone.SetEditMask("00;1;_");
  alone.SetText("12");
  EXPECT_EQ(changes, 2);
}

TEST_F(MaskEditTest, SelectionMessagesCountBytes) {
  TMaskEdit e(nullptr);
  e.SetText("абв");  // 2 bytes each
  e.Perform(EM_SETSEL, 2, 6);
  EXPECT_EQ(e.SelStart(), 2);
  EXPECT_EQ(e.SelLength(), 4);
  EXPECT_EQ(e.SelText(), "бв");
  Cardinal start = 99, end = 99;
  LRESULT packed = e.Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);
  EXPECT_EQ(end, 6u);
  EXPECT_EQ(Low(packed), 2);
  EXPECT_EQ(High(packed), 6);

  struct Case {
    WPARAM anchor;
    LPARAM end;
    int sel_start, sel_length;
  } cases[] = {
      {0, -1, 0, 6},                       // all
      {static_cast<WPARAM>(-1), 0, 6, 0},  // no selection, the caret stays (at the end)
      {3, 5, 2, 2},                        // inside a character: its start
      {1, 1, 0, 0},                        // the caret
      {0x7FFFFFFF, -1, 6, 0},              // the end
      {4, 0, 0, 4},                        // backwards
  };
  for (const Case& c : cases) {
    e.Perform(EM_SETSEL, c.anchor, c.end);
    EXPECT_EQ(e.SelStart(), c.sel_start) << c.anchor << "," << c.end;
    EXPECT_EQ(e.SelLength(), c.sel_length) << c.anchor << "," << c.end;
  }
  e.SetSelStart(6);
  e.SetSelLength(-2);  // a selection running back from SelStart
  EXPECT_EQ(e.SelStart(), 4);
  EXPECT_EQ(e.SelText(), "в");
  e.SelectAll();
  EXPECT_EQ(e.SelLength(), 6);

  // With a mask the caret shows as the block over a place.
  e.SetEditMask(kPhone);
  e.SetText("");
  e.Perform(EM_SETSEL, 4, 4);
  EXPECT_EQ(e.SelStart(), 5);
  EXPECT_EQ(e.SelLength(), 1);
}

TEST_F(MaskEditTest, TextMessagesCopyWholeCharacters) {
  TMaskEdit e(nullptr);
  EXPECT_EQ(e.Perform(WM_SETTEXT, 0, Str("ёлка")), 1);
  EXPECT_EQ(e.Text(), "ёлка");
  EXPECT_EQ(e.Perform(WM_GETTEXTLENGTH), 8);
  char buffer[16];
  EXPECT_EQ(e.Perform(WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)), 8);
  EXPECT_STREQ(buffer, "ёлка");
  EXPECT_EQ(e.Perform(WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 2);  // "ёл" would need 5
  EXPECT_STREQ(buffer, "ё");
  EXPECT_EQ(e.Perform(WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
  EXPECT_EQ(e.Perform(WM_GETTEXT, 8, 0), 0);
  e.Perform(WM_SETTEXT, 0, 0);
  EXPECT_EQ(e.Text(), "");

  e.SetEditMask("00-00;0;_");
  e.Perform(WM_SETTEXT, 0, Str("12345"));
  EXPECT_EQ(e.EditText(), "12-45");  // the literal's place keeps the literal
  EXPECT_EQ(e.Text(), "1245");
}

TEST_F(MaskEditTest, FormattingRectangleAndMargins) {
  TForm* form = Create<TForm>(nullptr);
  std::unique_ptr<TForm> owner(form);
  auto* e = new TMaskEdit(form);
  e->SetParent(form);
  e->SetAutoSize(false);
  e->SetBounds(0, 0, 100, 24);
  e->HandleNeeded();
  int w = e->ClientWidth(), h = e->ClientHeight();
  TRect r;
  e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, Rect(0, 0, w, h));

  e->Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, (5 << 16) | 3);
  LRESULT margins = e->Perform(EM_GETMARGINS);
  EXPECT_EQ(Low(margins), 3);
  EXPECT_EQ(High(margins), 5);
  e->Perform(EM_SETMARGINS, EC_RIGHTMARGIN, 7 << 16);  // the left margin stays
  EXPECT_EQ(Low(e->Perform(EM_GETMARGINS)), 3);
  e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, Rect(3, 0, w - 7, h));

  TRect set = Rect(10, 2, 60, 20);
  e->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&set));
  e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, set);
  QMargins shown = Line(e)->textMargins();
  EXPECT_EQ(shown, QMargins(10, 2, w - 60, h - 20));
  EXPECT_EQ(e->Perform(EM_SCROLLCARET), 1);

  e->SetWidth(120);  // a resize gives back the default rectangle
  e->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  EXPECT_EQ(r, Rect(3, 0, e->ClientWidth() - 7, h));
}

TEST_F(MaskEditTest, ClipboardMessages) {
  TMaskEdit e(nullptr);
  e.SetText("hello world");
  e.Perform(EM_SETSEL, 6, 11);
  e.Perform(WM_COPY);
  EXPECT_EQ(Clipboard(), "world");
  SetClipboard("");
  e.Perform(WM_CUT);
  EXPECT_EQ(Clipboard(), "world");
  EXPECT_EQ(e.Text(), "hello ");
  EXPECT_TRUE(e.Modified());
  EXPECT_EQ(e.Perform(EM_CANUNDO), 1);
  e.Perform(WM_PASTE);
  EXPECT_EQ(e.Text(), "hello world");
  SetClipboard("x\r\ny");  // one line only
  e.Perform(WM_PASTE);
  EXPECT_EQ(e.Text(), "hello worldx");
  EXPECT_EQ(e.Perform(WM_UNDO), 1);
  EXPECT_EQ(e.Text(), "hello world");
  e.Perform(EM_SETSEL, 0, 6);
  e.Perform(WM_CLEAR);
  EXPECT_EQ(e.Text(), "world");
  e.Perform(EM_EMPTYUNDOBUFFER);
  EXPECT_EQ(e.Perform(WM_UNDO), 0);

  // Read-only: only copying.
  e.SetReadOnly(true);
  e.SelectAll();
  SetClipboard("other");
  for (Cardinal msg : {WM_PASTE, WM_CUT, WM_CLEAR}) e.Perform(msg);
  EXPECT_EQ(e.Text(), "world");
  e.Perform(WM_COPY);
  EXPECT_EQ(Clipboard(), "world");
  e.SetReadOnly(false);

  // A password is never copied.
  e.SetPasswordChar('*');
  SetClipboard("kept");
  e.Perform(WM_COPY);
  e.Perform(WM_CUT);
  EXPECT_EQ(Clipboard(), "kept");
  EXPECT_EQ(e.Text(), "world");
  e.HandleNeeded();
  EXPECT_EQ(Line(&e)->text(), "*****");

  // With a mask: paste types the clipboard into the places; cut blanks them.
  TGuardedEdit m(nullptr);
  m.SetEditMask(kPhone);
  SetClipboard("(555) 123-4567");
  m.PasteFromClipboard();
  EXPECT_EQ(m.EditText(), "(555)123-4567");
  m.Perform(EM_SETSEL, 1, 4);
  m.CutToClipboard();
  EXPECT_EQ(Clipboard(), "555");
  EXPECT_EQ(m.EditText(), "(___)123-4567");
  m.allow = false;  // EditCanModify refuses
  int asked = m.asked;
  m.PasteFromClipboard();
  m.Perform(WM_CLEAR);
  EXPECT_EQ(m.EditText(), "(___)123-4567");
  EXPECT_EQ(m.asked, asked + 2);
}

TEST_F(MaskEditTest, ValidateEditRaisesAtTheFirstIncompletePlace) {
  TMaskEdit e(nullptr);
  e.SetEditMask("00-00;1;_");
  e.ValidateEdit();  // not modified: nothing to check
  e.SetSelText("12");
  EXPECT_EQ(e.EditText(), "12-__");
  ASSERT_TRUE(e.Modified());
  try {
    e.ValidateEdit();
    ADD_FAILURE() << "no error";
  } catch (const EDBEditError& x) {
    EXPECT_STREQ(x.what(), SMaskEditErr);
  }
  EXPECT_EQ(e.SelStart(), 3);
  EXPECT_EQ(e.SelLength(), 1);
  e.SetSelText("34");
  EXPECT_NO_THROW(e.ValidateEdit());
  e.SetEditMask("");
  e.SetModified(true);
  EXPECT_NO_THROW(e.ValidateEdit());
}

TEST_F(MaskEditTest, LeavingAnIncompleteTextTakesTheFocusBack) {
  std::vector<String> errors;
  Application->SetOnException([&](TObject*, Exception* x) { errors.push_back(x->Message()); });
  TMaskEdit* e = Focused("00-00;1;_");
  int enters = 0, exits = 0;
  e->SetOnEnter([&](TObject*) { ++enters; });
  e->SetOnExit([&](TObject*) { ++exits; });
  Type(e, "1");
  other_->SetFocus();
  Application->ProcessMessages();
  EXPECT_EQ(errors, std::vector<String>{SMaskEditErr});
  EXPECT_TRUE(e->Focused());
  EXPECT_EQ(e->SelStart(), 1);
  EXPECT_EQ(enters, 0);  // the focus came back: no new entry
  EXPECT_EQ(exits, 0);

  Type(e, "234");
  other_->SetFocus();
  EXPECT_TRUE(other_->Focused());
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(exits, 1);

  // A form hidden or freed with an incomplete text in its focused edit
  // raises nothing.
  e->SetFocus();
  e->SetSelText("");
  e->Perform(EM_SETSEL, 0, 1);
  e->SetSelText("");
  ASSERT_TRUE(e->Modified());
  ASSERT_GE(e->Engine().FirstInvalid(), 0);
  form_->Hide();
  form_->Show();
  e->SetFocus();
  form_.reset();
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(MaskEditTest, KeysEditAMaskedText) {
  TMaskEdit* e = Focused(kPhone);
  std::vector<WideChar> pressed;
  e->SetOnKeyPress([&](TObject*, WideChar& k) { pressed.push_back(k); });
  Key(e, Qt::Key_Home);
  Type(e, "555x1234567");  // 'x' beeps and is dropped
  EXPECT_EQ(e->EditText(), "(555)123-4567");
  EXPECT_EQ(pressed.size(), 11u);
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(Line(e)->text(), "(555)123-4567");

  Key(e, Qt::Key_Home);
  for (int i = 0; i < 3; ++i) Key(e, Qt::Key_Right);
  EXPECT_EQ(e->SelStart(), 5);  // over ")"
  EXPECT_EQ(Line(e)->selectionStart(), 5);
  EXPECT_EQ(Line(e)->selectedText(), "1");
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e->EditText(), "(55_)123-4567");
  EXPECT_EQ(e->SelStart(), 3);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e->EditText(), "(55_)123-4567");
  Key(e, Qt::Key_Right);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e->EditText(), "(55_)_23-4567");
  Key(e, Qt::Key_Up);
  Key(e, Qt::Key_Down);
  EXPECT_EQ(e->SelStart(), 5);
  Key(e, Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(e->SelText(), ")_");  // the block and the character before it
  Key(e, Qt::Key_C, Qt::ControlModifier, QString(QChar(3)));
  EXPECT_EQ(Clipboard(), ")_");
  Key(e, Qt::Key_End);
  EXPECT_EQ(e->SelStart(), 13);
  EXPECT_EQ(e->SelLength(), 0);

  // Escape restores the text the control had when it got the focus.
  EXPECT_EQ(e->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 1);
  Key(e, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
  EXPECT_EQ(e->EditText(), "(___)___-____");
  EXPECT_FALSE(e->Modified());
  EXPECT_EQ(e->Perform(CM_WANTSPECIALKEY, VK_ESCAPE), 0);

  // Pasting by key, and read-only.
  SetClipboard("5551234567");
  Key(e, Qt::Key_Home);
  Key(e, Qt::Key_V, Qt::ControlModifier, QString(QChar(22)));
  EXPECT_EQ(e->EditText(), "(555)123-4567");
  e->SetReadOnly(true);
  Key(e, Qt::Key_Home);
  Type(e, "9");
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e->EditText(), "(555)123-4567");
}

TEST_F(MaskEditTest, KeysEditAPlainText) {
  TMaskEdit* e = Focused("");
  e->SetCharCase(ecUpperCase);
  e->SetMaxLength(6);
  Type(e, "abc de!");
  EXPECT_EQ(e->Text(), "ABC DE");
  Key(e, Qt::Key_Backspace);
  Key(e, Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(e->SelStart(), 4);
  Key(e, Qt::Key_Home, Qt::ShiftModifier);
  EXPECT_EQ(e->SelText(), "ABC ");
  Key(e, Qt::Key_X, Qt::ControlModifier, QString(QChar(24)));
  EXPECT_EQ(e->Text(), "D");
  EXPECT_EQ(Clipboard(), "ABC ");
  Key(e, Qt::Key_End);
  Key(e, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(e->Text(), "DABC ");
  Key(e, Qt::Key_Z, Qt::ControlModifier, QString(QChar(26)));
  EXPECT_EQ(e->Text(), "D");
  Key(e, Qt::Key_Left);
  Key(e, Qt::Key_Delete);
  EXPECT_EQ(e->Text(), "");
  Key(e, Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));  // no mask: not a reset
  EXPECT_TRUE(e->Modified());

  // The widget's own editing is not reachable: what it shows is the control's.
  Type(e, "ok");
  EXPECT_EQ(Line(e)->text(), "OK");
  EXPECT_EQ(Line(e)->cursorPosition(), 2);
  e->SetReadOnly(true);
  Type(e, "x");
  Key(e, Qt::Key_Backspace);
  EXPECT_EQ(e->Text(), "OK");
}

TEST_F(MaskEditTest, TheMousePlacesTheCaretThroughTheWidget) {
  TMaskEdit* e = Focused(kPhone);
  e->SetText("5551234567");
  QPointF left(2, e->Height() / 2);
  auto mouse = [&](QEvent::Type type) {
    QMouseEvent m(type, left, Line(e)->mapToGlobal(left), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(e->Widget(), &m);
  };
  mouse(QEvent::MouseButtonPress);
  mouse(QEvent::MouseButtonRelease);
  EXPECT_EQ(e->SelStart(), 1);  // before "(": the block moves onto the first place
  EXPECT_EQ(e->SelLength(), 1);

  e->SetEditMask("");
  e->SetText("hello world");
  mouse(QEvent::MouseButtonDblClick);  // the widget selects the word
  mouse(QEvent::MouseButtonRelease);
  EXPECT_EQ(e->SelText(), "hello");
  Type(e, "J");
  EXPECT_EQ(e->Text(), "J world");
}

TEST_F(MaskEditTest, AutoSelectOnEnterAndAutoSize) {
  TMaskEdit* e = Focused("");
  other_->SetText("text");
  other_->SetFocus();
  EXPECT_EQ(other_->SelLength(), 4);
  EXPECT_EQ(Line(other_)->selectedText(), "text");
  other_->SetAutoSelect(false);
  e->SetFocus();
  other_->SetSelStart(1);
  other_->SetFocus();
  EXPECT_EQ(other_->SelLength(), 0);
  EXPECT_EQ(other_->SelStart(), 1);

  TCanvas measure;
  measure.Font()->Assign(e->Font());
  EXPECT_EQ(e->Height(), measure.TextHeight("Wg") + 8);
  e->SetBorderStyle(bsNone);
  e->SetHeight(40);
  e->Font()->SetSize(e->Font()->Size() + 6);  // no border: the height stays
  EXPECT_EQ(e->Height(), 40);
  e->SetBorderStyle(bsSingle);
  measure.Font()->Assign(e->Font());
  EXPECT_EQ(e->Height(), measure.TextHeight("Wg") + 8);
}

namespace {

// The word-wrapped edit box of a cell editor: multi-line while WordWrap is
// set, its window made anew on a change.
class TWrapEdit : public TMaskEdit {
 public:
  using TMaskEdit::TMaskEdit;
  void SetWordWrap(bool Value) {
    word_wrap = Value;
    RecreateWnd();
  }
  bool word_wrap = false;
  uint32_t align = ES_LEFT;

 protected:
  void CreateParams(TCreateParams& Params) override {
    TMaskEdit::CreateParams(Params);
    Params.Style |= ES_MULTILINE | align;
    if (word_wrap) Params.Style &= ~ES_AUTOHSCROLL;
  }
};

int Lines(TWinControl* e) { return static_cast<int>(e->Perform(EM_GETLINECOUNT)); }
int CaretLine(TWinControl* e) { return static_cast<int>(e->Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(-1))); }

}  // namespace

TEST_F(MaskEditTest, AWordWrappedBoxKeepsLinesAndMovesByThem) {
  auto* e = Focused<TWrapEdit>("");
  e->SetBounds(0, 0, 90, 80);
  e->SetText("Жук жужжит");
  EXPECT_FALSE(e->MultiLine());  // ES_MULTILINE with ES_AUTOHSCROLL: one line
  EXPECT_EQ(Lines(e), 1);
  e->SetWordWrap(true);
  ASSERT_TRUE(e->MultiLine());
  ASSERT_NE(qobject_cast<QPlainTextEdit*>(e->Widget()), nullptr);
  EXPECT_EQ(e->Text(), "Жук жужжит");  // the text went along
  e->SetFocus();
  ASSERT_TRUE(e->Focused());

  // Ctrl+Enter types a CR LF; Backspace takes it whole.
  e->SetText("one");
  e->SelectAll();
  Key(e, Qt::Key_End, Qt::ControlModifier);
  Key(e, Qt::Key_Return, Qt::ControlModifier, "\n");
  Type(e, "two");
  Key(e, Qt::Key_Return, Qt::ControlModifier, "\n");
  Type(e, "three");
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree");
  EXPECT_EQ(Lines(e), 3);
  EXPECT_EQ(CaretLine(e), 2);
  EXPECT_EQ(e->Perform(EM_LINEINDEX, 1), 5);  // bytes: "one\r\n"
  EXPECT_EQ(e->Perform(EM_LINEINDEX, 3), -1);
  // Plain Enter types nothing without ES_WANTRETURN.
  Key(e, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(Lines(e), 3);

  // Up and Down move by the lines; Home and End within a line.
  Key(e, Qt::Key_Up);
  EXPECT_EQ(CaretLine(e), 1);
  Key(e, Qt::Key_Home);
  EXPECT_EQ(e->SelStart(), 5);
  Key(e, Qt::Key_Backspace);  // the line break before "two"
  EXPECT_EQ(e->Text(), "onetwo\r\nthree");
  EXPECT_EQ(e->SelStart(), 3);
  Key(e, Qt::Key_End);
  Key(e, Qt::Key_Delete);  // the line break after "two"
  EXPECT_EQ(e->Text(), "onetwothree");
  Key(e, Qt::Key_Down);
  EXPECT_EQ(CaretLine(e), 0);

  // A long text wraps at the words within the width, Cyrillic whole.
  e->SetText("Жук жужжит над жимолостью, жук жужжит ещё");
  int wrapped = Lines(e);
  EXPECT_GT(wrapped, 2);
  std::vector<int> starts;
  for (int i = 0; i < wrapped; ++i) starts.push_back(static_cast<int>(e->Perform(EM_LINEINDEX, i)));
  const String text = e->Text();
  for (int s : starts) {
    ASSERT_LE(s, static_cast<int>(text.size()));
    EXPECT_NE(static_cast<unsigned char>(text[static_cast<size_t>(s)]) & 0xC0, 0x80) << s;  // never inside a letter
  }
  e->SetBounds(0, 0, 400, 80);
  EXPECT_LT(Lines(e), wrapped);

  // The text's alignment comes from the style.
  e->align = ES_CENTER;
  e->RecreateWnd();
  auto* memo = qobject_cast<QPlainTextEdit*>(e->Widget());
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->document()->defaultTextOption().alignment(), Qt::AlignHCenter);
  e->SetWordWrap(false);
  EXPECT_NE(Line(e), nullptr);
  EXPECT_EQ(e->Text(), "Жук жужжит над жимолостью, жук жужжит ещё");
}

namespace {

// An edit box that draws a mark over its window and may paint the text itself.
class TOverlayEdit : public TMaskEdit {
 public:
  using TMaskEdit::TMaskEdit;
  bool own = true;
  int paints = 0;
  void PaintWindow(HDC DC) override {
    ++paints;
    TCanvas c;
    c.SetHandle(DC);
    c.Brush()->SetColor(clRed);
    c.FillRect(Rect(2, 2, 6, 6));
    c.SetHandle(nullptr);
  }

 protected:
  bool EditPaints() override { return own; }
};

TEST_F(MaskEditTest, PaintWindowDrawsOverTheBoxOrInsteadOfItsText) {
  form_.reset(Create<TForm>(nullptr));
  auto* e = new TOverlayEdit(form_.get());
  e->SetParent(form_.get());
  e->SetBounds(0, 0, 120, 24);
  e->SetColor(clWhite);
  e->SetText("WWWWWWWW");
  form_->Show();
  auto paint = [&](TPaper& paper) { e->PaintTo(paper.Canvas(), 0, 0); };
  TPaper own(120, 24, clBlue);
  paint(own);
  EXPECT_GT(e->paints, 0);
  EXPECT_EQ(own.At(3, 3), clRed);
  const int textPixels = own.CountNot(Rect(8, 4, 100, 20), clWhite);
  EXPECT_GT(textPixels, 0);
  e->own = false;  // the edit box's text is not drawn; the area is filled with Color
  TPaper bare(120, 24, clBlue);
  paint(bare);
  EXPECT_EQ(bare.At(3, 3), clRed);
  EXPECT_EQ(bare.CountNot(Rect(8, 4, 100, 20), clWhite), 0);
}

}  // namespace
