#include "palette/KeptMemory.h"
#include "palette/Parallel.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>
#include <algorithm>

using namespace palette;

namespace {

// Many loops in a row on the same cores, with more and fewer parts than
// cores: each row is done once, by the part whose range holds it, and done
// before the loop returns.
TEST(ThreadPool, EachLoopDoesEveryRowOnceBeforeItReturns)
{
    ThreadPool cores(3);
    for (int loop = 0; loop < 300; ++loop) {
        const int rows = loop * 7 % 101, parts = 1 + loop % 6;
        std::vector<int> done(std::size_t(rows), 0), part(std::size_t(rows), -1);
        cores.forEachPart(rows, parts, [&](int first, int last, int p) {
            for (int y = first; y < last; ++y) {
                ++done[std::size_t(y)];
                part[std::size_t(y)] = p;
            }
        });
        for (int y = 0; y < rows; ++y) {
            const qint64 p = part[std::size_t(y)];
            ASSERT_TRUE(done[std::size_t(y)] == 1 && rows * p / parts <= y && y < rows * (p + 1) / parts) << loop << ", " << y;
        }
        std::vector<int> chunks(std::size_t(rows), 0);
        cores.forEachChunk(rows, 1 + loop % 9, [&](int first, int last, int core) {
            for (int y = first; y < last; ++y)
                chunks[std::size_t(y)] += core < cores.count();
        });
        ASSERT_EQ(std::count(chunks.begin(), chunks.end(), 1), rows) << "loop " << loop;
    }
}

// The helpers work on the caller's data: a part of the caller's that throws
// leaves the loop only once the helpers' parts are done.
TEST(ThreadPool, AnExceptionFromTheCallersPartWaitsForTheHelpers)
{
    ThreadPool cores(2);
    bool helperDone = false;
    EXPECT_THROW(cores.forEachPart(2, 2, [&](int, int, int part) {
        if (part == 0)
            throw std::runtime_error("part 0");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        helperDone = true;
    }), std::runtime_error);
    EXPECT_TRUE(helperDone);
}

// A helper's part that cannot have its memory: the caller gets the
// exception once every part is done, and the cores serve the next loop.
TEST(ThreadPool, AnExceptionFromAHelpersPartReachesTheCaller)
{
    ThreadPool cores(3);
    for (const int failing : {1, 2}) {
        std::atomic<int> done = 0;
        EXPECT_THROW(cores.forEachPart(3, 3, [&](int, int, int part) {
            if (part == failing)
                throw std::bad_alloc();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ++done;
        }), std::bad_alloc);
        EXPECT_EQ(done, 2);
    }
    int rows = 0;
    cores.forEachChunk(10, 1, [&](int first, int last, int) { rows += last - first; });
    EXPECT_EQ(rows, 10);
}

// The parts' results merge in the order of the parts, whichever thread
// finishes first, and a part's exception reaches the caller instead.
TEST(ThreadPool, MapAndMergeJoinsThePartsInOrderAndCarriesExceptions)
{
    ThreadPool pool(3);
    for (const int parts : {1, 2, 5, 9}) {
        const std::vector<int> rows = pool.mapMerge(
            100, parts, [](int) { return std::vector<int>(); },
            [&](int first, int last, std::vector<int>& mine) {
                // The first part last, so that any order of finishing shows.
                if (first == 0 && parts > 1)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                for (int y = first; y < last; ++y)
                    mine.push_back(y);
            },
            [](std::vector<int>& total, const std::vector<int>& more) { total.insert(total.end(), more.begin(), more.end()); });
        ASSERT_EQ(rows.size(), 100u);
        EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end())) << parts << " parts";
    }
    EXPECT_THROW(pool.mapMergeChunks(
                     50, 5, [](int) { return 0; },
                     [](int first, int, int&) {
                         if (first == 25)
                             throw std::runtime_error("part");
                     },
                     [](int& total, int more) { total += more; }),
                 std::runtime_error);
}

// A freed block is given again for a request of at least half its size,
// and only then: the next save finds its pages already in memory.
TEST(KeptMemory, AFreedBlockServesTheNextRequestOfAboutItsSize)
{
    KeptMemory memory;
    void* first = memory.allocate(1 << 20);
    memory.deallocate(first, 1 << 20);
    void* again = memory.allocate(600 << 10);
    EXPECT_EQ(again, first);
    void* larger = memory.allocate(1 << 20);
    EXPECT_NE(larger, first);
    memory.deallocate(again, 600 << 10);
    EXPECT_EQ(memory.keptBytes(), std::size_t(1) << 20);
    void* small = memory.allocate(100 << 10);
    EXPECT_NE(small, first);
    memory.deallocate(small, 100 << 10);
    memory.deallocate(larger, 1 << 20);
    EXPECT_EQ(memory.keptBytes(), (std::size_t(2) << 20) + (100 << 10));
}

} // namespace
