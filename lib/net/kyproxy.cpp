#include "lib/net/kyproxy.h"

#include "lib/core/kysysutils.h"

bool UseProxy = false;
String ProxyHost;
int ProxyPort = 0;
int ProxyKind = 0;
String ProxyUser, ProxyPassword;

namespace {

// Shared by every client and created on first use; they live until the program ends.
std::unique_ptr<TSocksInfo> SharedSocksInfo;
std::unique_ptr<TSocketHandler> SharedSocketHandler;

// "host[:port]"; the port is 80 when it is missing, not a number or out of range.
void SplitHostPort(StringView text, String& host, int& port) {
  size_t colon = text.find(u':');
  host = String(text.substr(0, colon));
  port = 80;
  if (colon == StringView::npos) return;
  StringView rest = text.substr(colon + 1);
  rest = rest.substr(0, rest.find(u':'));
  if (rest.empty() || rest.size() > 5) return;
  int value = 0;
  for (Char c : rest) {
    if (c < u'0' || c > u'9') return;
    value = value * 10 + (c - u'0');
  }
  if (value >= 1 && value <= 65535) port = value;
}

}  // namespace

bool ParseProxyServer(StringView value, int& kind, String& host, int& port) {
  bool result = false;
  while (!value.empty()) {
    size_t semi = value.find(u';');
    String entry = TrimBlanks(value.substr(0, semi));
    value = semi == StringView::npos ? StringView() : value.substr(semi + 1);
    size_t eq = entry.find(u'=');
    if (eq == String::npos) {
      if (entry.empty()) continue;
      kind = 0;
      SplitHostPort(entry, host, port);
      return true;
    }
    String name = TrimBlanks(StringView(entry).substr(0, eq));
    String rest = TrimBlanks(StringView(entry).substr(eq + 1));
    if (SameText(name, u"http")) {
      kind = 0;
      SplitHostPort(rest, host, port);
      return !host.empty();
    }
    if (SameText(name, u"socks")) {
      kind = 1;
      SplitHostPort(rest, host, port);
      result = true;
    }
  }
  return result;
}

bool ReadSystemProxy(int& kind, String& host, int& port) {
  int enable = 0;
  String server;
  if (!ReadInternetSettings(enable, server) || enable == 0 || server.empty()) return false;
  return ParseProxyServer(server, kind, host, port);
}

void InitializeHttpProxy() {
  UseProxy = true;
  SharedSocketHandler.reset();
  SharedSocksInfo.reset();
  ProxyHost.clear();
  ProxyPort = 0;
  ProxyKind = 0;
  try {
    int kind = 0, port = 80;
    String host;
    if (ReadSystemProxy(kind, host, port)) {
      ProxyHost = host;
      ProxyPort = port;
      ProxyKind = kind;
    } else {
      ProxyPort = 80;
    }
  } catch (const Exception&) {
    // An unreadable setting: no proxy, requests go out directly.
  }
  ProxyUser.clear();
  ProxyPassword.clear();
}

std::unique_ptr<THttpClient> CreateHttpClient(int connectTimeout, int readTimeout) {
  auto client = std::make_unique<THttpClient>(connectTimeout, readTimeout);
  if (!UseProxy || ProxyHost.empty()) return client;
  if (ProxyKind == 0) {
    client->ProxyParams.ProxyServer = ProxyHost;
    client->ProxyParams.ProxyPort = ProxyPort;
    client->ProxyParams.ProxyUsername = ProxyUser;
    client->ProxyParams.ProxyPassword = ProxyPassword;
    return client;
  }
  if (!SharedSocksInfo) SharedSocksInfo = std::make_unique<TSocksInfo>();
  if (!SharedSocketHandler) SharedSocketHandler = std::make_unique<TSocketHandler>();
  client->SocketHandler = SharedSocketHandler.get();
  SharedSocksInfo->Host = ProxyHost;
  SharedSocksInfo->Port = ProxyPort;
  SharedSocksInfo->Version = ProxyKind == 1   ? TSocksVersion::svSocks4
                             : ProxyKind == 2 ? TSocksVersion::svSocks4A
                                              : TSocksVersion::svSocks5;
  SharedSocksInfo->Authentication =
      ProxyUser.empty() ? TSocksAuthentication::saNoAuthentication : TSocksAuthentication::saUsernamePassword;
  SharedSocksInfo->Username = ProxyUser;
  SharedSocksInfo->Password = ProxyPassword;
  SharedSocketHandler->SocksInfo = SharedSocksInfo.get();
  return client;
}

bool TryHttpGetBytes(const String& url, int connectTimeout, int readTimeout, RawBytes& body) {
  body.clear();
  try {
    body = CreateHttpClient(connectTimeout, readTimeout)->GetBytes(url);
    return true;
  } catch (const Exception&) {
    return false;
  }
}
