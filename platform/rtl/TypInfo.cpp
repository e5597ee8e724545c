#include "platform/rtl/TypInfo.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <unordered_map>

#include "platform/rtl/Collection.h"
#include "platform/rtl/FormStream.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/UnitInit.h"

namespace {

String UpperAscii(const String& s) {
  String r = s;
  for (char& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

bool SameAscii(const String& a, const String& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

String TrimBlanks(const String& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

struct Registry {
  std::recursive_mutex lock;
  std::map<String, TClassInfo*> byName;  // upper-case name
  std::unordered_map<std::type_index, TClassInfo*> byType;
  // Every registration ever made stays alive until finalization, so a class
  // info replaced by a new registration never leaves a dangling parent.
  std::vector<std::unique_ptr<TClassInfo>> all;
  // Dynamic types resolved to their most derived registered base.
  std::unordered_map<std::type_index, const TClassInfo*> resolved;
};

Registry& Reg() {
  static Registry reg;
  return reg;
}

const TPropInfo* NeedProp(const TObject* obj, const String& name) {
  const TPropInfo* p = GetPropInfo(obj, name);
  if (p == nullptr) throw EPropertyError("Property %s does not exist", {name});
  return p;
}

}  // namespace

// ---------------------------------------------------------------------------
// Type information

TTypeInfo MakeEnumTypeInfo(const char* Name, const char* NameList, std::initializer_list<int> Values) {
  TTypeInfo info;
  info.Kind = tkEnumeration;
  info.Name = Name;
  String list = NameList;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == String::npos) comma = list.size();
    String item = TrimBlanks(list.substr(start, comma - start));
    // "name = value" is not allowed: values must be 0, 1, 2, ...
    if (!item.empty()) info.Names.push_back(item);
    start = comma + 1;
  }
  int expected = 0;
  for (int v : Values) {
    if (v != expected) throw EPropertyError("Enumeration %s is not contiguous from 0", {String(Name)});
    ++expected;
  }
  if (static_cast<size_t>(expected) != info.Names.size())
    throw EPropertyError("Enumeration %s has malformed names", {String(Name)});
  return info;
}

TTypeInfo MakeIntConstsTypeInfo(const char* Name, std::span<const TIdentMapEntry> Idents) {
  TTypeInfo info;
  info.Kind = tkInteger;
  info.Name = Name;
  info.Idents = Idents;
  return info;
}

const TTypeInfo* BooleanTypeInfo() {
  static const TTypeInfo info = [] {
    TTypeInfo t;
    t.Kind = tkEnumeration;
    t.Name = "Boolean";
    t.Names = {"False", "True"};
    return t;
  }();
  return &info;
}

String GetEnumName(const TTypeInfo* TypeInfo, int Value) {
  if (TypeInfo == nullptr || Value < 0 || static_cast<size_t>(Value) >= TypeInfo->Names.size()) return String();
  return TypeInfo->Names[static_cast<size_t>(Value)];
}

int GetEnumValue(const TTypeInfo* TypeInfo, const String& Name) {
  if (TypeInfo == nullptr) return -1;
  for (size_t i = 0; i < TypeInfo->Names.size(); ++i) {
    if (SameAscii(TypeInfo->Names[i], Name)) return static_cast<int>(i);
  }
  return -1;
}

String SetToString(const TTypeInfo* SetType, uint64_t Bits, bool Brackets) {
  String r;
  const TTypeInfo* elem = SetType->CompType;
  for (size_t i = 0; i < elem->Names.size() && i < 64; ++i) {
    if (Bits & (uint64_t{1} << i)) {
      if (!r.empty()) r += ',';
      r += elem->Names[i];
    }
  }
  return Brackets ? "[" + r + "]" : r;
}

uint64_t StringToSet(const TTypeInfo* SetType, const String& Value) {
  String s = TrimBlanks(Value);
  if (!s.empty() && s.front() == '[') {
    if (s.back() != ']') throw EPropertyError("Invalid property value");
    s = s.substr(1, s.size() - 2);
  }
  uint64_t bits = 0;
  size_t start = 0;
  while (start <= s.size()) {
    size_t comma = s.find(',', start);
    if (comma == String::npos) comma = s.size();
    String name = TrimBlanks(s.substr(start, comma - start));
    if (!name.empty()) {
      int v = GetEnumValue(SetType->CompType, name);
      if (v < 0) throw EPropertyError("Invalid property element: %s", {name});
      bits |= uint64_t{1} << v;
    }
    start = comma + 1;
  }
  return bits;
}

bool IdentToInt(const TTypeInfo* TypeInfo, const String& Ident, int64_t& Value) {
  if (TypeInfo == nullptr) return false;
  for (const TIdentMapEntry& e : TypeInfo->Idents) {
    if (SameAscii(Ident, e.Name)) {
      Value = e.Value;
      return true;
    }
  }
  return false;
}

bool IntToIdent(const TTypeInfo* TypeInfo, int64_t Value, String& Ident) {
  if (TypeInfo == nullptr) return false;
  for (const TIdentMapEntry& e : TypeInfo->Idents) {
    if (e.Value == Value) {
      Ident = e.Name;
      return true;
    }
  }
  return false;
}

namespace typinfo_detail {

namespace {
TTypeInfo Simple(TTypeKind kind, const char* name) {
  TTypeInfo t;
  t.Kind = kind;
  t.Name = name;
  return t;
}
}  // namespace

const TTypeInfo* IntegerType(const char*) {
  static const TTypeInfo t = Simple(tkInteger, "Integer");
  return &t;
}
const TTypeInfo* Int64Type() {
  static const TTypeInfo t = Simple(tkInt64, "Int64");
  return &t;
}
const TTypeInfo* FloatType(TFloatType ft) {
  static const TTypeInfo single = [] { TTypeInfo t = Simple(tkFloat, "Single"); t.FloatType = ftSingle; return t; }();
  static const TTypeInfo dbl = [] { TTypeInfo t = Simple(tkFloat, "Double"); t.FloatType = ftDouble; return t; }();
  static const TTypeInfo curr = [] { TTypeInfo t = Simple(tkFloat, "Currency"); t.FloatType = ftCurr; return t; }();
  switch (ft) {
    case ftSingle: return &single;
    case ftCurr: return &curr;
    default: return &dbl;
  }
}
const TTypeInfo* StringType() {
  static const TTypeInfo t = Simple(tkLString, "String");
  return &t;
}
const TTypeInfo* WideStringType() {
  static const TTypeInfo t = Simple(tkWString, "WideString");
  return &t;
}
const TTypeInfo* ClassType() {
  static const TTypeInfo t = Simple(tkClass, "TObject");
  return &t;
}
const TTypeInfo* MethodType() {
  static const TTypeInfo t = Simple(tkMethod, "TMethod");
  return &t;
}
const TTypeInfo* VariantType() {
  static const TTypeInfo t = Simple(tkVariant, "Variant");
  return &t;
}

bool SameVariant(const Variant& A, const Variant& B) {
  if (A.VarType() != B.VarType()) return false;
  if (VarIsArray(A)) {
    int dims = VarArrayDimCount(A);
    if (dims != VarArrayDimCount(B)) return false;
    for (int d = 1; d <= dims; ++d) {
      if (VarArrayLowBound(A, d) != VarArrayLowBound(B, d) || VarArrayHighBound(A, d) != VarArrayHighBound(B, d))
        return false;
    }
    if (dims != 1) return false;  // only one-dimensional arrays are compared element by element
    for (int i = VarArrayLowBound(A, 1); i <= VarArrayHighBound(A, 1); ++i) {
      if (!SameVariant(VarArrayGet(A, i), VarArrayGet(B, i))) return false;
    }
    return true;
  }
  if (VarIsEmpty(A) || VarIsNull(A)) return true;
  return A == B;
}

const TTypeInfo* SetTypeOf(const TTypeInfo* element) {
  static std::mutex lock;
  static std::map<const TTypeInfo*, std::unique_ptr<TTypeInfo>> sets;
  std::lock_guard guard(lock);
  auto& slot = sets[element];
  if (!slot) {
    slot = std::make_unique<TTypeInfo>(Simple(tkSet, "Set"));
    slot->Name = "set of " + element->Name;
    slot->CompType = element;
  }
  return slot.get();
}

String WideToUtf8Text(const WideString& s) { return WideToUtf8(s); }
WideString Utf8ToWideText(const String& s) { return Utf8ToWide(s); }

TClassInfo* NewClassInfo(const char* name, const std::type_info& type, const std::type_info* parent) {
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  const TClassInfo* parentInfo = nullptr;
  if (parent != nullptr) {
    auto it = reg.byType.find(std::type_index(*parent));
    if (it == reg.byType.end())
      throw EClassNotFound("Class %s not found", {TObject::ClassNameOf(*parent)});
    parentInfo = it->second;
  }
  auto info = std::make_unique<TClassInfo>(name, parentInfo, std::type_index(type));
  TClassInfo* raw = info.get();
  reg.all.push_back(std::move(info));
  reg.byName[UpperAscii(name)] = raw;
  reg.byType[std::type_index(type)] = raw;
  reg.resolved.clear();
  return raw;
}

}  // namespace typinfo_detail

// ---------------------------------------------------------------------------
// TPropInfo

void TPropInfo::WrongKind() const {
  throw EPropertyError("Invalid property type for %s", {name_});
}
int64_t TPropInfo::GetOrd(TObject*) const { WrongKind(); }
void TPropInfo::SetOrd(TObject*, int64_t) const { WrongKind(); }
double TPropInfo::GetFloat(TObject*) const { WrongKind(); }
void TPropInfo::SetFloat(TObject*, double) const { WrongKind(); }
Currency TPropInfo::GetCurrency(TObject*) const { WrongKind(); }
void TPropInfo::SetCurrency(TObject*, Currency) const { WrongKind(); }
String TPropInfo::GetStr(TObject*) const { WrongKind(); }
void TPropInfo::SetStr(TObject*, const String&) const { WrongKind(); }
Variant TPropInfo::GetVariant(TObject*) const { WrongKind(); }
void TPropInfo::SetVariant(TObject*, const Variant&) const { WrongKind(); }
TObject* TPropInfo::GetObj(TObject*) const { WrongKind(); }
void TPropInfo::SetObj(TObject*, TObject*) const { WrongKind(); }
bool TPropInfo::AcceptsObject(TObject*) const { return false; }
void TPropInfo::SetMethod(TObject*, const TMethodInfo&, TObject*) const { WrongKind(); }
void TPropInfo::ClearMethod(TObject*) const { WrongKind(); }
bool TPropInfo::MethodAssigned(TObject*) const { WrongKind(); }
bool TPropInfo::MethodIs(TObject*, const TMethodInfo&, TObject*) const { WrongKind(); }

// ---------------------------------------------------------------------------
// TClassInfo

TClassInfo::TClassInfo(String name, const TClassInfo* parent, std::type_index type)
    : name_(std::move(name)), parent_(parent), type_(type) {}

bool TClassInfo::InheritsFrom(const TClassInfo* Other) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    if (c == Other) return true;
  }
  return false;
}

TComponent* TClassInfo::CreateInstance(TComponent* Owner) const {
  if (!factory_) throw EInvalidOperation("Cannot create an instance of %s", {name_});
  return factory_(Owner);
}

const TPropInfo* TClassInfo::FindProp(const String& Name) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    for (const auto& p : c->props_) {
      if (SameAscii(p->Name(), Name)) return p.get();
    }
  }
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::Props() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) chain.push_back(c);
  std::vector<const TPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const auto& p : (*it)->props_) {
      // A redeclared property (same name in a descendant) replaces the ancestor's.
      auto same = std::find_if(result.begin(), result.end(),
                               [&](const TPropInfo* q) { return SameAscii(q->Name(), p->Name()); });
      if (same != result.end()) *same = p.get();
      else result.push_back(p.get());
    }
  }
  return result;
}

const TMethodInfo* TClassInfo::FindMethod(const String& Name) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    for (const auto& m : c->methods_) {
      if (SameAscii(m.Name, Name)) return &m;
    }
  }
  return nullptr;
}

std::vector<const TMethodInfo*> TClassInfo::Methods() const {
  std::vector<const TMethodInfo*> result;
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    for (const auto& m : c->methods_) result.push_back(&m);
  }
  return result;
}

std::vector<const TFieldInfo*> TClassInfo::Fields() const {
  std::vector<const TFieldInfo*> result;
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    for (const auto& f : c->fields_) result.push_back(&f);
  }
  return result;
}

const TDefinedProperty* TClassInfo::FindDefined(const String& Name) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    for (const auto& d : c->defined_) {
      if (SameAscii(d.Name, Name)) return &d;
    }
  }
  return nullptr;
}

std::vector<const TDefinedProperty*> TClassInfo::DefinedProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) chain.push_back(c);
  std::vector<const TDefinedProperty*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const auto& d : (*it)->defined_) {
      // A descendant's property of the same name replaces the ancestor's.
      auto same = std::find_if(result.begin(), result.end(),
                               [&](const TDefinedProperty* q) { return SameAscii(q->Name, d.Name); });
      if (same != result.end()) *same = &d;
      else result.push_back(&d);
    }
  }
  return result;
}

const TCollectionOps* TClassInfo::Collection() const {
  for (const TClassInfo* c = this; c != nullptr; c = c->parent_) {
    if (c->collection_) return c->collection_.get();
  }
  return nullptr;
}

TPropInfo* TClassInfo::AddProp(std::unique_ptr<TPropInfo> prop) {
  props_.push_back(std::move(prop));
  return props_.back().get();
}
void TClassInfo::AddMethod(TMethodInfo m) { methods_.push_back(std::move(m)); }
void TClassInfo::AddField(TFieldInfo f) { fields_.push_back(std::move(f)); }
void TClassInfo::AddDefined(TDefinedProperty d) { defined_.push_back(std::move(d)); }

// ---------------------------------------------------------------------------
// Registry lookups

const TClassInfo* FindClassInfo(const String& ClassName) {
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  auto it = reg.byName.find(UpperAscii(ClassName));
  return it == reg.byName.end() ? nullptr : it->second;
}

const TClassInfo* FindClass(const String& ClassName) {
  const TClassInfo* info = FindClassInfo(ClassName);
  if (info == nullptr) throw EClassNotFound("Class %s not found", {ClassName});
  return info;
}

const TClassInfo* GetClassInfo(std::type_index Type) {
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  auto it = reg.byType.find(Type);
  return it == reg.byType.end() ? nullptr : it->second;
}

const TClassInfo* GetClassInfo(const TObject* Obj) {
  if (Obj == nullptr) return nullptr;
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  std::type_index type(typeid(*Obj));
  auto exact = reg.byType.find(type);
  if (exact != reg.byType.end()) return exact->second;
  auto cached = reg.resolved.find(type);
  if (cached != reg.resolved.end()) return cached->second;
  // The most derived registered class the object is an instance of.
  const TClassInfo* best = nullptr;
  for (const auto& [t, info] : reg.byType) {
    if (info->IsInstance(Obj) && (best == nullptr || info->InheritsFrom(best))) best = info;
  }
  reg.resolved[type] = best;
  return best;
}

void UnregisterClass(const String& ClassName) {
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  auto it = reg.byName.find(UpperAscii(ClassName));
  if (it == reg.byName.end()) return;
  auto t = reg.byType.find(it->second->Type());
  if (t != reg.byType.end() && t->second == it->second) reg.byType.erase(t);
  reg.byName.erase(it);
  reg.resolved.clear();
}

const TPropInfo* GetPropInfo(const TClassInfo* Info, const String& PropName) {
  return Info == nullptr ? nullptr : Info->FindProp(PropName);
}

const TPropInfo* GetPropInfo(const TObject* Obj, const String& PropName) {
  return GetPropInfo(GetClassInfo(Obj), PropName);
}

bool IsPublishedProp(const TObject* Obj, const String& PropName) { return GetPropInfo(Obj, PropName) != nullptr; }

std::vector<const TPropInfo*> GetPropList(const TObject* Obj) {
  const TClassInfo* info = GetClassInfo(Obj);
  return info == nullptr ? std::vector<const TPropInfo*>{} : info->Props();
}

int64_t GetOrdProp(TObject* Obj, const String& PropName) { return NeedProp(Obj, PropName)->GetOrd(Obj); }
void SetOrdProp(TObject* Obj, const String& PropName, int64_t Value) { NeedProp(Obj, PropName)->SetOrd(Obj, Value); }

String GetEnumProp(TObject* Obj, const String& PropName) {
  const TPropInfo* p = NeedProp(Obj, PropName);
  return GetEnumName(p->PropType(), static_cast<int>(p->GetOrd(Obj)));
}

void SetEnumProp(TObject* Obj, const String& PropName, const String& Value) {
  const TPropInfo* p = NeedProp(Obj, PropName);
  int v = GetEnumValue(p->PropType(), Value);
  if (v < 0) throw EPropertyError("Invalid property value");
  p->SetOrd(Obj, v);
}

String GetSetProp(TObject* Obj, const String& PropName, bool Brackets) {
  const TPropInfo* p = NeedProp(Obj, PropName);
  if (p->Kind() != tkSet) throw EPropertyError("Invalid property type for %s", {PropName});
  return SetToString(p->PropType(), static_cast<uint64_t>(p->GetOrd(Obj)), Brackets);
}

void SetSetProp(TObject* Obj, const String& PropName, const String& Value) {
  const TPropInfo* p = NeedProp(Obj, PropName);
  if (p->Kind() != tkSet) throw EPropertyError("Invalid property type for %s", {PropName});
  p->SetOrd(Obj, static_cast<int64_t>(StringToSet(p->PropType(), Value)));
}

String GetStrProp(TObject* Obj, const String& PropName) { return NeedProp(Obj, PropName)->GetStr(Obj); }
void SetStrProp(TObject* Obj, const String& PropName, const String& Value) {
  NeedProp(Obj, PropName)->SetStr(Obj, Value);
}
double GetFloatProp(TObject* Obj, const String& PropName) { return NeedProp(Obj, PropName)->GetFloat(Obj); }
void SetFloatProp(TObject* Obj, const String& PropName, double Value) {
  NeedProp(Obj, PropName)->SetFloat(Obj, Value);
}
Variant GetVariantProp(TObject* Obj, const String& PropName) { return NeedProp(Obj, PropName)->GetVariant(Obj); }
void SetVariantProp(TObject* Obj, const String& PropName, const Variant& Value) {
  NeedProp(Obj, PropName)->SetVariant(Obj, Value);
}
TObject* GetObjectProp(TObject* Obj, const String& PropName) { return NeedProp(Obj, PropName)->GetObj(Obj); }
void SetObjectProp(TObject* Obj, const String& PropName, TObject* Value) {
  NeedProp(Obj, PropName)->SetObj(Obj, Value);
}

// ---------------------------------------------------------------------------
// Unit

namespace {

void InitTypInfo() {
  RegisterClass<TPersistent>("TPersistent");
  RegisterClass<TComponent, TPersistent>("TComponent")
      .Prop("Tag", &TComponent::Tag, &TComponent::SetTag, NativeInt{0});
  // String lists stream their lines as the list property "Strings".
  RegisterClass<TStrings, TPersistent>("TStrings")
      .Defined(
          "Strings",
          [](TStrings* s, TReader& r) {
            s->BeginUpdate();
            try {
              s->Clear();
              r.ReadListBegin();
              while (!r.EndOfList()) s->Add(r.ReadString());
              r.ReadListEnd();
            } catch (...) {
              s->EndUpdate();
              throw;
            }
            s->EndUpdate();
          },
          [](TStrings* s, TWriter& w) {
            w.WriteListBegin();
            for (int i = 0; i < s->Count(); ++i) w.WriteString(s->Strings(i));
            w.WriteListEnd();
          },
          [](TStrings* s) { return s->Count() > 0; });
  RegisterClass<TStringList, TStrings>("TStringList");
  RegisterClass<TCollectionItem, TPersistent>("TCollectionItem");
  RegisterClass<TCollection, TPersistent>("TCollection");
}

void FinalTypInfo() {
  Registry& reg = Reg();
  std::lock_guard guard(reg.lock);
  reg.byName.clear();
  reg.byType.clear();
  reg.resolved.clear();
  reg.all.clear();
}

}  // namespace

constinit const TUnit unit_TypInfo("TypInfo", InitTypInfo, FinalTypInfo);
