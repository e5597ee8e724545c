// Interfaces between components: abstract classes found with Supports<T>.
//
// An interface is an abstract class of pure virtual operations with its
// design identifier kept beside it as `static constexpr TGUID IID`, and a
// protected non-virtual destructor (nobody deletes through an interface):
//
//   class IPopupOwner {
//    public:
//     static constexpr TGUID IID{0x01234567, ...};
//     virtual void CloseUp(bool Accept) = 0;
//    protected:
//     ~IPopupOwner() = default;
//   };
//
// A component implements it by deriving from it beside its class base
// (`class TMyEdit : public TCustomEdit, public IPopupOwner`). Asking for an
// interface is a cross-cast of the object's dynamic type, so it needs no
// registration and no reference counting.
// Where an interface is reference-counted by design, it carries its own
// AddRef/Release (one intrusive count); Supports never touches the count.
//
// See INTERFACES.md beside this header.
#pragma once

#include <concepts>
#include <type_traits>

#include "platform/rtl/System.h"

namespace rtl_detail {
template <class T>
concept HasInterfaceID = requires {
  { T::IID } -> std::convertible_to<const TGUID&>;
};
}  // namespace rtl_detail

// The interface T of Instance, or nullptr when it has none (or is nullptr).
// Instance may be a TObject or another interface of the same object.
template <class T, class S>
T* Supports(S* Instance) {
  static_assert(std::is_polymorphic_v<T> && std::is_polymorphic_v<S>, "interfaces are polymorphic classes");
  if (Instance == nullptr) return nullptr;
  return dynamic_cast<T*>(Instance);
}

// The form of the design: true when Instance has T, and Intf set to it
// (nullptr otherwise).
template <class T, class S>
bool Supports(S* Instance, T*& Intf) {
  Intf = Supports<T>(Instance);
  return Intf != nullptr;
}

// The design identifier of an interface.
template <rtl_detail::HasInterfaceID T>
constexpr const TGUID& InterfaceID() {
  return T::IID;
}
