#include "codec/FastCoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

static_assert(std::endian::native == std::endian::little, "the wide loads assume little-endian");

namespace {

constexpr int HashSize = 4096;
constexpr std::uint32_t MaxOffset = 4095;
constexpr std::uint32_t MinMatch = 3;
constexpr std::uint32_t MaxMatch = 18;
constexpr std::uint32_t MinRun = 16;
constexpr std::uint32_t MaxRun = 4095;
constexpr std::uint8_t StoredFlag = 0x80;
constexpr std::uint8_t CompressedFlag = 0x40;

const char* const TooLongText =
    "Packer (decompression fast) : Block decodes to more than 32768 bytes !";
const char* const CopyBeforeStartText =
    "Packer (decompression fast) : Copy reaches before the start of its block !";
const char* const CutOffText = "Packer (decompression fast) : Block ends inside an item !";

// Bytes that must follow a position for the coder to read it without checks:
// three for the first match test, then up to two more words.
constexpr std::uint32_t TailMargin = 32;

inline std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

inline std::uint32_t hashOf(std::uint32_t b0, std::uint32_t b1, std::uint32_t b2) {
    const std::uint32_t t = ((b0 << 8) ^ (b1 << 4) ^ b2) * 40543u;
    return (t >> 4) & (HashSize - 1);
}

// The last two positions of a block hash the bytes behind it as zeros, so the
// coder never reads past its input.
inline std::uint32_t hashAt(const std::uint8_t* in, std::uint32_t x, std::uint32_t n) {
    if (x + 2 < n)
        return hashOf(in[x], in[x + 1], in[x + 2]);
    return hashOf(in[x], x + 1 < n ? in[x + 1] : 0, 0);
}

// How many bytes from x on equal in[x], counting in[x] itself, up to limit.
inline std::uint32_t runLength(const std::uint8_t* in, std::uint32_t x, std::uint32_t limit) {
    const std::uint8_t c = in[x];
    const std::uint64_t pattern = 0x0101010101010101ull * c;
    std::uint32_t r = 1;
    while (r + 8 <= limit) {
        const std::uint64_t diff = load64(in + x + r) ^ pattern;
        if (diff != 0)
            return r + static_cast<std::uint32_t>(std::countr_zero(diff)) / 8;
        r += 8;
    }
    while (r < limit && in[x + r] == c)
        ++r;
    return r;
}

// How many leading bytes of a and b agree, up to limit (at most MaxMatch).
inline std::uint32_t commonLength(const std::uint8_t* a, const std::uint8_t* b,
                                  std::uint32_t limit) {
    std::uint32_t m = 0;
    while (m + 8 <= limit) {
        const std::uint64_t diff = load64(a + m) ^ load64(b + m);
        if (diff != 0)
            return m + static_cast<std::uint32_t>(std::countr_zero(diff)) / 8;
        m += 8;
    }
    while (m < limit && a[m] == b[m])
        ++m;
    return m;
}

// commonLength for a limit of 15 with 16 readable bytes behind both, without
// branches.
inline std::uint32_t commonLength15(const std::uint8_t* a, const std::uint8_t* b) {
    const std::uint64_t first = load64(a) ^ load64(b);
    const std::uint64_t second = load64(a + 8) ^ load64(b + 8);
    const auto firstLength = static_cast<std::uint32_t>(std::countr_zero(first)) / 8;
    const auto secondLength = static_cast<std::uint32_t>(std::countr_zero(second)) / 8;
    return first != 0 ? firstLength : std::min(15u, 8 + secondLength);
}

} // namespace

TFastCoder::TFastCoder() {
    try {
        m_hashTable = std::make_unique<std::int32_t[]>(HashSize);
    } catch (const std::bad_alloc&) {
        throw EFastCoderException("FastCoder : no memory for HASH table");
    }
}

TFastCoder::~TFastCoder() = default;

namespace {

// The coded block as it grows: items, and the control word that leads each
// group of 16 of them. A marker bit above the item bits shows when a group is
// full; the next control word is only reserved when an item follows, so no
// empty one ends the block.
struct BlockWriter {
    std::uint8_t* out;
    std::uint32_t y = 3; // next output byte
    std::uint32_t z = 1; // where the current control word goes
    std::uint32_t w = 1; // the marker, then one bit per item of the group

    void putControlWord() {
        out[z] = static_cast<std::uint8_t>(w >> 8);
        out[z + 1] = static_cast<std::uint8_t>(w);
    }

    void startItem(std::uint32_t bit) {
        if (w & 0x10000) {
            putControlWord();
            z = y;
            y += 2;
            w = 1;
        }
        w = w * 2 + bit;
    }

    void putRun(std::uint32_t r, std::uint8_t c) {
        startItem(1);
        const std::uint32_t stored = r - MinRun;
        out[y] = 0;
        out[y + 1] = static_cast<std::uint8_t>(stored >> 8);
        out[y + 2] = static_cast<std::uint8_t>(stored);
        out[y + 3] = c;
        y += 4;
    }

    void putCopy(std::uint32_t distance, std::uint32_t m) {
        startItem(1);
        const std::uint32_t code = distance << 4 | (m - MinMatch);
        out[y] = static_cast<std::uint8_t>(code >> 8);
        out[y + 1] = static_cast<std::uint8_t>(code);
        y += 2;
    }

    void putLiteral(std::uint8_t c) {
        startItem(0);
        out[y++] = c;
    }

    // The last control word, its unused bits zero.
    void close() {
        while ((w & 0x10000) == 0)
            w <<= 1;
        putControlWord();
    }
};

// Looks up and replaces the table entry of hash h for position x; the earlier
// position when it is close enough to copy from, else -1.
inline std::int32_t candidate(std::int32_t* table, std::uint32_t h, std::uint32_t x) {
    const std::int32_t p = table[h];
    table[h] = static_cast<std::int32_t>(x);
    return static_cast<std::int32_t>(x) - p <= static_cast<std::int32_t>(MaxOffset) ? p : -1;
}

// One item where at least TailMargin bytes follow x, so wide loads need no
// checks. Returns the input bytes it covers.
[[gnu::always_inline]] inline std::uint32_t codeInside(const std::uint8_t* in, std::uint32_t x,
                                                       std::uint32_t n, std::int32_t* table,
                                                       BlockWriter& block) {
    const std::uint8_t* const at = in + x;
    const std::uint32_t v = load32(at);
    const auto c = static_cast<std::uint8_t>(v);
    // A run item needs 16 equal bytes: nine equal ones (rare) are the cue to
    // count, rather than a guess on every pair of equal neighbours.
    if (load64(at) == load64(at + 1)) {
        const std::uint32_t r = runLength(in, x, std::min(MaxRun, n - x));
        if (r >= MinRun) {
            block.putRun(r, c);
            return r;
        }
    }
    std::int32_t* const entry = table + hashOf(c, v >> 8 & 0xFF, v >> 16 & 0xFF);
    const auto distance = x - static_cast<std::uint32_t>(*entry);
    *entry = static_cast<std::int32_t>(x);
    // Whether the entry is near enough is a coin toss on data that does not
    // repeat, so it joins the byte test in one branch that rarely passes. The
    // low 12 bits of any distance lead to a byte of this block (the empty
    // entry is a multiple of 4096), so the test may read before knowing.
    const std::uint8_t* const from = at - (distance & MaxOffset);
    if ((((load32(from) ^ v) & 0xFFFFFF) | distance >> 12) == 0) {
        const std::uint32_t m = MinMatch + commonLength15(at + MinMatch, from + MinMatch);
        block.putCopy(distance, m);
        return m;
    }
    block.putLiteral(c);
    return 1;
}

// Position x's first three bytes, its table entry and what the entry holds.
struct Probe {
    std::uint32_t v;
    std::int32_t* entry;
    std::int32_t p;
};

inline Probe probeAt(const std::uint8_t* in, std::uint32_t x, std::int32_t* table) {
    const std::uint32_t v = load32(in + x);
    std::int32_t* const entry = table + hashOf(v & 0xFF, v >> 8 & 0xFF, v >> 16 & 0xFF);
    return {v, entry, *entry};
}

// Items while x < inside (as codeInside) and a whole group of items still
// fits below n. Copy or literal is a coin toss on most data; the next
// position is probed before the choice, so that after a wrong guess for a
// literal the next choice is ready at once. Returns the new x.
[[gnu::always_inline]] inline std::uint32_t codeWhileInside(const std::uint8_t* in, std::uint32_t x,
                                                            std::uint32_t n, std::uint32_t inside,
                                                            std::int32_t* table,
                                                            BlockWriter& block) {
    // A control word and 16 of the longest items.
    constexpr std::uint32_t groupRoom = 2 + 16 * 4;
    if (x >= inside || block.y + groupRoom > n)
        return x;
    // Locals rather than the block's fields keep the loop in registers.
    std::uint8_t* const base = block.out;
    std::uint8_t* const last = base + n - groupRoom;
    std::uint8_t* out = base + block.y;
    std::uint8_t* control = base + block.z;
    std::uint32_t w = block.w;
    Probe probe = probeAt(in, x, table);
    for (;;) {
        if (w & 0x10000) {
            if (out > last)
                break;
            control[0] = static_cast<std::uint8_t>(w >> 8);
            control[1] = static_cast<std::uint8_t>(w);
            control = out;
            out += 2;
            w = 1;
        }
        const std::uint8_t* const at = in + x;
        if (load64(at) == load64(at + 1)) [[unlikely]] {
            const std::uint32_t r = runLength(in, x, std::min(MaxRun, n - x));
            if (r >= MinRun) {
                const std::uint32_t stored = r - MinRun;
                out[0] = 0;
                out[1] = static_cast<std::uint8_t>(stored >> 8);
                out[2] = static_cast<std::uint8_t>(stored);
                out[3] = static_cast<std::uint8_t>(probe.v);
                out += 4;
                w = w * 2 + 1;
                x += r;
                if (x >= inside)
                    break;
                probe = probeAt(in, x, table);
                continue;
            }
        }
        *probe.entry = static_cast<std::int32_t>(x);
        const Probe next = probeAt(in, x + 1, table);
        const auto distance = x - static_cast<std::uint32_t>(probe.p);
        const std::uint8_t* const from = at - (distance & MaxOffset);
        if ((((load32(from) ^ probe.v) & 0xFFFFFF) | distance >> 12) == 0) {
            const std::uint32_t m = MinMatch + commonLength15(at + MinMatch, from + MinMatch);
            const std::uint32_t code = distance << 4 | (m - MinMatch);
            out[0] = static_cast<std::uint8_t>(code >> 8);
            out[1] = static_cast<std::uint8_t>(code);
            out += 2;
            w = w * 2 + 1;
            x += m;
            if (x >= inside)
                break;
            probe = probeAt(in, x, table);
            continue;
        }
        *out++ = static_cast<std::uint8_t>(probe.v);
        w = w * 2;
        if (++x >= inside)
            break;
        probe = next;
    }
    block.y = static_cast<std::uint32_t>(out - base);
    block.z = static_cast<std::uint32_t>(control - base);
    block.w = w;
    return x;
}

// One item near the end of the block, every read checked.
inline std::uint32_t codeNearEnd(const std::uint8_t* in, std::uint32_t x, std::uint32_t n,
                                 std::int32_t* table, BlockWriter& block) {
    const std::uint8_t c = in[x];
    if (x + 1 < n && in[x + 1] == c) {
        const std::uint32_t r = runLength(in, x, std::min(MaxRun, n - x));
        if (r >= MinRun) {
            block.putRun(r, c);
            return r;
        }
    }
    const std::int32_t p = candidate(table, hashAt(in, x, n), x);
    if (p >= 0) {
        const std::uint32_t m = commonLength(in + x, in + p, std::min(MaxMatch, n - x));
        if (m >= MinMatch) {
            block.putCopy(x - p, m);
            return m;
        }
    }
    block.putLiteral(c);
    return 1;
}

} // namespace

int TFastCoder::CompressBlock(const std::uint8_t* in, std::uint8_t* out, int length) {
    std::int32_t* const table = m_hashTable.get();
    // Entries this far back never qualify, which stands for "no position yet".
    std::fill_n(table, HashSize, -65536);
    const auto n = static_cast<std::uint32_t>(length);
    const std::uint32_t inside = n > TailMargin ? n - TailMargin : 0;
    out[0] = CompressedFlag;
    BlockWriter block{out};
    std::uint32_t x = codeWhileInside(in, 0, n, inside, table, block);
    // The rest one item at a time, stopping as soon as the coded form is longer
    // than the data.
    while (x < n && block.y <= n)
        x += x < inside ? codeInside(in, x, n, table, block) : codeNearEnd(in, x, n, table, block);
    block.close();

    if (block.y > n) {
        if (n > 0)
            std::memcpy(out + 1, in, n);
        out[0] = StoredFlag;
        return length + 1;
    }
    return static_cast<int>(block.y);
}

int TFastCoder::DecompressBlock(const std::uint8_t* in, std::uint8_t* out, int length) {
    if (length <= 1)
        return 0;
    const auto end = static_cast<std::uint32_t>(length);
    constexpr std::uint32_t limit = codec::BlockSize;
    if (in[0] == StoredFlag) {
        if (end - 1 > limit)
            throw EFastCoderException(TooLongText);
        std::memcpy(out, in + 1, end - 1);
        return length - 1;
    }
    if (end < 3)
        throw EFastCoderException(CutOffText);

    // The control word sits in the top 16 bits, so its leading zeros count the
    // literals that follow one another.
    std::uint32_t w = static_cast<std::uint32_t>(in[1] << 8 | in[2]) << 16;
    std::uint32_t bits = 16;
    std::uint32_t x = 3;
    std::uint32_t y = 0;
    while (x < end) {
        if (bits == 0) {
            if (x + 2 >= end)
                throw EFastCoderException(CutOffText);
            w = static_cast<std::uint32_t>(in[x] << 8 | in[x + 1]) << 16;
            x += 2;
            bits = 16;
        }
        if ((w & 0x80000000u) == 0) {
            // Bits past the last item are zeros too: the block's end stops them.
            std::uint32_t k = w == 0 ? 32 : static_cast<std::uint32_t>(std::countl_zero(w));
            k = std::min({k, bits, end - x});
            if (y + k > limit)
                throw EFastCoderException(TooLongText);
            if (x + 16 <= end && y + 16 <= limit)
                std::memcpy(out + y, in + x, 16);
            else
                std::memcpy(out + y, in + x, k);
            x += k;
            y += k;
            w <<= k;
            bits -= k;
            continue;
        }
        if (x + 2 > end)
            throw EFastCoderException(CutOffText);
        const std::uint32_t d = static_cast<std::uint32_t>(in[x]) << 4 | in[x + 1] >> 4;
        if (d == 0) {
            if (x + 4 > end)
                throw EFastCoderException(CutOffText);
            const std::uint32_t count =
                (static_cast<std::uint32_t>(in[x + 1]) << 8 | in[x + 2]) + MinRun;
            if (y + count > limit)
                throw EFastCoderException(TooLongText);
            std::memset(out + y, in[x + 3], count);
            x += 4;
            y += count;
        } else {
            const std::uint32_t count = (in[x + 1] & 0x0Fu) + MinMatch;
            if (d > y)
                throw EFastCoderException(CopyBeforeStartText);
            if (y + count > limit)
                throw EFastCoderException(TooLongText);
            std::uint8_t* const to = out + y;
            const std::uint8_t* const from = to - d;
            if (d >= 16 && y + MaxMatch <= limit) {
                // Source and target do not overlap within 16 bytes; bytes written
                // past count are overwritten by the items that follow.
                std::memcpy(to, from, 16);
                to[16] = from[16];
                to[17] = from[17];
            } else if (d >= 8 && y + 24 <= limit) {
                std::memcpy(to, from, 8);
                std::memcpy(to + 8, from + 8, 8);
                std::memcpy(to + 16, from + 16, 8);
            } else {
                for (std::uint32_t k = 0; k < count; ++k)
                    to[k] = from[k];
            }
            x += 2;
            y += count;
        }
        w <<= 1;
        --bits;
    }
    return static_cast<int>(y);
}
