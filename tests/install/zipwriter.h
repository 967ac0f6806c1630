// A minimal writer of stored Zip archives for tests that need archives no tool would make:
// unsafe names, wrong CRCs, odd flags, names in code page 437.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct TTestZipEntry {
  std::string Name;
  std::string Data;
  std::uint16_t Flags = 0;
  std::uint16_t MadeBy = 20;  // host 0 (MS-DOS), version 2.0
  std::uint16_t Method = 0;
  std::string CentralExtra;
  std::uint32_t CrcXor = 0;    // spoils the stored CRC when not 0
};

inline TTestZipEntry TestEntry(std::string name, std::string data, std::uint16_t flags = 0, std::uint16_t method = 0,
                               std::uint32_t crcXor = 0) {
  TTestZipEntry e;
  e.Name = std::move(name);
  e.Data = std::move(data);
  e.Flags = flags;
  e.Method = method;
  e.CrcXor = crcXor;
  return e;
}

inline void Put16(std::string& s, std::uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

inline std::string MakeTestZip(const std::vector<TTestZipEntry>& entries, const std::string& comment = "") {
  std::string out, central;
  for (const TTestZipEntry& e : entries) {
    std::uint32_t crc = static_cast<std::uint32_t>(
                            crc32(0, reinterpret_cast<const Bytef*>(e.Data.data()), static_cast<uInt>(e.Data.size()))) ^
                        e.CrcXor;
    std::uint32_t offset = static_cast<std::uint32_t>(out.size());
    std::string common;
    Put16(common, e.Flags);
    Put16(common, e.Method);
    Put16(common, 0x6000);  // 12:00
    Put16(common, (44 << 9) | (3 << 5) | 15);  // 2024-03-15
    Put32(common, crc);
    Put32(common, static_cast<std::uint32_t>(e.Data.size()));
    Put32(common, static_cast<std::uint32_t>(e.Data.size()));
    Put16(common, static_cast<std::uint32_t>(e.Name.size()));
    Put32(out, 0x04034b50);
    Put16(out, 20);
    out += common;
    Put16(out, 0);
    out += e.Name + e.Data;
    Put32(central, 0x02014b50);
    Put16(central, e.MadeBy);
    Put16(central, 20);
    central += common;
    Put16(central, static_cast<std::uint32_t>(e.CentralExtra.size()));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, offset);
    central += e.Name + e.CentralExtra;
  }
  std::uint32_t cdOffset = static_cast<std::uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, static_cast<std::uint32_t>(central.size()));
  Put32(out, cdOffset);
  Put16(out, static_cast<std::uint32_t>(comment.size()));
  return out + comment;
}
