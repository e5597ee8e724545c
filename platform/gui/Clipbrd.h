// The clipboard: the system's text formats and formats registered by name,
// placed and read as blocks of bytes, over Qt's clipboard.
//
// Formats. CF_TEXT is 8-bit text in the system code page (UTF-8 here) and
// CF_UNICODETEXT UTF-16 text, each block ending in a zero character. They
// are one text on the clipboard (Qt's text/plain): either one placed makes
// both readable, converted, and a block is read up to its first zero
// character. RegisterClipboardFormat gives every other format its number
// (0xC000 up, the same for names that differ only in case); its blocks go
// to the clipboard unchanged under a MIME type made from the name: "Csv" is
// text/csv and "Rich Text Format" text/rtf, so other programs find them;
// any other name is application/x-qt-windows-mime;value="<name>", the type
// under which Qt exchanges a registered format on the system it comes from.
//
// Grouping. Between Open and Close (which nest) the first SetData or
// SetAsText empties the clipboard and later ones add formats beside it, so
// that several formats make one clipboard content; the content goes to the
// system when the outermost Close runs, and reads in between see it. A
// SetData outside Open replaces the clipboard content with its one format.
//
// The clipboard belongs to the main thread. With the X11 platform another
// program reads what this one placed only while this one runs its event
// loop (no clipboard manager keeps it); the offscreen platform keeps the
// clipboard inside the process.
#pragma once

#include <cstddef>
#include <map>
#include <optional>

#include "platform/rtl/Component.h"
#include "platform/rtl/Streams.h"

inline constexpr Word CF_TEXT = 1;
inline constexpr Word CF_UNICODETEXT = 13;

// The number of the format of that name; 0 for an empty name.
Word RegisterClipboardFormat(const String& Name);
// The name a format was registered with; empty for other numbers.
String GetClipboardFormatName(Word Format);

class TClipboard : public TPersistent {
 public:
  TClipboard();
  ~TClipboard() override;

  void Open();
  // The outermost Close hands a changed content to the system.
  void Close();
  // Empties the clipboard.
  void Clear();

  bool HasFormat(Word Format);
  // The text (CF_TEXT without its zero); empty when there is none.
  String AsText();
  void SetAsText(const String& Value);

  // The block of a format; empty when the clipboard does not hold it.
  TBytes GetData(Word Format);
  // Places a block; raises EInvalidOperation for a format that is neither a
  // text format nor registered.
  void SetData(Word Format, const void* Data, size_t Size);
  void SetData(Word Format, const TBytes& Data) { SetData(Format, Data.data(), Data.size()); }

 private:
  // The first change inside Open empties the clipboard.
  void Adding();
  // The content placed since the clipboard was emptied: the text (UTF-8)
  // and the blocks of registered formats.
  struct Content {
    std::optional<String> text;
    std::map<Word, TBytes> blocks;
  };

  int open_count_ = 0;
  bool emptied_ = false;
  Content pending_;
};

// The clipboard object of the program (made on first use).
TClipboard* Clipboard();

class TUnit;
extern const TUnit unit_Clipbrd;
