#include "lib/install/kytextlines.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyinstallutil.h"
#include "resstrings.h"

namespace {
String DecodeUtf16(const RawBytes& b, size_t start, bool bigEndian) {
  String s;
  s.reserve((b.size() - start) / 2);
  for (size_t i = start; i + 1 < b.size(); i += 2) {
    auto lo = static_cast<unsigned char>(b[i]), hi = static_cast<unsigned char>(b[i + 1]);
    s += bigEndian ? static_cast<Char>(lo << 8 | hi) : static_cast<Char>(hi << 8 | lo);
  }
  return s;
}

String Decode(const RawBytes& b) {
  auto at = [&](size_t i) { return static_cast<unsigned char>(b[i]); };
  if (b.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return Utf8ToString(std::string_view(b).substr(3));
  if (b.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) return DecodeUtf16(b, 2, false);
  if (b.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) return DecodeUtf16(b, 2, true);
  return AnsiBytesToString(b);
}

std::uint32_t AccessDeniedCode() {
#ifdef _WIN32
  return 5;
#else
  return 13;
#endif
}
}  // namespace

void ReadTextLines(const String& fileName, TStringList& lines) {
  lines.Clear();
  TMemoryStream m;
  m.LoadFromFile(fileName);
  String text = Decode(m.Bytes());
  size_t i = 0, start = 0;
  while (i < text.size()) {
    Char c = text[i];
    if (c == u'\r' || c == u'\n') {
      lines.Add(text.substr(start, i - start));
      Char other = c == u'\r' ? u'\n' : u'\r';
      ++i;
      if (i < text.size() && text[i] == other) ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.Add(text.substr(start));
}

void WriteUtf8Lines(const String& fileName, const TStringList& lines) {
  if (IsFileReadOnly(fileName))
    throw EFCreateError(Format(SFCreateError, {fileName, SysErrorMessage(AccessDeniedCode())}));
  std::string bytes = "\xEF\xBB\xBF";
  for (int i = 0; i < lines.Count(); ++i) {
    bytes += StringToUtf8(lines[i]);
    bytes += "\r\n";
  }
  String dir = ExtractFileDir(fileName);
  String temp = CreateTempFile(u"tvu", dir.empty() ? GetCurrentDir() : dir);
  try {
    TFileStream f(temp, fmCreate);
    f.WriteBuffer(bytes.data(), bytes.size());
    f.Flush();
  } catch (...) {
    RemoveFile(temp);
    throw;
  }
  if (!ReplaceFileWith(temp, fileName)) {
    std::uint32_t code = GetLastOSError();
    RemoveFile(temp);
    throw EFCreateError(Format(SFCreateError, {fileName, SysErrorMessage(code)}));
  }
}
