// Windows: the kernel's conversion functions and the MLang objects.
#include "lib/core/win/kywin.h"

#include <mlang.h>

#include "lib/core/kycodepages.h"
#include "lib/core/kystrutils.h"

namespace {

// libuuid lacks these; local names keep them from clashing with other definitions.
const IID kIID_IMultiLanguage = {0x275c23e1, 0x3747, 0x11d0, {0x9f, 0xea, 0x00, 0xaa, 0x00, 0x3f, 0x86, 0x46}};
const CLSID kCLSID_CMultiLanguage = {0x275c23e2, 0x3747, 0x11d0, {0x9f, 0xea, 0x00, 0xaa, 0x00, 0x3f, 0x86, 0x46}};
const CLSID kCLSID_CMLangConvertCharset = {0xd66d6f99, 0xcdaa, 0x11d0, {0xb8, 0x22, 0x00, 0xc0, 0x4f, 0xc9, 0xb3, 0x1f}};
const IID kIID_IMLangConvertCharset = {0xd66d6f98, 0xcdaa, 0x11d0, {0xb8, 0x22, 0x00, 0xc0, 0x4f, 0xc9, 0xb3, 0x1f}};

class TWinConversion : public IKyPlatformConversion {
 public:
  bool FromWide(StringView s, int codePage, bool compositeCheck, RawBytes& out, bool& usedDefault,
                std::uint32_t& lastError) override {
    out.clear();
    usedDefault = false;
    if (s.empty()) return true;
    DWORD flags = compositeCheck ? (WC_COMPOSITECHECK | WC_SEPCHARS) : 0;
    const wchar_t* src = reinterpret_cast<const wchar_t*>(s.data());
    int srcLen = static_cast<int>(s.size());
    BOOL used = FALSE;
    // Some code pages (UTF-7, UTF-8, the ISO-2022 family) refuse the used-default flag.
    BOOL* usedPtr = &used;
    int n = WideCharToMultiByte(codePage, flags, src, srcLen, nullptr, 0, nullptr, usedPtr);
    if (n == 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
      usedPtr = nullptr;
      n = WideCharToMultiByte(codePage, flags, src, srcLen, nullptr, 0, nullptr, nullptr);
    }
    if (n == 0) {
      lastError = GetLastError();
      return false;
    }
    out.resize(n);
    used = FALSE;
    n = WideCharToMultiByte(codePage, flags, src, srcLen, out.data(), n, nullptr, usedPtr);
    if (n == 0) {
      lastError = GetLastError();
      out.clear();
      return false;
    }
    out.resize(n);
    usedDefault = used != FALSE;
    return true;
  }

  bool ToWide(std::string_view s, int codePage, String& out) override {
    out.clear();
    if (s.empty()) return true;
    int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n == 0) return false;
    out.resize(n);
    n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), W(out.data()), n);
    out.resize(n);
    return n > 0;
  }

  void EnumInstalledCodePages(const std::function<void(int)>& callback) override {
    // The enumeration has no user argument; it runs on the calling thread only.
    static thread_local const std::function<void(int)>* current = nullptr;
    current = &callback;
    EnumSystemCodePagesW(
        [](LPWSTR name) -> BOOL {
          int cp = _wtoi(name);
          if (cp > 0 && current) (*current)(cp);
          return TRUE;
        },
        CP_INSTALLED);
    current = nullptr;
  }
};

class TMLangService : public IKyCodePageService {
 public:
  TKyResult InitializeConverter(bool toUnicode, int source, int target) override {
    TComPtr<IMLangConvertCharset>& conv = toUnicode ? ToUnicode_ : FromUnicode_;
    if (!conv) {
      HRESULT hr = CoCreateInstance(kCLSID_CMLangConvertCharset, nullptr, CLSCTX_INPROC_SERVER,
                                    kIID_IMLangConvertCharset, conv.PutVoid());
      if (FAILED(hr) || !conv) {
        conv.Reset();
        return KY_E_FAIL;
      }
    }
    return conv->Initialize(static_cast<UINT>(source), static_cast<UINT>(target), 0);
  }

  TKyResult ToUnicode(std::string_view src, Char* dst, unsigned& dstLen) override {
    if (!ToUnicode_) return KY_E_FAIL;
    UINT srcSize = static_cast<UINT>(src.size());
    UINT dstSize = dstLen;
    HRESULT hr = ToUnicode_->DoConversionToUnicode(const_cast<CHAR*>(src.data()), &srcSize,
                                                   reinterpret_cast<WCHAR*>(dst), &dstSize);
    dstLen = dstSize;
    return hr;
  }

  TKyResult FromUnicode(StringView src, char* dst, unsigned& dstLen) override {
    if (!FromUnicode_) return KY_E_FAIL;
    UINT srcSize = static_cast<UINT>(src.size());
    UINT dstSize = dstLen;
    HRESULT hr = FromUnicode_->DoConversionFromUnicode(
        reinterpret_cast<WCHAR*>(const_cast<Char*>(src.data())), &srcSize, dst, &dstSize);
    dstLen = dstSize;
    return hr;
  }

  TKyResult StartEnum() override {
    if (!MultiLanguage_) {
      HRESULT hr = CoCreateInstance(kCLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER,
                                    kIID_IMultiLanguage, MultiLanguage_.PutVoid());
      if (FAILED(hr) || !MultiLanguage_) {
        MultiLanguage_.Reset();
        return KY_E_FAIL;
      }
    }
    HRESULT hr = MultiLanguage_->EnumCodePages(0, Enum_.Put());
    if (FAILED(hr) || !Enum_) return KY_E_FAIL;
    return KY_S_OK;
  }

  TKyResult NextCodePage(TKyServiceCodePage& record) override {
    if (!Enum_) return KY_E_FAIL;
    MIMECPINFO info{};
    ULONG fetched = 0;
    HRESULT hr = Enum_->Next(1, &info, &fetched);
    if (hr == S_FALSE || (hr == S_OK && fetched == 0)) return KY_S_FALSE;
    if (FAILED(hr)) return hr;
    record.CodePage = static_cast<int>(info.uiCodePage);
    info.wszWebCharset[MAX_MIMECSET_NAME - 1] = 0;
    info.wszDescription[MAX_MIMECP_NAME - 1] = 0;
    record.WebCharset = FromW(info.wszWebCharset);
    record.Description = FromW(info.wszDescription);
    return KY_S_OK;
  }

 private:
  TComPtr<IMLangConvertCharset> ToUnicode_;
  TComPtr<IMLangConvertCharset> FromUnicode_;
  TComPtr<IMultiLanguage> MultiLanguage_;
  TComPtr<IEnumCodePage> Enum_;
};

}  // namespace

std::unique_ptr<IKyCodePageService> CreatePlatformCodePageService() {
  return std::make_unique<TMLangService>();
}

IKyPlatformConversion& PlatformConversion() {
  static TWinConversion instance;
  return instance;
}

void InitMultiLanguage() {
  NeedCom();
  MultiLanguage();
}

int GetSystemCodePage() { return static_cast<int>(GetACP()); }

bool IsLeadByteOf(int codePage, Byte b) { return IsDBCSLeadByteEx(static_cast<UINT>(codePage), b) != FALSE; }

bool IsLetter(Char c) { return IsCharAlphaW(static_cast<WCHAR>(c)) != FALSE; }

bool IsLetterOrDigit(Char c) { return IsCharAlphaNumericW(static_cast<WCHAR>(c)) != FALSE; }
