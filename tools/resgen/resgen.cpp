// tvresgen: turns the resource string source into the C++ header (symbols with their
// English texts), the Windows STRINGTABLE and a symbol map for the language-file builder.
//
//   tvresgen [-DNAME=VALUE ...] strings.txt resstrings.h resstrings.rc resstrings.map
//
// Source lines: SYMBOL <whitespace> text up to the end of the line. '#' starts a comment
// line. Escapes in the text: \n \r \t \\ and \s (a space, for leading or trailing ones).
// ${NAME} in a text is replaced by the VALUE given with -DNAME=VALUE: texts that are build
// settings (the maker's web address); a name without a value is an error.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::string symbol;
  std::string text;  // UTF-8, escapes decoded
  int line = 0;
};

constexpr int kFirstId = 4096;

[[noreturn]] void Fail(const std::string& file, int line, const std::string& why) {
  std::cerr << file << ":" << line << ": error: " << why << "\n";
  std::exit(1);
}

bool IsSymbolChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

using Settings = std::map<std::string, std::string>;

// The text with every ${NAME} replaced by its setting.
std::string Expand(const std::string& text, const Settings& settings, const std::string& file, int line) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "${") != 0) {
      out += text[i];
      continue;
    }
    size_t end = text.find('}', i + 2);
    if (end == std::string::npos) Fail(file, line, "${ without a closing }");
    std::string name = text.substr(i + 2, end - i - 2);
    auto it = settings.find(name);
    if (it == settings.end()) Fail(file, line, "no value for ${" + name + "} (give -D" + name + "=...)");
    out += it->second;
    i = end;
  }
  return out;
}

std::vector<Entry> Parse(const std::string& file, const Settings& settings) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail(file, 0, "cannot open the file");
  std::vector<Entry> entries;
  std::set<std::string> seen;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    size_t p = 0;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    if (p == line.size() || line[p] == '#') continue;
    size_t s = p;
    while (p < line.size() && IsSymbolChar(line[p])) ++p;
    if (p == s || (line[s] >= '0' && line[s] <= '9')) Fail(file, number, "expected a symbol");
    if (p == line.size() || (line[p] != ' ' && line[p] != '\t'))
      Fail(file, number, "expected whitespace and a text after the symbol");
    Entry e;
    e.symbol = line.substr(s, p - s);
    e.line = number;
    while (p < line.size() && (line[p] == ' ' || line[p] == '\t')) ++p;
    for (; p < line.size(); ++p) {
      char c = line[p];
      if (c != '\\') {
        e.text += c;
        continue;
      }
      if (++p == line.size()) Fail(file, number, "a backslash ends the line");
      switch (line[p]) {
        case 'n': e.text += '\n'; break;
        case 'r': e.text += '\r'; break;
        case 't': e.text += '\t'; break;
        case 's': e.text += ' '; break;
        case '\\': e.text += '\\'; break;
        default: Fail(file, number, std::string("unknown escape \\") + line[p]);
      }
    }
    e.text = Expand(e.text, settings, file, number);
    if (!seen.insert(e.symbol).second) Fail(file, number, "duplicate symbol " + e.symbol);
    entries.push_back(std::move(e));
  }
  return entries;
}

// Decodes UTF-8 into code points; the source must be valid UTF-8.
std::vector<char32_t> Decode(const Entry& e, const std::string& file) {
  std::vector<char32_t> out;
  const std::string& s = e.text;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) Fail(file, e.line, "invalid UTF-8");
    char32_t cp = n == 1 ? c : c & (0x7F >> n);
    for (int k = 1; k < n; ++k) {
      unsigned char d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) Fail(file, e.line, "invalid UTF-8");
      cp = (cp << 6) | (d & 0x3F);
    }
    out.push_back(cp);
    i += n;
  }
  return out;
}

std::string CppLiteral(const std::vector<char32_t>& cps) {
  std::ostringstream o;
  o << "u\"";
  for (char32_t cp : cps) {
    if (cp == '"' || cp == '\\') {
      o << '\\' << static_cast<char>(cp);
    } else if (cp >= 0x20 && cp < 0x7F) {
      o << static_cast<char>(cp);
    } else {
      char buf[16];
      if (cp < 0xA0) {  // universal character names may not name control characters
        std::snprintf(buf, sizeof buf, "\\x%02X\" u\"", static_cast<unsigned>(cp));
      } else {
        std::snprintf(buf, sizeof buf, cp > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(cp));
      }
      o << buf;
    }
  }
  o << '"';
  return o.str();
}

// windres: a quote is doubled; other escapes as in C; non-ASCII text goes through as
// UTF-8 under code page 65001. The literal must be narrow: windres converts narrow
// strings through the code page but copies the bytes of an L"" string one by one.
std::string RcLiteral(const std::string& text) {
  std::string o = "\"";
  for (char c : text) {
    switch (c) {
      case '"': o += "\"\""; break;
      case '\\': o += "\\\\"; break;
      case '\n': o += "\\n"; break;
      case '\r': o += "\\r"; break;
      case '\t': o += "\\t"; break;
      default: o += c;
    }
  }
  return o + '"';
}

void WriteIfChanged(const std::string& file, const std::string& content) {
  {
    std::ifstream in(file, std::ios::binary);
    if (in) {
      std::stringstream old;
      old << in.rdbuf();
      if (old.str() == content) return;
    }
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) Fail(file, 0, "cannot write the file");
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  int first = 1;
  for (; first < argc && std::string(argv[first]).rfind("-D", 0) == 0; ++first) {
    std::string def = argv[first] + 2;
    size_t eq = def.find('=');
    if (eq == std::string::npos || eq == 0) {
      std::cerr << "tvresgen: expected -DNAME=VALUE, not " << argv[first] << "\n";
      return 2;
    }
    settings[def.substr(0, eq)] = def.substr(eq + 1);
  }
  if (argc - first != 4) {
    std::cerr << "usage: tvresgen [-DNAME=VALUE ...] strings.txt out.h out.rc out.map\n";
    return 2;
  }
  argv += first - 1;
  const std::string source = argv[1];
  std::vector<Entry> entries = Parse(source, settings);

  std::ostringstream h, rc, map;
  h << "// Generated by tvresgen from resources/strings.txt. Do not edit.\n"
       "#pragma once\n#include \"lib/core/resstring.h\"\n\n";
  rc << "// Generated by tvresgen from resources/strings.txt. Do not edit.\n"
        "#pragma code_page(65001)\nLANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n";
  int id = kFirstId;
  for (const Entry& e : entries) {
    h << "inline constexpr TResString " << e.symbol << "{" << id << ", "
      << CppLiteral(Decode(e, source)) << "};\n";
    rc << "  " << id << ", " << RcLiteral(e.text) << "\n";
    map << e.symbol << '\t' << id << '\n';
    ++id;
  }
  rc << "END\n";
  WriteIfChanged(argv[2], h.str());
  WriteIfChanged(argv[3], rc.str());
  WriteIfChanged(argv[4], map.str());
  return 0;
}
