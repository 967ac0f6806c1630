#include "lib/locale/kytranslator.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"
#include "lib/locale/kylanguage.h"
#include "resstrings.h"

TV_DECLARE_EXCEPTION(ETranslatorError, EKyException)

std::unique_ptr<TKyModules> TranslatorModules;
std::uint32_t TranslatedTypeKinds = 0;
bool TranslatePositions = false;
std::uint8_t TranslatorFlags = 0;
bool RightToLeftApplied = false;
TTranslatePropertyEvent OnTranslateProperty;
TPropertyTranslatedEvent OnPropertyTranslated;

void InitTranslator() {
  TranslatorModules = std::make_unique<TKyModules>();
  TranslatorModules->RegisterModule<TKyStringsModule>();
  TranslatedTypeKinds = 0;
  TranslatePositions = false;
  TranslatorFlags = 0;
  OnTranslateProperty = nullptr;
  OnPropertyTranslated = nullptr;
  RightToLeftLayoutTest = [] { return IsActiveLanguageRightToLeft(); };
}

void DoneTranslator() {
  TranslatorModules.reset();
  RightToLeftLayoutTest = nullptr;
}

// ---- modules ----------------------------------------------------------------------

TKyModule* TKyModules::FindModule(TPersistent* object) const {
  for (const auto& m : Items_)
    if (m->Supports(object)) return m.get();
  return nullptr;
}

TPersistent* TKyModules::FindObject(TPersistent* object, const String& name) const {
  for (const auto& m : Items_)
    if (TPersistent* o = m->FindObject(object, name)) return o;
  return nullptr;
}

String TKyModules::FindPropertyName(TPersistent* object, const String& name) const {
  for (const auto& m : Items_) {
    String n = m->FindPropertyName(object, name);
    if (!n.empty()) return n;
  }
  return String();
}

bool TKyStringsModule::Supports(TPersistent* object) { return dynamic_cast<TKyStrings*>(object) != nullptr; }

namespace {
// A list control keeps its selection when its texts change.
struct TSelectionKeeper {
  explicit TSelectionKeeper(TKyComponent* c) : List(c) {
    if (List && List->FindProp(u"ItemIndex")) Index = List->FindProp(u"ItemIndex")->Get(*List).Int;
  }
  void Restore() {
    if (!List) return;
    const TPropInfo* p = List->FindProp(u"ItemIndex");
    if (p && p->Set && p->Get(*List).Int != Index) {
      TPropValue v;
      v.Int = Index;
      p->Set(*List, v);
    }
  }
  TKyComponent* List;
  std::int64_t Index = -1;
};
}  // namespace

void TKyStringsModule::TranslateItem(TKyComponent* component, TPersistent* object, int index, const TFormValue& value,
                                     const String&) {
  auto* list = static_cast<TKyStrings*>(object);
  if (index < 0 || index >= list->Count() || !value.IsText()) return;
  TPropValue oldValue, newValue;
  oldValue.Text = list->Get(index);
  newValue.Text = value.AsText();
  TKyComponent* root = component;
  if (component && component->Owner() &&
      std::find(Screen.Forms.begin(), Screen.Forms.end(), component->Owner()) != Screen.Forms.end())
    root = component->Owner();
  bool skip = false;
  if (OnTranslateProperty) OnTranslateProperty(root, object, nullptr, oldValue, newValue, skip);
  if (skip || newValue.Text == oldValue.Text) return;
  TSelectionKeeper keep(component && component->IsControl() ? component : nullptr);
  list->Put(index, newValue.Text);
  keep.Restore();
  if (OnPropertyTranslated) OnPropertyTranslated(root, object, nullptr);
}

// ---- the pass ---------------------------------------------------------------------

TKyTranslator::TKyTranslator() = default;

void TranslateAllForms() {
  TKyTranslator t;
  bool rtl = IsActiveLanguageRightToLeft();
  if (rtl != RightToLeftApplied) {
    t.BiDiChanged = true;
    RightToLeftApplied = rtl;
  }
  // Copies: a form may open or close another while its texts change.
  std::vector<TKyComponent*> modules = Screen.DataModules, forms = Screen.Forms;
  for (TKyComponent* m : modules) t.TranslateComponent(m);
  for (TKyComponent* f : forms) t.TranslateForm(f);
}

void TKyTranslator::TranslateForm(TKyComponent* form) {
  bool mirror = (TranslatorFlags & tfMirrorLayout) != 0;
  if (mirror && WasPreviousLanguageRightToLeft()) form->MirrorLayout(false);
  TranslateComponent(form);
  if (mirror && IsActiveLanguageRightToLeft()) form->MirrorLayout(true);
}

namespace {
// The properties that a resource sets, as "component.path" ("" for the root's component).
void CollectKeys(const TFormRecord& r, bool isRoot, std::set<std::string>& keys) {
  if (!isRoot && r.Name.empty()) return;  // unnamed records are matched by position, not by name
  std::string who = isRoot ? std::string() : r.Name;
  for (auto& c : who) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const auto& p : r.Properties) keys.insert(who + "." + p.Path);
  for (const auto& c : r.Children) CollectKeys(c, false, keys);
}

std::optional<TFormRecord> ReadResource(const String& name) {
  if (!HasResource(GetResourceHandle(), name, u"#10")) return std::nullopt;
  auto stream = OpenResourceStream(GetResourceHandle(), name, u"#10");
  if (!HasFormSignature(stream->Memory(), static_cast<size_t>(stream->Size()))) return std::nullopt;
  return ReadFormStream(stream->Memory(), static_cast<size_t>(stream->Size()));
}
}  // namespace

void TKyTranslator::TranslateComponent(TKyComponent* component) {
  std::vector<String> chain;
  for (const TClassInfo* c = &component->ClassInfo(); c; c = c->Parent) {
    if (!HasResource(GetResourceHandle(), c->Name, u"#10")) break;
    chain.insert(chain.begin(), c->Name);
  }
  // Oldest first, so that a descendant's values win; a value that a descendant sets again is
  // not assigned on the way (a form would otherwise take its ancestor's size for a moment).
  std::vector<std::optional<TFormRecord>> records;
  for (const String& name : chain) records.push_back(ReadResource(name));
  std::set<std::string> later;
  std::vector<std::set<std::string>> overridden(records.size());
  for (size_t i = records.size(); i-- > 0;) {
    overridden[i] = later;
    if (records[i]) CollectKeys(*records[i], true, later);
  }
  for (size_t i = 0; i < records.size(); ++i)
    if (records[i]) ReadComponentStream(component, *records[i], &overridden[i]);
}

void TKyTranslator::ReadComponentResource(TKyComponent* component, const String& resourceName) {
  if (auto record = ReadResource(resourceName.empty() ? component->ClassName() : resourceName))
    ReadComponentStream(component, *record);
}

void TKyTranslator::ReadComponentStream(TKyComponent* component, const TFormRecord& record,
                                        const std::set<std::string>* overridden) {
  RootComponent = component;
  Overridden_ = overridden;
  ReadComponentData(nullptr, record, true);
  Overridden_ = nullptr;
}

TKyComponent* TKyTranslator::FindUnnamedComponent(TKyComponent* owner, const String& className, int index) const {
  if (!owner) return nullptr;
  int n = 0;
  for (int i = 0; i < owner->ComponentCount(); ++i) {
    TKyComponent* c = owner->Components(i);
    if (!c->Name().empty() || c->ClassName() != className) continue;
    if (n++ == index) return c;
  }
  return nullptr;
}

void TKyTranslator::ReadComponentData(TKyComponent* owner, const TFormRecord& record, bool isRoot) {
  String name = Utf8ToString(record.Name);
  String cls = Utf8ToString(record.ClassName);
  TKyComponent* target = nullptr;
  if (isRoot) {
    target = RootComponent;
  } else if (owner) {
    if (!name.empty()) {
      target = owner->FindComponent(name);
      if (!target) target = RootComponent->FindComponent(name);
    } else {
      int count = static_cast<int>(std::count(UnnamedClasses.begin(), UnnamedClasses.end(), cls));
      UnnamedClasses.push_back(cls);
      target = FindUnnamedComponent(owner, cls, count);
      if (!target) target = FindUnnamedComponent(RootComponent, cls, count);
    }
  }
  TargetComponent = target;
  std::string who;
  if (Overridden_ && (isRoot || !record.Name.empty())) {
    who = isRoot ? std::string() : record.Name;
    for (auto& c : who) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (const auto& p : record.Properties) {
    if (Overridden_ && (isRoot || !record.Name.empty()) && Overridden_->count(who + "." + p.Path)) continue;
    ReadProperty(target, p);
  }
  for (const auto& child : record.Children) ReadComponentData(target, child, false);
  if (target && target->IsControl()) target->TextChanged();
}

void TKyTranslator::ReadProperty(TPersistent* object, const TFormProperty& property) {
  PropertyName = PropertyPath = Utf8ToString(property.Path);
  SubPropertyName.clear();
  Instance = object;
  PropertyInfo = nullptr;
  if (object) {
    PropertyInfo = object->FindProp(PropertyPath);
    if (!PropertyInfo) {
      if (PropertyPath.find(u'.') == String::npos) {
        String other = TranslatorModules ? TranslatorModules->FindPropertyName(object, PropertyPath) : String();
        if (!other.empty() && other != PropertyPath) PropertyInfo = object->FindProp(other);
      } else {
        TPersistent* inst = object;
        size_t start = 0, dot;
        while ((dot = PropertyPath.find(u'.', start)) != String::npos) {
          String segment = PropertyPath.substr(start, dot - start);
          const TPropInfo* p = inst->FindProp(segment);
          if (!p) throw ETranslatorError(Format(SFormPropertyMissing, {segment}));
          inst = p->Kind == tkClass ? p->Get(*inst).Object : nullptr;
          if (!inst) {  // nothing to assign to: the value is read and dropped
            Instance = nullptr;
            ReadValue(property.Value);
            return;
          }
          start = dot + 1;
        }
        Instance = inst;
        SubPropertyName = PropertyPath.substr(start);
        PropertyInfo = inst->FindProp(SubPropertyName);
      }
    }
  }
  ReadValue(property.Value);
}

void TKyTranslator::ReadValue(const TFormValue& value) {
  switch (value.Type) {
    case TValueType::vaList:
      ItemIndex = 0;
      for (const auto& item : value.Items) {
        ReadValue(item);
        ++ItemIndex;
      }
      return;
    case TValueType::vaCollection:
      ReadCollection(value);
      return;
    case TValueType::vaNull: case TValueType::vaNil: case TValueType::vaSet: case TValueType::vaDate:
    case TValueType::vaInt64:
      return;
    default:
      break;
  }
  if (value.IsEmpty() || !Instance) return;
  if (PropertyInfo) {
    try {
      AssignValue(value);
    } catch (const ETranslatorError&) {
      throw;
    } catch (const Exception& e) {
      throw ETranslatorError(Format(SCouldNotTranslate, {Instance->ClassName(), PropertyName, e.Message()}));
    } catch (const std::exception& e) {
      throw ETranslatorError(Format(SCouldNotTranslate, {Instance->ClassName(), PropertyName, Utf8ToString(e.what())}));
    }
    return;
  }
  if (!TranslatorModules) return;
  if (TKyModule* m = TranslatorModules->FindModule(Instance))
    m->TranslateItem(TargetComponent, Instance, ItemIndex, value, PropertyPath);
}

namespace {
std::int64_t CheckRange(const TPropInfo& p, std::int64_t v) {
  if (v < p.Min || v > p.Max) throw ERangeError(LoadResString(SRangeError));
  return v;
}

// The stream value as the property's type; false when the two cannot be compared.
bool ConvertValue(const TPropInfo& p, const TFormValue& value, TPropValue& out) {
  switch (p.Kind) {
    case tkInteger: case tkInt64:
      if (value.IsInteger()) {
        out.Int = CheckRange(p, value.Int);
        return true;
      }
      if (value.Type == TValueType::vaIdent && p.Idents) {
        String id = Utf8ToString(value.Bytes);
        for (const auto& [name, v] : *p.Idents)
          if (SameText(name, id)) {
            out.Int = CheckRange(p, v);
            return true;
          }
        throw EConvertError(Format(SInvalidInteger, {id}));
      }
      return false;
    case tkChar: case tkWChar:
      if (value.IsInteger()) {
        out.Int = CheckRange(p, value.Int);
        return true;
      }
      if (value.IsText() && value.AsText().size() == 1) {
        out.Int = value.AsText()[0];
        return true;
      }
      return false;
    case tkEnumeration:
      if (value.Type == TValueType::vaTrue || value.Type == TValueType::vaFalse) {
        out.Int = value.Type == TValueType::vaTrue;
        return true;
      }
      if (value.Type == TValueType::vaIdent && p.Names) {
        String id = Utf8ToString(value.Bytes);
        for (size_t i = 0; i < p.Names->size(); ++i)
          if (SameText((*p.Names)[i], id)) {
            out.Int = static_cast<std::int64_t>(i);
            return true;
          }
        throw EConvertError(Format(SFormPropertyMissing, {id}));
      }
      if (value.IsInteger()) {
        out.Int = CheckRange(p, value.Int);
        return true;
      }
      return false;
    case tkFloat:
      if (value.IsFloat()) {
        out.Float = value.Type == TValueType::vaCurrency ? value.Int / 10000.0 : value.Float;
        return true;
      }
      return false;
    case tkString: case tkLString: case tkWString: case tkUString:
      if (!value.IsText()) return false;
      out.Text = value.AsText();
      return true;
    default:  // references, events, sets: nothing to translate
      return false;
  }
}

bool SameValue(const TPropInfo& p, const TPropValue& a, const TPropValue& b) {
  if (IsStringKind(p.Kind)) return a.Text == b.Text;
  if (p.Kind == tkFloat) return a.Float == b.Float;
  return a.Int == b.Int;
}
}  // namespace

void TKyTranslator::AssignValue(const TFormValue& value) {
  const TPropInfo& p = *PropertyInfo;
  if (!p.Set || !p.Get) return;
  TPropValue newValue;
  if (!ConvertValue(p, value, newValue)) return;
  TPropValue oldValue = p.Get(*Instance);
  if (SameValue(p, oldValue, newValue)) return;
  if (ShouldSkipProperty(oldValue, newValue)) return;
  newValue.Root = RootComponent;
  p.Set(*Instance, newValue);
  if (OnPropertyTranslated) OnPropertyTranslated(RootComponent, Instance, PropertyInfo);
}

bool TKyTranslator::ShouldSkipProperty(const TPropValue& oldValue, TPropValue& newValue) {
  bool skip = false;
  if (PropertyName != u"Charset" && TranslatedTypeKinds != 0) {
    int kind = PropertyInfo ? PropertyInfo->Kind : tkUnknown;
    if (!(BiDiChanged && kind == tkInteger))
      skip = kind < 0 || kind > 31 || !((TranslatedTypeKinds >> kind) & 1);
  }
  if (!skip) {
    if (Instance == RootComponent) {
      if (!TranslatePositions && (PropertyName == u"Position" || PropertyName == u"Left" || PropertyName == u"Top"))
        skip = true;
    } else if (PropertyName == u"ConnectionString") {
      skip = true;
    }
  }
  if (OnTranslateProperty) OnTranslateProperty(RootComponent, Instance, PropertyInfo, oldValue, newValue, skip);
  return skip;
}

void TKyTranslator::ReadCollection(const TFormValue& value) {
  TKyCollection* collection = nullptr;
  if (Instance) {
    const TPropInfo* p = PropertyInfo;
    if (!p) p = Instance->FindProp(PropertyName);
    if (!p && !SubPropertyName.empty()) p = Instance->FindProp(SubPropertyName);
    TPersistent* object = nullptr;
    if (p) {
      if (p->Kind != tkClass) throw ETranslatorError(LoadResString(SInvalidData));
      object = p->Get(*Instance).Object;
    } else if (TranslatorModules) {
      object = TranslatorModules->FindObject(Instance, PropertyName);
    }
    collection = dynamic_cast<TKyCollection*>(object);
  }
  const String path = PropertyName;
  for (size_t i = 0; i < value.Collection.size(); ++i) {
    TPersistent* item = collection && static_cast<int>(i) < collection->Count() ? collection->Items(static_cast<int>(i)) : nullptr;
    for (const auto& p : value.Collection[i].Properties) ReadProperty(item, p);
  }
  PropertyName = PropertyPath = path;
}
