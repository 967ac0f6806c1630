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

  size_t size() const { return Block() ? Block()->Count : 0; }
  bool empty() const { return size() == 0; }
  T* operator[](size_t i) const { return Block()->Items[i]; }
  T* back() const { return Block()->Items[Block()->Count - 1]; }
  T* const* begin() const { return Block() ? Block()->Items : nullptr; }
  T* const* end() const { return Block() ? Block()->Items + Block()->Count : nullptr; }

  void reserve(size_t n) {
    if (n > Capacity()) Grow(n);
  }
  // Room for exactly the items held.
  void shrink_to_fit() {
    if (!Block() || Block()->Capacity == Block()->Count) return;
    if (Block()->Count == 0) {
      FreeBlock(Block());
      B_ = nullptr;
    } else {
      Grow(Block()->Count);
    }
  }
  void push_back(std::unique_ptr<T> item) { insert(size(), std::move(item)); }
  void insert(size_t i, std::unique_ptr<T> item) {
    if (size() == Capacity()) Grow(size() < 2 ? 2 : size() * 2);
    T** items = Block()->Items;
    std::memmove(items + i + 1, items + i, (Block()->Count - i) * sizeof(T*));
    items[i] = item.release();
    ++Block()->Count;
  }
  std::unique_ptr<T> extract(size_t i) {
    T** items = Block()->Items;
    std::unique_ptr<T> item(items[i]);
    std::memmove(items + i, items + i + 1, (Block()->Count - i - 1) * sizeof(T*));
    --Block()->Count;
    return item;
  }
  void erase(size_t i) { extract(i); }
  void clear() {
    if (!Block()) {
      B_ = nullptr;
      return;
    }
    // Last to first, as the list was built.
    while (Block()->Count > 0) delete Block()->Items[--Block()->Count];
    FreeBlock(Block());
    B_ = nullptr;
  }
  // Hands every item to Out without freeing any and leaves the list empty.
  void DetachAll(std::vector<T*>& out) {
    if (!Block()) return;
    out.insert(out.end(), Block()->Items, Block()->Items + Block()->Count);
    FreeBlock(Block());
    B_ = nullptr;
  }

  // An owner's block of another kind, kept in the list's pointer while the list holds
  // nothing (its low bit marks it), so that the owner needs no pointer of its own. The
  // owner frees it before it uses the list again; clear() then only forgets it.
  void* Other() const {
    auto v = reinterpret_cast<std::uintptr_t>(B_);
    return (v & 1) ? reinterpret_cast<void*>(v & ~std::uintptr_t{1}) : nullptr;
  }
  void SetOther(void* other) {
    B_ = other ? reinterpret_cast<TBlock*>(reinterpret_cast<std::uintptr_t>(other) | 1) : nullptr;
  }

 private:
  struct TBlock {
    std::uint32_t Count;
    std::uint32_t Capacity;
    T* Items[1];
  };
  // The item block, or null while the pointer holds another block (see SetOther).
  TBlock* Block() const { return (reinterpret_cast<std::uintptr_t>(B_) & 1) ? nullptr : B_; }
  size_t Capacity() const { return Block() ? Block()->Capacity : 0; }
  static size_t Bytes(size_t capacity) { return offsetof(TBlock, Items) + capacity * sizeof(T*); }
  static void FreeBlock(TBlock* b) { XmlPoolFree(b, Bytes(b->Capacity)); }
  void Grow(size_t n) {
    if (n > 0x7FFFFFFFu) throw std::bad_alloc();
    auto* b = static_cast<TBlock*>(XmlPoolAlloc(Bytes(n)));
    b->Count = 0;
    if (TBlock* old = Block()) {
      b->Count = old->Count;
      std::memcpy(b->Items, old->Items, old->Count * sizeof(T*));
      FreeBlock(old);
    }
    b->Capacity = static_cast<std::uint32_t>(n);
    B_ = b;
  }
  TBlock* B_ = nullptr;
};
