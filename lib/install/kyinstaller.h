// The installer base: an ordered list of install components (one payload archive
// each), the choices every installation shares, the events through which the user
// interface follows a run, progress counters and the uninstall log.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "lib/core/kystreams.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"
#include "lib/install/kyuninstall.h"

class TKyInstaller;

// Resource type of the payload archives.
inline constexpr const Char* kPayloadResourceType = u"TRAMVELON";

class TKyInstallComponent {
 public:
  // Stores the names and, when the resource exists, adds up the uncompressed sizes of
  // its archive's entries into Size (the archive reader's error for an unreadable one).
  TKyInstallComponent(const String& resourceName, const String& folder);
  virtual ~TKyInstallComponent() = default;

  bool Selected = true;
  String Folder;
  String Caption;
  // Bytes after extraction; totals of 2 GiB and more are held at the largest value.
  std::int32_t Size = 0;
  String ResourceName;

  static bool ResourceExists(const String& name);
  // Read-only stream over the resource memory; EResNotFound when missing.
  static std::unique_ptr<TReadOnlyMemoryStream> OpenResource(const String& name);
  // The same bytes for reading a whole archive: on Windows read from the program file where
  // the resource lies, since every page of the mapped program that is read stays in the
  // setup's working set until it ends (the mapped image when the file cannot be read).
  static std::unique_ptr<TStream> OpenResourceFile(const String& name);
  // Names of all payload resources in the order the system enumerates them (ascending).
  static void GetResourceNames(TStringList& names);
  bool Exists() const { return ResourceExists(ResourceName); }
  // Entry names of the archive in archive order; empty when the resource is missing.
  void GetFileNames(TStringList& list) const;
};

// Application files: installed whenever present; an empty Folder is the installation folder.
class TKyHiddenComponent : public TKyInstallComponent {
 public:
  using TKyInstallComponent::TKyInstallComponent;
};

// Files below the samples folder.
class TKySampleComponent : public TKyInstallComponent {
 public:
  using TKyInstallComponent::TKyInstallComponent;
};

// A sample group that the user may deselect.
class TKyVisibleComponent : public TKySampleComponent {
 public:
  using TKySampleComponent::TKySampleComponent;
  String Description;
};

// Answers the password prompt of an encrypted entry: true for OK with the entered text
// in Password, false for Cancel. The window framework installs its dialog here.
using TKyPasswordPrompt = std::function<bool(String& password)>;
extern TKyPasswordPrompt KyPasswordPrompt;

class TKyInstaller {
 public:
  using TComponentEvent = std::function<void(TKyInstaller* sender, TKyInstallComponent* component)>;
  using TStatusEvent = std::function<void(TKyInstaller* sender, const String& text)>;
  using TProgressEvent = std::function<void(TKyInstaller* sender, int percent, bool& abort)>;
  using TFileEvent =
      std::function<void(TKyInstaller* sender, const String& resourceName, bool& skip, const String& fileName)>;

  TKyInstaller();
  // Frees the uninstall log first, then the components.
  virtual ~TKyInstaller();
  TKyInstaller(const TKyInstaller&) = delete;
  TKyInstaller& operator=(const TKyInstaller&) = delete;

  // Creates an installer of class T and sets DisplayName through the concrete class's
  // GetProductName, which a base constructor cannot reach.
  template <typename T, typename... Args>
  static std::unique_ptr<T> Create(Args&&... args) {
    auto p = std::make_unique<T>(std::forward<Args>(args)...);
    p->AfterConstruction();
    return p;
  }
  virtual void AfterConstruction();

  bool Aborted = false;
  // While false, a stop request waits for the end of the archive being extracted: the
  // uninstaller must arrive whole, or nothing of an aborted run could be taken back.
  bool StopWithinArchive = true;
  TKyInstallComponent* CurrentComponent = nullptr;
  String ProgramFolder;
  String InstallDir;
  String DisplayName;
  bool SamplesToPersonalDir = false;
  String PersonalDir;
  String CurrentResource;
  TComponentEvent OnComponent;
  TStatusEvent OnStatus;
  TProgressEvent OnProgress;
  TFileEvent OnFile;
  String ShortcutDir;
  std::int32_t ProgressDone = 0;
  std::int32_t ProgressTotal = 0;
  std::unique_ptr<TKyUninstallFile> UninstallFile;

  virtual String GetProductName() = 0;
  // File name, without folder, of the uninstall log.
  virtual String GetUninstallFileName() = 0;
  // An archive entry was recorded in the log and is about to be written.
  virtual void FileLogged(const String& fileName) = 0;
  virtual void DoInstall() = 0;

  int ComponentCount() const { return static_cast<int>(Components_.size()); }
  // EListError outside 0 .. ComponentCount - 1.
  TKyInstallComponent* Components(int index) const;
  int AddComponent(std::unique_ptr<TKyInstallComponent> component);
  // First component whose ResourceName equals Name exactly, or nullptr.
  TKyInstallComponent* FindComponent(const String& resourceName) const;
  bool IsComponentSelected(const String& resourceName) const;
  String GetSamplesDir() const;
  void SetInstallDir(const String& dir);
  // Loads the log, resets Aborted, runs DoInstall and saves the log; an exception of the
  // run passes on and the log is not saved.
  void Install();
  String GetUninstallKey() { return UninstallRoot() + u"\\" + DisplayName; }
  String GetProductUninstallKey() { return UninstallRoot() + u"\\" + GetProductName(); }

  void InstallComponent(TKyInstallComponent* component);
  void ExtractResource(const String& resourceName, const String& targetFolder);
  // Creates the single folder Dir (failures ignored) and records it in any case.
  void CreateFolder(const String& dir);

  // Writes one shell link to Dir\FileName (working folder Dir) and records LinkFile in the
  // log whatever the save returned; the shell's result code.
  std::int32_t CreateShellLink(const String& dir, const String& fileName, const String& description,
                               const String& linkFile);
  // Creates ShortcutDir\LinkName (made unique on request) to Dir\FileName when the target
  // exists and the link does not; errors are swallowed.
  bool CreateShortcut(const String& dir, const String& fileName, bool uniqueName, const String& linkName);
  // Registers a help file with Windows (below HKEY_LOCAL_MACHINE, when the help key exists).
  void RegisterHelpFile(const String& fileName);

  static String GetUniqueFileName(const String& fileName);
  static String GetUniqueDirName(const String& dir);
  static String GetUniqueUninstallName(const String& name);
  static String UninstallRoot() { return u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"; }

 protected:
  // Handlers of the archive reader's events.
  void DoStartUnZip(int entryIndex, const String& fileName, bool& skip);
  void DoEndUnZip(int entryIndex, const String& fileName);
  void DoTotalPercentDone(int percent);
  // Password is in the ANSI code page; an empty one for Cancel.
  void DoBadPassword(int entryIndex, std::string& password);

 private:
  void ExtractNested(const String& archiveFile);
  std::vector<std::unique_ptr<TKyInstallComponent>> Components_;
  String Destination_;       // of the archive being extracted
  bool AbortSkipped_ = false;  // an entry of this archive was left out for Aborted
  // Folders that this run found or made, upper-cased: every question about a path costs a
  // look-up in the file system (under Wine a slow one), and big payloads ask thousands.
  std::unordered_set<String> FoldersSeen_;
};

// The folders from the top down to Dir, below its drive or \\server\share.
std::vector<String> KyFolderLevels(const String& dir);
// Folder and name joined with the platform's delimiter.
String KyJoinPath(const String& dir, const String& name);
