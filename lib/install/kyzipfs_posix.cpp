#include <cstdio>

#include "lib/core/kysysutils.h"
#include "lib/install/kyzipfs.h"

bool ZipReplaceFile(const String& source, const String& target) {
  return ::rename(StringToUtf8(source).c_str(), StringToUtf8(target).c_str()) == 0;
}
