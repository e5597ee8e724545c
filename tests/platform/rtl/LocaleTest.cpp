#include "platform/rtl/Locale.h"

#include <gtest/gtest.h>

TEST(Locale, CompareCyrillicAndCase) {
  EXPECT_LT(AnsiCompareStr("абв", "абг"), 0);
  EXPECT_LT(AnsiCompareStr("ёлка", "жук"), 0);  // ё sorts with е, before ж
  EXPECT_EQ(AnsiCompareText("ЖУК", "жук"), 0);
  EXPECT_NE(AnsiCompareStr("ЖУК", "жук"), 0);
  EXPECT_EQ(AnsiCompareText("Abc", "aBC"), 0);
  EXPECT_LT(AnsiCompareText("a", "B"), 0);  // not byte order
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
  EXPECT_TRUE(AnsiSameText("Привет", "пРИВЕТ"));
  EXPECT_FALSE(AnsiSameText("Привет", "Привед"));
  EXPECT_EQ(WideCompareText(u"Щука", u"щУКА"), 0);
}

TEST(Locale, CaseMappingAndUtf) {
  EXPECT_EQ(AnsiUpperCase("привет, world"), "ПРИВЕТ, WORLD");
  EXPECT_EQ(AnsiLowerCase("ЁЖ"), "ёж");
  EXPECT_EQ(Utf8ToWide("Ж1"), u"Ж1");
  EXPECT_EQ(WideToUtf8(u"Ж1"), "Ж1");
  EXPECT_EQ(Utf8ToWide(String("\xff", 1)), u"\xFFFD");
}
