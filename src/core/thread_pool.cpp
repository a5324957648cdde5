#include "core/thread_pool.h"

#include <algorithm>
#include <atomic>

#include "core/large_buffer.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace frontlys {

namespace {

thread_local bool t_inLoop = false;  // this thread runs a body: nested loops run serially
std::atomic<bool> g_yield{false};

void RunSerially(int count, const std::function<void(int)>& body)
{
    for (int i = 0; i < count; ++i) body(i);
}

}  // namespace

ThreadPool::ThreadPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        m_workers.emplace_back([this](std::stop_token stop) {
            if (g_yield) LowerThisThread();
            Work(stop);
        });
}

ThreadPool::~ThreadPool()
{
    for (auto& worker : m_workers) worker.request_stop();
    m_wake.notify_all();
    // The jthreads join as the vector goes.
}

void ThreadPool::Drain(const std::function<void(int)>& body, int count)
{
    const bool outer = t_inLoop;
    t_inLoop = true;
    // Indices go out in runs of neighbours: threads taking turns at single rows would share the
    // cache lines where rows meet, and take the lock once a row.
    const int grain = std::max(1, count / (8 * size()));
    for (;;) {
        int first, end;
        {
            std::lock_guard lock(m_mutex);
            if (m_next >= count || m_error) break;
            first = m_next;
            end = std::min(count, first + grain);
            m_next = end;
        }
        try {
            for (int i = first; i < end; ++i) body(i);
        } catch (...) {
            std::lock_guard lock(m_mutex);
            if (!m_error) m_error = std::current_exception();
        }
    }
    t_inLoop = outer;
}

// A worker joins a job only while its caller still hands out indices: once the caller has taken
// the last one, a worker that wakes late has nothing to do, and the caller need not wait for it
// (on a short loop that wake-up can take longer than the loop). The caller waits only for the
// workers that joined, so none can still be reading a job once its caller has returned.
void ThreadPool::Work(std::stop_token stop)
{
    std::uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* body;
        int count;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [&] { return m_generation != seen; })) return;
            seen = m_generation;
            if (!m_open) continue;
            ++m_busy;
            body = m_body;
            count = m_count;
        }
        Drain(*body, count);
        std::lock_guard lock(m_mutex);
        if (--m_busy == 0) m_done.notify_one();
    }
}

void ThreadPool::Run(int count, const std::function<void(int)>& body)
{
    if (count <= 0) return;
    std::unique_lock job(m_runMutex, std::defer_lock);
    if (m_workers.empty() || count == 1 || t_inLoop || !job.try_lock()) {
        const bool outer = t_inLoop;
        t_inLoop = true;
        try {
            RunSerially(count, body);
        } catch (...) {
            t_inLoop = outer;
            throw;
        }
        t_inLoop = outer;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_body = &body;
        m_count = count;
        m_next = 0;
        m_busy = 0;
        m_open = true;
        m_error = nullptr;
        ++m_generation;
    }
    m_wake.notify_all();
    Drain(body, count);
    std::exception_ptr error;
    {
        std::unique_lock lock(m_mutex);
        m_open = false;
        m_done.wait(lock, [&] { return m_busy == 0; });
        error = m_error;
        m_error = nullptr;
    }
    if (error) std::rethrow_exception(error);
}

namespace {

std::mutex g_poolMutex;
int g_requested = 0;
std::shared_ptr<ThreadPool> g_pool;

int Resolve(int requested) { return requested > 0 ? requested : CoreCount(); }

std::shared_ptr<ThreadPool> SharedPool()
{
    std::lock_guard lock(g_poolMutex);
    if (!g_pool) {
        KeepFreedBlocks();
        g_pool = std::make_shared<ThreadPool>(Resolve(g_requested));
    }
    return g_pool;
}

}  // namespace

int CoreCount() { return std::max(1u, std::thread::hardware_concurrency()); }

void YieldToInteractiveThreads()
{
    g_yield = true;
    std::lock_guard lock(g_poolMutex);
    g_pool.reset();  // the next loop starts workers that yield
}

void LowerThisThread()
{
#if defined(__linux__)
    // On Linux the nice value belongs to each thread: 10 more gives it about a tenth of a window
    // thread's share of a busy core. Relative to its own: a program started at a lower priority
    // would otherwise see its workers raised above it (or refused, without the right to raise).
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);  // -1 is a valid value: errno tells
    if (errno == 0) (void)setpriority(PRIO_PROCESS, self, std::min(19, current + 10));
#endif
}

void SetThreadCount(int count)
{
    std::lock_guard lock(g_poolMutex);
    count = std::max(0, count);
    if (count == g_requested && g_pool) return;
    g_requested = count;
    if (g_pool && g_pool->size() == Resolve(count)) return;
    g_pool.reset();  // a loop still holding the old pool keeps it alive until it ends
}

int ThreadCount()
{
    std::lock_guard lock(g_poolMutex);
    return Resolve(g_requested);
}

void ParallelFor(int count, const std::function<void(int)>& body) { SharedPool()->Run(count, body); }

}  // namespace frontlys
