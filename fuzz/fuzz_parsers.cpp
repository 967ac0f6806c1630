// Token parsers, escapes and name lookup on arbitrary input: no crash, no endless loop,
// and every token comes from the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lib/core/kycodepages.h"
#include "lib/core/kyparsers.h"
#include "lib/core/kystrutils.h"

namespace {

template <typename P>
void Drain(P& p, std::uint8_t flags) {
  p.Quoted = flags & 1;
  p.DecodeEscapes = flags & 2;
  p.TrimTokens = flags & 4;
  p.SeparatorIsWhitespace = flags & 8;
  size_t tokens = 0;
  size_t limit = p.Text.size() + 2;
  while (p.Position <= p.Size) {
    int before = p.Position;
    auto t = p.NextToken();
    if (!p.DecodeEscapes && t.size() > p.Text.size()) std::abort();
    if (p.Position <= before) std::abort();  // every call moves on
    if (++tokens > limit) std::abort();
  }
  p.Position = 1;
  p.NextIntegerDef(0);
  p.SkipWhitespace();
  while (!p.AtEnd()) p.ReadChar();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::uint8_t flags = data[0];
  char separator = static_cast<char>(data[1]);
  std::string bytes(reinterpret_cast<const char*>(data + 2), size - 2);

  TKyAnsiParser a(bytes, flags & 1, separator);
  Drain(a, flags);

  String wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide += static_cast<Char>(static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8);
  TKyWideParser w(wide, flags & 1, static_cast<Char>(static_cast<std::uint8_t>(separator)));
  Drain(w, flags);
  TKyWideParser b(BytesToWide(bytes), flags & 1, static_cast<Char>(static_cast<std::uint8_t>(separator)));
  Drain(b, flags);

  TKyWideWhiteSpaceParser ws(BytesToWide(bytes));
  for (size_t n = 0; !ws.Text.empty(); ++n) {
    size_t before = ws.Text.size();
    ws.NextWord();
    if (ws.Text.size() >= before || n > bytes.size()) std::abort();
  }

  DecodeEscapes(std::string_view(bytes), flags & 3);
  DecodeEscapes(StringView(wide), flags & 3);
  UnquoteDoubled(StringView(wide), 1 + (flags & 1));
  static TKyCodePageDatas table;
  table.FindCodePageByName(BytesToWide(bytes.substr(0, 64)));
  return 0;
}
