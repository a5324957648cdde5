#pragma once
// Work buffers of tens of megabytes (the refinement's fine grids, the analysis grid's jets) are
// first touched page by page: on some systems each 4 KiB page fault costs microseconds, a tenth of
// a render. Reserving them here asks the system for large pages before anything is written, and a
// buffer one computation gives back serves the next (the analysis hands its grid to the refinement,
// one analysis of a session to the next) instead of fresh pages the system must clear again.

#include <cstddef>
#include <deque>
#include <mutex>
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

namespace large_buffer_detail {

constexpr std::size_t kMinShelvedBytes = std::size_t{4} << 20;
// Per element type: a few analyses' worth at the common sizes, and a bound on what stays allocated.
constexpr std::size_t kShelfBytes = std::size_t{320} << 20;

template <class T>
struct Shelf {
    std::mutex mutex;
    std::deque<std::vector<T>> buffers;  // oldest first
    std::size_t bytes = 0;

    static Shelf& Get()
    {
        static Shelf* shelf = new Shelf;  // never destroyed: buffers may come back during exit
        return *shelf;
    }
};

}  // namespace large_buffer_detail

template <class T>
void ReleaseLarge(std::vector<T>& v);

// Makes room for `count` elements in `v`, fresh and advised when the current capacity is short, or
// a given-back buffer with the room (the smallest). The elements are kept only when the capacity
// suffices: callers fill the buffer anew. A short buffer is given back; a fresh one has an eighth
// more room, so that a grid a little larger in the next round keeps the pages already written
// (room never written costs no memory).
template <class T>
void ReserveLarge(std::vector<T>& v, std::size_t count)
{
    if (v.capacity() >= count) return;
    std::vector<T> shortOne;
    shortOne.swap(v);
    struct GiveBack {
        std::vector<T>& buffer;
        ~GiveBack() { ReleaseLarge(buffer); }
    } giveBack{shortOne};  // after the search: it cannot serve this request
    if (count * sizeof(T) >= large_buffer_detail::kMinShelvedBytes) {
        auto& shelf = large_buffer_detail::Shelf<T>::Get();
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
template <class T>
void ReleaseLarge(std::vector<T>& v)
{
    const std::size_t bytes = v.capacity() * sizeof(T);
    if (bytes < large_buffer_detail::kMinShelvedBytes || bytes > large_buffer_detail::kShelfBytes) {
        std::vector<T>().swap(v);
        return;
    }
    std::deque<std::vector<T>> dropped;  // freed outside the lock
    auto& shelf = large_buffer_detail::Shelf<T>::Get();
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
    v = std::vector<T>();
}

}  // namespace frontlys
