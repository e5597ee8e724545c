// Text, number, date, GUID and file routines of the run-time layer.
//
// Conventions of this header:
//  - Positions and indexes of the Pascal-style helpers are 1-based; 0 means
//    "not found". Texts are UTF-8 byte strings; byte-oriented helpers (Pos,
//    Copy, Trim ...) count bytes, the formatting routines count characters
//    where they pad or truncate (Format's width and "%.ns" precision).
//  - UpperCase/LowerCase/CompareText/SameText are ASCII only. Comparison and
//    case under the user's locale live in platform/rtl/Locale.h.
//  - Every routine that depends on the format settings reads the global
//    `FormatSettings` and has an overload taking `const TFormatSettings&`.
//  - Conversion failures raise EConvertError with the texts given below.
//  - Floating values are rounded half away from zero, applied to the exact
//    binary value (0.125 -> "0.13"; 1.005, stored as 1.00499..., -> "1.00").
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"

// Its initialization loads the user's locale into FormatSettings.
extern const TUnit unit_SysUtils;

// ===========================================================================
// Format settings

struct TFormatSettings {
  String CurrencyString = "$";
  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  Byte CurrencyFormat = 0;
  // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-",
  // 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $",
  // 14 "($ 1)", 15 "(1 $)"
  Byte NegCurrFormat = 0;
  char ThousandSeparator = ',';  // '\0': no grouping
  char DecimalSeparator = '.';
  Byte CurrencyDecimals = 2;
  char DateSeparator = '/';
  char TimeSeparator = ':';
  char ListSeparator = ',';
  String ShortDateFormat = "m/d/yyyy";
  String LongDateFormat = "dddd, mmmm d, yyyy";
  String TimeAMString = "AM";
  String TimePMString = "PM";
  String ShortTimeFormat = "hh:nn";
  String LongTimeFormat = "hh:nn:ss";
  String ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  String LongMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
  // Sunday first.
  String ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  String LongDayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  // Two-digit years: 0 puts them in the current century; N > 0 puts them in
  // the hundred years that start N years before the current year.
  Word TwoDigitYearCenturyWindow = 50;
};

// Settings used by the routines without a settings argument. Until the unit
// initialises it holds the fixed English defaults above; the initialization
// replaces them by GetLocaleFormatSettings(). Not synchronised: set it at
// start-up, read it afterwards.
extern TFormatSettings FormatSettings;

// The settings of the user's locale (LC_ALL / LC_NUMERIC / LANG). Date and
// time patterns are translated to this library's specifiers ("dd.mm.yyyy",
// "hh:nn:ss"). A C/POSIX locale gives the fixed English defaults.
TFormatSettings GetLocaleFormatSettings();
// The same for a named locale ("ru_RU", "de_DE"); "C" or "POSIX" give the
// fixed English defaults.
TFormatSettings GetLocaleFormatSettings(const String& LocaleName);

// ===========================================================================
// Pascal-style string helpers (1-based, byte oriented)

// Position of Substr in S, 0 when absent or when Substr is empty.
Integer Pos(const String& Substr, const String& S);
// The same, searching from Offset; 0 when Offset < 1 or Offset > Length(S).
Integer PosEx(const String& Substr, const String& S, Integer Offset = 1);
// Count bytes from Index; an Index below 1 counts from 1, a Count running
// past the end stops there, Count <= 0 gives "".
String Copy(const String& S, Integer Index, Integer Count);
// Removes Count bytes from Index; nothing when Index is outside 1..Length(S).
void Delete(String& S, Integer Index, Integer Count);
// Inserts Source before Index (below 1: at the start; past the end: appended).
void Insert(const String& Source, String& S, Integer Index);
String StringOfChar(char Ch, Integer Count);

// Trimming removes characters at or below ' ' (control characters and blank).
String Trim(const String& S);
String TrimLeft(const String& S);
String TrimRight(const String& S);

String UpperCase(const String& S);  // ASCII letters only
String LowerCase(const String& S);  // ASCII letters only
// Ordinal byte comparison: <0, 0, >0.
Integer CompareStr(const String& S1, const String& S2);
// Ordinal comparison ignoring ASCII case.
Integer CompareText(const String& S1, const String& S2);
bool SameText(const String& S1, const String& S2);

// 'text' with inner quotes doubled.
String QuotedStr(const String& S);
String AnsiQuotedStr(const String& S, char Quote);
// When Src starts with Quote: the text up to the closing quote with doubled
// quotes made single, Src left just past the closing quote (at the end when
// there is none). Otherwise "" and Src unchanged. Src must point into a
// zero-terminated text.
String AnsiExtractQuotedStr(const char*& Src, char Quote);
// S without its enclosing quotes when S is a quoted text, otherwise S.
String AnsiDequotedStr(const String& S, char Quote);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = Set<TReplaceFlag>;
// rfIgnoreCase matches under the user's locale (Cyrillic included).
String StringReplace(const String& S, const String& OldPattern, const String& NewPattern,
                     TReplaceFlags Flags);

// 1-based index of the last byte of S that is one of Delimiters, 0 if none.
Integer LastDelimiter(const String& Delimiters, const String& S);
// True when S[Index] (1-based) is one of Delimiters.
bool IsDelimiter(const String& Delimiters, const String& S, Integer Index);

// Characters, not bytes. Text is UTF-8, and every limit, length and
// character rule of the code above counts whole characters (code points):
// an edit box's MaxLength, a wide-string field's Size, "at most N
// characters", Backspace, incremental search. A rule written for a one-byte
// code page as "a character from 32 to 255" means any character that is not
// a control character (IsTextChar), so Cyrillic counts. Keys arrive as
// UTF-16 units (WM_CHAR, KeyPress): a character beyond the 16-bit range
// comes as a surrogate pair, which Utf8AppendWideChar joins.
//
// Characters of a UTF-8 text: its bytes that do not continue a sequence.
size_t Utf8Length(const String& S);
// Byte length of the first Count characters of S (all of S when shorter):
// S.substr(0, Utf8Prefix(S, n)) never cuts a character in two.
size_t Utf8Prefix(const String& S, size_t Count);
// The first Count characters of S.
String Utf8Truncate(const String& S, size_t Count);
// S without its last character (Backspace); empty stays empty.
String Utf8DeleteLastChar(const String& S);
// True for a character that is text, not control: from 32 up, except 127
// (DEL) and the C1 controls 128..159. Halves of a surrogate pair are text.
bool IsTextChar(char32_t Ch);
// Appends the typed UTF-16 unit Ch to S as UTF-8. A high surrogate waits in
// Pending (which starts and ends as 0) until its low half comes; a lone half
// is dropped.
void Utf8AppendWideChar(String& S, WideChar Ch, WideChar& Pending);

enum TTextLineBreakStyle { tlbsLF, tlbsCRLF };
// Every CR, LF and CR LF becomes the given line break.
String AdjustLineBreaks(const String& S, TTextLineBreakStyle Style = tlbsCRLF);

// ===========================================================================
// Integers and Booleans
//
// Text to integer: optional leading blanks, an optional sign, then decimal
// digits or "$"/"0x"/"x" and hex digits; nothing may follow. Hex texts cover
// the unsigned range of the type and wrap ("$FFFFFFFF" is -1). Errors:
// "'%s' is not a valid integer value".

String IntToStr(Integer Value);
String IntToStr(Int64 Value);
// Upper-case hex, at least Digits digits; negatives in two's complement.
String IntToHex(Integer Value, Integer Digits);
String IntToHex(Int64 Value, Integer Digits);
Integer StrToInt(const String& S);
Integer StrToIntDef(const String& S, Integer Default);
bool TryStrToInt(const String& S, Integer& Value);
Int64 StrToInt64(const String& S);
Int64 StrToInt64Def(const String& S, Int64 Default);
bool TryStrToInt64(const String& S, Int64& Value);

// "True"/"False" (any case) or a number (non-zero is true).
// Error: "'%s' is not a valid boolean value".
bool StrToBool(const String& S);
bool TryStrToBool(const String& S, bool& Value);
// "True"/"False" with UseBoolStrs, otherwise "-1"/"0".
String BoolToStr(bool B, bool UseBoolStrs = false);

// ===========================================================================
// Floating-point and currency text
//
// FloatToStrF formats (Precision: significant digits 1..18; Digits below):
//  ffGeneral  shortest of fixed and scientific: fixed when the value has at
//             most Precision integer digits and is >= 0.00001, trailing zeros
//             removed; else "1.5E20"/"1.5E-7" with at least Digits (0..4)
//             exponent digits.
//  ffExponent "-d.ddddE+dd": Precision digits, at least Digits (0..4)
//             exponent digits, exponent sign always shown.
//  ffFixed    "-ddd.dd" with Digits (0..18) decimals; values with more than
//             Precision integer digits are shown as ffGeneral.
//  ffNumber   ffFixed with thousand separators.
//  ffCurrency ffNumber placed by CurrencyFormat/NegCurrFormat with
//             CurrencyString; Digits decimals.
// NaN, +Inf and -Inf give "NAN", "INF" and "-INF". A value that rounds to
// zero shows no minus sign.

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// ffGeneral with 15 digits.
String FloatToStr(double Value);
String FloatToStr(double Value, const TFormatSettings& Settings);
String FloatToStrF(double Value, TFloatFormat Format, Integer Precision, Integer Digits);
String FloatToStrF(double Value, TFloatFormat Format, Integer Precision, Integer Digits,
                   const TFormatSettings& Settings);

// FormatFloat patterns: up to three sections "positive;negative;zero"
// separated by ";". An empty or missing negative section uses the first with
// a leading "-"; the zero section serves values that round to zero. In a
// section: "0" a digit always shown, "#" a digit shown when significant,
// "." the decimal separator (first one), "," anywhere before it turns on
// thousand separators, "E+0"/"E-0"/"e+0"/"e-0" scientific notation (the
// zeros give the minimum exponent digits; "+" always shows the sign), text in
// '...' or "..." and any other character copied as is. Integer digits beyond
// the placeholders appear at the first one. An empty pattern is FloatToStr.
String FormatFloat(const String& Format, double Value);
String FormatFloat(const String& Format, double Value, const TFormatSettings& Settings);

// Text to float: optional blanks, sign, digits with the settings'
// DecimalSeparator, optional exponent "E"/"e" [sign] digits, optional blanks.
// No thousand separators. Error: "'%s' is not a valid floating point value".
double StrToFloat(const String& S);
double StrToFloat(const String& S, const TFormatSettings& Settings);
double StrToFloatDef(const String& S, double Default);
double StrToFloatDef(const String& S, double Default, const TFormatSettings& Settings);
bool TryStrToFloat(const String& S, double& Value);
bool TryStrToFloat(const String& S, double& Value, const TFormatSettings& Settings);

// Currency is formatted exactly from its ten-thousandths.
String CurrToStr(Currency Value);  // ffGeneral
String CurrToStr(Currency Value, const TFormatSettings& Settings);
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits);
String CurrToStrF(Currency Value, TFloatFormat Format, Integer Digits, const TFormatSettings& Settings);
String FormatCurr(const String& Format, Currency Value);
String FormatCurr(const String& Format, Currency Value, const TFormatSettings& Settings);
// Same syntax as StrToFloat, read exactly and rounded half away from zero to
// four decimals; out of range raises the floating point error.
Currency StrToCurr(const String& S);
Currency StrToCurr(const String& S, const TFormatSettings& Settings);
bool TryStrToCurr(const String& S, Currency& Value);
bool TryStrToCurr(const String& S, Currency& Value, const TFormatSettings& Settings);

// ===========================================================================
// Format
//
// Directive: "%" [index ":"] ["-"] [width] ["." precision] type; index, width
// and precision may be "*" (taken from the next argument, an integer). The
// index (0-based) moves the argument position; later directives go on from
// there. "%%" is "%". Width pads with blanks on the left ("-": on the right)
// counting characters. Types, either case:
//   d  integer; precision = minimum digits ("-00012")
//   u  integer as unsigned (32-bit arguments as Cardinal)
//   x  integer in upper-case hex; precision = minimum digits
//   e  ffExponent, precision = significant digits (default 15), 3 exponent digits
//   f  ffFixed, precision = decimals (default 2)
//   g  ffGeneral, precision = significant digits (default 15), 3 exponent digits
//   n  ffNumber, precision = decimals (default 2)
//   m  ffCurrency, precision = decimals (default CurrencyDecimals)
//   p  pointer as 16 upper-case hex digits
//   s  text (chars, zero-terminated text, String, WideString, Variant through
//      VarToStr); precision = maximum characters
// Integers take vtInteger/vtInt64 arguments, floats vtExtended/vtCurrency.
// Errors: "Format '%s' invalid or incompatible with argument" for a bad
// directive or argument kind, "No argument for format '%s'" when the
// arguments run out (%s is the whole format text).
String Format(const String& fmt, TVarRecs args);
String Format(const String& fmt, TVarRecs args, const TFormatSettings& Settings);
inline String Format(const String& fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, ToVarRecs(args));
}
inline String Format(const String& fmt, std::initializer_list<TVarRec> args,
                     const TFormatSettings& Settings) {
  return Format(fmt, ToVarRecs(args), Settings);
}

// ===========================================================================
// Dates and times
//
// TDateTime counts days since 1899-12-30 00:00; the fraction is the time of
// day. Before that day the integer part is negative while the time is still
// counted forward: -1.25 is 1899-12-29 06:00. Years 1..9999.

constexpr Integer HoursPerDay = 24;
constexpr Integer MinsPerDay = HoursPerDay * 60;
constexpr Integer SecsPerDay = MinsPerDay * 60;
constexpr Integer MSecsPerDay = SecsPerDay * 1000;
// Days from 0001-01-01 (day 1) to 1899-12-30.
constexpr Integer DateDelta = 693594;
// Days from 1899-12-30 to 1970-01-01.
constexpr Integer UnixDateDelta = 25569;

struct TTimeStamp {
  Integer Time = 0;  // milliseconds since midnight
  Integer Date = 0;  // days since 0001-01-01, plus one
};

// Errors: "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(Word Year, Word Month, Word Day);
TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec);
bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Date);
bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Time);
void DecodeDate(TDateTime Date, Word& Year, Word& Month, Word& Day);
void DecodeTime(TDateTime Time, Word& Hour, Word& Min, Word& Sec, Word& MSec);
void DecodeDateTime(TDateTime Value, Word& Year, Word& Month, Word& Day, Word& Hour, Word& Min,
                    Word& Sec, Word& MSec);
bool IsLeapYear(Word Year);
// 1 = Sunday ... 7 = Saturday.
Integer DayOfWeek(TDateTime Date);
// Days in the month (Month 1..12) of the year.
Word MonthDays(Word Year, Word Month);
TDateTime Date();  // today, local time
TDateTime Time();  // time of day, local time
TDateTime Now();
// Adds months, keeping the time and clamping the day to the month's length.
TDateTime IncMonth(TDateTime Date, Integer NumberOfMonths = 1);
// Rounds the time of day to the millisecond within its day (never into the
// next day: 23:59:59.9999 gives 23:59:59.999). Error "'%s' is not a valid
// timestamp" for stamps outside the calendar.
TTimeStamp DateTimeToTimeStamp(TDateTime DateTime);
TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp);

// FormatDateTime specifiers (letters in either case):
//   c       ShortDateFormat, then " " and LongTimeFormat unless the time is 0
//   d dd    day; ddd/dddd short/long day name; ddddd ShortDateFormat;
//           dddddd LongDateFormat
//   m mm    month; mmm/mmmm short/long month name; m/mm right after an h/hh
//           (separators and quoted text between allowed) is the minute
//   yy yyyy two-/four-digit year
//   h hh    hour (12-hour clock when an am/pm specifier follows)
//   n nn    minute; s ss second; z zzz millisecond
//   t tt    ShortTimeFormat / LongTimeFormat
//   am/pm a/p  "am"/"pm" or "a"/"p" in the case written; ampm TimeAMString/TimePMString
//   /  :    DateSeparator / TimeSeparator
//   '..' ".."  literal text; any other character is copied.
// An empty format is "c".
String FormatDateTime(const String& Format, TDateTime DateTime);
String FormatDateTime(const String& Format, TDateTime DateTime, const TFormatSettings& Settings);
String DateToStr(TDateTime Date);  // "ddddd"
String DateToStr(TDateTime Date, const TFormatSettings& Settings);
String TimeToStr(TDateTime Time);  // "tt"
String TimeToStr(TDateTime Time, const TFormatSettings& Settings);
String DateTimeToStr(TDateTime DateTime);  // "c"
String DateTimeToStr(TDateTime DateTime, const TFormatSettings& Settings);

// Reading dates: numbers separated by DateSeparator in the order of
// ShortDateFormat (day, month and year, month, day and year, or year, month
// and day). Two numbers give day and month of the current year. A first number
// of three or four digits is a year (year, month, day). Years of one or two
// digits go by TwoDigitYearCenturyWindow.
// Times: hour [":" minute [":" second ["." fraction]]] with TimeSeparator and
// DecimalSeparator, optionally with TimeAMString/TimePMString or AM/PM before
// or after; the fraction is read as a decimal fraction of the second.
// Date and time: a date, blanks, a time; or a time alone.
// Errors: "'%s' is not a valid date", "'%s' is not a valid time",
// "'%s' is not a valid date and time".
TDateTime StrToDate(const String& S);
TDateTime StrToDate(const String& S, const TFormatSettings& Settings);
TDateTime StrToTime(const String& S);
TDateTime StrToTime(const String& S, const TFormatSettings& Settings);
TDateTime StrToDateTime(const String& S);
TDateTime StrToDateTime(const String& S, const TFormatSettings& Settings);
bool TryStrToDate(const String& S, TDateTime& Value);
bool TryStrToDate(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToTime(const String& S, TDateTime& Value);
bool TryStrToTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);
bool TryStrToDateTime(const String& S, TDateTime& Value);
bool TryStrToDateTime(const String& S, TDateTime& Value, const TFormatSettings& Settings);

// ===========================================================================
// GUIDs, clock

// A random (version 4) GUID; returns 0 (S_OK).
Integer CreateGUID(TGUID& Guid);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
String GUIDToString(const TGUID& Guid);
// Reads the text above (hex digits in either case).
// Error: "'%s' is not a valid GUID value".
TGUID StringToGUID(const String& S);

// Milliseconds of a monotonic clock, wrapping at 2^32 (or of the source
// installed below).
Cardinal GetTickCount();
// Replaces the clock behind GetTickCount (nullptr: the monotonic clock) and
// returns the previous source; tests install one they move by hand. The
// source may be called from any thread.
using TTickCountSource = Cardinal (*)();
TTickCountSource SetTickCountSource(TTickCountSource Source);
void Sleep(Cardinal Milliseconds);

// ===========================================================================
// Files. The path delimiter is "/"; splitting also accepts "\" since stored
// texts may use it.

constexpr char PathDelim = '/';

// The directory part with its trailing delimiter ("a/b/" of "a/b/c.txt").
String ExtractFilePath(const String& FileName);
// The directory part without a trailing delimiter (kept for the root "/").
String ExtractFileDir(const String& FileName);
String ExtractFileName(const String& FileName);
// ".txt": the last "." of the file name part and what follows, or "".
String ExtractFileExt(const String& FileName);
String ChangeFileExt(const String& FileName, const String& Extension);
String IncludeTrailingPathDelimiter(const String& S);
String ExcludeTrailingPathDelimiter(const String& S);
// True for an existing file that is not a directory.
bool FileExists(const String& FileName);
bool DirectoryExists(const String& Directory);
// Creates the directory and any missing parents; false when that fails or
// Dir is empty.
bool ForceDirectories(const String& Dir);
bool DeleteFile(const String& FileName);
bool RenameFile(const String& OldName, const String& NewName);
String GetCurrentDir();
// Absolute path with "." and ".." resolved textually ("\" read as "/").
String ExpandFileName(const String& FileName);
// Index 0: the program's full path (from /proc/self/exe); 1...: the
// command-line arguments; "" beyond them.
String ParamStr(Integer Index);
String ApplicationExeName();
