// What the end-to-end flows share: the setup driven from this process, the prefix's folders,
// registry and shortcuts read back, and the uninstaller run as Apps & Features runs it.
#pragma once

#include <initializer_list>

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "lib/core/kyregistry.h"
#include "lib/core/kytypes.h"
#include "lib/install/kyuninstall.h"
#include "tests/e2e/driver/kydriver.h"

std::wstring Wide(const char* s);
std::wstring Ws(const String& s);
String Str(const std::wstring& s);
std::string Narrow(const std::wstring& w);

// The setups of this build: full (and its test build tramtest.exe), package, package-aes.
std::wstring SetupExe(const char* setup, const wchar_t* exe = L"Tram.exe");
// build/windows/screenshots/<name>.png
std::wstring Shot(const std::wstring& name);
// The file that the test opener (tvopenlog.exe, registered for http and html) appends each
// opened target to; cleared by ClearOpened.
std::vector<std::wstring> Opened();
void ClearOpened();

String ShellFolder(int csidl);
String ReadValue(TRegRoot root, const String& key, const String& name);
bool KeyExists(TRegRoot root, const String& key);
// The target of a shell link, empty when it cannot be read.
String LinkTarget(const String& link);
// The radio button of a radio group whose text contains Part.
HWND RadioButton(HWND group, const std::wstring& part);

// The uninstall entry of an installation, below HKLM.
String UninstallKey(const String& displayName);
// The uninstall log of the installation in Inst, loaded.
TKyUninstallFile InstallLog(const String& inst);
std::vector<String> LogLines(const String& inst);

// The folders of an installation with the default choices.
struct TDefaultPlaces {
  String Inst = ShellFolder(CSIDL_PROGRAM_FILES) + u"\\Tramvelon 4";
  String Personal = ShellFolder(CSIDL_PERSONAL) + u"\\Tramvelon 4";
  String Programs = ShellFolder(CSIDL_PROGRAMS) + u"\\Tramvelon 4";
  String Desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
};

// An environment variable of this process, and so of the setups it starts, for one scope.
class TEnvironment {
 public:
  TEnvironment(const wchar_t* name, const std::wstring& value);
  ~TEnvironment();
  TEnvironment(const TEnvironment&) = delete;
  TEnvironment& operator=(const TEnvironment&) = delete;

 private:
  std::wstring Name_, Old_;
  bool Had_ = false;
};

// A registry value put back as it was when the scope ends: its old data, or no value, or
// no key at all (the levels created since are removed).
class TSavedValue {
 public:
  TSavedValue(HKEY root, const std::wstring& key, const std::wstring& name);
  ~TSavedValue();
  TSavedValue(const TSavedValue&) = delete;
  TSavedValue& operator=(const TSavedValue&) = delete;

 private:
  HKEY Root_;
  std::wstring Key_, Name_, Created_;
  bool Had_ = false;
  DWORD Type_ = 0;
  std::vector<BYTE> Data_;
};
void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text);
void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD number);

// What is wrong with the layout below Top, one line each: a label, check box, radio button,
// button or group box whose text does not fit its window in the dialog font (with what it
// needs), and two controls of one parent that overlap (the pages' hidden controls count as
// shown, those hidden on purpose do not).
std::vector<std::string> LayoutFaults(HWND top);

// The window with the keyboard focus in the thread of Top.
HWND Focused(HWND top);
// The check marks of a check list box as the screen shows them (its states live in the
// setup's process only); each entry is scrolled into view for it.
std::vector<bool> ListChecks(HWND list);
// Selects an entry of a check list box and toggles its check as the space bar does.
void ToggleItem(TDriver& d, HWND list, int index);

// A running setup with its main window.
class TSetupRun {
 public:
  // Exe is a full command line of a setup; Title is the first page's window title.
  explicit TSetupRun(const std::wstring& exe, const std::wstring& title = L"Tramvelon 4 Setup - Language");
  TSetupRun(const TSetupRun&) = delete;
  TSetupRun& operator=(const TSetupRun&) = delete;
  ~TSetupRun();

  TDriver D;
  HWND Main = nullptr;
  HWND C(const wchar_t* name) const { return D.Control(Main, name); }
  // The page shown: waits until that sheet is visible.
  bool On(const wchar_t* sheet, int timeoutMs = 10000);
  void Next() { D.Click(C(L"NextButton")); }
  void Back() { D.Click(C(L"BackButton")); }
  // Next, then waits for Sheet; a screenshot named Prefix-Sheet is kept of it.
  bool NextTo(const wchar_t* sheet, int timeoutMs = 10000);
  // NextTo each sheet in turn; false at the first that does not show.
  bool NextThrough(std::initializer_list<const wchar_t*> sheets);
  void Snap(const std::wstring& name);
  // A shown window of the setup other than its main window, by its component name
  // (ExitSetupDialog, PasswordDialog), whatever its title says in the current language.
  HWND Dialog(const wchar_t* name, int timeoutMs = 10000);
  // Picks the setup language whose entry contains Part and waits until the title follows.
  bool SwitchLanguage(const std::wstring& part);
  // The setup's message box: its text, after a screenshot named Prefix-Shot (when Shot is
  // given) and the answer ButtonId; empty when none appeared.
  std::wstring Answer(int buttonId, const std::wstring& shot = std::wstring());
  // Screenshots of every page passed are named after this prefix.
  std::wstring ShotPrefix;
  // Presses Finish on the last page and waits for the setup to end.
  int Finish();
  // Finish without starting Tramvelon or opening the read-me.
  int FinishQuietly();
  // Ends the setup however it stands (the exit question answered with Exit Setup).
  void Kill();
};

// Runs the uninstaller named by the uninstall entry DisplayName as Apps & Features does,
// confirms it and closes the result window; false when any step failed.
bool Uninstall(const String& displayName, const std::wstring& shotPrefix = std::wstring());
