// Text files: encoding detection, line and delimiter reads across the buffer, strict UTF-8,
// output through a temporary file.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kystreams.h"
#include "lib/core/kysysutils.h"
#include "lib/core/kytextfile.h"
#include "tests/core/testutil.h"

namespace {

std::unique_ptr<TMemoryStream> MemOf(const RawBytes& bytes) {
  auto m = std::make_unique<TMemoryStream>();
  m->Write(bytes.data(), bytes.size());
  m->SetPosition(0);
  return m;
}

// Every line (or delimited piece) of Bytes read with the given settings.
std::vector<String> ReadAllLines(TKyTextFile& f, const RawBytes& bytes, Char delimiter = 0) {
  f.Open(MemOf(bytes).release(), true);
  std::vector<String> lines;
  String s;
  while (f.ReadLine(delimiter, s)) lines.push_back(s);
  return lines;
}

std::vector<String> Lines(const RawBytes& bytes, Byte encoding = TKyTextFile::ekUtf8, Char delimiter = 0) {
  TKyTextFile f;
  f.SetEncoding(encoding);
  return ReadAllLines(f, bytes, delimiter);
}

RawBytes Utf16(StringView s, bool big) {
  RawBytes out;
  for (Char c : s) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out += big ? RawBytes{hi, lo} : RawBytes{lo, hi};
  }
  return out;
}

using V = std::vector<String>;

}  // namespace

TEST(TextFileDetect, ByteOrderMarksAndUtf16Patterns) {
  {
    TKyTextFile f;
    EXPECT_EQ(ReadAllLines(f, "\xEF\xBB\xBF" "a\r\nb"), (V{u"a", u"b"}));
    EXPECT_TRUE(f.HadBom);
    EXPECT_TRUE(f.EncodingDetected);
    EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf8);
    EXPECT_EQ(f.LineBreaks, TKyTextFile::lbCR | TKyTextFile::lbLF);
    EXPECT_EQ(f.LineBreak(), u"\r\n");
  }
  for (bool big : {false, true}) {
    for (bool bom : {false, true}) {
      SCOPED_TRACE(testing::Message() << "big " << big << " bom " << bom);
      RawBytes bytes = (bom ? Utf16(u"\uFEFF", big) : RawBytes()) + Utf16(u"<a>\u20AC\r\nz\u00E9", big);
      TKyTextFile f;  // the code page default must give way
      EXPECT_EQ(ReadAllLines(f, bytes), (V{u"<a>\u20AC", u"z\u00E9"}));
      EXPECT_EQ(f.Encoding, big ? TKyTextFile::ekUtf16BE : TKyTextFile::ekUtf16LE);
      EXPECT_EQ(f.HadBom, bom);
      EXPECT_TRUE(f.EncodingDetected);
    }
  }
  // Without a pattern the encoding that was set stays.
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  EXPECT_EQ(ReadAllLines(f, "ab\xC3\xA9"), (V{u"ab\u00E9"}));
  EXPECT_FALSE(f.EncodingDetected);
  EXPECT_FALSE(f.HadBom);
  EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf8);
  // A one-byte file and an empty file.
  EXPECT_EQ(Lines("x"), (V{u"x"}));
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("\xEF\xBB\xBF"), V{});
}

TEST(TextFileDetect, DetectionHappensOncePerOpenAndMarksAccumulate) {
  TKyTextFile f;
  ReadAllLines(f, RawBytes("\xFE\xFF\0a", 4));
  ASSERT_EQ(f.Encoding, TKyTextFile::ekUtf16BE);
  f.Close();
  EXPECT_FALSE(f.EncodingDetected);
  // The bytes FF FE in the middle of a stream are text, not a mark.
  f.SetEncoding(TKyTextFile::ekUtf8);
  auto m = MemOf("x\r\n\xEF\xBB\xBFy");
  f.Open(m.get(), false);
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"x");
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"\uFEFFy");
  EXPECT_TRUE(f.HadBom);  // from the earlier input: never cleared
}

TEST(TextFileLines, EveryLineBreakKind) {
  EXPECT_EQ(Lines("a\r\nb\n\rc\rd\ne"), (V{u"a", u"b", u"c", u"d", u"e"}));
  // Two breaks of one kind are two lines; a final break adds no empty line.
  EXPECT_EQ(Lines("a\r\rb\n\n"), (V{u"a", u"", u"b", u""}));
  EXPECT_EQ(Lines("\r\n"), (V{u""}));
  EXPECT_EQ(Lines("a\r\n\r\nb"), (V{u"a", u"", u"b"}));

  struct Case { const char* bytes; Byte breaks; const char16_t* lineBreak; };
  for (const Case& c : {Case{"a\nb\n", TKyTextFile::lbLF, u"\n"}, Case{"a\rb", TKyTextFile::lbCR, u"\r"},
                        Case{"a\r\nb", TKyTextFile::lbLF | TKyTextFile::lbCR, u"\r\n"},
                        Case{"ab", 0, u"\r\n"}}) {
    TKyTextFile f;
    ReadAllLines(f, c.bytes);
    EXPECT_EQ(f.LineBreaks, c.breaks) << c.bytes;
    EXPECT_EQ(f.LineBreak(), c.lineBreak) << c.bytes;
  }

  TKyTextFile keep;
  keep.KeepLineBreaks = true;
  EXPECT_EQ(ReadAllLines(keep, "a\r\nb\n\rc\rd\r\re"), (V{u"a\r\n", u"b\n\r", u"c\r", u"d\r", u"\r", u"e"}));
  keep.SetEncoding(TKyTextFile::ekUtf16LE);
  EXPECT_EQ(ReadAllLines(keep, Utf16(u"\uFEFFa\r\nb\nc", false)), (V{u"a\r\n", u"b\n", u"c"}));
}

TEST(TextFileLines, DelimiterMode) {
  EXPECT_EQ(Lines("<a>x<b>", TKyTextFile::ekUtf8, u'<'), (V{u"<a>x", u"<b>"}));
  EXPECT_EQ(Lines(Utf16(u"\uFEFF<a>x<b>", true), TKyTextFile::ekUtf8, u'<'), (V{u"<a>x", u"<b>"}));
  EXPECT_EQ(Lines("ab<<c", TKyTextFile::ekUtf8, u'<'), (V{u"ab", u"<", u"<c"}));
  // CR and LF are ordinary characters here, but they are still noted.
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  EXPECT_EQ(ReadAllLines(f, "a\nb;c\r", u';'), (V{u"a\nb", u";c\r"}));
  EXPECT_EQ(f.LineBreaks, TKyTextFile::lbLF | TKyTextFile::lbCR);
  // The delimiter stays unread, so a line read after it starts with it.
  auto m = MemOf("k=v\nw");
  f.Open(m.get(), false);
  String s;
  ASSERT_TRUE(f.ReadLine(u'=', s));
  EXPECT_EQ(s, u"k");
  EXPECT_EQ(f.PeekChar(0), u'=');
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"=v");
  // A character outside ASCII as the delimiter of a UTF-8 text.
  EXPECT_EQ(Lines("a\xE2\x82\xAC" "b\xE2\x82\xAC", TKyTextFile::ekUtf8, u'\u20AC'), (V{u"a", u"\u20AC" "b", u"\u20AC"}));
}

TEST(TextFileLines, BufferBoundaries) {
  // Breaks, multi-byte characters and delimiters at every offset around the 256-byte buffer.
  for (int pad = 240; pad <= 262; ++pad) {
    SCOPED_TRACE(pad);
    RawBytes lead(static_cast<size_t>(pad), 'x');
    String wlead(static_cast<size_t>(pad), u'x');
    EXPECT_EQ(Lines(lead + "\r\nb"), (V{wlead, u"b"}));
    EXPECT_EQ(Lines(lead + "\xF0\x9F\x98\x80\xC3\xA9\n"), (V{wlead + u"\U0001F600\u00E9"}));
    EXPECT_EQ(Lines(lead + "<b", TKyTextFile::ekUtf8, u'<'), (V{wlead, u"<b"}));
    EXPECT_EQ(Lines(Utf16(u"\uFEFF" + wlead + u"\r\n\u00E9", true)), (V{wlead, u"\u00E9"}));
    EXPECT_EQ(Lines(Utf16(u"\uFEFF" + wlead + u"<b", false), TKyTextFile::ekUtf8, u'<'), (V{wlead, u"<b"}));
  }
  // Lines far longer than the buffer.
  String longLine(100000, u'\u00E9');
  EXPECT_EQ(Lines(StringToUtf8(longLine + u"\n" + longLine)), (V{longLine, longLine}));
}

TEST(TextFileLines, RandomTextMatchesASimpleSplitter) {
  std::mt19937 rng(1234);
  const std::vector<String> pieces = {u"a", u"\u00E9", u"\u20AC", u"\U0001F600", u"\r", u"\n", u"<", u" "};
  for (int round = 0; round < 200; ++round) {
    String text;
    int n = static_cast<int>(rng() % 700);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    // Reference: split at CR LF / LF CR pairs or single CR and LF.
    V expected;
    String cur;
    for (size_t i = 0; i < text.size(); ++i) {
      Char c = text[i];
      if (c != u'\r' && c != u'\n') {
        cur.push_back(c);
        continue;
      }
      if (i + 1 < text.size() && (text[i + 1] == u'\r' || text[i + 1] == u'\n') && text[i + 1] != c) ++i;
      expected.push_back(cur);
      cur.clear();
    }
    if (!cur.empty()) expected.push_back(cur);
    ASSERT_EQ(Lines(StringToUtf8(text)), expected) << round;
    ASSERT_EQ(Lines(Utf16(u"\uFEFF" + text, round % 2 == 0)), expected) << round;
    // Delimiter mode gives the text back in pieces.
    String joined;
    for (const String& piece : Lines(StringToUtf8(text), TKyTextFile::ekUtf8, u'<')) {
      EXPECT_TRUE(joined.empty() || piece.front() == u'<');
      joined += piece;
    }
    ASSERT_EQ(joined, text);
  }
}

TEST(TextFileCodePage, SingleAndDoubleByteDecoding) {
  auto read = [](const RawBytes& bytes, int codePage, Char delimiter = 0) {
    TKyTextFile f;
    f.CodePage = codePage;
    return ReadAllLines(f, bytes, delimiter);
  };
  EXPECT_EQ(read(RawBytes("\x80" "a\0b\r\n\xE9", 7), 1252), (V{String(u"\u20AC" "a\0b", 4), u"\u00E9"}));
  EXPECT_EQ(read("\x80", 0), (V{u"\u20AC"}));  // 0: the system's code page, 1252 here
  // 0x5C is a trail byte of the Shift-JIS character U+8868, not a backslash.
  EXPECT_EQ(read("\x95\x5C\\x\x95\x5C", 932, u'\\'), (V{u"\u8868", u"\\x\u8868"}));
  for (int pad = 250; pad <= 258; ++pad) {
    SCOPED_TRACE(pad);
    RawBytes lead(static_cast<size_t>(pad), 'x');
    String wlead(static_cast<size_t>(pad), u'x');
    EXPECT_EQ(read(lead + "\x82\xA0\r\n\x82\xA0", 932), (V{wlead + u"\u3042", u"\u3042"}));
    EXPECT_EQ(read(lead + "\x95\x5C\\y", 932, u'\\'), (V{wlead + u"\u8868", u"\\y"}));
  }
  TKyTextFile f;
  f.CodePage = 932;
  auto m = MemOf("\x82\xA0\x95\x5C" "a");
  f.Open(m.get(), false);
  EXPECT_EQ(f.PeekChar(1), u'\u8868');
  EXPECT_EQ(f.PeekChar(2), u'a');
  // A delimiter that the code page cannot hold matches nothing (not its "?" stand-in).
  EXPECT_EQ(read("a?b?", 28591, u'\u20AC'), (V{u"a?b?"}));
}

TEST(TextFileUtf8, InvalidSequencesReportThePosition) {
  struct Case { RawBytes bytes; int position; };
  for (const Case& c : {Case{"\xC3\x28", 2}, Case{"ab\x80", 3}, Case{"\xF8\x88\x80\x80\x80", 1},
                        Case{"a\xFF", 2}, Case{"xy\xE2\x82", 3}, Case{"\xE2\x28\xA1", 2},
                        Case{"\xF4\x90\x80\x80", 1}, Case{"\xF0\x8D\xA0\x80", 1}, Case{"\xF0\x9F\x98", 1}}) {
    try {
      DecodeUtf8Strict(c.bytes);
      ADD_FAILURE() << "no error for " << testing::PrintToString(c.bytes);
    } catch (const EUft8Exception& e) {
      EXPECT_EQ(e.Position, c.position) << testing::PrintToString(c.bytes);
      EXPECT_EQ(e.Bytes, c.bytes);
      String shown;
      for (char b : c.bytes) shown.push_back(static_cast<Byte>(b));
      EXPECT_EQ(e.Message(), u"Invalid UTF-8 character in position " + IntToStr(c.position) + u":\r\n" + shown);
    }
  }
  // Accepted: the largest code point, overlong forms, 4-byte forms as surrogate pairs.
  EXPECT_EQ(DecodeUtf8Strict("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(DecodeUtf8Strict("\xC1\x81\xE0\x80\xB0"), u"A0");
  EXPECT_EQ(DecodeUtf8Strict("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(DecodeUtf8Strict(RawBytes("a\0b", 3)), String(u"a\0b", 3));
}

TEST(TextFileUtf8, PositionIsCountedInTheLineBeingRead) {
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  auto m = MemOf("first\r\nab\xC3(\r\nlast");
  f.Open(m.get(), false);
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  try {
    f.ReadLine(0, s);
    FAIL() << "no error";
  } catch (const EUft8Exception& e) {
    EXPECT_EQ(e.Position, 4);
    EXPECT_EQ(e.Bytes, "ab\xC3(");
  }
  // The bad line is consumed; reading goes on after it.
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"last");
}

TEST(TextFilePeek, PeekDoesNotConsumeAndEofFollowsTheInput) {
  TKyTextFile f;
  auto m = MemOf(Utf16(u"\uFEFFab", false));
  f.Open(m.get(), false);
  EXPECT_EQ(f.PeekChar(1), u'b');  // the first fill detects UTF-16 before decoding
  EXPECT_EQ(f.PeekChar(0), u'a');
  EXPECT_EQ(f.PeekChar(2), 0);
  EXPECT_FALSE(f.Eof());
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"ab");
  EXPECT_TRUE(f.Eof());
  EXPECT_FALSE(f.ReadLine(0, s));
  EXPECT_TRUE(s.empty());

  f.SetEncoding(TKyTextFile::ekUtf8);
  auto u = MemOf("\xC3\xA9\xF0\x9F\x98\x80z");
  f.Open(u.get(), false);
  EXPECT_EQ(f.PeekChar(0), u'\u00E9');
  EXPECT_EQ(f.PeekChar(1), 0xD83D);
  EXPECT_EQ(f.PeekChar(2), 0xDE00);
  EXPECT_EQ(f.PeekChar(3), u'z');
  EXPECT_EQ(f.PeekChar(4), 0);
  // Peeking across the buffer boundary.
  RawBytes big(300, 'q');
  big[280] = 'Z';
  auto b = MemOf(big);
  f.Open(b.get(), false);
  ASSERT_TRUE(f.ReadLine(u'Z', s));
  EXPECT_EQ(s.size(), 280u);
  EXPECT_EQ(f.PeekChar(0), u'Z');
  EXPECT_EQ(f.PeekChar(19), u'q');
  EXPECT_EQ(f.PeekChar(20), 0);
}

TEST(TextFileEncoding, NamesAndTheirEffect) {
  TKyTextFile f;
  f.CodePage = 1250;
  f.SetEncodingName(u"UTF-8");
  EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf8);
  EXPECT_EQ(f.CodePage, 0);
  EXPECT_EQ(f.EncodingName(), u"utf-8");
  f.SetEncodingName(u"unicodefffe");
  EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf16BE);
  EXPECT_EQ(f.EncodingDisplayName(), u"unicodeFFFE");
  EXPECT_EQ(f.EncodingName(), u"UTF-16");
  // The generic names keep a byte order that is already known.
  for (const char16_t* generic : {u"UTF-16", u"ucs-2", u"iso-10646-ucs-2"}) {
    f.SetEncoding(TKyTextFile::ekUtf16BE);
    f.SetEncodingName(generic);
    EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf16BE) << StringToUtf8(generic);
    f.SetEncoding(TKyTextFile::ekUtf8);
    f.SetEncodingName(generic);
    EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf16LE) << StringToUtf8(generic);
  }
  f.SetEncodingName(u"unicode");
  EXPECT_EQ(f.EncodingDisplayName(), u"unicode");
  f.SetEncodingName(u"Unicode-Escape");
  EXPECT_EQ(f.Encoding, TKyTextFile::ekCodePage);
  EXPECT_TRUE(f.EscapeMode);
  f.SetEncodingName(u"no-such-encoding");
  EXPECT_TRUE(f.EscapeMode);
  EXPECT_EQ(f.Encoding, TKyTextFile::ekCodePage);
  f.SetEncoding(TKyTextFile::ekUtf8);
  EXPECT_FALSE(f.EscapeMode);
  f.SetEncoding(TKyTextFile::ekCodePage);
  f.CodePage = 0;
  EXPECT_EQ(f.EncodingDisplayName(), u"windows-1252");
  f.SetEncodingName(u"MS_Kanji");
  EXPECT_EQ(f.CodePage, 932);
  EXPECT_EQ(f.EncodingName(), u"shift_jis");
  f.SetEncodingName(u"ISO8859_1");
  EXPECT_EQ(f.CodePage, 28591);
  EXPECT_EQ(f.EncodingName(), u"iso-8859-1");
  EXPECT_EQ(f.EncodingDisplayName(), u"iso-8859-1");

  // After big-endian detection the declaration "UTF-16" keeps big-endian.
  TKyTextFile d;
  d.SetEncoding(TKyTextFile::ekUtf8);
  auto m = MemOf(Utf16(u"<?xml encoding='UTF-16'?>\r\n<r/>", true));
  d.Open(m.get(), false);
  String s;
  ASSERT_TRUE(d.ReadLine(0, s));
  d.SetEncodingName(u"UTF-16");
  ASSERT_TRUE(d.ReadLine(0, s));
  EXPECT_EQ(s, u"<r/>");
}

class TextFileWrite : public testing::Test {
 protected:
  TTempDir Dir;
};

TEST_F(TextFileWrite, EachEncodingWithAndWithoutMark) {
  struct Case { Byte encoding; bool bom; RawBytes expected; };
  const String text = u"a\u00E9\U0001F600";
  for (const Case& c : {Case{TKyTextFile::ekUtf8, true, "\xEF\xBB\xBF" "a\xC3\xA9\xF0\x9F\x98\x80\r\n"},
                        Case{TKyTextFile::ekUtf8, false, "a\xC3\xA9\xF0\x9F\x98\x80\r\n"},
                        Case{TKyTextFile::ekUtf16LE, true, Utf16(u"\uFEFF" + text + u"\r\n", false)},
                        Case{TKyTextFile::ekUtf16BE, true, Utf16(u"\uFEFF" + text + u"\r\n", true)},
                        Case{TKyTextFile::ekUtf16BE, false, Utf16(text + u"\r\n", true)}}) {
    String name = Dir.File(u"out.txt");
    TKyTextFile f;
    f.SetEncoding(c.encoding);
    f.WriteBom = c.bom;
    f.Rewrite(name);
    f.WriteLine(text);
    f.Close();
    EXPECT_EQ(ReadAll(name), c.expected) << int(c.encoding) << c.bom;
    // And it reads back.
    TKyTextFile r;
    r.SetEncoding(c.encoding);
    EXPECT_EQ(ReadAllLines(r, ReadAll(name)), (V{text}));
  }
}

TEST_F(TextFileWrite, EscapeModeAndCodePageOutput) {
  String name = Dir.File(u"esc.txt");
  TKyTextFile f;
  f.SetEncodingName(u"unicode-escape");
  f.Rewrite(name);
  f.Write(u"x\u00E9\u20AC\U0001F600\\u");
  f.Close();
  EXPECT_EQ(ReadAll(name), "x\\u00e9\\u20ac\\ud83d\\ude00\\u");
  f.SetEncodingName(u"iso-8859-1");
  f.Rewrite(name);
  f.WriteLine(u"\u00E9");
  f.Close();
  EXPECT_EQ(ReadAll(name), "\xE9\r\n");  // no mark for code pages
}

TEST_F(TextFileWrite, LineBreaksReadAreWrittenBack) {
  String name = Dir.File(u"lf.txt");
  WriteAll(name, "one\ntwo\n");
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  f.OpenRead(name);
  std::vector<String> lines;
  String s;
  while (f.ReadLine(0, s)) lines.push_back(s);
  f.Close();
  f.Rewrite(name);
  for (const String& l : lines) f.WriteLine(l);
  f.Close();
  EXPECT_EQ(ReadAll(name), "\xEF\xBB\xBFone\ntwo\n");

  TKyTextFile cr;
  cr.LineBreaks = TKyTextFile::lbCR;
  cr.SetEncoding(TKyTextFile::ekUtf16BE);
  cr.WriteBom = false;
  cr.Rewrite(name);
  cr.WriteLine(u"a");
  cr.Close();
  EXPECT_EQ(ReadAll(name), Utf16(u"a\r", true));
}

TEST_F(TextFileWrite, CommitReplacesTargetOnlyAtClose) {
  String sub = Dir.File(u"new") + PathDelimiter() + u"deeper";
  String name = sub + PathDelimiter() + u"t.txt";
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  f.WriteBom = false;
  f.Rewrite(name);
  String temp = f.TempFileName;
  EXPECT_TRUE(FileExists(temp));
  EXPECT_TRUE(StartsText(u"txt", ExtractFileName(temp)));
  f.Write(u"first");
  EXPECT_FALSE(FileExists(name));
  // A second Rewrite commits the first output before starting anew.
  f.Rewrite(name);
  EXPECT_EQ(ReadAll(name), "first");
  EXPECT_FALSE(FileExists(temp));
  f.Write(u"second");
  EXPECT_EQ(ReadAll(name), "first");
  f.Close();
  EXPECT_EQ(ReadAll(name), "second");
  // So does opening another stream for reading.
  f.Rewrite(name);
  f.Write(u"third");
  TMemoryStream other;
  f.Open(&other, false);
  EXPECT_EQ(ReadAll(name), "third");
  EXPECT_TRUE(f.TempFileName.empty());
  EXPECT_TRUE(f.FileName.empty());
  // Large output goes through in blocks.
  String big(200000, u'k');
  f.Rewrite(name);
  f.Write(big);
  f.Close();
  EXPECT_EQ(GetFileSize(name), 200000);
}

TEST_F(TextFileWrite, BackupExtension) {
  String name = Dir.File(u"doc.xml");
  WriteAll(name, "old");
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  f.WriteBom = false;
  f.BackupExtension = u"bak";
  f.Rewrite(name);
  f.Write(u"new");
  f.Close();
  EXPECT_EQ(ReadAll(Dir.File(u"doc.bak")), "old");
  EXPECT_EQ(ReadAll(name), "new");
  // No backup of a target that did not exist.
  f.Rewrite(Dir.File(u"fresh.xml"));
  f.Close();
  EXPECT_FALSE(FileExists(Dir.File(u"fresh.bak")));
}

TEST_F(TextFileWrite, ReadOnlyTargetIsLeftUnchanged) {
  String name = Dir.File(u"ro.txt");
  WriteAll(name, "keep");
  ASSERT_TRUE(SetFileReadOnly(name, true));
  TKyTextFile f;
  f.Rewrite(name);
  String temp = f.TempFileName;
  f.Write(u"lost");
  try {
    f.Close();
    FAIL() << "no error";
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Could not create the file \"" + name + u"\" because it is read-only");
  }
  EXPECT_EQ(ReadAll(name), "keep");
  EXPECT_FALSE(FileExists(temp));
  f.Close();  // nothing left to commit
  SetFileReadOnly(name, false);
}

TEST_F(TextFileWrite, FailedCopyKeepsTheTemporaryFile) {
  // The target's folder cannot be created below a plain file.
  String blocker = Dir.File(u"plain");
  WriteAll(blocker, "x");
  String name = blocker + PathDelimiter() + u"t.txt";
  String temp;
  {
    TKyTextFile f;
    f.Rewrite(name);
    temp = f.TempFileName;
    f.Write(u"data");
    try {
      f.Close();
      FAIL() << "no error";
    } catch (const EKyException& e) {
      EXPECT_EQ(e.Message(), u"Could not copy the temporary \"" + temp + u"\" file to the target file \"" + name + u"\"");
    }
  }
  EXPECT_TRUE(FileExists(temp));
  EXPECT_EQ(ReadAll(temp), "data");
  RemoveFile(temp);
}

TEST(TextFileRead, OpenReadErrorsPassThrough) {
  TTempDir dir;
  TKyTextFile f;
  EXPECT_THROW(f.OpenRead(dir.File(u"missing.txt")), EFOpenError);
  EXPECT_TRUE(f.Eof());
  String s;
  EXPECT_FALSE(f.ReadLine(0, s));
  String name = dir.File(u"in.txt");
  WriteAll(name, "abc");
  TKyTextFile g(name);
  EXPECT_EQ(g.Size, 3);
  EXPECT_EQ(g.FileName, name);
  ASSERT_TRUE(g.ReadLine(0, s));
  EXPECT_EQ(s, u"abc");
  g.Close();
  EXPECT_EQ(ReadAll(name), "abc");  // closing a read never writes
}
