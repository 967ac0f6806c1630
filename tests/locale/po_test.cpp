// PO files: the reader against gettext's own tools on the setup's translations, its errors,
// the format check, and the language-file builder's refusals and report.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "lib/core/kysysutils.h"
#include "lib/locale/kypofile.h"
#include "tests/core/testutil.h"

namespace {

const std::string kSource = TV_SOURCE_DIR;

std::string ReadText(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

#ifndef _WIN32
bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

// Runs a command; its exit status and what it printed.
std::pair<int, std::string> RunCommand(const std::string& cmd, const std::string& outFile) {
  int rc = std::system((cmd + " >" + outFile + " 2>&1").c_str());
  return {WEXITSTATUS(rc), ReadText(outFile)};
}

using TTexts = std::map<std::pair<std::string, std::string>, std::string>;

TTexts Translated(const TPoFile& f) {
  TTexts t;
  for (const auto& e : f.Entries)
    if (!e.Obsolete && e.HasContext && e.Translated()) t[{e.Context, e.Id}] = e.Strings[0];
  return t;
}

TEST(PoFile, ReadsTheSetupsTranslationsAsGettextDoes) {
  if (!Have("msgfmt") || !Have("msgunfmt")) GTEST_SKIP() << "gettext is not installed";
  TTempDir dir;
  std::string tmp = StringToUtf8(dir.Path());
  for (const char* lang : {"de", "ar"}) {
    std::string po = kSource + "/resources/lang/" + lang + ".po";
    TPoFile ours = ReadPoFile(ReadText(po), po);
    // gettext compiles it and writes it back in its own layout (other line breaks, no comments).
    auto [rc, out] = RunCommand("msgfmt -o " + tmp + "/x.mo " + po + " && msgunfmt --width=32 -o " + tmp + "/back.po " + tmp + "/x.mo",
                         tmp + "/log");
    ASSERT_EQ(rc, 0) << out;
    TPoFile theirs = ReadPoFile(ReadText(tmp + "/back.po"), "back.po");
    TTexts a = Translated(ours), b = Translated(theirs);
    EXPECT_GT(a.size(), 500u) << lang;
    EXPECT_EQ(a, b) << lang;
    EXPECT_EQ(ours.HeaderField("Language"), lang);
    EXPECT_EQ(theirs.HeaderField("Content-Type"), "text/plain; charset=UTF-8");
  }
}

#endif

TEST(PoFile, MalformedFilesNameTheLine) {
  const std::tuple<const char*, int, const char*> cases[] = {
      {"msgid \"a\"\nmsgstr \"b\n", 2, "quoted"},
      {"msgstr \"b\"\n", 1, "expected msgctxt or msgid"},
      {"msgid \"a\"\nmsgstr \"b\"\nmsgfoo \"c\"\n", 3, "unknown keyword"},
      {"msgid \"a\"\nmsgid_plural \"as\"\nmsgstr \"b\"\n", 3, "msgstr[n]"},
      {"\n\nmsgctxt \"S\"\nmsgid \"a\"\nmsgstr \"1\"\n\nmsgctxt \"S\"\nmsgid \"a\"\nmsgstr \"2\"\n", 7, "duplicate"},
      {"msgid \"a\"\nmsgstr \"b\\q\"\n", 2, "unknown escape"},
      {"msgid \"a\"\n\"x\" \"y\"\nmsgstr \"\"\n", 2, "quote"},
      {"msgctxt \"S\"\nmsgid \"\xC3\x28\"\nmsgstr \"\"\n", 1, "UTF-8"},
      {"msgctxt \"S\"\nmsgid \"a\"\n", 1, "no msgstr"},
  };
  for (const auto& [text, line, why] : cases) {
    try {
      ReadPoFile(text, "x.po");
      ADD_FAILURE() << "accepted: " << text;
    } catch (const EPoError& e) {
      EXPECT_EQ(e.Line, line) << text;
      EXPECT_EQ(e.Message().rfind(u"x.po:" + IntToStr(line) + u": ", 0), 0u) << e.what();
      EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    }
  }
  // Continuations, escapes, flags, references, obsolete and plural entries.
  TPoFile f = ReadPoFile(
      "\xEF\xBB\xBF# comment\n#: a.txt:1 b.txt:2\n#, fuzzy, object-pascal-format\nmsgctxt \"C\"\nmsgid \"\"\n\"a\\n\"\n\"b\\t\\\"\\101\\x42\"\n"
      "msgstr \"x\"\n\n#~ msgctxt \"Old\"\n#~ msgid \"o\"\n#~ msgstr \"p\"\n\nmsgid \"one\"\nmsgid_plural \"many\"\n"
      "msgstr[0] \"eins\"\nmsgstr[1] \"viele\"\n",
      "y.po");
  ASSERT_EQ(f.Entries.size(), 3u);
  EXPECT_EQ(f.Entries[0].Id, "a\nb\t\"AB");
  EXPECT_EQ(f.Entries[0].References, (std::vector<std::string>{"a.txt:1", "b.txt:2"}));
  EXPECT_TRUE(f.Entries[0].Fuzzy());
  EXPECT_FALSE(f.Entries[0].Translated());
  EXPECT_TRUE(f.Entries[1].Obsolete);
  EXPECT_EQ(f.Entries[2].Strings, (std::vector<std::string>{"eins", "viele"}));
}

TEST(PoFile, FormatDirectivesCompareByArgumentAndType) {
  auto same = [](const char* a, const char* b) { return FormatDirectives(a) == FormatDirectives(b); };
  EXPECT_TRUE(same("Cannot open \"%s\". %s", "Datei \"%s\" kann nicht geöffnet werden. %s"));
  EXPECT_TRUE(same("%0:s to %1:s", "%1:s von %0:s"));
  EXPECT_TRUE(same("%s Setup - %%s", "إعداد %s - %%s"));
  EXPECT_TRUE(same("%-10.3f %*d", "%f %d"));
  EXPECT_FALSE(same("%s %d", "%d %s"));
  EXPECT_FALSE(same("%s", "%s %s"));
  EXPECT_FALSE(same("100%%", "100%"));
  EXPECT_TRUE(FormatDirectives("50%% done").empty());
}

#if defined(TV_TVLANG) && !defined(_WIN32)
// The builder of language files on a PO file of a few entries.
struct TBuild {
  TTempDir Dir;
  std::string Tmp = StringToUtf8(Dir.Path());
  std::pair<int, std::string> Build(const std::string& po, bool strict) {
    WriteText(Tmp + "/xx.po", po);
    return RunCommand(std::string(TV_TVLANG) + " build --name Tram --code DEU --strings " + kSource + "/resources/strings.txt --forms " +
                     kSource + "/resources/forms --po " + Tmp + "/xx.po --version 4.0.354.0 --out-dir " + Tmp + "/out" +
                     (strict ? " --strict" : ""),
                 Tmp + "/log");
  }
};

const std::string kHeader = "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";

TEST(PoFile, TheBuilderStopsOnWrongDirectivesAndUnknownContextsAndReportsWhatIsMissing) {
  TBuild b;
  auto [rc, out] = b.Build(kHeader + "msgctxt \"SListIndexError\"\nmsgid \"List index out of bounds (%d)\"\nmsgstr \"Index %s\"\n", false);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("xx.po:5: error: the format directives"), std::string::npos) << out;

  std::tie(rc, out) = b.Build(kHeader + "\n\nmsgctxt \"TMainForm.NoSuchLabel.Caption\"\nmsgid \"x\"\nmsgstr \"y\"\n", false);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("xx.po:7: error: unknown msgctxt \"TMainForm.NoSuchLabel.Caption\""), std::string::npos) << out;

  // One translated, one fuzzy: the module is written, the rest is reported and stays English.
  std::string po = kHeader +
                   "msgctxt \"TExitSetupDialog.ResumeButton.Caption\"\nmsgid \"Resume\"\nmsgstr \"&Fortsetzen\"\n\n"
                   "#, fuzzy\nmsgctxt \"SWizardNext\"\nmsgid \"&Next\"\nmsgstr \"&Weiter >\"\n";
  std::tie(rc, out) = b.Build(po, false);
  EXPECT_EQ(rc, 0) << out;
  // Each with the place of its English text.
  auto line = [&](const std::string& what) {
    size_t at = out.find("missing or fuzzy, stays English: " + what + " (");
    return at == std::string::npos ? std::string() : out.substr(at, out.find('\n', at) - at);
  };
  EXPECT_NE(line("SWizardNext").find("resources/strings.txt:"), std::string::npos) << out;
  EXPECT_NE(line("TMainForm.StartSheet.Caption").find("resources/forms/TMainForm.txt:"), std::string::npos);
  EXPECT_EQ(line("TExitSetupDialog.ResumeButton.Caption"), "");
  std::string rcText = ReadText(b.Tmp + "/out/Tram.DEU.rc");
  EXPECT_NE(rcText.find("LANGUAGE 7, 1"), std::string::npos);
  EXPECT_EQ(rcText.find("Weiter"), std::string::npos);  // fuzzy: not used
  std::string form = ReadText(b.Tmp + "/out/forms-DEU/TExitSetupDialog.bin");
  EXPECT_NE(form.find("&Fortsetzen"), std::string::npos);
  EXPECT_NE(form.find("Exit Setup"), std::string::npos);  // untranslated texts stay in the form
  std::tie(rc, out) = b.Build(po, true);
  EXPECT_EQ(rc, 1);
}
#endif

}  // namespace
