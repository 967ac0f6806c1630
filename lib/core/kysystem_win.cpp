// Windows side of the system helpers.
#include "lib/core/win/kywin.h"

#include <vector>

#include "lib/core/kysystem.h"
#include "resstrings.h"

bool PlatformIsWindowsVersion(int major, int minor, int servicePack) {
  OSVERSIONINFOEXW vi = {};
  vi.dwOSVersionInfoSize = sizeof vi;
  vi.dwMajorVersion = static_cast<DWORD>(major);
  vi.dwMinorVersion = static_cast<DWORD>(minor);
  vi.wServicePackMajor = static_cast<WORD>(servicePack);
  DWORDLONG mask = 0;
  mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&vi, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE;
}

bool PlatformIsServer() {
  OSVERSIONINFOEXW vi = {};
  vi.dwOSVersionInfoSize = sizeof vi;
  vi.wProductType = VER_NT_WORKSTATION;
  DWORDLONG mask = VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
  return VerifyVersionInfoW(&vi, VER_PRODUCT_TYPE, mask) == FALSE;
}

namespace {
bool MessageBoxRtl = false;
}

void SetMessageBoxRightToLeft(bool rightToLeft) { MessageBoxRtl = rightToLeft; }

int ShowPlatformMessageBox(const String& text, TMsgKind kind, TMsgButtons buttons) {
  UINT flags = MessageBoxRtl ? MB_RTLREADING | MB_RIGHT : 0;
  String caption;
  switch (kind) {
    case TMsgKind::Information: flags |= MB_ICONINFORMATION; caption = LoadResString(SMsgDlgInformation); break;
    case TMsgKind::Confirmation: flags |= MB_ICONQUESTION; caption = LoadResString(SMsgDlgConfirm); break;
    case TMsgKind::Warning: flags |= MB_ICONWARNING; caption = LoadResString(SMsgDlgWarning); break;
    case TMsgKind::Error: flags |= MB_ICONERROR; caption = LoadResString(SMsgDlgError); break;
  }
  switch (buttons) {
    case TMsgButtons::Ok: flags |= MB_OK; break;
    case TMsgButtons::OkCancel: flags |= MB_OKCANCEL; break;
    case TMsgButtons::YesNo: flags |= MB_YESNO; break;
    case TMsgButtons::YesNoCancel: flags |= MB_YESNOCANCEL; break;
    case TMsgButtons::RetryCancel: flags |= MB_RETRYCANCEL; break;
  }
  HWND owner = GetActiveWindow();
  // Without an owner the box must still come to the front of the setup.
  if (!owner) flags |= MB_TASKMODAL | MB_SETFOREGROUND;
  return MessageBoxW(owner, W(text), W(caption), flags);
}

bool PumpMessages(bool single) {
  bool escape = false;
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if ((msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_ESCAPE) escape = true;
    if (msg.message == WM_QUIT) {
      // Leave the quit request for the main loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (single || escape) break;
  }
  return escape;
}

int GetDriveKind(const String& path) {
  if (path.size() < 2) return 0;
  String root = path.substr(0, 2) + u"\\";
  switch (GetDriveTypeW(W(root))) {
    case DRIVE_REMOVABLE: return 1;
    case DRIVE_CDROM:
    case DRIVE_RAMDISK: return 2;
    case DRIVE_REMOTE: return 3;
    default: return 0;
  }
}

bool GetFileVersion(const String& fileName, TFileVersion& version) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(W(fileName), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(W(fileName), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info || len < sizeof *info)
    return false;
  version.Major = HIWORD(info->dwFileVersionMS);
  version.Minor = LOWORD(info->dwFileVersionMS);
  version.Release = HIWORD(info->dwFileVersionLS);
  version.Build = LOWORD(info->dwFileVersionLS);
  return true;
}

namespace {
String ModuleLongFileName() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return String();
    if (n < buf.size()) break;
    buf.resize(buf.size() * 2);
  }
  // The long form: the language choice is stored under the program's full long path. Only
  // a generated short name differs from its long one, and it has a tilde; the look-up walks
  // every folder of the path (under Wine each is a directory listing).
  if (!wcschr(buf.data(), L'~')) return FromW(buf.data());
  std::vector<wchar_t> longer(buf.size() * 2);
  DWORD m = GetLongPathNameW(buf.data(), longer.data(), static_cast<DWORD>(longer.size()));
  if (m > 0 && m < longer.size()) return FromW(longer.data(), m);
  return FromW(buf.data());
}
}  // namespace

String ProgramFileName() {
  // Worked out once: the long form opens every folder on the way, and the language start-up
  // alone asks several times.
  static const String name = ModuleLongFileName();
  return name;
}

bool FindOnLibraryPath(const String& fileName) {
  wchar_t found[MAX_PATH];
  return SearchPathW(nullptr, W(fileName), nullptr, MAX_PATH, found, nullptr) != 0;
}
