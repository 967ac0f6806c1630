#include "lib/net/kyhttp.h"

#include <chrono>

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"

namespace {

String Latin1(const std::string& s) {
  String r;
  for (unsigned char c : s) r.push_back(c < 0x20 ? u'?' : static_cast<Char>(c));
  return r;
}

}  // namespace

void THttpClient::DoGet(StringView url) {
  Response_ = THttpResponse();
  TUrl target = ParseUrl(url);
  THttpRequestOptions options;
  options.UserAgent = StringToUtf8(UserAgent);
  std::string host = target.Host;
  int port = target.Port;
  if (!ProxyParams.ProxyServer.empty()) {
    options.ViaProxy = true;
    options.ProxyUser = StringToUtf8(ProxyParams.ProxyUsername);
    options.ProxyPassword = StringToUtf8(ProxyParams.ProxyPassword);
    host = StringToUtf8(ProxyParams.ProxyServer);
    port = ProxyParams.ProxyPort;
  }
  TSocketHandler direct;
  const TSocketHandler& handler = SocketHandler ? *SocketHandler : direct;
  // The request's time limit covers the lookup and the connection too.
  auto start = std::chrono::steady_clock::now();
  int connectTimeout = ConnectTimeout;
  if (RequestTimeout > 0 && (connectTimeout <= 0 || connectTimeout > RequestTimeout)) connectTimeout = RequestTimeout;
  std::unique_ptr<TSocket> socket = handler.Open(host, port, connectTimeout, ReadTimeout);
  if (RequestTimeout > 0) {
    auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (spent >= RequestTimeout) throw ERequestTimeout(LoadResString(SNetRequestTimeout));
    socket->SetDeadline(RequestTimeout - static_cast<int>(spent));
  }
  socket->Send(BuildGetRequest(target, options));
  Response_ = ReadHttpResponse(*socket, Limits);
  if (Response_.StatusCode >= 300) {
    String body = DecodeHttpBody(Response_.Body, Response_.Header("Content-Type"));
    throw EHttpProtocolError(Format(SHttpErrorStatus, {Latin1(Response_.Version), Response_.StatusCode,
                                                       Latin1(Response_.ReasonPhrase)}),
                             Response_.StatusCode, std::move(body), Response_.Body);
  }
}

String THttpClient::Get(StringView url) {
  DoGet(url);
  return DecodeHttpBody(Response_.Body, Response_.Header("Content-Type"));
}

RawBytes THttpClient::GetBytes(StringView url) {
  DoGet(url);
  return Response_.Body;
}
