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

 private:
  Integer data_set_id_ = 0;
  Integer applied_id_ = 0;  // the id whose definition was applied last
  String description_;
};
