#include "tools/dataserver/DataServer.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
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

// Large enough for any data set a client accepts.
constexpr off_t kMaxDataFileBytes = 64 * 1024 * 1024;

std::optional<int> parseInt(std::string_view text, int low, int high)
{
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// A plain decimal number ("812345678.123456"); no hexadecimal, infinity or NaN spellings.
std::optional<double> parseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    for (char c : text) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return std::nullopt;
    }
    std::string copy(text);
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value))
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

} // namespace

std::string usage()
{
    return "usage: quarrin-dataserver --data specs.plist --cert CERT --key KEY [--port N] [--bind 127.0.0.1] "
           "[--bundle-id ID] [--threads N]\n";
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
        if (argument == "--data" || argument == "--cert" || argument == "--key" || argument == "--port"
            || argument == "--bind" || argument == "--bundle-id" || argument == "--threads") {
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
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday], tm.tm_mday,
        months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
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

DataFile::DataFile(std::string path)
    : m_path(std::move(path))
{
}

std::optional<std::shared_ptr<const DataFile::Snapshot>> DataFile::current()
{
    std::lock_guard lock(m_mutex);
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxDataFileBytes) {
        bool changed = !m_snapshot || st.st_dev != m_device || st.st_ino != m_inode || st.st_size != m_size
            || st.st_mtim.tv_sec != m_mtime.tv_sec || st.st_mtim.tv_nsec != m_mtime.tv_nsec;
        if (changed) {
            std::ifstream in(m_path, std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            if (in.good() || in.eof()) {
                auto snapshot = std::make_shared<Snapshot>();
                snapshot->bytes = std::move(bytes).str();
                snapshot->modificationTime = st.st_mtim.tv_sec;
                snapshot->lastModified = httpDate(st.st_mtim.tv_sec);
                // A file caught in the middle of being rewritten in place shows another size
                // than stat reported; keep the last good copy and look again next time.
                if (static_cast<off_t>(snapshot->bytes.size()) == st.st_size) {
                    m_snapshot = std::move(snapshot);
                    m_device = st.st_dev;
                    m_inode = st.st_ino;
                    m_size = st.st_size;
                    m_mtime = st.st_mtim;
                }
            }
        }
    }
    if (!m_snapshot)
        return std::nullopt;
    return m_snapshot;
}

int run(const Options& options)
{
    DataFile data(options.dataPath);
    if (!data.current()) {
        std::fprintf(stderr, "quarrin-dataserver: cannot read %s\n", options.dataPath.c_str());
        return 1;
    }

    // SIGTERM and SIGINT go to one waiting thread, which stops the server from outside any
    // signal handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    httplib::SSLServer server(options.certPath.c_str(), options.keyPath.c_str());
    if (!server.is_valid()) {
        std::fprintf(stderr, "quarrin-dataserver: cannot load the certificate %s or the key %s\n",
            options.certPath.c_str(), options.keyPath.c_str());
        return 1;
    }
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
        struct timespec ts {};
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

    std::mutex logMutex;
    server.set_logger([&logMutex](const httplib::Request& request, const httplib::Response& response) {
        std::string line = logTimestamp() + " " + request.remote_addr + ":" + std::to_string(request.remote_port) + " "
            + request.method + " " + request.path + " " + std::to_string(response.status) + " "
            + std::to_string(response.body.empty() ? response.content_length_ : response.body.size()) + "\n";
        std::lock_guard lock(logMutex);
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    });

    int port = options.port;
    if (port == 0) {
        port = server.bind_to_any_port(options.bindAddress.c_str());
        if (port <= 0) {
            std::fprintf(stderr, "quarrin-dataserver: cannot bind %s\n", options.bindAddress.c_str());
            return 1;
        }
    } else if (!server.bind_to_port(options.bindAddress.c_str(), port)) {
        std::fprintf(stderr, "quarrin-dataserver: cannot bind %s:%d\n", options.bindAddress.c_str(), port);
        return 1;
    }

    std::atomic<bool> stopping = false;
    std::thread waiter([&] {
        int received = 0;
        sigwait(&signals, &received);
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
    std::fprintf(stderr, "quarrin-dataserver: stopped\n");
    return listened || stopping ? 0 : 1;
}

} // namespace dataserver
