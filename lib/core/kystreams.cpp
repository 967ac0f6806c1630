#include "lib/core/kystreams.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "resstrings.h"

std::int64_t TStream::Size() {
  std::int64_t pos = Seek(0, TSeekOrigin::Current);
  std::int64_t end = Seek(0, TSeekOrigin::End);
  Seek(pos, TSeekOrigin::Begin);
  return end;
}

void TStream::SetSize(std::int64_t) { throw EStreamError(LoadResString(SSeekNotImplemented)); }

void TStream::ReadBuffer(void* buffer, size_t count) {
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    size_t n = Read(p, count);
    if (n == 0) throw EReadError(LoadResString(SReadError));
    p += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  const auto* p = static_cast<const Byte*>(buffer);
  while (count > 0) {
    size_t n = Write(p, count);
    if (n == 0) throw EWriteError(LoadResString(SWriteError));
    p += n;
    count -= n;
  }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<Byte> buf(static_cast<size_t>(std::min<std::int64_t>(count, 1 << 20)) + 1);
  std::int64_t left = count;
  while (left > 0) {
    size_t n = static_cast<size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(buf.size())));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= static_cast<std::int64_t>(n);
  }
  return count;
}

namespace {
std::int64_t NewPosition(std::int64_t pos, std::int64_t size, std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? pos : size;
  std::int64_t p = base + offset;
  return p < 0 ? 0 : p;
}
}  // namespace

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (Pos_ >= Data_.size()) return 0;
  size_t n = std::min(count, Data_.size() - Pos_);
  std::memcpy(buffer, Data_.data() + Pos_, n);
  Pos_ += n;
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (Pos_ + count > Data_.size()) {
    if (Pos_ + count > Data_.capacity()) Data_.reserve(std::max(Pos_ + count, Data_.capacity() * 2));
    Data_.resize(Pos_ + count);
  }
  std::memcpy(Data_.data() + Pos_, buffer, count);
  Pos_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  Pos_ = static_cast<size_t>(NewPosition(static_cast<std::int64_t>(Pos_), Size(), offset, origin));
  return static_cast<std::int64_t>(Pos_);
}

void TMemoryStream::SetSize(std::int64_t size) {
  Data_.resize(static_cast<size_t>(size < 0 ? 0 : size));
  if (Pos_ > Data_.size()) Pos_ = Data_.size();
}

void TMemoryStream::Clear() {
  Data_.clear();
  Pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& s) {
  s.SetPosition(0);
  std::int64_t n = s.Size();
  Data_.resize(static_cast<size_t>(n));
  if (n > 0) s.ReadBuffer(Data_.data(), static_cast<size_t>(n));
  Pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream& s) {
  if (!Data_.empty()) s.WriteBuffer(Data_.data(), Data_.size());
}

void TMemoryStream::LoadFromFile(const String& fileName) {
  TFileStream f(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const String& fileName) {
  TFileStream f(fileName, fmCreate);
  SaveToStream(f);
}

TFileRangeStream::TFileRangeStream(const String& fileName, std::uint64_t offset, std::uint64_t size)
    : File_(fileName, fmOpenRead | fmShareDenyWrite), Offset_(offset), Size_(size) {}

size_t TFileRangeStream::Read(void* buffer, size_t count) {
  if (Pos_ >= Size_) return 0;
  size_t n = static_cast<size_t>(std::min<std::uint64_t>(count, Size_ - Pos_));
  // Sequential reads need no seek.
  if (FilePos_ != Pos_) File_.SetPosition(static_cast<std::int64_t>(Offset_ + Pos_));
  size_t got = File_.Read(buffer, n);
  Pos_ += got;
  FilePos_ = Pos_;
  return got;
}

size_t TFileRangeStream::Write(const void*, size_t) { throw EStreamError(LoadResString(SReadOnlyStream)); }

std::int64_t TFileRangeStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  Pos_ = static_cast<std::uint64_t>(NewPosition(static_cast<std::int64_t>(Pos_), Size(), offset, origin));
  return static_cast<std::int64_t>(Pos_);
}

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
  if (Pos_ >= Size_) return 0;
  size_t n = std::min(count, Size_ - Pos_);
  std::memcpy(buffer, Data_ + Pos_, n);
  Pos_ += n;
  return n;
}

size_t TReadOnlyMemoryStream::Write(const void*, size_t) { throw EStreamError(LoadResString(SReadOnlyStream)); }

std::int64_t TReadOnlyMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  Pos_ = static_cast<size_t>(NewPosition(static_cast<std::int64_t>(Pos_), Size(), offset, origin));
  return static_cast<std::int64_t>(Pos_);
}
