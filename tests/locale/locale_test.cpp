// The locale table: its rows, id parsing and building, names and LCIDs.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "lib/core/kyexceptions.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"

namespace {

class LocaleTable : public testing::Test {
 protected:
  static void SetUpTestSuite() { PopulateLocaleDatas(); }
  const TKyLocaleDatas& T = LocaleDatas;
};

struct TParsed {
  String Language, Country, Variant;
  TKyScript Script = 0;
};

TParsed Parse(const TKyLocaleDatas& t, StringView id) {
  TParsed p;
  t.ParseId(id, p.Language, p.Country, p.Variant, p.Script);
  return p;
}

// "language|country|variant|script" of an id, for compact comparisons.
std::string Pieces(const TKyLocaleDatas& t, StringView id) {
  TParsed p = Parse(t, id);
  return StringToUtf8(p.Language + u"|" + p.Country + u"|" + p.Variant + u"|") + std::to_string(p.Script);
}

std::string Describe(const TKyLocaleData& r) {
  return StringToUtf8(r.Language + u"|" + r.Country + u"|" + r.Variant + u"|" + r.LanguageName + u"|" +
                      r.CountryName + u"|" + r.Abbreviation) +
         "|" + std::to_string(r.Script) + "|" + std::to_string(r.PrimaryLanguage) + "|" +
         std::to_string(r.SubLanguage);
}

TLCID RowLcid(const TKyLocaleData& row) {
  return static_cast<TLCID>(row.PrimaryLanguage + row.SubLanguage * 1024);
}

}  // namespace

TEST_F(LocaleTable, RowsAreConsistent) {
  ASSERT_EQ(T.Count(), 214);
  std::set<String> languagesSeen;
  std::map<String, String> countryNames;
  int withoutAbbreviation = 0;
  for (int i = 0; i < T.Count(); ++i) {
    const TKyLocaleData& row = T.Items(i);
    SCOPED_TRACE(StringToUtf8(row.Language + u"-" + row.Country));
    // Each key is unique: the row is the first match of its own key.
    EXPECT_EQ(T.FindLocale(row.Language, row.Country, row.Script, row.Variant), &row);
    // The rows of one language are contiguous, which IdToLocale's walk relies on.
    if (i == 0 || T.Items(i - 1).Language != row.Language) {
      EXPECT_TRUE(languagesSeen.insert(row.Language).second);
    }
    EXPECT_FALSE(row.LanguageName.empty());
    EXPECT_EQ(row.Country.empty(), row.CountryName.empty());
    EXPECT_TRUE(row.Abbreviation.empty() || row.Abbreviation.size() == 3);
    if (row.Abbreviation.empty()) ++withoutAbbreviation;
    // A country has one name, except the two Spanish sort orders, which extend it.
    if (row.Abbreviation == u"ESN" || row.Abbreviation == u"ESP") continue;
    auto [it, fresh] = countryNames.emplace(row.Country, row.CountryName);
    if (!fresh) {
      EXPECT_EQ(it->second, row.CountryName);
    }
  }
  EXPECT_EQ(withoutAbbreviation, 2);
  const String spain = T.FindLocale(u"ca", u"ES")->CountryName;
  EXPECT_EQ(T.FindLocale(u"es", u"ES")->CountryName.rfind(spain + u", ", 0), 0u);
  EXPECT_EQ(T.FindLocale(u"es", u"ET")->CountryName.rfind(spain + u", ", 0), 0u);
  // Composite language names start with the base language's name.
  const String norwegian = T.FindLocale(u"no")->LanguageName;
  EXPECT_EQ(T.FindLocale(u"nb")->LanguageName.rfind(norwegian + u", ", 0), 0u);
  EXPECT_THROW(T.Items(214), EListError);
}

TEST(LocalePopulate, SecondRunRefreshesNamesInPlace) {
  TKyLocaleDatas t;
  t.Populate();
  ASSERT_EQ(t.Count(), 214);
  std::vector<const TKyLocaleData*> rows;
  std::vector<std::string> copies;
  for (int i = 0; i < t.Count(); ++i) {
    rows.push_back(&t.Items(i));
    copies.push_back(Describe(t.Items(i)));
  }
  // Names as a previous language would have left them, and a row of the caller's own.
  for (int i = 0; i < t.Count(); ++i) {
    t.Items(i).LanguageName = u"stale";
    t.Items(i).CountryName.clear();
  }
  TKyLocaleData* own = t.AddLocale(u"Valencian", u"", u"valencia", u"VAL", 2, 0x03, 1, u"ES", u"ca");
  ASSERT_EQ(t.Count(), 215);

  t.Populate();
  ASSERT_EQ(t.Count(), 215);
  for (int i = 0; i < 214; ++i) {
    EXPECT_EQ(&t.Items(i), rows[i]);
    EXPECT_EQ(Describe(t.Items(i)), copies[i]);
  }
  EXPECT_EQ(&t.Items(214), own);
  EXPECT_EQ(own->LanguageName, u"Valencian");
}

TEST_F(LocaleTable, IdFromWindowsCode) {
  EXPECT_EQ(T.IdFromWindowsCode(u"DEU"), u"de-DE");
  EXPECT_EQ(T.IdFromWindowsCode(u"deu"), u"de-DE");
  EXPECT_EQ(T.IdFromWindowsCode(u"DE"), u"de");
  EXPECT_EQ(T.IdFromWindowsCode(u"EN"), u"en");
  // The first Serbian row for RS is Cyrillic, so the Latin one needs its script.
  EXPECT_EQ(T.IdFromWindowsCode(u"SRM"), u"sr-RS.lat");
  EXPECT_EQ(T.IdFromWindowsCode(u"CHT"), u"zh-TW");
  EXPECT_EQ(T.IdFromWindowsCode(u"SR"), u"sr");
  EXPECT_EQ(T.IdFromWindowsCode(u"ZH"), u"zh");
  EXPECT_EQ(T.IdFromWindowsCode(u"CH"), u"zh");
  EXPECT_EQ(T.IdFromWindowsCode(u"EO?"), u"eo");
  EXPECT_EQ(T.IdFromWindowsCode(u"NOR"), u"no-NO");
  // No code, a code of other length and unknown codes name nothing; the two rows
  // without an abbreviation are never found through an empty code.
  EXPECT_EQ(T.IdFromWindowsCode(u""), u"");
  EXPECT_EQ(T.IdFromWindowsCode(u"XYZ"), u"");

  // Every abbreviation leads back to the first row that carries it.
  for (int i = 0; i < T.Count(); ++i) {
    const TKyLocaleData& row = T.Items(i);
    if (row.Abbreviation.empty()) continue;
    SCOPED_TRACE(StringToUtf8(row.Abbreviation));
    const TKyLocaleData* first = nullptr;
    for (int j = 0; j <= i && !first; ++j)
      if (T.Items(j).Abbreviation == row.Abbreviation) first = &T.Items(j);
    TParsed p = Parse(T, T.IdFromWindowsCode(row.Abbreviation));
    EXPECT_EQ(T.FindLocale(p.Language, p.Country, p.Script, p.Variant), first);
    EXPECT_EQ(p.Script, first->Script);
  }
}

TEST_F(LocaleTable, ParseAndMakeIds) {
  EXPECT_EQ(Pieces(T, u"de-CH-1901-extra.lat"), "de|CH|1901|1");
  EXPECT_EQ(Pieces(T, u"en--x"), "en||x|1");
  // Default scripts: from the table, from the sr/az/uz variants, Latin otherwise.
  EXPECT_EQ(Pieces(T, u"sr"), "sr|||3");
  EXPECT_EQ(Pieces(T, u"sr--LAT"), "sr||LAT|1");
  EXPECT_EQ(Pieces(T, u"az--CYR"), "az||CYR|3");
  EXPECT_EQ(Pieces(T, u"uz-UZ-cyr"), "uz|UZ|cyr|3");
  EXPECT_EQ(Pieces(T, u"zh-HK"), "zh|HK||7");
  EXPECT_EQ(Pieces(T, u"ru-UA"), "ru|UA||3");  // no such row: the language's default
  EXPECT_EQ(Pieces(T, u"xx"), "xx|||1");
  // The script code ignores case; an unknown one leaves the default.
  EXPECT_EQ(Pieces(T, u"zh.TRA"), "zh|||7");
  EXPECT_EQ(Pieces(T, u"de.zzz"), "de|||1");
  // The id may be one of the outputs.
  String id = u"pt-BR", country, variant;
  TKyScript script;
  T.ParseId(id, id, country, variant, script);
  EXPECT_EQ(id + u"|" + country, u"pt|BR");

  EXPECT_EQ(T.MakeId(u"de", u"DE", ScriptLatin), u"de-DE");
  EXPECT_EQ(T.MakeId(u"de", u"", ScriptCyrillic), u"de.cyr");
  EXPECT_EQ(T.MakeId(u"sr", u"RS", ScriptLatin), u"sr-RS.lat");
  EXPECT_EQ(T.MakeId(u"sr", u"", ScriptLatin, u"LAT"), u"sr--LAT");
  EXPECT_EQ(T.MakeId(u"zh", u"", 7), u"zh.tra");
  EXPECT_EQ(T.MakeId(u"en", u"GB", 0, u"oxford"), u"en-GB-oxford");
  // A leading space stands for "none".
  EXPECT_EQ(T.MakeId(u"en", u" GB", 0, u""), u"en");
  EXPECT_EQ(T.MakeId(u"en", u"", 0, u" x"), u"en");
  EXPECT_EQ(T.MakeId(u"en", u" GB", 0, u"x"), u"en--x");
  EXPECT_EQ(T.MakeId(u"", u"", 7), u"");

  // Every row survives the way through its id.
  for (int i = 0; i < T.Count(); ++i) {
    const TKyLocaleData& row = T.Items(i);
    String id = T.MakeId(row.Language, row.Country, row.Script, row.Variant);
    SCOPED_TRACE(StringToUtf8(id));
    TParsed p = Parse(T, id);
    EXPECT_EQ(p.Language, row.Language);
    EXPECT_EQ(p.Country, row.Country);
    EXPECT_EQ(p.Script, row.Script);
    if (!row.Country.empty()) {
      EXPECT_EQ(T.IdToLocale(id), RowLcid(row));
    }
  }
}

TEST_F(LocaleTable, IdToLocale) {
  EXPECT_EQ(T.IdToLocale(u"en"), 0x0009u);
  EXPECT_EQ(T.IdToLocale(u"de-CH"), 0x0807u);
  EXPECT_EQ(T.IdToLocale(u"zh.tra"), 0x0404u);
  EXPECT_EQ(T.IdToLocale(u"sr"), 0x281Au);
  EXPECT_EQ(T.IdToLocale(u"sr.lat"), 0x241Au);
  EXPECT_EQ(T.IdToLocale(u"az.cyr"), 0x082Cu);
  EXPECT_EQ(T.IdToLocale(u"eo"), 0x0200u);
  // Case-sensitive, unlike the other lookups.
  EXPECT_EQ(T.IdToLocale(u"DE"), 0u);
  EXPECT_EQ(T.IdToLocale(u"de-ch"), 0x0007u);
  EXPECT_EQ(T.GetDisplayName(u"DE"), u"German");
  // An unknown country keeps the primary language only.
  EXPECT_EQ(T.IdToLocale(u"de-JP"), 0x0007u);
  EXPECT_EQ(T.IdToLocale(u"xx"), 0u);
}

TEST_F(LocaleTable, GetDisplayName) {
  EXPECT_EQ(T.GetDisplayName(u"de"), u"German");
  EXPECT_EQ(T.GetDisplayName(u"de-CH"), u"German (Switzerland)");
  EXPECT_EQ(T.GetDisplayName(u"zh.tra"), u"Chinese, Traditional");
  EXPECT_EQ(T.GetDisplayName(u"sr-RS.lat"), u"Serbian, Latin (Serbia)");
  EXPECT_EQ(T.GetDisplayName(u"sr-rs"), u"Serbian, Cyrillic (Serbia)");
  EXPECT_EQ(T.GetDisplayName(u"es-ES"), u"Spanish (Spain, International Sort)");
  EXPECT_EQ(T.GetDisplayName(u"es-ET"), u"Spanish (Spain, Traditional Sort)");
  EXPECT_EQ(T.GetDisplayName(u"nb-NO"), u"Norwegian, Bokm\u00E5l (Norway)");
  EXPECT_EQ(T.GetDisplayName(u"de-CH-1901"), u"German (Switzerland) - 1901");
  EXPECT_EQ(T.GetDisplayName(u"en--x"), u"English");
  // A country, script or language that the table lacks gives the default.
  EXPECT_EQ(T.GetDisplayName(u"de-JP", u"?"), u"?");
  EXPECT_EQ(T.GetDisplayName(u"de.cyr", u"?"), u"?");
  EXPECT_EQ(T.GetDisplayName(u"xx", u"?"), u"?");
}

TEST(LocaleAddLocale, UpdatesOrAppendsAndHonoursVariants) {
  TKyLocaleDatas t;
  t.Populate();
  TKyLocaleData* catalan = t.FindLocale(u"ca", u"ES");
  ASSERT_NE(catalan, nullptr);
  EXPECT_EQ(t.AddLocale(u"Katalanisch", u"Spanien", u"", u"CAT", 1, 0x03, 1, u"es", u"CA"), catalan);
  EXPECT_EQ(t.Count(), 214);
  EXPECT_EQ(catalan->Language, u"ca");  // the key stays as it was
  EXPECT_EQ(t.GetDisplayName(u"ca-ES"), u"Katalanisch (Spanien)");

  // A row of its own with a variant and without names: the names fall back to the
  // language's other rows, the empty country name is left out.
  TKyLocaleData* own = t.AddLocale(u"", u"", u"valencia", u"", 2, 0x03, 1, u"AD", u"ca");
  EXPECT_EQ(t.Count(), 215);
  EXPECT_EQ(t.FindLocale(u"ca", u"", 0, u"VALENCIA"), own);
  EXPECT_EQ(t.MakeId(own->Language, own->Country, own->Script, own->Variant), u"ca-AD-valencia");
  EXPECT_EQ(t.GetDisplayName(u"ca-AD-valencia"), u"Katalanisch - valencia");
  EXPECT_EQ(t.GetLanguageName(u"ca", 0, u"valencia"), u"");
  EXPECT_EQ(t.GetLanguageName(u"CA"), u"Katalanisch");
  EXPECT_EQ(t.GetCountryName(u"ca", 0, u"", u"ES"), u"Spanien");

  // A language of two rows told apart by their variant.
  t.AddLocale(u"Klingon", u"Kronos", u"", u"", 1, 0x3FF, ScriptCyrillic, u"KX", u"tlh");
  t.AddLocale(u"Klingon", u"Kronos", u"latn", u"", 2, 0x3FF, ScriptLatin, u"KX", u"tlh");
  EXPECT_EQ(t.Count(), 217);
  EXPECT_EQ(t.GetDefaultScript(u"tlh"), ScriptCyrillic);
  EXPECT_EQ(t.GetDefaultScript(u"tlh", u"", u"latn"), ScriptLatin);
  EXPECT_EQ(t.IdToLocale(u"tlh-KX"), 0x07FFu);
  EXPECT_EQ(t.IdToLocale(u"tlh-KX-latn"), 0x0BFFu);
  EXPECT_EQ(t.GetDisplayName(u"tlh-KX-latn"), u"Klingon (Kronos) - latn");
  EXPECT_EQ(t.MakeId(u"tlh", u"", ScriptLatin, u"latn"), u"tlh--latn");
  EXPECT_EQ(t.MakeId(u"tlh", u"", ScriptLatin), u"tlh.lat");
}

TEST(LocaleScripts, CodesAndData) {
  // Thai and Thaana share "tha"; the code finds Thai.
  EXPECT_EQ(GetScriptFromCode(u"tha", 0), 10);
  EXPECT_EQ(GetScriptFromCode(u"THA", 0), 10);
  EXPECT_EQ(GetScriptCode(28), u"tha");
  for (int i = 0; i < ScriptCount; ++i) {
    if (i == 28) continue;
    SCOPED_TRACE(i);
    TKyScriptData d = GetScriptData(static_cast<TKyScript>(i));
    EXPECT_FALSE(d.ScriptName.empty());
    EXPECT_EQ(GetScriptFromCode(d.ShortCode, 99), i);
  }
  EXPECT_EQ(GetScriptFromCode(u"", 5), 5);
  EXPECT_EQ(GetScriptFromCode(u"latin", 5), 5);  // long codes are not ids' codes
  // Only the low 7 bits count; 30..127 are not in the table.
  EXPECT_EQ(GetScriptData(128 + 7).LongCode, GetScriptData(7).LongCode);
  try {
    GetScriptData(30);
    ADD_FAILURE() << "no error for script 30";
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"GetScriptData not implemented");
  }
  EXPECT_THROW(GetScriptData(127), EKyException);
}
