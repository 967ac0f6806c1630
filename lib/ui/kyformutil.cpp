#include "lib/ui/kyformutil.h"

#include <cmath>

#include "lib/xml/kyxmlobject.h"

String GetDialogFontName() { return TKyFont::GetDialogFontName(); }

int ControlSpacingFor(int pixelsPerInch) { return pixelsPerInch * 8 / 96; }

long long RoundHalfEven(double value) { return static_cast<long long>(std::nearbyint(value)); }

String FolderWithoutTrailingBackslash(const String& path) {
  if (!path.empty() && path.back() == u'\\') return path.substr(0, path.size() - 1);
  return path;
}
