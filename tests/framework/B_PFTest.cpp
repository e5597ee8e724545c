#include "framework/B_PF.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

class B_PF : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeUnits({&unit_B_PF});
    saved_ = AppFormatSettings;
    savedGlobal_ = FormatSettings;
    AppFormatSettings = TFormatSettings();
    FormatSettings = TFormatSettings();
  }
  void TearDown() override {
    AppFormatSettings = saved_;
    FormatSettings = savedGlobal_;
  }

  static TFormatSettings Russian() {
    TFormatSettings fs;
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = ' ';
    fs.DateSeparator = '.';
    fs.ShortDateFormat = "dd.mm.yyyy";
    return fs;
  }

 private:
  TFormatSettings saved_, savedGlobal_;
};

}  // namespace

class TB_PFSample : public TObject {};

TEST_F(B_PF, UnitStateAndConstants) {
  EXPECT_EQ(GenitiveMonthNames[0], "янва\x70я");
  EXPECT_EQ(GenitiveMonthNames[1], "фев\x70аля");
  EXPECT_EQ(GenitiveMonthNames[2], "ма\x70та");
  EXPECT_EQ(GenitiveMonthNames[3], "ап\x70еля");
  EXPECT_EQ(GenitiveMonthNames[4], "мая");
  EXPECT_EQ(GenitiveMonthNames[11], "декабря");
  for (int i = 4; i < 12; ++i) EXPECT_EQ(GenitiveMonthNames[i].find('p'), String::npos) << i;
  EXPECT_STREQ(IM_CHECK, "IM_CHECK;IM_CHECK_1;IM_CHECK_2;IM_CHECK_3");
  EXPECT_EQ(GetListItem(IM_RADIO, 3), "IM_RADIO_3");

  FinalizeUnits();
  EXPECT_FALSE(IsUnitInitialized(unit_B_PF));
  EXPECT_TRUE(GenitiveMonthNames[0].empty());
  InitializeUnits({&unit_B_PF});
  EXPECT_TRUE(IsUnitInitialized(unit_SysUtils));
  EXPECT_EQ(GenitiveMonthNames[6], "июля");
}

TEST_F(B_PF, FieldStrings) {
  struct Item {
    const char* list;
    Integer index;
    const char* expected;
  };
  const Item items[] = {
      {"a; b ;c", 1, "b"}, {"a; b ;c", 3, ""}, {"a; b ;c", -1, ""}, {"a;b;", 2, ""}, {";x", 0, ""},
      {";x", 1, "x"},      {"", 0, ""},        {"a;;b", 2, "b"},    {"\tx\r\n", 0, "x"},
  };
  for (const Item& c : items) EXPECT_EQ(GetListItem(c.list, c.index), c.expected) << c.list << " " << c.index;

  Integer index = 0;
  EXPECT_TRUE(FindListItem("Ab;cd", "CD", false, index));
  EXPECT_EQ(index, 1);
  index = -1;  // skips the first item
  EXPECT_FALSE(FindListItem("Ab;cd", "ab", false, index));
  EXPECT_EQ(index, -1);
  index = -1;
  EXPECT_TRUE(FindListItem("ab;x;AB", "ab", false, index));
  EXPECT_EQ(index, 2);  // counted from item 0
  index = 5;  // positive: searches from the start
  EXPECT_TRUE(FindListItem("ab;x", "AB", true, index));
  EXPECT_EQ(index, 0);
  index = 0;
  EXPECT_TRUE(FindListItem("Жук; ёж ", "ЁЖ", true, index));
  EXPECT_EQ(index, 1);
  index = -10;
  EXPECT_FALSE(FindListItem("a;b", "b", false, index));
  EXPECT_EQ(index, -1);

  EXPECT_EQ(RemoveDuplicateItems("a;B;b;c;A"), "a;B;c");
  EXPECT_EQ(RemoveDuplicateItems("abc"), "abc");
  EXPECT_EQ(RemoveDuplicateItems(" abc "), " abc ");
  EXPECT_EQ(RemoveDuplicateItems("x; y ;X;"), "x;y");
  EXPECT_EQ(RemoveDuplicateItems("Ёж;ёж;ЁЖ;жук"), "Ёж;жук");

  struct Replace {
    Word count;
    Word replaced;
    const char* result;
  };
  const Replace replaces[] = {{0, 3, "a,b,c,d"}, {1, 1, "a,b.c.d"}, {2, 2, "a,b,c.d"}, {10, 3, "a,b,c,d"}};
  for (const Replace& c : replaces) {
    String s = "a.b.c.d";
    EXPECT_EQ(ReplaceChar(s, '.', ',', c.count), c.replaced) << c.count;
    EXPECT_EQ(s, c.result) << c.count;
  }
}

TEST_F(B_PF, VariantEquality) {
  EXPECT_TRUE(VarIsBlank(Variant()));
  EXPECT_TRUE(VarIsBlank(Null()));
  EXPECT_TRUE(VarIsBlank(Variant("")));
  EXPECT_TRUE(VarIsBlank(Variant(u"")));
  EXPECT_FALSE(VarIsBlank(Variant(" ")));
  EXPECT_FALSE(VarIsBlank(Variant(0)));
  EXPECT_FALSE(VarIsBlank(Variant(false)));
  EXPECT_FALSE(VarIsBlank(VarArrayOf({})));
  EXPECT_TRUE(VarIsArrayValue(VarArrayOf({1})));
  EXPECT_FALSE(VarIsArrayValue(Variant(1)));

  Variant lowOne = VarArrayCreate({1, 2}, varVariant);
  VarArrayPut(lowOne, 1, 1);
  VarArrayPut(lowOne, 2, 2);
  const Variant empty = VarArrayCreate({0, -1}, varVariant);
  struct Case {
    Variant a, b;
    bool equal;
  };
  const Case cases[] = {
      {Null(), "", true},
      {Variant(), Null(), true},
      {u"", Variant(), true},
      {1, "1", true},  // compared as texts
      {1, "1.0", false},
      {1, 1.0, true},
      {"a", "A", false},
      {u"x", "x", true},
      {true, "True", true},
      {true, "T", false},
      {VarArrayOf({1, 2}), 1, true},
      {2, VarArrayOf({1, 2}), false},
      {VarArrayOf({1, 2}), VarArrayOf({1, 2, 3}), true},  // over the shorter one
      {VarArrayOf({1, 2}), VarArrayOf({1, 3}), false},
      {lowOne, VarArrayOf({1, 2}), true},  // each array by its own bounds
      {lowOne, 1, true},
      {empty, empty, true},  // no pair differs
      {empty, VarArrayOf({1}), true},
      {empty, Null(), false},  // no element 0 to compare
      {VarArrayOf({Null()}), "", true},
      {VarArrayOf({VarArrayOf({1, 2}), "x"}), VarArrayOf({VarArrayOf({1, 2}), "x"}), true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VarEquals(c.a, c.b), c.equal) << ConstArrayToStr({c.a}) << " = " << ConstArrayToStr({c.b});

  EXPECT_TRUE(VarEqualsScalar(Variant(), 0));  // no blank rule here
  EXPECT_TRUE(VarEqualsScalar(Null(), ""));  // both written as ""
  EXPECT_FALSE(VarEqualsScalar(Null(), 0));
  EXPECT_TRUE(VarEqualsScalar(2, 2.0));
}

TEST_F(B_PF, ConstArrayToStr) {
  const String text = "x";
  const WideString wide = u"ж";
  const Currency cur = Currency::FromRaw(25000);
  const TB_PFSample sample;
  const Variant array = VarArrayOf({1, "a", Null(), 2});
  EXPECT_EQ(ConstArrayToStr({5, true, text}), "5Tx");
  EXPECT_EQ(ConstArrayToStr({false, 'c', 1.5, cur, "p"}), "Fc1.52.5p");
  EXPECT_EQ(ConstArrayToStr({static_cast<const TObject*>(&sample)}), "TB_PFSample");
  EXPECT_EQ(ConstArrayToStr({Int64{-9000000000}, wide, u'ё'}), "-9000000000жё");
  EXPECT_EQ(ConstArrayToStr({static_cast<const void*>(&sample), nullptr}), "");
  EXPECT_EQ(ConstArrayToStr({Null(), Variant(), Variant(7)}), "7");
  EXPECT_EQ(ConstArrayToStr({array}), "1 a  2");  // Null adds nothing, blanks still separate
  EXPECT_EQ(ConstArrayToStr({"k", VarArrayOf({1, 2})}), "k 1 2");
  EXPECT_EQ(ConstArrayToStr({VarArrayOf({})}), "");
  EXPECT_EQ(ConstArrayToStr({VarFromDateTime(EncodeDate(2003, 2, 5) + 0.5)}), "2/5/2003 12:00:00");

  String out = "<";
  AppendVariantText(VarFromDateTime(1e10), out);  // a conversion failure gives its message
  EXPECT_EQ(out, "<'10000000000' is not a valid timestamp");
  AppendVariantText(Null(), out);
  AppendVariantText(Variant(true), out);
  EXPECT_EQ(out, "<'10000000000' is not a valid timestampTrue");
}

TEST_F(B_PF, FormatValue) {
  EXPECT_TRUE(IsNumberText(""));
  EXPECT_TRUE(IsNumberText(" -1,234.5E+3 "));
  EXPECT_FALSE(IsNumberText("12a"));
  EXPECT_FALSE(IsNumberText("1\t2"));

  const TDateTime day = EncodeDate(2003, 2, 5);
  struct Case {
    const char* format;
    Variant value;
    const char* expected;
  };
  const Case cases[] = {
      {"", "abc", "abc"},
      {"", VarArrayOf({1, "x", 2.5}), "1 x 2.5"},
      {"", VarArrayOf({}), ""},
      {"%s-%s", VarArrayOf({"a", "b"}), "a-b"},
      {"%1:s %0:s %s", VarArrayOf({"a", "b"}), "b a a"},  // explicit numbers leave the running position
      {"%5:s|", VarArrayOf({"a"}), "|"},
      {"%s %s|", "a", "a |"},
      {"[%5s][%-5s][%.2s]", VarArrayOf({"ab", "ab", "abcdef"}), "[   ab][ab   ][ab]"},
      {"[%4s]", "жж", "[  жж]"},
      {"%.2n", 1234.567, "1,234.57"},
      {"%.2f", 1234.567, "1234.57"},
      {"%n", 1234.567, "1,235"},
      {"%.2N", "1234.5", "1,234.50"},
      {"%.2n", "abc", "0.00"},
      {"%.2n", "-", "0.00"},  // accepted characters without a number
      {"%.2n", "1-2", "0.00"},
      {"%.2n", Null(), "0.00"},
      {"%.1n", true, "-1.0"},
      {"%'$'.2n", 5, "$5.00"},
      {"%.2' руб.'n", 5, "5.00 руб."},
      {"%'it''s '.0n", 5, "it's 5"},
      {"[%10.2n]", 5, "[      5.00]"},
      {"[%-8.1n]", 5, "[5.0     ]"},
      {"%.3n0", 1.5, "1.5"},
      {"%.3n0", 2, "2"},
      {"%.2n1", 0, ""},
      {"%.2n1", 5, "5.00"},
      {"%.2n2", 5, "5"},
      {"%.2n2", 5.5, "5.50"},
      {"%.2n2", 0, ""},
      {"%.2'$'n3", 0, "---"},
      {"%.2n3", 1, "1.00"},
      {"%n4", 7, "74"},  // not a trimming digit
      {"%s3", "", "---"},
      {"%s3", "x", "x"},
      {"%s1", "x", "x1"},
      {"%'dd.mm.yyyy't", VarFromDateTime(day), "05.02.2003"},
      {"%T", VarFromDateTime(day + 0.5), "2/5/2003 12:00:00"},
      {"%t|", "x", "|"},
      {"50%-off", 1, "50%-off"},
      {"100%", 1, "100%"},
      {"a%xb", 1, "a%xb"},
      {"%'abc", 1, "%'abc"},
      {"%1:", 1, "%1:"},  // cut short: copied as written
  };
  for (const Case& c : cases) EXPECT_EQ(FormatValue(c.format, c.value), c.expected) << c.format;

  AppFormatSettings = Russian();
  EXPECT_EQ(FormatValue("%.2n", 1234.5), "1 234,50");
  EXPECT_EQ(FormatValue("%.2n", "1234,5"), "1 234,50");
  EXPECT_EQ(FormatValue("%.2n", "1 234,5"), "1 234,50");
  EXPECT_EQ(FormatValue("%.2n0", "2,50"), "2,5");
  EXPECT_EQ(FormatValue("%.2n1", "0,00"), "");
  EXPECT_EQ(FormatValue("%t", "05.02.2003"), "05.02.2003");
}

TEST_F(B_PF, KeyboardLayout) {
  struct Case {
    WideChar in, out;
  };
  const Case cases[] = {
      {u'А', u'F'}, {u'а', u'f'}, {u'Я', u'Z'}, {u'я', u'z'}, {u'Й', u'Q'}, {u'ш', u'i'},
      {u'Б', u','}, {u'б', u','}, {u'Ж', u';'}, {u'ж', u';'}, {u'Х', u'['}, {u'х', u'['},
      {u'Ъ', u']'}, {u'ъ', u']'}, {u'Э', u'\''}, {u'э', u'\''}, {u'Ю', u'.'}, {u'ю', u'.'},
      {u'Ё', u'`'}, {u'ё', u'`'}, {u'z', u'z'}, {u'1', u'1'}, {u'«', u'«'}, {u'Ѐ', u'Ѐ'},
  };
  for (const Case& c : cases) EXPECT_EQ(CyrillicToLatinKey(c.in), c.out) << static_cast<int>(c.in);
  EXPECT_EQ(CyrillicToLatinKeys("Привет, мир!"), "Ghbdtn, vbh!");

  struct Accel {
    WideChar key;
    const char* caption;
    bool accepted;
  };
  const Accel accels[] = {
      {u'a', "&Файл", true},   // Latin key of the Cyrillic hot key
      {u'A', "&Файл", true},
      {u'ф', "&Файл", true},
      {u'а', "&File", true},   // Cyrillic key on the Latin hot key
      {u'f', "&File", true},
      {u'x', "&File", false},
      {u'.', "&Юла", true},
      {u'ю', "&.", true},
      {u'&', "A&&B", false},   // "&&" is a literal "&": no hot key
      {u'c', "A&&B&c", true},
      {u'b', "A&&B&c", false},
      {u'a', "File", false},
      {u'a', "File&", false},
  };
  for (const Accel& c : accels) EXPECT_EQ(IsAccelKey(c.key, c.caption), c.accepted) << c.caption;
}

TEST_F(B_PF, Files) {
  struct Kind {
    const char* name;
    Integer kind;
  };
  const Kind kinds[] = {
      {"a.exe", 1}, {"b.DLL", 2}, {"c.bmp", 3}, {"d.Ico", 4},  {"e.emf", 5},  {"f.wmf", 6},       {"g.jpg", 7},
      {"h.jepg", 8}, {"h.jpeg", 0}, {"i.wav", 9}, {"j.mpl", 10}, {"noext", 0}, {"dir.bmp/file", 0}, {"", 0},
  };
  for (const Kind& c : kinds) EXPECT_EQ(GetFileKind(c.name), c.kind) << c.name;

  char pattern[] = "/tmp/b_pf_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const String dir = pattern;
  std::ofstream(dir + "/f.txt") << "x";
  std::ofstream(dir + "/.hidden") << "x";

  EXPECT_EQ(SearchFilePath(dir, "elsewhere/f.txt"), dir + "/f.txt");  // the file part is searched
  EXPECT_EQ(SearchFilePath(dir + "/", "f.txt"), dir + "/f.txt");
  EXPECT_EQ(SearchFilePath(dir, "missing.txt"), "");
  EXPECT_EQ(SearchFilePath(dir, ""), "");
  EXPECT_EQ(SearchFilePath(dir, "F.TXT"), dir + "/f.txt");  // the design's names are case-blind
  EXPECT_EQ(SearchFilePath(dir, ".HIDDEN"), dir + "/.hidden");
  EXPECT_EQ(SearchFilePath("", ExtractFileName(ParamStr(0))), ParamStr(0));  // the program's directory
  String sh = SearchFilePath("", "sh");  // along PATH
  EXPECT_EQ(ExtractFileName(sh), "sh");
  EXPECT_TRUE(FileExists(sh));

  const String cwd = GetCurrentDir();
  ASSERT_EQ(chdir(dir.c_str()), 0);
  EXPECT_EQ(SearchFilePath("", "f.txt"), dir + "/f.txt");  // the current directory
  EXPECT_EQ(ResolveFilePath("f.txt"), "f.txt");
  EXPECT_EQ(ResolveFilePath(".hidden"), ".hidden");
  EXPECT_EQ(ResolveFilePath("*.txt"), "*.txt");
  ASSERT_EQ(chdir(cwd.c_str()), 0);

  EXPECT_EQ(ResolveFilePath(dir), dir);  // directories count
  EXPECT_EQ(ResolveFilePath(dir + "/f.txt"), dir + "/f.txt");
  EXPECT_EQ(ResolveFilePath(dir + "/nothing/sh"), sh);  // not there: searched by name
  EXPECT_EQ(ResolveFilePath(dir + "/none.txt"), "");

  // Paths longer than 500 characters are found as well.
  const String deep = dir + "/" + String(200, 'a') + "/" + String(200, 'b') + "/" + String(200, 'c');
  ASSERT_TRUE(ForceDirectories(deep));
  std::ofstream(deep + "/long.txt") << "x";
  EXPECT_EQ(SearchFilePath(deep, "long.txt"), deep + "/long.txt");
  std::system(("rm -rf " + dir).c_str());
}
