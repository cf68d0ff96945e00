#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// The reference data server: answers POST /getdata.pl with the data set file to clients that
// present a fresh request token. Kept free of the kit so that makers can deploy it alone.
namespace dataserver {

inline constexpr std::string_view kDefaultBundleIdentifier = "com.velmora.quarrin";
inline constexpr std::string_view kServedFileName = "specs.plist";
inline constexpr double kClockWindowSeconds = 24 * 60 * 60;
inline constexpr std::size_t kMaxRequestBodyBytes = 4096;
// Seconds between the Unix epoch and 1 January 2001, the clients' reference date.
inline constexpr double kUnixToReference = 978307200.0;

struct Options {
    std::string dataPath;
    std::string certPath;
    std::string keyPath;
    std::string bindAddress = "127.0.0.1";
    int port = 8443; // 0 picks a free port
    std::string bundleIdentifier = std::string(kDefaultBundleIdentifier);
    // Each connection holds one worker from its handshake until it closes (kept-alive ones up to
    // a second after their last reply), so this bounds the connections served at once; the rest
    // wait for a worker before their handshake even starts.
    int threads = 256;
};

// The command line; nullopt with a message for anything missing or malformed.
std::optional<Options> parseArguments(int argc, const char* const* argv, std::string& error);
std::string usage();

// "a=b&c=d" into its fields. Nullopt for a field without "=", an empty name or a name given twice.
// Values are taken as sent: clients send nothing that needs percent-encoding.
std::optional<std::map<std::string, std::string>> parseForm(std::string_view body);

// The number as printf's "%lf" prints it (six decimals).
std::string formatNumber(double value);
// 32 uppercase hexadecimal digits: MD5 of bundle identifier + formatNumber(mn).
std::string requestToken(std::string_view bundleIdentifier, double mn);
// "EEE, dd MMM yyyy HH:mm:ss z" in English, in GMT: "Tue, 08 Dec 2026 15:53:27 GMT".
std::string httpDate(std::time_t unixTime);

enum class Verdict { Ok = 200, BadRequest = 400, Unauthorized = 401 };
// Checks a request body against the token rule and the clock window around now (seconds since
// the reference date).
Verdict checkRequest(std::string_view body, std::string_view bundleIdentifier, double nowSinceReference);

// The served file, read again whenever its identity, size or modification time changes. When a
// re-read fails, the last good copy keeps being served.
class DataFile {
public:
    struct Snapshot {
        std::string bytes;
        std::string lastModified;
        std::time_t modificationTime = 0;
    };

    explicit DataFile(std::string path);
    // Nullopt only when no copy was ever read.
    std::optional<std::shared_ptr<const Snapshot>> current();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::mutex m_mutex;
    std::shared_ptr<const Snapshot> m_snapshot;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    off_t m_size = -1;
    struct timespec m_mtime = {};
};

// Serves until SIGTERM or SIGINT; returns the process exit status. Prints the bound address
// on standard output ("listening on https://HOST:PORT/getdata.pl") and logs one line per
// request on standard error.
int run(const Options& options);

} // namespace dataserver
