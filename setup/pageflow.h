// The wizard's path through the pages and the checks that do not need a window.
#pragma once

#include <cstdint>

#include "lib/core/kytypes.h"
#include "setup/installer/installer.h"

// The pages in page-control order.
enum TSetupPage : int {
  spStart, spCheck, spExisting, spLicense, spSamples, spDictionary, spLanguages, spDestination, spFolder,
  spInstall, spFinish
};

// What the page order depends on.
struct TPageFlowState {
  bool PackageSetup = false;
  bool HasExisting = false;  // an installation of this major version
  bool HasPrevious = false;  // an installation of the previous major version
  TInstallType Action = itFresh;
  int SampleCount = 0;
  int DictionaryCount = 0;
  int LanguageCount = 0;  // English, the fixed entry, included
};

// The page that follows Page when the user presses Next; Proposed is the wizard's own choice.
int NextSetupPage(int page, int proposed, const TPageFlowState& state);

// "C:\" and "\\server" are roots.
bool IsRootDirectory(const String& dir);
// Bytes available to the user on the volume of the first existing folder of Dir and its
// parents; 0 when none exists (a drive that is not there) or the system cannot tell.
std::int64_t FreeSpaceFor(const String& dir);
// Test builds only: FreeSpaceFor answers Bytes for every folder (negative: the real answer).
void SetSimulatedFreeSpace(std::int64_t bytes);
// "Space Available: %d MB" with the bytes in whole megabytes, halves to the even neighbour.
String SpaceAvailableText(std::int64_t bytes);
String SpaceRequiredText(std::int64_t bytes);
// The description of an installation action; EKyException for an unknown one.
String GetExistingDescription(int action);
String ExistingActionText(int action);
// The start page's four paragraphs, separated by empty lines.
String StartText(const String& first, const String& last);
// The package's date in the short date format, then the long time format unless it is midnight.
String PackageDateText(TDateTime created);
