// Format settings from a locale (QLocale).
#include <QLocale>
#include <QString>

#include "platform/rtl/SysUtils.h"

namespace {

String U8(const QString& s) {
  QByteArray b = s.toUtf8();
  return String(b.constData(), static_cast<size_t>(b.size()));
}

// A one-byte separator: the locale's ASCII character; no-break and narrow
// spaces become a blank; anything else keeps the fallback.
char SeparatorChar(const QString& s, char fallback) {
  if (s.isEmpty()) return fallback;
  char16_t ch = s.at(0).unicode();
  if (ch == 0x00A0 || ch == 0x202F || ch == 0x2009) return ' ';
  return ch < 0x80 ? static_cast<char>(ch) : fallback;
}

// Translates a Qt date/time pattern to this library's specifiers. Quoted
// text stays quoted; Qt's "M" (month) becomes "m", its "m" (minute) "n", its
// "H" "h", "ap"/"AP" "am/pm"/"AM/PM"; time zones ("t") are dropped with the
// blank before them.
String TranslatePattern(const QString& pattern) {
  String out;
  const qsizetype n = pattern.size();
  for (qsizetype i = 0; i < n;) {
    QChar ch = pattern.at(i);
    qsizetype run = 1;
    while (i + run < n && pattern.at(i + run) == ch) ++run;
    switch (ch.unicode()) {
      case '\'': {
        qsizetype end = pattern.indexOf(u'\'', i + 1);
        if (end < 0) end = n;
        if (end == i + 1) {
          out += "\"'\"";  // '' is a literal quote
        } else {
          out += '\'' + U8(pattern.mid(i + 1, end - i - 1)) + '\'';
        }
        i = end + 1;
        continue;
      }
      case 'M': out += String(static_cast<size_t>(std::min<qsizetype>(run, 4)), 'm'); break;
      case 'm': out += String(static_cast<size_t>(std::min<qsizetype>(run, 2)), 'n'); break;
      case 'H':
      case 'h': out += String(static_cast<size_t>(std::min<qsizetype>(run, 2)), 'h'); break;
      case 'd':
      case 'y':
      case 's':
      case 'z': out += String(static_cast<size_t>(run), static_cast<char>(ch.unicode())); break;
      case 'a':
        out += "am/pm";
        if (i + 1 < n && pattern.at(i + 1) == u'p') ++run;
        break;
      case 'A':
        out += "AM/PM";
        if (i + 1 < n && pattern.at(i + 1) == u'P') ++run;
        break;
      case 't':
        while (!out.empty() && out.back() == ' ') out.pop_back();
        break;
      default:
        if (ch.unicode() < 0x80 && ch.isLetter()) {
          // Other Qt letters have no equivalent here: keep them as text.
          out += '"' + U8(pattern.mid(i, run)) + '"';
        } else {
          out += U8(pattern.mid(i, run));
        }
        break;
    }
    i += run;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The first separator character between the fields of a pattern.
char PatternSeparator(const QString& pattern, char fallback) {
  bool quoted = false;
  for (QChar ch : pattern) {
    if (ch == u'\'') quoted = !quoted;
    else if (!quoted && !ch.isLetter() && !ch.isSpace()) return SeparatorChar(QString(ch), fallback);
  }
  return fallback;
}

TFormatSettings FromLocale(const QLocale& locale) {
  TFormatSettings fs;
  if (locale.language() == QLocale::C) return fs;
  fs.DecimalSeparator = SeparatorChar(locale.decimalPoint(), '.');
  fs.ThousandSeparator = SeparatorChar(locale.groupSeparator(), fs.DecimalSeparator == ',' ? ' ' : ',');
  fs.ListSeparator = fs.DecimalSeparator == ',' ? ';' : ',';
  fs.CurrencyString = U8(locale.currencySymbol(QLocale::CurrencySymbol));
  fs.CurrencyDecimals = 2;

  // Currency placement read from how the locale writes 1 and -1.
  QString sym = locale.currencySymbol(QLocale::CurrencySymbol);
  if (!sym.isEmpty()) {
    QString pos = locale.toCurrencyString(1.0), neg = locale.toCurrencyString(-1.0);
    QString num = locale.toString(1.0, 'f', 2);
    auto spaced = [](const QString& s, qsizetype at) {
      return at >= 0 && at < s.size() && s.at(at).isSpace();
    };
    qsizetype symAt = pos.indexOf(sym), numAt = pos.indexOf(num);
    if (symAt >= 0 && numAt >= 0) {
      bool symFirst = symAt < numAt;
      bool space = symFirst ? spaced(pos, symAt + sym.size()) : spaced(pos, numAt + num.size());
      fs.CurrencyFormat = static_cast<Byte>(symFirst ? (space ? 2 : 0) : (space ? 3 : 1));
    }
    qsizetype nSym = neg.indexOf(sym), nNum = neg.indexOf(num), nMinus = neg.indexOf(u'-');
    if (nMinus < 0) nMinus = neg.indexOf(QChar(0x2212));
    bool paren = neg.startsWith(u'(');
    if (nSym >= 0 && nNum >= 0) {
      bool symFirst = nSym < nNum;
      bool space = symFirst ? spaced(neg, nSym + sym.size()) || spaced(neg, nMinus + 1)
                            : spaced(neg, nNum + num.size()) || spaced(neg, nSym - 1);
      Byte f;
      if (paren) {
        f = symFirst ? (space ? 14 : 0) : (space ? 15 : 4);
      } else if (symFirst) {
        if (nMinus >= 0 && nMinus < nSym) f = space ? 9 : 1;
        else if (nMinus >= 0 && nMinus < nNum) f = space ? 12 : 2;
        else f = space ? 11 : 3;
      } else {
        if (nMinus >= 0 && nMinus < nNum) f = space ? 8 : 5;
        else if (nMinus >= 0 && nMinus < nSym) f = space ? 13 : 6;
        else f = space ? 10 : 7;
      }
      fs.NegCurrFormat = f;
    }
  }

  QString shortDate = locale.dateFormat(QLocale::ShortFormat);
  QString shortTime = locale.timeFormat(QLocale::ShortFormat);
  fs.DateSeparator = PatternSeparator(shortDate, '/');
  fs.TimeSeparator = PatternSeparator(shortTime, ':');
  fs.ShortDateFormat = TranslatePattern(shortDate);
  fs.LongDateFormat = TranslatePattern(locale.dateFormat(QLocale::LongFormat));
  fs.ShortTimeFormat = TranslatePattern(shortTime);
  fs.LongTimeFormat = TranslatePattern(locale.timeFormat(QLocale::LongFormat));
  fs.TimeAMString = U8(locale.amText());
  fs.TimePMString = U8(locale.pmText());
  for (int m = 1; m <= 12; ++m) {
    fs.ShortMonthNames[m - 1] = U8(locale.standaloneMonthName(m, QLocale::ShortFormat));
    fs.LongMonthNames[m - 1] = U8(locale.standaloneMonthName(m, QLocale::LongFormat));
  }
  for (int d = 0; d < 7; ++d) {
    int qtDay = d == 0 ? 7 : d;  // Qt counts Monday = 1 ... Sunday = 7
    fs.ShortDayNames[d] = U8(locale.standaloneDayName(qtDay, QLocale::ShortFormat));
    fs.LongDayNames[d] = U8(locale.standaloneDayName(qtDay, QLocale::LongFormat));
  }
  return fs;
}

}  // namespace

TFormatSettings GetLocaleFormatSettings() { return FromLocale(QLocale::system()); }

TFormatSettings GetLocaleFormatSettings(const String& LocaleName) {
  if (LocaleName == "C" || LocaleName == "POSIX") return TFormatSettings();
  return FromLocale(QLocale(QString::fromUtf8(LocaleName.data(), static_cast<qsizetype>(LocaleName.size()))));
}
