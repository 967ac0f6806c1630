// The system proxy read from the registry (HKCU Internet Settings) under Wine.
#include <gtest/gtest.h>

#include <optional>

#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/net/kyproxy.h"
#include "tests/net/netpeers.h"

namespace {

const wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Sets the two values for one test and puts back what was there before.
class InternetSettings : public testing::Test {
 protected:
  void SetUp() override {
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    Key.Reset(raw);
    Save(L"ProxyEnable", SavedEnable);
    Save(L"ProxyServer", SavedServer);
  }
  void TearDown() override {
    Put(L"ProxyEnable", SavedEnable);
    Put(L"ProxyServer", SavedServer);
    InitializeHttpProxy();
  }

  void SetEnable(DWORD v) { RegSetValueExW(Key.Get(), L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4); }
  void SetString(const wchar_t* name, const String& v) {
    RegSetValueExW(Key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                   static_cast<DWORD>((v.size() + 1) * 2));
  }
  void Remove(const wchar_t* name) { RegDeleteValueW(Key.Get(), name); }
  void Configure(DWORD enable, const String& server) {
    SetEnable(enable);
    SetString(L"ProxyServer", server);
  }

  TKeyHandle Key;

 private:
  struct TValue {
    DWORD Type = 0;
    std::string Data;
  };
  void Save(const wchar_t* name, std::optional<TValue>& out) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(Key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return;
    TValue v;
    v.Type = type;
    v.Data.resize(size);
    RegQueryValueExW(Key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(v.Data.data()), &size);
    out = v;
  }
  void Put(const wchar_t* name, const std::optional<TValue>& v) {
    if (!v) {
      RegDeleteValueW(Key.Get(), name);
      return;
    }
    RegSetValueExW(Key.Get(), name, 0, v->Type, reinterpret_cast<const BYTE*>(v->Data.data()),
                   static_cast<DWORD>(v->Data.size()));
  }
  std::optional<TValue> SavedEnable, SavedServer;
};

TEST_F(InternetSettings, ProxyStringsOfTheRegistry) {
  struct Case {
    const char16_t* server;
    int kind;
    const char16_t* host;
    int port;
  } cases[] = {
      {u"http=proxy1:8080;https=proxy2:8443", 0, u"proxy1", 8080},
      {u"socks=proxy3", 1, u"proxy3", 80},
      {u"socks=proxy3:1080;http=proxy1", 0, u"proxy1", 80},
      {u"proxy4:abc", 0, u"proxy4", 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(StringToUtf8(c.server));
    Configure(1, c.server);
    int kind = -1, port = -1;
    String host;
    ASSERT_TRUE(ReadSystemProxy(kind, host, port));
    EXPECT_EQ(kind, c.kind);
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);

    // The start-up takes them over and the factory applies them.
    InitializeHttpProxy();
    auto client = CreateHttpClient(10000, 1000);
    if (c.kind == 0) {
      EXPECT_EQ(client->ProxyParams.ProxyServer, c.host);
      EXPECT_EQ(client->ProxyParams.ProxyPort, c.port);
      EXPECT_EQ(client->SocketHandler, nullptr);
    } else {
      ASSERT_NE(client->SocketHandler, nullptr);
      ASSERT_NE(client->SocketHandler->SocksInfo, nullptr);
      EXPECT_EQ(client->SocketHandler->SocksInfo->Version, TSocksVersion::svSocks4);
      EXPECT_EQ(client->SocketHandler->SocksInfo->Host, c.host);
      EXPECT_EQ(client->SocketHandler->SocksInfo->Port, c.port);
      EXPECT_TRUE(client->ProxyParams.ProxyServer.empty());
    }
  }
}

TEST_F(InternetSettings, DisabledMissingAndMistypedValues) {
  int kind = 0, port = 0;
  String host;
  Configure(0, u"http=proxy1:8080");  // switched off, whatever the server says
  EXPECT_FALSE(ReadSystemProxy(kind, host, port));
  InitializeHttpProxy();
  EXPECT_TRUE(UseProxy);
  EXPECT_TRUE(ProxyHost.empty());
  EXPECT_EQ(ProxyPort, 80);
  EXPECT_EQ(CreateHttpClient(1, 1)->ProxyParams.ProxyServer, u"");

  Configure(1, u"");
  EXPECT_FALSE(ReadSystemProxy(kind, host, port));
  Remove(L"ProxyServer");
  EXPECT_FALSE(ReadSystemProxy(kind, host, port));
  Remove(L"ProxyEnable");
  SetString(L"ProxyServer", u"proxy1:8080");
  EXPECT_FALSE(ReadSystemProxy(kind, host, port));

  // A value of another type is an error; the start-up then leaves the proxy empty.
  SetString(L"ProxyEnable", u"1");
  EXPECT_THROW(ReadSystemProxy(kind, host, port), ENetError);
  InitializeHttpProxy();
  EXPECT_TRUE(ProxyHost.empty());
  SetEnable(1);
  DWORD number = 5;
  RegSetValueExW(Key.Get(), L"ProxyServer", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4);
  EXPECT_THROW(ReadSystemProxy(kind, host, port), ENetError);
}

// From the registry to a request through a real proxy on the loopback interface.
TEST_F(InternetSettings, RequestsFollowTheSystemProxy) {
  TPeer server("http");
  ASSERT_TRUE(server.Running()) << server.Error();
  String url = Utf8ToString(server.Url("/text?body=4.1.2"));
  if (!TPeer::Installed("tinyproxy") || !TPeer::Installed("danted")) GTEST_SKIP() << "tinyproxy or danted missing";
  TPeer proxy("tinyproxy");
  ASSERT_TRUE(proxy.Running()) << proxy.Error();
  TPeer socks("danted");
  ASSERT_TRUE(socks.Running()) << socks.Error();

  Configure(1, u"http=127.0.0.1:" + IntToStr(proxy.Port()));
  InitializeHttpProxy();
  EXPECT_EQ(CreateHttpClient(10000, 1000)->Get(url), u"4.1.2");
  Configure(1, u"socks=127.0.0.1:" + IntToStr(socks.Port()));
  InitializeHttpProxy();
  EXPECT_EQ(CreateHttpClient(10000, 1000)->Get(url), u"4.1.2");
  socks.Stop();
  EXPECT_THROW(CreateHttpClient(10000, 1000)->Get(url), ESocketError);
}

}  // namespace
