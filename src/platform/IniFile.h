#pragma once

#include <QString>
#include <memory>

namespace platform {

// A private-profile (ini) file: read whole on open, written whole on save.
// Sections and keys match without regard to case; sections and keys this
// program does not touch are written back as they were (the lobby shares the
// file). A missing or unreadable file reads as empty; anything but a regular
// file in its place is not read at all (and a warning says so).
class IniFile {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    QString readString(const QString& section, const QString& key, const QString& fallback) const;
    // A value that is not a whole number reads as the fallback.
    int readInteger(const QString& section, const QString& key, int fallback) const;
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

    // Writes the file in one step (a crash never leaves half a file). False
    // when the file cannot be written; nothing else happens then.
    bool save();

private:
    QString m_path;
    struct Document;
    std::unique_ptr<Document> m_ini;
};

} // namespace platform
