#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>

namespace codec {
// Uncompressed bytes per block.
constexpr int BlockSize = 32768;
// The working areas: a block and room for the coder to overshoot.
constexpr int AreaSize = BlockSize + 16;
// The longest coded block: a stored block of BlockSize bytes and its flag.
constexpr int MaxCodedBlock = BlockSize + 1;
} // namespace codec

// The coder's own failures: no memory for its table, or a damaged block.
class EFastCoderException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fast block coder: a byte-aligned LZ77 coder with literals, copies of 3 to
// 18 bytes up to 4095 bytes back, and runs of 16 to 4095 equal bytes, under
// 16-bit control words; a block that would not shrink is stored as it is.
class TFastCoder {
public:
    TFastCoder();
    ~TFastCoder();
    TFastCoder(const TFastCoder&) = delete;
    TFastCoder& operator=(const TFastCoder&) = delete;

    // Codes in[0 .. n-1] (n from 0 to BlockSize) into out, which must have room
    // for n + 6 bytes. Returns the coded length, at most n + 1.
    int CompressBlock(const std::uint8_t* in, std::uint8_t* out, int n);

    // Decodes the coded block in[0 .. length-1] into out, which must have room
    // for BlockSize bytes. Returns the decoded length. Reads and writes nothing
    // outside those bounds; a block that breaks the limits of the format throws
    // EFastCoderException.
    static int DecompressBlock(const std::uint8_t* in, std::uint8_t* out, int length);

private:
    std::unique_ptr<std::int32_t[]> m_hashTable;
};
