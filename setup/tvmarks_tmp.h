#pragma once
#include <windows.h>
#include <cstdio>
inline void TvMark(const char* what) {
  FILETIME c, e, k, u, now;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  GetSystemTimePreciseAsFileTime(&now);
  auto v = [](FILETIME f) { return (static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  FILE* f = _wfopen(L"Z:\\tmp\\tram-marks.txt", L"a");
  if (f) { std::fprintf(f, "%8.1f %s\n", (v(now) - v(c)) / 10000.0, what); std::fclose(f); }
}
