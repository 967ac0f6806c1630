#include "lib/xml/kyxmlpool.h"

#include <cstdint>
#include <cstdlib>
#include <atomic>
#include <mutex>
#include <thread>
#include <new>
#include <vector>

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

namespace {

constexpr size_t kSlabSize = 2u << 20;  // one huge page where the system has them
constexpr size_t kGranule = 8;
// A class is given huge pages from its fifth slab on: a huge page is resident as a
// whole, and a small document would otherwise hold a few megabytes per size class.
constexpr size_t kHugeAfter = 4;
constexpr size_t kMaxObject = 512;
// Classes every 8 bytes up to 128, every 16 up to 256, every 32 up to 512: texts come in
// every length, and each class in use keeps at least a page of its own.
constexpr size_t kClasses = 33;

size_t ClassOf(size_t size) {
  if (size <= 128) return (size + 7) / 8;
  if (size <= 256) return 16 + (size - 128 + 15) / 16;
  return 24 + (size - 256 + 31) / 32;
}

size_t ClassSize(size_t cls) {
  if (cls <= 16) return cls * 8;
  if (cls <= 24) return 128 + (cls - 16) * 16;
  return 256 + (cls - 24) * 32;
}

struct TSlab {
  size_t ObjectSize;
  size_t Live;
  char* Bump;
  char* End;
  void* Free;
  bool InPartial;
};

struct TClass {
  TSlab* Current = nullptr;
  std::vector<TSlab*> Partial;  // slabs with free slots, other than Current
  size_t Slabs = 0;
};

// Empty slabs kept for the next document instead of going back to the system at once:
// their pages are resident already, and touching fresh pages is what loading costs most.
constexpr size_t kMaxSpare = 32;

// Held for a few instructions per node: when free, cheaper to take than a mutex.
class TSpinLock {
 public:
  void lock() {
    while (Flag_.exchange(true, std::memory_order_acquire))
      while (Flag_.load(std::memory_order_relaxed)) std::this_thread::yield();
  }
  void unlock() { Flag_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> Flag_{false};
};

struct TPool {
  TSpinLock Lock;
  TClass Classes[kClasses];
  std::vector<void*> Spare;
};

TPool& Pool() {
  static TPool* pool = new TPool;  // never destroyed: nodes may outlive static destructors
  return *pool;
}

void* MapSlab(bool huge) {
#ifdef _WIN32
  (void)huge;
  return _aligned_malloc(kSlabSize, kSlabSize);
#else
  // Map twice the size and keep the aligned half, so that the kernel can use a huge page.
  size_t span = 2 * kSlabSize;
  void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  auto base = reinterpret_cast<std::uintptr_t>(raw);
  std::uintptr_t aligned = (base + kSlabSize - 1) & ~(kSlabSize - 1);
  if (aligned > base) munmap(raw, aligned - base);
  std::uintptr_t tail = aligned + kSlabSize, end = base + span;
  if (end > tail) munmap(reinterpret_cast<void*>(tail), end - tail);
#ifdef MADV_HUGEPAGE
  if (huge) madvise(reinterpret_cast<void*>(aligned), kSlabSize, MADV_HUGEPAGE);
#else
  (void)huge;
#endif
  return reinterpret_cast<void*>(aligned);
#endif
}

void UnmapSlab(void* p) {
#ifdef _WIN32
  _aligned_free(p);
#else
  munmap(p, kSlabSize);
#endif
}

TSlab* SlabOf(void* p) {
  return reinterpret_cast<TSlab*>(reinterpret_cast<std::uintptr_t>(p) & ~(kSlabSize - 1));
}

TSlab* NewSlab(size_t objectSize, bool huge) {
  TPool& pool = Pool();
  void* mem;
  if (!pool.Spare.empty()) {
    mem = pool.Spare.back();
    pool.Spare.pop_back();
  } else {
    mem = MapSlab(huge);
  }
  if (!mem) throw std::bad_alloc();
  auto* s = static_cast<TSlab*>(mem);
  s->ObjectSize = objectSize;
  s->Live = 0;
  size_t header = (sizeof(TSlab) + kGranule - 1) / kGranule * kGranule;
  s->Bump = static_cast<char*>(mem) + header;
  s->End = static_cast<char*>(mem) + kSlabSize;
  s->Free = nullptr;
  s->InPartial = false;
  return s;
}

bool HasRoom(const TSlab* s) { return s->Free || s->Bump + s->ObjectSize <= s->End; }

// Under AddressSanitizer every node is its own allocation, so that misuse is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kBypass = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kBypass = true;
#else
constexpr bool kBypass = false;
#endif
#else
constexpr bool kBypass = false;
#endif

}  // namespace

void* XmlPoolAlloc(size_t size) {
  if (kBypass || size > kMaxObject) return ::operator new(size);
  size_t cls = ClassOf(size);
  TPool& pool = Pool();
  std::lock_guard<TSpinLock> guard(pool.Lock);
  TClass& c = pool.Classes[cls];
  TSlab* s = c.Current;
  if (!s || !HasRoom(s)) {
    s = nullptr;
    while (!c.Partial.empty() && !s) {
      TSlab* p = c.Partial.back();
      c.Partial.pop_back();
      p->InPartial = false;
      if (HasRoom(p)) s = p;
    }
    if (!s) {
      s = NewSlab(ClassSize(cls), c.Slabs >= kHugeAfter);
      ++c.Slabs;
    }
    c.Current = s;
  }
  void* p;
  if (s->Free) {
    p = s->Free;
    s->Free = *static_cast<void**>(p);
  } else {
    p = s->Bump;
    s->Bump += s->ObjectSize;
  }
  ++s->Live;
  return p;
}

void XmlPoolFree(void* p, size_t size) {
  if (!p) return;
  if (kBypass || size > kMaxObject) {
    ::operator delete(p);
    return;
  }
  size_t cls = ClassOf(size);
  TPool& pool = Pool();
  std::lock_guard<TSpinLock> guard(pool.Lock);
  TClass& c = pool.Classes[cls];
  TSlab* s = SlabOf(p);
  *static_cast<void**>(p) = s->Free;
  s->Free = p;
  --s->Live;
  if (s == c.Current) return;
  if (s->Live == 0) {
    // An empty slab goes back to the system.
    if (s->InPartial)
      for (size_t i = 0; i < c.Partial.size(); ++i)
        if (c.Partial[i] == s) {
          c.Partial[i] = c.Partial.back();
          c.Partial.pop_back();
          break;
        }
    if (pool.Spare.size() < kMaxSpare)
      pool.Spare.push_back(s);
    else
      UnmapSlab(s);
    --c.Slabs;
  } else if (!s->InPartial) {
    s->InPartial = true;
    c.Partial.push_back(s);
  }
}
