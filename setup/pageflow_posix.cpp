#include "lib/core/kydatetime.h"
#include "lib/core/kyformat.h"
#include "setup/pageflow.h"

// Natively there is no user locale: ISO dates.
String PackageDateText(TDateTime created) {
  TDateParts p = DecodeDateTime(created);
  String text = Format(u"%.4d-%.2d-%.2d", {p.Year, p.Month, p.Day});
  if (p.Hour || p.Minute || p.Second || p.MilliSecond) text += Format(u" %.2d:%.2d:%.2d", {p.Hour, p.Minute, p.Second});
  return text;
}
