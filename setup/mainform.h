// The setup's main window: the generic wizard window and the setup wizard on top of it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "lib/locale/kylanguage.h"
#include "lib/ui/win/kywizard.h"
#include "lib/ui/win/setupdialogs.h"

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
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  void FormCreate(TKyComponent* sender) override;
  void FormShow(TKyComponent* sender) override;
  void FormCloseQuery(TKyComponent* sender, bool& canClose);
  void CancelButtonClick(TKyComponent* sender);
  void UpdateControls() override {}

  // Sets the window title and the start page's text; runs at the end of FormCreate.
  void InitializeSetup();
  String GetDefaultInstallDir() const;
  // Adds the entries of a shell special folder (CSIDL) to the existing-folders list.
  void AddExistingFolders(int specialFolder);

  bool Initialized() const { return Initialized_; }

  // The setup-language list of the first page (languagelist_win.cpp).
  void FillLanguageList(bool sorted);
  String GetLanguageListName(const String& code) const;
  void LanguageListClick(TKyComponent* sender);
  // Step 3 of FormCreate: fill, select the active language, hide the group for one entry.
  void InitLanguageList();
  const std::vector<std::unique_ptr<TLanguageListItem>>& LanguageItems() const { return LanguageItems_; }
  // The locale id of each DefaultLanguageCombo entry, in the combo's order (empty: the default).
  std::vector<String> DefaultLanguageIds;
  String GetDefaultLanguage() const;
  void SetDefaultLanguage(const String& code);

 private:
  bool Initialized_ = false;
  std::vector<std::unique_ptr<TLanguageListItem>> LanguageItems_;
};

// File names of the running processes, one per process, in snapshot order.
std::vector<String> RunningProcessNames();
// Entry names of a folder (pattern *.*), directories and files alike, in directory order.
std::vector<String> ListFolderEntries(const String& folder);

// The program: module start-ups, the Windows version check, the main window and the
// message loop. Returns the process exit code.
int RunSetup();
