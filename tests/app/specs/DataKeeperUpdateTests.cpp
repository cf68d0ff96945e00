// SPDX-License-Identifier: MIT
#include "SpecsTestSupport.h"

#include "app/specs/DataKeeper.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"
#include "tests/tools/dataserver/TestServers.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <utime.h>

using kit::Date;
using kit::RunLoop;
using specs_test::loggedLines;
using testservers::ServerProcess;

// ---- Request format and the date rule, without a server ----------------------------------------

TEST(DataKeeperRequest, BodyHasTheTokenTheFileNameAndSixDecimals)
{
    std::string body = DataKeeper::requestBody("com.velmora.quarrin", 787654321.0625);
    EXPECT_EQ(body,
        "pass=" + DataKeeper::requestToken("com.velmora.quarrin", 787654321.0625) + "&name=specs.plist&mn=787654321.062500");
    std::regex shape("pass=[0-9A-F]{32}&name=specs\\.plist&mn=-?[0-9]+\\.[0-9]{6}");
    for (double t : { 0.0, 1.5, -3.25, 812345678.123456789, 1e9 + 0.0000004 })
        EXPECT_TRUE(std::regex_match(DataKeeper::requestBody("b", t), shape)) << DataKeeper::requestBody("b", t);
}

TEST(DataKeeperRequest, TokenIsUppercaseMD5OfBundleIdentifierAndPrintedTime)
{
    // Known answers: MD5("com.velmora.quarrin1.500000") and MD5("org.test.app-812345678.123457").
    EXPECT_EQ(DataKeeper::requestToken("com.velmora.quarrin", 1.5), "59D2151E834B5A1C563964F2C6F8A2E6");
    EXPECT_EQ(DataKeeper::requestToken("org.test.app", -812345678.1234567), "488A9888FB3943798680801AB6449E4E");
    EXPECT_NE(DataKeeper::requestToken("com.velmora.quarrin", 1.5), DataKeeper::requestToken("com.velmora.quarrin", 1.500001));
}

TEST(DataKeeperRequest, RequestIsAPostWithTheTimeoutToGetdata)
{
    auto request = DataKeeper::serverRequest("https://data1.quarrin.example/", "b", 10);
    EXPECT_EQ(request.url, "https://data1.quarrin.example/getdata.pl");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.timeoutInterval, 20.0);
    EXPECT_EQ(request.cachePolicy, kit::URLRequest::CachePolicy::ReloadRevalidatingCacheData);
    EXPECT_EQ(request.body, DataKeeper::requestBody("b", 10));
    EXPECT_EQ(DataKeeper::requestURL("https://h.example"), "https://h.example/getdata.pl");
    EXPECT_EQ(DataKeeper::requestURL("https://h.example/x/getdata.pl"), "https://h.example/x/getdata.pl");
}

TEST(DataKeeperRequest, OnlyAStrictlyNewerServerDateReplacesTheWorkingCopy)
{
    Date server(700000000);
    EXPECT_FALSE(DataKeeper::isNewerThanWorkingCopy(server, server));
    EXPECT_FALSE(DataKeeper::isNewerThanWorkingCopy(server, server.byAdding(1)));
    EXPECT_TRUE(DataKeeper::isNewerThanWorkingCopy(server, server.byAdding(-1)));
    EXPECT_TRUE(DataKeeper::isNewerThanWorkingCopy(server, std::nullopt));
    EXPECT_FALSE(DataKeeper::isNewerThanWorkingCopy(Date::distantPast(), Date(0)));
}

// ---- The exchange against real servers on 127.0.0.1 --------------------------------------------

namespace {

const char* kServedPlist = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>iPhone7,2</key><dict><key>Name</key><string>Served Phone</string></dict>
<key>NewModel1,1</key><dict><key>Name</key><string>Newly Served</string></dict>
</dict></plist>
)";

constexpr std::time_t kServedTime = 1700000000; // Tue, 14 Nov 2023 22:13:20 GMT

} // namespace

class DataKeeperUpdateTest : public specs_test::SpecsFixture {
protected:
    static void SetUpTestSuite()
    {
        dir = new testservers::TempDir;
        certificates = new testservers::Certificates(testservers::Certificates::make(dir->path()));
        ASSERT_TRUE(certificates->ok);
        servedPath = dir->file("served.plist");
        testservers::writeFile(servedPath, kServedPlist);
        utimbuf times { kServedTime, kServedTime };
        utime(servedPath.c_str(), &times);
        auto fault = [](const std::string& cert, const std::string& key) {
            auto server = new ServerProcess;
            EXPECT_TRUE(server->start({ testservers::faultServerPath(), "--cert", cert, "--key", key, "--data", servedPath,
                                          "--log", dir->file("fault.log") },
                dir->file("fault.err")));
            return server;
        };
        faultA = fault(certificates->certFile, certificates->keyFile);
        faultB = fault(certificates->certFile, certificates->keyFile);
        stranger = new ServerProcess;
        ASSERT_TRUE(
            stranger->start({ testservers::faultServerPath(), "--cert", certificates->untrustedCertFile, "--key",
                                certificates->untrustedKeyFile, "--data", servedPath, "--log", dir->file("stranger.log") },
                dir->file("stranger.err")));
        dataServer = new ServerProcess;
        ASSERT_TRUE(dataServer->start({ testservers::dataServerPath(), "--data", servedPath, "--cert", certificates->certFile,
                                          "--key", certificates->keyFile, "--port", "0", "--bundle-id",
                                          kit::Bundle::mainBundle().bundleIdentifier().empty()
                                              ? std::string("com.velmora.quarrin")
                                              : kit::Bundle::mainBundle().bundleIdentifier() },
            dir->file("dataserver.log")));
    }

    static void TearDownTestSuite()
    {
        delete faultA;
        delete faultB;
        delete stranger;
        delete dataServer;
        delete certificates;
        delete dir;
    }

    void SetUp() override
    {
        SpecsFixture::SetUp();
        setenv("SSL_CERT_FILE", certificates->caFile.c_str(), 1);
        kit::UserDefaults::resetStandardUserDefaults();
        keeper().resetUpdateStateForTesting();
        RunLoop::main().setVirtualClock(true);
        notifications = 0;
        alerts.clear();
        observation = kit::NotificationCenter::defaultCenter().addObserver(DKNewDataIsAvailableNotification, &keeper(), nullptr,
            [this](const kit::Notification&) { ++notifications; });
        keeper().presentNewDataAlert = [this](const DataKeeper::NewDataAlert& alert) { alerts.push_back(alert); };
        // Requests are told apart by log position, so every test starts with empty logs.
        testservers::writeFile(dir->file("fault.log"), "");
        testservers::writeFile(dir->file("stranger.log"), "");
        dataServerLinesBefore = requestLines(testservers::readLines(dir->file("dataserver.log"))).size();
        // A working copy older than the served data.
        writeBytes(workingPath(),
            "<plist version=\"1.0\"><dict><key>iPhone7,2</key><dict><key>Name</key>"
            "<string>Old Phone</string></dict></dict></plist>",
            Date::fromUnix(kServedTime - 86400));
    }

    void TearDown() override
    {
        observation.reset();
        keeper().resetUpdateStateForTesting();
        RunLoop::main().removeAllForTesting();
        RunLoop::main().setVirtualClock(false);
        kit::UserDefaults::resetStandardUserDefaults();
        unsetenv("SSL_CERT_FILE");
        SpecsFixture::TearDown();
    }

    static DataKeeper& keeper() { return DataKeeper::sharedKeeper(); }

    static std::vector<std::string> requestLines(const std::vector<std::string>& lines)
    {
        std::vector<std::string> requests;
        for (const auto& line : lines) {
            if (line.find(" POST /getdata.pl ") != std::string::npos)
                requests.push_back(line);
        }
        return requests;
    }

    // The paths that reached the fault servers, in order.
    static std::vector<std::string> faultRequests()
    {
        std::vector<std::string> paths;
        for (const auto& line : testservers::readLines(dir->file("fault.log")))
            paths.push_back(line.substr(0, line.find(' ')));
        return paths;
    }
    std::size_t dataServerRequests() const
    {
        return requestLines(testservers::readLines(dir->file("dataserver.log"))).size() - dataServerLinesBefore;
    }

    // Runs the exchange to its end; one-second retries pass on the virtual clock.
    bool finishExchange(double timeout = 40)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
        while (keeper().isExchangeRunning()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            if (!keeper().hasRequestInFlight())
                RunLoop::main().advance(DataKeeper::kRetryDelay);
            else
                RunLoop::main().runFor(0.01);
        }
        // Whatever would wrongly follow the end gets its chance to show.
        for (int i = 0; i < 5; ++i) {
            RunLoop::main().runFor(0.02);
            RunLoop::main().advance(DataKeeper::kRetryDelay);
        }
        RunLoop::main().runFor(0.1);
        return true;
    }

    static std::string fault(ServerProcess* server, const std::string& mode, const std::string& tag)
    {
        return server->url("/" + mode + "/" + tag + "/");
    }

    void setServers(const std::string& secondary, const std::string& primary) { keeper().setServerURLs({ secondary, primary }); }

    std::string workingText() { return readText(workingPath()); }
    static std::string oldText()
    {
        return "<plist version=\"1.0\"><dict><key>iPhone7,2</key><dict><key>Name</key><string>Old Phone</string></dict></dict></plist>";
    }

    void expectNothingStored()
    {
        EXPECT_EQ(workingText(), oldText());
        EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime - 86400));
        EXPECT_EQ(notifications, 0);
        EXPECT_TRUE(alerts.empty());
    }

    void expectServedDataStored()
    {
        EXPECT_EQ(workingText(), kServedPlist);
        EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime));
        EXPECT_EQ(notifications, 1);
        ASSERT_EQ(alerts.size(), 1u);
        EXPECT_EQ(alerts[0].title, kit::Bundle::mainBundle().localizedString("NewSpecsDataAvailableTitle"));
        EXPECT_EQ(alerts[0].message, kit::Bundle::mainBundle().localizedString("NewSpecsDataAvailableMessage"));
        // The bundle answers a key it lacks with the key itself.
        EXPECT_NE(alerts[0].title, "NewSpecsDataAvailableTitle");
        EXPECT_NE(alerts[0].message, "NewSpecsDataAvailableMessage");
        EXPECT_FALSE(alerts[0].title.empty());
        EXPECT_FALSE(alerts[0].message.empty());
        EXPECT_EQ(alerts[0].actionTitle, "OK");
        EXPECT_EQ(keeper().lastExchangeResult(), "");
        // The caches were dropped: the new data is what the screens read now.
        EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"], kit::Value("Served Phone"));
        EXPECT_TRUE(DataKeeper::specsForModel("NewModel1,1").isDict());
    }

    static inline testservers::TempDir* dir = nullptr;
    static inline testservers::Certificates* certificates = nullptr;
    static inline std::string servedPath;
    static inline ServerProcess* faultA = nullptr;
    static inline ServerProcess* faultB = nullptr;
    static inline ServerProcess* stranger = nullptr;
    static inline ServerProcess* dataServer = nullptr;

    std::size_t dataServerLinesBefore = 0;
    int notifications = 0;
    std::vector<DataKeeper::NewDataAlert> alerts;
    std::unique_ptr<kit::NotificationCenter::Observation> observation;
};

TEST_F(DataKeeperUpdateTest, NoStoredDateAndNoForceRequestsAndStoresNothing)
{
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
    DataKeeper::updateData(false);
    EXPECT_FALSE(keeper().isExchangeRunning());
    EXPECT_FALSE(kit::UserDefaults::standardUserDefaults().hasKey(DataKeeper::kNextUpdateDateKey));
    ASSERT_TRUE(finishExchange());
    EXPECT_TRUE(faultRequests().empty());
    expectNothingStored();
}

TEST_F(DataKeeperUpdateTest, DateNotYetPassedRequestsNothing)
{
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    Date next = Date::now().byAdding(30);
    defaults.setDate(next, DataKeeper::kNextUpdateDateKey);
    DataKeeper::updateData(false);
    ASSERT_TRUE(finishExchange());
    EXPECT_TRUE(faultRequests().empty());
    EXPECT_EQ(defaults.dateForKey(DataKeeper::kNextUpdateDateKey), next);
}

TEST_F(DataKeeperUpdateTest, PassedDateRequestsAndMovesTheDateAWeekOnBeforeAnyReply)
{
    // The primary stalls, so no reply can have come when the date is checked.
    keeper().setRequestTimeoutForTesting(0.5);
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "stall", "primary"));
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    defaults.setDate(Date::now().byAdding(-1), DataKeeper::kNextUpdateDateKey);
    Date before = Date::now();
    DataKeeper::updateData(false);
    Date after = Date::now();
    EXPECT_TRUE(keeper().isExchangeRunning());
    auto next = defaults.dateForKey(DataKeeper::kNextUpdateDateKey);
    ASSERT_TRUE(next);
    EXPECT_GE(next->timeIntervalSince(before), 604800.0);
    EXPECT_LE(next->timeIntervalSince(after), 604800.0);
    // Stored on disk at once, not only at exit.
    kit::UserDefaults reread(defaults.filePath());
    // XML property lists keep dates to the second.
    auto stored = reread.dateForKey(DataKeeper::kNextUpdateDateKey);
    ASSERT_TRUE(stored);
    EXPECT_NEAR(stored->timeIntervalSince(*next), 0, 1.0);
    // A second activation meanwhile neither starts a second exchange nor moves the date.
    DataKeeper::updateData(true);
    EXPECT_EQ(defaults.dateForKey(DataKeeper::kNextUpdateDateKey), next);

    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(),
        (std::vector<std::string> { "/stall/primary/getdata.pl", "/stall/primary/getdata.pl", "/stall/primary/getdata.pl",
            "/ok/secondary/getdata.pl" }));
    expectServedDataStored();
}

TEST_F(DataKeeperUpdateTest, RealDataServerAnswersTheTokenAndTheDataIsStored)
{
    setServers(fault(faultB, "ok", "secondary"), dataServer->url("/getdata.pl"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(dataServerRequests(), 1u);
    EXPECT_TRUE(faultRequests().empty());
    expectServedDataStored();
    EXPECT_EQ(keeper().serverDataModificationDate(), Date::fromUnix(kServedTime));
    // No temporary file is left beside the working copy.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(supportDir)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);

    // The next forced refresh finds the data current: one request, nothing more.
    notifications = 0;
    alerts.clear();
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(dataServerRequests(), 2u);
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kDataIsCurrent));
}

namespace {

// LANGUAGE for the scope, with the main bundle's tables read again on the way in and out.
class ScopedLanguage {
public:
    explicit ScopedLanguage(const std::string& language)
        : m_env("LANGUAGE", language)
    {
        kit::Bundle::mainBundle().reloadLocalizations();
    }
    ~ScopedLanguage() { kit::Bundle::mainBundle().reloadLocalizations(); }

private:
    testservers::ScopedEnv m_env;
};

} // namespace

TEST_F(DataKeeperUpdateTest, AlertIsInTheUsersLanguage)
{
    std::string englishTitle;
    std::string englishMessage;
    {
        ScopedLanguage english("en");
        englishTitle = kit::Bundle::mainBundle().localizedString("NewSpecsDataAvailableTitle");
        englishMessage = kit::Bundle::mainBundle().localizedString("NewSpecsDataAvailableMessage");
    }
    ScopedLanguage german("de");
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    expectServedDataStored();
    ASSERT_EQ(alerts.size(), 1u);
    // Not the English fallback: the German table has both texts.
    EXPECT_NE(alerts[0].title, englishTitle);
    EXPECT_NE(alerts[0].message, englishMessage);
}

TEST_F(DataKeeperUpdateTest, ImagePngReplyWithoutWorkingCopyIsStored)
{
    std::filesystem::remove(workingPath());
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "png", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/png/primary/getdata.pl" }));
    expectServedDataStored();
}

TEST_F(DataKeeperUpdateTest, DataAlreadyCurrentEndsAfterOneRequest)
{
    for (std::time_t workingTime : { kServedTime, kServedTime + 3600 }) {
        writeBytes(workingPath(), oldText(), Date::fromUnix(workingTime));
        testservers::writeFile(dir->file("fault.log"), "");
        setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
        DataKeeper::updateData(true);
        ASSERT_TRUE(finishExchange());
        EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/primary/getdata.pl" })) << workingTime;
        EXPECT_EQ(workingText(), oldText());
        EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(workingTime));
        EXPECT_EQ(notifications, 0);
        EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kDataIsCurrent));
        EXPECT_EQ(keeper().connectionAttemptsCount(), 0);
        keeper().resetUpdateStateForTesting();
        keeper().presentNewDataAlert = [this](const DataKeeper::NewDataAlert& alert) { alerts.push_back(alert); };
    }
}

TEST_F(DataKeeperUpdateTest, RepliesThatEndTheExchangeSendNoFurtherRequests)
{
    struct Case {
        std::string mode;
        std::string_view result;
    };
    for (const Case& c : { Case { "s400", DataKeeper::kError400 }, Case { "s401", DataKeeper::kError401 },
             Case { "mime", DataKeeper::kError2006 }, Case { "nolm", DataKeeper::kError2004 },
             // An unreadable date reads as the distant past, so the working copy is current.
             Case { "baddate", DataKeeper::kDataIsCurrent } }) {
        testservers::writeFile(dir->file("fault.log"), "");
        keeper().resetUpdateStateForTesting();
        setServers(fault(faultB, "ok", "secondary"), fault(faultA, c.mode, "primary"));
        DataKeeper::updateData(true);
        ASSERT_TRUE(finishExchange()) << c.mode;
        EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/" + c.mode + "/primary/getdata.pl" })) << c.mode;
        EXPECT_EQ(keeper().lastExchangeResult(), std::string(c.result)) << c.mode;
        EXPECT_EQ(keeper().serverURLs().size(), 2u) << c.mode;
        expectNothingStored();
    }
}

TEST_F(DataKeeperUpdateTest, OtherStatusSwitchesToTheSecondaryAtOnce)
{
    for (std::string status : { "s500", "s503" }) {
        testservers::writeFile(dir->file("fault.log"), "");
        keeper().resetUpdateStateForTesting();
        keeper().presentNewDataAlert = [this](const DataKeeper::NewDataAlert& alert) { alerts.push_back(alert); };
        notifications = 0;
        alerts.clear();
        writeBytes(workingPath(), oldText(), Date::fromUnix(kServedTime - 86400));
        setServers(fault(faultB, "ok", "secondary"), fault(faultA, status, "primary"));
        DataKeeper::updateData(true);
        ASSERT_TRUE(finishExchange());
        EXPECT_EQ(faultRequests(),
            (std::vector<std::string> { "/" + status + "/primary/getdata.pl", "/ok/secondary/getdata.pl" }));
        EXPECT_EQ(keeper().serverURLs(), (std::vector<std::string> { fault(faultB, "ok", "secondary") }));
        EXPECT_EQ(keeper().connectionAttemptsCount(), 0);
        expectServedDataStored();
    }
}

TEST_F(DataKeeperUpdateTest, BothServersFailingStatusEndsWithConnectionError)
{
    setServers(fault(faultB, "s503", "secondary"), fault(faultA, "s500", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/s500/primary/getdata.pl", "/s503/secondary/getdata.pl" }));
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kConnectionError));
    expectNothingStored();
}

TEST_F(DataKeeperUpdateTest, BrokenTransfersGetThreeAttemptsPerServer)
{
    keeper().setRequestTimeoutForTesting(0.5);
    for (std::string mode : { "reset", "trunc", "notplist", "stallbody" }) {
        testservers::writeFile(dir->file("fault.log"), "");
        keeper().resetUpdateStateForTesting();
        keeper().setRequestTimeoutForTesting(0.5);
        setServers(fault(faultB, mode, "secondary"), fault(faultA, mode, "primary"));
        DataKeeper::updateData(true);
        ASSERT_TRUE(finishExchange()) << mode;
        std::string primary = "/" + mode + "/primary/getdata.pl";
        std::string secondary = "/" + mode + "/secondary/getdata.pl";
        EXPECT_EQ(faultRequests(), (std::vector<std::string> { primary, primary, primary, secondary, secondary, secondary }))
            << mode;
        EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kConnectionError)) << mode;
        expectNothingStored();
        // The working copy still reads as before.
        EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"], kit::Value("Old Phone")) << mode;
    }
}

TEST_F(DataKeeperUpdateTest, UntrustedServerIsAFailedAttemptAndNeverSeesARequest)
{
    setServers(fault(faultB, "ok", "secondary"), fault(stranger, "ok", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(testservers::readLines(dir->file("stranger.log")),
        (std::vector<std::string> { "handshake-failed", "handshake-failed", "handshake-failed" }));
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/secondary/getdata.pl" }));
    expectServedDataStored();
}

TEST_F(DataKeeperUpdateTest, RetriesWaitOneSecond)
{
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "reset", "primary"));
    DataKeeper::updateData(true);
    auto& loop = RunLoop::main();
    ASSERT_TRUE(loop.runUntil([] { return !keeper().hasRequestInFlight(); }, 10));
    EXPECT_EQ(faultRequests().size(), 1u);
    EXPECT_EQ(keeper().connectionAttemptsCount(), 1);
    loop.runFor(0.2);
    loop.advance(0.99);
    loop.runFor(0.2);
    EXPECT_FALSE(keeper().hasRequestInFlight());
    EXPECT_EQ(faultRequests().size(), 1u);
    loop.advance(0.02);
    EXPECT_TRUE(keeper().hasRequestInFlight());
    ASSERT_TRUE(loop.runUntil([] { return !keeper().hasRequestInFlight(); }, 10));
    EXPECT_EQ(faultRequests().size(), 2u);
    EXPECT_EQ(keeper().connectionAttemptsCount(), 2);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests().size(), 4u);
    expectServedDataStored();
}

TEST_F(DataKeeperUpdateTest, ServerListShrinksForTheProcessAndKeepsItsAttempts)
{
    setServers(fault(faultB, "reset", "secondary"), fault(faultA, "s503", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    std::string secondary = "/reset/secondary/getdata.pl";
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/s503/primary/getdata.pl", secondary, secondary, secondary }));
    EXPECT_EQ(keeper().serverURLs().size(), 1u);
    EXPECT_EQ(keeper().connectionAttemptsCount(), 3);

    // A later refresh in the same process starts on the secondary with its attempts used up.
    testservers::writeFile(dir->file("fault.log"), "");
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { secondary }));
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kConnectionError));
    expectNothingStored();
}

TEST_F(DataKeeperUpdateTest, ServerAddressesComeFromInfoPlistPrimaryFirst)
{
    const auto& urls = keeper().serverURLs();
    ASSERT_EQ(urls.size(), 2u);
    // The build's defaults live under the reserved .example domain.
    EXPECT_NE(urls[0].find(".example"), std::string::npos);
    EXPECT_NE(urls[1].find(".example"), std::string::npos);
    EXPECT_NE(urls[0], urls[1]);
}

TEST_F(DataKeeperUpdateTest, NoServersEndsAtOnceWithoutARequest)
{
    keeper().setServerURLs({});
    DataKeeper::updateData(true);
    EXPECT_FALSE(keeper().isExchangeRunning());
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kConnectionError));
    expectNothingStored();
}

// ---- Replies that must never make the stored data worse -----------------------------------------

TEST(DataKeeperRequest, OnlyDataSetsWithAModelAndPlausibleDatesAndHttpsAddressesPass)
{
    EXPECT_TRUE(DataKeeper::isUsableDataSet(kit::Dict { { "iPhone7,2", kit::Dict { { "Name", "iPhone 6" } } } }));
    EXPECT_FALSE(DataKeeper::isUsableDataSet(kit::Dict { { "hello", "world" } }));
    EXPECT_FALSE(DataKeeper::isUsableDataSet(kit::Dict {}));
    EXPECT_FALSE(DataKeeper::isUsableDataSet(kit::Dict { { "iPhone7,2", kit::Dict { { "Name", 6 } } } }));
    EXPECT_FALSE(DataKeeper::isUsableDataSet(kit::Array { kit::Dict { { "Name", "x" } } }));
    Date now(800000000);
    EXPECT_TRUE(DataKeeper::isPlausibleServerDate(now.byAdding(86400), now));
    EXPECT_FALSE(DataKeeper::isPlausibleServerDate(now.byAdding(86401), now));
    EXPECT_TRUE(DataKeeper::isPlausibleServerDate(Date::distantPast(), now));
    EXPECT_TRUE(DataKeeper::isAcceptedServerURL("https://data1.example.org/"));
    EXPECT_TRUE(DataKeeper::isAcceptedServerURL("HTTPS://data1.example.org/getdata.pl"));
    for (std::string_view url : { "http://data1.example.org/", "ftp://h/", "https://", "data1.example.org", "", "https:/x" })
        EXPECT_FALSE(DataKeeper::isAcceptedServerURL(url)) << url;
}

TEST_F(DataKeeperUpdateTest, FarFutureLastModifiedIsAFailedAttemptAndNothingIsStored)
{
    // Stored, a date in 2100 would have answered every later correct data set "already current".
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "future", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    std::string primary = "/future/primary/getdata.pl";
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { primary, primary, primary, "/ok/secondary/getdata.pl" }));
    expectServedDataStored();
    EXPECT_EQ(kit::FileManager::modificationDate(workingPath()), Date::fromUnix(kServedTime));
}

TEST_F(DataKeeperUpdateTest, HelloWorldBodyDoesNotReplaceTheDataSet)
{
    setServers(fault(faultB, "hello", "secondary"), fault(faultA, "hello", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests().size(), 6u);
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kConnectionError));
    expectNothingStored();
    EXPECT_EQ(DataKeeper::specsForModel("iPhone7,2")["Name"], kit::Value("Old Phone"));
}

TEST_F(DataKeeperUpdateTest, WorkingCopyDatedFarInTheFutureNoLongerFreezesTheData)
{
    // What an earlier build stored from a broken server: one entry, dated 2100.
    writeBytes(workingPath(), "<plist version=\"1.0\"><dict><key>hello</key><string>world</string></dict></plist>",
        Date::fromUnix(4102444800));
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
    DataKeeper::updateData(true);
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/primary/getdata.pl" }));
    expectServedDataStored();
}

TEST_F(DataKeeperUpdateTest, UnreadableRecentlyDatedWorkingCopyDoesNotMakeRepliesCurrent)
{
    for (std::string damaged : { std::string("not a property list"), std::string() }) {
        testservers::writeFile(dir->file("fault.log"), "");
        keeper().resetUpdateStateForTesting();
        keeper().presentNewDataAlert = [this](const DataKeeper::NewDataAlert& alert) { alerts.push_back(alert); };
        notifications = 0;
        alerts.clear();
        // Newer than the served data, but it can't be read, so it states no age.
        writeBytes(workingPath(), damaged, Date::fromUnix(kServedTime + 3600));
        setServers(fault(faultB, "ok", "secondary"), fault(faultA, "ok", "primary"));
        DataKeeper::updateData(true);
        ASSERT_TRUE(finishExchange());
        EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/primary/getdata.pl" })) << damaged;
        expectServedDataStored();
    }
}

TEST_F(DataKeeperUpdateTest, DripBelowTheStallTimeOutEndsAtTheWholeDeadline)
{
    // One byte every 200 ms never trips a one-second stall time-out; only the deadline ends it.
    keeper().setRequestTimeoutForTesting(1.0);
    setServers(fault(faultB, "ok", "secondary"), fault(faultA, "drip", "primary"));
    DataKeeper::updateData(true);
    auto& loop = RunLoop::main();
    int deadlines = 0;
    auto begin = std::chrono::steady_clock::now();
    while (keeper().isExchangeRunning() && std::chrono::steady_clock::now() - begin < std::chrono::seconds(30)) {
        // Real time for the transfer to show it is alive, then the clock jumps to the deadline.
        loop.runUntil([] { return !keeper().hasRequestInFlight(); }, 1.5);
        if (keeper().hasRequestInFlight()) {
            ++deadlines;
            loop.advance(DataKeeper::kAttemptDeadline);
        } else {
            loop.advance(DataKeeper::kRetryDelay);
        }
    }
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(deadlines, 3);
    std::string primary = "/drip/primary/getdata.pl";
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { primary, primary, primary, "/ok/secondary/getdata.pl" }));
    expectServedDataStored();

    // The exchange ended, so a later refresh in the same process runs again.
    testservers::writeFile(dir->file("fault.log"), "");
    DataKeeper::updateData(true);
    EXPECT_TRUE(keeper().isExchangeRunning());
    ASSERT_TRUE(finishExchange());
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/secondary/getdata.pl" }));
    EXPECT_EQ(keeper().lastExchangeResult(), std::string(DataKeeper::kDataIsCurrent));
}

TEST_F(DataKeeperUpdateTest, PlainHttpAddressFromInfoPlistIsSkippedAndNeverContacted)
{
    // A plain listener: a request to it would leave a connection waiting in its queue.
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::string plain = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

    // A bundle whose Info.plist names the plain server as the primary.
    std::string bundle = root + "/app-bundle";
    std::filesystem::create_directories(bundle);
    writePlist(bundle + "/Info.plist",
        kit::Dict { { "CFBundleIdentifier", "com.velmora.quarrin" },
            { std::string(DataKeeper::kDataServerURLsInfoKey), kit::Array { fault(faultB, "ok", "secondary"), plain } } });
    kit::Bundle::setMainBundlePath(bundle);
    keeper().resetUpdateStateForTesting();
    keeper().presentNewDataAlert = [this](const DataKeeper::NewDataAlert& alert) { alerts.push_back(alert); };
    loggedLines().clear();
    EXPECT_EQ(keeper().serverURLs(), (std::vector<std::string> { fault(faultB, "ok", "secondary") }));
    DataKeeper::updateData(true);
    bool finished = finishExchange();
    pollfd pending { listener, POLLIN, 0 };
    int waiting = poll(&pending, 1, 0);
    close(listener);
    kit::Bundle::setMainBundlePath("");
    ASSERT_TRUE(finished);
    EXPECT_EQ(waiting, 0) << "the plain http server was contacted";
    EXPECT_EQ(faultRequests(), (std::vector<std::string> { "/ok/secondary/getdata.pl" }));
    EXPECT_EQ(workingText(), kServedPlist);
    int skipped = 0;
    for (const auto& line : loggedLines())
        skipped += line.find("skipping " + plain) != std::string::npos;
    EXPECT_EQ(skipped, 1);
    // The list is read once per process: no second line.
    keeper().serverURLs();
    EXPECT_EQ(std::count_if(loggedLines().begin(), loggedLines().end(),
                  [&](const std::string& line) { return line.find(plain) != std::string::npos; }),
        1);
}

TEST_F(DataKeeperUpdateTest, TemporaryFilesOfAnInterruptedStoreAreRemovedAtTheNextStart)
{
    // What a crash between write and rename leaves: the data set's temporary file and the
    // preferences' temporary file.
    std::string dataTemporary = supportDir + "/.specs.plist.tmp-Crash1";
    writeBytes(dataTemporary, std::string(4 << 20, 'x'));
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    defaults.setDate(Date::now(), DataKeeper::kNextUpdateDateKey);
    defaults.synchronize();
    std::string preferences = defaults.filePath();
    std::string preferencesTemporary
        = std::filesystem::path(preferences).parent_path().string() + "/.preferences.plist.tmp-Crash2";
    ASSERT_TRUE(testservers::writeFile(preferencesTemporary, "half"));
    ASSERT_EQ(std::filesystem::path(preferences).filename(), "preferences.plist");

    // The next start: the paths are computed and the preferences read afresh.
    DataKeeper::resetForTesting();
    kit::UserDefaults::resetStandardUserDefaults();
    ASSERT_TRUE(DataKeeper::specsInWorkingDirectoryPath());
    EXPECT_TRUE(kit::UserDefaults::standardUserDefaults().dateForKey(DataKeeper::kNextUpdateDateKey));
    EXPECT_FALSE(std::filesystem::exists(dataTemporary));
    EXPECT_FALSE(std::filesystem::exists(preferencesTemporary));
    EXPECT_EQ(workingText(), oldText());
}
