// Registry on Win32: one RAII key handle, HKEY_LOCAL_MACHINE in the 32-bit view.
#include <vector>

#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/win/kywin.h"
#include "resstrings.h"

struct TRegistry::TOpenKey {
  TKeyHandle Handle;
};

namespace {
HKEY RootHandle(TRegRoot root) { return reinterpret_cast<HKEY>(root); }

REGSAM ViewFlags(TRegRoot root) { return root == rkLocalMachine ? KEY_WOW64_32KEY : 0; }

// Opens Path below Root with Access; an empty path opens the root itself.
LSTATUS OpenRaw(TRegRoot root, const String& path, REGSAM access, bool create, TKeyHandle& out) {
  HKEY h = nullptr;
  LSTATUS rc;
  if (create) {
    rc = RegCreateKeyExW(RootHandle(root), W(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                         access | ViewFlags(root), nullptr, &h, nullptr);
  } else {
    rc = RegOpenKeyExW(RootHandle(root), W(path), 0, access | ViewFlags(root), &h);
  }
  if (rc == ERROR_SUCCESS) out.Reset(h);
  return rc;
}
}  // namespace

TRegistry::TRegistry(TRegRoot root) : Root_(root) {}
TRegistry::~TRegistry() = default;

bool TRegistry::HasOpenKey() const { return Key_ != nullptr; }

void TRegistry::CloseKey() {
  Key_.reset();
  CurrentPath_.clear();
}

bool TRegistry::DoOpen(const String& fullPath, bool canCreate, bool readOnly) {
  auto key = std::make_unique<TOpenKey>();
  REGSAM access = readOnly ? KEY_READ : (KEY_READ | KEY_WRITE);
  if (OpenRaw(Root_, fullPath, access, canCreate && !readOnly, key->Handle) != ERROR_SUCCESS) return false;
  Key_ = std::move(key);
  CurrentPath_ = fullPath;
  return true;
}

bool TRegistry::KeyExists(const String& key) {
  TKeyHandle h;
  return OpenRaw(Root_, ResolvePath(key), KEY_READ, false, h) == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const String& name) {
  if (!Key_) return false;
  return RegQueryValueExW(Key_->Handle.Get(), W(name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

String TRegistry::ReadString(const String& name) {
  if (!Key_) return String();
  DWORD type = 0, size = 0;
  LSTATUS rc = RegQueryValueExW(Key_->Handle.Get(), W(name), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return String();
  if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(Format(SInvalidRegType, {name}));
  for (;;) {
    std::vector<BYTE> buf(size + sizeof(wchar_t));
    DWORD got = size;
    rc = RegQueryValueExW(Key_->Handle.Get(), W(name), nullptr, &type, buf.data(), &got);
    if (rc == ERROR_MORE_DATA) {
      size = got;
      continue;
    }
    if (rc != ERROR_SUCCESS) return String();
    String s(reinterpret_cast<const Char*>(buf.data()), got / sizeof(Char));
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
  }
}

void TRegistry::WriteString(const String& name, const String& value) {
  LSTATUS rc = ERROR_INVALID_HANDLE;
  if (Key_) {
    rc = RegSetValueExW(Key_->Handle.Get(), W(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(Char)));
  }
  if (rc != ERROR_SUCCESS) throw ERegistryException(Format(SRegSetDataFailed, {name}));
}

std::int32_t TRegistry::ReadInteger(const String& name, std::int32_t def) {
  if (!Key_) return def;
  DWORD type = 0, value = 0, size = sizeof value;
  LSTATUS rc = RegQueryValueExW(Key_->Handle.Get(), W(name), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (rc == ERROR_FILE_NOT_FOUND) return def;
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
    throw ERegistryException(Format(SInvalidRegType, {name}));
  return static_cast<std::int32_t>(value);
}

void TRegistry::WriteInteger(const String& name, std::int32_t value) {
  LSTATUS rc = ERROR_INVALID_HANDLE;
  DWORD v = static_cast<DWORD>(value);
  if (Key_) {
    rc = RegSetValueExW(Key_->Handle.Get(), W(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  if (rc != ERROR_SUCCESS) throw ERegistryException(Format(SRegSetDataFailed, {name}));
}

bool TRegistry::DeleteValue(const String& name) {
  return Key_ && RegDeleteValueW(Key_->Handle.Get(), W(name)) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(const String& key) {
  String path = ResolvePath(key);
  if (path.empty()) return false;
  size_t cut = path.rfind(u'\\');
  String parent = cut == String::npos ? String() : path.substr(0, cut);
  String leaf = cut == String::npos ? path : path.substr(cut + 1);
  TKeyHandle h;
  if (OpenRaw(Root_, parent, KEY_READ | KEY_WRITE, false, h) != ERROR_SUCCESS) return false;
  return RegDeleteKeyExW(h.Get(), W(leaf), ViewFlags(Root_), 0) == ERROR_SUCCESS;
}

namespace {
template <typename Enum>
void EnumNames(HKEY key, TStringList& list, Enum enumerate) {
  list.Clear();
  if (!key) return;
  std::vector<wchar_t> name(256);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    LSTATUS rc = enumerate(key, i, name.data(), &len);
    if (rc == ERROR_MORE_DATA) {
      name.resize(name.size() * 4);
      --i;
      if (name.size() > 65536) break;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    list.Add(FromW(name.data(), len));
  }
}
}  // namespace

void TRegistry::GetKeyNames(TStringList& list) {
  EnumNames(Key_ ? Key_->Handle.Get() : nullptr, list, [](HKEY k, DWORD i, wchar_t* buf, DWORD* len) {
    return RegEnumKeyExW(k, i, buf, len, nullptr, nullptr, nullptr, nullptr);
  });
}

void TRegistry::GetValueNames(TStringList& list) {
  EnumNames(Key_ ? Key_->Handle.Get() : nullptr, list, [](HKEY k, DWORD i, wchar_t* buf, DWORD* len) {
    return RegEnumValueW(k, i, buf, len, nullptr, nullptr, nullptr, nullptr);
  });
}
