// Helpers shared by the implementation files of the dataset unit.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/gui/Controls.h"
#include "platform/rtl/FMTBcd.h"
#include "platform/rtl/System.h"

class TStrings;

namespace fibdataset_internal {

// What a statement text holds: nothing but blank lines, "No Action" (its
// first non-blank line, without case: the statement is never executed), or
// a statement to run.
enum class TSQLTextKind { Empty, NoAction, Statement };
TSQLTextKind SQLTextKind(TStrings* SQL);
inline bool IsNoAction(TStrings* SQL) { return SQLTextKind(SQL) == TSQLTextKind::NoAction; }
inline bool IsRunnableSQL(TStrings* SQL) { return SQLTextKind(SQL) == TSQLTextKind::Statement; }

// The open of the limited model (and its reading of the ORDER BY) fails
// with this text, the dataset's full name for %s.
inline constexpr const char* kOrderByNotFound = "%s:Can't find or parse ORDER BY statement.";

// A wide text column's record form: Utf8's bytes cut to whole characters
// below Size, the rest of the Size bytes at Dest zero.
void WriteUtf8Column(std::string_view Utf8, void* Dest, size_t Size);

// Value * 10^Decimals rounded half away from zero, taken from the shortest
// decimal form of Value (12.345 with 2 decimals gives 1235); false when it
// does not fit 64 bits or Value is not finite.
bool DoubleToScaled(double Value, int Decimals, Int64& Result);
// Value * 10^Delta (Delta may be negative: divided, rounded half away from
// zero); false on overflow.
bool RescaleInt64(Int64 Value, int Delta, Int64& Result);
// A BCD of 32 digits with Decimals places; the BCD's value as an integer of
// Decimals places (rounded); false when it does not fit.
TBcd ScaledToBcd(Int64 Value, int Decimals);
bool BcdToScaled(const TBcd& Value, int Decimals, Int64& Result);
// 10^N as a double (exact up to 10^22).
double PowerOfTen(int N);
// A stored integer slot (SHORT, LONG, DATE, TIME, INT64, BOOLEAN) of a
// record image.
Int64 SlotInteger(SmallInt SQLType, const Byte* Data);
// A stored number as a double: FLOAT, DOUBLE and TIMESTAMP slots as they
// are, integer slots scaled by 10^Scale.
double SlotNumber(SmallInt SQLType, SmallInt Scale, const Byte* Data);

// Shows Cursor on the screen for its lifetime when it is not crDefault and
// differs from the current one; the previous cursor comes back at the end.
class TScreenCursorGuard {
 public:
  explicit TScreenCursorGuard(TCursor Cursor);
  ~TScreenCursorGuard();
  TScreenCursorGuard(const TScreenCursorGuard&) = delete;
  TScreenCursorGuard& operator=(const TScreenCursorGuard&) = delete;

 private:
  TCursor saved_ = crDefault;
  bool active_ = false;
};

// Runs F with Variable set to Value for its duration; the previous value
// comes back afterwards, also when F throws.
template <class T, class F>
void WithValue(T& Variable, T Value, F f) {
  const T saved = Variable;
  Variable = Value;
  try {
    f();
  } catch (...) {
    Variable = saved;
    throw;
  }
  Variable = saved;
}

// Runs F with Counter raised by one for its duration.
template <class F>
void WithCounterRaised(Integer& Counter, F f) {
  WithValue(Counter, Counter + 1, f);
}

}  // namespace fibdataset_internal

// The field classes in the class registry (the unit's start-up).
void RegisterFieldClasses();
