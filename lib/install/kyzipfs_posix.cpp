#include <cstdio>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzipfs.h"

namespace {
// Renames Source to Target, replacing an existing Target in one step.
bool ReplaceByName(const String& source, const String& target) {
  return ::rename(StringToUtf8(source).c_str(), StringToUtf8(target).c_str()) == 0;
}
}  // namespace

struct TZipTempFile::TImpl {
  String Target, Temp;
  std::unique_ptr<TFileStream> File;
  bool Committed = false;
};

TZipTempFile::TZipTempFile(const String& target) : Impl_(std::make_unique<TImpl>()) {
  Impl_->Target = target;
  Impl_->Temp = target + u".~tvz";
  Impl_->File = std::make_unique<TFileStream>(Impl_->Temp, fmCreate);
}

TZipTempFile::~TZipTempFile() {
  Impl_->File.reset();
  if (!Impl_->Committed) RemoveFile(Impl_->Temp);
}

size_t TZipTempFile::Read(void* buffer, size_t count) { return Impl_->File->Read(buffer, count); }
size_t TZipTempFile::Write(const void* buffer, size_t count) { return Impl_->File->Write(buffer, count); }
std::int64_t TZipTempFile::Seek(std::int64_t offset, TSeekOrigin origin) { return Impl_->File->Seek(offset, origin); }

bool TZipTempFile::Commit() {
  Impl_->File.reset();
  Impl_->Committed = ReplaceByName(Impl_->Temp, Impl_->Target);
  return Impl_->Committed;
}
