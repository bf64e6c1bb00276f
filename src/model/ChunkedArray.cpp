#include "model/ChunkedArray.h"

#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer every allocation stays separate, so that an overrun is seen.
#if defined(__SANITIZE_ADDRESS__)
#define KELVANE_ARENA_SEPARATE 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVANE_ARENA_SEPARATE 1
#endif
#endif

namespace kelvane {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargestRegion = std::size_t{64} << 20;
constexpr std::size_t kAlignment = 64;

std::size_t RoundUp(std::size_t n, std::size_t to) { return (n + to - 1) / to * to; }

// size bytes (a multiple of kHugePage) aligned to a huge page and marked for huge pages.
void* MapRegion(std::size_t size) {
#if defined(__linux__) && !defined(KELVANE_ARENA_SEPARATE)
    const std::size_t padded = size + kHugePage;
    void* raw = ::mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) throw std::bad_alloc();
    auto* base = static_cast<char*>(raw);
    auto* aligned = reinterpret_cast<char*>(RoundUp(reinterpret_cast<std::uintptr_t>(base), kHugePage));
    if (aligned > base) ::munmap(base, static_cast<std::size_t>(aligned - base));
    char* tail = aligned + size;
    if (base + padded > tail) ::munmap(tail, static_cast<std::size_t>(base + padded - tail));
    ::madvise(aligned, size, MADV_HUGEPAGE);  // only a hint: without huge pages it works as well
    return aligned;
#else
    return ::operator new(size, std::align_val_t{kAlignment});
#endif
}

void UnmapRegion(void* p, std::size_t size) {
#if defined(__linux__) && !defined(KELVANE_ARENA_SEPARATE)
    ::munmap(p, size);
#else
    (void)size;
    ::operator delete(p, std::align_val_t{kAlignment});
#endif
}

}  // namespace

ModelArena::~ModelArena() {
    for (const Region& r : regions_) UnmapRegion(r.base, r.size);
}

void* ModelArena::Allocate(std::size_t bytes) {
    bytes = RoundUp(bytes == 0 ? 1 : bytes, kAlignment);
#if defined(KELVANE_ARENA_SEPARATE)
    void* block = MapRegion(bytes);
    regions_.push_back(Region{block, bytes});
    return block;
#else
    if (next_ == nullptr || bytes > static_cast<std::size_t>(end_ - next_)) {
        const std::size_t size = std::max(nextRegionSize_, RoundUp(bytes, kHugePage));
        regions_.reserve(regions_.size() + 1);
        auto* base = static_cast<char*>(MapRegion(size));
        regions_.push_back(Region{base, size});
        nextRegionSize_ = std::min(nextRegionSize_ * 2, kLargestRegion);
        next_ = base;
        end_ = base + size;
    }
    void* block = next_;
    next_ += bytes;
    return block;
#endif
}

}  // namespace kelvane
