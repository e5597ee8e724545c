// Format, float and currency text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Variants.h"

namespace {

TFormatSettings English() { return TFormatSettings(); }

TFormatSettings Russian() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = ' ';
  fs.CurrencyString = "р.";
  fs.CurrencyFormat = 3;
  fs.NegCurrFormat = 8;
  return fs;
}

}  // namespace

TEST(SysUtilsFormat, Directives) {
  const TFormatSettings us = English();
  struct Case {
    const char* fmt;
    std::initializer_list<TVarRec> args;
    const char* expected;
  };
  const String abc = "abc", ru = "привет";
  const WideString wide = u"wide";
  const Variant vnum = 5, vnull = Null();
  const Currency cur = Currency::FromRaw(12350);  // 1.235
  const Case cases[] = {
      {"%d", {42}, "42"},
      {"[%5d]", {42}, "[   42]"},
      {"[%-5d]", {42}, "[42   ]"},
      {"%.5d", {-12}, "-00012"},
      {"[%7.5d]", {-12}, "[ -00012]"},
      {"%d", {Int64{-9000000000}}, "-9000000000"},
      {"%u", {-1}, "4294967295"},
      {"%x", {255}, "FF"},
      {"%.4X", {255}, "00FF"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%x", {Int64{-1}}, "FFFFFFFFFFFFFFFF"},
      {"%s|%s", {abc, "pc"}, "abc|pc"},
      {"%s%s%s", {'c', wide, vnum}, "cwide5"},
      {"[%s]", {vnull}, "[]"},
      {"[%.2s]", {abc}, "[ab]"},
      {"[%5s][%-5s]", {abc, abc}, "[  abc][abc  ]"},
      {"[%.2s][%4s]", {ru, "жж"}, "[пр][  жж]"},  // characters, not bytes
      {"%1:s %0:s %s", {"a", "b"}, "b a b"},
      {"[%*d]", {5, 42}, "[   42]"},
      {"[%-*.*f]", {8, 1, 3.14159}, "[3.1     ]"},
      {"%3:d %d", {0, 0, 0, 7, 8}, "7 8"},
      {"%f", {1.5}, "1.50"},
      {"%.0f", {2.5}, "3"},
      {"%.0f", {-2.5}, "-3"},
      {"%.2f", {0.125}, "0.13"},
      {"%.2f", {1.005}, "1.00"},  // 1.005 is stored as 1.00499...
      {"%.2f", {-0.001}, "0.00"},
      {"%.3f", {1e-10}, "0.000"},
      {"%.2f", {cur}, "1.24"},
      {"%n", {1234567.891}, "1,234,567.89"},
      {"%.0n", {999.5}, "1,000"},
      {"%e", {1234.5}, "1.23450000000000E+003"},
      {"%.3e", {-0.000123456}, "-1.23E-004"},
      {"%g", {0.5}, "0.5"},
      {"%g", {123456.0}, "123456"},
      {"%m", {1234.5}, "$1,234.50"},
      {"%m", {-1234.5}, "($1,234.50)"},
      {"%.0m", {cur}, "$1"},
      {"100%% %s", {"done"}, "100% done"},
      {"%p", {nullptr}, "0000000000000000"},
      {"no directives", {}, "no directives"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.fmt, c.args, us), c.expected) << c.fmt;

  const TFormatSettings rus = Russian();
  EXPECT_EQ(Format("%.2f|%n|%m", {1.5, 1234.5, -2.0}, rus), "1,50|1 234,50|-2,00 р.");
  EXPECT_EQ(Format("%s", {Variant(0.5)}, rus), "0,5");
}

TEST(SysUtilsFormat, UsesGlobalSettings) {
  TFormatSettings saved = FormatSettings;
  FormatSettings = Russian();
  EXPECT_EQ(Format("%.1f", {2.25}), "2,3");
  EXPECT_EQ(FloatToStr(0.5), "0,5");
  FormatSettings = saved;
}

TEST(SysUtilsFormat, Errors) {
  struct Case {
    const char* fmt;
    std::initializer_list<TVarRec> args;
    const char* message;
  };
  const Case cases[] = {
      {"%d", {"x"}, "Format '%d' invalid or incompatible with argument"},
      {"%f", {1}, "Format '%f' invalid or incompatible with argument"},
      {"%s", {true}, "Format '%s' invalid or incompatible with argument"},
      {"%z", {1}, "Format '%z' invalid or incompatible with argument"},
      {"abc%", {1}, "Format 'abc%' invalid or incompatible with argument"},
      {"%*d", {1.5, 2}, "Format '%*d' invalid or incompatible with argument"},
      {"%d %d", {1}, "No argument for format '%d %d'"},
      {"%2:d", {1}, "No argument for format '%2:d'"},
  };
  for (const Case& c : cases) {
    try {
      Format(c.fmt, c.args);
      ADD_FAILURE() << "no exception for " << c.fmt;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(SysUtilsFloat, FloatToStr) {
  const TFormatSettings us = English();
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.5, "1.5"},
      {-0.1, "-0.1"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {-1.5e-7, "-1.5E-7"},
      {0.0001, "0.0001"},
      {1.25e-300, "1.25E-300"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308"},
      {std::nan(""), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const Case& c : cases) EXPECT_EQ(FloatToStr(c.value, us), c.expected) << c.expected;
}

TEST(SysUtilsFloat, FloatToStrF) {
  const TFormatSettings us = English();
  struct Case {
    double value;
    TFloatFormat format;
    int precision, digits;
    const char* expected;
  };
  const Case cases[] = {
      {1234.5, ffExponent, 4, 2, "1.235E+03"},  // exact tie rounds away from zero
      {-1234.5, ffExponent, 4, 2, "-1.235E+03"},
      {0.0, ffExponent, 3, 2, "0.00E+00"},
      {1.5e-10, ffExponent, 2, 0, "1.5E-10"},
      {9.99, ffExponent, 2, 1, "1.0E+1"},  // rounding carries into the exponent
      {1.25, ffGeneral, 2, 0, "1.3"},
      {1.35, ffGeneral, 2, 0, "1.4"},  // stored as 1.350000000000000088...
      {1.45, ffGeneral, 2, 0, "1.4"},  // stored as 1.449999999999999955...
      {99999.0, ffGeneral, 3, 0, "1E5"},
      {1234.5678, ffFixed, 15, 2, "1234.57"},
      {0.5, ffFixed, 15, 0, "1"},
      {-0.5, ffFixed, 15, 0, "-1"},
      {0.05, ffFixed, 15, 3, "0.050"},
      {1e20, ffFixed, 15, 2, "1E20"},
      {1234.5678, ffNumber, 15, 2, "1,234.57"},
      {-1234567.0, ffNumber, 15, 0, "-1,234,567"},
      {999.999, ffNumber, 15, 2, "1,000.00"},
      {1234.5, ffCurrency, 15, 2, "$1,234.50"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, us), c.expected) << c.expected;

  // Currency placement for every negative and positive format.
  const char* negative[] = {"($1)", "-$1",   "$-1",   "$1-",   "(1$)",  "-1$",   "1-$",    "1$-",
                            "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
  TFormatSettings fs = us;
  for (int f = 0; f < 16; ++f) {
    fs.NegCurrFormat = static_cast<Byte>(f);
    EXPECT_EQ(FloatToStrF(-1, ffCurrency, 15, 0, fs), negative[f]) << f;
  }
  const char* positive[] = {"$1", "1$", "$ 1", "1 $"};
  for (int f = 0; f < 4; ++f) {
    fs.CurrencyFormat = static_cast<Byte>(f);
    EXPECT_EQ(FloatToStrF(1, ffCurrency, 15, 0, fs), positive[f]) << f;
  }
}

TEST(SysUtilsFloat, FormatFloat) {
  const TFormatSettings us = English();
  struct Case {
    const char* format;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"0.00", 1234.567, "1234.57"},
      {"0.00", 0.125, "0.13"},
      {"0.00", -0.125, "-0.13"},
      {"0", 2.5, "3"},
      {"0", -2.5, "-3"},
      {"0.00", -0.001, "0.00"},
      {"#,##0.00", 1234567.891, "1,234,567.89"},
      {"#,##0", 999.5, "1,000"},
      {"#,##0", 12.0, "12"},
      {"#.##", 0.5, ".5"},
      {"#", 0.0, ""},
      {"0.##", 1.0, "1"},
      {"0.0#", 1.25, "1.25"},
      {"0.0#", 1.2, "1.2"},
      {"00000", 42.0, "00042"},
      {"0-00", 1234.0, "12-34"},
      {"0.00;(0.00);zero", -5.0, "(5.00)"},
      {"0.00;(0.00);zero", 0.0, "zero"},
      {"0.00;(0.00);zero", 0.001, "zero"},
      {"0.00;(0.00)", 0.0, "0.00"},
      {"0.0;;Nil", -1.5, "-1.5"},
      {"0.00E+00", 1234.5, "1.23E+03"},
      {"0.00E+00", 0.000123, "1.23E-04"},
      {"0.00E+00", 0.0, "0.00E+00"},
      {"0.0E-0", 1234.5, "1.2E3"},
      {"0.0e+00", -1234.5, "-1.2e+03"},
      {"00.0E+0", 1234.5, "12.3E+2"},
      {"'Total: '0.00", 5.0, "Total: 5.00"},
      {"\"x;y\"0", 5.0, "x;y5"},
      {"0 'pcs'", 3.0, "3 pcs"},
      {"$0.00", -5.0, "-$5.00"},
      {"0", 1e25, "1E25"},
      {"", 1.5, "1.5"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatFloat(c.format, c.value, us), c.expected) << c.format;
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, Russian()), "1 234,50");
}

TEST(SysUtilsFloat, StrToFloat) {
  const TFormatSettings us = English();
  struct Case {
    const char* text;
    bool ok;
    double value;
  };
  const Case cases[] = {
      {"1.5", true, 1.5},     {" -2.5e3 ", true, -2500}, {".5", true, 0.5},   {"5.", true, 5},
      {"+3", true, 3},        {"1E-2", true, 0.01},      {"1e-400", true, 0}, {"0.1", true, 0.1},
      {"1,5", false, 0},      {"1,234.5", false, 0},     {"", false, 0},      {"abc", false, 0},
      {"1e", false, 0},       {"1e+", false, 0},         {".", false, 0},     {"1e400", false, 0},
      {"1.5x", false, 0},     {"- 1", false, 0},
  };
  for (const Case& c : cases) {
    double v = -999;
    EXPECT_EQ(TryStrToFloat(c.text, v, us), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(StrToFloat("1,5", Russian()), 1.5);
  EXPECT_EQ(StrToFloatDef("x", 7, us), 7);
  try {
    StrToFloat("1.2.3", us);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1.2.3' is not a valid floating point value");
  }
  // Text from FloatToStr reads back to the same value.
  for (double d : {0.1, 1.0 / 3, 123456.789, -2.5e-8})
    EXPECT_NEAR(StrToFloat(FloatToStr(d, us), us), d, std::fabs(d) * 1e-14);
}

TEST(SysUtilsFloat, Currency) {
  const TFormatSettings us = English();
  EXPECT_EQ(CurrToStr(Currency::FromRaw(15000), us), "1.5");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(-12345678), us), "-1234.5678");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MAX), us), "922337203685477.5807");
  EXPECT_EQ(CurrToStr(Currency::FromRaw(INT64_MIN), us), "-922337203685477.5808");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345678), ffNumber, 2, us), "1,234.57");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(12345678), ffCurrency, 2, us), "$1,234.57");
  EXPECT_EQ(CurrToStrF(Currency::FromRaw(-12345), ffFixed, 0, us), "-1");
  EXPECT_EQ(FormatCurr("0.00", Currency::FromRaw(12345), us), "1.23");
  EXPECT_EQ(FormatCurr("0.00", Currency::FromRaw(12350), us), "1.24");
  EXPECT_EQ(FormatCurr("0.00", Currency::FromRaw(-12350), us), "-1.24");
  EXPECT_EQ(FormatCurr("#,##0.0000", Currency::FromRaw(INT64_MAX), us), "922,337,203,685,477.5807");

  struct Case {
    const char* text;
    bool ok;
    int64_t raw;
  };
  const Case cases[] = {
      {"1.23456", true, 12346},
      {"1.23455", true, 12346},  // half away from zero
      {"-1.23455", true, -12346},
      {"1.23454", true, 12345},
      {"0.00004", true, 0},
      {"1e3", true, 10000000},
      {"12.5e-1", true, 12500},
      {"922337203685477.5807", true, INT64_MAX},
      {"-922337203685477.5808", true, INT64_MIN},
      {"922337203685477.5808", false, 0},
      {"1e30", false, 0},
      {"abc", false, 0},
  };
  for (const Case& c : cases) {
    Currency v;
    EXPECT_EQ(TryStrToCurr(c.text, v, us), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v.Value, c.raw) << c.text;
    }
  }
  EXPECT_EQ(StrToCurr("2,5", Russian()).Value, 25000);
  EXPECT_THROW(StrToCurr("x", us), EConvertError);
}
