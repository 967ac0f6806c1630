// Archives made at run time by the tools installed on the build machine, extracted with the
// reader and compared with what unzip or 7z extract from the same archive.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>

#include "lib/core/kyfileutils.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzip.h"
#include "tests/core/testutil.h"

namespace {

std::string Q(const String& s) { return "'" + StringToUtf8(s) + "'"; }

int Shell(const std::string& cmd) { return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()); }

// Files and folders below Dir: relative name -> content ("/" ends a folder).
std::map<String, RawBytes> Tree(const String& dir, const String& prefix = String()) {
  std::map<String, RawBytes> out;
  for (const String& f : ListDirectory(dir, false)) out[prefix + f] = ReadAll(dir + u"/" + f);
  for (const String& d : ListDirectory(dir, true)) {
    out[prefix + d + u"/"] = "";
    for (auto& [k, v] : Tree(dir + u"/" + d, prefix + d + u"/")) out[k] = v;
  }
  return out;
}

void MakeSourceTree(const String& root) {
  std::mt19937 rnd(20260);
  const char* dirs[] = {"", "bin/", "doc/", "doc/en/", "doc/de/Hilfe Dateien/", "res/\xc3\x9c" "bersetzung/"};
  const char* words[] = {"tramvelon ", "setup ", "translation ", "glossary ", "\n", "project "};
  for (int i = 0; i < 40; ++i) {
    String dir = root + u"/" + Utf8ToString(dirs[i % std::size(dirs)]);
    ForceDirectories(dir);
    RawBytes data;
    size_t size = i % 9 == 0 ? 0 : rnd() % (i % 7 == 0 ? 700000 : 20000);
    if (i % 3 == 0) {
      while (data.size() < size) data += static_cast<char>(rnd());
    } else {
      while (data.size() < size) data += words[rnd() % std::size(words)];
    }
    data.resize(size);
    WriteAll(dir + Utf8ToString("file " + std::to_string(i) + (i % 3 ? ".txt" : ".bin")), data);
  }
  ForceDirectories(root + u"/empty folder");
}

struct TCase {
  const char* Name;
  std::string Make;       // run in the source tree; $A is the archive
  bool SevenZipOracle;    // unzip cannot read it (AES)
  const char* Password;
};

}  // namespace

TEST(ZipTools, ArchivesOfEveryToolExtractLikeTheirOwnExtractors) {
  TTempDir work;
  String src = work.File(u"src");
  MakeSourceTree(src);
  const char* pw = "s3cr\xc3\xa9t pass";
  const char* ascii = "s3cret pass";  // 7z takes no other characters for AES
  const TCase cases[] = {
      {"zip", "zip -q -r -X $A .", false, ""},
      {"zip-stored", "zip -q -r -0 $A .", false, ""},
      {"zip-crypt", "zip -q -r -P \"$P\" $A .", false, pw},
      {"zip-zip64", "zip -q -r -fz $A .", false, ""},
      {"zip-pipe", "zip -q -r -P \"$P\" - . | cat > $A", false, pw},
      {"7z-deflate", "7z a -tzip -mm=Deflate -mx=9 $A .", true, ""},
      {"7z-copy", "7z a -tzip -mm=Copy $A .", true, ""},
      {"7z-aes128", "7z a -tzip -mem=AES128 \"-p$P\" $A .", true, ascii},
      {"7z-aes192", "7z a -tzip -mm=Copy -mem=AES192 \"-p$P\" $A .", true, ascii},
      {"7z-aes256", "7z a -tzip -mem=AES256 \"-p$P\" $A .", true, ascii},
      {"python-stream",
       "python3 -c \"import zipfile,sys,os\n"
       "class U:\n def __init__(s,f): s.f=f\n def write(s,b): return s.f.write(b)\n def flush(s): pass\n"
       "z=zipfile.ZipFile(U(open(sys.argv[1],'wb')),'w',zipfile.ZIP_DEFLATED)\n"
       "for b,ds,fs in os.walk('.'):\n for f in fs: z.write(os.path.join(b,f))\n"
       "z.close()\" $A",
       false, ""},
      {"bsdtar", "bsdtar --format zip -cf $A .", false, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    String archive = work.File(Utf8ToString(c.Name) + u".zip");
    std::string cmd = c.Make;
    for (size_t p; (p = cmd.find("$A")) != std::string::npos;) cmd.replace(p, 2, Q(archive));
    for (size_t p; (p = cmd.find("$P")) != std::string::npos;) cmd.replace(p, 2, c.Password);
    ASSERT_EQ(Shell("cd " + Q(src) + " && " + cmd), 0) << cmd;
    String oracle = work.File(Utf8ToString(c.Name) + u".oracle");
    ForceDirectories(oracle);
    std::string pass = std::string("\"") + c.Password + "\"";
    ASSERT_EQ(Shell(c.SevenZipOracle ? "7z x -y -p" + pass + " -o" + Q(oracle) + " " + Q(archive)
                                   : "unzip -q -P " + pass + " " + Q(archive) + " -d " + Q(oracle)),
              0);
    std::map<String, RawBytes> expected = Tree(oracle);
    ASSERT_GT(expected.size(), 40u);
    // Through a file stream and straight from memory: the two input paths of the reader.
    for (bool fromFile : {true, false}) {
      SCOPED_TRACE(fromFile ? "file" : "memory");
      String dest = work.File(Utf8ToString(c.Name) + (fromFile ? u".file" : u".memory"));
      TKyZipReader zip;
      TMemoryStream bytes;
      if (fromFile) {
        zip.OpenFile(archive);
      } else {
        bytes.LoadFromFile(archive);
        zip.Open(bytes);
      }
      zip.Password = c.Password;
      zip.Destination = dest;
      int prompts = 0;
      zip.OnBadPassword = [&](TKyZipReader&, int, RawBytes&) { ++prompts; };
      zip.ExtractAll();
      EXPECT_EQ(prompts, 0);
      std::map<String, RawBytes> got = Tree(dest);
      EXPECT_EQ(got.size(), expected.size());
      for (auto& [name, data] : expected) {
        auto it = got.find(name);
        if (it == got.end())
          ADD_FAILURE() << "missing " << StringToUtf8(name);
        else
          EXPECT_TRUE(it->second == data) << "differs: " << StringToUtf8(name);
      }
    }
  }
}

TEST(ZipTools, Deflate64IsReportedAsUnsupportedWithTheEntryName) {
  TTempDir work;
  WriteAll(work.File(u"big.txt"), RawBytes(100000, 'x'));
  String archive = work.File(u"d64.zip");
  ASSERT_EQ(Shell("cd " + Q(work.Path()) + " && 7z a -tzip -mm=Deflate64 " + Q(archive) + " big.txt"), 0);
  TKyZipReader zip;
  zip.OpenFile(archive);
  zip.Destination = work.File(u"out");
  try {
    zip.ExtractAll();
    ADD_FAILURE() << "no exception";
  } catch (const EKyZipException& e) {
    EXPECT_EQ(e.EntryName, u"big.txt");
    EXPECT_NE(e.Message().find(u"9"), String::npos);
  }
  EXPECT_FALSE(FileExists(work.File(u"out/big.txt")));
}
