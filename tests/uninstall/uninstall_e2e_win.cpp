// TvUninstall.exe driven from another process over installations that this test makes
// itself, as the setup would: files, folders, shortcuts, registry keys and values with
// their previous data, a line in a foreign file, the setup record and the uninstall entry.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"
#include "lib/install/kyuninstall.h"
#include "tests/core/testutil.h"
#include "tests/e2e/driver/kydriver.h"

namespace {

std::wstring Wide(const char* s) { return std::wstring(s, s + strlen(s)); }
std::wstring Ws(const String& s) { return std::wstring(W(s)); }
std::string Narrow(const std::wstring& w) { return StringToUtf8(FromW(w.c_str())); }
std::wstring Shot(const char* name) { return Wide(TV_SCREENSHOT_DIR) + L"/" + Wide(name) + L".png"; }

String ShellFolder(int csidl) {
  wchar_t buf[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf);
  return FromW(buf);
}

void WriteText(const String& file, const RawBytes& bytes) {
  ForceDirectories(ExtractFileDir(file));
  TFileStream s(file, fmCreate);
  s.WriteBuffer(bytes.data(), bytes.size());
}

String ReadValue(TRegRoot root, const String& key, const String& name) {
  TRegistry reg(root);
  return reg.OpenKeyReadOnly(key) ? reg.ReadString(name) : u"<no key>";
}

bool HasValue(TRegRoot root, const String& key, const String& name) {
  TRegistry reg(root);
  return reg.OpenKeyReadOnly(key) && reg.ValueExists(name);
}

bool KeyExists(TRegRoot root, const String& key) { return TRegistry(root).KeyExists(key); }

const String kAssoc = u".tvuninsttest";
const String kProgId = u"TvUninstTestProject";
const String kForeignKey = u"\\Software\\TvUninstTest";
const String kIdeHelp = u"C:\\TvUninstTestIde\\Help\\D7.ohi";

// One installation made as the setup makes it, with its log.
struct TInstallation {
  String Name, Dir, Program, Personal, ProgramFolder, DesktopLink, SetupKey, UpdateKey, EntryKey;
  String Language = u" ";  // the setup's language as it records it for the uninstaller
  TKyUninstallFile Log;

  explicit TInstallation(const String& name) : Name(name) {
    Dir = ShellFolder(CSIDL_PROGRAM_FILES) + u"\\" + name;
    Program = Dir + u"\\TvUninstall.exe";
    Personal = ShellFolder(CSIDL_PERSONAL) + u"\\" + name;
    ProgramFolder = ShellFolder(CSIDL_PROGRAMS) + u"\\" + name;
    DesktopLink = ShellFolder(CSIDL_DESKTOP) + u"\\" + name + u".lnk";
    EntryKey = TKyInstaller::UninstallRoot() + u"\\" + name;
    Log.FileName = Dir + u"\\TvUninstall.dat";
  }

  void Folder(const String& dir) {
    Log.AddDir(dir);
    CreateDir(dir);
  }
  void File(const String& file, const RawBytes& content = "data") {
    Log.AddNewFile(file);
    WriteText(file, content);
  }
  void Link(const String& link, const String& target) {
    TComPtr<IShellLinkW> sl;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, sl.PutVoid())));
    sl->SetPath(W(target));
    sl->SetWorkingDirectory(W(ExtractFileDir(target)));
    TComPtr<IPersistFile> pf;
    ASSERT_TRUE(SUCCEEDED(sl->QueryInterface(IID_IPersistFile, pf.PutVoid())));
    Log.AddFile(link);
    ASSERT_TRUE(SUCCEEDED(pf->Save(W(link), TRUE)));
  }
  // Every key level that does not exist yet is recorded before it is created.
  void Value(TRegRoot root, const String& key, const String& name, const String& value) {
    TRegistry reg(root);
    for (size_t cut = key.find(u'\\', 1); cut != String::npos; cut = key.find(u'\\', cut + 1))
      Log.AddNewRegKey(reg, key.substr(0, cut));
    Log.AddNewRegKey(reg, key);
    ASSERT_TRUE(reg.OpenKey(key, true));
    Log.AddRegValueIfChanged(reg, name, value);
    reg.WriteString(name, value);
  }

  // The whole installation; the uninstaller is the program of this build.
  void Make() {
    ForceDirectories(Dir);  // not recorded, as the setup does not record it
    ASSERT_TRUE(CopyFileTo(FromW(Wide(TV_UNINSTALL_EXE).c_str()), Program, false));
    Folder(Personal);
    File(Personal + u"\\Tramvelon.tvo", "<?xml version=\"1.0\"?><options/>");
    Folder(Personal + u"\\Samples");
    Folder(Personal + u"\\Samples\\Text");
    File(Personal + u"\\Samples\\Text\\Country.tvp");
    File(Dir + u"\\Tramvelon.exe");
    Folder(Dir + u"\\VCL");
    File(Dir + u"\\VCL\\TvVcl.hlp");
    Folder(ProgramFolder);
    Link(ProgramFolder + u"\\Tramvelon 4.lnk", Dir + u"\\Tramvelon.exe");
    Link(ProgramFolder + u"\\Uninstall.lnk", Program);
    Link(DesktopLink, Dir + u"\\Tramvelon.exe");
    // The setup record: the next free SetupN.
    TRegistry reg(rkLocalMachine);
    Log.AddNewRegKey(reg, u"\\Software\\Tramvelon");
    ASSERT_TRUE(reg.OpenKey(u"\\Software\\Tramvelon", true));
    SetupKey = SetupRecord();
    // The uninstall entry, not recorded, with what Apps & Features shows.
    ASSERT_TRUE(reg.OpenKey(EntryKey, true));
    reg.WriteString(u"DisplayName", Name);
    reg.WriteString(u"UninstallString", Program);
    reg.WriteString(u"InstallFolder", Name);
    reg.WriteString(u"DisplayVersion", u"4.0.354");
    reg.WriteString(u"Publisher", u"Tramvelon");
    reg.WriteString(u"DisplayIcon", Dir + u"\\Tramvelon.exe");
    reg.WriteString(u"InstallLocation", Dir);
    reg.WriteInteger(u"EstimatedSize", 1234);
    reg.WriteInteger(u"NoModify", 1);
    reg.WriteInteger(u"NoRepair", 1);
    // File associations, a value that existed before, the language of the uninstaller.
    Value(rkClassesRoot, u"\\" + kAssoc, u"", kProgId);
    Value(rkClassesRoot, u"\\" + kProgId + u"\\DefaultIcon", u"", u"\"" + Dir + u"\\Tramvelon.exe\",1");
    Value(rkCurrentUser, kForeignKey, u"Search Path", u"C:\\Lib;" + Dir + u"\\VCL");
    // English: the setup writes " " for its built-in language.
    Value(rkCurrentUser, u"\\Software\\CodeGear\\Locales", Program, Language);
    // A line appended to a foreign file.
    Log.AddLineIfMissing(kIdeHelp, u":INDEX Tramvelon Help=TvVcl.hlp");
    WriteText(kIdeHelp, ":Index Delphi=delphi.hlp\r\n:INDEX Tramvelon Help=TvVcl.hlp");
    Log.Save();
  }

  // The setup record of a run: the next free SetupN.
  String SetupRecord() {
    TRegistry reg(rkLocalMachine);
    int n = 1;
    while (reg.KeyExists(Format(u"\\Software\\Tramvelon\\Setup%d", {n}))) ++n;
    String key = Format(u"\\Software\\Tramvelon\\Setup%d", {n});
    Value(rkLocalMachine, key, u"Version", u"4");
    Value(rkLocalMachine, key, u"InstallDir", Dir);
    Value(rkLocalMachine, key, u"PersonalDir", Personal);
    return key;
  }

  // An update into the same folder: the log of the first run is read back, the new
  // records follow it, and a second setup record names the same folder.
  void Update() {
    Log.Load();
    File(Dir + u"\\VCL\\TvVcl.cnt");
    File(Dir + u"\\Tramvelon.exe", "newer");  // replaced: recorded once
    File(Personal + u"\\Samples\\Text\\Country2.tvp");
    UpdateKey = SetupRecord();
    Log.Save();
  }

  bool Gone() const {
    if (!UpdateKey.empty() && KeyExists(rkLocalMachine, UpdateKey)) return false;
    return !DirectoryExists(Dir) && !DirectoryExists(Personal) && !DirectoryExists(ProgramFolder) &&
           !FileExists(DesktopLink) && !KeyExists(rkLocalMachine, SetupKey) && !KeyExists(rkLocalMachine, EntryKey);
  }
};

// What was there before the installations: kept whatever they do.
struct TBefore {
  TBefore() {
    TRegistry reg(rkCurrentUser);
    reg.OpenKey(kForeignKey, true);
    reg.WriteString(u"Search Path", u"C:\\Lib");
    reg.WriteString(u"Other", u"not from the setup");
  }
  ~TBefore() {
    for (TRegRoot root : {rkCurrentUser}) {
      TRegistry reg(root);
      reg.DeleteKey(kForeignKey);
    }
    TRegistry cr(rkClassesRoot);
    cr.DeleteKey(kProgId + u"\\DefaultIcon");
    cr.DeleteKey(kProgId);
    cr.DeleteKey(kAssoc);
    RemoveFile(kIdeHelp);
    RemoveDir(ExtractFileDir(kIdeHelp));
    RemoveDir(ExtractFileDir(ExtractFileDir(kIdeHelp)));
  }
};

// How long the program's folder may take to go after it ended: the command processor that
// deletes it retries for half a minute, and under load each retry waits.
constexpr int kSelfDeleteMs = 35000;

// The result window that follows the confirmation, once it has its Close button.
HWND WaitForResult(TDriver& d, const std::wstring& title) {
  HWND result = nullptr;
  TDriver::WaitFor([&] {
    result = d.FollowWindow(title, 100);
    return result && d.Control(result, L"CloseButton");
  }, 20000);
  return result;
}

// Runs the uninstaller as Apps & Features does and confirms; the result window stays open.
HWND ConfirmUninstall(TDriver& d, const TInstallation& inst, const char* shot) {
  if (!d.Start(L"\"" + Ws(inst.Program) + L"\"")) return nullptr;
  HWND ask = d.FollowWindow(L"Tramvelon Uninstall");
  if (!ask || !d.Control(ask, L"UninstallButton")) return nullptr;
  EXPECT_EQ(TDriver::Text(d.Control(ask, L"QuestionLabel")),
            L"Do you want to remove " + Ws(inst.Name) + L" and all of its components from this computer?");
  EXPECT_EQ(TDriver::Text(d.Control(ask, L"FolderLabel")), L"Folder: " + Ws(inst.Dir));
  EXPECT_TRUE(TDriver::Screenshot(ask, Shot(shot)));
  d.Click(d.Control(ask, L"UninstallButton"));
  return WaitForResult(d, L"Tramvelon Uninstall");
}

void CloseResult(TDriver& d, HWND result, int exitCode) {
  d.Click(d.Control(result, L"CloseButton"));
  EXPECT_EQ(d.WaitExit(), exitCode);
}

struct TComScope {
  TComInit Com;
};

}  // namespace

TEST(UninstallE2E, RemovesTheInstallationAndItselfAndRestoresWhatWasThereBefore) {
  TComScope com;
  TBefore before;
  bool hadSetupRecords = KeyExists(rkLocalMachine, u"\\Software\\Tramvelon");
  TInstallation other(u"TvUninstTest Other");  // beside it: must stay whole
  other.Make();
  TInstallation inst(u"TvUninstTest");
  inst.Make();
  inst.Update();
  TDriver d;
  HWND result = ConfirmUninstall(d, inst, "uninstall-confirm");
  ASSERT_TRUE(result);
  EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")), L"TvUninstTest was removed from your computer.");
  EXPECT_FALSE(TDriver::Visible(d.Control(result, L"NotesMemo")));
  EXPECT_TRUE(TDriver::Screenshot(result, Shot("uninstall-result")));
  CloseResult(d, result, 0);
  // The command processor deletes the program and its folder once it has ended.
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(inst.Dir); }, kSelfDeleteMs));
  EXPECT_TRUE(inst.Gone());
  EXPECT_EQ(ReadValue(rkCurrentUser, kForeignKey, u"Search Path"), u"C:\\Lib;" + other.Dir + u"\\VCL");
  EXPECT_EQ(ReadValue(rkCurrentUser, kForeignKey, u"Other"), u"not from the setup");
  EXPECT_EQ(ReadValue(rkClassesRoot, kProgId + u"\\DefaultIcon", u""), u"\"" + other.Dir + u"\\Tramvelon.exe\",1");
  EXPECT_FALSE(HasValue(rkCurrentUser, u"\\Software\\CodeGear\\Locales", inst.Program));
  EXPECT_TRUE(HasValue(rkCurrentUser, u"\\Software\\CodeGear\\Locales", other.Program));
  // The help line was the other installation's: its log names it, this one's does not.
  EXPECT_EQ(ReadAll(kIdeHelp), ":Index Delphi=delphi.hlp\r\n:INDEX Tramvelon Help=TvVcl.hlp");
  // The other installation is whole.
  EXPECT_TRUE(FileExists(other.Program));
  EXPECT_TRUE(FileExists(other.DesktopLink));
  EXPECT_TRUE(FileExists(other.ProgramFolder + u"\\Uninstall.lnk"));
  EXPECT_EQ(ReadValue(rkLocalMachine, other.SetupKey, u"InstallDir"), other.Dir);
  EXPECT_EQ(ReadValue(rkLocalMachine, other.EntryKey, u"UninstallString"), other.Program);
  EXPECT_TRUE(FileExists(other.Log.FileName));

  // The other one next, from its Start-menu shortcut's target: the first installation's
  // associations and keys go now, and nothing of either is left.
  TDriver d2;
  result = ConfirmUninstall(d2, other, "uninstall-confirm-other");
  ASSERT_TRUE(result);
  CloseResult(d2, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(other.Dir); }, kSelfDeleteMs));
  EXPECT_TRUE(other.Gone());
  EXPECT_FALSE(KeyExists(rkClassesRoot, kAssoc));
  EXPECT_FALSE(KeyExists(rkClassesRoot, kProgId));
  EXPECT_EQ(ReadValue(rkCurrentUser, kForeignKey, u"Search Path"), u"C:\\Lib");
  EXPECT_EQ(KeyExists(rkLocalMachine, u"\\Software\\Tramvelon"), hadSetupRecords);
  EXPECT_FALSE(KeyExists(rkCurrentUser, u"\\Software\\CodeGear\\Locales"));
  EXPECT_EQ(ReadAll(kIdeHelp), ":Index Delphi=delphi.hlp\r\n");
}

TEST(UninstallE2E, AFileInUseIsReportedAndASecondRunFinishes) {
  TComScope com;
  TBefore before;
  TInstallation inst(u"TvUninstTest Busy");
  inst.Make();
  String busy = inst.Personal + u"\\Samples\\Text\\Country.tvp";
  {
    TFileHandle held(CreateFileW(W(busy), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    TDriver d;
    HWND result = ConfirmUninstall(d, inst, "uninstall-confirm-busy");
    ASSERT_TRUE(result);
    EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")),
              L"Some items could not be removed. Close the programs that use them and run the uninstaller again to finish.");
    std::wstring notes = TDriver::Text(d.Control(result, L"NotesMemo"));
    EXPECT_NE(notes.find(L"Could not remove " + Ws(busy) + L":"), std::wstring::npos) << Narrow(notes);
    EXPECT_TRUE(TDriver::Screenshot(result, Shot("uninstall-result-busy")));
    CloseResult(d, result, 1);
  }
  Sleep(500);
  EXPECT_TRUE(FileExists(inst.Program));  // kept for the second run, with its entry
  EXPECT_TRUE(KeyExists(rkLocalMachine, inst.EntryKey));
  EXPECT_FALSE(FileExists(inst.Dir + u"\\Tramvelon.exe"));
  EXPECT_FALSE(FileExists(inst.DesktopLink));
  TKyUninstallFile left;
  left.FileName = inst.Log.FileName;
  left.Load();
  EXPECT_LT(left.Lines.Count(), inst.Log.Lines.Count());
  EXPECT_TRUE(FileExists(busy));

  TDriver d;
  HWND result = ConfirmUninstall(d, inst, "uninstall-confirm-again");
  ASSERT_TRUE(result);
  EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")), L"TvUninstTest Busy was removed from your computer.");
  CloseResult(d, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(inst.Dir); }, kSelfDeleteMs));
  EXPECT_TRUE(inst.Gone());
}

TEST(UninstallE2E, AForgedLogIsHeldToTheInstallationsFolders) {
  TComScope com;
  TBefore before;
  String decoy = ShellFolder(CSIDL_WINDOWS) + u"\\TvUninstTestDecoy.txt";
  String userFile = ShellFolder(CSIDL_DESKTOP) + u"\\TvUninstTest Notes.txt";
  WriteText(decoy, "keep");
  WriteText(userFile, "keep");
  TInstallation inst(u"TvUninstTest Forged");
  inst.Make();
  inst.Log.AddLine(u"file;" + decoy);
  inst.Log.AddLine(u"file;..\\..\\windows\\TvUninstTestDecoy.txt");
  inst.Log.AddFile(userFile);
  inst.Log.AddLine(u"dir;..\\..\\windows");
  inst.Log.Save();
  {
    TRegistry reg(rkClassesRoot);  // another program's value in a key the setup created
    ASSERT_TRUE(reg.OpenKey(u"\\" + kProgId, false));
    reg.WriteString(u"FriendlyTypeName", u"not from the setup");
  }
  TDriver d;
  HWND result = ConfirmUninstall(d, inst, "uninstall-confirm-forged");
  ASSERT_TRUE(result);
  EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")),
            L"TvUninstTest Forged was removed from your computer. The items below were left as they are.");
  std::wstring notes = TDriver::Text(d.Control(result, L"NotesMemo"));
  EXPECT_NE(notes.find(L"Left alone, not a part of this installation: " + Ws(decoy)), std::wstring::npos);
  EXPECT_NE(notes.find(L"Left alone, not a part of this installation: " + Ws(userFile)), std::wstring::npos);
  EXPECT_TRUE(TDriver::Screenshot(result, Shot("uninstall-result-forged")));
  CloseResult(d, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(inst.Dir); }, kSelfDeleteMs));
  EXPECT_TRUE(inst.Gone());
  EXPECT_EQ(ReadAll(decoy), "keep");
  EXPECT_EQ(ReadAll(userFile), "keep");
  EXPECT_EQ(ReadValue(rkClassesRoot, u"\\" + kProgId, u"FriendlyTypeName"), u"not from the setup");
  EXPECT_FALSE(KeyExists(rkClassesRoot, u"\\" + kProgId + u"\\DefaultIcon"));
  EXPECT_FALSE(KeyExists(rkClassesRoot, u"\\" + kAssoc));
  RemoveFile(decoy);
  RemoveFile(userFile);
}

TEST(UninstallE2E, AnAbortedInstallationWithoutRegistryEntriesGoesToo) {
  TComScope com;
  TInstallation inst(u"TvUninstTest Aborted");  // ended during its first component
  ForceDirectories(inst.Dir);
  ASSERT_TRUE(CopyFileTo(FromW(Wide(TV_UNINSTALL_EXE).c_str()), inst.Program, false));
  inst.Folder(inst.Dir + u"\\Help");
  inst.File(inst.Dir + u"\\Help\\Tramvelon.chm");
  inst.File(inst.Dir + u"\\Tramvelon.exe");
  inst.Log.Save();
  inst.Name = u"Tramvelon 4";  // no uninstall entry names it
  TDriver d;
  HWND result = ConfirmUninstall(d, inst, "uninstall-confirm-aborted");
  ASSERT_TRUE(result);
  EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")), L"Tramvelon 4 was removed from your computer.");
  CloseResult(d, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(inst.Dir); }, kSelfDeleteMs));
}

// The setup ran in German and recorded it: the uninstaller asks and answers in German,
// whatever the user's locale is.
TEST(UninstallE2E, SpeaksTheLanguageTheSetupRanIn) {
  TComScope com;
  TBefore before;
  TInstallation inst(u"TvUninstTest Deutsch");
  inst.Language = u"DEU";
  inst.Make();
  TDriver d;
  ASSERT_TRUE(d.Start(L"\"" + Ws(inst.Program) + L"\""));
  HWND ask = d.FollowWindow(L"Tramvelon deinstallieren");
  ASSERT_TRUE(ask && d.Control(ask, L"UninstallButton"));
  EXPECT_EQ(TDriver::Text(d.Control(ask, L"QuestionLabel")),
            L"Möchten Sie " + Ws(inst.Name) + L" und alle zugehörigen Komponenten von diesem Computer entfernen?");
  EXPECT_EQ(TDriver::Text(d.Control(ask, L"FolderLabel")), L"Ordner: " + Ws(inst.Dir));
  EXPECT_TRUE(TDriver::Screenshot(ask, Shot("uninstall-confirm-de")));
  d.Click(d.Control(ask, L"UninstallButton"));
  HWND result = WaitForResult(d, L"Tramvelon deinstallieren");
  ASSERT_TRUE(result);
  EXPECT_EQ(TDriver::Text(d.Control(result, L"ResultLabel")), Ws(inst.Name) + L" wurde von Ihrem Computer entfernt.");
  EXPECT_TRUE(TDriver::Screenshot(result, Shot("uninstall-result-de")));
  CloseResult(d, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return !DirectoryExists(inst.Dir); }, kSelfDeleteMs));
  EXPECT_TRUE(inst.Gone());
}

TEST(UninstallE2E, NoLogOrADamagedLogChangesNothing) {
  TComScope com;
  TBefore before;
  TInstallation inst(u"TvUninstTest Damaged");
  inst.Make();
  RawBytes log = ReadAll(inst.Log.FileName);
  struct TCase {
    RawBytes Log;
    std::wstring Message;
  };
  const TCase cases[] = {
      {RawBytes(), L"The uninstall information \"" + Ws(inst.Log.FileName) + L"\" was not found. Nothing was removed."},
      {log + "garbage\r\n", L"The uninstall information \"" + Ws(inst.Log.FileName) +
                                L"\" is damaged or does not belong to this program. Nothing was removed.\n\nLine " +
                                std::to_wstring(inst.Log.Lines.Count() + 1) + L" is not an entry of an uninstall log: garbage"},
      {std::string("\xEF\xBB\xBF" "file;Tramvelon.exe\r\nfi\0le;x\r\n", 30), L""},
  };
  for (const TCase& c : cases) {
    if (c.Log.empty()) {
      RemoveFile(inst.Log.FileName);
    } else {
      WriteText(inst.Log.FileName, c.Log);
    }
    TDriver d;
    ASSERT_TRUE(d.Start(L"\"" + Ws(inst.Program) + L"\""));
    HWND box = d.FollowWindow(L"Error", 15000);
    ASSERT_TRUE(box);
    if (!c.Message.empty()) {
      EXPECT_EQ(TDriver::MessageBoxText(box), c.Message);
    }
    if (&c == &cases[1]) {
      EXPECT_TRUE(TDriver::Screenshot(box, Shot("uninstall-damaged-log")));
    }
    d.Answer(box, IDOK);
    EXPECT_EQ(d.WaitExit(), 1);
    Sleep(300);
    EXPECT_TRUE(FileExists(inst.Program));
    EXPECT_TRUE(FileExists(inst.Dir + u"\\Tramvelon.exe"));
    EXPECT_TRUE(FileExists(inst.DesktopLink));
    EXPECT_EQ(ReadValue(rkLocalMachine, inst.EntryKey, u"UninstallString"), inst.Program);
    EXPECT_EQ(ReadAll(kIdeHelp), ":Index Delphi=delphi.hlp\r\n:INDEX Tramvelon Help=TvVcl.hlp");
  }
  // A good log again; Escape on the question keeps everything, and so does a second start
  // while the question is open.
  WriteText(inst.Log.FileName, log);
  {
    TDriver d;
    ASSERT_TRUE(d.Start(L"\"" + Ws(inst.Program) + L"\""));
    HWND ask = d.FollowWindow(L"Tramvelon Uninstall");
    ASSERT_TRUE(ask);
    TDriver second;
    ASSERT_TRUE(second.Start(L"\"" + Ws(inst.Program) + L"\""));
    EXPECT_EQ(second.WaitExit(), 0);  // the first instance hands over and ends
    Sleep(1000);
    int windows = 0;
    EnumWindows([](HWND h, LPARAM n) {
      if (IsWindowVisible(h) && TDriver::Text(h) == L"Tramvelon Uninstall") ++*reinterpret_cast<int*>(n);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&windows));
    EXPECT_EQ(windows, 1);
    d.Key(ask, VK_ESCAPE);
    EXPECT_EQ(d.WaitExit(), 1);
    Sleep(300);
    EXPECT_TRUE(FileExists(inst.Program));
    EXPECT_TRUE(FileExists(inst.Dir + u"\\Tramvelon.exe"));
    EXPECT_EQ(ReadAll(inst.Log.FileName), log);
  }
  TDriver d;
  HWND result = ConfirmUninstall(d, inst, "uninstall-confirm-damaged");
  ASSERT_TRUE(result);
  CloseResult(d, result, 0);
  EXPECT_TRUE(TDriver::WaitFor([&] { return inst.Gone(); }, 15000));
}
