// The edit engine without a window: typing, deleting, moving, pasting and
// undoing, with and without a mask.
#include <gtest/gtest.h>

#include "platform/gui/Mask.h"
#include "platform/rtl/Locale.h"

namespace {

constexpr const char* kPhone = "(999)000-0000;1;_";  // places 1-3, 5-7, 9-12

TEditEngine Engine(const String& mask, const String& text = "") {
  TFormatSettings s;
  s.DateSeparator = '.';
  TEditEngine e;
  e.SetMask(mask, s);
  e.SetText(text);
  return e;
}

// Types each character; returns how many were refused.
int Type(TEditEngine& e, const String& chars) {
  int refused = 0;
  for (char32_t c : Utf8ToUtf32(chars)) refused += e.TypeChar(c) == erRejected;
  return refused;
}

// "start+length" of the selection, in characters.
String Sel(const TEditEngine& e) { return std::to_string(e.SelStart()) + "+" + std::to_string(e.SelLength()); }

}  // namespace

TEST(MaskEngineTest, TypingFillsThePlacesOfTheMask) {
  struct Case {
    String mask, typed, edit, text;
    int refused;
  } cases[] = {
      {"!99/99/0000;1;_", "12052024", "12.05.2024", "12.05.2024", 0},
      {"!99/99/0000;1;_", "1.5.2024", "1_.5_.2024", "1 .5 .2024", 0},  // separators end fields
      {kPhone, "5551234567", "(555)123-4567", "(555)123-4567", 0},
      {"(999)000-0000;0;_", "555123", "(555)123-____", "555123", 0},
      {kPhone, "(555) 123-4567", "(555)123-4567", "(555)123-4567", 1},  // only ' ' does not fit
      {">LL-00;1;_", "ab12", "AB-12", "AB-12", 0},
      {"<LL;0;_", "ЖЫ", "жы", "жы", 0},
      {"00;1;_", "1a2", "12", "12", 1},
      {"99;1;_", "123", "12", "12", 1},
      {"#9;1;_", "-5", "-5", "-5", 0},
      {"99_99;1;*", "1234", "12 34", "12 34", 0},
      {"9999;0;_", "1 3", "1_3_", "1 3", 0},  // a space blanks an optional place
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask + " <- " + c.typed);
    TEditEngine e = Engine(c.mask);
    EXPECT_FALSE(e.Modified());
    EXPECT_EQ(Type(e, c.typed), c.refused);
    EXPECT_EQ(e.EditText(), c.edit);
    EXPECT_EQ(e.Text(), c.text);
    EXPECT_TRUE(e.Modified());
  }

  // CharCase has the last word over the mask's case; literals keep theirs.
  TEditEngine lower = Engine(R"(>cc\Xcc;1;_)");
  lower.SetCharCase(ecLowerCase);
  Type(lower, "ABcd");
  EXPECT_EQ(lower.EditText(), "abXcd");
}

TEST(MaskEngineTest, TheBlockSkipsLiterals) {
  TEditEngine e = Engine(kPhone);
  EXPECT_EQ(Sel(e), "1+1");  // the block on the first place, past "("
  struct Step {
    void (*move)(TEditEngine&);
    String sel;
  } steps[] = {
      {[](TEditEngine& x) { x.End(false); }, "13+0"},
      {[](TEditEngine& x) { x.MoveLeft(false, false); }, "12+1"},
      {[](TEditEngine& x) { x.SetCursor(3); }, "3+1"},
      {[](TEditEngine& x) { x.MoveRight(false, false); }, "5+1"},  // over ")"
      {[](TEditEngine& x) { x.MoveLeft(false, false); }, "3+1"},
      {[](TEditEngine& x) { x.SetCursor(8); }, "9+1"},  // a literal moves the block on
      {[](TEditEngine& x) { x.MoveLeft(false, false); }, "7+1"},
      {[](TEditEngine& x) { x.SetCursor(12); }, "12+1"},
      {[](TEditEngine& x) { x.MoveRight(false, false); }, "13+0"},
      {[](TEditEngine& x) { x.MoveRight(false, false); }, "13+0"},
      {[](TEditEngine& x) { x.Home(false); }, "1+1"},
      {[](TEditEngine& x) { x.MoveLeft(false, false); }, "1+1"},
      // Shift: the block counts as selected.
      {[](TEditEngine& x) { x.MoveRight(true, false); }, "1+2"},
      {[](TEditEngine& x) { x.MoveRight(true, false); }, "1+3"},
      {[](TEditEngine& x) { x.MoveLeft(true, false); }, "1+2"},
      {[](TEditEngine& x) { x.MoveLeft(false, false); }, "1+1"},  // a range collapses to its start
      {[](TEditEngine& x) { x.SetCursor(5); }, "5+1"},
      {[](TEditEngine& x) { x.MoveLeft(true, false); }, "4+2"},
      {[](TEditEngine& x) { x.End(true); }, "6+7"},  // the anchor stays
      {[](TEditEngine& x) { x.MoveRight(false, false); }, "13+0"},
      {[](TEditEngine& x) { x.SetCursor(6); }, "6+1"},
      {[](TEditEngine& x) { x.Home(true); }, "0+7"},
  };
  for (const Step& s : steps) {
    s.move(e);
    EXPECT_EQ(Sel(e), s.sel) << &s - steps;
  }
  EXPECT_FALSE(e.Modified());
  EXPECT_EQ(e.EditText(), "(___)___-____");
}

TEST(MaskEngineTest, DeletingBlanksPlacesWithoutShifting) {
  struct Case {
    int anchor, caret;
    bool backward;
    String edit, sel;
    TEditResult result;
  } cases[] = {
      {6, 5, true, "(55_)123-4567", "3+1", erChanged},   // Backspace over ")"
      {6, 5, false, "(555)_23-4567", "5+1", erChanged},  // Delete under the block
      {2, 7, false, "(5__)__3-4567", "2+1", erChanged},  // a range: every place in it
      {7, 2, true, "(5__)__3-4567", "2+1", erChanged},
      {2, 1, true, "(555)123-4567", "1+1", erUnchanged},  // nothing before the first place
      {13, 13, false, "(555)123-4567", "13+0", erUnchanged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.anchor) + "," + std::to_string(c.caret));
    TEditEngine e = Engine(kPhone, "(555)123-4567");
    e.SetSel(c.anchor, c.caret);
    EXPECT_EQ(e.DeleteChar(c.backward), c.result);
    EXPECT_EQ(e.EditText(), c.edit);
    EXPECT_EQ(Sel(e), c.sel);
  }

  // Backspace over blanks walks back; ClearSel blanks the block's place.
  TEditEngine e = Engine(kPhone, "(555)123-4567");
  e.SetCursor(9);
  EXPECT_EQ(e.DeleteChar(true), erChanged);
  EXPECT_EQ(e.DeleteChar(true), erChanged);
  EXPECT_EQ(e.EditText(), "(555)1__-4567");
  e.MoveLeft(false, false);
  EXPECT_EQ(e.ClearSel(), erChanged);
  EXPECT_EQ(e.EditText(), "(555)___-4567");
}

TEST(MaskEngineTest, TypingOverASelectionAndPasting) {
  TEditEngine e = Engine(kPhone, "(555)123-4567");
  e.SetSel(1, 4);
  EXPECT_EQ(e.TypeChar(U'x'), erRejected);  // refused input keeps the selection
  EXPECT_EQ(e.EditText(), "(555)123-4567");
  EXPECT_EQ(Sel(e), "1+3");
  EXPECT_EQ(e.TypeChar(U'9'), erChanged);
  EXPECT_EQ(e.EditText(), "(9__)123-4567");
  EXPECT_EQ(Sel(e), "2+1");

  TEditEngine p = Engine(kPhone);
  EXPECT_EQ(p.ReplaceSel(Utf8ToUtf32("(555) 123-4567")), erChanged);
  EXPECT_EQ(p.EditText(), "(555)123-4567");
  EXPECT_EQ(Sel(p), "13+0");
  EXPECT_EQ(p.ReplaceSel(Utf8ToUtf32("1")), erRejected);  // no place left
  p.SetSel(5, 8);
  EXPECT_EQ(p.ReplaceSel(Utf8ToUtf32("9")), erChanged);
  EXPECT_EQ(p.EditText(), "(555)9__-4567");
  EXPECT_EQ(p.ReplaceSel(Utf8ToUtf32("abc")), erRejected);
  EXPECT_EQ(p.EditText(), "(555)9__-4567");
}

TEST(MaskEngineTest, PlainEditingLimitsCaseAndWords) {
  TEditEngine e;
  e.SetMaxLength(4);  // characters, whatever their UTF-8 length
  EXPECT_EQ(Type(e, "abжc"), 0);
  EXPECT_EQ(Type(e, "d"), 1);
  EXPECT_EQ(e.EditText(), "abжc");
  EXPECT_EQ(e.ReplaceSel(Utf8ToUtf32("x")), erRejected);
  e.SetSel(4, 2);  // "жc", caret before "ж"
  EXPECT_EQ(e.ReplaceSel(Utf8ToUtf32("xyz")), erChanged);  // cut to what fits
  EXPECT_EQ(e.EditText(), "abxy");
  EXPECT_EQ(Sel(e), "4+0");
  e.SetMaxLength(0);

  EXPECT_TRUE(e.SetCharCase(ecUpperCase));
  EXPECT_EQ(e.EditText(), "ABXY");
  Type(e, " ёж");
  EXPECT_EQ(e.EditText(), "ABXY ЁЖ");
  e.SetText("one two  three");
  EXPECT_EQ(e.Text(), "ONE TWO  THREE");
  EXPECT_FALSE(e.Modified());

  struct Step {
    bool right, extend, word;
    String sel;
  } steps[] = {
      {true, false, true, "4+0"},   {true, false, true, "9+0"},   {true, true, true, "9+5"},
      {false, false, false, "9+0"}, {false, true, true, "4+5"},   {true, false, false, "9+0"},
      {false, false, true, "4+0"},  {false, false, false, "3+0"}, {false, false, true, "0+0"},
  };
  for (const Step& s : steps) {
    if (s.right) e.MoveRight(s.extend, s.word);
    else e.MoveLeft(s.extend, s.word);
    EXPECT_EQ(Sel(e), s.sel) << &s - steps;
  }
  e.End(false);
  EXPECT_EQ(e.DeleteChar(false), erUnchanged);
  EXPECT_EQ(e.DeleteChar(true), erChanged);
  e.Home(true);
  EXPECT_EQ(e.ClearSel(), erChanged);
  EXPECT_EQ(e.EditText(), "");
}

TEST(MaskEngineTest, UndoSwapsWithTheTextBeforeTheLastChange) {
  TEditEngine e;
  e.SetText("x");
  e.End(false);
  EXPECT_FALSE(e.CanUndo());
  Type(e, "abc");  // one change
  EXPECT_EQ(e.EditText(), "xabc");
  EXPECT_TRUE(e.Undo());
  EXPECT_EQ(e.EditText(), "x");
  EXPECT_TRUE(e.Undo());  // undoing the undo
  EXPECT_EQ(e.EditText(), "xabc");
  e.MoveLeft(false, false);
  Type(e, "d");  // moving starts a new change
  EXPECT_TRUE(e.Undo());
  EXPECT_EQ(e.EditText(), "xabc");
  e.SetText("y");  // code empties the undo
  EXPECT_FALSE(e.CanUndo());
  EXPECT_FALSE(e.Undo());

  TEditEngine m = Engine(kPhone, "(555)123-4567");
  m.SetCursor(5);
  m.DeleteChar(false);
  EXPECT_TRUE(m.Undo());
  EXPECT_EQ(m.EditText(), "(555)123-4567");
  EXPECT_EQ(Sel(m), "5+1");
}

TEST(MaskEngineTest, ANewMaskTakesTheTextAlong) {
  TEditEngine e;
  e.SetText("12345");
  EXPECT_TRUE(e.SetMask("00-000;1;_"));
  EXPECT_EQ(e.EditText(), "12-345");
  EXPECT_TRUE(e.SetMask("000.00;0;_"));
  EXPECT_EQ(e.EditText(), "123.45");
  EXPECT_EQ(e.Text(), "12345");
  EXPECT_TRUE(e.SetMask(""));
  EXPECT_EQ(e.EditText(), "12345");
  EXPECT_FALSE(e.IsMasked());

  // Code that sets the edit text cannot break the mask's layout.
  TEditEngine m = Engine(kPhone);
  m.SetEditText("12");
  EXPECT_EQ(m.EditText(), "(2__)___-____");
  EXPECT_FALSE(m.Modified());
}

TEST(MaskEngineTest, ByteOffsetsNeverSplitACharacter) {
  TEditEngine e;
  e.SetText("aжb");
  struct Case {
    int chars, bytes;
  } pos[] = {{0, 0}, {1, 1}, {2, 3}, {3, 4}, {9, 4}};
  for (const Case& c : pos) EXPECT_EQ(e.ByteOffset(c.chars), c.bytes);
  struct Back {
    int bytes, chars;
  } back[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 3}, {99, 3}};
  for (const Back& c : back) EXPECT_EQ(e.CharPos(c.bytes), c.chars) << c.bytes;
}
