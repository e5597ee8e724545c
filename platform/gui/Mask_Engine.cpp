// TEditEngine: the text, selection and editing rules of the masked edit box.
#include <algorithm>

#include "platform/gui/Mask.h"
#include "platform/rtl/Locale.h"

namespace {

int Utf8Size(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

bool IsSpace(char32_t c) { return c == U' ' || c == U'\t'; }

int PrevWord(const std::u32string& t, int pos) {
  while (pos > 0 && IsSpace(t[static_cast<size_t>(pos - 1)])) --pos;
  while (pos > 0 && !IsSpace(t[static_cast<size_t>(pos - 1)])) --pos;
  return pos;
}

int NextWord(const std::u32string& t, int pos) {
  int n = static_cast<int>(t.size());
  while (pos < n && !IsSpace(t[static_cast<size_t>(pos)])) ++pos;
  while (pos < n && IsSpace(t[static_cast<size_t>(pos)])) ++pos;
  return pos;
}

}  // namespace

// ---------------------------------------------------------------------------
// Texts

int TEditEngine::ByteOffset(int Pos) const {
  Pos = std::clamp(Pos, 0, Length());
  int n = 0;
  for (int i = 0; i < Pos; ++i) n += Utf8Size(text_[static_cast<size_t>(i)]);
  return n;
}

int TEditEngine::CharPos(int Offset) const {
  int n = 0;
  for (int i = 0; i < Length(); ++i) {
    n += Utf8Size(text_[static_cast<size_t>(i)]);
    if (n > Offset) return i;
  }
  return Length();
}

char32_t TEditEngine::CaseOf(char32_t Ch) const {
  if (char_case_ == ecNormal) return Ch;
  std::u32string r = CaseOf(std::u32string(1, Ch));
  return r.size() == 1 ? r[0] : Ch;
}

std::u32string TEditEngine::CaseOf(const std::u32string& S) const {
  if (char_case_ == ecNormal || S.empty()) return S;
  String s = Utf32ToUtf8(S);
  return Utf8ToUtf32(char_case_ == ecUpperCase ? AnsiUpperCase(s) : AnsiLowerCase(s));
}

String TEditEngine::EditText() const { return Utf32ToUtf8(text_); }
String TEditEngine::Text() const { return Utf32ToUtf8(mask_.TextOf(text_)); }

void TEditEngine::Assign(std::u32string Text) {
  if (IsMasked()) {
    Text = mask_.Conform(Text);
    for (int i = 0; i < mask_.Length(); ++i) {
      if (!mask_.IsLiteral(i)) Text[static_cast<size_t>(i)] = CaseOf(Text[static_cast<size_t>(i)]);
    }
  } else {
    Text = CaseOf(Text);
  }
  text_ = std::move(Text);
  modified_ = false;
  EmptyUndo();
  SetCursor(0);
}

bool TEditEngine::SetEditText(const String& Value) {
  std::u32string old = text_;
  Assign(Utf8ToUtf32(Value));
  return text_ != old;
}

bool TEditEngine::SetText(const String& Value) {
  std::u32string old = text_;
  Assign(mask_.EditTextOf(Utf8ToUtf32(Value)));
  return text_ != old;
}

bool TEditEngine::SetMask(const String& EditMask, const TFormatSettings& Settings) {
  TEditMask next(EditMask, Settings);
  std::u32string t;
  if (mask_.IsMasked()) {
    std::u32string raw = mask_.RawOf(text_);
    t = next.IsMasked() ? next.EditTextOfRaw(raw) : raw;
  } else {
    t = next.EditTextOf(text_);
  }
  mask_ = std::move(next);
  std::u32string old = text_;
  Assign(std::move(t));
  return text_ != old;
}

bool TEditEngine::SetCharCase(TEditCharCase Value) {
  char_case_ = Value;
  std::u32string t = text_;
  if (IsMasked()) {
    for (int i = 0; i < mask_.Length(); ++i) {
      if (!mask_.IsLiteral(i)) t[static_cast<size_t>(i)] = CaseOf(t[static_cast<size_t>(i)]);
    }
  } else {
    t = CaseOf(t);
  }
  if (t == text_) return false;
  text_ = std::move(t);
  SetSel(anchor_, caret_);
  return true;
}

// ---------------------------------------------------------------------------
// Selection

std::u32string TEditEngine::SelChars() const {
  return text_.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
}

void TEditEngine::SetSel(int AnchorPos, int CaretPos, bool CheckBlock) {
  anchor_ = std::clamp(AnchorPos, 0, Length());
  caret_ = std::clamp(CaretPos, 0, Length());
  typing_ = false;
  if (CheckBlock) CheckCursor();
}

void TEditEngine::SetCursor(int Pos) { SetSel(Pos, Pos); }

void TEditEngine::CheckCursor() {
  if (!IsMasked() || anchor_ != caret_) return;
  int p = caret_;
  if (p < Length()) {
    int q = mask_.NextInput(p);
    p = q < 0 ? Length() : q;
  }
  caret_ = p;
  anchor_ = p < Length() ? p + 1 : p;
}

// ---------------------------------------------------------------------------
// Editing

void TEditEngine::BlankRange(std::u32string& Text, int From, int To) const {
  for (int i = From; i < To; ++i) {
    if (!mask_.IsLiteral(i)) Text[static_cast<size_t>(i)] = mask_.Blank();
  }
}

int TEditEngine::MaskInput(std::u32string& Text, int Pos, char32_t Ch) const {
  int n = mask_.Length();
  auto next = [&](int from) {
    int q = mask_.NextInput(from);
    return q < 0 ? n : q;
  };
  // The literal the caret stands before: typed, it is stepped over.
  for (int k = Pos; k < n && mask_.IsLiteral(k); ++k) {
    if (mask_.Place(k).Literal == Ch) return next(k + 1);
  }
  // The literal the caret was just moved over: typing it changes nothing.
  for (int k = Pos - 1; k >= 0 && k < n && mask_.IsLiteral(k); --k) {
    if (mask_.Place(k).Literal == Ch) return Pos;
  }
  int q = mask_.NextInput(Pos);
  if (q < 0) return -1;
  char32_t stored = mask_.Accept(q, Ch);
  if (stored != 0) {
    if (stored != mask_.Blank()) stored = CaseOf(stored);
    Text[static_cast<size_t>(q)] = stored;
    return next(q + 1);
  }
  // The literal that ends this field: the rest of the field stays blank.
  int k = q + 1;
  while (k < n && !mask_.IsLiteral(k)) ++k;
  if (k < n && mask_.Place(k).Literal == Ch) return next(k + 1);
  return -1;
}

TEditResult TEditEngine::Commit(std::u32string Text, int Caret, bool Typing) {
  bool changed = Text != text_;
  if (changed) {
    if (!(Typing && typing_)) undo_ = State{text_, anchor_, caret_};
    text_ = std::move(Text);
    modified_ = true;
  }
  anchor_ = caret_ = std::clamp(Caret, 0, Length());
  CheckCursor();
  if (!Typing) typing_ = false;
  else if (changed) typing_ = true;
  return changed ? erChanged : erUnchanged;
}

TEditResult TEditEngine::TypeChar(char32_t Ch) {
  if (IsMasked()) {
    std::u32string t = text_;
    if (SelLength() > 1) BlankRange(t, SelStart(), SelEnd());
    int caret = MaskInput(t, SelStart(), Ch);
    if (caret < 0) return erRejected;
    return Commit(std::move(t), caret, true);
  }
  std::u32string ins = CaseOf(std::u32string(1, Ch));
  std::u32string t = text_.substr(0, static_cast<size_t>(SelStart())) + ins + text_.substr(static_cast<size_t>(SelEnd()));
  if (max_length_ > 0 && static_cast<int>(t.size()) > max_length_) return erRejected;
  return Commit(std::move(t), SelStart() + static_cast<int>(ins.size()), true);
}

TEditResult TEditEngine::ReplaceSel(const std::u32string& Value) {
  if (IsMasked()) {
    std::u32string t = text_;
    if (SelLength() > 1) BlankRange(t, SelStart(), SelEnd());
    int p = SelStart(), accepted = 0;
    for (char32_t c : Value) {
      if (p >= mask_.Length()) break;
      int q = MaskInput(t, p, c);
      if (q < 0) continue;
      p = q;
      ++accepted;
    }
    if (!Value.empty() && accepted == 0) return erRejected;
    return Commit(std::move(t), p, false);
  }
  std::u32string ins = CaseOf(Value);
  std::u32string head = text_.substr(0, static_cast<size_t>(SelStart()));
  std::u32string tail = text_.substr(static_cast<size_t>(SelEnd()));
  if (max_length_ > 0) {
    int room = max_length_ - static_cast<int>(head.size() + tail.size());
    size_t fit = std::min(ins.size(), static_cast<size_t>(std::max(room, 0)));
    if (fit == 0 && !ins.empty()) return erRejected;
    ins.resize(fit);
  }
  return Commit(head + ins + tail, static_cast<int>(head.size() + ins.size()), false);
}

TEditResult TEditEngine::DeleteChar(bool Backward) {
  std::u32string t = text_;
  if (IsMasked()) {
    if (SelLength() > 1) {
      BlankRange(t, SelStart(), SelEnd());
      return Commit(std::move(t), SelStart(), false);
    }
    int q = Backward ? mask_.PrevInput(SelStart() - 1) : mask_.NextInput(SelStart());
    if (q < 0) return erUnchanged;
    t[static_cast<size_t>(q)] = mask_.Blank();
    return Commit(std::move(t), q, false);
  }
  if (SelLength() > 0) {
    t.erase(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
    return Commit(std::move(t), SelStart(), false);
  }
  int at = Backward ? caret_ - 1 : caret_;
  if (at < 0 || at >= Length()) return erUnchanged;
  t.erase(static_cast<size_t>(at), 1);
  return Commit(std::move(t), at, false);
}

TEditResult TEditEngine::ClearSel() {
  if (SelLength() == 0) return erUnchanged;
  std::u32string t = text_;
  if (IsMasked()) BlankRange(t, SelStart(), SelEnd());
  else t.erase(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
  return Commit(std::move(t), SelStart(), false);
}

bool TEditEngine::Undo() {
  if (!undo_) return false;
  State previous = *undo_;
  undo_ = State{text_, anchor_, caret_};
  bool changed = previous.text != text_;
  text_ = std::move(previous.text);
  anchor_ = std::clamp(previous.anchor, 0, Length());
  caret_ = std::clamp(previous.caret, 0, Length());
  typing_ = false;
  if (changed) modified_ = true;
  CheckCursor();
  return changed;
}

void TEditEngine::EmptyUndo() {
  undo_.reset();
  typing_ = false;
}

// ---------------------------------------------------------------------------
// Caret movement. With a mask a selection of at most one character is the
// block: extending starts from both its ends.

void TEditEngine::MoveLeft(bool Extend, bool ByWord) {
  auto step = [&](int from) { return ByWord ? PrevWord(text_, from) : std::max(from - 1, 0); };
  bool block = IsMasked() && SelLength() <= 1;
  if (Extend) {
    if (block) SetSel(SelStart() + SelLength(), step(SelStart()));
    else SetSel(anchor_, step(caret_));
  } else if (!IsMasked()) {
    int to = SelLength() > 0 && !ByWord ? SelStart() : step(caret_);
    SetSel(to, to);
  } else if (ByWord) {
    SetCursor(step(SelStart()));
  } else if (!block) {
    SetCursor(SelStart());
  } else {
    int q = mask_.PrevInput(SelStart() - 1);
    SetCursor(q < 0 ? SelStart() : q);
  }
}

void TEditEngine::MoveRight(bool Extend, bool ByWord) {
  auto step = [&](int from) { return ByWord ? NextWord(text_, from) : std::min(from + 1, Length()); };
  bool block = IsMasked() && SelLength() <= 1;
  if (Extend) {
    if (block) SetSel(SelStart(), step(SelStart() + SelLength()));
    else SetSel(anchor_, step(caret_));
  } else if (!IsMasked()) {
    int to = SelLength() > 0 && !ByWord ? SelEnd() : step(caret_);
    SetSel(to, to);
  } else if (ByWord) {
    SetCursor(step(SelStart()));
  } else if (!block) {
    SetCursor(SelEnd());
  } else {
    int q = mask_.NextInput(SelStart() + 1);
    SetCursor(q < 0 ? Length() : q);
  }
}

void TEditEngine::Home(bool Extend) {
  bool block = IsMasked() && SelLength() <= 1;
  if (Extend) SetSel(block ? SelStart() + SelLength() : anchor_, 0);
  else SetCursor(0);
}

void TEditEngine::End(bool Extend) {
  bool block = IsMasked() && SelLength() <= 1;
  if (Extend) SetSel(block ? SelStart() : anchor_, Length());
  else SetCursor(Length());
}
