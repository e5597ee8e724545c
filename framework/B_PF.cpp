#include "framework/B_PF.h"

#include <glob.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/gui/Controls.h"
#include "platform/rtl/Locale.h"

TFormatSettings AppFormatSettings;
String GenitiveMonthNames[12];

namespace {

void InitB_PF() {
  AppFormatSettings = GetLocaleFormatSettings();
  // The first four are stored with the Latin letter "p" in place of the
  // Cyrillic "р"; they are kept exactly so.
  static const char* const kNames[12] = {
      "янва" "\x70" "я", "фев" "\x70" "аля", "ма" "\x70" "та", "ап" "\x70" "еля",
      "мая", "июня", "июля", "августа", "сентября", "октября", "ноября", "декабря",
  };
  for (int i = 0; i < 12; ++i) GenitiveMonthNames[i] = kNames[i];
}

void FinalB_PF() {
  AppFormatSettings = TFormatSettings();
  for (String& name : GenitiveMonthNames) name.clear();
}

constexpr const TUnit* kUses[] = {&unit_SysUtils};

}  // namespace

constinit const TUnit unit_B_PF("B_PF", kUses, InitB_PF, FinalB_PF);

// ===========================================================================
// Field strings

std::vector<String> GetListItems(const String& List) {
  std::vector<String> items;
  size_t start = 0;
  while (start < List.size()) {
    size_t p = List.find(';', start);
    if (p == String::npos) p = List.size();
    items.push_back(Trim(List.substr(start, p - start)));
    start = p + 1;
  }
  return items;
}

namespace {

bool SameItem(const String& a, const String& b) { return AnsiCompareText(a, b) == 0; }

// Appends Item to the kept items unless an equal one is there.
void AddUniqueItem(std::vector<String>& kept, const String& item) {
  for (const String& k : kept)
    if (SameItem(k, item)) return;
  kept.push_back(item);
}

}  // namespace

String GetListItem(const String& List, Integer Index) {
  if (Index < 0) return String();
  std::vector<String> items = GetListItems(List);
  return static_cast<size_t>(Index) < items.size() ? items[static_cast<size_t>(Index)] : String();
}

bool FindListItem(const String& List, const String& Text, bool UpperFirst, Integer& Index) {
  int64_t skip = Index < 0 ? -static_cast<int64_t>(Index) : 0;
  std::vector<String> items = GetListItems(List);
  String key = UpperFirst ? AnsiUpperCase(Text) : Text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (static_cast<int64_t>(i) < skip) continue;
    if (SameItem(UpperFirst ? AnsiUpperCase(items[i]) : items[i], key)) {
      Index = static_cast<Integer>(i);
      return true;
    }
  }
  Index = -1;
  return false;
}

String RemoveDuplicateItems(const String& List) {
  if (List.find(';') == String::npos) return List;
  std::vector<String> kept;
  for (const String& item : GetListItems(List)) AddUniqueItem(kept, item);
  String result;
  for (size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) result += ';';
    result += kept[i];
  }
  return result;
}

Word ReplaceChar(String& S, char OldChar, char NewChar, Word Count) {
  Word replaced = 0;
  for (char& ch : S) {
    if (Count != 0 && replaced >= Count) break;
    if (ch == OldChar) {
      ch = NewChar;
      ++replaced;
    }
  }
  return replaced;
}

// ===========================================================================
// Variant values

bool VarIsArrayValue(const Variant& V) { return VarIsArray(V); }

bool VarIsBlank(const Variant& V) {
  switch (V.VarType()) {
    case varEmpty:
    case varNull: return true;
    case varString:
    case varOleStr: return VarToStr(V).empty();
    default: return false;
  }
}

bool VarEqualsScalar(const Variant& A, const Variant& B) {
  if (A.VarType() == B.VarType()) return A == B;
  if (VarIsStr(A) || VarIsStr(B)) return ConstArrayToStr({A}) == ConstArrayToStr({B});
  return A == B;
}

namespace {

Integer ElementCount(const Variant& A) { return VarArrayHighBound(A, 1) - VarArrayLowBound(A, 1) + 1; }

// Element k (0-based) of the first dimension.
Variant ElementAt(const Variant& A, Integer k) { return VarArrayGet(A, VarArrayLowBound(A, 1) + k); }

}  // namespace

bool VarEquals(const Variant& A, const Variant& B) {
  const Variant a = VarIsBlank(A) ? Null() : A;
  const Variant b = VarIsBlank(B) ? Null() : B;
  bool arrayA = VarIsArray(a), arrayB = VarIsArray(b);
  if (!arrayA && !arrayB) return VarEqualsScalar(a, b);
  if (arrayA && arrayB) {
    // Over the shorter array: one without elements equals every array.
    Integer n = std::min(ElementCount(a), ElementCount(b));
    for (Integer k = 0; k < n; ++k)
      if (!VarEquals(ElementAt(a, k), ElementAt(b, k))) return false;
    return true;
  }
  const Variant& array = arrayA ? a : b;
  if (ElementCount(array) <= 0) return false;
  return VarEquals(ElementAt(array, 0), arrayA ? b : a);
}

namespace {

void AppendValue(const Variant& V, String& result) {
  if (!VarIsArray(V)) {
    AppendVariantText(V, result);
    return;
  }
  for (Integer i = VarArrayLowBound(V, 1), high = VarArrayHighBound(V, 1); i <= high; ++i) {
    if (!result.empty()) result += ' ';
    AppendValue(VarArrayGet(V, i), result);
  }
}

}  // namespace

void AppendVariantText(const Variant& V, String& Result) {
  if (VarIsNull(V)) return;
  try {
    Result += V.VarType() == varDate ? DateTimeToStr(V.AsDateTime()) : VarToStr(V);
  } catch (const Exception& e) {
    Result += e.Message();
  }
}

String ConstArrayToStr(TVarRecs Args) {
  String result;
  for (const TVarRec& a : Args) {
    switch (a.VType) {
      case TVarRec::vtInteger: result += IntToStr(a.VInteger); break;
      case TVarRec::vtInt64: result += IntToStr(Int64{a.VInt64}); break;
      case TVarRec::vtBoolean: result += a.VBoolean ? 'T' : 'F'; break;
      case TVarRec::vtChar: result += a.VChar; break;
      case TVarRec::vtWideChar: result += WideToUtf8(WideString(1, a.VWideChar)); break;
      case TVarRec::vtExtended: result += FloatToStr(a.VExtended); break;
      case TVarRec::vtPChar: if (a.VPChar) result += a.VPChar; break;
      case TVarRec::vtAnsiString: result += *a.VAnsiString; break;
      case TVarRec::vtWideString: result += WideToUtf8(*a.VWideString); break;
      case TVarRec::vtObject: if (a.VObject) result += a.VObject->ClassName(); break;
      case TVarRec::vtCurrency: result += CurrToStr(*a.VCurrency); break;
      case TVarRec::vtVariant: AppendValue(*a.VVariant, result); break;
      case TVarRec::vtPointer: break;
    }
  }
  return result;
}

// ===========================================================================
// Display values

bool IsNumberText(const String& S) {
  return S.find_first_not_of(" +,-.0123456789Ee") == String::npos;
}

namespace {

// The parts of one FormatValue directive.
struct TDirective {
  bool Left = false;
  Integer Width = 0;
  bool HasPrecision = false;
  Integer Precision = 0;
  bool SeenNumber = false;  // a digit, "-" or "." was read
  String Before, After;     // quoted texts around the number part
  String Text;              // directive text after "%" without quoted text
  void Reset() { *this = TDirective(); }
};

Integer Saturate(Integer v, char digit) { return std::min(v * 10 + (digit - '0'), 10000); }

String Pad(const String& text, const TDirective& d) {
  if (d.Width <= 0) return text;
  return Format(d.Left ? "%-*s" : "%*s", {d.Width, text});
}

// Number from a text as the number directive reads it.
double TextToNumber(const String& s) {
  if (!IsNumberText(s)) return 0;
  double x;
  if (TryStrToFloat(s, x, AppFormatSettings)) return x;
  String compact;
  for (char ch : s)
    if (ch != ' ' && ch != AppFormatSettings.ThousandSeparator) compact += ch;
  if (TryStrToFloat(compact, x, AppFormatSettings)) return x;
  return 0;  // "-", "1-2": accepted characters, but no number
}

double ValueToNumber(const Variant* v) {
  if (v == nullptr || VarIsBlank(*v)) return 0;
  if (VarIsStr(*v)) return TextToNumber(VarToStr(*v));
  try {
    return v->AsDouble();
  } catch (const EVariantError&) {
    return 0;
  }
}

bool OnlyZeroChars(const String& s) {
  const TFormatSettings& fs = AppFormatSettings;
  for (char ch : s)
    if (ch != ' ' && ch != ',' && ch != '.' && ch != '0' && ch != fs.DecimalSeparator && ch != fs.ThousandSeparator)
      return false;
  return true;
}

// Applies a trimming digit to a formatted number.
String TrimNumber(String n, char digit) {
  const char sep = AppFormatSettings.DecimalSeparator;
  size_t point = n.find(sep);
  switch (digit) {
    case '0':
      if (point != String::npos) {
        while (n.size() > point + 1 && n.back() == '0') n.pop_back();
        if (n.size() == point + 1) n.pop_back();
      }
      break;
    case '2':
      if (point != String::npos && n.find_first_not_of('0', point + 1) == String::npos) n.resize(point);
      if (OnlyZeroChars(n)) n.clear();
      break;
    default:  // '1' and '3'
      if (OnlyZeroChars(n)) n.clear();
      break;
  }
  return n;
}

String NumberDirective(const TDirective& d, char letter, const Variant* v, char trim) {
  String n;
  if (v != nullptr) {
    String pattern = letter == 'n' ? "#,##0" : "0";
    if (d.HasPrecision && d.Precision > 0) pattern += "." + String(static_cast<size_t>(std::min(d.Precision, 18)), '0');
    n = FormatFloat(pattern, ValueToNumber(v), AppFormatSettings);
  }
  if (trim) n = TrimNumber(n, trim);
  if (n.empty()) return trim == '3' ? "---" : "";
  return d.Before + n + d.After;
}

String DateDirective(const TDirective& d, const Variant* v) {
  if (v == nullptr || VarIsBlank(*v)) return String();
  TDateTime dt;
  if (VarIsStr(*v)) {
    if (!TryStrToDateTime(VarToStr(*v), dt, AppFormatSettings)) return String();
  } else {
    try {
      dt = v->AsDateTime();
    } catch (const EVariantError&) {
      return String();
    }
  }
  String pattern = d.Before + d.After;
  try {
    return FormatDateTime(pattern.empty() ? "c" : pattern, dt, AppFormatSettings);
  } catch (const EConvertError&) {
    return String();  // outside the calendar
  }
}

String TextDirective(const TDirective& d, const Variant* v, bool dashes) {
  String text = v ? ConstArrayToStr({*v}) : String();
  if (d.HasPrecision) text = Format("%.*s", {d.Precision, text});
  if (dashes && text.empty()) text = "---";
  return text;
}

}  // namespace

String FormatValue(const String& Fmt, const Variant& Value) {
  std::vector<Variant> values;
  if (VarIsArray(Value)) {
    for (Integer i = VarArrayLowBound(Value, 1), high = VarArrayHighBound(Value, 1); i <= high; ++i)
      values.push_back(VarArrayGet(Value, i));
  } else {
    values.push_back(Value);
  }
  String fmt = Fmt;
  if (fmt.empty()) {
    for (size_t k = 0; k < values.size(); ++k) fmt += k == 0 ? "%S" : " %S";
  }

  String out;
  size_t next = 0;  // running value position
  size_t i = 0;
  while (i < fmt.size()) {
    if (fmt[i] != '%') {
      out += fmt[i++];
      continue;
    }
    const size_t start = i++;
    TDirective d;
    Integer number = -1;
    bool afterPoint = false;
    char letter = 0;
    while (i < fmt.size() && letter == 0) {
      char ch = fmt[i];
      if (ch >= '0' && ch <= '9') {
        d.Text += ch;
        d.SeenNumber = true;
        if (afterPoint) {
          d.HasPrecision = true;
          d.Precision = Saturate(d.Precision, ch);
        } else {
          d.Width = Saturate(d.Width, ch);
        }
        ++i;
      } else if (ch == ':') {
        number = StrToIntDef(d.Text, -1);
        d.Reset();
        afterPoint = false;
        ++i;
      } else if (ch == '-' || ch == '.') {
        d.Text += ch;
        d.SeenNumber = true;
        if (ch == '-') d.Left = true;
        else if (!afterPoint) afterPoint = d.HasPrecision = true;
        ++i;
      } else if (ch == '"' || ch == '\'') {
        String quoted;
        size_t j = i + 1;
        while (j < fmt.size()) {
          if (fmt[j] == ch) {
            if (j + 1 < fmt.size() && fmt[j + 1] == ch) {
              quoted += ch;
              j += 2;
              continue;
            }
            break;
          }
          quoted += fmt[j++];
        }
        if (j >= fmt.size()) {  // unterminated: the format ends inside the directive
          i = fmt.size();
          break;
        }
        (d.SeenNumber ? d.After : d.Before) += quoted;
        i = j + 1;
      } else if (std::string_view("sSnNfFtT").find(ch) != std::string_view::npos) {
        letter = static_cast<char>(ch | 0x20);
        ++i;
      } else {
        break;
      }
    }
    if (letter == 0) {  // not a directive: copied as text
      out.append(fmt, start, i - start);
      continue;
    }

    const Variant* v = nullptr;
    if (number >= 0) {
      if (static_cast<size_t>(number) < values.size()) v = &values[static_cast<size_t>(number)];
    } else if (next < values.size()) {
      v = &values[next++];
    }

    String text;
    if (letter == 's') {
      bool dashes = i < fmt.size() && fmt[i] == '3';
      if (dashes) ++i;
      text = TextDirective(d, v, dashes);
    } else if (letter == 'n' || letter == 'f') {
      char trim = 0;
      if (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '3') trim = fmt[i++];
      text = NumberDirective(d, letter, v, trim);
    } else {
      text = DateDirective(d, v);
    }
    out += Pad(text, d);
  }
  return out;
}

// ===========================================================================
// Keyboard layout

WideChar CyrillicToLatinKey(WideChar C) {
  // The US-layout key of each letter А..Я (and а..я) of the Russian layout.
  static constexpr char kKeys[] = "F,DULT;PBQRKVYJGHCNEA[WXIO]SM'.Z";
  if (C >= u'А' && C <= u'Я') return static_cast<WideChar>(kKeys[C - u'А']);
  if (C >= u'а' && C <= u'я') {
    char key = kKeys[C - u'а'];
    return static_cast<WideChar>(key >= 'A' && key <= 'Z' ? key + 32 : key);
  }
  if (C == u'Ё' || C == u'ё') return u'`';
  return C;
}

String CyrillicToLatinKeys(const String& S) {
  WideString w = Utf8ToWide(S);
  for (WideChar& ch : w) ch = CyrillicToLatinKey(ch);
  return WideToUtf8(w);
}

bool IsAccelKey(WideChar CharCode, const String& Caption) {
  WideString caption = Utf8ToWide(Caption);
  WideString hot;
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;  // "&&" is a literal "&"
      continue;
    }
    hot = caption.substr(i + 1, 1);
    break;
  }
  if (hot.empty()) return false;
  return AnsiUpperCase(CyrillicToLatinKeys(WideToUtf8(hot))) ==
         AnsiUpperCase(CyrillicToLatinKeys(WideToUtf8(WideString(1, CharCode))));
}

// ===========================================================================
// Files

String SearchFilePath(const String& Dir, const String& FileName) {
  const String name = ExtractFileName(FileName);
  if (name.empty()) return String();
  auto look = [&name](const String& dir) -> String {
    String folder = IncludeTrailingPathDelimiter(dir.empty() ? GetCurrentDir() : dir);
    if (FileExists(folder + name)) return ExpandFileName(folder + name);
    // The design's file names are case-blind ("B_LIB.DLL" is "B_Lib.DLL").
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      String entry_name = entry.path().filename().string();
      if (SameText(entry_name, name) && entry.is_regular_file(ec)) return ExpandFileName(folder + entry_name);
    }
    return String();
  };
  if (!Dir.empty()) return look(Dir);
  std::vector<String> dirs = {ExtractFileDir(ParamStr(0)), GetCurrentDir()};
  if (const char* path = std::getenv("PATH")) {
    String list = path;
    size_t start = 0;
    while (start <= list.size()) {
      size_t p = list.find(':', start);
      if (p == String::npos) p = list.size();
      dirs.push_back(list.substr(start, p - start));
      start = p + 1;
    }
  }
  for (const String& dir : dirs) {
    String found = look(dir);
    if (!found.empty()) return found;
  }
  return String();
}

String ResolveFilePath(const String& FileName) {
  if (!FileName.empty()) {
    glob_t g{};
    int rc = glob(FileName.c_str(), GLOB_PERIOD | GLOB_NOSORT, nullptr, &g);
    bool found = rc == 0 && g.gl_pathc > 0;
    globfree(&g);
    if (found) return FileName;
  }
  return SearchFilePath("", FileName);
}

Integer GetFileKind(const String& FileName) {
  static const char* const kExtensions[] = {".EXE", ".DLL", ".BMP", ".ICO", ".EMF",
                                            ".WMF", ".JPG", ".JEPG", ".WAV", ".MPL"};
  String ext = UpperCase(ExtractFileExt(FileName));
  for (Integer i = 0; i < 10; ++i)
    if (ext == kExtensions[i]) return i + 1;
  return 0;
}

// ---------------------------------------------------------------------------
// Controls

bool IsCursorOverWindow(HWND Wnd) { return Wnd != nullptr && WindowFromPoint(GetCursorPos()) == Wnd; }

void InvalidateControlTree(TObject* Control) {
  auto* control = dynamic_cast<TControl*>(Control);
  if (control == nullptr) return;
  control->Invalidate();
  if (auto* win = dynamic_cast<TWinControl*>(control)) {
    for (int i = 0; i < win->ControlCount(); ++i) InvalidateControlTree(win->Controls(i));
  }
}

bool SelectFirstControl(TObject* Control) {
  auto* win = dynamic_cast<TWinControl*>(Control);
  if (win == nullptr) return false;
  for (TWinControl* child : win->TabList()) {
    if (child->TabStop() && child->CanFocus()) {
      child->SetFocus();
      break;
    }
  }
  return true;
}
