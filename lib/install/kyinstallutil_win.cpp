#include "lib/core/win/kywin.h"
#include "lib/install/kyinstallutil.h"

std::string StringToAnsiBytes(StringView text) {
  if (text.empty()) return std::string();
  const wchar_t* p = reinterpret_cast<const wchar_t*>(text.data());
  int n = WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, p, static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool PumpOneMessage() {
  MSG msg;
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  bool escape = (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP) && msg.wParam == VK_ESCAPE;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return escape;
}
