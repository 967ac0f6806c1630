// File streams and file helpers on Win32.
#include "lib/core/win/kywin.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

TFileStream::TFileStream(const String& fileName, std::uint16_t mode) : FileName_(fileName), Handle_(-1) {
  DWORD access, share, disposition;
  if (mode == fmCreate || (mode & 0xFF00) == fmCreate) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    static const DWORD kAccess[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    access = kAccess[(mode & 3) < 3 ? (mode & 3) : 0];
    disposition = OPEN_EXISTING;
  }
  switch (mode & 0xF0) {
    case fmShareExclusive: share = 0; break;
    case fmShareDenyWrite: share = FILE_SHARE_READ; break;
    case fmShareDenyRead: share = FILE_SHARE_WRITE; break;
    case fmShareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = FILE_SHARE_READ;  // readers may share, writers may not
  }
  HANDLE h = CreateFileW(W(fileName), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (disposition == CREATE_ALWAYS) throw EFCreateError(Format(SFCreateError, {fileName, SysErrorMessage(e)}));
    throw EFOpenError(Format(SFOpenError, {fileName, SysErrorMessage(e)}));
  }
  Handle_ = reinterpret_cast<std::intptr_t>(h);
}

TFileStream::~TFileStream() {
  if (Handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(Handle_));
}

size_t ReadFileHandle(HANDLE file, void* buffer, size_t count) {
  size_t total = 0;
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(file, p, chunk, &got, nullptr)) {
      throw EReadError(LoadResString(SReadError) + u": " + SysErrorMessage(GetLastError()));
    }
    if (got == 0) break;
    total += got;
    p += got;
    count -= got;
  }
  return total;
}

size_t WriteFileHandle(HANDLE file, const void* buffer, size_t count) {
  size_t total = 0;
  const auto* p = static_cast<const Byte*>(buffer);
  while (count > 0) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(file, p, chunk, &put, nullptr)) {
      throw EWriteError(LoadResString(SWriteError) + u": " + SysErrorMessage(GetLastError()));
    }
    if (put == 0) break;
    total += put;
    p += put;
    count -= put;
  }
  return total;
}

std::int64_t SeekFileHandle(HANDLE file, std::int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = offset;
  DWORD how = origin == TSeekOrigin::Begin ? FILE_BEGIN : origin == TSeekOrigin::Current ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(file, d, &r, how)) RaiseLastOSError();
  return r.QuadPart;
}

size_t TFileStream::Read(void* buffer, size_t count) {
  return ReadFileHandle(reinterpret_cast<HANDLE>(Handle_), buffer, count);
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  return WriteFileHandle(reinterpret_cast<HANDLE>(Handle_), buffer, count);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  return SeekFileHandle(reinterpret_cast<HANDLE>(Handle_), offset, origin);
}

void TFileStream::SetSize(std::int64_t size) {
  std::int64_t pos = Position();
  Seek(size, TSeekOrigin::Begin);
  if (!SetEndOfFile(reinterpret_cast<HANDLE>(Handle_))) RaiseLastOSError();
  if (pos < size) Seek(pos, TSeekOrigin::Begin);
}

void TFileStream::Flush() { FlushFileBuffers(reinterpret_cast<HANDLE>(Handle_)); }

bool FileExists(const String& f) {
  DWORD a = GetFileAttributesW(W(f));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const String& d) {
  DWORD a = GetFileAttributesW(W(d));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const String& d) { return CreateDirectoryW(W(d), nullptr) != 0; }

bool ForceDirectories(const String& dir) {
  String d = ExcludeTrailingBackslash(dir);
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  String parent = ExtractFileDir(d);
  if (parent.size() < d.size() && !parent.empty() && !(parent.size() == 2 && parent[1] == u':')) {
    if (!ForceDirectories(parent)) return false;
  }
  return CreateDir(d) || DirectoryExists(d);
}

bool RemoveDir(const String& d) { return RemoveDirectoryW(W(d)) != 0; }
bool RemoveFile(const String& f) { return DeleteFileW(W(f)) != 0; }

bool CopyFileTo(const String& s, const String& t, bool createFolder) {
  if (createFolder) ForceDirectories(ExtractFileDir(t));
  return CopyFileW(W(s), W(t), FALSE) != 0;
}

bool RenameFile(const String& o, const String& n) { return MoveFileW(W(o), W(n)) != 0; }

bool MoveFileOver(const String& s, const String& t) {
  return MoveFileExW(W(s), W(t), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool IsFileReadOnly(const String& f) {
  DWORD a = GetFileAttributesW(W(f));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool SetFileReadOnly(const String& f, bool ro) {
  DWORD a = GetFileAttributesW(W(f));
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a = ro ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return SetFileAttributesW(W(f), a) != 0;
}

std::int64_t GetFileSize(const String& f) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(W(f), GetFileExInfoStandard, &d) || (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return -1;
  }
  return (static_cast<std::int64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

String GetTempDirectory() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  return IncludeTrailingBackslash(FromW(buf, n));
}

String CreateTempFile(const String& prefix, const String& dir) {
  wchar_t buf[MAX_PATH + 2];
  String d = dir.empty() ? GetTempDirectory() : dir;
  if (GetTempFileNameW(W(d), W(prefix), 0, buf) == 0) RaiseLastOSError();
  return FromW(buf);
}

bool WriteAndDeleteTempFile(const String& folder, const String& prefix, const void* data, size_t size) {
  // Named as GetTempFileName names them, and deleted by the closing of the handle: one open
  // instead of GetTempFileName's, a second one to write and a third to delete.
  String base = IncludeTrailingBackslash(folder) + prefix;
  const UINT start = GetTickCount() & 0xFFFF;
  for (UINT i = 0; i < 0x10000; ++i) {
    UINT unique = (start + i) & 0xFFFF;
    if (!unique) continue;
    wchar_t hex[8];
    swprintf(hex, 8, L"%X", unique);
    TFileHandle h(CreateFileW(W(base + FromW(hex) + u".tmp"), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!h) {
      if (GetLastError() == ERROR_FILE_EXISTS) continue;
      return false;
    }
    DWORD written = 0;
    return WriteFile(h.Get(), data, static_cast<DWORD>(size), &written, nullptr) && written == size;
  }
  return false;
}

String GetCurrentDir() {
  wchar_t buf[MAX_PATH + 2];
  DWORD n = GetCurrentDirectoryW(MAX_PATH + 1, buf);
  return FromW(buf, n);
}

std::vector<String> ListDirectory(const String& dir, bool wantDirs) {
  std::vector<String> out;
  WIN32_FIND_DATAW fd;
  TFindHandle h(FindFirstFileW(W(IncludeTrailingBackslash(dir) + u"*"), &fd));
  if (!h) return out;
  do {
    String name = FromW(fd.cFileName);
    if (name == u"." || name == u"..") continue;
    bool isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDir == wantDirs) out.push_back(name);
  } while (FindNextFileW(h.Get(), &fd));
  return out;
}

bool SetCurrentDir(const String& dir) { return SetCurrentDirectoryW(W(dir)) != 0; }

std::vector<String> ListOrdinaryFiles(const String& dir, const String& mask) {
  std::vector<String> out;
  WIN32_FIND_DATAW fd;
  TFindHandle h(FindFirstFileW(W(IncludeTrailingBackslash(dir) + mask), &fd));
  if (!h) return out;
  constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if (fd.dwFileAttributes & kNotOrdinary) continue;
    out.push_back(FromW(fd.cFileName));
  } while (FindNextFileW(h.Get(), &fd));
  return out;
}

std::int64_t GetDiskFreeBytes(const String& dir) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(W(IncludeTrailingBackslash(dir)), &available, nullptr, nullptr)) return 0;
  return static_cast<std::int64_t>(available.QuadPart);
}

Char PathDelimiter() { return u'\\'; }

namespace {
HMODULE ModuleOf(TResourceHandle module) {
  return module ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
}
}  // namespace

bool HasResource(TResourceHandle module, const String& name, const String& type) {
  return FindResourceW(ModuleOf(module), W(name), W(type)) != nullptr;
}

std::unique_ptr<TReadOnlyMemoryStream> OpenResourceStream(TResourceHandle module, const String& name,
                                                          const String& type) {
  HMODULE m = ModuleOf(module);
  HRSRC r = FindResourceW(m, W(name), W(type));
  HGLOBAL g = r ? LoadResource(m, r) : nullptr;
  const void* p = g ? LockResource(g) : nullptr;
  if (!p) throw EResNotFound(Format(SResNotFound, {name}));
  return std::make_unique<TReadOnlyMemoryStream>(p, SizeofResource(m, r));
}
