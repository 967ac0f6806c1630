// Body text by charset name: UTF-8 and UTF-16 here, every other charset through the
// code-page table and the platform's conversion.
#include "resstrings.h"
#include "lib/core/kycodepages.h"
#include "lib/core/kystrutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/net/kyhttpproto.h"

namespace {

bool OneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (auto n : names)
    if (name == n) return true;
  return false;
}

// Windows-1252 in 0x80..0x9F; the rest is Latin-1.
const Char kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                              0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                              0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

String Utf16(const RawBytes& b, bool bigEndian) {
  String r;
  r.reserve(b.size() / 2);
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    unsigned lo = static_cast<unsigned char>(b[i]), hi = static_cast<unsigned char>(b[i + 1]);
    r.push_back(static_cast<Char>(bigEndian ? (lo << 8) | hi : (hi << 8) | lo));
  }
  if (b.size() % 2) r.push_back(0xFFFD);
  return r;
}

}  // namespace

String CharsetToString(const RawBytes& bytes, std::string_view charset) {
  auto startsWith = [&](std::string_view bom) { return bytes.compare(0, bom.size(), bom) == 0; };
  int codePage = 0;
  if (!charset.empty() && !OneOf(charset, {"utf-8", "utf8"}) && !OneOf(charset, {"utf-16le", "utf-16be", "utf-16"}))
    codePage = CodePageDatas().CodePageFromName(Utf8ToString(charset));
  if (charset.empty() || OneOf(charset, {"utf-8", "utf8"}) || codePage == 65001) {
    std::string_view text = bytes;
    if (startsWith("\xEF\xBB\xBF")) text.remove_prefix(3);
    return Utf8ToString(text);
  }
  if (OneOf(charset, {"utf-16le", "utf-16be", "utf-16"}) || codePage == 1200 || codePage == 1201) {
    bool big = charset == "utf-16be" || codePage == 1201;
    RawBytes b = bytes;
    if (charset == "utf-16" && b.size() >= 2) {
      if (startsWith("\xFE\xFF")) big = true;
      if (startsWith("\xFE\xFF") || startsWith("\xFF\xFE")) b.erase(0, 2);
    }
    return Utf16(b, big);
  }
  if (codePage != 0 && bytes.empty()) return String();
  if (codePage != 0) {
    String text = CodePageToWide(bytes, codePage);
    if (!text.empty()) return text;
  }
  // Spellings the table may lack, and a platform without that conversion.
  if (OneOf(charset, {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "latin-1", "l1", "us-ascii", "ascii",
                      "windows-1252", "cp1252", "x-cp1252"})) {
    bool cp1252 = charset.find("1252") != std::string_view::npos;
    String r;
    r.reserve(bytes.size());
    for (unsigned char c : bytes) r.push_back(cp1252 && c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : static_cast<Char>(c));
    return r;
  }
  throw ENetError(Format(SHttpUnsupportedCharset, {Utf8ToString(charset)}));
}
