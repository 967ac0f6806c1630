// HKEY_LOCAL_MACHINE goes to the 32-bit view of the registry.
#include <gtest/gtest.h>

#include "lib/core/kyregistry.h"
#include "lib/core/win/kywin.h"

TEST(RegistryWin, LocalMachineUsesThe32BitView) {
  const String key = u"\\Software\\TvRegViewTest";
  TRegistry r(rkLocalMachine);
  ASSERT_TRUE(r.OpenKey(key, true));
  r.WriteString(u"Probe", u"32");
  r.CloseKey();
  HKEY raw = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TvRegViewTest", 0, KEY_READ | KEY_WOW64_32KEY, &raw),
            ERROR_SUCCESS);
  TKeyHandle h(raw);
  wchar_t buf[8] = {};
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(h.Get(), L"Probe", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_STREQ(buf, L"32");
  HKEY raw64 = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\TvRegViewTest", 0, KEY_READ | KEY_WOW64_64KEY, &raw64),
            ERROR_SUCCESS);
  if (raw64) RegCloseKey(raw64);
  EXPECT_TRUE(r.DeleteKey(key));
}
