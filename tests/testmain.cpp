// Test entry point: wmain under -municode on Windows, main elsewhere.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <cstdlib>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    std::wstring w = argv[i];
    args.emplace_back(w.begin(), w.end());  // test options are ASCII
  }
  std::vector<char*> ptrs;
  for (auto& a : args) ptrs.push_back(a.data());
  ptrs.push_back(nullptr);
  int n = argc;
  testing::InitGoogleTest(&n, ptrs.data());
  return RUN_ALL_TESTS();
}
#else
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
#endif
