// Shell links through the shell's link object.
#include <shlobj.h>

#include "lib/core/win/kywin.h"
#include "lib/install/kyinstaller.h"

std::int32_t TKyInstaller::CreateShellLink(const String& dir, const String& fileName, const String& description,
                                           const String& linkFile) {
  NeedCom();
  TComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
  if (FAILED(hr)) return hr;
  link->SetPath(W(KyJoinPath(dir, fileName)));
  link->SetWorkingDirectory(W(dir));
  link->SetDescription(W(description));
  TComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.PutVoid());
  if (FAILED(hr)) return hr;
  hr = file->Save(W(linkFile), TRUE);
  // Recorded even when the save failed: a half-written link must not outlive the uninstall.
  UninstallFile->AddFile(linkFile);
  return hr;
}
