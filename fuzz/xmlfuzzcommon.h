// Shared body of the XML reader fuzz targets: load the bytes, then escape every value
// as the writer would. Errors are fine; crashes, hangs and sanitizer reports are not.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/xml/kyxml.h"

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
  for (int i = 0; i < doc.ItemCount(); ++i) EscapeTree(doc, doc.Items(i), 0);
}
