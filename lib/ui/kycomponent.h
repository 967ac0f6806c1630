// The component model: components owned by their form and found by name, and a
// reflection table per class through which the form reader (and the translator)
// assign properties by path.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kytypes.h"

TV_DECLARE_EXCEPTION(EFormLoadError, EKyException)

// Property kinds, numbered as the translator's kind filter counts them.
enum TTypeKind : int {
  tkUnknown = 0, tkInteger = 1, tkChar = 2, tkEnumeration = 3, tkFloat = 4, tkString = 5, tkSet = 6,
  tkClass = 7, tkMethod = 8, tkWChar = 9, tkLString = 10, tkWString = 11, tkVariant = 12, tkArray = 13,
  tkRecord = 14, tkInterface = 15, tkInt64 = 16, tkDynArray = 17, tkUString = 18,
};
constexpr std::uint32_t StringTypeKinds = 0x00040C20;
bool IsStringKind(int kind);

class TPersistent;
class TKyComponent;

// A property value on its way in or out of an object.
struct TPropValue {
  std::int64_t Int = 0;          // integers, enumerations (ordinal), sets (bit mask), characters
  double Float = 0;
  String Text;                   // strings; the handler name of an event
  TPersistent* Object = nullptr; // class kind: the referenced object
  TKyComponent* Root = nullptr;  // the form whose handlers an event binds to
};

using TIdentTable = std::vector<std::pair<String, std::int64_t>>;

struct TPropInfo {
  String Name;
  TTypeKind Kind = tkUnknown;
  std::function<TPropValue(TPersistent&)> Get;
  std::function<void(TPersistent&, const TPropValue&)> Set;  // empty: read-only
  std::int64_t Min = INT32_MIN, Max = INT32_MAX;             // integer bounds
  const std::vector<String>* Names = nullptr;                // enumeration values, set elements
  const TIdentTable* Idents = nullptr;                        // identifiers of an integer type
};

class TClassInfo {
 public:
  TClassInfo(String name, const TClassInfo* parent, std::vector<TPropInfo> props)
      : Name(std::move(name)), Parent(parent), Props(std::move(props)) {}
  String Name;
  const TClassInfo* Parent;
  std::vector<TPropInfo> Props;
  // Searches this class, then its ancestors; names ignore case.
  const TPropInfo* FindProp(StringView name) const;
  bool InheritsFrom(StringView className) const;
};

class TPersistent {
 public:
  virtual ~TPersistent() = default;
  virtual const TClassInfo& ClassInfo() const = 0;
  String ClassName() const { return ClassInfo().Name; }
  const TPropInfo* FindProp(StringView name) const { return ClassInfo().FindProp(name); }
};

// An editable list of strings that a property exposes (Items, Lines); "Strings" is its item list.
class TKyStrings : public TPersistent {
 public:
  const TClassInfo& ClassInfo() const override;
  virtual int Count() const = 0;
  virtual String Get(int index) const = 0;
  virtual void Put(int index, const String& s) = 0;
  virtual int Add(const String& s) = 0;
  virtual void Clear() = 0;
  std::vector<String> ToVector() const;
  void Assign(const std::vector<String>& items);
};

// A plain string list held by an object.
class TKyStringVector : public TKyStrings {
 public:
  int Count() const override { return static_cast<int>(Items.size()); }
  String Get(int index) const override;
  void Put(int index, const String& s) override;
  int Add(const String& s) override;
  void Clear() override { Items.clear(); }
  std::vector<String> Items;
};

class TKyComponent : public TPersistent {
 public:
  explicit TKyComponent(TKyComponent* owner);
  // Frees the owned components, the last created first.
  ~TKyComponent() override;
  TKyComponent(const TKyComponent&) = delete;
  TKyComponent& operator=(const TKyComponent&) = delete;
  const TClassInfo& ClassInfo() const override;
  static const TClassInfo& StaticClassInfo();

  const String& Name() const { return Name_; }
  // EFormLoadError when the owner already has a component of that name.
  virtual void SetName(const String& name);
  TKyComponent* Owner() const { return Owner_; }
  int ComponentCount() const { return static_cast<int>(Components_.size()); }
  TKyComponent* Components(int index) const { return Components_.at(index); }
  // Owned component by name, ignoring case; null when absent.
  TKyComponent* FindComponent(StringView name) const;

  bool Loading() const { return Loading_; }
  // Called on every component once its form's resources were read.
  virtual void Loaded();
  // A component of the same form is about to be freed.
  virtual void Notification(TKyComponent* component) {}
  // The reader places a child record's component on its parent record's component.
  virtual void SetParentComponent(TKyComponent* parent) {}
  // Controls lay themselves out again after their texts changed behind their back
  // (the translator assigns captions and list items by reflection).
  virtual bool IsControl() const { return false; }
  virtual void TextChanged() {}
  // Forms mirror their windows for a right-to-left language; idempotent.
  virtual void MirrorLayout(bool rightToLeft) {}

  // Event handlers by name, for the events that form resources bind (value: the event's function type).
  void RegisterHandler(const String& name, std::any handler) { Handlers_[name] = std::move(handler); }
  const std::any* FindHandler(const String& name) const;

  String Tag;  // free for the program

 private:
  friend class TFormLoader;
  void Insert(TKyComponent* c) { Components_.push_back(c); }
  void Remove(TKyComponent* c);
  String Name_;
  TKyComponent* Owner_;
  std::vector<TKyComponent*> Components_;
  std::map<String, std::any> Handlers_;
  bool Loading_ = false;
  bool Destroying_ = false;
};

// A list of items that a form stream fills as a collection (items matched by position).
class TKyCollection : public TPersistent {
 public:
  virtual int Count() const = 0;
  virtual TPersistent* Items(int index) = 0;
};

// The open forms and data modules of the program, in creation order; each form adds and
// removes itself. The translator walks them.
struct TKyScreen {
  std::vector<TKyComponent*> Forms;
  std::vector<TKyComponent*> DataModules;
  void AddForm(TKyComponent* f) { Forms.push_back(f); }
  void RemoveForm(TKyComponent* f);
};
extern TKyScreen Screen;

// Whether new windows open mirrored (a right-to-left user-interface language); set by the
// language module, asked by each form as it is created.
extern std::function<bool()> RightToLeftLayoutTest;

// Classes that form resources may create, by class name.
using TComponentFactory = std::function<TKyComponent*(TKyComponent* owner)>;
void RegisterComponentClass(const String& className, TComponentFactory factory);
const TComponentFactory* FindComponentClass(StringView className);

// Binds an event property to a handler of the root (any_cast to the event's type).
template <class Event>
Event BindHandler(const TPropValue& v) {
  if (v.Text.empty() || !v.Root) return Event();
  const std::any* h = v.Root->FindHandler(v.Text);
  if (!h) return Event();
  if (const Event* e = std::any_cast<Event>(h)) return *e;
  return Event();
}

struct TFormRecord;

// Assigns one stream value to a property path of an object, converting as the property's
// kind requires. Throws EFormLoadError naming the path.
struct TFormValue;
void AssignFormValue(TPersistent& object, const std::string& path, const TFormValue& value, TKyComponent& root);

// Reads the records of one form resource into Root: the root record's properties go to Root;
// child records find their component by name, or create it through the class registry.
void ReadFormRecord(TKyComponent& root, const TFormRecord& record);
// Reads the form resources of Root's class and its ancestors, oldest first, from the current
// resource module, then calls Loaded on every component. False when no class has one.
bool ReadFormResources(TKyComponent& root);
// The same from streams in hand (class name, stream), oldest first.
void ReadFormStreams(TKyComponent& root, const std::vector<RawBytes>& streams);

// Helpers for building reflection tables.
namespace props {
template <class T>
TPropInfo Str(const char16_t* name, String (T::*get)() const, void (T::*set)(const String&)) {
  return {name, tkUString, [get](TPersistent& o) { TPropValue v; v.Text = (static_cast<T&>(o).*get)(); return v; },
          [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(v.Text); }};
}
template <class T>
TPropInfo Int(const char16_t* name, int (T::*get)() const, void (T::*set)(int), std::int64_t min = INT32_MIN,
              std::int64_t max = INT32_MAX, const TIdentTable* idents = nullptr) {
  TPropInfo p{name, tkInteger, [get](TPersistent& o) { TPropValue v; v.Int = (static_cast<T&>(o).*get)(); return v; },
              [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(static_cast<int>(v.Int)); }};
  p.Min = min;
  p.Max = max;
  p.Idents = idents;
  return p;
}
extern const std::vector<String> BooleanNames;
template <class T>
TPropInfo Bool(const char16_t* name, bool (T::*get)() const, void (T::*set)(bool)) {
  TPropInfo p{name, tkEnumeration, [get](TPersistent& o) { TPropValue v; v.Int = (static_cast<T&>(o).*get)(); return v; },
              [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(v.Int != 0); }};
  p.Names = &BooleanNames;
  return p;
}
template <class T, class E>
TPropInfo Enum(const char16_t* name, E (T::*get)() const, void (T::*set)(E), const std::vector<String>* names) {
  TPropInfo p{name, tkEnumeration,
              [get](TPersistent& o) { TPropValue v; v.Int = static_cast<int>((static_cast<T&>(o).*get)()); return v; },
              [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(static_cast<E>(v.Int)); }};
  p.Names = names;
  p.Min = 0;
  p.Max = static_cast<std::int64_t>(names->size()) - 1;
  return p;
}
template <class T>
TPropInfo Set(const char16_t* name, std::uint32_t (T::*get)() const, void (T::*set)(std::uint32_t),
              const std::vector<String>* names) {
  TPropInfo p{name, tkSet, [get](TPersistent& o) { TPropValue v; v.Int = (static_cast<T&>(o).*get)(); return v; },
              [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(static_cast<std::uint32_t>(v.Int)); }};
  p.Names = names;
  return p;
}
template <class T>
TPropInfo Float(const char16_t* name, double (T::*get)() const, void (T::*set)(double)) {
  return {name, tkFloat, [get](TPersistent& o) { TPropValue v; v.Float = (static_cast<T&>(o).*get)(); return v; },
          [set](TPersistent& o, const TPropValue& v) { (static_cast<T&>(o).*set)(v.Float); }};
}
// An object-valued property (Font, Items): read-only, followed by dotted paths.
template <class T, class O>
TPropInfo Object(const char16_t* name, O* (T::*get)()) {
  return {name, tkClass, [get](TPersistent& o) { TPropValue v; v.Object = (static_cast<T&>(o).*get)(); return v; }, {}};
}
// A reference to another component of the form, set by name.
template <class T, class C>
TPropInfo Ref(const char16_t* name, C* (T::*get)() const, void (T::*set)(C*)) {
  return {name, tkClass, [get](TPersistent& o) { TPropValue v; v.Object = (static_cast<T&>(o).*get)(); return v; },
          [set](TPersistent& o, const TPropValue& v) {
            C* c = v.Object ? dynamic_cast<C*>(v.Object) : nullptr;
            if (v.Object && !c) throw EConvertError(v.Object->ClassName());
            (static_cast<T&>(o).*set)(c);
          }};
}
// An event: the stream names the root's handler.
template <class T, class Event>
TPropInfo Event_(const char16_t* name, Event T::*field) {
  return {name, tkMethod, [](TPersistent&) { return TPropValue(); },
          [field, name](TPersistent& o, const TPropValue& v) {
            Event e = BindHandler<Event>(v);
            if (!e && !v.Text.empty()) throw EConvertError(v.Text);
            static_cast<T&>(o).*field = e;
          }};
}
}  // namespace props
