// The destination and personal folders, and the Start-menu program folder.
#include <shlobj.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"
#include "setup/mainform.h"
#include "setup/setupstart.h"

namespace {
const char16_t* const kPersonalControls[] = {u"UsePersonalDirectoryLabel", u"UsePersonalDirectoryCheck",
                                             u"PersonalDirectoryLabel",    u"PersonalDirectoryEdit",
                                             u"PersonalDirectoryButton",   u"InstallSamplesToPersonalDirectoryCheck"};
}  // namespace

bool TMainForm::IsDestinationReadOnly() const {
  return IsWindowsVistaOrLater() && GetDriveKind(EditText(u"InstallDirectoryEdit")) == 0;
}

void TMainForm::InstallDirectoryEditChange(TKyComponent*) {
  // FormCreate's default folder changes the edit before InitializeSetup, which calls this
  // itself once the installer exists (asking for the drive's type costs the start 0.3 ms).
  auto* use = Get<TCheckBox>(u"UsePersonalDirectoryCheck");
  if (!use || !Initialized_) return;
  use->SetChecked(IsDestinationReadOnly());
  if (use->Checked()) {
    String personal = GetShellFolder(CSIDL_PERSONAL) + u"\\" + ProductNameWithVersion(kSetupMajor);
    TInstallType action = GetInstallType();
    if (action == itFresh || action == itCopySettings) personal = TKyInstaller::GetUniqueDirName(personal);
    if (auto* e = Get<TEdit>(u"PersonalDirectoryEdit")) e->SetText(personal);
  }
  for (const char16_t* name : kPersonalControls)
    if (auto* c = Get<TControl>(name)) c->SetVisible(use->Checked());
  if (TKyWizard* w = Wizard()) w->Validate();
}

void TMainForm::UsePersonalDirectoryCheckClick(TKyComponent*) {
  auto* use = Get<TCheckBox>(u"UsePersonalDirectoryCheck");
  auto* samples = Get<TCheckBox>(u"InstallSamplesToPersonalDirectoryCheck");
  if (!use || !samples) return;
  if (!use->Checked() && IsDestinationReadOnly() &&
      AskYesNo(LoadResString(SReadOnlySettings) + u"\n" + LoadResString(SInstallToPersonal)))
    use->SetChecked(true);
  samples->SetChecked(use->Checked());
  for (const char16_t* name : {u"PersonalDirectoryLabel", u"PersonalDirectoryEdit", u"PersonalDirectoryButton",
                               u"InstallSamplesToPersonalDirectoryCheck"})
    if (auto* c = Get<TControl>(name)) c->SetVisible(use->Checked());
}

void TMainForm::InstallSamplesToPersonalDirectoryCheckClick(TKyComponent*) {
  auto* samples = Get<TCheckBox>(u"InstallSamplesToPersonalDirectoryCheck");
  if (samples && !samples->Checked() && IsChecked(u"UsePersonalDirectoryCheck") &&
      AskYesNo(LoadResString(SReadOnlySamples) + u"\n" + LoadResString(SInstallToPersonal)))
    samples->SetChecked(true);
  if (TKyWizard* w = Wizard()) w->Validate();
}

void TMainForm::PersonalDirectoryEditChange(TKyComponent*) {
  if (TKyWizard* w = Wizard()) w->Validate();
}

void TMainForm::ProgramFolderEditChange(TKyComponent*) {
  if (TKyWizard* w = Wizard()) w->Validate();
}

namespace {
// Shows the folder browser at Folder, or at its parent when it does not exist yet.
bool BrowseFolder(TKyComponent* owner, TEdit* edit) {
  if (!edit) return false;
  auto dlg = NewForm<TSelectDirectoryDialog>(owner);
  String folder = edit->Text();
  dlg->SetFolder(DirectoryExists(folder) ? folder : ExtractFileDir(ExcludeTrailingBackslash(folder)));
  if (dlg->ShowModal() != mrOk) return false;
  edit->SetText(dlg->GetFolder());
  return true;
}
}  // namespace

void TMainForm::InstallDirectoryButtonClick(TKyComponent*) { BrowseFolder(this, Get<TEdit>(u"InstallDirectoryEdit")); }

void TMainForm::PersonalDirectoryButtonClick(TKyComponent*) { BrowseFolder(this, Get<TEdit>(u"PersonalDirectoryEdit")); }

void TMainForm::ExistingFoldersListClick(TKyComponent*) {
  auto* list = Get<TListBox>(u"ExistingFoldersList");
  if (!list) return;
  int i = list->ItemIndex();
  if (i >= 0 && i < list->Items()->Count()) SetProgramFolder(list->Items()->Get(i));
}
