#include "setup/updatecheck.h"

#include "resstrings.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystrutils.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kyproxy.h"
#include "setup/setupstart.h"

namespace {

// The reply of the version page, or nothing when the version could not be checked.
bool FetchVersionText(const String& webAddress, String& reply) {
  try {
    auto client = CreateHttpClient(10000, 1000);
    client->UserAgent = kProductName;
    reply = client->Get(VersionPageUrl(webAddress));
  } catch (const EHttpProtocolError& e) {
    // A server may send the version with an error status.
    reply = e.ErrorMessage;
    Trim(reply);
    return !reply.empty() && reply[0] >= u'0' && reply[0] <= u'9';
  } catch (const Exception&) {
    return false;
  }
  Trim(reply);  // a line break after the version is no part of it
  return !reply.empty();
}

}  // namespace

namespace {
String& WebAddressOverride() {
  static String address;
  return address;
}
}  // namespace

String WebAddress() { return WebAddressOverride().empty() ? LoadResString(SWebAddress) : WebAddressOverride(); }

void SetWebAddressOverride(const String& address) { WebAddressOverride() = address; }

String VersionPageUrl(const String& webAddress) { return Format(u"http://%s/_inc/version.htm", {webAddress}); }

String DownloadPageUrl(const String& webAddress) { return Format(u"http://%s/downloads.shtml", {webAddress}); }

int CheckVersion(int& major, int& minor, int& build, const TShowBusy& showBusy) {
  return CheckVersionAt(WebAddress(), major, minor, build, showBusy);
}

int CheckVersionAt(const String& webAddress, int& major, int& minor, int& build, const TShowBusy& showBusy) {
  major = minor = build = 0;
  struct TBusy {
    const TShowBusy& Show;
    explicit TBusy(const TShowBusy& show) : Show(show) {
      if (Show) Show(true);
    }
    ~TBusy() {
      if (Show) Show(false);
    }
  } busy(showBusy);
  String reply;
  if (!FetchVersionText(webAddress, reply)) return vcNotChecked;
  ParseVersion(reply, major, minor, build);
  if (!IsNewerThanSetup(major, minor, build)) return vcMostRecent;
  return major >= kSetupMajor + 1 ? vcNewerMajorAvailable : vcNewerAvailable;
}

void ParseVersion(StringView text, int& major, int& minor, int& build) {
  String rest(text);
  Trim(rest);
  if (rest.find_first_of(u" \t") == String::npos) {
    // major.minor.build: a missing part fails its conversion like a bad one.
    String parts[3];
    for (String& part : parts) {
      size_t dot = rest.find(u'.');
      part = rest.substr(0, dot);
      rest = dot == String::npos ? String() : rest.substr(dot + 1);
    }
    major = StrToInt(parts[0]);
    minor = StrToInt(parts[1]);
    build = StrToInt(parts[2]);
    return;
  }
  // "2010 Build 123": the year names the version line.
  int year = StrToInt(TakeWord(rest, true));
  major = year == 2010 ? 2 : 1;
  minor = year == 2010 ? 1 : 0;
  TakeWord(rest, true);
  String word = TakeWord(rest, true);
  build = word.empty() ? 0 : StrToInt(word);
}

String FormatVersion(int major, int minor, int build) { return Format(u"%d.%d.%d", {major, minor, build}); }

bool IsNewerThanSetup(int major, int minor, int build) {
  if (major != kSetupMajor) return major > kSetupMajor;
  if (minor != kSetupMinor) return minor > kSetupMinor;
  return build > kSetupBuild;
}
