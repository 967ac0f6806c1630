#include "tests/flows/flow.h"

#include <shlobj.h>

#include <fstream>
#include <sstream>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"

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

String UninstallKey(const String& displayName) {
  return u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + displayName;
}

TKyUninstallFile InstallLog(const String& inst) {
  TKyUninstallFile log;
  log.FileName = KyJoinPath(inst, u"TvUninstall.dat");
  log.Load();
  return log;
}

std::vector<String> LogLines(const String& inst) {
  TKyUninstallFile log = InstallLog(inst);
  std::vector<String> lines;
  for (int i = 0; i < log.Lines.Count(); ++i) lines.push_back(log.Lines[i]);
  return lines;
}

TEnvironment::TEnvironment(const wchar_t* name, const std::wstring& value) : Name_(name) {
  wchar_t buf[4096];
  DWORD n = GetEnvironmentVariableW(name, buf, 4096);
  Had_ = n > 0 && n < 4096;
  if (Had_) Old_.assign(buf, n);
  SetEnvironmentVariableW(name, value.c_str());
}

TEnvironment::~TEnvironment() { SetEnvironmentVariableW(Name_.c_str(), Had_ ? Old_.c_str() : nullptr); }

TSavedValue::TSavedValue(HKEY root, const std::wstring& key, const std::wstring& name)
    : Root_(root), Key_(key), Name_(name) {
  // The first level of the key that is missing now goes again at the end.
  for (size_t end = 0; end != std::wstring::npos;) {
    end = key.find(L'\\', end + 1);
    std::wstring level = key.substr(0, end);
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, level.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) {
      Created_ = level;
      return;
    }
    TKeyHandle k(raw);
  }
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
  TKeyHandle k(raw);
  DWORD size = 0;
  if (RegQueryValueExW(k.Get(), name.c_str(), nullptr, &Type_, nullptr, &size) != ERROR_SUCCESS) return;
  Data_.resize(size);
  Had_ = RegQueryValueExW(k.Get(), name.c_str(), nullptr, &Type_, Data_.data(), &size) == ERROR_SUCCESS;
}

TSavedValue::~TSavedValue() {
  if (!Created_.empty()) {
    RegDeleteTreeW(Root_, Created_.c_str());
    return;
  }
  HKEY raw = nullptr;
  if (RegOpenKeyExW(Root_, Key_.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
  TKeyHandle k(raw);
  if (Had_)
    RegSetValueExW(k.Get(), Name_.c_str(), 0, Type_, Data_.data(), static_cast<DWORD>(Data_.size()));
  else
    RegDeleteValueW(k.Get(), Name_.c_str());
}

namespace {
void SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type, const void* data, size_t size) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr), ERROR_SUCCESS);
  TKeyHandle k(raw);
  EXPECT_EQ(RegSetValueExW(k.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)),
            ERROR_SUCCESS);
}
}  // namespace

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& text) {
  SetRaw(root, key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, DWORD number) {
  SetRaw(root, key, name, REG_DWORD, &number, sizeof number);
}

std::vector<std::string> LayoutFaults(HWND top) {
  std::vector<HWND> windows;
  EnumChildWindows(top, [](HWND h, LPARAM lp) -> BOOL {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
    return TRUE;
  }, reinterpret_cast<LPARAM>(&windows));
  // Every form uses this font; only an empty, hidden banner label has its own.
  TDeviceContext dc(CreateCompatibleDC(nullptr));
  TGdiObject font(CreateFontW(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS Shell Dlg 2"));
  HGDIOBJ old = SelectObject(dc.Get(), font.Get());
  std::vector<std::string> cut;
  for (HWND h : windows) {
    wchar_t cls[32] = {};
    GetClassNameW(h, cls, 32);
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    RECT client;
    GetClientRect(h, &client);
    int width = client.right, height = client.bottom;
    bool wrap = false;
    if (_wcsicmp(cls, L"Static") == 0) {
      const LONG kind = style & SS_TYPEMASK;
      if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP) continue;
      wrap = kind != SS_LEFTNOWORDWRAP;
    } else if (_wcsicmp(cls, L"Button") == 0) {
      const LONG kind = style & BS_TYPEMASK;
      if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
        width -= 6;  // the raised frame
      } else if (kind == BS_GROUPBOX) {
        width -= 16;  // the frame line on both sides of the caption
        height = 13;
      } else {
        width -= 17;  // the check box or radio circle and its gap
        wrap = (style & BS_MULTILINE) != 0;
      }
    } else {
      continue;
    }
    const std::wstring text = TDriver::Text(h);
    if (text.empty()) continue;
    RECT need{0, 0, width, 0};
    DrawTextW(dc.Get(), text.c_str(), -1, &need, DT_CALCRECT | (wrap ? DT_WORDBREAK : DT_SINGLELINE));
    if (need.right > width || need.bottom > height)
      cut.push_back(Narrow(TDriver::NameOf(h)) + " needs " + std::to_string(need.right) + "x" +
                    std::to_string(need.bottom) + ", has " + std::to_string(width) + "x" + std::to_string(height) +
                    ": " + Narrow(text));
  }
  SelectObject(dc.Get(), old);
  // Overlaps among the controls meant to show; a control inside another (a group box's
  // frame) is not an overlap, nor is a shared edge pixel (a label's last, empty line).
  auto shown = [](HWND h) { return (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0; };
  for (size_t i = 0; i < windows.size(); ++i)
    for (size_t j = i + 1; j < windows.size(); ++j) {
      HWND a = windows[i], b = windows[j];
      if (GetParent(a) != GetParent(b) || !shown(a) || !shown(b)) continue;
      RECT ra, rb, both;
      GetWindowRect(a, &ra);
      GetWindowRect(b, &rb);
      if (!IntersectRect(&both, &ra, &rb) || EqualRect(&both, &ra) || EqualRect(&both, &rb)) continue;
      if (both.right - both.left <= 1 || both.bottom - both.top <= 1) continue;
      cut.push_back(Narrow(TDriver::NameOf(a)) + " overlaps " + Narrow(TDriver::NameOf(b)));
    }
  return cut;
}

HWND Focused(HWND top) {
  GUITHREADINFO gi{sizeof gi};
  return GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &gi) ? gi.hwndFocus : nullptr;
}

std::vector<bool> ListChecks(HWND list) {
  std::vector<bool> checks;
  DWORD_PTR count = 0;
  SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 10000, &count);
  RECT client, frame;
  GetClientRect(list, &client);
  GetWindowRect(list, &frame);
  POINT origin{0, 0};
  ClientToScreen(list, &origin);
  TDriver::TPixels shown;
  bool fresh = false;
  for (int i = 0; i < static_cast<int>(count); ++i) {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
    if (item.top < 0 || item.bottom > client.bottom) {
      DWORD_PTR r = 0;
      SendMessageTimeoutW(list, LB_SETTOPINDEX, i, 0, SMTO_ABORTIFHUNG, 10000, &r);
      SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
      fresh = false;
    }
    if (!fresh) {
      shown = TDriver::Capture(list);
      fresh = true;
    }
    // The check box is the square at the left of the entry; a mark inside it is dark.
    int box = item.bottom - item.top;
    int dark = 0;
    for (int y = item.top + 4; y < item.bottom - 4; ++y)
      for (int x = item.left + 4; x < item.left + box - 4; ++x) {
        int sx = x + origin.x - frame.left, sy = y + origin.y - frame.top;
        if (sx < 0 || sy < 0 || sx >= shown.Width || sy >= shown.Height) continue;
        std::uint32_t p = shown.At(sx, sy);
        dark += ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 3 * 200;  // a disabled mark is grey
      }
    checks.push_back(dark >= 3);
  }
  return checks;
}

void ToggleItem(TDriver& d, HWND list, int index) {
  d.SelectItem(list, index);
  // Sent: the toggle and what it updates are done when this returns (a WM_NULL sent after
  // a posted key is handled before the key).
  DWORD_PTR r = 0;
  SendMessageTimeoutW(list, WM_CHAR, L' ', 0, SMTO_ABORTIFHUNG, 10000, &r);
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

HWND TSetupRun::Dialog(const wchar_t* name, int timeoutMs) {
  struct TFind {
    DWORD Pid;
    HWND Main;
    const wchar_t* Name;
    HWND Found = nullptr;
  } f{D.ProcessId(), Main, name};
  TDriver::WaitFor([&] {
    EnumWindows([](HWND h, LPARAM lp) -> BOOL {
      auto* f = reinterpret_cast<TFind*>(lp);
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (pid != f->Pid || h == f->Main || !IsWindowVisible(h) || TDriver::NameOf(h) != f->Name) return TRUE;
      f->Found = h;
      return FALSE;
    }, reinterpret_cast<LPARAM>(&f));
    return f.Found != nullptr;
  }, timeoutMs);
  return f.Found;
}

bool TSetupRun::SwitchLanguage(const std::wstring& part) {
  HWND list = C(L"LanguageList");
  int i = TDriver::ItemContaining(list, part);
  if (i < 0) return false;
  const std::wstring before = TDriver::Text(Main);
  D.SelectItem(list, i);
  return TDriver::WaitFor([&] { return TDriver::Text(Main) != before; }, 10000);
}

std::wstring TSetupRun::Answer(int buttonId, const std::wstring& shot) {
  HWND box = D.WaitMessageBox();
  if (!box) return std::wstring();
  std::wstring text = TDriver::MessageBoxText(box);
  if (!shot.empty()) TDriver::Screenshot(box, Shot(ShotPrefix.empty() ? shot : ShotPrefix + L"-" + shot));
  D.Answer(box, buttonId);
  TDriver::WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000);
  return text;
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

bool TSetupRun::NextThrough(std::initializer_list<const wchar_t*> sheets) {
  for (const wchar_t* sheet : sheets)
    if (!NextTo(sheet)) return false;
  return true;
}

int TSetupRun::Finish() {
  Next();
  return D.WaitExit(20000);
}

int TSetupRun::FinishQuietly() {
  D.SetChecked(C(L"ApplicationCheck"), false);
  D.SetChecked(C(L"ReadmeCheck"), false);
  return Finish();
}

void TSetupRun::Kill() {
  if (!Main || D.WaitExit(0) != -1) return;
  // Closed before Cancel was ever pressed the setup ends at once; after it, it asks.
  PostMessageW(Main, WM_CLOSE, 0, 0);
  HWND q = nullptr;
  TDriver::WaitFor([&] { return D.WaitExit(0) != -1 || (q = Dialog(L"ExitSetupDialog", 0)) != nullptr; }, 3000);
  if (q) D.Click(D.Control(q, L"ExitButton"));
  if (D.WaitExit(10000) == -1) TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, D.ProcessId()), 1);
}

// ---- the uninstaller ----------------------------------------------------------------

bool Uninstall(const String& displayName, const std::wstring& shotPrefix) {
  String command = ReadValue(rkLocalMachine, UninstallKey(displayName), u"UninstallString");
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
  // The program deletes itself once it has ended: wait for its folder to go, as long as the
  // command processor that deletes it retries (half a minute; under load a retry waits).
  String folder = ExtractFileDir(command);
  TDriver::WaitFor([&] { return !DirectoryExists(folder); }, 35000);
  EXPECT_EQ(code, 0) << Narrow(text);
  return code == 0;
}
