// Winsock for the Windows build.
#include "lib/core/win/kywin.h"
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kynet.h"

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

// A socket address of 4 or 16 address bytes.
int ToSockaddr(const std::string& address, int port, sockaddr_storage& out) {
  out = sockaddr_storage{};
  if (address.size() == 4) {
    auto* in = reinterpret_cast<sockaddr_in*>(&out);
    in->sin_family = AF_INET;
    in->sin_port = htons(static_cast<u_short>(port));
    std::memcpy(&in->sin_addr, address.data(), 4);
    return sizeof(sockaddr_in);
  }
  auto* in6 = reinterpret_cast<sockaddr_in6*>(&out);
  in6->sin6_family = AF_INET6;
  in6->sin6_port = htons(static_cast<u_short>(port));
  std::memcpy(&in6->sin6_addr, address.data(), 16);
  return sizeof(sockaddr_in6);
}

}  // namespace

std::vector<std::string> SystemResolve(const std::string& host) {
  StartWinsock();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* list = nullptr;
  std::vector<std::string> out;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return out;
  for (addrinfo* a = list; a; a = a->ai_next) {
    std::string bytes;
    if (a->ai_family == AF_INET)
      bytes.assign(reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr), 4);
    else if (a->ai_family == AF_INET6)
      bytes.assign(reinterpret_cast<const char*>(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr), 16);
    if (!bytes.empty() && std::find(out.begin(), out.end(), bytes) == out.end()) out.push_back(bytes);
  }
  freeaddrinfo(list);
  return out;
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
