// Drives the windows of another process for end-to-end tests: controls are found by the
// component name that each control's window carries.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lib/core/win/kywin.h"

class TDriver {
 public:
  ~TDriver();
  // Starts Command (a full command line); false when it cannot be started.
  bool Start(const std::wstring& command);
  DWORD ProcessId() const { return Pid_; }
  // A visible top-level window of the process with exactly this title, or null after the time-out.
  HWND WaitWindow(const std::wstring& title, int timeoutMs = 10000);
  // The same for a window of any process; the driver then follows that window's process,
  // for a program that hands its work to another instance of itself.
  HWND FollowWindow(const std::wstring& title, int timeoutMs = 10000);
  // A control below Top by its component name (Top itself when it carries that name).
  HWND Control(HWND top, const std::wstring& name) const;
  static std::wstring NameOf(HWND h);

  void Click(HWND control);
  // Ticks or clears a check box, through a click when the state differs.
  void SetChecked(HWND control, bool checked);
  void Type(HWND control, const std::wstring& text);
  // Selects a list box or combo box item and tells the parent as a user selection does.
  void SelectItem(HWND control, int index);
  // Posts a key to the focused window of the target's thread (Enter, Escape, Tab).
  void Key(HWND top, WORD vk);

  static std::wstring Text(HWND h);
  // Visible top-level windows of the process and all their child windows.
  static std::vector<HWND> ProcessWindows(DWORD pid);
  // The item texts of a list box or combo box, and the first item that contains Part (-1).
  static std::vector<std::wstring> Items(HWND list);
  static int ItemContaining(HWND list, const std::wstring& part);
  static bool Enabled(HWND h) { return IsWindowEnabled(h) != FALSE; }
  static bool Visible(HWND h) { return IsWindowVisible(h) != FALSE; }
  static bool Checked(HWND h);

  // The process's message box (or any dialog of class #32770), null after the time-out.
  HWND WaitMessageBox(int timeoutMs = 10000);
  static std::wstring MessageBoxText(HWND box);
  // Presses the button with that id (IDOK, IDYES, ...) of a message box.
  void Answer(HWND box, int buttonId);

  // Polls Condition every 20 ms; false after the time-out.
  static bool WaitFor(const std::function<bool()>& condition, int timeoutMs);
  // Exit code of the process, or -1 when it did not end in time.
  int WaitExit(int timeoutMs = 10000);
  // What the screen shows of the window once it has painted: Width x Height pixels of
  // 0x00RRGGBB, top row first; empty when the window has no size.
  struct TPixels {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Rgb;
    std::uint32_t At(int x, int y) const { return Rgb[static_cast<size_t>(y) * Width + x]; }
  };
  static TPixels Capture(HWND window);
  // Saves what the screen shows of the window as a PNG file.
  static bool Screenshot(HWND window, const std::wstring& pngFile);

 private:
  THandle Process_;
  DWORD Pid_ = 0;
};
