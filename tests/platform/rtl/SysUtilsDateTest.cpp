// Calendar arithmetic, FormatDateTime and reading dates and times.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "platform/rtl/SysUtils.h"

namespace {

TFormatSettings English() { return TFormatSettings(); }

TFormatSettings Russian() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.DateSeparator = '.';
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.LongDateFormat = "d mmmm yyyy 'г.'";
  fs.LongMonthNames[1] = "февраль";
  return fs;
}

// Date and time; before 1899-12-30 the time is subtracted from the (negative) day.
TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
  TDateTime date = EncodeDate(static_cast<Word>(y), static_cast<Word>(m), static_cast<Word>(d));
  TDateTime time = EncodeTime(static_cast<Word>(h), static_cast<Word>(n), static_cast<Word>(s), static_cast<Word>(ms));
  return date >= 0 ? date + time : date - time;
}

Word ThisYear() {
  Word y, m, d;
  DecodeDate(Now(), y, m, d);
  return y;
}

}  // namespace

TEST(SysUtilsDate, EncodeDecode) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593);
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
  EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
  EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(1, 60, 0, 0), EConvertError);
  TDateTime t;
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, t));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, t));

  // Every 997th day of the calendar survives decode and encode.
  for (int day = -693593; day <= 2958465; day += 997) {
    Word y, m, d;
    DecodeDate(day, y, m, d);
    ASSERT_EQ(EncodeDate(y, m, d), day) << y << "-" << m << "-" << d;
  }

  Word y, m, d, h, n, s, ms;
  DecodeDateTime(-1.25, y, m, d, h, n, s, ms);  // before 1899-12-30 the time still counts forward
  EXPECT_EQ((std::array<Word, 7>{y, m, d, h, n, s, ms}), (std::array<Word, 7>{1899, 12, 29, 6, 0, 0, 0}));
  DecodeDateTime(At(2003, 2, 5, 14, 7, 9, 45), y, m, d, h, n, s, ms);
  EXPECT_EQ((std::array<Word, 7>{y, m, d, h, n, s, ms}), (std::array<Word, 7>{2003, 2, 5, 14, 7, 9, 45}));
  DecodeTime(0.99999999999, h, n, s, ms);  // rounds to the millisecond, within the day
  EXPECT_EQ((std::array<Word, 4>{h, n, s, ms}), (std::array<Word, 4>{23, 59, 59, 999}));
  EXPECT_THROW(DecodeDate(1e10, y, m, d), EConvertError);
  EXPECT_THROW(DecodeDate(std::nan(""), y, m, d), EConvertError);
}

TEST(SysUtilsDate, CalendarHelpers) {
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(MonthDays(2024, 2), 29);
  EXPECT_EQ(MonthDays(2023, 2), 28);
  EXPECT_EQ(MonthDays(2023, 12), 31);
  EXPECT_EQ(DayOfWeek(0), 7);                      // 1899-12-30 was a Saturday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                  // Friday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);  // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 7)), 1);  // Sunday

  EXPECT_EQ(IncMonth(At(2024, 1, 31)), At(2024, 2, 29));
  EXPECT_EQ(IncMonth(At(2024, 3, 31, 10), -1), At(2024, 2, 29, 10));
  EXPECT_EQ(IncMonth(At(2023, 11, 15), 14), At(2025, 1, 15));
  EXPECT_EQ(IncMonth(At(2023, 1, 15), -13), At(2021, 12, 15));
  EXPECT_THROW(IncMonth(At(9999, 12, 1), 1), EConvertError);

  TTimeStamp ts = DateTimeToTimeStamp(-1.25);
  EXPECT_EQ(ts.Date, DateDelta - 1);
  EXPECT_EQ(ts.Time, 6 * 3600000);
  EXPECT_EQ(TimeStampToDateTime(ts), -1.25);
  // The time of day rounds within its day: no wrap to midnight, no day past
  // the end of the calendar.
  ts = DateTimeToTimeStamp(0.9999999999);
  EXPECT_EQ(ts.Date, DateDelta);
  EXPECT_EQ(ts.Time, MSecsPerDay - 1);
  ts = DateTimeToTimeStamp(-1.9999999999);
  EXPECT_EQ(ts.Date, DateDelta - 1);
  EXPECT_EQ(ts.Time, MSecsPerDay - 1);
  ts = DateTimeToTimeStamp(At(9999, 12, 31) + 863999999 / 864000000.0);
  EXPECT_EQ(ts.Date, 3652059);
  EXPECT_EQ(ts.Time, MSecsPerDay - 1);
  EXPECT_EQ(DateTimeToTimeStamp(0.5 + 1234.0 / 864000000.0).Time, 43200123);
  EXPECT_EQ(TimeStampToDateTime({43200000, DateDelta + 2}), 2.5);
  EXPECT_THROW(TimeStampToDateTime({-1, DateDelta}), EConvertError);
  EXPECT_THROW(TimeStampToDateTime({0, 0}), EConvertError);

  TDateTime now = Now(), today = Date(), time = Time();
  EXPECT_LE(today, now);
  EXPECT_LT(now, today + 1.0001);
  EXPECT_GE(time, 0);
  EXPECT_LT(time, 1);
  EXPECT_EQ(today, std::floor(today));
  EXPECT_GE(ThisYear(), 2024);
}

TEST(SysUtilsDate, FormatDateTime) {
  const TFormatSettings us = English();
  const TDateTime dt = At(2003, 2, 5, 14, 7, 9, 45);  // a Wednesday
  struct Case {
    const char* format;
    TDateTime value;
    const char* expected;
  };
  const Case cases[] = {
      {"yyyy-mm-dd hh:nn:ss.zzz", dt, "2003-02-05 14:07:09.045"},
      {"d/m/yy", dt, "5/2/03"},
      {"YYYY MM DD", dt, "2003 02 05"},
      {"ddd dddd", dt, "Wed Wednesday"},
      {"mmm mmmm", dt, "Feb February"},
      {"h:mm", dt, "14:07"},  // m after h is the minute
      {"hh:mm:ss", dt, "14:07:09"},
      {"hh 'x' mm", dt, "14 x 07"},
      {"dd mm", dt, "05 02"},
      {"hh:nn mm", dt, "14:07 02"},
      {"h:nn am/pm", dt, "2:07 pm"},
      {"h:nn AM/PM", dt, "2:07 PM"},
      {"h:nn a/p", dt, "2:07 p"},
      {"hh ampm", dt, "02 PM"},
      {"h:nn am/pm", At(2003, 2, 5, 0, 30), "12:30 am"},
      {"h 'am/pm' hh", dt, "14 am/pm 14"},
      {"z|s|n", At(2003, 2, 5, 1, 2, 3, 4), "4|3|2"},
      {"c", dt, "2/5/2003 14:07:09"},
      {"c", At(2003, 2, 5), "2/5/2003"},
      {"", dt, "2/5/2003 14:07:09"},
      {"ddddd", dt, "2/5/2003"},
      {"dddddd", dt, "Wednesday, February 5, 2003"},
      {"t|tt", dt, "14:07|14:07:09"},
      {"'Day' d \"mm\"", dt, "Day 5 mm"},
      {"yyyy-mm-dd hh:nn", -1.25, "1899-12-29 06:00"},
      {"[q]", dt, "[q]"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDateTime(c.format, c.value, us), c.expected) << c.format;

  const TFormatSettings ru = Russian();
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd", dt, ru), "2003.02.05");
  EXPECT_EQ(FormatDateTime("dddddd", dt, ru), "5 февраль 2003 г.");
  EXPECT_EQ(DateToStr(dt, ru), "05.02.2003");
  EXPECT_EQ(TimeToStr(dt, ru), "14:07:09");
  EXPECT_EQ(DateTimeToStr(dt, ru), "05.02.2003 14:07:09");

  TFormatSettings looping = us;  // patterns that name each other stop
  looping.ShortDateFormat = "ddddd|c";
  EXPECT_NO_THROW(FormatDateTime("c", dt, looping));
}

TEST(SysUtilsDate, StrToDateOrdersAndYears) {
  const Word year = ThisYear();
  TFormatSettings us = English(), ru = Russian(), iso = English();
  iso.ShortDateFormat = "yyyy-mm-dd";
  iso.DateSeparator = '-';
  struct Case {
    const TFormatSettings* fs;
    const char* text;
    TDateTime expected;
  };
  const Case cases[] = {
      {&us, "2/5/2003", At(2003, 2, 5)},
      {&us, " 12/31/1999 ", At(1999, 12, 31)},
      {&us, "2/5", At(year, 2, 5)},
      {&ru, "05.02.2003", At(2003, 2, 5)},
      {&ru, "5.2.2003", At(2003, 2, 5)},
      {&ru, "5 . 2 . 2003", At(2003, 2, 5)},
      {&ru, "2003.02.05", At(2003, 2, 5)},  // a long first number is the year
      {&ru, "5.2", At(year, 2, 5)},
      {&ru, "01.01.0099", At(99, 1, 1)},  // four digits: taken as written
      {&iso, "2003-02-05", At(2003, 2, 5)},
      {&iso, "03-02-05", At(2003, 2, 5)},
      {&iso, "2-5", At(year, 2, 5)},
  };
  for (const Case& c : cases) EXPECT_EQ(StrToDate(c.text, *c.fs), c.expected) << c.text;

  // Two-digit years: the window puts them within 100 years starting 50 years
  // back; window 0 puts them in the current century.
  ru.TwoDigitYearCenturyWindow = 50;
  int base = year - 50;
  auto windowed = [&](int yy) {
    int y = yy + base / 100 * 100;
    return y < base ? y + 100 : y;
  };
  for (int yy : {0, 30, 74, 75, 99}) {
    String text = "01.01." + String(yy < 10 ? "0" : "") + std::to_string(yy);
    EXPECT_EQ(StrToDate(text, ru), At(windowed(yy), 1, 1)) << text;
  }
  EXPECT_EQ(StrToDate("1.1.3", ru), At(windowed(3), 1, 1));
  ru.TwoDigitYearCenturyWindow = 0;
  EXPECT_EQ(StrToDate("01.01.99", ru), At(year / 100 * 100 + 99, 1, 1));

  for (const char* bad : {"31.02.2003", "abc", "", "1.2.3.4", "05.02.2003x", "05/02/2003", "12345.1.1"})
    EXPECT_THROW(StrToDate(bad, ru), EConvertError) << bad;
  try {
    StrToDate("31.02.2003", ru);
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'31.02.2003' is not a valid date");
  }
}

TEST(SysUtilsDate, StrToTimeAndDateTime) {
  const TFormatSettings us = English(), ru = Russian();
  struct Case {
    const char* text;
    TDateTime expected;
  };
  const Case times[] = {
      {"14:07", EncodeTime(14, 7, 0, 0)},
      {"14:07:09", EncodeTime(14, 7, 9, 0)},
      {" 14 : 07 ", EncodeTime(14, 7, 0, 0)},
      {"14", EncodeTime(14, 0, 0, 0)},
      {"2:07 PM", EncodeTime(14, 7, 0, 0)},
      {"2:07pm", EncodeTime(14, 7, 0, 0)},
      {"PM 2:07", EncodeTime(14, 7, 0, 0)},
      {"12:00 AM", 0},
      {"12:30 PM", EncodeTime(12, 30, 0, 0)},
      {"14:07:09.5", EncodeTime(14, 7, 9, 500)},  // a decimal fraction of the second
      {"14:07:09.045", EncodeTime(14, 7, 9, 45)},
      {"14:07:09.12345", EncodeTime(14, 7, 9, 123)},
  };
  for (const Case& c : times) EXPECT_EQ(StrToTime(c.text, us), c.expected) << c.text;
  for (const char* bad : {"25:00", "13:00 PM", "0:30 AM", "14:60", "14:", "x", "14:07:09.", "14:07 x"})
    EXPECT_THROW(StrToTime(bad, us), EConvertError) << bad;
  EXPECT_EQ(StrToTime("14:07:09,5", ru), EncodeTime(14, 7, 9, 500));

  EXPECT_EQ(StrToDateTime("05.02.2003 14:07:09", ru), At(2003, 2, 5, 14, 7, 9));
  EXPECT_EQ(StrToDateTime("05.02.2003", ru), At(2003, 2, 5));
  EXPECT_EQ(StrToDateTime("14:07", ru), EncodeTime(14, 7, 0, 0));
  EXPECT_EQ(StrToDateTime("2/5/2003 2:07 PM", us), At(2003, 2, 5, 14, 7));
  EXPECT_EQ(StrToDateTime("12.12.1899 06:00", ru), EncodeDate(1899, 12, 12) - 0.25);
  try {
    StrToDateTime("05.02.2003 x", ru);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'05.02.2003 x' is not a valid date and time");
  }
  EXPECT_THROW(StrToTime("x", us), EConvertError);
  TDateTime v = 123;
  EXPECT_FALSE(TryStrToDateTime("", v, ru));
  EXPECT_EQ(v, 123);

  // Text written by DateTimeToStr reads back.
  for (TDateTime dt : {At(2003, 2, 5, 14, 7, 9), At(1850, 6, 1, 23, 59, 59), At(2024, 2, 29)}) {
    EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, ru), ru), dt);
    EXPECT_EQ(StrToDateTime(DateTimeToStr(dt, us), us), dt);
  }
}
