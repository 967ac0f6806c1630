// Loopback peers for the tests (tests/net/peers.py): started per test, stopped by process id.
#pragma once

#include <string>
#include <vector>

class TPeer {
 public:
  // Kind: http, socks4, tinyproxy, danted, microsocks or stall; Args are passed on to
  // peers.py. Host is the address the peer listens on.
  explicit TPeer(const std::string& kind, const std::vector<std::string>& args = {},
                 const std::string& host = "127.0.0.1");
  ~TPeer() { Stop(); }
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  bool Running() const { return Port_ > 0; }
  int Port() const { return Port_; }
  const std::string& Error() const { return Error_; }
  void Stop();
  // "http://HOST:PORT" + path.
  std::string Url(const std::string& path) const;

  // True when the program is installed (in /usr/bin or /usr/sbin).
  static bool Installed(const std::string& program);

 private:
  // Platform part: start "python3 peers.py STATUS KIND ARGS", and send SIGTERM to a pid.
  bool Launch(const std::vector<std::string>& argv);
  void Terminate();
  static std::string HostPath(const std::string& unixPath);  // how this process opens a Unix path

  std::string Host_;
  int Port_ = 0;
  long Pid_ = 0;
  long Child_ = 0;  // our own child process, when the platform lets us reap it
  std::string Error_;
};
