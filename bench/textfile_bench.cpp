// Line reading of large UTF-8 files: TKyTextFile::ReadLine against std::getline on the
// same bytes, at 10 and 100 MB to show that the cost grows linearly with the size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"

namespace {

std::string TempDir() {
  const char* t = std::getenv("TMPDIR");
  return t && *t ? t : "/tmp";
}

// One generated file per size, removed when the program ends.
class TBenchFiles {
 public:
  ~TBenchFiles() {
    for (auto& [mb, name] : Files_) std::remove(name.c_str());
  }
  const std::string& Get(int mb) {
    auto it = Files_.find(mb);
    if (it != Files_.end()) return it->second;
    std::string name = TempDir() + "/tv_textfile_bench_" + std::to_string(mb) + ".txt";
    std::ofstream out(name, std::ios::binary);
    const std::string words[] = {"Tramvelon ", "translation ", "caf\xC3\xA9 ", "\xE6\x97\xA5\xE6\x9C\xAC ",
                                 "\xE2\x82\xAC ", "line ", "<item/> "};
    const size_t target = static_cast<size_t>(mb) * 1024 * 1024;
    size_t written = 0;
    unsigned seed = 7;
    std::string line;
    while (written < target) {
      line.clear();
      int n = 3 + static_cast<int>((seed = seed * 1103515245u + 12345u) >> 16) % 12;
      for (int i = 0; i < n; ++i) line += words[((seed = seed * 1103515245u + 12345u) >> 16) % 7];
      line += "\r\n";
      out << line;
      written += line.size();
    }
    return Files_.emplace(mb, name).first->second;
  }

 private:
  std::map<int, std::string> Files_;
};

TBenchFiles& Files() {
  static TBenchFiles files;
  return files;
}

void BM_TextFileReadLine(benchmark::State& state) {
  const std::string& name = Files().Get(static_cast<int>(state.range(0)));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    TKyTextFile f;
    f.SetEncoding(TKyTextFile::ekUtf8);
    f.OpenRead(Utf8ToString(name));
    String line;
    std::int64_t chars = 0;
    while (f.ReadLine(0, line)) chars += static_cast<std::int64_t>(line.size());
    benchmark::DoNotOptimize(chars);
    bytes += f.Size;
  }
  state.SetBytesProcessed(bytes);
}

void BM_StdGetline(benchmark::State& state) {
  const std::string& name = Files().Get(static_cast<int>(state.range(0)));
  std::int64_t bytes = 0;
  for (auto _ : state) {
    std::ifstream in(name, std::ios::binary);
    std::string line;
    std::int64_t chars = 0;
    while (std::getline(in, line)) chars += static_cast<std::int64_t>(line.size());
    benchmark::DoNotOptimize(chars);
    in.clear();
    bytes += static_cast<std::int64_t>(in.seekg(0, std::ios::end).tellg());
  }
  state.SetBytesProcessed(bytes);
}

}  // namespace

BENCHMARK(BM_TextFileReadLine)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StdGetline)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
