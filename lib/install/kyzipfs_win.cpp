#include <windows.h>

#include "lib/core/win/kywin.h"
#include "lib/install/kyzipfs.h"

bool ZipReplaceFile(const String& source, const String& target) {
  return MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}
