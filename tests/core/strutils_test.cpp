// String helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystrutils.h"

TEST(StrUtils, CharacterClasses) {
  for (Char c : {u'\t', u' ', u'\u00A0'}) EXPECT_TRUE(IsSpace(c));
  for (Char c : {u'\n', u'\r'}) EXPECT_TRUE(IsWhitespace(c) && !IsSpace(c));
  EXPECT_FALSE(IsWhitespace(u'\u2003'));
  EXPECT_FALSE(IsWhitespace('\xA0'));
  EXPECT_TRUE(IsWhitespace('\r'));
  EXPECT_TRUE(IsAllWhitespace(u"\u00A0"));
  EXPECT_TRUE(IsAllWhitespace(u""));
  EXPECT_FALSE(IsAllWhitespace(u" x "));
  EXPECT_FALSE(IsAllWhitespace(std::string_view("\xA0")));
  EXPECT_TRUE(IsLetter(u'\u00E4'));
  EXPECT_TRUE(IsLetter(u'\u0416'));
  EXPECT_FALSE(IsLetter(u'1'));
  EXPECT_TRUE(IsLetterOrDigit(u'1'));
  EXPECT_FALSE(IsLetterOrDigit(u'-'));
  EXPECT_TRUE(IsDigit(u'9'));
  EXPECT_FALSE(IsDigit(u'\u0663'));  // only ASCII digits
  EXPECT_TRUE(IsUpper(u'\u00C4'));
  EXPECT_FALSE(IsUpper(u'\u00E4'));
  EXPECT_TRUE(IsLower(u'\u00E4'));
  EXPECT_TRUE(IsUpper(u'1') && IsLower(u'1'));
  EXPECT_EQ(CountChar(u"a,b,,c", u','), 3);
  EXPECT_EQ(CountChar(std::string_view("xx"), 'y'), 0);
}

TEST(StrUtils, CaseAndTrimming) {
  EXPECT_EQ(Capitalize(u"HTML"), u"Html");
  EXPECT_EQ(Capitalize(u"\u00E4PFEL"), u"\u00C4pfel");
  EXPECT_EQ(Capitalize(u""), u"");

  String s = u"\u00A0\t a b \r\n";
  EXPECT_EQ(TrimLeft(s), u"a b \r\n");
  EXPECT_EQ(TrimRight(s), u"a b");
  String t = u"  \n  ";
  EXPECT_EQ(Trim(t), u"");
  RawBytes b = " \xA0x\t";
  EXPECT_EQ(Trim(b), "\xA0x");

  String w = u"  word  rest ";
  EXPECT_EQ(TakeLeadingWhitespace(w), u"  ");
  EXPECT_EQ(TakeTrailingWhitespace(w), u" ");
  EXPECT_EQ(TakeWord(w, false), u"word");
  EXPECT_EQ(w, u"  rest");
  String w2 = u"word\u00A0 rest";
  EXPECT_EQ(TakeWord(w2, true), u"word");
  EXPECT_EQ(w2, u"rest");
  EXPECT_EQ(TakeWord(w2, true), u"rest");
  EXPECT_EQ(w2, u"");

  String c = u"abc";
  EXPECT_EQ(CutFirst(c, 2), u"ab");
  EXPECT_EQ(c, u"c");
  EXPECT_EQ(CutFirst(c, 5), u"c");
  EXPECT_EQ(c, u"");
  String d = u"x";
  EXPECT_EQ(CutFirst(d, -1), u"");
  EXPECT_EQ(d, u"x");
}

TEST(StrUtils, QuotesAndEscapes) {
  EXPECT_EQ(UnquoteDoubled(u"it''s \"\"q\"\" '''", 1), u"it's \"\"q\"\" ''");
  EXPECT_EQ(UnquoteDoubled(u"it''s \"\"q\"\"", 2), u"it''s \"q\"");
  EXPECT_EQ(UnquoteDoubled(std::string_view("a''"), 1), "a'");

  EXPECT_EQ(DecodeEscapes(u"a#nb#41#", 3), u"a\r\nb\x41");
  EXPECT_EQ(DecodeEscapes(u"#n", 0), u"\n");
  EXPECT_EQ(DecodeEscapes(u"#n", 1), u"\r");
  EXPECT_EQ(DecodeEscapes(u"#n", 2), u"\n\r");
  EXPECT_EQ(DecodeEscapes(u"##c#c#l#t", 3), u"#c\r\n\t");
  EXPECT_EQ(DecodeEscapes(u"#zz!#4", 3), u"?!?");
  EXPECT_EQ(DecodeEscapes(u"#e4#FF", 3), u"\u00E4\u00FF");
  EXPECT_EQ(DecodeEscapes(u"#0a", 3), u"\n");  // wide text has no "#0"
  EXPECT_EQ(DecodeEscapes(u"plain", 3), u"plain");
  EXPECT_EQ(DecodeEscapes(std::string_view("#0x#7E"), 3), std::string("\0x~", 3));
  EXPECT_EQ(BytesToWide(std::string_view("A\0\xFF", 3)), String(u"A\0\u00FF", 3));
}

TEST(StrUtils, DotNumbersIgnoreTheProcessSeparator) {
  TFormatSettings saved = FormatSettings;
  FormatSettings.DecimalSeparator = u',';
  FormatSettings.ThousandSeparator = u'.';
  EXPECT_DOUBLE_EQ(StrToFloatDot(u"1.25"), 1.25);
  EXPECT_DOUBLE_EQ(StrToFloatDot(u"-3e2"), -300);
  EXPECT_THROW(StrToFloatDot(u"1,25"), EConvertError);
  EXPECT_THROW(StrToFloatDot(u""), EConvertError);
  EXPECT_EQ(FloatToStrDot(1.5, -1), u"1.5");
  EXPECT_EQ(FloatToStrDot(2.0 / 3.0, 3), u"0.667");
  EXPECT_EQ(FloatToStrDot(1234567.5, 1), u"1234567.5");
  EXPECT_EQ(FloatToStrDot(7, 0), u"7");
  EXPECT_EQ(FormatSettings.DecimalSeparator, u',');
  EXPECT_DOUBLE_EQ(StrToFloatDot(FloatToStrDot(0.1, -1)), 0.1);
  FormatSettings = saved;
}
