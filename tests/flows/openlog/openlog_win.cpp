// tvopenlog.exe: the tests register it as the browser and the HTML viewer; it only notes
// what it was asked to open, one line each, in UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  std::wstring arg = cmdLine ? cmdLine : L"";
  while (!arg.empty() && arg.front() == L' ') arg.erase(0, 1);
  if (arg.size() >= 2 && arg.front() == L'"' && arg.back() == L'"') arg = arg.substr(1, arg.size() - 2);
  int n = WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), static_cast<int>(arg.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, arg.c_str(), static_cast<int>(arg.size()), utf8.data(), n, nullptr, nullptr);
  if (FILE* f = std::fopen(TV_OPENED_LOG, "ab")) {
    std::fprintf(f, "%s\n", utf8.c_str());
    std::fclose(f);
  }
  return 0;
}
