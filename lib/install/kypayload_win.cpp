#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"

namespace {
BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* names = reinterpret_cast<TStringList*>(param);
  if (IS_INTRESOURCE(name)) {
    names->Add(u"#" + IntToStr(static_cast<std::int64_t>(reinterpret_cast<ULONG_PTR>(name))));
  } else {
    names->Add(FromW(name));
  }
  return TRUE;
}
}  // namespace

void TKyInstallComponent::GetResourceNames(TStringList& names) {
  names.Clear();
  // The setup's own module, not the language module that resource strings come from.
  EnumResourceNamesW(GetModuleHandleW(nullptr), W(String(kPayloadResourceType)), CollectName,
                     reinterpret_cast<LONG_PTR>(&names));
}
