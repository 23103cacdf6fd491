#include "windows/DownloadForm.h"

#include "controls/PlainLabel.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new TPlainLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

Tdownload::Tdownload(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("download"));
    setWindowTitle(QStringLiteral("Download The Kelvor Lobby"));
    setStyleSheet(QStringLiteral("#download { background: white; }"));
    resize(360, 300);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(
        QStringLiteral("To proceed to the game without the ability to play against others click "
                       "the button below."),
        this));
    layout->addWidget(wrappedLabel(
        QStringLiteral("Note: Even if you are playing offline, you will need to configure your "
                       "FIREWALL to allow the game to access the internet components."),
        this));
    Button1 = new QPushButton(QStringLiteral("Play Solo Game"), this);
    layout->addWidget(Button1);
    layout->addSpacing(16);
    layout->addWidget(wrappedLabel(
        QStringLiteral("If you already have The Kelvor Lobby and you wish to play with others "
                       "then click the button below to close this game and open The Kelvor "
                       "Lobby."),
        this));
    Button2 = new QPushButton(QStringLiteral("Play with Others"), this);
    layout->addWidget(Button2);

    connect(Button1, &QPushButton::clicked, this, &Tdownload::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tdownload::Button2Click);
}

void Tdownload::Button1Click() {
    close();
}

void Tdownload::Button2Click() {
    QMessageBox::information(
        this, windowTitle(),
        QStringLiteral("Please close the game and open the Kelvor Lobby using the icon on your "
                       "desktop or using the your Window's start-up menu."));
}
