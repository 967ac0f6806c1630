#include "lib/core/kystreams.h"
#include "lib/install/kyinstaller.h"

void TKyInstallComponent::GetResourceNames(TStringList& names) {
  names.Clear();
  for (const String& n : NativeResourceNames(kPayloadResourceType)) names.Add(n);
}
