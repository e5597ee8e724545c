// A temporary folder for a test, removed with its contents at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

struct TTempDir {
  TTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "test.XXXXXX").string();
    if (mkdtemp(tmpl.data()) != nullptr) path = tmpl;
  }
  ~TTempDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  std::string File(const std::string& Name) const { return (path / Name).string(); }
  void Write(const std::string& Name, const std::string& Bytes) const {
    std::ofstream(path / Name, std::ios::binary) << Bytes;
  }

  std::filesystem::path path;
};
