#include "SmallPool.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define TESSARY_POOL_OFF 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSARY_POOL_OFF 1
#endif
#endif

namespace tessary {

namespace {
constexpr std::size_t kGrain = 8;
} // namespace

std::size_t PoolBlockBytes(std::size_t size) noexcept
{
    if (size == 0)
        size = 1;
    return size <= kMaxPooledBytes ? (size + kGrain - 1) / kGrain * kGrain : size;
}

#ifdef TESSARY_POOL_OFF

void* PoolAlloc(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void PoolFree(void* block, std::size_t) noexcept
{
    std::free(block);
}

#else

namespace {

constexpr std::size_t kClasses = kMaxPooledBytes / kGrain;
// Slabs are huge-page sized and aligned: on virtual machines a fault per
// 4 KiB page costs more than filling the page, and a loaded library of a
// million entries touches some 25,000 of them.
constexpr std::size_t kSlabBytes = 2 * 1024 * 1024;

char* NewSlab()
{
    void* p = ::mmap(nullptr, 2 * kSlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    auto start = reinterpret_cast<std::uintptr_t>(p);
    std::uintptr_t aligned = (start + kSlabBytes - 1) & ~(kSlabBytes - 1);
    if (aligned > start)
        ::munmap(p, aligned - start);
    std::uintptr_t tail = start + 2 * kSlabBytes - (aligned + kSlabBytes);
    if (tail)
        ::munmap(reinterpret_cast<void*>(aligned + kSlabBytes), tail);
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), kSlabBytes, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<char*>(aligned);
}

struct FreeBlock {
    FreeBlock* next;
};

struct Pool {
    FreeBlock* free[kClasses] = {};
    char* cursor = nullptr;
    char* end = nullptr;

    void* Take(std::size_t cls)
    {
        if (FreeBlock* b = free[cls]) {
            free[cls] = b->next;
            // Freed blocks are scattered; fetch the next one while the caller
            // fills this one.
            __builtin_prefetch(b->next, 1);
            return b;
        }
        std::size_t bytes = (cls + 1) * kGrain;
        if (static_cast<std::size_t>(end - cursor) < bytes) {
            // The tail of the old slab is left unused; slabs live as long as
            // the program, since their blocks may be owned by other threads.
            cursor = NewSlab();
            end = cursor + kSlabBytes;
        }
        void* p = cursor;
        cursor += bytes;
        return p;
    }
};

thread_local Pool t_pool;

} // namespace

void* PoolAlloc(std::size_t size)
{
    if (size == 0)
        size = 1;
    if (size > kMaxPooledBytes) {
        void* p = std::malloc(size);
        if (!p)
            throw std::bad_alloc();
        return p;
    }
    return t_pool.Take((size - 1) / kGrain);
}

void PoolFree(void* block, std::size_t size) noexcept
{
    if (!block)
        return;
    if (size == 0)
        size = 1;
    if (size > kMaxPooledBytes) {
        std::free(block);
        return;
    }
    std::size_t cls = (size - 1) / kGrain;
    auto* b = static_cast<FreeBlock*>(block);
    b->next = t_pool.free[cls];
    t_pool.free[cls] = b;
}

#endif

} // namespace tessary
