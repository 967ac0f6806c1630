// XML document model with a whitespace- and spelling-preserving reader and writer.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyobjects.h"
#include "lib/core/kystreams.h"
#include "lib/core/kystringlist.h"
#include "lib/core/kytextfile.h"
#include "lib/core/kytypes.h"
#include "lib/xml/kyxmlarray.h"
#include "lib/xml/kyxmlpool.h"
#include "lib/xml/kyxmlspace.h"
#include "lib/xml/kyxmlstring.h"

// Node kinds; the numbers are what Kind holds and what the writer switches on.
enum TKyXmlItemKind : Byte {
  xkDeclaration = 0,
  xkDocType = 1,
  xkElementDeclaration = 2,
  xkCData = 3,
  xkScript = 4,
  xkProcessingInstruction = 5,
  xkComment = 6,
  xkEmptyElement = 7,
  xkElement = 8,
  xkText = 9,
  xkWhiteSpace = 10,
};

// Document options (bit set).
enum : Byte {
  xoIgnoreEncoding = 1 << 0,
  xoPreserveWhiteSpace = 1 << 1,
  xoTrimText = 1 << 2,
};

// Which references are expanded (bit set).
enum : Byte {
  ekPredefined = 1 << 0,  // predefined entities and character references
  ekInternal = 1 << 1,
  ekExternal = 1 << 2,
};

// Forms of a special character or character reference (bit set).
enum : Byte {
  efPlain = 1 << 0,
  efNamed = 1 << 1,
  efDecimal = 1 << 2,
  efHex = 1 << 3,
};

// Write modes of a special character.
enum : Byte { emPlain = 0, emNamed = 1, emDecimal = 2, emHex = 3 };

// The special characters in their fixed order.
enum { scAmp = 0, scApos = 1, scQuot = 2, scGt = 3, scLt = 4 };
using TXmlSpecialBytes = std::array<Byte, 5>;

class TKyXmlElement;
class TKyXmlFile;

// How one character was written as a character reference in a node's source.
class TXmlEntityData {
 public:
  char32_t CharCode = 0;  // a code point, so that references above U+FFFF keep their form
  Byte Forms = 0;          // efDecimal, efHex
  Byte HexCase = 0;        // bit 0 a lower-case hex letter seen, bit 1 an upper-case one
  bool HexLeadingZero = false;
  // Digits as written, leading zeros included (0: as few as the code needs), so that
  // "&#09;" and "&#x000A;" come back as they were.
  Byte HexDigits = 0;
  Byte DecimalDigits = 0;

  bool operator==(const TXmlEntityData& o) const {
    return CharCode == o.CharCode && Forms == o.Forms && HexCase == o.HexCase && HexLeadingZero == o.HexLeadingZero &&
           HexDigits == o.HexDigits && DecimalDigits == o.DecimalDigits;
  }
};

// The source text of a value that the forms cannot give back (a character spelled raw
// and as a reference, or in two ways), and the value it decoded to: while the node's
// value is still that, the writer writes the source text.
struct TXmlSourceText {
  String Source;
  String Value;
  bool operator==(const TXmlSourceText& o) const { return Source == o.Source && Value == o.Value; }
};

// Owning list of TXmlEntityData of one node. Translation documents give many nodes a
// reference or two, so the list lives in the node pool with room for what it holds.
class TKyXmlItemEntities : public TKyObject {
 public:
  TKyXmlItemEntities() = default;
  TKyXmlItemEntities(const TKyXmlItemEntities&) = delete;
  TKyXmlItemEntities& operator=(const TKyXmlItemEntities&) = delete;
  ~TKyXmlItemEntities() override;
  static void* operator new(size_t size) { return XmlPoolAlloc(size); }
  static void operator delete(void* p, size_t size) { XmlPoolFree(p, size); }
  KY_OBJECT_CREATE(TKyXmlItemEntities)

  int Count() const { return static_cast<int>(Count_); }
  // Neither forms nor a source text.
  bool Empty() const { return Count_ == 0 && !SourceText; }
  const TXmlEntityData& Items(int index) const;
  const TXmlEntityData* Find(char32_t code) const;
  TXmlEntityData& FindOrAdd(char32_t code);
  void Clear() override {
    Count_ = 0;
    SourceText.reset();
  }
  void Assign(const TKyXmlItemEntities& other);
  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;

  std::unique_ptr<TXmlSourceText> SourceText;

 private:
  void Reserve(std::uint32_t capacity);
  TXmlEntityData* Items_ = nullptr;
  std::uint32_t Count_ = 0;
  std::uint32_t Capacity_ = 0;
};

// Assign and Equals cover names, values, whitespace and remembered forms (for elements
// the attributes and the whole subtree too), never Parent.
class TKyXmlItem : public TKyObject {
 public:
  TKyXmlItem() = default;
  // Nodes come from the pool: a large document is many small objects.
  static void* operator new(size_t size) { return XmlPoolAlloc(size); }
  static void operator delete(void* p, size_t size) { XmlPoolFree(p, size); }

  virtual String GetValue() const = 0;
  virtual void SetValue(const String& text) = 0;
  virtual void ValueChanged() {}
  // Stores Text only when it differs from Value, then ValueChanged.
  void ChangeValue(const String& text);
  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;

  ~TKyXmlItem() override {
    if (HasForms_) ReleaseCharacterForms();
  }

  // The remembered character forms, created on first use. Few nodes have any, so
  // they are kept in a table beside the nodes instead of a pointer in each.
  TKyXmlItemEntities& CharacterForms();
  const TKyXmlItemEntities* CharacterFormsOrNull() const;
  bool HasCharacterForms() const {
    const TKyXmlItemEntities* f = CharacterFormsOrNull();
    return f && !f->Empty();
  }
  void TakeCharacterForms(std::unique_ptr<TKyXmlItemEntities> forms);
  std::unique_ptr<TKyXmlItemEntities> ReleaseCharacterForms();

  // No field is wider than a pointer and the form bytes come last, so that a node of a
  // large document stays small (the derived classes put their bytes into the tail).
  TXmlWhitespace TrailingSpace;
  TXmlWhitespace LeadingSpace;
  TXmlString Name;
  TKyXmlElement* Parent = nullptr;
  TXmlString Value;
  TXmlSpecialBytes SpecialCharForms{};

 private:
  bool HasForms_ = false;  // an entry in the table of character forms
};

class TKyXmlAttribute : public TKyXmlItem {
 public:
  TKyXmlAttribute() = default;
  TKyXmlAttribute(const String& name, const String& value) {
    Name = name;
    Value = value;
  }
  KY_OBJECT_CREATE(TKyXmlAttribute)
  String GetValue() const override { return Value.Str(); }
  void SetValue(const String& text) override { Value = text; }
  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;

  Byte QuoteKind = 0;  // 0 double quote, 1 apostrophe
  TXmlWhitespace SpaceBeforeEquals;
  TXmlWhitespace SpaceAfterEquals;
  TXmlWhitespace SpaceAfter;
};

// What the writer needs of one attribute, from either form of an attribute list.
struct TXmlAttributeView {
  StringView Name, Value, LeadingSpace, TrailingSpace, SpaceBeforeEquals, SpaceAfterEquals, SpaceAfter;
  Byte QuoteKind = 0;
  TXmlSpecialBytes SpecialCharForms{};
  const TKyXmlItemEntities* Forms = nullptr;
};

// Ordered, owning list of the attributes of one element. Attributes make up much of a
// translation document, so a list the reader filled is packed (name, value, forms and
// whether one space follows: a third of an attribute object) until something asks for an
// attribute object; then every one of the list becomes one again.
class TKyXmlAttributes {
 public:
  TKyXmlAttributes() = default;
  explicit TKyXmlAttributes(TKyXmlElement* parent) : Parent(parent) {}
  TKyXmlAttributes(const TKyXmlAttributes&) = delete;
  TKyXmlAttributes& operator=(const TKyXmlAttributes&) = delete;
  ~TKyXmlAttributes();

  int Count() const { return Items_.Other() ? static_cast<int>(PackedCount()) : static_cast<int>(Items_.size()); }
  // EListError outside 0 .. Count - 1.
  TKyXmlAttribute* Items(int index) const;
  TKyXmlAttribute* operator[](int index) const { return Items(index); }
  // Takes ownership; "Element already contains %s attribute" for a second one of a name.
  void Add(std::unique_ptr<TKyXmlAttribute> attribute, int index = -1);
  TKyXmlAttribute* Find(StringView name) const;
  // The value of the attribute Name, or null; makes no attribute objects.
  const TXmlString* FindValue(StringView name) const;
  // The attribute at Index as the writer sees it; makes no attribute objects.
  TXmlAttributeView View(int index) const;
  void Clear();
  // Gives back the room kept for further attributes and packs the list when no attribute
  // has whitespace of its own but a single space after it (the reader, once a tag is read).
  // Spare, when given, receives the emptied attribute objects for reuse.
  void Compact(std::vector<std::unique_ptr<TKyXmlAttribute>>* spare = nullptr);
  // Copies of every attribute of Other.
  void Assign(const TKyXmlAttributes& other);
  bool Equals(const TKyXmlAttributes& other) const;

  String ReadString(StringView name, const String& defaultValue = String()) const;
  void WriteString(const String& name, const String& value, int index = -1, bool skipDefault = false,
                   const String& defaultValue = String());
  bool ReadBool(StringView name, bool defaultValue) const;
  void WriteBool(const String& name, bool value, bool skipDefault = false, bool defaultValue = false);
  double ReadFloat(StringView name, double defaultValue) const;
  void WriteFloat(const String& name, bool skipDefault, double defaultValue, double value);
  TDateTime ReadDateTime(StringView name, TDateTime defaultValue) const;

  TKyXmlElement* Parent = nullptr;

 private:
  struct TPacked;
  std::uint32_t PackedCount() const;
  // Attribute objects again, for callers that hold on to them.
  void Unpack() const;
  void FreePacked() const;
  TPacked* Packed() const { return static_cast<TPacked*>(Items_.Other()); }
  // The objects, or the packed list in the same pointer.
  mutable TXmlNodeArray<TKyXmlAttribute> Items_;
};

class TKyXmlElement : public TKyXmlItem {
 public:
  TKyXmlElement() : Attributes(this) {}
  explicit TKyXmlElement(const String& name, Byte kind = xkElement) : Attributes(this) {
    Name = name;
    Kind_ = kind;
  }
  // Iterative, so that a deep tree does not exhaust the stack.
  ~TKyXmlElement() override;
  KY_OBJECT_CREATE(TKyXmlElement)

  String GetValue() const override { return Value.Str(); }
  void SetValue(const String& text) override { Value = text; }
  // Copies kind, flags, attributes and the whole subtree.
  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;
  // An empty element that receives text is written with start and end tags.
  void ValueChanged() override;

  Byte Kind() const { return Kind_; }
  // Storing xkEmptyElement also clears Value.
  void SetKind(Byte kind);

  int ElementCount() const { return static_cast<int>(Children_.size()); }
  // EListError outside 0 .. ElementCount - 1.
  TKyXmlElement* Elements(int index) const;
  bool IsEmpty() const { return Children_.empty() && Attributes.Count() == 0; }
  // Returns the added element, or nil when it was freed for being empty.
  TKyXmlElement* AddElement(std::unique_ptr<TKyXmlElement> element, bool freeIfEmpty = false);
  TKyXmlElement* InsertElement(std::unique_ptr<TKyXmlElement> element, int index);
  void DeleteElement(int index);
  std::unique_ptr<TKyXmlElement> ExtractElement(int index);
  TKyXmlElement* FindElement(StringView name, int index = -1, StringView language = StringView());
  bool PreservesSpace() const;

  // The bytes first: they fill the tail of the item part.
  bool HasText = false;
  bool Enabled = true;

 private:
  Byte Kind_ = xkElement;

 public:
  int SameNameIndex = 0;
  TKyXmlAttributes Attributes;
  TXmlWhitespace EndTail;
  TXmlWhitespace Tail;

 private:
  TXmlNodeArray<TKyXmlElement> Children_;
};

// One entity that references may name.
class TKyXmlEntity : public TKyObject {
 public:
  TKyXmlEntity() = default;
  TKyXmlEntity(Byte kind, const String& name, const String& value) : EntityKind(kind), Name(name), Value(value) {}
  KY_OBJECT_CREATE(TKyXmlEntity)
  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;
  // By Name, ordinal and case-sensitive: the order of the sorted entity table.
  int Compare(const TKyObject& other) const override;
  Byte EntityKind = 0;  // 0 predefined, 1 internal, 2 external
  String Name;
  bool Used = false;
  String Value;
};

// The entity table of one document with the write modes of the special characters.
class TKyXmlFileEntities {
 public:
  TKyXmlFileEntities();

  int Count() const { return static_cast<int>(Items_.size()); }
  TKyXmlEntity* Items(int index) const { return Items_.at(static_cast<size_t>(index)).get(); }
  TKyXmlEntity* FindEntity(StringView name);
  void AddEntity(std::unique_ptr<TKyXmlEntity> entity);
  void AddEntity(Byte kind, const String& name, const String& value);
  TKyXmlEntity* FindParameterEntity(StringView name) const;
  // Back to the five predefined entities and the initial modes.
  void Reset();

  // Decodes references in Text with the given EntityKinds bits (fills LastForms and,
  // when given, Forms after clearing it). With Forms, a raw carriage return, and in an
  // attribute value a raw tab or line feed too, is remembered as plain: the writer gives
  // such characters a reference unless the source spelled them raw.
  String Decode(StringView text, Byte kinds, TKyXmlItemEntities* forms, bool attribute = false);
  // The same into Out, whose room is reused.
  void DecodeTo(String& out, StringView text, Byte kinds, TKyXmlItemEntities* forms, bool attribute = false);
  void RecordForm(int special, Byte form);
  bool IsUnknown(StringView name) const;
  // One of the five predefined entities by name, without the search.
  TKyXmlEntity* PredefinedEntity(StringView name) const;

  std::vector<std::unique_ptr<TKyXmlEntity>> ParameterEntities;
  TXmlSpecialBytes EntityModes{};
  TXmlSpecialBytes SeenForms{};
  String BaseDir;
  bool Sorted = false;
  TXmlSpecialBytes LastForms{};
  TStringList UnknownEntities;
  // Upper bound of the characters that entity expansion adds (replacement text beyond the
  // length of the references), per decode and per load, against entity bombs.
  size_t MaxExpansion = 16u << 20;

 private:
  std::vector<std::unique_ptr<TKyXmlEntity>> Items_;
  TKyXmlEntity* Predefined_[5] = {};
};

// Parse error with position.
class EXmlException : public Exception {
 public:
  EXmlException(String message, int line, int column, String excerpt)
      : Exception(std::move(message)), Line(line), Column(column), Excerpt(std::move(excerpt)) {}
  int Line;
  int Column;
  String Excerpt;
};

// Unit-wide switch, off by default: an unknown entity reference fails the load
// instead of being kept as written.
extern bool XmlUnknownEntityIsError;

// Fetches an http:// address for external DTDs and entities; false on any failure.
// The network module (or the program) sets it; unset, such addresses give empty text.
using TXmlHttpFetch = std::function<bool(const String& url, RawBytes& body)>;
void SetXmlHttpFetch(TXmlHttpFetch fetch);
const TXmlHttpFetch& GetXmlHttpFetch();

class TXmlReader;

class TKyXmlFile {
 public:
  using TElementEvent = std::function<void(TKyXmlFile* sender, TKyXmlElement* element, Byte& action)>;
  using TProgressEvent = std::function<void(TKyXmlFile* sender, int percent, bool& stop)>;

  TKyXmlFile();
  ~TKyXmlFile();
  TKyXmlFile(const TKyXmlFile&) = delete;
  TKyXmlFile& operator=(const TKyXmlFile&) = delete;

  void Clear();
  int ItemCount() const { return static_cast<int>(Items_.size()); }
  TKyXmlElement* Items(int index) const;
  TKyXmlElement* Root() const { return Root_; }
  // Appends a top-level node ("Only one top level element ..." for a second element).
  TKyXmlElement* AddItem(std::unique_ptr<TKyXmlElement> item);

  bool LoadFromFile(const String& fileName);
  bool LoadFromStream(TStream& stream);

  void SaveToFile(const String& fileName, TKyXmlElement* element = nullptr);
  void BeginWrite(const String& fileName, bool writeDeclaration);
  void EndWrite();
  void WriteItem(TKyXmlElement* item, bool indented);
  void WriteStartElement(const String& name, const TKyXmlAttributes* attributes = nullptr,
                         const String& tail = String(), bool singleLine = true, bool newLine = true);
  void WriteEndElement(bool indented = true, const String& tail = String());
  void WriteEmptyElement(const String& name, const TKyXmlAttributes* attributes, const String& tail = String(),
                         const String& attributeTail = String(), bool singleLine = true);
  void WriteElement(const String& name, const TKyXmlAttributes* attributes, bool newLine, const String& value);
  void WriteTextElement(const String& name, const String& value, bool newLine = true,
                        const String& defaultValue = String(), bool skipDefault = false);
  void WriteComment(const String& value);
  void WriteCData(const String& value);
  void WriteDocType(const String& value);
  void WriteElementDeclaration(const String& value);
  void WriteScript(const String& value);
  void WriteProcessingInstruction(const String& value);
  void WriteText(const String& value);

  // Escapes Text for output with the given write modes (see the writer); Attribute for a
  // value between quotes, where a raw tab or line break would be read back as a space.
  String Escape(StringView text, const TXmlSpecialBytes& modes, const TKyXmlItemEntities* forms,
                bool useTextFile, bool attribute = false) const;

  bool Stopped = false;
  bool WriteDeclaration = true;
  bool DeclarationOnly = false;
  TXmlSpecialBytes EntityModes{1, 0, 0, 1, 1};
  String Encoding;
  TKyXmlFileEntities Entities;
  Byte EntityKinds = ekPredefined | ekInternal | ekExternal;
  Byte CharacterEscaping = 1;
  TKyTextFile TextFile;
  bool IgnoreExternalDtd = false;
  Byte Options = xoTrimText;
  String Version = u"1.0";
  bool WriteEncoding = true;
  TElementEvent OnElement;
  TProgressEvent OnProgress;
  int LastPercent = -1;

 private:
  friend class TXmlReader;
  void Write(StringView text, bool newLine);
  String Indent(int n) const;
  void AppendIndent(String& out, int n) const;
  bool Preserving() const { return (Options & xoPreserveWhiteSpace) != 0; }
  // The writer appends to one line buffer instead of joining temporary strings.
  void EscapeTo(String& out, StringView text, const TXmlSpecialBytes& modes, const TKyXmlItemEntities* forms,
                bool useTextFile, bool attribute = false) const;
  // One node; true when it is an element whose children follow (its start tag is written).
  bool WriteNode(TKyXmlElement* item, bool indented);
  String AttributeText(const String& initial, const TKyXmlAttributes* attributes) const;
  void AppendAttributes(String& out, StringView initial, const TKyXmlAttributes* attributes) const;
  void EscapeAttributeTo(String& out, const TXmlAttributeView& attribute) const;
  // A text's value by its forms, or its source spelling while the value is unchanged.
  void EscapeTextTo(String& out, const TKyXmlItem& item, const TXmlSpecialBytes& modes) const;
  void StartElement(StringView name, const TKyXmlAttributes* attributes, StringView tail, bool singleLine,
                    bool newLine);
  void WriteOwnDeclaration();
  void WriteAttributeLines(const TKyXmlAttributes* attributes);
  bool Load();
  bool CanWrite(Char c) const;

  std::vector<std::unique_ptr<TKyXmlElement>> Items_;
  TKyXmlElement* Root_ = nullptr;
  std::vector<String> OpenNames_;
  String Line_;
};

// Text of an included DTD or external entity, resolved against BaseDir.
String XmlIncludedText(const String& identifier, const String& baseDir);
