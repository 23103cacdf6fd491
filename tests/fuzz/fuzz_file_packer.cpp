// libFuzzer target for the tally file's packer: any bytes, as a coded block and
// as a whole container file, must decode or fail with the packer's exception,
// never read or write out of bounds; any block must survive a round trip.
#include "codec/FastCoder.h"
#include "codec/FilePacker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Exactly sized heap copies, so AddressSanitizer sees every byte too many.
void decodeBlock(const std::uint8_t* data, std::size_t size) {
    if (size > 65535)
        return;
    std::vector<std::uint8_t> in(data, data + size);
    std::vector<std::uint8_t> out(codec::BlockSize);
    try {
        const int length =
            TFastCoder::DecompressBlock(in.data(), out.data(), static_cast<int>(size));
        if (length < 0 || length > codec::BlockSize)
            std::abort();
    } catch (const EFastCoderException&) {
    }
}

void roundTripBlock(TFastCoder& coder, const std::uint8_t* data, std::size_t size) {
    const std::size_t n = std::min<std::size_t>(size, codec::BlockSize);
    std::vector<std::uint8_t> in(data, data + n);
    std::vector<std::uint8_t> coded(n + 6);
    const int length = coder.CompressBlock(in.data(), coded.data(), static_cast<int>(n));
    if (length < 1 || static_cast<std::size_t>(length) > n + 1)
        std::abort();
    coded.resize(static_cast<std::size_t>(length));
    std::vector<std::uint8_t> out(codec::BlockSize);
    const int decoded = TFastCoder::DecompressBlock(coded.data(), out.data(), length);
    if (static_cast<std::size_t>(decoded) != n ||
        (n > 0 && std::memcmp(out.data(), in.data(), n) != 0))
        std::abort();
}

// Where the files go: DUNVEX_FUZZ_DIR (scripts/fuzz makes one in memory and
// removes it afterwards), else a new temporary folder.
const std::string& folder() {
    static const std::string path = [] {
        if (const char* given = std::getenv("DUNVEX_FUZZ_DIR"))
            return std::string(given);
        char name[] = "/tmp/dunvex-fuzz-XXXXXX";
        if (::mkdtemp(name) == nullptr)
            std::abort();
        return std::string(name);
    }();
    return path;
}

// The whole file path: a failure leaves no output, a success the stated size.
void decodeFile(const std::uint8_t* data, std::size_t size) {
    TFilePacker packer;
    packer.InputFile = folder() + "/in";
    packer.OutputFile = folder() + "/out";
    FILE* file = std::fopen(packer.InputFile.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
    struct stat status {};
    try {
        const std::int64_t written = packer.Decompress();
        if (::stat(packer.OutputFile.c_str(), &status) != 0 || status.st_size != written)
            std::abort();
    } catch (const EFilePackerException&) {
        if (::stat(packer.OutputFile.c_str(), &status) == 0)
            std::abort();
    }
    ::unlink(packer.OutputFile.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFastCoder coder;
    decodeBlock(data, size);
    roundTripBlock(coder, data, size);
    decodeFile(data, size);
    return 0;
}
