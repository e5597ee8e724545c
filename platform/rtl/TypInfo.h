// Run-time type information: the registry of classes and their published
// properties, methods and fields, used by form streaming and by code that sets
// properties by name.
//
// Classes are registered by each unit's initialization (UnitInit.h), never by
// global constructors:
//
//   RegisterClass<TButton, TButtonControl>("TButton")
//     .Prop("Caption", &TButton::Caption, &TButton::SetCaption)
//     .Prop("Default", &TButton::Default, &TButton::SetDefault, false)
//     .Prop("OnClick", &TControl::OnClick, &TControl::SetOnClick)
//     .Object("Font", &TControl::Font)          // sub-object: "Font.Name = ..."
//     .Method("FormCreate", &TForm1::FormCreate) // handler bound by name
//     .Field("tvProcess", &TForm1::tvProcess);   // component field bound by name
//
// The parent class must be registered first (units initialise after the units
// they use). A class is found by name (FindClass, ASCII case-insensitive) and
// by an object's dynamic type (GetClassInfo); an unregistered dynamic type
// resolves to its most derived registered base.
//
// The property kind follows from the getter's type:
//   integers up to 32 bits -> tkInteger; 64-bit integers -> tkInt64;
//   bool -> tkEnumeration (False, True); enumerations declared with
//   RTL_ENUM/RTL_ENUM_NAMES -> tkEnumeration; Set<E> of such -> tkSet;
//   integer-like enums with named constants (RTL_INT_CONSTS: colours, charsets)
//   -> tkInteger; float/double -> tkFloat; Currency -> tkFloat (ftCurr);
//   String -> tkLString; WideString -> tkWString; Variant -> tkVariant;
//   pointers to TObject
//   descendants -> tkClass (without setter: a sub-object whose properties are
//   set through dotted names; with a setter and a TComponent class: a
//   reference resolved by name); Event<...> -> tkMethod.
//
// Defaults and storage follow the class library: an ordinal or set property
// with a declared default is stored when it differs; one without default is
// always stored; strings, Int64 and floats are stored when not empty/zero;
// variants when not Unassigned, or, with a declared default, when they differ
// from it in type or value (Default(Null()): stored when not Null); events
// when assigned; objects when not null. Stored(...) adds a condition.
#pragma once

#include "platform/rtl/Component.h"
#include "platform/rtl/Events.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <typeindex>
#include <vector>

enum TTypeKind {
  tkUnknown,
  tkInteger,
  tkChar,
  tkEnumeration,
  tkFloat,
  tkSet,
  tkClass,
  tkMethod,
  tkLString,
  tkWString,
  tkVariant,
  tkInt64,
};

enum TFloatType { ftSingle, ftDouble, ftCurr };

// A named integer constant ("clBtnFace", "DEFAULT_CHARSET").
struct TIdentMapEntry {
  int64_t Value;
  const char* Name;
};

// Description of a property's type.
struct TTypeInfo {
  TTypeKind Kind = tkUnknown;
  String Name;
  std::vector<String> Names;               // tkEnumeration: names by ordinal
  const TTypeInfo* CompType = nullptr;     // tkSet: the element type
  TFloatType FloatType = ftDouble;         // tkFloat
  std::span<const TIdentMapEntry> Idents;  // tkInteger: named constants
};

// Name of an ordinal of an enumeration type; "" when out of range.
String GetEnumName(const TTypeInfo* TypeInfo, int Value);
// Ordinal of a name (ASCII case-insensitive); -1 when absent.
int GetEnumValue(const TTypeInfo* TypeInfo, const String& Name);
// Set <-> text "[a,b]" (Brackets) or "a,b"; unknown names raise EPropertyError.
String SetToString(const TTypeInfo* SetType, uint64_t Bits, bool Brackets = false);
uint64_t StringToSet(const TTypeInfo* SetType, const String& Value);
// Named integer constants: false when there is no such name/value.
bool IdentToInt(const TTypeInfo* TypeInfo, const String& Ident, int64_t& Value);
bool IntToIdent(const TTypeInfo* TypeInfo, int64_t Value, String& Ident);

// Builds the type information of an enumeration from the stringified list of
// its value names; each value must equal its position (checked).
TTypeInfo MakeEnumTypeInfo(const char* Name, const char* NameList, std::initializer_list<int> Values);
TTypeInfo MakeIntConstsTypeInfo(const char* Name, std::span<const TIdentMapEntry> Idents);

// Declares an unscoped enumeration with contiguous values from 0 and its names.
#define RTL_ENUM(E, ...)    \
  enum E { __VA_ARGS__ };   \
  RTL_ENUM_NAMES(E, __VA_ARGS__)

// Attaches names to an existing unscoped enumeration (values 0, 1, 2, ...).
#define RTL_ENUM_NAMES(E, ...)                                                            \
  inline const TTypeInfo* TypeInfoOf(E*) {                                                \
    static const TTypeInfo info = MakeEnumTypeInfo(#E, #__VA_ARGS__, {__VA_ARGS__});      \
    return &info;                                                                         \
  }

// An integer-like enumeration (enum E : int32_t {...}) streamed as an integer,
// with named constants written by name (IdentsFunc returns a span of entries).
#define RTL_INT_CONSTS(E, IdentsFunc)                                    \
  inline const TTypeInfo* TypeInfoOf(E*) {                              \
    static const TTypeInfo info = MakeIntConstsTypeInfo(#E, IdentsFunc()); \
    return &info;                                                       \
  }

const TTypeInfo* BooleanTypeInfo();

namespace typinfo_detail {

template <class T>
struct IsSet : std::false_type {};
template <class E>
struct IsSet<Set<E>> : std::true_type {
  using Element = E;
};
template <class T>
struct IsEvent : std::false_type {};
template <class Sig>
struct IsEvent<Event<Sig>> : std::true_type {};

template <class T>
concept HasTypeInfo = requires(T* p) {
  { TypeInfoOf(p) } -> std::convertible_to<const TTypeInfo*>;
};

const TTypeInfo* IntegerType(const char* name);
const TTypeInfo* Int64Type();
const TTypeInfo* FloatType(TFloatType ft);
const TTypeInfo* StringType();
const TTypeInfo* WideStringType();
const TTypeInfo* ClassType();
const TTypeInfo* MethodType();
const TTypeInfo* VariantType();
// True when A and B have the same type and value (no conversions; arrays
// compare element by element).
bool SameVariant(const Variant& A, const Variant& B);
const TTypeInfo* SetTypeOf(const TTypeInfo* element);

template <class V>
const TTypeInfo* TypeInfoOfValue() {
  if constexpr (std::is_same_v<V, bool>) {
    return BooleanTypeInfo();
  } else if constexpr (HasTypeInfo<V>) {
    return TypeInfoOf(static_cast<V*>(nullptr));
  } else if constexpr (IsSet<V>::value) {
    using E = typename IsSet<V>::Element;
    static_assert(HasTypeInfo<E>, "set element needs RTL_ENUM_NAMES");
    return SetTypeOf(TypeInfoOf(static_cast<E*>(nullptr)));
  } else if constexpr (std::is_integral_v<V> && sizeof(V) <= 4) {
    return IntegerType("Integer");
  } else if constexpr (std::is_integral_v<V>) {
    return Int64Type();
  } else if constexpr (std::is_same_v<V, float>) {
    return FloatType(ftSingle);
  } else if constexpr (std::is_same_v<V, double>) {
    return FloatType(ftDouble);
  } else if constexpr (std::is_same_v<V, Currency>) {
    return FloatType(ftCurr);
  } else if constexpr (std::is_same_v<V, String>) {
    return StringType();
  } else if constexpr (std::is_same_v<V, WideString>) {
    return WideStringType();
  } else if constexpr (std::is_same_v<V, Variant>) {
    return VariantType();
  } else if constexpr (std::is_pointer_v<V> && std::is_base_of_v<TObject, std::remove_pointer_t<V>>) {
    return ClassType();
  } else if constexpr (IsEvent<V>::value) {
    return MethodType();
  } else {
    static_assert(sizeof(V) == 0, "unsupported published property type");
  }
}

}  // namespace typinfo_detail

class TClassInfo;
class TReader;
class TWriter;

// A published method: a handler bound by name to an event of the same signature.
class TMethodInfo {
 public:
  String Name;
  std::type_index Signature = typeid(void);
  // Returns an Event<Sig> bound to Instance (an object of the registering class).
  std::function<std::any(TObject* Instance)> Bind;
};

// A published component field of a form, set by name after reading.
class TFieldInfo {
 public:
  String Name;
  // Stores Component in Root's field; false when its class does not fit.
  std::function<bool(TObject* Root, TComponent* Component)> Set;
  std::function<TComponent*(TObject* Root)> Get;
};

// A property streamed by the class itself ("Lines.Strings", grid "Columns").
class TDefinedProperty {
 public:
  String Name;
  std::function<void(TObject*, TReader&)> Read;
  std::function<void(TObject*, TWriter&)> Write;
  std::function<bool(TObject*)> HasData;  // written only when true
};

// One published property. The typed accessors raise EPropertyError when the
// property's kind does not offer them.
class TPropInfo {
 public:
  virtual ~TPropInfo() = default;

  const String& Name() const { return name_; }
  const TTypeInfo* PropType() const { return type_; }
  TTypeKind Kind() const { return type_->Kind; }
  // False for sub-object properties (no setter).
  virtual bool Writable() const = 0;
  // Stored-condition and default: true when the writer must write the value.
  virtual bool IsStored(TObject* Instance) const = 0;
  virtual bool IsDefault(TObject* Instance) const = 0;

  // tkInteger, tkChar, tkEnumeration, tkSet (bits), tkInt64.
  virtual int64_t GetOrd(TObject* Instance) const;
  virtual void SetOrd(TObject* Instance, int64_t Value) const;
  // tkFloat (Currency converts through double).
  virtual double GetFloat(TObject* Instance) const;
  virtual void SetFloat(TObject* Instance, double Value) const;
  virtual Currency GetCurrency(TObject* Instance) const;
  virtual void SetCurrency(TObject* Instance, Currency Value) const;
  // tkLString, tkWString (WideString converts through UTF-8).
  virtual String GetStr(TObject* Instance) const;
  virtual void SetStr(TObject* Instance, const String& Value) const;
  // tkVariant.
  virtual Variant GetVariant(TObject* Instance) const;
  virtual void SetVariant(TObject* Instance, const Variant& Value) const;
  // tkClass.
  virtual TObject* GetObj(TObject* Instance) const;
  virtual void SetObj(TObject* Instance, TObject* Value) const;
  // True when Value may be stored in this property (nullptr always may).
  virtual bool AcceptsObject(TObject* Value) const;
  // tkMethod: binds a published method of Target; a method of another
  // signature raises EPropertyError.
  virtual void SetMethod(TObject* Instance, const TMethodInfo& Method, TObject* Target) const;
  virtual void ClearMethod(TObject* Instance) const;
  virtual bool MethodAssigned(TObject* Instance) const;
  // True when the event calls Method of Target.
  virtual bool MethodIs(TObject* Instance, const TMethodInfo& Method, TObject* Target) const;

 protected:
  TPropInfo(String name, const TTypeInfo* type) : name_(std::move(name)), type_(type) {}
  [[noreturn]] void WrongKind() const;

 private:
  String name_;
  const TTypeInfo* type_;
};

// Operations of a collection class (detected at registration: Add(), Clear(),
// Count(), Items(i), BeginUpdate(), EndUpdate()).
struct TCollectionOps {
  std::function<void(TObject*)> Clear;
  std::function<TPersistent*(TObject*)> Add;
  std::function<int(TObject*)> Count;
  std::function<TPersistent*(TObject*, int)> Item;
  std::function<void(TObject*)> BeginUpdate;
  std::function<void(TObject*)> EndUpdate;
};

class TClassInfo {
 public:
  TClassInfo(String name, const TClassInfo* parent, std::type_index type);

  const String& ClassName() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  std::type_index Type() const { return type_; }
  bool InheritsFrom(const TClassInfo* Other) const;
  // dynamic_cast test of an object against this class.
  bool IsInstance(const TObject* Obj) const { return is_instance_(Obj); }

  // Creates a component of this class with an owner (EClassNotFound-free:
  // abstract or non-component classes raise EInvalidOperation).
  bool CanCreate() const { return static_cast<bool>(factory_); }
  TComponent* CreateInstance(TComponent* Owner) const;

  // Lookups include the ancestors; names compare ASCII case-insensitively.
  const TPropInfo* FindProp(const String& Name) const;
  // Ancestors' properties first, each class in registration order.
  std::vector<const TPropInfo*> Props() const;
  const TMethodInfo* FindMethod(const String& Name) const;
  std::vector<const TMethodInfo*> Methods() const;
  std::vector<const TFieldInfo*> Fields() const;
  const TDefinedProperty* FindDefined(const String& Name) const;
  // Ancestors' first; a descendant's property replaces one of the same name.
  std::vector<const TDefinedProperty*> DefinedProps() const;
  // The collection operations of this class or an ancestor; nullptr if none.
  const TCollectionOps* Collection() const;

  // Registration internals (used by TClassBuilder).
  void SetFactory(std::function<TComponent*(TComponent*)> f) { factory_ = std::move(f); }
  void SetIsInstance(bool (*f)(const TObject*)) { is_instance_ = f; }
  void SetCollectionOps(TCollectionOps ops) { collection_ = std::make_unique<TCollectionOps>(std::move(ops)); }
  TPropInfo* AddProp(std::unique_ptr<TPropInfo> prop);
  void AddMethod(TMethodInfo m);
  void AddField(TFieldInfo f);
  void AddDefined(TDefinedProperty d);

 private:
  String name_;
  const TClassInfo* parent_;
  std::type_index type_;
  bool (*is_instance_)(const TObject*) = nullptr;
  std::function<TComponent*(TComponent*)> factory_;
  std::vector<std::unique_ptr<TPropInfo>> props_;
  std::vector<TMethodInfo> methods_;
  std::vector<TFieldInfo> fields_;
  std::vector<TDefinedProperty> defined_;
  std::unique_ptr<TCollectionOps> collection_;
};

// Registry lookups.
const TClassInfo* FindClassInfo(const String& ClassName);         // nullptr when absent
const TClassInfo* FindClass(const String& ClassName);             // EClassNotFound "Class %s not found"
const TClassInfo* GetClassInfo(std::type_index Type);             // exact type; nullptr when absent
const TClassInfo* GetClassInfo(const TObject* Obj);               // most derived registered class
template <class T>
const TClassInfo* ClassInfoOf() { return GetClassInfo(std::type_index(typeid(T))); }
// Removes a class registered under this name (tests, unit finalization).
void UnregisterClass(const String& ClassName);

// Property access by name. A missing property raises EPropertyError
// "Property %s does not exist".
const TPropInfo* GetPropInfo(const TObject* Obj, const String& PropName);  // nullptr when absent
const TPropInfo* GetPropInfo(const TClassInfo* Info, const String& PropName);
bool IsPublishedProp(const TObject* Obj, const String& PropName);
std::vector<const TPropInfo*> GetPropList(const TObject* Obj);
int64_t GetOrdProp(TObject* Obj, const String& PropName);
void SetOrdProp(TObject* Obj, const String& PropName, int64_t Value);
String GetEnumProp(TObject* Obj, const String& PropName);
void SetEnumProp(TObject* Obj, const String& PropName, const String& Value);
String GetSetProp(TObject* Obj, const String& PropName, bool Brackets = false);
void SetSetProp(TObject* Obj, const String& PropName, const String& Value);
String GetStrProp(TObject* Obj, const String& PropName);
void SetStrProp(TObject* Obj, const String& PropName, const String& Value);
double GetFloatProp(TObject* Obj, const String& PropName);
void SetFloatProp(TObject* Obj, const String& PropName, double Value);
Variant GetVariantProp(TObject* Obj, const String& PropName);
void SetVariantProp(TObject* Obj, const String& PropName, const Variant& Value);
TObject* GetObjectProp(TObject* Obj, const String& PropName);
void SetObjectProp(TObject* Obj, const String& PropName, TObject* Value);

template <class E>
  requires typinfo_detail::HasTypeInfo<E>
String GetEnumName(E Value) {
  return GetEnumName(TypeInfoOf(static_cast<E*>(nullptr)), static_cast<int>(Value));
}
template <class E>
  requires typinfo_detail::HasTypeInfo<E>
int GetEnumValue(const String& Name) {
  return GetEnumValue(TypeInfoOf(static_cast<E*>(nullptr)), Name);
}

// ---------------------------------------------------------------------------
// Registration

namespace typinfo_detail {

// Creates and registers the class information (the parent, when given, must
// be registered).
TClassInfo* NewClassInfo(const char* name, const std::type_info& type, const std::type_info* parent);

template <class C, class V, class G, class S>
class TPropImpl final : public TPropInfo {
 public:
  TPropImpl(const char* name, G getter, S setter)
      : TPropInfo(name, TypeInfoOfValue<V>()), get_(getter), set_(setter) {}

  std::optional<V> default_;
  std::function<bool(TObject*)> stored_;

  bool Writable() const override {
    if constexpr (std::is_same_v<S, std::nullptr_t>) return false;
    else return true;
  }

  bool IsStored(TObject* obj) const override { return !stored_ || stored_(obj); }

  bool IsDefault(TObject* obj) const override {
    V v = Get(obj);
    if constexpr (IsEvent<V>::value) {
      return !v.Assigned();
    } else if constexpr (std::is_pointer_v<V>) {
      return v == nullptr;
    } else if constexpr (std::is_same_v<V, Variant>) {
      return default_ ? SameVariant(v, *default_) : VarIsEmpty(v);
    } else if constexpr (std::is_same_v<V, String> || std::is_same_v<V, WideString>) {
      return default_ ? v == *default_ : v.empty();
    } else if constexpr (std::is_floating_point_v<V> || std::is_same_v<V, Currency> ||
                         (std::is_integral_v<V> && sizeof(V) > 4 && !std::is_same_v<V, bool>)) {
      return default_ ? v == *default_ : v == V{};
    } else {
      return default_ && v == *default_;
    }
  }

  int64_t GetOrd(TObject* obj) const override {
    if constexpr (IsSet<V>::value) return static_cast<int64_t>(Get(obj).ToBits());
    else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>) return static_cast<int64_t>(Get(obj));
    else WrongKind();
  }
  void SetOrd(TObject* obj, int64_t value) const override {
    if constexpr (IsSet<V>::value) Put(obj, V::FromBits(static_cast<uint64_t>(value)));
    else if constexpr (std::is_integral_v<V> || std::is_enum_v<V>) Put(obj, static_cast<V>(value));
    else WrongKind();
  }
  double GetFloat(TObject* obj) const override {
    if constexpr (std::is_floating_point_v<V>) return static_cast<double>(Get(obj));
    else if constexpr (std::is_same_v<V, Currency>) return Get(obj).ToDouble();
    else WrongKind();
  }
  void SetFloat(TObject* obj, double value) const override {
    if constexpr (std::is_floating_point_v<V>) Put(obj, static_cast<V>(value));
    else if constexpr (std::is_same_v<V, Currency>) Put(obj, Currency::FromDouble(value));
    else WrongKind();
  }
  Currency GetCurrency(TObject* obj) const override {
    if constexpr (std::is_same_v<V, Currency>) return Get(obj);
    else return Currency::FromDouble(GetFloat(obj));
  }
  void SetCurrency(TObject* obj, Currency value) const override {
    if constexpr (std::is_same_v<V, Currency>) Put(obj, value);
    else SetFloat(obj, value.ToDouble());
  }
  String GetStr(TObject* obj) const override;
  void SetStr(TObject* obj, const String& value) const override;
  Variant GetVariant(TObject* obj) const override {
    if constexpr (std::is_same_v<V, Variant>) return Get(obj);
    else WrongKind();
  }
  void SetVariant(TObject* obj, const Variant& value) const override {
    if constexpr (std::is_same_v<V, Variant>) Put(obj, value);
    else WrongKind();
  }
  TObject* GetObj(TObject* obj) const override {
    if constexpr (std::is_pointer_v<V>) return Get(obj);
    else WrongKind();
  }
  void SetObj(TObject* obj, TObject* value) const override {
    if constexpr (std::is_pointer_v<V>) {
      if (!AcceptsObject(value)) throw EPropertyError("Invalid property value");
      Put(obj, static_cast<V>(value ? dynamic_cast<V>(value) : nullptr));
    } else {
      WrongKind();
    }
  }
  bool AcceptsObject(TObject* value) const override {
    if constexpr (std::is_pointer_v<V>) return value == nullptr || dynamic_cast<V>(value) != nullptr;
    else return false;
  }
  void SetMethod(TObject* obj, const TMethodInfo& m, TObject* target) const override {
    if constexpr (IsEvent<V>::value) {
      if (m.Signature != std::type_index(typeid(typename V::Signature)))
        throw EPropertyError("Method %s has an incompatible parameter list", {m.Name});
      Put(obj, std::any_cast<V>(m.Bind(target)));
    } else {
      WrongKind();
    }
  }
  void ClearMethod(TObject* obj) const override {
    if constexpr (IsEvent<V>::value) Put(obj, V());
    else WrongKind();
  }
  bool MethodAssigned(TObject* obj) const override {
    if constexpr (IsEvent<V>::value) return Get(obj).Assigned();
    else WrongKind();
  }
  bool MethodIs(TObject* obj, const TMethodInfo& m, TObject* target) const override {
    if constexpr (IsEvent<V>::value) {
      if (m.Signature != std::type_index(typeid(typename V::Signature))) return false;
      return Get(obj) == std::any_cast<V>(m.Bind(target));
    } else {
      WrongKind();
    }
  }

 private:
  V Get(TObject* obj) const { return std::invoke(get_, Self(obj)); }
  void Put(TObject* obj, V value) const {
    if constexpr (std::is_same_v<S, std::nullptr_t>) {
      (void)obj;
      (void)value;
      throw EPropertyError("Property %s is read-only", {Name()});
    } else {
      std::invoke(set_, Self(obj), std::move(value));
    }
  }
  static C* Self(TObject* obj) {
    C* self = dynamic_cast<C*>(obj);
    if (self == nullptr) throw EInvalidCast("Invalid class typecast");
    return self;
  }

  G get_;
  S set_;
};

String WideToUtf8Text(const WideString& s);
WideString Utf8ToWideText(const String& s);

template <class C, class V, class G, class S>
String TPropImpl<C, V, G, S>::GetStr(TObject* obj) const {
  if constexpr (std::is_same_v<V, String>) return Get(obj);
  else if constexpr (std::is_same_v<V, WideString>) return WideToUtf8Text(Get(obj));
  else WrongKind();
}

template <class C, class V, class G, class S>
void TPropImpl<C, V, G, S>::SetStr(TObject* obj, const String& value) const {
  if constexpr (std::is_same_v<V, String>) Put(obj, value);
  else if constexpr (std::is_same_v<V, WideString>) Put(obj, Utf8ToWideText(value));
  else WrongKind();
}

template <class T>
concept CollectionLike = requires(T* t, int i) {
  { t->Add() } -> std::convertible_to<TPersistent*>;
  t->Clear();
  { t->Count() } -> std::convertible_to<int>;
  { t->Items(i) } -> std::convertible_to<TPersistent*>;
  t->BeginUpdate();
  t->EndUpdate();
};

}  // namespace typinfo_detail

template <class C>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo* info) : info_(info) {}

  const TClassInfo* Info() const { return info_; }

  // A property with getter and setter (setter may be nullptr: read-only).
  template <class G, class S>
  TClassBuilder& Prop(const char* name, G getter, S setter) {
    using V = std::remove_cvref_t<std::invoke_result_t<G, C*>>;
    auto prop = std::make_unique<typinfo_detail::TPropImpl<C, V, G, S>>(name, getter, setter);
    last_default_ = [p = prop.get()](const std::any& d) { p->default_ = std::any_cast<V>(d); };
    last_stored_ = [p = prop.get()](std::function<bool(TObject*)> f) { p->stored_ = std::move(f); };
    info_->AddProp(std::move(prop));
    return *this;
  }
  // The same with a declared default value.
  template <class G, class S, class D>
  TClassBuilder& Prop(const char* name, G getter, S setter, D def) {
    using V = std::remove_cvref_t<std::invoke_result_t<G, C*>>;
    Prop(name, getter, setter);
    return Default(static_cast<V>(def));
  }
  // A sub-object published through its getter only ("Font", "Lines").
  template <class G>
  TClassBuilder& Object(const char* name, G getter) {
    return Prop(name, getter, nullptr);
  }
  // An event property (same as Prop; the getter's type must be an Event).
  template <class G, class S>
  TClassBuilder& Event(const char* name, G getter, S setter) {
    using V = std::remove_cvref_t<std::invoke_result_t<G, C*>>;
    static_assert(typinfo_detail::IsEvent<V>::value, "Event() needs an Event<...> property");
    return Prop(name, getter, setter);
  }
  // Default value of the last property added.
  template <class V>
  TClassBuilder& Default(V value) {
    last_default_(std::any(value));
    return *this;
  }
  // Stored-condition of the last property added: a const member returning bool,
  // or a plain bool (false: never stored).
  TClassBuilder& Stored(bool (C::*pred)() const) {
    last_stored_([pred](TObject* obj) { return (dynamic_cast<C*>(obj)->*pred)(); });
    return *this;
  }
  TClassBuilder& Stored(bool value) {
    last_stored_([value](TObject*) { return value; });
    return *this;
  }
  // A published method (event handler) bound by name from form data.
  template <class M, class R, class... A>
  TClassBuilder& Method(const char* name, R (M::*method)(A...)) {
    static_assert(std::is_base_of_v<M, C>, "method of another class");
    TMethodInfo m;
    m.Name = name;
    m.Signature = std::type_index(typeid(R(A...)));
    m.Bind = [method](TObject* target) -> std::any {
      C* self = dynamic_cast<C*>(target);
      if (self == nullptr) throw EInvalidCast("Invalid class typecast");
      return std::any(::Event<R(A...)>(self, method));
    };
    info_->AddMethod(std::move(m));
    return *this;
  }
  // A published component field, set by name once the form is read.
  template <class F>
  TClassBuilder& Field(const char* name, F* C::*field) {
    static_assert(std::is_base_of_v<TComponent, F>, "fields hold components");
    TFieldInfo f;
    f.Name = name;
    f.Set = [field](TObject* root, TComponent* comp) {
      F* typed = comp == nullptr ? nullptr : dynamic_cast<F*>(comp);
      if (comp != nullptr && typed == nullptr) return false;
      dynamic_cast<C*>(root)->*field = typed;
      return true;
    };
    f.Get = [field](TObject* root) -> TComponent* { return dynamic_cast<C*>(root)->*field; };
    info_->AddField(std::move(f));
    return *this;
  }
  // A property streamed by the class ("Strings" of a string list). Write and
  // HasData may be nullptr for a property that is only read (older data).
  template <class RD, class WR, class HD>
  TClassBuilder& Defined(const char* name, RD read, WR write, HD hasData) {
    TDefinedProperty d;
    d.Name = name;
    d.Read = [read](TObject* obj, TReader& r) { std::invoke(read, dynamic_cast<C*>(obj), r); };
    if constexpr (!std::is_same_v<WR, std::nullptr_t> && !std::is_same_v<HD, std::nullptr_t>) {
      d.Write = [write](TObject* obj, TWriter& w) { std::invoke(write, dynamic_cast<C*>(obj), w); };
      d.HasData = [hasData](TObject* obj) -> bool { return std::invoke(hasData, dynamic_cast<C*>(obj)); };
    } else {
      d.HasData = [](TObject*) { return false; };
    }
    info_->AddDefined(std::move(d));
    return *this;
  }

 private:
  TClassInfo* info_;
  std::function<void(const std::any&)> last_default_ = [](const std::any&) {
    throw EPropertyError("No property to take a default");
  };
  std::function<void(std::function<bool(TObject*)>)> last_stored_ = [](std::function<bool(TObject*)>) {
    throw EPropertyError("No property to take a stored-condition");
  };
};

// Registers class T (with ancestor Parent, already registered, or void for a
// root class) under Name, replacing an earlier registration of that name.
// Components constructible from an owner get a factory.
template <class T, class Parent = void>
TClassBuilder<T> RegisterClass(const char* Name) {
  static_assert(std::is_base_of_v<TObject, T>);
  const std::type_info* parent = nullptr;
  if constexpr (!std::is_void_v<Parent>) {
    static_assert(std::is_base_of_v<Parent, T>, "Parent must be a base of T");
    parent = &typeid(Parent);
  }
  TClassInfo* info = typinfo_detail::NewClassInfo(Name, typeid(T), parent);
  info->SetIsInstance([](const TObject* obj) { return dynamic_cast<const T*>(obj) != nullptr; });
  if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                std::is_constructible_v<T, TComponent*>) {
    info->SetFactory([](TComponent* owner) -> TComponent* { return Create<T>(owner); });
  }
  if constexpr (typinfo_detail::CollectionLike<T>) {
    TCollectionOps ops;
    ops.Clear = [](TObject* o) { dynamic_cast<T*>(o)->Clear(); };
    ops.Add = [](TObject* o) -> TPersistent* { return dynamic_cast<T*>(o)->Add(); };
    ops.Count = [](TObject* o) { return static_cast<int>(dynamic_cast<T*>(o)->Count()); };
    ops.Item = [](TObject* o, int i) -> TPersistent* { return dynamic_cast<T*>(o)->Items(i); };
    ops.BeginUpdate = [](TObject* o) { dynamic_cast<T*>(o)->BeginUpdate(); };
    ops.EndUpdate = [](TObject* o) { dynamic_cast<T*>(o)->EndUpdate(); };
    info->SetCollectionOps(std::move(ops));
  }
  return TClassBuilder<T>(info);
}

// Unit of the registry: registers TPersistent and TComponent ("Tag").
class TUnit;
extern const TUnit unit_TypInfo;
