// Events: bound callbacks that may be empty.
//
// An Event<R(Args...)> holds a callable and the object it is bound to (its
// Data). Two events compare equal when they call the same method of the same
// object, so callback lists can remove a handler, and everything bound to a
// freed component can be dropped by comparing Data() with that component.
//
//   ds->SetAfterOpen({form, &TForm1::DataSetAfterOpen});    // method of an object
//   btn->SetOnClick({this, [this](TObject*) { ... }});       // lambda bound to an object
//   btn->SetOnClick([](TObject*) { ... });                   // free callable
//
// Calling an empty event does nothing and returns R{} (callers that care test
// Assigned() first, as the design does).
#pragma once

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>
#include <typeinfo>

class TObject;

template <class Sig>
class Event;

template <class R, class... A>
class Event<R(A...)> {
 public:
  using Signature = R(A...);

  Event() = default;
  Event(std::nullptr_t) {}

  // A method of an object: equal to any other event built from the same pair.
  template <class T, class M>
    requires std::is_base_of_v<M, T>
  Event(T* obj, R (M::*method)(A...)) {
    static_assert(sizeof(method) <= sizeof(Key::code), "member pointer too large");
    fn_ = [obj, method](A... a) -> R { return (obj->*method)(std::forward<A>(a)...); };
    data_ = MostDerived(obj);
    object_ = AsObject(obj);
    std::memcpy(key_.code.data(), &method, sizeof(method));
    key_.type = &typeid(M);
  }

  // Any callable bound to an object: Data() is the object; copies of this
  // event compare equal to each other, and to nothing else.
  template <class T, class F>
    requires(std::is_invocable_r_v<R, F&, A...> && !std::is_member_function_pointer_v<F>)
  Event(T* obj, F f) : fn_(std::move(f)), data_(MostDerived(obj)), object_(AsObject(obj)) {
    key_.token = std::make_shared<char>();
  }

  // A free callable with no bound object.
  template <class F>
    requires(std::is_invocable_r_v<R, F&, A...> && !std::is_same_v<std::decay_t<F>, Event> &&
             !std::is_same_v<std::decay_t<F>, std::nullptr_t>)
  Event(F f) : fn_(std::move(f)) {
    key_.token = std::make_shared<char>();
  }

  bool Assigned() const { return static_cast<bool>(fn_); }
  explicit operator bool() const { return Assigned(); }

  // The bound object (its most-derived address), or nullptr.
  const void* Data() const { return data_; }
  bool IsBoundTo(const void* obj) const { return data_ != nullptr && data_ == obj; }
  // The bound object when it is a TObject (callback lists ask components to
  // notify them when freed), else nullptr.
  const TObject* Object() const { return object_; }

  R operator()(A... a) const {
    if (!fn_) {
      if constexpr (std::is_void_v<R>) return;
      else return R{};
    }
    return fn_(std::forward<A>(a)...);
  }

  friend bool operator==(const Event& x, const Event& y) {
    if (!x.fn_ || !y.fn_) return !x.fn_ && !y.fn_;
    if (x.data_ != y.data_) return false;
    if (x.key_.token || y.key_.token) return x.key_.token == y.key_.token;
    return x.key_.type == y.key_.type && x.key_.code == y.key_.code;
  }

 private:
  template <class T>
  static const void* MostDerived(T* obj) {
    if constexpr (std::is_polymorphic_v<T>) {
      return obj ? dynamic_cast<const void*>(obj) : nullptr;
    } else {
      return obj;
    }
  }

  template <class T>
  static const TObject* AsObject(T* obj) {
    if constexpr (std::is_base_of_v<TObject, T>) {
      return obj;
    } else {
      return nullptr;
    }
  }

  struct Key {
    std::array<unsigned char, 16> code{};
    const std::type_info* type = nullptr;
    std::shared_ptr<char> token;  // identity of callables that are not methods
  };

  std::function<R(A...)> fn_;
  const void* data_ = nullptr;
  const TObject* object_ = nullptr;
  Key key_;
};

using TNotifyEvent = Event<void(TObject* Sender)>;
