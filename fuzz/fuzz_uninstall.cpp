// Loading an uninstall log of any bytes: no crash, no hang, a clear error or records that
// are non-empty and free of line breaks; saving and loading again gives the same records.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyuninstall.h"

namespace {
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
