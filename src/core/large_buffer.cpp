#include "core/large_buffer.h"

#include <cstdint>
#include <mutex>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace frontlys {

void AdviseLargePages(void* data, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
    if (!data || bytes < 2 * kLarge) return;
    // Only whole large pages inside the range: the advice covers no neighbouring allocation.
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLarge - 1) & ~(kLarge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLarge - 1);
    if (end > begin) (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void KeepFreedBlocks()
{
#if defined(__GLIBC__)
    static std::once_flag once;
    std::call_once(once, [] {
        // Blocks under 32 MiB (the largest this allocator takes) come from the heap, and up to
        // 128 MiB free at its top stay there: an analysis frees and asks again for the same sizes.
        (void)mallopt(M_MMAP_THRESHOLD, 32 << 20);
        (void)mallopt(M_TRIM_THRESHOLD, 128 << 20);
    });
#endif
}

}  // namespace frontlys
