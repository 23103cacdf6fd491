#include "platform/IniFile.h"

#include "platform/RegularFile.h"
#include "platform/StrToInt.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <SimpleIni.h>
#include <string>

namespace platform {

struct IniFile::Document : CSimpleIniA {
    Document()
        : CSimpleIniA(false, false, false) {
        SetSpaces(false); // "Key=value", as the lobby writes it
    }
};

namespace {

// Far more than the lobby and the game ever write.
constexpr std::size_t MaxBytes = 16 * 1024 * 1024;

// The file is the lobby's too and holds single-byte text; keep bytes as they are.
std::string bytesOf(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

} // namespace

IniFile::IniFile(QString path)
    : m_path(std::move(path))
    , m_ini(std::make_unique<Document>()) {
    if (!QFileInfo::exists(m_path))
        return;
    // Only a regular file is read: a FIFO in its place would hold the game up.
    std::string content;
    std::string problem;
    if (!readRegularFile(QFile::encodeName(m_path).constData(), MaxBytes, content, problem)) {
        qWarning("the settings file %s could not be read (%s); the defaults are used",
                 qPrintable(m_path), problem.c_str());
        return;
    }
    if (m_ini->LoadData(content.data(), content.size()) < 0)
        m_ini->Reset();
}

IniFile::~IniFile() = default;

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& fallback) const {
    const char* value = m_ini->GetValue(bytesOf(section).c_str(), bytesOf(key).c_str(), nullptr);
    return value ? QString::fromLocal8Bit(value) : fallback;
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const {
    try {
        return StrToInt(readString(section, key, QString()));
    } catch (const EConvertError&) {
        return fallback;
    }
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    m_ini->SetValue(bytesOf(section).c_str(), bytesOf(key).c_str(), bytesOf(value).c_str());
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

bool IniFile::save() {
    std::string content;
    if (m_ini->Save(content) < 0)
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(content.data(), qint64(content.size()));
    return file.commit();
}

} // namespace platform
