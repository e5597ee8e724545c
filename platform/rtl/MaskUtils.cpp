#include "platform/rtl/MaskUtils.h"

#include <QChar>

#include <algorithm>

#include "platform/rtl/Locale.h"

namespace {

bool IsAsciiDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

char32_t Separator(char Sep, char32_t Default) {
  return Sep != 0 ? static_cast<char32_t>(static_cast<unsigned char>(Sep)) : Default;
}

}  // namespace

TEditMask::TEditMask(const String& EditMask, const TFormatSettings& Settings) : source_(EditMask) {
  std::u32string m = Utf8ToUtf32(EditMask);
  // The mask section ends at the first ';' that is not escaped.
  size_t end = m.size();
  for (size_t k = 0; k < m.size(); ++k) {
    if (m[k] == U'\\') {
      ++k;
    } else if (m[k] == U';') {
      end = k;
      break;
    }
  }
  if (end < m.size()) {
    size_t flag = end + 1;
    size_t next = m.find(U';', flag);
    save_literals_ = !(flag < m.size() && m[flag] == U'0');
    if (next != std::u32string::npos && next + 1 < m.size()) blank_ = m[next + 1];
  }

  int8_t shift = 0;
  auto input = [&](TMaskCharKind kind, bool required) { places_.push_back({kind, required, 0, shift}); };
  auto literal = [&](char32_t c) { places_.push_back({TMaskCharKind::Literal, false, c, 0}); };
  for (size_t k = 0; k < end; ++k) {
    char32_t c = m[k];
    switch (c) {
      case U'!': blanks_first_ = true; break;
      case U'>': shift = 1; break;
      case U'<':
        if (k + 1 < end && m[k + 1] == U'>') {
          shift = 0;
          ++k;
        } else {
          shift = -1;
        }
        break;
      case U'\\':
        if (k + 1 < end) ++k;
        literal(m[k]);
        break;
      case U'L': input(TMaskCharKind::Letter, true); break;
      case U'l': input(TMaskCharKind::Letter, false); break;
      case U'A': input(TMaskCharKind::LetterOrDigit, true); break;
      case U'a': input(TMaskCharKind::LetterOrDigit, false); break;
      case U'C': input(TMaskCharKind::Any, true); break;
      case U'c': input(TMaskCharKind::Any, false); break;
      case U'0': input(TMaskCharKind::Digit, true); break;
      case U'9': input(TMaskCharKind::Digit, false); break;
      case U'#': input(TMaskCharKind::DigitOrSign, false); break;
      case U':': literal(Separator(Settings.TimeSeparator, U':')); break;
      case U'/': literal(Separator(Settings.DateSeparator, U'/')); break;
      case U'_': literal(U' '); break;
      default: literal(c); break;
    }
  }
}

bool TEditMask::Fits(int Pos, char32_t Ch) const {
  switch (Place(Pos).Kind) {
    case TMaskCharKind::Literal: return false;
    case TMaskCharKind::Letter: return QChar::isLetter(Ch);
    case TMaskCharKind::LetterOrDigit: return QChar::isLetter(Ch) || IsAsciiDigit(Ch);
    case TMaskCharKind::Any: return Ch >= 32 && Ch != 127;
    case TMaskCharKind::Digit: return IsAsciiDigit(Ch);
    case TMaskCharKind::DigitOrSign: return IsAsciiDigit(Ch) || Ch == U'+' || Ch == U'-';
  }
  return false;
}

char32_t TEditMask::Accept(int Pos, char32_t Ch) const {
  const TMaskPlace& p = Place(Pos);
  if (p.Kind == TMaskCharKind::Literal) return 0;
  if (Ch == U' ' && p.Kind != TMaskCharKind::Any && !p.Required) return blank_;
  if (!Fits(Pos, Ch)) return 0;
  if (p.CaseShift > 0) return QChar::toUpper(Ch);
  if (p.CaseShift < 0) return QChar::toLower(Ch);
  return Ch;
}

bool TEditMask::IsBlank(int Pos, char32_t Ch) const {
  return Ch == blank_ || (Ch == U' ' && Place(Pos).Kind != TMaskCharKind::Any);
}

int TEditMask::NextInput(int Pos) const {
  for (int i = std::max(Pos, 0); i < Length(); ++i) {
    if (!IsLiteral(i)) return i;
  }
  return -1;
}

int TEditMask::PrevInput(int Pos) const {
  for (int i = std::min(Pos, Length() - 1); i >= 0; --i) {
    if (!IsLiteral(i)) return i;
  }
  return -1;
}

std::u32string TEditMask::Fill(char32_t Blank) const {
  std::u32string r(places_.size(), Blank);
  for (size_t i = 0; i < places_.size(); ++i) {
    if (places_[i].Kind == TMaskCharKind::Literal) r[i] = places_[i].Literal;
  }
  return r;
}

std::u32string TEditMask::EmptyEditText() const { return Fill(blank_); }

std::u32string TEditMask::TextOf(const std::u32string& EditText) const {
  if (!IsMasked()) return EditText;
  if (!save_literals_) return RawOf(EditText);
  std::u32string r = Conform(EditText);
  for (int i = 0; i < Length(); ++i) {
    if (!IsLiteral(i) && IsBlank(i, r[static_cast<size_t>(i)])) r[static_cast<size_t>(i)] = U' ';
  }
  return r;
}

std::u32string TEditMask::RawOf(const std::u32string& EditText) const {
  if (!IsMasked()) return EditText;
  std::u32string e = Conform(EditText);
  std::vector<int> at;  // the mask places
  for (int i = 0; i < Length(); ++i) {
    if (!IsLiteral(i)) at.push_back(i);
  }
  size_t first = 0, last = at.size();
  auto blank = [&](size_t k) { return IsBlank(at[k], e[static_cast<size_t>(at[k])]); };
  if (blanks_first_) {
    while (first < last && blank(first)) ++first;
  } else {
    while (last > first && blank(last - 1)) --last;
  }
  std::u32string r;
  for (size_t k = first; k < last; ++k) r += blank(k) ? U' ' : e[static_cast<size_t>(at[k])];
  return r;
}

std::u32string TEditMask::FromRaw(const std::u32string& Raw, char32_t Blank) const {
  std::u32string r = Fill(Blank);
  std::vector<size_t> at;
  for (int i = 0; i < Length(); ++i) {
    if (!IsLiteral(i)) at.push_back(static_cast<size_t>(i));
  }
  size_t n = std::min(Raw.size(), at.size());
  size_t offset = blanks_first_ ? at.size() - n : 0;
  for (size_t j = 0; j < n; ++j) r[at[offset + j]] = Raw[j] == U' ' ? Blank : Raw[j];
  return r;
}

std::u32string TEditMask::EditTextOfRaw(const std::u32string& Raw) const {
  return IsMasked() ? FromRaw(Raw, blank_) : Raw;
}

std::u32string TEditMask::FromText(const std::u32string& Text, char32_t Blank) const {
  if (!save_literals_) return FromRaw(Text, Blank);
  std::u32string r = Fill(Blank);
  size_t j = 0;
  for (int i = 0; i < Length(); ++i) {
    const TMaskPlace& p = Place(i);
    if (p.Kind == TMaskCharKind::Literal) {
      if (j < Text.size() && Text[j] == p.Literal) ++j;
      continue;
    }
    if (j >= Text.size()) break;
    char32_t c = Text[j];
    // The next literal met early ends this field: its places stay blank.
    int k = i + 1;
    while (k < Length() && !IsLiteral(k)) ++k;
    if (k < Length() && c == Place(k).Literal && !Fits(i, c)) continue;
    r[static_cast<size_t>(i)] = c == U' ' ? Blank : c;
    ++j;
  }
  return r;
}

std::u32string TEditMask::EditTextOf(const std::u32string& Text) const {
  return IsMasked() ? FromText(Text, blank_) : Text;
}

std::u32string TEditMask::Conform(const std::u32string& EditText) const {
  if (!IsMasked()) return EditText;
  std::u32string r = EmptyEditText();
  for (size_t i = 0; i < r.size() && i < EditText.size(); ++i) {
    if (places_[i].Kind != TMaskCharKind::Literal) r[i] = EditText[i];
  }
  return r;
}

int TEditMask::ValidateText(const std::u32string& EditText) const {
  for (int i = 0; i < Length(); ++i) {
    if (IsLiteral(i)) continue;
    char32_t c = static_cast<size_t>(i) < EditText.size() ? EditText[static_cast<size_t>(i)] : blank_;
    if (IsBlank(i, c)) {
      if (Place(i).Required) return i;
    } else if (!Fits(i, c)) {
      return i;
    }
  }
  return -1;
}

String FormatMaskText(const String& EditMask, const String& Value) {
  TEditMask mask(EditMask);
  if (!mask.IsMasked()) return Value;
  return Utf32ToUtf8(mask.FromText(Utf8ToUtf32(Value), U' '));
}
