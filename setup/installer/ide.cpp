// Integration of the component library into the development environments found: the help
// registration, the environments' help index files and their library search paths.
#include <vector>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "setup/installer/installer.h"

namespace {

struct TIde {
  const Char* Key;       // below HKEY_LOCAL_MACHINE
  const Char* HelpBase;  // base name of the help index files
  std::vector<const Char*> LibraryKeys;  // below HKEY_CURRENT_USER
};

const std::vector<TIde>& Ides() {
  static const std::vector<TIde> ides = {
      {u"SOFTWARE\\Borland\\Delphi\\5.0", u"Delphi5", {u"SOFTWARE\\Borland\\Delphi\\5.0\\Library"}},
      {u"SOFTWARE\\Borland\\Delphi\\6.0", u"Delphi6", {u"SOFTWARE\\Borland\\Delphi\\6.0\\Library"}},
      {u"SOFTWARE\\Borland\\Delphi\\7.0", u"D7", {u"SOFTWARE\\Borland\\Delphi\\7.0\\Library"}},
      {u"SOFTWARE\\Borland\\BDS\\3.0", u"D9", {u"SOFTWARE\\Borland\\BDS\\3.0\\Library"}},
      {u"SOFTWARE\\Borland\\BDS\\4.0", u"D10", {u"SOFTWARE\\Borland\\BDS\\4.0\\Library"}},
      {u"SOFTWARE\\Borland\\BDS\\5.0", u"D11", {u"SOFTWARE\\Borland\\BDS\\5.0\\Library"}},
      {u"SOFTWARE\\CodeGear\\BDS\\6.0", u"D12", {u"SOFTWARE\\CodeGear\\BDS\\6.0\\Library"}},
      {u"SOFTWARE\\CodeGear\\BDS\\7.0", u"D14", {u"SOFTWARE\\CodeGear\\BDS\\7.0\\Library"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\8.0", u"D15", {u"SOFTWARE\\Embarcadero\\BDS\\8.0\\Library"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\9.0", u"D16",
       {u"SOFTWARE\\Embarcadero\\BDS\\9.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\9.0\\Library\\Win64"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\10.0", u"D17",
       {u"SOFTWARE\\Embarcadero\\BDS\\10.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\10.0\\Library\\Win64"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\11.0", u"D18",
       {u"SOFTWARE\\Embarcadero\\BDS\\11.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\11.0\\Library\\Win64"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\12.0", u"D19",
       {u"SOFTWARE\\Embarcadero\\BDS\\12.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\12.0\\Library\\Win64"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\14.0", u"D20",
       {u"SOFTWARE\\Embarcadero\\BDS\\14.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\14.0\\Library\\Win64"}},
      {u"SOFTWARE\\Embarcadero\\BDS\\15.0", u"D21",
       {u"SOFTWARE\\Embarcadero\\BDS\\15.0\\Library\\Win32", u"SOFTWARE\\Embarcadero\\BDS\\15.0\\Library\\Win64"}},
      {u"SOFTWARE\\Borland\\C++Builder\\5.0", u"BCB5", {u"SOFTWARE\\Borland\\C++Builder\\5.0\\Library"}},
      {u"SOFTWARE\\Borland\\C++Builder\\6.0", u"BCB6", {u"SOFTWARE\\Borland\\C++Builder\\6.0\\Library"}},
  };
  return ides;
}

const Char kHelpFile[] = u"TvVcl.hlp";
const Char kContentsFile[] = u"TvVcl.cnt";

}  // namespace

bool TInstaller::IdeInstalled(const String& key) const {
  TRegistry reg(rkLocalMachine);
  return reg.KeyExists(key);
}

void TInstaller::AddHelpLine(const String& indexFile, const String& line, const String& helpFile) {
  if (!FileExists(indexFile)) return;
  UninstallFile->AddLineIfMissing(indexFile, line);
  std::vector<String> lines;
  {
    TKyTextFile in;
    in.OpenRead(indexFile);
    String text;
    while (in.ReadLine(text)) lines.push_back(text);
    in.Close();
  }
  TKyTextFile out;
  out.Rewrite(indexFile);
  int pending = 0;
  auto breaks = [&] {
    for (; pending > 0; --pending) out.Write(u"\r\n");
  };
  for (const String& text : lines) {
    // The end-of-file mark and an older line for the same help file go.
    if (text == u"\x1A" || text.find(helpFile) != String::npos) continue;
    if (text.empty()) {
      ++pending;
      continue;
    }
    breaks();
    out.Write(text);
    out.Write(u"\r\n");
  }
  out.Write(line);
  breaks();
  out.Close();
}

void TInstaller::InstallIdeHelp(const String& ideKey, const String& baseName) {
  TRegistry reg(rkLocalMachine);
  if (!reg.OpenKeyReadOnly(ideKey)) return;
  const String rootDir = reg.ReadString(u"RootDir");
  if (rootDir.empty()) return;
  const String help = KyJoinPath(rootDir, u"Help");
  AddHelpLine(KyJoinPath(help, baseName + u".ohc"), String(u":INCLUDE ") + kContentsFile, kContentsFile);
  AddHelpLine(KyJoinPath(help, baseName + u".ohi"), String(u":INDEX Tramvelon Help=") + kHelpFile, kHelpFile);
  AddHelpLine(KyJoinPath(help, baseName + u".ohl"), String(u":LINK ") + kHelpFile, kHelpFile);
  // The help system's index cache is rebuilt from the index files.
  RemoveFile(KyJoinPath(help, baseName + u".gid"));
}

void TInstaller::AddToSearchPath(const String& key, const String& valueName, const String& dir) {
  TRegistry reg(rkCurrentUser);
  if (!reg.OpenKey(key, false)) return;
  const String path = reg.ReadString(valueName);
  if (path.find(dir) == String::npos) reg.WriteString(valueName, path + u";" + dir);
}

void TInstaller::InstallIdeIntegration() {
  // The library's folder is below the installation folder, or below the samples folder when
  // the samples went to the personal folder.
  String library = KyJoinPath(InstallDir, u"VCL");
  if (!FileExists(KyJoinPath(library, kHelpFile)) && GetSamplesDir() != InstallDir)
    library = KyJoinPath(GetSamplesDir(), u"Vcl");
  const String help = KyJoinPath(library, kHelpFile);
  const String contents = KyJoinPath(library, kContentsFile);
  if (!FileExists(help) || !FileExists(contents)) return;
  RegisterHelpFile(help);
  RegisterHelpFile(contents);
  for (const TIde& ide : Ides()) {
    if (!IdeInstalled(ide.Key)) continue;
    InstallIdeHelp(ide.Key, ide.HelpBase);
    for (const Char* libraryKey : ide.LibraryKeys) AddToSearchPath(libraryKey, u"Search Path", library);
  }
}
