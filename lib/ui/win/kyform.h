// Forms: top-level windows built from their class's form resources, shown modeless or
// modal; TKyForm is the base of every window of the setup.
#pragma once

#include "lib/ui/win/kycontrols.h"

enum TBorderStyle : int { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TPosition : int { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter, poOwnerFormCenter };

class TKyCustomForm : public TWinContainer {
 public:
  explicit TKyCustomForm(TKyComponent* owner);
  ~TKyCustomForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  // Reads the form resources of the class and its ancestors, makes the form's window, runs
  // OnCreate and then makes the controls' windows. Called once, right after construction
  // (see NewForm).
  void Initialize();

  int ClientWidth() const { return ClientWidth_; }
  void SetClientWidth(int v);
  int ClientHeight() const { return ClientHeight_; }
  void SetClientHeight(int v);
  TBorderStyle BorderStyle() const { return BorderStyle_; }
  void SetBorderStyle(TBorderStyle v) { BorderStyle_ = v; }
  TPosition Position() const { return Position_; }
  void SetPosition(TPosition v) { Position_ = v; }
  bool Scaled() const { return Scaled_; }
  void SetScaled(bool v) { Scaled_ = v; }
  int ModalResult() const { return ModalResult_; }
  void SetModalResult(int v) { ModalResult_ = v; }
  TControl* ActiveControl() const { return ActiveControl_; }
  void SetActiveControl(TControl* c);
  bool BiDiRightToLeft() const { return RightToLeft_; }
  void SetBiDiRightToLeft(bool v) { RightToLeft_ = v; }

  void Show();
  // Shows the form modally and returns its modal result.
  int ShowModal();
  // Asks OnCloseQuery; hides a modal form or destroys the window of a modeless one.
  void Close();
  bool CloseQuery();
  bool IsModal() const { return Modal_; }

  // Alt+letter: a label's mnemonic focuses its FocusControl (else the next control in Tab
  // order), a button's clicks it. True when a control had that mnemonic. The form's message
  // loops call it before the dialog manager, which does not do this reliably everywhere.
  bool HandleMnemonic(wchar_t ch);
  // The button that Enter and Escape press.
  TButton* DefaultButton() const;
  TButton* CancelButton() const;

  TNotifyEvent OnCreate, OnShow, OnDestroy;
  TCloseQueryEvent OnCloseQuery;

  // Sets or clears the right-to-left layout of the form and of every window in it; the
  // controls keep their designed places, counted from the other edge.
  void MirrorLayout(bool rightToLeft) override;

  static LRESULT CALLBACK FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  bool WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  virtual void DoCreate();
  // Runs OnDestroy once. A derived form whose handler uses its own members calls it first
  // thing in its destructor, while those members still exist.
  void DoDestroy();
  virtual void DoShow();
  // Moves the window to where WindowRectFor puts it, when it is not there.
  void PlaceWindow();
  RECT WindowRectFor(DWORD style, DWORD exStyle) const;
  // The window that takes the focus when the form is activated.
  HWND FocusTarget() const;
  // The controls' windows are made after OnCreate: what it sets goes into the new windows
  // instead of changing them (under Wine every change of a window is a server request).
  bool MakesChildWindows() const override { return !OwnWindowOnly_; }

 private:
  int ClientWidth_ = 326, ClientHeight_ = 198;
  TBorderStyle BorderStyle_ = bsSizeable;
  TPosition Position_ = poDesigned;
  bool Scaled_ = false;
  int ModalResult_ = 0;
  bool Modal_ = false;
  bool Shown_ = false;
  bool OwnWindowOnly_ = false;
  bool ClosedWhileShowing_ = false;
  bool RightToLeft_ = false;
  TControl* ActiveControl_ = nullptr;
  HWND FocusBeforeDeactivation_ = nullptr;
};

// Creates a form of class T, reads its resources and creates its windows.
template <class T, class... Args>
std::unique_ptr<T> NewForm(TKyComponent* owner, Args&&... args) {
  auto f = std::make_unique<T>(owner, std::forward<Args>(args)...);
  f->Initialize();
  return f;
}

class TKyForm : public TKyCustomForm {
 public:
  explicit TKyForm(TKyComponent* owner);
  ~TKyForm() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  String HelpTopic;
  String HelpKeyword;  // set from GetHelpTopic each time the form is shown
  virtual String GetHelpTopic();
  virtual void UpdateControls() {}
  // Hooks the form resource binds: derived forms call these first.
  // Mirrors the window when the user-interface language reads right to left.
  virtual void FormCreate(TKyComponent* sender);
  virtual void FormShow(TKyComponent* sender);
  void Loaded() override;

 private:
  TNotifyEvent SavedHint_;
};

// Opens Target with the shell verb (no owner, parameters or folder); true when the shell's result is above 32.
bool ShellOpen(const String& target, const String& verb, int show);
// Test seam: while set, ShellOpen calls this instead of the shell.
void SetShellOpenHook(std::function<bool(const String& target, const String& verb, int show)> hook);
