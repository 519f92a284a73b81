#include "InflatedBody.h"

#include <zlib.h>

#include <climits>

InflatedBody InflatedBody::inflate(const std::string& body, size_t limit) {
    InflatedBody result;
    z_stream stream{};
    // 15 window bits, +32: gzip or zlib header, told apart by the stream.
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return result;
    if (body.size() > UINT_MAX) {
        inflateEnd(&stream);
        return result;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    char buffer[64 * 1024];
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = ::inflate(&stream, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END)
            break;
        const size_t produced = sizeof buffer - stream.avail_out;
        if (result.bytes.size() + produced > limit) {
            result.outcome = Outcome::TooLarge;
            result.bytes.clear();
            inflateEnd(&stream);
            return result;
        }
        result.bytes.append(buffer, produced);
        if (status == Z_OK && produced == 0 && stream.avail_in == 0)
            break;  // the body ends before the stream does
    }
    inflateEnd(&stream);
    if (status == Z_STREAM_END && stream.avail_in == 0)
        result.outcome = Outcome::Inflated;
    else
        result.bytes.clear();
    return result;
}
