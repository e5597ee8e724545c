// Edit masks: the input pattern of masked edit boxes and of fields' edit
// texts.
//
// A mask is up to three sections separated by ';' (an escaped "\;" does not
// separate): the mask itself, the save-literals flag and the blank character.
// "!99/99/0000;1;_" is a date whose text keeps its separators and whose empty
// places show '_'.
//
//   mask characters (each takes one place of the text)
//     L  a letter, required        l  a letter, optional
//     A  a letter or digit, req.   a  a letter or digit, optional
//     C  any character, required   c  any character, optional
//     0  a digit, required         9  a digit, optional
//     #  a digit or a sign (+ -), optional
//   literals (one place each, never typed over)
//     :  the time separator of the format settings
//     /  the date separator of the format settings
//     _  a space
//     \x the character x itself (any mask or directive character)
//     any other character stands for itself
//   directives (take no place)
//     >  what follows is upper-cased      <  lower-cased
//     <> no case conversion from here     !  optional places blank at the
//                                            start of the text (see Text)
//   second section: '0' drops the literals from Text; anything else (or no
//     section) keeps them
//   third section: its first character is the blank (default '_'); an empty
//     section keeps the default
//
// Texts. The edit text holds one character per place: literals, typed
// characters and blanks. Text is what the control reports: the characters of
// the mask places with the blanks at the end removed (with '!', those at the
// start) and every other blank as a space, and with saved literals the
// literals kept in place (so the Text of an empty date is "  /  /    ").
// Letters are classified by Unicode; digits are '0'-'9'.
//
// Positions are characters (code points) of the edit text, counted from 0.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

enum class TMaskCharKind : uint8_t { Literal, Letter, LetterOrDigit, Any, Digit, DigitOrSign };

// One place of a mask.
struct TMaskPlace {
  TMaskCharKind Kind = TMaskCharKind::Literal;
  bool Required = false;
  char32_t Literal = 0;  // Kind Literal
  int8_t CaseShift = 0;  // 1 upper, -1 lower, 0 none
};

class TEditMask {
 public:
  // No mask: IsMasked is false and the texts pass unchanged.
  TEditMask() = default;
  // Separators ':' and '/' come from Settings at the time of parsing.
  explicit TEditMask(const String& EditMask, const TFormatSettings& Settings = FormatSettings);

  const String& Source() const { return source_; }
  // True when the mask has at least one place.
  bool IsMasked() const { return !places_.empty(); }
  int Length() const { return static_cast<int>(places_.size()); }
  const TMaskPlace& Place(int Pos) const { return places_[static_cast<size_t>(Pos)]; }
  bool IsLiteral(int Pos) const { return Place(Pos).Kind == TMaskCharKind::Literal; }
  bool SaveLiterals() const { return save_literals_; }
  char32_t Blank() const { return blank_; }
  // The '!' directive: optional places are blank at the start.
  bool BlanksFirst() const { return blanks_first_; }

  // The character place Pos stores when Ch is typed there (the place's case
  // shift applied), or 0 when the place does not take Ch. A space typed at
  // an optional place (not C/c) stores the blank.
  char32_t Accept(int Pos, char32_t Ch) const;
  // True when Ch at place Pos counts as not filled in.
  bool IsBlank(int Pos, char32_t Ch) const;
  // The first place >= Pos (<= Pos when backwards) that is not a literal,
  // or -1.
  int NextInput(int Pos) const;
  int PrevInput(int Pos) const;

  // All places empty.
  std::u32string EmptyEditText() const;
  // Edit text -> Text.
  std::u32string TextOf(const std::u32string& EditText) const;
  // Text -> edit text: with saved literals the text is read against the
  // mask (a literal present in the text is taken as that literal; a literal
  // met early ends the field before it, leaving its places blank); without,
  // the characters fill the places in order (with '!' the last places).
  // Spaces become blanks. Characters are kept as given (no case shift, no
  // check: ValidateText finds the ones that do not fit).
  std::u32string EditTextOf(const std::u32string& Text) const;
  // The characters of the mask places, literals left out, the trailing
  // blanks removed (with '!' the leading ones) and the other blanks as
  // spaces (used when the mask changes).
  std::u32string RawOf(const std::u32string& EditText) const;
  // The raw characters placed into the places (the reverse of RawOf).
  std::u32string EditTextOfRaw(const std::u32string& Raw) const;
  // Any text made the length of the mask: literals in their places, other
  // characters kept, missing places blank.
  std::u32string Conform(const std::u32string& EditText) const;
  // The first place that is required and empty, or filled with a character
  // it does not take; -1 when the edit text is complete.
  int ValidateText(const std::u32string& EditText) const;

 private:
  bool Fits(int Pos, char32_t Ch) const;
  std::u32string Fill(char32_t Blank) const;
  std::u32string FromText(const std::u32string& Text, char32_t Blank) const;
  std::u32string FromRaw(const std::u32string& Raw, char32_t Blank) const;

  friend String FormatMaskText(const String& EditMask, const String& Value);

  String source_;
  std::vector<TMaskPlace> places_;
  bool save_literals_ = true;
  char32_t blank_ = U'_';
  bool blanks_first_ = false;
};

// The value in the mask's layout with spaces for blanks (a field's display
// text); the value unchanged without a mask.
String FormatMaskText(const String& EditMask, const String& Value);
