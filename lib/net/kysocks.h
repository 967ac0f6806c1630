// SOCKS 4, 4A and 5 (with the user name and password method) and the socket handler
// that opens a client's connections, through a SOCKS proxy when one is attached.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "lib/core/kytypes.h"
#include "lib/net/kynet.h"

enum class TSocksVersion { svSocks4, svSocks4A, svSocks5 };
enum class TSocksAuthentication { saNoAuthentication, saUsernamePassword };

// Where and how to reach the SOCKS proxy.
class TSocksInfo {
 public:
  String Host;
  int Port = 1080;
  TSocksVersion Version = TSocksVersion::svSocks5;
  TSocksAuthentication Authentication = TSocksAuthentication::saNoAuthentication;
  String Username, Password;
};

// Host name to four address bytes, for SOCKS 4 (which cannot carry a name).
using TIPv4Resolver = std::function<std::string(const std::string& host)>;

// Runs the handshake on a connection to the proxy, asking it to connect to Host:Port.
// ESocksError when the proxy refuses, ENetError when its reply is cut short. Resolve
// (ResolveIPv4 when empty) is asked only by SOCKS 4, for a name.
void SocksConnect(TNetStream& proxy, const TSocksInfo& info, const std::string& host, int port,
                  const TIPv4Resolver& resolve = TIPv4Resolver());

// Opens the connections of HTTP clients: directly, or through the attached SOCKS proxy.
class TSocketHandler {
 public:
  // Not owned; null for direct connections.
  TSocksInfo* SocksInfo = nullptr;

  std::unique_ptr<TSocket> Open(const std::string& host, int port, int connectTimeout, int readTimeout) const;
};
