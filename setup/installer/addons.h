// Optional files that the tool uses when present, and the mappings from dictionary files
// to locales.
#pragma once

#include <memory>
#include <vector>

#include "lib/core/kytypes.h"

class TAddOn {
 public:
  virtual ~TAddOn() = default;
  virtual String GetName() = 0;
  virtual bool IsAvailable() { return IsPresent(); }
  virtual String GetFileName() = 0;
  virtual bool NeedsInstall() { return false; }
  // A file exists at GetFullFileName.
  virtual bool IsPresent();
  virtual bool InstallAddOn() = 0;
  // GetFileName, below the add-on folder when it is relative.
  String GetFullFileName();
};

class TDllAddOn : public TAddOn {
 public:
  // Present in the add-on folder and also found along the system's library search path.
  bool IsPresent() override;
  bool InstallAddOn() override { return false; }
};

class TSSLAddOn : public TDllAddOn {
 public:
  String GetName() override;
  String GetFileName() override { return u"ssleay32.dll"; }
};

class TAddOns {
 public:
  TAddOns();
  // The set folder, or the setup program's own folder while none is set.
  String Folder() const;
  void SetFolder(const String& folder) { Folder_ = folder; }
  int Count() const { return static_cast<int>(Items_.size()); }
  TAddOn* Items(int index) const;
  void Add(std::unique_ptr<TAddOn> addOn) { Items_.push_back(std::move(addOn)); }
  // True when every add-on that needs installing installed itself.
  bool InstallAll();

 private:
  String Folder_;
  std::vector<std::unique_ptr<TAddOn>> Items_;
};

// The program's add-on list: one SSL library.
extern TAddOns AddOns;

// The locale of a spell-checker dictionary file ("SpellGER.lex" gives de); empty for any other file.
String DictionaryLocale(const String& fileName);
