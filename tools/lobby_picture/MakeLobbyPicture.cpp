// Paints the lobby download window's picture: a lobby room seen from above,
// game tables on green felt with players seated and dice rolling, in the
// game's own colours, and writes it as a JPEG through libjpeg.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgRenderer>
#include <cstdio>
#include <jpeglib.h>

namespace {

constexpr int Width = 416;
constexpr int Height = 234;
const QColor Felt(0x1d, 0x6b, 0x3a);
const QColor FeltLight(0x2f, 0x8f, 0x52);
const QColor FeltDark(0x0e, 0x44, 0x24);
const QColor Wood(0x6b, 0x3f, 0x1f);
const QColor WoodLight(0xb0, 0x7a, 0x45);
const QColor Gold(0xe8, 0xb5, 0x3a);
const QColor Cream(0xff, 0xf3, 0xd6);
const QColor Ink(0x2b, 0x1b, 0x10);

void paintRoom(QPainter& p) {
    QRadialGradient light(Width / 2.0, Height * 0.45, Width * 0.7);
    light.setColorAt(0, FeltLight);
    light.setColorAt(0.6, Felt);
    light.setColorAt(1, FeltDark);
    p.fillRect(0, 0, Width, Height, light);
    // A faint weave in the felt.
    p.setPen(QColor(255, 255, 255, 10));
    for (int x = -Height; x < Width; x += 6)
        p.drawLine(x, 0, x + Height, Height);
}

void paintDie(QPainter& p, int face, QRectF where, qreal angle) {
    QSvgRenderer art(QStringLiteral(SKIN_DIR "/die-%1.svg").arg(face));
    p.save();
    p.translate(where.center());
    p.rotate(angle);
    art.render(&p, QRectF(-where.width() / 2, -where.height() / 2, where.width(), where.height()));
    p.restore();
}

void paintPlayer(QPainter& p, QPointF at, const QColor& shirt) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(at + QPointF(2, 3), 11, 11);
    p.setBrush(shirt);
    p.drawEllipse(at, 11, 11);
    p.setBrush(QColor(0xf1, 0xc2, 0x94));
    p.drawEllipse(at, 6, 6);
}

void paintTable(QPainter& p, QPointF centre, qreal radius, const QList<QColor>& players,
                const QList<int>& dice) {
    // The players sit around the table first, so the wooden rim covers them.
    for (int seat = 0; seat < players.size(); ++seat) {
        const qreal angle = 2 * M_PI * seat / players.size() - M_PI / 2;
        paintPlayer(p, centre + QPointF(std::cos(angle), std::sin(angle)) * (radius + 9),
                    players[seat]);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawEllipse(centre + QPointF(3, 5), radius + 2, radius + 2);
    QRadialGradient rim(centre, radius);
    rim.setColorAt(0.8, WoodLight);
    rim.setColorAt(1, Wood);
    p.setBrush(rim);
    p.drawEllipse(centre, radius, radius);
    QRadialGradient top(centre - QPointF(radius / 3, radius / 3), radius);
    top.setColorAt(0, FeltLight);
    top.setColorAt(1, FeltDark);
    p.setBrush(top);
    p.drawEllipse(centre, radius - 6, radius - 6);
    const qreal size = radius / 3.2;
    for (int i = 0; i < dice.size(); ++i) {
        const qreal angle = 2 * M_PI * i / dice.size() + 0.4;
        const QPointF at = centre + QPointF(std::cos(angle), std::sin(angle)) * (radius * 0.42);
        paintDie(p, dice[i], QRectF(at.x() - size / 2, at.y() - size / 2, size, size), i * 23.0);
    }
}

void paintBubble(QPainter& p, QRectF box, const QString& text) {
    QPainterPath bubble;
    bubble.addRoundedRect(box, 7, 7);
    QPolygonF tail;
    tail << QPointF(box.left() + 12, box.bottom() - 1) << QPointF(box.left() + 8, box.bottom() + 8)
         << QPointF(box.left() + 22, box.bottom() - 1);
    bubble.addPolygon(tail);
    bubble = bubble.simplified();
    p.setPen(QPen(WoodLight, 1));
    p.setBrush(Cream);
    p.drawPath(bubble);
    p.setPen(Ink);
    QFont font(QStringLiteral("DejaVu Sans"), 8, QFont::Bold);
    font.setPixelSize(10);
    p.setFont(font);
    p.drawText(box, Qt::AlignCenter, text);
}

void paintTitle(QPainter& p) {
    QRectF band(0, Height - 46, Width, 46);
    QLinearGradient wood(band.topLeft(), band.bottomLeft());
    wood.setColorAt(0, WoodLight);
    wood.setColorAt(0.15, Wood);
    wood.setColorAt(1, QColor(0x3e, 0x22, 0x10));
    p.fillRect(band, wood);
    QFont font(QStringLiteral("DejaVu Serif"), 18, QFont::Bold);
    font.setPixelSize(24);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(band.translated(1, 2), Qt::AlignCenter, QStringLiteral("THE KELVOR LOBBY"));
    p.setPen(Gold);
    p.drawText(band, Qt::AlignCenter, QStringLiteral("THE KELVOR LOBBY"));
}

void paintPicture(QImage& image) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintRoom(p);
    const QColor red(0xc0, 0x39, 0x2b), blue(0x29, 0x80, 0xb9),
        gold = Gold, violet(0x8e, 0x44, 0xad), white(0xec, 0xf0, 0xf1), orange(0xe6, 0x7e, 0x22);
    paintTable(p, {78, 82}, 42, {red, blue, gold, white}, {5, 5, 3});
    paintTable(p, {208, 72}, 46, {violet, orange, blue}, {6, 6, 6, 2});
    paintTable(p, {338, 86}, 40, {white, red, orange, violet}, {1, 4});
    paintTable(p, {146, 150}, 26, {gold, blue}, {3});
    paintTable(p, {276, 150}, 26, {red, violet}, {2, 5});
    paintBubble(p, QRectF(98, 6, 72, 20), QStringLiteral("Nice roll!"));
    paintBubble(p, QRectF(262, 12, 56, 20), QStringLiteral("gg :)"));
    paintBubble(p, QRectF(354, 134, 56, 20), QStringLiteral("Join?"));
    paintTitle(p);
    // A thin walnut frame.
    p.setPen(QPen(Wood, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, Width - 3, Height - 3));
}

bool writeJpeg(const QImage& picture, const char* path) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = rgb.width();
    info.image_height = rgb.height();
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(info.next_scanline));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: make-lobby-picture OUTPUT.jpg [PREVIEW.png]\n");
        return 2;
    }
    QImage picture(Width, Height, QImage::Format_RGB32);
    paintPicture(picture);
    if (!writeJpeg(picture, argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    // A lossless copy to look at while working on the picture.
    if (argc == 3 && !picture.save(QString::fromLocal8Bit(argv[2])))
        return 1;
    return 0;
}
