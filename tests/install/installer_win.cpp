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

// Resources are read in place: in the module image, and for a whole archive where they lie
// in the program file (not through the image, whose pages would stay in the working set).
TEST(PayloadWin, ResourcesAreReadInPlaceAndEnumeratedAscending) {
  auto plain = TKyInstallComponent::OpenResource(u"PLAIN");
  auto base = reinterpret_cast<const Byte*>(GetModuleHandleW(nullptr));
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const Byte* end = base + nt->OptionalHeader.SizeOfImage;
  EXPECT_GE(plain->Memory(), base);
  EXPECT_LE(plain->Memory() + plain->Size(), end) << "the stream must lie in the module image, not in a copy";
  for (const char16_t* name : {u"PLAIN", u"NESTED", u"AES"}) {
    auto stream = TKyInstallComponent::OpenResourceFile(name);
    EXPECT_TRUE(dynamic_cast<TFileRangeStream*>(stream.get())) << StringToUtf8(name);
    auto image = TKyInstallComponent::OpenResource(name);
    ASSERT_EQ(stream->Size(), image->Size());
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    stream->ReadBuffer(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(image->Memory()), bytes.size())) << StringToUtf8(name);
    EXPECT_EQ(stream->Read(bytes.data(), 1), 0u);
    // Back and forth as the Zip reader goes: the directory at the end first, then the entries.
    for (std::int64_t at : {stream->Size() - 4, stream->Size() / 2, std::int64_t{0}}) {
      stream->SetPosition(at);
      char four[4];
      stream->ReadBuffer(four, 4);
      EXPECT_EQ(std::string(four, 4), bytes.substr(static_cast<size_t>(at), 4)) << at;
    }
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
  }

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
