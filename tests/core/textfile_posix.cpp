// Text files against a file-size limit, the way a full disk behaves: an output that fails
// half-way, in a write or in the commit, leaves the target as it was and no file behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <optional>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "tests/core/testutil.h"

namespace {

class TextFileSizeLimit : public testing::Test {
 protected:
  void SetUp() override {
    // Temporary files go to a folder of the test, so that a leftover is seen.
    if (const char* t = std::getenv("TMPDIR")) OldTmpDir = t;
    setenv("TMPDIR", StringToUtf8(Temp.Path()).c_str(), 1);
    OldSignal = signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails instead of killing
    getrlimit(RLIMIT_FSIZE, &Unlimited);
    WriteAll(Target, Old);
  }
  void TearDown() override {
    Lift();
    signal(SIGXFSZ, OldSignal);
    if (OldTmpDir)
      setenv("TMPDIR", OldTmpDir->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  void Limit(rlim_t bytes) {
    rlimit r = Unlimited;
    r.rlim_cur = bytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &r), 0);
  }
  void Lift() { setrlimit(RLIMIT_FSIZE, &Unlimited); }
  void ExpectTargetAloneAndUnchanged() {
    EXPECT_EQ(ReadAll(Target), Old);
    EXPECT_EQ(ListDirectory(Dir.Path(), false), std::vector<String>{u"target.txt"});
    EXPECT_TRUE(ListDirectory(Temp.Path(), false).empty());
  }

  TTempDir Dir, Temp;
  String Target = Dir.File(u"target.txt");
  const RawBytes Old = RawBytes(90000, 'o');
  rlimit Unlimited{};
  void (*OldSignal)(int) = nullptr;
  std::optional<std::string> OldTmpDir;
};

TEST_F(TextFileSizeLimit, FailedWriteDiscardsTheOutput) {
  TKyTextFile f;
  f.Rewrite(Target);
  Limit(100000);
  bool failed = false;
  try {
    for (int i = 0; i < 256; ++i) f.Write(String(1024, u'n'));
  } catch (const Exception&) {
    failed = true;
  }
  Lift();
  EXPECT_TRUE(failed);
  // Nothing is pending: neither Close, nor opening another stream, nor the destructor
  // puts the partial output in place.
  EXPECT_NO_THROW(f.Close());
  TMemoryStream other;
  f.Open(&other, false);
  f.Close();
  ExpectTargetAloneAndUnchanged();
}

TEST_F(TextFileSizeLimit, FailedCopyKeepsTheTargetWhole) {
  {
    TKyTextFile f;
    f.Rewrite(Target);
    f.Write(String(256 * 1024, u'n'));  // a whole output block: in the temporary file now
    Limit(100000);
    EXPECT_THROW(f.Close(), EKyException);
    Lift();
    ExpectTargetAloneAndUnchanged();
    // The failed output is gone: a later Close, now that the copy would succeed, changes nothing.
    TMemoryStream other;
    f.Open(&other, false);
    f.Close();
    ExpectTargetAloneAndUnchanged();
  }
  // Within the limit the same output replaces the target.
  TKyTextFile f;
  f.Rewrite(Target);
  f.Write(String(256 * 1024, u'n'));
  f.Close();
  EXPECT_EQ(ReadAll(Target), RawBytes(256 * 1024, 'n'));
  EXPECT_TRUE(ListDirectory(Temp.Path(), false).empty());
}

}  // namespace
