// Temporary Firebird databases for tests.
//
// TTempDatabase creates a fresh database file in its own temporary folder
// through the embedded engine (no host, user SYSDBA) and removes the folder
// when it goes. Each test process creates its own files, so test programs can
// run in parallel. Exec runs statements on its own short attachment, so the
// file is never held open between calls (a server may then open it).
//
// The server of the tests listens on 127.0.0.1:3050 (scripts/start-firebird.sh);
// ServerPath() names the same file through it. A file is opened either
// embedded or through the server, never both at once.
#pragma once

#include <string>
#include <vector>

namespace fbtest {

inline constexpr const char* kUser = "SYSDBA";
inline constexpr const char* kPassword = "masterkey";

class TTempDatabase {
 public:
  explicit TTempDatabase(const std::string& Charset = "UTF8", int Dialect = 3);
  ~TTempDatabase();
  TTempDatabase(const TTempDatabase&) = delete;
  TTempDatabase& operator=(const TTempDatabase&) = delete;

  const std::string& Path() const { return path_; }
  std::string ServerPath() const { return "localhost:" + path_; }
  const std::string& Folder() const { return folder_; }

  // Executes each statement in one transaction on a fresh attachment and
  // commits; throws std::runtime_error with the server's text on failure.
  void Exec(const std::vector<std::string>& Statements) const;
  void Exec(const char* Statement) const { Exec(std::vector<std::string>{Statement}); }
  // First column of the first row as text ("" for NULL or no row).
  std::string QueryValue(const std::string& Select) const;

 private:
  std::string folder_;
  std::string path_;
  int dialect_;
};

// True when a server answers on 127.0.0.1:3050.
bool ServerAvailable();

}  // namespace fbtest
