// capacity: how many tables one dunvex-server process carries. K tables, each
// with four scripted players at a human pace (the player on turn makes a move
// every 2 s: roll, keep a die, roll, score; every player chats every 10 s) and
// five spectators, all from this one process over epoll on loopback. It
// reports the host's CPU over the measured window, its resident memory per
// table and how long a chat line takes from its sender to each other player
// and spectator of the table.
//
//   capacity --tables K [--seconds S] [--processes] [-- SERVER OPTIONS]
//
// --processes runs K lone dunvex-server processes (one table each) instead
// of one process with --tables K.
#include "net/WireProtocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <queue>
#include <random>
#include <sstream>
#include <string>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Seats = 4;
constexpr int Slots = 9;
constexpr char Terminator = char(0xFF);
constexpr double MoveSeconds = 2.0;
constexpr double ChatSeconds = 10.0;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Nanoseconds on a CPU and runnable but waiting for one.
struct SchedStat {
    long long running = 0;
    long long waiting = 0;
};

struct Options {
    int tables = 10;
    int seconds = 60;
    bool processes = false;
    std::vector<std::string> serverOptions; // after --, passed on to every server
    std::string server = DUNVEX_BUILD_DIR "/dunvex-server";
};

struct Connection {
    int fd = -1;
    int table = 0;
    int slot = 0; // from the greeting
    std::string in;
    std::string out;
    bool closed = false;
};

struct Table {
    int connected = 0; // connections opened so far, one after the other
    int greeted = 0;
    bool started = false;
    int seatOnTurn = 0;
    int step = 0;           // the next move of the seat on turn
    std::uint64_t turn = 0; // counts turns, so a stale move is ignored
    std::array<int, Seats + 1> turnsTaken{};
    std::array<int, Seats + 1> chatSerial{};
    std::array<int, Slots + 1> connectionOfSlot{};
};

// Something to do later: a move of a table's seat on turn, or a chat line.
struct Event {
    double at;
    int table;
    int slot; // 0: a move
    std::uint64_t turn;
    bool operator>(const Event& other) const { return at > other.at; }
};

class Bench {
public:
    explicit Bench(const Options& options)
        : m_options(options)
        , m_tables(std::size_t(options.tables)) {}
    int run();

private:
    bool startServers();
    void stopServers();
    bool connectNext(int table);
    void onReadable(Connection& connection);
    void onMessage(Connection& connection, const std::string& message);
    void send(Connection& connection, const std::string& message);
    void flush(Connection& connection);
    void handle(const Event& event);
    void loopUntil(double end, const std::function<bool()>& done);
    long cpuTicks() const;
    SchedStat schedStat() const;
    long rssKiB() const;

    Options m_options;
    std::vector<Table> m_tables;
    std::vector<Connection> m_connections; // by table * 9 + order of connecting
    std::vector<pid_t> m_servers;
    int m_firstPort = 0;
    int m_epoll = -1;
    std::priority_queue<Event, std::vector<Event>, std::greater<>> m_events;
    std::mt19937 m_random{42};
    // Send times of chat lines by table, slot and serial.
    std::vector<std::vector<double>> m_chatSent;
    std::vector<double> m_latencies; // milliseconds
    double m_windowStart = 1e300;
    double m_windowEnd = 1e300;
    int m_closedByHost = 0;
    long m_moves = 0;
};

int findPortRange(int count) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int first = 20000 + int(random() % std::uint32_t(12000 - count));
        bool free = true;
        for (int port = first; free && port < first + count; ++port) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(std::uint16_t(port));
            free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
            ::close(fd);
        }
        if (free)
            return first;
    }
    return 0;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& log) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    std::_Exit(127);
}

long readStatTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            utime = std::stol(field);
        if (index == 15) {
            stime = std::stol(field);
            break;
        }
    }
    return utime + stime;
}

// Nanoseconds the process's threads spent on a CPU and runnable but waiting
// for one (schedstat): exact, where the ticks of /proc/PID/stat are samples
// that a host waking for a few microseconds at a time mostly escapes.
SchedStat readSchedStat(pid_t pid) {
    SchedStat total;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* folder = ::opendir(tasks.c_str());
    if (!folder)
        return total;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream schedstat(tasks + '/' + entry->d_name + "/schedstat");
        long long running = 0, waiting = 0;
        if (schedstat >> running >> waiting) {
            total.running += running;
            total.waiting += waiting;
        }
    }
    ::closedir(folder);
    return total;
}

long readRssKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

bool portAnswers(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// The resident memory of a lone server with one idle table: what a table
// costs is measured above it.
long idleServerRssKiB(const std::string& program) {
    const int port = findPortRange(1);
    const pid_t pid = spawn(program, {"--port", std::to_string(port), "--quiet"}, "/dev/null");
    const double end = now() + 20;
    while (!portAnswers(port) && now() < end)
        ::usleep(20000);
    ::usleep(500000);
    const long rss = readRssKiB(pid);
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    return rss;
}

bool Bench::startServers() {
    const int count = m_options.tables;
    m_firstPort = findPortRange(count);
    if (m_firstPort == 0)
        return false;
    const std::string log = "/tmp/dunvex-capacity-" + std::to_string(::getpid()) + ".log";
    std::fprintf(stderr, "capacity: server log in %s\n", log.c_str());
    const auto arguments = [this](std::vector<std::string> list) {
        list.push_back("--quiet");
        list.insert(list.end(), m_options.serverOptions.begin(), m_options.serverOptions.end());
        return list;
    };
    if (m_options.processes) {
        for (int table = 0; table < count; ++table)
            m_servers.push_back(spawn(
                m_options.server, arguments({"--port", std::to_string(m_firstPort + table)}), log));
    } else {
        m_servers.push_back(spawn(
            m_options.server,
            arguments({"--port", std::to_string(m_firstPort), "--tables", std::to_string(count)}),
            log));
    }
    const double end = now() + 60;
    while (!portAnswers(m_firstPort + count - 1) || !portAnswers(m_firstPort)) {
        if (now() > end)
            return false;
        ::usleep(50000);
    }
    return true;
}

void Bench::stopServers() {
    for (const pid_t pid : m_servers)
        ::kill(pid, SIGTERM);
    for (const pid_t pid : m_servers)
        ::waitpid(pid, nullptr, 0);
}

long Bench::cpuTicks() const {
    long ticks = 0;
    for (const pid_t pid : m_servers)
        ticks += readStatTicks(pid);
    return ticks;
}

SchedStat Bench::schedStat() const {
    SchedStat total;
    for (const pid_t pid : m_servers) {
        const SchedStat one = readSchedStat(pid);
        total.running += one.running;
        total.waiting += one.waiting;
    }
    return total;
}

long Bench::rssKiB() const {
    long rss = 0;
    for (const pid_t pid : m_servers)
        rss += readRssKiB(pid);
    return rss;
}

// Tables fill one connection at a time, each after the previous one's
// greeting, so the slots follow the order and the listener's short backlog
// never overflows.
bool Bench::connectNext(int table) {
    Table& state = m_tables[std::size_t(table)];
    const int index = table * Slots + state.connected;
    Connection& connection = m_connections[std::size_t(index)];
    connection.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (connection.fd < 0) {
        std::perror("capacity: socket");
        return false;
    }
    const int one = 1;
    ::setsockopt(connection.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connection.table = table;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(m_firstPort + table));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(connection.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        std::perror("capacity: connect");
        return false;
    }
    epoll_event watch{};
    watch.events = EPOLLIN;
    watch.data.u32 = std::uint32_t(index);
    ::epoll_ctl(m_epoll, EPOLL_CTL_ADD, connection.fd, &watch);
    ++state.connected;
    return true;
}

void Bench::send(Connection& connection, const std::string& message) {
    connection.out += message;
    connection.out += Terminator;
    flush(connection);
}

void Bench::flush(Connection& connection) {
    while (!connection.out.empty()) {
        const ssize_t sent =
            ::send(connection.fd, connection.out.data(), connection.out.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            break;
        connection.out.erase(0, std::size_t(sent));
    }
    epoll_event watch{};
    watch.events = EPOLLIN | (connection.out.empty() ? 0u : std::uint32_t(EPOLLOUT));
    watch.data.u32 = std::uint32_t(&connection - m_connections.data());
    ::epoll_ctl(m_epoll, EPOLL_CTL_MOD, connection.fd, &watch);
}

void Bench::onReadable(Connection& connection) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(connection.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            if (!connection.closed)
                ++m_closedByHost;
            connection.closed = true;
            ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, connection.fd, nullptr);
            return;
        }
        if (got < 0)
            break;
        connection.in.append(buffer, std::size_t(got));
    }
    std::size_t end;
    while ((end = connection.in.find(Terminator)) != std::string::npos) {
        const std::string message = connection.in.substr(0, end);
        connection.in.erase(0, end + 1);
        onMessage(connection, message);
    }
}

void Bench::onMessage(Connection& connection, const std::string& message) {
    Table& table = m_tables[std::size_t(connection.table)];
    const double t = now();
    if (message.rfind("CMD_sendlogininfo+", 0) == 0) {
        connection.slot = std::atoi(message.c_str() + 18);
        if (connection.slot >= 1 && connection.slot <= Slots)
            table.connectionOfSlot[std::size_t(connection.slot)] =
                int(&connection - m_connections.data());
        send(connection, "CMD_logininfo+" + std::to_string(connection.slot) + '+' +
                             net::GameVersion + "+T" + std::to_string(connection.table) + 'S' +
                             std::to_string(connection.slot));
        if (++table.greeted < Slots)
            return void(connectNext(connection.table));
        // Everyone is here: seat 1 starts, the players begin to chat.
        send(m_connections[std::size_t(table.connectionOfSlot[1])], "CMD_startgame+1+f+false");
        table.started = true;
        for (int seat = 1; seat <= Seats; ++seat)
            m_events.push({t + std::uniform_real_distribution<>(0, ChatSeconds)(m_random),
                           connection.table, seat, 0});
        return;
    }
    if (message.rfind("CMD_nextplayer+", 0) == 0) {
        const int seat = std::atoi(message.c_str() + 15);
        if (seat != connection.slot)
            return; // the player on turn acts, the others watch
        table.seatOnTurn = seat;
        table.step = 0;
        ++table.turn;
        m_events.push({t + MoveSeconds, connection.table, 0, table.turn});
        return;
    }
    if (message.rfind("CMD_chat+", 0) == 0) {
        // "CMD_chat+T<t>S<s> chats: <table>.<slot>.<serial>"
        const auto mark = message.find(" chats: ");
        if (mark == std::string::npos)
            return;
        int fromTable = 0, fromSlot = 0, serial = 0;
        if (std::sscanf(message.c_str() + mark + 8, "%d.%d.%d", &fromTable, &fromSlot, &serial) !=
            3)
            return;
        if (fromSlot == connection.slot || fromTable != connection.table)
            return;
        const auto& sent = m_chatSent[std::size_t(fromTable * Seats + fromSlot - 1)];
        if (serial < 0 || std::size_t(serial) >= sent.size())
            return;
        const double at = sent[std::size_t(serial)];
        if (at >= m_windowStart && at < m_windowEnd)
            m_latencies.push_back((t - at) * 1000);
    }
}

void Bench::handle(const Event& event) {
    Table& table = m_tables[std::size_t(event.table)];
    if (event.slot != 0) {
        Connection& player =
            m_connections[std::size_t(table.connectionOfSlot[std::size_t(event.slot)])];
        auto& sent = m_chatSent[std::size_t(event.table * Seats + event.slot - 1)];
        const int serial = int(sent.size());
        sent.push_back(now());
        send(player, "CMD_chat+" + std::to_string(event.slot) + '+' + std::to_string(event.table) +
                         '.' + std::to_string(event.slot) + '.' + std::to_string(serial));
        m_events.push({event.at + ChatSeconds, event.table, event.slot, 0});
        return;
    }
    if (event.turn != table.turn)
        return;
    const int seat = table.seatOnTurn;
    Connection& player = m_connections[std::size_t(table.connectionOfSlot[std::size_t(seat)])];
    const std::string me = std::to_string(seat);
    ++m_moves;
    switch (table.step++) {
    case 0:
    case 2:
        send(player, "CMD_rolldice+" + me);
        break;
    case 1:
        send(player, "CMD_setdice+" + me + "+1");
        break;
    default:
        // Each turn of a seat fills the next category: always a free one.
        send(player,
             "CMD_setscore+" + me + '+' + std::to_string(++table.turnsTaken[std::size_t(seat)]));
        return; // the host's next turn brings the next move
    }
    m_events.push({event.at + MoveSeconds, event.table, 0, event.turn});
}

void Bench::loopUntil(double end, const std::function<bool()>& done) {
    epoll_event ready[1024];
    while (now() < end && !done()) {
        const double next = m_events.empty() ? end : std::min(end, m_events.top().at);
        const int wait = std::max(0, int((next - now()) * 1000));
        const int count = ::epoll_wait(m_epoll, ready, 1024, std::min(wait, 100));
        for (int i = 0; i < count; ++i) {
            Connection& connection = m_connections[ready[i].data.u32];
            if (ready[i].events & EPOLLOUT)
                flush(connection);
            if (ready[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR))
                onReadable(connection);
        }
        const double t = now();
        while (!m_events.empty() && m_events.top().at <= t) {
            const Event event = m_events.top();
            m_events.pop();
            handle(event);
        }
    }
}

double percentile(std::vector<double>& values, double p) {
    if (values.empty())
        return 0;
    const auto index =
        std::size_t(std::min<double>(double(values.size() - 1), p / 100 * double(values.size())));
    std::nth_element(values.begin(), values.begin() + long(index), values.end());
    return values[index];
}

int Bench::run() {
    const long idleRss = idleServerRssKiB(m_options.server);
    if (!startServers()) {
        std::fprintf(stderr, "capacity: the server did not start\n");
        stopServers();
        return 2;
    }
    const long startRss = rssKiB();
    m_epoll = ::epoll_create1(0);
    m_connections.resize(std::size_t(m_options.tables) * Slots);
    m_chatSent.resize(std::size_t(m_options.tables) * Seats);

    // Fill a few dozen tables at a time, then let the games settle in.
    const double rampStart = now();
    for (int table = 0; table < m_options.tables; ++table)
        if (!connectNext(table))
            return stopServers(), 2;
    loopUntil(rampStart + 300, [this] {
        return std::all_of(m_tables.begin(), m_tables.end(),
                           [](const Table& table) { return table.started; });
    });
    const double rampSeconds = now() - rampStart;
    const int started = int(std::count_if(m_tables.begin(), m_tables.end(),
                                          [](const Table& table) { return table.started; }));
    loopUntil(now() + 5, [] { return false; });

    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    const long ticksBefore = cpuTicks();
    const SchedStat schedBefore = schedStat();
    m_windowStart = now();
    m_windowEnd = m_windowStart + m_options.seconds;
    const long movesBefore = m_moves;
    loopUntil(m_windowEnd, [] { return false; });
    const long ticks = cpuTicks() - ticksBefore;
    const SchedStat schedAfter = schedStat();
    const double window = now() - m_windowStart;
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    // Lines sent near the end still arrive.
    loopUntil(now() + 2, [] { return false; });
    const long endRss = rssKiB();
    stopServers();

    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    const double clientCpu = (seconds(after.ru_utime) + seconds(after.ru_stime) -
                              seconds(before.ru_utime) - seconds(before.ru_stime)) /
                             window * 100;
    const double serverCpu = double(ticks) / double(::sysconf(_SC_CLK_TCK)) / window * 100;
    const long perTable =
        m_options.processes ? endRss / m_options.tables : (endRss - idleRss) / m_options.tables;
    std::vector<double> latencies = m_latencies;
    const double maximum =
        latencies.empty() ? 0 : *std::max_element(latencies.begin(), latencies.end());
    std::printf("capacity: %d tables in %s, %d s; %d tables playing after %.1f s of arrivals\n",
                m_options.tables, m_options.processes ? "one process each" : "one process",
                m_options.seconds, started, rampSeconds);
    const double runningPercent =
        double(schedAfter.running - schedBefore.running) / 1e9 / window * 100;
    const double waitingPercent =
        double(schedAfter.waiting - schedBefore.waiting) / 1e9 / window * 100;
    std::printf("  host CPU %.1f %% of one core from /proc/PID/stat ticks, %.1f %% from "
                "schedstat; runnable but waiting for a CPU %.1f %% of the time; bench client "
                "%.1f %%\n",
                serverCpu, runningPercent, waitingPercent, clientCpu);
    std::printf("  RSS: lone idle server %ld KiB, at start %ld KiB, at end %ld KiB: %ld KiB a "
                "table\n",
                idleRss, startRss, endRss, perTable);
    std::printf("  relay of %zu chat deliveries: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n",
                latencies.size(), percentile(latencies, 50), percentile(latencies, 99), maximum);
    std::printf("  moves %ld in the window; connections closed by the host: %d\n",
                m_moves - movesBefore, m_closedByHost);
    std::printf("RESULT %d %s %.1f %.1f %.1f %ld %.1f %.1f %.1f %zu %d\n", m_options.tables,
                m_options.processes ? "processes" : "process", serverCpu, runningPercent,
                waitingPercent, perTable, percentile(latencies, 50), percentile(latencies, 99),
                maximum, latencies.size(), m_closedByHost);
    return started == m_options.tables && m_closedByHost == 0 ? 0 : 1;
}

void raiseDescriptorLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace

int main(int argc, char* argv[]) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--") {
            options.serverOptions.assign(argv + i + 1, argv + argc);
            break;
        }
        if (argument == "--processes") {
            options.processes = true;
        } else if (argument == "--server" && i + 1 < argc) {
            options.server = argv[++i];
        } else if ((argument == "--tables" || argument == "--seconds") && i + 1 < argc) {
            const int value = std::atoi(argv[++i]);
            if (value < 1 || value > 1000) {
                std::fprintf(stderr, "capacity: %s takes 1 to 1000\n", argument.c_str());
                return 2;
            }
            (argument == "--tables" ? options.tables : options.seconds) = value;
        } else {
            std::fprintf(
                stderr,
                "usage: capacity --tables K [--seconds S] [--processes] [--server PROGRAM]\n"
                "                [-- SERVER OPTIONS]\n");
            return 2;
        }
    }
    raiseDescriptorLimit();
    std::signal(SIGPIPE, SIG_IGN);
    return Bench(options).run();
}
