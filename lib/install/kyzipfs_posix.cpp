#include <sys/stat.h>

#include <cstdio>

#include "lib/core/kysysutils.h"
#include "lib/install/kyzipfs.h"

bool ZipReplaceFile(const String& source, const String& target) {
  std::string s = StringToUtf8(source);
  // The temporary file was created private; an extracted file is an ordinary one.
  ::chmod(s.c_str(), 0644);
  return ::rename(s.c_str(), StringToUtf8(target).c_str()) == 0;
}
