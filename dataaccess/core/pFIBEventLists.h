// Callback registries of the database and transaction components, and the
// list of client-side BLOB filters by BLOB subtype.
//
//   db->AfterConnectEvents()->Add({this, &TMyForm::DatabaseConnected});
//   for (int i = 0; i < list->Count(); ++i) list->GetCallBack(i).As<void(TObject*)>()(db);
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/System.h"

// A bound method of any event signature. Two methods are equal when they are
// the same event: the same method (or callable) bound to the same object.
class TMethod {
 public:
  TMethod() = default;
  template <class Sig>
  TMethod(const Event<Sig>& E) {
    if (E.Assigned()) holder_ = std::make_shared<const Holder<Sig>>(E);
  }

  bool Assigned() const { return holder_ != nullptr; }
  // The bound object (its most-derived address), or nullptr.
  const void* Data() const { return holder_ ? holder_->Data() : nullptr; }
  // The bound object when it is a TObject, or nullptr.
  const TObject* Object() const { return holder_ ? holder_->Object() : nullptr; }
  // The method as an event of the given signature; empty for another one.
  template <class Sig>
  Event<Sig> As() const {
    auto* h = dynamic_cast<const Holder<Sig>*>(holder_.get());
    return h ? h->event : Event<Sig>();
  }

  friend bool operator==(const TMethod& a, const TMethod& b) {
    if (!a.holder_ || !b.holder_) return !a.holder_ && !b.holder_;
    return a.holder_->Equals(*b.holder_);
  }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
    virtual bool Equals(const HolderBase& other) const = 0;
    virtual const void* Data() const = 0;
    virtual const TObject* Object() const = 0;
  };
  template <class Sig>
  struct Holder final : HolderBase {
    explicit Holder(const Event<Sig>& e) : event(e) {}
    bool Equals(const HolderBase& other) const override {
      auto* h = dynamic_cast<const Holder*>(&other);
      return h != nullptr && h->event == event;
    }
    const void* Data() const override { return event.Data(); }
    const TObject* Object() const override { return event.Object(); }
    Event<Sig> event;
  };

  std::shared_ptr<const HolderBase> holder_;
};

// Registered callbacks, each once. Adding and removing lock the list, so
// handlers may be registered from several threads. A component whose method
// is added is asked to notify the list when it is freed; its callbacks are
// then removed.
class TCallBackList : public TComponent {
 public:
  explicit TCallBackList(TComponent* AOwner);
  ~TCallBackList() override;

  // Index of the callback, appended when it is not in the list yet.
  int AddCallBack(const TMethod& Method);
  // Removes every record equal to Method.
  void RemoveCallBack(const TMethod& Method);
  // Removes every record bound to Object.
  void RemoveObjectCallBacks(const TObject* Object);

  int Count() const;
  // The record at Index, nullptr outside the list. The record stays valid
  // until it is removed.
  const TMethod* GetItem(int Index) const;
  // The method at Index; an empty method outside the list.
  TMethod GetCallBack(int Index) const;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  mutable std::mutex lock_;
  std::vector<std::unique_ptr<TMethod>> items_;
};

class TNotifyEventList : public TCallBackList {
 public:
  using TCallBackList::TCallBackList;
  int Add(const TNotifyEvent& Event) { return AddCallBack(Event); }
  void Remove(const TNotifyEvent& Event) { RemoveCallBack(Event); }
};

// A BLOB filter: takes the data and its size and may replace both. The data
// is heap memory of malloc/realloc (as ReallocZeroed makes it); a filter that
// replaces it frees or reallocates the old block.
using TBlobFilterProc = void (*)(void*& Buffer, Integer& Size);

class TBlobFilterList : public TObject {
 public:
  // Registers the filters of a subtype, replacing earlier ones of it.
  void AddFilter(Integer BlobSubType, TBlobFilterProc ReadFilter, TBlobFilterProc WriteFilter);
  void RemoveFilter(Integer BlobSubType);

  // Found flag and the position of the subtype's record, or where it would go.
  bool Find(Integer BlobSubType, int& Position);
  // The read (IsRead) or write filter of the subtype; nullptr when none.
  TBlobFilterProc GetFilter(Integer BlobSubType, bool IsRead);
  // Applies the subtype's filter to non-empty data of a user-defined
  // (negative) subtype; otherwise does nothing.
  void ApplyFilter(void*& Buffer, Integer& Size, bool IsRead, Integer BlobSubType);

  int Count() const { return static_cast<int>(items_.size()); }

 private:
  struct TFilterRec {
    Integer SubType;
    TBlobFilterProc ReadFilter;
    TBlobFilterProc WriteFilter;
  };
  std::vector<TFilterRec> items_;
  bool sorted_ = false;
};
