// Giving the small-block pool's memory back to the system.

#include "SmallPool.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace tessary {
namespace {

constexpr std::size_t kBlock = 48;
constexpr std::size_t kSlab = 2 * 1024 * 1024;

std::vector<void*> AllocateOnAThreadThatEnds(std::size_t count)
{
    std::vector<void*> blocks;
    std::thread([&] {
        for (std::size_t i = 0; i < count; ++i)
            blocks.push_back(PoolAlloc(kBlock));
    }).join();
    return blocks;
}

TEST(SmallPoolTest, SlabsOfFreedBlocksGoBackAndABlockInUseKeepsItsSlab)
{
    if (!PoolEnabled())
        GTEST_SKIP() << "the pool hands everything to malloc in this build";
    ReleaseFreeMemory();
    // About five slabs, made by a thread that is gone when they are freed.
    std::vector<void*> blocks = AllocateOnAThreadThatEnds(5 * kSlab / kBlock);
    void* survivor = blocks[blocks.size() / 2];
    std::memset(survivor, 0x5A, kBlock);
    for (void* b : blocks)
        if (b != survivor)
            PoolFree(b, kBlock);

    EXPECT_GE(ReleaseFreeMemory(), 3 * kSlab);
    for (std::size_t i = 0; i < kBlock; ++i)
        ASSERT_EQ(static_cast<unsigned char*>(survivor)[i], 0x5A);
    PoolFree(survivor, kBlock);
    EXPECT_GE(ReleaseFreeMemory(), kSlab);
    EXPECT_EQ(ReleaseFreeMemory(), 0u);

    // The pool works on after giving everything back.
    std::vector<void*> again;
    for (int i = 0; i < 100000; ++i) {
        again.push_back(PoolAlloc(kBlock));
        std::memset(again.back(), i & 0xFF, kBlock);
    }
    for (void* b : again)
        PoolFree(b, kBlock);
}

TEST(SmallPoolTest, BlocksInAnotherRunningThreadsListsAreNotReleased)
{
    if (!PoolEnabled())
        GTEST_SKIP() << "the pool hands everything to malloc in this build";
    std::vector<void*> blocks = AllocateOnAThreadThatEnds(3 * kSlab / kBlock);
    std::mutex mutex;
    std::condition_variable changed;
    int stage = 0;
    void* reused = nullptr;
    // This thread frees one block into its own list and keeps running.
    std::thread other([&] {
        PoolFree(blocks[10], kBlock);
        std::unique_lock<std::mutex> lock(mutex);
        stage = 1;
        changed.notify_all();
        changed.wait(lock, [&] { return stage == 2; });
        reused = PoolAlloc(kBlock); // the block it freed, from its list
        std::memset(reused, 0x33, kBlock);
        PoolFree(reused, kBlock);
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return stage == 1; });
    }
    for (std::size_t i = 0; i < blocks.size(); ++i)
        if (i != 10)
            PoolFree(blocks[i], kBlock);
    ReleaseFreeMemory(); // must keep the slab of blocks[10]
    {
        std::lock_guard<std::mutex> lock(mutex);
        stage = 2;
    }
    changed.notify_all();
    other.join();
    EXPECT_EQ(reused, blocks[10]);
    ReleaseFreeMemory();
}

} // namespace
} // namespace tessary
