// libFuzzer target for the grid's text and VCLDBIF readers.
// Input: one byte choosing the reader (bit 0: VCLDBIF) and whether rows may
// be appended (bit 1), then the data, imported into a grid over an
// in-memory dataset of text fields. A reader either finishes or raises the
// system's error, and appends no more rows than the data could hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
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

void RunOne(const uint8_t* Data, size_t Size) {
  const bool vcl = (Data[0] & 1) != 0;
  g_grid->SetAllowedOperations((Data[0] & 2) ? TDBGridEhAllowedOperations{alopUpdateEh, alopAppendEh}
                                             : TDBGridEhAllowedOperations{alopUpdateEh});
  // Back to the two rows, without reopening (which rebuilds the columns).
  if (!g_ds->Active()) g_ds->Open();
  g_ds->Last();
  while (g_ds->RowCount() > 2) g_ds->Delete();
  while (g_ds->RowCount() < 2) g_ds->AppendRows({{Null(), Null(), Null()}});
  g_ds->First();
  for (const char* v : {"1", "2"}) {
    g_ds->Edit();
    for (int f = 0; f < 3; ++f) g_ds->Fields()->Fields(f)->SetAsString(v);
    g_ds->Post();
    g_ds->Next();
  }
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
}

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
  // One import before the inputs: the font library's one-time set-up (the
  // columns measure their fonts) happens here, not inside an input.
  static const uint8_t kText[] = "\0a\tb\r\n";
  RunOne(kText, sizeof kText - 1);
  std::atexit([] {
    delete g_form;
    FinalizeUnits();
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  RunOne(Data, Size);
  return 0;
}