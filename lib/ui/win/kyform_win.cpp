#include "lib/ui/win/kyform.h"

#include <shellapi.h>

#include "lib/core/kysystem.h"

#include "lib/core/kysysutils.h"
#include "lib/core/kysystem.h"
#include "lib/core/win/kywin.h"
#include "lib/ui/kyformutil.h"

namespace {
const std::vector<String> kBorderNames = {u"bsNone", u"bsSingle", u"bsSizeable", u"bsDialog", u"bsToolWindow", u"bsSizeToolWin"};
const std::vector<String> kPositionNames = {u"poDesigned", u"poDefault", u"poScreenCenter", u"poDesktopCenter",
                                            u"poMainFormCenter", u"poOwnerFormCenter"};
std::function<bool(const String&, const String&, int)> ShellOpenHook;

TControl* FindById(TControl* c, int id) {
  if (c->ControlId() == id) return c;
  for (int i = 0; i < c->ControlCount(); ++i)
    if (TControl* f = FindById(c->Controls(i), id)) return f;
  return nullptr;
}

template <class Pred>
TButton* FindButton(TControl* c, Pred pred) {
  for (int i = 0; i < c->ControlCount(); ++i) {
    if (auto* b = dynamic_cast<TButton*>(c->Controls(i)); b && pred(b)) return b;
    if (TButton* f = FindButton(c->Controls(i), pred)) return f;
  }
  return nullptr;
}
}  // namespace

TKyCustomForm::TKyCustomForm(TKyComponent* owner) : TWinContainer(owner) {
  SetVisible(false);
  RegisterControlClasses();
  Screen.AddForm(this);
}

TKyCustomForm::~TKyCustomForm() {
  Screen.RemoveForm(this);
  DoDestroy();
  if (Application.MainForm == this) Application.MainForm = nullptr;
  for (int i = ControlCount() - 1; i >= 0; --i) Controls(i)->DestroyHandle();
  DestroyHandle();
}

const TClassInfo& TKyCustomForm::StaticClassInfo() {
  static const TClassInfo info(
      u"TForm", &TControl::StaticClassInfo(),
      {props::Int<TKyCustomForm>(u"ClientWidth", &TKyCustomForm::ClientWidth, &TKyCustomForm::SetClientWidth, 0),
       props::Int<TKyCustomForm>(u"ClientHeight", &TKyCustomForm::ClientHeight, &TKyCustomForm::SetClientHeight, 0),
       props::Enum<TKyCustomForm, TBorderStyle>(u"BorderStyle", &TKyCustomForm::BorderStyle, &TKyCustomForm::SetBorderStyle, &kBorderNames),
       props::Enum<TKyCustomForm, TPosition>(u"Position", &TKyCustomForm::Position, &TKyCustomForm::SetPosition, &kPositionNames),
       props::Bool<TKyCustomForm>(u"Scaled", &TKyCustomForm::Scaled, &TKyCustomForm::SetScaled),
       props::Ref<TKyCustomForm, TControl>(u"ActiveControl", &TKyCustomForm::ActiveControl, &TKyCustomForm::SetActiveControl),
       props::Event_<TKyCustomForm, TNotifyEvent>(u"OnCreate", &TKyCustomForm::OnCreate),
       props::Event_<TKyCustomForm, TNotifyEvent>(u"OnShow", &TKyCustomForm::OnShow),
       props::Event_<TKyCustomForm, TNotifyEvent>(u"OnDestroy", &TKyCustomForm::OnDestroy),
       props::Event_<TKyCustomForm, TCloseQueryEvent>(u"OnCloseQuery", &TKyCustomForm::OnCloseQuery)});
  return info;
}

void TKyCustomForm::Initialize() {
  ReadFormResources(*this);
  OwnWindowOnly_ = true;
  CreateHandle();
  OwnWindowOnly_ = false;
  DoCreate();
  CreateHandle();  // the controls' windows
}

void TKyCustomForm::DoDestroy() {
  if (!OnDestroy) return;
  TNotifyEvent handler = std::move(OnDestroy);
  OnDestroy = nullptr;
  Guarded([&] { handler(this); });
}

void TKyCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TKyCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TKyCustomForm::SetClientWidth(int v) {
  ClientWidth_ = v;
  if (Handle()) PlaceWindow();
}

void TKyCustomForm::SetClientHeight(int v) {
  ClientHeight_ = v;
  if (Handle()) PlaceWindow();
}

void TKyCustomForm::SetActiveControl(TControl* c) {
  ActiveControl_ = c;
  if (c && Handle() && IsWindowVisible(Handle()) && c->CanFocus()) c->SetFocus();
}

void TKyCustomForm::CreateParams(TCreateParams& p) {
  p.ClassName = L"TKyForm";
  p.ExStyle = WS_EX_CONTROLPARENT;
  switch (BorderStyle_) {
    case bsNone: p.Style = WS_POPUP; break;
    case bsDialog: p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME; p.ExStyle |= WS_EX_DLGMODALFRAME; break;
    case bsSingle: p.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX; break;
    case bsToolWindow: p.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU; p.ExStyle |= WS_EX_TOOLWINDOW; break;
    default: p.Style = WS_OVERLAPPEDWINDOW; break;
  }
  p.Style |= WS_CLIPCHILDREN;
  if (RightToLeft_) p.ExStyle |= WS_EX_LAYOUTRTL;
  // Made where it will show and with its owner: under Wine each later move of a top-level
  // window is a round trip to the X server as well.
  if (auto* owner = dynamic_cast<TKyCustomForm*>(Owner()); owner && owner->Handle()) p.Owner = owner->Handle();
  p.HasRect = true;
  p.Rect = WindowRectFor(p.Style, p.ExStyle);
}

void TKyCustomForm::PlaceWindow() {
  RECT r = WindowRectFor(static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)),
                         static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
  RECT now;
  if (GetWindowRect(Handle(), &now) && EqualRect(&now, &r)) return;
  SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TKyCustomForm::WindowRectFor(DWORD style, DWORD exStyle) const {
  RECT r{0, 0, ClientWidth_, ClientHeight_};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  int w = r.right - r.left, h = r.bottom - r.top;
  int x = Left(), y = Top();
  RECT area;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  HWND center = nullptr;
  if (Position_ == poOwnerFormCenter || Position_ == poMainFormCenter) {
    TKyCustomForm* ref = Position_ == poMainFormCenter ? Application.MainForm : dynamic_cast<TKyCustomForm*>(Owner());
    if (ref && ref != this && ref->Handle() && IsWindowVisible(ref->Handle())) center = ref->Handle();
  }
  if (center) {
    RECT o;
    GetWindowRect(center, &o);
    x = o.left + ((o.right - o.left) - w) / 2;
    y = o.top + ((o.bottom - o.top) - h) / 2;
  } else if (Position_ != poDesigned && Position_ != poDefault) {
    x = area.left + ((area.right - area.left) - w) / 2;
    y = area.top + ((area.bottom - area.top) - h) / 2;
  }
  return RECT{x, y, x + w, y + h};
}

TButton* TKyCustomForm::DefaultButton() const {
  return FindButton(const_cast<TKyCustomForm*>(this), [](TButton* b) { return b->Default() && b->CanFocus(); });
}

TButton* TKyCustomForm::CancelButton() const {
  return FindButton(const_cast<TKyCustomForm*>(this), [](TButton* b) { return b->Cancel() && b->CanFocus(); });
}

void TKyCustomForm::Show() {
  if (!Handle()) CreateHandle();
  PlaceWindow();
  SetVisible(true);
  if (!Shown_) {
    // The show event runs before the window appears, so a form that closes itself there
    // (a refused start) never shows.
    Shown_ = true;
    ClosedWhileShowing_ = false;
    DoShow();
    if (ClosedWhileShowing_ || !Handle()) return;
  }
  ShowWindow(Handle(), SW_SHOW);
  // The activation set the focus; not so when the form did not become the active window.
  if (HWND f = GetFocus(); !f || !IsChild(Handle(), f))
    if (HWND target = FocusTarget()) ::SetFocus(target);
}

HWND TKyCustomForm::FocusTarget() const {
  HWND before = FocusBeforeDeactivation_;
  if (before && IsWindow(before) && IsChild(Handle(), before) && IsWindowVisible(before) && IsWindowEnabled(before))
    return before;
  if (ActiveControl_ && ActiveControl_->CanFocus()) return ActiveControl_->Handle();
  return GetNextDlgTabItem(Handle(), nullptr, FALSE);
}

int TKyCustomForm::ShowModal() {
  HWND owner = GetWindow(Handle(), GW_OWNER);
  if (!owner) owner = GetActiveWindow();
  if (owner == Handle()) owner = nullptr;
  bool ownerEnabled = owner && IsWindowEnabled(owner);
  Modal_ = true;
  ModalResult_ = 0;
  Show();
  if (ownerEnabled) EnableWindow(owner, FALSE);
  MSG msg;
  while (ModalResult_ == 0 && Handle()) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) {
      if (r == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      ModalResult_ = mrCancel;
      break;
    }
    if (msg.message == WM_SYSCHAR && HandleMnemonic(static_cast<wchar_t>(msg.wParam))) continue;
    if (!IsDialogMessageW(Handle(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (ModalResult_ != 0) {
      bool can = true;
      Guarded([&] { can = CloseQuery(); });
      if (!can) ModalResult_ = 0;
    }
  }
  if (ownerEnabled) EnableWindow(owner, TRUE);
  if (owner) SetActiveWindow(owner);
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
  SetVisible(false);
  Modal_ = false;
  return ModalResult_;
}

namespace {
// The character after a single '&' in a caption, 0 when there is none.
wchar_t MnemonicOf(const String& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != u'&') continue;
    if (caption[i + 1] == u'&') {
      ++i;
      continue;
    }
    return static_cast<wchar_t>(caption[i + 1]);
  }
  return 0;
}

bool FindMnemonic(TControl* c, wchar_t want, TControl*& found) {
  for (int i = 0; i < c->ControlCount(); ++i) {
    TControl* k = c->Controls(i);
    if (!k->Showing() || !k->Enabled()) continue;
    if ((dynamic_cast<TLabel*>(k) || dynamic_cast<TButton*>(k) || dynamic_cast<TCheckBox*>(k)) &&
        UpCaseChar(static_cast<Char>(MnemonicOf(k->Caption()))) == UpCaseChar(static_cast<Char>(want))) {
      found = k;
      return true;
    }
    if (FindMnemonic(k, want, found)) return true;
  }
  return false;
}
}  // namespace

bool TKyCustomForm::HandleMnemonic(wchar_t ch) {
  TControl* c = nullptr;
  if (!ch || !FindMnemonic(this, ch, c)) return false;
  if (auto* label = dynamic_cast<TLabel*>(c)) {
    TControl* target = label->FocusControl();
    if (target && target->CanFocus()) {
      target->SetFocus();
    } else if (HWND next = GetNextDlgTabItem(Handle(), label->Handle(), FALSE)) {
      ::SetFocus(next);
    }
  } else {
    c->SetFocus();
    c->Click();
  }
  return true;
}

bool TKyCustomForm::CloseQuery() {
  bool can = true;
  if (OnCloseQuery) OnCloseQuery(this, can);
  return can;
}

void TKyCustomForm::Close() {
  if (Modal_) {
    if (ModalResult_ == 0) ModalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  ClosedWhileShowing_ = true;
  if (Handle()) ShowWindow(Handle(), SW_HIDE);
  SetVisible(false);
  if (Application.MainForm == this) {
    Application.Terminated = true;
    PostQuitMessage(0);
  }
}

namespace {
BOOL CALLBACK CollectWindow(HWND h, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
  return TRUE;
}
}  // namespace

void TKyCustomForm::MirrorLayout(bool rightToLeft) {
  RightToLeft_ = rightToLeft;
  if (!Handle()) return;
  auto mirrored = [](HWND h) { return (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; };
  if (mirrored(Handle()) == rightToLeft) return;
  // Every window below the form, parents before their children, with its place in its
  // parent as the parent's layout counts it; after the switch each is put there again.
  std::vector<HWND> windows;
  EnumChildWindows(Handle(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  std::vector<RECT> places(windows.size());
  for (size_t i = 0; i < windows.size(); ++i) {
    GetWindowRect(windows[i], &places[i]);
    MapWindowPoints(nullptr, GetParent(windows[i]), reinterpret_cast<POINT*>(&places[i]), 2);
    // Mapping into a mirrored parent swaps the edges.
    if (places[i].left > places[i].right) std::swap(places[i].left, places[i].right);
  }
  // The layout mirrors the places; the reading order makes paragraphs run from the right.
  // Edits hold paths, names and passwords that read left to right: they take their mirrored
  // place but keep their own layout (a mirrored edit garbles a path under Wine).
  // Nothing paints until every window is in its new place; then the whole form at once.
  // (Only while shown: turning redraw back on shows a hidden window.)
  bool shown = IsWindowVisible(Handle()) != FALSE;
  if (shown) SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  MirrorWindow(Handle(), rightToLeft);
  for (HWND h : windows) MirrorWindow(h, rightToLeft);
  for (size_t i = 0; i < windows.size(); ++i) {
    const RECT& r = places[i];
    SetWindowPos(windows[i], nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
  }
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  if (shown) SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

bool TKyCustomForm::WndProc(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      result = 0;
      return true;
    case WM_ACTIVATE:
      // As a dialog: the focus goes back to the control that had it (at the first activation
      // to the active or first control), not to the form's own window.
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND f = GetFocus();
        FocusBeforeDeactivation_ = f && IsChild(Handle(), f) ? f : nullptr;
      } else if (!HIWORD(wp)) {
        if (HWND f = FocusTarget()) {
          ::SetFocus(f);
          result = 0;
          return true;
        }
      }
      break;
    case DM_GETDEFID: {
      TButton* b = dynamic_cast<TButton*>(TControl::FromHandle(GetFocus()));
      if (!b) b = DefaultButton();
      result = b ? MAKELRESULT(b->ControlId(), DC_HASDEFID) : 0;
      return true;
    }
    case WM_COMMAND: {
      int id = LOWORD(wp);
      TButton* b = nullptr;
      if (id == IDOK) b = DefaultButton();
      else if (id == IDCANCEL) b = CancelButton();
      else b = dynamic_cast<TButton*>(FindById(this, id));
      if (b && b->Enabled()) b->Click();
      result = 0;
      return true;
    }
  }
  return TControl::WndProc(msg, wp, lp, result);
}

LRESULT CALLBACK TKyCustomForm::FormProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  return TWinContainer::ContainerProc(h, msg, wp, lp);
}

// ---- TKyForm ----------------------------------------------------------------------

TKyForm::TKyForm(TKyComponent* owner) : TKyCustomForm(owner) {
  SavedHint_ = std::move(Application.OnHint);
  Application.OnHint = nullptr;
  RegisterHandler(u"FormCreate", TNotifyEvent([this](TKyComponent* s) { FormCreate(s); }));
  RegisterHandler(u"FormShow", TNotifyEvent([this](TKyComponent* s) { FormShow(s); }));
}

TKyForm::~TKyForm() { Application.OnHint = std::move(SavedHint_); }

const TClassInfo& TKyForm::StaticClassInfo() {
  static const TClassInfo info(u"TKyForm", &TKyCustomForm::StaticClassInfo(), {});
  return info;
}

void TKyForm::Loaded() {
  TKyCustomForm::Loaded();
  Font()->SetName(GetDialogFontName());
}

void TKyForm::FormCreate(TKyComponent*) {
  if (RightToLeftLayoutTest && RightToLeftLayoutTest()) MirrorLayout(true);
}

String TKyForm::GetHelpTopic() { return HelpTopic.empty() ? Name() : HelpTopic; }

void TKyForm::FormShow(TKyComponent*) {
  UpdateControls();
  HelpKeyword = GetHelpTopic();
}

int GetControlSpacing() {
  HDC dc = GetDC(nullptr);
  int ppi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return ControlSpacingFor(ppi);
}

void SetShellOpenHook(std::function<bool(const String&, const String&, int)> hook) { ShellOpenHook = std::move(hook); }

bool ShellOpen(const String& target, const String& verb, int show) {
  if (ShellOpenHook) return ShellOpenHook(target, verb, show);
  NeedCom();  // verbs and targets that the shell hands to COM objects
  auto r = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, W(verb), W(target), nullptr, nullptr, show));
  return r > 32;
}
