#include "controls/SkinArt.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>
#include <cmath>

namespace controls {

namespace {

struct CacheKey {
    QString name;
    QSize size;
    int ratioPercent;
    bool operator==(const CacheKey&) const = default;
};

size_t qHash(const CacheKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.name, key.size.width(), key.size.height(), key.ratioPercent);
}

QHash<CacheKey, QPixmap>& cache() {
    static QHash<CacheKey, QPixmap> pictures;
    return pictures;
}

QPixmap render(const QString& path, QSize logicalSize, qreal ratio) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return QPixmap();
    const QSize pixels(int(std::ceil(logicalSize.width() * ratio)),
                       int(std::ceil(logicalSize.height() * ratio)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    QPixmap picture = QPixmap::fromImage(image);
    picture.setDevicePixelRatio(ratio);
    return picture;
}

} // namespace

QString SkinArt::resourcePath(const QString& name) {
    return QStringLiteral(":/skin/%1.svg").arg(name);
}

QPixmap SkinArt::pixmap(const QString& name, QSize logicalSize, qreal devicePixelRatio) {
    if (logicalSize.isEmpty() || devicePixelRatio <= 0)
        return QPixmap();
    const CacheKey key{name, logicalSize, int(std::lround(devicePixelRatio * 100))};
    auto found = cache().constFind(key);
    if (found != cache().constEnd())
        return *found;
    if (!QFile::exists(resourcePath(name)))
        return QPixmap();
    QPixmap picture = render(resourcePath(name), logicalSize, devicePixelRatio);
    cache().insert(key, picture);
    return picture;
}

QPixmap SkinArt::pixmap(const QString& name, QSize logicalSize, const QWidget* widget) {
    return pixmap(name, logicalSize, widget ? widget->devicePixelRatioF() : 1.0);
}

QPixmap SkinArt::pixmap(const QString& name, const QWidget* widget) {
    return pixmap(name, designSize(name), widget);
}

QPixmap SkinArt::strip(const QStringList& names, QSize logicalSize, const QWidget* widget) {
    const qreal ratio = widget ? widget->devicePixelRatioF() : 1.0;
    if (names.isEmpty() || logicalSize.isEmpty())
        return QPixmap();
    QImage joined(int(std::ceil(logicalSize.width() * ratio)) * int(names.size()),
                  int(std::ceil(logicalSize.height() * ratio)),
                  QImage::Format_ARGB32_Premultiplied);
    joined.fill(Qt::transparent);
    QPainter painter(&joined);
    const int step = joined.width() / int(names.size());
    for (int index = 0; index < names.size(); ++index) {
        QPixmap piece = pixmap(names[index], logicalSize, ratio);
        piece.setDevicePixelRatio(1); // placed in device pixels
        painter.drawPixmap(index * step, 0, piece);
    }
    painter.end();
    QPixmap result = QPixmap::fromImage(joined);
    result.setDevicePixelRatio(ratio);
    return result;
}

QString SkinArt::dieName(int face, bool bonus) {
    return QStringLiteral("%1-%2").arg(bonus ? "die-bonus" : "die").arg(qBound(1, face, 6));
}

QPixmap SkinArt::dieFace(int face, bool bonus, const QWidget* widget) {
    return pixmap(dieName(face, bonus), QSize(32, 32), widget);
}

QPixmap SkinArt::phraseGlyph(int button, const QWidget* widget) {
    return pixmap(QStringLiteral("phrase-%1").arg(qBound(1, button, 10)), widget);
}

QSize SkinArt::designSize(const QString& name) {
    static QHash<QString, QSize> sizes;
    auto found = sizes.constFind(name);
    if (found != sizes.constEnd())
        return *found;
    QSize size;
    if (QFile::exists(resourcePath(name))) {
        QSvgRenderer renderer(resourcePath(name));
        size = renderer.defaultSize();
    }
    sizes.insert(name, size);
    return size;
}

QStringList SkinArt::names() {
    QStringList found;
    const QStringList files = QDir(QStringLiteral(":/skin")).entryList({QStringLiteral("*.svg")});
    for (const QString& file : files)
        found << file.chopped(4);
    return found;
}

QIcon SkinArt::windowIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(pixmap(QStringLiteral("icon"), QSize(side, side), 1.0));
    return icon;
}

} // namespace controls
