// Native stand-ins: the portable tests run the version logic through the seam and answer
// message boxes through the hook; without them there is no Windows to ask.
#include <unistd.h>

#include <cstdio>

#include "lib/core/kysysutils.h"
#include "lib/core/kysystem.h"

// Natively this counts as the newest workstation.
bool PlatformIsWindowsVersion(int major, int minor, int servicePack) {
  return WindowsVersionAtLeast(TWindowsVersion{10, 0, 0, false}, major, minor, servicePack);
}

bool PlatformIsServer() { return false; }

void SetMessageBoxRightToLeft(bool) {}

int ShowPlatformMessageBox(const String& text, TMsgKind, TMsgButtons) {
  std::fprintf(stderr, "message box: %s\n", StringToUtf8(text).c_str());
  return mrNone;
}

bool PumpMessages(bool) { return false; }

int GetDriveKind(const String&) { return 0; }

bool GetFileVersion(const String&, TFileVersion&) { return false; }

String ProgramFileName() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? Utf8ToString(std::string_view(buf, static_cast<size_t>(n))) : String();
}

bool FindOnLibraryPath(const String&) { return false; }
