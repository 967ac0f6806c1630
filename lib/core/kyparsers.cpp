#include "lib/core/kyparsers.h"

#include "lib/core/kysysutils.h"
#include "lib/core/kystrutils.h"

namespace {

String ToWide(const String& s) { return s; }
String ToWide(const std::string& s) { return BytesToWide(s); }

bool IsParserWhitespace(unsigned c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

}  // namespace

template <typename C>
TKyParserOf<C>::TKyParserOf(std::basic_string_view<C> text, bool quoted, C separator)
    : Text(text), Separator(separator) {
  Quoted = quoted;
  Position = 1;
  Size = static_cast<int>(Text.size()) + 1;
}

template <typename C>
C TKyParserOf<C>::ReadChar() {
  if (Position < 1 || Position >= Size) return C(0);
  return Text[static_cast<size_t>(Position++ - 1)];
}

template <typename C>
void TKyParserOf<C>::SkipWhitespace() {
  if (Position < 1) Position = 1;
  while (Position < Size && IsParserWhitespace(static_cast<unsigned>(Text[Position - 1]) & 0xFFFF)) ++Position;
}

template <typename C>
bool TKyParserOf<C>::IsSeparator(C c) const {
  if (SeparatorIsWhitespace) {
    if constexpr (sizeof(C) == 1)
      return IsWhitespace(c);
    else
      return ::IsWhitespace(static_cast<Char>(c));
  }
  return c == Separator;
}

template <typename C>
typename TKyParserOf<C>::TText TKyParserOf<C>::NextToken() {
  // Size follows the text, so that a parser whose Text was replaced stays in bounds.
  Size = static_cast<int>(Text.size()) + 1;
  if (Text.empty() || Position > Size) {
    // Used up: a loop "while Position <= Size" ends here even on an empty text.
    Position = Size + 1;
    return TText();
  }
  if (Position < 1) Position = 1;
  size_t len = Text.size();
  size_t i = static_cast<size_t>(Position - 1);
  TText token;
  C quote = C(0);
  if (Quoted && i < len && (Text[i] == C('\'') || Text[i] == C('"'))) quote = Text[i++];
  if (quote) {
    // Inside quotes a doubled quote is one quote; the first single one closes the token.
    size_t start = i;
    bool closed = false;
    while (i < len) {
      if (Text[i] == quote) {
        if (i + 1 < len && Text[i + 1] == quote) {
          i += 2;
          continue;
        }
        closed = true;
        break;
      }
      ++i;
    }
    if constexpr (sizeof(C) == 1)
      token = UnquoteDoubled(std::string_view(Text).substr(start, i - start), quote == C('\'') ? 1 : 2);
    else
      token = UnquoteDoubled(StringView(Text).substr(start, i - start), quote == C('\'') ? 1 : 2);
    if (closed) ++i;
    // Whatever follows the closing quote up to the separator stays with the token.
    size_t rest = i;
    while (i < len && !IsSeparator(Text[i])) ++i;
    token.append(Text, rest, i - rest);
  } else {
    size_t start = i;
    while (i < len && !IsSeparator(Text[i])) ++i;
    token = Text.substr(std::min(start, len), i - std::min(start, len));
  }
  Position = static_cast<int>(i) + 2;  // past the separator
  if (DecodeEscapes && token.find(C('#')) != TText::npos) token = ::DecodeEscapes(token, 3);
  if (TrimTokens) Trim(token);
  return token;
}

template <typename C>
int TKyParserOf<C>::NextInteger() {
  return StrToInt(ToWide(NextToken()));
}

template <typename C>
int TKyParserOf<C>::NextIntegerDef(int def) {
  return StrToIntDef(ToWide(NextToken()), def);
}

template class TKyParserOf<Char>;
template class TKyParserOf<char>;

// ---------------------------------------------------------------------------

TKyWideWhiteSpaceParser::TKyWideWhiteSpaceParser(StringView text) : Text(text) {
  Whitespace = TakeLeadingWhitespace(Text);
}

String TKyWideWhiteSpaceParser::NextWord() {
  if (Text.empty()) return String();
  String lead = TakeLeadingWhitespace(Text);
  if (!lead.empty()) Whitespace = lead;
  String word = TakeWord(Text, false);
  Whitespace = TakeLeadingWhitespace(Text);
  return word;
}

std::int64_t TKyWideWhiteSpaceParser::NextInt64() {
  String word = NextWord();
  return word.empty() ? 0 : StrToInt64(word);
}
