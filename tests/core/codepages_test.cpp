// The code-page table, the conversion service wrapper and the conversion fall-backs.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "lib/core/kycodepages.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kystrutils.h"
#include "resstrings.h"

namespace {

// Scripted service: results per call and a record list for the enumeration.
class TFakeService : public IKyCodePageService {
 public:
  TKyResult InitResult = KY_S_OK;
  TKyResult ConvertResult = KY_S_OK;
  TKyResult StartResult = KY_S_OK;
  std::vector<std::pair<TKyResult, int>> Records;  // result of Next, code page
  size_t NextIndex = 0;
  int Calls = 0;
  int LastInitSource = 0, LastInitTarget = 0;
  int BytesPerUnit = 1;  // how many bytes FromUnicode writes per unit
  unsigned ReportedLength = ~0u;

  TKyResult InitializeConverter(bool, int source, int target) override {
    LastInitSource = source;
    LastInitTarget = target;
    return InitResult;
  }
  TKyResult ToUnicode(std::string_view src, Char* dst, unsigned& dstLen) override {
    ++Calls;
    if (ConvertResult != KY_S_OK) return ConvertResult;
    unsigned n = 0;
    for (char c : src) {
      if (n >= dstLen) return KY_E_FAIL;
      dst[n++] = static_cast<Char>(u'A' + (static_cast<Byte>(c) % 26));
    }
    dstLen = std::min(n, ReportedLength);
    return KY_S_OK;
  }
  TKyResult FromUnicode(StringView src, char* dst, unsigned& dstLen) override {
    ++Calls;
    if (ConvertResult != KY_S_OK) return ConvertResult;
    unsigned n = 0;
    for (Char c : src)
      for (int k = 0; k < BytesPerUnit; ++k) {
        if (n >= dstLen) return KY_E_FAIL;
        dst[n++] = static_cast<char>(c);
      }
    dstLen = std::min(n, ReportedLength);
    return KY_S_OK;
  }
  TKyResult StartEnum() override {
    NextIndex = 0;
    return StartResult;
  }
  TKyResult NextCodePage(TKyServiceCodePage& record) override {
    if (NextIndex >= Records.size()) return KY_S_FALSE;
    auto [r, cp] = Records[NextIndex++];
    record.CodePage = cp;
    record.WebCharset = String(60, u'w');
    record.Description = String(80, u'd');
    return r;
  }
};

// Scripted platform conversion: per code page, whether each flag variant works.
class TFakePlatform : public IKyPlatformConversion {
 public:
  std::set<int> Installed;
  std::set<int> CompositeFails;  // fails with composite checking only
  std::set<int> AlwaysFails;
  std::set<int> ReturnsEmpty;
  int Calls = 0;
  bool SawNul = false;

  bool FromWide(StringView s, int cp, bool composite, RawBytes& out, bool& usedDefault,
                std::uint32_t& lastError) override {
    ++Calls;
    SawNul |= s.find(u'\0') != StringView::npos;
    usedDefault = false;
    if (AlwaysFails.count(cp) || (composite && CompositeFails.count(cp))) {
      lastError = 87;
      return false;
    }
    out.clear();
    if (ReturnsEmpty.count(cp)) return true;
    for (Char c : s) out += static_cast<char>(c < 0x100 ? c : '?');
    return true;
  }
  bool ToWide(std::string_view s, int cp, String& out) override {
    ++Calls;
    SawNul |= s.find('\0') != std::string_view::npos;
    if (AlwaysFails.count(cp)) return false;
    out = BytesToWide(s);
    return true;
  }
  void EnumInstalledCodePages(const std::function<void(int)>& callback) override {
    for (int cp : Installed) callback(cp);
  }
};

TMultiLanguage MakeService(TFakeService*& fake) {
  auto owned = std::make_unique<TFakeService>();
  fake = owned.get();
  return TMultiLanguage(std::move(owned));
}

String MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message();
  }
  return u"(no exception)";
}

}  // namespace

TEST(CodePageTable, EveryNameFindsItsOwnEntry) {
  TKyCodePageDatas t;
  ASSERT_EQ(t.Count(), 148);
  std::set<int> codePages;
  for (int i = 0; i < t.Count(); ++i) {
    const TKyCodePageObject& e = t.GetCodePageEntry(i);
    EXPECT_EQ(e.Index, i);
    EXPECT_EQ(e.Flags, 0);
    EXPECT_TRUE(codePages.insert(e.CodePage).second) << e.CodePage;
    EXPECT_EQ(t.FindCodePage(e.CodePage), &e);
    ASSERT_FALSE(e.Names.empty());
    for (const String& n : e.Names) {
      EXPECT_FALSE(n.empty());
      EXPECT_EQ(t.FindCodePageByName(n), &e) << e.CodePage;
    }
  }
  EXPECT_THROW(t.GetCodePageEntry(148), ERangeError);
  EXPECT_THROW(t.GetCodePageEntry(-1), ERangeError);
}

TEST(CodePageTable, KindsFollowTheGroups) {
  TKyCodePageDatas t;
  std::map<int, int> perKind;
  for (int i = 0; i < t.Count(); ++i) ++perKind[t.GetCodePageEntry(i).Kind];
  EXPECT_EQ(perKind[ekWindows], 14);
  EXPECT_EQ(perKind[ekIso], 19);
  EXPECT_EQ(perKind[ekMac], 16);
  EXPECT_EQ(perKind[ekDos], 18);
  EXPECT_EQ(perKind[ekEbcdic], 40);
  EXPECT_EQ(perKind[ekOther], 37);
  EXPECT_EQ(perKind[ekUtf16LE], 1);
  EXPECT_EQ(perKind[ekUtf16BE], 1);
  EXPECT_EQ(perKind[ekUtf8], 2);
  EXPECT_EQ(perKind.count(3), 0u);
  EXPECT_EQ(t.GetCodePageEntry(0).CodePage, 1252);
  EXPECT_EQ(t.GetCodePageEntry(147).CodePage, 65001);
}

TEST(CodePageTable, NameLookup) {
  TKyCodePageDatas t;
  EXPECT_EQ(t.CodePageFromName(u"UTF8"), 65001);  // second pass only
  EXPECT_EQ(t.CodePageFromName(u"ISO8859_1"), 28591);
  EXPECT_EQ(t.CodePageFromName(u"iso 8859 15"), 28605);
  EXPECT_EQ(t.CodePageFromName(u"MS_Kanji"), 932);
  EXPECT_EQ(t.CodePageFromName(u"CSSHIFTJIS"), 932);
  EXPECT_EQ(t.CodePageFromName(u"ISO-8859-8-I"), 38598);
  EXPECT_EQ(t.CodePageFromName(u"no-such-charset"), 0);
  EXPECT_EQ(t.FindCodePageByName(u""), nullptr);
  EXPECT_EQ(t.FindCodePageByName(u"-_ "), nullptr);
  EXPECT_EQ(t.FindCodePage(0), nullptr);
  EXPECT_EQ(t.GetCodePageName(932), u"shift_jis");
  EXPECT_EQ(t.GetCodePageName(1201), u"unicodeFFFE");
  EXPECT_EQ(t.GetCodePageName(12345), u"");
}

TEST(CodePageTable, EncodingKind) {
  TKyCodePageDatas t;
  EXPECT_EQ(t.GetEncodingKind(u"UTF-8"), ekUtf8);
  EXPECT_EQ(t.GetEncodingKind(u"utf-7"), ekUtf8);
  for (StringView n : {u"ucs-2", u"UTF-16", u"Unicode", u"iso-10646-ucs-2"}) EXPECT_EQ(t.GetEncodingKind(n), ekUtf16LE);
  EXPECT_EQ(t.GetEncodingKind(u"unicodefffe"), ekUtf16BE);
  EXPECT_EQ(t.GetEncodingKind(u"iso-8859-2"), ekIso);
  EXPECT_EQ(t.GetEncodingKind(u"IBM037"), ekEbcdic);
  EXPECT_EQ(t.GetEncodingKind(u"koi8-r"), ekOther);
  EXPECT_EQ(t.GetEncodingKind(u"ibm850"), ekDos);
  EXPECT_EQ(t.GetEncodingKind(u"whatever"), ekOther);
  EXPECT_EQ(t.GetEncodingKind(u""), ekOther);
}

TEST(CodePageTable, Flags) {
  TKyCodePageDatas t;
  t.SetCodePageFlag(932, cfInstalled);
  t.SetCodePageFlag(932, cfMLang);
  t.SetCodePageFlag(50220, cfMLang);
  t.SetCodePageFlag(12345, cfMLang);  // not in the table: nothing happens
  EXPECT_EQ(t.GetCodePageFlags(932), 3);
  EXPECT_FALSE(t.IsMLangOnlyCodePage(932));
  EXPECT_TRUE(t.IsMLangOnlyCodePage(50220));
  EXPECT_FALSE(t.IsMLangOnlyCodePage(1252));
  EXPECT_EQ(t.GetCodePageFlags(12345), 0);
  t.ClearFlags();
  EXPECT_EQ(t.GetCodePageFlags(932), 0);
}

TEST(CodePageTable, PopulateFromPlatformAndService) {
  TKyCodePageDatas t;
  t.SetCodePageFlag(437, cfMLang);  // stale flags go
  TFakePlatform platform;
  platform.Installed = {1252, 932, 99999};
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  fake->Records = {{KY_S_OK, 932}, {KY_E_FAIL, 1250}, {KY_S_OK, 50220}, {KY_S_OK, 50000}};
  PopulateCodePageDatas(t, service, platform);
  EXPECT_EQ(t.GetCodePageFlags(1252), 1);
  EXPECT_EQ(t.GetCodePageFlags(932), 3);
  EXPECT_EQ(t.GetCodePageFlags(1250), 0);  // its record failed
  EXPECT_TRUE(t.IsMLangOnlyCodePage(50220));
  EXPECT_EQ(t.GetCodePageFlags(437), 0);
  EXPECT_TRUE(service.Available());
}

TEST(CodePageTable, FailingServiceLeavesOnlyInstalledFlags) {
  TKyCodePageDatas t;
  TFakePlatform platform;
  platform.Installed = {1252};
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  fake->StartResult = KY_E_FAIL;
  fake->Records = {{KY_S_OK, 932}};
  PopulateCodePageDatas(t, service, platform);
  EXPECT_FALSE(service.Available());
  EXPECT_EQ(t.GetCodePageFlags(1252), 1);
  EXPECT_EQ(t.GetCodePageFlags(932), 0);
}

TEST(MultiLanguage, EnumerationCutsNamesAndEndsOnEndlessFailures) {
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  fake->Records.assign(1000, {KY_E_FAIL, 1252});
  fake->Records.push_back({KY_S_OK, 932});
  int calls = 0;
  service.EnumCodePages([&](int, StringView, StringView) { ++calls; });
  EXPECT_EQ(calls, 0);  // gave up long before the good record

  fake->Records = {{KY_S_OK, 932}};
  service.EnumCodePages([&](int cp, StringView web, StringView desc) {
    EXPECT_EQ(cp, 932);
    EXPECT_EQ(web.size(), 49u);
    EXPECT_EQ(desc.size(), 63u);
  });
  // A callback that throws switches the service off instead of escaping.
  service.EnumCodePages([](int, StringView, StringView) { throw EKyException(u"x"); });
  EXPECT_FALSE(service.Available());
}

TEST(MultiLanguage, ResultChecks) {
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  fake->InitResult = KY_S_FALSE;
  EXPECT_EQ(MessageOf([&] { service.CodePageToUnicode("ab", 50220); }), LoadResString(SUnknownCodePage));
  EXPECT_TRUE(service.Available());
  fake->InitResult = static_cast<TKyResult>(0x80070057u);  // another failure still fails
  EXPECT_EQ(MessageOf([&] { service.UnicodeToCodePage(u"ab", 50220); }), LoadResString(SCouldNotInitConverter));
  EXPECT_TRUE(service.Available());
  fake->InitResult = KY_S_OK;
  fake->ConvertResult = KY_S_FALSE;
  EXPECT_EQ(MessageOf([&] { service.UnicodeToCodePage(u"ab", 50220); }), LoadResString(SUnknownCodePage));
  fake->ConvertResult = KY_E_FAIL;
  EXPECT_EQ(MessageOf([&] { service.CodePageToUnicode("ab", 50220); }), LoadResString(SCouldNotConvert));
  EXPECT_FALSE(service.Available());
  fake->InitResult = KY_E_FAIL;
  EXPECT_EQ(MessageOf([&] { service.CodePageToUnicode("ab", 50220); }), LoadResString(SCouldNotInitConverter));
}

TEST(MultiLanguage, ConvertersAndLengths) {
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  EXPECT_EQ(service.CodePageToUnicode("\x01\x02", 51932), u"BC");
  EXPECT_EQ(fake->LastInitSource, 51932);
  EXPECT_EQ(fake->LastInitTarget, 1200);
  fake->ReportedLength = 1;
  EXPECT_EQ(service.CodePageToUnicode("\x01\x02", 51932), u"B");
  fake->ReportedLength = ~0u;
  // Encodings that need more than two bytes per unit keep their whole text.
  fake->BytesPerUnit = 5;
  EXPECT_EQ(service.UnicodeToCodePage(u"ab", 50220), "aaaaabbbbb");
  EXPECT_EQ(fake->LastInitSource, 1200);
  EXPECT_EQ(fake->LastInitTarget, 50220);
}

TEST(CodePageConversion, ChoosesServiceOrPlatform) {
  TKyCodePageDatas t;
  t.SetCodePageFlag(50220, cfMLang);                                   // service only
  t.SetCodePageFlag(1252, cfInstalled);                                // platform only
  t.SetCodePageFlag(932, cfInstalled), t.SetCodePageFlag(932, cfMLang);  // both
  TFakePlatform platform;
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  TKyCodePageConverter conv(t, service, platform);

  EXPECT_EQ(conv.WideToCodePage(u"\x01", 50220), "\x01");
  EXPECT_EQ(conv.CodePageToWide("\x01", 50220), u"B");
  EXPECT_EQ(platform.Calls, 0);
  EXPECT_EQ(fake->Calls, 2);

  EXPECT_EQ(conv.WideToCodePage(u"ab", 1252), "ab");
  EXPECT_EQ(fake->Calls, 2);

  // Composite checking refused: the plain call wins.
  platform.CompositeFails = {1252};
  EXPECT_EQ(conv.WideToCodePage(u"ab", 1252), "ab");

  // Platform fails outright: the service takes over where it can.
  platform.AlwaysFails = {932, 1252};
  EXPECT_EQ(conv.WideToCodePage(u"\x01", 932), "\x01");
  EXPECT_EQ(conv.CodePageToWide("\x01", 932), u"B");
  EXPECT_EQ(MessageOf([&] { conv.WideToCodePage(u"ab", 1252); }), u"WideCharToMultiByte failed: 87");
  EXPECT_EQ(conv.CodePageToWide("ab", 1252), u"");
  platform.AlwaysFails.clear();
  platform.ReturnsEmpty = {1252};
  EXPECT_EQ(MessageOf([&] { conv.WideToCodePage(u"ab", 1252); }), u"WideCharToMultiByte failed");

  EXPECT_EQ(conv.WideToCodePage(u"", 50220), "");
  EXPECT_EQ(conv.CodePageToWide("", 50220), u"");
}

TEST(CodePageConversion, SwitchedOffServiceIsNotAskedAgain) {
  TKyCodePageDatas t;
  t.SetCodePageFlag(50220, cfMLang);
  TFakePlatform platform;
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  TKyCodePageConverter conv(t, service, platform);
  fake->ConvertResult = KY_E_FAIL;
  EXPECT_EQ(MessageOf([&] { conv.WideToCodePage(u"x", 50220); }), LoadResString(SCouldNotConvert));
  EXPECT_FALSE(service.Available());
  int before = fake->Calls;
  EXPECT_EQ(conv.WideToCodePage(u"x", 50220), "x");  // the platform's turn now
  EXPECT_EQ(fake->Calls, before);
}

TEST(CodePageConversion, NulsSplitTheText) {
  TKyCodePageDatas t;
  t.SetCodePageFlag(1252, cfInstalled);
  TFakePlatform platform;
  TFakeService* fake;
  TMultiLanguage service = MakeService(fake);
  TKyCodePageConverter conv(t, service, platform);
  EXPECT_EQ(conv.WideToCodePage(StringView(u"a\0bc\0\0", 6), 1252), RawBytes("a\0bc\0\0", 6));
  EXPECT_EQ(conv.CodePageToWide(std::string_view("\0x\0", 3), 1252), String(u"\0x\0", 3));
  EXPECT_FALSE(platform.SawNul);
  // UTF-16 is taken apart by bytes, NULs included.
  String text(u"A\0\u20AC", 3);
  EXPECT_EQ(conv.WideToCodePage(text, 1200), RawBytes("A\0\0\0\xAC\x20", 6));
  EXPECT_EQ(conv.WideToCodePage(text, 1201), RawBytes("\0A\0\0\x20\xAC", 6));
  EXPECT_EQ(conv.CodePageToWide(conv.WideToCodePage(text, 1201), 1201), text);
  EXPECT_EQ(conv.CodePageToWide(conv.WideToCodePage(text, 1200), 1200), text);
}

// The real conversion of this platform.
TEST(CodePageConversion, SystemCodePages) {
  EXPECT_EQ(WideToCodePage(u"Gr\u00FC\u00DFe \u20AC", 1252), "Gr\xFC\xDF" "e \x80");
  EXPECT_EQ(CodePageToWide("Gr\xFC\xDF" "e \x80", 1252), u"Gr\u00FC\u00DFe \u20AC");
  String japanese = u"\u65E5\u672C\u8A9E";
  RawBytes sjis = WideToCodePage(japanese, 932);
  EXPECT_EQ(sjis, "\x93\xFA\x96\x7B\x8C\xEA");
  EXPECT_EQ(CodePageToWide(sjis, 932), japanese);
  EXPECT_EQ(WideToCodePage(japanese, 65001), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
  EXPECT_TRUE(IsLeadByteOf(932, 0x93));
  EXPECT_FALSE(IsLeadByteOf(932, 0x41));
  EXPECT_FALSE(IsLeadByteOf(932, 0xA1));  // half-width katakana is one byte
  EXPECT_TRUE(IsLeadByteOf(936, 0xB0));
  EXPECT_FALSE(IsLeadByteOf(1252, 0x93));
  EXPECT_TRUE(CanEncode(u'\u00FC', 1252));
  EXPECT_FALSE(CanEncode(u'\u65E5', 1252));
  EXPECT_TRUE(CanEncode(u'\u65E5', 932));
  EXPECT_EQ(CodePageDatas().Count(), 148);
  EXPECT_TRUE(CodePageDatas().GetCodePageFlags(1252) & (1 << cfInstalled));
}
