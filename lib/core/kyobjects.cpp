#include "lib/core/kyobjects.h"

#include <algorithm>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyformat.h"
#include "resstrings.h"

bool TKyObject::IsDefault() const {
  TKyObjectPtr fresh = CreateNew();
  return Equals(*fresh);
}

void TKyObject::Changed() {
  if (OnChange) OnChange(this);
}

TKyObjectPtr TKyObject::Clone() const {
  TKyObjectPtr p = CreateNew();
  p->Assign(*this);
  return p;
}

// ---------------------------------------------------------------------------

TKyCustomList::~TKyCustomList() = default;

void TKyCustomList::CheckIndex(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, {index}));
}

void TKyCustomList::FreeItem(TKyBaseObject* item) const {
  if (OwnsObjects) delete item;
}

TKyBaseObject* TKyCustomList::Items(int index) const {
  CheckIndex(index);
  return Items_[index];
}

int TKyCustomList::Add(TKyBaseObject* item) {
  try {
    Items_.push_back(item);
  } catch (...) {
    FreeItem(item);
    throw;
  }
  return Count() - 1;
}

void TKyCustomList::Insert(int index, TKyBaseObject* item) {
  if (index < 0 || index > Count()) {
    FreeItem(item);
    throw EListError(Format(SListIndexError, {index}));
  }
  Items_.insert(Items_.begin() + index, item);
}

void TKyCustomList::Delete(int index) {
  FreeItem(Extract(index));
}

TKyBaseObject* TKyCustomList::Extract(int index) {
  CheckIndex(index);
  TKyBaseObject* item = Items_[index];
  Items_.erase(Items_.begin() + index);
  return item;
}

int TKyCustomList::IndexOf(const TKyBaseObject* item) const {
  auto it = std::find(Items_.begin(), Items_.end(), item);
  return it == Items_.end() ? -1 : static_cast<int>(it - Items_.begin());
}

int TKyCustomList::Remove(const TKyBaseObject* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

void TKyCustomList::Exchange(int a, int b) {
  CheckIndex(a);
  CheckIndex(b);
  std::swap(Items_[a], Items_[b]);
}

// ---------------------------------------------------------------------------

TKyObjectStack::~TKyObjectStack() {
  while (!Items_.empty()) Drop();
}

TKyBaseObject* TKyObjectStack::Pop() {
  if (Items_.empty()) return nullptr;
  TKyBaseObject* item = Items_.back();
  Items_.pop_back();
  return item;
}

void TKyObjectStack::Drop() { FreeItem(Pop()); }

TKyBaseObject* TKyObjectStack::Top() const { return Items_.empty() ? nullptr : Items_.back(); }

// ---------------------------------------------------------------------------

TKyObjectList::~TKyObjectList() { Clear(); }

void TKyObjectList::Clear() {
  while (!Items_.empty()) {
    TKyBaseObject* item = Items_.back();
    Items_.pop_back();
    FreeItem(item);
  }
}

void TKyObjectList::Assign(const TKyObjectList& other) {
  if (&other == this) return;
  // Clone first, so that a failure leaves this list as it was.
  std::vector<std::unique_ptr<TKyBaseObject>> clones;
  clones.reserve(other.Items_.size());
  for (TKyBaseObject* item : other.Items_) {
    if (!item) {
      clones.emplace_back();
      continue;
    }
    auto* obj = dynamic_cast<TKyObject*>(item);
    if (!obj) throw EKyException(LoadResString(SListItemsNotCloneable));
    clones.emplace_back(obj->Clone());
  }
  Clear();
  OwnsObjects = true;
  Items_.reserve(clones.size());
  for (auto& c : clones) Items_.push_back(c.release());
}

bool TKyObjectList::Equals(const TKyObjectList& other) const {
  if (Count() != other.Count()) return false;
  for (size_t i = 0; i < Items_.size(); ++i) {
    TKyBaseObject* a = Items_[i];
    TKyBaseObject* b = other.Items_[i];
    if (!a || !b) {
      if (a != b) return false;
      continue;
    }
    auto* ka = dynamic_cast<TKyObject*>(a);
    auto* kb = dynamic_cast<TKyObject*>(b);
    if (ka && kb) {
      if (!ka->Equals(*kb)) return false;
    } else if (a != b) {
      return false;
    }
  }
  return true;
}

void TKyObjectList::Sort() {
  // Every entry is checked, not only the first: a foreign entry further down would
  // otherwise be compared as a library object.
  for (TKyBaseObject* item : Items_)
    if (!dynamic_cast<TKyObject*>(item)) throw EKyException(LoadResString(SListItemsNotKyObject));
  std::stable_sort(Items_.begin(), Items_.end(), [](TKyBaseObject* a, TKyBaseObject* b) {
    return static_cast<TKyObject*>(a)->Compare(*static_cast<TKyObject*>(b)) < 0;
  });
}

// ---------------------------------------------------------------------------

int TKyObjects::IndexOf(const TKyObject& obj) const {
  int n = Count();
  if (Sorted) {
    int lo = 0, hi = n - 1;
    while (lo <= hi) {
      int mid = lo + (hi - lo) / 2;
      int c = Items(mid)->Compare(obj);
      if (c == 0) return mid;
      if (c < 0)
        lo = mid + 1;
      else
        hi = mid - 1;
    }
    return -1;
  }
  for (int i = 0; i < n; ++i) {
    TKyObject* item = Items(i);
    if (item && item->Compare(obj) == 0) return i;
  }
  return -1;
}

TKyObject* TKyObjects::Find(const TKyObject& obj) const {
  int i = IndexOf(obj);
  return i < 0 ? nullptr : Items(i);
}

void TKyObjects::Sort() {
  List.Sort();
  Sorted = true;
}

void TKyObjects::Assign(const TKyObject& source) {
  if (auto* other = dynamic_cast<const TKyObjects*>(&source)) {
    List.Assign(other->List);
    Sorted = other->Sorted;
  }
}

bool TKyObjects::Equals(const TKyObject& other) const {
  auto* o = dynamic_cast<const TKyObjects*>(&other);
  return o && List.Equals(o->List);
}

// ---------------------------------------------------------------------------

void TKyIntegerArray::Clear() {
  Count_ = 0;
  SetCapacity(8);
}

void TKyIntegerArray::SetCapacity(int n) {
  if (n > Capacity()) Values_.resize(static_cast<size_t>(n));
}

void TKyIntegerArray::Grow() { SetCapacity(Count_ + 8); }

void TKyIntegerArray::CheckIndex(int index) const {
  if (index < 0 || index >= Count_) throw ERangeError(LoadResString(SOutOfArrayRange));
}

std::int32_t TKyIntegerArray::Items(int index) const {
  CheckIndex(index);
  return Values_[index];
}

void TKyIntegerArray::SetItem(int index, std::int32_t value) {
  CheckIndex(index);
  Values_[index] = value;
}

int TKyIntegerArray::Add(std::int32_t value) {
  if (Count_ >= Capacity()) Grow();
  Values_[Count_] = value;
  return Count_++;
}

void TKyIntegerArray::Assign(const TKyObject& source) {
  if (auto* other = dynamic_cast<const TKyIntegerArray*>(&source)) {
    if (other == this) return;
    SetCapacity(other->Count_);
    std::copy(other->Values_.begin(), other->Values_.begin() + other->Count_, Values_.begin());
    Count_ = other->Count_;
  }
}

bool TKyIntegerArray::Equals(const TKyObject& other) const {
  auto* o = dynamic_cast<const TKyIntegerArray*>(&other);
  return o && o->Count_ == Count_ && std::equal(Values_.begin(), Values_.begin() + Count_, o->Values_.begin());
}

std::int32_t TKyIntegerStack::Pop() {
  if (Count_ == 0) throw ERangeError(LoadResString(SStackIsEmpty));
  return Values_[--Count_];
}

std::int32_t TKyIntegerStack::Top() const { return Count_ == 0 ? 0 : Values_[Count_ - 1]; }

String TKyStringStack::Pop() {
  if (Empty()) return String();
  String s = Strings(Count() - 1);
  Delete(Count() - 1);
  return s;
}
