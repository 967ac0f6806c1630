// Text files on Windows: the temporary folder, file attributes and sharing.
#include <gtest/gtest.h>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "lib/core/win/kywin.h"
#include "tests/core/testutil.h"

TEST(TextFileWin, OutputGoesThroughTheSystemTemporaryFolder) {
  TTempDir dir;
  String name = dir.File(u"t.txt");
  TKyTextFile f;
  f.Rewrite(name);
  wchar_t tempDir[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, tempDir);
  ASSERT_GT(n, 0u);
  EXPECT_TRUE(SameText(ExtractFilePath(f.TempFileName), FromW(tempDir, n)));
  EXPECT_TRUE(StartsText(u"txt", ExtractFileName(f.TempFileName)));
  String temp = f.TempFileName;
  f.Write(u"x");
  f.Close();
  EXPECT_EQ(ReadAll(name), "x");
  EXPECT_EQ(GetFileAttributesW(W(temp)), INVALID_FILE_ATTRIBUTES);
}

TEST(TextFileWin, ReadOnlyAttributeRefusesTheTarget) {
  TTempDir dir;
  String name = dir.File(u"ro.txt");
  WriteAll(name, "keep");
  ASSERT_TRUE(SetFileAttributesW(W(name), FILE_ATTRIBUTE_READONLY));
  TKyTextFile f;
  f.BackupExtension = u"bak";
  f.Rewrite(name);
  f.WriteLine(u"new");
  try {
    f.Close();
    FAIL() << "no error";
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Could not create the file \"" + name + u"\" because it is read-only");
  }
  EXPECT_EQ(ReadAll(name), "keep");
  EXPECT_FALSE(FileExists(dir.File(u"ro.bak")));
  SetFileAttributesW(W(name), FILE_ATTRIBUTE_NORMAL);
}

TEST(TextFileWin, ReadingLetsOthersWrite) {
  TTempDir dir;
  String name = dir.File(u"shared.txt");
  WriteAll(name, "line\r\n");
  TKyTextFile f(name);
  HANDLE h = CreateFileW(W(name), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"line");
}
