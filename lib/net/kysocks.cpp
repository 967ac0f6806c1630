#include "lib/net/kysocks.h"

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"

namespace {

std::string Port16(int port) {
  return std::string{static_cast<char>((port >> 8) & 0xFF), static_cast<char>(port & 0xFF)};
}

// A length-prefixed field of SOCKS 5 and RFC 1929: at most 255 bytes.
std::string Counted(const std::string& s) {
  if (s.size() > 255) throw ESocksError(LoadResString(SSocksFieldTooLong));
  return static_cast<char>(s.size()) + s;
}

void Socks4(TNetStream& proxy, const TSocksInfo& info, const std::string& host, int port, const TIPv4Resolver& resolve) {
  std::string user = StringToUtf8(info.Username);
  if (user.find('\0') != std::string::npos || host.find('\0') != std::string::npos)
    throw ESocksError(LoadResString(SSocksFieldTooLong));
  std::string address;
  bool byName = false;
  if (!ParseIPv4(host, &address)) {
    if (info.Version == TSocksVersion::svSocks4A) {
      address = std::string("\0\0\0\1", 4);  // 0.0.0.x: the proxy resolves the name that follows
      byName = true;
    } else {
      if (ParseIPv6(host)) throw ESocksError(Format(SSocks4NoIPv4, {Utf8ToString(host)}));
      address = resolve ? resolve(host) : ResolveIPv4(host);
      if (address.size() != 4) throw ESocksError(Format(SSocks4NoIPv4, {Utf8ToString(host)}));
    }
  }
  std::string req = "\x04\x01" + Port16(port) + address + user + '\0';
  if (byName) req += host + '\0';
  proxy.Send(req);
  unsigned char reply[8];
  proxy.ReceiveExact(reply, sizeof reply);
  if (reply[0] != 0 && reply[0] != 4) throw ESocksError(Format(SSocksBadVersion, {static_cast<int>(reply[0])}));
  if (reply[1] != 90) throw ESocksError(Format(SSocks4Rejected, {static_cast<int>(reply[1])}));
}

const TResString& Socks5Reason(int code) {
  switch (code) {
    case 1: return SSocks5GeneralFailure;
    case 2: return SSocks5NotAllowed;
    case 3: return SSocks5NetUnreachable;
    case 4: return SSocks5HostUnreachable;
    case 5: return SSocks5Refused;
    case 6: return SSocks5TtlExpired;
    case 7: return SSocks5CommandNotSupported;
    case 8: return SSocks5AddressNotSupported;
    default: return SSocks5UnknownReply;
  }
}

void Socks5(TNetStream& proxy, const TSocksInfo& info, const std::string& host, int port) {
  bool auth = info.Authentication == TSocksAuthentication::saUsernamePassword;
  std::string user = StringToUtf8(info.Username), password = StringToUtf8(info.Password);
  // Check every field before the first byte goes out.
  std::string address;
  if (ParseIPv4(host, &address)) {
    address.insert(0, 1, '\x01');
  } else if (ParseIPv6(host, &address)) {
    address.insert(0, 1, '\x04');
  } else {
    if (host.empty()) throw ESocksError(LoadResString(SSocksFieldTooLong));
    address = '\x03' + Counted(host);
  }
  std::string credentials;
  if (auth) credentials = '\x01' + Counted(user) + Counted(password);

  proxy.Send(auth ? std::string("\x05\x02\x00\x02", 4) : std::string("\x05\x01\x00", 3));
  unsigned char choice[2];
  proxy.ReceiveExact(choice, 2);
  if (choice[0] != 5) throw ESocksError(Format(SSocksBadVersion, {static_cast<int>(choice[0])}));
  if (choice[1] == 2 && auth) {
    proxy.Send(credentials);
    unsigned char status[2];
    proxy.ReceiveExact(status, 2);
    if (status[1] != 0) throw ESocksError(LoadResString(SSocks5AuthFailed));
  } else if (choice[1] != 0) {
    throw ESocksError(LoadResString(SSocks5NoMethod));
  }

  proxy.Send(std::string("\x05\x01\x00", 3) + address + Port16(port));
  unsigned char head[4];
  proxy.ReceiveExact(head, 4);
  if (head[0] != 5) throw ESocksError(Format(SSocksBadVersion, {static_cast<int>(head[0])}));
  if (head[1] != 0) {
    const TResString& reason = Socks5Reason(head[1]);
    String text = &reason == &SSocks5UnknownReply ? Format(reason, {static_cast<int>(head[1])}) : LoadResString(reason);
    throw ESocksError(Format(SSocks5Failed, {text}));
  }
  // The bound address is not used, but must be read off the stream.
  size_t rest;
  switch (head[3]) {
    case 1: rest = 4; break;
    case 4: rest = 16; break;
    case 3: {
      unsigned char len;
      proxy.ReceiveExact(&len, 1);
      rest = len;
      break;
    }
    default: throw ESocksError(Format(SSocks5Failed, {Format(SSocks5UnknownReply, {static_cast<int>(head[3])})}));
  }
  std::string skip(rest + 2, '\0');
  proxy.ReceiveExact(skip.data(), skip.size());
}

}  // namespace

void SocksConnect(TNetStream& proxy, const TSocksInfo& info, const std::string& host, int port,
                  const TIPv4Resolver& resolve) {
  if (info.Version == TSocksVersion::svSocks5)
    Socks5(proxy, info, host, port);
  else
    Socks4(proxy, info, host, port, resolve);
}

std::unique_ptr<TSocket> TSocketHandler::Open(const std::string& host, int port, int connectTimeout,
                                              int readTimeout) const {
  if (!SocksInfo || SocksInfo->Host.empty()) {
    auto s = TSocket::Connect(host, port, connectTimeout);
    s->SetReadTimeout(readTimeout);
    return s;
  }
  auto s = TSocket::Connect(StringToUtf8(SocksInfo->Host), SocksInfo->Port, connectTimeout);
  // The proxy connects on to the target while we wait for its reply: the connect time-out applies.
  s->SetReadTimeout(connectTimeout);
  SocksConnect(*s, *SocksInfo, host, port, [connectTimeout](const std::string& name) {
    return ResolveIPv4(name, connectTimeout);
  });
  s->SetReadTimeout(readTimeout);
  return s;
}
