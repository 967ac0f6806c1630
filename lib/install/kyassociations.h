// The tool's document types below HKEY_CLASSES_ROOT, each change recorded for the uninstaller.
#pragma once

#include "lib/core/kytypes.h"
#include "lib/install/kyuninstall.h"

class TKyFileAssociations {
 public:
  static constexpr int Count = 2;
  // Kind 0 is the project file (.tvp), kind 1 the package file (.tve).
  static String GetExtension(int kind);
  static int GetIconIndex(int kind);
  static String GetProgId(int kind);
  static String GetTypeName(int kind);
  // Extension, ProgID, icon and open command of every kind for the program at ProgramPath.
  // Raises the registry's errors; the caller decides whether they matter.
  static void Register(const String& programPath, TKyUninstallFile& log);
};
