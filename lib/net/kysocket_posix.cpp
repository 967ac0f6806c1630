// BSD sockets for the native build.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kynet.h"
#include "lib/net/kysockaddr.h"

namespace {

[[noreturn]] void RaiseSocketError(int code) {
  throw ESocketError(Format(SNetSocketError, {code, SysErrorMessage(static_cast<std::uint32_t>(code))}), code);
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

std::vector<std::string> SystemResolve(const std::string& host) {
  return GetAddrInfoAddresses(host);
}

TSocket::~TSocket() {
  if (Handle_ >= 0) close(static_cast<int>(Handle_));
}

std::unique_ptr<TSocket> TSocket::TryConnect(const std::string& address, int port, int wait, int& error,
                                             bool& timedOut) {
  sockaddr_storage addr;
  auto len = static_cast<socklen_t>(ToSockaddr(address, port, addr));
  int fd = socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  std::unique_ptr<TSocket> s(new TSocket(fd));
  int flags = fcntl(fd, F_GETFL, 0);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int r = connect(fd, reinterpret_cast<const sockaddr*>(&addr), len);
  if (r != 0 && errno != EINPROGRESS) {
    error = errno;
    return nullptr;
  }
  if (r != 0) {
    if (!WaitFor(fd, POLLOUT, wait)) {
      timedOut = true;
      return nullptr;
    }
    int err = 0;
    socklen_t errLen = sizeof err;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &errLen);
    if (err != 0) {
      error = err;
      return nullptr;
    }
  }
  fcntl(fd, F_SETFL, flags);
  return s;
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
