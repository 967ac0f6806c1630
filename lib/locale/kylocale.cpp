// Lookups of the locale table.
#include "lib/locale/kylocale.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

TKyLocaleDatas LocaleDatas;

void PopulateLocaleDatas() { LocaleDatas.Populate(); }

namespace {

// An empty criterion matches anything.
bool Matches(StringView criterion, StringView value) { return criterion.empty() || SameText(criterion, value); }
bool MatchesScript(TKyScript criterion, TKyScript value) { return criterion == ScriptDefault || criterion == value; }

// The id's primary languages whose LCID carries the sub-language even without a country:
// there the sub-language tells the script (Chinese; Serbian, Croatian and Bosnian; Azeri; Uzbek).
bool SubLanguageNamesScript(std::int32_t primary) {
  return primary == 0x04 || primary == 0x1A || primary == 0x2C || primary == 0x43;
}

}  // namespace

TKyLocaleData& TKyLocaleDatas::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  return *Items_[static_cast<size_t>(index)];
}

TKyLocaleData* TKyLocaleDatas::AddLocale(StringView languageName, StringView countryName, StringView variant,
                                         StringView abbreviation, std::int32_t subLanguage,
                                         std::int32_t primaryLanguage, TKyScript script, StringView country,
                                         StringView language) {
  TKyLocaleData* row = FindLocale(language, country, script, variant);
  if (!row) {
    auto added = std::make_unique<TKyLocaleData>();
    added->Language = language;
    added->Country = country;
    added->Variant = variant;
    added->Script = script;
    row = added.get();
    Items_.push_back(std::move(added));
  }
  // A row found through an empty criterion keeps its own key, so that the table's
  // lookups stay as they were.
  row->LanguageName = languageName;
  row->CountryName = countryName;
  row->Abbreviation = abbreviation;
  row->SubLanguage = subLanguage;
  row->PrimaryLanguage = primaryLanguage;
  return row;
}

TKyLocaleData* TKyLocaleDatas::FindLocale(StringView language, StringView country, TKyScript script,
                                          StringView variant) const {
  for (const auto& row : Items_) {
    if (Matches(language, row->Language) && Matches(country, row->Country) && Matches(variant, row->Variant) &&
        MatchesScript(script, row->Script))
      return row.get();
  }
  return nullptr;
}

TKyScript TKyLocaleDatas::GetDefaultScript(StringView language, StringView country, StringView variant) const {
  if (language.empty()) return ScriptLatin;
  auto tryOne = [&](StringView c, StringView v) -> TKyScript {
    if (const TKyLocaleData* row = FindLocale(language, c, ScriptDefault, v)) return row->Script;
    if (SameText(language, u"sr") && SameText(v, u"LAT")) return ScriptLatin;
    if ((SameText(language, u"az") || SameText(language, u"uz")) && SameText(v, u"CYR")) return ScriptCyrillic;
    return ScriptDefault;
  };
  TKyScript script = tryOne(country, variant);
  if (script == ScriptDefault) script = tryOne(country, {});
  if (script == ScriptDefault) script = tryOne({}, {});
  return script == ScriptDefault ? ScriptLatin : script;
}

void TKyLocaleDatas::ParseId(StringView id, String& language, String& country, String& variant,
                             TKyScript& script) const {
  const String copy(id);  // id may view one of the outputs
  id = copy;
  size_t dot = id.find(u'.');
  StringView head = id.substr(0, dot);
  StringView code = dot == StringView::npos ? StringView() : id.substr(dot + 1);
  String* pieces[] = {&language, &country, &variant};
  for (String* piece : pieces) piece->clear();
  size_t start = 0;
  for (String* piece : pieces) {
    size_t dash = head.find(u'-', start);
    *piece = head.substr(start, dash == StringView::npos ? StringView::npos : dash - start);
    if (dash == StringView::npos) break;
    start = dash + 1;
  }
  script = GetScriptFromCode(code, GetDefaultScript(language, country, variant));
}

String TKyLocaleDatas::MakeId(StringView language, StringView country, TKyScript script,
                              StringView variant) const {
  String id(language);
  // A text that starts with a space stands for "none".
  StringView writtenCountry, writtenVariant;
  if (!country.empty() && country[0] != u' ') {
    id += u'-';
    id += country;
    writtenCountry = country;
    if (!variant.empty()) {
      id += u'-';
      id += variant;
      writtenVariant = variant;
    }
  } else if (!variant.empty() && variant[0] != u' ') {
    id += u"--";
    id += variant;
    writtenVariant = variant;
  }
  if (!id.empty() && script != ScriptDefault &&
      script != GetDefaultScript(language, writtenCountry, writtenVariant)) {
    id += u'.';
    id += GetScriptCode(script);
  }
  return id;
}

String TKyLocaleDatas::IdFromWindowsCode(StringView code) const {
  // Scots Gaelic and Assamese have no abbreviation: an empty code must not name them.
  if (code.empty()) return String();
  for (const auto& row : Items_) {
    StringView abbreviation = row->Abbreviation;
    if (SameText(code, abbreviation)) return MakeId(row->Language, row->Country, row->Script, row->Variant);
    if (code.size() == 2 && abbreviation.size() >= 2 && SameText(code, abbreviation.substr(0, 2)))
      return MakeId(row->Language, {}, row->Script, {});
  }
  return String();
}

String TKyLocaleDatas::GetDisplayName(StringView id, StringView def) const {
  String language, country, variant;
  TKyScript script;
  ParseId(id, language, country, variant, script);
  const TKyLocaleData* found = nullptr;
  for (const auto& row : Items_) {
    if (SameText(language, row->Language) && Matches(country, row->Country) && MatchesScript(script, row->Script)) {
      found = row.get();
      break;
    }
  }
  if (!found) return String(def);
  String name = found->LanguageName;
  if (name.empty()) name = GetLanguageName(found->Language, found->Script, {});
  if (country.empty()) return name;
  String countryName = found->CountryName;
  if (countryName.empty()) countryName = GetCountryName(found->Language, found->Script, found->Variant, found->Country);
  if (!countryName.empty()) name += u" (" + countryName + u")";
  if (!variant.empty()) name += u" - " + variant;
  return name;
}

TLCID TKyLocaleDatas::IdToLocale(StringView id) const {
  String language, country, variant;
  TKyScript script;
  ParseId(id, language, country, variant, script);
  size_t i = 0;
  while (i < Items_.size() && Items_[i]->Language != language) ++i;
  if (i == Items_.size()) return 0;
  std::int32_t primary = Items_[i]->PrimaryLanguage;
  std::int32_t sub = 0;
  for (; i < Items_.size() && Items_[i]->Language == language; ++i) {
    const TKyLocaleData& row = *Items_[i];
    if ((country.empty() || row.Country == country) && (variant.empty() || row.Variant == variant) &&
        MatchesScript(script, row.Script)) {
      if (!country.empty() || SubLanguageNamesScript(primary)) sub = row.SubLanguage;
      break;
    }
  }
  return static_cast<TLCID>(primary) + static_cast<TLCID>(sub) * 1024u;
}

String TKyLocaleDatas::GetLanguageName(StringView language, TKyScript script, StringView variant) const {
  for (const auto& row : Items_) {
    if (SameText(language, row->Language) && MatchesScript(script, row->Script) && Matches(variant, row->Variant))
      return row->LanguageName;
  }
  return String();
}

String TKyLocaleDatas::GetCountryName(StringView language, TKyScript script, StringView variant,
                                      StringView country) const {
  for (const auto& row : Items_) {
    if (SameText(language, row->Language) && MatchesScript(script, row->Script) &&
        SameText(country, row->Country) && Matches(variant, row->Variant))
      return row->CountryName;
  }
  return String();
}
