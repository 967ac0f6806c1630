#include "lib/xml/kyxmltextfile.h"

#include <algorithm>
#include <cstring>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {

constexpr size_t kBlock = 64 * 1024;

struct TNamedCodePage {
  const char* Name;
  int CodePage;
};

// Names as declarations spell them; the first entry of a code page is its own name.
constexpr TNamedCodePage kCodePages[] = {
    {"windows-1252", 1252}, {"iso-8859-1", 28591}, {"latin1", 28591},     {"us-ascii", 20127},
    {"ascii", 20127},       {"iso-8859-15", 28605}, {"windows-1250", 1250}, {"windows-1251", 1251},
    {"windows-1253", 1253}, {"windows-1254", 1254}, {"windows-1255", 1255}, {"windows-1256", 1256},
    {"windows-1257", 1257}, {"windows-1258", 1258}, {"iso-8859-2", 28592},  {"iso-8859-5", 28595},
    {"iso-8859-7", 28597},  {"koi8-r", 20866},      {"shift_jis", 932},     {"gb2312", 936},
    {"euc-kr", 949},        {"big5", 950},
};

// Windows-1252 0x80..0x9F; the rest of the page is Latin-1.
constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

[[noreturn]] void RaiseUtf8(const char* data, size_t size, size_t failAt) {
  String shown;
  shown.reserve(size);
  for (size_t i = 0; i < size; ++i) shown.push_back(static_cast<Char>(static_cast<unsigned char>(data[i])));
  String msg = Format(SXmlInvalidUtf8, {static_cast<int>(failAt + 1)}) + u"\r\n" + shown;
  throw EUft8Exception(msg, static_cast<int>(failAt + 1), RawBytes(data, size));
}

void DecodeUtf8(const char* data, size_t size, String& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  out.reserve(out.size() + size);
  while (i < size) {
    unsigned c = p[i];
    if (c < 0x80) {
      // Runs of ASCII are the common case.
      size_t j = i + 1;
      while (j < size && p[j] < 0x80) ++j;
      size_t old = out.size();
      out.resize(old + (j - i));
      Char* d = out.data() + old;
      for (size_t k = i; k < j; ++k) *d++ = p[k];
      i = j;
      continue;
    }
    int len;
    char32_t cp;
    if (c >= 0xC0 && c <= 0xDF) {
      len = 2;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF7) {
      len = 4;
      cp = c & 0x07;
    } else {
      RaiseUtf8(data, size, i);
    }
    for (int k = 1; k < len; ++k) {
      if (i + k >= size || (p[i + k] & 0xC0) != 0x80) RaiseUtf8(data, size, i + k < size ? i + k : size);
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if (len == 4) {
      if (cp > 0x10FFFF) RaiseUtf8(data, size, i);
      cp -= 0x10000;
      out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
    } else {
      if (cp >= 0xD800 && cp <= 0xDFFF) RaiseUtf8(data, size, i);
      out.push_back(static_cast<Char>(cp));
    }
    i += static_cast<size_t>(len);
  }
}

void EncodeUtf8(StringView text, std::string& out) {
  size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    char32_t c = text[i++];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i < n && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i++] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
}

}  // namespace

#ifndef _WIN32
// Natively the single-byte pages are Windows-1252 and its relatives by their Latin-1 part.
String XmlCodePageToString(int codePage, const char* data, size_t size) {
  String out;
  out.reserve(size);
  for (size_t i = 0; i < size; ++i) {
    unsigned char b = static_cast<unsigned char>(data[i]);
    if ((codePage == 1252 || codePage == 0) && b >= 0x80 && b <= 0x9F)
      out.push_back(k1252High[b - 0x80]);
    else
      out.push_back(b);
  }
  return out;
}

bool XmlCodePageHasChar(int codePage, Char c) {
  if (c < 0x80) return true;
  if (codePage == 20127) return false;
  if (codePage == 1252 || codePage == 0) {
    for (char16_t h : k1252High)
      if (h == c) return true;
    return c >= 0xA0 && c <= 0xFF;
  }
  return c <= 0xFF;
}

std::string XmlStringToCodePage(int codePage, StringView text) {
  std::string out;
  out.reserve(text.size());
  for (Char c : text) {
    if (!XmlCodePageHasChar(codePage, c)) {
      out.push_back('?');
    } else if (c >= 0x100 || (c >= 0x80 && c <= 0x9F && (codePage == 1252 || codePage == 0))) {
      for (int k = 0; k < 32; ++k)
        if (k1252High[k] == c) out.push_back(static_cast<char>(0x80 + k));
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}
#endif

TXmlTextFile::~TXmlTextFile() {
  try {
    Close();
  } catch (...) {
  }
}

void TXmlTextFile::OpenRead(const String& fileName) {
  Close();
  FileName = fileName;
  auto* s = new TFileStream(fileName, fmOpenRead | fmShareDenyNone);
  Open(s, true);
}

void TXmlTextFile::Open(TStream* stream, bool ownsStream) {
  if (Stream_ && Stream_ != stream) Close();
  Stream_ = stream;
  OwnsStream_ = ownsStream;
  Writing_ = false;
  Raw_.clear();
  RawPos_ = RawLen_ = 0;
  StreamEnd_ = false;
  Detected_ = false;
  FirstChunkRead_ = false;
  StreamBase_ = StartPos_ = stream->Position();
  Size = stream->Size();
}

std::unique_ptr<TStream> TXmlTextFile::ReleaseStream() {
  TStream* s = Stream_;
  bool owned = OwnsStream_;
  Stream_ = nullptr;
  OwnsStream_ = false;
  return owned ? std::unique_ptr<TStream>(s) : nullptr;
}

bool TXmlTextFile::FillMore() {
  if (!Stream_ || StreamEnd_ || Writing_) return false;
  if (RawPos_ > 0 && RawPos_ >= RawLen_ / 2) {
    // Move the unread tail to the front; each byte moves a bounded number of times.
    std::memmove(Raw_.data(), Raw_.data() + RawPos_, RawLen_ - RawPos_);
    StreamBase_ += static_cast<std::int64_t>(RawPos_);
    RawLen_ -= RawPos_;
    RawPos_ = 0;
  }
  if (Raw_.size() < RawLen_ + kBlock) Raw_.resize(std::max(Raw_.size() * 2, RawLen_ + kBlock));
  size_t got = Stream_->Read(Raw_.data() + RawLen_, Raw_.size() - RawLen_);
  if (got == 0) {
    StreamEnd_ = true;
    return false;
  }
  RawLen_ += got;
  return true;
}

void TXmlTextFile::DetectEncoding() {
  if (Detected_) return;
  Detected_ = true;
  while (RawLen_ - RawPos_ < 3 && FillMore()) {
  }
  const auto* p = reinterpret_cast<const unsigned char*>(Raw_.data() + RawPos_);
  size_t n = RawLen_ - RawPos_;
  if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    Encoding = teUtf8;
    RawPos_ += 3;
    HadBom = EncodingDetected = true;
  } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    Encoding = teUtf16LE;
    RawPos_ += 2;
    HadBom = EncodingDetected = true;
  } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    Encoding = teUtf16BE;
    RawPos_ += 2;
    HadBom = EncodingDetected = true;
  } else if (n >= 2 && p[0] == 0x00 && p[1] == 0x3C) {
    Encoding = teUtf16BE;
    EncodingDetected = true;
  } else if (n >= 2 && p[0] == 0x3C && p[1] == 0x00) {
    Encoding = teUtf16LE;
    EncodingDetected = true;
  }
  if (Encoding != teCodePage) CodePage = 0;
}

void TXmlTextFile::TrackLineBreaks(const char* data, size_t size) {
  if (LineBreaks == (lbLF | lbCR)) return;
  if (!(LineBreaks & lbLF) && std::memchr(data, '\n', size)) LineBreaks |= lbLF;
  if (!(LineBreaks & lbCR) && std::memchr(data, '\r', size)) LineBreaks |= lbCR;
}

void TXmlTextFile::DecodeSegment(const char* data, size_t size, String& out) {
  TrackLineBreaks(data, size);
  switch (Encoding) {
    case teUtf8:
      DecodeUtf8(data, size, out);
      break;
    case teUtf16LE:
    case teUtf16BE: {
      size_t n = size / 2;
      size_t old = out.size();
      out.resize(old + n);
      const auto* p = reinterpret_cast<const unsigned char*>(data);
      bool be = Encoding == teUtf16BE;
      for (size_t i = 0; i < n; ++i)
        out[old + i] = be ? static_cast<Char>(p[2 * i] << 8 | p[2 * i + 1])
                          : static_cast<Char>(p[2 * i + 1] << 8 | p[2 * i]);
      break;
    }
    default:
      out += XmlCodePageToString(CodePage, data, size);
  }
}

int TXmlTextFile::PeekChar(int n) {
  DetectEncoding();
  size_t unit = UnitSize();
  size_t need = (static_cast<size_t>(n) + 1) * (Encoding == teUtf8 ? 4 : unit);
  while (RawLen_ - RawPos_ < need && FillMore()) {
  }
  // Decode a few characters ahead without consuming them.
  size_t avail = std::min(RawLen_ - RawPos_, need);
  if (avail == 0) return -1;
  String tmp;
  const char* d = Raw_.data() + RawPos_;
  if (Encoding == teUtf8) {
    // Walk the lead bytes to the n-th character; a broken one is left for the real read to report.
    size_t p = 0;
    for (int idx = 0; p < avail; ++idx) {
      unsigned c = static_cast<unsigned char>(d[p]);
      size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      if (idx == n) {
        try {
          DecodeUtf8(d + p, std::min(len, avail - p), tmp);
        } catch (const EUft8Exception&) {
          return 0xFFFD;
        }
        return tmp.empty() ? -1 : tmp[0];
      }
      p += len;
    }
    return -1;
  } else {
    String t;
    if (Encoding == teCodePage)
      t = XmlCodePageToString(CodePage, d, avail);
    else {
      Byte saved = LineBreaks;
      DecodeSegment(d, avail - avail % 2, t);
      LineBreaks = saved;
    }
    tmp = t;
  }
  return static_cast<size_t>(n) < tmp.size() ? tmp[static_cast<size_t>(n)] : -1;
}

bool TXmlTextFile::ReadChunk(String& text) {
  DetectEncoding();
  size_t unit = UnitSize();
  if (RawLen_ - RawPos_ < unit && !FillMore() && RawLen_ - RawPos_ < unit) {
    RawPos_ = RawLen_;
    return false;
  }
  auto isLt = [&](size_t at) {
    if (unit == 1) return Raw_[at] == '<';
    return Encoding == teUtf16LE ? (Raw_[at] == '<' && Raw_[at + 1] == 0) : (Raw_[at] == 0 && Raw_[at + 1] == '<');
  };
  size_t offset = isLt(RawPos_) ? unit : 0;  // relative to RawPos_
  size_t found;
  for (;;) {
    size_t scan = RawPos_ + offset;
    size_t end = RawLen_ - (RawLen_ - RawPos_) % unit;
    found = std::string::npos;
    if (unit == 1) {
      const void* hit = scan < end ? std::memchr(Raw_.data() + scan, '<', end - scan) : nullptr;
      if (hit) found = static_cast<size_t>(static_cast<const char*>(hit) - Raw_.data());
    } else {
      for (size_t i = scan; i < end; i += 2)
        if (isLt(i)) {
          found = i;
          break;
        }
    }
    if (found != std::string::npos) break;
    offset = end - RawPos_;  // relative, so it survives FillMore moving the data
    if (!FillMore()) {
      found = RawLen_ - (RawLen_ - RawPos_) % unit;  // FillMore may have moved the data
      break;
    }
  }
  if (!FirstChunkRead_) {
    FirstChunkRead_ = true;
    // A declaration ends its chunk, so that the encoding it names applies to the rest.
    std::string decl = unit == 1 ? "<?xml" : "";
    if (unit == 1 && Raw_.compare(RawPos_, 5, decl) == 0) {
      size_t e = Raw_.find("?>", RawPos_);
      if (e != std::string::npos && e + 2 < found) found = e + 2;
    }
  }
  DecodeSegment(Raw_.data() + RawPos_, found - RawPos_, text);
  RawPos_ = found;
  if (StreamEnd_ && RawLen_ - RawPos_ < unit) RawPos_ = RawLen_;  // an odd trailing byte of UTF-16
  return true;
}

void TXmlTextFile::ReadRest(String& text) {
  DetectEncoding();
  while (FillMore()) {
  }
  size_t unit = UnitSize();
  size_t n = RawLen_ - RawPos_;
  n -= n % unit;
  DecodeSegment(Raw_.data() + RawPos_, n, text);
  RawPos_ = RawLen_;
}

bool TXmlTextFile::Eof() {
  if (RawLen_ - RawPos_ >= UnitSize()) return false;
  return !FillMore() && RawLen_ - RawPos_ < UnitSize();
}

std::int64_t TXmlTextFile::BytePosition() const { return StreamBase_ + static_cast<std::int64_t>(RawPos_); }

void TXmlTextFile::Rewrite(const String& fileName) {
  Close();
  if (!fileName.empty()) FileName = fileName;
  TempFileName = CreateTempFile(u"txt");
  Stream_ = new TFileStream(TempFileName, fmCreate);
  OwnsStream_ = true;
  Writing_ = true;
  Out_.clear();
  if (WriteBom) {
    if (Encoding == teUtf8) Out_ = "\xEF\xBB\xBF";
    if (Encoding == teUtf16LE) Out_ = "\xFF\xFE";
    if (Encoding == teUtf16BE) Out_ = "\xFE\xFF";
  }
}

void TXmlTextFile::EncodeAppend(StringView text) {
  switch (Encoding) {
    case teUtf8:
      EncodeUtf8(text, Out_);
      break;
    case teUtf16LE:
    case teUtf16BE:
      for (Char c : text) {
        char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
        if (Encoding == teUtf16LE) {
          Out_.push_back(lo);
          Out_.push_back(hi);
        } else {
          Out_.push_back(hi);
          Out_.push_back(lo);
        }
      }
      break;
    default:
      Out_ += XmlStringToCodePage(CodePage, text);
  }
}

void TXmlTextFile::Write(StringView text) {
  if (!Writing_) return;
  EncodeAppend(text);
  if (Out_.size() >= kBlock) FlushOut();
}

void TXmlTextFile::FlushOut() {
  if (!Out_.empty() && Stream_) Stream_->WriteBuffer(Out_.data(), Out_.size());
  Out_.clear();
}

String TXmlTextFile::LineBreak() const {
  if (LineBreaks == lbLF) return u"\n";
  if (LineBreaks == lbCR) return u"\r";
  return u"\r\n";
}

void TXmlTextFile::WriteLineBreak() { Write(LineBreak()); }

bool TXmlTextFile::CanEncode(Char c) const {
  return Encoding != teCodePage || XmlCodePageHasChar(CodePage, c);
}

void TXmlTextFile::Close() {
  bool wasOpen = Stream_ != nullptr;
  bool writing = Writing_;
  Writing_ = false;
  if (wasOpen && writing) {
    try {
      FlushOut();
    } catch (...) {
      if (OwnsStream_) delete Stream_;
      Stream_ = nullptr;
      throw;
    }
  }
  Out_.clear();
  Raw_.clear();
  Raw_.shrink_to_fit();
  RawPos_ = RawLen_ = 0;
  Detected_ = false;
  EncodingDetected = false;
  if (OwnsStream_) delete Stream_;
  Stream_ = nullptr;
  OwnsStream_ = false;
  if (!wasOpen || FileName.empty() || TempFileName.empty()) return;
  if (FileExists(FileName) && IsFileReadOnly(FileName)) {
    RemoveFile(TempFileName);
    TempFileName.clear();
    throw EKyException(Format(SXmlReadOnlyTarget, {FileName}));
  }
  if (!BackupExtension.empty() && FileExists(FileName))
    CopyFileTo(FileName, ChangeFileExt(FileName, u"." + BackupExtension), false);
  String dir = ExtractFileDir(FileName);
  if (!dir.empty()) ForceDirectories(dir);
  if (!CopyFileTo(TempFileName, FileName, false))
    throw EKyException(Format(SXmlCopyTempFailed, {TempFileName, FileName}));
  FileName.clear();
  RemoveFile(TempFileName);
  TempFileName.clear();
}

void TXmlTextFile::SetEncodingName(StringView name) {
  if (SameText(name, u"utf-8")) {
    Encoding = teUtf8;
  } else if (SameText(name, u"UTF-16") || SameText(name, u"ucs-2") || SameText(name, u"ISO-10646-UCS-2")) {
    if (Encoding != teUtf16LE && Encoding != teUtf16BE) Encoding = teUtf16LE;
  } else if (SameText(name, u"unicode")) {
    Encoding = teUtf16LE;
  } else if (SameText(name, u"unicodeFFFE")) {
    Encoding = teUtf16BE;
  } else {
    int cp = CodePageOfName(name);
    if (cp == 0) return;
    Encoding = teCodePage;
    CodePage = cp;
    return;
  }
  CodePage = 0;
}

Byte TXmlTextFile::EncodingClassOf(StringView name, Byte detected) {
  if (SameText(name, u"utf-8")) return teUtf8;
  if (SameText(name, u"UTF-16") || SameText(name, u"ucs-2") || SameText(name, u"ISO-10646-UCS-2"))
    return detected == teUtf16BE ? teUtf16BE : teUtf16LE;
  if (SameText(name, u"unicode")) return teUtf16LE;
  if (SameText(name, u"unicodeFFFE")) return teUtf16BE;
  return teCodePage;
}

int TXmlTextFile::CodePageOfName(StringView name) {
  for (const auto& e : kCodePages)
    if (SameText(name, AsciiToString(e.Name))) return e.CodePage;
  return 0;
}

String TXmlTextFile::NameOfCodePage(int codePage) {
  if (codePage == 0) codePage = 1252;
  for (const auto& e : kCodePages)
    if (e.CodePage == codePage) return AsciiToString(e.Name);
  return u"windows-" + IntToStr(codePage);
}

String TXmlTextFile::EncodingName() const {
  switch (Encoding) {
    case teUtf8:
      return u"utf-8";
    case teUtf16LE:
    case teUtf16BE:
      return u"UTF-16";
    default:
      return NameOfCodePage(CodePage);
  }
}

String TXmlTextFile::EncodingDisplayName() const {
  switch (Encoding) {
    case teUtf8:
      return u"utf-8";
    case teUtf16LE:
      return u"unicode";
    case teUtf16BE:
      return u"unicodeFFFE";
    default:
      return CodePage ? NameOfCodePage(CodePage) : u"windows-1252";
  }
}
