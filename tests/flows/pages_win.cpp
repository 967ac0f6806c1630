// The pages of a full setup driven one by one: the checks made before the destination and
// the samples are left, the exit question and Escape on every page, texts that fit in every
// language, a change of the setup's language in the middle of the choices, and the update
// check against local servers and proxies. Pages.* install nothing; the one flow that
// installs (on Windows XP) runs in the round trip.
#include <shlobj.h>

#include <cwchar>
#include <map>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"
#include "lib/install/kyzip.h"
#include "lib/net/kyhttp.h"
#include "tests/core/testutil.h"
#include "tests/flows/flow.h"
#include "tests/net/netpeers.h"

namespace {

const wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const wchar_t* const kPersonalControls[] = {L"UsePersonalDirectoryLabel", L"UsePersonalDirectoryCheck",
                                            L"PersonalDirectoryLabel",    L"PersonalDirectoryEdit",
                                            L"PersonalDirectoryButton",   L"InstallSamplesToPersonalDirectoryCheck"};

std::wstring TestSetup() { return SetupExe("full", L"tramtest.exe"); }

// The setup's input focus after the last message box closed.
bool FocusComesTo(TSetupRun& s, HWND control) {
  return TDriver::WaitFor([&] { return Focused(s.Main) == control; }, 5000);
}

}  // namespace

// Windows XP: no personal folder at all, so settings, samples and read-me go to the
// installation folder.
TEST(Flows, WindowsXPInstallsEverythingIntoTheInstallationFolder) {
  TComInit com;
  TDefaultPlaces p;
  {
    TEnvironment xp(L"TV_SIMULATED_WINDOWS", L"5.1");
    TSetupRun s(TestSetup());
    s.ShotPrefix = L"xp";
    ASSERT_TRUE(s.Main);
    s.Snap(L"0-StartSheet");
    for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet", L"SamplesSheet", L"DictionarySheet",
                                 L"LanguagesSheet", L"DestinationSheet"})
      ASSERT_TRUE(s.NextTo(sheet));
    HWND edit = s.C(L"InstallDirectoryEdit");
    EXPECT_EQ(TDriver::Text(edit), Ws(p.Inst));
    // Not for the default destination, nor after a change of it.
    for (const String& dir : {p.Inst, String(u"Z:\\tmp\\Tramvelon 4"), p.Inst}) {
      s.D.Type(edit, Ws(dir));
      for (const wchar_t* c : kPersonalControls) EXPECT_FALSE(TDriver::Visible(s.C(c))) << Narrow(c);
    }
    ASSERT_TRUE(s.NextTo(L"FolderSheet"));
    ASSERT_TRUE(s.NextTo(L"FinishSheet", 120000));
    ASSERT_EQ(s.FinishQuietly(), 0);
  }
  EXPECT_FALSE(DirectoryExists(p.Personal));
  for (const char16_t* f : {u"Tramvelon.exe", u"Tramvelon.tvo", u"Readme.html", u"Text\\Ini\\Country.tvp"})
    EXPECT_TRUE(FileExists(KyJoinPath(p.Inst, f))) << StringToUtf8(f);
  RawBytes options = ReadAll(KyJoinPath(p.Inst, u"Tramvelon.tvo"));
  EXPECT_NE(options.find(StringToUtf8(p.Inst) + "\\XML\\Country.tvp</item>"), RawBytes::npos) << options;
  EXPECT_TRUE(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup1", u"PersonalDir").empty());
  EXPECT_EQ(ReadValue(rkLocalMachine, u"\\Software\\Tramvelon\\Setup1", u"InstallDir"), p.Inst);
  ASSERT_TRUE(Uninstall(u"Tramvelon 4", L"xp"));
  EXPECT_FALSE(DirectoryExists(p.Inst));
}

namespace {

// What each payload archive of a setup program unpacks to, by resource name.
std::map<std::wstring, std::uint64_t> ArchiveSizes(const std::wstring& exe) {
  std::map<std::wstring, std::uint64_t> sizes;
  TModuleHandle module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return sizes;
  std::vector<std::wstring> names;
  EnumResourceNamesW(module.Get(), L"TRAMVELON", [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR lp) -> BOOL {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(lp)->push_back(name);
    return TRUE;
  }, reinterpret_cast<LONG_PTR>(&names));
  for (const std::wstring& name : names) {
    if (name == L"INFO" || name.rfind(L"LICENSETEXT", 0) == 0) continue;
    HRSRC res = FindResourceW(module.Get(), name.c_str(), L"TRAMVELON");
    TReadOnlyMemoryStream stream(LockResource(LoadResource(module.Get(), res)), SizeofResource(module.Get(), res));
    TKyZipReader zip;
    zip.Open(stream);
    sizes[name] = zip.TotalUncompressedSize();
  }
  return sizes;
}

}  // namespace

// The samples page keeps the user while the drive is too small; the destination page asks
// about a root folder and refuses a folder that cannot be written.
TEST(Pages, SpaceRootAndWriteAccessChecks) {
  // The application's archives always go; the sample groups as chosen.
  std::uint64_t always = 0, samples = 0;
  for (const auto& [name, size] : ArchiveSizes(Wide(TV_SETUPS_DIR) + L"/full/tramtest.exe")) {
    if (name == L"APPLICATION" || name == L"LANGUAGEFILES" || name == L"SPELLCHECK") always += size;
    else if (name != L"UNINSTALL" && name != L"COMMON" && name != L"README") samples += size;
  }
  ASSERT_GT(always, 0u);
  ASSERT_GT(samples, 0u);
  // One byte short of everything: any sample left out makes it fit.
  const std::uint64_t room = always + samples - 1;
  TEnvironment space(L"TV_FREE_SPACE", std::to_wstring(room));
  TSetupRun s(TestSetup());
  s.ShotPrefix = L"checks";
  ASSERT_TRUE(s.Main);
  for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet", L"SamplesSheet"}) ASSERT_TRUE(s.NextTo(sheet));
  wchar_t required[64];
  swprintf(required, 64, L"Space Required: %0.1f MB", static_cast<double>(always + samples) / 1000000);
  EXPECT_EQ(TDriver::Text(s.C(L"SpaceRequiredLabel")), required);
  EXPECT_EQ(TDriver::Text(s.C(L"SpaceAvailableLabel")),
            L"Space Available: " + std::to_wstring((room + 500000) / 1000000) + L" MB");
  s.Next();
  EXPECT_EQ(s.Answer(IDOK, L"no-space"),
            L"Drive does not contain enough free disk space. Uncheck samples or select another drive.");
  EXPECT_TRUE(TDriver::Visible(s.C(L"SamplesSheet")));
  HWND list = s.C(L"SamplesCheckList");
  ToggleItem(s.D, list, 0);
  ASSERT_TRUE(TDriver::WaitFor([&] { return !ListChecks(list)[0]; }, 5000));
  s.Snap(L"SamplesSheet-unchecked");
  ASSERT_TRUE(s.NextTo(L"DictionarySheet"));
  EXPECT_FALSE(s.D.WaitMessageBox(200));
  // All samples out: what the application alone needs.
  s.Back();
  ASSERT_TRUE(s.On(L"SamplesSheet"));
  s.D.Click(s.C(L"SamplesUncheckAllButton"));
  swprintf(required, 64, L"Space Required: %0.1f MB", static_cast<double>(always) / 1000000);
  EXPECT_TRUE(TDriver::WaitFor([&] { return TDriver::Text(s.C(L"SpaceRequiredLabel")) == required; }, 5000))
      << Narrow(TDriver::Text(s.C(L"SpaceRequiredLabel")));
  ASSERT_TRUE(s.NextThrough({L"DictionarySheet", L"LanguagesSheet", L"DestinationSheet"}));

  HWND edit = s.C(L"InstallDirectoryEdit");
  s.D.Type(edit, L"C:\\");
  s.Next();
  EXPECT_EQ(s.Answer(IDNO, L"root-question"), L"Are you sure that you want to install to the root directory \"C:\\\"?");
  EXPECT_TRUE(TDriver::Visible(s.C(L"DestinationSheet")));
  EXPECT_TRUE(FocusComesTo(s, edit));

  // Root under Wine writes everywhere; nothing can create a folder below /proc.
  const std::wstring locked = L"Z:\\proc\\Tramvelon 4";
  s.D.Type(edit, locked);
  s.Next();
  EXPECT_EQ(s.Answer(IDOK, L"no-write-access"), L"You do not have write access for \"" + locked + L"\" directory");
  EXPECT_TRUE(TDriver::Visible(s.C(L"DestinationSheet")));
  EXPECT_TRUE(FocusComesTo(s, edit));
  EXPECT_FALSE(DirectoryExists(Str(locked)));

  // Yes takes the root, and the program folder falls back to the product's name.
  s.D.Type(edit, L"C:\\");
  s.Next();
  EXPECT_FALSE(s.Answer(IDYES).empty());
  ASSERT_TRUE(s.On(L"FolderSheet"));
  EXPECT_EQ(TDriver::Text(s.C(L"ProgramFolderEdit")), L"Tramvelon");
}

namespace {

// What a page shows: every window below it with its text, state and list selection, and the
// check marks of its check lists.
std::vector<std::wstring> PageState(TSetupRun& s, HWND sheet) {
  std::vector<HWND> windows;
  EnumChildWindows(sheet, [](HWND h, LPARAM lp) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&windows));
  std::vector<std::wstring> state{TDriver::Text(s.Main)};
  for (HWND h : windows) {
    wchar_t cls[32] = {};
    GetClassNameW(h, cls, 32);
    std::wstring line = TDriver::NameOf(h) + L"|" + cls + L"|" + TDriver::Text(h) + L"|" +
                        (TDriver::Visible(h) ? L"shown" : L"hidden") + (TDriver::Enabled(h) ? L"" : L"|disabled");
    if (_wcsicmp(cls, L"Button") == 0 && TDriver::Checked(h)) line += L"|checked";
    if (_wcsicmp(cls, L"ListBox") == 0) {
      line += L"|" + std::to_wstring(SendMessageW(h, LB_GETCURSEL, 0, 0));
      if (GetWindowLongPtrW(h, GWL_STYLE) & LBS_OWNERDRAWFIXED)
        for (bool c : ListChecks(h)) line += c ? L"x" : L"-";
    }
    state.push_back(line);
  }
  return state;
}

// Answers the exit question with Resume; false when it did not come or did not go.
bool ResumeFromExitQuestion(TSetupRun& s, const std::wstring& shot) {
  HWND q = s.Dialog(L"ExitSetupDialog", 5000);
  if (!q) return false;
  // Made with its owner and at its place: owned by the setup's window, centred on it.
  RECT main, question;
  GetWindowRect(s.Main, &main);
  GetWindowRect(q, &question);
  EXPECT_EQ(GetWindow(q, GW_OWNER), s.Main);
  EXPECT_NEAR((question.left + question.right) / 2, (main.left + main.right) / 2, 2);
  EXPECT_NEAR((question.top + question.bottom) / 2, (main.top + main.bottom) / 2, 2);
  if (!shot.empty()) TDriver::Screenshot(q, Shot(s.ShotPrefix + L"-" + shot));
  s.D.Click(s.D.Control(q, L"ResumeButton"));
  return TDriver::WaitFor([&] { return !IsWindow(q) || !IsWindowVisible(q); }, 5000);
}

// The focus in Control (or a window inside it), moved there with Tab when it is elsewhere.
bool FocusWithTab(TSetupRun& s, HWND control) {
  auto inside = [&] {
    HWND f = Focused(s.Main);
    return f && (f == control || IsChild(control, f));
  };
  for (int i = 0; i < 40 && !inside(); ++i) {
    HWND before = Focused(s.Main);
    s.D.Key(s.Main, VK_TAB);
    TDriver::WaitFor([&] { return Focused(s.Main) != before; }, 2000);
  }
  return inside();
}

// An earlier installation of this major version for one test: its uninstall entry and folder.
class TEarlierInstallation {
 public:
  TEarlierInstallation() {
    Created_ = !KeyExists(rkLocalMachine, UninstallKey(u"Tramvelon 4"));
    if (!Created_) return;
    ForceDirectories(Dir);
    TRegistry reg(rkLocalMachine);
    reg.OpenKey(UninstallKey(u"Tramvelon 4"), true);
    reg.WriteString(u"UninstallString", KyJoinPath(Dir, u"TvUninstall.exe"));
    reg.WriteString(u"InstallFolder", u"Tramvelon 4 Earlier");
  }
  ~TEarlierInstallation() {
    if (!Created_) return;
    TRegistry(rkLocalMachine).DeleteKey(UninstallKey(u"Tramvelon 4"));
    RemoveDir(Dir);
  }
  bool Created() const { return Created_; }
  const String Dir = ShellFolder(CSIDL_PROGRAM_FILES) + u"\\Tramvelon 4 Earlier";

 private:
  bool Created_ = false;
};

}  // namespace

// On every page before the install: Cancel and Resume keep the page and its choices, and
// Escape from the page's first control asks the exit question too, after which the page is
// still whole (a multi-line edit passes Escape on as a close of its parent).
TEST(Pages, CancelResumeAndEscapeOnEveryPage) {
  TEarlierInstallation earlier;
  ASSERT_TRUE(earlier.Created()) << "no installation of Tramvelon 4 may be there before";
  TSetupRun s(SetupExe("full"));
  s.ShotPrefix = L"resume";
  ASSERT_TRUE(s.Main);
  struct TPage {
    const wchar_t* Sheet;
    const wchar_t* First;  // the first control that takes the focus
    std::function<void()> Choose;
  };
  const std::vector<TPage> pages = {
      {L"StartSheet", L"LanguageList", nullptr},
      {L"CheckSheet", L"CheckButton", nullptr},
      {L"ExistingSheet", L"ExistingGroup", [&] { s.D.Click(RadioButton(s.C(L"ExistingGroup"), L"Modify")); }},
      {L"LicenseSheet", L"LicenseMemo", nullptr},
      {L"SamplesSheet", L"SamplesCheckList", [&] { ToggleItem(s.D, s.C(L"SamplesCheckList"), 1); }},
      {L"DictionarySheet", L"DictionaryCheckList", [&] { ToggleItem(s.D, s.C(L"DictionaryCheckList"), 0); }},
      {L"LanguagesSheet", L"LanguagesCheckList", [&] {
         HWND list = s.C(L"LanguagesCheckList");
         ToggleItem(s.D, list, TDriver::ItemContaining(list, L"Russian"));
       }},
      {L"DestinationSheet", L"InstallDirectoryEdit",
       [&] { s.D.Type(s.C(L"InstallDirectoryEdit"), L"C:\\Program Files\\Tramvelon Resumed"); }},
      {L"FolderSheet", L"ProgramFolderEdit", [&] {
         s.D.Type(s.C(L"ProgramFolderEdit"), L"Resumed Tools");
         s.D.SetChecked(s.C(L"CreateIconCheck"), false);
       }},
  };
  for (size_t i = 0; i < pages.size(); ++i) {
    const TPage& page = pages[i];
    const std::string tag = Narrow(page.Sheet);
    if (i > 0) ASSERT_TRUE(s.NextTo(page.Sheet)) << tag;
    else s.Snap(page.Sheet);
    HWND sheet = s.C(page.Sheet);
    if (page.Choose) page.Choose();
    // Let the choice arrive before the page is read.
    DWORD_PTR r = 0;
    SendMessageTimeoutW(s.Main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r);
    auto before = PageState(s, sheet);

    s.D.Click(s.C(L"CancelButton"));
    ASSERT_TRUE(ResumeFromExitQuestion(s, i == 0 ? L"exit-question" : L"")) << tag;
    EXPECT_TRUE(TDriver::Visible(sheet)) << tag;
    // The click gave Cancel the focus, and it is there again (not on the form's window).
    HWND cancel = s.C(L"CancelButton");
    EXPECT_TRUE(TDriver::WaitFor([&] { return Focused(s.Main) == cancel; }, 2000))
        << tag << ": the focus after Resume is on " << Narrow(TDriver::NameOf(Focused(s.Main)));
    EXPECT_EQ(PageState(s, sheet), before) << tag << " after Cancel and Resume";

    HWND first = s.C(page.First);
    ASSERT_TRUE(FocusWithTab(s, first)) << tag;
    s.D.Key(s.Main, VK_ESCAPE);
    ASSERT_TRUE(ResumeFromExitQuestion(s, std::wstring())) << tag << ": Escape asks the exit question";
    EXPECT_TRUE(IsWindow(first) && TDriver::Visible(first)) << tag;
    EXPECT_TRUE(TDriver::WaitFor([&] { HWND f = Focused(s.Main); return f == first || IsChild(first, f); }, 2000))
        << tag << ": the focus is back on " << Narrow(page.First) << " after Escape and Resume";
    EXPECT_EQ(PageState(s, sheet), before) << tag << " after Escape and Resume";
    s.Snap(std::wstring(page.Sheet) + L"-resumed");
    EXPECT_EQ(s.D.WaitExit(0), -1);
  }
}

namespace {

const std::wstring kGermanTitle = L"Tramvelon 4 Setup - Sprache";
const std::wstring kArabicTitle = L"إعداد Tramvelon 4 - اللغة";

std::string Lines(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += "\n  " + l;
  return all;
}

}  // namespace

// Every text of every page, and of the exit question, fits its control in English, German
// and Arabic, in the full and in the package setup (whose start and finish texts differ).
// The hidden pages hold their texts too, so the first page shows them all.
TEST(Pages, TextsFitInEveryLanguage) {
  for (const char* setup : {"full", "package"}) {
    const bool package = std::string(setup) == "package";
    TSetupRun s(SetupExe(setup), package ? L"4 Translator Package Setup - Language" : L"Tramvelon 4 Setup - Language");
    ASSERT_TRUE(s.Main) << setup;
    const std::pair<const wchar_t*, std::wstring> languages[] = {{L"English", L"en"}, {L"Deutsch", L"de"}, {L"العربية", L"ar"}};
    for (const auto& [language, code] : languages) {
      const std::string tag = std::string(setup) + " " + Narrow(language);
      if (code != L"en") ASSERT_TRUE(s.SwitchLanguage(language)) << tag;
      s.ShotPrefix = L"fit-" + Wide(setup) + L"-" + code;
      s.Snap(L"StartSheet");
      EXPECT_EQ(Lines(LayoutFaults(s.Main)), "") << tag;
      s.D.Click(s.C(L"CancelButton"));
      HWND q = s.Dialog(L"ExitSetupDialog");
      ASSERT_TRUE(q) << tag;
      TDriver::Screenshot(q, Shot(s.ShotPrefix + L"-exit-question"));
      EXPECT_EQ(Lines(LayoutFaults(q)), "") << tag << " exit question";
      s.D.Click(s.D.Control(q, L"ResumeButton"));
      ASSERT_TRUE(TDriver::WaitFor([&] { return !IsWindow(q) || !IsWindowVisible(q); }, 5000)) << tag;
      if (package || code == L"en") continue;
      // The texts that the pages set when they are shown, and a screenshot of each page.
      const wchar_t* const sheets[] = {L"CheckSheet", L"LicenseSheet", L"SamplesSheet", L"DictionarySheet",
                                       L"LanguagesSheet", L"DestinationSheet", L"FolderSheet"};
      for (const wchar_t* sheet : sheets) {
        ASSERT_TRUE(s.NextTo(sheet)) << tag;
        EXPECT_EQ(Lines(LayoutFaults(s.Main)), "") << tag << " " << Narrow(sheet);
      }
      for (size_t i = 0; i < std::size(sheets); ++i) s.Back();
      ASSERT_TRUE(s.On(L"StartSheet")) << tag;
    }
  }
}

// Choices made on the later pages survive going back to the first page and switching the
// setup's language there, to German, to Arabic and back to English.
TEST(Pages, LanguageSwitchKeepsChoices) {
  TSetupRun s(SetupExe("full"));
  s.ShotPrefix = L"switch";
  ASSERT_TRUE(s.Main);
  for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet", L"SamplesSheet"}) ASSERT_TRUE(s.NextTo(sheet));
  HWND samples = s.C(L"SamplesCheckList");
  ToggleItem(s.D, samples, 1);
  ASSERT_TRUE(TDriver::WaitFor([&] { return !ListChecks(samples)[1]; }, 5000));
  const auto sampleChecks = ListChecks(samples);
  const std::wstring required = TDriver::Text(s.C(L"SpaceRequiredLabel"));
  ASSERT_TRUE(s.NextTo(L"DictionarySheet"));
  HWND dictionaries = s.C(L"DictionaryCheckList");
  ToggleItem(s.D, dictionaries, 0);
  ASSERT_TRUE(TDriver::WaitFor([&] { return !ListChecks(dictionaries)[0]; }, 5000));
  const auto dictionaryChecks = ListChecks(dictionaries);
  ASSERT_TRUE(s.NextTo(L"LanguagesSheet"));
  const auto languageChecks = ListChecks(s.C(L"LanguagesCheckList"));
  ASSERT_TRUE(s.NextTo(L"DestinationSheet"));
  const std::wstring destination = L"C:\\Program Files\\Tramvelon Switched";
  s.D.Type(s.C(L"InstallDirectoryEdit"), destination);
  const std::wstring personal = TDriver::Text(s.C(L"PersonalDirectoryEdit"));
  ASSERT_TRUE(s.NextTo(L"FolderSheet"));
  s.D.Type(s.C(L"ProgramFolderEdit"), L"Switched Tools");
  s.D.SetChecked(s.C(L"CreateIconCheck"), false);
  s.Snap(L"FolderSheet-chosen");
  for (int i = 0; i < 7; ++i) s.Back();
  ASSERT_TRUE(s.On(L"StartSheet"));

  ASSERT_TRUE(s.SwitchLanguage(L"German"));
  EXPECT_EQ(TDriver::Text(s.Main), kGermanTitle);
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Weiter >");
  s.Snap(L"StartSheet-de");
  // The licence page, made before the switch, shows the German licence now.
  for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet"}) ASSERT_TRUE(s.NextTo(sheet));
  EXPECT_EQ(TDriver::Text(s.C(L"LicenseMemo")).rfind(L"TRAMVELON 4 ENDBENUTZER-LIZENZVERTRAG", 0), 0u);
  for (int i = 0; i < 2; ++i) s.Back();
  ASSERT_TRUE(s.On(L"StartSheet"));
  ASSERT_TRUE(s.SwitchLanguage(L"العربية"));
  EXPECT_EQ(TDriver::Text(s.Main), kArabicTitle);
  s.Snap(L"StartSheet-ar");
  ASSERT_TRUE(s.SwitchLanguage(L"English"));
  EXPECT_EQ(TDriver::Text(s.Main), L"Tramvelon 4 Setup - Language");
  EXPECT_EQ(TDriver::Text(s.C(L"NextButton")), L"&Next");
  EXPECT_EQ(TDriver::Text(s.C(L"StartLabel")).rfind(L"Welcome to the Tramvelon Setup program.", 0), 0u);
  s.Snap(L"StartSheet-en");

  // Forward again: every choice is still there, the licence in English again.
  for (const wchar_t* sheet : {L"CheckSheet", L"LicenseSheet"}) ASSERT_TRUE(s.NextTo(sheet));
  EXPECT_EQ(TDriver::Text(s.C(L"LicenseMemo")).rfind(L"TRAMVELON 4 END-USER LICENCE AGREEMENT", 0), 0u);
  ASSERT_TRUE(s.NextTo(L"SamplesSheet"));
  EXPECT_EQ(ListChecks(s.C(L"SamplesCheckList")), sampleChecks);
  EXPECT_EQ(TDriver::Text(s.C(L"SpaceRequiredLabel")), required);
  ASSERT_TRUE(s.NextTo(L"DictionarySheet"));
  EXPECT_EQ(ListChecks(s.C(L"DictionaryCheckList")), dictionaryChecks);
  ASSERT_TRUE(s.NextTo(L"LanguagesSheet"));
  EXPECT_EQ(ListChecks(s.C(L"LanguagesCheckList")), languageChecks);
  ASSERT_TRUE(s.NextTo(L"DestinationSheet"));
  EXPECT_EQ(TDriver::Text(s.C(L"InstallDirectoryEdit")), destination);
  EXPECT_EQ(TDriver::Text(s.C(L"PersonalDirectoryEdit")), personal);
  ASSERT_TRUE(s.NextTo(L"FolderSheet"));
  EXPECT_EQ(TDriver::Text(s.C(L"ProgramFolderEdit")), L"Switched Tools");
  EXPECT_FALSE(TDriver::Checked(s.C(L"CreateIconCheck")));
}

namespace {

// The version page that the local server gives next.
void Serve(const TPeer& server, const std::string& escapedStatus, const std::string& body) {
  THttpClient(5000, 5000).Get(Utf8ToString(server.Url("/script?path=/_inc/version.htm&status=" + escapedStatus + "&body=" + body)));
}

// A new test setup on its check page, the button pressed: the result text.
std::wstring CheckOnce(const std::wstring& shot, bool& buttonEnabled) {
  TSetupRun s(TestSetup());
  s.ShotPrefix = L"check";
  buttonEnabled = false;
  if (!s.Main || !s.NextTo(L"CheckSheet")) return L"<no check page>";
  // The result's label is hidden until the check ends: its window is made then.
  HWND label = s.C(L"CheckResultLabel");
  EXPECT_FALSE(TDriver::Visible(label));
  s.D.Click(s.C(L"CheckButton"));
  if (!TDriver::WaitFor([&] { return TDriver::Visible(label = s.C(L"CheckResultLabel")); }, 30000))
    return L"<no result>";
  s.Snap(shot);
  buttonEnabled = TDriver::Enabled(s.C(L"CheckButton"));
  return TDriver::Text(label);
}

const std::wstring kMostRecent = L"This setup version is the most recent version.";
const std::wstring kNotChecked = L"Could not check the version.";

}  // namespace

// The check page's results against a local version page, directly and through the system's
// HTTP and SOCKS proxies (which the setup reads once at its start).
TEST(Pages, UpdateCheck) {
  // The download page goes to the test's opener.
  const std::wstring opener = L"http\\shell\\open\\command";
  TSavedValue savedOpener(HKEY_CLASSES_ROOT, opener, L"");
  SetValue(HKEY_CLASSES_ROOT, opener, L"", L"\"" + Wide(TV_OPENER_EXE) + L"\" \"%1\"");
  TSavedValue savedEnable(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable");
  TSavedValue savedServer(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer");
  SetValue(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", DWORD{0});

  TPeer server("http");
  ASSERT_TRUE(server.Running()) << server.Error();
  const std::wstring address = L"127.0.0.1:" + std::to_wstring(server.Port());
  TEnvironment web(L"TV_WEB_ADDRESS", address);
  bool enabled = true;
  ClearOpened();

  Serve(server, "200%20OK", "4.0.354");
  EXPECT_EQ(CheckOnce(L"most-recent", enabled), kMostRecent);
  EXPECT_FALSE(enabled);
  Serve(server, "200%20OK", "5.0.1");
  EXPECT_EQ(CheckOnce(L"next-major", enabled), kMostRecent);
  EXPECT_FALSE(enabled);
  EXPECT_TRUE(Opened().empty());
  Serve(server, "200%20OK", "4.0.355");
  std::wstring text = CheckOnce(L"available", enabled);
  EXPECT_EQ(text.substr(0, text.find(L"\r\n")), L"Tramvelon 4.0.355 is available.") << Narrow(text);
  EXPECT_FALSE(enabled);
  EXPECT_TRUE(TDriver::WaitFor([] { return !Opened().empty(); }, 10000));
  EXPECT_EQ(Opened(), std::vector<std::wstring>{L"http://" + address + L"/downloads.shtml"});

  // Through a proxy: the check works while it runs and fails once it is gone, although the
  // server still answers.
  // A proxy that cannot serve the request fails the check while it runs.
  auto throughProxy = [&](const char* kind, const std::wstring& scheme, bool serves = true) {
    SCOPED_TRACE(kind);
    if (!TPeer::Installed(kind)) {
      ADD_FAILURE() << kind << " is not installed (scripts/bootstrap)";
      return;
    }
    TPeer proxy(kind);
    ASSERT_TRUE(proxy.Running()) << proxy.Error();
    SetValue(HKEY_CURRENT_USER, kInternetSettings, L"ProxyServer",
             scheme + L"=127.0.0.1:" + std::to_wstring(proxy.Port()));
    SetValue(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", DWORD{1});
    Serve(server, "200%20OK", "4.0.354");
    EXPECT_EQ(CheckOnce(Wide(kind), enabled), serves ? kMostRecent : kNotChecked);
    EXPECT_EQ(enabled, !serves);
    proxy.Stop();
    EXPECT_EQ(CheckOnce(Wide(kind) + L"-stopped", enabled), kNotChecked);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(THttpClient(5000, 5000).Get(Utf8ToString(server.Url("/_inc/version.htm"))), u"4.0.354");
    SetValue(HKEY_CURRENT_USER, kInternetSettings, L"ProxyEnable", DWORD{0});
  };
  throughProxy("tinyproxy", L"http");
  // "socks=" is a SOCKS 4 proxy, as for the browser; the system setting cannot name a
  // SOCKS 5 proxy, so one that speaks only SOCKS 5 is no way out.
  throughProxy("danted", L"socks");
  throughProxy("microsocks", L"socks", false);

  // Nothing listens at the address any more.
  server.Stop();
  EXPECT_EQ(CheckOnce(L"no-server", enabled), kNotChecked);
  EXPECT_TRUE(enabled);
}

