// System helpers against the real Windows (Wine reports Windows 7 SP1 workstation).
#include "lib/core/win/kywin.h"

#include <gtest/gtest.h>

#include "lib/core/kysystem.h"

TEST(WindowsSystem, VersionOfThePrefix) {
  EXPECT_TRUE(IsWindows7OrLater());
  EXPECT_FALSE(IsWindows8OrLater());
  EXPECT_FALSE(IsServer());
  EXPECT_EQ(GetWindowsVersion(), 6);
}

TEST(WindowsSystem, DriveKinds) {
  EXPECT_EQ(GetDriveKind(u"C:\\Program Files"), 0);
  EXPECT_EQ(GetDriveKind(u""), 0);
}

TEST(WindowsSystem, PumpMessagesReportsEscapeAndStops) {
  HWND w = CreateWindowExW(0, L"STATIC", L"pump", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  while (PumpMessages(false)) {
  }
  PostMessageW(w, WM_NULL, 0, 0);
  PostMessageW(w, WM_NULL, 0, 0);
  EXPECT_FALSE(PumpMessages(true));  // takes one message
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_FALSE(PumpMessages(false));
  EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));

  PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageW(w, WM_NULL, 0, 0);
  EXPECT_TRUE(PumpMessages(false));  // stops at the Escape
  EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE));
  PumpMessages(false);
  PostMessageW(w, WM_KEYUP, VK_ESCAPE, 0);
  EXPECT_TRUE(PumpMessages(true));
  DestroyWindow(w);
}
