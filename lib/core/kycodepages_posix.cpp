// Native stand-ins: iconv is both the system conversion and the multi-language service.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "lib/core/kycodepages.h"
#include "lib/core/kystrutils.h"

namespace {

std::string PreferredIconvName(int cp) {
  switch (cp) {
    case 65001: return "UTF-8";
    case 65000: return "UTF-7";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 20127: return "ASCII";
    case 10000: return "MACINTOSH";
    case 10007: return "MAC-CYRILLIC";
    case 10017: return "MAC-UK";
    case 10029: return "MAC-CENTRALEUROPE";
    case 10079: return "MAC-IS";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 50220: case 50221: case 50222: return "ISO-2022-JP";
    case 50225: return "ISO-2022-KR";
    case 50227: return "ISO-2022-CN";
    case 51932: return "EUC-JP";
    case 51936: return "EUC-CN";
    case 51949: return "EUC-KR";
    case 51950: return "EUC-TW";
    case 54936: return "GB18030";
    case 38598: return "ISO-8859-8";
    case 1361: return "JOHAB";
    case 20932: return "EUC-JP";
    case 20936: return "GB2312";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: break;
  }
  if (cp >= 28591 && cp <= 28599) return "ISO-8859-" + std::to_string(cp - 28590);
  if (cp >= 1140 && cp <= 1149) return "IBM0" + std::to_string(cp);
  if (cp < 1000) {
    std::string n = std::to_string(cp);
    while (n.size() < 3) n = "0" + n;
    return (cp == 37 || cp == 500 || cp == 870 || cp == 875) ? "IBM" + n : "CP" + n;
  }
  return "CP" + std::to_string(cp);
}

// An iconv descriptor that closes itself.
class TIconv {
 public:
  TIconv(const std::string& to, const std::string& from) : Cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~TIconv() {
    if (Valid()) iconv_close(Cd_);
  }
  TIconv(const TIconv&) = delete;
  TIconv& operator=(const TIconv&) = delete;
  bool Valid() const { return Cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return Cd_; }

 private:
  iconv_t Cd_;
};

bool Opens(const std::string& name) {
  TIconv a(name, "UTF-16LE"), b("UTF-16LE", name);
  return a.Valid() && b.Valid();
}

// The first name iconv knows for the code page, empty when none; glibc spells many IBM
// code pages only as "IBMnnn" (20273 is IBM273).
std::string IconvName(int cp) {
  static std::mutex lock;
  static std::map<int, std::string> known;
  std::lock_guard<std::mutex> guard(lock);
  auto it = known.find(cp);
  if (it != known.end()) return it->second;
  std::string found;
  std::vector<std::string> candidates = {PreferredIconvName(cp), "CP" + std::to_string(cp), "IBM" + std::to_string(cp)};
  if (cp > 20000 && cp < 21100) candidates.push_back("IBM" + std::to_string(cp - 20000));
  for (const std::string& name : candidates)
    if (Opens(name)) {
      found = name;
      break;
    }
  known[cp] = found;
  return found;
}

bool Supported(int cp) { return cp == 1200 || cp == 1201 || !IconvName(cp).empty(); }

// Runs the whole input through cd; an invalid or incomplete sequence of inStep bytes is
// replaced with the replacement bytes, as the Windows functions do.
bool Run(iconv_t cd, std::string_view in, size_t inStep, std::string_view replacement,
         std::string& out, bool& replaced) {
  replaced = false;
  out.clear();
  std::string buf(in.size() * 4 + 16, '\0');
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  char* dst = buf.data();
  size_t dstLeft = buf.size();
  auto grow = [&] {
    size_t used = buf.size() - dstLeft;
    buf.resize(buf.size() * 2);
    dst = buf.data() + used;
    dstLeft = buf.size() - used;
  };
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      grow();
    } else if (errno == EILSEQ || errno == EINVAL) {
      size_t skip = std::min(srcLeft, inStep);
      // A surrogate pair is one character.
      if (inStep == 2 && skip == 2 && srcLeft >= 4) {
        unsigned u = static_cast<Byte>(src[0]) | static_cast<Byte>(src[1]) << 8;
        unsigned v = static_cast<Byte>(src[2]) | static_cast<Byte>(src[3]) << 8;
        if (u >= 0xD800 && u < 0xDC00 && v >= 0xDC00 && v < 0xE000) skip = 4;
      }
      src += skip;
      srcLeft -= skip;
      replaced = true;
      // Flush the shift state before the plain replacement bytes.
      while (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1) && errno == E2BIG) grow();
      while (dstLeft < replacement.size()) grow();
      for (char c : replacement) *dst++ = c;
      dstLeft -= replacement.size();
    } else {
      return false;
    }
  }
  while (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) {
    if (errno != E2BIG) return false;
    grow();
  }
  out.assign(buf.data(), buf.size() - dstLeft);
  return true;
}

std::string Utf16LE(StringView s) {
  std::string b;
  b.reserve(s.size() * 2);
  for (Char c : s) {
    b += static_cast<char>(c & 0xFF);
    b += static_cast<char>(c >> 8);
  }
  return b;
}

String FromUtf16LE(const std::string& b) {
  String s;
  s.reserve(b.size() / 2);
  for (size_t i = 0; i + 1 < b.size(); i += 2)
    s += static_cast<Char>(static_cast<Byte>(b[i]) | static_cast<Byte>(b[i + 1]) << 8);
  return s;
}

bool IconvFromWide(StringView s, int cp, std::string& out, bool& usedDefault, std::uint32_t& lastError) {
  std::string name = IconvName(cp);
  // No name for an unknown code page: glibc would open a converter even for a made-up one.
  TIconv cd(name.empty() ? "?" : name, "UTF-16LE");
  if (name.empty() || !cd.Valid()) {
    lastError = EINVAL;
    return false;
  }
  if (!Run(cd.Get(), Utf16LE(s), 2, "?", out, usedDefault)) {
    lastError = static_cast<std::uint32_t>(errno);
    return false;
  }
  return true;
}

bool IconvToWide(std::string_view s, int cp, String& out) {
  std::string name = IconvName(cp);
  TIconv cd("UTF-16LE", name.empty() ? "?" : name);
  if (name.empty() || !cd.Valid()) return false;
  std::string b;
  bool replaced = false;
  if (!Run(cd.Get(), s, 1, "\xFD\xFF", b, replaced)) return false;
  out = FromUtf16LE(b);
  return true;
}

class TIconvConversion : public IKyPlatformConversion {
 public:
  bool FromWide(StringView s, int codePage, bool, RawBytes& out, bool& usedDefault,
                std::uint32_t& lastError) override {
    return IconvFromWide(s, codePage, out, usedDefault, lastError);
  }
  bool ToWide(std::string_view s, int codePage, String& out) override {
    return IconvToWide(s, codePage, out);
  }
  void EnumInstalledCodePages(const std::function<void(int)>& callback) override {
    TKyCodePageDatas table;
    for (int i = 0; i < table.Count(); ++i) {
      int cp = table.GetCodePageEntry(i).CodePage;
      if (Supported(cp)) callback(cp);
    }
  }
};

class TIconvService : public IKyCodePageService {
 public:
  TKyResult InitializeConverter(bool toUnicode, int source, int target) override {
    int cp = toUnicode ? source : target;
    if (!Supported(cp)) return KY_S_FALSE;
    (toUnicode ? ToCp_ : FromCp_) = cp;
    return KY_S_OK;
  }
  TKyResult ToUnicode(std::string_view src, Char* dst, unsigned& dstLen) override {
    String out;
    if (!IconvToWide(src, ToCp_, out)) return KY_E_FAIL;
    if (out.size() > dstLen) return KY_E_FAIL;
    std::copy(out.begin(), out.end(), dst);
    dstLen = static_cast<unsigned>(out.size());
    return KY_S_OK;
  }
  TKyResult FromUnicode(StringView src, char* dst, unsigned& dstLen) override {
    std::string out;
    bool usedDefault = false;
    std::uint32_t err = 0;
    if (!IconvFromWide(src, FromCp_, out, usedDefault, err)) return KY_E_FAIL;
    if (out.size() > dstLen) return KY_E_FAIL;
    std::copy(out.begin(), out.end(), dst);
    dstLen = static_cast<unsigned>(out.size());
    return KY_S_OK;
  }
  TKyResult StartEnum() override {
    Next_ = 0;
    return KY_S_OK;
  }
  TKyResult NextCodePage(TKyServiceCodePage& record) override {
    while (Next_ < Table_.Count()) {
      const TKyCodePageObject& e = Table_.GetCodePageEntry(Next_++);
      if (!Supported(e.CodePage)) continue;
      record.CodePage = e.CodePage;
      record.WebCharset = e.Names.front();
      record.Description = e.Names.front();
      return KY_S_OK;
    }
    return KY_S_FALSE;
  }

 private:
  int ToCp_ = 0, FromCp_ = 0;
  TKyCodePageDatas Table_;
  int Next_ = 0;
};

locale_t Utf8Locale() {
  static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return loc;
}

}  // namespace

std::unique_ptr<IKyCodePageService> CreatePlatformCodePageService() {
  return std::make_unique<TIconvService>();
}

IKyPlatformConversion& PlatformConversion() {
  static TIconvConversion instance;
  return instance;
}

void InitMultiLanguage() { MultiLanguage(); }

int GetSystemCodePage() { return 1252; }

bool IsLeadByteOf(int codePage, Byte b) {
  switch (codePage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950: return b >= 0x81 && b <= 0xFE;
    default: return false;
  }
}

bool IsLetter(Char c) {
  if (c >= 0xD800 && c < 0xE000) return false;
  if (locale_t loc = Utf8Locale()) return iswalpha_l(static_cast<wint_t>(c), loc);
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

bool IsLetterOrDigit(Char c) {
  if (c >= 0xD800 && c < 0xE000) return false;
  if (locale_t loc = Utf8Locale()) return iswalnum_l(static_cast<wint_t>(c), loc);
  return IsLetter(c) || IsDigit(c);
}
