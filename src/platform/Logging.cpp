#include "platform/Logging.h"

Q_LOGGING_CATEGORY(lcSocket, "dunvex.socket", QtWarningMsg)
Q_LOGGING_CATEGORY(lcHost, "dunvex.host", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLaunch, "dunvex.launch", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChat, "dunvex.chat", QtWarningMsg)
