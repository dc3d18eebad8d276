#pragma once

#include <cstddef>

// Memory for JSON values, holders and member tables. A parsed document is
// made of a great many small blocks that live and die together, so each
// thread keeps lists of free blocks per size and refills them in batches;
// freed blocks are kept for later values rather than returned to the system.
// Blocks may be freed on any thread. Under AddressSanitizer every block comes
// from the ordinary heap, so that misuse stays detectable.
namespace VendraJSON::BlockPool {

// Block sizes are multiples of this many bytes.
constexpr size_t kGranule = 16;
// Larger blocks come from the ordinary heap.
constexpr size_t kLargestPooled = 512;

// A block of at least bytes bytes, to be given back with Free.
void* Allocate(size_t bytes);
// bytes must be what was asked of Allocate.
void Free(void* block, size_t bytes);

}  // namespace VendraJSON::BlockPool
