#include <gtest/gtest.h>

#include <memory>

#include "dataaccess/core/StdFuncs.h"

TEST(CmpFullName, JoinsNamedOwnersOutermostFirst) {
  std::unique_ptr<TComponent> form(new TComponent(nullptr));
  form->SetName("Form1");
  auto* frame = new TComponent(form.get());  // unnamed: skipped
  auto* query = new TComponent(frame);
  query->SetName("Query1");
  auto* unnamed = new TComponent(form.get());
  EXPECT_EQ(CmpFullName(query), "Form1.Query1");
  EXPECT_EQ(CmpFullName(form.get()), "Form1");
  EXPECT_EQ(CmpFullName(unnamed), "Form1");
  EXPECT_EQ(CmpFullName(nullptr), "");
}

TEST(ScaledInt64ToStr, PlacesTheSeparatorAndDropsTrailingZeros) {
  struct Case {
    int scale;
    char separator;
    Int64 value;
    const char* text;
  } cases[] = {
      {2, '.', 12345, "123.45"},
      {2, '.', 12300, "123"},
      {3, '.', 5, "0.005"},
      {2, '.', -50, "-0.5"},
      {2, ',', -12345, "-123,45"},
      {0, '.', 1200, "1200"},
      {-1, '.', 7, "7"},
      {4, '.', 0, "0"},
      {2, '.', INT64_MIN, "-92233720368547758.08"},
  };
  for (const Case& c : cases) EXPECT_EQ(ScaledInt64ToStr(c.scale, c.separator, c.value), c.text);
}

TEST(RoundExtended, RoundsTheFractionHalfToEven) {
  struct Case {
    double value;
    int digits;
    double result;
  } cases[] = {
      {2.5, 0, 2.0},    {3.5, 0, 4.0},  {-2.5, 0, -2.0}, {1.2345, 2, 1.23}, {0.125, 2, 0.12},
      {0.375, 2, 0.38}, {7.0, 18, 7.0}, {1.26, -3, 1.0},  // digits kept within 0..18
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(RoundExtended(c.value, c.digits), c.result);
}

TEST(SetBit, SetsAndClearsOneBit) {
  EXPECT_EQ(SetBit(0, 0, true), 1);
  EXPECT_EQ(SetBit(0, 7, true), 128);
  EXPECT_EQ(SetBit(0xFF, 3, false), 0xF7);
  EXPECT_EQ(SetBit(0x10, 4, true), 0x10);
  EXPECT_EQ(SetBit(0x10, 9, true), 0x10);  // no such bit
}

namespace {

// A BCD of the digits (no separator), with the decimal places and sign given.
TBcd MakeBcd(const std::string& digits, int places, bool negative = false) {
  TBcd bcd;
  bcd.Precision = static_cast<Byte>(digits.size());
  bcd.SignSpecialPlaces = static_cast<Byte>(places | (negative ? 0x80 : 0));
  for (size_t i = 0; i < digits.size(); ++i) {
    auto d = static_cast<Byte>(digits[i] - '0');
    bcd.Fraction[i / 2] |= static_cast<Byte>(i % 2 == 0 ? d << 4 : d);
  }
  return bcd;
}

}  // namespace

TEST(Bcd, ToInt64TextAndFloat) {
  struct Case {
    TBcd bcd;
    bool fits;
    Int64 value;
    int scale;
    const char* text;
    double number;
  } cases[] = {
      {MakeBcd("12345", 2), true, 12345, 2, "123.45", 123.45},
      {MakeBcd("12345", 2, true), true, -12345, 2, "-123.45", -123.45},
      {MakeBcd("000150", 2), true, 150, 2, "1.5", 1.5},
      {MakeBcd("5", 3), true, 5, 3, "0.005", 0.005},
      {MakeBcd("000", 1, true), true, 0, 1, "0", 0.0},
      {MakeBcd("9223372036854775807", 0), true, INT64_MAX, 0, "9223372036854775807",
       9.2233720368547758e18},
      {MakeBcd("9223372036854775808", 0, true), true, INT64_MIN, 0, "-9223372036854775808",
       -9.2233720368547758e18},
      // Too many digits for 64 bits: refused instead of wrapping around.
      {MakeBcd("9223372036854775808", 0), false, 0, 0, "9223372036854775808", 0.0},
      {MakeBcd("123456789012345678901234567890", 20), false, 0, 0, "1234567890.1234567890123456789",
       0.0},
      {TBcd{}, true, 0, 0, "0", 0.0},  // no digits
      {[] {
         TBcd b = MakeBcd("12", 1);
         b.SignSpecialPlaces |= 0x40;
         return b;
       }(),
       true, 0, 0, "0", 0.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Int64 value = -1;
    int scale = -1;
    EXPECT_EQ(BcdToInt64(c.bcd, value, scale), c.fits);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(scale, c.scale);
    EXPECT_EQ(BcdToStrDot(c.bcd), c.text);
    double number = -1;
    EXPECT_EQ(BcdToExtended(c.bcd, number), c.fits);
    EXPECT_DOUBLE_EQ(number, c.number);
  }
}

TEST(Random, DigitsAndRange) {
  for (int count : {0, 1, 8, 25}) {
    String digits = RandomDigits(count);
    EXPECT_EQ(digits.size(), static_cast<size_t>(count));
    EXPECT_EQ(digits.find_first_not_of("0123456789"), String::npos) << digits;
  }
  bool seen[3] = {};
  for (int i = 0; i < 300; ++i) {
    Integer r = RandomRange(5, 8);
    ASSERT_GE(r, 5);
    ASSERT_LT(r, 8);
    seen[r - 5] = true;
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
  EXPECT_EQ(RandomRange(3, 3), 3);
}

namespace {
// The text with "." replaced by the locale's decimal separator.
String Localized(String text) {
  for (char& c : text)
    if (c == '.') c = FormatSettings.DecimalSeparator;
  return text;
}
}  // namespace

TEST(ScaledText, ZeroTextAndFormatsAsFloatFormattingDoes) {
  EXPECT_FALSE(IsZeroText(""));
  EXPECT_TRUE(IsZeroText("0"));
  EXPECT_TRUE(IsZeroText(Localized("00.000")));
  EXPECT_FALSE(IsZeroText(Localized("0.001")));
  EXPECT_FALSE(IsZeroText("-0"));

  const char* formats[] = {"#,##0.00", "0.###", "#,##0.00;(#,##0.00);'zero'", "0", "0.0000", "#.#",
                           "00000.0",  ""};
  const char* texts[] = {"1234.5",  "-1234.5", "0",  "0.004",       "-0.004",
                         "12.3456", "0.125",   "-7", "0.123456789", "123456789.123456"};
  for (const char* f : formats) {
    for (const char* t : texts) {
      SCOPED_TRACE(String(f) + " " + t);
      String text = Localized(t);
      EXPECT_EQ(FormatScaledText(f, text), FormatFloat(f, StrToFloat(text)));
    }
  }
  // Digits a double would lose are kept, and halves round up exactly.
  String ts = FormatSettings.ThousandSeparator ? String(1, FormatSettings.ThousandSeparator) : "";
  EXPECT_EQ(FormatScaledText("#,##0.00", Localized("999999.995")),
            "1" + ts + "000" + ts + "000" + Localized(".00"));
  EXPECT_EQ(FormatScaledText("#,##0.0000", Localized("12345678901234.5678")),
            "12" + ts + "345" + ts + "678" + ts + "901" + ts + "234" + Localized(".5678"));
}

TEST(TimeStamps, DateAndTimeParts) {
  EXPECT_DOUBLE_EQ(MSecsToTime(MSecsPerDay / 2), 0.5);
  struct Case {
    Integer date, msecs;
    TDateTime value;
  } cases[] = {
      {0, MSecsPerDay / 4, 0.25},  // time only
      {DateDelta, MSecsPerDay / 2, 0.5},
      {DateDelta + 1, 0, 1.0},
  };
  for (const Case& c : cases) {
    TTimeStamp stamp = MakeTimeStamp(c.date, c.msecs);
    EXPECT_EQ(stamp.Date, c.date);
    EXPECT_EQ(stamp.Time, c.msecs);
    EXPECT_DOUBLE_EQ(TimeStampToDateTimeSafe(stamp), c.value);
  }
}

TEST(VarArrayToStream, WritesPackedElementsFromTheStart) {
  TMemoryStream stream;
  stream.WriteBuffer("0123456789", 10);
  Variant bytes = VarArrayCreate({0, 2}, varByte);
  for (Integer i = 0; i < 3; ++i) VarArrayPut(bytes, Variant(static_cast<uint8_t>(i + 1)), i);
  EXPECT_EQ(VarArrayToStream(bytes, &stream), 3);
  EXPECT_EQ(std::string(static_cast<char*>(stream.Memory()), 3), "\x01\x02\x03");

  Variant ints = VarArrayCreate({1, 2}, varInteger);
  VarArrayPut(ints, Variant(7), 1);
  VarArrayPut(ints, Variant(-1), 2);
  EXPECT_EQ(VarArrayToStream(ints, &stream), 8);
  EXPECT_EQ(std::string(static_cast<char*>(stream.Memory()), 8),
            std::string("\x07\0\0\0\xFF\xFF\xFF\xFF", 8));

  // Nothing written for anything else.
  Variant texts = VarArrayCreate({0, 1}, varVariant);
  for (const Variant& other : {Variant(5), texts, VarArrayCreate({0, 1, 0, 1}, varByte)}) {
    EXPECT_EQ(VarArrayToStream(other, &stream), 0);
    EXPECT_EQ(stream.Size(), 8);
  }
  EXPECT_EQ(VarArrayToStream(bytes, nullptr), 0);
}
