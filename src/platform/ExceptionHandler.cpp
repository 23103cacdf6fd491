#include "platform/ExceptionHandler.h"

#include <QtGlobal>

namespace platform {

namespace {

ExceptionHandler& installedHandler() {
    static ExceptionHandler handler;
    return handler;
}

} // namespace

void setExceptionHandler(ExceptionHandler handler) {
    installedHandler() = std::move(handler);
}

void handleException(const std::exception& error) {
    if (installedHandler())
        installedHandler()(error);
    else
        qWarning("%s", error.what());
}

} // namespace platform
