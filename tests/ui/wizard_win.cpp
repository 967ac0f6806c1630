// The wizard engine on a real form: page moves, history, buttons, events and errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/ui/kyformtext.h"
#include "lib/ui/win/kywizard.h"

namespace {

class TWizTestForm : public TKyForm {
 public:
  explicit TWizTestForm(TKyComponent* owner) : TKyForm(owner) {}
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info(u"TWizTestForm", &TKyForm::StaticClassInfo(), {});
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

std::string PageText(int i, const char* caption) {
  std::string n = std::to_string(i);
  return "    object Page" + n + ": TTabSheet\n      Caption = '" + caption +
         "'\n      object EditB" + n + ": TEdit\n        Left = 8\n        Top = 40\n        Width = 100\n"
         "        Height = 21\n        TabOrder = 1\n      end\n      object EditA" + n +
         ": TEdit\n        Left = 8\n        Top = 8\n        Width = 100\n        Height = 21\n"
         "        TabOrder = 0\n      end\n    end\n";
}

std::string WizardFormText() {
  std::string pages;
  const char* captions[] = {"Welcome", "Licence", "Folders", "Install", "Finish"};
  for (int i = 0; i < 5; ++i) pages += PageText(i, captions[i]);
  return "object WizForm: TWizTestForm\n  Caption = 'x'\n  ClientWidth = 400\n  ClientHeight = 300\n"
         "  object Pages: TPageControl\n    Left = 0\n    Top = 0\n    Width = 400\n    Height = 250\n" +
         pages +
         "  end\n"
         "  object BackButton: TButton\n    Left = 150\n    Top = 260\n    Width = 75\n    Height = 25\n"
         "    TabOrder = 1\n  end\n"
         "  object NextButton: TButton\n    Left = 230\n    Top = 260\n    Width = 75\n    Height = 25\n"
         "    TabOrder = 2\n  end\n"
         "  object Wizard: TKyWizard\n    PageControl = Pages\n    BackButton = BackButton\n"
         "    NextButton = NextButton\n    Caption = 'Setup - %s'\n"
         "    OnValidatePage = WizardValidatePage\n    OnBeforeNext = WizardBeforeNext\n"
         "    OnNext = WizardNext\n    OnAfterNext = WizardAfterNext\n    OnBeforeBack = WizardBeforeBack\n"
         "    OnAfterBack = WizardAfterBack\n    OnPageChange = WizardPageChange\n    OnFinish = WizardFinish\n"
         "  end\n"
         "end\n";
}

// A form whose wizard records every event and answers from the fixture's settings.
class Wizard : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = std::make_unique<TWizTestForm>(nullptr);
    auto add = [&](const char16_t* name, auto fn) { Form->RegisterHandler(name, fn); };
    add(u"WizardValidatePage", TKyWizardValidateEvent([this](TKyComponent*, int page, bool& valid) {
          Log.push_back("validate " + std::to_string(page));
          valid = Valid;
        }));
    add(u"WizardBeforeNext", TKyWizardValidateEvent([this](TKyComponent*, int page, bool& valid) {
          Log.push_back("beforenext " + std::to_string(page));
          valid = MayLeave;
        }));
    add(u"WizardNext", TKyWizardNextEvent([this](TKyComponent*, int page, int& next) {
          Log.push_back("next " + std::to_string(page));
          if (NextOverride != -100) next = NextOverride;
        }));
    add(u"WizardAfterNext", TNotifyEvent([this](TKyComponent*) {
          Log.push_back("afternext");
          if (AfterNext) AfterNext();
        }));
    add(u"WizardBeforeBack", TKyWizardValidateEvent([this](TKyComponent*, int page, bool& valid) {
          Log.push_back("beforeback " + std::to_string(page));
        }));
    add(u"WizardAfterBack", TNotifyEvent([this](TKyComponent*) { Log.push_back("afterback"); }));
    add(u"WizardPageChange", TKyWizardChangeEvent([this](TKyComponent*, int old) {
          Log.push_back("change " + std::to_string(old));
        }));
    add(u"WizardFinish", TNotifyEvent([this](TKyComponent*) { Log.push_back("finish"); }));
    ReadFormStreams(*Form, {WriteFormStream(ParseFormText(WizardFormText(), u"wizard.txt"))});
    Form->CreateHandle();
    W = dynamic_cast<TKyWizard*>(Form->FindComponent(u"Wizard"));
    Back = dynamic_cast<TButton*>(Form->FindComponent(u"BackButton"));
    Next = dynamic_cast<TButton*>(Form->FindComponent(u"NextButton"));
    ASSERT_TRUE(W && Back && Next);
  }

  std::string TakeLog() {
    std::string s;
    for (auto& e : Log) s += (s.empty() ? "" : ", ") + e;
    Log.clear();
    return s;
  }

  std::unique_ptr<TWizTestForm> Form;
  TKyWizard* W = nullptr;
  TButton* Back = nullptr;
  TButton* Next = nullptr;
  std::vector<std::string> Log;
  bool Valid = true;
  bool MayLeave = true;
  int NextOverride = -100;
  std::function<void()> AfterNext;
};

}  // namespace

TEST_F(Wizard, LoadingShowsTheFirstPageWithBackDisabled) {
  EXPECT_EQ(TakeLog(), "change -1, validate 0");
  EXPECT_EQ(W->ActivePageIndex(), 0);
  EXPECT_EQ(W->History().Count(), 0);
  EXPECT_FALSE(Back->Enabled());
  EXPECT_TRUE(Next->Enabled());
  EXPECT_TRUE(Next->Default());
  EXPECT_EQ(Back->Caption(), u"&Back");
  EXPECT_EQ(Next->Caption(), u"&Next");
  EXPECT_EQ(Form->Caption(), u"Setup - Welcome");
}

TEST_F(Wizard, ForwardMoveRunsTheEventsInOrderAndBackUsesTheHistory) {
  TakeLog();
  Next->Click();
  EXPECT_EQ(TakeLog(), "beforenext 0, next 0, change 0, afternext, validate 1");
  EXPECT_EQ(W->ActivePageIndex(), 1);
  EXPECT_EQ(Form->Caption(), u"Setup - Licence");
  EXPECT_TRUE(Back->Enabled());

  NextOverride = 3;  // skip a page
  Next->Click();
  EXPECT_EQ(W->ActivePageIndex(), 3);
  EXPECT_EQ(W->History().Count(), 2);
  TakeLog();
  Back->Click();
  EXPECT_EQ(TakeLog(), "beforeback 3, change 3, validate 1, afterback, validate 1");
  EXPECT_EQ(W->ActivePageIndex(), 1);  // the page before, not the one skipped
  Back->Click();
  EXPECT_EQ(W->ActivePageIndex(), 0);
  EXPECT_FALSE(Back->Enabled());
  try {
    W->Back();
    FAIL();
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Cannot go back because history is empty");
  }
}

TEST_F(Wizard, LastPageReadsFinishAndFinishesWithoutHistory) {
  W->ShowPage(4);
  EXPECT_EQ(Next->Caption(), u"&Finish");
  TakeLog();
  int before = W->History().Count();
  Next->Click();
  EXPECT_EQ(TakeLog(), "beforenext 4, finish, validate 4");
  EXPECT_EQ(W->History().Count(), before);

  W->SetLastPage(3);
  W->ShowPage(3);
  EXPECT_EQ(Next->Caption(), u"&Finish");
  W->ShowPage(2);
  EXPECT_EQ(Next->Caption(), u"&Next");
}

TEST_F(Wizard, DisableBackOnTheLastPage) {
  W->SetOptions(woAutoFocus | woDisableBack);
  for (int i = 0; i < 4; ++i) Next->Click();
  EXPECT_EQ(W->ActivePageIndex(), 4);
  EXPECT_EQ(W->History().Count(), 4);
  EXPECT_FALSE(Back->Enabled());
  W->SetOptions(woAutoFocus);
  W->Validate();
  EXPECT_TRUE(Back->Enabled());
}

TEST_F(Wizard, RefusedOrFinishingMovesKeepThePage) {
  Next->Click();
  MayLeave = false;
  TakeLog();
  Next->Click();
  EXPECT_EQ(TakeLog(), "beforenext 1");
  EXPECT_EQ(W->ActivePageIndex(), 1);
  EXPECT_EQ(W->History().Count(), 1);

  MayLeave = true;
  NextOverride = -1;
  Next->Click();
  EXPECT_EQ(TakeLog(), "beforenext 1, next 1, finish, validate -1");

  // A next page beyond the page control is refused.
  W->ShowPage(1);
  NextOverride = 5;
  try {
    W->Next();
    FAIL();
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Invalid Page Control");
  }
}

TEST_F(Wizard, ValidityAndEnabledDriveTheNextButton) {
  Valid = false;
  W->Validate();
  EXPECT_FALSE(W->PageValid());
  EXPECT_FALSE(Next->Enabled());
  EXPECT_FALSE(Next->Default());
  Valid = true;
  W->SetEnabled(false);
  W->Validate();
  EXPECT_FALSE(W->PageValid());
  EXPECT_FALSE(Next->Enabled());
  EXPECT_FALSE(Back->Enabled());
  W->SetEnabled(true);
  EXPECT_FALSE(Next->Enabled());  // only the buttons are refreshed, not the validity
  W->Validate();
  EXPECT_TRUE(Next->Enabled());
}

TEST_F(Wizard, HandlerMayMoveOnFromAfterNext) {
  int moves = 0;
  AfterNext = [&] {
    if (W->ActivePageIndex() == 3 && moves++ == 0) W->Next();
  };
  W->ShowPage(2);
  Next->Click();
  EXPECT_EQ(W->ActivePageIndex(), 4);
  EXPECT_EQ(W->History().Count(), 2);
  EXPECT_TRUE(Next->Enabled());
}

TEST_F(Wizard, ButtonsAndPagesAreChecked) {
  try {
    W->SetBackButton(Next);
    FAIL();
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Cannot set BackButton and NextButton to the same value.");
  }
  EXPECT_EQ(W->BackButton(), Back);
  EXPECT_THROW(W->SetNextButton(Back), EKyException);
  EXPECT_EQ(W->NextButton(), Next);
  EXPECT_THROW(W->ShowPage(5), EKyException);
  EXPECT_THROW(W->ShowPage(-1), EKyException);

  // Freeing a referenced control clears the reference.
  delete Next;
  EXPECT_EQ(W->NextButton(), nullptr);
  W->Validate();
  W->SetPageControl(nullptr);
  try {
    (void)W->PageCount();
    FAIL();
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"No page control control assigned.");
  }
}

TEST_F(Wizard, FocusGoesToTheFirstControlInTabOrder) {
  Form->Show();
  W->ShowPage(2);
  auto* first = dynamic_cast<TControl*>(Form->FindComponent(u"EditA2"));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(Form->ActiveControl(), first);
  EXPECT_TRUE(first->Focused());
}
