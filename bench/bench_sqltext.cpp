// Scanning a select text and adding a condition to its main WHERE clause, at
// 1 KB, 16 KB and 64 KB, beside a baseline: a bare case-insensitive search for
// the word WHERE over the same bytes (no quotes, comments or brackets).
#include <benchmark/benchmark.h>

#include <cctype>
#include <string>

#include "dataaccess/core/SqlTxtRtns.h"

namespace {

// A select of about Size bytes whose select list holds string literals,
// comments and subselects with WHERE keywords of their own; the main WHERE
// stands near the end, so the scan crosses the whole text.
std::string MakeSelect(size_t Size) {
  std::string s = "SELECT T.ID";
  for (int i = 0; s.size() < Size; ++i) {
    const std::string n = std::to_string(i);
    s += ",\r\n  T.F" + n + ", 'where, (' AS S" + n + " /* from " + n + " */, (SELECT MAX(U.X) FROM U WHERE U.ID = T.ID) AS Q" + n;
  }
  s += "\r\nFROM T LEFT JOIN U ON U.ID = T.ID -- main\r\nWHERE T.A = 1 OR T.B = 2\r\nORDER BY 1";
  return s;
}

void BM_ScanAndAddWhere(benchmark::State& state) {
  const std::string sql = MakeSelect(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    TSQLParser parser(sql);
    std::string out = parser.AddWhereCondition("T.C = 3", false);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sql.size()));
  state.SetComplexityN(static_cast<int64_t>(sql.size()));
}

void BM_BaselineFindWord(benchmark::State& state) {
  const std::string sql = MakeSelect(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    size_t last = std::string::npos;
    for (size_t i = 0; i + 5 <= sql.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(sql[i])) == 'W' &&
          std::toupper(static_cast<unsigned char>(sql[i + 1])) == 'H' &&
          std::toupper(static_cast<unsigned char>(sql[i + 2])) == 'E' &&
          std::toupper(static_cast<unsigned char>(sql[i + 3])) == 'R' &&
          std::toupper(static_cast<unsigned char>(sql[i + 4])) == 'E')
        last = i;
    }
    benchmark::DoNotOptimize(last);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sql.size()));
  state.SetComplexityN(static_cast<int64_t>(sql.size()));
}

}  // namespace

BENCHMARK(BM_ScanAndAddWhere)->Arg(1 << 10)->Arg(16 << 10)->Arg(64 << 10)->Complexity(benchmark::oN);
BENCHMARK(BM_BaselineFindWord)->Arg(1 << 10)->Arg(16 << 10)->Arg(64 << 10)->Complexity(benchmark::oN);
