// The locale table: maps between Windows language abbreviations (DEU, CHT), locale ids
// (de-CH, zh.tra, sr-RS.lat) and Windows locale identifiers, and names the locales in
// the current user-interface language.
//
// Locale id: language ["-" country ["-" variant]] ["." script]; a variant without a
// country follows two dashes (en--x). The script is written only when it differs from
// the default script of the rest of the id.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/core/kytypes.h"

// Index into the script table (0 = default, 1 = Latin, 3 = Cyrillic, ...).
using TKyScript = std::uint8_t;

inline constexpr TKyScript ScriptDefault = 0;
inline constexpr TKyScript ScriptLatin = 1;
inline constexpr TKyScript ScriptCyrillic = 3;
inline constexpr int ScriptCount = 30;

using TLCID = std::uint32_t;

struct TKyLocaleData {
  String Language;      // ISO 639 ("de", "sma")
  String Country;       // ISO 3166 or region code ("DE", "029"); may be empty
  String Variant;       // empty in the built-in rows
  TKyScript Script = ScriptDefault;
  String LanguageName;  // in the user-interface language
  String CountryName;
  std::int32_t PrimaryLanguage = 0;  // LCID bits 0..9
  std::int32_t SubLanguage = 0;      // LCID bits 10..15
  String Abbreviation;  // Windows three-letter language abbreviation; may be empty
};

struct TKyScriptData {
  String ScriptName;  // in the user-interface language
  String LongCode;
  String ShortCode;   // the code used in locale ids
  String IsoCode;     // ISO 15924, several separated by ";"
};

// Text comparisons ignore case everywhere except in IdToLocale. Every lookup returns
// the first match in table order; lookups that find nothing return an empty id or
// name, the given default or the LCID 0.
class TKyLocaleDatas {
 public:
  TKyLocaleDatas() = default;
  TKyLocaleDatas(const TKyLocaleDatas&) = delete;
  TKyLocaleDatas& operator=(const TKyLocaleDatas&) = delete;

  int Count() const { return static_cast<int>(Items_.size()); }
  // EListError for an index out of range.
  TKyLocaleData& Items(int index) const;

  // Fills the built-in rows, or refreshes their names in the current language; rows
  // are found again by their key, so a second run adds none.
  void Populate();

  // Updates the row that FindLocale finds (its names, abbreviation and language
  // numbers; its key stays) or appends a new row. Returns the row.
  TKyLocaleData* AddLocale(StringView languageName, StringView countryName, StringView variant,
                           StringView abbreviation, std::int32_t subLanguage, std::int32_t primaryLanguage,
                           TKyScript script, StringView country, StringView language);
  // The first row matching every given criterion; an empty text or script 0 matches anything.
  TKyLocaleData* FindLocale(StringView language, StringView country = {}, TKyScript script = ScriptDefault,
                            StringView variant = {}) const;
  TKyScript GetDefaultScript(StringView language, StringView country = {}, StringView variant = {}) const;

  void ParseId(StringView id, String& language, String& country, String& variant, TKyScript& script) const;
  String MakeId(StringView language, StringView country = {}, TKyScript script = ScriptDefault,
                StringView variant = {}) const;

  // The id of a Windows language abbreviation (DEU gives de-DE) or of its first two
  // letters (DE gives de); empty for an unknown or empty code.
  String IdFromWindowsCode(StringView code) const;
  // "German (Switzerland)", "Chinese, Traditional"; def when the table has no such locale.
  String GetDisplayName(StringView id, StringView def = {}) const;
  // The LCID of an id, comparing case-sensitively; 0 when the language is unknown.
  TLCID IdToLocale(StringView id) const;

  String GetLanguageName(StringView language, TKyScript script = ScriptDefault, StringView variant = {}) const;
  String GetCountryName(StringView language, TKyScript script, StringView variant, StringView country) const;

 private:
  std::vector<std::unique_ptr<TKyLocaleData>> Items_;
};

// The script table row for the number's low 7 bits; EKyException "GetScriptData not
// implemented" for 30..127.
TKyScriptData GetScriptData(TKyScript script);
String GetScriptCode(TKyScript script);
// The first script whose short code equals code (ignoring case); def for an empty or unknown code.
TKyScript GetScriptFromCode(StringView code, TKyScript def);

// The program's table, alive for the whole run.
extern TKyLocaleDatas LocaleDatas;
// Fills LocaleDatas, or refreshes its names after a switch of the user-interface language.
void PopulateLocaleDatas();
