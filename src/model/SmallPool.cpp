#include "SmallPool.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <unordered_map>
#include <vector>

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

std::size_t ReleaseFreeMemory(std::size_t) noexcept
{
    ::malloc_trim(0);
    return 0;
}

bool PoolEnabled() noexcept
{
    return false;
}

#else

namespace {

constexpr std::size_t kClasses = kMaxPooledBytes / kGrain;
// Slabs are huge-page sized and aligned: on virtual machines a fault per
// 4 KiB page costs more than filling the page, and a loaded library of a
// million entries touches some 25,000 of them. The alignment also leads from
// any block to its slab.
constexpr std::size_t kSlabBytes = 2 * 1024 * 1024;

std::uintptr_t SlabOf(const void* block) noexcept
{
    return reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1);
}

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

// Every slab of the process. A slab is carved by one thread from its start;
// `carved` is final once that thread moved on to another slab or ended.
struct SlabState {
    std::size_t carved = 0;
    bool carving = true;
    // Counted and decided by ReleaseFreeMemory.
    bool unused = false;
    std::uint32_t freeBlocks[kClasses] = {};

    void ResetCounts() noexcept
    {
        unused = false;
        for (auto& n : freeBlocks)
            n = 0;
    }
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<std::uintptr_t, SlabState> slabs;
    // Free lists of threads that ended, per size class.
    std::vector<FreeBlock*> orphans[kClasses];
};

Registry& Slabs()
{
    // Never destroyed: threads may still free blocks while the program ends.
    static Registry* registry = new Registry;
    return *registry;
}

struct Pool;
void HandOver(Pool& pool) noexcept;

// Hands the thread's pool over when the thread ends.
struct ExitHook {
    Pool* pool = nullptr;
    ~ExitHook()
    {
        if (pool)
            HandOver(*pool);
    }
};
thread_local ExitHook t_exitHook;

struct Pool {
    FreeBlock* free[kClasses] = {};
    char* slab = nullptr;
    char* cursor = nullptr;
    char* end = nullptr;
    std::size_t freedBytes = 0; // since the last ReleaseFreeMemory
    bool ended = false; // handed over; frees from now on go to the orphans

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
        if (static_cast<std::size_t>(end - cursor) < bytes)
            NextSlab(); // the tail of the old slab is left unused
        void* p = cursor;
        cursor += bytes;
        return p;
    }

    void NextSlab()
    {
        char* fresh = NewSlab();
        Registry& r = Slabs();
        {
            std::lock_guard<std::mutex> lock(r.mutex);
            try {
                r.slabs.emplace(reinterpret_cast<std::uintptr_t>(fresh), SlabState {});
            } catch (...) {
                ::munmap(fresh, kSlabBytes);
                throw;
            }
            Retire();
        }
        slab = cursor = fresh;
        end = fresh + kSlabBytes;
        t_exitHook.pool = this;
    }

    // The current slab is carved no further (the registry's lock is held).
    void Retire() noexcept
    {
        if (!slab)
            return;
        auto it = Slabs().slabs.find(reinterpret_cast<std::uintptr_t>(slab));
        if (it != Slabs().slabs.end()) {
            it->second.carved = static_cast<std::size_t>(cursor - slab);
            it->second.carving = false;
        }
        slab = cursor = end = nullptr;
    }
};

thread_local Pool t_pool;

void HandOver(Pool& pool) noexcept
{
    Registry& r = Slabs();
    std::lock_guard<std::mutex> lock(r.mutex);
    try {
        for (std::size_t cls = 0; cls < kClasses; ++cls)
            if (pool.free[cls])
                r.orphans[cls].push_back(pool.free[cls]);
    } catch (...) {
        // Out of memory while a thread ends: its free blocks stay unused.
    }
    for (auto& head : pool.free)
        head = nullptr;
    pool.Retire();
    pool.ended = true;
}

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
    Pool& pool = t_pool;
    if (pool.ended) [[unlikely]] {
        Registry& r = Slabs();
        std::lock_guard<std::mutex> lock(r.mutex);
        b->next = nullptr;
        try {
            r.orphans[cls].push_back(b);
        } catch (...) {
        }
        return;
    }
    b->next = pool.free[cls];
    pool.free[cls] = b;
    pool.freedBytes += (cls + 1) * kGrain;
}

// The slabs by address, for the many look-ups of ReleaseFreeMemory: open
// addressing on the slab number, which the alignment makes dense.
class SlabIndex {
public:
    explicit SlabIndex(std::unordered_map<std::uintptr_t, SlabState>& slabs)
    {
        std::size_t size = 64;
        while (size < 2 * slabs.size())
            size *= 2;
        m_cells.assign(size, Cell {});
        m_mask = size - 1;
        for (auto& [base, state] : slabs) {
            std::size_t i = (base / kSlabBytes) & m_mask;
            while (m_cells[i].state)
                i = (i + 1) & m_mask;
            m_cells[i] = { base, &state };
        }
    }
    SlabState* Find(std::uintptr_t base) const noexcept
    {
        for (std::size_t i = (base / kSlabBytes) & m_mask;; i = (i + 1) & m_mask) {
            const Cell& c = m_cells[i];
            if (!c.state || c.base == base)
                return c.state;
        }
    }

private:
    struct Cell {
        std::uintptr_t base = 0;
        SlabState* state = nullptr;
    };
    std::vector<Cell> m_cells;
    std::size_t m_mask = 0;
};

std::size_t ReleaseFreeMemory(std::size_t minimumFreed) noexcept
{
    Pool& pool = t_pool;
    if (pool.freedBytes < minimumFreed)
        return 0;
    pool.freedBytes = 0;
    Registry& r = Slabs();
    std::size_t released = 0;
    try {
        std::lock_guard<std::mutex> lock(r.mutex);
        // Take over what ended threads left.
        for (std::size_t cls = 0; cls < kClasses; ++cls) {
            for (FreeBlock* head : r.orphans[cls]) {
                FreeBlock* tail = head;
                while (tail->next)
                    tail = tail->next;
                tail->next = pool.free[cls];
                pool.free[cls] = head;
            }
            r.orphans[cls].clear();
        }
        // Count the free blocks of every slab, per size class.
        const SlabIndex index(r.slabs);
        for (auto& [base, state] : r.slabs)
            state.ResetCounts();
        // The lists are walked side by side: each step of one list waits for
        // memory, and the steps of different lists can wait together.
        FreeBlock* walk[kClasses];
        std::size_t active = 0;
        for (std::size_t cls = 0; cls < kClasses; ++cls)
            if ((walk[cls] = pool.free[cls]))
                ++active;
        while (active) {
            for (std::size_t cls = 0; cls < kClasses; ++cls) {
                FreeBlock* b = walk[cls];
                if (!b)
                    continue;
                if (SlabState* slab = index.Find(SlabOf(b)))
                    ++slab->freeBlocks[cls];
                if (!(walk[cls] = b->next))
                    --active;
            }
        }
        // A slab goes when its free blocks cover all that was carved from
        // it; this thread's own slab counts as carved up to its cursor.
        const auto own = reinterpret_cast<std::uintptr_t>(pool.slab);
        std::size_t keptBlocks[kClasses] = {};
        for (auto& [base, state] : r.slabs) {
            const bool mine = base == own;
            std::size_t freeBytes = 0;
            for (std::size_t cls = 0; cls < kClasses; ++cls)
                freeBytes += state.freeBlocks[cls] * (cls + 1) * kGrain;
            const std::size_t carved
                = mine ? static_cast<std::size_t>(pool.cursor - pool.slab) : state.carved;
            state.unused = (!state.carving || mine) && freeBytes == carved;
            if (!state.unused)
                for (std::size_t cls = 0; cls < kClasses; ++cls)
                    keptBlocks[cls] += state.freeBlocks[cls];
        }
        // Their blocks leave the free lists before the memory goes; a list
        // with nothing to keep is simply dropped.
        for (std::size_t cls = 0; cls < kClasses; ++cls) {
            if (keptBlocks[cls] == 0) {
                pool.free[cls] = nullptr;
                continue;
            }
            FreeBlock** link = &pool.free[cls];
            while (FreeBlock* b = *link) {
                SlabState* slab = index.Find(SlabOf(b));
                if (slab && slab->unused)
                    *link = b->next;
                else
                    link = &b->next;
            }
        }
        for (auto it = r.slabs.begin(); it != r.slabs.end();) {
            if (!it->second.unused) {
                ++it;
                continue;
            }
            if (it->first == own)
                pool.slab = pool.cursor = pool.end = nullptr;
            ::munmap(reinterpret_cast<void*>(it->first), kSlabBytes);
            released += kSlabBytes;
            it = r.slabs.erase(it);
        }
    } catch (const std::bad_alloc&) {
        // No room for the index: the memory stays with the pool.
    }
    ::malloc_trim(0);
    return released;
}

bool PoolEnabled() noexcept
{
    return true;
}

#endif

} // namespace tessary
