// The engine datasets: TDatabase, TEngineDataSet, TDBDataSet, TQuery and the
// engine's error EDBEngineError.
//
// There is no desktop database engine on this system. These classes reach
// one only through IDBEngine, and none is installed: connecting a database
// (or opening a dataset, which connects its database) raises EDBEngineError
// with the one error SEngineNotAvailable. Tests install a fake engine with
// SetDBEngine.
//
// The engine interface is small: a connection per TDatabase with its
// transaction; a cursor per open query that describes its columns, hands
// over its rows as Variants (one per column) and, when it is live, takes
// row changes identified by the row as the engine last gave or took it.
// Engine failures are EDBEngineError; the classes pass them on unchanged.
//
// TEngineDataSet keeps the rows of its cursor, all fetched when it opens
// (thin: no filters, ranges, indexes or record locks; Refresh does not
// re-read the rows; BLOB values travel whole; whether a query's rows can be
// changed is the engine's answer, there is no request for live results).
// Posted
// and deleted records go to the engine at once, or, with CachedUpdates, stay
// in the dataset until ApplyUpdates sends them (inserted, modified and
// deleted rows in the order of the rows) and CommitUpdates forgets them;
// CancelUpdates restores the rows as the engine gave them. A failed
// ApplyUpdates leaves the cache as it was, for the caller to roll back and
// try again.
//
// TDBDataSet finds its TDatabase by DatabaseName among the database
// components (no sessions, aliases or login prompt); when there is none it
// makes a temporary one, freed when the last dataset using it closes (one
// closed on its own stays for its name, and the unit's finalization frees
// it). Database() is set while the dataset is open.
//
// TQuery parses ":name" parameters out of its SQL (outside quotes and
// comments; ParamCheck), keeping the values of parameters whose names stay.
// With a master DataSource, parameters without a value take the master's
// fields of their names when the query opens, and the query reopens when the
// master's record changes.
//
// Everything runs on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/db/DB.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/UnitInit.h"

class TDatabase;
class TDBDataSet;

inline constexpr char SEngineNotAvailable[] = "database engine not available";
inline constexpr char SDatabaseClosed[] = "Cannot perform this operation on a closed database";
inline constexpr char SDatabaseOpen[] = "Cannot perform this operation on an open database";
inline constexpr char SCachedUpdatesPending[] = "Cannot turn off cached updates while updates are pending";
inline constexpr char SNoCachedUpdates[] = "Cached updates not enabled";
// Error code of SEngineNotAvailable: category 0x21 (system), subcode 1.
inline constexpr Word DBERR_ENGINENOTAVAILABLE = 0x2101;

// ---------------------------------------------------------------------------
// Engine errors

// One error of the engine's error stack. The code is the category in its
// high byte and the subcode in its low byte; the native error is the
// server's own code (0 when the engine itself failed).
class TDBError {
 public:
  TDBError(Word ErrorCode, Integer NativeError, String Message)
      : error_code_(ErrorCode), native_error_(NativeError), message_(std::move(Message)) {}
  Word ErrorCode() const { return error_code_; }
  Byte Category() const { return static_cast<Byte>(error_code_ >> 8); }
  Byte SubCode() const { return static_cast<Byte>(error_code_ & 0xFF); }
  Integer NativeError() const { return native_error_; }
  const String& Message() const { return message_; }

 private:
  Word error_code_;
  Integer native_error_;
  String message_;
};

// The message is the non-empty messages of the errors, one per line.
class EDBEngineError : public EDatabaseError {
 public:
  explicit EDBEngineError(std::vector<TDBError> Errors);
  EDBEngineError(Word ErrorCode, const String& Message, Integer NativeError = 0)
      : EDBEngineError(std::vector<TDBError>{TDBError(ErrorCode, NativeError, Message)}) {}

  int ErrorCount() const { return static_cast<int>(errors_.size()); }
  // Raises EListError for an index outside 0..ErrorCount-1.
  const TDBError& Errors(int Index) const;

 private:
  std::vector<TDBError> errors_;
};

// ---------------------------------------------------------------------------
// The engine

struct TDBEngineColumn {
  String Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;
  bool Required = false;
};
using TDBEngineRow = std::vector<Variant>;

class IDBEngineCursor {
 public:
  virtual ~IDBEngineCursor() = default;
  virtual std::vector<TDBEngineColumn> Columns() = 0;
  // The next row, one value per column (Null for none); false past the last.
  virtual bool Fetch(TDBEngineRow& Row) = 0;
  // The rows can be changed (a live result).
  virtual bool CanModify() = 0;
  virtual void InsertRow(const TDBEngineRow& Row) = 0;
  virtual void ModifyRow(const TDBEngineRow& OldRow, const TDBEngineRow& NewRow) = 0;
  virtual void DeleteRow(const TDBEngineRow& OldRow) = 0;
};

class IDBEngineConnection {
 public:
  virtual ~IDBEngineConnection() = default;
  virtual bool IsSQLBased() = 0;
  virtual void StartTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual std::unique_ptr<IDBEngineCursor> OpenQuery(const String& SQL, const TParams& Params) = 0;
  // Runs a statement that returns no rows; the number of rows it changed.
  virtual int ExecSQL(const String& SQL, const TParams& Params) = 0;
};

class IDBEngine {
 public:
  virtual ~IDBEngine() = default;
  virtual std::unique_ptr<IDBEngineConnection> Connect(const String& DatabaseName, const TStrings& Params) = 0;
};

// Installs an engine (not owned; nullptr: none); returns the previous one.
IDBEngine* SetDBEngine(IDBEngine* Engine);
IDBEngine* DBEngine();

// ---------------------------------------------------------------------------
// TDatabase

class TDatabase : public TComponent {
 public:
  explicit TDatabase(TComponent* AOwner);
  ~TDatabase() override;
  void BeforeDestruction() override;

  const String& DatabaseName() const { return database_name_; }
  // The database must be closed.
  void SetDatabaseName(const String& Value);
  TStrings* Params() const { return params_.get(); }
  void SetParams(TStrings* Value) { params_->Assign(Value); }
  // Made by a dataset for a name no database component has.
  bool Temporary() const { return temporary_; }

  bool Connected() const { return connection_ != nullptr; }
  // Connecting raises EDBEngineError without an engine; disconnecting
  // closes the datasets and rolls back an open transaction. A database
  // freed while connected closes its datasets and drops the connection
  // (the engine ends an open transaction with it).
  void SetConnected(bool Value);
  void Open() { SetConnected(true); }
  void Close() { SetConnected(false); }

  // False while closed.
  bool IsSQLBased() const;
  bool InTransaction() const { return in_transaction_; }
  // Raise SDatabaseClosed while closed; the engine's errors pass on.
  void StartTransaction();
  void Commit();
  void Rollback();

  int DataSetCount() const { return static_cast<int>(data_sets_.size()); }
  TDBDataSet* DataSets(int Index) const;

  // The engine connection (nullptr while closed).
  IDBEngineConnection* Connection() const { return connection_.get(); }

  // The database component of that name (case-insensitive); nullptr when none.
  static TDatabase* Find(const String& Name);

 private:
  friend class TDBDataSet;
  void CheckActive() const;
  void Disconnect();
  void CloseDataSets();
  void CloseEachDataSet();

  String database_name_;
  std::unique_ptr<TStrings> params_;
  std::unique_ptr<IDBEngineConnection> connection_;
  std::vector<TDBDataSet*> data_sets_;
  bool temporary_ = false;
  bool in_transaction_ = false;
  bool closing_ = false;  // closing its datasets
};

// ---------------------------------------------------------------------------
// TEngineDataSet: the rows of an engine cursor, with cached updates.

class TEngineDataSet : public TDataSet {
 public:
  explicit TEngineDataSet(TComponent* AOwner);
  ~TEngineDataSet() override;

  bool CachedUpdates() const { return cached_updates_; }
  // Raises SCachedUpdatesPending when turning it off with updates pending.
  void SetCachedUpdates(bool Value);
  // Rows inserted, modified or deleted and not yet committed.
  bool UpdatesPending() const;
  // Sends the cached changes to the engine (an open edit is posted first).
  void ApplyUpdates();
  // Forgets the cached changes (after they were applied).
  void CommitUpdates();
  // Cancels an open edit and restores the rows as the engine gave them.
  void CancelUpdates();
  // Brings back the row the last Delete removed, for a caller whose delete
  // failed afterwards: a deletion kept for cached updates goes back to the
  // row as it was (its changes and every other row's staying pending); one
  // sent to the engine returns as the engine had it, for when the engine's
  // transaction was rolled back. The view is resynchronised. False (nothing
  // changed) when there is none to undo: none since the open, the
  // database committed since, or the row is no longer deleted.
  bool UndoDelete();
  TUpdateStatus UpdateStatus() override;

  bool GetFieldData(TField* Field, void* Buffer) override;
  using TDataSet::GetFieldData;
  void SetFieldData(TField* Field, const void* Buffer) override;
  using TDataSet::SetFieldData;
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  bool BookmarkValid(const TBookmark& Bookmark) override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  bool GetCurrentRecord(TRecordBuffer Buffer) override;

 protected:
  // The cursor of the dataset's rows (opened by InternalOpen).
  virtual std::unique_ptr<IDBEngineCursor> CreateCursor() = 0;
  // Called around the cursor's life: descendants connect their database.
  virtual void OpenEngine() {}
  virtual void CloseEngine() {}

  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() override;
  void InternalAddRecord(const void* Buffer, bool Append) override;
  void InternalClose() override;
  void InternalDelete() override;
  void InternalFirst() override { cursor_ = -1; }
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalHandleException() override {}
  void InternalInitFieldDefs() override;
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
  void InternalOpen() override;
  void InternalPost() override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  bool IsCursorOpen() override { return open_; }
  int GetRecNo() override;
  int GetRecordCount() override;
  bool GetCanModify() override { return can_modify_; }
  void ClearCalcFields(TRecordBuffer Buffer) override;

 private:
  struct TRow {
    Int64 Id = 0;
    TDBEngineRow Values;    // as the dataset shows it
    TDBEngineRow Original;  // as the engine has it (not for inserted rows)
    TUpdateStatus Status = usUnmodified;
  };

  static Int64 IdOf(const void* Buffer);
  int IndexOfId(Int64 Id) const;
  bool Visible(const TRow& Row) const { return Row.Status != usDeleted; }
  // The values a field reads and writes in the current state; nullptr when
  // there is no record.
  TDBEngineRow* ActiveValues();
  TRecordBuffer ActiveCalcBuffer();
  void StoreNewRow(TRecordBuffer Buffer, int At);
  void DescribeColumns(IDBEngineCursor& Cursor);

  friend class TDatabase;
  // The row the last Delete removed or marked, as it was, and its index.
  struct TDeletedRow {
    int Index = 0;
    TRow Row;
  };

  std::unique_ptr<IDBEngineCursor> cursor_object_;
  std::vector<TRow> rows_;
  std::optional<TDeletedRow> last_deleted_;
  Int64 next_id_ = 1;
  int cursor_ = -1;
  int column_count_ = 0;
  bool open_ = false;
  bool engine_open_ = false;
  bool can_modify_ = false;
  bool cached_updates_ = false;
};

// ---------------------------------------------------------------------------
// TDBDataSet: an engine dataset on a database.

class TDBDataSet : public TEngineDataSet {
 public:
  explicit TDBDataSet(TComponent* AOwner);
  ~TDBDataSet() override;

  const String& DatabaseName() const { return database_name_; }
  // The dataset must be closed.
  void SetDatabaseName(const String& Value);
  // The database while the dataset is open (or prepared); nullptr otherwise.
  TDatabase* Database() const { return database_; }

 protected:
  // Finds or makes the database and connects it (EDBEngineError without an
  // engine); each call is matched by one CloseDatabase.
  void OpenDatabase();
  void CloseDatabase();
  void OpenEngine() override { OpenDatabase(); }
  void CloseEngine() override { CloseDatabase(); }

 private:
  friend class TDatabase;
  String database_name_;
  TDatabase* database_ = nullptr;
  int database_uses_ = 0;
};

// ---------------------------------------------------------------------------
// TQuery

class TQuery : public TDBDataSet {
 public:
  explicit TQuery(TComponent* AOwner);
  ~TQuery() override;

  // Changing the text closes the query and rebuilds Params.
  TStrings* SQL() const { return sql_.get(); }
  void SetSQL(TStrings* Value) { sql_->Assign(Value); }
  String Text() const { return sql_->Text(); }
  TParams* Params() const { return params_.get(); }
  void SetParams(TParams* Value) { params_->AssignValues(Value); }
  TParam* ParamByName(const String& Value) const { return params_->ParamByName(Value); }
  int ParamCount() const { return params_->Count(); }
  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool Value) { param_check_ = Value; }

  // The master data source; raises SCircularDataLink for a source whose
  // dataset leads back to this query.
  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* Value);
  TDataSource* GetDataSource() override { return DataSource(); }

  // Prepared: the database is connected for the query (until the database
  // closes).
  bool Prepared() const { return prepared_ && Database() != nullptr; }
  void SetPrepared(bool Value);
  void Prepare() { SetPrepared(true); }
  void UnPrepare() { SetPrepared(false); }
  // Runs the statement (one that returns no rows).
  void ExecSQL();
  int RowsAffected() const { return rows_affected_; }

 protected:
  std::unique_ptr<IDBEngineCursor> CreateCursor() override;

 private:
  class TMasterLink;
  void QueryChanged(TObject* Sender);
  void SetParamsFromMaster();
  void RefreshFromMaster();

  std::unique_ptr<TStringList> sql_;
  std::unique_ptr<TParams> params_;
  std::unique_ptr<TMasterLink> master_link_;
  bool param_check_ = true;
  bool prepared_ = false;
  int rows_affected_ = -1;
};

// Names of the parameters of an SQL text (":name" outside quotes and
// comments; a quoted name ":"a b"" keeps its blanks), each once, in order.
std::vector<String> SQLParamNames(const String& SQL);

// The unit's finalization frees the temporary databases left.
extern const TUnit unit_DBTables;
