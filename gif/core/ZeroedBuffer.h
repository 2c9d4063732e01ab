#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <span>

namespace kaptiv::gif {

// A zero-filled byte buffer taken from calloc. Large blocks come straight from the system as
// untouched zero pages, so a huge declared frame that its data never reaches costs address space,
// not memory.
class ZeroedBuffer {
public:
    ZeroedBuffer() = default;
    explicit ZeroedBuffer(std::size_t size, std::size_t slack = 0)
        : bytes_(size + slack == 0 ? nullptr : static_cast<std::uint8_t *>(std::calloc(size + slack, 1))),
          size_(size)
    {
        if (size + slack != 0 && !bytes_)
            throw std::bad_alloc();
    }

    std::uint8_t *data() { return bytes_.get(); }
    const std::uint8_t *data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::span<std::uint8_t> span() { return {bytes_.get(), size_}; }
    std::span<const std::uint8_t> span() const { return {bytes_.get(), size_}; }

private:
    struct Free {
        void operator()(std::uint8_t *p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t[], Free> bytes_;
    std::size_t size_ = 0;
};

} // namespace kaptiv::gif
