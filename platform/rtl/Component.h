// TPersistent and TComponent: the object model of components.
//
// Ownership: a component created with an owner is freed by it. The owner
// frees its components in reverse order of creation, before its own
// destructor body runs (while the owner is still whole).
//
// Free notification: FreeNotification(other) makes each of the two components
// receive Notification(x, opRemove) when the other one is freed. An owner's
// Notification is passed on to all of its components, so components owned by
// one form learn of each other's removal. Notification always runs while the
// removed component is still complete (dynamic_cast on it works).
//
// Threads: a component is used by one thread at a time, and nothing here
// takes a lock. Free notification writes the lists of both partners (when
// either is freed, too), so both must belong to the same thread; a
// component shared by several threads must not take part in it and must
// keep its references to other threads' components under its own lock.
//
// Destruction order of `delete comp`:
//   1. BeforeDestruction: Destroying() (csDestroying, also on the owned
//      components), opRemove to every free-notification partner, owned
//      components freed (last first), removal from the owner (which notifies
//      the owner and, through it, its other components);
//   2. the destructors, most derived first.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"

#include <vector>

class TComponent;

class TPersistent : public TObject {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;

  // Copies Source into this object; the default asks Source->AssignTo(this)
  // and fails with EConvertError "Cannot assign a X to a Y".
  virtual void Assign(TPersistent* Source);
  // The object that publishes this one (for sub-objects and collection items).
  virtual TPersistent* GetOwner() { return nullptr; }
  // Dotted path used in messages: "Form1.Button1.Font".
  virtual String GetNamePath();

 protected:
  virtual void AssignTo(TPersistent* Dest);
};

enum TOperation { opInsert, opRemove };

enum TComponentStateItem {
  csLoading,
  csReading,
  csWriting,
  csDestroying,
  csDesigning,
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,
  csInline,
  csDesignInstance,
};
using TComponentState = Set<TComponentStateItem>;

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  void BeforeDestruction() override;

  TComponent* Owner() const { return owner_; }
  const String& Name() const { return name_; }
  // Validates the name (an identifier, unique among the owner's components).
  virtual void SetName(const String& NewName);
  NativeInt Tag() const { return tag_; }
  void SetTag(NativeInt Value) { tag_ = Value; }

  TComponentState ComponentState() const { return state_; }
  bool IsLoading() const { return state_.Contains(csLoading); }
  bool IsDestroying() const { return state_.Contains(csDestroying); }
  bool IsDesigning() const { return state_.Contains(csDesigning); }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const;
  // Position in the owner's list, -1 without owner.
  int ComponentIndex() const;
  // Case-insensitive search among the owned components; nullptr when absent.
  TComponent* FindComponent(const String& AName) const;

  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  void DestroyComponents();

  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  String GetNamePath() override;
  TPersistent* GetOwner() override { return owner_; }

  // Form streaming: set while a form resource is read into this component.
  void SetLoading(bool Loading);
  void SetReading(bool Reading);
  void SetDesigning(bool Designing);
  // Called after all properties of a streamed component tree are set.
  virtual void Loaded();
  // The component that holds this one in the form's tree (controls: Parent).
  virtual void SetParentComponent(TComponent* /*Value*/) {}
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual bool HasParent() const { return false; }

  // Sent for opInsert and opRemove of an owned component and for every free
  // notification; the default drops the free notification of a removed
  // component and passes the call on to all owned components.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

 protected:
  // Marks this component and its owned components as being destroyed.
  virtual void Destroying();
  virtual void ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName);
  void SetComponentState(TComponentState State) { state_ = State; }

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);
  void TearDown();

  TComponent* owner_ = nullptr;
  String name_;
  NativeInt tag_ = 0;
  TComponentState state_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool torn_down_ = false;
};

// True for a valid component name: a letter or "_" followed by letters,
// digits and "_" (ASCII).
bool IsValidIdent(const String& Ident);
