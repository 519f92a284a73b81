#include "sdk/NSData+BITGZIP.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "sdk/BITZizavaLogger.h"

namespace {

constexpr size_t kChunk = 16384;
constexpr int kGzipWindowBits = 15 + 16;  // gzip header and trailer
constexpr int kAutoWindowBits = 15 + 32;  // gzip or zlib header, detected

}  // namespace

std::optional<Value::Data> bit_gzippedDataWithCompressionLevel(const Value::Data& data,
                                                               float level) {
    if (data.empty())
        return std::nullopt;
    const int zlibLevel = level < 0 ? Z_DEFAULT_COMPRESSION
                                    : static_cast<int>(std::lround(std::fmin(level, 1.0f) * 9));
    z_stream stream{};
    if (deflateInit2(&stream, zlibLevel, Z_DEFLATED, kGzipWindowBits, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return std::nullopt;
    Value::Data output(kChunk);
    stream.next_in = const_cast<Bytef*>(data.data());
    int result = Z_OK;
    size_t consumed = 0;
    // zlib counts in 32-bit units, so feed large inputs in slices.
    do {
        if (stream.total_out >= output.size())
            output.resize(output.size() + kChunk);
        const size_t remaining = data.size() - consumed;
        const auto slice = static_cast<uInt>(std::min<size_t>(remaining, 1u << 30));
        if (stream.avail_in == 0 && remaining > 0) {
            stream.next_in = const_cast<Bytef*>(data.data() + consumed);
            stream.avail_in = slice;
            consumed += slice;
        }
        stream.next_out = output.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(output.size() - stream.total_out);
        result = deflate(&stream, consumed == data.size() ? Z_FINISH : Z_NO_FLUSH);
    } while (result == Z_OK || (result == Z_BUF_ERROR && stream.avail_out == 0));
    const bool ok = result == Z_STREAM_END;
    output.resize(stream.total_out);
    deflateEnd(&stream);
    if (!ok) {
        BITZizavaLogError("ERROR: gzip compression failed (%d)", result);
        return std::nullopt;
    }
    return output;
}

std::optional<Value::Data> bit_gzippedData(const Value::Data& data) {
    return bit_gzippedDataWithCompressionLevel(data, -1.0f);
}

std::optional<Value::Data> bit_gunzippedData(const Value::Data& data, size_t maximumSize) {
    if (data.empty() || data.size() > (size_t{1} << 30))
        return std::nullopt;
    z_stream stream{};
    if (inflateInit2(&stream, kAutoWindowBits) != Z_OK)
        return std::nullopt;
    const size_t step = std::max<size_t>(data.size() / 2, 64);
    Value::Data output(std::max<size_t>(data.size() * 3 / 2, 64));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    int result = Z_OK;
    while (result == Z_OK) {
        if (stream.total_out >= output.size()) {
            if (output.size() >= maximumSize)
                break;
            output.resize(std::min(output.size() + step, maximumSize));
        }
        stream.next_out = output.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(output.size() - stream.total_out);
        result = inflate(&stream, Z_SYNC_FLUSH);
    }
    const bool ended = result == Z_STREAM_END;
    const size_t total = stream.total_out;
    if (inflateEnd(&stream) != Z_OK || !ended)
        return std::nullopt;
    output.resize(total);
    return output;
}
