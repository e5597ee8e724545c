// Typing a three-letter Cyrillic prefix: into the popup data grid over an
// opened list of 100 000 rows (incremental search, each key to the row
// shown), beside the dataset's own Locate of the same prefixes; and into the
// lookup list, whose every key builds and opens a search select on the
// server, beside the server's own select of the same text. Times are per
// key.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "bench/BenchDatabase.h"
#include "datalayer/B_DBFBPlus.h"
#include "datalayer/B_DbL.h"
#include "grid/datagrid/DBLookupGridsEh.h"
#include "platform/gui/Forms.h"
#include "platform/rtl/Locale.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kRows = 100000;
// The last row's letters (see the generator); first met at row 12 192.
const std::u16string kPrefix = u"нрр";

Cardinal g_ticks = 0;
Cardinal BenchTicks() { return g_ticks; }

struct TFixture {
  std::unique_ptr<bench::TBenchDatabase> db;
  std::unique_ptr<TComponent> owner;
  TB_Query* list = nullptr;
  TDataSource* src = nullptr;
};

void Exec(TFIBTransaction* Tr, const String& SQL) {
  TFIBDatabase* d = Tr->MainDatabase();
  Tr->CheckCall(d->GetClientLibrary()->isc_dsql_execute_immediate(StatusVector(), d->HandlePtr(), Tr->HandlePtr(), 0,
                                                                 SQL.c_str(), 3, nullptr),
                true);
}

TFixture& Fixture() {
  static TFixture f;
  if (f.db) return f;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  InitializeUnits({&unit_Forms});
  Application->Initialize();
  InitializeUnits({&unit_DBGridEh});
  f.db = std::make_unique<bench::TBenchDatabase>("bench-lookup", unit_B_DBFBPlus);
  TFIBTransaction* tr = f.db->Transaction();
  if (!tr->Active()) tr->StartTransaction();
  Exec(tr, "create table LIST_T (ID integer not null primary key, NAME varchar(40))");
  // The list is ordered by its name: an index lets the server walk it in
  // order and stop at the rows shown, instead of sorting every match.
  Exec(tr, "create index LIST_T_NAME on LIST_T (NAME)");
  Exec(tr, "create function B_UPPER(S varchar(200)) returns varchar(200) as begin return upper(:S); end");
  tr->Commit();
  tr->StartTransaction();
  // Three letters from the row number (28 letters), then the number.
  Exec(tr,
       "execute block as declare i integer = 1; declare a varchar(28) = 'абвгдежзиклмнопрстуфхцчшщэюя'; "
       "begin while (i <= " +
           std::to_string(kRows) +
           ") do begin insert into LIST_T values (:i, substring(:a from mod(:i, 28) + 1 for 1) || "
           "substring(:a from mod(:i / 28, 28) + 1 for 1) || substring(:a from mod(:i / 784, 28) + 1 for 1) "
           "|| ' ' || :i); i = i + 1; end end");
  tr->Commit();
  f.owner = std::make_unique<TComponent>(nullptr);
  f.list = new TB_Query(f.owner.get());
  f.list->SetDatabase(f.db->Database());
  f.list->SQL()->SetText("select ID, NAME from LIST_T order by ID");
  f.src = new TDataSource(f.owner.get());
  f.src->SetDataSet(f.list);
  SetTickCountSource(&BenchTicks);
  return f;
}

// The prefix of a row near the end that the search must reach.
String PrefixUtf8(size_t Count) {
  String s;
  WideChar pending = 0;
  for (size_t i = 0; i < Count; ++i) Utf8AppendWideChar(s, kPrefix[i], pending);
  return s;
}

void BM_PopupGridTypePrefix(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.list->Active()) f.list->Open();
  f.list->Last();  // all rows fetched
  f.list->First();
  auto* popup = new TPopupDataGridEh(f.owner.get());
  popup->AfterConstruction();
  popup->SetListSource(f.src);
  popup->SetKeyFieldName("ID");
  popup->SetListFieldName("NAME");
  for (auto _ : state) {
    g_ticks += 5000;  // a new search
    for (char16_t c : kPrefix) {
      WideChar k = c;
      popup->KeyPress(k);
    }
  }
  if (popup->SearchText() != PrefixUtf8(3)) state.SkipWithError("prefix not found");
  state.SetItemsProcessed(state.iterations() * 3);
  delete popup;
}
BENCHMARK(BM_PopupGridTypePrefix)->Unit(benchmark::kMillisecond);

void BM_DataSetLocatePrefix(benchmark::State& state) {
  TFixture& f = Fixture();
  if (!f.list->Active()) f.list->Open();
  f.list->Last();
  for (auto _ : state)
    for (size_t n = 1; n <= 3; ++n) {
      f.list->First();
      benchmark::DoNotOptimize(f.list->Locate("NAME", PrefixUtf8(n), {loCaseInsensitive, loPartialKey}));
    }
  state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_DataSetLocatePrefix)->Unit(benchmark::kMillisecond);

void BM_LookupListTypePrefix(benchmark::State& state) {
  TFixture& f = Fixture();
  auto* list = new TB_DBLookupList(f.owner.get());
  list->DBDataLink()->SetListSource(f.src);
  list->DBDataLink()->SetListFieldLink("ID");
  list->DBDataLink()->SetListFieldFind("NAME");
  for (auto _ : state) {
    // Clearing the text reopens the whole list: not one of the keys timed.
    state.PauseTiming();
    list->TypeChar(VK_BACK);
    state.ResumeTiming();
    for (char16_t c : kPrefix) list->TypeChar(c);
  }
  if (list->ListQuery() == nullptr || list->ListQuery()->IsEmpty()) state.SkipWithError("no rows");
  state.SetItemsProcessed(state.iterations() * 3);
  delete list;
}
BENCHMARK(BM_LookupListTypePrefix)->Unit(benchmark::kMillisecond);

void BM_ServerSelectPrefix(benchmark::State& state) {
  TFixture& f = Fixture();
  auto* q = new TB_Query(f.owner.get());
  q->SetDatabase(f.db->Database());
  for (auto _ : state)
    for (size_t n = 1; n <= 3; ++n) {
      q->Close();
      q->SQL()->SetText("select ID, NAME from LIST_T where B_UPPER(NAME) LIKE '%" + AnsiUpperCase(PrefixUtf8(n)) +
                        "%' order by NAME");
      q->Open();
      benchmark::DoNotOptimize(q->IsEmpty());
    }
  state.SetItemsProcessed(state.iterations() * 3);
  delete q;
}
BENCHMARK(BM_ServerSelectPrefix)->Unit(benchmark::kMillisecond);

}  // namespace
