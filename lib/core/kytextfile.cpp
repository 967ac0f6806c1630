#include "lib/core/kytextfile.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "lib/core/kycodepages.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystrutils.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {

constexpr Byte kCR = 0x0D;
constexpr Byte kLF = 0x0A;
// An owned stream is read and written in blocks of this size: nobody else sees its
// position, and a system call per 256 bytes would dominate the cost of reading.
constexpr size_t kOutputBlock = 64 * 1024;
constexpr size_t kReadAheadBlock = 64 * 1024;

[[noreturn]] void RaiseUtf8Error(std::string_view bytes, size_t index) {
  String shown = BytesToWide(bytes);
  int position = static_cast<int>(index + 1);
  throw EUft8Exception(Format(SInvalidUtf8Char, {position}) + u"\r\n" + shown, position, RawBytes(bytes));
}

// The caller's string keeps no more room than a long line needs.
void FitText(String& text) {
  if (text.capacity() > 2 * text.size() + 256) text.shrink_to_fit();
}

bool IsDoubleByteCodePage(int cp) { return cp == 932 || cp == 936 || cp == 949 || cp == 950; }

}  // namespace

String DecodeUtf8Strict(std::string_view bytes) {
  String out;
  DecodeUtf8Strict(bytes, out);
  return out;
}

void DecodeUtf8Strict(std::string_view bytes, String& out) {
  out.resize(bytes.size());
  Char* o = out.data();
  const auto* p = reinterpret_cast<const Byte*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    // Eight ASCII bytes at a time.
    if (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if ((word & 0x8080808080808080ULL) == 0) {
        for (int k = 0; k < 8; ++k) o[k] = p[i + k];
        o += 8;
        i += 8;
        continue;
      }
    }
    Byte b = p[i];
    if (b < 0x80) {
      *o++ = b;
      ++i;
      continue;
    }
    size_t len;
    std::uint32_t cp;
    if (b < 0xC0) RaiseUtf8Error(bytes, i);  // stray continuation byte
    if (b < 0xE0) {
      len = 2;
      cp = b & 0x1F;
    } else if (b < 0xF0) {
      len = 3;
      cp = b & 0x0F;
    } else if (b < 0xF8) {
      len = 4;
      cp = b & 0x07;
    } else {
      RaiseUtf8Error(bytes, i);
    }
    // A sequence cut off by the end of the text fails at its lead byte.
    if (i + len > n) {
      for (size_t k = i + 1; k < n; ++k)
        if ((p[k] & 0xC0) != 0x80) RaiseUtf8Error(bytes, k);
      RaiseUtf8Error(bytes, i);
    }
    for (size_t k = 1; k < len; ++k) {
      Byte c = p[i + k];
      if ((c & 0xC0) != 0x80) RaiseUtf8Error(bytes, i + k);
      cp = (cp << 6) | (c & 0x3F);
    }
    if (len == 4) {
      if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) RaiseUtf8Error(bytes, i);
      if (cp >= 0x10000) {
        cp -= 0x10000;
        *o++ = static_cast<Char>(0xD800 + (cp >> 10));
        *o++ = static_cast<Char>(0xDC00 + (cp & 0x3FF));
      } else {
        *o++ = static_cast<Char>(cp);  // overlong forms are accepted
      }
    } else {
      *o++ = static_cast<Char>(cp);
    }
    i += len;
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

TKyTextFile::TKyTextFile(const String& fileName) {
  if (!fileName.empty()) OpenRead(fileName);
}

TKyTextFile::~TKyTextFile() {
  try {
    Close();
  } catch (...) {
    // The target stays as it was; Close reports the cause to callers that ask.
  }
}

void TKyTextFile::ResetBuffer() {
  ReadAhead_.clear();
  ReadAhead_.shrink_to_fit();
  ReadAheadPos_ = 0;
  BufferPos_ = 0;
  BufferLen_ = 0;
  Filled_ = false;
  StreamEnd_ = false;
}

void TKyTextFile::FreeStream() {
  if (OwnsStream) delete Stream;
  Stream = nullptr;
  OwnsStream = false;
}

void TKyTextFile::OpenRead(const String& fileName) {
  auto s = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyNone);
  Close();
  FileName = fileName;
  Open(s.release(), true);
}

void TKyTextFile::Open(TStream* stream, bool ownsStream) {
  // A pending output is committed, not dropped.
  if (Stream && stream != Stream) Close();
  Stream = stream;
  OwnsStream = ownsStream;
  ResetBuffer();
  Output_.clear();
  EncodingDetected = false;
  Size = Stream ? Stream->Size() : 0;
}

void TKyTextFile::Rewrite(const String& fileName) {
  Close();
  if (!fileName.empty()) FileName = fileName;
  TempFileName = CreateTempFile(u"txt");
  try {
    Stream = new TFileStream(TempFileName, fmCreate);
  } catch (...) {
    RemoveFile(TempFileName);
    TempFileName.clear();
    throw;
  }
  OwnsStream = true;
  Size = 0;
  if (!WriteBom) return;
  switch (Encoding) {
    case ekUtf8: WriteBytes("\xEF\xBB\xBF"); break;
    case ekUtf16LE: WriteBytes("\xFF\xFE"); break;
    case ekUtf16BE: WriteBytes("\xFE\xFF"); break;
    default: break;
  }
}

void TKyTextFile::FlushOutput() {
  if (Output_.empty() || !Stream) return;
  RawBytes block;
  block.swap(Output_);
  Stream->WriteBuffer(block.data(), block.size());
}

void TKyTextFile::DiscardOutput() {
  Output_.clear();
  FreeStream();
  if (TempFileName.empty()) return;
  RemoveFile(TempFileName);
  TempFileName.clear();
  FileName.clear();
}

void TKyTextFile::Close() {
  ResetBuffer();
  EncodingDetected = false;
  bool hadStream = Stream != nullptr;
  try {
    FlushOutput();
  } catch (...) {
    // A half-written temporary file never replaces the target.
    DiscardOutput();
    throw;
  }
  Output_.clear();
  FreeStream();
  if (TempFileName.empty()) return;
  if (!hadStream || FileName.empty()) {
    DiscardOutput();  // an output without a target leaves nothing behind
    return;
  }
  Commit();
}

void TKyTextFile::Commit() {
  // Success or failure, nothing stays pending that a later Close could commit.
  struct TDone {
    TKyTextFile* File;
    ~TDone() { File->DiscardOutput(); }
  } done{this};
  if (FileExists(FileName) && IsFileReadOnly(FileName)) throw EKyException(Format(STextFileReadOnly, {FileName}));
  if (!BackupExtension.empty() && FileExists(FileName)) {
    String ext = BackupExtension.front() == u'.' ? BackupExtension : u"." + BackupExtension;
    CopyFileTo(FileName, ChangeFileExt(FileName, ext), false);
  }
  String dir = ExtractFileDir(FileName);
  if (!dir.empty()) ForceDirectories(dir);
  // Copied beside the target, then moved over it in one step: a copy that fails half-way
  // (a full disk) leaves the target as it was.
  String beside;
  try {
    beside = CreateTempFile(u"txt", dir.empty() ? GetCurrentDir() : dir);
  } catch (const Exception&) {
    // The folder takes no new file: reported below.
  }
  if (beside.empty() || !CopyFileTo(TempFileName, beside, false) || !MoveFileOver(beside, FileName)) {
    if (!beside.empty()) RemoveFile(beside);
    throw EKyException(Format(STextFileCopyFailed, {TempFileName, FileName}));
  }
}

void TKyTextFile::SetEncoding(Byte kind) {
  Encoding = kind;
  EscapeMode = false;
}

void TKyTextFile::SetEncodingName(StringView name) {
  if (SameText(name, u"utf-8")) {
    SetEncoding(ekUtf8);
  } else if (SameText(name, u"UTF-16") || SameText(name, u"ucs-2") || SameText(name, u"ISO-10646-UCS-2")) {
    // The byte order found in the input wins over the generic name.
    if (!Is16Bit()) SetEncoding(ekUtf16LE);
    EscapeMode = false;
  } else if (SameText(name, u"unicode")) {
    SetEncoding(ekUtf16LE);
  } else if (SameText(name, u"unicodeFFFE")) {
    SetEncoding(ekUtf16BE);
  } else if (SameText(name, u"unicode-escape")) {
    Encoding = ekCodePage;
    EscapeMode = true;
    return;
  } else {
    const auto* entry = CodePageDatas().FindCodePageByName(name);
    if (!entry) return;
    SetEncoding(ekCodePage);
    CodePage = entry->CodePage;
    return;
  }
  CodePage = 0;
}

String TKyTextFile::EncodingName() const {
  switch (Encoding) {
    case ekUtf8: return u"utf-8";
    case ekUtf16LE:
    case ekUtf16BE: return u"UTF-16";
    default: return CodePageDatas().GetCodePageName(CodePage);
  }
}

String TKyTextFile::EncodingDisplayName() const {
  switch (Encoding) {
    case ekUtf8: return u"utf-8";
    case ekUtf16LE: return u"unicode";
    case ekUtf16BE: return u"unicodeFFFE";
    default: return CodePage != 0 ? CodePageDatas().GetCodePageName(CodePage) : String(u"windows-1252");
  }
}

String TKyTextFile::LineBreak() const {
  switch (LineBreaks & (lbLF | lbCR)) {
    case lbLF: return u"\n";
    case lbCR: return u"\r";
    default: return u"\r\n";
  }
}

int TKyTextFile::EffectiveCodePage() const { return CodePage != 0 ? CodePage : GetSystemCodePage(); }

void TKyTextFile::Fill() {
  if (!Stream) return;
  if (BufferPos_ > 0) {
    std::memmove(Buffer_, Buffer_ + BufferPos_, static_cast<size_t>(Available()));
    BufferLen_ -= BufferPos_;
    BufferPos_ = 0;
  }
  while (BufferLen_ < kBufferSize && !StreamEnd_) {
    size_t n = ReadStream(Buffer_ + BufferLen_, static_cast<size_t>(kBufferSize - BufferLen_));
    if (n == 0) StreamEnd_ = true;
    BufferLen_ += static_cast<int>(n);
  }
  if (!Filled_) {
    Filled_ = true;
    DetectEncoding();
  }
}

size_t TKyTextFile::ReadStream(Byte* dst, size_t count) {
  if (!OwnsStream) return Stream->Read(dst, count);
  if (ReadAheadPos_ >= ReadAhead_.size()) {
    ReadAhead_.resize(kReadAheadBlock);
    size_t n = Stream->Read(ReadAhead_.data(), kReadAheadBlock);
    ReadAhead_.resize(n);
    ReadAheadPos_ = 0;
    if (n == 0) return 0;
  }
  size_t n = std::min(count, ReadAhead_.size() - ReadAheadPos_);
  std::memcpy(dst, ReadAhead_.data() + ReadAheadPos_, n);
  ReadAheadPos_ += n;
  return n;
}

void TKyTextFile::DetectEncoding() {
  const Byte* b = Buffer_ + BufferPos_;
  int n = Available();
  int skip = 0;
  Byte kind;
  if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    kind = ekUtf8;
    skip = 3;
  } else if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    kind = ekUtf16LE;
    skip = 2;
  } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    kind = ekUtf16BE;
    skip = 2;
  } else if (n >= 2 && b[0] == 0x00 && b[1] == 0x3C) {
    kind = ekUtf16BE;
  } else if (n >= 2 && b[0] == 0x3C && b[1] == 0x00) {
    kind = ekUtf16LE;
  } else {
    return;
  }
  Encoding = kind;
  EncodingDetected = true;
  if (skip > 0) {
    HadBom = true;
    BufferPos_ += skip;
  }
}

bool TKyTextFile::Ensure(int count) {
  if (Available() >= count) return true;
  if (!Filled_ || !StreamEnd_) Fill();
  return Available() >= count;
}

int TKyTextFile::CharLength(Byte lead) const {
  switch (Encoding) {
    case ekUtf16LE:
    case ekUtf16BE: return 2;
    case ekUtf8:
      if (lead < 0x80) return 1;
      if (lead < 0xC0) return 0;
      if (lead < 0xE0) return 2;
      if (lead < 0xF0) return 3;
      return 4;
    default: {
      // The file's own code page decides, not the system's: a Shift-JIS file read on a
      // Western system must not be split inside its characters.
      int cp = EffectiveCodePage();
      return IsDoubleByteCodePage(cp) && IsLeadByteOf(cp, lead) ? 2 : 1;
    }
  }
}

Char TKyTextFile::Unit(int offset) const {
  const Byte* b = Buffer_ + BufferPos_ + offset;
  return Encoding == ekUtf16BE ? static_cast<Char>((b[0] << 8) | b[1]) : static_cast<Char>(b[0] | (b[1] << 8));
}

bool TKyTextFile::Eof() {
  if (!Ensure(1)) return true;
  return Is16Bit() && !Ensure(2);  // the first fill may have found UTF-16
}

Char TKyTextFile::PeekChar(int n) {
  if (n < 0) return 0;
  if (!Ensure(1)) return 0;  // the first fill may switch to UTF-16
  if (Is16Bit()) {
    int need = 2 * (n + 1);
    if (need > kBufferSize || !Ensure(need)) return 0;
    return Unit(2 * n);
  }
  // Walk n characters ahead; a 4-byte UTF-8 character counts as its two UTF-16 units.
  int offset = 0;
  int index = 0;
  for (;;) {
    if (!Ensure(offset + 1)) return 0;
    Byte lead = Buffer_[BufferPos_ + offset];
    int len = std::max(CharLength(lead), 1);
    if (offset + len > kBufferSize) return 0;
    bool complete = Ensure(offset + len);
    std::string_view bytes(reinterpret_cast<const char*>(Buffer_ + BufferPos_ + offset),
                           static_cast<size_t>(complete ? len : Available() - offset));
    String decoded;
    if (Encoding == ekUtf8) {
      try {
        decoded = DecodeUtf8Strict(bytes);
      } catch (const EUft8Exception&) {
        decoded = u"\uFFFD";
      }
    } else {
      decoded = CodePageToWide(bytes, EffectiveCodePage());
    }
    if (decoded.empty()) decoded = u"\uFFFD";
    if (n - index < static_cast<int>(decoded.size())) return decoded[static_cast<size_t>(n - index)];
    index += static_cast<int>(decoded.size());
    offset += len;
  }
}

bool TKyTextFile::SkipChar(Char c) {
  if (!Stream || PeekChar(0) != c || Eof()) return false;
  int len = Is16Bit() ? 2 : std::max(CharLength(Buffer_[BufferPos_]), 1);
  BufferPos_ += std::min(len, Available());
  if (c == kLF) LineBreaks |= lbLF;
  else if (c == kCR) LineBreaks |= lbCR;
  return true;
}

std::int64_t TKyTextFile::BytePosition() const {
  if (!Stream) return 0;
  std::int64_t ahead = Available();
  if (OwnsStream) ahead += static_cast<std::int64_t>(ReadAhead_.size() - ReadAheadPos_);
  return Stream->Position() - ahead;
}

void TKyTextFile::Decode(std::string_view bytes, String& text) const {
  if (Encoding == ekUtf8) {
    try {
      DecodeUtf8Strict(bytes, text);
    } catch (...) {
      text.clear();
      throw;
    }
    FitText(text);
  } else if (bytes.empty()) {
    text.clear();
  } else {
    text = CodePageToWide(bytes, EffectiveCodePage());
  }
}

bool TKyTextFile::ReadLine(Char delimiter, String& text) {
  text.clear();
  if (!Stream) return false;
  return Is16Bit() ? ReadLine16(delimiter, text) : ReadLine8(delimiter, text);
}

bool TKyTextFile::ReadLine8(Char delimiter, String& text) {
  if (!Ensure(1)) return false;
  if (Is16Bit()) return ReadLine16(delimiter, text);  // the first fill found UTF-16
  // The bytes of the line, in a block kept between calls; a long line's block is released.
  RawBytes& acc = Line_;
  acc.clear();
  struct TRelease {
    RawBytes& Acc;
    ~TRelease() {
      if (Acc.capacity() > kReadAheadBlock) RawBytes().swap(Acc);
    }
  } release{acc};
  // memchr rather than a byte loop: delimiter reads (the XML reader's) go over every byte.
  auto noteBreaks = [this](const Byte* p, const Byte* e) {
    size_t n = static_cast<size_t>(e - p);
    if (!(LineBreaks & lbLF) && std::memchr(p, kLF, n)) LineBreaks |= lbLF;
    if (!(LineBreaks & lbCR) && std::memchr(p, kCR, n)) LineBreaks |= lbCR;
  };

  if (delimiter == 0) {
    for (;;) {
      if (!Ensure(1)) break;
      const Byte* p = Buffer_ + BufferPos_;
      const Byte* e = Buffer_ + BufferLen_;
      // memchr is vectorised: find the first LF, then a CR before it.
      const auto* lf = static_cast<const Byte*>(std::memchr(p, kLF, static_cast<size_t>(e - p)));
      const Byte* limit = lf ? lf : e;
      const auto* cr = static_cast<const Byte*>(std::memchr(p, kCR, static_cast<size_t>(limit - p)));
      const Byte* q = cr ? cr : limit;
      acc.append(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p));
      BufferPos_ += static_cast<int>(q - p);
      if (q == e) continue;
      Byte first = *q;
      ++BufferPos_;
      LineBreaks |= first == kLF ? lbLF : lbCR;
      if (KeepLineBreaks) acc.push_back(static_cast<char>(first));
      if (Ensure(1)) {
        Byte next = Buffer_[BufferPos_];
        if (next == kLF) LineBreaks |= lbLF;
        else if (next == kCR) LineBreaks |= lbCR;
        if ((first == kCR && next == kLF) || (first == kLF && next == kCR)) {
          ++BufferPos_;
          if (KeepLineBreaks) acc.push_back(static_cast<char>(next));
        }
      }
      break;
    }
    Decode(acc, text);
    return true;
  }

  // The delimiter in the file's own encoding.
  RawBytes delim;
  if (delimiter < 0x80) {
    delim.push_back(static_cast<char>(delimiter));
  } else {
    try {
      delim = Encoding == ekUtf8 ? StringToUtf8(StringView(&delimiter, 1))
                                 : WideToCodePage(StringView(&delimiter, 1), EffectiveCodePage());
      // A character the encoding cannot hold never occurs in the input (no "?" stand-in).
      String back;
      Decode(delim, back);
      if (back != StringView(&delimiter, 1)) delim.clear();
    } catch (const Exception&) {
      delim.clear();
    }
  }
  if (delim.size() > 4) delim.clear();
  const int dlen = static_cast<int>(delim.size());
  // Double-byte code pages have trail bytes in the ASCII range: walk whole characters.
  const bool walk = Encoding == ekCodePage && IsDoubleByteCodePage(EffectiveCodePage());
  bool first = true;

  auto atDelimiter = [&]() {
    return dlen > 0 && Ensure(dlen) && std::memcmp(Buffer_ + BufferPos_, delim.data(), static_cast<size_t>(dlen)) == 0;
  };
  auto take = [&](int count) {
    const Byte* p = Buffer_ + BufferPos_;
    noteBreaks(p, p + count);
    acc.append(reinterpret_cast<const char*>(p), static_cast<size_t>(count));
    BufferPos_ += count;
  };

  while (Ensure(1)) {
    if (dlen == 0) {
      take(Available());
      continue;
    }
    if (!walk && dlen == 1) {
      // Fast path: scan the buffer for the delimiter byte.
      const Byte* p = Buffer_ + BufferPos_;
      const Byte* e = Buffer_ + BufferLen_;
      const Byte d = static_cast<Byte>(delim[0]);
      const Byte* q = p;
      if (first && *q == d) ++q;  // a delimiter at the very start belongs to the text
      first = false;
      if (q < e) {
        const void* hit = std::memchr(q, d, static_cast<size_t>(e - q));
        q = hit ? static_cast<const Byte*>(hit) : e;
      }
      if (q < e && acc.empty()) {
        // The whole piece lies in the buffer: decode it from there, without the copy.
        noteBreaks(p, q);
        BufferPos_ += static_cast<int>(q - p);
        Decode(std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p)), text);
        return true;
      }
      take(static_cast<int>(q - p));
      if (q < e) break;
      continue;
    }
    bool hit = atDelimiter();
    if (hit && !first) break;
    first = false;
    Byte lead = Buffer_[BufferPos_];
    int len = hit ? dlen : walk ? CharLength(lead) : 1;
    if (!Ensure(len)) len = Available();
    take(len);
  }
  Decode(acc, text);
  return true;
}

bool TKyTextFile::ReadLine16(Char delimiter, String& text) {
  if (!Ensure(2)) return false;
  text.reserve(kBufferSize);
  auto note = [this](Char c) {
    if (c == kLF) LineBreaks |= lbLF;
    else if (c == kCR) LineBreaks |= lbCR;
  };
  bool first = true;
  while (Ensure(2)) {
    int avail = Available() & ~1;
    int i = 0;
    bool stop = false;
    for (; i < avail; i += 2) {
      Char c = Unit(i);
      note(c);
      if (delimiter == 0) {
        if (c == kCR || c == kLF) {
          if (KeepLineBreaks) text.push_back(c);
          BufferPos_ += i + 2;
          if (Ensure(2)) {
            Char next = Unit(0);
            note(next);
            if ((c == kCR && next == kLF) || (c == kLF && next == kCR)) {
              BufferPos_ += 2;
              if (KeepLineBreaks) text.push_back(next);
            }
          }
          FitText(text);
          return true;
        }
      } else if (c == delimiter && !(first && i == 0)) {
        stop = true;
        break;
      }
      text.push_back(c);
    }
    first = false;
    BufferPos_ += i;
    if (stop) break;
  }
  FitText(text);
  return true;
}

void TKyTextFile::WriteBytes(std::string_view bytes) {
  if (!Stream) throw EStreamError(LoadResString(SWriteError));
  if (!OwnsStream) {
    // A stream of the caller sees every write at once.
    if (!bytes.empty()) Stream->WriteBuffer(bytes.data(), bytes.size());
    return;
  }
  Output_.append(bytes);
  if (Output_.size() >= kOutputBlock) FlushOutput();
}

void TKyTextFile::Write(StringView text) {
  try {
    WriteEncoded(text);
  } catch (...) {
    FailOutput();
    throw;
  }
}

void TKyTextFile::FailOutput() {
  // A failed write (a full disk, a character the code page lacks) ends the output: the
  // target stays as it was.
  if (OwnsStream && !TempFileName.empty()) DiscardOutput();
}

void TKyTextFile::WriteEncoded(StringView text) {
  if (text.empty()) return;
  switch (Encoding) {
    case ekUtf8: {
      // ASCII text, most of what is written, goes straight into the output block.
      size_t n = text.size();
      if (OwnsStream && Stream && std::all_of(text.begin(), text.end(), [](Char c) { return c < 0x80; })) {
        size_t old = Output_.size();
        Output_.resize(old + n);
        char* d = Output_.data() + old;
        for (size_t i = 0; i < n; ++i) d[i] = static_cast<char>(text[i]);
        if (Output_.size() >= kOutputBlock) FlushOutput();
        return;
      }
      if (OwnsStream && Stream) {
        AppendUtf8(Output_, text);
        if (Output_.size() >= kOutputBlock) FlushOutput();
        return;
      }
      WriteBytes(StringToUtf8(text));
      return;
    }
    case ekUtf16LE:
    case ekUtf16BE: {
      RawBytes out(text.size() * 2, '\0');
      bool big = Encoding == ekUtf16BE;
      for (size_t i = 0; i < text.size(); ++i) {
        Char c = text[i];
        out[2 * i + (big ? 1 : 0)] = static_cast<char>(c & 0xFF);
        out[2 * i + (big ? 0 : 1)] = static_cast<char>(c >> 8);
      }
      WriteBytes(out);
      return;
    }
    default:
      break;
  }
  if (!EscapeMode) {
    WriteBytes(WideToCodePage(text, EffectiveCodePage()));
    return;
  }
  static const char kHex[] = "0123456789abcdef";
  String escaped;
  escaped.reserve(text.size());
  for (Char c : text) {
    if (c <= 127) {
      escaped.push_back(c);
      continue;
    }
    escaped += u"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) escaped.push_back(static_cast<Char>(kHex[(c >> shift) & 0xF]));
  }
  WriteBytes(WideToCodePage(escaped, GetSystemCodePage()));
}

void TKyTextFile::WriteLine(StringView text) {
  Write(text);
  WriteLineBreak();
}

void TKyTextFile::WriteLineBreak() {
  try {
    WriteBreak();
  } catch (...) {
    FailOutput();
    throw;
  }
}

void TKyTextFile::WriteBreak() {
  bool none = (LineBreaks & (lbLF | lbCR)) == 0;
  bool cr = none || (LineBreaks & lbCR);
  bool lf = none || (LineBreaks & lbLF);
  if (Is16Bit()) {
    String br;
    if (cr) br.push_back(u'\r');
    if (lf) br.push_back(u'\n');
    WriteEncoded(br);
    return;
  }
  RawBytes br;
  if (cr) br.push_back('\r');
  if (lf) br.push_back('\n');
  WriteBytes(br);
}
