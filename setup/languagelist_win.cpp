// The setup-language list of the first page: English first, then one entry per language
// file found; a click switches the language of every open window.
#include <algorithm>

#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/locale/kylanguage.h"
#include "lib/locale/kylocale.h"
#include "lib/locale/kytranslator.h"
#include "setup/mainform.h"

namespace {
const Char kEnglishCode[] = u"EN";
}

String TMainForm::GetLanguageListName(const String& code) const {
  String id = code == u"CHT" ? String(u"zh.tra") : LocaleDatas.IdFromWindowsCode(code);
  String name = LocaleDatas.GetDisplayName(id);
  bool active = code == CurrentLanguageCode || (code == kEnglishCode && CurrentLanguageCode.empty());
  if (!active) name = Format(u"%s - %s", {name, GetLocaleLanguageName(LocaleDatas.IdToLocale(id), true)});
  return name;
}

void TMainForm::FillLanguageList(bool sorted) {
  auto* list = Get<TListBox>(u"LanguageList");
  if (!list) return;
  int selected = list->ItemIndex();
  String code = selected >= 0 && selected < static_cast<int>(LanguageItems_.size()) ? LanguageItems_[selected]->Code
                                                                                     : String(kEnglishCode);
  LanguageItems_.clear();
  list->Items()->Clear();
  TStringList found;
  FindLanguageFiles(found);
  auto add = [&](const String& c) {
    LanguageItems_.push_back(std::make_unique<TLanguageListItem>(
        TLanguageListItem{c, c == kEnglishCode ? 0u : CodeToLocale(c), GetLanguageListName(c)}));
  };
  add(kEnglishCode);
  for (int i = 0; i < found.Count(); ++i) add(found[i]);
  // Sorting by the shown text, as a sorted list box would.
  if (sorted)
    std::stable_sort(LanguageItems_.begin(), LanguageItems_.end(),
                     [](const auto& a, const auto& b) { return CompareText(a->Name, b->Name) < 0; });
  for (const auto& item : LanguageItems_) list->Items()->Add(item->Name);
  for (size_t i = 0; i < LanguageItems_.size(); ++i)
    if (LanguageItems_[i]->Code == code) {
      list->SetItemIndex(static_cast<int>(i));
      break;
    }
}

void TMainForm::InitLanguageList() {
  auto* list = Get<TListBox>(u"LanguageList");
  if (!list) return;
  String current = CurrentLanguageCode.empty() ? String(kEnglishCode) : CurrentLanguageCode;
  list->SetItemIndex(-1);
  for (size_t i = 0; i < LanguageItems_.size(); ++i)
    if (LanguageItems_[i]->Code == current) {
      list->SetItemIndex(static_cast<int>(i));
      break;
    }
  if (list->ItemIndex() < 0 && !LanguageItems_.empty()) list->SetItemIndex(0);
  bool several = LanguageItems_.size() > 1;
  if (auto* group = Get<TControl>(u"LanguageGroup")) group->SetVisible(several);
  if (!several) {
    auto* label = Get<TControl>(u"StartLabel");
    auto* sheet = Get<TControl>(u"StartSheet");
    if (label && sheet) label->SetWidth(sheet->Width());
  }
}

void TMainForm::LanguageListClick(TKyComponent*) {
  auto* list = Get<TListBox>(u"LanguageList");
  if (!list) return;
  int i = list->ItemIndex();
  if (i < 0 || i >= static_cast<int>(LanguageItems_.size())) return;
  String entryCode = LanguageItems_[i]->Code;
  String code = entryCode == kEnglishCode ? String() : entryCode;
  // The switch keeps the mirroring that the start-up asked for.
  if (SwitchLanguage(code, TranslatorFlags & slMirrorLayout)) {
    InitializeSetup();
    SetDefaultLanguage(entryCode);
  }
}
