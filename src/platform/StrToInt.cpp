#include "platform/StrToInt.h"

namespace platform {

int StrToInt(const QString& text) {
    bool ok = false;
    int value = 0;
    const bool wellFormed = !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace();
    if (wellFormed)
        value = text.toInt(&ok, 10);
    if (!ok)
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return value;
}

} // namespace platform
