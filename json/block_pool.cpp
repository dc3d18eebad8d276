#include "json/block_pool.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VENDRA_JSON_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VENDRA_JSON_PLAIN_HEAP 1
#endif
#endif

namespace VendraJSON::BlockPool {

#if defined(VENDRA_JSON_PLAIN_HEAP)

void* Allocate(size_t bytes) { return ::operator new(bytes); }
void Free(void* block, size_t) { ::operator delete(block); }

#else

namespace {

constexpr unsigned kClasses = kLargestPooled / kGranule;
constexpr uint32_t kBatch = 256;  // blocks moved between a thread and the depot at once
constexpr size_t kChunkBytes = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

struct Batch {
  FreeBlock* head;
  uint32_t count;
};

// Free blocks no thread holds, per size class.
struct Depot {
  std::mutex mutex;
  std::vector<Batch> batches[kClasses + 1];
};

Depot& TheDepot() {
  // Never destroyed: values may still be released while the process exits.
  static Depot* depot = new Depot;
  return *depot;
}

enum class CacheState : uint8_t { kUnused, kActive, kRetired };

// Plain data, so that it stays usable until the thread ends, also after the
// thread's cache has been handed back (then every call goes to the depot).
struct ThreadCache {
  FreeBlock* head[kClasses + 1];
  uint32_t count[kClasses + 1];
  // Untouched room of the class's newest chunk, used once the list is empty.
  char* fresh[kClasses + 1];
  char* freshEnd[kClasses + 1];
  CacheState state;
};

thread_local ThreadCache tlsCache;

inline void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

unsigned ClassOf(size_t bytes) { return static_cast<unsigned>((bytes + kGranule - 1) / kGranule); }

void PushBatch(unsigned cls, Batch batch) {
  Depot& depot = TheDepot();
  std::lock_guard<std::mutex> lock(depot.mutex);
  depot.batches[cls].push_back(batch);
}

bool PopBatch(unsigned cls, Batch& batch) {
  Depot& depot = TheDepot();
  std::lock_guard<std::mutex> lock(depot.mutex);
  if (depot.batches[cls].empty()) return false;
  batch = depot.batches[cls].back();
  depot.batches[cls].pop_back();
  return true;
}

// Links a whole chunk into a list, for a thread that no longer caches.
Batch CarveChunk(unsigned cls) {
  const size_t size = size_t{cls} * kGranule;
  auto* chunk = static_cast<char*>(::operator new(kChunkBytes));
  const uint32_t n = static_cast<uint32_t>(kChunkBytes / size);
  FreeBlock* head = nullptr;
  for (uint32_t i = n; i > 0; --i) {
    auto* block = reinterpret_cast<FreeBlock*>(chunk + size_t{i - 1} * size);
    block->next = head;
    head = block;
  }
  return Batch{head, n};
}

struct CacheReturn {
  ~CacheReturn() {
    ThreadCache& cache = tlsCache;
    for (unsigned cls = 1; cls <= kClasses; ++cls) {
      // The untouched rest of the chunk joins the list it hands back.
      const size_t size = size_t{cls} * kGranule;
      for (char* p = cache.fresh[cls]; p != cache.freshEnd[cls]; p += size) {
        auto* block = reinterpret_cast<FreeBlock*>(p);
        block->next = cache.head[cls];
        cache.head[cls] = block;
        ++cache.count[cls];
      }
      cache.fresh[cls] = cache.freshEnd[cls] = nullptr;
      if (cache.head[cls]) PushBatch(cls, Batch{cache.head[cls], cache.count[cls]});
      cache.head[cls] = nullptr;
      cache.count[cls] = 0;
    }
    cache.state = CacheState::kRetired;
  }
};

void Activate(ThreadCache& cache) {
  // Hands the blocks back to the depot when the thread ends.
  thread_local CacheReturn giveBack;
  (void)giveBack;
  cache.state = CacheState::kActive;
}

void* AllocateSlow(unsigned cls) {
  ThreadCache& cache = tlsCache;
  if (cache.state == CacheState::kUnused) Activate(cache);
  const size_t size = size_t{cls} * kGranule;
  if (cache.state == CacheState::kActive) {
    // Fresh memory is handed out in address order and touched only when
    // used; blocks given back by others come first.
    if (cache.fresh[cls] == cache.freshEnd[cls]) {
      Batch batch;
      if (PopBatch(cls, batch)) {
        cache.head[cls] = batch.head->next;
        cache.count[cls] = batch.count - 1;
        return batch.head;
      }
      cache.fresh[cls] = static_cast<char*>(::operator new(kChunkBytes));
      cache.freshEnd[cls] = cache.fresh[cls] + (kChunkBytes / size) * size;
    }
    void* block = cache.fresh[cls];
    cache.fresh[cls] += size;
    return block;
  }
  Batch batch;
  if (!PopBatch(cls, batch)) batch = CarveChunk(cls);
  if (batch.count > 1) PushBatch(cls, Batch{batch.head->next, batch.count - 1});
  return batch.head;
}

void FreeSlow(FreeBlock* block, unsigned cls) {
  ThreadCache& cache = tlsCache;
  if (cache.state == CacheState::kUnused) Activate(cache);
  if (cache.state == CacheState::kRetired) {
    block->next = nullptr;
    PushBatch(cls, Batch{block, 1});
    return;
  }
  block->next = cache.head[cls];
  cache.head[cls] = block;
  ++cache.count[cls];
}

}  // namespace

void* Allocate(size_t bytes) {
  if (bytes > kLargestPooled) return ::operator new(bytes);
  const unsigned cls = ClassOf(bytes ? bytes : 1);
  ThreadCache& cache = tlsCache;
  if (FreeBlock* block = cache.head[cls]) {
    cache.head[cls] = block->next;
    --cache.count[cls];
    // Freed blocks are scattered; fetching the next one now hides the miss
    // its link would cost on the next call.
    Prefetch(block->next);
    return block;
  }
  return AllocateSlow(cls);
}

void Free(void* p, size_t bytes) {
  if (bytes > kLargestPooled) {
    ::operator delete(p);
    return;
  }
  const unsigned cls = ClassOf(bytes ? bytes : 1);
  auto* block = static_cast<FreeBlock*>(p);
  ThreadCache& cache = tlsCache;
  if (cache.state != CacheState::kActive) {
    FreeSlow(block, cls);
    return;
  }
  block->next = cache.head[cls];
  cache.head[cls] = block;
  // A thread that frees far more than it allocates passes blocks on.
  if (++cache.count[cls] >= 2 * kBatch) {
    FreeBlock* head = cache.head[cls];
    FreeBlock* last = head;
    for (uint32_t i = 1; i < kBatch; ++i) last = last->next;
    cache.head[cls] = last->next;
    cache.count[cls] -= kBatch;
    last->next = nullptr;
    PushBatch(cls, Batch{head, kBatch});
  }
}

#endif

}  // namespace VendraJSON::BlockPool
