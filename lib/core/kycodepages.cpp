#include "lib/core/kycodepages.h"

#include <algorithm>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

namespace {

struct TCodePageRow {
  Byte Kind;
  int CodePage;
  const Char* Names;  // separated by ";"; after the preferred name the registered aliases
                      // that documents declare ("ASCII", "latin1")
};

const TCodePageRow kCodePageRows[TKyCodePageDatas::EntryCount] = {
    {4, 1252, u"windows-1252"},
    {4, 1250, u"windows-1250"},
    {4, 1251, u"windows-1251"},
    {4, 1253, u"windows-1253"},
    {4, 1254, u"windows-1254"},
    {4, 1255, u"windows-1255"},
    {4, 1256, u"windows-1256"},
    {4, 1257, u"windows-1257"},
    {4, 1258, u"windows-1258"},
    {4, 874, u"windows-874"},
    {4, 932, u"shift_jis;MS_Kanji;csShiftJIS"},
    {4, 936, u"gb2312"},
    {4, 949, u"ks_c_5601-1987"},
    {4, 950, u"big5"},
    {5, 28591, u"iso-8859-1;latin1;l1;ISO_8859-1:1987;IBM819;CP819;csISOLatin1;iso-ir-100"},
    {5, 28592, u"iso-8859-2;latin2;l2;ISO_8859-2:1987;csISOLatin2;iso-ir-101"},
    {5, 28593, u"iso-8859-3"},
    {5, 28594, u"iso-8859-4"},
    {5, 28595, u"iso-8859-5"},
    {5, 28596, u"iso-8859-6"},
    {5, 28597, u"iso-8859-7"},
    {5, 28598, u"iso-8859-8"},
    {5, 28599, u"iso-8859-9"},
    {5, 28603, u"iso-8859-13"},
    {5, 28605, u"iso-8859-15"},
    {5, 38598, u"iso-8859-8-i"},
    {5, 50220, u"iso-2022-jp"},
    {5, 50221, u"csISO2022JP"},
    {5, 50222, u"iso-2022-jpX"},
    {5, 50225, u"iso-2022-kr"},
    {5, 50227, u"iso-2022-cn"},
    {5, 50229, u"iso-2022-tw"},
    {5, 20269, u"x-cp20269"},
    {6, 10000, u"macintosh"},
    {6, 10001, u"x-mac-japanese"},
    {6, 10002, u"x-mac-chinesetrad"},
    {6, 10003, u"x-mac-korean"},
    {6, 10004, u"x-mac-arabic"},
    {6, 10005, u"x-mac-hebrew"},
    {6, 10006, u"x-mac-greek"},
    {6, 10007, u"x-mac-cyrillic"},
    {6, 10008, u"x-mac-chinesesimp"},
    {6, 10010, u"x-mac-romania"},
    {6, 10017, u"x-mac-ukraine"},
    {6, 10021, u"x-mac-thai"},
    {6, 10029, u"x-mac-latin"},
    {6, 10079, u"x-mac-icelandic"},
    {6, 10081, u"x-mac-turkish"},
    {6, 10082, u"x-mac-croatian"},
    {7, 437, u"IBM437"},
    {7, 708, u"ASMO-708"},
    {7, 720, u"DOS-720"},
    {7, 737, u"ibm737"},
    {7, 775, u"ibm775"},
    {7, 850, u"ibm850"},
    {7, 852, u"ibm852"},
    {7, 855, u"IBM855"},
    {7, 857, u"ibm857"},
    {7, 858, u"IBM00858"},
    {7, 860, u"IBM860"},
    {7, 861, u"ibm861"},
    {7, 862, u"DOS-862"},
    {7, 863, u"IBM863"},
    {7, 864, u"IBM864"},
    {7, 865, u"IBM865"},
    {7, 866, u"cp866"},
    {7, 869, u"ibm869"},
    {8, 37, u"IBM037"},
    {8, 500, u"IBM500"},
    {8, 870, u"IBM870"},
    {8, 875, u"x-Ebcdic-GreekModern"},
    {8, 1026, u"CP1026"},
    {8, 1047, u"ebcdic-1047"},
    {8, 1140, u"x-ebcdic-cp-us-euro"},
    {8, 1141, u"x-ebcdic-germany-euro"},
    {8, 1142, u"x-ebcdic-denmarknorway-euro"},
    {8, 1143, u"x-ebcdic-finlandsweden-euro"},
    {8, 1144, u"x-ebcdic-italy-euro"},
    {8, 1145, u"x-ebcdic-spain-euro"},
    {8, 1146, u"x-ebcdic-uk-euro"},
    {8, 1147, u"x-ebcdic-france-euro"},
    {8, 1148, u"x-ebcdic-international-euro"},
    {8, 1149, u"x-ebcdic-icelandic-euro"},
    {8, 20273, u"x-Ebcdic-Germany"},
    {8, 20277, u"x-Ebcdic-DenmarkNorway"},
    {8, 20278, u"x-Ebcdic-FinlandSweden"},
    {8, 20280, u"x-Ebcdic-Italy"},
    {8, 20284, u"X-Ebcdic-Spain"},
    {8, 20285, u"x-Ebcdic-UK"},
    {8, 20290, u"x-Ebcdic-JapaneseKatakana"},
    {8, 20297, u"x-Ebcdic-France"},
    {8, 20420, u"x-Ebcdic-Arabic"},
    {8, 20423, u"x-Ebcdic-Greek"},
    {8, 20424, u"x-Ebcdic-Hebrew"},
    {8, 20833, u"x-Ebcdic-KoreanExtended"},
    {8, 20838, u"x-Ebcdic-Thai"},
    {8, 20871, u"x-Ebcdic-Icelandic"},
    {8, 20880, u"x-Ebcdic-CyrillicRussian"},
    {8, 20905, u"x-Ebcdic-Turkish"},
    {8, 20924, u"IBM00924"},
    {8, 21025, u"x-Ebcdic-CyrillicSerbianBulgarian"},
    {8, 50930, u"x-Ebcdic-JapaneseAndKana"},
    {8, 50931, u"x-Ebcdic-JapaneseAndUSCanada"},
    {8, 50933, u"x-Ebcdic-KoreanAndKoreanExtended"},
    {8, 50935, u"x-Ebcdic-SimplifiedChinese"},
    {8, 50937, u"x-Ebcdic-TraditionalChinese"},
    {8, 50939, u"x-Ebcdic-JapaneseAndJapaneseLatin"},
    {9, 57002, u"x-iscii-de"},
    {9, 57003, u"x-iscii-be"},
    {9, 57004, u"x-iscii-ta"},
    {9, 57005, u"x-iscii-te"},
    {9, 57006, u"x-iscii-as"},
    {9, 57007, u"x-iscii-or"},
    {9, 57008, u"x-iscii-ka"},
    {9, 57009, u"x-iscii-ma"},
    {9, 57010, u"x-iscii-gu"},
    {9, 57011, u"x-iscii-pa"},
    {9, 1361, u"Johab"},
    {9, 20000, u"x-Chinese-CNS"},
    {9, 20001, u"x-cp20001"},
    {9, 20002, u"x-Chinese-Eten"},
    {9, 20003, u"x-cp20003"},
    {9, 20004, u"x-cp20004"},
    {9, 20005, u"x-cp20005"},
    {9, 20105, u"x-IA5"},
    {9, 20106, u"x-IA5-German"},
    {9, 20107, u"x-IA5-Swedish"},
    {9, 20108, u"x-IA5-Norwegian"},
    {9, 20127, u"us-ascii;ASCII;ANSI_X3.4-1968;ANSI_X3.4-1986;ISO646-US;ISO_646.irv:1991;us;IBM367;cp367;csASCII;iso-ir-6"},
    {9, 20261, u"x-cp20261"},
    {9, 20866, u"koi8-r"},
    {9, 20932, u"jisx"},
    {9, 20936, u"gbk"},
    {9, 20949, u"wansung"},
    {9, 21027, u"cp21027"},
    {9, 21866, u"koi8-u"},
    {9, 50932, u"JISAUTO"},
    {9, 50949, u"_AutoDetect_kr"},
    {9, 51932, u"euc-jp"},
    {9, 51936, u"euc-cn"},
    {9, 51949, u"euc-kr"},
    {9, 51950, u"euc-tw"},
    {9, 52936, u"hz-gb-2312"},
    {9, 54936, u"GB18030"},
    {1, 1200, u"unicode"},
    {2, 1201, u"unicodeFFFE"},
    {0, 65000, u"utf-7"},
    {0, 65001, u"utf-8"},
};

bool IsNameSeparator(Char c) { return c == u' ' || c == u'-' || c == u'_'; }

// SameText after removing every space, "-" and "_" from both names, without copying them.
bool SameBareName(StringView a, StringView b) {
  size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && IsNameSeparator(a[i])) ++i;
    while (j < b.size() && IsNameSeparator(b[j])) ++j;
    if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
    if (a[i] != b[j] && UpCaseChar(a[i]) != UpCaseChar(b[j])) return false;
    ++i, ++j;
  }
}

}  // namespace

TKyCodePageDatas::TKyCodePageDatas() {
  Entries_.resize(EntryCount);
  for (int i = 0; i < EntryCount; ++i) {
    TKyCodePageObject& e = Entries_[i];
    const TCodePageRow& row = kCodePageRows[i];
    e.Kind = row.Kind;
    e.Index = static_cast<Byte>(i);
    e.CodePage = row.CodePage;
    StringView names(row.Names);
    size_t start = 0;
    while (start <= names.size()) {
      size_t end = names.find(u';', start);
      if (end == StringView::npos) end = names.size();
      e.Names.emplace_back(names.substr(start, end - start));
      start = end + 1;
    }
  }
}

const TKyCodePageObject& TKyCodePageDatas::GetCodePageEntry(int index) const {
  if (index < 0 || index >= Count()) RaiseRangeCheckError();
  return Entries_[index];
}

const TKyCodePageObject* TKyCodePageDatas::FindCodePage(int codePage) const {
  if (codePage == 0) return nullptr;
  for (const TKyCodePageObject& e : Entries_)
    if (e.CodePage == codePage) return &e;
  return nullptr;
}

const TKyCodePageObject* TKyCodePageDatas::FindCodePageByName(StringView name) const {
  if (name.empty()) return nullptr;
  for (const TKyCodePageObject& e : Entries_)
    for (const String& n : e.Names)
      if (SameText(n, name)) return &e;
  // Second chance for spellings such as "utf8" or "ISO8859_1".
  for (const TKyCodePageObject& e : Entries_)
    for (const String& n : e.Names)
      if (SameBareName(n, name)) return &e;
  return nullptr;
}

Byte TKyCodePageDatas::GetCodePageFlags(int codePage) const {
  const TKyCodePageObject* e = FindCodePage(codePage);
  return e ? e->Flags : 0;
}

bool TKyCodePageDatas::IsMLangOnlyCodePage(int codePage) const {
  return GetCodePageFlags(codePage) == (1 << cfMLang);
}

String TKyCodePageDatas::GetCodePageName(int codePage) const {
  const TKyCodePageObject* e = FindCodePage(codePage);
  return e ? e->Names.front() : String();
}

int TKyCodePageDatas::CodePageFromName(StringView name) const {
  const TKyCodePageObject* e = FindCodePageByName(name);
  return e ? e->CodePage : 0;
}

Byte TKyCodePageDatas::GetEncodingKind(StringView name) const {
  if (SameText(name, u"utf-8")) return ekUtf8;
  for (StringView n : {u"UTF-16", u"unicode", u"ISO-10646-UCS-2", u"ucs-2"})
    if (SameText(name, n)) return ekUtf16LE;
  if (SameText(name, u"unicodeFFFE")) return ekUtf16BE;
  const TKyCodePageObject* e = FindCodePageByName(name);
  return e ? e->Kind : static_cast<Byte>(ekOther);
}

void TKyCodePageDatas::SetCodePageFlag(int codePage, int bit) {
  if (codePage == 50000 || bit < 0 || bit > 7) return;
  const TKyCodePageObject* e = FindCodePage(codePage);
  if (e) Entries_[e->Index].Flags |= static_cast<Byte>(1 << bit);
}

void TKyCodePageDatas::ClearFlags() {
  for (TKyCodePageObject& e : Entries_) e.Flags = 0;
}

// ---------------------------------------------------------------------------

TMultiLanguage::TMultiLanguage(std::unique_ptr<IKyCodePageService> service)
    : Service_(std::move(service)) {}

IKyCodePageService& TMultiLanguage::Service() {
  if (!Service_) Service_ = CreatePlatformCodePageService();
  return *Service_;
}

void TMultiLanguage::CheckResult(TKyResult result, const TResString& failMessage) {
  if (result == KY_E_FAIL) {
    Available_ = false;
    throw EKyException(LoadResString(failMessage));
  }
  if (result == KY_S_FALSE) throw EKyException(LoadResString(SUnknownCodePage));
  // Other failure codes must not pass as success either; they do not switch the
  // service off, though.
  if (result < 0) throw EKyException(LoadResString(failMessage));
}

String TMultiLanguage::CodePageToUnicode(std::string_view text, int codePage) {
  CheckResult(Service().InitializeConverter(true, codePage, 1200), SCouldNotInitConverter);
  if (text.empty()) return String();
  // One unit per byte suffices for the encodings known; the slack covers odd ones.
  String out(text.size() * 2 + 8, u'\0');
  unsigned len = static_cast<unsigned>(out.size());
  CheckResult(Service().ToUnicode(text, out.data(), len), SCouldNotConvert);
  out.resize(std::min<size_t>(len, out.size()));
  return out;
}

RawBytes TMultiLanguage::UnicodeToCodePage(StringView text, int codePage) {
  CheckResult(Service().InitializeConverter(false, 1200, codePage), SCouldNotInitConverter);
  if (text.empty()) return RawBytes();
  // Stateful encodings (ISO-2022) need escape sequences around every switch, and
  // GB18030 takes four bytes for one unit: twice the units would cut the text.
  RawBytes out(text.size() * 6 + 16, '\0');
  unsigned len = static_cast<unsigned>(out.size());
  CheckResult(Service().FromUnicode(text, out.data(), len), SCouldNotConvert);
  out.resize(std::min<size_t>(len, out.size()));
  return out;
}

void TMultiLanguage::EnumCodePages(const TEnumCallback& callback) {
  try {
    if (Service().StartEnum() < 0) throw EKyException(LoadResString(SCodePageEnumFailed));
    int failures = 0;
    for (;;) {
      TKyServiceCodePage record;
      TKyResult r = Service().NextCodePage(record);
      if (r == KY_S_FALSE) break;
      if (r == KY_E_FAIL || r < 0) {
        // An enumerator that only ever fails must not hang the start-up.
        if (++failures > 64) break;
        continue;
      }
      failures = 0;
      if (callback) {
        if (record.WebCharset.size() > 49) record.WebCharset.resize(49);
        if (record.Description.size() > 63) record.Description.resize(63);
        callback(record.CodePage, record.WebCharset, record.Description);
      }
    }
  } catch (...) {
    Available_ = false;
  }
}

TMultiLanguage& MultiLanguage() {
  static TMultiLanguage instance;
  return instance;
}

void PopulateCodePageDatas(TKyCodePageDatas& datas, TMultiLanguage& service,
                           IKyPlatformConversion& platform) {
  datas.ClearFlags();
  platform.EnumInstalledCodePages([&](int cp) { datas.SetCodePageFlag(cp, cfInstalled); });
  service.EnumCodePages([&](int cp, StringView, StringView) { datas.SetCodePageFlag(cp, cfMLang); });
}

TKyCodePageDatas& CodePageDatas() {
  static TKyCodePageDatas& datas = [] () -> TKyCodePageDatas& {
    static TKyCodePageDatas d;
    InitMultiLanguage();
    PopulateCodePageDatas(d, MultiLanguage(), PlatformConversion());
    return d;
  }();
  return datas;
}

// ---------------------------------------------------------------------------

namespace {

RawBytes Utf16Bytes(StringView s, bool bigEndian) {
  RawBytes out;
  out.reserve(s.size() * 2);
  for (Char c : s) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

String Utf16Text(std::string_view s, bool bigEndian) {
  String out;
  out.reserve(s.size() / 2);
  for (size_t i = 0; i + 1 < s.size(); i += 2) {
    Byte a = static_cast<Byte>(s[i]), b = static_cast<Byte>(s[i + 1]);
    out += static_cast<Char>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  return out;
}

}  // namespace

RawBytes TKyCodePageConverter::WideToCodePage(StringView s, int codePage) {
  // UTF-16 has two-byte NULs and no platform conversion; it is a plain byte copy.
  if (codePage == 1200 || codePage == 1201) return Utf16Bytes(s, codePage == 1201);
  if (s.find(u'\0') == StringView::npos) return PieceToCodePage(s, codePage);
  RawBytes out;
  size_t start = 0;
  for (;;) {
    size_t end = s.find(u'\0', start);
    out += PieceToCodePage(s.substr(start, end == StringView::npos ? StringView::npos : end - start),
                           codePage);
    if (end == StringView::npos) break;
    out += '\0';
    start = end + 1;
  }
  return out;
}

String TKyCodePageConverter::CodePageToWide(std::string_view s, int codePage) {
  if (codePage == 1200 || codePage == 1201) return Utf16Text(s, codePage == 1201);
  if (s.find('\0') == std::string_view::npos) return PieceToWide(s, codePage);
  String out;
  size_t start = 0;
  for (;;) {
    size_t end = s.find('\0', start);
    out += PieceToWide(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start),
                       codePage);
    if (end == std::string_view::npos) break;
    out += u'\0';
    start = end + 1;
  }
  return out;
}

RawBytes TKyCodePageConverter::PieceToCodePage(StringView s, int codePage) {
  if (s.empty()) return RawBytes();
  if (Service_.Available() && Datas_.IsMLangOnlyCodePage(codePage))
    return Service_.UnicodeToCodePage(s, codePage);
  RawBytes out;
  bool usedDefault = false;
  std::uint32_t lastError = 0;
  bool ok = Platform_.FromWide(s, codePage, true, out, usedDefault, lastError);
  if (ok && !out.empty()) return out;
  out.clear();
  ok = Platform_.FromWide(s, codePage, false, out, usedDefault, lastError);
  if (ok && !out.empty()) return out;
  if (Service_.Available() && (Datas_.GetCodePageFlags(codePage) & (1 << cfMLang)))
    return Service_.UnicodeToCodePage(s, codePage);
  if (!ok) throw EKyException(Format(SWideCharToMultiByteErr, {static_cast<long long>(lastError)}));
  throw EKyException(LoadResString(SWideCharToMultiByte));
}

String TKyCodePageConverter::PieceToWide(std::string_view s, int codePage) {
  if (s.empty()) return String();
  if (Service_.Available() && Datas_.IsMLangOnlyCodePage(codePage))
    return Service_.CodePageToUnicode(s, codePage);
  String out;
  if (Platform_.ToWide(s, codePage, out) && !out.empty()) return out;
  if (Service_.Available() && (Datas_.GetCodePageFlags(codePage) & (1 << cfMLang)))
    return Service_.CodePageToUnicode(s, codePage);
  return String();
}
