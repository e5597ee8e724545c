// TFakeDBEngine: an in-memory stand-in for the desktop database engine,
// for tests of the engine datasets (TDatabase, TQuery) and the code on them.
//
//   TFakeDBEngine engine;                       // installs itself, uninstalls when freed
//   auto& t = engine.AddTable("DB", "ITEMS", {{"ID", ftInteger}, {"NAME", ftString, 20}});
//   t.Rows = {{1, "one"}, {2, "two"}};
//   TQuery q(nullptr);
//   q.SetDatabaseName("DB");
//   q.SQL()->SetText("select * from ITEMS");
//   q.Open();
//
// A query names its table after FROM and may filter it with one condition
// "where COLUMN = :PARAM" (the row's value equals the parameter's). Rows are
// found for changes by all their values. A transaction keeps a copy of the
// tables that Rollback restores. Every call is logged ("Connect(DB)",
// "Open(select ...)", "Insert(3,three)", "Modify(1,one>1,uno)",
// "Delete(2,two)", "StartTransaction", "Commit", "Rollback", "Exec(...)").
// Fail(Call, Error) makes the next call of that name ("Connect", "Open",
// "Insert", "Modify", "Delete", "StartTransaction", "Commit", "Rollback",
// "Exec") raise the error instead.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "platform/db/DBTables.h"

class TFakeDBEngine : public IDBEngine {
 public:
  struct TTable {
    std::vector<TDBEngineColumn> Columns;
    std::vector<TDBEngineRow> Rows;
    bool ReadOnly = false;
  };
  struct TDatabaseData {
    std::map<String, TTable> Tables;  // by upper-case name
    bool SQLBased = true;
  };

  TFakeDBEngine();
  ~TFakeDBEngine() override;

  TTable& AddTable(const String& Database, const String& Table, std::vector<TDBEngineColumn> Columns);
  TTable& Table(const String& Database, const String& Table);
  // Database names match without case.
  TDatabaseData& Database(const String& Name);
  void Fail(const String& Call, const EDBEngineError& Error) { failures_.insert_or_assign(Call, Error); }

  std::vector<String> Log;

  std::unique_ptr<IDBEngineConnection> Connect(const String& DatabaseName, const TStrings& Params) override;

  // Raises the failure set for Call, if any (and forgets it).
  void Check(const String& Call);

 private:
  std::map<String, TDatabaseData> databases_;  // by upper-case name
  std::map<String, EDBEngineError> failures_;
  IDBEngine* previous_;
};

// "1,one" for a row (Null as "null").
String RowText(const TDBEngineRow& Row);
