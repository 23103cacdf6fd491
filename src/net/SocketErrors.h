#pragma once

#include <QString>

namespace net {

// Socket failures are reported with the classic WinSock error numbers and
// names ("Error #10061 (WSAECONNREFUSED)"), which players and the lobby know.

// The WinSock number for a platform errno value. Values with no WinSock
// counterpart come out as 10900 + errno, which has no name.
int winsockErrorCode(int platformError);

// The WinSock number for a getaddrinfo() failure (EAI_*).
int lookupErrorCode(int result);

// The symbolic name of a WinSock error number, or "UNKNOWN ERROR".
QString winsockErrorName(int code);

// "Error #<code> (<name>)".
QString winsockErrorText(int code);

} // namespace net
