// BSD sockets for the native build.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kynet.h"

namespace {

String Str(const std::string& s) { return Utf8ToString(s); }

[[noreturn]] void RaiseSocketError(int code) {
  throw ESocketError(Format(SNetSocketError, {code, SysErrorMessage(static_cast<std::uint32_t>(code))}), code);
}

struct TAddrInfo {
  addrinfo* List = nullptr;
  ~TAddrInfo() {
    if (List) freeaddrinfo(List);
  }
};

void Resolve(const std::string& host, int port, int family, TAddrInfo& out) {
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  std::string service = std::to_string(port);
  if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &out.List) != 0 || !out.List)
    throw EResolveError(Format(SNetResolveFailed, {Str(host)}));
}

// Waits for the events on Fd; false on time-out.
bool WaitFor(int fd, short events, int timeout) {
  pollfd p{fd, events, 0};
  for (;;) {
    int r = poll(&p, 1, timeout > 0 ? timeout : -1);
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) RaiseSocketError(errno);
  }
}

}  // namespace

TSocket::~TSocket() {
  if (Handle_ >= 0) close(static_cast<int>(Handle_));
}

std::unique_ptr<TSocket> TSocket::Connect(const std::string& host, int port, int connectTimeout) {
  TAddrInfo addrs;
  Resolve(host, port, AF_UNSPEC, addrs);
  int lastError = 0;
  bool timedOut = false;
  for (addrinfo* a = addrs.List; a; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      lastError = errno;
      continue;
    }
    std::unique_ptr<TSocket> s(new TSocket(fd));
    int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int r = connect(fd, a->ai_addr, a->ai_addrlen);
    if (r != 0 && errno != EINPROGRESS) {
      lastError = errno;
      continue;
    }
    if (r != 0) {
      if (!WaitFor(fd, POLLOUT, connectTimeout)) {
        timedOut = true;
        continue;
      }
      int err = 0;
      socklen_t len = sizeof err;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
      if (err != 0) {
        lastError = err;
        continue;
      }
    }
    fcntl(fd, F_SETFL, flags);
    return s;
  }
  if (timedOut) throw EConnectTimeout(Format(SNetConnectTimeout, {Str(host), port}));
  throw ESocketError(Format(SNetConnectFailed, {Str(host), port, SysErrorMessage(static_cast<std::uint32_t>(lastError))}),
                     lastError);
}

size_t TSocket::Receive(void* buffer, size_t count) {
  int fd = static_cast<int>(Handle_);
  int wait = NextWait();
  if (!WaitFor(fd, POLLIN, wait)) {
    NextWait();  // raises when the deadline, not the read time-out, ended the wait
    throw EReadTimeout(LoadResString(SNetReadTimeout));
  }
  for (;;) {
    ssize_t n = recv(fd, buffer, count, 0);
    if (n >= 0) return static_cast<size_t>(n);
    if (errno != EINTR) RaiseSocketError(errno);
  }
}

void TSocket::Send(const void* buffer, size_t count) {
  auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = send(static_cast<int>(Handle_), p, count, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseSocketError(errno);
    }
    p += n;
    count -= static_cast<size_t>(n);
  }
}

std::string ResolveIPv4(const std::string& host) {
  std::string bytes;
  if (ParseIPv4(host, &bytes)) return bytes;
  TAddrInfo addrs;
  Resolve(host, 0, AF_INET, addrs);
  auto* in = reinterpret_cast<const sockaddr_in*>(addrs.List->ai_addr);
  return std::string(reinterpret_cast<const char*>(&in->sin_addr), 4);
}
