// No shell natively: links are never made.
#include "lib/install/kyinstaller.h"

std::int32_t TKyInstaller::CreateShellLink(const String&, const String&, const String&, const String&) {
  return static_cast<std::int32_t>(0x80004001u);  // E_NOTIMPL
}
