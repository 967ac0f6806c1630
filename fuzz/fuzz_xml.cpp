#include "fuzz/xmlfuzzcommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzXml(data, size, false);
  return 0;
}
