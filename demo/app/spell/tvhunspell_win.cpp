// TvHunspell.dll of the demo payload: the word-list engine behind TvSpell.dll.
// A dictionary (.lex) is UTF-8 text: a first line "TVLEX 1 <locale>", then one word a line.
#include <windows.h>

#include <cstring>
#include <string_view>

namespace {

// ASCII letters compare ignoring case; other characters exactly.
bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

}  // namespace

// 1: the word is in the list, 0: it is not, -1: the data is no dictionary.
extern "C" __declspec(dllexport) int __stdcall TvHunspellSpell(const char* data, size_t size, const char* word) {
  std::string_view text(data, size);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.remove_prefix(3);
  if (text.rfind("TVLEX 1 ", 0) != 0) return -1;
  std::string_view w(word, std::strlen(word));
  size_t pos = text.find('\n');
  while (pos != std::string_view::npos && pos + 1 < text.size()) {
    size_t start = pos + 1;
    pos = text.find('\n', start);
    std::string_view line = text.substr(start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (SameWord(line, w)) return 1;
  }
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
