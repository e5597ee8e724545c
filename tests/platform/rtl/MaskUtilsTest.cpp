#include <gtest/gtest.h>

#include "platform/rtl/Locale.h"
#include "platform/rtl/MaskUtils.h"

namespace {

// Day.month.year with '.' and a '-' time separator, to see that ':' and '/'
// follow the settings.
TFormatSettings Settings() {
  TFormatSettings s;
  s.DateSeparator = '.';
  s.TimeSeparator = '-';
  return s;
}

TEditMask Mask(const String& m) { return TEditMask(m, Settings()); }
std::u32string U(const String& s) { return Utf8ToUtf32(s); }
String S(const std::u32string& s) { return Utf32ToUtf8(s); }

// One letter per place: the literal itself, or the mask character.
String Kinds(const TEditMask& m) {
  String r;
  for (int i = 0; i < m.Length(); ++i) {
    const TMaskPlace& p = m.Place(i);
    switch (p.Kind) {
      case TMaskCharKind::Literal: r += S(std::u32string(1, p.Literal)); break;
      case TMaskCharKind::Letter: r += p.Required ? 'L' : 'l'; break;
      case TMaskCharKind::LetterOrDigit: r += p.Required ? 'A' : 'a'; break;
      case TMaskCharKind::Any: r += p.Required ? 'C' : 'c'; break;
      case TMaskCharKind::Digit: r += p.Required ? '0' : '9'; break;
      case TMaskCharKind::DigitOrSign: r += '#'; break;
    }
  }
  return r;
}

}  // namespace

TEST(MaskUtilsTest, ParsesPlacesSectionsAndDirectives) {
  struct Case {
    String mask, kinds, empty;
    bool save, blanks_first;
  } cases[] = {
      {"!99/99/0000;1;_", "99.99.0000", "__.__.____", true, true},
      {"(999)000-0000;0; ", "(999)000-0000", "(   )   -    ", false, false},
      {"90:00", "90-00", "__-__", true, false},
      {R"(\L\;0;1;*)", "L;0", "L;*", true, false},
      {"0_0;1", "0 0", "_ _", true, false},
      {">LL<ll<>cCaA#", "LLllcCaA#", "_________", true, false},
      {"00;0;", "00", "__", false, false},
      {R"(9\)", "9\\", "_\\", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    TEditMask m = Mask(c.mask);
    EXPECT_TRUE(m.IsMasked());
    EXPECT_EQ(Kinds(m), c.kinds);
    EXPECT_EQ(S(m.EmptyEditText()), c.empty);
    EXPECT_EQ(m.SaveLiterals(), c.save);
    EXPECT_EQ(m.BlanksFirst(), c.blanks_first);
  }
  for (const char* none : {"", ";1;_", "<>!"}) EXPECT_FALSE(Mask(none).IsMasked()) << none;

  TEditMask shifts = Mask(">LL<ll<>cc");
  std::vector<int> expected = {1, 1, -1, -1, 0, 0};
  for (int i = 0; i < shifts.Length(); ++i) EXPECT_EQ(shifts.Place(i).CaseShift, expected[static_cast<size_t>(i)]);
}

TEST(MaskUtilsTest, PlacesTakeTheirCharacters) {
  struct Case {
    String mask;
    char32_t typed, stored;  // stored 0: refused
  } cases[] = {
      {"L", U'a', U'a'},   {"L", U'ж', U'ж'},   {">L", U'ж', U'Ж'},  {"<L", U'Q', U'q'},  {"L", U'5', 0},
      {"A", U'5', U'5'},   {"A", U'-', 0},      {"0", U'7', U'7'},   {"0", U'x', 0},      {"0", U' ', 0},
      {"9", U' ', U'_'},   {"#", U'+', U'+'},   {"#", U'-', U'-'},   {"#", U'*', 0},      {"c", U' ', U' '},
      {"C", U'%', U'%'},   {"c", U'\x01', 0},   {"l", U' ', U'_'},   {"L", U' ', 0},      {"0", U'٣', 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Mask(c.mask).Accept(0, c.typed), c.stored) << c.mask << " " << static_cast<uint32_t>(c.typed);
  }
  EXPECT_EQ(Mask("(0)").Accept(0, U'('), 0u);  // literals take nothing
}

TEST(MaskUtilsTest, TextAndEditTextConvertBothWays) {
  struct Case {
    String mask, edit, text;
  } cases[] = {
      // saved literals: the edit text with blanks as spaces
      {"!99/99/0000;1;_", "12.05.____", "12.05.    "},
      {"!99/99/0000;1;_", "__.__.____", "  .  .    "},
      // literals dropped: trailing blanks go (with '!' the leading ones)
      {"(999)000;0;_", "(12_)345", "12 345"},
      {"000;0;_", "12_", "12"},
      {"!999;0;_", "_12", "12"},
      {"!999;0;_", "12_", "12 "},
      {"LL-00;0;*", "ab-**", "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask + " " + c.edit);
    TEditMask m = Mask(c.mask);
    EXPECT_EQ(S(m.TextOf(U(c.edit))), c.text);
    EXPECT_EQ(S(m.TextOf(m.EditTextOf(m.TextOf(U(c.edit))))), c.text);  // stable round trip
  }

  struct In {
    String mask, text, edit;
  } ins[] = {
      {"!999;0;_", "12", "_12"},
      {"999;0;_", "12", "12_"},
      {"999;0;_", "12345", "123"},
      {"99/99/9999;1;_", "12.05.2024", "12.05.2024"},
      {"99/99/9999;1;_", "1.5.2024", "1_.5_.2024"},  // a separator met early ends the field
      {"99/99/9999;1;_", "", "__.__.____"},
      {"99/99/9999;1;_", "  .05.    ", "__.05.____"},
      {"cc-cc;1;_", "a--b", "a--b_"},  // any-character places take the literal
      {"LL;1;_", "жё", "жё"},
  };
  for (const In& c : ins) EXPECT_EQ(S(Mask(c.mask).EditTextOf(U(c.text))), c.edit) << c.mask << " " << c.text;

  // No mask: every text passes unchanged.
  TEditMask none;
  EXPECT_EQ(S(none.TextOf(U("a_b"))), "a_b");
  EXPECT_EQ(S(none.EditTextOf(U("a_b"))), "a_b");
}

TEST(MaskUtilsTest, ConformKeepsLiteralsAndLength) {
  TEditMask m = Mask("(000)00");
  EXPECT_EQ(S(m.Conform(U("x12y"))), "(12y)__");  // characters stay where they are
  EXPECT_EQ(S(m.Conform(U("(123)456789"))), "(123)45");
  EXPECT_EQ(S(m.Conform(U(""))), "(___)__");
}

TEST(MaskUtilsTest, RawCharactersMoveToANewMask) {
  TEditMask from = Mask("00-000;1;_"), to = Mask("000.00;1;_");
  EXPECT_EQ(S(from.RawOf(U("12-345"))), "12345");
  EXPECT_EQ(S(to.EditTextOfRaw(from.RawOf(U("12-345")))), "123.45");
  EXPECT_EQ(S(from.RawOf(U("1_-3__"))), "1 3");
  EXPECT_EQ(S(Mask("!000;1;_").EditTextOfRaw(U("7"))), "__7");
}

TEST(MaskUtilsTest, ValidationFindsTheFirstIncompletePlace) {
  struct Case {
    String mask, edit;
    int invalid;
  } cases[] = {
      {"00/00;1;_", "12.34", -1},   {"00/00;1;_", "12.3_", 4},    {"00/00;1;_", "_2.34", 0},
      {"99/00;1;_", "__.12", -1},   {"99/00;1;_", "__.1 ", 4},    {"LL", "a1", 1},
      {"CC", "a ", -1},             {"CC", "a_", 1},              {"ll;1; ", "a ", -1},
      {"0", "x", 0},                {"9", "x", 0},                {"00", "1", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Mask(c.mask).ValidateText(U(c.edit)), c.invalid) << c.mask << " " << c.edit;
}

TEST(MaskUtilsTest, FormatMaskTextLaysOutAValueWithSpaces) {
  EXPECT_EQ(FormatMaskText("(999)000-0000;1;_", "(123)456-7890"), "(123)456-7890");
  EXPECT_EQ(FormatMaskText("(999)000-0000;1;_", ""), "(   )   -    ");
  EXPECT_EQ(FormatMaskText("000-000;0;_", "123456"), "123-456");
  EXPECT_EQ(FormatMaskText("000-000;0;_", "12"), "12 -   ");
  EXPECT_EQ(FormatMaskText("", "abc"), "abc");
}
