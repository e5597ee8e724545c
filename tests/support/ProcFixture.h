// A fake /proc tree in a temporary folder: PID/stat files the tests write,
// made the /proc root for the fixture's lifetime.
#pragma once

#include "platform/os/ProcessInfo.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

struct TFakeProc {
  uint32_t Pid = 0;
  std::string Comm;
  uint32_t Ppid = 0;
  uint32_t Session = 0;
  uint32_t Threads = 1;
  uint64_t MinFlt = 0, MajFlt = 0, UTime = 0, STime = 0;
  int64_t Priority = 20, Nice = 0;
  uint64_t Start = 0, VSize = 0, Rss = 0;
};

class TProcFixture {
 public:
  TProcFixture() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "procfix.XXXXXX").string();
    root_ = mkdtemp(tmpl.data());
    scope_ = std::make_unique<TProcRootScope>(root_.string());
  }
  ~TProcFixture() {
    scope_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  const std::filesystem::path& Root() const { return root_; }

  // A stat line as the kernel writes it (52 fields).
  static std::string StatLine(const TFakeProc& p) {
    return std::to_string(p.Pid) + " (" + p.Comm + ") S " + std::to_string(p.Ppid) + " " +
           std::to_string(p.Pid) + " " + std::to_string(p.Session) + " 0 -1 4194560 " +
           std::to_string(p.MinFlt) + " 0 " + std::to_string(p.MajFlt) + " 0 " + std::to_string(p.UTime) +
           " " + std::to_string(p.STime) + " 0 0 " + std::to_string(p.Priority) + " " +
           std::to_string(p.Nice) + " " + std::to_string(p.Threads) + " 0 " + std::to_string(p.Start) +
           " " + std::to_string(p.VSize) + " " + std::to_string(p.Rss) +
           " 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 3 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
  }

  void Add(const TFakeProc& p) { Write(std::to_string(p.Pid), StatLine(p)); }

  // Writes NAME/stat with the given contents (for damaged entries).
  void Write(const std::string& name, const std::string& contents) {
    std::filesystem::create_directories(root_ / name);
    std::ofstream(root_ / name / "stat", std::ios::binary) << contents;
  }

  void Mkdir(const std::string& name) { std::filesystem::create_directories(root_ / name); }

 private:
  std::filesystem::path root_;
  std::unique_ptr<TProcRootScope> scope_;
};
