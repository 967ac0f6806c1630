// The package date in the formats of the thread's locale, which follows the setup's language.
#include "lib/core/win/kywin.h"

#include "lib/core/kydatetime.h"
#include "setup/pageflow.h"

String PackageDateText(TDateTime created) {
  TDateParts p = DecodeDateTime(created);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(p.Year);
  st.wMonth = static_cast<WORD>(p.Month);
  st.wDay = static_cast<WORD>(p.Day);
  st.wHour = static_cast<WORD>(p.Hour);
  st.wMinute = static_cast<WORD>(p.Minute);
  st.wSecond = static_cast<WORD>(p.Second);
  wchar_t buf[128];
  LCID lcid = GetThreadLocale();
  String text;
  if (GetDateFormatW(lcid, DATE_SHORTDATE, &st, nullptr, buf, 128)) text = FromW(buf);
  if ((p.Hour || p.Minute || p.Second || p.MilliSecond) && GetTimeFormatW(lcid, 0, &st, nullptr, buf, 128))
    text += u" " + FromW(buf);
  return text;
}

// ---- the wizard's events ------------------------------------------------------------

#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"
#include "setup/mainform.h"

namespace {
// The pages by name, in page-control order (the order of TSetupPage).
const char16_t* const kSheetNames[] = {
    u"StartSheet",      u"CheckSheet",     u"ExistingSheet",    u"LicenseSheet", u"SamplesSheet", u"DictionarySheet",
    u"LanguagesSheet",  u"DestinationSheet", u"FolderSheet",    u"InstallSheet", u"FinishSheet"};
}  // namespace

TTabSheet* TMainForm::Sheet(int page) const {
  TKyWizard* w = Wizard();
  TPageControl* pc = w ? w->PageControl() : nullptr;
  if (!pc || page < 0 || page >= pc->PageCount()) return nullptr;
  return pc->Pages(page);
}

int TMainForm::PageOf(TTabSheet* sheet) const {
  if (!sheet) return -1;
  for (int i = 0; i <= spFinish; ++i)
    if (SameText(sheet->Name(), kSheetNames[i])) return i;
  return -1;
}

TInstallType TMainForm::GetInstallType() const {
  auto* group = Get<TRadioGroup>(u"ExistingGroup");
  int i = group ? group->ItemIndex() : -1;
  if (i < 0 || i >= static_cast<int>(ExistingActions_.size())) return itFresh;
  return ExistingActions_[static_cast<size_t>(i)];
}

void TMainForm::SetProgramFolder(const String& text) {
  if (auto* e = Get<TEdit>(u"ProgramFolderEdit")) e->SetText(text.empty() ? String(kProductName) : text);
}

std::int64_t TMainForm::GetSpaceRequired() const {
  std::int64_t total = 0;
  if (!Installer_) return 0;
  for (int i = 0; i < Installer_->ComponentCount(); ++i)
    if (auto* c = dynamic_cast<TKyHiddenComponent*>(Installer_->Components(i))) total += c->Size;
  if (auto* list = Get<TCheckListBox>(u"SamplesCheckList")) {
    for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(SampleEntries_.size()); ++i)
      if (list->Checked(i)) total += SampleEntries_[static_cast<size_t>(i)]->Size;
  }
  return total;
}

std::int64_t TMainForm::GetFreeSpace() const { return FreeSpaceFor(EditText(u"InstallDirectoryEdit")); }

void TMainForm::UpdateControls() {
  if (auto* l = Get<TLabel>(u"ExistingDescriptionLabel")) l->SetCaption(GetExistingDescription(GetInstallType()));
  // Worked out for the page that shows it (Next to it runs this again): asking the volume
  // is a round trip through the mount manager.
  if (auto* l = Get<TLabel>(u"SpaceAvailableLabel"); l && l->Showing()) l->SetCaption(SpaceAvailableText(GetFreeSpace()));
  if (TKyWizard* w = Wizard()) w->Validate();
}

void TMainForm::WizardValidatePage(TKyComponent*, int page, bool& valid) {
  switch (PageOf(Sheet(page))) {
    case spDestination:
      valid = !EditText(u"InstallDirectoryEdit").empty() &&
              (!IsChecked(u"InstallSamplesToPersonalDirectoryCheck") || !EditText(u"PersonalDirectoryEdit").empty());
      break;
    case spFolder:
      valid = !EditText(u"ProgramFolderEdit").empty();
      break;
    default:
      valid = true;
  }
}

void TMainForm::WizardBeforeNext(TKyComponent*, int page, bool& valid) {
  if (!Installer_) return;
  switch (PageOf(Sheet(page))) {
    case spExisting: {
      TInstallType action = GetInstallType();
      if (action == itUpdate || action == itModify) {
        // Take over what the existing installation has.
        if (auto* list = Get<TCheckListBox>(u"SamplesCheckList"))
          for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(SampleEntries_.size()); ++i)
            list->SetChecked(i, Installer_->ExistingSampleFolders.IndexOf(SampleEntries_[static_cast<size_t>(i)]->Folder) >= 0);
        if (auto* list = Get<TCheckListBox>(u"DictionaryCheckList"))
          for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(DictionaryLocales_.size()); ++i)
            list->SetChecked(i, Installer_->IndexOfExistingDictionary(DictionaryLocales_[static_cast<size_t>(i)]) >= 0);
        if (auto* list = Get<TCheckListBox>(u"LanguagesCheckList"))
          for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(LanguageLocales_.size()); ++i)
            if (list->ItemEnabled(i))
              list->SetChecked(i, Installer_->IndexOfExistingLanguage(LanguageLocales_[static_cast<size_t>(i)]) >= 0);
        if (!Installer_->ExistingDir.empty())
          if (auto* e = Get<TEdit>(u"InstallDirectoryEdit")) e->SetText(Installer_->ExistingDir);
        if (!Installer_->ProgramFolder.empty()) SetProgramFolder(Installer_->ProgramFolder);
        LanguagesCheckListClick(this);
      } else {
        // A second installation beside the existing one.
        Installer_->DisplayName = TKyInstaller::GetUniqueUninstallName(Installer_->DisplayName);
        if (auto* e = Get<TEdit>(u"InstallDirectoryEdit")) e->SetText(TKyInstaller::GetUniqueDirName(e->Text()));
      }
      break;
    }
    case spSamples:
      if (GetFreeSpace() < GetSpaceRequired()) {
        valid = false;
        ShowInformation(LoadResString(SNotEnoughSpace));
      }
      break;
    case spDestination: {
      const String dir = EditText(u"InstallDirectoryEdit");
      if (IsRootDirectory(dir)) {
        valid = AskYesNoFmt(LoadResString(SRootDirectory), {dir});
      } else if (!IsDirectoryWritable(dir)) {
        valid = false;
        ShowInformationFmt(LoadResString(SNoWriteAccess), {dir});
      }
      if (valid) {
        if (EditText(u"ProgramFolderEdit").empty()) SetProgramFolder(ExtractFileName(ExcludeTrailingBackslash(dir)));
      } else if (auto* e = Get<TEdit>(u"InstallDirectoryEdit")) {
        e->SetFocus();
      }
      break;
    }
    default:
      break;
  }
}

void TMainForm::WizardNext(TKyComponent*, int page, int& nextPage) {
  TPageFlowState state;
  if (Installer_) {
    state.PackageSetup = Installer_->IsPackageSetup;
    state.HasExisting = !Installer_->ExistingDir.empty();
    state.HasPrevious = !Installer_->PreviousDir.empty();
  }
  state.Action = GetInstallType();
  auto count = [&](const char16_t* name) {
    auto* l = Get<TListBox>(name);
    return l ? l->Items()->Count() : 0;
  };
  state.SampleCount = count(u"SamplesCheckList");
  state.DictionaryCount = count(u"DictionaryCheckList");
  state.LanguageCount = count(u"LanguagesCheckList");
  int from = PageOf(Sheet(page));
  if (from < 0) return;
  int to = NextSetupPage(from, PageOf(Sheet(nextPage)), state);
  if (to < 0) return;
  for (int i = 0; Sheet(i); ++i) {
    if (PageOf(Sheet(i)) == to) {
      nextPage = i;
      return;
    }
  }
}

void TMainForm::WizardPageChange(TKyComponent*, int) {
  TKyWizard* w = Wizard();
  auto* cancel = Get<TButton>(u"CancelButton");
  if (!w || !cancel) return;
  const int page = PageOf(Sheet(w->ActivePageIndex()));
  // Only this page lists them: the start does not read the Start-menu folders.
  if (page == spFolder && !ExistingFoldersListed_) {
    AddExistingFolders(CSIDL_PROGRAMS);
    AddExistingFolders(CSIDL_COMMON_PROGRAMS);
    ExistingFoldersListed_ = true;
  }
  switch (page) {
    case spLicense:
      if (!LicenseLoaded_) LoadLicense();
      w->SetNextText(LoadResString(SMainYes));
      cancel->SetCaption(LoadResString(SMainNo));
      break;
    case spFinish:
      cancel->SetCaption(LoadResString(SMainCancel));
      cancel->SetEnabled(false);
      break;
    case spSamples:
      LayoutSamplesPage();
      [[fallthrough]];
    default:
      w->SetNextText(LoadResString(SMainNext));
      cancel->SetCaption(LoadResString(SMainCancel));
  }
}

void TMainForm::WizardAfterNext(TKyComponent*) {
  UpdateControls();
  TKyWizard* w = Wizard();
  if (!w) return;
  switch (PageOf(Sheet(w->ActivePageIndex()))) {
    case spSamples:
      if (auto* l = Get<TCheckListBox>(u"SamplesCheckList"); l && l->Items()->Count() > 0) l->SetItemIndex(0);
      UpdateSamples();
      break;
    case spDictionary:
      if (auto* l = Get<TCheckListBox>(u"DictionaryCheckList"); l && l->Items()->Count() > 0) l->SetItemIndex(0);
      UpdateDictionaryButtons();
      break;
    case spLanguages:
      UpdateLanguageButtons();
      break;
    case spInstall:
      RunInstall();
      break;
    case spFinish:
      if (auto* c = Get<TCheckBox>(u"ReadmeCheck"); c && !(Installer_ && Installer_->IsPackageSetup))
        c->SetVisible(FileExists(ReadmeFileName()));
      break;
    default:
      break;
  }
}
