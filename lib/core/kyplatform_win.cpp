// Windows side of the runtime: case mapping, system error texts, resource strings.
#include "lib/core/win/kywin.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"

Char UpCaseChar(Char c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<Char>(c - 32) : c;
  wchar_t w = static_cast<wchar_t>(c);
  CharUpperBuffW(&w, 1);
  return static_cast<Char>(w);
}

Char LowCaseChar(Char c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<Char>(c + 32) : c;
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return static_cast<Char>(w);
}

std::uint32_t GetLastOSError() { return GetLastError(); }

String SysErrorMessage(std::uint32_t code) {
  wchar_t* buf = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  String s = n ? FromW(buf, n) : String();
  if (buf) LocalFree(buf);
  while (!s.empty() && (s.back() == u'\r' || s.back() == u'\n' || s.back() == u' ' || s.back() == u'.')) {
    s.pop_back();
  }
  return s;
}

namespace {
HMODULE ResourceModule = nullptr;
}

TResourceHandle GetInstanceHandle() { return GetModuleHandleW(nullptr); }
TResourceHandle GetResourceHandle() { return ResourceModule ? ResourceModule : GetModuleHandleW(nullptr); }
void SetResourceHandle(TResourceHandle h) { ResourceModule = static_cast<HMODULE>(h); }

String LoadResString(const TResString& res) {
  const wchar_t* p = nullptr;
  // With a length of 0 LoadStringW hands out a pointer into the resource itself.
  int n = LoadStringW(static_cast<HMODULE>(GetResourceHandle()), static_cast<UINT>(res.Id),
                      reinterpret_cast<wchar_t*>(&p), 0);
  if (n > 0 && p) return FromW(p, static_cast<size_t>(n));
  return String(res.English);
}

#include "lib/core/kydatetime.h"

TDateTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  TDateParts p{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  return EncodeDateTime(p);
}
