// libFuzzer target for the grid's text and VCLDBIF readers.
// Input: one byte choosing the reader (bit 0: VCLDBIF) and whether rows may
// be appended (bit 1), then the data, imported into a grid over an
// in-memory dataset of text fields. A reader either finishes or raises the
// system's error, and appends no more rows than the data could hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "grid/datagrid/DBGridEhImpExp.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/MemDataSet.h"

namespace {

void Check(bool Condition) {
  if (!Condition) __builtin_trap();
}

TForm* g_form = nullptr;
TMemDataSet* g_ds = nullptr;
TCustomDBGridEh* g_grid = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeUnits({&unit_Forms, &unit_DBGridEhImpExp, &unit_DBGridEh});
  Application->Initialize();
  g_form = TForm::CreateNew(nullptr);
  g_ds = new TMemDataSet(g_form);
  // Text fields take every value, so no value error stops the run with
  // its question.
  g_ds->FieldDefs()->Add("A", ftString, 8192);
  g_ds->FieldDefs()->Add("B", ftString, 8192);
  g_ds->FieldDefs()->Add("C", ftString, 8192);
  auto* src = new TDataSource(g_form);
  src->SetDataSet(g_ds);
  g_grid = new TCustomDBGridEh(g_form);
  g_grid->SetParent(g_form);
  g_grid->SetDataSource(src);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const bool vcl = (Data[0] & 1) != 0;
  g_grid->SetAllowedOperations((Data[0] & 2) ? TDBGridEhAllowedOperations{alopUpdateEh, alopAppendEh}
                                             : TDBGridEhAllowedOperations{alopUpdateEh});
  g_ds->Close();
  g_ds->Open();
  g_ds->AppendRows({{"1", "one", "1.5"}, {"2", Null(), "x"}});
  g_ds->First();
  TStringStream s(std::string(reinterpret_cast<const char*>(Data + 1), Size - 1));
  try {
    if (vcl)
      DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsVCLDBIF>, g_grid, &s, true);
    else
      DBGridEhImportFromStream(&CreateDBGridEhImport<TDBGridEhImportAsText>, g_grid, &s, true);
  } catch (Exception&) {
    // Format errors end the import.
  }
  if (g_ds->State() != dsBrowse) g_ds->Cancel();
  Check(g_ds->RowCount() <= 2 + static_cast<int>(Size));
  return 0;
}
