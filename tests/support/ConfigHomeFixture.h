// A temporary $XDG_CONFIG_HOME for tests of the per-user settings store;
// XDG_CONFIG_HOME and HOME are restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/os/Registry.h"

class ConfigHomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_xdg_ = Get("XDG_CONFIG_HOME");
    old_home_ = Get("HOME");
    std::string tmpl = (std::filesystem::temp_directory_path() / "confighome.XXXXXX").string();
    dir_ = mkdtemp(tmpl.data());
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  }
  void TearDown() override {
    Restore("XDG_CONFIG_HOME", old_xdg_);
    Restore("HOME", old_home_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Replaces the settings file by Bytes.
  void WriteSettingsFile(const std::string& bytes) {
    std::filesystem::path file = UserSettingsFileName();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string ReadSettingsFile() {
    std::ifstream in(UserSettingsFileName(), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  std::string dir_;

 private:
  static std::optional<std::string> Get(const char* name) {
    const char* v = std::getenv(name);
    return v == nullptr ? std::nullopt : std::optional<std::string>(v);
  }
  static void Restore(const char* name, const std::optional<std::string>& value) {
    if (value) setenv(name, value->c_str(), 1);
    else unsetenv(name);
  }
  std::optional<std::string> old_xdg_, old_home_;
};

// The settings file cannot be written while this lives: it is read-only for
// a user, and for root (whom permissions do not stop) no file of the
// process may grow, as on a full disk. Afterwards the file is owner-only.
class UnwritableSettings {
 public:
  UnwritableSettings() {
    if (geteuid() != 0) {
      chmod(UserSettingsFileName().c_str(), 0400);
      return;
    }
    old_signal_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old_limit_);
    rlimit none = old_limit_;
    none.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &none);
  }
  ~UnwritableSettings() {
    if (geteuid() != 0) {
      chmod(UserSettingsFileName().c_str(), 0600);
      return;
    }
    setrlimit(RLIMIT_FSIZE, &old_limit_);
    std::signal(SIGXFSZ, old_signal_);
  }
  UnwritableSettings(const UnwritableSettings&) = delete;
  UnwritableSettings& operator=(const UnwritableSettings&) = delete;

 private:
  rlimit old_limit_{};
  void (*old_signal_)(int) = nullptr;
};
