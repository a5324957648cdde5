#pragma once
// A small pool of worker threads for loops whose iterations are independent. Every index runs once,
// on some thread; a body whose result depends only on its index, written to a place of its own,
// gives the same bits whatever the number of threads. ParallelReduce folds in a fixed order (fixed
// chunks, then the chunks in index order), so its sums do not depend on the count either.
//
// The caller takes part in the work. A loop started from inside a loop, or while another caller
// holds the pool, runs on the calling thread alone: no deadlock, the same results.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace frontlys {

class ThreadPool {
public:
    // `threads` counts the caller: 1 runs everything on the calling thread.
    explicit ThreadPool(int threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    int size() const { return static_cast<int>(m_workers.size()) + 1; }
    // body(i) for every i in [0, count); returns when all are done. The first exception a body
    // throws is rethrown here once the others have finished.
    void Run(int count, const std::function<void(int)>& body);

private:
    void Work(std::stop_token stop);
    void Drain(const std::function<void(int)>& body, int count);

    std::mutex m_runMutex;  // one job at a time
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_body = nullptr;
    int m_count = 0;
    int m_next = 0;       // next index to hand out, under m_mutex
    int m_busy = 0;       // workers inside the current job
    bool m_open = false;  // the current job still takes workers
    std::uint64_t m_generation = 0;
    std::exception_ptr m_error;
    std::vector<std::jthread> m_workers;
};

// Threads of the shared pool; 0 (the default) means one per core. Takes effect on the next loop;
// not to be called while a loop runs.
void SetThreadCount(int count);
// The number of threads the shared pool runs, at least 1.
int ThreadCount();
// The number of cores the system reports, at least 1.
int CoreCount();

// For a program with a window: the computation threads (the shared pool's workers, and any thread
// that calls LowerThisThread) run at a lower priority than the window's, so that on a machine
// with as many busy threads as cores the window still answers at once. No effect where the
// system cannot lower a single thread.
void YieldToInteractiveThreads();
void LowerThisThread();

// body(i) for every i in [0, count), on the shared pool.
void ParallelFor(int count, const std::function<void(int)>& body);

// combine(... combine(combine(init, map(0)), map(1)) ..., map(count - 1)) grouped in chunks of
// `chunk` indices: each chunk folded from its own `init`, then the chunk results folded in order.
// The grouping depends on `chunk` only, never on the thread count.
template <class T, class Map, class Combine>
T ParallelReduce(int count, int chunk, const T& init, Map map, Combine combine)
{
    if (count <= 0) return init;
    chunk = chunk < 1 ? 1 : chunk;
    const int chunks = (count + chunk - 1) / chunk;
    std::vector<T> partial(chunks, init);
    ParallelFor(chunks, [&](int k) {
        const int end = std::min(count, (k + 1) * chunk);
        T value = init;
        for (int i = k * chunk; i < end; ++i) value = combine(value, map(i));
        partial[k] = value;
    });
    T total = partial[0];
    for (int k = 1; k < chunks; ++k) total = combine(total, partial[k]);
    return total;
}

}  // namespace frontlys
