// The resource string source (resources/strings.txt) as the host tools read it, and the
// literal forms they write. Shared by tvresgen and tvlang.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace stringsfile {

[[noreturn]] inline void Fail(const std::string& file, int line, const std::string& why) {
  std::cerr << file << ":" << line << ": error: " << why << "\n";
  std::exit(1);
}

struct Entry {
  std::string symbol;
  std::string text;  // UTF-8, escapes decoded
  int line = 0;
  bool setting = false;  // the text names a build setting (${NAME}): not for translators
};

using Settings = std::map<std::string, std::string>;

// The text with every ${NAME} replaced by its setting.
inline std::string Expand(const std::string& text, const Settings& settings, const std::string& file, int line) {
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

inline constexpr int kFirstId = 4096;

inline bool IsSymbolChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// With Settings, ${NAME} is replaced by its value; without, such texts are only marked.
inline std::vector<Entry> Parse(const std::string& file, const Settings* settings = nullptr) {
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
    e.setting = e.text.find("${") != std::string::npos;
    if (settings) e.text = Expand(e.text, *settings, file, number);
    if (!seen.insert(e.symbol).second) Fail(file, number, "duplicate symbol " + e.symbol);
    entries.push_back(std::move(e));
  }
  return entries;
}

// windres: a quote is doubled; other escapes as in C; non-ASCII text goes through as
// UTF-8 under code page 65001. The literal must be narrow: windres converts narrow
// strings through the code page but copies the bytes of an L"" string one by one.
inline std::string RcLiteral(const std::string& text) {
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

inline void WriteIfChanged(const std::string& file, const std::string& content) {
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

}  // namespace stringsfile
