#include <array>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kystrutils.h"
#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"
#include "resstrings.h"

namespace {

Byte ModeOfForms(Byte forms) {
  if (forms & efNamed) return emNamed;
  if (forms & efHex) return emHex;
  if (forms & efDecimal) return emDecimal;
  return emPlain;
}

// A node's remembered forms laid over default write modes.
TXmlSpecialBytes Overlay(const TXmlSpecialBytes& forms, const TXmlSpecialBytes& defaults) {
  TXmlSpecialBytes m = defaults;
  for (int i = 0; i < 5; ++i)
    if (forms[i]) m[i] = ModeOfForms(forms[i]);
  return m;
}

bool IsNameStart(Char c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c > 0x7F;
}
bool IsNameChar(Char c) {
  return IsNameStart(c) || (c >= u'0' && c <= u'9') || c == u'-' || c == u'.' || c == u':';
}

// At least minDigits digits, zeros in front.
void AppendHex(String& out, std::uint32_t v, bool upper, int minDigits) {
  char buf[8];
  int n = 0;
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    buf[n++] = set[v & 15];
    v >>= 4;
  } while (v);
  for (int k = n; k < minDigits; ++k) out.push_back(u'0');
  while (n) out.push_back(static_cast<Char>(buf[--n]));
}

void AppendDec(String& out, std::uint32_t v, int minDigits = 1) {
  char buf[16];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  for (int k = n; k < minDigits; ++k) out.push_back(u'0');
  while (n) out.push_back(static_cast<Char>(buf[--n]));
}

// What an ASCII character needs when written: 0 nothing, 1 it is a control character
// that is dropped, 2 it is one of the five specials, 3 a tab or line feed (a reference in
// an attribute value, where it would be read back as a space), 4 a carriage return (a
// reference everywhere: a reader takes it for a line feed).
enum : Byte { acPlain = 0, acControl = 1, acSpecial = 2, acTabOrLineFeed = 3, acCarriageReturn = 4 };
constexpr std::array<Byte, 128> kAsciiClass = [] {
  std::array<Byte, 128> t{};
  for (int c = 0; c < 32; ++c) t[c] = acControl;
  t[u'\t'] = t[u'\n'] = acTabOrLineFeed;
  t[u'\r'] = acCarriageReturn;
  t[u'&'] = t[u'<'] = t[u'>'] = t[u'"'] = t[u'\''] = acSpecial;
  return t;
}();

const char16_t* const kNamed[5] = {u"&amp;", u"&apos;", u"&quot;", u"&gt;", u"&lt;"};
const char16_t kSpecial[5] = {u'&', u'\'', u'"', u'>', u'<'};
constexpr TXmlSpecialBytes kAttributeDefaults{1, 0, 0, 1, 1};

void AppendSpecial(String& out, int index, Byte mode) {
  switch (mode) {
    case emNamed:
      out += kNamed[index];
      break;
    case emDecimal:
      out += u"&#";
      AppendDec(out, kSpecial[index]);
      out += u";";
      break;
    case emHex:
      out += u"&#x";
      AppendHex(out, kSpecial[index], true, 2);
      out += u";";
      break;
    default:
      out.push_back(kSpecial[index]);
  }
}

// True when Name denotes the encoding that Text writes: a name the code-page table
// knows for it, or a generic UTF-16 name for either byte order.
bool NamesEncodingOf(StringView name, const TKyTextFile& text) {
  if (SameText(name, text.EncodingName())) return true;
  TKyTextFile probe;
  probe.SetEncoding(text.Encoding == TKyTextFile::ekUtf16BE ? TKyTextFile::ekUtf16BE : TKyTextFile::ekCodePage);
  probe.CodePage = -1;  // every name the text file knows sets it, or the escape mode
  probe.SetEncodingName(name);
  if (probe.CodePage == -1 && !probe.EscapeMode) return false;
  return probe.Encoding == text.Encoding && probe.EscapeMode == text.EscapeMode &&
         (text.Encoding != TKyTextFile::ekCodePage || probe.CodePage == text.CodePage);
}

// The source spelling of a value that is still what it was read as.
const String* SourceOf(const TKyXmlItemEntities* forms, StringView value) {
  return forms && forms->SourceText && StringView(forms->SourceText->Value) == value ? &forms->SourceText->Source
                                                                                    : nullptr;
}

}  // namespace

String TKyXmlFile::Escape(StringView text, const TXmlSpecialBytes& modes, const TKyXmlItemEntities* forms,
                          bool useTextFile, bool attribute) const {
  String out;
  EscapeTo(out, text, modes, forms, useTextFile, attribute);
  return out;
}

void TKyXmlFile::EscapeTo(String& out, StringView text, const TXmlSpecialBytes& modes,
                          const TKyXmlItemEntities* forms, bool useTextFile, bool attribute) const {
  bool hasForms = forms && forms->Count() > 0;
  // Classes of ASCII that go out as they are; ASCII with a remembered form goes by it.
  // Without escaping (EntityKinds 0) tabs and line breaks go out raw as well.
  const Byte rawUpTo = EntityKinds == 0 ? acCarriageReturn : attribute || hasForms ? acPlain : acTabOrLineFeed;
  std::uint64_t formed[2] = {0, 0};
  if (hasForms)
    for (int k = 0; k < forms->Count(); ++k)
      if (char32_t code = forms->Items(k).CharCode; code < 128) formed[code >> 6] |= std::uint64_t{1} << (code & 63);
  auto isRaw = [&](Char c) {
    Byte k = c < 128 ? kAsciiClass[c] : Byte{acControl};
    return (k == acPlain || (k >= acTabOrLineFeed && k <= rawUpTo)) && !((formed[c >> 6] >> (c & 63)) & 1);
  };
  bool plain = !hasForms;
  if (plain) {
    bool specials = false;
    for (Char c : text) {
      if (c >= 128) {
        if (c == 0xA0) specials = true;
        continue;
      }
      Byte k = kAsciiClass[c];
      if (k == acSpecial) {
        specials = true;
      } else if (k != acPlain && !(k >= acTabOrLineFeed && k <= rawUpTo)) {
        plain = false;
        break;
      }
    }
    if (plain && EntityKinds != 0 && (CharacterEscaping == 2 || specials)) plain = false;
  }
  if (plain) {
    if (!useTextFile || TextFile.Encoding != TKyTextFile::ekCodePage) {
      out.append(text);
      return;
    }
    for (size_t i = 0; i < text.size(); ++i) {
      Char c = text[i];
      if (CanWrite(c)) {
        out.push_back(c);
        continue;
      }
      // One reference per code point, never one per surrogate half.
      char32_t code = c;
      if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        code = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
      out += u"&#x";
      AppendHex(out, code, true, 2);
      out += u";";
    }
    return;
  }
  out.reserve(out.size() + text.size() + 16);
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    // Runs of ASCII that needs no escaping go out in one piece.
    size_t run = i;
    while (run < n && isRaw(text[run])) ++run;
    if (run > i) {
      out.append(text.data() + i, run - i);
      i = run;
      if (i == n) break;
    }
    Char c = text[i];
    switch (c) {
      case u'\'':
        AppendSpecial(out, scApos, modes[scApos]);
        continue;
      case u'"':
        AppendSpecial(out, scQuot, modes[scQuot]);
        continue;
      case u'>':
        AppendSpecial(out, scGt, modes[scGt]);
        continue;
      case u'<':
        AppendSpecial(out, scLt, modes[scLt]);
        continue;
      case u'&': {
        size_t semi = text.find(u';', i + 1);
        if (semi != StringView::npos) {
          StringView name = text.substr(i + 1, semi - i - 1);
          // A reference read as unknown goes back as it was read, even one that is no name.
          if (Entities.IsUnknown(name)) {
            out.push_back(u'&');
            continue;
          }
          bool isName = !name.empty() && IsNameStart(name[0]);
          for (size_t k = 1; isName && k < name.size(); ++k) isName = IsNameChar(name[k]);
          if (isName) {
            TKyXmlEntity* e = const_cast<TKyXmlFileEntities&>(Entities).FindEntity(name);
            if (e && !(EntityKinds & (1 << e->EntityKind)))
              out.push_back(u'&');
            else
              out += u"&amp;";
            continue;
          }
        }
        AppendSpecial(out, scAmp, modes[scAmp]);
        continue;
      }
      default:
        break;
    }
    if (c < 128 && kAsciiClass[c] == acControl) continue;  // not allowed in XML 1.0
    char32_t code = c;
    size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    }
    const TXmlEntityData* d = hasForms ? forms->Find(code) : nullptr;
    if (d && (d->Forms & (efHex | efDecimal))) {
      if (d->Forms & efHex) {
        out += u"&#x";
        int digits = d->HexDigits ? d->HexDigits : d->HexLeadingZero ? 4 : 2;
        AppendHex(out, code, (d->HexCase & 2) != 0, digits);
      } else {
        out += u"&#";
        AppendDec(out, code, d->DecimalDigits);
      }
      out += u";";
    } else if (EntityKinds != 0 && (c == u'\r' || (attribute && (c == u'\t' || c == u'\n'))) &&
               !(d && (d->Forms & efPlain))) {
      // A tab or line break that the source did not spell raw: as a reference, so that
      // every reader gets the character back.
      out += u"&#";
      AppendDec(out, code, 0);
      out += u";";
    } else if (CharacterEscaping == 1 && c == 0xA0) {
      out += u"&#160;";
    } else if (CharacterEscaping == 2 && code > 128) {
      out += u"&#";
      AppendDec(out, code, 0);
      out += u";";
    } else if (useTextFile && !CanWrite(c)) {
      out += u"&#x";
      AppendHex(out, code, true, 2);
      out += u";";
    } else {
      out.append(text.substr(i, units));
    }
    i += units - 1;
  }
}

bool TKyXmlFile::CanWrite(Char c) const {
  if (TextFile.Encoding != TKyTextFile::ekCodePage || c < 0x80) return true;
  int cp = TextFile.CodePage != 0 ? TextFile.CodePage : GetSystemCodePage();
  if (!CanEncode(c, cp)) return false;
  // A best-fit stand-in (an "O" for an omega) is not the character: only an exact round trip counts.
  try {
    StringView one(&c, 1);
    return CodePageToWide(WideToCodePage(one, cp), cp) == one;
  } catch (const Exception&) {
    return false;
  }
}

void TKyXmlFile::Write(StringView text, bool newLine) {
  TextFile.Write(text);
  if (newLine) TextFile.WriteLineBreak();
}

String TKyXmlFile::Indent(int n) const {
  String out;
  AppendIndent(out, n);
  return out;
}

void TKyXmlFile::AppendIndent(String& out, int n) const {
  if (!Preserving()) out.append(static_cast<size_t>(2 * (n + static_cast<int>(OpenNames_.size()))), u' ');
}

void TKyXmlFile::EscapeTextTo(String& out, const TKyXmlItem& item, const TXmlSpecialBytes& modes) const {
  const TKyXmlItemEntities* forms = item.CharacterFormsOrNull();
  if (const String* source = SourceOf(forms, item.Value))
    out += *source;
  else
    EscapeTo(out, item.Value, modes, forms, false);
}

void TKyXmlFile::EscapeAttributeTo(String& out, const TXmlAttributeView& a) const {
  TXmlSpecialBytes modes = Overlay(a.SpecialCharForms, kAttributeDefaults);
  if (!a.SpecialCharForms[scApos] && !a.SpecialCharForms[scQuot]) modes[a.QuoteKind ? scApos : scQuot] = emNamed;
  // A value is never cut by its own quote.
  if (modes[a.QuoteKind ? scApos : scQuot] == emPlain) modes[a.QuoteKind ? scApos : scQuot] = emNamed;
  const TKyXmlItemEntities* forms = a.Forms;
  if (Preserving() && !(a.LeadingSpace.empty() && a.TrailingSpace.empty())) {
    String whole = String(a.LeadingSpace).append(a.Value).append(a.TrailingSpace);
    if (const String* source = SourceOf(forms, whole))
      out += *source;
    else
      EscapeTo(out, whole, modes, forms, false, true);
  } else if (const String* source = SourceOf(forms, a.Value)) {
    out += *source;
  } else {
    EscapeTo(out, a.Value, modes, forms, false, true);
  }
}

String TKyXmlFile::AttributeText(const String& initial, const TKyXmlAttributes* attributes) const {
  String out;
  AppendAttributes(out, initial, attributes);
  return out;
}

void TKyXmlFile::AppendAttributes(String& out, StringView initial, const TKyXmlAttributes* attributes) const {
  int n = attributes ? attributes->Count() : 0;
  out.append(initial);
  if (initial.empty() && n > 0) out.push_back(u' ');
  bool keep = Preserving();
  for (int i = 0; i < n; ++i) {
    const TXmlAttributeView a = attributes->View(i);
    Char q = a.QuoteKind ? u'\'' : u'"';
    out += a.Name;
    if (keep) out += a.SpaceBeforeEquals;
    out.push_back(u'=');
    if (keep) out += a.SpaceAfterEquals;
    out.push_back(q);
    EscapeAttributeTo(out, a);
    out.push_back(q);
    bool wroteSpace = keep && !a.SpaceAfter.empty();
    if (wroteSpace) out += a.SpaceAfter;
    if (!wroteSpace && i + 1 < n) out.push_back(u' ');
  }
}

void TKyXmlFile::WriteOwnDeclaration() {
  String d = u"<?xml version=\"1.0\"";
  if (WriteEncoding) d += u" encoding=\"" + TextFile.EncodingName() + u"\"";
  d += u"?>";
  Write(d, true);
}

void TKyXmlFile::BeginWrite(const String& fileName, bool writeDeclaration) {
  if (fileName.empty()) throw Exception(LoadResString(SXmlNoFileName));
  OpenNames_.clear();
  TextFile.Rewrite(fileName);
  if (writeDeclaration && WriteDeclaration && (Items_.empty() || Items_[0]->Kind() != xkDeclaration))
    WriteOwnDeclaration();
}

void TKyXmlFile::EndWrite() {
  Root_ = nullptr;
  OpenNames_.clear();
  TextFile.Close();
}

void TKyXmlFile::SaveToFile(const String& fileName, TKyXmlElement* element) {
  if (element) {
    BeginWrite(fileName, true);
    WriteItem(element, false);
  } else {
    BeginWrite(fileName, !Items_.empty() && Items_[0]->Kind() == xkDeclaration);
    for (const auto& item : Items_) WriteItem(item.get(), false);
  }
  EndWrite();
}

void TKyXmlFile::WriteAttributeLines(const TKyXmlAttributes* attributes) {
  int n = attributes ? attributes->Count() : 0;
  for (int i = 0; i < n; ++i) {
    const TXmlAttributeView a = attributes->View(i);
    String line = Indent(1);
    line.append(a.Name).append(u"=\"");
    EscapeAttributeTo(line, a);
    line.push_back(u'"');
    Write(line, i + 1 < n);
  }
}

void TKyXmlFile::WriteStartElement(const String& name, const TKyXmlAttributes* attributes, const String& tail,
                                   bool singleLine, bool newLine) {
  StartElement(name, attributes, tail, singleLine, newLine);
}

void TKyXmlFile::StartElement(StringView name, const TKyXmlAttributes* attributes, StringView tail, bool singleLine,
                              bool newLine) {
  Line_.clear();
  AppendIndent(Line_, 0);
  Line_.push_back(u'<');
  Line_.append(name);
  if (singleLine || Preserving()) {
    AppendAttributes(Line_, tail, attributes);
    Line_.push_back(u'>');
    Write(Line_, newLine);
  } else {
    bool hasAttributes = attributes && attributes->Count() > 0;
    Line_.append(tail);
    Write(Line_, hasAttributes);
    WriteAttributeLines(attributes);
    Write(u">", newLine);
  }
  OpenNames_.emplace_back(name);
}

void TKyXmlFile::WriteEndElement(bool indented, const String& tail) {
  if (OpenNames_.empty()) throw EListError(Format(SListIndexError, {-1}));
  String name = std::move(OpenNames_.back());
  OpenNames_.pop_back();
  String s = indented ? Indent(0) : String();
  s += u"</" + name;
  if (Preserving()) s += tail;
  s += u">";
  Write(s, !Preserving());
}

void TKyXmlFile::WriteEmptyElement(const String& name, const TKyXmlAttributes* attributes, const String& tail,
                                   const String& attributeTail, bool singleLine) {
  if (singleLine) {
    Write(Indent(0) + u"<" + name + AttributeText(attributeTail, attributes) + tail + u"/>", !Preserving());
  } else {
    Write(Indent(0) + u"<" + name, true);
    WriteAttributeLines(attributes);
    Write(u"/>", true);
  }
}

void TKyXmlFile::WriteElement(const String& name, const TKyXmlAttributes* attributes, bool newLine,
                              const String& value) {
  String s = newLine ? Indent(0) : String();
  s += u"<" + name + AttributeText(String(), attributes) + u">" + Escape(value, Entities.EntityModes, nullptr, true) +
       u"</" + name + u">";
  Write(s, newLine && !Preserving());
}

void TKyXmlFile::WriteTextElement(const String& name, const String& value, bool newLine, const String& defaultValue,
                                  bool skipDefault) {
  if (skipDefault && value == defaultValue) return;
  WriteElement(name, nullptr, newLine, value);
}

void TKyXmlFile::WriteComment(const String& value) { Write(Indent(0) + u"<!--" + value + u"-->", !Preserving()); }
void TKyXmlFile::WriteCData(const String& value) { Write(Indent(0) + u"<![CDATA[" + value + u"]]>", !Preserving()); }
void TKyXmlFile::WriteDocType(const String& value) {
  Write(Indent(0) + u"<!DOCTYPE" + (value.empty() || value[0] != u' ' ? u" " : u"") + value + u">", !Preserving());
}
void TKyXmlFile::WriteElementDeclaration(const String& value) {
  Write(Indent(0) + u"<!ELEMENT" + (value.empty() || value[0] != u' ' ? u" " : u"") + value + u">", !Preserving());
}
void TKyXmlFile::WriteScript(const String& value) { Write(u"<%" + value + u"%>", !Preserving()); }
void TKyXmlFile::WriteProcessingInstruction(const String& value) { Write(u"<?" + value + u"?>", !Preserving()); }
void TKyXmlFile::WriteText(const String& value) { Write(Escape(value, Entities.EntityModes, nullptr, true), false); }

// Iterative, so that no depth of a tree built by code exhausts the stack.
void TKyXmlFile::WriteItem(TKyXmlElement* item, bool indented) {
  struct TOpen {
    TKyXmlElement* Element;
    int Next;
  };
  std::vector<TOpen> open;
  bool keep = Preserving();
  for (;;) {
    if (item->Enabled && WriteNode(item, indented)) open.push_back({item, 0});
    item = nullptr;
    while (!open.empty()) {
      TOpen& top = open.back();
      if (top.Next < top.Element->ElementCount()) {
        item = top.Element->Elements(top.Next++);
        break;
      }
      if (keep)
        WriteEndElement(false, top.Element->EndTail);
      else
        WriteEndElement(true);
      open.pop_back();
    }
    if (!item) return;
    indented = !keep;
  }
}

bool TKyXmlFile::WriteNode(TKyXmlElement* item, bool indented) {
  bool keep = Preserving();
  switch (item->Kind()) {
    case xkDeclaration: {
      // The name the document used stays while it names the encoding written ("ASCII").
      for (int i = 0; i < item->Attributes.Count(); ++i) {
        TKyXmlAttribute* a = item->Attributes.Items(i);
        if (SameText(a->Name, u"encoding") && !NamesEncodingOf(a->Value, TextFile)) a->Value = TextFile.EncodingName();
      }
      Write(Indent(0) + u"<?xml" + AttributeText(keep ? item->Tail.Str() : String(), &item->Attributes) + u"?>", !keep);
      break;
    }
    case xkDocType:
      WriteDocType(item->Value.Str());
      break;
    case xkElementDeclaration:
      WriteElementDeclaration(item->Value.Str());
      break;
    case xkCData:
      WriteCData(item->Value.Str());
      break;
    case xkScript:
      WriteScript(item->Value.Str());
      break;
    case xkProcessingInstruction:
      WriteProcessingInstruction(item->Value.Str());
      break;
    case xkComment:
      WriteComment(item->Value.Str());
      break;
    case xkEmptyElement:
      WriteEmptyElement(item->Name.Str(), &item->Attributes, item->EndTail, item->Tail, true);
      break;
    case xkElement:
      if (item->ElementCount() == 0) {
        Line_.clear();
        if (indented && !keep) AppendIndent(Line_, 0);
        TXmlSpecialBytes modes = Overlay(item->SpecialCharForms, EntityModes);
        Line_.push_back(u'<');
        Line_.append(item->Name.View());
        AppendAttributes(Line_, keep ? StringView(item->Tail) : StringView(), &item->Attributes);
        Line_.push_back(u'>');
        // The whitespace around the text is the source's own, raw.
        Line_.append(StringView(item->LeadingSpace));
        EscapeTextTo(Line_, *item, modes);
        Line_.append(StringView(item->TrailingSpace));
        Line_ += u"</";
        Line_.append(item->Name.View());
        Line_.append(StringView(item->EndTail));
        Line_.push_back(u'>');
        Write(Line_, indented && !keep);
      } else {
        // The children and the end tag follow in WriteItem.
        StartElement(item->Name, &item->Attributes, keep ? StringView(item->Tail) : StringView(), true, !keep);
        return true;
      }
      break;
    case xkText: {
      // The node's own spellings over the table's, so that mixed content keeps its look.
      TXmlSpecialBytes modes = Overlay(item->SpecialCharForms, Entities.EntityModes);
      String s;
      EscapeTextTo(s, *item, modes);
      if (keep) {
        Write(item->LeadingSpace + s + item->TrailingSpace, false);
      } else {
        Write(Indent(0) + s, true);
      }
      break;
    }
    case xkWhiteSpace:
      if (keep) Write(item->Value, false);
      break;
    default:
      break;
  }
  return false;
}
