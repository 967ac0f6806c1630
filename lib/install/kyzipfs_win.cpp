#include <windows.h>

#include <cstring>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyzipfs.h"
#include "resstrings.h"

namespace {
// Renames Source to Target, replacing an existing Target in one step.
bool ReplaceByName(const String& source, const String& target) {
  return MoveFileExW(W(source), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
}

// Target as the kernel names it (\??\C:\..., \??\UNC\server\...): a rename through a handle
// takes no other form on every Windows.
String NtPath(const String& path) {
  std::vector<wchar_t> full(MAX_PATH);
  for (;;) {
    DWORD n = GetFullPathNameW(W(path), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) return String();
    if (n < full.size()) break;
    full.resize(n + 1);
  }
  String p = FromW(full.data());
  if (p.rfind(u"\\\\?\\", 0) == 0) return u"\\??\\" + p.substr(4);
  if (p.rfind(u"\\\\", 0) == 0) return u"\\??\\UNC\\" + p.substr(2);
  return u"\\??\\" + p;
}
}  // namespace

struct TZipTempFile::TImpl {
  String Target, Temp;
  TFileHandle File;
  bool Committed = false;

  // Renamed through the open handle: one request, where a rename by names looks both names
  // up again (under Wine each look-up is a round trip to the server).
  bool RenameOpen() {
    String nt = NtPath(Target);
    if (nt.empty()) return false;
    std::vector<Byte> buffer(sizeof(FILE_RENAME_INFO) + nt.size() * sizeof(Char));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(nt.size() * sizeof(Char));
    std::memcpy(info->FileName, nt.c_str(), nt.size() * sizeof(Char));
    return SetFileInformationByHandle(File.Get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != 0;
  }
};

TZipTempFile::TZipTempFile(const String& target) : Impl_(std::make_unique<TImpl>()) {
  Impl_->Target = target;
  Impl_->Temp = target + u".~tvz";
  Impl_->File.Reset(CreateFileW(W(Impl_->Temp), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!Impl_->File) throw EFCreateError(Format(SFCreateError, {Impl_->Temp, SysErrorMessage(GetLastError())}));
}

TZipTempFile::~TZipTempFile() {
  Impl_->File.Reset();
  if (!Impl_->Committed) DeleteFileW(W(Impl_->Temp));
}

size_t TZipTempFile::Read(void* buffer, size_t count) { return ReadFileHandle(Impl_->File.Get(), buffer, count); }

size_t TZipTempFile::Write(const void* buffer, size_t count) {
  return WriteFileHandle(Impl_->File.Get(), buffer, count);
}

std::int64_t TZipTempFile::Seek(std::int64_t offset, TSeekOrigin origin) {
  return SeekFileHandle(Impl_->File.Get(), offset, origin);
}

bool TZipTempFile::Commit() {
  if (Impl_->File && Impl_->RenameOpen()) {
    Impl_->File.Reset();
    Impl_->Committed = true;
    return true;
  }
  // Where the handle cannot do it (a read-only target, an older file system): by names.
  Impl_->File.Reset();
  Impl_->Committed = ReplaceByName(Impl_->Temp, Impl_->Target);
  return Impl_->Committed;
}
