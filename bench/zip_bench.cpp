// Extraction of an application-like archive (about 200 MB: 3,000 small text files, a few
// hundred binaries of 0.1-2 MB, a few files of 20-40 MB) from memory, next to unzip, bsdtar
// and 7z on the same archive and to a plain zlib inflate into memory (the limit).
// The archive is generated once with zip and cached in /tmp/tvzip-bench.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzip.h"

namespace {

const std::string kBase = "/tmp/tvzip-bench";
const std::string kArchive = kBase + "/app.zip";
const std::string kDiskOut = kBase + "/out";
const std::string kShmOut = "/dev/shm/tvzip-bench-out";

void Shell(const std::string& cmd) {
  if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Binary-like content: stretches of noise between repeated structured records.
std::string BinaryData(std::mt19937_64& rnd, size_t size) {
  std::string s;
  s.reserve(size + 64);
  while (s.size() < size) {
    if (rnd() % 2) {
      for (size_t n = 32 + rnd() % 512; n; --n) {
        std::uint64_t v = rnd();
        s.append(reinterpret_cast<const char*>(&v), 8);
      }
    } else {
      std::uint64_t rec = rnd();
      for (int n = 0; n < 200; ++n) {
        s.append(reinterpret_cast<const char*>(&rec), 8);
        s.append("\0\0\x01\0MOV EAX ", 12);
        rec += 17;
      }
    }
  }
  s.resize(size);
  return s;
}

std::string TextData(std::mt19937_64& rnd, size_t size) {
  static const char* words[] = {"translation ", "project ", "glossary ", "Tramvelon ", "the ",  "of ",
                                "resource ",    "string ",  "form\r\n",   "caption=",   "Value ", "<item>"};
  std::string s;
  while (s.size() < size) s += words[rnd() % std::size(words)];
  s.resize(size);
  return s;
}

void EnsureArchive() {
  if (FileExists(Utf8ToString(kArchive))) return;
  std::fprintf(stderr, "generating %s ...\n", kArchive.c_str());
  std::string tree = kBase + "/tree";
  Shell("rm -rf " + tree + " && mkdir -p " + tree);
  std::mt19937_64 rnd(42);
  for (int i = 0; i < 3000; ++i) {
    std::string dir = tree + "/lang/" + std::to_string(i % 40) + "/forms";
    ForceDirectories(Utf8ToString(dir));
    WriteFile(dir + "/text" + std::to_string(i) + ".txt", TextData(rnd, 500 + rnd() % 12000));
  }
  ForceDirectories(Utf8ToString(tree + "/bin"));
  for (int i = 0; i < 300; ++i)
    WriteFile(tree + "/bin/module" + std::to_string(i) + ".dll", BinaryData(rnd, 100000 + rnd() % 500000));
  for (int i = 0; i < 3; ++i)
    WriteFile(tree + "/bin/large" + std::to_string(i) + ".dat", BinaryData(rnd, (20 + 10 * i) << 20));
  Shell("cd " + tree + " && zip -q -r " + kArchive + " .");
  Shell("rm -rf " + tree);
}

struct TArchive {
  TArchive() {
    EnsureArchive();
    Memory.LoadFromFile(Utf8ToString(kArchive));
  }
  TMemoryStream Memory;
};

TArchive& Archive() {
  static TArchive a;
  return a;
}

long ProcStatusKb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return 0;
}

void Extract(benchmark::State& state, const std::string& out) {
  TArchive& a = Archive();
  long extraKb = 0;
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Shell("rm -rf " + out);
    // Peak memory of this iteration beyond what is resident now (the archive included).
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = ProcStatusKb("VmRSS:");
    state.ResumeTiming();
    TKyZipReader zip;
    zip.Open(a.Memory);
    zip.Destination = Utf8ToString(out);
    zip.ExtractAll();
    bytes += zip.TotalUncompressedSize();
    state.PauseTiming();
    extraKb = std::max(extraKb, ProcStatusKb("VmHWM:") - before);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["peak_extra_MB"] = extraKb / 1024.0;
}

void Tool(benchmark::State& state, const std::string& out, const std::string& cmd) {
  TArchive& a = Archive();
  std::int64_t size = 0;
  {
    TKyZipReader zip;
    zip.Open(a.Memory);
    size = static_cast<std::int64_t>(zip.TotalUncompressedSize());
  }
  for (auto _ : state) {
    state.PauseTiming();
    Shell("rm -rf " + out + " && mkdir -p " + out);
    state.ResumeTiming();
    Shell(cmd);
  }
  state.SetBytesProcessed(size * state.iterations());
}

void BM_ListDirectory(benchmark::State& state) {
  TArchive& a = Archive();
  int entries = 0;
  for (auto _ : state) {
    TKyZipReader zip;
    zip.Open(a.Memory);
    entries = zip.EntryCount();
    benchmark::DoNotOptimize(zip.TotalUncompressedSize());
  }
  state.counters["entries"] = entries;
}

// The reader's own work (inflate, CRC, stream calls) without any file.
class TNullStream : public TStream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override { return count; }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return 0; }
};

void BM_ExtractToNull(benchmark::State& state) {
  TArchive& a = Archive();
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    TKyZipReader zip;
    zip.Open(a.Memory);
    for (int i = 0; i < zip.EntryCount(); ++i) {
      TNullStream sink;
      zip.ExtractEntry(i, sink);
    }
    bytes += zip.TotalUncompressedSize();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_InflateLimit(benchmark::State& state) {
  TArchive& a = Archive();
  TKyZipReader zip;
  zip.Open(a.Memory);
  const Byte* base = a.Memory.Memory();
  std::vector<Byte> out(256 * 1024);
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    for (const TKyZipEntry& e : zip.Entries()) {
      if (e.Method != 8) continue;
      const Byte* local = base + e.LocalHeaderOffset;
      const Byte* data = local + 30 + (local[26] | local[27] << 8) + (local[28] | local[29] << 8);
      z_stream z{};
      inflateInit2(&z, -MAX_WBITS);
      z.next_in = const_cast<Byte*>(data);
      z.avail_in = static_cast<uInt>(e.CompressedSize);
      int rc;
      do {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
      } while (rc == Z_OK);
      bytes += z.total_out;
      inflateEnd(&z);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

}  // namespace

BENCHMARK(BM_ListDirectory)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_InflateLimit)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ExtractToNull)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Extract, tvzip_tmpfs, kShmOut)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, unzip_tmpfs, kShmOut, "unzip -q -o " + kArchive + " -d " + kShmOut)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, bsdtar_tmpfs, kShmOut, "bsdtar -xf " + kArchive + " -C " + kShmOut)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, sevenzip_tmpfs, kShmOut, "7z x -y -bso0 -bsp0 -o" + kShmOut + " " + kArchive)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Extract, tvzip_disk, kDiskOut)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, unzip_disk, kDiskOut, "unzip -q -o " + kArchive + " -d " + kDiskOut)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, bsdtar_disk, kDiskOut, "bsdtar -xf " + kArchive + " -C " + kDiskOut)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(Tool, sevenzip_disk, kDiskOut, "7z x -y -bso0 -bsp0 -o" + kDiskOut + " " + kArchive)
    ->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
