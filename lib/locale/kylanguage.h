// Language files: resource-only modules beside the program (Tram.DEU for Tram.exe) whose
// string tables and form resources replace the program's. Finding them, making one the
// active resource module, keeping the thread locale, the format settings and the reading
// direction in step, and the locale and shell helpers around that.
#pragma once

#include <cstdint>
#include <vector>

#include "lib/core/kystringlist.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kysystem.h"
#include "lib/core/kytypes.h"

// Options of SwitchLanguage.
enum : std::uint8_t {
  slKeepThreadLocale = 1,
  slKeepFormatSettings = 2,
  slKeepBiDiMode = 4,
  slSaveChoice = 8,
  slMirrorLayout = 16,
};
// Flags of InitEmbeddedLanguages.
enum : int { elKeepSameDate = 1, elDeleteAtExit = 2 };

extern String CurrentLanguageCode;   // empty: the built-in resources
extern String PreviousLanguageCode;
extern std::vector<String> ExtractedLanguageFiles;
extern std::uint16_t FormResourceLanguage;  // 0 until known

// "ar", "he" and "fa" (first two letters, any case) read right to left.
bool IsRightToLeftLanguage(StringView code);
bool IsActiveLanguageRightToLeft();
bool WasPreviousLanguageRightToLeft();

// Era calendars (3, 4, 5) write years as era years; East Asian systems drop the era.
String ConvertDateFormat(StringView pattern, int calendarType, bool eastAsianSystem);

// Everything below needs the platform.

// Codes of the language files of Program (default: the running program) in Folder (default:
// beside it), one entry per code with the locale as object, in the system's locale order;
// the fall-back folder when nothing lies there. Returns the count.
int FindLanguageFiles(TStringList& list, const String& program = String(), const String& folder = String(),
                      bool sameVersion = false);
void* LoadLanguageFile(const String& code, const String& fileName = String());
void* OpenLanguageFile(const String& programFile, const String& extension);
bool SwitchLanguage(const String& code, std::uint8_t options, const String& fallbackCode = String(),
                    const String& fileName = String());
int InitEmbeddedLanguages(int flags, const String& resourceType);
// The start-up choice (registry override, else the thread locale) made the active module.
void LoadStartupLanguage();
void DetectLoadedLanguage();
void ReleaseEmbeddedLanguages();
void SaveLanguageChoice();
String ReadLanguageChoice(const String& programPath, bool& found);

std::uint32_t CodeToLocale(StringView code);
String LocaleToCode(std::uint32_t locale);
std::uint16_t GetFormResourceLanguage();

void LoadFormatSettings(std::uint32_t locale);
String GetLocaleText(std::uint32_t locale, std::uint32_t type, const String& def);
String GetLocaleLanguageName(std::uint32_t locale, bool native);
String GetLocaleIsoCode(std::uint32_t locale);

String GetShellFolder(int csidl);
bool IsMatchingVersion(const String& file);
// The fall-back folder for language files: "Tramvelon" in the user's documents.
String LanguageFallbackFolder();
