// Format with arbitrary format strings: translated formats come from language files,
// so a bad one must raise EConvertError, never crash or read out of bounds.
#include <cstddef>
#include <cstdint>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  String fmt;
  for (size_t i = 0; i + 1 < size; i += 2) fmt += static_cast<Char>(data[i] | (data[i + 1] << 8));
  try {
    Format(fmt, {42, u"text", 3.25, -7LL, 0xFFu});
  } catch (const EConvertError&) {
  }
  return 0;
}
