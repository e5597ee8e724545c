// libFuzzer target for TpFIBDataSet on a small table of an embedded
// database: each input is a sequence of operations (open, close, filter on
// and off, filter texts, sorts, locates and lookups, moves, edits, posts,
// cancels, inserts, deletes, refreshes, persistent fields made and freed,
// the cache model switched) run on a fresh dataset. The database is made
// once per process; what an input wrote is rolled back after it. Errors the
// system raises are Exceptions; anything else (a crash, a hang, a sanitizer
// report) is a fault.
//
// Input: bytes read one operation at a time (the low five bits choose it),
// some followed by a byte of argument; filter text operations take a length
// byte and that many bytes of text, or a text of their own.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "dataaccess/datasets/pFIBDataSet.h"
#include "platform/rtl/UnitInit.h"
#include "tests/support/fb/FIBTestSupport.h"

// The Firebird client keeps memory for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfbclient.so\n"; }

namespace {

constexpr size_t kMaxOperations = 48;

// FUZZ_DATASET_VERBOSE set: each operation's error is printed (to see what
// a reproducer does).
bool g_verbose = false;
fbtest::TTempDatabase* g_file = nullptr;
TComponent* g_owner = nullptr;
TFIBDatabase* g_db = nullptr;

const char* const kFields[] = {"ID", "NAME", "N", "A", "C", "B"};
const char* const kFilters[] = {"ID > 3",
                                "NAME like 'r%'",
                                "N is null",
                                "A = 2 or ID < 4",
                                "UPPER(NAME) = 'ROW 7'",
                                "N * 2 > ID",
                                "C = 'x'",
                                "A in (1, 3)",
                                "not (ID = 5)",
                                "N > -1.5",
                                ""};

void Cleanup() {
  delete g_owner;
  g_owner = nullptr;
  delete g_file;
  g_file = nullptr;
}

// The bytes of an input, read from the front.
class TInput {
 public:
  TInput(const uint8_t* Data, size_t Size) : data_(Data), size_(Size) {}
  bool Empty() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Text(size_t Length) {
    const size_t n = std::min(Length, size_ - at_);
    std::string text(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

Variant KeyValue(uint8_t Byte, const char* Field) {
  const std::string field = Field;
  if ((Byte & 7) == 0) return Null();
  if (field == "NAME") return String("row " + std::to_string(Byte % 16));
  if (field == "C") return String(Byte % 2 == 0 ? "x" : "y");
  if (field == "N") {
    TBcd bcd;
    TryStrToBcd(std::to_string(static_cast<int>(Byte % 16) - 8) + ".5", bcd);
    return Byte % 3 == 0 ? VarFMTBcdCreate(bcd) : Variant(static_cast<double>(Byte % 16) / 4 - 2);
  }
  return Variant(static_cast<int32_t>(Byte % 16));
}

void SetValue(TField* Field, uint8_t Byte) {
  if (Field->IsBlob()) {
    Field->SetAsString("memo " + std::to_string(Byte));
    return;
  }
  const Variant value = KeyValue(Byte, Field->FieldName().c_str());
  if (VarIsNull(value)) Field->Clear();
  else Field->SetValue(value);
}

void MakePersistentFields(TpFIBDataSet* DataSet) {
  if (DataSet->Active() || DataSet->FieldCount() > 0) return;
  DataSet->FieldDefs()->Update();
  for (int i = 0; i < DataSet->FieldDefs()->Count(); ++i) DataSet->FieldDefs()->Items(i)->CreateField(DataSet);
}

void FreePersistentFields(TpFIBDataSet* DataSet) {
  if (DataSet->Active()) return;
  while (DataSet->FieldCount() > 0) delete DataSet->Fields()->Fields(DataSet->FieldCount() - 1);
}

// Reads every field of the current record, as a grid would.
void ReadRecord(TpFIBDataSet* DataSet) {
  if (!DataSet->Active()) return;
  for (int i = 0; i < DataSet->FieldCount(); ++i) {
    TField* f = DataSet->Fields()->Fields(i);
    (void)f->AsString();
    (void)f->Value();
  }
}

void Run(TpFIBDataSet* DataSet, TInput& In) {
  size_t count = 0;
  while (!In.Empty() && count++ < kMaxOperations) {
    const uint8_t op = In.Byte();
    const uint8_t arg = (op & 0x20) != 0 ? In.Byte() : static_cast<uint8_t>(op >> 5);
    const char* field = kFields[arg % std::size(kFields)];
    try {
      switch (op & 0x1F) {
        case 0: DataSet->Open(); break;
        case 1: DataSet->Close(); break;
        case 2: DataSet->SetFiltered(true); break;
        case 3: DataSet->SetFiltered(false); break;
        case 4: DataSet->SetFilter(kFilters[arg % std::size(kFilters)]); break;
        case 5: DataSet->SetFilter(String(In.Text(arg % 24))); break;
        case 6: DataSet->DoSort({field}, {(arg & 0x80) == 0}); break;
        case 7: {
          // A record found holds the key (CHAR and BLOB fields aside).
          const Variant key = KeyValue(arg, field);
          const std::string name = field;
          if (DataSet->Locate(field, key, {}) && name != "C" && name != "B") {
            const Variant value = DataSet->FieldByName(field)->Value();
            if (VarIsNull(key) ? !VarIsNull(value) : VarCompareValue(value, key) != vrEqual) __builtin_trap();
          }
          break;
        }
        case 8: (void)DataSet->Lookup(field, KeyValue(arg, field), "ID;NAME"); break;
        case 9: DataSet->Next(); break;
        case 10: DataSet->Prior(); break;
        case 11: DataSet->First(); break;
        case 12: DataSet->Last(); break;
        case 13: DataSet->MoveBy(static_cast<int8_t>(arg)); break;
        case 14: DataSet->Edit(); break;
        case 15:
          if (TField* f = DataSet->FindField(field); f != nullptr && DataSet->Active()) SetValue(f, arg);
          break;
        case 16: DataSet->Post(); break;
        case 17: DataSet->Cancel(); break;
        case 18: DataSet->Refresh(); break;
        case 19: DataSet->FullRefresh(true); break;
        case 20: DataSet->Insert(); break;
        case 21: DataSet->Delete(); break;
        case 22: MakePersistentFields(DataSet); break;
        case 23: FreePersistentFields(DataSet); break;
        case 24:
          if (!DataSet->Active())
            DataSet->CacheModelOptions()->SetCacheModelKind((arg & 1) != 0 ? cmkLimitedBufferSize : cmkStandard);
          break;
        case 25: ReadRecord(DataSet); break;
        case 26: {
          TpFIBDsOptions options = DataSet->Options();
          if ((arg & 1) != 0) options.Include(poKeepSorting);
          else options.Exclude(poKeepSorting);
          DataSet->SetOptions(options);
          break;
        }
        case 27: (void)DataSet->RecordCount(); (void)DataSet->RecNo(); break;
        case 28: {
          const TBookmark mark = DataSet->GetBookmark();
          DataSet->MoveBy(static_cast<int8_t>(arg) % 5);
          if (!mark.empty()) DataSet->GotoBookmark(mark);
          break;
        }
        default: ReadRecord(DataSet); break;
      }
    } catch (const Exception& E) {
      // Refusals and server errors; the dataset stays usable.
      if (g_verbose) std::fprintf(stderr, "op %d (%d): %s\n", op & 0x1F, arg, E.Message().c_str());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_verbose = std::getenv("FUZZ_DATASET_VERBOSE") != nullptr;
  fbtest::InitFIBUnits();
  InitializeUnits({&unit_pFIBDataSet});
  g_file = new fbtest::TTempDatabase("UTF8");
  g_file->Exec({"create table T (ID integer not null primary key, NAME varchar(20), N numeric(18,6), A integer, "
                "C char(3), B blob sub_type 1)",
                "execute block as declare i integer = 1; begin while (i <= 12) do begin "
                "insert into T values (:i, 'row ' || :i, iif(mod(:i, 4) = 0, null, :i / 4.0 - 1.5), mod(:i, 3), "
                "iif(mod(:i, 2) = 0, 'x', 'y'), 'memo ' || :i); i = i + 1; end end"});
  g_owner = new TComponent(nullptr);
  g_db = fbtest::NewFIBDatabase(g_owner, g_file->Path());
  auto* tr = new TFIBTransaction(g_owner);
  tr->SetDefaultDatabase(g_db);
  g_db->SetDefaultTransaction(tr);
  g_db->Connect();
  std::atexit(Cleanup);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TInput in(Data, Size);
  auto ds = std::make_unique<TpFIBDataSet>(nullptr);
  ds->SetDatabase(g_db);
  ds->SelectSQL()->SetText("select ID, NAME, N, A, C, B from T order by ID");
  ds->UpdateSQL()->SetText("update T set NAME = ?NAME, N = ?N, A = ?A, C = ?C, B = ?B where ID = ?OLD_ID");
  ds->InsertSQL()->SetText("insert into T (ID, NAME, N, A, C, B) values (?ID, ?NAME, ?N, ?A, ?C, ?B)");
  ds->DeleteSQL()->SetText("delete from T where ID = ?OLD_ID");
  ds->RefreshSQL()->SetText("select ID, NAME, N, A, C, B from T where ID = ?OLD_ID");
  Run(ds.get(), in);
  try {
    ds->Close();
  } catch (const Exception&) {
  }
  ds.reset();
  if (g_db->DefaultTransaction()->Active()) g_db->DefaultTransaction()->Rollback();
  return 0;
}
