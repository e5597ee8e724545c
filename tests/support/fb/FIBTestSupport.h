// The data-access library's components on temporary databases, for the
// tests of the library.
//
//   fbtest::TFIBTestEnvironment env;               // units up, private monitor channel
//   fbtest::TTempDatabase file;
//   TFIBDatabase* db = fbtest::NewFIBDatabase(owner, file.Path());
//   db->Connect();
//   fbtest::ExecSQL(tr, "insert into T values (1)");
#pragma once

#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBSQLMonitor.h"
#include "platform/os/NamedObjects.h"
#include "platform/rtl/Threads.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/fb/FirebirdFixture.h"

namespace fbtest {

// The monitor channel of this test process, apart from a real monitor's.
inline std::string TestMonitorPrefix() { return "FIBTest." + std::to_string(::getpid()) + "."; }

// Initialises the library's units with this process's own monitor channel.
// FinishFIBUnits, when a suite ends, finalises the units (other suites start
// from a fresh monitor hook) and deletes the channel's names.
inline void InitFIBUnits() {
  SetMonitorNamePrefix(TestMonitorPrefix());
  InitializeUnits({&unit_FIBDatabase});
}
inline void FinishFIBUnits() {
  FinalizeUnits();
  SetMonitorNamePrefix(kDefaultMonitorNamePrefix);
  for (const String& name : TMonitorChannel::ObjectNames(TestMonitorPrefix())) DeleteNamedObject(name);
}

// A database component for Path (embedded when it names no host) with the
// test user and the character set.
inline TFIBDatabase* NewFIBDatabase(TComponent* Owner, const std::string& Path,
                                    const std::string& CharSet = "UTF8") {
  auto* db = new TFIBDatabase(Owner);
  db->SetDBName(Path);
  db->DBParams()->Add(String("user_name=") + kUser);
  db->DBParams()->Add(String("password=") + kPassword);
  if (!CharSet.empty()) db->DBParams()->Add("lc_ctype=" + CharSet);
  db->SetSQLDialect(3);
  return db;
}

// NewFIBDatabase with a default transaction of its own, connected.
inline TFIBDatabase* ConnectFIBDatabase(TComponent* Owner, const std::string& Path) {
  TFIBDatabase* db = NewFIBDatabase(Owner, Path);
  auto* tr = new TFIBTransaction(Owner);
  tr->SetDefaultDatabase(db);
  db->SetDefaultTransaction(tr);
  db->Connect();
  return db;
}

// Executes one statement in the transaction through the database's binding;
// a server error raises from the transaction.
inline void ExecSQL(TFIBTransaction* Transaction, const String& SQL, TFIBDatabase* Database = nullptr) {
  TFIBDatabase* db = Database != nullptr ? Database : Transaction->MainDatabase();
  IIBClientLibrary* lib = db->GetClientLibrary();
  Transaction->CheckCall(lib->isc_dsql_execute_immediate(StatusVector(), db->HandlePtr(), Transaction->HandlePtr(), 0,
                                                         SQL.c_str(), static_cast<unsigned short>(db->SQLDialect()),
                                                         nullptr),
                         true);
}

// Runs the main-thread queue (timer ticks) for the time given or until Done.
inline void PumpMainThread(
    std::chrono::milliseconds Time, const std::function<bool()>& Done = [] { return false; }) {
  const auto end = std::chrono::steady_clock::now() + Time;
  while (std::chrono::steady_clock::now() < end && !Done()) CheckSynchronize(5);
}

}  // namespace fbtest
