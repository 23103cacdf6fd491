#include "SigningKey.h"

#include <QFile>
#include <QProcess>

namespace testsupport {

namespace {

bool openssl(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("openssl"), arguments);
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

SigningKey::SigningKey() {
    const QString privateKey = m_folder.filePath("private.pem");
    m_valid = openssl({"genpkey", "-algorithm", "ed25519", "-out", privateKey}) &&
              openssl({"pkey", "-in", privateKey, "-pubout", "-out", publicKeyPath()});
}

QByteArray SigningKey::publicKeyPem() const {
    return readAll(publicKeyPath());
}

QByteArray SigningKey::sign(const QByteArray& content) const {
    const QString input = m_folder.filePath("content");
    const QString output = m_folder.filePath("content.sig");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    file.close();
    QFile::remove(output);
    if (!openssl({"pkeyutl", "-sign", "-rawin", "-inkey", m_folder.filePath("private.pem"), "-in",
                  input, "-out", output}))
        return {};
    return readAll(output);
}

} // namespace testsupport
