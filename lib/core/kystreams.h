// Streams: abstract stream, memory stream, read-only stream over foreign bytes,
// file stream with share modes, and resource streams.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lib/core/kytypes.h"
#include "lib/core/resstring.h"

enum class TSeekOrigin { Begin, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to Count bytes; returns how many were read (0 at the end).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes Count bytes; returns how many were written.
  virtual size_t Write(const void* buffer, size_t count) = 0;
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size();
  virtual void SetSize(std::int64_t size);

  std::int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(std::int64_t p) { Seek(p, TSeekOrigin::Begin); }
  // Read or write exactly Count bytes, EReadError / EWriteError otherwise.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Copies Count bytes from Source (all of it from its start when Count is 0).
  std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// A growable block of memory.
class TMemoryStream : public TStream {
 public:
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(Data_.size()); }
  void SetSize(std::int64_t size) override;

  const Byte* Memory() const { return reinterpret_cast<const Byte*>(Data_.data()); }
  const RawBytes& Bytes() const { return Data_; }
  void Clear();
  void LoadFromStream(TStream& s);
  void SaveToStream(TStream& s);
  void LoadFromFile(const String& fileName);
  void SaveToFile(const String& fileName);

 private:
  RawBytes Data_;
  size_t Pos_ = 0;
};

// Reads bytes that live elsewhere (a resource, a mapped block); writing is refused.
class TReadOnlyMemoryStream : public TStream {
 public:
  TReadOnlyMemoryStream(const void* data, size_t size) : Data_(static_cast<const Byte*>(data)), Size_(size) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(Size_); }
  const Byte* Memory() const { return Data_; }

 private:
  const Byte* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

// File modes: one access mode, optionally one share mode.
enum : std::uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFF00,  // create or truncate, read and write
};

class TFileStream : public TStream {
 public:
  TFileStream(const String& fileName, std::uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  const String& FileName() const { return FileName_; }
  // Flushes written data to the disk.
  void Flush();

 private:
  String FileName_;
  std::intptr_t Handle_;
};

// Read-only view of Size bytes of a file from Offset: a part of a bigger file read as a
// whole (a payload archive inside the setup program).
class TFileRangeStream : public TStream {
 public:
  // EFOpenError when the file cannot be opened for reading.
  TFileRangeStream(const String& fileName, std::uint64_t offset, std::uint64_t size);
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(Size_); }

 private:
  TFileStream File_;
  std::uint64_t Offset_, Size_, Pos_ = 0;
  std::uint64_t FilePos_ = UINT64_MAX;  // where File_ stands, relative to Offset
};

// The resource Name of type Type in Module (0: the executable), opened in place.
// EResNotFound when there is none. Natively, resources come from RegisterNativeResource.
std::unique_ptr<TReadOnlyMemoryStream> OpenResourceStream(TResourceHandle module, const String& name,
                                                          const String& type);
bool HasResource(TResourceHandle module, const String& name, const String& type);
#ifndef _WIN32
// Native stand-in for a module's resources, for portable tests.
void RegisterNativeResource(const String& name, const String& type, RawBytes data);
void ClearNativeResources();
// Names of the registered resources of Type, upper-cased and ascending as Windows lists them.
std::vector<String> NativeResourceNames(const String& type);
#endif
