#include "lib/install/kyassociations.h"

#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

String TKyFileAssociations::GetExtension(int kind) { return kind == 1 ? u".tve" : u".tvp"; }

int TKyFileAssociations::GetIconIndex(int kind) { return kind == 1 ? 2 : 1; }

String TKyFileAssociations::GetProgId(int kind) { return kind == 1 ? u"TramvelonPackage" : u"TramvelonProject"; }

String TKyFileAssociations::GetTypeName(int kind) {
  return LoadResString(kind == 1 ? STramvelonPackageFile : STramvelonProjectFile);
}

namespace {
// Opens Key with creation, records the key and the default value's previous data, writes it.
void SetDefaultValue(TKyUninstallFile& log, const String& key, const String& value) {
  TRegistry reg(rkClassesRoot);
  log.AddNewRegKeyLevels(reg, key);
  if (!reg.OpenKey(key, true)) return;
  log.AddRegValueIfChanged(reg, String(), value);
  reg.WriteString(String(), value);
  reg.CloseKey();
}
}  // namespace

void TKyFileAssociations::Register(const String& programPath, TKyUninstallFile& log) {
  const String quoted = u"\"" + programPath + u"\"";
  for (int kind = 0; kind < Count; ++kind) {
    const String progId = GetProgId(kind);
    SetDefaultValue(log, GetExtension(kind), progId);
    SetDefaultValue(log, progId, GetTypeName(kind));
    SetDefaultValue(log, progId + u"\\DefaultIcon", quoted + u"," + IntToStr(GetIconIndex(kind)));
    SetDefaultValue(log, progId + u"\\Shell\\Open\\Command", quoted + u" \"%1\"");
  }
}
