#include "platform/rtl/Locale.h"

#include <QCollator>
#include <QLocale>
#include <QString>

namespace {

QString Q(const String& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
QString Q(const WideString& s) {
  return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}
String U8(const QString& s) {
  QByteArray b = s.toUtf8();
  return String(b.constData(), static_cast<size_t>(b.size()));
}
WideString U16(const QString& s) {
  return WideString(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

QLocale UserLocale() { return QLocale::system(); }

// Qt collates the C/POSIX locale by code point, which puts "ё" after "я" and
// ignores the language entirely; there the language-neutral ICU order (that
// of "en_US") is used instead.
QLocale CollationLocale() {
  QLocale user = UserLocale();
  if (user.language() == QLocale::C) return QLocale(QLocale::English, QLocale::UnitedStates);
  return user;
}

QCollator& Collator(bool ignoreCase) {
  thread_local QCollator sensitive = [] {
    QCollator c(CollationLocale());
    c.setCaseSensitivity(Qt::CaseSensitive);
    return c;
  }();
  thread_local QCollator insensitive = [] {
    QCollator c(CollationLocale());
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return ignoreCase ? insensitive : sensitive;
}

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

int AnsiCompareStr(const String& S1, const String& S2) {
  if (S1 == S2) return 0;
  return Sign(Collator(false).compare(Q(S1), Q(S2)));
}

int AnsiCompareText(const String& S1, const String& S2) {
  if (S1 == S2) return 0;
  return Sign(Collator(true).compare(Q(S1), Q(S2)));
}

int WideCompareStr(const WideString& S1, const WideString& S2) {
  if (S1 == S2) return 0;
  return Sign(Collator(false).compare(Q(S1), Q(S2)));
}

int WideCompareText(const WideString& S1, const WideString& S2) {
  if (S1 == S2) return 0;
  return Sign(Collator(true).compare(Q(S1), Q(S2)));
}

String AnsiUpperCase(const String& S) { return U8(UserLocale().toUpper(Q(S))); }
String AnsiLowerCase(const String& S) { return U8(UserLocale().toLower(Q(S))); }
WideString WideUpperCase(const WideString& S) { return U16(UserLocale().toUpper(Q(S))); }
WideString WideLowerCase(const WideString& S) { return U16(UserLocale().toLower(Q(S))); }

WideString Utf8ToWide(const String& S) { return U16(Q(S)); }
String WideToUtf8(const WideString& S) { return U8(Q(S)); }

std::u32string Utf8ToUtf32(const String& S) {
  QList<uint> ucs = Q(S).toUcs4();
  return std::u32string(ucs.begin(), ucs.end());
}

String Utf32ToUtf8(const std::u32string& S) {
  return U8(QString::fromUcs4(S.data(), static_cast<qsizetype>(S.size())));
}

String CollationLocaleName() { return U8(Collator(false).locale().name()); }
