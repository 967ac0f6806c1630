// The built-in rows of the locale table and the script table.
#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylocale.h"
#include "resstrings.h"

namespace {

// One built-in row. A composite name is "<base>, <variety>", both resource strings,
// so that a language file translates each part.
struct TLocaleRow {
  const Char* Language;
  const Char* Country;
  TKyScript Script;
  const TResString* LanguageName;
  const TResString* LanguageVariety;
  const TResString* CountryName;
  const TResString* CountryVariety;
  std::int32_t PrimaryLanguage;
  std::int32_t SubLanguage;
  const Char* Abbreviation;
};

// Order matters: every lookup returns the first match.
constexpr TLocaleRow LocaleRows[] = {
    {u"af", u"ZA", 1, &SLocLangAfrikaans, nullptr, &SLocCountryZA, nullptr, 0x36, 1, u"AFK"},
    {u"eu", u"ES", 1, &SLocLangBasque, nullptr, &SLocCountryES, nullptr, 0x2D, 1, u"EUQ"},
    {u"ca", u"ES", 1, &SLocLangCatalan, nullptr, &SLocCountryES, nullptr, 0x03, 1, u"CAT"},
    {u"da", u"DK", 1, &SLocLangDanish, nullptr, &SLocCountryDK, nullptr, 0x06, 1, u"DAN"},
    {u"nl", u"NL", 1, &SLocLangDutch, nullptr, &SLocCountryNL, nullptr, 0x13, 1, u"NLD"},
    {u"nl", u"BE", 1, &SLocLangDutch, nullptr, &SLocCountryBE, nullptr, 0x13, 2, u"NLB"},
    {u"en", u"US", 1, &SLocLangEnglish, nullptr, &SLocCountryUS, nullptr, 0x09, 1, u"ENU"},
    {u"en", u"GB", 1, &SLocLangEnglish, nullptr, &SLocCountryGB, nullptr, 0x09, 2, u"ENG"},
    {u"en", u"AU", 1, &SLocLangEnglish, nullptr, &SLocCountryAU, nullptr, 0x09, 3, u"ENA"},
    {u"en", u"CA", 1, &SLocLangEnglish, nullptr, &SLocCountryCA, nullptr, 0x09, 4, u"ENC"},
    {u"en", u"NZ", 1, &SLocLangEnglish, nullptr, &SLocCountryNZ, nullptr, 0x09, 5, u"ENZ"},
    {u"en", u"IE", 1, &SLocLangEnglish, nullptr, &SLocCountryIE, nullptr, 0x09, 6, u"ENI"},
    {u"en", u"ZA", 1, &SLocLangEnglish, nullptr, &SLocCountryZA, nullptr, 0x09, 7, u"ENS"},
    {u"en", u"JM", 1, &SLocLangEnglish, nullptr, &SLocCountryJM, nullptr, 0x09, 8, u"ENJ"},
    {u"en", u"029", 1, &SLocLangEnglish, nullptr, &SLocCountry029, nullptr, 0x09, 9, u"ENB"},
    {u"en", u"BZ", 1, &SLocLangEnglish, nullptr, &SLocCountryBZ, nullptr, 0x09, 10, u"ENL"},
    {u"en", u"TT", 1, &SLocLangEnglish, nullptr, &SLocCountryTT, nullptr, 0x09, 11, u"ENT"},
    {u"en", u"ZW", 1, &SLocLangEnglish, nullptr, &SLocCountryZW, nullptr, 0x09, 12, u"ENW"},
    {u"en", u"PH", 1, &SLocLangEnglish, nullptr, &SLocCountryPH, nullptr, 0x09, 13, u"ENP"},
    {u"en", u"IN", 1, &SLocLangEnglish, nullptr, &SLocCountryIN, nullptr, 0x09, 16, u"ENN"},
    {u"en", u"MY", 1, &SLocLangEnglish, nullptr, &SLocCountryMY, nullptr, 0x09, 17, u"ENM"},
    {u"en", u"SG", 1, &SLocLangEnglish, nullptr, &SLocCountrySG, nullptr, 0x09, 18, u"ENE"},
    {u"fo", u"FO", 1, &SLocLangFaeroese, nullptr, &SLocCountryFO, nullptr, 0x38, 1, u"FOS"},
    {u"fil", u"PH", 1, &SLocLangFilipino, nullptr, &SLocCountryPH, nullptr, 0x64, 1, u"FPO"},
    {u"fi", u"FI", 1, &SLocLangFinnish, nullptr, &SLocCountryFI, nullptr, 0x0B, 1, u"FIN"},
    {u"fr", u"FR", 1, &SLocLangFrench, nullptr, &SLocCountryFR, nullptr, 0x0C, 1, u"FRA"},
    {u"fr", u"BE", 1, &SLocLangFrench, nullptr, &SLocCountryBE, nullptr, 0x0C, 2, u"FRB"},
    {u"fr", u"CA", 1, &SLocLangFrench, nullptr, &SLocCountryCA, nullptr, 0x0C, 3, u"FRC"},
    {u"fr", u"CH", 1, &SLocLangFrench, nullptr, &SLocCountryCH, nullptr, 0x0C, 4, u"FRS"},
    {u"fr", u"LU", 1, &SLocLangFrench, nullptr, &SLocCountryLU, nullptr, 0x0C, 5, u"FRL"},
    {u"fr", u"MC", 1, &SLocLangFrench, nullptr, &SLocCountryMC, nullptr, 0x0C, 6, u"FRM"},
    {u"fy", u"NL", 1, &SLocLangFrisian, nullptr, &SLocCountryNL, nullptr, 0x62, 1, u"FYN"},
    {u"gl", u"ES", 1, &SLocLangGalician, nullptr, &SLocCountryES, nullptr, 0x56, 1, u"GLC"},
    {u"de", u"DE", 1, &SLocLangGerman, nullptr, &SLocCountryDE, nullptr, 0x07, 1, u"DEU"},
    {u"de", u"CH", 1, &SLocLangGerman, nullptr, &SLocCountryCH, nullptr, 0x07, 2, u"DES"},
    {u"de", u"AT", 1, &SLocLangGerman, nullptr, &SLocCountryAT, nullptr, 0x07, 3, u"DEA"},
    {u"de", u"LU", 1, &SLocLangGerman, nullptr, &SLocCountryLU, nullptr, 0x07, 4, u"DEL"},
    {u"de", u"LI", 1, &SLocLangGerman, nullptr, &SLocCountryLI, nullptr, 0x07, 5, u"DEC"},
    {u"is", u"IS", 1, &SLocLangIcelandic, nullptr, &SLocCountryIS, nullptr, 0x0F, 1, u"ISL"},
    {u"id", u"ID", 1, &SLocLangIndonesian, nullptr, &SLocCountryID, nullptr, 0x21, 1, u"IND"},
    {u"ga", u"IE", 1, &SLocLangIrish, nullptr, &SLocCountryIE, nullptr, 0x3C, 1, u"IRE"},
    {u"it", u"IT", 1, &SLocLangItalian, nullptr, &SLocCountryIT, nullptr, 0x10, 1, u"ITA"},
    {u"it", u"CH", 1, &SLocLangItalian, nullptr, &SLocCountryCH, nullptr, 0x10, 2, u"ITS"},
    {u"lb", u"LU", 1, &SLocLangLuxembourgish, nullptr, &SLocCountryLU, nullptr, 0x6E, 1, u"LBX"},
    {u"ms", u"MY", 1, &SLocLangMalay, nullptr, &SLocCountryMY, nullptr, 0x3E, 1, u"MSL"},
    {u"ms", u"BN", 1, &SLocLangMalay, nullptr, &SLocCountryBN, nullptr, 0x3E, 2, u"MSB"},
    {u"mt", u"MT", 1, &SLocLangMaltese, nullptr, &SLocCountryMT, nullptr, 0x3A, 1, u"MLT"},
    {u"mi", u"NZ", 1, &SLocLangMaori, nullptr, &SLocCountryNZ, nullptr, 0x81, 1, u"MRI"},
    {u"arn", u"CL", 1, &SLocLangMapudungun, nullptr, &SLocCountryCL, nullptr, 0x7A, 1, u"MPD"},
    {u"moh", u"CA", 1, &SLocLangMohawk, nullptr, &SLocCountryCA, nullptr, 0x7C, 1, u"MWK"},
    {u"no", u"NO", 1, &SLocLangNorwegian, nullptr, &SLocCountryNO, nullptr, 0x14, 1, u"NOR"},
    {u"nb", u"NO", 1, &SLocLangNorwegian, &SLocVarietyBokmal, &SLocCountryNO, nullptr, 0x14, 1, u"NOR"},
    {u"nn", u"NO", 1, &SLocLangNorwegian, &SLocVarietyNynorsk, &SLocCountryNO, nullptr, 0x14, 2, u"NON"},
    {u"pt", u"PT", 1, &SLocLangPortuguese, nullptr, &SLocCountryPT, nullptr, 0x16, 2, u"PTG"},
    {u"pt", u"BR", 1, &SLocLangPortuguese, nullptr, &SLocCountryBR, nullptr, 0x16, 1, u"PTB"},
    {u"qu", u"BO", 1, &SLocLangQuechua, nullptr, &SLocCountryBO, nullptr, 0x6B, 1, u"QUB"},
    {u"qu", u"EC", 1, &SLocLangQuechua, nullptr, &SLocCountryEC, nullptr, 0x6B, 2, u"QUE"},
    {u"qu", u"PE", 1, &SLocLangQuechua, nullptr, &SLocCountryPE, nullptr, 0x6B, 3, u"QUP"},
    {u"rm", u"CH", 1, &SLocLangRomansh, nullptr, &SLocCountryCH, nullptr, 0x17, 1, u"RMC"},
    {u"se", u"NO", 1, &SLocLangSami, &SLocVarietyNorthern, &SLocCountryNO, nullptr, 0x3B, 1, u"SME"},
    {u"se", u"SE", 1, &SLocLangSami, &SLocVarietyNorthern, &SLocCountrySE, nullptr, 0x3B, 2, u"SMF"},
    {u"se", u"FI", 1, &SLocLangSami, &SLocVarietyNorthern, &SLocCountryFI, nullptr, 0x3B, 3, u"SMG"},
    {u"smj", u"NO", 1, &SLocLangSami, &SLocVarietyLule, &SLocCountryNO, nullptr, 0x3B, 4, u"SMJ"},
    {u"smj", u"SE", 1, &SLocLangSami, &SLocVarietyLule, &SLocCountrySE, nullptr, 0x3B, 5, u"SMK"},
    {u"sma", u"NO", 1, &SLocLangSami, &SLocVarietySouthern, &SLocCountryNO, nullptr, 0x3B, 6, u"SMA"},
    {u"sma", u"SE", 1, &SLocLangSami, &SLocVarietySouthern, &SLocCountrySE, nullptr, 0x3B, 7, u"SMB"},
    {u"sms", u"FI", 1, &SLocLangSami, &SLocVarietySkolt, &SLocCountryFI, nullptr, 0x3B, 8, u"SMS"},
    {u"smn", u"FI", 1, &SLocLangSami, &SLocVarietyInari, &SLocCountryFI, nullptr, 0x3B, 9, u"SMN"},
    {u"gd", u"GB", 1, &SLocLangScotsGaelic, nullptr, &SLocCountryGB, nullptr, 0x91, 1, u""},
    {u"nso", u"ZA", 1, &SLocLangSesotho, nullptr, &SLocCountryZA, nullptr, 0x6C, 1, u"NSO"},
    {u"tn", u"ZA", 1, &SLocLangSetswana, nullptr, &SLocCountryZA, nullptr, 0x32, 1, u"TSN"},
    {u"es", u"ET", 1, &SLocLangSpanish, nullptr, &SLocCountryES, &SLocVarietyTraditionalSort, 0x0A, 1, u"ESP"},
    {u"es", u"MX", 1, &SLocLangSpanish, nullptr, &SLocCountryMX, nullptr, 0x0A, 2, u"ESM"},
    {u"es", u"ES", 1, &SLocLangSpanish, nullptr, &SLocCountryES, &SLocVarietyInternationalSort, 0x0A, 3, u"ESN"},
    {u"es", u"GT", 1, &SLocLangSpanish, nullptr, &SLocCountryGT, nullptr, 0x0A, 4, u"ESG"},
    {u"es", u"CR", 1, &SLocLangSpanish, nullptr, &SLocCountryCR, nullptr, 0x0A, 5, u"ESC"},
    {u"es", u"PA", 1, &SLocLangSpanish, nullptr, &SLocCountryPA, nullptr, 0x0A, 6, u"ESA"},
    {u"es", u"DO", 1, &SLocLangSpanish, nullptr, &SLocCountryDO, nullptr, 0x0A, 7, u"ESD"},
    {u"es", u"VE", 1, &SLocLangSpanish, nullptr, &SLocCountryVE, nullptr, 0x0A, 8, u"ESV"},
    {u"es", u"CO", 1, &SLocLangSpanish, nullptr, &SLocCountryCO, nullptr, 0x0A, 9, u"ESO"},
    {u"es", u"PE", 1, &SLocLangSpanish, nullptr, &SLocCountryPE, nullptr, 0x0A, 10, u"ESR"},
    {u"es", u"AR", 1, &SLocLangSpanish, nullptr, &SLocCountryAR, nullptr, 0x0A, 11, u"ESS"},
    {u"es", u"EC", 1, &SLocLangSpanish, nullptr, &SLocCountryEC, nullptr, 0x0A, 12, u"ESF"},
    {u"es", u"CL", 1, &SLocLangSpanish, nullptr, &SLocCountryCL, nullptr, 0x0A, 13, u"ESL"},
    {u"es", u"UY", 1, &SLocLangSpanish, nullptr, &SLocCountryUY, nullptr, 0x0A, 14, u"ESY"},
    {u"es", u"PY", 1, &SLocLangSpanish, nullptr, &SLocCountryPY, nullptr, 0x0A, 15, u"ESZ"},
    {u"es", u"BO", 1, &SLocLangSpanish, nullptr, &SLocCountryBO, nullptr, 0x0A, 16, u"ESB"},
    {u"es", u"SV", 1, &SLocLangSpanish, nullptr, &SLocCountrySV, nullptr, 0x0A, 17, u"ESE"},
    {u"es", u"HN", 1, &SLocLangSpanish, nullptr, &SLocCountryHN, nullptr, 0x0A, 18, u"ESH"},
    {u"es", u"NI", 1, &SLocLangSpanish, nullptr, &SLocCountryNI, nullptr, 0x0A, 19, u"ESI"},
    {u"es", u"PR", 1, &SLocLangSpanish, nullptr, &SLocCountryPR, nullptr, 0x0A, 20, u"ESU"},
    {u"es", u"US", 1, &SLocLangSpanish, nullptr, &SLocCountryUS, nullptr, 0x0A, 21, u"EST"},
    {u"sw", u"KE", 1, &SLocLangSwahili, nullptr, &SLocCountryKE, nullptr, 0x41, 1, u"SWK"},
    {u"sv", u"SE", 1, &SLocLangSwedish, nullptr, &SLocCountrySE, nullptr, 0x1D, 1, u"SVE"},
    {u"sv", u"FI", 1, &SLocLangSwedish, nullptr, &SLocCountryFI, nullptr, 0x1D, 2, u"SVF"},
    {u"cy", u"GB", 1, &SLocLangWelsh, nullptr, &SLocCountryGB, nullptr, 0x52, 1, u"CYM"},
    {u"xh", u"ZA", 1, &SLocLangXhosa, nullptr, &SLocCountryZA, nullptr, 0x34, 1, u"XHO"},
    {u"zu", u"ZA", 1, &SLocLangZulu, nullptr, &SLocCountryZA, nullptr, 0x35, 1, u"ZUL"},
    {u"gsw", u"FR", 1, &SLocLangAlsatian, nullptr, &SLocCountryFR, nullptr, 0x84, 1, u"GSW"},
    {u"br", u"FR", 1, &SLocLangBreton, nullptr, &SLocCountryFR, nullptr, 0x7E, 1, u"BRE"},
    {u"co", u"FR", 1, &SLocLangCorsican, nullptr, &SLocCountryFR, nullptr, 0x83, 1, u"COS"},
    {u"oc", u"FR", 1, &SLocLangOccitan, nullptr, &SLocCountryFR, nullptr, 0x82, 1, u"OCI"},
    {u"kl", u"GL", 1, &SLocLangGreenlandic, nullptr, &SLocCountryGL, nullptr, 0x6F, 1, u"KAL"},
    {u"ha", u"NG", 1, &SLocLangHausa, nullptr, &SLocCountryNG, nullptr, 0x68, 1, u"HAU"},
    {u"ig", u"NG", 1, &SLocLangIgbo, nullptr, &SLocCountryNG, nullptr, 0x70, 1, u"IBO"},
    {u"yo", u"NG", 1, &SLocLangYoruba, nullptr, &SLocCountryNG, nullptr, 0x6A, 1, u"YOR"},
    {u"qut", u"GT", 1, &SLocLangKiche, nullptr, &SLocCountryGT, nullptr, 0x86, 1, u"QUT"},
    {u"rw", u"RW", 1, &SLocLangKinyarwanda, nullptr, &SLocCountryRW, nullptr, 0x87, 1, u"KIN"},
    {u"tzm", u"DZ", 1, &SLocLangTamazight, nullptr, &SLocCountryDZ, nullptr, 0x5F, 2, u"TZM"},
    {u"wo", u"SN", 1, &SLocLangWolof, nullptr, &SLocCountrySN, nullptr, 0x88, 1, u"WOL"},
    {u"hsb", u"DE", 1, &SLocLangUpperSorbian, nullptr, &SLocCountryDE, nullptr, 0x2E, 1, u"HSB"},
    {u"dsb", u"DE", 1, &SLocLangLowerSorbian, nullptr, &SLocCountryDE, nullptr, 0x2E, 2, u"DSB"},
    {u"eo", u"", 1, &SLocLangEsperanto, nullptr, nullptr, nullptr, 0x200, 1, u"EO?"},
    {u"sq", u"AL", 1, &SLocLangAlbanian, nullptr, &SLocCountryAL, nullptr, 0x1C, 1, u"SQI"},
    {u"cs", u"CZ", 1, &SLocLangCzech, nullptr, &SLocCountryCZ, nullptr, 0x05, 1, u"CSY"},
    {u"hu", u"HU", 1, &SLocLangHungarian, nullptr, &SLocCountryHU, nullptr, 0x0E, 1, u"HUN"},
    {u"pl", u"PL", 1, &SLocLangPolish, nullptr, &SLocCountryPL, nullptr, 0x15, 1, u"PLK"},
    {u"sk", u"SK", 1, &SLocLangSlovak, nullptr, &SLocCountrySK, nullptr, 0x1B, 1, u"SKY"},
    {u"sl", u"SI", 1, &SLocLangSlovenian, nullptr, &SLocCountrySI, nullptr, 0x24, 1, u"SLV"},
    {u"ro", u"RO", 1, &SLocLangRomanian, nullptr, &SLocCountryRO, nullptr, 0x18, 1, u"ROM"},
    {u"tk", u"TM", 1, &SLocLangTurkmen, nullptr, &SLocCountryTM, nullptr, 0x42, 1, u"TUK"},
    {u"be", u"BY", 3, &SLocLangBelarusian, nullptr, &SLocCountryBY, nullptr, 0x23, 1, u"BEL"},
    {u"bg", u"BG", 3, &SLocLangBulgarian, nullptr, &SLocCountryBG, nullptr, 0x02, 1, u"BGR"},
    {u"kk", u"KZ", 3, &SLocLangKazakh, nullptr, &SLocCountryKZ, nullptr, 0x3F, 1, u"KKZ"},
    {u"ky", u"KG", 3, &SLocLangKyrgyz, nullptr, &SLocCountryKG, nullptr, 0x40, 1, u"KYR"},
    {u"mk", u"MK", 3, &SLocLangMacedonian, nullptr, &SLocCountryMK, nullptr, 0x2F, 1, u"MKI"},
    {u"ru", u"RU", 3, &SLocLangRussian, nullptr, &SLocCountryRU, nullptr, 0x19, 1, u"RUS"},
    {u"tt", u"RU", 3, &SLocLangTatar, nullptr, &SLocCountryRU, nullptr, 0x44, 1, u"TTT"},
    {u"uk", u"UA", 3, &SLocLangUkrainian, nullptr, &SLocCountryUA, nullptr, 0x22, 1, u"UKR"},
    {u"ba", u"RU", 3, &SLocLangBashkir, nullptr, &SLocCountryRU, nullptr, 0x6D, 1, u"BAS"},
    {u"tg", u"TJ", 3, &SLocLangTajik, nullptr, &SLocCountryTJ, nullptr, 0x28, 1, u"TAJ"},
    {u"sah", u"RU", 3, &SLocLangYakut, nullptr, &SLocCountryRU, nullptr, 0x85, 1, u"SAH"},
    {u"el", u"GR", 2, &SLocLangGreek, nullptr, &SLocCountryGR, nullptr, 0x08, 1, u"ELL"},
    {u"el", u"CY", 2, &SLocLangGreek, nullptr, &SLocCountryCY, nullptr, 0x08, 2, u"ELC"},
    {u"tr", u"TR", 1, &SLocLangTurkish, nullptr, &SLocCountryTR, nullptr, 0x1F, 1, u"TRK"},
    {u"et", u"EE", 1, &SLocLangEstonian, nullptr, &SLocCountryEE, nullptr, 0x25, 1, u"ETI"},
    {u"lv", u"LV", 1, &SLocLangLatvian, nullptr, &SLocCountryLV, nullptr, 0x26, 1, u"LVI"},
    {u"lt", u"LT", 1, &SLocLangLithuanian, nullptr, &SLocCountryLT, nullptr, 0x27, 1, u"LTH"},
    {u"he", u"IL", 5, &SLocLangHebrew, nullptr, &SLocCountryIL, nullptr, 0x0D, 1, u"HEB"},
    {u"ar", u"SA", 4, &SLocLangArabic, nullptr, &SLocCountrySA, nullptr, 0x01, 1, u"ARA"},
    {u"ar", u"IQ", 4, &SLocLangArabic, nullptr, &SLocCountryIQ, nullptr, 0x01, 2, u"ARI"},
    {u"ar", u"EG", 4, &SLocLangArabic, nullptr, &SLocCountryEG, nullptr, 0x01, 3, u"ARE"},
    {u"ar", u"LY", 4, &SLocLangArabic, nullptr, &SLocCountryLY, nullptr, 0x01, 4, u"ARL"},
    {u"ar", u"DZ", 4, &SLocLangArabic, nullptr, &SLocCountryDZ, nullptr, 0x01, 5, u"ARG"},
    {u"ar", u"MA", 4, &SLocLangArabic, nullptr, &SLocCountryMA, nullptr, 0x01, 6, u"ARM"},
    {u"ar", u"TN", 4, &SLocLangArabic, nullptr, &SLocCountryTN, nullptr, 0x01, 7, u"ART"},
    {u"ar", u"OM", 4, &SLocLangArabic, nullptr, &SLocCountryOM, nullptr, 0x01, 8, u"ARO"},
    {u"ar", u"YE", 4, &SLocLangArabic, nullptr, &SLocCountryYE, nullptr, 0x01, 9, u"ARY"},
    {u"ar", u"SY", 4, &SLocLangArabic, nullptr, &SLocCountrySY, nullptr, 0x01, 10, u"ARS"},
    {u"ar", u"JO", 4, &SLocLangArabic, nullptr, &SLocCountryJO, nullptr, 0x01, 11, u"ARJ"},
    {u"ar", u"LB", 4, &SLocLangArabic, nullptr, &SLocCountryLB, nullptr, 0x01, 12, u"ARB"},
    {u"ar", u"KW", 4, &SLocLangArabic, nullptr, &SLocCountryKW, nullptr, 0x01, 13, u"ARK"},
    {u"ar", u"AE", 4, &SLocLangArabic, nullptr, &SLocCountryAE, nullptr, 0x01, 14, u"ARU"},
    {u"ar", u"BH", 4, &SLocLangArabic, nullptr, &SLocCountryBH, nullptr, 0x01, 15, u"ARH"},
    {u"ar", u"QA", 4, &SLocLangArabic, nullptr, &SLocCountryQA, nullptr, 0x01, 16, u"ARQ"},
    {u"fa", u"IR", 4, &SLocLangPersian, nullptr, &SLocCountryIR, nullptr, 0x29, 1, u"FAR"},
    {u"ps", u"AF", 4, &SLocLangPashto, nullptr, &SLocCountryAF, nullptr, 0x63, 1, u"PAS"},
    {u"ur", u"PK", 4, &SLocLangUrdu, nullptr, &SLocCountryPK, nullptr, 0x20, 1, u"URD"},
    {u"prs", u"AF", 4, &SLocLangDari, nullptr, &SLocCountryAF, nullptr, 0x8C, 1, u"PRS"},
    {u"ug", u"CN", 4, &SLocLangUighur, nullptr, &SLocCountryCN, nullptr, 0x80, 1, u"UIG"},
    {u"th", u"TH", 10, &SLocLangThai, nullptr, &SLocCountryTH, nullptr, 0x1E, 1, u"THA"},
    {u"vi", u"VN", 1, &SLocLangVietnamese, nullptr, &SLocCountryVN, nullptr, 0x2A, 1, u"VIT"},
    {u"ja", u"JP", 6, &SLocLangJapanese, nullptr, &SLocCountryJP, nullptr, 0x11, 1, u"JPN"},
    {u"ko", u"KR", 9, &SLocLangKorean, nullptr, &SLocCountryKR, nullptr, 0x12, 1, u"KOR"},
    {u"zh", u"CN", 8, &SLocLangChinese, &SLocVarietySimplified, &SLocCountryCN, nullptr, 0x04, 2, u"CHS"},
    {u"zh", u"SG", 8, &SLocLangChinese, &SLocVarietySimplified, &SLocCountrySG, nullptr, 0x04, 4, u"ZHI"},
    {u"zh", u"TW", 7, &SLocLangChinese, &SLocVarietyTraditional, &SLocCountryTW, nullptr, 0x04, 1, u"CHT"},
    {u"zh", u"HK", 7, &SLocLangChinese, &SLocVarietyTraditional, &SLocCountryHK, nullptr, 0x04, 3, u"ZHH"},
    {u"zh", u"MO", 7, &SLocLangChinese, &SLocVarietyTraditional, &SLocCountryMO, nullptr, 0x04, 5, u"ZHM"},
    {u"hr", u"HR", 1, &SLocLangCroatian, nullptr, &SLocCountryHR, nullptr, 0x1A, 1, u"HRV"},
    {u"hr", u"BA", 1, &SLocLangCroatian, nullptr, &SLocCountryBA, nullptr, 0x1A, 4, u"HRB"},
    {u"sr", u"RS", 3, &SLocLangSerbian, &SLocVarietyCyrillic, &SLocCountryRS, nullptr, 0x1A, 10, u"SRO"},
    {u"sr", u"RS", 1, &SLocLangSerbian, &SLocVarietyLatin, &SLocCountryRS, nullptr, 0x1A, 9, u"SRM"},
    {u"sr", u"CS", 3, &SLocLangSerbian, &SLocVarietyCyrillic, &SLocCountryCS, nullptr, 0x1A, 3, u"SRB"},
    {u"sr", u"CS", 1, &SLocLangSerbian, &SLocVarietyLatin, &SLocCountryCS, nullptr, 0x1A, 2, u"SRL"},
    {u"sr", u"BA", 3, &SLocLangSerbian, &SLocVarietyCyrillic, &SLocCountryBA, nullptr, 0x1A, 7, u"SRN"},
    {u"sr", u"BA", 1, &SLocLangSerbian, &SLocVarietyLatin, &SLocCountryBA, nullptr, 0x1A, 6, u"SRS"},
    {u"sr", u"ME", 3, &SLocLangSerbian, &SLocVarietyCyrillic, &SLocCountryME, nullptr, 0x1A, 12, u"SRQ"},
    {u"sr", u"ME", 1, &SLocLangSerbian, &SLocVarietyLatin, &SLocCountryME, nullptr, 0x1A, 11, u"SRP"},
    {u"bs", u"BA", 1, &SLocLangBosanski, &SLocVarietyLatin, &SLocCountryBA, nullptr, 0x1A, 5, u"BSB"},
    {u"bs", u"BA", 3, &SLocLangBosanski, &SLocVarietyCyrillic, &SLocCountryBA, nullptr, 0x1A, 8, u"BSC"},
    {u"az", u"AZ", 1, &SLocLangAzeri, &SLocVarietyLatin, &SLocCountryAZ, nullptr, 0x2C, 1, u"AZE"},
    {u"az", u"AZ", 3, &SLocLangAzeri, &SLocVarietyCyrillic, &SLocCountryAZ, nullptr, 0x2C, 2, u"AZE"},
    {u"uz", u"UZ", 1, &SLocLangUzbek, &SLocVarietyLatin, &SLocCountryUZ, nullptr, 0x43, 1, u"UZB"},
    {u"uz", u"UZ", 3, &SLocLangUzbek, &SLocVarietyCyrillic, &SLocCountryUZ, nullptr, 0x43, 2, u"UZB"},
    {u"mn", u"MN", 3, &SLocLangMongolian, &SLocVarietyCyrillic, &SLocCountryMN, nullptr, 0x50, 1, u"MON"},
    {u"mn", u"CN", 22, &SLocLangMongolian, &SLocVarietyTraditional, &SLocCountryCN, nullptr, 0x50, 2, u"MNG"},
    {u"iu", u"CA", 1, &SLocLangInuktitut, &SLocVarietyLatin, &SLocCountryCA, nullptr, 0x5D, 1, u"IUK"},
    {u"iu", u"CA", 19, &SLocLangInuktitut, &SLocVarietySyllabics, &SLocCountryCA, nullptr, 0x5D, 2, u"IUK"},
    {u"hy", u"AM", 11, &SLocLangArmenian, nullptr, &SLocCountryAM, nullptr, 0x2B, 1, u"HYE"},
    {u"as", u"IN", 12, &SLocLangAssame, nullptr, &SLocCountryIN, nullptr, 0x4D, 1, u""},
    {u"bn", u"IN", 12, &SLocLangBengali, nullptr, &SLocCountryIN, nullptr, 0x45, 1, u"BNG"},
    {u"bn", u"BD", 12, &SLocLangBengali, nullptr, &SLocCountryBD, nullptr, 0x45, 2, u"BNB"},
    {u"dv", u"MV", 28, &SLocLangDivehi, nullptr, &SLocCountryMV, nullptr, 0x65, 1, u"DIV"},
    {u"ka", u"GE", 16, &SLocLangGeorgian, nullptr, &SLocCountryGE, nullptr, 0x37, 1, u"KAT"},
    {u"gu", u"IN", 17, &SLocLangGujarati, nullptr, &SLocCountryIN, nullptr, 0x47, 1, u"GUJ"},
    {u"hi", u"IN", 14, &SLocLangHindi, nullptr, &SLocCountryIN, nullptr, 0x39, 1, u"HIN"},
    {u"kn", u"IN", 20, &SLocLangKannada, nullptr, &SLocCountryIN, nullptr, 0x4B, 1, u"KAN"},
    {u"kok", u"IN", 14, &SLocLangKonkani, nullptr, &SLocCountryIN, nullptr, 0x57, 1, u"KNK"},
    {u"ml", u"IN", 21, &SLocLangMalayalam, nullptr, &SLocCountryIN, nullptr, 0x4C, 1, u"MYM"},
    {u"mr", u"IN", 14, &SLocLangMarathi, nullptr, &SLocCountryIN, nullptr, 0x4E, 1, u"MAR"},
    {u"ne", u"NP", 14, &SLocLangNepali, nullptr, &SLocCountryNP, nullptr, 0x61, 1, u"NEP"},
    {u"pa", u"IN", 18, &SLocLangPunjabi, nullptr, &SLocCountryIN, nullptr, 0x46, 1, u"PAN"},
    {u"sa", u"IN", 14, &SLocLangSanskrit, nullptr, &SLocCountryIN, nullptr, 0x4F, 1, u"SAN"},
    {u"syr", u"SY", 24, &SLocLangSyriac, nullptr, &SLocCountrySY, nullptr, 0x5A, 1, u"SYR"},
    {u"ta", u"IN", 25, &SLocLangTamil, nullptr, &SLocCountryIN, nullptr, 0x49, 1, u"TAM"},
    {u"te", u"IN", 26, &SLocLangTelugu, nullptr, &SLocCountryIN, nullptr, 0x4A, 1, u"TEL"},
    {u"am", u"ET", 15, &SLocLangAmharic, nullptr, &SLocCountryET, nullptr, 0x5E, 1, u"AMH"},
    {u"km", u"KH", 13, &SLocLangKhmer, nullptr, &SLocCountryKH, nullptr, 0x53, 1, u"KHM"},
    {u"lo", u"LA", 13, &SLocLangLao, nullptr, &SLocCountryLA, nullptr, 0x54, 1, u"LAO"},
    {u"bo", u"CN", 27, &SLocLangTibetan, nullptr, &SLocCountryCN, nullptr, 0x51, 1, u"BOB"},
    {u"ii", u"CN", 29, &SLocLangYi, nullptr, &SLocCountryCN, nullptr, 0x78, 1, u"III"},
    {u"or", u"IN", 23, &SLocLangOriya, nullptr, &SLocCountryIN, nullptr, 0x48, 1, u"ORI"},
    {u"si", u"LK", 23, &SLocLangSinhala, nullptr, &SLocCountryLK, nullptr, 0x5B, 1, u"SIN"},
};

static_assert(sizeof(LocaleRows) / sizeof(LocaleRows[0]) == 214);

struct TScriptRow {
  const TResString* ScriptName;
  const Char* LongCode;
  const Char* ShortCode;
  const Char* IsoCode;
};

constexpr TScriptRow ScriptRows[] = {
    {&SLocScriptDefault, u"default", u"def", u""},
    {&SLocScriptLatin, u"latin", u"lat", u"Latn"},
    {&SLocScriptGreek, u"greek", u"gre", u"Grek"},
    {&SLocScriptCyrillic, u"cyrillic", u"cyr", u"Cyrl"},
    {&SLocScriptArabic, u"arabic", u"ara", u"Arab"},
    {&SLocScriptHebrew, u"hebrew", u"heb", u"Hebr"},
    {&SLocScriptJapanese, u"japanese", u"jap", u"Jpan;Hani;Hira;Kana"},
    {&SLocScriptTraditionalChinese, u"chinesetraditional", u"tra", u"Hant"},
    {&SLocScriptSimplifiedChinese, u"chinesesimplified", u"sim", u"Hans"},
    {&SLocScriptKorean, u"korean", u"kor", u"Hang;Hani"},
    {&SLocScriptThai, u"thai", u"tha", u"Thai"},
    {&SLocScriptArmenian, u"armenian", u"arm", u"Armn"},
    {&SLocScriptBengali, u"bengali", u"ben", u"Beng"},
    {&SLocScriptBrahmi, u"brahmi", u"bra", u""},
    {&SLocScriptDevanagari, u"devanagari", u"dev", u"Deva"},
    {&SLocScriptEthiopic, u"ethiopic", u"eth", u""},
    {&SLocScriptGeorgian, u"georgian", u"geo", u"Geor"},
    {&SLocScriptGujarati, u"gujarati", u"guj", u"Gujr"},
    {&SLocScriptGurmukhi, u"gurmukhi", u"gur", u"Guru"},
    {&SLocScriptInuktitut, u"inuktitut", u"inu", u"Cans"},
    {&SLocScriptKannada, u"kannada", u"kan", u"Knda"},
    {&SLocScriptMalayalam, u"malayalam", u"mal", u"Mlym"},
    {&SLocScriptMongol, u"mongol", u"mon", u"Mong"},
    {&SLocScriptOriya, u"oriya", u"ori", u"Orya"},
    {&SLocScriptSyriac, u"syriac", u"syr", u"Syrc"},
    {&SLocScriptTamil, u"tamil", u"tam", u"Taml"},
    {&SLocScriptTelugu, u"telugu", u"tel", u"Telu"},
    {&SLocScriptTibetan, u"tibetan", u"tib", u"Tibt"},
    {&SLocScriptThaana, u"thaana", u"tha", u"Thaa"},
    {&SLocScriptYi, u"yi", u"yi", u"Yiii"},
};

static_assert(sizeof(ScriptRows) / sizeof(ScriptRows[0]) == ScriptCount);

String LoadName(const TResString* base, const TResString* variety) {
  if (!base) return String();
  if (!variety) return LoadResString(*base);
  return Format(u"%s, %s", {LoadResString(*base), LoadResString(*variety)});
}

}  // namespace

void TKyLocaleDatas::Populate() {
  for (const TLocaleRow& r : LocaleRows) {
    AddLocale(LoadName(r.LanguageName, r.LanguageVariety), LoadName(r.CountryName, r.CountryVariety), u"",
              r.Abbreviation, r.SubLanguage, r.PrimaryLanguage, r.Script, r.Country, r.Language);
  }
}

TKyScriptData GetScriptData(TKyScript script) {
  unsigned index = script & 0x7Fu;
  if (index >= static_cast<unsigned>(ScriptCount)) throw EKyException(LoadResString(SLocScriptNotImplemented));
  const TScriptRow& r = ScriptRows[index];
  return TKyScriptData{LoadResString(*r.ScriptName), r.LongCode, r.ShortCode, r.IsoCode};
}

String GetScriptCode(TKyScript script) { return GetScriptData(script).ShortCode; }

TKyScript GetScriptFromCode(StringView code, TKyScript def) {
  if (code.empty()) return def;
  for (int i = 0; i < ScriptCount; ++i) {
    if (SameText(code, ScriptRows[i].ShortCode)) return static_cast<TKyScript>(i);
  }
  return def;
}
