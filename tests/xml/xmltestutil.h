// Helpers of the XML tests: load from bytes, save to bytes.
#pragma once

#include <gtest/gtest.h>

#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"
#include "tests/core/testutil.h"

inline String U(const char* utf8) { return Utf8ToString(utf8); }

inline bool LoadBytes(TKyXmlFile& doc, const RawBytes& bytes) {
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), bytes.size());
  m.SetPosition(0);
  return doc.LoadFromStream(m);
}

inline RawBytes SaveBytes(TKyXmlFile& doc, TKyXmlElement* element = nullptr) {
  TTempDir dir;
  String name = dir.File(u"out.xml");
  doc.SaveToFile(name, element);
  return ReadAll(name);
}

// Preserving settings, as the command-line tool uses them.
inline void SetPreserving(TKyXmlFile& doc) {
  doc.Options = xoPreserveWhiteSpace | xoTrimText;
  doc.EntityKinds = ekPredefined;
  doc.IgnoreExternalDtd = true;
  doc.CharacterEscaping = 0;
}

inline RawBytes RoundTrip(const RawBytes& source) {
  TKyXmlFile doc;
  SetPreserving(doc);
  LoadBytes(doc, source);
  return SaveBytes(doc);
}
