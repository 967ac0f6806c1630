// Zip archive reader: central directory (with Zip64), stored and deflated entries,
// CRC-32 checks, traditional PKWARE and WinZip AES decryption.
//
// The archive is read in place from a seekable stream (typically a TReadOnlyMemoryStream
// over resource memory); nothing is copied but the central directory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kystreams.h"
#include "lib/core/kytypes.h"

// Every error of the reader: a damaged archive or entry, an unsupported method or
// encryption, a CRC or authentication mismatch, an unsafe entry name. The message names
// the entry when one is concerned (EntryName, empty otherwise).
class EKyZipException : public EKyException {
 public:
  EKyZipException(String message, String entryName = String())
      : EKyException(std::move(message)), EntryName(std::move(entryName)) {}
  String EntryName;
};

enum class TKyZipEncryption { None, Traditional, Aes };

struct TKyZipEntry {
  // As stored, "/" separated, a folder ends in "/". UTF-8 with flag bit 11 or a matching
  // Unicode path field; names from Unix hosts that are valid UTF-8 too; else code page 437.
  String Name;
  RawBytes RawName;                 // the stored bytes of the name
  std::uint64_t CompressedSize = 0;   // bytes of the entry's data, encryption overhead included
  std::uint64_t UncompressedSize = 0;
  std::uint16_t Method = 0;         // 0 stored, 8 deflated; for AES the method behind it
  std::uint32_t Crc32 = 0;
  std::uint16_t Flags = 0;          // general-purpose bit flags
  std::uint16_t DosTime = 0;        // modification time and date, MS-DOS format
  std::uint16_t DosDate = 0;
  std::uint32_t ExternalAttributes = 0;
  std::uint16_t VersionMadeBy = 0;
  TKyZipEncryption Encryption = TKyZipEncryption::None;
  int AesStrength = 0;              // 1, 2, 3: 128, 192, 256-bit keys
  int AesVersion = 0;               // 1 (AE-1, CRC checked) or 2 (AE-2, no CRC)
  bool IsFolder = false;
  std::uint64_t LocalHeaderOffset = 0;  // from the start of the archive as the stream holds it

  bool Encrypted() const { return Encryption != TKyZipEncryption::None; }
  // The modification time as days since 1899-12-30; 0 when the stored value is invalid.
  TDateTime DateTime() const;
};

// Outcome of extracting one entry. Stopped: ExtractAll's progress handler asked to stop
// while the entry was written; what Target received is incomplete.
enum class TKyZipResult { Extracted, Skipped, Stopped };

class TKyZipReader {
 public:
  // Events; the sender comes first, output arguments are references.
  // Before an entry is written: FileName is its full destination path (a folder entry's
  // ends in the path delimiter); setting Skip leaves the entry out.
  using TStartEntryEvent = std::function<void(TKyZipReader& Sender, int EntryIndex, String& FileName, bool& Skip)>;
  // After an entry was written.
  using TEndEntryEvent = std::function<void(TKyZipReader& Sender, int EntryIndex, const String& FileName)>;
  // Percentage 0..100 of the archive's uncompressed bytes done; setting Stop ends ExtractAll
  // (see there).
  using TProgressEvent = std::function<void(TKyZipReader& Sender, int Percent, bool& Stop)>;
  // An encrypted entry cannot be decrypted with Password (the archive's current one).
  // Returning a different password makes it the current one and the entry is tried again;
  // returning it unchanged leaves the entry out.
  using TBadPasswordEvent = std::function<void(TKyZipReader& Sender, int EntryIndex, RawBytes& Password)>;

  TKyZipReader();
  ~TKyZipReader();
  TKyZipReader(const TKyZipReader&) = delete;
  TKyZipReader& operator=(const TKyZipReader&) = delete;

  // Reads the central directory of the archive in Stream, which must stay alive and
  // unchanged while the reader uses it. EKyZipException when it is no readable archive.
  void Open(TStream& stream);
  // The same for an archive file; the reader owns the file until Close or destruction.
  void OpenFile(const String& fileName);
  void Close();

  int EntryCount() const { return static_cast<int>(Entries_.size()); }
  // Index outside 0..EntryCount-1: EListError.
  const TKyZipEntry& Entry(int index) const;
  const std::vector<TKyZipEntry>& Entries() const { return Entries_; }
  // Sum of all uncompressed sizes, from the directory alone.
  std::uint64_t TotalUncompressedSize() const;
  // The archive file name when opened by file name; used in nothing but messages.
  const String& ArchiveName() const { return ArchiveName_; }

  // The current password (bytes as the encryption sees them); empty after every Open.
  RawBytes Password;

  // Writes the uncompressed bytes of one entry to Target. Encrypted entries are tried with
  // Password and OnBadPassword (see above); an entry whose password fails is left out with
  // Skipped and nothing written to Target. Every written entry was checked (CRC-32, and the
  // authentication code for AES) before this returns; with a wrong traditional password
  // that passes the header check, nothing is written either. Damaged data: EKyZipException.
  TKyZipResult ExtractEntry(int index, TStream& target);

  // Root below which ExtractAll writes; a trailing delimiter is ignored.
  String Destination;
  // Writes every entry below Destination, keeping its folders and creating missing ones,
  // replacing existing files. Each file is written to a temporary file beside it and
  // renamed into place when whole and checked, so a failing entry leaves nothing behind.
  // Entry names that would leave Destination are refused before anything is written.
  // OnProgress comes when the percentage changes and, while it does not, again after 10 ms
  // at the latest (looked at after every entry and every 256 KiB read, checks of encrypted
  // entries included). When it sets Stop, ExtractAll returns at once: an entry being
  // written is left out as if it had failed (a file it would replace stays as it was) and
  // no later entry is started.
  void ExtractAll();

  TStartEntryEvent OnStartEntry;
  TEndEntryEvent OnEndEntry;
  TProgressEvent OnProgress;
  TBadPasswordEvent OnBadPassword;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl_;
  std::vector<TKyZipEntry> Entries_;
  String ArchiveName_;
};

// The relative path that an entry name stands for, with Delimiter between its levels:
// "\" and "/" both separate levels, "." levels and doubled separators are dropped, a
// folder's trailing separator is removed (a folder that is the root itself, "./", gives
// the empty path). Names that would leave the destination ("..",
// a leading separator, a drive letter or any ":", a UNC prefix), control characters and
// device names (CON, NUL, COM1, ...) raise EKyZipException naming the entry.
String ZipEntryRelativePath(StringView entryName, Char delimiter);

// Code page 437 bytes to UTF-16 (entry names without the UTF-8 flag).
String Cp437ToString(std::string_view bytes);
