// Date and time as days since 1899-12-30 (the fraction is the time of day).
#pragma once

#include <cstdint>

#include "lib/core/kytypes.h"

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, MilliSecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int minute, int second, int ms, TDateTime& time);
// EConvertError for an invalid date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int ms);
TDateTime EncodeDateTime(const TDateParts& parts);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& minute, int& second, int& ms);
TDateParts DecodeDateTime(TDateTime dt);
// 1 Sunday .. 7 Saturday.
int DayOfWeek(TDateTime date);
// The local time now.
TDateTime Now();
