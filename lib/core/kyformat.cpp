#include "lib/core/kyformat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <limits>

#include "lib/core/kyexceptions.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

TFormatSettings FormatSettings;

namespace {

[[noreturn]] void InvalidFormat(StringView format) {
  throw EConvertError(Format(LoadResString(SInvalidFormat), {format}));
}

// A non-negative value as decimal digits: value = 0.D1D2D3... * 10^Exp. The runtime
// rounds decimal digits half away from zero, so 2.25 with one decimal is 2.3.
struct TDecimal {
  std::string Digits;  // no leading zeros; empty for zero
  int Exp = 0;
};

TDecimal ToDecimal(double v) {
  TDecimal d;
  if (v == 0) return d;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17e", v);  // 18 significant digits
  const char* e = std::strchr(buf, 'e');
  for (const char* p = buf; p < e; ++p) {
    if (*p >= '0' && *p <= '9') d.Digits += *p;
  }
  d.Exp = std::atoi(e + 1) + 1;
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  return d;
}

// Keeps Keep digits, rounding half away from zero.
void RoundTo(TDecimal& d, int keep) {
  if (keep >= static_cast<int>(d.Digits.size())) return;
  if (keep < 0) {
    d.Digits.clear();
    return;
  }
  bool up = d.Digits[static_cast<size_t>(keep)] >= '5';
  d.Digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.Digits[static_cast<size_t>(i)] == '9') d.Digits[static_cast<size_t>(i--)] = '0';
    if (i < 0) {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Exp;
    } else {
      ++d.Digits[static_cast<size_t>(i)];
    }
  }
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
  if (d.Digits.empty()) d.Exp = 0;
}

char DigitAt(const TDecimal& d, int i) {
  return i >= 0 && i < static_cast<int>(d.Digits.size()) ? d.Digits[static_cast<size_t>(i)] : '0';
}

String Group(const std::string& intPart, Char separator) {
  String out;
  size_t n = intPart.size();
  for (size_t i = 0; i < n; ++i) {
    out += static_cast<Char>(intPart[i]);
    size_t left = n - 1 - i;
    if (left > 0 && left % 3 == 0 && separator != 0) out += separator;
  }
  return out;
}

String FixedText(double v, int decimals, bool grouped, const TFormatSettings& fs) {
  if (decimals > 18) decimals = 18;
  TDecimal d = ToDecimal(v);
  RoundTo(d, d.Exp + decimals);
  std::string ip;
  for (int i = 0; i < d.Exp; ++i) ip += DigitAt(d, i);
  if (ip.empty()) ip = "0";
  String out = grouped ? Group(ip, fs.ThousandSeparator) : AsciiToString(ip);
  if (decimals > 0) {
    out += fs.DecimalSeparator;
    for (int i = 0; i < decimals; ++i) out += static_cast<Char>(DigitAt(d, d.Exp + i));
  }
  return out;
}

String ExponentText(double v, int precision, int minExpDigits, bool plusSign,
                    const TFormatSettings& fs, bool stripZeros) {
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  TDecimal d = ToDecimal(v);
  RoundTo(d, precision);
  int exp = d.Digits.empty() ? 0 : d.Exp - 1;
  int count = stripZeros ? std::max<int>(1, static_cast<int>(d.Digits.size())) : precision;
  String out(1, static_cast<Char>(DigitAt(d, 0)));
  if (count > 1) {
    out += fs.DecimalSeparator;
    for (int i = 1; i < count; ++i) out += static_cast<Char>(DigitAt(d, i));
  }
  out += u'E';
  if (exp < 0) {
    out += u'-';
  } else if (plusSign) {
    out += u'+';
  }
  String e = UIntToStr(static_cast<std::uint64_t>(exp < 0 ? -exp : exp));
  while (static_cast<int>(e.size()) < minExpDigits) e.insert(e.begin(), u'0');
  return out + e;
}

String GeneralText(double v, int precision, const TFormatSettings& fs) {
  if (precision <= 0 || precision > 18) precision = 15;
  TDecimal d = ToDecimal(v);
  RoundTo(d, precision);
  if (d.Digits.empty()) return u"0";
  // Fixed notation while the integer digits fit the precision and the value is not tiny.
  if (d.Exp <= precision && d.Exp >= -4) {
    String out;
    if (d.Exp <= 0) {
      out = u"0";
    } else {
      for (int i = 0; i < d.Exp; ++i) out += static_cast<Char>(DigitAt(d, i));
    }
    int frac = static_cast<int>(d.Digits.size()) - std::max(d.Exp, 0);
    if (frac > 0) {
      out += fs.DecimalSeparator;
      for (int i = d.Exp; i < 0; ++i) out += u'0';
      for (int i = std::max(d.Exp, 0); i < static_cast<int>(d.Digits.size()); ++i) {
        out += static_cast<Char>(d.Digits[static_cast<size_t>(i)]);
      }
    }
    return out;
  }
  return ExponentText(v, precision, 0, false, fs, true);
}

String CurrencyText(double v, int decimals, const TFormatSettings& fs) {
  bool negative = std::signbit(v) && v != 0;
  String n = FixedText(std::fabs(v), decimals, true, fs);
  const String& c = fs.CurrencyString;
  if (!negative) {
    switch (fs.CurrencyFormat) {
      case 1: return n + c;
      case 2: return c + u" " + n;
      case 3: return n + u" " + c;
      default: return c + n;
    }
  }
  switch (fs.NegCurrFormat) {
    case 1: return u"-" + c + n;
    case 2: return c + u"-" + n;
    case 3: return c + n + u"-";
    case 4: return u"(" + n + c + u")";
    case 5: return u"-" + n + c;
    case 6: return n + u"-" + c;
    case 7: return n + c + u"-";
    case 8: return u"-" + n + u" " + c;
    case 9: return u"-" + c + u" " + n;
    case 10: return n + u" " + c + u"-";
    case 11: return c + u" " + n + u"-";
    case 12: return c + u" -" + n;
    case 13: return n + u"- " + c;
    case 14: return u"(" + c + u" " + n + u")";
    case 15: return u"(" + n + u" " + c + u")";
    default: return u"(" + c + n + u")";
  }
}

String NonFinite(double v) {
  if (std::isnan(v)) return u"NAN";
  return v < 0 ? u"-INF" : u"INF";
}

}  // namespace

String FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                   const TFormatSettings& fs) {
  if (!std::isfinite(value)) return NonFinite(value);
  if (format == TFloatFormat::Currency) return CurrencyText(value, digits, fs);
  bool negative = std::signbit(value) && value != 0;
  double a = std::fabs(value);
  String body;
  switch (format) {
    case TFloatFormat::General: body = GeneralText(a, precision, fs); break;
    case TFloatFormat::Exponent:
      body = ExponentText(a, precision <= 0 ? 15 : precision, digits, true, fs, false);
      break;
    case TFloatFormat::Fixed: body = FixedText(a, digits, false, fs); break;
    case TFloatFormat::Number: body = FixedText(a, digits, true, fs); break;
    case TFloatFormat::Currency: break;
  }
  // A value that rounds to zero is shown without a sign.
  if (negative && body.find_first_of(u"123456789") != String::npos) body.insert(body.begin(), u'-');
  return body;
}

String FloatToStr(double value, const TFormatSettings& settings) {
  return FloatToStrF(value, TFloatFormat::General, 15, 0, settings);
}

bool TryStrToFloat(StringView s, double& value, const TFormatSettings& fs) {
  String t = TrimBlanks(s);
  if (t.empty()) return false;
  std::string ascii;
  for (Char c : t) {
    if (c == fs.DecimalSeparator) {
      ascii += '.';
    } else if ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'e' || c == u'E') {
      ascii += static_cast<char>(c);
    } else {
      return false;
    }
  }
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(ascii.c_str(), &end);
  if (end != ascii.c_str() + ascii.size() || errno == ERANGE) return false;
  value = v;
  return true;
}

double StrToFloat(StringView s, const TFormatSettings& settings) {
  double v = 0;
  if (!TryStrToFloat(s, v, settings)) {
    throw EConvertError(Format(LoadResString(SInvalidFloat), {s}));
  }
  return v;
}

String Format(const TResString& format, TFormatArgs args) {
  return Format(LoadResString(format), args, FormatSettings);
}

String Format(StringView format, TFormatArgs args) { return Format(format, args, FormatSettings); }

String Format(StringView format, TFormatArgs args, const TFormatSettings& fs) {
  String out;
  out.reserve(format.size() + 16);
  const TFormatArg* argv = args.begin();
  const size_t argc = args.size();
  size_t next = 0;
  size_t i = 0;
  const size_t n = format.size();

  auto takeArg = [&]() -> const TFormatArg& {
    if (next >= argc) throw EConvertError(Format(LoadResString(SArgMissing), {format}, fs));
    return argv[next++];
  };
  auto readNumber = [&](int& value) -> bool {
    if (i < n && format[i] == u'*') {
      ++i;
      const TFormatArg& a = takeArg();
      if (a.GetKind() != TFormatArg::Kind::Int) InvalidFormat(format);
      value = static_cast<int>(a.Int());
      return true;
    }
    if (i >= n || format[i] < u'0' || format[i] > u'9') return false;
    long long v = 0;
    while (i < n && format[i] >= u'0' && format[i] <= u'9') {
      v = v * 10 + (format[i] - u'0');
      if (v > 100000) InvalidFormat(format);
      ++i;
    }
    value = static_cast<int>(v);
    return true;
  };

  while (i < n) {
    Char c = format[i++];
    if (c != u'%') {
      out += c;
      continue;
    }
    if (i >= n) InvalidFormat(format);
    if (format[i] == u'%') {
      out += u'%';
      ++i;
      continue;
    }
    bool left = false;
    int width = -1;
    int precision = -1;
    int number = -1;
    bool haveNumber = readNumber(number);
    if (haveNumber && i < n && format[i] == u':') {
      ++i;
      next = static_cast<size_t>(number);
      haveNumber = false;
      number = -1;
    }
    if (!haveNumber) {
      if (i < n && format[i] == u'-') {
        left = true;
        ++i;
      }
      if (readNumber(width)) {
      }
    } else {
      width = number;
    }
    if (i < n && format[i] == u'.') {
      ++i;
      if (!readNumber(precision)) precision = 0;
    }
    if (i >= n) InvalidFormat(format);
    Char type = format[i++];
    if (type >= u'a' && type <= u'z') type = static_cast<Char>(type - 32);
    const TFormatArg& a = takeArg();
    String text;
    using K = TFormatArg::Kind;
    auto asFloat = [&]() -> double {
      if (a.GetKind() != K::Float) InvalidFormat(format);
      return a.Float();
    };
    auto minDigits = [&](String digits) {
      if (precision > 0) {
        while (static_cast<int>(digits.size()) < precision) digits.insert(digits.begin(), u'0');
      }
      return digits;
    };
    switch (type) {
      case u'D': {
        if (a.GetKind() == K::Int) {
          std::int64_t v = a.Int();
          std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
          text = minDigits(UIntToStr(mag));
          if (v < 0) text.insert(text.begin(), u'-');
        } else if (a.GetKind() == K::UInt) {
          text = minDigits(UIntToStr(a.UInt()));
        } else {
          InvalidFormat(format);
        }
        break;
      }
      case u'U': {
        std::uint64_t v;
        if (a.GetKind() == K::Int) {
          v = a.Is32() ? static_cast<std::uint32_t>(a.Int()) : static_cast<std::uint64_t>(a.Int());
        } else if (a.GetKind() == K::UInt) {
          v = a.UInt();
        } else {
          InvalidFormat(format);
        }
        text = minDigits(UIntToStr(v));
        break;
      }
      case u'X': {
        std::uint64_t v;
        if (a.GetKind() == K::Int) {
          v = a.Is32() ? static_cast<std::uint32_t>(a.Int()) : static_cast<std::uint64_t>(a.Int());
        } else if (a.GetKind() == K::UInt) {
          v = a.UInt();
        } else {
          InvalidFormat(format);
        }
        text = IntToHex(v, precision > 0 ? precision : 1);
        break;
      }
      case u'E':
        text = FloatToStrF(asFloat(), TFloatFormat::Exponent, precision < 0 ? 15 : precision, 3, fs);
        break;
      case u'F':
        text = FloatToStrF(asFloat(), TFloatFormat::Fixed, 18, precision < 0 ? 2 : precision, fs);
        break;
      case u'G':
        text = FloatToStrF(asFloat(), TFloatFormat::General, precision < 0 ? 15 : precision, 3, fs);
        break;
      case u'N':
        text = FloatToStrF(asFloat(), TFloatFormat::Number, 18, precision < 0 ? 2 : precision, fs);
        break;
      case u'M':
        text = FloatToStrF(asFloat(), TFloatFormat::Currency, 18,
                           precision < 0 ? fs.CurrencyDecimals : precision, fs);
        break;
      case u'S': {
        if (a.GetKind() != K::Str) InvalidFormat(format);
        StringView s = a.Str();
        if (precision >= 0 && static_cast<size_t>(precision) < s.size()) s = s.substr(0, precision);
        text.assign(s);
        break;
      }
      case u'P':
        if (a.GetKind() != K::Pointer) InvalidFormat(format);
        text = IntToHex(a.UInt(), 16);
        break;
      default:
        InvalidFormat(format);
    }
    if (width > 0 && static_cast<int>(text.size()) < width) {
      String pad(static_cast<size_t>(width) - text.size(), u' ');
      text = left ? text + pad : pad + text;
    }
    out += text;
  }
  return out;
}
