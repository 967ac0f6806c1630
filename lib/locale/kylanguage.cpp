#include "lib/locale/kylanguage.h"

#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"

String CurrentLanguageCode;
String PreviousLanguageCode;
std::vector<String> ExtractedLanguageFiles;
std::uint16_t FormResourceLanguage = 0;

bool IsRightToLeftLanguage(StringView code) {
  if (code.size() < 2) return false;
  String two = LowerCase(code.substr(0, 2));
  return two == u"ar" || two == u"he" || two == u"fa";
}

bool IsActiveLanguageRightToLeft() {
  if (GetResourceHandle() != GetInstanceHandle()) return IsRightToLeftLanguage(CurrentLanguageCode);
  return IsRightToLeftLanguage(LocaleToCode(GetFormResourceLanguage()));
}

bool WasPreviousLanguageRightToLeft() {
  if (!PreviousLanguageCode.empty()) return IsRightToLeftLanguage(PreviousLanguageCode);
  return IsRightToLeftLanguage(LocaleToCode(GetFormResourceLanguage()));
}

namespace {
bool IsLead(Char c) { return c >= 0xD800 && c <= 0xDBFF; }

// Length of a run of the same letter (ignoring case) at i.
size_t RunOf(StringView s, size_t i, Char letter) {
  size_t n = 0;
  while (i + n < s.size() && UpCaseChar(s[i + n]) == letter) ++n;
  return n;
}
}  // namespace

String ConvertDateFormat(StringView pattern, int calendarType, bool eastAsianSystem) {
  String out;
  if (calendarType >= 3 && calendarType <= 5) {
    for (size_t i = 0; i < pattern.size();) {
      Char c = UpCaseChar(pattern[i]);
      if (c == u'G' && RunOf(pattern, i, u'G') == 2) {
        out += u"ggg";
        i += 2;
      } else if (c == u'Y') {
        size_t n = RunOf(pattern, i, u'Y');
        out += n >= 4 ? u"eeee" : n >= 2 ? u"ee" : u"e";
        i += n >= 4 ? 4 : n >= 2 ? 2 : 1;
      } else {
        size_t n = IsLead(pattern[i]) && i + 1 < pattern.size() ? 2 : 1;
        out.append(pattern.substr(i, n));
        i += n;
      }
    }
    return out;
  }
  if (!eastAsianSystem) return String(pattern);
  for (Char c : pattern)
    if (c != u'g' && c != u'G') out += c;
  return out;
}
