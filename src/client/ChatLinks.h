#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace client {

// A web link inside a line of chat text: http://, https:// or www. only.
struct ChatLink {
    qsizetype start = 0;
    qsizetype length = 0;
};

// The link under character `position` of `text`, if any. The word under the
// pointer is the run of characters around it without blanks or line breaks;
// the link starts at the first of the known prefixes found in it and ends at
// the word's end, less trailing characters that cannot end an address.
std::optional<ChatLink> findLink(const QString& text, qsizetype position);

// Every link in a line, in order.
std::vector<ChatLink> findLinks(const QString& text);

} // namespace client
