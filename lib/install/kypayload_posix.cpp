#include "lib/core/kystreams.h"
#include "lib/install/kyinstaller.h"

std::unique_ptr<TStream> TKyInstallComponent::OpenResource(const String& name) {
  return OpenResourceStream(nullptr, name, kPayloadResourceType);
}

void TKyInstallComponent::GetResourceNames(TStringList& names) {
  names.Clear();
  for (const String& n : NativeResourceNames(kPayloadResourceType)) names.Add(n);
}
