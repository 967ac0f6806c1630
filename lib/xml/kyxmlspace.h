// The whitespace fields of XML nodes: mostly empty or one of a few short runs, so they
// are held as a 32-bit number of an entry in one table instead of a string each: short
// runs are shared entries kept for good, other texts entries of their own.
#pragma once

#include <cstdint>

#include "lib/core/kytypes.h"

class TXmlWhitespace {
 public:
  TXmlWhitespace() = default;
  TXmlWhitespace(StringView s) { Assign(s); }
  TXmlWhitespace(const String& s) { Assign(s); }
  TXmlWhitespace(const Char* s) { Assign(StringView(s)); }
  TXmlWhitespace(const TXmlWhitespace& o) {
    if (o.Id_ & kOwn)
      Assign(o.Str());
    else
      Id_ = o.Id_;
  }
  TXmlWhitespace(TXmlWhitespace&& o) noexcept : Id_(o.Id_) { o.Id_ = 0; }
  ~TXmlWhitespace() { Release(); }
  TXmlWhitespace& operator=(const TXmlWhitespace& o) {
    if (this != &o) {
      if (!(o.Id_ & kOwn)) {
        Release();
        Id_ = o.Id_;
      } else {
        String copy = o.Str();
        Release();
        Assign(copy);
      }
    }
    return *this;
  }
  TXmlWhitespace& operator=(TXmlWhitespace&& o) noexcept {
    if (this != &o) {
      Release();
      Id_ = o.Id_;
      o.Id_ = 0;
    }
    return *this;
  }
  TXmlWhitespace& operator=(StringView s) {
    if (!(Id_ & kOwn)) {  // shared entries are never freed: S stays valid
      Assign(s);
      return *this;
    }
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
  bool empty() const { return Id_ == 0; }
  size_t size() const { return Str().size(); }
  void clear() { Release(); }
  friend bool operator==(const TXmlWhitespace& a, StringView b) { return StringView(a.Str()) == b; }
  friend bool operator==(const TXmlWhitespace& a, const Char* b) { return StringView(a.Str()) == StringView(b); }
  friend String operator+(const String& a, const TXmlWhitespace& b) { return a + b.Str(); }
  friend String operator+(const TXmlWhitespace& a, const String& b) { return a.Str() + b; }
  friend String operator+(const Char* a, const TXmlWhitespace& b) { return String(a) + b.Str(); }

 private:
  void Assign(StringView s);
  void Release() {
    if (Id_ & kOwn) ReleaseOwn();
    Id_ = 0;
  }
  void ReleaseOwn();
  static constexpr std::uint32_t kOwn = 0x80000000u;  // an entry of its own, freed with it
  std::uint32_t Id_ = 0;                               // 0: empty
};
