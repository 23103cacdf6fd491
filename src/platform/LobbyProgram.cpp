#include "platform/LobbyProgram.h"

#include "platform/LobbyMakerKey.h"
#include "platform/RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace platform {

namespace {

#ifdef Q_OS_WIN
const char* const InstalledPaths[] = {"C:\\Program Files\\Kelvor\\KelvorLobby.exe"};
#else
const char* const LobbyOnPath = "kelvor-lobby";
const char* const InstalledPaths[] = {"/opt/kelvor/KelvorLobby"};
#endif

bool isProgram(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString lobbyDownloadUrl() {
    const QString configured = qEnvironmentVariable("DUNVEX_LOBBY_URL");
    if (!configured.isEmpty())
        return configured;
    return QStringLiteral("https://www.kelvor.example/download/KelvorLobbySetup.run");
}

QByteArray lobbyPublicKey() {
    const QString configured = qEnvironmentVariable("DUNVEX_LOBBY_KEY");
    if (configured.isEmpty())
        return QByteArray(LobbyMakerKey);
    // A key file too big for a PEM public key is not one; a FIFO in its
    // place is refused rather than waited on.
    constexpr std::size_t MaxKeyFileSize = 4096;
    std::string content;
    std::string problem;
    if (!readRegularFile(QFile::encodeName(configured).constData(), MaxKeyFileSize, content,
                         problem))
        return {};
    return QByteArray::fromStdString(content);
}

QString lobbySignatureUrl(const QString& installerUrl) {
    return installerUrl + QStringLiteral(".sig");
}

QString installedLobbyProgram() {
#ifndef Q_OS_WIN
    const QString onPath = QStandardPaths::findExecutable(QString::fromLatin1(LobbyOnPath));
    if (!onPath.isEmpty())
        return onPath;
#endif
    for (const char* path : InstalledPaths) {
        if (isProgram(QString::fromLatin1(path)))
            return QString::fromLatin1(path);
    }
    return {};
}

QStringList lobbyInstallerArguments() {
    return {QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")};
}

bool runLobbyInstaller(const QString& installerPath) {
#ifndef Q_OS_WIN
    // Only the user who downloaded it may run it.
    if (!QFile::setPermissions(installerPath,
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return false;
#endif
    return QProcess::startDetached(installerPath, lobbyInstallerArguments());
}

bool startLobbyProgram(const QString& programPath) {
    return QProcess::startDetached(programPath, {});
}

} // namespace platform
