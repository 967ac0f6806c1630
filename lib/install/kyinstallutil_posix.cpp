#include <cstdio>

#include "lib/core/kysysutils.h"
#include "lib/install/kyinstallutil.h"

std::string StringToAnsiBytes(StringView text) {
  std::string s;
  s.reserve(text.size());
  for (Char c : text) s += c <= 0xFF ? static_cast<char>(c) : '?';
  return s;
}

bool PumpOneMessage() { return false; }
