#include "lib/ui/win/setupdialogs.h"

#include "lib/core/kysystem.h"
#include "lib/ui/kyformutil.h"

const TClassInfo& TSetupDialog::StaticClassInfo() {
  static const TClassInfo info(u"TSetupDialog", &TKyForm::StaticClassInfo(), {});
  return info;
}

const TClassInfo& TExitSetupDialog::StaticClassInfo() {
  static const TClassInfo info(u"TExitSetupDialog", &TSetupDialog::StaticClassInfo(), {});
  return info;
}

const TClassInfo& TPasswordDialog::StaticClassInfo() {
  static const TClassInfo info(u"TPasswordDialog", &TSetupDialog::StaticClassInfo(), {});
  return info;
}

TEdit* TPasswordDialog::Edit() const { return dynamic_cast<TEdit*>(FindComponent(u"Edit")); }

String TPasswordDialog::Ask(TKyComponent* owner) {
  auto dlg = NewForm<TPasswordDialog>(owner);
  if (dlg->ShowModal() != mrOk) return String();
  return dlg->Edit() ? dlg->Edit()->Text() : String();
}

const TClassInfo& TSelectDirectoryDialog::StaticClassInfo() {
  static const TClassInfo info(u"TSelectDirectoryDialog", &TSetupDialog::StaticClassInfo(), {});
  return info;
}

TShellTreeView* TSelectDirectoryDialog::Tree() const {
  return dynamic_cast<TShellTreeView*>(FindComponent(u"ShellTreeView"));
}

void TSelectDirectoryDialog::SetFolder(const String& path) {
  try {
    if (Tree()) Tree()->SelectPath(path);
  } catch (const std::exception&) {
    // A folder the tree cannot reach leaves the selection where it was.
  }
}

String TSelectDirectoryDialog::GetFolder() const {
  return Tree() ? FolderWithoutTrailingBackslash(Tree()->SelectedPath()) : String();
}

