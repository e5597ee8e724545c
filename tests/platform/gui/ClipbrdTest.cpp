// The clipboard: registered formats, each format placed and read back, the
// two text formats as one text, grouping between Open and Close, and the
// formats read by another program on an X display.
#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "platform/gui/Clipbrd.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/ChildProcess.h"

using namespace std::chrono_literals;

namespace {

TBytes Bytes(const String& S, bool Zero = false) {
  TBytes b(S.begin(), S.end());
  if (Zero) b.push_back(0);
  return b;
}

TBytes Utf16(const String& S) {
  WideString w = Utf8ToWide(S);
  TBytes b((w.size() + 1) * 2, 0);
  std::memcpy(b.data(), w.data(), w.size() * 2);
  return b;
}

String Hex(const TBytes& B) {
  String s;
  for (Byte c : B) s += IntToHex(c, 2);
  return s;
}

// The grid's formats and what it places under them.
struct TPeerFormat {
  const char* Name;
  Word Format;
  TBytes Data;
};

std::vector<TPeerFormat> PeerFormats() {
  const String text = "Имя\tкод\r\nодин\t1";
  return {
      {"VCLDBIF", RegisterClipboardFormat("VCLDBIF"),
       TBytes{'V', 'C', 'L', 'D', 'B', 'I', 'F', 1, 1, 0, 0, 0, 1, 0, 5, 3, 0, 0, 0, 'a', 0xFF, 0, 0}},
      {"Csv", RegisterClipboardFormat("Csv"), Bytes("\"Имя\";\"код\"\r\n\"один\";\"1\"", true)},
      {"Rich Text Format", RegisterClipboardFormat("Rich Text Format"), Bytes("{\\rtf0\\ansi {\\fonttbl}}\r\n", true)},
      {"CF_UNICODETEXT", CF_UNICODETEXT, Utf16(text)},
      {"CF_TEXT", CF_TEXT, Bytes(text, true)},
  };
}

class ClipboardTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitializeUnits({&unit_Clipbrd});
    Application->Initialize();
  }
  void SetUp() override { Clipboard()->Clear(); }
};

TEST_F(ClipboardTest, RegisteredFormatsAreNumberedByName) {
  Word dbif = RegisterClipboardFormat("VCLDBIF");
  EXPECT_GE(dbif, 0xC000);
  EXPECT_EQ(RegisterClipboardFormat("vcldbif"), dbif);
  Word csv = RegisterClipboardFormat("Csv");
  EXPECT_NE(csv, dbif);
  EXPECT_EQ(RegisterClipboardFormat(""), 0);
  EXPECT_EQ(GetClipboardFormatName(dbif), "VCLDBIF");
  EXPECT_EQ(GetClipboardFormatName(CF_TEXT), "");
  EXPECT_EQ(GetClipboardFormatName(0xFFFF), "");
}

TEST_F(ClipboardTest, EachFormatComesBackAsPlaced) {
  TClipboard* c = Clipboard();
  for (const TPeerFormat& f : PeerFormats()) {
    c->SetData(f.Format, f.Data);
    EXPECT_TRUE(c->HasFormat(f.Format)) << f.Name;
    EXPECT_EQ(Hex(c->GetData(f.Format)), Hex(f.Data)) << f.Name;
    // A block placed outside Open replaces the content.
    if (f.Format != CF_TEXT && f.Format != CF_UNICODETEXT) {
      EXPECT_FALSE(c->HasFormat(CF_TEXT)) << f.Name;
    }
  }
  Word dbif = RegisterClipboardFormat("VCLDBIF");
  EXPECT_FALSE(c->HasFormat(dbif));
  c->SetData(dbif, TBytes());  // an empty block is still the format
  EXPECT_TRUE(c->HasFormat(dbif));
  EXPECT_TRUE(c->GetData(dbif).empty());
}

TEST_F(ClipboardTest, TheTwoTextFormatsAreOneText) {
  TClipboard* c = Clipboard();
  c->SetData(CF_UNICODETEXT, Utf16("один\tдва"));
  EXPECT_TRUE(c->HasFormat(CF_TEXT));
  EXPECT_EQ(c->AsText(), "один\tдва");
  EXPECT_EQ(Hex(c->GetData(CF_TEXT)), Hex(Bytes("один\tдва", true)));

  // A block ends at its first zero character.
  c->SetData(CF_TEXT, Bytes(String("abc\0junk", 8)));
  EXPECT_EQ(c->AsText(), "abc");
  EXPECT_EQ(Hex(c->GetData(CF_UNICODETEXT)), Hex(Utf16("abc")));
  TBytes odd = Utf16("xy");
  odd.push_back('z');  // a stray byte after the zero
  c->SetData(CF_UNICODETEXT, odd);
  EXPECT_EQ(c->AsText(), "xy");

  c->SetAsText("Ёлка");
  EXPECT_EQ(Hex(c->GetData(CF_UNICODETEXT)), Hex(Utf16("Ёлка")));
  // Only the terminating zero: an empty text, still on the clipboard.
  c->SetData(CF_UNICODETEXT, Utf16(""));
  EXPECT_TRUE(c->HasFormat(CF_TEXT));
  EXPECT_EQ(Hex(c->GetData(CF_TEXT)), "00");
  c->Clear();
  EXPECT_FALSE(c->HasFormat(CF_TEXT));
  EXPECT_EQ(c->AsText(), "");
  EXPECT_TRUE(c->GetData(CF_UNICODETEXT).empty());
}

TEST_F(ClipboardTest, OpenAndCloseMakeOneContentOfSeveralFormats) {
  TClipboard* c = Clipboard();
  TClipboard other;  // reads what the system holds
  c->SetAsText("before");
  std::vector<TPeerFormat> formats = PeerFormats();
  c->Open();
  c->Open();
  for (size_t i = 0; i < 4; ++i) c->SetData(formats[i].Format, formats[i].Data);
  c->Close();  // not the outermost
  for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(c->HasFormat(formats[i].Format)) << formats[i].Name;
  EXPECT_EQ(other.AsText(), "before");
  EXPECT_FALSE(other.HasFormat(formats[0].Format));
  c->Close();
  for (const TPeerFormat& f : formats) EXPECT_EQ(Hex(other.GetData(f.Format)), Hex(f.Data)) << f.Name;

  // Clear inside Open empties what is there and what came before.
  c->Open();
  c->SetData(formats[0].Format, formats[0].Data);
  c->Clear();
  EXPECT_FALSE(c->HasFormat(formats[0].Format));
  c->SetData(formats[1].Format, formats[1].Data);
  c->Close();
  EXPECT_FALSE(other.HasFormat(formats[0].Format));
  EXPECT_FALSE(other.HasFormat(CF_TEXT));
  EXPECT_TRUE(other.HasFormat(formats[1].Format));
  c->Close();  // an unmatched Close does nothing
}

TEST_F(ClipboardTest, UnknownFormatsAreRefused) {
  TClipboard* c = Clipboard();
  c->SetAsText("kept");
  EXPECT_THROW(c->SetData(2, Bytes("x")), EInvalidOperation);
  EXPECT_THROW(c->SetData(0xFFF0, Bytes("x")), EInvalidOperation);
  EXPECT_FALSE(c->HasFormat(2));
  EXPECT_TRUE(c->GetData(0xFFF0).empty());
  EXPECT_EQ(c->AsText(), "kept");
}

// ---------------------------------------------------------------------------
// Across processes: one program places the formats on an X display, another
// reads them.

const char* PeerRole() { return std::getenv("CLIPBOARD_PEER"); }

TEST(ClipboardPeer, Run) {
  if (PeerRole() == nullptr) GTEST_SKIP() << "runs as the child of ClipboardAcrossPrograms";
  InitializeUnits({&unit_Clipbrd});
  Application->Initialize();
  TClipboard* c = Clipboard();
  std::vector<TPeerFormat> formats = PeerFormats();
  if (String(PeerRole()) == "serve") {
    // Placed the way the grid copies: no 8-bit text.
    c->Open();
    for (const TPeerFormat& f : formats)
      if (f.Format != CF_TEXT) c->SetData(f.Format, f.Data);
    c->Close();
    std::printf("peer: ready\n");
    std::fflush(stdout);
    // Serves the clipboard until the test closes our input.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 10) == 0 && std::chrono::steady_clock::now() < deadline) Application->ProcessMessages();
    return;
  }
  for (const TPeerFormat& f : formats)
    std::printf("peer: %s %d %s\n", f.Name, c->HasFormat(f.Format) ? 1 : 0, Hex(c->GetData(f.Format)).c_str());
  std::fflush(stdout);
}

TEST(ClipboardAcrossPrograms, AnotherProgramReadsEveryFormat) {
  if (PeerRole() != nullptr) GTEST_SKIP() << "inside a peer";
  String xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed: the clipboard is not tested across programs";
  // Xvfb picks a free display and writes its number to our pipe.
  TChildProcess server({xvfb, "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
  String display;
  ASSERT_TRUE(server.ReadLine(display, 20s)) << "Xvfb did not start";
  std::vector<String> env = {"DISPLAY=:" + Trim(display), "QT_QPA_PLATFORM=xcb"};

  auto peer = [&](const char* Role) {
    std::vector<String> e = env;
    e.push_back(String("CLIPBOARD_PEER=") + Role);
    return std::make_unique<TChildProcess>(
        std::vector<String>{"/proc/self/exe", "--gtest_filter=ClipboardPeer.Run"}, e);
  };
  auto serving = peer("serve");
  String line;
  while (serving->ReadLine(line, 20s) && line != "peer: ready") {
  }
  ASSERT_EQ(line, "peer: ready") << "the serving peer did not place the clipboard";

  auto reading = peer("read");
  String output = reading->ReadAll(30s);
  int read_code = reading->Wait(10s);
  serving->CloseInput();
  int serve_code = serving->Wait(10s);

  std::vector<String> expected;
  for (const TPeerFormat& f : PeerFormats()) expected.push_back(String(f.Name) + " 1 " + Hex(f.Data));
  EXPECT_EQ(PrefixedLines(output, "peer: "), expected) << output;
  EXPECT_EQ(read_code, 0) << output;
  EXPECT_EQ(serve_code, 0);
}

}  // namespace
