// codec: compress and decompress throughput of the tally file's packer on one
// deterministic 64 MiB corpus, side by side with Debian's lz4 -1 and gzip -1.
// Every figure is the best of several rounds, the rounds of the three taking
// turns, so a busy machine slows them alike.
#include "codec/FastCoder.h"
#include "codec/FilePacker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t CorpusSize = 64u << 20;
constexpr std::size_t ChunkSize = 1u << 20;

// A small generator of our own, so the corpus is the same everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed)
        : m_state(seed) {}
    std::uint64_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    std::uint32_t below(std::uint32_t bound) {
        return static_cast<std::uint32_t>((next() >> 32) * bound >> 32);
    }
    // Small numbers far more often than large ones, like words in a language.
    std::uint32_t skewed(std::uint32_t bound) {
        const double u = static_cast<double>(next() >> 11) / 9007199254740992.0;
        return std::min(bound - 1, static_cast<std::uint32_t>(std::pow(u, 3.0) * bound));
    }

private:
    std::uint64_t m_state;
};

std::vector<std::string> makeWords(Random& random, std::size_t count) {
    static const char* const syllables[] = {"an", "be",  "ti", "ro", "du", "ke",  "la", "mi", "no",
                                            "pe", "qua", "ri", "sa", "to", "un",  "ve", "wo", "xi",
                                            "ye", "zo",  "st", "er", "th", "ing", "ed", "ou"};
    std::vector<std::string> words;
    for (std::size_t i = 0; i < count; ++i) {
        std::string word;
        const std::uint32_t parts = 1 + random.below(4);
        for (std::uint32_t p = 0; p < parts; ++p)
            word += syllables[random.below(std::size(syllables))];
        words.push_back(word);
    }
    return words;
}

// Prose and log lines: what a text file or a chat history looks like.
void appendText(std::string& out, Random& random, const std::vector<std::string>& words,
                std::size_t bytes) {
    static const char* const levels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
    static const char* const names[] = {"Ann", "Bob", "Klot", "Mira", "Tove", "Oskar"};
    const std::size_t end = out.size() + bytes;
    unsigned long long clock = 1765190400000ull;
    while (out.size() < end) {
        if (random.below(3) == 0) {
            clock += random.below(5000);
            char line[160];
            std::snprintf(line, sizeof line,
                          "%llu.%03llu %s [host] slot %u %s rolled %u %u %u %u %u, score %u\n",
                          clock / 1000, clock % 1000, levels[random.skewed(4)], 1 + random.below(9),
                          names[random.below(6)], 1 + random.below(6), 1 + random.below(6),
                          1 + random.below(6), 1 + random.below(6), 1 + random.below(6),
                          random.below(400));
            out += line;
            continue;
        }
        const std::uint32_t length = 5 + random.below(20);
        for (std::uint32_t i = 0; i < length; ++i) {
            std::string word = words[random.skewed(static_cast<std::uint32_t>(words.size()))];
            if (i == 0)
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            out += word;
            out += i + 1 == length ? ". " : (random.below(8) == 0 ? ", " : " ");
        }
        if (random.below(4) == 0)
            out += "\n";
    }
    out.resize(end);
}

template <typename T> void put(std::string& out, T value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Fixed-size records of a game database: counters, small numbers, names.
void appendRecords(std::string& out, Random& random, std::size_t bytes) {
    static const char* const names[] = {"Ann", "Bob", "Klot", "Mira", "Tove", "Oskar"};
    const std::size_t end = out.size() + bytes;
    std::uint32_t id = 1000;
    std::uint32_t time = 1765190400;
    float rating = 1500.0f;
    while (out.size() < end) {
        put(out, id++);
        put(out, time += random.below(90));
        put(out, static_cast<std::uint16_t>(1 + random.below(4)));
        put(out, static_cast<std::uint16_t>(random.below(400)));
        put(out, rating += static_cast<float>(random.below(33)) - 16.0f);
        for (int d = 0; d < 5; ++d)
            put(out, static_cast<std::uint8_t>(1 + random.below(6)));
        put(out, static_cast<std::uint8_t>(random.below(4) == 0 ? 1 : 0));
        char name[16] = {};
        std::strcpy(name, names[random.below(6)]);
        out.append(name, sizeof name);
    }
    out.resize(end);
}

// 16-bit sound samples and an 8-bit picture: smooth values with noise, the
// kind of data plain LZ coders hardly shrink.
void appendSamples(std::string& out, Random& random, std::size_t bytes) {
    const std::size_t end = out.size() + bytes;
    double phase = 0;
    std::size_t row = 0;
    while (out.size() < end) {
        if ((row++ / 64) % 2 == 0) {
            for (int i = 0; i < 1024; ++i) {
                phase += 0.031;
                const double value = 9000 * std::sin(phase) + 3000 * std::sin(phase * 3.7) +
                                     static_cast<double>(random.below(256)) - 128;
                put(out, static_cast<std::int16_t>(value));
            }
        } else {
            for (int x = 0; x < 1024; ++x)
                put(out, static_cast<std::uint8_t>((x / 4 + row) % 256 + random.below(6)));
        }
    }
    out.resize(end);
}

std::string makeCorpus() {
    Random random(20261208);
    const std::vector<std::string> words = makeWords(random, 4000);
    std::string corpus;
    corpus.reserve(CorpusSize);
    for (std::size_t chunk = 0; corpus.size() < CorpusSize; ++chunk) {
        switch (chunk % 4) {
        case 0:
        case 2:
            appendText(corpus, random, words, ChunkSize);
            break;
        case 1:
            appendRecords(corpus, random, ChunkSize);
            break;
        default:
            appendSamples(corpus, random, ChunkSize);
            break;
        }
    }
    return corpus;
}

// CPU seconds (user and system) of this process and of its finished children:
// on a shared machine they count the work, not the waiting for a core.
double cpuSeconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage usage {};
        getrusage(who, &usage);
        total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    return total;
}

struct Timing {
    double wall = 1e30;
    double cpu = 1e30;
};

// Runs work and keeps the best wall and CPU times seen so far.
void measure(Timing& best, const std::function<void()>& work) {
    const auto start = Clock::now();
    const double cpuStart = cpuSeconds();
    work();
    best.cpu = std::min(best.cpu, cpuSeconds() - cpuStart);
    best.wall = std::min(best.wall, std::chrono::duration<double>(Clock::now() - start).count());
}

// Runs a program with its standard output going to outputPath; false when it fails.
bool runProgram(const std::vector<std::string>& arguments, const std::string& outputPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Coder {
    std::string name;
    std::function<bool(const std::string& in, const std::string& out)> compress;
    std::function<bool(const std::string& in, const std::string& out)> decompress;
    Timing compressTime{};
    Timing decompressTime{};
    std::uintmax_t packedSize = 0;
};

bool packWith(TFilePacker& packer, const std::string& in, const std::string& out, bool pack) {
    packer.InputFile = in;
    packer.OutputFile = out;
    try {
        if (pack)
            packer.Compress();
        else
            packer.Decompress();
    } catch (const EFilePackerException& failure) {
        std::fprintf(stderr, "codec: %s\n", failure.what());
        return false;
    }
    return true;
}

std::vector<Coder> makeCoders(TFilePacker& packer) {
    auto tool = [](std::vector<std::string> arguments) {
        return [arguments](const std::string& in, const std::string& out) {
            std::vector<std::string> command = arguments;
            command.push_back(in);
            return runProgram(command, out);
        };
    };
    return {
        {"TFilePacker (fast)",
         [&packer](const std::string& in, const std::string& out) {
             return packWith(packer, in, out, true);
         },
         [&packer](const std::string& in, const std::string& out) {
             return packWith(packer, in, out, false);
         }},
        {"lz4 -1", tool({"lz4", "-1", "-c"}), tool({"lz4", "-d", "-c"})},
        {"gzip -1", tool({"gzip", "-1", "-c"}), tool({"gzip", "-d", "-c"})},
    };
}

// The block functions alone, in memory: the coder without any file traffic.
void measureInMemory(const std::string& corpus, int rounds) {
    TFastCoder coder;
    const std::size_t blocks = (corpus.size() + codec::BlockSize - 1) / codec::BlockSize;
    std::vector<std::uint8_t> packed(blocks * codec::AreaSize);
    std::vector<std::uint8_t> unpacked(blocks * codec::BlockSize);
    const auto* in = reinterpret_cast<const std::uint8_t*>(corpus.data());
    std::vector<int> lengths(blocks);
    Timing compress;
    Timing decompress;
    for (int round = 0; round < rounds; ++round) {
        measure(compress, [&] {
            for (std::size_t b = 0; b < blocks; ++b) {
                const std::size_t at = b * codec::BlockSize;
                const int n =
                    static_cast<int>(std::min<std::size_t>(codec::BlockSize, corpus.size() - at));
                lengths[b] = coder.CompressBlock(in + at, packed.data() + b * codec::AreaSize, n);
            }
        });
        measure(decompress, [&] {
            for (std::size_t b = 0; b < blocks; ++b)
                TFastCoder::DecompressBlock(packed.data() + b * codec::AreaSize,
                                            unpacked.data() + b * codec::BlockSize, lengths[b]);
        });
    }
    if (std::memcmp(unpacked.data(), corpus.data(), corpus.size()) != 0) {
        std::fprintf(stderr, "codec: the block functions did not restore the corpus\n");
        std::exit(1);
    }
    const double megabytes = static_cast<double>(corpus.size()) / 1e6;
    std::printf("\nblock functions alone, in memory: compress %.0f MB/s, decompress %.0f MB/s "
                "(CPU time)\n",
                megabytes / compress.cpu, megabytes / decompress.cpu);
}

bool sameContent(const fs::path& a, const std::string& expected) {
    std::ifstream file(a, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    return content == expected;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (rounds < 1) {
        std::fprintf(stderr, "Usage: codec [ROUNDS]   (default 5)\n");
        return 2;
    }
    const std::string corpus = makeCorpus();
    const fs::path folder =
        fs::temp_directory_path() / ("dunvex-codec-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string input = (folder / "corpus").string();
    std::ofstream(input, std::ios::binary).write(corpus.data(), std::ssize(corpus));

    TFilePacker packer;
    packer.CompressMode = TCompressMode::Fast;
    std::vector<Coder> coders = makeCoders(packer);
    int failures = 0;
    const std::string packed = (folder / "packed").string();
    const std::string restored = (folder / "restored").string();
    for (int round = 0; round < rounds; ++round) {
        for (Coder& coder : coders) {
            bool ok = true;
            measure(coder.compressTime, [&] { ok = coder.compress(input, packed); });
            measure(coder.decompressTime, [&] { ok = ok && coder.decompress(packed, restored); });
            coder.packedSize = fs::file_size(packed);
            if (!ok || (round == 0 && !sameContent(restored, corpus))) {
                std::fprintf(stderr, "codec: %s did not restore the corpus\n", coder.name.c_str());
                ++failures;
            }
        }
    }

    const double megabytes = static_cast<double>(corpus.size()) / 1e6;
    std::printf("corpus: %zu bytes (text, records, samples); file to file; best of %d rounds\n\n",
                corpus.size(), rounds);
    std::printf("| coder | compress MB/s | decompress MB/s | ratio | compress MB/s (wall) | "
                "decompress MB/s (wall) |\n|---|---|---|---|---|---|\n");
    for (const Coder& coder : coders)
        std::printf("| %s | %.0f | %.0f | %.3f | %.0f | %.0f |\n", coder.name.c_str(),
                    megabytes / coder.compressTime.cpu, megabytes / coder.decompressTime.cpu,
                    static_cast<double>(coder.packedSize) / static_cast<double>(corpus.size()),
                    megabytes / coder.compressTime.wall, megabytes / coder.decompressTime.wall);
    const double compressShare = coders[1].compressTime.cpu / coders[0].compressTime.cpu;
    const double decompressShare = coders[1].decompressTime.cpu / coders[0].decompressTime.cpu;
    std::printf("\nagainst lz4 -1 (CPU time): compress %.2fx (target 0.80x), decompress %.2fx "
                "(target 0.50x)\n",
                compressShare, decompressShare);
    measureInMemory(corpus, rounds);
    fs::remove_all(folder);
    if (failures > 0)
        return 1;
    return compressShare >= 0.8 && decompressShare >= 0.5 ? 0 : 3;
}
