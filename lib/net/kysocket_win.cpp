// Winsock for the Windows build.
#include "lib/core/win/kywin.h"
#include <ws2tcpip.h>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kynet.h"

namespace {

String Str(const std::string& s) { return Utf8ToString(s); }

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

struct TAddrInfo {
  addrinfo* List = nullptr;
  ~TAddrInfo() {
    if (List) freeaddrinfo(List);
  }
};

void Resolve(const std::string& host, int port, int family, TAddrInfo& out) {
  StartWinsock();
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  std::string service = std::to_string(port);
  if (host.empty() || getaddrinfo(host.c_str(), service.c_str(), &hints, &out.List) != 0 || !out.List)
    throw EResolveError(Format(SNetResolveFailed, {Str(host)}));
}

timeval ToTimeval(int ms) {
  timeval tv;
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  return tv;
}

}  // namespace

TSocket::~TSocket() {
  if (static_cast<SOCKET>(Handle_) != INVALID_SOCKET) closesocket(static_cast<SOCKET>(Handle_));
}

std::unique_ptr<TSocket> TSocket::Connect(const std::string& host, int port, int connectTimeout) {
  TAddrInfo addrs;
  Resolve(host, port, AF_UNSPEC, addrs);
  int lastError = 0;
  bool timedOut = false;
  for (addrinfo* a = addrs.List; a; a = a->ai_next) {
    SOCKET fd = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd == INVALID_SOCKET) {
      lastError = WSAGetLastError();
      continue;
    }
    std::unique_ptr<TSocket> s(new TSocket(static_cast<std::intptr_t>(fd)));
    u_long nonBlocking = 1;
    ioctlsocket(fd, FIONBIO, &nonBlocking);
    if (connect(fd, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      int err = WSAGetLastError();
      if (err != WSAEWOULDBLOCK) {
        lastError = err;
        continue;
      }
      fd_set writable, failed;
      FD_ZERO(&writable);
      FD_ZERO(&failed);
      FD_SET(fd, &writable);
      FD_SET(fd, &failed);
      timeval tv = ToTimeval(connectTimeout);
      int r = select(0, nullptr, &writable, &failed, connectTimeout > 0 ? &tv : nullptr);
      if (r == 0) {
        timedOut = true;
        continue;
      }
      int soError = 0;
      int len = sizeof soError;
      getsockopt(fd, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
      if (r < 0 || soError != 0 || FD_ISSET(fd, &failed)) {
        lastError = r < 0 ? WSAGetLastError() : (soError ? soError : WSAECONNREFUSED);
        continue;
      }
    }
    nonBlocking = 0;
    ioctlsocket(fd, FIONBIO, &nonBlocking);
    return s;
  }
  if (timedOut) throw EConnectTimeout(Format(SNetConnectTimeout, {Str(host), port}));
  throw ESocketError(Format(SNetConnectFailed, {Str(host), port, SysErrorMessage(static_cast<std::uint32_t>(lastError))}),
                     lastError);
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

std::string ResolveIPv4(const std::string& host) {
  std::string bytes;
  if (ParseIPv4(host, &bytes)) return bytes;
  TAddrInfo addrs;
  Resolve(host, 0, AF_INET, addrs);
  auto* in = reinterpret_cast<const sockaddr_in*>(addrs.List->ai_addr);
  return std::string(reinterpret_cast<const char*>(&in->sin_addr), 4);
}
