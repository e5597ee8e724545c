// libFuzzer target for the grid's column filter texts.
// Input: one byte of options (bits 0-2 the operand type, taken modulo 5;
// bit 3 decimal separator ","), then the filter text. A text that parses is
// written back; the written text must parse to the same operators and be
// written again unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "grid/datagrid/DbUtilsEh.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/UnitInit.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeUnits({&unit_DbUtilsEh});
  FormatSettings.DateSeparator = '.';
  FormatSettings.ShortDateFormat = "dd.mm.yyyy";
  FormatSettings.TimeSeparator = ':';
  FormatSettings.LongTimeFormat = "hh:nn:ss";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const uint8_t bits = Data[0];
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  FormatSettings.DecimalSeparator = (bits & 8) ? ',' : '.';
  TSTFilterExpressionEh first;
  first.OperandType = static_cast<TSTOperandTypeEh>((bits & 7) % 5);
  bool two;
  try {
    two = ParseSTFilterExpression(text, first);
  } catch (Exception&) {
    return 0;  // malformed texts and values raise the system's errors
  }
  Check(first.Operator1 <= foNotNull && first.Operator2 <= foNotNull);
  Check(first.Relation == foNon || first.Relation == foAND || first.Relation == foOR);
  Check(two == (first.Operator2 != foNon));

  const String written = STFilterExpressionAsText(first);
  if (first.OperandType == botNon || first.Operator1 == foNon) {
    Check(written.empty());
    return 0;
  }
  TSTFilterExpressionEh second;
  second.OperandType = first.OperandType;
  try {
    Check(ParseSTFilterExpression(written, second) == two);
  } catch (Exception&) {
    Check(false);  // what is written must read back
  }
  Check(second.Operator1 == first.Operator1 && second.Relation == first.Relation &&
        second.Operator2 == first.Operator2);
  Check(VarIsArray(second.Operand1) == VarIsArray(first.Operand1));
  Check(VarIsArray(second.Operand2) == VarIsArray(first.Operand2));
  Check(STFilterExpressionAsText(second) == written);
  return 0;
}
