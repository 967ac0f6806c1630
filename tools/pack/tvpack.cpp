// tvpack: writes one payload archive of a setup, the same bytes for the same input.
//   tvpack OUT.zip LIST [--time YYYYMMDDHHMMSS] [--password PASSWORD]
// LIST holds one entry a line: the entry name ("/" between folders), a tab, the source file.
// Entries are written sorted by name (bytes of UTF-8), all with the given time, deflated
// unless that does not make them smaller. With a password every entry is encrypted with
// WinZip AES-256 (AE-2); its salt is derived from the password, the name and the content,
// so a rebuild gives the same archive while two different files never share a key stream.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/install/kyzipcrypto.h"

namespace {

struct TEntry {
  std::string Name;
  std::string Source;
};

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) Fail("cannot read " + path);
  return data;
}

void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A relative path below the archive's root; anything the setup's reader would refuse is refused here.
void CheckName(const std::string& name, const std::string& source) {
  if (name.empty() || name.front() == '/' || name.back() == '/' || name.find('\\') != std::string::npos ||
      name.find(':') != std::string::npos || name.find("//") != std::string::npos)
    Fail("bad entry name '" + name + "' for " + source);
  std::istringstream levels(name);
  for (std::string level; std::getline(levels, level, '/');)
    if (level == "." || level == "..") Fail("bad entry name '" + name + "' for " + source);
  for (unsigned char c : name)
    if (c < 0x20) Fail("control character in entry name '" + name + "'");
}

std::vector<TEntry> ReadList(const std::string& path) {
  std::istringstream in(ReadFile(path));
  std::map<std::string, std::string> byName;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) Fail(path + ": line without a tab: " + line);
    std::string name = line.substr(0, tab), source = line.substr(tab + 1);
    CheckName(name, source);
    auto [it, added] = byName.emplace(name, source);
    if (!added && it->second != source) Fail("two files for the entry " + name + ": " + it->second + " and " + source);
  }
  std::vector<TEntry> entries;
  for (auto& [name, source] : byName) entries.push_back({name, source});  // std::map: sorted by bytes
  return entries;
}

// Raw deflate at the highest level; empty when it does not save anything.
std::string Deflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) Fail("zlib failed");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int rc = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (rc != Z_STREAM_END) Fail("zlib failed");
  return out.size() < data.size() ? out : std::string();
}

constexpr unsigned kAesIterations = 1000;
constexpr size_t kAesKeyLength = 32;  // AES-256

// Salt: HMAC-SHA1 over name and content, keyed with a password-derived key, so nothing of
// it can be computed without the password.
RawBytes DeriveSalt(const std::string& password, const std::string& name, const std::string& data) {
  TZipHmacSha1 mac(ZipPbkdf2Sha1(password, "tvpack salt", kAesIterations, 20));
  mac.Update(reinterpret_cast<const Byte*>(name.data()), name.size() + 1);  // with its NUL
  mac.Update(reinterpret_cast<const Byte*>(data.data()), data.size());
  return mac.Final().substr(0, 16);
}

// WinZip AES: salt, password verifier, CTR-encrypted data (little-endian counter from 1),
// 10 bytes of HMAC-SHA1 over the encrypted data.
std::string EncryptAes(const std::string& password, const std::string& name, const std::string& plain,
                       const std::string& data) {
  RawBytes salt = DeriveSalt(password, name, plain);
  RawBytes keys = ZipPbkdf2Sha1(password, salt, kAesIterations, 2 * kAesKeyLength + 2);
  TZipAes aes(keys.substr(0, kAesKeyLength));
  std::string cipher = data;
  Byte counter[16] = {}, stream[16];
  for (size_t pos = 0; pos < cipher.size(); pos += 16) {
    for (Byte& b : counter)
      if (++b != 0) break;
    aes.EncryptBlocks(counter, stream, 1);
    for (size_t i = 0; i < 16 && pos + i < cipher.size(); ++i) cipher[pos + i] ^= static_cast<char>(stream[i]);
  }
  TZipHmacSha1 mac(keys.substr(kAesKeyLength, kAesKeyLength));
  mac.Update(reinterpret_cast<const Byte*>(cipher.data()), cipher.size());
  return salt + keys.substr(2 * kAesKeyLength, 2) + cipher + mac.Final().substr(0, 10);
}

struct TDosTime {
  std::uint16_t Time = 0, Date = 0;
};

TDosTime ParseTime(const std::string& s) {
  int y, mo, d, h, mi, se;
  if (s.size() != 14 || std::sscanf(s.c_str(), "%4d%2d%2d%2d%2d%2d", &y, &mo, &d, &h, &mi, &se) != 6 || y < 1980 ||
      y > 2107 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 59)
    Fail("bad time '" + s + "' (YYYYMMDDHHMMSS, 1980 to 2107)");
  return {static_cast<std::uint16_t>((h << 11) | (mi << 5) | (se / 2)),
          static_cast<std::uint16_t>(((y - 1980) << 9) | (mo << 5) | d)};
}

std::string WriteArchive(const std::vector<TEntry>& entries, TDosTime time, const std::string& password) {
  std::string out, central;
  for (const TEntry& e : entries) {
    std::string plain = ReadFile(e.Source);
    if (plain.size() > 0xFFFFFFF0u) Fail(e.Source + " is too large for a payload archive");
    std::string packed = Deflate(plain);
    std::uint16_t method = packed.empty() ? 0 : 8;
    if (packed.empty()) packed = plain;
    std::uint32_t crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(plain.data()), static_cast<uInt>(plain.size())));
    std::uint16_t flags = IsAscii(e.Name) ? 0 : 0x0800;  // bit 11: the name is UTF-8
    std::uint16_t version = 20, storedMethod = method;
    std::string extra;
    if (!password.empty()) {
      packed = EncryptAes(password, e.Name, plain, packed);
      flags |= 1;
      version = 51;
      storedMethod = 99;
      crc = 0;  // AE-2: the authentication code replaces the CRC
      Put16(extra, 0x9901);
      Put16(extra, 7);
      Put16(extra, 2);  // AE-2
      extra += "AE";
      extra += static_cast<char>(3);  // 256-bit key
      Put16(extra, method);
    }
    if (out.size() > 0xFFFFFFF0u) Fail("the archive is too large");
    std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    std::string common;
    Put16(common, flags);
    Put16(common, storedMethod);
    Put16(common, time.Time);
    Put16(common, time.Date);
    Put32(common, crc);
    Put32(common, static_cast<std::uint32_t>(packed.size()));
    Put32(common, static_cast<std::uint32_t>(plain.size()));
    Put16(common, static_cast<std::uint32_t>(e.Name.size()));
    Put16(common, static_cast<std::uint32_t>(extra.size()));
    Put32(out, 0x04034b50);
    Put16(out, version);
    out += common + e.Name + extra + packed;
    Put32(central, 0x02014b50);
    Put16(central, version);  // made by MS-DOS (attributes below are FAT ones)
    Put16(central, version);
    central += common;
    Put16(central, 0);     // comment
    Put16(central, 0);     // disk
    Put16(central, 0);     // internal attributes
    Put32(central, 0x20);  // archive bit
    Put32(central, offset);
    central += e.Name + extra;
  }
  if (entries.size() > 0xFFFF || out.size() + central.size() > 0xFFFFFFF0u) Fail("the archive is too large");
  std::uint32_t centralOffset = static_cast<std::uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, static_cast<std::uint32_t>(central.size()));
  Put32(out, centralOffset);
  Put16(out, 0);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string time = "20150504181808", password;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if ((args[i] == "--time" || args[i] == "--password") && i + 1 < args.size())
      (args[i] == "--time" ? time : password) = args[++i];
    else
      files.push_back(args[i]);
  }
  if (files.size() != 2) {
    std::fprintf(stderr, "usage: tvpack OUT.zip LIST [--time YYYYMMDDHHMMSS] [--password PASSWORD]\n");
    return 2;
  }
  try {
    std::string archive = WriteArchive(ReadList(files[1]), ParseTime(time), password);
    // Written whole or not at all: a failed build leaves no half archive that looks current.
    std::string temp = files[0] + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
      if (!out.flush()) Fail("cannot write " + temp);
    }
    if (std::rename(temp.c_str(), files[0].c_str()) != 0) Fail("cannot write " + files[0]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tvpack: %s\n", e.what());
    return 1;
  }
  return 0;
}
