// A language switch: with another resource module active, a second run of the table's
// filling reads the names from it.
#include <gtest/gtest.h>

#include <vector>

#include "lib/core/resstring.h"
#include "lib/core/win/kywin.h"
#include "lib/locale/kylocale.h"
#include "resstrings.h"
#include "tests/core/testutil.h"

namespace {

constexpr WORD EnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The 16 strings of a string table block of this program.
std::vector<std::wstring> ReadBlock(int block) {
  HRSRC info = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), EnglishUS);
  if (!info) return {};
  auto p = static_cast<const wchar_t*>(LockResource(LoadResource(nullptr, info)));
  std::vector<std::wstring> strings;
  for (int i = 0; i < 16; ++i) {
    size_t n = *p++;
    strings.emplace_back(p, n);
    p += n;
  }
  return strings;
}

std::vector<wchar_t> WriteBlock(const std::vector<std::wstring>& strings) {
  std::vector<wchar_t> data;
  for (const std::wstring& s : strings) {
    data.push_back(static_cast<wchar_t>(s.size()));
    data.insert(data.end(), s.begin(), s.end());
  }
  return data;
}

// A copy of this program whose string table says Text for Res: a language module as
// the setup would load it.
bool MakeLanguageModule(const String& path, const TResString& res, const std::wstring& text) {
  wchar_t self[MAX_PATH];
  if (!GetModuleFileNameW(nullptr, self, MAX_PATH) || !CopyFileW(self, W(path), FALSE)) return false;
  int block = res.Id / 16 + 1;
  std::vector<std::wstring> strings = ReadBlock(block);
  if (strings.size() != 16) return false;
  strings[res.Id % 16] = text;
  std::vector<wchar_t> data = WriteBlock(strings);
  HANDLE update = BeginUpdateResourceW(W(path), FALSE);
  if (!update) return false;
  if (!UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(block), EnglishUS, data.data(),
                       static_cast<DWORD>(data.size() * sizeof(wchar_t)))) {
    EndUpdateResourceW(update, TRUE);
    return false;
  }
  return EndUpdateResourceW(update, FALSE) != FALSE;
}

}  // namespace

TEST(LocaleWindows, SecondRunReadsTheActiveLanguage) {
  TTempDir dir;
  String path = dir.File(u"Tram.DEU");
  ASSERT_TRUE(MakeLanguageModule(path, SLocLangGerman, L"Deutsch"));
  TModuleHandle module(LoadLibraryExW(W(path), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(module);

  TKyLocaleDatas t;
  t.Populate();
  TKyLocaleData* german = t.FindLocale(u"de", u"CH");
  ASSERT_NE(german, nullptr);
  EXPECT_EQ(german->LanguageName, u"German");

  TResourceHandle previous = GetResourceHandle();
  SetResourceHandle(module.Get());
  t.Populate();
  SetResourceHandle(previous);
  EXPECT_EQ(t.Count(), 214);
  EXPECT_EQ(t.FindLocale(u"de", u"CH"), german);
  EXPECT_EQ(t.GetDisplayName(u"de-CH"), u"Deutsch (Switzerland)");
  EXPECT_EQ(t.GetDisplayName(u"fr-CH"), u"French (Switzerland)");

  t.Populate();
  EXPECT_EQ(t.Count(), 214);
  EXPECT_EQ(t.GetDisplayName(u"de"), u"German");
}
