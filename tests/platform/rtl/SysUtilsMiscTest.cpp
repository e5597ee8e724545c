// GUIDs, the clock, file routines and locale format settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/rtl/SysUtils.h"

TEST(SysUtilsMisc, Guids) {
  std::set<String> seen;
  for (int i = 0; i < 100; ++i) {
    TGUID g;
    EXPECT_EQ(CreateGUID(g), 0);
    EXPECT_EQ(g.D3 >> 12, 4);              // version 4
    EXPECT_EQ(g.D4[0] & 0xC0, 0x80);       // RFC 4122 variant
    String text = GUIDToString(g);
    EXPECT_TRUE(StringToGUID(text) == g);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 100u);

  TGUID g{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 0xA7, 0xF8}};
  EXPECT_EQ(GUIDToString(g), "{12345678-9ABC-DEF0-0102-03040506A7F8}");
  EXPECT_TRUE(StringToGUID("{12345678-9abc-def0-0102-03040506a7f8}") == g);
  for (const char* bad : {"{1234}", "12345678-9ABC-DEF0-0102-03040506A7F8", "{1234567G-9ABC-DEF0-0102-03040506A7F8}",
                          "{12345678-9ABC-DEF0-0102-03040506A7F8", "{12345678+9ABC-DEF0-0102-03040506A7F8}", ""})
    EXPECT_THROW(StringToGUID(bad), EConvertError) << bad;
  try {
    StringToGUID("{x}");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'{x}' is not a valid GUID value");
  }
}

TEST(SysUtilsMisc, TickCount) {
  Cardinal t1 = GetTickCount();
  Sleep(20);
  Cardinal elapsed = GetTickCount() - t1;  // wraps correctly in unsigned arithmetic
  EXPECT_GE(elapsed, 20u);
  EXPECT_LT(elapsed, 5000u);
}

namespace {
Cardinal fixed_ticks = 0;
Cardinal FixedTicks() { return fixed_ticks; }
}  // namespace

TEST(SysUtilsMisc, TickCountSourceReplacesTheClockUntilRemoved) {
  fixed_ticks = 0xFFFFFFF0u;
  EXPECT_EQ(SetTickCountSource(&FixedTicks), nullptr);
  EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
  fixed_ticks += 0x20;  // wraps
  EXPECT_EQ(GetTickCount(), 0x10u);
  EXPECT_EQ(SetTickCountSource(nullptr), &FixedTicks);
  const Cardinal t1 = GetTickCount();
  Sleep(5);
  EXPECT_GE(GetTickCount() - t1, 5u);
}

TEST(SysUtilsMisc, FileNameParts) {
  struct Case {
    const char* name;
    const char *path, *dir, *file, *ext;
  };
  const Case cases[] = {
      {"/a/b/c.txt", "/a/b/", "/a/b", "c.txt", ".txt"},
      {"c.txt", "", "", "c.txt", ".txt"},
      {"/c", "/", "/", "c", ""},
      {"C:\\dir\\f.bmp", "C:\\dir\\", "C:\\dir", "f.bmp", ".bmp"},
      {"a.d/b", "a.d/", "a.d", "b", ""},
      {"x.tar.gz", "", "", "x.tar.gz", ".gz"},
      {"dir/", "dir/", "dir", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
  }
  EXPECT_EQ(ChangeFileExt("a/b.txt", ".bak"), "a/b.bak");
  EXPECT_EQ(ChangeFileExt("a.d/b", ".x"), "a.d/b.x");
  EXPECT_EQ(ChangeFileExt("b.txt", ""), "b");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("a\\"), "a\\");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a"), "/a");

  const String cwd = GetCurrentDir();
  EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandFileName("/a/b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  EXPECT_EQ(ExpandFileName("x"), IncludeTrailingPathDelimiter(cwd) + "x");
  EXPECT_EQ(ExpandFileName("a\\b"), IncludeTrailingPathDelimiter(cwd) + "a/b");

  EXPECT_FALSE(ParamStr(0).empty());
  EXPECT_EQ(ParamStr(0)[0], '/');
  EXPECT_TRUE(FileExists(ParamStr(0)));
  EXPECT_EQ(ApplicationExeName(), ParamStr(0));
  EXPECT_EQ(ExtractFileName(ParamStr(0)), "test_platform_rtl");
  EXPECT_EQ(ParamStr(1000), "");
}

TEST(SysUtilsMisc, FileSystem) {
  char pattern[] = "/tmp/sysutils_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const String root = pattern;
  const String deep = root + "/x/y/z/";
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_TRUE(ForceDirectories(deep));  // already there
  EXPECT_FALSE(FileExists(deep));
  EXPECT_FALSE(ForceDirectories(""));

  const String file = deep + "f.txt", moved = root + "/g.txt";
  std::ofstream(file) << "data";
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_FALSE(ForceDirectories(file + "/sub"));  // a file is in the way
  EXPECT_TRUE(RenameFile(file, moved));
  EXPECT_FALSE(FileExists(file));
  EXPECT_TRUE(FileExists(moved));
  EXPECT_TRUE(DeleteFile(moved));
  EXPECT_FALSE(DeleteFile(moved));
  EXPECT_FALSE(RenameFile(moved, file));
  std::system(("rm -rf " + root).c_str());
}

TEST(SysUtilsMisc, LocaleFormatSettings) {
  TFormatSettings c = GetLocaleFormatSettings("C");
  EXPECT_EQ(c.DecimalSeparator, '.');
  EXPECT_EQ(c.ShortDateFormat, "m/d/yyyy");

  TFormatSettings ru = GetLocaleFormatSettings("ru_RU");
  EXPECT_EQ(ru.DecimalSeparator, ',');
  EXPECT_EQ(ru.ThousandSeparator, ' ');  // the locale's no-break space
  EXPECT_EQ(ru.DateSeparator, '.');
  EXPECT_EQ(ru.TimeSeparator, ':');
  EXPECT_EQ(ru.ListSeparator, ';');
  EXPECT_EQ(ru.ShortDateFormat, "dd.mm.yyyy");
  EXPECT_EQ(ru.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(ru.LongTimeFormat, "hh:nn:ss");  // time zone dropped
  EXPECT_EQ(ru.LongMonthNames[0], "январь");
  EXPECT_EQ(ru.LongDayNames[0], "воскресенье");
  EXPECT_EQ(ru.CurrencyString, "₽");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, ru), "-1 234,50 ₽");
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2003, 2, 5) + EncodeTime(14, 7, 9, 0), ru), "05.02.2003 14:07:09");
  EXPECT_EQ(StrToDate("05.02.2003", ru), EncodeDate(2003, 2, 5));

  TFormatSettings us = GetLocaleFormatSettings("en_US");
  EXPECT_EQ(us.ShortDateFormat, "m/d/yy");
  EXPECT_EQ(us.ShortTimeFormat, "h:nn AM/PM");
  EXPECT_EQ(FormatDateTime("t", EncodeTime(14, 7, 0, 0), us), "2:07 PM");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2, us), "($1,234.50)");

  TFormatSettings de = GetLocaleFormatSettings("de_DE");
  EXPECT_EQ(de.ThousandSeparator, '.');
  EXPECT_EQ(de.LongMonthNames[2], "März");
}
