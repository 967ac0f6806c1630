// Windows version tests through the seam, and message boxes answered by the hook.
#include <gtest/gtest.h>

#include <vector>

#include "lib/core/kysystem.h"

namespace {
class SimulatedWindows {
 public:
  SimulatedWindows(int major, int minor, int sp, bool server) {
    SetSimulatedWindowsVersion(TWindowsVersion{major, minor, sp, server});
  }
  ~SimulatedWindows() { SetSimulatedWindowsVersion(std::nullopt); }
};
}  // namespace

TEST(WindowsVersion, GenerationNumbersFromTheVersionTests) {
  struct Case {
    int Major, Minor, Sp;
    bool Server;
    int Expected;
  } cases[] = {
      {5, 0, 4, false, 0},   // Windows 2000 is older than XP
      {5, 1, 0, false, 1},  {5, 2, 2, true, 2},  {6, 0, 0, false, 4}, {6, 0, 2, true, 5},
      {6, 1, 1, false, 6},  {6, 1, 0, true, 7},  {6, 2, 0, false, 8}, {6, 3, 0, false, 10},
      {10, 0, 0, true, 11},
  };
  for (const Case& c : cases) {
    SimulatedWindows w(c.Major, c.Minor, c.Sp, c.Server);
    EXPECT_EQ(GetWindowsVersion(), c.Expected) << c.Major << "." << c.Minor << " SP" << c.Sp;
  }
}

TEST(WindowsVersion, ServicePackCountsOnlyWithinTheSameVersion) {
  SimulatedWindows xp2(5, 1, 2, false);
  EXPECT_TRUE(IsWindowsXPOrLater());
  EXPECT_TRUE(IsWindowsXPSP2OrLater());
  EXPECT_FALSE(IsWindowsXPSP3OrLater());
  EXPECT_FALSE(IsWindowsVistaOrLater());
  {
    SimulatedWindows vista(6, 0, 0, false);
    EXPECT_TRUE(IsWindowsXPSP3OrLater());  // a newer version passes any older service pack
    EXPECT_FALSE(IsWindowsVistaSP1OrLater());
  }
  SimulatedWindows w81(6, 3, 0, false);
  EXPECT_TRUE(IsWindows81OrLater());
  EXPECT_TRUE(IsWindows7SP1OrLater());
}

TEST(MessageBoxes, HelpersAskWithTheirKindAndButtons) {
  std::vector<std::pair<TMsgKind, TMsgButtons>> seen;
  String text;
  int answer = mrYes;
  SetMessageBoxHook([&](const String& t, TMsgKind k, TMsgButtons b) {
    text = t;
    seen.emplace_back(k, b);
    return answer;
  });
  EXPECT_TRUE(AskYesNoFmt(u"Delete %s?", {u"x"}));
  EXPECT_EQ(text, u"Delete x?");
  answer = mrNo;
  EXPECT_FALSE(AskYesNo(u"Again?"));
  ShowInformationFmt(u"%d files", {3});
  EXPECT_EQ(text, u"3 files");
  SetMessageBoxHook(nullptr);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_pair(TMsgKind::Confirmation, TMsgButtons::YesNo));
  EXPECT_EQ(seen[2], std::make_pair(TMsgKind::Information, TMsgButtons::Ok));
}
