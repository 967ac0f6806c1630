// File-system helpers over the platform (Win32 or POSIX).
#pragma once

#include <cstdint>
#include <vector>

#include "lib/core/kytypes.h"

bool FileExists(const String& fileName);
bool DirectoryExists(const String& dir);
// Creates Dir with every missing parent; true when it exists afterwards.
bool ForceDirectories(const String& dir);
bool CreateDir(const String& dir);
bool RemoveDir(const String& dir);
bool RemoveFile(const String& fileName);
// Copies Source to Target; with FailIfExists an existing target is not replaced.
bool CopyFileTo(const String& source, const String& target, bool failIfExists);
bool RenameFile(const String& oldName, const String& newName);
// Moves Source over Target in one step, replacing a target that exists; both must lie on
// one volume. An existing target's permissions pass to the new file (POSIX).
bool MoveFileOver(const String& source, const String& target);
bool IsFileReadOnly(const String& fileName);
bool SetFileReadOnly(const String& fileName, bool readOnly);
std::int64_t GetFileSize(const String& fileName);  // -1 when it does not exist
// The system's folder for temporary files, with a trailing delimiter.
String GetTempDirectory();
// Creates a new empty file with a unique name in Dir (the temporary folder when empty)
// whose name starts with Prefix, and returns its full name.
String CreateTempFile(const String& prefix, const String& dir = String());
String GetCurrentDir();
// Names (not paths) of the entries in Dir matching a simple "*" pattern.
std::vector<String> ListDirectory(const String& dir, bool wantDirs);
// The folder delimiter of the platform.
Char PathDelimiter();
