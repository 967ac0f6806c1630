#include "lib/ui/win/kycontrols.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>

#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/core/win/kywin.h"
#include "lib/ui/win/kyform.h"

TApplication Application;

namespace {

int NextControlId = 100;

const std::vector<String> kStyleNames = {u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"};
const std::vector<String> kAlignNames = {u"taLeftJustify", u"taRightJustify", u"taCenter"};
const std::vector<String> kScrollNames = {u"ssNone", u"ssHorizontal", u"ssVertical", u"ssBoth"};
const std::vector<String> kShapeNames = {u"bsBox", u"bsTopLine", u"bsBottomLine", u"bsFrame"};
const TIdentTable kCursorIdents = {{u"crDefault", crDefault}, {u"crHandPoint", crHandPoint}};
const TIdentTable kCharsetIdents = {{u"ANSI_CHARSET", 0}, {u"DEFAULT_CHARSET", 1}, {u"SYMBOL_CHARSET", 2},
                                    {u"ARABIC_CHARSET", 178}, {u"HEBREW_CHARSET", 177}, {u"RUSSIAN_CHARSET", 204},
                                    {u"GREEK_CHARSET", 161}, {u"SHIFTJIS_CHARSET", 128}};
const TIdentTable kModalIdents = {{u"mrNone", 0}, {u"mrOk", 1}, {u"mrCancel", 2}, {u"mrAbort", 3},
                                  {u"mrRetry", 4}, {u"mrIgnore", 5}, {u"mrYes", 6}, {u"mrNo", 7}};

const wchar_t* kNameProp = L"KyName";
// The control of each window that the setup made. Not a window property: under Wine every
// property read is a round trip to the wineserver, and most messages look their control up.
// The windows all belong to the one user-interface thread.
std::unordered_map<HWND, TControl*>& ControlsByWindow() {
  static std::unordered_map<HWND, TControl*> map;
  return map;
}

// A child window without frame or scroll bars has nothing to paint outside its client area,
// yet the default handling of WM_NCPAINT asks the wineserver for its visible region: a
// round trip for each control of a page when it is first shown.
bool HasNoFrame(HWND h) {
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  if (!(style & WS_CHILD) || (style & (WS_VSCROLL | WS_HSCROLL | WS_BORDER | WS_DLGFRAME | WS_THICKFRAME))) return false;
  RECT w, c;
  return GetWindowRect(h, &w) && GetClientRect(h, &c) && w.right - w.left == c.right && w.bottom - w.top == c.bottom;
}

}  // namespace

// Controls of the system's window classes get this procedure instead of their class's one,
// which it calls for what the control leaves alone. Not SetWindowSubclass: comctl32 looks
// its subclass chain up in a window property at every message, and under Wine each such
// read is a round trip to the wineserver.
LRESULT CALLBACK ControlWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  TControl* c = TControl::FromHandle(h);
  if (!c || !c->ClassProc_) return DefWindowProcW(h, msg, wp, lp);
  WNDPROC classProc = c->ClassProc_;
  if (msg == WM_NCPAINT && HasNoFrame(h)) return 0;
  if (msg == WM_NCDESTROY) {
    ControlsByWindow().erase(h);
    return CallWindowProcW(classProc, h, msg, wp, lp);
  }
  LRESULT r = 0;
  bool handled = false;
  Guarded([&] { handled = c->WndProc(msg, wp, lp, r); });
  if (handled) return r;
  return CallWindowProcW(classProc, h, msg, wp, lp);
}

namespace {

// The shell's auto-complete function, looked up once.
using TSHAutoComplete = HRESULT(WINAPI*)(HWND, DWORD);
TSHAutoComplete AutoCompleteFunction() {
  static TSHAutoComplete f = [] {
    HMODULE m = LoadLibraryW(L"shlwapi.dll");
    return m ? reinterpret_cast<TSHAutoComplete>(GetProcAddress(m, "SHAutoComplete")) : nullptr;
  }();
  return f;
}

}  // namespace

// ---- colours and fonts ------------------------------------------------------------

COLORREF ColorToRGB(int color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

const TIdentTable& ColorIdents() {
  static const TIdentTable t = {
      {u"clBlack", 0x000000}, {u"clMaroon", 0x000080}, {u"clGreen", 0x008000}, {u"clNavy", 0x800000},
      {u"clBlue", 0xFF0000}, {u"clRed", 0x0000FF}, {u"clWhite", 0xFFFFFF}, {u"clGray", 0x808080},
      {u"clSilver", 0xC0C0C0}, {u"clYellow", 0x00FFFF}, {u"clBtnFace", clBtnFace}, {u"clWindow", clWindow},
      {u"clWindowText", clWindowText}, {u"clDefault", clDefault}, {u"clNone", clNone},
      {u"clHotLight", static_cast<int>(0x8000001A)}, {u"clHighlight", static_cast<int>(0x8000000D)}};
  return t;
}

TFont::~TFont() {
  if (Handle_) DeleteObject(Handle_);
}

const TClassInfo& TFont::ClassInfo() const {
  static const TClassInfo info(
      u"TFont", nullptr,
      {props::Str<TFont>(u"Name", &TFont::Name, &TFont::SetName),
       props::Int<TFont>(u"Height", &TFont::Height, &TFont::SetHeight, -1000, 1000),
       props::Int<TFont>(u"Size", &TFont::Size, &TFont::SetSize, -1000, 1000),
       props::Set<TFont>(u"Style", &TFont::Style, &TFont::SetStyle, &kStyleNames),
       props::Int<TFont>(u"Color", &TFont::Color, &TFont::SetColor, INT32_MIN, INT32_MAX, &ColorIdents()),
       props::Int<TFont>(u"Charset", &TFont::Charset, &TFont::SetCharset, 0, 255, &kCharsetIdents)});
  return info;
}

void TFont::Changed() {
  if (Handle_) DeleteObject(Handle_);
  Handle_ = nullptr;
  if (OnChange_) OnChange_();
}
void TFont::SetName(const String& v) { if (v != Name_) { Name_ = v; Changed(); } }
void TFont::SetHeight(int v) { if (v != Height_) { Height_ = v; Changed(); } }
int TFont::Size() const { return -MulDiv(Height_, 72, 96); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, 96, 72)); }
void TFont::SetStyle(std::uint32_t v) { if (v != Style_) { Style_ = v; Changed(); } }
void TFont::SetColor(int v) { if (v != Color_) { Color_ = v; Changed(); } }
void TFont::SetCharset(int v) { if (v != Charset_) { Charset_ = v; Changed(); } }

void TFont::Assign(const TFont& o) {
  Name_ = o.Name_;
  Height_ = o.Height_;
  Style_ = o.Style_;
  Color_ = o.Color_;
  Charset_ = o.Charset_;
  Changed();
}

TFontDesc TFont::Desc() const {
  TFontDesc d;
  d.Name = Name_;
  d.Size = Size();
  d.Style = Style_;
  d.Charset = Charset_;
  return d;
}

void TFont::AssignDesc(const TFontDesc& d) {
  Name_ = d.Name;
  Height_ = -MulDiv(d.Size, 96, 72);
  Style_ = d.Style;
  Charset_ = d.Charset;
  Changed();
}

namespace {
bool ReadFontData(HFONT font, TFontData& data) {
  LOGFONTW lf{};
  if (!font || GetObjectW(font, sizeof lf, &lf) != sizeof lf) return false;
  data.Handle = font;
  data.Height = lf.lfHeight;
  std::uint32_t style = 0;
  if (lf.lfWeight >= FW_BOLD) style |= fsBold;
  if (lf.lfItalic) style |= fsItalic;
  if (lf.lfUnderline) style |= fsUnderline;
  if (lf.lfStrikeOut) style |= fsStrikeOut;
  data.Style = style;
  data.Charset = lf.lfCharSet;
  int pitch = lf.lfPitchAndFamily & 3;
  data.Pitch = pitch == FIXED_PITCH ? TFontPitch::Fixed : pitch == VARIABLE_PITCH ? TFontPitch::Variable : TFontPitch::Default;
  size_t n = wcsnlen(lf.lfFaceName, 31);
  data.Name.assign(lf.lfFaceName, lf.lfFaceName + n);
  return true;
}
}  // namespace

const TFontData& DefaultFontData() {
  static const TFontData d = [] {
    TFontData r;
    r.Name = u"MS Shell Dlg 2";
    r.Height = -11;
    ReadFontData(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), r);
    return r;
  }();
  return d;
}

void GetFontData(HFONT font, TFontData& data) {
  if (!ReadFontData(font, data)) data = DefaultFontData();
}

HFONT TFont::Handle() {
  if (!Handle_) {
    Handle_ = CreateFontW(Height_, 0, 0, 0, (Style_ & fsBold) ? FW_BOLD : FW_NORMAL, (Style_ & fsItalic) != 0,
                          (Style_ & fsUnderline) != 0, (Style_ & fsStrikeOut) != 0, static_cast<BYTE>(Charset_),
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, W(Name_));
  }
  return Handle_;
}

// ---- application ------------------------------------------------------------------

void TApplication::HandleException(const std::exception& e) {
  ++ExceptionCount;
  String msg;
  if (auto* k = dynamic_cast<const Exception*>(&e)) msg = k->Message();
  else msg = Utf8ToString(e.what());
  if (OnException) {
    OnException(msg);
    return;
  }
  ShowMessageBox(msg, TMsgKind::Error, TMsgButtons::Ok);
}

void TApplication::SetBiDiRightToLeft(bool v) {
  BiDiRightToLeft_ = v;
  SetMessageBoxRightToLeft(v);
}

void TApplication::ProcessMessages() { PumpMessages(false); }

void TApplication::Run() {
  MSG msg;
  while (!Terminated && MainForm && MainForm->HandleAllocated() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    HWND top = GetAncestor(msg.hwnd, GA_ROOT);
    if (msg.message == WM_SYSCHAR)
      if (auto* f = dynamic_cast<TKyCustomForm*>(TControl::FromHandle(top)); f && f->HandleMnemonic(static_cast<wchar_t>(msg.wParam)))
        continue;
    if (top && IsDialogMessageW(top, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// ---- control base -----------------------------------------------------------------

TControl::TControl(TKyComponent* owner) : TKyComponent(owner), Font_([this] { FontChanged(); }), Id_(NextControlId++) {}

TControl::~TControl() {
  for (TControl* c : std::vector<TControl*>(Controls_)) c->SetParent(nullptr);
  DestroyHandle();
  if (Parent_) {
    auto& v = Parent_->Controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  if (Brush_) DeleteObject(Brush_);
}

const TClassInfo& TControl::StaticClassInfo() {
  static const TClassInfo info(
      u"TControl", &TKyComponent::StaticClassInfo(),
      {props::Int<TControl>(u"Left", &TControl::Left, &TControl::SetLeft),
       props::Int<TControl>(u"Top", &TControl::Top, &TControl::SetTop),
       props::Int<TControl>(u"Width", &TControl::Width, &TControl::SetWidth, 0),
       props::Int<TControl>(u"Height", &TControl::Height, &TControl::SetHeight, 0),
       props::Str<TControl>(u"Caption", &TControl::Caption, &TControl::SetCaption),
       props::Str<TControl>(u"Text", &TControl::Caption, &TControl::SetCaption),
       props::Bool<TControl>(u"Visible", &TControl::Visible, &TControl::SetVisible),
       props::Bool<TControl>(u"Enabled", &TControl::Enabled, &TControl::SetEnabled),
       props::Str<TControl>(u"Hint", &TControl::Hint, &TControl::SetHint),
       props::Bool<TControl>(u"ShowHint", &TControl::ShowHint, &TControl::SetShowHint),
       props::Int<TControl>(u"TabOrder", &TControl::TabOrder, &TControl::SetTabOrder, -1, 32767),
       props::Bool<TControl>(u"TabStop", &TControl::TabStop, &TControl::SetTabStop),
       props::Int<TControl>(u"Color", &TControl::Color, &TControl::SetColor, INT32_MIN, INT32_MAX, &ColorIdents()),
       props::Int<TControl>(u"Cursor", &TControl::Cursor, &TControl::SetCursor, -32768, 32767, &kCursorIdents),
       props::Bool<TControl>(u"ParentFont", &TControl::ParentFont, &TControl::SetParentFont),
       props::Object<TControl, TFont>(u"Font", &TControl::Font),
       props::Event_<TControl, TNotifyEvent>(u"OnClick", &TControl::OnClick)});
  return info;
}

void TControl::SetParent(TControl* parent) {
  if (parent == Parent_) return;
  if (Parent_) {
    DestroyHandle();
    auto& v = Parent_->Controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  Parent_ = parent;
  if (parent) {
    parent->Controls_.push_back(this);
    if (ParentFont_) {
      InheritingFont_ = true;
      Font_.Assign(*parent->Font());
      InheritingFont_ = false;
    }
    if (parent->HandleAllocated() && !Loading()) CreateHandle();
  }
}

void TControl::SetParentComponent(TKyComponent* parent) {
  if (auto* p = dynamic_cast<TControl*>(parent)) SetParent(p);
}

TKyCustomForm* TControl::ParentForm() {
  TControl* c = this;
  while (c->Parent_) c = c->Parent_;
  return dynamic_cast<TKyCustomForm*>(c);
}

void TControl::SetBounds(int l, int t, int w, int h) {
  // The window is where the fields say (a mirrored parent counts from its other edge).
  if (l == Left_ && t == Top_ && w == Width_ && h == Height_) return;
  if (!HasWindow()) InvalidateInParent();  // where it was
  Left_ = l;
  Top_ = t;
  Width_ = w;
  Height_ = h;
  if (Handle_ && Parent_) MoveWindow(Handle_, l, t, w, h, TRUE);
  if (!HasWindow()) InvalidateInParent();
}

void TControl::InvalidateInParent() const {
  // A hidden parent paints all of itself when it shows.
  if (!Parent_ || !Parent_->Handle_ || !IsWindowVisible(Parent_->Handle_)) return;
  RECT r{Left_, Top_, Left_ + Width_, Top_ + Height_};
  // With the windows above it (a transparent label on a picture paints on it).
  RedrawWindow(Parent_->Handle_, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

String TControl::Caption() const {
  if (!Handle_) return Caption_;
  int n = GetWindowTextLengthW(Handle_);
  std::wstring w(static_cast<size_t>(n) + 1, L'\0');
  GetWindowTextW(Handle_, w.data(), n + 1);
  w.resize(wcslen(w.c_str()));
  return String(w.begin(), w.end());
}

void TControl::SetCaption(const String& s) {
  // The same text again changes nothing: no repaint, no change notice.
  if (Handle_ && s == Caption_ && s == Caption()) return;
  Caption_ = s;
  if (Handle_) SetWindowTextW(Handle_, W(s));
  else TextSetWithoutWindow();
  TextChanged();
}

void TControl::SetVisible(bool v) {
  if (v == Visible_ && !Handle_) return;
  Visible_ = v;
  if (Handle_ && Parent_) ShowWindow(Handle_, v ? SW_SHOWNA : SW_HIDE);
  else if (v && Parent_ && HasWindow()) CreateHandle();  // hidden until now
  if (!HasWindow()) InvalidateInParent();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->Parent_)
    if (!c->Visible_) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  Enabled_ = v;
  if (Handle_) EnableWindow(Handle_, v);
}

void TControl::SetTabStop(bool v) {
  TabStop_ = v;
  if (Handle_) {
    LONG_PTR s = GetWindowLongPtrW(Handle_, GWL_STYLE);
    SetWindowLongPtrW(Handle_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
  }
}

void TControl::SetColor(int v) {
  Color_ = v;
  if (Brush_) DeleteObject(Brush_);
  Brush_ = nullptr;
  if (Handle_) InvalidateRect(Handle_, nullptr, TRUE);
}

void TControl::SetParentFont(bool v) {
  ParentFont_ = v;
  if (v && Parent_) {
    InheritingFont_ = true;
    Font_.Assign(*Parent_->Font());
    InheritingFont_ = false;
  }
}

void TControl::FontChanged() {
  if (!InheritingFont_) ParentFont_ = false;  // an own font from now on
  for (TControl* c : Controls_)
    if (c->ParentFont_) {
      c->InheritingFont_ = true;
      c->Font_.Assign(Font_);
      c->InheritingFont_ = false;
    }
  ApplyFont();
}

void TControl::ApplyFont(bool redraw) {
  if (!Handle_) return;
  SendMessageW(Handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font_.Handle()), redraw);
}

bool TControl::CanFocus() const {
  for (const TControl* c = this; c; c = c->Parent_)
    if (!c->Visible_ || !c->Enabled_) return false;
  return Handle_ != nullptr;
}

void TControl::SetFocus() {
  if (Handle_) ::SetFocus(Handle_);
}

bool TControl::Focused() const { return Handle_ && GetFocus() == Handle_; }

HWND TControl::ParentHandle() const { return Parent_ ? Parent_->Handle_ : nullptr; }

TControl* TControl::FromHandle(HWND h) {
  if (!h) return nullptr;
  auto& map = ControlsByWindow();
  auto it = map.find(h);
  return it == map.end() ? nullptr : it->second;
}

void TControl::SetName(const String& name) {
  TKyComponent::SetName(name);
  if (Handle_) {
    if (NameAtom_) GlobalDeleteAtom(NameAtom_);
    NameAtom_ = name.empty() ? 0 : GlobalAddAtomW(W(name));
    SetPropW(Handle_, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(NameAtom_)));
  }
}

void TControl::CreateHandle() {
  if (!HasWindow()) {
    InvalidateInParent();
    return;
  }
  if (!Handle_) {
    if (Parent_ && !Parent_->Handle_) return;
    // A hidden control gets its window when it is first shown (SetVisible), in its place
    // in the window order, which is the Tab order.
    if (Parent_ && !Visible_) return;
    TCreateParams p;
    CreateParams(p);
    DWORD style = p.Style;
    if (Parent_) style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (Visible_ && Parent_) style |= WS_VISIBLE;
    if (!Enabled_) style |= WS_DISABLED;
    if (TabStop_) style |= WS_TABSTOP;
    const RECT r = p.HasRect ? p.Rect : RECT{Left_, Top_, Left_ + Width_, Top_ + Height_};
    Handle_ = CreateWindowExW(p.ExStyle, p.ClassName, W(Caption_), style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, Parent_ ? ParentHandle() : p.Owner,
                              Parent_ ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id_)) : nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!Handle_) RaiseLastOSError();
    if (Parent_) PlaceInWindowOrder();
    ControlsByWindow()[Handle_] = this;
    if (!Name().empty()) {
      NameAtom_ = GlobalAddAtomW(W(Name()));
      SetPropW(Handle_, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(NameAtom_)));
    }
    if (p.ClassName != TWinContainer::ContainerClass() && Parent_)
      ClassProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlWndProc)));
    // Nothing of the new window was painted yet: its first paint uses the font.
    ApplyFont(false);
    CreateWnd();
    // A window made after its form was mirrored (a page shown later) is mirrored as the
    // form's other windows were, with the windows that it made itself.
    if (TKyCustomForm* form = Parent_ ? ParentForm() : nullptr;
        form && form->Handle() && (GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) {
      MirrorWindow(Handle_, true);
      EnumChildWindows(Handle_, [](HWND h, LPARAM) -> BOOL {
        MirrorWindow(h, true);
        return TRUE;
      }, 0);
    }
  }
  if (!MakesChildWindows()) return;
  // Children in the order of the form resource: the window order is the Tab order.
  for (TControl* c : Controls_) c->CreateHandle();
}

void TControl::PlaceInWindowOrder() {
  // Behind the window of the nearest earlier sibling that has one; with none, first.
  const auto& siblings = Parent_->Controls_;
  auto self = std::find(siblings.begin(), siblings.end(), this);
  auto hasWindow = [](const TControl* c) { return c->Handle_ != nullptr; };
  if (self == siblings.end() || std::none_of(self + 1, siblings.end(), hasWindow)) return;  // in place
  auto earlier = std::find_if(std::make_reverse_iterator(self), siblings.rend(), hasWindow);
  HWND after = earlier == siblings.rend() ? HWND_TOP : (*earlier)->Handle_;
  SetWindowPos(Handle_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void MirrorWindow(HWND h, bool rightToLeft) {
  wchar_t cls[16];
  GetClassNameW(h, cls, 16);
  const LONG_PTR bits = WS_EX_LAYOUTRTL | WS_EX_RTLREADING;
  LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
  LONG_PTR wanted = rightToLeft && _wcsicmp(cls, L"Edit") != 0 ? ex | bits : ex & ~bits;
  if (wanted != ex) SetWindowLongPtrW(h, GWL_EXSTYLE, wanted);
}

void TControl::DestroyHandle() {
  if (!Handle_) return;
  for (TControl* c : Controls_) c->DestroyHandle();
  DestroyWnd();
  Caption_ = Caption();
  // The window only while it is still this control's: one destroyed with its parent has
  // ended already (and left the table), and its handle may name another window by now.
  auto& controls = ControlsByWindow();
  HWND h = Handle_;
  Handle_ = nullptr;
  if (auto it = controls.find(h); it != controls.end() && it->second == this) {
    if (ClassProc_) SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClassProc_));
    controls.erase(it);
    RemovePropW(h, kNameProp);
    DestroyWindow(h);
  }
  ClassProc_ = nullptr;
  if (NameAtom_) GlobalDeleteAtom(NameAtom_);
  NameAtom_ = 0;
}

void TControl::Recreate() {
  if (!Handle_) return;
  DestroyHandle();
  CreateHandle();
}

void TControl::Loaded() {
  TKyComponent::Loaded();
  if (Parent_ && Parent_->HandleAllocated()) CreateHandle();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

HBRUSH TControl::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(Font_.Color()));
  SetBkColor(dc, ColorToRGB(Color_));
  if (!Brush_) Brush_ = CreateSolidBrush(ColorToRGB(Color_));
  return Brush_;
}

LRESULT TControl::ClassWndProc(UINT msg, WPARAM wp, LPARAM lp) {
  return ClassProc_ ? CallWindowProcW(ClassProc_, Handle_, msg, wp, lp) : DefWindowProcW(Handle_, msg, wp, lp);
}

bool TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_SETCURSOR && Cursor_ == crHandPoint) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    result = TRUE;
    return true;
  }
  return false;
}

// ---- containers: the window procedure that routes notifications to the controls --

const wchar_t* TWinContainer::ContainerClass() { return L"TKyWinContainer"; }

LRESULT CALLBACK TWinContainer::ContainerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    ControlsByWindow()[h] = static_cast<TControl*>(cs->lpCreateParams);
  }
  if (msg == WM_NCPAINT && HasNoFrame(h)) return 0;
  auto* self = dynamic_cast<TWinContainer*>(TControl::FromHandle(h));
  LRESULT result = 0;
  bool handled = false;
  if (self) Guarded([&] { handled = self->ContainerMessage(msg, wp, lp, result) || self->WndProc(msg, wp, lp, result); });
  if (handled) return result;
  if (msg == WM_NCDESTROY) ControlsByWindow().erase(h);
  return DefWindowProcW(h, msg, wp, lp);
}

TGraphicControl* TWinContainer::GraphicControlAt(POINT p) const {
  // The last painted is on top.
  for (int i = ControlCount() - 1; i >= 0; --i) {
    auto* g = dynamic_cast<TGraphicControl*>(Controls(i));
    RECT r = g ? g->BoundsRect() : RECT{};
    if (g && g->Visible() && PtInRect(&r, p)) return g;
  }
  return nullptr;
}

bool TWinContainer::ContainerMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (TControl* c = TControl::FromHandle(reinterpret_cast<HWND>(lp))) {
        c->CommandNotify(HIWORD(wp));
        return true;
      }
      if (auto* rg = dynamic_cast<TRadioGroup*>(this); rg && LOWORD(wp) >= 1000 && HIWORD(wp) == BN_CLICKED) {
        rg->ButtonClicked(LOWORD(wp) - 1000);
        return true;
      }
      return false;
    case WM_NOTIFY:
      if (TControl* c = TControl::FromHandle(reinterpret_cast<NMHDR*>(lp)->hwndFrom)) {
        result = c->Notify(reinterpret_cast<NMHDR*>(lp));
        return true;
      }
      return false;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (TControl* c = TControl::FromHandle(reinterpret_cast<HWND>(lp))) {
        result = reinterpret_cast<LRESULT>(c->CtlColor(reinterpret_cast<HDC>(wp)));
        return true;
      }
      return false;
    case WM_DRAWITEM:
      if (TControl* c = TControl::FromHandle(reinterpret_cast<DRAWITEMSTRUCT*>(lp)->hwndItem)) {
        result = TRUE;
        return c->DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp));
      }
      return false;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      for (int i = 0; i < ControlCount(); ++i)
        if (Controls(i)->ControlId() == static_cast<int>(mis->CtlID)) {
          result = TRUE;
          return Controls(i)->MeasureItem(mis);
        }
      return false;
    }
    case WM_CLOSE:
      // A multi-line edit takes Escape itself and posts WM_CLOSE to its parent. Only a
      // form may close; for a page or group box this is the form's Escape.
      if (dynamic_cast<TKyCustomForm*>(this)) return false;
      if (TKyCustomForm* form = ParentForm(); form && form->Handle()) PostMessageW(form->Handle(), WM_COMMAND, IDCANCEL, 0);
      return true;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Handle(), &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, CtlColor(reinterpret_cast<HDC>(wp)));
      result = 1;
      return true;
    }
    case WM_PAINT: {
      bool any = false;
      for (int i = 0; i < ControlCount() && !any; ++i) any = !Controls(i)->HasWindow() && Controls(i)->Visible();
      if (!any) return false;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Handle(), &ps);
      for (int i = 0; i < ControlCount(); ++i) {
        auto* g = dynamic_cast<TGraphicControl*>(Controls(i));
        RECT r = g ? g->BoundsRect() : RECT{}, common;
        if (g && g->Visible() && IntersectRect(&common, &r, &ps.rcPaint)) g->Paint(dc, r);
      }
      EndPaint(Handle(), &ps);
      result = 0;
      return true;
    }
    case WM_LBUTTONDOWN:
      if (TGraphicControl* g = GraphicControlAt(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)})) {
        g->Click();
        return true;
      }
      return false;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wp) == Handle() && LOWORD(lp) == HTCLIENT) {
        POINT p;
        GetCursorPos(&p);
        MapWindowPoints(nullptr, Handle(), &p, 1);  // minds a mirrored layout, ScreenToClient does not
        if (TGraphicControl* g = GraphicControlAt(p); g && g->Cursor() == crHandPoint) {
          ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
          result = TRUE;
          return true;
        }
      }
      return false;
  }
  return false;
}

void RegisterControlClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  // Double clicks arrive as such: the second click on a picture is no second Click.
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = TWinContainer::ContainerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = TWinContainer::ContainerClass();
  RegisterClassExW(&wc);
  wc.lpfnWndProc = TKyCustomForm::FormProc;
  wc.lpszClassName = L"TKyForm";
  // The program's own icon (MAINICON), the generic one without it; the small size is loaded
  // too, which is cheaper than the system scaling the large one down.
  auto icon = [&](int metric) {
    int size = GetSystemMetrics(metric);
    auto* h = static_cast<HICON>(LoadImageW(wc.hInstance, L"MAINICON", IMAGE_ICON, size, size, LR_SHARED));
    return h ? h : static_cast<HICON>(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, size, size, LR_SHARED));
  };
  wc.hIcon = icon(SM_CXICON);
  wc.hIconSm = icon(SM_CXSMICON);
  RegisterClassExW(&wc);
}

// ---- label ------------------------------------------------------------------------

TLabel::TLabel(TKyComponent* owner) : TControl(owner) {}

const TClassInfo& TLabel::StaticClassInfo() {
  static const TClassInfo info(
      u"TLabel", &TControl::StaticClassInfo(),
      {props::Bool<TLabel>(u"WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap),
       props::Bool<TLabel>(u"Transparent", &TLabel::Transparent, &TLabel::SetTransparent),
       props::Bool<TLabel>(u"AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize),
       props::Enum<TLabel, int>(u"Alignment", &TLabel::Alignment, &TLabel::SetAlignment, &kAlignNames),
       props::Ref<TLabel, TControl>(u"FocusControl", &TLabel::FocusControl, &TLabel::SetFocusControl)});
  return info;
}

namespace {
// The size of one line of text as a label draws it (an empty one has a blank's height).
// Measured in a memory context of the screen's kind: a screen context from GetDC asks the
// wineserver for its visible region each time.
SIZE LineExtent(const String& text, HFONT font) {
  static TDeviceContext dc(CreateCompatibleDC(nullptr));
  HGDIOBJ old = SelectObject(dc.Get(), font);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc.Get(), W(text.empty() ? u" " : text), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc.Get(), old);
  return SIZE{r.right, r.bottom};
}
}  // namespace

void TLabel::SetWordWrap(bool v) { WordWrap_ = v; Recreate(); }
void TLabel::SetTransparent(bool v) { Transparent_ = v; if (Handle()) InvalidateRect(Handle(), nullptr, TRUE); }
void TLabel::SetAlignment(int v) { Alignment_ = v; Recreate(); }

void TLabel::CreateParams(TCreateParams& p) {
  p.ClassName = L"STATIC";
  p.Style = SS_NOTIFY | (Alignment_ == 1 ? SS_RIGHT : Alignment_ == 2 ? SS_CENTER : (WordWrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP));
  if (Transparent_) p.ExStyle |= WS_EX_TRANSPARENT;
  if (AutoSize() && Width() == 0 && Height() == 0) {
    // Size to the text as it will be drawn.
    SIZE size = LineExtent(Caption_, Font()->Handle());
    TControl::SetBounds(Left(), Top(), size.cx, size.cy);
  }
}

void TLabel::TextChanged() {
  // Also without a window (a page not shown yet): the size needs only the font.
  if (!AutoSize_ || WordWrap_ || Loading()) return;
  SIZE size = LineExtent(Caption(), Font()->Handle());
  int left = Alignment_ == 1 ? Left() + Width() - size.cx : Left();
  SetBounds(left, Top(), size.cx, size.cy);
}

void TLabel::CommandNotify(WORD code) {
  if (code == STN_CLICKED) Click();
}

HBRUSH TLabel::CtlColor(HDC dc) {
  if (!Transparent_) return TControl::CtlColor(dc);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

bool TLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if ((msg != WM_PAINT && msg != WM_SETTEXT) || !(GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_RTLREADING))
    return TControl::WndProc(msg, wp, lp, result);
  if (msg == WM_SETTEXT) {
    // The static control would paint the new text at once, left to right: keep the text
    // and let WM_PAINT below draw it.
    result = DefWindowProcW(Handle(), msg, wp, lp);
    InvalidateRect(Handle(), nullptr, TRUE);
    return true;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(Handle(), &ps);
  RECT r;
  GetClientRect(Handle(), &r);
  auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(GetParent(Handle()), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Handle())));
  if (brush && !Transparent_) FillRect(dc, &r, brush);
  SetBkMode(dc, TRANSPARENT);
  if (!Enabled()) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  UINT format = DT_RTLREADING | DT_NOCLIP | (WordWrap_ ? DT_WORDBREAK : DT_SINGLELINE) |
                (Alignment_ == 1 ? DT_RIGHT : Alignment_ == 2 ? DT_CENTER : DT_LEFT);
  String text = Caption();
  DrawTextW(dc, W(text), -1, &r, format);
  SelectObject(dc, old);
  EndPaint(Handle(), &ps);
  result = 0;
  return true;
}

// ---- button -----------------------------------------------------------------------

TButton::TButton(TKyComponent* owner) : TControl(owner) { SetTabStop(true); }

const TClassInfo& TButton::StaticClassInfo() {
  static const TClassInfo info(
      u"TButton", &TControl::StaticClassInfo(),
      {props::Bool<TButton>(u"Default", &TButton::Default, &TButton::SetDefault),
       props::Bool<TButton>(u"Cancel", &TButton::Cancel, &TButton::SetCancel),
       props::Int<TButton>(u"ModalResult", &TButton::ModalResult, &TButton::SetModalResult, 0, 100, &kModalIdents)});
  return info;
}

void TButton::SetDefault(bool v) {
  if (v == Default_ && Handle() && ((GetWindowLongPtrW(Handle(), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) == v) return;
  Default_ = v;
  if (Handle()) SendMessageW(Handle(), BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::CreateParams(TCreateParams& p) {
  p.ClassName = L"BUTTON";
  p.Style = Default_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::Click() {
  if (TKyCustomForm* f = ParentForm(); f && ModalResult_ != 0) f->SetModalResult(ModalResult_);
  TControl::Click();
}

void TButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

// ---- check box --------------------------------------------------------------------

TCheckBox::TCheckBox(TKyComponent* owner) : TControl(owner) { SetTabStop(true); }

const TClassInfo& TCheckBox::StaticClassInfo() {
  static const TClassInfo info(u"TCheckBox", &TControl::StaticClassInfo(),
                               {props::Bool<TCheckBox>(u"Checked", &TCheckBox::Checked, &TCheckBox::SetChecked)});
  return info;
}

void TCheckBox::SetChecked(bool v) {
  if (v == Checked_) return;
  Checked_ = v;
  if (Handle()) SendMessageW(Handle(), BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!Loading()) TControl::Click();
}

void TCheckBox::Click() { SetChecked(!Checked_); }

void TCheckBox::CreateParams(TCreateParams& p) {
  p.ClassName = L"BUTTON";
  p.Style = BS_CHECKBOX | BS_MULTILINE;
}

void TCheckBox::CreateWnd() { SendMessageW(Handle(), BM_SETCHECK, Checked_ ? BST_CHECKED : BST_UNCHECKED, 0); }

void TCheckBox::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

// ---- edits ------------------------------------------------------------------------

TEdit::TEdit(TKyComponent* owner) : TControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
}

const TClassInfo& TEdit::StaticClassInfo() {
  static const TClassInfo info(u"TEdit", &TControl::StaticClassInfo(),
                               {{u"PasswordChar", tkWChar,
                                 [](TPersistent& o) { TPropValue v; v.Int = static_cast<TEdit&>(o).PasswordChar(); return v; },
                                 [](TPersistent& o, const TPropValue& v) { static_cast<TEdit&>(o).SetPasswordChar(static_cast<int>(v.Int)); },
                                 0, 0xFFFF},
                                props::Bool<TEdit>(u"ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly),
                                props::Int<TEdit>(u"MaxLength", &TEdit::MaxLength, &TEdit::SetMaxLength, 0),
                                props::Event_<TEdit, TNotifyEvent>(u"OnChange", &TEdit::OnChange)});
  return info;
}

void TEdit::SetPasswordChar(int c) {
  PasswordChar_ = c;
  if (Handle()) {
    SendMessageW(Handle(), EM_SETPASSWORDCHAR, static_cast<WPARAM>(c), 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

void TEdit::SetReadOnly(bool v) {
  ReadOnly_ = v;
  if (Handle()) SendMessageW(Handle(), EM_SETREADONLY, v, 0);
}

void TEdit::CreateParams(TCreateParams& p) {
  p.ClassName = L"EDIT";
  p.ExStyle = WS_EX_CLIENTEDGE;
  p.Style = Multiline_ ? (ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN) : ES_AUTOHSCROLL;
  if (ScrollBars_ & 1) p.Style |= WS_HSCROLL;
  if (ScrollBars_ & 2) p.Style |= WS_VSCROLL;
  if (!Multiline_ && PasswordChar_) p.Style |= ES_PASSWORD;
  if (ReadOnly_) p.Style |= ES_READONLY;
}

void TEdit::CreateWnd() {
  if (PasswordChar_) SendMessageW(Handle(), EM_SETPASSWORDCHAR, static_cast<WPARAM>(PasswordChar_), 0);
  if (MaxLength_) SendMessageW(Handle(), EM_SETLIMITTEXT, static_cast<WPARAM>(MaxLength_), 0);
}

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE && OnChange && !Loading()) OnChange(this);
}

void TEdit::TextSetWithoutWindow() {
  if (OnChange && !Loading()) OnChange(this);
}

TKyFileEdit::TKyFileEdit(TKyComponent* owner) : TEdit(owner) {}

const TClassInfo& TKyFileEdit::StaticClassInfo() {
  static const TClassInfo info(u"TKyFileEdit", &TEdit::StaticClassInfo(),
                               {props::Bool<TKyFileEdit>(u"AutoComplete", &TKyFileEdit::AutoComplete, &TKyFileEdit::SetAutoComplete)});
  return info;
}

void TKyFileEdit::SetAutoComplete(bool v) {
  if (v == AutoComplete_) return;
  AutoComplete_ = v;
  Recreate();
}

void TKyFileEdit::CreateWnd() {
  TEdit::CreateWnd();
  NeedCom();  // the shell's auto-complete object
  if (TSHAutoComplete f = AutoCompleteFunction()) {
    DWORD flags = AutoComplete_ ? (SHACF_FILESYSTEM | SHACF_USETAB)
                                : (SHACF_AUTOSUGGEST_FORCE_OFF | SHACF_AUTOAPPEND_FORCE_OFF);
    f(Handle(), flags);
    LastFlags_ = static_cast<int>(flags);
  }
}

// ---- list items -------------------------------------------------------------------

// Keeps the items while there is no window, and in the window once there is one.
class TListItems : public TKyStrings {
 public:
  explicit TListItems(TListBox* owner) : Owner_(owner) {}
  int Count() const override {
    if (HWND h = Owner_->Handle()) return static_cast<int>(SendMessageW(h, Owner_->Msg(0), 0, 0));
    return static_cast<int>(Items.size());
  }
  String Get(int i) const override {
    if (i < 0 || i >= Count()) throw EListError(u"List index out of bounds (" + IntToStr(i) + u")");
    if (HWND h = Owner_->Handle()) {
      LRESULT n = SendMessageW(h, Owner_->Msg(1), i, 0);
      std::wstring w(static_cast<size_t>(n) + 1, L'\0');
      SendMessageW(h, Owner_->Msg(2), i, reinterpret_cast<LPARAM>(w.data()));
      w.resize(static_cast<size_t>(n));
      return String(w.begin(), w.end());
    }
    return Items[i];
  }
  void Put(int i, const String& s) override {
    if (i < 0 || i >= Count()) throw EListError(u"List index out of bounds (" + IntToStr(i) + u")");
    if (HWND h = Owner_->Handle()) {
      LRESULT sel = SendMessageW(h, Owner_->Msg(5), 0, 0);
      SendMessageW(h, Owner_->Msg(6), i, 0);
      SendMessageW(h, Owner_->Msg(7), i, reinterpret_cast<LPARAM>(W(s)));
      SendMessageW(h, Owner_->Msg(4), sel, 0);
    } else {
      Items[i] = s;
    }
  }
  int Add(const String& s) override {
    int at;
    if (HWND h = Owner_->Handle()) {
      at = static_cast<int>(SendMessageW(h, Owner_->Sorted_ ? Owner_->Msg(3) : Owner_->Msg(7), static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(W(s))));
    } else if (Owner_->Sorted_) {
      auto it = std::upper_bound(Items.begin(), Items.end(), s, [](const String& a, const String& b) { return CompareText(a, b) < 0; });
      at = static_cast<int>(it - Items.begin());
      Items.insert(it, s);
    } else {
      Items.push_back(s);
      at = static_cast<int>(Items.size()) - 1;
    }
    if (auto* c = dynamic_cast<TCheckListBox*>(Owner_)) {
      auto& st = c->States();
      st.insert(st.begin() + std::min<size_t>(at, st.size()), TCheckListBox::TState());
    }
    return at;
  }
  void Clear() override {
    if (HWND h = Owner_->Handle()) SendMessageW(h, Owner_->Msg(8), 0, 0);
    Items.clear();
    if (auto* c = dynamic_cast<TCheckListBox*>(Owner_)) c->States().clear();
  }
  std::vector<String> Items;
  std::vector<TCheckListBox::TState> States;

 private:
  TListBox* Owner_;
};

TListBox::TListBox(TKyComponent* owner) : TControl(owner), Items_(std::make_unique<TListItems>(this)) {
  SetTabStop(true);
  SetColor(clWindow);
}

TListBox::~TListBox() { DestroyHandle(); }

const TClassInfo& TListBox::StaticClassInfo() {
  static const TClassInfo info(u"TListBox", &TControl::StaticClassInfo(),
                               {props::Object<TListBox, TKyStrings>(u"Items", &TListBox::Items),
                                props::Int<TListBox>(u"ItemIndex", &TListBox::ItemIndex, &TListBox::SetItemIndex, -1),
                                props::Bool<TListBox>(u"Sorted", &TListBox::Sorted, &TListBox::SetSorted),
                                props::Event_<TListBox, TNotifyEvent>(u"OnChange", &TListBox::OnChange)});
  return info;
}

TKyStrings* TListBox::Items() { return Items_.get(); }

UINT TListBox::Msg(int which) const {
  static const UINT m[] = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_ADDSTRING, LB_SETCURSEL,
                           LB_GETCURSEL, LB_DELETESTRING, LB_INSERTSTRING, LB_RESETCONTENT};
  return m[which];
}

int TListBox::ItemIndex() const {
  if (Handle()) return static_cast<int>(SendMessageW(Handle(), Msg(5), 0, 0));
  return ItemIndex_;
}

void TListBox::SetItemIndex(int i) {
  ItemIndex_ = i;
  if (Handle()) SendMessageW(Handle(), Msg(4), static_cast<WPARAM>(i), 0);
}

void TListBox::SetSorted(bool v) {
  if (v == Sorted_) return;
  Sorted_ = v;
  auto items = Items_->ToVector();
  Recreate();
  Items_->Assign(items);
}

void TListBox::CreateParams(TCreateParams& p) {
  p.ClassName = L"LISTBOX";
  p.ExStyle = WS_EX_CLIENTEDGE;
  p.Style = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | LBS_HASSTRINGS;
}

void TListBox::CreateWnd() {
  // The window sorts through the items it receives itself (LBS_SORT is not used: Add inserts).
  auto items = Items_->Items;
  Items_->Items.clear();
  auto states = Items_->States;
  for (const auto& s : items) SendMessageW(Handle(), Msg(7), static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(W(s)));
  Items_->States = states;
  SendMessageW(Handle(), Msg(4), static_cast<WPARAM>(ItemIndex_), 0);
}

void TListBox::DestroyWnd() {
  ItemIndex_ = ItemIndex();
  std::vector<String> items;
  for (int i = 0; i < Items_->Count(); ++i) items.push_back(Items_->Get(i));
  Items_->Items = items;
}

void TListBox::CommandNotify(WORD code) {
  if (code == LBN_SELCHANGE) {
    ItemIndex_ = ItemIndex();
    if (OnChange) OnChange(this);
    TControl::Click();
  }
}

// ---- check list box ---------------------------------------------------------------

TCheckListBox::TCheckListBox(TKyComponent* owner) : TListBox(owner) {}

const TClassInfo& TCheckListBox::StaticClassInfo() {
  static const TClassInfo info(u"TCheckListBox", &TListBox::StaticClassInfo(),
                               {props::Event_<TCheckListBox, TDrawItemEvent>(u"OnDrawItem", &TCheckListBox::OnDrawItem),
                                props::Event_<TCheckListBox, TNotifyEvent>(u"OnClickCheck", &TCheckListBox::OnClickCheck)});
  return info;
}

std::vector<TCheckListBox::TState>& TCheckListBox::States() const { return Items_->States; }

bool TCheckListBox::Checked(int i) const { return i >= 0 && i < static_cast<int>(States().size()) && States()[i].Checked; }
bool TCheckListBox::ItemEnabled(int i) const { return i >= 0 && i < static_cast<int>(States().size()) && States()[i].Enabled; }

void TCheckListBox::SetChecked(int i, bool v) {
  if (i < 0 || i >= static_cast<int>(States().size())) throw EListError(u"List index out of bounds (" + IntToStr(i) + u")");
  States()[i].Checked = v;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TCheckListBox::SetItemEnabled(int i, bool v) {
  if (i < 0 || i >= static_cast<int>(States().size())) throw EListError(u"List index out of bounds (" + IntToStr(i) + u")");
  States()[i].Enabled = v;
  if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

void TCheckListBox::ToggleItem(int i) {
  if (!ItemEnabled(i) || !Enabled()) return;
  SetChecked(i, !Checked(i));
  if (OnClickCheck) OnClickCheck(this);
}

void TCheckListBox::CreateParams(TCreateParams& p) {
  TListBox::CreateParams(p);
  p.Style |= LBS_OWNERDRAWFIXED;
}

bool TCheckListBox::MeasureItem(MEASUREITEMSTRUCT* mis) {
  mis->itemHeight = static_cast<UINT>(std::max(16, -Font()->Height() + 4));
  return true;
}

bool TCheckListBox::DrawItem(DRAWITEMSTRUCT* dis) {
  if (static_cast<int>(dis->itemID) < 0) return true;
  int i = static_cast<int>(dis->itemID);
  RECT r = dis->rcItem;
  int box = r.bottom - r.top;
  RECT check{r.left + 1, r.top + 1, r.left + box - 1, r.bottom - 1};
  FillRect(dis->hDC, &r, GetSysColorBrush(COLOR_WINDOW));
  UINT state = DFCS_BUTTONCHECK | DFCS_FLAT | (Checked(i) ? DFCS_CHECKED : 0) | (ItemEnabled(i) ? 0 : DFCS_INACTIVE);
  DrawFrameControl(dis->hDC, &check, DFC_BUTTON, state);
  RECT text{r.left + box + 2, r.top, r.right, r.bottom};
  TDrawItemState st{(dis->itemState & ODS_SELECTED) != 0, (dis->itemState & ODS_FOCUS) != 0, !ItemEnabled(i)};
  if (OnDrawItem) {
    OnDrawItem(this, i, dis->hDC, text, st);
  } else {
    FillRect(dis->hDC, &text, GetSysColorBrush(st.Selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dis->hDC, TRANSPARENT);
    SetTextColor(dis->hDC, GetSysColor(!ItemEnabled(i) ? COLOR_GRAYTEXT : st.Selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dis->hDC, Font()->Handle());
    String s = Items_->Get(i);
    text.left += 2;
    DrawTextW(dis->hDC, W(s), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dis->hDC, old);
  }
  if (st.Focused) DrawFocusRect(dis->hDC, &text);
  return true;
}

bool TCheckListBox::WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  if (msg == WM_LBUTTONDOWN) {
    LRESULT hit = SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, lp);
    int i = LOWORD(hit);
    RECT r;
    if (!HIWORD(hit) && SendMessageW(Handle(), LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r)) != LB_ERR &&
        GET_X_LPARAM(lp) < r.left + (r.bottom - r.top)) {
      ClassWndProc(msg, wp, lp);
      ToggleItem(i);
      return true;
    }
  }
  if (msg == WM_CHAR && wp == L' ') {
    ToggleItem(ItemIndex());
    return true;
  }
  return TControl::WndProc(msg, wp, lp, result);
}

// ---- combo box --------------------------------------------------------------------

TComboBox::TComboBox(TKyComponent* owner) : TListBox(owner) {}

const TClassInfo& TComboBox::StaticClassInfo() {
  static const TClassInfo info(u"TComboBox", &TListBox::StaticClassInfo(), {});
  return info;
}

UINT TComboBox::Msg(int which) const {
  static const UINT m[] = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_ADDSTRING, CB_SETCURSEL,
                           CB_GETCURSEL, CB_DELETESTRING, CB_INSERTSTRING, CB_RESETCONTENT};
  return m[which];
}

void TComboBox::CreateParams(TCreateParams& p) {
  p.ClassName = L"COMBOBOX";
  p.Style = CBS_DROPDOWNLIST | WS_VSCROLL;
}

void TComboBox::CommandNotify(WORD code) {
  if (code == CBN_SELCHANGE) {
    ItemIndex_ = ItemIndex();
    if (OnChange) OnChange(this);
    TControl::Click();
  }
}

// ---- memo -------------------------------------------------------------------------

namespace {
class TMemoLines : public TKyStrings {
 public:
  explicit TMemoLines(TMemo* m) : M_(m) {}
  std::vector<String> Lines() const {
    std::vector<String> v;
    String t = M_->Text();
    size_t b = 0;
    while (b < t.size()) {
      size_t e = t.find(u"\r\n", b);
      if (e == String::npos) e = t.size();
      v.push_back(t.substr(b, e - b));
      b = e + 2;
    }
    return v;
  }
  void SetLines(const std::vector<String>& v) {
    String t;
    for (size_t i = 0; i < v.size(); ++i) t += (i ? u"\r\n" : u"") + v[i];
    M_->SetText(t);
  }
  int Count() const override { return static_cast<int>(Lines().size()); }
  String Get(int i) const override { auto v = Lines(); return v.at(i); }
  void Put(int i, const String& s) override { auto v = Lines(); v.at(i) = s; SetLines(v); }
  int Add(const String& s) override { auto v = Lines(); v.push_back(s); SetLines(v); return static_cast<int>(v.size()) - 1; }
  void Clear() override { M_->SetText(u""); }

 private:
  TMemo* M_;
};
}  // namespace

TMemo::TMemo(TKyComponent* owner) : TEdit(owner), Lines_(std::make_unique<TMemoLines>(this)) { Multiline_ = true; }

const TClassInfo& TMemo::StaticClassInfo() {
  static const TClassInfo info(u"TMemo", &TEdit::StaticClassInfo(),
                               {props::Enum<TMemo, int>(u"ScrollBars", &TMemo::ScrollBars, &TMemo::SetScrollBars, &kScrollNames),
                                props::Object<TMemo, TKyStrings>(u"Lines", &TMemo::Lines)});
  return info;
}

void TMemo::SetScrollBars(int v) {
  ScrollBars_ = v;
  Recreate();
}

// ---- progress bar -----------------------------------------------------------------

TProgressBar::TProgressBar(TKyComponent* owner) : TControl(owner) {}

const TClassInfo& TProgressBar::StaticClassInfo() {
  static const TClassInfo info(u"TProgressBar", &TControl::StaticClassInfo(),
                               {props::Int<TProgressBar>(u"Min", &TProgressBar::Min, &TProgressBar::SetMin),
                                props::Int<TProgressBar>(u"Max", &TProgressBar::Max, &TProgressBar::SetMax),
                                props::Int<TProgressBar>(u"Position", &TProgressBar::Position, &TProgressBar::SetPosition)});
  return info;
}

void TProgressBar::SetMin(int v) { Min_ = v; if (Handle()) SendMessageW(Handle(), PBM_SETRANGE32, Min_, Max_); }
void TProgressBar::SetMax(int v) { Max_ = v; if (Handle()) SendMessageW(Handle(), PBM_SETRANGE32, Min_, Max_); }
void TProgressBar::SetPosition(int v) {
  Position_ = std::clamp(v, Min_, std::max(Min_, Max_));
  if (Handle()) SendMessageW(Handle(), PBM_SETPOS, Position_, 0);
}
void TProgressBar::CreateParams(TCreateParams& p) { p.ClassName = PROGRESS_CLASSW; }
void TProgressBar::CreateWnd() {
  SendMessageW(Handle(), PBM_SETRANGE32, Min_, Max_);
  SendMessageW(Handle(), PBM_SETPOS, Position_, 0);
}

// ---- group box and radio group ----------------------------------------------------

TGroupBox::TGroupBox(TKyComponent* owner) : TWinContainer(owner) {}

const TClassInfo& TGroupBox::StaticClassInfo() {
  static const TClassInfo info(u"TGroupBox", &TControl::StaticClassInfo(), {});
  return info;
}

void TGroupBox::CreateParams(TCreateParams& p) {
  p.ClassName = L"BUTTON";
  p.Style = BS_GROUPBOX | WS_CLIPCHILDREN;
  p.ExStyle = WS_EX_CONTROLPARENT;
}

bool TGroupBox::WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  // The frame and caption are the button class's painting.
  if (msg != WM_PAINT && ContainerMessage(msg, wp, lp, result)) return true;
  return TWinContainer::WndProc(msg, wp, lp, result);
}

TRadioGroup::TRadioGroup(TKyComponent* owner) : TGroupBox(owner), Items_(std::make_unique<TKyStringVector>()) {
  SetTabStop(false);
}

TRadioGroup::~TRadioGroup() { DestroyHandle(); }

const TClassInfo& TRadioGroup::StaticClassInfo() {
  static const TClassInfo info(u"TRadioGroup", &TGroupBox::StaticClassInfo(),
                               {props::Object<TRadioGroup, TKyStrings>(u"Items", &TRadioGroup::Items),
                                props::Int<TRadioGroup>(u"ItemIndex", &TRadioGroup::ItemIndex, &TRadioGroup::SetItemIndex, -1)});
  return info;
}

void TRadioGroup::SetItemIndex(int v) {
  ItemIndex_ = v;
  for (size_t i = 0; i < Buttons_.size(); ++i)
    SendMessageW(Buttons_[i], BM_SETCHECK, static_cast<int>(i) == v ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioGroup::ButtonClicked(int index) {
  SetItemIndex(index);
  TControl::Click();
}

void TRadioGroup::CreateWnd() { Rebuild(); }

namespace {
LRESULT CALLBACK RadioProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref) {
  return DefSubclassProc(h, msg, wp, lp);
}
}  // namespace

void TRadioGroup::TextChanged() {
  for (size_t i = 0; i < Buttons_.size() && static_cast<int>(i) < Items_->Count(); ++i)
    SetWindowTextW(Buttons_[i], W(Items_->Get(static_cast<int>(i))));
}

void TRadioGroup::Rebuild() {
  for (HWND b : Buttons_) DestroyWindow(b);
  Buttons_.clear();
  if (!Handle()) return;
  int n = Items_->Count();
  int top = 16, step = n ? std::max(18, (Height() - top - 4) / n) : 18;
  for (int i = 0; i < n; ++i) {
    HWND b = CreateWindowExW(0, L"BUTTON", W(Items_->Get(i)), WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0),
                             8, top + i * step, Width() - 16, 18, Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(1000 + i)),
                             GetModuleHandleW(nullptr), nullptr);
    SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(Font()->Handle()), TRUE);
    SetWindowSubclass(b, RadioProc, 2, 0);
    Buttons_.push_back(b);
  }
  SetItemIndex(ItemIndex_);
}

// ---- bevel and image --------------------------------------------------------------

TBevel::TBevel(TKyComponent* owner) : TGraphicControl(owner) {}

const TClassInfo& TBevel::StaticClassInfo() {
  static const TClassInfo info(u"TBevel", &TControl::StaticClassInfo(),
                               {props::Int<TBevel>(u"Shape", &TBevel::Shape, &TBevel::SetShape, 0, 3,
                                                   new TIdentTable{{u"bsBox", 0}, {u"bsTopLine", 1}, {u"bsBottomLine", 2}, {u"bsFrame", 3}})});
  return info;
}

void TBevel::Paint(HDC dc, const RECT& bounds) {
  RECT r = bounds;
  DrawEdge(dc, &r, EDGE_ETCHED, Shape_ == 1 ? BF_TOP : Shape_ == 2 ? BF_BOTTOM : BF_RECT);
}

TImage::TImage(TKyComponent* owner) : TGraphicControl(owner) {}

const TClassInfo& TImage::StaticClassInfo() {
  static const TClassInfo info(u"TImage", &TControl::StaticClassInfo(),
                               {props::Str<TImage>(u"Picture", &TImage::Picture, &TImage::SetPicture)});
  return info;
}

void TImage::SetPicture(const String& name) {
  Picture_ = name;
  Bitmap_.Reset(name.empty() ? nullptr : LoadImageW(GetModuleHandleW(nullptr), W(name), IMAGE_BITMAP, 0, 0, 0));
  InvalidateInParent();
}

void TImage::Paint(HDC dc, const RECT& bounds) {
  BITMAP bm{};
  if (!Bitmap_ || !GetObjectW(Bitmap_.Get(), sizeof bm, &bm)) return;
  TDeviceContext mem(CreateCompatibleDC(dc));
  HGDIOBJ old = SelectObject(mem.Get(), Bitmap_.Get());
  BitBlt(dc, bounds.left, bounds.top, std::min<LONG>(bm.bmWidth, bounds.right - bounds.left),
         std::min<LONG>(bm.bmHeight, bounds.bottom - bounds.top), mem.Get(), 0, 0, SRCCOPY);
  SelectObject(mem.Get(), old);
}

// ---- page control -----------------------------------------------------------------

TPageControl::TPageControl(TKyComponent* owner) : TWinContainer(owner) {}

const TClassInfo& TPageControl::StaticClassInfo() {
  static const TClassInfo info(u"TPageControl", &TControl::StaticClassInfo(),
                               {props::Int<TPageControl>(u"ActivePageIndex", &TPageControl::ActivePageIndex,
                                                         &TPageControl::SetActivePageIndex, -1)});
  return info;
}

int TPageControl::PageCount() const {
  int n = 0;
  for (int i = 0; i < ControlCount(); ++i) n += dynamic_cast<TTabSheet*>(Controls(i)) != nullptr;
  return n;
}

TTabSheet* TPageControl::Pages(int index) const {
  int n = 0;
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* s = dynamic_cast<TTabSheet*>(Controls(i)))
      if (n++ == index) return s;
  return nullptr;
}

TTabSheet* TPageControl::ActivePage() const { return Pages(ActiveIndex_); }

void TPageControl::SetActivePageIndex(int index) {
  if (index < -1 || index >= PageCount()) index = -1;
  ActiveIndex_ = index;
  TTabSheet* active = Pages(index);
  for (int i = 0; i < PageCount(); ++i)
    if (Pages(i) != active) Pages(i)->SetVisible(false);
  if (!active) return;
  active->SetVisible(true);
  // The windows of a page shown for the first time.
  if (HandleAllocated()) active->CreateHandle();
}

void TPageControl::SetActivePage(TTabSheet* page) { SetActivePageIndex(page ? page->PageIndex() : -1); }

void TPageControl::Loaded() {
  TWinContainer::Loaded();
  SetActivePageIndex(ActiveIndex_ < 0 && PageCount() ? 0 : ActiveIndex_);
}

void TPageControl::CreateParams(TCreateParams& p) {
  p.ClassName = ContainerClass();
  p.ExStyle = WS_EX_CONTROLPARENT;
  // Its page covers it: clipped, it has nothing left to erase or paint.
  p.Style = WS_CLIPCHILDREN;
}

void TPageControl::CreateWnd() {
  if (TTabSheet* page = ActivePage()) page->CreateHandle();
}

TTabSheet::TTabSheet(TKyComponent* owner) : TWinContainer(owner) {}

const TClassInfo& TTabSheet::StaticClassInfo() {
  static const TClassInfo info(u"TTabSheet", &TControl::StaticClassInfo(),
                               {props::Bool<TTabSheet>(u"TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible),
                                {u"PageControl", tkClass, [](TPersistent& o) { TPropValue v; v.Object = static_cast<TTabSheet&>(o).PageControl(); return v; },
                                 [](TPersistent& o, const TPropValue& v) {
                                   if (auto* pc = dynamic_cast<TPageControl*>(v.Object)) static_cast<TTabSheet&>(o).SetParent(pc);
                                 }}});
  return info;
}

int TTabSheet::PageIndex() const {
  TPageControl* pc = PageControl();
  if (!pc) return -1;
  for (int i = 0; i < pc->PageCount(); ++i)
    if (pc->Pages(i) == this) return i;
  return -1;
}

void TTabSheet::CreateParams(TCreateParams& p) {
  p.ClassName = ContainerClass();
  p.ExStyle = WS_EX_CONTROLPARENT;
  // Erases only around its controls, which paint their own background (a transparent
  // one is not clipped out, so the page paints under it).
  p.Style = WS_CLIPCHILDREN;
  // A page fills its page control; the tabs are hidden.
  if (Parent()) TControl::SetBounds(0, 0, Parent()->Width(), Parent()->Height());
}

// ---- shell tree -------------------------------------------------------------------

struct TShellTreeView::TNode {
  LPITEMIDLIST Pidl;  // absolute
  bool Expanded = false;
};

TShellTreeView::TShellTreeView(TKyComponent* owner) : TControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
}

TShellTreeView::~TShellTreeView() { DestroyHandle(); }

const TClassInfo& TShellTreeView::StaticClassInfo() {
  static const TClassInfo info(u"TShellTreeView", &TControl::StaticClassInfo(),
                               {props::Int<TShellTreeView>(u"Indent", &TShellTreeView::Indent, &TShellTreeView::SetIndent, 0, 1000),
                                props::Bool<TShellTreeView>(u"ShowLines", &TShellTreeView::ShowLines, &TShellTreeView::SetShowLines)});
  return info;
}

void TShellTreeView::CreateParams(TCreateParams& p) {
  p.ClassName = WC_TREEVIEWW;
  p.ExStyle = WS_EX_CLIENTEDGE;
  p.Style = TVS_HASBUTTONS | TVS_SHOWSELALWAYS | (ShowLines_ ? TVS_HASLINES | TVS_LINESATROOT : 0);
}

HTREEITEM TShellTreeView::AddNode(HTREEITEM parent, void* pidl, bool hasChildren) {
  SHFILEINFOW info{};
  SHGetFileInfoW(static_cast<LPCWSTR>(pidl), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
  auto* node = new TNode{static_cast<LPITEMIDLIST>(pidl)};
  Nodes_.push_back(node);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
  ins.item.pszText = info.szDisplayName;
  ins.item.lParam = reinterpret_cast<LPARAM>(node);
  ins.item.cChildren = hasChildren ? 1 : 0;
  return reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
}

void TShellTreeView::Expand(HTREEITEM item) {
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  auto* node = reinterpret_cast<TNode*>(tv.lParam);
  if (!node || node->Expanded) return;
  node->Expanded = true;
  TComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) return;
  TComPtr<IShellFolder> bound;
  IShellFolder* folder = desktop.Get();
  if (node->Pidl->mkid.cb != 0) {
    if (FAILED(desktop->BindToObject(node->Pidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(bound.Put())))) return;
    folder = bound.Get();
  }
  TComPtr<IEnumIDList> e;
  if (folder->EnumObjects(nullptr, SHCONTF_FOLDERS, e.Put()) != S_OK || !e) return;
  std::vector<std::pair<String, LPITEMIDLIST>> children;
  LPITEMIDLIST child;
  while (e->Next(1, &child, nullptr) == S_OK) {
    ULONG attrs = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR;
    LPCITEMIDLIST c = child;
    folder->GetAttributesOf(1, &c, &attrs);
    if ((attrs & SFGAO_FOLDER) && (attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR))) {
      LPITEMIDLIST abs = ILCombine(node->Pidl, child);
      children.push_back({u"", abs});
    }
    CoTaskMemFree(child);
  }
  for (auto& c : children) AddNode(item, c.second, true);
}

void TShellTreeView::CreateWnd() {
  NeedCom();
  SendMessageW(Handle(), TVM_SETINDENT, static_cast<WPARAM>(Indent_), 0);
  LPITEMIDLIST desktop = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop))) return;
  HTREEITEM root = AddNode(TVI_ROOT, desktop, true);
  SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
}

void TShellTreeView::DestroyWnd() {
  for (TNode* n : Nodes_) {
    CoTaskMemFree(n->Pidl);
    delete n;
  }
  Nodes_.clear();
}

LRESULT TShellTreeView::Notify(NMHDR* hdr) {
  if (hdr->code == TVN_ITEMEXPANDINGW) {
    auto* nm = reinterpret_cast<NMTREEVIEWW*>(hdr);
    if (nm->action & TVE_EXPAND) Expand(nm->itemNew.hItem);
  }
  return 0;
}

namespace {
String PidlPath(LPCITEMIDLIST pidl) {
  wchar_t buf[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(pidl, buf)) return String();
  return String(buf, buf + wcslen(buf));
}
}  // namespace

bool TShellTreeView::SelectPath(const String& path) {
  if (!Handle() || path.empty()) return false;
  String want = UpperCase(IncludeTrailingBackslash(path));
  // Walk down from the desktop, expanding each folder whose path leads to the wanted one.
  HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
  HTREEITEM found = nullptr;
  int guard = 0;
  while (item && guard++ < 10000) {
    Expand(item);
    HTREEITEM child = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    HTREEITEM next = nullptr;
    for (; child; child = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
      TVITEMW tv{};
      tv.mask = TVIF_PARAM;
      tv.hItem = child;
      SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
      String p = PidlPath(reinterpret_cast<TNode*>(tv.lParam)->Pidl);
      if (p.empty()) {
        // A virtual folder (Computer): look inside it when nothing else matches.
        if (!next) {
          Expand(child);
          HTREEITEM g = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(child)));
          for (; g; g = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(g)))) {
            TVITEMW tg{};
            tg.mask = TVIF_PARAM;
            tg.hItem = g;
            SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tg));
            String gp = UpperCase(IncludeTrailingBackslash(PidlPath(reinterpret_cast<TNode*>(tg.lParam)->Pidl)));
            if (gp.size() > 1 && want.rfind(gp, 0) == 0) {
              SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(child));
              next = g;
              break;
            }
          }
        }
        continue;
      }
      String up = UpperCase(IncludeTrailingBackslash(p));
      if (up == want) {
        found = child;
        break;
      }
      if (want.rfind(up, 0) == 0) next = child;
    }
    if (found) break;
    if (!next) return false;
    SendMessageW(Handle(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = next;
    SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    if (UpperCase(IncludeTrailingBackslash(PidlPath(reinterpret_cast<TNode*>(tv.lParam)->Pidl))) == want) {
      found = next;
      break;
    }
    item = next;
  }
  if (!found) return false;
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
  SendMessageW(Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(found));
  return true;
}

String TShellTreeView::SelectedPath() const {
  if (!Handle()) return String();
  HTREEITEM sel = reinterpret_cast<HTREEITEM>(SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0));
  if (!sel) return String();
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = sel;
  SendMessageW(Handle(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  auto* node = reinterpret_cast<TNode*>(tv.lParam);
  return node ? PidlPath(node->Pidl) : String();
}

namespace {
// Registers the controls with the form reader at start-up.
struct TRegistrar {
  TRegistrar() {
#define TV_REG(T) RegisterComponentClass(u## #T, [](TKyComponent* o) { return new T(o); })
    TV_REG(TLabel); TV_REG(TButton); TV_REG(TCheckBox); TV_REG(TEdit); TV_REG(TKyFileEdit); TV_REG(TMemo);
    TV_REG(TListBox); TV_REG(TCheckListBox); TV_REG(TComboBox); TV_REG(TProgressBar); TV_REG(TGroupBox);
    TV_REG(TRadioGroup); TV_REG(TBevel); TV_REG(TImage); TV_REG(TPageControl); TV_REG(TTabSheet);
    TV_REG(TShellTreeView);
#undef TV_REG
  }
} Registrar;
}  // namespace
