#pragma once

#include <cstddef>

namespace tessary {

// Allocation of the many small blocks a library is made of (entries and
// their short texts). A million entries would otherwise pay the general
// allocator's header and 16-byte rounding on two blocks each; here a block
// costs its size rounded up to 8 bytes.
//
// Blocks up to kMaxPooledBytes come from per-thread free lists carved out of
// 64 KiB slabs; larger ones go to malloc. Freed blocks return to the free
// list of the thread that frees them (so a tree built on one thread may be
// destroyed on another) and are reused, but slabs are never returned to the
// system. Under AddressSanitizer everything goes to malloc, so that misuse
// is still caught.
inline constexpr std::size_t kMaxPooledBytes = 128;

void* PoolAlloc(std::size_t size);
// `size` must be the size given to PoolAlloc.
void PoolFree(void* block, std::size_t size) noexcept;
// Bytes a block of `size` really occupies.
std::size_t PoolBlockBytes(std::size_t size) noexcept;

} // namespace tessary
