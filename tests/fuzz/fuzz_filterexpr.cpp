// libFuzzer target for the local filter evaluator: a filter text parsed into
// the expression buffer and evaluated against two records (one with values,
// one with NULLs). Input: one byte of options (bit 0 foCaseInsensitive,
// 1 foNoPartialCompare), then the filter text. Parse and evaluation errors
// are the system's exceptions; anything else (a crash, a hang, a sanitizer
// report) is a fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "dataaccess/core/StrUtil.h"
#include "dataaccess/datasets/DBParsers.h"
#include "platform/rtl/SysUtils.h"
#include "tests/fuzz/FilterFields.h"
#include "tests/support/MemDataSet.h"

namespace {

TMemDataSet* g_ds = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ds = new TMemDataSet(nullptr);
  TFieldDefs* defs = g_ds->FieldDefs();
  AddFilterFieldDefs(defs);
  g_ds->Open();
  g_ds->AppendRows({{7, "Name %_ x", true, VarFromDateTime(EncodeDate(1990, 3, 15)),
                     VarFromDateTime(EncodeDate(2020, 1, 2) + EncodeTime(3, 4, 5, 6)), -3, 12.5, 1234567890123LL,
                     2.75},
                    {}});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  TFilterOptions options;
  if (Data[0] & 1) options.Include(foCaseInsensitive);
  if (Data[0] & 2) options.Include(foNoPartialCompare);
  const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
  try {
    TExpressionParser parser(g_ds, text, options, TParserOptions{poExtSyntax}, String(), nullptr, DataSetFieldMap(),
                             StrToDateFmt, SQLMaskCompareStr);
    for (g_ds->First(); !g_ds->Eof(); g_ds->Next()) {
      try {
        parser.IsTrue();
      } catch (Exception&) {
        // Evaluation errors leave the parser usable for the next record.
      }
    }
  } catch (Exception&) {
    // Texts that do not parse.
  }
  return 0;
}
