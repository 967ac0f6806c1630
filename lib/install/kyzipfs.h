// File-system steps of the extraction that differ per platform.
#pragma once

#include <memory>

#include "lib/core/kystreams.h"
#include "lib/core/kytypes.h"

// The file that an entry is written to: Target + ".~tvz" beside the target, put in the
// target's place when whole and checked, removed otherwise.
class TZipTempFile : public TStream {
 public:
  // EFCreateError when the file cannot be made.
  explicit TZipTempFile(const String& target);
  ~TZipTempFile() override;  // removes the file unless it was committed
  TZipTempFile(const TZipTempFile&) = delete;
  TZipTempFile& operator=(const TZipTempFile&) = delete;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  // Closes the file and puts it in the target's place, replacing an existing target. False,
  // with the platform's error, when that fails; the file then stays for another try.
  bool Commit();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
};
