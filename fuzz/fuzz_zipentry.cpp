// Extraction of the entries of arbitrary archives into a sink that keeps nothing.
#include <cstddef>
#include <cstdint>

#include "lib/install/kyzip.h"

namespace {
class TSink : public TStream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    Written += count;
    return count;
  }
  std::int64_t Seek(std::int64_t, TSeekOrigin) override { return static_cast<std::int64_t>(Written); }
  std::uint64_t Written = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TReadOnlyMemoryStream stream(data, size);
  TKyZipReader zip;
  try {
    zip.Open(stream);
  } catch (const Exception&) {
    return 0;
  }
  // The seeds' password, offered once after the empty one.
  zip.OnBadPassword = [](TKyZipReader&, int, RawBytes& password) {
    if (password.empty()) password = "Geheim-42";
  };
  for (int i = 0; i < zip.EntryCount() && i < 16; ++i) {
    TSink sink;
    try {
      zip.ExtractEntry(i, sink);
    } catch (const EKyZipException&) {
    }
    if (sink.Written > zip.Entry(i).UncompressedSize) __builtin_trap();
    zip.Password.clear();
  }
  return 0;
}
