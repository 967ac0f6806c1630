// System helpers used throughout the setup: Windows version tests, message boxes,
// message pumping and drive kinds.
#pragma once

#include <functional>
#include <optional>

#include "lib/core/kyformat.h"
#include "lib/core/kytypes.h"

// The running Windows is at least Major.Minor with at least that service pack.
bool IsWindowsVersion(int major, int minor, int servicePack);
bool IsWindowsXPOrLater();
bool IsWindowsXPSP1OrLater();
bool IsWindowsXPSP2OrLater();
bool IsWindowsXPSP3OrLater();
bool IsWindowsVistaOrLater();
bool IsWindowsVistaSP1OrLater();
bool IsWindowsVistaSP2OrLater();
bool IsWindows7OrLater();
bool IsWindows7SP1OrLater();
bool IsWindows8OrLater();
bool IsWindows81OrLater();
// Not a workstation product.
bool IsServer();
// 0 older than XP; 1 XP; 4 Vista; 6 Windows 7; 8 Windows 8; 10 Windows 8.1 or later;
// one more for the server of each generation.
int GetWindowsVersion();

// Test seam: while set, the version tests answer for this Windows instead of the running one.
struct TWindowsVersion {
  int Major = 0;
  int Minor = 0;
  int ServicePack = 0;
  bool Server = false;
};
void SetSimulatedWindowsVersion(std::optional<TWindowsVersion> version);
bool WindowsVersionAtLeast(const TWindowsVersion& v, int major, int minor, int servicePack);

enum class TMsgKind { Information, Confirmation, Warning, Error };
enum class TMsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
// Results, the platform's IDOK .. IDNO numbers.
enum : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7 };

// The platform's message dialog with the kind's icon and the buttons (never a Help button),
// owned by the active window. Returns the button pressed.
int ShowMessageBox(const String& text, TMsgKind kind, TMsgButtons buttons);
void ShowInformation(const String& text);
void ShowInformationFmt(const String& format, TFormatArgs args);
bool AskYesNo(const String& text);
bool AskYesNoFmt(const String& format, TFormatArgs args);
// Message boxes read right to left (the application's reading direction); off at start.
void SetMessageBoxRightToLeft(bool rightToLeft);
// Test seam: while set, message boxes are answered by the hook instead of being shown.
using TMessageBoxHook = std::function<int(const String& text, TMsgKind kind, TMsgButtons buttons)>;
void SetMessageBoxHook(TMessageBoxHook hook);

// Removes and dispatches pending window messages of the thread. True when a key-down or
// key-up of Escape was among them; stops after the first message when Single is true and
// as soon as Escape was seen.
bool PumpMessages(bool single);

// 1 removable, 2 CD-ROM or RAM disk, 3 network, 0 anything else (fixed drives included),
// from the drive type of the first two characters of Path.
int GetDriveKind(const String& path);

// The fixed file version of a program's version resource (the four parts of FileVersion).
struct TFileVersion {
  int Major = 0, Minor = 0, Release = 0, Build = 0;
};
// False when the file has no version resource (natively: always).
bool GetFileVersion(const String& fileName, TFileVersion& version);

// Full long path of the running program.
String ProgramFileName();
// True when the system's search for libraries finds a file of that name (natively: never).
bool FindOnLibraryPath(const String& fileName);
