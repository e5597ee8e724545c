// Helpers shared by the implementation files of the DB unit.
#pragma once

#include <algorithm>

#include "platform/db/DB.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace db_internal {

// Runs Body, then Fin; Fin also runs when Body throws (the exception then
// goes on).
template <class Body, class Fin>
void TryFinally(Body&& body, Fin&& fin) {
  try {
    body();
  } catch (...) {
    fin();
    throw;
  }
  fin();
}

// Field names compare without case; ASCII names skip the locale's collation.
inline bool SameFieldName(const String& A, const String& B) {
  auto ascii = [](const String& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  if (ascii(A) && ascii(B)) return SameText(A, B);
  return AnsiSameText(A, B);
}

// Milliseconds since 0001-01-01 (the native date-and-time value) and back.
inline double TimeStampToMSecs(const TTimeStamp& TimeStamp) {
  return static_cast<double>(TimeStamp.Date) * MSecsPerDay + TimeStamp.Time;
}
TTimeStamp MSecsToTimeStamp(double MSecs);

// The base conversion between a field's native and converted values.
void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative);

// The values of items (fields, parameters) as a variant array [0..n-1], and
// an array's elements given to them in order.
template <class T>
Variant ValuesOf(const std::vector<T*>& Items) {
  Variant result = VarArrayCreate({0, static_cast<Integer>(Items.size()) - 1}, varVariant);
  for (size_t i = 0; i < Items.size(); ++i) VarArrayPut(result, Items[i]->Value(), static_cast<Integer>(i));
  return result;
}
template <class T>
void SetValuesOf(const std::vector<T*>& Items, const Variant& Values) {
  for (size_t i = 0; i < Items.size(); ++i) Items[i]->SetValue(VarArrayGet(Values, static_cast<Integer>(i)));
}

// Variant equality that also compares arrays element by element; values
// that cannot be compared are unequal.
bool VarSameValue(const Variant& A, const Variant& B);

}  // namespace db_internal
