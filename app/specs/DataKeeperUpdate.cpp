// SPDX-License-Identifier: MIT
#include "app/specs/DataKeeper.h"

#include "kit/base/Bundle.h"
#include "kit/base/DateFormatter.h"
#include "kit/base/FileManager.h"
#include "kit/base/Log.h"
#include "kit/base/MD5.h"
#include "kit/base/NotificationCenter.h"
#include "kit/base/PropertyList.h"
#include "kit/base/RunLoop.h"
#include "kit/base/UserDefaults.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// Keeps the https addresses; each other one is logged once, as the list is read once.
std::vector<std::string> acceptedServers(std::vector<std::string> urls)
{
    std::vector<std::string> accepted;
    for (auto& url : urls) {
        if (DataKeeper::isAcceptedServerURL(url))
            accepted.push_back(std::move(url));
        else
            kit::Log::write("Error serverURLs: skipping " + url + ": a data server address must be https");
    }
    return accepted;
}

std::string formatNumber(double value)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%lf", value);
    return buffer;
}

} // namespace

void DataKeeper::updateData(bool force)
{
    auto& keeper = sharedKeeper();
    auto& defaults = kit::UserDefaults::standardUserDefaults();
    auto now = kit::Date::now();
    if (!force) {
        // Without a stored date nothing is fetched until a forced refresh.
        auto next = defaults.dateForKey(kNextUpdateDateKey);
        if (!next || !(*next < now))
            return;
    }
    // A second exchange would share the first one's buffer and counters.
    if (keeper.m_exchangeRunning)
        return;
    keeper.getServerData();
    defaults.setDate(now.byAdding(kUpdateInterval), kNextUpdateDateKey);
    defaults.synchronize();
}

const std::vector<std::string>& DataKeeper::serverURLs()
{
    if (!m_serverURLs) {
        std::vector<std::string> urls;
        if (const auto* list = kit::Bundle::mainBundle().objectForInfoDictionaryKey(kDataServerURLsInfoKey).asArray()) {
            for (const auto& entry : *list) {
                if (const auto* url = entry.asString(); url && !url->empty())
                    urls.push_back(*url);
            }
        }
        m_serverURLs = acceptedServers(std::move(urls));
    }
    return *m_serverURLs;
}

void DataKeeper::setServerURLs(std::vector<std::string> urls) { m_serverURLs = acceptedServers(std::move(urls)); }

bool DataKeeper::isAcceptedServerURL(std::string_view url)
{
    constexpr std::string_view scheme = "https://";
    if (url.size() <= scheme.size())
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i])
            return false;
    }
    return true;
}

bool DataKeeper::isPlausibleServerDate(kit::Date serverDate, kit::Date now)
{
    return !(now.byAdding(kFutureDateAllowance) < serverDate);
}

kit::Date DataKeeper::serverDataModificationDate() const
{
    return m_serverDataModificationDate.value_or(kit::Date::distantPast());
}

std::string DataKeeper::requestToken(std::string_view bundleIdentifier, double mn)
{
    return kit::md5Hex(kit::md5(std::string(bundleIdentifier) + formatNumber(mn)), true);
}

std::string DataKeeper::requestBody(std::string_view bundleIdentifier, double mn)
{
    // None of the three fields holds anything that needs percent-encoding.
    return "pass=" + requestToken(bundleIdentifier, mn) + "&name=" + std::string(kSpecsFileName) + "&mn=" + formatNumber(mn);
}

std::string DataKeeper::requestURL(std::string_view serverAddress)
{
    std::string url(serverAddress);
    if (url.ends_with(kServerScriptName))
        return url;
    if (!url.ends_with('/'))
        url += '/';
    return url + std::string(kServerScriptName);
}

kit::URLRequest DataKeeper::serverRequest(std::string_view serverAddress, std::string_view bundleIdentifier, double mn)
{
    kit::URLRequest request;
    request.url = requestURL(serverAddress);
    request.method = "POST";
    request.body = requestBody(bundleIdentifier, mn);
    request.timeoutInterval = kRequestTimeout;
    request.cachePolicy = kit::URLRequest::CachePolicy::ReloadRevalidatingCacheData;
    return request;
}

bool DataKeeper::isNewerThanWorkingCopy(kit::Date serverDate, std::optional<kit::Date> workingCopyDate)
{
    return !workingCopyDate || *workingCopyDate < serverDate;
}

void DataKeeper::getServerData()
{
    kit::RunLoop::main().cancelPerformRequests(this);
    kit::RunLoop::main().cancelPerformRequests(&m_attemptDeadlineTag);
    m_exchangeRunning = true;
    const auto& urls = serverURLs();
    if (urls.empty()) {
        doneWithError(kConnectionError);
        return;
    }
    double t = kit::Date::now().timeIntervalSinceReferenceDate();
    auto request = serverRequest(urls.back(), DataKeeper::bundleIdentifier(), t);
    request.timeoutInterval = m_requestTimeout;
    // Every request gets a session of its own; the earlier one is not used again.
    m_session = kit::URLSession::create(&m_sessionDelegate);
    m_task = m_session->dataTaskWithRequest(request);
    m_task->resume();
    // The stall time-out counts only silence; this bounds the whole attempt.
    kit::RunLoop::main().performAfterDelay(&m_attemptDeadlineTag, m_attemptDeadline, [this] { attemptDeadlinePassed(); });
}

void DataKeeper::attemptDeadlinePassed()
{
    // Cancelled with the task kept: its cancellation arrives as a failed attempt.
    if (m_task)
        m_task->cancel();
}

void DataKeeper::changeServer()
{
    serverURLs();
    auto& urls = *m_serverURLs;
    if (urls.size() > 1) {
        urls.pop_back();
        m_connectionAttemptsCount = 0;
        getServerData();
    } else {
        doneWithError(kConnectionError);
    }
}

void DataKeeper::doneWithError(std::optional<std::string_view> message)
{
    kit::RunLoop::main().cancelPerformRequests(&m_attemptDeadlineTag);
    m_connectionData.reset();
    m_exchangeRunning = false;
    m_lastExchangeResult = std::string(message.value_or(""));
    if (message && !message->empty())
        return;
    dropCachedData();
    kit::NotificationCenter::defaultCenter().post(DKNewDataIsAvailableNotification, this);
    if (presentNewDataAlert) {
        auto& bundle = kit::Bundle::mainBundle();
        presentNewDataAlert(NewDataAlert { bundle.localizedString("NewSpecsDataAvailableTitle"),
            bundle.localizedString("NewSpecsDataAvailableMessage"), "OK" });
    }
}

kit::ChallengeDisposition DataKeeper::didReceiveChallenge(kit::URLSession&, kit::DataTask&,
    const kit::URLAuthenticationChallenge&)
{
    // The session verifies the chain and the host name; an untrusted server fails the attempt.
    return kit::ChallengeDisposition::PerformDefaultHandling;
}

void DataKeeper::endFromReply(kit::DataTask& task, std::optional<std::string_view> message)
{
    // The exchange ends here, so the cancellation that follows is no failed attempt.
    m_task.reset();
    task.cancel();
    if (message)
        doneWithError(message);
}

kit::ResponseDisposition DataKeeper::didReceiveResponse(kit::URLSession&, kit::DataTask& task, const kit::URLResponse& response)
{
    if (m_task.get() != &task)
        return kit::ResponseDisposition::Cancel;
    if (response.isHTTP) {
        if (response.statusCode != 200) {
            if (response.statusCode == 400) {
                endFromReply(task, kError400);
            } else if (response.statusCode == 401) {
                endFromReply(task, kError401);
            } else {
                // The next server right away; this one has answered and gets no further attempt.
                endFromReply(task, std::nullopt);
                changeServer();
            }
            return kit::ResponseDisposition::Cancel;
        }
        if (response.mimeType != "text/xml" && response.mimeType != "image/png") {
            endFromReply(task, kError2006);
            return kit::ResponseDisposition::Cancel;
        }
        auto lastModified = response.valueForHTTPHeaderField("Last-Modified");
        if (!lastModified) {
            endFromReply(task, kError2004);
            return kit::ResponseDisposition::Cancel;
        }
        // A date that doesn't parse stays unset and reads as the distant past.
        m_serverDataModificationDate = kit::DateFormatter::parseHTTPDate(*lastModified);
        // Stored, a date past the clock would make every correct data set after it look old:
        // a broken server, and a failed attempt.
        if (!isPlausibleServerDate(serverDataModificationDate(), kit::Date::now()))
            return kit::ResponseDisposition::Cancel;
        // A working copy that doesn't load states no age: any reply is newer.
        auto workingCopyDate = loadableWorkingCopyDate();
        if (workingCopyDate && !isNewerThanWorkingCopy(serverDataModificationDate(), workingCopyDate)) {
            endFromReply(task, kDataIsCurrent);
            return kit::ResponseDisposition::Cancel;
        }
    }
    m_connectionData = kit::Data {};
    return kit::ResponseDisposition::Allow;
}

void DataKeeper::didReceiveData(kit::URLSession&, kit::DataTask& task, std::span<const std::uint8_t> bytes)
{
    if (m_task.get() != &task)
        return;
    if (!m_connectionData)
        m_connectionData = kit::Data {};
    m_connectionData->insert(m_connectionData->end(), bytes.begin(), bytes.end());
}

void DataKeeper::didCompleteWithError(kit::URLSession&, kit::DataTask& task, const std::optional<kit::URLError>& error)
{
    // A task that ended its exchange from its reply head, or one from an earlier session.
    if (m_task.get() != &task)
        return;
    m_task.reset();
    kit::RunLoop::main().cancelPerformRequests(&m_attemptDeadlineTag);
    bool failed = error.has_value();
    if (!failed) {
        storeReply();
        if (!m_exchangeRunning)
            return;
        failed = true; // the body was no data set: the attempt failed
    }
    auto c = m_connectionAttemptsCount;
    ++m_connectionAttemptsCount;
    m_connectionData.reset();
    if (c < kAttemptsPerServer - 1)
        kit::RunLoop::main().performAfterDelay(this, kRetryDelay, [this] { getServerData(); });
    else
        changeServer();
}

// Stores the reply as the working copy when it is a data set; ends the exchange unless the
// body was unusable, which leaves it running for the retry rules.
void DataKeeper::storeReply()
{
    kit::Data body = m_connectionData.value_or(kit::Data {});
    // Anything else would leave the application with less data than it had: a body has to be a
    // data set with at least one model in it.
    auto parsed = kit::PropertyList::read(body);
    if (!parsed.ok() || !isUsableDataSet(*parsed))
        return;
    auto path = specsInWorkingDirectoryPath();
    if (!path) {
        doneWithError(kStoreError);
        return;
    }
    // File systems don't keep the distant past; a date that didn't parse is stored as the
    // earliest the file keeps, which still reads as older than any real date.
    auto date = std::max(serverDataModificationDate(), kit::Date::fromUnix(0));
    if (auto written = kit::FileManager::writeFileAtomically(*path, body, date); !written.ok()) {
        doneWithError(kStoreError);
        return;
    }
    doneWithError(std::nullopt);
}

void DataKeeper::resetUpdateStateForTesting()
{
    kit::RunLoop::main().cancelPerformRequests(this);
    kit::RunLoop::main().cancelPerformRequests(&m_attemptDeadlineTag);
    if (m_task)
        m_task->cancel();
    m_task.reset();
    if (m_session)
        m_session->setDelegate(nullptr);
    m_session.reset();
    m_serverURLs.reset();
    m_connectionAttemptsCount = 0;
    m_connectionData.reset();
    m_serverDataModificationDate.reset();
    m_exchangeRunning = false;
    m_lastExchangeResult.reset();
    m_requestTimeout = kRequestTimeout;
    m_attemptDeadline = kAttemptDeadline;
    presentNewDataAlert = nullptr;
}
