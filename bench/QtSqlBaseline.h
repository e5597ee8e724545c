// Qt's Firebird driver on a benchmark database: the baseline of Qt's SQL
// classes. The driver loads the same client library and attaches the file
// through the embedded engine of this process.
#pragma once

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QString>
#include <memory>
#include <stdexcept>
#include <string>

namespace bench {

class TQtConnection {
 public:
  explicit TQtConnection(std::string Path) : path_(std::move(Path)) {}
  ~TQtConnection() {
    if (!open_) return;
    QSqlDatabase::database(kName, false).close();
    QSqlDatabase::removeDatabase(kName);
  }
  TQtConnection(const TQtConnection&) = delete;
  TQtConnection& operator=(const TQtConnection&) = delete;

  // The open connection (made on first use; raises when it cannot open).
  QSqlDatabase Database() {
    if (!open_) {
      static int argc = 1;
      static char name[] = "bench";
      static char* argv[] = {name, nullptr};
      if (QCoreApplication::instance() == nullptr) app_ = std::make_unique<QCoreApplication>(argc, argv);
      QSqlDatabase db = QSqlDatabase::addDatabase("QIBASE", kName);
      db.setDatabaseName(QString::fromStdString(path_));
      db.setUserName("SYSDBA");
      db.setPassword("masterkey");
      db.setConnectOptions("ISC_DPB_LC_CTYPE=UTF8");
      if (!db.open()) throw std::runtime_error("Qt driver: cannot open the database");
      open_ = true;
    }
    return QSqlDatabase::database(kName, false);
  }

 private:
  static constexpr const char* kName = "bench";
  std::string path_;
  std::unique_ptr<QCoreApplication> app_;
  bool open_ = false;
};

}  // namespace bench
