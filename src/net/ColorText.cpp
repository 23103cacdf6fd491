#include "net/ColorText.h"

#include <array>
#include <utility>

namespace net {

namespace {

using NamedColor = std::pair<const char*, TColor>;

constexpr std::array<NamedColor, 16> ColorNames{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
}};

// The desktop's own colours have no fixed value here; these are the classic
// defaults of a light desktop.
constexpr std::array<NamedColor, 8> SystemColorNames{{
    {"clNone", 0x1FFFFFFF},
    {"clBtnFace", 0xF0F0F0},
    {"clWindow", 0xFFFFFF},
    {"clWindowText", 0x000000},
    {"clHighlight", 0xD77800},
    {"clHighlightText", 0xFFFFFF},
    {"clGrayText", 0x6D6D6D},
    {"clInfoBk", 0xE1FFFF},
}};

} // namespace

QString ColorToString(TColor color) {
    for (const auto& [name, value] : ColorNames)
        if (value == color)
            return QString::fromLatin1(name);
    return QStringLiteral("$%1").arg(color, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<TColor> StringToColor(const QString& text) {
    if (text.startsWith(QLatin1Char('$'))) {
        const QString digits = text.mid(1);
        bool ok = false;
        const uint value = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8 || digits.front() == QLatin1Char('+') ||
            digits.front() == QLatin1Char('-'))
            return std::nullopt;
        return TColor(value);
    }
    for (const auto& [name, value] : ColorNames)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return value;
    for (const auto& [name, value] : SystemColorNames)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

} // namespace net
