#pragma once

#include <cstddef>

namespace tessary {

// Allocation of the many small blocks a library is made of (entries and
// their short texts). A million entries would otherwise pay the general
// allocator's header and 16-byte rounding on two blocks each; here a block
// costs its size rounded up to 8 bytes.
//
// Blocks up to kMaxPooledBytes come from per-thread free lists carved out of
// 2 MiB slabs; larger ones go to malloc. Freed blocks return to the free
// list of the thread that frees them (so a tree built on one thread may be
// destroyed on another) and are reused. A thread that ends hands its free
// blocks over, so that blocks made by scan threads and freed later are not
// lost. Slabs go back to the system only through ReleaseFreeMemory. Under
// AddressSanitizer everything goes to malloc, so that misuse is still caught.
inline constexpr std::size_t kMaxPooledBytes = 128;

void* PoolAlloc(std::size_t size);
// `size` must be the size given to PoolAlloc.
void PoolFree(void* block, std::size_t size) noexcept;
// Bytes a block of `size` really occupies.
std::size_t PoolBlockBytes(std::size_t size) noexcept;

// Gives memory that nothing uses back to the system: every slab all of whose
// blocks are free in the calling thread's lists (with those that ended
// threads handed over), and malloc's free pages. Slabs that another running
// thread carves from, or that hold a block still in use or in another
// thread's list, stay. For after a big library was destroyed; it takes time
// in proportion to the free blocks, so it does nothing unless the calling
// thread freed at least `minimumFreed` pooled bytes since it last ran.
// Returns the slab bytes given back.
std::size_t ReleaseFreeMemory(std::size_t minimumFreed = 0) noexcept;

// False where the pool hands everything to malloc (sanitizer builds).
bool PoolEnabled() noexcept;

} // namespace tessary
