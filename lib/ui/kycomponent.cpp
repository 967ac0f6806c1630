#include "lib/ui/kycomponent.h"

#include <algorithm>

#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/ui/kyformstream.h"
#include "resstrings.h"

TKyScreen Screen;
std::function<bool()> RightToLeftLayoutTest;

void TKyScreen::RemoveForm(TKyComponent* f) { std::erase(Forms, f); }

bool IsStringKind(int kind) { return kind >= 0 && kind < 32 && (StringTypeKinds >> kind) & 1; }

const std::vector<String> props::BooleanNames = {u"False", u"True"};

const TPropInfo* TClassInfo::FindProp(StringView name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const auto& p : c->Props)
      if (SameText(p.Name, name)) return &p;
  return nullptr;
}

bool TClassInfo::InheritsFrom(StringView className) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (SameText(c->Name, className)) return true;
  return false;
}

const TClassInfo& TKyStrings::ClassInfo() const {
  static const TClassInfo info(u"TStrings", nullptr, {});
  return info;
}

std::vector<String> TKyStrings::ToVector() const {
  std::vector<String> v;
  for (int i = 0; i < Count(); ++i) v.push_back(Get(i));
  return v;
}

void TKyStrings::Assign(const std::vector<String>& items) {
  Clear();
  for (const auto& s : items) Add(s);
}

String TKyStringVector::Get(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  return Items[index];
}

void TKyStringVector::Put(int index, const String& s) {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  Items[index] = s;
}

int TKyStringVector::Add(const String& s) {
  Items.push_back(s);
  return Count() - 1;
}

TKyComponent::TKyComponent(TKyComponent* owner) : Owner_(owner) {
  if (owner) owner->Insert(this);
}

TKyComponent::~TKyComponent() {
  Destroying_ = true;
  while (!Components_.empty()) {
    TKyComponent* c = Components_.back();
    for (TKyComponent* other : Components_)
      if (other != c) other->Notification(c);
    Notification(c);
    delete c;  // removes itself from the list
  }
  if (Owner_) Owner_->Remove(this);
}

void TKyComponent::Remove(TKyComponent* c) {
  auto it = std::find(Components_.begin(), Components_.end(), c);
  if (it == Components_.end()) return;
  Components_.erase(it);
  // A component freed on its own: the others drop their references to it.
  if (!Destroying_) {
    for (TKyComponent* other : Components_) other->Notification(c);
    Notification(c);
  }
}

const TClassInfo& TKyComponent::StaticClassInfo() {
  static const TClassInfo info(
      u"TComponent", nullptr,
      {{u"Name", tkUString,
        [](TPersistent& o) { TPropValue v; v.Text = static_cast<TKyComponent&>(o).Name(); return v; },
        [](TPersistent& o, const TPropValue& v) { static_cast<TKyComponent&>(o).SetName(v.Text); }}});
  return info;
}

const TClassInfo& TKyComponent::ClassInfo() const { return StaticClassInfo(); }

void TKyComponent::SetName(const String& name) {
  if (SameText(name, Name_)) {
    Name_ = name;
    return;
  }
  if (Owner_ && !name.empty() && Owner_->FindComponent(name)) throw EFormLoadError(Format(SFormDuplicateName, {name}));
  Name_ = name;
}

TKyComponent* TKyComponent::FindComponent(StringView name) const {
  if (name.empty()) return nullptr;
  for (TKyComponent* c : Components_)
    if (SameText(c->Name_, name)) return c;
  return nullptr;
}

void TKyComponent::Loaded() { Loading_ = false; }

const std::any* TKyComponent::FindHandler(const String& name) const {
  auto it = Handlers_.find(name);
  return it == Handlers_.end() ? nullptr : &it->second;
}

namespace {

std::map<String, TComponentFactory>& Registry() {
  static std::map<String, TComponentFactory> r;
  return r;
}

String Upper(StringView s) { return UpperCase(s); }

String Ascii(const std::string& s) { return Utf8ToString(s); }

}  // namespace

void RegisterComponentClass(const String& className, TComponentFactory factory) {
  Registry()[Upper(className)] = std::move(factory);
}

const TComponentFactory* FindComponentClass(StringView className) {
  auto it = Registry().find(Upper(className));
  return it == Registry().end() ? nullptr : &it->second;
}

// Reads records into a root; references between components are resolved at the end,
// since a record may name a component that a later record creates.
class TFormLoader {
 public:
  explicit TFormLoader(TKyComponent& root) : Root_(root) {}

  void Read(const TFormRecord& rec) {
    Mark(Root_);
    Root_.Name_ = Ascii(rec.Name);  // the most derived class's resource comes last
    for (const auto& p : rec.Properties) Assign(Root_, Root_, p);
    for (const auto& c : rec.Children) Child(Root_, c);
  }

  void Finish() {
    for (auto& f : Fixups_) {
      TKyComponent* target = Root_.FindComponent(f.Name);
      if (!target && SameText(f.Name, Root_.Name())) target = &Root_;
      if (!target) throw EFormLoadError(Format(SFormLoadError, {f.Owner, f.Path, Format(SFormPropertyMissing, {f.Name})}));
      TPropValue v;
      v.Object = target;
      v.Root = &Root_;
      Set(*f.Object, *f.Prop, v, f.Owner, f.Path);
    }
    Fixups_.clear();
  }

  void AssignValue(TPersistent& object, const String& ownerName, const std::string& path, const TFormValue& value) {
    String wpath = Ascii(path);
    TPersistent* inst = &object;
    std::string last = path;
    size_t dot;
    size_t start = 0;
    while ((dot = path.find('.', start)) != std::string::npos) {
      String seg = Ascii(path.substr(start, dot - start));
      const TPropInfo* p = inst->FindProp(seg);
      if (!p || p->Kind != tkClass) throw EFormLoadError(Format(SFormLoadError, {ownerName, wpath, Format(SFormPropertyMissing, {seg})}));
      TPersistent* next = p->Get(*inst).Object;
      if (!next) return;  // nothing to assign to
      inst = next;
      start = dot + 1;
    }
    last = path.substr(start);
    String seg = Ascii(last);
    if (auto* list = dynamic_cast<TKyStrings*>(inst); list && SameText(seg, u"Strings")) {
      if (value.Type != TValueType::vaList) Bad(ownerName, wpath);
      std::vector<String> items;
      for (const auto& i : value.Items) {
        if (!i.IsText()) Bad(ownerName, wpath);
        items.push_back(i.AsText());
      }
      list->Assign(items);
      return;
    }
    const TPropInfo* p = inst->FindProp(seg);
    if (!p || !p->Set) throw EFormLoadError(Format(SFormLoadError, {ownerName, wpath, Format(SFormPropertyMissing, {seg})}));
    TPropValue v;
    v.Root = &Root_;
    switch (p->Kind) {
      case tkInteger: case tkInt64: case tkChar: case tkWChar:
        if (value.IsInteger()) v.Int = value.Int;
        else if (value.Type == TValueType::vaIdent && p->Idents) {
          String id = Ascii(value.Bytes);
          auto it = std::find_if(p->Idents->begin(), p->Idents->end(), [&](const auto& e) { return SameText(e.first, id); });
          if (it == p->Idents->end()) Bad(ownerName, wpath);
          v.Int = it->second;
        } else if ((p->Kind == tkChar || p->Kind == tkWChar) && value.IsText() && value.AsText().size() == 1) {
          v.Int = value.AsText()[0];
        } else {
          Bad(ownerName, wpath);
        }
        if (v.Int < p->Min || v.Int > p->Max) {
          throw EFormLoadError(Format(SFormLoadError, {ownerName, wpath, LoadResString(SRangeError)}));
        }
        break;
      case tkEnumeration:
        if (value.Type == TValueType::vaTrue || value.Type == TValueType::vaFalse) {
          v.Int = value.Type == TValueType::vaTrue;
        } else if (value.Type == TValueType::vaIdent && p->Names) {
          v.Int = NameIndex(*p->Names, value.Bytes, ownerName, wpath);
        } else if (value.IsInteger()) {
          v.Int = value.Int;
        } else {
          Bad(ownerName, wpath);
        }
        if (v.Int < p->Min || v.Int > p->Max) {
          throw EFormLoadError(Format(SFormLoadError, {ownerName, wpath, LoadResString(SRangeError)}));
        }
        break;
      case tkSet:
        if (value.Type != TValueType::vaSet || !p->Names) Bad(ownerName, wpath);
        for (const auto& e : value.SetElements) v.Int |= std::int64_t{1} << NameIndex(*p->Names, e, ownerName, wpath);
        break;
      case tkFloat:
        if (value.IsFloat()) v.Float = value.Type == TValueType::vaCurrency ? value.Int / 10000.0 : value.Float;
        else if (value.IsInteger()) v.Float = static_cast<double>(value.Int);
        else Bad(ownerName, wpath);
        break;
      case tkString: case tkLString: case tkWString: case tkUString:
        if (!value.IsText()) Bad(ownerName, wpath);
        v.Text = value.AsText();
        break;
      case tkMethod:
        if (value.Type == TValueType::vaNil) break;
        if (value.Type != TValueType::vaIdent) Bad(ownerName, wpath);
        v.Text = Ascii(value.Bytes);
        if (!Root_.FindHandler(v.Text))
          throw EFormLoadError(Format(SFormLoadError, {ownerName, wpath, Format(SFormHandlerMissing, {v.Text})}));
        break;
      case tkClass:
        if (value.Type == TValueType::vaNil) break;
        if (value.Type != TValueType::vaIdent) Bad(ownerName, wpath);
        Fixups_.push_back({inst, p, Ascii(value.Bytes), ownerName, wpath});
        return;
      default:
        Bad(ownerName, wpath);
    }
    Set(*inst, *p, v, ownerName, wpath);
  }

 private:
  struct TFixup {
    TPersistent* Object;
    const TPropInfo* Prop;
    String Name;
    String Owner;
    String Path;
  };

  [[noreturn]] void Bad(const String& owner, const String& path) {
    String comp = owner, prop = path;
    throw EFormLoadError(Format(SFormPropertyValue, {comp, prop}));
  }

  int NameIndex(const std::vector<String>& names, const std::string& id, const String& owner, const String& path) {
    String w = Ascii(id);
    for (size_t i = 0; i < names.size(); ++i)
      if (SameText(names[i], w)) return static_cast<int>(i);
    Bad(owner, path);
  }

  void Set(TPersistent& obj, const TPropInfo& p, const TPropValue& v, const String& owner, const String& path) {
    try {
      p.Set(obj, v);
    } catch (const EFormLoadError&) {
      throw;
    } catch (const Exception& e) {
      throw EFormLoadError(Format(SFormLoadError, {owner, path, e.Message()}));
    }
  }

  void Mark(TKyComponent& c) { c.Loading_ = true; }

  void Assign(TKyComponent& owner, TPersistent& obj, const TFormProperty& p) {
    AssignValue(obj, owner.Name().empty() ? owner.ClassName() : owner.Name(), p.Path, p.Value);
  }

  void Child(TKyComponent& parent, const TFormRecord& rec) {
    String name = Ascii(rec.Name);
    String cls = Ascii(rec.ClassName);
    TKyComponent* c = Root_.FindComponent(name);
    if (!c) {
      const TComponentFactory* f = FindComponentClass(cls);
      if (!f) throw EFormLoadError(Format(SFormClassUnknown, {cls}));
      c = (*f)(&Root_);
      c->SetName(name);
    } else if (!c->ClassInfo().InheritsFrom(cls)) {
      throw EFormLoadError(Format(SFormLoadError, {name, cls, Format(SFormClassUnknown, {cls})}));
    }
    Mark(*c);
    if (&parent != c) c->SetParentComponent(&parent);
    for (const auto& p : rec.Properties) Assign(*c, *c, p);
    for (const auto& ch : rec.Children) Child(*c, ch);
  }

  TKyComponent& Root_;
  std::vector<TFixup> Fixups_;
};

void AssignFormValue(TPersistent& object, const std::string& path, const TFormValue& value, TKyComponent& root) {
  TFormLoader l(root);
  String owner;
  if (auto* c = dynamic_cast<TKyComponent*>(&object)) owner = c->Name();
  l.AssignValue(object, owner, path, value);
  l.Finish();
}

void ReadFormRecord(TKyComponent& root, const TFormRecord& record) {
  TFormLoader l(root);
  l.Read(record);
  l.Finish();
}

namespace {
void CallLoaded(TKyComponent& root) {
  for (int i = 0; i < root.ComponentCount(); ++i) root.Components(i)->Loaded();
  root.Loaded();
}
}  // namespace

void ReadFormStreams(TKyComponent& root, const std::vector<RawBytes>& streams) {
  for (const auto& s : streams) ReadFormRecord(root, ReadFormStream(s));
  CallLoaded(root);
}

bool ReadFormResources(TKyComponent& root) {
  std::vector<String> chain;
  for (const TClassInfo* c = &root.ClassInfo(); c; c = c->Parent) {
    if (!HasResource(GetResourceHandle(), c->Name, u"#10")) break;
    chain.insert(chain.begin(), c->Name);
  }
  std::vector<RawBytes> streams;
  for (const auto& name : chain) {
    auto s = OpenResourceStream(GetResourceHandle(), name, u"#10");
    streams.emplace_back(reinterpret_cast<const char*>(s->Memory()), static_cast<size_t>(s->Size()));
  }
  ReadFormStreams(root, streams);
  return !chain.empty();
}
