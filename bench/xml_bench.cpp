// Load and save of generated translation-project documents of 1, 4, 16 and 64 MB with
// this library, libxml2 and pugixml. Peak memory is the maximum resident size of a
// fresh process that only loads the file, less that of one that loads a document of a
// single element with the same library (so that the library's code and start-up count
// for neither).
// The Cold benchmarks time that load in the fresh process: a program loads a document
// once, into memory it touches for the first time, which the warm loops hide (freed
// memory is reused by the next iteration).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <map>
#include <pugixml.hpp>
#include <string>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"

namespace {

const int kSizesMb[] = {1, 4, 16, 64};

std::string Dir() {
  static std::string dir = [] {
    char tmpl[] = "/tmp/tvxmlbenchXXXXXX";
    return std::string(mkdtemp(tmpl));
  }();
  return dir;
}

// A document that looks like a translation project.
std::string Generate(size_t bytes) {
  std::string s = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- Tramvelon project -->\n"
                  "<project name=\"Demo &amp; Sample\" version=\"4\">\n"
                  "  <header created=\"20150504181809\" source=\"en\" target=\"de\"/>\n  <strings>\n";
  s.reserve(bytes + 4096);
  for (unsigned i = 0; s.size() < bytes; ++i) {
    std::string id = std::to_string(i);
    s += "    <string id=\"ID_" + id + "\" state=\"" + (i % 3 ? "translated" : "new") +
         "\" changed=\"2015050418" + std::to_string(1000 + i % 9000) + "\">\n"
         "      <source>Open the file &quot;%s&quot; &amp; continue with step " + id + "</source>\n"
         "      <target>Datei \xE2\x80\x9E%s\xE2\x80\x9C \xC3\xB6" "ffnen &amp; mit Schritt " + id +
         " fortfahren \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC</target>\n";
    if (i % 4 == 0) s += "      <comment><![CDATA[Shown in the <b>Open</b> dialog]]></comment>\n";
    if (i % 7 == 0) s += "      <!-- reviewed by the project author -->\n";
    s += "    </string>\n";
  }
  s += "  </strings>\n</project>\n";
  return s;
}

std::string FileOf(int mb) {
  static std::map<int, std::string> files;
  auto it = files.find(mb);
  if (it != files.end()) return it->second;
  std::string name = Dir() + "/project" + std::to_string(mb) + ".xml";
  std::string text = Generate(static_cast<size_t>(mb) << 20);
  FILE* f = std::fopen(name.c_str(), "wb");
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  return files[mb] = name;
}

struct TFresh {
  long PeakKb = 0;
  double Seconds = 0;
};

// A fresh process of this program that loads File with Lib ("none" loads nothing):
// its peak resident size and the time of the load.
TFresh FreshProcess(const char* lib, const std::string& file) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  TFresh r;
  if (n <= 0) return r;
  self[n] = 0;
  std::string cmd = std::string("'") + self + "' --peak " + lib + " '" + file + "'";
  FILE* p = popen(cmd.c_str(), "r");
  if (p) {
    if (std::fscanf(p, "%ld %lf", &r.PeakKb, &r.Seconds) != 2) r = TFresh{};
    pclose(p);
  }
  return r;
}

std::string TinyFile() {
  static std::string name = [] {
    std::string n = Dir() + "/tiny.xml";
    FILE* f = std::fopen(n.c_str(), "wb");
    std::fputs("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<project/>\n", f);
    std::fclose(f);
    return n;
  }();
  return name;
}

double PeakFactor(const std::string& file, const char* lib) {
  long base = FreshProcess(lib, TinyFile()).PeakKb;
  long used = FreshProcess(lib, file).PeakKb;
  std::int64_t size = GetFileSize(Utf8ToString(file));
  return static_cast<double>(used - base) * 1024.0 / static_cast<double>(size);
}

void Finish(benchmark::State& state, const std::string& file, const char* lib) {
  std::int64_t size = GetFileSize(Utf8ToString(file));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
  state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(size) / 1048576.0, benchmark::Counter::kIsIterationInvariantRate);
  if (lib) state.counters["peak_x"] = PeakFactor(file, lib);
}

void LoadTv(const std::string& file) {
  TKyXmlFile doc;
  doc.LoadFromFile(Utf8ToString(file));
}

void BM_Load_Tramvelon(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  for (auto _ : state) LoadTv(file);
  Finish(state, file, "tv");
}

void BM_Save_Tramvelon(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  TKyXmlFile doc;
  doc.LoadFromFile(Utf8ToString(file));
  String out = Utf8ToString(Dir() + "/out.xml");
  for (auto _ : state) doc.SaveToFile(out);
  Finish(state, file, nullptr);
}

void LoadTvPreserving(const std::string& file) {
  TKyXmlFile doc;
  doc.Options = xoPreserveWhiteSpace | xoTrimText;
  doc.EntityKinds = ekPredefined;
  doc.LoadFromFile(Utf8ToString(file));
}

void BM_Load_Tramvelon_Preserving(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  auto load = [&] { LoadTvPreserving(file); };
  for (auto _ : state) load();
  Finish(state, file, "tvpreserve");
}

void LoadLibxml2(const std::string& file) {
  xmlDocPtr doc = xmlReadFile(file.c_str(), nullptr, 0);
  xmlFreeDoc(doc);
}

void BM_Load_Libxml2(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  for (auto _ : state) LoadLibxml2(file);
  Finish(state, file, "libxml2");
}

void BM_Save_Libxml2(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  xmlDocPtr doc = xmlReadFile(file.c_str(), nullptr, 0);
  std::string out = Dir() + "/out.xml";
  for (auto _ : state) xmlSaveFile(out.c_str(), doc);
  xmlFreeDoc(doc);
  Finish(state, file, nullptr);
}

void LoadPugi(const std::string& file) {
  pugi::xml_document doc;
  doc.load_file(file.c_str());
}

void BM_Load_Pugixml(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  for (auto _ : state) LoadPugi(file);
  Finish(state, file, "pugixml");
}

void BM_Save_Pugixml(benchmark::State& state) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  pugi::xml_document doc;
  doc.load_file(file.c_str());
  std::string out = Dir() + "/out.xml";
  for (auto _ : state) doc.save_file(out.c_str());
  Finish(state, file, nullptr);
}

void Cold(benchmark::State& state, const char* lib) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    TFresh r = FreshProcess(lib, file);
    if (r.PeakKb == 0) state.SkipWithError("the fresh process failed");
    state.SetIterationTime(r.Seconds);
  }
  Finish(state, file, nullptr);
}

void BM_ColdLoad_Tramvelon(benchmark::State& state) { Cold(state, "tv"); }
void BM_ColdLoad_Tramvelon_Preserving(benchmark::State& state) { Cold(state, "tvpreserve"); }
void BM_ColdLoad_Libxml2(benchmark::State& state) { Cold(state, "libxml2"); }
void BM_ColdLoad_Pugixml(benchmark::State& state) { Cold(state, "pugixml"); }

void Sizes(benchmark::internal::Benchmark* b) {
  for (int mb : kSizesMb) b->Arg(mb);
  b->Unit(benchmark::kMillisecond)->MinTime(0.5);
}

void ColdSizes(benchmark::internal::Benchmark* b) {
  for (int mb : kSizesMb) b->Arg(mb);
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
}

}  // namespace

BENCHMARK(BM_Load_Tramvelon)->Apply(Sizes);
BENCHMARK(BM_Load_Tramvelon_Preserving)->Apply(Sizes);
BENCHMARK(BM_Load_Libxml2)->Apply(Sizes);
BENCHMARK(BM_Load_Pugixml)->Apply(Sizes);
BENCHMARK(BM_ColdLoad_Tramvelon)->Apply(ColdSizes);
BENCHMARK(BM_ColdLoad_Tramvelon_Preserving)->Apply(ColdSizes);
BENCHMARK(BM_ColdLoad_Libxml2)->Apply(ColdSizes);
BENCHMARK(BM_ColdLoad_Pugixml)->Apply(ColdSizes);
BENCHMARK(BM_Save_Tramvelon)->Apply(Sizes);
BENCHMARK(BM_Save_Libxml2)->Apply(Sizes);
BENCHMARK(BM_Save_Pugixml)->Apply(Sizes);

// "--peak LIB FILE": load once and print the peak resident size in KB and the
// seconds of the load (freeing the document included, as in the warm loops).
int Peak(const std::string& lib, const std::string& file) {
  auto start = std::chrono::steady_clock::now();
  if (lib == "tv") LoadTv(file);
  if (lib == "tvpreserve") LoadTvPreserving(file);
  if (lib == "libxml2") LoadLibxml2(file);
  if (lib == "pugixml") LoadPugi(file);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("%ld %.6f\n", ru.ru_maxrss, seconds);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--peak") return Peak(argv[2], argv[3]);
  xmlInitParser();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::string cleanup = "rm -rf '" + Dir() + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
