// TvUninstall.exe's logic: reads the uninstall log, decides which records it may act on
// (the folders of this installation only), and takes the records away in reverse order.
// The file system is behind TUninstallFileSystem; the registry is TRegistry.
#pragma once

#include <memory>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

TV_DECLARE_EXCEPTION(EUninstallLogError, Exception)

enum class TRecordKind { File, Dir, RegKey, RegValue, Line };

struct TUninstallRecord {
  TRecordKind Kind = TRecordKind::File;
  String Text;  // the line as it stands in the log
  // file, dir: the recorded path; regkey: the key; regvalue: the key path.
  String Path;
  TRegRoot Root = 0;  // 0: a root the uninstaller does not know
  // regvalue: the ways to read "name;previous value", line: "file;line". Neither field
  // is escaped, so a semicolon inside the first one gives several readings.
  std::vector<std::pair<String, String>> Splits;
};

// One record per line; EUninstallLogError naming the first line that is no record.
std::vector<TUninstallRecord> ParseUninstallLog(const TStringList& lines);

// A Windows path made absolute and plain: "\" as the delimiter, "." and ".." resolved,
// no trailing backslash except after a drive ("C:\"). Empty for anything that is not a
// plain drive or UNC path: a relative path, device and \\?\ paths, streams, wildcards,
// control characters, names ending in a dot or a blank, ".." above the root.
String NormalizePath(StringView path);
// Full path of a file or folder record: relative ones (..\ allowed) below the log's folder.
String ResolveRecordPath(const String& logFolder, const String& recorded);
// Path equals Folder or lies below it (both normalised).
bool IsSameOrBelow(const String& path, const String& folder);
bool IsBelow(const String& path, const String& folder);

// The folders of one installation, from the log's folder, the registry and the shell.
struct TUninstallFolders {
  String InstallDir;                  // the log's folder
  std::vector<String> PersonalDirs;   // PersonalDir of the setup records of InstallDir
  std::vector<String> ProgramFolders; // Start-menu folders of its uninstall entries
  String Programs;                    // the user's Start-menu Programs folder
  // The user's documents: a folder the log says the setup made right there is the
  // personal folder even when the run stopped before it wrote its setup record.
  String Documents;
  String Desktop;
  // Folders that are never removed and too wide to act below: system folders, the
  // profile, documents, desktop, Start menu, program files. Drive roots always count.
  std::vector<String> Protected;
  std::vector<String> SetupKeys;      // HKLM keys of the setup records, "Software\Tramvelon\Setup1"
  String DisplayName;                 // of the uninstall entry, when there is one
};

// Reads the setup records and uninstall entries that name this installation: the
// records whose InstallDir is InstallDir, the entries whose UninstallString is Program.
void FindInstallationKeys(TUninstallFolders& folders, const String& program);

// Paths the records may name.
class TPathRules {
 public:
  explicit TPathRules(const TUninstallFolders& folders);
  bool MayRemoveFile(const String& path) const;
  bool MayRemoveDir(const String& path) const;
  bool IsProtected(const String& path) const;
  // One more folder to act below, unless it is protected or wider than a protected one.
  void AddRoot(const String& folder, bool belowPrograms = false);

 private:
  bool IsLinkIn(const String& path, const String& folder) const;
  std::vector<String> Roots_;
  std::vector<String> Protected_;
  String Programs_, Desktop_;
};

// What the uninstaller needs of the file system.
class TUninstallFileSystem {
 public:
  virtual ~TUninstallFileSystem() = default;
  virtual bool FileExists(const String& path) = 0;
  virtual bool DirExists(const String& path) = 0;
  // False with the system's reason in Error; a read-only file is deleted too.
  virtual bool EraseFile(const String& path, String& error) = 0;
  // Removes an empty folder; false when it is not empty or cannot be removed.
  virtual bool RemoveDir(const String& path, String& error) = 0;
  // Removes every line equal to Line (its line break with it) and keeps everything else
  // of the file as it was; true when the file no longer holds such a line.
  virtual bool RemoveLine(const String& file, const String& line, String& error) = 0;
};

// Removes the lines equal to Line from a text file on disk: the encoding and line breaks
// of the other lines stay; written whole or not at all. False with the reason in Error.
bool RemoveLineFromTextFile(const String& file, const String& line, String& error);

class TUninstaller {
 public:
  TUninstaller(TUninstallFileSystem& fs, TUninstallFolders folders, String program);

  // Parses the log; raises EUninstallLogError before anything is changed.
  void Load(const TStringList& lines);
  // Takes the records away. Complete() tells whether nothing is left to do.
  void Run();
  bool Complete() const { return Complete_; }
  // Lines of the log that a later run still has to do, in their order.
  TStringList RemainingLines() const;
  // What could not be removed and what was left alone, one message each.
  const std::vector<String>& Problems() const { return Problems_; }
  const TUninstallFolders& Folders() const { return Folders_; }

 private:
  enum class TOutcome { Done, Failed, Kept };
  TOutcome Undo(const TUninstallRecord& r);
  TOutcome UndoFile(const TUninstallRecord& r);
  TOutcome UndoDir(const TUninstallRecord& r, bool report);
  TOutcome UndoRegKey(const TUninstallRecord& r);
  TOutcome UndoRegValue(const TUninstallRecord& r);
  TOutcome UndoLine(const TUninstallRecord& r);
  // Records the uninstaller reads at start-up: taken away last, once all else is gone,
  // so that a second run after a failure still knows its folders and its language.
  bool IsDeferred(const TUninstallRecord& r) const;
  // The log names a value Name in Key below Root.
  bool LogNamesValue(TRegRoot root, const String& key, const String& name) const;
  void RemoveUninstallEntries();

  TUninstallFileSystem& Fs_;
  TUninstallFolders Folders_;
  TPathRules Rules_;
  String Program_;
  std::vector<TUninstallRecord> Records_;
  std::vector<bool> Left_;  // per record: still to do after the run
  std::vector<String> Problems_;
  bool Complete_ = false;
};

// The log beside the program.
inline constexpr const Char* kUninstallLogName = u"TvUninstall.dat";
// Registry places the uninstaller shares with the setup.
inline constexpr const Char* kSetupRecordsKey = u"\\Software\\Tramvelon";
inline constexpr const Char* kLocalesKey = u"\\Software\\CodeGear\\Locales";
