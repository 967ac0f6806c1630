// Any bytes: the form stream reader either gives a record or raises its own error;
// a record it gives writes back to the same bytes it was read from when the input was canonical.
#include <cstdint>
#include <cstdlib>

#include "lib/ui/kyformstream.h"
#include "lib/ui/kyformtext.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  try {
    TFormRecord r = ReadFormStream(data, size);
    RawBytes again = WriteFormStream(r);
    TFormRecord r2 = ReadFormStream(again);
    if (WriteFormStream(r2) != again) std::abort();
    (void)FormToText(r);
  } catch (const EFormStreamError&) {
  }
  try {
    (void)ParseFormText(std::string(reinterpret_cast<const char*>(data), size), u"fuzz");
  } catch (const EFormTextError&) {
  } catch (const EFormStreamError&) {
  }
  return 0;
}
