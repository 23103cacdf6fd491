#include "platform/Environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace platform {

namespace {

QString environmentOr(const char* name, const QString& fallback) {
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

} // namespace

QString gamePortName() {
    return environmentOr("DUNVEX_PORT", QStringLiteral("7772"));
}

QString lobbyPortName() {
    return environmentOr("DUNVEX_LOBBY_PORT", QStringLiteral("9001"));
}

QString scopedObjectName(const QString& baseName) {
    QString name = QStringLiteral("dunvex.%1.%2").arg(getuid()).arg(baseName);
    const QString instance = qEnvironmentVariable("DUNVEX_INSTANCE");
    if (!instance.isEmpty())
        name += QLatin1Char('.') + instance;
    return name;
}

QString dataFolder() {
    const QString home = qEnvironmentVariable("DUNVEX_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return home;
    }
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!programFolder.isEmpty() && QFileInfo(programFolder).isWritable())
        return programFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return userFolder;
}

QString dataFilePath(const QString& fileName) {
    return QDir(dataFolder()).filePath(fileName);
}

} // namespace platform
