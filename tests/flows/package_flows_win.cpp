// Package setups from double click to uninstall: the package that the application opens at
// the end, and the encrypted package with its password prompts. Each flow checks disk and
// registry and ends with the uninstaller (the round trip then checks that nothing is left).
#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"
#include "lib/install/kyuninstall.h"
#include "tests/core/testutil.h"
#include "tests/flows/flow.h"

namespace {

const std::wstring kPackageTitle = L"4 Translator Package Setup - Language";
const char16_t kPackageName[] = u"Country Database";
const char16_t* const kPackageFiles[] = {u"Country.tvp", u"Translator.txt", u"country.ini"};

String DemoPackageFile(const String& name) { return KyJoinPath(Utf8ToString(TV_DEMO_DIR "/package/PACKAGE"), name); }

// The package's folder below the samples folder (the personal folder by default).
String PackageFolder(const TDefaultPlaces& p) { return KyJoinPath(p.Personal, kPackageName); }

// From the first page to the program folder: no version check and no samples page.
void WalkToFolderSheet(TSetupRun& s) {
  ASSERT_TRUE(s.Main);
  s.Snap(L"0-StartSheet");
  ASSERT_TRUE(s.NextTo(L"LicenseSheet")) << "straight from the start page to the licence";
  EXPECT_FALSE(TDriver::Visible(s.C(L"CheckSheet")));
  EXPECT_EQ(TDriver::Text(s.Main), L"4 Translator Package Setup - Software License Agreement");
  ASSERT_TRUE(s.NextTo(L"DictionarySheet")) << "the package setup has no samples page";
  ASSERT_TRUE(s.NextThrough({L"LanguagesSheet", L"DestinationSheet", L"FolderSheet"}));
}

void ExpectPackageFinishPage(TSetupRun& s) {
  EXPECT_EQ(TDriver::Text(s.C(L"CompleteLabel2")), L"Setup will launch Tramvelon and open the package file.");
  EXPECT_FALSE(TDriver::Visible(s.C(L"ApplicationCheck")));
  EXPECT_FALSE(TDriver::Visible(s.C(L"ReadmeCheck")));
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Finish");
}

// The application that Finish started with the package, shown and closed; its text.
std::wstring CloseApplication(const std::wstring& shot) {
  TDriver app;
  HWND window = app.FollowWindow(L"Country.tvp - Tramvelon 4", 20000);
  EXPECT_TRUE(window) << "Tramvelon.exe names the package's project file in its title";
  if (!window) return std::wstring();
  TDriver::Screenshot(window, Shot(shot));
  std::wstring text = TDriver::Text(GetDlgItem(window, 1));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.WaitExit(10000), 0);
  return text;
}

std::wstring CreatedText() {
  SYSTEMTIME st{2015, 5, 1, 4, 18, 18, 9, 0};
  wchar_t date[128] = {}, time[128] = {};
  GetDateFormatW(GetThreadLocale(), DATE_SHORTDATE, &st, nullptr, date, 128);
  GetTimeFormatW(GetThreadLocale(), 0, &st, nullptr, time, 128);
  return std::wstring(date) + L" " + time;
}

// The password dialog of the install run; null when it did not come.
HWND PasswordDialog(TSetupRun& s) { return s.Dialog(L"PasswordDialog", 60000); }

void EnterPassword(TSetupRun& s, HWND dialog, const std::wstring& password, const std::wstring& shot) {
  HWND edit = s.D.Control(dialog, L"Edit");
  ASSERT_TRUE(edit);
  s.D.Type(edit, password);
  if (!shot.empty()) TDriver::Screenshot(dialog, Shot(shot));
  s.D.Click(s.D.Control(dialog, L"OkButton"));
  TDriver::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, 5000);
}

}  // namespace

TEST(Flows, PackageSetup) {
  TComInit com;
  TDefaultPlaces p;
  {
    TSetupRun s(SetupExe("package"), kPackageTitle);
    s.ShotPrefix = L"package";
    ASSERT_TRUE(s.Main) << "the package setup's title";
    EXPECT_EQ(TDriver::Text(s.C(L"StartLabel")),
              L"This setup application installs Tramvelon localization tool on your computer, and opens the project "
              L"file sent by the author below.\r\n\r\n"
              L"It is strongly recommended that you exit all Windows programs before running this Setup program.\r\n\r\n"
              L"Click Cancel to quit Setup and then close any program you have running. Click Next to continue with "
              L"the Setup program.\r\n\r\n"
              L"Description: Translate the texts of the Country Database program into Finnish. The glossary in the "
              L"project holds the terms that the customer has approved.\r\n"
              L"Author: Anna Virtanen\r\n"
              L"Created: " + CreatedText());
    WalkToFolderSheet(s);
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ExpectPackageFinishPage(s);
    ASSERT_EQ(s.Finish(), 0);
  }
  // Finish started the application with the package's project file, which it could read.
  const String project = KyJoinPath(PackageFolder(p), u"Country.tvp");
  std::wstring shown = CloseApplication(L"package-application");
  EXPECT_NE(shown.find(Ws(project)), std::wstring::npos) << Narrow(shown);
  EXPECT_EQ(shown.find(L"\r\n" + Ws(project) + L"\r\n"), std::wstring::npos) << "not the could-not-read text";

  for (const char16_t* f : kPackageFiles)
    EXPECT_EQ(ReadAll(KyJoinPath(PackageFolder(p), f)), ReadAll(DemoPackageFile(f))) << StringToUtf8(f);
  EXPECT_TRUE(FileExists(KyJoinPath(p.Inst, u"Tramvelon.exe")));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Personal, u"Readme.html"))) << "a package setup carries no read-me";
  EXPECT_FALSE(DirectoryExists(KyJoinPath(p.Personal, u"Text"))) << "nor samples";
  EXPECT_EQ(ReadValue(rkLocalMachine, UninstallKey(u"Tramvelon 4"), u"UninstallString"),
            KyJoinPath(p.Inst, u"TvUninstall.exe"));
  EXPECT_EQ(ReadValue(rkClassesRoot, u".tvp", u""), u"TramvelonProject");

  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"package"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
  EXPECT_FALSE(DirectoryExists(p.Personal));
  EXPECT_FALSE(KeyExists(rkLocalMachine, UninstallKey(u"Tramvelon 4")));
}

TEST(Flows, EncryptedPackagePasswords) {
  TComInit com;
  TDefaultPlaces p;
  // A wrong password is asked again; the right one opens every entry of the package.
  {
    TSetupRun s(SetupExe("package-aes"), kPackageTitle);
    s.ShotPrefix = L"aes";
    WalkToFolderSheet(s);
    s.Next();
    HWND ask = PasswordDialog(s);
    ASSERT_TRUE(ask) << "the password dialog during the install";
    s.Snap(L"InstallSheet");
    EXPECT_EQ(TDriver::Text(s.D.Control(ask, L"PackageLabel")), L"The package has been encrypted.");
    EXPECT_EQ(TDriver::Text(s.D.Control(ask, L"Label1")), L"&Enter the password:");
    HWND edit = s.D.Control(ask, L"Edit");
    EXPECT_TRUE(GetWindowLongPtrW(edit, GWL_STYLE) & ES_PASSWORD) << "a masked edit";
    EnterPassword(s, ask, L"Translate4u", L"aes-password-wrong");
    ask = PasswordDialog(s);
    ASSERT_TRUE(ask) << "asked again after a wrong password";
    EXPECT_TRUE(TDriver::Text(s.D.Control(ask, L"Edit")).empty());
    EnterPassword(s, ask, L"Translate4U", L"aes-password-right");
    ASSERT_TRUE(s.On(L"FinishSheet", 120000));
    s.Snap(L"FinishSheet");
    EXPECT_FALSE(s.Dialog(L"PasswordDialog", 300)) << "the right password holds for the whole package";
    ExpectPackageFinishPage(s);
    ASSERT_EQ(s.Finish(), 0);
  }
  CloseApplication(L"aes-application");
  for (const char16_t* f : kPackageFiles)
    EXPECT_EQ(ReadAll(KyJoinPath(PackageFolder(p), f)), ReadAll(DemoPackageFile(f))) << StringToUtf8(f);
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"aes"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
  EXPECT_FALSE(DirectoryExists(p.Personal));

  // Cancel on the first prompt leaves that entry out; the next entry asks again.
  {
    TSetupRun s(SetupExe("package-aes"), kPackageTitle);
    s.ShotPrefix = L"aes-cancel";
    WalkToFolderSheet(s);
    s.Next();
    HWND ask = PasswordDialog(s);
    ASSERT_TRUE(ask);
    s.D.Click(s.D.Control(ask, L"CancelButton"));
    TDriver::WaitFor([&] { return !IsWindow(ask) || !IsWindowVisible(ask); }, 5000);
    ask = PasswordDialog(s);
    ASSERT_TRUE(ask) << "the run goes on to the next entry";
    EnterPassword(s, ask, L"Translate4U", std::wstring());
    ASSERT_TRUE(s.On(L"FinishSheet", 120000));
    s.Snap(L"FinishSheet");
    ASSERT_EQ(s.Finish(), 0);
  }
  CloseApplication(L"aes-cancel-application");
  const String missing = KyJoinPath(PackageFolder(p), kPackageFiles[0]);
  EXPECT_FALSE(FileExists(missing)) << "the first entry was left out";
  for (const char16_t* f : {kPackageFiles[1], kPackageFiles[2]})
    EXPECT_EQ(ReadAll(KyJoinPath(PackageFolder(p), f)), ReadAll(DemoPackageFile(f))) << StringToUtf8(f);
  // Its record was made before the password was asked for.
  TKyUninstallFile log = InstallLog(p.Inst);
  EXPECT_GE(log.Lines.IndexOf(u"file;" + log.RelativePath(missing)), 0);
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"aes-cancel"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
  EXPECT_FALSE(DirectoryExists(p.Personal));
}
