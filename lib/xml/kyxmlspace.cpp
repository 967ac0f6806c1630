#include "lib/xml/kyxmlspace.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

constexpr std::uint32_t kChunkBits = 8;
constexpr std::uint32_t kChunkSize = 1u << kChunkBits;
constexpr std::uint32_t kMaxChunks = 1u << 16;  // 16 M entries

struct TEntry {
  String Text;
  std::uint32_t NextFree = 0;
};

struct TViewHash {
  using is_transparent = void;
  size_t operator()(StringView s) const { return std::hash<StringView>()(s); }
};

// Entries live in chunks that never move, so that reading one needs no lock.
struct TTable {
  std::mutex Lock;
  std::atomic<TEntry*>* Chunks = nullptr;  // kMaxChunks, zeroed pages until used
  std::uint32_t Count = 1;                 // entry 0 is the empty text
  std::uint32_t FreeOwn = 0;               // freed entries of their own, a list through NextFree
  std::unordered_map<String, std::uint32_t, TViewHash, std::equal_to<>> Shared;
  std::uint32_t Space = 0;  // the entry of " "
};

std::uint32_t NewEntry(TTable& t);
TEntry& EntryAt(const TTable& t, std::uint32_t index);

TTable& Table() {
  static TTable* table = [] {
    auto* t = new TTable;  // lives as long as any node may
    t->Chunks = static_cast<std::atomic<TEntry*>*>(std::calloc(kMaxChunks, sizeof(std::atomic<TEntry*>)));
    if (!t->Chunks) throw std::bad_alloc();
    t->Space = NewEntry(*t);
    EntryAt(*t, t->Space).Text = u" ";
    t->Shared.emplace(String(u" "), t->Space);
    return t;
  }();
  return *table;
}

TEntry& EntryAt(const TTable& t, std::uint32_t index) {
  return t.Chunks[index >> kChunkBits].load(std::memory_order_acquire)[index & (kChunkSize - 1)];
}

// Under the lock.
std::uint32_t NewEntry(TTable& t) {
  if (t.FreeOwn) {
    std::uint32_t index = t.FreeOwn;
    t.FreeOwn = EntryAt(t, index).NextFree;
    return index;
  }
  std::uint32_t index = t.Count;
  if ((index >> kChunkBits) >= kMaxChunks) throw std::bad_alloc();
  if ((index & (kChunkSize - 1)) == 0 || index == 1) {
    std::uint32_t chunk = index >> kChunkBits;
    if (!t.Chunks[chunk].load(std::memory_order_relaxed))
      t.Chunks[chunk].store(new TEntry[kChunkSize], std::memory_order_release);
  }
  ++t.Count;
  return index;
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
  if (Id_ == 0) return kEmpty;
  return EntryAt(Table(), Id_ & ~kOwn).Text;
}

void TXmlWhitespace::Assign(StringView s) {
  Id_ = 0;
  if (s.empty()) return;
  TTable& t = Table();
  // The run between attributes and after names, by far the most common, without the lock.
  if (s.size() == 1 && s[0] == u' ') {
    Id_ = t.Space;
    return;
  }
  std::lock_guard<std::mutex> guard(t.Lock);
  if (Shareable(s)) {
    // The set of distinct short whitespace runs stays small: they are kept for good.
    auto it = t.Shared.find(s);
    if (it == t.Shared.end()) {
      std::uint32_t index = NewEntry(t);
      EntryAt(t, index).Text.assign(s);
      it = t.Shared.emplace(String(s), index).first;
    }
    Id_ = it->second;
    return;
  }
  std::uint32_t index = NewEntry(t);
  EntryAt(t, index).Text.assign(s);
  Id_ = index | kOwn;
}

void TXmlWhitespace::ReleaseOwn() {
  TTable& t = Table();
  std::lock_guard<std::mutex> guard(t.Lock);
  std::uint32_t index = Id_ & ~kOwn;
  TEntry& e = EntryAt(t, index);
  String().swap(e.Text);
  e.NextFree = t.FreeOwn;
  t.FreeOwn = index;
}
