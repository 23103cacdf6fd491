#include "windows/DownloadForm.h"

#include "controls/PlainLabel.h"
#include "controls/SelButton.h"
#include "controls/SkinArt.h"
#include "controls/SkinPanel.h"
#include "controls/TiledBackground.h"
#include "http/HttpClient.h"
#include "platform/LobbyProgram.h"
#include "platform/Signature.h"
#include "windows/JpegPicture.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>

using controls::SkinArt;

namespace {

// The longest reason phrase of a server shown to the player.
constexpr int MaxReasonLength = 80;
// Fallback when the address ends in no usable name.
const char* const DefaultFileName = "KelvorLobbySetup";

QFont arial(int points, bool bold = false) {
    QFont font(QStringLiteral("Arial"), points, bold ? QFont::Bold : QFont::Normal);
    return font;
}

QLabel* textLabel(const QString& text, QWidget* parent, QRect where, const QFont& font,
                  QRgb colour = SkinArt::Ink) {
    auto* label = new TPlainLabel(text, parent);
    label->setGeometry(where);
    label->setFont(font);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(colour));
    label->setPalette(palette);
    return label;
}

TSkinPanel* whitePanel(QWidget* parent, QRect where) {
    auto* panel = new TSkinPanel(parent);
    panel->setGeometry(where);
    panel->setColor(Qt::white);
    panel->setColorHighLight(QColor(SkinArt::WoodLight));
    panel->setColorShadow(QColor(SkinArt::Wood));
    return panel;
}

struct ButtonLook {
    QRgb face, caption, border, over, overCaption, down;
};
const ButtonLook DownloadLook{SkinArt::Felt, SkinArt::Cream, SkinArt::FeltDark,
                              SkinArt::Leaf, SkinArt::Cream, SkinArt::FeltDark};
const ButtonLook QuietLook{SkinArt::Ivory, SkinArt::Ink, SkinArt::WoodLight,
                           SkinArt::Gold,  SkinArt::Ink, SkinArt::WoodLight};
const ButtonLook StopLook{SkinArt::Ivory,  SkinArt::Maroon, SkinArt::Maroon,
                          SkinArt::Maroon, SkinArt::Cream,  SkinArt::Ink};

TSelButton* skinButton(const QString& name, const QString& caption, QWidget* parent, QRect where,
                       const ButtonLook& look) {
    auto* button = new TSelButton(parent);
    button->setObjectName(name);
    button->setGeometry(where);
    button->setCaption(caption);
    button->setAlignment(Qt::AlignCenter);
    button->setFont(arial(10, true));
    button->setBorderWidth(2);
    button->setColor(QColor(look.face));
    button->setFontColor(QColor(look.caption));
    button->setColorBorder(QColor(look.border));
    button->setColorOver(QColor(look.over));
    button->setColorOverCaption(QColor(look.overCaption));
    button->setColorDown(QColor(look.down));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

// A switched-off flat button looks it: greyed face and caption.
void switchButton(TSelButton* button, bool enabled, const ButtonLook& look) {
    button->setEnabled(enabled);
    button->setColor(QColor(enabled ? look.face : SkinArt::Paper));
    button->setFontColor(enabled ? QColor(look.caption) : QColor(Qt::gray));
    button->setColorBorder(enabled ? QColor(look.border) : QColor(Qt::lightGray));
    button->setCursor(enabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// A memory buffer that refuses to grow past its limit: a server cannot make
// the window hold more than a signature's worth.
class BoundedBuffer : public QBuffer {
public:
    explicit BoundedBuffer(qint64 limit)
        : m_limit(limit) {}

protected:
    qint64 writeData(const char* data, qint64 length) override {
        if (buffer().size() + length > m_limit) {
            setErrorString(QStringLiteral("more than %1 bytes").arg(m_limit));
            return -1;
        }
        return QBuffer::writeData(data, length);
    }

private:
    qint64 m_limit;
};

} // namespace

Tdownload::Tdownload(QWidget* parent)
    // Not kept on top: it must never hide a message box, the player's or the game's.
    : QWidget(parent, Qt::Tool)
    , HttpClient1(std::make_shared<THttpClient>()) {
    setObjectName(QStringLiteral("download"));
    setWindowTitle(QStringLiteral("Download The Kelvor Lobby"));
    setFixedSize(724, 500);
    TiledBackground1 = new TTiledBackground(this);
    createPanels();
    showPicture();

    HttpClient1->URL = platform::lobbyDownloadUrl();
    HttpClient1->Agent = QStringLiteral("Mozilla/3.0 (compatible)");
    connectHttpClient();
}

Tdownload::~Tdownload() {
    if (!m_downloading)
        return;
    // A GET still waits below this window's handler: it ends now and keeps its
    // client until it returns, but nothing may reach this window any more.
    HttpClient1->ReceiveStream = nullptr;
    HttpClient1->OnHeaderData = nullptr;
    HttpClient1->OnDocBegin = nullptr;
    HttpClient1->OnDocData = nullptr;
    HttpClient1->Abort();
}

// ---------------------------------------------------------------- layout

void Tdownload::createPanels() {
    Panel1 = whitePanel(this, {8, 8, 440, 484});
    Panel2 = whitePanel(this, {456, 8, 260, 236});
    Panel3 = whitePanel(this, {456, 252, 260, 240});
    createDownloadPanel();
    createSoloPanel();
    createLobbyPanel();
}

void Tdownload::createDownloadPanel() {
    Image1 = new TPlainLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(12, 12, 416, 234);
    QLabel* pitch =
        textLabel(QStringLiteral("Download The Kelvor Lobby Now to play this  and other "
                                 "exciting games online with other players!"),
                  Panel1, {16, 252, 408, 52}, arial(10, true));
    pitch->setAlignment(Qt::AlignCenter);
    QLabel* closed =
        textLabel(QStringLiteral("IS CLOSED"), Panel1, {16, 306, 408, 12}, arial(6), 0xFF808080);
    closed->setAlignment(Qt::AlignRight);
    infolabel = textLabel(QString(), Panel1, {16, 320, 408, 20}, arial(10, true));
    infolabel->setObjectName(QStringLiteral("infolabel"));
    infolabel->setWordWrap(false);
    infolabel->setAlignment(Qt::AlignCenter);
    progressbar = new QProgressBar(Panel1);
    progressbar->setObjectName(QStringLiteral("progressbar"));
    progressbar->setGeometry(80, 343, 280, 10);
    progressbar->setRange(0, 1000);
    progressbar->setTextVisible(false);
    progressbar->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid #b07a45; background: #f3ebd2; }"
                       "QProgressBar::chunk { background: #1e7b34; }"));
    progressbar->hide();
    infolabel2 = textLabel(QString(), Panel1, {16, 338, 408, 12}, arial(8));
    infolabel2->setObjectName(QStringLiteral("infolabel2"));
    infolabel2->hide();
    infolabel3 = textLabel(QString(), Panel1, {16, 358, 408, 20}, arial(10, true));
    infolabel3->setObjectName(QStringLiteral("infolabel3"));
    infolabel3->setWordWrap(false);
    infolabel3->setAlignment(Qt::AlignCenter);
    getbutton = skinButton(QStringLiteral("getbutton"),
                           QStringLiteral("Download And Install The Kelvor Lobby Now"), Panel1,
                           {40, 390, 360, 38}, DownloadLook);
    getbutton->OnClick = [this] { getbuttonClick(); };
    abortbutton = skinButton(QStringLiteral("abortbutton"), QStringLiteral("Stop Download"), Panel1,
                             {140, 438, 160, 28}, StopLook);
    abortbutton->OnClick = [this] { abortbuttonClick(); };
    // Nothing to stop until a download runs.
    switchButton(abortbutton, false, StopLook);
}

void Tdownload::createSoloPanel() {
    textLabel(QStringLiteral("To proceed to the game without the ability to play against others "
                             "click the button below."),
              Panel2, {14, 14, 232, 54}, arial(10));
    textLabel(QStringLiteral("Note: Even if you are playing offline, you will need to configure "
                             "your FIREWALL to allow the game to access the internet components."),
              Panel2, {14, 76, 232, 80}, arial(9), SkinArt::Maroon);
    Button1 = skinButton(QStringLiteral("Button1"), QStringLiteral("Play Solo Game"), Panel2,
                         {40, 178, 180, 36}, QuietLook);
    Button1->OnClick = [this] { Button1Click(); };
}

void Tdownload::createLobbyPanel() {
    textLabel(QString(), Panel3, {14, 10, 232, 18}, arial(10, true));
    textLabel(QStringLiteral("If you already have The Kelvor Lobby and you wish to play with "
                             "others then click the button below to close this game and open The "
                             "Kelvor Lobby."),
              Panel3, {14, 34, 232, 96}, arial(10));
    Button2 = skinButton(QStringLiteral("Button2"), QStringLiteral("Play with Others"), Panel3,
                         {40, 182, 180, 36}, QuietLook);
    Button2->OnClick = [this] { Button2Click(); };
}

// The picture is a JPEG built into the program.
void Tdownload::showPicture() {
    QFile file(QStringLiteral(":/download/kelvor-lobby.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QImage picture = windows::decodeJpeg(file.readAll());
    Image1->setPixmap(QPixmap::fromImage(picture));
}

void Tdownload::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    TiledBackground1->setImage(SkinArt::pixmap(QStringLiteral("background-tile"), this));
    if (const QScreen* desktop = screen())
        move(desktop->availableGeometry().center() - rect().center());
}

void Tdownload::closeEvent(QCloseEvent* event) {
    // A download left running behind a closed window would quit the game
    // later without warning.
    if (m_downloading)
        abortbuttonClick();
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------- progress

void Tdownload::connectHttpClient() {
    HttpClient1->OnHeaderData = [this](THttpClient*) { HttpClient1HeaderData(); };
    HttpClient1->OnDocBegin = [this](THttpClient*) { HttpClient1DocBegin(); };
    HttpClient1->OnDocData = [this](THttpClient*, const char*, qint64) { HttpClient1DocData(); };
}

// The progress shown is the installer's; its signature comes without a word.
void Tdownload::HttpClient1HeaderData() {
    if (m_fetching != Fetching::Installer)
        return;
    // The server decides how many header lines come: the dots stop early.
    if (infolabel->text().size() < int(qstrlen("Loading")) + MaxLoadingDots)
        infolabel->setText(infolabel->text() + QLatin1Char('.'));
}

void Tdownload::HttpClient1DocBegin() {
    if (m_fetching != Fetching::Installer)
        return;
    const int status = HttpClient1->StatusCode();
    m_installerBegun = status >= 200 && status <= 299;
    infolabel3->setText(QStringLiteral("Downloading: ") + infolabel2->text());
    progressbar->setValue(0);
    progressbar->setVisible(HttpClient1->ContentLength() > 0);
}

void Tdownload::HttpClient1DocData() {
    if (m_fetching != Fetching::Installer)
        return;
    const qint64 received = HttpClient1->ReceivedCount();
    infolabel->setText(QStringLiteral("%1 bytes").arg(received));
    const qint64 length = HttpClient1->ContentLength();
    if (length > 0)
        progressbar->setValue(int(qMin(received, length) * 1000 / length));
}

// ---------------------------------------------------------------- download

QString Tdownload::localFileName(const QString& url) {
    QString name = url.mid(url.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QString::fromLatin1(DefaultFileName);
    return name;
}

QString Tdownload::partialFileName(const QString& fileName) {
    return fileName + QStringLiteral(".part");
}

void Tdownload::getbuttonClick() {
    if (m_downloading)
        return;
    infolabelTag = 1;
    m_abortPressed = false;
    m_installerBegun = false;
    infolabel2->setText(localFileName(HttpClient1->URL));
    if (!openDownloadFile())
        return;
    setDownloading(true);
    showOutcome(QStringLiteral("Loading"), QString());
    progressbar->setValue(0);
    progressbar->hide();

    // Each GET runs the event loop until it ends: the window paints, "Stop
    // Download" works, and the window may even be destroyed meanwhile.
    const std::shared_ptr<THttpClient> client = HttpClient1;
    const QPointer<Tdownload> alive(this);
    const QString url = client->URL;
    const QString failure = fetchInstaller(client, url);
    if (!alive)
        return;
    if (m_abortPressed)
        return endAborted();
    if (!failure.isEmpty())
        return m_installerBegun ? endUnverified(failure) : endFailed(failure);
    const QString doubt = verifyDownload(client, url);
    if (!alive)
        return;
    if (m_abortPressed)
        return endAborted();
    if (!doubt.isEmpty())
        return endUnverified(doubt);
    setDownloading(false);
    install();
}

// The installer's GET into its file: why it cannot be taken, or empty.
QString Tdownload::fetchInstaller(const std::shared_ptr<THttpClient>& client, const QString& url) {
    const QPointer<Tdownload> alive(this);
    m_fetching = Fetching::Installer;
    QString failure = fetch(*client, url, m_file.get());
    if (!alive)
        return failure;
    m_fetching = Fetching::Nothing;
    const qint64 size = m_file->flush() ? m_file->size() : -1;
    m_file->close();
    if (failure.isEmpty())
        failure = incompleteReason(size);
    if (failure.isEmpty())
        infolabel->setText(QStringLiteral("Received %1 bytes").arg(size));
    return failure;
}

// The installer takes its own name only once its signature has verified:
// why it may not run, or empty.
QString Tdownload::verifyDownload(const std::shared_ptr<THttpClient>& client, const QString& url) {
    const QPointer<Tdownload> alive(this);
    QByteArray signature;
    const QString failure = fetchSignature(client, url, signature);
    if (!alive || !failure.isEmpty())
        return failure;
    if (!platform::verifySignature(m_file->fileName(), signature, platform::lobbyPublicKey()))
        return QStringLiteral("The signature does not match the download");
    if (!m_file->rename(m_installerPath))
        return QStringLiteral("Cannot rename the download: ") + m_file->errorString();
    return {};
}

QString Tdownload::fetch(THttpClient& client, const QString& url, QIODevice* stream) {
    client.URL = url;
    client.ReceiveStream = stream;
    QString failure;
    try {
        client.Get();
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
        if (failure.isEmpty())
            failure = QStringLiteral("Download failed");
    }
    client.ReceiveStream = nullptr;
    // A relocation may have changed the address; the window keeps the one it was given.
    client.URL = url;
    return failure;
}

// The signature is fetched from beside the installer, through the same
// client and the same relocations, into a small buffer of bounded size.
QString Tdownload::fetchSignature(const std::shared_ptr<THttpClient>& client, const QString& url,
                                  QByteArray& signature) {
    BoundedBuffer buffer(MaxSignatureFileSize);
    buffer.open(QIODevice::WriteOnly);
    const QPointer<Tdownload> alive(this);
    m_fetching = Fetching::Signature;
    const QString failure = fetch(*client, platform::lobbySignatureUrl(url), &buffer);
    if (alive)
        m_fetching = Fetching::Nothing;
    if (!failure.isEmpty())
        return QStringLiteral("No signature: ") + failure;
    const int status = client->StatusCode();
    if (status < 200 || status > 299)
        return QStringLiteral("No signature: %1 %2").arg(status).arg(client->ReasonPhrase());
    signature = buffer.data();
    if (signature.size() != platform::SignatureSize)
        return QStringLiteral("The signature has %1 bytes, not %2")
            .arg(signature.size())
            .arg(platform::SignatureSize);
    return {};
}

// A private folder of its own, so nobody else can swap the file before it
// runs; the file keeps a name of its own until its signature has verified.
bool Tdownload::openDownloadFile() {
    m_file.reset();
    m_folder = std::make_unique<QTemporaryDir>();
    if (!m_folder->isValid()) {
        showMessage(QStringLiteral("Cannot create a folder for the download: ") +
                    m_folder->errorString());
        m_folder.reset();
        return false;
    }
    m_installerPath = m_folder->filePath(infolabel2->text());
    m_file = std::make_unique<QFile>(m_folder->filePath(partialFileName(infolabel2->text())));
    if (!m_file->open(QIODevice::WriteOnly)) {
        showMessage(
            QStringLiteral("Cannot create %1: %2").arg(m_file->fileName(), m_file->errorString()));
        discardDownload();
        return false;
    }
    return true;
}

void Tdownload::setDownloading(bool downloading) {
    m_downloading = downloading;
    switchButton(getbutton, !downloading, DownloadLook);
    switchButton(abortbutton, downloading, StopLook);
}

// Only a whole installer is run: one that ended well but fell short of its
// announced length, or could not all be saved, is cut off.
QString Tdownload::incompleteReason(qint64 size) const {
    const THttpClient& http = *HttpClient1;
    if (http.StatusCode() < 200 || http.StatusCode() > 299)
        return QStringLiteral("%1 %2").arg(http.StatusCode()).arg(http.ReasonPhrase());
    if (size != http.ReceivedCount())
        return QStringLiteral("Download incomplete: the file could not be saved");
    if (http.ContentLength() >= 0 && size != http.ContentLength())
        return QStringLiteral("Download incomplete: %1 of %2 bytes")
            .arg(size)
            .arg(http.ContentLength());
    return {};
}

void Tdownload::showOutcome(const QString& line, const QString& reason, bool alarming) {
    infolabel->setText(line);
    QPalette palette = infolabel->palette();
    palette.setColor(QPalette::WindowText, alarming ? QColor(Qt::red) : QColor(SkinArt::Ink));
    infolabel->setPalette(palette);
    infolabel3->setText(reason.left(MaxReasonLength));
}

// A download that did not end well leaves nothing behind, not even a part of the bar.
void Tdownload::endAborted() {
    endFailed(QString());
}

void Tdownload::endFailed(const QString& reason) {
    infolabelTag = 2;
    showOutcome(QStringLiteral("Download Aborted"), reason);
    progressbar->setValue(0);
    progressbar->hide();
    setDownloading(false);
    discardDownload();
}

void Tdownload::endUnverified(const QString& reason) {
    endFailed(reason);
    showOutcome(QStringLiteral("The download could not be verified, so it was not run."), reason,
                true);
}

void Tdownload::install() {
    infolabel3->setText(QStringLiteral("Installing"));
    if (!platform::runLobbyInstaller(m_installerPath)) {
        discardDownload();
        showMessage(QStringLiteral("An Error has Occurred."));
        return;
    }
    // The installer still reads its file after this program has gone.
    m_folder->setAutoRemove(false);
    m_file.reset();
    m_folder.reset();
    announceClosing();
}

// The game does not vanish under the player: it closes once they have read why.
void Tdownload::announceClosing() {
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(),
                                QStringLiteral("The Kelvor Lobby installer has started; the game "
                                               "will now close."),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("closingbox"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this] {
        if (onExitGame)
            onExitGame();
    });
    box->open();
}

void Tdownload::discardDownload() {
    m_file.reset();
    m_folder.reset();
}

// Only a running download can be stopped; the end of its GET tells the outcome.
void Tdownload::abortbuttonClick() {
    if (!m_downloading)
        return;
    m_abortPressed = true;
    infolabelTag = 2;
    try {
        HttpClient1->Abort();
    } catch (const std::exception&) {
    }
}

// ---------------------------------------------------------------- the other ways on

void Tdownload::Button1Click() {
    close();
}

void Tdownload::Button2Click() {
    const QString lobby = platform::installedLobbyProgram();
    if (lobby.isEmpty()) {
        showMessage(QStringLiteral(
            "Please close the game and open the Kelvor Lobby using the icon on your desktop or "
            "using the your Window's start-up menu."));
        return;
    }
    if (!platform::startLobbyProgram(lobby)) {
        showMessage(QStringLiteral("An Error has Occurred."));
        return;
    }
    if (onExitGame)
        onExitGame();
}

// Messages do not wait: the window goes on with its events meanwhile.
void Tdownload::showMessage(const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
