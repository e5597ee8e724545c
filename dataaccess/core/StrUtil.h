// Text helpers of the data-access library: byte-level tests, trims, searches
// and replacements over UTF-8 byte strings, GUID text, parameter-name
// prefixes, date literals, words, name=value lines, LIKE masks, and the SQL
// keyword list with the identifier-quoting tests.
//
// Positions are 1-based; 0 means "not found". A "blank" is a byte below 33
// unless a routine says otherwise.
#pragma once

#include <initializer_list>
#include <span>

#include "platform/rtl/StringList.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

// Builds the SQL keyword list at start and frees it at stop.
extern const TUnit unit_StrUtil;

// ---------------------------------------------------------------------------
// Tests and comparisons

// Optional run of "+"/"-", then at least one byte, all digits or ".".
bool IsNumericStr(const String& S);
bool IsBlank(const String& S);
bool IsEmptyTrimmed(const String& S);
// True for a list without lines or with blank lines only.
bool IsEmptyStrings(TStrings* List);
bool StrInArray(const String& S, std::span<const String> Arr);
bool StrInArray(const String& S, std::initializer_list<String> Arr);
// IgnoreCase compares under the user's locale.
bool EqualStr(const String& S1, const String& S2, bool IgnoreCase);
// Without CaseSensitive, ASCII letters match either case.
bool EqualStrings(const String& S1, const String& S2, bool CaseSensitive);
bool StartsWith(const String& S, const String& Prefix);
bool WideStartsWith(const WideString& S, const WideString& Prefix);
// "OLD_", "NEW_", "MAS_" (either case) followed by at least one character.
bool IsOldParamName(const String& Name);
bool IsNewParamName(const String& Name);
bool IsMasParamName(const String& Name);
bool IsEqualGUIDs(const TGUID& G1, const TGUID& G2);
// Ordinal comparison of GUIDAsString(G) with S: <0, 0 or >0.
int CompareGUIDWithStr(const TGUID& G, const String& S);

// ---------------------------------------------------------------------------
// Trims, case and copies

String FastTrim(const String& S);
void DoTrim(String& S);
void DoTrimRight(String& S);
// First and last non-blank positions; for a blank text First > Last.
void TrimBounds(const String& S, int& First, int& Last);
// Copy(S, Index, Count) with the usual clipping.
String FastCopy(const String& S, int Index, int Count);
void FastCopyTo(const String& S, String& Dest, int Index, int Count);
void DoLowerCase(String& S);             // ASCII only
String FastUpperCase(const String& S);   // ASCII only
void DoAnsiUpperCase(String& S);         // user's locale
void DoWideUpperCase(WideString& S);     // user's locale
WideString UTF8ToWide(const String& S);
// The variant's text as wide text; Null and Empty give "".
WideString VariantUTF8ToWide(const Variant& V);
String MakeStr(char C, int Count);
String IIFStr(bool Condition, const String& S1, const String& S2);
// Length of a zero-terminated buffer; 0 for nullptr.
int FastStrLen(const char* P);
// Removes one matching pair of surrounding ' or " (blanks around allowed).
String RemoveQuotes(const String& S);
// Deletes the blank lines of the list.
void DeleteEmptyStrings(TStrings* List);

// ---------------------------------------------------------------------------
// Searches

int PosCh(char C, const String& S);
int PosChFrom(char C, const String& S, int From);
// Position of Part lying wholly inside positions From..To.
int PosInRange(const String& Part, const String& S, int From, int To);
int PosFrom(const String& Part, const String& S, int From);
// Word whose preceding byte is in Before (or it starts S) and whose following
// byte is in After (or it ends S).
int PosWholeWord(const String& Word, const String& S, const CharSet& Before, bool CaseInsensitive,
                 const CharSet& After);
int WordCount(const String& S, const CharSet& Separators);
// The N-th word (1-based); empty when there are fewer.
String ExtractWord(int N, const String& S, const CharSet& Separators);

// ---------------------------------------------------------------------------
// Replacement

String ReplaceStr(const String& S, const String& OldPattern, const String& NewPattern);
String ReplaceStrCase(const String& S, const String& OldPattern, const String& NewPattern,
                      bool IgnoreCase);
// Replaces only occurrences lying wholly inside positions From..To.
String ReplaceStrInRange(const String& S, const String& OldPattern, const String& NewPattern,
                         int From, int To);

// ---------------------------------------------------------------------------
// Name=value and splitting

void SplitNameValue(const String& Line, String& Name, String& Value);
String ValueOfNameValue(const String& Line);
// Destination := the lines of Source (with their objects) that Other lacks.
void SubtractStrings(TStrings* Source, TStrings* Other, TStrings* Destination);
// Splits at "%" (Second untouched without one); First gets Prefix in front
// unless it already begins with it.
void SplitAtPercent(const String& S, char Prefix, String& First, String& Second);

// ---------------------------------------------------------------------------
// GUIDs

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case digits.
String GUIDAsString(const TGUID& G);
// Accepts exactly that form (upper-case digits only).
bool TryStrToGUID(const String& S, TGUID& G);

// ---------------------------------------------------------------------------
// Dates. The conversions read with a copy of FormatSettings and leave the
// global settings untouched; failures raise EConvertError.

// Finds the first of JAN..DEC (either case, in that order); Result is S with
// it replaced by its two-digit number and "-" by the date separator.
bool ReplaceMonthNames(const String& S, String& Result);
// StrToDate with Format as the short date format.
TDateTime StrToDateFmt(const String& S, const String& Format);
// Server date (Kind 1), time (2) or date-time (0) literal as text in the
// user's format. The date order follows the separator of the date part:
// "." day.month.year, "/" month/day/year, "-" year-month-day or a month name;
// a text with none of them comes back upper-cased. Blank gives "".
String ServerStrToDateTime(const String& S, int Kind);

// ---------------------------------------------------------------------------
// LIKE masks. Matching is per character (UTF-8 code point) and ignores case.

// AnyRun matches any run of characters (none too), One exactly one.
bool SQLMaskMatch(const String& Text, const String& Mask, char AnyRun, char One);
// "%" and "_" masks.
bool SQLMaskCompare(const char* Text, const char* Mask);
bool SQLMaskCompareStr(const String& Text, const String& Mask);

// ---------------------------------------------------------------------------
// SQL keywords and identifier quoting

// The 306 words of the function, reserved-word and type-name tables, sorted
// with CompareKeywordItems (not a Sorted list). Built by the unit's
// initialization, read-only afterwards, freed by its finalization.
extern TStringList* SQLKeywordList;

// Binary search of a sorted list between positions First and Last (clipped to
// the list). Without UseLocale the comparison is ordinal (ASCII letters folded
// unless the list is case-sensitive); with it, under the user's locale.
// Index is where S stands or would be inserted; without dupAccept the first
// of equal entries is found.
bool FindInRange(TStringList* List, const String& S, int First, int& Index, bool UseLocale, int Last);
// Sort comparison of the keyword list (see FindInRange without locale).
int CompareKeywordItems(TStringList* List, int Index1, int Index2);

// True when the identifier must be written in double quotes: the keyword
// tables above and the words the Firebird 3 server reserves besides. The
// pseudo-columns RDB$DB_KEY and RDB$RECORD_VERSION are never quoted.
bool NeedQuote(const String& Name);
// The same for identifiers whose lower-case letters are acceptable as they
// stand (the server folds unquoted names to upper case).
bool NeedQuoteCI(const String& Name);
// Name, or Prefix "." Name, each part quoted when NeedQuote says so.
String FormatFieldName(const String& Prefix, const String& Name);
// A name as the server knows it: in dialect 1 trimmed and upper-cased;
// otherwise an empty or already quoted name stays, one that needs quotes
// (NeedQuoteCI with CaseInsensitive, else NeedQuote) is quoted, any other is
// upper-cased.
String IdentifierForm(const String& Name, Integer Dialect, bool CaseInsensitive);
// Quoted identifiers: Name between double quotes, the quotes inside
// doubled ("A""B" for A"B); IsQuotedIdentifier tells whether a text is one;
// UnquoteIdentifier gives the name a quoted identifier stands for (any other
// text as it is).
String QuoteIdentifier(const String& Name);
bool IsQuotedIdentifier(const String& Name);
String UnquoteIdentifier(const String& Name);
