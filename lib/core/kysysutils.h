// General string, number and path helpers of the runtime.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "lib/core/kytypes.h"

// UTF-8 <-> UTF-16. The lenient decoder turns bytes that are not UTF-8 into U+FFFD;
// strict decoding with positions lives in the text file.
String Utf8ToString(std::string_view utf8);
std::string StringToUtf8(StringView text);
// Appends the UTF-8 form of Text (a lone surrogate as U+FFFD).
void AppendUtf8(std::string& out, StringView text);
// ASCII-only literal conversion, for names and formats in code.
String AsciiToString(std::string_view ascii);

// Case mapping through the platform (CharUpperBuffW / towupper), one UTF-16 unit at a time.
Char UpCaseChar(Char c);
Char LowCaseChar(Char c);
String UpperCase(StringView s);
String LowerCase(StringView s);
// Ordinal comparison after upper-casing both sides: negative, 0 or positive.
int CompareText(StringView a, StringView b);
bool SameText(StringView a, StringView b);
bool StartsText(StringView prefix, StringView s);
bool EndsText(StringView suffix, StringView s);
int CompareStr(StringView a, StringView b);

String IntToStr(std::int64_t value);
String UIntToStr(std::uint64_t value);
// Upper-case hexadecimal, at least Digits digits.
String IntToHex(std::uint64_t value, int digits);
// Decimal, or hexadecimal with "$" or "0x"; leading and trailing blanks are not allowed.
std::optional<std::int64_t> TryStrToInt64(StringView s);
std::optional<int> TryStrToInt(StringView s);
int StrToInt(StringView s);            // EConvertError "'%s' is not a valid integer value"
std::int64_t StrToInt64(StringView s);
int StrToIntDef(StringView s, int def);

// Returns s without leading and trailing characters up to the space (<= U+0020).
String TrimBlanks(StringView s);

// Path helpers: "\" and "/" separate folders, ":" ends a drive.
bool IsPathDelimiter(Char c);
String IncludeTrailingBackslash(StringView path);
String ExcludeTrailingBackslash(StringView path);
bool IsRelativePath(StringView path);
String ExtractFilePath(StringView fileName);   // with the trailing delimiter
String ExtractFileDir(StringView fileName);    // without it
String ExtractFileName(StringView fileName);
String ExtractFileExt(StringView fileName);    // with the dot
String ChangeFileExt(StringView fileName, StringView ext);
String ExtractFileDrive(StringView fileName);

// Replaces every occurrence of From by To.
String StringReplaceAll(StringView s, StringView from, StringView to);
// Position of Sub in S, 0-based, or npos.
size_t PosText(StringView sub, StringView s);
