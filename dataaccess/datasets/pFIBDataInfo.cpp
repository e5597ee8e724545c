// Repository tables and column information: existence checks, upgrades,
// the process-wide caches of table, dataset, procedure and error information.
#include "dataaccess/datasets/pFIBDataInfo.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "dataaccess/core/FIBQuery.h"
#include "dataaccess/core/StdFuncs.h"
#include "dataaccess/core/StrUtil.h"
#include "dataaccess/core/fib.h"
#include "dataaccess/core/pFIBEventLists.h"
#include "dataaccess/core/pFIBCacheQueries.h"
#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr const char kCRLF[] = "\r\n";
constexpr const char* kRepositoryTables[] = {"FIB$FIELDS_INFO", "FIB$DATASETS_INFO", "FIB$ERROR_MESSAGES"};

// Process-wide state of the unit.
TCriticalSection* repository_lock = nullptr;
// Per attachment (database object and its handle) "012" per table; an
// attachment's answers go when its database disconnects or is freed.
using TAttachment = std::pair<const TFIBDatabase*, isc_db_handle>;
std::map<TAttachment, String>* existence = nullptr;
class TExistenceWatch;
TExistenceWatch* existence_watch = nullptr;
TpFIBTableInfoCollect* table_infos = nullptr;
TpDataSetInfoCollect* dataset_infos = nullptr;
TpStoredProcCollect* sp_infos = nullptr;
TpErrorMessagesCollect* error_messages = nullptr;

// A name without its double quotes, trimmed: a quoted identifier gives the
// name it stands for ("A""B" gives A"B).
String BareName(const String& Name) {
  const String name = Trim(Name);
  if (IsQuotedIdentifier(name)) return Trim(UnquoteIdentifier(name));
  String bare;
  bare.reserve(name.size());
  for (char c : name)
    if (c != '"') bare.push_back(c);
  return bare;
}

// Text inside a single-quoted SQL literal.
String QuotedLiteral(const String& Text) {
  String out = "'";
  for (char c : Text) {
    if (c == '\'') out.push_back('\'');
    out.push_back(c);
  }
  return out + "'";
}

// Drops the existence answers of an attachment (under the repository lock).
void ForgetExistence(const TObject* Database) {
  if (existence == nullptr) return;
  for (auto it = existence->begin(); it != existence->end();) {
    if (it->first.first == Database) it = existence->erase(it);
    else ++it;
  }
}

// Hooks each database that was asked about: its existence answers go when
// it disconnects or is freed. The databases' callback lists forget this
// object when it is freed (it is a component).
class TExistenceWatch : public TComponent {
 public:
  TExistenceWatch() : TComponent(nullptr) {}
  // Under the repository lock.
  void Watch(TFIBDatabase* Database) {
    if (!watched_.insert(Database).second) return;
    Database->BeforeDisconnectEvents()->Add({this, &TExistenceWatch::DatabaseDisconnecting});
    Database->BeforeDestroyEvents()->Add({this, &TExistenceWatch::DatabaseDestroying});
  }

 private:
  void DatabaseDisconnecting(TObject* Sender) {
    TCriticalSectionGuard guard(*repository_lock);
    ForgetExistence(Sender);
  }
  void DatabaseDestroying(TObject* Sender) {
    TCriticalSectionGuard guard(*repository_lock);
    ForgetExistence(Sender);
    watched_.erase(Sender);
  }

  std::set<const TObject*> watched_;
};

// Holds a write or read of a synchronizer for its lifetime.
class TWriteLock {
 public:
  explicit TWriteLock(TMultiReadExclusiveWriteSynchronizer& Lock) : lock_(Lock) { lock_.BeginWrite(); }
  ~TWriteLock() { lock_.EndWrite(); }
  TWriteLock(const TWriteLock&) = delete;
  TWriteLock& operator=(const TWriteLock&) = delete;

 private:
  TMultiReadExclusiveWriteSynchronizer& lock_;
};

class TReadLock {
 public:
  explicit TReadLock(TMultiReadExclusiveWriteSynchronizer& Lock) : lock_(Lock) { lock_.BeginRead(); }
  ~TReadLock() { lock_.EndRead(); }
  TReadLock(const TReadLock&) = delete;
  TReadLock& operator=(const TReadLock&) = delete;

 private:
  TMultiReadExclusiveWriteSynchronizer& lock_;
};

// A transaction of the reads: started here when it was not running, and
// then committed (or rolled back on failure) when the scope ends.
class TReadScope {
 public:
  explicit TReadScope(TFIBTransaction* Transaction) : tr_(Transaction) {
    if (tr_ == nullptr) RaiseClientError(fceTransactionNotAssigned, {String("repository")});
    if (!tr_->Active()) {
      tr_->StartTransaction();
      started_ = true;
    }
  }
  ~TReadScope() {
    if (!started_ || !tr_->Active()) return;
    try {
      tr_->Rollback();
    } catch (...) {
      // Nothing was written; the failure that ended the scope counts.
    }
  }
  void Done() {
    if (started_ && tr_->Active()) tr_->Commit();
    started_ = false;
  }
  TReadScope(const TReadScope&) = delete;
  TReadScope& operator=(const TReadScope&) = delete;

 private:
  TFIBTransaction* tr_;
  bool started_ = false;
};

// A private transaction and statement on Database, freed with the scope.
struct TPrivateQuery {
  explicit TPrivateQuery(TFIBDatabase* Database) {
    tr = std::make_unique<TFIBTransaction>(nullptr);
    tr->SetDefaultDatabase(Database);
    q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(Database);
    q->SetTransaction(tr.get());
  }
  ~TPrivateQuery() {
    q.reset();
    if (tr->Active()) {
      try {
        tr->Rollback();
      } catch (...) {
        // The statement's failure is the one reported.
      }
    }
  }
  std::unique_ptr<TFIBTransaction> tr;
  std::unique_ptr<TFIBQuery> q;
};

// The transaction repository reads run on.
TFIBTransaction* ReadTransaction(TFIBDatabase* Database, TFIBTransaction* Given) {
  if (TFIBTransaction* internal = Database->GetInternalTransaction()) return internal;
  return Given != nullptr ? Given : Database->DefaultTransaction();
}

// Runs SQL (a cached statement) on Transaction with the parameter values in
// order and calls Row for each row.
template <class F>
void ForEachRow(TFIBTransaction* Transaction, const String& SQL, std::initializer_list<Variant> Params, F Row) {
  TReadScope scope(Transaction);
  TFIBQuery* q = GetQueryForUse(Transaction, SQL);
  if (q == nullptr) RaiseClientError(fceDatabaseNotAssigned, {CmpFullName(Transaction)});
  try {
    Integer i = 0;
    for (const Variant& v : Params) q->SetParamValue(i++, v);
    q->ExecQuery();
    if (!q->GoToFirstRecordOnExecute()) q->FetchNext();
    for (; !q->AtEnd(); q->FetchNext()) Row(q);
    q->Close();
  } catch (...) {
    if (q->Open()) q->Close();
    FreeQueryForUse(q);
    throw;
  }
  FreeQueryForUse(q);
  scope.Done();
}

// The first column of the first row (Null without one).
Variant FirstValue(TFIBTransaction* Transaction, const String& SQL, std::initializer_list<Variant> Params) {
  Variant result = Null();
  bool first = true;
  ForEachRow(Transaction, SQL, Params, [&](TFIBQuery* q) {
    if (first) result = q->Fields(0)->IsNull() ? Null() : q->Fields(0)->AsVariant();
    first = false;
  });
  return result;
}

bool SameVersion(const Variant& A, const Variant& B) {
  const bool nullA = VarIsNull(A) || VarIsClear(A), nullB = VarIsNull(B) || VarIsClear(B);
  if (nullA || nullB) return nullA == nullB;
  return A.AsInt64() == B.AsInt64();
}

const String kColumnsSQL = String("Select R.RDB$FIELD_NAME,R.RDB$FIELD_SOURCE,F.RDB$COMPUTED_BLR, ") + kCRLF +
                           "R.RDB$DEFAULT_SOURCE DS,F.RDB$DEFAULT_SOURCE DS1, " + kCRLF + "F.RDB$FIELD_TYPE, " +
                           kCRLF + "F.RDB$CHARACTER_SET_ID " + kCRLF + "from  RDB$RELATION_FIELDS R " + kCRLF +
                           "JOIN RDB$FIELDS F ON (R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME) " + kCRLF +
                           "where  R.RDB$RELATION_NAME=:TN " + kCRLF + "order by R.RDB$FIELD_POSITION";
const String kProcParamsSQL = String("Select P.RDB$PARAMETER_NAME,F.RDB$FIELD_NAME,0,0,0,") + kCRLF +
                              "P.RDB$PARAMETER_TYPE," + kCRLF + "F.RDB$CHARACTER_SET_ID" + kCRLF +
                              "from RDB$PROCEDURE_PARAMETERS P" + kCRLF +
                              "JOIN RDB$FIELDS F ON (P.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME)WHERE "
                              "P.RDB$PROCEDURE_NAME=:PN" +
                              kCRLF + "AND P.RDB$PARAMETER_TYPE=1";
const String kMetadataVersionSQL =
    String("select a1.RDB$RELATION_ID VER  from RDB$RELATIONS a1") + kCRLF +
    "where a1.RDB$SYSTEM_FLAG = 0  and a1.rdb$relation_name=?TN" + kCRLF + "and not  a1.rdb$view_blr is null" + kCRLF +
    "union" + kCRLF + "select RDB$FORMAT from RDB$RELATIONS R" + kCRLF +
    "where R.RDB$SYSTEM_FLAG = 0    and R.rdb$relation_name=?TN" + kCRLF + "and  R.rdb$view_blr is null";
const String kRepositoryVersionSQL = "Select Max(fib$version) From FIB$FIELDS_INFO Where table_name=?TN";

Variant MetadataVersionOf(TFIBDatabase* Database, const String& Table) {
  return FirstValue(ReadTransaction(Database, nullptr), kMetadataVersionSQL, {Variant(Table)});
}

Integer RepositoryVersionOf(TFIBDatabase* Database, const String& Table) {
  const Variant v = FirstValue(ReadTransaction(Database, nullptr), kRepositoryVersionSQL, {Variant(Table)});
  return VarIsNull(v) ? 0 : static_cast<Integer>(v.AsInt64());
}

// The default of a column from its DEFAULT source text: a quoted text as
// the text it stands for (its doubled quotes single), anything else (USER,
// NULL, a number) as written.
void ParseDefault(String Text, String& Value, bool& EmptyString, bool& Quoted) {
  Value.clear();
  EmptyString = Quoted = false;
  Text = Trim(Text);
  if (Text.empty()) return;
  Text = Trim(Text.size() > 8 ? Text.substr(8) : String());
  const size_t quote = Text.find_first_of("'\"");
  if (quote != String::npos) {
    const char* literal = Text.c_str() + quote;
    Text = AnsiExtractQuotedStr(literal, Text[quote]);
    EmptyString = Text.empty();
    Quoted = true;
  }
  Value = Text;
}

// A column value as text (BLOB columns their text; Null "").
String ColumnText(TFIBXSQLVAR* Column) {
  if (Column->IsNull()) return String();
  if (Column->SQLType() == SQL_BLOB) return Column->ReadBlobText();
  return Column->AsString();
}

// Runs one DDL statement of an upgrade; its error is ignored.
void RunIgnoringErrors(TFIBQuery* Query, const String& SQL) {
  try {
    Query->SQL()->SetText(SQL);
    Query->ExecQuery();
  } catch (const Exception&) {
    // The table already has it (or cannot take it): the next one runs.
  }
}

String TriggerText(const char* Table, const char* Suffix, const char* When, const char* AfterBegin) {
  return String("CREATE TRIGGER ") + Table + "_" + Suffix + " FOR " + Table + " ACTIVE " + When +
         " POSITION 0 as " + kCRLF + "begin" + AfterBegin + kCRLF + "new.fib$version=gen_id(fib$field_info_version,1);" +
         kCRLF + "end";
}

// A statement without parameter checking on the transaction's database, the
// transaction started.
std::unique_ptr<TFIBQuery> UpgradeStatement(TFIBTransaction* Transaction) {
  auto q = std::make_unique<TFIBQuery>(nullptr);
  q->SetParamCheck(false);
  q->SetDatabase(Transaction->MainDatabase());
  q->SetTransaction(Transaction);
  if (!Transaction->Active()) Transaction->StartTransaction();
  return q;
}

}  // namespace

// ===========================================================================
// Existence checks and upgrades

bool RepositoryTableExists(TFIBDatabase* Database, Integer Kind) {
  if (Database == nullptr || Kind < rtFieldsInfo || Kind > rtErrorMessages || repository_lock == nullptr) return false;
  TCriticalSectionGuard guard(*repository_lock);
  const size_t at = static_cast<size_t>(Kind - 1);
  const TAttachment attachment{Database, Database->Handle()};
  char state = '2';
  if (Database->IsDesigning()) {
    existence->clear();
  } else if (auto it = existence->find(attachment); it != existence->end()) {
    state = it->second[at];
  }
  if (state != '2') return state == '1';
  static constexpr TFIBUseRepository kUse[] = {urFieldsInfo, urDataSetInfo, urErrorMessagesInfo};
  if (!Database->UseRepositories().Contains(kUse[at])) return false;
  TPrivateQuery p(Database);
  p.q->SQL()->SetText(String("select COUNT(RDB$RELATION_NAME)") + kCRLF + "from RDB$RELATIONS where RDB$FLAGS = 1" +
                      kCRLF + "and RDB$RELATION_NAME=?RT");
  p.tr->StartTransaction();
  p.q->ParamByName("RT")->SetAsString(kRepositoryTables[at]);
  p.q->ExecQuery();
  if (!p.q->GoToFirstRecordOnExecute()) p.q->FetchNext();
  const bool exists = !p.q->AtEnd() && p.q->Fields(0)->AsInteger() >= 1;
  p.q->Close();
  p.tr->Commit();
  existence_watch->Watch(Database);
  String& entry = (*existence)[attachment];
  if (entry.size() != 3) entry = "222";
  entry[at] = exists ? '1' : '0';
  return exists;
}

bool FIBBooleanDomainExists(TFIBDatabase* Database) {
  TPrivateQuery p(Database);
  p.q->SQL()->SetText(String("Select Count(*) FROM RDB$FIELDS FLD") + kCRLF +
                      "WHERE FLD.RDB$FIELD_NAME = 'FIB$BOOLEAN'");
  p.tr->StartTransaction();
  p.q->ExecQuery();
  if (!p.q->GoToFirstRecordOnExecute()) p.q->FetchNext();
  const bool exists = !p.q->AtEnd() && p.q->Fields(0)->AsInteger() != 0;
  p.q->Close();
  p.tr->Commit();
  return exists;
}

void UpgradeFieldsInfo(TFIBTransaction* Transaction) {
  std::unique_ptr<TFIBQuery> q = UpgradeStatement(Transaction);
  RunIgnoringErrors(q.get(), "CREATE GENERATOR FIB$FIELD_INFO_VERSION");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$FIELDS_INFO ADD DISPLAY_WIDTH INTEGER DEFAULT 0");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$FIELDS_INFO ADD FIB$VERSION INTEGER");
  RunIgnoringErrors(q.get(), TriggerText("FIB$FIELDS_INFO", "BI", "BEFORE INSERT", " "));
  RunIgnoringErrors(q.get(), TriggerText("FIB$FIELDS_INFO", "BU", "BEFORE UPDATE", " "));
  Transaction->CommitRetaining();
}

void UpgradeDataSetsInfo(TFIBTransaction* Transaction) {
  TFIBDatabase* db = Transaction->MainDatabase();
  std::unique_ptr<TFIBQuery> q = UpgradeStatement(Transaction);
  if (!FIBBooleanDomainExists(db))
    RunIgnoringErrors(q.get(), "CREATE DOMAIN FIB$BOOLEAN AS SMALLINT DEFAULT 1 NOT NULL CHECK (VALUE IN (0,1))");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$DATASETS_INFO ADD UPDATE_TABLE_NAME  VARCHAR(68)");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$DATASETS_INFO ADD UPDATE_ONLY_MODIFIED_FIELDS  FIB$BOOLEAN NOT NULL");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$DATASETS_INFO ADD CONDITIONS  BLOB sub_type 1 segment size 80");
  if (!Transaction->Active()) Transaction->StartTransaction();
  RunIgnoringErrors(q.get(), "CREATE GENERATOR FIB$FIELD_INFO_VERSION");
  RunIgnoringErrors(q.get(), "ALTER TABLE FIB$DATASETS_INFO ADD fib$version  INTEGER");
  RunIgnoringErrors(q.get(), TriggerText("FIB$DATASETS_INFO", "BI", "BEFORE INSERT", ""));
  RunIgnoringErrors(q.get(), TriggerText("FIB$DATASETS_INFO", "BU", "BEFORE UPDATE", ""));
  Transaction->CommitRetaining();
}

String PrimaryKeyFields(TFIBDatabase* Database, const String& TableName) {
  if (TableName.empty()) return String();
  if (Database == nullptr || !Database->Connected()) return kDeferredPrimaryKey;
  const String table = UnquoteIdentifier(Trim(TableName));
  const String sql = String("select i.rdb$field_name") + kCRLF +
                     "from    rdb$relation_constraints r, rdb$index_segments i" + kCRLF +
                     "where   r.rdb$relation_name=:TN and" + kCRLF + "r.rdb$constraint_type='PRIMARY KEY' and" +
                     kCRLF + "r.rdb$index_name=i.rdb$index_name" + kCRLF + "order by i.rdb$field_position";
  String result;
  ForEachRow(ReadTransaction(Database, nullptr), sql, {Variant(table)}, [&](TFIBQuery* q) {
    if (!result.empty()) result += ";";
    result += Trim(q->Fields(0)->AsString());
  });
  return result;
}

// ===========================================================================
// TpFIBFieldInfo and TpFIBTableInfo

TpFIBFieldInfo::TpFIBFieldInfo(const TpFIBFieldInfo& Other)
    : field_name_(Other.field_name_),
      domain_name_(Other.domain_name_),
      is_computed_(Other.is_computed_),
      default_value_(Other.default_value_),
      default_value_empty_string_(Other.default_value_empty_string_),
      default_value_quoted_(Other.default_value_quoted_),
      can_be_key_(Other.can_be_key_),
      boolean_domain_(Other.boolean_domain_.load()),
      guid_domain_(Other.guid_domain_.load()),
      loaded_(Other.loaded_),
      display_label_(Other.display_label_),
      display_width_(Other.display_width_),
      display_format_(Other.display_format_),
      edit_format_(Other.edit_format_),
      visible_(Other.visible_),
      triggered_(Other.triggered_) {
  for (int i = 0; i < Other.other_info_.Count(); ++i) other_info_.Add(Other.other_info_.Strings(i));
}

bool TpFIBFieldInfo::DomainContains(std::atomic<signed char>& Answer, const char* Word) const {
  signed char known = Answer.load();
  if (known < 0) {
    known = AnsiUpperCase(domain_name_).find(Word) != String::npos ? 1 : 0;
    Answer.store(known);
  }
  return known == 1;
}

TpFIBTableInfo::TpFIBTableInfo(const TpFIBTableInfo& Other)
    : db_name_(Other.db_name_),
      table_name_(Other.table_name_),
      with_repository_(Other.with_repository_),
      metadata_version_(Other.metadata_version_),
      repository_version_(Other.repository_version_),
      needs_check_(Other.needs_check_.load()) {
  {
    std::lock_guard<std::mutex> guard(Other.key_lock_);
    primary_key_ = Other.primary_key_;
  }
  fields_.reserve(Other.fields_.size());
  for (const auto& f : Other.fields_) fields_.push_back(std::make_unique<TpFIBFieldInfo>(*f));
}

namespace {

bool NameLess(const std::unique_ptr<TpFIBFieldInfo>& Info, const String& Name) { return Info->FieldName() < Name; }

}  // namespace

TpFIBFieldInfo* TpFIBTableInfo::FieldInfo(const String& Name) const {
  const String name = BareName(Name);
  auto it = std::lower_bound(fields_.begin(), fields_.end(), name, NameLess);
  return it != fields_.end() && (*it)->FieldName() == name ? it->get() : nullptr;
}

TpFIBFieldInfo* TpFIBTableInfo::AddFieldInfo(const String& Name) {
  auto it = std::lower_bound(fields_.begin(), fields_.end(), Name, NameLess);
  if (it != fields_.end() && (*it)->FieldName() == Name) return it->get();
  return fields_.insert(it, std::make_unique<TpFIBFieldInfo>(Name))->get();
}

String TpFIBTableInfo::PrimaryKeyFields(TFIBDatabase* Database) const {
  std::lock_guard<std::mutex> guard(key_lock_);
  if (primary_key_ == kDeferredPrimaryKey) primary_key_ = ::PrimaryKeyFields(Database, table_name_);
  return primary_key_;
}

// ===========================================================================
// Loading a table's information

class TpFIBTableLoader {
 public:
  // Columns (or procedure outputs) and the metadata version.
  static void LoadColumns(TpFIBTableInfo& Info, TFIBDatabase* Database, TFIBTransaction* Transaction) {
    TFIBTransaction* tr = ReadTransaction(Database, Transaction);
    auto row = [&](TFIBQuery* q) {
      TpFIBFieldInfo* f = Info.AddFieldInfo(Trim(q->Fields(0)->AsString()));
      f->domain_name_ = Trim(q->Fields(1)->AsString());
      f->is_computed_ = q->Fields(2)->SQLType() == SQL_BLOB && !q->Fields(2)->IsNull();
      String source = q->Fields(3)->IsNull() ? String() : Trim(ColumnText(q->Fields(3)));
      if (source.empty() && !q->Fields(4)->IsNull()) source = Trim(ColumnText(q->Fields(4)));
      ParseDefault(source, f->default_value_, f->default_value_empty_string_, f->default_value_quoted_);
      const Integer type = q->Fields(5)->AsInteger();
      f->can_be_key_ = type != 261 && type != 9;
    };
    bool any = false;
    ForEachRow(tr, kColumnsSQL, {Variant(Info.table_name_)}, [&](TFIBQuery* q) {
      any = true;
      row(q);
    });
    if (!any) ForEachRow(tr, kProcParamsSQL, {Variant(Info.table_name_)}, row);
    if (Info.table_name_ != "ALIAS") Info.metadata_version_ = MetadataVersionOf(Database, Info.table_name_);
  }

  // The FIB$FIELDS_INFO rows of the table and their version.
  static void LoadRepository(TpFIBTableInfo& Info, TFIBDatabase* Database, TFIBTransaction* Transaction) {
    Info.with_repository_ = true;
    if (!FieldsInfoTableExists(Database)) return;
    static const char* const kKnown[] = {"TABLE_NAME",     "FIELD_NAME",  "FIB$VERSION", "DISPLAY_LABEL",
                                         "DISPLAY_WIDTH",  "DISPLAY_FORMAT", "EDIT_FORMAT", "VISIBLE",
                                         "TRIGGERED"};
    TFIBTransaction* tr = ReadTransaction(Database, Transaction);
    TReadScope scope(tr);
    auto q = std::make_unique<TFIBQuery>(nullptr);
    q->SetDatabase(Database);
    q->SetTransaction(tr);
    q->SQL()->SetText("Select * from FIB$FIELDS_INFO where TABLE_NAME=" + QuotedLiteral(Info.table_name_) +
                      (Info.table_name_ == "ALIAS" ? " ORDER BY TABLE_NAME,FIELD_NAME" : " ORDER BY FIELD_NAME"));
    q->ExecQuery();
    if (!q->GoToFirstRecordOnExecute()) q->FetchNext();
    for (; !q->AtEnd(); q->FetchNext()) {
      TFIBXSQLVAR* name = q->FindField("FIELD_NAME");
      if (name == nullptr || name->IsNull()) continue;
      TpFIBFieldInfo* f = Info.AddFieldInfo(Trim(name->AsString()));
      f->loaded_ = true;
      auto text = [&](const char* Column) {
        TFIBXSQLVAR* v = q->FindField(Column);
        return v != nullptr ? ColumnText(v) : String();
      };
      auto number = [&](const char* Column) {
        TFIBXSQLVAR* v = q->FindField(Column);
        return v != nullptr && !v->IsNull() ? v->AsInteger() : 0;
      };
      f->display_label_ = text("DISPLAY_LABEL");
      f->display_width_ = number("DISPLAY_WIDTH");
      f->display_format_ = text("DISPLAY_FORMAT");
      f->edit_format_ = text("EDIT_FORMAT");
      f->visible_ = number("VISIBLE") == 1;
      f->triggered_ = number("TRIGGERED") == 1;
      f->other_info_.Clear();
      TFIBXSQLDA* columns = q->Fields();
      for (Integer i = 0; i < columns->Count(); ++i) {
        const String column = columns->Vars(i)->Name();
        if (std::any_of(std::begin(kKnown), std::end(kKnown), [&](const char* k) { return column == k; })) continue;
        f->other_info_.Add(column + "=" + ColumnText(columns->Vars(i)));
      }
    }
    q->Close();
    q.reset();
    scope.Done();
    Info.repository_version_ = RepositoryVersionOf(Database, Info.table_name_);
  }
};

// ===========================================================================
// TpFIBTableInfoCollect

TpFIBTableInfoCollect::TpFIBTableInfoCollect(TComponent* AOwner)
    : TComponent(AOwner), watch_(std::make_unique<TWatch>(this)) {}

TpFIBTableInfoCollect::~TpFIBTableInfoCollect() {
  for (TFIBDatabase* db : watched_)
    db->BeforeDestroyEvents()->Remove({watch_.get(), &TWatch::DatabaseDestroying});
}

void TpFIBTableInfoCollect::Watch(TFIBDatabase* Database) {
  if (watched_.insert(Database).second)
    Database->BeforeDestroyEvents()->Add({watch_.get(), &TWatch::DatabaseDestroying});
}

void TpFIBTableInfoCollect::TWatch::DatabaseDestroying(TObject* Sender) {
  if (auto* db = dynamic_cast<TFIBDatabase*>(Sender)) owner_->DatabaseDestroying(db);
}

void TpFIBTableInfoCollect::DatabaseDestroying(TFIBDatabase* Database) {
  {
    TWriteLock guard(lock_);
    if (watched_.erase(Database) == 0) return;
    const String name = Database->DBName();
    for (auto it = infos_.begin(); it != infos_.end();) {
      if (it->first.first == name) it = infos_.erase(it);
      else ++it;
    }
  }
  if (repository_lock != nullptr) {
    TCriticalSectionGuard guard(*repository_lock);
    ForgetExistence(Database);
  }
}

bool TpFIBTableInfoCollect::UpToDate(const TpFIBTableInfo& Info, TFIBDatabase* Database) {
  if (Info.DBName() != Database->DBName()) return false;
  if (Info.TableName() != "ALIAS" && !SameVersion(Info.MetadataVersion(), MetadataVersionOf(Database, Info.TableName())))
    return false;
  if (Info.WithRepository() && FieldsInfoTableExists(Database) &&
      Info.RepositoryVersion() != RepositoryVersionOf(Database, Info.TableName()))
    return false;
  return true;
}

std::shared_ptr<TpFIBTableInfo> TpFIBTableInfoCollect::GetTableInfo(TFIBDatabase* Database, const String& TableName,
                                                                    bool WithRepository, TFIBTransaction* Transaction) {
  if (Database == nullptr) return nullptr;
  const String table = BareName(TableName);
  TWriteLock guard(lock_);
  Watch(Database);
  const std::pair<String, String> key{Database->DBName(), table};
  auto it = infos_.find(key);
  if (it != infos_.end() && check_versions_ && it->second->NeedsCheck()) {
    const bool current = UpToDate(*it->second, Database);
    it->second->needs_check_ = !current;
    if (!current) {
      for (auto e = infos_.begin(); e != infos_.end();) {
        if (e->first.second == table) e = infos_.erase(e);
        else ++e;
      }
      it = infos_.end();
    }
  }
  if (it != infos_.end()) {
    if (!WithRepository || it->second->WithRepository()) return it->second;
    // A new entry with the repository rows takes the place of the old one.
    auto copy = std::make_shared<TpFIBTableInfo>(*it->second);
    TpFIBTableLoader::LoadRepository(*copy, Database, Transaction);
    it->second = copy;
    return copy;
  }
  auto info = std::make_shared<TpFIBTableInfo>(Database->DBName(), table);
  TpFIBTableLoader::LoadColumns(*info, Database, Transaction);
  if (WithRepository) TpFIBTableLoader::LoadRepository(*info, Database, Transaction);
  infos_[key] = info;
  return info;
}

std::shared_ptr<TpFIBFieldInfo> TpFIBTableInfoCollect::GetFieldInfo(TFIBDatabase* Database, const String& TableName,
                                                                    bool WithRepository, const String& FieldName) {
  std::shared_ptr<TpFIBTableInfo> table = GetTableInfo(Database, TableName, WithRepository);
  if (!table) return nullptr;
  TpFIBFieldInfo* field = table->FieldInfo(FieldName);
  if (field == nullptr) return nullptr;
  return std::shared_ptr<TpFIBFieldInfo>(table, field);
}

void TpFIBTableInfoCollect::NeedCheckVersions(TFIBDatabase* Database) {
  TReadLock guard(lock_);
  for (auto& [key, info] : infos_)
    if (Database == nullptr || key.first == Database->DBName()) info->needs_check_ = true;
}

void TpFIBTableInfoCollect::ClearForDatabase(const String& DBName) {
  TWriteLock guard(lock_);
  for (auto it = infos_.begin(); it != infos_.end();) {
    if (it->first.first == DBName) it = infos_.erase(it);
    else ++it;
  }
}

void TpFIBTableInfoCollect::Clear() {
  TWriteLock guard(lock_);
  infos_.clear();
}

Integer TpFIBTableInfoCollect::Count() const {
  TReadLock guard(lock_);
  return static_cast<Integer>(infos_.size());
}

// ===========================================================================
// Dataset definitions

namespace {

// The checks both directions share: the dataset may use the repository.
bool DataSetInfoUsable(TpFIBDataSet* DataSet) {
  if (DataSet == nullptr || DataSet->DataSet_ID() == 0) return false;
  TFIBDatabase* db = DataSet->Database();
  return db != nullptr && db->UseRepositories().Contains(urDataSetInfo) && DataSetsInfoTableExists(db);
}

// The select text the dataset's definition holds: the text before applied
// conditions.
String StoredSelectText(TpFIBDataSet* DataSet) {
  TConditions* conditions = DataSet->Conditions();
  if (conditions->Applied() && !conditions->SavedSQL().empty()) return conditions->SavedSQL();
  return DataSet->SelectSQL()->Text();
}

}  // namespace

void ReadDataSetInfo(TpFIBDataSet* DataSet, TpDataSetInfo* Info) {
  if (Info == nullptr) {
    SaveDataSetInfo(DataSet);
    return;
  }
  if (!DataSetInfoUsable(DataSet)) return;
  TPrivateQuery p(DataSet->Database());
  p.q->SQL()->SetText("SELECT * FROM FIB$DATASETS_INFO WHERE DS_ID=" + IntToStr(DataSet->DataSet_ID()));
  p.tr->StartTransaction();
  p.q->ExecQuery();
  if (!p.q->GoToFirstRecordOnExecute()) p.q->FetchNext();
  if (!p.q->AtEnd()) {
    auto text = [&](const char* Column) {
      TFIBXSQLVAR* v = p.q->FindField(Column);
      return v != nullptr ? ColumnText(v) : String();
    };
    Info->exists_ = true;
    Info->select_sql_.SetText(text("SELECT_SQL"));
    Info->update_sql_.SetText(text("UPDATE_SQL"));
    Info->insert_sql_.SetText(text("INSERT_SQL"));
    Info->delete_sql_.SetText(text("DELETE_SQL"));
    Info->refresh_sql_.SetText(text("REFRESH_SQL"));
    Info->key_field_ = text("KEY_FIELD");
    Info->generator_name_ = text("NAME_GENERATOR");
    Info->description_ = text("DESCRIPTION");
    TFIBXSQLVAR* version = p.q->FindField("FIB$VERSION");
    Info->version_ = version != nullptr && !version->IsNull() ? version->AsInteger() : 0;
    Info->update_table_name_ = text("UPDATE_TABLE_NAME");
    TFIBXSQLVAR* only = p.q->FindField("UPDATE_ONLY_MODIFIED_FIELDS");
    Info->update_only_modified_fields_ = only != nullptr && !only->IsNull() && only->AsInteger() != 0;
    Info->conditions_ = text("CONDITIONS");
  }
  p.q->Close();
  p.tr->Commit();
}

void SaveDataSetInfo(TpFIBDataSet* DataSet) {
  if (!DataSetInfoUsable(DataSet)) return;
  const String id = IntToStr(DataSet->DataSet_ID());
  TPrivateQuery p(DataSet->Database());
  p.tr->StartTransaction();
  p.q->SQL()->SetText("SELECT COUNT(*) FROM FIB$DATASETS_INFO WHERE DS_ID=" + id);
  p.q->ExecQuery();
  if (!p.q->GoToFirstRecordOnExecute()) p.q->FetchNext();
  const bool exists = !p.q->AtEnd() && p.q->Fields(0)->AsInteger() > 0;
  p.q->Close();
  if (!exists) {
    p.q->SQL()->SetText("INSERT INTO FIB$DATASETS_INFO (DS_ID,UPDATE_ONLY_MODIFIED_FIELDS) VALUES(" + id + ",1)");
    p.q->ExecQuery();
  }
  p.q->SQL()->SetText(
      "UPDATE FIB$DATASETS_INFO SET SELECT_SQL=?SELECT_SQL,DESCRIPTION=?DESCRIPTION,UPDATE_SQL=?UPDATE_SQL,"
      "INSERT_SQL=?INSERT_SQL,DELETE_SQL=?DELETE_SQL,REFRESH_SQL=?REFRESH_SQL,NAME_GENERATOR=?NAME_GENERATOR,"
      "KEY_FIELD=?KEY_FIELD, UPDATE_TABLE_NAME=?UPDATE_TABLE_NAME, "
      "UPDATE_ONLY_MODIFIED_FIELDS=?UPDATE_ONLY_MODIFIED_FIELDS, CONDITIONS=?CONDITIONS WHERE DS_ID=" +
      id);
  TAutoUpdateOptions* options = DataSet->AutoUpdateOptions();
  p.q->ParamByName("SELECT_SQL")->SetAsString(StoredSelectText(DataSet));
  p.q->ParamByName("DESCRIPTION")->SetAsString(DataSet->Description());
  p.q->ParamByName("UPDATE_SQL")->SetAsString(DataSet->UpdateSQL()->Text());
  p.q->ParamByName("INSERT_SQL")->SetAsString(DataSet->InsertSQL()->Text());
  p.q->ParamByName("DELETE_SQL")->SetAsString(DataSet->DeleteSQL()->Text());
  p.q->ParamByName("REFRESH_SQL")->SetAsString(DataSet->RefreshSQL()->Text());
  p.q->ParamByName("NAME_GENERATOR")->SetAsString(options->GeneratorName());
  p.q->ParamByName("KEY_FIELD")->SetAsString(options->KeyFields());
  p.q->ParamByName("UPDATE_TABLE_NAME")->SetAsString(options->UpdateTableName());
  p.q->ParamByName("UPDATE_ONLY_MODIFIED_FIELDS")->SetAsInteger(options->UpdateOnlyModifiedFields() ? 1 : 0);
  p.q->ParamByName("CONDITIONS")->SetAsString(DataSet->Conditions()->SaveToStrings());
  p.q->ExecQuery();
  p.tr->Commit();
}

Integer DataSetInfoVersion(TpFIBDataSet* DataSet) {
  // A database without the table has no rows, as ReadDataSetInfo found.
  if (!DataSetInfoUsable(DataSet)) return 0;
  const Variant v = FirstValue(DataSet->Transaction(), "SELECT FIB$VERSION FROM FIB$DATASETS_INFO WHERE DS_ID=:DS_ID",
                               {Variant(DataSet->DataSet_ID())});
  return VarIsNull(v) ? 0 : static_cast<Integer>(v.AsInt64());
}

TpDataSetInfo* TpDataSetInfoCollect::GetDataSetInfo(TpFIBDataSet* DataSet) {
  TCriticalSectionGuard guard(lock_);
  TFIBDatabase* db = DataSet->Database();
  const Integer id = DataSet->DataSet_ID();
  if (db == nullptr || db->DBName().empty())
    throw Exception("Can't get info for " + IntToStr(id) + kCRLF + "Database is not assigned");
  const std::pair<Integer, String> key{id, db->DBName()};
  auto it = infos_.find(key);
  if (it != infos_.end() && check_versions_ && it->second->NeedCheck()) {
    if (DataSetInfoVersion(DataSet) != it->second->Version()) {
      infos_.erase(it);
      it = infos_.end();
    } else {
      it->second->SetNeedCheck(false);
    }
  }
  if (it != infos_.end()) return it->second.get();
  auto info = std::make_unique<TpDataSetInfo>(id, db->DBName());
  ReadDataSetInfo(DataSet, info.get());
  return (infos_[key] = std::move(info)).get();
}

void TpDataSetInfoCollect::LoadDataSetInfo(TpFIBDataSet* DataSet) {
  // A database that does not take part gets no definition, not even one
  // another connection to the same file cached.
  TFIBDatabase* db = DataSet->Database();
  if (db != nullptr && !db->UseRepositories().Contains(urDataSetInfo)) return;
  TCriticalSectionGuard guard(lock_);
  if (DataSet->IsDesigning()) ClearDataSetInfo(DataSet);
  TpDataSetInfo* info = GetDataSetInfo(DataSet);
  // The next application asks whether the row moved on.
  info->SetNeedCheck(true);
  if (!info->Exists()) return;
  struct TText {
    TStringList* Stored;
    TStrings* Current;
  } texts[] = {{info->SelectSQL(), DataSet->SelectSQL()},
               {info->InsertSQL(), DataSet->InsertSQL()},
               {info->UpdateSQL(), DataSet->UpdateSQL()},
               {info->DeleteSQL(), DataSet->DeleteSQL()},
               {info->RefreshSQL(), DataSet->RefreshSQL()}};
  for (const TText& t : texts) {
    if (t.Stored->Count() == 0 || t.Stored->Text() == t.Current->Text()) continue;
    if (t.Current == DataSet->SelectSQL()) {
      TConditions* conditions = DataSet->Conditions();
      if (conditions->Applied() && conditions->SavedSQL() == t.Stored->Text()) continue;
    }
    t.Current->Assign(t.Stored);
  }
  TAutoUpdateOptions* options = DataSet->AutoUpdateOptions();
  if (!info->KeyField().empty() && !info->GeneratorName().empty()) options->SetSelectGenID(true);
  options->SetKeyFields(info->KeyField());
  options->SetGeneratorName(info->GeneratorName());
  options->SetUpdateOnlyModifiedFields(info->UpdateOnlyModifiedFields());
  options->SetUpdateTableName(info->UpdateTableName());
  DataSet->Conditions()->LoadFromStrings(info->Conditions());
  DataSet->SetDescription(info->Description());
}

void TpDataSetInfoCollect::ClearDataSetInfo(TpFIBDataSet* DataSet) {
  TCriticalSectionGuard guard(lock_);
  TFIBDatabase* db = DataSet->Database();
  if (db != nullptr) infos_.erase({DataSet->DataSet_ID(), db->DBName()});
}

void TpDataSetInfoCollect::Clear() {
  TCriticalSectionGuard guard(lock_);
  infos_.clear();
}

Integer TpDataSetInfoCollect::Count() const {
  TCriticalSectionGuard guard(lock_);
  return static_cast<Integer>(infos_.size());
}

// ===========================================================================
// Procedures and error texts

std::vector<String> TpStoredProcCollect::OutputParams(TFIBDatabase* Database, const String& ProcName) {
  if (Database == nullptr) return {};
  const String proc = BareName(ProcName);
  TCriticalSectionGuard guard(lock_);
  const std::pair<String, String> key{Database->DBName(), proc};
  if (auto it = procs_.find(key); it != procs_.end()) return it->second;
  std::vector<String> names;
  ForEachRow(ReadTransaction(Database, nullptr), kProcParamsSQL, {Variant(proc)},
             [&](TFIBQuery* q) { names.push_back(Trim(q->Fields(0)->AsString())); });
  procs_[key] = names;
  return names;
}

void TpStoredProcCollect::Clear() {
  TCriticalSectionGuard guard(lock_);
  procs_.clear();
}

void TpErrorMessagesCollect::Add(const String& Name, const String& Message) {
  TWriteLock guard(lock_);
  messages_[Name] = Message;
}

bool TpErrorMessagesCollect::Find(const String& Name, String& Message) const {
  TReadLock guard(lock_);
  auto it = messages_.find(Name);
  if (it == messages_.end()) return false;
  Message = it->second;
  return true;
}

void TpErrorMessagesCollect::Clear() {
  TWriteLock guard(lock_);
  messages_.clear();
}

Integer TpErrorMessagesCollect::Count() const {
  TReadLock guard(lock_);
  return static_cast<Integer>(messages_.size());
}

// ===========================================================================
// Unit

TpFIBTableInfoCollect* ListTableInfo() { return table_infos; }
TpDataSetInfoCollect* ListDataSetInfo() { return dataset_infos; }
TpStoredProcCollect* ListSPInfo() { return sp_infos; }
TpErrorMessagesCollect* ListErrorMessages() { return error_messages; }

namespace {

void InitDataInfo() {
  repository_lock = new TCriticalSection();
  existence = new std::map<TAttachment, String>();
  existence_watch = new TExistenceWatch();
  table_infos = new TpFIBTableInfoCollect(nullptr);
  dataset_infos = new TpDataSetInfoCollect();
  sp_infos = new TpStoredProcCollect();
  error_messages = new TpErrorMessagesCollect();
}

void DoneDataInfo() {
  delete error_messages;
  error_messages = nullptr;
  delete sp_infos;
  sp_infos = nullptr;
  delete dataset_infos;
  dataset_infos = nullptr;
  delete table_infos;
  table_infos = nullptr;
  delete existence_watch;
  existence_watch = nullptr;
  delete existence;
  existence = nullptr;
  delete repository_lock;
  repository_lock = nullptr;
}

constexpr const TUnit* kUses[] = {&unit_FIBDatabase, &unit_pFIBCacheQueries};

}  // namespace

constinit const TUnit unit_pFIBDataInfo("pFIBDataInfo", kUses, InitDataInfo, DoneDataInfo);
