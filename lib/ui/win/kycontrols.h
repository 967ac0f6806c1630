// Controls on the Win32 common controls. Every control that takes input or shows text is
// a window of its own whose component name is readable from other processes (window
// property "KyName"); lines and pictures are painted by their parent (TGraphicControl).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <vector>

#include "lib/core/kyfontdesc.h"
#include "lib/core/win/kywin.h"
#include "lib/ui/kycomponent.h"

class TControl;
class TGraphicControl;
class TKyCustomForm;
using TNotifyEvent = std::function<void(TKyComponent* sender)>;
using TCloseQueryEvent = std::function<void(TKyComponent* sender, bool& canClose)>;
struct TDrawItemState {
  bool Selected = false;
  bool Focused = false;
  bool Disabled = false;
};
using TDrawItemEvent = std::function<void(TKyComponent* sender, int index, HDC dc, RECT rect, TDrawItemState state)>;

enum TModalResult : int;
enum : std::uint32_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
enum TCursorKind : int { crDefault = 0, crHandPoint = -21 };
// Colours: RGB, or 0x80000000 + a system colour index.
constexpr int clBtnFace = static_cast<int>(0x8000000F);
constexpr int clWindow = static_cast<int>(0x80000005);
constexpr int clWindowText = static_cast<int>(0x80000008);
constexpr int clDefault = 0x20000000;
constexpr int clNone = 0x1FFFFFFF;
COLORREF ColorToRGB(int color);
const TIdentTable& ColorIdents();

// The font of a control: Height in pixels (negative: character height), or Size in points.
class TFont : public TPersistent {
 public:
  explicit TFont(std::function<void()> onChange = {}) : OnChange_(std::move(onChange)) {}
  ~TFont() override;
  const TClassInfo& ClassInfo() const override;
  String Name() const { return Name_; }
  void SetName(const String& v);
  int Height() const { return Height_; }
  void SetHeight(int v);
  int Size() const;
  void SetSize(int points);
  std::uint32_t Style() const { return Style_; }
  void SetStyle(std::uint32_t v);
  int Color() const { return Color_; }
  void SetColor(int v);
  int Charset() const { return Charset_; }
  void SetCharset(int v);
  void Assign(const TFont& other);
  TFontDesc Desc() const;
  void AssignDesc(const TFontDesc& d);
  // The GDI font, made on first use and again after a change.
  HFONT Handle();

 private:
  void Changed();
  String Name_ = u"MS Shell Dlg 2";
  int Height_ = -11;
  std::uint32_t Style_ = 0;
  int Color_ = clWindowText;
  int Charset_ = DEFAULT_CHARSET;
  HFONT Handle_ = nullptr;
  std::function<void()> OnChange_;
};

// The application: its general error handler, the hint handler, the main form.
class TApplication {
 public:
  // Shows the message of an exception that escaped an event handler; the program goes on.
  void HandleException(const std::exception& e);
  std::function<void(const String& message)> OnException;  // replaces the message box (tests)
  TNotifyEvent OnHint;
  TKyCustomForm* MainForm = nullptr;
  // Runs the message loop until the main form is closed.
  void Run();
  void ProcessMessages();
  bool Terminated = false;
  int ExceptionCount = 0;
  // The reading direction of the program's texts: message boxes follow it.
  bool BiDiRightToLeft() const { return BiDiRightToLeft_; }
  void SetBiDiRightToLeft(bool v);

 private:
  bool BiDiRightToLeft_ = false;
};
extern TApplication Application;

// Runs F, passing an escaping exception to the application's error handler.
template <class F>
void Guarded(F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    Application.HandleException(e);
  } catch (...) {
    Application.HandleException(std::runtime_error("?"));
  }
}

class TControl : public TKyComponent {
 public:
  explicit TControl(TKyComponent* owner);
  ~TControl() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TControl* Parent() const { return Parent_; }
  virtual void SetParent(TControl* parent);
  void SetParentComponent(TKyComponent* parent) override;
  int ControlCount() const { return static_cast<int>(Controls_.size()); }
  TControl* Controls(int i) const { return Controls_.at(i); }
  TKyCustomForm* ParentForm();

  int Left() const { return Left_; }
  void SetLeft(int v) { SetBounds(v, Top_, Width_, Height_); }
  int Top() const { return Top_; }
  void SetTop(int v) { SetBounds(Left_, v, Width_, Height_); }
  int Width() const { return Width_; }
  void SetWidth(int v) { SetBounds(Left_, Top_, v, Height_); }
  int Height() const { return Height_; }
  void SetHeight(int v) { SetBounds(Left_, Top_, Width_, v); }
  virtual void SetBounds(int l, int t, int w, int h);
  String Caption() const;
  void SetCaption(const String& s);
  String Text() const { return Caption(); }
  void SetText(const String& s) { SetCaption(s); }
  bool Visible() const { return Visible_; }
  void SetVisible(bool v);
  // Visible here and in every parent.
  bool Showing() const;
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);
  String Hint() const { return Hint_; }
  void SetHint(const String& s) { Hint_ = s; }
  bool ShowHint() const { return ShowHint_; }
  void SetShowHint(bool v) { ShowHint_ = v; }
  int TabOrder() const { return TabOrder_; }
  void SetTabOrder(int v) { TabOrder_ = v; }
  bool TabStop() const { return TabStop_; }
  void SetTabStop(bool v);
  int Color() const { return Color_; }
  void SetColor(int v);
  int Cursor() const { return Cursor_; }
  void SetCursor(int v) { Cursor_ = v; }
  bool ParentFont() const { return ParentFont_; }
  void SetParentFont(bool v);
  TFont* Font() { return &Font_; }
  bool CanFocus() const;
  void SetFocus();
  bool Focused() const;

  HWND Handle() const { return Handle_; }
  bool HandleAllocated() const { return Handle_ != nullptr; }
  // False for a control that its parent paints (TGraphicControl).
  virtual bool HasWindow() const { return true; }
  // Creates the window and those of the children (parents first).
  void CreateHandle();
  void DestroyHandle();
  void Loaded() override;
  void SetName(const String& name) override;
  // Clicks the control as the user would.
  virtual void Click();
  bool IsControl() const override { return true; }
  // The caption or the item texts changed: windows that show them elsewhere follow.
  void TextChanged() override {}

  TNotifyEvent OnClick;

  // Message plumbing, used by the parent window's procedure.
  virtual void CommandNotify(WORD code) {}
  virtual LRESULT Notify(NMHDR* hdr) { return 0; }
  virtual HBRUSH CtlColor(HDC dc);
  virtual bool DrawItem(DRAWITEMSTRUCT* dis) { return false; }
  virtual bool MeasureItem(MEASUREITEMSTRUCT* mis) { return false; }
  // The window procedure of a subclassed control; returns true when handled.
  virtual bool WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  // The handling of the control's own window class, for a WndProc that adds to it.
  LRESULT ClassWndProc(UINT msg, WPARAM wp, LPARAM lp);
  static TControl* FromHandle(HWND h);
  void FontChanged();
  int ControlId() const { return Id_; }

 protected:
  struct TCreateParams {
    const wchar_t* ClassName = L"STATIC";
    DWORD Style = 0;
    DWORD ExStyle = 0;
    // A top-level window: its owner and its place on the screen, instead of the parent's
    // window and the control's bounds.
    HWND Owner = nullptr;
    bool HasRect = false;
    RECT Rect{};
  };
  virtual void CreateParams(TCreateParams& p) = 0;
  // After the window exists: push the state that has no window style.
  virtual void CreateWnd() {}
  // Before the window goes: read back the state that lives in the window.
  virtual void DestroyWnd() {}
  // False for a control that makes its children's windows itself, when they are needed.
  virtual bool MakesChildWindows() const { return true; }
  // A control without a window: its place in the parent is painted again.
  void InvalidateInParent() const;
  // SetCaption of a control that has no window yet.
  virtual void TextSetWithoutWindow() {}
  void Recreate();
  HWND ParentHandle() const;
  // A window made after later siblings' windows goes before them.
  void PlaceInWindowOrder();
  // Redraw false for a window that has not been painted yet.
  void ApplyFont(bool redraw = true);
  std::unique_ptr<TFont> UnderlineFont_;
  HBRUSH Brush_ = nullptr;
  bool Transparent_ = false;
  String Caption_;

 private:
  friend class TKyCustomForm;
  TControl* Parent_ = nullptr;
  std::vector<TControl*> Controls_;
  int Left_ = 0, Top_ = 0, Width_ = 0, Height_ = 0;
  bool Visible_ = true, Enabled_ = true, ShowHint_ = false, TabStop_ = false, ParentFont_ = true;
  int TabOrder_ = -1;
  int Color_ = clBtnFace;
  int Cursor_ = crDefault;
  String Hint_;
  TFont Font_;
  HWND Handle_ = nullptr;
  int Id_;
  ATOM NameAtom_ = 0;
  // The procedure of the system's window class that the control's own one replaced.
  WNDPROC ClassProc_ = nullptr;
  bool InheritingFont_ = false;
  friend LRESULT CALLBACK ControlWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
};

// Sets or clears the right-to-left layout and reading order of one window. Edits hold
// paths, names and passwords that read left to right: they are never mirrored.
void MirrorWindow(HWND h, bool rightToLeft);

// A control that holds other controls (group box, page, form).
class TWinContainer : public TControl {
 public:
  using TControl::TControl;
  static LRESULT CALLBACK ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
  static const wchar_t* ContainerClass();

 protected:
  // What a container does with a message of its children or of its graphic controls;
  // true when it handled it.
  bool ContainerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

 private:
  TGraphicControl* GraphicControlAt(POINT clientPoint) const;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool WordWrap() const { return WordWrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return Transparent_; }
  void SetTransparent(bool v);
  int Alignment() const { return Alignment_; }  // 0 left, 1 right, 2 centre
  void SetAlignment(int v);
  bool AutoSize() const { return AutoSize_; }
  void SetAutoSize(bool v) { AutoSize_ = v; }
  TControl* FocusControl() const { return FocusControl_; }
  void SetFocusControl(TControl* c) { FocusControl_ = c; }
  void CommandNotify(WORD code) override;
  // An auto-sized label takes the size of its new text (a right-aligned one keeps its right edge).
  void TextChanged() override;
  HBRUSH CtlColor(HDC dc) override;
  // Right-to-left reading order: the label draws its text itself, paragraphs from the right.
  bool WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  bool WordWrap_ = false;
  int Alignment_ = 0;
  bool AutoSize_ = true;
  TControl* FocusControl_ = nullptr;
};

class TButton : public TControl {
 public:
  explicit TButton(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Default() const { return Default_; }
  void SetDefault(bool v);
  bool Cancel() const { return Cancel_; }
  void SetCancel(bool v) { Cancel_ = v; }
  int ModalResult() const { return ModalResult_; }
  void SetModalResult(int v) { ModalResult_ = v; }
  void Click() override;
  void CommandNotify(WORD code) override;

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  bool Default_ = false;
  bool Cancel_ = false;
  int ModalResult_ = 0;
};

// A check box whose click handler also runs when the program changes the state.
class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Checked() const { return Checked_; }
  void SetChecked(bool v);
  void Click() override;
  void CommandNotify(WORD code) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;

 private:
  bool Checked_ = false;
};

class TEdit : public TControl {
 public:
  explicit TEdit(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int PasswordChar() const { return PasswordChar_; }
  void SetPasswordChar(int c);
  bool ReadOnly() const { return ReadOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return MaxLength_; }
  void SetMaxLength(int v) { MaxLength_ = v; }
  void CommandNotify(WORD code) override;
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  // The edit window reports every text set to it; without the window it is reported the same way.
  void TextSetWithoutWindow() override;
  bool Multiline_ = false;
  int ScrollBars_ = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both

 private:
  int PasswordChar_ = 0;
  bool ReadOnly_ = false;
  int MaxLength_ = 0;
};

// The folder edit: file-system completion through the shell's helper when it is there.
class TKyFileEdit : public TEdit {
 public:
  explicit TKyFileEdit(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool AutoComplete() const { return AutoComplete_; }
  void SetAutoComplete(bool v);
  // The flags last passed to the shell helper, -1 when it was not called.
  int AutoCompleteFlags() const { return LastFlags_; }

 protected:
  void CreateWnd() override;

 private:
  bool AutoComplete_ = true;
  int LastFlags_ = -1;
};

class TMemo : public TEdit {
 public:
  explicit TMemo(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int ScrollBars() const { return ScrollBars_; }
  void SetScrollBars(int v);
  TKyStrings* Lines() { return Lines_.get(); }

 private:
  std::unique_ptr<TKyStrings> Lines_;
};

// Items of a list control, kept in the control's window once it exists.
class TListItems;

class TListBox : public TControl {
 public:
  explicit TListBox(TKyComponent* owner);
  ~TListBox() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TKyStrings* Items();
  int ItemIndex() const;
  void SetItemIndex(int i);
  bool Sorted() const { return Sorted_; }
  void SetSorted(bool v);
  void CommandNotify(WORD code) override;
  TNotifyEvent OnChange;  // the selection changed

 protected:
  friend class TListItems;
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  virtual UINT Msg(int which) const;  // LB_ or CB_ message for a list operation
  std::unique_ptr<TListItems> Items_;
  bool Sorted_ = false;
  int ItemIndex_ = -1;
};

// A list box with a check box per item; items may have their check box disabled.
class TCheckListBox : public TListBox {
 public:
  explicit TCheckListBox(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  bool Checked(int i) const;
  void SetChecked(int i, bool v);
  bool ItemEnabled(int i) const;
  void SetItemEnabled(int i, bool v);
  // Toggles the item's check as a click or the space bar does (not when its check is disabled).
  void ToggleItem(int i);
  bool DrawItem(DRAWITEMSTRUCT* dis) override;
  bool MeasureItem(MEASUREITEMSTRUCT* mis) override;
  bool WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
  TDrawItemEvent OnDrawItem;
  TNotifyEvent OnClickCheck;

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  friend class TListItems;
  struct TState {
    bool Checked = false;
    bool Enabled = true;
  };
  std::vector<TState>& States() const;
};

class TComboBox : public TListBox {
 public:
  explicit TComboBox(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void CommandNotify(WORD code) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  UINT Msg(int which) const override;
};

class TProgressBar : public TControl {
 public:
  explicit TProgressBar(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int Min() const { return Min_; }
  void SetMin(int v);
  int Max() const { return Max_; }
  void SetMax(int v);
  int Position() const { return Position_; }
  void SetPosition(int v);

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;

 private:
  int Min_ = 0, Max_ = 100, Position_ = 0;
};

// The system's group box window holding the group's controls: it routes their
// notifications as a container does and erases its own background.
class TGroupBox : public TWinContainer {
 public:
  explicit TGroupBox(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

 protected:
  void CreateParams(TCreateParams& p) override;
  bool WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

class TRadioGroup : public TGroupBox {
 public:
  explicit TRadioGroup(TKyComponent* owner);
  ~TRadioGroup() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TKyStrings* Items() { return Items_.get(); }
  int ItemIndex() const { return ItemIndex_; }
  void SetItemIndex(int v);
  void ButtonClicked(int index);
  void Rebuild();
  void TextChanged() override;

 protected:
  void CreateWnd() override;

 private:
  std::unique_ptr<TKyStrings> Items_;
  std::vector<HWND> Buttons_;
  int ItemIndex_ = -1;
};

// A control without a window of its own (a line, a picture): its parent paints it, after
// its background and below its windowed children, and passes it the clicks on it. Every
// window costs its making, showing and painting; these take no input and show no text.
class TGraphicControl : public TControl {
 public:
  using TControl::TControl;
  // Draws the control into its parent's context; Bounds is its place there.
  virtual void Paint(HDC dc, const RECT& bounds) = 0;
  RECT BoundsRect() const { return RECT{Left(), Top(), Left() + Width(), Top() + Height()}; }
  bool HasWindow() const final { return false; }

 protected:
  void CreateParams(TCreateParams&) final {}
};

// A line or a frame.
class TBevel : public TGraphicControl {
 public:
  explicit TBevel(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int Shape() const { return Shape_; }  // 0 box, 1 top line, 2 bottom line, 3 frame
  void SetShape(int v) {
    Shape_ = v;
    InvalidateInParent();
  }
  void Paint(HDC dc, const RECT& bounds) override;

 private:
  int Shape_ = 0;
};

// A picture: a bitmap resource of the module, named by the Picture property.
// Drawn at its natural size from the top left corner, cut off at the control's bounds.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  String Picture() const { return Picture_; }
  void SetPicture(const String& resourceName);
  void Paint(HDC dc, const RECT& bounds) override;

 private:
  String Picture_;
  TGdiObject Bitmap_;
};

class TTabSheet;
// A page control whose tabs can be hidden; the pages are its TTabSheet children.
class TPageControl : public TWinContainer {
 public:
  explicit TPageControl(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int PageCount() const;
  TTabSheet* Pages(int i) const;
  int ActivePageIndex() const { return ActiveIndex_; }
  void SetActivePageIndex(int i);
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* page);
  void Loaded() override;

 protected:
  void CreateParams(TCreateParams& p) override;
  // Makes the window of the active page only: a page gets its window, and its controls
  // theirs, when it is first shown (a wizard's start then makes those of its first page).
  void CreateWnd() override;
  bool MakesChildWindows() const override { return false; }

 private:
  int ActiveIndex_ = -1;
};

class TTabSheet : public TWinContainer {
 public:
  explicit TTabSheet(TKyComponent* owner);
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  TPageControl* PageControl() const { return dynamic_cast<TPageControl*>(Parent()); }
  int PageIndex() const;
  bool TabVisible() const { return TabVisible_; }
  void SetTabVisible(bool v) { TabVisible_ = v; }

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  bool TabVisible_ = true;
};

// A tree of the shell namespace rooted at the desktop, showing folders.
class TShellTreeView : public TControl {
 public:
  explicit TShellTreeView(TKyComponent* owner);
  ~TShellTreeView() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  int Indent() const { return Indent_; }
  void SetIndent(int v) { Indent_ = v; }
  bool ShowLines() const { return ShowLines_; }
  void SetShowLines(bool v) { ShowLines_ = v; }
  // Selects and shows the folder; false when the tree cannot reach it.
  bool SelectPath(const String& path);
  // The file-system path of the selected folder; empty when it has none.
  String SelectedPath() const;
  LRESULT Notify(NMHDR* hdr) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void DestroyWnd() override;

 private:
  struct TNode;
  HTREEITEM AddNode(HTREEITEM parent, void* pidl, bool hasChildren);
  void Expand(HTREEITEM item);
  std::vector<TNode*> Nodes_;
  int Indent_ = 19;
  bool ShowLines_ = true;
};

void RegisterControlClasses();

// Fills Data from a GDI font handle; the default GUI font's data when the handle says nothing.
void GetFontData(HFONT font, TFontData& data);
// The default GUI font's data, read once at start-up.
const TFontData& DefaultFontData();
