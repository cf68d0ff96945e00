// SPDX-License-Identifier: MIT
// One refresh of the bundled data set from quarrin-dataserver on 127.0.0.1 over HTTPS: from the
// request to the stored working copy (DataKeeper), and the bare transfer (URLSession) beside it.
// "cold" waits out the server's one-second keep-alive first, as a weekly refresh always does;
// "reused" runs back to back on the kept connection, as a retry would.
#include "app/specs/DataKeeper.h"
#include "kit/base/Bundle.h"
#include "kit/base/FileManager.h"
#include "kit/base/RunLoop.h"
#include "kit/base/URLSession.h"
#include "kit/base/UserDefaults.h"
#include "tests/tools/dataserver/TestServers.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

namespace {

constexpr const char* kBundledDataSet = QUARRIN_SOURCE_DIR "/resources/specs.plist";
// Longer than the server's idle keep-alive, so the next request needs a new connection.
constexpr auto kPastKeepAlive = std::chrono::milliseconds(1300);

std::string bundleIdentifier()
{
    auto identifier = kit::Bundle::mainBundle().bundleIdentifier();
    return identifier.empty() ? std::string("com.velmora.quarrin") : identifier;
}

// The server, its certificates and a private home, made once for the whole program.
struct Fixture {
    testservers::TempDir dir;
    testservers::Certificates certificates;
    testservers::ServerProcess server;
    std::string error;
    std::size_t dataSetBytes = 0;

    Fixture()
    {
        setenv("HOME", dir.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        certificates = testservers::Certificates::make(dir.path());
        if (!certificates.ok) {
            error = "could not make the test certificates (is the openssl command there?)";
            return;
        }
        setenv("SSL_CERT_FILE", certificates.caFile.c_str(), 1);
        std::error_code ec;
        std::filesystem::copy_file(kBundledDataSet, dir.file("specs.plist"), ec);
        dataSetBytes = std::filesystem::file_size(dir.file("specs.plist"), ec);
        if (ec || dataSetBytes == 0) {
            error = std::string("cannot copy ") + kBundledDataSet;
            return;
        }
        if (!server.start({ testservers::dataServerPath(), "--data", dir.file("specs.plist"), "--cert", certificates.certFile,
                              "--key", certificates.keyFile, "--port", "0", "--bundle-id", bundleIdentifier() },
                dir.file("server.log"))) {
            error = "quarrin-dataserver did not start: " + testservers::dataServerPath();
            return;
        }
        DataKeeper::setApplicationSupportDirectoryForTesting(dir.file("support"));
        DataKeeper::setBundleSpecsPathForTesting(dir.file("specs.plist"));
        DataKeeper::resetForTesting();
    }

    std::string url() const { return server.url("/getdata.pl"); }

    // Client ports of the requests the server has logged so far.
    std::vector<std::string> loggedClients()
    {
        std::vector<std::string> clients;
        for (const auto& line : testservers::readLines(dir.file("server.log"))) {
            auto post = line.find(" POST /getdata.pl 200 ");
            if (post == std::string::npos)
                continue;
            auto space = line.find(' ');
            clients.push_back(line.substr(space + 1, post - space - 1));
        }
        return clients;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// Counts the connections that the timed requests used, from the server's log.
void reportConnections(benchmark::State& state, Fixture& f, std::size_t logBefore, bool expectFresh)
{
    auto clients = f.loggedClients();
    std::set<std::string> distinct(clients.begin() + static_cast<std::ptrdiff_t>(logBefore), clients.end());
    auto requests = clients.size() - logBefore;
    state.counters["requests"] = static_cast<double>(requests);
    state.counters["connections"] = static_cast<double>(distinct.size());
    if (expectFresh && distinct.size() != requests)
        state.SkipWithError("a cold request reused a connection");
}

void exchange(benchmark::State& state, bool cold)
{
    auto& f = fixture();
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    auto& keeper = DataKeeper::sharedKeeper();
    int alerts = 0;
    std::size_t logBefore = f.loggedClients().size();
    std::int64_t stored = 0;
    for (auto _ : state) {
        state.PauseTiming();
        keeper.resetUpdateStateForTesting();
        keeper.presentNewDataAlert = [&alerts](const DataKeeper::NewDataAlert&) { ++alerts; };
        keeper.setServerURLs({ f.url(), f.url() });
        // Without a working copy every reply is newer and gets stored.
        std::filesystem::remove(f.dir.file("support/specs.plist"));
        if (cold)
            std::this_thread::sleep_for(kPastKeepAlive);
        state.ResumeTiming();

        DataKeeper::updateData(true);
        bool ended = kit::RunLoop::main().runUntil([&] { return !keeper.isExchangeRunning(); }, 30);

        state.PauseTiming();
        if (!ended || keeper.lastExchangeResult() != "" || keeper.connectionAttemptsCount() != 0) {
            state.SkipWithError(("the exchange failed: " + keeper.lastExchangeResult().value_or("timed out")).c_str());
            state.ResumeTiming();
            break;
        }
        stored += static_cast<std::int64_t>(std::filesystem::file_size(f.dir.file("support/specs.plist")));
        state.ResumeTiming();
    }
    keeper.resetUpdateStateForTesting();
    if (stored != static_cast<std::int64_t>(f.dataSetBytes) * state.iterations() || alerts != state.iterations())
        state.SkipWithError("not every exchange stored the whole data set");
    state.SetBytesProcessed(stored);
    reportConnections(state, f, logBefore, cold);
}

void dataKeeperExchangeCold(benchmark::State& state) { exchange(state, true); }
void dataKeeperExchangeReused(benchmark::State& state) { exchange(state, false); }
BENCHMARK(dataKeeperExchangeCold)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->UseRealTime();
BENCHMARK(dataKeeperExchangeReused)->Unit(benchmark::kMillisecond)->MinTime(2)->Repetitions(3)->UseRealTime();

// The request alone: POST, reply head and body, no parsing or storing.
void transfer(benchmark::State& state, bool cold)
{
    auto& f = fixture();
    if (!f.error.empty()) {
        state.SkipWithError(f.error.c_str());
        return;
    }
    auto session = kit::URLSession::create();
    std::size_t logBefore = f.loggedClients().size();
    std::int64_t received = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            std::this_thread::sleep_for(kPastKeepAlive);
            state.ResumeTiming();
        }
        double t = kit::Date::now().timeIntervalSinceReferenceDate();
        auto request = DataKeeper::serverRequest(f.url(), bundleIdentifier(), t);
        bool done = false;
        int status = 0;
        std::size_t bytes = 0;
        auto task = session->dataTaskWithRequest(request,
            [&](const kit::Data& body, const std::optional<kit::URLResponse>& response,
                const std::optional<kit::URLError>& error) {
                done = true;
                status = response && !error ? response->statusCode : -1;
                bytes = body.size();
            });
        task->resume();
        kit::RunLoop::main().runUntil([&] { return done; }, 30);
        if (status != 200 || bytes != f.dataSetBytes) {
            state.SkipWithError(("the request failed with status " + std::to_string(status)).c_str());
            break;
        }
        received += static_cast<std::int64_t>(bytes);
    }
    state.SetBytesProcessed(received);
    reportConnections(state, f, logBefore, cold);
}

void urlSessionTransferCold(benchmark::State& state) { transfer(state, true); }
void urlSessionTransferReused(benchmark::State& state) { transfer(state, false); }
BENCHMARK(urlSessionTransferCold)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->UseRealTime();
BENCHMARK(urlSessionTransferReused)->Unit(benchmark::kMillisecond)->MinTime(2)->Repetitions(3)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
