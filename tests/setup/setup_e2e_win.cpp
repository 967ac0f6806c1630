// Tram.exe driven from another process: the pages in their order, the exit question, the
// start-up refusals and the simulated Windows versions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/driver/kydriver.h"

namespace {

std::wstring Wide(const char* s) { return std::wstring(s, s + strlen(s)); }
std::wstring SetupExe(const wchar_t* name) { return L"\"" + Wide(TV_SETUP_EXE_DIR) + L"/" + name + L"\""; }
std::wstring Shot(const std::wstring& name) { return Wide(TV_SCREENSHOT_DIR) + L"/" + name + L".png"; }

const std::vector<std::wstring> kCaptions = {
    L"Language", L"Check Version", L"Existing Installations", L"Software License Agreement",
    L"Select Samples", L"Dictionaries", L"Languages", L"Choose Destination Location",
    L"Select Program Folder", L"Install", L"Complete"};
const std::vector<std::wstring> kSheets = {
    L"StartSheet", L"CheckSheet", L"ExistingSheet", L"LicenseSheet", L"SamplesSheet", L"DictionarySheet",
    L"LanguagesSheet", L"DestinationSheet", L"FolderSheet", L"InstallSheet", L"FinishSheet"};

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

std::wstring Title(int page) { return L"Tramvelon 4 Setup - " + kCaptions[page]; }

// A running setup with its main window found.
struct TSetup {
  TDriver D;
  HWND Main = nullptr;
  explicit TSetup(const wchar_t* exe = L"Tram.exe") {
    if (D.Start(SetupExe(exe))) Main = D.WaitWindow(Title(0));
  }
  HWND C(const wchar_t* name) const { return D.Control(Main, name); }
  bool OnPage(int page) { return TDriver::WaitFor([&] { return TDriver::Text(Main) == Title(page); }, 5000); }
  void Next() { D.Click(C(L"NextButton")); }
  void Back() { D.Click(C(L"BackButton")); }
  void GoTo(int page) {
    for (int i = 0; i < page; ++i) {
      Next();
      ASSERT_TRUE(OnPage(i + 1));
    }
  }
  HWND ExitQuestion() { return D.WaitWindow(L"Exit Setup", 5000); }
  void End() {
    if (D.WaitExit(0) == -1) {
      PostMessageW(Main, WM_CLOSE, 0, 0);
      if (HWND q = ExitQuestion()) D.Click(D.Control(q, L"ExitButton"));
      D.WaitExit(5000);
    }
  }
};

RECT ChildRect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(SetupE2E, WindowLayoutAndStartTexts) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  RECT c;
  GetClientRect(s.Main, &c);
  EXPECT_EQ(c.right, 529);
  EXPECT_EQ(c.bottom, 353);
  EXPECT_EQ(TDriver::Text(s.C(L"VersionLabel")), L"4.0 (Build 354)");
  EXPECT_EQ(TDriver::Text(s.C(L"NameLabel")), L"Tramvelon");
  EXPECT_FALSE(TDriver::Text(s.C(L"AddressLabel")).empty());
  EXPECT_EQ(TDriver::Text(s.C(L"BackButton")), L"&Back");
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Next");
  EXPECT_EQ(TDriver::Text(s.C(L"CancelButton")), L"Cancel");
  RECT next = ChildRect(s.C(L"NextButton"));
  EXPECT_EQ(next.left, 336);
  EXPECT_EQ(next.top, 320);
  EXPECT_EQ(next.right - next.left, 81);
  RECT pages = ChildRect(s.C(L"PageControl"));
  EXPECT_EQ(pages.left, 8);
  EXPECT_EQ(pages.top, 58);
  std::wstring start = TDriver::Text(s.C(L"StartLabel"));
  EXPECT_EQ(start.rfind(L"Welcome to the Tramvelon Setup program.", 0), 0u) << Narrow(start);
  std::wstring dir = TDriver::Text(s.C(L"InstallDirectoryEdit"));
  EXPECT_GE(dir.size(), 12u);
  EXPECT_EQ(dir.substr(dir.size() - 12), L"\\Tramvelon 4");
  EXPECT_TRUE(TDriver::Text(s.C(L"ProgressBarLabel")).empty());
  // The language list sits inside its group and shows.
  HWND list = s.C(L"LanguageList");
  ASSERT_TRUE(list);
  EXPECT_TRUE(TDriver::Visible(list));
  RECT lr = ChildRect(list);
  EXPECT_EQ(TDriver::NameOf(GetParent(list)), L"LanguageGroup");
  EXPECT_EQ(lr.left, 8);
  EXPECT_EQ(lr.right - lr.left, 489);
  s.End();
}

TEST(SetupE2E, NextAndBackWalkAllPagesInOrder) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  EXPECT_FALSE(TDriver::Enabled(s.C(L"BackButton")));
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(s.OnPage(i)) << i;
    EXPECT_TRUE(TDriver::Visible(s.C(kSheets[i].c_str()))) << i;
    if (i > 0) EXPECT_FALSE(TDriver::Visible(s.C(kSheets[i - 1].c_str()))) << i;
    EXPECT_EQ(TDriver::Enabled(s.C(L"BackButton")), i > 0) << i;
    EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Next") << i;
    TDriver::Screenshot(s.Main, Shot(L"setup-" + std::to_wstring(i) + L"-" + kSheets[i]));
    if (i < 9) s.Next();
  }
  // Back retraces the history to the first page, where it is disabled again.
  for (int i = 9; i > 0; --i) {
    s.Back();
    ASSERT_TRUE(s.OnPage(i - 1)) << i;
    EXPECT_TRUE(TDriver::Visible(s.C(kSheets[i - 1].c_str()))) << i;
  }
  EXPECT_FALSE(TDriver::Enabled(s.C(L"BackButton")));
  // The last page reads Finish and cannot be left backwards.
  s.GoTo(10);
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Finish");
  EXPECT_FALSE(TDriver::Enabled(s.C(L"BackButton")));
  TDriver::Screenshot(s.Main, Shot(L"setup-10-FinishSheet"));
  s.End();
}

TEST(SetupE2E, ResumeKeepsPageAndChoicesAndTheTitleBarCloseAsksAfterwards) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  s.GoTo(8);
  s.D.Type(s.C(L"ProgramFolderEdit"), L"My Tools");
  s.D.SetChecked(s.C(L"CreateIconCheck"), false);
  s.D.Click(s.C(L"CancelButton"));
  HWND q = s.ExitQuestion();
  ASSERT_TRUE(q);
  TDriver::Screenshot(q, Shot(L"setup-exit-question"));
  s.D.Click(s.D.Control(q, L"ResumeButton"));
  ASSERT_TRUE(TDriver::WaitFor([&] { return !IsWindowVisible(q); }, 5000));
  EXPECT_EQ(TDriver::Text(s.Main), Title(8));
  EXPECT_TRUE(TDriver::Visible(s.C(L"FolderSheet")));
  EXPECT_EQ(TDriver::Text(s.C(L"ProgramFolderEdit")), L"My Tools");
  EXPECT_FALSE(TDriver::Checked(s.C(L"CreateIconCheck")));
  EXPECT_TRUE(TDriver::Enabled(s.C(L"BackButton")));
  EXPECT_EQ(s.D.WaitExit(300), -1);
  // After one Cancel the title bar's close asks too; Exit Setup ends the program.
  PostMessageW(s.Main, WM_CLOSE, 0, 0);
  q = s.ExitQuestion();
  ASSERT_TRUE(q);
  s.D.Click(s.D.Control(q, L"ExitButton"));
  EXPECT_EQ(s.D.WaitExit(), 0);
}

TEST(SetupE2E, CancelThenExitSetupCloses) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  s.D.Key(s.Main, VK_ESCAPE);  // Escape presses Cancel
  HWND q = s.ExitQuestion();
  ASSERT_TRUE(q);
  s.D.Click(s.D.Control(q, L"ExitButton"));
  EXPECT_EQ(s.D.WaitExit(), 0);
}

TEST(SetupE2E, TitleBarCloseBeforeCancelClosesWithoutTheQuestion) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  s.GoTo(2);
  PostMessageW(s.Main, WM_CLOSE, 0, 0);
  EXPECT_EQ(s.D.WaitExit(), 0);
  EXPECT_EQ(s.D.WaitWindow(L"Exit Setup", 200), nullptr);
}

TEST(SetupE2E, RunningApplicationInCapitalsRefuses) {
  TDriver app;
  ASSERT_TRUE(app.Start(L"\"" + Wide(TV_STANDIN_EXE) + L"\""));
  TDriver d;
  ASSERT_TRUE(d.Start(SetupExe(L"Tram.exe")));
  HWND box = d.WaitMessageBox();
  ASSERT_TRUE(box);
  std::wstring text = TDriver::MessageBoxText(box);
  EXPECT_NE(text.find(L"Tramvelon application is running! Can not run this setup application."), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"Please close Tramvelon application and try again."), std::wstring::npos);
  TDriver::Screenshot(box, Shot(L"setup-refuses-application-running"));
  d.Answer(box, IDOK);
  EXPECT_EQ(d.WaitExit(), 0);
  TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, app.ProcessId()), 0);
  app.WaitExit(5000);
}

TEST(SetupE2E, SecondSetupRefusesAndTheFirstGoesOn) {
  TSetup first;
  ASSERT_TRUE(first.Main);
  TDriver second;
  ASSERT_TRUE(second.Start(SetupExe(L"Tram.exe")));
  HWND box = second.WaitMessageBox();
  ASSERT_TRUE(box);
  std::wstring text = TDriver::MessageBoxText(box);
  EXPECT_NE(text.find(L"Another Tramvelon setup application is already running!"), std::wstring::npos);
  EXPECT_NE(text.find(L"Can not run this setup application."), std::wstring::npos);
  second.Answer(box, IDOK);
  EXPECT_EQ(second.WaitExit(), 0);
  EXPECT_EQ(first.D.WaitExit(200), -1);
  first.End();
}

struct TSimulated {
  explicit TSimulated(const wchar_t* v) { SetEnvironmentVariableW(L"TV_SIMULATED_WINDOWS", v); }
  ~TSimulated() { SetEnvironmentVariableW(L"TV_SIMULATED_WINDOWS", nullptr); }
};

TEST(SetupE2E, WindowsOlderThanXPRefusesBeforeAnyWindow) {
  TSimulated sim(L"5.0");
  TDriver d;
  ASSERT_TRUE(d.Start(SetupExe(L"tramtest.exe")));
  HWND box = d.WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_NE(TDriver::MessageBoxText(box).find(L"You need to have Windows XP or later to run Tramvelon"),
            std::wstring::npos);
  d.Answer(box, IDOK);
  EXPECT_EQ(d.WaitExit(), 0);
}

TEST(SetupE2E, PersonalFolderControlsOnlyFromVistaOn) {
  const wchar_t* controls[] = {L"UsePersonalDirectoryLabel", L"UsePersonalDirectoryCheck", L"PersonalDirectoryLabel",
                               L"PersonalDirectoryEdit", L"PersonalDirectoryButton",
                               L"InstallSamplesToPersonalDirectoryCheck"};
  for (const wchar_t* version : {L"5.1", L"6.1"}) {
    TSimulated sim(version);
    TSetup s(L"tramtest.exe");
    ASSERT_TRUE(s.Main) << Narrow(version);
    s.GoTo(7);
    bool vista = version[0] == L'6';
    for (const wchar_t* c : controls) EXPECT_EQ(TDriver::Visible(s.C(c)), vista) << Narrow(version) << Narrow(c);
    EXPECT_TRUE(TDriver::Visible(s.C(L"InstallDirectoryEdit")));
    if (!vista) TDriver::Screenshot(s.Main, Shot(L"setup-7-DestinationSheet-xp"));
    s.End();
  }
}

}  // namespace
