#include "grid/toolkit/DBSumLst.h"

#include <algorithm>
#include <cmath>

#include "grid/toolkit/GridLibVCL.h"
#include "grid/toolkit/ToolCtrlsEh.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/UnitInit.h"

namespace {

constexpr int64_t kOne = 10000;  // a counted record

// Round(Base + Value x 10000) in extended precision, ties to even.
Currency AddScaled(Currency Base, long double Value) {
  return Currency::FromRaw(std::llrintl(static_cast<long double>(Base.Value) + Value * 10000.0L));
}

// Round(Sum / Count), 0 without values.
Currency Average(Currency Sum, int Count) {
  if (Count == 0) return Currency();
  return Currency::FromRaw(std::llrintl(static_cast<long double>(Sum.Value) / Count));
}

// The field an aggregate reads (nullptr for a count of every record).
TField* SumField(TDataSet* DataSet, const TDBSum* Sum) {
  return Sum->FieldName().empty() ? nullptr : DataSet->FieldByName(Sum->FieldName());
}

}  // namespace

// The relevant aggregates with the fields they read, made when the
// dataset opens or the aggregates change and kept while its fields stay.
// Read takes each distinct field once for the current record, however many
// aggregates read it.
class TDBSumListProducer::TSumReader {
 public:
  TSumReader(TDataSet* DataSet, TDBSumCollection* Sums) {
    for (int i = 0; i < Sums->Count(); ++i) {
      TDBSum* sum = Sums->Items(i);
      if (!sum->Relevant()) continue;
      TField* field = SumField(DataSet, sum);
      int slot = -1;
      if (field != nullptr) {
        const auto same = [field](const TSlot& S) { return S.field == field; };
        slot = static_cast<int>(std::find_if(slots_.begin(), slots_.end(), same) - slots_.begin());
        if (slot == static_cast<int>(slots_.size())) slots_.push_back(TSlot{field, false, false, 0, Variant()});
        if (sum->GroupOperation() != goCount) slots_[static_cast<size_t>(slot)].floats = true;
      }
      items_.push_back({sum, slot});
    }
  }

  // A field whose value is added is read once, as its Value (the same
  // number as its AsFloat); a field that is only counted, by IsNull.
  void Read() {
    for (TSlot& slot : slots_) {
      if (!slot.floats) {
        slot.null = slot.field->IsNull();
        continue;
      }
      slot.variant = slot.field->Value();
      slot.null = VarIsNull(slot.variant) || VarIsEmpty(slot.variant);
      slot.value = slot.null ? 0.0 : slot.variant.AsDouble();
    }
  }

  size_t Count() const { return items_.size(); }
  TDBSum* Sum(size_t Item) const { return items_[Item].sum; }
  // A count of every record reads no field: never null.
  bool Null(size_t Item) const { return items_[Item].slot >= 0 && Slot(Item).null; }
  double Value(size_t Item) const { return items_[Item].slot >= 0 ? Slot(Item).value : 0.0; }
  // The value in ten-thousandths, 0 when null.
  Currency Scaled(size_t Item) const { return Null(Item) ? Currency() : AddScaled(Currency(), Value(Item)); }
  const Variant& VarValue(size_t Item) const { return Slot(Item).variant; }

 private:
  struct TSlot {
    TField* field;
    bool floats = false;  // some aggregate adds the field's value
    bool null = false;
    double value = 0;
    Variant variant;
  };
  struct TItem {
    TDBSum* sum;
    int slot;  // in slots_, -1 for a count of every record
  };
  const TSlot& Slot(size_t Item) const { return slots_[static_cast<size_t>(items_[Item].slot)]; }

  std::vector<TItem> items_;
  std::vector<TSlot> slots_;
};

TDBSumListProducer::TSumReader& TDBSumListProducer::Reader() {
  if (reader_ == nullptr) reader_ = std::make_unique<TSumReader>(dataset_, sums_.get());
  return *reader_;
}

// ---------------------------------------------------------------------------
// TDBSum, TDBSumCollection

TDBSum::TDBSum(TCollection* Collection) : TCollectionItem(Collection) {}

void TDBSum::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TDBSum*>(Source);
  if (src == nullptr) {
    TCollectionItem::Assign(Source);
    return;
  }
  group_operation_ = src->group_operation_;
  field_name_ = src->field_name_;
  old_value_ = src->old_value_;
  sum_value_ = src->sum_value_;
  Changed(false);
}

void TDBSum::SetFieldName(const String& Value) {
  if (Value == field_name_) return;
  field_name_ = Value;
  Changed(false);
}

void TDBSum::SetGroupOperation(TGroupOperation Value) {
  if (Value == group_operation_) return;
  group_operation_ = Value;
  Changed(false);
}

TDBSumCollection::TDBSumCollection(TDBSumListProducer* Producer)
    : TCollection(CollectionItemFactory<TDBSum>), producer_(Producer) {}

TPersistent* TDBSumCollection::GetOwner() { return producer_; }

TDBSum* TDBSumCollection::GetSumByOpAndFName(TGroupOperation Op, const String& FieldName) const {
  for (int i = 0; i < Count(); ++i) {
    TDBSum* sum = Items(i);
    if (sum->GroupOperation() == Op && AnsiCompareText(sum->FieldName(), FieldName) == 0) return sum;
  }
  return nullptr;
}

void TDBSumCollection::Update(TCollectionItem* Item) {
  TCollection::Update(Item);
  producer_->CollectionChanged();
}

// ---------------------------------------------------------------------------
// Lifetimes of the dataset and the master

class TDBSumListProducer::TNotifier : public TComponent {
 public:
  explicit TNotifier(TDBSumListProducer* Producer) : TComponent(nullptr), producer_(Producer) {}
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove) producer_->ComponentRemoved(AComponent);
  }

 private:
  TDBSumListProducer* producer_;
};

void TDBSumListProducer::Follow(TDataSet* Old, TDataSet* New) {
  if (Old != nullptr && Old != dataset_ && Old != master_) notifier_->RemoveFreeNotification(Old);
  if (New != nullptr) notifier_->FreeNotification(New);
}

void TDBSumListProducer::ComponentRemoved(TComponent* Component) {
  if (Component == dataset_) {
    SetDataSet(dataset_);
  } else if (Component == master_) {
    // Its handler goes with it.
    saved_master_after_scroll_ = nullptr;
    master_ = nullptr;
    master_prop_ = nullptr;
  }
}

// ---------------------------------------------------------------------------
// TDBSumListProducer

TDBSumListProducer::TDBSumListProducer(TComponent* AOwner)
    : owner_(AOwner), sums_(std::make_unique<TDBSumCollection>(this)), notifier_(std::make_unique<TNotifier>(this)),
      active_(true) {}

TDBSumListProducer::~TDBSumListProducer() {
  ReturnEvents();
  if (dataset_ != nullptr) notifier_->RemoveFreeNotification(dataset_);
  // The sums go before the notifier: nothing recalculates any more.
  active_ = false;
  sums_.reset();
}

void TDBSumListProducer::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TDBSumListProducer*>(Source);
  if (src == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  SetActive(src->active_);
  SetDataSet(src->dataset_);
  SetExternalRecalc(src->external_recalc_);
  sums_->Assign(src->sums_.get());
  sum_list_changed_ = src->sum_list_changed_;
  SetVirtualRecords(src->virtual_records_);
  on_after_recalc_all_ = src->on_after_recalc_all_;
  on_recalc_all_ = src->on_recalc_all_;
}

bool TDBSumListProducer::OwnerBlocks() const {
  return owner_ != nullptr && (owner_->IsLoading() || (owner_->IsDesigning() && !design_time_work_));
}

void TDBSumListProducer::Activate(bool Recalc) {
  active_ = true;
  if (OwnerBlocks()) return;
  SetDataSetEvents();
  if (Recalc) RecalcAll();
}

void TDBSumListProducer::Deactivate(bool Clear) {
  active_ = false;
  if (OwnerBlocks()) return;
  ReturnEvents();
  if (Clear) ClearSumValues();
}

void TDBSumListProducer::SetActive(bool Value) {
  if (Value == active_) return;
  if (Value) Activate(true);
  else Deactivate(true);
}

void TDBSumListProducer::SetDataSet(TDataSet* Value) {
  if (Value != nullptr && Value == dataset_ && Value->IsDestroying()) {
    ReturnEvents();  // forgets the fields read too
    dataset_ = nullptr;
    return;
  }
  if (Value == dataset_) return;
  reader_.reset();
  TDataSet* old = dataset_;
  if (OwnerBlocks()) {
    dataset_ = Value;
    Follow(old, Value);
    return;
  }
  const bool wasActive = active_;
  Deactivate(true);
  dataset_ = Value;
  Follow(old, Value);
  if (wasActive) Activate(true);
}

void TDBSumListProducer::Reactivate() {
  if (dataset_ != nullptr && active_) Activate(true);
}

void TDBSumListProducer::SetExternalRecalc(bool Value) {
  if (Value == external_recalc_) return;
  external_recalc_ = Value;
  RecalcAll();
}

void TDBSumListProducer::SetVirtualRecords(bool Value) {
  if (Value == virtual_records_) return;
  virtual_records_ = Value;
  if (Value) RecalcAll();
}

void TDBSumListProducer::CollectionChanged() {
  reader_.reset();
  if (owner_ != nullptr && (owner_->IsLoading() || owner_->IsDestroying())) return;
  if (sums_ != nullptr) RecalcAll();
}

void TDBSumListProducer::ClearSumValues() {
  for (int i = 0; i < sums_->Count(); ++i) {
    TDBSum* sum = sums_->Items(i);
    sum->SetSumValue(Currency());
    sum->SetOldValue(Currency());
    sum->SetAvgSum(Currency());
    sum->SetAvgCount(0);
  }
  sum_list_changed_(this);
}

// ---------------------------------------------------------------------------
// Hooking

void TDBSumListProducer::SetDataSetEvents() {
  if (dataset_ == nullptr || events_hooked_) return;
  reader_.reset();
  master_prop_ = GetPropInfo(dataset_, "MasterSource");
  master_ = GetMasterDataSource(dataset_, master_prop_);
  if (master_ == dataset_) master_ = nullptr;
  using P = TDBSumListProducer;
  saved_after_cancel_ = dataset_->AfterCancel();
  saved_after_close_ = dataset_->AfterClose();
  saved_after_edit_ = dataset_->AfterEdit();
  saved_after_insert_ = dataset_->AfterInsert();
  saved_after_open_ = dataset_->AfterOpen();
  saved_after_post_ = dataset_->AfterPost();
  saved_after_scroll_ = dataset_->AfterScroll();
  saved_before_delete_ = dataset_->BeforeDelete();
  dataset_->SetAfterCancel({this, &P::AfterCancel});
  dataset_->SetAfterClose({this, &P::AfterClose});
  dataset_->SetAfterEdit({this, &P::AfterEdit});
  dataset_->SetAfterInsert({this, &P::AfterInsert});
  dataset_->SetAfterOpen({this, &P::AfterOpen});
  dataset_->SetAfterPost({this, &P::AfterPost});
  dataset_->SetAfterScroll({this, &P::AfterScroll});
  dataset_->SetBeforeDelete({this, &P::BeforeDelete});
  if (master_ != nullptr) {
    saved_master_after_scroll_ = master_->AfterScroll();
    master_->SetAfterScroll({this, &P::MasterAfterScroll});
    notifier_->FreeNotification(master_);
  }
  events_hooked_ = true;
}

void TDBSumListProducer::ReturnEvents() {
  reader_.reset();
  if (!events_hooked_) return;
  if (dataset_ != nullptr) {
    dataset_->SetAfterCancel(saved_after_cancel_);
    dataset_->SetAfterClose(saved_after_close_);
    dataset_->SetAfterEdit(saved_after_edit_);
    dataset_->SetAfterInsert(saved_after_insert_);
    dataset_->SetAfterOpen(saved_after_open_);
    dataset_->SetAfterPost(saved_after_post_);
    dataset_->SetAfterScroll(saved_after_scroll_);
    dataset_->SetBeforeDelete(saved_before_delete_);
  }
  if (master_ != nullptr) {
    master_->SetAfterScroll(saved_master_after_scroll_);
    if (master_ != dataset_) notifier_->RemoveFreeNotification(master_);
  }
  for (TDataSetNotifyEvent* e : {&saved_after_cancel_, &saved_after_close_, &saved_after_edit_, &saved_after_insert_,
                                 &saved_after_open_, &saved_after_post_, &saved_after_scroll_, &saved_before_delete_,
                                 &saved_master_after_scroll_})
    *e = nullptr;
  master_ = nullptr;
  master_prop_ = nullptr;
  events_hooked_ = false;
  bookmarks_.clear();
}

// ---------------------------------------------------------------------------
// Recalculation

void TDBSumListProducer::RecalcAll() {
  if (OwnerBlocks() || !active_ || dataset_ == nullptr || !dataset_->Active() || !events_hooked_) return;
  ClearSumValues();
  bookmark_pos_ = -1;
  on_recalc_all_(this);
  bool walk = VirtualMode();
  for (int i = 0; i < sums_->Count() && !walk; ++i) walk = sums_->Items(i)->Relevant();
  if (walk && !external_recalc_) {
    try {
      Walk();
    } catch (...) {
      FinishRecalc();
      throw;
    }
  }
  FinishRecalc();
}

void TDBSumListProducer::FinishRecalc() {
  filtered_ = dataset_->Filtered();
  filter_ = dataset_->Filter();
  in_recalc_ = false;
  sum_list_changed_(this);
}

// Every record once, with the controls disabled (enabled again on every
// path); the dataset ends on its first record.
void TDBSumListProducer::Walk() {
  reader_.reset();
  TSumReader& reader = Reader();
  const bool virtualMode = VirtualMode();
  TDataSet* ds = dataset_;
  ds->DisableControls();
  try {
    bookmarks_.clear();
    in_recalc_ = true;
    for (ds->First(); !ds->Eof(); ds->Next()) {
      reader.Read();
      for (size_t i = 0; i < reader.Count(); ++i) {
        TDBSum* sum = reader.Sum(i);
        if (reader.Null(i)) continue;
        switch (sum->GroupOperation()) {
          case goSum: sum->SetSumValue(AddScaled(sum->SumValue(), reader.Value(i))); break;
          case goAvg:
            sum->SetAvgCount(sum->AvgCount() + 1);
            sum->SetAvgSum(AddScaled(sum->AvgSum(), reader.Value(i)));
            break;
          case goCount: sum->SetSumValue(sum->SumValue() + Currency::FromRaw(kOne)); break;
        }
      }
      if (virtualMode) bookmarks_.push_back(ds->GetBookmark());
    }
    ds->First();
    for (size_t i = 0; i < reader.Count(); ++i) {
      TDBSum* sum = reader.Sum(i);
      if (sum->GroupOperation() == goAvg) sum->SetSumValue(Average(sum->AvgSum(), sum->AvgCount()));
    }
  } catch (...) {
    ds->EnableControls();
    throw;
  }
  ds->EnableControls();
  on_after_recalc_all_(this);
}

// ---------------------------------------------------------------------------
// Handlers

void TDBSumListProducer::AfterOpen(TDataSet* DataSet) {
  reader_.reset();
  if (active_) RecalcAll();
  saved_after_open_(DataSet);
}

void TDBSumListProducer::AfterClose(TDataSet* DataSet) {
  reader_.reset();
  if (active_) {
    ClearSumValues();
    sum_list_changed_(this);
    in_recalc_ = false;
  }
  bookmarks_.clear();
  saved_after_close_(DataSet);
}

void TDBSumListProducer::AfterEdit(TDataSet* DataSet) {
  if (active_) {
    TSumReader& reader = Reader();
    reader.Read();
    for (size_t i = 0; i < reader.Count(); ++i) {
      TDBSum* sum = reader.Sum(i);
      if (sum->GroupOperation() == goCount) {
        sum->SetOldValue(Currency::FromRaw(reader.Null(i) ? 0 : kOne));
      } else {
        sum->SetOldValue(reader.Scaled(i));
        sum->SetOldVarValue(reader.VarValue(i));
      }
    }
  }
  saved_after_edit_(DataSet);
}

// A new record had no value before: nothing of it is counted yet.
void TDBSumListProducer::AfterInsert(TDataSet* DataSet) {
  if (active_) {
    for (int i = 0; i < sums_->Count(); ++i) {
      TDBSum* sum = sums_->Items(i);
      if (!sum->Relevant()) continue;
      sum->SetOldValue(Currency());
      sum->SetOldVarValue(Null());
    }
    if (VirtualMode()) {
      const TBookmark b = dataset_->GetBookmark();
      if (!b.empty()) bookmarks_.push_back(b);
      else pending_insert_ = true;
    }
  }
  saved_after_insert_(DataSet);
}

void TDBSumListProducer::AfterPost(TDataSet* DataSet) {
  if (active_) {
    TSumReader& reader = Reader();
    reader.Read();
    for (size_t i = 0; i < reader.Count(); ++i) {
      TDBSum* sum = reader.Sum(i);
      const bool null = reader.Null(i);
      switch (sum->GroupOperation()) {
        case goSum: sum->SetSumValue(AddScaled(sum->SumValue() - sum->OldValue(), reader.Value(i))); break;
        case goAvg:
          if (null) {
            if (!VarIsNull(sum->OldVarValue())) sum->SetAvgCount(sum->AvgCount() - 1);
            sum->SetAvgSum(sum->AvgSum() - sum->OldValue());
          } else {
            if (VarIsNull(sum->OldVarValue())) sum->SetAvgCount(sum->AvgCount() + 1);
            sum->SetAvgSum(AddScaled(sum->AvgSum() - sum->OldValue(), reader.Value(i)));
          }
          sum->SetSumValue(Average(sum->AvgSum(), sum->AvgCount()));
          break;
        case goCount: sum->SetSumValue(sum->SumValue() - sum->OldValue() + Currency::FromRaw(null ? 0 : kOne)); break;
      }
    }
    if (VirtualMode() && pending_insert_) InsertPendingBookmark();
    sum_list_changed_(this);
  }
  saved_after_post_(DataSet);
}

// The posted record's bookmark goes before the first entry that the
// dataset orders after it, searched from the position found last.
void TDBSumListProducer::InsertPendingBookmark() {
  pending_insert_ = false;
  const TBookmark b = dataset_->GetBookmark();
  if (b.empty()) return;
  const int n = static_cast<int>(bookmarks_.size());
  int pos = bookmark_pos_ < 0 || bookmark_pos_ >= n ? 0 : bookmark_pos_;
  if (n > 0 && DataSetCompareBookmarks(dataset_, bookmarks_[static_cast<size_t>(pos)], b) > 0) {
    while (pos > 0 && DataSetCompareBookmarks(dataset_, bookmarks_[static_cast<size_t>(pos - 1)], b) > 0) --pos;
  } else {
    while (pos < n && DataSetCompareBookmarks(dataset_, bookmarks_[static_cast<size_t>(pos)], b) <= 0) ++pos;
  }
  bookmarks_.insert(bookmarks_.begin() + pos, b);
}

void TDBSumListProducer::AfterCancel(TDataSet* DataSet) {
  saved_after_cancel_(DataSet);
  pending_insert_ = false;
}

void TDBSumListProducer::BeforeDelete(TDataSet* DataSet) {
  saved_before_delete_(DataSet);
  if (!active_) return;
  TSumReader& reader = Reader();
  reader.Read();
  for (size_t i = 0; i < reader.Count(); ++i) {
    TDBSum* sum = reader.Sum(i);
    switch (sum->GroupOperation()) {
      case goSum: sum->SetSumValue(sum->SumValue() - reader.Scaled(i)); break;
      case goAvg:
        sum->SetAvgSum(sum->AvgSum() - reader.Scaled(i));
        if (!reader.Null(i)) sum->SetAvgCount(sum->AvgCount() - 1);
        sum->SetSumValue(Average(sum->AvgSum(), sum->AvgCount()));
        break;
      case goCount:
        if (!reader.Null(i)) sum->SetSumValue(sum->SumValue() - Currency::FromRaw(kOne));
        break;
    }
  }
  if (VirtualMode()) {
    const int i = FindBookmarkIndex(dataset_->GetBookmark());
    if (i >= 0) bookmarks_.erase(bookmarks_.begin() + i);
  }
  sum_list_changed_(this);
}

void TDBSumListProducer::AfterScroll(TDataSet* DataSet) {
  saved_after_scroll_(DataSet);
  if (!active_ || in_recalc_ || dataset_ == nullptr) return;
  if ((dataset_->Filtered() && dataset_->Filter() != filter_) || dataset_->Filtered() != filtered_) RecalcAll();
}

void TDBSumListProducer::MasterAfterScroll(TDataSet* DataSet) {
  saved_master_after_scroll_(DataSet);
  if (active_ && !in_recalc_) RecalcAll();
}

// ---------------------------------------------------------------------------
// Virtual records

bool TDBSumListProducer::VirtualMode() const {
  return virtual_records_ && active_ && dataset_ != nullptr && !dataset_->IsSequenced();
}

int TDBSumListProducer::GetRecNo() {
  if (VirtualMode()) return FindBookmarkIndex(dataset_->GetBookmark()) + 1;
  return dataset_->RecNo();
}

void TDBSumListProducer::SetRecNo(int RecNo) {
  if (!VirtualMode()) {
    dataset_->SetRecNo(RecNo);
    return;
  }
  if (RecNo < 1 || RecNo > static_cast<int>(bookmarks_.size()))
    throw EListError("List index out of bounds (%d)", {RecNo - 1});
  dataset_->SetBookmark(bookmarks_[static_cast<size_t>(RecNo - 1)]);
}

int TDBSumListProducer::GetRecordCount() {
  if (VirtualMode()) return static_cast<int>(bookmarks_.size());
  return dataset_ != nullptr ? dataset_->RecordCount() : 0;
}

bool TDBSumListProducer::IsSequenced() {
  if (dataset_ == nullptr) return false;
  if (dataset_->IsSequenced()) return true;
  if (!virtual_records_ || !active_) return false;
  if (!bookmarks_.empty()) return true;
  return dataset_->Bof() && dataset_->Eof();
}

// Steps from the position found last towards the bookmark; a bookmark that
// lies between two entries (or beyond either end) is not in the list.
int TDBSumListProducer::FindBookmarkIndex(const TBookmark& Bookmark) {
  const int n = static_cast<int>(bookmarks_.size());
  if (n == 0 || Bookmark.empty()) return -1;
  if (bookmark_pos_ < 0 || bookmark_pos_ >= n) bookmark_pos_ = 0;
  int direction = 0;
  for (;;) {
    const int c = DataSetCompareBookmarks(dataset_, bookmarks_[static_cast<size_t>(bookmark_pos_)], Bookmark);
    if (c == 0) return bookmark_pos_;
    const int step = c > 0 ? -1 : 1;
    if (direction != 0 && step != direction) return -1;
    direction = step;
    bookmark_pos_ += step;
    if (bookmark_pos_ < 0 || bookmark_pos_ >= n) return -1;
  }
}

// ---------------------------------------------------------------------------
// The unit: the aggregates are streamed with their owner.

namespace {

void InitDBSumLst() {
  RegisterClass<TDBSum, TCollectionItem>("TDBSum")
      .Prop("FieldName", &TDBSum::FieldName, &TDBSum::SetFieldName)
      .Prop("GroupOperation", &TDBSum::GroupOperation, &TDBSum::SetGroupOperation);
  RegisterClass<TDBSumCollection, TCollection>("TDBSumCollection");
}

constexpr const TUnit* kUses[] = {&unit_ToolCtrlsEh};

}  // namespace

constinit const TUnit unit_DBSumLst("DBSumLst", kUses, InitDBSumLst, nullptr);
