// Data sources and data links.
#include <algorithm>

#include "platform/db/DB.h"
#include "platform/db/DBConsts.h"
#include "platform/db/DB_Internal.h"

// ---------------------------------------------------------------------------
// TDataSource

TDataSource::TDataSource(TComponent* AOwner) : TComponent(AOwner) {}

TDataSource::~TDataSource() {
  // No handler runs from a destructor.
  on_state_change_ = nullptr;
  on_data_change_ = nullptr;
  on_update_data_ = nullptr;
  Detach();
}

void TDataSource::BeforeDestruction() {
  on_state_change_ = nullptr;
  Detach();
  TComponent::BeforeDestruction();
}

void TDataSource::Detach() {
  if (data_set_ != nullptr) data_set_->RemoveDataSource(this);
  while (!data_links_.empty()) RemoveDataLink(data_links_.back());
}

void TDataSource::SetDataSet(TDataSet* ADataSet) {
  if (ADataSet == data_set_) return;
  if (IsLinkedTo(ADataSet)) DatabaseError(SCircularDataLink, this);
  if (data_set_ != nullptr) data_set_->RemoveDataSource(this);
  if (ADataSet != nullptr) ADataSet->AddDataSource(this);
}

bool TDataSource::IsLinkedTo(TDataSet* DataSet) {
  // Bounded walk: a broken chain that loops must not hang.
  for (int guard = 0; DataSet != nullptr && guard < 10000; ++guard) {
    TDataSource* source = DataSet->GetDataSource();
    if (source == nullptr) break;
    if (source == this) return true;
    DataSet = source->DataSet();
  }
  return false;
}

void TDataSource::SetEnabled(bool Value) {
  enabled_ = Value;
  UpdateState();
}

void TDataSource::Edit() {
  if (auto_edit_ && state_ == dsBrowse) data_set_->Edit();
}

void TDataSource::UpdateState() {
  SetState(enabled_ && data_set_ != nullptr ? data_set_->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState Value) {
  if (state_ == Value) return;
  TDataSetState prior = state_;
  state_ = Value;
  NotifyDataLinks(deUpdateState, 0);
  if (IsDestroying()) return;
  on_state_change_(this);
  if (prior == dsInactive) on_data_change_(this, nullptr);
}

void TDataSource::AddDataLink(TDataLink* DataLink) {
  data_links_.push_back(DataLink);
  DataLink->data_source_ = this;
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
  DataLink->UpdateState();
}

void TDataSource::RemoveDataLink(TDataLink* DataLink) {
  DataLink->data_source_ = nullptr;
  data_links_.erase(std::remove(data_links_.begin(), data_links_.end(), DataLink), data_links_.end());
  DataLink->UpdateState();
  if (data_set_ != nullptr) data_set_->UpdateBufferCount();
}

void TDataSource::NotifyDataLinks(TDataEvent Event, NativeInt Info) {
  // Non-visual links (details) hear first; each group the last added first.
  // A handler may remove links: walk a copy and skip the removed ones.
  std::vector<TDataLink*> links = data_links_;
  for (bool visual : {false, true}) {
    for (auto it = links.rbegin(); it != links.rend(); ++it) {
      TDataLink* link = *it;
      if (link->VisualControl() != visual) continue;
      if (std::find(data_links_.begin(), data_links_.end(), link) == data_links_.end()) continue;
      link->DataEvent(Event, Info);
    }
  }
}

void TDataSource::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (state_ == dsInactive) return;
  NotifyDataLinks(Event, Info);
  switch (Event) {
    case deFieldChange:
      on_data_change_(this, reinterpret_cast<TField*>(Info));
      break;
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
      on_data_change_(this, nullptr);
      break;
    case deUpdateRecord:
      on_update_data_(this);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
  // No handler runs any more: the link only leaves its source.
  active_ = false;
  editing_ = false;
  data_source_fixed_ = false;
  if (data_source_ != nullptr) data_source_->RemoveDataLink(this);
}

TDataSet* TDataLink::DataSet() const { return data_source_ != nullptr ? data_source_->DataSet() : nullptr; }

void TDataLink::SetDataSource(TDataSource* ADataSource) {
  if (data_source_ == ADataSource) return;
  if (data_source_fixed_) DatabaseError(SDataSourceChange);
  if (data_source_ != nullptr) data_source_->RemoveDataLink(this);
  if (ADataSource != nullptr) ADataSource->AddDataLink(this);
}

void TDataLink::SetReadOnly(bool Value) {
  if (read_only_ == Value) return;
  read_only_ = Value;
  UpdateState();
}

void TDataLink::UpdateState() {
  TDataSetState s = data_source_ != nullptr ? data_source_->State() : dsInactive;
  SetActive(s != dsInactive);
  SetEditing(dsEditModes.Contains(s) && !read_only_);
}

void TDataLink::SetActive(bool Value) {
  if (active_ == Value) return;
  active_ = Value;
  if (Value) UpdateRange();
  else first_record_ = 0;
  ActiveChanged();
}

void TDataLink::SetEditing(bool Value) {
  if (editing_ == Value) return;
  editing_ = Value;
  EditingChanged();
}

void TDataLink::UpdateRange() {
  TDataSet* ds = DataSet();
  if (ds == nullptr) return;
  int min = std::max(ds->active_record_ - buffer_count_ + 1, 0);
  int max = std::min(std::max(ds->buffer_count_ - buffer_count_, 0), ds->active_record_);
  if (first_record_ < min) first_record_ = min;
  if (first_record_ > max) first_record_ = max;
}

int TDataLink::ActiveRecord() const {
  TDataSet* ds = DataSet();
  if (ds == nullptr || data_source_->State() == dsSetKey) return 0;
  return ds->active_record_ - first_record_;
}

void TDataLink::SetActiveRecord(int Value) {
  TDataSet* ds = DataSet();
  if (ds == nullptr || data_source_->State() == dsSetKey) return;
  int index = Value + first_record_;
  // Only buffers of the window exist.
  if (index < 0 || index >= std::max(ds->buffer_count_, 1))
    throw EListError("List index out of bounds (%d)", {Value});
  ds->active_record_ = index;
}

void TDataLink::SetBufferCount(int Value) {
  if (buffer_count_ == Value) return;
  buffer_count_ = Value;
  if (!active_) return;
  UpdateRange();
  DataSet()->UpdateBufferCount();
  UpdateRange();
}

int TDataLink::RecordCount() const {
  TDataSet* ds = DataSet();
  if (ds == nullptr) return 0;
  if (data_source_->State() == dsSetKey) return 1;
  return std::min(ds->record_count_, buffer_count_);
}

bool TDataLink::Bof() const { return DataSet() == nullptr || DataSet()->Bof(); }
bool TDataLink::Eof() const { return DataSet() == nullptr || DataSet()->Eof(); }

bool TDataLink::Edit() {
  if (!read_only_ && data_source_ != nullptr) data_source_->Edit();
  return editing_;
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  db_internal::TryFinally([&] { UpdateData(); }, [&] { updating_ = false; });
}

void TDataLink::DataEvent(TDataEvent Event, NativeInt Info) {
  if (Event == deUpdateState) {
    UpdateState();
    return;
  }
  if (!active_) return;
  switch (Event) {
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(reinterpret_cast<TField*>(Info));
      break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange: {
      int count = 0;
      if (data_source_->State() != dsSetKey) {
        // The dataset's window slid by Info buffers; the link follows the
        // same records and then keeps the active one in view.
        int first = first_record_ + static_cast<int>(Info);
        first_record_ = first;
        UpdateRange();
        count = first_record_ - first;
      }
      if (Event == deDataSetChange) DataSetChanged();
      else if (Event == deDataSetScroll) DataSetScrolled(count);
      else LayoutChanged();
      break;
    }
    case deUpdateRecord:
      UpdateRecord();
      break;
    case deCheckBrowseMode:
      CheckBrowseMode();
      break;
    case deFocusControl:
      FocusControl(reinterpret_cast<TFieldRef>(Info));
      break;
    default:
      break;
  }
}
