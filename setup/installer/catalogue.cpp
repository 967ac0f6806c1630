// The catalogue: components from the payload resources, the package description, and
// what earlier installations left in the registry and on disk.
#include <memory>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfilefinder.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"
#include "lib/xml/kyxml.h"
#include "resstrings.h"
#include "setup/installer/addons.h"
#include "setup/installer/installer.h"

namespace {

struct TSampleGroup {
  const Char* Resource;
  const TResString* CaptionMessage;  // translatable caption, or null for a fixed one
  const Char* FixedCaption;
  const TResString& Description;
};

// The sample groups the setup knows; any other resource becomes a group named after itself.
const TSampleGroup kSampleGroups[] = {
    {u"TUTORIAL", &SSampleTutorial, nullptr, SDescTutorial},
    {u"ANDROID", nullptr, u"Android", SDescAndroid},
    {u"BINARY", &SSampleBinary, nullptr, SDescBinary},
    {u"DATABASE", &SSampleDatabase, nullptr, SDescDatabase},
    {u"FIREMONKEY", nullptr, u"FireMonkey", SDescFireMonkey},
    {u"HTML", nullptr, u"HTML", SDescHtml},
    {u"HTMLHELP", nullptr, u"HTML Help", SDescHtmlHelp},
    {u"IOS", nullptr, u"iOS", SDescIos},
    {u"J2ME", nullptr, u"J2ME", SDescJ2me},
    {u"JAVA", nullptr, u"Java", SDescJava},
    {u"NET", nullptr, u".NET", SDescNet},
    {u"PO", nullptr, u"PO", SDescPo},
    {u"QT", nullptr, u"QT", SDescQt},
    {u"SOURCE", &SSampleSource, nullptr, SDescSource},
    {u"TEXT", &SSampleText, nullptr, SDescText},
    {u"VB", nullptr, u"Visual Basic", SDescVb},
    {u"VCL", &SSampleVcl, nullptr, SDescVcl},
    {u"VCPP", nullptr, u"Visual C++", SDescVcpp},
    {u"XLIFF", nullptr, u"XLIFF", SDescXliff},
    {u"XML", nullptr, u"XML", SDescXml},
};

// Lower case with the first character upper, ASCII letters only: "HTMLHELP" gives Htmlhelp.
String Capitalised(const String& name) {
  String out = name;
  for (Char& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<Char>(c - u'A' + u'a');
  if (!out.empty() && out[0] >= u'a' && out[0] <= u'z') out[0] = static_cast<Char>(out[0] - u'a' + u'A');
  return out;
}

// The package name names a folder below the samples folder: it must stay one plain name.
String SafeFolderName(const String& name) {
  String out;
  for (Char c : name) {
    bool bad = c < 32 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
               c == u'>' || c == u'|';
    out += bad ? u'_' : c;
  }
  while (!out.empty() && (out.back() == u'.' || out.back() == u' ')) out.pop_back();
  while (!out.empty() && out.front() == u' ') out.erase(0, 1);
  return out;
}

// The folder of an uninstall command; a quoted command is unquoted first.
String CommandFolder(String command) {
  if (command.size() >= 2 && command.front() == u'"') {
    size_t end = command.find(u'"', 1);
    command = command.substr(1, end == String::npos ? String::npos : end - 1);
  }
  return ExtractFileDir(command);
}

TKyVersion ProgramVersion(const String& dir) {
  TKyVersion v;
  String exe = KyJoinPath(dir, u"Tramvelon.exe");
  TFileVersion fv;
  if (FileExists(exe) && GetFileVersion(exe, fv)) {
    v.Major = fv.Major;
    v.Minor = fv.Minor;
    v.Release = fv.Release;
  }
  return v;
}

}  // namespace

TInstaller::TInstaller() {
  if (TKyInstallComponent::ResourceExists(u"NET")) {
    IsPackageSetup = false;
  } else {
    ReadPackageDescription();
    IsPackageSetup = true;
  }
  TStringList names;
  TKyInstallComponent::GetResourceNames(names);
  for (int i = 0; i < names.Count(); ++i) AddResourceComponent(names[i]);
  if (!SampleComponents_.empty()) IsPackageSetup = false;
  FindExistingInstallations();
}

TInstaller::~TInstaller() = default;

String TInstaller::GetProductName() { return Format(u"%s %d", {String(u"Tramvelon"), kSetupMajor}); }

String TInstaller::GetUninstallFileName() { return ChangeFileExt(u"TvUninstall.exe", u".dat"); }

void TInstaller::FileLogged(const String& fileName) {
  if (CurrentResource == u"PACKAGE" && SameText(ExtractFileExt(fileName), u".tvp")) PackageFile = fileName;
}

void TInstaller::AddResourceComponent(const String& name) {
  if (name == u"UNINSTALL" || name == u"INFO" || name.rfind(u"LICENSETEXT", 0) == 0) return;
  if (name == u"APPCOMMON" || name == u"APPLICATION" || name == u"SPELLCHECK" || name == u"LANGUAGEFILES" ||
      name == u"TMEDITOR") {
    AddComponent(std::make_unique<TKyHiddenComponent>(name, String()));
    return;
  }
  if (name == u"PACKAGE") {
    AddComponent(std::make_unique<TKySampleComponent>(name, SafeFolderName(PackageName)));
    return;
  }
  if (name == u"README") {
    AddComponent(std::make_unique<TKySampleComponent>(name, String()));
    return;
  }
  if (name == u"COMMON") {
    AddComponent(std::make_unique<TKySampleComponent>(name, Capitalised(name)));
    return;
  }
  auto visible = std::make_unique<TKyVisibleComponent>(name, Capitalised(name));
  visible->Caption = name;
  for (const TSampleGroup& g : kSampleGroups) {
    if (name != g.Resource) continue;
    visible->Caption = g.CaptionMessage ? LoadResString(*g.CaptionMessage) : String(g.FixedCaption);
    visible->Description = LoadResString(g.Description);
    break;
  }
  SampleComponents_.push_back(visible.get());
  AddComponent(std::move(visible));
}

void TInstaller::ReadPackageDescription() {
  auto stream = TKyInstallComponent::OpenResource(u"INFO");
  TKyXmlFile info;
  info.LoadFromStream(*stream);
  TKyXmlElement* root = info.Root();
  if (!root) return;
  PackageName = root->Attributes.ReadString(u"packagename");
  PackageDescription = root->Attributes.ReadString(u"description");
  PackageAuthor = root->Attributes.ReadString(u"author");
  PackageCreated = root->Attributes.ReadDateTime(u"created", 0);
}

TKyVisibleComponent* TInstaller::SampleComponents(int index) const {
  if (index < 0 || index >= SampleComponentCount()) throw EListError(Format(SListIndexError, {index}));
  return SampleComponents_[static_cast<size_t>(index)];
}

int TInstaller::IndexOfExistingDictionary(const String& locale) const {
  for (int i = 0; i < ExistingDictionaries.Count(); ++i)
    if (ExistingDictionaries[i] == locale) return i;
  return -1;
}

int TInstaller::IndexOfExistingLanguage(const String& locale) const {
  for (int i = 0; i < ExistingLanguages.Count(); ++i)
    if (ExistingLanguages[i] == locale) return i;
  return -1;
}

String TInstaller::LanguageExtLocale(const String& ext) {
  if (ext == u"CHT") return u"zh.tra";
  return LocaleDatas.IdFromWindowsCode(ext);
}

String TInstaller::LanguageFileLocale(const String& fileName) {
  String ext = ExtractFileExt(fileName);
  if (!ext.empty()) ext.erase(0, 1);
  return LanguageExtLocale(ext);
}

namespace {
// The personal folder that the installation in Dir recorded in its setup record, if any.
String RecordedPersonalDir(const String& dir) {
  TRegistry reg(rkLocalMachine);
  if (!reg.OpenKeyReadOnly(u"\\Software\\Tramvelon")) return String();
  TStringList setups;
  reg.GetKeyNames(setups);
  String found;
  for (int i = 0; i < setups.Count(); ++i) {
    TRegistry setup(rkLocalMachine);
    if (!setup.OpenKeyReadOnly(u"\\Software\\Tramvelon\\" + setups[i])) continue;
    if (!SameText(ExcludeTrailingBackslash(setup.ReadString(u"InstallDir")), ExcludeTrailingBackslash(dir))) continue;
    String personal = setup.ReadString(u"PersonalDir");
    if (!personal.empty()) found = personal;
  }
  return found;
}
}  // namespace

void TInstaller::FindExistingInstallations() {
  {
    TRegistry reg(rkLocalMachine);
    if (reg.OpenKeyReadOnly(GetProductUninstallKey())) {
      String command = reg.ReadString(u"UninstallString");
      if (!command.empty()) ExistingDir = CommandFolder(command);
      ProgramFolder = reg.ReadString(u"InstallFolder");
    } else if (reg.OpenKeyReadOnly(UninstallRoot() + u"\\" +
                                   Format(u"%s %d", {String(u"Tramvelon"), kPreviousMajorVersion}))) {
      String command = reg.ReadString(u"UninstallString");
      if (!command.empty()) PreviousDir = CommandFolder(command);
      PreviousProgramFolder = reg.ReadString(u"InstallFolder");
    }
  }
  if (!ExistingDir.empty() && DirectoryExists(ExistingDir)) {
    ExistingVersion = ProgramVersion(ExistingDir);
    // Samples lie below the installation folder or, on Vista and later, below the personal
    // folder that the installation recorded.
    String personal = RecordedPersonalDir(ExistingDir);
    for (TKyVisibleComponent* c : SampleComponents_) {
      if (DirectoryExists(KyJoinPath(ExistingDir, c->Folder)) ||
          (!personal.empty() && DirectoryExists(KyJoinPath(personal, c->Folder))))
        ExistingSampleFolders.Add(c->Folder);
    }
    TKyFileFinder finder;
    finder.Folder = ExistingDir;
    finder.Mask = u"*.lex";
    finder.Find();
    for (int i = 0; i < finder.Files.Count(); ++i) {
      String locale = DictionaryLocale(finder.Files[i]);
      if (!locale.empty()) ExistingDictionaries.Add(locale);
    }
    finder.Mask = u"Tramvelon.*";
    finder.Find();
    for (int i = 0; i < finder.Files.Count(); ++i) {
      // The same mapping as the language page, so that "CHT" is found again as zh.tra.
      String locale = LanguageFileLocale(finder.Files[i]);
      if (!locale.empty()) ExistingLanguages.Add(locale);
    }
  } else if (!PreviousDir.empty() && DirectoryExists(PreviousDir)) {
    ExistingVersion = ProgramVersion(PreviousDir);
  }
}
