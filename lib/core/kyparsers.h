// Token parsers over wide and 8-bit strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "lib/core/kytypes.h"

class TKyParser {
 public:
  virtual ~TKyParser() = default;

  bool DecodeEscapes = false;  // "#" escapes in tokens, line breaks CR LF
  bool TrimTokens = false;
  int Position = 1;            // 1-based index of the next character
  int Size = 1;                // text length + 1
  bool Quoted = false;         // tokens may be enclosed in ' or "
  bool SeparatorIsWhitespace = false;

  bool AtEnd() const { return Position >= Size; }
};

// C is Char (TKyWideParser) or char (TKyAnsiParser).
template <typename C>
class TKyParserOf : public TKyParser {
 public:
  using TText = std::basic_string<C>;

  TKyParserOf(std::basic_string_view<C> text, bool quoted, C separator);

  TText Text;
  C Separator;

  // The character at Position (advancing); #0 at the end.
  C ReadChar();
  // Skips TAB, LF, CR and space.
  void SkipWhitespace();
  // The next token; separators inside a quoted token belong to it. An empty token once
  // the text is used up.
  TText NextToken();
  // EConvertError when the token is not a number.
  int NextInteger();
  int NextIntegerDef(int def);

 private:
  bool IsSeparator(C c) const;
};

extern template class TKyParserOf<Char>;
extern template class TKyParserOf<char>;

using TKyWideParser = TKyParserOf<Char>;
using TKyAnsiParser = TKyParserOf<char>;

// Words separated by whitespace (TAB, LF, CR, space, no-break space).
class TKyWideWhiteSpaceParser {
 public:
  // Drops leading whitespace.
  explicit TKyWideWhiteSpaceParser(StringView text);

  String Text;        // the unread rest
  String Whitespace;  // the whitespace that preceded the rest

  // Empty when nothing is left.
  String NextWord();
  // 0 for an empty word; EConvertError when not a number.
  std::int64_t NextInt64();
};
