// SPDX-License-Identifier: MIT
#pragma once

#include "kit/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

class URLSession;
class DataTask;

// What to load. The session keeps no cache of its own, so every policy loads from the origin;
// ReloadRevalidatingCacheData also asks caches on the way to revalidate.
struct URLRequest {
    enum class CachePolicy { UseProtocolCachePolicy, ReloadIgnoringLocalCacheData, ReloadRevalidatingCacheData };

    std::string url;
    std::string method = "GET";
    std::vector<std::pair<std::string, std::string>> headerFields;
    std::string body; // sent as is; POST defaults to "application/x-www-form-urlencoded"
    double timeoutInterval = 60.0; // seconds without progress before the task fails as timed out
    CachePolicy cachePolicy = CachePolicy::UseProtocolCachePolicy;

    void setValueForHTTPHeaderField(std::string value, std::string field);
};

// The head of a reply, complete before any body byte is handed on.
struct URLResponse {
    std::string url;
    bool isHTTP = false;
    int statusCode = 0; // 0 when not an HTTP reply
    std::string mimeType; // Content-Type without parameters, lower-case; empty when absent
    std::string textEncodingName; // the charset parameter, lower-case; empty when absent
    std::int64_t expectedContentLength = -1; // -1 when unknown
    std::vector<std::pair<std::string, std::string>> allHeaderFields; // in arrival order

    // The first field of that name, compared case-insensitively.
    std::optional<std::string> valueForHTTPHeaderField(std::string_view field) const;
};

// A Content-Type value taken apart: "Text/HTML; charset=\"UTF-8\"" gives "text/html" and "utf-8".
// Both lower-case and empty when absent; parameters other than charset are ignored, and only a
// parameter named exactly charset counts ("x-charset=" does not).
struct ContentType {
    std::string mimeType;
    std::string charset;
};
ContentType parseContentType(std::string_view value);

struct URLError {
    enum class Code {
        Unknown,
        Cancelled,
        BadURL,
        UnsupportedURL,
        TimedOut,
        CannotFindHost,
        CannotConnectToHost,
        NetworkConnectionLost,
        SecureConnectionFailed,
        ServerCertificateUntrusted,
        DataLengthExceedsMaximum,
        BadServerResponse,
    };

    Code code = Code::Unknown;
    std::string message;

    static std::string_view codeName(Code);
};

enum class ResponseDisposition { Allow, Cancel };

// Asked once per task before it connects to an https server. The session always verifies the
// server's certificate chain and host name: against $SSL_CERT_FILE / $SSL_CERT_DIR when set,
// else the system store. The delegate may only let that happen or cancel the task.
struct URLAuthenticationChallenge {
    enum class Method { ServerTrust };
    Method authenticationMethod = Method::ServerTrust;
    std::string host;
    int port = 0;
};

enum class ChallengeDisposition { PerformDefaultHandling, CancelAuthenticationChallenge };

// Hears a session's delegate-driven tasks, always on the main thread and always from the run
// loop (never from inside a transfer), so each callback may cancel tasks or start new ones.
// Order per task: didReceiveChallenge (https only), didReceiveResponse, didReceiveData…,
// didCompleteWithError exactly once.
class URLSessionDataDelegate {
public:
    virtual ~URLSessionDataDelegate() = default;

    virtual ChallengeDisposition didReceiveChallenge(URLSession&, DataTask&, const URLAuthenticationChallenge&)
    {
        return ChallengeDisposition::PerformDefaultHandling;
    }
    virtual ResponseDisposition didReceiveResponse(URLSession&, DataTask&, const URLResponse&)
    {
        return ResponseDisposition::Allow;
    }
    virtual void didReceiveData(URLSession&, DataTask&, std::span<const std::uint8_t>) { }
    // No error means the whole body arrived; cancellation reports URLError::Code::Cancelled.
    virtual void didCompleteWithError(URLSession&, DataTask&, const std::optional<URLError>&) { }
};

// One request's transfer. Created suspended by a session; resume() starts it, cancel() ends it
// at any point (also from inside delegate callbacks). A running task keeps its session alive.
class DataTask : public std::enable_shared_from_this<DataTask> {
public:
    enum class State { Suspended, Running, Canceling, Completed };
    using CompletionHandler
        = std::function<void(const Data& body, const std::optional<URLResponse>&, const std::optional<URLError>&)>;

    void resume();
    void cancel();

    State state() const { return m_state; }
    std::uint64_t taskIdentifier() const { return m_identifier; }
    const URLRequest& originalRequest() const { return m_request; }
    const std::optional<URLResponse>& response() const { return m_response; }
    const std::optional<URLError>& error() const { return m_error; }
    std::int64_t countOfBytesReceived() const { return m_bytesReceived; }

    ~DataTask();

    struct Transfer;

private:
    friend class URLSession;
    friend struct URLSessionEngine;
    DataTask(std::shared_ptr<URLSession>, URLRequest, CompletionHandler);

    std::shared_ptr<URLSession> m_session; // set while running
    std::weak_ptr<URLSession> m_owner;
    URLRequest m_request;
    CompletionHandler m_completion;
    State m_state = State::Suspended;
    std::uint64_t m_identifier = 0;
    std::optional<URLResponse> m_response;
    std::optional<URLError> m_error;
    std::int64_t m_bytesReceived = 0;
    std::unique_ptr<Transfer> m_transfer;
};

// A URL-loading session over libcurl, driven by the main run loop. Tasks of a session with a
// delegate report to it; tasks made with a completion handler report only to the handler.
class URLSession : public std::enable_shared_from_this<URLSession> {
public:
    static constexpr std::size_t kDefaultMaximumBodyBytes = 64 * 1024 * 1024;

    // The delegate is not owned; clear it with setDelegate(nullptr) before it goes away.
    static std::shared_ptr<URLSession> create(URLSessionDataDelegate* delegate = nullptr);
    // A process-wide session without a delegate, for plain requests with a completion handler.
    static URLSession& shared();

    std::shared_ptr<DataTask> dataTaskWithRequest(const URLRequest&);
    std::shared_ptr<DataTask> dataTaskWithRequest(const URLRequest&, DataTask::CompletionHandler);
    // A plain GET, already resumed.
    std::shared_ptr<DataTask> getURL(const std::string& url, DataTask::CompletionHandler);

    URLSessionDataDelegate* delegate() const { return m_delegate; }
    void setDelegate(URLSessionDataDelegate* delegate) { m_delegate = delegate; }

    // Bodies longer than this fail with DataLengthExceedsMaximum.
    std::size_t maximumBodyBytes() const { return m_maximumBodyBytes; }
    void setMaximumBodyBytes(std::size_t bytes) { m_maximumBodyBytes = bytes; }

    // Cancels every task of this session that has not completed.
    void invalidateAndCancel();
    // Tasks of this session that have not completed.
    std::size_t runningTaskCount() const;

    ~URLSession();

private:
    friend class DataTask;
    friend struct URLSessionEngine;
    explicit URLSession(URLSessionDataDelegate* delegate);

    URLSessionDataDelegate* m_delegate = nullptr; // not owned
    std::size_t m_maximumBodyBytes = kDefaultMaximumBodyBytes;
    std::vector<std::weak_ptr<DataTask>> m_tasks;
};

} // namespace kit
