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

TEST(TextFileLines, LineBreakKindsAndDelimiters) {
  // Two breaks of one kind are two lines; a final break adds no empty line.
  EXPECT_EQ(Lines("a\r\rb\n\rc\n\n"), (V{u"a", u"", u"b", u"c", u""}));
  TKyTextFile f;
  f.KeepLineBreaks = true;
  EXPECT_EQ(ReadAllLines(f, "a\rb\r\rc"), (V{u"a\r", u"b\r", u"\r", u"c"}));
  EXPECT_EQ(f.LineBreak(), u"\r");
  f.SetEncoding(TKyTextFile::ekUtf16LE);
  EXPECT_EQ(ReadAllLines(f, Utf16(u"\uFEFFa\n\rb\nc", false)), (V{u"a\n\r", u"b\n", u"c"}));

  // In delimiter mode CR and LF are ordinary characters, but they are still noted.
  EXPECT_EQ(Lines(Utf16(u"\uFEFF<a>x<b>", true), TKyTextFile::ekUtf8, u'<'), (V{u"<a>x", u"<b>"}));
  TKyTextFile d;
  d.SetEncoding(TKyTextFile::ekUtf8);
  EXPECT_EQ(ReadAllLines(d, "a\nb;c", u';'), (V{u"a\nb", u";c"}));
  EXPECT_EQ(d.LineBreak(), u"\n");
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
      // Each piece holds one delimiter at most, at its start (the first may lack it).
      ASSERT_EQ(piece.find(u'<', 1), String::npos);
      ASSERT_TRUE(joined.empty() || piece.front() == u'<');
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

  // The position counts in the line being read; the bad line is consumed.
  auto m = MemOf("first\r\nab\xC3(\r\nlast");
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  f.Open(m.get(), false);
  String s;
  f.ReadLine(0, s);
  try {
    f.ReadLine(0, s);
    ADD_FAILURE() << "no error";
  } catch (const EUft8Exception& e) {
    EXPECT_EQ(e.Position, 4);
  }
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"last");
}

TEST(TextFilePeek, PeekDoesNotConsume) {
  TKyTextFile f;
  auto m = MemOf(Utf16(u"\uFEFFab", false));
  f.Open(m.get(), false);
  EXPECT_EQ(f.PeekChar(1), u'b');  // the first fill detects UTF-16 before decoding
  EXPECT_EQ(f.PeekChar(2), 0);
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"ab");
  EXPECT_TRUE(f.Eof());
  EXPECT_FALSE(f.ReadLine(0, s));
  // UTF-16 units of UTF-8 input, and a look-ahead that needs a buffer fill.
  f.SetEncoding(TKyTextFile::ekUtf8);
  RawBytes bytes = "\xC3\xA9\xF0\x9F\x98\x80" + RawBytes(300, 'q');
  bytes[290] = 'Z';
  auto u = MemOf(bytes);
  f.Open(u.get(), false);
  EXPECT_EQ(String({f.PeekChar(0), f.PeekChar(1), f.PeekChar(2), f.PeekChar(3)}), u"\u00E9\U0001F600q");
  ASSERT_TRUE(f.ReadLine(u'Z', s));
  EXPECT_EQ(f.PeekChar(0), u'Z');
  EXPECT_EQ(f.PeekChar(15), u'q');
  EXPECT_EQ(f.PeekChar(16), 0);
}

TEST(TextFilePeek, SkipCharAndBytePosition) {
  // UTF-8 with a mark: multi-byte characters are skipped whole; the position counts bytes.
  for (bool owned : {false, true}) {
    TKyTextFile f;
    f.SetEncoding(TKyTextFile::ekUtf8);
    RawBytes bytes = "\xEF\xBB\xBF\xC3\xA9>" + RawBytes(70000, 'x') + "\r\ny";
    auto m = MemOf(bytes);
    f.Open(owned ? m.release() : m.get(), owned);
    EXPECT_FALSE(f.SkipChar(u'>'));
    EXPECT_EQ(f.BytePosition(), 3);
    EXPECT_TRUE(f.SkipChar(u'\u00E9'));
    EXPECT_EQ(f.BytePosition(), 5);
    EXPECT_TRUE(f.SkipChar(u'>'));
    String s;
    ASSERT_TRUE(f.ReadLine(u'\r', s));
    EXPECT_EQ(s.size(), 70000u);
    EXPECT_EQ(f.BytePosition(), 70006);
    EXPECT_TRUE(f.SkipChar(u'\r'));
    EXPECT_TRUE(f.SkipChar(u'\n'));
    EXPECT_EQ(f.LineBreaks, TKyTextFile::lbCR | TKyTextFile::lbLF);
    EXPECT_TRUE(f.SkipChar(u'y'));
    EXPECT_EQ(f.BytePosition(), static_cast<std::int64_t>(bytes.size()));
    EXPECT_FALSE(f.SkipChar(0));  // nothing left, even for the end marker of PeekChar
    EXPECT_TRUE(f.Eof());
  }
  // UTF-16 takes two bytes per character.
  TKyTextFile f;
  auto m = MemOf(Utf16(u"<ab", true));
  f.Open(m.get(), false);
  EXPECT_TRUE(f.SkipChar(u'<'));
  EXPECT_EQ(f.BytePosition(), 2);
  String s;
  ASSERT_TRUE(f.ReadLine(0, s));
  EXPECT_EQ(s, u"ab");
}

TEST(TextFileEncoding, NamesAndTheirEffect) {
  TKyTextFile f;
  f.CodePage = 1250;
  f.SetEncodingName(u"UTF-8");
  EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf8);
  EXPECT_EQ(f.CodePage, 0);
  // The generic names keep a byte order that is already known.
  for (const char16_t* generic : {u"UTF-16", u"ucs-2", u"iso-10646-ucs-2"}) {
    f.SetEncoding(TKyTextFile::ekUtf16BE);
    f.SetEncodingName(generic);
    EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf16BE) << StringToUtf8(generic);
    f.SetEncoding(TKyTextFile::ekUtf8);
    f.SetEncodingName(generic);
    EXPECT_EQ(f.Encoding, TKyTextFile::ekUtf16LE) << StringToUtf8(generic);
  }
  f.SetEncodingName(u"unicodefffe");
  EXPECT_EQ(f.EncodingName() + u" " + f.EncodingDisplayName(), u"UTF-16 unicodeFFFE");
  f.SetEncodingName(u"Unicode-Escape");
  f.SetEncodingName(u"no-such-encoding");  // changes nothing
  EXPECT_EQ(f.Encoding, TKyTextFile::ekCodePage);
  EXPECT_TRUE(f.EscapeMode);
  f.CodePage = 0;
  EXPECT_EQ(f.EncodingDisplayName(), u"windows-1252");
  f.SetEncodingName(u"MS_Kanji");
  EXPECT_FALSE(f.EscapeMode);
  EXPECT_EQ(f.CodePage, 932);
  EXPECT_EQ(f.EncodingName(), u"shift_jis");
  f.SetEncodingName(u"ISO8859_1");
  EXPECT_EQ(f.EncodingDisplayName(), u"iso-8859-1");
}

class TextFileWrite : public testing::Test {
 protected:
  RawBytes WriteLineAs(Byte encoding, bool bom, StringView text) {
    TKyTextFile f;
    f.SetEncoding(encoding);
    f.WriteBom = bom;
    f.Rewrite(Name);
    f.WriteLine(text);
    f.Close();
    return ReadAll(Name);
  }
  TTempDir Dir;
  String Name = Dir.File(u"out.txt");
};

TEST_F(TextFileWrite, EachEncodingWithAndWithoutMark) {
  const String text = u"a\u00E9\U0001F600";
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekUtf8, true, text), "\xEF\xBB\xBF" "a\xC3\xA9\xF0\x9F\x98\x80\r\n");
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekUtf8, false, text), "a\xC3\xA9\xF0\x9F\x98\x80\r\n");
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekUtf16LE, true, text), Utf16(u"\uFEFF" + text + u"\r\n", false));
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekUtf16BE, true, text), Utf16(u"\uFEFF" + text + u"\r\n", true));
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekUtf16BE, false, text), Utf16(text + u"\r\n", true));
  EXPECT_EQ(WriteLineAs(TKyTextFile::ekCodePage, true, u"\u00E9"), "\xE9\r\n");  // no mark for code pages

  TKyTextFile f;
  f.SetEncodingName(u"unicode-escape");
  f.Rewrite(Name);
  f.Write(u"x\u00E9\u20AC\U0001F600\\u");
  f.Close();
  EXPECT_EQ(ReadAll(Name), "x\\u00e9\\u20ac\\ud83d\\ude00\\u");
}

TEST_F(TextFileWrite, LineBreaksReadAreWrittenBack) {
  WriteAll(Name, "one\ntwo\n");
  TKyTextFile f;
  f.SetEncoding(TKyTextFile::ekUtf8);
  f.OpenRead(Name);
  std::vector<String> lines;
  String s;
  while (f.ReadLine(0, s)) lines.push_back(s);
  f.Rewrite(Name);
  for (const String& l : lines) f.WriteLine(l);
  f.Close();
  EXPECT_EQ(ReadAll(Name), "\xEF\xBB\xBFone\ntwo\n");
}

TEST_F(TextFileWrite, CommitReplacesTargetOnlyAtClose) {
  String name = Dir.File(u"new") + PathDelimiter() + u"deeper" + PathDelimiter() + u"t.txt";
  TKyTextFile f;
  f.Rewrite(name);
  String temp = f.TempFileName;
  EXPECT_TRUE(StartsText(u"txt", ExtractFileName(temp)));
  f.Write(u"first");
  EXPECT_FALSE(FileExists(name));
  // A second Rewrite commits the first output (creating the folders) before starting anew;
  // so does opening another stream.
  f.Rewrite(name);
  EXPECT_EQ(ReadAll(name), "first");
  EXPECT_FALSE(FileExists(temp));
  f.Write(String(200000, u'k'));
  EXPECT_EQ(ReadAll(name), "first");
  TMemoryStream other;
  f.Open(&other, false);
  EXPECT_EQ(GetFileSize(name), 200000);
  EXPECT_TRUE(f.TempFileName.empty());
}

TEST_F(TextFileWrite, BackupExtension) {
  String name = Dir.File(u"doc.xml");
  WriteAll(name, "old");
  TKyTextFile f;
  f.BackupExtension = u"bak";
  for (const String& target : {name, Dir.File(u"fresh.xml")}) {
    f.Rewrite(target);
    f.Write(u"new");
    f.Close();
  }
  EXPECT_EQ(ReadAll(Dir.File(u"doc.bak")), "old");
  EXPECT_EQ(ReadAll(name), "new");
  EXPECT_FALSE(FileExists(Dir.File(u"fresh.bak")));  // nothing to back up
}

TEST_F(TextFileWrite, RefusedTargetsStayUnchanged) {
  WriteAll(Name, "keep");
  ASSERT_TRUE(SetFileReadOnly(Name, true));
  TKyTextFile f;
  f.Rewrite(Name);
  String temp = f.TempFileName;
  f.Write(u"lost");
  try {
    f.Close();
    ADD_FAILURE() << "no error";
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Could not create the file \"" + Name + u"\" because it is read-only");
  }
  EXPECT_EQ(ReadAll(Name), "keep");
  EXPECT_FALSE(FileExists(temp));
  SetFileReadOnly(Name, false);

  // A text that the code page cannot take ends the output; the target keeps its text.
  f.Rewrite(Name);
  temp = f.TempFileName;
  f.Write(u"part");
  f.CodePage = 12345;
  EXPECT_THROW(f.Write(u"more"), EKyException);
  EXPECT_FALSE(FileExists(temp));
  f.Close();
  EXPECT_EQ(ReadAll(Name), "keep");
  f.CodePage = 0;

  // An output without a file name goes nowhere and leaves no temporary file.
  TKyTextFile nameless;
  nameless.Rewrite();
  temp = nameless.TempFileName;
  nameless.Write(u"x");
  nameless.Close();
  EXPECT_FALSE(FileExists(temp));

  // A target whose folder cannot be created below a plain file: the output is dropped, and
  // nothing stays pending for a later Close to commit.
  String name = Name + PathDelimiter() + u"t.txt";
  f.Rewrite(name);
  temp = f.TempFileName;
  f.Write(u"data");
  try {
    f.Close();
    ADD_FAILURE() << "no error";
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"Could not copy the temporary \"" + temp + u"\" file to the target file \"" + name + u"\"");
  }
  EXPECT_FALSE(FileExists(temp));
  EXPECT_TRUE(f.FileName.empty());
  EXPECT_TRUE(f.TempFileName.empty());
  TMemoryStream other;
  f.Open(&other, false);
  f.Close();
  EXPECT_EQ(ReadAll(Name), "keep");
}
