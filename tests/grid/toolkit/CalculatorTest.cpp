// The calculator: key sequences from the keyboard and from its key buttons,
// its form resource and scaling, and the drop-down that hands its value to
// the edit box it is dropped under without taking the focus.
#include "grid/toolkit/CalculatorEh.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gui/Clipbrd.h"
#include "platform/gui/Popup.h"
#include "platform/os/Resources.h"
#include "platform/rtl/SysUtils.h"
#include "tests/grid/toolkit/ToolkitFixture.h"
#include "tests/support/QtInput.h"

namespace {

// Keys: Enter '\r', Esc '\x1b', Backspace '\b'.
struct TSequence {
  const char* keys;
  const char* display;
  const char* ok;  // the Ok key's caption afterwards
};

// The key button of a character ('=' the Ok key).
TSpeedButtonEh* KeyOf(TCalculatorEh* Calc, char Key) {
  static const std::string kChars = std::string("\0" "789/SC456*%A123-R\b0I.+=", 24);
  size_t tag = kChars.find(Key, 1);
  if (tag == std::string::npos) return nullptr;
  for (int i = 0; i < Calc->ControlCount(); ++i) {
    auto* b = dynamic_cast<TSpeedButtonEh*>(Calc->Controls(i));
    if (b != nullptr && b->Tag() == static_cast<NativeInt>(tag)) return b;
  }
  return nullptr;
}

// The Cancel key ("A") lies under the C key and cannot be clicked.
bool AllHaveKeys(TCalculatorEh* Calc, const std::string& Keys) {
  for (char c : Keys) {
    if (c == 'A' || KeyOf(Calc, c) == nullptr) return false;
  }
  return true;
}

// A key typed into the control's window: its Qt key and text.
void Type(QWidget* W, char C) {
  switch (C) {
    case '\r': SendKey(W, Qt::Key_Return, {}, "\r"); return;
    case '\x1b': SendKey(W, Qt::Key_Escape, {}, "\x1b"); return;
    case '\b': SendKey(W, Qt::Key_Backspace, {}, "\b"); return;
    default: break;
  }
  const int upper = C >= 'a' && C <= 'z' ? C - 'a' + 'A' : C;
  SendKey(W, upper, {}, QString(QChar(C)));
}

// Clicks the middle of a key button through the window it lies in.
void ClickKey(TCalculatorEh* Calc, QWidget* Window, char Key) {
  TSpeedButtonEh* b = KeyOf(Calc, Key);
  ASSERT_NE(b, nullptr) << Key;
  ClickAt(Window, b->ClientToScreen({b->Width() / 2, b->Height() / 2}));
}

class CalculatorTest : public ToolkitTest {
 protected:
  static void SetUpTestSuite() {
    ToolkitTest::SetUpTestSuite();
    InitializeUnits({&unit_CalculatorEh, &unit_Clipbrd});
  }
  void SetUp() override {
    ToolkitTest::SetUp();
    saved_ = FormatSettings;
    FormatSettings.DecimalSeparator = '.';
    form_ = TForm::CreateNew(nullptr);
    form_->SetBounds(100, 100, 420, 260);
  }
  void TearDown() override {
    delete form_;
    FormatSettings = saved_;
    ToolkitTest::TearDown();
  }
  TCalculatorEh* NewCalculator() {
    auto* calc = Create<TCalculatorEh>(form_);
    calc->SetParent(form_);
    calc->SetBounds(8, 8, 0, 0);
    return calc;
  }
  // The height of "0" in the calculator's font here: what the resource's 13
  // pixels become.
  static int Measured(TCalculatorEh* Calc) {
    TCanvas c;
    c.Font()->Assign(Calc->Font());
    return c.TextHeight("0");
  }

  TForm* form_ = nullptr;
  TFormatSettings saved_;
};

}  // namespace

TEST_F(CalculatorTest, KeySequencesFromTheKeyboardAndTheKeyButtons) {
  std::string overflow;
  for (int i = 0; i < 21; ++i) overflow += "999999999999999*";
  overflow += "=";
  const TSequence kCases[] = {
      {"12+3", "3", "="},
      {"12+3=", "15", "Ok"},
      {"200+10%", "220", "Ok"},
      {"200+10%=", "220", "Ok"},
      {"200-10%", "180", "Ok"},
      {"200*10%", "20", "Ok"},
      {"200/10%", "2000", "Ok"},
      {"50%", "50", "Ok"},
      {"2*3-1=", "5", "Ok"},
      {"2+3*4=", "20", "Ok"},
      {"1+2\r", "3", "Ok"},
      {"1/3=", "0.333333333333333", "Ok"},
      {"0+5", "5", "Ok"},
      {"5/0=", "Error", "Ok"},
      {"5/0=7", "Error", "Ok"},
      {"5/0=7+\x1b", "Error", "Ok"},
      {"5/0=7C", "0", "Ok"},
      {"5/0=C4+4=", "8", "Ok"},
      {"0R", "Error", "Ok"},
      {"4R", "0.25", "Ok"},
      {"9S", "3", "Ok"},
      {"4IS", "Error", "Ok"},
      {"4I", "-4", "Ok"},
      {"0I5", "5", "Ok"},
      {"1234567890123456", "123456789012345", "Ok"},
      {"123456789012345I6", "-123456789012345", "Ok"},
      {"0001", "1", "Ok"},
      {"1.5+1.5=", "3", "Ok"},
      {"1..5", "1.5", "Ok"},
      {"1,5", "1.5", "Ok"},
      {".5", "0.5", "Ok"},
      {"3+.", "0.", "="},
      {"3+.5=", "3.5", "Ok"},
      {"12.+1=", "13", "Ok"},
      {"12\b", "1", "Ok"},
      {"1\b", "0", "Ok"},
      {"1I\b", "0", "Ok"},
      {"12+\b", "0", "="},
      {"12+C3=", "3", "Ok"},
      {"12+\x1b", "0", "Ok"},
      {"7A", "7", "Ok"},
      {"9s", "3", "Ok"},
      {"12c", "0", "Ok"},
      {"2*3", "3", "="},
      {"2*3=", "6", "Ok"},
      {overflow.c_str(), "Error", "Ok"},
  };
  form_->Show();
  for (const TSequence& c : kCases) {
    const std::string keys = c.keys;
    {
      SCOPED_TRACE("typed " + keys);
      std::unique_ptr<TCalculatorEh> calc(NewCalculator());
      for (char k : keys) Type(calc->Widget(), k);
      EXPECT_EQ(calc->Display(), c.display);
      EXPECT_EQ(calc->spEqual->Caption(), c.ok);
    }
    std::unique_ptr<TCalculatorEh> calc(NewCalculator());
    if (!AllHaveKeys(calc.get(), keys)) continue;
    SCOPED_TRACE("clicked " + keys);
    for (char k : keys) ClickKey(calc.get(), form_->Widget(), k);
    EXPECT_EQ(calc->Display(), c.display);
    EXPECT_EQ(calc->spEqual->Caption(), c.ok);
  }
}

TEST_F(CalculatorTest, RunningResultKeepsOnePendingOperator) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  EXPECT_EQ(calc->Status(), cstStartEh);
  EXPECT_EQ(calc->Operator(), 0);
  for (char k : std::string("12+3")) calc->ProcessKey(k);
  EXPECT_EQ(calc->Status(), cstEnteringEh);
  EXPECT_EQ(calc->Operator(), '+');
  EXPECT_EQ(calc->Operand(), 12);
  calc->ProcessKey('*');
  EXPECT_EQ(calc->Status(), cstStartEh);
  EXPECT_EQ(calc->Operator(), '*');
  EXPECT_EQ(calc->Operand(), 15);
  // An operator in the start state replaces the pending one.
  calc->ProcessKey('-');
  calc->ProcessKey('4');
  calc->ProcessKey('=');
  EXPECT_EQ(calc->Display(), "11");
  calc->ProcessKey('C');
  EXPECT_EQ(calc->Operator(), '=');
  EXPECT_EQ(calc->Operand(), 0);

  // The locale's separator is shown and read.
  FormatSettings.DecimalSeparator = ',';
  for (char k : std::string("1.5*2,5=")) calc->ProcessKey(k);
  EXPECT_EQ(calc->Display(), "3,75");
  EXPECT_EQ(calc->GetDisplay(), 3.75);
}

TEST_F(CalculatorTest, WheelStepsTheDisplayAndAnExponentStaysANumber) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  for (char k : std::string("999999999999999")) calc->ProcessKey(k);
  EXPECT_TRUE(calc->DoMouseWheelUp({}, {}));
  EXPECT_EQ(calc->Display(), "1E15");
  // Neither digits nor a separator after the exponent; Backspace leaves no
  // bare exponent mark.
  calc->ProcessKey('7');
  calc->ProcessKey('.');
  EXPECT_EQ(calc->Display(), "1E15");
  calc->ProcessKey('\b');
  EXPECT_EQ(calc->Display(), "1E1");
  calc->ProcessKey('\b');
  EXPECT_EQ(calc->Display(), "1");
  calc->ProcessKey('+');
  EXPECT_TRUE(calc->DoMouseWheelDown({}, {}));
  EXPECT_EQ(calc->Display(), "0");

  for (char k : std::string("C1/0=")) calc->ProcessKey(k);
  EXPECT_TRUE(calc->DoMouseWheelUp({}, {}));
  EXPECT_EQ(calc->Display(), "Error");
}

TEST_F(CalculatorTest, CopyAndPasteThroughTheClipboard) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  form_->Show();
  for (char k : std::string("12.5")) calc->ProcessKey(k);
  SendKey(calc->Widget(), Qt::Key_C, Qt::ControlModifier, "\x03");
  EXPECT_EQ(Clipboard()->AsText(), "12.5");

  Clipboard()->SetAsText("  -3.25 ");
  SendKey(calc->Widget(), Qt::Key_V, Qt::ControlModifier, "\x16");
  EXPECT_EQ(calc->Display(), "-3.25");

  Clipboard()->SetAsText("abc");
  EXPECT_THROW(calc->ProcessKey(22), EConvertError);
  EXPECT_EQ(calc->Display(), "-3.25");
}

TEST_F(CalculatorTest, FormResourceBuildsTheFaceAndScalesLikeAForm) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  ASSERT_NE(calc->TextBox, nullptr);
  ASSERT_NE(calc->Panel1, nullptr);
  EXPECT_EQ(calc->TextBox->Parent(), calc->Panel1);
  EXPECT_EQ(calc->TextBox->Caption(), "0");
  EXPECT_EQ(calc->TextBox->Alignment(), taRightJustify);
  EXPECT_EQ(calc->Panel1->BorderWidth(), 2);
  EXPECT_EQ(calc->TextHeight(), 13);
  EXPECT_EQ(calc->BorderStyle(), bsNone);
  EXPECT_EQ(calc->Color(), clBtnFace);

  const int m = Measured(calc.get());
  auto scaled = [m](int v) { return MulDiv(v, m, 13); };
  // The client size of the resource, scaled; AutoSize keeps it.
  EXPECT_EQ(calc->ClientWidth(), scaled(184));
  EXPECT_EQ(calc->ClientHeight(), scaled(127));
  calc->SetBounds(8, 8, 300, 300);
  EXPECT_EQ(calc->Width(), scaled(184));

  struct TKey {
    int tag;
    const char* caption;
    int left, top, width, height;
    TColor color;
  };
  const TKey kKeys[] = {
      {1, "7", 6, 29, 27, 22, clBlue},     {2, "8", 35, 29, 27, 22, clBlue},
      {3, "9", 64, 29, 27, 22, clBlue},    {4, "/", 93, 29, 27, 22, clRed},
      {5, "sqrt", 122, 29, 27, 22, clBlue}, {6, "C", 151, 29, 27, 46, clRed},
      {7, "4", 6, 53, 27, 22, clBlue},     {8, "5", 35, 53, 27, 22, clBlue},
      {9, "6", 64, 53, 27, 22, clBlue},    {10, "*", 93, 53, 27, 22, clRed},
      {11, "%", 122, 53, 27, 22, clBlue},  {12, "Cancel", 151, 52, 27, 23, clRed},
      {13, "1", 6, 77, 27, 22, clBlue},    {14, "2", 35, 77, 27, 22, clBlue},
      {15, "3", 64, 77, 27, 22, clBlue},   {16, "-", 93, 77, 27, 22, clRed},
      {17, "1/x", 122, 77, 27, 22, clBlue}, {18, "<-", 151, 77, 27, 22, clRed},
      {19, "0", 6, 101, 27, 22, clBlue},   {20, "+/-", 35, 101, 27, 22, clBlue},
      {21, ".", 64, 101, 27, 22, clBlue},  {22, "+", 93, 101, 27, 22, clRed},
      {23, "Ok", 122, 101, 56, 22, clRed},
  };
  std::vector<TSpeedButtonEh*> keys;
  for (int i = 0; i < calc->ControlCount(); ++i) {
    if (auto* b = dynamic_cast<TSpeedButtonEh*>(calc->Controls(i))) keys.push_back(b);
  }
  ASSERT_EQ(keys.size(), std::size(kKeys));
  // The Cancel key comes first and lies under the C key, which hides it.
  EXPECT_EQ(keys.front()->Tag(), 12);
  EXPECT_FALSE(KeyOf(calc.get(), 'C')->Transparent());
  for (const TKey& k : kKeys) {
    SCOPED_TRACE(k.caption);
    TSpeedButtonEh* b = nullptr;
    for (TSpeedButtonEh* key : keys) {
      if (key->Tag() == k.tag) b = key;
    }
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Caption(), k.caption);
    EXPECT_EQ(b->BoundsRect(), Rect(scaled(k.left), scaled(k.top), scaled(k.left + k.width), scaled(k.top + k.height)));
    EXPECT_EQ(b->Font()->Color(), k.color);
    EXPECT_EQ(b->Style(), ebsGlyphEh);
    EXPECT_TRUE(b->Active());
    EXPECT_TRUE(b->Flat());
    EXPECT_EQ(b->Layout(), blGlyphRight);
  }
  EXPECT_EQ(calc->spEqual->Tag(), 23);
}

// The same form stored as designed elsewhere: at twice the text height, and
// at twice the resolution with a font twice as high.
TEST_F(CalculatorTest, AFormDesignedElsewhereIsScaledToThisScreen) {
  const TResource* original = FindResource("TCALCULATOREH", RT_RCDATA);
  ASSERT_NE(original, nullptr);
  const std::span<const uint8_t> bytes = original->Data;
  struct Restore {
    std::span<const uint8_t> bytes;
    ~Restore() { RegisterResource("TCALCULATOREH", RT_RCDATA, bytes.data(), bytes.size()); }
  } restore{bytes};
  const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::unique_ptr<TCalculatorEh> normal(NewCalculator());
  ASSERT_EQ(Measured(normal.get()), 13);  // what this screen makes of the font

  auto load = [&](const std::string& from, const std::string& to, std::string& storage) {
    storage = text;
    size_t at = storage.find(from);
    EXPECT_NE(at, std::string::npos);
    storage.replace(at, from.size(), to);
    RegisterResource("TCALCULATOREH", RT_RCDATA, reinterpret_cast<const uint8_t*>(storage.data()), storage.size());
    return std::unique_ptr<TCalculatorEh>(NewCalculator());
  };

  std::string tall;
  std::unique_ptr<TCalculatorEh> half = load("TextHeight = 13", "TextHeight = 26", tall);
  EXPECT_EQ(half->ClientWidth(), 92);
  EXPECT_EQ(half->ClientHeight(), 64);
  EXPECT_EQ(half->spEqual->BoundsRect(), Rect(61, 51, 89, 62));
  EXPECT_EQ(half->Panel1->BoundsRect(), Rect(3, 2, 89, 12));
  EXPECT_EQ(half->TextBox->BoundsRect(), Rect(1, 1, 84, 9));
  EXPECT_EQ(half->spEqual->Font()->Size(), MulDiv(normal->spEqual->Font()->Size(), 13, 26));
  EXPECT_EQ(half->Font()->Height(), -11);  // the form's own font stays

  std::string dense;
  std::unique_ptr<TCalculatorEh> hires =
      load("  Font.Height = -11\n  Font.Name = 'MS Sans Serif'\n  Font.Style = []\n  OldCreateOrder = False\n"
           "  PixelsPerInch = 96",
           "  Font.Height = -22\n  Font.Name = 'MS Sans Serif'\n  Font.Style = []\n  OldCreateOrder = False\n"
           "  PixelsPerInch = 192",
           dense);
  EXPECT_EQ(hires->Font()->Height(), -11);
  EXPECT_EQ(hires->PixelsPerInch(), 96);
  EXPECT_EQ(hires->ClientWidth(), 184);
  EXPECT_EQ(hires->spEqual->BoundsRect(), normal->spEqual->BoundsRect());
}

TEST_F(CalculatorTest, ABorderAroundTheKeptClientArea) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  form_->Show();
  const int cw = calc->ClientWidth(), ch = calc->ClientHeight();
  calc->SetBorderStyle(bsSingle);  // Ctl3D: a sunken client edge
  EXPECT_EQ(calc->GetBorderSize(), 4);
  EXPECT_EQ(calc->Width(), cw + 4);
  EXPECT_EQ(calc->ClientWidth(), cw);
  EXPECT_EQ(calc->ClientHeight(), ch);
  calc->SetBorderStyle(bsNone);
  EXPECT_EQ(calc->Width(), cw);
  EXPECT_EQ(calc->ClientWidth(), cw);
}

TEST_F(CalculatorTest, PixelsPerInchTakesOnlyPlausibleValues) {
  std::unique_ptr<TCalculatorEh> calc(NewCalculator());
  EXPECT_EQ(calc->PixelsPerInch(), 96);
  calc->SetPixelsPerInch(20);
  EXPECT_EQ(calc->PixelsPerInch(), 96);
  calc->SetPixelsPerInch(120);
  EXPECT_EQ(calc->PixelsPerInch(), 120);
  calc->SetPixelsPerInch(0);  // back to the screen's
  EXPECT_EQ(calc->PixelsPerInch(), 96);
}

// ---------------------------------------------------------------------------
// The drop-down

namespace {

// An edit box that owns a drop-down calculator, as the grid's editor does.
class TCalcEdit : public TPopupOwnerEdit<TPopupCalculatorEh> {
 public:
  using TPopupOwnerEdit::TPopupOwnerEdit;
  void DropDown(const Variant& Value) {
    Popup()->SetValue(Value);
    ShowPopup();
  }
  // What the editor forwards of a key typed into it.
  void Forward(char C) {
    HWND h = popup->Handle();
    if (C == '\r') SendMessage(h, WM_KEYDOWN, VK_RETURN, 0);
    if (C == '\x1b') SendMessage(h, WM_KEYDOWN, VK_ESCAPE, 0);
    if (popup->Visible()) SendMessage(h, WM_CHAR, static_cast<unsigned char>(C), 0);
  }

  std::vector<Variant> values;

 protected:
  void Taken(bool) override { values.push_back(popup->GetValue()); }
};

class PopupCalculatorTest : public CalculatorTest {
 protected:
  void SetUp() override {
    CalculatorTest::SetUp();
    edit_ = new TCalcEdit(form_);
    edit_->SetParent(form_);
    edit_->SetBounds(10, 10, 120, 21);
    ASSERT_TRUE(ShowWithFocusIn(form_, edit_));
  }
  void ExpectFocusInEdit() {
    EXPECT_EQ(GetFocus(), edit_->Handle());
    EXPECT_EQ(GetActiveWindow(), form_->Handle());
  }
  TCalcEdit* edit_ = nullptr;
};

}  // namespace

TEST_F(PopupCalculatorTest, ClickedKeysComputeAndOkHandsTheResultToTheEdit) {
  edit_->DropDown(Variant(0));
  TPopupCalculatorEh* popup = edit_->popup;
  QCoreApplication::processEvents();
  EXPECT_TRUE(IsDropDownWindow(popup));
  EXPECT_TRUE(IsWindowVisible(popup->Handle()));
  EXPECT_FALSE(popup->CanFocus());
  // Below the edit, its border around the resource's client area.
  EXPECT_EQ(popup->ClientToScreen({0, 0}).Y, edit_->ClientToScreen({0, edit_->Height()}).Y + 2);
  EXPECT_EQ(popup->Width(), popup->ClientWidth() + 4);
  ExpectFocusInEdit();

  QWidget* window = popup->WindowWidget();
  for (char k : std::string("1+2=")) ClickKey(popup, window, k);
  EXPECT_EQ(popup->Display(), "3");
  EXPECT_TRUE(edit_->closes.empty());
  EXPECT_TRUE(popup->GetResultOk());
  ExpectFocusInEdit();

  ClickKey(popup, window, '=');  // the Ok key
  ASSERT_EQ(edit_->closes, (std::vector<bool>{true}));
  EXPECT_EQ(VarType(edit_->values[0]), varDouble);
  EXPECT_EQ(edit_->values[0].AsDouble(), 3);
  EXPECT_FALSE(IsWindowVisible(popup->Handle()));
  ExpectFocusInEdit();
  EXPECT_TRUE(edit_->Focused());
}

TEST_F(PopupCalculatorTest, ForwardedKeysEnterAndEscape) {
  struct TCase {
    const char* keys;
    std::vector<bool> closes;
    double value;
  };
  const TCase kCases[] = {
      // Enter on a pending sum computes; the second Enter accepts.
      {"1+2\r", {}, 0},
      {"1+2\r\r", {true}, 3},
      {"1+2=\r", {true}, 3},
      {"7\x1b", {false}, 7},
      // The first Enter on a finished value accepts it at once.
      {"42\r", {true}, 42},
  };
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.keys);
    edit_->closes.clear();
    edit_->values.clear();
    edit_->DropDown(Variant(0));
    for (char k : std::string(c.keys)) edit_->Forward(k);
    EXPECT_EQ(edit_->closes, c.closes);
    if (!c.closes.empty()) {
      EXPECT_EQ(edit_->values.back().AsDouble(), c.value);
    }
    ExpectFocusInEdit();
  }

  // The message that closes without accepting, posted.
  edit_->closes.clear();
  edit_->DropDown(Variant(5));
  PostMessage(edit_->popup->Handle(), CM_CLOSEUPCANCELEH, 0, 0);
  EXPECT_TRUE(edit_->closes.empty());
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, (std::vector<bool>{false}));
  // A late one, after the close-up, does nothing.
  PostMessage(edit_->popup->Handle(), CM_CLOSEUPCANCELEH, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(edit_->closes, (std::vector<bool>{false}));
}

TEST_F(PopupCalculatorTest, ValueFlatLookAndTheErrorKind) {
  edit_->DropDown(Variant(int32_t{12}));
  IPopupCalculatorEh* calc = Supports<IPopupCalculatorEh>(edit_->popup);
  ASSERT_NE(calc, nullptr);
  EXPECT_EQ(calc->GetValue().AsDouble(), 12);
  EXPECT_TRUE(calc->GetFlat());

  for (char k : std::string("/0=")) edit_->Forward(k);
  Integer code = 0;
  EXPECT_TRUE(VarIsError(calc->GetValue(), code));
  EXPECT_EQ(code, -1);
  // Enter accepts what is shown, the error too: the owner decides.
  edit_->Forward('\r');
  ASSERT_EQ(edit_->closes, (std::vector<bool>{true}));
  EXPECT_TRUE(VarIsError(edit_->values[0]));

  // A new value clears the error.
  calc->SetValue(Variant(2.5));
  EXPECT_EQ(edit_->popup->Status(), cstStartEh);
  EXPECT_EQ(edit_->popup->Display(), "2.5");
  EXPECT_TRUE(calc->GetResultOk());

  calc->SetFlat(false);
  EXPECT_FALSE(calc->GetFlat());
  for (int i = 0; i < edit_->popup->ControlCount(); ++i) {
    if (auto* b = dynamic_cast<TSpeedButtonEh*>(edit_->popup->Controls(i))) {
      EXPECT_FALSE(b->Flat());
    }
  }
}

TEST_F(PopupCalculatorTest, WithoutAPopupOwnerNothingCloses) {
  std::unique_ptr<TPopupCalculatorEh> popup(Create<TPopupCalculatorEh>(form_));
  for (char k : std::string("42")) popup->ProcessKey(k);
  popup->ProcessKey('\r');
  popup->ProcessKey('\r');
  EXPECT_EQ(popup->Display(), "42");
  Word esc = VK_ESCAPE;
  popup->KeyDown(esc, {});
  EXPECT_EQ(esc, VK_ESCAPE);  // not taken
  popup->Perform(CM_CLOSEUPCANCELEH);
  EXPECT_EQ(popup->Display(), "42");
}

TEST_F(PopupCalculatorTest, FlatBorderFollowsCtl3D) {
  edit_->DropDown(Variant(1));
  TPopupCalculatorEh* popup = edit_->popup;
  const int cw = popup->ClientWidth();
  EXPECT_EQ(popup->BorderWidth(), 2);
  popup->SetCtl3D(false);  // a one-pixel frame instead of the raised border
  EXPECT_EQ(popup->BorderWidth(), 0);
  EXPECT_EQ(popup->Width(), cw + 2);
  EXPECT_EQ(popup->ClientWidth(), cw);
  EXPECT_TRUE(IsDropDownWindow(popup));
  popup->SetCtl3D(true);
  EXPECT_EQ(popup->Width(), cw + 4);
  EXPECT_EQ(popup->ClientWidth(), cw);
  ExpectFocusInEdit();
}
