#include "tests/support/fb/FirebirdFixture.h"

#include <arpa/inet.h>
#include <ibase.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fbtest {
namespace {

std::string StatusText(const ISC_STATUS* status) {
  std::string text;
  char buf[1024];
  const ISC_STATUS* p = status;
  while (fb_interpret(buf, sizeof buf, &p) > 0) {
    if (!text.empty()) text += "\n";
    text += buf;
  }
  return text;
}

void Check(const ISC_STATUS* status, const char* what) {
  if (status[0] == 1 && status[1] != 0) throw std::runtime_error(std::string(what) + ": " + StatusText(status));
}

std::vector<char> BuildDpb() {
  std::vector<char> dpb{isc_dpb_version1};
  auto add = [&](char tag, const std::string& value) {
    dpb.push_back(tag);
    dpb.push_back(static_cast<char>(value.size()));
    dpb.insert(dpb.end(), value.begin(), value.end());
  };
  add(isc_dpb_user_name, kUser);
  add(isc_dpb_password, kPassword);
  return dpb;
}

class TAttachment {
 public:
  explicit TAttachment(const std::string& path) {
    std::vector<char> dpb = BuildDpb();
    isc_attach_database(status_, 0, path.c_str(), &db_, static_cast<short>(dpb.size()), dpb.data());
    Check(status_, "attach");
    isc_start_transaction(status_, &tr_, 1, &db_, 0, nullptr);
    Check(status_, "start transaction");
  }
  ~TAttachment() {
    if (tr_) isc_rollback_transaction(status_, &tr_);
    if (db_) isc_detach_database(status_, &db_);
  }
  void Commit() {
    isc_commit_transaction(status_, &tr_);
    Check(status_, "commit");
  }
  isc_db_handle db_ = 0;
  isc_tr_handle tr_ = 0;
  ISC_STATUS_ARRAY status_{};
};

}  // namespace

TTempDatabase::TTempDatabase(const std::string& Charset, int Dialect) : dialect_(Dialect) {
  std::string templ = (std::filesystem::temp_directory_path() / "fbtest-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = templ;
  path_ = folder_ + "/test.fdb";
  std::string sql = "CREATE DATABASE '" + path_ + "' USER '" + kUser + "' PASSWORD '" + kPassword +
                    "' PAGE_SIZE 8192 DEFAULT CHARACTER SET " + Charset;
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 0;
  isc_tr_handle tr = 0;
  isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), static_cast<unsigned short>(Dialect), nullptr);
  Check(status, "create database");
  isc_detach_database(status, &db);
  Check(status, "detach");
}

TTempDatabase::~TTempDatabase() {
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void TTempDatabase::Exec(const std::vector<std::string>& Statements) const {
  TAttachment a(path_);
  for (const std::string& sql : Statements) {
    isc_dsql_execute_immediate(a.status_, &a.db_, &a.tr_, 0, sql.c_str(),
                               static_cast<unsigned short>(dialect_), nullptr);
    Check(a.status_, sql.c_str());
    // DDL must be committed before later statements of the list use it.
    a.Commit();
    isc_start_transaction(a.status_, &a.tr_, 1, &a.db_, 0, nullptr);
    Check(a.status_, "start transaction");
  }
  a.Commit();
}

std::string TTempDatabase::QueryValue(const std::string& Select) const {
  TAttachment a(path_);
  isc_stmt_handle stmt = 0;
  isc_dsql_allocate_statement(a.status_, &a.db_, &stmt);
  Check(a.status_, "allocate");
  XSQLDA* out = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(1)));
  out->version = SQLDA_VERSION1;
  out->sqln = 1;
  isc_dsql_prepare(a.status_, &a.tr_, &stmt, 0, Select.c_str(), static_cast<unsigned short>(dialect_), out);
  std::string result;
  try {
    Check(a.status_, Select.c_str());
    // Ask the server for text whatever the column type.
    char buf[32768];
    short ind = 0;
    out->sqlvar[0].sqltype = SQL_VARYING | 1;
    out->sqlvar[0].sqllen = sizeof buf - 2;
    out->sqlvar[0].sqldata = buf;
    out->sqlvar[0].sqlind = &ind;
    out->sqlvar[0].sqlsubtype = 0;
    out->sqlvar[0].sqlscale = 0;
    isc_dsql_execute(a.status_, &a.tr_, &stmt, static_cast<unsigned short>(dialect_), nullptr);
    Check(a.status_, "execute");
    ISC_STATUS rc = isc_dsql_fetch(a.status_, &stmt, static_cast<unsigned short>(dialect_), out);
    if (rc == 0 && ind >= 0) {
      unsigned short len;
      std::memcpy(&len, buf, 2);
      result.assign(buf + 2, len);
    } else if (rc != 100) {
      Check(a.status_, "fetch");
    }
  } catch (...) {
    std::free(out);
    isc_dsql_free_statement(a.status_, &stmt, DSQL_drop);
    throw;
  }
  std::free(out);
  isc_dsql_free_statement(a.status_, &stmt, DSQL_drop);
  return result;
}

bool ServerAvailable() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(3050);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace fbtest
