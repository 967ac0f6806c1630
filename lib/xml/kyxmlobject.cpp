#include "lib/xml/kyxmlobject.h"

#include <cmath>
#include <typeinfo>

#include "lib/core/kysystem.h"
#include "lib/core/kysysutils.h"

TKyXmlElement* TKyXmlObject::SaveToElement(TKyXmlElement& parent) {
  auto e = std::make_unique<TKyXmlElement>(ElementName());
  WriteAttributes(e->Attributes);
  WriteElements(*e);
  return parent.AddElement(std::move(e));
}

void TKyXmlObject::LoadFromElement(TKyXmlElement& element) {
  ReadAttributes(element);
  ReadElements(element);
}

void TKyFont::Clear() {
  Name.clear();
  Size = 0;
}

void TKyFont::Assign(const TKyFont& source) {
  Name = source.Name;
  Size = source.Size;
  IsSymbol = source.IsSymbol;
}

bool TKyFont::Equals(const TKyXmlObject& other) const {
  if (typeid(other) != typeid(*this)) return false;
  const auto& f = static_cast<const TKyFont&>(other);
  return f.Name == Name && f.Size == Size;
}

int TKyFont::Compare(const TKyFont& other) const {
  int c = CompareText(Name, other.Name);
  if (c != 0) return c;
  return Size < other.Size ? -1 : Size > other.Size ? 1 : 0;
}

void TKyFont::WriteAttributes(TKyXmlAttributes& attributes) {
  attributes.WriteString(u"name", Name, -1, true, String());
  attributes.WriteFloat(u"size", true, 0, Size);
}

void TKyFont::ReadAttributes(TKyXmlElement& element) {
  Name = element.Attributes.ReadString(u"name", String());
  Size = element.Attributes.ReadFloat(u"size", 0);
  IsSymbol = IsSymbolName(Name);
}

void TKyFont::AssignFromFont(const TFontDesc& font) {
  Name = font.Name;
  Size = font.Size;
}

TFontDesc& TKyFont::AssignToFont(TFontDesc& font) const {
  if (!Name.empty()) font.Name = Name;
  if (Size != 0) font.Size = RoundedSize();
  return font;
}

int TKyFont::RoundedSize() const { return static_cast<int>(std::nearbyint(Size)); }

bool TKyFont::IsSymbolName(const String& name) {
  return name.find(u"Webdings") != String::npos || name.find(u"Wingdings") != String::npos;
}

String TKyFont::GetDialogFontName() {
  static const bool beforeXP = GetWindowsVersion() == 0;
  return beforeXP ? u"MS Shell Dlg" : u"MS Shell Dlg 2";
}
