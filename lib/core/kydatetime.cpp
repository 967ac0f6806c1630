#include "lib/core/kydatetime.h"

#include <cmath>

#include "lib/core/kyexceptions.h"
#include "resstrings.h"

namespace {
constexpr double kMsPerDay = 86400000.0;
// Days from 0001-01-01 (day 1) to 1899-12-31.
constexpr std::int64_t kDateDelta = 693594;

std::int64_t DaysFromCivil(int y, int m, int d) {  // days since 0001-01-01 (proleptic Gregorian)
  std::int64_t yy = y - 1;
  static const int kCum[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  std::int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400 + kCum[m - 1] + (d - 1);
  if (m > 2 && IsLeapYear(y)) ++days;
  return days;
}
}  // namespace

bool IsLeapYear(int y) { return (y % 4 == 0) && (y % 100 != 0 || y % 400 == 0); }

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

bool TryEncodeDate(int y, int m, int d, TDateTime& date) {
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
  date = static_cast<double>(DaysFromCivil(y, m, d) + 1 - kDateDelta);
  return true;
}

bool TryEncodeTime(int h, int mi, int s, int ms, TDateTime& time) {
  if (h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59 || ms < 0 || ms > 999) return false;
  time = (((h * 60.0 + mi) * 60.0 + s) * 1000.0 + ms) / kMsPerDay;
  return true;
}

TDateTime EncodeDate(int y, int m, int d) {
  TDateTime r;
  if (!TryEncodeDate(y, m, d, r)) throw EConvertError(LoadResString(SDateEncodeError));
  return r;
}

TDateTime EncodeTime(int h, int mi, int s, int ms) {
  TDateTime r;
  if (!TryEncodeTime(h, mi, s, ms, r)) throw EConvertError(LoadResString(STimeEncodeError));
  return r;
}

TDateTime EncodeDateTime(const TDateParts& p) {
  TDateTime d = EncodeDate(p.Year, p.Month, p.Day);
  TDateTime t = EncodeTime(p.Hour, p.Minute, p.Second, p.MilliSecond);
  // Before 1899-12-30 the time counts away from zero, as the runtime stores it.
  return d < 0 ? d - t : d + t;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
  std::int64_t days = static_cast<std::int64_t>(std::trunc(date)) + kDateDelta - 1;  // since 0001-01-01
  if (days < 0 || days > 3652058) {
    year = month = day = 0;
    return;
  }
  // Civil from days (0001-01-01 based).
  std::int64_t n = days;
  int y400 = static_cast<int>(n / 146097);
  n %= 146097;
  int y100 = static_cast<int>(n / 36524);
  if (y100 == 4) y100 = 3;
  n -= y100 * 36524LL;
  int y4 = static_cast<int>(n / 1461);
  n %= 1461;
  int y1 = static_cast<int>(n / 365);
  if (y1 == 4) y1 = 3;
  n -= y1 * 365LL;
  year = y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1;
  month = 1;
  while (n >= DaysInMonth(year, month)) {
    n -= DaysInMonth(year, month);
    ++month;
  }
  day = static_cast<int>(n) + 1;
}

void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& ms) {
  double frac = std::fabs(time - std::trunc(time));
  std::int64_t total = static_cast<std::int64_t>(std::llround(frac * kMsPerDay));
  if (total >= 86400000) total = 86399999;
  ms = static_cast<int>(total % 1000);
  total /= 1000;
  second = static_cast<int>(total % 60);
  total /= 60;
  minute = static_cast<int>(total % 60);
  hour = static_cast<int>(total / 60);
}

TDateParts DecodeDateTime(TDateTime dt) {
  TDateParts p;
  DecodeDate(dt, p.Year, p.Month, p.Day);
  DecodeTime(dt, p.Hour, p.Minute, p.Second, p.MilliSecond);
  return p;
}

int DayOfWeek(TDateTime date) {
  std::int64_t d = static_cast<std::int64_t>(std::trunc(date));
  // 1899-12-30 was a Saturday.
  int r = static_cast<int>(((d - 1) % 7 + 7) % 7) + 1;
  return r;
}
