// Locale-aware text comparison and case mapping under the user's locale
// (ICU collation through QtCore). This is the one place the system compares
// texts "with the user's locale"; everything else calls these routines.
// Thread-safe: each thread uses its own collator.
#pragma once

#include "platform/rtl/System.h"

// Collation order under the user's locale: <0, 0 or >0.
int AnsiCompareStr(const String& S1, const String& S2);
// The same, ignoring case (and only case).
int AnsiCompareText(const String& S1, const String& S2);
inline bool AnsiSameStr(const String& S1, const String& S2) { return AnsiCompareStr(S1, S2) == 0; }
inline bool AnsiSameText(const String& S1, const String& S2) { return AnsiCompareText(S1, S2) == 0; }
int WideCompareStr(const WideString& S1, const WideString& S2);
int WideCompareText(const WideString& S1, const WideString& S2);

// Case mapping under the user's locale (Cyrillic included).
String AnsiUpperCase(const String& S);
String AnsiLowerCase(const String& S);
WideString WideUpperCase(const WideString& S);
WideString WideLowerCase(const WideString& S);

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes become U+FFFD.
WideString Utf8ToWide(const String& S);
String WideToUtf8(const WideString& S);
// UTF-8 <-> code points (one element per character).
std::u32string Utf8ToUtf32(const String& S);
String Utf32ToUtf8(const std::u32string& S);

// Name of the collation locale in use ("ru_RU", "en_US"). A C/POSIX
// environment collates in the language-neutral order of "en_US".
String CollationLocaleName();
