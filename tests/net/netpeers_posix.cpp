#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "tests/net/netpeers.h"

extern char** environ;

bool TPeer::Launch(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  Child_ = pid;
  return true;
}

void TPeer::Terminate() {
  kill(static_cast<pid_t>(Pid_), SIGTERM);
  if (Child_ != 0) waitpid(static_cast<pid_t>(Child_), nullptr, 0);
  Child_ = 0;
}

std::string TPeer::HostPath(const std::string& unixPath) { return unixPath; }
