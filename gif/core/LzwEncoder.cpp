#include "gif/core/LzwEncoder.h"

#include "gif/core/ColorMapper.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace kaptiv::gif {

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;
constexpr int SlotCount = 5120;
constexpr int ProbeModulus = SlotCount - 1;

void StoreLittleEndian64(std::uint8_t *p, std::uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 8);
    } else {
        for (int i = 0; i < 8; ++i, v >>= 8)
            p[i] = static_cast<std::uint8_t>(v);
    }
}

// The codes' bits, least significant first, cut into data sub-blocks of 255 bytes. Whole bytes
// leave the bit buffer eight at a time into a staging area that is cut into sub-blocks in bulk.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t> &out) : out_(out) {}

    [[gnu::always_inline]] void Put(int code, int width)
    {
        bits_ |= static_cast<std::uint64_t>(code) << count_;
        count_ += width;
        const int bytes = count_ >> 3;
        StoreLittleEndian64(stage_.data() + staged_, bits_);
        staged_ += static_cast<std::size_t>(bytes);
        bits_ >>= 8 * bytes;
        count_ &= 7;
        if (staged_ >= FlushAt) [[unlikely]]
            FlushBlocks();
    }

    // The last bits, padded to a byte, and the last sub-blocks.
    void Finish()
    {
        if (count_ > 0)
            stage_[staged_++] = static_cast<std::uint8_t>(bits_);
        bits_ = 0;
        count_ = 0;
        FlushBlocks();
        if (staged_ > 0)
            PutBlock(stage_.data(), staged_);
        staged_ = 0;
    }

private:
    static constexpr std::size_t BlockSize = 255;
    static constexpr std::size_t FlushAt = 16 * BlockSize;

    // Writes every full sub-block staged, keeping the rest, so that the last sub-block written is
    // never empty.
    void FlushBlocks()
    {
        std::size_t done = 0;
        for (; staged_ - done > BlockSize; done += BlockSize)
            PutBlock(stage_.data() + done, BlockSize);
        std::memmove(stage_.data(), stage_.data() + done, staged_ - done);
        staged_ -= done;
    }

    void PutBlock(const std::uint8_t *bytes, std::size_t count)
    {
        out_.push_back(static_cast<std::uint8_t>(count));
        out_.insert(out_.end(), bytes, bytes + count);
    }

    std::vector<std::uint8_t> &out_;
    std::uint64_t bits_ = 0;
    int count_ = 0;
    std::size_t staged_ = 0;
    std::array<std::uint8_t, FlushAt + 8> stage_{};
};

// Variable-length-code LZW with a hashed string table. The hash, the probing and the moment the
// table is cleared decide the exact bytes written, so they stay as they are.
class LzwEncoder {
public:
    LzwEncoder(int minCodeSize, std::vector<std::uint8_t> &out)
        : writer_(out), initialWidth_(minCodeSize + 1), clearCode_(1 << minCodeSize), endCode_(clearCode_ + 1)
    {
    }

    void Compress(std::span<const std::uint8_t> indices)
    {
        // The loop's state lives in locals: the bytes written could alias members otherwise.
        std::int32_t *const keys = keys_.data();
        std::uint16_t *const codes = codes_.data();
        CodeWriter &writer = writer_;
        const int firstFree = clearCode_ + 2;
        int width = initialWidth_;
        int maxCode = (1 << width) - 1;
        int nextFree = firstFree;
        bool clearPending = false;
        // The new width applies from the next code on, where a decoder expects it.
        const auto put = [&](int code) {
            writer.Put(code, width);
            if (clearPending) {
                clearPending = false;
                width = initialWidth_;
                maxCode = (1 << width) - 1;
            } else if (nextFree > maxCode) {
                ++width;
                maxCode = width == MaxCodeWidth ? MaxCodes : (1 << width) - 1;
            }
        };

        keys_.fill(-1);
        put(clearCode_);
        if (!indices.empty()) {
            int prefix = indices[0];
            const std::uint8_t *const end = indices.data() + indices.size();
            for (const std::uint8_t *p = indices.data() + 1; p != end; ++p) {
                const int c = *p;
                const std::int32_t key = (c << 12) + prefix;
                int slot = (c << 4) ^ prefix;
                if (keys[slot] == key) {
                    prefix = codes[slot];
                    continue;
                }
                if (keys[slot] >= 0) {
                    const int step = slot == 0 ? 1 : ProbeModulus - slot;
                    bool found = false;
                    do {
                        slot -= step;
                        if (slot < 0)
                            slot += ProbeModulus;
                        if (keys[slot] == key) {
                            found = true;
                            break;
                        }
                    } while (keys[slot] > 0);  // a slot holding the pair (0, 0) ends the probe too
                    if (found) {
                            prefix = codes[slot];
                        continue;
                    }
                }
                put(prefix);
                prefix = c;
                if (nextFree < MaxCodes) {
                    codes[slot] = static_cast<std::uint16_t>(nextFree++);
                    keys[slot] = key;
                } else {
                    keys_.fill(-1);
                    nextFree = firstFree;
                    clearPending = true;
                    put(clearCode_);
                }
            }
            put(prefix);
        }
        put(endCode_);
        writer.Finish();
    }

private:
    CodeWriter writer_;
    int initialWidth_;
    int clearCode_;
    int endCode_;
    std::array<std::int32_t, SlotCount> keys_{};
    std::array<std::uint16_t, SlotCount> codes_{};
};

} // namespace

void CompressFrame(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out)
{
    int bits = ColorBits(colorCount);
    if (bits == 1)
        bits = 2;  // the smallest minimum code size GIF allows
    out.push_back(static_cast<std::uint8_t>(bits));
    LzwEncoder(bits, out).Compress(indices);
    out.push_back(0);
}

} // namespace kaptiv::gif
