// TvSpell.dll of the demo payload: the spell checker that the tool calls. It reads a
// dictionary file and asks TvHunspell.dll beside it, loaded on demand (the tool runs
// without it).
#include <string>

#include "lib/core/win/kywin.h"

namespace {

HMODULE g_Self = nullptr;

using TSpell = int(__stdcall*)(const char*, size_t, const char*);

TModuleHandle LoadEngine() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(g_Self, path, MAX_PATH);
  std::wstring s(path, n);
  s = s.substr(0, s.find_last_of(L'\\') + 1) + L"TvHunspell.dll";
  return TModuleHandle(LoadLibraryW(s.c_str()));
}

}  // namespace

// 1: Word is spelt right, 0: it is not, -1: the dictionary or the engine is missing.
extern "C" __declspec(dllexport) int __stdcall TvSpellCheckWord(const wchar_t* dictionary, const wchar_t* word) {
  TModuleHandle engine = LoadEngine();
  auto spell = engine ? reinterpret_cast<TSpell>(GetProcAddress(engine.Get(), "TvHunspellSpell")) : nullptr;
  TFileHandle f(CreateFileW(dictionary, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!spell || !f) return -1;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(f.Get(), &size) || size.QuadPart > (16 << 20)) return -1;
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!ReadFile(f.Get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr)) return -1;
  data.resize(read);
  int len = WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(len, '\0');
  WideCharToMultiByte(CP_UTF8, 0, word, -1, utf8.data(), len, nullptr, nullptr);
  return spell(data.data(), data.size(), utf8.c_str());
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_Self = self;
  return TRUE;
}
