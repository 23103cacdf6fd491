// The tally file: the table's text packed by the file packer. The text passes
// through a private temporary folder; the packer writes the new file beside
// the old one and renames it over it, so the file on disk is always one whole
// tally.
#include "codec/FilePacker.h"
#include "platform/RegularFile.h"
#include "windows/TallyBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace windows {

namespace {

// A tally is a few kilobytes; anything near these sizes is not one of ours.
constexpr qint64 MaxTextBytes = 16 * 1024 * 1024;
constexpr qint64 MaxFileBytes = MaxTextBytes + MaxTextBytes / 256 + 64;

std::string nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Packs or unpacks one file into another; the packer's message on failure.
QString pack(bool compress, const QString& input, const QString& output) {
    TFilePacker doit;
    doit.CompressMode = TCompressMode::Fast;
    doit.InputFile = nativePath(input);
    doit.OutputFile = nativePath(output);
    try {
        if (compress)
            doit.Compress();
        else
            doit.Decompress();
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    }
    return {};
}

// The container's header states the text's size: refuse a file that claims
// more than a tally can hold before unpacking anything. Only a regular file is
// read at all: a FIFO in its place would hold the game up for ever.
QString checkSize(const QString& path) {
    const int fd = platform::openRegularFile(QFile::encodeName(path).constData());
    if (fd < 0)
        return QString::fromLocal8Bit(platform::openProblem(errno).c_str());
    struct stat status {};
    char header[8] = {};
    const bool known = ::fstat(fd, &status) == 0;
    const ssize_t got = known && status.st_size <= MaxFileBytes ? ::read(fd, header, 8) : 0;
    ::close(fd);
    if (!known)
        return QStringLiteral("its size is unknown");
    if (status.st_size > MaxFileBytes)
        return QStringLiteral("the file is %1 bytes long").arg(qint64(status.st_size));
    if (got < 8 || std::memcmp(header, "WRZL", 4) != 0)
        return {}; // the packer says what is wrong with it
    const qint32 size = qint32(quint32(quint8(header[4])) | quint32(quint8(header[5])) << 8 |
                               quint32(quint8(header[6])) << 16 | quint32(quint8(header[7])) << 24);
    if (size < 0 || size > MaxTextBytes)
        return QStringLiteral("it claims %1 bytes of text").arg(size);
    return {};
}

} // namespace

QString TallyBook::load(const QString& path) {
    reset();
    if (!QFileInfo::exists(path))
        return {};
    if (QString problem = checkSize(path); !problem.isEmpty())
        return problem;
    QTemporaryDir work; // mode 0700: nobody else reads or swaps the text
    if (!work.isValid())
        return QStringLiteral("no private temporary folder: ") + work.errorString();
    const QString textPath = work.filePath(QStringLiteral("tally.txt"));
    if (QString problem = pack(false, path, textPath); !problem.isEmpty())
        return problem;
    QFile text(textPath);
    if (!text.open(QIODevice::ReadOnly))
        return text.errorString();
    const QString problem = readText(text.read(MaxTextBytes));
    startSession();
    return problem;
}

QString TallyBook::save(const QString& path) const {
    QTemporaryDir work;
    if (!work.isValid())
        return QStringLiteral("no private temporary folder: ") + work.errorString();
    const QString textPath = work.filePath(QStringLiteral("tally.txt"));
    QFile text(textPath);
    const QByteArray bytes = toText();
    if (!text.open(QIODevice::WriteOnly) || text.write(bytes) != bytes.size() || !text.flush())
        return text.errorString();
    text.close();

    // The packer writes beside the old file and renames over it.
    return pack(true, textPath, path);
}

bool TallyBook::keepCopy(const QString& path, const QString& copyPath) {
    QFile::remove(copyPath);
    // Something that is not a file (a FIFO) is moved aside: reading it to copy could wait for ever.
    if (!QFileInfo(path).isFile())
        return std::rename(QFile::encodeName(path).constData(),
                           QFile::encodeName(copyPath).constData()) == 0;
    return QFile::copy(path, copyPath);
}

} // namespace windows
