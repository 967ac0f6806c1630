#include "lib/core/kysysutils.h"

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "resstrings.h"

String Utf8ToString(std::string_view s) {
  String out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<Char>(c);
      ++i;
      continue;
    }
    int len = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    char32_t cp = 0;
    bool ok = len > 0 && i + len <= n;
    if (ok) {
      cp = c & (0x7F >> len);
      for (int k = 1; k < len; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        cp = (cp << 6) | (d & 0x3F);
      }
    }
    if (ok && ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))) {
      ok = false;
    }
    if (!ok) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<Char>(0xD800 + (cp >> 10));
      out += static_cast<Char>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<Char>(cp);
    }
    i += len;
  }
  return out;
}

std::string StringToUtf8(StringView s) {
  std::string out;
  AppendUtf8(out, s);
  return out;
}

void AppendUtf8(std::string& out, StringView s) {
  // At most three bytes per UTF-16 unit (a pair of two gives four).
  size_t old = out.size();
  out.resize(old + 3 * s.size());
  char* o = out.data() + old;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp < 0x80) {
      *o++ = static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(0xF0 | (cp >> 18));
      *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  out.resize(static_cast<size_t>(o - out.data()));
}

String AsciiToString(std::string_view ascii) {
  String out(ascii.size(), u'\0');
  for (size_t i = 0; i < ascii.size(); ++i) out[i] = static_cast<unsigned char>(ascii[i]);
  return out;
}

String UpperCase(StringView s) {
  String out(s);
  for (Char& c : out) c = UpCaseChar(c);
  return out;
}

String LowerCase(StringView s) {
  String out(s);
  for (Char& c : out) c = LowCaseChar(c);
  return out;
}

int CompareText(StringView a, StringView b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    Char x = a[i], y = b[i];
    if (x != y) {
      x = UpCaseChar(x);
      y = UpCaseChar(y);
      if (x != y) return x < y ? -1 : 1;
    }
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(StringView a, StringView b) { return a.size() == b.size() && CompareText(a, b) == 0; }

bool StartsText(StringView prefix, StringView s) {
  return s.size() >= prefix.size() && SameText(prefix, s.substr(0, prefix.size()));
}

bool EndsText(StringView suffix, StringView s) {
  return s.size() >= suffix.size() && SameText(suffix, s.substr(s.size() - suffix.size()));
}

int CompareStr(StringView a, StringView b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

String UIntToStr(std::uint64_t v) {
  Char buf[24];
  int p = 24;
  do {
    buf[--p] = static_cast<Char>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  return String(buf + p, buf + 24);
}

String IntToStr(std::int64_t v) {
  if (v < 0) return u"-" + UIntToStr(0 - static_cast<std::uint64_t>(v));
  return UIntToStr(static_cast<std::uint64_t>(v));
}

String IntToHex(std::uint64_t v, int digits) {
  static const char hex[] = "0123456789ABCDEF";
  String out;
  do {
    out.insert(out.begin(), static_cast<Char>(hex[v & 15]));
    v >>= 4;
  } while (v != 0);
  while (static_cast<int>(out.size()) < digits) out.insert(out.begin(), u'0');
  return out;
}

std::optional<std::int64_t> TryStrToInt64(StringView s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  int base = 10;
  if (i < s.size() && s[i] == u'$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  std::uint64_t v = 0;
  const std::uint64_t limit = negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
  for (; i < s.size(); ++i) {
    Char c = s[i];
    unsigned d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else return std::nullopt;
    if (v > (limit - d) / base) {
      // Hexadecimal spells bit patterns: $FFFFFFFFFFFFFFFF is -1 as in the runtime.
      if (base == 16 && !negative && v <= (~0ull - d) / 16) {
        v = v * 16 + d;
        continue;
      }
      return std::nullopt;
    }
    v = v * base + d;
  }
  return negative ? static_cast<std::int64_t>(0 - v) : static_cast<std::int64_t>(v);
}

std::optional<int> TryStrToInt(StringView s) {
  auto v = TryStrToInt64(s);
  if (!v) return std::nullopt;
  bool hex = s.find_first_of(u"$xX") != StringView::npos;
  if (hex && *v >= 0 && *v <= 0xFFFFFFFFll) return static_cast<int>(static_cast<std::uint32_t>(*v));
  if (*v < -2147483648ll || *v > 2147483647ll) return std::nullopt;
  return static_cast<int>(*v);
}

int StrToInt(StringView s) {
  auto v = TryStrToInt(s);
  if (!v) throw EConvertError(Format(SInvalidInteger, {s}));
  return *v;
}

std::int64_t StrToInt64(StringView s) {
  auto v = TryStrToInt64(s);
  if (!v) throw EConvertError(Format(SInvalidInteger, {s}));
  return *v;
}

int StrToIntDef(StringView s, int def) {
  auto v = TryStrToInt(s);
  return v ? *v : def;
}

String TrimBlanks(StringView s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return String(s.substr(b, e - b));
}

bool IsPathDelimiter(Char c) { return c == u'\\' || c == u'/'; }

String IncludeTrailingBackslash(StringView path) {
  String out(path);
  if (!out.empty() && out.back() != u'\\') out += u'\\';
  return out;
}

String ExcludeTrailingBackslash(StringView path) {
  String out(path);
  if (!out.empty() && IsPathDelimiter(out.back())) out.pop_back();
  return out;
}

bool IsRelativePath(StringView path) {
  return !path.empty() && path[0] != u'\\' && !(path.size() >= 2 && path[1] == u':');
}

namespace {
// Index just past the last delimiter or drive colon, 0 when none.
size_t NameStart(StringView f) {
  for (size_t i = f.size(); i > 0; --i) {
    Char c = f[i - 1];
    if (IsPathDelimiter(c) || c == u':') return i;
  }
  return 0;
}
}  // namespace

String ExtractFilePath(StringView f) { return String(f.substr(0, NameStart(f))); }

String ExtractFileDir(StringView f) {
  size_t i = NameStart(f);
  // Keep the delimiter of a root ("C:\", "\") and of a drive ("C:").
  if (i > 0 && IsPathDelimiter(f[i - 1]) && !(i == 1 || (i == 3 && f[1] == u':'))) --i;
  return String(f.substr(0, i));
}

String ExtractFileName(StringView f) { return String(f.substr(NameStart(f))); }

String ExtractFileExt(StringView f) {
  size_t start = NameStart(f);
  size_t dot = f.rfind(u'.');
  if (dot == StringView::npos || dot < start) return String();
  return String(f.substr(dot));
}

String ChangeFileExt(StringView f, StringView ext) {
  size_t start = NameStart(f);
  size_t dot = f.rfind(u'.');
  String out(f);
  if (dot != StringView::npos && dot >= start) out.erase(dot);
  return out + String(ext);
}

String ExtractFileDrive(StringView f) {
  if (f.size() >= 2 && f[1] == u':') return String(f.substr(0, 2));
  if (f.size() >= 2 && IsPathDelimiter(f[0]) && IsPathDelimiter(f[1])) {
    // \\server\share
    size_t p = 2;
    int parts = 0;
    while (p < f.size()) {
      if (IsPathDelimiter(f[p]) && ++parts == 2) break;
      ++p;
    }
    return String(f.substr(0, p));
  }
  return String();
}

String StringReplaceAll(StringView s, StringView from, StringView to) {
  if (from.empty()) return String(s);
  String out;
  size_t p = 0;
  for (;;) {
    size_t q = s.find(from, p);
    if (q == StringView::npos) break;
    out.append(s.substr(p, q - p));
    out.append(to);
    p = q + from.size();
  }
  out.append(s.substr(p));
  return out;
}

size_t PosText(StringView sub, StringView s) {
  if (sub.size() > s.size()) return StringView::npos;
  for (size_t i = 0; i + sub.size() <= s.size(); ++i) {
    if (SameText(sub, s.substr(i, sub.size()))) return i;
  }
  return StringView::npos;
}

bool MatchesMask(StringView name, StringView mask) {
  // As on Windows, "*.*" also matches names without a dot.
  if (mask == u"*.*") mask = u"*";
  size_t n = 0, m = 0, starN = StringView::npos, starM = StringView::npos;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == u'?' || UpCaseChar(mask[m]) == UpCaseChar(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == u'*') {
      starM = m++;
      starN = n;
    } else if (starM != StringView::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == u'*') ++m;
  return m == mask.size();
}

bool IsDirectoryWritable(const String& dir) {
  String folder = ExcludeTrailingBackslash(dir);
  if (folder.empty()) return false;
  if (!DirectoryExists(folder)) {
    String parent = ExtractFileDir(folder);
    if (parent.empty() || parent == folder || !DirectoryExists(parent)) return false;
    if (!CreateDir(folder)) return false;
    RemoveDir(folder);
    return true;
  }
  static const char kLine[] = "write test\r\n";
  return WriteAndDeleteTempFile(folder, u"tvc", kLine, sizeof kLine - 1);
}
