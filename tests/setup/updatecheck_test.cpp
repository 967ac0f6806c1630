// The update check against a scripted version page on a loopback server.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kyhttp.h"
#include "setup/updatecheck.h"
#include "tests/net/netpeers.h"

namespace {

std::string Escaped(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string r;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '.' || c == '/' || c == '_') {
      r += static_cast<char>(c);
    } else {
      r += '%';
      r += hex[c >> 4];
      r += hex[c & 15];
    }
  }
  return r;
}

class UpdateCheck : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Server.Running()) << Server.Error(); }
  // The next replies of the version page.
  void Serve(const std::string& status, const std::string& body) {
    THttpClient(5000, 5000).Get(Utf8ToString(
        Server.Url("/script?path=/_inc/version.htm&status=" + Escaped(status) + "&body=" + Escaped(body))));
  }
  String Address() const { return Utf8ToString("127.0.0.1:" + std::to_string(Server.Port())); }
  // The result and the version read, as "result major.minor.build"; busy shown around it.
  std::string Check() {
    int major = -1, minor = -1, build = -1;
    Busy.clear();
    int result = CheckVersionAt(Address(), major, minor, build, [&](bool busy) { Busy.push_back(busy); });
    EXPECT_EQ(Busy, (std::vector<bool>{true, false}));
    return std::to_string(result) + " " + StringToUtf8(FormatVersion(major, minor, build));
  }
  TPeer Server{"http"};
  std::vector<bool> Busy;
};

TEST_F(UpdateCheck, ResultsOfTheVersionPage) {
  const char* cases[][3] = {
      {"200 OK", "4.0.354", "2 4.0.354"},          // this setup
      {"200 OK", "4.0.355", "0 4.0.355"},          // a newer build
      {"200 OK", "4.1.0", "0 4.1.0"},
      {"200 OK", "4.0.353", "2 4.0.353"},
      {"200 OK", "5.0.1", "1 5.0.1"},              // a later major version only
      {"200 OK", "2010 Build 900", "2 2.1.900"},   // the year form
      {"200 OK", "2009 Build", "2 1.0.0"},
      {"200 OK", " 4.0.360\r\n", "0 4.0.360"},     // a line break after the version
      {"404 Not Found", "4.1.2", "0 4.1.2"},       // a version sent with an error status
      {"404 Not Found", "<html>gone</html>", "3 0.0.0"},
      {"500 Internal Server Error", "", "3 0.0.0"},
      {"200 OK", "", "3 0.0.0"},
  };
  for (const auto& c : cases) {
    Serve(c[0], c[1]);
    EXPECT_EQ(Check(), c[2]) << c[0] << " / " << c[1];
  }
}

TEST_F(UpdateCheck, MalformedRepliesRaiseTheConversionError) {
  for (const char* reply : {"4.0", "4.x.1", "four", "Build 2010 900", "2010 Build 9a"}) {
    Serve("200 OK", reply);
    int major, minor, build;
    Busy.clear();
    EXPECT_THROW(CheckVersionAt(Address(), major, minor, build, [&](bool busy) { Busy.push_back(busy); }),
                 EConvertError)
        << reply;
    EXPECT_EQ(Busy, (std::vector<bool>{true, false})) << "the busy cursor stays after " << reply;
  }
}

TEST_F(UpdateCheck, NoServerAndTheAddresses) {
  String address = Address();
  Server.Stop();  // nothing listens on that port any more
  int major = -1, minor = -1, build = -1;
  EXPECT_EQ(CheckVersionAt(address, major, minor, build), vcNotChecked);
  EXPECT_EQ(major + minor + build, 0);
  EXPECT_EQ(DownloadPageUrl(address), u"http://" + address + u"/downloads.shtml");
  EXPECT_EQ(VersionPageUrl(u"www.tramvelon.example"), u"http://www.tramvelon.example/_inc/version.htm");
}

}  // namespace
