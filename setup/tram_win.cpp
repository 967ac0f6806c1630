// Tram.exe: the setup program.
#include <windows.h>

#include "setup/mainform.h"

#ifdef TV_SETUP_TEST_SEAM
#include <cstdio>
#include <cstdlib>

#include "lib/core/kysysutils.h"
#include "lib/core/kysystem.h"
#include "setup/pageflow.h"
#include "setup/updatecheck.h"

// Test build only: TV_SIMULATED_WINDOWS=major.minor makes the version checks answer for that Windows.
static void ApplySimulatedWindows() {
  const char* v = std::getenv("TV_SIMULATED_WINDOWS");
  int major = 0, minor = 0;
  if (v && std::sscanf(v, "%d.%d", &major, &minor) == 2) SetSimulatedWindowsVersion(TWindowsVersion{major, minor, 0, false});
  // TV_WEB_ADDRESS=host:port: the update check asks a local server.
  if (const char* a = std::getenv("TV_WEB_ADDRESS")) SetWebAddressOverride(Utf8ToString(a));
  // TV_FREE_SPACE=bytes: every drive has that much room.
  if (const char* f = std::getenv("TV_FREE_SPACE")) SetSimulatedFreeSpace(std::atoll(f));
}
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef TV_SETUP_TEST_SEAM
  ApplySimulatedWindows();
#endif
  return RunSetup();
}
