#include "http/HttpClient.h"

#include "platform/ExceptionHandler.h"
#include "platform/StrToInt.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QIODevice>
#include <QLocale>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cstring>

namespace {

// Body data goes straight from the network to the application in pieces
// this large; header lines never need more than ReceiveBufferSize.
constexpr qsizetype BodyBufferSize = 256 * 1024;

// Protocol names are compared without regard to case: "HTTP://" is "http://".
bool isProtocolText(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                             (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                             (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                             c == QLatin1Char('+') || c == QLatin1Char('-') ||
                             c == QLatin1Char('.');
        if (!allowed)
            return false;
    }
    return true;
}

bool isSupportedProtocol(const QString& protocol) {
    return protocol == QLatin1String("http") || protocol == QLatin1String("https");
}

QString defaultPort(const QString& protocol) {
    return protocol == QLatin1String("https") ? QStringLiteral("443") : QStringLiteral("80");
}

// The scheme of an absolute address ("HTTP" of "HTTP://host/"), empty for a
// relative one.
QString schemeOf(const QString& address) {
    for (qsizetype i = 0; i < address.size(); ++i) {
        const QChar c = address[i];
        if (c == QLatin1Char(':'))
            return address.left(i);
        const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        const bool other = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.');
        if (!letter && (i == 0 || !other))
            return {};
    }
    return {};
}

// A relocation address goes into the next request line as it stands.
bool hasControlCharacter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

// Empty, or plain decimal digits: what a byte position may be.
bool isBytePosition(const QString& text) {
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

bool isRelocationStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A content length from the network: plain decimal digits only.
qint64 contentLengthValue(const QString& text) {
    const QString trimmed = text.trimmed();
    bool valid = !trimmed.isEmpty() && trimmed.size() <= 18;
    for (const QChar c : trimmed)
        valid = valid && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!valid)
        throw platform::EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(trimmed).toStdString());
    return trimmed.toLongLong();
}

QString basicCredentials(const QString& user, const QString& password) {
    return QString::fromLatin1((user + QLatin1Char(':') + password).toUtf8().toBase64());
}

QString httpDate(const QDateTime& when) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::asprintf("%s, %2.2d %s %4.4d %2.2d:%2.2d:%2.2d", days[date.dayOfWeek() - 1],
                             date.day(), months[date.month() - 1], date.year(), time.hour(),
                             time.minute(), time.second());
}

} // namespace

THttpClient::THttpClient(QObject* owner)
    : QObject(owner)
    , m_socket(this)
    , m_received(ReceiveBufferSize + 1, '\0') {
    m_socket.OnDnsLookupDone = [this](TAsyncSocket*, int error) { socketDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TAsyncSocket*, int error) {
        socketSessionConnected(error);
    };
    m_socket.OnDataAvailable = [this](TAsyncSocket*, int error) { socketDataAvailable(error); };
    m_socket.OnSessionClosed = [this](TAsyncSocket*, int error) { socketSessionClosed(error); };
    m_socket.OnError = [this](TAsyncSocket*, const QString& message, int error) {
        if (OnSocketError)
            OnSocketError(this, message, error);
    };
    m_socket.OnBackgroundException = [this](TAsyncSocket*, const std::exception& failure,
                                            bool& canClose) {
        socketBackgroundException(failure, canClose);
    };
    m_progressTimer.setSingleShot(true);
    connect(&m_progressTimer, &QTimer::timeout, this,
            [this] { platform::runGuarded([this] { progressTimerFired(); }); });
}

THttpClient::~THttpClient() {
    m_socket.OnSessionClosed = nullptr;
    if (m_waitLoop)
        m_waitLoop->quit();
}

void THttpClient::setRequestVer(const QString& version) {
    if (version == m_requestVer)
        return;
    if (version != QLatin1String("1.0") && version != QLatin1String("1.1"))
        throw EHttpException(QStringLiteral("Insupported HTTP version"), 5);
    m_requestVer = version;
}

// ---------------------------------------------------------------- requests

void THttpClient::Get() {
    startRequest(httpGET);
    // Nothing of a client destroyed during the wait may be touched.
    if (!waitUntilReady())
        throw EHttpException(QStringLiteral("Request aborted"), 404);
    if (m_statusCode >= 400)
        throw EHttpException(m_reasonPhrase, m_statusCode);
}

void THttpClient::startRequest(THttpRequest kind) {
    if (m_state != httpReady)
        throw EHttpException(QStringLiteral("HTTP component is busy"), 1);
    m_kind = kind;
    m_relocations = 0;
    m_location = URL;
    m_credentials = credentialsFor(parseUrl(URL), Username, Password);
    beginRequest();
}

void THttpClient::resetAnswer() {
    m_receivedHeader.clear();
    m_authChallenges.clear();
    m_statusCode = 0;
    m_reasonPhrase.clear();
    m_answerVersion.clear();
    m_receivedCount = 0;
    m_contentLength = -1;
    m_contentType.clear();
    m_headerInProgress = false;
    m_firstHeaderLine = true;
    m_answerComplete = false;
    m_serverKeepsOpen = true;
    m_locationSeen = false;
    m_relocationPending = false;
    m_docBegun = false;
    m_receivedLength = 0;
    m_headerSize = 0;
    m_headerLines = 0;
    m_chunked = false;
}

// Starts the request for m_location: on the open connection when it can
// carry it, else over a new one.
void THttpClient::beginRequest() {
    ++m_generation;
    resetAnswer();
    m_requestDoneError = 0;
    m_failed = false;
    m_failureReason.clear();
    m_waitingOnReusedConnection = false;
    m_interimAnswers = 0;
    startProgressClock();
    m_target = parseUrl(m_location);
    if (!isSupportedProtocol(m_target.protocol))
        return refuseRequest(QStringLiteral("Unsupported protocol"));
    if (m_target.path.isEmpty())
        m_target.path = QStringLiteral("/");
    if (!m_target.user.isEmpty())
        m_credentials = credentialsFor(m_target, m_target.user, m_target.password);
    m_docName = documentName(m_target.path);

    if (reusableConnection()) {
        m_reusable = false;
        m_waitingOnReusedConnection = true;
        return sendRequest();
    }
    dropConnection();
    changeState(httpNotConnected);
    login();
}

bool THttpClient::reusableConnection() const {
    return m_reusable && m_socket.State() == asConnected &&
           m_connectionHost.compare(m_target.host, Qt::CaseInsensitive) == 0 &&
           m_connectionPort == m_target.port && m_connectionProtocol == m_target.protocol;
}

// Ends the open connection without its close reaching the request.
void THttpClient::dropConnection() {
    m_reusable = false;
    if (m_socket.State() == asClosed || m_socket.State() == asInvalidState)
        return;
    m_droppingConnection = true;
    m_socket.Abort();
    m_droppingConnection = false;
}

void THttpClient::login() {
    changeState(httpDnsLookup);
    m_socket.LocalAddr = LocalAddr;
    try {
        m_socket.DnsLookup(m_target.host);
    } catch (const std::exception& failure) {
        fail(QString::fromStdString(failure.what()));
        changeState(httpReady);
    }
}

bool THttpClient::waitUntilReady() {
    if (m_state == httpReady)
        return true;
    QEventLoop loop;
    m_waitLoop = &loop;
    QPointer<THttpClient> alive(this);
    loop.exec(MultiThreaded ? QEventLoop::ExcludeUserInputEvents : QEventLoop::AllEvents);
    if (!alive)
        return false;
    m_waitLoop = nullptr;
    // The loop also ends when the application quits: the request goes with it.
    if (m_state != httpReady)
        Abort();
    return true;
}

// ---------------------------------------------------------------- state

void THttpClient::changeState(THttpState state) {
    if (state == m_state)
        return;
    m_state = state;
    if (state == httpReady) {
        m_progressTimer.stop();
        if (m_waitLoop)
            m_waitLoop->quit();
        const THttpRequest kind = m_kind;
        const int error = m_requestDoneError;
        QMetaObject::invokeMethod(
            this,
            [this, kind, error] {
                platform::runGuarded([&] {
                    if (OnRequestDone)
                        OnRequestDone(this, kind, error);
                });
            },
            Qt::QueuedConnection);
    }
    if (OnStateChange)
        OnStateChange(this);
}

void THttpClient::setReady() {
    post(&THttpClient::readyMessage);
}

void THttpClient::readyMessage() {
    changeState(httpReady);
}

// A message to the client itself, dropped when the request it belongs to
// has ended meanwhile.
void THttpClient::post(void (THttpClient::*message)()) {
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, message, generation] {
            if (generation == m_generation)
                platform::runGuarded([&] { (this->*message)(); });
        },
        Qt::QueuedConnection);
}

// The first failure of a request is the one reported.
void THttpClient::fail(const QString& reason) {
    if (m_failed)
        return;
    m_failed = true;
    m_statusCode = 404;
    m_reasonPhrase = reason;
}

// A request that never goes out.
void THttpClient::refuseRequest(const QString& reason) {
    dropConnection();
    changeState(httpNotConnected);
    fail(reason);
    changeState(httpReady);
}

void THttpClient::Abort() {
    if (m_state == httpReady) {
        dropConnection();
        m_statusCode = 200;
        m_reasonPhrase = QStringLiteral("OK");
        m_requestDoneError = 0;
        m_state = httpReady;
        if (OnStateChange)
            OnStateChange(this);
        if (OnRequestDone)
            OnRequestDone(this, m_kind, 0);
        return;
    }
    stopRequest(QStringLiteral("Connection aborted on request"), 3);
}

// Ends the running request at once, whatever it waits for.
void THttpClient::stopRequest(const QString& reason, int error) {
    const bool lookupRunning = m_state == httpDnsLookup;
    ++m_generation;
    changeState(httpAborting);
    if (lookupRunning)
        m_socket.CancelDnsLookup();
    fail(reason);
    m_requestDoneError = error;
    m_relocationPending = false;
    m_locationSeen = false;
    if (lookupRunning)
        sessionClosed(0);
    else
        m_socket.Close();
    changeState(httpReady);
}

// ---------------------------------------------------------------- time limit

void THttpClient::startProgressClock() {
    m_bytesSinceProgress = 0;
    m_sinceProgress.start();
    if (Timeout > 0)
        m_progressTimer.start(Timeout * 1000);
    else
        m_progressTimer.stop();
}

// Counted per byte, restarted per ProgressBytes: a server dripping a byte
// now and then does not keep the request alive.
void THttpClient::noteReceived(int count) {
    m_bytesSinceProgress += count;
    if (m_bytesSinceProgress < ProgressBytes)
        return;
    m_bytesSinceProgress = 0;
    m_sinceProgress.restart();
}

// The timer is not restarted per read, only checked when it runs out.
void THttpClient::progressTimerFired() {
    if (m_state == httpReady || Timeout <= 0)
        return;
    const qint64 left = qint64(Timeout) * 1000 - m_sinceProgress.elapsed();
    if (left > 0)
        return m_progressTimer.start(int(left));
    stopRequest(QStringLiteral("The server stopped answering"), 10060);
}

// ---------------------------------------------------------------- socket events

void THttpClient::socketDnsLookupDone(int error) {
    if (m_state != httpDnsLookup)
        return;
    if (error != 0) {
        m_requestDoneError = error;
        fail(QStringLiteral("can't resolve hostname to IP address"));
        return sessionClosed(0);
    }
    changeState(httpDnsLookupDone);
    m_socket.Addr = m_socket.DnsResult();
    m_socket.LocalAddr = LocalAddr;
    m_socket.Port = m_target.port;
    m_socket.Proto = QStringLiteral("tcp");
    m_socket.Tls = m_target.protocol == QLatin1String("https");
    m_socket.TlsServerName = m_target.host;
    m_socket.TlsCaFile = CaFile;
    m_connectionHost = m_target.host;
    m_connectionPort = m_target.port;
    m_connectionProtocol = m_target.protocol;
    try {
        m_socket.Connect();
    } catch (const std::exception&) {
        // Reported through OnSocketError; the state below tells the outcome.
    }
    if (m_socket.State() == asConnecting || m_socket.State() == asConnected)
        return;
    const int failure = m_socket.LastError();
    m_requestDoneError = failure;
    fail(QStringLiteral("can't connect: %1 (Error #%2)")
             .arg(TAsyncSocket::errorDescription(failure))
             .arg(failure));
    m_socket.Close();
    sessionClosed(0);
}

void THttpClient::socketSessionConnected(int error) {
    if (error != 0) {
        m_requestDoneError = error;
        if (!m_socket.TlsFailure().isEmpty())
            fail(m_socket.TlsFailure()); // named first, so it is the one reported
        fail(
            QStringLiteral("%1 (Error #%2)").arg(TAsyncSocket::errorDescription(error)).arg(error));
        return sessionClosed(0);
    }
    changeState(httpConnected);
    if (OnSessionConnected)
        OnSessionConnected(this);
    if (m_state == httpConnected)
        sendRequest();
}

void THttpClient::socketSessionClosed(int error) {
    // A secure session cut short is a failed request, even when the answer
    // had no length and a close would otherwise end it.
    if (error != 0 && m_failureReason.isEmpty())
        m_failureReason = m_socket.TlsFailure();
    if (!m_droppingConnection)
        sessionClosed(error);
}

// A failure while the socket handled its events (our own data handling
// included): remember why, so the request ends with that reason.
void THttpClient::socketBackgroundException(const std::exception& failure, bool& canClose) {
    if (m_failureReason.isEmpty())
        m_failureReason = QString::fromStdString(failure.what());
    if (m_socket.State() == asConnected || m_socket.State() == asConnecting)
        return; // the abort that follows ends the request
    canClose = false;
    if (m_state != httpReady) {
        fail(m_failureReason);
        m_answerComplete = true;
        setReady();
    }
}

void THttpClient::sessionClosed(int error) {
    if (error != 0)
        m_requestDoneError = error;
    m_reusable = false;
    if (m_state == httpReady)
        return; // an idle connection ended
    if (m_answerComplete)
        return setReady();
    if (m_relocationPending)
        return relocationReconnect();
    if (std::exchange(m_waitingOnReusedConnection, false) && m_state == httpWaitingHeader &&
        !m_failed && m_failureReason.isEmpty()) {
        // The server closed the kept connection as the request went out: it
        // had not really kept it open. Once more, on a new connection.
        ++m_generation;
        return post(&THttpClient::beginRequest);
    }
    const bool headerUnfinished = m_headerInProgress || m_state == httpWaitingHeader;
    if (m_headerInProgress) {
        m_headerInProgress = false;
        if (OnHeaderEnd)
            OnHeaderEnd(this);
    }
    if (headerUnfinished) {
        if (m_locationSeen && m_state != httpAborting && m_failureReason.isEmpty())
            return relocationAtHeaderEnd();
        fail(m_failureReason.isEmpty()
                 ? QStringLiteral("Connection closed before the end of the answer's header")
                 : m_failureReason);
        return setReady();
    }
    // Only an orderly close ends a document of unknown length; a chunked one
    // ends with its last chunk.
    const bool readingBody = m_state == httpWaitingBody && m_statusCode < 400;
    const bool shortBody =
        readingBody && (m_chunked || (m_contentLength >= 0 && m_receivedCount < m_contentLength));
    documentEnded();
    if (!m_failureReason.isEmpty())
        fail(m_failureReason);
    else if (readingBody && error != 0)
        fail(QStringLiteral("Connection lost before the end of the document: %1 (Error #%2)")
                 .arg(TAsyncSocket::errorDescription(error))
                 .arg(error));
    else if (shortBody)
        fail(QStringLiteral("Connection closed before the end of the document"));
    setReady();
}

// ---------------------------------------------------------------- request header

void THttpClient::sendRequest() {
    changeState(httpWaitingHeader);
    m_receivedLength = 0;
    if (OnRequestHeaderBegin)
        OnRequestHeaderBegin(this);
    const QString method = m_kind == httpHEAD ? QStringLiteral("HEAD") : QStringLiteral("GET");
    QStringList lines = requestLines(method);
    AcceptRanges.clear();
    if (OnBeforeHeaderSend)
        OnBeforeHeaderSend(this, method, lines);

    QByteArray header;
    for (QString& line : lines) {
        if (OnCommand)
            OnCommand(this, line);
        header += line.toUtf8();
        header += "\r\n";
    }
    if (OnRequestHeaderEnd)
        OnRequestHeaderEnd(this);
    QString empty;
    if (OnCommand)
        OnCommand(this, empty);
    header += empty.toUtf8();
    header += "\r\n";
    if (m_socket.State() == asConnected)
        m_socket.Send(header.constData(), int(header.size()));
}

QStringList THttpClient::requestLines(const QString& method) {
    QStringList lines{method + QLatin1Char(' ') + m_target.path + QStringLiteral(" HTTP/") +
                      m_requestVer};
    const auto add = [&lines](const char* name, const QString& value) {
        if (!value.isEmpty())
            lines.append(QString::fromLatin1(name) + value);
    };
    add("From: ", Sender);
    add("Accept: ", Accept);
    add("Referer: ", Reference);
    add("Connection: ", Connection);
    add("Accept-Language: ", AcceptLanguage);
    add("User-Agent: ", Agent);
    lines.append(QStringLiteral("Host: ") + m_target.host);
    if (NoCache)
        lines.append(QStringLiteral("Pragma: no-cache"));
    if (ModifiedSince.isValid())
        lines.append(QStringLiteral("If-Modified-Since: ") + httpDate(ModifiedSince) +
                     QStringLiteral(" GMT"));
    if (credentialsApply())
        lines.append(QStringLiteral("Authorization: Basic ") +
                     basicCredentials(m_credentials.user, m_credentials.password));
    add("Cookie: ", Cookie);
    if (!ContentRangeBegin.isEmpty() || !ContentRangeEnd.isEmpty()) {
        lines.append(QStringLiteral("Range: bytes=") + ContentRangeBegin + QLatin1Char('-') +
                     ContentRangeEnd);
        ContentRangeBegin.clear();
        ContentRangeEnd.clear();
    }
    return lines;
}

// ---------------------------------------------------------------- receiving

void THttpClient::socketDataAvailable(int) {
    if (m_state != httpWaitingHeader && m_state != httpWaitingBody)
        return discardReceived();
    if (m_state == httpWaitingBody && m_receivedLength == 0)
        return readBody();
    if (m_receivedLength >= ReceiveBufferSize)
        throw EHttpException(QStringLiteral("HTTP line too long"), 4);
    const int count = m_socket.Receive(m_received.data() + m_receivedLength,
                                       ReceiveBufferSize - m_receivedLength);
    if (count <= 0)
        return;
    noteReceived(count);
    m_receivedLength += count;
    m_waitingOnReusedConnection = false;
    if (m_state == httpWaitingBody)
        return passBufferedBody();
    cutLines();
}

// Data nobody asked for (after the end of a document, or on an idle
// connection) is dropped, and the connection is not used again.
void THttpClient::discardReceived() {
    if (m_bodyBuffer.empty())
        m_bodyBuffer.resize(BodyBufferSize);
    if (m_socket.Receive(m_bodyBuffer.data(), int(m_bodyBuffer.size())) > 0)
        m_reusable = false;
}

void THttpClient::readBody() {
    if (m_bodyBuffer.empty())
        m_bodyBuffer.resize(BodyBufferSize);
    qint64 wanted = qint64(m_bodyBuffer.size());
    if (m_contentLength >= 0)
        wanted = std::min(wanted, m_contentLength - m_receivedCount);
    const int count = m_socket.Receive(m_bodyBuffer.data(), int(wanted));
    if (count <= 0)
        return;
    noteReceived(count);
    bodyReceived(m_bodyBuffer.data(), count);
}

void THttpClient::cutLines() {
    const quint64 generation = m_generation;
    int start = 0;
    while (m_state == httpWaitingHeader && !m_answerComplete) {
        const char* begin = m_received.constData() + start;
        const void* found = std::memchr(begin, '\n', size_t(m_receivedLength - start));
        if (!found)
            break;
        const int lineFeed = int(static_cast<const char*>(found) - m_received.constData());
        int end = lineFeed;
        if (end > start && m_received[end - 1] == '\r')
            --end;
        const QByteArray line(begin, end - start);
        const int lineStart = start;
        start = lineFeed + 1;
        headerLine(line, start - lineStart);
        if (generation != m_generation) {
            // The request moved on (a relocation, an abort): the rest of
            // this answer is never taken for the next one.
            m_receivedLength = 0;
            return;
        }
        if (m_state == httpWaitingBody && m_firstHeaderLine)
            start = lineStart; // an answer without header: this line is body
    }
    m_receivedLength -= start;
    std::memmove(m_received.data(), m_received.constData() + start, size_t(m_receivedLength));
    if (m_state != httpWaitingBody)
        return;
    if (m_receivedLength > 0)
        passBufferedBody();
    // An error answer's body is not worth waiting for.
    if (m_statusCode >= 400 && m_state == httpWaitingBody)
        m_socket.Close();
}

void THttpClient::passBufferedBody() {
    qint64 taken = m_receivedLength;
    if (m_contentLength >= 0)
        taken = std::min(taken, m_contentLength - m_receivedCount);
    const QByteArray piece(m_received.constData(), int(taken));
    m_receivedLength -= int(taken);
    std::memmove(m_received.data(), m_received.constData() + taken, size_t(m_receivedLength));
    bodyReceived(piece.constData(), taken);
}

// ---------------------------------------------------------------- answer header

// rawLength: the line as it came, its line end included.
void THttpClient::headerLine(const QByteArray& line, int rawLength) {
    if (!m_headerInProgress) {
        m_headerInProgress = true;
        if (OnHeaderBegin)
            OnHeaderBegin(this);
    }
    const QString text = QString::fromLatin1(line);
    if (m_firstHeaderLine && text.startsWith(QLatin1String("<HTML>"), Qt::CaseInsensitive)) {
        // No header at all: the answer is the page itself.
        m_headerInProgress = false;
        if (m_contentType.isEmpty())
            m_contentType = QStringLiteral("text/html");
        adjustDocName();
        changeState(httpWaitingBody);
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        return;
    }
    countHeaderLine(rawLength, text.isEmpty());
    if (text.isEmpty())
        return headerEnded();

    m_receivedHeader.append(text);
    if (m_firstHeaderLine) {
        m_firstHeaderLine = false;
        statusLine(text);
    } else if (const int colon = text.indexOf(QLatin1Char(':')); colon > 0) {
        QString value = text.mid(colon + 1);
        while (value.startsWith(QLatin1Char(' ')))
            value.remove(0, 1);
        headerField(text.left(colon).toLower(), value);
    }
    if (OnHeaderData)
        OnHeaderData(this);
}

// A server must not make the client keep an endless header.
void THttpClient::countHeaderLine(int rawLength, bool empty) {
    m_headerSize += rawLength;
    if (!empty)
        ++m_headerLines;
    if (m_headerSize > MaxHeaderSize || m_headerLines > MaxHeaderLines)
        throw EHttpException(QStringLiteral("The answer's header is too long"), 404);
}

// Anything but an HTTP/1.x status line is not an answer we can read.
void THttpClient::statusLine(const QString& line) {
    const bool known =
        line.startsWith(QLatin1String("HTTP/1.0")) || line.startsWith(QLatin1String("HTTP/1.1"));
    const QString code = line.mid(9, 3);
    bool numeric = code.size() == 3 && line.size() >= 12 && line[8] == QLatin1Char(' ');
    for (const QChar c : code)
        numeric = numeric && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!known || !numeric || code[0] == QLatin1Char('0'))
        throw EHttpException(QStringLiteral("Invalid HTTP status line"), 404);
    m_answerVersion = line.mid(5, 3);
    m_statusCode = code.toInt();
    m_reasonPhrase = line.mid(13);
    m_serverKeepsOpen = m_answerVersion == QLatin1String("1.1");
}

void THttpClient::headerField(const QString& name, const QString& value) {
    if (name == QLatin1String("location")) {
        // Only a relocation answer sends the request elsewhere.
        if (isRelocationStatus(m_statusCode))
            relocate(value);
    } else if (name == QLatin1String("content-length")) {
        // Two lengths would let a server frame the same bytes two ways.
        const qint64 length = contentLengthValue(value);
        if (m_contentLength >= 0 && length != m_contentLength)
            throw EHttpException(QStringLiteral("Conflicting Content-Length lines"), 404);
        m_contentLength = length;
    } else if (name == QLatin1String("transfer-encoding")) {
        if (m_chunked || value.trimmed().compare(QLatin1String("chunked"), Qt::CaseInsensitive))
            throw EHttpException(QStringLiteral("Unsupported transfer encoding"), 404);
        m_chunked = true;
    } else if (name == QLatin1String("content-range")) {
        const int dash = value.indexOf(QLatin1Char('-'));
        const int slash = value.indexOf(QLatin1Char('/'));
        const QString begin = value.mid(6, dash < 0 ? -1 : dash - 6);
        const QString end =
            dash < 0 ? QString() : value.mid(dash + 1, slash < 0 ? -1 : slash - dash - 1);
        // The range goes into the next request's header: only numbers, so a
        // server cannot put a line break or a header of its own there.
        if (isBytePosition(begin) && isBytePosition(end)) {
            ContentRangeBegin = begin;
            ContentRangeEnd = end;
        }
    } else if (name == QLatin1String("accept-ranges")) {
        AcceptRanges = value;
    } else if (name == QLatin1String("content-type")) {
        m_contentType = value.toLower();
    } else if (name == QLatin1String("www-authenticate")) {
        if (m_authChallenges.size() < MaxAuthChallenges)
            m_authChallenges.append(value);
    } else if (name == QLatin1String("connection")) {
        // HTTP/1.1 keeps the connection unless the server says otherwise.
        if (value.contains(QLatin1String("close"), Qt::CaseInsensitive))
            m_serverKeepsOpen = false;
    } else if (name == QLatin1String("set-cookie")) {
        bool accept = true;
        if (OnCookie)
            OnCookie(this, value, accept);
    }
}

void THttpClient::headerEnded() {
    if (m_answerVersion == QLatin1String("1.1") && m_statusCode >= 100 && m_statusCode < 200) {
        // "100 Continue" and its kind: the real answer follows. A server
        // sending them without end is not waited for.
        if (++m_interimAnswers > MaxInterimAnswers)
            throw EHttpException(QStringLiteral("Too many interim answers"), 404);
        m_receivedHeader.clear();
        m_firstHeaderLine = true;
        m_headerInProgress = false;
        m_headerSize = 0;
        m_headerLines = 0;
        m_contentLength = -1;
        m_chunked = false;
        return;
    }
    m_headerInProgress = false;
    if (m_locationSeen) {
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        return relocationAtHeaderEnd();
    }
    if (m_chunked) {
        // The chunks frame the document; a length beside them is not
        // trusted, nor is the connection after such an answer.
        if (m_contentLength >= 0)
            m_serverKeepsOpen = false;
        m_contentLength = -1;
        m_chunks.reset();
    }
    if (answerHasBody() && (m_chunked || m_contentLength != 0)) {
        adjustDocName();
        changeState(httpWaitingBody);
        if (OnHeaderEnd)
            OnHeaderEnd(this);
        return;
    }
    if (OnHeaderEnd)
        OnHeaderEnd(this);
    m_answerComplete = true;
    if (m_statusCode < 400 && m_serverKeepsOpen && m_requestVer == QLatin1String("1.1"))
        m_reusable = true;
    else
        m_socket.CloseDelayed();
    setReady();
}

// HEAD, interim, "204 No Content" and "304 Not Modified" answers end with
// their header, whatever they announce.
bool THttpClient::answerHasBody() const {
    return m_kind != httpHEAD && m_statusCode >= 200 && m_statusCode != 204 && m_statusCode != 304;
}

// A page saved under the name of a program or without extension is an .htm.
void THttpClient::adjustDocName() {
    if (m_contentType != QLatin1String("text/html"))
        return;
    const int dot = m_docName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : m_docName.mid(dot);
    if (extension.isEmpty() || extension.compare(QLatin1String(".exe"), Qt::CaseInsensitive) == 0)
        m_docName = m_docName.left(m_docName.size() - extension.size()) + QStringLiteral(".htm");
}

// ---------------------------------------------------------------- body

// A piece of what follows the header.
void THttpClient::bodyReceived(const char* data, qint64 length) {
    if (m_chunked)
        return chunkedBodyReceived(data, length);
    bodyData(data, length);
    if (m_receivedCount == m_contentLength && m_state == httpWaitingBody)
        bodyEnded();
}

// Whatever follows the last chunk is not read: the connection then ends.
void THttpClient::chunkedBodyReceived(const char* data, qint64 length) {
    const quint64 generation = m_generation;
    qint64 used = 0;
    const auto result = m_chunks.decode(data, length, used, [&](const char* piece, qint64 size) {
        // A handler may have ended the request meanwhile.
        if (generation == m_generation && m_state == httpWaitingBody)
            bodyData(piece, size);
    });
    if (generation != m_generation || m_state != httpWaitingBody)
        return;
    switch (result) {
    case http::ChunkedDecoder::Result::More:
        break;
    case http::ChunkedDecoder::Result::Finished:
        if (used < length)
            m_serverKeepsOpen = false;
        bodyEnded();
        break;
    case http::ChunkedDecoder::Result::Malformed:
        throw EHttpException(QStringLiteral("Malformed chunked document"), 404);
    case http::ChunkedDecoder::Result::TrailerTooLong:
        throw EHttpException(QStringLiteral("The answer's header is too long"), 404);
    }
}

void THttpClient::bodyData(const char* data, qint64 length) {
    if (!m_docBegun) {
        m_docBegun = true;
        if (OnDocBegin)
            OnDocBegin(this);
    }
    if (length > 0) {
        m_receivedCount += length;
        if (ReceiveStream && ReceiveStream->write(data, length) != length)
            throw EHttpException(
                QStringLiteral("Can't write the document: ") + ReceiveStream->errorString(), 404);
        if (OnDocData)
            OnDocData(this, data, length);
    }
}

void THttpClient::bodyEnded() {
    changeState(httpBodyReceived);
    documentEnded();
    m_answerComplete = true;
    const bool keep = m_answerVersion == QLatin1String("1.1") &&
                      m_requestVer == QLatin1String("1.1") && m_serverKeepsOpen &&
                      m_statusCode < 400;
    if (keep) {
        m_reusable = true;
        setReady();
    } else {
        // The close ends the request.
        m_socket.CloseDelayed();
    }
}

void THttpClient::documentEnded() {
    if (!m_docBegun)
        return;
    m_docBegun = false;
    if (OnDocEnd)
        OnDocEnd(this);
}

// ---------------------------------------------------------------- relocation

QString THttpClient::hostAndPort() const {
    if (m_target.port == defaultPort(m_target.protocol))
        return m_target.host;
    return m_target.host + QLatin1Char(':') + m_target.port;
}

// The new address is remembered at once; it is followed at the end of the
// header. The server's port stays with relative addresses.
void THttpClient::relocate(const QString& value) {
    // Nothing the server names is requested unless it is an address we
    // speak, and nothing of it may break the next request line.
    if (hasControlCharacter(value))
        throw EHttpException(QStringLiteral("Invalid relocation address"), 404);
    const QString scheme = schemeOf(value).toLower();
    if (!scheme.isEmpty() && !isSupportedProtocol(scheme))
        throw EHttpException(QStringLiteral("Unsupported protocol"), 404);
    if (m_target.protocol == QLatin1String("https") && scheme == QLatin1String("http"))
        throw EHttpException(QStringLiteral("Refused a relocation from https to http"), 404);
    m_locationSeen = true;
    const QString protocol =
        m_target.protocol.isEmpty() ? QStringLiteral("http") : m_target.protocol;
    if (value.startsWith(QLatin1Char('/'))) {
        m_target.path = value;
    } else if (scheme.isEmpty()) {
        QString base = m_target.path.left(m_target.path.indexOf(QLatin1Char('?')));
        const int cut =
            std::max(base.lastIndexOf(QLatin1Char('/')), base.lastIndexOf(QLatin1Char(':')));
        base = base.left(cut + 1);
        m_target.path = base + value;
    } else {
        m_target = parseUrl(value);
        if (m_target.path.isEmpty())
            m_target.path = QStringLiteral("/");
        QString user;
        if (!m_target.user.isEmpty())
            user = m_target.user + QLatin1Char(':') + m_target.password + QLatin1Char('@');
        m_location =
            m_target.protocol + QStringLiteral("://") + user + hostAndPort() + m_target.path;
        return;
    }
    m_location = protocol + QStringLiteral("://") + hostAndPort() + m_target.path;
}

void THttpClient::relocationAtHeaderEnd() {
    m_locationSeen = false;
    if (++m_relocations > MaxRelocations) {
        ++m_generation;
        fail(QStringLiteral("Too many relocations"));
        m_answerComplete = true;
        dropConnection();
        return setReady();
    }
    // The same connection carries the next request only when nothing of
    // this answer is left on it.
    const bool sameServer = m_connectionHost.compare(m_target.host, Qt::CaseInsensitive) == 0 &&
                            m_connectionPort == m_target.port &&
                            m_connectionProtocol == m_target.protocol;
    const bool keep = sameServer && m_answerVersion == QLatin1String("1.1") &&
                      m_requestVer == QLatin1String("1.1") && m_serverKeepsOpen &&
                      m_contentLength == 0 && m_socket.State() == asConnected;
    if (keep) {
        m_reusable = true;
        URL = m_location;
        if (OnLocationChange)
            OnLocationChange(this);
        ++m_generation;
        return post(&THttpClient::beginRequest);
    }
    m_relocationPending = true;
    if (m_socket.State() == asConnected)
        m_socket.Close(); // its close continues below
    else
        relocationReconnect();
}

void THttpClient::relocationReconnect() {
    m_relocationPending = false;
    m_location = m_location.left(m_location.indexOf(QLatin1Char('#')));
    if (OnLocationChange)
        OnLocationChange(this);
    ++m_generation;
    post(&THttpClient::beginRequest);
}

// ---------------------------------------------------------------- addresses

THttpClient::Target THttpClient::parseUrl(const QString& address) {
    Target target;
    target.protocol = QStringLiteral("http");
    target.port = QStringLiteral("80");
    QString rest = address;
    if (address.startsWith(QLatin1Char('/')) && !address.startsWith(QLatin1String("//"))) {
        target.path = address;
        return target;
    }
    const int separator = address.indexOf(QLatin1String("://"));
    if (separator > 0 && isProtocolText(address.left(separator))) {
        target.protocol = address.left(separator).toLower();
        target.port = defaultPort(target.protocol);
        rest = address.mid(separator + 3);
        if (target.protocol == QLatin1String("https"))
            target.port = QStringLiteral("443");
    }
    int hostEnd = rest.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?')})
        if (const int at = rest.indexOf(stop); at >= 0)
            hostEnd = std::min(hostEnd, at);
    target.path = rest.mid(hostEnd);
    QString hostPart = rest.left(hostEnd);
    if (const int at = hostPart.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = hostPart.left(at);
        const int colon = userInfo.indexOf(QLatin1Char(':'));
        target.user = userInfo.left(colon);
        target.password = colon < 0 ? QString() : userInfo.mid(colon + 1);
        hostPart = hostPart.mid(at + 1);
    }
    if (const int colon = hostPart.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        const QString port = hostPart.mid(colon + 1);
        if (!port.isEmpty())
            target.port = port;
        hostPart = hostPart.left(colon);
    }
    target.host = hostPart;
    return target;
}

THttpClient::Credentials THttpClient::credentialsFor(const Target& target, const QString& user,
                                                     const QString& password) {
    return {user, password, target.protocol, target.host, target.port};
}

// Credentials go to the server they were given for, never to one a
// relocation names.
bool THttpClient::credentialsApply() const {
    return !m_credentials.user.isEmpty() && m_credentials.protocol == m_target.protocol &&
           m_credentials.host.compare(m_target.host, Qt::CaseInsensitive) == 0 &&
           m_credentials.port == m_target.port;
}

QString THttpClient::documentName(const QString& path) {
    const QString file = path.left(path.indexOf(QLatin1Char('?')));
    const QString name = file.mid(file.lastIndexOf(QLatin1Char('/')) + 1).left(255);
    return name.isEmpty() ? QStringLiteral("document.htm") : name;
}
