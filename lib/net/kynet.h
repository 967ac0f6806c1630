// Network errors, the byte-stream interface the protocols run over, and the TCP socket
// of the platform (Winsock on Windows, BSD sockets elsewhere).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kytypes.h"

// Every network failure: no connection, name not found, time-out, a broken reply.
TV_DECLARE_EXCEPTION(ENetError, EKyException)
// The socket layer failed (connect, send, receive); ErrorCode is the system's code.
class ESocketError : public ENetError {
 public:
  ESocketError(String message, int errorCode = 0) : ENetError(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode;
};
TV_DECLARE_EXCEPTION(ETimeoutError, ENetError)
TV_DECLARE_EXCEPTION(EConnectTimeout, ETimeoutError)
TV_DECLARE_EXCEPTION(EReadTimeout, ETimeoutError)
TV_DECLARE_EXCEPTION(ERequestTimeout, ETimeoutError)
TV_DECLARE_EXCEPTION(EResolveError, ENetError)
// A malformed or oversized reply of an HTTP server or proxy.
TV_DECLARE_EXCEPTION(EHttpFormatError, ENetError)
// The SOCKS proxy refused or broke the handshake.
TV_DECLARE_EXCEPTION(ESocksError, ENetError)

// The server answered with an error status; the body of the reply travels with it.
class EHttpProtocolError : public ENetError {
 public:
  EHttpProtocolError(String message, int errorCode, String errorMessage, RawBytes rawBody)
      : ENetError(std::move(message)),
        ErrorCode(errorCode),
        ErrorMessage(std::move(errorMessage)),
        RawBody(std::move(rawBody)) {}
  int ErrorCode;        // the status code, 404 for example
  String ErrorMessage;  // the body, decoded by its charset
  RawBytes RawBody;
};

// A connected byte stream. Receive returns 0 when the peer closed the connection and
// raises ENetError on failure or time-out; Send writes everything or raises.
class TNetStream {
 public:
  virtual ~TNetStream() = default;
  virtual size_t Receive(void* buffer, size_t count) = 0;
  virtual void Send(const void* buffer, size_t count) = 0;
  void Send(const std::string& bytes) { Send(bytes.data(), bytes.size()); }
  // Exactly Count bytes, or ENetError when the connection ends first.
  void ReceiveExact(void* buffer, size_t count);
};

// A TCP connection. Time-outs are in milliseconds; 0 or less waits without limit.
class TSocket : public TNetStream {
 public:
  ~TSocket() override;
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  // Looks Host up (a name, or a literal IPv4 or IPv6 address) and connects to the first
  // address that answers. ConnectTimeout bounds the whole of it, the lookup included;
  // the addresses share what is left, so that one that never answers cannot use it all.
  static std::unique_ptr<TSocket> Connect(const std::string& host, int port, int connectTimeout);

  size_t Receive(void* buffer, size_t count) override;
  using TNetStream::Send;
  void Send(const void* buffer, size_t count) override;
  // The longest wait for the next received data.
  void SetReadTimeout(int ms) { ReadTimeout_ = ms; }
  int ReadTimeout() const { return ReadTimeout_; }
  // The whole exchange ends by this time (a server that trickles bytes); Ms 0 or less: none.
  void SetDeadline(int ms);

 private:
  explicit TSocket(std::intptr_t handle) : Handle_(handle) {}
  // Platform part: one connection attempt to Address (4 or 16 bytes) waiting at most Wait
  // ms (-1 without limit); null on failure, with Error set or TimedOut true.
  static std::unique_ptr<TSocket> TryConnect(const std::string& address, int port, int wait, int& error,
                                             bool& timedOut);
  // The wait for the next data in ms (-1 without limit); ERequestTimeout once the deadline passed.
  int NextWait() const;
  std::intptr_t Handle_;
  int ReadTimeout_ = 0;
  bool HasDeadline_ = false;
  std::chrono::steady_clock::time_point Deadline_;
};

// Name lookup. A resolver returns the addresses of a name, each 4 (IPv4) or 16 (IPv6)
// bytes in network order, none when the name is not found. It runs on a helper thread
// that may outlive the lookup that asked, so it must not rely on the caller's state.
using TNameResolver = std::vector<std::string> (*)(const std::string& host);
// Platform part: the system's resolver (getaddrinfo).
std::vector<std::string> SystemResolve(const std::string& host);
// Every later lookup goes through Resolver; null restores the system's. Tests map their
// own names with it, so that nothing leaves the machine.
void SetNameResolver(TNameResolver resolver);
// The addresses of Host: a literal address as it stands, a name through the resolver.
// EResolveError when it is not found; EConnectTimeout when the lookup takes longer than
// TimeoutMs (0 or less: no limit), which then finishes in the background unheeded.
std::vector<std::string> LookupHost(const std::string& host, int timeoutMs);

// The IPv4 address of a host, in network byte order (4 bytes), for SOCKS 4.
std::string ResolveIPv4(const std::string& host, int timeoutMs = 0);
// True when Text is a dotted IPv4 address; Bytes receives its four bytes.
bool ParseIPv4(const std::string& text, std::string* bytes = nullptr);
// True when Text is an IPv6 address in text form (RFC 4291, without a zone); Bytes
// receives its sixteen bytes.
bool ParseIPv6(const std::string& text, std::string* bytes = nullptr);
