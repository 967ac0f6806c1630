// Natively there are no language modules: the built-in language is the only one.
#include "lib/locale/kylanguage.h"

std::uint32_t CodeToLocale(StringView) { return 0; }
String LocaleToCode(std::uint32_t) { return String(); }
std::uint16_t GetFormResourceLanguage() { return FormResourceLanguage; }
