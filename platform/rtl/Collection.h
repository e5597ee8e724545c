// TCollection and TCollectionItem: an owned, ordered set of items of one
// class, as published by components (columns, buttons, sums).
//
//  - A collection is created with the factory of its items
//    (CollectionItemFactory<T>); Add and Insert make items through it. An item
//    constructed with a collection joins it; freeing an item removes it.
//  - Each item gets an ID, unique in its collection and never reused.
//  - Notify(item, cnAdded) runs when an item has joined, once the item is
//    complete (its constructors done): for items made by Add or created with
//    Create<T>(collection). An item made with plain `new` outside Add joins
//    and leaves unannounced. cnDeleting comes from Delete before the item is
//    freed, cnExtracting when an item leaves (freed or moved elsewhere).
//  - Update(item) is the change notification: Changed(false) of an item
//    passes the item, Changed(true), SetIndex, joins and leaves pass nullptr.
//    Inside BeginUpdate/EndUpdate nothing is passed on; the outermost
//    EndUpdate calls Update(nullptr) once.
//  - Items(index) out of range raises EListError "List index out of bounds
//    (<index>)".
//  - GetNamePath: "<owner path>.<PropName>" for a collection whose owner and
//    PropName are known, else its class name; an item's is
//    "<collection path>[<index>]".
//  - A collection deleted through `delete` frees its items with its own
//    Notify overrides still in place.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/System.h"

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollection;
class TCollectionItem;

// Makes a new item that has joined the collection ("class of item").
using TCollectionItemClass = TCollectionItem* (*)(TCollection* Collection);

template <class T>
TCollectionItem* CollectionItemFactory(TCollection* Collection) {
  return Create<T>(Collection);
}

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* Collection);
  ~TCollectionItem() override;
  void AfterConstruction() override;
  void BeforeDestruction() override;

  TCollection* Collection() const { return collection_; }
  // Leaves the current collection and joins Value (a new ID there).
  virtual void SetCollection(TCollection* Value);
  int ID() const { return id_; }
  // Position in the collection, -1 without one.
  int Index() const;
  // Moves the item to the position.
  virtual void SetIndex(int Value);
  String DisplayName() const { return GetDisplayName(); }
  // The base only reports the change.
  virtual void SetDisplayName(const String& Value);

  String GetNamePath() override;
  TPersistent* GetOwner() override;

 protected:
  // The base gives the class name.
  virtual String GetDisplayName() const;
  void Changed(bool AllItems);

 private:
  friend class TCollection;
  TCollection* collection_ = nullptr;
  int id_ = 0;
  bool complete_ = false;  // constructors done: notifications may see it
};

class TCollection : public TPersistent {
 public:
  explicit TCollection(TCollectionItemClass ItemClass);
  ~TCollection() override;
  void BeforeDestruction() override;

  TCollectionItem* Add();
  // A new item moved to Index (0..Count).
  TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  virtual void BeginUpdate();
  virtual void EndUpdate();
  TCollectionItem* FindItemID(int ID) const;
  // Clears, then adds one item per source item and assigns it.
  void Assign(TPersistent* Source) override;

  int Count() const { return items_.Count(); }
  TCollectionItem* Items(int Index) const { return static_cast<TCollectionItem*>(items_.Items(Index)); }
  // Assigns Value to the item at Index.
  void SetItems(int Index, TCollectionItem* Value);
  TCollectionItemClass ItemClass() const { return item_class_; }
  TPersistent* Owner() { return GetOwner(); }

  // Name of the owner's property that holds the collection (for
  // GetNamePath); set by the owner that publishes it.
  const String& PropName() const { return prop_name_; }
  void SetPropName(const String& Value) { prop_name_ = Value; }
  String GetNamePath() override;

 protected:
  virtual void Notify(TCollectionItem* /*Item*/, TCollectionNotification /*Action*/) {}
  virtual void Update(TCollectionItem* /*Item*/) {}
  void Changed();
  int UpdateCount() const { return update_count_; }

 private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void Announce(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item, bool Whole);

  TCollectionItemClass item_class_;
  TList items_;
  int next_id_ = 0;
  int update_count_ = 0;
  String prop_name_;
};

// A collection with an owner (GetOwner).
class TOwnedCollection : public TCollection {
 public:
  TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
      : TCollection(ItemClass), owner_(AOwner) {}
  TPersistent* GetOwner() override { return owner_; }

 private:
  TPersistent* owner_;
};
