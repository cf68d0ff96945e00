// SPDX-License-Identifier: MIT
#include "kit/base/RunLoop.h"
#include "kit/base/URLSession.h"
#include "tests/tools/dataserver/TestServers.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

using namespace kit;
using testservers::ServerProcess;

namespace {

// Everything a delegate heard, in order.
struct Recorder : URLSessionDataDelegate {
    std::vector<std::string> events;
    std::string body;
    std::optional<URLResponse> response;
    std::optional<URLError> error;
    int completions = 0;
    bool bodyBeforeResponse = false;
    ResponseDisposition answer = ResponseDisposition::Allow;
    ChallengeDisposition challengeAnswer = ChallengeDisposition::PerformDefaultHandling;
    std::optional<URLAuthenticationChallenge> challenge;
    std::function<void(DataTask&)> onData;
    std::function<void(DataTask&)> onComplete;

    ChallengeDisposition didReceiveChallenge(URLSession&, DataTask&, const URLAuthenticationChallenge& c) override
    {
        events.push_back("challenge");
        challenge = c;
        return challengeAnswer;
    }
    ResponseDisposition didReceiveResponse(URLSession&, DataTask&, const URLResponse& r) override
    {
        events.push_back("response");
        response = r;
        return answer;
    }
    void didReceiveData(URLSession&, DataTask& task, std::span<const std::uint8_t> bytes) override
    {
        if (!response)
            bodyBeforeResponse = true;
        if (events.empty() || events.back() != "data")
            events.push_back("data");
        body.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (onData)
            onData(task);
    }
    void didCompleteWithError(URLSession&, DataTask& task, const std::optional<URLError>& e) override
    {
        events.push_back(e ? "error" : "complete");
        error = e;
        ++completions;
        if (onComplete)
            onComplete(task);
    }
    bool finished() const { return completions > 0; }
};

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

int closedPort()
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

} // namespace

class URLSessionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new testservers::TempDir;
        certificates = new testservers::Certificates(testservers::Certificates::make(dir->path()));
        ASSERT_TRUE(certificates->ok);
        dataPath = dir->file("specs.plist");
        std::string data = "<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict>";
        for (int i = 0; i < 300; ++i)
            data += "<key>model" + std::to_string(i) + "</key><string>value " + std::to_string(i) + "</string>";
        data += "</dict></plist>\n";
        testservers::writeFile(dataPath, data);
        trusted = new ServerProcess;
        ASSERT_TRUE(trusted->start({ testservers::faultServerPath(), "--cert", certificates->certFile, "--key",
                                       certificates->keyFile, "--data", dataPath, "--log", dir->file("trusted.log") },
            dir->file("trusted.err")));
        stranger = new ServerProcess;
        ASSERT_TRUE(stranger->start({ testservers::faultServerPath(), "--cert", certificates->untrustedCertFile, "--key",
                                        certificates->untrustedKeyFile, "--data", dataPath, "--log", dir->file("stranger.log") },
            dir->file("stranger.err")));
        wrongName = new ServerProcess;
        ASSERT_TRUE(
            wrongName->start({ testservers::faultServerPath(), "--cert", certificates->wrongNameCertFile, "--key",
                                 certificates->wrongNameKeyFile, "--data", dataPath, "--log", dir->file("wrongname.log") },
                dir->file("wrongname.err")));
    }

    static void TearDownTestSuite()
    {
        delete trusted;
        delete stranger;
        delete wrongName;
        delete certificates;
        delete dir;
    }

    void SetUp() override
    {
        setenv("SSL_CERT_FILE", certificates->caFile.c_str(), 1);
        unsetenv("SSL_CERT_DIR");
    }
    void TearDown() override { unsetenv("SSL_CERT_FILE"); }

    // Runs one delegate task to its end.
    std::shared_ptr<DataTask> runTask(Recorder& recorder, URLRequest request, double timeout = 15)
    {
        auto session = URLSession::create(&recorder);
        auto task = session->dataTaskWithRequest(request);
        task->resume();
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return recorder.finished(); }, timeout));
        // Let anything that would wrongly come after completion arrive.
        RunLoop::main().runFor(0.05);
        session->setDelegate(nullptr);
        return task;
    }

    static URLRequest request(const std::string& url, double timeout = 10)
    {
        URLRequest r;
        r.url = url;
        r.method = "POST";
        r.body = "pass=ABC&name=specs.plist&mn=1.000000";
        r.timeoutInterval = timeout;
        return r;
    }

    static std::vector<std::string> trustedLog() { return testservers::readLines(dir->file("trusted.log")); }

    static inline testservers::TempDir* dir = nullptr;
    static inline testservers::Certificates* certificates = nullptr;
    static inline std::string dataPath;
    static inline ServerProcess* trusted = nullptr;
    static inline ServerProcess* stranger = nullptr;
    static inline ServerProcess* wrongName = nullptr;
};

TEST_F(URLSessionTest, DelegateHearsChallengeResponseBodyAndCompletionInOrder)
{
    Recorder recorder;
    auto before = trustedLog().size();
    auto task = runTask(recorder, request(trusted->url("/slow-1700000000/getdata.pl")));
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "challenge", "response", "data", "complete" }));
    EXPECT_FALSE(recorder.bodyBeforeResponse);
    EXPECT_EQ(recorder.completions, 1);
    ASSERT_TRUE(recorder.challenge);
    EXPECT_EQ(recorder.challenge->host, "127.0.0.1");
    EXPECT_EQ(recorder.challenge->port, trusted->port());
    ASSERT_TRUE(recorder.response);
    EXPECT_EQ(recorder.response->statusCode, 200);
    EXPECT_EQ(recorder.response->mimeType, "text/xml");
    EXPECT_EQ(recorder.response->textEncodingName, "");
    EXPECT_EQ(recorder.response->valueForHTTPHeaderField("last-modified"), "Tue, 14 Nov 2023 22:13:20 GMT");
    EXPECT_EQ(recorder.response->expectedContentLength, static_cast<std::int64_t>(testservers::readFile(dataPath).size()));
    EXPECT_EQ(recorder.body, testservers::readFile(dataPath));
    EXPECT_EQ(task->state(), DataTask::State::Completed);
    EXPECT_EQ(task->countOfBytesReceived(), static_cast<std::int64_t>(recorder.body.size()));
    // The request reached the server with its method and body.
    auto log = trustedLog();
    ASSERT_EQ(log.size(), before + 1);
    EXPECT_EQ(log.back(), "/slow-1700000000/getdata.pl pass=ABC&name=specs.plist&mn=1.000000");
}

TEST_F(URLSessionTest, CancelledResponseDeliversNoBodyAndOneCancellation)
{
    Recorder recorder;
    recorder.answer = ResponseDisposition::Cancel;
    auto task = runTask(recorder, request(trusted->url("/ok/getdata.pl")));
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "challenge", "response", "error" }));
    EXPECT_EQ(recorder.response->mimeType, "text/xml");
    EXPECT_EQ(recorder.response->textEncodingName, "utf-8");
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, URLError::Code::Cancelled);
    EXPECT_TRUE(recorder.body.empty());
    EXPECT_EQ(task->countOfBytesReceived(), 0);
}

TEST_F(URLSessionTest, CancelFromInsideCallbacksStopsTheTransfer)
{
    Recorder recorder;
    int piecesAfterCancel = 0;
    bool cancelled = false;
    recorder.onData = [&](DataTask& task) {
        if (cancelled)
            ++piecesAfterCancel;
        cancelled = true;
        task.cancel();
        task.cancel(); // twice is harmless
    };
    auto task = runTask(recorder, request(trusted->url("/slow/getdata.pl")));
    EXPECT_EQ(piecesAfterCancel, 0);
    EXPECT_EQ(recorder.completions, 1);
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, URLError::Code::Cancelled);
    EXPECT_LT(recorder.body.size(), testservers::readFile(dataPath).size());
}

TEST_F(URLSessionTest, CancelBeforeOrRightAfterResumeCompletesOnceWithoutContact)
{
    auto before = trustedLog().size();
    for (bool resumeFirst : { false, true }) {
        Recorder recorder;
        auto session = URLSession::create(&recorder);
        auto task = session->dataTaskWithRequest(request(trusted->url("/ok/getdata.pl")));
        if (resumeFirst)
            task->resume();
        task->cancel();
        task->resume(); // no effect once cancelled
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return recorder.finished(); }, 5));
        RunLoop::main().runFor(0.2);
        EXPECT_EQ(recorder.completions, 1);
        ASSERT_TRUE(recorder.error);
        EXPECT_EQ(recorder.error->code, URLError::Code::Cancelled);
        EXPECT_FALSE(recorder.response);
        EXPECT_EQ(task->state(), DataTask::State::Completed);
        session->setDelegate(nullptr);
    }
    EXPECT_EQ(trustedLog().size(), before);
}

TEST_F(URLSessionTest, HTTPErrorStatusesAreRepliesNotErrors)
{
    for (int status : { 400, 401, 500, 503 }) {
        Recorder recorder;
        runTask(recorder, request(trusted->url("/s" + std::to_string(status) + "/getdata.pl")));
        ASSERT_TRUE(recorder.response) << status;
        EXPECT_EQ(recorder.response->statusCode, status);
        EXPECT_FALSE(recorder.error) << status;
        EXPECT_EQ(recorder.body, "failure\n");
    }
}

TEST_F(URLSessionTest, StallTimesOutWithoutBusyLooping)
{
    Recorder recorder;
    auto session = URLSession::create(&recorder);
    auto task = session->dataTaskWithRequest(request(trusted->url("/stall/getdata.pl"), 1.0));
    double cpuBefore = cpuSeconds();
    auto begin = std::chrono::steady_clock::now();
    task->resume();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return recorder.finished(); }, 10));
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    double cpu = cpuSeconds() - cpuBefore;
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, URLError::Code::TimedOut);
    EXPECT_GE(waited, 0.9);
    EXPECT_LT(waited, 4.0);
    // A spinning loop would burn about as much CPU as time passed.
    EXPECT_LT(cpu, waited * 0.3);
    session->setDelegate(nullptr);
}

TEST_F(URLSessionTest, StallInTheMiddleOfTheBodyTimesOut)
{
    Recorder recorder;
    runTask(recorder, request(trusted->url("/stallbody/getdata.pl"), 1.0));
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, URLError::Code::TimedOut);
    EXPECT_EQ(recorder.response->statusCode, 200);
}

TEST_F(URLSessionTest, BrokenBodiesAreLostConnections)
{
    for (std::string mode : { "reset", "trunc" }) {
        Recorder recorder;
        runTask(recorder, request(trusted->url("/" + mode + "/getdata.pl")));
        ASSERT_TRUE(recorder.error) << mode;
        EXPECT_EQ(recorder.error->code, URLError::Code::NetworkConnectionLost) << mode << ": " << recorder.error->message;
        EXPECT_EQ(recorder.completions, 1);
    }
}

TEST_F(URLSessionTest, CertificatesAreVerifiedWithHostNames)
{
    {
        Recorder recorder;
        runTask(recorder, request(stranger->url("/ok/getdata.pl")));
        ASSERT_TRUE(recorder.error);
        EXPECT_EQ(recorder.error->code, URLError::Code::ServerCertificateUntrusted) << recorder.error->message;
        EXPECT_FALSE(recorder.response);
    }
    {
        Recorder recorder;
        runTask(recorder, request(wrongName->url("/ok/getdata.pl")));
        ASSERT_TRUE(recorder.error);
        EXPECT_EQ(recorder.error->code, URLError::Code::ServerCertificateUntrusted) << recorder.error->message;
    }
    {
        // The trusted certificate names localhost too.
        Recorder recorder;
        runTask(recorder, request("https://localhost:" + std::to_string(trusted->port()) + "/ok/getdata.pl"));
        EXPECT_FALSE(recorder.error) << recorder.error->message;
    }
    // The untrusted server never saw a request, only handshakes that the client broke off.
    for (const auto& line : testservers::readLines(dir->file("stranger.log")))
        EXPECT_EQ(line, "handshake-failed");
}

TEST_F(URLSessionTest, TrustComesFromSSLCertFileOrSSLCertDir)
{
    unsetenv("SSL_CERT_FILE");
    {
        // The system store doesn't know the test authority.
        Recorder recorder;
        runTask(recorder, request(trusted->url("/ok/getdata.pl")));
        ASSERT_TRUE(recorder.error);
        EXPECT_EQ(recorder.error->code, URLError::Code::ServerCertificateUntrusted);
    }
    std::string hashed = dir->file("certs");
    std::filesystem::create_directories(hashed);
    std::filesystem::copy_file(certificates->caFile, hashed + "/ca.pem", std::filesystem::copy_options::overwrite_existing);
    ASSERT_EQ(std::system(("openssl rehash " + hashed + " >/dev/null 2>&1").c_str()), 0);
    testservers::ScopedEnv certDir("SSL_CERT_DIR", hashed);
    Recorder recorder;
    runTask(recorder, request(trusted->url("/ok/getdata.pl")));
    EXPECT_FALSE(recorder.error) << recorder.error->message;
}

TEST_F(URLSessionTest, DelegateMayRefuseTheServerBeforeAnyContact)
{
    auto before = trustedLog().size();
    Recorder recorder;
    recorder.challengeAnswer = ChallengeDisposition::CancelAuthenticationChallenge;
    runTask(recorder, request(trusted->url("/ok/getdata.pl")));
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "challenge", "error" }));
    EXPECT_EQ(recorder.error->code, URLError::Code::Cancelled);
    EXPECT_EQ(trustedLog().size(), before);
}

TEST_F(URLSessionTest, BodiesOverTheCapFail)
{
    Recorder recorder;
    auto session = URLSession::create(&recorder);
    EXPECT_EQ(session->maximumBodyBytes(), 64u * 1024 * 1024);
    session->setMaximumBodyBytes(1024 * 1024);
    auto task = session->dataTaskWithRequest(request(trusted->url("/big/getdata.pl")));
    task->resume();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return recorder.finished(); }, 15));
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->code, URLError::Code::DataLengthExceedsMaximum);
    EXPECT_LE(recorder.body.size(), 1024u * 1024);
    session->setDelegate(nullptr);

    // Exactly at the cap is fine.
    Recorder exact;
    auto second = URLSession::create(&exact);
    second->setMaximumBodyBytes(testservers::readFile(dataPath).size());
    second->dataTaskWithRequest(request(trusted->url("/slow/getdata.pl")))->resume();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return exact.finished(); }, 15));
    EXPECT_FALSE(exact.error);
    second->setDelegate(nullptr);
}

TEST_F(URLSessionTest, ConnectionAndAddressFailuresHaveTheirCodes)
{
    struct Case {
        std::string url;
        URLError::Code code;
    };
    std::vector<Case> cases = {
        { "https://127.0.0.1:" + std::to_string(closedPort()) + "/getdata.pl", URLError::Code::CannotConnectToHost },
        { "not a url at all", URLError::Code::BadURL },
        { "ftp://127.0.0.1/getdata.pl", URLError::Code::UnsupportedURL },
    };
    for (const auto& c : cases) {
        Recorder recorder;
        runTask(recorder, request(c.url));
        ASSERT_TRUE(recorder.error) << c.url;
        EXPECT_EQ(recorder.error->code, c.code) << c.url << ": " << recorder.error->message;
        EXPECT_EQ(recorder.completions, 1);
        EXPECT_FALSE(recorder.error->message.empty());
    }
}

TEST_F(URLSessionTest, PlainGETCompletesWithTheWholeBody)
{
    std::optional<std::string> body;
    std::optional<int> status;
    std::optional<URLError> error;
    bool done = false;
    URLSession::shared().getURL(trusted->url("/ok/getdata.pl"),
        [&](const Data& bytes, const std::optional<URLResponse>& response, const std::optional<URLError>& e) {
            body = std::string(bytes.begin(), bytes.end());
            status = response ? response->statusCode : -1;
            error = e;
            done = true;
        });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return done; }, 10));
    EXPECT_FALSE(error);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(body, testservers::readFile(dataPath));
    EXPECT_EQ(trustedLog().back(), "/ok/getdata.pl ");

    done = false;
    URLSession::shared().getURL(stranger->url("/ok/getdata.pl"),
        [&](const Data& bytes, const std::optional<URLResponse>&, const std::optional<URLError>& e) {
            body = std::string(bytes.begin(), bytes.end());
            error = e;
            done = true;
        });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return done; }, 10));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, URLError::Code::ServerCertificateUntrusted);
    EXPECT_EQ(body, "");
}

TEST_F(URLSessionTest, ManyTasksAtOnceAndATaskOutlivingItsSessionHandle)
{
    constexpr int kTasks = 16;
    Recorder recorder;
    std::vector<std::string> bodies(kTasks);
    int completed = 0;
    struct PerTask : URLSessionDataDelegate {
        std::string* body;
        int* completed;
        std::optional<URLError> error;
        void didReceiveData(URLSession&, DataTask&, std::span<const std::uint8_t> bytes) override
        {
            body->append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        void didCompleteWithError(URLSession&, DataTask&, const std::optional<URLError>& e) override
        {
            error = e;
            ++*completed;
        }
    };
    std::vector<PerTask> delegates(kTasks);
    std::vector<std::shared_ptr<DataTask>> tasks;
    for (int i = 0; i < kTasks; ++i) {
        delegates[i].body = &bodies[i];
        delegates[i].completed = &completed;
        // The session handle goes out of scope at once; the running task keeps it.
        auto session = URLSession::create(&delegates[i]);
        auto task = session->dataTaskWithRequest(request(trusted->url(i % 2 ? "/slow/getdata.pl" : "/ok/getdata.pl")));
        task->resume();
        tasks.push_back(task);
    }
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return completed == kTasks; }, 30));
    for (int i = 0; i < kTasks; ++i) {
        EXPECT_FALSE(delegates[i].error) << i;
        EXPECT_EQ(bodies[i], testservers::readFile(dataPath)) << i;
    }
}

TEST_F(URLSessionTest, InvalidateAndCancelEndsEveryTask)
{
    int cancelled = 0;
    struct Counter : URLSessionDataDelegate {
        int* cancelled;
        void didCompleteWithError(URLSession&, DataTask&, const std::optional<URLError>& e) override
        {
            if (e && e->code == URLError::Code::Cancelled)
                ++*cancelled;
        }
    } counter;
    counter.cancelled = &cancelled;
    auto session = URLSession::create(&counter);
    for (int i = 0; i < 3; ++i)
        session->dataTaskWithRequest(request(trusted->url("/stall/getdata.pl")))->resume();
    RunLoop::main().runFor(0.3);
    EXPECT_EQ(session->runningTaskCount(), 3u);
    session->invalidateAndCancel();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return cancelled == 3; }, 5));
    EXPECT_EQ(session->runningTaskCount(), 0u);
    session->setDelegate(nullptr);
}

TEST_F(URLSessionTest, TransfersRunInRealTimeWhileTestsDriveTheVirtualClock)
{
    RunLoop::main().setVirtualClock(true);
    Recorder recorder;
    auto session = URLSession::create(&recorder);
    session->dataTaskWithRequest(request(trusted->url("/slow/getdata.pl")))->resume();
    bool finished = RunLoop::main().runUntil([&] { return recorder.finished(); }, 15);
    RunLoop::main().setVirtualClock(false);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(recorder.error);
    EXPECT_EQ(recorder.body, testservers::readFile(dataPath));
    session->setDelegate(nullptr);
}
