// DBSumLst: running aggregates (sum, average, count) over every record of a
// dataset.
//
// TDBSumListProducer takes over eight event handlers of its dataset
// (AfterCancel, AfterClose, AfterEdit, AfterInsert, AfterOpen, AfterPost,
// AfterScroll, BeforeDelete) and the master dataset's AfterScroll, each
// chaining to the handler it replaced, and adjusts the aggregates per
// edited, inserted, posted and deleted record. It walks the dataset (with
// its controls disabled, and enabled again whatever happens) only when the
// dataset opens, its filter changes, the master record changes, the
// settings or the sums change, or when asked (RecalcAll).
//
// Values are Currency (ten-thousandths): each step computes the new value
// in extended precision from the old one and the field's value as a float
// (its Value, read once per record whatever number of aggregates read the
// field) x 10000 and rounds it to the nearest, ties to even; a counted
// record adds 1.
//
// For datasets that cannot number their records (IsSequenced false) the
// producer can keep the bookmarks of all records in dataset order
// (VirtualRecords) and answer record numbers and the record count from
// them.
//
// The producer follows the lifetime of its dataset and master dataset
// through free notification: a dataset being freed gets its handlers back
// and is let go, with the aggregates left as they are.
#pragma once

#include <memory>
#include <vector>

#include "platform/db/DB.h"
#include "platform/rtl/Collection.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Variants.h"

RTL_ENUM(TGroupOperation, goSum, goAvg, goCount);

class TDBSumListProducer;

// One aggregate.
class TDBSum : public TCollectionItem {
 public:
  explicit TDBSum(TCollection* Collection);
  void Assign(TPersistent* Source) override;

  const String& FieldName() const { return field_name_; }
  void SetFieldName(const String& Value);
  TGroupOperation GroupOperation() const { return group_operation_; }
  void SetGroupOperation(TGroupOperation Value);

  // The aggregate.
  Currency SumValue() const { return sum_value_; }
  void SetSumValue(Currency Value) { sum_value_ = Value; }
  // The record's value when its edit or insert began.
  Currency OldValue() const { return old_value_; }
  void SetOldValue(Currency Value) { old_value_ = Value; }
  const Variant& OldVarValue() const { return old_var_value_; }
  void SetOldVarValue(const Variant& Value) { old_var_value_ = Value; }
  // goAvg: the running sum and the number of non-null values.
  Currency AvgSum() const { return avg_sum_; }
  void SetAvgSum(Currency Value) { avg_sum_ = Value; }
  int AvgCount() const { return avg_count_; }
  void SetAvgCount(int Value) { avg_count_ = Value; }

  // goCount, or an aggregate of a named field; others are skipped.
  bool Relevant() const { return group_operation_ == goCount || !field_name_.empty(); }

 private:
  String field_name_;
  TGroupOperation group_operation_ = goSum;
  Currency sum_value_;
  Currency old_value_;
  Variant old_var_value_;
  Currency avg_sum_;
  int avg_count_ = 0;
};

// The aggregates of a producer; a change makes it recalculate.
class TDBSumCollection : public TCollection {
 public:
  explicit TDBSumCollection(TDBSumListProducer* Producer);

  TDBSum* Items(int Index) const { return static_cast<TDBSum*>(TCollection::Items(Index)); }
  TDBSum* Add() { return static_cast<TDBSum*>(TCollection::Add()); }
  TPersistent* GetOwner() override;
  // The first aggregate of Op whose field name equals FieldName (ignoring
  // case, the user's locale); nullptr when none.
  TDBSum* GetSumByOpAndFName(TGroupOperation Op, const String& FieldName) const;

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TDBSumListProducer* producer_;
};

class TDBSumListProducer : public TPersistent {
 public:
  explicit TDBSumListProducer(TComponent* AOwner);
  ~TDBSumListProducer() override;
  void Assign(TPersistent* Source) override;
  TPersistent* GetOwner() override { return owner_; }

  TComponent* Owner() const { return owner_; }
  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* Value);
  TDBSumCollection* SumCollection() const { return sums_.get(); }
  void SetSumCollection(TDBSumCollection* Value) { sums_->Assign(Value); }

  // True after construction: hooked and keeping the aggregates.
  bool Active() const { return active_; }
  void SetActive(bool Value);
  // The aggregates are filled by someone else: a recalculation only clears.
  bool ExternalRecalc() const { return external_recalc_; }
  void SetExternalRecalc(bool Value);
  bool VirtualRecords() const { return virtual_records_; }
  void SetVirtualRecords(bool Value);
  // Without it nothing is done while the owner is being designed.
  bool DesignTimeWork() const { return design_time_work_; }
  void SetDesignTimeWork(bool Value) { design_time_work_ = Value; }
  // Hooks and recalculates again (when a dataset is set and Active).
  void Reactivate();
  // True while the dataset's handlers are the producer's.
  bool EventsHooked() const { return events_hooked_; }
  TDataSet* MasterDataSet() const { return master_; }

  // Fires at the start of a recalculation.
  const TNotifyEvent& OnRecalcAll() const { return on_recalc_all_; }
  void SetOnRecalcAll(TNotifyEvent Value) { on_recalc_all_ = std::move(Value); }
  // Fires after a walk of the dataset.
  const TNotifyEvent& OnAfterRecalcAll() const { return on_after_recalc_all_; }
  void SetOnAfterRecalcAll(TNotifyEvent Value) { on_after_recalc_all_ = std::move(Value); }
  // Fires after every change of the aggregates.
  const TNotifyEvent& SumListChanged() const { return sum_list_changed_; }
  void SetSumListChanged(TNotifyEvent Value) { sum_list_changed_ = std::move(Value); }

  // Record numbers (1-based) and the record count: from the bookmark list
  // in the virtual-record mode, else the dataset's own.
  virtual int GetRecNo();
  virtual void SetRecNo(int RecNo);
  virtual int GetRecordCount();
  // The position of a bookmark in the list (-1 when absent), searched from
  // the position found last.
  virtual int FindBookmarkIndex(const TBookmark& Bookmark);
  virtual bool IsSequenced();
  // Every aggregate to 0, then SumListChanged.
  virtual void ClearSumValues();
  // Clears and, unless ExternalRecalc, walks the dataset.
  virtual void RecalcAll();
  // The virtual-record mode is in force.
  bool VirtualMode() const;
  // The bookmarks of the virtual-record mode, in dataset order.
  const std::vector<TBookmark>& Bookmarks() const { return bookmarks_; }

  // The dataset's handlers.
  virtual void AfterCancel(TDataSet* DataSet);
  virtual void AfterClose(TDataSet* DataSet);
  virtual void AfterEdit(TDataSet* DataSet);
  virtual void AfterInsert(TDataSet* DataSet);
  virtual void AfterOpen(TDataSet* DataSet);
  virtual void AfterPost(TDataSet* DataSet);
  virtual void AfterScroll(TDataSet* DataSet);
  virtual void BeforeDelete(TDataSet* DataSet);
  // The master dataset's AfterScroll.
  virtual void MasterAfterScroll(TDataSet* DataSet);

 protected:
  // Takes over the handlers (once); ReturnEvents gives them back.
  virtual void SetDataSetEvents();
  virtual void ReturnEvents();
  // The owner is loading, or designed without DesignTimeWork.
  bool OwnerBlocks() const;
  // For a descendant that hooks in its own way: marks the dataset's
  // handlers as taken over (or given back) without touching them.
  void SetEventsHooked(bool Value) { events_hooked_ = Value; }

 private:
  class TNotifier;
  friend class TDBSumCollection;
  void CollectionChanged();
  void Activate(bool Recalc);
  void Deactivate(bool Clear);
  void Follow(TDataSet* Old, TDataSet* New);
  // The dataset or master being freed.
  void ComponentRemoved(TComponent* Component);
  class TSumReader;
  TSumReader& Reader();
  void Walk();
  void FinishRecalc();
  void InsertPendingBookmark();

  TComponent* owner_;
  TDataSet* dataset_ = nullptr;
  std::unique_ptr<TDBSumCollection> sums_;
  std::unique_ptr<TNotifier> notifier_;
  std::unique_ptr<TSumReader> reader_;
  bool active_ = false;
  bool external_recalc_ = false;
  bool virtual_records_ = false;
  bool design_time_work_ = false;
  TNotifyEvent on_recalc_all_, on_after_recalc_all_, sum_list_changed_;

  bool events_hooked_ = false;
  TDataSetNotifyEvent saved_after_cancel_, saved_after_close_, saved_after_edit_, saved_after_insert_,
      saved_after_open_, saved_after_post_, saved_after_scroll_, saved_before_delete_, saved_master_after_scroll_;
  TDataSet* master_ = nullptr;
  const TPropInfo* master_prop_ = nullptr;

  bool in_recalc_ = false;
  bool filtered_ = false;
  String filter_;

  std::vector<TBookmark> bookmarks_;
  int bookmark_pos_ = -1;
  bool pending_insert_ = false;
};

class TUnit;
extern const TUnit unit_DBSumLst;
