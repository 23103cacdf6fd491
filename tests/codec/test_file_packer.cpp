// The tally file's packer on real files in a temporary folder: the exact bytes
// of the container and the coder, round trips, every kind of damaged input,
// and no partial output left behind.
#include "codec/FastCoder.h"
#include "codec/FilePacker.h"
#include "support/FifoWatchdog.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testsupport::FifoWatchdog;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes FastHeader{0x57, 0x52, 0x5A, 0x4C};
const char* const SizesDoNotMatch =
    "Packer (decompression fast) : Original and compressed sizes do not match !";
const char* const TooLong =
    "Packer (decompression fast) : Block decodes to more than 32768 bytes !";
const char* const CopyBeforeStart =
    "Packer (decompression fast) : Copy reaches before the start of its block !";
const char* const CutOff = "Packer (decompression fast) : Block ends inside an item !";

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes repeated(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

Bytes randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (std::uint8_t& byte : bytes)
        byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// Text-like data with words, repeats, runs and noise, so every item occurs.
Bytes mixedBytes(std::size_t count, std::uint32_t seed) {
    static const char* const words[] = {"dice ", "roll ", "Full House ", "Ann ", "Bob ", "\r\n"};
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < count) {
        const std::uint32_t pick = random() % 10;
        if (pick < 6) {
            const std::string word = words[pick];
            bytes.insert(bytes.end(), word.begin(), word.end());
        } else if (pick < 8) {
            bytes.push_back(static_cast<std::uint8_t>(random()));
        } else {
            bytes.insert(bytes.end(), random() % 300, static_cast<std::uint8_t>(random() % 3));
        }
    }
    bytes.resize(count);
    return bytes;
}

// The container around coded blocks: signature, size, then each block's
// 2-byte length and bytes.
Bytes container(std::uint32_t size, const std::vector<Bytes>& blocks) {
    Bytes file =
        FastHeader + Bytes{static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                           static_cast<std::uint8_t>(size >> 16),
                           static_cast<std::uint8_t>(size >> 24)};
    for (const Bytes& block : blocks)
        file = file +
               Bytes{static_cast<std::uint8_t>(block.size()),
                     static_cast<std::uint8_t>(block.size() >> 8)} +
               block;
    return file;
}

const Bytes EmptyBlock{0x80};

// A word-for-word transcription of the fast coder's steps: slow and plain, the
// bytes behind the block hashed as zeros.
Bytes referenceCompressBlock(const Bytes& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    Bytes in = data + Bytes{0, 0};
    Bytes out(n + 6, 0);
    std::vector<int> table(4096, -1);
    out[0] = 0x40;
    std::uint32_t x = 0, y = 3, z = 1, i = 0;
    std::uint16_t w = 0;
    while (x < n && y <= n) {
        if (i > 15) {
            out[z] = static_cast<std::uint8_t>(w >> 8);
            out[z + 1] = static_cast<std::uint8_t>(w);
            z = y;
            i = 0;
            y += 2;
        }
        std::uint32_t r = 1;
        while (in[x + r] == in[x] && r < 4095 && x + r < n)
            ++r;
        if (r >= 16) {
            out[y] = 0;
            out[y + 1] = static_cast<std::uint8_t>((r - 16) >> 8);
            out[y + 2] = static_cast<std::uint8_t>(r - 16);
            out[y + 3] = in[x];
            y += 4;
            x += r;
            w = static_cast<std::uint16_t>(w * 2 + 1);
        } else {
            std::uint32_t t = (in[x] * 16u) ^ in[x + 1];
            t = (t * 16u) ^ in[x + 2];
            t = t * 40543u;
            const std::uint32_t h = (t >> 4) & 0x0FFF;
            const int p = table[h];
            std::uint32_t m = 0;
            if (p != -1 && x - p < 4096)
                while (m < 18 && in[x + m] == in[p + m] && x + m < n)
                    ++m;
            table[h] = static_cast<int>(x);
            if (m >= 3) {
                const std::uint32_t v = (x - p) * 16 + (m - 3);
                out[y] = static_cast<std::uint8_t>(v >> 8);
                out[y + 1] = static_cast<std::uint8_t>(v);
                y += 2;
                x += m;
                w = static_cast<std::uint16_t>(w * 2 + 1);
            } else {
                out[y] = in[x];
                y += 1;
                x += 1;
                w = static_cast<std::uint16_t>(w * 2);
            }
        }
        i += 1;
    }
    w = static_cast<std::uint16_t>(w << (16 - i));
    out[z] = static_cast<std::uint8_t>(w >> 8);
    out[z + 1] = static_cast<std::uint8_t>(w);
    if (y > n)
        return Bytes{0x80} + data;
    out.resize(y);
    return out;
}

class FilePackerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        m_packer.CompressMode = TCompressMode::Fast;
    }

    std::string path(const char* name) const { return m_folder.filePath(name).toStdString(); }

    static void write(const std::string& file, const Bytes& bytes) {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
    }
    static Bytes read(const std::string& file) {
        std::ifstream stream(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    static bool exists(const std::string& file) { return ::access(file.c_str(), F_OK) == 0; }

    // Compresses data from a file into another and returns the container.
    Bytes pack(const Bytes& data) {
        write(path("plain"), data);
        m_packer.InputFile = path("plain");
        m_packer.OutputFile = path("packed");
        const std::int64_t written = m_packer.Compress();
        Bytes packed = read(path("packed"));
        EXPECT_EQ(written, std::ssize(packed));
        return packed;
    }

    Bytes unpack(const Bytes& packed) {
        write(path("packed"), packed);
        m_packer.InputFile = path("packed");
        m_packer.OutputFile = path("restored");
        const std::int64_t written = m_packer.Decompress();
        Bytes restored = read(path("restored"));
        EXPECT_EQ(written, std::ssize(restored));
        return restored;
    }

    // The names in the folder, sorted: a failed call leaves nothing of its own.
    QStringList folderEntries() const {
        return QDir(m_folder.path()).entryList(QDir::Files | QDir::System, QDir::Name);
    }

    // Decompresses a damaged container over an older output file; the
    // failure's text. The old output stays exactly as it was.
    std::string unpackFailure(const Bytes& packed) {
        write(path("packed"), packed);
        write(path("restored"), Bytes{'o', 'l', 'd'});
        m_packer.InputFile = path("packed");
        m_packer.OutputFile = path("restored");
        std::string text = "no failure";
        try {
            m_packer.Decompress();
        } catch (const EFilePackerException& failure) {
            text = failure.what();
        }
        EXPECT_EQ(read(path("restored")), (Bytes{'o', 'l', 'd'})) << text;
        EXPECT_EQ(QDir(m_folder.path()).entryList({"restored.*"}), QStringList()) << text;
        return text;
    }

    QTemporaryDir m_folder;
    TFilePacker m_packer;
};

TEST_F(FilePackerTest, EmptyFileIsElevenBytesAndRestoresEmpty) {
    const Bytes packed = pack({});
    EXPECT_EQ(packed, (Bytes{0x57, 0x52, 0x5A, 0x4C, 0, 0, 0, 0, 0x01, 0x00, 0x80}));
    EXPECT_EQ(unpack(packed), Bytes{});
}

TEST_F(FilePackerTest, FullBlockIsFollowedByAnEmptyOne) {
    const Bytes data = randomBytes(32768, 1);
    EXPECT_EQ(pack(data), container(32768, {Bytes{0x80} + data, EmptyBlock}));
    EXPECT_EQ(unpack(pack(data)), data);
}

TEST_F(FilePackerTest, ExactItemsOfTheCoder) {
    // 100 equal bytes: one run item.
    EXPECT_EQ(pack(repeated(100, 'x')),
              container(100, {{0x40, 0x80, 0x00, 0x00, 0x00, 0x54, 'x'}}));
    // 15 equal bytes: a literal and a copy of 14 from 1 back.
    EXPECT_EQ(pack(repeated(15, 'x')), container(15, {{0x40, 0x40, 0x00, 'x', 0x00, 0x1B}}));
    // Three different bytes would grow: stored.
    EXPECT_EQ(pack({'a', 'b', 'c'}), container(3, {{0x80, 'a', 'b', 'c'}}));
    // Coded as long as the data (8 bytes): kept coded. One byte shorter it
    // would be longer than the data: stored.
    EXPECT_EQ(pack({'a', 'b', 'c', 'a', 'b', 'c', 'a', 'b'}),
              container(8, {{0x40, 0x10, 0x00, 'a', 'b', 'c', 0x00, 0x32}}));
    EXPECT_EQ(pack({'a', 'b', 'c', 'a', 'b', 'c', 'a'}),
              container(7, {{0x80, 'a', 'b', 'c', 'a', 'b', 'c', 'a'}}));
}

TEST_F(FilePackerTest, SixteenItemsShareOneControlWord) {
    const Bytes fifteen{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O'};
    // 15 literals and a run: one full group, no control word after it.
    EXPECT_EQ(pack(fifteen + repeated(100, 'z')),
              container(115, {Bytes{0x40, 0x00, 0x01} + fifteen + Bytes{0x00, 0x00, 0x54, 'z'}}));
    // One more literal puts the run under a second control word.
    const Bytes sixteen = fifteen + Bytes{'P'};
    EXPECT_EQ(pack(sixteen + repeated(100, 'z')),
              container(116, {Bytes{0x40, 0x00, 0x00} + sixteen +
                              Bytes{0x80, 0x00, 0x00, 0x00, 0x54, 'z'}}));
}

TEST_F(FilePackerTest, RandomDataIsStoredBlockByBlock) {
    const Bytes data = randomBytes(100000, 2);
    const auto part = [&](std::size_t from, std::size_t count) {
        return Bytes{0x80} + Bytes(data.begin() + from, data.begin() + from + count);
    };
    EXPECT_EQ(pack(data), container(100000, {part(0, 32768), part(32768, 32768), part(65536, 32768),
                                             part(98304, 1696)}));
}

TEST_F(FilePackerTest, BlocksMatchTheCodersStepsOneByOne) {
    TFastCoder coder;
    Bytes coded(codec::AreaSize);
    Bytes decoded(codec::BlockSize);
    std::mt19937 random(3);
    const std::vector<std::size_t> lengths{0,  1,  2,  3,    4,    17,   18,    19,
                                           31, 32, 33, 4095, 4096, 4111, 32767, 32768};
    for (int round = 0; round < 300; ++round) {
        const std::size_t length =
            round < std::ssize(lengths) ? lengths[round] : random() % (codec::BlockSize + 1);
        const Bytes data = round % 3 == 0   ? randomBytes(length, round)
                           : round % 3 == 1 ? mixedBytes(length, round)
                                            : Bytes(repeated(length, 7));
        const Bytes expected = referenceCompressBlock(data);
        const int codedLength =
            coder.CompressBlock(data.data(), coded.data(), static_cast<int>(data.size()));
        ASSERT_EQ(Bytes(coded.begin(), coded.begin() + codedLength), expected)
            << "length " << length << ", round " << round;
        const int decodedLength =
            TFastCoder::DecompressBlock(coded.data(), decoded.data(), codedLength);
        ASSERT_EQ(Bytes(decoded.begin(), decoded.begin() + decodedLength), data);
    }
}

TEST_F(FilePackerTest, RoundTripsAroundTheBlockSize) {
    for (const std::size_t size :
         {1, 2, 16, 17, 32767, 32768, 32769, 65535, 65536, 65537, 200001}) {
        for (const Bytes& data : {mixedBytes(size, static_cast<std::uint32_t>(size)),
                                  randomBytes(size, static_cast<std::uint32_t>(size))}) {
            const Bytes packed = pack(data);
            const std::size_t blocks = size / 32768 + 1;
            EXPECT_LE(packed.size(), 8 + size + 3 * blocks) << size;
            EXPECT_EQ(unpack(packed), data) << size;
        }
    }
}

TEST_F(FilePackerTest, DamagedHeaderOrTruncatedFileFails) {
    const std::string header =
        path("packed") + " : Packer decompression : this file has no valid header !";
    EXPECT_EQ(unpackFailure(Bytes{'N', 'O', 'P', 'E', 0, 0, 0, 0, 1, 0, 0x80}), header);
    // A file of the (not built) Good coder.
    EXPECT_EQ(unpackFailure(Bytes{0x21, 0x48, 0x5A, 0x4C, 0, 0, 0, 0}), header);

    const std::string reading = "Packer : Error reading from input file : " + path("packed");
    EXPECT_EQ(unpackFailure({0x57, 0x52, 0x5A}), reading);
    Bytes whole = pack(mixedBytes(40000, 4));
    EXPECT_EQ(unpackFailure(Bytes(whole.begin(), whole.begin() + 6)), reading);
    EXPECT_EQ(unpackFailure(Bytes(whole.begin(), whole.begin() + 9)), reading);
    EXPECT_EQ(unpackFailure(Bytes(whole.begin(), whole.end() - 1)), reading);
    // Missing the empty block that ends a whole number of blocks.
    whole = pack(mixedBytes(32768, 5));
    EXPECT_EQ(unpackFailure(Bytes(whole.begin(), whole.end() - 3)), reading);
}

TEST_F(FilePackerTest, SizeThatDoesNotMatchFails) {
    const Bytes data = mixedBytes(1000, 6);
    Bytes packed = pack(data);
    packed[4] = static_cast<std::uint8_t>(packed[4] + 1);
    EXPECT_EQ(unpackFailure(packed), SizesDoNotMatch);
    packed[4] = static_cast<std::uint8_t>(packed[4] - 2);
    EXPECT_EQ(unpackFailure(packed), SizesDoNotMatch);
    // A negative size never matches.
    packed[7] = 0x80;
    EXPECT_EQ(unpackFailure(packed), SizesDoNotMatch);
}

TEST_F(FilePackerTest, BlockThatDecodesPast32768BytesFails) {
    Bytes runs;
    for (int i = 0; i < 8; ++i)
        runs = runs + Bytes{0x00, 0x0F, 0xEF, 'r'};
    // Eight runs of 4095 and eight literals make exactly 32768 bytes: kept.
    const Bytes full = Bytes{0x40, 0xFF, 0x00} + runs + repeated(8, 'l');
    EXPECT_EQ(unpack(container(32768, {full, EmptyBlock})),
              repeated(32760, 'r') + repeated(8, 'l'));
    // A ninth literal is one byte too many.
    EXPECT_EQ(unpackFailure(container(32769, {full + Bytes{0x00, 0x00, 'l'}})), TooLong);

    // Five literals and a copy of 3: kept; a copy of 4: one byte too many.
    const Bytes five = Bytes{0x40, 0xFF, 0x04} + runs + repeated(5, 'l');
    EXPECT_EQ(unpack(container(32768, {five + Bytes{0x00, 0x10}, EmptyBlock})),
              repeated(32760, 'r') + repeated(8, 'l'));
    EXPECT_EQ(unpackFailure(container(32769, {five + Bytes{0x00, 0x11}})), TooLong);

    // A stored block of 32769 bytes.
    EXPECT_EQ(unpackFailure(container(32769, {Bytes{0x80} + repeated(32769, 's')})), TooLong);
}

TEST_F(FilePackerTest, CopyFromBeforeTheBlockFails) {
    // After one literal, a copy from 1 back is fine and from 2 back is not.
    EXPECT_EQ(unpack(container(4, {{0x40, 0x40, 0x00, 'a', 0x00, 0x10}})), repeated(4, 'a'));
    EXPECT_EQ(unpackFailure(container(4, {{0x40, 0x40, 0x00, 'a', 0x00, 0x20}})), CopyBeforeStart);
    // A copy as the very first item.
    EXPECT_EQ(unpackFailure(container(3, {{0x40, 0x80, 0x00, 0x00, 0x10}})), CopyBeforeStart);
}

TEST_F(FilePackerTest, ItemCutOffByTheBlockEndFails) {
    // A copy with one byte, a run with three, a control word with nothing after it.
    EXPECT_EQ(unpackFailure(container(2, {{0x40, 0x40, 0x00, 'a', 0x00}})), CutOff);
    EXPECT_EQ(unpackFailure(container(100, {{0x40, 0x80, 0x00, 0x00, 0x00, 0x54}})), CutOff);
    Bytes sixteen{0x40, 0x00, 0x00};
    sixteen = sixteen + repeated(16, 'a') + Bytes{0x00, 0x00};
    EXPECT_EQ(unpackFailure(container(16, {sixteen})), CutOff);
    EXPECT_EQ(unpackFailure(container(0, {{0x40, 0x00}})), CutOff);
}

TEST_F(FilePackerTest, FailedCompressLeavesNoOutput) {
    m_packer.InputFile = path("missing");
    m_packer.OutputFile = path("packed");
    try {
        m_packer.Compress();
        ADD_FAILURE() << "a missing input compressed";
    } catch (const EFilePackerException& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "Packer compression : Failed to obtain the size of : " + path("missing"));
    }
    EXPECT_FALSE(exists(path("packed")));

    write(path("plain"), mixedBytes(100, 7));
    m_packer.InputFile = path("plain");
    m_packer.OutputFile = path("no-folder/packed");
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);

    // Packing a file onto itself would empty it before it is read.
    m_packer.OutputFile = path("plain");
    try {
        m_packer.Compress();
        ADD_FAILURE() << "a file packed onto itself";
    } catch (const EFilePackerException& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "Packer (de)compression : Failed to open output file : " + path("plain"));
    }
    EXPECT_EQ(read(path("plain")), mixedBytes(100, 7));
}

TEST_F(FilePackerTest, FullDiskDeletesThePartialOutput) {
    write(path("plain"), randomBytes(100000, 8));
    m_packer.InputFile = path("plain");
    m_packer.OutputFile = path("packed");
    // A file size limit stands in for a full disk: the second block no longer fits.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string text = "no failure";
    try {
        m_packer.Compress();
    } catch (const EFilePackerException& failure) {
        text = failure.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(text, "Packer : Error writing to output file : " + path("packed"));
    EXPECT_FALSE(exists(path("packed")));
}

TEST_F(FilePackerTest, InputWithoutATrueSizeFails) {
    // Files whose size says nothing of their content would give a container
    // that never decompresses: a device is not even opened (/dev/zero would
    // never end), a regular file that lies about its size fails the count.
    const std::pair<const char*, const char*> inputs[] = {
        {"/dev/zero", "Packer (de)compression : Failed to open input file : /dev/zero"},
        {"/proc/self/status", "Packer : Error reading from input file : /proc/self/status (fast)"}};
    for (const auto& [device, expected] : inputs) {
        m_packer.InputFile = device;
        m_packer.OutputFile = path("packed");
        try {
            m_packer.Compress();
            ADD_FAILURE() << device << " compressed";
        } catch (const EFilePackerException& failure) {
            EXPECT_EQ(std::string(failure.what()), expected);
        }
        EXPECT_FALSE(exists(path("packed")));
    }
    // A file that shrinks after its size was taken.
    write(path("plain"), mixedBytes(1000, 11));
    m_packer.InputFile = path("plain");
    m_packer.ProcessMessages = [&] { ASSERT_EQ(::truncate(path("plain").c_str(), 10), 0); };
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_FALSE(exists(path("packed")));
}

TEST_F(FilePackerTest, SizeLimitOfTheContainer) {
    // Sparse files: the size field holds at most 2^31 - 1.
    const std::string big = path("big");
    std::ofstream(big, std::ios::binary).close();
    ASSERT_EQ(::truncate(big.c_str(), 2147483648LL), 0);
    m_packer.InputFile = big;
    m_packer.OutputFile = path("packed");
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_FALSE(exists(path("packed")));

    // At the limit the header is written (into the new file beside "packed");
    // reading 2 GiB is not needed to see it.
    ASSERT_EQ(::truncate(big.c_str(), 2147483647LL), 0);
    Bytes header;
    m_packer.ProcessMessages = [&] {
        const QStringList beside = QDir(m_folder.path()).entryList({"packed.*"}, QDir::Files);
        if (beside.size() == 1)
            header = read(m_folder.filePath(beside.first()).toStdString());
        throw EFilePackerException("seen");
    };
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_EQ(header, (FastHeader + Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(folderEntries(), QStringList({"big"}));
}

TEST_F(FilePackerTest, ModesThatAreNotBuiltAreRefused) {
    write(path("plain"), mixedBytes(100, 9));
    m_packer.InputFile = path("plain");
    m_packer.OutputFile = path("packed");
    m_packer.CompressMode = TCompressMode::Good;
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_FALSE(exists(path("packed")));
    m_packer.CompressMode = TCompressMode::Fast;
    m_packer.UseStream = true;
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_FALSE(exists(path("packed")));
    // Auto picks the fast coder.
    m_packer.UseStream = false;
    m_packer.CompressMode = TCompressMode::Auto;
    EXPECT_EQ(unpack(pack(mixedBytes(100, 9))), mixedBytes(100, 9));
}

TEST_F(FilePackerTest, FailureInsideProcessMessagesDeletesTheOutput) {
    write(path("plain"), mixedBytes(100000, 10));
    m_packer.InputFile = path("plain");
    m_packer.OutputFile = path("packed");
    int calls = 0;
    m_packer.ProcessMessages = [&calls] {
        if (++calls == 3)
            throw EFilePackerException("closed while saving");
    };
    EXPECT_THROW(m_packer.Compress(), EFilePackerException);
    EXPECT_FALSE(exists(path("packed")));
}

} // namespace

// The dunvex-pack program, run as a child process.
class PackProgramTest : public FilePackerTest {
protected:
    // Runs dunvex-pack; its exit code, with standard error kept.
    int run(const QStringList& arguments, const QString& folder = QString()) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(DUNVEX_PROGRAM_DIR "/dunvex-pack"), arguments);
        EXPECT_TRUE(process.waitForFinished(20000));
        m_errors = QString::fromLocal8Bit(process.readAllStandardError());
        m_output = QString::fromLocal8Bit(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString file(const char* name) const { return QString::fromStdString(path(name)); }

    QString m_errors;
    QString m_output;
};

TEST_F(PackProgramTest, PacksAndUnpacks) {
    const Bytes data = mixedBytes(70000, 12);
    write(path("plain"), data);
    ASSERT_EQ(run({"pack", file("plain"), file("packed")}), 0) << m_errors.toStdString();
    ASSERT_EQ(run({"unpack", file("packed"), file("restored")}), 0) << m_errors.toStdString();
    EXPECT_EQ(read(path("restored")), data);
    // Through a symbolic link the file it names is replaced; the link stays.
    ASSERT_EQ(::symlink(path("restored").c_str(), path("link").c_str()), 0);
    write(path("restored"), Bytes{'o', 'l', 'd'});
    ASSERT_EQ(run({"unpack", file("packed"), file("link")}), 0) << m_errors.toStdString();
    EXPECT_TRUE(QFileInfo(file("link")).isSymLink());
    EXPECT_EQ(read(path("restored")), data);
    // A pipe named as output is written as it stands, not replaced by a file
    // (a pipe in the test's folder: a device is no place to try this); a bare
    // name is a file in the working folder.
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {file("pipe")});
    ASSERT_TRUE(reader.waitForStarted());
    EXPECT_EQ(run({"pack", file("plain"), file("pipe")}), 0) << m_errors.toStdString();
    ASSERT_TRUE(reader.waitForFinished(5000));
    const QByteArray piped = reader.readAllStandardOutput();
    EXPECT_EQ(Bytes(piped.begin(), piped.end()), pack(data));
    struct stat pipe {};
    ASSERT_EQ(::lstat(path("pipe").c_str(), &pipe), 0);
    EXPECT_TRUE(S_ISFIFO(pipe.st_mode));
    EXPECT_EQ(run({"pack", file("plain"), "bare.tld"}, m_folder.path()), 0)
        << m_errors.toStdString();
    EXPECT_EQ(read(path("bare.tld")), pack(data));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_TRUE(m_output.contains("dunvex-pack unpack IN OUT"));
}

// A command line it cannot use gets the usage on standard error and exit
// code 2, apart from a failure of the work itself (1).
TEST_F(PackProgramTest, AWrongCommandLineShowsTheUsage) {
    write(path("plain"), Bytes{'a'});
    for (const QStringList& arguments : {QStringList{}, QStringList{"pack", file("plain")},
                                         QStringList{"pack", file("plain"), file("packed"), "more"},
                                         QStringList{"squeeze", file("plain"), file("packed")}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_EQ(run(arguments), 2);
        EXPECT_TRUE(m_errors.startsWith("Usage: dunvex-pack pack IN OUT\n"));
        EXPECT_TRUE(m_output.isEmpty());
    }
    EXPECT_FALSE(exists(path("packed")));
}

TEST_F(PackProgramTest, FailureSaysWhyAndLeavesOutAsItWas) {
    write(path("packed"), Bytes{'N', 'O', 'P', 'E', 0, 0, 0, 0});
    EXPECT_EQ(run({"unpack", file("packed"), file("restored")}), 1);
    EXPECT_EQ(m_errors.trimmed(), file("packed") + " : Packer decompression : this file has no "
                                                   "valid header !");
    EXPECT_FALSE(exists(path("restored")));
    EXPECT_EQ(run({"pack", file("missing"), file("out")}), 1);
    EXPECT_EQ(m_errors.trimmed(),
              "Packer compression : Failed to obtain the size of : " + file("missing"));
    EXPECT_FALSE(exists(path("out")));

    // An existing OUT survives byte for byte: a container cut inside its
    // second block fails only after the first block was written out, and a
    // pack fails on an input that shrinks under it.
    const Bytes notes = mixedBytes(5000, 13);
    write(path("notes.txt"), notes);
    Bytes cut = pack(mixedBytes(70000, 14));
    cut.resize(cut.size() - 10);
    write(path("bad.tld"), cut);
    EXPECT_EQ(run({"unpack", file("bad.tld"), file("notes.txt")}), 1);
    EXPECT_EQ(m_errors.trimmed(), "Packer : Error reading from input file : " + file("bad.tld"));
    EXPECT_EQ(read(path("notes.txt")), notes);
    EXPECT_EQ(run({"pack", "/proc/self/status", file("notes.txt")}), 1);
    EXPECT_EQ(read(path("notes.txt")), notes);
    EXPECT_EQ(folderEntries(), QStringList({"bad.tld", "notes.txt", "packed", "plain"}));
}

// A FIFO as input is refused at once, not waited on.
TEST_F(PackProgramTest, FifoAsInputIsRefusedAtOnce) {
    FifoWatchdog fifo(QByteArray::fromStdString(path("fifo")));
    ASSERT_TRUE(fifo.made());
    const int unpacked = run({"unpack", file("fifo"), file("restored")});
    const int packed = run({"pack", file("fifo"), file("out")});
    EXPECT_FALSE(fifo.released()) << "dunvex-pack waited for a writer";
    EXPECT_EQ(unpacked, 1);
    EXPECT_EQ(packed, 1);
    EXPECT_EQ(m_errors.trimmed(),
              "Packer (de)compression : Failed to open input file : " + file("fifo"));
    EXPECT_FALSE(exists(path("restored")));
    EXPECT_FALSE(exists(path("out")));
}
