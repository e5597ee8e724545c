// A temporary embedded database for the benchmarks.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBQuery.h"
#include "platform/rtl/UnitInit.h"

namespace bench {

// A failed client call raises std::runtime_error with the engine's code.
inline void Check(ISC_STATUS Status) {
  if (Status != 0) throw std::runtime_error("client call failed: " + std::to_string(StatusVector()[1]));
}

// A database file (UTF8, page size 16384) created in its own temporary
// folder and attached by a TFIBDatabase in dialect 3, with one transaction
// that is its default one. The units are initialised from Unit first; at the
// end the transaction is committed, both components are freed, the units
// finalised and the folder removed.
class TBenchDatabase {
 public:
  TBenchDatabase(const char* FolderPrefix, const TUnit& Unit) {
    InitializeUnits({&Unit});
    std::string folder = (std::filesystem::temp_directory_path() / (std::string(FolderPrefix) + "-XXXXXX")).string();
    if (mkdtemp(folder.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder_ = folder;
    path_ = folder_ + "/bench.fdb";

    db_ = new TFIBDatabase(nullptr);
    IIBClientLibrary* lib = db_->GetClientLibrary();
    isc_db_handle createDb = 0;
    isc_tr_handle createTr = 0;
    const std::string create =
        "CREATE DATABASE '" + path_ + "' USER 'SYSDBA' PASSWORD 'masterkey' PAGE_SIZE 16384 DEFAULT CHARACTER SET UTF8";
    Check(lib->isc_dsql_execute_immediate(StatusVector(), &createDb, &createTr, 0, create.c_str(), 3, nullptr));
    Check(lib->isc_detach_database(StatusVector(), &createDb));

    db_->SetDBName(path_);
    for (const char* line : {"user_name=SYSDBA", "password=masterkey", "lc_ctype=UTF8"}) db_->DBParams()->Add(line);
    db_->SetSQLDialect(3);
    tr_ = new TFIBTransaction(nullptr);
    tr_->SetDefaultDatabase(db_);
    db_->SetDefaultTransaction(tr_);
    db_->Connect();
  }
  ~TBenchDatabase() {
    if (tr_->Active()) tr_->Commit();
    delete tr_;
    db_->Close();
    delete db_;
    FinalizeUnits();
    std::filesystem::remove_all(folder_);
  }
  TBenchDatabase(const TBenchDatabase&) = delete;
  TBenchDatabase& operator=(const TBenchDatabase&) = delete;

  TFIBDatabase* Database() const { return db_; }
  TFIBTransaction* Transaction() const { return tr_; }
  const std::string& Path() const { return path_; }
  // Executes one statement in the default transaction.
  void Exec(const std::string& SQL) const {
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(db_);
    q->SQL()->SetText(SQL);
    q->ExecQuery();
  }

 private:
  std::string folder_;
  std::string path_;
  TFIBDatabase* db_ = nullptr;
  TFIBTransaction* tr_ = nullptr;
};

}  // namespace bench
