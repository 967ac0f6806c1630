// The setup's dialog look and its three small modal dialogs.
#pragma once

#include "lib/ui/win/kyform.h"

class TSetupDialog : public TKyForm {
 public:
  using TKyForm::TKyForm;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TExitSetupDialog : public TSetupDialog {
 public:
  explicit TExitSetupDialog(TKyComponent* owner) : TSetupDialog(owner) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TPasswordDialog : public TSetupDialog {
 public:
  explicit TPasswordDialog(TKyComponent* owner) : TSetupDialog(owner) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TEdit* Edit() const;
  // Shows the dialog: the text of Edit after OK (even when empty), the empty password after Cancel.
  static String Ask(TKyComponent* owner);
};

class TSelectDirectoryDialog : public TSetupDialog {
 public:
  explicit TSelectDirectoryDialog(TKyComponent* owner) : TSetupDialog(owner) {}
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  // Selects the folder in the tree; a folder it cannot reach leaves the selection alone.
  void SetFolder(const String& path);
  // The selected folder's path without a trailing backslash ("C:" for a drive root).
  String GetFolder() const;
  TShellTreeView* Tree() const;
};

