// Tram.exe driven from another process: the pages in their order, the exit question, the
// start-up refusals and the simulated Windows versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
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

// The pages a full setup shows before the install when no earlier installation exists.
const std::vector<int> kPath = {0, 1, 3, 4, 5, 6, 7, 8};

// A running setup with its main window found.
struct TSetup {
  TDriver D;
  HWND Main = nullptr;
  explicit TSetup(const wchar_t* exe = L"Tram.exe", const std::wstring& firstTitle = Title(0)) {
    if (D.Start(SetupExe(exe))) Main = D.WaitWindow(firstTitle);
  }
  HWND C(const wchar_t* name) const { return D.Control(Main, name); }
  bool OnPage(int page) { return TDriver::WaitFor([&] { return TDriver::Text(Main) == Title(page); }, 5000); }
  void Next() { D.Click(C(L"NextButton")); }
  void Back() { D.Click(C(L"BackButton")); }
  // Next along the setup's path until Page is shown (a page before the install).
  void GoTo(int page) {
    for (size_t i = 1; i < kPath.size() && kPath[i - 1] != page; ++i) {
      Next();
      ASSERT_TRUE(OnPage(kPath[i])) << kPath[i];
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
  // The other pages' controls get their windows when their page is first shown.
  EXPECT_FALSE(s.C(L"InstallDirectoryEdit"));
  EXPECT_FALSE(s.C(L"ProgressBarLabel"));
  // The language list sits inside its group and shows.
  HWND list = s.C(L"LanguageList");
  ASSERT_TRUE(list);
  EXPECT_TRUE(TDriver::Visible(list));
  RECT lr = ChildRect(list);
  EXPECT_EQ(TDriver::NameOf(GetParent(list)), L"LanguageGroup");
  EXPECT_EQ(lr.left, 8);
  EXPECT_EQ(lr.right - lr.left, 489);
  s.GoTo(7);
  std::wstring dir = TDriver::Text(s.C(L"InstallDirectoryEdit"));
  EXPECT_GE(dir.size(), 12u);
  EXPECT_EQ(dir.substr(dir.size() - 12), L"\\Tramvelon 4");
  s.End();
}

TEST(SetupE2E, NextAndBackFollowTheSetupsPath) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  EXPECT_FALSE(TDriver::Enabled(s.C(L"BackButton")));
  for (size_t k = 0; k < kPath.size(); ++k) {
    int i = kPath[k];
    ASSERT_TRUE(s.OnPage(i)) << i;
    EXPECT_TRUE(TDriver::Visible(s.C(kSheets[i].c_str()))) << i;
    if (k > 0) EXPECT_FALSE(TDriver::Visible(s.C(kSheets[kPath[k - 1]].c_str()))) << i;
    EXPECT_EQ(TDriver::Enabled(s.C(L"BackButton")), k > 0) << i;
    // The licence is accepted with Yes; No is Cancel.
    EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), i == 3 ? L"&Yes" : L"&Next") << i;
    EXPECT_EQ(TDriver::Text(s.C(L"CancelButton")), i == 3 ? L"&No" : L"Cancel") << i;
    TDriver::Screenshot(s.Main, Shot(L"setup-" + std::to_wstring(i) + L"-" + kSheets[i]));
    if (k + 1 < kPath.size()) s.Next();
  }
  // Back retraces the history to the first page, where it is disabled again.
  for (size_t k = kPath.size() - 1; k > 0; --k) {
    s.Back();
    ASSERT_TRUE(s.OnPage(kPath[k - 1])) << kPath[k];
  }
  EXPECT_FALSE(TDriver::Enabled(s.C(L"BackButton")));
  s.End();
}

TEST(SetupE2E, ResumeKeepsPageAndChoicesAndTheTitleBarCloseAsksAfterwards) {
  TSetup s;
  ASSERT_TRUE(s.Main);
  s.GoTo(8);
  // The folders of the user's and the common Start-menu programs, each name once (both
  // prefix folders hold the same two).
  auto folders = TDriver::Items(s.C(L"ExistingFoldersList"));
  EXPECT_EQ(std::set<std::wstring>(folders.begin(), folders.end()),
            (std::set<std::wstring>{L"Administrative Tools", L"StartUp"}));
  EXPECT_EQ(folders.size(), 2u);
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
  s.GoTo(3);
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
  // Only the message shows: the wizard never appears behind it.
  EXPECT_EQ(d.WaitWindow(Title(0), 0), nullptr);
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
  EXPECT_EQ(second.WaitWindow(Title(0), 0), nullptr);
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

// ---- languages ----------------------------------------------------------------------

const std::wstring kGermanTitle = L"Tramvelon 4 Setup - Sprache";
const std::wstring kArabicTitle = L"إعداد Tramvelon 4 - اللغة";

// Every window of the process: its visible top-level windows and all windows below them.
std::vector<HWND> ProcessWindows(DWORD pid) { return TDriver::ProcessWindows(pid); }

bool Mirrored(HWND h) { return (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; }

// Edits keep a left-to-right layout for the paths they hold; every other window mirrors.
bool IsEdit(HWND h) {
  wchar_t cls[16];
  GetClassNameW(h, cls, 16);
  return _wcsicmp(cls, L"Edit") == 0;
}

// Screen places of every window below Top.
std::vector<std::pair<HWND, RECT>> Places(HWND top) {
  std::vector<std::pair<HWND, RECT>> places;
  EnumChildWindows(top, [](HWND h, LPARAM lp) -> BOOL {
    RECT r;
    GetWindowRect(h, &r);
    reinterpret_cast<std::vector<std::pair<HWND, RECT>>*>(lp)->emplace_back(h, r);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&places));
  return places;
}

bool SamePlaces(const std::vector<std::pair<HWND, RECT>>& a, const std::vector<std::pair<HWND, RECT>>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].first != b[i].first || !EqualRect(&a[i].second, &b[i].second)) return false;
  return true;
}

std::vector<std::wstring> ListItems(HWND list) { return TDriver::Items(list); }
int ItemContaining(HWND list, const std::wstring& part) { return TDriver::ItemContaining(list, part); }

// The setup starts in the language of the user's locale, which it inherits from this test
// (CTest runs it with LC_ALL set to German, Arabic and Japanese): German and Arabic from the
// language files it carries, English for a language it has no file for.
TEST(SetupLanguages, StartsInTheUsersLanguage) {
  struct TExpect {
    const wchar_t* Tag;
    std::wstring Title, Next, Start, Exit, FirstItem;
    bool Mirrored;
  };
  LANGID lang = PRIMARYLANGID(GetUserDefaultLangID());
  TExpect e = lang == LANG_GERMAN
                  ? TExpect{L"de", kGermanTitle, L"&Weiter >", L"Willkommen beim Setup-Programm von Tramvelon.",
                            L"Setup beenden", L"Englisch - English", false}
              : lang == LANG_ARABIC
                  ? TExpect{L"ar", kArabicTitle, L"ال&تالي", L"مرحبًا بك في برنامج إعداد Tramvelon.", L"إنهاء الإعداد",
                            L"الإنجليزية - English", true}
                  : TExpect{lang == LANG_ENGLISH ? L"en" : L"other", Title(0), L"&Next",
                            L"Welcome to the Tramvelon Setup program.", L"Exit Setup", L"English", false};
  std::wstring tag = e.Tag;
  // Files left by a setup that was killed are kept (same date as the program) and not deleted:
  // start without them.
  const std::wstring deu = Wide(TV_SETUP_EXE_DIR) + L"/Tram.DEU", ara = Wide(TV_SETUP_EXE_DIR) + L"/Tram.ARA";
  DeleteFileW(deu.c_str());
  DeleteFileW(ara.c_str());
  {
    TSetup s(L"Tram.exe", e.Title);
    ASSERT_TRUE(s.Main) << Narrow(tag);
    EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), e.Next);
    EXPECT_EQ(TDriver::Text(s.C(L"StartLabel")).rfind(e.Start, 0), 0u);
    for (HWND h : ProcessWindows(s.D.ProcessId())) EXPECT_EQ(Mirrored(h), e.Mirrored && !IsEdit(h));
    // English first, then the language files that the setup carries; the active one by name only.
    HWND list = s.C(L"LanguageList");
    auto items = ListItems(list);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], e.FirstItem);
    if (lang == LANG_GERMAN) EXPECT_NE(std::find(items.begin(), items.end(), L"Deutsch (Deutschland)"), items.end());
    int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    EXPECT_EQ(items[selected].find(L" - "), std::wstring::npos) << Narrow(tag);
    if (tag != L"other") {
      Sleep(300);
      TDriver::Screenshot(s.Main, Shot(L"lang-" + tag + L"-0-StartSheet"));
      for (size_t k = 1; k < kPath.size() && kPath[k - 1] != 7; ++k) {
        std::wstring before = TDriver::Text(s.Main);
        s.Next();
        ASSERT_TRUE(TDriver::WaitFor([&] {
          return TDriver::Visible(s.C(kSheets[kPath[k]].c_str())) && TDriver::Text(s.Main) != before;
        }, 5000)) << kPath[k];
      }
      Sleep(300);  // the page paints before the picture is taken
      TDriver::Screenshot(s.Main, Shot(L"lang-" + tag + L"-7-DestinationSheet"));
    }
    s.D.Click(s.C(L"CancelButton"));
    HWND q = s.D.WaitWindow(e.Exit, 5000);
    ASSERT_TRUE(q) << Narrow(tag);
    EXPECT_EQ(Mirrored(q), e.Mirrored);
    if (tag != L"other") {
      Sleep(300);
      TDriver::Screenshot(q, Shot(L"lang-" + tag + L"-exit-question"));
    }
    s.D.Click(s.D.Control(q, L"ExitButton"));
    EXPECT_EQ(s.D.WaitExit(), 0);
  }
  // The language files written out at start are gone when the setup has ended.
  EXPECT_EQ(GetFileAttributesW(deu.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(ara.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(SetupLanguages, ASwitchRetranslatesEveryOpenWindowAndArabicMirrorsThem) {
  // Starts in English: the user's locale of this test must be one without a language file.
  if (PRIMARYLANGID(GetUserDefaultLangID()) == LANG_GERMAN || PRIMARYLANGID(GetUserDefaultLangID()) == LANG_ARABIC)
    GTEST_SKIP() << "runs with an English user's locale";
  TSetup s;
  ASSERT_TRUE(s.Main);
  HWND list = s.C(L"LanguageList");
  // The pages of the path make their windows now (a page makes them when first shown).
  s.GoTo(8);
  for (size_t k = kPath.size() - 1; k > 0; --k) {
    s.Back();
    ASSERT_TRUE(s.OnPage(kPath[k - 1])) << kPath[k];
  }
  auto mainPlaces = Places(s.Main);
  // The exit question is open (modal) while the language changes under it.
  s.D.Click(s.C(L"CancelButton"));
  HWND q = s.ExitQuestion();
  ASSERT_TRUE(q);

  s.D.SelectItem(list, ItemContaining(list, L"German"));
  ASSERT_TRUE(TDriver::WaitFor([&] { return TDriver::Text(s.Main) == kGermanTitle; }, 5000));
  EXPECT_EQ(TDriver::Text(q), L"Setup beenden");
  EXPECT_EQ(TDriver::Text(s.D.Control(q, L"ResumeButton")), L"&Fortsetzen");
  EXPECT_EQ(TDriver::Text(s.D.Control(q, L"Label2")),
            L"Sie können das Setup-Programm später erneut ausführen, um die Installation abzuschließen.");
  EXPECT_EQ(TDriver::Text(s.C(L"CancelButton")), L"Abbrechen");
  EXPECT_EQ(TDriver::Text(s.C(L"CheckLabel")).rfind(L"Das Setup kann auf der Downloadseite", 0), 0u);
  EXPECT_EQ(TDriver::Text(s.C(L"CreateIconCheck")), L"Ein &Desktopsymbol für Tramvelon erstellen");
  EXPECT_EQ(TDriver::Text(s.C(L"LanguageGroup")), L"Installationssprache auswählen");
  // Texts set from code follow, and the list names the languages in German.
  EXPECT_EQ(TDriver::Text(s.C(L"StartLabel")).rfind(L"Willkommen", 0), 0u);
  EXPECT_EQ(ListItems(list)[0], L"Englisch - English");
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), ItemContaining(list, L"Deutsch"));
  // A window opened now reads its form from the German language file.
  s.D.Click(s.D.Control(q, L"ResumeButton"));
  ASSERT_TRUE(TDriver::WaitFor([&] { return !IsWindowVisible(q); }, 5000));
  s.D.Click(s.C(L"CancelButton"));
  q = s.D.WaitWindow(L"Setup beenden", 5000);
  ASSERT_TRUE(q);
  EXPECT_EQ(TDriver::Text(s.D.Control(q, L"ExitButton")), L"Setup &beenden");
  Sleep(300);
  TDriver::Screenshot(q, Shot(L"lang-de-exit-question-after-switch"));
  auto dialogPlaces = Places(q);

  s.D.SelectItem(list, ItemContaining(list, L"العربية"));
  ASSERT_TRUE(TDriver::WaitFor([&] { return TDriver::Text(s.Main) == kArabicTitle; }, 5000));
  EXPECT_EQ(TDriver::Text(q), L"إنهاء الإعداد");
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"ال&تالي");
  // Every window of the setup is mirrored, and the buttons sit at their places from the right.
  for (HWND h : ProcessWindows(s.D.ProcessId())) EXPECT_EQ(Mirrored(h), !IsEdit(h));
  RECT client, next;
  GetClientRect(s.Main, &client);
  MapWindowPoints(s.Main, nullptr, reinterpret_cast<POINT*>(&client), 2);
  GetWindowRect(s.C(L"NextButton"), &next);
  EXPECT_EQ(std::max(client.left, client.right) - next.right, 336);
  EXPECT_EQ(next.right - next.left, 81);
  Sleep(300);
  TDriver::Screenshot(s.Main, Shot(L"lang-ar-0-StartSheet-after-switch"));
  TDriver::Screenshot(q, Shot(L"lang-ar-exit-question-after-switch"));

  s.D.SelectItem(list, 0);
  ASSERT_TRUE(TDriver::WaitFor([&] { return TDriver::Text(s.Main) == Title(0); }, 5000));
  EXPECT_EQ(TDriver::Text(q), L"Exit Setup");
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Next");
  EXPECT_EQ(ListItems(list)[0], L"English");
  for (HWND h : ProcessWindows(s.D.ProcessId())) EXPECT_FALSE(Mirrored(h));
  // Back to the layout of the start, window by window.
  EXPECT_TRUE(SamePlaces(Places(s.Main), mainPlaces));
  EXPECT_TRUE(SamePlaces(Places(q), dialogPlaces));
  s.D.Click(s.D.Control(q, L"ExitButton"));
  EXPECT_EQ(s.D.WaitExit(), 0);
}

}  // namespace
