// Objects that store themselves as one XML element, and the font object.
#pragma once

#include "lib/core/kyfontdesc.h"
#include "lib/xml/kyxml.h"

class TKyXmlObject {
 public:
  virtual ~TKyXmlObject() = default;
  // What the driving routine stores: 3 for a plain object; the font answers 1.
  virtual int StorageKind() const { return 3; }
  virtual String ElementName() const { return u"object"; }
  virtual void WriteElements(TKyXmlElement& element) {}
  virtual void WriteAttributes(TKyXmlAttributes& attributes) {}
  virtual void ReadElements(TKyXmlElement& element) {}
  virtual void ReadAttributes(TKyXmlElement& element) {}

  // Adds an element named ElementName to Parent: attributes first, then child elements.
  TKyXmlElement* SaveToElement(TKyXmlElement& parent);
  // Reads this object back from its element: attributes, then child elements.
  void LoadFromElement(TKyXmlElement& element);
};

class TKyFont : public TKyXmlObject {
 public:
  TKyFont() { Clear(); }
  int StorageKind() const override { return 1; }
  String ElementName() const override { return u"font"; }
  void WriteAttributes(TKyXmlAttributes& attributes) override;
  void ReadAttributes(TKyXmlElement& element) override;

  virtual void AssignFromFont(const TFontDesc& font);
  virtual void Clear();
  // Sets the name when there is one and the size rounded (a half to the even neighbour) unless 0.
  virtual TFontDesc& AssignToFont(TFontDesc& font) const;

  void Assign(const TKyFont& source);
  bool Equals(const TKyXmlObject& other) const;
  // Names ignoring case, then the smaller size first: negative, 0 or positive.
  int Compare(const TKyFont& other) const;
  int RoundedSize() const;
  // True when the name contains "Webdings" or "Wingdings" (case-sensitive).
  static bool IsSymbolName(const String& name);
  // "MS Shell Dlg" before Windows XP, else "MS Shell Dlg 2".
  static String GetDialogFontName();

  String Name;
  double Size = 0;
  bool IsSymbol = false;
};
