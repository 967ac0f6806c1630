#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "lib/core/kyfileutils.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"
#include "resstrings.h"

namespace {

constexpr size_t kMaxDepth = 1000;

inline bool IsWs(Char c) { return c == 9 || c == 10 || c == 13 || c == 32 || c == 160; }

size_t SkipWs(StringView s, size_t i) {
  while (i < s.size() && IsWs(s[i])) ++i;
  return i;
}

TXmlHttpFetch& HttpFetch() {
  static TXmlHttpFetch fetch;
  return fetch;
}

bool IsAbsolutePath(StringView p) {
  return !p.empty() && (p[0] == u'/' || p[0] == u'\\' || (p.size() >= 2 && p[1] == u':'));
}

bool IsHttp(StringView id) { return StartsText(u"http://", id); }

// The folder (or address prefix) of an identifier, with its trailing delimiter.
String BaseOf(const String& id) {
  size_t p = id.find_last_of(IsHttp(id) ? u"/" : u"/\\");
  return p == String::npos ? String() : id.substr(0, p + 1);
}

String Resolve(const String& id, const String& baseDir) {
  if (id.empty() || IsHttp(id) || IsAbsolutePath(id) || baseDir.empty()) return id;
  String base = baseDir;
  if (base.back() != u'/' && base.back() != u'\\') base.push_back(IsHttp(base) ? u'/' : PathDelimiter());
  return base + id;
}

// A quoted literal at I (double quote, or an apostrophe); I moves past it.
String ReadLiteral(StringView s, size_t& i) {
  i = SkipWs(s, i);
  if (i >= s.size() || (s[i] != u'"' && s[i] != u'\'')) return String();
  Char q = s[i];
  size_t e = s.find(q, i + 1);
  if (e == StringView::npos) e = s.size();
  String v(s.substr(i + 1, e - i - 1));
  i = std::min(e + 1, s.size());
  return v;
}

// The whole of Bytes as text, line breaks kept.
String DecodeBytes(const RawBytes& bytes, Byte defaultEncoding, const String& declaredFallback = String()) {
  TMemoryStream ms;
  ms.WriteBuffer(bytes.data(), bytes.size());
  ms.SetPosition(0);
  TKyTextFile t;
  t.SetEncoding(defaultEncoding);
  if (!declaredFallback.empty()) t.SetEncodingName(declaredFallback);
  t.KeepLineBreaks = true;
  t.Open(&ms, false);
  String text, line;
  while (t.ReadLine(line)) text += line;
  t.Close();
  return text;
}

// The class of an encoding name as the text file would set it; Detected gives the byte
// order of the generic UTF-16 names.
Byte EncodingClassOf(StringView name, Byte detected) {
  if (SameText(name, u"utf-8")) return TKyTextFile::ekUtf8;
  if (SameText(name, u"UTF-16") || SameText(name, u"ucs-2") || SameText(name, u"ISO-10646-UCS-2"))
    return detected == TKyTextFile::ekUtf16BE ? TKyTextFile::ekUtf16BE : TKyTextFile::ekUtf16LE;
  if (SameText(name, u"unicode")) return TKyTextFile::ekUtf16LE;
  if (SameText(name, u"unicodeFFFE")) return TKyTextFile::ekUtf16BE;
  return TKyTextFile::ekCodePage;
}

}  // namespace

void SetXmlHttpFetch(TXmlHttpFetch fetch) { HttpFetch() = std::move(fetch); }
const TXmlHttpFetch& GetXmlHttpFetch() { return HttpFetch(); }

String XmlIncludedText(const String& identifier, const String& baseDir) {
  String id = Resolve(identifier, baseDir);
  if (id.empty()) return String();
  if (IsHttp(id)) {
    RawBytes body;
    try {
      if (!HttpFetch() || !HttpFetch()(id, body)) return String();
      return DecodeBytes(body, TKyTextFile::ekUtf8);
    } catch (const Exception&) {
      return String();
    }
  }
  if (!FileExists(id)) {
    if (SameText(ExtractFileExt(id), u".dtd")) throw Exception(Format(SXmlIncludeMissing, {identifier}));
    return String();
  }
  TMemoryStream ms;
  ms.LoadFromFile(id);
  const RawBytes& bytes = ms.Bytes();
  // UTF-16 (by its mark or a leading "<") is decoded before anything is looked at: its
  // first raw byte says nothing about its first character.
  bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0 ||
               bytes.compare(0, 2, std::string("<\0", 2)) == 0 || bytes.compare(0, 2, std::string("\0<", 2)) == 0;
  String wide = utf16 ? DecodeBytes(bytes, TKyTextFile::ekUtf8) : String();
  size_t size = utf16 ? wide.size() : bytes.size();
  auto at = [&](size_t k) -> unsigned { return utf16 ? wide[k] : static_cast<unsigned char>(bytes[k]); };
  // The first non-blank character decides whether this is markup.
  size_t i = !utf16 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (i < size && (at(i) == ' ' || at(i) == '\t' || at(i) == '\r' || at(i) == '\n' || at(i) == 0)) ++i;
  bool markup = i < size && at(i) == '<';
  if (markup && i + 5 <= size) {
    std::string w;
    for (size_t k = i + 1; k < i + 5; ++k) w.push_back(static_cast<char>(at(k) < 0x80 ? at(k) | 0x20 : 0));
    if (w == "html") markup = false;
  }
  if (!markup) {
    String text = utf16 ? wide : DecodeBytes(bytes, TKyTextFile::ekCodePage);
    TStringList lines;
    lines.SetText(text);
    return lines.Text();
  }
  String text;
  if (utf16) {
    text = std::move(wide);
  } else {
    // The declaration's encoding applies to the rest, unless a byte-order mark fixed it.
    String declared;
    size_t d = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (bytes.compare(d, 5, "<?xml") == 0) {
      size_t end = bytes.find("?>", d);
      String decl = AsciiToString(bytes.substr(d, end == RawBytes::npos ? 0 : end - d));
      size_t enc = decl.find(u"encoding");
      size_t k = enc == String::npos ? String::npos : decl.find(u'=', enc);
      if (k != String::npos) {
        ++k;
        declared = ReadLiteral(decl, k);
      }
    }
    text = DecodeBytes(bytes, TKyTextFile::ekUtf8, d == 0 ? declared : String());
  }
  size_t s = SkipWs(text, 0);
  if (text.compare(s, 5, u"<?xml") != 0) return text;
  size_t e = text.find(u"?>", s);
  return e == String::npos ? String() : text.substr(e + 2);
}

// The parse of one load; all state lives here or in the document.
class TXmlReader {
 public:
  explicit TXmlReader(TKyXmlFile& file) : F(file), T(file.TextFile), E(file.Entities) {}

  void Run();

 private:
  // ---- buffer
  size_t Avail() const { return Buf.size() - Pos; }
  Char Peek(size_t k) const { return Pos + k < Buf.size() ? Buf[Pos + k] : 0; }
  bool More();
  bool Ensure(size_t n) {
    while (Avail() < n)
      if (!More()) return false;
    return true;
  }
  bool StartsWith(StringView s) { return Ensure(s.size()) && StringView(Buf).substr(Pos, s.size()) == s; }
  size_t FindText(StringView s, size_t from = 0, Char forbidden = 0);
  // Line and column are counted over the consumed text only when asked for (an error) or
  // before the buffer drops it: counting every character as it is consumed costs much.
  void CountPosition();
  void Consume(size_t n) { Pos += std::min(n, Avail()); }
  String Take(size_t n) {
    n = std::min(n, Avail());
    String s = Buf.substr(Pos, n);
    Consume(n);
    return s;
  }
  TXmlWhitespace ReadWhitespace();
  // Characters up to the end of the name at the read position.
  size_t NameLength(bool stopAtQuestion);
  String ReadName(bool stopAtQuestion = false);
  // The next K characters as a name shared with earlier nodes of the same name.
  TXmlString TakeName(size_t k);
  // Text shared with an earlier value of the same text where one is at hand: attribute
  // values such as state="translated" and the whitespace nodes repeat throughout.
  TXmlString Shared(StringView text);

  // ---- errors
  [[noreturn]] void Fail(const String& reason);
  [[noreturn]] void Fail(const TResString& reason) { Fail(LoadResString(reason)); }
  [[noreturn]] void Unclosed(const String& construct) { Fail(Format(SXmlUnclosedConstruct, {construct})); }

  // ---- parse
  bool ParseContent(TKyXmlElement* given);
  bool Markup(TKyXmlElement* given);
  void CharData();
  void AddText(StringView lead, StringView text, StringView trail);
  void DropPending() {
    Pending.reset();
    PendingValue_.clear();
  }
  bool StartTag(TKyXmlElement* given);
  bool EndTag(TKyXmlElement* given);
  void Declaration();
  // A construct that runs from "<" Open to Close, its text the node's value.
  void Delimited(StringView open, StringView close, Byte kind);
  void DocType();
  bool ReadAttribute(TKyXmlElement& element);
  void AddNode(std::unique_ptr<TKyXmlElement> node);
  void Collapse(TKyXmlElement& e);
  void ProcessDocType(const String& value);
  void ParseDeclarations(String text);
  bool Preserving() const { return (F.Options & xoPreserveWhiteSpace) != 0; }
  void TakeForms(TKyXmlItem& item) {
    if (!Scratch.Empty()) item.CharacterForms().Assign(Scratch);
  }

  TKyXmlFile& F;
  TKyTextFile& T;
  String Chunk_;
  bool FirstRead_ = true;
  TKyXmlFileEntities& E;
  String Buf;
  size_t Pos = 0;
  int Line = 1;
  int Column = 1;
  size_t Counted_ = 0;  // Line and Column hold the position of Buf[Counted_]
  Char LastBreak = 0;
  bool InputDone = false;
  std::vector<TKyXmlElement*> Stack;
  TKyXmlElement* Current = nullptr;
  int OpenTags = 0;
  // The whitespace text read last, until the next markup decides its fate: a node in the
  // preserving layout, else only its text.
  std::unique_ptr<TKyXmlElement> Pending;
  TXmlString PendingValue_;
  TKyXmlItemEntities Scratch;
  String Text_;  // decoded text, its room reused
  // Attribute objects whose content went into a packed list, for the next tags.
  std::vector<std::unique_ptr<TKyXmlAttribute>> SpareAttributes_;
  // Names seen in this load; the keys view the kept strings' own text.
  std::unordered_map<StringView, TXmlString> Names_;
  std::array<TXmlString, 256> RecentNames_;
  static constexpr size_t kSharedSlots = 1024;
  static constexpr size_t kSharedMaxLength = 64;
  std::vector<TXmlString> Shared_ = std::vector<TXmlString>(kSharedSlots);
  size_t Expanded = 0;  // characters that entity expansion added to character data
  bool Halt = false;    // this load was asked to stop
  bool DeclarationSeen_ = false;
  size_t TagEnd_ = String::npos;  // a ">" in Buf at or after the tag being read
};

bool TXmlReader::More() {
  if (InputDone) return false;
  if (Pos > 0 && (Pos == Buf.size() || Pos >= 4096)) {
    CountPosition();
    Buf.erase(0, Pos);
    Pos = 0;
    Counted_ = 0;
    TagEnd_ = String::npos;
  }
  if (FirstRead_) {
    FirstRead_ = false;
    // A declaration ends its chunk, so that the encoding it names applies to every byte after it.
    if (T.PeekChar(0) == u'<' && T.PeekChar(1) == u'?' && T.PeekChar(2) == u'x' && T.PeekChar(3) == u'm' &&
        T.PeekChar(4) == u'l') {
      while (T.ReadLine(u'>', Chunk_)) {
        Buf += Chunk_;
        if (!T.SkipChar(u'>')) break;
        Buf.push_back(u'>');
        if (Buf.size() >= 2 && Buf[Buf.size() - 2] == u'?') break;
      }
      if (Pos < Buf.size()) return true;
    }
  }
  if (!T.ReadLine(u'<', Chunk_)) {
    InputDone = true;
    return false;
  }
  Buf += Chunk_;
  if (F.OnProgress && T.Size > 0) {
    int percent = static_cast<int>(T.BytePosition() * 100 / T.Size);
    if (percent != F.LastPercent) {
      F.LastPercent = percent;
      bool stop = false;
      F.OnProgress(&F, percent, stop);
      if (stop) F.Stopped = Halt = true;
    }
  }
  return true;
}

size_t TXmlReader::FindText(StringView s, size_t from, Char forbidden) {
  size_t checked = from;  // relative to Pos
  for (;;) {
    size_t p = s.size() == 1 ? Buf.find(s[0], Pos + from) : Buf.find(s.data(), Pos + from, s.size());
    if (forbidden) {
      size_t limit = p == String::npos ? Buf.size() : p;
      size_t f = Buf.find(forbidden, Pos + checked);
      if (f != String::npos && f < limit) throw Exception(LoadResString(SXmlInvalidFile));
      checked = limit - Pos;
    }
    if (p != String::npos) return p - Pos;
    from = Avail() >= s.size() ? Avail() - s.size() + 1 : 0;
    if (!More()) return String::npos;
  }
}

void TXmlReader::CountPosition() {
  const Char* p = Buf.data();
  size_t i = Counted_;
  size_t n = Pos;
  while (i < n) {
    // Up to the next line break in one step, four characters at a time while none of
    // them is below 14.
    size_t run = i;
    for (;;) {
      while (run + 4 <= n) {
        std::uint64_t w;
        std::memcpy(&w, p + run, 8);
        if ((w - 0x000E000E000E000EULL) & ~w & 0x8000800080008000ULL) break;
        run += 4;
      }
      if (run >= n || p[run] == 13 || p[run] == 10) break;
      ++run;
    }
    if (run > i) {
      Column += static_cast<int>(run - i);
      LastBreak = 0;
      i = run;
      if (i == n) break;
    }
    Char c = p[i++];
    if (LastBreak && LastBreak != c) {
      LastBreak = 0;  // the second half of CR LF or LF CR
    } else {
      ++Line;
      Column = 1;
      LastBreak = c;
    }
  }
  Counted_ = n;
}

TXmlWhitespace TXmlReader::ReadWhitespace() {
  size_t k = 0;
  while (k + 1 < Avail() && IsWs(Buf[Pos + k])) ++k;
  TXmlWhitespace w(StringView(Buf).substr(Pos, k));
  Consume(k);
  return w;
}

namespace {

// For names and short values: their ends and middle tell most apart, and a collision only
// costs a lookup or a copy.
size_t NameHash(StringView s) {
  size_t n = s.size();
  if (n == 0) return 0;
  return n * 0x9E37u ^ s[0] * 0x85EBu ^ s[n - 1] * 0xC2B2u ^ s[n / 2] * 0x27D4u ^ s[(n - 1) / 3] * 0x1657u;
}

}  // namespace

TXmlString TXmlReader::TakeName(size_t k) {
  k = std::min(k, Avail());
  StringView s = StringView(Buf).substr(Pos, k);
  // The last names seen answer most lookups before the table is asked.
  TXmlString& recent = RecentNames_[NameHash(s) % RecentNames_.size()];
  if (recent != s) {
    auto it = Names_.find(s);
    if (it != Names_.end()) {
      recent = it->second;
    } else {
      recent = s;
      // Bounded, so that a document of distinct names does not grow the table without end.
      if (Names_.size() < 4096) Names_.emplace(recent.View(), recent);
    }
  }
  TXmlString name = recent;
  Consume(k);
  return name;
}

TXmlString TXmlReader::Shared(StringView text) {
  if (text.size() > kSharedMaxLength) return TXmlString(text);
  TXmlString& slot = Shared_[NameHash(text) % kSharedSlots];
  if (slot != text) slot = text;
  return slot;
}

size_t TXmlReader::NameLength(bool stopAtQuestion) {
  size_t k = 0;
  for (;;) {
    while (k < Avail()) {
      Char c = Buf[Pos + k];
      if (c == u'>' || c == u'/' || IsWs(c) || (stopAtQuestion && c == u'?')) return k;
      ++k;
    }
    if (!More()) Fail(SXmlInvalidName);
  }
}

String TXmlReader::ReadName(bool stopAtQuestion) { return Take(NameLength(stopAtQuestion)); }

void TXmlReader::Fail(const String& reason) {
  CountPosition();
  String excerpt = Buf.substr(Pos, 4096);
  String msg = LoadResString(SXmlParseError) + u"\r\n" + reason + u"\r\n" + Format(SXmlLinePos, {Line, Column}) +
               u"\r\n\"" + excerpt + u"\"";
  if (!T.FileName.empty()) msg += u"\r\n\r\n" + Format(SXmlCannotRead, {ExtractFileName(T.FileName)});
  throw EXmlException(msg, Line, Column, excerpt);
}

void TXmlReader::Run() {
  Line = Column = 1;
  Char first = T.PeekChar(0);
  if (first == 0 && T.Eof()) return;  // no text at all: an empty document
  if (!(first == 9 || first == 10 || first == 13 || first == 32 || first == u'<')) {
    More();
    Fail(SXmlInvalidTopLevel);
  }
  ParseContent(nullptr);
  if (Pending) AddNode(std::move(Pending));
  DropPending();
}

bool TXmlReader::ParseContent(TKyXmlElement* given) {
  std::vector<TKyXmlElement*> outerStack;
  TKyXmlElement* outerCurrent = Current;
  if (given) {
    outerStack.swap(Stack);
    Stack.push_back(given);
    Current = given;
  }
  bool ended = false;
  for (;;) {
    if (Avail() == 0 && !More()) break;
    if (Halt) break;  // a Stopped left over from an earlier load does not count
    if (Buf[Pos] == u'<') {
      if (Markup(given)) {
        ended = true;
        break;
      }
    } else {
      CharData();
    }
  }
  if (given) {
    Stack.swap(outerStack);
    Current = outerCurrent;
  }
  return ended;
}

void TXmlReader::AddNode(std::unique_ptr<TKyXmlElement> node) {
  if (Current)
    Current->AddElement(std::move(node));
  else
    F.AddItem(std::move(node));
}

bool TXmlReader::Markup(TKyXmlElement* given) {
  if (Pending && Preserving()) AddNode(std::move(Pending));
  Consume(1);
  if (!Ensure(1)) Unclosed(u"<");
  Char c = Peek(0);
  if (IsWs(c)) throw Exception(LoadResString(SXmlInvalidFile));
  bool stop = false;
  if (c == u'?') {
    Consume(1);
    String target = ReadName(true);
    if (target == u"xml") {
      Declaration();
      stop = F.DeclarationOnly;
    } else {
      size_t d = FindText(u"?>");
      if (d == String::npos) Unclosed(u"<?" + target);
      auto node = std::make_unique<TKyXmlElement>(String(), xkProcessingInstruction);
      node->Value = target + Buf.substr(Pos, d);
      Consume(d + 2);
      AddNode(std::move(node));
    }
  } else if (c == u'!' && StartsWith(u"![CDATA[")) {
    Delimited(u"![CDATA[", u"]]>", xkCData);
  } else if (c == u'!' && StartsWith(u"!DOCTYPE")) {
    DocType();
  } else if (c == u'%') {
    Delimited(u"%", u"%>", xkScript);
  } else if (c == u'!' && StartsWith(u"!--")) {
    Delimited(u"!--", u"-->", xkComment);
  } else if (c == u'!') {
    size_t d = FindText(u">");
    if (d == String::npos) Unclosed(u"<!");
    Consume(d + 1);
  } else if (c == u'/') {
    stop = EndTag(given);
  } else {
    stop = StartTag(given);
  }
  DropPending();
  return stop;
}

void TXmlReader::Delimited(StringView open, StringView close, Byte kind) {
  Consume(open.size());
  size_t d = FindText(close);
  if (d == String::npos) Unclosed(u"<" + String(open));
  auto node = std::make_unique<TKyXmlElement>(String(), kind);
  node->Value = Take(d);
  Consume(close.size());
  AddNode(std::move(node));
}

void TXmlReader::Declaration() {
  bool atStart = !Current && !F.Root() && !DeclarationSeen_;
  DeclarationSeen_ = true;
  auto node = std::make_unique<TKyXmlElement>(u"xml", xkDeclaration);
  node->Tail = ReadWhitespace();
  while (ReadAttribute(*node)) {
    TKyXmlAttribute* a = node->Attributes.Items(node->Attributes.Count() - 1);
    if (SameText(a->Name, u"version")) {
      F.Version = a->Value.Str();
      if (a->Value != u"1.0") throw Exception(Format(SXmlUnknownVersion, {a->Value.View()}));
    } else if (SameText(a->Name, u"encoding")) {
      F.Encoding = a->Value.Str();
      // Only the document's own declaration switches the decoding, not one that an
      // entity's text brings into the middle of it.
      if (!(F.Options & xoIgnoreEncoding) && atStart) {
        if (T.EncodingDetected && EncodingClassOf(a->Value, T.Encoding) != T.Encoding)
          throw Exception(Format(SXmlEncodingConflict, {T.EncodingName(), a->Value.View()}));
        T.SetEncodingName(a->Value);
      }
    }
  }
  if (StartsWith(u"?>"))
    Consume(2);
  else if (Peek(0) == u'>')
    Consume(1);
  else
    Unclosed(u"<?xml");
  AddNode(std::move(node));
}

void TXmlReader::DocType() {
  Consume(9);
  size_t d = FindText(u">");
  if (d == String::npos) Unclosed(u"<!DOCTYPE");
  size_t b = Buf.find(u'[', Pos);
  String value;
  if (b != String::npos && b - Pos < d) {
    // The internal subset ends at a "]" that is followed by the closing ">".
    size_t from = b - Pos + 1;
    for (;;) {
      size_t e = FindText(u"]", from);
      if (e == String::npos) Unclosed(u"<!DOCTYPE");
      size_t k = e + 1;
      for (;;) {
        if (!Ensure(k + 1)) Unclosed(u"<!DOCTYPE");
        if (!IsWs(Buf[Pos + k])) break;
        ++k;
      }
      if (Buf[Pos + k] == u'>') {
        value = Take(k);
        Consume(1);
        break;
      }
      from = e + 1;
    }
  } else {
    value = Take(d);
    Consume(1);
  }
  ProcessDocType(value);
  auto node = std::make_unique<TKyXmlElement>(String(), xkDocType);
  node->Value = value;
  AddNode(std::move(node));
}

void TXmlReader::ProcessDocType(const String& value) {
  StringView v = value;
  size_t i = SkipWs(v, 0);
  while (i < v.size() && !IsWs(v[i]) && v[i] != u'[') ++i;  // the root name
  i = SkipWs(v, i);
  String systemId;
  if (v.compare(i, 6, u"SYSTEM") == 0) {
    i += 6;
    systemId = ReadLiteral(v, i);
  } else if (v.compare(i, 6, u"PUBLIC") == 0) {
    i += 6;
    ReadLiteral(v, i);
    systemId = ReadLiteral(v, i);
  } else if (i < v.size() && v[i] == u'[') {
    size_t e = v.rfind(u']');
    if (e == StringView::npos || e < i) e = v.size();
    ParseDeclarations(String(v.substr(i + 1, e - i - 1)));
  }
  if (systemId.empty() || F.IgnoreExternalDtd) return;
  String base = E.BaseDir;
  E.BaseDir = BaseOf(Resolve(systemId, base));
  ParseDeclarations(XmlIncludedText(systemId, base));
}

void TXmlReader::ParseDeclarations(String text) {
  size_t i = 0;
  size_t replacements = 0;
  size_t added = 0;  // characters the replacements added beyond their references
  while (i < text.size()) {
    StringView s = text;
    Char c = s[i];
    if (IsWs(c)) {
      ++i;
    } else if (s.compare(i, 8, u"<!ENTITY") == 0) {
      i = SkipWs(s, i + 8);
      bool parameter = i < s.size() && s[i] == u'%';
      if (parameter) i = SkipWs(s, i + 1);
      size_t n = i;
      while (i < s.size() && !IsWs(s[i]) && s[i] != u'"' && s[i] != u'\'' && s[i] != u'>') ++i;
      String name(s.substr(n, i - n));
      i = SkipWs(s, i);
      auto entity = std::make_unique<TKyXmlEntity>();
      entity->Name = name;
      if (s.compare(i, 6, u"SYSTEM") == 0 || s.compare(i, 6, u"PUBLIC") == 0) {
        bool isPublic = s[i] == u'P';
        i += 6;
        String id = ReadLiteral(s, i);
        if (isPublic) id = ReadLiteral(s, i);
        entity->EntityKind = 2;
        entity->Value = XmlIncludedText(id, E.BaseDir);
      } else {
        String literal = ReadLiteral(s, i);
        entity->EntityKind = 1;
        entity->Value = E.Decode(literal, ekPredefined | ekInternal, nullptr);
      }
      size_t gt = text.find(u'>', i);
      i = gt == String::npos ? text.size() : gt + 1;
      if (parameter)
        E.ParameterEntities.push_back(std::move(entity));
      else
        E.AddEntity(std::move(entity));
    } else if (s.compare(i, 4, u"<!--") == 0) {
      size_t e = text.find(u"-->", i + 4);
      i = e == String::npos ? text.size() : e + 3;
    } else if (s.compare(i, 2, u"<!") == 0) {
      size_t e = text.find(u'>', i);
      i = e == String::npos ? text.size() : e + 1;
    } else if (c == u'%') {
      size_t e = text.find(u';', i);
      if (e == String::npos) {
        ++i;
        continue;
      }
      String name = text.substr(i + 1, e - i - 1);
      TKyXmlEntity* pe = E.FindParameterEntity(name);
      size_t reference = e + 1 - i;
      const String replacement = pe ? pe->Value : String();
      if (replacement.size() > reference) added += replacement.size() - reference;
      // Self-referencing parameter entities would grow the text without end.
      if (++replacements > 20000 || added > E.MaxExpansion)
        throw Exception(Format(SXmlExpansionTooLarge, {static_cast<long long>(E.MaxExpansion)}));
      text.replace(i, reference, replacement);
    } else {
      ++i;
    }
  }
}

bool TXmlReader::ReadAttribute(TKyXmlElement& element) {
  // The tag is in the buffer up to a ">"; once found, that holds for its other attributes.
  if (TagEnd_ == String::npos || TagEnd_ < Pos) {
    size_t d = FindText(u">");
    TagEnd_ = d == String::npos ? String::npos : Pos + d;
  }
  if (Avail() == 0) return false;
  Char c = Peek(0);
  if (c == u'>' || c == u'/' || c == u'?') return false;
  std::unique_ptr<TKyXmlAttribute> a;
  if (SpareAttributes_.empty()) {
    a = std::make_unique<TKyXmlAttribute>();
  } else {
    a = std::move(SpareAttributes_.back());
    SpareAttributes_.pop_back();
  }
  size_t k = 0;
  while (k < Avail() && Buf[Pos + k] != u'=' && Buf[Pos + k] != u'>' && !IsWs(Buf[Pos + k])) ++k;
  a->Name = TakeName(k);
  a->SpaceBeforeEquals = ReadWhitespace();
  Consume(1);
  a->SpaceAfterEquals = ReadWhitespace();
  Char q = Peek(0);
  if (q != u'"' && q != u'\'') Fail(SXmlNoQuote);
  a->QuoteKind = q == u'"' ? 0 : 1;
  Consume(1);
  size_t e = FindText(StringView(&q, 1));
  if (e == String::npos) Unclosed(a->Name.Str());
  E.DecodeTo(Text_, StringView(Buf).substr(Pos, e), F.EntityKinds & ekPredefined, &Scratch, true);
  Consume(e);
  StringView value = Text_;
  if (F.Options & xoTrimText) {
    size_t b = 0, t = value.size();
    while (b < t && IsWs(value[b])) ++b;
    while (t > b && IsWs(value[t - 1])) --t;
    if (Preserving()) {
      if (b > 0) a->LeadingSpace = value.substr(0, b);
      if (t < value.size()) a->TrailingSpace = value.substr(t);
    }
    value = value.substr(b, t - b);
  }
  // As ChangeValue does, but sharing the text.
  if (a->Value != value) {
    a->Value = Shared(value);
    a->ValueChanged();
  }
  Consume(1);
  a->SpecialCharForms = E.LastForms;
  // The delimiter must come back escaped; a reference form seen for it already is one.
  Byte& delimiter = a->SpecialCharForms[q == u'"' ? scQuot : scApos];
  if (!delimiter) delimiter = efNamed;
  TakeForms(*a);
  a->SpaceAfter = ReadWhitespace();
  element.Attributes.Add(std::move(a));
  return true;
}

bool TXmlReader::StartTag(TKyXmlElement* given) {
  auto e = std::make_unique<TKyXmlElement>();
  e->Name = TakeName(NameLength(false));
  e->Parent = Current;
  e->Tail = ReadWhitespace();
  while (ReadAttribute(*e)) {
  }
  e->Attributes.Compact(&SpareAttributes_);
  if (Avail() == 0) Unclosed(u"<" + e->Name);
  if (Peek(0) == u'/') {
    e->SetKind(xkEmptyElement);
    Consume(2);
  } else {
    Consume(1);
    ++OpenTags;
  }
  if (!F.OnElement || given) {
    bool open = e->Kind() == xkElement;
    TKyXmlElement* added = e.get();
    AddNode(std::move(e));
    if (open) {
      // Deeper trees would overflow the stack of the recursive writer and its callers.
      if (Stack.size() >= kMaxDepth) Fail(Format(SXmlTooDeep, {static_cast<int>(kMaxDepth)}));
      Stack.push_back(added);
      Current = added;
    }
    return false;
  }
  Byte action = 0;
  F.OnElement(&F, e.get(), action);
  if (action == 2) {
    F.Stopped = Halt = true;
    return true;
  }
  if (action == 1 && e->Kind() == xkElement) {
    --OpenTags;
    ParseContent(e.get());
  }
  return Halt;
}

bool TXmlReader::EndTag(TKyXmlElement* given) {
  FindText(u">", 0, u'<');
  Consume(1);
  String name = ReadName();
  if (!Current) {
    if (!F.OnElement || given) throw Exception(Format(SXmlInvalidEndTag, {name}));
    ReadWhitespace();
    Consume(1);
    if (OpenTags > 0) --OpenTags;
    return false;
  }
  if (Current->Name != name) throw Exception(Format(SXmlEndTagMismatch, {name, Current->Name.View()}));
  Current->EndTail = ReadWhitespace();
  if (Peek(0) != u'>') Fail(SXmlInvalidName);
  Consume(1);
  Collapse(*Current);
  Stack.pop_back();
  Current = Stack.empty() ? nullptr : Stack.back();
  if (OpenTags > 0) --OpenTags;
  return Stack.empty() && given;
}

void TXmlReader::Collapse(TKyXmlElement& e) {
  int n = e.ElementCount();
  bool pending = n == 0 && e.Value.empty() && (Pending || !PendingValue_.empty());
  if (pending || (n == 1 && e.Elements(0)->Kind() == xkWhiteSpace)) {
    // As ChangeValue does, but sharing the text.
    e.Value = !pending ? e.Elements(0)->Value : Pending ? Pending->Value : PendingValue_;
    e.ValueChanged();
    // Whitespace from the source: a carriage return in it goes back raw.
    if (e.Value.View().find(u'\r') != StringView::npos) e.CharacterForms().FindOrAdd(u'\r').Forms |= efPlain;
    if (pending)
      DropPending();
    else
      e.DeleteElement(0);
  } else if (n == 1 && e.HasText && e.Elements(0)->Kind() == xkText) {
    TKyXmlElement* c = e.Elements(0);
    e.LeadingSpace = std::move(c->LeadingSpace);
    e.Value = std::move(c->Value);
    e.SpecialCharForms = c->SpecialCharForms;
    e.TrailingSpace = std::move(c->TrailingSpace);
    e.TakeCharacterForms(c->ReleaseCharacterForms());
    e.DeleteElement(0);
  }
}

void TXmlReader::CharData() {
  bool trim = (F.Options & xoTrimText) && !(Current && Current->PreservesSpace());
  // Only entities that a document declares expand into markup; with none declared the
  // text is decoded once, straight from the buffer, when it lies there whole.
  Byte expand = E.Count() > 5 ? F.EntityKinds & (ekInternal | ekExternal) : 0;
  if (!expand) {
    size_t lt = Buf.find(u'<', Pos);
    if (lt != String::npos) {
      StringView all = StringView(Buf).substr(Pos, lt - Pos);
      size_t b = 0, t = all.size();
      if (trim) {
        while (b < t && IsWs(all[b])) ++b;
        while (t > b && IsWs(all[t - 1])) --t;
      }
      AddText(all.substr(0, b), all.substr(b, t - b), all.substr(t));
      Consume(all.size());
      return;
    }
  }
  String lead, text, trail;
  bool first = true;
  for (;;) {
    if (Avail() == 0 && !More()) break;
    if (Buf[Pos] == u'<') break;
    if (expand) {
      size_t lt = Buf.find(u'<', Pos);
      size_t len = (lt == String::npos ? Buf.size() : lt) - Pos;
      StringView piece = StringView(Buf).substr(Pos, len);
      if (piece.find(u'&') != StringView::npos) {
        String decoded = E.Decode(piece, expand, nullptr);
        if (decoded.size() > piece.size()) {
          // Replacement text is parsed again, so an entity that names itself would never end.
          Expanded += decoded.size() - piece.size();
          if (Expanded > E.MaxExpansion)
            throw Exception(Format(SXmlExpansionTooLarge, {static_cast<long long>(E.MaxExpansion)}));
        }
        if (decoded != piece) Buf.replace(Pos, len, decoded);
        if (Avail() == 0) continue;
        if (Buf[Pos] == u'<') break;
      }
    }
    if (first && trim) {
      size_t k = 0;
      while (k < Avail() && IsWs(Buf[Pos + k])) ++k;
      lead.append(Buf, Pos, k);
      Consume(k);
    }
    first = false;
    size_t lt = Buf.find(u'<', Pos);
    size_t len = (lt == String::npos ? Buf.size() : lt) - Pos;
    text.append(Buf, Pos, len);
    Consume(len);
    if (lt != String::npos) break;
  }
  if (trim) {
    size_t t = text.size();
    while (t > 0 && IsWs(text[t - 1])) --t;
    trail = text.substr(t);
    text.resize(t);
  }
  AddText(lead, text, trail);
}

void TXmlReader::AddText(StringView lead, StringView text, StringView trail) {
  if (std::all_of(text.begin(), text.end(), IsWs)) {
    TXmlString value = text.empty() ? (trail.empty() ? Shared(lead) : Shared(String(lead) + String(trail))) : Shared(text);
    if (Preserving()) {
      if (Pending) AddNode(std::move(Pending));
      Pending = std::make_unique<TKyXmlElement>(String(), xkWhiteSpace);
      Pending->Value = std::move(value);
    } else {
      // Kept only for an element that turns out to hold nothing else.
      PendingValue_ = std::move(value);
    }
    return;
  }
  auto node = std::make_unique<TKyXmlElement>(String(), xkText);
  E.DecodeTo(Text_, text, F.EntityKinds & ekPredefined, &Scratch);
  node->Value = StringView(Text_);
  node->LeadingSpace = lead;
  node->TrailingSpace = trail;
  node->SpecialCharForms = E.LastForms;
  TakeForms(*node);
  if (Current) Current->HasText = true;
  AddNode(std::move(node));
}

bool TKyXmlFile::LoadFromFile(const String& fileName) {
  Entities.BaseDir = ExtractFilePath(fileName);
  // Owned, the text file reads the file in large blocks.
  TextFile.SetEncoding(TKyTextFile::ekUtf8);
  TextFile.OpenRead(fileName);
  return Load();
}

bool TKyXmlFile::LoadFromStream(TStream& stream) {
  TextFile.SetEncoding(TKyTextFile::ekUtf8);
  TextFile.Open(&stream, false);
  return Load();
}

bool TKyXmlFile::Load() {
  Clear();
  try {
    TXmlReader reader(*this);
    reader.Run();
  } catch (...) {
    TextFile.WriteBom = TextFile.HadBom;
    TextFile.Close();
    throw;
  }
  TextFile.WriteBom = TextFile.HadBom;
  if (!DeclarationOnly) TextFile.Close();
  return !Stopped;
}
