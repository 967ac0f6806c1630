// Names and values of XML nodes: one pointer to an immutable, shared block of UTF-16
// text. A std::u16string costs 32 bytes even when empty; a large document holds
// millions of names and values, most of them empty or repeated (element names).
#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>

#include "lib/core/kytypes.h"

class TXmlString {
 public:
  TXmlString() = default;
  TXmlString(StringView s) : B_(Make(s)) {}
  TXmlString(const String& s) : B_(Make(s)) {}
  TXmlString(const Char* s) : B_(Make(StringView(s))) {}
  TXmlString(const TXmlString& o) noexcept : B_(o.B_) { AddRef(); }
  TXmlString(TXmlString&& o) noexcept : B_(o.B_) { o.B_ = nullptr; }
  ~TXmlString() { Release(B_); }

  TXmlString& operator=(const TXmlString& o) noexcept {
    TBlock* old = B_;
    B_ = o.B_;
    AddRef();
    Release(old);
    return *this;
  }
  TXmlString& operator=(TXmlString&& o) noexcept {
    if (this != &o) {
      Release(B_);
      B_ = o.B_;
      o.B_ = nullptr;
    }
    return *this;
  }
  TXmlString& operator=(StringView s) {
    TBlock* old = B_;
    B_ = Make(s);  // before the release: s may be this string's own text
    Release(old);
    return *this;
  }
  TXmlString& operator=(const String& s) { return *this = StringView(s); }
  TXmlString& operator=(const Char* s) { return *this = StringView(s); }

  size_t size() const { return B_ ? B_->Length : 0; }
  size_t length() const { return size(); }
  bool empty() const { return B_ == nullptr; }
  const Char* data() const { return B_ ? B_->Text() : kEmptyText; }
  const Char* begin() const { return data(); }
  const Char* end() const { return data() + size(); }
  Char operator[](size_t i) const { return data()[i]; }
  void clear() {
    Release(B_);
    B_ = nullptr;
  }

  StringView View() const { return StringView(data(), size()); }
  operator StringView() const { return View(); }
  String Str() const { return String(data(), size()); }
  StringView substr(size_t pos, size_t n = StringView::npos) const { return View().substr(pos, n); }
  int compare(StringView o) const { return View().compare(o); }

  friend bool operator==(const TXmlString& a, const TXmlString& b) { return a.B_ == b.B_ || a.View() == b.View(); }
  friend bool operator==(const TXmlString& a, StringView b) { return a.View() == b; }
  friend bool operator==(const TXmlString& a, const String& b) { return a.View() == StringView(b); }
  friend bool operator==(const TXmlString& a, const Char* b) { return a.View() == StringView(b); }
  friend bool operator!=(const TXmlString& a, const TXmlString& b) { return !(a == b); }
  friend bool operator!=(const TXmlString& a, StringView b) { return a.View() != b; }
  friend bool operator!=(const TXmlString& a, const String& b) { return a.View() != StringView(b); }
  friend bool operator!=(const TXmlString& a, const Char* b) { return a.View() != StringView(b); }
  friend bool operator<(const TXmlString& a, const TXmlString& b) { return a.View() < b.View(); }

  friend String operator+(const String& a, const TXmlString& b) { return String(a).append(b.View()); }
  friend String operator+(String&& a, const TXmlString& b) { return std::move(a.append(b.View())); }
  friend String operator+(const Char* a, const TXmlString& b) { return String(a).append(b.View()); }
  friend String operator+(const TXmlString& a, const String& b) { return a.Str().append(b); }
  friend String operator+(const TXmlString& a, const Char* b) { return a.Str().append(b); }
  friend String& operator+=(String& a, const TXmlString& b) { return a.append(b.View()); }
  // UTF-8, for test output.
  friend std::ostream& operator<<(std::ostream& o, const TXmlString& s);

 private:
  struct TBlock {
    std::atomic<std::uint32_t> Refs;
    std::uint32_t Length;
    Char* Text() { return reinterpret_cast<Char*>(this + 1); }
    const Char* Text() const { return reinterpret_cast<const Char*>(this + 1); }
  };
  static constexpr Char kEmptyText[1] = {0};
  static TBlock* Make(StringView s);
  static void Free(TBlock* b);
  void AddRef() const {
    if (B_) B_->Refs.fetch_add(1, std::memory_order_relaxed);
  }
  static void Release(TBlock* b) {
    if (b && b->Refs.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(b);
  }
  TBlock* B_ = nullptr;
};
