// In-memory registry for the native build, so that portable code that records
// registry changes can be tested. Names compare ignoring case, as on Windows.
#include <map>
#include <vector>

#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {
struct TValue {
  String Name;
  bool IsString = true;
  String Text;
  std::int32_t Number = 0;
};
struct TNode {
  String Name;  // as created
  std::vector<String> Children;  // upper-cased full paths, in creation order
  std::vector<TValue> Values;
  TValue* Find(const String& name) {
    for (auto& v : Values)
      if (SameText(v.Name, name)) return &v;
    return nullptr;
  }
};
// Nodes by root and upper-cased full path; the root itself is the empty path.
std::map<std::pair<TRegRoot, String>, TNode>& Store() {
  static std::map<std::pair<TRegRoot, String>, TNode> store;
  return store;
}
}  // namespace

void ClearNativeRegistry() { Store().clear(); }

namespace {
TNode& RootNode(TRegRoot root) { return Store()[{root, String()}]; }

TNode* Lookup(TRegRoot root, const String& path) {
  if (path.empty()) return &RootNode(root);
  auto it = Store().find({root, UpperCase(path)});
  return it == Store().end() ? nullptr : &it->second;
}

TNode* Create(TRegRoot root, const String& path) {
  TNode* parent = &RootNode(root);
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find(u'\\', pos);
    if (end == String::npos) end = path.size();
    if (end == pos) return nullptr;  // empty name
    String full = UpperCase(path.substr(0, end));
    auto [it, added] = Store().try_emplace({root, full});
    if (added) {
      it->second.Name = path.substr(pos, end - pos);
      parent->Children.push_back(full);
    }
    parent = &it->second;
    pos = end + 1;
  }
  return parent;
}
}  // namespace

struct TRegistry::TOpenKey {
  String Path;
  bool ReadOnly = false;
};

TRegistry::TRegistry(TRegRoot root) : Root_(root) {}
TRegistry::~TRegistry() = default;

bool TRegistry::HasOpenKey() const { return Key_ != nullptr; }

void TRegistry::CloseKey() {
  Key_.reset();
  CurrentPath_.clear();
}

bool TRegistry::DoOpen(const String& fullPath, bool canCreate, bool readOnly) {
  TNode* node = canCreate && !readOnly ? Create(Root_, fullPath) : Lookup(Root_, fullPath);
  if (!node) return false;
  Key_ = std::make_unique<TOpenKey>(TOpenKey{fullPath, readOnly});
  CurrentPath_ = fullPath;
  return true;
}

bool TRegistry::KeyExists(const String& key) { return Lookup(Root_, ResolvePath(key)) != nullptr; }

bool TRegistry::ValueExists(const String& name) {
  TNode* n = Key_ ? Lookup(Root_, Key_->Path) : nullptr;
  return n && n->Find(name);
}

String TRegistry::ReadString(const String& name) {
  TNode* n = Key_ ? Lookup(Root_, Key_->Path) : nullptr;
  TValue* v = n ? n->Find(name) : nullptr;
  if (!v) return String();
  if (!v->IsString) throw ERegistryException(Format(SInvalidRegType, {name}));
  return v->Text;
}

std::int32_t TRegistry::ReadInteger(const String& name, std::int32_t def) {
  TNode* n = Key_ ? Lookup(Root_, Key_->Path) : nullptr;
  TValue* v = n ? n->Find(name) : nullptr;
  if (!v) return def;
  if (v->IsString) throw ERegistryException(Format(SInvalidRegType, {name}));
  return v->Number;
}

namespace {
TValue* Writable(TRegRoot root, const TRegistry& reg, bool readOnly, const String& name) {
  TNode* n = reg.HasOpenKey() && !readOnly ? Lookup(root, reg.CurrentPath()) : nullptr;
  if (!n) throw ERegistryException(Format(SRegSetDataFailed, {name}));
  TValue* v = n->Find(name);
  if (!v) {
    TValue fresh;
    fresh.Name = name;
    n->Values.push_back(fresh);
    v = &n->Values.back();
  }
  return v;
}
}  // namespace

void TRegistry::WriteString(const String& name, const String& value) {
  TValue* v = Writable(Root_, *this, Key_ && Key_->ReadOnly, name);
  v->IsString = true;
  v->Text = value;
}

void TRegistry::WriteInteger(const String& name, std::int32_t value) {
  TValue* v = Writable(Root_, *this, Key_ && Key_->ReadOnly, name);
  v->IsString = false;
  v->Number = value;
}

bool TRegistry::DeleteValue(const String& name) {
  TNode* n = Key_ && !Key_->ReadOnly ? Lookup(Root_, Key_->Path) : nullptr;
  if (!n) return false;
  for (auto it = n->Values.begin(); it != n->Values.end(); ++it) {
    if (SameText(it->Name, name)) {
      n->Values.erase(it);
      return true;
    }
  }
  return false;
}

bool TRegistry::DeleteKey(const String& key) {
  String path = ResolvePath(key);
  TNode* n = path.empty() ? nullptr : Lookup(Root_, path);
  if (!n || !n->Children.empty()) return false;
  size_t cut = path.rfind(u'\\');
  TNode* parent = Lookup(Root_, cut == String::npos ? String() : path.substr(0, cut));
  String upper = UpperCase(path);
  if (parent) std::erase(parent->Children, upper);
  Store().erase({Root_, upper});
  return true;
}

void TRegistry::GetKeyNames(TStringList& list) {
  list.Clear();
  TNode* n = Key_ ? Lookup(Root_, Key_->Path) : nullptr;
  if (!n) return;
  for (const String& c : n->Children) list.Add(Store()[{Root_, c}].Name);
}

void TRegistry::GetValueNames(TStringList& list) {
  list.Clear();
  TNode* n = Key_ ? Lookup(Root_, Key_->Path) : nullptr;
  if (!n) return;
  for (const TValue& v : n->Values) list.Add(v.Name);
}
