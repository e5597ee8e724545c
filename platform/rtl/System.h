// Base types of the run-time layer: the fixed-width integer names, text types,
// Currency, TDateTime, TGUID, TObject, sets over enumerations, character sets
// and the argument record of "array of const" routines (Format and friends).
//
// Conventions fixed here and used by every later unit:
//  - String/AnsiString are std::string holding UTF-8; WideString is std::u16string.
//  - Integer = int32_t, Cardinal = uint32_t, Word = uint16_t, Byte = uint8_t,
//    Int64 = int64_t, Currency = 64-bit count of ten-thousandths,
//    TDateTime = double days since 1899-12-30.
//  - TObject is the root of the class tree. Objects are created with `new` and
//    freed with `delete`; `delete` first calls the virtual BeforeDestruction()
//    on the whole object (the dynamic type is still intact, as in the original
//    design), then runs the destructors. Objects on the stack skip
//    BeforeDestruction, so components are always created with `new`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>
#include <span>
#include <string>
#include <typeinfo>
#include <utility>

using Integer = int32_t;
using LongInt = int32_t;
using Cardinal = uint32_t;
using LongWord = uint32_t;
using SmallInt = int16_t;
using ShortInt = int8_t;
using Word = uint16_t;
using Byte = uint8_t;
using Int64 = int64_t;
using UInt64 = uint64_t;
using NativeInt = intptr_t;
using NativeUInt = uintptr_t;

using String = std::string;      // UTF-8
using AnsiString = std::string;  // UTF-8 (the system code page on Linux)
using WideString = std::u16string;
using AnsiChar = char;
using WideChar = char16_t;

using TDateTime = double;  // days since 1899-12-30, fraction = time of day

// 64-bit fixed-point number of ten-thousandths.
struct Currency {
  int64_t Value = 0;  // raw scaled value: 1.0 is 10000

  constexpr Currency() = default;
  static constexpr Currency FromRaw(int64_t raw) {
    Currency c;
    c.Value = raw;
    return c;
  }
  static constexpr Currency FromInt(int64_t v) { return FromRaw(v * 10000); }
  // Rounds to the nearest ten-thousandth, ties to even (as the FPU does).
  static Currency FromDouble(double v);
  double ToDouble() const { return static_cast<double>(Value) / 10000.0; }

  friend constexpr bool operator==(Currency a, Currency b) { return a.Value == b.Value; }
  friend constexpr auto operator<=>(Currency a, Currency b) { return a.Value <=> b.Value; }
  friend constexpr Currency operator+(Currency a, Currency b) { return FromRaw(a.Value + b.Value); }
  friend constexpr Currency operator-(Currency a, Currency b) { return FromRaw(a.Value - b.Value); }
  friend constexpr Currency operator-(Currency a) { return FromRaw(-a.Value); }
  Currency& operator+=(Currency b) { Value += b.Value; return *this; }
  Currency& operator-=(Currency b) { Value -= b.Value; return *this; }
  // Products and quotients round like FromDouble.
  friend Currency operator*(Currency a, Currency b);
  friend Currency operator/(Currency a, Currency b);
};

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0;
  uint16_t D3 = 0;
  uint8_t D4[8] = {};
  friend bool operator==(const TGUID& a, const TGUID& b);
};

// ---------------------------------------------------------------------------
// TObject

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;

  // Name of the dynamic class, as spelt in the code ("TFIBDatabase").
  String ClassName() const;
  static String ClassNameOf(const std::type_info& type);

  // Called by Create<T>() once the complete object is constructed (forms read
  // their form resource and fire OnCreate here).
  virtual void AfterConstruction() {}
  // Called by `delete` on the complete object before any destructor runs.
  virtual void BeforeDestruction() {}

  // `delete obj`: BeforeDestruction on the whole object, then the destructors.
  // Defined inline so that the compiler pairs the memory release with `new`
  // (an out-of-line definition draws false -Wmismatched-new-delete warnings
  // where a deleting destructor is inlined).
  void operator delete(TObject* obj, std::destroying_delete_t) {
    void* memory = dynamic_cast<void*>(obj);
    obj->BeforeDestruction();
    obj->~TObject();
    ::operator delete(memory);
  }
};

// Creates an object and runs its AfterConstruction on the complete object, as
// the original design's constructors do; if that throws, the object is freed.
// Classes with post-construction work (forms, frames) are created this way.
template <class T, class... A>
T* Create(A&&... args) {
  T* obj = new T(std::forward<A>(args)...);
  try {
    obj->AfterConstruction();
  } catch (...) {
    delete obj;
    throw;
  }
  return obj;
}

// Deletes the object and clears the pointer (null-safe).
template <class T>
void FreeAndNil(T*& obj) {
  T* tmp = obj;
  obj = nullptr;
  delete tmp;
}

// ---------------------------------------------------------------------------
// Sets of enumeration values (ordinals 0..63).

template <class E>
class Set {
 public:
  constexpr Set() = default;
  constexpr Set(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  static constexpr Set FromBits(uint64_t bits) {
    Set s;
    s.bits_ = bits;
    return s;
  }
  constexpr uint64_t ToBits() const { return bits_; }

  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr Set& Include(E v) { bits_ |= Bit(v); return *this; }
  constexpr Set& Exclude(E v) { bits_ &= ~Bit(v); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr void Clear() { bits_ = 0; }
  // True when every member of `other` is in this set.
  constexpr bool ContainsAll(Set other) const { return (bits_ & other.bits_) == other.bits_; }

  friend constexpr Set operator+(Set a, Set b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr Set operator*(Set a, Set b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr Set operator-(Set a, Set b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr bool operator==(Set a, Set b) { return a.bits_ == b.bits_; }
  constexpr Set& operator+=(Set b) { bits_ |= b.bits_; return *this; }
  constexpr Set& operator-=(Set b) { bits_ &= ~b.bits_; return *this; }
  constexpr Set& operator*=(Set b) { bits_ &= b.bits_; return *this; }

 private:
  static constexpr uint64_t Bit(E v) { return uint64_t{1} << static_cast<unsigned>(v); }
  uint64_t bits_ = 0;
};

// A set of byte values ("set of AnsiChar").
class CharSet {
 public:
  constexpr CharSet() = default;
  constexpr CharSet(std::initializer_list<char> chars) {
    for (char c : chars) Include(c);
  }
  // Inclusive range of byte values.
  static constexpr CharSet Range(unsigned char first, unsigned char last) {
    CharSet s;
    for (unsigned c = first; c <= last; ++c) s.Include(static_cast<char>(c));
    return s;
  }
  constexpr bool Contains(char c) const {
    auto b = static_cast<unsigned char>(c);
    return (words_[b >> 6] >> (b & 63)) & 1;
  }
  constexpr CharSet& Include(char c) {
    auto b = static_cast<unsigned char>(c);
    words_[b >> 6] |= uint64_t{1} << (b & 63);
    return *this;
  }
  constexpr CharSet& Exclude(char c) {
    auto b = static_cast<unsigned char>(c);
    words_[b >> 6] &= ~(uint64_t{1} << (b & 63));
    return *this;
  }
  friend constexpr CharSet operator+(CharSet a, const CharSet& b) {
    for (int i = 0; i < 4; ++i) a.words_[i] |= b.words_[i];
    return a;
  }
  friend constexpr CharSet operator-(CharSet a, const CharSet& b) {
    for (int i = 0; i < 4; ++i) a.words_[i] &= ~b.words_[i];
    return a;
  }
  friend constexpr bool operator==(const CharSet&, const CharSet&) = default;

 private:
  uint64_t words_[4] = {};
};

// ---------------------------------------------------------------------------
// "array of const": a typed reference to each argument of Format-like routines.
// A TVarRec only refers to its argument; it lives for the call it is made for.

class Variant;

struct TVarRec {
  enum Kind : uint8_t {
    vtInteger,     // 32-bit signed (and narrower integers)
    vtBoolean,
    vtChar,        // one byte
    vtExtended,    // floating point
    vtPointer,
    vtPChar,       // zero-terminated byte string
    vtObject,
    vtWideChar,
    vtAnsiString,  // String
    vtCurrency,
    vtVariant,
    vtWideString,
    vtInt64,       // Int64, Cardinal and other unsigned 32-bit values
  };

  Kind VType;
  union {
    int32_t VInteger;
    bool VBoolean;
    char VChar;
    double VExtended;
    const void* VPointer;
    const char* VPChar;
    const TObject* VObject;
    char16_t VWideChar;
    const std::string* VAnsiString;
    const Currency* VCurrency;
    const Variant* VVariant;
    const std::u16string* VWideString;
    int64_t VInt64;
  };

  TVarRec(int v) : VType(vtInteger), VInteger(v) {}
  TVarRec(short v) : VType(vtInteger), VInteger(v) {}
  TVarRec(signed char v) : VType(vtInteger), VInteger(v) {}
  TVarRec(unsigned char v) : VType(vtInteger), VInteger(v) {}
  TVarRec(unsigned short v) : VType(vtInteger), VInteger(v) {}
  TVarRec(unsigned int v) : VType(vtInt64), VInt64(v) {}
  TVarRec(long v) : VType(vtInt64), VInt64(v) {}
  TVarRec(long long v) : VType(vtInt64), VInt64(v) {}
  TVarRec(unsigned long v) : VType(vtInt64), VInt64(static_cast<int64_t>(v)) {}
  TVarRec(unsigned long long v) : VType(vtInt64), VInt64(static_cast<int64_t>(v)) {}
  TVarRec(bool v) : VType(vtBoolean), VBoolean(v) {}
  TVarRec(char v) : VType(vtChar), VChar(v) {}
  TVarRec(char16_t v) : VType(vtWideChar), VWideChar(v) {}
  TVarRec(double v) : VType(vtExtended), VExtended(v) {}
  TVarRec(float v) : VType(vtExtended), VExtended(v) {}
  TVarRec(const char* v) : VType(vtPChar), VPChar(v) {}
  TVarRec(const std::string& v) : VType(vtAnsiString), VAnsiString(&v) {}
  TVarRec(const std::u16string& v) : VType(vtWideString), VWideString(&v) {}
  TVarRec(const Currency& v) : VType(vtCurrency), VCurrency(&v) {}
  TVarRec(const Variant& v) : VType(vtVariant), VVariant(&v) {}
  TVarRec(const TObject* v) : VType(vtObject), VObject(v) {}
  TVarRec(const void* v) : VType(vtPointer), VPointer(v) {}
  TVarRec(std::nullptr_t) : VType(vtPointer), VPointer(nullptr) {}
};

// The argument list of an "array of const" routine. Each such routine takes a
// TVarRecs and has an overload taking std::initializer_list<TVarRec>, so call
// sites write a braced list: Format("%s=%d", {Name, Value}).
using TVarRecs = std::span<const TVarRec>;
inline TVarRecs ToVarRecs(std::initializer_list<TVarRec> list) {
  return TVarRecs(list.begin(), list.size());
}
