// The extended dataset TpFIBDataSet, the one applications use.
//
// It descends from TFIBDataSet and adds its dataset definition in the
// repository (DataSet_ID names a row of FIB$DATASETS_INFO whose SQL texts,
// key field, generator, update table, conditions and description the
// dataset takes when it prepares, see pFIBDataInfo.h), modifying SQL it
// writes itself from the select and AutoUpdateOptions, posting with update
// objects, applying cached updates (record by record or in EXECUTE BLOCK
// batches), generator and default values of new records, record locking, a
// server record count, field attributes from the repository, dataset
// containers for every event, record numbers of visible records and the
// class library's provider operations.
//
// With Filtered on, a record is visible when the engine shows its cached
// status and it passes the Filter expression, OnFilterRecord and
// DoFilterRecord, tested in dsFilter state (the fields read that record).
// A record's filter answer is kept until the filter, the sort or
// UpdateRecordTypes change. With poVisibleRecno RecNo and RecordCount count
// only the visible records (the records below the current one, or all
// fetched ones, are tested once for it); without it they count the cache,
// and RecordCount is at least the server's count (psAskRecordCount) less
// the hidden records, which also makes the dataset sequenced.
// Opening or dropping a cache slot (an insert, a failed post) resets what
// the filter answered, so the hidden numbers never shift.
//
//   auto* ds = new TpFIBDataSet(form);
//   ds->SetDatabase(db);
//   ds->SelectSQL()->SetText("select ID, NAME from PEOPLE");
//   ds->AutoUpdateOptions()->SetUpdateTableName("PEOPLE");
//   ds->AutoUpdateOptions()->SetAutoReWriteSqls(true);
//   ds->Open();              // UpdateSQL, InsertSQL, ... written, key found
//
// The implementation is split by concern: pFIBDataSet.cpp (definition,
// visible records, properties), _Generate (modifying SQL), _Post (posting
// with update objects), _Events (containers and event steps), _NewRecord
// (generators and defaults), _Lock (locking and record count),
// _Repository (field attributes), _Apply (cached updates and batches),
// _Provider (provider operations).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "dataaccess/datasets/DSContainer.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/pFIBQuery.h"
#include "platform/rtl/UnitInit.h"

class TpFIBFieldInfo;

extern const TUnit unit_pFIBDataSet;

RTL_ENUM(TLockStatus, lsSuccess, lsDeadLock, lsNotExist, lsMultiply, lsUnknownError);

using TOnGetSQLTextProc = Event<void(TFIBDataSet* DataSet, String& SQLText)>;
using TLockErrorEvent =
    Event<void(TDataSet* DataSet, TLockStatus LockError, String& ErrorMessage, TDataAction& Action)>;

// "#,##0." with 2 gives "#,##0.00"; "#.#" with 3 gives "#.###"; an empty
// format stays empty; any other is returned unchanged.
String ExpandNumericFormat(const String& Format, Integer Decimals);

// The statement kind names used in messages: "UpdateSQL", "InsertSQL",
// "DeleteSQL", "RefreshSQL" (Kind 0 to 3).
const String& StatementKindName(Integer Kind);

class TpFIBDataSet : public TFIBDataSet {
 public:
  explicit TpFIBDataSet(TComponent* AOwner);
  ~TpFIBDataSet() override;
  // A removed container is forgotten (the engine drops a removed field from
  // its look-up list).
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Key of the dataset's row in FIB$DATASETS_INFO (0: none). A new value on
  // an open dataset is client error 28; otherwise it is stored, the dataset
  // is no longer prepared, and a non-zero value adds psApplyRepositary.
  Integer DataSet_ID() const { return data_set_id_; }
  void SetDataSet_ID(Integer Value);
  const String& Description() const { return description_; }
  void SetDescription(const String& Value) { description_ = Value; }
  // "6.9.740 Internal"; writing it does nothing.
  String About() const;
  void SetAbout(const String&) {}

  // With psApplyRepositary and a DataSet_ID other than the one applied last,
  // the definition is applied from the repository first (Conditions that
  // were applied are applied again afterwards); then the engine's Prepare.
  void Prepare() override;

  // Setting RecNo with poVisibleRecno moves to the Value-th visible record.
  void SetRecNo(int Value) override;
  bool IsSequenced() override;

 protected:
  // Called after OnFilterRecord for a record that passed it; nothing here.
  virtual void DoFilterRecord(TDataSet* DataSet, bool& Accept);
  bool IsVisible(TRecordBuffer Buffer) override;
  int GetRecNo() override;
  int GetRecordCount() override;

 private:
  Integer data_set_id_ = 0;
  Integer applied_id_ = 0;  // the id whose definition was applied last
  String description_;
  bool engine_recno_ = false;  // GetRecNo answers the engine's number

  // Tests the records 0..Count-1 not tested since the visible set changed;
  // the number of hidden ones among them.
  Integer HiddenBelow(Integer Count);

  // ===== Modifying SQL generation (pFIBDataSet_Generate.cpp)
 public:
  // The text of one modifying statement for TableName (may carry an alias)
  // and KeyFields (";"-separated): Kind 0 update, 1 insert, 2 delete, 3
  // refresh; FieldFilter 0 every field, 1 no BLOB fields, 2 only BLOB
  // fields. Empty when it cannot be built; "No Action" for an update or
  // insert without a column; "Insert into T default values" for an insert
  // whose every field UpdateOnlyModifiedFields left out as NULL (the row is
  // still made). No usable key field raises Exception "%s:
  // unable to generate %s because fields for "%s" do not exist in dataset.".
  // Every value is a parameter (NEW_/OLD_ + field name), never literal text.
  // The key condition lists the key fields last first; the options keep the
  // one of their own table and keys. A dataset without fields generates
  // from its field definitions (none with UpdateOnlyModifiedFields).
  String GenerateSQL(const String& TableName, const String& KeyFields, Integer FieldFilter, Integer Kind);
  // Writes Field's value (its old value with UseOld) as SQL literal text;
  // false when the value has no literal form (a BLOB, an array).
  using TSQLLiteralWriter = std::function<bool(TField* Field, bool UseOld, String& Literal)>;
  // The statement of Kind 0 to 2 for the update table and KeyFields with the
  // current record's values written by Literal and a one-blank indent (the
  // batch form); "" for an update or insert without a column (the insert of
  // NULL fields only as GenerateSQL has it); nullopt when
  // a value has no literal form.
  std::optional<String> GenerateLiteralSQL(Integer Kind, const TSQLLiteralWriter& Literal);
  // The fields KeyFields names, in list order (each name trimmed; names
  // without a field skipped).
  void KeyFieldsToList(std::vector<TField*>& List, const String& KeyFields);
  // Non-BLOB data fields whose source table is TableName (an alias after it
  // ignored), ";"-joined in field order.
  String FieldsOfTable(const String& TableName);
  // A table's primary key columns, ";"-joined (through the statement
  // cache); "@FIB_DEFERRED" without a connected database.
  String PrimaryKeyFields(const String& TableName);
  // All four statements (at open without UpdateOnlyModifiedFields).
  void PrepareAutoSQLs();
  // The separate BLOB update object (made once, owned), with
  // SeparateBlobUpdate and BLOB fields: the update of the changed BLOB
  // columns, active exactly while it has a statement to run.
  void PrepareSeparateBlobUpdate();
  TpFIBUpdateObject* BlobUpdateObject() const { return blob_update_object_; }
  // Before a post outside cached updates: UpdateSQL (dsEdit) or InsertSQL
  // (dsInsert) written again for the fields that take part.
  void RegenerateModifyingSQL(TDataSetState State);
  // The update table and its alias in identifier form. An alias stands in
  // the select text as SQL: unquoted, it is folded to upper case; without
  // one the table is its own alias.
  void GetUpdateTableAndAlias(String& Table, String& Alias);
  // A name in the identifier form of the database: dialect 1 trimmed and
  // upper-cased, never quoted; otherwise quoted when it needs it (for
  // TableName, without case when the database writes upper names), else
  // upper-cased; a name that starts with a double quote stays.
  String IdentifierForm(const String& Name, bool TableName = false);

 protected:
  // After open (first open after the select changed, AutoReWriteSqls): the
  // generated statements the options ask for.
  void GenerateSQLsAfterOpen();
  // Before a protected edit: an empty RefreshSQL or UpdateSQL generated.
  void GenerateForProtectedEdit();

 private:
  struct TSQLValueForm;
  struct TGenerationTable;
  class TGenerationFields;
  // The one generator of both forms: the text of Kind, nullopt when Form has
  // no text for a value.
  std::optional<String> BuildModifyingSQL(const String& TableName, const String& KeyFields, Integer FieldFilter,
                                          Integer Kind, const TSQLValueForm& Form);
  // Table, alias and alias as written for TableName.
  TGenerationTable ResolveGenerationTable(const String& TableName);
  // Its table alone, in identifier form.
  String GenerationTableName(const String& TableName);
  // Field's table and the alias of its table are those of Table.
  bool FieldOfTable(TField* Field, const TGenerationTable& Table);
  // Field can be written to Table under FieldFilter: a data field of the
  // table, a computed column only with psCanEditComputedFields.
  bool FieldWritable(TField* Field, const TGenerationTable& Table, Integer FieldFilter);
  // With UpdateOnlyModifiedFields: Field changed in the current edit.
  bool FieldChanged(TField* Field);
  // An empty KeyFields set to the update table's primary key, else to its
  // fields.
  void FindKeyFields();
  // The filter of UpdateSQL and InsertSQL: no BLOB fields with
  // SeparateBlobUpdate.
  Integer ModifyingFieldFilter() const;
  // Query's text generated for the options' table and keys (every field
  // with AllFields, whatever UpdateOnlyModifiedFields says).
  void StoreGeneratedSQL(TFIBQuery* Query, Integer FieldFilter, Integer Kind, bool AllFields = false);
  // GenerateSQL, every field with AllFields.
  String GenerateParameterSQL(const String& TableName, const String& KeyFields, Integer FieldFilter, Integer Kind,
                              bool AllFields);
  TpFIBUpdateObject* blob_update_object_ = nullptr;  // owned (component owner)
  // ----- end of generation

  // ===== Posting and deleting with update objects (pFIBDataSet_Post.cpp,
  // pFIBQuery.cpp)
 public:
  // The engine's test, or an active update object of the kind, or complete
  // automatic rewriting, or CachedUpdates with OnUpdateRecord; and the kind
  // in AllowedUpdateKinds.
  bool CanEdit() override;
  bool CanInsert() override;
  bool CanDelete() override;
  // An active update object of that kind exists.
  bool HasActiveUpdateObject(TUpdateKind Kind);
  // Runs the active update objects of Kind whose ExecuteOrder is Order, in
  // list order, with parameters from Buffer.
  void ExecUpdateObjects(TUpdateKind Kind, TRecordBuffer Buffer, TFIBOrderExecUO Order);
  // Run(object) for each of those objects.
  void ForEachUpdateObject(TUpdateKind Kind, TFIBOrderExecUO Order, const std::function<void(TpFIBUpdateObject*)>& Run);
  // The update objects of one kind in list order.
  const std::vector<TpFIBUpdateObject*>& UpdateObjects(TUpdateKind Kind) const {
    return update_objects_[static_cast<int>(Kind)];
  }
  // A statement ran since the update transaction last ended.
  bool ChangedInUpdateTransaction() const { return changed_in_update_tr_; }
  void ClearChangedInUpdateTransaction() { changed_in_update_tr_ = false; }

  // Posts Buffer through Query (the insert statement for an inserted
  // record, else the update statement) together with the update objects:
  // the objects before it, Query (unless empty or "No Action"; a row it
  // returns, as EXECUTE PROCEDURE does, goes into the record without a
  // second execution), the objects after it; then the record is unmodified
  // in the cache, AutoCommit commits (outside cached updates), RefreshSQL
  // re-reads it with poRefreshAfterPost and its BLOB streams drop their
  // saved copies. Any record buffer will do (the apply of cached updates).
  virtual void DoPostRecord(TFIBQuery* Query, TRecordBuffer Buffer);
  // The engine's post step: DoPostRecord with the statement of Kind. A
  // refused post leaves Modified as it was.
  void DoPostRecord(TUpdateKind Kind) override;
  // Nothing for a "No Action" Query; otherwise the delete objects before
  // it, Query (when it has a text), the objects after it; the record ends
  // cusDeletedApplied unless poRefreshAfterDelete finds it again, goes to
  // the cache, and AutoCommit commits (outside cached updates).
  void InternalDeleteRecord(TFIBQuery* Query, TRecordBuffer Buffer) override;

 private:
  friend class TpFIBUpdateObject;
  // Runs Query (when it is not empty or "No Action") with parameters from
  // Buffer in the started update transaction; false when it did not run.
  bool ExecForRecord(TFIBQuery* Query, TRecordBuffer Buffer);
  // The same with the parameters SetParams gives.
  bool ExecStatement(TFIBQuery* Query, const std::function<void()>& SetParams);
  // What CanEdit, CanInsert and CanDelete add to the engine's test
  // (EngineCan).
  bool CanUpdateKind(TUpdateKind Kind, bool EngineCan);
  // The list calls of the update objects: join Kind's list at Index (the
  // end when beyond it, the front below 0), leave it, move within it; each
  // renumbers the list.
  void AddUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind, Integer Index);
  void RemoveUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind);
  void MoveUpdateObject(TpFIBUpdateObject* Object, TUpdateKind Kind, Integer Index);
  std::vector<TpFIBUpdateObject*> update_objects_[3];
  bool changed_in_update_tr_ = false;
  // ----- end of posting

  // ===== Dataset containers and the event steps (pFIBDataSet_Events.cpp)
 public:
  TDataSetsContainer* Container() const { return container_; }
  // Leaves the old container, joins the new one (free notification).
  void SetContainer(TDataSetsContainer* Value);
  // Sends Event to the thread's global container (when it is not
  // Container) and then to Container.
  void NotifyContainers(TKindDataSetEvent Event);
  // The same two containers, then OnApplyFieldRepository, for one field.
  void ContainersApplyFieldRepository(TField* Field, TpFIBFieldInfo* FieldInfo);
  // The global container (when not Container), then Container; Container's
  // answer alone counts when it is set; else the engine's comparison.
  Integer CompareFieldValues(TField* Field, const Variant& Value1, const Variant& Value2) override;
  bool DefaultFieldComparison() override;
  // Called after the containers when a post or delete fails.
  const TDataSetErrorEvent& OnPostError() const { return on_post_error_; }
  void SetOnPostError(const TDataSetErrorEvent& Value) { on_post_error_ = Value; }
  const TDataSetErrorEvent& OnDeleteError() const { return on_delete_error_; }
  void SetOnDeleteError(const TDataSetErrorEvent& Value) { on_delete_error_ = Value; }

 protected:
  void DoBeforeOpen() override;
  void DoAfterOpen() override;
  void DoBeforeClose() override;
  void DoAfterClose() override;
  void DoBeforeInsert() override;
  void DoAfterInsert() override;
  void DoBeforeEdit() override;
  void DoAfterEdit() override;
  void DoBeforePost() override;
  void DoAfterPost() override;
  void DoBeforeCancel() override;
  void DoAfterCancel() override;
  void DoBeforeDelete() override;
  void DoAfterDelete() override;
  void DoBeforeScroll() override;
  void DoAfterScroll() override;
  void DoOnCalcFields() override;
  void DoBeforeRefresh() override;
  void DoAfterRefresh() override;
  // Commit or commit retaining: ClearUpdateMarks with poProtectedEdit
  // outside cached updates; the changed flag cleared.
  void DoAfterEndUpdateTransaction(TFIBTransaction* EndingTR, TTransactionAction Action, bool Force) override;

 private:
  // The class library's post and delete error events point here.
  void PostErrorHandler(TDataSet* DataSet, EDatabaseError* E, TDataAction& Action);
  void DeleteErrorHandler(TDataSet* DataSet, EDatabaseError* E, TDataAction& Action);
  // Call(container) for the thread's global container (when it is not
  // Container), then for Container.
  template <class F>
  void EachContainer(F&& Call) const {
    TDataSetsContainer* global = TDataSetsContainer::GlobalContainer();
    if (global != nullptr && global != container_) Call(global);
    if (container_ != nullptr) Call(container_);
  }
  TDataSetsContainer* container_ = nullptr;
  TDataSetErrorEvent on_post_error_, on_delete_error_;
  // The select's prepare count when the links were last found
  // (AutoParamsToFields).
  Integer last_prepare_count_ = -1;
  // ----- end of containers and events

  // ===== Generator values and defaults of new records
  // (pFIBDataSet_NewRecord.cpp)
 public:
  // Fills the key field from the generator (WhenGetGenID not wgNever).
  virtual void ApplyGeneratorValue();
  // The generator's next value (client error 21 without a database).
  Int64 NextGeneratorValue();
  // Asks the containers and OnApplyDefaultValue whether they gave Field its
  // value.
  void DoApplyDefaultValue(TField* Field, bool& Applied);
  // Lines "field=parameter" for the select's parameters compared with a
  // field's column.
  void FillParamsToFieldsLinks(TStrings* Links);
  const TOnApplyDefaultValue& OnApplyDefaultValue() const { return on_apply_default_value_; }
  void SetOnApplyDefaultValue(const TOnApplyDefaultValue& Value) { on_apply_default_value_ = Value; }

 protected:
  void DoOnNewRecord() override;
  // The per-field linked parameters: cleared and invalid at open, freed at
  // close.
  void ResetLinkedParams();
  void FreeLinkedParams();
  // At destruction, when a generator value was taken: the database's cached
  // generator statement released.
  void ReleaseGeneratorQuery();

 private:
  TOnApplyDefaultValue on_apply_default_value_;
  String generator_sql_;  // the text of the generator statement last run
  std::vector<TFIBXSQLVAR*> linked_params_;  // per field; nullptr: none
  bool linked_params_valid_ = false;
  // ----- end of generators and defaults

  // ===== Record locking and the server's record count
  // (pFIBDataSet_Lock.cpp)
 public:
  // Locks the active record's row on the server in the update transaction
  // with the lock statement: OnLockSQLText's text, else a select "FOR UPDATE
  // WITH LOCK" (poUseSelectForLock) or an update that assigns one of the
  // table's columns itself (nothing is written), both with the update
  // statement's table and WHERE clause (the key fields' condition on
  // UpdateTableName when there is no UpdateSQL or it is written per post).
  // Parameters come from the active record, with CachedUpdates from its
  // values before the cached changes. One row is lsSuccess, none lsNotExist,
  // more lsMultiply, a lock conflict lsDeadLock, another server error
  // lsUnknownError. With RaiseErrors a failure goes to DoLockError, and
  // daRetry runs the statement again. Exception "Unable to lock record.
  // Update query is empty" without a table to lock in; client error 29 on
  // a closed dataset.
  TLockStatus LockRecord(bool RaiseErrors);
  // Rows the select would return with its parameters (0 without an active
  // read transaction): OnAskRecordCount's text, else the select counted on
  // the server. Failures raise Exception "<full name> unable to get number
  // of records", CRLF and the error's message.
  Integer GetServerRecordCount();
  // The server count with psAskRecordCount, else 0 (at open).
  void UpdateRecordCount() override;
  Integer ServerRecordCount() const { return server_record_count_; }
  const TLockErrorEvent& OnLockError() const { return on_lock_error_; }
  void SetOnLockError(const TLockErrorEvent& Value) { on_lock_error_ = Value; }
  const TOnGetSQLTextProc& OnLockSQLText() const { return on_lock_sql_text_; }
  void SetOnLockSQLText(const TOnGetSQLTextProc& Value) { on_lock_sql_text_ = Value; }
  const TOnGetSQLTextProc& OnAskRecordCount() const { return on_ask_record_count_; }
  void SetOnAskRecordCount(const TOnGetSQLTextProc& Value) { on_ask_record_count_ = Value; }
  TFIBQuery* LockQuery() const { return lock_query_; }
  TFIBQuery* CountQuery() const { return count_query_; }

 protected:
  // OnLockError may change the action (daFail) and Message; daFail raises
  // Exception with Message, daAbort aborts silently, daRetry is returned.
  TDataAction DoLockError(TLockStatus Status, String& Message);
  // Before an edit with poProtectedEdit of an unmodified record: the lock,
  // the empty statements generated and the record read again.
  void LockBeforeEdit();

 private:
  // The lock statement's text ("" when no column of the table is known).
  String LockSQLText();
  TFIBQuery* lock_query_ = nullptr;   // owned
  TFIBQuery* count_query_ = nullptr;  // owned
  Integer server_record_count_ = 0;
  TLockErrorEvent on_lock_error_;
  TOnGetSQLTextProc on_lock_sql_text_, on_ask_record_count_;
  // ----- end of locking and record count

  // ===== Field attributes from the repository (pFIBDataSet_Repository.cpp)
 public:
  // Dresses every field (after open): DefaultFormats where its formats are
  // empty (poAutoFormatFields); by the prepare options read-only when not of
  // the update table or computed, required when NOT NULL without default
  // and not triggered, the server's default as DefaultExpression; with
  // psApplyRepositary FIB$FIELDS_INFO's label, width, visibility and
  // formats (an "ALIAS" row before the table's own). Each field with column
  // information then goes to the containers and OnApplyFieldRepository.
  virtual void ApplyFieldRepository();
  TFormatFields* DefaultFormats() const { return default_formats_.get(); }
  void SetDefaultFormats(TFormatFields* Value) { default_formats_->Assign(Value); }
  const TOnApplyFieldRepository& OnApplyFieldRepository() const { return on_apply_field_repository_; }
  void SetOnApplyFieldRepository(const TOnApplyFieldRepository& Value) { on_apply_field_repository_ = Value; }
  // Adding psApplyRepositary applies the repository.
  void SetPrepareOptions(TpPrepareOptions Value) override;

 protected:
  void InternalOpen() override;

 private:
  std::unique_ptr<TFormatFields> default_formats_;
  TOnApplyFieldRepository on_apply_field_repository_;
  // ----- end of repository attributes

  // ===== Applying cached updates (pFIBDataSet_Apply.cpp)
 public:
  // Posts an edit, then sends the cache's inserted, modified and deleted
  // records, first to last, in the update transaction (started with
  // poStartTransaction); the fields read each record while it is decided and
  // applied, whatever its visibility. OnUpdateRecord decides (uaFail preset:
  // the record is left; uaApply, uaRetry: applied; uaApplied: the handler
  // applied it; uaSkip: left, nothing committed; uaAbort: silent abort). A
  // record runs through UpdateSQL, InsertSQL or DeleteSQL (written per record
  // with UpdateOnlyModifiedFields), or with UseExecuteBlock goes into EXECUTE
  // BLOCK batches run through UpdateQuery, whose own text comes back: at most
  // 255 statements, 65 532 bytes and the server's 256 table contexts (two per
  // update). A record with a value without literal, without batch statement
  // or with active update objects of its kind runs through its statement.
  // AfterUpdateRecord follows each applied record (Resume false: silent
  // abort). An EFIBError of a record or a batch goes to OnUpdateError (uaFail
  // preset): uaFail raises it, uaAbort aborts silently with its message,
  // uaRetry runs it again, uaApplied takes it as applied, uaSkip and the
  // others leave it (uaSkip: nothing committed). Applied records become
  // unmodified, deleted ones applied; the others stay pending (UpdatesPending,
  // ChangedCount), also when an error ends the apply. With nothing skipped
  // AutoCommit commits. A call while an apply runs does nothing.
  void ApplyUpdates() { InternalApplyUpdates(false); }
  // KeepStatus (the auto-commit path): the records keep their cached status
  // until CommitUpdates.
  void InternalApplyUpdates(bool KeepStatus);
  // After the auto-commit apply: modified and inserted records unmodified,
  // deleted ones applied, except those the last apply left pending; then the
  // view is resynchronised.
  void CommitUpdates();
  // After the update transaction ended with protected edit (an active
  // dataset): every modified, inserted or deleted record becomes unmodified.
  void ClearUpdateMarks();
  // The batch statement of the current record (no ";"), "" for an update or
  // insert without a column; nullopt when the record has no batch form (a
  // value without a literal, no update table or key).
  std::optional<String> BatchStatement(TUpdateKind Kind);
  // Field's value in the current record (its old value with UseOld) as a
  // Firebird literal: NULL; quotes doubled in text; NONE and OCTETS text,
  // GUIDs and DB_KEY as X'..'; numbers with "." whatever the locale, scaled
  // ones exactly from their integer; DATE, TIME and TIMESTAMP literals with
  // 1/10000 s; TRUE, FALSE. False for a value without one: a BLOB, an array,
  // text with a zero byte, a NaN or infinity, a field of no column.
  bool FieldValueLiteral(TField* Field, bool UseOld, String& Literal);
  // The record being applied (-1: none) and whether an apply runs.
  Integer ApplyingIndex() const { return applying_index_; }
  bool Applying() const { return applying_; }

 protected:
  // After a post or delete with AutoCommit and CachedUpdates: the updates
  // applied with their statuses kept, committed, then marked.
  void ApplyAfterAutoCommit();

 private:
  // One record of the walk: decided, applied, marked or left.
  void ApplyCachedRecord(Integer Index);
  // Runs the record's statement or puts it into the batch; with KeepStatus
  // a record run through its statement gets its status back. False when the
  // dataset cannot write the record's kind.
  bool ApplyRecordStatement(Integer Index, TCachedUpdateStatus Status);
  // OnUpdateError for E; uaFail raises E again and uaAbort aborts, every
  // other answer is returned. Called while E is being handled.
  TFIBUpdateAction UpdateErrorAction(EFIBError& E, TUpdateKind Kind);
  // The record into the batch (a full block runs first); false when it has
  // no batch form and goes through its statement.
  bool AddRecordToBatch(Integer Index, TUpdateKind Kind);
  // Appends Statement (with its ";", taking Contexts table contexts) to the
  // block, opened when empty; false when the block holds 255 statements,
  // Statement would bring it to 65 532 bytes or beyond 256 contexts.
  bool AddToBatch(const String& Statement, Integer Contexts);
  // Runs the block (closed by END) through UpdateQuery with the error step,
  // marks its records and empties it.
  void RunBatch();
  void ClearBatch();
  // The records of the batch become what their statements made them (not
  // on the KeepStatus path).
  void MarkBatchRecords();
  // Commit mode: modified and inserted records unmodified, deleted ones
  // applied (those the last apply left excepted); clear mode: every status
  // but unmodified, applied-deleted and cancelled-insert unmodified. Then
  // the counters, the view (commit mode) and the active record's old
  // version.
  void MarkAppliedRecords(bool CommitMode);
  // The record the fields read (its old version with UseOld); Temp owns a
  // copy when one was made.
  TRecordBuffer LiteralRecord(bool UseOld, std::unique_ptr<Byte[]>& Temp);
  // FieldValueLiteral of Field's value in Record (null: NULL).
  bool FieldLiteralFrom(TField* Field, const Byte* Record, String& Literal);
  // Records the walk left pending (its physical number).
  void LeaveRecord(Integer Number);

  Integer applying_index_ = -1;
  bool applying_ = false;
  bool apply_keep_status_ = false;
  bool apply_skipped_ = false;
  // The error OnUpdateError last let pass (raised on as it is).
  const EFIBError* reported_error_ = nullptr;
  std::unique_ptr<Byte[]> apply_buffer_;  // the work buffer of an apply
  // Physical cache numbers of the records the last apply left pending,
  // sorted.
  std::vector<Integer> unapplied_;
  // The batch: its lines (made on first use), length in bytes (each line
  // and its line break), table contexts, the cache indexes of its records
  // (one statement each) and the kind of its last statement.
  std::unique_ptr<TStringList> batch_;
  Integer batch_length_ = 0;
  Integer batch_contexts_ = 0;
  std::vector<Integer> batch_records_;
  TUpdateKind batch_kind_ = ukModify;
  // ----- end of applying cached updates

  // ===== Provider operations (pFIBDataSet_Provider.cpp)
 public:
  // SelectSQL's text; a non-empty text becomes SelectSQL.
  WideString PSGetCommandText() override;
  void PSSetCommandText(const WideString& CommandText) override;
  // The inherited keys, else AutoUpdateOptions' KeyFields.
  WideString PSGetKeyFields() override;
  // A double quote in SQL dialect 3, else empty.
  WideString PSGetQuoteChar() override;
  // The update table (without its alias) when the select reads it, else the
  // select's first table.
  WideString PSGetTableName() override;
  // The select's parameters, made again on each call, input-output with
  // their current values. Types: TEXT and VARYING string, SHORT small
  // integer, LONG integer, FLOAT and DOUBLE float, TIMESTAMP date-time, DATE
  // date, TIME time, BLOB and ARRAY blob, INT64 large integer; any other
  // string. A scaled integer column (SHORT, LONG or INT64) is a float with
  // 1 to 3 decimals, BCD with more (a parameter's BCD value is a Currency:
  // 4 decimals).
  TParams* PSGetParams() override;
  // Each value into the select's parameter of its name (the statement's
  // error for a name it does not have).
  void PSSetParams(TParams* AParams) override;
  // Executes the select statement.
  void PSExecute() override;
  // Each "?" of ASQL outside quotes and comments becomes ":Param<n>" (n from
  // 0) and takes AParams' value n (NULL beyond AParams). With ResultSet a
  // new TpFIBDataSet on the dataset's database and transaction opens ASQL
  // and goes there (the caller frees it); otherwise a cached statement runs
  // it in the update transaction (started with poStartTransaction). The
  // rows fetched, all of them, for a select; the rows affected for any other
  // statement.
  Integer PSExecuteStatement(const String& ASQL, TParams* AParams, TDataSet** ResultSet) override;
  // A library error (EFIBError) with its message and SQL code; others as
  // inherited.
  std::unique_ptr<EUpdateError> PSGetUpdateException(const Exception& E) override;
  // The update transaction is active.
  bool PSInTransaction() override;
  bool PSIsSQLBased() override { return true; }
  bool PSIsSQLSupported() override { return true; }
  // An active dataset is opened again.
  void PSReset() override;
  // Client error 21 without a database, 22 without an update transaction;
  // the database connected and the update transaction started when needed.
  void PSStartTransaction() override;
  // An active update transaction committed or rolled back.
  void PSEndTransaction(bool Commit) override;
  // With OnUpdateRecord: its answer (called with Delta) is uaApplied.
  // Otherwise the active update objects of the kind before the dataset's
  // own statement, that statement and the objects after it run (each when
  // not empty or "No Action"; the separate BLOB update among the objects
  // after an insert or modify); true when one of them ran. Their parameters
  // come from the current record of Delta: a field's name and NEW_ name take
  // its NewValue, or its OldValue when NewValue is Unassigned; its OLD_ name
  // takes its OldValue, in an insert (no old version) the new value as its
  // other names do. An insert's key field (KeyFields) takes a new
  // generator value when WhenGetGenID and GeneratorName ask for one. BCD
  // fields go as scaled integers, GUID fields as their 16 bytes, Null and
  // Unassigned as NULL. Every value is read before anything runs: a BCD
  // value without a 64-bit scaled form raises EDatabaseError naming the
  // field, and nothing is executed.
  bool PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta) override;

 private:
  std::unique_ptr<TParams> provider_params_;
  // ----- end of provider operations
};
