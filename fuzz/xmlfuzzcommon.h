// Shared body of the XML reader fuzz targets: load the bytes, then escape every value
// as the writer would; the preserving target first writes the tree as loaded (packed
// attribute lists, source texts of mixed spellings). Errors are fine; crashes, hangs and
// sanitizer reports are not.
#pragma once

#include <cstddef>
#include <cstdint>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"

// One output file per fuzzing process, removed when it ends.
inline const String& FuzzOutputFile() {
  struct TFile {
    std::string Path;
    String Name;
    ~TFile() { unlink(Path.c_str()); }
  };
  static const TFile file = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/tvfuzz-xml-" + std::to_string(getpid()) + ".xml";
    return TFile{path, Utf8ToString(path)};
  }();
  return file.Name;
}

inline void EscapeTree(TKyXmlFile& doc, TKyXmlElement* e, int depth) {
  if (depth > 200) return;
  doc.Escape(e->Value, e->SpecialCharForms, e->CharacterFormsOrNull(), true);
  for (int i = 0; i < e->Attributes.Count(); ++i) {
    TKyXmlAttribute* a = e->Attributes.Items(i);
    doc.Escape(a->Value, a->SpecialCharForms, a->CharacterFormsOrNull(), false);
  }
  for (int i = 0; i < e->ElementCount(); ++i) EscapeTree(doc, e->Elements(i), depth + 1);
}

inline void FuzzXml(const uint8_t* data, size_t size, bool preserve) {
  TKyXmlFile doc;
  doc.IgnoreExternalDtd = true;  // no file system or network from fuzz input
  doc.Entities.MaxExpansion = 1 << 20;
  if (preserve) {
    doc.Options = xoPreserveWhiteSpace | xoTrimText;
    doc.EntityKinds = ekPredefined;
    doc.CharacterEscaping = 0;
  }
  TReadOnlyMemoryStream stream(data, size);
  try {
    doc.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  if (preserve && doc.ItemCount() > 0) {
    try {
      doc.SaveToFile(FuzzOutputFile());
    } catch (const Exception&) {
    }
  }
  for (int i = 0; i < doc.ItemCount(); ++i) EscapeTree(doc, doc.Items(i), 0);
}
