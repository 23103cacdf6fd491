// dunvex-fetch: one GET through the game's own HTTP client, the document to
// a file or to standard output, progress on standard error.
#include "http/HttpClient.h"
#include "platform/StrToInt.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

const char* const Usage =
    "usage: dunvex-fetch URL [-o FILE] [--timeout S] [--cacert FILE]\n"
    "\n"
    "Fetches URL with an HTTP GET (relocations followed) and writes the\n"
    "document to FILE, or to standard output without -o. Progress goes to\n"
    "standard error. The fetch fails when the server sends less than 1 KiB\n"
    "in S seconds (default 30, 0 for no limit). Exit status 0 when the whole\n"
    "document arrived with a 2xx answer, 1 on any failure (no FILE is left\n"
    "behind then), 2 for bad arguments.\n"
    "\n"
    "An https server's certificate must be trusted by the system or by the\n"
    "CA certificates in the --cacert FILE (default: $DUNVEX_CA_FILE).\n";

struct Arguments {
    QString url;
    QString output; // empty: standard output
    int timeout = THttpClient::DefaultTimeout;
    QString caFile; // empty: the client's default
};

// Seconds, 0 or more; -1 when the text is not such a number.
int timeoutValue(const QString& text) {
    try {
        return std::max(platform::StrToInt(text), -1);
    } catch (const platform::EConvertError&) {
        return -1;
    }
}

// Empty url when the arguments are not usable.
Arguments parseArguments(const QStringList& words, bool& help) {
    Arguments arguments;
    for (int i = 1; i < words.size(); ++i) {
        const QString& word = words[i];
        if (word == QLatin1String("--help") || word == QLatin1String("-h")) {
            help = true;
        } else if (word == QLatin1String("-o") && i + 1 < words.size()) {
            arguments.output = words[++i];
        } else if (word == QLatin1String("--timeout") && i + 1 < words.size()) {
            arguments.timeout = timeoutValue(words[++i]);
            if (arguments.timeout < 0)
                return {};
        } else if (word == QLatin1String("--cacert") && i + 1 < words.size()) {
            arguments.caFile = words[++i];
        } else if (word.startsWith(QLatin1Char('-')) || !arguments.url.isEmpty()) {
            return {};
        } else {
            arguments.url = word;
        }
    }
    return arguments;
}

void printLine(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Progress on one line of standard error, a few times a second.
class Progress {
public:
    void update(qint64 received, qint64 total, bool force = false) {
        if (!force && m_shown.isValid() && m_shown.elapsed() < 250)
            return;
        m_shown.start();
        if (total >= 0)
            std::fprintf(stderr, "\rdunvex-fetch: %lld of %lld bytes (%d %%)",
                         static_cast<long long>(received), static_cast<long long>(total),
                         total > 0 ? int(received * 100 / total) : 100);
        else
            std::fprintf(stderr, "\rdunvex-fetch: %lld bytes", static_cast<long long>(received));
        m_open = true;
    }
    void endLine() {
        if (m_open)
            std::fputc('\n', stderr);
        m_open = false;
    }

private:
    QElapsedTimer m_shown;
    bool m_open = false;
};

// The reason a finished GET is not a complete document, or empty.
QString incompleteDocument(const THttpClient& http) {
    if (http.StatusCode() < 200 || http.StatusCode() > 299)
        return QStringLiteral("answer %1 %2").arg(http.StatusCode()).arg(http.ReasonPhrase());
    if (http.ContentLength() >= 0 && http.ReceivedCount() != http.ContentLength())
        return QStringLiteral("received %1 of %2 bytes")
            .arg(http.ReceivedCount())
            .arg(http.ContentLength());
    return {};
}

int fetch(const Arguments& arguments) {
    std::unique_ptr<QFileDevice> output;
    if (arguments.output.isEmpty()) {
        auto standardOutput = std::make_unique<QFile>();
        // Straight to the descriptor: no stdio buffer in between.
        standardOutput->open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
        output = std::move(standardOutput);
    } else {
        // Written beside the target and renamed at the end, so a failed
        // download leaves nothing behind.
        auto file = std::make_unique<QSaveFile>(arguments.output);
        file->setDirectWriteFallback(false);
        if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            printLine(QStringLiteral("dunvex-fetch: can't create %1: %2")
                          .arg(arguments.output, file->errorString()));
            return 1;
        }
        output = std::move(file);
    }

    THttpClient http;
    Progress progress;
    http.URL = arguments.url;
    http.Timeout = arguments.timeout;
    if (!arguments.caFile.isEmpty())
        http.CaFile = arguments.caFile;
    http.ReceiveStream = output.get();
    http.OnLocationChange = [&](THttpClient* sender) {
        progress.endLine();
        printLine(QStringLiteral("dunvex-fetch: relocated to %1").arg(sender->Location()));
    };
    http.OnDocData = [&](THttpClient* sender, const char*, qint64) {
        progress.update(sender->ReceivedCount(), sender->ContentLength());
    };

    // Ctrl+C or SIGTERM ends the download as failed, so nothing is left behind.
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
                     [&http] { http.Abort(); });

    QElapsedTimer clock;
    clock.start();
    QString failure;
    try {
        http.Get();
        failure = incompleteDocument(http);
    } catch (const std::exception& error) {
        failure = QString::fromStdString(error.what());
    }
    if (http.ReceivedCount() > 0)
        progress.update(http.ReceivedCount(), http.ContentLength(), true);
    progress.endLine();

    auto* file = dynamic_cast<QSaveFile*>(output.get());
    if (failure.isEmpty() && file && !file->commit())
        failure = QStringLiteral("can't write %1: %2").arg(arguments.output, file->errorString());
    if (!failure.isEmpty()) {
        if (file)
            file->cancelWriting();
        printLine(QStringLiteral("dunvex-fetch: failed: %1").arg(failure));
        return 1;
    }
    const double seconds = std::max<qint64>(clock.elapsed(), 1) / 1000.0;
    printLine(QStringLiteral("dunvex-fetch: %1 %2, %3 bytes in %4 s (%5 MB/s)")
                  .arg(http.StatusCode())
                  .arg(http.ReasonPhrase())
                  .arg(http.ReceivedCount())
                  .arg(seconds, 0, 'f', 3)
                  .arg(http.ReceivedCount() / seconds / 1e6, 0, 'f', 1));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    bool help = false;
    const Arguments arguments = parseArguments(QCoreApplication::arguments(), help);
    if (help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (arguments.url.isEmpty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    return fetch(arguments);
}
