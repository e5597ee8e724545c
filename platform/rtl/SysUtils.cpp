// String helpers, integers, Booleans, GUIDs, the clock and file routines.
#include "platform/rtl/SysUtils.h"

#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <thread>
#include <vector>

#include "platform/rtl/Locale.h"

TFormatSettings FormatSettings;

namespace {

void InitSysUtils() { FormatSettings = GetLocaleFormatSettings(); }
void FinalSysUtils() {}

}  // namespace

constinit const TUnit unit_SysUtils("SysUtils", InitSysUtils, FinalSysUtils);

// ===========================================================================
// Pascal-style string helpers

Integer Pos(const String& Substr, const String& S) { return PosEx(Substr, S, 1); }

Integer PosEx(const String& Substr, const String& S, Integer Offset) {
  if (Substr.empty() || Offset < 1 || static_cast<size_t>(Offset) > S.size()) return 0;
  size_t p = S.find(Substr, static_cast<size_t>(Offset) - 1);
  return p == String::npos ? 0 : static_cast<Integer>(p) + 1;
}

String Copy(const String& S, Integer Index, Integer Count) {
  size_t start = Index < 1 ? 0 : static_cast<size_t>(Index) - 1;
  if (Count <= 0 || start >= S.size()) return String();
  return S.substr(start, static_cast<size_t>(Count));
}

void Delete(String& S, Integer Index, Integer Count) {
  if (Index < 1 || static_cast<size_t>(Index) > S.size() || Count <= 0) return;
  S.erase(static_cast<size_t>(Index) - 1, static_cast<size_t>(Count));
}

void Insert(const String& Source, String& S, Integer Index) {
  size_t at = Index < 1 ? 0 : std::min(static_cast<size_t>(Index) - 1, S.size());
  S.insert(at, Source);
}

size_t Utf8Length(const String& S) {
  size_t n = 0;
  for (char ch : S)
    if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++n;
  return n;
}

size_t Utf8Prefix(const String& S, size_t Count) {
  size_t chars = 0;
  for (size_t i = 0; i < S.size(); ++i) {
    if ((static_cast<unsigned char>(S[i]) & 0xC0) != 0x80) {
      if (chars == Count) return i;
      ++chars;
    }
  }
  return S.size();
}

String Utf8Truncate(const String& S, size_t Count) { return S.substr(0, Utf8Prefix(S, Count)); }

String Utf8DeleteLastChar(const String& S) {
  size_t end = S.size();
  while (end > 0 && (static_cast<unsigned char>(S[end - 1]) & 0xC0) == 0x80) --end;
  return S.substr(0, end > 0 ? end - 1 : 0);
}

bool IsTextChar(char32_t Ch) { return Ch >= 32 && Ch != 127 && !(Ch >= 128 && Ch < 160); }

void Utf8AppendWideChar(String& S, WideChar Ch, WideChar& Pending) {
  char32_t cp = Ch;
  if (Ch >= 0xD800 && Ch < 0xDC00) {
    Pending = Ch;
    return;
  }
  if (Ch >= 0xDC00 && Ch < 0xE000) {
    if (Pending == 0) return;
    cp = 0x10000 + ((static_cast<char32_t>(Pending) - 0xD800) << 10) + (Ch - 0xDC00);
  }
  Pending = 0;
  S += Utf32ToUtf8(std::u32string(1, cp));
}

String StringOfChar(char Ch, Integer Count) { return Count > 0 ? String(static_cast<size_t>(Count), Ch) : String(); }

namespace {
bool IsBlank(char ch) { return static_cast<unsigned char>(ch) <= ' '; }
char AsciiUpper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; }
char AsciiLower(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; }
}  // namespace

String Trim(const String& S) {
  size_t b = 0, e = S.size();
  while (b < e && IsBlank(S[b])) ++b;
  while (e > b && IsBlank(S[e - 1])) --e;
  return S.substr(b, e - b);
}

String TrimLeft(const String& S) {
  size_t b = 0;
  while (b < S.size() && IsBlank(S[b])) ++b;
  return S.substr(b);
}

String TrimRight(const String& S) {
  size_t e = S.size();
  while (e > 0 && IsBlank(S[e - 1])) --e;
  return S.substr(0, e);
}

String UpperCase(const String& S) {
  String r = S;
  for (char& ch : r) ch = AsciiUpper(ch);
  return r;
}

String LowerCase(const String& S) {
  String r = S;
  for (char& ch : r) ch = AsciiLower(ch);
  return r;
}

namespace {
template <class Map>
Integer CompareBytes(const String& S1, const String& S2, Map map) {
  size_t n = std::min(S1.size(), S2.size());
  for (size_t i = 0; i < n; ++i) {
    int a = static_cast<unsigned char>(map(S1[i])), b = static_cast<unsigned char>(map(S2[i]));
    if (a != b) return a - b;
  }
  return static_cast<Integer>(S1.size()) - static_cast<Integer>(S2.size());
}
}  // namespace

Integer CompareStr(const String& S1, const String& S2) {
  return CompareBytes(S1, S2, [](char ch) { return ch; });
}

Integer CompareText(const String& S1, const String& S2) { return CompareBytes(S1, S2, AsciiUpper); }

bool SameText(const String& S1, const String& S2) { return S1.size() == S2.size() && CompareText(S1, S2) == 0; }

String QuotedStr(const String& S) { return AnsiQuotedStr(S, '\''); }

String AnsiQuotedStr(const String& S, char Quote) {
  String r(1, Quote);
  for (char ch : S) {
    r += ch;
    if (ch == Quote) r += ch;
  }
  r += Quote;
  return r;
}

String AnsiExtractQuotedStr(const char*& Src, char Quote) {
  if (Src == nullptr || *Src != Quote || Quote == '\0') return String();
  const char* p = Src + 1;
  String r;
  while (*p != '\0') {
    if (*p == Quote) {
      if (p[1] != Quote) {
        ++p;  // past the closing quote
        Src = p;
        return r;
      }
      ++p;  // doubled quote: keep one
    }
    r += *p++;
  }
  Src = p;  // unterminated: the rest of the text
  return r;
}

String AnsiDequotedStr(const String& S, char Quote) {
  const char* p = S.c_str();
  String r = AnsiExtractQuotedStr(p, Quote);
  // Not a quoted text: no opening quote, or a text that did not end in one.
  if ((r.empty() || *p == '\0') && !S.empty() && (S.front() != Quote || S.back() != Quote || S.size() < 2))
    return S;
  return r;
}

namespace {

bool IsAscii(const String& s) {
  for (char ch : s)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}

// Case-insensitive search key whose byte offsets line up with those of S:
// non-ASCII texts are upper-cased under the locale character by character,
// keeping a character whose upper case has another length.
String FoldForSearch(const String& S) {
  if (IsAscii(S)) return UpperCase(S);
  String key;
  key.reserve(S.size());
  for (size_t i = 0; i < S.size();) {
    size_t n = 1;
    while (i + n < S.size() && (static_cast<unsigned char>(S[i + n]) & 0xC0) == 0x80) ++n;
    String ch = S.substr(i, n), up = AnsiUpperCase(ch);
    key += up.size() == n ? up : ch;
    i += n;
  }
  return key;
}

}  // namespace

String StringReplace(const String& S, const String& OldPattern, const String& NewPattern, TReplaceFlags Flags) {
  if (OldPattern.empty()) return S;
  bool ignoreCase = Flags.Contains(rfIgnoreCase);
  String hay = ignoreCase ? FoldForSearch(S) : String();
  String needle = ignoreCase ? FoldForSearch(OldPattern) : OldPattern;
  const String& where = ignoreCase ? hay : S;
  String r;
  size_t from = 0;
  while (true) {
    size_t p = where.find(needle, from);
    if (p == String::npos) break;
    r.append(S, from, p - from);
    r += NewPattern;
    from = p + needle.size();
    if (!Flags.Contains(rfReplaceAll)) break;
  }
  r.append(S, from, String::npos);
  return r;
}

Integer LastDelimiter(const String& Delimiters, const String& S) {
  size_t p = S.find_last_of(Delimiters);
  return p == String::npos ? 0 : static_cast<Integer>(p) + 1;
}

bool IsDelimiter(const String& Delimiters, const String& S, Integer Index) {
  if (Index < 1 || static_cast<size_t>(Index) > S.size()) return false;
  return Delimiters.find(S[static_cast<size_t>(Index) - 1]) != String::npos;
}

String AdjustLineBreaks(const String& S, TTextLineBreakStyle Style) {
  const char* br = Style == tlbsCRLF ? "\r\n" : "\n";
  String r;
  r.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] == '\r') {
      if (i + 1 < S.size() && S[i + 1] == '\n') ++i;
      r += br;
    } else if (S[i] == '\n') {
      r += br;
    } else {
      r += S[i];
    }
  }
  return r;
}

// ===========================================================================
// Integers and Booleans

namespace {

// Reads S as an integer of the range [-limitNeg, limitPos] for decimal text
// and [0, hexMax] (wrapping) for hex text.
bool ParseInteger(const String& S, uint64_t limitPos, uint64_t hexMax, int64_t& value) {
  size_t i = 0, n = S.size();
  while (i < n && IsBlank(S[i])) ++i;
  bool negative = false;
  if (i < n && (S[i] == '+' || S[i] == '-')) negative = S[i++] == '-';
  bool hex = false;
  if (i < n && S[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < n && S[i] == '0' && (S[i + 1] == 'x' || S[i + 1] == 'X')) {
    hex = true;
    i += 2;
  } else if (i < n && (S[i] == 'x' || S[i] == 'X')) {
    hex = true;
    ++i;
  }
  if (i >= n) return false;
  uint64_t u = 0;
  uint64_t max = hex ? hexMax : limitPos + (negative ? 1 : 0);
  for (; i < n; ++i) {
    char ch = S[i];
    unsigned d;
    if (ch >= '0' && ch <= '9') d = static_cast<unsigned>(ch - '0');
    else if (hex && ch >= 'a' && ch <= 'f') d = static_cast<unsigned>(ch - 'a' + 10);
    else if (hex && ch >= 'A' && ch <= 'F') d = static_cast<unsigned>(ch - 'A' + 10);
    else return false;
    unsigned base = hex ? 16 : 10;
    if (u > (max - d) / base) return false;
    u = u * base + d;
  }
  if (negative) u = 0 - u;
  value = static_cast<int64_t>(u);
  return true;
}

[[noreturn]] void IntError(const String& S) { throw EConvertError("'%s' is not a valid integer value", {S}); }

String Hex(uint64_t v, Integer digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", std::clamp(digits, 0, 16), static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

String IntToStr(Integer Value) { return std::to_string(Value); }
String IntToStr(Int64 Value) { return std::to_string(Value); }
String IntToHex(Integer Value, Integer Digits) { return Hex(static_cast<uint32_t>(Value), Digits); }
String IntToHex(Int64 Value, Integer Digits) { return Hex(static_cast<uint64_t>(Value), Digits); }

bool TryStrToInt(const String& S, Integer& Value) {
  int64_t v;
  if (!ParseInteger(S, std::numeric_limits<int32_t>::max(), std::numeric_limits<uint32_t>::max(), v)) return false;
  Value = static_cast<Integer>(static_cast<uint32_t>(v));
  return true;
}

Integer StrToInt(const String& S) {
  Integer v;
  if (!TryStrToInt(S, v)) IntError(S);
  return v;
}

Integer StrToIntDef(const String& S, Integer Default) {
  Integer v;
  return TryStrToInt(S, v) ? v : Default;
}

bool TryStrToInt64(const String& S, Int64& Value) {
  return ParseInteger(S, std::numeric_limits<int64_t>::max(), std::numeric_limits<uint64_t>::max(), Value);
}

Int64 StrToInt64(const String& S) {
  Int64 v;
  if (!TryStrToInt64(S, v)) IntError(S);
  return v;
}

Int64 StrToInt64Def(const String& S, Int64 Default) {
  Int64 v;
  return TryStrToInt64(S, v) ? v : Default;
}

bool TryStrToBool(const String& S, bool& Value) {
  if (SameText(S, "True")) {
    Value = true;
    return true;
  }
  if (SameText(S, "False")) {
    Value = false;
    return true;
  }
  double d;
  if (!TryStrToFloat(S, d)) return false;
  Value = d != 0;
  return true;
}

bool StrToBool(const String& S) {
  bool b;
  if (!TryStrToBool(S, b)) throw EConvertError("'%s' is not a valid boolean value", {S});
  return b;
}

String BoolToStr(bool B, bool UseBoolStrs) {
  if (UseBoolStrs) return B ? "True" : "False";
  return B ? "-1" : "0";
}

// ===========================================================================
// GUIDs, clock

Integer CreateGUID(TGUID& Guid) {
  // Every GUID takes 16 fresh bytes from the kernel's random source, so that
  // processes started together cannot repeat each other's sequences.
  uint8_t bytes[16];
  size_t filled = 0;
  while (filled < sizeof bytes) {
    ssize_t n = ::getrandom(bytes + filled, sizeof bytes - filled, 0);
    if (n > 0) filled += static_cast<size_t>(n);
    else if (errno != EINTR) throw EOSError("Unable to read random bytes for a GUID");
  }
  std::memcpy(&Guid.D1, bytes, 4);
  std::memcpy(&Guid.D2, bytes + 4, 2);
  std::memcpy(&Guid.D3, bytes + 6, 2);
  std::memcpy(Guid.D4, bytes + 8, 8);
  Guid.D3 = static_cast<uint16_t>((Guid.D3 & 0x0FFF) | 0x4000);
  Guid.D4[0] = static_cast<uint8_t>((Guid.D4[0] & 0x3F) | 0x80);
  return 0;
}

String GUIDToString(const TGUID& Guid) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Guid.D1, Guid.D2, Guid.D3,
                Guid.D4[0], Guid.D4[1], Guid.D4[2], Guid.D4[3], Guid.D4[4], Guid.D4[5], Guid.D4[6], Guid.D4[7]);
  return buf;
}

TGUID StringToGUID(const String& S) {
  auto fail = [&]() -> TGUID { throw EConvertError("'%s' is not a valid GUID value", {S}); };
  if (S.size() != 38 || S[0] != '{' || S[37] != '}' || S[9] != '-' || S[14] != '-' || S[19] != '-' || S[24] != '-')
    return fail();
  auto hex = [&](size_t at, size_t count) -> uint64_t {
    uint64_t v = 0;
    for (size_t i = at; i < at + count; ++i) {
      char ch = S[i];
      unsigned d = 0;
      if (ch >= '0' && ch <= '9') d = static_cast<unsigned>(ch - '0');
      else if (ch >= 'a' && ch <= 'f') d = static_cast<unsigned>(ch - 'a' + 10);
      else if (ch >= 'A' && ch <= 'F') d = static_cast<unsigned>(ch - 'A' + 10);
      else fail();
      v = v * 16 + d;
    }
    return v;
  };
  TGUID g;
  g.D1 = static_cast<uint32_t>(hex(1, 8));
  g.D2 = static_cast<uint16_t>(hex(10, 4));
  g.D3 = static_cast<uint16_t>(hex(15, 4));
  g.D4[0] = static_cast<uint8_t>(hex(20, 2));
  g.D4[1] = static_cast<uint8_t>(hex(22, 2));
  for (int i = 0; i < 6; ++i) g.D4[2 + i] = static_cast<uint8_t>(hex(25 + 2 * static_cast<size_t>(i), 2));
  return g;
}

namespace {
std::atomic<TTickCountSource> tick_count_source{nullptr};
}  // namespace

TTickCountSource SetTickCountSource(TTickCountSource Source) { return tick_count_source.exchange(Source); }

Cardinal GetTickCount() {
  if (TTickCountSource source = tick_count_source.load()) return source();
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<Cardinal>(ms.count());
}

void Sleep(Cardinal Milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds)); }

// ===========================================================================
// Files

namespace {
bool IsPathDelim(char ch) { return ch == '/' || ch == '\\'; }
// Index of the character after the last delimiter.
size_t NameStart(const String& FileName) {
  size_t p = FileName.find_last_of("/\\");
  return p == String::npos ? 0 : p + 1;
}
}  // namespace

String ExtractFilePath(const String& FileName) { return FileName.substr(0, NameStart(FileName)); }

String ExtractFileDir(const String& FileName) {
  size_t start = NameStart(FileName);
  if (start > 1) --start;  // drop the delimiter, but keep a lone root "/"
  return FileName.substr(0, start);
}

String ExtractFileName(const String& FileName) { return FileName.substr(NameStart(FileName)); }

String ExtractFileExt(const String& FileName) {
  size_t dot = FileName.find_last_of('.');
  if (dot == String::npos || dot < NameStart(FileName)) return String();
  return FileName.substr(dot);
}

String ChangeFileExt(const String& FileName, const String& Extension) {
  size_t dot = FileName.find_last_of('.');
  if (dot == String::npos || dot < NameStart(FileName)) return FileName + Extension;
  return FileName.substr(0, dot) + Extension;
}

String IncludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && IsPathDelim(S.back())) return S;
  return S + PathDelim;
}

String ExcludeTrailingPathDelimiter(const String& S) {
  if (!S.empty() && IsPathDelim(S.back())) return S.substr(0, S.size() - 1);
  return S;
}

bool FileExists(const String& FileName) {
  struct stat st;
  return !FileName.empty() && ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& Directory) {
  struct stat st;
  return !Directory.empty() && ::stat(Directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const String& Dir) {
  String d = ExcludeTrailingPathDelimiter(Dir);
  if (d.empty()) return Dir == "/";
  if (DirectoryExists(d)) return true;
  String parent = ExtractFileDir(d);
  if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
  return ::mkdir(d.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(d));
}

bool DeleteFile(const String& FileName) { return ::unlink(FileName.c_str()) == 0; }

bool RenameFile(const String& OldName, const String& NewName) {
  return std::rename(OldName.c_str(), NewName.c_str()) == 0;
}

String GetCurrentDir() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return String();
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

String ExpandFileName(const String& FileName) {
  String path = FileName;
  for (char& ch : path)
    if (ch == '\\') ch = '/';
  if (path.empty() || path[0] != '/') path = IncludeTrailingPathDelimiter(GetCurrentDir()) + path;
  std::vector<String> parts;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == String::npos) j = path.size();
    String part = path.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  String r;
  for (const String& part : parts) r += "/" + part;
  if (r.empty() || (!path.empty() && path.back() == '/' && path.size() > 1)) r += "/";
  return r;
}

String ParamStr(Integer Index) {
  if (Index < 0) return String();
  if (Index == 0) {
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    return n > 0 ? String(buf.data(), static_cast<size_t>(n)) : String();
  }
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  String arg;
  for (Integer i = 0; std::getline(cmdline, arg, '\0'); ++i)
    if (i == Index) return arg;
  return String();
}

String ApplicationExeName() { return ParamStr(0); }
