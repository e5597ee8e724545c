#include "platform/rtl/Component.h"

#include <algorithm>
#include <cctype>

#include "platform/rtl/SysUtils.h"

namespace {

bool SameAsciiText(const String& a, const String& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

bool IsValidIdent(const String& Ident) {
  if (Ident.empty()) return false;
  auto first = static_cast<unsigned char>(Ident[0]);
  if (!(std::isalpha(first) || first == '_')) return false;
  return std::all_of(Ident.begin() + 1, Ident.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || u == '_';
  });
}

// ---------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source) {
  if (Source == nullptr)
    throw EConvertError("Cannot assign a %s to a %s", {String("nil"), ClassName()});
  Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) {
  throw EConvertError("Cannot assign a %s to a %s", {ClassName(), Dest->ClassName()});
}

String TPersistent::GetNamePath() { return ClassName(); }

// ---------------------------------------------------------------------------
// TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Objects deleted through `delete` were torn down in BeforeDestruction.
  TearDown();
}

void TComponent::BeforeDestruction() {
  TPersistent::BeforeDestruction();
  TearDown();
}

void TComponent::TearDown() {
  if (torn_down_) return;
  torn_down_ = true;
  Destroying();
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    auto& back = other->free_notifies_;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError("List index out of bounds (%d)", {Index});
  return components_[static_cast<size_t>(Index)];
}

int TComponent::ComponentIndex() const {
  if (owner_ == nullptr) return -1;
  auto& list = owner_->components_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

TComponent* TComponent::FindComponent(const String& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_) {
    if (SameAsciiText(c->name_, AName)) return c;
  }
  return nullptr;
}

void TComponent::SetName(const String& NewName) {
  if (name_ == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError("'%s' is not a valid component name", {NewName});
  if (owner_ != nullptr) {
    owner_->ValidateRename(this, name_, NewName);
  } else {
    ValidateRename(nullptr, name_, NewName);
  }
  name_ = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName) {
  if (AComponent != nullptr && !SameAsciiText(CurName, NewName) && !NewName.empty()) {
    TComponent* found = FindComponent(NewName);
    if (found != nullptr && found != AComponent)
      throw EComponentError("A component named %s already exists", {NewName});
  }
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent->name_.empty()) ValidateRename(AComponent, String(), AComponent->name_);
  Insert(AComponent);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent) {
  components_.push_back(AComponent);
  AComponent->owner_ = this;
}

void TComponent::Remove(TComponent* AComponent) {
  components_.erase(std::remove(components_.begin(), components_.end(), AComponent), components_.end());
  AComponent->owner_ = nullptr;
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    RemoveComponent(c);
    delete c;
  }
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr) RemoveNotification(AComponent);
  // Iterate by index from the end: a handler may free components.
  for (size_t i = components_.size(); i-- > 0;) {
    if (i < components_.size()) components_[i]->Notification(AComponent, Operation);
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), AComponent) == free_notifies_.end())
    free_notifies_.push_back(AComponent);
  auto& other = AComponent->free_notifies_;
  if (std::find(other.begin(), other.end(), this) == other.end()) other.push_back(this);
  state_.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  free_notifies_.erase(std::remove(free_notifies_.begin(), free_notifies_.end(), AComponent),
                       free_notifies_.end());
}

String TComponent::GetNamePath() { return name_; }

void TComponent::SetLoading(bool Loading) {
  if (Loading) state_.Include(csLoading);
  else state_.Exclude(csLoading);
}

void TComponent::SetReading(bool Reading) {
  if (Reading) state_.Include(csReading);
  else state_.Exclude(csReading);
}

void TComponent::SetDesigning(bool Designing) {
  if (Designing) state_.Include(csDesigning);
  else state_.Exclude(csDesigning);
  for (TComponent* c : components_) c->SetDesigning(Designing);
}

void TComponent::Loaded() { state_.Exclude(csLoading); }
