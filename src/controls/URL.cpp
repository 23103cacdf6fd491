#include "controls/URL.h"

#include <QDesktopServices>
#include <QUrl>

namespace controls {

namespace {

std::function<bool(const QString&)>& shellOpenHandler() {
    static std::function<bool(const QString&)> handler;
    return handler;
}

} // namespace

bool shellOpen(const QString& target) {
    if (const auto& handler = shellOpenHandler())
        return handler(target);
    return QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

void setShellOpenHandler(std::function<bool(const QString&)> handler) {
    shellOpenHandler() = std::move(handler);
}

} // namespace controls

namespace {

QString prefixOf(TURL::TURLType type) {
    switch (type) {
    case TURL::utFile:
        return QStringLiteral("file://");
    case TURL::utFtp:
        return QStringLiteral("ftp://");
    case TURL::utGopher:
        return QStringLiteral("gopher://");
    case TURL::utHttp:
        return QStringLiteral("http://");
    case TURL::utHttps:
        return QStringLiteral("https://");
    case TURL::utMailto:
        return QStringLiteral("mailto:");
    case TURL::utNews:
        return QStringLiteral("news:");
    case TURL::utTelnet:
        return QStringLiteral("telnet:");
    case TURL::utWais:
        return QStringLiteral("wais:");
    case TURL::utnone:
        break;
    }
    return QString();
}

} // namespace

TURL::TURL(QObject* parent)
    : QObject(parent) {}

QString TURL::target() const {
    return prefixOf(URLType) + URL;
}

bool TURL::open() const {
    if (URL.isEmpty())
        return false;
    return controls::shellOpen(target());
}
