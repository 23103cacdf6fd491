#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// Certificates made for one test run with the openssl command, in a folder
// of their own: a CA, two server certificates it signed and one that signed
// itself. Nothing is trusted by the system's store.
class TestCertificates {
public:
    struct Identity {
        QString certificate;
        QString key;
    };

    TestCertificates();
    // False, with the commands' output in errors(), when openssl failed.
    bool isValid() const { return m_valid; }
    QString errors() const { return m_errors; }

    QString caFile() const { return path("ca.pem"); }
    // For DNS:localhost and IP:127.0.0.1, signed by the CA.
    Identity localhost() const { return identity("localhost"); }
    // For DNS:other.example, signed by the CA.
    Identity otherName() const { return identity("other"); }
    // For DNS:localhost and IP:127.0.0.1, signed by itself.
    Identity selfSigned() const { return identity("self"); }
    // For DNS:w*.dunvex.test, a wildcard inside a label, signed by the CA.
    Identity partialWildcard() const { return identity("partial"); }

private:
    QString path(const char* name) const { return m_folder.filePath(QString::fromLatin1(name)); }
    Identity identity(const char* name) const;
    bool openssl(const QStringList& arguments);
    bool signedByCa(const char* name, const char* alternativeNames, int serial);

    QTemporaryDir m_folder;
    bool m_valid = false;
    QString m_errors;
};

} // namespace testsupport
