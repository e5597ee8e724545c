// The grid's copy and paste between two programs on one X display: one
// copies a grid's rows and serves the clipboard, the other pastes them into
// an empty grid. Skipped, with its reason, when Xvfb is missing.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "grid/datagrid/DBGridEhImpExp.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ImgList.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/SysUtils.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MemDataSet.h"

using namespace std::chrono_literals;

namespace {

const char* PeerRole() { return std::getenv("GRID_CLIPBOARD_PEER"); }

TEST(GridClipboardPeer, Run) {
  if (PeerRole() == nullptr) GTEST_SKIP() << "runs as the child of GridClipboardAcrossPrograms";
  InitializeUnits({&unit_Forms, &unit_StdCtrls, &unit_ExtCtrls, &unit_ImgList});
  Application->Initialize();
  InitializeUnits({&unit_DBGridEhImpExp, &unit_DBGridEh});
  std::unique_ptr<TForm> form(TForm::CreateNew(nullptr));
  auto* ds = new TMemDataSet(form.get());
  ds->FieldDefs()->Add("ID", ftInteger);
  ds->FieldDefs()->Add("NAME", ftString, 20);
  ds->FieldDefs()->Add("AMOUNT", ftFloat);
  auto* src = new TDataSource(form.get());
  src->SetDataSet(ds);
  auto* grid = new TCustomDBGridEh(form.get());
  grid->SetParent(form.get());
  grid->SetDataSource(src);
  ds->Open();
  if (String(PeerRole()) == "copy") {
    ds->AppendRows({{1, "один", 1.5}, {2, Null(), -2.25}, {3, "tab\there", Null()}});
    DBGridEhCopyToClipboard(grid, true);
    std::printf("peer: ready\n");
    std::fflush(stdout);
    // Serves the clipboard until the test closes our input.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    pollfd p{STDIN_FILENO, POLLIN, 0};
    while (::poll(&p, 1, 10) == 0 && std::chrono::steady_clock::now() < deadline) Application->ProcessMessages();
    return;
  }
  grid->SetAllowedOperations(TDBGridEhAllowedOperations{alopInsertEh, alopUpdateEh, alopAppendEh});
  DBGridEhPasteFromClipboard(grid, true);
  for (int r = 0; r < ds->RowCount(); ++r) {
    String line;
    for (int f = 0; f < 3; ++f) {
      const Variant v = ds->RowValue(r, f);
      line += (f ? "|" : "") + (VarIsNull(v) ? String("NULL") : VarToStr(v));
    }
    std::printf("peer: %s\n", line.c_str());
  }
  std::fflush(stdout);
}

TEST(GridClipboardAcrossPrograms, PasteInAnotherProgramGivesTheCopiedRows) {
  if (PeerRole() != nullptr) GTEST_SKIP() << "inside a peer";
  const String xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed: copy and paste are not tested across programs";
  TChildProcess server({xvfb, "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
  String display;
  if (!server.ReadLine(display, 20s)) GTEST_SKIP() << "Xvfb did not start: copy and paste are not tested across programs";
  const std::vector<String> env = {"DISPLAY=:" + Trim(display), "QT_QPA_PLATFORM=xcb"};
  auto peer = [&](const char* Role) {
    std::vector<String> e = env;
    e.push_back(String("GRID_CLIPBOARD_PEER=") + Role);
    return std::make_unique<TChildProcess>(std::vector<String>{"/proc/self/exe", "--gtest_filter=GridClipboardPeer.Run"},
                                           e);
  };
  auto copying = peer("copy");
  String line;
  while (copying->ReadLine(line, 20s) && line != "peer: ready") {
  }
  ASSERT_EQ(line, "peer: ready") << "the copying program did not place the clipboard";
  auto pasting = peer("paste");
  const String output = pasting->ReadAll(30s);
  const int paste_code = pasting->Wait(10s);
  copying->CloseInput();
  const int copy_code = copying->Wait(10s);
  EXPECT_EQ(PrefixedLines(output, "peer: "), (std::vector<String>{"1|один|1.5", "2|NULL|-2.25", "3|tab\there|NULL"})) << output;
  EXPECT_EQ(paste_code, 0) << output;
  EXPECT_EQ(copy_code, 0);
}

}  // namespace
