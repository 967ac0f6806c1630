// The Zip reader against archives of foreign tools (embedded, so that they run under Wine
// with BCrypt too) and against hand-made hostile archives.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzip.h"
#include "tests/core/testutil.h"
#include "tests/install/zipwriter.h"

namespace {

struct TZipSample {
  const char* Name;
  const unsigned char* Data;
  size_t Size;
  const char* Password;
  int AesStrength;
};
struct TZipSampleFile {
  const char* Name;
  const unsigned char* Data;
  size_t Size;
};
#include "tests/install/zipsamples.inc"

RawBytes Bytes(const unsigned char* p, size_t n) { return RawBytes(reinterpret_cast<const char*>(p), n); }

RawBytes SampleBytes(const char* name) {
  for (const TZipSample& s : kZipSamples)
    if (std::string(s.Name) == name) return Bytes(s.Data, s.Size);
  ADD_FAILURE() << "no sample " << name;
  return {};
}

const TZipSampleFile* FindFile(const String& name) {
  for (const TZipSampleFile& f : kZipSampleFiles)
    if (Utf8ToString(f.Name) == name) return &f;
  return nullptr;
}

// A reader over bytes kept alive beside it.
struct TOpened {
  explicit TOpened(RawBytes bytes) : Data(std::move(bytes)), Stream(Data.data(), Data.size()) { Zip.Open(Stream); }
  RawBytes Data;
  TReadOnlyMemoryStream Stream;
  TKyZipReader Zip;
};

int IndexOf(const TKyZipReader& zip, const String& name) {
  for (int i = 0; i < zip.EntryCount(); ++i)
    if (zip.Entry(i).Name == name) return i;
  ADD_FAILURE() << "no entry " << StringToUtf8(name);
  return 0;
}

RawBytes ExtractToMemory(TKyZipReader& zip, int index, TKyZipResult expected = TKyZipResult::Extracted) {
  TMemoryStream m;
  EXPECT_EQ(zip.ExtractEntry(index, m), expected) << StringToUtf8(zip.Entry(index).Name);
  return m.Bytes();
}

String Native(const String& zipName) { return StringReplaceAll(zipName, u"/", String(1, PathDelimiter())); }

// Every file below Dir, relative, "/" separated.
std::set<String> FilesBelow(const String& dir, const String& prefix = String()) {
  std::set<String> out;
  for (const String& f : ListDirectory(dir, false)) out.insert(prefix + f);
  for (const String& d : ListDirectory(dir, true))
    for (const String& f : FilesBelow(dir + PathDelimiter() + d, prefix + d + u"/")) out.insert(f);
  return out;
}

// The traditional cipher's header check, for finding a wrong password that passes it.
Byte TraditionalCheckByte(const RawBytes& password, const Byte* header) {
  std::uint32_t k[3] = {0x12345678, 0x23456789, 0x34567890};
  const z_crc_t* t = get_crc_table();
  auto update = [&](Byte c) {
    k[0] = t[(k[0] ^ c) & 0xFF] ^ (k[0] >> 8);
    k[1] = (k[1] + (k[0] & 0xFF)) * 134775813 + 1;
    k[2] = t[(k[2] ^ (k[1] >> 24)) & 0xFF] ^ (k[2] >> 8);
  };
  for (char c : password) update(static_cast<Byte>(c));
  Byte c = 0;
  for (int i = 0; i < 12; ++i) {
    std::uint32_t x = (k[2] | 2) & 0xFFFF;
    c = static_cast<Byte>(header[i] ^ ((x * (x ^ 1)) >> 8));
    update(c);
  }
  return c;
}

std::uint64_t DataOffset(const RawBytes& archive, const TKyZipEntry& e) {
  const Byte* p = reinterpret_cast<const Byte*>(archive.data()) + e.LocalHeaderOffset;
  return e.LocalHeaderOffset + 30 + (p[26] | p[27] << 8) + (p[28] | p[29] << 8);
}

// Offset of the central header of entry Index.
size_t CentralOffset(const RawBytes& archive, int index) {
  size_t p = archive.rfind("PK\x05\x06");
  size_t cd = static_cast<Byte>(archive[p + 16]) | static_cast<Byte>(archive[p + 17]) << 8 |
              static_cast<Byte>(archive[p + 18]) << 16 | static_cast<size_t>(static_cast<Byte>(archive[p + 19])) << 24;
  for (int i = 0; i < index; ++i) {
    auto g = [&](size_t o) { return static_cast<Byte>(archive[cd + o]) | static_cast<Byte>(archive[cd + o + 1]) << 8; };
    cd += 46 + g(28) + g(30) + g(32);
  }
  return cd;
}

void Patch32(RawBytes& s, size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

TEST(ZipSamples, EveryEntryOfEveryToolMatchesWhatSevenZipExtracted) {
  for (const TZipSample& s : kZipSamples) {
    SCOPED_TRACE(s.Name);
    TOpened a(Bytes(s.Data, s.Size));
    a.Zip.Password = s.Password;
    std::set<String> seen;
    std::uint64_t total = 0;
    for (int i = 0; i < a.Zip.EntryCount(); ++i) {
      const TKyZipEntry& e = a.Zip.Entry(i);
      if (e.IsFolder) continue;
      const TZipSampleFile* f = FindFile(ZipEntryRelativePath(e.Name, u'/'));
      ASSERT_NE(f, nullptr) << StringToUtf8(e.Name);
      EXPECT_EQ(e.UncompressedSize, f->Size);
      EXPECT_EQ(ExtractToMemory(a.Zip, i), Bytes(f->Data, f->Size)) << StringToUtf8(e.Name);
      if (*s.Password && f->Size > 0) {
        EXPECT_EQ(e.Encryption, s.AesStrength ? TKyZipEncryption::Aes : TKyZipEncryption::Traditional);
        EXPECT_EQ(e.AesStrength, s.AesStrength);
      }
      if (!*s.Password) {
        EXPECT_FALSE(e.Encrypted());
      }
      seen.insert(e.Name);
      total += e.UncompressedSize;
    }
    EXPECT_EQ(seen.size(), std::size(kZipSampleFiles));
    EXPECT_EQ(a.Zip.TotalUncompressedSize(), total);
  }
}

TEST(ZipSamples, ExtractAllWritesTheTreeWithEvents) {
  for (const TZipSample& s : kZipSamples) {
    SCOPED_TRACE(s.Name);
    TOpened a(Bytes(s.Data, s.Size));
    a.Zip.Password = s.Password;
    TTempDir dir;
    a.Zip.Destination = dir.Path() + PathDelimiter();  // a trailing delimiter is ignored
    std::vector<int> started, ended, percents;
    a.Zip.OnStartEntry = [&](TKyZipReader& sender, int index, String& fileName, bool& skip) {
      EXPECT_EQ(&sender, &a.Zip);
      String path = Native(ZipEntryRelativePath(a.Zip.Entry(index).Name, u'/'));
      String expected = path.empty() ? dir.Path() : dir.File(path);
      if (a.Zip.Entry(index).IsFolder) expected += PathDelimiter();
      EXPECT_EQ(fileName, expected);
      started.push_back(index);
    };
    a.Zip.OnEndEntry = [&](TKyZipReader&, int index, const String& fileName) {
      EXPECT_TRUE(a.Zip.Entry(index).IsFolder ? DirectoryExists(ExcludeTrailingBackslash(fileName)) : FileExists(fileName));
      ended.push_back(index);
    };
    a.Zip.OnProgress = [&](TKyZipReader&, int percent, bool&) { percents.push_back(percent); };
    a.Zip.ExtractAll();
    EXPECT_EQ(started.size(), static_cast<size_t>(a.Zip.EntryCount()));
    EXPECT_EQ(ended, started);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GE(percents.front(), 0);
    EXPECT_EQ(percents.back(), 100);
    std::set<String> expected;
    for (const TZipSampleFile& f : kZipSampleFiles) {
      expected.insert(Utf8ToString(f.Name));
      EXPECT_EQ(ReadAll(dir.File(Native(Utf8ToString(f.Name)))), Bytes(f.Data, f.Size)) << f.Name;
    }
    EXPECT_EQ(FilesBelow(dir.Path()), expected);  // no temporary file left behind
  }
}

TEST(ZipExtractAll, ReplacesExistingFilesHonoursSkipAndRenamedTargets) {
  TOpened a(SampleBytes("zip_deflate"));
  TTempDir dir;
  a.Zip.Destination = dir.Path();
  WriteAll(dir.File(u"readme.txt"), "old");
  SetFileReadOnly(dir.File(u"readme.txt"), true);
  std::vector<String> ended;
  a.Zip.OnStartEntry = [&](TKyZipReader&, int index, String& fileName, bool& skip) {
    if (a.Zip.Entry(index).Name == u"bin/data.bin") skip = true;
    if (a.Zip.Entry(index).Name == u"docs/deep/nested/notes.md") fileName = dir.File(u"moved.md");
  };
  a.Zip.OnEndEntry = [&](TKyZipReader&, int, const String& fileName) { ended.push_back(fileName); };
  a.Zip.ExtractAll();
  EXPECT_EQ(ReadAll(dir.File(u"readme.txt")), Bytes(FindFile(u"readme.txt")->Data, FindFile(u"readme.txt")->Size));
  EXPECT_FALSE(FileExists(dir.File(Native(u"bin/data.bin"))));
  EXPECT_TRUE(FileExists(dir.File(Native(u"bin/empty.dat"))));
  EXPECT_TRUE(FileExists(dir.File(u"moved.md")));
  EXPECT_FALSE(FileExists(dir.File(Native(u"docs/deep/nested/notes.md"))));
  EXPECT_EQ(std::count(ended.begin(), ended.end(), dir.File(u"moved.md")), 1);
  for (const String& f : ended) EXPECT_EQ(f.find(u"data.bin"), String::npos);
}

// A stop request from the progress event ends the extraction inside a big entry: the file
// it would replace stays as it was, no temporary file is left, no later entry is started.
TEST(ZipExtractAll, StopInsideAnEntryLeavesItOutAndEndsTheRun) {
  std::string big(8 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  TOpened a(MakeTestZip({TestEntry("a.txt", "first"), TestEntry("big.bin", big), TestEntry("z.txt", "last")}));
  TTempDir dir;
  a.Zip.Destination = dir.Path();
  WriteAll(dir.File(u"big.bin"), "old");
  std::vector<int> started, ended, percents;
  a.Zip.OnStartEntry = [&](TKyZipReader&, int index, String&, bool&) { started.push_back(index); };
  a.Zip.OnEndEntry = [&](TKyZipReader&, int index, const String&) { ended.push_back(index); };
  a.Zip.OnProgress = [&](TKyZipReader&, int percent, bool& stop) {
    percents.push_back(percent);
    stop = percent >= 40;  // within big.bin, which runs from 0 % to 99 %
  };
  a.Zip.ExtractAll();
  EXPECT_EQ(started, (std::vector<int>{0, 1}));
  EXPECT_EQ(ended, (std::vector<int>{0}));
  ASSERT_FALSE(percents.empty());
  // Reported within the entry, and nothing after the stop.
  EXPECT_LT(percents.back(), 99);
  EXPECT_TRUE(std::all_of(percents.begin(), percents.end() - 1, [](int p) { return p < 40; }));
  EXPECT_EQ(ReadAll(dir.File(u"a.txt")), "first");
  EXPECT_EQ(ReadAll(dir.File(u"big.bin")), "old");
  EXPECT_EQ(FilesBelow(dir.Path()), (std::set<String>{u"a.txt", u"big.bin"}));
}

TEST(ZipPassword, ANewPasswordIsTriedAndKeptForLaterEntries) {
  for (const char* name : {"zip_crypt", "sz_aes128", "sz_aes192"}) {
    SCOPED_TRACE(name);
    TOpened a(SampleBytes(name));
    std::vector<RawBytes> asked;
    a.Zip.OnBadPassword = [&](TKyZipReader&, int, RawBytes& password) {
      asked.push_back(password);
      password = asked.size() == 1 ? "wrong" : "Geheim-42";
    };
    int encrypted = 0;
    for (int i = 0; i < a.Zip.EntryCount(); ++i) {
      const TKyZipEntry& e = a.Zip.Entry(i);
      if (!e.Encrypted()) continue;
      ++encrypted;
      EXPECT_EQ(ExtractToMemory(a.Zip, i), Bytes(FindFile(e.Name)->Data, FindFile(e.Name)->Size));
    }
    EXPECT_GE(encrypted, 3);
    EXPECT_EQ(asked, (std::vector<RawBytes>{"", "wrong"}));
    EXPECT_EQ(a.Zip.Password, "Geheim-42");
  }
}

TEST(ZipPassword, AnUnchangedPasswordLeavesTheEntryOutAndTheNextOneAsksAgain) {
  TOpened a(SampleBytes("sz_aes256"));
  int calls = 0;
  a.Zip.OnBadPassword = [&](TKyZipReader&, int, RawBytes& password) {
    ++calls;
    if (password.empty()) password = "guess";
  };
  std::vector<int> encrypted;
  for (int i = 0; i < a.Zip.EntryCount(); ++i)
    if (a.Zip.Entry(i).Encrypted()) encrypted.push_back(i);
  ASSERT_GE(encrypted.size(), 2u);
  EXPECT_EQ(ExtractToMemory(a.Zip, encrypted[0], TKyZipResult::Skipped), "");
  EXPECT_EQ(calls, 2);  // "" -> "guess", then "guess" kept
  EXPECT_EQ(ExtractToMemory(a.Zip, encrypted[1], TKyZipResult::Skipped), "");
  EXPECT_EQ(calls, 3);
}

TEST(ZipPassword, TraditionalPasswordPassingTheHeaderCheckButNotTheCrcIsWrong) {
  for (const char* name : {"zip_crypt", "zip_crypt_stream"}) {
    SCOPED_TRACE(name);
    RawBytes archive = SampleBytes(name);
    TOpened a(archive);
    int index = IndexOf(a.Zip, u"readme.txt");
    const TKyZipEntry& e = a.Zip.Entry(index);
    ASSERT_EQ(e.Encryption, TKyZipEncryption::Traditional);
    const Byte* header = reinterpret_cast<const Byte*>(archive.data()) + DataOffset(archive, e);
    Byte expected = (e.Flags & 8) ? static_cast<Byte>(e.DosTime >> 8) : static_cast<Byte>(e.Crc32 >> 24);
    RawBytes wrong;
    for (int n = 0; wrong.empty(); ++n) {
      RawBytes candidate(1, 'w');
      candidate += std::to_string(n);
      if (TraditionalCheckByte(candidate, header) == expected) wrong = candidate;
    }
    a.Zip.Password = wrong;
    EXPECT_EQ(ExtractToMemory(a.Zip, index, TKyZipResult::Skipped), "");
    std::vector<RawBytes> asked;
    a.Zip.OnBadPassword = [&](TKyZipReader&, int, RawBytes& password) {
      asked.push_back(password);
      password = "Geheim-42";
    };
    EXPECT_EQ(ExtractToMemory(a.Zip, index), Bytes(FindFile(u"readme.txt")->Data, FindFile(u"readme.txt")->Size));
    EXPECT_EQ(asked, std::vector<RawBytes>{wrong});
  }
}

TEST(ZipNames, RelativePathsAreNormalised) {
  EXPECT_EQ(ZipEntryRelativePath(u"a/b/c.txt", u'\\'), u"a\\b\\c.txt");
  EXPECT_EQ(ZipEntryRelativePath(u"a//b/./c", u'\\'), u"a\\b\\c");
  EXPECT_EQ(ZipEntryRelativePath(u"a\\b/c", u'/'), u"a/b/c");
  EXPECT_EQ(ZipEntryRelativePath(u"dir/", u'\\'), u"dir");
  EXPECT_EQ(ZipEntryRelativePath(u"./", u'\\'), u"");
  EXPECT_EQ(ZipEntryRelativePath(u"..a/b..c/com10/conx.txt", u'/'), u"..a/b..c/com10/conx.txt");
}

TEST(ZipNames, NamesLeavingTheDestinationOrNamingDevicesAreRefused) {
  for (const Char* name : {u"../x", u"a/../../x", u"a/..", u"a\\..\\..\\x", u"/etc/x", u"\\x", u"C:/x", u"c:x",
                             u"\\\\server\\share\\x", u"//server/share/x", u"a/.../b", u"a/.. /b", u"a:b", u"",
                             u".", u"con", u"sub/NUL.txt", u"LPT1", u"x/com3.log", u"a\x01" u"b"}) {
    SCOPED_TRACE(StringToUtf8(name));
    try {
      ZipEntryRelativePath(name, u'\\');
      ADD_FAILURE() << "accepted";
    } catch (const EKyZipException& e) {
      EXPECT_EQ(e.EntryName, String(name));
      if (*name) {
        EXPECT_NE(e.Message().find(name), String::npos);
      }
    }
  }
}

TEST(ZipNames, AnUnsafeEntryStopsExtractionBeforeAnythingIsWritten) {
  TTempDir dir;
  String dest = dir.File(u"dest");
  ForceDirectories(dest);
  std::string archive = MakeTestZip({TestEntry("good.txt", "fine"), TestEntry("../evil.txt", "bad")});
  TOpened a(archive);
  a.Zip.Destination = dest;
  int started = 0;
  a.Zip.OnStartEntry = [&](TKyZipReader&, int, String&, bool&) { ++started; };
  try {
    a.Zip.ExtractAll();
    ADD_FAILURE() << "no exception";
  } catch (const EKyZipException& e) {
    EXPECT_EQ(e.EntryName, u"../evil.txt");
  }
  EXPECT_EQ(started, 0);
  EXPECT_TRUE(FilesBelow(dir.Path()).empty());
}

TEST(ZipNames, NamesAreDecodedByFlagUnicodeFieldHostAndCodePage437) {
  std::string utf8 = "Gr\xc3\xb6\xc3\x9f" "e.txt";
  auto unicodeField = [](const std::string& raw, const std::string& name, std::uint32_t crcXor) {
    std::string x;
    Put16(x, 0x7075);
    Put16(x, static_cast<std::uint32_t>(5 + name.size()));
    x += '\x01';
    Put32(x, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size()))) ^ crcXor);
    return x + name;
  };
  std::vector<TTestZipEntry> entries(7);
  entries[0].Name = "\x81" "ber.txt";  // MS-DOS host: code page 437
  entries[1].Name = utf8;
  entries[1].Flags = 0x0800;
  entries[2].Name = "plain.txt";
  entries[2].CentralExtra = unicodeField("plain.txt", utf8, 0);
  entries[3].Name = "stale.txt";
  entries[3].CentralExtra = unicodeField("stale.txt", utf8, 1);  // made for another name
  entries[4].Name = utf8;
  entries[4].MadeBy = 0x031E;  // Unix host
  entries[5].Name = "\x81" "x";
  entries[5].MadeBy = 0x031E;  // not UTF-8 after all
  entries[6].Name = "folder/";
  TOpened a(MakeTestZip(entries));
  ASSERT_EQ(a.Zip.EntryCount(), 7);
  EXPECT_EQ(a.Zip.Entry(0).Name, u"über.txt");
  EXPECT_EQ(a.Zip.Entry(0).RawName, "\x81" "ber.txt");
  EXPECT_EQ(a.Zip.Entry(1).Name, u"Größe.txt");
  EXPECT_EQ(a.Zip.Entry(2).Name, u"Größe.txt");
  EXPECT_EQ(a.Zip.Entry(3).Name, u"stale.txt");
  EXPECT_EQ(a.Zip.Entry(4).Name, u"Größe.txt");
  EXPECT_EQ(a.Zip.Entry(5).Name, u"üx");
  EXPECT_TRUE(a.Zip.Entry(6).IsFolder);
  EXPECT_FALSE(a.Zip.Entry(0).IsFolder);
}

TEST(ZipNames, CodePage437IsOneCharacterPerByteWithoutRepeats) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  String s = Cp437ToString(all);
  ASSERT_EQ(s.size(), 256u);
  EXPECT_EQ(std::set<Char>(s.begin(), s.end()).size(), 256u);
  EXPECT_EQ(s.substr(0x41, 3), u"ABC");
  EXPECT_EQ(s[0x9B], u'¢');
  EXPECT_EQ(s[0xE1], u'ß');
  EXPECT_EQ(s[0xB0], u'░');
  EXPECT_EQ(s[0xFF], u'\u00A0');
}

TEST(ZipDamage, CrcMismatchNamesTheEntryAndLeavesNoFile) {
  TOpened a(MakeTestZip({TestEntry("ok.txt", "fine"), TestEntry("sub/bad.txt", "spoiled", 0, 0, 0x10)}));
  try {
    ExtractToMemory(a.Zip, 1);
    ADD_FAILURE() << "no exception";
  } catch (const EKyZipException& e) {
    EXPECT_EQ(e.EntryName, u"sub/bad.txt");
    EXPECT_NE(e.Message().find(u"sub/bad.txt"), String::npos);
    EXPECT_NE(e.Message().find(u"CRC"), String::npos);
  }
  TTempDir dir;
  a.Zip.Destination = dir.Path();
  EXPECT_THROW(a.Zip.ExtractAll(), EKyZipException);
  EXPECT_EQ(FilesBelow(dir.Path()), std::set<String>{u"ok.txt"});
}

TEST(ZipDamage, DamagedDeflateDataTooLongOutputAndBadHeadersAreErrors) {
  RawBytes archive = SampleBytes("zip_deflate");
  TOpened clean(archive);
  int index = IndexOf(clean.Zip, u"readme.txt");
  const TKyZipEntry e = clean.Zip.Entry(index);
  ASSERT_EQ(e.Method, 8);

  auto expectError = [&](RawBytes bytes, const char* what) {
    SCOPED_TRACE(what);
    TOpened a(std::move(bytes));
    TMemoryStream out;
    try {
      a.Zip.ExtractEntry(index, out);
      ADD_FAILURE() << "no exception";
    } catch (const EKyZipException& x) {
      EXPECT_EQ(x.EntryName, u"readme.txt");
    }
    EXPECT_LE(static_cast<std::uint64_t>(out.Size()), e.UncompressedSize);
  };
  RawBytes flipped = archive;
  for (std::uint64_t i = 10; i < e.CompressedSize; i += 97) flipped[DataOffset(archive, e) + i] ^= 0x5A;
  expectError(flipped, "flipped bits");
  RawBytes shortSize = archive;
  Patch32(shortSize, CentralOffset(archive, index) + 24, 100);  // declared smaller than the output
  expectError(shortSize, "declared size too small");
  RawBytes longCompressed = archive;
  Patch32(longCompressed, CentralOffset(archive, index) + 20, 0x7FFFFFFF);
  expectError(longCompressed, "compressed size beyond the end");
  RawBytes badLocal = archive;
  badLocal[e.LocalHeaderOffset] = 'X';
  expectError(badLocal, "local header signature");
  RawBytes cutDeflate = archive;
  Patch32(cutDeflate, CentralOffset(archive, index) + 20, 20);  // the stream ends early
  expectError(cutDeflate, "deflate stream cut short");
}

TEST(ZipDamage, UnsupportedMethodAndEncryptionAreNamed) {
  TOpened a(MakeTestZip({TestEntry("m.bin", "x", 0, 12), TestEntry("strong.bin", "x", 0x41)}));
  try {
    ExtractToMemory(a.Zip, 0);
    ADD_FAILURE();
  } catch (const EKyZipException& e) {
    EXPECT_NE(e.Message().find(u"m.bin"), String::npos);
    EXPECT_NE(e.Message().find(u"12"), String::npos);
  }
  try {
    ExtractToMemory(a.Zip, 1);
    ADD_FAILURE();
  } catch (const EKyZipException& e) {
    EXPECT_EQ(e.EntryName, u"strong.bin");
  }
}

TEST(ZipDamage, ArchivesWithoutAReadableDirectoryAreRefused) {
  RawBytes good = SampleBytes("zip_stored");
  RawBytes tooMany = good;
  size_t eocd = good.rfind("PK\x05\x06");
  tooMany[eocd + 10] = static_cast<char>(0xFF);  // more entries than the directory holds
  tooMany[eocd + 8] = static_cast<char>(0xFF);
  RawBytes badOffset = good;
  Patch32(badOffset, eocd + 16, 3);
  RawBytes noise(5000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
  for (const RawBytes& bytes : {RawBytes(), RawBytes("PK\x05\x06"), good.substr(0, good.size() / 2),
                                good.substr(0, good.size() - 1), tooMany, badOffset, noise}) {
    TReadOnlyMemoryStream s(bytes.data(), bytes.size());
    TKyZipReader zip;
    EXPECT_THROW(zip.Open(s), EKyZipException) << bytes.size();
    EXPECT_EQ(zip.EntryCount(), 0);
  }
}

TEST(ZipLayout, DataInFrontAndSignaturesInTheCommentAreHandled) {
  for (const char* name : {"zip_deflate", "py_zip64", "sz_aes256"}) {
    SCOPED_TRACE(name);
    TOpened a(RawBytes(4096, 'S') + SampleBytes(name));
    a.Zip.Password = "Geheim-42";
    int index = IndexOf(a.Zip, u"bin/data.bin");
    EXPECT_EQ(ExtractToMemory(a.Zip, index), Bytes(FindFile(u"bin/data.bin")->Data, FindFile(u"bin/data.bin")->Size));
  }
  std::string fake = "PK\x05\x06";
  fake += std::string(18, '\x01');
  TOpened c(MakeTestZip({TestEntry("a.txt", "alpha")}, "comment " + fake + " end"));
  ASSERT_EQ(c.Zip.EntryCount(), 1);
  EXPECT_EQ(ExtractToMemory(c.Zip, 0), "alpha");
}

TEST(ZipReader, OpenFileEntryIndexAndClose) {
  TTempDir dir;
  WriteAll(dir.File(u"a.zip"), SampleBytes("sz_deflate"));
  TKyZipReader zip;
  zip.OpenFile(dir.File(u"a.zip"));
  EXPECT_EQ(zip.ArchiveName(), dir.File(u"a.zip"));
  int files = 0;
  for (const TKyZipEntry& e : zip.Entries()) files += !e.IsFolder;
  EXPECT_EQ(files, static_cast<int>(std::size(kZipSampleFiles)));
  EXPECT_THROW(zip.Entry(-1), EListError);
  EXPECT_THROW(zip.Entry(zip.EntryCount()), EListError);
  EXPECT_EQ(ExtractToMemory(zip, IndexOf(zip, u"readme.txt")),
            Bytes(FindFile(u"readme.txt")->Data, FindFile(u"readme.txt")->Size));
  zip.Password = "kept?";
  zip.Close();
  EXPECT_EQ(zip.EntryCount(), 0);
  EXPECT_EQ(zip.Password, "");
  EXPECT_TRUE(RemoveFile(dir.File(u"a.zip")));  // no longer held open
}
