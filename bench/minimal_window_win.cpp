// The yardstick of the setup's start-up: one window of the setup's size, nothing else.
// Built a second time with TV_SETUP_IMPORTS (bench_minimal_imports): the same window in a
// program that imports every DLL the setup imports, which tells what loading them costs.
#include <windows.h>
#ifdef TV_SETUP_IMPORTS
#include <commctrl.h>
#include <shlobj.h>
#include <winver.h>

// One function of each: the linker keeps a DLL in the import table only when it is used.
// (Sockets and the cipher are delay-loaded by the setup: not at its start.)
void* volatile kImports[] = {reinterpret_cast<void*>(&InitCommonControlsEx), reinterpret_cast<void*>(&CoInitializeEx),
                             reinterpret_cast<void*>(&SHGetFolderPathW), reinterpret_cast<void*>(&GetFileVersionInfoSizeW),
                             reinterpret_cast<void*>(&RegOpenKeyExW), reinterpret_cast<void*>(&CreateFontW)};
#endif

namespace {
LRESULT CALLBACK WindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"TvMinimalWindow";
  if (!RegisterClassW(&wc)) return 1;
  RECT r{0, 0, 529, 353};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  HWND h = CreateWindowExW(0, wc.lpszClassName, L"Minimal Window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
  if (!h) return 1;
  ShowWindow(h, show);
  UpdateWindow(h);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
