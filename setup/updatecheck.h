// The check for a newer setup: the version page on the maker's web server, compared with
// this setup's own version (kSetupMajor.kSetupMinor.kSetupBuild, 4.0.354).
#pragma once

#include <functional>

#include "lib/core/kytypes.h"

// Results of CheckVersion.
enum : int {
  vcNewerAvailable = 0,       // a newer setup of the same major version: offer the download page
  vcNewerMajorAvailable = 1,  // only a later major version (5 or more) is newer
  vcMostRecent = 2,           // this setup is the most recent version
  vcNotChecked = 3,           // the version could not be checked: the user may try again
};

// Called with true before the request and with false after it, whatever happened (the
// busy cursor; see ShowHourglass on Windows).
using TShowBusy = std::function<void(bool busy)>;

// The maker's web address, host or host:port: the resource string SWebAddress, a build
// setting (TV_WEB_ADDRESS).
String WebAddress();
// Test builds only: another address for this run (a local server); empty for the setting.
void SetWebAddressOverride(const String& address);
// "http://ADDRESS/_inc/version.htm" and "http://ADDRESS/downloads.shtml".
String VersionPageUrl(const String& webAddress);
String DownloadPageUrl(const String& webAddress);

// Fetches the version page from WebAddress() and compares it with this setup's version.
// Major, Minor and Build receive the version read (0 when none). The request uses
// CreateHttpClient(10000, 1000), so the system proxy applies, with the user agent
// "Tramvelon". It gives vcNotChecked for every network failure (no connection, time-out,
// name not found, a broken reply), for an empty reply and for an error status whose body
// does not begin with a digit; an error status whose body does begin with one is read as the
// reply. A reply that is not a version (fewer than three parts, a part that is not a whole
// number) raises EConvertError from ParseVersion: for the application's general handler.
int CheckVersion(int& major, int& minor, int& build, const TShowBusy& showBusy = nullptr);
// The same against another web address.
int CheckVersionAt(const String& webAddress, int& major, int& minor, int& build,
                   const TShowBusy& showBusy = nullptr);

// "major.minor.build"; or, when the text holds a blank, "YEAR WORD BUILD": the year 2010
// reads as 2.1, any other as 1.0, and a missing build as 0. Blanks around the text do not
// count. EConvertError for a part that is not a whole number or missing.
void ParseVersion(StringView text, int& major, int& minor, int& build);
// "%d.%d.%d".
String FormatVersion(int major, int minor, int build);
// The version is newer than this setup's own.
bool IsNewerThanSetup(int major, int minor, int build);

#ifdef _WIN32
// Opens DownloadPageUrl(WebAddress()) in the browser (ShellOpen, "open", SW_SHOW); true when
// the shell took it.
bool OpenDownloadPage();
// The hourglass cursor while Busy, the previous cursor afterwards: a TShowBusy.
void ShowHourglass(bool busy);
#endif
