// Tramvelon.exe of the demo payload: a stand-in for the installed localisation tool. It
// shows the project file it was started with (the finish page and the file associations
// pass one), or an empty workspace, in the user's language when a language file
// Tramvelon.<code> lies beside it.
#include "lib/core/win/kywin.h"

#include <shellapi.h>

#include <string>

#include "demo/app/tramvelon.h"

namespace {

HMODULE g_Strings = nullptr;  // the language file in use, or this program

std::wstring Str(UINT id) {
  wchar_t buf[512];
  int n = LoadStringW(g_Strings, id, buf, 512);
  if (n == 0 && g_Strings != GetModuleHandleW(nullptr)) n = LoadStringW(GetModuleHandleW(nullptr), id, buf, 512);
  return std::wstring(buf, n);
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L'\\') + 1);
}

// Tramvelon.DEU, else Tramvelon.DE, for the user's interface language.
TModuleHandle LoadLanguageFile(bool& rightToLeft) {
  wchar_t code[16] = {};
  LCID lcid = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
  if (GetLocaleInfoW(lcid, LOCALE_SABBREVLANGNAME, code, 16) == 0) return TModuleHandle();
  rightToLeft = PRIMARYLANGID(LANGIDFROMLCID(lcid)) == LANG_ARABIC;
  std::wstring base = ProgramFolder() + L"Tramvelon.";
  for (std::wstring c : {std::wstring(code), std::wstring(code).substr(0, 2)}) {
    TModuleHandle m(LoadLibraryExW((base + c).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (m) return m;
  }
  return TModuleHandle();
}

std::wstring ReadText(const std::wstring& path, bool& ok) {
  TFileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ok = false;
  if (!f) return L"";
  std::string bytes(256 * 1024, '\0');
  DWORD read = 0;
  if (!ReadFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return L"";
  bytes.resize(read);
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), n);
  ok = true;
  return text;
}

// The values of every attribute Name="..." of the elements <Element ...>, comma separated.
std::wstring Attributes(const std::wstring& xml, const std::wstring& element, const std::wstring& name) {
  std::wstring out;
  for (size_t p = xml.find(L"<" + element + L" "); p != std::wstring::npos; p = xml.find(L"<" + element + L" ", p + 1)) {
    size_t end = xml.find(L'>', p), a = xml.find(L" " + name + L"=\"", p);
    if (a == std::wstring::npos || a > end) continue;
    a += name.size() + 3;
    if (!out.empty()) out += L", ";
    out += xml.substr(a, xml.find(L'"', a) - a);
  }
  return out;
}

std::wstring WithCrLf(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (c == L'\n' && (out.empty() || out.back() != L'\r')) out += L'\r';
    out += c;
  }
  return out;
}

std::wstring WorkspaceText(const std::wstring& project) {
  if (project.empty()) return Str(IDS_EMPTY);
  bool ok = false;
  std::wstring xml = ReadText(project, ok);
  if (!ok) return Str(IDS_CANNOT_READ) + L"\r\n" + project;
  return Str(IDS_PROJECT) + L" " + project + L"\r\n" + Str(IDS_SOURCE) + L" " +
         Attributes(xml, L"source", L"file") + L"\r\n" + Str(IDS_LANGUAGES) + L" " +
         Attributes(xml, L"language", L"id") + L"\r\n\r\n" + WithCrLf(xml);
}

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      MoveWindow(GetDlgItem(wnd, 1), 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  bool rightToLeft = false;
  TModuleHandle language = LoadLanguageFile(rightToLeft);
  g_Strings = language ? language.Get() : instance;

  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring project = argc > 1 ? argv[1] : L"";  // the setup passes "" without a package
  LocalFree(argv);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"TTramvelonWorkspace";
  RegisterClassExW(&wc);

  std::wstring title = Str(IDS_TITLE);
  if (!project.empty()) title = project.substr(project.find_last_of(L"\\/") + 1) + L" - " + title;
  HWND wnd = CreateWindowExW(rightToLeft ? WS_EX_LAYOUTRTL : 0, wc.lpszClassName, title.c_str(),
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 480, nullptr, nullptr,
                             instance, nullptr);
  if (!wnd) return 1;
  HWND text = CreateWindowExW(0, L"EDIT", WorkspaceText(project).c_str(),
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                  ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                              0, 0, 0, 0, wnd, reinterpret_cast<HMENU>(1), instance, nullptr);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  ShowWindow(wnd, show);

  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return static_cast<int>(m.wParam);
}
