#include "lib/core/kystringlist.h"

#include <algorithm>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "lib/core/kysysutils.h"
#include "resstrings.h"

void TStringList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
}

const String& TStringList::Strings(int index) const {
  CheckIndex(index);
  return Items_[static_cast<size_t>(index)].Text;
}

void TStringList::SetString(int index, const String& s) {
  if (Sorted_) throw EListError(LoadResString(SSortedListError));
  CheckIndex(index);
  Items_[static_cast<size_t>(index)].Text = s;
}

void* TStringList::Objects(int index) const {
  CheckIndex(index);
  return Items_[static_cast<size_t>(index)].Object;
}

void TStringList::SetObject(int index, void* object) {
  CheckIndex(index);
  Items_[static_cast<size_t>(index)].Object = object;
}

int TStringList::CompareStrings(StringView a, StringView b) const {
  return CaseSensitive_ ? CompareStr(a, b) : CompareText(a, b);
}

int TStringList::Add(const String& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const String& s, void* object) {
  int index = Count();
  if (Sorted_) {
    if (Find(s, index)) {
      if (Duplicates == TDuplicates::Ignore) return index;
      if (Duplicates == TDuplicates::Error) throw EListError(LoadResString(SDuplicateString));
    }
  }
  Items_.insert(Items_.begin() + index, Item{s, object});
  return index;
}

void TStringList::AddStrings(const TStringList& other) {
  for (const Item& i : other.Items_) AddObject(i.Text, i.Object);
}

void TStringList::Insert(int index, const String& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const String& s, void* object) {
  if (Sorted_) throw EListError(LoadResString(SSortedListError));
  if (index < 0 || index > Count()) throw EListError(Format(SListIndexError, {index}));
  Items_.insert(Items_.begin() + index, Item{s, object});
}

void TStringList::Delete(int index) {
  CheckIndex(index);
  Items_.erase(Items_.begin() + index);
}

void TStringList::Clear() { Items_.clear(); }

void TStringList::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(Items_[static_cast<size_t>(a)], Items_[static_cast<size_t>(b)]);
}

void TStringList::Move(int from, int to) {
  if (from == to) return;
  CheckIndex(from);
  CheckIndex(to);
  Item item = std::move(Items_[static_cast<size_t>(from)]);
  Items_.erase(Items_.begin() + from);
  Items_.insert(Items_.begin() + to, std::move(item));
}

void TStringList::Assign(const TStringList& other) {
  if (this == &other) return;
  Items_ = other.Items_;
  Sorted_ = other.Sorted_;
  CaseSensitive_ = other.CaseSensitive_;
  Duplicates = other.Duplicates;
}

int TStringList::IndexOf(StringView s) const {
  if (Sorted_) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (int i = 0; i < Count(); ++i) {
    if (CompareStrings(Items_[static_cast<size_t>(i)].Text, s) == 0) return i;
  }
  return -1;
}

int TStringList::IndexOfObject(const void* object) const {
  for (int i = 0; i < Count(); ++i) {
    if (Items_[static_cast<size_t>(i)].Object == object) return i;
  }
  return -1;
}

bool TStringList::Find(StringView s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    int c = CompareStrings(Items_[static_cast<size_t>(mid)].Text, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != TDuplicates::Accept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !Sorted_) Sort();
  Sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == CaseSensitive_) return;
  CaseSensitive_ = value;
  if (Sorted_) Sort();
}

void TStringList::Sort() {
  std::stable_sort(Items_.begin(), Items_.end(),
                   [this](const Item& a, const Item& b) { return CompareStrings(a.Text, b.Text) < 0; });
}

void TStringList::CustomSort(const std::function<int(const TStringList&, int, int)>& compare) {
  if (Sorted_ || Count() < 2) return;
  std::vector<int> order(Items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(Items_.size());
  for (int i : order) sorted.push_back(std::move(Items_[static_cast<size_t>(i)]));
  Items_ = std::move(sorted);
}

String TStringList::Text() const {
  String out;
  for (const Item& i : Items_) {
    out += i.Text;
    out += u"\r\n";
  }
  return out;
}

void TStringList::SetText(StringView text) {
  Clear();
  size_t p = 0;
  while (p < text.size()) {
    size_t q = p;
    while (q < text.size() && text[q] != u'\r' && text[q] != u'\n') ++q;
    Add(String(text.substr(p, q - p)));
    if (q < text.size() && text[q] == u'\r') ++q;
    if (q < text.size() && text[q] == u'\n') ++q;
    p = q;
  }
}

String TStringList::Names(int index) const {
  const String& s = Strings(index);
  size_t eq = s.find(u'=');
  return eq == String::npos ? String() : s.substr(0, eq);
}

String TStringList::ValueFromIndex(int index) const {
  const String& s = Strings(index);
  size_t eq = s.find(u'=');
  return eq == String::npos ? String() : s.substr(eq + 1);
}

int TStringList::IndexOfName(StringView name) const {
  for (int i = 0; i < Count(); ++i) {
    const String& s = Items_[static_cast<size_t>(i)].Text;
    size_t eq = s.find(u'=');
    if (eq != String::npos && CompareStrings(StringView(s).substr(0, eq), name) == 0) return i;
  }
  return -1;
}

String TStringList::Values(StringView name) const {
  int i = IndexOfName(name);
  return i < 0 ? String() : ValueFromIndex(i);
}

void TStringList::SetValue(StringView name, StringView value) {
  int i = IndexOfName(name);
  String line = String(name) + u"=" + String(value);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    Items_[static_cast<size_t>(i)].Text = line;
  } else {
    Add(line);
  }
}
