#pragma once

#include "http/AsyncSocket.h"
#include "http/ChunkedDecoder.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <stdexcept>
#include <vector>

class QEventLoop;
class QIODevice;

enum THttpState {
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpBodyReceived,
    httpWaitingProxyConnect,
    httpClosing,
    httpAborting
};

enum THttpRequest { httpGET = 1, httpPOST, httpPUT, httpHEAD, httpCLOSE };

// The failure of a request: the reason phrase and either one of the client's
// own codes (1 busy, 4 line too long, 5 bad version) or the HTTP status.
class EHttpException : public std::runtime_error {
public:
    EHttpException(const QString& message, int code)
        : std::runtime_error(message.toStdString())
        , m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

class THttpClient;
using THttpNotifyEvent = std::function<void(THttpClient* sender)>;
using THttpDataEvent = std::function<void(THttpClient* sender, const char* data, qint64 length)>;
using THttpCommandEvent = std::function<void(THttpClient* sender, QString& line)>;
using THttpBeforeHeaderSendEvent =
    std::function<void(THttpClient* sender, const QString& method, QStringList& lines)>;
using THttpCookieEvent =
    std::function<void(THttpClient* sender, const QString& cookie, bool& accept)>;
using THttpRequestDoneEvent =
    std::function<void(THttpClient* sender, THttpRequest request, int error)>;
using THttpErrorEvent = std::function<void(THttpClient* sender, const QString& message, int error)>;

// An HTTP/1.0 and 1.1 client over TAsyncSocket, one request at a time. The
// work is driven by socket events and by messages the client posts to
// itself; Get waits for the end of a request with the event loop running, so
// windows keep painting and a "Stop" button can call Abort meanwhile.
//
// A download window shows progress from OnHeaderData, OnDocBegin and
// OnDocData: ReceivedCount() against ContentLength() (-1 while unknown).
//
// Only direct connections: there is no proxy or SOCKS support.
class THttpClient : public QObject {
    Q_OBJECT
public:
    explicit THttpClient(QObject* owner = nullptr);
    ~THttpClient() override;

    // Published properties.
    QString URL;
    QString LocalAddr = QStringLiteral("0.0.0.0");
    QString Sender;
    QString Agent = QStringLiteral("Mozilla/4.0 (compatible)");
    QString Accept = QStringLiteral("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
    QString AcceptLanguage;
    QString Reference;
    QString Connection;
    QString Username;
    QString Password;
    bool NoCache = false;
    QDateTime ModifiedSince; // invalid: none
    QString Cookie;
    QString ContentTypePost = QStringLiteral("application/x-www-form-urlencoded");
    QString ContentRangeBegin;
    QString ContentRangeEnd;
    QString AcceptRanges;
    // While Get waits: false lets the whole application run, true keeps user
    // input waiting.
    bool MultiThreaded = false;
    QString RequestVer() const { return m_requestVer; }
    void setRequestVer(const QString& version);
    // Every body byte is written here when set (not owned).
    QIODevice* ReceiveStream = nullptr;
    // Seconds a request may go without ProgressBytes arriving, from the name
    // lookup on, before it fails: a silent server and one that trickles
    // alike. 0: no limit.
    static constexpr int DefaultTimeout = 30;
    int Timeout = DefaultTimeout;
    // For https: a file of CA certificates trusted besides the system's.
    QString CaFile = qEnvironmentVariable("DUNVEX_CA_FILE");

    THttpNotifyEvent OnStateChange;
    THttpNotifyEvent OnSessionConnected;
    THttpNotifyEvent OnRequestHeaderBegin;
    THttpBeforeHeaderSendEvent OnBeforeHeaderSend;
    THttpCommandEvent OnCommand;
    THttpNotifyEvent OnRequestHeaderEnd;
    THttpNotifyEvent OnHeaderBegin;
    THttpNotifyEvent OnHeaderData;
    THttpCookieEvent OnCookie;
    THttpNotifyEvent OnHeaderEnd;
    THttpNotifyEvent OnLocationChange;
    THttpNotifyEvent OnDocBegin;
    THttpDataEvent OnDocData;
    THttpNotifyEvent OnDocEnd;
    THttpRequestDoneEvent OnRequestDone;
    THttpErrorEvent OnSocketError;

    // A GET of URL; returns when it has ended. Raises EHttpException for an
    // answer of 400 or more and for every local failure (status 404 then).
    void Get();
    // Stops the current request; safe from any handler while Get waits.
    void Abort();

    THttpState State() const { return m_state; }
    int StatusCode() const { return m_statusCode; }
    QString ReasonPhrase() const { return m_reasonPhrase; }
    QString AnswerVersion() const { return m_answerVersion; }
    qint64 ContentLength() const { return m_contentLength; }
    QString ContentType() const { return m_contentType; }
    QString Location() const { return m_location; }
    QString DocName() const { return m_docName; }
    QStringList ReceivedHeader() const { return m_receivedHeader; }
    QStringList AuthChallenges() const { return m_authChallenges; }
    qint64 ReceivedCount() const { return m_receivedCount; }
    int RequestDoneError() const { return m_requestDoneError; }
    THttpRequest RequestKind() const { return m_kind; }
    // The current connection's socket (for its state and its figures).
    const TAsyncSocket& Socket() const { return m_socket; }

    // Relocations followed within one request before it fails.
    static constexpr int MaxRelocations = 20;
    // The longest header line, its CR LF included.
    static constexpr int ReceiveBufferSize = 8192;
    // An answer's header, from the status line to the empty line that ends
    // it, CR LF included; and its lines, the status line included. The same
    // holds for the trailer of a chunked document.
    static constexpr int MaxHeaderSize = 64 * 1024;
    static constexpr int MaxHeaderLines = 100;
    static constexpr int MaxAuthChallenges = 20;
    // Interim answers ("100 Continue") taken before the real one.
    static constexpr int MaxInterimAnswers = 5;
    // What the server must send within Timeout for the request to go on.
    static constexpr int ProgressBytes = 1024;

private:
    struct Target {
        QString protocol;
        QString user;
        QString password;
        QString host;
        QString port;
        QString path;
    };
    // Who the request's credentials were given for; sent nowhere else.
    struct Credentials {
        QString user;
        QString password;
        QString protocol;
        QString host;
        QString port;
    };
    static Target parseUrl(const QString& address);
    static Credentials credentialsFor(const Target& target, const QString& user,
                                      const QString& password);
    bool credentialsApply() const;
    static QString documentName(const QString& path);

    void startRequest(THttpRequest kind);
    void beginRequest();
    void resetAnswer();
    void login();
    bool waitUntilReady(); // false when the client was destroyed meanwhile
    void changeState(THttpState state);
    void setReady();
    void post(void (THttpClient::*message)());
    void readyMessage();
    void fail(const QString& reason);
    void refuseRequest(const QString& reason);
    void stopRequest(const QString& reason, int error);

    void startProgressClock();
    void noteReceived(int count);
    void progressTimerFired();

    void socketDnsLookupDone(int error);
    void socketSessionConnected(int error);
    void socketDataAvailable(int error);
    void socketSessionClosed(int error);
    void socketBackgroundException(const std::exception& failure, bool& canClose);
    void sessionClosed(int error);
    bool reusableConnection() const;
    void dropConnection();

    void sendRequest();
    QStringList requestLines(const QString& method);

    void discardReceived();
    void readBody();
    void cutLines();
    void passBufferedBody();
    void headerLine(const QByteArray& line, int rawLength);
    void countHeaderLine(int rawLength, bool empty);
    void headerField(const QString& name, const QString& value);
    void statusLine(const QString& line);
    void headerEnded();
    bool answerHasBody() const;
    void adjustDocName();
    void bodyReceived(const char* data, qint64 length);
    void chunkedBodyReceived(const char* data, qint64 length);
    void bodyData(const char* data, qint64 length);
    void bodyEnded();
    void documentEnded();

    void relocate(const QString& value);
    void relocationAtHeaderEnd();
    void relocationReconnect();
    QString hostAndPort() const;

    TAsyncSocket m_socket;
    QString m_requestVer = QStringLiteral("1.0");
    THttpState m_state = httpReady;
    THttpRequest m_kind = httpGET;
    int m_statusCode = 0;
    QString m_reasonPhrase;
    QString m_answerVersion;
    qint64 m_contentLength = -1;
    QString m_contentType;
    QString m_location;
    QString m_docName;
    QStringList m_receivedHeader;
    QStringList m_authChallenges;
    qint64 m_receivedCount = 0;
    int m_requestDoneError = 0;

    Target m_target; // what the current request asks for
    Credentials m_credentials;
    QString m_connectionHost; // where the open connection goes
    QString m_connectionPort;
    QString m_connectionProtocol;
    bool m_reusable = false; // the open connection may carry the next request

    quint64 m_generation = 0; // posted messages of an older request are stale
    bool m_headerInProgress = false;
    bool m_firstHeaderLine = true;
    bool m_answerComplete = false;
    bool m_serverKeepsOpen = true;
    bool m_locationSeen = false;
    bool m_relocationPending = false;
    bool m_docBegun = false;
    bool m_failed = false;
    bool m_droppingConnection = false;
    bool m_waitingOnReusedConnection = false; // nothing has come back on it yet
    int m_relocations = 0;
    int m_interimAnswers = 0;
    int m_headerSize = 0; // of the answer's header so far
    int m_headerLines = 0;
    bool m_chunked = false;
    http::ChunkedDecoder m_chunks{MaxHeaderSize, MaxHeaderLines};
    QTimer m_progressTimer;
    QElapsedTimer m_sinceProgress;
    int m_bytesSinceProgress = 0;
    QString m_failureReason;
    QEventLoop* m_waitLoop = nullptr;

    QByteArray m_received; // unparsed answer data, ReceiveBufferSize at most
    int m_receivedLength = 0;
    std::vector<char> m_bodyBuffer;
};
