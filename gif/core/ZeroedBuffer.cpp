#include "gif/core/ZeroedBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kaptiv::gif {

namespace {

constexpr std::size_t HugePage = std::size_t{2} << 20;
// Below this a buffer is not worth a place in a block of huge pages.
constexpr std::size_t SmallestPiece = std::size_t{64} << 10;
// Blocks grow from the first to the largest, so one frame does not reserve much more than it needs.
constexpr std::size_t FirstBlock = std::size_t{4} << 20;
constexpr std::size_t LargestBlock = std::size_t{64} << 20;

// Under AddressSanitizer every buffer is an allocation of its own, so that a write past one is
// caught rather than landing in the next piece of a block.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool CheckedAllocations = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool CheckedAllocations = true;
#else
constexpr bool CheckedAllocations = false;
#endif
#else
constexpr bool CheckedAllocations = false;
#endif

std::shared_ptr<std::uint8_t> Calloc(std::size_t size)
{
    auto *bytes = static_cast<std::uint8_t *>(std::calloc(size, 1));
    if (!bytes)
        throw std::bad_alloc();
    return {bytes, [](std::uint8_t *p) { std::free(p); }};
}

// Zero pages of `size` bytes, a multiple of HugePage, aligned to HugePage where the system maps them.
std::shared_ptr<std::uint8_t> MapBlock(std::size_t size)
{
#if defined(__linux__)
    // One alignment more is mapped so that an aligned start can be cut out of it.
    const std::size_t reserved = size + HugePage;
    void *start = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED)
        throw std::bad_alloc();
    auto *bytes = static_cast<std::uint8_t *>(start);
    const std::size_t lead = (HugePage - reinterpret_cast<std::uintptr_t>(bytes) % HugePage) % HugePage;
    if (lead > 0)
        munmap(bytes, lead);
    if (HugePage - lead > 0)
        munmap(bytes + lead + size, HugePage - lead);
    bytes += lead;
    madvise(bytes, size, MADV_HUGEPAGE);  // a hint: without huge pages the block works all the same
    return {bytes, [size](std::uint8_t *p) { munmap(p, size); }};
#else
    return Calloc(size);
#endif
}

} // namespace

ZeroedBuffer::ZeroedBuffer(std::size_t size, std::size_t slack)
    : bytes_(size + slack == 0 ? nullptr : Calloc(size + slack)), size_(size)
{
}

ZeroedBuffer ZeroedArena::Take(std::size_t size)
{
    // The first frames come from calloc too: a huge page zeroed whole for a small animation costs
    // more than the faults it saves.
    if (size < SmallestPiece || CheckedAllocations || given_ < HugePage) {
        given_ += size;
        return ZeroedBuffer(size);
    }
    // Pieces start on cache lines, as calloc's large blocks would on pages.
    const std::size_t piece = (size + 63) & ~std::size_t{63};
    if (piece > blockSize_ - used_) {
        const std::size_t next = blockSize_ == 0 ? FirstBlock : std::min(2 * blockSize_, LargestBlock);
        blockSize_ = std::max(next, (piece + HugePage - 1) / HugePage * HugePage);
        block_ = MapBlock(blockSize_);
        used_ = 0;
    }
    ZeroedBuffer buffer(std::shared_ptr<std::uint8_t>(block_, block_.get() + used_), size);
    used_ += piece;
    return buffer;
}

} // namespace kaptiv::gif
