#include "tests/flows/flow.h"

#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"

std::wstring Wide(const char* s) { return Ws(Utf8ToString(s)); }
std::wstring Ws(const String& s) { return std::wstring(W(s)); }
String Str(const std::wstring& s) { return FromW(s.c_str()); }
std::string Narrow(const std::wstring& w) { return StringToUtf8(Str(w)); }

std::wstring SetupExe(const char* setup, const wchar_t* exe) {
  return L"\"" + Wide(TV_SETUPS_DIR) + L"/" + Wide(setup) + L"/" + exe + L"\"";
}

std::wstring Shot(const std::wstring& name) { return Wide(TV_SCREENSHOT_DIR) + L"/" + name + L".png"; }

std::vector<std::wstring> Opened() {
  std::vector<std::wstring> lines;
  std::ifstream in(TV_OPENED_LOG);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(Ws(Utf8ToString(line)));
  }
  return lines;
}

void ClearOpened() { DeleteFileW(Wide(TV_OPENED_LOG).c_str()); }

String ShellFolder(int csidl) {
  wchar_t buf[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
  return FromW(buf);
}

String ReadValue(TRegRoot root, const String& key, const String& name) {
  TRegistry reg(root);
  return reg.OpenKeyReadOnly(key) ? reg.ReadString(name) : u"<no key>";
}

bool KeyExists(TRegRoot root, const String& key) { return TRegistry(root).KeyExists(key); }

String LinkTarget(const String& link) {
  TComPtr<IShellLinkW> sl;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, sl.PutVoid())))
    return String();
  TComPtr<IPersistFile> pf;
  if (FAILED(sl->QueryInterface(IID_IPersistFile, pf.PutVoid())) || FAILED(pf->Load(W(link), STGM_READ)))
    return String();
  wchar_t path[MAX_PATH] = {};
  if (FAILED(sl->GetPath(path, MAX_PATH, nullptr, 0))) return String();
  return FromW(path);
}

HWND RadioButton(HWND group, const std::wstring& part) {
  for (HWND c = GetWindow(group, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (TDriver::Text(c).find(part) != std::wstring::npos) return c;
  return nullptr;
}

// ---- the setup ----------------------------------------------------------------------

TSetupRun::TSetupRun(const std::wstring& exe, const std::wstring& title) {
  if (D.Start(exe)) Main = D.WaitWindow(title, 30000);
}

TSetupRun::~TSetupRun() { Kill(); }

bool TSetupRun::On(const wchar_t* sheet, int timeoutMs) {
  return TDriver::WaitFor([&] { return TDriver::Visible(C(sheet)); }, timeoutMs);
}

void TSetupRun::Snap(const std::wstring& name) {
  if (Main) TDriver::Screenshot(Main, Shot(ShotPrefix.empty() ? name : ShotPrefix + L"-" + name));
}

bool TSetupRun::NextTo(const wchar_t* sheet, int timeoutMs) {
  Next();
  if (!On(sheet, timeoutMs)) {
    Snap(std::wstring(L"not-") + sheet);
    return false;
  }
  Snap(sheet);
  return true;
}

int TSetupRun::Finish() {
  Next();
  return D.WaitExit(20000);
}

void TSetupRun::Kill() {
  if (!Main || D.WaitExit(0) != -1) return;
  PostMessageW(Main, WM_CLOSE, 0, 0);
  if (HWND q = D.WaitWindow(L"Exit Setup", 3000)) D.Click(D.Control(q, L"ExitButton"));
  if (D.WaitExit(10000) == -1) TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, D.ProcessId()), 1);
}

// ---- the uninstaller ----------------------------------------------------------------

bool Uninstall(const String& displayName, const std::wstring& shotPrefix) {
  String command = ReadValue(rkLocalMachine, u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + displayName,
                             u"UninstallString");
  if (command.empty() || command[0] == u'<') {
    ADD_FAILURE() << "no uninstall entry for " << StringToUtf8(displayName);
    return false;
  }
  TDriver d;
  if (!d.Start(L"\"" + Ws(command) + L"\"")) return false;
  HWND ask = d.FollowWindow(L"Tramvelon Uninstall", 20000);
  if (!ask || !d.Control(ask, L"UninstallButton")) {
    ADD_FAILURE() << "no confirmation window";
    return false;
  }
  if (!shotPrefix.empty()) TDriver::Screenshot(ask, Shot(shotPrefix + L"-uninstall-confirm"));
  d.Click(d.Control(ask, L"UninstallButton"));
  HWND result = nullptr;
  TDriver::WaitFor([&] {
    result = d.FollowWindow(L"Tramvelon Uninstall", 100);
    return result && d.Control(result, L"CloseButton");
  }, 60000);
  if (!result) {
    ADD_FAILURE() << "no result window";
    return false;
  }
  std::wstring text = TDriver::Text(d.Control(result, L"ResultLabel"));
  if (!shotPrefix.empty()) TDriver::Screenshot(result, Shot(shotPrefix + L"-uninstall-result"));
  d.Click(d.Control(result, L"CloseButton"));
  int code = d.WaitExit(20000);
  // The program deletes itself once it has ended: wait for its folder to go.
  String folder = ExtractFileDir(command);
  TDriver::WaitFor([&] { return !DirectoryExists(folder); }, 10000);
  EXPECT_EQ(code, 0) << Narrow(text);
  return code == 0;
}
