// Name lookup in the code-page table, code-page conversion and tokenising.
#include <benchmark/benchmark.h>

#include "lib/core/kycodepages.h"
#include "lib/core/kyparsers.h"
#include "lib/core/kystrutils.h"

static void BM_FindCodePageByName(benchmark::State& state) {
  TKyCodePageDatas t;
  // The last entry, an exact name, and one only the second pass finds.
  const StringView names[] = {u"utf-8", u"x-ebcdic-international-euro", u"UTF8", u"unknown-name"};
  StringView name = names[state.range(0)];
  for (auto _ : state) benchmark::DoNotOptimize(t.FindCodePageByName(name));
}
BENCHMARK(BM_FindCodePageByName)->DenseRange(0, 3);

static void BM_WideToCodePage(benchmark::State& state) {
  String text;
  for (int i = 0; i < 4096; ++i) text += static_cast<Char>(u'a' + i % 26);
  int cp = static_cast<int>(state.range(0));
  CodePageDatas();
  for (auto _ : state) benchmark::DoNotOptimize(WideToCodePage(text, cp));
  state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_WideToCodePage)->Arg(1252)->Arg(932)->Arg(65001);

static void BM_NextToken(benchmark::State& state) {
  String line;
  for (int i = 0; i < 200; ++i) line += u"'field, with ''quotes''',plain#t,";
  for (auto _ : state) {
    TKyWideParser p(line, true, u',');
    p.DecodeEscapes = true;
    int n = 0;
    while (!p.AtEnd()) n += static_cast<int>(p.NextToken().size());
    benchmark::DoNotOptimize(n);
  }
  state.SetBytesProcessed(state.iterations() * line.size() * 2);
}
BENCHMARK(BM_NextToken);

BENCHMARK_MAIN();
