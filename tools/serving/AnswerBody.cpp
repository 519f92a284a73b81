#include "AnswerBody.h"

#include <algorithm>
#include <cstdio>

AnswerBody::AnswerBody(httplib::ContentProvider provider, Framing framing, size_t offset,
                       size_t length, std::unique_ptr<httplib::detail::compressor> compressor,
                       httplib::ContentProviderResourceReleaser releaser)
    : provider_(std::move(provider)),
      framing_(framing),
      offset_(offset),
      end_(offset + length),
      compressor_(std::move(compressor)),
      releaser_(std::move(releaser)),
      finished_(framing == Framing::Length && length == 0) {}

AnswerBody::~AnswerBody() {
    if (releaser_)
        releaser_(finished_);
}

bool AnswerBody::pull(std::string& into, size_t most) {
    httplib::DataSink sink;
    sink.is_writable = [] { return true; };
    if (framing_ == Framing::Length) {
        // The provider is told where to go on from, so bytes past what was
        // asked are left for the next pull rather than held.
        const size_t wanted = std::min(most, end_ - offset_);
        size_t taken = 0;
        sink.write = [&](const char* data, size_t size) {
            const size_t kept = std::min(size, wanted - taken);
            into.append(data, kept);
            taken += kept;
            return true;
        };
        sink.done = [] {};
        const bool provided = provider_(offset_, wanted, sink);
        offset_ += taken;
        finished_ = offset_ == end_;
        return provided;
    }
    bool packed = true;
    sink.write = [&](const char* data, size_t size) {
        // An empty write would end a chunked body early.
        if (packed && size > 0) {
            offset_ += size;
            if (framing_ == Framing::Chunked)
                packed = appendChunk(into, data, size, false);
            else
                into.append(data, size);
        }
        return packed;
    };
    sink.done = [&] {
        if (packed && !finished_) {
            packed = framing_ != Framing::Chunked || appendChunk(into, nullptr, 0, true);
            finished_ = packed;
        }
    };
    return provider_(offset_, 0, sink) && packed;
}

bool AnswerBody::appendChunk(std::string& into, const char* data, size_t size, bool last) {
    std::string payload;
    const bool packed =
        compressor_->compress(data, size, last, [&](const char* bytes, size_t count) {
            payload.append(bytes, count);
            return true;
        });
    if (!packed)
        return false;
    if (!payload.empty()) {
        char length[32];
        std::snprintf(length, sizeof length, "%zx\r\n", payload.size());
        into += length;
        into += payload;
        into += "\r\n";
    }
    if (last)
        into += "0\r\n\r\n";
    return true;
}
