// Resource strings read through the current resource module: a language module that has
// the string wins, one that lacks it falls back to the built-in English text.
#include "lib/core/win/kywin.h"

#include <gtest/gtest.h>

#include <vector>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/resstring.h"
#include "resstrings.h"
#include "tests/core/testutil.h"

namespace {
// A copy of this executable whose only resource is one string-table block with Text at Id.
String MakeLanguageModule(const TTempDir& dir, int id, const String& text) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  String target = dir.File(u"test.DEU");
  EXPECT_TRUE(CopyFileTo(FromW(self), target, false));
  std::vector<WORD> block;
  for (int i = 0; i < 16; ++i) {
    if (i == id % 16) {
      block.push_back(static_cast<WORD>(text.size()));
      block.insert(block.end(), text.begin(), text.end());
    } else {
      block.push_back(0);
    }
  }
  HANDLE h = BeginUpdateResourceW(W(target), TRUE);
  EXPECT_NE(h, nullptr);
  EXPECT_TRUE(UpdateResourceW(h, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN),
                              block.data(), static_cast<DWORD>(block.size() * sizeof(WORD))));
  EXPECT_TRUE(EndUpdateResourceW(h, FALSE));
  return target;
}
}  // namespace

TEST(ResourceStringsWin, ExecutableCarriesTheStringTable) {
  wchar_t buf[128];
  int n = LoadStringW(GetModuleHandleW(nullptr), SRangeError.Id, buf, 128);
  EXPECT_EQ(FromW(buf, n), u"Range check error");
  // Texts with quotes, escapes and non-ASCII characters survive the resource compiler.
  n = LoadStringW(GetModuleHandleW(nullptr), SOSError.Id, buf, 128);
  EXPECT_EQ(FromW(buf, n), String(SOSError.English));
  n = LoadStringW(GetModuleHandleW(nullptr), SFOpenError.Id, buf, 128);
  EXPECT_EQ(FromW(buf, n), u"Cannot open file \"%s\". %s");
}

TEST(ResourceStringsWin, LanguageModuleSwitchesTheTexts) {
  TTempDir dir;
  String file = MakeLanguageModule(dir, SRangeError.Id, u"Bereichs\u00FCberschreitung");
  HMODULE lang = LoadLibraryExW(W(file), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(lang, nullptr);
  SetResourceHandle(lang);
  EXPECT_EQ(LoadResString(SRangeError), u"Bereichs\u00FCberschreitung");
  EXPECT_EQ(LoadResString(SListIndexError), u"List index out of bounds (%d)");  // not translated
  SetResourceHandle(nullptr);
  EXPECT_EQ(LoadResString(SRangeError), u"Range check error");
  FreeLibrary(lang);
}
