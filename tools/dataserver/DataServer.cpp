// SPDX-License-Identifier: MIT
#include "tools/dataserver/DataServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <plist/plist.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <pthread.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace dataserver {

namespace {

std::optional<int> parseInt(std::string_view text, int low, int high)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

bool equalInConstantTime(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

std::string logTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm tm {};
    gmtime_r(&now, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buffer;
}

std::mutex g_logMutex;

// One line on standard error, stamped like the request lines.
void logLine(const std::string& text)
{
    std::string line = logTimestamp() + " " + text + "\n";
    std::lock_guard lock(g_logMutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

double secondsSince(const struct timespec& time)
{
    struct timespec now { };
    clock_gettime(CLOCK_REALTIME, &now);
    return double(now.tv_sec - time.tv_sec) + double(now.tv_nsec - time.tv_nsec) / 1e9;
}

// Watches every TLS connection from its handshake on: closes those whose request and reply take
// longer than the deadline, and those beyond the per-address limit. It hears of connections
// through OpenSSL's callbacks because the HTTP library hands out no sockets; the connection's
// SSL object is freed before its socket is closed, so a socket it shuts is never a reused one.
class ConnectionGuard {
public:
    ConnectionGuard(double deadlineSeconds, int maxPerAddress)
        : m_deadline(deadlineSeconds)
        , m_maxPerAddress(maxPerAddress)
    {
    }

    void install(SSL_CTX* context)
    {
        s_guard = this;
        s_index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, &ConnectionGuard::freed);
        SSL_CTX_set_info_callback(context, &ConnectionGuard::info);
        m_watcher = std::thread([this] { watch(); });
    }

    void stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        if (m_watcher.joinable())
            m_watcher.join();
    }

    // A reply was written: the connection's next request gets a deadline of its own.
    void requestDone(const SSL* ssl)
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_live.find(ssl); it != m_live.end())
            it->second.since = std::chrono::steady_clock::now();
    }

private:
    struct Connection {
        int fd = -1;
        std::string address;
        std::chrono::steady_clock::time_point since;
        bool cut = false;
    };

    static void info(const SSL* ssl, int where, int)
    {
        if ((where & SSL_CB_HANDSHAKE_START) && s_guard)
            s_guard->opened(const_cast<SSL*>(ssl));
    }

    static void freed(void* parent, void*, CRYPTO_EX_DATA*, int, long, void*)
    {
        if (s_guard)
            s_guard->closed(static_cast<const SSL*>(parent));
    }

    static std::string peerAddress(int fd)
    {
        sockaddr_storage address {};
        socklen_t length = sizeof address;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return "?";
        char text[INET6_ADDRSTRLEN] = "?";
        if (address.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, text, sizeof text);
        else if (address.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr, text, sizeof text);
        return text;
    }

    void opened(SSL* ssl)
    {
        int fd = SSL_get_fd(ssl);
        if (fd < 0)
            return;
        std::string address = peerAddress(fd);
        std::unique_lock lock(m_mutex);
        if (m_live.contains(ssl))
            return; // a later handshake message on a known connection
        int& count = m_perAddress[address];
        if (count >= m_maxPerAddress) {
            // The handshake fails at once; the worker is free again.
            ::shutdown(fd, SHUT_RDWR);
            auto now = std::chrono::steady_clock::now();
            auto& last = m_lastRefusalLog[address];
            if (now - last > std::chrono::seconds(10)) {
                last = now;
                lock.unlock();
                logLine("refusing connections from " + address + ": it holds " + std::to_string(m_maxPerAddress)
                    + " already (--max-per-address)");
            }
            return;
        }
        ++count;
        SSL_set_ex_data(ssl, s_index, this);
        m_live[ssl] = Connection { fd, address, std::chrono::steady_clock::now(), false };
    }

    void closed(const SSL* ssl)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_live.find(ssl);
        if (it == m_live.end())
            return;
        if (--m_perAddress[it->second.address] <= 0)
            m_perAddress.erase(it->second.address);
        m_live.erase(it);
    }

    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stopping) {
            m_wake.wait_for(lock, std::chrono::milliseconds(250));
            auto now = std::chrono::steady_clock::now();
            std::vector<std::string> cut;
            for (auto& [ssl, connection] : m_live) {
                if (connection.cut || now - connection.since < std::chrono::duration<double>(m_deadline))
                    continue;
                // Its blocked read or write returns, and the library closes the connection.
                ::shutdown(connection.fd, SHUT_RDWR);
                connection.cut = true;
                cut.push_back(connection.address);
            }
            if (!cut.empty()) {
                lock.unlock();
                for (const auto& address : cut)
                    logLine("closed a connection from " + address + ": its request took over " + formatSeconds(m_deadline)
                        + " s (--request-deadline)");
                lock.lock();
            }
        }
    }

    static std::string formatSeconds(double seconds)
    {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", seconds);
        return buffer;
    }

    static inline ConnectionGuard* s_guard = nullptr;
    static inline int s_index = -1;
    double m_deadline;
    int m_maxPerAddress;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_watcher;
    std::map<const SSL*, Connection> m_live;
    std::map<std::string, int> m_perAddress;
    std::map<std::string, std::chrono::steady_clock::time_point> m_lastRefusalLog;
};

} // namespace

std::optional<double> parseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    std::size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    std::size_t whole = 0;
    std::size_t fraction = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)))
            ++(point ? fraction : whole);
        else if (c == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (whole == 0 || (point && fraction == 0))
        return std::nullopt;
    std::string copy(text);
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool isDataSet(std::string_view bytes)
{
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(kMaxDataFileBytes))
        return false;
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    bool dictionary = root && plist_get_node_type(root) == PLIST_DICT;
    if (root)
        plist_free(root);
    return dictionary;
}

std::string usage()
{
    return "usage: quarrin-dataserver --data specs.plist --cert CERT --key KEY [--port N] [--bind 127.0.0.1] "
           "[--bundle-id ID] [--threads N] [--request-deadline SECONDS] [--max-per-address N]\n";
}

std::optional<Options> parseArguments(int argc, const char* const* argv, std::string& error)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        auto value = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= argc)
                return std::nullopt;
            return std::string_view(argv[++i]);
        };
        std::optional<std::string_view> v;
        if (argument == "--data" || argument == "--cert" || argument == "--key" || argument == "--port" || argument == "--bind"
            || argument == "--bundle-id" || argument == "--threads" || argument == "--request-deadline"
            || argument == "--max-per-address") {
            v = value();
            if (!v || v->empty()) {
                error = std::string(argument) + " needs a value";
                return std::nullopt;
            }
        } else {
            error = "unknown argument: " + std::string(argument);
            return std::nullopt;
        }
        if (argument == "--data") {
            options.dataPath = *v;
        } else if (argument == "--cert") {
            options.certPath = *v;
        } else if (argument == "--key") {
            options.keyPath = *v;
        } else if (argument == "--bind") {
            options.bindAddress = *v;
        } else if (argument == "--bundle-id") {
            options.bundleIdentifier = *v;
        } else if (argument == "--port") {
            auto port = parseInt(*v, 0, 65535);
            if (!port) {
                error = "--port must be a number from 0 to 65535";
                return std::nullopt;
            }
            options.port = *port;
        } else if (argument == "--threads") {
            auto threads = parseInt(*v, 1, 1024);
            if (!threads) {
                error = "--threads must be a number from 1 to 1024";
                return std::nullopt;
            }
            options.threads = *threads;
        } else if (argument == "--max-per-address") {
            auto limit = parseInt(*v, 1, 1024);
            if (!limit) {
                error = "--max-per-address must be a number from 1 to 1024";
                return std::nullopt;
            }
            options.maxConnectionsPerAddress = *limit;
        } else if (argument == "--request-deadline") {
            auto seconds = parseDecimal(*v);
            if (!seconds || *seconds < 0.5 || *seconds > 3600) {
                error = "--request-deadline must be a number of seconds from 0.5 to 3600";
                return std::nullopt;
            }
            options.requestDeadline = *seconds;
        }
    }
    if (options.dataPath.empty() || options.certPath.empty() || options.keyPath.empty()) {
        error = "--data, --cert and --key are required";
        return std::nullopt;
    }
    return options;
}

std::optional<std::map<std::string, std::string>> parseForm(std::string_view body)
{
    std::map<std::string, std::string> fields;
    while (!body.empty()) {
        auto amp = body.find('&');
        auto pair = body.substr(0, amp);
        body = amp == std::string_view::npos ? std::string_view {} : body.substr(amp + 1);
        auto eq = pair.find('=');
        if (eq == std::string_view::npos || eq == 0)
            return std::nullopt;
        auto [it, inserted] = fields.emplace(std::string(pair.substr(0, eq)), std::string(pair.substr(eq + 1)));
        if (!inserted)
            return std::nullopt;
    }
    return fields;
}

std::string formatNumber(double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return buffer;
}

std::string requestToken(std::string_view bundleIdentifier, double mn)
{
    std::string text = std::string(bundleIdentifier) + formatNumber(mn);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    char byte[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", digest[i]);
        hex += byte;
    }
    return hex;
}

std::string httpDate(std::time_t unixTime)
{
    static constexpr const char* days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static constexpr const char* months[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    std::tm tm {};
    gmtime_r(&unixTime, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday], tm.tm_mday, months[tm.tm_mon],
        tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

Verdict checkRequest(std::string_view body, std::string_view bundleIdentifier, double nowSinceReference)
{
    auto fields = parseForm(body);
    if (!fields)
        return Verdict::BadRequest;
    auto pass = fields->find("pass");
    auto name = fields->find("name");
    auto mnField = fields->find("mn");
    if (pass == fields->end() || name == fields->end() || mnField == fields->end())
        return Verdict::BadRequest;
    if (name->second != kServedFileName)
        return Verdict::BadRequest;
    auto mn = parseDecimal(mnField->second);
    if (!mn)
        return Verdict::BadRequest;
    if (std::fabs(*mn - nowSinceReference) > kClockWindowSeconds)
        return Verdict::Unauthorized;
    if (!equalInConstantTime(pass->second, requestToken(bundleIdentifier, *mn)))
        return Verdict::Unauthorized;
    return Verdict::Ok;
}

bool DataFile::Identity::operator==(const Identity& other) const
{
    return device == other.device && inode == other.inode && size == other.size && mtime.tv_sec == other.mtime.tv_sec
        && mtime.tv_nsec == other.mtime.tv_nsec;
}

DataFile::DataFile(std::string path, Log log)
    : m_path(std::move(path))
    , m_log(log ? std::move(log) : Log([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }))
{
}

std::optional<std::shared_ptr<const DataFile::Snapshot>> DataFile::current()
{
    std::lock_guard lock(m_mutex);
    refresh(false);
    if (!m_snapshot)
        return std::nullopt;
    return m_snapshot;
}

void DataFile::reload()
{
    std::lock_guard lock(m_mutex);
    refresh(true);
    if (m_snapshot && m_served)
        m_log("serving " + m_path + " (" + std::to_string(m_snapshot->bytes.size()) + " bytes, Last-Modified "
            + m_snapshot->lastModified + ")");
}

void DataFile::refresh(bool force)
{
    struct stat st { };
    if (::stat(m_path.c_str(), &st) != 0) {
        Identity missing;
        if (force || !m_rejected || !(*m_rejected == missing)) {
            m_rejected = missing;
            m_log("not serving " + m_path + ": " + std::strerror(errno)
                + (m_snapshot ? "; the last good copy stays in service" : ""));
        }
        return;
    }
    Identity identity { st.st_dev, st.st_ino, st.st_size, st.st_mtim };
    if (!force && m_served && *m_served == identity)
        return;
    // A refused version is looked at again only while it is fresh: its writer may still be at work.
    bool settled = secondsSince(st.st_mtim) > 2;
    if (!force && m_rejected && *m_rejected == identity && settled)
        return;
    auto refuse = [&](const std::string& why) {
        bool logged = m_rejected && *m_rejected == identity;
        m_rejected = identity;
        if (!logged || force)
            m_log("not serving " + m_path + ": " + why + (m_snapshot ? "; the last good copy stays in service" : ""));
    };
    if (!S_ISREG(st.st_mode))
        return refuse("not a regular file");
    if (st.st_size > kMaxDataFileBytes)
        return refuse(std::to_string(st.st_size) + " bytes, over the limit of " + std::to_string(kMaxDataFileBytes));
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in.good() && !in.eof())
        return refuse("it can't be read");
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->bytes = std::move(bytes).str();
    // A file caught in the middle of being rewritten shows another size than stat reported, or
    // doesn't parse: keep the last good copy and look again next time.
    if (static_cast<off_t>(snapshot->bytes.size()) != st.st_size)
        return refuse("it changed while being read");
    if (!isDataSet(snapshot->bytes))
        return refuse(
            snapshot->bytes.empty() ? std::string("it is empty") : std::string("it is no property list with a dictionary root"));
    snapshot->modificationTime = st.st_mtim.tv_sec;
    snapshot->lastModified = httpDate(st.st_mtim.tv_sec);
    m_snapshot = std::move(snapshot);
    m_served = identity;
    m_rejected.reset();
}

int run(const Options& options)
{
    DataFile data(options.dataPath, [](const std::string& line) { logLine(line); });
    if (!data.current()) {
        std::fprintf(stderr, "quarrin-dataserver: cannot serve %s: no property list with a dictionary root\n",
            options.dataPath.c_str());
        return 1;
    }

    // SIGTERM and SIGINT (stop) and SIGHUP (read the file again) go to one waiting thread, which
    // acts from outside any signal handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::SSLServer server(options.certPath.c_str(), options.keyPath.c_str());
    if (!server.is_valid()) {
        std::fprintf(stderr, "quarrin-dataserver: cannot load the certificate %s or the key %s\n", options.certPath.c_str(),
            options.keyPath.c_str());
        return 1;
    }
    // The library's default also sets SO_REUSEPORT, which lets a second server bind the same
    // port and take half its clients; without it, a port in use is refused.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    ConnectionGuard guard(options.requestDeadline, options.maxConnectionsPerAddress);
    guard.install(server.ssl_context());
    int threads = options.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    server.set_payload_max_length(kMaxRequestBodyBytes);
    // The reply goes out as a head and a body; without this, the body's last segment can wait
    // for the client's delayed acknowledgement (40 ms) on a kept-alive connection.
    server.set_tcp_nodelay(true);
    server.set_keep_alive_max_count(100);
    // Idle keep-alive connections hold a worker until this runs out, also at shutdown.
    server.set_keep_alive_timeout(1);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);

    std::string bundleIdentifier = options.bundleIdentifier;
    server.Post("/getdata.pl", [&](const httplib::Request& request, httplib::Response& response) {
        double now = static_cast<double>(std::time(nullptr)) - kUnixToReference;
        struct timespec ts { };
        if (clock_gettime(CLOCK_REALTIME, &ts) == 0)
            now = static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9 - kUnixToReference;
        Verdict verdict = checkRequest(request.body, bundleIdentifier, now);
        if (verdict != Verdict::Ok) {
            response.status = static_cast<int>(verdict);
            response.set_content(verdict == Verdict::BadRequest ? "bad request\n" : "unauthorized\n", "text/plain");
            return;
        }
        auto snapshot = data.current();
        if (!snapshot) {
            response.status = 503;
            return;
        }
        response.status = 200;
        response.set_header("Last-Modified", (*snapshot)->lastModified);
        // Written straight from the shared copy. A sized body is also never compressed on the
        // fly: brotli at its default level would cost any client that asks for it some twenty
        // times the CPU of sending the file as it is.
        std::shared_ptr<const DataFile::Snapshot> served = *snapshot;
        response.set_content_provider(served->bytes.size(), "text/xml",
            [served](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset > served->bytes.size())
                    return false;
                return sink.write(served->bytes.data() + offset, std::min(length, served->bytes.size() - offset));
            });
    });

    // Every reply, errors included, says when it was made.
    server.set_post_routing_handler(
        [](const httplib::Request&, httplib::Response& response) { response.set_header("Date", httpDate(std::time(nullptr))); });

    server.set_logger([&guard](const httplib::Request& request, const httplib::Response& response) {
        guard.requestDone(request.ssl);
        logLine(request.remote_addr + ":" + std::to_string(request.remote_port) + " " + request.method + " " + request.path + " "
            + std::to_string(response.status) + " "
            + std::to_string(response.body.empty() ? response.content_length_ : response.body.size()));
    });

    int port = options.port;
    errno = 0;
    if (port == 0) {
        port = server.bind_to_any_port(options.bindAddress.c_str());
        if (port <= 0) {
            std::fprintf(stderr, "quarrin-dataserver: cannot bind %s\n", options.bindAddress.c_str());
            guard.stop();
            return 1;
        }
    } else if (!server.bind_to_port(options.bindAddress.c_str(), port)) {
        int error = errno;
        if (error == EADDRINUSE)
            std::fprintf(stderr, "quarrin-dataserver: cannot bind %s:%d: another process holds the port\n",
                options.bindAddress.c_str(), port);
        else
            std::fprintf(stderr, "quarrin-dataserver: cannot bind %s:%d%s%s\n", options.bindAddress.c_str(), port,
                error ? ": " : "", error ? std::strerror(error) : "");
        guard.stop();
        return 1;
    }

    std::atomic<bool> stopping = false;
    std::thread waiter([&] {
        while (true) {
            int received = 0;
            sigwait(&signals, &received);
            if (received == SIGHUP && !stopping) {
                logLine("SIGHUP: reading " + options.dataPath + " again");
                data.reload();
                continue;
            }
            break;
        }
        stopping = true;
        server.stop();
    });

    std::string host = options.bindAddress.find(':') != std::string::npos ? "[" + options.bindAddress + "]" : options.bindAddress;
    std::printf("listening on https://%s:%d/getdata.pl\n", host.c_str(), port);
    std::fflush(stdout);

    bool listened = server.listen_after_bind();
    if (!stopping)
        kill(getpid(), SIGTERM); // wakes the waiter so it can be joined
    waiter.join();
    guard.stop();
    std::fprintf(stderr, "quarrin-dataserver: stopped\n");
    return listened || stopping ? 0 : 1;
}

} // namespace dataserver
