#include "gif/core/LzwEncoder.h"

#include "gif/core/ColorMapper.h"
#include "gif/core/ZeroedBuffer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kaptiv::gif {

namespace {

constexpr int MaxCodes = 4096;
constexpr int MaxCodeWidth = 12;

void StoreLittleEndian64(std::uint8_t *p, std::uint64_t v)
{
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, 8);
    } else {
        for (int i = 0; i < 8; ++i, v >>= 8)
            p[i] = static_cast<std::uint8_t>(v);
    }
}

// Four bytes in the machine's order: enough to tell whether they are all one value.
std::uint32_t Load32(const std::uint8_t *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// How many of the indices from `p` up to `end` equal `c`.
std::size_t RunLength(const std::uint8_t *p, const std::uint8_t *end, std::uint8_t c)
{
    const std::uint8_t *q = p;
    const std::uint64_t pattern = 0x0101010101010101u * c;
    for (; end - q >= 8; q += 8) {
        std::uint64_t word;
        std::memcpy(&word, q, 8);
        if (const std::uint64_t differ = word ^ pattern) {
            const int same = std::endian::native == std::endian::little ? std::countr_zero(differ) / 8
                                                                         : std::countl_zero(differ) / 8;
            return static_cast<std::size_t>(q - p) + static_cast<std::size_t>(same);
        }
    }
    while (q != end && *q == c)
        ++q;
    return static_cast<std::size_t>(q - p);
}

// The codes' bits, least significant first, cut into data sub-blocks of 255 bytes. Whole bytes
// leave the bit buffer eight at a time into a staging area that is cut into sub-blocks in bulk.
// The bit buffer is a value the encoding loop keeps in registers: stores into the staging area
// could alias it if it lived in memory.
class CodeWriter {
public:
    struct Bits {
        std::uint64_t pending = 0;
        int count = 0;
        std::uint8_t *at = nullptr;
    };

    explicit CodeWriter(std::vector<std::uint8_t> &out) : out_(out) {}

    Bits Start() { return {0, 0, stage_.data()}; }

    // At most this many codes may be put between two calls of Flush.
    static constexpr std::size_t CodesBetweenFlushes = 8192;

    [[gnu::always_inline]] static Bits Put(Bits b, int code, int width)
    {
        b.pending |= static_cast<std::uint64_t>(code) << b.count;
        b.count += width;
        const int bytes = b.count >> 3;
        StoreLittleEndian64(b.at, b.pending);
        b.at += bytes;
        b.pending >>= 8 * bytes;
        b.count &= 7;
        return b;
    }

    Bits Flush(Bits b)
    {
        if (b.at >= stage_.data() + FlushAt)
            b.at = FlushBlocks(b.at);
        return b;
    }

    // The last bits, padded to a byte, and the last sub-blocks.
    void Finish(Bits b)
    {
        if (b.count > 0)
            *b.at++ = static_cast<std::uint8_t>(b.pending);
        b.at = FlushBlocks(b.at);
        if (b.at != stage_.data())
            PutBlock(stage_.data(), static_cast<std::size_t>(b.at - stage_.data()));
    }

private:
    static constexpr std::size_t BlockSize = 255;
    static constexpr std::size_t FlushAt = 16 * BlockSize;

    // Writes every full sub-block staged up to `end`, keeping the rest, so that the last sub-block
    // written is never empty. Returns where staging goes on.
    [[gnu::noinline]] std::uint8_t *FlushBlocks(std::uint8_t *end)
    {
        const auto staged = static_cast<std::size_t>(end - stage_.data());
        std::size_t done = 0;
        for (; staged - done > BlockSize; done += BlockSize)
            PutBlock(stage_.data() + done, BlockSize);
        std::memmove(stage_.data(), stage_.data() + done, staged - done);
        return stage_.data() + (staged - done);
    }

    void PutBlock(const std::uint8_t *bytes, std::size_t count)
    {
        out_.push_back(static_cast<std::uint8_t>(count));
        out_.insert(out_.end(), bytes, bytes + count);
    }

    std::vector<std::uint8_t> &out_;
    std::array<std::uint8_t, FlushAt + CodesBetweenFlushes * 12 / 8 + 8> stage_{};
};

// The string table the encoder has always kept, whose layout fixes the bytes written: pairs
// (prefix, index) are probed in 5120 slots from the home slot (index << 4) ^ prefix. A slot holding
// the pair (0, 0), key 0, ends a probe as an empty slot does. While that pair sits in its home slot 0
// no probe ever reaches it (the probe steps walk the residues of the prime 5119 and meet an empty
// slot long before slot 0), so the table answers exactly. Only when slot 0 was already taken does
// the pair land elsewhere; from then on a lookup passing it may miss a string the table holds, and
// a string added there overwrites it.
class ProbedTable {
public:
    void Clear() { keys_.fill(-1); }

    // The code of `key` (codes are never 0), or 0 with `slot` where it would be added.
    [[gnu::always_inline]] int Find(std::uint32_t key, unsigned &slot) const
    {
        const auto wanted = static_cast<std::int32_t>(key);
        int at = HomeSlot(key);
        if (keys_[at] != wanted && keys_[at] >= 0) {
            const int step = at == 0 ? 1 : ProbeModulus - at;
            do {
                at -= step;
                if (at < 0)
                    at += ProbeModulus;
            } while (keys_[at] != wanted && keys_[at] > 0);
        }
        slot = static_cast<unsigned>(at);
        return keys_[at] == wanted ? codes_[at] : 0;
    }

    bool Add(unsigned slot, std::uint32_t key, int code)
    {
        keys_[slot] = static_cast<std::int32_t>(key);
        codes_[slot] = static_cast<std::uint16_t>(code);
        return true;
    }

    static int HomeSlot(std::uint32_t key) { return static_cast<int>(((key >> 12) << 4) ^ (key & 0xFFF)); }

private:
    static constexpr int SlotCount = 5120;
    static constexpr int ProbeModulus = SlotCount - 1;

    std::array<std::int32_t, SlotCount> keys_{};
    std::array<std::uint16_t, SlotCount> codes_{};
};

// An exact string table: open addressing at most one sixteenth full, key and code in one word, so
// that a lookup is one load nearly always, and a bit per slot saying whether it is taken, which is
// all a clear has to empty. It stands in for the probed table for as long as that one answers
// exactly, and remembers the order strings were added so the probed table can be rebuilt from it.
class ExactTable {
public:
    // Only the bits saying which slots are taken are cleared: the entries are far more.
    void Clear()
    {
        taken_.fill(0);
        order_.clear();
        homeZeroTaken_ = false;
    }

    // The code of `key` (codes are never below 4), or 0 with `slot` where it would be added. A
    // slot's taken bit, in the first level of the cache, tells a miss before its entry arrives.
    [[gnu::always_inline]] int Find(std::uint32_t key, unsigned &slot) const
    {
        const std::uint32_t tagged = key << 12;
        for (slot = Hash(key);; slot = (slot + 1) & (SlotCount - 1)) {
            if (!Taken(slot))
                return 0;
            const std::uint32_t code = entries_[slot] ^ tagged;
            if (code < MaxCodes)
                return static_cast<int>(code);
        }
    }

    // False when the probed table would place `key` where it stops answering exactly.
    [[gnu::always_inline]] bool Add(unsigned slot, std::uint32_t key, int code)
    {
        if (ProbedTable::HomeSlot(key) == 0) [[unlikely]] {
            if (key == 0 && homeZeroTaken_)
                return false;
            homeZeroTaken_ = true;
        }
        entries_[slot] = key << 12 | static_cast<std::uint32_t>(code);
        taken_[slot / 64] |= std::uint64_t{1} << (slot % 64);
        order_.push_back(static_cast<std::uint16_t>(slot));
        return true;
    }

    // The probed table as adding the same strings in the same order made it.
    void Replay(ProbedTable &probed) const
    {
        probed.Clear();
        for (const std::uint16_t at : order_) {
            const std::uint32_t entry = entries_[at];
            unsigned slot;
            probed.Find(entry >> 12, slot);
            probed.Add(slot, entry >> 12, static_cast<int>(entry & 0xFFF));
        }
    }

private:
    static constexpr unsigned SlotCount = 65536;

    static unsigned Hash(std::uint32_t key) { return (key * 0x9E3779B1u) >> 16; }
    bool Taken(unsigned slot) const { return (taken_[slot / 64] >> (slot % 64)) & 1; }

    std::unique_ptr<std::uint32_t[]> entries_{new std::uint32_t[SlotCount]};  // read only where taken
    std::array<std::uint64_t, SlotCount / 64> taken_{};
    std::vector<std::uint16_t> order_ = [] {
        std::vector<std::uint16_t> order;
        order.reserve(MaxCodes);
        return order;
    }();
    bool homeZeroTaken_ = false;
};

// What happens when the string table fills: cleared at once (CheckEvery 0), or kept and
// compared every CheckEvery codes with a fresh table over the next Ahead codes.
struct FullTable {
    std::size_t CheckEvery = 0;
    std::size_t Ahead = 0;
};

// The codes written so far: the bit buffer, and the width the next code is written at, which grows
// as the string table fills. A value the encoding loops keep in registers.
struct CodeStream {
    CodeWriter::Bits bits;
    int width;
    int maxCode;   // the largest code `width` bits hold; at 12 bits, MaxCodes
    int nextFree;  // the code the next string added gets

    // The new width applies from the next code on, where a decoder expects it.
    [[gnu::always_inline]] void Put(int code)
    {
        bits = CodeWriter::Put(bits, code, width);
        if (nextFree > maxCode) [[unlikely]] {
            ++width;
            maxCode = width == MaxCodeWidth ? MaxCodes : (1 << width) - 1;
        }
    }

    // The clear code, and the string table starts again from `firstFree` at `initialWidth`.
    void Clear(int clearCode, int initialWidth, int firstFree)
    {
        bits = CodeWriter::Put(bits, clearCode, width);
        width = initialWidth;
        maxCode = (1 << width) - 1;
        nextFree = firstFree;
    }
};

// Variable-length-code LZW. Each filling of the string table, from one clear to the next, goes
// through the exact table, and through the probed one only from the moment the two would differ.
class LzwEncoder {
public:
    LzwEncoder(int minCodeSize, std::vector<std::uint8_t> &out, FullTable full = {})
        : writer_(out), initialWidth_(minCodeSize + 1), clearCode_(1 << minCodeSize), endCode_(clearCode_ + 1),
          firstFree_(clearCode_ + 2), stream_{writer_.Start(), initialWidth_, (1 << initialWidth_) - 1, firstFree_},
          full_(full)
    {
    }

    bool Filled() const { return filled_; }

    void Compress(std::span<const std::uint8_t> indices)
    {
        Put(clearCode_);
        if (!indices.empty()) {
            const std::uint8_t *p = indices.data() + 1;
            const std::uint8_t *const end = indices.data() + indices.size();
            int prefix = indices[0];
            while (p != end) {
                exact_.Clear();
                ForgetRuns();
                Stop stop = Encode(exact_, p, end, prefix);
                if (stop == Stop::NeedsProbedTable) {
                    // The pair (0, 0) waits to be added: the probed table adds it where it always has.
                    exact_.Replay(probed_);
                    unsigned slot;
                    probed_.Find(0, slot);
                    probed_.Add(slot, 0, stream_.nextFree++);
                    if (Encode(probed_, p, end, prefix) == Stop::Full)
                        EncodeFull(probed_, p, end, prefix);
                } else if (stop == Stop::Full) {
                    EncodeFull(exact_, p, end, prefix);
                }
            }
            Put(prefix);
        }
        Put(endCode_);
        writer_.Finish(stream_.bits);
    }

private:
    enum class Stop { End, Cleared, NeedsProbedTable, Full };

    // Encodes from `p` until the input ends, the table fills and is cleared, or the exact table
    // must hand over. `prefix` is the code of the string matched so far. The input goes in pieces
    // small enough that the codes of one piece always fit the writer's staging area.
    template <class Table>
    Stop Encode(Table &table, const std::uint8_t *&p, const std::uint8_t *end, int &prefix)
    {
        // The loop's state lives in locals: the bytes written could alias members otherwise.
        CodeStream stream = stream_;
        int code = prefix;
        const std::uint8_t *q = p;
        Stop stop = Stop::End;
        while (q != end && stop == Stop::End) {
            // Each index puts at most one code, and the clear after it once.
            const std::uint8_t *const pieceEnd =
                q + std::min<std::size_t>(static_cast<std::size_t>(end - q), CodeWriter::CodesBetweenFlushes / 2);
            for (; q != pieceEnd; ++q) {
                const int c = *q;
                const auto key = static_cast<std::uint32_t>(c << 12 | code);
                unsigned slot;
                if (const int found = table.Find(key, slot)) {
                    code = found;
                    continue;
                }
                stream.Put(code);
                code = c;
                if (stream.nextFree == MaxCodes) [[unlikely]] {
                    stop = ClearOrKeep(stream);
                    ++q;
                    break;
                }
                if (!table.Add(slot, key, stream.nextFree)) [[unlikely]] {
                    stop = Stop::NeedsProbedTable;
                    ++q;
                    break;
                }
                ++stream.nextFree;
                if constexpr (std::is_same_v<Table, ExactTable>) {
                    if (pieceEnd - q > 4 && Load32(q + 1) == static_cast<std::uint32_t>(c) * 0x01010101u)
                        [[unlikely]] {
                        stop = EncodeRun(table, q, pieceEnd, code, stream);
                        if (stop != Stop::End) {
                            ++q;
                            break;
                        }
                    }
                }
            }
            stream.bits = writer_.Flush(stream.bits);
        }
        p = q;
        prefix = code;
        stream_ = stream;
        return stop;
    }

    // A run of one index, from `q` where the string `code` is that index alone up to the last index
    // of the run before `end`, leaving `q` there: the strings of 1, 2, 3 ... of the index found
    // so far are remembered, so the run goes a string at a time, not an index at a time. The codes
    // and strings added are those the index-at-a-time loop would give.
    Stop EncodeRun(ExactTable &table, const std::uint8_t *&q, const std::uint8_t *end, int &code, CodeStream &stream)
    {
        const int c = code;
        std::uint16_t *const runCodes = runCodes_.get() + static_cast<std::size_t>(c) * MaxCodes;
        runCodes[1] = static_cast<std::uint16_t>(c);
        int &longest = longestRun_[static_cast<std::size_t>(c)];
        std::size_t left = RunLength(q + 1, end, static_cast<std::uint8_t>(c));
        int length = 1;
        while (left > 0) {
            if (static_cast<std::size_t>(longest - length) >= left) {
                length += static_cast<int>(left);
                q += left;
                left = 0;
                break;
            }
            q += longest - length;
            left -= static_cast<std::size_t>(longest - length);
            length = longest;
            const auto key = static_cast<std::uint32_t>(c << 12 | runCodes[length]);
            unsigned slot;
            if (const int found = table.Find(key, slot)) {
                // The string one longer came in by the index-at-a-time loop.
                runCodes[++longest] = static_cast<std::uint16_t>(found);
                continue;
            }
            stream.Put(runCodes[length]);
            ++q;
            --left;
            length = 1;
            if (stream.nextFree == MaxCodes) {
                code = c;
                return ClearOrKeep(stream);
            }
            if (!table.Add(slot, key, stream.nextFree)) {
                code = c;
                return Stop::NeedsProbedTable;
            }
            runCodes[++longest] = static_cast<std::uint16_t>(stream.nextFree++);
        }
        code = runCodes[length];
        return Stop::End;
    }

    // The table has just filled, the code before written: clears it at once, or, when clearing
    // is put off, keeps it as it is.
    Stop ClearOrKeep(CodeStream &stream)
    {
        filled_ = true;
        if (full_.CheckEvery > 0)
            return Stop::Full;
        stream.Clear(clearCode_, initialWidth_, firstFree_);
        return Stop::Cleared;
    }

    // Codes go on from the full table, adding nothing, for as long as it does better than a table
    // started afresh would: every so many codes the stretch of the next so many codes is coded
    // both ways (only counted), and the table is cleared when the fresh one wins. A decoder adds
    // nothing to a full table, so it reads these codes as they are meant. When the checks do not
    // overlap, a stretch the full table wins is written from the codes its count found.
    template <class Table>
    void EncodeFull(const Table &table, const std::uint8_t *&p, const std::uint8_t *end, int &prefix)
    {
        CodeStream stream = stream_;
        int code = prefix;
        const std::uint8_t *q = p;
        std::size_t sinceCheck = 0;
        bool cleared = false;
        const bool reuse = full_.CheckEvery >= full_.Ahead;
        while (q != end && !cleared) {
            const std::uint8_t *const pieceEnd =
                q + std::min<std::size_t>(static_cast<std::size_t>(end - q), CodeWriter::CodesBetweenFlushes / 2);
            for (; q < pieceEnd; ++q) {
                const int c = *q;
                unsigned slot;
                if (const int found = table.Find(static_cast<std::uint32_t>(c << 12 | code), slot)) {
                    code = found;
                    continue;
                }
                stream.Put(code);
                code = c;
                if (++sinceCheck < full_.CheckEvery)
                    continue;
                // A check: the string just begun at q and the ones after it, both ways.
                for (;;) {
                    sinceCheck = 0;
                    int last = 0;
                    const std::uint8_t *const until = FullStretch(table, q, end, full_.Ahead, last, reuse);
                    if (FreshBits(q, until) < (stretch_.size() + (until == end)) * MaxCodeWidth) {
                        stream.Clear(clearCode_, initialWidth_, firstFree_);
                        cleared = true;
                        break;
                    }
                    if (!reuse)
                        break;
                    // The stretch goes out as counted, and the coding goes on at its end as it
                    // would have had it coded the stretch itself.
                    stream.bits = writer_.Flush(stream.bits);
                    for (const std::uint16_t counted : stretch_)
                        stream.Put(counted);
                    stream.bits = writer_.Flush(stream.bits);
                    sinceCheck = stretch_.size();
                    code = last;
                    q = until;
                    if (q == end || sinceCheck < full_.CheckEvery)
                        break;
                }
                if (cleared || q == end) {
                    q += q != end;
                    break;
                }
            }
            stream.bits = writer_.Flush(stream.bits);
        }
        p = q;
        prefix = code;
        stream_ = stream;
    }

    // Where `codes` strings from the full table, starting at `q`, end (or the input does), with
    // the codes of the strings completed in stretch_ when `keep` (else only counted there), and
    // in `last` the code of the string that goes on from that end.
    template <class Table>
    const std::uint8_t *FullStretch(const Table &table, const std::uint8_t *q, const std::uint8_t *end,
                                    std::size_t codes, int &last, bool keep)
    {
        stretch_.clear();
        std::size_t made = 1;
        int code = *q;
        for (++q; q < end; ++q) {
            unsigned slot;
            if (const int found = table.Find(static_cast<std::uint32_t>(*q << 12 | code), slot)) {
                code = found;
            } else {
                stretch_.push_back(static_cast<std::uint16_t>(keep ? code : 0));
                if (made == codes) {
                    code = *q;
                    break;
                }
                ++made;
                code = *q;
            }
        }
        last = code;
        return q;
    }

    // The bits of a clear code and the indices from `q` to `until` coded from a fresh table.
    std::size_t FreshBits(const std::uint8_t *q, const std::uint8_t *until)
    {
        if (!trial_)
            trial_ = std::make_unique<ExactTable>();
        trial_->Clear();
        std::size_t bits = MaxCodeWidth;
        int width = initialWidth_, next = firstFree_;
        int code = *q;
        for (++q; q < until; ++q) {
            unsigned slot;
            const auto key = static_cast<std::uint32_t>(*q << 12 | code);
            if (const int found = trial_->Find(key, slot)) {
                code = found;
                continue;
            }
            bits += static_cast<std::size_t>(width);
            code = *q;
            if (next < MaxCodes && trial_->Add(slot, key, next)) {
                ++next;
                if (next > (1 << width) - 1 && width < MaxCodeWidth)
                    ++width;
            }
        }
        return bits + static_cast<std::size_t>(width);
    }

    void Put(int code)
    {
        stream_.Put(code);
        stream_.bits = writer_.Flush(stream_.bits);
    }

    CodeWriter writer_;
    int initialWidth_;
    int clearCode_;
    int endCode_;
    int firstFree_;
    CodeStream stream_;
    FullTable full_;
    bool filled_ = false;  // the table filled at least once
    ExactTable exact_;
    ProbedTable probed_;
    std::unique_ptr<ExactTable> trial_;  // made when first needed
    std::vector<std::uint16_t> stretch_; // the codes of the stretch last counted from a full table
    // For each index, the codes of its runs of 1 .. longest, as far as found since the last clear.
    // Left uninitialised: only the rows of indices that come in runs are ever touched.
    std::unique_ptr<std::uint16_t[]> runCodes_{new std::uint16_t[256 * MaxCodes]};
    std::array<int, 256> longestRun_{};

    void ForgetRuns() { longestRun_.fill(1); }
};

} // namespace

// The minimum code size for a table of `colorCount` colours.
static int MinCodeSize(int colorCount)
{
    const int bits = ColorBits(colorCount);
    return bits == 1 ? 2 : bits;  // 2 is the smallest GIF allows
}

void CompressFrame(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out)
{
    const int bits = MinCodeSize(colorCount);
    out.push_back(static_cast<std::uint8_t>(bits));
    LzwEncoder(bits, out).Compress(indices);
    out.push_back(0);
}

void CompressFrameSmaller(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out)
{
    const int bits = MinCodeSize(colorCount);
    out.push_back(static_cast<std::uint8_t>(bits));
    // Every stretch of 768 codes from a full table is checked against a fresh table: on screen
    // recordings this keeps most of what the three ways of CompressFrameSmallest find, and the
    // stretches kept are written from their check, so the coding costs about twice CompressFrame.
    LzwEncoder(bits, out, FullTable{768, 768}).Compress(indices);
    out.push_back(0);
}

void CompressFrameWith(LzwCoding coding, std::span<const std::uint8_t> indices, int colorCount,
                       std::vector<std::uint8_t> &out)
{
    switch (coding) {
    case LzwCoding::Fast:
        return CompressFrame(indices, colorCount, out);
    case LzwCoding::Smaller:
        return CompressFrameSmaller(indices, colorCount, out);
    case LzwCoding::Smallest:
        return CompressFrameSmallest(indices, colorCount, out);
    }
}

void CompressFrameSmallest(std::span<const std::uint8_t> indices, int colorCount, std::vector<std::uint8_t> &out)
{
    const int bits = MinCodeSize(colorCount);
    const std::size_t start = out.size();
    out.push_back(static_cast<std::uint8_t>(bits));
    LzwEncoder atOnce(bits, out);
    atOnce.Compress(indices);
    out.push_back(0);
    if (!atOnce.Filled())
        return;  // the table never filled: nothing to put off
    // Settings that did well on screen recordings, large and small; which wins varies by picture.
    static constexpr FullTable Ways[] = {{128, 1024}, {256, 256}, {512, 1024}};
    std::vector<std::uint8_t> other;
    for (const FullTable &way : Ways) {
        other.assign(1, static_cast<std::uint8_t>(bits));
        LzwEncoder(bits, other, way).Compress(indices);
        other.push_back(0);
        if (other.size() < out.size() - start) {
            out.resize(start);
            out.insert(out.end(), other.begin(), other.end());
        }
    }
}

} // namespace kaptiv::gif
