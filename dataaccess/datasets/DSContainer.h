// Dataset containers: one place that handles the events of many datasets.
//
// An extended dataset reports each of its events to the calling thread's
// global container and to its own Container; a container hands every report
// first up its chain of master containers (the topmost runs first), then to
// its own handler while it is Active. A var argument changed by an upper
// container is seen by the lower ones.
//
//   auto* all = new TDataSetsContainer(form);
//   all->SetIsGlobalContainer(true);          // this thread's global one
//   all->SetOnDataSetEvent({form, &TForm1::AnyDataSetEvent});
#pragma once

#include <vector>

#include "platform/db/DB.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/UnitInit.h"
#include "platform/rtl/Variants.h"

class TpFIBFieldInfo;

extern const TUnit unit_DSContainer;

RTL_ENUM(TKindDataSetEvent, deBeforeOpen, deAfterOpen, deBeforeClose, deAfterClose, deBeforeInsert, deAfterInsert,
         deBeforeEdit, deAfterEdit, deBeforePost, deAfterPost, deBeforeCancel, deAfterCancel, deBeforeDelete,
         deAfterDelete, deBeforeScroll, deAfterScroll, deOnNewRecord, deOnCalcFields, deBeforeRefresh,
         deAfterRefresh);
RTL_ENUM(TKindDataSetError, deOnEditError, deOnPostError, deOnDeleteError);

using TOnDataSetEvent = Event<void(TDataSet* DataSet, TKindDataSetEvent Event)>;
using TOnApplyDefaultValue = Event<void(TDataSet* DataSet, TField* Field, bool& Applied)>;
using TOnApplyFieldRepository = Event<void(TDataSet* DataSet, TField* Field, TpFIBFieldInfo* FieldInfo)>;
using TOnDataSetError =
    Event<void(TDataSet* DataSet, TKindDataSetError Event, EDatabaseError* E, TDataAction& Action)>;
using TOnCompareFieldValues =
    Event<Integer(TField* Field, const Variant& S1, const Variant& S2, bool& Compared)>;

class TDataSetsContainer : public TComponent {
 public:
  explicit TDataSetsContainer(TComponent* AOwner);
  // Stops being its thread's global container; its datasets leave the
  // master chain.
  ~TDataSetsContainer() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The calling thread's global container, or nullptr.
  static TDataSetsContainer* GlobalContainer();

  // Each runs the master's operation first (recursively), then this
  // container's handler when Active and assigned.
  void DataSetEvent(TDataSet* DataSet, TKindDataSetEvent Event);
  void DataSetError(TDataSet* DataSet, TKindDataSetError Event, EDatabaseError* E, TDataAction& Action);
  void ApplyDefaultValue(TDataSet* DataSet, TField* Field, bool& Applied);
  void ApplyFieldRepository(TDataSet* DataSet, TField* Field, TpFIBFieldInfo* FieldInfo);
  // No master chain, no Active test: OnCompareFieldValues's answer into
  // Result and its Compared flag (false without a handler).
  bool CompareFieldValues(TField* Field, const Variant& S1, const Variant& S2, Integer& Result);

  // Registration of a dataset here and, recursively, with every master; a
  // registered dataset and the container notify each other when freed.
  void AddDataSet(TDataSet* DataSet);
  void RemoveDataSet(TDataSet* DataSet);
  // The datasets registered with this container or one below it.
  const std::vector<TDataSet*>& DataSets() const { return data_sets_; }

  bool Active() const { return active_; }
  void SetActive(bool Value) { active_ = Value; }
  TDataSetsContainer* MasterContainer() const { return master_; }
  // A master whose chain reaches this container (or this container itself)
  // raises "Circular link is not allowed."; the datasets move from the old
  // master chain to the new one.
  void SetMasterContainer(TDataSetsContainer* Value);
  bool IsGlobalContainer() const { return is_global_; }
  // Outside design mode true makes this the thread's global container (the
  // previous one's flag cleared); false releases the thread's reference
  // when it is this container.
  void SetIsGlobalContainer(bool Value);

  const TOnDataSetEvent& OnDataSetEvent() const { return on_data_set_event_; }
  void SetOnDataSetEvent(const TOnDataSetEvent& Value) { on_data_set_event_ = Value; }
  const TOnApplyDefaultValue& OnApplyDefaultValue() const { return on_apply_default_value_; }
  void SetOnApplyDefaultValue(const TOnApplyDefaultValue& Value) { on_apply_default_value_ = Value; }
  const TOnApplyFieldRepository& OnApplyFieldRepository() const { return on_apply_field_repository_; }
  void SetOnApplyFieldRepository(const TOnApplyFieldRepository& Value) { on_apply_field_repository_ = Value; }
  const TOnDataSetError& OnDataSetError() const { return on_data_set_error_; }
  void SetOnDataSetError(const TOnDataSetError& Value) { on_data_set_error_ = Value; }
  const TOnCompareFieldValues& OnCompareFieldValues() const { return on_compare_field_values_; }
  void SetOnCompareFieldValues(const TOnCompareFieldValues& Value) { on_compare_field_values_ = Value; }

 private:
  bool active_ = true;
  bool is_global_ = false;
  TDataSetsContainer* master_ = nullptr;
  std::vector<TDataSet*> data_sets_;
  TOnDataSetEvent on_data_set_event_;
  TOnApplyDefaultValue on_apply_default_value_;
  TOnApplyFieldRepository on_apply_field_repository_;
  TOnDataSetError on_data_set_error_;
  TOnCompareFieldValues on_compare_field_values_;
};
