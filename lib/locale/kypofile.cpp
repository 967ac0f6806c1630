#include "lib/locale/kypofile.h"

#include <algorithm>
#include <cctype>

#include "lib/core/kysysutils.h"

bool TPoEntry::HasFlag(std::string_view flag) const {
  return std::find(Flags.begin(), Flags.end(), flag) != Flags.end();
}

bool TPoEntry::Translated() const {
  if (Fuzzy() || Strings.empty()) return false;
  for (const auto& s : Strings)
    if (s.empty()) return false;
  return true;
}

std::string TPoFile::HeaderField(std::string_view name) const {
  for (const auto& e : Entries) {
    if (e.HasContext || !e.Id.empty() || e.Obsolete || e.Strings.empty()) continue;
    std::string_view h = e.Strings[0];
    size_t pos = 0;
    while (pos < h.size()) {
      size_t end = h.find('\n', pos);
      std::string_view line = h.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
      if (line.size() > name.size() && line.substr(0, name.size()) == name && line[name.size()] == ':') {
        std::string_view v = line.substr(name.size() + 1);
        while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
        return std::string(v);
      }
      if (end == std::string_view::npos) break;
      pos = end + 1;
    }
    return std::string();
  }
  return std::string();
}

namespace {

class TPoReader {
 public:
  TPoReader(std::string_view text, const std::string& file) : Text_(text), File_(file) {
    if (Text_.substr(0, 3) == "\xEF\xBB\xBF") Text_.remove_prefix(3);
  }

  TPoFile Read() {
    TPoFile f;
    TPoEntry e;
    bool inEntry = false;   // a keyword of the entry was read
    std::string* target = nullptr;  // the string that continuation lines extend
    enum { None, Ctx, Id, Plural, Str } last = None;
    auto finish = [&] {
      if (!inEntry) return;
      if (e.Strings.empty()) Fail(e.Line, "the entry has no msgstr");
      if (!e.IdPlural.empty() && e.Strings.size() < 2) Fail(e.Line, "a plural entry needs msgstr[0] and msgstr[1]");
      f.Entries.push_back(std::move(e));
      e = TPoEntry();
      inEntry = false;
      target = nullptr;
      last = None;
    };
    while (NextLine()) {
      std::string_view l = Line_;
      while (!l.empty() && (l.back() == '\r' || l.back() == ' ' || l.back() == '\t')) l.remove_suffix(1);
      size_t lead = 0;
      while (lead < l.size() && (l[lead] == ' ' || l[lead] == '\t')) ++lead;
      l.remove_prefix(lead);
      if (l.empty()) continue;
      bool obsolete = false;
      if (l.substr(0, 2) == "#~") {
        obsolete = true;
        l.remove_prefix(2);
        while (!l.empty() && l.front() == ' ') l.remove_prefix(1);
        if (l.empty()) continue;
        if (l.front() == '|') continue;  // previous msgid of an obsolete entry
      }
      if (!obsolete && l.front() == '#') {
        // A comment after the strings starts the next entry.
        if (inEntry && last == Str) finish();
        if (l.substr(0, 2) == "#,") {
          std::string_view flags = l.substr(2);
          size_t p = 0;
          while (p < flags.size()) {
            size_t c = flags.find(',', p);
            std::string_view fl = flags.substr(p, c == std::string_view::npos ? std::string_view::npos : c - p);
            while (!fl.empty() && fl.front() == ' ') fl.remove_prefix(1);
            while (!fl.empty() && fl.back() == ' ') fl.remove_suffix(1);
            if (!fl.empty()) e.Flags.emplace_back(fl);
            if (c == std::string_view::npos) break;
            p = c + 1;
          }
        } else if (l.substr(0, 2) == "#:") {
          std::string_view refs = l.substr(2);
          size_t p = 0;
          while (p < refs.size()) {
            while (p < refs.size() && refs[p] == ' ') ++p;
            size_t q = refs.find(' ', p);
            if (q == std::string_view::npos) q = refs.size();
            if (q > p) e.References.emplace_back(refs.substr(p, q - p));
            p = q;
          }
        } else if (l.substr(0, 2) == "#|") {
          // previous msgid: information for the translator only
        } else {
          size_t skip = l.size() > 1 && l[1] == '.' ? 2 : 1;
          std::string_view c = l.substr(skip);
          if (!c.empty() && c.front() == ' ') c.remove_prefix(1);
          e.Comments.emplace_back(c);
        }
        continue;
      }
      if (l.front() == '"') {
        if (!target) Fail(LineNo_, "a string without a keyword before it");
        if (obsolete != e.Obsolete) Fail(LineNo_, "an obsolete line inside a live entry");
        *target += Unquote(l);
        continue;
      }
      size_t sp = l.find_first_of(" \t\"");
      std::string_view key = l.substr(0, sp == std::string_view::npos ? l.size() : sp);
      std::string_view rest = sp == std::string_view::npos ? std::string_view() : l.substr(sp);
      while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
      if (key == "msgctxt" || (key == "msgid" && last != Ctx)) {
        finish();
        inEntry = true;
        e.Line = LineNo_;
        e.Obsolete = obsolete;
      } else if (!inEntry) {
        Fail(LineNo_, "expected msgctxt or msgid, found '" + std::string(key) + "'");
      } else if (obsolete != e.Obsolete) {
        Fail(LineNo_, "an obsolete line inside a live entry");
      }
      if (rest.empty() || rest.front() != '"') Fail(LineNo_, "expected a quoted string after " + std::string(key));
      if (key == "msgctxt") {
        e.HasContext = true;
        target = &e.Context;
        last = Ctx;
      } else if (key == "msgid") {
        if (last != None && last != Ctx) Fail(LineNo_, "msgid in the middle of an entry");
        target = &e.Id;
        last = Id;
      } else if (key == "msgid_plural") {
        if (last != Id) Fail(LineNo_, "msgid_plural must follow msgid");
        target = &e.IdPlural;
        last = Plural;
      } else if (key == "msgstr") {
        if (last != Id) Fail(LineNo_, last == Plural ? "a plural entry needs msgstr[n]" : "msgstr must follow msgid");
        e.Strings.emplace_back();
        target = &e.Strings.back();
        last = Str;
      } else if (key.substr(0, 7) == "msgstr[" && key.back() == ']') {
        std::string_view n = key.substr(7, key.size() - 8);
        auto index = TryStrToInt(Utf8ToString(n));
        if (last != Plural && last != Str) Fail(LineNo_, "msgstr[n] must follow msgid_plural");
        if (!index || *index != static_cast<int>(e.Strings.size()))
          Fail(LineNo_, "msgstr[" + std::string(n) + "] out of order");
        e.Strings.emplace_back();
        target = &e.Strings.back();
        last = Str;
      } else {
        Fail(LineNo_, "unknown keyword '" + std::string(key) + "'");
      }
      *target += Unquote(rest);
    }
    finish();
    // Live entries are unique by context and id.
    for (size_t i = 0; i < f.Entries.size(); ++i) {
      const auto& a = f.Entries[i];
      if (a.Obsolete) continue;
      for (size_t j = 0; j < i; ++j) {
        const auto& b = f.Entries[j];
        if (!b.Obsolete && a.HasContext == b.HasContext && a.Context == b.Context && a.Id == b.Id)
          Fail(a.Line, "duplicate entry '" + (a.HasContext ? a.Context : a.Id) + "'");
      }
    }
    return f;
  }

 private:
  bool NextLine() {
    if (Pos_ >= Text_.size()) return false;
    size_t end = Text_.find('\n', Pos_);
    if (end == std::string_view::npos) end = Text_.size();
    Line_ = Text_.substr(Pos_, end - Pos_);
    Pos_ = end + 1;
    ++LineNo_;
    return true;
  }

  [[noreturn]] void Fail(int line, const std::string& why) const {
    throw EPoError(Utf8ToString(File_ + ":" + std::to_string(line) + ": " + why), line);
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // One quoted string that fills the rest of the line.
  std::string Unquote(std::string_view s) const {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"') Fail(LineNo_, "a string must be quoted on one line");
    std::string out;
    for (size_t i = 1; i + 1 < s.size(); ++i) {
      char c = s[i];
      if (c == '"') Fail(LineNo_, "an unescaped quote inside a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i + 2 >= s.size()) Fail(LineNo_, "a backslash ends the string");
      char n = s[++i];
      switch (n) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'a': out += '\a'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'x': {
          int v = 0, digits = 0;
          while (i + 2 < s.size() && Hex(s[i + 1]) >= 0 && digits < 2) v = v * 16 + Hex(s[++i]), ++digits;
          if (!digits) Fail(LineNo_, "\\x without hex digits");
          out += static_cast<char>(v);
          break;
        }
        default:
          if (n >= '0' && n <= '7') {
            int v = n - '0', digits = 1;
            while (digits < 3 && i + 2 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7') v = v * 8 + (s[++i] - '0'), ++digits;
            out += static_cast<char>(v & 0xFF);
          } else {
            Fail(LineNo_, std::string("unknown escape \\") + n);
          }
      }
    }
    return out;
  }

  std::string_view Text_;
  std::string File_;
  size_t Pos_ = 0;
  std::string_view Line_;
  int LineNo_ = 0;
};

}  // namespace

namespace {
// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no surrogates.
bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(n);
  }
  return true;
}
}  // namespace

TPoFile ReadPoFile(std::string_view text, const std::string& fileName) {
  TPoFile f = TPoReader(text, fileName).Read();
  for (const auto& e : f.Entries) {
    bool ok = ValidUtf8(e.Context) && ValidUtf8(e.Id) && ValidUtf8(e.IdPlural);
    for (const auto& s : e.Strings) ok = ok && ValidUtf8(s);
    if (!ok) throw EPoError(Utf8ToString(fileName + ":" + std::to_string(e.Line) + ": the entry is not valid UTF-8"), e.Line);
  }
  return f;
}

std::string PoQuote(std::string_view keyword, std::string_view text) {
  auto quote = [](std::string_view s) {
    std::string o = "\"";
    for (char c : s) {
      switch (c) {
        case '"': o += "\\\""; break;
        case '\\': o += "\\\\"; break;
        case '\n': o += "\\n"; break;
        case '\r': o += "\\r"; break;
        case '\t': o += "\\t"; break;
        default: o += c;
      }
    }
    return o + "\"";
  };
  std::vector<std::string_view> parts;
  size_t p = 0;
  while (p < text.size()) {
    size_t n = text.find('\n', p);
    size_t end = n == std::string_view::npos ? text.size() : n + 1;
    parts.push_back(text.substr(p, end - p));
    p = end;
  }
  std::string out(keyword);
  if (parts.size() <= 1) return out + " " + quote(text) + "\n";
  out += " \"\"\n";
  for (auto part : parts) out += quote(part) + "\n";
  return out;
}

std::vector<std::string> FormatDirectives(std::string_view s) {
  std::vector<std::string> out;
  int next = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') continue;
    size_t j = i + 1;
    if (j < s.size() && s[j] == '%') {
      i = j;
      continue;
    }
    // [index ":"] ["-"] [width] ["." precision] type
    size_t k = j;
    while (k < s.size() && (std::isdigit(static_cast<unsigned char>(s[k])) || s[k] == '*')) ++k;
    int index = -1;
    if (k < s.size() && s[k] == ':' && k > j) {
      index = 0;
      for (size_t d = j; d < k; ++d) index = s[d] == '*' ? index : std::min(index * 10 + (s[d] - '0'), 1 << 20);
      j = k + 1;
    }
    if (j < s.size() && s[j] == '-') ++j;
    while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '*')) ++j;
    if (j < s.size() && s[j] == '.') {
      ++j;
      while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '*')) ++j;
    }
    char type = j < s.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(s[j]))) : '?';
    if (index >= 0) next = index;
    out.push_back(std::to_string(next) + ":" + type);
    ++next;
    i = j;
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool HasFormatDirectives(std::string_view text) { return !FormatDirectives(text).empty(); }
