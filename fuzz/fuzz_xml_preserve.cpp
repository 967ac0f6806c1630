#include "fuzz/xmlfuzzcommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzXml(data, size, true);
  return 0;
}
