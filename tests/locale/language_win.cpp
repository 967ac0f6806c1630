// Language files beside a program: which codes are found, what a switch loads and sets, and
// the way back to the built-in English. Uses the setup's German language file.
#include <gtest/gtest.h>

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"
#include "lib/core/win/kywin.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kytranslator.h"
#include "resstrings.h"
#include "tests/core/testutil.h"

namespace {

String GermanFile() {
  std::string dir = TV_LANGUAGE_DIR;
  return Utf8ToString(dir) + u"/Tram.DEU";
}

// Copies of the German file beside this test program under the given extensions.
struct TLanguageCopies {
  explicit TLanguageCopies(std::initializer_list<const char16_t*> exts) {
    for (const char16_t* e : exts) {
      String f = ChangeFileExt(ProgramFileName(), String(u".") + e);
      if (CopyFileW(W(GermanFile()), W(f), FALSE)) Files.push_back(f);
    }
  }
  ~TLanguageCopies() {
    SwitchLanguage(String(), 0);
    for (const String& f : Files) DeleteFileW(W(f));
  }
  std::vector<String> Files;
};

TEST(LanguageFiles, TwoLetterFileIsFoundLoadedAndLeftAgain) {
  InitTranslator();
  TLanguageCopies copies({u"DE"});
  ASSERT_EQ(copies.Files.size(), 1u);
  EXPECT_EQ(CodeToLocale(u"DEU"), 0x0407u);
  EXPECT_EQ(CodeToLocale(u".deu"), 0x0407u);
  EXPECT_EQ(CodeToLocale(u"DE"), 0x0007u);
  EXPECT_EQ(CodeToLocale(u"XX"), 0u);
  EXPECT_EQ(LocaleToCode(0x0407), u"DEU");
  EXPECT_EQ(LocaleToCode(0x0007), u"DE");
  EXPECT_EQ(LocaleToCode(0), u"");
  EXPECT_EQ(GetLocaleIsoCode(0x0407), u"de_DE");
  EXPECT_EQ(GetLocaleIsoCode(0x0007), u"de");

  TStringList found;
  // Many locales share "DE": it is listed once, with the primary language.
  EXPECT_EQ(FindLanguageFiles(found), 1);
  EXPECT_EQ(found[0], u"DE");
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(found.Objects(0)), 0x0007u);

  ASSERT_TRUE(SwitchLanguage(u"DE", 0));
  EXPECT_EQ(CurrentLanguageCode, u"DE");
  EXPECT_NE(GetResourceHandle(), GetInstanceHandle());
  EXPECT_EQ(PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale())), LANG_GERMAN);  // Wine makes 0x0007 specific
  EXPECT_EQ(LoadResString(SWizardNext), u"&Weiter >");
  EXPECT_EQ(FormatSettings.LongMonthNames[2], u"März");
  EXPECT_EQ(TranslatorFlags, 0);

  // No file for the code: nothing changes but the flags.
  EXPECT_FALSE(SwitchLanguage(u"FRA", tfMirrorLayout));
  EXPECT_EQ(CurrentLanguageCode, u"DE");
  EXPECT_EQ(LoadResString(SWizardNext), u"&Weiter >");
  EXPECT_EQ(TranslatorFlags, tfMirrorLayout);

  ASSERT_TRUE(SwitchLanguage(String(), 0));
  EXPECT_EQ(CurrentLanguageCode, u"");
  EXPECT_EQ(PreviousLanguageCode, u"DE");
  EXPECT_EQ(GetResourceHandle(), GetInstanceHandle());
  EXPECT_EQ(LoadResString(SWizardNext), u"&Next");
  DoneTranslator();
}

TEST(LanguageFiles, ThreeLetterCodeComesFirstAndTheVersionMustMatch) {
  InitTranslator();
  TLanguageCopies copies({u"DEU", u"DE"});
  ASSERT_EQ(copies.Files.size(), 2u);
  TStringList found;
  FindLanguageFiles(found);
  EXPECT_GE(found.IndexOf(u"DEU"), 0);
  EXPECT_GE(found.IndexOf(u"DE"), 0);
  EXPECT_EQ(found.Count(), 2);
  ASSERT_TRUE(SwitchLanguage(u"DEU", 0));
  EXPECT_EQ(CurrentLanguageCode, u"DEU");
  EXPECT_EQ(GetThreadLocale(), 0x0407u);
  // This test program has no version resource, so any language file matches it.
  EXPECT_TRUE(IsMatchingVersion(copies.Files[0]));
  DoneTranslator();
}

TEST(LanguageFiles, WritableFoldersAreTriedWithoutLeavingAnything) {
  TTempDir dir;
  EXPECT_TRUE(IsDirectoryWritable(dir.Path()));
  EXPECT_TRUE(ListDirectory(dir.Path(), false).empty());
  String fresh = dir.File(u"new");
  EXPECT_TRUE(IsDirectoryWritable(fresh));
  EXPECT_EQ(GetFileAttributesW(W(fresh)), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(IsDirectoryWritable(dir.File(u"missing\\below")));
  EXPECT_FALSE(GetShellFolder(5).empty());
  EXPECT_EQ(LanguageFallbackFolder(), IncludeTrailingBackslash(GetShellFolder(5)) + u"Tramvelon");
}

}  // namespace
