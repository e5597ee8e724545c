#include "platform/rtl/Collection.h"

#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------
// TCollectionItem

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection != nullptr) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  // Freed without `delete` or after a failed constructor: leave quietly.
  if (collection_ != nullptr) collection_->RemoveItem(this, false);
}

void TCollectionItem::AfterConstruction() {
  TPersistent::AfterConstruction();
  if (complete_) return;
  complete_ = true;
  if (collection_ != nullptr) collection_->Announce(this);
}

void TCollectionItem::BeforeDestruction() {
  TPersistent::BeforeDestruction();
  if (collection_ != nullptr) collection_->RemoveItem(this, true);
}

void TCollectionItem::SetCollection(TCollection* Value) {
  if (collection_ == Value) return;
  if (collection_ != nullptr) collection_->RemoveItem(this, true);
  if (Value != nullptr) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
  return collection_ == nullptr ? -1 : collection_->items_.IndexOf(const_cast<TCollectionItem*>(this));
}

void TCollectionItem::SetIndex(int Value) {
  int cur = Index();
  if (cur >= 0 && cur != Value) {
    collection_->items_.Move(cur, Value);
    Changed(true);
  }
}

void TCollectionItem::SetDisplayName(const String& /*Value*/) { Changed(false); }

String TCollectionItem::GetDisplayName() const { return ClassName(); }

String TCollectionItem::GetNamePath() {
  if (collection_ == nullptr) return ClassName();
  return Format("%s[%d]", {collection_->GetNamePath(), Index()});
}

TPersistent* TCollectionItem::GetOwner() { return collection_; }

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ != nullptr && collection_->update_count_ == 0) collection_->Update(AllItems ? nullptr : this);
}

// ---------------------------------------------------------------------------
// TCollection

TCollection::TCollection(TCollectionItemClass ItemClass) : item_class_(ItemClass) {}

TCollection::~TCollection() {
  update_count_ = 1;
  Clear();
}

void TCollection::BeforeDestruction() {
  TPersistent::BeforeDestruction();
  update_count_ = 1;
  Clear();
}

void TCollection::InsertItem(TCollectionItem* Item) {
  items_.Add(Item);
  Item->collection_ = this;
  Item->id_ = next_id_++;
  if (Item->complete_) Announce(Item);
}

void TCollection::Announce(TCollectionItem* Item) {
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item, bool Whole) {
  if (Whole && Item->complete_) Notify(Item, cnExtracting);
  if (items_.Count() > 0 && items_.Last() == Item) items_.Delete(items_.Count() - 1);
  else items_.Remove(Item);
  Item->collection_ = nullptr;
  if (Item->complete_) Changed();
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = item_class_(this);
  // A factory that used plain `new`: the item is complete now.
  if (!item->complete_) {
    item->complete_ = true;
    if (item->collection_ != nullptr) item->collection_->Announce(item);
  }
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > Count()) throw EListError("List index out of bounds (%d)", {Index});
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (Count() == 0) return;
  BeginUpdate();
  try {
    while (Count() > 0) delete Items(Count() - 1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TCollection::BeginUpdate() { ++update_count_; }

void TCollection::EndUpdate() {
  if (update_count_ == 0) return;  // unbalanced: ignored
  if (--update_count_ == 0) Changed();
}

void TCollection::Changed() {
  if (update_count_ == 0) Update(nullptr);
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (int i = 0; i < Count(); ++i) {
    if (Items(i)->id_ == ID) return Items(i);
  }
  return nullptr;
}

void TCollection::SetItems(int Index, TCollectionItem* Value) { Items(Index)->Assign(Value); }

void TCollection::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TCollection*>(Source);
  if (src == nullptr) {
    TPersistent::Assign(Source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Items(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  if (owner == nullptr || prop_name_.empty()) return ClassName();
  String path = owner->GetNamePath();
  if (path.empty()) return ClassName();
  return path + "." + prop_name_;
}
