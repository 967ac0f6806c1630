// The Zip directory reader on arbitrary bytes: open, list, check every name.
#include <cstddef>
#include <cstdint>

#include "lib/install/kyzip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TReadOnlyMemoryStream stream(data, size);
  TKyZipReader zip;
  try {
    zip.Open(stream);
  } catch (const Exception&) {
    return 0;
  }
  volatile std::uint64_t total = zip.TotalUncompressedSize();
  (void)total;
  for (const TKyZipEntry& e : zip.Entries()) {
    try {
      ZipEntryRelativePath(e.Name, u'\\');
    } catch (const EKyZipException&) {
    }
    (void)e.DateTime();
  }
  return 0;
}
