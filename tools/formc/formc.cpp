// tvformc: compiles a text form into its binary form stream.
//
//   tvformc FORM.txt OUT.bin [--class NAME]   compile; --class checks the root's class name
//   tvformc --dump STREAM.bin                 print a stream as a text form
//
// A malformed form is refused with "file(line): reason" and no output file.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "lib/core/kysysutils.h"
#include "lib/ui/kyformstream.h"
#include "lib/ui/kyformtext.h"

namespace {

bool ReadFile(const std::string& name, std::string& out) {
  std::ifstream f(name, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  out = s.str();
  return true;
}

int Usage() {
  std::cerr << "usage: tvformc FORM.txt OUT.bin [--class NAME] | tvformc --dump STREAM.bin\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--dump") {
    std::string data;
    if (!ReadFile(argv[2], data)) {
      std::cerr << argv[2] << ": cannot read the file\n";
      return 1;
    }
    try {
      std::cout << FormToText(ReadFormStream(data));
    } catch (const Exception& e) {
      std::cerr << argv[2] << ": " << e.what() << "\n";
      return 1;
    }
    return 0;
  }
  if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--class")) return Usage();
  std::string src;
  if (!ReadFile(argv[1], src)) {
    std::cerr << argv[1] << ": cannot read the file\n";
    return 1;
  }
  RawBytes stream;
  try {
    TFormRecord root = ParseFormText(src, Utf8ToString(argv[1]));
    if (argc == 5 && !SameText(Utf8ToString(root.ClassName), Utf8ToString(argv[4]))) {
      std::cerr << argv[1] << "(1): the form's class is " << root.ClassName << ", expected " << argv[4] << "\n";
      return 1;
    }
    stream = WriteFormStream(root);
  } catch (const Exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::string tmp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(stream.data(), static_cast<std::streamsize>(stream.size()));
    if (!out) {
      std::cerr << argv[2] << ": cannot write the file\n";
      std::remove(tmp.c_str());
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), argv[2]) != 0) {
    std::cerr << argv[2] << ": cannot write the file\n";
    std::remove(tmp.c_str());
    return 1;
  }
  return 0;
}
