// The table against Windows itself: each row's LCID must give the row's abbreviation
// through GetLocaleInfoW, unless the difference is listed here with its reason.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <utility>

#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"

namespace {

struct TKnownDifference {
  const Char* Abbreviation;  // the table's
  TLCID Lcid;
  const Char* Windows;       // what GetLocaleInfoW answers; empty when it fails
  const char* Reason;
};

// The table stays as it is; these are the LCIDs for which Windows answers otherwise.
constexpr TKnownDifference KnownDifferences[] = {
    {u"IRE", 0x043C, u"", "Irish (Ireland) is sub-language 2 (0x083C) to the system; 0x043C is no locale"},
    {u"QUB", 0x046B, u"QUZ", "the system names all three Quechua locales by the language code QUZ"},
    {u"QUE", 0x086B, u"QUZ", "the system names all three Quechua locales by the language code QUZ"},
    {u"QUP", 0x0C6B, u"QUZ", "the system names all three Quechua locales by the language code QUZ"},
    {u"QUT", 0x0486, u"QUC", "K'iche' goes by its newer code quc"},
    {u"TZM", 0x085F, u"TZA", "the system names Tamazight (Latin, Algeria) TZA"},
    {u"EO?", 0x0600, u"", "Esperanto has no LCID; 0x200 is no primary language"},
    {u"ELC", 0x0808, u"", "Greek (Cyprus) has no LCID of its own"},
    {u"SRB", 0x0C1A, u"", "the former Serbia and Montenegro locales are missing"},
    {u"SRL", 0x081A, u"", "the former Serbia and Montenegro locales are missing"},
    {u"AZE", 0x082C, u"AZC", "the table gives both Azeri rows AZE; the Cyrillic one is AZC"},
    {u"UZB", 0x0843, u"UZC", "the table gives both Uzbek rows UZB; the Cyrillic one is UZC"},
    {u"MON", 0x0450, u"MNN", "the system names Mongolian (Cyrillic) MNN"},
    {u"IUK", 0x045D, u"IUS", "sub-language 1 is Syllabics to the system, Latin in the table (IUK is Latin)"},
    {u"KAN", 0x044B, u"KDI", "the system names Kannada KDI"},
    {u"TAM", 0x0449, u"TAI", "the system names Tamil (India) TAI"},
};

String WindowsAbbreviation(TLCID lcid) {
  wchar_t buffer[16] = {};
  int n = GetLocaleInfoW(MAKELCID(lcid, SORT_DEFAULT), LOCALE_SABBREVLANGNAME, buffer, 16);
  if (n <= 1) return String();
  return String(reinterpret_cast<const Char*>(buffer), static_cast<size_t>(n - 1));
}

}  // namespace

TEST(LocaleWindows, AbbreviationsAgreeWithGetLocaleInfo) {
  PopulateLocaleDatas();
  std::set<std::pair<String, TLCID>> used;
  int compared = 0;
  for (int i = 0; i < LocaleDatas.Count(); ++i) {
    const TKyLocaleData& row = LocaleDatas.Items(i);
    if (row.Abbreviation.empty()) continue;
    ++compared;
    TLCID lcid = static_cast<TLCID>(row.PrimaryLanguage + row.SubLanguage * 1024);
    String windows = WindowsAbbreviation(lcid);
    const TKnownDifference* known = nullptr;
    for (const TKnownDifference& k : KnownDifferences)
      if (k.Lcid == lcid && row.Abbreviation == k.Abbreviation) known = &k;
    std::string where = StringToUtf8(row.Language + u"-" + row.Country) + " " + StringToUtf8(IntToHex(lcid, 4));
    if (known) {
      used.emplace(known->Abbreviation, known->Lcid);
      // A listed difference that has gone away is stale and must leave the list.
      EXPECT_EQ(StringToUtf8(windows), StringToUtf8(known->Windows)) << where << ": " << known->Reason;
    } else {
      EXPECT_EQ(StringToUtf8(windows), StringToUtf8(row.Abbreviation)) << where;
    }
  }
  EXPECT_EQ(compared, 212);
  for (const TKnownDifference& k : KnownDifferences) {
    EXPECT_TRUE(used.count({k.Abbreviation, k.Lcid})) << "no row for the listed " << StringToUtf8(k.Abbreviation);
  }
}
