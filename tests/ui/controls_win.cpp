// Windows: forms built from their resources, controls, modal showing and the small dialogs.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <vector>

#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/ui/win/setupdialogs.h"

namespace {

String NameOf(HWND h) {
  auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(h, L"KyName")));
  wchar_t buf[256] = {};
  if (!atom || !GlobalGetAtomNameW(atom, buf, 256)) return String();
  return String(buf, buf + wcslen(buf));
}

RECT ClientRect(HWND h) {
  RECT r;
  GetClientRect(h, &r);
  return r;
}

RECT ChildRect(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  MapWindowPoints(nullptr, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

template <class T>
T* Find(TKyComponent& form, const char16_t* name) {
  auto* c = dynamic_cast<T*>(form.FindComponent(name));
  EXPECT_NE(c, nullptr) << StringToUtf8(name);
  return c;
}

// Posts a key to the form so that the modal loop meets it first.
void PostKey(TKyCustomForm& f, WPARAM key) {
  PostMessageW(f.Handle(), WM_KEYDOWN, key, 0);
  PostMessageW(f.Handle(), WM_KEYUP, key, 0);
}

TEST(Dialogs, ExitDialogIsBuiltFromItsResourcesAndAncestors) {
  auto d = NewForm<TExitSetupDialog>(nullptr);
  EXPECT_EQ(d->Name(), u"ExitSetupDialog");
  EXPECT_EQ(d->Caption(), u"Exit Setup");
  RECT c = ClientRect(d->Handle());
  EXPECT_EQ(c.right, 377);
  EXPECT_EQ(c.bottom, 145);
  EXPECT_EQ(d->BorderStyle(), bsDialog);                 // from TSetupDialog
  EXPECT_EQ(d->Font()->Height(), -11);                    // from TKyForm
  EXPECT_EQ(d->Font()->Name(), u"MS Shell Dlg 2");
  auto* resume = Find<TButton>(*d, u"ResumeButton");
  auto* exitb = Find<TButton>(*d, u"ExitButton");
  ASSERT_TRUE(resume && exitb);
  EXPECT_TRUE(resume->Default() && resume->Cancel());
  EXPECT_EQ(resume->ModalResult(), mrCancel);
  EXPECT_EQ(exitb->ModalResult(), mrOk);
  RECT r = ChildRect(exitb->Handle());
  EXPECT_EQ(r.left, 192);
  EXPECT_EQ(r.top, 112);
  EXPECT_EQ(r.right - r.left, 121);
  EXPECT_EQ(r.bottom - r.top, 25);
  EXPECT_EQ(NameOf(exitb->Handle()), u"ExitButton");
  EXPECT_EQ(NameOf(d->Handle()), u"ExitSetupDialog");
  auto* l3 = Find<TLabel>(*d, u"Label3");
  ASSERT_TRUE(l3);
  EXPECT_EQ(l3->Caption(), u"To continue installing the program, click Resume. To quit the Setup program, click Exit Setup.");
  EXPECT_EQ(d->GetHelpTopic(), u"ExitSetupDialog");
  d->HelpTopic = u"exit";
  EXPECT_EQ(d->GetHelpTopic(), u"exit");
}

TEST(Dialogs, EnterAndEscapeResumeInTheExitDialog) {
  for (WPARAM key : {static_cast<WPARAM>(VK_RETURN), static_cast<WPARAM>(VK_ESCAPE)}) {
    auto d = NewForm<TExitSetupDialog>(nullptr);
    d->Show();
    PostKey(*d, key);
    EXPECT_EQ(d->ShowModal(), mrCancel) << key;
  }
  auto d = NewForm<TExitSetupDialog>(nullptr);
  d->Show();
  PostMessageW(Find<TButton>(*d, u"ExitButton")->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(d->ShowModal(), mrOk);
}

TEST(Dialogs, PasswordDialogGivesTheTextOnOkAndNothingOnCancel) {
  {
    auto d = NewForm<TPasswordDialog>(nullptr);
    EXPECT_EQ(d->Edit()->PasswordChar(), u'*');
    EXPECT_EQ(GetWindowLongPtrW(d->Edit()->Handle(), GWL_STYLE) & ES_PASSWORD, ES_PASSWORD);
    d->Edit()->SetText(u"s3cret");
    d->Show();
    EXPECT_EQ(GetFocus(), d->Edit()->Handle());  // ActiveControl
    PostKey(*d, VK_RETURN);
    EXPECT_EQ(d->ShowModal(), mrOk);
    EXPECT_EQ(d->Edit()->Text(), u"s3cret");
  }
  {
    auto d = NewForm<TPasswordDialog>(nullptr);
    d->Edit()->SetText(u"typed");
    d->Show();
    PostKey(*d, VK_ESCAPE);
    EXPECT_EQ(d->ShowModal(), mrCancel);
  }
}

TEST(Dialogs, FolderDialogReturnsADriveRootWithoutItsBackslash) {
  auto d = NewForm<TSelectDirectoryDialog>(nullptr);
  ASSERT_TRUE(d->Tree());
  EXPECT_EQ(d->Tree()->Font()->Name(), u"Segoe UI");
  EXPECT_EQ(d->Tree()->Font()->Height(), -12);
  EXPECT_EQ(SendMessageW(d->Tree()->Handle(), TVM_GETINDENT, 0, 0), 19);
  d->SetFolder(u"C:\\");
  EXPECT_EQ(d->GetFolder(), u"C:");
  wchar_t win[MAX_PATH];
  GetWindowsDirectoryW(win, MAX_PATH);
  String windows(win, win + wcslen(win));
  d->SetFolder(windows);
  EXPECT_TRUE(SameText(d->GetFolder(), windows)) << StringToUtf8(d->GetFolder());
  // A folder that does not exist leaves the selection where it was.
  d->SetFolder(u"C:\\no such folder\\below");
  EXPECT_TRUE(SameText(d->GetFolder(), windows));
}

class TTestForm : public TKyForm {
 public:
  explicit TTestForm(TKyComponent* owner) : TKyForm(owner) {}
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TTestForm", &TKyForm::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void UpdateControls() override { ++Updates; }
  int Updates = 0;
};

TEST(Controls, CheckBoxClickRunsAlsoForProgramChanges) {
  TTestForm f(nullptr);
  f.Initialize();
  auto* cb = new TCheckBox(&f);
  cb->SetBounds(8, 8, 100, 20);
  cb->SetParent(&f);
  int clicks = 0;
  cb->OnClick = [&](TKyComponent*) { ++clicks; };
  cb->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(SendMessageW(cb->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  cb->SetChecked(true);  // no change, no click
  EXPECT_EQ(clicks, 1);
  f.Show();
  PumpMessages(false);
  PostMessageW(cb->Handle(), BM_CLICK, 0, 0);  // as the user clicks
  PumpMessages(false);
  EXPECT_FALSE(cb->Checked());
  EXPECT_EQ(clicks, 2);
}

// A hidden control has no window until it is first shown; the window then takes the state
// set meanwhile and its place in the window order, which is the Tab order.
TEST(Controls, AHiddenControlGetsItsWindowInItsPlaceWhenShown) {
  TTestForm f(nullptr);
  f.Initialize();
  auto add = [&](TControl* c, int top, bool visible) {
    c->SetBounds(8, top, 100, 20);
    c->SetVisible(visible);
    c->SetParent(&f);
    return c;
  };
  auto* first = add(new TButton(&f), 8, true);
  auto* hidden = static_cast<TCheckBox*>(add(new TCheckBox(&f), 32, false));
  auto* last = add(new TButton(&f), 56, true);
  EXPECT_EQ(hidden->Handle(), nullptr);
  hidden->SetChecked(true);
  hidden->SetCaption(u"Later");
  f.Show();
  PumpMessages(false);
  EXPECT_EQ(GetNextDlgTabItem(f.Handle(), first->Handle(), FALSE), last->Handle());
  hidden->SetVisible(true);
  ASSERT_NE(hidden->Handle(), nullptr);
  EXPECT_TRUE(IsWindowVisible(hidden->Handle()));
  EXPECT_EQ(SendMessageW(hidden->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  wchar_t text[16] = {};
  GetWindowTextW(hidden->Handle(), text, 16);
  EXPECT_STREQ(text, L"Later");
  EXPECT_EQ(GetWindow(first->Handle(), GW_HWNDNEXT), hidden->Handle());
  EXPECT_EQ(GetNextDlgTabItem(f.Handle(), first->Handle(), FALSE), hidden->Handle());
  EXPECT_EQ(GetNextDlgTabItem(f.Handle(), hidden->Handle(), FALSE), last->Handle());
  hidden->SetVisible(false);  // hidden again: the window stays, hidden
  EXPECT_FALSE(IsWindowVisible(hidden->Handle()));
}

TEST(Controls, CheckListBoxKeepsChecksPerItemAndHonoursDisabledOnes) {
  TTestForm f(nullptr);
  f.Initialize();
  auto* list = new TCheckListBox(&f);
  list->SetBounds(0, 0, 200, 100);
  list->Items()->Add(u"b");
  list->Items()->Add(u"c");
  list->SetParent(&f);
  list->Items()->Add(u"a");
  list->SetChecked(0, true);
  list->SetItemEnabled(1, false);
  EXPECT_EQ(list->Items()->Count(), 3);
  list->ToggleItem(1);
  EXPECT_FALSE(list->Checked(1));  // its check box is disabled
  list->ToggleItem(2);
  EXPECT_TRUE(list->Checked(2));
  EXPECT_TRUE(list->Checked(0));
  int drawn = 0;
  list->OnDrawItem = [&](TKyComponent*, int, HDC, RECT, TDrawItemState) { ++drawn; };
  f.Show();
  PumpMessages(false);
  UpdateWindow(list->Handle());
  PumpMessages(false);
  EXPECT_GT(drawn, 0);
  // Keeping the selection while an item's text is replaced.
  list->SetItemIndex(2);
  list->Items()->Put(2, u"A");
  EXPECT_EQ(list->ItemIndex(), 2);
  EXPECT_EQ(list->Items()->Get(2), u"A");

  auto* sorted = new TCheckListBox(&f);
  sorted->SetSorted(true);
  for (const char16_t* s : {u"pear", u"Apple", u"fig"}) sorted->Items()->Add(s);
  sorted->SetChecked(1, true);  // fig
  sorted->SetParent(&f);
  EXPECT_EQ(sorted->Items()->ToVector(), (std::vector<String>{u"Apple", u"fig", u"pear"}));
  EXPECT_TRUE(sorted->Checked(1));
}

TEST(Controls, EscapingExceptionsReachTheGeneralHandler) {
  TTestForm f(nullptr);
  f.Initialize();
  auto* b = new TButton(&f);
  b->SetBounds(8, 8, 75, 25);
  b->SetParent(&f);
  b->OnClick = [](TKyComponent*) { throw EKyException(u"handler failed"); };
  f.Show();
  PumpMessages(false);
  std::vector<String> shown;
  Application.OnException = [&](const String& m) { shown.push_back(m); };
  PostMessageW(b->Handle(), BM_CLICK, 0, 0);
  PumpMessages(false);
  Application.OnException = nullptr;
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], u"handler failed");
  EXPECT_TRUE(IsWindow(b->Handle()));  // the program goes on
}

TEST(Controls, FormHooksAndTheHintHandler) {
  int hints = 0;
  Application.OnHint = [&](TKyComponent*) { ++hints; };
  {
    TTestForm f(nullptr);
    EXPECT_FALSE(Application.OnHint);  // cleared while the form exists
    f.Initialize();
    f.Show();
  PumpMessages(false);
    EXPECT_EQ(f.Updates, 1);  // FormShow ran UpdateControls
    EXPECT_EQ(f.HelpKeyword, u"TestForm");
    EXPECT_EQ(f.Caption(), u"Test form");
  }
  ASSERT_TRUE(Application.OnHint);
  Application.OnHint(nullptr);
  EXPECT_EQ(hints, 1);
  Application.OnHint = nullptr;
}

TEST(Controls, FileEditAsksTheShellForCompletion) {
  TTestForm f(nullptr);
  f.Initialize();
  auto* e = new TKyFileEdit(&f);
  e->SetParent(&f);
  if (!GetProcAddress(LoadLibraryW(L"shlwapi.dll"), "SHAutoComplete")) GTEST_SKIP();
  EXPECT_EQ(e->AutoCompleteFlags(), static_cast<int>(SHACF_FILESYSTEM | SHACF_USETAB));
  e->SetAutoComplete(false);
  EXPECT_EQ(e->AutoCompleteFlags(), static_cast<int>(SHACF_AUTOSUGGEST_FORCE_OFF | SHACF_AUTOAPPEND_FORCE_OFF));
}

TEST(Controls, ShellOpenReportsTheShellsAnswer) {
  String seen;
  SetShellOpenHook([&](const String& t, const String& v, int show) {
    seen = v + u" " + t;
    return show == SW_SHOW;
  });
  EXPECT_TRUE(ShellOpen(u"http://example.test", u"open", SW_SHOW));
  EXPECT_EQ(seen, u"open http://example.test");
  SetShellOpenHook(nullptr);
  EXPECT_FALSE(ShellOpen(u"C:\\no such file.xyz", u"open", SW_SHOW));
}

}  // namespace

namespace {
TEST(Controls, FontDataComesFromTheHandleOrTheDefaultFont) {
  TFont f;
  f.SetName(u"Arial");
  f.SetHeight(-13);
  f.SetStyle(fsBold | fsItalic);
  TFontData d;
  GetFontData(f.Handle(), d);
  EXPECT_EQ(d.Name, u"Arial");
  EXPECT_EQ(d.Height, -13);
  EXPECT_EQ(d.Style, static_cast<std::uint32_t>(fsBold | fsItalic));
  EXPECT_EQ(d.Handle, f.Handle());
  TFontData none;
  GetFontData(nullptr, none);
  EXPECT_EQ(none.Name, DefaultFontData().Name);
  EXPECT_FALSE(none.Name.empty());
  TFontDesc desc = f.Desc();
  TFont g;
  g.AssignDesc(desc);
  EXPECT_EQ(g.Name(), u"Arial");
  EXPECT_EQ(g.Style(), f.Style());
}
}  // namespace

namespace {
class TTestPages : public TKyForm {
 public:
  explicit TTestPages(TKyComponent* owner) : TKyForm(owner) {}
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TTestPages", &TKyForm::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

TEST(Controls, NestedControlsComeFromTheResourceWithTheirState) {
  auto f = NewForm<TTestPages>(nullptr);
  auto* pages = Find<TPageControl>(*f, u"PageControl");
  auto* second = Find<TTabSheet>(*f, u"SecondSheet");
  auto* inner = Find<TCheckBox>(*f, u"Inner");
  ASSERT_TRUE(pages && second && inner);
  EXPECT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->ActivePageIndex(), 0);
  f->Show();
  PumpMessages(false);
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  // The second page's controls get their windows when it is first shown, with their state.
  EXPECT_FALSE(inner->HandleAllocated());
  EXPECT_TRUE(inner->Checked());
  pages->SetActivePage(second);
  EXPECT_TRUE(IsWindowVisible(second->Handle()));
  EXPECT_FALSE(IsWindowVisible(Find<TTabSheet>(*f, u"FirstSheet")->Handle()));
  EXPECT_EQ(GetParent(inner->Handle()), Find<TGroupBox>(*f, u"Box")->Handle());
  EXPECT_EQ(SendMessageW(inner->Handle(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(IsWindowVisible(inner->Handle()));

  auto* label = Find<TLabel>(*f, u"NameLabel");
  EXPECT_EQ(label->Font()->Style(), static_cast<std::uint32_t>(fsUnderline));
  EXPECT_EQ(label->Font()->Name(), u"MS Shell Dlg 2");  // the rest still from the form
  EXPECT_GT(label->Width(), 0);                          // sized to its text
  auto* edit = Find<TKyFileEdit>(*f, u"NameEdit");
  EXPECT_EQ(edit->Text(), u"C:\\");
  EXPECT_FALSE(edit->AutoComplete());
  auto* choice = Find<TRadioGroup>(*f, u"Choice");
  EXPECT_EQ(choice->ItemIndex(), 1);
  EXPECT_EQ(choice->Items()->Count(), 2);
  auto* combo = Find<TComboBox>(*f, u"Combo");
  EXPECT_EQ(combo->Items()->Count(), 3);
  EXPECT_EQ(combo->ItemIndex(), 2);
  auto* memo = Find<TMemo>(*f, u"Memo");
  EXPECT_EQ(memo->Lines()->ToVector(), (std::vector<String>{u"line 1", u"line 2"}));
  LONG_PTR ms = GetWindowLongPtrW(memo->Handle(), GWL_STYLE);
  EXPECT_TRUE((ms & WS_VSCROLL) && (ms & ES_READONLY) && (ms & ES_MULTILINE));
  auto* progress = Find<TProgressBar>(*f, u"Progress");
  EXPECT_EQ(SendMessageW(progress->Handle(), PBM_GETPOS, 0, 0), 20);
  EXPECT_EQ(SendMessageW(progress->Handle(), PBM_GETRANGE, FALSE, 0), 50);
  // Enter on the form presses the default button.
  PostMessageW(f->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(f->ShowModal(), mrOk);
}
}  // namespace

namespace {
// A line and a picture have no windows: the form paints them, hides them and passes them the
// clicks on their place; a group box is one window that routes its controls' notifications.
TEST(Controls, GraphicControlsLiveInTheirParentAndGroupBoxesRouteTheirControls) {
  auto f = NewForm<TTestPages>(nullptr);
  auto* bevel = Find<TBevel>(*f, u"Bevel");
  auto* image = new TImage(f.get());
  image->SetBounds(200, 250, 40, 10);
  image->SetParent(f.get());
  int clicks = 0;
  image->OnClick = [&](TKyComponent*) { ++clicks; };
  f->Show();
  PumpMessages(false);
  EXPECT_FALSE(bevel->HandleAllocated() || image->HandleAllocated());
  auto pixel = [&](int x, int y) {
    HDC dc = GetDC(f->Handle());
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(f->Handle(), dc);
    return c;
  };
  // An etched line: shadow above highlight, where the form resource puts it.
  EXPECT_EQ(pixel(100, 256), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(pixel(100, 257), GetSysColor(COLOR_BTNHIGHLIGHT));
  bevel->SetVisible(false);
  PumpMessages(false);
  EXPECT_EQ(pixel(100, 256), GetSysColor(COLOR_BTNFACE));

  auto mouse = [&](UINT msg, int x, int y) { SendMessageW(f->Handle(), msg, 0, MAKELPARAM(x, y)); };
  mouse(WM_LBUTTONDOWN, 210, 255);
  mouse(WM_LBUTTONDBLCLK, 210, 255);  // the second click of a double click is no click
  mouse(WM_LBUTTONDOWN, 250, 255);    // beside it
  EXPECT_EQ(clicks, 1);
  image->SetVisible(false);
  mouse(WM_LBUTTONDOWN, 210, 255);
  EXPECT_EQ(clicks, 1);

  Find<TPageControl>(*f, u"PageControl")->SetActivePageIndex(1);
  auto* box = Find<TGroupBox>(*f, u"Box");
  auto* inner = Find<TCheckBox>(*f, u"Inner");
  wchar_t cls[16] = {}, text[16] = {};
  GetClassNameW(box->Handle(), cls, 16);
  GetWindowTextW(box->Handle(), text, 16);
  EXPECT_EQ(_wcsicmp(cls, L"Button"), 0);
  EXPECT_STREQ(text, L"Group");
  EXPECT_EQ(GetWindow(box->Handle(), GW_CHILD), inner->Handle());  // no frame window beside
  int innerClicks = 0;
  inner->OnClick = [&](TKyComponent*) { ++innerClicks; };
  SendMessageW(inner->Handle(), BM_CLICK, 0, 0);
  EXPECT_EQ(innerClicks, 1);
  EXPECT_FALSE(inner->Checked());
}

TEST(Controls, MnemonicOfALabelFocusesTheControlAfterIt) {
  auto d = NewForm<TPasswordDialog>(nullptr);
  d->Show();
  HWND ok = Find<TButton>(*d, u"OkButton")->Handle();
  SetFocus(ok);
  ASSERT_EQ(GetFocus(), ok);
  EXPECT_FALSE(d->HandleMnemonic(L'x'));
  EXPECT_EQ(GetFocus(), ok);
  EXPECT_TRUE(d->HandleMnemonic(L'e'));  // "&Enter the password:"
  EXPECT_EQ(GetFocus(), d->Edit()->Handle());
  // Tab moves on in the order of the form resource.
  MSG tab{d->Edit()->Handle(), WM_KEYDOWN, VK_TAB, 0};
  IsDialogMessageW(d->Handle(), &tab);
  EXPECT_EQ(GetFocus(), ok);
}
// Mirroring a form for a right-to-left language: every window but edits, places from the
// other edge, a hidden form stays hidden, and the way back restores every rectangle.
TEST(FormMirror, MirrorsEveryWindowAndComesBackExactly) {
  auto d = NewForm<TPasswordDialog>(nullptr);
  auto places = [&] {
    std::vector<RECT> r;
    EnumChildWindows(d->Handle(), [](HWND h, LPARAM lp) -> BOOL {
      RECT w;
      GetWindowRect(h, &w);
      reinterpret_cast<std::vector<RECT>*>(lp)->push_back(w);
      return TRUE;
    }, reinterpret_cast<LPARAM>(&r));
    return r;
  };
  auto before = places();
  auto rtl = [](HWND h) { return (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0; };
  d->MirrorLayout(true);
  d->MirrorLayout(true);  // twice is once
  EXPECT_FALSE(IsWindowVisible(d->Handle()));
  EXPECT_TRUE(rtl(d->Handle()));
  HWND ok = d->FindComponent(u"OkButton") ? static_cast<TControl*>(d->FindComponent(u"OkButton"))->Handle() : nullptr;
  HWND edit = static_cast<TControl*>(d->FindComponent(u"Edit"))->Handle();
  EXPECT_TRUE(rtl(ok));
  EXPECT_FALSE(rtl(edit));
  RECT client, button;
  GetClientRect(d->Handle(), &client);
  MapWindowPoints(d->Handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  GetWindowRect(ok, &button);
  EXPECT_EQ(std::max(client.left, client.right) - button.right, 56);  // Left = 56, from the right
  EXPECT_EQ(ChildRect(ok).left, 56);                                   // as the mirrored parent counts
  d->MirrorLayout(false);
  EXPECT_FALSE(rtl(d->Handle()));
  EXPECT_FALSE(rtl(ok));
  auto after = places();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(EqualRect(&after[i], &before[i])) << i;
}

// A page first shown after its form was mirrored has the windows, styles and places of a
// page that was mirrored with the form.
TEST(FormMirror, APageShownLaterIsMirroredAsItsForm) {
  auto early = NewForm<TTestPages>(nullptr);
  auto late = NewForm<TTestPages>(nullptr);
  Find<TPageControl>(*early, u"PageControl")->SetActivePageIndex(1);
  Find<TPageControl>(*early, u"PageControl")->SetActivePageIndex(0);
  early->MirrorLayout(true);
  late->MirrorLayout(true);
  ASSERT_FALSE(Find<TCheckBox>(*late, u"Inner")->HandleAllocated());
  for (TKyForm* f : {early.get(), late.get()}) Find<TPageControl>(*f, u"PageControl")->SetActivePageIndex(1);
  struct TWindow {
    std::wstring Class;
    LONG_PTR Bits;
    RECT Place;  // in the page, screen pixels
  };
  auto windows = [](TKyForm& f) {
    HWND page = Find<TTabSheet>(f, u"SecondSheet")->Handle();
    std::pair<HWND, std::vector<TWindow>> out{page, {}};
    EnumChildWindows(page, [](HWND h, LPARAM lp) -> BOOL {
      auto& o = *reinterpret_cast<std::pair<HWND, std::vector<TWindow>>*>(lp);
      wchar_t cls[32];
      GetClassNameW(h, cls, 32);
      RECT r, p;
      GetWindowRect(h, &r);
      GetWindowRect(o.first, &p);
      OffsetRect(&r, -p.left, -p.top);
      o.second.push_back({cls, GetWindowLongPtrW(h, GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING), r});
      return TRUE;
    }, reinterpret_cast<LPARAM>(&out));
    return out.second;
  };
  auto a = windows(*early), b = windows(*late);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GE(a.size(), 4u);  // memo, progress bar, group box, check box
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].Class, b[i].Class) << i;
    EXPECT_EQ(a[i].Bits, b[i].Bits) << i;
    EXPECT_TRUE(EqualRect(&a[i].Place, &b[i].Place)) << i;
    EXPECT_EQ(b[i].Bits, _wcsicmp(b[i].Class.c_str(), L"Edit") == 0 ? 0 : WS_EX_LAYOUTRTL | WS_EX_RTLREADING) << i;
  }
}

}  // namespace
