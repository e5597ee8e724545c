// The extended dataset TpFIBDataSet, the one applications use.
//
// It descends from TFIBDataSet and adds, so far, its dataset definition in
// the repository: DataSet_ID names a row of FIB$DATASETS_INFO whose SQL
// texts, key field, generator, update table, conditions and description the
// dataset takes when it prepares (see pFIBDataInfo.h). Generated modifying
// SQL, posting with update objects, cached-update batches, generators,
// locking and field attributes from the repository come with later parts of
// this class.
//
// With Filtered on, a record is visible when the engine shows its cached
// status and it passes the Filter expression, OnFilterRecord and
// DoFilterRecord, tested in dsFilter state (the fields read that record).
// A record's filter answer is kept until the filter, the sort or
// UpdateRecordTypes change. With poVisibleRecno RecNo and RecordCount count
// only the visible records (the records below the current one, or all
// fetched ones, are tested once for it); without it they count the cache.
//
//   auto* ds = new TpFIBDataSet(form);
//   ds->SetDatabase(db);
//   ds->SetDataSet_ID(12);   // also switches psApplyRepositary on
//   ds->Open();              // SelectSQL and the rest from row 12
#pragma once

#include <functional>

#include "dataaccess/datasets/DSContainer.h"
#include "dataaccess/datasets/FIBDataSet.h"
#include "dataaccess/datasets/pFIBQuery.h"
#include "platform/rtl/UnitInit.h"

class TpFIBUpdateObject;
class TDataSetsContainer;
class TpFIBFieldInfo;

extern const TUnit unit_pFIBDataSet;

class TpFIBDataSet : public TFIBDataSet {
 public:
  explicit TpFIBDataSet(TComponent* AOwner);
  ~TpFIBDataSet() override;

  // Key of the dataset's row in FIB$DATASETS_INFO (0: none). A new value on
  // an open dataset is client error 28; otherwise it is stored, the dataset
  // is no longer prepared, and a non-zero value adds psApplyRepositary.
  Integer DataSet_ID() const { return data_set_id_; }
  void SetDataSet_ID(Integer Value);
  const String& Description() const { return description_; }
  void SetDescription(const String& Value) { description_ = Value; }

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
  void DoBeforeOpen() override;
  void DoBeforeClose() override;

 private:
  Integer data_set_id_ = 0;
  Integer applied_id_ = 0;  // the id whose definition was applied last
  String description_;
  bool engine_recno_ = false;  // GetRecNo answers the engine's number

  // Tests the records 0..Count-1 not tested since the visible set changed;
  // the number of hidden ones among them.
  Integer HiddenBelow(Integer Count);

  // ===== Modifying SQL generation, posting, update objects
  // (pFIBDataSet_Generate.cpp, pFIBDataSet_Post.cpp, pFIBQuery.h)
 public:
  // Writes a field's value as SQL literal text (UseOld: its old value).
  using TSQLLiteralWriter = std::function<String(TField* Field, bool UseOld)>;
  // The text of one modifying statement for Table (may carry an alias) and
  // KeyFieldNames: Kind 0 update, 1 insert, 2 delete, 3 refresh; FieldsFilter
  // 0 every field, 1 no BLOB fields, 2 only BLOB fields. With Literal the
  // values are literals and the indent one blank (EXECUTE BLOCK batches).
  String GenerateSQLText(const String& Table, const String& KeyFieldNames, Integer Kind, Integer FieldsFilter,
                         const TSQLLiteralWriter& Literal = nullptr);
  // Before a post outside cached updates: UpdateSQL (dsEdit) or InsertSQL
  // (dsInsert) written again for the fields that take part.
  void RegenerateModifyingSQL(TDataSetState State);
  // The update table and its alias in identifier form.
  void GetUpdateTableAndAlias(String& Table, String& Alias);
  // An active update object of that kind exists.
  bool HasActiveUpdateObject(TUpdateKind Kind);
  // Runs the active update objects of Kind whose ExecuteOrder is Order.
  void ExecUpdateObjects(TUpdateKind Kind, TRecordBuffer Buffer, TFIBOrderExecUO Order);
  // A statement ran since the update transaction last ended.
  bool ChangedInUpdateTransaction() const { return changed_in_update_tr_; }
  void ClearChangedInUpdateTransaction() { changed_in_update_tr_ = false; }

 protected:
  using TFIBDataSet::DoPostRecord;
  // Posts Buffer through Query (the insert statement for an inserted
  // record, else the update statement) together with the update objects.
  virtual void DoPostRecord(TFIBQuery* Query, TRecordBuffer Buffer);
  // After open: the generated statements the options ask for.
  void GenerateSQLsAfterOpen();
  // Before a protected edit: empty RefreshSQL and UpdateSQL generated.
  void GenerateForProtectedEdit();

 private:
  bool changed_in_update_tr_ = false;
  // ----- end of generation and posting

  // ===== Dataset containers, event steps, new-record values
  // (DSContainer.h, pFIBDataSet_Events.cpp, pFIBDataSet_NewRecord.cpp)
 public:
  // Sends Event to the thread's global container (when it is not
  // Container) and then to Container.
  void NotifyContainers(TKindDataSetEvent Event);
  // The same two containers, then OnApplyFieldRepository, for one field.
  void ContainersApplyFieldRepository(TField* Field, TpFIBFieldInfo* FieldInfo);
  // ----- end of containers and events

  // ===== Field attributes from the repository, record locking, server
  // record count (pFIBDataSet_Repository.cpp, pFIBDataSet_Lock.cpp)
 protected:
  // Before an edit with poProtectedEdit: the lock, then the record again.
  void LockBeforeEdit();
  // ----- end of repository attributes and locking

  // ===== Applying cached updates (pFIBDataSet_Apply.cpp)
 protected:
  // After a post or delete with AutoCommit and CachedUpdates: the record's
  // update applied, committed and marked.
  void ApplyAfterAutoCommit();
  // ----- end of applying cached updates

  // ===== Provider interface, published properties (pFIBDataSet_Provider.cpp,
  // pFIBDataSet.cpp)
  // ----- end of provider interface
};
