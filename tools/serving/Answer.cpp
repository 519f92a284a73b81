#include "Answer.h"

#include <sys/types.h>

#include <algorithm>
#include <optional>
#include <utility>

namespace {

// The offset and length of the bytes a range names of a body of `size`
// bytes, as the library reads a range, ending within the body; nullopt when
// it names none of them.
std::optional<std::pair<size_t, size_t>> rangeWithin(const httplib::Range& range, size_t size) {
    const auto total = static_cast<ssize_t>(size);
    ssize_t first = range.first;
    ssize_t last = range.second;
    if (first == -1 && last == -1)
        return std::make_pair(size_t{0}, size);
    if (first == -1) {
        first = std::max<ssize_t>(0, total - last);
        last = total - 1;
    }
    if (last == -1 || last >= total)
        last = total - 1;
    if (first >= total || last < first)
        return std::nullopt;
    return std::make_pair(size_t(first), size_t(last - first + 1));
}

std::unique_ptr<httplib::detail::compressor> compressorFor(const httplib::Request& request,
                                                           const httplib::Response& response) {
    switch (httplib::detail::encoding_type(request, response)) {
        case httplib::detail::EncodingType::Gzip:
            return std::make_unique<httplib::detail::gzip_compressor>();
        case httplib::detail::EncodingType::Brotli:
            return std::make_unique<httplib::detail::brotli_compressor>();
        case httplib::detail::EncodingType::None:
            break;
    }
    return std::make_unique<httplib::detail::nocompressor>();
}

}  // namespace

void Answer::takeBodyOf(const httplib::Request& request, httplib::Response& response) {
    if (request.method == "HEAD")
        return;
    if (!response.body.empty()) {
        body = std::move(response.body);
        response.body.clear();
        return;
    }
    if (!response.content_provider_)
        return;
    httplib::ContentProvider provider = std::exchange(response.content_provider_, nullptr);
    httplib::ContentProviderResourceReleaser releaser =
        std::exchange(response.content_provider_resource_releaser_, nullptr);
    const size_t size = response.content_length_;
    if (size > 0) {
        auto range = std::make_optional(std::make_pair(size_t{0}, size));
        if (request.ranges.size() == 1) {
            range = rangeWithin(request.ranges.front(), size);
            response.headers.erase("Content-Range");
            response.headers.erase("Content-Length");
            if (!range) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(size));
                response.set_header("Content-Length", "0");
                if (releaser)
                    releaser(false);
                return;
            }
            response.set_header("Content-Range",
                                "bytes " + std::to_string(range->first) + "-" +
                                    std::to_string(range->first + range->second - 1) + "/" +
                                    std::to_string(size));
            response.set_header("Content-Length", std::to_string(range->second));
        }
        if (const FileBody* sent = provider.target<FileBody>(); sent && !releaser) {
            file = *sent;
            fileOffset = sent->start() + range->first;
            fileBytes = range->second;
            return;
        }
        pulled =
            std::make_shared<AnswerBody>(std::move(provider), AnswerBody::Framing::Length,
                                         range->first, range->second, nullptr, std::move(releaser));
    } else if (response.is_chunked_content_provider_) {
        pulled =
            std::make_shared<AnswerBody>(std::move(provider), AnswerBody::Framing::Chunked, 0, 0,
                                         compressorFor(request, response), std::move(releaser));
    } else {
        // Only the connection's end tells the client where such a body ends.
        response.headers.erase("Keep-Alive");
        response.headers.erase("Connection");
        response.set_header("Connection", "close");
        pulled = std::make_shared<AnswerBody>(std::move(provider), AnswerBody::Framing::UntilClosed,
                                              0, 0, nullptr, std::move(releaser));
        endsConnection = true;
    }
}
