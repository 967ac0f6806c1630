// The uninstall log: every file, folder, registry key and value and foreign text line
// that a setup run adds, one record per line, read back by the uninstaller.
#pragma once

#include <unordered_map>

#include "lib/core/kyregistry.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

class TKyUninstallFile {
 public:
  // Full path of the log file.
  String FileName;
  // The records, in order.
  TStringList Lines;

  // Replaces Lines with the non-empty lines of FileName when it exists.
  void Load();
  // Writes Lines to FileName as UTF-8 with a byte-order mark, CR LF after every line,
  // replacing the file whole or not at all.
  void Save();
  // Folder of FileName, without a trailing backslash.
  String GetFolder() const;
  // Path made relative to the log's folder (absolute on another drive), no trailing backslash.
  String RelativePath(const String& path) const;

  // Adds Line unless it is empty or an equal record (ignoring case) exists.
  void AddLine(const String& line);
  void AddDir(const String& dir);
  void AddFile(const String& fileName);
  // AddFile only when no file of that name exists yet.
  void AddNewFile(const String& fileName);
  void AddRegKey(const TRegistry& registry, const String& key);
  // AddRegKey only when Key does not exist below the registry's root yet.
  void AddNewRegKey(TRegistry& registry, const String& key);
  // AddNewRegKey for every level of Key from the top down, so that keys created on the way
  // to Key are taken back too.
  void AddNewRegKeyLevels(TRegistry& registry, const String& key);
  // Name and PreviousValue belong to the key open in Registry.
  void AddRegValue(const TRegistry& registry, const String& name, const String& previousValue);
  // Records the current value of Name when it differs from NewValue, and the empty previous
  // value when Name does not exist yet (so that an empty new value goes again too); raises
  // the registry's error for a value that is not a string.
  void AddRegValueIfChanged(TRegistry& registry, const String& name, const String& newValue);
  void AddLineEntry(const String& textFile, const String& line);
  // AddLineEntry only when TextFile holds no line equal to Line ignoring case.
  void AddLineIfMissing(const String& textFile, const String& line);

 private:
  // Where each record is, by its text in upper case, for the duplicate check of AddLine: a
  // run of thousands of files would otherwise compare each new record with all before it.
  // Lines may be changed from outside: the index is made again when it no longer counts as
  // many records, and a record it points to is compared before it counts as found (so no
  // record is ever dropped; one changed in place may at worst be recorded twice, which the
  // uninstaller takes back twice without harm).
  std::unordered_map<String, int> Index_;
  int IndexedCount_ = 0;
  void IndexLines();
};
