#include "windows/AboutForm.h"

#include "DunvexVersion.h"
#include "controls/PlainLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "controls/URL.h"
#include "net/WireProtocol.h"
#include "windows/WindowLook.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {

const QString MakerAddress = QStringLiteral("www.dunvex.example");

QLabel* namedLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new TPlainLabel(text, parent);
    label->setObjectName(name);
    return label;
}

} // namespace

Tabout::Tabout(QWidget* parent)
    : QWidget(parent, Qt::Tool) {
    setObjectName(QStringLiteral("about"));
    setWindowTitle(QStringLiteral("Dunvex - About"));
    setFixedSize(304, 174);
    setWindowIcon(controls::SkinArt::windowIcon());
    TiledBackground1 = windows::tiledBackground(this);

    URL1 = new TURL(this);
    URL1->setObjectName(QStringLiteral("URL1"));
    URL1->URL = MakerAddress;
    URL1->URLType = TURL::utHttp;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(2);
    image_logo = namedLabel(QStringLiteral("image_logo"), QString(), this);
    image_logo->setAlignment(Qt::AlignCenter);
    image_logo->setFixedHeight(60);
    image_logo->setPixmap(controls::SkinArt::pixmap(QStringLiteral("logo"), this));
    image_logo->setToolTip(QStringLiteral("Dunvex"));
    layout->addWidget(image_logo);

    Label7 = namedLabel(QStringLiteral("Label7"), MakerAddress, this);
    Label7->setAlignment(Qt::AlignCenter);
    Label7->setStyleSheet(QStringLiteral("font: bold 12px Arial; text-decoration: underline;"
                                         " color: %1;")
                              .arg(QColor::fromRgba(controls::SkinArt::Gold).name()));
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->installEventFilter(this);
    layout->addWidget(Label7);

    label_notice1 = namedLabel(QStringLiteral("label_notice1"),
                               QStringLiteral("Copyright (c) 2026 The Dunvex developers"), this);
    label_notice2 = namedLabel(QStringLiteral("label_notice2"),
                               QStringLiteral("Free software under the MIT License"), this);
    for (QLabel* notice : {label_notice1, label_notice2}) {
        notice->setAlignment(Qt::AlignCenter);
        notice->setStyleSheet(windows::onWood(10, false));
        layout->addWidget(notice);
    }

    auto* bottom = new QHBoxLayout;
    label_version = namedLabel(QStringLiteral("label_version"), QStringLiteral("Version"), this);
    version = namedLabel(QStringLiteral("version"), QString::fromLatin1(net::GameVersion), this);
    label_build = namedLabel(QStringLiteral("label_build"),
                             QLatin1Char('.') + QLatin1String(dunvex::Build), this);
    for (QLabel* part : {label_version, version, label_build})
        part->setStyleSheet(windows::onWood(11, true));
    bottom->setSpacing(0);
    bottom->addWidget(label_version);
    bottom->addSpacing(4);
    bottom->addWidget(version);
    bottom->addWidget(label_build);
    bottom->addStretch(1);
    button_done = windows::selButton(QStringLiteral("button_done"), QStringLiteral("Done"), this);
    connect(button_done, &TSelButton::clicked, this, &Tabout::Button1Click);
    bottom->addWidget(button_done);
    layout->addLayout(bottom);
}

bool Tabout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label7 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label7Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tabout::Label7Click() {
    URL1->open();
}

void Tabout::Button1Click() {
    close();
}
