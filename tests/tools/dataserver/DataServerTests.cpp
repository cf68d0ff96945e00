#include "tests/tools/dataserver/TestServers.h"
#include "tools/dataserver/DataServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <utime.h>

using namespace dataserver;
using testservers::Certificates;
using testservers::ServerProcess;
using testservers::TempDir;

namespace {

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
    ASSERT_TRUE(testservers::writeFile(path, "first"));
    utimbuf times { 1000000000, 1000000000 };
    utime(path.c_str(), &times);
    DataFile file(path);
    auto one = file.current();
    ASSERT_TRUE(one);
    EXPECT_EQ((*one)->bytes, "first");
    EXPECT_EQ((*one)->lastModified, httpDate(1000000000));

    ASSERT_TRUE(testservers::writeFile(path, "second!"));
    times = { 1000000600, 1000000600 };
    utime(path.c_str(), &times);
    auto two = file.current();
    EXPECT_EQ((*two)->bytes, "second!");
    EXPECT_EQ((*two)->modificationTime, 1000000600);
    EXPECT_EQ((*one)->bytes, "first"); // a reader holding the old copy keeps it

    std::filesystem::remove(path);
    auto three = file.current();
    ASSERT_TRUE(three);
    EXPECT_EQ((*three)->bytes, "second!");

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
        data += "<key>Model" + std::to_string(i) + "</key><dict><key>Name</key><string>Device " + std::to_string(i) + "</string></dict>";
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
    // (five seconds); more of them than workers would leave a real client waiting that long.
    constexpr int kIdle = 40;
    std::vector<int> idle;
    for (int i = 0; i < kIdle; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
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
    auto large = c->Post("/getdata.pl", body(bundle, now) + "&pad=" + std::string(5000, 'x'), "application/x-www-form-urlencoded");
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
