// Text files: reads any stream through a small buffer with encoding detection, and writes
// through a temporary file that replaces the target only when the output is closed.
#pragma once

#include <cstdint>
#include <string_view>

#include "lib/core/kystreams.h"
#include "lib/core/kytypes.h"

class TKyTextFile {
 public:
  // Values of Encoding.
  enum : Byte { ekCodePage = 0, ekUtf8 = 1, ekUtf16LE = 2, ekUtf16BE = 3 };
  // Bits of LineBreaks.
  enum : Byte { lbLF = 1, lbCR = 2 };
  static constexpr int kBufferSize = 256;

  explicit TKyTextFile(const String& fileName = String());
  // Closes, committing a pending output. Errors of that commit cannot leave a destructor:
  // call Close first to see them (the target then stays unchanged).
  ~TKyTextFile();
  TKyTextFile(const TKyTextFile&) = delete;
  TKyTextFile& operator=(const TKyTextFile&) = delete;

  // Opens the file read-only; others may still read and write it.
  void OpenRead(const String& fileName);
  // Reads from Stream at its current position; with OwnsStream it is freed at Close.
  void Open(TStream* stream, bool ownsStream);
  // Closes (and commits) any output, then starts a new one into a temporary file.
  void Rewrite(const String& fileName = String());
  // Ends reading, or commits the output to FileName. Any failure of the commit (or of a
  // write before it) discards the output: the target is unchanged and no temporary file
  // stays behind; an output without a file name is discarded too.
  void Close();

  void SetEncoding(Byte kind);
  // Unknown names leave everything as it is.
  void SetEncodingName(StringView name);
  String EncodingName() const;
  String EncodingDisplayName() const;
  bool IsBigEndian() const { return Encoding == ekUtf16BE; }
  // The line break to write: the one met while reading, CR LF when none or both.
  String LineBreak() const;

  bool Eof();
  // The n-th character ahead (0 = next) without consuming it; #0 past the end.
  Char PeekChar(int n = 0);
  // Delimiter #0: one line (CR, LF, CR LF or LF CR ends it). Otherwise the text up to
  // the delimiter, which stays unread. False when nothing was left to read.
  bool ReadLine(Char delimiter, String& text);
  bool ReadLine(String& text) { return ReadLine(0, text); }
  // Consumes the next character when it is C (a character of the Basic Multilingual Plane).
  bool SkipChar(Char c);
  // Bytes of the stream consumed so far, counted from its start.
  std::int64_t BytePosition() const;

  // A write that fails ends the output as a failed Close does.
  void Write(StringView text);
  void WriteLine(StringView text);
  void WriteLineBreak();

  int BufferPos() const { return BufferPos_; }
  int BufferLen() const { return BufferLen_; }

  String BackupExtension;
  int CodePage = 0;  // 0: the system's ANSI code page
  bool EscapeMode = false;
  String FileName;
  Byte Encoding = ekCodePage;
  bool EncodingDetected = false;
  bool OwnsStream = false;
  bool HadBom = false;
  bool KeepLineBreaks = false;
  Byte LineBreaks = 0;
  TStream* Stream = nullptr;
  std::int64_t Size = 0;
  String TempFileName;
  bool WriteBom = true;

 private:
  bool Is16Bit() const { return Encoding == ekUtf16LE || Encoding == ekUtf16BE; }
  int EffectiveCodePage() const;
  // Makes at least Count unread bytes available when the stream has them.
  bool Ensure(int count);
  int Available() const { return BufferLen_ - BufferPos_; }
  void Fill();
  size_t ReadStream(Byte* dst, size_t count);
  void DetectEncoding();
  int CharLength(Byte lead) const;
  Char Unit(int offset) const;
  bool ReadLine8(Char delimiter, String& text);
  bool ReadLine16(Char delimiter, String& text);
  void Decode(std::string_view bytes, String& text) const;
  void WriteBytes(std::string_view bytes);
  void WriteEncoded(StringView text);
  void WriteBreak();
  void FlushOutput();
  // Ends the output: the temporary file is deleted and the target stays as it was.
  void DiscardOutput();
  void FailOutput();
  void Commit();
  void ResetBuffer();
  void FreeStream();

  Byte Buffer_[kBufferSize] = {};
  int BufferPos_ = 0;
  int BufferLen_ = 0;
  bool Filled_ = false;      // the first fill after opening has happened
  bool StreamEnd_ = false;   // the stream returned no more bytes
  RawBytes Output_;          // collected output of an owned stream
  RawBytes ReadAhead_;       // block read from an owned stream, handed on to the buffer
  size_t ReadAheadPos_ = 0;
  RawBytes Line_;
};

// Strict UTF-8 decoding: EUft8Exception with the 1-based position of the failing byte.
String DecodeUtf8Strict(std::string_view bytes);
void DecodeUtf8Strict(std::string_view bytes, String& out);
