#include "tests/net/netpeers.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

#include "lib/net/kynet.h"

TPeer::TPeer(const std::string& kind, const std::vector<std::string>& args, const std::string& host)
    : Host_(host) {
  static std::mt19937 random(std::random_device{}());
  std::string status = "/tmp/tvnet-" + std::to_string(random()) + ".status";
  std::vector<std::string> argv = {"/usr/bin/python3", std::string(TV_NET_TEST_DIR) + "/peers.py", status, kind};
  argv.insert(argv.end(), args.begin(), args.end());
  if (!Launch(argv)) {
    Error_ = "cannot start " + kind;
    return;
  }
  std::string local = HostPath(status);
  for (int i = 0; i < 200 && Port_ == 0; ++i) {
    std::ifstream f(local);
    long port = 0, pid = 0;
    if (f >> port >> pid) {
      Port_ = static_cast<int>(port);
      Pid_ = pid;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::remove(local.c_str());
  if (Port_ == 0) Error_ = kind + " did not start listening";
}

void TPeer::Stop() {
  if (Pid_ != 0) {
    Terminate();
    // Stopping may be asynchronous (under Wine): wait until the port refuses connections.
    for (int i = 0; i < 100; ++i) {
      try {
        TSocket::Connect(Host_, Port_, 1000);
      } catch (const ENetError&) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  Pid_ = 0;
  Port_ = 0;
}

std::string TPeer::Url(const std::string& path) const { return "http://" + Host_ + ":" + std::to_string(Port_) + path; }

bool TPeer::Installed(const std::string& program) {
  for (const char* dir : {"/usr/bin/", "/usr/sbin/"}) {
    std::ifstream f(HostPath(dir + program));
    if (f) return true;
  }
  return false;
}
