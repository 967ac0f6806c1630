#include "lib/net/kyhttp.h"

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
  std::unique_ptr<TSocket> socket = handler.Open(host, port, ConnectTimeout, ReadTimeout);
  socket->SetDeadline(RequestTimeout);
  socket->Send(BuildGetRequest(target, options));
  Response_ = ReadHttpResponse(*socket, Limits);
  if (Response_.StatusCode >= 300) {
    String body;
    try {
      body = DecodeHttpBody(Response_.Body, Response_.Header("Content-Type"));
    } catch (const ENetError&) {
      body = Utf8ToString(Response_.Body);  // an unknown charset must not hide the status
    }
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
