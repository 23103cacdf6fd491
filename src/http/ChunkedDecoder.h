#pragma once

#include <QtGlobal>
#include <functional>
#include <string>

namespace http {

// Takes apart a body sent with "Transfer-Encoding: chunked" and hands on the
// data of its chunks. The server is not trusted: size lines are bounded and
// their numbers checked for overflow, and the trailer after the last chunk is
// held to the limits of an answer's header.
class ChunkedDecoder {
public:
    // A size line, its extensions and CR LF included.
    static constexpr int MaxSizeLineLength = 1024;

    enum class Result { More, Finished, Malformed, TrailerTooLong };
    using Sink = std::function<void(const char* data, qint64 length)>;

    ChunkedDecoder(int maxTrailerBytes, int maxTrailerLines)
        : m_maxTrailerBytes(maxTrailerBytes)
        , m_maxTrailerLines(maxTrailerLines) {}

    void reset();
    // Decodes the next bytes of the body. used tells how many were taken:
    // all of them, unless the body ended within them.
    Result decode(const char* data, qint64 length, qint64& used, const Sink& sink);

private:
    enum class Step { SizeLine, Data, DataEnd, DataLineFeed, Trailer, Finished, Failed };

    Result sizeLineByte(char byte);
    Result sizeLineEnded();
    Result dataEndByte(char byte);
    Result trailerByte(char byte);

    int m_maxTrailerBytes;
    int m_maxTrailerLines;
    Step m_step = Step::SizeLine;
    std::string m_sizeLine;
    qint64 m_chunkLeft = 0;
    int m_trailerBytes = 0;
    int m_trailerLines = 0;
    int m_trailerLineLength = 0;
};

} // namespace http
