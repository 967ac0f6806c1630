#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <memory>
#include <stdexcept>

#include "lib/core/kydatetime.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "lib/xml/kyxml.h"
#include "resstrings.h"

namespace {

TFormatSettings DotSettings() {
  TFormatSettings s = FormatSettings;
  s.DecimalSeparator = u'.';
  s.ThousandSeparator = u',';
  return s;
}

int SpecialIndex(char32_t c) {
  switch (c) {
    case u'&':
      return scAmp;
    case u'\'':
      return scApos;
    case u'"':
      return scQuot;
    case u'>':
      return scGt;
    case u'<':
      return scLt;
    default:
      return -1;
  }
}

int HexValue(Char c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

[[noreturn]] void RaiseNotANumber(StringView text) {
  throw EConvertError(Format(SInvalidInteger, {String(text)}));
}

void AppendCodePoint(String& out, char32_t code) {
  if (code > 0xFFFF) {
    code -= 0x10000;
    out.push_back(static_cast<Char>(0xD800 + (code >> 10)));
    out.push_back(static_cast<Char>(0xDC00 + (code & 0x3FF)));
  } else {
    out.push_back(static_cast<Char>(code));
  }
}

// Classes of the characters Decode looks at: the ampersand and the four other specials;
// a carriage return and a tab or line feed, remembered as plain where they were raw.
enum : Byte { kcSpecial = 1, kcCarriageReturn = 2, kcTabOrLineFeed = 4 };
constexpr std::array<Byte, 128> kDecodeClass = [] {
  std::array<Byte, 128> t{};
  t[u'&'] = t[u'\''] = t[u'"'] = t[u'<'] = t[u'>'] = kcSpecial;
  t[u'\r'] = kcCarriageReturn;
  t[u'\t'] = t[u'\n'] = kcTabOrLineFeed;
  return t;
}();

Byte ModeOfForms(Byte forms) {
  if (forms & efNamed) return emNamed;
  if (forms & efHex) return emHex;
  if (forms & efDecimal) return emDecimal;
  return emPlain;
}

}  // namespace

// When on, an unknown entity reference is an error instead of being kept.
bool XmlUnknownEntityIsError = false;

// ---- TKyXmlItemEntities

TKyXmlItemEntities::~TKyXmlItemEntities() {
  if (Items_) XmlPoolFree(Items_, Capacity_ * sizeof(TXmlEntityData));
}

void TKyXmlItemEntities::Reserve(std::uint32_t capacity) {
  if (capacity <= Capacity_) return;
  auto* items = static_cast<TXmlEntityData*>(XmlPoolAlloc(capacity * sizeof(TXmlEntityData)));
  std::uninitialized_copy_n(Items_ ? Items_ : items, Count_, items);
  if (Items_) XmlPoolFree(Items_, Capacity_ * sizeof(TXmlEntityData));
  Items_ = items;
  Capacity_ = capacity;
}

const TXmlEntityData& TKyXmlItemEntities::Items(int index) const {
  if (index < 0 || static_cast<std::uint32_t>(index) >= Count_) throw std::out_of_range("TKyXmlItemEntities");
  return Items_[index];
}

const TXmlEntityData* TKyXmlItemEntities::Find(char32_t code) const {
  for (std::uint32_t i = 0; i < Count_; ++i)
    if (Items_[i].CharCode == code) return &Items_[i];
  return nullptr;
}

TXmlEntityData& TKyXmlItemEntities::FindOrAdd(char32_t code) {
  for (std::uint32_t i = 0; i < Count_; ++i)
    if (Items_[i].CharCode == code) return Items_[i];
  if (Count_ == Capacity_) Reserve(Capacity_ ? 2 * Capacity_ : 2);
  TXmlEntityData& d = Items_[Count_++];
  d = TXmlEntityData{};
  d.CharCode = code;
  return d;
}

// ---- TKyXmlItem

void TKyXmlItem::ChangeValue(const String& text) {
  if (Value == text) return;
  SetValue(text);
  ValueChanged();
}

namespace {

// Node to forms, open addressing: one lookup per node that has forms, no allocation per entry.
class TFormsTable {
 public:
  std::mutex Lock;

  TKyXmlItemEntities* Find(const void* key) const {
    if (Live_ == 0) return nullptr;
    for (size_t i = Home(key);; i = (i + 1) & (Slots_.size() - 1)) {
      if (Slots_[i].Key == key) return Slots_[i].Value;
      if (!Slots_[i].Key) return nullptr;
    }
  }
  // The slot of Key, made when it has none.
  TKyXmlItemEntities*& At(const void* key) {
    if ((Used_ + 1) * 2 > Slots_.size()) Rehash(std::max<size_t>(64, Live_ * 4));
    size_t tomb = SIZE_MAX;
    for (size_t i = Home(key);; i = (i + 1) & (Slots_.size() - 1)) {
      TSlot& s = Slots_[i];
      if (s.Key == key) return s.Value;
      if (s.Key == Tomb() && tomb == SIZE_MAX) tomb = i;
      if (!s.Key) {
        if (tomb != SIZE_MAX) {
          i = tomb;
        } else {
          ++Used_;
        }
        ++Live_;
        Slots_[i] = {key, nullptr};
        return Slots_[i].Value;
      }
    }
  }
  TKyXmlItemEntities* Take(const void* key) {
    if (Live_ == 0) return nullptr;
    for (size_t i = Home(key);; i = (i + 1) & (Slots_.size() - 1)) {
      TSlot& s = Slots_[i];
      if (s.Key == key) {
        TKyXmlItemEntities* v = s.Value;
        s = {Tomb(), nullptr};
        if (--Live_ * 16 < Slots_.size() && Slots_.size() > 1024) Rehash(Live_ * 4);
        return v;
      }
      if (!s.Key) return nullptr;
    }
  }

 private:
  struct TSlot {
    const void* Key;
    TKyXmlItemEntities* Value;
  };
  static const void* Tomb() { return reinterpret_cast<const void*>(alignof(TKyXmlItem)); }
  size_t Home(const void* key) const {
    auto h = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>(h >> 20) & (Slots_.size() - 1);
  }
  void Rehash(size_t want) {
    size_t size = 64;
    while (size < want) size *= 2;
    std::vector<TSlot> old(size, TSlot{nullptr, nullptr});
    old.swap(Slots_);
    Used_ = Live_ = 0;
    for (const TSlot& s : old)
      if (s.Key && s.Key != Tomb()) {
        TKyXmlItemEntities*& v = At(s.Key);
        v = s.Value;
      }
  }
  std::vector<TSlot> Slots_;
  size_t Used_ = 0;  // live and erased slots
  size_t Live_ = 0;
};

TFormsTable& FormsTable() {
  static TFormsTable* table = new TFormsTable;  // lives as long as any node may
  return *table;
}

// The forms of an entry of a packed attribute list, kept under the entry's address.
std::unique_ptr<TKyXmlItemEntities> TakeFormsOf(const void* key) {
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  return std::unique_ptr<TKyXmlItemEntities>(t.Take(key));
}

void PutFormsOf(const void* key, std::unique_ptr<TKyXmlItemEntities> forms) {
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  t.At(key) = forms.release();
}

const TKyXmlItemEntities* FindFormsOf(const void* key) {
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  return t.Find(key);
}

}  // namespace

TKyXmlItemEntities& TKyXmlItem::CharacterForms() {
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  TKyXmlItemEntities*& f = t.At(this);
  if (!f) f = new TKyXmlItemEntities;
  HasForms_ = true;
  return *f;
}

const TKyXmlItemEntities* TKyXmlItem::CharacterFormsOrNull() const {
  if (!HasForms_) return nullptr;
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  return t.Find(this);
}

void TKyXmlItem::TakeCharacterForms(std::unique_ptr<TKyXmlItemEntities> forms) {
  std::unique_ptr<TKyXmlItemEntities> old = ReleaseCharacterForms();
  if (!forms) return;
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  t.At(this) = forms.release();
  HasForms_ = true;
}

std::unique_ptr<TKyXmlItemEntities> TKyXmlItem::ReleaseCharacterForms() {
  if (!HasForms_) return nullptr;
  HasForms_ = false;
  TFormsTable& t = FormsTable();
  std::lock_guard<std::mutex> guard(t.Lock);
  return std::unique_ptr<TKyXmlItemEntities>(t.Take(this));
}

// ---- TKyXmlAttributes

struct TKyXmlAttributes::TPacked {
  struct TEntry {
    TXmlString Name;
    TXmlString Value;
    TXmlSpecialBytes SpecialCharForms;
    Byte QuoteKind;
    bool HasForms;
    bool SpaceAfter;  // one space after the value, else none
  };
  std::uint32_t Count;
  std::uint32_t Unused;
  TEntry* Entries() { return reinterpret_cast<TEntry*>(this + 1); }
  static size_t Bytes(std::uint32_t count) { return sizeof(TPacked) + count * sizeof(TEntry); }
};

TKyXmlAttributes::~TKyXmlAttributes() { FreePacked(); }

std::uint32_t TKyXmlAttributes::PackedCount() const { return Packed()->Count; }

void TKyXmlAttributes::FreePacked() const {
  TPacked* p = Packed();
  if (!p) return;
  TPacked::TEntry* e = p->Entries();
  for (std::uint32_t i = 0; i < p->Count; ++i) {
    if (e[i].HasForms) TakeFormsOf(&e[i]);
    e[i].~TEntry();
  }
  XmlPoolFree(p, TPacked::Bytes(p->Count));
  Items_.SetOther(nullptr);
}

void TKyXmlAttributes::Compact(std::vector<std::unique_ptr<TKyXmlAttribute>>* spare) {
  if (Packed()) return;
  Items_.shrink_to_fit();
  if (Items_.empty()) return;
  for (TKyXmlAttribute* a : Items_)
    if (!a->LeadingSpace.empty() || !a->TrailingSpace.empty() || !a->SpaceBeforeEquals.empty() ||
        !a->SpaceAfterEquals.empty() || !(a->SpaceAfter.empty() || a->SpaceAfter == u" ") || a->OnChange)
      return;
  auto n = static_cast<std::uint32_t>(Items_.size());
  auto* p = static_cast<TPacked*>(XmlPoolAlloc(TPacked::Bytes(n)));
  p->Count = 0;
  for (TKyXmlAttribute* a : Items_) {
    TPacked::TEntry* e = new (p->Entries() + p->Count++) TPacked::TEntry{
        std::move(a->Name), std::move(a->Value), a->SpecialCharForms, a->QuoteKind, false, !a->SpaceAfter.empty()};
    if (std::unique_ptr<TKyXmlItemEntities> forms = a->ReleaseCharacterForms()) {
      PutFormsOf(e, std::move(forms));
      e->HasForms = true;
    }
  }
  if (spare) {
    std::vector<TKyXmlAttribute*> emptied;
    Items_.DetachAll(emptied);
    for (TKyXmlAttribute* a : emptied) {
      std::unique_ptr<TKyXmlAttribute> owned(a);
      // Name and Value went into the pack; the rest back to a new attribute's state.
      a->SpaceAfter.clear();
      a->SpecialCharForms = {};
      a->QuoteKind = 0;
      a->Parent = nullptr;
      spare->push_back(std::move(owned));
    }
  }
  Items_.clear();
  Items_.SetOther(p);
}

void TKyXmlAttributes::Unpack() const {
  TPacked* p = Packed();
  if (!p) return;
  TXmlNodeArray<TKyXmlAttribute> items;
  items.reserve(p->Count);
  TPacked::TEntry* e = p->Entries();
  for (std::uint32_t i = 0; i < p->Count; ++i) {
    auto a = std::make_unique<TKyXmlAttribute>();
    a->Name = e[i].Name;
    a->Value = e[i].Value;
    if (e[i].SpaceAfter) a->SpaceAfter = u" ";
    a->SpecialCharForms = e[i].SpecialCharForms;
    a->QuoteKind = e[i].QuoteKind;
    a->Parent = Parent;
    items.push_back(std::move(a));
  }
  // Only now that nothing can fail do the forms move over.
  for (std::uint32_t i = 0; i < p->Count; ++i)
    if (e[i].HasForms) {
      items[i]->TakeCharacterForms(TakeFormsOf(&e[i]));
      e[i].HasForms = false;
    }
  FreePacked();
  Items_ = std::move(items);
}

void TKyXmlAttributes::Clear() {
  FreePacked();
  Items_.clear();
}

TXmlAttributeView TKyXmlAttributes::View(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  TXmlAttributeView v;
  if (TPacked* p = Packed()) {
    const TPacked::TEntry& e = p->Entries()[index];
    v.Name = e.Name;
    v.Value = e.Value;
    if (e.SpaceAfter) v.SpaceAfter = u" ";
    v.QuoteKind = e.QuoteKind;
    v.SpecialCharForms = e.SpecialCharForms;
    if (e.HasForms) v.Forms = FindFormsOf(&e);
    return v;
  }
  const TKyXmlAttribute& a = *Items_[static_cast<size_t>(index)];
  v.Name = a.Name;
  v.Value = a.Value;
  v.LeadingSpace = a.LeadingSpace;
  v.TrailingSpace = a.TrailingSpace;
  v.SpaceBeforeEquals = a.SpaceBeforeEquals;
  v.SpaceAfterEquals = a.SpaceAfterEquals;
  v.SpaceAfter = a.SpaceAfter;
  v.QuoteKind = a.QuoteKind;
  v.SpecialCharForms = a.SpecialCharForms;
  v.Forms = a.CharacterFormsOrNull();
  return v;
}

const TXmlString* TKyXmlAttributes::FindValue(StringView name) const {
  if (TPacked* p = Packed()) {
    TPacked::TEntry* e = p->Entries();
    for (std::uint32_t i = 0; i < p->Count; ++i)
      if (e[i].Name == name) return &e[i].Value;
    return nullptr;
  }
  for (TKyXmlAttribute* a : Items_)
    if (a->Name == name) return &a->Value;
  return nullptr;
}

TKyXmlAttribute* TKyXmlAttributes::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
  Unpack();
  return Items_[static_cast<size_t>(index)];
}

void TKyXmlAttributes::Add(std::unique_ptr<TKyXmlAttribute> attribute, int index) {
  if (FindValue(attribute->Name)) throw Exception(Format(SXmlDuplicateAttribute, {attribute->Name.View()}));
  Unpack();
  attribute->Parent = Parent;
  if (index < 0 || index >= Count())
    Items_.push_back(std::move(attribute));
  else
    Items_.insert(static_cast<size_t>(index), std::move(attribute));
}

TKyXmlAttribute* TKyXmlAttributes::Find(StringView name) const {
  if (!FindValue(name)) return nullptr;
  Unpack();
  for (TKyXmlAttribute* a : Items_)
    if (a->Name == name) return a;
  return nullptr;
}

String TKyXmlAttributes::ReadString(StringView name, const String& defaultValue) const {
  const TXmlString* v = FindValue(name);
  return v ? v->Str() : defaultValue;
}

void TKyXmlAttributes::WriteString(const String& name, const String& value, int index, bool skipDefault,
                                   const String& defaultValue) {
  if (name.empty()) throw Exception(LoadResString(SXmlEmptyAttributeName));
  if (skipDefault && value == defaultValue) return;
  if (TKyXmlAttribute* a = Find(name)) {
    a->Value = value;
    return;
  }
  auto a = std::make_unique<TKyXmlAttribute>();
  a->Name = name;
  a->ChangeValue(value);
  Add(std::move(a), index);
}

bool TKyXmlAttributes::ReadBool(StringView name, bool defaultValue) const {
  const TXmlString* v = FindValue(name);
  if (!v || (*v != u"0" && *v != u"1")) return defaultValue;
  return *v == u"1";
}

void TKyXmlAttributes::WriteBool(const String& name, bool value, bool skipDefault, bool defaultValue) {
  if (skipDefault && value == defaultValue) return;
  WriteString(name, value ? u"1" : u"0");
}

double TKyXmlAttributes::ReadFloat(StringView name, double defaultValue) const {
  const TXmlString* v = FindValue(name);
  if (!v) return defaultValue;
  return StrToFloat(*v, DotSettings());
}

void TKyXmlAttributes::WriteFloat(const String& name, bool skipDefault, double defaultValue, double value) {
  if (skipDefault && value == defaultValue) return;
  String text = std::isfinite(value) ? FloatToStr(value, DotSettings()) : String();
  WriteString(name, text);
}

TDateTime TKyXmlAttributes::ReadDateTime(StringView name, TDateTime defaultValue) const {
  const TXmlString* found = FindValue(name);
  if (!found) return defaultValue;
  const String v = found->Str();
  if (v.empty()) return 0;
  auto part = [&](size_t pos, size_t len) { return pos < v.size() ? v.substr(pos, len) : String(); };
  int year = StrToInt(part(0, 4));
  int month = StrToInt(part(4, 2));
  int day = StrToInt(part(6, 2));
  auto optional = [&](size_t pos, size_t len) {
    String p = part(pos, len);
    if (p.size() != len) return 0;
    for (Char c : p)
      if (c < u'0' || c > u'9') return 0;
    return StrToInt(p);
  };
  int hour = optional(8, 2), minute = optional(10, 2), second = optional(12, 2), ms = optional(14, 3);
  TDateTime date = EncodeDate(year, month, day);
  TDateTime time = 0;
  if (!TryEncodeTime(hour, minute, second, ms, time)) time = 0;
  return date + time;
}

// ---- TKyXmlElement

TKyXmlElement::~TKyXmlElement() {
  if (Children_.empty()) return;
  std::vector<TKyXmlElement*> work;
  Children_.DetachAll(work);
  while (!work.empty()) {
    TKyXmlElement* e = work.back();
    work.pop_back();
    e->Children_.DetachAll(work);
    delete e;
  }
}

void TKyXmlElement::ValueChanged() {
  if (Kind_ == xkEmptyElement) {
    Kind_ = xkElement;
    Tail.clear();
  }
}

void TKyXmlElement::SetKind(Byte kind) {
  Kind_ = kind;
  if (kind == xkEmptyElement) Value.clear();
}

TKyXmlElement* TKyXmlElement::Elements(int index) const {
  if (index < 0 || index >= ElementCount()) throw EListError(Format(SListIndexError, {index}));
  return Children_[static_cast<size_t>(index)];
}

TKyXmlElement* TKyXmlElement::AddElement(std::unique_ptr<TKyXmlElement> element, bool freeIfEmpty) {
  if (freeIfEmpty && element->IsEmpty()) return nullptr;
  return InsertElement(std::move(element), -1);
}

TKyXmlElement* TKyXmlElement::InsertElement(std::unique_ptr<TKyXmlElement> element, int index) {
  TKyXmlElement* e = element.get();
  e->Parent = this;
  e->SameNameIndex = 0;
  Byte k = e->Kind_;
  if (k == xkCData || (k >= xkComment && k <= xkWhiteSpace)) {
    bool isTag = k == xkEmptyElement || k == xkElement;
    for (size_t i = Children_.size(); i-- > 0;) {
      const TKyXmlElement& s = *Children_[i];
      if (s.Name != e->Name) continue;
      bool sTag = s.Kind_ == xkEmptyElement || s.Kind_ == xkElement;
      if (s.Kind_ == k || (sTag && isTag)) {
        e->SameNameIndex = s.SameNameIndex + 1;
        break;
      }
    }
  }
  if (index < 0 || index >= ElementCount())
    Children_.push_back(std::move(element));
  else
    Children_.insert(static_cast<size_t>(index), std::move(element));
  return e;
}

void TKyXmlElement::DeleteElement(int index) {
  Elements(index);
  Children_.erase(static_cast<size_t>(index));
}

std::unique_ptr<TKyXmlElement> TKyXmlElement::ExtractElement(int index) {
  Elements(index);
  std::unique_ptr<TKyXmlElement> e = Children_.extract(static_cast<size_t>(index));
  e->Parent = nullptr;
  return e;
}

TKyXmlElement* TKyXmlElement::FindElement(StringView name, int index, StringView language) {
  if (name.empty()) return this;
  for (TKyXmlElement* c : Children_) {
    if (c->Name != name) continue;
    if (index != -1 && c->SameNameIndex != index) continue;
    if (!language.empty()) {
      const TXmlString* lang = c->Attributes.FindValue(u"xml:lang");
      if (!lang || *lang != language) continue;
    }
    return c;
  }
  return nullptr;
}

bool TKyXmlElement::PreservesSpace() const {
  const TXmlString* v = Attributes.FindValue(u"xml:space");
  return v && *v == u"preserve";
}

// ---- TKyXmlFileEntities

TKyXmlFileEntities::TKyXmlFileEntities() {
  UnknownEntities.SetCaseSensitive(true);
  UnknownEntities.SetSorted(true);
  Reset();
}

void TKyXmlFileEntities::Reset() {
  Items_.clear();
  ParameterEntities.clear();
  UnknownEntities.Clear();
  AddEntity(0, u"amp", u"&");
  AddEntity(0, u"apos", u"'");
  AddEntity(0, u"quot", u"\"");
  AddEntity(0, u"gt", u">");
  AddEntity(0, u"lt", u"<");
  // The first declaration of a name wins, so these stay what the five names find.
  for (int i = 0; i < 5; ++i) Predefined_[i] = Items_[static_cast<size_t>(i)].get();
  EntityModes = {1, 0, 0, 1, 1};
  SeenForms = {};
  LastForms = {};
}

TKyXmlEntity* TKyXmlFileEntities::FindEntity(StringView name) {
  if (!Sorted) {
    // Stable, so that the first declaration of a name is the one found.
    std::stable_sort(Items_.begin(), Items_.end(), [](const auto& a, const auto& b) { return a->Name < b->Name; });
    Sorted = true;
  }
  auto it = std::lower_bound(Items_.begin(), Items_.end(), name,
                             [](const auto& e, StringView n) { return StringView(e->Name) < n; });
  return it != Items_.end() && (*it)->Name == name ? it->get() : nullptr;
}

void TKyXmlFileEntities::AddEntity(std::unique_ptr<TKyXmlEntity> entity) {
  Items_.push_back(std::move(entity));
  Sorted = false;
}

void TKyXmlFileEntities::AddEntity(Byte kind, const String& name, const String& value) {
  AddEntity(std::make_unique<TKyXmlEntity>(kind, name, value));
}

TKyXmlEntity* TKyXmlFileEntities::FindParameterEntity(StringView name) const {
  for (const auto& e : ParameterEntities)
    if (e->Name == name) return e.get();
  return nullptr;
}

void TKyXmlFileEntities::RecordForm(int special, Byte form) {
  LastForms[special] |= form;
  SeenForms[special] |= form;
  EntityModes[special] = ModeOfForms(SeenForms[special]);
}

TKyXmlEntity* TKyXmlFileEntities::PredefinedEntity(StringView name) const {
  // In the order of Reset: amp, apos, quot, gt, lt.
  switch (name.size()) {
    case 2:
      if (name[1] != u't') return nullptr;
      return name[0] == u'g' ? Predefined_[3] : name[0] == u'l' ? Predefined_[4] : nullptr;
    case 3:
      return name == u"amp" ? Predefined_[0] : nullptr;
    case 4:
      return name == u"apos" ? Predefined_[1] : name == u"quot" ? Predefined_[2] : nullptr;
    default:
      return nullptr;
  }
}

bool TKyXmlFileEntities::IsUnknown(StringView name) const {
  int index;
  return UnknownEntities.Count() > 0 && UnknownEntities.Find(name, index);
}

String TKyXmlFileEntities::Decode(StringView text, Byte kinds, TKyXmlItemEntities* forms, bool attribute) {
  String out;
  DecodeTo(out, text, kinds, forms, attribute);
  return out;
}

void TKyXmlFileEntities::DecodeTo(String& out, StringView text, Byte kinds, TKyXmlItemEntities* forms,
                                  bool attribute) {
  out.clear();
  LastForms = {};
  if (forms) forms->Clear();
  bool predefined = (kinds & ekPredefined) != 0;
  // Which classes of kDecodeClass end a run of plain characters.
  Byte stops = kcSpecial;
  if (forms) stops |= attribute ? kcCarriageReturn | kcTabOrLineFeed : kcCarriageReturn;
  auto isStop = [&](Char c) { return c < 128 && (kDecodeClass[c] & stops); };
  // Set when the forms cannot give back the spelling of this text: the writer then needs
  // the source itself.
  bool inexact = false;
  auto recordSpecial = [&](int special, Byte form) {
    if (LastForms[special] & ~form) inexact = true;
    RecordForm(special, form);
  };
  auto addForm = [&](TXmlEntityData& d, Byte form) {
    if (d.Forms & ~form) inexact = true;
    d.Forms |= form;
  };
  // A raw special or raw whitespace that the writer must know was spelled raw.
  auto notePlain = [&](Char c) {
    if (c == u'\t' || c == u'\n' || c == u'\r') {
      addForm(forms->FindOrAdd(c), efPlain);
    } else if (predefined && c != u'&') {
      recordSpecial(SpecialIndex(c), efPlain);
    }
  };
  size_t amp = text.find(u'&');
  if (amp == StringView::npos) {
    if (predefined || forms)
      for (Char c : text)
        if (isStop(c)) notePlain(c);
    out.assign(text);
    return;
  }
  out.reserve(text.size());
  size_t added = 0;  // characters the expanded entities add beyond their references
  size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    // Runs of characters that are neither a reference nor a special go out in one piece.
    size_t run = i;
    while (run < n && !isStop(text[run])) ++run;
    if (run > i) {
      out.append(text.data() + i, run - i);
      i = run;
      if (i == n) break;
    }
    Char c = text[i];
    if (c != u'&') {
      notePlain(c);
      out.push_back(c);
      continue;
    }
    // The name runs to the next ";" (or the end); text that cannot be a name is no reference.
    size_t j = i + 1;
    while (j < n && text[j] != u';' && text[j] != u'&' && text[j] != u'<' && text[j] != u' ' && text[j] != u'\t' &&
           text[j] != u'\r' && text[j] != u'\n')
      ++j;
    bool hasSemi = j < n && text[j] == u';';
    StringView name = text.substr(i + 1, j - i - 1);
    if (name.empty() || (!hasSemi && j < n)) {
      out.push_back(u'&');
      continue;
    }
    if (name.size() >= 2 && name[0] == u'#') {
      if (!predefined) {
        out.push_back(u'&');
        continue;
      }
      char32_t code = 0;
      Byte form;
      Byte hexCase = 0;
      bool hex = name[1] == u'x';
      StringView digits = name.substr(hex ? 2 : 1);
      // Leading zeros are valid in any number; past U+10FFFF the value stops growing.
      if (digits.empty()) RaiseNotANumber(String(u"$"));
      for (Char d : digits) {
        int v = hex ? HexValue(d) : (d >= u'0' && d <= u'9' ? d - u'0' : -1);
        if (v < 0) RaiseNotANumber(hex ? String(u"$") + String(digits) : String(digits));
        if (d >= u'a' && d <= u'f') hexCase |= 1;
        if (d >= u'A' && d <= u'F') hexCase |= 2;
        if (code <= 0x10FFFF) code = code * (hex ? 16 : 10) + static_cast<char32_t>(v);
      }
      form = hex ? efHex : efDecimal;
      if (code > 0x10FFFF) RaiseNotANumber(name.substr(1));
      int special = SpecialIndex(code);
      if (special >= 0) {
        recordSpecial(special, form);
        // The writer spells these "&#x3C;" and "&#60;".
        if (hex ? digits.size() != 2 || (hexCase & 1) : digits[0] == u'0') inexact = true;
      } else if (forms) {
        TXmlEntityData& d = forms->FindOrAdd(code);
        addForm(d, form);
        if (digits.size() > 255) inexact = true;
        Byte written = static_cast<Byte>(std::min<size_t>(digits.size(), 255));
        Byte& kept = hex ? d.HexDigits : d.DecimalDigits;
        if (!kept) kept = written;
        if (kept != written) inexact = true;
        if (hex) {
          d.HexCase |= hexCase;
          if (d.HexCase == 3) inexact = true;
          d.HexLeadingZero = d.HexLeadingZero || digits[0] == u'0';
        }
      }
      AppendCodePoint(out, code);
      i = hasSemi ? j : j - 1;
      continue;
    }
    TKyXmlEntity* e = PredefinedEntity(name);
    if (!e) e = FindEntity(name);
    if (e && (kinds & (1 << e->EntityKind))) {
      out += e->Value;
      e->Used = true;
      if (e->EntityKind == 0 && !e->Value.empty()) recordSpecial(SpecialIndex(e->Value[0]), efNamed);
      size_t reference = j + (hasSemi ? 1 : 0) - i;
      if (e->Value.size() > reference) {
        added += e->Value.size() - reference;
        if (added > MaxExpansion)
          throw Exception(Format(SXmlExpansionTooLarge, {static_cast<long long>(MaxExpansion)}));
      }
    } else if (e) {
      out.push_back(u'&');
      out += name;
      if (hasSemi) out.push_back(u';');
    } else {
      if (XmlUnknownEntityIsError) throw Exception(Format(SXmlUnknownEntity, {String(name)}));
      out.push_back(u'&');
      out += name;
      if (hasSemi) out.push_back(u';');
      if (!IsUnknown(name)) UnknownEntities.Add(String(name));
    }
    i = hasSemi ? j : j - 1;
  }
  if (forms && forms->Count() > 0 && !inexact) {
    // A character given by a reference and also written raw (raw whitespace that the
    // writer would escape was seen above).
    for (int k = 0; k < forms->Count() && !inexact; ++k) {
      char32_t code = forms->Items(k).CharCode;
      if (code == u'\r' || (attribute && (code == u'\t' || code == u'\n'))) continue;
      String raw;
      AppendCodePoint(raw, code);
      inexact = text.find(raw) != StringView::npos;
    }
  }
  if (forms && inexact) {
    forms->SourceText = std::make_unique<TXmlSourceText>(TXmlSourceText{String(text), out});
  }
}

// ---- TKyXmlFile (model part)

TKyXmlFile::TKyXmlFile() { TextFile.SetEncoding(TKyTextFile::ekUtf8);
  TextFile.KeepLineBreaks = true; }

TKyXmlFile::~TKyXmlFile() {
  try {
    TextFile.Close();
  } catch (...) {
  }
}

void TKyXmlFile::Clear() {
  Items_.clear();
  Root_ = nullptr;
}

TKyXmlElement* TKyXmlFile::Items(int index) const {
  if (index < 0 || index >= ItemCount()) throw EListError(Format(SListIndexError, {index}));
  return Items_[static_cast<size_t>(index)].get();
}

TKyXmlElement* TKyXmlFile::AddItem(std::unique_ptr<TKyXmlElement> item) {
  if (item->Kind() == xkEmptyElement || item->Kind() == xkElement) {
    if (Root_) throw Exception(LoadResString(SXmlOneTopLevel));
    Root_ = item.get();
  }
  item->Parent = nullptr;
  Items_.push_back(std::move(item));
  return Items_.back().get();
}

// ---- object base: Assign and Equals

void TKyXmlItemEntities::Assign(const TKyXmlItemEntities& other) {
  if (&other == this) return;
  Count_ = 0;
  Reserve(other.Count_);
  std::copy_n(other.Items_, other.Count_, Items_);
  Count_ = other.Count_;
  SourceText = other.SourceText ? std::make_unique<TXmlSourceText>(*other.SourceText) : nullptr;
}

void TKyXmlItemEntities::Assign(const TKyObject& source) {
  if (const auto* o = dynamic_cast<const TKyXmlItemEntities*>(&source)) Assign(*o);
}

bool TKyXmlItemEntities::Equals(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlItemEntities*>(&other);
  if (!o || Count_ != o->Count_ || !std::equal(Items_, Items_ + Count_, o->Items_)) return false;
  return SourceText && o->SourceText ? *SourceText == *o->SourceText : !SourceText && !o->SourceText;
}

void TKyXmlItem::Assign(const TKyObject& source) {
  const auto* o = dynamic_cast<const TKyXmlItem*>(&source);
  if (!o || o == this) return;
  TrailingSpace = o->TrailingSpace;
  LeadingSpace = o->LeadingSpace;
  SpecialCharForms = o->SpecialCharForms;
  Name = o->Name;
  Value = o->Value;
  if (o->HasCharacterForms())
    CharacterForms().Assign(*o->CharacterFormsOrNull());
  else
    ReleaseCharacterForms();
}

bool TKyXmlItem::Equals(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlItem*>(&other);
  if (!o) return false;
  if (Name != o->Name || Value != o->Value || TrailingSpace.Str() != o->TrailingSpace.Str() ||
      LeadingSpace.Str() != o->LeadingSpace.Str() || SpecialCharForms != o->SpecialCharForms)
    return false;
  if (HasCharacterForms() != o->HasCharacterForms()) return false;
  return !HasCharacterForms() || CharacterFormsOrNull()->Equals(*o->CharacterFormsOrNull());
}

void TKyXmlAttribute::Assign(const TKyObject& source) {
  TKyXmlItem::Assign(source);
  if (const auto* o = dynamic_cast<const TKyXmlAttribute*>(&source); o && o != this) {
    SpaceBeforeEquals = o->SpaceBeforeEquals;
    QuoteKind = o->QuoteKind;
    SpaceAfterEquals = o->SpaceAfterEquals;
    SpaceAfter = o->SpaceAfter;
  }
}

bool TKyXmlAttribute::Equals(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlAttribute*>(&other);
  return o && TKyXmlItem::Equals(other) && QuoteKind == o->QuoteKind &&
         SpaceBeforeEquals.Str() == o->SpaceBeforeEquals.Str() && SpaceAfterEquals.Str() == o->SpaceAfterEquals.Str() &&
         SpaceAfter.Str() == o->SpaceAfter.Str();
}

void TKyXmlAttributes::Assign(const TKyXmlAttributes& other) {
  if (&other == this) return;
  other.Unpack();
  TXmlNodeArray<TKyXmlAttribute> copies;
  copies.reserve(other.Items_.size());
  for (TKyXmlAttribute* a : other.Items_) {
    auto copy = std::make_unique<TKyXmlAttribute>();
    copy->Assign(*a);
    copy->Parent = Parent;
    copies.push_back(std::move(copy));
  }
  FreePacked();
  Items_ = std::move(copies);
}

bool TKyXmlAttributes::Equals(const TKyXmlAttributes& other) const {
  Unpack();
  other.Unpack();
  if (Items_.size() != other.Items_.size()) return false;
  for (size_t i = 0; i < Items_.size(); ++i)
    if (!Items_[i]->Equals(*other.Items_[i])) return false;
  return true;
}

void TKyXmlElement::Assign(const TKyObject& source) {
  const auto* o = dynamic_cast<const TKyXmlElement*>(&source);
  if (o == this) return;
  TKyXmlItem::Assign(source);
  if (!o) return;
  // Copy into a new subtree first: the source may be a descendant of this element.
  TXmlNodeArray<TKyXmlElement> children;
  children.reserve(o->Children_.size());
  for (TKyXmlElement* c : o->Children_) {
    auto copy = std::make_unique<TKyXmlElement>();
    copy->Assign(*c);
    copy->Parent = this;
    children.push_back(std::move(copy));
  }
  Attributes.Assign(o->Attributes);
  HasText = o->HasText;
  Enabled = o->Enabled;
  EndTail = o->EndTail;
  SameNameIndex = o->SameNameIndex;
  Tail = o->Tail;
  Kind_ = o->Kind_;
  Children_ = std::move(children);
}

bool TKyXmlElement::Equals(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlElement*>(&other);
  if (!o || !TKyXmlItem::Equals(other)) return false;
  if (Kind_ != o->Kind_ || HasText != o->HasText || Enabled != o->Enabled || SameNameIndex != o->SameNameIndex ||
      EndTail.Str() != o->EndTail.Str() || Tail.Str() != o->Tail.Str() || !Attributes.Equals(o->Attributes) ||
      Children_.size() != o->Children_.size())
    return false;
  for (size_t i = 0; i < Children_.size(); ++i)
    if (!Children_[i]->Equals(*o->Children_[i])) return false;
  return true;
}

void TKyXmlEntity::Assign(const TKyObject& source) {
  if (const auto* o = dynamic_cast<const TKyXmlEntity*>(&source)) {
    EntityKind = o->EntityKind;
    Name = o->Name;
    Used = o->Used;
    Value = o->Value;
  }
}

bool TKyXmlEntity::Equals(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlEntity*>(&other);
  return o && EntityKind == o->EntityKind && Name == o->Name && Used == o->Used && Value == o->Value;
}

int TKyXmlEntity::Compare(const TKyObject& other) const {
  const auto* o = dynamic_cast<const TKyXmlEntity*>(&other);
  if (!o) return 0;
  int c = Name.compare(o->Name);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}
