#include "ProcessMemory.h"

#include <atomic>
#include <cstdint>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>

namespace {
// Once configured, blocks this large are mappings of their own, unmapped when freed; smaller ones come
// from a heap.
constexpr std::size_t kMappedBlock = std::size_t(8) * 1024 * 1024;
// What a heap keeps free at its top before glibc trims it: room for the pieces of a download in flight.
// returnFreed() cannot trim the heaps glibc gives other threads, so this is also what the network
// thread's heap may keep once a download is over.
constexpr std::size_t kKeptAtTop = kMappedBlock / 2;
std::atomic<bool> configured{false};
constexpr std::uintptr_t kLargePage = std::uintptr_t(2) * 1024 * 1024;
}  // namespace
#endif

void ProcessMemory::configure() {
#if defined(__GLIBC__)
    // Left to itself, glibc learns from the first large block freed to keep such blocks on a heap, and
    // until then trims a heap as soon as 128 KiB lie free at its top: every download faulted in afresh the
    // pieces the network thread passes on, and an answer's buffer landed wherever a heap had room. Now an
    // answer's buffer is always a mapping of its own, which can be backed by large pages and goes back
    // whole when freed, and a download's pieces are reused. (One heap for all threads would let
    // returnFreed() reach the network thread's too, but the loggers then wait on the check's lock.)
    mallopt(M_MMAP_THRESHOLD, int(kMappedBlock));
    mallopt(M_TRIM_THRESHOLD, int(kKeptAtTop));
    configured = true;
#endif
}

void ProcessMemory::preferLargePages(char* data, std::size_t size) {
#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
    // Advice on a heap would outlive the buffer, so only a mapping of its own takes it.
    if (!configured || size < kMappedBlock) {
        return;
    }
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(kLargePage - 1);
    if (end > begin) {
        // Only advice: where it is refused, the pages are ordinary ones.
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)size;
#endif
}

void ProcessMemory::returnFreed() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
