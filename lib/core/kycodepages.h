// The table of encodings the library knows, which of them the system converts, and
// the multi-language conversion service for code pages the plain conversion lacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "lib/core/kytypes.h"
#include "lib/core/resstring.h"

// Family of an encoding (3 is not used).
enum : Byte {
  ekUtf8 = 0,       // UTF-8 or UTF-7
  ekUtf16LE = 1,
  ekUtf16BE = 2,
  ekWindows = 4,
  ekIso = 5,
  ekMac = 6,
  ekDos = 7,
  ekEbcdic = 8,
  ekOther = 9,
};

// Flag bits of an entry.
enum : int { cfInstalled = 0, cfMLang = 1 };

class TKyCodePageObject {
 public:
  Byte Kind = 0;
  Byte Index = 0;
  std::vector<String> Names;  // the first is the preferred name
  int CodePage = 0;
  Byte Flags = 0;             // bit cfInstalled, bit cfMLang

  bool HasFlag(int bit) const { return (Flags >> bit) & 1; }
};

class TKyCodePageDatas {
 public:
  static constexpr int EntryCount = 148;

  // The 148 entries, filled by position; all flags clear.
  TKyCodePageDatas();

  int Count() const { return static_cast<int>(Entries_.size()); }
  // ERangeError outside 0 .. Count - 1.
  const TKyCodePageObject& GetCodePageEntry(int index) const;
  const TKyCodePageObject* FindCodePage(int codePage) const;
  // Exact names ignoring case first, then again without spaces, "-" and "_".
  const TKyCodePageObject* FindCodePageByName(StringView name) const;
  Byte GetCodePageFlags(int codePage) const;
  bool IsMLangOnlyCodePage(int codePage) const;
  String GetCodePageName(int codePage) const;
  int CodePageFromName(StringView name) const;
  Byte GetEncodingKind(StringView name) const;
  // Code page 50000 is ignored; unknown code pages too.
  void SetCodePageFlag(int codePage, int bit);
  void ClearFlags();

 private:
  std::vector<TKyCodePageObject> Entries_;
};

// Result codes of the conversion service (the COM values).
using TKyResult = std::int32_t;
constexpr TKyResult KY_S_OK = 0;
constexpr TKyResult KY_S_FALSE = 1;
constexpr TKyResult KY_E_FAIL = static_cast<TKyResult>(0x80004005u);

struct TKyServiceCodePage {
  int CodePage = 0;
  String WebCharset;   // at most 49 characters
  String Description;  // at most 63 characters
};

// What TMultiLanguage needs of the platform's multi-language objects: two converters
// (one per direction) and the enumeration of supported code pages.
class IKyCodePageService {
 public:
  virtual ~IKyCodePageService() = default;
  // Sets up the converter of one direction (toUnicode: codePage -> 1200).
  virtual TKyResult InitializeConverter(bool toUnicode, int sourceCodePage, int targetCodePage) = 0;
  // dstLen: capacity on entry, units written on return.
  virtual TKyResult ToUnicode(std::string_view src, Char* dst, unsigned& dstLen) = 0;
  virtual TKyResult FromUnicode(StringView src, char* dst, unsigned& dstLen) = 0;
  // Failure means no enumerator could be obtained.
  virtual TKyResult StartEnum() = 0;
  // KY_S_FALSE when there are no more records.
  virtual TKyResult NextCodePage(TKyServiceCodePage& record) = 0;
};

// The service of the platform: MLang on Windows, iconv natively. Never null.
std::unique_ptr<IKyCodePageService> CreatePlatformCodePageService();

class TMultiLanguage {
 public:
  using TEnumCallback = std::function<void(int codePage, StringView webCharset, StringView description)>;

  // Without a service the platform's one is created on first use.
  explicit TMultiLanguage(std::unique_ptr<IKyCodePageService> service = nullptr);

  bool Available() const { return Available_; }
  // EKyException "Could not initialize converter" / "Could not convert the string" /
  // "Unknown code page".
  String CodePageToUnicode(std::string_view text, int codePage);
  RawBytes UnicodeToCodePage(StringView text, int codePage);
  // Errors during the enumeration are swallowed and switch the service off.
  void EnumCodePages(const TEnumCallback& callback);

 private:
  IKyCodePageService& Service();
  void CheckResult(TKyResult result, const TResString& failMessage);

  std::unique_ptr<IKyCodePageService> Service_;
  bool Available_ = true;
};

// The global service, created on demand; InitMultiLanguage also initialises COM for
// the calling thread on Windows.
TMultiLanguage& MultiLanguage();
void InitMultiLanguage();

// The system's own conversion (WideCharToMultiByte / MultiByteToWideChar, iconv natively).
class IKyPlatformConversion {
 public:
  virtual ~IKyPlatformConversion() = default;
  // False on failure with the platform's last error; characters that cannot be
  // encoded become the default character (usedDefault set). compositeCheck asks for
  // WC_COMPOSITECHECK | WC_SEPCHARS.
  virtual bool FromWide(StringView s, int codePage, bool compositeCheck, RawBytes& out,
                        bool& usedDefault, std::uint32_t& lastError) = 0;
  virtual bool ToWide(std::string_view s, int codePage, String& out) = 0;
  // The code pages the system has installed.
  virtual void EnumInstalledCodePages(const std::function<void(int)>& callback) = 0;
};

IKyPlatformConversion& PlatformConversion();

// The global table, filled on first use (PopulateCodePageDatas).
TKyCodePageDatas& CodePageDatas();
// Clears the flags, sets bit 0 for the installed code pages and bit 1 for those the
// service reports.
void PopulateCodePageDatas(TKyCodePageDatas& datas, TMultiLanguage& service,
                           IKyPlatformConversion& platform);

// WideToCodePage / CodePageToWide over a given table, service and platform conversion.
class TKyCodePageConverter {
 public:
  TKyCodePageConverter(const TKyCodePageDatas& datas, TMultiLanguage& service,
                       IKyPlatformConversion& platform)
      : Datas_(datas), Service_(service), Platform_(platform) {}
  RawBytes WideToCodePage(StringView s, int codePage);
  String CodePageToWide(std::string_view s, int codePage);

 private:
  RawBytes PieceToCodePage(StringView s, int codePage);
  String PieceToWide(std::string_view s, int codePage);
  const TKyCodePageDatas& Datas_;
  TMultiLanguage& Service_;
  IKyPlatformConversion& Platform_;
};
