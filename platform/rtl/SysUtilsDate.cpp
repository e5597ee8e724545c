// Calendar arithmetic, FormatDateTime and reading dates and times.
#include <time.h>

#include <algorithm>
#include <cmath>

#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kDaysTo[2][13] = {
    {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365},
    {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366},
};
// Day number (0001-01-01 = 1) of 9999-12-31.
constexpr int kMaxDay = 3652059;

int DayNumber(int y, int m, int d) {
  int y1 = y - 1;
  return y1 * 365 + y1 / 4 - y1 / 100 + y1 / 400 + kDaysTo[IsLeapYear(static_cast<Word>(y))][m - 1] + d;
}

void SplitDayNumber(int day, Word& year, Word& month, Word& dayOfMonth) {
  int t = day - 1;
  int y = 1 + 400 * (t / 146097);
  t %= 146097;
  int c = t / 36524;
  if (c == 4) c = 3;
  t -= c * 36524;
  y += 100 * c + 4 * (t / 1461);
  t %= 1461;
  int q = t / 365;
  if (q == 4) q = 3;
  t -= q * 365;
  y += q;
  const int* table = kDaysTo[IsLeapYear(static_cast<Word>(y))];
  int m = 1;
  while (t >= table[m]) ++m;
  year = static_cast<Word>(y);
  month = static_cast<Word>(m);
  dayOfMonth = static_cast<Word>(t - table[m - 1] + 1);
}

struct TDecoded {
  Word Year, Month, Day, Hour, Min, Sec, MSec;
  int DayOfWeek;  // 1 = Sunday
};

TDecoded Decode(TDateTime value) {
  TTimeStamp ts = DateTimeToTimeStamp(value);
  TDecoded d;
  SplitDayNumber(ts.Date, d.Year, d.Month, d.Day);
  d.Hour = static_cast<Word>(ts.Time / 3600000);
  d.Min = static_cast<Word>(ts.Time / 60000 % 60);
  d.Sec = static_cast<Word>(ts.Time / 1000 % 60);
  d.MSec = static_cast<Word>(ts.Time % 1000);
  d.DayOfWeek = ts.Date % 7 + 1;
  return d;
}

Word CurrentYear() {
  Word y, m, d;
  DecodeDate(Now(), y, m, d);
  return y;
}

// ---------------------------------------------------------------------------
// FormatDateTime

class TDateFormatter {
 public:
  TDateFormatter(TDateTime value, const TFormatSettings& fs) : d_(Decode(value)), fs_(fs) {}

  String Run(const String& fmt) {
    Append(fmt.empty() ? String("C") : fmt, 0);
    return out_;
  }

 private:
  void Number(int value, int digits) {
    String s = std::to_string(value);
    if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
    out_ += s;
  }

  static bool StartsWithNoCase(const String& s, size_t i, const char* what) {
    for (size_t k = 0; what[k] != '\0'; ++k) {
      if (i + k >= s.size()) return false;
      char ch = s[i + k];
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
      if (ch != what[k]) return false;
    }
    return true;
  }

  // The hour is on a 12-hour clock when the first unquoted "a" after it
  // starts an am/pm specifier (the search stops at the next hour).
  static bool TwelveHour(const String& fmt, size_t from) {
    char quote = 0;
    for (size_t i = from; i < fmt.size(); ++i) {
      char ch = fmt[i];
      if (quote) {
        if (ch == quote) quote = 0;
      } else if (ch == '\'' || ch == '"') {
        quote = ch;
      } else if (ch == 'a' || ch == 'A') {
        return StartsWithNoCase(fmt, i, "am/pm") || StartsWithNoCase(fmt, i, "a/p") ||
               StartsWithNoCase(fmt, i, "ampm");
      } else if (ch == 'h' || ch == 'H') {
        return false;
      }
    }
    return false;
  }

  void Append(const String& fmt, int depth) {
    if (depth > 2) return;  // patterns that include each other
    char lastToken = ' ';
    size_t i = 0;
    while (i < fmt.size()) {
      char start = fmt[i];
      char token = start >= 'a' && start <= 'z' ? static_cast<char>(start - 32) : start;
      size_t count = 1;
      while (i + count < fmt.size() && fmt[i + count] == start) ++count;
      if (token >= 'A' && token <= 'Z') {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      switch (token) {
        case 'Y':
          if (count <= 2) Number(d_.Year % 100, 2);
          else Number(d_.Year, 4);
          break;
        case 'M':
          if (count <= 2) Number(d_.Month, static_cast<int>(count));
          else if (count == 3) out_ += fs_.ShortMonthNames[d_.Month - 1];
          else out_ += fs_.LongMonthNames[d_.Month - 1];
          break;
        case 'D':
          if (count <= 2) Number(d_.Day, static_cast<int>(count));
          else if (count == 3) out_ += fs_.ShortDayNames[d_.DayOfWeek - 1];
          else if (count == 4) out_ += fs_.LongDayNames[d_.DayOfWeek - 1];
          else if (count == 5) Append(fs_.ShortDateFormat, depth + 1);
          else Append(fs_.LongDateFormat, depth + 1);
          break;
        case 'H': {
          int h = d_.Hour;
          if (TwelveHour(fmt, i + count)) {
            h %= 12;
            if (h == 0) h = 12;
          }
          Number(h, count == 1 ? 1 : 2);
          break;
        }
        case 'N': Number(d_.Min, count == 1 ? 1 : 2); break;
        case 'S': Number(d_.Sec, count == 1 ? 1 : 2); break;
        case 'Z': Number(d_.MSec, count == 1 ? 1 : 3); break;
        case 'T': Append(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, depth + 1); break;
        case 'C':
          Append(fs_.ShortDateFormat, depth + 1);
          if (d_.Hour != 0 || d_.Min != 0 || d_.Sec != 0) {
            out_ += ' ';
            Append(fs_.LongTimeFormat, depth + 1);
          }
          break;
        case 'A':
          count = AmPm(fmt, i);
          break;
        case '/':
          count = 1;
          out_ += fs_.DateSeparator;
          break;
        case ':':
          count = 1;
          out_ += fs_.TimeSeparator;
          break;
        case '\'':
        case '"': {
          size_t end = fmt.find(start, i + 1);
          if (end == String::npos) end = fmt.size();
          out_.append(fmt, i + 1, end - i - 1);
          count = end - i + (end < fmt.size() ? 1 : 0);
          break;
        }
        default:
          count = 1;
          out_ += start;
          break;
      }
      i += count;
    }
  }

  // Writes an am/pm specifier at fmt[i]; returns the characters it used.
  size_t AmPm(const String& fmt, size_t i) {
    bool pm = d_.Hour >= 12;
    if (StartsWithNoCase(fmt, i, "am/pm")) {
      out_.append(fmt, pm ? i + 3 : i, 2);
      return 5;
    }
    if (StartsWithNoCase(fmt, i, "a/p")) {
      out_ += fmt[pm ? i + 2 : i];
      return 3;
    }
    if (StartsWithNoCase(fmt, i, "ampm")) {
      out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
      return 4;
    }
    out_ += fmt[i];
    return 1;
  }

  TDecoded d_;
  const TFormatSettings& fs_;
  String out_;
};

// ---------------------------------------------------------------------------
// Reading dates and times

class TDateScanner {
 public:
  TDateScanner(const String& s, const TFormatSettings& fs) : s_(s), fs_(fs) {}

  bool AtEnd() {
    Blanks();
    return pos_ >= s_.size();
  }

  bool Date(TDateTime& value) {
    int n1, n2, n3, l1, l2, l3;
    if (!Number(n1, l1) || !Char(fs_.DateSeparator) || !Number(n2, l2)) return false;
    int y, m, d, yearLength;
    if (Char(fs_.DateSeparator)) {
      if (!Number(n3, l3)) return false;
      char order = DateOrder();
      if (l1 > 2 || order == 'Y') {
        y = n1, m = n2, d = n3, yearLength = l1;
      } else if (order == 'D') {
        d = n1, m = n2, y = n3, yearLength = l3;
      } else {
        m = n1, d = n2, y = n3, yearLength = l3;
      }
      if (y <= 99 && yearLength <= 2) y = WindowYear(y);
    } else {
      y = CurrentYear();
      if (DateOrder() == 'D') d = n1, m = n2;
      else m = n1, d = n2;
    }
    return TryEncodeDate(static_cast<Word>(y), static_cast<Word>(m), static_cast<Word>(d), value);
  }

  bool Time(TDateTime& value) {
    int base = AmPm();
    int hour, min = 0, sec = 0, msec = 0, len;
    if (!Number(hour, len)) return false;
    if (Char(fs_.TimeSeparator)) {
      if (!Number(min, len)) return false;
      if (Char(fs_.TimeSeparator)) {
        if (!Number(sec, len)) return false;
        if (pos_ < s_.size() && s_[pos_] == fs_.DecimalSeparator) {
          ++pos_;
          if (!Fraction(msec)) return false;
        }
      }
    }
    if (base < 0) base = AmPm();
    if (base >= 0) {
      if (hour == 0 || hour > 12) return false;
      if (hour == 12) hour = 0;
      hour += base;
    }
    if (hour > 23 || min > 59 || sec > 59) return false;
    return TryEncodeTime(static_cast<Word>(hour), static_cast<Word>(min), static_cast<Word>(sec),
                         static_cast<Word>(msec), value);
  }

 private:
  void Blanks() {
    while (pos_ < s_.size() && static_cast<unsigned char>(s_[pos_]) <= ' ') ++pos_;
  }

  // Up to four digits after optional blanks.
  bool Number(int& value, int& length) {
    Blanks();
    size_t start = pos_;
    value = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && pos_ - start < 4)
      value = value * 10 + (s_[pos_++] - '0');
    length = static_cast<int>(pos_ - start);
    return length > 0;
  }

  // Decimal fraction of a second, as milliseconds (digits past the third dropped).
  bool Fraction(int& msec) {
    size_t start = pos_;
    msec = 0;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
      if (pos_ - start < 3) msec = msec * 10 + (s_[pos_] - '0');
      ++pos_;
    }
    size_t n = pos_ - start;
    for (size_t k = n; k < 3; ++k) msec *= 10;
    return n > 0;
  }

  bool Char(char ch) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == ch) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Symbol(const String& symbol) {
    Blanks();
    if (symbol.empty() || pos_ + symbol.size() > s_.size()) return false;
    if (!SameText(s_.substr(pos_, symbol.size()), symbol)) return false;
    pos_ += symbol.size();
    return true;
  }

  // 0 for a morning marker, 12 for an afternoon one, -1 for none.
  int AmPm() {
    if (Symbol(fs_.TimeAMString) || Symbol("AM")) return 0;
    if (Symbol(fs_.TimePMString) || Symbol("PM")) return 12;
    return -1;
  }

  // 'D', 'M' or 'Y': the first of day, month and year in ShortDateFormat.
  char DateOrder() const {
    char quote = 0;
    for (char ch : fs_.ShortDateFormat) {
      if (quote) {
        if (ch == quote) quote = 0;
        continue;
      }
      if (ch == '\'' || ch == '"') quote = ch;
      char up = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch;
      if (up == 'D' || up == 'M' || up == 'Y') return up;
    }
    return 'M';
  }

  int WindowYear(int y) const {
    int base = CurrentYear() - fs_.TwoDigitYearCenturyWindow;
    y += base / 100 * 100;
    if (fs_.TwoDigitYearCenturyWindow > 0 && y < base) y += 100;
    return y;
  }

  const String& s_;
  const TFormatSettings& fs_;
  size_t pos_ = 0;
};

}  // namespace

// ===========================================================================

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

Word MonthDays(Word Year, Word Month) {
  if (Month < 1 || Month > 12) return 0;
  const int* t = kDaysTo[IsLeapYear(Year)];
  return static_cast<Word>(t[Month] - t[Month - 1]);
}

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date) {
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1 || Day > MonthDays(Year, Month)) return false;
  Date = DayNumber(Year, Month, Day) - DateDelta;
  return true;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time) {
  if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000) return false;
  Time = (Hour * 3600000.0 + Min * 60000.0 + Sec * 1000.0 + MSec) / MSecsPerDay;
  return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
  TDateTime d;
  if (!TryEncodeDate(Year, Month, Day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
  TDateTime t;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

TTimeStamp DateTimeToTimeStamp(TDateTime DateTime) {
  // Day numbers 1..kMaxDay, i.e. years 1..9999.
  if (!(DateTime > -DateDelta && DateTime < kMaxDay - DateDelta + 1))
    throw EConvertError("'%s' is not a valid timestamp", {FloatToStr(DateTime)});
  // The time of day is rounded within its own day: 23:59:59.9996 stays on
  // its day (a time-only value does not wrap to midnight, the last day of
  // the calendar does not run out of it).
  const double days = std::trunc(DateTime);
  const double ms = std::round(std::fabs(DateTime - days) * MSecsPerDay);
  TTimeStamp ts;
  ts.Date = DateDelta + static_cast<Integer>(days);
  ts.Time = static_cast<Integer>(std::min<double>(ms, MSecsPerDay - 1));
  return ts;
}

TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp) {
  if (TimeStamp.Time < 0 || TimeStamp.Time >= MSecsPerDay || TimeStamp.Date < 1 || TimeStamp.Date > kMaxDay)
    throw EConvertError("'%d.%d' is not a valid timestamp", {TimeStamp.Date, TimeStamp.Time});
  double days = TimeStamp.Date - DateDelta;
  double time = static_cast<double>(TimeStamp.Time) / MSecsPerDay;
  return days >= 0 ? days + time : days - time;
}

void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day) {
  SplitDayNumber(DateTimeToTimeStamp(Date).Date, Year, Month, Day);
}

void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
  TDecoded d = Decode(Time);
  Hour = d.Hour, Min = d.Min, Sec = d.Sec, MSec = d.MSec;
}

void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min, Word& Sec,
                    Word& MSec) {
  TDecoded d = Decode(Value);
  Year = d.Year, Month = d.Month, Day = d.Day, Hour = d.Hour, Min = d.Min, Sec = d.Sec, MSec = d.MSec;
}

Integer DayOfWeek(TDateTime Date) { return DateTimeToTimeStamp(Date).Date % 7 + 1; }

TDateTime Now() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  localtime_r(&now.tv_sec, &local);
  return EncodeDate(static_cast<Word>(local.tm_year + 1900), static_cast<Word>(local.tm_mon + 1),
                    static_cast<Word>(local.tm_mday)) +
         EncodeTime(static_cast<Word>(local.tm_hour), static_cast<Word>(local.tm_min),
                    static_cast<Word>(std::min(local.tm_sec, 59)), static_cast<Word>(now.tv_nsec / 1000000));
}

TDateTime Date() { return std::floor(Now()); }

TDateTime Time() {
  TDateTime n = Now();
  return n - std::floor(n);
}

TDateTime IncMonth(TDateTime Date, Integer NumberOfMonths) {
  TTimeStamp ts = DateTimeToTimeStamp(Date);
  Word y, m, d;
  SplitDayNumber(ts.Date, y, m, d);
  int64_t months = static_cast<int64_t>(y) * 12 + (m - 1) + NumberOfMonths;
  if (months < 12 || months >= 10000 * 12) throw EConvertError("Invalid argument to date encode");
  Word ny = static_cast<Word>(months / 12), nm = static_cast<Word>(months % 12 + 1);
  ts.Date = DayNumber(ny, nm, std::min(d, MonthDays(ny, nm)));
  return TimeStampToDateTime(ts);
}

String FormatDateTime(const String& Format, TDateTime DateTime) {
  return FormatDateTime(Format, DateTime, FormatSettings);
}
String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings) {
  return TDateFormatter(DateTime, Settings).Run(Format);
}

String DateToStr(TDateTime Date) { return DateToStr(Date, FormatSettings); }
String DateToStr(TDateTime Date, const TFormatSettings& Settings) { return FormatDateTime("ddddd", Date, Settings); }
String TimeToStr(TDateTime Time) { return TimeToStr(Time, FormatSettings); }
String TimeToStr(TDateTime Time, const TFormatSettings& Settings) { return FormatDateTime("tt", Time, Settings); }
String DateTimeToStr(TDateTime DateTime) { return DateTimeToStr(DateTime, FormatSettings); }
String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings) {
  return FormatDateTime("c", DateTime, Settings);
}

bool TryStrToDate(const String& S, TDateTime& Value) { return TryStrToDate(S, Value, FormatSettings); }
bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner scan(S, Settings);
  TDateTime d;
  if (!scan.Date(d) || !scan.AtEnd()) return false;
  Value = d;
  return true;
}

bool TryStrToTime(const String& S, TDateTime& Value) { return TryStrToTime(S, Value, FormatSettings); }
bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner scan(S, Settings);
  TDateTime t;
  if (!scan.Time(t) || !scan.AtEnd()) return false;
  Value = t;
  return true;
}

bool TryStrToDateTime(const String& S, TDateTime& Value) { return TryStrToDateTime(S, Value, FormatSettings); }
bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings) {
  TDateScanner scan(S, Settings);
  TDateTime d, t = 0;
  if (scan.Date(d) && (scan.AtEnd() || (scan.Time(t) && scan.AtEnd()))) {
    Value = d >= 0 ? d + t : d - t;
    return true;
  }
  return TryStrToTime(S, Value, Settings);
}

TDateTime StrToDate(const String& S) { return StrToDate(S, FormatSettings); }
TDateTime StrToDate(const String& S, const TFormatSettings& Settings) {
  TDateTime v;
  if (!TryStrToDate(S, v, Settings)) throw EConvertError("'%s' is not a valid date", {S});
  return v;
}

TDateTime StrToTime(const String& S) { return StrToTime(S, FormatSettings); }
TDateTime StrToTime(const String& S, const TFormatSettings& Settings) {
  TDateTime v;
  if (!TryStrToTime(S, v, Settings)) throw EConvertError("'%s' is not a valid time", {S});
  return v;
}

TDateTime StrToDateTime(const String& S) { return StrToDateTime(S, FormatSettings); }
TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings) {
  TDateTime v;
  if (!TryStrToDateTime(S, v, Settings)) throw EConvertError("'%s' is not a valid date and time", {S});
  return v;
}
