#pragma once
// Work buffers of tens of megabytes (the refinement's fine grids, the analysis grid's jets) are
// first touched page by page: on some systems each 4 KiB page fault costs microseconds, a tenth of
// a render. Reserving them here asks the system for large pages before anything is written, and a
// buffer one computation gives back serves the next (the analysis hands its grid to the refinement,
// one analysis of a session to the next) instead of fresh pages the system must clear again.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace frontlys {

// Asks for large pages over [data, data + bytes) where the system offers them; pages already
// written are left as they are. Nothing happens for small ranges or where not supported.
void AdviseLargePages(void* data, std::size_t bytes);

// Keeps blocks of up to tens of megabytes in the process once freed, where the allocator allows it:
// by default each such block goes back to the system when freed, and the next one of the same size
// costs a page fault and a cleared page per 4 KiB again. Idempotent; the computation threads call it
// when they start.
void KeepFreedBlocks();

// Allocates as std::allocator, but an element made without a value is left as the memory holds it:
// growing a buffer writes nothing, so a computation that writes every element anyway (on several
// threads, say) is the first to touch the new pages. For plain numbers only.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
    template <class U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U*) noexcept
    {
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A buffer whose resize leaves the new elements unwritten.
template <class T>
using Buffer = std::vector<T, UninitialisedAllocator<T>>;

namespace large_buffer_detail {

constexpr std::size_t kMinShelvedBytes = std::size_t{4} << 20;
// Per element type: a few analyses' worth at the common sizes, and a bound on what stays allocated.
constexpr std::size_t kShelfBytes = std::size_t{320} << 20;

// Per vector type (element and allocator).
template <class V>
struct Shelf {
    std::mutex mutex;
    std::deque<V> buffers;  // oldest first
    std::size_t bytes = 0;

    static Shelf& Get()
    {
        static Shelf* shelf = new Shelf;  // never destroyed: buffers may come back during exit
        return *shelf;
    }
};

}  // namespace large_buffer_detail

template <class T, class A>
void ReleaseLarge(std::vector<T, A>& v);

// Makes room for `count` elements in `v`, fresh and advised when the current capacity is short, or
// a given-back buffer with the room (the smallest). The elements are kept only when the capacity
// suffices: callers fill the buffer anew. A short buffer is given back; a fresh one has an eighth
// more room, so that a grid a little larger in the next round keeps the pages already written
// (room never written costs no memory).
template <class T, class A>
void ReserveLarge(std::vector<T, A>& v, std::size_t count)
{
    using V = std::vector<T, A>;
    if (v.capacity() >= count) return;
    V shortOne;
    shortOne.swap(v);
    struct GiveBack {
        V& buffer;
        ~GiveBack() { ReleaseLarge(buffer); }
    } giveBack{shortOne};  // after the search: it cannot serve this request
    if (count * sizeof(T) >= large_buffer_detail::kMinShelvedBytes) {
        auto& shelf = large_buffer_detail::Shelf<V>::Get();
        std::lock_guard lock(shelf.mutex);
        auto best = shelf.buffers.end();
        for (auto it = shelf.buffers.begin(); it != shelf.buffers.end(); ++it)
            if (it->capacity() >= count && (best == shelf.buffers.end() || it->capacity() < best->capacity()))
                best = it;
        if (best != shelf.buffers.end()) {
            shelf.bytes -= best->capacity() * sizeof(T);
            v.swap(*best);
            shelf.buffers.erase(best);
            return;
        }
    }
    const std::size_t room =
        count * sizeof(T) >= large_buffer_detail::kMinShelvedBytes ? count + count / 8 : count;
    v.reserve(room);
    AdviseLargePages(v.data(), room * sizeof(T));
}

// Gives the storage of `v` back for a later ReserveLarge (small buffers are simply freed); `v` is
// left empty. The oldest buffers go when the shelf would exceed its bound.
template <class T, class A>
void ReleaseLarge(std::vector<T, A>& v)
{
    using V = std::vector<T, A>;
    const std::size_t bytes = v.capacity() * sizeof(T);
    if (bytes < large_buffer_detail::kMinShelvedBytes || bytes > large_buffer_detail::kShelfBytes) {
        V().swap(v);
        return;
    }
    std::deque<V> dropped;  // freed outside the lock
    auto& shelf = large_buffer_detail::Shelf<V>::Get();
    {
        std::lock_guard lock(shelf.mutex);
        while (!shelf.buffers.empty() && shelf.bytes + bytes > large_buffer_detail::kShelfBytes) {
            shelf.bytes -= shelf.buffers.front().capacity() * sizeof(T);
            dropped.push_back(std::move(shelf.buffers.front()));
            shelf.buffers.pop_front();
        }
        shelf.bytes += bytes;
        shelf.buffers.push_back(std::move(v));
    }
    v = V();
}

}  // namespace frontlys
