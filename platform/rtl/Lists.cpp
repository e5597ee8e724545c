#include "platform/rtl/Lists.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char* const kIndexError = "List index out of bounds (%d)";
const char* const kCapacityError = "List capacity out of bounds (%d)";
const char* const kCountError = "List count out of bounds (%d)";

}  // namespace

// ---------------------------------------------------------------------------
// TList

TList::~TList() = default;

void TList::BeforeDestruction() {
  TObject::BeforeDestruction();
  Clear();
}

void TList::Error(const char* Msg, int Data) { throw EListError(Msg, {Data}); }

void TList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= count_) Error(kIndexError, Index);
}

void TList::Grow() {
  int delta = capacity_ > 64 ? capacity_ / 4 : capacity_ > 8 ? 16 : 4;
  int capacity = capacity_ + delta;
  if (capacity_ < MaxListSize && capacity > MaxListSize) capacity = MaxListSize;
  SetCapacity(capacity);
}

void TList::SetCapacity(int NewCapacity) {
  if (NewCapacity < count_ || NewCapacity > MaxListSize) Error(kCapacityError, NewCapacity);
  if (NewCapacity == capacity_) return;
  std::unique_ptr<void*[]> items;
  if (NewCapacity > 0) {
    items.reset(new void*[static_cast<size_t>(NewCapacity)]);
    if (count_ > 0) std::memcpy(items.get(), items_.get(), sizeof(void*) * static_cast<size_t>(count_));
  }
  items_ = std::move(items);
  capacity_ = NewCapacity;
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0 || NewCount > MaxListSize) Error(kCountError, NewCount);
  if (NewCount > capacity_) SetCapacity(NewCount);
  if (NewCount > count_) {
    std::fill(items_.get() + count_, items_.get() + NewCount, nullptr);
    count_ = NewCount;
  } else {
    while (count_ > NewCount) Delete(count_ - 1);
  }
}

int TList::Add(void* Item) {
  int result = count_;
  if (result == capacity_) Grow();
  items_[static_cast<size_t>(result)] = Item;
  ++count_;
  if (Item != nullptr) Notify(Item, lnAdded);
  return result;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > count_) Error(kIndexError, Index);
  if (count_ == capacity_) Grow();
  void** p = items_.get();
  std::memmove(p + Index + 1, p + Index, sizeof(void*) * static_cast<size_t>(count_ - Index));
  p[Index] = Item;
  ++count_;
  if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
  CheckIndex(Index);
  void** p = items_.get();
  void* item = p[Index];
  --count_;
  std::memmove(p + Index, p + Index + 1, sizeof(void*) * static_cast<size_t>(count_ - Index));
  if (item != nullptr) Notify(item, lnDeleted);
}

int TList::Remove(void* Item) {
  int index = IndexOf(Item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* Item) {
  int index = IndexOf(Item);
  if (index < 0) return nullptr;
  void** p = items_.get();
  --count_;
  std::memmove(p + index, p + index + 1, sizeof(void*) * static_cast<size_t>(count_ - index));
  if (Item != nullptr) Notify(Item, lnExtracted);
  return Item;
}

int TList::IndexOf(void* Item) const {
  for (int i = 0; i < count_; ++i) {
    if (items_[static_cast<size_t>(i)] == Item) return i;
  }
  return -1;
}

void* TList::Items(int Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)];
}

void TList::Put(int Index, void* Item) {
  CheckIndex(Index);
  void* old = items_[static_cast<size_t>(Index)];
  if (old == Item) return;
  items_[static_cast<size_t>(Index)] = Item;
  if (old != nullptr) Notify(old, lnDeleted);
  if (Item != nullptr) Notify(Item, lnAdded);
}

void TList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  void** p = items_.get();
  if (CurIndex < NewIndex) std::rotate(p + CurIndex, p + CurIndex + 1, p + NewIndex + 1);
  else std::rotate(p + NewIndex, p + CurIndex, p + CurIndex + 1);
}

void TList::Sort(TListSortCompare Compare) {
  if (count_ < 2) return;
  // A compare that throws leaves the list as it was.
  std::vector<void*> sorted(items_.get(), items_.get() + count_);
  std::stable_sort(sorted.begin(), sorted.end(), [Compare](void* a, void* b) { return Compare(a, b) < 0; });
  std::copy(sorted.begin(), sorted.end(), items_.get());
}

void TList::Pack() {
  if (count_ == 0) return;
  void** p = items_.get();
  count_ = static_cast<int>(std::remove(p, p + count_, nullptr) - p);
}

void TList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

void TList::Assign(TList* Source) {
  if (Source == this) return;
  Clear();
  SetCapacity(Source->count_);
  for (int i = 0; i < Source->count_; ++i) Add(Source->items_[static_cast<size_t>(i)]);
}

// ---------------------------------------------------------------------------
// TObjectList

TObjectList::~TObjectList() {
  // Deleted with `delete`, the list is empty already (TList::BeforeDestruction).
  Clear();
}

void TObjectList::Notify(void* Ptr, TListNotification Action) {
  if (owns_objects_ && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
  TList::Notify(Ptr, Action);
}
