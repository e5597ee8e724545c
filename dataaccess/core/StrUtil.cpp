#include "dataaccess/core/StrUtil.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

inline bool IsBlankByte(char C) { return static_cast<unsigned char>(C) < 33; }
inline char UpAscii(char C) { return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C; }
inline bool IsAsciiLetter(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }

bool HasHighBytes(const String& S) {
  return std::any_of(S.begin(), S.end(), [](char C) { return static_cast<unsigned char>(C) >= 0x80; });
}

// Upper-case copy whose byte positions match the original's: the locale's
// upper case when it keeps the length (Cyrillic does), else ASCII only.
String UpperSameLength(const String& S) {
  if (HasHighBytes(S)) {
    String U = AnsiUpperCase(S);
    if (U.size() == S.size()) return U;
  }
  return FastUpperCase(S);
}

bool HasPrefixCI(const String& Name, const char* Prefix) {
  if (Name.size() <= 4) return false;
  for (int i = 0; i < 4; ++i)
    if (UpAscii(Name[i]) != Prefix[i]) return false;
  return true;
}

const char kHexDigits[] = "0123456789ABCDEF";

void PutHex(String& Out, uint64_t Value, int Digits) {
  for (int i = Digits - 1; i >= 0; --i) Out += kHexDigits[(Value >> (i * 4)) & 0xF];
}

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// Wildcard match with one backtracking point: linear in practice, never
// exponential, and equivalent to the recursive definition.
template <class C>
bool MaskMatch(const C* T, size_t TN, const C* M, size_t MN, C AnyRun, C One) {
  size_t ti = 0, mi = 0, starM = static_cast<size_t>(-1), starT = 0;
  while (ti < TN) {
    if (mi < MN && M[mi] == AnyRun) {
      starM = mi++;
      starT = ti;
    } else if (mi < MN && (M[mi] == One || M[mi] == T[ti])) {
      ++mi;
      ++ti;
    } else if (starM != static_cast<size_t>(-1)) {
      mi = starM + 1;
      ti = ++starT;
    } else {
      return false;
    }
  }
  while (mi < MN && M[mi] == AnyRun) ++mi;
  return mi == MN;
}

}  // namespace

// ---------------------------------------------------------------------------
// Tests and comparisons

bool IsNumericStr(const String& S) {
  size_t i = 0;
  while (i < S.size() && (S[i] == '+' || S[i] == '-')) ++i;
  if (i == S.size()) return false;
  for (; i < S.size(); ++i)
    if (!((S[i] >= '0' && S[i] <= '9') || S[i] == '.')) return false;
  return true;
}

bool IsBlank(const String& S) { return std::all_of(S.begin(), S.end(), IsBlankByte); }

bool IsEmptyTrimmed(const String& S) {
  for (size_t i = S.size(); i > 0; --i)
    if (!IsBlankByte(S[i - 1])) return false;
  return true;
}

bool StrInArray(const String& S, std::span<const String> Arr) {
  return std::find(Arr.begin(), Arr.end(), S) != Arr.end();
}

bool StrInArray(const String& S, std::initializer_list<String> Arr) {
  return StrInArray(S, std::span<const String>(Arr.begin(), Arr.size()));
}

bool EqualStr(const String& S1, const String& S2, bool IgnoreCase) {
  if (!IgnoreCase) return S1 == S2;
  return AnsiCompareText(S1, S2) == 0;
}

bool EqualStrings(const String& S1, const String& S2, bool CaseSensitive) {
  if (S1.size() != S2.size()) return false;
  if (CaseSensitive) return S1 == S2;
  for (size_t i = 0; i < S1.size(); ++i) {
    char a = S1[i], b = S2[i];
    if (a == b) continue;
    if (!(IsAsciiLetter(a) && UpAscii(a) == UpAscii(b))) return false;
  }
  return true;
}

bool StartsWith(const String& S, const String& Prefix) {
  return S.size() >= Prefix.size() && S.compare(0, Prefix.size(), Prefix) == 0;
}

bool WideStartsWith(const WideString& S, const WideString& Prefix) {
  return S.size() >= Prefix.size() && S.compare(0, Prefix.size(), Prefix) == 0;
}

bool IsOldParamName(const String& Name) { return HasPrefixCI(Name, "OLD_"); }
bool IsNewParamName(const String& Name) { return HasPrefixCI(Name, "NEW_"); }
bool IsMasParamName(const String& Name) { return HasPrefixCI(Name, "MAS_"); }

bool IsEqualGUIDs(const TGUID& G1, const TGUID& G2) { return G1 == G2; }

int CompareGUIDWithStr(const TGUID& G, const String& S) {
  int c = GUIDAsString(G).compare(S);
  return (c > 0) - (c < 0);
}

// ---------------------------------------------------------------------------
// Trims, case and copies

void TrimBounds(const String& S, int& First, int& Last) {
  int n = static_cast<int>(S.size());
  First = 1;
  while (First <= n && IsBlankByte(S[First - 1])) ++First;
  Last = n;
  while (Last >= First && IsBlankByte(S[Last - 1])) --Last;
}

String FastTrim(const String& S) {
  int first, last;
  TrimBounds(S, first, last);
  return first > last ? String() : S.substr(first - 1, last - first + 1);
}

void DoTrim(String& S) {
  int first, last;
  TrimBounds(S, first, last);
  if (first > last) {
    S.clear();
    return;
  }
  S.erase(last);
  S.erase(0, first - 1);
}

void DoTrimRight(String& S) {
  size_t n = S.size();
  while (n > 0 && IsBlankByte(S[n - 1])) --n;
  S.resize(n);
}

String FastCopy(const String& S, int Index, int Count) {
  String r;
  FastCopyTo(S, r, Index, Count);
  return r;
}

void FastCopyTo(const String& S, String& Dest, int Index, int Count) {
  int n = static_cast<int>(S.size());
  if (Index < 1) Index = 1;
  if (Count <= 0 || Index > n) {
    Dest.clear();
    return;
  }
  Dest.assign(S, Index - 1, std::min(Count, n - Index + 1));
}

void DoLowerCase(String& S) {
  for (char& c : S)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
}

String FastUpperCase(const String& S) {
  String r = S;
  for (char& c : r) c = UpAscii(c);
  return r;
}

void DoAnsiUpperCase(String& S) { S = AnsiUpperCase(S); }
void DoWideUpperCase(WideString& S) { S = WideUpperCase(S); }
WideString UTF8ToWide(const String& S) { return Utf8ToWide(S); }
// A varString holds UTF-8 already.
WideString VariantUTF8ToWide(const Variant& V) { return VarIsEmpty(V) ? WideString() : VarToWideStr(V); }

String MakeStr(char C, int Count) { return Count < 1 ? String() : String(static_cast<size_t>(Count), C); }

String IIFStr(bool Condition, const String& S1, const String& S2) { return Condition ? S1 : S2; }

int FastStrLen(const char* P) { return P == nullptr ? 0 : static_cast<int>(std::strlen(P)); }

String RemoveQuotes(const String& S) {
  int first, last;
  TrimBounds(S, first, last);
  if (last - first < 1) return S;
  char q = S[first - 1];
  if ((q != '\'' && q != '"') || S[last - 1] != q) return S;
  return S.substr(first, last - first - 1);
}

// ---------------------------------------------------------------------------
// Searches

int PosCh(char C, const String& S) { return PosChFrom(C, S, 1); }

int PosChFrom(char C, const String& S, int From) {
  if (From < 1) From = 1;
  if (From > static_cast<int>(S.size())) return 0;
  size_t p = S.find(C, From - 1);
  return p == String::npos ? 0 : static_cast<int>(p) + 1;
}

int PosInRange(const String& Part, const String& S, int From, int To) {
  int n = static_cast<int>(S.size()), m = static_cast<int>(Part.size());
  if (m == 0) return 0;
  if (From < 1) From = 1;
  if (To > n) To = n;
  const char first = Part[0], last = Part[m - 1];
  for (int p = From; p + m - 1 <= To; ++p) {
    if (S[p - 1] != first || S[p + m - 2] != last) continue;
    if (S.compare(p - 1, m, Part) == 0) return p;
  }
  return 0;
}

int PosFrom(const String& Part, const String& S, int From) {
  return PosInRange(Part, S, From, static_cast<int>(S.size()));
}

int PosWholeWord(const String& Word, const String& S, const CharSet& Before, bool CaseInsensitive,
                 const CharSet& After) {
  if (Word.empty()) return 0;
  String upperText, upperWord;
  if (CaseInsensitive) {
    upperText = UpperSameLength(S);
    upperWord = UpperSameLength(Word);
  }
  const String& text = CaseInsensitive ? upperText : S;
  const String& word = CaseInsensitive ? upperWord : Word;
  int n = static_cast<int>(text.size()), m = static_cast<int>(word.size());
  for (int p = PosFrom(word, text, 1); p > 0; p = PosFrom(word, text, p + 1)) {
    bool okBefore = p == 1 || Before.Contains(text[p - 2]);
    bool okAfter = p + m - 1 == n || After.Contains(text[p + m - 1]);
    if (okBefore && okAfter) return p;
  }
  return 0;
}

int WordCount(const String& S, const CharSet& Separators) {
  int count = 0;
  bool inWord = false;
  for (char c : S) {
    bool sep = Separators.Contains(c);
    if (!sep && !inWord) ++count;
    inWord = !sep;
  }
  return count;
}

String ExtractWord(int N, const String& S, const CharSet& Separators) {
  if (N < 1) return String();
  size_t i = 0, n = S.size();
  for (int w = 1;; ++w) {
    while (i < n && Separators.Contains(S[i])) ++i;
    if (i == n) return String();
    size_t start = i;
    while (i < n && !Separators.Contains(S[i])) ++i;
    if (w == N) return S.substr(start, i - start);
  }
}

// ---------------------------------------------------------------------------
// Replacement

namespace {

// Replaces the occurrences of Old in Search (a same-length image of S) that
// lie inside [From, To] (0-based, inclusive), copying the bytes of S.
String ReplaceImpl(const String& S, const String& Search, const String& Old, const String& New,
                   size_t From, size_t To) {
  if (Old.empty() || S.empty() || From > To) return S;
  String r;
  r.reserve(S.size());
  size_t copied = 0, p = From;
  while ((p = Search.find(Old, p)) != String::npos && p + Old.size() - 1 <= To) {
    r.append(S, copied, p - copied);
    r += New;
    p += Old.size();
    copied = p;
  }
  r.append(S, copied, String::npos);
  return r;
}

}  // namespace

String ReplaceStr(const String& S, const String& OldPattern, const String& NewPattern) {
  return ReplaceImpl(S, S, OldPattern, NewPattern, 0, S.size() - (S.empty() ? 0 : 1));
}

String ReplaceStrCase(const String& S, const String& OldPattern, const String& NewPattern,
                      bool IgnoreCase) {
  if (!IgnoreCase) return ReplaceStr(S, OldPattern, NewPattern);
  String upper = UpperSameLength(S);
  return ReplaceImpl(S, upper, UpperSameLength(OldPattern), NewPattern, 0,
                     S.empty() ? 0 : S.size() - 1);
}

String ReplaceStrInRange(const String& S, const String& OldPattern, const String& NewPattern,
                         int From, int To) {
  int n = static_cast<int>(S.size());
  if (From < 1) From = 1;
  if (To > n) To = n;
  if (From > To) return S;
  return ReplaceImpl(S, S, OldPattern, NewPattern, static_cast<size_t>(From - 1),
                     static_cast<size_t>(To - 1));
}

// ---------------------------------------------------------------------------
// Name=value and splitting

void SplitNameValue(const String& Line, String& Name, String& Value) {
  size_t p = Line.find('=');
  if (p == String::npos) {
    Name = Line;
    Value.clear();
  } else {
    Name = Line.substr(0, p);
    Value = Line.substr(p + 1);
  }
}

String ValueOfNameValue(const String& Line) {
  size_t p = Line.find('=');
  return p == String::npos ? String() : Line.substr(p + 1);
}

void SplitAtPercent(const String& S, char Prefix, String& First, String& Second) {
  size_t p = S.find('%');
  if (p == String::npos) {
    First = S;
  } else {
    First = S.substr(0, p);
    Second = S.substr(p + 1);
  }
  if (First.empty() || First[0] != Prefix) First.insert(First.begin(), Prefix);
}

// ---------------------------------------------------------------------------
// GUIDs

String GUIDAsString(const TGUID& G) {
  String r;
  r.reserve(38);
  r += '{';
  PutHex(r, G.D1, 8);
  r += '-';
  PutHex(r, G.D2, 4);
  r += '-';
  PutHex(r, G.D3, 4);
  r += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) r += '-';
    PutHex(r, G.D4[i], 2);
  }
  r += '}';
  return r;
}

bool TryStrToGUID(const String& S, TGUID& G) {
  if (S.size() != 38 || S[0] != '{' || S[37] != '}' || S[9] != '-' || S[14] != '-' ||
      S[19] != '-' || S[24] != '-')
    return false;
  // Reads Digits hex digits starting at 0-based index At.
  auto read = [&S](size_t At, int Digits, uint64_t& Out) {
    Out = 0;
    for (int i = 0; i < Digits; ++i) {
      int v = HexValue(S[At + i]);
      if (v < 0) return false;
      Out = (Out << 4) | static_cast<uint64_t>(v);
    }
    return true;
  };
  TGUID g;
  uint64_t v;
  if (!read(1, 8, v)) return false;
  g.D1 = static_cast<uint32_t>(v);
  if (!read(10, 4, v)) return false;
  g.D2 = static_cast<uint16_t>(v);
  if (!read(15, 4, v)) return false;
  g.D3 = static_cast<uint16_t>(v);
  static constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!read(kByteAt[i], 2, v)) return false;
    g.D4[i] = static_cast<uint8_t>(v);
  }
  G = g;
  return true;
}

// ---------------------------------------------------------------------------
// Dates

bool ReplaceMonthNames(const String& S, String& Result) {
  static constexpr const char* kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const String upper = FastUpperCase(S);
  for (int m = 0; m < 12; ++m) {
    size_t p = upper.find(kMonths[m]);
    if (p == String::npos) continue;
    const char number[3] = {static_cast<char>('0' + (m + 1) / 10), static_cast<char>('0' + (m + 1) % 10), 0};
    Result = S.substr(0, p) + number + S.substr(p + 3);
    std::replace(Result.begin(), Result.end(), '-', FormatSettings.DateSeparator);
    return true;
  }
  return false;
}

TDateTime StrToDateFmt(const String& S, const String& Format) {
  TFormatSettings settings = FormatSettings;
  settings.ShortDateFormat = Format;
  return StrToDate(S, settings);
}

String ServerStrToDateTime(const String& S, int Kind) {
  if (IsBlank(S)) return String();
  TFormatSettings settings = FormatSettings;
  String text = S;
  if (Kind != 2) {
    // The date part decides: a fraction of a second must not pass for "."
    String date = FastTrim(S);
    date = date.substr(0, static_cast<size_t>(std::find_if(date.begin(), date.end(), IsBlankByte) - date.begin()));
    String replaced;
    if (PosCh('.', date) != 0) {
      settings.DateSeparator = '.';
      settings.ShortDateFormat = "dd.mm.yyyy";
    } else if (PosCh('/', date) != 0) {
      settings.DateSeparator = '/';
      settings.ShortDateFormat = "mm/dd/yyyy";
    } else if (PosCh('-', date) != 0) {
      if (ReplaceMonthNames(S, replaced)) {
        text = replaced;
        settings.ShortDateFormat = "dd.mm.yyyy";
      } else {
        text = ReplaceStr(S, "-", "/");
        settings.DateSeparator = '/';
        settings.ShortDateFormat = "yyyy/mm/dd";
      }
    } else {
      return AnsiUpperCase(S);
    }
  }
  settings.TimeSeparator = ':';
  settings.LongTimeFormat = "h:m:s";
  switch (Kind) {
    case 1: return DateToStr(StrToDate(text, settings));
    case 2: return TimeToStr(StrToTime(text, settings));
    default: return DateTimeToStr(StrToDateTime(text, settings));
  }
}

// ---------------------------------------------------------------------------
// LIKE masks

bool SQLMaskMatch(const String& Text, const String& Mask, char AnyRun, char One) {
  if (!HasHighBytes(Text) && !HasHighBytes(Mask)) {
    String t = FastUpperCase(Text), m = FastUpperCase(Mask);
    return MaskMatch(t.data(), t.size(), m.data(), m.size(), UpAscii(AnyRun), UpAscii(One));
  }
  // One wildcard per character, not per byte: match upper-cased UTF-16.
  WideString t = WideUpperCase(Utf8ToWide(Text)), m = WideUpperCase(Utf8ToWide(Mask));
  return MaskMatch(t.data(), t.size(), m.data(), m.size(), static_cast<char16_t>(AnyRun),
                   static_cast<char16_t>(One));
}

bool SQLMaskCompare(const char* Text, const char* Mask) {
  return SQLMaskMatch(Text ? String(Text) : String(), Mask ? String(Mask) : String(), '%', '_');
}

bool SQLMaskCompareStr(const String& Text, const String& Mask) {
  return SQLMaskMatch(Text, Mask, '%', '_');
}

// ---------------------------------------------------------------------------
// String lists

bool IsEmptyStrings(TStrings* List) {
  for (int i = 0; i < List->Count(); ++i)
    if (!IsBlank(List->Strings(i))) return false;
  return true;
}

namespace {

// BeginUpdate for the life of the scope.
class TUpdateScope {
 public:
  explicit TUpdateScope(TStrings* List) : list_(List) { list_->BeginUpdate(); }
  ~TUpdateScope() { list_->EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TStrings* list_;
};

}  // namespace

void DeleteEmptyStrings(TStrings* List) {
  TUpdateScope update(List);
  for (int i = List->Count() - 1; i >= 0; --i)
    if (IsBlank(List->Strings(i))) List->Delete(i);
}

void SubtractStrings(TStrings* Source, TStrings* Other, TStrings* Destination) {
  auto* sorted = dynamic_cast<TStringList*>(Other);
  if (sorted != nullptr && !sorted->Sorted()) sorted = nullptr;
  TUpdateScope update(Destination);
  Destination->Clear();
  for (int i = 0; i < Source->Count(); ++i) {
    const String s = Source->Strings(i);
    int at;
    bool present = sorted != nullptr ? sorted->Find(s, at) : Other->IndexOf(s) >= 0;
    if (!present) Destination->AddObject(s, Source->Objects(i));
  }
}
