// Helpers shared by the tests: a temporary folder removed with its contents.
#pragma once

#include <string>

#include "lib/core/kyfileutils.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"

class TTempDir {
 public:
  TTempDir() {
    String base = CreateTempFile(u"tvt");
    RemoveFile(base);
    Path_ = base;
    ForceDirectories(Path_);
  }
  ~TTempDir() { RemoveTree(Path_); }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const String& Path() const { return Path_; }
  String File(const String& name) const { return Path_ + PathDelimiter() + name; }

  static void RemoveTree(const String& dir) {
    for (const String& f : ListDirectory(dir, false)) {
      String full = dir + PathDelimiter() + f;
      SetFileReadOnly(full, false);
      RemoveFile(full);
    }
    for (const String& d : ListDirectory(dir, true)) RemoveTree(dir + PathDelimiter() + d);
    RemoveDir(dir);
  }

 private:
  String Path_;
};

inline RawBytes ReadAll(const String& fileName) {
  TMemoryStream m;
  m.LoadFromFile(fileName);
  return m.Bytes();
}

inline void WriteAll(const String& fileName, const RawBytes& bytes) {
  TFileStream f(fileName, fmCreate);
  f.WriteBuffer(bytes.data(), bytes.size());
}
