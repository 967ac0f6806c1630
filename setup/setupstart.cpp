#include "setup/setupstart.h"

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

const Char kProductName[] = u"Tramvelon";
const Char kSetupFileName[] = u"Tram.exe";
const Char kApplicationFileName[] = u"Tramvelon.exe";

String ProductNameWithVersion(int major) { return Format(u"%s %d", {String(kProductName), major}); }

String GetSetupVersionText() { return Format(SSetupVersion, {kSetupMajor, kSetupMinor, kSetupBuild}); }

String DefaultInstallDirIn(const String& programFiles) {
  String base = programFiles.empty() ? String(u"C:\\Program Files\\") : IncludeTrailingBackslash(programFiles);
  return base + ProductNameWithVersion(kSetupMajor);
}

void AddFolderEntryNames(std::vector<String>& names, const std::vector<String>& entries) {
  for (const String& entry : entries) {
    if (entry == u"." || entry == u"..") continue;
    String name = ChangeFileExt(entry, u"");
    bool present = false;
    for (const String& n : names) {
      if (SameText(n, name)) {
        present = true;
        break;
      }
    }
    if (!present) names.push_back(name);
  }
}

TRunningCheck CheckRunningProcesses(const std::vector<String>& processNames) {
  int setups = 0;
  for (const String& name : processNames) {
    if (SameText(name, kSetupFileName)) ++setups;
    if (SameText(name, kApplicationFileName)) return TRunningCheck::ApplicationRunning;
  }
  return setups >= 2 ? TRunningCheck::SetupRunning : TRunningCheck::Ok;
}
