// The installer natively, on payloads registered as resources and the in-memory registry:
// the catalogue, the search for earlier installations, and whole install runs checked on
// disk, in the uninstall log and in the registry. (Native paths are case-sensitive, so only
// sample projects whose folder spelling matches the group's folder are found here; the
// Windows tests cover the rest.)
#include <gtest/gtest.h>

#include "lib/core/kydatetime.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"
#include "setup/installer/addons.h"
#include "setup/installer/installer.h"
#include "tests/core/testutil.h"
#include "tests/install/zipwriter.h"

namespace {

using V = std::vector<String>;

void Resource(const char* name, const std::vector<TTestZipEntry>& entries) {
  RegisterNativeResource(AsciiToString(name), kPayloadResourceType, MakeTestZip(entries));
}
void RawResource(const char* name, const std::string& bytes) {
  RegisterNativeResource(AsciiToString(name), kPayloadResourceType, bytes);
}

void FullPayload() {
  ClearNativeResources();
  Resource("APPLICATION", {TestEntry("Tramvelon.exe", std::string(3000, 'x')), TestEntry("Tramvelon.chm", "chm")});
  Resource("COMMON", {TestEntry("Shared/common.txt", "c")});
  Resource("GADGETS", {TestEntry("Gadget.tvp", "<project/>")});
  RawResource("INFO", "not read: this is a full setup");
  Resource("LANGUAGEFILES", {TestEntry("Tramvelon.DEU", "de"), TestEntry("Tramvelon.CHT", "cht"),
                             TestEntry("Tramvelon_DEU.chm", "help")});
  RawResource("LICENSETEXT", "Licence\r\n");
  RawResource("LICENSETEXT_DE", "Lizenz\r\n");
  Resource("NET", {TestEntry("WinForms/CSharp/Converter/Project/Converter.tvp", "<project/>")});
  Resource("README", {TestEntry("Readme.html", "<html/>")});
  Resource("SPELLCHECK", {TestEntry("SpellGER.lex", "wort"), TestEntry("SpellUS.lex", "word"),
                          TestEntry("TvSpell.dll", "MZ")});
  Resource("TEXT", {TestEntry("Ini/Country.tvp", "<project/>"), TestEntry("Text/Country.tvp", "<project/>")});
  Resource("UNINSTALL", {TestEntry("TvUninstall.exe", "MZ")});
  Resource("VCL", {TestEntry("TvVcl.hlp", "help"), TestEntry("TvVcl.cnt", ":Base TvVcl.hlp")});
  Resource("XML", {TestEntry("Country.tvp", "<project/>")});
}

void PackagePayload(const std::string& info) {
  ClearNativeResources();
  Resource("APPLICATION", {TestEntry("Tramvelon.exe", "MZ")});
  RawResource("INFO", info);
  Resource("LANGUAGEFILES", {TestEntry("Tramvelon.DEU", "de")});
  RawResource("LICENSETEXT", "Licence\r\n");
  Resource("PACKAGE", {TestEntry("Demo/Project.TVP", "<project/>"), TestEntry("Demo/source.xml", "<a/>")});
  Resource("SPELLCHECK", {TestEntry("SpellGER.lex", "wort")});
  Resource("UNINSTALL", {TestEntry("TvUninstall.exe", "MZ")});
}

struct TComponentRow {
  String Resource, Kind, Folder, Caption;
  bool operator==(const TComponentRow&) const = default;
};
std::ostream& operator<<(std::ostream& o, const TComponentRow& r) {
  return o << StringToUtf8(r.Resource) << "/" << StringToUtf8(r.Kind) << "/" << StringToUtf8(r.Folder) << "/"
           << StringToUtf8(r.Caption);
}

std::vector<TComponentRow> Rows(const TInstaller& in) {
  std::vector<TComponentRow> rows;
  for (int i = 0; i < in.ComponentCount(); ++i) {
    TKyInstallComponent* c = in.Components(i);
    String kind = dynamic_cast<TKyVisibleComponent*>(c)  ? u"visible"
                  : dynamic_cast<TKySampleComponent*>(c) ? u"sample"
                                                         : u"hidden";
    rows.push_back({c->ResourceName, kind, c->Folder, c->Caption});
  }
  return rows;
}

V Lines(const TStringList& l) {
  V v;
  for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
  return v;
}

bool Contains(const V& v, const String& s) { return std::find(v.begin(), v.end(), s) != v.end(); }

String ReadValue(TRegRoot root, const String& key, const String& name) {
  TRegistry reg(root);
  return reg.OpenKeyReadOnly(key) ? reg.ReadString(name) : u"<no key>";
}

class InstallerNative : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { PopulateLocaleDatas(); }
  void SetUp() override {
    ClearNativeRegistry();
    // Keys that every Windows has.
    TRegistry(rkCurrentUser).OpenKey(u"\\Software", true);
    TRegistry(rkLocalMachine).OpenKey(u"\\Software", true);
    FullPayload();
  }
  void TearDown() override {
    ClearNativeRegistry();
    ClearNativeResources();
  }
  String Dir(const char16_t* rel) const { return Temp.File(rel); }
  TTempDir Temp;
};

}  // namespace

TEST_F(InstallerNative, FullCatalogueFollowsTheResourceNames) {
  auto in = TKyInstaller::Create<TInstaller>();
  std::vector<TComponentRow> expected = {
      {u"APPLICATION", u"hidden", u"", u""},        {u"COMMON", u"sample", u"Common", u""},
      {u"GADGETS", u"visible", u"Gadgets", u"GADGETS"}, {u"LANGUAGEFILES", u"hidden", u"", u""},
      {u"NET", u"visible", u"Net", u".NET"},          {u"README", u"sample", u"", u""},
      {u"SPELLCHECK", u"hidden", u"", u""},           {u"TEXT", u"visible", u"Text", u"Text file"},
      {u"VCL", u"visible", u"Vcl", u"Delphi and C++Builder"}, {u"XML", u"visible", u"Xml", u"XML"}};
  EXPECT_EQ(Rows(*in), expected);
  EXPECT_FALSE(in->IsPackageSetup);
  EXPECT_TRUE(in->PackageName.empty()) << "INFO must not be read beside NET";
  ASSERT_EQ(in->SampleComponentCount(), 5);
  EXPECT_EQ(in->SampleComponents(0)->ResourceName, u"GADGETS");
  EXPECT_EQ(in->SampleComponents(0)->Description, u"");
  EXPECT_EQ(in->SampleComponents(1)->Description, u"Installs samples for WinForms, WPF and Silverlight.");
  EXPECT_EQ(in->SampleComponents(3)->Description, u"Installs units and samples for Delphi and C++Builder.");
  EXPECT_THROW(in->SampleComponents(5), EListError);
  EXPECT_EQ(in->FindComponent(u"APPLICATION")->Size, 3003);
  EXPECT_EQ(in->FindComponent(u"spellcheck"), nullptr);
  EXPECT_EQ(in->DisplayName, u"Tramvelon 4");
  EXPECT_EQ(in->GetUninstallFileName(), u"TvUninstall.dat");
  EXPECT_TRUE(in->ExistingDir.empty());
}

TEST_F(InstallerNative, PackageCatalogueAndItsDescription) {
  PackagePayload(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<info packagename=\"Demo\" description=\"Menus\" author=\"Ann\" created=\"20150504181809\"/>\r\n");
  auto in = TKyInstaller::Create<TInstaller>();
  std::vector<TComponentRow> expected = {{u"APPLICATION", u"hidden", u"", u""},
                                         {u"LANGUAGEFILES", u"hidden", u"", u""},
                                         {u"PACKAGE", u"sample", u"Demo", u""},
                                         {u"SPELLCHECK", u"hidden", u"", u""}};
  EXPECT_EQ(Rows(*in), expected);
  EXPECT_TRUE(in->IsPackageSetup);
  EXPECT_EQ(in->SampleComponentCount(), 0);
  EXPECT_EQ(in->PackageDescription, u"Menus");
  EXPECT_EQ(in->PackageAuthor, u"Ann");
  EXPECT_DOUBLE_EQ(in->PackageCreated, EncodeDate(2015, 5, 4) + EncodeTime(18, 18, 9, 0));

  // Only a .tvp of the package is the package file.
  in->CurrentResource = u"APPLICATION";
  in->FileLogged(u"/x/Other.tvp");
  EXPECT_TRUE(in->PackageFile.empty());
  in->CurrentResource = u"PACKAGE";
  in->FileLogged(u"/x/Demo/Project.TVP");
  EXPECT_EQ(in->PackageFile, u"/x/Demo/Project.TVP");

  // A package name cannot lead the files out of the samples folder.
  PackagePayload("<info packagename=\"..\\..\\Windows\" created=\"20150504\"/>");
  auto unsafe = TKyInstaller::Create<TInstaller>();
  EXPECT_EQ(unsafe->FindComponent(u"PACKAGE")->Folder.find(u'\\'), String::npos);
  EXPECT_DOUBLE_EQ(unsafe->PackageCreated, EncodeDate(2015, 5, 4));

  PackagePayload("<info packagename=\"Demo\" created=\"2015xx04\"/>");
  EXPECT_THROW(TKyInstaller::Create<TInstaller>(), EConvertError);
  ClearNativeResources();
  Resource("APPLICATION", {TestEntry("Tramvelon.exe", "MZ")});
  EXPECT_THROW(TKyInstaller::Create<TInstaller>(), EResNotFound) << "neither NET nor INFO";
}

TEST_F(InstallerNative, ExistingInstallationsAreFoundInTheRegistryAndOnDisk) {
  const String existing = Dir(u"Tools");
  ASSERT_TRUE(ForceDirectories(KyJoinPath(existing, u"Text")));
  ASSERT_TRUE(ForceDirectories(Dir(u"Personal/Xml")));
  for (const char16_t* f : {u"SpellGER.lex", u"Other.lex", u"Tramvelon.DEU", u"Tramvelon.CHT", u"Tramvelon.exe",
                            u"Tramvelon.chm", u".hidden.lex"})
    WriteAll(KyJoinPath(existing, f), "x");
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(TInstaller::UninstallRoot() + u"\\Tramvelon 4", true));
    reg.WriteString(u"UninstallString", u"\"" + KyJoinPath(existing, u"TvUninstall.exe") + u"\"");
    reg.WriteString(u"InstallFolder", u"Tramvelon Tools");
    ASSERT_TRUE(reg.OpenKey(TInstaller::UninstallRoot() + u"\\Tramvelon 3", true));
    reg.WriteString(u"UninstallString", u"C:\\Old\\TvUninstall.exe");
    // The samples of a Vista installation lie in the personal folder it recorded.
    ASSERT_TRUE(reg.OpenKey(u"\\Software\\Tramvelon\\Setup1", true));
    reg.WriteString(u"InstallDir", existing);
    reg.WriteString(u"PersonalDir", Dir(u"Personal"));
  }
  auto in = TKyInstaller::Create<TInstaller>();
  EXPECT_EQ(in->ExistingDir, existing);
  EXPECT_EQ(in->ProgramFolder, u"Tramvelon Tools");
  EXPECT_TRUE(in->PreviousDir.empty()) << "version 3 is looked for only without version 4";
  EXPECT_EQ(Lines(in->ExistingSampleFolders), (V{u"Text", u"Xml"}));
  EXPECT_EQ(Lines(in->ExistingDictionaries), (V{u"de"}));
  EXPECT_GE(in->IndexOfExistingLanguage(u"zh.tra"), 0);
  EXPECT_GE(in->IndexOfExistingLanguage(u"de-DE"), 0);
  EXPECT_EQ(in->ExistingLanguageCount(), 2) << "the program and its help file are no language files";
  EXPECT_EQ(in->IndexOfExistingDictionary(u"DE"), -1) << "locale codes compare exactly";
  EXPECT_EQ(in->ExistingVersion.Major, 0) << "natively no version resource can be read";

  // A registered folder that is gone: the folder, nothing else.
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(TInstaller::UninstallRoot() + u"\\Tramvelon 4", false));
    reg.WriteString(u"UninstallString", Dir(u"Gone/TvUninstall.exe"));
  }
  auto gone = TKyInstaller::Create<TInstaller>();
  EXPECT_EQ(gone->ExistingDir, Dir(u"Gone"));
  EXPECT_EQ(gone->ExistingSampleFolders.Count() + gone->ExistingDictionaryCount() + gone->ExistingLanguageCount(), 0);

  // Only version 3: its folder and program folder.
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.DeleteKey(TInstaller::UninstallRoot() + u"\\Tramvelon 4"));
    ASSERT_TRUE(reg.OpenKey(TInstaller::UninstallRoot() + u"\\Tramvelon 3", false));
    reg.WriteString(u"InstallFolder", u"Tramvelon 3");
  }
  auto previous = TKyInstaller::Create<TInstaller>();
  EXPECT_TRUE(previous->ExistingDir.empty());
  EXPECT_EQ(previous->PreviousDir, u"C:\\Old");
  EXPECT_EQ(previous->PreviousProgramFolder, u"Tramvelon 3");

  // A value of the wrong type ends the catalogue with the registry's error.
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(TInstaller::UninstallRoot() + u"\\Tramvelon 3", false));
    reg.WriteInteger(u"UninstallString", 1);
  }
  EXPECT_THROW(TKyInstaller::Create<TInstaller>(), ERegistryException);
}

TEST_F(InstallerNative, WholeRunsOnDiskInTheLogAndInTheRegistry) {
  const String inst = Dir(u"Program Files/Tramvelon 4");
  const String personal = Dir(u"Documents/Tramvelon 4");
  const String ideRoot = Dir(u"D7");
  ASSERT_TRUE(ForceDirectories(Dir(u"Documents")));
  ASSERT_TRUE(ForceDirectories(KyJoinPath(ideRoot, u"Help")));
  const String ohl = KyJoinPath(ideRoot, u"Help/D7.ohl");
  WriteAll(ohl, ":LINK other.hlp\r\n:LINK TvVcl.hlp\r\n\x1A\r\n\r\n");
  WriteAll(KyJoinPath(ideRoot, u"Help/D7.gid"), "cache");
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(u"SOFTWARE\\Borland\\Delphi\\7.0", true));
    reg.WriteString(u"RootDir", ideRoot);
    ASSERT_TRUE(reg.OpenKey(u"\\SOFTWARE\\Microsoft\\Windows\\Help", true));
    TRegistry user(rkCurrentUser);
    ASSERT_TRUE(user.OpenKey(u"SOFTWARE\\Borland\\Delphi\\7.0\\Library", true));
    user.WriteString(u"Search Path", u"$(DELPHI)\\Lib");
    // .tvp belonged to another program before.
    TRegistry classes(rkClassesRoot);
    ASSERT_TRUE(classes.OpenKey(u".tvp", true));
    classes.WriteString(u"", u"OtherProject");
  }
  int lastPercent = -1;
  bool monotonic = true;
  auto run = [&](TInstallType type) {
    auto in = TKyInstaller::Create<TInstaller>();
    in->SetInstallDir(inst);
    in->PersonalDir = personal;
    in->SamplesToPersonalDir = true;
    in->AddSamplesToRecentList = true;
    in->UiLanguage = u"de";
    in->InstallType = type;
    in->ProgramFolder = u"Tramvelon";
    lastPercent = -1;
    in->OnProgress = [&](TKyInstaller*, int percent, bool&) {
      if (percent < lastPercent || percent > 100) monotonic = false;
      lastPercent = percent;
    };
    // An unchecked dictionary is left out.
    in->OnFile = [](TKyInstaller*, const String& res, bool& skip, const String& file) {
      if (res == u"SPELLCHECK" && EndsText(u"SpellUS.lex", file)) skip = true;
    };
    in->Install();
    return Lines(in->UninstallFile->Lines);
  };
  V log = run(itFresh);
  EXPECT_TRUE(monotonic);
  EXPECT_EQ(lastPercent, 99) << "the last archive ends just below the full run";

  // Files: the application, the samples below the personal folder, no skipped dictionary.
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"Tramvelon.exe")));
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"TvUninstall.exe")));
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"SpellGER.lex")));
  EXPECT_FALSE(FileExists(KyJoinPath(inst, u"SpellUS.lex")));
  EXPECT_TRUE(FileExists(KyJoinPath(personal, u"Text/Ini/Country.tvp")));
  EXPECT_TRUE(FileExists(KyJoinPath(personal, u"Readme.html")));
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"TvUninstall.dat")));

  // The log: the uninstaller itself is not recorded; the personal folder before its contents.
  EXPECT_FALSE(Contains(log, u"file;TvUninstall.exe"));
  EXPECT_TRUE(Contains(log, u"file;Tramvelon.exe"));
  EXPECT_FALSE(Contains(log, u"file;SpellUS.lex"));
  auto at = [&](const String& s) { return std::find(log.begin(), log.end(), s) - log.begin(); };
  EXPECT_LT(at(u"dir;..\\..\\Documents\\Tramvelon 4"), at(u"dir;..\\..\\Documents\\Tramvelon 4\\Text"));
  EXPECT_LT(at(u"dir;..\\..\\Documents\\Tramvelon 4\\Text"), at(u"file;..\\..\\Documents\\Tramvelon 4\\Text\\Ini\\Country.tvp"));
  EXPECT_TRUE(Contains(log, u"file;..\\..\\Documents\\Tramvelon 4\\Tramvelon.tvo"));
  EXPECT_TRUE(Contains(log, u"regkey;HKEY_LOCAL_MACHINE;\\Software\\Tramvelon"));
  EXPECT_TRUE(Contains(log, u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup1;InstallDir;"));
  EXPECT_TRUE(Contains(log, u"regvalue;HKEY_CLASSES_ROOT;.tvp;;OtherProject"));
  EXPECT_TRUE(Contains(log, u"regkey;HKEY_CLASSES_ROOT;TramvelonProject\\Shell"));
  EXPECT_FALSE(Contains(log, u"line;" + ohl + u";:LINK TvVcl.hlp")) << "the line was there already";

  // The options file, byte for byte.
  const String vcl = KyJoinPath(personal, u"Vcl");
  EXPECT_EQ(ReadAll(KyJoinPath(personal, u"Tramvelon.tvo")),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<options>\r\n  <languages ui=\"de\"/>\r\n"
            "  <projects>\r\n    <item>" + StringToUtf8(KyJoinPath(personal, u"Text/Ini/Country.tvp")) +
                "</item>\r\n    <item>" + StringToUtf8(KyJoinPath(personal, u"Text/Text/Country.tvp")) +
                "</item>\r\n  </projects>\r\n</options>\r\n");

  // The registry: setup record, uninstall entry with what the list of programs shows.
  const String setup1 = u"\\Software\\Tramvelon\\Setup1";
  EXPECT_EQ(ReadValue(rkLocalMachine, setup1, u"Version"), u"4");
  EXPECT_EQ(ReadValue(rkLocalMachine, setup1, u"InstallDir"), inst);
  EXPECT_EQ(ReadValue(rkLocalMachine, setup1, u"PersonalDir"), personal);
  const String entry = TInstaller::UninstallRoot() + u"\\Tramvelon 4";
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"UninstallString"), KyJoinPath(inst, u"TvUninstall.exe"));
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"InstallFolder"), u"Tramvelon");
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"DisplayVersion"), u"4.0.354");
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"URLInfoAbout").rfind(u"http://", 0), 0u);
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKeyReadOnly(entry));
    EXPECT_EQ(reg.ReadInteger(u"NoModify"), 1);
    EXPECT_GT(reg.ReadInteger(u"EstimatedSize"), 0);
  }
  EXPECT_EQ(ReadValue(rkClassesRoot, u".tvp", u""), u"TramvelonProject");
  EXPECT_EQ(ReadValue(rkClassesRoot, u"TramvelonPackage\\DefaultIcon", u""),
            u"\"" + KyJoinPath(inst, u"Tramvelon.exe") + u"\",2");
  EXPECT_EQ(ReadValue(rkClassesRoot, u"TramvelonProject\\Shell\\Open\\Command", u""),
            u"\"" + KyJoinPath(inst, u"Tramvelon.exe") + u"\" \"%1\"");

  // Development environment: help registered, index rewritten, search path extended.
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\SOFTWARE\\Microsoft\\Windows\\Help", u"TvVcl.hlp"), vcl);
  EXPECT_EQ(ReadAll(ohl), ":LINK other.hlp\r\n:LINK TvVcl.hlp\r\n");
  EXPECT_FALSE(FileExists(KyJoinPath(ideRoot, u"Help/D7.gid")));
  EXPECT_EQ(ReadValue(rkCurrentUser, u"\\SOFTWARE\\Borland\\Delphi\\7.0\\Library", u"Search Path"),
            u"$(DELPHI)\\Lib;" + vcl);

  // An update into the same folder adds only the new setup record; the settings stay.
  WriteAll(KyJoinPath(personal, u"Tramvelon.tvo"), "user settings");
  V second = run(itUpdate);
  V added(second.begin() + static_cast<long>(log.size()), second.end());
  EXPECT_TRUE(std::equal(log.begin(), log.end(), second.begin()));
  EXPECT_EQ(added, (V{u"regkey;HKEY_LOCAL_MACHINE;\\Software\\Tramvelon\\Setup2",
                      u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup2;Version;",
                      u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup2;InstallDir;",
                      u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup2;PersonalDir;"}));
  EXPECT_EQ(ReadAll(KyJoinPath(personal, u"Tramvelon.tvo")), "user settings");
  EXPECT_EQ(ReadValue(rkCurrentUser, u"\\SOFTWARE\\Borland\\Delphi\\7.0\\Library", u"Search Path"),
            u"$(DELPHI)\\Lib;" + vcl) << "the folder is added once";
  run(itUpdate);
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup3", u"Version"), u"4");
}

TEST_F(InstallerNative, AbortDuringTheFirstComponentWritesNothingAfterIt) {
  const String inst = Dir(u"Inst");
  auto in = TKyInstaller::Create<TInstaller>();
  in->SetInstallDir(inst);
  in->PersonalDir = inst;
  in->OnComponent = [&](TKyInstaller*, TKyInstallComponent*) { in->Aborted = true; };
  in->Install();
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"TvUninstall.dat")));
  EXPECT_FALSE(FileExists(KyJoinPath(inst, u"Tramvelon.tvo")));
  EXPECT_FALSE(FileExists(KyJoinPath(inst, u"Tramvelon.exe")));
  TRegistry reg(rkLocalMachine);
  EXPECT_FALSE(reg.KeyExists(u"\\Software\\Tramvelon"));
  EXPECT_FALSE(reg.KeyExists(TInstaller::UninstallRoot() + u"\\Tramvelon 4"));
  V log = Lines(in->UninstallFile->Lines);
  // The uninstaller's language first; then the entry being started when the stop was seen,
  // and nothing after it.
  EXPECT_EQ(log, (V{u"regkey;HKEY_CURRENT_USER;\\Software\\CodeGear", u"regkey;HKEY_CURRENT_USER;\\Software\\CodeGear\\Locales",
                    u"regvalue;HKEY_CURRENT_USER;Software\\CodeGear\\Locales;" + KyJoinPath(inst, u"TvUninstall.exe") + u";",
                    u"file;Tramvelon.exe"}));
}

// A stop inside the uninstaller's (big) entry waits for its end: an aborted run must leave a
// whole uninstaller beside its log, and nothing of the components.
TEST_F(InstallerNative, AbortDuringTheUninstallerStillLeavesItWhole) {
  std::string big(3 << 20, '\0');
  std::uint32_t x = 1;
  for (char& c : big) c = static_cast<char>((x = x * 1664525 + 1013904223) >> 24);
  Resource("UNINSTALL", {TestEntry("TvUninstall.exe", big)});
  const String inst = Dir(u"Inst");
  auto in = TKyInstaller::Create<TInstaller>();
  in->SetInstallDir(inst);
  in->PersonalDir = inst;
  int reports = 0;
  in->OnProgress = [&](TKyInstaller*, int, bool& abort) {
    ++reports;
    abort = true;
  };
  in->Install();
  EXPECT_GT(reports, 0);
  EXPECT_EQ(ReadAll(KyJoinPath(inst, u"TvUninstall.exe")), big);
  EXPECT_TRUE(FileExists(KyJoinPath(inst, u"TvUninstall.dat")));
  EXPECT_FALSE(FileExists(KyJoinPath(inst, u"Tramvelon.exe")));
}

TEST(InstallerHelpers, PathsDictionariesAndLanguageCodes) {
  PopulateLocaleDatas();
  EXPECT_EQ(CombinePath(u"A\\B\\..\\c.tvp", u"/base/dir"), u"/base/dir/A/c.tvp");
  EXPECT_EQ(CombinePath(u"..\\..\\..\\x", u"/b"), u"/x") << "never above the root";
  EXPECT_EQ(CombinePath(u"C:\\abs.tvp", u"/b"), u"C:\\abs.tvp");
  EXPECT_EQ(CombinePath(u"name.tvp", u"/b/"), u"/b/name.tvp");
  EXPECT_EQ(DictionaryLocale(u"C:\\X\\spellger.LEX"), u"de");
  EXPECT_EQ(DictionaryLocale(u"VazerUvudiRarerez.dll"), u"");
  EXPECT_EQ(TInstaller::LanguageExtLocale(u"CHT"), u"zh.tra");
  EXPECT_NE(TInstaller::LanguageExtLocale(u"cht"), u"zh.tra");
  EXPECT_EQ(TInstaller::LanguageFileLocale(u"Tramvelon.exe"), u"");
  EXPECT_EQ(TInstaller::LanguageFileLocale(u"Tramvelon.RU"), u"ru");
  TAddOns addOns;
  EXPECT_TRUE(addOns.InstallAll());
  EXPECT_EQ(addOns.Items(0)->GetName(), u"SSL library");
  EXPECT_EQ(addOns.Folder(), ExtractFileDir(ProgramFileName())) << "the setup's own folder until one is set";
}
