#include "http/ChunkedDecoder.h"

#include <algorithm>
#include <limits>

namespace http {

namespace {

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

void ChunkedDecoder::reset() {
    m_step = Step::SizeLine;
    m_sizeLine.clear();
    m_chunkLeft = 0;
    m_trailerBytes = 0;
    m_trailerLines = 0;
    m_trailerLineLength = 0;
}

ChunkedDecoder::Result ChunkedDecoder::decode(const char* data, qint64 length, qint64& used,
                                              const Sink& sink) {
    used = 0;
    while (used < length) {
        Result result = Result::More;
        switch (m_step) {
        case Step::Data: {
            // The chunk's data goes on as it stands, without copying.
            const qint64 piece = std::min(m_chunkLeft, length - used);
            sink(data + used, piece);
            used += piece;
            m_chunkLeft -= piece;
            if (m_chunkLeft == 0)
                m_step = Step::DataEnd;
            continue;
        }
        case Step::SizeLine:
            result = sizeLineByte(data[used++]);
            break;
        case Step::DataEnd:
        case Step::DataLineFeed:
            result = dataEndByte(data[used++]);
            break;
        case Step::Trailer:
            result = trailerByte(data[used++]);
            break;
        case Step::Finished:
            return Result::Finished;
        case Step::Failed:
            return Result::Malformed;
        }
        if (result != Result::More) {
            if (result != Result::Finished)
                m_step = Step::Failed;
            return result;
        }
    }
    return m_step == Step::Finished ? Result::Finished : Result::More;
}

ChunkedDecoder::Result ChunkedDecoder::sizeLineByte(char byte) {
    if (byte == '\n')
        return sizeLineEnded();
    m_sizeLine.push_back(byte);
    // Room is left for the line feed.
    if (int(m_sizeLine.size()) > MaxSizeLineLength - 1)
        return Result::Malformed;
    return Result::More;
}

// Hexadecimal digits, then optional blanks and extensions after ";".
ChunkedDecoder::Result ChunkedDecoder::sizeLineEnded() {
    std::string line = std::move(m_sizeLine);
    m_sizeLine.clear();
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    qint64 size = 0;
    std::size_t at = 0;
    for (; at < line.size() && hexDigitValue(line[at]) >= 0; ++at) {
        if (size > (std::numeric_limits<qint64>::max() >> 4))
            return Result::Malformed;
        size = (size << 4) | hexDigitValue(line[at]);
    }
    if (at == 0)
        return Result::Malformed;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
        ++at;
    if (at < line.size() && line[at] != ';')
        return Result::Malformed;
    m_chunkLeft = size;
    m_step = size > 0 ? Step::Data : Step::Trailer;
    return Result::More;
}

// Each chunk's data ends with CR LF (a bare LF is taken too).
ChunkedDecoder::Result ChunkedDecoder::dataEndByte(char byte) {
    if (m_step == Step::DataEnd && byte == '\r') {
        m_step = Step::DataLineFeed;
        return Result::More;
    }
    if (byte != '\n')
        return Result::Malformed;
    m_step = Step::SizeLine;
    return Result::More;
}

// Trailer fields are counted, not kept; an empty line ends the body.
ChunkedDecoder::Result ChunkedDecoder::trailerByte(char byte) {
    if (++m_trailerBytes > m_maxTrailerBytes)
        return Result::TrailerTooLong;
    if (byte == '\r')
        return Result::More;
    if (byte != '\n') {
        ++m_trailerLineLength;
        return Result::More;
    }
    if (m_trailerLineLength == 0) {
        m_step = Step::Finished;
        return Result::Finished;
    }
    m_trailerLineLength = 0;
    if (++m_trailerLines > m_maxTrailerLines)
        return Result::TrailerTooLong;
    return Result::More;
}

} // namespace http
