// File streams and file helpers on POSIX, for the native build. Share modes have
// no equivalent and are ignored.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {
std::string Native(const String& s) { return StringToUtf8(s); }
}  // namespace

TFileStream::TFileStream(const String& fileName, std::uint16_t mode) : FileName_(fileName), Handle_(-1) {
  int flags;
  bool create = (mode & 0xFF00) == fmCreate;
  if (create) {
    flags = O_RDWR | O_CREAT | O_TRUNC;
  } else {
    static const int kAccess[3] = {O_RDONLY, O_WRONLY, O_RDWR};
    flags = kAccess[(mode & 3) < 3 ? (mode & 3) : 0];
  }
  int fd = ::open(Native(fileName).c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    int e = errno;
    if (create) throw EFCreateError(Format(SFCreateError, {fileName, SysErrorMessage(e)}));
    throw EFOpenError(Format(SFOpenError, {fileName, SysErrorMessage(e)}));
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    throw EFOpenError(Format(SFOpenError, {fileName, SysErrorMessage(EISDIR)}));
  }
  Handle_ = fd;
}

TFileStream::~TFileStream() {
  if (Handle_ >= 0) ::close(static_cast<int>(Handle_));
}

size_t TFileStream::Read(void* buffer, size_t count) {
  size_t total = 0;
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    ssize_t n = ::read(static_cast<int>(Handle_), p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EReadError(LoadResString(SReadError) + u": " + SysErrorMessage(errno));
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
    p += n;
    count -= static_cast<size_t>(n);
  }
  return total;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t total = 0;
  const auto* p = static_cast<const Byte*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(static_cast<int>(Handle_), p, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EWriteError(LoadResString(SWriteError) + u": " + SysErrorMessage(errno));
    }
    if (n == 0) break;
    total += static_cast<size_t>(n);
    p += n;
    count -= static_cast<size_t>(n);
  }
  return total;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int how = origin == TSeekOrigin::Begin ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(Handle_), offset, how);
  if (r < 0) RaiseLastOSError();
  return r;
}

void TFileStream::SetSize(std::int64_t size) {
  if (::ftruncate(static_cast<int>(Handle_), size) != 0) RaiseLastOSError();
  if (Position() > size) Seek(size, TSeekOrigin::Begin);
}

void TFileStream::Flush() { ::fsync(static_cast<int>(Handle_)); }

bool FileExists(const String& f) {
  struct stat st;
  return ::stat(Native(f).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& d) {
  struct stat st;
  return ::stat(Native(d).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const String& d) { return ::mkdir(Native(d).c_str(), 0755) == 0; }

bool ForceDirectories(const String& dir) {
  String d = ExcludeTrailingBackslash(dir);
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  String parent = ExtractFileDir(d);
  if (!parent.empty() && parent.size() < d.size() && !ForceDirectories(parent)) return false;
  return CreateDir(d) || DirectoryExists(d);
}

bool RemoveDir(const String& d) { return ::rmdir(Native(d).c_str()) == 0; }
bool RemoveFile(const String& f) { return ::unlink(Native(f).c_str()) == 0; }

bool CopyFileTo(const String& s, const String& t, bool createFolder) {
  if (createFolder) ForceDirectories(ExtractFileDir(t));
  try {
    TFileStream in(s, fmOpenRead);
    // Like Windows, a read-only target is not replaced.
    if (IsFileReadOnly(t)) return false;
    TFileStream out(t, fmCreate);
    out.CopyFrom(in, 0);
    return true;
  } catch (const Exception&) {
    return false;
  }
}

bool RenameFile(const String& o, const String& n) {
  if (FileExists(n) || DirectoryExists(n)) return false;  // as MoveFileW
  return ::rename(Native(o).c_str(), Native(n).c_str()) == 0;
}

bool MoveFileOver(const String& s, const String& t) {
  std::string source = Native(s), target = Native(t);
  struct stat st;
  mode_t mode;
  if (::stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return false;
    mode = st.st_mode & 07777;
  } else {
    // A temporary file is private (0600); the new file gets what a plain create would.
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::chmod(source.c_str(), mode);
  return ::rename(source.c_str(), target.c_str()) == 0;
}

bool IsFileReadOnly(const String& f) {
  struct stat st;
  return ::stat(Native(f).c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

bool SetFileReadOnly(const String& f, bool ro) {
  struct stat st;
  if (::stat(Native(f).c_str(), &st) != 0) return false;
  mode_t m = ro ? (st.st_mode & ~0222) : (st.st_mode | 0200);
  return ::chmod(Native(f).c_str(), m) == 0;
}

std::int64_t GetFileSize(const String& f) {
  struct stat st;
  if (::stat(Native(f).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return st.st_size;
}

String GetTempDirectory() {
  const char* t = std::getenv("TMPDIR");
  String d = Utf8ToString(t && *t ? t : "/tmp");
  if (d.back() != u'/') d += u'/';
  return d;
}

String CreateTempFile(const String& prefix, const String& dir) {
  String d = dir.empty() ? GetTempDirectory() : dir;
  if (!d.empty() && !IsPathDelimiter(d.back())) d += u'/';
  std::string tmpl = Native(d + prefix) + "XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) RaiseLastOSError();
  ::close(fd);
  return Utf8ToString(tmpl);
}

bool WriteAndDeleteTempFile(const String& folder, const String& prefix, const void* data, size_t size) {
  String d = folder;
  if (!d.empty() && !IsPathDelimiter(d.back())) d += u'/';
  std::string tmpl = Native(d + prefix) + "XXXXXX";
  int fd = ::mkstemp(tmpl.data());
  if (fd < 0) return false;
  bool ok = ::write(fd, data, size) == static_cast<ssize_t>(size);
  ok = ::unlink(tmpl.c_str()) == 0 && ok;
  ::close(fd);
  return ok;
}

String GetCurrentDir() {
  char buf[4096];
  return ::getcwd(buf, sizeof buf) ? Utf8ToString(buf) : String();
}

std::vector<String> ListDirectory(const String& dir, bool wantDirs) {
  std::vector<String> out;
  DIR* d = ::opendir(Native(dir).c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    String full = dir + u"/" + Utf8ToString(name);
    if (DirectoryExists(full) == wantDirs) out.push_back(Utf8ToString(name));
  }
  ::closedir(d);
  return out;
}

bool SetCurrentDir(const String& dir) { return ::chdir(Native(dir).c_str()) == 0; }

// Dot files stand for hidden ones.
std::vector<String> ListOrdinaryFiles(const String& dir, const String& mask) {
  std::vector<String> out;
  DIR* d = ::opendir(Native(dir).c_str());
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    String name = Utf8ToString(e->d_name);
    if (name.empty() || name[0] == u'.') continue;
    struct stat st;
    if (::stat(Native(dir + u"/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (MatchesMask(name, mask)) out.push_back(name);
  }
  ::closedir(d);
  return out;
}

std::int64_t GetDiskFreeBytes(const String& dir) {
  struct statvfs st;
  if (::statvfs(Native(dir).c_str(), &st) != 0) return 0;
  return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

Char PathDelimiter() { return u'/'; }

namespace {
std::map<std::pair<String, String>, RawBytes>& NativeResources() {
  static std::map<std::pair<String, String>, RawBytes> m;
  return m;
}
}  // namespace

void RegisterNativeResource(const String& name, const String& type, RawBytes data) {
  NativeResources()[{UpperCase(name), UpperCase(type)}] = std::move(data);
}

void ClearNativeResources() { NativeResources().clear(); }

std::vector<String> NativeResourceNames(const String& type) {
  std::vector<String> names;
  String t = UpperCase(type);
  for (const auto& [key, data] : NativeResources())
    if (key.second == t) names.push_back(key.first);
  return names;
}

bool HasResource(TResourceHandle, const String& name, const String& type) {
  return NativeResources().count({UpperCase(name), UpperCase(type)}) != 0;
}

std::unique_ptr<TReadOnlyMemoryStream> OpenResourceStream(TResourceHandle, const String& name, const String& type) {
  auto it = NativeResources().find({UpperCase(name), UpperCase(type)});
  if (it == NativeResources().end()) throw EResNotFound(Format(SResNotFound, {name}));
  return std::make_unique<TReadOnlyMemoryStream>(it->second.data(), it->second.size());
}
