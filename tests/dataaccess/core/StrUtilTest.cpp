#include "dataaccess/core/StrUtil.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

TEST(StrUtil, Tests) {
  struct Case {
    const char* Text;
    bool Numeric;
  };
  const Case numeric[] = {{"", false},    {"+", false},      {"-+", false},   {"1e5", false},
                          {"1 ", false},  {"+-12.5", true},  {"12", true},    {"1.2.3", true}};
  for (const Case& c : numeric) EXPECT_EQ(IsNumericStr(c.Text), c.Numeric) << c.Text;

  for (const char* blank : {"", " \t\r\n", "\x01 "}) {
    EXPECT_TRUE(IsBlank(blank));
    EXPECT_TRUE(IsEmptyTrimmed(blank));
  }
  EXPECT_FALSE(IsBlank(" a "));
  EXPECT_FALSE(IsEmptyTrimmed(" a "));

  EXPECT_FALSE(IsOldParamName("OLD_"));
  EXPECT_TRUE(IsOldParamName("old_ID"));
  EXPECT_TRUE(IsNewParamName("New_X"));
  EXPECT_FALSE(IsNewParamName("NEWX_Y"));
  EXPECT_TRUE(IsMasParamName("MAS_1"));
  EXPECT_FALSE(IsMasParamName("OLD_1"));

  EXPECT_TRUE(StrInArray("b", {"a", "b"}));
  EXPECT_FALSE(StrInArray("B", {"a", "b"}));
  EXPECT_TRUE(EqualStr("Жук", "жУК", true));
  EXPECT_FALSE(EqualStr("Жук", "жУК", false));
  EXPECT_TRUE(EqualStrings("Abc_1", "aBC_1", false));
  EXPECT_FALSE(EqualStrings("A@", "A`", false));  // differ by 32, but not letters
  EXPECT_FALSE(EqualStrings("Abc", "abc", true));
  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_TRUE(StartsWith("abc", "ab"));
  EXPECT_FALSE(StartsWith("ab", "abc"));
  EXPECT_TRUE(WideStartsWith(u"Жук", u"Ж"));
}

TEST(StrUtil, TrimsCaseAndCopies) {
  EXPECT_EQ(FastTrim("  a b \r\n"), "a b");
  String s = " \tx y ";
  DoTrimRight(s);
  EXPECT_EQ(s, " \tx y");
  DoTrim(s);
  EXPECT_EQ(s, "x y");
  s = "   ";
  DoTrim(s);
  EXPECT_EQ(s, "");
  int first = 0, last = 0;
  TrimBounds("  ab ", first, last);
  EXPECT_EQ(first, 3);
  EXPECT_EQ(last, 4);
  TrimBounds("  ", first, last);
  EXPECT_GT(first, last);

  EXPECT_EQ(FastCopy("abcdef", 2, 3), "bcd");
  EXPECT_EQ(FastCopy("abcdef", 0, 2), "ab");
  EXPECT_EQ(FastCopy("abcdef", 5, 100), "ef");
  EXPECT_EQ(FastCopy("abcdef", 7, 1), "");
  EXPECT_EQ(FastCopy("abcdef", 2, -1), "");
  String dest = "old";
  FastCopyTo("abc", dest, 2, 5);
  EXPECT_EQ(dest, "bc");

  EXPECT_EQ(FastUpperCase("abz жук"), "ABZ жук");  // ASCII only
  s = "AbZ ЖУК";
  DoLowerCase(s);
  EXPECT_EQ(s, "abz ЖУК");
  s = "жук abc";
  DoAnsiUpperCase(s);
  EXPECT_EQ(s, "ЖУК ABC");
  WideString w = u"жук";
  DoWideUpperCase(w);
  EXPECT_EQ(w, u"ЖУК");
  EXPECT_EQ(UTF8ToWide("Жa"), u"Жa");

  EXPECT_EQ(MakeStr('x', 3), "xxx");
  EXPECT_EQ(MakeStr('x', 0), "");
  EXPECT_EQ(IIFStr(true, "a", "b"), "a");
  EXPECT_EQ(IIFStr(false, "a", "b"), "b");
  EXPECT_EQ(FastStrLen("hello"), 5);
  EXPECT_EQ(FastStrLen(nullptr), 0);

  const char* quotes[][2] = {{"'abc'", "abc"},   {"  \"a b\" ", "a b"}, {"'abc\"", "'abc\""},
                             {"'", "'"},         {"''", ""},            {" abc ", " abc "}};
  for (auto& q : quotes) EXPECT_EQ(RemoveQuotes(q[0]), q[1]) << q[0];
}

TEST(StrUtil, Searches) {
  EXPECT_EQ(PosCh('c', "abcabc"), 3);
  EXPECT_EQ(PosCh('z', "abc"), 0);
  EXPECT_EQ(PosChFrom('c', "abcabc", 4), 6);
  EXPECT_EQ(PosChFrom('c', "abcabc", 7), 0);

  EXPECT_EQ(PosInRange("bc", "abcabc", 1, 6), 2);
  EXPECT_EQ(PosInRange("bc", "abcabc", 3, 6), 5);
  EXPECT_EQ(PosInRange("bc", "abcabc", 3, 5), 0);  // the part must lie wholly inside
  EXPECT_EQ(PosInRange("", "abc", 1, 3), 0);
  EXPECT_EQ(PosFrom("abc", "abcabc", 2), 4);
  EXPECT_EQ(PosFrom("abd", "abcabc", 1), 0);

  const CharSet delims{' ', ',', '('};
  EXPECT_EQ(PosWholeWord("ON", "JOIN X ON(Y)", delims, false, delims), 8);
  EXPECT_EQ(PosWholeWord("on", "ONE on", delims, true, delims), 5);
  EXPECT_EQ(PosWholeWord("on", "ONE On", delims, false, delims), 0);
  EXPECT_EQ(PosWholeWord("ON", "ON", delims, false, delims), 1);
  EXPECT_EQ(PosWholeWord("жук", "ЖУКИ ЖУК", delims, true, delims), 10);  // byte position

  const CharSet seps{' ', ';'};
  EXPECT_EQ(WordCount("  one;two  three;", seps), 3);
  EXPECT_EQ(WordCount("", seps), 0);
  EXPECT_EQ(ExtractWord(2, "  one;two  three;", seps), "two");
  EXPECT_EQ(ExtractWord(3, "one two", seps), "");
  EXPECT_EQ(ExtractWord(0, "one two", seps), "");
}

TEST(StrUtil, Replacement) {
  EXPECT_EQ(ReplaceStr("a.b.c", ".", "::"), "a::b::c");
  EXPECT_EQ(ReplaceStr("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceStr("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceStrCase("A left B LEFT C", " LEFT ", " ", true), "A B C");
  EXPECT_EQ(ReplaceStrCase("A left B LEFT C", " LEFT ", " ", false), "A left B C");
  EXPECT_EQ(ReplaceStrCase("жук ЖУК", "Жук", "x", true), "x x");
  EXPECT_EQ(ReplaceStrInRange("ab ab ab", "ab", "X", 3, 6), "ab X ab");
  EXPECT_EQ(ReplaceStrInRange("ab ab ab", "ab", "X", 5, 8), "ab ab X");
  EXPECT_EQ(ReplaceStrInRange("ab ab ab", "ab", "X", 0, 100), "X X X");
}

TEST(StrUtil, NameValueAndPercent) {
  String name, value = "stale";
  SplitNameValue("A=B=C", name, value);
  EXPECT_EQ(name, "A");
  EXPECT_EQ(value, "B=C");
  SplitNameValue("ABC", name, value);
  EXPECT_EQ(name, "ABC");
  EXPECT_EQ(value, "");
  EXPECT_EQ(ValueOfNameValue("A=B=C"), "B=C");
  EXPECT_EQ(ValueOfNameValue("A"), "");

  String first, second = "kept";
  SplitAtPercent("NAME%#def", '@', first, second);
  EXPECT_EQ(first, "@NAME");
  EXPECT_EQ(second, "#def");
  second = "kept";
  SplitAtPercent("@NAME", '@', first, second);
  EXPECT_EQ(first, "@NAME");
  EXPECT_EQ(second, "kept");
  SplitAtPercent("", '@', first, second);
  EXPECT_EQ(first, "@");
}

TEST(StrUtil, Guids) {
  EXPECT_EQ(GUIDAsString(TGUID{}), "{00000000-0000-0000-0000-000000000000}");
  const TGUID g{0x01234567, 0x89AB, 0xCDEF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  const String text = "{01234567-89AB-CDEF-0123-456789ABCDEF}";
  EXPECT_EQ(GUIDAsString(g), text);
  TGUID back;
  ASSERT_TRUE(TryStrToGUID(text, back));
  EXPECT_TRUE(IsEqualGUIDs(back, g));
  EXPECT_FALSE(IsEqualGUIDs(back, TGUID{}));
  EXPECT_EQ(CompareGUIDWithStr(g, text), 0);
  EXPECT_LT(CompareGUIDWithStr(g, "{1"), 0);
  EXPECT_GT(CompareGUIDWithStr(g, "{0"), 0);

  for (const char* bad : {"01234567-89AB-CDEF-0123-456789ABCDEF",     // no braces
                          "{01234567-89AB-CDEF-0123-456789ABCDEF",     // 37 characters
                          "{01234567-89AB-CDEF+0123-456789ABCDEF}",    // "-" misplaced
                          "{01234567-89ab-CDEF-0123-456789ABCDEF}",    // lower-case digits
                          "{0123456G-89AB-CDEF-0123-456789ABCDEF}"}) {
    TGUID out = g;
    EXPECT_FALSE(TryStrToGUID(bad, out)) << bad;
    EXPECT_TRUE(IsEqualGUIDs(out, g)) << bad;  // left untouched
  }
}

TEST(StrUtil, MaskMatching) {
  struct Case {
    const char* Text;
    const char* Mask;
    bool Match;
  };
  const Case cases[] = {
      {"ABC", "a%", true},      {"ABC", "A_C", true},        {"ABC", "%", true},
      {"AB", "A_C", false},     {"", "%", true},             {"", "_", false},
      {"ABC", "%%C", true},     {"ABC", "%B", false},        {"ABCBC", "%B_", true},
      {"Привет", "п_ИВ%", true},  // one "_" per character, case ignored
      {"Привет", "п__ивет", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SQLMaskCompareStr(c.Text, c.Mask), c.Match) << c.Text << " " << c.Mask;
    EXPECT_EQ(SQLMaskCompare(c.Text, c.Mask), c.Match) << c.Text << " " << c.Mask;
  }
  EXPECT_TRUE(SQLMaskMatch("file.txt", "F***.?XT", '*', '?'));
  EXPECT_FALSE(SQLMaskMatch("file.txt", "*.?X", '*', '?'));
  EXPECT_TRUE(SQLMaskCompare(nullptr, "%"));

  // Many wildcards against a long non-matching text finish at once.
  const String text(2000, 'a');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(SQLMaskCompareStr(text, "%a%a%a%a%a%a%a%a%a%a%a%a%b"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(StrUtil, StringLists) {
  TStringList list;
  EXPECT_TRUE(IsEmptyStrings(&list));
  list.SetText(" \r\n\t\r\n");
  EXPECT_TRUE(IsEmptyStrings(&list));
  list.SetText("a\r\n \r\nb\r\n\r\n");
  EXPECT_FALSE(IsEmptyStrings(&list));
  int changes = 0;
  TObject counter;
  list.SetOnChange(TNotifyEvent{&counter, [&changes](TObject*) { ++changes; }});
  DeleteEmptyStrings(&list);
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
  EXPECT_EQ(changes, 1);  // one update for the whole deletion

  TObject o1, o2, o3;
  TStringList source;
  source.AddObject("x", &o1);
  source.AddObject("Y", &o2);
  source.AddObject("z", &o3);
  TStringList other;
  other.Add("y");
  TStringList dest;
  dest.Add("stale");
  SubtractStrings(&source, &other, &dest);
  EXPECT_EQ(dest.Text(), "x\r\nz\r\n");
  EXPECT_EQ(dest.Objects(1), &o3);
  other.SetSorted(true);
  other.Add("X");
  SubtractStrings(&source, &other, &dest);
  EXPECT_EQ(dest.Text(), "z\r\n");
}

namespace {

// Fixed settings for the date tests; the user's are restored afterwards.
class StrUtilDates : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings;
    FormatSettings = TFormatSettings{};
    FormatSettings.DateSeparator = '.';
    FormatSettings.ShortDateFormat = "dd.mm.yyyy";
    FormatSettings.TimeSeparator = ':';
    FormatSettings.LongTimeFormat = "hh:nn:ss";
  }
  void TearDown() override { FormatSettings = saved_; }

 private:
  TFormatSettings saved_;
};

}  // namespace

TEST_F(StrUtilDates, ServerLiterals) {
  struct Case {
    const char* Text;
    int Kind;
    const char* Out;
  };
  const Case cases[] = {
      {"2020-01-31", 1, "31.01.2020"},
      {"01/31/2020", 1, "31.01.2020"},
      {"31.01.2020", 1, "31.01.2020"},
      {"31-JAN-2020", 1, "31.01.2020"},
      {"2-dec-2019", 1, "02.12.2019"},
      {"2020-01-31 10:20:30", 0, "31.01.2020 10:20:30"},
      {"2020-01-31 10:20:30.5", 0, "31.01.2020 10:20:30"},  // the fraction's "." is not the date's
      {"31.01.2020", 0, "31.01.2020"},
      {"10:20:30", 2, "10:20:30"},
      {" ", 0, ""},
      {"now", 0, "NOW"},
  };
  for (const Case& c : cases) EXPECT_EQ(ServerStrToDateTime(c.Text, c.Kind), c.Out) << c.Text;
  EXPECT_THROW(ServerStrToDateTime("2020-13-45", 1), EConvertError);
  EXPECT_THROW(ServerStrToDateTime("25:99:00", 2), EConvertError);
  EXPECT_EQ(FormatSettings.DateSeparator, '.');  // the user's settings stay as they were
  EXPECT_EQ(FormatSettings.ShortDateFormat, "dd.mm.yyyy");
}

TEST_F(StrUtilDates, MonthNamesAndFormats) {
  String out = "stale";
  EXPECT_TRUE(ReplaceMonthNames("01-feb-2020", out));
  EXPECT_EQ(out, "01.02.2020");
  EXPECT_TRUE(ReplaceMonthNames("NOV-OCT", out));  // JAN..DEC order, not text order
  EXPECT_EQ(out, "NOV.10");
  EXPECT_FALSE(ReplaceMonthNames("2020-01-01", out));
  EXPECT_DOUBLE_EQ(StrToDateFmt("2020.01.31", "yyyy.mm.dd"), 43861.0);
  EXPECT_DOUBLE_EQ(StrToDateFmt("01.31.2020", "mm.dd.yyyy"), 43861.0);
  EXPECT_EQ(FormatSettings.ShortDateFormat, "dd.mm.yyyy");
  EXPECT_THROW(StrToDateFmt("31.01.2020", "mm.dd.yyyy"), EConvertError);
}

TEST(StrUtil, VariantText) {
  EXPECT_EQ(VariantUTF8ToWide(Variant(String("Жук"))), u"Жук");
  EXPECT_EQ(VariantUTF8ToWide(Variant(WideString(u"Ё"))), u"Ё");
  EXPECT_EQ(VariantUTF8ToWide(Variant(12)), u"12");
  EXPECT_EQ(VariantUTF8ToWide(Variant()), u"");
  EXPECT_EQ(VariantUTF8ToWide(Null()), u"");
}
