#include "dataaccess/core/pFIBEventLists.h"

#include <algorithm>

TCallBackList::TCallBackList(TComponent* AOwner) : TComponent(AOwner) {}

TCallBackList::~TCallBackList() = default;

int TCallBackList::AddCallBack(const TMethod& Method) {
  std::lock_guard guard(lock_);
  for (int i = static_cast<int>(items_.size()) - 1; i >= 0; --i) {
    if (*items_[static_cast<size_t>(i)] == Method) return i;
  }
  items_.push_back(std::make_unique<TMethod>(Method));
  auto* component = dynamic_cast<TComponent*>(const_cast<TObject*>(Method.Object()));
  if (component != nullptr) FreeNotification(component);
  return static_cast<int>(items_.size()) - 1;
}

void TCallBackList::RemoveCallBack(const TMethod& Method) {
  std::lock_guard guard(lock_);
  std::erase_if(items_, [&](const auto& item) { return *item == Method; });
}

void TCallBackList::RemoveObjectCallBacks(const TObject* Object) {
  if (Object == nullptr) return;
  const void* data = dynamic_cast<const void*>(Object);
  std::lock_guard guard(lock_);
  std::erase_if(items_, [&](const auto& item) { return item->Data() == data; });
}

int TCallBackList::Count() const {
  std::lock_guard guard(lock_);
  return static_cast<int>(items_.size());
}

const TMethod* TCallBackList::GetItem(int Index) const {
  std::lock_guard guard(lock_);
  if (Index < 0 || Index >= static_cast<int>(items_.size())) return nullptr;
  return items_[static_cast<size_t>(Index)].get();
}

TMethod TCallBackList::GetCallBack(int Index) const {
  std::lock_guard guard(lock_);
  if (Index < 0 || Index >= static_cast<int>(items_.size())) return TMethod();
  return *items_[static_cast<size_t>(Index)];
}

void TCallBackList::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove) RemoveObjectCallBacks(AComponent);
  TComponent::Notification(AComponent, Operation);
}

// ---------------------------------------------------------------------------

void TBlobFilterList::AddFilter(Integer BlobSubType, TBlobFilterProc ReadFilter,
                                TBlobFilterProc WriteFilter) {
  int position = 0;
  if (Find(BlobSubType, position)) {
    items_[static_cast<size_t>(position)].ReadFilter = ReadFilter;
    items_[static_cast<size_t>(position)].WriteFilter = WriteFilter;
  } else {
    items_.push_back({BlobSubType, ReadFilter, WriteFilter});
  }
  sorted_ = false;
}

void TBlobFilterList::RemoveFilter(Integer BlobSubType) {
  int position = 0;
  if (!Find(BlobSubType, position)) return;
  items_.erase(items_.begin() + position);
  sorted_ = false;
}

bool TBlobFilterList::Find(Integer BlobSubType, int& Position) {
  if (!sorted_) {
    std::stable_sort(items_.begin(), items_.end(), [](const TFilterRec& a, const TFilterRec& b) {
      return a.SubType < b.SubType;
    });
    sorted_ = true;
  }
  auto it = std::lower_bound(items_.begin(), items_.end(), BlobSubType,
                             [](const TFilterRec& r, Integer key) { return r.SubType < key; });
  Position = static_cast<int>(it - items_.begin());
  return it != items_.end() && it->SubType == BlobSubType;
}

TBlobFilterProc TBlobFilterList::GetFilter(Integer BlobSubType, bool IsRead) {
  int position = 0;
  if (!Find(BlobSubType, position)) return nullptr;
  const TFilterRec& rec = items_[static_cast<size_t>(position)];
  return IsRead ? rec.ReadFilter : rec.WriteFilter;
}

void TBlobFilterList::ApplyFilter(void*& Buffer, Integer& Size, bool IsRead, Integer BlobSubType) {
  if (BlobSubType >= 0 || Size <= 0 || Buffer == nullptr) return;
  if (TBlobFilterProc filter = GetFilter(BlobSubType, IsRead)) filter(Buffer, Size);
}
