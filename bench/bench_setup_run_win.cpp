// Times the setup from outside, as a user meets it, under Wine:
//
//   bench_setup_run start RUNS MINIMAL PROGRAM...
//       start-up to the first window shown and painted, RUNS times each, the minimal window
//       program and the others taking turns (one warm-up round is not counted)
//   bench_setup_run install SETUP [escape-at PATH [BYTES]]
//       the pages from start to the finish page with Next, the private memory of the
//       setup sampled all along; with escape-at, Escape is pressed as soon as PATH exists
//       (and has BYTES or more) and the time until the run stops is measured
//   bench_setup_run uninstall DISPLAYNAME
//       the uninstaller of that Apps & Features entry, confirmation to result
//
// Every figure is printed as "RESULT name value" besides the readable lines.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cctype>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <iterator>
#include <vector>

#include "lib/core/kyregistry.h"
#include "lib/core/win/kywin.h"
#include "tests/e2e/driver/kydriver.h"

namespace {

using TClock = std::chrono::steady_clock;
double Ms(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }
double MiB(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

void Result(const char* name, double value) { std::printf("RESULT %s %.2f\n", name, value); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

struct TProcess {
  THandle Handle;
  DWORD Pid = 0;
};

// CreateProcess without waiting for input idle: the clock runs from here.
bool Launch(const std::wstring& command, TProcess& p) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = command;
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  THandle thread(pi.hThread);
  p.Handle.Reset(pi.hProcess);
  p.Pid = pi.dwProcessId;
  return true;
}

// Polls every IntervalMs; false after the time-out.
template <class F>
bool Poll(F condition, int timeoutMs, int intervalMs = 1) {
  auto end = TClock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (TClock::now() > end) return false;
    Sleep(intervalMs);
  }
  return true;
}

// A visible top-level window of process Pid (0: of any process) with exactly this title,
// or with any title when Title is empty.
HWND FindTop(DWORD pid, const std::wstring& title) {
  struct TFind {
    DWORD Pid;
    const std::wstring* Title;
    HWND Found = nullptr;
  } f{pid, &title};
  EnumWindows([](HWND h, LPARAM lp) -> BOOL {
    auto* f = reinterpret_cast<TFind*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(h, &owner);
    if ((f->Pid && owner != f->Pid) || !IsWindowVisible(h)) return TRUE;
    if (!f->Title->empty()) {
      wchar_t buf[256] = {};
      GetWindowTextW(h, buf, 256);  // a window of another process: answered without a message
      if (*f->Title != buf) return TRUE;
    }
    f->Found = h;
    return FALSE;
  }, reinterpret_cast<LPARAM>(&f));
  return f.Found;
}

// The window and its visible children have no region left to paint, seen between two of
// the window thread's messages. The windows are listed once and polled for their update
// regions; only when none is left does a WM_NULL go to the thread (it returns only between
// messages, never inside a paint handler), and the regions are asked again. Sending it at
// every poll kept interrupting the painting that it waits for.
bool WaitPainted(HWND top, int timeoutMs) {
  std::vector<HWND> windows{top};
  EnumChildWindows(top, [](HWND h, LPARAM lp) -> BOOL {
    if (IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&windows));
  auto pending = [&] {
    for (HWND h : windows)
      if (GetUpdateRect(h, nullptr, FALSE)) return true;
    return false;
  };
  return Poll([&] {
    if (pending()) return false;
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored)) return false;
    return !pending();
  }, timeoutMs);
}

// Private bytes of a process sampled every 5 ms on a thread of its own: under Wine
// PagefileUsage is the process's anonymous resident memory (its heaps, stacks and copied
// image sections), PeakWorkingSetSize its peak resident set with mapped files.
class TMemorySampler {
 public:
  explicit TMemorySampler(HANDLE process) : Process_(process), Thread_([this] { Run(); }) {}
  ~TMemorySampler() { Stop(); }
  void Stop() {
    Done_ = true;
    if (Thread_.joinable()) Thread_.join();
  }
  SIZE_T PeakPrivate() const { return PeakPrivate_; }
  SIZE_T PeakResident() const { return PeakResident_; }

 private:
  void Run() {
    while (!Done_) {
      PROCESS_MEMORY_COUNTERS pmc{};
      pmc.cb = sizeof pmc;
      if (GetProcessMemoryInfo(Process_, &pmc, sizeof pmc)) {
        PeakPrivate_ = std::max<SIZE_T>(PeakPrivate_, pmc.PagefileUsage);
        PeakResident_ = std::max<SIZE_T>(PeakResident_, std::max(pmc.PeakWorkingSetSize, pmc.WorkingSetSize));
      }
      Sleep(5);
    }
  }
  HANDLE Process_;
  std::atomic<bool> Done_{false};
  std::atomic<SIZE_T> PeakPrivate_{0}, PeakResident_{0};
  std::thread Thread_;
};

SIZE_T PrivateBytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  return GetProcessMemoryInfo(process, &pmc, sizeof pmc) ? pmc.PagefileUsage : 0;
}

const wchar_t kSetupTitle[] = L"Tramvelon 4 Setup - Language";

// Ends the program as the user does: close, and Exit Setup when the setup asks.
bool CloseProgram(TDriver& d, TProcess& p, HWND main) {
  PostMessageW(main, WM_CLOSE, 0, 0);
  HWND q = nullptr;
  auto ended = [&] { return WaitForSingleObject(p.Handle.Get(), 0) == WAIT_OBJECT_0; };
  Poll([&] { return ended() || (q = FindTop(p.Pid, L"Exit Setup")) != nullptr; }, 20000);
  if (q) d.Click(d.Control(q, L"ExitButton"));
  if (WaitForSingleObject(p.Handle.Get(), 20000) == WAIT_OBJECT_0) return true;
  TerminateProcess(p.Handle.Get(), 1);
  return false;
}

bool Fail(const char* why) {
  std::fprintf(stderr, "\n%s\n", why);
  return false;
}

struct TStart {
  double Visible = 0, Painted = 0;
  SIZE_T Private = 0;
  std::wstring Title;  // of the first window
};

// From CreateProcess to the program's first top-level window visible and painted; the
// program is then closed. (Wine's CreateProcess starts the same loader as the Linux command
// "wine64 X.exe" does; both ways were measured alike.)
bool TimeStart(const std::wstring& command, TStart& out) {
  TDriver d;
  TProcess p;
  auto t0 = TClock::now();
  if (!Launch(command, p)) return Fail("cannot start");
  HWND top = nullptr;
  if (!Poll([&] { return (top = FindTop(p.Pid, L"")) != nullptr; }, 30000)) return Fail("no window");
  auto t1 = TClock::now();
  if (!WaitPainted(top, 30000)) return Fail("not painted");
  auto t2 = TClock::now();
  wchar_t title[256] = {};
  GetWindowTextW(top, title, 256);
  out = {Ms(t1 - t0), Ms(t2 - t0), PrivateBytes(p.Handle.Get()), title};
  return CloseProgram(d, p, top);
}

// A program's name in the figures: its file name without folder, extension and "bench_",
// lower case (bench_minimal_window.exe is minimal_window, Tram.exe is tram).
std::string Label(const std::wstring& command) {
  std::wstring name = command;
  name.erase(std::remove(name.begin(), name.end(), L'"'), name.end());
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  if (size_t dot = name.rfind(L'.'); dot != std::wstring::npos) name.erase(dot);
  if (name.rfind(L"bench_", 0) == 0) name.erase(0, 6);
  std::string out;
  for (wchar_t c : name) out += static_cast<char>(c < 128 ? std::tolower(c) : '_');
  return out;
}

// Programs[0] is the yardstick (the minimal window program), the others are compared with
// it; they take turns, after one warm-up round that is not counted. Every run gives the
// figures start_<label>_ms (to painted), _visible_ms and _private_mib.
int Start(int runs, const std::vector<std::wstring>& programs) {
  struct TSeries {
    std::vector<double> Painted, Visible, Private;
  };
  std::vector<TSeries> series(programs.size());
  std::vector<std::wstring> titles;
  for (int i = -1; i < runs; ++i) {
    std::printf("run %2d:", i + 1);
    for (size_t k = 0; k < programs.size(); ++k) {
      TStart t;
      if (!TimeStart(programs[k], t)) {
        std::fprintf(stderr, "%ls did not show its window\n", programs[k].c_str());
        return 1;
      }
      if (i < 0) titles.push_back(t.Title);
      std::printf(" %7.1f", t.Painted);
      if (i < 0) continue;
      series[k].Painted.push_back(t.Painted);
      series[k].Visible.push_back(t.Visible);
      series[k].Private.push_back(MiB(t.Private));
    }
    std::printf(i < 0 ? "  ms (warm-up, not counted)\n" : "\n");
  }
  for (size_t k = 0; k < programs.size(); ++k) {
    std::string name = "start_" + Label(programs[k]);
    for (size_t i = 0; i < series[k].Painted.size(); ++i) {
      Result((name + "_ms").c_str(), series[k].Painted[i]);
      Result((name + "_visible_ms").c_str(), series[k].Visible[i]);
      Result((name + "_private_mib").c_str(), series[k].Private[i]);
    }
  }
  std::printf("medians of %d runs (ms), process start to the first window painted:\n", runs);
  std::printf("%-16s %9s %9s %9s %9s %7s %9s\n", "program", "painted", "visible", "min", "max", "ratio", "private");
  for (size_t k = 0; k < programs.size(); ++k) {
    const TSeries& s = series[k];
    std::printf("%-16s %9.1f %9.1f %9.1f %9.1f %7.2f %7.1f M\n", Label(programs[k]).c_str(), Median(s.Painted),
                Median(s.Visible), *std::min_element(s.Painted.begin(), s.Painted.end()),
                *std::max_element(s.Painted.begin(), s.Painted.end()), Median(s.Painted) / Median(series[0].Painted),
                Median(s.Private));
  }
  for (size_t k = 0; k < programs.size(); ++k) std::printf("%zu: %ls, first window \"%ls\"\n", k, programs[k].c_str(), titles[k].c_str());
  return 0;
}

// The pages in page-control order.
const wchar_t* const kSheets[] = {L"StartSheet",       L"CheckSheet",     L"ExistingSheet",    L"LicenseSheet",
                                  L"SamplesSheet",     L"DictionarySheet", L"LanguagesSheet",  L"DestinationSheet",
                                  L"FolderSheet",      L"InstallSheet",   L"FinishSheet"};

bool FileReached(const std::wstring& path, ULONGLONG bytes) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return false;
  return (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32 | a.nFileSizeLow) >= bytes;
}

int Install(const std::wstring& setup, const std::wstring& escapePath, ULONGLONG escapeBytes) {
  TDriver d;
  TProcess p;
  auto t0 = TClock::now();
  if (!Launch(setup, p)) return 1;
  TMemorySampler memory(p.Handle.Get());
  HWND main = nullptr;
  if (!Poll([&] { return (main = FindTop(p.Pid, kSetupTitle)) != nullptr; }, 60000) || !WaitPainted(main, 30000)) {
    std::fprintf(stderr, "the first page did not show\n");
    return 1;
  }
  auto tFirst = TClock::now();
  // A page's window is made when the page is first shown, and its title names it: the title
  // is polled (one request to the setup's process), the sheets are looked for when it changed.
  auto title = [&] {
    wchar_t buf[256] = {};
    GetWindowTextW(main, buf, 256);
    return std::wstring(buf);
  };
  std::vector<HWND> sheets(std::size(kSheets));
  auto visibleSheet = [&] {
    for (size_t i = 0; i < sheets.size(); ++i) {
      if (!sheets[i]) sheets[i] = d.Control(main, kSheets[i]);
      if (sheets[i] && TDriver::Visible(sheets[i])) return static_cast<int>(i);
    }
    return -1;
  };
  const int finish = static_cast<int>(sheets.size()) - 1, running = finish - 1, folder = finish - 2;
  HWND next = d.Control(main, L"NextButton");
  TClock::time_point tRun{}, tEscape{};
  for (int sheet = visibleSheet(); sheet != finish;) {
    if (sheet < 0) {
      std::fprintf(stderr, "no page is visible\n");
      return 1;
    }
    std::printf("  %ls\n", kSheets[sheet]);
    std::wstring shown = title();
    d.Click(next);
    int interval = 1;
    if (sheet == folder) {
      tRun = TClock::now();
      interval = 5;
      if (!escapePath.empty()) {
        // The install page shows at once and stays until the run ends.
        if (!Poll([&] { return title() != shown; }, 60000)) {
          std::fprintf(stderr, "the install page did not show\n");
          return 1;
        }
        shown = title();
        if (!Poll([&] { return FileReached(escapePath, escapeBytes) || title() != shown; }, 600000)) {
          std::fprintf(stderr, "the run neither reached the file nor ended\n");
          return 1;
        }
        if (title() != shown) {
          std::fprintf(stderr, "the run ended before the file was reached\n");
          return 1;
        }
        d.Key(main, VK_ESCAPE);
        tEscape = TClock::now();
        interval = 1;
      }
    }
    const int before = sheet;
    // Another page than the install page, once the title changed.
    auto moved = [&] {
      std::wstring now = title();
      if (now == shown) return false;
      sheet = visibleSheet();
      if (sheet == running) shown = now;
      return sheet >= 0 && sheet != running;
    };
    if (!Poll(moved, 600000, interval)) {
      std::fprintf(stderr, "stuck on %ls\n", kSheets[before]);
      return 1;
    }
  }
  auto tFinish = TClock::now();
  memory.Stop();
  std::printf("first page %.0f ms, install run %.0f ms, start to finish page %.0f ms\n", Ms(tFirst - t0),
              Ms(tFinish - tRun), Ms(tFinish - t0));
  Result("install_first_page_ms", Ms(tFirst - t0));
  Result("install_run_ms", Ms(tFinish - tRun));
  Result("install_total_ms", Ms(tFinish - t0));
  if (!escapePath.empty()) {
    std::printf("Escape at %.0f ms of the run, stopped %.1f ms later\n", Ms(tEscape - tRun), Ms(tFinish - tEscape));
    Result("escape_at_ms", Ms(tEscape - tRun));
    Result("escape_to_stop_ms", Ms(tFinish - tEscape));
    // An entry stopped while it was written leaves neither itself nor its temporary file.
    const std::wstring temp = L".~tvz";
    bool isTemp = escapePath.size() > temp.size() && escapePath.ends_with(temp);
    std::wstring target = isTemp ? escapePath.substr(0, escapePath.size() - temp.size()) : escapePath;
    Result("escape_target_left", FileReached(target, 0) ? 1 : 0);
    Result("escape_temp_left", FileReached(target + temp, 0) ? 1 : 0);
  }
  std::printf("setup process: peak private %.1f MiB, peak resident %.1f MiB\n", MiB(memory.PeakPrivate()),
              MiB(memory.PeakResident()));
  Result("install_peak_private_mib", MiB(memory.PeakPrivate()));
  Result("install_peak_resident_mib", MiB(memory.PeakResident()));
  for (const wchar_t* check : {L"ApplicationCheck", L"ReadmeCheck"}) d.SetChecked(d.Control(main, check), false);
  d.Click(next);
  if (WaitForSingleObject(p.Handle.Get(), 30000) != WAIT_OBJECT_0) return 1;
  DWORD code = 1;
  GetExitCodeProcess(p.Handle.Get(), &code);
  return static_cast<int>(code);
}

int Uninstall(const std::wstring& displayName) {
  TRegistry reg(rkLocalMachine);
  String key = u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + FromW(displayName.c_str());
  String command = reg.OpenKeyReadOnly(key) ? reg.ReadString(u"UninstallString") : String();
  if (command.empty()) {
    std::fprintf(stderr, "no uninstall entry for %ls\n", displayName.c_str());
    return 1;
  }
  const wchar_t kTitle[] = L"Tramvelon Uninstall";
  TDriver d;
  auto t0 = TClock::now();
  if (!d.Start(L"\"" + std::wstring(W(command)) + L"\"")) return 1;
  HWND ask = d.FollowWindow(kTitle, 30000);
  HWND button = ask ? d.Control(ask, L"UninstallButton") : nullptr;
  if (!button) {
    std::fprintf(stderr, "no confirmation window\n");
    return 1;
  }
  auto tAsk = TClock::now();
  d.Click(button);
  auto tClick = TClock::now();
  HWND result = nullptr, close = nullptr;
  if (!Poll([&] {
        result = d.FollowWindow(kTitle, 0);
        return result && (close = d.Control(result, L"CloseButton")) != nullptr;
      }, 600000)) {
    std::fprintf(stderr, "no result window\n");
    return 1;
  }
  auto tResult = TClock::now();
  d.Click(close);
  int code = d.WaitExit(30000);
  std::wstring folder(W(command));
  folder.erase(folder.find_last_of(L'\\'));
  Poll([&] { return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES; }, 30000);
  auto tGone = TClock::now();
  std::printf("uninstaller: confirmation after %.0f ms, uninstall %.0f ms, folder gone %.0f ms after the click\n",
              Ms(tAsk - t0), Ms(tResult - tClick), Ms(tGone - tClick));
  Result("uninstall_ask_ms", Ms(tAsk - t0));
  Result("uninstall_run_ms", Ms(tResult - tClick));
  Result("uninstall_gone_ms", Ms(tGone - tClick));
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::wstring cmd = argc > 1 ? argv[1] : L"";
  if (cmd == L"start" && argc >= 5) return Start(_wtoi(argv[2]), std::vector<std::wstring>(argv + 3, argv + argc));
  if (cmd == L"install" && (argc == 3 || argc == 5 || argc == 6) && (argc == 3 || std::wstring(argv[3]) == L"escape-at"))
    return Install(argv[2], argc > 3 ? argv[4] : L"", argc > 5 ? _wtoi64(argv[5]) : 0);
  if (cmd == L"uninstall" && argc == 3) return Uninstall(argv[2]);
  std::fprintf(stderr,
               "usage: bench_setup_run start RUNS MINIMAL PROGRAM...\n"
               "       bench_setup_run install SETUP [escape-at PATH [BYTES]]\n"
               "       bench_setup_run uninstall DISPLAYNAME\n");
  return 2;
}
