// tvxml copy IN OUT [--preserve]: load and save; tvxml check IN: load and report.
#include <cstdio>
#include <cstring>

#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tvxml copy IN OUT [--preserve]\n       tvxml check IN [--preserve]\n");
  return 2;
}

// Keeps a document as it is: its own whitespace, only predefined entities and
// character references expanded, no external DTD, no escaping of its own.
void SetPreserving(TKyXmlFile& doc) {
  doc.Options = xoPreserveWhiteSpace | xoTrimText;
  doc.EntityKinds = ekPredefined;
  doc.IgnoreExternalDtd = true;
  doc.CharacterEscaping = 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  bool preserve = false;
  for (int i = 3; i < argc; ++i)
    if (std::strcmp(argv[i], "--preserve") == 0) preserve = true;
  TKyXmlFile doc;
  if (preserve) SetPreserving(doc);
  try {
    if (std::strcmp(argv[1], "copy") == 0) {
      if (argc < 4) return Usage();
      doc.LoadFromFile(Utf8ToString(argv[2]));
      doc.SaveToFile(Utf8ToString(argv[3]));
      return 0;
    }
    if (std::strcmp(argv[1], "check") == 0) {
      doc.LoadFromFile(Utf8ToString(argv[2]));
      std::printf("ok\n");
      return 0;
    }
  } catch (const EXmlException& e) {
    std::fprintf(stderr, "%s\nline %d, column %d\n", e.what(), e.Line, e.Column);
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return Usage();
}
