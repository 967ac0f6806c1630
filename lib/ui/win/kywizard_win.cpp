#include "lib/ui/win/kywizard.h"

#include <algorithm>

#include "lib/core/kyformat.h"
#include "resstrings.h"

namespace {
const std::vector<String> kWizardOptionNames = {u"woAutoFocus", u"woDisableBack"};

// Controls of a container in tab order, containers followed by their own controls.
void CollectTabOrder(TControl* parent, std::vector<TControl*>& out) {
  std::vector<TControl*> children;
  for (int i = 0; i < parent->ControlCount(); ++i) children.push_back(parent->Controls(i));
  std::stable_sort(children.begin(), children.end(),
                   [](TControl* a, TControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TControl* c : children) {
    out.push_back(c);
    if (c->ControlCount() > 0) CollectTabOrder(c, out);
  }
}

struct TWizardRegistrar {
  TWizardRegistrar() { RegisterComponentClass(u"TKyWizard", [](TKyComponent* o) { return new TKyWizard(o); }); }
} WizardRegistrar;
}  // namespace

TKyWizard::TKyWizard(TKyComponent* owner)
    : TKyComponent(owner),
      BackText_(LoadResString(SWizardBack)),
      NextText_(LoadResString(SWizardNext)),
      FinishText_(LoadResString(SWizardFinish)) {}

TKyWizard::~TKyWizard() { ClearHistory(); }

const TClassInfo& TKyWizard::StaticClassInfo() {
  static const TClassInfo info(
      u"TKyWizard", &TKyComponent::StaticClassInfo(),
      {props::Ref<TKyWizard, TPageControl>(u"PageControl", &TKyWizard::PageControl, &TKyWizard::SetPageControl),
       props::Ref<TKyWizard, TButton>(u"BackButton", &TKyWizard::BackButton, &TKyWizard::SetBackButton),
       props::Ref<TKyWizard, TButton>(u"NextButton", &TKyWizard::NextButton, &TKyWizard::SetNextButton),
       props::Str<TKyWizard>(u"BackText", &TKyWizard::BackText, &TKyWizard::SetBackText),
       props::Str<TKyWizard>(u"NextText", &TKyWizard::NextText, &TKyWizard::SetNextText),
       props::Str<TKyWizard>(u"FinishText", &TKyWizard::FinishText, &TKyWizard::SetFinishText),
       props::Str<TKyWizard>(u"Caption", &TKyWizard::Caption, &TKyWizard::SetCaption),
       props::Bool<TKyWizard>(u"Enabled", &TKyWizard::Enabled, &TKyWizard::SetEnabled),
       props::Int<TKyWizard>(u"FirstPage", &TKyWizard::FirstPage, &TKyWizard::SetFirstPage),
       props::Int<TKyWizard>(u"LastPage", &TKyWizard::LastPage, &TKyWizard::SetLastPage),
       props::Set<TKyWizard>(u"Options", &TKyWizard::Options, &TKyWizard::SetOptions, &kWizardOptionNames),
       props::Event_<TKyWizard, TKyWizardValidateEvent>(u"OnValidatePage", &TKyWizard::OnValidatePage),
       props::Event_<TKyWizard, TKyWizardValidateEvent>(u"OnBeforeNext", &TKyWizard::OnBeforeNext),
       props::Event_<TKyWizard, TKyWizardNextEvent>(u"OnNext", &TKyWizard::OnNext),
       props::Event_<TKyWizard, TNotifyEvent>(u"OnAfterNext", &TKyWizard::OnAfterNext),
       props::Event_<TKyWizard, TKyWizardValidateEvent>(u"OnBeforeBack", &TKyWizard::OnBeforeBack),
       props::Event_<TKyWizard, TNotifyEvent>(u"OnAfterBack", &TKyWizard::OnAfterBack),
       props::Event_<TKyWizard, TKyWizardChangeEvent>(u"OnPageChange", &TKyWizard::OnPageChange),
       props::Event_<TKyWizard, TNotifyEvent>(u"OnFinish", &TKyWizard::OnFinish)});
  return info;
}

void TKyWizard::SetBackButton(TButton* value) {
  if (value && value == NextButton_) throw EKyException(LoadResString(SWizardSameButtons));
  if (value == BackButton_) return;
  BackButton_ = value;
  if (value) value->OnClick = [this](TKyComponent*) { Back(); };
}

void TKyWizard::SetNextButton(TButton* value) {
  if (value && value == BackButton_) throw EKyException(LoadResString(SWizardSameButtons));
  if (value == NextButton_) return;
  NextButton_ = value;
  if (value) value->OnClick = [this](TKyComponent*) { Next(); };
}

void TKyWizard::SetCaption(const String& v) {
  Caption_ = v;
  UpdateCaption();
}

void TKyWizard::SetEnabled(bool v) {
  if (v == Enabled_) return;
  Enabled_ = v;
  UpdateButtons();
}

TKyCustomForm* TKyWizard::OwnerForm() const { return dynamic_cast<TKyCustomForm*>(Owner()); }

int TKyWizard::ActivePageIndex() const { return PageControl_ ? PageControl_->ActivePageIndex() : -1; }

int TKyWizard::PageCount() const {
  if (!PageControl_) throw EKyException(LoadResString(SWizardNoPageControl));
  return PageControl_->PageCount();
}

bool TKyWizard::IsLastPage() const {
  if (LastPage_ < 0) return ActivePageIndex() + 1 == PageCount();
  return ActivePageIndex() == LastPage_;
}

void TKyWizard::UpdateCaption() {
  TKyCustomForm* form = OwnerForm();
  if (!PageControl_ || !form || Caption_.empty()) return;
  TTabSheet* page = PageControl_->ActivePage();
  form->SetCaption(Format(Caption_, {page ? page->Caption() : String()}));
}

void TKyWizard::UpdateButtons() {
  // Without a page there is no last page to tell; the buttons then read Next.
  bool last = PageControl_ && IsLastPage();
  if (BackButton_) {
    BackButton_->SetCaption(BackText_);
    BackButton_->SetEnabled(Enabled_ && !Loading_ && History_.Count() > 0 &&
                            !((Options_ & woDisableBack) && last));
  }
  if (NextButton_) {
    NextButton_->SetCaption(last ? FinishText_ : NextText_);
    bool enabled = Enabled_ && PageValid_;
    NextButton_->SetEnabled(enabled);
    NextButton_->SetDefault(enabled);
  }
}

void TKyWizard::FocusFirstControl(TTabSheet* page) {
  if (!page || !page->Showing()) return;
  std::vector<TControl*> order;
  CollectTabOrder(page, order);
  for (TControl* c : order) {
    if (c->TabStop() && c->CanFocus()) {
      c->SetFocus();
      if (TKyCustomForm* form = OwnerForm()) form->SetActiveControl(c);
      return;
    }
  }
}

void TKyWizard::ChangePage(int index, bool validate) {
  if (!PageControl_ || index < 0 || index >= PageControl_->PageCount()) {
    throw EKyException(LoadResString(SWizardInvalidPage));
  }
  PageControl_->SetActivePageIndex(index);
  UpdateCaption();
  if (OnPageChange) OnPageChange(this, PreviousPage_);
  PreviousPage_ = index;
  if ((Options_ & woAutoFocus) && PageControl_ && PageControl_->ActivePage()) {
    FocusFirstControl(PageControl_->ActivePage());
  }
  if (validate) DoValidatePage();
  UpdateButtons();
}

void TKyWizard::DoValidatePage() {
  if (Enabled_) {
    PageValid_ = true;
    if (OnValidatePage) OnValidatePage(this, ActivePageIndex(), PageValid_);
  } else {
    PageValid_ = false;
  }
  UpdateButtons();
}

bool TKyWizard::DoBeforeNext() {
  bool valid = true;
  if (OnBeforeNext) OnBeforeNext(this, ActivePageIndex(), valid);
  return valid;
}

bool TKyWizard::DoBeforeBack() {
  bool valid = true;
  if (OnBeforeBack) OnBeforeBack(this, ActivePageIndex(), valid);
  return valid;
}

void TKyWizard::DoAfterNext() {
  if (OnAfterNext) OnAfterNext(this);
}

void TKyWizard::DoAfterBack() {
  if (OnAfterBack) OnAfterBack(this);
}

void TKyWizard::DoFinish() {
  if (OnFinish) OnFinish(this);
}

int TKyWizard::PopHistory() {
  if (History_.Count() == 0) throw EKyException(LoadResString(SWizardHistoryEmpty));
  return History_.Pop();
}

void TKyWizard::Next() {
  if (!DoBeforeNext()) return;
  int active = ActivePageIndex();
  bool last = IsLastPage();
  if (!last) PushHistory(active);
  if (last) {
    DoFinish();
  } else {
    int nextPage = active + 1;
    if (OnNext) OnNext(this, active, nextPage);
    PageControl_->SetActivePageIndex(nextPage);
    if (nextPage < 0) {
      DoFinish();
    } else {
      // A page beyond the page control fails here with "Invalid Page Control".
      RefreshPage(false);
      DoAfterNext();
    }
  }
  DoValidatePage();
}

void TKyWizard::Back() {
  if (!DoBeforeBack()) return;
  ChangePage(PopHistory(), true);
  DoAfterBack();
  DoValidatePage();
}

void TKyWizard::GoToFirstPage() {
  if (PageControl_) PageControl_->SetActivePageIndex(FirstPage_);
  ChangePage(FirstPage_, true);
}

void TKyWizard::Reset() {
  ClearHistory();
  GoToFirstPage();
}

void TKyWizard::Loaded() {
  TKyComponent::Loaded();
  Loading_ = true;
  try {
    Reset();
  } catch (...) {
    Loading_ = false;
    throw;
  }
  Loading_ = false;
}

void TKyWizard::Notification(TKyComponent* component) {
  TKyComponent::Notification(component);
  if (component == PageControl_) PageControl_ = nullptr;
  if (component == NextButton_) NextButton_ = nullptr;
  if (component == BackButton_) BackButton_ = nullptr;
}
