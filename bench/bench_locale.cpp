// The locale table: refreshing its names (each language switch) and the lookups that
// fill the language lists.
#include <benchmark/benchmark.h>

#include <vector>

#include "lib/locale/kylocale.h"

namespace {

void BM_PopulateFirst(benchmark::State& state) {
  for (auto _ : state) {
    TKyLocaleDatas t;
    t.Populate();
    benchmark::DoNotOptimize(t.Count());
  }
}
BENCHMARK(BM_PopulateFirst);

void BM_PopulateRefresh(benchmark::State& state) {
  TKyLocaleDatas t;
  t.Populate();
  for (auto _ : state) t.Populate();
}
BENCHMARK(BM_PopulateRefresh);

std::vector<String> AllIds(const TKyLocaleDatas& t) {
  std::vector<String> ids;
  for (int i = 0; i < t.Count(); ++i) {
    const TKyLocaleData& r = t.Items(i);
    ids.push_back(t.MakeId(r.Language, r.Country, r.Script, r.Variant));
  }
  return ids;
}

// Per call: the whole table's ids once.
void BM_GetDisplayNameAllRows(benchmark::State& state) {
  TKyLocaleDatas t;
  t.Populate();
  std::vector<String> ids = AllIds(t);
  for (auto _ : state)
    for (const String& id : ids) benchmark::DoNotOptimize(t.GetDisplayName(id));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ids.size()));
}
BENCHMARK(BM_GetDisplayNameAllRows);

void BM_IdToLocaleAllRows(benchmark::State& state) {
  TKyLocaleDatas t;
  t.Populate();
  std::vector<String> ids = AllIds(t);
  for (auto _ : state)
    for (const String& id : ids) benchmark::DoNotOptimize(t.IdToLocale(id));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ids.size()));
}
BENCHMARK(BM_IdToLocaleAllRows);

void BM_IdFromWindowsCodeAllRows(benchmark::State& state) {
  TKyLocaleDatas t;
  t.Populate();
  std::vector<String> codes;
  for (int i = 0; i < t.Count(); ++i) codes.push_back(t.Items(i).Abbreviation);
  for (auto _ : state)
    for (const String& c : codes) benchmark::DoNotOptimize(t.IdFromWindowsCode(c));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(codes.size()));
}
BENCHMARK(BM_IdFromWindowsCodeAllRows);

}  // namespace

BENCHMARK_MAIN();
