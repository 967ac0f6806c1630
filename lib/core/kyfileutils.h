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
// Copies Source to Target, replacing it; with CreateFolder the target's folder is made first.
bool CopyFileTo(const String& source, const String& target, bool createFolder);
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
// Creates a new file named Prefix and a unique part in Folder, writes the bytes to it and
// deletes it again; false when any step fails (the folder takes no new files).
bool WriteAndDeleteTempFile(const String& folder, const String& prefix, const void* data, size_t size);
String GetCurrentDir();
bool SetCurrentDir(const String& dir);
// Names of the ordinary files (not folders, not hidden, not system) directly in Dir that
// match Mask ("*" and "?", ignoring case), in the order the file system returns them.
std::vector<String> ListOrdinaryFiles(const String& dir, const String& mask);
// True when Name matches a "*" and "?" pattern, ignoring case.
bool MatchesMask(StringView name, StringView mask);
// Names (not paths) of the entries in Dir matching a simple "*" pattern.
std::vector<String> ListDirectory(const String& dir, bool wantDirs);
// Files can be created in Dir: for an existing folder a temporary file is created, written
// and deleted; a missing folder needs an existing parent in which it can be created.
bool IsDirectoryWritable(const String& dir);
// Bytes available to the current user on the volume of Dir; 0 when the system cannot tell.
std::int64_t GetDiskFreeBytes(const String& dir);
// The folder delimiter of the platform.
Char PathDelimiter();
