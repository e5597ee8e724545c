// General routines of the framework: ";"-separated field strings, variant
// comparison and text, the display-value formatter, keyboard-layout helpers
// for accelerators, file lookup and file kinds, the bitmap names of the
// shared image list, and the unit's copy of the locale's format settings.
#pragma once

#include <vector>

#include "platform/gui/Messages.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

// Initialization loads AppFormatSettings and GenitiveMonthNames;
// finalization clears them.
extern const TUnit unit_B_PF;

// Bitmap names of the shared image list (";"-lists name several frames).
inline constexpr char IM_BTN_DOWN[] = "IM_BTN_DOWN";
inline constexpr char IM_CHECK[] = "IM_CHECK;IM_CHECK_1;IM_CHECK_2;IM_CHECK_3";
inline constexpr char IM_RADIO[] = "IM_RADIO;IM_RADIO_1;IM_RADIO_2;IM_RADIO_3";
inline constexpr char IM_DATE[] = "IM_DATE";
inline constexpr char IM_OPEN[] = "IM_OPEN";
inline constexpr char IM_CLEAR[] = "IM_CLEAR";
inline constexpr char IM_CUT[] = "IM_CUT";
inline constexpr char IM_TREE[] = "IM_TREE";
inline constexpr char IM_Calc[] = "IM_Calc";
inline constexpr char IM_New[] = "IM_New";
inline constexpr char IM_REPEAT[] = "IM_REPEAT";
inline constexpr char IM_BTN_DOWNMEM[] = "IM_BTN_DOWNMEM";
inline constexpr char IM_BOOK_OPEN[] = "IM_BOOK_OPEN";

// Format settings of the user's locale, read once at start; FormatValue
// formats with them.
extern TFormatSettings AppFormatSettings;
// Month names in the genitive case ("января"), January first.
extern String GenitiveMonthNames[12];

// ---------------------------------------------------------------------------
// Field strings: items separated by ";", numbered from 0, each trimmed of
// characters at or below the blank. A final ";" opens no empty last item
// ("a;b;" has two items); a leading ";" gives an empty first item.

// Item number Index; "" when Index is negative or past the last item.
String GetListItem(const String& List, Integer Index);
// All items, in order.
std::vector<String> GetListItems(const String& List);
// Searches the items for Text, ignoring case under the user's locale (with
// UpperFirst both are upper-cased under the locale first). A negative Index
// -n on entry skips the first n items. Returns whether found; Index is the
// item's number (counted from item 0) or -1.
bool FindListItem(const String& List, const String& Text, bool UpperFirst, Integer& Index);
// The items without repeats (compared as in FindListItem, the first one
// kept, order kept) joined by ";"; a text without ";" is returned as it is.
String RemoveDuplicateItems(const String& List);
// Replaces OldChar by NewChar from the left, at most Count times (0: every
// one); returns the number replaced.
Word ReplaceChar(String& S, char OldChar, char NewChar, Word Count);

// ---------------------------------------------------------------------------
// Variant values

bool VarIsArrayValue(const Variant& V);
// Empty, Null, or an empty String or WideString.
bool VarIsBlank(const Variant& V);
// Same types: variant equality. Different types with a text on either side:
// both written by ConstArrayToStr and compared exactly. Otherwise variant
// equality with its conversions.
bool VarEqualsScalar(const Variant& A, const Variant& B);
// Blank values count as Null (two blanks are equal). Two arrays: their
// elements in order from each array's own low bound, pairwise over the
// shorter one (compared by VarEquals), so an array without elements equals
// every array; an array against a scalar: its first element (an array
// without elements equals no scalar).
bool VarEquals(const Variant& A, const Variant& B);

// The arguments as text, without separators: integers in decimal, Booleans
// "T"/"F", characters and texts as they are (wide ones in UTF-8), floats by
// FloatToStr, currency by CurrToStr, objects by their class name, variants
// by AppendVariantText and variant arrays as their elements (first
// dimension, low to high), each preceded by a blank when the text so far is
// not empty. Pointers add nothing.
String ConstArrayToStr(TVarRecs Args);
inline String ConstArrayToStr(std::initializer_list<TVarRec> Args) { return ConstArrayToStr(ToVarRecs(Args)); }
// Appends V's text: Null adds nothing, dates DateTimeToStr, other values
// their text; a conversion that fails appends the error message instead.
void AppendVariantText(const Variant& V, String& Result);

// ---------------------------------------------------------------------------
// Display values

// True when every character is a blank, "+", ",", "-", ".", a digit, "E" or
// "e" (so also for "").
bool IsNumberText(const String& S);

// Formats Value, or the elements of a variant array (first dimension), by
// Format. Characters other than "%" are copied. A directive is
//   "%" [number ":"] ["-"] [width] ["." precision] ['text' | "text"]... letter
// (digits, "-", "." and quoted text may come in any order). The number picks
// a value (0-based; past the values gives nothing); without it the next
// value is taken (nothing once they are used up). Letters:
//   s S  the value as text (ConstArrayToStr), "-"/width/precision as Format;
//   n N  a number with thousand separators, precision = decimals (none: 0);
//   f F  the same without thousand separators;
//   t T  a date and time: the quoted text is its FormatDateTime pattern
//        (none: "c"); a value that is no date gives "".
// Numbers: blank values are 0, texts are read with AppFormatSettings when
// IsNumberText accepts them, else 0; quoted text is placed before or after
// the number as written; width pads the whole directive as Format does.
// A digit right after a number directive trims it: 0 drops trailing zeros
// of the fraction; 1 makes a text of only blanks, ",", "." and "0" empty;
// 2 drops an all-zero fraction and makes an all-zero text empty; 3 is 1 and
// then shows "---" for an empty text. After a text directive only 3 is read.
// Any other character ends a directive: its text is copied and copying goes
// on from that character; so is a directive cut short by the end of Format.
// An empty Format is one "%S" per value, separated by blanks.
String FormatValue(const String& Format, const Variant& Value);

// ---------------------------------------------------------------------------
// Keyboard layout

// The character on the same key of the US layout as the Russian-layout
// letter C: upper-case letters give upper-case Latin letters (А -> F, Я -> Z),
// lower-case ones lower-case letters; the letters on punctuation keys give
// the unshifted punctuation for both cases (Б ",", Ж ";", Х "[", Ъ "]",
// Э "'", Ю "."), Ё and ё "`". Other characters are returned unchanged.
WideChar CyrillicToLatinKey(WideChar C);
// CyrillicToLatinKey on every character of a UTF-8 text.
String CyrillicToLatinKeys(const String& S);
// True when CharCode is the caption's hot key (the character after a single
// "&"; "&&" is a literal "&") in either keyboard layout: both are mapped by
// CyrillicToLatinKeys and upper-cased under the locale before comparing.
bool IsAccelKey(WideChar CharCode, const String& Caption);

// ---------------------------------------------------------------------------
// Controls

// True when the window under the mouse cursor is Wnd.
bool IsCursorOverWindow(HWND Wnd);
// Asks a control to repaint; for a windowed control also every child, and
// the children of windowed children recursively. Nothing for nullptr or an
// object that is not a control.
void InvalidateControlTree(TObject* Control);
// For a windowed control: focuses its first child in tab order that can take
// the focus, and returns true; otherwise false.
bool SelectFirstControl(TObject* Control);

// ---------------------------------------------------------------------------
// Files

// Searches for the file part of FileName in Dir, or, when Dir is empty,
// along the default search path: the program's directory, the current
// directory, then the directories of PATH. A name is found in a directory
// ignoring ASCII case when no entry has it exactly, as the design's file
// names are case-blind. Returns the full path or "".
String SearchFilePath(const String& Dir, const String& FileName);
// FileName itself when it names an existing entry (file, directory, hidden
// entry; wildcards allowed); otherwise SearchFilePath("", FileName).
String ResolveFilePath(const String& FileName);
// By the upper-cased extension: ".EXE" 1, ".DLL" 2, ".BMP" 3, ".ICO" 4,
// ".EMF" 5, ".WMF" 6, ".JPG" 7, ".JEPG" 8, ".WAV" 9, ".MPL" 10, else 0.
Integer GetFileKind(const String& FileName);
