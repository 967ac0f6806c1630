// Registry access: one open key below a root key, string values, key enumeration.
// HKEY_LOCAL_MACHINE is always opened in the 32-bit view.
#pragma once

#include <cstdint>
#include <memory>

#include "lib/core/kyexceptions.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

// Predefined root keys, with the values of the Win32 handles.
using TRegRoot = std::uintptr_t;
inline constexpr TRegRoot rkClassesRoot = 0x80000000u;
inline constexpr TRegRoot rkCurrentUser = 0x80000001u;
inline constexpr TRegRoot rkLocalMachine = 0x80000002u;
inline constexpr TRegRoot rkUsers = 0x80000003u;
inline constexpr TRegRoot rkPerformanceData = 0x80000004u;
inline constexpr TRegRoot rkCurrentConfig = 0x80000005u;
inline constexpr TRegRoot rkDynData = 0x80000006u;

// "HKEY_LOCAL_MACHINE" and so on; empty for any other root.
String RootKeyName(TRegRoot root);

TV_DECLARE_EXCEPTION(ERegistryException, Exception)

#ifndef _WIN32
// Empties the in-memory registry of the native build (tests).
void ClearNativeRegistry();
#endif

class TRegistry {
 public:
  explicit TRegistry(TRegRoot root = rkCurrentUser);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  TRegRoot RootKey() const { return Root_; }
  // Closes the open key.
  void SetRootKey(TRegRoot root);

  // A key beginning with a backslash is taken from the root, any other from the open key.
  // On failure the previously open key stays open.
  bool OpenKey(const String& key, bool canCreate);
  bool OpenKeyReadOnly(const String& key);
  void CloseKey();
  bool HasOpenKey() const;
  // Path of the open key relative to the root, without a leading backslash.
  const String& CurrentPath() const { return CurrentPath_; }

  bool KeyExists(const String& key);
  bool ValueExists(const String& name);
  // Empty when the value is absent; ERegistryException for a value that is not a string.
  String ReadString(const String& name);
  // Def when the value is absent; ERegistryException for a value that is not a DWORD.
  std::int32_t ReadInteger(const String& name, std::int32_t def = 0);
  // ERegistryException when the value cannot be written.
  void WriteString(const String& name, const String& value);
  void WriteInteger(const String& name, std::int32_t value);
  bool DeleteValue(const String& name);
  // Deletes the key (which must have no subkeys on Windows XP) relative as OpenKey.
  bool DeleteKey(const String& key);
  // Names of the subkeys and values of the open key, in the system's order.
  void GetKeyNames(TStringList& list);
  void GetValueNames(TStringList& list);

 private:
  struct TOpenKey;
  // Full path from the root for Key, as OpenKey resolves it.
  String ResolvePath(const String& key) const;
  bool DoOpen(const String& fullPath, bool canCreate, bool readOnly);

  TRegRoot Root_;
  std::unique_ptr<TOpenKey> Key_;
  String CurrentPath_;
};
