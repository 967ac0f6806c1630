// A program linked the way a forgotten setting would link it: zlib and the C++ runtime as
// DLLs. The import check must refuse it.
#include <zlib.h>

#include <cstdio>
#include <string>

int main() {
  std::string v = zlibVersion();
  std::printf("%s\n", v.c_str());
  return 0;
}
