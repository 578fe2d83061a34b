#include "platform/LargeMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

// Under AddressSanitizer blocks stay on the heap.
#if defined(__SANITIZE_ADDRESS__)
#define OSTREVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREVANE_ASAN 1
#endif
#endif
#if defined(__linux__) && !defined(OSTREVANE_ASAN)
#define OSTREVANE_MAP_POPULATED 1
#endif

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

// Whether a block of this size is mapped on its own; on the heap otherwise,
// where AddressSanitizer sees accesses past its end.
bool IsMapped(std::size_t bytes) {
#if defined(__linux__) && !defined(OSTREVANE_ASAN)
    return bytes >= HUGE_PAGE;
#else
    (void)bytes;
    return false;
#endif
}

std::size_t MappedSize(std::size_t bytes) {
    return (bytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
}

} // namespace

void* AllocateZeroed(std::size_t bytes) {
    if (!IsMapped(bytes))
        return std::calloc(bytes == 0 ? 1 : bytes, 1);
#if defined(__linux__)
    if (bytes > SIZE_MAX - 2 * HUGE_PAGE)
        return nullptr;
    // Mapped one huge page larger, then cut to a huge-page boundary.
    const std::size_t size = MappedSize(bytes);
    void* p =
        mmap(nullptr, size + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    auto* base = static_cast<std::uint8_t*>(p);
    const std::size_t head =
        (HUGE_PAGE - reinterpret_cast<std::uintptr_t>(base) % HUGE_PAGE) % HUGE_PAGE;
    if (head != 0)
        munmap(base, head);
    if (head != HUGE_PAGE)
        munmap(base + head + size, HUGE_PAGE - head);
    madvise(base + head, size, MADV_HUGEPAGE);
    return base + head;
#else
    return nullptr;
#endif
}

void FreeZeroed(void* p, std::size_t bytes) {
    if (p == nullptr)
        return;
    if (!IsMapped(bytes)) {
        std::free(p);
        return;
    }
#if defined(__linux__)
    munmap(p, MappedSize(bytes));
#endif
}

void KeepFreedHeapMemory() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

void* AllocateBuffer(std::size_t bytes) {
    return IsMapped(bytes) ? AllocateZeroed(bytes) : std::malloc(bytes == 0 ? 1 : bytes);
}

void* ResizeZeroed(void* p, std::size_t oldBytes, std::size_t newBytes) {
    if (p == nullptr)
        return AllocateZeroed(newBytes);
    if (!IsMapped(oldBytes) && !IsMapped(newBytes)) {
        void* q = std::realloc(p, newBytes == 0 ? 1 : newBytes);
        if (q != nullptr && newBytes > oldBytes)
            std::memset(static_cast<std::uint8_t*>(q) + oldBytes, 0, newBytes - oldBytes);
        return q;
    }
    if (IsMapped(oldBytes) && IsMapped(newBytes) && MappedSize(oldBytes) == MappedSize(newBytes))
        return p; // the mapping already covers it, zero beyond what was used
    void* q = AllocateZeroed(newBytes);
    if (q == nullptr)
        return nullptr;
#if defined(__linux__)
    // A mapping moves to the start of the larger one without being copied,
    // and both start on a huge page, so its huge pages stay whole.
    if (IsMapped(oldBytes) && newBytes > oldBytes &&
        mremap(p, MappedSize(oldBytes), MappedSize(oldBytes), MREMAP_MAYMOVE | MREMAP_FIXED, q) !=
            MAP_FAILED)
        return q;
#endif
    std::memcpy(q, p, oldBytes < newBytes ? oldBytes : newBytes);
    FreeZeroed(p, oldBytes);
    return q;
}

void* AllocatePopulated(std::size_t bytes) {
    // From a huge page on, faulting 2 MiB at a time costs less than mapping
    // every 4 KiB page up front.
    if (IsMapped(bytes))
        return AllocateZeroed(bytes);
#if defined(OSTREVANE_MAP_POPULATED)
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#else
    return std::malloc(bytes);
#endif
}

void FreePopulated(void* p, std::size_t bytes) {
    if (IsMapped(bytes)) {
        FreeZeroed(p, bytes);
        return;
    }
#if defined(OSTREVANE_MAP_POPULATED)
    munmap(p, bytes);
#else
    (void)bytes;
    std::free(p);
#endif
}
