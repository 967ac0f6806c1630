// Runtime support: Format, conversions, streams, string list, date-time.
#include <gtest/gtest.h>

#include "lib/core/kydatetime.h"
#include "lib/core/kyexceptions.h"
#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystreams.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"
#include "tests/core/testutil.h"

TEST(Format, IntegersWidthPrecisionAndIndex) {
  EXPECT_EQ(Format(u"%d items", {42}), u"42 items");
  EXPECT_EQ(Format(u"[%5d|%-5d]", {7, 7}), u"[    7|7    ]");
  EXPECT_EQ(Format(u"%.4d", {-12}), u"-0012");
  EXPECT_EQ(Format(u"%x %.4x", {255, 10}), u"FF 000A");
  EXPECT_EQ(Format(u"%x", {-1}), u"FFFFFFFF");
  EXPECT_EQ(Format(u"%u", {-1}), u"4294967295");
  EXPECT_EQ(Format(u"%d", {static_cast<long long>(-9223372036854775807LL - 1)}), u"-9223372036854775808");
  // An index moves the argument pointer; later specifiers continue from there.
  EXPECT_EQ(Format(u"%1:s %0:s %s", {u"a", u"b"}), u"b a b");
  EXPECT_EQ(Format(u"%*d", {4, 3}), u"   3");
  EXPECT_EQ(Format(u"100%%", {}), u"100%");
}

TEST(Format, Strings) {
  EXPECT_EQ(Format(u"Could not copy \"%0:s\" to \"%1:s\"", {u"a", u"b"}), u"Could not copy \"a\" to \"b\"");
  EXPECT_EQ(Format(u"%.2s|%3s", {u"abcdef", u"x"}), u"ab|  x");
  EXPECT_EQ(Format(u"%s %d", {String(u"Tramvelon"), 4}), u"Tramvelon 4");
}

TEST(Format, Floats) {
  EXPECT_EQ(Format(u"%0.1f", {2.25}), u"2.3");  // half away from zero, not to even
  EXPECT_EQ(Format(u"%0.1f", {0.96}), u"1.0");
  EXPECT_EQ(Format(u"%.0f", {99.5}), u"100");
  EXPECT_EQ(Format(u"%f", {1.0}), u"1.00");
  EXPECT_EQ(Format(u"%.3f", {-0.0001}), u"0.000");
  EXPECT_EQ(Format(u"%e", {1.5}), u"1.50000000000000E+000");
  EXPECT_EQ(Format(u"%.3e", {-12345.0}), u"-1.23E+004");
  EXPECT_EQ(Format(u"%g", {1.5}), u"1.5");
  EXPECT_EQ(Format(u"%g", {1e20}), u"1E20");
  EXPECT_EQ(Format(u"%g", {0.000001}), u"1E-6");
  EXPECT_EQ(Format(u"%g", {100.0}), u"100");
  EXPECT_EQ(Format(u"%n", {1234567.891}), u"1,234,567.89");
  EXPECT_EQ(Format(u"%m", {-5.0}), u"($5.00)");
  TFormatSettings de;
  de.DecimalSeparator = u',';
  de.ThousandSeparator = u'.';
  de.CurrencyString = u"\u20AC";
  de.CurrencyFormat = 3;
  EXPECT_EQ(Format(u"%n %m", {1234.5, 1234.5}, de), u"1.234,50 1.234,50 \u20AC");
}

TEST(Format, MismatchRaisesConvertError) {
  EXPECT_THROW(Format(u"%d", {u"text"}), EConvertError);
  EXPECT_THROW(Format(u"%s", {3}), EConvertError);
  EXPECT_THROW(Format(u"%f", {3}), EConvertError);
  EXPECT_THROW(Format(u"%d %d", {3}), EConvertError);
  EXPECT_THROW(Format(u"%q", {3}), EConvertError);
  EXPECT_THROW(Format(u"50%", {}), EConvertError);
  try {
    Format(u"%d", {u"x"});
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"Format '%d' invalid or incompatible with argument");
  }
}

TEST(Conversions, Utf8RoundTripAndLenientDecoding) {
  String s = u"a\u00E9\u4E2D\U0001F600";
  EXPECT_EQ(StringToUtf8(s), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToString(StringToUtf8(s)), s);
  EXPECT_EQ(Utf8ToString("a\xC3(b"), u"a\uFFFD(b");
  EXPECT_EQ(Utf8ToString("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate
  EXPECT_EQ(StringToUtf8(String(1, u'\xD800')), "\xEF\xBF\xBD");
}

TEST(Conversions, Integers) {
  EXPECT_EQ(StrToInt(u"-17"), -17);
  EXPECT_EQ(StrToInt(u"$1F"), 31);
  EXPECT_EQ(StrToInt(u"0x10"), 16);
  EXPECT_EQ(StrToIntDef(u"12a", -1), -1);
  EXPECT_EQ(StrToIntDef(u"", -1), -1);
  EXPECT_EQ(StrToIntDef(u"2147483648", -1), -1);
  EXPECT_EQ(StrToInt64(u"-9223372036854775808"), INT64_MIN);
  EXPECT_THROW(StrToInt64(u"9223372036854775808"), EConvertError);
  try {
    StrToInt(u"x1");
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'x1' is not a valid integer value");
  }
  EXPECT_EQ(IntToStr(INT64_MIN), u"-9223372036854775808");
  EXPECT_DOUBLE_EQ(StrToFloat(u"2.5"), 2.5);
  EXPECT_THROW(StrToFloat(u"2,5"), EConvertError);
}

TEST(Conversions, CaseAndComparison) {
  EXPECT_EQ(UpperCase(u"tram\u00E9"), u"TRAM\u00C9");
  EXPECT_TRUE(SameText(u"TRAMVELON.EXE", u"Tramvelon.exe"));
  EXPECT_LT(CompareText(u"abc", u"ABD"), 0);
  EXPECT_GT(CompareText(u"abcd", u"ABC"), 0);
}

TEST(Paths, Helpers) {
  EXPECT_EQ(IncludeTrailingBackslash(u""), u"");
  EXPECT_EQ(IncludeTrailingBackslash(u"C:\\A"), u"C:\\A\\");
  EXPECT_EQ(IncludeTrailingBackslash(u"C:\\A\\"), u"C:\\A\\");
  EXPECT_TRUE(IsRelativePath(u"a\\b"));
  EXPECT_FALSE(IsRelativePath(u""));
  EXPECT_FALSE(IsRelativePath(u"\\a"));
  EXPECT_FALSE(IsRelativePath(u"C:a"));
  EXPECT_EQ(ExtractFilePath(u"C:\\D\\x.txt"), u"C:\\D\\");
  EXPECT_EQ(ExtractFileDir(u"C:\\D\\x.txt"), u"C:\\D");
  EXPECT_EQ(ExtractFileDir(u"C:\\x.txt"), u"C:\\");
  EXPECT_EQ(ExtractFileName(u"C:\\D\\x.txt"), u"x.txt");
  EXPECT_EQ(ExtractFileExt(u"C:\\D.v\\x"), u"");
  EXPECT_EQ(ChangeFileExt(u"C:\\D\\Tram.exe", u".DEU"), u"C:\\D\\Tram.DEU");
  EXPECT_EQ(ExtractFileDrive(u"\\\\srv\\share\\x"), u"\\\\srv\\share");
}

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  m.SetPosition(1);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 4u);
  EXPECT_STREQ(buf, "ello");
  m.Seek(-2, TSeekOrigin::End);
  m.WriteBuffer("LOW", 3);
  EXPECT_EQ(m.Bytes(), "helLOW");
  m.SetPosition(0);
  EXPECT_THROW(m.ReadBuffer(buf, 7), EReadError);
}

TEST(Streams, ReadOnlyMemoryStreamRefusesWrites) {
  static const char data[] = "abc";
  TReadOnlyMemoryStream s(data, 3);
  char c;
  s.Seek(2, TSeekOrigin::Begin);
  s.ReadBuffer(&c, 1);
  EXPECT_EQ(c, 'c');
  EXPECT_EQ(s.Read(&c, 1), 0u);
  EXPECT_THROW(s.WriteBuffer("x", 1), EStreamError);
}

TEST(Streams, FileStreamCreateReadAndErrors) {
  TTempDir dir;
  String name = dir.File(u"f\u00E9.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("12345", 5);
    f.SetSize(3);
  }
  EXPECT_EQ(GetFileSize(name), 3);
  TFileStream r(name, fmOpenRead | fmShareDenyNone);
  EXPECT_EQ(r.Size(), 3);
  TMemoryStream m;
  m.CopyFrom(r, 0);
  EXPECT_EQ(m.Bytes(), "123");
  try {
    TFileStream missing(dir.File(u"missing.txt"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(u"missing.txt"), String::npos);
  }
}

// A range of a file read as a whole: reads stop at its end, seeks count from its start, even
// when the file goes on, and a read after a seek comes from the right place.
TEST(Streams, FileRangeStreamIsAWindowOfItsFile) {
  TTempDir dir;
  String name = dir.File(u"whole.bin");
  WriteAll(name, "0123456789abcdefghij");
  TFileRangeStream r(name, 5, 10);
  EXPECT_EQ(r.Size(), 10);
  char buf[16] = {};
  EXPECT_EQ(r.Read(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "5678");
  EXPECT_EQ(r.Read(buf, 16), 6u);
  EXPECT_EQ(std::string(buf, 6), "9abcde");
  EXPECT_EQ(r.Read(buf, 1), 0u);
  r.Seek(-3, TSeekOrigin::End);
  r.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "cde");
  r.SetPosition(1);
  r.ReadBuffer(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "67");
  EXPECT_THROW(r.WriteBuffer("x", 1), EStreamError);
  EXPECT_THROW(TFileRangeStream(dir.File(u"missing.bin"), 0, 1), EFOpenError);
}

TEST(StringList, AddFindSortAndObjects) {
  TStringList l;
  int a = 1, b = 2;
  l.AddObject(u"Beta", &b);
  l.AddObject(u"alpha", &a);
  l.Add(u"Gamma");
  EXPECT_EQ(l.IndexOf(u"ALPHA"), 1);
  EXPECT_EQ(l.Objects(l.IndexOf(u"beta")), &b);
  l.Sort();
  EXPECT_EQ(l[0], u"alpha");
  EXPECT_EQ(l[2], u"Gamma");
  l.SetSorted(true);
  EXPECT_EQ(l.Add(u"ALPHA"), 0);  // duplicates ignored by default
  EXPECT_EQ(l.Count(), 3);
  l.Duplicates = TDuplicates::Error;
  EXPECT_THROW(l.Add(u"gamma"), EListError);
  EXPECT_EQ(l.Add(u"delta"), 2);
  EXPECT_THROW(l.Insert(0, u"x"), EListError);
  try {
    (void)l[7];
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), u"List index out of bounds (7)");
  }
}

TEST(StringList, TextAndValues) {
  TStringList l;
  l.SetText(u"a=1\r\nb=2\nc\rd");
  EXPECT_EQ(l.Count(), 4);
  EXPECT_EQ(l.Values(u"B"), u"2");
  l.SetValue(u"c", u"3");
  EXPECT_EQ(l.Text(), u"a=1\r\nb=2\r\nc\r\nd\r\nc=3\r\n");
  l.SetValue(u"a", u"");
  EXPECT_EQ(l.IndexOfName(u"a"), -1);
}

TEST(DateTime, EncodeDecode) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
  TDateTime dt = EncodeDateTime({2024, 2, 29, 13, 45, 30, 250});
  TDateParts p = DecodeDateTime(dt);
  EXPECT_EQ(p.Year, 2024);
  EXPECT_EQ(p.Month, 2);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 13);
  EXPECT_EQ(p.Minute, 45);
  EXPECT_EQ(p.Second, 30);
  EXPECT_EQ(p.MilliSecond, 250);
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9)), 4);  // a Wednesday
  EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  // Every day of four centuries decodes to the date it was made from.
  for (TDateTime d = EncodeDate(1800, 1, 1); d < EncodeDate(2200, 1, 1); d += 1) {
    int y, m, dd;
    DecodeDate(d, y, m, dd);
    ASSERT_EQ(EncodeDate(y, m, dd), d);
  }
}

TEST(Exceptions, OsErrorCarriesTheSystemText) {
  try {
    RaiseOSError(2);
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode, 2u);
    EXPECT_EQ(e.Message().rfind(u"System Error.  Code: 2.\r\n", 0), 0u);
    EXPECT_GT(e.Message().size(), 26u);
  }
  try {
    RaiseRangeCheckError();
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), u"Range check error");
  }
}

TEST(ResourceStrings, BuiltInEnglishIsTheDefault) {
  EXPECT_EQ(LoadResString(SRangeError), u"Range check error");
  EXPECT_EQ(Format(SListIndexError, {3}), u"List index out of bounds (3)");
}
