// libFuzzer target for edit masks and the edit engine.
// Input: a mask, byte 1, then editing operations: each byte picks one
// operation; typing and pasting take the bytes after it up to byte 2.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/gui/Mask.h"
#include "platform/rtl/Locale.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

// What must hold after every operation.
void CheckState(const TEditEngine& E) {
  const TEditMask& m = E.Mask();
  int n = E.Length();
  Check(E.SelStart() >= 0 && E.SelEnd() <= n);
  if (m.IsMasked()) {
    Check(n == m.Length());
    for (int i = 0; i < n; ++i) {
      if (m.IsLiteral(i)) Check(E.Chars()[static_cast<size_t>(i)] == m.Place(i).Literal);
    }
    int bad = m.ValidateText(E.Chars());
    Check(bad >= -1 && bad < n);
    Check(m.EditTextOf(m.TextOf(E.Chars())).size() == static_cast<size_t>(n));
  }
  Check(E.CharPos(E.ByteOffset(E.SelStart())) == E.SelStart());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string input(reinterpret_cast<const char*>(Data), Size);
  const size_t split = input.find('\x01');
  TEditEngine e;
  e.SetMask(input.substr(0, split));
  CheckState(e);
  if (split == std::string::npos) return 0;
  for (size_t i = split + 1; i < input.size(); ++i) {
    auto op = static_cast<uint8_t>(input[i]);
    auto argument = [&] {
      size_t end = input.find('\x02', i + 1);
      std::string s = input.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
      i = end == std::string::npos ? input.size() : end;
      return Utf8ToUtf32(s);
    };
    bool extend = op & 0x10, word = op & 0x20;
    switch (op % 16) {
      case 0: for (char32_t c : argument()) e.TypeChar(c); break;
      case 1: e.ReplaceSel(argument()); break;
      case 2: e.DeleteChar(word); break;
      case 3: e.ClearSel(); break;
      case 4: e.MoveLeft(extend, word); break;
      case 5: e.MoveRight(extend, word); break;
      case 6: e.Home(extend); break;
      case 7: e.End(extend); break;
      case 8: e.Undo(); break;
      case 9: e.SetSel(op >> 4, op >> 2, word); break;
      case 10: e.SetText(Utf32ToUtf8(argument())); break;
      case 11: e.SetEditText(Utf32ToUtf8(argument())); break;
      case 12: e.SetCharCase(static_cast<TEditCharCase>((op >> 4) % 3)); break;
      case 13: e.SetMaxLength(op >> 4); break;
      case 14: e.SetMask(Utf32ToUtf8(argument())); break;
      default:  // typing never takes a plain text over MaxLength
        if (!e.IsMasked() && e.MaxLength() > 0 && e.Length() <= e.MaxLength()) {
          e.TypeChar(U'ж');
          Check(e.Length() <= e.MaxLength());
        }
        break;
    }
    CheckState(e);
  }
  return 0;
}
