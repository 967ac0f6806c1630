// Locale ids and language codes come from file names (archive entries, language files):
// every lookup must take any text without failing, and ParseId must yield only scripts
// of the table, so that MakeId of its result never raises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "lib/locale/kylocale.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static TKyLocaleDatas& table = [] () -> TKyLocaleDatas& {
    PopulateLocaleDatas();
    return LocaleDatas;
  }();
  String id(size / 2, u'\0');
  if (!id.empty()) std::memcpy(id.data(), data, id.size() * 2);

  String language, country, variant;
  TKyScript script;
  table.ParseId(id, language, country, variant, script);
  if (script >= ScriptCount) std::abort();
  String made = table.MakeId(language, country, script, variant);
  // The pieces of a parsed id hold no "-" or ".", so the id made of them parses back
  // to them (a country starting with a space is not written). An explicit ".def" reads as
  // script 0, which MakeId leaves out: it comes back as the id's own default script.
  if (!country.empty() && country[0] != u' ') {
    String l2, c2, v2;
    TKyScript s2;
    table.ParseId(made, l2, c2, v2, s2);
    TKyScript expected = script == ScriptDefault ? table.GetDefaultScript(language, country, variant) : script;
    if (l2 != language || c2 != country || s2 != expected) std::abort();
  }
  if (table.IdToLocale(id) > 0xFFFF) std::abort();
  (void)table.GetDisplayName(id, u"?");
  (void)table.IdFromWindowsCode(id);
  (void)GetScriptFromCode(id, 0);
  return 0;
}
