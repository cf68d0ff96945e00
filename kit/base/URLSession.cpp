// SPDX-License-Identifier: MIT
#include "kit/base/URLSession.h"

#include "kit/base/RunLoop.h"
#include "kit/base/Strings.h"
#include "kit/base/Verify.h"

#include <curl/curl.h>
#include <dlfcn.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <type_traits>

namespace kit {

namespace {

std::string lowercase(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// libcurl, and the TLS and authentication libraries under it, are loaded by the first transfer
// rather than at start: most runs fetch nothing, and mapping them costs several megabytes of
// resident memory in every run.
struct Curl {
    decltype(&::curl_global_init) global_init = nullptr;
    decltype(&::curl_easy_init) easy_init = nullptr;
    decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&::curl_easy_pause) easy_pause = nullptr;
    decltype(&::curl_easy_setopt) easy_setopt = nullptr;
    decltype(&::curl_easy_strerror) easy_strerror = nullptr;
    decltype(&::curl_free) free = nullptr;
    decltype(&::curl_multi_init) multi_init = nullptr;
    decltype(&::curl_multi_add_handle) multi_add_handle = nullptr;
    decltype(&::curl_multi_info_read) multi_info_read = nullptr;
    decltype(&::curl_multi_remove_handle) multi_remove_handle = nullptr;
    decltype(&::curl_multi_setopt) multi_setopt = nullptr;
    decltype(&::curl_multi_socket_action) multi_socket_action = nullptr;
    decltype(&::curl_slist_append) slist_append = nullptr;
    decltype(&::curl_slist_free_all) slist_free_all = nullptr;
    decltype(&::curl_url) url = nullptr;
    decltype(&::curl_url_cleanup) url_cleanup = nullptr;
    decltype(&::curl_url_get) url_get = nullptr;
    decltype(&::curl_url_set) url_set = nullptr;
};

// Nothing when libcurl cannot be loaded; tried once.
const Curl* loadCurl()
{
    static const Curl* loaded = []() -> const Curl* {
        void* handle = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return nullptr;
        static Curl api;
        auto load = [handle](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle, name));
            return function != nullptr;
        };
        bool complete = load(api.global_init, "curl_global_init") && load(api.easy_init, "curl_easy_init")
            && load(api.easy_cleanup, "curl_easy_cleanup") && load(api.easy_pause, "curl_easy_pause")
            && load(api.easy_setopt, "curl_easy_setopt") && load(api.easy_strerror, "curl_easy_strerror")
            && load(api.free, "curl_free") && load(api.multi_init, "curl_multi_init")
            && load(api.multi_add_handle, "curl_multi_add_handle") && load(api.multi_info_read, "curl_multi_info_read")
            && load(api.multi_remove_handle, "curl_multi_remove_handle") && load(api.multi_setopt, "curl_multi_setopt")
            && load(api.multi_socket_action, "curl_multi_socket_action") && load(api.slist_append, "curl_slist_append")
            && load(api.slist_free_all, "curl_slist_free_all") && load(api.url, "curl_url")
            && load(api.url_cleanup, "curl_url_cleanup") && load(api.url_get, "curl_url_get")
            && load(api.url_set, "curl_url_set");
        if (!complete) {
            ::dlclose(handle);
            return nullptr;
        }
        api.global_init(CURL_GLOBAL_DEFAULT);
        return &api;
    }();
    return loaded;
}

// Only reached once a transfer has found the library loaded.
const Curl& libcurl()
{
    const Curl* api = loadCurl();
    VERIFY(api);
    return *api;
}

std::uint64_t nextTaskIdentifier()
{
    static std::uint64_t counter = 0;
    return ++counter;
}

} // namespace

void URLRequest::setValueForHTTPHeaderField(std::string value, std::string field)
{
    for (auto& [name, existing] : headerFields) {
        if (equalsIgnoringCase(name, field)) {
            existing = std::move(value);
            return;
        }
    }
    headerFields.emplace_back(std::move(field), std::move(value));
}

ContentType parseContentType(std::string_view value)
{
    ContentType result;
    auto semicolon = value.find(';');
    result.mimeType = lowercase(trim(value.substr(0, semicolon)));
    while (semicolon != std::string_view::npos) {
        value.remove_prefix(semicolon + 1);
        semicolon = value.find(';');
        std::string_view parameter = value.substr(0, semicolon);
        auto equals = parameter.find('=');
        if (equals == std::string_view::npos || !equalsIgnoringCase(trim(parameter.substr(0, equals)), "charset"))
            continue;
        std::string_view name = trim(parameter.substr(equals + 1));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = name.substr(1, name.size() - 2);
        result.charset = lowercase(name);
        break;
    }
    return result;
}

std::optional<std::string> URLResponse::valueForHTTPHeaderField(std::string_view field) const
{
    for (const auto& [name, value] : allHeaderFields) {
        if (equalsIgnoringCase(name, field))
            return value;
    }
    return std::nullopt;
}

std::string_view URLError::codeName(Code code)
{
    switch (code) {
    case Code::Unknown:
        return "unknown";
    case Code::Cancelled:
        return "cancelled";
    case Code::BadURL:
        return "bad URL";
    case Code::UnsupportedURL:
        return "unsupported URL";
    case Code::TimedOut:
        return "timed out";
    case Code::CannotFindHost:
        return "cannot find host";
    case Code::CannotConnectToHost:
        return "cannot connect to host";
    case Code::NetworkConnectionLost:
        return "network connection lost";
    case Code::SecureConnectionFailed:
        return "secure connection failed";
    case Code::ServerCertificateUntrusted:
        return "server certificate untrusted";
    case Code::DataLengthExceedsMaximum:
        return "data length exceeds maximum";
    case Code::BadServerResponse:
        return "bad server response";
    }
    return "unknown";
}

// The libcurl side of one running task. Callbacks only record what happened; the engine hands
// it to the delegate from the run loop once libcurl has returned.
struct DataTask::Transfer {
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    // Head being read; a new status line (after 1xx or a redirect) starts over.
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headerLines;
    bool headComplete = false;
    bool responseQueued = false; // head complete, the delegate hasn't heard it yet
    bool responseAnswered = false; // the delegate allowed the body
    bool paused = false;

    Data pendingBody; // received, not yet handed on
    Data collected; // for completion handlers
    bool tooLarge = false;
    bool cancelledByUs = false;

    bool done = false; // libcurl finished
    CURLcode result = CURLE_OK;

    // Stall detection: the time-out counts from the last byte that moved either way.
    double timeout = 60.0;
    gint64 lastProgress = 0; // g_get_monotonic_time()
    guint stallTimer = 0;
    bool timedOut = false;
    curl_off_t lastDownloaded = 0;
    curl_off_t lastUploaded = 0;

    void progressed() { lastProgress = g_get_monotonic_time(); }

    ~Transfer()
    {
        if (stallTimer)
            g_source_remove(stallTimer);
        if (headers)
            libcurl().slist_free_all(headers);
        if (easy)
            libcurl().easy_cleanup(easy);
    }
};

namespace {
URLError errorFor(CURLcode code, const DataTask::Transfer& transfer);
}

// The process-wide libcurl multi handle on the main run loop: sockets are watched with run-loop
// fd watches, and libcurl's single timer is a real-time GLib timeout (libcurl's own deadlines
// must pass in real time even while tests drive the virtual clock).
struct URLSessionEngine {
    CURLM* multi = nullptr;
    guint timerSource = 0;
    guint idleSource = 0;
    std::map<curl_socket_t, std::unique_ptr<FdWatch>> watches;
    std::vector<std::shared_ptr<DataTask>> running; // tasks with work left, in start order
    std::deque<std::shared_ptr<DataTask>> toStart; // resumed, waiting for the loop
    bool dispatching = false;

    static URLSessionEngine& instance()
    {
        // Left alive at exit on purpose: the run loop may outlive static destructors.
        static URLSessionEngine* engine = new URLSessionEngine;
        return *engine;
    }

    URLSessionEngine()
    {
        if (!loadCurl())
            return; // every transfer fails in start()
        multi = libcurl().multi_init();
        libcurl().multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &URLSessionEngine::socketCallback);
        libcurl().multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
        libcurl().multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &URLSessionEngine::timerCallback);
        libcurl().multi_setopt(multi, CURLMOPT_TIMERDATA, this);
    }

    // CURLMOPT_SOCKETFUNCTION: only (re)arms watches; never calls back into libcurl.
    static int socketCallback(CURL*, curl_socket_t fd, int what, void* userp, void*)
    {
        auto& self = *static_cast<URLSessionEngine*>(userp);
        if (what == CURL_POLL_REMOVE) {
            self.watches.erase(fd);
            return 0;
        }
        unsigned events = 0;
        if (what == CURL_POLL_IN || what == CURL_POLL_INOUT)
            events |= FdWatch::Readable;
        if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
            events |= FdWatch::Writable;
        auto it = self.watches.find(fd);
        if (it != self.watches.end()) {
            it->second->setEvents(events);
            return 0;
        }
        self.watches[fd] = RunLoop::main().watchFd(fd, events, [&self](int ready, unsigned readyEvents) {
            int flags = 0;
            if (readyEvents & FdWatch::Readable)
                flags |= CURL_CSELECT_IN;
            if (readyEvents & FdWatch::Writable)
                flags |= CURL_CSELECT_OUT;
            if (readyEvents & FdWatch::Error)
                flags |= CURL_CSELECT_ERR;
            self.socketAction(ready, flags);
        });
        return 0;
    }

    // CURLMOPT_TIMERFUNCTION: stores the deadline; a zero delay still goes through the loop.
    static int timerCallback(CURLM*, long timeoutMs, void* userp)
    {
        auto& self = *static_cast<URLSessionEngine*>(userp);
        if (self.timerSource) {
            g_source_remove(self.timerSource);
            self.timerSource = 0;
        }
        if (timeoutMs >= 0) {
            self.timerSource = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(timeoutMs),
                &URLSessionEngine::timerFired, &self, nullptr);
        }
        return 0;
    }

    static gboolean timerFired(gpointer userp)
    {
        auto& self = *static_cast<URLSessionEngine*>(userp);
        // Cleared first: libcurl may set a new timer from inside the call below.
        self.timerSource = 0;
        self.socketAction(CURL_SOCKET_TIMEOUT, 0);
        return G_SOURCE_REMOVE;
    }

    void socketAction(curl_socket_t fd, int flags)
    {
        int stillRunning = 0;
        libcurl().multi_socket_action(multi, fd, flags, &stillRunning);
        collectFinished();
        dispatch();
    }

    void collectFinished()
    {
        int queued = 0;
        while (CURLMsg* message = libcurl().multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            for (auto& task : running) {
                if (task->m_transfer && task->m_transfer->easy == message->easy_handle) {
                    task->m_transfer->done = true;
                    task->m_transfer->result = message->data.result;
                    libcurl().multi_remove_handle(multi, message->easy_handle);
                    break;
                }
            }
        }
    }

    void scheduleIdle()
    {
        if (idleSource)
            return;
        idleSource = g_idle_add_full(G_PRIORITY_DEFAULT, &URLSessionEngine::idleFired, this, nullptr);
    }

    static gboolean idleFired(gpointer userp)
    {
        auto& self = *static_cast<URLSessionEngine*>(userp);
        self.idleSource = 0;
        while (!self.toStart.empty()) {
            auto task = std::move(self.toStart.front());
            self.toStart.pop_front();
            self.start(task);
        }
        self.dispatch();
        return G_SOURCE_REMOVE;
    }

    void enqueueStart(std::shared_ptr<DataTask> task)
    {
        toStart.push_back(std::move(task));
        scheduleIdle();
    }

    // Asks the delegate about server trust, then hands the transfer to libcurl.
    void start(const std::shared_ptr<DataTask>& task);
    // Hands recorded events to delegates and completion handlers, in order per task.
    void dispatch();
    void finish(const std::shared_ptr<DataTask>& task, std::optional<URLError> error);

    static size_t headerCallback(char* data, size_t size, size_t count, void* userp);
    static int progressCallback(void* userp, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
    {
        auto& transfer = *static_cast<DataTask::Transfer*>(userp);
        if (downloaded != transfer.lastDownloaded || uploaded != transfer.lastUploaded) {
            transfer.lastDownloaded = downloaded;
            transfer.lastUploaded = uploaded;
            transfer.progressed();
        }
        return transfer.cancelledByUs ? 1 : 0;
    }

    void armStallTimer(DataTask& task, double seconds)
    {
        auto& t = *task.m_transfer;
        if (t.stallTimer)
            g_source_remove(t.stallTimer);
        auto ms = static_cast<guint>(std::clamp(seconds * 1000.0, 1.0, 86400000.0));
        t.stallTimer = g_timeout_add_full(G_PRIORITY_DEFAULT, ms, &URLSessionEngine::stallTimerFired, &task, nullptr);
    }

    static gboolean stallTimerFired(gpointer userp)
    {
        auto& engine = instance();
        auto* raw = static_cast<DataTask*>(userp);
        auto task = raw->shared_from_this();
        auto& t = *task->m_transfer;
        t.stallTimer = 0; // cleared first: it may be armed again below
        double idle = static_cast<double>(g_get_monotonic_time() - t.lastProgress) / 1e6;
        if (idle + 0.001 < t.timeout) {
            engine.armStallTimer(*task, t.timeout - idle);
            return G_SOURCE_REMOVE;
        }
        t.timedOut = true;
        t.cancelledByUs = true;
        engine.finish(task, errorFor(CURLE_OPERATION_TIMEDOUT, t));
        engine.dispatch();
        return G_SOURCE_REMOVE;
    }
    static size_t writeCallback(char* data, size_t size, size_t count, void* userp);
};

namespace {

URLError errorFor(CURLcode code, const DataTask::Transfer& transfer)
{
    using Code = URLError::Code;
    std::string detail = transfer.errorBuffer[0] ? transfer.errorBuffer : libcurl().easy_strerror(code);
    auto make = [&](Code c) { return URLError { c, std::string(URLError::codeName(c)) + ": " + detail }; };
    if (transfer.tooLarge)
        return make(Code::DataLengthExceedsMaximum);
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return make(Code::TimedOut);
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return make(Code::CannotFindHost);
    case CURLE_COULDNT_CONNECT:
        return make(Code::CannotConnectToHost);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return make(Code::ServerCertificateUntrusted);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
        return make(Code::SecureConnectionFailed);
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return make(Code::NetworkConnectionLost);
    case CURLE_FILESIZE_EXCEEDED:
        return make(Code::DataLengthExceedsMaximum);
    case CURLE_URL_MALFORMAT:
        return make(Code::BadURL);
    case CURLE_UNSUPPORTED_PROTOCOL:
        return make(Code::UnsupportedURL);
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return make(Code::BadServerResponse);
    default:
        return make(Code::Unknown);
    }
}

URLError cancelledError() { return URLError { URLError::Code::Cancelled, "cancelled" }; }

} // namespace

size_t URLSessionEngine::headerCallback(char* data, size_t size, size_t count, void* userp)
{
    auto& transfer = *static_cast<DataTask::Transfer*>(userp);
    std::string_view line(data, size * count);
    if (transfer.cancelledByUs)
        return 0;
    transfer.progressed();
    if (line.starts_with("HTTP/")) {
        transfer.status = 0;
        transfer.headerLines.clear();
        transfer.headComplete = false;
        auto space = line.find(' ');
        if (space != std::string_view::npos) {
            auto rest = line.substr(space + 1);
            int status = 0;
            for (std::size_t i = 0; i < rest.size() && i < 3 && std::isdigit(static_cast<unsigned char>(rest[i])); ++i)
                status = status * 10 + (rest[i] - '0');
            transfer.status = status;
        }
        return size * count;
    }
    auto content = trim(line);
    if (content.empty()) {
        // The blank line ends a head; interim 1xx heads are followed by the real one.
        if (transfer.status >= 100 && transfer.status < 200)
            return size * count;
        transfer.headComplete = true;
        transfer.responseQueued = true;
        return size * count;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !transfer.headerLines.empty()) {
        transfer.headerLines.back().second += " ";
        transfer.headerLines.back().second += std::string(content);
        return size * count;
    }
    auto colon = content.find(':');
    if (colon == std::string_view::npos)
        return size * count;
    transfer.headerLines.emplace_back(std::string(trim(content.substr(0, colon))), std::string(trim(content.substr(colon + 1))));
    return size * count;
}

size_t URLSessionEngine::writeCallback(char* data, size_t size, size_t count, void* userp)
{
    auto& transfer = *static_cast<DataTask::Transfer*>(userp);
    std::size_t bytes = size * count;
    if (transfer.cancelledByUs)
        return 0;
    // No body byte goes anywhere before the delegate has allowed the head.
    if (!transfer.responseAnswered) {
        transfer.paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    transfer.progressed();
    transfer.pendingBody.insert(transfer.pendingBody.end(), data, data + bytes);
    return bytes;
}

void URLSessionEngine::start(const std::shared_ptr<DataTask>& task)
{
    if (task->m_state != DataTask::State::Running)
        return; // cancelled before the loop got to it; already reported
    auto session = task->m_session;
    const URLRequest& request = task->m_request;

    auto transfer = std::make_unique<DataTask::Transfer>();
    if (!loadCurl() || !multi) {
        running.push_back(task);
        task->m_transfer = std::move(transfer);
        finish(task, URLError { URLError::Code::Unknown, "cannot load libcurl.so.4" });
        return;
    }
    CURL* easy = libcurl().easy_init();
    transfer->easy = easy;
    running.push_back(task);

    CURLU* url = libcurl().url();
    bool urlOk = libcurl().url_set(url, CURLUPART_URL, request.url.c_str(), 0) == CURLUE_OK;
    std::string scheme, host;
    int port = 0;
    if (urlOk) {
        char* part = nullptr;
        if (libcurl().url_get(url, CURLUPART_SCHEME, &part, 0) == CURLUE_OK) {
            scheme = lowercase(part);
            libcurl().free(part);
        }
        if (libcurl().url_get(url, CURLUPART_HOST, &part, 0) == CURLUE_OK) {
            host = part;
            libcurl().free(part);
        }
        if (libcurl().url_get(url, CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) == CURLUE_OK) {
            port = std::atoi(part);
            libcurl().free(part);
        }
    }
    libcurl().url_cleanup(url);
    task->m_transfer = std::move(transfer);
    if (!urlOk) {
        finish(task, URLError { URLError::Code::BadURL, "bad URL: " + request.url });
        return;
    }
    if (scheme != "https" && scheme != "http") {
        finish(task, URLError { URLError::Code::UnsupportedURL, "unsupported URL: " + request.url });
        return;
    }

    if (scheme == "https" && session->m_delegate && !task->m_completion) {
        URLAuthenticationChallenge challenge { URLAuthenticationChallenge::Method::ServerTrust, host, port };
        auto answer = session->m_delegate->didReceiveChallenge(*session, *task, challenge);
        if (answer == ChallengeDisposition::CancelAuthenticationChallenge || task->m_state != DataTask::State::Running) {
            finish(task, cancelledError());
            return;
        }
    }

    auto& t = *task->m_transfer;
    libcurl().easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    libcurl().easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    libcurl().easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    libcurl().easy_setopt(easy, CURLOPT_ERRORBUFFER, t.errorBuffer);
    libcurl().easy_setopt(easy, CURLOPT_HEADERFUNCTION, &URLSessionEngine::headerCallback);
    libcurl().easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    libcurl().easy_setopt(easy, CURLOPT_WRITEFUNCTION, &URLSessionEngine::writeCallback);
    libcurl().easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    libcurl().easy_setopt(easy, CURLOPT_PRIVATE, task.get());

    // Certificates are always checked, chain and host name.
    libcurl().easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    libcurl().easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl reads neither variable by itself.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file)
        libcurl().easy_setopt(easy, CURLOPT_CAINFO, file);
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir)
        libcurl().easy_setopt(easy, CURLOPT_CAPATH, dir);

    // The time-out counts time without progress, so a slow but moving transfer of a large body
    // isn't cut off, while a stall anywhere (connecting, the handshake, waiting for the head, in
    // the middle of the body) ends the task.
    t.timeout = request.timeoutInterval > 0 ? std::min(request.timeoutInterval, 86400.0) : 60.0;
    libcurl().easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, static_cast<long>(t.timeout * 1000.0)));
    libcurl().easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &URLSessionEngine::progressCallback);
    libcurl().easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
    libcurl().easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    t.progressed();
    armStallTimer(*task, t.timeout);
    libcurl().easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(session->m_maximumBodyBytes));

    std::string method = request.method.empty() ? "GET" : request.method;
    for (char& c : method)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (method == "GET") {
        libcurl().easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        libcurl().easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        libcurl().easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        libcurl().easy_setopt(easy, CURLOPT_COPYPOSTFIELDS, request.body.c_str());
        if (method != "POST")
            libcurl().easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    t.headers = libcurl().slist_append(t.headers, "Expect:");
    if (request.cachePolicy == URLRequest::CachePolicy::ReloadRevalidatingCacheData)
        t.headers = libcurl().slist_append(t.headers, "Cache-Control: max-age=0");
    else if (request.cachePolicy == URLRequest::CachePolicy::ReloadIgnoringLocalCacheData)
        t.headers = libcurl().slist_append(t.headers, "Cache-Control: no-cache");
    for (const auto& [name, value] : request.headerFields) {
        // Header text from outside must not be able to add lines of its own.
        if (name.find_first_of("\r\n:") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
            continue;
        std::string line = name + ": " + value;
        t.headers = libcurl().slist_append(t.headers, line.c_str());
    }
    libcurl().easy_setopt(easy, CURLOPT_HTTPHEADER, t.headers);

    if (libcurl().multi_add_handle(multi, easy) != CURLM_OK)
        finish(task, URLError { URLError::Code::Unknown, "could not start the transfer" });
}

void URLSessionEngine::finish(const std::shared_ptr<DataTask>& task, std::optional<URLError> error)
{
    if (task->m_state == DataTask::State::Completed)
        return;
    if (task->m_transfer && task->m_transfer->easy && !task->m_transfer->done) {
        libcurl().multi_remove_handle(multi, task->m_transfer->easy);
        task->m_transfer->done = true;
    }
    task->m_state = DataTask::State::Completed;
    task->m_error = error;
    Data collected;
    if (task->m_transfer)
        collected = std::move(task->m_transfer->collected);
    task->m_transfer.reset();
    auto session = std::move(task->m_session);
    std::erase(running, task);

    if (task->m_completion) {
        auto completion = std::move(task->m_completion);
        completion(error ? Data {} : collected, task->m_response, error);
    } else if (session && session->m_delegate) {
        session->m_delegate->didCompleteWithError(*session, *task, error);
    }
}

void URLSessionEngine::dispatch()
{
    if (dispatching)
        return;
    dispatching = true;
    bool progressed = true;
    while (progressed) {
        progressed = false;
        auto snapshot = running;
        for (auto& task : snapshot) {
            if (task->m_state == DataTask::State::Completed || !task->m_transfer)
                continue;
            auto& t = *task->m_transfer;
            auto session = task->m_session;
            if (task->m_state == DataTask::State::Canceling) {
                finish(task, cancelledError());
                progressed = true;
                continue;
            }
            URLSessionDataDelegate* delegate = task->m_completion ? nullptr : (session ? session->m_delegate : nullptr);

            if (t.responseQueued && !t.responseAnswered) {
                t.responseQueued = false;
                URLResponse response;
                response.isHTTP = true;
                response.statusCode = t.status;
                response.url = task->m_request.url;
                response.allHeaderFields = t.headerLines;
                if (auto type = response.valueForHTTPHeaderField("Content-Type")) {
                    ContentType contentType = parseContentType(*type);
                    response.mimeType = std::move(contentType.mimeType);
                    response.textEncodingName = std::move(contentType.charset);
                }
                if (auto length = response.valueForHTTPHeaderField("Content-Length")) {
                    char* end = nullptr;
                    long long value = std::strtoll(length->c_str(), &end, 10);
                    if (end != length->c_str() && *end == '\0' && value >= 0)
                        response.expectedContentLength = value;
                }
                task->m_response = response;
                if (response.expectedContentLength > 0
                    && static_cast<std::uint64_t>(response.expectedContentLength) > session->m_maximumBodyBytes) {
                    t.tooLarge = true;
                    t.cancelledByUs = true;
                    finish(task, errorFor(CURLE_FILESIZE_EXCEEDED, t));
                    progressed = true;
                    continue;
                }
                auto answer = delegate ? delegate->didReceiveResponse(*session, *task, response) : ResponseDisposition::Allow;
                if (answer == ResponseDisposition::Cancel || task->m_state != DataTask::State::Running) {
                    finish(task, cancelledError());
                    progressed = true;
                    continue;
                }
                t.responseAnswered = true;
                if (t.paused && !t.done) {
                    t.paused = false;
                    // May hand the held-back bytes to writeCallback right here.
                    libcurl().easy_pause(t.easy, CURLPAUSE_CONT);
                }
                progressed = true;
            }

            if (!t.pendingBody.empty()) {
                Data piece = std::move(t.pendingBody);
                t.pendingBody.clear();
                task->m_bytesReceived += static_cast<std::int64_t>(piece.size());
                if (static_cast<std::uint64_t>(task->m_bytesReceived) > session->m_maximumBodyBytes) {
                    t.tooLarge = true;
                    t.cancelledByUs = true;
                    finish(task, errorFor(CURLE_FILESIZE_EXCEEDED, t));
                    progressed = true;
                    continue;
                }
                if (task->m_completion)
                    t.collected.insert(t.collected.end(), piece.begin(), piece.end());
                else if (delegate)
                    delegate->didReceiveData(*session, *task, piece);
                progressed = true;
                if (task->m_state != DataTask::State::Running)
                    continue;
            }

            if (t.done && !t.responseQueued && t.pendingBody.empty()) {
                if (t.result == CURLE_OK && !t.headComplete) {
                    finish(task, URLError { URLError::Code::BadServerResponse, "bad server response: no reply head" });
                } else if (t.result == CURLE_OK) {
                    finish(task, std::nullopt);
                } else {
                    finish(task, errorFor(t.result, t));
                }
                progressed = true;
            }
        }
    }
    dispatching = false;
}

DataTask::DataTask(std::shared_ptr<URLSession> session, URLRequest request, CompletionHandler completion)
    : m_owner(session)
    , m_request(std::move(request))
    , m_completion(std::move(completion))
    , m_identifier(nextTaskIdentifier())
{
}

DataTask::~DataTask() = default;

void DataTask::resume()
{
    if (m_state != State::Suspended)
        return;
    auto session = m_owner.lock();
    if (!session) {
        m_state = State::Completed;
        m_error = URLError { URLError::Code::Cancelled, "cancelled: the session is gone" };
        return;
    }
    m_state = State::Running;
    m_session = session;
    URLSessionEngine::instance().enqueueStart(shared_from_this());
}

void DataTask::cancel()
{
    if (m_state == State::Completed || m_state == State::Canceling)
        return;
    if (m_state == State::Suspended) {
        m_session = m_owner.lock();
        if (!m_session) {
            m_state = State::Completed;
            m_error = cancelledError();
            return;
        }
    }
    // Always reported from the loop, never from inside the caller (which may be a callback).
    auto& engine = URLSessionEngine::instance();
    m_state = State::Canceling;
    if (!m_transfer)
        m_transfer = std::make_unique<Transfer>();
    m_transfer->cancelledByUs = true;
    auto self = shared_from_this();
    if (std::find(engine.running.begin(), engine.running.end(), self) == engine.running.end())
        engine.running.push_back(self);
    engine.scheduleIdle();
}

URLSession::URLSession(URLSessionDataDelegate* delegate)
    : m_delegate(delegate)
{
}

URLSession::~URLSession() = default;

std::shared_ptr<URLSession> URLSession::create(URLSessionDataDelegate* delegate)
{
    return std::shared_ptr<URLSession>(new URLSession(delegate));
}

URLSession& URLSession::shared()
{
    static std::shared_ptr<URLSession> session = create(nullptr);
    return *session;
}

std::shared_ptr<DataTask> URLSession::dataTaskWithRequest(const URLRequest& request)
{
    std::shared_ptr<DataTask> task(new DataTask(shared_from_this(), request, nullptr));
    std::erase_if(m_tasks, [](const std::weak_ptr<DataTask>& t) { return t.expired(); });
    m_tasks.push_back(task);
    return task;
}

std::shared_ptr<DataTask> URLSession::dataTaskWithRequest(const URLRequest& request, DataTask::CompletionHandler completion)
{
    if (!completion)
        completion = [](const Data&, const std::optional<URLResponse>&, const std::optional<URLError>&) {};
    std::shared_ptr<DataTask> task(new DataTask(shared_from_this(), request, std::move(completion)));
    std::erase_if(m_tasks, [](const std::weak_ptr<DataTask>& t) { return t.expired(); });
    m_tasks.push_back(task);
    return task;
}

std::shared_ptr<DataTask> URLSession::getURL(const std::string& url, DataTask::CompletionHandler completion)
{
    URLRequest request;
    request.url = url;
    auto task = dataTaskWithRequest(request, std::move(completion));
    task->resume();
    return task;
}

void URLSession::invalidateAndCancel()
{
    for (auto& weak : m_tasks) {
        if (auto task = weak.lock())
            task->cancel();
    }
}

std::size_t URLSession::runningTaskCount() const
{
    std::size_t count = 0;
    for (auto& weak : m_tasks) {
        if (auto task = weak.lock(); task && task->state() != DataTask::State::Completed)
            ++count;
    }
    return count;
}

} // namespace kit
