#include "codec/FilePacker.h"

#include "codec/FastCoder.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Signature = std::array<std::uint8_t, 4>;
constexpr Signature FastSignature{0x57, 0x52, 0x5A, 0x4C};
constexpr int HeaderSize = 8;

// One working area: a block and the room the coder may overshoot by.
using Area = std::unique_ptr<std::uint8_t[]>;

struct Areas {
    Area in;
    Area out;
};

// Areas for `blocks` blocks at a time: the input, and the coded blocks each
// behind its 2-byte length.
Areas allocateAreas(std::size_t blocks = 1) {
    try {
        return {std::make_unique_for_overwrite<std::uint8_t[]>(blocks * codec::AreaSize),
                std::make_unique_for_overwrite<std::uint8_t[]>(blocks * (codec::AreaSize + 2))};
    } catch (const std::bad_alloc&) {
        throw EFilePackerException(
            "Packer (de)compression : Failed to get memory for I/O buffers !");
    }
}

// A file descriptor that closes itself.
class FileHandle {
public:
    explicit FileHandle(int fd)
        : m_fd(fd) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return m_fd; }
    // False when the system reports that written data did not make it.
    bool close() {
        if (m_fd < 0)
            return true;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0;
    }

private:
    int m_fd;
};

// Reads until count bytes arrived or the file ends; -1 on an error.
ssize_t readUpTo(int fd, std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, buffer + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// Writes all of buffer unless the system refuses; returns what was written.
std::size_t writeAll(int fd, const std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put = ::write(fd, buffer + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            break;
        done += static_cast<std::size_t>(put);
    }
    return done;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// A name beside path that nothing has yet: path, a dot and six hex digits.
std::string siblingName(const std::string& path, unsigned number) {
    static const char Digits[] = "0123456789abcdef";
    std::string name = path + ".";
    for (int shift = 20; shift >= 0; shift -= 4)
        name += Digits[(number >> shift) & 0xF];
    return name;
}

// The folder a path lies in, for syncing the rename that replaced it.
std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// One Compress or Decompress call: its two files, the counters and the texts
// of its failures. The output is written to a new file beside OutputFile and
// renamed over it only when finish() succeeds, so a failed call leaves
// OutputFile exactly as it was, or absent when it was absent.
class PackerJob {
public:
    explicit PackerJob(const TFilePacker& packer)
        : m_packer(packer) {}
    ~PackerJob() { discardOutput(); }

    void openInput() {
        // Only a regular file: a FIFO would wait for a writer, a device never end.
        m_input = std::make_unique<FileHandle>(platform::openRegularFile(inputFile().c_str()));
        if (m_input->fd() < 0)
            fail("Packer (de)compression : Failed to open input file : " + inputFile());
    }

    void createOutput() {
        struct stat input {};
        struct stat output {};
        const bool outputExists = ::stat(outputFile().c_str(), &output) == 0;
        // Replacing the input by its own output is refused: the old way of
        // writing would have destroyed it before it was read.
        if (outputExists && ::fstat(m_input->fd(), &input) == 0 && sameFile(input, output))
            failToOpenOutput();
        // A device or a pipe named as output (/dev/stdout) is written as it is.
        if (outputExists && !S_ISREG(output.st_mode)) {
            m_output = std::make_unique<FileHandle>(
                ::open(outputFile().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
            if (m_output->fd() < 0)
                failToOpenOutput();
            return;
        }
        // Through a symbolic link: the file it names is replaced, the link stays.
        if (outputExists)
            if (char* target = ::realpath(outputFile().c_str(), nullptr)) {
                m_finalPath = target;
                std::free(target);
            }
        createBeside(outputExists ? &output : nullptr);
    }

    // Reads up to count bytes; fewer only at the end of the file.
    std::size_t readSome(std::uint8_t* buffer, std::size_t count, const char* failureSuffix) {
        const ssize_t got = readUpTo(m_input->fd(), buffer, count);
        if (got < 0)
            fail("Packer : Error reading from input file : " + inputFile() + failureSuffix);
        m_bytesIn += got;
        processMessages();
        return static_cast<std::size_t>(got);
    }

    void readExactly(std::uint8_t* buffer, std::size_t count) {
        if (readSome(buffer, count, "") != count)
            fail("Packer : Error reading from input file : " + inputFile());
    }

    void write(const std::uint8_t* buffer, std::size_t count) {
        if (writeAll(m_output->fd(), buffer, count) != count)
            failToWrite();
        m_bytesOut += static_cast<std::int64_t>(count);
        processMessages();
    }

    // Closes both files and puts the new output in the old one's place.
    void finish() {
        m_input->close();
        if (m_newPath.empty()) {
            if (!m_output->close())
                failToWrite();
            m_keepOutput = true;
            return;
        }
        // On disk before the rename, or a crash could leave an empty file in its place.
        if (::fsync(m_output->fd()) != 0 || !m_output->close())
            failToWrite();
        if (::rename(m_newPath.c_str(), finalPath().c_str()) != 0)
            failToWrite();
        m_keepOutput = true;
        syncFolder();
    }

    std::int64_t bytesIn() const { return m_bytesIn; }
    std::int64_t bytesOut() const { return m_bytesOut; }
    const std::string& inputFile() const { return m_packer.InputFile; }
    const std::string& outputFile() const { return m_packer.OutputFile; }

    [[noreturn]] void fail(const std::string& text) const { throw EFilePackerException(text); }

private:
    [[noreturn]] void failToOpenOutput() const {
        fail("Packer (de)compression : Failed to open output file : " + outputFile());
    }
    [[noreturn]] void failToWrite() const {
        fail("Packer : Error writing to output file : " + outputFile());
    }

    // The new file beside the old one, on the same disk, so the rename
    // replaces it in one step. A new file gets the usual 0666 less the umask;
    // one that replaces an old file keeps the old one's permissions.
    void createBeside(const struct stat* old) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name = siblingName(finalPath(), random());
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd < 0)
                failToOpenOutput();
            m_output = std::make_unique<FileHandle>(fd);
            m_newPath = name;
            if (old)
                ::fchmod(fd, old->st_mode & 07777);
            return;
        }
        failToOpenOutput();
    }

    void syncFolder() const {
        const int fd = ::open(folderOf(finalPath()).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return;
        ::fsync(fd);
        ::close(fd);
    }

    const std::string& finalPath() const {
        return m_finalPath.empty() ? outputFile() : m_finalPath;
    }

    void processMessages() const {
        if (m_packer.ProcessMessages)
            m_packer.ProcessMessages();
    }

    // Only the new file is removed; OutputFile itself is never touched.
    void discardOutput() {
        if (m_keepOutput || !m_output)
            return;
        m_output->close();
        if (!m_newPath.empty())
            ::unlink(m_newPath.c_str());
    }

    const TFilePacker& m_packer;
    std::unique_ptr<FileHandle> m_input;
    std::unique_ptr<FileHandle> m_output;
    std::string m_newPath;   // empty when OutputFile is written directly
    std::string m_finalPath; // where the new file goes when not OutputFile itself
    bool m_keepOutput = false;
    std::int64_t m_bytesIn = 0;
    std::int64_t m_bytesOut = 0;
};

void refuseStreamMode(const TFilePacker& packer) {
    if (packer.UseStream)
        throw EFilePackerException("Packer (de)compression : Failed to initialize input stream !");
}

std::int64_t inputSize(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        throw EFilePackerException("Packer compression : Failed to obtain the size of : " + path);
    // The container stores the size as a signed 32-bit number.
    if (status.st_size > INT32_MAX)
        throw EFilePackerException("Packer compression : File is larger than 2147483647 bytes : " +
                                   path);
    return status.st_size;
}

// Blocks read and written at a time when packing a large file: fewer system
// calls, the same bytes.
constexpr std::int64_t ChunkBlocks = 32;

std::size_t chunkBlocksFor(std::int64_t size) {
    return static_cast<std::size_t>(std::min(ChunkBlocks, size / codec::BlockSize + 1));
}

std::int64_t compressFast(PackerJob& job, const Areas& areas, std::size_t chunkBlocks,
                          TFastCoder& coder, std::int64_t size) {
    std::uint8_t header[HeaderSize];
    std::memcpy(header, FastSignature.data(), FastSignature.size());
    for (int i = 0; i < 4; ++i)
        header[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    job.write(header, HeaderSize);

    // Blocks of 32768 bytes until one is shorter, which may be empty.
    bool shortBlock = false;
    while (!shortBlock) {
        const std::size_t got =
            job.readSome(areas.in.get(), chunkBlocks * codec::BlockSize, " (fast)");
        // A file that grows while it is read (or a device that never ends)
        // would not match the size in the header.
        if (job.bytesIn() > size)
            job.fail("Packer : Error reading from input file : " + job.inputFile() + " (fast)");
        std::size_t used = 0;
        std::size_t at = 0;
        do {
            const std::size_t n = std::min<std::size_t>(codec::BlockSize, got - at);
            std::uint8_t* const coded = areas.out.get() + used;
            const int length =
                coder.CompressBlock(areas.in.get() + at, coded + 2, static_cast<int>(n));
            coded[0] = static_cast<std::uint8_t>(length);
            coded[1] = static_cast<std::uint8_t>(length >> 8);
            used += static_cast<std::size_t>(length) + 2;
            at += n;
            shortBlock = n < codec::BlockSize;
        } while (!shortBlock && at < got);
        job.write(areas.out.get(), used);
    }
    if (job.bytesIn() != size)
        job.fail("Packer : Error reading from input file : " + job.inputFile() + " (fast)");
    return job.bytesOut();
}

[[noreturn]] void failSizes() {
    throw EFilePackerException(
        "Packer (decompression fast) : Original and compressed sizes do not match !");
}

int decodeBlock(const Areas& areas, int length) {
    try {
        return TFastCoder::DecompressBlock(areas.in.get(), areas.out.get(), length);
    } catch (const EFastCoderException& damage) {
        throw EFilePackerException(damage.what());
    }
}

std::int64_t decompressFast(PackerJob& job, const Areas& areas) {
    std::uint8_t field[4];
    job.readExactly(field, 4);
    const auto size = static_cast<std::int32_t>(littleEndian32(field));

    int decoded = 0;
    do {
        job.readExactly(field, 2);
        const int length = field[0] | field[1] << 8;
        if (length > codec::MaxCodedBlock)
            throw EFilePackerException(
                "Packer (decompression fast) : Block decodes to more than 32768 bytes !");
        job.readExactly(areas.in.get(), static_cast<std::size_t>(length));
        decoded = decodeBlock(areas, length);
        job.write(areas.out.get(), static_cast<std::size_t>(decoded));
        // Stop a damaged file as soon as it outgrows its stated size.
        if (job.bytesOut() > size)
            failSizes();
    } while (decoded == codec::BlockSize);
    if (job.bytesOut() != size)
        failSizes();
    return job.bytesOut();
}

} // namespace

TFilePacker::TFilePacker()
    : m_fastCoder(std::make_unique<TFastCoder>()) {}

TFilePacker::~TFilePacker() = default;

TCompressMode TFilePacker::Advise() {
    // The fast coder is the only one built.
    return TCompressMode::Fast;
}

std::int64_t TFilePacker::Compress() {
    refuseStreamMode(*this);
    const TCompressMode mode = CompressMode == TCompressMode::Auto ? Advise() : CompressMode;
    if (mode != TCompressMode::Fast)
        throw EFilePackerException("Packer compression : Only the fast mode is available !");
    const std::int64_t size = inputSize(InputFile);
    const std::size_t chunkBlocks = chunkBlocksFor(size);
    const Areas areas = allocateAreas(chunkBlocks);
    PackerJob job(*this);
    job.openInput();
    job.createOutput();
    const std::int64_t written = compressFast(job, areas, chunkBlocks, *m_fastCoder, size);
    job.finish();
    return written;
}

std::int64_t TFilePacker::Decompress() {
    refuseStreamMode(*this);
    const Areas areas = allocateAreas();
    PackerJob job(*this);
    job.openInput();
    job.createOutput();

    Signature signature{};
    job.readExactly(signature.data(), signature.size());
    // A Good (LZH) file cannot be read either: that coder is not built.
    if (signature != FastSignature)
        job.fail(InputFile + " : Packer decompression : this file has no valid header !");
    const std::int64_t written = decompressFast(job, areas);
    job.finish();
    return written;
}
