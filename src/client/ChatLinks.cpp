#include "client/ChatLinks.h"

#include <array>

namespace client {

namespace {

// Web pages only: a link another player typed must not open a local file or
// another program. "https://" goes first: "www." would cut it short.
constexpr std::array<const char*, 3> Prefixes = {"https://", "http://", "www."};

bool isBreak(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

bool canEndLink(QChar c) {
    return c == QLatin1Char('/') || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

} // namespace

std::optional<ChatLink> findLink(const QString& text, qsizetype position) {
    if (position < 0 || position >= text.size() || isBreak(text[position]))
        return std::nullopt;
    qsizetype wordStart = position;
    while (wordStart > 0 && !isBreak(text[wordStart - 1]))
        --wordStart;
    qsizetype wordEnd = position;
    while (wordEnd < text.size() && !isBreak(text[wordEnd]))
        ++wordEnd;
    const QString word = text.mid(wordStart, wordEnd - wordStart).toLower();

    for (const char* prefix : Prefixes) {
        const qsizetype found = word.indexOf(QLatin1String(prefix));
        if (found < 0)
            continue;
        qsizetype end = word.size();
        while (end > found && !canEndLink(word[end - 1]))
            --end;
        const qsizetype length = end - found;
        if (length <= qsizetype(qstrlen(prefix)))
            return std::nullopt;
        return ChatLink{wordStart + found, length};
    }
    return std::nullopt;
}

std::vector<ChatLink> findLinks(const QString& text) {
    std::vector<ChatLink> links;
    qsizetype at = 0;
    while (at < text.size()) {
        if (isBreak(text[at])) {
            ++at;
            continue;
        }
        if (const auto link = findLink(text, at))
            links.push_back(*link);
        while (at < text.size() && !isBreak(text[at]))
            ++at;
    }
    return links;
}

} // namespace client
