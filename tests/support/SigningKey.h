#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// An Ed25519 key pair made by the openssl tool in a folder of its own, and
// detached signatures made with it the way the lobby's maker makes them.
class SigningKey {
public:
    SigningKey();
    bool isValid() const { return m_valid; }
    // The public key's PEM file.
    QString publicKeyPath() const { return m_folder.filePath("public.pem"); }
    QByteArray publicKeyPem() const;
    // `openssl pkeyutl -sign -rawin` of the bytes: 64 raw bytes, or empty on failure.
    QByteArray sign(const QByteArray& content) const;

private:
    QTemporaryDir m_folder;
    bool m_valid = false;
};

} // namespace testsupport
