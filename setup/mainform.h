// The setup's main window: the generic wizard window and the setup wizard on top of it.
// TMainForm's members are spread over files by page: mainform_win.cpp (creation, closing,
// initialisation), pageflow_win.cpp (the wizard's events), selectionpages_win.cpp,
// folderpages_win.cpp, installpage_win.cpp, checkpage_win.cpp and languagelist_win.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/locale/kylanguage.h"
#include "lib/ui/win/kywizard.h"
#include "lib/ui/win/setupdialogs.h"
#include "setup/installer/installer.h"

// winbase.h still defines a 16-bit GetFreeSpace as a macro.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

// The wizard window: banner, page control, the product line and the three buttons.
class TSetupWizard : public TSetupDialog {
 public:
  explicit TSetupWizard(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void FormCreate(TKyComponent* sender) override;
  void AddressLabelClick(TKyComponent* sender);

  TKyWizard* Wizard() const;

 protected:
  template <class T>
  T* Get(const char16_t* name) const {
    return dynamic_cast<T*>(FindComponent(name));
  }
};

// An entry of the setup-language list.
struct TLanguageListItem {
  String Code;          // language-file code, "EN" for the built-in English
  std::uint32_t Locale; // CodeToLocale(Code)
  String Name;          // the text shown
};

class TMainForm : public TSetupWizard {
 public:
  explicit TMainForm(TKyComponent* owner);
  ~TMainForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void FormCreate(TKyComponent* sender) override;
  void FormShow(TKyComponent* sender) override;
  void FormCloseQuery(TKyComponent* sender, bool& canClose);
  void FormDestroy(TKyComponent* sender);
  void CancelButtonClick(TKyComponent* sender);
  void UpdateControls() override;

  // Creates the installer from the catalogue and fills every page; again after a change of
  // the setup's language.
  void InitializeSetup();
  String GetDefaultInstallDir() const;
  // Adds the entries of a shell special folder (CSIDL) to the existing-folders list.
  void AddExistingFolders(int specialFolder);

  bool Initialized() const { return Initialized_; }
  TInstaller* Installer() const { return Installer_.get(); }

  // Page flow.
  void WizardValidatePage(TKyComponent* sender, int page, bool& valid);
  void WizardBeforeNext(TKyComponent* sender, int page, bool& valid);
  void WizardNext(TKyComponent* sender, int page, int& nextPage);
  void WizardAfterNext(TKyComponent* sender);
  void WizardPageChange(TKyComponent* sender, int oldPage);
  std::int64_t GetSpaceRequired() const;
  std::int64_t GetFreeSpace() const;
  TInstallType GetInstallType() const;
  void SetProgramFolder(const String& text);

  // Selection pages.
  void ExistingGroupClick(TKyComponent* sender);
  void SamplesCheckListClick(TKyComponent* sender);
  void SamplesCheckListClickCheck(TKyComponent* sender);
  void SamplesCheckListDrawItem(TKyComponent* sender, int index, HDC dc, RECT rect, TDrawItemState state);
  void SamplesCheckAllButtonClick(TKyComponent* sender);
  void SamplesUncheckAllButtonClick(TKyComponent* sender);
  void DictionaryCheckListClickCheck(TKyComponent* sender);
  void DictionaryCheckAllButtonClick(TKyComponent* sender);
  void DictionaryUncheckAllButtonClick(TKyComponent* sender);
  void LanguagesCheckListClick(TKyComponent* sender);
  void LanguagesCheckAllButtonClick(TKyComponent* sender);
  void LanguagesUncheckAllButtonClick(TKyComponent* sender);
  void FillExistingPage();
  void LoadLicense();
  void FillSamples();
  // Lists the locales of one payload archive's files; FirstLocale is a fixed, checked entry.
  void FillLocaleCheckList(const String& resourceName, TCheckListBox* list, std::vector<String>& locales,
                           const String& firstLocale);
  void UpdateSamples();
  void UpdateDictionaryButtons();
  void UpdateLanguageButtons();
  void LayoutSamplesPage();
  String GetDefaultLanguage() const;
  void SetDefaultLanguage(const String& code);

  // Destination and program folder pages.
  void InstallDirectoryEditChange(TKyComponent* sender);
  void UsePersonalDirectoryCheckClick(TKyComponent* sender);
  void InstallSamplesToPersonalDirectoryCheckClick(TKyComponent* sender);
  void PersonalDirectoryEditChange(TKyComponent* sender);
  void InstallDirectoryButtonClick(TKyComponent* sender);
  void PersonalDirectoryButtonClick(TKyComponent* sender);
  void ProgramFolderEditChange(TKyComponent* sender);
  void ExistingFoldersListClick(TKyComponent* sender);
  bool IsDestinationReadOnly() const;

  // Install and finish.
  void RunInstall();
  void InstallerComponent(TKyInstaller* sender, TKyInstallComponent* component);
  void InstallerStatus(TKyInstaller* sender, const String& text);
  void InstallerFile(TKyInstaller* sender, const String& resourceName, bool& skip, const String& fileName);
  void InstallerProgress(TKyInstaller* sender, int percent, bool& abort);
  void WizardFinish(TKyComponent* sender);
  String ReadmeFileName() const;
  String ApplicationFileName() const;

  // Update check.
  void CheckButtonClick(TKyComponent* sender);

  // The setup-language list of the first page (languagelist_win.cpp).
  void FillLanguageList(bool sorted);
  String GetLanguageListName(const String& code) const;
  void LanguageListClick(TKyComponent* sender);
  // The last step of FormCreate, after InitializeSetup filled the list: select the active
  // language, hide the group for one entry.
  void InitLanguageList();
  const std::vector<std::unique_ptr<TLanguageListItem>>& LanguageItems() const { return LanguageItems_; }

 private:
  String EditText(const char16_t* name) const;
  bool IsChecked(const char16_t* name) const;
  TTabSheet* Sheet(int page) const;
  int PageOf(TTabSheet* sheet) const;
  void RegisterPageHandlers();

  std::unique_ptr<TInstaller> Installer_;
  bool Initialized_ = false;
  // The existing Start-menu folders are listed when the folder page is first shown.
  bool ExistingFoldersListed_ = false;
  // The licence text goes into its memo when the licence page is shown after a
  // (re)initialisation: wrapping it costs the memo's window tens of milliseconds under Wine.
  bool LicenseLoaded_ = false;
  // What each list entry stands for, in the lists' order.
  std::vector<TInstallType> ExistingActions_;
  std::vector<TKyVisibleComponent*> SampleEntries_;
  std::vector<String> DictionaryLocales_;
  std::vector<String> LanguageLocales_;
  std::vector<String> DefaultLanguageLocales_;
  std::vector<std::unique_ptr<TLanguageListItem>> LanguageItems_;
};

// File names of the running processes, one per process, in snapshot order.
std::vector<String> RunningProcessNames();
// Entry names of a folder (pattern *.*), directories and files alike, in directory order.
std::vector<String> ListFolderEntries(const String& folder);
// Starts File with Arguments (the command line is the quoted file, a space and the
// arguments) without waiting; false when it could not be started.
bool RunProgram(const String& file, const String& arguments);

// The language part of the licence text's resource name for the active setup language
// ("DE_DE", "AR_SA"); empty while the built-in English is active.
String LicenseLanguageSuffix();

// The program: module start-ups, the Windows version check, the main window and the
// message loop. Returns the process exit code.
int RunSetup();
