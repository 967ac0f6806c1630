// Tram.exe: the setup program.
#include <windows.h>

#include "setup/mainform.h"

#ifdef TV_SETUP_TEST_SEAM
#include <cstdio>
#include <cstdlib>

#include "lib/core/kysystem.h"

// Test build only: TV_SIMULATED_WINDOWS=major.minor makes the version checks answer for that Windows.
static void ApplySimulatedWindows() {
  const char* v = std::getenv("TV_SIMULATED_WINDOWS");
  int major = 0, minor = 0;
  if (v && std::sscanf(v, "%d.%d", &major, &minor) == 2) SetSimulatedWindowsVersion(TWindowsVersion{major, minor, 0, false});
}
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef TV_SETUP_TEST_SEAM
  ApplySimulatedWindows();
#endif
  return RunSetup();
}
