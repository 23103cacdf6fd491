#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

namespace testsupport {

namespace {

// P-256 keys: made in a moment, unlike RSA ones.
const QStringList NewKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};

} // namespace

TestCertificates::TestCertificates() {
    m_valid =
        m_folder.isValid() &&
        openssl(QStringList{"req", "-x509"} + NewKey +
                QStringList{"-keyout", path("ca.key"), "-out", caFile(), "-days", "2", "-subj",
                            "/CN=Dunvex Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                            "-addext", "keyUsage=critical,keyCertSign,cRLSign"}) &&
        signedByCa("localhost", "DNS:localhost,IP:127.0.0.1", 2) &&
        signedByCa("other", "DNS:other.example", 3) &&
        signedByCa("partial", "DNS:w*.dunvex.test", 4) &&
        openssl(QStringList{"req", "-x509"} + NewKey +
                QStringList{"-keyout", path("self.key"), "-out", path("self.pem"), "-days", "2",
                            "-subj", "/CN=localhost", "-addext",
                            "subjectAltName=DNS:localhost,IP:127.0.0.1", "-addext",
                            "basicConstraints=CA:FALSE"});
}

TestCertificates::Identity TestCertificates::identity(const char* name) const {
    const QString base = QString::fromLatin1(name);
    return {m_folder.filePath(base + ".pem"), m_folder.filePath(base + ".key")};
}

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    const bool finished = process.waitForFinished(30000);
    m_errors += QString::fromLocal8Bit(process.readAll());
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool TestCertificates::signedByCa(const char* name, const char* alternativeNames, int serial) {
    const Identity made = identity(name);
    const QString request = made.certificate + ".csr";
    const QString extensions = made.certificate + ".ext";
    QFile file(extensions);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray("subjectAltName=") + alternativeNames +
               "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
    file.close();
    return openssl(QStringList{"req", "-new"} + NewKey +
                   QStringList{"-keyout", made.key, "-out", request, "-subj",
                               QStringLiteral("/CN=%1").arg(QString::fromLatin1(name))}) &&
           openssl({"x509", "-req", "-in", request, "-CA", caFile(), "-CAkey", path("ca.key"),
                    "-set_serial", QString::number(serial), "-days", "2", "-extfile", extensions,
                    "-out", made.certificate});
}

} // namespace testsupport
