// SPDX-License-Identifier: MIT
#include "tests/tools/dataserver/TestServers.h"
#include "tools/dataserver/DataServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <utime.h>

using namespace dataserver;
using testservers::Certificates;
using testservers::ServerProcess;
using testservers::TempDir;

namespace {

// A server may close a connection while the client still writes to it (a body over the limit):
// the test sees a failed write, not a signal that ends the program.
const bool kIgnoringSigpipe = [] {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}();

double nowSinceReference()
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9 - kUnixToReference;
}

std::string body(std::string_view bundle, double mn, std::string_view name = "specs.plist")
{
    return "pass=" + requestToken(bundle, mn) + "&name=" + std::string(name) + "&mn=" + formatNumber(mn);
}

} // namespace

TEST(DataServerForm, SplitsFieldsAndRejectsMalformedOnes)
{
    auto fields = parseForm("pass=AB&name=specs.plist&mn=1.000000");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->size(), 3u);
    EXPECT_EQ(fields->at("name"), "specs.plist");
    EXPECT_EQ(fields->at("mn"), "1.000000");
    EXPECT_EQ(parseForm("a=&b=2")->at("a"), "");
    EXPECT_TRUE(parseForm("")->empty());
    EXPECT_FALSE(parseForm("pass"));
    EXPECT_FALSE(parseForm("=x"));
    EXPECT_FALSE(parseForm("a=1&a=2"));
    EXPECT_FALSE(parseForm("a=1&&b=2"));
}

TEST(DataServerToken, IsUppercaseMD5OfBundleAndSixDecimalNumber)
{
    EXPECT_EQ(formatNumber(1.5), "1.500000");
    EXPECT_EQ(formatNumber(-812345678.1234567), "-812345678.123457");
    EXPECT_EQ(requestToken("com.velmora.quarrin", 1.5), "59D2151E834B5A1C563964F2C6F8A2E6");
    EXPECT_EQ(requestToken("org.test.app", -812345678.1234567), "488A9888FB3943798680801AB6449E4E");
    // Only the printed six decimals count.
    EXPECT_EQ(requestToken("x", 2.0000001), requestToken("x", 2.0));
}

TEST(DataServerDate, FormatsInEnglishAndGMT)
{
    EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(httpDate(978307200), "Mon, 01 Jan 2001 00:00:00 GMT");
    EXPECT_EQ(httpDate(1709208059), "Thu, 29 Feb 2024 12:00:59 GMT");
}

TEST(DataServerCheck, AnswersEachRule)
{
    const double now = 800000000.25;
    const std::string bundle = "com.velmora.quarrin";
    EXPECT_EQ(checkRequest(body(bundle, now), bundle, now), Verdict::Ok);
    EXPECT_EQ(checkRequest(body(bundle, now) + "&extra=1", bundle, now), Verdict::Ok);
    // Missing fields and a wrong file name are bad requests.
    EXPECT_EQ(checkRequest("", bundle, now), Verdict::BadRequest);
    EXPECT_EQ(checkRequest("name=specs.plist&mn=" + formatNumber(now), bundle, now), Verdict::BadRequest);
    EXPECT_EQ(checkRequest("pass=" + requestToken(bundle, now) + "&name=specs.plist", bundle, now), Verdict::BadRequest);
    EXPECT_EQ(checkRequest("pass=" + requestToken(bundle, now) + "&mn=" + formatNumber(now), bundle, now), Verdict::BadRequest);
    EXPECT_EQ(checkRequest(body(bundle, now, "other.plist"), bundle, now), Verdict::BadRequest);
    EXPECT_EQ(checkRequest(body(bundle, now, "specs.plist.bak"), bundle, now), Verdict::BadRequest);
    // A number that isn't a plain decimal is malformed.
    for (std::string mn : { "", "abc", "inf", "nan", "0x1p30", "1e999", "12.5.3" })
        EXPECT_EQ(checkRequest("pass=A&name=specs.plist&mn=" + mn, bundle, now), Verdict::BadRequest) << mn;
    // Tokens: another bundle, lower case, or a token for another time.
    EXPECT_EQ(checkRequest(body("com.other", now), bundle, now), Verdict::Unauthorized);
    std::string lower = body(bundle, now);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(checkRequest(lower, bundle, now), Verdict::Unauthorized);
    EXPECT_EQ(checkRequest("pass=" + requestToken(bundle, now + 1) + "&name=specs.plist&mn=" + formatNumber(now), bundle, now),
        Verdict::Unauthorized);
}

TEST(DataServerCheck, ClockWindowIsTwentyFourHoursEitherWay)
{
    const double now = 800000000.0;
    const std::string bundle = "b";
    EXPECT_EQ(checkRequest(body(bundle, now - 86400), bundle, now), Verdict::Ok);
    EXPECT_EQ(checkRequest(body(bundle, now + 86400), bundle, now), Verdict::Ok);
    EXPECT_EQ(checkRequest(body(bundle, now - 86400.5), bundle, now), Verdict::Unauthorized);
    EXPECT_EQ(checkRequest(body(bundle, now + 86401), bundle, now), Verdict::Unauthorized);
    EXPECT_EQ(checkRequest(body(bundle, 0), bundle, now), Verdict::Unauthorized);
}

TEST(DataServerArguments, RequiresDataCertAndKey)
{
    std::string error;
    const char* full[] = { "s", "--data", "d", "--cert", "c", "--key", "k", "--port", "0", "--bind", "::1", "--bundle-id", "x" };
    auto options = parseArguments(13, full, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 0);
    EXPECT_EQ(options->bindAddress, "::1");
    EXPECT_EQ(options->bundleIdentifier, "x");
    const char* noKey[] = { "s", "--data", "d", "--cert", "c" };
    EXPECT_FALSE(parseArguments(5, noKey, error));
    const char* badPort[] = { "s", "--data", "d", "--cert", "c", "--key", "k", "--port", "70000" };
    EXPECT_FALSE(parseArguments(9, badPort, error));
    const char* portText[] = { "s", "--data", "d", "--cert", "c", "--key", "k", "--port", "8x" };
    EXPECT_FALSE(parseArguments(9, portText, error));
    const char* dangling[] = { "s", "--data", "d", "--cert", "c", "--key" };
    EXPECT_FALSE(parseArguments(6, dangling, error));
    const char* unknown[] = { "s", "--data", "d", "--cert", "c", "--key", "k", "--verbose" };
    EXPECT_FALSE(parseArguments(8, unknown, error));
}

TEST(DataServerFile, ReReadsWhenTheFileChangesAndKeepsTheLastGoodCopy)
{
    TempDir dir;
    std::string path = dir.file("specs.plist");
    const std::string first = "<plist version=\"1.0\"><dict><key>a</key><string>first</string></dict></plist>";
    const std::string second = "<plist version=\"1.0\"><dict><key>a</key><string>second</string></dict></plist>";
    ASSERT_TRUE(testservers::writeFile(path, first));
    utimbuf times { 1000000000, 1000000000 };
    utime(path.c_str(), &times);
    DataFile file(path, [](const std::string&) {});
    auto one = file.current();
    ASSERT_TRUE(one);
    EXPECT_EQ((*one)->bytes, first);
    EXPECT_EQ((*one)->lastModified, httpDate(1000000000));

    ASSERT_TRUE(testservers::writeFile(path, second));
    times = { 1000000600, 1000000600 };
    utime(path.c_str(), &times);
    auto two = file.current();
    EXPECT_EQ((*two)->bytes, second);
    EXPECT_EQ((*two)->modificationTime, 1000000600);
    EXPECT_EQ((*one)->bytes, first); // a reader holding the old copy keeps it

    std::filesystem::remove(path);
    auto three = file.current();
    ASSERT_TRUE(three);
    EXPECT_EQ((*three)->bytes, second);

    DataFile missing(dir.file("nothing.plist"));
    EXPECT_FALSE(missing.current());
}

class DataServerProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        certificates = Certificates::make(dir.path());
        ASSERT_TRUE(certificates.ok) << "openssl could not make the test certificates";
        dataPath = dir.file("specs.plist");
        ASSERT_TRUE(testservers::writeFile(dataPath, "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>\n"));
        utimbuf times { 1700000000, 1700000000 };
        utime(dataPath.c_str(), &times);
        logPath = dir.file("server.log");
        ASSERT_TRUE(server.start({ testservers::dataServerPath(), "--data", dataPath, "--cert", certificates.certFile, "--key",
                                     certificates.keyFile, "--port", "0", "--bundle-id", bundle },
            logPath));
    }

    std::unique_ptr<httplib::SSLClient> client()
    {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", server.port());
        c->set_ca_cert_path(certificates.caFile.c_str());
        c->enable_server_certificate_verification(true);
        c->set_connection_timeout(5, 0);
        c->set_read_timeout(5, 0);
        return c;
    }

    TempDir dir;
    Certificates certificates;
    std::string dataPath;
    std::string logPath;
    std::string bundle = "org.example.quarrin-test";
    ServerProcess server;
};

TEST_F(DataServerProcess, ServesTheFileToAFreshToken)
{
    auto c = client();
    auto response = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    ASSERT_TRUE(response) << httplib::to_string(response.error());
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), "text/xml");
    EXPECT_EQ(response->get_header_value("Last-Modified"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(response->body, testservers::readFile(dataPath));
    EXPECT_EQ(response->get_header_value("Content-Length"), std::to_string(response->body.size()));
    // The log line carries the size of the body that was sent.
    auto lines = testservers::readLines(logPath);
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines.back().ends_with(" POST /getdata.pl 200 " + std::to_string(response->body.size()))) << lines.back();
}

TEST_F(DataServerProcess, SendsTheFileAsItIsWhateverEncodingTheClientAccepts)
{
    // Large enough that compressing it on every request would show as CPU per request.
    std::string data = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
    for (int i = 0; data.size() < 200000; ++i)
        data += "<key>Model" + std::to_string(i) + "</key><dict><key>Name</key><string>Device " + std::to_string(i)
            + "</string></dict>";
    data += "</dict></plist>\n";
    ASSERT_TRUE(testservers::writeFile(dataPath, data));
    auto c = client();
    c->set_decompress(false);
    for (std::string accept : { "gzip", "br", "gzip, deflate, br", "identity" }) {
        auto response = c->Post("/getdata.pl", { { "Accept-Encoding", accept } }, body(bundle, nowSinceReference()),
            "application/x-www-form-urlencoded");
        ASSERT_TRUE(response) << accept;
        EXPECT_EQ(response->status, 200) << accept;
        EXPECT_FALSE(response->has_header("Content-Encoding")) << accept;
        EXPECT_EQ(response->get_header_value("Content-Type"), "text/xml") << accept;
        EXPECT_EQ(response->body.size(), data.size()) << accept;
        EXPECT_TRUE(response->body == data) << accept;
    }
}

TEST_F(DataServerProcess, ServesAFreshClientWhileManyConnectionsSitIdle)
{
    // Connections that never start their handshake each hold a worker until the read time-out
    // (five seconds); more of them than workers would leave a real client waiting that long. They
    // come from another loopback address than the client, as they would from another machine:
    // the per-address limit refuses those past it, and must not count them against the client.
    constexpr int kIdle = 40;
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        sockaddr_in source {};
        source.sin_family = AF_INET;
        source.sin_addr.s_addr = htonl(INADDR_LOOPBACK + 1); // 127.0.0.2
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source), 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        idle.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto c = client();
    c->set_connection_timeout(2, 0);
    c->set_read_timeout(2, 0);
    auto response = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    for (int fd : idle)
        close(fd);
    ASSERT_TRUE(response) << httplib::to_string(response.error());
    EXPECT_EQ(response->status, 200);
}

TEST_F(DataServerProcess, RefusesBadRequestsStaleTokensAndLargeBodies)
{
    auto c = client();
    double now = nowSinceReference();
    auto bad = c->Post("/getdata.pl", body(bundle, now, "secret.plist"), "application/x-www-form-urlencoded");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    auto stale = c->Post("/getdata.pl", body(bundle, now - 2 * 86400), "application/x-www-form-urlencoded");
    ASSERT_TRUE(stale);
    EXPECT_EQ(stale->status, 401);
    auto otherBundle = c->Post("/getdata.pl", body("com.someone.else", now), "application/x-www-form-urlencoded");
    ASSERT_TRUE(otherBundle);
    EXPECT_EQ(otherBundle->status, 401);
    EXPECT_NE(otherBundle->body, testservers::readFile(dataPath));
    auto large
        = c->Post("/getdata.pl", body(bundle, now) + "&pad=" + std::string(5000, 'x'), "application/x-www-form-urlencoded");
    ASSERT_TRUE(large);
    EXPECT_EQ(large->status, 413);
    auto get = c->Get("/getdata.pl");
    ASSERT_TRUE(get);
    EXPECT_NE(get->status, 200);
    auto elsewhere = c->Post("/other.pl", body(bundle, now), "application/x-www-form-urlencoded");
    ASSERT_TRUE(elsewhere);
    EXPECT_EQ(elsewhere->status, 404);
}

TEST_F(DataServerProcess, ServesANewFileAfterItChanges)
{
    auto c = client();
    ASSERT_TRUE(c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded"));
    // Replaced the way a maker should: a new file renamed over the old.
    std::string next = dir.file("next.plist");
    ASSERT_TRUE(testservers::writeFile(next, "<plist version=\"1.0\"><dict><key>new</key><true/></dict></plist>"));
    utimbuf times { 1710000000, 1710000000 };
    utime(next.c_str(), &times);
    ASSERT_EQ(std::rename(next.c_str(), dataPath.c_str()), 0);
    auto response = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Last-Modified"), httpDate(1710000000));
    EXPECT_EQ(response->body, "<plist version=\"1.0\"><dict><key>new</key><true/></dict></plist>");
}

TEST_F(DataServerProcess, HandlesConcurrentClientsAndLogsEachRequestOnce)
{
    constexpr int kThreads = 12;
    constexpr int kEach = 4;
    std::atomic<int> served = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            auto c = client();
            for (int j = 0; j < kEach; ++j) {
                auto r = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
                if (r && r->status == 200 && r->body == testservers::readFile(dataPath))
                    ++served;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(served, kThreads * kEach);
    EXPECT_EQ(server.stop(), 0);
    int requestLines = 0;
    for (const auto& line : testservers::readLines(logPath)) {
        if (line.find(" POST /getdata.pl 200 ") != std::string::npos)
            ++requestLines;
    }
    EXPECT_EQ(requestLines, kThreads * kEach);
}

TEST_F(DataServerProcess, StopsCleanlyOnSIGTERMWithAClientConnected)
{
    auto c = client();
    c->set_keep_alive(true);
    ASSERT_TRUE(c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded"));
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(server.stop(10), 0);
    auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(took, 3.0);
}

TEST(DataServerStart, FailsWithoutDataOrWithABadCertificate)
{
    TempDir dir;
    auto certificates = Certificates::make(dir.path());
    ASSERT_TRUE(certificates.ok);
    std::string data = dir.file("specs.plist");
    testservers::writeFile(data, "<plist/>");
    ServerProcess noData;
    EXPECT_FALSE(noData.start({ testservers::dataServerPath(), "--data", dir.file("missing.plist"), "--cert",
                                  certificates.certFile, "--key", certificates.keyFile, "--port", "0" },
        dir.file("a.log"), 5));
    EXPECT_EQ(noData.stop(), 1);
    ServerProcess badKey;
    EXPECT_FALSE(badKey.start({ testservers::dataServerPath(), "--data", data, "--cert", certificates.certFile, "--key",
                                  certificates.untrustedKeyFile, "--port", "0" },
        dir.file("b.log"), 5));
    EXPECT_EQ(badKey.stop(), 1);
}

// ---- Faults: a broken file, slow clients, signals, a taken port ---------------------------------

namespace {

const std::string kGoodPlist = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>iPhone7,2</key><dict><key>Name</key>"
                               "<string>Served</string></dict></dict></plist>\n";

// CPU seconds the process has used (user + system).
double cpuSeconds(pid_t pid)
{
    std::string stat = testservers::readFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14 || i == 15)
            ticks += std::stod(field);
        if (i == 15)
            break;
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A TCP connection to 127.0.0.1:port from the given loopback source address.
int connectFrom(const char* source, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in local {};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, source, &local.sin_addr);
    sockaddr_in remote {};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Lines holding text; the server logs after it has answered, so this waits up to two seconds for
// at least `expected` of them.
int countLines(const std::string& path, const std::string& text, int expected = 1)
{
    int n = 0;
    for (int i = 0; i < 40; ++i) {
        n = 0;
        for (const auto& line : testservers::readLines(path))
            n += line.find(text) != std::string::npos;
        if (n >= expected)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return n;
}

} // namespace

TEST(DataServerFile, EmptyHalfWrittenOrWrongRootFileNeverReplacesTheServedCopy)
{
    TempDir dir;
    std::string path = dir.file("specs.plist");
    ASSERT_TRUE(testservers::writeFile(path, kGoodPlist));
    std::vector<std::string> logged;
    DataFile file(path, [&](const std::string& line) { logged.push_back(line); });
    ASSERT_TRUE(file.current());
    std::time_t t = 1700000000;
    for (std::string bad : { std::string(), kGoodPlist.substr(0, kGoodPlist.size() / 2),
             std::string("<plist version=\"1.0\"><array/></plist>"), std::string("garbage") }) {
        ASSERT_TRUE(testservers::writeFile(path, bad));
        utimbuf times { ++t, t };
        utime(path.c_str(), &times);
        logged.clear();
        for (int i = 0; i < 3; ++i) {
            auto served = file.current();
            ASSERT_TRUE(served);
            EXPECT_EQ((*served)->bytes, kGoodPlist) << bad;
        }
        // Said once, not once per request.
        ASSERT_EQ(logged.size(), 1u) << bad;
        EXPECT_NE(logged[0].find("the last good copy stays in service"), std::string::npos) << logged[0];
    }
    // A server that starts on a bad file has nothing to serve.
    DataFile empty(dir.file("empty.plist"), [](const std::string&) {});
    testservers::writeFile(dir.file("empty.plist"), "");
    EXPECT_FALSE(empty.current());
    EXPECT_TRUE(isDataSet(kGoodPlist));
    EXPECT_FALSE(isDataSet(""));
}

TEST(DataServerFile, FileOverTheSizeLimitIsLoggedNotSilentlyIgnored)
{
    TempDir dir;
    std::string path = dir.file("specs.plist");
    ASSERT_TRUE(testservers::writeFile(path, kGoodPlist));
    std::vector<std::string> logged;
    DataFile file(path, [&](const std::string& line) { logged.push_back(line); });
    ASSERT_TRUE(file.current());
    // Sparse: the size without the disk space.
    ASSERT_EQ(truncate(path.c_str(), kMaxDataFileBytes + 1), 0);
    auto served = file.current();
    ASSERT_TRUE(served);
    EXPECT_EQ((*served)->bytes, kGoodPlist);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("over the limit"), std::string::npos) << logged[0];
}

TEST(DataServerCheck, MnInExponentOrOtherNonPlainFormIsABadRequest)
{
    const double now = 800000000.0;
    const std::string bundle = "b";
    for (std::string mn : { "8e8", "8.000000E8", "800000000e0", "+inf", ".5", "5.", "0x2FAF0800", "8 00", "--1" })
        EXPECT_EQ(checkRequest("pass=" + requestToken(bundle, now) + "&name=specs.plist&mn=" + mn, bundle, now),
            Verdict::BadRequest)
            << mn;
    EXPECT_EQ(parseDecimal("800000000.000000"), 800000000.0);
    EXPECT_EQ(parseDecimal("-3"), -3.0);
    EXPECT_EQ(checkRequest(body(bundle, now), bundle, now), Verdict::Ok);
}

TEST_F(DataServerProcess, EveryReplyCarriesContentLengthAndDate)
{
    auto c = client();
    double now = nowSinceReference();
    std::vector<httplib::Result> replies;
    replies.push_back(c->Post("/getdata.pl", body(bundle, now), "application/x-www-form-urlencoded"));
    replies.push_back(c->Post("/getdata.pl", body(bundle, now, "x.plist"), "application/x-www-form-urlencoded"));
    replies.push_back(c->Post("/getdata.pl", body("other", now), "application/x-www-form-urlencoded"));
    replies.push_back(c->Post("/elsewhere", body(bundle, now), "application/x-www-form-urlencoded"));
    replies.push_back(c->Post("/getdata.pl", std::string(5000, 'x'), "application/x-www-form-urlencoded"));
    std::vector<int> statuses;
    for (auto& reply : replies) {
        ASSERT_TRUE(reply);
        statuses.push_back(reply->status);
        EXPECT_EQ(reply->get_header_value("Content-Length"), std::to_string(reply->body.size())) << reply->status;
        // "Tue, 08 Dec 2026 15:53:27 GMT", today.
        std::string date = reply->get_header_value("Date");
        EXPECT_EQ(date.size(), 29u) << reply->status;
        EXPECT_EQ(date.substr(0, 16), httpDate(std::time(nullptr)).substr(0, 16)) << reply->status;
    }
    EXPECT_EQ(statuses, (std::vector<int> { 200, 400, 401, 404, 413 }));
}

TEST_F(DataServerProcess, FileTruncatedOrRewrittenInPlaceDuringRequestsIsServedWholeOrNotAtAll)
{
    const std::string first = testservers::readFile(dataPath);
    std::string second = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>";
    while (second.size() < 100000)
        second += "<key>M" + std::to_string(second.size()) + "</key><dict><key>Name</key><string>N</string></dict>";
    second += "</dict></plist>\n";
    std::atomic<bool> done = false;
    // What cp, scp or a shell redirection do: truncate to 0 bytes, then write in pieces.
    std::thread writer([&] {
        for (int round = 0; !done; ++round) {
            const std::string& next = round % 2 ? first : second;
            int fd = ::open(dataPath.c_str(), O_WRONLY | O_TRUNC);
            if (fd < 0)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            for (std::size_t at = 0; at < next.size(); at += 8192) {
                if (::write(fd, next.data() + at, std::min<std::size_t>(8192, next.size() - at)) < 0)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ::close(fd);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    auto c = client();
    int whole = 0;
    int other = 0;
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until) {
        auto reply = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
        if (reply && reply->status == 200 && (reply->body == first || reply->body == second)
            && reply->get_header_value("Content-Length") == std::to_string(reply->body.size()))
            ++whole;
        else
            ++other;
    }
    done = true;
    writer.join();
    EXPECT_GT(whole, 10);
    EXPECT_EQ(other, 0);

    // An empty file in service would leave a worker spinning: the server must be idle now.
    ASSERT_TRUE(testservers::writeFile(dataPath, ""));
    ASSERT_TRUE(c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded"));
    double before = cpuSeconds(server.pid());
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_LT(cpuSeconds(server.pid()) - before, 0.2);
    auto reply = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
    EXPECT_TRUE(reply->body == first || reply->body == second);
    EXPECT_GE(countLines(logPath, "not serving"), 1);
}

TEST_F(DataServerProcess, SighupReadsTheFileAgainAndKeepsRunning)
{
    // Same size, same inode, same time: only a forced re-read sees the new bytes.
    std::string original = testservers::readFile(dataPath);
    std::string replacement = original;
    replacement.replace(replacement.find("version=\"1.0\"?>"), 15, "version='1.0'?>");
    ASSERT_EQ(replacement.size(), original.size());
    auto c = client();
    ASSERT_EQ(c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded")->body, original);
    {
        int fd = ::open(dataPath.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, replacement.data(), replacement.size()), static_cast<ssize_t>(replacement.size()));
        ::close(fd);
        utimbuf times { 1700000000, 1700000000 };
        utime(dataPath.c_str(), &times);
    }
    ASSERT_EQ(kill(server.pid(), SIGHUP), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(server.isRunning());
    auto reply = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, replacement);
    EXPECT_EQ(countLines(logPath, "SIGHUP"), 1);
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(DataServerProcess, SecondServerOnATakenPortRefusesToStartAndSaysSo)
{
    ServerProcess second;
    std::string secondLog = dir.file("second.log");
    EXPECT_FALSE(second.start({ testservers::dataServerPath(), "--data", dataPath, "--cert", certificates.certFile, "--key",
                                  certificates.keyFile, "--port", std::to_string(server.port()) },
        secondLog, 5));
    EXPECT_EQ(second.stop(), 1);
    EXPECT_EQ(countLines(secondLog, "another process holds the port"), 1);
    // The first one still has every client.
    auto c = client();
    for (int i = 0; i < 6; ++i) {
        auto reply = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
    }
    EXPECT_EQ(countLines(logPath, " POST /getdata.pl 200 ", 6), 6);
}

class DataServerLimits : public DataServerProcess {
protected:
    void SetUp() override
    {
        certificates = Certificates::make(dir.path());
        ASSERT_TRUE(certificates.ok);
        dataPath = dir.file("specs.plist");
        ASSERT_TRUE(testservers::writeFile(dataPath, kGoodPlist));
        logPath = dir.file("server.log");
        // Few workers, so that starving them is cheap to try.
        ASSERT_TRUE(server.start({ testservers::dataServerPath(), "--data", dataPath, "--cert", certificates.certFile, "--key",
                                     certificates.keyFile, "--port", "0", "--bundle-id", bundle, "--threads", "12",
                                     "--max-per-address", "4", "--request-deadline", "1.5" },
            logPath));
    }
};

TEST_F(DataServerLimits, SlowClientsFromOneAddressCannotTakeEveryWorker)
{
    // Forty connections from 127.0.0.2 that never finish a handshake: without a per-address limit
    // they would hold all twelve workers.
    std::vector<int> slow;
    for (int i = 0; i < 40; ++i) {
        int fd = connectFrom("127.0.0.2", server.port());
        ASSERT_GE(fd, 0);
        slow.push_back(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto c = client();
    c->set_connection_timeout(1, 0);
    c->set_read_timeout(1, 0);
    auto begin = std::chrono::steady_clock::now();
    auto reply = c->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    for (int fd : slow)
        ::close(fd);
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    EXPECT_EQ(reply->status, 200);
    EXPECT_LT(took, 1.0);
    EXPECT_GE(countLines(logPath, "refusing connections from 127.0.0.2"), 1);
}

TEST_F(DataServerLimits, ARequestTrickledInBelowTheReadTimeOutIsCutAtTheDeadline)
{
    std::signal(SIGPIPE, SIG_IGN); // writes to a connection the server closed
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    ASSERT_EQ(SSL_CTX_load_verify_locations(context, certificates.caFile.c_str(), nullptr), 1);
    int fd = connectFrom("127.0.0.1", server.port());
    ASSERT_GE(fd, 0);
    SSL* ssl = SSL_new(context);
    SSL_set_fd(ssl, fd);
    ASSERT_EQ(SSL_connect(ssl), 1);
    // One header byte every 200 ms: each read succeeds long before the five-second read time-out.
    std::string head = "POST /getdata.pl HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Padding: " + std::string(200, 'a');
    auto begin = std::chrono::steady_clock::now();
    double cutAfter = -1;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (SSL_write(ssl, head.data() + i, 1) <= 0) {
            cutAfter = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        if (std::chrono::steady_clock::now() - begin > std::chrono::seconds(6))
            break;
    }
    SSL_free(ssl);
    ::close(fd);
    SSL_CTX_free(context);
    EXPECT_GT(cutAfter, 1.0);
    EXPECT_LT(cutAfter, 3.0);
    EXPECT_EQ(countLines(logPath, "closed a connection from 127.0.0.1"), 1);
    // An ordinary client is unaffected.
    auto reply = client()->Post("/getdata.pl", body(bundle, nowSinceReference()), "application/x-www-form-urlencoded");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
}
