// tvzip: lists or extracts a Zip archive with the setup's own reader.
//   tvzip l ARCHIVE
//   tvzip x ARCHIVE DIR [-p PASSWORD]
#include <cstdio>
#include <string>

#include "lib/core/kydatetime.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/install/kyzip.h"
#include "resstrings.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tvzip l ARCHIVE\n       tvzip x ARCHIVE DIR [-p PASSWORD]\n");
  return 2;
}

const char* MethodName(const TKyZipEntry& e) {
  if (e.Method == 0) return "Stored";
  if (e.Method == 8) return "Deflate";
  return "Other";
}

const char* CryptName(const TKyZipEntry& e) {
  switch (e.Encryption) {
    case TKyZipEncryption::Traditional:
      return "ZipCrypto";
    case TKyZipEncryption::Aes:
      return e.AesStrength == 1 ? "AES-128" : e.AesStrength == 2 ? "AES-192" : "AES-256";
    default:
      return "";
  }
}

int List(TKyZipReader& zip) {
  std::printf("%12s %12s  %-7s %-16s %-9s %s\n", "Size", "Compressed", "Method", "Modified", "Crypt", "Name");
  for (const TKyZipEntry& e : zip.Entries()) {
    TDateParts d = DecodeDateTime(e.DateTime());
    std::printf("%12llu %12llu  %-7s %04d-%02d-%02d %02d:%02d %-9s %s\n",
                static_cast<unsigned long long>(e.UncompressedSize), static_cast<unsigned long long>(e.CompressedSize),
                MethodName(e), d.Year, d.Month, d.Day, d.Hour, d.Minute, CryptName(e),
                StringToUtf8(e.Name).c_str());
  }
  std::printf("%12llu %12s  %d entries\n", static_cast<unsigned long long>(zip.TotalUncompressedSize()), "",
              zip.EntryCount());
  return 0;
}

int Extract(TKyZipReader& zip, const String& dir, const RawBytes& password) {
  zip.Password = password;
  zip.Destination = dir;
  int failed = 0;
  zip.OnBadPassword = [&](TKyZipReader&, int index, RawBytes&) {
    // Keeping the password leaves the entry out; the tool asks nobody.
    std::fprintf(stderr, "tvzip: %s\n", StringToUtf8(Format(SZipWrongPassword, {zip.Entry(index).Name})).c_str());
    ++failed;
  };
  zip.ExtractAll();
  return failed ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string cmd = argc > 1 ? argv[1] : "";
  bool list = cmd == "l" && argc == 3;
  bool extract = cmd == "x" && (argc == 4 || (argc == 6 && std::string(argv[4]) == "-p"));
  if (!list && !extract) return Usage();
  try {
    TKyZipReader zip;
    zip.OpenFile(Utf8ToString(argv[2]));
    if (list) return List(zip);
    return Extract(zip, Utf8ToString(argv[3]), argc == 6 ? RawBytes(argv[5]) : RawBytes());
  } catch (const Exception& e) {
    std::fprintf(stderr, "tvzip: %s\n", e.what());
    return 2;
  }
}
