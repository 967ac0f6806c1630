// Arbitrary bytes through the text decoder: every encoding, line and delimiter mode.
#include <cstdint>
#include <cstdlib>

#include "lib/core/kyexceptions.h"
#include "lib/core/kystreams.h"
#include "lib/core/kytextfile.h"

namespace {

// The units of a UTF-16 input after its mark, as the reader must give them back.
String Units(const std::uint8_t* data, size_t size, bool big, size_t skip) {
  String out;
  for (size_t i = skip; i + 1 < size; i += 2)
    out.push_back(static_cast<Char>(big ? (data[i] << 8) | data[i + 1] : data[i] | (data[i + 1] << 8)));
  return out;
}

void Run(const std::uint8_t* data, size_t size, Byte encoding, int codePage, Char delimiter, bool keep) {
  TReadOnlyMemoryStream stream(data, size);
  TKyTextFile f;
  f.SetEncoding(encoding);
  f.CodePage = codePage;
  f.KeepLineBreaks = keep;
  f.Open(&stream, false);
  f.PeekChar(0);
  f.PeekChar(3);
  String all, line;
  size_t reads = 0;
  for (;;) {
    try {
      if (!f.ReadLine(delimiter, line)) break;
    } catch (const EUft8Exception&) {
      if (f.Encoding != TKyTextFile::ekUtf8) std::abort();
      all.clear();
      encoding = 0xFF;  // the comparison below no longer holds
      continue;
    }
    all += line;
    // Every read consumes at least one byte.
    if (++reads > size + 1) std::abort();
    f.PeekChar(1);
  }
  if (!f.Eof()) std::abort();
  bool complete = keep || delimiter != 0;
  if (complete && encoding != 0xFF && (f.Encoding == TKyTextFile::ekUtf16LE || f.Encoding == TKyTextFile::ekUtf16BE)) {
    String expected = Units(data, size, f.IsBigEndian(), f.HadBom ? 2 : 0);
    if (all != expected) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static const int kCodePages[] = {0, 1252, 932, 936, 949, 950};
  for (Byte encoding = 0; encoding < 4; ++encoding) {
    for (Char delimiter : {Char(0), Char(u'<'), Char(u'\\'), Char(0x20AC)}) {
      int cp = encoding == 0 ? kCodePages[(size ? data[0] : 0) % 6] : 0;
      Run(data, size, encoding, cp, delimiter, size > 1 && (data[1] & 1));
    }
  }
  return 0;
}
