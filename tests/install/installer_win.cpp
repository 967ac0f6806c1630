// Windows only: payload resources read in place from the executable, their enumeration,
// and Escape from the message queue stopping an extraction without a progress handler.
#include <gtest/gtest.h>

#include "lib/core/kyfileutils.h"
#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"
#include "tests/core/testutil.h"

namespace {
class TWinInstaller : public TKyInstaller {
 public:
  String GetProductName() override { return u"Tramvelon 4"; }
  String GetUninstallFileName() override { return u"TvUninstall.dat"; }
  void FileLogged(const String&) override {}
  void DoInstall() override {}
};

void DrainMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}
}  // namespace

TEST(PayloadWin, ResourcesAreReadInPlaceAndEnumeratedAscending) {
  auto stream = TKyInstallComponent::OpenResource(u"PLAIN");
  auto base = reinterpret_cast<const Byte*>(GetModuleHandleW(nullptr));
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const Byte* end = base + nt->OptionalHeader.SizeOfImage;
  EXPECT_GE(stream->Memory(), base);
  EXPECT_LE(stream->Memory() + stream->Size(), end) << "the stream must lie in the module image, not in a copy";
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream->Memory()), 4), std::string("PK\x03\x04", 4));

  TStringList names;
  TKyInstallComponent::GetResourceNames(names);
  ASSERT_EQ(names.Count(), 6);
  EXPECT_EQ(names.Text(), u"AES\r\nDAMAGED\r\nENCRYPTED\r\nEVIL\r\nNESTED\r\nPLAIN\r\n");
}

TEST(PayloadWin, EscapeInTheMessageQueueAbortsWithoutAProgressHandler) {
  TTempDir dir;
  auto installer = TKyInstaller::Create<TWinInstaller>();
  installer->SetInstallDir(dir.Path());
  auto* plain = installer->Components(installer->AddComponent(std::make_unique<TKyHiddenComponent>(u"PLAIN", u"")));

  // Other messages neither abort nor clear a stop request.
  DrainMessages();
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
  installer->InstallComponent(plain);
  EXPECT_FALSE(installer->Aborted);
  EXPECT_TRUE(FileExists(dir.Path() + u"\\Dict\\fr.lex"));

  TTempDir second;
  installer->SetInstallDir(second.Path());
  DrainMessages();
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0));
  installer->InstallComponent(plain);
  EXPECT_TRUE(installer->Aborted);
  EXPECT_FALSE(FileExists(second.Path() + u"\\Dict\\fr.lex"));
  DrainMessages();
}
