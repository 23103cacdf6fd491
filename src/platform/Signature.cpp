#include "platform/Signature.h"

#include <QFile>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>

namespace platform {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

Key readEd25519PublicKey(const QByteArray& pem) {
    if (pem.isEmpty())
        return nullptr;
    const std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    if (!bio)
        return nullptr;
    Key key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    // Any other kind of key would verify with rules of its own.
    if (!key || EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519)
        return nullptr;
    return key;
}

bool verifyMessage(EVP_PKEY* key, const unsigned char* message, size_t length,
                   const QByteArray& signature) {
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!context)
        return false;
    // Ed25519 hashes by itself: no digest is named, and the message goes in whole.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key) != 1)
        return false;
    return EVP_DigestVerify(context.get(),
                            reinterpret_cast<const unsigned char*>(signature.constData()),
                            size_t(signature.size()), message, length) == 1;
}

} // namespace

bool verifySignature(const QString& filePath, const QByteArray& signature,
                     const QByteArray& publicKeyPem) {
    if (signature.size() != SignatureSize)
        return false;
    const Key key = readEd25519PublicKey(publicKeyPem);
    if (!key)
        return false;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // An installer may be large: it is read through a mapping, not copied.
    static const unsigned char empty = 0;
    const qint64 size = file.size();
    const unsigned char* content = size == 0 ? &empty : file.map(0, size);
    if (!content)
        return false;
    return verifyMessage(key.get(), content, size_t(size), signature);
}

} // namespace platform
