#pragma once

#include <QString>
#include <stdexcept>

namespace platform {

// Raised when a text that should be a whole number is not one.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict decimal conversion: an optional sign and digits, nothing else, within
// the range of a 32-bit signed integer. Anything else raises EConvertError
// with the text "'<text>' is not a valid integer value".
int StrToInt(const QString& text);

} // namespace platform
