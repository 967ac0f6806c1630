// Full setups from double click to uninstall: a fresh installation with the defaults, an
// update over it, a modification, a second installation beside it, the settings taken over
// from the previous major version, and Escape during the extraction. Each flow checks what
// is on disk and in the registry, and ends with the uninstaller (the round trip then checks
// that nothing is left).
#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"
#include "lib/install/kyuninstall.h"
#include "tests/core/testutil.h"
#include "tests/flows/flow.h"

namespace {

// From the first page to the finish page of a full setup with an installation already
// there or not; every page passed leaves a screenshot.
void WalkToFinish(TSetupRun& s, bool existing) {
  ASSERT_TRUE(s.Main);
  s.Snap(L"0-StartSheet");
  ASSERT_TRUE(s.NextTo(L"CheckSheet"));
  if (existing) {
    ASSERT_TRUE(s.NextTo(L"ExistingSheet"));
  }
  ASSERT_TRUE(s.NextTo(L"LicenseSheet"));
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Yes");
  EXPECT_EQ(TDriver::Text(s.C(L"CancelButton")), L"&No");
  ASSERT_TRUE(s.NextTo(L"SamplesSheet"));
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Next");
  ASSERT_TRUE(s.NextThrough({L"DictionarySheet", L"LanguagesSheet", L"DestinationSheet", L"FolderSheet"}));
  ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Finish");
  EXPECT_FALSE(TDriver::Enabled(s.C(L"CancelButton")));
}

// A quick installation with the defaults, without starting anything at the end.
void InstallWithDefaults(const std::wstring& prefix, bool existing) {
  TSetupRun s(SetupExe("full"));
  s.ShotPrefix = prefix;
  WalkToFinish(s, existing);
  ASSERT_EQ(s.FinishQuietly(), 0);
}

}  // namespace

TEST(Flows, FreshFullInstallWithDefaults) {
  TComInit com;
  TDefaultPlaces p;
  ClearOpened();
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"full";
    WalkToFinish(s, false);
    EXPECT_TRUE(TDriver::Checked(s.C(L"ApplicationCheck")));
    EXPECT_TRUE(TDriver::Visible(s.C(L"ReadmeCheck")));
    ASSERT_EQ(s.Finish(), 0);
  }
  // The finish page started the application (with an empty package argument) and opened
  // the read-me file.
  TDriver app;
  HWND window = app.FollowWindow(L"Tramvelon 4", 20000);
  ASSERT_TRUE(window) << "Tramvelon.exe shows its window";
  TDriver::Screenshot(window, Shot(L"full-application"));
  EXPECT_TRUE(TDriver::WaitFor([&] { return !Opened().empty(); }, 10000));
  auto opened = Opened();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(SameText(Str(opened[0]), KyJoinPath(p.Personal, u"Readme.html")));
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(app.WaitExit(10000), 0);

  // Disk: the application in Program Files, samples and settings in the personal folder.
  for (const char16_t* f : {u"Tramvelon.exe", u"Tramvelon.chm", u"Tramvelon.pdf", u"TvUninstall.exe",
                            u"TvUninstall.dat", u"Tramvelon.DEU", u"SpellGER.lex", u"TvSpell.dll"})
    EXPECT_TRUE(FileExists(KyJoinPath(p.Inst, f))) << StringToUtf8(f);
  EXPECT_TRUE(FileExists(KyJoinPath(p.Personal, u"Readme.html")));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Personal, u"Text\\Ini\\Country.tvp")));
  RawBytes options = ReadAll(KyJoinPath(p.Personal, u"Tramvelon.tvo"));
  EXPECT_EQ(options.rfind("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<options>\r\n  <projects>\r\n", 0), 0u);
  EXPECT_NE(options.find(StringToUtf8(p.Personal) + "\\XML\\Country.tvp</item>"), RawBytes::npos);
  // Shortcuts that lead to their targets.
  EXPECT_TRUE(SameText(LinkTarget(KyJoinPath(p.Programs, u"Tramvelon 4.lnk")), KyJoinPath(p.Inst, u"Tramvelon.exe")));
  EXPECT_TRUE(SameText(LinkTarget(KyJoinPath(p.Programs, u"Uninstall.lnk")), KyJoinPath(p.Inst, u"TvUninstall.exe")));
  EXPECT_TRUE(SameText(LinkTarget(KyJoinPath(p.Programs, u"ReadMe.lnk")), KyJoinPath(p.Personal, u"Readme.html")));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Programs, u"Tramvelon Help.lnk")));
  EXPECT_TRUE(SameText(LinkTarget(KyJoinPath(p.Desktop, u"Tramvelon 4.lnk")), KyJoinPath(p.Inst, u"Tramvelon.exe")));
  // Registry: the setup record, Apps & Features, the document types.
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup1", u"InstallDir"), p.Inst);
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup1", u"PersonalDir"), p.Personal);
  const String entry = UninstallKey(u"Tramvelon 4");
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"UninstallString"), KyJoinPath(p.Inst, u"TvUninstall.exe"));
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"DisplayVersion"), u"4.0.354");
  EXPECT_EQ(ReadValue(rkLocalMachine, entry, u"InstallFolder"), u"Tramvelon 4");
  EXPECT_EQ(ReadValue(rkClassesRoot, u".tvp", u""), u"TramvelonProject");
  EXPECT_EQ(ReadValue(rkClassesRoot, u"TramvelonPackage\\DefaultIcon", u""),
            u"\"" + KyJoinPath(p.Inst, u"Tramvelon.exe") + u"\",2");

  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"full"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
  EXPECT_FALSE(DirectoryExists(p.Personal));
  EXPECT_FALSE(DirectoryExists(p.Programs));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Desktop, u"Tramvelon 4.lnk")));
  EXPECT_FALSE(KeyExists(rkClassesRoot, u".tvp"));
  EXPECT_FALSE(KeyExists(rkLocalMachine, entry));
}

TEST(Flows, UpdateModifyAndFreshBeside) {
  TComInit com;
  TDefaultPlaces p;
  InstallWithDefaults(L"update-first", false);
  ASSERT_TRUE(FileExists(KyJoinPath(p.Inst, u"TvUninstall.dat")));
  const auto firstLog = LogLines(p.Inst);
  WriteAll(KyJoinPath(p.Personal, u"Tramvelon.tvo"), "the user's settings");

  // Update: the existing installation's choices, from the licence straight to the install.
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"update";
    ASSERT_TRUE(s.Main);
    ASSERT_TRUE(s.NextTo(L"CheckSheet"));
    ASSERT_TRUE(s.NextTo(L"ExistingSheet"));
    EXPECT_EQ(TDriver::Text(s.C(L"ExistingDirectoryLabel")), L"Directory: " + Ws(p.Inst));
    EXPECT_EQ(TDriver::Text(s.C(L"ExistingVersionLabel")), L"Version: 4.0.354");
    EXPECT_TRUE(TDriver::Checked(RadioButton(s.C(L"ExistingGroup"), L"Update")));
    ASSERT_TRUE(s.NextTo(L"LicenseSheet"));
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ASSERT_EQ(s.FinishQuietly(), 0);
  }
  auto updatedLog = LogLines(p.Inst);
  ASSERT_GE(updatedLog.size(), firstLog.size());
  EXPECT_TRUE(std::equal(firstLog.begin(), firstLog.end(), updatedLog.begin())) << "the earlier records stay first";
  EXPECT_EQ(ReadAll(KyJoinPath(p.Personal, u"Tramvelon.tvo")), "the user's settings");
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup2", u"InstallDir"), p.Inst);

  // Modify: the same choices offered on the pages; one dictionary left out this time.
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"modify";
    ASSERT_TRUE(s.Main);
    ASSERT_TRUE(s.NextTo(L"CheckSheet"));
    ASSERT_TRUE(s.NextTo(L"ExistingSheet"));
    s.D.Click(RadioButton(s.C(L"ExistingGroup"), L"Modify"));
    ASSERT_TRUE(TDriver::WaitFor([&] {
      return TDriver::Text(s.C(L"ExistingDescriptionLabel")).rfind(L"Modifies", 0) == 0;
    }, 5000));
    ASSERT_TRUE(s.NextThrough({L"LicenseSheet", L"SamplesSheet", L"DictionarySheet", L"LanguagesSheet",
                               L"DestinationSheet"}));
    EXPECT_EQ(TDriver::Text(s.C(L"InstallDirectoryEdit")), Ws(p.Inst));
    ASSERT_TRUE(s.NextTo(L"FolderSheet"));
    EXPECT_EQ(TDriver::Text(s.C(L"ProgramFolderEdit")), L"Tramvelon 4");
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ASSERT_EQ(s.FinishQuietly(), 0);
  }

  // A fresh installation beside it: its own name, folders and desktop shortcut.
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"beside";
    ASSERT_TRUE(s.Main);
    ASSERT_TRUE(s.NextTo(L"CheckSheet"));
    ASSERT_TRUE(s.NextTo(L"ExistingSheet"));
    s.D.Click(RadioButton(s.C(L"ExistingGroup"), L"fresh"));
    ASSERT_TRUE(TDriver::WaitFor([&] {
      return TDriver::Text(s.C(L"ExistingDescriptionLabel")).rfind(L"Makes a fresh", 0) == 0;
    }, 5000));
    ASSERT_TRUE(s.NextThrough({L"LicenseSheet", L"SamplesSheet", L"DictionarySheet", L"LanguagesSheet",
                               L"DestinationSheet"}));
    EXPECT_EQ(TDriver::Text(s.C(L"InstallDirectoryEdit")), Ws(p.Inst + u" (2)"));
    EXPECT_EQ(TDriver::Text(s.C(L"PersonalDirectoryEdit")), Ws(p.Personal + u" (2)"));
    ASSERT_TRUE(s.NextTo(L"FolderSheet"));
    EXPECT_EQ(TDriver::Text(s.C(L"ProgramFolderEdit")), L"Tramvelon 4 (2)");
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ASSERT_EQ(s.FinishQuietly(), 0);
  }
  const String second = UninstallKey(u"Tramvelon 4 (2)");
  EXPECT_EQ(ReadValue(rkLocalMachine, second, u"UninstallString"), KyJoinPath(p.Inst + u" (2)", u"TvUninstall.exe"));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Desktop, u"Tramvelon 4 (2).lnk")));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Desktop, u"Tramvelon 4.lnk")));

  // Removing the second leaves the first whole; then the first goes too.
  ASSERT_TRUE(Uninstall(u"Tramvelon 4 (2)", L"beside"));
  EXPECT_FALSE(DirectoryExists(p.Inst + u" (2)"));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Desktop, u"Tramvelon 4 (2).lnk")));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Inst, u"Tramvelon.exe")));
  EXPECT_TRUE(FileExists(KyJoinPath(p.Desktop, u"Tramvelon 4.lnk")));
  EXPECT_EQ(ReadValue(rkClassesRoot, u".tvp", u""), u"TramvelonProject");
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"update"));
  // The settings file was the first run's: it goes with the installation.
  EXPECT_FALSE(DirectoryExists(p.Personal));
  EXPECT_FALSE(DirectoryExists(p.Inst));
}

TEST(Flows, CopySettingsFromThePreviousVersion) {
  TComInit com;
  TDefaultPlaces p;
  // An installation of version 3: its uninstall entry, its folder and its personal folder.
  const String oldInst = ShellFolder(CSIDL_PROGRAM_FILES) + u"\\Tramvelon 3";
  const String oldPersonal = ShellFolder(CSIDL_PERSONAL) + u"\\Tramvelon 3";
  ASSERT_TRUE(ForceDirectories(KyJoinPath(oldPersonal, u"TM\\Old")));
  ASSERT_TRUE(ForceDirectories(oldInst));
  WriteAll(KyJoinPath(oldPersonal, u"Tramvelon.tvo"), "<options version=\"3\"/>");
  WriteAll(KyJoinPath(oldPersonal, u"TM\\Glossary.tmx"), "<tmx/>");
  WriteAll(KyJoinPath(oldPersonal, u"TM\\Old\\Archive.tmx"), "<tmx/>");
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(UninstallKey(u"Tramvelon 3"), true));
    reg.WriteString(u"UninstallString", KyJoinPath(oldInst, u"TvUninstall.exe"));
    reg.WriteString(u"InstallFolder", u"Tramvelon 3");
  }
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"copy";
    ASSERT_TRUE(s.Main);
    ASSERT_TRUE(s.NextTo(L"CheckSheet"));
    ASSERT_TRUE(s.NextTo(L"ExistingSheet"));
    EXPECT_EQ(TDriver::Text(s.C(L"ExistingVersionLabel")), L"Unknown version");
    EXPECT_TRUE(TDriver::Checked(RadioButton(s.C(L"ExistingGroup"), L"Copy")));
    ASSERT_TRUE(s.NextThrough({L"LicenseSheet", L"SamplesSheet", L"DictionarySheet", L"LanguagesSheet",
                               L"DestinationSheet", L"FolderSheet"}));
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ASSERT_EQ(s.FinishQuietly(), 0);
  }
  // The settings and the translation memories (not the subfolder) came over.
  EXPECT_EQ(ReadAll(KyJoinPath(p.Personal, u"Tramvelon.tvo")), "<options version=\"3\"/>");
  EXPECT_TRUE(FileExists(KyJoinPath(p.Personal, u"TM\\Glossary.tmx")));
  EXPECT_FALSE(DirectoryExists(KyJoinPath(p.Personal, u"TM\\Old")));
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"copy"));
  // Copied translation memories are the user's data: they stay with their folder.
  EXPECT_TRUE(FileExists(KyJoinPath(p.Personal, u"TM\\Glossary.tmx")));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Personal, u"Tramvelon.tvo")));
  TTempDir::RemoveTree(p.Personal);
  TTempDir::RemoveTree(oldPersonal);
  RemoveDir(oldInst);
  TRegistry(rkLocalMachine).DeleteKey(UninstallKey(u"Tramvelon 3"));
}

TEST(Flows, EscapeDuringTheExtractionStopsAndTheLogTakesItBack) {
  TComInit com;
  TDefaultPlaces p;
  {
    TSetupRun s(SetupExe("full"));
    s.ShotPrefix = L"escape";
    ASSERT_TRUE(s.Main);
    for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet", L"SamplesSheet", L"DictionarySheet",
                                 L"LanguagesSheet", L"DestinationSheet", L"FolderSheet"})
      ASSERT_TRUE(s.NextTo(sheet));
    // The install starts with the click; the progress reports take one message each, so
    // the Escape behind a few others arrives while the archives are being extracted. The
    // setup waits until all are queued, or a busy machine lets its run go on too far.
    THandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(s.Main, nullptr)));
    ASSERT_TRUE(thread);
    ASSERT_NE(SuspendThread(thread.Get()), static_cast<DWORD>(-1));
    s.Next();
    for (int i = 0; i < 6; ++i) PostMessageW(s.C(L"NextButton"), WM_NULL, 0, 0);
    s.D.Key(s.Main, VK_ESCAPE);
    ResumeThread(thread.Get());
    ASSERT_TRUE(s.On(L"FinishSheet", 120000));
    s.Snap(L"FinishSheet");
    EXPECT_FALSE(s.D.WaitWindow(L"Exit Setup", 500)) << "Escape stops the run without a question";
    ASSERT_EQ(s.FinishQuietly(), 0);
  }
  // Stopped before the registry: no entry in Apps & Features, but the log and the uninstaller.
  EXPECT_FALSE(KeyExists(rkLocalMachine, UninstallKey(u"Tramvelon 4")));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Personal, u"Tramvelon.tvo")));
  ASSERT_TRUE(FileExists(KyJoinPath(p.Inst, u"TvUninstall.dat")));
  EXPECT_FALSE(FileExists(KyJoinPath(p.Personal, u"Xml\\Country.tvp"))) << "the run stopped before the last group";
  // The uninstaller, started by hand from the installation folder, takes it all back.
  {
    TRegistry reg(rkLocalMachine);
    ASSERT_TRUE(reg.OpenKey(UninstallKey(u"Tramvelon 4"), true));
    reg.WriteString(u"UninstallString", KyJoinPath(p.Inst, u"TvUninstall.exe"));
  }
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"escape"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
  EXPECT_FALSE(DirectoryExists(p.Personal));
}
