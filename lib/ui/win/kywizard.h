// TKyWizard: a non-visual component that turns a page control with hidden tabs into a
// wizard. It handles the Back and Next buttons, keeps the history of visited pages, sets
// the window title from the page caption and asks its owner through events whether a page
// is complete, whether it may be left and which page comes next.
#pragma once

#include <cstdint>

#include "lib/core/kyobjects.h"
#include "lib/ui/win/kyform.h"

enum TKyWizardOption : std::uint32_t { woAutoFocus = 1, woDisableBack = 2 };
using TKyWizardOptions = std::uint32_t;

using TKyWizardValidateEvent = std::function<void(TKyComponent* sender, int page, bool& valid)>;
using TKyWizardNextEvent = std::function<void(TKyComponent* sender, int page, int& nextPage)>;
using TKyWizardChangeEvent = std::function<void(TKyComponent* sender, int oldPage)>;

class TKyWizard : public TKyComponent {
 public:
  explicit TKyWizard(TKyComponent* owner);
  ~TKyWizard() override;
  static const TClassInfo& StaticClassInfo();
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }

  TPageControl* PageControl() const { return PageControl_; }
  void SetPageControl(TPageControl* value) { PageControl_ = value; }
  TButton* BackButton() const { return BackButton_; }
  // Raises "Cannot set BackButton and NextButton to the same value." for the Next button.
  void SetBackButton(TButton* value);
  TButton* NextButton() const { return NextButton_; }
  void SetNextButton(TButton* value);
  String BackText() const { return BackText_; }
  void SetBackText(const String& v) { BackText_ = v; }
  String NextText() const { return NextText_; }
  void SetNextText(const String& v) { NextText_ = v; }
  String FinishText() const { return FinishText_; }
  void SetFinishText(const String& v) { FinishText_ = v; }
  // Pictures held for the buttons (the bytes of a bitmap); the wizard does not draw them.
  const RawBytes& BackBitmap() const { return BackBitmap_; }
  void SetBackBitmap(const RawBytes& v) { BackBitmap_ = v; }
  const RawBytes& NextBitmap() const { return NextBitmap_; }
  void SetNextBitmap(const RawBytes& v) { NextBitmap_ = v; }
  const RawBytes& FinishBitmap() const { return FinishBitmap_; }
  void SetFinishBitmap(const RawBytes& v) { FinishBitmap_ = v; }
  // Title format of the owner window with one "%s" for the active page's caption.
  String Caption() const { return Caption_; }
  void SetCaption(const String& v);
  bool Enabled() const { return Enabled_; }
  void SetEnabled(bool v);
  int FirstPage() const { return FirstPage_; }
  void SetFirstPage(int v) { FirstPage_ = v; }
  // The page on which Next reads Finish; negative: the last page of the page control.
  int LastPage() const { return LastPage_; }
  void SetLastPage(int v) { LastPage_ = v; }
  TKyWizardOptions Options() const { return Options_; }
  void SetOptions(TKyWizardOptions v) { Options_ = v; }

  TKyWizardValidateEvent OnValidatePage, OnBeforeNext, OnBeforeBack;
  TKyWizardNextEvent OnNext;
  TNotifyEvent OnAfterNext, OnAfterBack, OnFinish;
  TKyWizardChangeEvent OnPageChange;

  void Next();
  void Back();
  void Validate() { DoValidatePage(); }
  int ActivePageIndex() const;
  bool IsLastPage() const;
  // "No page control control assigned." without a page control.
  int PageCount() const;
  void ShowPage(int index) { ChangePage(index, true); }
  void GoToFirstPage();
  void Reset();

  // Read-only views of the state, for the owner and for tests.
  const TKyIntegerStack& History() const { return History_; }
  bool PageValid() const { return PageValid_; }

  void Loaded() override;
  void Notification(TKyComponent* component) override;

 protected:
  void ChangePage(int index, bool validate);
  void RefreshPage(bool validate) { ChangePage(ActivePageIndex(), validate); }
  void UpdateButtons();
  void UpdateCaption();
  void FocusFirstControl(TTabSheet* page);
  void PushHistory(int index) { History_.Push(index); }
  int PopHistory();
  void ClearHistory() { History_.Clear(); }
  void DoValidatePage();
  bool DoBeforeNext();
  void DoAfterNext();
  bool DoBeforeBack();
  void DoAfterBack();
  void DoFinish();

 private:
  TKyCustomForm* OwnerForm() const;

  TPageControl* PageControl_ = nullptr;
  TButton* BackButton_ = nullptr;
  TButton* NextButton_ = nullptr;
  String BackText_, NextText_, FinishText_, Caption_;
  RawBytes BackBitmap_, NextBitmap_, FinishBitmap_;
  bool Enabled_ = true;
  int FirstPage_ = 0;
  int LastPage_ = -1;
  TKyWizardOptions Options_ = woAutoFocus;
  TKyIntegerStack History_;
  bool PageValid_ = false;
  bool Loading_ = false;
  int PreviousPage_ = -1;
};
