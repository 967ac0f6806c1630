#include "setup/mainform.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include "lib/core/kycodepages.h"
#include "lib/install/kyinstaller.h"
#include "lib/locale/kylocale.h"
#include "lib/net/kyproxy.h"
#include "lib/xml/kyxml.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "resstrings.h"
#include "setup/setupstart.h"

// ---- helpers ----------------------------------------------------------------------

std::vector<String> RunningProcessNames() {
  std::vector<String> names;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    const Char* exe = reinterpret_cast<const Char*>(pe.szExeFile);
    names.push_back(ExtractFileName(exe));
  }
  CloseHandle(snap);
  return names;
}

String GetShellFolder(int specialFolder) {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, specialFolder, nullptr, SHGFP_TYPE_CURRENT, buf))) return String();
  return String(reinterpret_cast<const Char*>(buf));
}

std::vector<String> ListFolderEntries(const String& folder) {
  std::vector<String> entries;
  if (folder.empty()) return entries;
  String pattern = IncludeTrailingBackslash(folder) + u"*.*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(W(pattern), &fd);
  if (h == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back(String(reinterpret_cast<const Char*>(fd.cFileName)));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
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
  RegisterHandler(u"CancelButtonClick", TNotifyEvent([this](TKyComponent* s) { CancelButtonClick(s); }));
}

const TClassInfo& TMainForm::StaticClassInfo() {
  static const TClassInfo info(u"TMainForm", &TSetupWizard::StaticClassInfo(), {});
  return info;
}

void TMainForm::FormCreate(TKyComponent* sender) {
  TSetupWizard::FormCreate(sender);
  if (auto* l = Get<TLabel>(u"VersionLabel")) l->SetCaption(GetSetupVersionText());
  // The two banner labels are drawn over the banner picture.
  for (const char16_t* name : {u"BetaLabel", u"VersionLabel"}) {
    if (auto* l = Get<TLabel>(name); l && l->Handle())
      SetWindowPos(l->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (auto* e = Get<TEdit>(u"InstallDirectoryEdit")) e->SetText(GetDefaultInstallDir());
  bool vista = IsWindowsVistaOrLater();
  for (const char16_t* name : {u"UsePersonalDirectoryLabel", u"UsePersonalDirectoryCheck", u"PersonalDirectoryLabel",
                               u"PersonalDirectoryEdit", u"PersonalDirectoryButton",
                               u"InstallSamplesToPersonalDirectoryCheck"}) {
    if (auto* c = Get<TControl>(name)) c->SetVisible(vista);
  }
  AddExistingFolders(CSIDL_PROGRAMS);
  AddExistingFolders(CSIDL_COMMON_PROGRAMS);
  if (auto* l = Get<TLabel>(u"ProgressBarLabel")) l->SetCaption(String());
  InitializeSetup();
}

void TMainForm::InitializeSetup() {
  // The catalogue and the page lists come later; the title and the start text of a full
  // setup are already known.
  if (TKyWizard* w = Wizard()) {
    w->SetCaption(Format(SSetupCaption, {ProductNameWithVersion(kSetupMajor)}));
  }
  const String gap = u"\r\n\r\n";
  if (auto* l = Get<TLabel>(u"StartLabel")) {
    l->SetCaption(LoadResString(SWelcomeFull) + gap + LoadResString(SExitPrograms) + gap +
                  LoadResString(SClickCancel) + gap);
  }
  if (auto* l = Get<TLabel>(u"BetaLabel")) {
    l->SetCaption(String());
    l->SetVisible(false);
  }
  Initialized_ = true;
}

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
  } else {
    canClose = true;
  }
}

// ---- program ----------------------------------------------------------------------

int RunSetup() {
  // Module start-ups before any window, in their order: the system proxy, the locale and
  // code-page tables (the translator and language files join here as they arrive).
  InitializeHttpProxy();
  SetXmlHttpFetch([](const String& url, RawBytes& body) { return TryHttpGetBytes(url, 5000, 1000, body); });
  PopulateLocaleDatas();
  CodePageDatas();
  // Encrypted package entries ask through the password dialog; Cancel gives the empty password.
  KyPasswordPrompt = [](String& password) {
    password = TPasswordDialog::Ask(Application.MainForm);
    return true;
  };
  if (GetWindowsVersion() == 0) {
    ShowInformation(LoadResString(SOldWindows));
    return 0;
  }
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
  return code;
}
