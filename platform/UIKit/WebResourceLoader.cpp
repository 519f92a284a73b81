#include "UIKit/WebResourceLoader.h"

#include <filesystem>
#include <fstream>

#include "Dispatch/DispatchQueue.h"
#include "Dispatch/DispatchSemaphore.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"
#include "Net/NSURLSession.h"

namespace fs = std::filesystem;

namespace {

// The path with symbolic links resolved as far as it exists, lexically
// normalised beyond.
std::string resolvedPath(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::path(path), error);
    return (error ? fs::path(path).lexically_normal() : resolved).string();
}

std::nullopt_t failed(NSError* error, long code, const std::string& what, const NSURL& url) {
    NSLogWithLevel(NSLogLevel::Warning, "UIWebView: %s: %s", what.c_str(),
                   url.absoluteString().c_str());
    if (error)
        *error = NSURLErrorMake(code, what, url.absoluteString());
    return std::nullopt;
}

std::optional<std::string> readFile(const NSURL& url, NSError* error) {
    const std::string path = url.path();
    std::error_code code;
    if (!fs::is_regular_file(path, code))
        return failed(error, NSURLErrorFileDoesNotExist, "no such file", url);
    const auto size = fs::file_size(path, code);
    if (code || size > WebResourceLoader::kMaximumLength)
        return failed(error, NSURLErrorDataLengthExceedsMaximum, "file too large", url);
    std::ifstream in(path, std::ios::binary);
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), std::streamsize(size)))
        return failed(error, NSURLErrorNoPermissionsToReadFile, "cannot read the file", url);
    return bytes;
}

std::optional<std::string> fetch(const NSURL& url, NSError* errorOut) {
    NSMutableURLRequest request(url);
    request.setTimeoutInterval(WebResourceLoader::kTimeoutSeconds);
    std::optional<std::string> result;
    std::optional<NSError> failure;
    auto done = std::make_shared<DispatchSemaphore>(0);
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(
        request, [&](std::optional<Value::Data> body, std::optional<NSHTTPURLResponse> response,
                     std::optional<NSError> error) {
            if (error) {
                failure = error;
            } else if (!body || !response || response->statusCode() >= 400) {
                failure = NSURLErrorMake(NSURLErrorBadServerResponse,
                                         "the server answered with an error", url.absoluteString());
            } else if (body->size() > WebResourceLoader::kMaximumLength) {
                failure = NSURLErrorMake(NSURLErrorDataLengthExceedsMaximum, "page too large",
                                         url.absoluteString());
            } else {
                result = std::string(body->begin(), body->end());
            }
            done->signal();
        });
    task->resume();
    // A fetch of a page being laid out as the program ends stops at once.
    while (!done->wait(0.1)) {
        if (DispatchQueue::isEnding()) {
            task->cancel();
            done->wait();
            break;
        }
    }
    if (failure) {
        NSLogWithLevel(NSLogLevel::Warning, "UIWebView: could not load %s: %s",
                       url.absoluteString().c_str(), failure->localizedDescription().c_str());
        if (errorOut)
            *errorOut = *failure;
    }
    return result;
}

}  // namespace

WebResourceLoader::WebResourceLoader(std::optional<NSURL> base) : base_(std::move(base)) {
    if (base_ && base_->scheme() == "file") {
        const std::string path = base_->path();
        const std::string folder =
            path.ends_with('/') ? path : fs::path(path).parent_path().string() + "/";
        root_ = resolvedPath(folder);
        if (!root_.ends_with('/'))
            root_ += '/';
    }
}

WebResourceLoader::WebResourceLoader(std::optional<NSURL> base, std::string root)
    : base_(std::move(base)), root_(std::move(root)) {}

std::optional<NSURL> WebResourceLoader::resolve(const std::string& reference) const {
    if (base_)
        return NSURL::URLWithStringRelativeToURL(reference, *base_);
    return NSURL::URLWithString(reference);
}

bool WebResourceLoader::isInsideRoot(const NSURL& url) const {
    if (root_.empty() || url.scheme() != "file" || !url.host().empty())
        return false;
    return resolvedPath(url.path()).starts_with(root_);
}

std::optional<std::string> WebResourceLoader::load(const NSURL& url, NSError* error) const {
    if (url.scheme() == "file") {
        if (!isInsideRoot(url))
            return failed(error, NSURLErrorNoPermissionsToReadFile,
                          "refused, outside the page's folder", url);
        return readFile(url, error);
    }
    if ((url.scheme() == "http" || url.scheme() == "https") && !localContentOnly_)
        return fetch(url, error);
    return failed(error, NSURLErrorUnsupportedURL, "refused scheme", url);
}
