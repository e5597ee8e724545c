// Fast variant comparison for the local sort and in-cache search, and
// element walks over multi-dimensional variant arrays for array columns.
//
// CompareVariants is NOT a strict weak order, so it must never be handed to
// std::sort, std::stable_sort, std::set or any algorithm that relies on one
// (they may read past the range or loop). Sorting with it uses its own
// algorithm that only needs a three-way answer per pair. The reasons:
//  - float tolerance: values closer than 1e-11 compare equal, and that is
//    not transitive (a ~ b and b ~ c while a < c);
//  - the left value's type decides: a number against Null, Empty, a Boolean
//    or an array is 0, while Null against a number is -1; an integer against
//    a double within the tolerance is 0, the double against the integer is
//    exact.
#pragma once

#include <functional>
#include <span>

#include "platform/rtl/System.h"
#include "platform/rtl/Variants.h"

// Address of V's value: the stored number for the integer types, Single,
// Double, Currency (raw ten-thousandths as Int64), Date and Boolean (a bool);
// the characters for varString (UTF-8) and varOleStr (UTF-16), zero-
// terminated; nullptr for every other type. Narrower integers are stored as
// Int64 and read from the same address (little-endian).
const void* VarDataPtr(const Variant& V);

// -1, 0 or 1 by V1's type code exactly:
//  - integer types, Single, Double, Currency, Date: V1's number against V2 by
//    V2's type: integers numerically; Single/Double equal within 1e-11, else
//    by value; Currency as V1 x 10000 against the raw value; Date against its
//    double; text converted to a number (StrToFloat, or StrToInt64 when V1 is
//    varInt64; a text that does not convert raises EConvertError); any other
//    type 0;
//  - varOleStr: CompareWideStrWithVar; varString: CompareStrWithVar;
//  - anything else (Empty, Null, Boolean, arrays): the platform's variant
//    comparison (0 when ==, else 1 when V1 > V2, else -1); its errors
//    (arrays, unconvertible texts) propagate.
int CompareVariants(const Variant& V1, const Variant& V2);

// Text against a variant, ordinal and case-sensitive: a varOleStr V compares
// as UTF-16 against S converted to wide text, a varString V byte by byte, any
// other V against VarToStr(V). -1, 0 or 1 (1 when S sorts after).
int CompareStrWithVar(const String& S, const Variant& V);
// The same for a wide text; a varString V is converted to wide text.
int CompareWideStrWithVar(const WideString& W, const Variant& V);

// True when the one-dimensional arrays hold equal elements (platform ==) at
// every index from Count down to 0; an Empty element counts as Null, and
// Null equals only Null. Any error (index outside an array, an element that
// does not compare, a non-array) gives false.
bool CompareVarArrays(const Variant& A, const Variant& B, Integer Count);

// ---------------------------------------------------------------------------
// Array walking. One element is read and written with VarArrayGet and
// VarArrayPut (index vector, first dimension first).

// Largest number of dimensions a walk handles.
constexpr Integer MaxVarArrayWalkDims = 16;

// A safe array of DimCount (1..16) dimensions from {low, high} pairs (at
// least 2 x DimCount entries). Raises EVariantArrayCreateError "Unable to
// create variant array." for a bad count, bounds or element type.
Variant VarArrayCreateBounds(std::span<const Integer> Bounds, Integer DimCount, TVarType ElementType);

// Walk order: every index starts at its dimension's low bound; the last
// dimension advances first, a dimension past its high bound returns to its
// low bound and carries into the one before. The indices given to the
// callback are this thread's index vector (valid during the call). An array
// with an empty dimension has no elements and the callback is never called.
// The result is the last Continue: true when every element was visited.
// Errors: a non-array raises EVariantNotAnArrayError, more than 16 dimensions
// EVariantBadIndexError. A callback may start another walk on the same thread;
// the outer walk's indices are restored when it returns.

// Gets each element's value; clearing Continue stops the walk.
using TVarArrayGetProc = std::function<void(const Variant& Value, std::span<const Integer> Indices, bool& Continue)>;
bool ForEachElementGet(const Variant& V, const TVarArrayGetProc& Proc);

// Asks for each element's new value (Value starts Empty) and stores it,
// converted to the element type. Clearing Continue stops the walk before the
// value of that call is stored.
using TVarArrayPutProc = std::function<void(Variant& Value, std::span<const Integer> Indices, bool& Continue)>;
bool ForEachElementPut(Variant& V, const TVarArrayPutProc& Proc);
