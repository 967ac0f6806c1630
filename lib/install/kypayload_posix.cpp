#include "lib/core/kystreams.h"
#include "lib/install/kyinstaller.h"

std::unique_ptr<TStream> TKyInstallComponent::OpenResourceFile(const String& name) { return OpenResource(name); }

void TKyInstallComponent::GetResourceNames(TStringList& names) {
  names.Clear();
  for (const String& n : NativeResourceNames(kPayloadResourceType)) names.Add(n);
}
