// The persistent object base of the library and its owning containers.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "lib/core/kystringlist.h"
#include "lib/core/kytypes.h"

// Root of everything the object lists hold; lets a list tell library objects from others.
class TKyBaseObject {
 public:
  TKyBaseObject() = default;
  TKyBaseObject(const TKyBaseObject&) = delete;
  TKyBaseObject& operator=(const TKyBaseObject&) = delete;
  virtual ~TKyBaseObject() = default;
};

// An event handler held behind one pointer: most objects never get one, and a large
// tree of them (XML nodes) would otherwise carry an empty std::function in each.
template <typename Sig>
class TKyEvent;
template <typename R, typename... A>
class TKyEvent<R(A...)> {
 public:
  using TFunction = std::function<R(A...)>;
  TKyEvent() = default;
  TKyEvent(std::nullptr_t) {}
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TKyEvent>>>
  TKyEvent(F&& f) {
    Set(TFunction(std::forward<F>(f)));
  }
  TKyEvent(const TKyEvent& o) { *this = o; }
  TKyEvent(TKyEvent&&) noexcept = default;
  TKyEvent& operator=(const TKyEvent& o) {
    if (this != &o) F_ = o.F_ ? std::make_unique<TFunction>(*o.F_) : nullptr;
    return *this;
  }
  TKyEvent& operator=(TKyEvent&&) noexcept = default;
  TKyEvent& operator=(std::nullptr_t) {
    F_.reset();
    return *this;
  }
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, TKyEvent>>>
  TKyEvent& operator=(F&& f) {
    Set(TFunction(std::forward<F>(f)));
    return *this;
  }
  explicit operator bool() const { return F_ != nullptr; }
  R operator()(A... a) const { return (*F_)(std::forward<A>(a)...); }

 private:
  void Set(TFunction f) { F_ = f ? std::make_unique<TFunction>(std::move(f)) : nullptr; }
  std::unique_ptr<TFunction> F_;
};

class TKyObject;
using TKyObjectPtr = std::unique_ptr<TKyObject>;

// Each class that can be created by class names itself here (the virtual constructor).
#define KY_OBJECT_CREATE(ClassName) \
  TKyObjectPtr CreateNew() const override { return std::make_unique<ClassName>(); }

class TKyObject : public TKyBaseObject {
 public:
  using TNotifyEvent = TKyEvent<void(TKyObject* sender)>;

  virtual void Assign(const TKyObject& source) {}
  // Equals against a freshly created object of the same class.
  virtual bool IsDefault() const;
  virtual void Changed();
  // A new object of the same class.
  virtual TKyObjectPtr CreateNew() const { return std::make_unique<TKyObject>(); }
  // Negative, 0 or positive: order for sorting and binary search.
  virtual int Compare(const TKyObject& other) const { return 0; }
  virtual void Clear() {}
  virtual bool Equals(const TKyObject& other) const { return true; }

  // CreateNew followed by Assign(*this).
  TKyObjectPtr Clone() const;
  template <typename T>
  std::unique_ptr<T> CloneAs() const {
    TKyObjectPtr p = Clone();
    if (auto* t = dynamic_cast<T*>(p.get())) {
      p.release();
      return std::unique_ptr<T>(t);
    }
    return nullptr;
  }

  TNotifyEvent OnChange;
};

// The runtime's pointer list with ownership: with OwnsObjects, deleting an entry or
// destroying the list frees the entries. Entries may be null.
class TKyCustomList {
 public:
  TKyCustomList() = default;
  TKyCustomList(const TKyCustomList&) = delete;
  TKyCustomList& operator=(const TKyCustomList&) = delete;
  virtual ~TKyCustomList();

  bool OwnsObjects = true;

  int Count() const { return static_cast<int>(Items_.size()); }
  // EListError "List index out of bounds (%d)" outside 0 .. Count - 1.
  TKyBaseObject* Items(int index) const;
  TKyBaseObject* operator[](int index) const { return Items(index); }
  template <typename T>
  T* ItemAs(int index) const { return dynamic_cast<T*>(Items(index)); }

  // Takes ownership when OwnsObjects.
  int Add(TKyBaseObject* item);
  int Add(std::unique_ptr<TKyBaseObject> item) { return Add(item.release()); }
  template <typename T>
  int Add(std::unique_ptr<T> item) { return Add(static_cast<TKyBaseObject*>(item.release())); }
  void Insert(int index, TKyBaseObject* item);
  // Removes the entry and frees it when OwnsObjects.
  void Delete(int index);
  // Removes the entry and hands it to the caller.
  TKyBaseObject* Extract(int index);
  int IndexOf(const TKyBaseObject* item) const;
  // Delete of the first entry that is item; -1 when absent.
  int Remove(const TKyBaseObject* item);
  void Exchange(int a, int b);

 protected:
  void CheckIndex(int index) const;
  void FreeItem(TKyBaseObject* item) const;
  std::vector<TKyBaseObject*> Items_;
};

class TKyObjectStack : public TKyCustomList {
 public:
  ~TKyObjectStack() override;
  virtual void Push(TKyBaseObject* item) { Add(item); }
  // Removes and returns the last entry (the caller owns it); null when empty.
  virtual TKyBaseObject* Pop();
  // Pops and frees it when OwnsObjects.
  virtual void Drop();
  virtual TKyBaseObject* Top() const;
};

class TKyObjectList : public TKyCustomList {
 public:
  ~TKyObjectList() override;
  // Frees the entries from last to first when OwnsObjects.
  void Clear();
  // Clears and appends a clone of each entry of other (null stays null). The list owns
  // the clones afterwards.
  void Assign(const TKyObjectList& other);
  bool Equals(const TKyObjectList& other) const;
  // EKyException unless every entry is a TKyObject.
  void Sort();
};

class TKyObjects : public TKyObject {
 public:
  KY_OBJECT_CREATE(TKyObjects)
  bool Sorted = false;
  TKyObjectList List;

  int Count() const { return List.Count(); }
  TKyObject* Items(int index) const { return static_cast<TKyObject*>(List.Items(index)); }
  // Binary search by Compare when Sorted, else the first item that compares as 0.
  int IndexOf(const TKyObject& obj) const;
  TKyObject* Find(const TKyObject& obj) const;
  virtual void Sort();

  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;
  void Clear() override { List.Clear(); }
};

class TKyIntegerArray : public TKyObject {
 public:
  KY_OBJECT_CREATE(TKyIntegerArray)
  TKyIntegerArray() { Clear(); }

  int Count() const { return Count_; }
  int Capacity() const { return static_cast<int>(Values_.size()); }
  // Count 0, capacity at least 8.
  void Clear() override;
  // Only ever grows.
  virtual void SetCapacity(int n);
  // Capacity Count + 8.
  virtual void Grow();
  // ERangeError "Out of array range" outside 0 .. Count - 1.
  std::int32_t Items(int index) const;
  void SetItem(int index, std::int32_t value);
  int Add(std::int32_t value);

  void Assign(const TKyObject& source) override;
  bool Equals(const TKyObject& other) const override;

 protected:
  void CheckIndex(int index) const;
  std::vector<std::int32_t> Values_;
  int Count_ = 0;
};

class TKyIntegerStack : public TKyIntegerArray {
 public:
  KY_OBJECT_CREATE(TKyIntegerStack)
  virtual void Push(std::int32_t value) { Add(value); }
  // ERangeError "Stack is empty".
  virtual std::int32_t Pop();
  // 0 when empty.
  virtual std::int32_t Top() const;
  int TopIndex() const { return Count_ - 1; }
};

class TKyStringStack : public TStringList {
 public:
  int Push(const String& s) { return Add(s); }
  // Removes and returns the last string; empty when none.
  String Pop();
};
