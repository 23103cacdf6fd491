#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Detached Ed25519 signatures, as `openssl pkeyutl -sign -rawin` writes them:
// the 64 raw bytes of the signature of the file's whole content.
constexpr int SignatureSize = 64;

// True only when `signature` is exactly SignatureSize bytes and is the
// signature of the file's content under `publicKeyPem`, an Ed25519 public key
// in PEM form. An unreadable file, a key that is not Ed25519 or not a public
// key, and every other doubt give false.
bool verifySignature(const QString& filePath, const QByteArray& signature,
                     const QByteArray& publicKeyPem);

} // namespace platform
