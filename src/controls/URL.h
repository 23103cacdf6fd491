#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace controls {

// Hands an address to the desktop to open. Every link of the game goes through
// here, so a test can catch the address instead of starting a browser.
bool shellOpen(const QString& target);

// Replaces what shellOpen does; nullptr restores the desktop.
void setShellOpenHandler(std::function<bool(const QString&)> handler);

} // namespace controls

// A web (or other) address that a click opens with the desktop's program.
class TURL : public QObject {
    Q_OBJECT
public:
    enum TURLType {
        utFile,
        utFtp,
        utGopher,
        utHttp,
        utHttps,
        utMailto,
        utNews,
        utTelnet,
        utWais,
        utnone
    };
    Q_ENUM(TURLType)

    explicit TURL(QObject* parent = nullptr);

    QString URL;
    TURLType URLType = utHttp;

    // The address with the prefix of its type, as the desktop gets it.
    QString target() const;
    // False for an empty address (the desktop is not asked) or when the
    // desktop cannot open it.
    bool open() const;
};
