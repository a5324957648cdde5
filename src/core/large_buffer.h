#pragma once
// Work buffers of tens of megabytes (the refinement's fine grids, the analysis grid's jets) are
// first touched page by page: on some systems each 4 KiB page fault costs microseconds, a tenth of
// a render. Reserving them here asks the system for large pages before anything is written.

#include <cstddef>
#include <vector>

namespace frontlys {

// Asks for large pages over [data, data + bytes) where the system offers them; pages already
// written are left as they are. Nothing happens for small ranges or where not supported.
void AdviseLargePages(void* data, std::size_t bytes);

// Makes room for `count` elements in `v`, fresh and advised when the current capacity is short.
// The elements are kept only when the capacity suffices: callers fill the buffer anew.
template <class T>
void ReserveLarge(std::vector<T>& v, std::size_t count)
{
    if (v.capacity() >= count) return;
    std::vector<T>().swap(v);
    v.reserve(count);
    AdviseLargePages(v.data(), count * sizeof(T));
}

}  // namespace frontlys
