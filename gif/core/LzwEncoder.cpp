#include "gif/core/LzwEncoder.h"

#include "gif/core/ColorMapper.h"

#include <array>
#include <cstddef>

namespace kaptiv::gif {

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;
constexpr int SlotCount = 5120;
constexpr int ProbeModulus = SlotCount - 1;

// Variable-length-code LZW with a hashed string table. The hash, the probing and the moment the
// table is cleared decide the exact bytes written, so they stay as they are.
class LzwEncoder {
public:
    LzwEncoder(int minCodeSize, std::vector<std::uint8_t> &out)
        : out_(out), initialWidth_(minCodeSize + 1), width_(initialWidth_), maxCode_((1 << width_) - 1),
          clearCode_(1 << minCodeSize), endCode_(clearCode_ + 1), nextFree_(clearCode_ + 2)
    {
    }

    void Compress(std::span<const std::uint8_t> indices)
    {
        keys_.fill(-1);
        PutCode(clearCode_);
        if (indices.empty()) {
            PutCode(endCode_);
            return;
        }
        int prefix = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const int c = indices[i];
            const std::int32_t key = (c << 12) + prefix;
            int slot = (c << 4) ^ prefix;
            if (keys_[slot] == key) {
                prefix = codes_[slot];
                continue;
            }
            if (keys_[slot] >= 0) {
                const int step = slot == 0 ? 1 : ProbeModulus - slot;
                bool found = false;
                do {
                    slot -= step;
                    if (slot < 0)
                        slot += ProbeModulus;
                    if (keys_[slot] == key) {
                        found = true;
                        break;
                    }
                } while (keys_[slot] > 0);  // a slot holding the pair (0, 0) ends the probe too
                if (found) {
                    prefix = codes_[slot];
                    continue;
                }
            }
            PutCode(prefix);
            prefix = c;
            if (nextFree_ < MaxCodes) {
                codes_[slot] = static_cast<std::uint16_t>(nextFree_++);
                keys_[slot] = key;
            } else {
                ClearTable();
            }
        }
        PutCode(prefix);
        PutCode(endCode_);
    }

private:
    void ClearTable()
    {
        keys_.fill(-1);
        nextFree_ = clearCode_ + 2;
        clearPending_ = true;
        PutCode(clearCode_);
    }

    void PutCode(int code)
    {
        bitBuffer_ = (bitCount_ > 0 ? bitBuffer_ & ((1u << bitCount_) - 1) : 0) |
                     static_cast<std::uint32_t>(code) << bitCount_;
        bitCount_ += width_;
        while (bitCount_ >= 8) {
            PutByte(static_cast<std::uint8_t>(bitBuffer_));
            bitBuffer_ >>= 8;
            bitCount_ -= 8;
        }
        // The new width applies from the next code on, where a decoder expects it.
        if (clearPending_) {
            clearPending_ = false;
            width_ = initialWidth_;
            maxCode_ = (1 << width_) - 1;
        } else if (nextFree_ > maxCode_) {
            ++width_;
            maxCode_ = width_ == MaxCodeWidth ? MaxCodes : (1 << width_) - 1;
        }
        if (code == endCode_) {
            while (bitCount_ > 0) {
                PutByte(static_cast<std::uint8_t>(bitBuffer_));
                bitBuffer_ >>= 8;
                bitCount_ -= 8;
            }
            FlushBlock();
        }
    }

    void PutByte(std::uint8_t b)
    {
        if (blockLength_ == 255)
            FlushBlock();
        block_[blockLength_++] = b;
    }

    void FlushBlock()
    {
        out_.push_back(static_cast<std::uint8_t>(blockLength_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + blockLength_);
        blockLength_ = 0;
    }

    std::vector<std::uint8_t> &out_;
    int initialWidth_;
    int width_;
    int maxCode_;
    int clearCode_;
    int endCode_;
    int nextFree_;
    bool clearPending_ = false;
    std::uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    std::array<std::uint8_t, 255> block_{};
    int blockLength_ = 0;
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
