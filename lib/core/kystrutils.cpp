#include "lib/core/kystrutils.h"

#include "lib/core/kycodepages.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

bool IsSpace(Char c) { return c == u'\t' || c == u' ' || c == 0x00A0; }
bool IsWhitespace(Char c) { return IsSpace(c) || c == u'\n' || c == u'\r'; }
bool IsWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

bool IsAllWhitespace(StringView s) {
  for (Char c : s)
    if (!IsWhitespace(c)) return false;
  return true;
}

bool IsAllWhitespace(std::string_view s) {
  for (char c : s)
    if (!IsWhitespace(c)) return false;
  return true;
}

bool IsDigit(Char c) { return c >= u'0' && c <= u'9'; }
bool IsUpper(Char c) { return UpCaseChar(c) == c; }
bool IsLower(Char c) { return LowCaseChar(c) == c; }

String Capitalize(StringView s) {
  String out = LowerCase(s);
  if (!out.empty()) out[0] = UpCaseChar(out[0]);
  return out;
}

int CountChar(StringView s, Char c) {
  int n = 0;
  for (Char x : s) n += x == c;
  return n;
}

int CountChar(std::string_view s, char c) {
  int n = 0;
  for (char x : s) n += x == c;
  return n;
}

namespace {

size_t LeadingWhitespace(StringView s) {
  size_t i = 0;
  while (i < s.size() && IsWhitespace(s[i])) ++i;
  return i;
}

size_t TrailingStart(StringView s) {
  size_t i = s.size();
  while (i > 0 && IsWhitespace(s[i - 1])) --i;
  return i;
}

template <typename C>
std::basic_string<C> Undouble(std::basic_string_view<C> s, int quoteKind) {
  C q = quoteKind == 1 ? C('\'') : quoteKind == 2 ? C('"') : C(0);
  std::basic_string<C> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    out += s[i];
    if (q && s[i] == q && i + 1 < s.size() && s[i + 1] == q) ++i;
  }
  return out;
}

int HexValue(unsigned c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

template <typename C>
std::basic_string<C> Decode(std::basic_string_view<C> s, int lineBreakKind, bool knowsNul) {
  if (s.find(C('#')) == std::basic_string_view<C>::npos) return std::basic_string<C>(s);
  std::basic_string<C> out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != C('#')) {
      out += s[i];
      continue;
    }
    if (i + 1 >= s.size()) break;  // a "#" at the very end is dropped
    C n = s[++i];
    switch (static_cast<unsigned>(n)) {
      case '#': out += C('#'); break;
      case 'c': out += C('\r'); break;
      case 'l': out += C('\n'); break;
      case 't': out += C('\t'); break;
      case 'n':
        switch (lineBreakKind) {
          case 0: out += C('\n'); break;
          case 1: out += C('\r'); break;
          case 2: out += C('\n'); out += C('\r'); break;
          default: out += C('\r'); out += C('\n'); break;
        }
        break;
      case '0':
        if (knowsNul) {
          out += C(0);
          break;
        }
        [[fallthrough]];
      default: {
        // Two hexadecimal digits; the second may be missing at the end of the text.
        int hi = HexValue(static_cast<unsigned>(n) & 0xFFFF);
        int lo = i + 1 < s.size() ? HexValue(static_cast<unsigned>(s[i + 1]) & 0xFFFF) : -1;
        if (i + 1 < s.size()) ++i;
        out += (hi < 0 || lo < 0) ? C('?') : C(hi * 16 + lo);
        break;
      }
    }
  }
  return out;
}

TFormatSettings DotSettings() {
  TFormatSettings settings = FormatSettings;
  settings.DecimalSeparator = u'.';
  if (settings.ThousandSeparator == u'.') settings.ThousandSeparator = u',';
  return settings;
}

TKyCodePageConverter& DefaultConverter() {
  static TKyCodePageConverter converter(CodePageDatas(), MultiLanguage(), PlatformConversion());
  return converter;
}

}  // namespace

String TrimLeft(String& s) {
  s.erase(0, LeadingWhitespace(s));
  return s;
}

String TrimRight(String& s) {
  s.erase(TrailingStart(s));
  return s;
}

String Trim(String& s) {
  TrimRight(s);
  return TrimLeft(s);
}

RawBytes Trim(RawBytes& s) {
  size_t a = 0, b = s.size();
  while (a < b && IsWhitespace(s[a])) ++a;
  while (b > a && IsWhitespace(s[b - 1])) --b;
  s = s.substr(a, b - a);
  return s;
}

String TakeLeadingWhitespace(String& s) {
  size_t n = LeadingWhitespace(s);
  String taken = s.substr(0, n);
  s.erase(0, n);
  return taken;
}

String TakeTrailingWhitespace(String& s) {
  size_t n = TrailingStart(s);
  String taken = s.substr(n);
  s.erase(n);
  return taken;
}

String TakeWord(String& s, bool trimAfter) {
  size_t i = 0;
  while (i < s.size() && !IsWhitespace(s[i])) ++i;
  String word = s.substr(0, i);
  s.erase(0, i);
  if (trimAfter) TrimLeft(s);
  return word;
}

String CutFirst(String& s, int n) {
  size_t k = n <= 0 ? 0 : std::min(s.size(), static_cast<size_t>(n));
  String taken = s.substr(0, k);
  s.erase(0, k);
  return taken;
}

String UnquoteDoubled(StringView s, int quoteKind) { return Undouble(s, quoteKind); }
RawBytes UnquoteDoubled(std::string_view s, int quoteKind) { return Undouble(s, quoteKind); }

String DecodeEscapes(StringView s, int lineBreakKind) { return Decode(s, lineBreakKind, false); }
RawBytes DecodeEscapes(std::string_view s, int lineBreakKind) { return Decode(s, lineBreakKind, true); }

double StrToFloatDot(StringView s) { return StrToFloat(s, DotSettings()); }

String FloatToStrDot(double x, int digits) {
  try {
    if (digits < 0) return FloatToStr(x, DotSettings());
    return FloatToStrF(x, TFloatFormat::Fixed, 10, digits, DotSettings());
  } catch (const Exception&) {
    return String();
  }
}

bool CanEncode(Char c, int codePage) {
  RawBytes out;
  bool usedDefault = false;
  std::uint32_t lastError = 0;
  Char text[1] = {c};
  if (!PlatformConversion().FromWide(StringView(text, 1), codePage, false, out, usedDefault, lastError) ||
      out.empty() || usedDefault) {
    return false;
  }
  // Windows maps some characters to a look-alike without reporting the default character
  // (best fit: an omega becomes "O"); only an exact round trip counts.
  String back;
  return PlatformConversion().ToWide(out, codePage, back) && back == StringView(text, 1);
}

String BytesToWide(std::string_view s) {
  String out(s.size(), u'\0');
  for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<Byte>(s[i]);
  return out;
}

RawBytes WideToCodePage(StringView s, int codePage) { return DefaultConverter().WideToCodePage(s, codePage); }

String CodePageToWide(std::string_view s, int codePage) { return DefaultConverter().CodePageToWide(s, codePage); }
