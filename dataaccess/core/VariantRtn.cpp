#include "dataaccess/core/VariantRtn.h"

#include <array>
#include <cmath>

#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr long double FloatTolerance = 1e-11L;

template <class T>
int Sign3(const T& a, const T& b) {
  if (a == b) return 0;
  return a > b ? 1 : -1;  // unordered (NaN) falls to -1
}

// Stored values, read through the variant's data pointer.
int64_t RawInt(const Variant& v) { return *static_cast<const int64_t*>(v.DataPtr()); }
double RawDouble(const Variant& v) {
  return v.VarType() == varSingle ? *static_cast<const float*>(v.DataPtr())
                                  : *static_cast<const double*>(v.DataPtr());
}
const String& RawStr(const Variant& v) { return *static_cast<const String*>(v.DataPtr()); }
const WideString& RawWide(const Variant& v) { return *static_cast<const WideString*>(v.DataPtr()); }

// The integer type codes (2, 3, 16 to 20).
bool IsInteger(const Variant& v) { return VarIsOrdinal(v) && v.VarType() != varBoolean; }

// The left value of a typed comparison. Long double keeps Int64 and the
// products with 10000 exact enough (64-bit mantissa on x86-64).
struct TLeft {
  enum TKind { kInt, kFloat, kCurrency } Kind;
  int64_t Int;   // kInt: value; kCurrency: raw ten-thousandths
  double Float;  // kFloat
  bool IsInt64;

  explicit TLeft(const Variant& v) : Kind(kInt), Int(0), Float(0), IsInt64(v.VarType() == varInt64) {
    TVarType t = v.VarType();
    if (IsInteger(v)) Int = RawInt(v);
    else if (t == varCurrency) Kind = kCurrency, Int = RawInt(v);
    else Kind = kFloat, Float = RawDouble(v);
  }

  long double Value() const {
    switch (Kind) {
      case kInt: return static_cast<long double>(Int);
      case kCurrency: return static_cast<long double>(Int) / 10000.0L;
      default: return Float;
    }
  }

  int AgainstInt(int64_t r) const {
    switch (Kind) {
      case kInt: return Sign3(Int, r);
      case kCurrency: return Sign3<__int128>(Int, static_cast<__int128>(r) * 10000);
      default: return Sign3<long double>(Float, static_cast<long double>(r));
    }
  }

  int AgainstCurrency(int64_t raw) const {
    switch (Kind) {
      case kInt: return Sign3<__int128>(static_cast<__int128>(Int) * 10000, raw);
      case kCurrency: return Sign3(Int, raw);
      default: return Sign3<long double>(static_cast<long double>(Float) * 10000.0L, raw);
    }
  }

  // Exact comparison with a double.
  int AgainstDouble(double d) const {
    if (Kind == kCurrency) return Sign3<long double>(Int, static_cast<long double>(d) * 10000.0L);
    return Sign3<long double>(Value(), d);
  }

  // Equal within the tolerance.
  int AgainstFloat(double d) const {
    long double l = Value();
    if (std::fabs(l - static_cast<long double>(d)) < FloatTolerance) return 0;
    return l > d ? 1 : -1;
  }
};

int CompareNumberWithVar(const Variant& v1, const Variant& v2) {
  TLeft l(v1);
  TVarType t = v2.VarType();
  if (IsInteger(v2)) return l.AgainstInt(RawInt(v2));
  switch (t) {
    case varSingle: case varDouble: return l.AgainstFloat(RawDouble(v2));
    case varCurrency: return l.AgainstCurrency(RawInt(v2));
    case varDate: return l.AgainstDouble(RawDouble(v2));
    case varString: case varOleStr: {
      String text = t == varString ? RawStr(v2) : WideToUtf8(RawWide(v2));
      if (l.IsInt64) return l.AgainstInt(StrToInt64(text));
      return l.AgainstDouble(StrToFloat(text));
    }
    default: return 0;
  }
}

template <class S>
int Ordinal(const S& a, const S& b) {
  int c = a.compare(b);
  return c == 0 ? 0 : (c > 0 ? 1 : -1);
}

}  // namespace

const void* VarDataPtr(const Variant& V) {
  switch (V.VarType()) {
    case varString: return RawStr(V).c_str();
    case varOleStr: return RawWide(V).c_str();
    default: return V.DataPtr();  // nullptr for Empty, Null and arrays
  }
}

int CompareVariants(const Variant& V1, const Variant& V2) {
  // Exact decimals on either side: the platform's exact comparison.
  if (VarIsFMTBcd(V1) || VarIsFMTBcd(V2)) {
    if (!(V1 != V2)) return 0;
    return V1 > V2 ? 1 : -1;
  }
  if (IsInteger(V1)) return CompareNumberWithVar(V1, V2);
  switch (V1.VarType()) {
    case varSingle: case varDouble: case varCurrency: case varDate:
      return CompareNumberWithVar(V1, V2);
    case varOleStr: return CompareWideStrWithVar(RawWide(V1), V2);
    case varString: return CompareStrWithVar(RawStr(V1), V2);
    default:
      if (!(V1 != V2)) return 0;
      return V1 > V2 ? 1 : -1;
  }
}

int CompareStrWithVar(const String& S, const Variant& V) {
  switch (V.VarType()) {
    case varOleStr: return Ordinal(Utf8ToWide(S), RawWide(V));
    case varString: return Ordinal(S, RawStr(V));
    default: return Ordinal(S, VarToStr(V));
  }
}

int CompareWideStrWithVar(const WideString& W, const Variant& V) {
  switch (V.VarType()) {
    case varOleStr: return Ordinal(W, RawWide(V));
    case varString: return Ordinal(W, Utf8ToWide(RawStr(V)));
    default: return Ordinal(W, VarToWideStr(V));
  }
}

bool CompareVarArrays(const Variant& A, const Variant& B, Integer Count) {
  try {
    for (Integer i = Count; i >= 0; --i) {
      Variant a = VarArrayGet(A, i), b = VarArrayGet(B, i);
      bool na = VarIsNull(a) || VarIsEmpty(a), nb = VarIsNull(b) || VarIsEmpty(b);
      if (na != nb) return false;
      if (!na && a != b) return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// ===========================================================================
// Array walking

namespace {

using TIndexVector = std::array<Integer, MaxVarArrayWalkDims>;

// This thread's index vector; entries past the walked array's dimensions are 0.
thread_local TIndexVector tIndices{};

// Keeps the index vector of an enclosing walk on this thread and gives it back.
class TIndexVectorGuard {
 public:
  TIndexVectorGuard() : saved_(tIndices) {}
  ~TIndexVectorGuard() { tIndices = saved_; }
  TIndexVectorGuard(const TIndexVectorGuard&) = delete;
  TIndexVectorGuard& operator=(const TIndexVectorGuard&) = delete;

 private:
  TIndexVector saved_;
};

// Calls visit(indices, Continue) for every element in walk order.
template <class Visit>
bool Walk(const Variant& V, Visit visit) {
  if (!VarIsArray(V)) throw EVariantNotAnArrayError("Variant is not an array.");
  Integer dims = VarArrayDimCount(V);
  if (dims > MaxVarArrayWalkDims) throw EVariantBadIndexError("Variant array index out of bounds.");
  TIndexVector low{}, high{};
  for (Integer d = 0; d < dims; ++d) {
    low[d] = VarArrayLowBound(V, d + 1);
    high[d] = VarArrayHighBound(V, d + 1);
    if (high[d] < low[d]) return true;  // no elements
  }
  TIndexVectorGuard guard;
  tIndices = low;
  std::span<const Integer> indices(tIndices.data(), static_cast<size_t>(dims));
  for (;;) {
    bool proceed = true;
    visit(indices, proceed);
    if (!proceed) return false;
    Integer d = dims - 1;
    while (d >= 0 && tIndices[d] == high[d]) {
      tIndices[d] = low[d];
      --d;
    }
    if (d < 0) return true;
    ++tIndices[d];
  }
}

}  // namespace

Variant VarArrayCreateBounds(std::span<const Integer> Bounds, Integer DimCount, TVarType ElementType) {
  if (DimCount < 1 || DimCount > MaxVarArrayWalkDims || Bounds.size() < 2 * static_cast<size_t>(DimCount))
    throw EVariantArrayCreateError("Unable to create variant array.");
  return VarArrayCreate(Bounds.first(2 * static_cast<size_t>(DimCount)), ElementType);
}

bool ForEachElementGet(const Variant& V, const TVarArrayGetProc& Proc) {
  return Walk(V, [&](std::span<const Integer> indices, bool& proceed) {
    Proc(VarArrayGet(V, indices), indices, proceed);
  });
}

bool ForEachElementPut(Variant& V, const TVarArrayPutProc& Proc) {
  return Walk(V, [&](std::span<const Integer> indices, bool& proceed) {
    Variant value;
    Proc(value, indices, proceed);
    if (proceed) VarArrayPut(V, value, indices);
  });
}
