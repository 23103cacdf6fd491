// WinSock error numbers and names for platform errors.
#include "net/SocketErrors.h"

#include <cerrno>
#include <gtest/gtest.h>

using namespace net;

TEST(SocketErrors, PlatformErrorsMapToWinSockNumbers) {
    EXPECT_EQ(winsockErrorCode(ECONNREFUSED), 10061);
    EXPECT_EQ(winsockErrorCode(ECONNRESET), 10054);
    EXPECT_EQ(winsockErrorCode(ETIMEDOUT), 10060);
    EXPECT_EQ(winsockErrorCode(EHOSTUNREACH), 10065);
    EXPECT_EQ(winsockErrorCode(EADDRINUSE), 10048);
    EXPECT_EQ(winsockErrorCode(EWOULDBLOCK), 10035);
    EXPECT_EQ(winsockErrorCode(EINTR), 10004);
    // Without a counterpart: a number that has no name.
    EXPECT_EQ(winsockErrorName(winsockErrorCode(ENOMEM)), "UNKNOWN ERROR");
}

TEST(SocketErrors, NamesCoverTheTableAndNothingElse) {
    EXPECT_EQ(winsockErrorText(10061), "Error #10061 (WSAECONNREFUSED)");
    EXPECT_EQ(winsockErrorName(10093), "WSANOTINITIALISED");
    EXPECT_EQ(winsockErrorName(11001), "WSAHOST_NOT_FOUND");
    EXPECT_EQ(winsockErrorName(11004), "WSANO_DATA");
    EXPECT_EQ(winsockErrorName(10101), "WSAEDISCON");
    for (int code = 10035; code <= 10071; ++code)
        EXPECT_NE(winsockErrorName(code), "UNKNOWN ERROR") << code;
    for (int code : {10000, 10001, 10034, 10072, 10090, 10094, 10107, 11000, 11005})
        EXPECT_EQ(winsockErrorName(code), "UNKNOWN ERROR") << code;
    EXPECT_EQ(winsockErrorText(10107), "Error #10107 (UNKNOWN ERROR)");
}
