// The client against real peers on the loopback interface: the scripted HTTP server of
// peers.py, tinyproxy, danted, microsocks and a scripted SOCKS 4/4A proxy.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "lib/core/kysysutils.h"
#include "lib/net/kyhttp.h"
#include "lib/net/kyproxy.h"
#include "tests/net/netpeers.h"

namespace {

String U(const std::string& s) { return Utf8ToString(s); }

// Starts a peer or ends the test: skipped when the program is not installed.
std::unique_ptr<TPeer> Start(const std::string& kind, const std::vector<std::string>& args = {}) {
  auto p = std::make_unique<TPeer>(kind, args);
  return p;
}

#define START_PEER(var, kind, ...)                                                           \
  if (std::string(kind) != "http" && std::string(kind) != "socks4" && !TPeer::Installed(kind)) \
    GTEST_SKIP() << kind << " is not installed";                                             \
  auto var = Start(kind, ##__VA_ARGS__);                                                     \
  ASSERT_TRUE(var->Running()) << var->Error();

class HttpPeer : public testing::Test {
 protected:
  void SetUp() override {
    Server = std::make_unique<TPeer>("http");
    ASSERT_TRUE(Server->Running()) << Server->Error();
  }
  String Url(const std::string& path) { return U(Server->Url(path)); }
  std::unique_ptr<TPeer> Server;
};

TEST_F(HttpPeer, BodiesByTheirFramingAndCharset) {
  THttpClient c(5000, 5000);
  EXPECT_EQ(c.Get(Url("/text?body=4.0.354&type=text/plain")), u"4.0.354");
  EXPECT_EQ(c.ResponseCode(), 200);
  EXPECT_EQ(c.Get(Url("/chunked")), u"Hello, chunked world");
  EXPECT_EQ(c.Get(Url("/close?body=read+to+the+end")), u"read to the end");
  EXPECT_EQ(c.Get(Url("/continue")), u"after interim");
  // Charset named in the reply, and UTF-8 when none is named.
  EXPECT_EQ(c.Get(Url("/text?body=caf%C3%A9&encoding=latin-1&type=text/plain;+charset=ISO-8859-1")), u"caf\u00E9");
  EXPECT_EQ(c.Get(Url("/text?body=Gr%C3%BC%C3%9Fe+%E2%82%AC&type=text/plain")), u"Grüße €");
  EXPECT_EQ(c.GetBytes(Url("/text?body=caf%C3%A9&encoding=latin-1")), "caf\xE9");
}

TEST_F(HttpPeer, RequestCarriesUserAgentHostAndClose) {
  THttpClient c(5000, 5000);
  c.UserAgent = u"Tramvelon";
  String echo = c.Get(Url("/echo?x=1"));
  EXPECT_EQ(echo.substr(0, echo.find(u"\r\n")), u"GET /echo?x=1 HTTP/1.1");
  EXPECT_NE(echo.find(u"\r\nUser-Agent: Tramvelon\r\n"), String::npos);
  EXPECT_NE(echo.find(u"\r\nHost: 127.0.0.1:" + U(std::to_string(Server->Port())) + u"\r\n"), String::npos);
  EXPECT_NE(echo.find(u"\r\nConnection: close"), String::npos);
}

TEST_F(HttpPeer, ErrorStatusCarriesTheBody) {
  THttpClient c(5000, 5000);
  try {
    c.Get(Url("/text?status=404+Not+Found&body=4.1.2"));
    FAIL() << "no error for status 404";
  } catch (const EHttpProtocolError& e) {
    EXPECT_EQ(e.ErrorCode, 404);
    EXPECT_EQ(e.ErrorMessage, u"4.1.2");
    EXPECT_EQ(e.RawBody, "4.1.2");
    EXPECT_NE(e.Message().find(u"404"), String::npos);
  }
  EXPECT_THROW(c.GetBytes(Url("/text?status=500+Oops")), EHttpProtocolError);
  EXPECT_THROW(c.Get(Url("/text?status=301+Moved")), EHttpProtocolError);
}

TEST_F(HttpPeer, BytesOrNothingForExternalDocuments) {
  UseProxy = true;
  ProxyHost.clear();
  RawBytes body = "stale";
  EXPECT_TRUE(TryHttpGetBytes(Url("/chunked"), 5000, 1000, body));
  EXPECT_EQ(body, "Hello, chunked world");
  EXPECT_FALSE(TryHttpGetBytes(Url("/text?status=404+Not+Found&body=<html/>"), 5000, 1000, body));
  EXPECT_TRUE(body.empty());
  EXPECT_FALSE(TryHttpGetBytes(u"ftp://127.0.0.1/", 5000, 1000, body));
}

TEST_F(HttpPeer, SilentSlowAndBrokenServers) {
  THttpClient c(5000, 300);
  EXPECT_THROW(c.Get(Url("/silent?seconds=5")), EReadTimeout);
  // The read time-out is per wait, not for the whole reply.
  THttpClient patient(5000, 2000);
  EXPECT_EQ(patient.Get(Url("/slow?pause=0.5")), u"slow body");
  EXPECT_THROW(patient.Get(Url("/truncated")), EHttpFormatError);
  // Data that keeps coming slowly is stopped by the request's own time limit.
  patient.RequestTimeout = 800;
  EXPECT_THROW(patient.Get(Url("/trickle")), ERequestTimeout);
}

TEST_F(HttpPeer, EndlessRepliesHitTheLimits) {
  THttpClient c(5000, 5000);
  EXPECT_THROW(c.Get(Url("/endless-header")), EHttpFormatError);
  EXPECT_THROW(c.Get(Url("/huge")), EHttpFormatError);            // declared too large
  EXPECT_THROW(c.Get(Url("/huge?close=1")), EHttpFormatError);    // streams without end
  c.Limits.MaxBodySize = 100 * 1024 * 1024;
  c.Limits.MaxHeaderSize = 64;
  EXPECT_THROW(c.Get(Url("/echo")), EHttpFormatError);
}

// Names of the tests, mapped here so that no lookup leaves the machine. 127.0.0.2 and
// 127.0.0.3 are the stalled listeners of a "stall" peer.
std::vector<std::string> TestNames(const std::string& host) {
  const std::string local("\x7f\0\0\1", 4), stalled2("\x7f\0\0\2", 4), stalled3("\x7f\0\0\3", 4);
  if (host == "peer.test") return {local};
  if (host == "stalled.test") return {stalled2, stalled3};
  if (host == "stalled-first.test") return {stalled2, stalled3, stalled2, local};
  if (host == "slow.test") {
    std::this_thread::sleep_for(std::chrono::seconds(3));
    return {local};
  }
  return {};
}

class TestResolver : public HttpPeer {
 protected:
  void SetUp() override {
    HttpPeer::SetUp();
    SetNameResolver(TestNames);
  }
  void TearDown() override { SetNameResolver(nullptr); }
  String At(const std::string& host, const std::string& path) {
    return U("http://" + host + ":" + std::to_string(Server->Port()) + path);
  }
};

TEST_F(TestResolver, RefusedUnknownSlowAndStalledHosts) {
  THttpClient c(1000, 2000);
  EXPECT_EQ(c.Get(At("peer.test", "/text?body=found")), u"found");
  EXPECT_THROW(c.Get(At("nowhere.test", "/")), EResolveError);
  // A lookup that outlasts the connect time-out ends the request with it.
  EXPECT_THROW(c.Get(At("slow.test", "/text?body=late")), EConnectTimeout);

  TPeer stall("stall", {"--port", std::to_string(Server->Port()), "--addresses", "127.0.0.2,127.0.0.3"}, "127.0.0.2");
  ASSERT_TRUE(stall.Running()) << stall.Error();
  EXPECT_THROW(c.Get(At("stalled.test", "/")), EConnectTimeout);
  // Addresses that never answer leave the ones after them a share of the time-out.
  EXPECT_EQ(c.Get(At("stalled-first.test", "/text?body=reached")), u"reached");

  String url = At("peer.test", "/text?body=x");
  Server->Stop();  // nothing listens on that port any more
  EXPECT_THROW(c.Get(url), ESocketError);
}

TEST_F(HttpPeer, ThroughTinyproxyWithBasicCredentials) {
  START_PEER(proxy, "tinyproxy", {"--user", "tv", "--password", "s3cret"});
  THttpClient c(5000, 5000);
  c.ProxyParams.ProxyServer = u"127.0.0.1";
  c.ProxyParams.ProxyPort = proxy->Port();
  c.ProxyParams.ProxyUsername = u"tv";
  c.ProxyParams.ProxyPassword = u"s3cret";
  String echo = c.Get(Url("/echo"));
  EXPECT_NE(echo.find(u"\r\nVia: 1.1 tvtest"), String::npos) << StringToUtf8(echo);
  c.ProxyParams.ProxyPassword = u"wrong";
  try {
    c.Get(Url("/echo"));
    FAIL() << "the proxy accepted a wrong password";
  } catch (const EHttpProtocolError& e) {
    // tinyproxy 1.11 answers 401 where 407 would be usual; either is a refusal.
    EXPECT_TRUE(e.ErrorCode == 407 || e.ErrorCode == 401) << e.ErrorCode;
  }
}

// Stopping the proxy must break requests that were meant to go through it.
void ExpectRoutedThrough(TPeer& proxy, THttpClient& c, const String& url) {
  proxy.Stop();
  EXPECT_THROW(c.Get(url), ESocketError);
}

TEST_F(HttpPeer, ThroughSocks4AndSocks4A) {
  TSocksInfo info;
  info.Host = u"127.0.0.1";
  TSocketHandler handler;
  handler.SocksInfo = &info;
  THttpClient c(5000, 5000);
  c.SocketHandler = &handler;
  std::string path = "/text?body=via+socks&type=text/plain";
  {
    START_PEER(danted, "danted");
    info.Port = danted->Port();
    info.Version = TSocksVersion::svSocks4;
    EXPECT_EQ(c.Get(U("http://localhost:" + std::to_string(Server->Port()) + path)), u"via socks");
    ExpectRoutedThrough(*danted, c, Url(path));
  }
  START_PEER(socks4, "socks4");
  info.Port = socks4->Port();
  info.Version = TSocksVersion::svSocks4A;
  EXPECT_EQ(c.Get(U("http://localhost:" + std::to_string(Server->Port()) + path)), u"via socks");
  EXPECT_EQ(c.Get(Url(path)), u"via socks");
  // The scripted proxy connects to loopback names only: a refusal surfaces as a SOCKS error.
  EXPECT_THROW(c.Get(u"http://elsewhere.invalid/"), ESocksError);
  ExpectRoutedThrough(*socks4, c, Url(path));
}

TEST_F(HttpPeer, ThroughSocks5WithUserNameAndPassword) {
  START_PEER(socks, "microsocks", {"--user", "tv", "--password", "s3cret"});
  TSocksInfo info;
  info.Host = u"127.0.0.1";
  info.Port = socks->Port();
  info.Version = TSocksVersion::svSocks5;
  info.Authentication = TSocksAuthentication::saUsernamePassword;
  info.Username = u"tv";
  info.Password = u"s3cret";
  TSocketHandler handler;
  handler.SocksInfo = &info;
  THttpClient c(5000, 5000);
  c.SocketHandler = &handler;
  EXPECT_EQ(c.Get(U("http://localhost:" + std::to_string(Server->Port()) + "/chunked")), u"Hello, chunked world");
  info.Password = u"wrong";
  EXPECT_THROW(c.Get(Url("/chunked")), ESocksError);
  info.Authentication = TSocksAuthentication::saNoAuthentication;
  EXPECT_THROW(c.Get(Url("/chunked")), ESocksError);
}

// The factory with the module's settings pointing at loopback proxies.
TEST_F(HttpPeer, FactoryRoutesThroughTheConfiguredProxy) {
  struct Restore {
    ~Restore() {
      ProxyHost.clear();
      ProxyUser.clear();
      ProxyPassword.clear();
    }
  } restore;
  UseProxy = true;
  ProxyHost = u"127.0.0.1";
  std::string path = "/text?body=4.1.2";
  {
    START_PEER(proxy, "tinyproxy");
    ProxyKind = 0;
    ProxyPort = proxy->Port();
    EXPECT_EQ(CreateHttpClient(10000, 1000)->Get(Url(path)), u"4.1.2");
    auto c = CreateHttpClient(10000, 1000);
    ExpectRoutedThrough(*proxy, *c, Url(path));
  }
  START_PEER(socks, "microsocks");
  for (int kind : {3, 7}) {
    ProxyKind = kind;
    ProxyPort = socks->Port();
    EXPECT_EQ(CreateHttpClient(10000, 1000)->Get(Url(path)), u"4.1.2");
  }
  auto c = CreateHttpClient(10000, 1000);
  ExpectRoutedThrough(*socks, *c, Url(path));
}

}  // namespace
