#pragma once

#include <exception>
#include <functional>

namespace platform {

// The last stop for an exception that escapes an event handler, like a GUI
// framework's default error box. Qt must never see an exception unwind through
// its event loop, so every place that calls into handlers from the loop catches
// and hands the exception here. The program installs a handler that shows a box;
// without one the message goes to the log.
using ExceptionHandler = std::function<void(const std::exception&)>;

void setExceptionHandler(ExceptionHandler handler);
void handleException(const std::exception& error);

// Runs fn; an exception it throws goes to handleException.
template <typename Fn> void runGuarded(Fn&& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        handleException(error);
    }
}

} // namespace platform
