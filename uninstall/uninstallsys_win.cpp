#include <shlobj.h>

#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/locale/kylanguage.h"
#include "uninstall/uninstallsys.h"

namespace {
class TWinFileSystem : public TUninstallFileSystem {
 public:
  bool FileExists(const String& path) override {
    DWORD a = GetFileAttributesW(W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool DirExists(const String& path) override {
    DWORD a = GetFileAttributesW(W(path));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool EraseFile(const String& path, String& error) override {
    DWORD a = GetFileAttributesW(W(path));
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
      SetFileAttributesW(W(path), a & ~FILE_ATTRIBUTE_READONLY);
    if (::DeleteFileW(W(path))) return true;
    DWORD code = GetLastError();
    if (a != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(W(path), a);
    error = TrimBlanks(SysErrorMessage(code));
    return false;
  }
  bool RemoveDir(const String& path, String& error) override {
    if (RemoveDirectoryW(W(path))) return true;
    error = TrimBlanks(SysErrorMessage(GetLastError()));
    return false;
  }
  bool RemoveLine(const String& file, const String& line, String& error) override {
    return RemoveLineFromTextFile(file, line, error);
  }
};


String LongPath(const String& path) {
  DWORD n = GetLongPathNameW(W(path), nullptr, 0);
  if (n == 0) return path;
  std::vector<wchar_t> buf(n);
  DWORD got = GetLongPathNameW(W(path), buf.data(), n);
  return got == 0 || got >= n ? path : FromW(buf.data(), got);
}
}  // namespace

std::unique_ptr<TUninstallFileSystem> CreateSystemFileSystem() { return std::make_unique<TWinFileSystem>(); }

String GetProgramPath() { return LongPath(ProgramFileName()); }

TUninstallFolders GetInstallationFolders(const String& program) {
  TUninstallFolders f;
  f.InstallDir = ExtractFileDir(program);
  f.Programs = GetShellFolder(CSIDL_PROGRAMS);
  f.Desktop = GetShellFolder(CSIDL_DESKTOP);
  f.Documents = GetShellFolder(CSIDL_PERSONAL);
  String profile = GetShellFolder(CSIDL_PROFILE);
  f.Protected = {profile, ExtractFileDir(profile), GetTempDirectory()};
  for (int csidl : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                    CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86, CSIDL_PERSONAL, CSIDL_COMMON_DOCUMENTS,
                    CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU,
                    CSIDL_COMMON_PROGRAMS, CSIDL_STARTUP, CSIDL_COMMON_STARTUP, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
                    CSIDL_COMMON_APPDATA, CSIDL_FONTS, CSIDL_MYMUSIC, CSIDL_MYPICTURES, CSIDL_MYVIDEO})
    f.Protected.push_back(GetShellFolder(csidl));
  FindInstallationKeys(f, program);
  return f;
}

bool StartSupervisedRun(const String& program, const String& runArgs) {
  wchar_t sys[MAX_PATH];
  UINT n = GetSystemDirectoryW(sys, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  String system = FromW(sys, n);
  // The paths reach the command processor through its environment: a path may hold
  // characters that its command line would read as operators or variables.
  SetEnvironmentVariableW(L"TV_UNINSTALL_EXE", W(program));
  SetEnvironmentVariableW(L"TV_UNINSTALL_DIR", W(ExtractFileDir(program)));
  // "start /wait" returns once the run has ended; the program is deleted only after a run
  // that finished the job (exit code 0), retried while a scanner may still hold the file.
  String body =
      u"start \"\" /wait \"%TV_UNINSTALL_EXE%\" " + runArgs +
      u" & if not errorlevel 1 (for /l %i in (1,1,30) do @if exist \"%TV_UNINSTALL_EXE%\" "
      u"(del /f /q \"%TV_UNINSTALL_EXE%\" 2>nul & if exist \"%TV_UNINSTALL_EXE%\" ping -n 2 127.0.0.1 >nul)"
      u" & rd \"%TV_UNINSTALL_DIR%\" 2>nul)";
  String exe = system + u"\\cmd.exe";
  String line = u"\"" + exe + u"\" /d /q /s /c \"" + body + u"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  // The command processor works from the system folder, so nothing holds the program's folder.
  if (!CreateProcessW(W(exe), W(line.data()), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, W(system), &si, &pi))
    return false;
  THandle process(pi.hProcess), thread(pi.hThread);
  return true;
}

void WaitForProcessEnd(unsigned long pid) {
  THandle h(OpenProcess(SYNCHRONIZE, FALSE, pid));
  if (h) WaitForSingleObject(h.Get(), 30000);
}
