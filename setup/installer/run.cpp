// The install run: folders, archives, shortcuts, the tool's first settings, the registry,
// document types, add-ons and development environments, in this order.
#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyassociations.h"
#include "lib/xml/kyxml.h"
#include "resstrings.h"
#include "setup/installer/addons.h"
#include "setup/installer/installer.h"

namespace {

const Char kOptionsFile[] = u"Tramvelon.tvo";
const Char kProgramFile[] = u"Tramvelon.exe";

String FormatVersion4() { return Format(u"%d.%d.%d", {kSetupMajor, kSetupMinor, kSetupBuild}); }

}  // namespace

const std::vector<String>& SampleProjectPaths() {
  static const std::vector<String> paths = {
      u"Android\\Converter\\Converter.tvp",
      u"Database\\Country\\Access\\Row\\Country.tvp",
      u"HTML\\Country\\Country.tvp",
      u"HTML\\JSP\\Country.tvp",
      u"HTMLHelp\\Binary\\Sample.tvp",
      u"iOS\\Simple\\Localizable.tvp",
      u"NET\\WinForms\\CSharp\\Converter\\Project\\Converter.tvp",
      u"NET\\WPF\\Converter\\Project\\Converter.tvp",
      u"NET\\Silverlight\\Converter\\Converter.tvp",
      u"Text\\Ini\\Country.tvp",
      u"Text\\Text\\Country.tvp",
      u"VCL\\Delphi\\Converter\\Converter.tvp",
      u"FireMonkey\\Converter\\Converter.tvp",
      u"VCPP\\Converter\\Converter.tvp",
      u"VB\\Source\\Converter\\Converter.tvp",
      u"XML\\Country.tvp",
      u"J2ME\\Converter\\Converter.tvp",
      u"Java\\Converter\\Converter.tvp",
      u"Qt\\Converter\\Converter.tvp",
      u"VCL\\CBuilder\\Converter\\Converter.tvp",
      u"VCL\\Delphi\\CommonDialog\\Project1.tvp",
      u"VCL\\Delphi\\Country\\Project1.tvp",
      u"VCL\\Delphi\\Embedded\\Embedded.tvp",
      u"VCL\\CBuilder\\Database\\Project1.tvp",
      u"VCL\\CBuilder\\Dialog\\Project1.tvp",
      u"VCL\\DelphiNet\\Converter\\Converter.tvp",
      u"NET\\WinForms\\CSharp\\Converter\\Binary\\Converter.tvp",
      u"NET\\WinForms\\Delphi\\Converter\\Converter.tvp",
      u"NET\\WinForms\\VB\\Converter\\Converter.tvp",
      u"VB\\Binary\\Converter\\Converter.tvp",
      u"Database\\Country\\Access\\Clone\\Country.tvp",
      u"Database\\Country\\Access\\Field\\Country.tvp",
      u"Database\\Country\\Access\\RowId\\Country.tvp",
      u"Database\\Country\\Access\\Table\\Country.tvp",
  };
  return paths;
}

// ---- path helpers -------------------------------------------------------------------

bool ForceFolders(const String& path) {
  for (const String& level : KyFolderLevels(ExcludeTrailingBackslash(path))) {
    if (DirectoryExists(level)) continue;
    if (FileExists(level)) RemoveFile(level);
    if (!CreateDir(level) && !DirectoryExists(level)) return false;
  }
  return DirectoryExists(path);
}

String CombinePath(const String& fileName, const String& folder) {
  bool absolute = !fileName.empty() && (IsPathDelimiter(fileName[0]) || (fileName.size() >= 2 && fileName[1] == u':'));
  if (absolute) return fileName;
  const Char delim = PathDelimiter();
  String base = ExcludeTrailingBackslash(folder);
  std::vector<String> parts;
  String part;
  for (size_t i = 0; i <= fileName.size(); ++i) {
    if (i == fileName.size() || IsPathDelimiter(fileName[i])) {
      if (part == u"..") {
        if (!parts.empty()) {
          parts.pop_back();
        } else {
          size_t cut = base.find_last_of(u"\\/");
          // Never above the drive or share.
          if (cut != String::npos && cut >= ExtractFileDrive(base).size()) base.erase(cut);
        }
      } else if (!part.empty() && part != u".") {
        parts.push_back(part);
      }
      part.clear();
    } else {
      part += fileName[i];
    }
  }
  for (const String& p : parts) base += delim + p;
  return base;
}

String MakeDriveRelative(const String& path, const String& base) {
  if (path.size() >= 2 && path[1] == u':' && !base.empty() && UpCaseChar(path[0]) == UpCaseChar(base[0]) &&
      GetDriveKind(path) == 1)
    return path.substr(2);
  return path;
}

void CopyFolderFiles(const String& source, const String& target) {
  ForceFolders(target);
  for (const String& name : ListDirectory(source, false))
    CopyFileTo(KyJoinPath(source, name), KyJoinPath(target, name), false);
}

// ---- options file -------------------------------------------------------------------

String TInstaller::GetOptionsFileName() const {
  bool personal = IsWindowsVistaOrLater() && GetDriveKind(InstallDir) != 1 && GetDriveKind(InstallDir) != 2;
  // Without a personal folder the settings stay with the installation.
  const String& dir = personal && !PersonalDir.empty() ? PersonalDir : InstallDir;
  return KyJoinPath(dir, kOptionsFile);
}

String TInstaller::GetPreviousOptionsFileName() const {
  bool personal = IsWindowsVistaOrLater() && GetDriveKind(InstallDir) != 1 && GetDriveKind(InstallDir) != 2;
  return KyJoinPath(personal && !PreviousPersonalDir.empty() ? PreviousPersonalDir : PreviousDir, kOptionsFile);
}

void TInstaller::CreateFolders(const String& dir) {
  for (const String& level : KyFolderLevels(ExcludeTrailingBackslash(dir))) {
    if (DirectoryExists(level)) continue;
    CreateFolder(level);
  }
}

void TInstaller::WriteOptionsFile() {
  const String options = GetOptionsFileName();
  const bool existed = FileExists(options);
  // The settings of an earlier installation survive the uninstall of this one.
  UninstallFile->AddNewFile(options);
  if (existed) return;
  if (InstallType == itCopySettings) {
    const String previous = GetPreviousOptionsFileName();
    if (FileExists(previous)) {
      if (!CopyFileTo(previous, options, false)) return;
      const String oldTm = KyJoinPath(PreviousPersonalDir, u"TM");
      if (!PreviousPersonalDir.empty() && DirectoryExists(oldTm)) {
        const String newTm = KyJoinPath(PersonalDir, u"TM");
        CreateFolders(newTm);
        CopyFolderFiles(oldTm, newTm);
      }
      return;
    }
  }
  // The personal folder exists only when samples went there; its levels are recorded.
  CreateFolders(ExtractFileDir(options));
  TKyXmlFile doc;
  doc.BeginWrite(options, true);
  doc.WriteStartElement(u"options");
  if (!UiLanguage.empty() && GetDriveKind(InstallDir) != 1) {
    TKyXmlAttributes languages;
    languages.WriteString(u"ui", UiLanguage);
    doc.WriteEmptyElement(u"languages", &languages);
  }
  if (AddSamplesToRecentList) {
    doc.WriteStartElement(u"projects");
    for (const String& project : SampleProjectPaths()) {
      String full = CombinePath(project, GetSamplesDir());
      if (FileExists(full)) doc.WriteTextElement(u"item", MakeDriveRelative(full, InstallDir));
    }
    doc.WriteEndElement();
  }
  doc.WriteEndElement();
  doc.EndWrite();
}

// ---- shortcuts ----------------------------------------------------------------------

void TInstaller::CreateShortcuts() {
  // Without the shell's folder there is no place for links: never a folder below the
  // current directory instead.
  const String programs = GetSpecialFolder(0);
  if (!programs.empty()) {
    ShortcutDir = ProgramFolder.empty() ? IncludeTrailingBackslash(programs) : KyJoinPath(programs, ProgramFolder);
    if (!DirectoryExists(ShortcutDir)) CreateFolders(ShortcutDir);
    const String lnk = u".lnk";
    CreateShortcut(InstallDir, kProgramFile, false, GetProductName() + lnk);
    CreateShortcut(InstallDir, u"Tramvelon.chm", false, LoadResString(SShortcutHelp) + lnk);
    CreateShortcut(InstallDir, u"Tramvelon.pdf", false, LoadResString(SShortcutManual) + lnk);
    CreateShortcut(InstallDir, u"TvUninstall.exe", false, LoadResString(SShortcutUninstall) + lnk);
    CreateShortcut(InstallDir, u"ReadmeBeta.html", false, LoadResString(SShortcutBetaReadme) + lnk);
    CreateShortcut(GetSamplesDir(), u"Readme.html", false, LoadResString(SShortcutReadme) + lnk);
  }
  if (CreateDesktopIcon) {
    const String desktop = GetSpecialFolder(1);
    if (!desktop.empty()) {
      ShortcutDir = desktop;
      bool unique = InstallType == itFresh || InstallType == itCopySettings;
      CreateShortcut(InstallDir, kProgramFile, unique, Format(u"%s %d", {String(u"Tramvelon"), kSetupMajor}) + u".lnk");
    }
  }
}

// ---- registry -----------------------------------------------------------------------

std::int64_t TInstaller::SelectedSize() const {
  std::int64_t total = 0;
  for (int i = 0; i < ComponentCount(); ++i) {
    TKyInstallComponent* c = Components(i);
    if (c->Selected && c->Exists()) total += c->Size;
  }
  if (TKyInstallComponent::ResourceExists(u"UNINSTALL")) total += TKyHiddenComponent(u"UNINSTALL", String()).Size;
  return total;
}

void TInstaller::WriteRegistry() {
  {
    TRegistry reg(rkLocalMachine);
    const String root = u"\\Software\\Tramvelon";
    UninstallFile->AddNewRegKey(reg, root);
    if (reg.OpenKey(root, true)) {
      int n = 1;
      while (reg.KeyExists(Format(u"Setup%d", {n}))) ++n;
      const String key = root + u"\\" + Format(u"Setup%d", {n});
      UninstallFile->AddNewRegKey(reg, key);
      if (reg.OpenKey(key, true)) {
        auto put = [&](const String& name, const String& value) {
          UninstallFile->AddRegValueIfChanged(reg, name, value);
          reg.WriteString(name, value);
        };
        put(u"Version", IntToStr(kSetupMajor));
        put(u"InstallDir", InstallDir);
        if (PersonalDir != InstallDir) put(u"PersonalDir", PersonalDir);
      }
    }
  }
  TRegistry reg(rkLocalMachine);
  if (!reg.OpenKey(GetUninstallKey(), true)) return;
  const String program = KyJoinPath(InstallDir, kProgramFile);
  reg.WriteString(u"DisplayName", DisplayName);
  reg.WriteString(u"UninstallString", KyJoinPath(InstallDir, u"TvUninstall.exe"));
  reg.WriteString(u"InstallFolder", ProgramFolder);
  // What the list of installed programs shows besides the name.
  reg.WriteString(u"DisplayVersion", FormatVersion4());
  reg.WriteString(u"Publisher", LoadResString(SPublisher));
  reg.WriteString(u"DisplayIcon", program);
  reg.WriteString(u"InstallLocation", InstallDir);
  reg.WriteString(u"URLInfoAbout", u"http://" + LoadResString(SWebAddress));
  reg.WriteInteger(u"EstimatedSize", static_cast<std::int32_t>((SelectedSize() + 1023) / 1024));
  reg.WriteInteger(u"NoModify", 1);
  reg.WriteInteger(u"NoRepair", 1);
}

void TInstaller::WriteUninstallerLanguage() {
  // The uninstaller starts in the language the setup ran in: the start-up override of
  // language files, " " for the built-in English.
  const String code = UninstallerLanguage.empty() ? String(u" ") : UninstallerLanguage;
  TRegistry reg(rkCurrentUser);
  const String key = u"\\Software\\CodeGear\\Locales";
  UninstallFile->AddNewRegKeyLevels(reg, key);
  if (!reg.OpenKey(key, true)) return;
  const String name = KyJoinPath(InstallDir, u"TvUninstall.exe");
  UninstallFile->AddRegValueIfChanged(reg, name, code);
  reg.WriteString(name, code);
}

// ---- the run ------------------------------------------------------------------------

void TInstaller::DoInstall() {
  ProgressTotal = 1 + 100;
  for (int i = 0; i < ComponentCount(); ++i) {
    TKyInstallComponent* c = Components(i);
    if (c->Selected && c->Exists()) ProgressTotal += 100;
  }
  if (!DirectoryExists(InstallDir)) ForceFolders(InstallDir);
  if (GetSamplesDir() != InstallDir) CreateFolders(GetSamplesDir());
  StopWithinArchive = false;
  ExtractResource(u"UNINSTALL", String());
  StopWithinArchive = true;
  if (Aborted) return;
  WriteUninstallerLanguage();
  for (int i = 0; i < ComponentCount(); ++i) {
    InstallComponent(Components(i));
    if (Aborted) return;
  }
  if (OnStatus) OnStatus(this, LoadResString(SConfiguringSystem));
  CreateShortcuts();
  WriteOptionsFile();
  if (Aborted) return;
  WriteRegistry();
  try {
    TKyFileAssociations::Register(KyJoinPath(InstallDir, kProgramFile), *UninstallFile);
  } catch (...) {
    // Document types are a convenience; the installation stands without them.
  }
  AddOns.SetFolder(InstallDir);
  AddOns.InstallAll();
  if (OnStatus) OnStatus(this, LoadResString(SConfiguringSystem));
  if (IsComponentSelected(u"VCL")) InstallIdeIntegration();
}
