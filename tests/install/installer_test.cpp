// Installer base and payload extraction on the test payload (built by make_payload.py):
// components, unique names, the install run, and what every archive entry leaves in the
// file system and the uninstall log.
#include <gtest/gtest.h>

#include <algorithm>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyinstaller.h"
#include "lib/install/kyzip.h"
#include "payload_password.h"
#include "tests/core/testutil.h"

namespace {
class TTestInstaller : public TKyInstaller {
 public:
  String GetProductName() override { return Format(u"%s %d", {u"Tramvelon", 4}); }
  String GetUninstallFileName() override { return u"TvUninstall.dat"; }
  void FileLogged(const String& fileName) override { Logged.push_back(fileName); }
  void DoInstall() override {
    if (Run) Run(*this);
  }
  std::vector<String> Logged;
  std::function<void(TTestInstaller&)> Run;
};

class InstallerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
#ifndef _WIN32
    // Natively the payload resources are the files that the build made.
    for (const char* name : {"PLAIN", "NESTED", "ENCRYPTED", "AES", "DAMAGED", "EVIL"}) {
      String res = AsciiToString(name);
      String file = Utf8ToString(TV_TEST_PAYLOAD_DIR "/") + LowerCase(res) + u".zip";
      RegisterNativeResource(res, kPayloadResourceType, ReadAll(file));
    }
#endif
  }
  void SetUp() override {
    Installer = TKyInstaller::Create<TTestInstaller>();
    Inst = Temp.File(u"Inst");
    ASSERT_TRUE(CreateDir(Inst));
    Installer->SetInstallDir(Inst);
    KyPasswordPrompt = nullptr;
  }
  void TearDown() override { KyPasswordPrompt = nullptr; }

  TKyInstallComponent* Add(std::unique_ptr<TKyInstallComponent> c) {
    return Installer->Components(Installer->AddComponent(std::move(c)));
  }
  std::vector<String> Records() const {
    std::vector<String> v;
    const TStringList& l = Installer->UninstallFile->Lines;
    for (int i = 0; i < l.Count(); ++i) v.push_back(l[i]);
    return v;
  }
  String In(const String& rel) const { return KyJoinPath(Inst, StringReplaceAll(rel, u"\\", String(1, PathDelimiter()))); }

  TTempDir Temp;
  String Inst;
  std::unique_ptr<TTestInstaller> Installer;
};
using V = std::vector<String>;
}  // namespace

TEST_F(InstallerTest, ComponentsSizesAndLookup) {
  EXPECT_EQ(Installer->DisplayName, u"Tramvelon 4");
  EXPECT_EQ(Installer->GetUninstallKey(), u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tramvelon 4");
  auto* plain = Add(std::make_unique<TKyHiddenComponent>(u"PLAIN", u""));
  auto* missing = Add(std::make_unique<TKyVisibleComponent>(u"SPELLCHECK", u"Dict"));
  EXPECT_EQ(plain->Size, 7 + 5690 + 500 + 500);
  EXPECT_TRUE(plain->Exists());
  TStringList names;
  plain->GetFileNames(names);
  ASSERT_EQ(names.Count(), 5);
  EXPECT_EQ(names[0], u"a.txt");
  EXPECT_EQ(names[2], u"Data/Sub/x.txt");
  EXPECT_EQ(missing->Size, 0);
  EXPECT_FALSE(missing->Exists());
  names.Add(u"stale");
  missing->GetFileNames(names);
  EXPECT_EQ(names.Count(), 0);
  EXPECT_TRUE(missing->Selected);

  EXPECT_EQ(Installer->FindComponent(u"SPELLCHECK"), missing);
  EXPECT_EQ(Installer->FindComponent(u"spellcheck"), nullptr);
  EXPECT_TRUE(Installer->IsComponentSelected(u"PLAIN"));
  plain->Selected = false;
  EXPECT_FALSE(Installer->IsComponentSelected(u"PLAIN"));
  EXPECT_FALSE(Installer->IsComponentSelected(u"NOTHING"));
  EXPECT_THROW(Installer->Components(2), EListError);
  EXPECT_THROW(Installer->Components(-1), EListError);
  EXPECT_THROW(TKyInstallComponent::OpenResource(u"NOTHING"), EResNotFound);
  EXPECT_THROW(Installer->ExtractResource(u"NOTHING", u""), EResNotFound);
}

TEST_F(InstallerTest, FoldersAndUniqueNames) {
  Installer->SetInstallDir(Inst + PathDelimiter());
  EXPECT_EQ(Installer->UninstallFile->FileName, KyJoinPath(Inst, u"TvUninstall.dat"));
  Installer->PersonalDir = u"P";
  EXPECT_EQ(Installer->GetSamplesDir(), Inst + PathDelimiter());
  Installer->SamplesToPersonalDir = true;
  EXPECT_EQ(Installer->GetSamplesDir(), u"P");

  const String x = Temp.File(u"X");
  EXPECT_EQ(TKyInstaller::GetUniqueDirName(x), x);
  CreateDir(x);
  CreateDir(x + u" (2)");
  EXPECT_EQ(TKyInstaller::GetUniqueDirName(x), x + u" (3)");
  EXPECT_EQ(TKyInstaller::GetUniqueDirName(x + PathDelimiter()), x + u" (3)");
  const String lnk = Temp.File(u"a.b.lnk");
  EXPECT_EQ(TKyInstaller::GetUniqueFileName(lnk), lnk);
  WriteAll(lnk, "");
  EXPECT_EQ(TKyInstaller::GetUniqueFileName(lnk), Temp.File(u"a.b (2).lnk"));

  const String name = Format(u"TvUniqueTest %d", {::testing::UnitTest::GetInstance()->random_seed()});
  EXPECT_EQ(TKyInstaller::GetUniqueUninstallName(name), name);
  TRegistry reg(rkLocalMachine);
  for (const String& k : {name, name + u" (2)"}) ASSERT_TRUE(reg.OpenKey(TKyInstaller::UninstallRoot() + u"\\" + k, true));
  reg.CloseKey();
  EXPECT_EQ(TKyInstaller::GetUniqueUninstallName(name), name + u" (3)");
  for (const String& k : {name, name + u" (2)"}) reg.DeleteKey(TKyInstaller::UninstallRoot() + u"\\" + k);
}

TEST_F(InstallerTest, RecordsFoldersTopDownBeforeEachFileAndHonoursSkip) {
  auto* plain = Add(std::make_unique<TKyHiddenComponent>(u"PLAIN", u""));
  std::vector<String> offered;
  Installer->OnFile = [&](TKyInstaller* sender, const String& res, bool& skip, const String& fileName) {
    EXPECT_EQ(sender, Installer.get());
    EXPECT_EQ(res, u"PLAIN");
    offered.push_back(fileName);
    skip = EndsText(u".lex", fileName);
  };
  TKyInstallComponent* announced = nullptr;
  Installer->OnComponent = [&](TKyInstaller*, TKyInstallComponent* c) { announced = c; };
  Installer->InstallComponent(plain);
  EXPECT_EQ(announced, plain);
  EXPECT_EQ(Installer->CurrentComponent, plain);
  EXPECT_EQ(Installer->CurrentResource, u"PLAIN");
  EXPECT_EQ(Installer->ProgressDone, 100);
  EXPECT_EQ(Records(), (V{u"file;a.txt", u"dir;Data", u"dir;Data\\Sub", u"file;Data\\Sub\\x.txt"}));
  EXPECT_EQ(Installer->Logged, (V{In(u"a.txt"), In(u"Data\\Sub\\x.txt")}));
  EXPECT_EQ(ReadAll(In(u"a.txt")), "alpha\r\n");
  EXPECT_EQ(GetFileSize(In(u"Data\\Sub\\x.txt")), 5690);
  EXPECT_FALSE(FileExists(In(u"Dict\\de.lex")));
  EXPECT_FALSE(DirectoryExists(In(u"Dict")));
  EXPECT_EQ(offered.size(), 4u) << "folder entries are not offered as files";

  // A deselected component is not touched.
  Installer->UninstallFile->Lines.Clear();
  plain->Selected = false;
  Installer->InstallComponent(plain);
  EXPECT_TRUE(Records().empty());
}

TEST_F(InstallerTest, SampleComponentsGoBelowTheSamplesFolder) {
  const String personal = Temp.File(u"Personal");
  ASSERT_TRUE(CreateDir(personal));
  Installer->PersonalDir = personal;
  Installer->SamplesToPersonalDir = true;
  auto* android = Add(std::make_unique<TKyVisibleComponent>(u"PLAIN", u"Android"));
  Installer->InstallComponent(android);
  const String target = KyJoinPath(personal, u"Android");
  EXPECT_EQ(ReadAll(KyJoinPath(target, u"a.txt")), "alpha\r\n");
  const V records = Records();
  ASSERT_GE(records.size(), 4u);
  EXPECT_EQ(records[0], u"dir;..\\Personal\\Android");
  EXPECT_EQ(records[1], u"file;..\\Personal\\Android\\a.txt");
  EXPECT_EQ(records[2], u"dir;..\\Personal\\Android\\Data");
  // A relative target of a plain resource extraction is below the installation folder.
  Installer->UninstallFile->Lines.Clear();
  Installer->CurrentComponent = nullptr;
  Installer->ExtractResource(u"PLAIN", u"Sub");
  EXPECT_TRUE(FileExists(In(u"Sub\\Dict\\fr.lex")));
  // The uninstaller's archive (no current component) records only the folder it made.
  EXPECT_EQ(Records(), (V{u"dir;Sub"}));
}

TEST_F(InstallerTest, NestedArchivesGoToTheOuterDestinationAndAreDeleted) {
  Installer->InstallComponent(Add(std::make_unique<TKyHiddenComponent>(u"NESTED", u"")));
  EXPECT_EQ(ReadAll(In(u"outer.txt")), "outer");
  EXPECT_EQ(ReadAll(In(u"a.txt")), "inner alpha");
  EXPECT_EQ(ReadAll(In(u"B\\b.txt")), "inner beta");
  EXPECT_FALSE(FileExists(In(u"inner.zip")));
  // A .zip inside the nested archive is written but neither opened nor recorded.
  EXPECT_TRUE(FileExists(In(u"deep.zip")));
  EXPECT_FALSE(FileExists(In(u"z.txt")));
  EXPECT_EQ(Records(), (V{u"file;outer.txt", u"file;a.txt", u"dir;B", u"file;B\\b.txt"}));
}

TEST_F(InstallerTest, PasswordPromptRule) {
  for (const Char* resource : {u"ENCRYPTED", u"AES"}) {
    SCOPED_TRACE(StringToUtf8(resource));
    // Cancel: each entry is left out after its prompts, the run goes on, the paths are logged.
    std::vector<String> answers;
    int prompts = 0;
    KyPasswordPrompt = [&](String& password) {
      ++prompts;
      if (answers.empty()) return false;
      password = answers.front();
      answers.erase(answers.begin());
      return true;
    };
    TTempDir dir;
    Installer->SetInstallDir(dir.Path());
    Installer->InstallDir = dir.Path();
    Installer->UninstallFile->Lines.Clear();
    auto* pkg = Add(std::make_unique<TKyHiddenComponent>(resource, u""));
    Installer->InstallComponent(pkg);
    const String project = KyJoinPath(KyJoinPath(dir.Path(), u"pkg"), u"project.tvp");
    const String readme = KyJoinPath(KyJoinPath(dir.Path(), u"pkg"), u"readme.txt");
    EXPECT_FALSE(FileExists(project));
    EXPECT_FALSE(FileExists(readme));
    EXPECT_EQ(prompts, 2);
    EXPECT_EQ(Records(), (V{u"dir;pkg", u"file;pkg\\project.tvp", u"file;pkg\\readme.txt"}));

    // A wrong password asks again; the right one serves every later entry.
    prompts = 0;
    answers = {u"wrong", u"secret"};
    Installer->InstallComponent(pkg);
    EXPECT_EQ(prompts, 2);
    EXPECT_EQ(GetFileSize(project), 22 * 20);
    EXPECT_EQ(GetFileSize(readme), 90);
  }
}

TEST_F(InstallerTest, TraditionalPasswordPassingTheHeaderCheckButNotTheCrcIsAskedAgain) {
  std::vector<String> answers = {TV_COLLIDING_PASSWORD, u"secret"};
  int prompts = 0;
  KyPasswordPrompt = [&](String& password) {
    ++prompts;
    if (answers.empty()) return false;
    password = answers.front();
    answers.erase(answers.begin());
    return true;
  };
  Installer->InstallComponent(Add(std::make_unique<TKyHiddenComponent>(u"ENCRYPTED", u"")));
  EXPECT_EQ(prompts, 2);
  EXPECT_EQ(ReadAll(In(u"pkg\\project.tvp")), [] {
    std::string s;
    for (int i = 0; i < 20; ++i) s += "<project name='demo'/>";
    return s;
  }());
  EXPECT_EQ(GetFileSize(In(u"pkg\\readme.txt")), 90);
}

TEST_F(InstallerTest, AbortLeavesTheRestOfTheArchiveOutAndProgressAddsUp) {
  Installer->ProgressTotal = 200;
  Installer->ProgressDone = 100;
  std::vector<int> percents;
  Installer->OnProgress = [&](TKyInstaller*, int percent, bool& abort) {
    percents.push_back(percent);
    EXPECT_FALSE(abort);
  };
  auto* plain = Add(std::make_unique<TKyHiddenComponent>(u"PLAIN", u""));
  Installer->InstallComponent(plain);
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_GE(percents.front(), 50);
  EXPECT_EQ(percents.back(), 100);
  EXPECT_EQ(Installer->ProgressDone, 200);

  // Escape on the third file: that entry is recorded but not written, later ones neither.
  TTempDir dir;
  Installer->SetInstallDir(dir.Path());
  Installer->UninstallFile->Lines.Clear();
  Installer->OnProgress = nullptr;
  int files = 0;
  Installer->OnFile = [&](TKyInstaller* sender, const String&, bool&, const String&) {
    if (++files == 3) sender->Aborted = true;
  };
  Installer->InstallComponent(plain);
  EXPECT_TRUE(Installer->Aborted);
  EXPECT_EQ(files, 3);
  EXPECT_TRUE(FileExists(KyJoinPath(dir.Path(), u"a.txt")));
  EXPECT_FALSE(FileExists(KyJoinPath(KyJoinPath(dir.Path(), u"Dict"), u"de.lex")));
  EXPECT_EQ(Records(), (V{u"file;a.txt", u"dir;Data", u"dir;Data\\Sub", u"file;Data\\Sub\\x.txt", u"dir;Dict",
                          u"file;Dict\\de.lex"}));
}

TEST_F(InstallerTest, DamagedAndUnsafeArchivesEndTheExtractionNamingTheEntry) {
  auto* damaged = Add(std::make_unique<TKyHiddenComponent>(u"DAMAGED", u""));
  try {
    Installer->InstallComponent(damaged);
    FAIL() << "a CRC mismatch was accepted";
  } catch (const EKyZipException& e) {
    EXPECT_NE(e.Message().find(u"bad.txt"), String::npos) << e.what();
  }
  EXPECT_EQ(ReadAll(In(u"good.txt")), "good data");
  EXPECT_FALSE(FileExists(In(u"bad.txt")));
  EXPECT_EQ(ListDirectory(Inst, false).size(), 1u) << "no partial or temporary file stays";
  EXPECT_EQ(Installer->ProgressDone, 0);

  Installer->UninstallFile->Lines.Clear();
  auto* evil = Add(std::make_unique<TKyHiddenComponent>(u"EVIL", u""));
  try {
    Installer->InstallComponent(evil);
    FAIL() << "an entry leaving the destination was accepted";
  } catch (const EKyZipException& e) {
    EXPECT_NE(e.Message().find(u"../escape.txt"), String::npos) << e.what();
  }
  EXPECT_FALSE(FileExists(Temp.File(u"escape.txt")));
  for (const String& r : Records()) EXPECT_EQ(r.find(u"escape"), String::npos) << StringToUtf8(r);
}

TEST_F(InstallerTest, InstallLoadsRunsAndSavesTheLog) {
  const String logFile = Installer->UninstallFile->FileName;
  WriteAll(logFile, "\xEF\xBB\xBF" "file;Earlier.txt\r\n");
  auto* plain = Add(std::make_unique<TKyHiddenComponent>(u"PLAIN", u""));
  Installer->Aborted = true;
  Installer->Run = [&](TTestInstaller& i) {
    EXPECT_FALSE(i.Aborted);
    i.InstallComponent(plain);
  };
  Installer->Install();
  const RawBytes first = ReadAll(logFile);
  EXPECT_EQ(first.rfind("\xEF\xBB\xBF" "file;Earlier.txt\r\nfile;a.txt\r\n", 0), 0u);
  // The same run again into the same folder leaves the log as it was.
  Installer->Install();
  EXPECT_EQ(ReadAll(logFile), first);
  // A run that raises does not save.
  Installer->Run = [&](TTestInstaller& i) {
    i.UninstallFile->AddLine(u"file;Never.txt");
    throw Exception(u"failed");
  };
  EXPECT_THROW(Installer->Install(), Exception);
  EXPECT_EQ(ReadAll(logFile), first);
}
