// Start-up rules of the setup that need no window.
#include <gtest/gtest.h>

#include "setup/setupstart.h"

TEST(SetupStart, NamesAndVersionText) {
  EXPECT_EQ(ProductNameWithVersion(4), u"Tramvelon 4");
  EXPECT_EQ(ProductNameWithVersion(3), u"Tramvelon 3");
  EXPECT_EQ(GetSetupVersionText(), u"4.0 (Build 354)");
}

TEST(SetupStart, DefaultInstallDirAddsOneBackslashAndFallsBackWithoutAFolder) {
  EXPECT_EQ(DefaultInstallDirIn(u"D:\\Programs"), u"D:\\Programs\\Tramvelon 4");
  EXPECT_EQ(DefaultInstallDirIn(u"D:\\Programs\\"), u"D:\\Programs\\Tramvelon 4");
  EXPECT_EQ(DefaultInstallDirIn(u""), u"C:\\Program Files\\Tramvelon 4");
}

TEST(SetupStart, FolderEntriesLoseExtensionsDotsAndDuplicates) {
  std::vector<String> names;
  AddFolderEntryNames(names, {u".", u"..", u"Notepad.lnk", u"Accessories", u"Tools.v2.lnk", u"Games"});
  AddFolderEntryNames(names, {u".", u"..", u"notepad.lnk", u"Zip", u"Games", u"Accessories"});
  std::vector<String> expected = {u"Notepad", u"Accessories", u"Tools.v2", u"Games", u"Zip"};
  EXPECT_EQ(names, expected);
}

TEST(SetupStart, RunningProcessRule) {
  EXPECT_EQ(CheckRunningProcesses({u"explorer.exe", u"Tram.exe"}), TRunningCheck::Ok);
  EXPECT_EQ(CheckRunningProcesses({u"Tram.exe", u"tram.EXE"}), TRunningCheck::SetupRunning);
  EXPECT_EQ(CheckRunningProcesses({u"Tram.exe", u"TRAMVELON.EXE"}), TRunningCheck::ApplicationRunning);
  // The application stops the walk even when two setups were counted before it.
  EXPECT_EQ(CheckRunningProcesses({u"Tram.exe", u"Tram.exe", u"Tramvelon.exe"}), TRunningCheck::ApplicationRunning);
  // Only the exact names count.
  EXPECT_EQ(CheckRunningProcesses({u"Tram.exe.bak", u"XTram.exe", u"Tramvelon.exe2", u"Tram.exe"}), TRunningCheck::Ok);
}
