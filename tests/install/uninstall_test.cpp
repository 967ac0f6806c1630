// Uninstall log: relative paths, the duplicate check, the conditional records, the file format.
#include <gtest/gtest.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyuninstall.h"
#include "tests/core/testutil.h"

namespace {
std::vector<String> Records(const TKyUninstallFile& log) {
  std::vector<String> v;
  for (int i = 0; i < log.Lines.Count(); ++i) v.push_back(log.Lines[i]);
  return v;
}
using V = std::vector<String>;
}  // namespace

TEST(UninstallLog, RelativePaths) {
  TKyUninstallFile log;
  log.FileName = u"C:\\Tools\\Tramvelon\\TvUninstall.dat";
  EXPECT_EQ(log.GetFolder(), u"C:\\Tools\\Tramvelon");
  EXPECT_EQ(log.RelativePath(u"C:\\Tools\\Tramvelon"), u"");
  EXPECT_EQ(log.RelativePath(u"c:\\TOOLS\\tramvelon\\"), u"");
  EXPECT_EQ(log.RelativePath(u"C:\\Tools\\Tramvelon\\Samples\\Android\\"), u"Samples\\Android");
  EXPECT_EQ(log.RelativePath(u"C:\\Users\\Jo\\Desktop\\Tramvelon 4.lnk"), u"..\\..\\Users\\Jo\\Desktop\\Tramvelon 4.lnk");
  // A folder whose name merely starts like the log's folder is a sibling.
  EXPECT_EQ(log.RelativePath(u"C:\\Tools\\TramvelonX\\a.txt"), u"..\\TramvelonX\\a.txt");
  EXPECT_EQ(log.RelativePath(u"c:\\tools\\TRAMVELON\\Sub\\x.txt"), u"Sub\\x.txt");
  EXPECT_EQ(log.RelativePath(u"D:\\Links\\Tramvelon 4.lnk"), u"D:\\Links\\Tramvelon 4.lnk");
  EXPECT_EQ(log.RelativePath(u"\\\\srv\\share\\x"), u"\\\\srv\\share\\x");
  log.FileName = u"C:\\TvUninstall.dat";
  EXPECT_EQ(log.RelativePath(u"C:\\Data\\x.txt"), u"Data\\x.txt");
  log.FileName = u"\\\\srv\\share\\Tram\\TvUninstall.dat";
  EXPECT_EQ(log.RelativePath(u"\\\\srv\\share\\Other\\x"), u"..\\Other\\x");
  EXPECT_EQ(log.RelativePath(u"\\\\srv\\other\\Tram\\x"), u"\\\\srv\\other\\Tram\\x");
}

TEST(UninstallLog, RecordsAndTheDuplicateCheck) {
  TKyUninstallFile log;
  log.FileName = u"C:\\Tools\\Tramvelon\\TvUninstall.dat";
  log.AddDir(u"C:\\Tools\\Tramvelon\\Samples");
  log.AddFile(u"C:\\Tools\\Tramvelon\\Tramvelon.exe");
  log.AddFile(u"C:\\TOOLS\\tramvelon\\TRAMVELON.EXE");  // equal ignoring case
  log.AddLine(u"FILE;SAMPLES");                          // differs from dir;Samples
  log.AddLine(u"file;samples");                          // equal to the line before
  log.AddLine(u"");
  log.AddLineEntry(u"C:\\IDE\\Help\\D7.ohi", u":INDEX Tramvelon Help=TvVcl.hlp");
  log.AddDir(u"C:\\Tools\\Tramvelon");
  EXPECT_EQ(Records(log), (V{u"dir;Samples", u"file;Tramvelon.exe", u"FILE;SAMPLES",
                             u"line;C:\\IDE\\Help\\D7.ohi;:INDEX Tramvelon Help=TvVcl.hlp", u"dir;"}));
  // Records set from outside count for the check as well.
  log.Lines.Clear();
  log.Lines.Add(u"file;a.txt");
  log.AddLine(u"FILE;A.TXT");
  log.AddLine(u"dir;Samples");
  EXPECT_EQ(Records(log), (V{u"file;a.txt", u"dir;Samples"}));
  // A large run keeps every record once, in order.
  for (int i = 0; i < 20000; ++i) log.AddFile(Format(u"C:\\Tools\\Tramvelon\\f%d.txt", {i % 15000}));
  ASSERT_EQ(log.Lines.Count(), 15002);
  EXPECT_EQ(log.Lines[2], u"file;f0.txt");
  EXPECT_EQ(log.Lines[15001], u"file;f14999.txt");
}

TEST(UninstallLog, RegistryRecords) {
  const String base = Format(u"\\Software\\TvLogTest%d", {::testing::UnitTest::GetInstance()->random_seed()});
  TKyUninstallFile log;
  TRegistry reg(rkCurrentUser);
  log.AddNewRegKey(reg, base);
  ASSERT_TRUE(reg.OpenKey(base + u"\\Setup1", true));
  log.AddNewRegKey(reg, base);  // exists now: nothing
  log.AddRegValueIfChanged(reg, u"InstallDir", u"C:\\T");
  reg.WriteString(u"InstallDir", u"C:\\T");
  log.AddRegValueIfChanged(reg, u"InstallDir", u"C:\\T");  // unchanged: nothing
  log.AddRegValueIfChanged(reg, u"InstallDir", u"D:\\U");  // changed: the old value
  log.AddRegValueIfChanged(reg, u"PersonalDir", u"");  // new, although empty
  reg.WriteString(u"PersonalDir", u"");
  log.AddRegValueIfChanged(reg, u"PersonalDir", u"");  // there and unchanged: nothing
  reg.WriteInteger(u"Count", 3);
  EXPECT_THROW(log.AddRegValueIfChanged(reg, u"Count", u"3"), ERegistryException);
  TRegistry other(rkPerformanceData + 100);
  log.AddRegKey(other, u"X");
  const String k = base.substr(1) + u"\\Setup1";
  EXPECT_EQ(Records(log), (V{u"regkey;HKEY_CURRENT_USER;" + base, u"regvalue;HKEY_CURRENT_USER;" + k + u";InstallDir;",
                             u"regvalue;HKEY_CURRENT_USER;" + k + u";InstallDir;C:\\T",
                             u"regvalue;HKEY_CURRENT_USER;" + k + u";PersonalDir;", u"regkey;;X"}));
  reg.CloseKey();
  reg.DeleteKey(base + u"\\Setup1");
  reg.DeleteKey(base);
}

TEST(UninstallLog, ConditionalFileAndLineRecords) {
  TTempDir dir;
  TKyUninstallFile log;
  log.FileName = dir.File(u"TvUninstall.dat");
  WriteAll(dir.File(u"Tramvelon.tvo"), "<x/>");
  log.AddNewFile(dir.File(u"Tramvelon.tvo"));  // existed before: not recorded
  log.AddNewFile(dir.File(u"New.txt"));
  WriteAll(dir.File(u"D7.ohi"), "\xEF\xBB\xBF:Index Other=a.hlp\r\n:INDEX TRAMVELON HELP=TVVCL.HLP\n");
  log.AddLineIfMissing(dir.File(u"D7.ohi"), u":INDEX Tramvelon Help=TvVcl.hlp");
  log.AddLineIfMissing(dir.File(u"D7.ohi"), u":Link TvVcl.als");
  log.AddLineIfMissing(dir.File(u"Missing.ohi"), u":Link x");
  EXPECT_EQ(Records(log), (V{u"file;New.txt", u"line;" + dir.File(u"D7.ohi") + u";:Link TvVcl.als",
                             u"line;" + dir.File(u"Missing.ohi") + u";:Link x"}));
}

TEST(UninstallLog, SaveWritesTheExactFormatAndLoadReadsItBack) {
  TTempDir dir;
  TKyUninstallFile log;
  log.FileName = dir.File(u"TvUninstall.dat");
  log.Load();  // no file yet: empty
  EXPECT_EQ(log.Lines.Count(), 0);
  log.AddLine(u"file;Tramvelon.exe");
  log.AddLine(u"dir;Samples\\\u00C4rger");
  log.AddLine(u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup1;InstallDir;");
  log.Save();
  const RawBytes expected =
      "\xEF\xBB\xBF" "file;Tramvelon.exe\r\ndir;Samples\\\xC3\x84rger\r\n"
      "regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup1;InstallDir;\r\n";
  EXPECT_EQ(ReadAll(log.FileName), expected);
  EXPECT_EQ(ListDirectory(dir.Path(), false).size(), 1u) << "no temporary file stays behind";

  // A second run with the same records leaves the file as it was.
  TKyUninstallFile again;
  again.FileName = log.FileName;
  again.Load();
  again.AddLine(u"FILE;tramvelon.exe");
  again.AddLine(u"regvalue;hkey_local_machine;software\\tramvelon\\setup1;installdir;");
  again.Save();
  EXPECT_EQ(ReadAll(log.FileName), expected);
}

TEST(UninstallLog, LoadRecognisesEncodingsAndLineEnds) {
  TTempDir dir;
  TKyUninstallFile log;
  log.FileName = dir.File(u"TvUninstall.dat");
  // UTF-16 LE with mark; CR, LF, LF CR and an empty line.
  WriteAll(log.FileName, RawBytes("\xFF\xFE" "a\0\r\0b\0\n\0\r\0\r\0\n\0c\0\xE9\0", 20));
  log.Load();
  EXPECT_EQ(Records(log), (V{u"a", u"b", u"c\u00E9"}));
  WriteAll(log.FileName, RawBytes("\xFE\xFF\0x\0\r\0\n\0y", 10));
  log.Load();
  EXPECT_EQ(Records(log), (V{u"x", u"y"}));
  // Without a mark: the ANSI code page (Latin-1 natively, 1252 under Wine: both give U+00E9).
  WriteAll(log.FileName, "file;Caf\xE9.txt\n\nfile;b\r\n");
  log.Load();
  EXPECT_EQ(Records(log), (V{u"file;Caf\u00E9.txt", u"file;b"}));
}

TEST(UninstallLog, SaveToAReadOnlyFileRaisesAndKeepsTheFile) {
  TTempDir dir;
  TKyUninstallFile log;
  log.FileName = dir.File(u"TvUninstall.dat");
  WriteAll(log.FileName, "old");
  ASSERT_TRUE(SetFileReadOnly(log.FileName, true));
  log.AddLine(u"file;x");
  EXPECT_THROW(log.Save(), Exception);
  EXPECT_EQ(ReadAll(log.FileName), "old");
  SetFileReadOnly(log.FileName, false);
}
