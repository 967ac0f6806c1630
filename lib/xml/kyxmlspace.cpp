#include "lib/xml/kyxmlspace.h"

#include <mutex>
#include <unordered_set>

namespace {

struct TShared {
  std::mutex Lock;
  std::unordered_set<String> Texts;
};

TShared& Shared() {
  static TShared* shared = new TShared;  // lives as long as any node may
  return *shared;
}

bool Shareable(StringView s) {
  if (s.size() > 64) return false;
  for (Char c : s)
    if (!(c == 9 || c == 10 || c == 13 || c == 32 || c == 160)) return false;
  return true;
}

const String kEmpty;

}  // namespace

const String& TXmlWhitespace::Str() const {
  if (P_ == 0) return kEmpty;
  return *reinterpret_cast<const String*>(P_ & ~std::uintptr_t(1));
}

void TXmlWhitespace::Assign(StringView s) {
  if (s.empty()) {
    P_ = 0;
    return;
  }
  if (Shareable(s)) {
    // The set of distinct whitespace runs stays small: they are kept for good.
    TShared& t = Shared();
    std::lock_guard<std::mutex> guard(t.Lock);
    const String& kept = *t.Texts.emplace(s).first;
    P_ = reinterpret_cast<std::uintptr_t>(&kept);
    return;
  }
  P_ = reinterpret_cast<std::uintptr_t>(new String(s)) | 1;
}

void TXmlWhitespace::Release() {
  if (P_ & 1) delete reinterpret_cast<String*>(P_ & ~std::uintptr_t(1));
  P_ = 0;
}
