// Repository tables in the application's own database, and column
// information.
//
// Three tables may hold settings for datasets: FIB$FIELDS_INFO (display
// attributes per table column; TABLE_NAME "ALIAS" rows apply to a field name
// in any table), FIB$DATASETS_INFO (whole dataset definitions keyed by
// DS_ID) and FIB$ERROR_MESSAGES (only its existence is tested here). A
// database takes part only for the repositories in its UseRepositories.
// Nothing here creates the tables: an absent table is simply not used.
//
// Process-wide caches, made by the unit's start-up and freed at its end:
//   - the existence cache: per database object and table "0" absent, "1"
//     present, "2" unknown, under the repository lock; a database on a
//     designer surface clears it and asks again;
//   - ListTableInfo(): per database name and table (or stored procedure) its
//     columns' TpFIBFieldInfo: domain, computed flag, default value, usable
//     as key from the system tables, display attributes from
//     FIB$FIELDS_INFO. Guarded by a multi-reader single-writer lock;
//   - ListDataSetInfo(): FIB$DATASETS_INFO rows per DS_ID and database
//     name, under its own critical section;
//   - ListSPInfo(), ListErrorMessages(): output parameters of stored
//     procedures and error texts.
//
//   std::shared_ptr<TpFIBFieldInfo> info =
//       ListTableInfo()->GetFieldInfo(db, "PEOPLE", true, "NAME");
//   if (info && info->Visible()) field->SetDisplayLabel(info->DisplayLabel());
//
// Entries are never changed once handed out: loading repository rows into a
// known table, or reloading it, puts a new entry in its place, so a caller
// may keep the shared pointer it got while other threads read on.
//
// Versions. A table entry records the server's metadata version of its
// table (views: the relation id; tables: RDB$FORMAT) and, when its
// repository rows were read, Max(FIB$VERSION) of them (the repository's
// triggers raise FIB$VERSION from the generator FIB$FIELD_INFO_VERSION on
// every insert and update). NeedCheckVersions marks the entries of a
// database: the next request of each compares them with the server and
// reloads the table when either moved on. A dataset marks its database's
// entries whenever it prepares its select statement. A dataset definition is
// compared with the server's FIB$VERSION each time it is applied again.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "dataaccess/core/FIBDatabase.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/System.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TpFIBDataSet;

extern const TUnit unit_pFIBDataInfo;

// The primary key text of a table whose key could not be read yet (no
// connection at the time).
inline constexpr const char* kDeferredPrimaryKey = "@FIB_DEFERRED";

// Kinds of RepositoryTableExists.
enum TRepositoryTable : Integer {
  rtFieldsInfo = 1,     // FIB$FIELDS_INFO
  rtDataSetsInfo = 2,   // FIB$DATASETS_INFO
  rtErrorMessages = 3,  // FIB$ERROR_MESSAGES
};

// Whether the repository table of Kind exists in Database. Known answers
// come from the existence cache; an unknown one is asked of the server (on a
// private transaction) only when the kind is in the database's
// UseRepositories, else the answer is false.
bool RepositoryTableExists(TFIBDatabase* Database, Integer Kind);
inline bool FieldsInfoTableExists(TFIBDatabase* Database) { return RepositoryTableExists(Database, rtFieldsInfo); }
inline bool DataSetsInfoTableExists(TFIBDatabase* Database) { return RepositoryTableExists(Database, rtDataSetsInfo); }
// The domain FIB$BOOLEAN exists (asked on a private transaction).
bool FIBBooleanDomainExists(TFIBDatabase* Database);
// Bring older repository tables to the current layout: each statement runs
// once, its error ignored; the transaction is started when inactive and
// committed retaining at the end.
void UpgradeFieldsInfo(TFIBTransaction* Transaction);
void UpgradeDataSetsInfo(TFIBTransaction* Transaction);
// The primary key columns of a table joined by ";" (the table name without
// its enclosing double quotes); "" for an empty name; kDeferredPrimaryKey
// without a connected database.
String PrimaryKeyFields(TFIBDatabase* Database, const String& TableName);

// ---------------------------------------------------------------------------
// One column (or procedure output parameter) of a table.

class TpFIBFieldInfo {
 public:
  explicit TpFIBFieldInfo(const String& FieldName) : field_name_(FieldName) {}
  TpFIBFieldInfo(const TpFIBFieldInfo& Other);
  TpFIBFieldInfo& operator=(const TpFIBFieldInfo&) = delete;

  const String& FieldName() const { return field_name_; }
  // From the system tables.
  const String& DomainName() const { return domain_name_; }
  bool IsComputed() const { return is_computed_; }
  // The default without the word DEFAULT, a quoted text without its quotes.
  const String& DefaultValue() const { return default_value_; }
  // The default is the empty text ('').
  bool DefaultValueEmptyString() const { return default_value_empty_string_; }
  // The default is a quoted text (DefaultValue the text itself, its
  // doubled quotes single), not a word such as USER or NULL.
  bool DefaultValueQuoted() const { return default_value_quoted_; }
  // Not a BLOB (261) nor a QUAD (9) column.
  bool CanBeKey() const { return can_be_key_; }
  // Answered once each: the upper-cased domain name contains "BOOLEAN",
  // respectively "GUID".
  bool IsBooleanDomain() const { return DomainContains(boolean_domain_, "BOOLEAN"); }
  bool IsGuidDomain() const { return DomainContains(guid_domain_, "GUID"); }

  // From FIB$FIELDS_INFO: Loaded once a row was read.
  bool Loaded() const { return loaded_; }
  const String& DisplayLabel() const { return display_label_; }
  Integer DisplayWidth() const { return display_width_; }
  const String& DisplayFormat() const { return display_format_; }
  const String& EditFormat() const { return edit_format_; }
  bool Visible() const { return visible_; }
  bool Triggered() const { return triggered_; }
  // The row's other columns as "NAME=value" lines.
  const TStringList* OtherInfo() const { return &other_info_; }

 private:
  friend class TpFIBTableInfoCollect;
  friend class TpFIBTableLoader;
  bool DomainContains(std::atomic<signed char>& Answer, const char* Word) const;

  String field_name_;
  String domain_name_;
  bool is_computed_ = false;
  String default_value_;
  bool default_value_empty_string_ = false;
  bool default_value_quoted_ = false;
  bool can_be_key_ = true;
  mutable std::atomic<signed char> boolean_domain_{-1};  // -1 not yet known
  mutable std::atomic<signed char> guid_domain_{-1};
  bool loaded_ = false;
  String display_label_;
  Integer display_width_ = 0;
  String display_format_;
  String edit_format_;
  bool visible_ = true;
  bool triggered_ = false;
  TStringList other_info_;
};

// ---------------------------------------------------------------------------
// The columns of one table or stored procedure of one database.

class TpFIBTableInfo {
 public:
  TpFIBTableInfo(const String& DBName, const String& TableName) : db_name_(DBName), table_name_(TableName) {}
  TpFIBTableInfo(const TpFIBTableInfo& Other);
  TpFIBTableInfo& operator=(const TpFIBTableInfo&) = delete;

  const String& DBName() const { return db_name_; }
  const String& TableName() const { return table_name_; }
  // The column Name (double quotes removed, trimmed); nullptr when absent.
  // The info lives as long as this table info.
  TpFIBFieldInfo* FieldInfo(const String& Name) const;
  Integer FieldCount() const { return static_cast<Integer>(fields_.size()); }
  // In name order.
  TpFIBFieldInfo* FieldInfos(Integer Index) const { return fields_.at(static_cast<size_t>(Index)).get(); }
  // The primary key columns joined by ";", read on first use (again while
  // the last answer was kDeferredPrimaryKey).
  String PrimaryKeyFields(TFIBDatabase* Database) const;
  // The repository rows were read with the columns.
  bool WithRepository() const { return with_repository_; }
  // The server's versions at loading: of the table's metadata (Null for a
  // procedure or an unknown name) and of its repository rows.
  const Variant& MetadataVersion() const { return metadata_version_; }
  Integer RepositoryVersion() const { return repository_version_; }
  bool NeedsCheck() const { return needs_check_.load(); }

 private:
  friend class TpFIBTableInfoCollect;
  friend class TpFIBTableLoader;
  // The column's info, made when absent.
  TpFIBFieldInfo* AddFieldInfo(const String& Name);

  String db_name_;
  String table_name_;
  std::vector<std::unique_ptr<TpFIBFieldInfo>> fields_;  // by name
  mutable std::mutex key_lock_;
  mutable String primary_key_ = kDeferredPrimaryKey;
  bool with_repository_ = false;
  Variant metadata_version_;
  Integer repository_version_ = 0;
  mutable std::atomic<bool> needs_check_{false};
};

// ---------------------------------------------------------------------------
// Table infos of all databases, keyed by database name and table name.

// A freed database takes its entries (by its name) and its existence-cache
// entry along: the collection hooks each database's BeforeDestroyEvents (a
// locked callback list) rather than the component free notification, so
// that databases freed on several threads at once never share a list.
class TpFIBTableInfoCollect : public TComponent {
 public:
  explicit TpFIBTableInfoCollect(TComponent* AOwner);
  ~TpFIBTableInfoCollect() override;

  // The table's info (the name loses its double quotes and is trimmed):
  // loaded when absent (metadata through the database's internal
  // transaction, else Transaction, else the default one), checked against
  // the server when marked, with its repository rows read on the first
  // request WithRepository. nullptr without a database.
  std::shared_ptr<TpFIBTableInfo> GetTableInfo(TFIBDatabase* Database, const String& TableName,
                                               bool WithRepository, TFIBTransaction* Transaction = nullptr);
  // GetTableInfo, then the column's info (it keeps its table info alive).
  std::shared_ptr<TpFIBFieldInfo> GetFieldInfo(TFIBDatabase* Database, const String& TableName,
                                               bool WithRepository, const String& FieldName);
  // Marks every entry of the database (nullptr: all) for a version check at
  // its next request.
  void NeedCheckVersions(TFIBDatabase* Database);
  // Version checks happen at all (default true).
  bool CheckVersions() const { return check_versions_.load(); }
  void SetCheckVersions(bool Value) { check_versions_ = Value; }
  // Drops the entries of a database name.
  void ClearForDatabase(const String& DBName);
  void Clear();
  Integer Count() const;

 private:
  // The object the databases' before-destroy callbacks are bound to.
  class TWatch : public TObject {
   public:
    explicit TWatch(TpFIBTableInfoCollect* Owner) : owner_(Owner) {}
    void DatabaseDestroying(TObject* Sender);

   private:
    TpFIBTableInfoCollect* owner_;
  };
  // Hooks the database's destruction once.
  void Watch(TFIBDatabase* Database);
  void DatabaseDestroying(TFIBDatabase* Database);
  bool UpToDate(const TpFIBTableInfo& Info, TFIBDatabase* Database);

  std::unique_ptr<TWatch> watch_;

  mutable TMultiReadExclusiveWriteSynchronizer lock_;
  std::map<std::pair<String, String>, std::shared_ptr<TpFIBTableInfo>> infos_;
  std::set<TFIBDatabase*> watched_;
  std::atomic<bool> check_versions_{true};
};

// ---------------------------------------------------------------------------
// Dataset definitions (FIB$DATASETS_INFO rows).

class TpDataSetInfo {
 public:
  TpDataSetInfo(Integer ID, const String& DBName) : id_(ID), db_name_(DBName) {}

  Integer ID() const { return id_; }
  const String& DBName() const { return db_name_; }
  // A row of that DS_ID was found.
  bool Exists() const { return exists_; }
  Integer Version() const { return version_; }
  TStringList* SelectSQL() { return &select_sql_; }
  TStringList* InsertSQL() { return &insert_sql_; }
  TStringList* UpdateSQL() { return &update_sql_; }
  TStringList* DeleteSQL() { return &delete_sql_; }
  TStringList* RefreshSQL() { return &refresh_sql_; }
  const String& KeyField() const { return key_field_; }
  const String& GeneratorName() const { return generator_name_; }
  const String& Description() const { return description_; }
  const String& UpdateTableName() const { return update_table_name_; }
  bool UpdateOnlyModifiedFields() const { return update_only_modified_fields_; }
  // The conditions in their "#$#$" text form.
  const String& Conditions() const { return conditions_; }
  // The next use compares the version with the server's.
  bool NeedCheck() const { return need_check_; }
  void SetNeedCheck(bool Value) { need_check_ = Value; }

 private:
  friend void ReadDataSetInfo(TpFIBDataSet* DataSet, TpDataSetInfo* Info);
  Integer id_;
  String db_name_;
  bool exists_ = false;
  Integer version_ = 0;
  TStringList select_sql_, insert_sql_, update_sql_, delete_sql_, refresh_sql_;
  String key_field_, generator_name_, description_, update_table_name_;
  bool update_only_modified_fields_ = false;
  String conditions_;
  bool need_check_ = false;
};

// Reads the FIB$DATASETS_INFO row of the dataset's DataSet_ID into Info (on
// a private transaction); only for a non-zero id on a database with
// urDataSetInfo and the table. Server errors pass to the caller.
void ReadDataSetInfo(TpFIBDataSet* DataSet, TpDataSetInfo* Info);
// Writes the dataset's texts, key field, generator, description, update
// table, flag and conditions into its row (inserted first when missing) and
// commits the private transaction. Same conditions as ReadDataSetInfo.
void SaveDataSetInfo(TpFIBDataSet* DataSet);
// FIB$VERSION of the dataset's row (0 without one, or where ReadDataSetInfo
// reads nothing), on its transaction.
Integer DataSetInfoVersion(TpFIBDataSet* DataSet);

class TpDataSetInfoCollect {
 public:
  TpDataSetInfoCollect() = default;
  TpDataSetInfoCollect(const TpDataSetInfoCollect&) = delete;
  TpDataSetInfoCollect& operator=(const TpDataSetInfoCollect&) = delete;

  // The cached definition of the dataset's DataSet_ID and database name,
  // read when missing and re-read when marked and the server's version
  // differs. "Can't get info for <id>\r\nDatabase is not assigned" without a
  // database name. Valid until the next call (under Lock()).
  TpDataSetInfo* GetDataSetInfo(TpFIBDataSet* DataSet);
  // Applies the definition: the five SQL texts that have lines and differ
  // (the select text is kept when the applied Conditions were made from
  // it), the key field, generator, update table and flag of
  // AutoUpdateOptions, Conditions and Description. An id without a row, and
  // a database without urDataSetInfo, change nothing. At design time the
  // cached definition is read anew.
  void LoadDataSetInfo(TpFIBDataSet* DataSet);
  void ClearDataSetInfo(TpFIBDataSet* DataSet);
  bool CheckVersions() const { return check_versions_; }
  void SetCheckVersions(bool Value) { check_versions_ = Value; }
  void Clear();
  Integer Count() const;
  TCriticalSection& Lock() { return lock_; }

 private:
  mutable TCriticalSection lock_;
  // (DS_ID, database name) -> definition.
  std::map<std::pair<Integer, String>, std::unique_ptr<TpDataSetInfo>> infos_;
  bool check_versions_ = true;
};

// ---------------------------------------------------------------------------
// Output parameters of stored procedures, and error texts.

class TpStoredProcCollect {
 public:
  TpStoredProcCollect() = default;
  TpStoredProcCollect(const TpStoredProcCollect&) = delete;
  TpStoredProcCollect& operator=(const TpStoredProcCollect&) = delete;

  // The output parameter names of a procedure in their order, read once per
  // database name and procedure.
  std::vector<String> OutputParams(TFIBDatabase* Database, const String& ProcName);
  void Clear();

 private:
  TCriticalSection lock_;
  std::map<std::pair<String, String>, std::vector<String>> procs_;
};

class TpErrorMessagesCollect {
 public:
  TpErrorMessagesCollect() = default;
  TpErrorMessagesCollect(const TpErrorMessagesCollect&) = delete;
  TpErrorMessagesCollect& operator=(const TpErrorMessagesCollect&) = delete;

  // The text of a constraint or error name.
  void Add(const String& Name, const String& Message);
  bool Find(const String& Name, String& Message) const;
  void Clear();
  Integer Count() const;

 private:
  mutable TMultiReadExclusiveWriteSynchronizer lock_;
  std::map<String, String> messages_;
};

// The process-wide collections; nullptr outside the unit's lifetime.
TpFIBTableInfoCollect* ListTableInfo();
TpDataSetInfoCollect* ListDataSetInfo();
TpStoredProcCollect* ListSPInfo();
TpErrorMessagesCollect* ListErrorMessages();
