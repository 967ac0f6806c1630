#include "lib/core/kysystem.h"

#include "resstrings.h"

// The portable part: the seam, the named tests and the version number.

bool PlatformIsWindowsVersion(int major, int minor, int servicePack);
bool PlatformIsServer();

namespace {
std::optional<TWindowsVersion>& Simulated() {
  static std::optional<TWindowsVersion> v;
  return v;
}
}  // namespace

bool WindowsVersionAtLeast(const TWindowsVersion& v, int major, int minor, int servicePack) {
  if (v.Major != major) return v.Major > major;
  if (v.Minor != minor) return v.Minor > minor;
  return v.ServicePack >= servicePack;
}

void SetSimulatedWindowsVersion(std::optional<TWindowsVersion> version) { Simulated() = version; }

bool IsWindowsVersion(int major, int minor, int servicePack) {
  if (Simulated()) return WindowsVersionAtLeast(*Simulated(), major, minor, servicePack);
  return PlatformIsWindowsVersion(major, minor, servicePack);
}

bool IsServer() { return Simulated() ? Simulated()->Server : PlatformIsServer(); }

bool IsWindowsXPOrLater() { return IsWindowsVersion(5, 1, 0); }
bool IsWindowsXPSP1OrLater() { return IsWindowsVersion(5, 1, 1); }
bool IsWindowsXPSP2OrLater() { return IsWindowsVersion(5, 1, 2); }
bool IsWindowsXPSP3OrLater() { return IsWindowsVersion(5, 1, 3); }
bool IsWindowsVistaOrLater() { return IsWindowsVersion(6, 0, 0); }
bool IsWindowsVistaSP1OrLater() { return IsWindowsVersion(6, 0, 1); }
bool IsWindowsVistaSP2OrLater() { return IsWindowsVersion(6, 0, 2); }
bool IsWindows7OrLater() { return IsWindowsVersion(6, 1, 0); }
bool IsWindows7SP1OrLater() { return IsWindowsVersion(6, 1, 1); }
bool IsWindows8OrLater() { return IsWindowsVersion(6, 2, 0); }
bool IsWindows81OrLater() { return IsWindowsVersion(6, 3, 0); }

int GetWindowsVersion() {
  int v;
  if (IsWindows81OrLater()) v = 10;
  else if (IsWindows8OrLater()) v = 8;
  else if (IsWindows7OrLater()) v = 6;
  else if (IsWindowsVistaOrLater()) v = 4;
  else if (IsWindowsXPOrLater()) v = 1;
  else return 0;
  return IsServer() ? v + 1 : v;
}

namespace {
TMessageBoxHook& Hook() {
  static TMessageBoxHook hook;
  return hook;
}
}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Hook() = std::move(hook); }

int ShowPlatformMessageBox(const String& text, TMsgKind kind, TMsgButtons buttons);

int ShowMessageBox(const String& text, TMsgKind kind, TMsgButtons buttons) {
  if (Hook()) return Hook()(text, kind, buttons);
  return ShowPlatformMessageBox(text, kind, buttons);
}

void ShowInformation(const String& text) { ShowMessageBox(text, TMsgKind::Information, TMsgButtons::Ok); }

void ShowInformationFmt(const String& format, TFormatArgs args) { ShowInformation(Format(format, args)); }

bool AskYesNo(const String& text) {
  return ShowMessageBox(text, TMsgKind::Confirmation, TMsgButtons::YesNo) == mrYes;
}

bool AskYesNoFmt(const String& format, TFormatArgs args) { return AskYesNo(Format(format, args)); }
