// The uninstaller's logic over a file system of its own and the registry: record parsing,
// the path rule, the order of removal, failures and the second run, the text-line removal.
#include <gtest/gtest.h>

#include <map>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "lib/install/kyinstaller.h"
#include "tests/core/testutil.h"
#include "uninstall/uninstaller.h"

namespace {

// Files and folders by upper-cased path; each change is logged in order.
class TFakeFs : public TUninstallFileSystem {
 public:
  struct TEntry {
    bool Dir = false;
    bool InUse = false;
    std::vector<String> Lines;
  };
  std::map<String, TEntry> Entries;
  std::vector<String> Changes;

  void AddFile(const String& p, std::vector<String> lines = {}) { Entries[UpperCase(p)] = {false, false, lines}; }
  void AddDir(const String& p) { Entries[UpperCase(p)] = {true, false, {}}; }
  bool Has(const String& p) const { return Entries.count(UpperCase(p)) != 0; }
  TEntry& At(const String& p) { return Entries.at(UpperCase(p)); }

  bool FileExists(const String& p) override { return Has(p) && !At(p).Dir; }
  bool DirExists(const String& p) override { return Has(p) && At(p).Dir; }
  bool EraseFile(const String& p, String& error) override {
    if (At(p).InUse) {
      error = u"in use";
      return false;
    }
    Entries.erase(UpperCase(p));
    Changes.push_back(u"del " + p);
    return true;
  }
  bool RemoveDir(const String& p, String& error) override {
    String prefix = UpperCase(p) + u"\\";
    for (const auto& e : Entries)
      if (StartsText(prefix, e.first)) return false;
    Entries.erase(UpperCase(p));
    Changes.push_back(u"rd " + p);
    return true;
  }
  bool RemoveLine(const String& p, const String& line, String& error) override {
    std::erase(At(p).Lines, line);
    Changes.push_back(u"line " + p);
    return true;
  }
};

const String kDir = u"C:\\Program Files\\Tramvelon 4";
const String kProgram = kDir + u"\\TvUninstall.exe";
const String kPersonal = u"C:\\Users\\Jo\\Documents\\Tramvelon";
const String kPrograms = u"C:\\Users\\Jo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const String kDesktop = u"C:\\Users\\Jo\\Desktop";
const String kIdeHelp = u"C:\\IDE\\Help\\D7.ohi";

TUninstallFolders Folders() {
  TUninstallFolders f;
  f.InstallDir = kDir;
  f.Programs = kPrograms;
  f.Desktop = kDesktop;
  f.Protected = {u"C:\\Windows", u"C:\\Windows\\System32", u"C:\\Program Files", u"C:\\Users",
                 u"C:\\Users\\Jo", u"C:\\Users\\Jo\\Documents"};
  return f;
}

TStringList Lines(std::initializer_list<const char16_t*> lines) {
  TStringList l;
  for (const char16_t* s : lines) l.Add(s);
  return l;
}

void DeleteTree(TRegRoot root, const String& key) {
  TRegistry reg(root);
  if (!reg.OpenKeyReadOnly(key)) return;
  TStringList subs;
  reg.GetKeyNames(subs);
  reg.CloseKey();
  for (int i = 0; i < subs.Count(); ++i) DeleteTree(root, key + u"\\" + subs[i]);
  reg.DeleteKey(key);
}

void Write(TRegRoot root, const String& key, const String& name, const String& value) {
  TRegistry reg(root);
  ASSERT_TRUE(reg.OpenKey(key, true));
  reg.WriteString(name, value);
}

String Read(TRegRoot root, const String& key, const String& name) {
  TRegistry reg(root);
  return reg.OpenKeyReadOnly(key) ? reg.ReadString(name) : u"<no key>";
}

bool KeyExists(TRegRoot root, const String& key) { return TRegistry(root).KeyExists(key); }

// Deletes Key only when it holds nothing (Windows deletes a key with values).
void DeleteIfEmpty(TRegRoot root, const String& key) {
  TRegistry reg(root);
  if (!reg.OpenKeyReadOnly(key)) return;
  TStringList keys, values;
  reg.GetKeyNames(keys);
  reg.GetValueNames(values);
  reg.CloseKey();
  if (keys.Empty() && values.Empty()) reg.DeleteKey(key);
}

const String kTestSetup = u"\\Software\\Tramvelon\\Setup91";
const String kOtherSetup = u"\\Software\\Tramvelon\\Setup90";
const String kEntry = TKyInstaller::UninstallRoot() + u"\\Tramvelon Engine Test";
const String kOtherEntry = TKyInstaller::UninstallRoot() + u"\\Tramvelon Engine Test (2)";
const String kClasses = u"\\.tvtestengine";
const String kLocales = u"\\Software\\CodeGear\\Locales";

// The registry an installation leaves, beside another installation's setup record and entry.
struct TRegistryFixture {
  TRegistryFixture() {
    Clean();
    Write(rkLocalMachine, kOtherSetup, u"InstallDir", u"C:\\Other\\Tramvelon");
    Write(rkLocalMachine, kOtherEntry, u"UninstallString", u"C:\\Other\\Tramvelon\\TvUninstall.exe");
    Write(rkLocalMachine, kTestSetup, u"Version", u"4");
    Write(rkLocalMachine, kTestSetup, u"InstallDir", kDir);
    Write(rkLocalMachine, kTestSetup, u"PersonalDir", kPersonal);
    Write(rkLocalMachine, kEntry, u"DisplayName", u"Tramvelon Engine Test");
    Write(rkLocalMachine, kEntry, u"UninstallString", kProgram);
    Write(rkLocalMachine, kEntry, u"InstallFolder", u"Tramvelon 4");
    TRegistry reg(rkLocalMachine);
    reg.OpenKey(kEntry, false);
    reg.WriteInteger(u"NoModify", 1);
    Write(rkClassesRoot, kClasses, u"", u"TramvelonProject");
    Write(rkClassesRoot, kClasses + u"\\Kept", u"", u"mine");  // for the key that holds a foreign value
    Write(rkClassesRoot, kClasses + u"\\Kept", u"Foreign", u"not from the setup");
    Write(rkCurrentUser, u"\\Software\\TvEngineTest", u"Search Path", u"a;b;C:\\Program Files\\Tramvelon 4\\VCL");
    Write(rkCurrentUser, kLocales, kProgram, u"DEU");
  }
  ~TRegistryFixture() { Clean(); }
  static void Clean() {
    for (const String& k : {kTestSetup, kOtherSetup, kEntry, kOtherEntry}) DeleteTree(rkLocalMachine, k);
    DeleteIfEmpty(rkLocalMachine, u"\\Software\\Tramvelon");
    DeleteTree(rkClassesRoot, kClasses);
    DeleteTree(rkCurrentUser, u"\\Software\\TvEngineTest");
    TRegistry reg(rkCurrentUser);
    if (reg.OpenKey(kLocales, false)) reg.DeleteValue(kProgram);
    DeleteIfEmpty(rkCurrentUser, kLocales);
    DeleteIfEmpty(rkCurrentUser, u"\\Software\\CodeGear");
  }
};

// The disk of an installation: program files, samples in the personal folder, shortcuts,
// a foreign help index file with an appended line.
void FillDisk(TFakeFs& fs) {
  fs.AddDir(kDir);
  fs.AddFile(kProgram);
  fs.AddFile(kDir + u"\\TvUninstall.dat");
  fs.AddFile(kDir + u"\\Tramvelon.exe");
  fs.AddDir(kDir + u"\\VCL");
  fs.AddFile(kDir + u"\\VCL\\TvVcl.hlp");
  fs.AddDir(kPersonal);
  fs.AddDir(kPersonal + u"\\Samples");
  fs.AddFile(kPersonal + u"\\Samples\\Country.tvp");
  fs.AddFile(kPersonal + u"\\Tramvelon.tvo");
  fs.AddDir(kPrograms + u"\\Tramvelon 4");
  fs.AddFile(kPrograms + u"\\Tramvelon 4\\Tramvelon 4.lnk");
  fs.AddFile(kDesktop + u"\\Tramvelon 4.lnk");
  fs.AddFile(kIdeHelp, {u":Index Delphi=delphi.hlp", u":INDEX Tramvelon Help=TvVcl.hlp"});
}

TStringList InstallLog() {
  return Lines({u"regkey;HKEY_LOCAL_MACHINE;\\Software\\Tramvelon\\Setup91",
                u"dir;..\\..\\Users\\Jo\\Documents\\Tramvelon",
                u"dir;..\\..\\Users\\Jo\\Documents\\Tramvelon\\Samples",
                u"file;..\\..\\Users\\Jo\\Documents\\Tramvelon\\Samples\\Country.tvp",
                u"file;Tramvelon.exe",
                u"dir;VCL",
                u"file;VCL\\TvVcl.hlp",
                u"dir;..\\..\\Users\\Jo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Tramvelon 4",
                u"file;..\\..\\Users\\Jo\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Tramvelon 4\\Tramvelon 4.lnk",
                u"file;..\\..\\Users\\Jo\\Desktop\\Tramvelon 4.lnk",
                u"file;..\\..\\Users\\Jo\\Documents\\Tramvelon\\Tramvelon.tvo",
                u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup91;Version;",
                u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup91;InstallDir;",
                u"regvalue;HKEY_LOCAL_MACHINE;Software\\Tramvelon\\Setup91;PersonalDir;",
                u"regkey;HKEY_CLASSES_ROOT;.tvtestengine",
                u"regvalue;HKEY_CLASSES_ROOT;.tvtestengine;;",
                u"regkey;HKEY_CLASSES_ROOT;.tvtestengine\\Kept",
                u"regvalue;HKEY_CLASSES_ROOT;.tvtestengine\\Kept;;",
                u"regvalue;HKEY_CURRENT_USER;Software\\TvEngineTest;Search Path;a;b",
                u"line;C:\\IDE\\Help\\D7.ohi;:INDEX Tramvelon Help=TvVcl.hlp",
                u"regvalue;HKEY_CURRENT_USER;Software\\CodeGear\\Locales;C:\\Program Files\\Tramvelon 4\\TvUninstall.exe;"});
}

TUninstaller MakeUninstaller(TFakeFs& fs) {
  TUninstallFolders f = Folders();
  FindInstallationKeys(f, kProgram);
  return TUninstaller(fs, f, kProgram);
}

size_t IndexOf(const std::vector<String>& v, const String& s) {
  for (size_t i = 0; i < v.size(); ++i)
    if (v[i] == s) return i;
  return v.size();
}

}  // namespace

TEST(UninstallRecords, DamagedLinesAreRefusedWithTheirNumber) {
  EXPECT_NO_THROW(ParseUninstallLog(InstallLog()));
  EXPECT_NO_THROW(ParseUninstallLog(Lines({u"FILE;x.txt", u"dir;", u"regkey;;\\Software\\X"})));
  for (const char16_t* bad : {u"file;", u"garbage", u"files;x", u"regkey;HKEY_LOCAL_MACHINE",
                              u"regkey;HKEY_NOWHERE;\\Software", u"regkey;HKEY_CURRENT_USER;\\",
                              u"regvalue;HKEY_CURRENT_USER;Software\\X", u"regvalue;HKEY_CURRENT_USER;Software\\X;Name",
                              u"line;C:\\x.txt", u"line;;text", u"file;a\x01.txt", u"file;\xFFFD"}) {
    try {
      ParseUninstallLog(Lines({u"file;ok.txt", bad}));
      ADD_FAILURE() << "accepted: " << StringToUtf8(bad);
    } catch (const EUninstallLogError& e) {
      EXPECT_NE(e.Message().find(u"Line 2 "), String::npos) << e.what();
    }
  }
  // A semicolon in the name or the file gives every reading; the first is the plain one.
  auto r = ParseUninstallLog(Lines({u"regvalue;HKEY_CURRENT_USER;Software\\X;C:\\a;b\\p.exe;old;er"}));
  ASSERT_EQ(r[0].Splits.size(), 3u);
  EXPECT_EQ(r[0].Splits[0], (std::pair<String, String>{u"C:\\a", u"b\\p.exe;old;er"}));
  EXPECT_EQ(r[0].Splits[1], (std::pair<String, String>{u"C:\\a;b\\p.exe", u"old;er"}));
}

TEST(UninstallPaths, NormalisingAndThePathRule) {
  EXPECT_EQ(NormalizePath(u"c:/Program Files\\\\Tramvelon 4\\.\\VCL\\..\\x.txt"), u"c:\\Program Files\\Tramvelon 4\\x.txt");
  EXPECT_EQ(NormalizePath(u"C:\\"), u"C:\\");
  EXPECT_EQ(NormalizePath(u"\\\\srv\\share\\a\\..\\b"), u"\\\\srv\\share\\b");
  for (const char16_t* bad : {u"x.txt", u"\\x.txt", u"C:x.txt", u"C:\\..\\x", u"\\\\?\\C:\\x", u"\\\\.\\PhysicalDrive0",
                              u"C:\\a\\b.txt:stream", u"C:\\a\\*.*", u"C:\\Windows.\\x", u"C:\\a \\x", u"\\\\srv"})
    EXPECT_EQ(NormalizePath(bad), u"") << StringToUtf8(bad);
  EXPECT_EQ(ResolveRecordPath(kDir, u""), kDir);
  EXPECT_EQ(ResolveRecordPath(kDir, u"..\\..\\Users\\Jo\\Desktop\\T.lnk"), u"C:\\Users\\Jo\\Desktop\\T.lnk");
  EXPECT_EQ(ResolveRecordPath(kDir, u"D:\\Links\\T.lnk"), u"D:\\Links\\T.lnk");
  EXPECT_EQ(ResolveRecordPath(kDir, u"..\\..\\..\\..\\x"), u"");

  TUninstallFolders f = Folders();
  f.PersonalDirs = {kPersonal, u"C:\\Users\\Jo\\Documents", u"C:\\Windows\\..\\Users"};  // the last two too wide
  f.ProgramFolders = {kPrograms + u"\\Tramvelon 4", kPrograms + u"\\..\\..\\..", kPrograms};
  TPathRules rules(f);
  EXPECT_TRUE(rules.MayRemoveFile(kDir + u"\\Tramvelon.exe"));
  EXPECT_TRUE(rules.MayRemoveFile(kPersonal + u"\\Samples\\Country.tvp"));
  EXPECT_TRUE(rules.MayRemoveFile(kPrograms + u"\\Tramvelon 4\\Help.lnk"));
  EXPECT_TRUE(rules.MayRemoveFile(kDesktop + u"\\Tramvelon 4 (2).lnk"));
  EXPECT_TRUE(rules.MayRemoveFile(kPrograms + u"\\Tramvelon 4.lnk"));  // an empty program folder name
  EXPECT_FALSE(rules.MayRemoveFile(kDir));
  EXPECT_FALSE(rules.MayRemoveFile(u"C:\\Windows\\System32\\kernel32.dll"));
  EXPECT_FALSE(rules.MayRemoveFile(u"C:\\Program Files\\Tramvelon 4x\\a.exe"));
  EXPECT_FALSE(rules.MayRemoveFile(kDesktop + u"\\Report.docx"));
  EXPECT_FALSE(rules.MayRemoveFile(kDesktop + u"\\Folder\\x.lnk"));
  EXPECT_FALSE(rules.MayRemoveFile(u"C:\\Users\\Jo\\Documents\\Letter.txt"));
  EXPECT_FALSE(rules.MayRemoveFile(kPrograms + u"\\Other\\x.txt"));
  EXPECT_TRUE(rules.MayRemoveDir(kDir + u"\\VCL"));
  EXPECT_TRUE(rules.MayRemoveDir(kPersonal));
  EXPECT_TRUE(rules.MayRemoveDir(kPrograms + u"\\Tramvelon 4"));
  for (const String& d : {kPrograms, kDesktop, String(u"C:\\Users\\Jo\\Documents"), String(u"C:\\Program Files"),
                          String(u"C:\\"), String(u"C:\\Windows"), String(u"D:\\")})
    EXPECT_FALSE(rules.MayRemoveDir(d)) << StringToUtf8(d);
}

TEST(Uninstaller, TakesAwayWhatTheLogNamesInReverseOrderAndNothingElse) {
  TRegistryFixture reg;
  TFakeFs fs;
  FillDisk(fs);
  fs.AddFile(kDir + u"\\VCL\\MyOwn.pas");  // the user's: the folder stays
  TUninstaller u = MakeUninstaller(fs);
  EXPECT_EQ(u.Folders().DisplayName, u"Tramvelon Engine Test");
  u.Load(InstallLog());
  u.Run();
  EXPECT_TRUE(u.Complete());
  EXPECT_EQ(u.Problems(), std::vector<String>{u"Kept, the folder is not empty: " + kDir + u"\\VCL"});
  // Files before their folders; the program and its log are left for the end.
  const auto& c = fs.Changes;
  EXPECT_LT(IndexOf(c, u"del " + kPersonal + u"\\Samples\\Country.tvp"), IndexOf(c, u"rd " + kPersonal + u"\\Samples"));
  EXPECT_LT(IndexOf(c, u"rd " + kPersonal + u"\\Samples"), IndexOf(c, u"rd " + kPersonal));
  EXPECT_LT(IndexOf(c, u"del " + kPrograms + u"\\Tramvelon 4\\Tramvelon 4.lnk"), IndexOf(c, u"rd " + kPrograms + u"\\Tramvelon 4"));
  EXPECT_EQ(c.size(), 10u);
  EXPECT_TRUE(fs.Has(kProgram));
  EXPECT_TRUE(fs.Has(kDir + u"\\TvUninstall.dat"));
  EXPECT_TRUE(fs.Has(kDir + u"\\VCL\\MyOwn.pas"));
  EXPECT_EQ(fs.At(kIdeHelp).Lines, std::vector<String>{u":Index Delphi=delphi.hlp"});
  // Registry: previous data back, new values and keys gone, foreign values kept.
  EXPECT_EQ(Read(rkCurrentUser, u"\\Software\\TvEngineTest", u"Search Path"), u"a;b");
  TRegistry kept(rkClassesRoot);
  ASSERT_TRUE(kept.OpenKeyReadOnly(kClasses + u"\\Kept"));  // it holds a value the setup did not write
  EXPECT_FALSE(kept.ValueExists(u""));
  EXPECT_EQ(kept.ReadString(u"Foreign"), u"not from the setup");
  EXPECT_TRUE(KeyExists(rkClassesRoot, kClasses));
  EXPECT_FALSE(KeyExists(rkLocalMachine, kTestSetup));
  EXPECT_FALSE(KeyExists(rkLocalMachine, kEntry));
  EXPECT_EQ(Read(rkLocalMachine, kOtherSetup, u"InstallDir"), u"C:\\Other\\Tramvelon");
  EXPECT_TRUE(KeyExists(rkLocalMachine, kOtherEntry));
  EXPECT_EQ(Read(rkCurrentUser, kLocales, kProgram), u"");
  TRegistry locales(rkCurrentUser);
  locales.OpenKeyReadOnly(kLocales);
  EXPECT_FALSE(locales.ValueExists(kProgram));
}

TEST(Uninstaller, AForgedLogTouchesNothingOutsideTheInstallation) {
  TRegistryFixture reg;
  TFakeFs fs;
  FillDisk(fs);
  fs.AddFile(u"C:\\Windows\\System32\\kernel32.dll");
  fs.AddDir(u"C:\\Windows\\Temp");
  fs.AddFile(kDesktop + u"\\Report.docx");
  fs.AddFile(u"D:\\Data\\x.txt");
  TUninstaller u = MakeUninstaller(fs);
  u.Load(Lines({u"file;C:\\Windows\\System32\\kernel32.dll", u"file;..\\..\\Windows\\System32\\kernel32.dll",
                u"file;..\\..\\Users\\Jo\\Desktop\\Report.docx", u"dir;..\\..\\Windows\\Temp", u"dir;..\\..",
                u"file;D:\\Data\\x.txt", u"file;\\\\?\\C:\\Windows\\System32\\kernel32.dll", u"file;Tramvelon.exe"}));
  u.Run();
  EXPECT_TRUE(u.Complete());
  EXPECT_EQ(fs.Changes, std::vector<String>{u"del " + kDir + u"\\Tramvelon.exe"});
  EXPECT_EQ(u.Problems().size(), 7u);
  for (const String& p : u.Problems()) EXPECT_TRUE(StartsText(u"Left alone, not a part of this installation: ", p));
  EXPECT_TRUE(fs.Has(u"C:\\Windows\\System32\\kernel32.dll"));
  EXPECT_TRUE(fs.Has(u"C:\\Windows\\Temp"));
}

TEST(Uninstaller, AFileInUseIsReportedTheRestGoesOnAndASecondRunFinishes) {
  TRegistryFixture reg;
  TFakeFs fs;
  FillDisk(fs);
  fs.At(kPersonal + u"\\Samples\\Country.tvp").InUse = true;
  TStringList remaining;
  {
    TUninstaller u = MakeUninstaller(fs);
    u.Load(InstallLog());
    u.Run();
    EXPECT_FALSE(u.Complete());
    ASSERT_EQ(u.Problems().size(), 3u);
    EXPECT_EQ(u.Problems()[0], u"Could not remove " + kPersonal + u"\\Samples\\Country.tvp: in use");
    remaining = u.RemainingLines();
  }
  EXPECT_FALSE(fs.Has(kDir + u"\\Tramvelon.exe"));
  EXPECT_FALSE(fs.Has(kDesktop + u"\\Tramvelon 4.lnk"));
  EXPECT_EQ(Read(rkCurrentUser, u"\\Software\\TvEngineTest", u"Search Path"), u"a;b");
  // What the next run needs to find its folders and language stays, and so does the entry.
  EXPECT_EQ(Read(rkLocalMachine, kTestSetup, u"PersonalDir"), kPersonal);
  EXPECT_EQ(Read(rkCurrentUser, kLocales, kProgram), u"DEU");
  EXPECT_TRUE(KeyExists(rkLocalMachine, kEntry));
  EXPECT_EQ(remaining.Count(), 8) << StringToUtf8(remaining.Text());  // the file, its two folders, the setup record's key and values, the language
  EXPECT_EQ(remaining[0], u"regkey;HKEY_LOCAL_MACHINE;\\Software\\Tramvelon\\Setup91");
  EXPECT_EQ(remaining[2], u"dir;..\\..\\Users\\Jo\\Documents\\Tramvelon\\Samples");

  fs.At(kPersonal + u"\\Samples\\Country.tvp").InUse = false;
  TUninstaller again = MakeUninstaller(fs);
  again.Load(remaining);
  again.Run();
  EXPECT_TRUE(again.Complete());
  EXPECT_TRUE(again.Problems().empty());
  EXPECT_FALSE(fs.Has(kPersonal));
  EXPECT_FALSE(KeyExists(rkLocalMachine, kTestSetup));
  EXPECT_FALSE(KeyExists(rkLocalMachine, kEntry));
  EXPECT_TRUE(KeyExists(rkLocalMachine, kOtherEntry));
}

TEST(UninstallLines, OnlyTheExactLineGoesAndTheRestOfTheFileStaysAsItWas) {
  TTempDir dir;
  struct TCase {
    RawBytes Before, After;
  };
  const TCase cases[] = {
      // ANSI with CR LF, the line last without a break, as the setup appends it.
      {"\x1A\r\n:Link d7.hlp\r\n:INDEX Tramvelon Help=TvVcl.hlp", "\x1A\r\n:Link d7.hlp\r\n"},
      // in the middle, with the case of a neighbour differing and a lookalike kept
      {"a\r\n:INDEX Tramvelon Help=TvVcl.hlp\r\n:index tramvelon help=tvvcl.hlp\r\n\xE9\n",
       "a\r\n:index tramvelon help=tvvcl.hlp\r\n\xE9\n"},
      // UTF-16LE with its mark, LF breaks
      {std::string("\xFF\xFE" "a\0\n\0:\0I\0N\0D\0E\0X\0 \0T\0r\0a\0m\0v\0e\0l\0o\0n\0 \0H\0e\0l\0p\0=\0T\0v\0V\0c\0l\0.\0h\0l\0p\0\n\0", 68),
       std::string("\xFF\xFE" "a\0\n\0", 6)},
      // no such line: untouched
      {"x\r\ny", "x\r\ny"},
  };
  for (const TCase& c : cases) {
    String file = dir.File(u"D7.ohi");
    {
      TFileStream s(file, fmCreate);
      s.WriteBuffer(c.Before.data(), c.Before.size());
    }
    String error;
    EXPECT_TRUE(RemoveLineFromTextFile(file, u":INDEX Tramvelon Help=TvVcl.hlp", error)) << StringToUtf8(error);
    EXPECT_EQ(ReadAll(file), c.After);
  }
  // A read-only file is reported and stays as it was.
  String error;
  SetFileReadOnly(dir.File(u"D7.ohi"), true);
  EXPECT_FALSE(RemoveLineFromTextFile(dir.File(u"D7.ohi"), u"x", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadAll(dir.File(u"D7.ohi")), "x\r\ny");
}

TEST(Uninstaller, AStoppedRunWithoutSetupRecordStillTakesBackItsFolderInTheDocuments) {
  TRegistryFixture reg;
  TFakeFs fs;
  const String personal = u"C:\\Users\\Jo\\Documents\\Tramvelon 4";
  fs.AddDir(u"C:\\Users\\Jo\\Documents");
  fs.AddDir(kDir);
  fs.AddDir(personal);
  fs.AddDir(personal + u"\\Text");
  fs.AddFile(personal + u"\\Text\\Country.tvp");
  fs.AddFile(u"C:\\Users\\Jo\\Documents\\Thesis.docx");
  TUninstallFolders f = Folders();
  f.Documents = u"C:\\Users\\Jo\\Documents";
  TUninstaller u(fs, f, kProgram);
  u.Load(Lines({u"dir;..\\..\\Users\\Jo\\Documents\\Tramvelon 4", u"dir;..\\..\\Users\\Jo\\Documents\\Tramvelon 4\\Text",
                u"file;..\\..\\Users\\Jo\\Documents\\Tramvelon 4\\Text\\Country.tvp",
                u"file;..\\..\\Users\\Jo\\Documents\\Thesis.docx", u"dir;..\\..\\Users\\Jo\\Documents"}));
  u.Run();
  EXPECT_FALSE(fs.Has(personal));
  // Only a folder the log made right there counts; the documents folder and its other files stay.
  EXPECT_TRUE(fs.Has(u"C:\\Users\\Jo\\Documents\\Thesis.docx"));
  EXPECT_TRUE(fs.Has(u"C:\\Users\\Jo\\Documents"));
  EXPECT_EQ(u.Problems().size(), 2u);
}
