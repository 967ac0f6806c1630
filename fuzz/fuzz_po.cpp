// Any bytes: the PO reader gives entries or raises its own error naming a line; what it
// gives, quoted back, reads again to the same texts.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lib/locale/kypofile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    TPoFile f = ReadPoFile(text, "fuzz.po");
    std::string again;
    for (const auto& e : f.Entries) {
      if (e.Obsolete || !e.IdPlural.empty()) continue;
      if (e.HasContext) again += PoQuote("msgctxt", e.Context);
      again += PoQuote("msgid", e.Id) + PoQuote("msgstr", e.Strings.at(0)) + "\n";
      (void)FormatDirectives(e.Id);
      (void)e.Translated();
    }
    TPoFile g = ReadPoFile(again, "again.po");
    size_t k = 0;
    for (const auto& e : f.Entries) {
      if (e.Obsolete || !e.IdPlural.empty()) continue;
      const TPoEntry& o = g.Entries.at(k++);
      if (o.Context != e.Context || o.Id != e.Id || o.Strings.at(0) != e.Strings.at(0)) std::abort();
    }
    if (k != g.Entries.size()) std::abort();
    (void)f.HeaderField("Language");
  } catch (const EPoError& e) {
    if (e.Line <= 0) std::abort();
  }
  return 0;
}
