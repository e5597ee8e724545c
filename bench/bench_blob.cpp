// BLOB write and read throughput through TFIBBlobStream at 1 KB, 1 MB and
// 50 MB, beside a baseline: the bare client-API loop (isc_create_blob2 and
// isc_put_segment in 65535-byte segments; isc_open_blob2 and isc_get_segment
// into a buffer of the BLOB's size) on the same embedded database, in the
// same run. A second baseline reads into a new buffer each time, as the
// stream, which holds the value, must.
//
// Writes create temporary BLOBs, released when the transaction is committed
// every 256 MB (outside the timing). Reads fetch a BLOB stored in a table row.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/BenchDatabase.h"
#include "dataaccess/core/FIBDatabase.h"
#include "dataaccess/core/FIBMiscellaneous.h"

namespace {

constexpr int64_t kCommitEvery = 256 << 20;

// A temporary database with a table B (ID, DATA) holding one row per size.
class TBlobBench {
 public:
  TBlobBench() {
    tr_->StartTransaction();
    Exec("create table B (ID integer, DATA blob sub_type 0)", nullptr);
    Commit();
  }
  IIBClientLibrary* Lib() { return db_->GetClientLibrary(); }
  TFIBDatabase* Database() { return db_; }
  TFIBTransaction* Transaction() { return tr_; }

  void Commit() {
    tr_->Commit();
    tr_->StartTransaction();
  }
  // Commits once enough temporary BLOBs have piled up.
  void Written(benchmark::State& State, int64_t Bytes) {
    pending_ += Bytes;
    if (pending_ < kCommitEvery) return;
    State.PauseTiming();
    Commit();
    pending_ = 0;
    State.ResumeTiming();
  }

  // The id of a stored BLOB of Size bytes (made once per size).
  ISC_QUAD StoredBlob(int Size) {
    for (const auto& [size, id] : stored_)
      if (size == Size) return id;
    const std::vector<char> data(static_cast<size_t>(Size), 'x');
    ISC_QUAD temp = RawWrite(data);
    Integer key = Size;
    XSQLDA* in = Area(2);
    Bind(in->sqlvar[0], SQL_LONG, &key);
    Bind(in->sqlvar[1], SQL_BLOB, &temp);
    Exec("insert into B (ID, DATA) values (?, ?)", in);
    Commit();
    ISC_QUAD id{0, 0};
    XSQLDA* key_in = Area(1);
    Bind(key_in->sqlvar[0], SQL_LONG, &key);
    XSQLDA* out = Area(1);
    Bind(out->sqlvar[0], SQL_BLOB, &id);
    Check(Lib()->isc_dsql_exec_immed2(StatusVector(), db_->HandlePtr(), tr_->HandlePtr(), 0,
                                      "select DATA from B where ID = ?", 3, key_in, out));
    stored_.emplace_back(Size, id);
    return id;
  }

  ISC_QUAD RawWrite(const std::vector<char>& Data) {
    IIBClientLibrary* lib = Lib();
    isc_blob_handle blob = 0;
    ISC_QUAD id{0, 0};
    Check(lib->isc_create_blob2(StatusVector(), db_->HandlePtr(), tr_->HandlePtr(), &blob, &id, 0, nullptr));
    for (size_t at = 0; at < Data.size();) {
      const auto n = static_cast<unsigned short>(std::min<size_t>(Data.size() - at, 65535));
      Check(lib->isc_put_segment(StatusVector(), &blob, n, Data.data() + at));
      at += n;
    }
    Check(lib->isc_close_blob(StatusVector(), &blob));
    return id;
  }

  void RawRead(ISC_QUAD Id, char* Buffer, size_t Size) {
    IIBClientLibrary* lib = Lib();
    isc_blob_handle blob = 0;
    Check(lib->isc_open_blob2(StatusVector(), db_->HandlePtr(), tr_->HandlePtr(), &blob, &Id, 0, nullptr));
    size_t at = 0;
    for (;;) {
      unsigned short got = 0;
      const auto wanted = static_cast<unsigned short>(std::min<size_t>(Size - at, 65535));
      const ISC_STATUS status = lib->isc_get_segment(StatusVector(), &blob, &got, wanted, Buffer + at);
      if (status == isc_segstr_eof || wanted == 0) break;
      if (status != 0 && status != isc_segment) Check(status);
      at += got;
    }
    Check(lib->isc_close_blob(StatusVector(), &blob));
  }

 private:
  static void Check(ISC_STATUS Status) { bench::Check(Status); }
  XSQLDA* Area(int Count) {
    areas_.emplace_back(DescriptorAreaSize(Count) / sizeof(XSQLDA) + 1);
    auto* area = areas_.back().data();
    area->version = SQLDA_VERSION1;
    area->sqln = area->sqld = static_cast<short>(Count);
    return area;
  }
  void Bind(XSQLVAR& Var, short Type, void* Data) {
    Var.sqltype = Type;
    Var.sqllen = Type == SQL_LONG ? 4 : 8;
    Var.sqldata = static_cast<char*>(Data);
  }
  void Exec(const char* SQL, XSQLDA* In) {
    Check(Lib()->isc_dsql_execute_immediate(StatusVector(), db_->HandlePtr(), tr_->HandlePtr(), 0, SQL, 3, In));
  }

  bench::TBenchDatabase file_{"blobbench", unit_FIBDatabase};
  TFIBDatabase* db_ = file_.Database();
  TFIBTransaction* tr_ = file_.Transaction();
  int64_t pending_ = 0;
  std::vector<std::pair<int, ISC_QUAD>> stored_;
  std::vector<std::vector<XSQLDA>> areas_;
};

TBlobBench& Bench() {
  static TBlobBench bench;
  return bench;
}

void BM_StreamWrite(benchmark::State& state) {
  TBlobBench& b = Bench();
  const std::vector<char> data(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    TFIBBlobStream s;
    s.SetMode(bmWrite);
    s.SetDatabase(b.Database());
    s.SetTransaction(b.Transaction());
    s.WriteBuffer(data.data(), static_cast<Int64>(data.size()));
    s.Finalize();
    benchmark::DoNotOptimize(s.BlobID());
    b.Written(state, state.range(0));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_RawWrite(benchmark::State& state) {
  TBlobBench& b = Bench();
  const std::vector<char> data(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    benchmark::DoNotOptimize(b.RawWrite(data));
    b.Written(state, state.range(0));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_StreamRead(benchmark::State& state) {
  TBlobBench& b = Bench();
  const ISC_QUAD id = b.StoredBlob(static_cast<int>(state.range(0)));
  std::vector<char> out(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TFIBBlobStream s;
    s.SetDatabase(b.Database());
    s.SetTransaction(b.Transaction());
    s.SetBlobID(id);
    s.ReadBuffer(out.data(), s.Size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_RawRead(benchmark::State& state) {
  TBlobBench& b = Bench();
  const ISC_QUAD id = b.StoredBlob(static_cast<int>(state.range(0)));
  std::vector<char> out(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    b.RawRead(id, out.data(), out.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

// The same loop reading into a new buffer each time, as a stream must: the
// cost of fresh memory (page faults) apart from the client calls.
void BM_RawReadNewBuffer(benchmark::State& state) {
  TBlobBench& b = Bench();
  const ISC_QUAD id = b.StoredBlob(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::unique_ptr<char[]> block(new char[static_cast<size_t>(state.range(0))]);
    b.RawRead(id, block.get(), static_cast<size_t>(state.range(0)));
    benchmark::DoNotOptimize(block.get());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1 << 10)->Arg(1 << 20)->Arg(50 << 20)->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_StreamWrite)->Apply(Sizes);
BENCHMARK(BM_RawWrite)->Apply(Sizes);
BENCHMARK(BM_StreamRead)->Apply(Sizes);
BENCHMARK(BM_RawRead)->Apply(Sizes);
BENCHMARK(BM_RawReadNewBuffer)->Apply(Sizes);
