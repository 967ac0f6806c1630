#include "setup/installer/addons.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyinstaller.h"
#include "resstrings.h"

TAddOns AddOns;

String TAddOn::GetFullFileName() {
  String name = GetFileName();
  if (IsRelativePath(name) && name[0] != u'/') return KyJoinPath(AddOns.Folder(), name);
  return name;
}

bool TAddOn::IsPresent() { return FileExists(GetFullFileName()); }

bool TDllAddOn::IsPresent() { return TAddOn::IsPresent() && FindOnLibraryPath(GetFileName()); }

String TSSLAddOn::GetName() { return Format(SAddOnLibrary, {String(u"SSL")}); }

TAddOns::TAddOns() { Add(std::make_unique<TSSLAddOn>()); }

String TAddOns::Folder() const { return Folder_.empty() ? ExtractFileDir(ProgramFileName()) : Folder_; }

TAddOn* TAddOns::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  return Items_[static_cast<size_t>(index)].get();
}

bool TAddOns::InstallAll() {
  bool ok = true;
  for (const auto& a : Items_)
    if (a->NeedsInstall()) ok = a->InstallAddOn() && ok;
  return ok;
}

namespace {
struct TDictionary {
  const Char* File;
  const Char* Locale;
};
const TDictionary kDictionaries[] = {
    {u"SpellUS.lex", u"en-US"}, {u"SpellUK.lex", u"en-GB"}, {u"SpellCZ.lex", u"cs"}, {u"SpellDAN.lex", u"da"},
    {u"SpellGER.lex", u"de"},   {u"SpellESP.lex", u"es"},   {u"SpellFRA.lex", u"fr"}, {u"SpellCRO.lex", u"hr"},
    {u"SpellITA.lex", u"it"},   {u"SpellNL.lex", u"nl"},    {u"SpellPL.lex", u"pl"},  {u"SpellRU.lex", u"ru"},
    {u"SpellSLO.lex", u"sl"},   {u"SpellSVE.lex", u"sv"},
};
}  // namespace

String DictionaryLocale(const String& fileName) {
  String name = ExtractFileName(fileName);
  for (const TDictionary& d : kDictionaries)
    if (SameText(name, d.File)) return d.Locale;
  return String();
}
