// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Date.h"
#include "kit/base/RunLoop.h"
#include "kit/base/URLSession.h"
#include "kit/base/Value.h"
#include "kit/ui/AttributedString.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Posted after a refresh has stored a newer data set; the object is the shared DataKeeper.
inline constexpr std::string_view DKNewDataIsAvailableNotification = "DKNewDataIsAvailableNotification";

// The one owner of the tech specs data set ("specs.plist"): the read-only bundle copy, the
// working copy in the application-support folder that the bundle copy seeds and downloads
// replace, and what the screens read from it. A process-wide instance; the class operations
// forward to it. Main thread only.
class DataKeeper {
public:
    // Top-level keys of the data set that are not model keys.
    static constexpr std::string_view kOrderedSpecsKeysKey = "orderedSpecsKeys";
    static constexpr std::string_view kOrderedComparisonSpecsKeysKey = "orderedComparisonSpecsKeys";
    static constexpr std::string_view kUnknownModelKey = "unknown";
    static constexpr std::string_view kFamilyKeys[] = { "iPhone", "iPod", "iPad" };
    static constexpr std::string_view kSpecsFileName = "specs.plist";
    // The rows used when the data set brings no (or an empty) "orderedSpecsKeys" or
    // "orderedComparisonSpecsKeys".
    static const std::vector<std::string>& defaultSpecsKeys();
    static const std::vector<std::string>& defaultComparisonSpecsKeys();

    // Created on the first call, lives for the process.
    static DataKeeper& sharedKeeper();
    // Info.plist's identifier, or the program's own when Info.plist has none, so the working
    // copy still has a folder of its own and an update request still names the program.
    static std::string bundleIdentifier();

    // The bundle resource "specs" of type "plist"; looked up once.
    static std::optional<std::string> specsInBundlePath();
    // "specs.plist" in the application-support folder; computed once per process. When the
    // folder can't be had, one log line is written and the path stays absent.
    // Temporary files that an interrupted store left beside the working copy are removed when
    // the path is first computed.
    static std::optional<std::string> specsInWorkingDirectoryPath();
    // The working copy's modification date, but only when the file loads as a data set: a copy
    // that can't be read states no age and counts as older than anything.
    static std::optional<kit::Date> loadableWorkingCopyDate();
    // A dictionary with at least one model entry (a dictionary with a string "Name"): what may
    // become the working copy.
    static bool isUsableDataSet(const kit::Value& data);
    // Seeds the working copy from the bundle copy unless the working copy loads and is at least
    // as new. The copy is written atomically and carries the bundle copy's modification date,
    // which the build sets to the day its data last changed.
    static void copyDataFromBundleIfNeeded();

    // One model's entry (a dictionary), looked up afresh; null when the key or the data is absent.
    static kit::Value specsForModel(std::string_view modelKey);
    // Model keys in display order: family keys, "unknown" and the two row lists left out
    // unless one of them is this device's key. Computed from the first data set that could be
    // loaded and then kept for the process.
    static const std::vector<std::string>& sortedModelsKeys();
    // Tech Specs rows and comparison rows (spec key paths). Computed once per process.
    static const std::vector<std::string>& allSpecsKeys();
    static const std::vector<std::string>& comparisonSpecsKeys();
    // This device's entry key: its own model identifier when the data set has it, else the
    // longest top-level key that is a prefix of it (a family entry), else "unknown".
    static std::string thisModelKey();

    // Three runs: first in attr1, the divider in attr1 only when both strings are non-empty
    // (else an empty run), second in attr2.
    static kit::AttributedString composeMultiString(std::string_view first, std::string_view second, std::string_view divider,
        const kit::TextAttributes& attr1, const kit::TextAttributes& attr2);

    // The parsed working copy: a dictionary, or null when it could not be had. Loaded on first
    // use; a missing or unreadable working copy falls back to the bundle copy (one log line).
    // The reference stays valid until dropCachedData(), or until the run loop lets the parsed
    // copy go (below).
    const kit::Value& allData();

    // Parsed, the data set takes most of a megabyte, and after launch only the Tech Specs and
    // Compare screens read it: the run loop lets it go this long after it was last read, and it
    // is read from the file again when next needed. What was worked out from it is kept.
    static constexpr double kKeepParsedDataSeconds = 10;
    bool holdsParsedData() const { return m_allDataLoaded; }

    // Forgets the data set and this device's key, so both are recomputed against the file on
    // their next use. The model list and the row lists are kept for the process.
    void dropCachedData();

    // Test seams. Overrides take effect after resetForTesting(), which also forgets every
    // cached value (including those kept for the process) and the computed paths.
    static void setBundleSpecsPathForTesting(std::optional<std::string> path);
    static void setApplicationSupportDirectoryForTesting(std::optional<std::string> directory);
    static void setModelIdentifierForTesting(std::optional<std::string> identifier);
    static void resetForTesting();

    DataKeeper(const DataKeeper&) = delete;
    DataKeeper& operator=(const DataKeeper&) = delete;

private:
    DataKeeper() = default;

    std::optional<std::string> computeWorkingDirectoryPath();
    std::string computeThisModelKey();
    void keepParsedDataAWhile();
    void armParsedDataRelease(double delay);
    void releaseParsedData();
    std::string deviceModelIdentifier() const;

    // Cached data, in the order the screens depend on it.
    kit::Value m_allData;
    bool m_allDataLoaded = false;
    double m_lastDataUse = 0; // on the run loop's clock
    std::shared_ptr<kit::Timer> m_releaseTimer;
    std::optional<std::vector<std::string>> m_sortedModelsKeys;
    std::optional<std::string> m_thisModelKey;
    std::optional<std::vector<std::string>> m_comparisonSpecsKeys;
    std::optional<std::vector<std::string>> m_allSpecsKeys;

    std::optional<std::optional<std::string>> m_specsInBundlePath;
    std::optional<std::optional<std::string>> m_specsInWorkingDirectoryPath;

    std::optional<std::string> m_bundleSpecsPathOverride;
    std::optional<std::string> m_applicationSupportDirectoryOverride;
    std::optional<std::string> m_modelIdentifierOverride;

public:
    // ---- Data set refresh from the server ----------------------------------------------------
    // Implemented in DataKeeperUpdate.cpp. One exchange runs from getServerData to doneWithError:
    // up to three attempts per server, one second apart, primary first, then the secondary.
    static constexpr std::string_view kNextUpdateDateKey = "kNextUpdateDate";
    // Info.plist: [secondary, primary]; each an https address ending in "getdata.pl" or a base
    // address that "getdata.pl" is appended to.
    static constexpr std::string_view kDataServerURLsInfoKey = "QNDataServerURLs";
    static constexpr std::string_view kServerScriptName = "getdata.pl";
    static constexpr double kUpdateInterval = 604800.0; // seven days
    static constexpr double kRequestTimeout = 20.0; // silence that fails an attempt
    // Request to last byte: a server that keeps sending a trickle fails the attempt all the same.
    static constexpr double kAttemptDeadline = 60.0;
    // How far past the client's clock a "Last-Modified" may lie; a later date would make every
    // correct data set after it look old.
    static constexpr double kFutureDateAllowance = 86400.0;
    static constexpr double kRetryDelay = 1.0;
    static constexpr std::int64_t kAttemptsPerServer = 3;
    // Failure marks of doneWithError; the two last are ours: the stored data is already current,
    // and a reply that could not be stored.
    static constexpr std::string_view kError400 = "MDError400";
    static constexpr std::string_view kError401 = "MDError401";
    static constexpr std::string_view kError2004 = "MDError2004";
    static constexpr std::string_view kError2006 = "MDError2006";
    static constexpr std::string_view kConnectionError = "MDConnectionError";
    static constexpr std::string_view kDataIsCurrent = "MDDataIsCurrent";
    static constexpr std::string_view kStoreError = "MDStoreError";

    // Starts an exchange when forced or when "kNextUpdateDate" has passed, and at once moves
    // "kNextUpdateDate" a week on. Does nothing while an exchange is running.
    static void updateData(bool force);
    void getServerData();
    void changeServer();
    // No message (or an empty one): success. Anything else ends the exchange silently.
    void doneWithError(std::optional<std::string_view> message);

    // URLSessionDataDelegate, heard through m_sessionDelegate.
    kit::ChallengeDisposition didReceiveChallenge(kit::URLSession&, kit::DataTask&, const kit::URLAuthenticationChallenge&);
    kit::ResponseDisposition didReceiveResponse(kit::URLSession&, kit::DataTask&, const kit::URLResponse&);
    void didReceiveData(kit::URLSession&, kit::DataTask&, std::span<const std::uint8_t> bytes);
    void didCompleteWithError(kit::URLSession&, kit::DataTask&, const std::optional<kit::URLError>& error);

    // The request's pieces for a request time mn (seconds since the reference date): the token is
    // the MD5 of bundle identifier + mn printed with "%lf", as 32 uppercase hexadecimal digits.
    static std::string requestToken(std::string_view bundleIdentifier, double mn);
    static std::string requestBody(std::string_view bundleIdentifier, double mn);
    static std::string requestURL(std::string_view serverAddress);
    static kit::URLRequest serverRequest(std::string_view serverAddress, std::string_view bundleIdentifier, double mn);
    // Whether a reply dated serverDate should replace a working copy dated workingCopyDate
    // (absent: there is none, or it doesn't load).
    static bool isNewerThanWorkingCopy(kit::Date serverDate, std::optional<kit::Date> workingCopyDate);
    // A "Last-Modified" no later than the client's clock plus kFutureDateAllowance.
    static bool isPlausibleServerDate(kit::Date serverDate, kit::Date now);
    // Only https addresses are data servers (the scheme compared without regard to case).
    static bool isAcceptedServerURL(std::string_view url);

    // Servers still to try, the current one last; read from Info.plist on first use, where an
    // address that is not https is skipped with one log line.
    const std::vector<std::string>& serverURLs();
    void setServerURLs(std::vector<std::string> urls);
    std::int64_t connectionAttemptsCount() const { return m_connectionAttemptsCount; }
    // The distant past while unset.
    kit::Date serverDataModificationDate() const;
    const std::shared_ptr<kit::URLSession>& session() const { return m_session; }
    bool isExchangeRunning() const { return m_exchangeRunning; }
    bool hasRequestInFlight() const { return m_task != nullptr; }
    // What the last finished exchange ended with (an empty string for success).
    const std::optional<std::string>& lastExchangeResult() const { return m_lastExchangeResult; }

    // The alert shown after new data was stored: texts already localised, one action.
    struct NewDataAlert {
        std::string title;
        std::string message;
        std::string actionTitle;
    };
    // Installed by the application shell, which presents it over the current screen.
    std::function<void(const NewDataAlert&)> presentNewDataAlert;

    void setRequestTimeoutForTesting(double seconds) { m_requestTimeout = seconds; }
    void setAttemptDeadlineForTesting(double seconds) { m_attemptDeadline = seconds; }
    // Forgets the refresh state: servers, attempts, session, pending retries.
    void resetUpdateStateForTesting();

private:
    struct SessionDelegate final : kit::URLSessionDataDelegate {
        explicit SessionDelegate(DataKeeper& owner)
            : keeper(owner)
        {
        }
        kit::ChallengeDisposition didReceiveChallenge(kit::URLSession& s, kit::DataTask& t,
            const kit::URLAuthenticationChallenge& c) override
        {
            return keeper.didReceiveChallenge(s, t, c);
        }
        kit::ResponseDisposition didReceiveResponse(kit::URLSession& s, kit::DataTask& t, const kit::URLResponse& r) override
        {
            return keeper.didReceiveResponse(s, t, r);
        }
        void didReceiveData(kit::URLSession& s, kit::DataTask& t, std::span<const std::uint8_t> b) override
        {
            keeper.didReceiveData(s, t, b);
        }
        void didCompleteWithError(kit::URLSession& s, kit::DataTask& t, const std::optional<kit::URLError>& e) override
        {
            keeper.didCompleteWithError(s, t, e);
        }
        DataKeeper& keeper;
    };

    // Ends the exchange from a reply head: the task is cancelled and its cancellation not counted.
    void endFromReply(kit::DataTask& task, std::optional<std::string_view> message);
    void storeReply();
    // The attempt ran out of its whole deadline: cancelled, and counted as a failed attempt.
    void attemptDeadlinePassed();

    SessionDelegate m_sessionDelegate { *this };
    std::int64_t m_connectionAttemptsCount = 0;
    std::optional<std::vector<std::string>> m_serverURLs;
    std::optional<kit::Data> m_connectionData;
    std::optional<kit::Date> m_serverDataModificationDate;
    std::shared_ptr<kit::URLSession> m_session;
    std::shared_ptr<kit::DataTask> m_task; // the request in flight
    bool m_exchangeRunning = false;
    std::optional<std::string> m_lastExchangeResult;
    double m_requestTimeout = kRequestTimeout;
    double m_attemptDeadline = kAttemptDeadline;
    // Target of the attempt's deadline call, apart from the retry's (which has `this`).
    char m_attemptDeadlineTag = 0;
};
