// The byte-level reader and writer under the XML document: encoding detection by
// byte-order mark, UTF-8, UTF-16 and the common single-byte code pages, reading in
// chunks that end before the next "<", and output through a temporary file that
// replaces the target when it is closed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "lib/core/kystreams.h"
#include "lib/core/kytypes.h"

class TXmlTextFile {
 public:
  enum : Byte { teCodePage = 0, teUtf8 = 1, teUtf16LE = 2, teUtf16BE = 3 };
  enum : Byte { lbLF = 1, lbCR = 2 };

  TXmlTextFile() = default;
  ~TXmlTextFile();
  TXmlTextFile(const TXmlTextFile&) = delete;
  TXmlTextFile& operator=(const TXmlTextFile&) = delete;

  // Reading.
  void OpenRead(const String& fileName);
  void Open(TStream* stream, bool ownsStream);
  // Takes the stream away from the file without closing it.
  std::unique_ptr<TStream> ReleaseStream();
  // The n-th character ahead, -1 past the end (runs the encoding detection).
  int PeekChar(int n);
  // Appends the text up to the next "<" (a "<" at the very start is taken with it);
  // false when nothing is left.
  bool ReadChunk(String& text);
  // Appends everything that is left.
  void ReadRest(String& text);
  bool Eof();
  std::int64_t BytePosition() const;
  std::int64_t Size = 0;

  // Writing.
  void Rewrite(const String& fileName = String());
  void Write(StringView text);
  void WriteLineBreak();
  String LineBreak() const;
  // Whether the output's code page has the character (always true for Unicode).
  bool CanEncode(Char c) const;
  bool IsCodePageOutput() const { return Encoding == teCodePage; }

  // Ends reading, or commits the output to FileName.
  void Close();

  void SetEncoding(Byte kind) { Encoding = kind; }
  // Known names switch the encoding; unknown names change nothing.
  void SetEncodingName(StringView name);
  String EncodingName() const;
  String EncodingDisplayName() const;
  // The class of an encoding name: teUtf8, teUtf16LE/BE, teCodePage; Detected gives the
  // byte order of the UTF-16 names.
  static Byte EncodingClassOf(StringView name, Byte detected);
  static int CodePageOfName(StringView name);  // 0 when unknown
  static String NameOfCodePage(int codePage);

  String FileName;
  String TempFileName;
  String BackupExtension;
  int CodePage = 0;
  Byte Encoding = teUtf8;
  bool EncodingDetected = false;
  bool HadBom = false;
  Byte LineBreaks = 0;
  bool WriteBom = true;

 private:
  bool FillMore();
  void DetectEncoding();
  void DecodeSegment(const char* data, size_t size, String& out);
  void TrackLineBreaks(const char* data, size_t size);
  void EncodeAppend(StringView text);
  void FlushOut();
  size_t UnitSize() const { return Encoding == teUtf16LE || Encoding == teUtf16BE ? 2 : 1; }

  TStream* Stream_ = nullptr;
  bool OwnsStream_ = false;
  bool Detected_ = false;
  bool FirstChunkRead_ = false;
  bool StreamEnd_ = false;
  std::string Raw_;
  size_t RawPos_ = 0;
  size_t RawLen_ = 0;
  std::int64_t StreamBase_ = 0;  // stream position of Raw_[0]
  std::int64_t StartPos_ = 0;
  bool Writing_ = false;
  std::string Out_;
};

// Code-page conversion of the text file (portable tables plus the platform where it has one).
String XmlCodePageToString(int codePage, const char* data, size_t size);
std::string XmlStringToCodePage(int codePage, StringView text);
bool XmlCodePageHasChar(int codePage, Char c);
