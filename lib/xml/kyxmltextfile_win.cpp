#include <windows.h>

#include "lib/xml/kyxmltextfile.h"

String XmlCodePageToString(int codePage, const char* data, size_t size) {
  if (size == 0) return String();
  UINT cp = codePage ? static_cast<UINT>(codePage) : CP_ACP;
  int n = MultiByteToWideChar(cp, 0, data, static_cast<int>(size), nullptr, 0);
  String out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(cp, 0, data, static_cast<int>(size), reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string XmlStringToCodePage(int codePage, StringView text) {
  if (text.empty()) return std::string();
  UINT cp = codePage ? static_cast<UINT>(codePage) : CP_ACP;
  const auto* w = reinterpret_cast<const wchar_t*>(text.data());
  int n = WideCharToMultiByte(cp, 0, w, static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, w, static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

bool XmlCodePageHasChar(int codePage, Char c) {
  if (c < 0x80) return true;
  UINT cp = codePage ? static_cast<UINT>(codePage) : CP_ACP;
  wchar_t w = static_cast<wchar_t>(c);
  char buf[8];
  BOOL usedDefault = FALSE;
  int n = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, &w, 1, buf, sizeof buf, nullptr, &usedDefault);
  return n > 0 && !usedDefault;
}
