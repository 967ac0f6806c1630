#include "lib/core/kyfilefinder.h"

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"

namespace {
class TCurrentDirScope {
 public:
  explicit TCurrentDirScope(const String& dir) : Saved_(GetCurrentDir()) { Changed_ = SetCurrentDir(dir); }
  ~TCurrentDirScope() {
    if (Changed_) SetCurrentDir(Saved_);
  }
  TCurrentDirScope(const TCurrentDirScope&) = delete;
  TCurrentDirScope& operator=(const TCurrentDirScope&) = delete;

 private:
  String Saved_;
  bool Changed_ = false;
};
}  // namespace

void TKyFileFinder::Find() {
  Files.Clear();
  if (Folder.empty()) return;
  TCurrentDirScope scope(Folder);
  for (const String& name : ListOrdinaryFiles(Folder, Mask)) {
    String full = Folder;
    if (!IsPathDelimiter(full.back())) full += PathDelimiter();
    Files.Add(full + name);
  }
}
