// The HTTP client: GET over a fresh connection per request, directly, through an HTTP
// proxy or through the SOCKS proxy of its socket handler.
#pragma once

#include <memory>

#include "lib/core/kytypes.h"
#include "lib/net/kyhttpproto.h"
#include "lib/net/kysocks.h"

class TProxyConnectionInfo {
 public:
  String ProxyServer;  // empty: no HTTP proxy
  int ProxyPort = 80;
  String ProxyUsername, ProxyPassword;  // Basic credentials when the user name is set
};

class THttpClient {
 public:
  // Time-outs in milliseconds: for the connection and for each wait for data.
  THttpClient(int connectTimeout = 0, int readTimeout = 0) : ConnectTimeout(connectTimeout), ReadTimeout(readTimeout) {}

  int ConnectTimeout;
  int ReadTimeout;
  // The longest time for one request from the name lookup to the last byte, in ms (0: none),
  // so that a server trickling bytes cannot keep the caller waiting for ever.
  int RequestTimeout = 60000;
  String UserAgent = u"Tramvelon";
  TProxyConnectionInfo ProxyParams;
  THttpLimits Limits;
  // Opens the connections; not owned. Null for direct connections.
  TSocketHandler* SocketHandler = nullptr;

  // The body of a 2xx reply decoded by its charset (UTF-8 when none is named; see
  // DecodeHttpBody for a charset that is not supported).
  // EHttpProtocolError for any other status, with the body; ENetError for the rest.
  String Get(StringView url);
  // The same, the body's bytes as received.
  RawBytes GetBytes(StringView url);

  // The last reply (status and headers), also after an error status.
  const THttpResponse& Response() const { return Response_; }
  int ResponseCode() const { return Response_.StatusCode; }

 private:
  void DoGet(StringView url);
  THttpResponse Response_;
};
