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

#include "dataaccess/datasets/FIBDataSet.h"
#include "platform/rtl/UnitInit.h"

extern const TUnit unit_pFIBDataSet;

class TpFIBDataSet : public TFIBDataSet {
 public:
  explicit TpFIBDataSet(TComponent* AOwner) : TFIBDataSet(AOwner) {}

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
};
