// SPDX-License-Identifier: MIT
// A TLS server for tests that misbehaves on request. The first path component picks the reply,
// optionally with a Last-Modified time in Unix seconds: "/ok-1700000000/getdata.pl".
//   ok, png      200, text/xml or image/png, Last-Modified, the data file
//   s400 s401 s500 s503   that status
//   mime         200 with text/html
//   nolm         200 without Last-Modified
//   baddate      200 with a Last-Modified that is no date
//   notplist     200 with a body that is no property list
//   stall        reads the request and never answers
//   stallbody    sends the head and half the body, then nothing
//   reset        sends the head and half the body, then resets the connection
//   trunc        announces more body than it sends, then closes cleanly
//   big          announces and streams 4 MiB
//   slow         sends the data file in small pieces with pauses
//   future       200 like ok, but Last-Modified in the year 2100
//   hello        200 like ok, with {"hello":"world"} as the body: a property list without models
//   drip         sends the head, then one body byte every 200 ms (well inside any stall
//                time-out) until the peer goes away or a minute has passed
// Each request is logged to --log as "<path> <body>" once it has been read, before the reply;
// a failed TLS handshake as "handshake-failed". Only the first path component is read, so tests
// may add their own ("/ok/primary/getdata.pl").
// --mode MODE answers every path in that mode (for clients whose paths are fixed), and
// --log-method puts the request's method first on each log line: "<method> <path> <body>".
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string g_data;
std::time_t g_dataTime = 0;
std::string g_logPath;
std::mutex g_logMutex;
std::string g_forcedMode;
bool g_logMethod = false;

std::string httpDate(std::time_t t)
{
    static const char* days[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    std::tm tm {};
    gmtime_r(&t, &tm);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday], tm.tm_mday, months[tm.tm_mon],
        tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

bool writeAll(SSL* ssl, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int n = SSL_write(ssl, bytes.data() + sent, static_cast<int>(bytes.size() - sent));
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Waits until the peer goes away (or a minute passes), sending nothing.
void waitForPeer(int fd)
{
    pollfd p { fd, POLLIN, 0 };
    char buffer[256];
    for (int i = 0; i < 600; ++i) {
        if (poll(&p, 1, 100) > 0) {
            if (recv(fd, buffer, sizeof buffer, MSG_PEEK | MSG_DONTWAIT) <= 0)
                return;
            // Unexpected bytes: drain them so poll keeps blocking.
            if (recv(fd, buffer, sizeof buffer, 0) <= 0)
                return;
        }
    }
}

void handle(SSL_CTX* context, int fd)
{
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    timeval tv { 10, 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (SSL_accept(ssl) <= 0) {
        {
            std::lock_guard lock(g_logMutex);
            std::ofstream log(g_logPath, std::ios::app);
            log << "handshake-failed\n";
        }
        SSL_free(ssl);
        close(fd);
        return;
    }
    std::string request;
    char buffer[4096];
    std::size_t headEnd = std::string::npos;
    std::size_t contentLength = 0;
    while (true) {
        int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                auto lower = request.substr(0, headEnd);
                for (char& c : lower)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                auto at = lower.find("content-length:");
                if (at != std::string::npos)
                    contentLength = std::strtoul(lower.c_str() + at + 15, nullptr, 10);
            }
        }
        if (headEnd != std::string::npos && request.size() >= headEnd + 4 + contentLength)
            break;
        if (request.size() > 1 << 20)
            break;
    }
    if (headEnd == std::string::npos) {
        SSL_free(ssl);
        close(fd);
        return;
    }
    std::string firstLine = request.substr(0, request.find("\r\n"));
    std::string method;
    std::string path;
    {
        auto a = firstLine.find(' ');
        auto b = firstLine.find(' ', a + 1);
        if (a != std::string::npos)
            method = firstLine.substr(0, a);
        if (a != std::string::npos && b != std::string::npos)
            path = firstLine.substr(a + 1, b - a - 1);
    }
    std::string body = request.substr(headEnd + 4);
    {
        std::lock_guard lock(g_logMutex);
        std::ofstream log(g_logPath, std::ios::app);
        if (g_logMethod)
            log << method << " ";
        log << path << " " << body << "\n";
    }

    std::string mode = path.size() > 1 ? path.substr(1, path.find('/', 1) - 1) : "";
    if (!g_forcedMode.empty())
        mode = g_forcedMode;
    std::time_t lastModified = g_dataTime;
    if (auto dash = mode.find('-'); dash != std::string::npos) {
        lastModified = static_cast<std::time_t>(std::strtoll(mode.c_str() + dash + 1, nullptr, 10));
        mode = mode.substr(0, dash);
    }

    auto head = [&](int status, const std::string& type, bool withDate, std::size_t length, const std::string& date = {}) {
        std::string h = "HTTP/1.1 " + std::to_string(status) + " Whatever\r\nConnection: close\r\n";
        if (!type.empty())
            h += "Content-Type: " + type + "\r\n";
        if (withDate)
            h += "Last-Modified: " + (date.empty() ? httpDate(lastModified) : date) + "\r\n";
        h += "Content-Length: " + std::to_string(length) + "\r\n\r\n";
        return h;
    };

    bool cleanClose = true;
    if (mode == "future") {
        lastModified = 4102444800; // Fri, 01 Jan 2100 00:00:00 GMT
        writeAll(ssl, head(200, "text/xml", true, g_data.size()) + g_data);
    } else if (mode == "hello") {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                           "<key>hello</key><string>world</string></dict></plist>\n";
        writeAll(ssl, head(200, "text/xml", true, text.size()) + text);
    } else if (mode == "drip") {
        if (writeAll(ssl, head(200, "text/xml", true, g_data.size()))) {
            for (std::size_t at = 0; at < g_data.size() && at < 300; ++at) {
                if (!writeAll(ssl, g_data.substr(at, 1)))
                    break;
                usleep(200 * 1000);
            }
        }
    } else if (mode == "ok" || mode == "png" || mode == "mime" || mode == "nolm" || mode == "baddate") {
        std::string type = mode == "png" ? "image/png" : mode == "mime" ? "text/html" : "text/xml; charset=utf-8";
        writeAll(ssl, head(200, type, mode != "nolm", g_data.size(), mode == "baddate" ? "sometime last week" : "") + g_data);
    } else if (mode == "s400" || mode == "s401" || mode == "s500" || mode == "s503") {
        std::string text = "failure\n";
        writeAll(ssl, head(std::atoi(mode.c_str() + 1), "text/plain", false, text.size()) + text);
    } else if (mode == "notplist") {
        std::string text = "<html>this is no property list</html>";
        writeAll(ssl, head(200, "text/xml", true, text.size()) + text);
    } else if (mode == "stall") {
        waitForPeer(fd);
    } else if (mode == "stallbody") {
        writeAll(ssl, head(200, "text/xml", true, g_data.size()) + g_data.substr(0, g_data.size() / 2));
        waitForPeer(fd);
    } else if (mode == "reset") {
        writeAll(ssl, head(200, "text/xml", true, g_data.size()) + g_data.substr(0, g_data.size() / 2));
        usleep(50 * 1000);
        linger l { 1, 0 };
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        cleanClose = false;
    } else if (mode == "trunc") {
        writeAll(ssl, head(200, "text/xml", true, g_data.size() + 1000) + g_data);
    } else if (mode == "big") {
        std::size_t total = 4 * 1024 * 1024;
        if (writeAll(ssl, head(200, "text/xml", true, total))) {
            std::string piece(64 * 1024, 'x');
            for (std::size_t sent = 0; sent < total; sent += piece.size()) {
                if (!writeAll(ssl, piece))
                    break;
            }
        }
    } else if (mode == "slow") {
        if (writeAll(ssl, head(200, "text/xml", true, g_data.size()))) {
            for (std::size_t at = 0; at < g_data.size(); at += 64) {
                if (!writeAll(ssl, g_data.substr(at, 64)))
                    break;
                usleep(2000);
            }
        }
    } else {
        std::string text = "no such mode\n";
        writeAll(ssl, head(404, "text/plain", false, text.size()) + text);
    }
    if (cleanClose)
        SSL_shutdown(ssl);
    SSL_free(ssl);
    close(fd);
}

} // namespace

int main(int argc, char** argv)
{
    std::string cert, key, data, log;
    for (int i = 1; i < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--log-method") {
            g_logMethod = true;
            --i;
            continue;
        }
        if (i + 1 >= argc)
            break;
        if (option == "--mode")
            g_forcedMode = argv[i + 1];
        else if (option == "--cert")
            cert = argv[i + 1];
        else if (option == "--key")
            key = argv[i + 1];
        else if (option == "--data")
            data = argv[i + 1];
        else if (option == "--log")
            log = argv[i + 1];
    }
    if (cert.empty() || key.empty() || data.empty() || log.empty()) {
        std::fprintf(stderr, "usage: quarrin-faultserver --cert C --key K --data FILE --log FILE [--mode MODE] [--log-method]\n");
        return 2;
    }
    std::ifstream in(data, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    g_data = bytes.str();
    struct stat st { };
    if (stat(data.c_str(), &st) == 0)
        g_dataTime = st.st_mtime;
    g_logPath = log;
    std::signal(SIGPIPE, SIG_IGN);

    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_chain_file(context, cert.c_str()) != 1
        || SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        std::fprintf(stderr, "quarrin-faultserver: bad certificate or key\n");
        return 1;
    }
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener, 64) != 0) {
        std::perror("quarrin-faultserver");
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("listening on https://127.0.0.1:%d/\n", ntohs(address.sin_port));
    std::fflush(stdout);
    while (true) {
        int fd = accept(listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::thread(handle, context, fd).detach();
    }
}
