// The small dialogs driven from another process, as a user works them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/e2e/driver/kydriver.h"

namespace {

std::wstring Here() {
  wchar_t buf[MAX_PATH];
  GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring s = buf;
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring Demo(const std::wstring& args) { return L"\"" + Here() + L"tvuidemo.exe\" " + args; }

std::wstring Shot(const char* name) {
  std::string dir = TV_SCREENSHOT_DIR;
  return std::wstring(dir.begin(), dir.end()) + L"/" + std::wstring(name, name + strlen(name));
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// Answers the demo's report box and returns its text.
std::wstring Report(TDriver& d) {
  HWND box = d.WaitMessageBox();
  if (!box) return L"<no message box>";
  std::wstring text = TDriver::MessageBoxText(box);
  d.Answer(box, IDOK);
  return text;
}

TEST(DialogsE2E, ExitDialogResumesOnEnterAndEscapeAndQuitsOnExitSetup) {
  {
    TDriver d;
    ASSERT_TRUE(d.Start(Demo(L"exit")));
    HWND w = d.WaitWindow(L"Exit Setup");
    ASSERT_TRUE(w);
    EXPECT_EQ(TDriver::Text(d.Control(w, L"ResumeButton")), L"Resume");
    EXPECT_EQ(TDriver::Text(d.Control(w, L"ExitButton")), L"Exit Setup");
    EXPECT_EQ(TDriver::Text(d.Control(w, L"Label2")),
              L"You may run the Setup program at a later time to complete the installation.");
    RECT c;
    GetClientRect(w, &c);
    EXPECT_EQ(c.right, 377);
    EXPECT_EQ(c.bottom, 145);
    EXPECT_TRUE(TDriver::Screenshot(w, Shot("exit-setup-dialog.png")));
    d.Key(w, VK_RETURN);
    EXPECT_EQ(d.WaitExit(), 2);  // cancel: resume
  }
  {
    TDriver d;
    ASSERT_TRUE(d.Start(Demo(L"exit")));
    HWND w = d.WaitWindow(L"Exit Setup");
    ASSERT_TRUE(w);
    d.Key(w, VK_ESCAPE);
    EXPECT_EQ(d.WaitExit(), 2);
  }
  {
    TDriver d;
    ASSERT_TRUE(d.Start(Demo(L"exit")));
    HWND w = d.WaitWindow(L"Exit Setup");
    ASSERT_TRUE(w);
    d.Click(d.Control(w, L"ExitButton"));
    EXPECT_EQ(d.WaitExit(), 1);  // OK: quit
  }
}

TEST(DialogsE2E, PasswordDialogGivesTheTextOnOkAndTheEmptyPasswordOnCancel) {
  {
    TDriver d;
    ASSERT_TRUE(d.Start(Demo(L"password")));
    HWND w = d.WaitWindow(L"Password");
    ASSERT_TRUE(w);
    HWND edit = d.Control(w, L"Edit");
    ASSERT_TRUE(edit);
    d.Type(edit, L"s3cret");
    EXPECT_EQ(TDriver::Text(edit), L"s3cret");
    EXPECT_TRUE(TDriver::Screenshot(w, Shot("password-dialog.png")));
    d.Click(d.Control(w, L"OkButton"));
    EXPECT_EQ(Narrow(Report(d)), "Password: [s3cret]");
    EXPECT_EQ(d.WaitExit(), 1);
  }
  {
    TDriver d;  // OK with an empty edit gives the empty text, through Enter
    ASSERT_TRUE(d.Start(Demo(L"password")));
    HWND w = d.WaitWindow(L"Password");
    ASSERT_TRUE(w);
    d.Key(w, VK_RETURN);
    EXPECT_EQ(Narrow(Report(d)), "Password: []");
    EXPECT_EQ(d.WaitExit(), 1);
  }
  {
    TDriver d;  // Cancel drops what was typed
    ASSERT_TRUE(d.Start(Demo(L"password")));
    HWND w = d.WaitWindow(L"Password");
    ASSERT_TRUE(w);
    d.Type(d.Control(w, L"Edit"), L"typed");
    d.Click(d.Control(w, L"CancelButton"));
    EXPECT_EQ(Narrow(Report(d)), "Password: []");
    EXPECT_EQ(d.WaitExit(), 2);
  }
}

// The password dialog from the setup's language files: German texts that fit, Arabic mirrored.
TEST(DialogsE2E, PasswordDialogInTheLanguageOfALanguageFile) {
  std::string dir = TV_LANGUAGE_DIR;
  std::wstring langDir(dir.begin(), dir.end());
  struct TCase {
    const wchar_t* Code;
    const wchar_t* Title;
    const wchar_t* Prompt;
    const char* Shot;
  };
  for (const TCase& c : {TCase{L"DEU", L"Kennwort", L"&Geben Sie das Kennwort ein:", "lang-de-password-dialog.png"},
                         TCase{L"ARA", L"كلمة المرور", L"أ&دخل كلمة المرور:", "lang-ar-password-dialog.png"}}) {
    TDriver d;
    ASSERT_TRUE(d.Start(Demo(std::wstring(L"password --language ") + c.Code + L" \"" + langDir + L"/Tram." + c.Code + L"\"")));
    HWND w = d.WaitWindow(c.Title);
    ASSERT_TRUE(w) << Narrow(c.Code);
    HWND label = d.Control(w, L"Label1");
    EXPECT_EQ(TDriver::Text(label), c.Prompt);
    bool rtl = std::wstring(c.Code) == L"ARA";
    for (HWND h : {w, label, d.Control(w, L"OkButton")})
      EXPECT_EQ((GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, rtl) << Narrow(c.Code);
    EXPECT_EQ(GetWindowLongPtrW(d.Control(w, L"Edit"), GWL_EXSTYLE) & WS_EX_LAYOUTRTL, 0);  // a password reads left to right
    // The auto-sized prompt took the width of its translation and stays inside the dialog.
    RECT lr, cr;
    GetWindowRect(label, &lr);
    GetClientRect(w, &cr);
    EXPECT_GT(lr.right - lr.left, 60);
    EXPECT_LE(lr.right - lr.left, cr.right - 16);
    Sleep(300);  // painted before the picture is taken
    EXPECT_TRUE(TDriver::Screenshot(w, Shot(c.Shot)));
    d.Click(d.Control(w, L"CancelButton"));
    Report(d);
    EXPECT_EQ(d.WaitExit(), 2);
  }
}

TEST(DialogsE2E, FolderDialogReturnsADriveRootAsLetterAndColon) {
  TDriver d;
  ASSERT_TRUE(d.Start(Demo(L"folder C:\\")));
  HWND w = d.WaitWindow(L"Browse Directory");
  ASSERT_TRUE(w);
  RECT c;
  GetClientRect(w, &c);
  EXPECT_EQ(c.right, 409);
  EXPECT_EQ(c.bottom, 417);
  EXPECT_TRUE(TDriver::Screenshot(w, Shot("select-directory-dialog.png")));
  d.Key(w, VK_RETURN);
  EXPECT_EQ(Narrow(Report(d)), "Folder: [C:]");
  EXPECT_EQ(d.WaitExit(), 1);
}

TEST(DialogsE2E, AnExceptionInAHandlerIsShownAndTheProgramGoesOn) {
  TDriver d;
  ASSERT_TRUE(d.Start(Demo(L"error")));
  HWND w = d.WaitWindow(L"Exit Setup");
  ASSERT_TRUE(w);
  d.Click(d.Control(w, L"ExitButton"));
  HWND box = d.WaitMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(TDriver::MessageBoxText(box), L"Something went wrong");
  d.Answer(box, IDOK);
  ASSERT_TRUE(TDriver::WaitFor([&] { return !IsWindow(box); }, 5000));
  EXPECT_TRUE(IsWindowVisible(w));  // still running, still showing the dialog
  d.Key(w, VK_ESCAPE);
  EXPECT_EQ(d.WaitExit(), 2);
}

TEST(DialogsE2E, DriverProgramRunsAScript) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring script = std::wstring(tmp) + L"tvdriver-script.txt";
  {
    std::ofstream s{std::filesystem::path(script)};
    s << "start " << Narrow(Demo(L"password")) << "\n"
      << "window Password\n"
      << "expect-text PackageLabel The package has been encrypted.\n"
      << "expect-enabled OkButton 1\n"
      << "type Edit abc\n"
      << "expect-text Edit abc\n"
      << "key ESCAPE\n"
      << "msgbox Password: [] 1\n"
      << "exit 2\n";
  }
  TDriver runner;
  ASSERT_TRUE(runner.Start(L"\"" + Here() + L"tvdriver.exe\" \"" + script + L"\""));
  EXPECT_EQ(runner.WaitExit(30000), 0);
  {
    std::ofstream s{std::filesystem::path(script)};
    s << "start " << Narrow(Demo(L"exit")) << "\nwindow Exit Setup\nexpect-text ResumeButton Wrong\n";
  }
  TDriver failing;
  ASSERT_TRUE(failing.Start(L"\"" + Here() + L"tvdriver.exe\" \"" + script + L"\""));
  EXPECT_EQ(failing.WaitExit(30000), 1);
  DeleteFileW(script.c_str());
}

}  // namespace
