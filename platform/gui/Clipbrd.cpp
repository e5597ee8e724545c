#include "platform/gui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>
#include <mutex>
#include <vector>

#include "platform/gui/Forms.h"
#include "platform/gui/GuiInternal.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr Word kFirstRegistered = 0xC000;

struct FormatRegistry {
  std::mutex lock;
  std::vector<String> names;  // format kFirstRegistered + index
};

FormatRegistry& Registry() {
  static FormatRegistry registry;
  return registry;
}

bool IsText(Word Format) { return Format == CF_TEXT || Format == CF_UNICODETEXT; }

// The MIME type of a registered format; empty for other numbers.
QString MimeOf(Word Format) {
  String name = GetClipboardFormatName(Format);
  if (name.empty()) return QString();
  if (SameText(name, "Csv")) return QStringLiteral("text/csv");
  if (SameText(name, "Rich Text Format")) return QStringLiteral("text/rtf");
  return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(QString::fromUtf8(name.c_str()));
}

QClipboard* SystemClipboard() {
  EnsureGuiApplication();
  return QGuiApplication::clipboard();
}

// A text block up to its first zero character, as UTF-8.
String TextOfBlock(Word Format, const void* Data, size_t Size) {
  if (Format == CF_TEXT) {
    const char* p = static_cast<const char*>(Data);
    return String(p, p == nullptr ? 0 : strnlen(p, Size));
  }
  WideString w(Size / sizeof(char16_t), u'\0');
  if (!w.empty()) std::memcpy(w.data(), Data, w.size() * sizeof(char16_t));
  w.resize(std::char_traits<char16_t>::length(w.c_str()));
  return WideToUtf8(w);
}

// The block of a text format: the text and a zero character.
TBytes BlockOfText(Word Format, const String& Text) {
  TBytes block;
  if (Format == CF_TEXT) {
    block.assign(Text.begin(), Text.end());
    block.push_back(0);
  } else {
    WideString w = Utf8ToWide(Text);
    block.resize((w.size() + 1) * sizeof(char16_t), 0);
    std::memcpy(block.data(), w.data(), w.size() * sizeof(char16_t));
  }
  return block;
}

TClipboard* g_clipboard = nullptr;

}  // namespace

Word RegisterClipboardFormat(const String& Name) {
  if (Name.empty()) return 0;
  FormatRegistry& r = Registry();
  std::lock_guard guard(r.lock);
  for (size_t i = 0; i < r.names.size(); ++i)
    if (AnsiSameText(r.names[i], Name)) return static_cast<Word>(kFirstRegistered + i);
  if (r.names.size() >= size_t{0x10000 - kFirstRegistered}) return 0;
  r.names.push_back(Name);
  return static_cast<Word>(kFirstRegistered + r.names.size() - 1);
}

String GetClipboardFormatName(Word Format) {
  if (Format < kFirstRegistered) return String();
  FormatRegistry& r = Registry();
  std::lock_guard guard(r.lock);
  size_t i = Format - kFirstRegistered;
  return i < r.names.size() ? r.names[i] : String();
}

// ---------------------------------------------------------------------------
// TClipboard

TClipboard::TClipboard() = default;
TClipboard::~TClipboard() = default;

void TClipboard::Open() { ++open_count_; }

void TClipboard::Close() {
  if (open_count_ == 0) return;
  if (--open_count_ != 0) return;
  if (!emptied_) return;
  Content content = std::move(pending_);
  pending_ = Content();
  emptied_ = false;
  QClipboard* clipboard = SystemClipboard();
  if (!content.text && content.blocks.empty()) {
    clipboard->clear();
    return;
  }
  auto* mime = new QMimeData;
  if (content.text) mime->setText(QString::fromUtf8(content.text->data(), static_cast<qsizetype>(content.text->size())));
  for (const auto& [format, block] : content.blocks)
    mime->setData(MimeOf(format), QByteArray(reinterpret_cast<const char*>(block.data()),
                                             static_cast<qsizetype>(block.size())));
  clipboard->setMimeData(mime);
}

void TClipboard::Adding() {
  if (emptied_) return;
  pending_ = Content();
  emptied_ = true;
}

void TClipboard::Clear() {
  Open();
  Adding();
  pending_ = Content();
  Close();
}

bool TClipboard::HasFormat(Word Format) {
  if (emptied_) return IsText(Format) ? pending_.text.has_value() : pending_.blocks.contains(Format);
  const QMimeData* mime = SystemClipboard()->mimeData();
  if (mime == nullptr) return false;
  if (IsText(Format)) return mime->hasText();
  QString type = MimeOf(Format);
  return !type.isEmpty() && mime->hasFormat(type);
}

TBytes TClipboard::GetData(Word Format) {
  if (IsText(Format)) {
    if (!HasFormat(Format)) return TBytes();
    return BlockOfText(Format, AsText());
  }
  if (emptied_) {
    auto it = pending_.blocks.find(Format);
    return it != pending_.blocks.end() ? it->second : TBytes();
  }
  QString type = MimeOf(Format);
  const QMimeData* mime = SystemClipboard()->mimeData();
  if (type.isEmpty() || mime == nullptr || !mime->hasFormat(type)) return TBytes();
  QByteArray data = mime->data(type);
  return TBytes(data.begin(), data.end());
}

String TClipboard::AsText() {
  if (emptied_) return pending_.text.value_or(String());
  const QMimeData* mime = SystemClipboard()->mimeData();
  if (mime == nullptr || !mime->hasText()) return String();
  QByteArray utf8 = mime->text().toUtf8();
  String text(utf8.constData(), static_cast<size_t>(utf8.size()));
  // The text of a block ends at its first zero character.
  text.resize(strnlen(text.c_str(), text.size()));
  return text;
}

void TClipboard::SetAsText(const String& Value) { SetData(CF_TEXT, Value.c_str(), Value.size() + 1); }

void TClipboard::SetData(Word Format, const void* Data, size_t Size) {
  if (!IsText(Format) && GetClipboardFormatName(Format).empty())
    throw EInvalidOperation("Unknown clipboard format %d", {static_cast<Integer>(Format)});
  if (Data == nullptr) Size = 0;
  Open();
  try {
    Adding();
    if (IsText(Format)) {
      pending_.text = TextOfBlock(Format, Data, Size);
    } else {
      const Byte* p = static_cast<const Byte*>(Data);
      pending_.blocks[Format] = Size == 0 ? TBytes() : TBytes(p, p + Size);
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

TClipboard* Clipboard() {
  if (g_clipboard == nullptr) g_clipboard = new TClipboard;
  return g_clipboard;
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void FinalClipbrd() {
  delete g_clipboard;
  g_clipboard = nullptr;
}

constexpr const TUnit* kUses[] = {&unit_Forms};

}  // namespace

constinit const TUnit unit_Clipbrd("Clipbrd", kUses, nullptr, FinalClipbrd);
