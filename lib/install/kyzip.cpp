#include "lib/install/kyzip.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "lib/core/kydatetime.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzipcrypto.h"
#include "lib/install/kyzipfs.h"
#include "resstrings.h"

namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kEnd64Sig = 0x06064b50;
constexpr std::uint32_t kLocator64Sig = 0x07064b50;
constexpr size_t kEndSize = 22;
constexpr size_t kLocator64Size = 20;
constexpr size_t kEnd64Size = 56;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kChunk = 256 * 1024;

std::uint16_t Get16(const Byte* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t Get32(const Byte* p) { return Get16(p) | static_cast<std::uint32_t>(Get16(p + 2)) << 16; }
std::uint64_t Get64(const Byte* p) { return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32; }

const Char kCp437High[] =
    u"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
    u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(sizeof(kCp437High) / sizeof(Char) == 129);

[[noreturn]] void Fail(const TResString& res, const String& entry) {
  throw EKyZipException(Format(res, {entry}), entry);
}

[[noreturn]] void FailArchive(const TResString& res) { throw EKyZipException(LoadResString(res)); }

// Strict UTF-8: no overlong forms, surrogates or values beyond U+10FFFF.
bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    Byte b = static_cast<Byte>(s[i]);
    size_t n = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : 9;
    if (n == 9 || i + n >= s.size() + (n == 0)) return false;
    std::uint32_t cp = n == 0 ? b : b & (0x3F >> n);
    for (size_t k = 1; k <= n; ++k) {
      Byte c = static_cast<Byte>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    static const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

bool IsDeviceName(StringView part) {
  String base(part.substr(0, part.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  base = UpperCase(base);
  static const Char* const names[] = {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
  for (const Char* n : names)
    if (base == n) return true;
  return base.size() == 4 && (base.starts_with(u"COM") || base.starts_with(u"LPT")) && base[3] >= u'1' &&
         base[3] <= u'9';
}

// Traditional PKWARE stream cipher.
class TTraditionalCipher {
 public:
  explicit TTraditionalCipher(const RawBytes& password) : Table_(get_crc_table()) {
    for (char c : password) Update(static_cast<Byte>(c));
  }
  void Decrypt(Byte* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      std::uint32_t t = (Keys_[2] | 2) & 0xFFFF;
      Byte c = static_cast<Byte>(p[i] ^ ((t * (t ^ 1)) >> 8));
      Update(c);
      p[i] = c;
    }
  }

 private:
  std::uint32_t Crc(std::uint32_t crc, Byte b) const { return Table_[(crc ^ b) & 0xFF] ^ (crc >> 8); }
  void Update(Byte c) {
    Keys_[0] = Crc(Keys_[0], c);
    Keys_[1] = (Keys_[1] + (Keys_[0] & 0xFF)) * 134775813 + 1;
    Keys_[2] = Crc(Keys_[2], static_cast<Byte>(Keys_[1] >> 24));
  }
  const z_crc_t* Table_;
  std::uint32_t Keys_[3] = {0x12345678, 0x23456789, 0x34567890};
};

// AES in counter mode with the little-endian counter that starts at 1.
class TAesCtr {
 public:
  explicit TAesCtr(const RawBytes& key) : Aes_(key) {}
  void Decrypt(Byte* p, size_t n) {
    for (size_t i = 0; i < n;) {
      if (Pos_ == sizeof Stream_) Refill();
      size_t take = std::min(n - i, sizeof Stream_ - Pos_);
      for (size_t k = 0; k < take; ++k) p[i + k] ^= Stream_[Pos_ + k];
      Pos_ += take;
      i += take;
    }
  }

 private:
  static constexpr size_t kBlocks = 256;
  void Refill() {
    for (size_t b = 0; b < kBlocks; ++b) {
      for (int k = 0; k < 16 && ++Counter_[k] == 0; ++k) {
      }
      std::memcpy(Counters_ + b * 16, Counter_, 16);
    }
    Aes_.EncryptBlocks(Counters_, Stream_, kBlocks);
    Pos_ = 0;
  }
  TZipAes Aes_;
  Byte Counter_[16] = {};
  Byte Counters_[kBlocks * 16];
  Byte Stream_[kBlocks * 16];
  size_t Pos_ = sizeof Stream_;
};

struct TAesKeys {
  RawBytes Encryption, Authentication, Verifier;
};

TAesKeys DeriveAesKeys(const RawBytes& password, const RawBytes& salt, int strength) {
  size_t keyLen = 8 + 8 * static_cast<size_t>(strength);
  RawBytes k = ZipPbkdf2Sha1(password, salt, 1000, 2 * keyLen + 2);
  return {k.substr(0, keyLen), k.substr(keyLen, keyLen), k.substr(2 * keyLen, 2)};
}

enum class TDecode { Ok, BadData, Truncated, CrcMismatch, Stopped };

// ExtractAll reports the same percentage again after this time: often enough to keep the
// window alive and to see a stop request within a big entry, seldom enough that a payload
// of thousands of small files does not spend its time in the handler.
constexpr std::chrono::milliseconds kReportInterval{10};

}  // namespace

String Cp437ToString(std::string_view bytes) {
  String out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    Byte b = static_cast<Byte>(c);
    out += b < 0x80 ? static_cast<Char>(b) : kCp437High[b - 0x80];
  }
  return out;
}

String ZipEntryRelativePath(StringView entryName, Char delimiter) {
  String name(entryName);
  if (name.empty()) Fail(SZipInvalidName, name);
  if (IsPathDelimiter(name[0]) || (name.size() >= 2 && name[1] == u':')) Fail(SZipUnsafeName, name);
  String out;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !IsPathDelimiter(name[end])) ++end;
    StringView part = StringView(name).substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == u".") continue;
    // Windows drops trailing dots and spaces, so "..." or ".. " could mean "..".
    if (part.find_first_not_of(u". ") == StringView::npos) Fail(SZipUnsafeName, name);
    for (Char c : part)
      if (c < 0x20 || c == u':') Fail(SZipInvalidName, name);
    if (IsDeviceName(part)) Fail(SZipInvalidName, name);
    if (!out.empty()) out += delimiter;
    out += part;
  }
  // "./" stands for the destination itself; a file needs a name.
  if (out.empty() && !IsPathDelimiter(name.back())) Fail(SZipInvalidName, name);
  return out;
}

TDateTime TKyZipEntry::DateTime() const {
  TDateTime d = 0, t = 0;
  if (!TryEncodeDate(1980 + (DosDate >> 9), (DosDate >> 5) & 15, DosDate & 31, d)) return 0;
  if (!TryEncodeTime(DosTime >> 11, (DosTime >> 5) & 63, (DosTime & 31) * 2, 0, t)) return 0;
  return d + t;
}

struct TKyZipReader::TImpl {
  TStream* Stream = nullptr;
  std::unique_ptr<TFileStream> OwnedFile;
  const Byte* Memory = nullptr;  // the archive's bytes when the stream holds them in memory
  std::uint64_t Size = 0;
  std::vector<Byte> Buffer;      // compressed input
  std::vector<Byte> Output;      // inflated output
  // During ExtractAll: told of every piece of an entry decoded or checked, Written bytes of
  // it gone to the target; false stops the entry.
  std::function<bool(std::uint64_t written)> OnChunk;

  bool ReadAt(std::uint64_t offset, void* buf, size_t n) {
    if (offset > Size || n > Size - offset) return false;
    if (n == 0) return true;  // Buf may be the null data of an empty buffer
    if (Memory) {
      std::memcpy(buf, Memory + offset, n);
      return true;
    }
    Stream->SetPosition(static_cast<std::int64_t>(offset));
    return Stream->Read(buf, n) == n;
  }

  // Decodes Length bytes at Offset (after any encryption header) of Entry into Target
  // (nothing is written when Target is null), decrypting with Cipher when given.
  template <class TCipher>
  TDecode Decode(const TKyZipEntry& e, std::uint64_t offset, std::uint64_t length, TCipher* cipher,
                 TStream* target, bool checkCrc) {
    std::uint32_t crc = 0;
    std::uint64_t written = 0;
    bool overflow = false, stopped = false;
    auto emit = [&](const Byte* p, size_t n) {
      if (n > e.UncompressedSize - written) {
        overflow = true;
        return;
      }
      crc = static_cast<std::uint32_t>(crc32_z(crc, p, n));
      written += n;
      if (target) target->WriteBuffer(p, n);
      if (OnChunk && !OnChunk(target ? n : 0)) stopped = true;
    };
    // Next piece of input: straight from memory unless it must be decrypted.
    std::uint64_t consumed = 0;
    auto next = [&](const Byte*& p, size_t& n) -> bool {
      n = static_cast<size_t>(std::min<std::uint64_t>(length - consumed, Memory && !cipher ? (1u << 30) : kChunk));
      if (n == 0) return false;
      if (Memory && !cipher) {
        p = Memory + offset + consumed;
      } else {
        if (Buffer.size() < kChunk) Buffer.resize(kChunk);
        if (!ReadAt(offset + consumed, Buffer.data(), n)) return false;
        if (cipher) cipher->Decrypt(Buffer.data(), n);
        p = Buffer.data();
      }
      consumed += n;
      return true;
    };
    if (e.Method == 0) {
      const Byte* p;
      size_t n;
      while (next(p, n)) {
        for (size_t i = 0; i < n && !overflow && !stopped; i += kChunk) emit(p + i, std::min(kChunk, n - i));
        if (overflow) return TDecode::BadData;
        if (stopped) return TDecode::Stopped;
      }
      if (consumed != length) return TDecode::Truncated;
    } else {
      z_stream z{};
      if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
      struct TEnd {
        z_stream* Z;
        ~TEnd() { inflateEnd(Z); }
      } end{&z};
      if (Output.size() < kChunk) Output.resize(kChunk);
      for (;;) {
        if (z.avail_in == 0) {
          const Byte* p;
          size_t n;
          if (!next(p, n)) return TDecode::Truncated;  // the input ended inside the stream
          z.next_in = const_cast<Byte*>(p);
          z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = Output.data();
        z.avail_out = static_cast<uInt>(kChunk);
        int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.avail_in == 0)) return TDecode::BadData;
        size_t produced = kChunk - z.avail_out;
        if (produced) emit(Output.data(), produced);
        if (overflow) return TDecode::BadData;
        if (stopped) return TDecode::Stopped;
        if (rc == Z_STREAM_END) break;
      }
    }
    if (written != e.UncompressedSize) return TDecode::BadData;
    if (checkCrc && crc != e.Crc32) return TDecode::CrcMismatch;
    return TDecode::Ok;
  }
};

TKyZipReader::TKyZipReader() : Impl_(std::make_unique<TImpl>()) {}
TKyZipReader::~TKyZipReader() = default;

void TKyZipReader::Close() {
  Entries_.clear();
  Impl_->Stream = nullptr;
  Impl_->Memory = nullptr;
  Impl_->Size = 0;
  Impl_->OwnedFile.reset();
  ArchiveName_.clear();
  Password.clear();
}

void TKyZipReader::OpenFile(const String& fileName) {
  Close();
  auto file = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite);
  Open(*file);
  Impl_->OwnedFile = std::move(file);
  ArchiveName_ = fileName;
}

void TKyZipReader::Open(TStream& stream) {
  Close();
  TImpl& m = *Impl_;
  m.Stream = &stream;
  std::int64_t size = stream.Size();
  m.Size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  if (auto* ro = dynamic_cast<TReadOnlyMemoryStream*>(&stream)) m.Memory = ro->Memory();
  else if (auto* ms = dynamic_cast<TMemoryStream*>(&stream)) m.Memory = ms->Memory();
  try {
    if (m.Size < kEndSize) FailArchive(SZipNoArchive);
    // The end record sits within the last 64 KiB + 22 bytes (its comment is at most 65535).
    size_t tailLen = static_cast<size_t>(std::min<std::uint64_t>(m.Size, kEndSize + 0xFFFF));
    std::uint64_t tailStart = m.Size - tailLen;
    std::vector<Byte> tail(tailLen);
    if (!m.ReadAt(tailStart, tail.data(), tailLen)) FailArchive(SZipNoArchive);
    // Prefer a record whose comment reaches exactly to the end; a signature inside a
    // comment would otherwise be taken for the record.
    std::int64_t found = -1, loose = -1;
    for (std::int64_t i = static_cast<std::int64_t>(tailLen - kEndSize); i >= 0; --i) {
      const Byte* p = tail.data() + i;
      if (Get32(p) != kEndSig) continue;
      size_t end = static_cast<size_t>(i) + kEndSize + Get16(p + 20);
      if (end == tailLen) {
        found = i;
        break;
      }
      if (end < tailLen && loose < 0) loose = i;
    }
    if (found < 0) found = loose;
    if (found < 0) FailArchive(SZipNoArchive);
    const Byte* eocd = tail.data() + found;
    std::uint64_t eocdPos = tailStart + static_cast<std::uint64_t>(found);
    std::uint32_t disk = Get16(eocd + 4), cdDisk = Get16(eocd + 6);
    std::uint64_t count = Get16(eocd + 10), cdSize = Get32(eocd + 12), cdOffset = Get32(eocd + 16);
    std::uint64_t cdEnd = eocdPos;
    bool zip64 = false;
    Byte loc[kLocator64Size];
    if (eocdPos >= kLocator64Size && m.ReadAt(eocdPos - kLocator64Size, loc, kLocator64Size) &&
        Get32(loc) == kLocator64Sig) {
      Byte rec[kEnd64Size];
      std::uint64_t pos = Get64(loc + 8);
      // With data in front of the archive the stored offset is too small; the record
      // normally sits right before the locator.
      std::uint64_t expected = eocdPos - kLocator64Size >= kEnd64Size ? eocdPos - kLocator64Size - kEnd64Size : 0;
      if (!(m.ReadAt(pos, rec, kEnd64Size) && Get32(rec) == kEnd64Sig)) {
        pos = expected;
        if (!(m.ReadAt(pos, rec, kEnd64Size) && Get32(rec) == kEnd64Sig)) FailArchive(SZipDamagedDirectory);
      }
      if (Get32(loc + 16) > 1) FailArchive(SZipMultiVolume);
      zip64 = true;
      disk = Get32(rec + 16);
      cdDisk = Get32(rec + 20);
      count = Get64(rec + 32);
      cdSize = Get64(rec + 40);
      cdOffset = Get64(rec + 48);
      cdEnd = pos;
    }
    if (disk != 0 || cdDisk != 0) FailArchive(SZipMultiVolume);
    if (cdSize > cdEnd) FailArchive(SZipDamagedDirectory);
    // Data in front of the archive (a stub) shifts every stored offset by the same amount.
    std::uint64_t cdStart = cdOffset;
    std::uint64_t shift = 0;
    Byte sig[4];
    bool atDeclared = cdOffset + cdSize <= cdEnd && (cdSize == 0 || (m.ReadAt(cdOffset, sig, 4) && Get32(sig) == kCentralSig));
    if (!atDeclared) {
      cdStart = cdEnd - cdSize;
      if (cdStart < cdOffset || !(cdSize == 0 || (m.ReadAt(cdStart, sig, 4) && Get32(sig) == kCentralSig)))
        FailArchive(SZipDamagedDirectory);
      shift = cdStart - cdOffset;
    }
    if (count > cdSize / kCentralSize) FailArchive(SZipDamagedDirectory);
    std::vector<Byte> cd(static_cast<size_t>(cdSize));
    if (!m.ReadAt(cdStart, cd.data(), cd.size())) FailArchive(SZipDamagedDirectory);
    Entries_.reserve(static_cast<size_t>(count));
    size_t p = 0;
    while (p + kCentralSize <= cd.size() && Get32(&cd[p]) == kCentralSig) {
      const Byte* h = &cd[p];
      size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
      if (p + kCentralSize + nameLen + extraLen + commentLen > cd.size()) FailArchive(SZipDamagedDirectory);
      TKyZipEntry e;
      e.VersionMadeBy = Get16(h + 4);
      e.Flags = Get16(h + 8);
      e.Method = Get16(h + 10);
      e.DosTime = Get16(h + 12);
      e.DosDate = Get16(h + 14);
      e.Crc32 = Get32(h + 16);
      e.CompressedSize = Get32(h + 20);
      e.UncompressedSize = Get32(h + 24);
      std::uint32_t startDisk = Get16(h + 34);
      e.ExternalAttributes = Get32(h + 38);
      e.LocalHeaderOffset = Get32(h + 42);
      e.RawName.assign(reinterpret_cast<const char*>(h + kCentralSize), nameLen);
      String unicodePath;
      bool aesExtra = false;
      const Byte* x = h + kCentralSize + nameLen;
      const Byte* xEnd = x + extraLen;
      while (xEnd - x >= 4) {
        std::uint16_t id = Get16(x), len = Get16(x + 2);
        const Byte* d = x + 4;
        if (len > xEnd - d) break;
        if (id == 0x0001) {
          const Byte* q = d;
          auto take64 = [&](std::uint64_t& v) {
            if (v != 0xFFFFFFFF) return;
            if (d + len - q < 8) FailArchive(SZipDamagedDirectory);
            v = Get64(q);
            q += 8;
          };
          take64(e.UncompressedSize);
          take64(e.CompressedSize);
          take64(e.LocalHeaderOffset);
          if (startDisk == 0xFFFF && d + len - q >= 4) startDisk = Get32(q);
        } else if (id == 0x9901 && len >= 7) {
          aesExtra = true;
          e.AesVersion = Get16(d);
          e.AesStrength = d[4];
          e.Method = Get16(d + 5);
        } else if (id == 0x7075 && len >= 5 && d[0] == 1) {
          // Unicode path: valid only while it matches the name it was made for.
          std::string_view path(reinterpret_cast<const char*>(d + 5), len - 5u);
          if (Get32(d + 1) == static_cast<std::uint32_t>(crc32(0, h + kCentralSize, static_cast<uInt>(nameLen))) &&
              IsValidUtf8(path))
            unicodePath = Utf8ToString(path);
        }
        x = d + len;
      }
      int host = e.VersionMadeBy >> 8;
      if (!unicodePath.empty())
        e.Name = unicodePath;
      // Unix writers store names in the locale's charset, UTF-8 these days, often without the flag.
      else if (((e.Flags & 0x0800) || host == 3 || host == 19) && IsValidUtf8(e.RawName))
        e.Name = Utf8ToString(e.RawName);
      else
        e.Name = Cp437ToString(e.RawName);
      if (e.Flags & 0x0001) {
        if (aesExtra || Get16(h + 10) == 99)
          e.Encryption = TKyZipEncryption::Aes;
        else
          e.Encryption = TKyZipEncryption::Traditional;
      }
      if (startDisk != 0 && startDisk != 0xFFFF) FailArchive(SZipMultiVolume);
      e.LocalHeaderOffset += shift;
      e.IsFolder = !e.Name.empty() && IsPathDelimiter(e.Name.back());
      Entries_.push_back(std::move(e));
      p += kCentralSize + nameLen + extraLen + commentLen;
    }
    // A guessed shift must lead to a local header, or the directory's offsets are just wrong.
    if (shift != 0 && !Entries_.empty() &&
        !(m.ReadAt(Entries_[0].LocalHeaderOffset, sig, 4) && Get32(sig) == kLocalSig))
      FailArchive(SZipDamagedDirectory);
    // Without Zip64 the 16-bit count wraps for archives of more than 65535 entries.
    if (Entries_.size() != count && (zip64 || (Entries_.size() & 0xFFFF) != count))
      FailArchive(SZipDamagedDirectory);
  } catch (...) {
    Entries_.clear();
    m.Stream = nullptr;
    m.Memory = nullptr;
    throw;
  }
}

const TKyZipEntry& TKyZipReader::Entry(int index) const {
  if (index < 0 || index >= EntryCount()) throw EListError(Format(SListIndexError, {index}));
  return Entries_[static_cast<size_t>(index)];
}

std::uint64_t TKyZipReader::TotalUncompressedSize() const {
  std::uint64_t total = 0;
  for (const TKyZipEntry& e : Entries_) total += e.UncompressedSize;
  return total;
}

TKyZipResult TKyZipReader::ExtractEntry(int index, TStream& target) {
  const TKyZipEntry& e = Entry(index);
  TImpl& m = *Impl_;
  if (e.IsFolder && e.UncompressedSize == 0) return TKyZipResult::Extracted;
  if (e.Method != 0 && e.Method != 8) throw EKyZipException(Format(SZipUnsupportedMethod, {e.Name, int(e.Method)}), e.Name);
  if (e.Flags & 0x0040 || (e.Encryption == TKyZipEncryption::Aes &&
                           (e.AesStrength < 1 || e.AesStrength > 3 || e.AesVersion < 1 || e.AesVersion > 2)))
    Fail(SZipUnsupportedCrypt, e.Name);
  Byte local[kLocalSize];
  if (!m.ReadAt(e.LocalHeaderOffset, local, kLocalSize) || Get32(local) != kLocalSig) Fail(SZipDamagedEntry, e.Name);
  std::uint64_t data = e.LocalHeaderOffset + kLocalSize + Get16(local + 26) + Get16(local + 28);
  if (data > m.Size || e.CompressedSize > m.Size - data) Fail(SZipTruncatedEntry, e.Name);

  auto finish = [&](TDecode r) {
    if (r == TDecode::Stopped) return TKyZipResult::Stopped;
    if (r == TDecode::Truncated) Fail(SZipTruncatedEntry, e.Name);
    if (r == TDecode::BadData) Fail(SZipDamagedEntry, e.Name);
    if (r == TDecode::CrcMismatch) Fail(SZipCrcError, e.Name);
    return TKyZipResult::Extracted;
  };

  if (!e.Encrypted()) return finish(m.Decode<TTraditionalCipher>(e, data, e.CompressedSize, nullptr, &target, true));

  for (;;) {
    if (e.Encryption == TKyZipEncryption::Traditional) {
      if (e.CompressedSize < 12) Fail(SZipTruncatedEntry, e.Name);
      Byte header[12];
      if (!m.ReadAt(data, header, 12)) Fail(SZipTruncatedEntry, e.Name);
      TTraditionalCipher probe(Password);
      probe.Decrypt(header, 12);
      // The last header byte repeats the CRC's high byte, or with a data descriptor the time's.
      // Some writers use the CRC byte despite a descriptor: either passes, the dry run decides.
      bool headerOk = header[11] == static_cast<Byte>(e.Crc32 >> 24) ||
                      ((e.Flags & 0x0008) && header[11] == static_cast<Byte>(e.DosTime >> 8));
      // One matching byte passes a wrong password in 1 of 256 cases: a dry run decides.
      TDecode dry = headerOk ? m.Decode(e, data + 12, e.CompressedSize - 12, &probe, nullptr, true) : TDecode::BadData;
      if (dry == TDecode::Stopped) return TKyZipResult::Stopped;
      if (dry == TDecode::Ok) {
        TTraditionalCipher cipher(Password);
        Byte skip[12];
        m.ReadAt(data, skip, 12);
        cipher.Decrypt(skip, 12);
        return finish(m.Decode(e, data + 12, e.CompressedSize - 12, &cipher, &target, true));
      }
    } else {
      size_t saltLen = 4 + 4 * static_cast<size_t>(e.AesStrength);
      if (e.CompressedSize < saltLen + 2 + 10) Fail(SZipTruncatedEntry, e.Name);
      RawBytes head(saltLen + 2, '\0');
      if (!m.ReadAt(data, head.data(), head.size())) Fail(SZipTruncatedEntry, e.Name);
      // AES needs a password (the writers refuse an empty one); this also keeps an empty
      // one away from the platform's key derivation.
      TAesKeys keys;
      if (!Password.empty()) keys = DeriveAesKeys(Password, head.substr(0, saltLen), e.AesStrength);
      std::uint64_t body = data + saltLen + 2, bodyLen = e.CompressedSize - saltLen - 2 - 10;
      if (!Password.empty() && keys.Verifier == head.substr(saltLen)) {
        // The authentication code covers the encrypted bytes: check it before writing.
        TZipHmacSha1 mac(keys.Authentication);
        if (m.Buffer.size() < kChunk) m.Buffer.resize(kChunk);
        for (std::uint64_t done = 0; done < bodyLen;) {
          size_t n = static_cast<size_t>(std::min<std::uint64_t>(kChunk, bodyLen - done));
          if (!m.ReadAt(body + done, m.Buffer.data(), n)) Fail(SZipTruncatedEntry, e.Name);
          mac.Update(m.Buffer.data(), n);
          done += n;
          if (m.OnChunk && !m.OnChunk(0)) return TKyZipResult::Stopped;
        }
        Byte code[10];
        if (!m.ReadAt(body + bodyLen, code, 10)) Fail(SZipTruncatedEntry, e.Name);
        if (mac.Final().compare(0, 10, reinterpret_cast<const char*>(code), 10) == 0) {
          TAesCtr cipher(keys.Encryption);
          return finish(m.Decode(e, body, bodyLen, &cipher, &target, e.AesVersion == 1));
        }
      }
    }
    if (!OnBadPassword) return TKyZipResult::Skipped;
    RawBytes pw = Password;
    OnBadPassword(*this, index, pw);
    if (pw == Password) return TKyZipResult::Skipped;
    Password = pw;
  }
}

void TKyZipReader::ExtractAll() {
  const Char delim = PathDelimiter();
  String root = ExcludeTrailingBackslash(Destination);
  if (root.empty()) root.push_back(u'.');
  // Every name is checked before the first file is written.
  std::vector<String> paths;
  paths.reserve(Entries_.size());
  for (const TKyZipEntry& e : Entries_) paths.push_back(ZipEntryRelativePath(e.Name, delim));

  std::uint64_t total = TotalUncompressedSize(), done = 0;
  int lastPercent = -1;
  std::chrono::steady_clock::time_point lastReport;
  bool stop = false;
  auto report = [&] {
    if (!OnProgress || stop) return;
    int percent = total ? static_cast<int>(std::min<std::uint64_t>(done, total) * 100 / total) : 100;
    auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent && now - lastReport < kReportInterval) return;
    lastPercent = percent;
    lastReport = now;
    OnProgress(*this, percent, stop);
  };
  struct TResetChunk {
    TImpl& M;
    ~TResetChunk() { M.OnChunk = nullptr; }
  } resetChunk{*Impl_};
  Impl_->OnChunk = [&](std::uint64_t written) {
    done += written;
    report();
    return !stop;
  };

  String lastDir;  // consecutive entries mostly share their folder
  for (int i = 0; i < EntryCount(); ++i) {
    const TKyZipEntry& e = Entries_[static_cast<size_t>(i)];
    const String& path = paths[static_cast<size_t>(i)];
    String fileName = path.empty() ? root : root + delim + path;
    if (e.IsFolder) fileName += delim;
    bool skip = false;
    if (OnStartEntry) OnStartEntry(*this, i, fileName, skip);
    std::uint64_t entryEnd = done + e.UncompressedSize;
    if (skip) {
      done = entryEnd;
      report();
      if (stop) return;
      continue;
    }
    String dir = e.IsFolder ? ExcludeTrailingBackslash(fileName) : ExtractFileDir(fileName);
    if (!dir.empty() && dir != lastDir) {
      if (!ForceDirectories(dir))
        throw EKyZipException(Format(SFCreateError, {dir, SysErrorMessage(GetLastOSError())}), e.Name);
      lastDir = dir;
    }
    bool written = true;
    if (!e.IsFolder) {
      // Written beside the target and put into place once whole and checked; the temporary
      // file goes when it is not (left out, stopped, damaged).
      TZipTempFile out(fileName);
      TKyZipResult result = ExtractEntry(i, out);
      if (result == TKyZipResult::Stopped) return;
      written = result == TKyZipResult::Extracted;
      if (written && !out.Commit()) {
        std::uint32_t error = GetLastOSError();
        // A read-only file is replaced all the same.
        if (!(FileExists(fileName) && IsFileReadOnly(fileName) && SetFileReadOnly(fileName, false) && out.Commit()))
          throw EKyZipException(Format(SFCreateError, {fileName, SysErrorMessage(error)}), e.Name);
      }
    }
    done = entryEnd;
    report();
    if (written && OnEndEntry) OnEndEntry(*this, i, fileName);
    if (stop) return;
  }
}
