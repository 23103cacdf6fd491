#pragma once

#include <QLoggingCategory>

// Trace categories, silent below warnings unless switched on with
// QT_LOGGING_RULES (for example "dunvex.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcSocket)
Q_DECLARE_LOGGING_CATEGORY(lcHost)
Q_DECLARE_LOGGING_CATEGORY(lcLaunch)
Q_DECLARE_LOGGING_CATEGORY(lcChat)
