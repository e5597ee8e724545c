#include "tests/support/FakeDBEngine.h"

#include <algorithm>

#include "platform/rtl/SysUtils.h"

namespace {

bool SameRow(const TDBEngineRow& A, const TDBEngineRow& B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i) {
    bool na = VarIsNull(A[i]) || VarIsClear(A[i]), nb = VarIsNull(B[i]) || VarIsClear(B[i]);
    if (na != nb || (!na && VarToStr(A[i]) != VarToStr(B[i]))) return false;
  }
  return true;
}

// The word after a keyword of the text (upper case), or empty.
String WordAfter(const String& Upper, const String& Keyword) {
  size_t at = Upper.find(" " + Keyword + " ");
  if (at == String::npos) return String();
  size_t start = Upper.find_first_not_of(' ', at + Keyword.size() + 2);
  if (start == String::npos) return String();
  size_t end = Upper.find_first_of(" \r\n=", start);
  return Upper.substr(start, end == String::npos ? String::npos : end - start);
}

class TFakeCursor : public IDBEngineCursor {
 public:
  TFakeCursor(TFakeDBEngine& Engine, TFakeDBEngine::TTable& Table, std::vector<TDBEngineRow> Rows)
      : engine_(Engine), table_(Table), rows_(std::move(Rows)) {}

  std::vector<TDBEngineColumn> Columns() override { return table_.Columns; }
  bool Fetch(TDBEngineRow& Row) override {
    if (next_ >= rows_.size()) return false;
    Row = rows_[next_++];
    return true;
  }
  bool CanModify() override { return !table_.ReadOnly; }
  void InsertRow(const TDBEngineRow& Row) override {
    engine_.Check("Insert");
    engine_.Log.push_back("Insert(" + RowText(Row) + ")");
    table_.Rows.push_back(Row);
  }
  void ModifyRow(const TDBEngineRow& OldRow, const TDBEngineRow& NewRow) override {
    engine_.Check("Modify");
    engine_.Log.push_back("Modify(" + RowText(OldRow) + ">" + RowText(NewRow) + ")");
    *Find(OldRow) = NewRow;
  }
  void DeleteRow(const TDBEngineRow& OldRow) override {
    engine_.Check("Delete");
    engine_.Log.push_back("Delete(" + RowText(OldRow) + ")");
    table_.Rows.erase(Find(OldRow));
  }

 private:
  std::vector<TDBEngineRow>::iterator Find(const TDBEngineRow& Row) {
    auto it = std::find_if(table_.Rows.begin(), table_.Rows.end(), [&](const auto& r) { return SameRow(r, Row); });
    if (it == table_.Rows.end()) throw EDBEngineError(0x2201, "Record not found in the fake table");
    return it;
  }

  TFakeDBEngine& engine_;
  TFakeDBEngine::TTable& table_;
  std::vector<TDBEngineRow> rows_;
  size_t next_ = 0;
};

class TFakeConnection : public IDBEngineConnection {
 public:
  TFakeConnection(TFakeDBEngine& Engine, TFakeDBEngine::TDatabaseData& Data) : engine_(Engine), data_(Data) {}

  bool IsSQLBased() override { return data_.SQLBased; }
  void StartTransaction() override {
    engine_.Check("StartTransaction");
    engine_.Log.push_back("StartTransaction");
    saved_ = data_.Tables;
  }
  void Commit() override {
    engine_.Check("Commit");
    engine_.Log.push_back("Commit");
    saved_.reset();
  }
  void Rollback() override {
    engine_.Check("Rollback");
    engine_.Log.push_back("Rollback");
    if (saved_) {
      // The tables stay where they are (open cursors refer to them).
      for (auto& [name, table] : *saved_) data_.Tables[name].Rows = table.Rows;
    }
    saved_.reset();
  }
  std::unique_ptr<IDBEngineCursor> OpenQuery(const String& SQL, const TParams& Params) override {
    engine_.Check("Open");
    engine_.Log.push_back("Open(" + Trim(SQL) + ")");
    String upper = " " + UpperCase(Trim(SQL)) + " ";
    for (char& c : upper)
      if (c == '\r' || c == '\n') c = ' ';
    auto it = data_.Tables.find(WordAfter(upper, "FROM"));
    if (it == data_.Tables.end()) throw EDBEngineError(0x2A04, "Table does not exist");
    TFakeDBEngine::TTable& table = it->second;
    std::vector<TDBEngineRow> rows = table.Rows;
    String column = WordAfter(upper, "WHERE");
    if (!column.empty()) {
      size_t colon = upper.find(':');
      String param = colon == String::npos ? String() : Trim(upper.substr(colon + 1));
      TParam* p = Params.FindParam(param);
      size_t index = 0;
      while (index < table.Columns.size() && !SameText(table.Columns[index].Name, column)) ++index;
      std::erase_if(rows, [&](const TDBEngineRow& r) {
        return p == nullptr || index >= r.size() || p->IsNull() || VarToStr(r[index]) != p->AsString();
      });
    }
    return std::make_unique<TFakeCursor>(engine_, table, std::move(rows));
  }
  int ExecSQL(const String& SQL, const TParams& /*Params*/) override {
    engine_.Check("Exec");
    engine_.Log.push_back("Exec(" + Trim(SQL) + ")");
    return 1;
  }

 private:
  TFakeDBEngine& engine_;
  TFakeDBEngine::TDatabaseData& data_;
  std::optional<std::map<String, TFakeDBEngine::TTable>> saved_;
};

}  // namespace

String RowText(const TDBEngineRow& Row) {
  String s;
  for (size_t i = 0; i < Row.size(); ++i) {
    if (i > 0) s += ",";
    s += VarIsNull(Row[i]) || VarIsClear(Row[i]) ? String("null") : VarToStr(Row[i]);
  }
  return s;
}

TFakeDBEngine::TFakeDBEngine() : previous_(SetDBEngine(this)) {}

TFakeDBEngine::~TFakeDBEngine() { SetDBEngine(previous_); }

TFakeDBEngine::TTable& TFakeDBEngine::AddTable(const String& Database, const String& Table,
                                               std::vector<TDBEngineColumn> Columns) {
  TTable& t = this->Database(Database).Tables[UpperCase(Table)];
  t.Columns = std::move(Columns);
  return t;
}

TFakeDBEngine::TTable& TFakeDBEngine::Table(const String& Database, const String& Table) {
  return databases_.at(UpperCase(Database)).Tables.at(UpperCase(Table));
}

TFakeDBEngine::TDatabaseData& TFakeDBEngine::Database(const String& Name) { return databases_[UpperCase(Name)]; }

void TFakeDBEngine::Check(const String& Call) {
  auto it = failures_.find(Call);
  if (it == failures_.end()) return;
  EDBEngineError error = it->second;
  failures_.erase(it);
  throw error;
}

std::unique_ptr<IDBEngineConnection> TFakeDBEngine::Connect(const String& DatabaseName, const TStrings& /*Params*/) {
  Check("Connect");
  Log.push_back("Connect(" + DatabaseName + ")");
  return std::make_unique<TFakeConnection>(*this, Database(DatabaseName));
}
