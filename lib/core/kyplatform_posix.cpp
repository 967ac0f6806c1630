// POSIX side of the runtime for the native build and its tests.
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <wctype.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kysysutils.h"
#include "lib/core/resstring.h"

namespace {
// Full Unicode case tables regardless of the process locale.
locale_t Utf8Locale() {
  static locale_t loc = [] {
    locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  }();
  return loc;
}
}  // namespace

Char UpCaseChar(Char c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<Char>(c - 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  wint_t u = towupper_l(static_cast<wint_t>(c), Utf8Locale());
  return u <= 0xFFFF ? static_cast<Char>(u) : c;
}

Char LowCaseChar(Char c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<Char>(c + 32) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  wint_t u = towlower_l(static_cast<wint_t>(c), Utf8Locale());
  return u <= 0xFFFF ? static_cast<Char>(u) : c;
}

std::uint32_t GetLastOSError() { return static_cast<std::uint32_t>(errno); }

String SysErrorMessage(std::uint32_t code) { return Utf8ToString(std::strerror(static_cast<int>(code))); }

namespace {
TResourceHandle ResourceModule = nullptr;
}

TResourceHandle GetInstanceHandle() { return nullptr; }
TResourceHandle GetResourceHandle() { return ResourceModule; }
void SetResourceHandle(TResourceHandle h) { ResourceModule = h; }

String LoadResString(const TResString& res) { return String(res.English); }

#include <sys/time.h>
#include <time.h>

#include "lib/core/kydatetime.h"

TDateTime Now() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  tm t;
  localtime_r(&tv.tv_sec, &t);
  TDateParts p{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
               static_cast<int>(tv.tv_usec / 1000)};
  return EncodeDateTime(p);
}
