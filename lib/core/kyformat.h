// Format: "%" [index ":"] ["-"] [width] ["." precision] type, with the types
// d u x e f g n m s p and "%%". Width and precision may be "*" (taken from the
// arguments). A mismatch between a type and its argument raises EConvertError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "lib/core/kytypes.h"
#include "lib/core/resstring.h"

struct TFormatSettings {
  Char DecimalSeparator = u'.';
  Char ThousandSeparator = u',';
  String CurrencyString = u"$";
  Byte CurrencyFormat = 0;   // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  Byte NegCurrFormat = 0;    // 0..15 as the Windows locale defines LOCALE_INEGCURR
  Byte CurrencyDecimals = 2;
  // Dates and times, in the patterns of the locale (d m y, h n s, AMPM).
  Char DateSeparator = u'/';
  Char TimeSeparator = u':';
  Char ListSeparator = u',';
  String ShortDateFormat = u"M/d/yyyy";
  String LongDateFormat = u"dddd, MMMM d, yyyy";
  String ShortTimeFormat = u"h:mm AMPM";
  String LongTimeFormat = u"h:mm:ss AMPM";
  String TimeAMString = u"AM";
  String TimePMString = u"PM";
  String ShortMonthNames[12] = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                                u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  String LongMonthNames[12] = {u"January", u"February", u"March", u"April", u"May", u"June",
                               u"July", u"August", u"September", u"October", u"November", u"December"};
  String ShortDayNames[7] = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};  // Sunday first
  String LongDayNames[7] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
  Byte FirstDayOfWeek = 0;
  Byte FirstWeekOfYear = 0;
};

// Process-wide settings, in step with the active language (English defaults at start).
extern TFormatSettings FormatSettings;

class TFormatArg {
 public:
  enum class Kind { Int, UInt, Float, Str, Pointer };
  TFormatArg(int v) : Kind_(Kind::Int), Int_(v), Is32_(true) {}
  TFormatArg(long v) : Kind_(Kind::Int), Int_(v), Is32_(sizeof(long) == 4) {}
  TFormatArg(long long v) : Kind_(Kind::Int), Int_(v) {}
  TFormatArg(unsigned v) : Kind_(Kind::UInt), UInt_(v), Is32_(true) {}
  TFormatArg(unsigned long v) : Kind_(Kind::UInt), UInt_(v), Is32_(sizeof(long) == 4) {}
  TFormatArg(unsigned long long v) : Kind_(Kind::UInt), UInt_(v) {}
  TFormatArg(double v) : Kind_(Kind::Float), Float_(v) {}
  TFormatArg(const String& v) : Kind_(Kind::Str), Str_(v) {}
  TFormatArg(StringView v) : Kind_(Kind::Str), Str_(v) {}
  TFormatArg(const Char* v) : Kind_(Kind::Str), Str_(v ? StringView(v) : StringView()) {}
  TFormatArg(const void* v) : Kind_(Kind::Pointer), UInt_(reinterpret_cast<std::uintptr_t>(v)) {}
  TFormatArg(bool) = delete;  // almost always a mistake
  TFormatArg(char) = delete;

  Kind GetKind() const { return Kind_; }
  std::int64_t Int() const { return Int_; }
  std::uint64_t UInt() const { return UInt_; }
  double Float() const { return Float_; }
  StringView Str() const { return Str_; }
  bool Is32() const { return Is32_; }

 private:
  Kind Kind_;
  std::int64_t Int_ = 0;
  std::uint64_t UInt_ = 0;
  double Float_ = 0;
  StringView Str_;
  bool Is32_ = false;
};

using TFormatArgs = std::initializer_list<TFormatArg>;

String Format(StringView format, TFormatArgs args);
String Format(StringView format, TFormatArgs args, const TFormatSettings& settings);
// A resource string as the format.
String Format(const TResString& format, TFormatArgs args);

// Floating point to text as Format's types do (fixed, exponent, general, number).
enum class TFloatFormat { General, Exponent, Fixed, Number, Currency };
String FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                   const TFormatSettings& settings = FormatSettings);
// The shortest general form with 15 significant digits.
String FloatToStr(double value, const TFormatSettings& settings = FormatSettings);
// Text to number with the settings' decimal separator; EConvertError when not a number.
double StrToFloat(StringView s, const TFormatSettings& settings = FormatSettings);
bool TryStrToFloat(StringView s, double& value, const TFormatSettings& settings = FormatSettings);
