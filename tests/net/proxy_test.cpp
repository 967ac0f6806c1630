// The system proxy string and the client factory's use of the proxy settings.
#include <gtest/gtest.h>

#include "lib/net/kyproxy.h"

namespace {

struct TParsed {
  bool Found;
  int Kind;
  String Host;
  int Port;
};

TParsed ParseServer(StringView value) {
  TParsed p{false, -1, u"unset", -1};
  p.Found = ParseProxyServer(value, p.Kind, p.Host, p.Port);
  return p;
}

TEST(SystemProxyString, EntriesAndPorts) {
  struct Case {
    const char16_t* value;
    bool found;
    int kind;
    const char16_t* host;
    int port;
  } cases[] = {
      {u"http=proxy1:8080;https=proxy2:8443", true, 0, u"proxy1", 8080},
      {u"socks=proxy3", true, 1, u"proxy3", 80},
      {u"socks=proxy3:1080;http=proxy1", true, 0, u"proxy1", 80},  // a later http entry wins
      {u"http=proxy1:81;socks=proxy3:1080", true, 0, u"proxy1", 81},  // http stops the walk
      {u"proxy4:abc", true, 0, u"proxy4", 80},
      {u"proxy4:3128", true, 0, u"proxy4", 3128},
      {u"proxy4:99999", true, 0, u"proxy4", 80},
      {u"proxy4:", true, 0, u"proxy4", 80},
      {u"HTTP=Proxy5:8000", true, 0, u"Proxy5", 8000},
      {u" ftp=f:21 ; SOCKS = s:1080 ", true, 1, u"s", 1080},
      {u"https=proxy2:8443;ftp=proxy6:21", false, -1, u"unset", -1},  // nothing usable
      {u"http=", false, 0, u"", 80},
      {u";;", false, -1, u"unset", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.value, c.value + std::char_traits<char16_t>::length(c.value)));
    TParsed p = ParseServer(c.value);
    EXPECT_EQ(p.Found, c.found);
    EXPECT_EQ(p.Kind, c.kind);
    EXPECT_EQ(p.Host, c.host);
    EXPECT_EQ(p.Port, c.port);
  }
}

class ProxySettings : public testing::Test {
 protected:
  void TearDown() override {
    UseProxy = true;
    ProxyHost.clear();
    ProxyUser.clear();
    ProxyPassword.clear();
  }
  void Set(int kind, const String& host, int port, const String& user = String(), const String& pw = String()) {
    UseProxy = true;
    ProxyKind = kind;
    ProxyHost = host;
    ProxyPort = port;
    ProxyUser = user;
    ProxyPassword = pw;
  }
};

TEST_F(ProxySettings, FactoryAppliesTheKindOfProxy) {
  Set(0, u"proxy1", 8080, u"u", u"p");
  auto http = CreateHttpClient(10000, 1000);
  EXPECT_EQ(http->ConnectTimeout, 10000);
  EXPECT_EQ(http->ReadTimeout, 1000);
  EXPECT_EQ(http->ProxyParams.ProxyServer, u"proxy1");
  EXPECT_EQ(http->ProxyParams.ProxyPort, 8080);
  EXPECT_EQ(http->ProxyParams.ProxyUsername, u"u");
  EXPECT_EQ(http->ProxyParams.ProxyPassword, u"p");
  EXPECT_EQ(http->SocketHandler, nullptr);

  const TSocksVersion versions[] = {TSocksVersion::svSocks4, TSocksVersion::svSocks4A, TSocksVersion::svSocks5,
                                    TSocksVersion::svSocks5};
  TSocketHandler* shared = nullptr;
  for (int kind = 1; kind <= 4; ++kind) {
    Set(kind, u"proxy3", 1080 + kind, kind == 3 ? u"user" : u"", u"pw");
    auto c = CreateHttpClient(5000, 1000);
    EXPECT_TRUE(c->ProxyParams.ProxyServer.empty());
    ASSERT_NE(c->SocketHandler, nullptr);
    if (shared) {
      EXPECT_EQ(c->SocketHandler, shared);  // one handler for every client
    }
    shared = c->SocketHandler;
    const TSocksInfo* s = c->SocketHandler->SocksInfo;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Host, u"proxy3");
    EXPECT_EQ(s->Port, 1080 + kind);
    EXPECT_EQ(s->Version, versions[kind - 1]);
    EXPECT_EQ(s->Authentication, kind == 3 ? TSocksAuthentication::saUsernamePassword
                                           : TSocksAuthentication::saNoAuthentication);
  }

  // No host, or the proxy switched off: a direct client.
  Set(0, u"", 80);
  auto direct = CreateHttpClient(1, 1);
  EXPECT_TRUE(direct->ProxyParams.ProxyServer.empty());
  EXPECT_EQ(direct->SocketHandler, nullptr);
  Set(1, u"proxy3", 1080);
  UseProxy = false;
  direct = CreateHttpClient(1, 1);
  EXPECT_EQ(direct->SocketHandler, nullptr);
}

}  // namespace
