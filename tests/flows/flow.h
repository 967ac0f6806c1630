// What the end-to-end flows share: the setup driven from this process, the prefix's folders,
// registry and shortcuts read back, and the uninstaller run as Apps & Features runs it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/core/kyregistry.h"
#include "lib/core/kytypes.h"
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
  void Snap(const std::wstring& name);
  // Screenshots of every page passed are named after this prefix.
  std::wstring ShotPrefix;
  // Presses Finish on the last page and waits for the setup to end.
  int Finish();
  // Ends the setup however it stands (the exit question answered with Exit Setup).
  void Kill();
};

// Runs the uninstaller named by the uninstall entry DisplayName as Apps & Features does,
// confirms it and closes the result window; false when any step failed.
bool Uninstall(const String& displayName, const std::wstring& shotPrefix = std::wstring());
