#include "MapStoreServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "ServedFile.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kChunk = 64 * 1024;

// "bytes=A-" or "bytes=A-B"; other forms (several ranges, suffix ranges)
// are answered with the whole file, as a server may.
struct ByteRange {
    uint64_t first = 0;
    std::optional<uint64_t> last;
};

std::optional<ByteRange> parseRange(const std::string& header) {
    unsigned long long first = 0;
    unsigned long long last = 0;
    char rest = 0;
    if (std::sscanf(header.c_str(), "bytes=%llu-%llu%c", &first, &last, &rest) == 2 &&
        last >= first)
        return ByteRange{first, last};
    if (std::sscanf(header.c_str(), "bytes=%llu-%c", &first, &rest) == 1)
        return ByteRange{first, std::nullopt};
    return std::nullopt;
}

std::optional<uint64_t> numberParam(const httplib::Request& request, const char* name) {
    if (!request.has_param(name))
        return std::nullopt;
    return std::strtoull(request.get_param_value(name).c_str(), nullptr, 10);
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

MapStoreServer::MapStoreServer(std::string root) : root_(std::move(root)) {
    addControlEndpoints();
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        this->serve(request, response);
    };
    server_.Get(R"(/.*)", serve);
    server_.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        record(request, response);
    });
}

int MapStoreServer::bind(int port) {
    if (port == 0)
        return server_.bind_to_any_port("127.0.0.1");
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
}

void MapStoreServer::listen() {
    server_.listen_after_bind();
}

void MapStoreServer::stop() {
    server_.stop();
}

void MapStoreServer::addControlEndpoints() {
    server_.Post("/_control/fault",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     if (!request.has_param("path")) {
                         response.status = 400;
                         return;
                     }
                     Fault fault;
                     fault.cutAfter = numberParam(request, "cut");
                     fault.throttle = numberParam(request, "throttle");
                     if (auto status = numberParam(request, "status"))
                         fault.status = static_cast<int>(*status);
                     fault.ignoreRange = request.has_param("ignoreRange");
                     fault.lieRange = request.has_param("lieRange");
                     fault.badMd5 = request.has_param("badMd5");
                     if (request.has_param("replaceWith"))
                         fault.replaceWith = request.get_param_value("replaceWith");
                     if (auto count = numberParam(request, "count"))
                         fault.remaining = static_cast<int>(*count);
                     std::lock_guard lock(mutex_);
                     faults_[request.get_param_value("path")] = fault;
                     response.set_content("ok\n", "text/plain");
                 });
    server_.Post("/_control/clear", [this](const httplib::Request& request, httplib::Response&) {
        std::lock_guard lock(mutex_);
        if (request.has_param("path"))
            faults_.erase(request.get_param_value("path"));
        else
            faults_.clear();
    });
    server_.Get("/_log", [this](const httplib::Request&, httplib::Response& response) {
        std::lock_guard lock(mutex_);
        response.set_content(log_.dump(), "application/json");
    });
    server_.Post("/_control/resetLog", [this](const httplib::Request&, httplib::Response&) {
        std::lock_guard lock(mutex_);
        log_ = nlohmann::json::array();
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
    const Fault fault = takeFault(request.path).value_or(Fault{});
    if (fault.status) {
        response.status = *fault.status;
        response.set_content("fault\n", "text/plain");
        return;
    }
    const auto path = filePathFor(request.path);
    const auto file = path ? ServedFile::facts(*path) : std::nullopt;
    if (!file) {
        response.status = 404;
        response.set_content("not found\n", "text/plain");
        return;
    }
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
        if (range->first >= file->size) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(file->size));
            return;
        }
        first = range->first;
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
    auto in = std::make_shared<std::ifstream>(file->path, std::ios::binary);
    const std::optional<uint64_t> cut = fault.cutAfter;
    const std::optional<uint64_t> throttle = fault.throttle;
    response.set_content_provider(
        static_cast<size_t>(length), contentType(file->path),
        [in, first, cut, throttle](size_t offset, size_t wanted, httplib::DataSink& sink) {
            size_t chunk = std::min(wanted, kChunk);
            if (throttle)
                chunk = std::min<size_t>(chunk, std::max<uint64_t>(1, *throttle / 10));
            if (cut) {
                if (offset >= *cut)
                    return false;  // closes the connection mid-body
                chunk = std::min<size_t>(chunk, *cut - offset);
            }
            std::vector<char> buffer(chunk);
            in->seekg(static_cast<std::streamoff>(first + offset));
            in->read(buffer.data(), static_cast<std::streamsize>(chunk));
            if (in->gcount() <= 0)
                return false;
            if (throttle) {
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<int64_t>(in->gcount()) * 1000000 /
                                              static_cast<int64_t>(*throttle)));
            }
            return sink.write(buffer.data(), static_cast<size_t>(in->gcount()));
        });
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
}
