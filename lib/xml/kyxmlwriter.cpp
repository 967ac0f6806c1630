#include <array>
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

void AppendHex(String& out, std::uint32_t v, bool upper, int minDigits) {
  String digits;
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  do {
    digits.insert(digits.begin(), static_cast<Char>(set[v & 15]));
    v >>= 4;
  } while (v);
  while (static_cast<int>(digits.size()) < minDigits) digits.insert(digits.begin(), u'0');
  out += digits;
}

void AppendDec(String& out, std::uint32_t v) {
  char buf[16];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  while (n) out.push_back(static_cast<Char>(buf[--n]));
}

// What an ASCII character needs when written: 0 nothing, 1 it is a control character
// that is dropped, 2 it is one of the five specials.
constexpr std::array<Byte, 128> kAsciiClass = [] {
  std::array<Byte, 128> t{};
  for (int c = 0; c < 32; ++c) t[c] = c == 9 || c == 10 || c == 13 ? 0 : 1;
  t[u'&'] = t[u'<'] = t[u'>'] = t[u'"'] = t[u'\''] = 2;
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

}  // namespace

String TKyXmlFile::Escape(StringView text, const TXmlSpecialBytes& modes, const TKyXmlItemEntities* forms,
                          bool useTextFile) const {
  String out;
  EscapeTo(out, text, modes, forms, useTextFile);
  return out;
}

void TKyXmlFile::EscapeTo(String& out, StringView text, const TXmlSpecialBytes& modes,
                          const TKyXmlItemEntities* forms, bool useTextFile) const {
  bool hasForms = forms && forms->Count() > 0;
  bool plain = !hasForms;
  if (plain) {
    bool specials = false;
    for (Char c : text) {
      Byte k = c < 128 ? kAsciiClass[c] : c == 0xA0 ? 2 : 0;
      if (k == 1) {
        plain = false;
        break;
      }
      if (k == 2) specials = true;
    }
    if (plain && EntityKinds != 0 && (CharacterEscaping == 2 || specials)) plain = false;
  }
  if (plain) {
    if (!useTextFile || TextFile.Encoding != TKyTextFile::ekCodePage) {
      out.append(text);
      return;
    }
    for (Char c : text) {
      if (CanWrite(c)) {
        out.push_back(c);
      } else {
        out += u"&#x";
        AppendHex(out, c, true, 2);
        out += u";";
      }
    }
    return;
  }
  out.reserve(out.size() + text.size() + 16);
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    // Runs of ASCII that needs no escaping go out in one piece.
    size_t run = i;
    while (run < n && text[run] < 128 && kAsciiClass[text[run]] == 0) ++run;
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
          bool isName = !name.empty() && IsNameStart(name[0]);
          for (size_t k = 1; isName && k < name.size(); ++k) isName = IsNameChar(name[k]);
          if (isName && Entities.IsUnknown(name)) {
            out.push_back(u'&');  // written back as it was read
            continue;
          }
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
    if (c < 32 && c != 9 && c != 10 && c != 13) continue;  // control characters are not written
    char32_t code = c;
    size_t units = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      units = 2;
    }
    const TXmlEntityData* d = hasForms && code >= 32 ? forms->Find(code) : nullptr;
    if (d && (d->Forms & (efHex | efDecimal))) {
      if (d->Forms & efHex) {
        String hex;
        AppendHex(hex, code, (d->HexCase & 2) != 0, 2);
        if (d->HexLeadingZero) hex = hex.size() < 4 ? String(4 - hex.size(), u'0') + hex : u"0" + hex;
        out += u"&#x" + hex + u";";
      } else {
        out += u"&#";
        AppendDec(out, code);
        out += u";";
      }
    } else if (CharacterEscaping == 1 && c == 0xA0) {
      out += u"&#160;";
    } else if (CharacterEscaping == 2 && code > 128) {
      out += u"&#";
      AppendDec(out, code);
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

void TKyXmlFile::EscapeAttributeTo(String& out, const TKyXmlAttribute& a) const {
  TXmlSpecialBytes modes = Overlay(a.SpecialCharForms, kAttributeDefaults);
  if (!a.SpecialCharForms[scApos] && !a.SpecialCharForms[scQuot]) modes[a.QuoteKind ? scApos : scQuot] = emNamed;
  // A value is never cut by its own quote.
  if (modes[a.QuoteKind ? scApos : scQuot] == emPlain) modes[a.QuoteKind ? scApos : scQuot] = emNamed;
  if (Preserving() && !(a.LeadingSpace.empty() && a.TrailingSpace.empty()))
    EscapeTo(out, a.LeadingSpace + a.Value + a.TrailingSpace, modes, a.CharacterFormsOrNull(), false);
  else
    EscapeTo(out, a.Value, modes, a.CharacterFormsOrNull(), false);
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
    const TKyXmlAttribute& a = *attributes->Items(i);
    Char q = a.QuoteKind ? u'\'' : u'"';
    out += a.Name;
    if (keep) out += a.SpaceBeforeEquals;
    out.push_back(u'=');
    if (keep) out += a.SpaceAfterEquals;
    out.push_back(q);
    EscapeAttributeTo(out, a);
    out.push_back(q);
    bool wroteSpace = keep && !a.SpaceAfter.empty();
    if (wroteSpace) out += a.SpaceAfter.Str();
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
    const TKyXmlAttribute& a = *attributes->Items(i);
    String line = Indent(1) + a.Name + u"=\"";
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

void TKyXmlFile::WriteItem(TKyXmlElement* item, bool indented) {
  if (!item->Enabled) return;
  bool keep = Preserving();
  switch (item->Kind()) {
    case xkDeclaration: {
      String encodingName = TextFile.EncodingName();
      for (int i = 0; i < item->Attributes.Count(); ++i) {
        TKyXmlAttribute* a = item->Attributes.Items(i);
        if (SameText(a->Name, u"encoding") && !SameText(a->Value, encodingName)) a->Value = encodingName;
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
        if (item->LeadingSpace.empty() && item->TrailingSpace.empty())
          EscapeTo(Line_, item->Value, modes, item->CharacterFormsOrNull(), false);
        else
          EscapeTo(Line_, item->LeadingSpace + item->Value + item->TrailingSpace, modes, item->CharacterFormsOrNull(),
                   false);
        Line_ += u"</";
        Line_.append(item->Name.View());
        Line_.append(StringView(item->EndTail));
        Line_.push_back(u'>');
        Write(Line_, indented && !keep);
      } else if (!keep) {
        StartElement(item->Name, &item->Attributes, StringView(), true, true);
        for (int i = 0; i < item->ElementCount(); ++i) WriteItem(item->Elements(i), true);
        WriteEndElement(true);
      } else {
        StartElement(item->Name, &item->Attributes, item->Tail, true, false);
        for (int i = 0; i < item->ElementCount(); ++i) WriteItem(item->Elements(i), false);
        WriteEndElement(false, item->EndTail);
      }
      break;
    case xkText: {
      // The node's own spellings over the table's, so that mixed content keeps its look.
      TXmlSpecialBytes modes = Overlay(item->SpecialCharForms, Entities.EntityModes);
      String s = Escape(item->Value, modes, item->CharacterFormsOrNull(), false);
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
}
