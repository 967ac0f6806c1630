// Loading an uninstall log of any bytes: no crash, no hang, a clear error or records that
// are non-empty and free of line breaks; saving and loading again gives the same records.
// The uninstaller's reading of the same lines: a clear error, or paths that are plain and
// that the path rule lets out of the installation's folders only as shortcuts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyuninstall.h"
#include "uninstall/uninstaller.h"

namespace {
void CheckRecords(const TStringList& lines) {
  std::vector<TUninstallRecord> records;
  try {
    records = ParseUninstallLog(lines);
  } catch (const EUninstallLogError& e) {
    if (e.Message().empty()) std::abort();
    return;
  }
  static const String dir = u"C:\\Program Files\\Tramvelon 4";
  TUninstallFolders folders;
  folders.InstallDir = dir;
  folders.Desktop = u"C:\\Users\\Jo\\Desktop";
  folders.Programs = u"C:\\Users\\Jo\\Start Menu\\Programs";
  folders.Protected = {u"C:\\Program Files", u"C:\\Users\\Jo"};
  TPathRules rules(folders);
  for (const TUninstallRecord& r : records) {
    if (r.Kind != TRecordKind::File && r.Kind != TRecordKind::Dir) continue;
    String path = ResolveRecordPath(dir, r.Path);
    if (path.empty()) continue;
    if (NormalizePath(path) != path || path.find(u"\\..\\") != String::npos) std::abort();
    bool inside = IsSameOrBelow(path, dir);
    if (rules.MayRemoveDir(path) && !inside) std::abort();
    if (rules.MayRemoveFile(path) && !IsBelow(path, dir) && !EndsText(u".lnk", path)) std::abort();
  }
}

String ScratchFile() {
  static String name = Utf8ToString("/dev/shm/tv_fuzz_uninstall_" + std::to_string(getpid()) + ".dat");
  return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  const String file = ScratchFile();
  {
    TFileStream f(file, fmCreate);
    f.WriteBuffer(data, size);
  }
  TKyUninstallFile log;
  log.FileName = file;
  try {
    log.Load();
  } catch (const Exception& e) {
    // Undecodable text is refused with a message, never half-loaded.
    if (e.Message().empty()) std::abort();
    RemoveFile(file);
    return 0;
  }
  for (int i = 0; i < log.Lines.Count(); ++i) {
    const String& line = log.Lines[i];
    if (line.empty() || line.find_first_of(u"\r\n") != String::npos) std::abort();
  }
  CheckRecords(log.Lines);
  log.Save();
  TKyUninstallFile again;
  again.FileName = file;
  again.Load();
  if (again.Lines.Count() != log.Lines.Count()) std::abort();
  for (int i = 0; i < log.Lines.Count(); ++i) {
    // A lone surrogate from UTF-16 input has no UTF-8 form; any other line must survive.
    const String& line = log.Lines[i];
    bool surrogate = false;
    for (Char c : line) surrogate |= c >= 0xD800 && c <= 0xDFFF;
    if (!surrogate && again.Lines[i] != line) std::abort();
  }
  RemoveFile(file);
  return 0;
}
