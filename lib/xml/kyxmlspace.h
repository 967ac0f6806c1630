// The whitespace fields of XML nodes: mostly empty or one of a few short runs, so they
// are held as one pointer to a shared copy instead of a string each.
#pragma once

#include <cstdint>

#include "lib/core/kytypes.h"

class TXmlWhitespace {
 public:
  TXmlWhitespace() = default;
  TXmlWhitespace(StringView s) { Assign(s); }
  TXmlWhitespace(const String& s) { Assign(s); }
  TXmlWhitespace(const Char* s) { Assign(StringView(s)); }
  TXmlWhitespace(const TXmlWhitespace& o) { Assign(o.Str()); }
  TXmlWhitespace(TXmlWhitespace&& o) noexcept : P_(o.P_) { o.P_ = 0; }
  ~TXmlWhitespace() { Release(); }
  TXmlWhitespace& operator=(const TXmlWhitespace& o) {
    if (this != &o) {
      String copy = o.Str();
      Release();
      Assign(copy);
    }
    return *this;
  }
  TXmlWhitespace& operator=(TXmlWhitespace&& o) noexcept {
    if (this != &o) {
      Release();
      P_ = o.P_;
      o.P_ = 0;
    }
    return *this;
  }
  TXmlWhitespace& operator=(StringView s) {
    String copy(s);
    Release();
    Assign(copy);
    return *this;
  }
  TXmlWhitespace& operator=(const String& s) { return *this = StringView(s); }
  TXmlWhitespace& operator=(const Char* s) { return *this = StringView(s); }

  const String& Str() const;
  operator const String&() const { return Str(); }
  operator StringView() const { return Str(); }
  bool empty() const { return P_ == 0; }
  size_t size() const { return Str().size(); }
  void clear() { Release(); }
  friend bool operator==(const TXmlWhitespace& a, StringView b) { return StringView(a.Str()) == b; }
  friend bool operator==(const TXmlWhitespace& a, const Char* b) { return StringView(a.Str()) == StringView(b); }
  friend String operator+(const String& a, const TXmlWhitespace& b) { return a + b.Str(); }
  friend String operator+(const TXmlWhitespace& a, const String& b) { return a.Str() + b; }
  friend String operator+(const Char* a, const TXmlWhitespace& b) { return String(a) + b.Str(); }

 private:
  void Assign(StringView s);
  void Release();
  // A shared copy, or (low bit set) a string of its own.
  std::uintptr_t P_ = 0;
};
