// The Windows conversion and the MLang service.
#include <gtest/gtest.h>

#include "lib/core/win/kywin.h"

#include <set>

#include "lib/core/kycodepages.h"
#include "lib/core/kystrutils.h"

namespace {

const String kJapanese = u"\u65E5\u672C\u8A9E";

}  // namespace

TEST(MLang, ConvertsStatefulAndEucCodePages) {
  InitMultiLanguage();
  TMultiLanguage ml;
  RawBytes jis = ml.UnicodeToCodePage(kJapanese, 50220);
  EXPECT_EQ(jis, "\x1B$BF|K\\8l\x1B(B");
  EXPECT_EQ(ml.CodePageToUnicode(jis, 50220), kJapanese);
  RawBytes euc = ml.UnicodeToCodePage(u"a" + kJapanese, 51932);
  EXPECT_EQ(euc, "a\xC6\xFC\xCB\xDC\xB8\xEC");
  EXPECT_EQ(ml.CodePageToUnicode(euc, 51932), u"a" + kJapanese);
  // A long mixed text needs more than two bytes per unit in ISO-2022-JP.
  String mixed;
  for (int i = 0; i < 200; ++i) mixed += (i % 2) ? u'x' : u'\u65E5';
  EXPECT_EQ(ml.CodePageToUnicode(ml.UnicodeToCodePage(mixed, 50220), 50220), mixed);
  EXPECT_TRUE(ml.Available());
}

TEST(MLang, EnumeratesCodePagesWithNames) {
  InitMultiLanguage();
  TMultiLanguage ml;
  std::set<int> seen;
  String utf8Name;
  ml.EnumCodePages([&](int cp, StringView web, StringView) {
    seen.insert(cp);
    if (cp == 65001) utf8Name = String(web);
  });
  EXPECT_TRUE(ml.Available());
  EXPECT_TRUE(seen.count(1252));
  EXPECT_TRUE(seen.count(50220));
  EXPECT_EQ(utf8Name, u"utf-8");
}

TEST(WinCodePages, FlagsFromTheSystemAndMLang) {
  TKyCodePageDatas& t = CodePageDatas();
  EXPECT_EQ(t.GetCodePageFlags(1252), 3);
  EXPECT_FALSE(t.IsMLangOnlyCodePage(1252));
  EXPECT_TRUE(t.GetCodePageFlags(932) & (1 << cfInstalled));
  EXPECT_TRUE(t.GetCodePageFlags(50220) & (1 << cfMLang));
  EXPECT_EQ(t.GetCodePageFlags(50000), 0);
  EXPECT_EQ(GetSystemCodePage(), static_cast<int>(GetACP()));
}

TEST(WinCodePages, ConversionFallsBackToMLang) {
  // The kernel refuses these; the string helpers still convert them.
  for (int cp : {50220, 51932}) {
    RawBytes bytes = WideToCodePage(kJapanese, cp);
    EXPECT_FALSE(bytes.empty()) << cp;
    EXPECT_EQ(CodePageToWide(bytes, cp), kJapanese) << cp;
  }
  EXPECT_EQ(WideToCodePage(StringView(u"a\0\u00E9", 3), 1252), RawBytes("a\0\xE9", 3));
  // Code pages that reject the used-default query.
  EXPECT_TRUE(CanEncode(u'\u65E5', 65001));
  EXPECT_FALSE(CanEncode(u'\u65E5', 1252));
  EXPECT_FALSE(CanEncode(u'\u03A9', 1252));  // best fit would give "O"
  EXPECT_TRUE(CanEncode(u'\u20AC', 1252));
  EXPECT_TRUE(IsLeadByteOf(932, 0x93));
  EXPECT_FALSE(IsLeadByteOf(932, 0x41));
}
