#include "app/ServerTables.h"

#include <map>
#include <stdexcept>

TServerTables::TServerTables(const Settings& settings, LogSink log)
    : m_settings(settings)
    , m_log(std::move(log)) {
    m_tables.reserve(std::size_t(settings.count));
    for (int index = 0; index < settings.count; ++index) {
        auto table = std::make_unique<Table>();
        table->random.seed(tableSeed(settings.seed, index));
        TServer& server = table->server;
        server.setRandomGenerator(table->random);
        server.setTraceTag(tag(index));
        server.setBotSpeedSource([speed = settings.botSpeed] { return speed; });
        server.setBotSkillSource([skill = settings.botSkill] { return skill; });
        server.setPolicy(settings.policy);
        server.Sock1.setPortName(portName(index));
        m_tables.push_back(std::move(table));
        logRoster(index);
    }
}

TServerTables::~TServerTables() = default;

QString TServerTables::portName(int table) const {
    if (m_settings.count == 1)
        return m_settings.portName;
    return QString::number(m_settings.firstPort + table);
}

QString TServerTables::tag(int table) const {
    if (m_settings.count == 1)
        return QString();
    return QStringLiteral("port ") + portName(table) + QLatin1Char(':');
}

void TServerTables::listen() {
    for (int index = 0; index < count(); ++index) {
        try {
            m_tables[std::size_t(index)]->server.Sock1.setListen(true);
        } catch (const std::exception& error) {
            throw std::runtime_error(std::string(error.what()) + " (port " +
                                     portName(index).toStdString() + ")");
        }
    }
}

void TServerTables::logRoster(int table) {
    TServer& server = m_tables[std::size_t(table)]->server;
    const QString tableTag = tag(table);
    const LogSink log = m_log;
    // The address of each slot, for the lines that follow its arrival.
    auto addresses = std::make_shared<std::map<int, QString>>();
    const auto who = [addresses](int slot) {
        return (*addresses)[slot] + " slot " + QString::number(slot) + ": ";
    };
    QObject::connect(&server, &TServer::slotTaken, [=](int slot, const QString& address) {
        (*addresses)[slot] = address;
        log(tableTag, false, who(slot) + "arrived");
    });
    QObject::connect(&server, &TServer::loggedIn, [=](int slot, const QString& name) {
        log(tableTag, false, who(slot) + "login as " + name);
    });
    QObject::connect(&server, &TServer::slotFreed, [=](int slot, const QString& name) {
        log(tableTag, false,
            who(slot) + "departed" + (name.isEmpty() ? QString() : " (" + name + ")"));
    });
    QObject::connect(&server, &TServer::connectionDropped, [=](int slot, const QString& reason) {
        log(tableTag, true, who(slot) + "dropped: " + reason);
    });
    QObject::connect(&server, &TServer::connectionRefused,
                     [=](const QString& address, const QString& reason) {
                         log(tableTag, true, address + ": refused: " + reason);
                     });
    QObject::connect(&server, &TServer::acceptPaused, [=](const QString& reason, int milliseconds) {
        log(tableTag, true,
            "cannot accept a connection (" + reason + "); trying again in " +
                QString::number(milliseconds) + " ms");
    });
}
