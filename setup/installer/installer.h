// This setup's installer: the catalogue of what the setup carries, what earlier
// installations left, and the install run.
#pragma once

#include <cstdint>
#include <vector>

#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"
#include "lib/install/kyinstaller.h"
#include "setup/setupstart.h"

enum TInstallType : std::uint8_t { itUpdate = 0, itModify = 1, itFresh = 2, itCopySettings = 3 };

struct TKyVersion {
  std::int32_t Major = 0;
  std::int32_t Minor = 0;
  std::int32_t Release = 0;
};

// The previous major version, whose settings can be taken over.
inline constexpr int kPreviousMajorVersion = kSetupMajor - 1;

class TInstaller : public TKyInstaller {
 public:
  // The catalogue: one component per payload resource, the package description and the
  // search for existing installations. Create through TKyInstaller::Create<TInstaller>().
  TInstaller();
  ~TInstaller() override;

  bool AddSamplesToRecentList = false;
  bool CreateDesktopIcon = false;
  String UiLanguage;
  TStringList ExistingSampleFolders;
  String ExistingDir;
  String PreviousDir;
  TStringList ExistingDictionaries;
  TStringList ExistingLanguages;
  TKyVersion ExistingVersion;
  TInstallType InstallType = itFresh;
  String PreviousProgramFolder;
  String PreviousPersonalDir;
  String PackageAuthor;
  String PackageDescription;
  TDateTime PackageCreated = 0;
  String PackageName;
  String PackageFile;
  bool IsPackageSetup = false;
  // The setup's language code, recorded for the uninstaller's start-up; empty for English.
  String UninstallerLanguage;

  String GetProductName() override;
  String GetUninstallFileName() override;
  void FileLogged(const String& fileName) override;
  void DoInstall() override;

  int SampleComponentCount() const { return static_cast<int>(SampleComponents_.size()); }
  // EListError outside 0 .. SampleComponentCount - 1.
  TKyVisibleComponent* SampleComponents(int index) const;

  int ExistingDictionaryCount() const { return ExistingDictionaries.Count(); }
  int IndexOfExistingDictionary(const String& locale) const;
  int ExistingLanguageCount() const { return ExistingLanguages.Count(); }
  int IndexOfExistingLanguage(const String& locale) const;

  // Tramvelon.tvo in the personal folder on Vista and later unless the installation goes
  // to a removable disk or CD; else in the installation folder.
  String GetOptionsFileName() const;
  // The same rule for the previous major version's installation.
  String GetPreviousOptionsFileName() const;
  // Bytes the selected components occupy, for the list of installed programs.
  std::int64_t SelectedSize() const;

  // The locale of the tool's language file extension ("DEU", "RU"; "CHT" is zh.tra).
  static String LanguageExtLocale(const String& ext);
  static String LanguageFileLocale(const String& fileName);

  // Development environments (public for tests).
  bool IdeInstalled(const String& key) const;
  void InstallIdeHelp(const String& ideKey, const String& baseName);
  void AddToSearchPath(const String& key, const String& valueName, const String& dir);
  // Adds Line to the help index file F as the environments expect (see ide.cpp).
  void AddHelpLine(const String& indexFile, const String& line, const String& helpFile);

 private:
  void AddResourceComponent(const String& name);
  void ReadPackageDescription();
  void FindExistingInstallations();
  void WriteRegistry();
  void WriteUninstallerLanguage();
  void WriteOptionsFile();
  void CreateShortcuts();
  void InstallIdeIntegration();
  // Creates every missing level of Dir, recording each one it made.
  void CreateFolders(const String& dir);

  std::vector<TKyVisibleComponent*> SampleComponents_;
};

// Helpers of the install run.
// Creates every missing level of Path; a file in the way of a level is deleted first.
bool ForceFolders(const String& path);
// FileName unchanged when absolute; else expanded against Folder, ".." resolved.
String CombinePath(const String& fileName, const String& folder);
// Removes the drive of Path when it lies on a removable drive with Base's drive letter.
String MakeDriveRelative(const String& path, const String& base);
// Creates Target with every missing level and copies the files (not folders) of Source into it.
void CopyFolderFiles(const String& source, const String& target);
// A per-user shell folder: 0 Start-menu Programs, 1 desktop, 2 documents, 3 profile; empty on failure.
String GetSpecialFolder(int kind);
// The sample projects that the options file lists, relative to the samples folder.
const std::vector<String>& SampleProjectPaths();
