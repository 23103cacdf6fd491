// Detached Ed25519 signatures of downloaded files, made by the openssl tool.
#include "platform/LobbyProgram.h"
#include "platform/Signature.h"
#include "support/FifoWatchdog.h"
#include "support/SigningKey.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using platform::verifySignature;
using testsupport::SigningKey;

namespace {

QString writeFile(const QTemporaryDir& folder, const char* name, const QByteArray& content) {
    QFile file(folder.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(content);
    return file.fileName();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(Signature, OnlyTheMakersSignatureOfTheWholeFileVerifies) {
    const SigningKey maker;
    const SigningKey stranger;
    ASSERT_TRUE(maker.isValid() && stranger.isValid());
    QTemporaryDir folder;
    const QByteArray content = "#!/bin/sh\necho installer\n";
    const QString file = writeFile(folder, "setup.run", content);
    const QByteArray signature = maker.sign(content);
    ASSERT_EQ(signature.size(), platform::SignatureSize);
    const QByteArray key = maker.publicKeyPem();

    EXPECT_TRUE(verifySignature(file, signature, key));
    EXPECT_FALSE(verifySignature(file, signature.left(63), key));
    EXPECT_FALSE(verifySignature(file, signature + '\0', key));
    EXPECT_FALSE(verifySignature(file, {}, key));
    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 1);
    EXPECT_FALSE(verifySignature(file, flipped, key));
    EXPECT_FALSE(verifySignature(file, stranger.sign(content), key));
    EXPECT_FALSE(verifySignature(file, signature, stranger.publicKeyPem()));
    EXPECT_FALSE(verifySignature(writeFile(folder, "longer.run", content + ' '), signature, key));
    EXPECT_FALSE(
        verifySignature(writeFile(folder, "shorter.run", content.chopped(1)), signature, key));
    EXPECT_FALSE(verifySignature(folder.filePath("missing.run"), signature, key));
    EXPECT_FALSE(verifySignature(writeFile(folder, "empty", {}), signature, key));
}

TEST(Signature, OnlyAnEd25519PublicKeyIsTakenAsTheKey) {
    const SigningKey maker;
    ASSERT_TRUE(maker.isValid());
    QTemporaryDir folder;
    const QString file = writeFile(folder, "setup.run", "content");
    const QByteArray signature = maker.sign("content");
    ASSERT_TRUE(verifySignature(file, signature, maker.publicKeyPem()));

    const QString ecKey = folder.filePath("ec.pem");
    QProcess tool;
    tool.start("openssl", {"genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
                           "-out", folder.filePath("ec-private.pem")});
    ASSERT_TRUE(tool.waitForFinished(30000) && tool.exitCode() == 0);
    tool.start("openssl",
               {"pkey", "-in", folder.filePath("ec-private.pem"), "-pubout", "-out", ecKey});
    ASSERT_TRUE(tool.waitForFinished(30000) && tool.exitCode() == 0);
    EXPECT_FALSE(verifySignature(file, signature, readFile(ecKey)));
    EXPECT_FALSE(verifySignature(file, signature, "-----BEGIN PUBLIC KEY-----\nAAAA\n"));
    EXPECT_FALSE(verifySignature(file, signature, {}));
}

// The built-in key is the maker's; a key file named in the environment
// replaces it, and one that cannot be read leaves no key at all.
TEST(Signature, TheEnvironmentNamesTheKeyInPlaceOfTheBuiltInOne) {
    const SigningKey own;
    ASSERT_TRUE(own.isValid());
    qunsetenv("DUNVEX_LOBBY_KEY");
    const QByteArray builtIn = platform::lobbyPublicKey();
    EXPECT_EQ(builtIn,
              readFile(QStringLiteral(DUNVEX_SOURCE_DIR "/resources/lobby/maker-key.pem")));
    EXPECT_TRUE(builtIn.startsWith("-----BEGIN PUBLIC KEY-----\n"));

    qputenv("DUNVEX_LOBBY_KEY", own.publicKeyPath().toLocal8Bit());
    EXPECT_EQ(platform::lobbyPublicKey(), own.publicKeyPem());
    qputenv("DUNVEX_LOBBY_KEY", own.publicKeyPath().toLocal8Bit() + ".missing");
    EXPECT_TRUE(platform::lobbyPublicKey().isEmpty());
    // A FIFO in the key file's place gives no key, without waiting on it.
    const QByteArray fifo = own.publicKeyPath().toLocal8Bit() + ".fifo";
    testsupport::FifoWatchdog watchdog(fifo);
    ASSERT_TRUE(watchdog.made());
    qputenv("DUNVEX_LOBBY_KEY", fifo);
    EXPECT_TRUE(platform::lobbyPublicKey().isEmpty());
    EXPECT_FALSE(watchdog.released()) << "the key file was waited on";
    qunsetenv("DUNVEX_LOBBY_KEY");
}
