// Owning list of nodes behind one pointer (null while empty): most elements of a
// document have no children and no attributes, and a std::vector costs 24 bytes each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "lib/xml/kyxmlpool.h"

template <typename T>
class TXmlNodeArray {
 public:
  TXmlNodeArray() = default;
  TXmlNodeArray(const TXmlNodeArray&) = delete;
  TXmlNodeArray& operator=(const TXmlNodeArray&) = delete;
  TXmlNodeArray(TXmlNodeArray&& o) noexcept : B_(o.B_) { o.B_ = nullptr; }
  TXmlNodeArray& operator=(TXmlNodeArray&& o) noexcept {
    if (this != &o) {
      clear();
      B_ = o.B_;
      o.B_ = nullptr;
    }
    return *this;
  }
  ~TXmlNodeArray() { clear(); }

  size_t size() const { return B_ ? B_->Count : 0; }
  bool empty() const { return size() == 0; }
  T* operator[](size_t i) const { return B_->Items[i]; }
  T* back() const { return B_->Items[B_->Count - 1]; }
  T* const* begin() const { return B_ ? B_->Items : nullptr; }
  T* const* end() const { return B_ ? B_->Items + B_->Count : nullptr; }

  void reserve(size_t n) {
    if (n > Capacity()) Grow(n);
  }
  // Room for exactly the items held.
  void shrink_to_fit() {
    if (!B_ || B_->Capacity == B_->Count) return;
    if (B_->Count == 0) {
      FreeBlock(B_);
      B_ = nullptr;
    } else {
      Grow(B_->Count);
    }
  }
  void push_back(std::unique_ptr<T> item) { insert(size(), std::move(item)); }
  void insert(size_t i, std::unique_ptr<T> item) {
    if (size() == Capacity()) Grow(size() < 2 ? 2 : size() * 2);
    T** items = B_->Items;
    std::memmove(items + i + 1, items + i, (B_->Count - i) * sizeof(T*));
    items[i] = item.release();
    ++B_->Count;
  }
  std::unique_ptr<T> extract(size_t i) {
    T** items = B_->Items;
    std::unique_ptr<T> item(items[i]);
    std::memmove(items + i, items + i + 1, (B_->Count - i - 1) * sizeof(T*));
    --B_->Count;
    return item;
  }
  void erase(size_t i) { extract(i); }
  void clear() {
    if (!B_) return;
    // Last to first, as the list was built.
    while (B_->Count > 0) delete B_->Items[--B_->Count];
    FreeBlock(B_);
    B_ = nullptr;
  }
  // Hands every item to Out without freeing any and leaves the list empty.
  void DetachAll(std::vector<T*>& out) {
    if (!B_) return;
    out.insert(out.end(), B_->Items, B_->Items + B_->Count);
    FreeBlock(B_);
    B_ = nullptr;
  }

 private:
  struct TBlock {
    std::uint32_t Count;
    std::uint32_t Capacity;
    T* Items[1];
  };
  size_t Capacity() const { return B_ ? B_->Capacity : 0; }
  static size_t Bytes(size_t capacity) { return offsetof(TBlock, Items) + capacity * sizeof(T*); }
  static void FreeBlock(TBlock* b) { XmlPoolFree(b, Bytes(b->Capacity)); }
  void Grow(size_t n) {
    if (n > 0x7FFFFFFFu) throw std::bad_alloc();
    auto* b = static_cast<TBlock*>(XmlPoolAlloc(Bytes(n)));
    b->Count = 0;
    if (B_) {
      b->Count = B_->Count;
      std::memcpy(b->Items, B_->Items, B_->Count * sizeof(T*));
      FreeBlock(B_);
    }
    b->Capacity = static_cast<std::uint32_t>(n);
    B_ = b;
  }
  TBlock* B_ = nullptr;
};
