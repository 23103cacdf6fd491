#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class TFastCoder;

// Every failure of Compress and Decompress, with its fixed English text.
class EFilePackerException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TCompressMode { Good = 0, Fast = 1, Auto = 2 };

// Compresses one file into another and back, in the container the win tally is
// stored in: a 4-byte signature, the original size, then blocks of at most
// 32768 bytes coded by the fast coder.
//
// Only the fast coder is built. Compress refuses the Good mode, Auto always
// advises Fast, stream mode is refused, and Decompress rejects a file with the
// Good signature as having no valid header.
//
// The input must be a regular file; anything else is refused at once as a
// file that cannot be opened. The output is written beside OutputFile and
// renamed over it at the end, so a failed call leaves OutputFile exactly as it
// was (or absent) and never a partial output behind. Only an output that is
// not a regular file (a device, a pipe) is written in place.
class TFilePacker {
public:
    TFilePacker();
    ~TFilePacker();
    TFilePacker(const TFilePacker&) = delete;
    TFilePacker& operator=(const TFilePacker&) = delete;

    // Published properties.
    bool UseStream = false;
    std::string InputFile;
    std::string OutputFile;
    TCompressMode CompressMode = TCompressMode::Good;
    std::int32_t Threshold = 40;

    // Called after every block read or written, where a window program lets
    // pending messages run; empty by default, so nothing runs in between.
    std::function<void()> ProcessMessages;

    // Reads InputFile, writes the container to OutputFile (replacing it).
    // Returns the bytes written, header included.
    std::int64_t Compress();
    // Reads the container from InputFile, writes the restored data to
    // OutputFile (replacing it). Returns the bytes written.
    std::int64_t Decompress();
    // The coder Auto mode would use for InputFile.
    TCompressMode Advise();

private:
    std::unique_ptr<TFastCoder> m_fastCoder;
};
