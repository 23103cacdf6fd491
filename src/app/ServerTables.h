#pragma once

#include "game/RandomGenerator.h"
#include "host/HostPolicy.h"
#include "host/ServerForm.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The tables of one dunvex-server process: each its own host, exactly the
// game a lone server runs (nine slots, turns, computer players, limits and
// dice of its own), on ports P to P + N - 1, all in the one event loop. They
// share nothing but the thread and the strategy tables, which are worked out
// once per process and only read afterwards.
class TServerTables {
public:
    static constexpr int MaxTables = 1000;
    // The most descriptors one table holds: nine slots, a refused tenth and
    // its listener.
    static constexpr int DescriptorsPerTable = 11;

    struct Settings {
        QString portName = QStringLiteral("7772"); // a lone table's, as given
        int firstPort = 7772;                      // of several tables: a number
        int count = 1;
        std::uint32_t seed = 0; // table 0's; the others' follow from it
        int botSpeed = 1000;
        TServer::BotSkill botSkill = TServer::BotSkill::Classic;
        THostPolicy policy;
    };
    // Where a line about one table goes: the tag names the table ("port
    // 7773:") when there are several, and is empty for a lone table.
    using LogSink = std::function<void(const QString& tag, bool warning, const QString& text)>;

    // Table i's dice seed: table 0 plays as a lone server with the same seed,
    // the others step by 2^32 / golden ratio, so that no two tables of a
    // process, nor of neighbouring seeds, roll alike.
    static std::uint32_t tableSeed(std::uint32_t seed, int table) {
        return seed + std::uint32_t(table) * 0x9E3779B9u;
    }

    TServerTables(const Settings& settings, LogSink log);
    ~TServerTables();

    // Listens on every table's port; throws, naming the port, if one fails
    // (the ones already open close with the tables).
    void listen();

    int count() const { return int(m_tables.size()); }
    QString portName(int table) const;
    QString tag(int table) const;

private:
    struct Table {
        TRandomGenerator random;
        TServer server;
    };

    void logRoster(int table);

    Settings m_settings;
    LogSink m_log;
    std::vector<std::unique_ptr<Table>> m_tables;
};
