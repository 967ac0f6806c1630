// Language files on Windows: data-only modules opened with LoadLibraryEx, the locale
// services, the registry choice and the files carried as resources.
#include "lib/core/win/kywin.h"

#include <shlobj.h>

#include <algorithm>
#include <map>

#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"
#include "lib/core/kysystem.h"
#include "lib/core/kyfileutils.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kytranslator.h"
#include "lib/ui/win/kycontrols.h"

namespace {

const Char kLocalesKey[] = u"Software\\CodeGear\\Locales";

// The open language file of the program; the resource handle points into it.
TModuleHandle LanguageModule;

struct TSystemLocale {
  LCID Locale;
  String Abbreviation;
};

// The supported locales with their abbreviations, in the system's order; they do not
// change while the program runs.
const std::vector<TSystemLocale>& SystemLocales() {
  static const std::vector<TSystemLocale> locales = [] {
    static std::vector<LCID>* sink;
    std::vector<LCID> ids;
    sink = &ids;
    EnumSystemLocalesW([](LPWSTR text) -> BOOL {
      sink->push_back(static_cast<LCID>(wcstoul(text, nullptr, 16)));
      return TRUE;
    }, LCID_SUPPORTED);
    std::vector<TSystemLocale> out;
    for (LCID id : ids) out.push_back({id, GetLocaleText(id, LOCALE_SABBREVLANGNAME, String())});
    return out;
  }();
  return locales;
}

String ThreadLocaleAbbreviation() { return GetLocaleText(GetThreadLocale(), LOCALE_SABBREVLANGNAME, String()); }

// The language file of Program for Code, beside it or in the fall-back folder; empty when neither exists.
String ExistingLanguageFile(const String& program, const String& code) {
  String ext = u"." + code;
  String beside = ChangeFileExt(program, ext);
  if (FileExists(beside)) return beside;
  String folder = LanguageFallbackFolder();
  if (folder.empty()) return String();
  String other = IncludeTrailingBackslash(folder) + ChangeFileExt(ExtractFileName(program), ext);
  return FileExists(other) ? other : String();
}

bool GetFileTime(const String& file, FILETIME& t) {
  WIN32_FILE_ATTRIBUTE_DATA d;
  if (!GetFileAttributesExW(W(file), GetFileExInfoStandard, &d)) return false;
  t = d.ftLastWriteTime;
  return true;
}

// Writes the bytes whole or not at all: a temporary file that then replaces the target.
// A given time becomes the file's date (set through the same handle; the move keeps it).
bool WriteWholeFile(const String& file, const void* data, DWORD size, const FILETIME* time) {
  String temp = file + u".tmp";
  {
    TFileHandle h(CreateFileW(W(temp), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) return false;
    DWORD written = 0;
    if (!WriteFile(h.Get(), data, size, &written, nullptr) || written != size ||
        (time && !SetFileTime(h.Get(), nullptr, nullptr, time))) {
      h.Reset();
      DeleteFileW(W(temp));
      return false;
    }
  }
  if (!MoveFileExW(W(temp), W(file), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(W(temp));
    return false;
  }
  return true;
}

// A language file opened for its resources only; nothing when the file does not exist (the
// loader would otherwise go on to look for it as a program library).
HMODULE OpenDataModule(const String& file) {
  return FileExists(file) ? LoadLibraryExW(W(file), nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
}

void SetActiveModule(HMODULE module) {
  if (module != LanguageModule.Get()) LanguageModule.Reset(module);
  SetResourceHandle(module ? module : GetModuleHandleW(nullptr));
}

}  // namespace

String GetShellFolder(int csidl) {
  // A folder found is kept for the run: each look-up reads the registry and Wine's shell even
  // writes it back. One not found is asked again (it may be made meanwhile).
  static std::map<int, String> found;
  if (auto it = found.find(csidl); it != found.end()) return it->second;
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, buf))) return String();
  return found[csidl] = FromW(buf);
}

String LanguageFallbackFolder() {
  // Looked up once: every failed look-up of a language file beside the program asks for it,
  // and the user's documents folder does not move while the program runs.
  static const String folder = [] {
    String personal = GetShellFolder(CSIDL_PERSONAL);
    return personal.empty() ? String() : IncludeTrailingBackslash(personal) + u"Tramvelon";
  }();
  return folder;
}

bool IsMatchingVersion(const String& file) {
  // The program's own version is read once: each read maps the whole program file.
  static TFileVersion mine;
  static const bool haveMine = GetFileVersion(ProgramFileName(), mine);
  TFileVersion theirs;
  if (!haveMine || !GetFileVersion(file, theirs)) return true;
  // Major, minor, release and build, each the whole 16-bit part.
  return mine.Major == theirs.Major && mine.Minor == theirs.Minor && mine.Release == theirs.Release &&
         mine.Build == theirs.Build;
}

// ---- locales ----------------------------------------------------------------------

String GetLocaleText(std::uint32_t locale, std::uint32_t type, const String& def) {
  wchar_t buf[256];
  int n = GetLocaleInfoW(locale, type, buf, 256);
  if (n <= 1) return def;
  return FromW(buf, static_cast<size_t>(n - 1));
}

String GetLocaleLanguageName(std::uint32_t locale, bool native) {
  return GetLocaleText(locale, native ? LOCALE_SNATIVELANGNAME : LOCALE_SENGLANGUAGE, String());
}

String GetLocaleIsoCode(std::uint32_t locale) {
  String code = GetLocaleText(locale, LOCALE_SISO639LANGNAME, String());
  if ((locale >> 10) & 0x3F) code += u"_" + GetLocaleText(locale, LOCALE_SISO3166CTRYNAME, String());
  return code;
}

std::uint32_t CodeToLocale(StringView code) {
  if (!code.empty() && code[0] == u'.') code.remove_prefix(1);
  if (code.empty()) return 0;
  for (const auto& l : SystemLocales())
    if (SameText(l.Abbreviation, code)) return l.Locale;
  for (const auto& l : SystemLocales())
    if (!l.Abbreviation.empty() && SameText(StringView(l.Abbreviation).substr(0, l.Abbreviation.size() - 1), code))
      return l.Locale & 0x3FF;
  return 0;
}

String LocaleToCode(std::uint32_t locale) {
  if (locale == 0) return String();
  String code = GetLocaleText(locale, LOCALE_SABBREVLANGNAME, String());
  if (((locale >> 10) & 0x3F) == 0 && !code.empty()) code.pop_back();
  return code;
}

std::uint16_t GetFormResourceLanguage() {
  static bool known = false;
  if (FormResourceLanguage != 0 || known) return FormResourceLanguage;
  known = true;
  struct TScan {
    std::vector<String> Names;
  } scan;
  EnumResourceNamesW(nullptr, RT_RCDATA, [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR lp) -> BOOL {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<TScan*>(lp)->Names.push_back(FromW(name));
    return TRUE;
  }, reinterpret_cast<LONG_PTR>(&scan));
  for (const String& name : scan.Names) {
    HRSRC r = FindResourceW(nullptr, W(name), RT_RCDATA);
    if (!r || SizeofResource(nullptr, r) < 4) continue;
    auto* p = static_cast<const char*>(LockResource(LoadResource(nullptr, r)));
    if (!p || std::string(p, 4) != "TPF0") continue;
    std::vector<WORD> langs;
    EnumResourceLanguagesW(nullptr, RT_RCDATA, W(name), [](HMODULE, LPCWSTR, LPCWSTR, WORD lang, LONG_PTR lp) -> BOOL {
      reinterpret_cast<std::vector<WORD>*>(lp)->push_back(lang);
      return TRUE;
    }, reinterpret_cast<LONG_PTR>(&langs));
    if (langs.empty()) continue;
    if (langs.size() == 1) {
      FormResourceLanguage = langs[0];
    } else {
      using TGetUiLanguage = LANGID(WINAPI*)();
      auto get = reinterpret_cast<TGetUiLanguage>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetUserDefaultUILanguage"));
      LANGID ui = get ? get() : 0;
      for (WORD l : langs)
        if (l == ui) FormResourceLanguage = l;
      if (!FormResourceLanguage)
        for (WORD l : langs)
          if (l == (ui & 0x3FF)) FormResourceLanguage = l;
    }
    break;
  }
  return FormResourceLanguage;
}

void LoadFormatSettings(std::uint32_t locale) {
  if (locale == 4) locale = 0x0804;
  TFormatSettings& f = FormatSettings;
  auto text = [&](LCTYPE type, const String& def) { return GetLocaleText(locale, type, def); };
  auto first = [&](LCTYPE type, Char def) {
    String s = text(type, String(1, def));
    return s.empty() ? def : s[0];
  };
  auto number = [&](LCTYPE type) { return static_cast<Byte>(StrToIntDef(text(type, u"0"), 0)); };
  for (int i = 0; i < 12; ++i) {
    f.ShortMonthNames[i] = text(LOCALE_SABBREVMONTHNAME1 + i, f.ShortMonthNames[i]);
    f.LongMonthNames[i] = text(LOCALE_SMONTHNAME1 + i, f.LongMonthNames[i]);
  }
  // Sunday first: the locale counts from Monday (DAYNAME1) to Sunday (DAYNAME7).
  for (int i = 0; i < 7; ++i) {
    int day = (i + 6) % 7;
    f.ShortDayNames[i] = text(LOCALE_SABBREVDAYNAME1 + day, f.ShortDayNames[i]);
    f.LongDayNames[i] = text(LOCALE_SDAYNAME1 + day, f.LongDayNames[i]);
  }
  f.CurrencyString = text(LOCALE_SCURRENCY, String());
  f.CurrencyFormat = number(LOCALE_ICURRENCY);
  f.NegCurrFormat = number(LOCALE_INEGCURR);
  f.ThousandSeparator = first(LOCALE_STHOUSAND, u',');
  f.DecimalSeparator = first(LOCALE_SDECIMAL, u'.');
  f.CurrencyDecimals = number(LOCALE_ICURRDIGITS);
  f.DateSeparator = first(LOCALE_SDATE, u'/');
  int calendar = StrToIntDef(text(LOCALE_ICALENDARTYPE, u"1"), 1);
  LANGID system = PRIMARYLANGID(LANGIDFROMLCID(GetSystemDefaultLCID()));
  bool eastAsian = system == LANG_CHINESE || system == LANG_JAPANESE || system == LANG_KOREAN;
  f.ShortDateFormat = ConvertDateFormat(text(LOCALE_SSHORTDATE, u"m/d/yy"), calendar, eastAsian);
  f.LongDateFormat = ConvertDateFormat(text(LOCALE_SLONGDATE, u"mmmm d, yyyy"), calendar, eastAsian);
  f.TimeSeparator = first(LOCALE_STIME, u':');
  f.TimeAMString = text(LOCALE_S1159, u"am");
  f.TimePMString = text(LOCALE_S2359, u"pm");
  String hour = text(LOCALE_ITLZERO, u"0") != u"0" ? u"hh" : u"h";
  String prefix, suffix;
  if (text(LOCALE_ITIME, u"0") == u"0") {
    if (text(LOCALE_ITIMEMARKPOSN, u"0") != u"0") prefix = u"AMPM ";
    else suffix = u" AMPM";
  }
  f.ShortTimeFormat = prefix + hour + u":mm" + suffix;
  f.LongTimeFormat = prefix + hour + u":mm:ss" + suffix;
  f.ListSeparator = first(LOCALE_SLIST, u',');
  f.FirstDayOfWeek = number(LOCALE_IFIRSTDAYOFWEEK);
  f.FirstWeekOfYear = number(LOCALE_IFIRSTWEEKOFYEAR);
}

// ---- the active language file -------------------------------------------------------

void* OpenLanguageFile(const String& programFile, const String& extension) {
  String file = extension.empty() ? programFile : ChangeFileExt(programFile, extension);
  HMODULE h = OpenDataModule(file);
  if (!h) {
    String folder = LanguageFallbackFolder();
    if (!folder.empty()) {
      String name = ExtractFileName(programFile);
      String other = IncludeTrailingBackslash(folder) + (extension.empty() ? name : ChangeFileExt(name, extension));
      h = OpenDataModule(other);
    }
  }
  if (h) {
    PreviousLanguageCode = CurrentLanguageCode;
    CurrentLanguageCode = !extension.empty() && extension[0] == u'.' ? extension.substr(1) : extension;
  }
  return h;
}

void* LoadLanguageFile(const String& code, const String& fileName) {
  if (code.empty()) {
    SetActiveModule(nullptr);
    PreviousLanguageCode = CurrentLanguageCode;
    CurrentLanguageCode.clear();
    return GetModuleHandleW(nullptr);
  }
  HMODULE h = nullptr;
  if (!fileName.empty()) {
    h = OpenDataModule(fileName);
    if (h) {
      PreviousLanguageCode = CurrentLanguageCode;
      CurrentLanguageCode = code;
    }
  } else {
    String program = ProgramFileName();
    h = static_cast<HMODULE>(OpenLanguageFile(program, u"." + code));
    if (!h && code.size() == 3) h = static_cast<HMODULE>(OpenLanguageFile(program, u"." + code.substr(0, 2)));
  }
  if (h) SetActiveModule(h);
  return h;
}

bool SwitchLanguage(const String& code, std::uint8_t options, const String& fallbackCode, const String& fileName) {
  TranslatorFlags = options;
  void* h = LoadLanguageFile(code, fileName);
  if (h) {
    LCID locale = CodeToLocale(code.empty() ? fallbackCode : code);
    // The built-in language has no locale of its own: it takes the user's.
    LCID effective = locale ? locale : GetUserDefaultLCID();
    if (!(options & slKeepThreadLocale)) SetThreadLocale(effective);
    if (!(options & slKeepFormatSettings)) LoadFormatSettings(effective);
    if (!(options & slKeepBiDiMode)) Application.SetBiDiRightToLeft(IsRightToLeftLanguage(LocaleToCode(locale)));
    TranslateAllForms();
  }
  if (options & slSaveChoice) SaveLanguageChoice();
  return h != nullptr;
}

void SaveLanguageChoice() {
  TRegistry reg(rkCurrentUser);
  if (!reg.OpenKey(kLocalesKey, true)) return;
  try {
    reg.WriteString(ProgramFileName(), CurrentLanguageCode.empty() ? String(u" ") : CurrentLanguageCode);
  } catch (const ERegistryException&) {
  }
}

String ReadLanguageChoice(const String& programPath, bool& found) {
  found = false;
  for (TRegRoot root : {rkCurrentUser, rkLocalMachine}) {
    TRegistry reg(root);
    if (!reg.OpenKeyReadOnly(kLocalesKey)) continue;
    try {
      if (!reg.ValueExists(programPath)) return String();
      found = true;
      return reg.ReadString(programPath);
    } catch (const ERegistryException&) {
      found = false;
      return String();
    }
  }
  return String();
}

namespace {
// A stored code: the file for it, else for its two-letter form. " " is the built-in choice.
String MatchCode(const String& program, const String& code, bool tryShorter) {
  String c = TrimBlanks(code);
  if (c.empty()) return String();
  if (!ExistingLanguageFile(program, c).empty()) return c;
  if (tryShorter && c.size() > 2 && !ExistingLanguageFile(program, c.substr(0, c.size() - 1)).empty())
    return c.substr(0, c.size() - 1);
  return String();
}
}  // namespace

void LoadStartupLanguage() {
  String program = ProgramFileName();
  bool found = false;
  String choice;
  for (TRegRoot root : {rkCurrentUser, rkLocalMachine}) {
    TRegistry reg(root);
    if (!reg.OpenKeyReadOnly(kLocalesKey)) continue;
    try {
      if (reg.ValueExists(program)) {
        choice = reg.ReadString(program);
        found = true;
      } else if (reg.ValueExists(String())) {
        choice = reg.ReadString(String());
        found = true;
      }
    } catch (const ERegistryException&) {
    }
    break;
  }
  if (found && TrimBlanks(choice).empty()) return;  // English was chosen
  HMODULE h = nullptr;
  if (found) h = OpenDataModule(ChangeFileExt(program, u"." + TrimBlanks(choice)));
  String abbr = ThreadLocaleAbbreviation();
  if (!h && !abbr.empty()) {
    h = OpenDataModule(ChangeFileExt(program, u"." + abbr));
    if (!h && abbr.size() == 3)
      h = OpenDataModule(ChangeFileExt(program, u"." + abbr.substr(0, 2)));
  }
  if (h) SetActiveModule(h);
}

void DetectLoadedLanguage() {
  // Only a module that is really open counts (and without one there is nothing to look up).
  if (GetResourceHandle() == GetInstanceHandle()) {
    CurrentLanguageCode.clear();
    return;
  }
  String program = ProgramFileName();
  bool found = false;
  String code = ReadLanguageChoice(program, found);
  String result;
  if (found && TrimBlanks(code).empty()) {
    result.clear();  // English was chosen
  } else {
    if (found) result = MatchCode(program, code, true);
    if (result.empty()) result = MatchCode(program, ThreadLocaleAbbreviation(), true);
  }
  CurrentLanguageCode = result;
}

int FindLanguageFiles(TStringList& list, const String& program, const String& folder, bool sameVersion) {
  String prog = program.empty() ? ProgramFileName() : program;
  String base = prog;
  if (!folder.empty()) {
    String dir = IsRelativePath(folder) ? ExtractFilePath(prog) + folder : folder;
    base = IncludeTrailingBackslash(dir) + ExtractFileName(prog);
  }
  auto scan = [&](const String& b) {
    // One listing of "<name>.*" instead of a look-up per locale and code.
    std::vector<String> exts;
    WIN32_FIND_DATAW fd;
    TFindHandle h(FindFirstFileW(W(ChangeFileExt(b, u".*")), &fd));
    if (!h) return;
    do {
      if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) exts.push_back(UpperCase(ExtractFileExt(FromW(fd.cFileName))));
    } while (FindNextFileW(h.Get(), &fd));
    auto exists = [&](const String& code) {
      return std::find(exts.begin(), exts.end(), UpperCase(u"." + code)) != exts.end();
    };
    for (const auto& l : SystemLocales()) {
      const String& a = l.Abbreviation;
      if (a.empty()) continue;
      if (list.IndexOf(a) < 0 && exists(a) && (!sameVersion || IsMatchingVersion(ChangeFileExt(b, u"." + a))))
        list.AddObject(a, reinterpret_cast<void*>(static_cast<std::uintptr_t>(l.Locale)));
      String two = a.substr(0, a.size() - 1);
      if (list.IndexOf(two) < 0 && exists(two) && (!sameVersion || IsMatchingVersion(ChangeFileExt(b, u"." + two))))
        list.AddObject(two, reinterpret_cast<void*>(static_cast<std::uintptr_t>(l.Locale & 0x3FF)));
    }
  };
  scan(base);
  if (list.Empty()) {
    String fallback = LanguageFallbackFolder();
    if (!fallback.empty()) scan(IncludeTrailingBackslash(fallback) + ExtractFileName(prog));
  }
  return list.Count();
}

int InitEmbeddedLanguages(int flags, const String& resourceType) {
  String type = resourceType.empty() ? String(u"TRAMVELON") : resourceType;
  String program = ProgramFileName();
  String base = program;
  bool canWrite = true;
  if (!IsDirectoryWritable(ExtractFileDir(program))) {
    String folder = LanguageFallbackFolder();
    canWrite = !folder.empty();
    if (canWrite) CreateDirectoryW(W(folder), nullptr);
    base = IncludeTrailingBackslash(folder) + ExtractFileName(program);
  }
  FILETIME programTime{};
  bool haveTime = GetFileTime(program, programTime);
  std::vector<String> names;
  if (canWrite) EnumResourceNamesW(nullptr, W(type), [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR lp) -> BOOL {
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<String>*>(lp)->push_back(FromW(name));
    return TRUE;
  }, reinterpret_cast<LONG_PTR>(&names));
  int count = 0;
  for (const String& code : names) {
    String target = ChangeFileExt(base, u"." + code);
    FILETIME t{};
    const bool exists = GetFileTime(target, t);
    if ((flags & elKeepSameDate) && haveTime && exists && CompareFileTime(&t, &programTime) == 0) continue;
    HRSRC r = FindResourceW(nullptr, W(code), W(type));
    if (!r) continue;
    const void* data = LockResource(LoadResource(nullptr, r));
    DWORD size = SizeofResource(nullptr, r);
    bool current = SameText(code, CurrentLanguageCode);
    if (current) LoadLanguageFile(String());  // frees the file
    if (exists) DeleteFileW(W(target));
    bool written = data && WriteWholeFile(target, data, size, haveTime ? &programTime : nullptr);
    if (current) LoadLanguageFile(code);
    if (!written) continue;
    if (flags & elDeleteAtExit) ExtractedLanguageFiles.push_back(target);
    ++count;
  }
  if (GetResourceHandle() != GetInstanceHandle() && ExtractedLanguageFiles.empty()) return count;
  // Switches keep the mirroring that the program asked for.
  SwitchLanguage(LocaleToCode(GetUserDefaultLCID()), TranslatorFlags & slMirrorLayout);
  return count;
}

void ReleaseEmbeddedLanguages() {
  if (ExtractedLanguageFiles.empty()) return;
  SetActiveModule(nullptr);
  for (const String& f : ExtractedLanguageFiles) DeleteFileW(W(f));
  ExtractedLanguageFiles.clear();
}
