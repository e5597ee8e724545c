// Pascal-style string helpers and integer/Boolean text.
#include <gtest/gtest.h>

#include "platform/rtl/SysUtils.h"

TEST(SysUtilsText, PosCopyDeleteInsert) {
  EXPECT_EQ(Pos("lo", "hello"), 4);
  EXPECT_EQ(Pos("", "hello"), 0);
  EXPECT_EQ(Pos("x", "hello"), 0);
  EXPECT_EQ(PosEx("l", "hello", 4), 4);
  EXPECT_EQ(PosEx("l", "hello", 5), 0);
  EXPECT_EQ(PosEx("h", "hello", 0), 0);
  EXPECT_EQ(PosEx("o", "hello", 6), 0);

  EXPECT_EQ(Copy("hello", 2, 3), "ell");
  EXPECT_EQ(Copy("hello", 0, 2), "he");  // index below 1 counts from 1
  EXPECT_EQ(Copy("hello", 4, 100), "lo");
  EXPECT_EQ(Copy("hello", 6, 1), "");
  EXPECT_EQ(Copy("hello", 2, -1), "");

  String s = "hello";
  Delete(s, 2, 2);
  EXPECT_EQ(s, "hlo");
  Delete(s, 0, 1);
  Delete(s, 4, 1);
  EXPECT_EQ(s, "hlo");
  Delete(s, 2, 100);
  EXPECT_EQ(s, "h");

  s = "abc";
  Insert("XY", s, 2);
  EXPECT_EQ(s, "aXYbc");
  Insert("<", s, -3);
  Insert(">", s, 100);
  EXPECT_EQ(s, "<aXYbc>");
  EXPECT_EQ(StringOfChar('*', 3), "***");
  EXPECT_EQ(StringOfChar('*', -1), "");
}

TEST(SysUtilsText, Utf8CharactersAreCountedAndCutWhole) {
  const String s = "aж€😀b";  // 1, 2, 3 and 4 bytes, then 1
  EXPECT_EQ(Utf8Length(s), 5u);
  EXPECT_EQ(Utf8Length(""), 0u);
  const size_t expected[] = {0, 1, 3, 6, 10, 11, 11};
  for (size_t n = 0; n < std::size(expected); ++n) EXPECT_EQ(Utf8Prefix(s, n), expected[n]) << n;

  // A limit of N characters at the boundary, and Backspace, for ASCII,
  // Cyrillic and a 4-byte character.
  struct Case {
    String text;
    size_t limit;
    String truncated, backspaced;
  };
  const Case cases[] = {
      {"abc", 3, "abc", "ab"},        {"abc", 2, "ab", "ab"},
      {"Жук", 3, "Жук", "Жу"},        {"Жук", 2, "Жу", "Жу"},
      {"a😀", 2, "a😀", "a"},          {"a😀", 1, "a", "a"},
      {"😀", 0, "", ""},               {"", 5, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8Truncate(c.text, c.limit), c.truncated) << c.text << " " << c.limit;
    EXPECT_EQ(Utf8DeleteLastChar(c.text), c.backspaced) << c.text;
  }
}

TEST(SysUtilsText, TextCharactersAndTypedUnits) {
  for (char32_t ch : {U' ', U'A', U'~', U'\u00A0', U'Ж', U'я', U'€', U'\U0001F600', char32_t{0xD83D}})
    EXPECT_TRUE(IsTextChar(ch)) << static_cast<uint32_t>(ch);
  for (char32_t ch : {char32_t{0}, char32_t{8}, char32_t{13}, char32_t{27}, char32_t{31}, char32_t{127},
                      char32_t{0x85}, char32_t{0x9F}})
    EXPECT_FALSE(IsTextChar(ch)) << static_cast<uint32_t>(ch);

  // Units as WM_CHAR brings them: the surrogate pair of a 4-byte character
  // joins; a lone half is dropped.
  String text;
  WideChar pending = 0;
  for (WideChar ch : std::u16string(u"aЖ\U0001F600b")) Utf8AppendWideChar(text, ch, pending);
  EXPECT_EQ(text, "aЖ😀b");
  EXPECT_EQ(pending, 0);
  Utf8AppendWideChar(text, 0xDC00, pending);  // low half alone
  Utf8AppendWideChar(text, 0xD83D, pending);  // high half, then no low half
  Utf8AppendWideChar(text, u'c', pending);
  EXPECT_EQ(text, "aЖ😀bc");
  EXPECT_EQ(Utf8Length(text), 5u);
}

TEST(SysUtilsText, TrimAndCase) {
  EXPECT_EQ(Trim("\t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a \x01"), "  a");
  EXPECT_EQ(Trim("  привет "), "привет");  // UTF-8 bytes are above the blank
  EXPECT_EQ(Trim(" \t "), "");
  EXPECT_EQ(UpperCase("abc-жz"), "ABC-жZ");
  EXPECT_EQ(LowerCase("ABC-Ж"), "abc-Ж");
  EXPECT_LT(CompareStr("a", "b"), 0);
  EXPECT_GT(CompareStr("a", "A"), 0);
  EXPECT_LT(CompareStr("ab", "abc"), 0);
  EXPECT_GT(CompareStr("\xD0", "a"), 0);  // bytes compare unsigned
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_EQ(CompareText("Abc", "aBC"), 0);
  EXPECT_TRUE(SameText("Abc", "aBC"));
  EXPECT_FALSE(SameText("ab", "abc"));
}

TEST(SysUtilsText, Quoting) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(AnsiQuotedStr("a\"b", '"'), "\"a\"\"b\"");

  String text = "'ab''c' rest";
  const char* p = text.c_str();
  EXPECT_EQ(AnsiExtractQuotedStr(p, '\''), "ab'c");
  EXPECT_STREQ(p, " rest");
  const char* unterminated = "'abc";
  EXPECT_EQ(AnsiExtractQuotedStr(unterminated, '\''), "abc");
  EXPECT_EQ(*unterminated, '\0');
  const char* plain = "abc";
  EXPECT_EQ(AnsiExtractQuotedStr(plain, '\''), "");
  EXPECT_STREQ(plain, "abc");

  EXPECT_EQ(AnsiDequotedStr("'ab''c'", '\''), "ab'c");
  EXPECT_EQ(AnsiDequotedStr("abc", '\''), "abc");
  EXPECT_EQ(AnsiDequotedStr("'abc", '\''), "'abc");
  EXPECT_EQ(AnsiDequotedStr("''", '\''), "");
}

TEST(SysUtilsText, ReplaceAndDelimiters) {
  EXPECT_EQ(StringReplace("aXbXc", "X", "--", {}), "a--bXc");
  EXPECT_EQ(StringReplace("aXbXc", "X", "--", {rfReplaceAll}), "a--b--c");
  EXPECT_EQ(StringReplace("aXbxc", "x", "_", {rfReplaceAll, rfIgnoreCase}), "a_b_c");
  EXPECT_EQ(StringReplace("Привет, привет!", "ПРИВЕТ", "Hi", {rfReplaceAll, rfIgnoreCase}), "Hi, Hi!");
  // Upper case of another byte length before the match must not shift it.
  EXPECT_EQ(StringReplace("ıﬀ-a", "A", "b", {rfIgnoreCase}), "ıﬀ-b");
  EXPECT_EQ(StringReplace("abc", "", "x", {rfReplaceAll}), "abc");
  EXPECT_EQ(StringReplace("aaa", "aa", "a", {rfReplaceAll}), "aa");

  EXPECT_EQ(LastDelimiter("/\\", "a/b\\c"), 4);
  EXPECT_EQ(LastDelimiter(".", "abc"), 0);
  EXPECT_TRUE(IsDelimiter(",;", "a,b", 2));
  EXPECT_FALSE(IsDelimiter(",;", "a,b", 1));
  EXPECT_FALSE(IsDelimiter(",;", "a,b", 0));
  EXPECT_FALSE(IsDelimiter(",;", "a,b", 4));

  EXPECT_EQ(AdjustLineBreaks("a\rb\nc\r\nd\n\r"), "a\r\nb\r\nc\r\nd\r\n\r\n");
  EXPECT_EQ(AdjustLineBreaks("a\rb\r\nc", tlbsLF), "a\nb\nc");
}

TEST(SysUtilsText, IntegerText) {
  struct Case {
    const char* text;
    bool ok;
    Integer value;
  };
  const Case cases[] = {
      {"123", true, 123},         {"  42", true, 42},         {"+7", true, 7},
      {"-2147483648", true, INT32_MIN}, {"2147483647", true, INT32_MAX}, {"2147483648", false, 0},
      {"-2147483649", false, 0},  {"$FF", true, 255},          {"0x1f", true, 31},
      {"x10", true, 16},          {"-$10", true, -16},         {"$FFFFFFFF", true, -1},
      {"$80000000", true, INT32_MIN}, {"$100000000", false, 0}, {"42 ", false, 0},
      {"", false, 0},             {"+", false, 0},             {"$", false, 0},
      {"12a", false, 0},          {"1.0", false, 0},           {"$G", false, 0},
  };
  for (const Case& c : cases) {
    Integer v = -999;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  Int64 v64 = 0;
  EXPECT_TRUE(TryStrToInt64("9223372036854775807", v64));
  EXPECT_EQ(v64, INT64_MAX);
  EXPECT_TRUE(TryStrToInt64("-9223372036854775808", v64));
  EXPECT_EQ(v64, INT64_MIN);
  EXPECT_FALSE(TryStrToInt64("9223372036854775808", v64));
  EXPECT_TRUE(TryStrToInt64("$FFFFFFFFFFFFFFFF", v64));
  EXPECT_EQ(v64, -1);
  EXPECT_EQ(StrToInt64("$100000000"), 4294967296LL);
  EXPECT_EQ(StrToInt64Def("x", 5), 5);
  EXPECT_EQ(StrToIntDef("", -1), -1);
  EXPECT_EQ(StrToInt(" -12"), -12);
  try {
    StrToInt("1x");
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1x' is not a valid integer value");
  }
  EXPECT_THROW(StrToInt64("1e3"), EConvertError);

  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(Int64{INT64_MIN}), "-9223372036854775808");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
  EXPECT_EQ(IntToHex(Int64{-1}, 4), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(IntToHex(Int64{0x1234}, 0), "1234");
}

TEST(SysUtilsText, BooleanText) {
  EXPECT_TRUE(StrToBool("true"));
  EXPECT_FALSE(StrToBool("FALSE"));
  EXPECT_FALSE(StrToBool("0"));
  EXPECT_TRUE(StrToBool("-1"));
  EXPECT_TRUE(StrToBool("2.5"));
  EXPECT_THROW(StrToBool("yes"), EConvertError);
  EXPECT_EQ(BoolToStr(true), "-1");
  EXPECT_EQ(BoolToStr(false), "0");
  EXPECT_EQ(BoolToStr(true, true), "True");
  EXPECT_EQ(BoolToStr(false, true), "False");
}
