#include "setup/mainform.h"

#include <shlobj.h>
#include <winternl.h>

#include <algorithm>

#include "lib/install/kyinstaller.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kylocale.h"
#include "lib/locale/kytranslator.h"
#include "lib/net/kyproxy.h"
#include "lib/xml/kyxml.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "resstrings.h"
#include "setup/pageflow.h"
#include "setup/setupstart.h"

// ---- helpers ----------------------------------------------------------------------

std::vector<String> RunningProcessNames() {
  // The system's process list itself: the tool-help snapshot copies the same list into a
  // section first, which costs the start a few milliseconds under Wine.
  std::vector<String> names;
  std::vector<unsigned char> buffer(64 * 1024);
  NTSTATUS status;
  ULONG needed = 0;
  while ((status = NtQuerySystemInformation(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                            &needed)) == static_cast<NTSTATUS>(0xC0000004L)) {  // too small
    if (buffer.size() >= 64u * 1024 * 1024) return names;
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
  }
  if (status < 0) return names;
  for (size_t offset = 0;;) {
    const auto* p = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
    if (p->ImageName.Buffer && p->ImageName.Length)
      names.push_back(ExtractFileName(String(reinterpret_cast<const Char*>(p->ImageName.Buffer), p->ImageName.Length / 2)));
    if (!p->NextEntryOffset) break;
    offset += p->NextEntryOffset;
  }
  return names;
}

std::vector<String> ListFolderEntries(const String& folder) {
  std::vector<String> entries;
  if (folder.empty()) return entries;
  String pattern = IncludeTrailingBackslash(folder) + u"*.*";
  WIN32_FIND_DATAW fd;
  TFindHandle h(FindFirstFileW(W(pattern), &fd));
  if (!h) return entries;
  do {
    entries.push_back(FromW(fd.cFileName));
  } while (FindNextFileW(h.Get(), &fd));
  return entries;
}

// ---- TSetupWizard -----------------------------------------------------------------

TSetupWizard::TSetupWizard(TKyComponent* owner) : TSetupDialog(owner) {
  RegisterHandler(u"AddressLabelClick", TNotifyEvent([this](TKyComponent* s) { AddressLabelClick(s); }));
}

const TClassInfo& TSetupWizard::StaticClassInfo() {
  static const TClassInfo info(u"TSetupWizard", &TSetupDialog::StaticClassInfo(), {});
  return info;
}

TKyWizard* TSetupWizard::Wizard() const { return Get<TKyWizard>(u"Wizard"); }

void TSetupWizard::FormCreate(TKyComponent* sender) {
  TSetupDialog::FormCreate(sender);
  if (auto* l = Get<TLabel>(u"NameLabel")) l->SetCaption(kProductName);
  if (auto* l = Get<TLabel>(u"AddressLabel")) l->SetCaption(LoadResString(SWebAddress));
}

void TSetupWizard::AddressLabelClick(TKyComponent*) {
  auto* l = Get<TLabel>(u"AddressLabel");
  ShellOpen(u"http://" + (l ? l->Caption() : String()), u"open", SW_SHOW);
}

// ---- TMainForm --------------------------------------------------------------------

TMainForm::TMainForm(TKyComponent* owner) : TSetupWizard(owner) {
  RegisterHandler(u"FormCloseQuery",
                  TCloseQueryEvent([this](TKyComponent* s, bool& can) { FormCloseQuery(s, can); }));
  RegisterHandler(u"FormDestroy", TNotifyEvent([this](TKyComponent* s) { FormDestroy(s); }));
  RegisterHandler(u"CancelButtonClick", TNotifyEvent([this](TKyComponent* s) { CancelButtonClick(s); }));
  RegisterHandler(u"LanguageListClick", TNotifyEvent([this](TKyComponent* s) { LanguageListClick(s); }));
  RegisterPageHandlers();
}

TMainForm::~TMainForm() { DoDestroy(); }

void TMainForm::RegisterPageHandlers() {
  auto notify = [this](const char16_t* name, void (TMainForm::*handler)(TKyComponent*)) {
    RegisterHandler(name, TNotifyEvent([this, handler](TKyComponent* s) { (this->*handler)(s); }));
  };
  RegisterHandler(u"WizardValidatePage", TKyWizardValidateEvent([this](TKyComponent* s, int page, bool& valid) {
                    WizardValidatePage(s, page, valid);
                  }));
  RegisterHandler(u"WizardBeforeNext", TKyWizardValidateEvent([this](TKyComponent* s, int page, bool& valid) {
                    WizardBeforeNext(s, page, valid);
                  }));
  RegisterHandler(u"WizardNext",
                  TKyWizardNextEvent([this](TKyComponent* s, int page, int& next) { WizardNext(s, page, next); }));
  RegisterHandler(u"WizardPageChange", TKyWizardChangeEvent([this](TKyComponent* s, int old) { WizardPageChange(s, old); }));
  notify(u"WizardAfterNext", &TMainForm::WizardAfterNext);
  notify(u"WizardFinish", &TMainForm::WizardFinish);
  notify(u"ExistingGroupClick", &TMainForm::ExistingGroupClick);
  notify(u"SamplesCheckListClick", &TMainForm::SamplesCheckListClick);
  notify(u"SamplesCheckListClickCheck", &TMainForm::SamplesCheckListClickCheck);
  RegisterHandler(u"SamplesCheckListDrawItem",
                  TDrawItemEvent([this](TKyComponent* s, int index, HDC dc, RECT r, TDrawItemState st) {
                    SamplesCheckListDrawItem(s, index, dc, r, st);
                  }));
  notify(u"SamplesCheckAllButtonClick", &TMainForm::SamplesCheckAllButtonClick);
  notify(u"SamplesUncheckAllButtonClick", &TMainForm::SamplesUncheckAllButtonClick);
  notify(u"DictionaryCheckListClickCheck", &TMainForm::DictionaryCheckListClickCheck);
  notify(u"DictionaryCheckAllButtonClick", &TMainForm::DictionaryCheckAllButtonClick);
  notify(u"DictionaryUncheckAllButtonClick", &TMainForm::DictionaryUncheckAllButtonClick);
  notify(u"LanguagesCheckListClick", &TMainForm::LanguagesCheckListClick);
  notify(u"LanguagesCheckAllButtonClick", &TMainForm::LanguagesCheckAllButtonClick);
  notify(u"LanguagesUncheckAllButtonClick", &TMainForm::LanguagesUncheckAllButtonClick);
  notify(u"InstallDirectoryEditChange", &TMainForm::InstallDirectoryEditChange);
  notify(u"UsePersonalDirectoryCheckClick", &TMainForm::UsePersonalDirectoryCheckClick);
  notify(u"InstallSamplesToPersonalDirectoryCheckClick", &TMainForm::InstallSamplesToPersonalDirectoryCheckClick);
  notify(u"PersonalDirectoryEditChange", &TMainForm::PersonalDirectoryEditChange);
  notify(u"InstallDirectoryButtonClick", &TMainForm::InstallDirectoryButtonClick);
  notify(u"PersonalDirectoryButtonClick", &TMainForm::PersonalDirectoryButtonClick);
  notify(u"ProgramFolderEditChange", &TMainForm::ProgramFolderEditChange);
  notify(u"ExistingFoldersListClick", &TMainForm::ExistingFoldersListClick);
  notify(u"CheckButtonClick", &TMainForm::CheckButtonClick);
}

const TClassInfo& TMainForm::StaticClassInfo() {
  static const TClassInfo info(u"TMainForm", &TSetupWizard::StaticClassInfo(), {});
  return info;
}

String TMainForm::EditText(const char16_t* name) const {
  auto* e = Get<TEdit>(name);
  return e ? e->Text() : String();
}

bool TMainForm::IsChecked(const char16_t* name) const {
  auto* c = Get<TCheckBox>(name);
  return c && c->Checked();
}

void TMainForm::FormCreate(TKyComponent* sender) {
  TSetupWizard::FormCreate(sender);
  if (auto* l = Get<TLabel>(u"VersionLabel")) l->SetCaption(GetSetupVersionText());
  if (auto* e = Get<TEdit>(u"InstallDirectoryEdit")) e->SetText(GetDefaultInstallDir());
  bool vista = IsWindowsVistaOrLater();
  for (const char16_t* name : {u"UsePersonalDirectoryLabel", u"UsePersonalDirectoryCheck", u"PersonalDirectoryLabel",
                               u"PersonalDirectoryEdit", u"PersonalDirectoryButton",
                               u"InstallSamplesToPersonalDirectoryCheck"}) {
    if (auto* c = Get<TControl>(name)) c->SetVisible(vista);
  }
  if (auto* l = Get<TLabel>(u"ProgressBarLabel")) l->SetCaption(String());
  InitializeSetup();
  // After InitializeSetup, whose fill of the list is the one that stays: the fill in the
  // language that the start switched to, with the locale names in it.
  InitLanguageList();
}

namespace {
// The checks of a list by the key of each entry.
std::vector<std::pair<String, bool>> ChecksByKey(TCheckListBox* list, const std::vector<String>& keys) {
  std::vector<std::pair<String, bool>> out;
  for (int i = 0; list && i < list->Items()->Count() && i < static_cast<int>(keys.size()); ++i)
    out.emplace_back(keys[static_cast<size_t>(i)], list->Checked(i));
  return out;
}

void RestoreChecks(TCheckListBox* list, const std::vector<String>& keys, const std::vector<std::pair<String, bool>>& saved) {
  for (int i = 0; list && i < list->Items()->Count() && i < static_cast<int>(keys.size()); ++i) {
    if (!list->ItemEnabled(i)) continue;
    for (const auto& [key, checked] : saved)
      if (key == keys[static_cast<size_t>(i)]) list->SetChecked(i, checked);
  }
}

// The locale table's names are resource strings of the language in use: the table is made
// again only for another language than the one it was last made in (the start makes it
// before any window, InitializeSetup after every switch).
void UpdateLocaleDatas() {
  static bool made = false;
  static String madeIn;
  static TResourceHandle madeFrom{};
  if (made && madeIn == CurrentLanguageCode && madeFrom == GetResourceHandle()) return;
  PopulateLocaleDatas();
  made = true;
  madeIn = CurrentLanguageCode;
  madeFrom = GetResourceHandle();
}
}  // namespace

void TMainForm::InitializeSetup() {
  // A change of language rebuilds every list in the new language; what the user chose on
  // them so far is taken over.
  const bool again = Installer_ != nullptr;
  std::vector<String> sampleKeys;
  for (TKyVisibleComponent* c : SampleEntries_) sampleKeys.push_back(c->ResourceName);
  auto samples = ChecksByKey(Get<TCheckListBox>(u"SamplesCheckList"), sampleKeys);
  auto dictionaries = ChecksByKey(Get<TCheckListBox>(u"DictionaryCheckList"), DictionaryLocales_);
  auto languages = ChecksByKey(Get<TCheckListBox>(u"LanguagesCheckList"), LanguageLocales_);
  const TInstallType action = GetInstallType();
  const String defaultLanguage = GetDefaultLanguage();
  const String personal = EditText(u"PersonalDirectoryEdit");

  UpdateLocaleDatas();
  FillLanguageList(false);
  // A catalogue that cannot be built leaves the previous one (and its language) in place.
  auto installer = TKyInstaller::Create<TInstaller>();
  Installer_ = std::move(installer);
  Installer_->OnComponent = [this](TKyInstaller* s, TKyInstallComponent* c) { InstallerComponent(s, c); };
  Installer_->OnStatus = [this](TKyInstaller* s, const String& text) { InstallerStatus(s, text); };
  Installer_->OnFile = [this](TKyInstaller* s, const String& res, bool& skip, const String& file) {
    InstallerFile(s, res, skip, file);
  };
  // The banner's texts set from code; FormCreate set them already for the first run.
  if (again) {
    if (auto* l = Get<TLabel>(u"AddressLabel")) l->SetCaption(LoadResString(SWebAddress));
    if (auto* l = Get<TLabel>(u"VersionLabel")) l->SetCaption(GetSetupVersionText());
    if (auto* l = Get<TLabel>(u"NameLabel")) l->SetCaption(kProductName);
  }
  FillExistingPage();
  Initialized_ = true;
  InstallDirectoryEditChange(this);
  LicenseLoaded_ = false;  // loaded when its page shows
  String first, last;
  if (Installer_->IsPackageSetup) {
    if (TKyWizard* w = Wizard()) w->SetCaption(Format(SSetupPackageCaption, {IntToStr(kSetupMajor)}));
    first = LoadResString(SWelcomePackage);
    last = Format(SPackageInfo, {Installer_->PackageDescription, Installer_->PackageAuthor,
                                 PackageDateText(Installer_->PackageCreated)});
    if (auto* l = Get<TLabel>(u"CompleteLabel2")) l->SetCaption(LoadResString(SPackageFinish));
    if (auto* c = Get<TCheckBox>(u"ApplicationCheck")) c->SetVisible(false);
    if (auto* c = Get<TCheckBox>(u"ReadmeCheck")) {
      c->SetVisible(false);
      c->SetChecked(false);
    }
  } else {
    if (TKyWizard* w = Wizard()) w->SetCaption(Format(SSetupCaption, {ProductNameWithVersion(kSetupMajor)}));
    first = LoadResString(SWelcomeFull);
  }
  if (auto* l = Get<TLabel>(u"StartLabel")) l->SetCaption(StartText(first, last));
  if (!Installer_->IsPackageSetup) FillSamples();
  FillLocaleCheckList(u"SPELLCHECK", Get<TCheckListBox>(u"DictionaryCheckList"), DictionaryLocales_, String());
  FillLocaleCheckList(u"LANGUAGEFILES", Get<TCheckListBox>(u"LanguagesCheckList"), LanguageLocales_, u"en");
  LanguagesCheckListClick(this);
  if (again) {
    if (auto* e = Get<TEdit>(u"PersonalDirectoryEdit"); e && !personal.empty()) e->SetText(personal);
    sampleKeys.clear();
    for (TKyVisibleComponent* c : SampleEntries_) sampleKeys.push_back(c->ResourceName);
    RestoreChecks(Get<TCheckListBox>(u"SamplesCheckList"), sampleKeys, samples);
    RestoreChecks(Get<TCheckListBox>(u"DictionaryCheckList"), DictionaryLocales_, dictionaries);
    RestoreChecks(Get<TCheckListBox>(u"LanguagesCheckList"), LanguageLocales_, languages);
    for (size_t i = 0; i < ExistingActions_.size(); ++i)
      if (ExistingActions_[i] == action)
        if (auto* group = Get<TRadioGroup>(u"ExistingGroup")) group->SetItemIndex(static_cast<int>(i));
    LanguagesCheckListClick(this);
    for (size_t i = 0; i < DefaultLanguageLocales_.size(); ++i)
      if (DefaultLanguageLocales_[i] == defaultLanguage)
        if (auto* combo = Get<TComboBox>(u"DefaultLanguageCombo")) combo->SetItemIndex(static_cast<int>(i));
  }
  if (auto* c = Get<TCheckBox>(u"InstallSamplesToPersonalDirectoryCheck")) c->SetVisible(IsWindowsVistaOrLater());
  if (auto* l = Get<TLabel>(u"BetaLabel")) {
    l->SetCaption(String());
    l->SetVisible(false);
  }
}

void TMainForm::FormDestroy(TKyComponent*) { Installer_.reset(); }

String TMainForm::GetDefaultInstallDir() const { return DefaultInstallDirIn(GetShellFolder(CSIDL_PROGRAM_FILES)); }

void TMainForm::AddExistingFolders(int specialFolder) {
  auto* list = Get<TListBox>(u"ExistingFoldersList");
  if (!list) return;
  std::vector<String> names = list->Items()->ToVector();
  size_t before = names.size();
  AddFolderEntryNames(names, ListFolderEntries(GetShellFolder(specialFolder)));
  for (size_t i = before; i < names.size(); ++i) list->Items()->Add(names[i]);
}

void TMainForm::FormShow(TKyComponent* sender) {
  TSetupWizard::FormShow(sender);
  if (IsActiveLanguageRightToLeft()) Application.SetBiDiRightToLeft(true);
  switch (CheckRunningProcesses(RunningProcessNames())) {
    case TRunningCheck::ApplicationRunning:
      ShowInformation(LoadResString(SApplicationRunning) + u"\n" + LoadResString(SCloseApplication));
      Close();
      break;
    case TRunningCheck::SetupRunning:
      ShowInformation(LoadResString(SSetupRunning) + u"\n" + LoadResString(SCanNotRunSetup));
      Close();
      break;
    case TRunningCheck::Ok:
      break;
  }
}

void TMainForm::CancelButtonClick(TKyComponent*) { Close(); }

void TMainForm::FormCloseQuery(TKyComponent*, bool& canClose) {
  if (ModalResult() == mrCancel) {
    auto dlg = NewForm<TExitSetupDialog>(this);
    canClose = dlg->ShowModal() == mrOk;
    if (Installer_) Installer_->Aborted = canClose;
  } else {
    canClose = true;
  }
}

// ---- program ----------------------------------------------------------------------

int RunSetup() {
  // Module start-ups before any window, in their order: the language file chosen at start,
  // the translator, the language file in use, the system proxy, the locale table. The
  // code-page table is made where it is first needed (CodePageDatas): it loads MLang, which
  // the first page does not need.
  LoadStartupLanguage();
  InitTranslator();
  DetectLoadedLanguage();
  InitializeHttpProxy();
  SetXmlHttpFetch([](const String& url, RawBytes& body) { return TryHttpGetBytes(url, 5000, 1000, body); });
  UpdateLocaleDatas();
  // Encrypted package entries ask through the password dialog; Cancel gives the empty password.
  KyPasswordPrompt = [](String& password) {
    password = TPasswordDialog::Ask(Application.MainForm);
    return true;
  };
  if (GetWindowsVersion() == 0) {
    ShowInformation(LoadResString(SOldWindows));
    return 0;
  }
  // The main window's module: reading direction, what a switch assigns, and the language
  // files carried as resources, which may switch to the user's language.
  if (IsActiveLanguageRightToLeft()) Application.SetBiDiRightToLeft(true);
  TranslatedTypeKinds = StringTypeKinds;
  TranslatorFlags = tfMirrorLayout;
  InitEmbeddedLanguages(elKeepSameDate | elDeleteAtExit, u"LANGUAGEDLL");
  int code = 0;
  try {
    auto form = NewForm<TMainForm>(nullptr);
    Application.MainForm = form.get();
    form->Show();
    Application.Run();
  } catch (const std::exception& e) {
    Application.HandleException(e);
    code = 1;
  }
  ReleaseEmbeddedLanguages();
  DoneTranslator();
  return code;
}
