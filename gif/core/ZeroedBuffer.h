#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace kaptiv::gif {

// A zero-filled byte buffer. On its own it is taken from calloc: large blocks come straight from the
// system as untouched zero pages, so a huge declared frame that its data never reaches costs address
// space, not memory. From a ZeroedArena it is a piece of a larger block it keeps alive.
class ZeroedBuffer {
public:
    ZeroedBuffer() = default;
    explicit ZeroedBuffer(std::size_t size, std::size_t slack = 0);
    // Pieces share their block: a copy would not be a copy of the bytes.
    ZeroedBuffer(const ZeroedBuffer &) = delete;
    ZeroedBuffer &operator=(const ZeroedBuffer &) = delete;
    ZeroedBuffer(ZeroedBuffer &&other) noexcept = default;
    ZeroedBuffer &operator=(ZeroedBuffer &&other) noexcept = default;

    std::uint8_t *data() { return bytes_.get(); }
    const std::uint8_t *data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<std::uint8_t> span() { return {bytes_.get(), size_}; }
    std::span<const std::uint8_t> span() const { return {bytes_.get(), size_}; }

private:
    friend class ZeroedArena;
    ZeroedBuffer(std::shared_ptr<std::uint8_t> bytes, std::size_t size) : bytes_(std::move(bytes)), size_(size) {}

    std::shared_ptr<std::uint8_t> bytes_;
    std::size_t size_ = 0;
};

// Zeroed buffers for the frames of one file, given out in order from blocks of many megabytes that
// the system is asked to back with huge pages where it can: an animation read into fresh 4 KiB
// pages spends more time in the kernel's page faults than in decoding. Small buffers, and the
// first two megabytes of large ones, come from calloc as before; a block lives while any buffer in
// it does.
class ZeroedArena {
public:
    ZeroedBuffer Take(std::size_t size);

private:
    std::shared_ptr<std::uint8_t> block_;
    std::size_t blockSize_ = 0;
    std::size_t used_ = 0;
    std::size_t given_ = 0;  // bytes given out from calloc so far
};

} // namespace kaptiv::gif
