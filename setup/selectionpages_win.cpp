// The pages on which the user chooses: the existing installation, the licence, samples,
// dictionaries and the application's languages.
#include <algorithm>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "lib/core/win/kywin.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kylocale.h"
#include "lib/ui/kyformutil.h"
#include "resstrings.h"
#include "setup/installer/addons.h"
#include "setup/mainform.h"
#include "setup/pageflow.h"

namespace {
// Entries sorted by their text as the lists show them.
template <class T>
void SortByText(std::vector<std::pair<String, T>>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return CompareText(a.first, b.first) < 0; });
}

int CheckedCount(TCheckListBox* list) {
  int n = 0;
  for (int i = 0; i < list->Items()->Count(); ++i) n += list->Checked(i);
  return n;
}
}  // namespace

// ---- existing installation ----------------------------------------------------------

void TMainForm::FillExistingPage() {
  const String& dir = !Installer_->ExistingDir.empty() ? Installer_->ExistingDir : Installer_->PreviousDir;
  if (!dir.empty())
    if (auto* l = Get<TLabel>(u"ExistingDirectoryLabel")) l->SetCaption(Format(SExistingDirectory, {dir}));
  const TKyVersion& v = Installer_->ExistingVersion;
  if (auto* l = Get<TLabel>(u"ExistingVersionLabel")) {
    l->SetCaption(v.Major < 1 ? LoadResString(SExistingUnknownVersion)
                              : Format(SExistingVersion, {Format(u"%d.%d.%d", {v.Major, v.Minor, v.Release})}));
  }
  ExistingActions_.clear();
  if (!Installer_->ExistingDir.empty()) {
    ExistingActions_ = {itUpdate, itModify, itFresh};
  } else if (!Installer_->PreviousDir.empty()) {
    ExistingActions_ = {itCopySettings, itFresh};
  }
  if (auto* group = Get<TRadioGroup>(u"ExistingGroup")) {
    group->Items()->Clear();
    for (TInstallType a : ExistingActions_) group->Items()->Add(ExistingActionText(a));
    group->Rebuild();
    group->SetItemIndex(ExistingActions_.empty() ? -1 : 0);
  }
}

void TMainForm::ExistingGroupClick(TKyComponent*) { UpdateControls(); }

// ---- licence ------------------------------------------------------------------------

void TMainForm::LoadLicense() {
  auto* memo = Get<TMemo>(u"LicenseMemo");
  if (!memo) return;
  String name = u"LICENSETEXT";
  const String iso = LicenseLanguageSuffix();
  if (!iso.empty()) {
    // A country-specific text first, then the language's own (de_DE, then de).
    String full = u"LICENSETEXT_" + UpperCase(iso);
    String language = u"LICENSETEXT_" + UpperCase(iso.substr(0, iso.find(u'_')));
    if (TKyInstallComponent::ResourceExists(full)) name = full;
    else if (TKyInstallComponent::ResourceExists(language)) name = language;
  }
  String text;
  if (TKyInstallComponent::ResourceExists(name)) {
    auto stream = TKyInstallComponent::OpenResource(name);
    TKyTextFile reader;
    reader.Open(stream.get(), false);
    String line;
    bool first = true;
    while (reader.ReadLine(line)) {
      if (!first) text += u"\r\n";
      text += line;
      first = false;
    }
  }
  memo->SetText(text);
  LicenseLoaded_ = true;
}

// ---- samples ------------------------------------------------------------------------

void TMainForm::FillSamples() {
  auto* list = Get<TCheckListBox>(u"SamplesCheckList");
  if (!list) return;
  list->Items()->Clear();
  SampleEntries_.clear();
  std::vector<std::pair<String, TKyVisibleComponent*>> entries;
  for (int i = 0; i < Installer_->SampleComponentCount(); ++i) {
    TKyVisibleComponent* c = Installer_->SampleComponents(i);
    if (c->Exists()) entries.emplace_back(c->Caption + u"\tKB", c);
    else c->Selected = false;
  }
  SortByText(entries);
  for (const auto& [text, c] : entries) {
    int at = list->Items()->Add(text);
    list->SetChecked(at, true);
    SampleEntries_.push_back(c);
  }
}

void TMainForm::SamplesCheckListDrawItem(TKyComponent*, int index, HDC dc, RECT rect, TDrawItemState state) {
  if (index < 0 || index >= static_cast<int>(SampleEntries_.size())) return;
  TKyVisibleComponent* c = SampleEntries_[static_cast<size_t>(index)];
  auto* list = Get<TCheckListBox>(u"SamplesCheckList");
  FillRect(dc, &rect, GetSysColorBrush(state.Selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(state.Selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  HGDIOBJ old = list ? SelectObject(dc, list->Font()->Handle()) : nullptr;
  RECT text = rect;
  text.left += 2;
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
  DrawTextW(dc, W(c->Caption), -1, &text, flags | DT_LEFT);
  text.right -= 2;
  String size = Format(SSampleSizeKB, {c->Size / 1000});
  DrawTextW(dc, W(size), -1, &text, flags | DT_RIGHT);
  if (old) SelectObject(dc, old);
}

void TMainForm::UpdateSamples() {
  auto* list = Get<TCheckListBox>(u"SamplesCheckList");
  if (!list) return;
  if (auto* l = Get<TLabel>(u"SpaceRequiredLabel")) l->SetCaption(SpaceRequiredText(GetSpaceRequired()));
  int sel = list->ItemIndex();
  if (auto* l = Get<TLabel>(u"ComponentDescriptionLabel")) {
    l->SetCaption(sel >= 0 && sel < static_cast<int>(SampleEntries_.size())
                      ? SampleEntries_[static_cast<size_t>(sel)]->Description
                      : String());
  }
  int checked = CheckedCount(list);
  if (auto* b = Get<TButton>(u"SamplesCheckAllButton")) b->SetEnabled(checked < list->Items()->Count());
  if (auto* b = Get<TButton>(u"SamplesUncheckAllButton")) b->SetEnabled(checked > 0);
}

void TMainForm::SamplesCheckListClick(TKyComponent*) { UpdateSamples(); }
void TMainForm::SamplesCheckListClickCheck(TKyComponent*) { UpdateSamples(); }

void TMainForm::SamplesCheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"SamplesCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i) list->SetChecked(i, true);
  UpdateSamples();
}

void TMainForm::SamplesUncheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"SamplesCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i) list->SetChecked(i, false);
  UpdateSamples();
}

void TMainForm::LayoutSamplesPage() {
  auto* check = Get<TCheckBox>(u"AddSamplesToRecentListCheck");
  auto* required = Get<TLabel>(u"SpaceRequiredLabel");
  auto* available = Get<TLabel>(u"SpaceAvailableLabel");
  auto* group = Get<TControl>(u"SamplesDescriptionGroup");
  auto* list = Get<TControl>(u"SamplesCheckList");
  if (!check || !required || !available || !group || !list || !Installer_) return;
  int gap = GetControlSpacing() * 2 / 3;
  // The folders chosen so far decide where the tool's settings would be.
  Installer_->SetInstallDir(EditText(u"InstallDirectoryEdit"));
  Installer_->PersonalDir = EditText(u"PersonalDirectoryEdit");
  check->SetVisible(!FileExists(Installer_->GetOptionsFileName()));
  int top = check->Visible() ? check->Top() - required->Height() - gap : check->Top();
  required->SetTop(top);
  available->SetTop(top);
  group->SetHeight(top - group->Top() - gap);
  list->SetHeight(top - list->Top() - gap);
}

// ---- dictionaries and languages -----------------------------------------------------

void TMainForm::FillLocaleCheckList(const String& resourceName, TCheckListBox* list, std::vector<String>& locales,
                                    const String& firstLocale) {
  if (!list) return;
  list->Items()->Clear();
  locales.clear();
  struct TEntry {
    String Locale;
    bool Fixed;
  };
  std::vector<std::pair<String, TEntry>> entries;
  if (!firstLocale.empty()) entries.push_back({LocaleDatas.GetDisplayName(firstLocale), {firstLocale, true}});
  if (TKyInstallComponent* c = Installer_->FindComponent(resourceName)) {
    TStringList names;
    c->GetFileNames(names);
    names.Sort();
    for (int i = 0; i < names.Count(); ++i) {
      String locale = resourceName == u"SPELLCHECK" ? DictionaryLocale(names[i]) : TInstaller::LanguageFileLocale(names[i]);
      if (!locale.empty()) entries.push_back({LocaleDatas.GetDisplayName(locale), {locale, false}});
    }
  }
  SortByText(entries);
  for (const auto& [text, e] : entries) {
    int at = list->Items()->Add(text);
    list->SetChecked(at, true);
    if (e.Fixed) list->SetItemEnabled(at, false);
    locales.push_back(e.Locale);
  }
}

void TMainForm::UpdateDictionaryButtons() {
  auto* list = Get<TCheckListBox>(u"DictionaryCheckList");
  if (!list) return;
  int checked = CheckedCount(list);
  if (auto* b = Get<TButton>(u"DictionaryCheckAllButton")) b->SetEnabled(checked < list->Items()->Count());
  if (auto* b = Get<TButton>(u"DictionaryUncheckAllButton")) b->SetEnabled(checked > 0);
}

void TMainForm::DictionaryCheckListClickCheck(TKyComponent*) { UpdateDictionaryButtons(); }

void TMainForm::DictionaryCheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"DictionaryCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i) list->SetChecked(i, true);
  UpdateDictionaryButtons();
}

void TMainForm::DictionaryUncheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"DictionaryCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i) list->SetChecked(i, false);
  UpdateDictionaryButtons();
}

void TMainForm::UpdateLanguageButtons() {
  auto* list = Get<TCheckListBox>(u"LanguagesCheckList");
  if (!list) return;
  int checked = CheckedCount(list);
  if (auto* b = Get<TButton>(u"LanguagesCheckAllButton")) b->SetEnabled(checked < list->Items()->Count());
  if (auto* b = Get<TButton>(u"LanguagesUncheckAllButton")) b->SetEnabled(checked > 0);
}

void TMainForm::LanguagesCheckListClick(TKyComponent*) {
  auto* list = Get<TCheckListBox>(u"LanguagesCheckList");
  auto* combo = Get<TComboBox>(u"DefaultLanguageCombo");
  if (!list || !combo) return;
  combo->Items()->Clear();
  DefaultLanguageLocales_.clear();
  combo->Items()->Add(LoadResString(SDefaultLanguage));
  DefaultLanguageLocales_.push_back(String());
  for (int i = 0; i < list->Items()->Count() && i < static_cast<int>(LanguageLocales_.size()); ++i) {
    if (!list->Checked(i)) continue;
    combo->Items()->Add(list->Items()->Get(i));
    DefaultLanguageLocales_.push_back(LanguageLocales_[static_cast<size_t>(i)]);
  }
  combo->SetItemIndex(0);
  UpdateLanguageButtons();
}

void TMainForm::LanguagesCheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"LanguagesCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->ItemEnabled(i)) list->SetChecked(i, true);
  UpdateLanguageButtons();
  LanguagesCheckListClick(this);
}

void TMainForm::LanguagesUncheckAllButtonClick(TKyComponent*) {
  if (auto* list = Get<TCheckListBox>(u"LanguagesCheckList"))
    for (int i = 0; i < list->Items()->Count(); ++i)
      if (list->ItemEnabled(i)) list->SetChecked(i, false);
  UpdateLanguageButtons();
  LanguagesCheckListClick(this);
}

String TMainForm::GetDefaultLanguage() const {
  auto* combo = Get<TComboBox>(u"DefaultLanguageCombo");
  if (!combo) return String();
  int i = combo->ItemIndex();
  if (i >= 0 && i < static_cast<int>(DefaultLanguageLocales_.size())) return DefaultLanguageLocales_[static_cast<size_t>(i)];
  return String();
}

void TMainForm::SetDefaultLanguage(const String& code) {
  auto* combo = Get<TComboBox>(u"DefaultLanguageCombo");
  if (!combo || code == GetDefaultLanguage()) return;
  auto select = [&](const String& locale) {
    for (size_t i = 0; i < DefaultLanguageLocales_.size(); ++i) {
      if (!DefaultLanguageLocales_[i].empty() && SameText(DefaultLanguageLocales_[i], locale)) {
        combo->SetItemIndex(static_cast<int>(i));
        return true;
      }
    }
    return false;
  };
  if (select(code)) return;
  // A three-letter language code (DEU) names the same language as the locale id de.
  String locale = TInstaller::LanguageExtLocale(code);
  if (!locale.empty() && (select(locale) || select(locale.substr(0, locale.find(u'-'))))) return;
  combo->SetItemIndex(-1);
}

String LicenseLanguageSuffix() {
  if (CurrentLanguageCode.empty()) return String();
  return GetLocaleIsoCode(CodeToLocale(CurrentLanguageCode));
}
