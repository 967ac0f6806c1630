// Winsock for the Windows build.
#include "lib/core/win/kywin.h"
#include <ws2tcpip.h>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kynet.h"
#include "lib/net/kysockaddr.h"

namespace {

// Winsock is started once for the life of the process.
void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  (void)started;
}

[[noreturn]] void RaiseSocketError(int code) {
  throw ESocketError(Format(SNetSocketError, {code, SysErrorMessage(static_cast<std::uint32_t>(code))}), code);
}

timeval ToTimeval(int ms) {
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return tv;
}

}  // namespace

std::vector<std::string> SystemResolve(const std::string& host) {
  StartWinsock();
  return GetAddrInfoAddresses(host);
}

TSocket::~TSocket() {
  if (static_cast<SOCKET>(Handle_) != INVALID_SOCKET) closesocket(static_cast<SOCKET>(Handle_));
}

std::unique_ptr<TSocket> TSocket::TryConnect(const std::string& address, int port, int wait, int& error,
                                             bool& timedOut) {
  StartWinsock();
  sockaddr_storage addr;
  int len = ToSockaddr(address, port, addr);
  SOCKET fd = socket(addr.ss_family, SOCK_STREAM, IPPROTO_TCP);
  if (fd == INVALID_SOCKET) {
    error = WSAGetLastError();
    return nullptr;
  }
  std::unique_ptr<TSocket> s(new TSocket(static_cast<std::intptr_t>(fd)));
  u_long nonBlocking = 1;
  ioctlsocket(fd, FIONBIO, &nonBlocking);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    int err = WSAGetLastError();
    if (err != WSAEWOULDBLOCK) {
      error = err;
      return nullptr;
    }
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(fd, &writable);
    FD_SET(fd, &failed);
    timeval tv = ToTimeval(wait);
    int r = select(0, nullptr, &writable, &failed, wait > 0 ? &tv : nullptr);
    if (r == 0) {
      timedOut = true;
      return nullptr;
    }
    int soError = 0;
    int soLen = sizeof soError;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &soLen);
    if (r < 0 || soError != 0 || FD_ISSET(fd, &failed)) {
      error = r < 0 ? WSAGetLastError() : (soError ? soError : WSAECONNREFUSED);
      return nullptr;
    }
  }
  nonBlocking = 0;
  ioctlsocket(fd, FIONBIO, &nonBlocking);
  return s;
}

size_t TSocket::Receive(void* buffer, size_t count) {
  SOCKET fd = static_cast<SOCKET>(Handle_);
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(fd, &readable);
  int wait = NextWait();
  timeval tv = ToTimeval(wait);
  int r = select(0, &readable, nullptr, nullptr, wait >= 0 ? &tv : nullptr);
  if (r < 0) RaiseSocketError(WSAGetLastError());
  if (r == 0) {
    NextWait();  // raises when the deadline, not the read time-out, ended the wait
    throw EReadTimeout(LoadResString(SNetReadTimeout));
  }
  int n = recv(fd, static_cast<char*>(buffer), static_cast<int>(count > 0x40000000 ? 0x40000000 : count), 0);
  if (n < 0) RaiseSocketError(WSAGetLastError());
  return static_cast<size_t>(n);
}

void TSocket::Send(const void* buffer, size_t count) {
  auto* p = static_cast<const char*>(buffer);
  while (count > 0) {
    int n = send(static_cast<SOCKET>(Handle_), p, static_cast<int>(count > 0x40000000 ? 0x40000000 : count), 0);
    if (n == SOCKET_ERROR) RaiseSocketError(WSAGetLastError());
    p += n;
    count -= static_cast<size_t>(n);
  }
}
