#include "MapStoreServer.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "FileBody.h"
#include "LocalServing.h"
#include "ServedFile.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 64 * 1024;
// The latest requests a test may ask for; a test reads the log long before.
constexpr size_t kLogLength = 10000;
constexpr uint64_t kMaximumFaultCount = 1000000;
constexpr uint64_t kMaximumPadding = uint64_t{1} << 40;

// "bytes=A-", "bytes=A-B" or "bytes=-N" (the last N bytes); other forms
// (several ranges, malformed ones) are answered with the whole file, as a
// server may.
struct ByteRange {
    std::optional<uint64_t> first;  // nullopt: the last `suffix` bytes
    std::optional<uint64_t> last;
    uint64_t suffix = 0;
};

std::optional<ByteRange> parseRange(std::string_view header) {
    constexpr std::string_view prefix = "bytes=";
    if (header.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const std::string_view spec = header.substr(prefix.size());
    const size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const std::string_view firstText = spec.substr(0, dash);
    const std::string_view lastText = spec.substr(dash + 1);
    if (firstText.empty()) {
        const auto suffix = parseDecimal(lastText);
        if (!suffix)
            return std::nullopt;
        return ByteRange{std::nullopt, std::nullopt, *suffix};
    }
    const auto first = parseDecimal(firstText);
    if (!first)
        return std::nullopt;
    if (lastText.empty())
        return ByteRange{first, std::nullopt, 0};
    const auto last = parseDecimal(lastText);
    if (!last || *last < *first)
        return std::nullopt;
    return ByteRange{first, last, 0};
}

// What the request lacked (a descriptor, a file that holds still) a retry may find.
void answerUnavailable(httplib::Response& response) {
    response.status = 503;
    response.set_header("Retry-After", "1");
    response.set_content("try again\n", "text/plain");
}

bool hasNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

std::string contentType(const std::string& path) {
    const std::string extension = fs::path(path).extension().string();
    if (extension == ".zip")
        return "application/zip";
    if (extension == ".jpg")
        return "image/jpeg";
    if (extension == ".plist")
        return "application/x-plist";
    return "application/octet-stream";
}

// Replaces `target` with a copy of `source` in one rename, so a request in
// flight keeps reading the file it opened.
void replaceFile(const std::string& source, const std::string& target) {
    const std::string temporary = target + ".replacing";
    std::error_code error;
    fs::copy_file(source, temporary, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::rename(temporary, target, error);
}

}  // namespace

MapStoreServer::MapStoreServer(std::string root, std::optional<std::string> testData)
    : root_(std::move(root)), testData_(std::move(testData)) {
    if (testData_) {
        addControlEndpoints();
        server_.set_logger(
            [this](const httplib::Request& request, const httplib::Response& response) {
                record(request, response);
            });
    }
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        this->serve(request, response);
    };
    server_.Get(R"(/.*)", serve);
}

int MapStoreServer::bind(int port) {
    return server_.bindToLoopback(port);
}

void MapStoreServer::setWriteTimeout(std::chrono::seconds timeout) {
    server_.set_write_timeout(timeout);
}

void MapStoreServer::listen() {
    server_.listen_after_bind();
}

void MapStoreServer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    releases_.notify_all();
    server_.stop();
}

void MapStoreServer::waitForRelease(const std::string& path) {
    std::unique_lock lock(mutex_);
    releases_.wait(lock, [&] { return stopping_ || released_.count(path) > 0; });
}

std::optional<MapStoreServer::Fault> MapStoreServer::faultFromRequest(
    const httplib::Request& request, std::string& refusal) const {
    static const std::set<std::string> known = {
        "path",        "cut",   "throttle", "status",  "ignoreRange", "lieRange", "badMd5",
        "replaceWith", "count", "noLength", "endless", "padTo",       "hold"};
    for (const auto& [name, value] : request.params) {
        if (!known.count(name)) {
            refusal = "unknown parameter " + name;
            return std::nullopt;
        }
        if (request.get_param_value_count(name) != 1) {
            refusal = name + " is given more than once";
            return std::nullopt;
        }
        if (hasNul(value)) {
            refusal = name + " holds a NUL";
            return std::nullopt;
        }
    }
    const std::string path = request.get_param_value("path");
    if (path.empty() || path.front() != '/') {
        refusal = "path must start with /";
        return std::nullopt;
    }
    // A number parameter in [least, most]; false when it is given otherwise.
    auto number = [&](const char* name, uint64_t least, uint64_t most,
                      std::optional<uint64_t>& into) {
        if (!request.has_param(name))
            return true;
        into = parseDecimal(request.get_param_value(name));
        if (into && *into >= least && *into <= most)
            return true;
        refusal = std::string(name) + " must be a whole number from " + std::to_string(least) +
                  " to " + std::to_string(most);
        return false;
    };
    auto flag = [&](const char* name, bool& into) {
        const std::string value = request.get_param_value(name);
        if (!request.has_param(name) || value == "0")
            return true;
        if (value == "1") {
            into = true;
            return true;
        }
        refusal = std::string(name) + " must be 0 or 1";
        return false;
    };
    Fault fault;
    std::optional<uint64_t> status;
    std::optional<uint64_t> count;
    if (!number("cut", 0, UINT64_MAX, fault.cutAfter) ||
        !number("throttle", 1, INT64_MAX, fault.throttle) || !number("status", 200, 599, status) ||
        !number("count", 1, kMaximumFaultCount, count) || !flag("ignoreRange", fault.ignoreRange) ||
        !flag("lieRange", fault.lieRange) || !flag("badMd5", fault.badMd5) ||
        !flag("noLength", fault.noLength) || !flag("endless", fault.endless) ||
        !number("padTo", 1, kMaximumPadding, fault.padTo) || !flag("hold", fault.hold))
        return std::nullopt;
    if (status)
        fault.status = static_cast<int>(*status);
    if (count)
        fault.remaining = static_cast<int>(*count);
    if (request.has_param("replaceWith")) {
        // Only a file the test made: never one from elsewhere on the machine.
        std::error_code error;
        const fs::path file = fs::canonical(request.get_param_value("replaceWith"), error);
        const fs::path relative =
            error ? fs::path() : file.lexically_relative(fs::canonical(*testData_, error));
        if (error || relative.empty() || *relative.begin() == ".." ||
            !fs::is_regular_file(file, error)) {
            refusal = "replaceWith must name a file under " + *testData_;
            return std::nullopt;
        }
        fault.replaceWith = file.string();
    }
    return fault;
}

void MapStoreServer::addControlEndpoints() {
    server_.Post("/_control/fault",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     std::string refusal;
                     const auto fault = faultFromRequest(request, refusal);
                     if (!fault) {
                         response.status = 400;
                         response.set_content("refused: " + refusal + "\n", "text/plain");
                         return;
                     }
                     const std::string path = request.get_param_value("path");
                     std::lock_guard lock(mutex_);
                     faults_[path] = *fault;
                     released_.erase(path);
                     response.set_content("ok\n", "text/plain");
                 });
    server_.Post("/_control/release",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     if (!request.has_param("path")) {
                         response.status = 400;
                         response.set_content("refused: no path\n", "text/plain");
                         return;
                     }
                     {
                         std::lock_guard lock(mutex_);
                         released_.insert(request.get_param_value("path"));
                     }
                     releases_.notify_all();
                 });
    server_.Post("/_control/clear", [this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard lock(mutex_);
        if (request.has_param("path"))
            faults_.erase(request.get_param_value("path"));
        else
            faults_.clear();
    });
    server_.Get("/_log", [this](const httplib::Request&, httplib::Response& response) {
        nlohmann::json log = nlohmann::json::array();
        {
            std::lock_guard lock(mutex_);
            for (const auto& entry : log_)
                log.push_back(entry);
        }
        response.set_content(log.dump(), "application/json");
    });
    server_.Post("/_control/resetLog", [this](const httplib::Request&, httplib::Response&) {
        std::lock_guard lock(mutex_);
        log_.clear();
    });
}

std::optional<MapStoreServer::Fault> MapStoreServer::takeFault(const std::string& path) {
    std::lock_guard lock(mutex_);
    auto found = faults_.find(path);
    if (found == faults_.end())
        return std::nullopt;
    Fault fault = found->second;
    if (found->second.remaining > 0 && --found->second.remaining == 0)
        faults_.erase(found);
    if (fault.replaceWith)
        pendingReplacements_[path] = *fault.replaceWith;
    return fault;
}

// Only plain names under the root: no "..", no hidden control paths.
std::optional<std::string> MapStoreServer::filePathFor(const std::string& requestPath) const {
    if (requestPath.empty() || requestPath.front() != '/')
        return std::nullopt;
    const fs::path relative = fs::path(requestPath.substr(1)).lexically_normal();
    if (relative.empty() || relative.is_absolute() || *relative.begin() == "..")
        return std::nullopt;
    return (fs::path(root_) / relative).string();
}

void MapStoreServer::serve(const httplib::Request& request, httplib::Response& response) {
    // The server answers ranges itself (a fault may lie about them), so the
    // library must not cut the body a second time.
    const_cast<httplib::Request&>(request).ranges.clear();
    // "/x.zip%00.jpg" must not be served as "/x.zip".
    if (hasNul(request.path)) {
        response.status = 400;
        response.set_content("bad path\n", "text/plain");
        return;
    }
    const Fault fault = takeFault(request.path).value_or(Fault{});
    if (fault.hold)
        waitForRelease(request.path);
    if (fault.status) {
        response.status = *fault.status;
        response.set_content("fault\n", "text/plain");
        return;
    }
    const auto path = filePathFor(request.path);
    // The file is open before the head is made: what cannot be opened is
    // never promised.
    const auto found =
        path ? ServedFile::facts(*path)
             : std::variant<ServedFile, ServedFile::Missing>(ServedFile::Missing::NoFile);
    if (const auto* missing = std::get_if<ServedFile::Missing>(&found)) {
        if (*missing == ServedFile::Missing::NoFile) {
            response.status = 404;
            response.set_content("not found\n", "text/plain");
            return;
        }
        if (*missing == ServedFile::Missing::NoDescriptor)
            server_.descriptorsRanOut();
        answerUnavailable(response);
        return;
    }
    const ServedFile* file = &std::get<ServedFile>(found);
    response.set_header("Accept-Ranges", "bytes");
    response.set_header("Last-Modified", file->lastModified);
    response.set_header("ETag", file->entityTag);
    std::string md5 = file->md5;
    if (fault.badMd5)
        std::reverse(md5.begin(), md5.end());
    response.set_header("X-Amz-Meta-Md5-Hash", md5);

    uint64_t first = 0;
    uint64_t length = file->size;
    response.status = 200;
    const auto range = request.has_header("Range") && !fault.ignoreRange
                           ? parseRange(request.get_header_value("Range"))
                           : std::nullopt;
    const std::string ifRange = request.get_header_value("If-Range");
    const bool sameVersion =
        ifRange.empty() || ifRange == file->entityTag || ifRange == file->lastModified;
    if (range && sameVersion) {
        // A range that starts past the end, or an empty suffix, names no byte.
        const bool satisfiable =
            range->first ? *range->first < file->size : range->suffix > 0 && file->size > 0;
        if (!satisfiable) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(file->size));
            return;
        }
        first = range->first.value_or(file->size - std::min(range->suffix, file->size));
        const uint64_t last = std::min(range->last.value_or(file->size - 1), file->size - 1);
        length = last - first + 1;
        response.status = 206;
        const uint64_t claimed = fault.lieRange ? 0 : first;
        response.set_header("Content-Range", "bytes " + std::to_string(claimed) + "-" +
                                                 std::to_string(claimed + length - 1) + "/" +
                                                 std::to_string(file->size));
    }
    if (request.method == "HEAD") {
        response.set_header("Content-Length", std::to_string(length));
        return;
    }
    const bool plain =
        !fault.cutAfter && !fault.throttle && !fault.padTo && !fault.noLength && !fault.endless;
    if (plain) {
        // Sent from the file as the client reads it.
        response.set_content_provider(static_cast<size_t>(length), contentType(file->path),
                                      file->body->from(first));
        return;
    }
    const FileBody body = *file->body;
    const std::optional<uint64_t> cut = fault.cutAfter;
    const std::optional<uint64_t> throttle = fault.throttle;
    // Bytes past the range (padding, an endless answer) are zeros.
    auto provide = [body, first, length, cut, throttle](size_t offset, size_t wanted,
                                                        httplib::DataSink& sink) {
        size_t chunk = std::min(wanted, kChunk);
        if (throttle)
            chunk = std::min<size_t>(chunk, std::max<uint64_t>(1, *throttle / 10));
        if (cut) {
            if (offset >= *cut)
                return false;  // closes the connection mid-body
            chunk = std::min<size_t>(chunk, *cut - offset);
        }
        std::vector<char> buffer(chunk, 0);
        size_t filled = chunk;
        if (offset < length) {
            const ssize_t read =
                ::pread(body.descriptor(), buffer.data(),
                        size_t(std::min<uint64_t>(chunk, length - offset)), off_t(first + offset));
            if (read <= 0)
                return false;
            filled = static_cast<size_t>(read);
        }
        if (throttle) {
            std::this_thread::sleep_for(std::chrono::microseconds(
                static_cast<int64_t>(filled) * 1000000 / static_cast<int64_t>(*throttle)));
        }
        return sink.write(buffer.data(), filled);
    };
    if (fault.noLength || fault.endless) {
        const bool endless = fault.endless;
        response.set_chunked_content_provider(
            contentType(file->path),
            [provide, length, endless](size_t offset, httplib::DataSink& sink) {
                if (!endless && offset >= length) {
                    sink.done();
                    return true;
                }
                return provide(
                    offset, endless ? kChunk : std::min<uint64_t>(kChunk, length - offset), sink);
            });
        return;
    }
    const uint64_t total = fault.padTo ? std::max(*fault.padTo, length) : length;
    response.set_content_provider(static_cast<size_t>(total), contentType(file->path), provide);
}

void MapStoreServer::record(const httplib::Request& request, const httplib::Response& response) {
    if (request.path.rfind("/_", 0) == 0)
        return;
    std::optional<std::string> replacement;
    {
        std::lock_guard lock(mutex_);
        if (auto found = pendingReplacements_.find(request.path);
            found != pendingReplacements_.end()) {
            replacement = found->second;
            pendingReplacements_.erase(found);
        }
    }
    // Replaced before the request shows in the log, so a test that sees it
    // there sees the new file too.
    if (replacement) {
        if (const auto path = filePathFor(request.path))
            replaceFile(*replacement, *path);
    }
    std::lock_guard lock(mutex_);
    log_.push_back({{"method", request.method},
                    {"path", request.path},
                    {"range", request.get_header_value("Range")},
                    {"ifRange", request.get_header_value("If-Range")},
                    {"status", response.status}});
    if (log_.size() > kLogLength)
        log_.pop_front();
}
