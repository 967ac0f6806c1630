// Token parsers.
#include <gtest/gtest.h>

#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyparsers.h"

namespace {

template <typename P>
auto AllTokens(P& p) {
  std::vector<typename P::TText> out;
  for (int guard = 0; guard < 100 && p.Position <= p.Size; ++guard) out.push_back(p.NextToken());
  return out;
}

using W = std::vector<String>;
using A = std::vector<std::string>;

}  // namespace

TEST(WideParser, PlainFields) {
  TKyWideParser p(u"a,,b c,", false, u',');
  EXPECT_EQ(p.Size, 8);
  EXPECT_EQ(AllTokens(p), (W{u"a", u"", u"b c", u""}));
  EXPECT_TRUE(p.AtEnd());
  EXPECT_EQ(p.NextToken(), u"");

  TKyWideParser empty(u"", true, u',');
  EXPECT_TRUE(empty.AtEnd());
  EXPECT_EQ(AllTokens(empty), (W{u""}));  // a loop over the positions ends

  TKyWideParser ws(u"one\ttwo  three", false, u',');
  ws.SeparatorIsWhitespace = true;
  EXPECT_EQ(AllTokens(ws), (W{u"one", u"two", u"", u"three"}));
}

TEST(WideParser, QuotedTokens) {
  TKyWideParser p(u"'a,b',c", true, u',');
  EXPECT_EQ(AllTokens(p), (W{u"a,b", u"c"}));

  TKyWideParser q(u"\"x\"\"y\"", true, u',');
  EXPECT_EQ(q.NextToken(), u"x\"y");

  // A doubled quote right before a separator stays inside the token.
  TKyWideParser d(u"'it'',s',\"say \"\"hi\"\"\",'',x", true, u',');
  EXPECT_EQ(AllTokens(d), (W{u"it',s", u"say \"hi\"", u"", u"x"}));

  // The other kind of quote is plain text inside a quoted token.
  TKyWideParser k(u"'a\"b',c'd", true, u',');
  EXPECT_EQ(AllTokens(k), (W{u"a\"b", u"c'd"}));

  // Without Quoted, quotes are ordinary characters.
  TKyWideParser n(u"'a,b'", false, u',');
  EXPECT_EQ(AllTokens(n), (W{u"'a", u"b'"}));

  // An unterminated quote takes the rest of the text without losing its last character.
  TKyWideParser u(u"'abc", true, u',');
  EXPECT_EQ(AllTokens(u), (W{u"abc"}));
}

TEST(WideParser, EscapesTrimAndNulSeparator) {
  TKyWideParser p(u" a#nb ; #41#t ;##", false, u';');
  p.DecodeEscapes = true;
  p.TrimTokens = true;
  EXPECT_EQ(AllTokens(p), (W{u"a\r\nb", u"A", u"#"}));

  String text(u"one\0two\0", 8);
  TKyWideParser z(text, false, u'\0');
  EXPECT_EQ(AllTokens(z), (W{u"one", u"two", u""}));
}

TEST(WideParser, CharactersAndIntegers) {
  TKyWideParser p(u" \t\r\n\u00A0x", false, u',');
  p.SkipWhitespace();
  EXPECT_EQ(p.ReadChar(), u'\u00A0');  // no-break space is not skipped here
  EXPECT_EQ(p.ReadChar(), u'x');
  EXPECT_EQ(p.ReadChar(), u'\0');
  EXPECT_TRUE(p.AtEnd());

  TKyWideParser n(u"12,-7,x,,$1F", false, u',');
  EXPECT_EQ(n.NextInteger(), 12);
  EXPECT_EQ(n.NextInteger(), -7);
  EXPECT_THROW(n.NextInteger(), EConvertError);
  EXPECT_EQ(n.NextIntegerDef(5), 5);
  EXPECT_EQ(n.NextIntegerDef(5), 31);
  EXPECT_EQ(n.NextIntegerDef(5), 5);  // past the end
}

TEST(AnsiParser, SameRulesOverBytes) {
  TKyAnsiParser p("'a,b',\"x\"\"y\", c\xA0 ", true, ',');
  p.TrimTokens = true;
  // 8-bit whitespace has no no-break space.
  EXPECT_EQ(AllTokens(p), (A{"a,b", "x\"y", "c\xA0"}));

  TKyAnsiParser e("#0#41#", false, ',');
  e.DecodeEscapes = true;
  EXPECT_EQ(e.NextToken(), std::string("\0A", 2));
  TKyAnsiParser n("42", false, ',');
  EXPECT_EQ(n.NextInteger(), 42);
}

TEST(WhiteSpaceParser, Words) {
  TKyWideWhiteSpaceParser p(u" \u00A0 alpha\tbeta\r\n 12  ");
  EXPECT_EQ(p.Text, u"alpha\tbeta\r\n 12  ");
  EXPECT_EQ(p.NextWord(), u"alpha");
  EXPECT_EQ(p.Whitespace, u"\t");
  EXPECT_EQ(p.NextWord(), u"beta");
  EXPECT_EQ(p.Whitespace, u"\r\n ");
  EXPECT_EQ(p.NextInt64(), 12);
  EXPECT_EQ(p.Text, u"");
  EXPECT_EQ(p.NextWord(), u"");
  EXPECT_EQ(p.NextInt64(), 0);

  TKyWideWhiteSpaceParser big(u"9007199254740993 x");
  EXPECT_EQ(big.NextInt64(), 9007199254740993LL);
  EXPECT_THROW(big.NextInt64(), EConvertError);
}
