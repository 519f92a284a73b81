#include "Net/NetTransferEngine.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "Dispatch/DispatchEndHooks.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMaximumRedirects = 16;
// A redirect's own body is kept while the redirect waits for a decision.
constexpr size_t kMaximumHeldBodyLength = size_t{1} << 20;

bool isRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

struct NetTransferEngine::Transfer {
    TransferID id = 0;
    NSURLRequest request;
    NetTransferHandlers handlers;
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    long statusCode = 0;
    NSHTTPHeaderFields headerBlock;
    bool responseDelivered = false;
    std::optional<NSError> abortError;
    Clock::time_point lastActivity = Clock::now();
    curl_off_t lastDownloaded = 0;
    curl_off_t lastUploaded = 0;
    // Redirects are put to handlers.redirect rather than followed by libcurl.
    bool asksRedirects = false;
    int redirects = 0;
    // A redirect reply, kept while its redirect waits.
    std::optional<NSHTTPURLResponse> heldResponse;
    std::string heldBody;

    Transfer(TransferID transferID, const NSURLRequest& urlRequest, NetTransferHandlers callbacks)
        : id(transferID), request(urlRequest), handlers(std::move(callbacks)) {}

    ~Transfer() { releaseHandle(); }

    void releaseHandle() {
        if (easy)
            curl_easy_cleanup(easy);
        easy = nullptr;
        if (headerList)
            curl_slist_free_all(headerList);
        headerList = nullptr;
    }

    // Makes the transfer new for the next request of its redirects.
    void restart(NSURLRequest next) {
        releaseHandle();
        request = std::move(next);
        ++redirects;
        statusCode = 0;
        headerBlock.clear();
        responseDelivered = false;
        abortError.reset();
        lastDownloaded = 0;
        lastUploaded = 0;
        heldResponse.reset();
        heldBody.clear();
    }

    double idleLimit() const {
        const double timeout = request.timeoutInterval();
        return timeout > 0 ? timeout : NSURLRequest::kDefaultTimeoutInterval;
    }

    NSError error(long code, const std::string& description) const {
        return NSURLErrorMake(code, description, request.URL().absoluteString());
    }

    bool holdsRedirect() const {
        return asksRedirects && isRedirectStatus(statusCode) && headerBlock.contains("Location");
    }

    NSHTTPURLResponse makeResponse() const {
        char* effective = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective);
        std::optional<NSURL> url = effective ? NSURL::URLWithString(effective) : std::nullopt;
        return NSHTTPURLResponse(url.value_or(request.URL()), statusCode, headerBlock);
    }

    void deliverResponse() {
        if (responseDelivered)
            return;
        responseDelivered = true;
        const NSHTTPURLResponse response = heldResponse ? *heldResponse : makeResponse();
        if (handlers.response)
            handlers.response(response);
    }

    // A redirect reply that is not followed becomes the answer.
    std::optional<NSError> deliverHeldReply() {
        deliverResponse();
        if (heldBody.empty() || !handlers.data)
            return std::nullopt;
        return handlers.data(heldBody.data(), heldBody.size());
    }
};

namespace {

using Transfer = NetTransferEngine::Transfer;

std::string trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

size_t onHeader(char* bytes, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const size_t length = size * count;
    const std::string_view line(bytes, length);
    transfer->lastActivity = Clock::now();
    if (line.starts_with("HTTP/")) {
        // A new head: an interim (1xx) or redirect reply came before.
        transfer->headerBlock.clear();
        transfer->statusCode = 0;
        const size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            const std::string code = trimmed(line.substr(space + 1, 3));
            if (code.size() == 3 && std::all_of(code.begin(), code.end(), [](unsigned char c) {
                    return c >= '0' && c <= '9';
                }))
                transfer->statusCode = std::stol(code);
        }
        return length;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return length;
    const std::string name = trimmed(line.substr(0, colon));
    const std::string value = trimmed(line.substr(colon + 1));
    const auto [entry, inserted] = transfer->headerBlock.try_emplace(name, value);
    if (!inserted)
        entry->second += ", " + value;
    return length;
}

size_t onData(char* bytes, size_t size, size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const size_t length = size * count;
    transfer->lastActivity = Clock::now();
    if (transfer->holdsRedirect()) {
        if (transfer->heldBody.size() + length > kMaximumHeldBodyLength) {
            transfer->abortError = transfer->error(NSURLErrorDataLengthExceedsMaximum,
                                                   "The redirect's body is too large.");
            return CURL_WRITEFUNC_ERROR;
        }
        transfer->heldBody.append(bytes, length);
        return length;
    }
    transfer->deliverResponse();
    if (transfer->handlers.data) {
        if (auto error = transfer->handlers.data(bytes, length)) {
            transfer->abortError = std::move(error);
            return CURL_WRITEFUNC_ERROR;
        }
    }
    return length;
}

int onProgress(void* context, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(context);
    if (downloaded != transfer->lastDownloaded || uploaded != transfer->lastUploaded) {
        transfer->lastDownloaded = downloaded;
        transfer->lastUploaded = uploaded;
        transfer->lastActivity = Clock::now();
    }
    return 0;
}

bool hasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

// Loopback never goes through a proxy: the local servers of the tests and the
// demo must be reached directly whatever the environment says.
std::string noProxyList() {
    std::string list = "localhost,127.0.0.1,::1";
    for (const char* variable : {"no_proxy", "NO_PROXY"}) {
        if (const char* value = std::getenv(variable); value && *value) {
            list += ",";
            list += value;
        }
    }
    return list;
}

NSError errorForResult(const Transfer& transfer, CURLcode result) {
    const std::string text = curl_easy_strerror(result);
    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST:
            return transfer.error(NSURLErrorCannotFindHost,
                                  "A server with the specified hostname could not be found.");
        case CURLE_COULDNT_CONNECT:
            return transfer.error(NSURLErrorCannotConnectToHost,
                                  "Could not connect to the server.");
        case CURLE_OPERATION_TIMEDOUT:
            return transfer.error(NSURLErrorTimedOut, "The request timed out.");
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
            return transfer.error(NSURLErrorNetworkConnectionLost,
                                  "The network connection was lost.");
        case CURLE_TOO_MANY_REDIRECTS:
            return transfer.error(NSURLErrorHTTPTooManyRedirects, "Too many HTTP redirects.");
        case CURLE_UNSUPPORTED_PROTOCOL:
            return transfer.error(NSURLErrorUnsupportedURL, "unsupported URL");
        case CURLE_URL_MALFORMAT:
            return transfer.error(NSURLErrorBadURL, "bad URL");
        case CURLE_SSL_CONNECT_ERROR:
            return transfer.error(NSURLErrorSecureConnectionFailed,
                                  "A TLS error caused the secure connection to fail.");
        case CURLE_PEER_FAILED_VERIFICATION:
            return transfer.error(NSURLErrorServerCertificateUntrusted,
                                  "The certificate for this server is invalid.");
        case CURLE_WEIRD_SERVER_REPLY:
            return transfer.error(NSURLErrorBadServerResponse,
                                  "The server's reply could not be understood.");
        default:
            return transfer.error(NSURLErrorUnknown, text);
    }
}

}  // namespace

// Never destroyed: the program's end stops its thread instead.
NetTransferEngine& NetTransferEngine::shared() {
    static auto* engine = new NetTransferEngine;
    return *engine;
}

NetTransferEngine::NetTransferEngine() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    multi_ = curl_multi_init();
    thread_ = std::thread([this] { run(); });
    DispatchAddEndHook([this] { stop(); });
}

void NetTransferEngine::stop() {
    std::vector<std::unique_ptr<Transfer>> waiting;
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        stopping_ = true;
        waiting.swap(pending_);
        cancels_.clear();
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    // A handler that ends the program runs on the thread itself.
    if (thread_.get_id() == std::this_thread::get_id())
        return;
    thread_.join();
    for (auto& transfer : waiting)
        if (transfer->handlers.complete)
            transfer->handlers.complete(transfer->error(NSURLErrorCancelled, "cancelled"));
    while (!active_.empty()) {
        Transfer* transfer = active_.begin()->second.get();
        finish(transfer, transfer->error(NSURLErrorCancelled, "cancelled"));
    }
    for (auto& [id, transfer] : std::exchange(awaiting_, {}))
        transfer->handlers.complete(transfer->error(NSURLErrorCancelled, "cancelled"));
}

NetTransferEngine::TransferID NetTransferEngine::start(const NSURLRequest& request,
                                                       NetTransferHandlers handlers) {
    TransferID id;
    auto transfer = std::make_unique<Transfer>(0, request, std::move(handlers));
    {
        std::lock_guard lock(mutex_);
        id = transfer->id = nextID_++;
        if (!stopping_) {
            pending_.push_back(std::move(transfer));
        }
    }
    // The program has ended: nothing may wait for the transfer.
    if (transfer) {
        if (transfer->handlers.complete)
            transfer->handlers.complete(transfer->error(NSURLErrorCancelled, "cancelled"));
        return id;
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    return id;
}

void NetTransferEngine::cancel(TransferID transfer) {
    {
        std::lock_guard lock(mutex_);
        cancels_.push_back(transfer);
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void NetTransferEngine::run() {
    auto* multi = static_cast<CURLM*>(multi_);
    for (;;) {
        std::vector<std::unique_ptr<Transfer>> added;
        std::vector<TransferID> cancelled;
        std::vector<std::pair<TransferID, std::optional<NSURLRequest>>> decided;
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            added.swap(pending_);
            cancelled.swap(cancels_);
            decided.swap(decisions_);
        }
        for (auto& transfer : added)
            addTransfer(std::move(transfer));
        for (auto& [id, request] : decided)
            applyRedirectDecision(id, std::move(request));
        for (const TransferID id : cancelled) {
            if (const auto found = active_.find(id); found != active_.end()) {
                Transfer* transfer = found->second.get();
                finish(transfer, transfer->error(NSURLErrorCancelled, "cancelled"));
            } else if (const auto waiting = awaiting_.find(id); waiting != awaiting_.end()) {
                const auto transfer = std::move(waiting->second);
                awaiting_.erase(waiting);
                transfer->handlers.complete(transfer->error(NSURLErrorCancelled, "cancelled"));
            }
        }

        int running = 0;
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            Transfer* transfer = nullptr;
            curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
            const CURLcode result = message->data.result;
            if (result == CURLE_OK)
                finish(transfer, std::nullopt);
            else if (transfer->abortError)
                finish(transfer, transfer->abortError);
            else
                finish(transfer, errorForResult(*transfer, result));
        }
        expireIdleTransfers();
        curl_multi_poll(multi, nullptr, 0, active_.empty() ? 1000 : 50, nullptr);
    }
}

void NetTransferEngine::addTransfer(std::unique_ptr<Transfer> transfer) {
    const NSURLRequest& request = transfer->request;
    const std::string& scheme = request.URL().scheme();
    if (scheme != "http" && scheme != "https") {
        transfer->handlers.complete(transfer->error(NSURLErrorUnsupportedURL, "unsupported URL"));
        return;
    }
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
        if (name.empty() || hasLineBreak(name) || hasLineBreak(value) ||
            name.find(':') != std::string::npos) {
            NSLogWithLevel(NSLogLevel::Error, "Refusing request to %s: malformed header field",
                           request.URL().absoluteString().c_str());
            transfer->handlers.complete(
                transfer->error(NSURLErrorBadURL, "malformed header field"));
            return;
        }
    }

    CURL* easy = curl_easy_init();
    transfer->easy = easy;
    Transfer* raw = transfer.get();
    curl_easy_setopt(easy, CURLOPT_PRIVATE, raw);
    curl_easy_setopt(easy, CURLOPT_URL, request.URL().absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, noProxyList().c_str());
    raw->asksRedirects = raw->handlers.redirect && request.HTTPShouldFollowRedirects();
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION,
                     request.HTTPShouldFollowRedirects() && !raw->asksRedirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 16L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::ceil(raw->idleLimit() * 1000.0)));
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, raw);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, raw);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, raw);

    const std::string& method = request.HTTPMethod();
    const Value::Data& body = request.HTTPBody();
    static const char empty[] = "";
    const char* bodyBytes = body.empty() ? empty : reinterpret_cast<const char*>(body.data());
    if (method == "GET") {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (method == "POST" || !body.empty()) {
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bodyBytes);
        }
    }

    // No "Expect: 100-continue" round trip before bodies.
    raw->headerList = curl_slist_append(raw->headerList, "Expect:");
    if (!request.valueForHTTPHeaderField("User-Agent"))
        raw->headerList = curl_slist_append(raw->headerList, "User-Agent: Kelvara");
    for (const auto& [name, value] : request.allHTTPHeaderFields()) {
        const std::string line = value.empty() ? name + ";" : name + ": " + value;
        raw->headerList = curl_slist_append(raw->headerList, line.c_str());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, raw->headerList);
    // As on the phone, a body the caller accepted compressed arrives decoded.
    if (const auto encoding = request.valueForHTTPHeaderField("Accept-Encoding"))
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, encoding->c_str());

    raw->lastActivity = Clock::now();
    const TransferID id = raw->id;
    active_.emplace(id, std::move(transfer));
    if (curl_multi_add_handle(static_cast<CURLM*>(multi_), easy) != CURLM_OK)
        finish(raw, raw->error(NSURLErrorUnknown, "could not start the transfer"));
}

void NetTransferEngine::finish(Transfer* transfer, std::optional<NSError> error) {
    curl_multi_remove_handle(static_cast<CURLM*>(multi_), transfer->easy);
    if (!error && transfer->holdsRedirect())
        return askRedirect(transfer);
    if (!error && transfer->statusCode > 0)
        transfer->deliverResponse();
    complete(transfer, error);
}

void NetTransferEngine::complete(Transfer* transfer, const std::optional<NSError>& error) {
    const auto handlers = std::move(transfer->handlers);
    active_.erase(transfer->id);
    if (handlers.complete)
        handlers.complete(error);
}

void NetTransferEngine::askRedirect(Transfer* transfer) {
    char* location = nullptr;
    curl_easy_getinfo(transfer->easy, CURLINFO_REDIRECT_URL, &location);
    const std::optional<NSURL> url = location ? NSURL::URLWithString(location) : std::nullopt;
    transfer->heldResponse = transfer->makeResponse();
    if (!url) {
        // A Location that names no URL: the redirect reply is the answer.
        return complete(transfer, transfer->deliverHeldReply());
    }
    if (transfer->redirects >= kMaximumRedirects)
        return complete(
            transfer, transfer->error(NSURLErrorHTTPTooManyRedirects, "Too many HTTP redirects."));
    NSMutableURLRequest next(transfer->request);
    next.setURL(*url);
    // As browsers do: a 303, and a 301 or 302 after a POST, go on with a GET.
    const long status = transfer->statusCode;
    if (status == 303 || ((status == 301 || status == 302) && next.HTTPMethod() == "POST")) {
        next.setHTTPMethod("GET");
        next.setHTTPBody({});
    }
    const TransferID id = transfer->id;
    const NSHTTPURLResponse response = *transfer->heldResponse;
    const auto ask = transfer->handlers.redirect;
    const auto found = active_.find(id);
    awaiting_.emplace(id, std::move(found->second));
    active_.erase(found);
    ask(response, next, [this, id](std::optional<NSURLRequest> chosen) {
        {
            std::lock_guard lock(mutex_);
            decisions_.emplace_back(id, std::move(chosen));
        }
        curl_multi_wakeup(static_cast<CURLM*>(multi_));
    });
}

void NetTransferEngine::applyRedirectDecision(TransferID id, std::optional<NSURLRequest> request) {
    const auto found = awaiting_.find(id);
    if (found == awaiting_.end())
        return;  // cancelled meanwhile, or decided twice
    auto transfer = std::move(found->second);
    awaiting_.erase(found);
    if (request) {
        transfer->restart(std::move(*request));
        addTransfer(std::move(transfer));
        return;
    }
    const auto error = transfer->deliverHeldReply();
    transfer->handlers.complete(error);
}

void NetTransferEngine::expireIdleTransfers() {
    const auto now = Clock::now();
    std::vector<Transfer*> expired;
    for (const auto& [id, transfer] : active_) {
        const std::chrono::duration<double> idle = now - transfer->lastActivity;
        if (idle.count() > transfer->idleLimit())
            expired.push_back(transfer.get());
    }
    for (Transfer* transfer : expired)
        finish(transfer, transfer->error(NSURLErrorTimedOut, "The request timed out."));
}
