#include "gif/core/LzwDecoder.h"

#include "gif/core/RowOrder.h"
#include "gif/core/ZeroedBuffer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kaptiv::gif {

void SkipSubBlocks(std::span<const std::uint8_t> file, std::size_t &readPos)
{
    while (readPos < file.size()) {
        const std::size_t count = file[readPos++];
        if (count == 0)
            return;
        readPos = count > file.size() - readPos ? file.size() : readPos + count;
    }
}

namespace {

constexpr int TableSize = 4096;
constexpr int StackSize = 4096;
constexpr int MaxMinCodeSize = 11;          // a 12th bit would leave no room for table entries
constexpr std::uint64_t ReportedAbove = 100000;
constexpr std::size_t CopySlack = 16;       // strings are placed whole words: this far past their end
constexpr unsigned ShortRun = 16;           // runs up to this long are copied like other strings

// A string's entry word: its length, its first index (so that the string is never read back for
// it), and whether it is one index repeated more than ShortRun times. Zero for the clear and end codes.
constexpr std::uint32_t LengthBits = 0xFFFF;
constexpr int FirstShift = 16;
constexpr std::uint32_t LongRun = 0x80000000u;
constexpr std::uint32_t EntryWord(std::size_t length, std::uint8_t first)
{
    return static_cast<std::uint32_t>(length) | std::uint32_t{first} << FirstShift;
}

std::uint64_t LoadLittleEndian64(const std::uint8_t *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) {
        std::uint64_t r = 0;
        for (int i = 7; i >= 0; --i)
            r = (r << 8) | p[i];
        v = r;
    }
    return v;
}

// The code stream of one image: data sub-blocks read one at a time, as late as possible, so that
// the read position always stands right after the last sub-block taken in.
class CodeReader {
public:
    CodeReader(std::span<const std::uint8_t> file, std::size_t &pos) : file_(file), pos_(pos)
    {
        noMoreData_ = !ReadSubBlock();
    }

    // The next code of `size` bits, least significant bit first; -1 when the data has ended.
    int GetCode(int size)
    {
        if (validBits_ - bitPos_ > size) [[likely]]
            return Take(size);
        return GetCodeRefilling(size);
    }

    // The fast decoding loop keeps the bit position in a register: it takes codes straight from
    // the stage while more than one code's bits remain, and hands the position back for refills.
    const std::uint8_t *Stage() const { return stage_.data(); }
    int BitPos() const { return bitPos_; }
    int ValidBits() const { return validBits_; }
    void SetBitPos(int bitPos) { bitPos_ = bitPos; }

    static int Extract(const std::uint8_t *stage, int bitPos, int size)
    {
        return static_cast<int>(Bits(stage, static_cast<std::size_t>(bitPos)) & ((1u << size) - 1));
    }

    // The bits from bitPos on (at least 57 of them), the first in bit 0.
    static std::uint64_t Bits(const std::uint8_t *stage, std::size_t bitPos)
    {
        return LoadLittleEndian64(stage + (bitPos >> 3)) >> (bitPos & 7);
    }

    // Drops whatever sub-blocks remain, through the terminator.
    void SkipRest()
    {
        if (!terminatorSeen_)
            SkipSubBlocks(file_, pos_);
        terminatorSeen_ = noMoreData_ = true;
    }

    std::size_t Position() const { return pos_; }

private:
    int Take(int size)
    {
        const int code = Extract(stage_.data(), bitPos_, size);
        bitPos_ += size;
        return code;
    }

    [[gnu::noinline]] int GetCodeRefilling(int size)
    {
        if (noMoreData_)
            return -1;
        noMoreData_ = !ReadSubBlock();
        // Sub-blocks may be as short as one byte, so one may not hold the rest of a code.
        while (!noMoreData_ && validBits_ - bitPos_ < size)
            noMoreData_ = !ReadSubBlock();
        if (validBits_ - bitPos_ < size)
            return -1;  // a code cut off by the end of the data is no code
        return Take(size);
    }

    // Appends the next sub-block behind the bits not yet used; false at the terminator.
    bool ReadSubBlock()
    {
        const std::size_t keepFrom = static_cast<std::size_t>(bitPos_ >> 3);
        const std::size_t keep = static_cast<std::size_t>(validBits_ >> 3) - keepFrom;
        std::memmove(stage_.data(), stage_.data() + keepFrom, keep);
        bitPos_ &= 7;
        std::size_t count = 0;
        if (pos_ < file_.size()) {
            count = file_[pos_++];
            count = std::min(count, file_.size() - pos_);
            std::memcpy(stage_.data() + keep, file_.data() + pos_, count);
            pos_ += count;
        }
        validBits_ = static_cast<int>(8 * (keep + count));
        std::memset(stage_.data() + keep + count, 0, 8);
        terminatorSeen_ = count == 0;
        return count != 0;
    }

    std::span<const std::uint8_t> file_;
    std::size_t &pos_;
    // A few bytes left from the previous sub-block, one sub-block, and room for 64-bit loads.
    std::array<std::uint8_t, 8 + 255 + 8> stage_{};
    int bitPos_ = 0;
    int validBits_ = 0;
    bool noMoreData_ = false;
    bool terminatorSeen_ = false;
};

// Every one-index string, so that a literal code is copied like any other string.
constexpr auto SingleIndices = [] {
    std::array<std::uint8_t, 256 + CopySlack> all{};
    for (int i = 0; i < 256; ++i)
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return all;
}();

// The table entries of the 256 one-index strings.
struct SingleEntryTable {
    std::array<std::uint16_t, 256> Suffix;
    std::array<const std::uint8_t *, 256> Source;
    std::array<std::uint32_t, 256> Word;
};
constexpr SingleEntryTable SingleEntries = [] {
    SingleEntryTable t{};
    for (std::size_t i = 0; i < 256; ++i) {
        t.Suffix[i] = static_cast<std::uint16_t>(i);
        t.Source[i] = SingleIndices.data() + i;
        t.Word[i] = EntryWord(1, static_cast<std::uint8_t>(i));
    }
    return t;
}();

} // namespace

// Left unset when made (64 KiB cleared would be most of the work of a small image): every entry is
// written before it is read.
//
// The fast loop writes the entry the next code completes as soon as its string is placed (all but
// its suffix are known then), so each array has room for one entry past a full table.
struct detail::StringTable {
    // The chain form every GIF decoder knows: a string is its prefix code's string plus a suffix.
    std::array<std::uint16_t, TableSize + 1> prefix;
    std::array<std::uint16_t, TableSize + 1> suffix;
    // Where each string already lies (in the decoded pixels, or in SingleIndices), so that it can
    // be copied whole, and its entry word. A long string of one index repeated (LongRun) is written
    // without reading it back: the long runs of screens and transparent areas would otherwise read
    // bytes still on their way to memory.
    std::array<const std::uint8_t *, TableSize + 1> source;
    std::array<std::uint32_t, TableSize + 1> word;
    std::array<std::uint16_t, StackSize> stack;
};

LzwTables::LzwTables() = default;
LzwTables::~LzwTables() = default;
LzwTables::LzwTables(LzwTables &&) noexcept = default;
LzwTables &LzwTables::operator=(LzwTables &&) noexcept = default;

std::uint8_t *LzwTables::Rows(std::size_t size)
{
    if (size > rowsSize_) {
        rows_.reset();  // the old rows go first: they may be most of the memory
        rows_.reset(new std::uint8_t[size]);
        rowsSize_ = size;
    }
    return rows_.get();
}

// Decoding never changes the entries below the first free code, so a table set up for the same
// clear code is ready as it stands; entries above are written before they are read.
detail::StringTable &LzwTables::Table(int clearCode)
{
    if (!table_)
        table_.reset(new detail::StringTable);
    if (setUpFor_ != clearCode) {
        detail::StringTable &t = *table_;
        // The single-index entries of the usual tables come ready made: copying them is a few
        // wide stores, where a small image's whole decoding is a few thousand cycles.
        const int ready = std::min(clearCode, 256);
        const auto n = static_cast<std::size_t>(ready);
        std::memcpy(t.suffix.data(), SingleEntries.Suffix.data(), n * sizeof t.suffix[0]);
        std::memcpy(t.source.data(), SingleEntries.Source.data(), n * sizeof t.source[0]);
        std::memcpy(t.word.data(), SingleEntries.Word.data(), n * sizeof t.word[0]);
        for (int i = ready; i < clearCode; ++i) {
            t.suffix[i] = static_cast<std::uint16_t>(i);
            t.source[i] = nullptr;
            t.word[i] = 0;
        }
        // Word 0 marks the clear and end codes.
        t.source[clearCode] = t.source[clearCode + 1] = nullptr;
        t.word[clearCode] = t.word[clearCode + 1] = 0;
        setUpFor_ = clearCode;
    }
    return *table_;
}

namespace {

using detail::StringTable;

void MarkRow(const std::uint8_t *row, std::size_t count, std::uint8_t transparent, std::uint8_t *mask);
constexpr std::size_t MarkedAtOnce = 16384;  // indices looked at for the mask while still in the cache

// Decodes into the pixels in stored order (one contiguous run of Width x Height indices).
//
// Well-formed data takes the fast way: every table entry is a string that already lies in the
// output, so a code is one copy. Damaged data (a first code that is no colour, a code beyond the
// next free entry, minimum code sizes above 8) switches to walking prefix chains through a
// stack, which is where broken tables are tolerated; a chain longer than the stack can only come
// from a cycle and ends the image.
class RasterDecoder {
public:
    enum class Outcome { Complete, DataEnded, Abandoned };

    RasterDecoder(std::span<const std::uint8_t> file, std::size_t &readPos, int minCodeSize,
                  std::uint8_t *out, const RasterTarget &target, std::uint8_t *mask, const RowProgress &progress,
                  LzwTables &tables)
        : bits_(file, readPos), target_(target), rows_(target.Height, target.Interlaced), mask_(mask),
          progress_(progress), out_(out),
          total_(static_cast<std::size_t>(target.Width) * static_cast<std::size_t>(target.Height)),
          minCodeSize_(minCodeSize), clear_(1 << minCodeSize), endCode_(clear_ + 1),
          table_(&tables.Table(clear_))
    {
        ResetCodes();
        reporting_ = progress_ && total_ > ReportedAbove;
        rowStep_ = target.Width > 320 ? 32 : 64;
        marking_ = mask_ || target.NewMask;
        markStep_ = std::max<std::size_t>(1, MarkedAtOnce / static_cast<std::size_t>(target.Width));
        SetCheckpoint();
    }

    Outcome Run()
    {
        const int code = CodeAfterClears(bits_.GetCode(codeSize_));
        const Outcome outcome = code < 0 ? Outcome::DataEnded : FromFirstCode(code);
        if (outcome != Outcome::Abandoned)
            bits_.SkipRest();
        return outcome;
    }

    std::size_t Placed() const { return pos_; }
    std::size_t PlacedFast() const { return fastEnd_; }
    std::size_t MarkedRows() const { return markedRows_; }
    std::uint8_t *Mask() const { return mask_; }

private:
    static constexpr int EndOfImage = -2;
    static constexpr int Cycle = -3;

    void ResetCodes()
    {
        codeSize_ = minCodeSize_ + 1;
        limit_ = 2 * clear_;
        nextFree_ = clear_ + 2;
    }

    // The code that starts a string table: clear codes in a row are one reset, and an end code
    // (or the end of the data) there means the image has no more pixels.
    int CodeAfterClears(int code)
    {
        while (code == clear_)
            code = bits_.GetCode(codeSize_);
        return code == endCode_ ? EndOfImage : code;
    }

    Outcome FromFirstCode(int code)
    {
        if (const auto stop = StartStrings(code))
            return *stop;
        return Fast();
    }

    // Places the first code after a reset, which has to be a single index; anything else (or
    // minimum code sizes above 8) is left to the chain walking.
    std::optional<Outcome> StartStrings(int code)
    {
        firstCode_ = oldCode_ = code;
        if (code >= clear_ || minCodeSize_ > 8)
            return Slow(code);
        out_[pos_] = static_cast<std::uint8_t>(code);
        prevStart_ = pos_;
        prevWord_ = EntryWord(1, static_cast<std::uint8_t>(code));
        StringTable &t = *table_;
        t.source[nextFree_] = out_ + pos_;
        t.word[nextFree_] = EntryWord(2, static_cast<std::uint8_t>(code));
        t.prefix[nextFree_] = static_cast<std::uint16_t>(code);
        ++pos_;
        if (pos_ >= checkpoint_)
            return Checkpoint();
        return std::nullopt;
    }

    // Codes of one width at a time: with the width a constant, its mask, shift and the table size
    // that widens it cost no registers, and the loop's state stays out of memory.
    Outcome Fast()
    {
        for (;;) {
            std::optional<Outcome> stop;
            switch (codeSize_) {
            case 1: stop = Run<1>(); break;
            case 2: stop = Run<2>(); break;
            case 3: stop = Run<3>(); break;
            case 4: stop = Run<4>(); break;
            case 5: stop = Run<5>(); break;
            case 6: stop = Run<6>(); break;
            case 7: stop = Run<7>(); break;
            case 8: stop = Run<8>(); break;
            case 9: stop = Run<9>(); break;
            case 10: stop = Run<10>(); break;
            case 11: stop = Run<11>(); break;
            default: stop = Run<12>(); break;
            }
            if (stop)
                return *stop;
        }
    }

    // Decodes codes of `Width` bits until they widen (nullopt, the state stored), the table is
    // cleared (nullopt, the first string after it placed) or the image stops.
    template <int Width>
    std::optional<Outcome> Run()
    {
        constexpr unsigned Mask = (1u << Width) - 1;
        constexpr int Widens = Width < 12 ? 1 << Width : TableSize + 1;  // a free code this high
        StringTable &t = *table_;
        std::uint8_t *const out = out_;
        const std::uint8_t *const stage = bits_.Stage();
        // The state lives in locals while codes are decoded: every index written through a byte
        // pointer could alias a member, which would make the compiler reload them all.
        std::ptrdiff_t bitPos, safeBits;  // as wide as a pointer, so that they index without widening
        int nextFree;
        std::uint8_t *dst, *prev, *fastEnd;
        std::uint32_t prevWord;
        const auto load = [&] {
            bitPos = bits_.BitPos(), safeBits = bits_.ValidBits() - Width;
            nextFree = nextFree_;
            dst = out + pos_, prev = out + prevStart_, prevWord = prevWord_;
            // Below fastEnd a string fits with room for whole-word stores and no checkpoint is passed.
            fastEnd = out + std::min(checkpoint_, total_ >= CopySlack ? total_ - CopySlack + 1 : 0);
        };
        const auto store = [&] {
            bits_.SetBitPos(static_cast<int>(bitPos));
            nextFree_ = nextFree;
            pos_ = static_cast<std::size_t>(dst - out), prevStart_ = static_cast<std::size_t>(prev - out);
            prevWord_ = prevWord;
            oldCode_ = t.prefix[nextFree];  // written with the entry the next code completes
            firstCode_ = static_cast<std::uint8_t>(prevWord >> FirstShift);
        };
        load();
        for (;;) {
            int code;
            if (bitPos < safeBits) [[likely]] {
                code = static_cast<int>(CodeReader::Bits(stage, static_cast<std::size_t>(bitPos)) & Mask);
                bitPos += Width;
            } else {
                bits_.SetBitPos(static_cast<int>(bitPos));
                code = bits_.GetCode(Width);
                bitPos = bits_.BitPos(), safeBits = bits_.ValidBits() - Width;
                if (code < 0) {
                    store();
                    return Outcome::DataEnded;
                }
            }
            // The entry the previous string began is that string and this one's first index (its
            // suffix is found from where it lies if the chain walking ever needs it). Tells whether
            // it is a long run.
            const auto complete = [&](std::uint8_t first) {
                bool run = false;
                if (Width < 12 || nextFree < TableSize) [[likely]] {
                    // Only strings longer than ShortRun carry the run mark, so the short strings
                    // of a photo cost no more than one comparison that is rarely true.
                    if ((prevWord & LengthBits) >= ShortRun) [[unlikely]] {
                        if (RunMark(prev, prevWord, first)) {
                            t.word[nextFree] |= LongRun;
                            run = true;
                        }
                    }
                    ++nextFree;
                }
                return run;
            };
            std::uint32_t word;
            std::size_t placed;
            if (code < nextFree) [[likely]] {
                word = t.word[code];
                if (word == 0) [[unlikely]] {
                    store();
                    if (code == endCode_)
                        return Outcome::DataEnded;
                    ResetCodes();
                    const int next = CodeAfterClears(bits_.GetCode(codeSize_));
                    if (next < 0)
                        return Outcome::DataEnded;
                    return StartStrings(next);
                }
                complete(static_cast<std::uint8_t>(word >> FirstShift));
                const std::size_t len = word & LengthBits;
                placed = len;
                if (dst + len < fastEnd) [[likely]] {
                    // Only long runs take the other way: a branch on every run would be guessed
                    // wrong all the time in a photo, where short runs and other strings alternate.
                    if (static_cast<std::int32_t>(word) < 0)
                        FillWords(dst, static_cast<std::uint8_t>(word >> FirstShift), len);
                    else
                        CopyWords(dst, t.source[code], len);
                } else {
                    const std::size_t room = total_ - static_cast<std::size_t>(dst - out);
                    placed = static_cast<std::int32_t>(word) < 0 ? Fill(dst, static_cast<std::uint8_t>(word >> FirstShift), len, room)
                                                                 : Copy(dst, t.source[code], len, room);
                }
            } else if (code == nextFree) {
                // The string being defined right now: the previous one plus its own first index.
                const auto first = static_cast<std::uint8_t>(prevWord >> FirstShift);
                word = (prevWord & ~LongRun) + 1;
                if (complete(first))
                    word |= LongRun;
                const std::size_t len = word & LengthBits;
                placed = len;
                if (dst + len < fastEnd) [[likely]] {
                    if (static_cast<std::int32_t>(word) < 0) {
                        FillWords(dst, first, len);
                    } else {
                        CopyWords(dst, prev, len - 1);
                        dst[len - 1] = first;
                    }
                } else {
                    const std::size_t room = total_ - static_cast<std::size_t>(dst - out);
                    if (static_cast<std::int32_t>(word) < 0) {
                        placed = Fill(dst, first, len, room);
                    } else {
                        placed = Copy(dst, prev, len - 1, room);
                        if (placed == len - 1 && placed < room)
                            dst[placed++] = first;
                    }
                }
            } else {
                store();
                EnterSlow();
                return Slow(Process(code));
            }
            // All of the entry the next code completes but its suffix.
            t.source[nextFree] = dst;
            // One index longer, the same first index, no run mark yet.
            t.word[nextFree] = (word & ~LongRun) + 1;
            t.prefix[nextFree] = static_cast<std::uint16_t>(code);
            prev = dst;
            prevWord = word;
            dst += placed;
            if (dst >= fastEnd) [[unlikely]] {
                if (static_cast<std::size_t>(dst - out) >= checkpoint_) {
                    store();
                    if (const auto stop = Checkpoint())
                        return stop;
                    load();
                }
            }
            if (nextFree >= Widens) [[unlikely]] {
                store();
                codeSize_ = Width + 1;
                limit_ = 2 << Width;
                return std::nullopt;
            }
        }
    }

    // Whether the string `previous` (ShortRun indices or more, its entry word `word`) followed by
    // `next` is one index repeated. A previous string of exactly ShortRun indices carries no mark
    // yet and is looked at.
    static bool RunMark(const std::uint8_t *previous, std::uint32_t word, std::uint8_t next)
    {
        if (static_cast<std::uint8_t>(word >> FirstShift) != next)
            return false;
        const std::size_t length = word & LengthBits;
        if (length > ShortRun)
            return (word & LongRun) != 0;
        for (std::size_t i = 1; i < length; ++i)
            if (previous[i] != next)
                return false;
        return true;
    }

    // A string that fits with CopySlack to spare: whole words, the bytes past its end overwritten
    // by the strings that follow.
    static void FillWords(std::uint8_t *dst, std::uint8_t index, std::size_t len)
    {
        std::size_t i = 0;
#if defined(__SSE2__)
        const __m128i run = _mm_set1_epi8(static_cast<char>(index));
        do {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), run);
            i += 16;
        } while (i < len);
#else
        const std::uint64_t run = 0x0101010101010101ull * index;
        do {
            std::memcpy(dst + i, &run, 8);
            i += 8;
        } while (i < len);
#endif
    }

    static void CopyWords(std::uint8_t *dst, const std::uint8_t *src, std::size_t len)
    {
        std::size_t i = 0;
        do {
            std::uint64_t w;
            std::memcpy(&w, src + i, 8);
            std::memcpy(dst + i, &w, 8);
            i += 8;
        } while (i < len);
    }

    // Writes a string of `len` times `index`; returns how much of it fits the room left.
    static std::size_t Fill(std::uint8_t *dst, std::uint8_t index, std::size_t len, std::size_t room)
    {
        if (len + CopySlack <= room) [[likely]] {
            FillWords(dst, index, len);
            return len;
        }
        const std::size_t n = std::min(len, room);
        std::memset(dst, index, n);
        return n;
    }

    // Copies a string that lies earlier in the output (or in SingleIndices); returns how much of
    // it fits the room left in the picture.
    static std::size_t Copy(std::uint8_t *dst, const std::uint8_t *src, std::size_t len, std::size_t room)
    {
        if (len + CopySlack <= room) [[likely]] {
            CopyWords(dst, src, len);
            return len;
        }
        const std::size_t n = std::min(len, room);
        std::memmove(dst, src, n);
        return n;
    }

    void EnterSlow()
    {
        fastEnd_ = pos_;
        marking_ = false;  // the rows left are marked from their indices only up to here
        // Damaged data may place indices above 255 here, stored as their low byte but not the
        // transparent index: the pixels placed from now on are marked as they are placed.
        if (!mask_ && target_.NewMask)
            mask_ = target_.NewMask();
        StringTable &t = *table_;
        // The fast loop leaves the suffixes of its entries unwritten: each is the last index of
        // its string, which lies in the pixels.
        if (minCodeSize_ <= 8)
            for (int code = clear_ + 2; code < nextFree_; ++code)
                t.suffix[code] = t.source[code][(t.word[code] & LengthBits) - 1];
        // The chain form of entries beyond the next free one must read as the empty table does.
        std::fill(t.prefix.begin() + nextFree_, t.prefix.end(), 0);
        std::fill(t.suffix.begin() + nextFree_, t.suffix.end(), 0);
    }

    Outcome Slow(int index)
    {
        if (fastEnd_ == NotSlow)
            EnterSlow();
        for (;;) {
            if (index < 0)
                return Outcome::DataEnded;
            Place(index);
            if (pos_ >= checkpoint_)
                if (const auto stop = Checkpoint())
                    return *stop;
            index = NextIndex();
        }
    }

    void Place(int index)
    {
        out_[pos_] = static_cast<std::uint8_t>(index);
        if (mask_ && index == target_.TransparentIndex) {
            const std::size_t row = pos_ / target_.Width;
            const std::size_t x = pos_ % target_.Width;
            const std::size_t y = rows_.RowAt(static_cast<int>(row));
            mask_[y * target_.MaskStride + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
        ++pos_;
    }

    int NextIndex()
    {
        if (sp_ > 0)
            return table_->stack[--sp_];
        const int code = bits_.GetCode(codeSize_);
        return code < 0 ? code : Process(code);
    }

    int Process(int code)
    {
        StringTable &t = *table_;
        if (code == clear_) {
            ResetCodes();
            std::fill(t.prefix.begin() + clear_, t.prefix.end(), 0);
            std::fill(t.suffix.begin() + clear_, t.suffix.end(), 0);
            firstCode_ = oldCode_ = CodeAfterClears(bits_.GetCode(codeSize_));
            return firstCode_;
        }
        if (code == endCode_)
            return EndOfImage;
        const int incode = code;
        if (code >= nextFree_) {
            t.stack[sp_++] = static_cast<std::uint16_t>(firstCode_);
            code = oldCode_;
        }
        while (code >= clear_) {
            if (sp_ == StackSize)
                return Cycle;
            t.stack[sp_++] = t.suffix[code];
            code = t.prefix[code];
        }
        if (sp_ == StackSize)
            return Cycle;
        firstCode_ = t.suffix[code];
        t.stack[sp_++] = static_cast<std::uint16_t>(firstCode_);
        if (nextFree_ < TableSize) {
            t.suffix[nextFree_] = static_cast<std::uint16_t>(firstCode_);
            t.prefix[nextFree_] = static_cast<std::uint16_t>(oldCode_);
            if (++nextFree_ >= limit_ && limit_ < TableSize) {
                limit_ *= 2;
                ++codeSize_;
            }
        }
        oldCode_ = incode;
        return t.stack[--sp_];
    }

    // Reports the rows completed so far; tells when placing has to stop.
    std::optional<Outcome> Checkpoint()
    {
        if (marking_)
            MarkDecodedRows();
        while (reporting_ && nextReport_ >= 0 &&
               static_cast<std::size_t>(nextReport_ + 1) * target_.Width <= pos_) {
            if (!progress_(bits_.Position()))
                return Outcome::Abandoned;
            AdvanceReportRow();
        }
        SetCheckpoint();
        if (pos_ >= total_)
            return Outcome::Complete;
        return std::nullopt;
    }

    // Progress goes with rows whose number is a multiple of the step; of an interlaced picture
    // only the first pass has such rows.
    void AdvanceReportRow()
    {
        if (target_.Interlaced) {
            nextReport_ += rowStep_ / 8;
            if (nextReport_ >= (target_.Height + 7) / 8)
                nextReport_ = -1;
        } else {
            nextReport_ += rowStep_;
            if (nextReport_ >= target_.Height)
                nextReport_ = -1;
        }
    }

    void SetCheckpoint()
    {
        checkpoint_ = total_;
        if (reporting_ && nextReport_ >= 0)
            checkpoint_ = std::min(total_, static_cast<std::size_t>(nextReport_ + 1) * target_.Width);
        if (marking_)
            checkpoint_ = std::min(checkpoint_, (markedRows_ + markStep_) * static_cast<std::size_t>(target_.Width));
    }

    // The transparent pixels of the rows completed since the last time, while their indices are
    // still in the cache: a frame whose rows were all decoded first would be read again from memory.
    // Until the transparent index is met there is no mask, only the looking.
    void MarkDecodedRows()
    {
        const auto width = static_cast<std::size_t>(target_.Width);
        const std::size_t done = pos_ / width;
        if (!mask_ && markedRows_ < done &&
            std::memchr(out_ + markedRows_ * width, target_.TransparentIndex, (done - markedRows_) * width))
            mask_ = target_.NewMask();
        if (mask_)
            for (std::size_t n = markedRows_; n < done; ++n)
                MarkRow(out_ + n * width, width, target_.TransparentIndex,
                        mask_ + static_cast<std::size_t>(rows_.RowAt(static_cast<int>(n))) * target_.MaskStride);
        markedRows_ = done;
    }

    static constexpr std::size_t NotSlow = ~std::size_t{0};

    CodeReader bits_;
    const RasterTarget &target_;
    RowOrder rows_;
    std::uint8_t *mask_;
    const RowProgress &progress_;
    std::uint8_t *out_;
    std::size_t total_;
    std::size_t pos_ = 0;
    std::size_t fastEnd_ = NotSlow;
    std::size_t checkpoint_ = 0;
    bool reporting_ = false;
    int rowStep_ = 32;
    int nextReport_ = 0;    // stored row whose completion is reported next, -1 for none
    bool marking_ = false;  // the mask is made as rows are completed
    std::size_t markStep_ = 1;
    std::size_t markedRows_ = 0;  // stored rows already marked (or found without the index)

    int minCodeSize_;
    int clear_;
    int endCode_;
    int codeSize_ = 0;
    int limit_ = 0;
    int nextFree_ = 0;
    int firstCode_ = 0;
    int oldCode_ = 0;
    std::size_t prevStart_ = 0;     // where the previous code's string lies, and its entry word
    std::uint32_t prevWord_ = 0;
    int sp_ = 0;
    StringTable *table_;
};

// The mask byte of eight indices: bit 7 for the first, set where the index is `transparent`.
std::uint8_t TransparentBits(const std::uint8_t *indices, std::uint8_t transparent)
{
    constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t x = LoadLittleEndian64(indices) ^ (0x0101010101010101ull * transparent);
    // The top bit of each byte of `zero` is set exactly where that byte of x is 0.
    const std::uint64_t zero = ~(((x & Low7) + Low7) | x | Low7);
    // Gathers the eight top bits into one byte, the first index's into bit 7.
    return static_cast<std::uint8_t>(((zero >> 7) * 0x8040201008040201ull) >> 56);
}

#if defined(__SSE2__)
// Each byte with its bits in the opposite order.
constexpr std::array<std::uint8_t, 256> ReversedBits = [] {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b)
        for (int bit = 0; bit < 8; ++bit)
            if (b & (1 << bit))
                table[static_cast<std::size_t>(b)] |= static_cast<std::uint8_t>(0x80 >> bit);
    return table;
}();

// The mask bytes of sixteen indices at once.
void PutTransparentBits16(const std::uint8_t *indices, std::uint8_t transparent, std::uint8_t *mask)
{
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(transparent));
    const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices));
    // Bit i for index i, where the first index of a mask byte wants bit 7.
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, wanted)));
    mask[0] = ReversedBits[bits & 0xFF];
    mask[1] = ReversedBits[bits >> 8];
}

// The mask bytes of sixty-four indices at once: the bits of each byte turned round in registers.
void PutTransparentBits64(const std::uint8_t *indices, std::uint8_t transparent, std::uint8_t *mask)
{
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(transparent));
    const auto part = [&](int n) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i *>(indices + 16 * n));
        return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, wanted)))} << 16 * n;
    };
    std::uint64_t bits = part(0) | part(1) | part(2) | part(3);
    // Bit i for index i; the mask wants each byte's bits the other way round, the first in bit 7.
    // Sixty-four pixels all or none transparent (most of a screen recording) read the same both ways.
    if (bits + 1 > 1) {
        bits = (bits >> 1 & 0x5555555555555555ull) | (bits & 0x5555555555555555ull) << 1;
        bits = (bits >> 2 & 0x3333333333333333ull) | (bits & 0x3333333333333333ull) << 2;
        bits = (bits >> 4 & 0x0F0F0F0F0F0F0F0Full) | (bits & 0x0F0F0F0F0F0F0F0Full) << 4;
    }
    // One store of the eight bytes, the first index's byte first (SSE2 machines are little-endian).
    std::memcpy(mask, &bits, 8);
}
#endif

// Marks the transparent pixels among the first `count` indices of a row in its mask row.
void MarkRow(const std::uint8_t *row, std::size_t count, std::uint8_t transparent, std::uint8_t *mask)
{
    std::size_t x = 0;
#if defined(__SSE2__)
    for (; x + 64 <= count; x += 64)
        PutTransparentBits64(row + x, transparent, mask + x / 8);
    for (; x + 16 <= count; x += 16)
        PutTransparentBits16(row + x, transparent, mask + x / 8);
#endif
    for (; x + 8 <= count; x += 8)
        mask[x / 8] = TransparentBits(row + x, transparent);
    if (x < count) {
        // The last few, beside indices that are not the transparent one; the pixels after them
        // may have been marked as they were placed.
        std::uint8_t rest[8];
        std::memset(rest, transparent ^ 1, sizeof rest);
        std::memcpy(rest, row + x, count - x);
        mask[x / 8] |= TransparentBits(rest, transparent);
    }
}

// Marks the transparent pixels among the stored pixels from row `fromRow` up to pixel `placed`.
void MarkTransparent(const RasterTarget &t, std::uint8_t *maskRows, std::size_t fromRow, std::size_t placed)
{
    const RowOrder rows(t.Height, t.Interlaced);
    const std::size_t width = static_cast<std::size_t>(t.Width);
    for (std::size_t n = fromRow; n * width < placed; ++n) {
        const std::size_t y = static_cast<std::size_t>(rows.RowAt(static_cast<int>(n)));
        MarkRow(t.Indices + y * t.IndexStride, std::min(width, placed - n * width), t.TransparentIndex,
                maskRows + y * t.MaskStride);
    }
}

} // namespace

RasterResult DecodeRaster(std::span<const std::uint8_t> file, std::size_t &readPos,
                          const RasterTarget &target, const RowProgress &progress, LzwTables *tables)
{
    if (readPos >= file.size()) {
        readPos = file.size();
        return RasterResult::Decoded;
    }
    const int minCodeSize = file[readPos++];
    if (minCodeSize > MaxMinCodeSize) {
        SkipSubBlocks(file, readPos);
        return RasterResult::Decoded;
    }

    const std::size_t width = static_cast<std::size_t>(target.Width);
    const std::size_t total = width * static_cast<std::size_t>(target.Height);
    // Rows are decoded one after the other; an interlaced picture is put in order afterwards, from
    // rows kept with the string table for the next image.
    LzwTables ownTables;
    LzwTables &work = tables ? *tables : ownTables;
    std::uint8_t *const stream = target.Interlaced ? work.Rows(total) : target.Indices;

    RasterDecoder decoder(file, readPos, minCodeSize, stream, target, target.Mask, progress, work);
    if (decoder.Run() == RasterDecoder::Outcome::Abandoned)
        return RasterResult::Abandoned;

    const std::size_t placed = decoder.Placed();
    // Zeros after the last index placed: over the words written past it, and to the end of its row,
    // which an interlaced picture copies whole from rows that were not zeroed.
    const std::size_t zeroTo =
        target.Interlaced ? std::min(total, (placed + width - 1) / width * width) : std::min(total, placed + CopySlack);
    std::memset(stream + placed, 0, zeroTo - placed);
    // Most frames that declare a transparent colour never use it, so a mask not yet needed is asked
    // for only when the index is seen among the pixels: the decoder looked at whole rows as it went,
    // the rest is looked at here.
    std::uint8_t *mask = decoder.Mask();
    const std::size_t fromRow = decoder.MarkedRows();
    const std::size_t marked = std::min(placed, fromRow * width);
    if (!mask && target.NewMask && std::memchr(stream + marked, target.TransparentIndex, placed - marked))
        mask = target.NewMask();
    const std::size_t rowsReached = (placed + width - 1) / width;
    if (target.Interlaced) {
        const RowOrder rows(target.Height, true);
        for (std::size_t n = 0; n < rowsReached; ++n)
            std::memcpy(target.Indices + rows.RowAt(static_cast<int>(n)) * target.IndexStride,
                        stream + n * width, width);
    } else if (target.IndexStride != width) {
        for (std::size_t y = rowsReached; y-- > 0;) {
            std::memmove(target.Indices + y * target.IndexStride, target.Indices + y * width, width);
            std::memset(target.Indices + y * target.IndexStride + width, 0, target.IndexStride - width);
        }
    }
    if (mask)
        MarkTransparent(target, mask, fromRow, std::min(placed, decoder.PlacedFast()));  // the rest were marked as placed
    return RasterResult::Decoded;
}

} // namespace kaptiv::gif
