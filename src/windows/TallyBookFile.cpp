// The tally file: the table's text packed by the file packer. The text passes
// through a private temporary folder; a new file is written beside the old one
// and renamed over it, so the file on disk is always one whole tally.
#include "codec/FilePacker.h"
#include "windows/TallyBook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <cstdio>
#include <fcntl.h>
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
// more than a tally can hold before unpacking anything.
QString checkSize(const QString& path) {
    QFile file(path);
    if (file.size() > MaxFileBytes)
        return QStringLiteral("the file is %1 bytes long").arg(file.size());
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    const QByteArray header = file.read(8);
    if (header.size() < 8 || !header.startsWith("WRZL"))
        return {}; // the packer says what is wrong with it
    const qint32 size = qint32(quint32(quint8(header[4])) | quint32(quint8(header[5])) << 8 |
                               quint32(quint8(header[6])) << 16 | quint32(quint8(header[7])) << 24);
    if (size < 0 || size > MaxTextBytes)
        return QStringLiteral("it claims %1 bytes of text").arg(size);
    return {};
}

bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
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

    // Beside the old file, on the same disk, so that the rename replaces it in one step.
    QTemporaryFile packed(path + QStringLiteral(".XXXXXX"));
    if (!packed.open())
        return packed.errorString();
    packed.close();
    if (QString problem = pack(true, textPath, packed.fileName()); !problem.isEmpty())
        return problem;
    if (!syncPath(packed.fileName(), O_RDONLY))
        return QStringLiteral("the new tally could not be flushed to disk");
    if (std::rename(QFile::encodeName(packed.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return QStringLiteral("the new tally could not replace the old one");
    packed.setAutoRemove(false);
    syncPath(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
    return {};
}

bool TallyBook::keepCopy(const QString& path, const QString& copyPath) {
    QFile::remove(copyPath);
    return QFile::copy(path, copyPath);
}

} // namespace windows
