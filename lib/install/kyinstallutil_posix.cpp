#include <cstdio>

#include "lib/core/kysysutils.h"
#include "lib/install/kyinstallutil.h"

String AnsiBytesToString(std::string_view bytes) {
  String s;
  s.reserve(bytes.size());
  for (unsigned char c : bytes) s += static_cast<Char>(c);
  return s;
}

std::string StringToAnsiBytes(StringView text) {
  std::string s;
  s.reserve(text.size());
  for (Char c : text) s += c <= 0xFF ? static_cast<char>(c) : '?';
  return s;
}

bool ReplaceFileWith(const String& source, const String& target) {
  return std::rename(StringToUtf8(source).c_str(), StringToUtf8(target).c_str()) == 0;
}

bool PumpOneMessage() { return false; }
