// The runtime form translator: re-applies the form resources of the active resource
// module (a language file) to forms that are already open, matching components by name
// and properties by path, without recreating anything.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "lib/core/kytypes.h"
#include "lib/ui/kycomponent.h"
#include "lib/ui/kyformstream.h"

// Handles values of properties that are lists rather than single properties.
class TKyModule {
 public:
  virtual ~TKyModule() = default;
  virtual bool Supports(TPersistent* object) = 0;
  virtual void TranslateItem(TKyComponent* component, TPersistent* object, int index, const TFormValue& value,
                             const String& propertyPath) = 0;
  // An object that carries a property its owner does not publish.
  virtual TPersistent* FindObject(TPersistent* object, const String& propertyName) { return nullptr; }
  // Another name under which the property exists.
  virtual String FindPropertyName(TPersistent* object, const String& propertyName) { return String(); }
  virtual const char* ModuleClass() const = 0;
};

// Item texts of string lists (list boxes, combo boxes, memos, radio groups).
class TKyStringsModule : public TKyModule {
 public:
  bool Supports(TPersistent* object) override;
  void TranslateItem(TKyComponent* component, TPersistent* object, int index, const TFormValue& value,
                     const String& propertyPath) override;
  const char* ModuleClass() const override { return "TKyStringsModule"; }
};

// Owns one instance per module class, in registration order.
class TKyModules {
 public:
  template <class M>
  void RegisterModule() {
    M probe;
    for (const auto& m : Items_)
      if (std::string(m->ModuleClass()) == probe.ModuleClass()) return;
    Items_.push_back(std::make_unique<M>());
  }
  int Count() const { return static_cast<int>(Items_.size()); }
  TKyModule* Items(int index) const { return Items_.at(index).get(); }
  TKyModule* FindModule(TPersistent* object) const;
  TPersistent* FindObject(TPersistent* object, const String& name) const;
  String FindPropertyName(TPersistent* object, const String& name) const;
  void Clear() { Items_.clear(); }

 private:
  std::vector<std::unique_ptr<TKyModule>> Items_;
};

using TTranslatePropertyEvent = std::function<void(TKyComponent* root, TPersistent* object, const TPropInfo* prop,
                                                   const TPropValue& oldValue, TPropValue& newValue, bool& skip)>;
using TPropertyTranslatedEvent = std::function<void(TKyComponent* root, TPersistent* object, const TPropInfo* prop)>;

// Option bit of TranslatorFlags: mirror the layout around a pass.
inline constexpr std::uint8_t tfMirrorLayout = 16;

extern std::unique_ptr<TKyModules> TranslatorModules;
extern std::uint32_t TranslatedTypeKinds;  // 0: every kind
extern bool TranslatePositions;
extern std::uint8_t TranslatorFlags;
extern bool RightToLeftApplied;
extern TTranslatePropertyEvent OnTranslateProperty;
extern TPropertyTranslatedEvent OnPropertyTranslated;

// Start-up of the translator: the module list with the strings module, the settings and
// hooks cleared, and the right-to-left test that new forms ask.
void InitTranslator();
void DoneTranslator();

// One translation pass.
class TKyTranslator {
 public:
  TKyTranslator();
  // Translates one form, mirroring its layout around the pass when TranslatorFlags asks.
  void TranslateForm(TKyComponent* form);
  // A form or data module from the form resources of its class and its ancestors.
  void TranslateComponent(TKyComponent* component);
  // One named form resource of the active resource module (the class name when empty).
  void ReadComponentResource(TKyComponent* component, const String& resourceName = String());
  // The same for a stream in hand. Properties named in Overridden (component name, "" for the
  // root, then "." and the path) are left to a later resource.
  void ReadComponentStream(TKyComponent* component, const TFormRecord& record,
                           const std::set<std::string>* overridden = nullptr);

  TKyComponent* TargetComponent = nullptr;
  TKyComponent* RootComponent = nullptr;
  int ItemIndex = 0;
  String PropertyName;
  TPersistent* Instance = nullptr;
  String PropertyPath;
  const TPropInfo* PropertyInfo = nullptr;
  String SubPropertyName;
  std::vector<String> UnnamedClasses;
  bool BiDiChanged = false;

 private:
  void ReadComponentData(TKyComponent* owner, const TFormRecord& record, bool isRoot);
  const std::set<std::string>* Overridden_ = nullptr;
  void ReadProperty(TPersistent* object, const TFormProperty& property);
  void ReadValue(const TFormValue& value);
  void AssignValue(const TFormValue& value);
  void ReadCollection(const TFormValue& value);
  bool ShouldSkipProperty(const TPropValue& oldValue, TPropValue& newValue);
  TKyComponent* FindUnnamedComponent(TKyComponent* owner, const String& className, int index) const;
};

// One pass over every data module and form of the program.
void TranslateAllForms();
