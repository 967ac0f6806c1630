// String helpers of the library: whitespace classes, trimming, quoting, escape
// sequences, dot-separated numbers and code-page conversion.
#pragma once

#include <string>
#include <string_view>

#include "lib/core/kytypes.h"

// Whitespace of the library: TAB, LF, CR, space and the no-break space U+00A0.
bool IsSpace(Char c);              // TAB, space, U+00A0
bool IsWhitespace(Char c);         // IsSpace, LF or CR
bool IsWhitespace(char c);         // 8-bit: TAB, LF, CR, space
bool IsAllWhitespace(StringView s);  // true for an empty string
bool IsAllWhitespace(std::string_view s);
bool IsLetter(Char c);
bool IsLetterOrDigit(Char c);
bool IsDigit(Char c);              // "0" .. "9"
bool IsUpper(Char c);              // c equals its own upper-case form
bool IsLower(Char c);
// Lower-cases s, then upper-cases its first character.
String Capitalize(StringView s);
int CountChar(StringView s, Char c);
int CountChar(std::string_view s, char c);

// In place; each returns the result.
String TrimLeft(String& s);
String TrimRight(String& s);
String Trim(String& s);
RawBytes Trim(RawBytes& s);
// Remove the whitespace from s and return it.
String TakeLeadingWhitespace(String& s);
String TakeTrailingWhitespace(String& s);
// Removes and returns the characters up to the first whitespace; with trimAfter the
// whitespace that follows is dropped too.
String TakeWord(String& s, bool trimAfter);
// Removes and returns the first n characters (fewer when s is shorter).
String CutFirst(String& s, int n);

// quoteKind 1: apostrophe, 2: quotation mark. Drops the first quote of every doubled one.
String UnquoteDoubled(StringView s, int quoteKind);
RawBytes UnquoteDoubled(std::string_view s, int quoteKind);

// "##" "#", "#c" CR, "#l" LF, "#t" TAB, "#n" a line break of lineBreakKind (0 LF, 1 CR,
// 2 LF CR, 3 CR LF), "#" and two hex digits that character ("?" when not hex). The
// 8-bit form also knows "#0" for NUL. A "#" at the very end is dropped.
String DecodeEscapes(StringView s, int lineBreakKind);
RawBytes DecodeEscapes(std::string_view s, int lineBreakKind);

// "." as the decimal separator whatever the process-wide settings say.
double StrToFloatDot(StringView s);  // EConvertError when not a number
// digits -1: shortest general form; otherwise fixed with that many decimals. Empty on failure.
String FloatToStrDot(double x, int digits);

// The platform conversion of c to codePage succeeds without a default character.
bool CanEncode(Char c, int codePage);
// Each byte becomes the character of the same code.
String BytesToWide(std::string_view s);

// Code-page conversion with the multi-language service as fall-back; text with NULs is
// converted piecewise. WideToCodePage raises EKyException when nothing converts it;
// CodePageToWide gives an empty string on failure.
RawBytes WideToCodePage(StringView s, int codePage);
String CodePageToWide(std::string_view s, int codePage);

// The ANSI code page of the system (GetACP); natively 1252.
int GetSystemCodePage();
// IsDBCSLeadByteEx; natively emulated for 932, 936, 949 and 950 (false elsewhere).
bool IsLeadByteOf(int codePage, Byte b);
