#include <gtest/gtest.h>
#include "lib/xml/kyxml.h"
TEST(XmlSmoke, Builds) { TKyXmlFile f; EXPECT_EQ(f.ItemCount(), 0); }
