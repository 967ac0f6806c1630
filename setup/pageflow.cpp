#include "setup/pageflow.h"

#include <cmath>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

int NextSetupPage(int page, int proposed, const TPageFlowState& s) {
  switch (page) {
    case spStart:
      if (!s.PackageSetup) return spCheck;
      return s.HasExisting ? spExisting : spLicense;
    case spCheck:
      return s.HasExisting || s.HasPrevious ? spExisting : spLicense;
    case spExisting:
      return spLicense;
    case spLicense:
      if (s.PackageSetup) {
        if (s.DictionaryCount > 0) return spDictionary;
        return s.LanguageCount < 2 ? spDestination : spLanguages;
      }
      if (s.Action == itUpdate) return spInstall;
      if (s.SampleCount > 0) return spSamples;
      return s.DictionaryCount > 0 ? spDictionary : spLanguages;
    case spSamples:
      return s.DictionaryCount == 0 ? spLanguages : spDictionary;
    case spDictionary:
      return s.LanguageCount <= 1 ? spDestination : spLanguages;
    case spInstall:
      return spFinish;
    default:
      return proposed;
  }
}

bool IsRootDirectory(const String& dir) {
  if (dir.empty()) return false;
  String cut = dir.substr(0, dir.size() - 1);
  if (cut.size() == 2 && cut[1] == u':') return true;
  if (dir.size() >= 2 && dir[0] == u'\\' && dir[1] == u'\\') {
    int backslashes = 0;
    for (Char c : dir) backslashes += c == u'\\';
    return backslashes == 2;
  }
  return false;
}

namespace {
std::int64_t SimulatedFreeSpace = -1;
}  // namespace

void SetSimulatedFreeSpace(std::int64_t bytes) { SimulatedFreeSpace = bytes; }

std::int64_t FreeSpaceFor(const String& dir) {
  if (SimulatedFreeSpace >= 0) return SimulatedFreeSpace;
  String folder = dir;
  while (!folder.empty() && !DirectoryExists(folder)) {
    String parent = ExtractFileDir(ExcludeTrailingBackslash(folder));
    // A root that does not exist either (a missing drive) ends the walk.
    if (parent.empty() || parent == folder || parent == ExcludeTrailingBackslash(folder)) return 0;
    folder = parent;
  }
  if (folder.empty()) return 0;
  return GetDiskFreeBytes(folder);
}

String SpaceAvailableText(std::int64_t bytes) {
  double mb = static_cast<double>(bytes) / 1000000.0;
  return Format(SSpaceAvailable, {static_cast<std::int64_t>(std::nearbyint(mb))});
}

String SpaceRequiredText(std::int64_t bytes) {
  return Format(SSpaceRequired, {static_cast<double>(bytes) / 1000000.0});
}

String GetExistingDescription(int action) {
  switch (action) {
    case itUpdate: return LoadResString(SActionUpdateDesc);
    case itModify: return LoadResString(SActionModifyDesc);
    case itFresh: return LoadResString(SActionFreshDesc);
    case itCopySettings: return LoadResString(SActionCopySettingsDesc);
    default: throw EKyException(LoadResString(SExistingDescNotImpl));
  }
}

String ExistingActionText(int action) {
  switch (action) {
    case itUpdate: return LoadResString(SActionUpdate);
    case itModify: return LoadResString(SActionModify);
    case itCopySettings: return LoadResString(SActionCopySettings);
    default: return LoadResString(SActionFresh);
  }
}

String StartText(const String& first, const String& last) {
  const String gap = u"\r\n\r\n";
  return first + gap + LoadResString(SExitPrograms) + gap + LoadResString(SClickCancel) + gap + last;
}
