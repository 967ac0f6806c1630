// Registry class: paths, creation, string values and their type check, enumeration.
// Natively this runs on the in-memory registry, under Wine on the real one.
#include <gtest/gtest.h>

#include "lib/core/kyformat.h"
#include "lib/core/kyregistry.h"
#include "lib/core/kysysutils.h"

namespace {
// A scratch key below HKEY_CURRENT_USER, removed afterwards.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { Base = Format(u"\\Software\\TvRegTest%d", {::testing::UnitTest::GetInstance()->random_seed()}); }
  void TearDown() override { DeleteTree(Base); }
  static void DeleteTree(const String& key) {
    TRegistry r(rkCurrentUser);
    if (!r.OpenKey(key, false)) return;
    TStringList names;
    r.GetKeyNames(names);
    for (int i = 0; i < names.Count(); ++i) DeleteTree(key + u"\\" + names[i]);
    r.CloseKey();
    r.DeleteKey(key);
  }
  String Base;
};
}  // namespace

TEST_F(RegistryTest, OpenCreatesAndResolvesPathsRelativeToTheOpenKey) {
  TRegistry r(rkCurrentUser);
  EXPECT_FALSE(r.KeyExists(Base));
  EXPECT_FALSE(r.OpenKey(Base, false));
  EXPECT_FALSE(r.HasOpenKey());
  ASSERT_TRUE(r.OpenKey(Base + u"\\A\\B", true));
  EXPECT_EQ(r.CurrentPath(), Base.substr(1) + u"\\A\\B");
  // Without a leading backslash the path continues from the open key.
  ASSERT_TRUE(r.OpenKey(u"C", true));
  EXPECT_EQ(r.CurrentPath(), Base.substr(1) + u"\\A\\B\\C");
  EXPECT_TRUE(r.KeyExists(Base + u"\\a\\b"));  // names ignore case
  // A failed open keeps the key that was open.
  EXPECT_FALSE(r.OpenKey(u"\\Software\\TvNoSuchKey\\X", false));
  EXPECT_EQ(r.CurrentPath(), Base.substr(1) + u"\\A\\B\\C");
  r.CloseKey();
  EXPECT_EQ(r.CurrentPath(), u"");
  EXPECT_FALSE(r.ValueExists(u"x"));
  EXPECT_THROW(r.WriteString(u"x", u"y"), ERegistryException);
}

TEST_F(RegistryTest, StringValuesAndTheTypeCheck) {
  TRegistry r(rkCurrentUser);
  ASSERT_TRUE(r.OpenKey(Base, true));
  EXPECT_EQ(r.ReadString(u"Missing"), u"");
  r.WriteString(u"InstallDir", u"C:\\Tools\\Tramvelon");
  r.WriteString(u"", u"default");
  r.WriteString(u"Empty", u"");
  r.WriteInteger(u"Number", 5);
  EXPECT_TRUE(r.ValueExists(u"installdir"));
  EXPECT_TRUE(r.ValueExists(u"Empty"));
  EXPECT_FALSE(r.ValueExists(u"Missing"));
  EXPECT_EQ(r.ReadString(u"InstallDir"), u"C:\\Tools\\Tramvelon");
  EXPECT_EQ(r.ReadString(u""), u"default");
  EXPECT_EQ(r.ReadString(u"Empty"), u"");
  try {
    r.ReadString(u"Number");
    FAIL() << "a number read as a string";
  } catch (const ERegistryException& e) {
    EXPECT_NE(e.Message().find(u"'Number'"), String::npos) << e.what();
  }
  // Reopened read-only, the values are there and cannot be written.
  TRegistry ro(rkCurrentUser);
  ASSERT_TRUE(ro.OpenKeyReadOnly(Base));
  EXPECT_EQ(ro.ReadString(u"InstallDir"), u"C:\\Tools\\Tramvelon");
  EXPECT_THROW(ro.WriteString(u"InstallDir", u"x"), ERegistryException);
  EXPECT_FALSE(ro.OpenKeyReadOnly(Base + u"\\NotThere"));
  EXPECT_TRUE(r.DeleteValue(u"InstallDir"));
  EXPECT_FALSE(r.ValueExists(u"InstallDir"));
}

TEST_F(RegistryTest, EnumeratesSubkeysAndValues) {
  TRegistry r(rkCurrentUser);
  for (const Char* name : {u"Setup1", u"Setup2", u"Other"}) ASSERT_TRUE(r.OpenKey(Base + u"\\" + name, true));
  ASSERT_TRUE(r.OpenKey(Base, false));
  r.WriteString(u"V1", u"a");
  r.WriteString(u"V2", u"b");
  TStringList keys, values;
  r.GetKeyNames(keys);
  r.GetValueNames(values);
  keys.Sort();
  values.Sort();
  ASSERT_EQ(keys.Count(), 3);
  EXPECT_EQ(keys[0], u"Other");
  EXPECT_EQ(keys[2], u"Setup2");
  ASSERT_EQ(values.Count(), 2);
  EXPECT_EQ(values[1], u"V2");
  // Deleting a leaf key.
  EXPECT_TRUE(r.DeleteKey(u"Other"));
  EXPECT_FALSE(r.KeyExists(Base + u"\\Other"));
}
