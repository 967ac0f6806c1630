// Under Wine a Windows program can start a Unix program by its Z: path; it gets no
// usable process handle, so the peer's own pid (from its status file) stops it.
#include <windows.h>

#include "tests/net/netpeers.h"

namespace {

bool Run(const std::vector<std::string>& argv) {
  std::wstring cmd;
  for (const auto& a : argv) {
    if (!cmd.empty()) cmd += L' ';
    cmd += L'"';
    cmd += std::wstring(a.begin(), a.end());
    cmd += L'"';
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  return true;
}

}  // namespace

bool TPeer::Launch(const std::vector<std::string>& argv) {
  std::vector<std::string> a = argv;
  a[0] = HostPath(a[0]);
  return Run(a);
}

void TPeer::Terminate() {
  Run({HostPath("/usr/bin/python3"), "-c", "import os; os.kill(" + std::to_string(Pid_) + ", 15)"});
  Sleep(100);
}

std::string TPeer::HostPath(const std::string& unixPath) {
  std::string r = "Z:" + unixPath;
  for (char& c : r)
    if (c == '/') c = '\\';
  return r;
}
