// Helpers of the window framework that do not need windows.
#include <gtest/gtest.h>

#include "lib/ui/kyformutil.h"

TEST(FormUtil, ControlSpacingFollowsTheResolution) {
  EXPECT_EQ(ControlSpacingFor(96), 8);
  EXPECT_EQ(ControlSpacingFor(120), 10);
  EXPECT_EQ(ControlSpacingFor(144), 12);
  EXPECT_EQ(ControlSpacingFor(100), 8);  // integer division
}

TEST(FormUtil, RoundingGoesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(10.5), 10);
  EXPECT_EQ(RoundHalfEven(11.5), 12);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(10.51), 11);
}

TEST(FormUtil, FolderPathsLoseOneTrailingBackslash) {
  EXPECT_EQ(FolderWithoutTrailingBackslash(u"C:\\"), u"C:");
  EXPECT_EQ(FolderWithoutTrailingBackslash(u"C:\\Program Files"), u"C:\\Program Files");
  EXPECT_EQ(FolderWithoutTrailingBackslash(u""), u"");
}
