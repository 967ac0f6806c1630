// Load and save of generated translation-project documents of 1, 4, 16 and 64 MB with
// this library, libxml2 and pugixml. Peak memory is the maximum resident size of a
// fresh process that only loads the file, less that of one that loads a document of a
// single element with the same library (so that the library's code and start-up count
// for neither).
// The Cold benchmarks time that load in the fresh process: a program loads a document
// once, into memory it touches for the first time, which the warm loops hide (freed
// memory is reused by the next iteration). The Process benchmarks time the whole
// process, start-up and the freeing of the document at its end included.
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <spawn.h>
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

// A document that looks like a translation project exchanged between tools: a unit per
// string with many attributes, the five named entities, decimal references, comments,
// CDATA, inline elements inside text, xml:space, and text in several scripts.
std::string Generate(size_t bytes) {
  struct TLanguage {
    const char* Code;
    const char* Text;  // a translation of "Open the file %s and continue with step"
  };
  static const TLanguage kLanguages[] = {
      {"de-DE", "Datei \xE2\x80\x9E%s\xE2\x80\x9C \xC3\xB6" "ffnen und mit Schritt"},
      {"ru-RU", "\xD0\x9E\xD1\x82\xD0\xBA\xD1\x80\xD0\xBE\xD0\xB9\xD1\x82\xD0\xB5 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB %s "
                "\xD0\xB8 \xD0\xBF\xD1\x80\xD0\xBE\xD0\xB4\xD0\xBE\xD0\xBB\xD0\xB6\xD0\xB8\xD1\x82\xD0\xB5 \xD1\x88\xD0\xB0\xD0\xB3"},
      {"ja-JP", "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB %s \xE3\x82\x92\xE9\x96\x8B\xE3\x81\x84\xE3\x81\xA6"
                "\xE6\xAC\xA1\xE3\x81\xAE\xE6\x89\x8B\xE9\xA0\x86"},
      {"el-GR", "\xCE\x86\xCE\xBD\xCE\xBF\xCE\xB9\xCE\xB3\xCE\xBC\xCE\xB1 \xCE\xB1\xCF\x81\xCF\x87\xCE\xB5\xCE\xAF\xCE\xBF\xCF\x85 %s "
                "\xCE\xB2\xCE\xAE\xCE\xBC\xCE\xB1"},
      {"ar-SA", "\xD8\xA7\xD9\x81\xD8\xAA\xD8\xAD \xD8\xA7\xD9\x84\xD9\x85\xD9\x84\xD9\x81 %s \xD9\x88\xD8\xAA\xD8\xA7\xD8\xA8\xD8\xB9 "
                "\xD8\xA7\xD9\x84\xD8\xAE\xD8\xB7\xD9\x88\xD8\xA9"},
      {"fr-FR", "Ouvrez le fichier &#171;&#160;%s&#160;&#187; et continuez &#224; l&apos;&#233;tape"},
  };
  std::string s =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\" xmlns:tv=\"urn:tramvelon:4\">\n"
      "  <!-- Tramvelon project &amp; exchange file -->\n"
      "  <file original=\"Demo &amp; Sample.tvp\" source-language=\"en-US\" datatype=\"winres\" "
      "tool-id=\"tramvelon\" date=\"2015-05-04T18:18:09Z\">\n"
      "    <header>\n      <tool tool-id=\"tramvelon\" tool-name=\"Tramvelon\" tool-version=\"4.0.354\"/>\n"
      "      <note>Strings of the main window &lt;TMainForm&gt;</note>\n    </header>\n    <body>\n";
  s.reserve(bytes + 4096);
  for (unsigned i = 0; s.size() < bytes; ++i) {
    const TLanguage& l = kLanguages[i % (sizeof kLanguages / sizeof kLanguages[0])];
    std::string id = std::to_string(i);
    s += "      <trans-unit id=\"u" + id + "\" resname=\"IDS_OPEN_FILE_" + id +
         "\" restype=\"string\" translate=\"yes\" approved=\"" + (i % 3 ? "yes" : "no") +
         "\" maxwidth=\"" + std::to_string(40 + i % 80) + "\" size-unit=\"char\" tv:changed=\"2015050418" +
         std::to_string(1000 + i % 9000) + "\" tv:author=\"J. M&#252;ller\"";
    if (i % 5 == 0) s += " xml:space=\"preserve\"";
    s += ">\n        <source xml:lang=\"en-US\">Open the file &quot;%s&quot; &amp; continue with &lt;step&gt; " + id +
         "</source>\n        <target xml:lang=\"" + l.Code + "\" state=\"" + (i % 4 ? "translated" : "needs-review-translation") +
         "\">" + l.Text + " <g id=\"1\" ctype=\"x-bold\">" + id + "</g><x id=\"2\"/> &#8211; Caf&#233;</target>\n";
    if (i % 3 == 0) s += "        <note from=\"translator\">Don&apos;t shorten: <![CDATA[<b>Open</b> & more]]></note>\n";
    if (i % 7 == 0) s += "        <!-- reviewed by the project author -->\n";
    if (i % 2 == 0)
      s += "        <context-group purpose=\"location\"><context context-type=\"sourcefile\">Main.pas</context>"
           "<context context-type=\"linenumber\">" + std::to_string(100 + i % 900) + "</context></context-group>\n";
    s += "      </trans-unit>\n";
  }
  s += "    </body>\n  </file>\n</xliff>\n";
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

// The peak resident size of this process in KB. Not the rusage of the child: at its
// start the child shares the benchmark's memory, whose high-water mark it inherits.
long OwnPeakKb() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return 0;
  char line[256];
  long kb = 0;
  while (std::fgets(line, sizeof line, f))
    if (std::sscanf(line, "VmHWM: %ld", &kb) == 1) break;
  std::fclose(f);
  return kb;
}

// A whole process that loads File with Lib and ends (freeing the document, as a tool
// does): the time from its start to its end and its peak resident size.
TFresh WholeProcess(const char* lib, const std::string& file) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  TFresh r;
  if (n <= 0) return r;
  self[n] = 0;
  std::string a0 = self, a1 = "--load", a2 = lib, a3 = file;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), nullptr};
  int fds[2];
  if (pipe(fds) != 0) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  auto start = std::chrono::steady_clock::now();
  pid_t pid;
  int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return r;
  }
  char out[64] = {};
  size_t got = 0;
  for (ssize_t k; got + 1 < sizeof out && (k = read(fds[0], out + got, sizeof out - 1 - got)) > 0;) got += static_cast<size_t>(k);
  close(fds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return r;
  r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.PeakKb = std::atol(out);
  return r;
}

// Whole processes, the mean of the iterations; peak_x is the highest peak resident
// size over the file size, peak_net_x the same less a process that loads one element.
void Process(benchmark::State& state, const char* lib) {
  std::string file = FileOf(static_cast<int>(state.range(0)));
  long peak = 0;
  for (auto _ : state) {
    TFresh r = WholeProcess(lib, file);
    if (r.PeakKb == 0) state.SkipWithError("the process failed");
    state.SetIterationTime(r.Seconds);
    peak = std::max(peak, r.PeakKb);
  }
  std::int64_t size = GetFileSize(Utf8ToString(file));
  long base = WholeProcess(lib, TinyFile()).PeakKb;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * size);
  state.counters["MB_per_s"] = benchmark::Counter(static_cast<double>(size) / 1048576.0, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["peak_x"] = static_cast<double>(peak) * 1024.0 / static_cast<double>(size);
  state.counters["peak_net_x"] = static_cast<double>(peak - base) * 1024.0 / static_cast<double>(size);
}

void BM_Process_Tramvelon(benchmark::State& state) { Process(state, "tv"); }
void BM_Process_Libxml2(benchmark::State& state) { Process(state, "libxml2"); }
void BM_Process_Pugixml(benchmark::State& state) { Process(state, "pugixml"); }

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
BENCHMARK(BM_Process_Tramvelon)->Apply(ColdSizes);
BENCHMARK(BM_Process_Libxml2)->Apply(ColdSizes);
BENCHMARK(BM_Process_Pugixml)->Apply(ColdSizes);
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
  std::printf("%ld %.6f\n", OwnPeakKb(), seconds);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--peak") return Peak(argv[2], argv[3]);
  if (argc == 4 && std::string(argv[1]) == "--load") {
    std::string lib = argv[2], file = argv[3];
    if (lib == "tv") LoadTv(file);
    if (lib == "tvpreserve") LoadTvPreserving(file);
    if (lib == "libxml2") LoadLibxml2(file);
    if (lib == "pugixml") LoadPugi(file);
    std::printf("%ld\n", OwnPeakKb());
    return 0;
  }
  // "--generate MB FILE": the document of that size, for profiling by hand.
  if (argc == 4 && std::string(argv[1]) == "--generate") {
    std::string text = Generate(static_cast<size_t>(std::atoi(argv[2])) << 20);
    FILE* f = std::fopen(argv[3], "wb");
    if (!f) return 1;
    std::fwrite(text.data(), 1, text.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
  }
  xmlInitParser();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::string cleanup = "rm -rf '" + Dir() + "'";
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
