// TList: a growable list of untyped pointers; TObjectList: a list of objects
// that frees the objects it loses when it owns them; TObjectListOf<T>: the
// same with typed access.
//
//  - Notify(item, action) runs after a non-null item was added (lnAdded),
//    taken out by Extract (lnExtracted) or removed by Delete, Remove, Clear,
//    SetCount or Put (lnDeleted). Null items are never notified.
//  - Errors are EListError: "List index out of bounds (<index>)",
//    "List capacity out of bounds (<capacity>)", "List count out of bounds
//    (<count>)". First/Last of an empty list are index errors (0 and -1).
//  - Capacity grows by 4 while below 8 items, by 16 while below 64, then by
//    a quarter; SetCapacity sets it exactly (not below Count).
//  - Sort is stable; the compare function gives <0, 0 or >0.
//  - A list deleted through `delete` clears itself through the most derived
//    class (Notify overrides see every item); one destroyed otherwise (on the
//    stack, as a member) frees its buffer only, except TObjectList, which
//    always frees the objects it owns.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <memory>

enum TListNotification { lnAdded, lnExtracted, lnDeleted };

using TListSortCompare = int (*)(void* Item1, void* Item2);

// Largest count and capacity of a list.
constexpr int MaxListSize = 0x7FFFFFFF / 16;

class TList : public TObject {
 public:
  TList() = default;
  ~TList() override;
  TList(const TList&) = delete;
  TList& operator=(const TList&) = delete;
  void BeforeDestruction() override;

  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Deletes the first occurrence; its former index, or -1.
  int Remove(void* Item);
  // Takes the first occurrence out without deleting it (lnExtracted); the
  // item, or nullptr when absent.
  void* Extract(void* Item);
  int IndexOf(void* Item) const;
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  void Sort(TListSortCompare Compare);
  // Removes the null items.
  void Pack();
  // Count and capacity 0.
  virtual void Clear();
  // Replaces the items with those of Source.
  void Assign(TList* Source);

  void* Items(int Index) const;
  void Put(int Index, void* Item);
  void* First() const { return Items(0); }
  void* Last() const { return Items(count_ - 1); }
  int Count() const { return count_; }
  // Growing adds null items; shrinking deletes items from the end.
  void SetCount(int NewCount);
  int Capacity() const { return capacity_; }
  void SetCapacity(int NewCapacity);

 protected:
  virtual void Notify(void* /*Ptr*/, TListNotification /*Action*/) {}
  [[noreturn]] static void Error(const char* Msg, int Data);

 private:
  void Grow();
  void CheckIndex(int Index) const;

  std::unique_ptr<void*[]> items_;
  int count_ = 0;
  int capacity_ = 0;
};

// Items are TObject*. Use the TObject* operations below: they store the
// TObject part of the object, which is what the list deletes.
class TObjectList : public TList {
 public:
  explicit TObjectList(bool AOwnsObjects = true) : owns_objects_(AOwnsObjects) {}
  ~TObjectList() override;

  int Add(TObject* AObject) { return TList::Add(AObject); }
  void Insert(int Index, TObject* AObject) { TList::Insert(Index, AObject); }
  int Remove(TObject* AObject) { return TList::Remove(AObject); }
  TObject* Extract(TObject* AObject) { return static_cast<TObject*>(TList::Extract(AObject)); }
  int IndexOf(TObject* AObject) const { return TList::IndexOf(AObject); }
  TObject* Items(int Index) const { return static_cast<TObject*>(TList::Items(Index)); }
  void Put(int Index, TObject* AObject) { TList::Put(Index, AObject); }
  TObject* First() const { return Items(0); }
  TObject* Last() const { return Items(Count() - 1); }

  bool OwnsObjects() const { return owns_objects_; }
  void SetOwnsObjects(bool Value) { owns_objects_ = Value; }

 protected:
  void Notify(void* Ptr, TListNotification Action) override;

 private:
  bool owns_objects_;
};

// A TObjectList of T (a class derived from TObject).
template <class T>
class TObjectListOf : public TObjectList {
 public:
  using TObjectList::TObjectList;

  int Add(T* AObject) { return TObjectList::Add(AObject); }
  void Insert(int Index, T* AObject) { TObjectList::Insert(Index, AObject); }
  int Remove(T* AObject) { return TObjectList::Remove(AObject); }
  T* Extract(T* AObject) { return static_cast<T*>(TObjectList::Extract(AObject)); }
  int IndexOf(T* AObject) const { return TObjectList::IndexOf(AObject); }
  T* Items(int Index) const { return static_cast<T*>(TObjectList::Items(Index)); }
  void Put(int Index, T* AObject) { TObjectList::Put(Index, AObject); }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }
};
