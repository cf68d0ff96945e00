// SPDX-License-Identifier: MIT
// The nginx deployment of the data server (tools/dataserver/nginx): the shipped site configuration
// and request check, run by nginx on 127.0.0.1 with a test certificate, against the real client's
// exchange and side by side with quarrin-dataserver.

#include "tests/app/specs/SpecsTestSupport.h"
#include "tests/tools/dataserver/TestServers.h"
#include "tools/dataserver/DataServer.h"

#include "app/specs/DataKeeper.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <utime.h>

using kit::Date;
using kit::RunLoop;
using testservers::TempDir;

namespace {

// A server may close a connection while the client still writes to it (a body over the limit):
// the test sees a failed write, not a signal that ends the program.
const bool kIgnoringSigpipe = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}();

const char* kNginx = "/usr/sbin/nginx";
const char* kJsModule = "/usr/lib/nginx/modules/ngx_http_js_module.so";
const std::string kDeployment = QUARRIN_SOURCE_DIR "/tools/dataserver/nginx";
const std::string kBundleIdentifier = "com.velmora.quarrin";

const char* kServedPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>iPhone7,2</key><dict><key>Name</key><string>Served by nginx</string></dict>
</dict></plist>
)";
constexpr std::time_t kServedTime = 1710000000;

int freePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

// Replaces every occurrence; false when there is none, so a changed configuration fails loudly.
bool replaceAll(std::string& text, const std::string& from, const std::string& to)
{
    bool found = false;
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
        found = true;
    }
    return found;
}

// nginx in the foreground with the shipped site, its "edit" lines pointed at the test's files.
class NginxProcess {
public:
    ~NginxProcess() { stop(); }

    std::string start(const TempDir& dir, const testservers::Certificates& certificates, const std::string& dataPath,
        const std::string& bundleIdentifier)
    {
        m_port = freePort();
        std::string site = testservers::readFile(kDeployment + "/quarrin-data.conf");
        const std::pair<std::string, std::string> edits[] = {
            { "listen 443 ssl;", "listen 127.0.0.1:" + std::to_string(m_port) + " ssl;" },
            { "listen [::]:443 ssl;", "" },
            { "/etc/ssl/quarrin/server.pem", certificates.certFile },
            { "/etc/ssl/quarrin/server.key", certificates.keyFile },
            { "/etc/nginx/quarrin/getdata.js", kDeployment + "/getdata.js" },
            { "/srv/quarrin/specs.plist", dataPath },
            { "\"com.velmora.quarrin\"", "\"" + bundleIdentifier + "\"" },
        };
        for (const auto& [from, to] : edits) {
            if (!replaceAll(site, from, to))
                return "the site configuration has no \"" + from + "\"";
        }
        std::string prefix = dir.file("nginx");
        std::filesystem::create_directories(prefix + "/tmp");
        testservers::writeFile(prefix + "/site.conf", site);
        std::string temp = prefix + "/tmp";
        testservers::writeFile(prefix + "/nginx.conf",
            "load_module " + std::string(kJsModule) + ";\n" + (getuid() == 0 ? "user root;\n" : "") + "worker_processes 1;\npid "
                + prefix + "/nginx.pid;\nerror_log " + prefix + "/error.log info;\nevents { worker_connections 1024; }\nhttp {\n"
                + "access_log " + prefix + "/access.log;\nclient_body_temp_path " + temp + ";\nproxy_temp_path " + temp
                + ";\nfastcgi_temp_path " + temp + ";\nuwsgi_temp_path " + temp + ";\nscgi_temp_path " + temp + ";\ninclude "
                + prefix + "/site.conf;\n}\n");
        m_accessLog = prefix + "/access.log";
        m_pid = fork();
        if (m_pid == 0) {
            execl(kNginx, kNginx, "-p", prefix.c_str(), "-c", (prefix + "/nginx.conf").c_str(), "-e",
                (prefix + "/error.log").c_str(), "-g", "daemon off;", static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (accepts(m_port))
                return {};
            if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return "nginx stopped: " + testservers::readFile(prefix + "/error.log");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return "nginx did not listen: " + testservers::readFile(prefix + "/error.log");
    }

    void stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
        m_pid = -1;
    }

    int port() const { return m_port; }
    std::string url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(m_port) + path; }
    // POSTs to /getdata.pl in the access log. nginx writes a line once the reply is sent, which
    // may be after the client has what it needs: wait up to two seconds for the expected count.
    std::size_t requests(std::size_t expected) const
    {
        std::size_t n = 0;
        for (int i = 0; i < 40; ++i) {
            n = 0;
            for (const auto& line : testservers::readLines(m_accessLog))
                n += line.find("\"POST /getdata.pl ") != std::string::npos;
            if (n >= expected)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return n;
    }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_accessLog;
};

double nowSinceReference()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9 - dataserver::kUnixToReference;
}

std::string body(const std::string& bundle, double mn, const std::string& name = "specs.plist")
{
    return "pass=" + dataserver::requestToken(bundle, mn) + "&name=" + name + "&mn=" + dataserver::formatNumber(mn);
}

} // namespace

class NginxDeployment : public specs_test::SpecsFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(kNginx)) << "nginx is not installed (scripts/setup installs it)";
        ASSERT_TRUE(std::filesystem::exists(kJsModule)) << "libnginx-mod-http-js is not installed";
        SpecsFixture::SetUp();
        certificates = testservers::Certificates::make(dir.path());
        ASSERT_TRUE(certificates.ok);
        servedPath = dir.file("specs.plist");
        testservers::writeFile(servedPath, kServedPlist);
        utimbuf times { kServedTime, kServedTime };
        utime(servedPath.c_str(), &times);
        setenv("SSL_CERT_FILE", certificates.caFile.c_str(), 1);
        kit::UserDefaults::resetStandardUserDefaults();
        DataKeeper::sharedKeeper().resetUpdateStateForTesting();
        RunLoop::main().setVirtualClock(true);
        observation = kit::NotificationCenter::defaultCenter().addObserver(DKNewDataIsAvailableNotification,
            &DataKeeper::sharedKeeper(), nullptr, [this](const kit::Notification&) { ++notifications; });
        writeBytes(workingPath(),
            "<plist "
            "version=\"1.0\"><dict><key>iPhone7,2</key><dict><key>Name</key><string>Old</string></dict></dict></plist>",
            Date::fromUnix(kServedTime - 86400));
    }

    void TearDown() override
    {
        observation.reset();
        DataKeeper::sharedKeeper().resetUpdateStateForTesting();
        RunLoop::main().removeAllForTesting();
        RunLoop::main().setVirtualClock(false);
        kit::UserDefaults::resetStandardUserDefaults();
        unsetenv("SSL_CERT_FILE");
        nginx.stop();
        SpecsFixture::TearDown();
    }

    // The real exchange, both server entries on nginx; one-second retries pass on the virtual clock.
    std::optional<std::string> exchange()
    {
        auto& keeper = DataKeeper::sharedKeeper();
        keeper.resetUpdateStateForTesting();
        keeper.setServerURLs({ nginx.url("/getdata.pl"), nginx.url("/getdata.pl") });
        DataKeeper::updateData(true);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (keeper.isExchangeRunning() && std::chrono::steady_clock::now() < deadline) {
            if (keeper.hasRequestInFlight())
                RunLoop::main().runFor(0.01);
            else
                RunLoop::main().advance(DataKeeper::kRetryDelay);
        }
        return keeper.lastExchangeResult();
    }

    TempDir dir;
    testservers::Certificates certificates;
    std::string servedPath;
    NginxProcess nginx;
    int notifications = 0;
    std::unique_ptr<kit::NotificationCenter::Observation> observation;
};

TEST_F(NginxDeployment, RealClientStoresNewDataThenFindsItCurrent)
{
    ASSERT_EQ(nginx.start(dir, certificates, servedPath, kBundleIdentifier), "");
    EXPECT_EQ(exchange(), "");
    EXPECT_EQ(readText(workingPath()), kServedPlist);
    EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime));
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"], kit::Value("Served by nginx"));
    EXPECT_EQ(nginx.requests(1), 1u);

    EXPECT_EQ(exchange(), std::string(DataKeeper::kDataIsCurrent));
    EXPECT_EQ(nginx.requests(2), 2u);
    EXPECT_EQ(notifications, 1);
}

TEST_F(NginxDeployment, TokenForAnotherBundleIsRefused)
{
    ASSERT_EQ(nginx.start(dir, certificates, servedPath, "org.example.someone-else"), "");
    EXPECT_EQ(exchange(), std::string(DataKeeper::kError401));
    EXPECT_EQ(nginx.requests(1), 1u);
    EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime - 86400));
    EXPECT_EQ(notifications, 0);
}

TEST_F(NginxDeployment, AnswersEveryRequestAsTheReferenceServerDoes)
{
    ASSERT_EQ(nginx.start(dir, certificates, servedPath, kBundleIdentifier), "");
    testservers::ServerProcess reference;
    ASSERT_TRUE(reference.start({ testservers::dataServerPath(), "--data", servedPath, "--cert", certificates.certFile, "--key",
                                    certificates.keyFile, "--port", "0", "--bundle-id", kBundleIdentifier },
        dir.file("reference.log")));
    struct Request {
        std::string what;
        std::string path;
        std::string body;
    };
    double now = nowSinceReference();
    std::string token = dataserver::requestToken(kBundleIdentifier, now);
    std::string lowerToken = token;
    for (char& c : lowerToken)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const Request requests[] = {
        { "fresh token", "/getdata.pl", body(kBundleIdentifier, now) },
        { "extra field", "/getdata.pl", body(kBundleIdentifier, now) + "&x=1" },
        { "other file", "/getdata.pl", body(kBundleIdentifier, now, "other.plist") },
        { "no mn", "/getdata.pl", "pass=" + token + "&name=specs.plist" },
        { "exponent mn", "/getdata.pl", "pass=" + token + "&name=specs.plist&mn=8e8" },
        { "field twice", "/getdata.pl", body(kBundleIdentifier, now) + "&mn=1.0" },
        { "no equals", "/getdata.pl", "pass&name=specs.plist&mn=1.0" },
        { "empty", "/getdata.pl", "" },
        { "stale", "/getdata.pl", body(kBundleIdentifier, now - 2 * 86400) },
        { "other bundle", "/getdata.pl", body("com.other", now) },
        { "lower-case token", "/getdata.pl", "pass=" + lowerToken + "&name=specs.plist&mn=" + dataserver::formatNumber(now) },
        { "large", "/getdata.pl", body(kBundleIdentifier, now) + "&pad=" + std::string(5000, 'x') },
        { "elsewhere", "/other.pl", body(kBundleIdentifier, now) },
    };
    auto client = [&](int port) {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", port);
        c->set_ca_cert_path(certificates.caFile.c_str());
        c->enable_server_certificate_verification(true);
        c->set_read_timeout(5, 0);
        return c;
    };
    auto ours = client(nginx.port());
    auto theirs = client(reference.port());
    for (const auto& request : requests) {
        auto a = ours->Post(request.path, request.body, "application/x-www-form-urlencoded");
        auto b = theirs->Post(request.path, request.body, "application/x-www-form-urlencoded");
        ASSERT_TRUE(a) << request.what;
        ASSERT_TRUE(b) << request.what;
        EXPECT_EQ(a->status, b->status) << request.what;
        EXPECT_TRUE(a->has_header("Date")) << request.what;
        if (a->status == 200) {
            EXPECT_EQ(a->body, kServedPlist) << request.what;
            EXPECT_EQ(a->get_header_value("Content-Type"), "text/xml") << request.what;
            EXPECT_EQ(a->get_header_value("Last-Modified"), b->get_header_value("Last-Modified")) << request.what;
            EXPECT_EQ(a->get_header_value("Content-Length"), std::to_string(a->body.size())) << request.what;
        }
    }
    auto get = ours->Get("/getdata.pl");
    ASSERT_TRUE(get);
    EXPECT_NE(get->status, 200);
}

TEST_F(NginxDeployment, PublishingPutsOnlyACompleteDataSetIntoServiceWithItsDate)
{
    ASSERT_EQ(nginx.start(dir, certificates, servedPath, kBundleIdentifier), "");
    auto publish = [&](const std::string& file) {
        std::string command = "'" + kDeployment + "/quarrin-publish-specs' '" + file + "' '" + servedPath + "' >/dev/null 2>&1";
        return std::system(command.c_str());
    };
    std::string next = dir.file("next.plist");
    // Empty, cut short, and a dictionary without a model: each refused, the served file untouched.
    std::string complete = std::string(kServedPlist);
    complete.replace(complete.find("Served by nginx"), 15, "Published data!");
    for (std::string bad : { std::string(), complete.substr(0, complete.size() / 2),
             std::string("<plist version=\"1.0\"><dict><key>hello</key><string>world</string></dict></plist>") }) {
        testservers::writeFile(next, bad);
        EXPECT_NE(publish(next), 0) << bad;
        EXPECT_EQ(readText(servedPath), kServedPlist);
        EXPECT_EQ(kit::FileManager::modificationDate(servedPath), Date::fromUnix(kServedTime));
    }
    testservers::writeFile(next, complete);
    utimbuf times { kServedTime + 600, kServedTime + 600 };
    utime(next.c_str(), &times);
    EXPECT_EQ(publish(next), 0);
    EXPECT_EQ(exchange(), "");
    EXPECT_EQ(readText(workingPath()), complete);
    EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime + 600));
    // Nothing of the publishing is left beside the served file.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".specs.plist.", 0), std::string::npos) << entry.path();
}
