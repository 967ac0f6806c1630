#include <shlobj.h>

#include "lib/core/win/kywin.h"
#include "setup/installer/installer.h"

String GetSpecialFolder(int kind) {
  static const int kFolders[] = {CSIDL_PROGRAMS, CSIDL_DESKTOP, CSIDL_PERSONAL, CSIDL_PROFILE};
  if (kind < 0 || kind > 3) return String();
  TCoTaskMem<ITEMIDLIST> pidl;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, kFolders[kind], pidl.Put())) || !pidl.Get()) return String();
  wchar_t path[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(pidl.Get(), path)) return String();
  return FromW(path);
}
