#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace frontlys {
namespace {

TEST(ThreadPool, EveryIndexRunsOnceWhateverTheThreadCount)
{
    for (int threads : {1, 2, 3, 8}) {
        ThreadPool pool(threads);
        EXPECT_EQ(pool.size(), threads);
        for (int count : {0, 1, 5, 1000}) {
            std::vector<std::atomic<int>> hits(count);
            pool.Run(count, [&](int i) { hits[i].fetch_add(1); });
            for (int i = 0; i < count; ++i)
                ASSERT_EQ(hits[i].load(), 1) << threads << " threads, index " << i;
        }
    }
}

// Workers that wake after their caller has handed out every index skip that loop: back-to-back
// short loops must neither lose an index nor run one of an older loop's bodies.
TEST(ThreadPool, ShortLoopsInARowRunEveryIndexOfTheirOwnBody)
{
    ThreadPool pool(3);
    for (int loop = 0; loop < 3000; ++loop) {
        const int count = 2 + loop % 7;
        std::vector<int> seen(count, -1);
        std::atomic<int> wrongLoop = 0;
        pool.Run(count, [&, loop](int i) {
            if (seen[i] != -1) ++wrongLoop;
            seen[i] = loop;
        });
        for (int i = 0; i < count; ++i) ASSERT_EQ(seen[i], loop) << "loop " << loop << ", index " << i;
        ASSERT_EQ(wrongLoop.load(), 0);
    }
}

TEST(ThreadPool, BodiesRunAtTheSameTime)
{
    ThreadPool pool(2);
    std::atomic<int> arrived = 0;
    std::atomic<bool> metEachOther = true;
    pool.Run(2, [&](int) {
        ++arrived;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (arrived.load() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        if (arrived.load() < 2) metEachOther = false;
    });
    EXPECT_TRUE(metEachOther.load());
}

#if defined(__linux__)
// Once a window asks for it, the shared pool's workers run below the window's thread; the calling
// thread keeps its own priority.
TEST(ThreadPool, WorkersYieldToTheWindowOnceAsked)
{
    const auto nice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); };
    const int callerNice = nice();
    SetThreadCount(2);
    YieldToInteractiveThreads();
    std::atomic<int> others = 0, lowered = 0;
    const auto caller = std::this_thread::get_id();
    std::atomic<int> arrived = 0;
    ParallelFor(2, [&](int) {
        ++arrived;  // both bodies at once, so the worker takes one
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (arrived.load() < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        if (std::this_thread::get_id() == caller) return;
        ++others;
        if (nice() >= callerNice + 10 || nice() == 19) ++lowered;
    });
    SetThreadCount(0);
    EXPECT_EQ(nice(), callerNice);
    ASSERT_EQ(others.load(), 1);
    EXPECT_EQ(lowered.load(), 1);
}

// A program started at a lower priority (a batch under nice): its workers go lower still, never
// above the thread that started them.
TEST(ThreadPool, WorkersOfALoweredProgramAreNotRaised)
{
    std::thread([] {
        const auto nice = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); };
        const int lowered = std::max(15, nice());  // raising it again would need a privilege
        ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), lowered), 0);
        const int callerNice = nice();
        SetThreadCount(2);
        YieldToInteractiveThreads();  // the next loop starts the pool's workers from this thread
        std::atomic<int> arrived = 0, workerNice = -100;
        const auto caller = std::this_thread::get_id();
        ParallelFor(2, [&](int) {
            ++arrived;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (arrived.load() < 2 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            if (std::this_thread::get_id() != caller) workerNice = nice();
        });
        SetThreadCount(0);
        EXPECT_EQ(workerNice.load(), std::min(19, callerNice + 10));
    }).join();
}
#endif

TEST(ThreadPool, NestedLoopsAndExceptionsLeaveThePoolUsable)
{
    ThreadPool pool(3);
    std::vector<std::atomic<int>> hits(64);
    pool.Run(8, [&](int outer) { pool.Run(8, [&](int inner) { hits[outer * 8 + inner].fetch_add(1); }); });
    for (const auto& h : hits) EXPECT_EQ(h.load(), 1);

    EXPECT_THROW(pool.Run(50,
                          [](int i) {
                              if (i == 17) throw std::runtime_error("index 17");
                          }),
                 std::runtime_error);
    std::atomic<int> total = 0;
    pool.Run(100, [&](int i) { total += i; });
    EXPECT_EQ(total.load(), 4950);
}

// Sums whose rounding depends on the order: the same bits for any thread count.
TEST(ThreadPool, ReductionDoesNotDependOnTheThreadCount)
{
    auto term = [](int i) { return std::sin(0.37 * i) * std::pow(10.0, (i % 17) - 8); };
    auto add = [](double a, double b) { return a + b; };
    SetThreadCount(1);
    EXPECT_EQ(ThreadCount(), 1);
    const double one = ParallelReduce(100000, 1000, 0.0, term, add);
    double sequential = 0;
    for (int k = 0; k < 100; ++k) {
        double chunk = 0;
        for (int i = k * 1000; i < (k + 1) * 1000; ++i) chunk += term(i);
        sequential += chunk;
    }
    EXPECT_EQ(one, sequential);
    for (int threads : {2, 3, 7}) {
        SetThreadCount(threads);
        EXPECT_EQ(ThreadCount(), threads);
        EXPECT_EQ(ParallelReduce(100000, 1000, 0.0, term, add), one) << threads;
    }
    SetThreadCount(0);
    EXPECT_EQ(ThreadCount(), CoreCount());
    EXPECT_EQ(ParallelReduce(0, 10, 2.5, term, add), 2.5);
}

}  // namespace
}  // namespace frontlys
