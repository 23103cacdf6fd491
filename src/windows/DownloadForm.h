#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QFile;
class QIODevice;
class QLabel;
class QProgressBar;
class QTemporaryDir;
class THttpClient;
class TSelButton;
class TSkinPanel;
class TTiledBackground;

// Shown over a solo game: offers the Kelvor lobby for playing with others.
// It downloads and silently installs the lobby and quits the game, starts
// the installed lobby and quits, or closes to let the player play solo.
class Tdownload : public QWidget {
    Q_OBJECT
public:
    explicit Tdownload(QWidget* parent = nullptr);
    ~Tdownload() override;

    TSkinPanel* Panel1 = nullptr;        // left: the download
    TSkinPanel* Panel2 = nullptr;        // right, top: play solo
    TSkinPanel* Panel3 = nullptr;        // right, bottom: the installed lobby
    QLabel* Image1 = nullptr;            // the lobby's picture
    QLabel* infolabel = nullptr;         // "Loading", the byte count, the outcome
    QLabel* infolabel2 = nullptr;        // hidden: the local file name
    QLabel* infolabel3 = nullptr;        // what is being done
    QProgressBar* progressbar = nullptr; // beside the byte count, when the size is known
    TSelButton* getbutton = nullptr;
    TSelButton* abortbutton = nullptr;
    TSelButton* Button1 = nullptr; // "Play Solo Game"
    TSelButton* Button2 = nullptr; // "Play with Others"
    TTiledBackground* TiledBackground1 = nullptr;
    // Shared with a GET in progress, which keeps it until the GET returns.
    std::shared_ptr<THttpClient> HttpClient1;

    // The outcome of the current download: 1 running or ended well, 2
    // aborted or failed, 0 before the first.
    int infolabelTag = 0;
    // The player window's Exit: the game ends once the lobby is on its way.
    std::function<void()> onExitGame;

    void getbuttonClick();
    void abortbuttonClick();
    void Button1Click();
    void Button2Click();

    // The file name a download is saved under: the address's last segment.
    static QString localFileName(const QString& url);
    // Dots after "Loading", one per header line, up to this many.
    static constexpr int MaxLoadingDots = 40;
    // The largest signature file taken in; a real one has 64 bytes.
    static constexpr int MaxSignatureFileSize = 1024;
    // The name a download is written under until its signature has verified.
    static QString partialFileName(const QString& fileName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createPanels();
    void createDownloadPanel();
    void createSoloPanel();
    void createLobbyPanel();
    void showPicture();
    void connectHttpClient();
    void HttpClient1HeaderData();
    void HttpClient1DocBegin();
    void HttpClient1DocData();

    enum class Fetching { Nothing, Installer, Signature };
    // A GET of the address into the stream; the failure's reason, or empty.
    static QString fetch(THttpClient& client, const QString& url, QIODevice* stream);
    QString fetchInstaller(const std::shared_ptr<THttpClient>& client, const QString& url);
    QString fetchSignature(const std::shared_ptr<THttpClient>& client, const QString& url,
                           QByteArray& signature);
    QString verifyDownload(const std::shared_ptr<THttpClient>& client, const QString& url);

    bool openDownloadFile();
    void setDownloading(bool downloading);
    QString incompleteReason(qint64 size) const;
    void showOutcome(const QString& line, const QString& reason, bool alarming = false);
    void endAborted();
    void endFailed(const QString& reason);
    void endUnverified(const QString& reason);
    void install();
    void announceClosing();
    void discardDownload();
    void showMessage(const QString& text);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<QFile> m_file;
    QString m_installerPath; // where the verified installer runs from
    bool m_downloading = false;
    bool m_abortPressed = false;
    // The installer's own document began: what goes wrong from then on is a
    // file that cannot be trusted, not a failed request.
    bool m_installerBegun = false;
    Fetching m_fetching = Fetching::Nothing;
};
