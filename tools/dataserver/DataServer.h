// SPDX-License-Identifier: MIT
#pragma once

#include <ctime>
#include <functional>
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
// Large enough for any data set a client accepts.
inline constexpr off_t kMaxDataFileBytes = 64 * 1024 * 1024;

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
    // From a connection's handshake (or the end of its previous reply) to the end of its reply:
    // a client that trickles its request, or reads the reply a byte at a time, is cut off here.
    double requestDeadline = 30;
    // Connections one client address may hold at once; more are closed at their handshake, so
    // one slow or hostile address can't take every worker.
    int maxConnectionsPerAddress = 32;
};

// The command line; nullopt with a message for anything missing or malformed.
std::optional<Options> parseArguments(int argc, const char* const* argv, std::string& error);
std::string usage();

// "812345678.123456" or "-3": digits with an optional sign and fraction, nothing else (no
// exponent, hexadecimal, infinity or NaN spellings).
std::optional<double> parseDecimal(std::string_view text);

// Whether the bytes are a property list (XML or binary) whose root is a dictionary: the only
// kind of file that is put into service.
bool isDataSet(std::string_view bytes);

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

// The served file, read again whenever its identity, size or modification time changes. A new
// version goes into service only when it is a data set (isDataSet) read whole; an empty, half
// written, oversized or unreadable file is logged once and the last good copy keeps being served.
class DataFile {
public:
    struct Snapshot {
        std::string bytes;
        std::string lastModified;
        std::time_t modificationTime = 0;
    };
    using Log = std::function<void(const std::string&)>;

    explicit DataFile(std::string path, Log log = {});
    // Nullopt only when no good copy was ever read.
    std::optional<std::shared_ptr<const Snapshot>> current();
    // Reads the file again even when it looks unchanged (SIGHUP); logs what it found.
    void reload();
    const std::string& path() const { return m_path; }

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        struct timespec mtime = {};
        bool operator==(const Identity& other) const;
    };
    void refresh(bool force);

    std::string m_path;
    Log m_log;
    std::mutex m_mutex;
    std::shared_ptr<const Snapshot> m_snapshot;
    std::optional<Identity> m_served; // what m_snapshot was read from
    std::optional<Identity> m_rejected; // the last version refused, so it is logged once
};

// Serves until SIGTERM or SIGINT (SIGHUP reads the file again); returns the process exit status.
// Prints the bound address on standard output ("listening on https://HOST:PORT/getdata.pl") and
// logs one line per request on standard error. A port another process holds is refused (no
// SO_REUSEPORT), so two servers never split one port's clients between them.
int run(const Options& options);

} // namespace dataserver
